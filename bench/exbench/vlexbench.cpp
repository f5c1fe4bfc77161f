// Measures the explorer: the Startup Programs page with a full item list
// (4,096 entries), from its activation to the filled and sorted list and
// beside the bare enumeration; a column sort of those rows; and the start
// of VelmoraEx.exe to its first shown page, watched from this process.
//
// The page runs in a sheet of this process on the main thread; a second
// thread sends it what the user's clicks send. The user's
// "Software\Corvath" tree is put aside and back; every Run value, marker
// and parked copy the bench makes starts with "VlExBench".
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "benchhost.h"
#include "explorer/explorer.h"
#include "foundation/unique.h"

namespace {

constexpr const char* kCorvath = "Software\\Corvath";
constexpr const char* kCorvathSaved = "Software\\CorvathVlExBench";
constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kPrefix = "VlExBench";
constexpr const char* kSheetCaption = "VlExBench sheet";
constexpr int kRuns = 5;
constexpr int kParkedEvery = 16;

// --- The user's state ------------------------------------------------------

void DeleteTree(const char* key)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, key);
    RegDeleteKeyA(HKEY_CURRENT_USER, key);
}
bool CopyTree(const char* from, const char* to)
{
    UniqueKey target;
    if (RegCreateKeyA(HKEY_CURRENT_USER, to, target.put()) != ERROR_SUCCESS) return false;
    return RegCopyTreeA(HKEY_CURRENT_USER, from, target.get()) == ERROR_SUCCESS;
}
bool KeyExists(const char* key)
{
    UniqueKey opened;
    return RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}
// A copy left by a killed run is the user's; it is kept, not overwritten.
void SaveUserTree()
{
    if (KeyExists(kCorvathSaved)) return;
    if (!KeyExists(kCorvath)) {
        UniqueKey created;
        RegCreateKeyA(HKEY_CURRENT_USER, kCorvath, created.put());
    }
    CopyTree(kCorvath, kCorvathSaved);
}
void RestoreUserTree()
{
    if (!KeyExists(kCorvathSaved)) return;
    DeleteTree(kCorvath);
    CopyTree(kCorvathSaved, kCorvath);
    DeleteTree(kCorvathSaved);
}

void RemovePrefixed(HKEY root, const char* subkey)
{
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ | KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    std::vector<std::string> names;
    char name[16384];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof(name);
        if (RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (strncmp(name, kPrefix, strlen(kPrefix)) == 0) names.push_back(name);
    }
    for (const std::string& n : names) RegDeleteValueA(key.get(), n.c_str());
}
void RemoveBenchEntries()
{
    RemovePrefixed(HKEY_CURRENT_USER, kRun);
    RemovePrefixed(HKEY_LOCAL_MACHINE, kDisabledMarkerKey);
    const char* store = nullptr;
    if (GetRunLocation(11, nullptr, nullptr, &store)) RemovePrefixed(HKEY_LOCAL_MACHINE, store);
}
BOOL WINAPI OnBreak(DWORD)
{
    RemoveBenchEntries();
    RestoreUserTree();
    return FALSE;
}

// Fills the item list to its capacity with the user's Run key; every 16th
// entry is parked, so that the bottom rule has rows to keep last.
int MakeEntries()
{
    const int already = BuildStartupList(1);
    // Every program of the system folder, so that the page meets many files
    // (icons, version records, first sights).
    const std::vector<std::string> programs = SystemFiles("*.exe");
    if (programs.empty()) return 0;
    const int wanted = kMaxItems - already;
    for (int i = 0; i < wanted; ++i) {
        char name[64];
        std::snprintf(name, sizeof(name), "%s%04d", kPrefix, i);
        char data[MAX_PATH + 64];
        std::snprintf(data, sizeof(data), "\"%s\" /vlexbench %d", programs[i % programs.size()].c_str(), i);
        SetRegValue(HKEY_CURRENT_USER, kRun, name, data);
        if (i % kParkedEvery == 0) DisableRunProgram(name, data, "", 11);
    }
    return wanted;
}

// --- The explorer's start ------------------------------------------------------

std::string ExplorerPath()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder = folder.substr(0, folder.find_last_of('\\'));
    return folder.substr(0, folder.find_last_of('\\')) + "\\explorer\\VelmoraEx.exe";
}

struct FoundSheet {
    DWORD processId = 0;
    HWND list = nullptr;
};

