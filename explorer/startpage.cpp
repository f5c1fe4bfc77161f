// The Startup Programs page: every autostart entry of the machine, with
// enable, disable, remove, add, delayed start and delete-on-reboot. The
// catalogue does the work; the page fills rows, asks, and refills.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/catalogue.h"
#include "explorer/explorer.h"

namespace {

constexpr int IDC_LIST_VIEW = 1000;
constexpr int IDC_HEADING = 1047;
constexpr int IDC_SHOW_ALL = 1014;
constexpr int IDC_ENABLE = 10;
constexpr int IDC_DISABLE = 11;
constexpr int IDC_ADD = 1064;
constexpr int IDC_REMOVE = 1003;
constexpr int IDC_CLOSE = 1004;
constexpr int IDC_INFO = 1008;
constexpr int IDC_HELP_LABEL = 1134;
constexpr int IDC_MONITOR_LABEL = 1135;
constexpr int kCmdDelay = 1195;
constexpr int kCmdDeleteOnReboot = 1144;

constexpr int IDS_REMOVE_QUESTION = 15;
constexpr int IDS_NO_SELECTION = 57;
constexpr int IDS_HEADING = 211;
constexpr int IDS_INFO = 301;
constexpr int IDS_REMOVE = 302;
constexpr int IDS_CLOSE = 304;
constexpr int IDS_ADD = 311;
constexpr int IDS_DISABLED = 626;
constexpr int IDS_ENABLE = 632;
constexpr int IDS_DISABLE = 633;
constexpr int IDS_LOCATION = 646;
constexpr int IDS_RESET = 677;
constexpr int IDS_HELP = 793;
constexpr int IDS_MONITOR = 794;
constexpr int IDS_DELETE_ON_REBOOT_QUESTION = 800;
constexpr int IDS_DELETE_ON_REBOOT = 801;
constexpr int IDS_ADD_TITLE = 902;
constexpr int IDS_ADD_FILTER = 903;
constexpr int IDS_MOVE_TO_DELAYED = 1116;
constexpr int IDS_TITLE_PARKED_ELSEWHERE = 2101;
constexpr int IDS_ADD_NOT_FOUND = 2102;
constexpr int IDS_ADD_TOO_LONG = 2103;

constexpr const char* kUserRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// The page shows the names of the first 44 pairs of the type table; the
// later codes (added after the page was laid out) show an empty Type.
constexpr int kUnnamedTypes[] = {6, 7, 256, 370, 400, 450, 3000};
constexpr int kAddPathLen = 512;
constexpr int kCodeStartupGroup = 200;


// One selected entry as the catalogue wants it.
struct Entry {
    char title[kTitleLen + 1] = "";
    char path[kPathLen] = "";
    char entryName[kEntryLen] = "";
    int code = 0;
    int flag = 0;
};

void ReadEntry(int item, Entry* entry)
{
    GetItemTitle(item, entry->title);
    GetItemPath(item, entry->path);
    GetItemEntryName(item, entry->entryName);
    entry->code = GetItemType(item);
    entry->flag = GetItemFlag(item);
}

// The program file an entry's command starts (out holds kPathLen): the
// normalized path, searched for along the system folders when it is a bare
// name. Empty when the command names nothing.
void ResolveProgram(const char* command, char (&normalized)[kPathLen], char (&out)[kPathLen])
{
    NormalizeProgramPath(command, normalized);
    StrCopy(out, normalized);
    if (out[0] && !FileExistsInPath(out)) StrCopy(out, normalized);
}

// The code the marker of a title records; 0 when there is none.
int MarkerCode(const char* title)
{
    return title[0] ? GetDisabledCode(title) : 0;
}

// Whether the entry itself is the one parked under its title, given the
// code its title's marker records. A marker names one entry; another entry
// of the same title (another location, or another command in the same
// list) is active and is shown so.
int IsParked(int markerCode, const Entry& entry)
{
    if (markerCode == 0 || markerCode != entry.code) return 0;
    if (entry.code == kCodeStartupGroup) {
        // A parked Startup-folder file lives in the program's "Disabled" folder.
        char folder[MAX_PATH];
        if (GetProgramFolder(folder) <= 0 || StrAppend(folder, "\\Disabled\\") != 0) return 0;
        const char* file = entry.entryName[0] ? entry.entryName : entry.path;
        return _strnicmp(file, folder, strlen(folder)) == 0 ? 1 : 0;
    }
    const char* store = nullptr;
    if (!GetRunLocation(entry.code, nullptr, nullptr, &store)) store = GetDisabledStoreKey(entry.code);
    char stored[kRegTextMax];
    if (!store || ReadRegText(HKEY_LOCAL_MACHINE, store, entry.title, stored, kRegTextRaw) < 0)
        return 1;
    return SameListedPath(stored, entry.path);
}

int IsParkedEntry(const Entry& entry)
{
    return IsParked(MarkerCode(entry.title), entry);
}

// Registry value names are compared without regard to case.
std::string FoldedName(const char* name)
{
    std::string folded = name;
    CharUpperBuffA(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

// The Type column; `disabled` is the text of a parked entry.
void TypeText(const Entry& entry, int parked, const char* disabled, char (&out)[64])
{
    out[0] = '\0';
    if (parked) {
        StrCopy(out, disabled);
        return;
    }
    for (int code : kUnnamedTypes)
        if (code == entry.code) return;
    char name[48];
    TypeCodeName(entry.code, name);
    if (lstrcmpA(name, "TYPE_UNKNOWN") != 0) StrCopy(out, name);
}

// What the rows of one program file share, kept for the life of the
// process and looked at again only when the file changed: a list of
// thousands of entries names few distinct files, the page refills after
// every command, and finding a file, extracting its icon and reading its
// version record cost milliseconds each under a busy system.
struct ProgramFacts {
    std::string resolved;
    FILETIME written = {};
    bool found = false;
    int image = -1;   // in the program images, -1 when not yet added
    std::string company;
    std::string detected;
};
constexpr size_t kMaxPrograms = kMaxItems;
// A full list's commands, and those of a few fills after it changed.
constexpr size_t kMaxCommands = 4 * kMaxItems;

bool Unchanged(const ProgramFacts& facts)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!facts.found || !GetFileAttributesExA(facts.resolved.c_str(), GetFileExInfoStandard, &data))
        return false;
    return CompareFileTime(&facts.written, &data.ftLastWriteTime) == 0;
}

void ReadProgramFacts(const char* command, char (&normalized)[kPathLen], ProgramFacts* facts)
{
    char resolved[kPathLen];
    ResolveProgram(command, normalized, resolved);
    facts->resolved = resolved;
    WIN32_FILE_ATTRIBUTE_DATA data;
    facts->found = resolved[0] && GetFileAttributesExA(resolved, GetFileExInfoStandard, &data) &&
                   !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    if (facts->found) facts->written = data.ftLastWriteTime;
    VersionRecord version;
    if (facts->found && GetVersionStrings(resolved, &version)) facts->company = version.field[kCompanyName];
}

struct FillState {
    std::unordered_map<std::string, int> markers;
    UniqueKey detected;
    const char* detectedKey = nullptr;
    std::unordered_map<std::string, bool> seen;   // normalized paths looked at
    char disabledText[64] = "";
};

// The program images: image 0 the program's own icon, then every program
// file's icon once. Each fill gives the list a copy, which it owns.
struct ProgramImages {
    HIMAGELIST images = nullptr;
    int fallback = 0;
    ~ProgramImages()
    {
        if (images) ImageList_Destroy(images);
    }
};

ProgramImages& Images()
{
    static ProgramImages images;
    return images;
}

std::unordered_map<std::string, ProgramFacts>& ProgramCache()
{
    static std::unordered_map<std::string, ProgramFacts> cache;
    return cache;
}

std::unordered_map<std::string, std::string>& NormalizedCache()
{
    static std::unordered_map<std::string, std::string> cache;
    return cache;
}

// Drops every remembered program with its images (the cache is full).
void ForgetPrograms(HWND list)
{
    ProgramCache().clear();
    NormalizedCache().clear();
    ProgramImages& images = Images();
    if (images.images) ImageList_Destroy(images.images);
    images.images = nullptr;
    // The framework's image list for the page: image 0 and the stand-in.
    HIMAGELIST made = CreateRowImages(list);
    if (!made) return;
    images.images = ImageList_Duplicate(made);
    images.fallback = images.images ? AddFileIcon(images.images, "") : 0;
}

// Gives the list its copy of the program images.
void GiveListImages(HWND list)
{
    if (!Images().images) return;
    HIMAGELIST copy = ImageList_Duplicate(Images().images);
    HIMAGELIST previous = reinterpret_cast<HIMAGELIST>(
        SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(copy)));
    if (previous && previous != copy) ImageList_Destroy(previous);
}

