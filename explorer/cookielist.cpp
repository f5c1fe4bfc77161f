// The cookie list: every cookie of the chosen browser with a check box, and
// the removal of the checked or the unchecked ones; and the viewer of one
// Internet Explorer cookie file. A modal dialog of its own that shares the
// list helpers and the column rules of the pages.
#include "explorer/explorer.h"

#include <climits>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>

#include "catalogue/catalogue.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_REPORT = 1045;
constexpr int IDC_CHECK_HINT = 1046;
constexpr int IDC_VIEW = 1008;
constexpr int IDC_REMOVE_UNCHECKED = 1004;
constexpr int IDC_REMOVE_CHECKED = 1103;
constexpr int IDC_FOLDER = 1145;
constexpr int IDC_LOOKUP = 1067;
constexpr int IDC_VIEW_PATH = 1005;
constexpr int IDC_VIEW_TEXT = 1004;

constexpr int IDS_VIEW_CAPTION = 29;
constexpr int IDS_NO_COOKIE_SELECTED = 58;
constexpr int IDS_REPORT = 231;
constexpr int IDS_CHECK_HINT = 232;
constexpr int IDS_REMOVE_UNCHECKED = 303;
constexpr int IDS_CLOSE = 304;
constexpr int IDS_LIST_CAPTION = 608;
constexpr int IDS_VIEW = 659;
constexpr int IDS_REMOVE_CHECKED = 708;
constexpr int IDS_ASK_UNCHECKED = 728;
constexpr int IDS_ASK_CHECKED = 738;
constexpr int IDS_TRUE = 779;
constexpr int IDS_FALSE = 780;
constexpr int IDS_COOKIE_PATROL = 787;
constexpr int IDS_PATROL_ADVICE = 965;
constexpr int IDS_LOOKUP = 641;
constexpr int IDS_HELP = 31;

// Marks the cookie windows, so that a closing sheet can find them.
constexpr const char* kCookieWindowProp = "VelmoraCookieWindow";

constexpr int kMinTrackWidth = 640;
constexpr int kMinTrackHeight = 320;
constexpr DWORD kViewLimit = 16384;

const PageSpec kIECookieSpec = {
    kListCookieFiles, IDD_COOKIE_LIST, IDS_LIST_CAPTION, 0, "SortCookie",
    2, {608, 669}, {0.6, 0.39},
    false, false, 0, {0}, {0}, IDS_COOKIE_PATROL,
    nullptr, nullptr, nullptr, nullptr, nullptr,
};
const PageSpec kMozillaCookieSpec = {
    kListCookieFiles, IDD_COOKIE_LIST, IDS_LIST_CAPTION, 0, "SortCookie",
    5, {781, 775, 776, 777, 778}, {0.4, 0.2, 0.1, 0.2, 0.09},
    false, false, 0, {0}, {0}, IDS_COOKIE_PATROL,
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

// How a control follows the dialog's size.
enum Anchor { kFixed = 0, kRight = 1, kBottom = 2, kWide = 4, kTall = 8 };
struct Anchored {
    int id;
    int anchor;
};
constexpr Anchored kAnchors[] = {
    {IDC_FOLDER, kWide},         {IDC_LIST, kWide | kTall},       {IDC_VIEW, kBottom},
    {IDC_REMOVE_UNCHECKED, kBottom}, {IDC_REMOVE_CHECKED, kBottom}, {IDCANCEL, kRight | kBottom},
    {IDC_HELP_IMAGE, kRight},    {IDC_HELP_LABEL, kRight},        {IDC_MONITOR_IMAGE, kRight},
    {IDC_MONITOR_LABEL, kRight},
};
constexpr int kAnchorCount = static_cast<int>(std::size(kAnchors));
static_assert(kAnchorCount == 10);

struct CookieList {
    int mode = kCookieModeIE;
    const PageSpec* desc = &kIECookieSpec;
    char folder[MAX_PATH] = "";
    bool folderKnown = false;
    HWND status = nullptr;
    char secureText[2][32] = {};    // the SSL column's "False" and "True"
    SIZE client = {};               // the client size the template rects belong to
    RECT rects[kAnchorCount] = {};
};

CookieList* ListState(HWND dialog)
{
    return reinterpret_cast<CookieList*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

HWND CookieRows(HWND dialog)
{
    return GetDlgItem(dialog, IDC_LIST);
}

// Registry value names compare without regard to case.
std::string UpperName(const char* text)
{
    std::string upper(text);
    if (!upper.empty()) CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
    return upper;
}

// The names of a key's values whose data is a non-empty text, read once per
// fill so that thousands of rows do not open the key thousands of times.
std::unordered_set<std::string> NamesWithData(const char* subkey)
{
    std::unordered_set<std::string> names;
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return names;
    char name[kNutTextLen];
    BYTE data[64];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof(name);
        DWORD dataLength = sizeof(data);
        DWORD type = 0;
        const LONG result = RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type, data, &dataLength);
        // Names too long for a title and data longer than a flag are not
        // what this list stores; they are passed over, not shortened.
        if (result == ERROR_MORE_DATA) {
            nameLength = sizeof(name);
            if (RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type, nullptr, &dataLength) !=
                ERROR_SUCCESS)
                continue;
            if (dataLength > 1) names.insert(UpperName(name));
            continue;
        }
        if (result != ERROR_SUCCESS) break;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            if (dataLength > 0 && data[0] != '\0') names.insert(UpperName(name));
        } else if (dataLength > 0) {
            names.insert(UpperName(name));
        }
    }
    return names;
}

