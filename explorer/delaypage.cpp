// The Delayed Start page: the programs that start a while after logon, with
// adding, their delay options, launching them now and putting them back into
// the normal startup list. The delayed store itself is the catalogue's.
#include "explorer/explorer.h"

#include <commdlg.h>

#include <cstring>
#include <iterator>
#include <vector>

#include "catalogue/catalogue.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_HEADING = 1187;
constexpr int IDC_HINT = 1200;
constexpr int IDC_ADD = 1064;
constexpr int IDC_DELAY_OPTIONS = 1197;
constexpr int IDC_LAUNCH = 1065;
constexpr int IDC_RESTORE_STARTUP = 1198;

// Delay options dialog (198).
constexpr int IDC_OPTIONS_TEXT = 1188;
constexpr int IDC_MINUTES_LABEL = 1190;
constexpr int IDC_SECONDS = 1191;
constexpr int IDC_SECONDS_LABEL = 1192;
constexpr int IDC_PARAMETERS = 1193;
constexpr int IDC_PARAMETERS_LABEL = 1194;
constexpr int IDC_TITLE = 1195;
constexpr int IDC_MINUTES = 1196;
constexpr int IDC_TITLE_LABEL = 1197;
constexpr int IDC_OPEN_AS_LABEL = 1198;
constexpr int IDC_OPEN_AS = 1199;

// Program type dialog (199).
constexpr int IDC_TYPE_TEXT = 1126;
constexpr int IDC_ALL_USERS = 1199;
constexpr int IDC_CURRENT_USER = 1200;

constexpr int IDS_NO_SELECTION = 57;
constexpr int IDS_INFO = 301;
constexpr int IDS_REMOVE = 302;
constexpr int IDS_CLOSE = 304;
constexpr int IDS_ADD = 311;
constexpr int IDS_DELAYED_TAB = 609;
constexpr int IDS_RUNNING = 655;
constexpr int IDS_APPLY = 662;
constexpr int IDS_FILE_NOT_FOUND = 730;
constexpr int IDS_START_PATROL = 784;
constexpr int IDS_ADD_TITLE = 902;
constexpr int IDS_ADD_FILTER = 903;
constexpr int IDS_VIEW_NOTE = 971;
constexpr int IDS_HEADING = 1100;
constexpr int IDS_OPTIONS_TEXT = 1111;
constexpr int IDS_OPTIONS_CAPTION = 1112;
constexpr int IDS_MINUTES = 1113;
constexpr int IDS_SECONDS = 1114;
constexpr int IDS_LAUNCH = 1117;
constexpr int IDS_DELAY_START_OPTIONS = 1118;
constexpr int IDS_MIN = 1121;
constexpr int IDS_SEC = 1122;
constexpr int IDS_RESTORE_STARTUP = 1124;
constexpr int IDS_TYPE_TEXT = 1126;
constexpr int IDS_ALL_USERS = 1127;
constexpr int IDS_CURRENT_USER = 1128;
constexpr int IDS_TYPE_CAPTION = 1129;
constexpr int IDS_TITLE_LABEL = 1131;
constexpr int IDS_DELAY_OPTIONS = 1132;
constexpr int IDS_HINT = 1133;
constexpr int IDS_EXPLORE = 1135;
constexpr int IDS_PROPERTIES = 1136;
constexpr int IDS_OPEN_AS = 1141;
constexpr int IDS_PATH_TOO_LONG = 1189;
constexpr int IDS_PARAMETERS_LABEL = 1194;

constexpr const char* kDelayTimeKey = "Software\\Corvath\\Velmora\\Delay\\Time";
constexpr const char* kDelayTitleKey = "Software\\Corvath\\Velmora\\Delay\\Title";
constexpr const char* kDelayParametersKey = "Software\\Corvath\\Velmora\\Delay\\Parameters";
constexpr const char* kDelayAppletKey = "Software\\Corvath\\Velmora\\Delay\\Applet";
constexpr const char* kDelayOpenAsKey = "Software\\Corvath\\Velmora\\Delay\\OpenAs";
constexpr const char* kAllUsersCode = "1";
constexpr const char* kCurrentUserCode = "11";
constexpr const char* kNewEntryTime = "30";