// The program's icon in the program images, added on its first sight.
int ProgramImage(ProgramFacts* facts)
{
    ProgramImages& images = Images();
    if (facts->image >= 0 || !images.images) return facts->image < 0 ? 0 : facts->image;
    HICON small = nullptr;
    if (facts->found && ExtractIconExA(facts->resolved.c_str(), 0, nullptr, &small, 1) > 0 && small) {
        UniqueIcon icon(small);
        facts->image = ImageList_AddIcon(images.images, icon.get());
    }
    if (facts->image < 0) facts->image = images.fallback;
    return facts->image;
}

// The first sight of a program is recorded when the page first lists it.
void ReadDetected(FillState& state, const char* normalized, ProgramFacts* facts)
{
    if (!normalized[0] || !state.detectedKey) return;
    char date[64] = "";
    if (!state.detected || QueryRegText(state.detected.get(), normalized, date) <= 0) {
        StampFirstDetected(normalized, state.detectedKey);
        GetRegValue(HKEY_CURRENT_USER, state.detectedKey, normalized, date);
    }
    facts->detected = date;
}

// The program path of a command, worked out once per command: the rule
// reads the whole command, and the same commands come back on every fill.
void NormalizedOf(const char* command, char (&normalized)[kPathLen])
{
    auto& known = NormalizedCache();
    auto found = known.find(command);
    if (found != known.end()) {
        StrCopy(normalized, found->second.c_str());
        return;
    }
    NormalizeProgramPath(command, normalized);
    known.emplace(command, normalized);
}

