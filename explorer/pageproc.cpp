// The life cycle every list page shares: columns when the dialog is made, a
// fresh fill on every activation and nothing kept while another page shows,
// sorting, the row context menu, the Info, Help and Monitor commands, and the
// layout that follows the resizable sheet. The page's own work is in its
// PageSpec hooks.
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int IDS_HELP_LABEL = 793;
constexpr int IDS_MONITOR_LABEL = 794;
constexpr int IDS_NO_SELECTION = 57;
constexpr int IDS_INFO = 301;
constexpr int IDS_EXPLORE_FOLDER = 1135;
constexpr int IDS_PROGRAM_PROPERTIES = 1136;
constexpr int IDS_VIEW_NOTE = 971;
constexpr int IDS_LOOKUP = 641;
constexpr int IDS_LOG = 310;
constexpr int IDS_HELP = 31;

constexpr int kCmdLookup = 1067;

HWND PageList(HWND page)
{
    return GetDlgItem(page, IDC_LIST);
}

void SetPageSpec(HWND page, const PageSpec* desc)
{
    SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(desc));
}

INT_PTR NotifyResult(HWND page, LONG_PTR result)
{
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
    return TRUE;
}

void ShowInfoForSelection(HWND page)
{
    HWND list = PageList(page);
    const int row = SelectedRow(list);
    const int item = RowItem(list, row);
    if (item < 0) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    ShowInfoDialog(page, item);
    SelectRow(list, row);
}

void OpenFolderOfItem(int item)
{
    char file[MAX_PATH];
    char folder[MAX_PATH];
    if (!ItemProgramFile(item, file) || !GetFileFolder(file, folder)) return;
    if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES) return;
    ShellExecuteA(nullptr, "open", folder, nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenPropertiesOfItem(HWND page, int item)
{
    char file[MAX_PATH];
    if (!ItemProgramFile(item, file)) return;
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.hwnd = page;
    info.lpVerb = "properties";
    info.lpFile = file;
    info.nShow = SW_SHOW;
    ShellExecuteExA(&info);
}

void OpenNoteOfItem(int item)
{
    char file[MAX_PATH];
    char note[MAX_PATH];
    if (!ItemProgramFile(item, file) || !GetNotePath(file, note)) return;
    ShellExecuteA(nullptr, "open", note, nullptr, nullptr, SW_SHOWNORMAL);
}

void ShowContextMenu(HWND page, const PageSpec& desc)
{
    const int item = SelectedItem(PageList(page));
    if (item < 0) return;
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) return;
    if (desc.menu) desc.menu(page, menu.get(), item);
    AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuText(menu.get(), IDS_LOOKUP, kCmdLookup);
    if (desc.commandId != kPageCookies) AppendMenuText(menu.get(), IDS_LOG, IDC_HTML_REPORT);
    AppendMenuText(menu.get(), IDS_HELP, IDC_HELP_IMAGE);
    POINT at = {};
    GetCursorPos(&at);
    SetForegroundWindow(page);
    TrackPopupMenuEx(menu.get(), TPM_VERTICAL, at.x, at.y, page, nullptr);
    PostMessageA(page, WM_NULL, 0, 0);
}

void RunMonitorImage(HWND page, const PageSpec& desc)
{
    if (desc.patrolTitleId == 0) return;
    const int minutes = ShowPatrolDialog(page, desc.patrolTitleId);
    if (minutes >= 0) StorePatrolMinutes(desc.patrolTitleId, minutes);
    ShowMonitorImage(page, PatrolBitmap(desc.patrolTitleId));
}