bool IsRowChecked(HWND list, int row)
{
    const LRESULT state = SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

// Rows ask for their texts when they are shown (LVN_GETDISPINFO), so a
// fill of thousands of cookies sends one message per row, not per cell.
// Each row's lParam is its item in the shared list, which holds the
// cookies until the dialog closes.
int InsertCookieRow(HWND list, int item, bool checked)
{
    LVITEMA row = {};
    row.mask = LVIF_TEXT | LVIF_PARAM;
    row.iItem = INT_MAX;
    row.pszText = LPSTR_TEXTCALLBACKA;
    row.lParam = item;
    const int index = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
    // The list gives every new row an empty box whatever the insert asks.
    if (index >= 0 && checked) {
        LVITEMA state = {};
        state.stateMask = LVIS_STATEIMAGEMASK;
        state.state = INDEXTOSTATEIMAGEMASK(2);
        SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
    }
    return index;
}

void AddIERow(HWND list, int item, const std::unordered_set<std::string>& kept)
{
    char title[kTitleLen];
    char path[kPathLen];
    char created[kDetailLen];
    GetItemPath(item, path);
    if (!std::strchr(path, '\\')) return;
    GetItemTitle(item, title);
    GetItemDetail(item, created, sizeof(created));
    if (InsertCookieRow(list, item, kept.count(UpperName(title)) != 0) < 0) return;
    char type[16];
    StrFormatA(type, "%d", GetItemType(item));
    SetSortKey(item, 0, title);
    SetSortKey(item, 1, created);
    SetSortKey(item, 2, type);
}

void AddMozillaRow(HWND list, int item, const std::unordered_set<std::string>& kept,
                   const std::unordered_set<std::string>& removed)
{
    char title[kTitleLen];
    GetItemTitle(item, title);
    const std::string upper = UpperName(title);
    if (removed.count(upper)) return;
    if (InsertCookieRow(list, item, kept.count(upper) != 0) < 0) return;
    char path[kPathLen];
    char value[kEntryLen];
    char expires[kDetailLen];
    GetItemPath(item, path);
    GetItemEntryName(item, value);
    GetItemDetail(item, expires, sizeof(expires));
    char flag[16];
    StrFormatA(flag, "%d", GetItemFlag(item));
    SetSortKey(item, 0, title);
    SetSortKey(item, 1, expires);
    SetSortKey(item, 2, path);
    SetSortKey(item, 3, value);
    SetSortKey(item, 4, flag);
}

// The text of a row's cell, from its item.
void CellText(const CookieList& state, int item, int column, char* out, int capacity)
{
    out[0] = '\0';
    if (item < 0 || item >= ItemCount() || capacity <= 0) return;
    char text[kDetailLen] = "";
    switch (column) {
    case 0:
        GetItemTitle(item, text);
        break;
    case 1:
        GetItemDetail(item, text, sizeof(text));
        break;
    case 2:
        if (state.mode != kCookieModeIE) GetItemPath(item, text);
        break;
    case 3:
        if (state.mode != kCookieModeIE) GetItemEntryName(item, text);
        break;
    case 4:
        if (state.mode != kCookieModeIE) StrCopy(text, state.secureText[GetItemFlag(item) ? 1 : 0]);
        break;
    default:
        break;
    }
    StrCopy(out, static_cast<size_t>(capacity), text);
}

// The rows of what BuildCookieList(0) finds now; the row count.
int FillCookieRows(HWND dialog, const CookieList& state)
{
    HWND list = CookieRows(dialog);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    ClearSortKeys();
    SetCookieMode(state.mode);
    const int count = BuildCookieList(0);
    SendMessageA(list, LVM_SETITEMCOUNT, count, 0);
    const std::unordered_set<std::string> kept = NamesWithData(kCookiesKey);
    if (state.mode == kCookieModeIE) {
        for (int i = 0; i < count; ++i) AddIERow(list, i, kept);
    } else {
        const std::unordered_set<std::string> removed = NamesWithData(kNutsKey);
        for (int i = 0; i < count; ++i) AddMozillaRow(list, i, kept, removed);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

// --- Removal ------------------------------------------------------------------

// Deletes the cookie file a row lists, and nothing else: the row's text must
// name a file directly inside the cookie folder, and the list must have
// found that very file there.
bool DeleteListedCookie(const CookieList& state, const char* name, int item)
{
    if (!state.folderKnown || !IsPlainCookieName(name)) return false;
    char path[MAX_PATH];
    if (StrFormatA(path, "%s%s", state.folder, name) != 0) return false;
    char listed[kPathLen] = "";
    if (item >= 0 && item < ItemCount()) GetItemPath(item, listed);
    const int nameAt = FileNameOffset(listed);
    char listedFolder[kPathLen] = "";
    StrCopy(listedFolder, listed);
    listedFolder[nameAt] = '\0';
    size_t folderLength = std::strlen(state.folder);
    while (folderLength > 0 && state.folder[folderLength - 1] == '\\') --folderLength;
    size_t listedLength = std::strlen(listedFolder);
    while (listedLength > 0 && listedFolder[listedLength - 1] == '\\') --listedLength;
    if (folderLength == 0 || folderLength != listedLength ||
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, state.folder, static_cast<int>(folderLength),
                       listedFolder, static_cast<int>(listedLength)) != CSTR_EQUAL ||
        lstrcmpiA(listed + nameAt, name) != 0)
        return false;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path) != 0;
}

void RemoveRow(const CookieList& state, HWND list, int row)
{
    char name[kPathLen];
    if (!GetRowText(list, row, 0, name, sizeof(name)) || name[0] == '\0') return;
    if (state.mode == kCookieModeIE) {
        // A name that could point outside the folder is left alone entirely.
        if (!IsPlainCookieName(name)) return;
        DeleteRegValue(HKEY_CURRENT_USER, kCookiesKey, name);
        DeleteListedCookie(state, name, RowItem(list, row));
        return;
    }
    DeleteRegValue(HKEY_CURRENT_USER, kCookiesKey, name);
    // The browser holds its cookie file open; the cookie is left out of the
    // cleaned copy the monitor puts in its place later.
    SetRegValue(HKEY_CURRENT_USER, kNutsKey, name, "2");
}

// Descending by the expiry or creation column, without touching the
// remembered sort column.
void SortNewestFirst(HWND list, const PageSpec& desc)
{
    const int stored = ReadOption(desc.sortOption, 0);
    if (SortDirection(1) == 0) SortByColumnClick(list, desc, 1);
    SortByColumnClick(list, desc, 1);
    WriteOption(desc.sortOption, stored);
}

void RemoveCookies(HWND dialog, bool checkedOnes)
{
    CookieList* state = ListState(dialog);
    if (!state) return;
    char question[512];
    LoadLocalizedString(checkedOnes ? IDS_ASK_CHECKED : IDS_ASK_UNCHECKED, question);
    if (AskUser(dialog, question, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    // A cookie file on a drive that is gone must not raise a system box per row.
    const UINT previous = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    HWND list = CookieRows(dialog);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        const bool checked = IsRowChecked(list, row);
        if (checked == checkedOnes) {
            RemoveRow(*state, list, row);
        } else if (!checkedOnes) {
            char name[kPathLen];
            if (GetRowText(list, row, 0, name, sizeof(name)) && name[0] != '\0')
                SetRegValue(HKEY_CURRENT_USER, kCookiesKey, name, "1");
        }
    }
    if (state->mode != kCookieModeIE) {
        SetCookieMode(state->mode);
        BuildCookieList(1);
    }
    FillCookieRows(dialog, *state);
    SortNewestFirst(list, *state->desc);
    SetErrorMode(previous);
}

// --- The viewer (109) ------------------------------------------------------------

// The file's first kViewLimit bytes with line feeds made CRLF for the edit
// box; a NUL in the file shows as a blank.
std::unique_ptr<char[]> ReadCookieText(const char* path)
{
    UniqueFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    std::unique_ptr<char[]> raw(new (std::nothrow) char[kViewLimit]);
    std::unique_ptr<char[]> text(new (std::nothrow) char[kViewLimit * 2 + 1]);
    if (!raw || !text) return nullptr;
    DWORD read = 0;
    if (!ReadFile(file.get(), raw.get(), kViewLimit, &read, nullptr)) return nullptr;
    DWORD out = 0;
    for (DWORD i = 0; i < read; ++i) {
        const char c = raw[i];
        if (c == '\n' && (i == 0 || raw[i - 1] != '\r')) text[out++] = '\r';
        text[out++] = c == '\0' ? ' ' : c;
    }
    text[out] = '\0';
    return text;
}

INT_PTR CALLBACK ViewerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const char* path = reinterpret_cast<const char*>(lParam);
        SetPropA(dialog, kCookieWindowProp, reinterpret_cast<HANDLE>(1));
        char caption[256];
        if (LoadLocalizedString(IDS_VIEW_CAPTION, caption) > 0) SetWindowTextA(dialog, caption);
        SetDialogText(dialog, IDS_CLOSE, IDOK);
        SetDlgItemTextA(dialog, IDC_VIEW_PATH, path);
        std::unique_ptr<char[]> text = ReadCookieText(path);
        SetDlgItemTextA(dialog, IDC_VIEW_TEXT, text ? text.get() : "");
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            RemovePropA(dialog, kCookieWindowProp);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void ViewSelected(HWND dialog)
{
    const CookieList* state = ListState(dialog);
    if (!state || state->mode != kCookieModeIE) return;
    HWND list = CookieRows(dialog);
    const int row = SelectedRow(list);
    const int item = RowItem(list, row);
    if (item < 0 || item >= ItemCount()) {
        ShowMessage(dialog, IDS_NO_COOKIE_SELECTED);
        return;
    }
    char path[kPathLen];
    GetItemPath(item, path);
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_COOKIE_VIEW), dialog, ViewerProc,
                    reinterpret_cast<LPARAM>(path));
    SelectRow(list, row);
}