const ProgramFacts& FactsOf(FillState& state, const char* command)
{
    char normalized[kPathLen];
    NormalizedOf(command, normalized);
    auto& cache = ProgramCache();
    auto found = cache.find(normalized);
    const bool seen = state.seen.count(normalized) != 0;
    // Looked at once per fill: the file may have changed or appeared since.
    if (found != cache.end() && !seen && !Unchanged(found->second)) found = cache.end();
    if (found == cache.end()) {
        ProgramFacts facts;
        ReadProgramFacts(command, normalized, &facts);
        found = cache.insert_or_assign(normalized, std::move(facts)).first;
    }
    ProgramFacts& facts = found->second;
    if (!seen) {
        if (facts.detected.empty()) ReadDetected(state, normalized, &facts);
        ProgramImage(&facts);
        state.seen[normalized] = true;
    }
    return facts;
}

void AddEntryRow(HWND list, FillState& state, int item)
{
    Entry entry;
    ReadEntry(item, &entry);
    const auto marker = state.markers.find(FoldedName(entry.title));
    const int parked = IsParked(marker == state.markers.end() ? 0 : marker->second, entry);
    const ProgramFacts& facts = FactsOf(state, entry.path);

    const char* fileName = entry.path + FileNameOffset(entry.path);
    char command[kPathLen + 16] = "";
    if (entry.flag == 1) StrCopy(command, "RunDLL32.exe ");
    StrAppend(command, fileName);
    char type[64];
    TypeText(entry, parked, state.disabledText, type);

    const int row = InsertRow(list, entry.title, facts.image < 0 ? 0 : facts.image, item);
    if (row < 0) return;
    SetRowText(list, row, 1, command);
    SetRowText(list, row, 2, facts.company.c_str());
    SetRowText(list, row, 3, type);
    SetRowText(list, row, 4, facts.detected.c_str());

    char code[16];
    StrFormatA(code, "%d", entry.code);
    char dateKey[16];
    DateSortKey(facts.detected.c_str(), dateKey);
    SetSortKey(item, 0, entry.title);
    SetSortKey(item, 1, fileName);
    SetSortKey(item, 2, facts.company.c_str());
    SetSortKey(item, 3, code);
    SetSortKey(item, 4, dateKey);
    SetSortBottom(item, parked);
}

