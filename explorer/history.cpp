// The history window: the history file as a list, the undo of the changes
// that can be undone, and clearing the file. A modal dialog of its own that
// shares the list helpers and the column rules of the pages.
#include "explorer/explorer.h"

#include <cstring>
#include <iterator>
#include <memory>
#include <new>

#include "catalogue/catalogue.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_HISTORY_TEXT = 1102;
constexpr int IDC_UNDO = 1104;
constexpr int IDC_CLEAR = 1106;
constexpr int IDC_PRIME_INFO = 1067;

constexpr int IDS_HISTORY_TEXT = 710;
constexpr int IDS_CLEAR_FILE = 711;
constexpr int IDS_HISTORY_CAPTION = 712;
constexpr int IDS_UNDO = 717;
constexpr int IDS_CLOSE = 304;
constexpr int IDS_PRIME_INFO = 641;
constexpr int IDS_VELMORA_LOG = 310;
constexpr int IDS_VELMORA_HELP = 31;

constexpr int kActionStartRemove = 0;
constexpr int kActionStartDisable = 1;
constexpr int kActionStartEnable = 2;
constexpr int kActionHelperRemove = 3;
constexpr int kActionHiddenDelete = 29;
constexpr int kActionLastCode = 31;
// A name this version does not know (a damaged line, or one written by a
// newer version) must not be offered as a startup entry to put back.
constexpr int kActionUnknown = 31;
constexpr int kTypeUnknown = 3000;
constexpr int kTypeLastCode = 3000;

// Only the end of a long file is read, so that the newest changes, which
// are the ones a user comes to undo, are always in the list.
constexpr DWORD kReadLimit = 131072;
constexpr int kFieldLen = 260;
constexpr int kDateLen = 32;

// Names older history files may hold for codes that now have another name.
struct ActionAlias {
    int code;
    const char* name;
};
constexpr ActionAlias kActionAliases[] = {{12, "START_Restore"}, {23, "REMOVE_TASKSCHEDULER"}};
static_assert(std::size(kActionAliases) == 2);

enum HistoryField { kFieldDate, kFieldAction, kFieldType, kFieldTitle, kFieldProgram, kFieldExtra,
                    kFieldCount };

const PageSpec kHistorySpec = {
    kListHistory, IDD_HISTORY, IDS_HISTORY_CAPTION, 0, "SortHistory",
    4, {627, 715, 628, 713}, {0.35, 0.22, 0.22, 0.38},
    false, true, 0, {0}, {0}, 0,
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

// The code of a type name; the names are matched by asking the type table
// for every code it may hold, once per fill.
struct TypeNames {
    int count;
    int code[64];
    char name[64][48];
};

void LoadTypeNames(TypeNames* names)
{
    names->count = 0;
    for (int code = 0; code <= kTypeLastCode && names->count < 64; ++code) {
        char name[48];
        TypeCodeName(code, name);
        if (code != kTypeUnknown && std::strcmp(name, "TYPE_UNKNOWN") == 0) continue;
        names->code[names->count] = code;
        StrCopy(names->name[names->count], name);
        ++names->count;
    }
}

int TypeCodeOfName(const TypeNames& names, const char* name)
{
    for (int i = 0; i < names.count; ++i)
        if (std::strcmp(names.name[i], name) == 0) return names.code[i];
    return kTypeUnknown;
}

int ActionCodeOfName(const char* name)
{
    for (int code = 0; code <= kActionLastCode; ++code) {
        char known[48];
        ActionCodeName(code, known);
        if (std::strcmp(known, name) == 0) return code;
    }
    for (const ActionAlias& alias : kActionAliases)
        if (std::strcmp(alias.name, name) == 0) return alias.code;
    return kActionUnknown;
}

int IsReversibleCode(int code)
{
    char name[48];
    ActionCodeName(code, name);
    return IsReversibleAction(name);
}

// The tail of the history file that is shown: the whole file up to the read
// limit, else its last kReadLimit bytes from the first line that starts
// inside them. Returns the text (terminated) and its length, or null.
std::unique_ptr<char[]> ReadHistoryText(DWORD* length)
{
    *length = 0;
    char path[MAX_PATH];
    GetHistoryFilePath(path);
    UniqueFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) return nullptr;
    // One byte before the tail tells whether the tail starts a line.
    const bool tail = size.QuadPart > kReadLimit;
    const DWORD want = tail ? kReadLimit + 1 : static_cast<DWORD>(size.QuadPart);
    if (tail) {
        LARGE_INTEGER offset;
        offset.QuadPart = size.QuadPart - kReadLimit - 1;
        if (!SetFilePointerEx(file.get(), offset, nullptr, FILE_BEGIN)) return nullptr;
    }
    std::unique_ptr<char[]> text(new (std::nothrow) char[want + 1]);
    if (!text) return nullptr;
    DWORD read = 0;
    if (!ReadFile(file.get(), text.get(), want, &read, nullptr)) return nullptr;
    text[read] = '\0';
    DWORD start = 0;
    if (tail) {
        if (read == 0) return nullptr;
        start = 1;
        if (text[0] != '\n') {
            while (start < read && text[start - 1] != '\n') ++start;
        }
        std::memmove(text.get(), text.get() + start, read - start + 1);
        read -= start;
    }
    *length = read;
    return text;
}

