// The Hidden Files page: the hidden files of the folders where unwanted
// software likes to hide, with unhiding, deleting into the vault, deleting
// at the next restart and a look at the file in Notepad.
#include "explorer/explorer.h"

#include <cstring>
#include <iterator>

#include "catalogue/catalogue.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_HEADING = 1178;
constexpr int IDC_HINT = 1179;
constexpr int IDC_REFRESH = 1006;
constexpr int IDC_UNHIDE = 1007;
constexpr int kCmdDeleteOnReboot = 1144;
constexpr int kCmdViewInNotepad = 1180;
constexpr int kCmdDelete = 1184;

constexpr int IDS_NO_SELECTION = 57;
constexpr int IDS_INFO = 301;
constexpr int IDS_CLOSE = 304;
constexpr int IDS_REFRESH = 305;
constexpr int IDS_DELETE_ON_REBOOT_QUESTION = 800;
constexpr int IDS_DELETE_ON_REBOOT = 801;
constexpr int IDS_HEADING = 910;
constexpr int IDS_HINT = 911;
constexpr int IDS_VIEW_IN_NOTEPAD = 913;
constexpr int IDS_FILE_IN_USE_TEXT = 923;
constexpr int IDS_DELETE = 925;
constexpr int IDS_DELETE_QUESTION = 926;
constexpr int IDS_UNHIDE = 931;
constexpr int IDS_SYSTEM = 2440;

// A last-write text this long ends in the seconds or the AM/PM marker,
// which the column leaves out.
constexpr size_t kShortWrittenLen = 16;
constexpr size_t kWrittenCut = 3;

constexpr ControlText kPageTexts[] = {
    {IDC_HEADING, IDS_HEADING}, {IDC_HINT, IDS_HINT},     {IDC_INFO_BUTTON, IDS_INFO},
    {IDC_REFRESH, IDS_REFRESH}, {IDC_UNHIDE, IDS_UNHIDE}, {IDC_CLOSE, IDS_CLOSE},
};
static_assert(std::size(kPageTexts) == 6);

// What every row of one fill shares.
struct FillState {
    UniqueKey detected;
    RegionalFormat format;
    char fileInUse[64] = "";
    char system[64] = "";
};

// The date the file was first seen, recorded now when it has none.
void FirstDetected(FillState& state, const char* path, char (&out)[24])
{
    out[0] = '\0';
    char normalized[kPathLen];
    NormalizeProgramPath(path, normalized);
    if (!normalized[0]) return;
    if (state.detected && QueryRegText(state.detected.get(), normalized, out) > 0) return;
    StampFirstDetected(path, kDetectedHiddenKey);
    GetRegValue(HKEY_CURRENT_USER, kDetectedHiddenKey, normalized, out);
}

// What the page reads of a file: its last-write time, and that as the
// information dialog shows it.
struct FileLook {
    char written[24] = "";
    FILETIME time = {};
};

// Only programs, libraries and icon files hold icons. Asking the shell for
// one of any other file, or reading the file's first bytes to tell, costs
// more than the rest of its row.
constexpr const char* kIconExtensions[] = {"exe", "dll", "ico", "cpl", "scr", "ocx",
                                           "sys", "drv", "com", "cur", "ani", "icl"};

bool HoldsIcons(const char* name)
{
    const char* dot = std::strrchr(name, '.');
    if (!dot) return false;
    for (const char* extension : kIconExtensions)
        if (lstrcmpiA(dot + 1, extension) == 0) return true;
    return false;
}

// 0 when the file cannot be opened for reading (held by another program).
int LookAtFile(const FillState& state, const char* path, FileLook* look)
{
    UniqueFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    FILETIME local = {};
    SYSTEMTIME time = {};
    if (!GetFileTime(file.get(), nullptr, nullptr, &look->time) ||
        (look->time.dwLowDateTime == 0 && look->time.dwHighDateTime == 0) ||
        !FileTimeToLocalFileTime(&look->time, &local) || !FileTimeToSystemTime(&local, &time))
        return 0;
    FormatDateTimeAs(&state.format, &time, look->written);
    return look->written[0] ? 1 : 0;
}

void AddHiddenRow(HWND list, FillState& state, int item)
{
    char path[kPathLen];
    GetItemPath(item, path);
    const int nameAt = FileNameOffset(path);
    if (nameAt <= 0 || path[nameAt - 1] != '\\') return;
    const char* name = path + nameAt;
    char folder[kPathLen];
    StrCopy(folder, path);
    // The root keeps its backslash ("C:\"), any other folder loses it.
    folder[nameAt > 3 ? nameAt - 1 : nameAt] = '\0';

    char detected[24];
    FirstDetected(state, path, detected);
    FileLook look;
    char shown[64];
    const int readable = LookAtFile(state, path, &look);
    if (readable) {
        StrCopy(shown, look.written);
        const size_t length = strlen(shown);
        if (length > kShortWrittenLen) shown[length - kWrittenCut] = '\0';
    } else {
        StrCopy(shown, state.fileInUse);
    }
    // The flag word is 0 for a file that has the system attribute.
    const int flag = GetItemFlag(item);

    int image = readable && HoldsIcons(name) ? FileIcon(kPageHiddenFiles, path, 0, look.time) : -1;
    if (image < 0) image = FallbackFileIcon(kPageHiddenFiles);
    const int row = InsertRow(list, name, image, item);
    if (row < 0) return;
    SetRowText(list, row, 1, folder);
    SetRowText(list, row, 2, detected);
    SetRowText(list, row, 3, shown);
    SetRowText(list, row, 4, flag == 0 ? state.system : "");

    char detectedKey[16];
    char writtenKey[16];
    char flagKey[16];
    DateSortKey(detected, detectedKey);
    DateSortKey(look.written, writtenKey);
    StrFormatA(flagKey, "%d", flag);
    SetSortKey(item, 0, name);
    SetSortKey(item, 1, folder);
    SetSortKey(item, 2, detectedKey);
    SetSortKey(item, 3, writtenKey);
    SetSortKey(item, 4, flagKey);
}