// The row the buttons were last set for; a refill forgets it.
struct ShownRow {
    HWND page = nullptr;
    int row = -1;
};
ShownRow& LastShownRow()
{
    static ShownRow shown;
    return shown;
}

// The framework has emptied the list with drawing off; it sorts afterwards.
int FillStartupList(HWND page, HWND list)
{
    LastShownRow() = {};
    // The box follows the option on every activation: another window may
    // have changed it meanwhile.
    CheckDlgButton(page, IDC_SHOW_ALL,
                   ReadOptionOrDefault("ShowAllStartup") > 0 ? BST_CHECKED : BST_UNCHECKED);
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    const int count = BuildStartupList(1);

    // Forgotten only between fills, so that no row keeps an image index
    // of images that are gone.
    if (ProgramCache().size() >= kMaxPrograms || NormalizedCache().size() >= kMaxCommands ||
        !Images().images)
        ForgetPrograms(list);
    FillState state;
    ReadDisabledMarkers(&state.markers);
    LoadLocalizedString(IDS_DISABLED, state.disabledText);
    state.detectedKey = DetectedStoreOfType(1);
    if (state.detectedKey)
        RegOpenKeyExA(HKEY_CURRENT_USER, state.detectedKey, 0, KEY_READ, state.detected.put());
    ListView_SetItemCount(list, count);
    for (int item = 0; item < count; ++item) AddEntryRow(list, state, item);
    // Given after the rows: a first sight adds its icon to the program images.
    GiveListImages(list);
    SetCursor(previous ? previous : LoadCursor(nullptr, IDC_ARROW));
    return ListView_GetItemCount(list);
}

// The item a row stands for: the first item, in list order, whose title
// (behind its last backslash) reads as the row's Title; else the row's own.
int ItemOfRow(HWND list, int row)
{
    char text[kTitleLen + 1] = "";
    GetRowText(list, row, 0, text, sizeof(text));
    const int count = ItemCount();
    for (int item = 0; item < count; ++item) {
        char title[kTitleLen + 1];
        GetItemTitle(item, title);
        const char* shown = title + FileNameOffset(title);
        if (lstrcmpiA(shown, text) == 0) return item;
    }
    return RowItem(list, row);
}