// A visible list view of a visible top-level window of the explorer.
BOOL CALLBACK FindShownList(HWND top, LPARAM p)
{
    auto* found = reinterpret_cast<FoundSheet*>(p);
    DWORD owner = 0;
    GetWindowThreadProcessId(top, &owner);
    if (owner != found->processId || !IsWindowVisible(top)) return TRUE;
    HWND page = nullptr;
    while ((page = FindWindowExA(top, page, "#32770", nullptr))) {
        HWND list = FindWindowExA(page, nullptr, "SysListView32", nullptr);
        if (list && IsWindowVisible(page) && IsWindowVisible(list)) {
            found->list = list;
            return FALSE;
        }
    }
    return TRUE;
}

// The milliseconds from CreateProcess to the first page's list on screen;
// a negative value when none showed within 20 s.
double MeasureExplorerStart(const std::string& arguments)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    char command[MAX_PATH + 64];
    std::snprintf(command, sizeof(command), "\"%s\" %s", ExplorerPath().c_str(), arguments.c_str());
    const double t = BenchNow();
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return -2;
    UniqueHandle process(info.hProcess);
    UniqueHandle mainThread(info.hThread);
    FoundSheet found;
    found.processId = info.dwProcessId;
    double ms = -1;
    while (BenchNow() - t < 20000) {
        EnumWindows(FindShownList, reinterpret_cast<LPARAM>(&found));
        if (found.list) {
            ms = BenchNow() - t;
            break;
        }
        if (WaitForSingleObject(process.get(), 2) == WAIT_OBJECT_0) break;
    }
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 5000);
    return ms;
}

void PrintStart()
{
    std::printf("Explorer start: CreateProcess to the first page's list shown (sheet and list view\n"
                "visible), watched from this process every 2 ms; %d starts each, ordinary prefix.\n\n",
                kRuns);
    std::printf("| command line | median (ms) | best (ms) | worst (ms) |\n|---|---|---|---|\n");
    for (const char* arguments : {"", "-START"}) {
        std::vector<double> ms;
        for (int run = 0; run < kRuns; ++run) {
            const double one = MeasureExplorerStart(arguments);
            if (one < 0) break;
            ms.push_back(one);
            Sleep(300);
        }
        if (ms.empty()) {
            std::printf("| VelmoraEx.exe %s | no page shown within 20 s | | |\n", arguments);
            continue;
        }
        const Stats s = Summarize(ms);
        std::printf("| VelmoraEx.exe %s | %.0f | %.0f | %.0f |\n", arguments, s.median, s.best,
                    s.worst);
    }
    std::printf("\n");
}

void PrintPage(const PageBench& page, int made)
{
    std::printf("Startup Programs page: %d rows (%d bench entries, every %dth parked), in a sheet\n"
                "of this process; %d runs, median (best-worst) in ms.\n\n",
                page.rows, made, kParkedEvery, kRuns);
    std::printf("| step | median | best | worst | goal |\n|---|---|---|---|---|\n");
    std::printf("| sheet open, first fill (cold) | %.0f | | | |\n", page.openMs);
    const Stats bare = Summarize(page.bare);
    const Stats activation = Summarize(page.activation);
    std::printf("| BuildStartupList(1) alone | %.1f | %.1f | %.1f | |\n", bare.median, bare.best, bare.worst);
    std::printf("| page activation to the filled, sorted list | %.1f | %.1f | %.1f | 500 |\n",
                activation.median, activation.best, activation.worst);
    for (int column = 0; column < page.desc->columnCount; ++column) {
        const Stats sort = Summarize(page.sorts[column]);
        std::printf("| column %d sort | %.1f | %.1f | %.1f | 100 |\n", column, sort.median, sort.best,
                    sort.worst);
    }
    std::printf("\nActivation / enumeration: %.2f\n\n", Ratio(activation.median, bare.median));
}

int ListStartup()
{
    return BuildStartupList(1);
}

}  // namespace

void PrintOptionsPage();   // optionsbench.cpp
void RunFilePagesBench();   // filesbench.cpp
void MeasureAddonPages();   // addonsbench.cpp
void RunCookiesBench();     // cookiesbench.cpp
void BenchTaskPages();   // tasksbench.cpp

int main()
{
    SetProgramKind(kExplorer);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitialize(nullptr);
    RemoveBenchEntries();   // left by a killed run
    RestoreUserTree();
    SaveUserTree();
    SetConsoleCtrlHandler(OnBreak, TRUE);
    // Without a tab to return to, the explorer opens the Startup Programs page.
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kOptionsKey, "StartTab");

    PrintStart();
    PrintOptionsPage();
    MeasureAddonPages();
    const int made = MakeEntries();
    const PageBench startup = MeasurePage(StartupPageSpec(), kSheetCaption, kRuns, ListStartup, true);
    PrintPage(startup, made);
    RunFilePagesBench();
    RunCookiesBench();
    BenchTaskPages();

    RemoveBenchEntries();
    RestoreUserTree();
    return 0;
}