// --- The list dialog (145) ---------------------------------------------------------

void ShowListMenu(HWND dialog)
{
    const CookieList* state = ListState(dialog);
    if (!state || SelectedRow(CookieRows(dialog)) < 0) return;
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) return;
    AppendMenuText(menu.get(), IDS_VIEW, IDC_VIEW);
    AppendMenuText(menu.get(), IDS_REMOVE_UNCHECKED, IDC_REMOVE_UNCHECKED);
    AppendMenuText(menu.get(), IDS_REMOVE_CHECKED, IDC_REMOVE_CHECKED);
    if (state->mode != kCookieModeIE) EnableMenuItem(menu.get(), IDC_VIEW, MF_BYCOMMAND | MF_GRAYED);
    AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuText(menu.get(), IDS_LOOKUP, IDC_LOOKUP);
    AppendMenuText(menu.get(), IDS_HELP, IDC_HELP_IMAGE);
    POINT cursor = {};
    GetCursorPos(&cursor);
    SetForegroundWindow(dialog);
    TrackPopupMenuEx(menu.get(), TPM_VERTICAL, cursor.x, cursor.y, dialog, nullptr);
    PostMessageA(dialog, WM_NULL, 0, 0);
}

void RunMonitorImage(HWND dialog)
{
    ShowMessageDialog(dialog, IDS_PATROL_ADVICE);
    const int minutes = ShowPatrolDialog(dialog, IDS_COOKIE_PATROL);
    if (minutes >= 0) StorePatrolMinutes(IDS_COOKIE_PATROL, minutes);
    ShowMonitorImage(dialog, PatrolBitmap(IDS_COOKIE_PATROL));
}