// Splits one line (no line feed) at its tabs. A field keeps at most
// kFieldLen characters; missing fields stay empty.
void SplitLine(const char* line, size_t length, char (&fields)[kFieldCount][kFieldLen + 1])
{
    for (auto& field : fields) field[0] = '\0';
    int index = 0;
    size_t used = 0;
    for (size_t i = 0; i < length && index < kFieldCount; ++i) {
        if (line[i] == '\t') {
            ++index;
            used = 0;
            continue;
        }
        if (used < kFieldLen) {
            fields[index][used++] = line[i];
            fields[index][used] = '\0';
        }
    }
}

void ClearOverlong(char* field, size_t limit)
{
    if (std::strlen(field) >= limit) field[0] = '\0';
}

void AddHistoryRecord(const TypeNames& names, const char* line, size_t length)
{
    char fields[kFieldCount][kFieldLen + 1];
    SplitLine(line, length, fields);
    ClearOverlong(fields[kFieldDate], kDateLen);
    ClearOverlong(fields[kFieldTitle], kTitleLen);
    ClearOverlong(fields[kFieldProgram], kPathLen);
    ClearOverlong(fields[kFieldExtra], kEntryLen);
    AddItem(fields[kFieldTitle], fields[kFieldProgram], fields[kFieldExtra], fields[kFieldDate],
            TypeCodeOfName(names, fields[kFieldType]), ActionCodeOfName(fields[kFieldAction]));
}

// Calls back for every non-empty line of the text, without its CR.
template <class Visit>
void ForEachLine(const char* text, DWORD length, Visit visit)
{
    DWORD start = 0;
    for (DWORD i = 0; i <= length; ++i) {
        if (i < length && text[i] != '\n') continue;
        DWORD end = i;
        if (end > start && text[end - 1] == '\r') --end;
        if (end > start) visit(text + start, static_cast<size_t>(end - start));
        start = i + 1;
    }
}

// Fills the shared item list from the file: one record per line, the
// newest kMaxItems when there are more.
void LoadHistoryItems()
{
    ClearItems();
    DWORD length = 0;
    std::unique_ptr<char[]> text = ReadHistoryText(&length);
    if (!text) return;
    int lines = 0;
    ForEachLine(text.get(), length, [&](const char*, size_t) { ++lines; });
    int skip = lines > kMaxItems ? lines - kMaxItems : 0;
    std::unique_ptr<TypeNames> names(new (std::nothrow) TypeNames);
    if (!names) return;
    LoadTypeNames(names.get());
    ForEachLine(text.get(), length, [&](const char* line, size_t size) {
        if (skip > 0) {
            --skip;
            return;
        }
        AddHistoryRecord(*names, line, size);
    });
}

void FillHistoryList(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_LIST);
    LoadHistoryItems();
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        char title[kTitleLen];
        char action[48];
        char program[kPathLen];
        char date[kDetailLen];
        GetItemTitle(i, title);
        ActionCodeName(GetItemFlag(i), action);
        GetItemPath(i, program);
        GetItemDetail(i, date, sizeof(date));
        const int row = InsertRow(list, title, 0, i);
        if (row < 0) break;
        SetRowText(list, row, 1, action);
        SetRowText(list, row, 2, program);
        SetRowText(list, row, 3, date);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    // The newest lines are the ones a user looks for.
    if (count > 0) SendMessageA(list, LVM_ENSUREVISIBLE, count - 1, FALSE);
    InvalidateRect(list, nullptr, TRUE);
}

void UpdateUndoButton(HWND dialog)
{
    const int item = SelectedItem(GetDlgItem(dialog, IDC_LIST));
    const int enable = item >= 0 && item < ItemCount() && IsReversibleCode(GetItemFlag(item));
    EnableWindow(GetDlgItem(dialog, IDC_UNDO), enable);
}

// The path is quoted, so that a folder with blanks stays one argument; a
// path that carries quotes of its own is no file name.
void RegisterHelperAgain(const char* program)
{
    if (!program[0] || std::strchr(program, '"')) return;
    char command[MAX_PATH + 32];
    if (StrFormatA(command, "regsvr32 /s \"%s\"", program) != 0) return;
    WinExec(command, SW_SHOW);
}

// Undoes the change of one history record. The line stays in the file.
void UndoItem(int item)
{
    if (item < 0 || item >= ItemCount()) return;
    char title[kTitleLen];
    char program[kPathLen];
    char extra[kEntryLen];
    GetItemTitle(item, title);
    GetItemPath(item, program);
    GetItemEntryName(item, extra);
    const int code = GetItemType(item);
    switch (GetItemFlag(item)) {
    case kActionStartRemove:
        RestoreRunProgram(title, program, extra, code);
        break;
    case kActionStartDisable:
    case kActionStartEnable:
        DisableRunProgram(title, program, extra, code);
        break;
    case kActionHelperRemove:
        RegisterHelperAgain(program);
        break;
    case kActionHiddenDelete:
        RestoreHiddenFileFromVault(program);
        break;
    default:
        break;
    }
}

