// The Active Tasks page: the programs running now, with their first
// sighting, and Kill Task for the selected ones. Also what it shares with
// the Scheduled Tasks page: the kept program icons, the selected program in
// the status bar and Delete File on Reboot.
#include "catalogue/catalogue.h"
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int IDC_REFRESH = 1006;
constexpr int IDC_KILL_TASK = 1007;
constexpr int kCmdDeleteOnReboot = 1144;

constexpr int IDS_NO_SELECTION = 57;
constexpr int IDS_REFRESH = 305;
constexpr int IDS_KILL_TASK = 306;
constexpr int IDS_DELETE_ON_REBOOT_QUESTION = 800;
constexpr int IDS_DELETE_ON_REBOOT = 801;

constexpr int kCodeTask = 600;
constexpr int kActionTaskKill = 5;

// --- Kept icons ---------------------------------------------------------------

// Beyond this many files the images start afresh; a file that keeps
// changing would otherwise add an image on every fill.
constexpr size_t kMaxKeptIcons = 1024;

struct KeptIcon {
    FILETIME written;
    int image;
    std::string company;
};

struct KeptIcons {
    HIMAGELIST images = nullptr;
    int fallback = 0;
    std::unordered_map<std::string, KeptIcon> files;   // upper-case path
    ~KeptIcons()
    {
        if (images) ImageList_Destroy(images);
    }
};

KeptIcons& Kept()
{
    static KeptIcons kept;
    return kept;
}

// --- The page -------------------------------------------------------------------

constexpr ControlText kActiveTasksTexts[] = {
    {1052, 221},          {1053, 222},        {IDC_INFO_BUTTON, 301},
    {IDC_REFRESH, 305},   {IDC_KILL_TASK, 306}, {IDC_CLOSE, 304}};

void InitActiveTasks(HWND page)
{
    SetPageTexts(page, kActiveTasksTexts);
}

struct TaskRow {
    char title[kTitleLen + 1] = "";
    char path[kPathLen] = "";
    char detail[kDetailLen] = "";
    DWORD processId = 0;
};

void ReadTaskRow(int item, TaskRow* task)
{
    GetItemTitle(item, task->title);
    GetItemPath(item, task->path);
    GetItemDetail(item, task->detail, kDetailLen);
    task->processId = static_cast<DWORD>(GetItemFlag(item));
}

// The first sighting of the program in the ActiveTasks store, recorded now
// when the store has none. `detected` is the store opened for reading (it
// may be null when the store does not exist yet).
void FirstDetected(HKEY detected, const char* file, char (&date)[64])
{
    date[0] = '\0';
    char normalized[MAX_PATH];
    NormalizeProgramPath(file, normalized);
    if (!normalized[0]) return;
    if (detected && QueryRegText(detected, normalized, date) > 0) return;
    const char* store = DetectedStoreOfType(kCodeTask);
    StampFirstDetected(normalized, store);
    if (GetRegValue(HKEY_CURRENT_USER, store, normalized, date) <= 0) date[0] = '\0';
}

void AddTaskRow(HWND list, HKEY detected, int item)
{
    TaskRow task;
    ReadTaskRow(item, &task);
    // A process whose program is not known by its full path cannot be
    // looked up, checked or told apart from another of its name.
    if (!strchr(task.path, '\\')) return;
    char file[MAX_PATH];
    if (!ItemProgramFile(item, file)) StrCopy(file, task.path);
    const char* company = "";
    const int image = KeptFileIcon(file, &company);
    char date[64];
    FirstDetected(detected, file, date);

    const char* module = task.path + FileNameOffset(task.path);
    const int row = InsertRow(list, module, image, item);
    if (row < 0) return;
    SetRowText(list, row, 1, task.title);
    SetRowText(list, row, 2, company);
    SetRowText(list, row, 3, date);
    char dateKey[16];
    DateSortKey(date, dateKey);
    SetSortKey(item, 0, module);
    SetSortKey(item, 1, task.title);
    SetSortKey(item, 2, company);
    SetSortKey(item, 3, dateKey);
}