void RememberLayout(HWND dialog, CookieList& state)
{
    RECT client = {};
    GetClientRect(dialog, &client);
    state.client = {client.right, client.bottom};
    for (int i = 0; i < kAnchorCount; ++i) {
        HWND control = GetDlgItem(dialog, kAnchors[i].id);
        if (!control) continue;
        GetWindowRect(control, &state.rects[i]);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&state.rects[i]), 2);
    }
}

void Layout(HWND dialog, const CookieList& state)
{
    if (state.status) SendMessageA(state.status, WM_SIZE, 0, 0);
    RECT client = {};
    GetClientRect(dialog, &client);
    const int dx = client.right - state.client.cx;
    const int dy = client.bottom - state.client.cy;
    HDWP batch = BeginDeferWindowPos(kAnchorCount);
    for (int i = 0; i < kAnchorCount && batch; ++i) {
        HWND control = GetDlgItem(dialog, kAnchors[i].id);
        if (!control) continue;
        RECT box = state.rects[i];
        const int anchor = kAnchors[i].anchor;
        if (anchor & kRight) OffsetRect(&box, dx, 0);
        if (anchor & kBottom) OffsetRect(&box, 0, dy);
        if (anchor & kWide) box.right += dx;
        if (anchor & kTall) box.bottom += dy;
        if (box.right <= box.left || box.bottom <= box.top) continue;
        batch = DeferWindowPos(batch, control, nullptr, box.left, box.top, box.right - box.left,
                               box.bottom - box.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch) EndDeferWindowPos(batch);
    if (state.desc) SizeColumns(CookieRows(dialog), *state.desc);
}

void ShowCookieFolder(HWND dialog, CookieList& state)
{
    if (state.mode == kCookieModeIE) {
        state.folderKnown = GetIECookieFolder(state.folder) != 0;
    } else {
        state.folderKnown = GetMozillaCookieFolder(state.folder) != 0;
    }
    SetDlgItemTextA(dialog, IDC_FOLDER, state.folder);
}

void InitCookieList(HWND dialog, CookieList& state)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    SetPropA(dialog, kCookieWindowProp, reinterpret_cast<HANDLE>(1));
    char caption[256];
    if (LoadLocalizedString(IDS_LIST_CAPTION, caption) > 0) SetWindowTextA(dialog, caption);
    SetDialogText(dialog, IDS_REPORT, IDC_REPORT);
    SetDialogText(dialog, IDS_CHECK_HINT, IDC_CHECK_HINT);
    SetDialogText(dialog, IDS_VIEW, IDC_VIEW);
    SetDialogText(dialog, IDS_REMOVE_UNCHECKED, IDC_REMOVE_UNCHECKED);
    SetDialogText(dialog, IDS_REMOVE_CHECKED, IDC_REMOVE_CHECKED);
    SetDialogText(dialog, IDS_CLOSE, IDCANCEL);
    SetDialogText(dialog, 793, IDC_HELP_LABEL);
    SetDialogText(dialog, 794, IDC_MONITOR_LABEL);
    ResetSortDirections();
    LoadLocalizedString(IDS_FALSE, state.secureText[0]);
    LoadLocalizedString(IDS_TRUE, state.secureText[1]);
    state.status = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, "", dialog, kStatusBarId);
    RememberLayout(dialog, state);
    RestorePlacement(dialog, "xCookie", "yCookie", "dxCookie", "dyCookie");
    HWND list = CookieRows(dialog);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES,
                 LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
    InsertColumns(list, *state.desc);
    if (state.mode != kCookieModeIE) ShowWindow(GetDlgItem(dialog, IDC_VIEW), SW_HIDE);
    ShowCookieFolder(dialog, state);
    SetupPageImages(dialog, IDS_COOKIE_PATROL);
    Layout(dialog, state);
    SetCookieMode(state.mode);
    BuildCookieList(1);
    FillCookieRows(dialog, state);
    SortByStoredColumn(list, *state.desc);
}