// The choices of the Delay Options dialog bound every stored delay it shows.
constexpr int kMaxMinutes = 60;
constexpr int kSecondSteps = 6;
constexpr int kMaxDelay = kMaxMinutes * 60 + (kSecondSteps - 1) * 10;
constexpr int kOpenAsTexts[] = {1138, 1139, 1140};
static_assert(std::size(kOpenAsTexts) == 3);
// Text boxes of the dialog.
constexpr int kOptionTextLen = 256;
// A program path names a registry value in the store, and value names
// hold at most 255 characters.
constexpr size_t kMaxProgramLen = 255;
constexpr int kFileDialogLen = 512;

struct ControlText {
    int stringId;
    int controlId;
};
constexpr ControlText kPageTexts[] = {
    {IDS_HEADING, IDC_HEADING}, {IDS_HINT, IDC_HINT},   {IDS_INFO, IDC_INFO_BUTTON},
    {IDS_ADD, IDC_ADD},         {IDS_DELAY_OPTIONS, IDC_DELAY_OPTIONS},
    {IDS_REMOVE, IDC_REMOVE},   {IDS_CLOSE, IDC_CLOSE},
};
static_assert(std::size(kPageTexts) == 7);

HKEY StoreRoot(int flag)
{
    return flag == 1 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// A stored number: digits only, else 0 (as if there were none).
int ParseStoredNumber(const char* text)
{
    long long value = 0;
    int digits = 0;
    for (; *text >= '0' && *text <= '9'; ++text, ++digits) {
        value = value * 10 + (*text - '0');
        if (value > 0x7FFFFFFF) return 0;
    }
    return (digits > 0 && *text == '\0') ? static_cast<int>(value) : 0;
}

int StoredDelay(HKEY root, const char* program)
{
    char text[32];
    GetRegValue(root, kDelayTimeKey, program, text);
    return ParseStoredNumber(text);
}

void LoadText(int id, char (&out)[64])
{
    if (LoadLocalizedString(id, out) <= 0) out[0] = '\0';
}

void FormatDelay(int seconds, char (&out)[64])
{
    char min[64];
    char sec[64];
    LoadText(IDS_MIN, min);
    LoadText(IDS_SEC, sec);
    if (seconds >= 60)
        StrFormatA(out, "%d %s : %d %s", seconds / 60, min, seconds % 60, sec);
    else
        StrFormatA(out, "%d %s", seconds, sec);
}

// The part of a path a row shows in its Command column.
const char* ShownName(const char* path)
{
    return path + FileNameOffset(path);
}

int IsRunning(const char* program)
{
    char normalized[MAX_PATH];
    NormalizeProgramPath(program, normalized);
    return normalized[0] && IsProgramRunning(normalized);
}

void StatusText(int running, const char* program, char (&out)[64])
{
    out[0] = '\0';
    if (running)
        LoadText(IDS_RUNNING, out);
    else if (GetFileAttributesA(program) == INVALID_FILE_ATTRIBUTES)
        LoadText(IDS_FILE_NOT_FOUND, out);
}

void AddDelayedRow(HWND list, HIMAGELIST images, int item)
{
    char title[kTitleLen];
    char program[kPathLen];
    GetItemTitle(item, title);
    GetItemPath(item, program);
    const int image = images ? AddFileIcon(images, program) : 0;
    const int row = InsertRow(list, title, image, item);
    if (row < 0) return;
    const int running = IsRunning(program);
    const int delay = StoredDelay(StoreRoot(GetItemFlag(item)), program);
    char status[64];
    char delayText[64];
    char delayKey[16];
    StatusText(running, program, status);
    FormatDelay(delay, delayText);
    StrFormatA(delayKey, "%04d", delay);
    SetRowText(list, row, 1, ShownName(program));
    SetRowText(list, row, 2, status);
    SetRowText(list, row, 3, delayText);
    SetSortKey(item, 0, title);
    SetSortKey(item, 1, ShownName(program));
    SetSortKey(item, 2, running ? "0" : "1");
    SetSortKey(item, 3, delayKey);
}

// The framework has emptied the list and its sort keys.
int FillDelayedList(HWND, HWND list)
{
    const int count = GetDelayedPrograms();
    HIMAGELIST images = CreateRowImages(list);
    for (int i = 0; i < count; ++i) AddDelayedRow(list, images, i);
    return count;
}

// The item a row shows. The row's own item when it still shows that
// program; else the first item whose file name is the row's Command text,
// else the item of the row's number.
int ItemOfRow(HWND list, int row)
{
    char shown[kPathLen];
    if (!GetRowText(list, row, 1, shown, sizeof(shown))) shown[0] = '\0';
    char program[kPathLen];
    const int own = RowItem(list, row);
    if (own >= 0 && own < ItemCount()) {
        GetItemPath(own, program);
        if (lstrcmpiA(ShownName(program), shown) == 0) return own;
    }
    for (int i = 0; i < ItemCount(); ++i) {
        GetItemPath(i, program);
        if (lstrcmpiA(ShownName(program), shown) == 0) return i;
    }
    return row < ItemCount() ? row : -1;
}

// A selected entry, named by what outlives a refill: its program and store.
struct DelayedEntry {
    char program[kPathLen];
    int flag;
};

std::vector<DelayedEntry> SelectedEntries(HWND list)
{
    std::vector<DelayedEntry> entries;
    for (int row = -1;;) {
        row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, row, LVNI_SELECTED));
        if (row < 0) break;
        const int item = ItemOfRow(list, row);
        if (item < 0) continue;
        DelayedEntry entry;
        GetItemPath(item, entry.program);
        entry.flag = GetItemFlag(item);
        entries.push_back(entry);
    }
    return entries;
}