int FillActiveTasks(HWND, HWND list)
{
    const int count = BuildActiveTaskList();
    BeginKeptIcons(list);
    UniqueKey detected;
    RegOpenKeyExA(HKEY_CURRENT_USER, DetectedStoreOfType(kCodeTask), 0, KEY_READ, detected.put());
    for (int item = 0; item < count; ++item) AddTaskRow(list, detected.get(), item);
    GiveKeptIcons(list);
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

// Whether the process of that id still runs the listed program: an id a
// list read earlier may since have gone to another program.
struct RunningCheck {
    DWORD processId;
    const char* path;
    bool same;
};

int CheckRunning(DWORD processId, WORD task16, const char* programFile, void* context)
{
    auto* check = static_cast<RunningCheck*>(context);
    if (processId != check->processId || task16 != 0) return 1;
    char normalized[MAX_PATH];
    char longPath[MAX_PATH];
    NormalizeProgramPath(programFile, normalized);
    GetLongPath(longPath, normalized);
    check->same = normalized[0] && (lstrcmpiA(normalized, check->path) == 0 ||
                                    lstrcmpiA(longPath, check->path) == 0 ||
                                    SameListedPath(normalized, check->path));
    return 0;
}

bool StillRuns(const TaskRow& task)
{
    if (task.processId == 0) return false;
    RunningCheck check = {task.processId, task.path, false};
    EnumRunningPrograms(CheckRunning, &check);
    return check.same;
}

// Each row stands for the item it was made from: two programs of one file
// name in different folders are two rows, and each row ends its own.
void KillSelected(HWND page, HWND list)
{
    std::vector<TaskRow> tasks;
    std::vector<int> items;
    for (int row = SelectedRow(list); row >= 0;
         row = static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) {
        const int item = RowItem(list, row);
        if (item < 0 || item >= ItemCount()) continue;
        tasks.emplace_back();
        ReadTaskRow(item, &tasks.back());
        items.push_back(item);
    }
    if (tasks.empty()) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    for (size_t i = 0; i < tasks.size(); ++i) {
        const TaskRow& task = tasks[i];
        if (!StillRuns(task) || !TerminateProcessById(task.processId)) continue;
        char file[MAX_PATH];
        if (!ItemProgramFile(items[i], file)) StrCopy(file, task.path);
        WriteHistory(task.title, file, task.detail, kCodeTask, kActionTaskKill);
    }
    RefillPage(page);
}

int ActiveTasksCommand(HWND page, int id)
{
    HWND list = GetDlgItem(page, IDC_LIST);
    switch (id) {
    case IDC_REFRESH:
        RefillPage(page);
        return 1;
    case IDC_KILL_TASK:
        KillSelected(page, list);
        return 1;
    case kCmdDeleteOnReboot:
        DeleteSelectedOnReboot(page, list);
        return 1;
    default:
        return 0;
    }
}

void ActiveTasksMenu(HWND, HMENU menu, int item)
{
    AppendProgramBlock(menu, item);
    AppendMenuText(menu, IDS_REFRESH, IDC_REFRESH);
    AppendMenuText(menu, IDS_KILL_TASK, IDC_KILL_TASK);
    AppendMenuText(menu, IDS_DELETE_ON_REBOOT, kCmdDeleteOnReboot);
}

// No Monitor image: processes are not patrolled. Kill Task asks nothing,
// so a refill leaves every row unselected.
constexpr PageSpec kActiveTasks = {
    kPageActiveTasks, IDD_PAGE_ACTIVE_TASKS, 607, IDI_TAB_ACTIVE_TASKS, "SortActiveTask", 4,
    {629, 631, 699, 912}, {0.25, 0.35, 0.2, 0.2}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_REFRESH, IDC_KILL_TASK, IDC_CLOSE}, {}, 0,
    InitActiveTasks, FillActiveTasks, ShowSelectedProgram, ActiveTasksCommand, ActiveTasksMenu,
    0, 0, nullptr, true};

}  // namespace

const PageSpec& ActiveTasksPageSpec() { return kActiveTasks; }

void BeginKeptIcons(HWND list)
{
    KeptIcons& kept = Kept();
    if (kept.images && kept.files.size() < kMaxKeptIcons) return;
    if (kept.images) ImageList_Destroy(kept.images);
    kept.images = nullptr;
    kept.files.clear();
    // The framework's images of a list: icon 101 first, then the stand-in.
    HIMAGELIST made = CreateRowImages(list);
    if (made) kept.images = ImageList_Duplicate(made);
    kept.fallback = kept.images ? AddFileIcon(kept.images, "") : 0;
}

int KeptFileIcon(const char* path, const char** company)
{
    static const char kNone[] = "";
    if (company) *company = kNone;
    KeptIcons& kept = Kept();
    if (!kept.images) return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path || !path[0] || !GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return kept.fallback;
    std::string name = path;
    CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
    auto found = kept.files.find(name);
    if (found == kept.files.end() || CompareFileTime(&found->second.written, &data.ftLastWriteTime) != 0) {
        KeptIcon facts = {data.ftLastWriteTime, -1, ""};
        HICON small = nullptr;
        if (ExtractIconExA(path, 0, nullptr, &small, 1) > 0 && small) {
            UniqueIcon icon(small);
            facts.image = ImageList_AddIcon(kept.images, icon.get());
        }
        if (facts.image < 0) facts.image = kept.fallback;
        VersionRecord version;
        if (GetVersionStrings(path, &version)) facts.company = version.field[kCompanyName];
        found = kept.files.insert_or_assign(name, std::move(facts)).first;
    }
    if (company) *company = found->second.company.c_str();
    return found->second.image;
}

void GiveKeptIcons(HWND list)
{
    if (!Kept().images) return;
    HIMAGELIST copy = ImageList_Duplicate(Kept().images);
    if (!copy) return;
    HIMAGELIST previous = reinterpret_cast<HIMAGELIST>(
        SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(copy)));
    if (previous && previous != copy) ImageList_Destroy(previous);
}

void ShowSelectedProgram(HWND page, HWND list)
{
    const int item = SelectedItem(list);
    char path[kPathLen] = "";
    char file[MAX_PATH] = "";
    if (item >= 0 && item < ItemCount()) {
        GetItemPath(item, path);
        ItemProgramFile(item, file);
    }
    // Bold when the program has a note; otherwise the page's own font, so
    // that the button matches its neighbours.
    HFONT font = file[0] && NoteExists(file) ? GetSharedFont(kFontDialogBold) : nullptr;
    if (!font) font = reinterpret_cast<HFONT>(SendMessageA(page, WM_GETFONT, 0, 0));
    SendDlgItemMessageA(page, IDC_INFO_BUTTON, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SetStatusText(path, GetSharedFont(kFontBoldTiny));
}

void DeleteSelectedOnReboot(HWND page, HWND list)
{
    const int item = SelectedItem(list);
    if (item < 0 || item >= ItemCount()) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    char text[2048];
    LoadLocalizedString(IDS_DELETE_ON_REBOOT_QUESTION, text);
    if (AskUser(page, text, MB_YESNO | MB_ICONHAND) != IDYES) return;
    char file[MAX_PATH];
    if (ItemProgramFile(item, file)) DeleteAtRestart(file);
}