void EndCookieList(HWND dialog)
{
    SavePlacement(dialog, "xCookie", "yCookie", "dxCookie", "dyCookie");
    RemovePropA(dialog, kCookieWindowProp);
    ClearPageImages(dialog);
    ClearItems();
    ClearSortKeys();
    EndDialog(dialog, IDOK);
}

INT_PTR OnListNotify(HWND dialog, const NMHDR* header)
{
    const CookieList* state = ListState(dialog);
    if (!state || header->idFrom != IDC_LIST) return FALSE;
    switch (header->code) {
    case LVN_GETDISPINFOA: {
        LVITEMA& cell = const_cast<NMLVDISPINFOA*>(reinterpret_cast<const NMLVDISPINFOA*>(header))->item;
        if (cell.mask & LVIF_TEXT) CellText(*state, static_cast<int>(cell.lParam), cell.iSubItem, cell.pszText, cell.cchTextMax);
        break;
    }
    case LVN_COLUMNCLICK: {
        const int column = reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem;
        if (column < 0 || column >= state->desc->columnCount) break;
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        SortByColumnClick(header->hwndFrom, *state->desc, column);
        break;
    }
    case NM_DBLCLK:
        ViewSelected(dialog);
        break;
    case NM_RCLICK:
        ShowListMenu(dialog);
        break;
    default:
        break;
    }
    return FALSE;
}

int OnListCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
    case IDC_VIEW:
        ViewSelected(dialog);
        return 1;
    case IDC_REMOVE_UNCHECKED:
        RemoveCookies(dialog, false);
        return 1;
    case IDC_REMOVE_CHECKED:
        RemoveCookies(dialog, true);
        return 1;
    case IDC_LOOKUP:
        LookUpItem(SelectedItem(CookieRows(dialog)));
        return 1;
    case IDC_HELP_IMAGE:
        OpenPageHelp(kPageCookies);
        return 1;
    case IDC_MONITOR_IMAGE:
        RunMonitorImage(dialog);
        return 1;
    case IDCANCEL:
        EndCookieList(dialog);
        return 1;
    default:
        return 0;
    }
}

INT_PTR CALLBACK CookieListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        InitCookieList(dialog, *reinterpret_cast<CookieList*>(lParam));
        return TRUE;
    }
    CookieList* state = ListState(dialog);
    if (!state) return FALSE;
    if (message >= WM_MOUSEFIRST && message <= WM_LBUTTONDBLCLK)
        return HandleImageMouse(dialog, message, wParam, lParam) ? TRUE : FALSE;
    switch (message) {
    case WM_NOTIFY:
        return OnListNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return OnListCommand(dialog, LOWORD(wParam)) ? TRUE : FALSE;
    case WM_SIZE:
        Layout(dialog, *state);
        return TRUE;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = kMinTrackWidth;
        info->ptMinTrackSize.y = kMinTrackHeight;
        return TRUE;
    }
    case WM_CLOSE:
        EndCookieList(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CALLBACK CloseIfCookieWindow(HWND window, LPARAM)
{
    if (GetPropA(window, kCookieWindowProp)) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

void CloseCookieWindows()
{
    EnumThreadWindows(GetCurrentThreadId(), CloseIfCookieWindow, 0);
}

int IsPlainCookieName(const char* text)
{
    if (!text || text[0] == '\0') return 0;
    const size_t length = strnlen(text, MAX_PATH);
    if (length >= MAX_PATH) return 0;
    if (std::strcmp(text, ".") == 0 || std::strstr(text, "..")) return 0;
    return std::strpbrk(text, "\\/:") == nullptr ? 1 : 0;
}

void ShowCookieList(HWND owner, int mode)
{
    std::unique_ptr<CookieList> state(new (std::nothrow) CookieList);
    if (!state) return;
    state->mode = mode == kCookieModeIE ? kCookieModeIE : kCookieModeMozilla;
    state->desc = state->mode == kCookieModeIE ? &kIECookieSpec : &kMozillaCookieSpec;
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_COOKIE_LIST), owner, CookieListProc,
                    reinterpret_cast<LPARAM>(state.get()));
}