// The commands every page has; 1 when handled.
int RunCommonCommand(HWND page, const PageSpec& desc, int id)
{
    const int item = SelectedItem(PageList(page));
    switch (id) {
    case IDOK:
    case IDC_INFO_BUTTON:
        ShowInfoForSelection(page);
        return 1;
    case IDC_CLOSE:
        PostMessageA(page, WM_CLOSE, 0, 0);
        return 1;
    case IDC_HELP_IMAGE:
        OpenPageHelp(desc.commandId);
        return 1;
    case IDC_MONITOR_IMAGE:
        RunMonitorImage(page, desc);
        return 1;
    case kCmdLookup:
        LookUpItem(item);
        return 1;
    case IDC_EXPLORE_FOLDER:
        OpenFolderOfItem(item);
        return 1;
    case IDC_PROGRAM_PROPERTIES:
        OpenPropertiesOfItem(page, item);
        return 1;
    case IDC_VIEW_NOTE:
        OpenNoteOfItem(item);
        return 1;
    case IDC_HTML_REPORT:
        // The report enumerates every catalogue into the shared item list.
        RunReportLog(page);
        RefillPage(page);
        return 1;
    default:
        return 0;
    }
}

INT_PTR OnListNotify(HWND page, const PageSpec& desc, const NMHDR* header)
{
    HWND list = header->hwndFrom;
    switch (header->code) {
    case LVN_COLUMNCLICK:
        SortByColumnClick(list, desc, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        return TRUE;
    case LVN_ITEMCHANGED:
    case NM_CLICK:
    case NM_CHAR:
        if (desc.update) desc.update(page, list);
        return TRUE;
    case NM_RCLICK:
        ShowContextMenu(page, desc);
        return TRUE;
    case NM_DBLCLK:
        LookUpItem(SelectedItem(list));
        return TRUE;
    case NM_RETURN:
        ShowInfoForSelection(page);
        return TRUE;
    default:
        return FALSE;
    }
}

void OnSetActive(HWND page, const PageSpec& desc)
{
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    RefillPage(page);
    if (desc.activate) desc.activate(page, PageList(page));
    SetupPageImages(page, desc.patrolTitleId);
    SetupSheetForPage(page);
    // Setting up the sheet empties the status bar; the selected row's line
    // comes back.
    if (desc.update) desc.update(page, PageList(page));
    SetActivePage(desc.commandId);
    SetCursor(LoadCursorA(nullptr, IDC_HAND));
}

void OnKillActive(HWND page)
{
    ClearItems();
    ClearSortKeys();
    ClearPageImages(page);
    SetStatusText("", nullptr);
    SaveSheetPlacement(page);
}

INT_PTR OnNotify(HWND page, const PageSpec& desc, const NMHDR* header)
{
    if (header->idFrom == IDC_LIST) return OnListNotify(page, desc, header);
    switch (header->code) {
    case PSN_SETACTIVE:
        OnSetActive(page, desc);
        return NotifyResult(page, 0);
    case PSN_KILLACTIVE:
        OnKillActive(page);
        return NotifyResult(page, FALSE);
    default:
        return FALSE;
    }
}

void OnInitDialog(HWND page, const PageSpec& desc)
{
    SetPageSpec(page, &desc);
    if (desc.init) desc.init(page);
    HWND list = PageList(page);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    InsertColumns(list, desc);
    ResetSortDirections();
    SetDialogText(page, IDS_HELP_LABEL, IDC_HELP_LABEL);
    SetDialogText(page, IDS_MONITOR_LABEL, IDC_MONITOR_LABEL);
    SetActivePage(desc.commandId);
    RestoreSheetPlacement(page);
}

// The page is gone with its sheet; the explorer ends with it.
void OnClosePage(HWND page)
{
    SaveSheetPlacement(page);
    SetActivePage(0);
    if (HWND main = GetExplorerWindow()) {
        PostMessageA(main, WM_CLOSE, 0, 0);
        return;
    }
    // A sheet without the explorer's main window (hosted by another window)
    // closes as its own Close button would.
    PostMessageA(GetParent(page), WM_COMMAND, IDCANCEL, 0);
}

// --- Relayout -------------------------------------------------------------

int DialogUnits(HWND page, int units)
{
    RECT box = {0, 0, units, 0};
    MapDialogRect(page, &box);
    return box.right;
}

SIZE WindowSize(HWND window)
{
    RECT box = {};
    GetWindowRect(window, &box);
    return {box.right - box.left, box.bottom - box.top};
}

void MoveImage(HDWP& batch, HWND page, int id, double widths, int y, int sheetWidth)
{
    HWND control = GetDlgItem(page, id);
    if (!control || !batch) return;
    const SIZE size = WindowSize(control);
    const int x = sheetWidth - static_cast<int>(widths * size.cx);
    batch = DeferWindowPos(batch, control, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MoveButtons(HDWP& batch, HWND page, const PageSpec& desc, int listWidth, int y)
{
    int count = 0;
    while (count < 8 && desc.buttons[count] != 0) ++count;
    if (count == 0) return;
    const SIZE first = WindowSize(GetDlgItem(page, desc.buttons[0]));
    const int left = DialogUnits(page, 7);
    for (int i = 0; i < count && batch; ++i) {
        int x = left;
        int width = WindowSize(GetDlgItem(page, desc.buttons[i])).cx;
        if (count < 2) {
            x = left + (listWidth - width) / 2;
        } else {
            x = left + i * (first.cx + (listWidth - count * first.cx) / (count - 1));
            if (i == count - 1) {
                x += 25;
                width -= 25;
            }
        }
        for (int id : {desc.buttons[i], desc.companions[i]}) {
            HWND button = id ? GetDlgItem(page, id) : nullptr;
            if (!button || !batch) continue;
            const SIZE size = WindowSize(button);
            batch = DeferWindowPos(batch, button, nullptr, x, y, width, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

void Relayout(HWND page, const PageSpec& desc)
{
    HWND sheet = GetParent(page);
    if (!sheet) return;
    const SIZE sheetSize = WindowSize(sheet);
    const int w = sheetSize.cx;
    const int h = sheetSize.cy;
    const bool oneRow = SheetTabRows() <= 1;
    HDWP batch = BeginDeferWindowPos(10);
    if (PageHelpImage(page)) {
        MoveImage(batch, page, IDC_HELP_IMAGE, 3.0, 3, w);
        MoveImage(batch, page, IDC_HELP_LABEL, 1.75, 25, w);
    }
    MoveImage(batch, page, IDC_MONITOR_IMAGE, 3.0, 38, w);
    MoveImage(batch, page, IDC_MONITOR_LABEL, 1.5, 60, w);

    HWND list = PageList(page);
    const int listWidth = w - static_cast<int>(1.5 * DialogUnits(page, 14)) - 20;
    const int listBase = h - static_cast<int>(1.5 * DialogUnits(page, 90));
    int listHeight = oneRow ? listBase + 5 : listBase - 16;
    const int listTop = DialogUnits(page, 44) + 5;

    const int buttonHeight = desc.buttons[0] ? WindowSize(GetDlgItem(page, desc.buttons[0])).cy : 0;
    const int buttonBase = h - static_cast<int>(2.75 * DialogUnits(page, 35));
    const int buttonTop = oneRow ? buttonBase + buttonHeight / 2 + 14 : buttonBase + 8;
    MoveButtons(batch, page, desc, listWidth, buttonTop);
    if (HWND band = desc.bandControl ? GetDlgItem(page, desc.bandControl) : nullptr) {
        const SIZE size = WindowSize(band);
        const int gap = DialogUnits(page, 4);
        const int bandTop = buttonTop - gap - size.cy;
        listHeight = (std::min)(listHeight, bandTop - gap - listTop);
        if (batch)
            batch = DeferWindowPos(batch, band, nullptr, DialogUnits(page, 7), bandTop, 0, 0,
                                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (list && batch && listWidth > 0 && listHeight > 0)
        batch = DeferWindowPos(batch, list, nullptr, DialogUnits(page, 7), listTop, listWidth, listHeight,
                               SWP_NOZORDER | SWP_NOACTIVATE);
    if (batch) EndDeferWindowPos(batch);
    if (list) SizeColumns(list, desc);
}

}  // namespace

const PageSpec* GetPageSpec(HWND page)
{
    return reinterpret_cast<const PageSpec*>(GetWindowLongPtrA(page, DWLP_USER));
}

int ItemProgramFile(int item, char* out)
{
    out[0] = '\0';
    if (item < 0 || item >= ItemCount()) return 0;
    char path[kPathLen];
    GetItemPath(item, path);
    char bare[kPathLen];
    RemoveQuotes(path, bare);
    char extension[MAX_PATH] = "";
    GetExtension(bare, extension);
    if (_stricmp(extension, "lnk") == 0 || _stricmp(extension, ".lnk") == 0) {
        char target[MAX_PATH] = "";
        char description[MAX_PATH] = "";
        if (ResolveShortcut(bare, target, description) == S_OK && target[0] != '\0') {
            StrCopy(out, MAX_PATH, target);
            return 1;
        }
    }
    StrCopy(out, MAX_PATH, bare);
    // A bare program name is looked up the way Windows would start it.
    if (FileNameOffset(out) == 0) FileExistsInPath(out);
    return out[0] != '\0';
}

void LookUpItem(int item)
{
    if (item < 0 || item >= ItemCount()) return;
    char file[MAX_PATH];
    char title[kTitleLen];
    ItemProgramFile(item, file);
    GetItemTitle(item, title);
    OnlineLookup(GetItemType(item), file, title);
}

void SetPageTexts(HWND page, const ControlText* texts, size_t count)
{
    for (size_t i = 0; i < count; ++i) SetDialogText(page, texts[i].stringId, texts[i].controlId);
    if (!IsNtPlatform())
        if (HWND close = GetDlgItem(page, IDC_CLOSE)) ShowWindow(close, SW_HIDE);
}

void AppendMenuText(HMENU menu, int stringId, int commandId)
{
    char text[256] = "";
    LoadLocalizedString(stringId, text);
    AppendMenuA(menu, MF_STRING, commandId, text);
}

void AppendProgramBlock(HMENU menu, int item)
{
    AppendMenuText(menu, IDS_INFO, IDC_INFO_BUTTON);
    AppendMenuText(menu, IDS_EXPLORE_FOLDER, IDC_EXPLORE_FOLDER);
    AppendMenuText(menu, IDS_PROGRAM_PROPERTIES, IDC_PROGRAM_PROPERTIES);
    char file[MAX_PATH];
    if (ItemProgramFile(item, file) && NoteExists(file)) AppendMenuText(menu, IDS_VIEW_NOTE, IDC_VIEW_NOTE);
}

void RefillPage(HWND page)
{
    const PageSpec* desc = GetPageSpec(page);
    HWND list = PageList(page);
    if (!desc || !list) return;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    ClearSortKeys();
    if (desc->fill) desc->fill(page, list);
    SortByStoredColumn(list, *desc);
    SelectRow(list, desc->selectNoRow ? -1 : 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    if (desc->update) desc->update(page, list);
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        const auto* desc = sheetPage ? reinterpret_cast<const PageSpec*>(sheetPage->lParam) : nullptr;
        if (!desc) return FALSE;
        OnInitDialog(page, *desc);
        return TRUE;
    }
    const PageSpec* desc = GetPageSpec(page);
    if (!desc) return FALSE;
    if (message >= WM_MOUSEFIRST && message <= WM_LBUTTONDBLCLK)
        return HandleImageMouse(page, message, wParam, lParam) ? TRUE : FALSE;
    switch (message) {
    case WM_NOTIFY:
        return OnNotify(page, *desc, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        if (desc->command && desc->command(page, LOWORD(wParam))) return TRUE;
        return RunCommonCommand(page, *desc, LOWORD(wParam)) ? TRUE : FALSE;
    case WM_SETCURSOR:
        if (!HandleLinkCursor(page, wParam, lParam)) return FALSE;
        return NotifyResult(page, TRUE);
    case WM_DRAWITEM:
        return DrawLinkButton(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case kMsgRelayout:
        Relayout(page, *desc);
        return TRUE;
    case WM_CLOSE:
        OnClosePage(page);
        return TRUE;
    case WM_DESTROY:
        ClearPageImages(page);
        if (GetActivePage() != 0) OnClosePage(page);
        SetPageSpec(page, nullptr);
        return TRUE;
    default:
        return FALSE;
    }
}