// The entry's index in the item list as it is now, or -1.
int FindEntry(const DelayedEntry& entry)
{
    char program[kPathLen];
    for (int i = 0; i < ItemCount(); ++i) {
        GetItemPath(i, program);
        if (GetItemFlag(i) == entry.flag && std::strcmp(program, entry.program) == 0) return i;
    }
    return -1;
}

void SelectEntryRow(HWND list, const DelayedEntry& entry)
{
    const int item = FindEntry(entry);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        if (RowItem(list, row) == item) {
            SelectRow(list, row);
            return;
        }
    }
}

HWND PageList(HWND page)
{
    return GetDlgItem(page, IDC_LIST);
}

// ---------------------------------------------------------------------------
// Delay Options dialog (198).
struct OptionsContext {
    HKEY root;
    const char* program;
    // A stored text longer than its box is written back only when the user
    // has edited it, so that opening and applying loses nothing.
    bool parametersCut;
    bool titleCut;
};

void FillCombo(HWND combo, int first, int count, int step)
{
    for (int i = 0; i < count; ++i) {
        char text[16];
        StrFormatA(text, "%d", first + i * step);
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

// 1 when the stored text had to be cut to fit the box.
bool ShowStoredText(HWND dialog, int control, HKEY root, const char* subkey, const char* program)
{
    char stored[1024];
    GetRegValue(root, subkey, program, stored);
    char shown[kOptionTextLen + 1];
    const bool cut = StrCopy(shown, stored) != 0;
    SendDlgItemMessageA(dialog, control, EM_LIMITTEXT, kOptionTextLen, 0);
    SetDlgItemTextA(dialog, control, shown);
    SendDlgItemMessageA(dialog, control, EM_SETMODIFY, FALSE, 0);
    return cut;
}

void InitOptionsDialog(HWND dialog, OptionsContext& context)
{
    char caption[256];
    if (LoadLocalizedString(IDS_OPTIONS_CAPTION, caption) > 0) SetWindowTextA(dialog, caption);
    SetDialogText(dialog, IDS_OPTIONS_TEXT, IDC_OPTIONS_TEXT);
    SetDialogText(dialog, IDS_APPLY, IDOK);
    SetDialogText(dialog, IDS_CLOSE, IDCANCEL);
    SetDialogText(dialog, IDS_MINUTES, IDC_MINUTES_LABEL);
    SetDialogText(dialog, IDS_SECONDS, IDC_SECONDS_LABEL);
    SetDialogText(dialog, IDS_OPEN_AS, IDC_OPEN_AS_LABEL);
    SetDialogText(dialog, IDS_TITLE_LABEL, IDC_TITLE_LABEL);
    SetDialogText(dialog, IDS_PARAMETERS_LABEL, IDC_PARAMETERS_LABEL);
    HWND minutes = GetDlgItem(dialog, IDC_MINUTES);
    HWND seconds = GetDlgItem(dialog, IDC_SECONDS);
    HWND openAs = GetDlgItem(dialog, IDC_OPEN_AS);
    FillCombo(minutes, 0, kMaxMinutes + 1, 1);
    FillCombo(seconds, 0, kSecondSteps, 10);
    for (int id : kOpenAsTexts) {
        char text[64];
        LoadText(id, text);
        SendMessageA(openAs, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    // A value edited by hand may lie outside what the lists offer.
    int delay = StoredDelay(context.root, context.program);
    if (delay > kMaxDelay) delay = kMaxDelay;
    SendMessageA(minutes, CB_SETCURSEL, delay / 60, 0);
    SendMessageA(seconds, CB_SETCURSEL, (delay % 60) / 10, 0);
    char stored[32];
    GetRegValue(context.root, kDelayOpenAsKey, context.program, stored);
    int state = ParseStoredNumber(stored);
    if (state >= static_cast<int>(std::size(kOpenAsTexts))) state = 0;
    SendMessageA(openAs, CB_SETCURSEL, state, 0);
    context.parametersCut =
        ShowStoredText(dialog, IDC_PARAMETERS, context.root, kDelayParametersKey, context.program);
    context.titleCut = ShowStoredText(dialog, IDC_TITLE, context.root, kDelayTitleKey, context.program);
}

int ComboChoice(HWND dialog, int control)
{
    const LRESULT choice = SendDlgItemMessageA(dialog, control, CB_GETCURSEL, 0, 0);
    return choice == CB_ERR ? 0 : static_cast<int>(choice);
}

void StoreEditedText(HWND dialog, int control, bool cut, const OptionsContext& context,
                     const char* subkey)
{
    if (cut && !SendDlgItemMessageA(dialog, control, EM_GETMODIFY, 0, 0)) return;
    char text[kOptionTextLen + 1];
    GetDlgItemTextA(dialog, control, text, sizeof(text));
    SetRegValue(context.root, subkey, context.program, text);
}

void ApplyOptions(HWND dialog, const OptionsContext& context)
{
    const int delay = ComboChoice(dialog, IDC_MINUTES) * 60 + ComboChoice(dialog, IDC_SECONDS) * 10;
    char number[16];
    StrFormatA(number, "%d", delay);
    SetRegValue(context.root, kDelayTimeKey, context.program, number);
    StrFormatA(number, "%d", ComboChoice(dialog, IDC_OPEN_AS));
    SetRegValue(context.root, kDelayOpenAsKey, context.program, number);
    StoreEditedText(dialog, IDC_PARAMETERS, context.parametersCut, context, kDelayParametersKey);
    StoreEditedText(dialog, IDC_TITLE, context.titleCut, context, kDelayTitleKey);
}

INT_PTR CALLBACK OptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        InitOptionsDialog(dialog, *reinterpret_cast<OptionsContext*>(lParam));
        return TRUE;
    case WM_COMMAND: {
        const auto* context = reinterpret_cast<const OptionsContext*>(
            GetWindowLongPtrA(dialog, DWLP_USER));
        switch (LOWORD(wParam)) {
        case IDOK:
            if (context) ApplyOptions(dialog, *context);
            EndDialog(dialog, 0);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, -1);
            return TRUE;
        default:
            return FALSE;
        }
    }
    default:
        return FALSE;
    }
}

void DelayOptions(HWND page)
{
    HWND list = PageList(page);
    const int row = SelectedRow(list);
    const int item = row >= 0 ? ItemOfRow(list, row) : -1;
    if (item < 0) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    DelayedEntry entry;
    GetItemPath(item, entry.program);
    entry.flag = GetItemFlag(item);
    OptionsContext context = {StoreRoot(entry.flag), entry.program, false, false};
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DELAY_OPTIONS), page,
                    OptionsProc, reinterpret_cast<LPARAM>(&context));
    RefillPage(page);
    SelectEntryRow(list, entry);
}