int FillHidden(HWND, HWND list)
{
    const int count = BuildHiddenFileList();
    BeginFileIcons(kPageHiddenFiles, list);
    FillState state;
    RegOpenKeyExA(HKEY_CURRENT_USER, kDetectedHiddenKey, 0, KEY_READ, state.detected.put());
    ReadRegionalFormat(&state.format);
    LoadLocalizedString(IDS_FILE_IN_USE_TEXT, state.fileInUse);
    LoadLocalizedString(IDS_SYSTEM, state.system);
    for (int item = 0; item < count; ++item) AddHiddenRow(list, state, item);
    EndFileIcons(kPageHiddenFiles, list);
    return count;
}

void InitHidden(HWND page)
{
    SetPageTexts(page, kPageTexts);
    EnableWindow(GetDlgItem(page, IDC_MONITOR_IMAGE), TRUE);
    EnableWindow(GetDlgItem(page, IDC_MONITOR_LABEL), TRUE);
}

void UpdateHidden(HWND page, HWND list)
{
    const int item = SelectedItem(list);
    if (item < 0) return;
    char path[kPathLen];
    GetItemPath(item, path);
    SetStatusText(path, GetSharedFont(kFontBoldTiny));
    HFONT font = NoteExists(path) ? GetSharedFont(kFontDialogBold) : nullptr;
    if (!font) font = reinterpret_cast<HFONT>(SendMessageA(page, WM_GETFONT, 0, 0));
    SendDlgItemMessageA(page, IDC_INFO_BUTTON, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// The selected file (path holds kPathLen); -1 and message 57 without one.
int SelectedFile(HWND page, char (&path)[kPathLen])
{
    path[0] = '\0';
    const int item = SelectedItem(GetDlgItem(page, IDC_LIST));
    if (item < 0) {
        ShowMessage(page, IDS_NO_SELECTION);
        return -1;
    }
    GetItemPath(item, path);
    return item;
}

// Normal attributes also take away read-only and system: the file is then
// an ordinary one the user can see and change.
void Unhide(HWND page)
{
    char path[kPathLen];
    if (SelectedFile(page, path) < 0) return;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    RefillPage(page);
}

void DeleteToVault(HWND page)
{
    char path[kPathLen];
    const int item = SelectedFile(page, path);
    if (item < 0) return;
    char question[1024];
    LoadLocalizedString(IDS_DELETE_QUESTION, question);
    if (AskUser(page, question, MB_YESNO | MB_ICONHAND) != IDYES) return;
    char title[kTitleLen + 1];
    GetItemTitle(item, title);
    MoveHiddenFileToVault(title, path);
    RefillPage(page);
}

void DeleteOnReboot(HWND page)
{
    char path[kPathLen];
    if (SelectedFile(page, path) < 0) return;
    char question[1024];
    LoadLocalizedString(IDS_DELETE_ON_REBOOT_QUESTION, question);
    if (AskUser(page, question, MB_YESNO | MB_ICONHAND) != IDYES) return;
    DeleteAtRestart(path);
    RefillPage(page);
}

// The path is quoted: Notepad would otherwise stop a name at its first blank.
void ViewInNotepad(HWND page)
{
    char path[kPathLen];
    if (SelectedFile(page, path) < 0) return;
    char command[kPathLen + 32];
    if (StrFormatA(command, "notepad.exe \"%s\"", path) != 0) return;
    WinExec(command, SW_SHOWNORMAL);
}

int HiddenCommand(HWND page, int id)
{
    switch (id) {
    case IDC_REFRESH:
        RefillPage(page);
        return 1;
    case IDC_UNHIDE:
        Unhide(page);
        return 1;
    case kCmdDelete:
        DeleteToVault(page);
        return 1;
    case kCmdDeleteOnReboot:
        DeleteOnReboot(page);
        return 1;
    case kCmdViewInNotepad:
        ViewInNotepad(page);
        return 1;
    default:
        return 0;
    }
}

void HiddenMenu(HWND, HMENU menu, int item)
{
    AppendProgramBlock(menu, item);
    AppendMenuText(menu, IDS_REFRESH, IDC_REFRESH);
    AppendMenuText(menu, IDS_DELETE, kCmdDelete);
    AppendMenuText(menu, IDS_DELETE_ON_REBOOT, kCmdDeleteOnReboot);
    AppendMenuText(menu, IDS_VIEW_IN_NOTEPAD, kCmdViewInNotepad);
}

const PageSpec kHidden = {
    kPageHiddenFiles, IDD_PAGE_HIDDEN, 973, IDI_TAB_HIDDEN, "SortHidden", 5,
    {629, 776, 912, 914, 714}, {0.23, 0.3, 0.2, 0.2, 0.12}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_REFRESH, IDC_UNHIDE, IDC_CLOSE}, {}, 924,
    InitHidden, FillHidden, UpdateHidden, HiddenCommand, HiddenMenu};

}  // namespace

const PageSpec& HiddenFilesPageSpec() { return kHidden; }