// The selected entries, read before the first change: a catalogue call may
// rewrite the shared list under the rows.
std::vector<Entry> SelectedEntries(HWND list)
{
    std::vector<Entry> entries;
    for (int row = ListView_GetNextItem(list, -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(list, row, LVNI_SELECTED)) {
        const int item = ItemOfRow(list, row);
        if (item < 0) continue;
        entries.emplace_back();
        ReadEntry(item, &entries.back());
    }
    return entries;
}

const char* NameOf(const Entry& entry)
{
    return entry.title[0] ? entry.title : entry.path;
}

void SayTitleParkedElsewhere(HWND page, const Entry& entry)
{
    char text[2048];
    FillLocalizedPattern(IDS_TITLE_PARKED_ELSEWHERE, entry.title, text);
    AskUser(page, text, MB_OK | MB_ICONEXCLAMATION);
}

void EnableOrDisable(HWND page, HWND list, bool enable)
{
    const std::vector<Entry> entries = SelectedEntries(list);
    if (entries.empty()) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    const int ask = entries.size() == 1 ? 1 : 0;
    for (const Entry& entry : entries) {
        const bool parked = IsParkedEntry(entry) != 0;
        if (enable) {
            if (parked) DisableRunProgram(entry.title, entry.path, entry.entryName, entry.code);
            continue;
        }
        EndProcessByPath(entry.path, NameOf(entry), ask);
        if (parked) continue;
        if (!DisableRunProgram(entry.title, entry.path, entry.entryName, entry.code) &&
            IsDisabledEntry(entry.title)) {
            // Parking it would overwrite the copy of the entry parked under
            // the same title; the catalogue refused.
            SayTitleParkedElsewhere(page, entry);
        }
    }
    RefillPage(page);
}

void RemoveSelected(HWND page, HWND list)
{
    const std::vector<Entry> entries = SelectedEntries(list);
    if (entries.empty()) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    const bool one = entries.size() == 1;
    for (const Entry& entry : entries) {
        if (entry.code > 249) {
            DeleteRegProgram(page, entry.title, entry.path, entry.entryName, entry.code);
            continue;
        }
        EndProcessByPath(entry.path, NameOf(entry), one ? 1 : 0);
        if (one) {
            char text[2048];
            FillLocalizedPattern(IDS_REMOVE_QUESTION, entry.path, text);
            if (AskUser(page, text, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) continue;
        }
        DeleteRunProgram(entry.title, entry.path, entry.entryName, entry.code);
    }
    RefillPage(page);
}

void MoveToDelayed(HWND page, HWND list)
{
    const std::vector<Entry> entries = SelectedEntries(list);
    if (entries.empty()) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    for (const Entry& entry : entries) {
        if (DelayStartupEntry(entry.title, entry.path, entry.entryName, entry.code, entry.flag) ==
            kDelayStop)
            break;
    }
    RefillPage(page);
}

void DeleteOnReboot(HWND page, HWND list)
{
    const int item = SelectedItem(list);
    if (item < 0) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    char text[2048];
    LoadLocalizedString(IDS_DELETE_ON_REBOOT_QUESTION, text);
    if (AskUser(page, text, MB_YESNO | MB_ICONHAND) != IDYES) return;
    char path[kPathLen];
    char normalized[kPathLen];
    char resolved[kPathLen];
    GetItemPath(item, path);
    ResolveProgram(path, normalized, resolved);
    DeleteAtRestart(resolved);
}

// The Run value's name for a new program: its description, its product
// name, or its file name without the extension.
void NameForProgram(const char* path, char (&out)[kTitleLen + 1])
{
    VersionRecord version;
    out[0] = '\0';
    if (GetVersionStrings(path, &version)) {
        StrCopy(out, version.field[kFileDescription]);
        if (!out[0]) StrCopy(out, version.field[kProductName]);
    }
    if (out[0]) return;
    char file[MAX_PATH];
    GetFileNamePart(path, file);
    const size_t length = strlen(file);
    if (length > 4) file[length - 4] = '\0';
    StrCopy(out, file);
}

// A value of that name holding another program stays; the new one takes
// the first free "name N".
bool FreeRunName(const char* path, char (&name)[kTitleLen + 1])
{
    char base[kTitleLen + 1];
    StrCopy(base, name);
    for (int number = 1; number < 100; ++number) {
        if (number > 1) {
            char suffix[8];
            StrFormatA(suffix, " %d", number);
            StrCopy(name, base);
            if (strlen(name) + strlen(suffix) > kTitleLen) name[kTitleLen - strlen(suffix)] = '\0';
            StrAppend(name, suffix);
        }
        char existing[kRegTextMax];
        const int read = ReadRegText(HKEY_CURRENT_USER, kUserRunKey, name, existing, kRegTextRaw);
        if (read == kRegTextMissing || (read > 0 && lstrcmpiA(existing, path) == 0)) return true;
    }
    return false;
}

void AddProgram(HWND page)
{
    char title[256];
    LoadLocalizedString(IDS_ADD_TITLE, title);
    // The filter's pairs are separated by "%" in the string table; the
    // dialog wants them separated by NULs and ended by two.
    char filter[256] = {};
    LoadLocalizedString(IDS_ADD_FILTER, filter, static_cast<int>(sizeof(filter)) - 2);
    for (char* at = filter; *at; ++at) {
        if (*at == '%') *at = '\0';
    }
    char path[kAddPathLen] = "Path";

    OPENFILENAMEA open = {};
    open.lStructSize = sizeof(open);
    open.hwndOwner = page;
    open.lpstrFilter = filter;
    open.lpstrFile = path;
    open.nMaxFile = sizeof(path);
    open.lpstrInitialDir = "C:\\Program Files";
    open.lpstrTitle = title;
    open.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER |
                 OFN_LONGNAMES;
    if (!GetOpenFileNameA(&open)) return;
    if (strlen(path) <= 4) return;

    char text[2048];
    // The list, the catalogue and the monitor's store hold a program path
    // of at most MAX_PATH - 1 characters: a longer one would be listed cut
    // and could not be found again to remove it.
    if (strlen(path) >= kPathLen) {
        FillLocalizedPattern(IDS_ADD_TOO_LONG, path, text);
        AskUser(page, text, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        FillLocalizedPattern(IDS_ADD_NOT_FOUND, path, text);
        AskUser(page, text, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    char name[kTitleLen + 1];
    NameForProgram(path, name);
    if (!name[0] || !FreeRunName(path, name)) return;
    if (!SetRegValue(HKEY_CURRENT_USER, kUserRunKey, name, path)) {
        ShowSystemError();
        return;
    }
    WriteApproval(kStoreRun, path, 1);
    RefillPage(page);
}

void ShowAllToggled(HWND page)
{
    WriteOption("ShowAllStartup", IsDlgButtonChecked(page, IDC_SHOW_ALL) == BST_CHECKED ? 1 : 0);
    RefillPage(page);
}

void InitStartupPage(HWND page)
{
    SetDialogText(page, IDS_HEADING, IDC_HEADING);
    SetDialogText(page, IDS_INFO, IDC_INFO);
    SetDialogText(page, IDS_ENABLE, IDC_ENABLE);
    SetDialogText(page, IDS_DISABLE, IDC_DISABLE);
    SetDialogText(page, IDS_ADD, IDC_ADD);
    SetDialogText(page, IDS_REMOVE, IDC_REMOVE);
    SetDialogText(page, IDS_CLOSE, IDC_CLOSE);
    SetDialogText(page, IDS_HELP, IDC_HELP_LABEL);
    SetDialogText(page, IDS_MONITOR, IDC_MONITOR_LABEL);
    ShowWindow(GetDlgItem(page, IDC_ENABLE), SW_HIDE);
    ShowWindow(GetDlgItem(page, IDC_DISABLE), SW_HIDE);
    if (!IsNtPlatform()) ShowWindow(GetDlgItem(page, IDC_CLOSE), SW_HIDE);
    CheckDlgButton(page, IDC_SHOW_ALL,
                   ReadOptionOrDefault("ShowAllStartup") > 0 ? BST_CHECKED : BST_UNCHECKED);
}

void ShowButton(HWND page, int id, bool shown)
{
    HWND button = GetDlgItem(page, id);
    ShowWindow(button, shown ? SW_SHOW : SW_HIDE);
    EnableWindow(button, shown ? TRUE : FALSE);
}

void UpdateStartupButtons(HWND page, HWND list)
{
    const int row = SelectedRow(list);
    // Selecting every row sends one change per row, and the buttons follow
    // the first selected row, which then stays the same.
    ShownRow& shown = LastShownRow();
    const bool same = shown.page == page && shown.row == row;
    shown = {page, row};
    if (row >= 0 && same && SelectedCount(list) > 1) return;
    if (row < 0) {
        ShowWindow(GetDlgItem(page, IDC_ENABLE), SW_HIDE);
        ShowWindow(GetDlgItem(page, IDC_DISABLE), SW_HIDE);
        return;
    }
    const int item = ItemOfRow(list, row);
    Entry entry;
    ReadEntry(item, &entry);

    char normalized[kPathLen];
    char resolved[kPathLen];
    ResolveProgram(entry.path, normalized, resolved);
    // Bold when the program has a note; otherwise the page's own font, so
    // that the button matches its neighbours.
    HFONT font = NoteExists(resolved) ? GetSharedFont(kFontDialogBold) : nullptr;
    if (!font) font = reinterpret_cast<HFONT>(SendMessageA(page, WM_GETFONT, 0, 0));
    SendDlgItemMessageA(page, IDC_INFO, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    EnableWindow(GetDlgItem(page, IDC_REMOVE), TRUE);
    const bool parked = IsParkedEntry(entry) != 0;
    ShowButton(page, IDC_ENABLE, parked);
    ShowButton(page, IDC_DISABLE, !parked);

    char status[768];
    LoadLocalizedString(IDS_LOCATION, status);
    char location[512];
    GetLocationText(item, location);
    StrAppend(status, location);
    SetStatusText(status, GetSharedFont(kFontBoldTiny));
    SetDialogText(page, IDS_REMOVE, IDC_REMOVE);

    if (entry.code == 250 || entry.code == 251) SetDialogText(page, IDS_RESET, IDC_REMOVE);
    if (entry.code >= 250 && entry.code <= 255) {
        EnableWindow(GetDlgItem(page, IDC_ENABLE), FALSE);
        EnableWindow(GetDlgItem(page, IDC_DISABLE), FALSE);
    }
    if (entry.code == 256) EnableWindow(GetDlgItem(page, IDC_REMOVE), FALSE);
}

int StartupCommand(HWND page, int id)
{
    HWND list = GetDlgItem(page, IDC_LIST_VIEW);
    switch (id) {
    case IDC_ENABLE:
        EnableOrDisable(page, list, true);
        return 1;
    case IDC_DISABLE:
        EnableOrDisable(page, list, false);
        return 1;
    case IDC_REMOVE:
        RemoveSelected(page, list);
        return 1;
    case IDC_ADD:
        AddProgram(page);
        return 1;
    case kCmdDelay:
        MoveToDelayed(page, list);
        return 1;
    case kCmdDeleteOnReboot:
        DeleteOnReboot(page, list);
        return 1;
    case IDC_SHOW_ALL:
        ShowAllToggled(page);
        return 1;
    default:
        return 0;
    }
}

void StartupMenu(HWND page, HMENU menu, int item)
{
    (void)page;
    AppendProgramBlock(menu, item);
    AppendMenuText(menu, IDS_ADD, IDC_ADD);
    Entry entry;
    ReadEntry(item, &entry);
    if (entry.code >= 250) return;
    AppendMenuText(menu, IDS_MOVE_TO_DELAYED, kCmdDelay);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuText(menu, IDS_REMOVE, IDC_REMOVE);
    if (IsParkedEntry(entry))
        AppendMenuText(menu, IDS_ENABLE, IDC_ENABLE);
    else
        AppendMenuText(menu, IDS_DISABLE, IDC_DISABLE);
    AppendMenuText(menu, IDS_DELETE_ON_REBOOT, kCmdDeleteOnReboot);
}

}  // namespace

const PageSpec& StartupPageSpec()
{
    static const PageSpec desc = {
        kPageStartup,
        102,
        606,
        174,
        "SortStartup",
        5,
        {627, 628, 699, 714, 912},
        {0.3, 0.16, 0.18, 0.15, 0.2},
        false,
        false,
        4,
        {IDC_INFO, IDC_ADD, IDC_REMOVE, IDC_ENABLE, IDC_CLOSE, 0},
        {0, 0, 0, IDC_DISABLE, 0, 0},
        784,
        InitStartupPage,
        FillStartupList,
        UpdateStartupButtons,
        StartupCommand,
        StartupMenu,
        IDC_SHOW_ALL,
    };
    return desc;
}