// ---------------------------------------------------------------------------
// Add: the program file, then who it starts for (dialog 199).
INT_PTR CALLBACK TypeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        char caption[256];
        if (LoadLocalizedString(IDS_TYPE_CAPTION, caption) > 0) SetWindowTextA(dialog, caption);
        SetDialogText(dialog, IDS_TYPE_TEXT, IDC_TYPE_TEXT);
        SetDialogText(dialog, IDS_ALL_USERS, IDC_ALL_USERS);
        SetDialogText(dialog, IDS_CURRENT_USER, IDC_CURRENT_USER);
        CheckRadioButton(dialog, IDC_ALL_USERS, IDC_CURRENT_USER, IDC_CURRENT_USER);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(dialog, IsDlgButtonChecked(dialog, IDC_ALL_USERS) == BST_CHECKED
                                  ? IDC_ALL_USERS
                                  : IDC_CURRENT_USER);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

int ChooseProgramFile(HWND page, char (&path)[kFileDialogLen])
{
    char title[256];
    char filter[256];
    LoadLocalizedString(IDS_ADD_TITLE, title);
    if (LoadLocalizedString(IDS_ADD_FILTER, filter) <= 0) filter[0] = '\0';
    // The filter's pairs are separated by NULs, which a string resource
    // cannot hold; the text ends with two of them.
    const size_t length = std::strlen(filter);
    for (size_t i = 0; i < length; ++i)
        if (filter[i] == '%') filter[i] = '\0';
    if (length + 1 < sizeof(filter)) filter[length + 1] = '\0';
    StrCopy(path, "Path");
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = page;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = kFileDialogLen;
    dialog.lpstrInitialDir = "C:\\Program Files";
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER |
                   OFN_LONGNAMES;
    if (!GetOpenFileNameA(&dialog)) return 0;
    return std::strlen(path) > 4;
}