void UndoSelected(HWND dialog, bool reversibleOnly)
{
    HWND list = GetDlgItem(dialog, IDC_LIST);
    const int row = SelectedRow(list);
    const int item = SelectedItem(list);
    if (item < 0 || item >= ItemCount()) return;
    if (reversibleOnly && !IsReversibleCode(GetItemFlag(item))) return;
    UndoItem(item);
    FillHistoryList(dialog);
    if (row >= 0 && row < ItemCount()) SelectRow(list, row);
    UpdateUndoButton(dialog);
}

void ClearHistoryFile(HWND dialog)
{
    char path[MAX_PATH];
    GetHistoryFilePath(path);
    DeleteFileForced(path);
    FillHistoryList(dialog);
    UpdateUndoButton(dialog);
}

void ShowHistoryMenu(HWND dialog)
{
    if (SelectedItem(GetDlgItem(dialog, IDC_LIST)) < 0) return;
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) return;
    AppendMenuText(menu.get(), IDS_UNDO, IDC_UNDO);
    AppendMenuText(menu.get(), IDS_CLEAR_FILE, IDC_CLEAR);
    AppendMenuText(menu.get(), IDS_CLOSE, IDOK);
    AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuText(menu.get(), IDS_PRIME_INFO, IDC_PRIME_INFO);
    AppendMenuText(menu.get(), IDS_VELMORA_LOG, IDC_HTML_REPORT);
    AppendMenuText(menu.get(), IDS_VELMORA_HELP, IDC_HELP_IMAGE);
    if (!IsReversibleCode(GetItemFlag(SelectedItem(GetDlgItem(dialog, IDC_LIST)))))
        EnableMenuItem(menu.get(), IDC_UNDO, MF_BYCOMMAND | MF_GRAYED);
    POINT cursor;
    GetCursorPos(&cursor);
    SetForegroundWindow(dialog);
    TrackPopupMenuEx(menu.get(), TPM_VERTICAL, cursor.x, cursor.y, dialog, nullptr);
    PostMessageA(dialog, WM_NULL, 0, 0);
}

void InitHistoryDialog(HWND dialog)
{
    char caption[256];
    if (LoadLocalizedString(IDS_HISTORY_CAPTION, caption) > 0) SetWindowTextA(dialog, caption);
    SetDialogText(dialog, IDS_HISTORY_TEXT, IDC_HISTORY_TEXT);
    SetDialogText(dialog, IDS_UNDO, IDC_UNDO);
    SetDialogText(dialog, IDS_CLEAR_FILE, IDC_CLEAR);
    SetDialogText(dialog, IDS_CLOSE, IDOK);
    HWND list = GetDlgItem(dialog, IDC_LIST);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    InsertColumns(list, kHistorySpec);
    ResetSortDirections();
    RestorePlacement(dialog, "xPosHistory", "yPosHistory", "dxPosHistory", "dyPosHistory");
    FillHistoryList(dialog);
    EnableWindow(GetDlgItem(dialog, IDC_UNDO), FALSE);
}

void EndHistoryDialog(HWND dialog)
{
    SavePlacement(dialog, "xPosHistory", "yPosHistory", "dxPosHistory", "dyPosHistory");
    ClearItems();
    EndDialog(dialog, IDOK);
}

INT_PTR OnHistoryNotify(HWND dialog, const NMHDR* header)
{
    if (header->idFrom != IDC_LIST) return FALSE;
    switch (header->code) {
    case LVN_ITEMCHANGED:
    case NM_CLICK:
    case NM_SETFOCUS:
        UpdateUndoButton(dialog);
        break;
    case NM_DBLCLK:
        UndoSelected(dialog, false);
        break;
    case NM_RCLICK:
        ShowHistoryMenu(dialog);
        break;
    case LVN_COLUMNCLICK: {
        const int column = reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem;
        if (column >= 0 && column < kHistorySpec.columnCount)
            SortByColumnClick(header->hwndFrom, kHistorySpec, column);
        break;
    }
    default:
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK HistoryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitHistoryDialog(dialog);
        return TRUE;
    case WM_NOTIFY:
        return OnHistoryNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_UNDO:
            UndoSelected(dialog, true);
            return TRUE;
        case IDC_CLEAR:
            ClearHistoryFile(dialog);
            return TRUE;
        case IDC_HELP_IMAGE:
            OpenPageHelp(kListHistory);
            return TRUE;
        case IDC_PRIME_INFO:
            LookUpItem(SelectedItem(GetDlgItem(dialog, IDC_LIST)));
            return TRUE;
        case IDOK:
        case IDCANCEL:
            EndHistoryDialog(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        EndHistoryDialog(dialog);
        return TRUE;
    default:
        return FALSE;
    }
}

}   // namespace

void ShowHistoryWindow(HWND owner)
{
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_HISTORY), owner, HistoryProc, 0);
}