void TellAboutPath(HWND page, int stringId, const char* path)
{
    char text[256];
    char message[1024];
    LoadLocalizedString(stringId, text);
    StrFormatA(message, "%s\n\n%s", text, path);
    AskUser(page, message, MB_OK | MB_ICONEXCLAMATION);
}

// 1 when the path can be kept in the store: the file is there and its path
// fits a value name.
int CheckNewProgram(HWND page, const char* path)
{
    if (std::strlen(path) > kMaxProgramLen) {
        TellAboutPath(page, IDS_PATH_TOO_LONG, path);
        return 0;
    }
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        TellAboutPath(page, IDS_FILE_NOT_FOUND, path);
        return 0;
    }
    return 1;
}

void AddProgram(HWND page)
{
    char path[kFileDialogLen];
    if (!ChooseProgramFile(page, path) || !CheckNewProgram(page, path)) return;
    const INT_PTR answer = DialogBoxParamA(GetModuleHandleA(nullptr),
                                           MAKEINTRESOURCEA(IDD_DELAY_TYPE), page, TypeProc, 0);
    if (answer != IDC_ALL_USERS && answer != IDC_CURRENT_USER) return;
    const bool allUsers = answer == IDC_ALL_USERS;
    const HKEY root = allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    // A program already delayed keeps its record: its code says where it
    // goes back to.
    char existing[16];
    if (ReadRegText(root, kDelayKey, path, existing) == kRegTextMissing &&
        SetRegValue(root, kDelayKey, path, allUsers ? kAllUsersCode : kCurrentUserCode))
        SetRegValue(root, kDelayTimeKey, path, kNewEntryTime);
    RefillPage(page);
}

// ---------------------------------------------------------------------------
// Launch, restore and remove act on every selected row.
void LaunchEntry(const DelayedEntry& entry)
{
    const HKEY root = StoreRoot(entry.flag);
    char parameters[1024];
    char applet[MAX_PATH];
    GetRegValue(root, kDelayParametersKey, entry.program, parameters);
    // An applet entry starts the applet with the program as its argument,
    // as at logon.
    if (GetRegValue(root, kDelayAppletKey, entry.program, applet) > 0) {
        char arguments[1024];
        const char* quote = std::strchr(entry.program, ' ') ? "\"" : "";
        if (StrFormatA(arguments, "%s%s%s%s", quote, entry.program, quote, parameters) == 0)
            RunProgram(nullptr, root, applet, arguments);
        return;
    }
    RunProgram(nullptr, root, entry.program, parameters);
}

void LaunchSelected(HWND page)
{
    const std::vector<DelayedEntry> entries = SelectedEntries(PageList(page));
    if (entries.empty()) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    for (const DelayedEntry& entry : entries) LaunchEntry(entry);
    RefillPage(page);
}

void RestoreSelected(HWND page)
{
    const std::vector<DelayedEntry> entries = SelectedEntries(PageList(page));
    if (entries.empty()) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    // The store record is removed only once the entry is back, so a failed
    // restore loses nothing.
    for (const DelayedEntry& entry : entries) UndelayEntry(FindEntry(entry), 1);
    RefillPage(page);
}

void RemoveSelected(HWND page)
{
    const std::vector<DelayedEntry> entries = SelectedEntries(PageList(page));
    if (entries.empty()) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    char question[1024];
    LoadLocalizedString(IDS_UNDELAY_QUESTION, question);
    for (const DelayedEntry& entry : entries) {
        const int item = FindEntry(entry);
        if (item < 0) continue;
        const int answer = AskUser(page, question, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) break;
        UndelayEntry(item, answer == IDYES);
        RefillPage(page);
    }
    RefillPage(page);
}

// ---------------------------------------------------------------------------
// Page hooks.
void InitDelayedPage(HWND page)
{
    for (const ControlText& text : kPageTexts) SetDialogText(page, text.stringId, text.controlId);
    if (!IsNtPlatform()) ShowWindow(GetDlgItem(page, IDC_CLOSE), SW_HIDE);
}

int DelayedCommand(HWND page, int id)
{
    switch (id) {
    case IDC_ADD:
        AddProgram(page);
        return 1;
    case IDC_DELAY_OPTIONS:
        DelayOptions(page);
        return 1;
    case IDC_LAUNCH:
        LaunchSelected(page);
        return 1;
    case IDC_RESTORE_STARTUP:
        RestoreSelected(page);
        return 1;
    case IDC_REMOVE:
        RemoveSelected(page);
        return 1;
    default:
        return 0;
    }
}

void DelayedMenu(HWND, HMENU menu, int item)
{
    AppendMenuText(menu, IDS_INFO, IDC_INFO_BUTTON);
    AppendMenuText(menu, IDS_EXPLORE, IDC_EXPLORE_FOLDER);
    AppendMenuText(menu, IDS_PROPERTIES, IDC_PROGRAM_PROPERTIES);
    AppendMenuText(menu, IDS_ADD, IDC_ADD);
    AppendMenuText(menu, IDS_LAUNCH, IDC_LAUNCH);
    AppendMenuText(menu, IDS_DELAY_START_OPTIONS, IDC_DELAY_OPTIONS);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuText(menu, IDS_REMOVE, IDC_REMOVE);
    AppendMenuText(menu, IDS_RESTORE_STARTUP, IDC_RESTORE_STARTUP);
    char program[kPathLen] = "";
    if (item >= 0 && item < ItemCount()) GetItemPath(item, program);
    if (program[0] && NoteExists(program)) AppendMenuText(menu, IDS_VIEW_NOTE, IDC_VIEW_NOTE);
}

const PageSpec kDelayedSpec = {
    kPageDelayed, IDD_PAGE_DELAYED, IDS_DELAYED_TAB, IDI_TAB_DELAYED, "SortPrograms",
    4, {627, 628, 648, 1119}, {0.35, 0.3, 0.15, 0.2},
    false, false, 0,
    {IDC_INFO_BUTTON, IDC_ADD, IDC_DELAY_OPTIONS, IDC_REMOVE, IDC_CLOSE, 0}, {0},
    IDS_START_PATROL,
    InitDelayedPage, FillDelayedList, nullptr, DelayedCommand, DelayedMenu,
};

}   // namespace

const PageSpec& DelayedPageSpec()
{
    return kDelayedSpec;
}
