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

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "explorer/explorer.h"

namespace {

constexpr const char* kCorvath = "Software\\Corvath";
constexpr const char* kCorvathSaved = "Software\\CorvathVlExBench";
constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kPrefix = "VlExBench";
constexpr const char* kSheetCaption = "VlExBench sheet";
constexpr int kRuns = 5;
constexpr int kParkedEvery = 16;

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Stats {
    double median = 0, best = 0, worst = 0;
};
Stats Summarize(std::vector<double> ms)
{
    Stats s;
    if (ms.empty()) return s;
    std::sort(ms.begin(), ms.end());
    s.median = ms[ms.size() / 2];
    s.best = ms.front();
    s.worst = ms.back();
    return s;
}

// --- The user's state ------------------------------------------------------

void DeleteTree(const char* key)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, key);
    RegDeleteKeyA(HKEY_CURRENT_USER, key);
}
bool CopyTree(const char* from, const char* to)
{
    HKEY target = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, to, &target) != ERROR_SUCCESS) return false;
    const bool copied = RegCopyTreeA(HKEY_CURRENT_USER, from, target) == ERROR_SUCCESS;
    RegCloseKey(target);
    return copied;
}
// A copy left by a killed run is the user's; it is kept, not overwritten.
void SaveUserTree()
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kCorvathSaved, 0, KEY_READ, &h) == ERROR_SUCCESS) {
        RegCloseKey(h);
        return;
    }
    HKEY source = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kCorvath, 0, KEY_READ, &source) != ERROR_SUCCESS)
        RegCreateKeyA(HKEY_CURRENT_USER, kCorvath, &source);
    RegCloseKey(source);
    CopyTree(kCorvath, kCorvathSaved);
}
void RestoreUserTree()
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kCorvathSaved, 0, KEY_READ, &h) != ERROR_SUCCESS) return;
    RegCloseKey(h);
    DeleteTree(kCorvath);
    CopyTree(kCorvathSaved, kCorvath);
    DeleteTree(kCorvathSaved);
}

void RemovePrefixed(HKEY root, const char* subkey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    std::vector<std::string> names;
    char name[16384];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof(name);
        if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (strncmp(name, kPrefix, strlen(kPrefix)) == 0) names.push_back(name);
    }
    for (const std::string& n : names) RegDeleteValueA(key, n.c_str());
    RegCloseKey(key);
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

// The programs the entries start: every program of the system folder, so
// that the page meets many files (icons, version records, first sights).
std::vector<std::string> SystemPrograms()
{
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, MAX_PATH);
    std::vector<std::string> programs;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((std::string(folder) + "\\*.exe").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return programs;
    do programs.push_back(std::string(folder) + "\\" + found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return programs;
}

// Fills the item list to its capacity with the user's Run key; every 16th
// entry is parked, so that the bottom rule has rows to keep last.
int MakeEntries()
{
    const int already = BuildStartupList(1);
    const std::vector<std::string> programs = SystemPrograms();
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

// --- The page in a sheet -----------------------------------------------------

struct Figures {
    double openMs = 0;
    Stats bare, activation, sort[5];
    int rows = 0;
};

struct Driver {
    double openedAt = 0;
    Figures* figures = nullptr;
};

HWND WaitForWindow(const char* windowClass, const char* caption, int ms)
{
    for (int waited = 0; waited < ms; waited += 2) {
        HWND w = FindWindowA(windowClass, caption);
        if (w && IsWindowVisible(w)) return w;
        Sleep(2);
    }
    return nullptr;
}

DWORD WINAPI DrivePage(void* p)
{
    auto* driver = static_cast<Driver*>(p);
    Figures& f = *driver->figures;
    HWND sheet = WaitForWindow("#32770", kSheetCaption, 60000);
    if (!sheet) return 0;
    f.openMs = Now() - driver->openedAt;   // the first fill runs before the sheet shows
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    HWND list = GetDlgItem(page, 1000);
    f.rows = ListView_GetItemCount(list);

    NMHDR activate = {sheet, 0, static_cast<UINT>(PSN_SETACTIVE)};
    std::vector<double> bare, activation, sorts[5];
    for (int run = 0; run < kRuns; ++run) {
        double t = Now();
        BuildStartupList(1);   // on this thread: the page is idle meanwhile
        bare.push_back(Now() - t);
        t = Now();
        SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&activate));
        activation.push_back(Now() - t);
        for (int column = 0; column < 5; ++column) {
            NMLISTVIEW click = {};
            click.hdr = {list, 1000, static_cast<UINT>(LVN_COLUMNCLICK)};
            click.iItem = -1;
            click.iSubItem = column;
            t = Now();
            SendMessageA(page, WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&click));
            sorts[column].push_back(Now() - t);
        }
    }
    f.bare = Summarize(bare);
    f.activation = Summarize(activation);
    for (int column = 0; column < 5; ++column) f.sort[column] = Summarize(sorts[column]);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    return 0;
}

void MeasurePage(Figures* figures)
{
    Driver driver;
    driver.figures = figures;
    HANDLE thread = CreateThread(nullptr, 0, DrivePage, &driver, 0, nullptr);
    PROPSHEETPAGEA pageRecord = {};
    pageRecord.dwSize = sizeof(pageRecord);
    pageRecord.hInstance = GetModuleHandleA(nullptr);
    pageRecord.pszTemplate = MAKEINTRESOURCEA(StartupPageSpec().dialogId);
    pageRecord.pfnDlgProc = PageProc;
    pageRecord.lParam = reinterpret_cast<LPARAM>(&StartupPageSpec());
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = kSheetCaption;
    header.nPages = 1;
    header.ppsp = &pageRecord;
    driver.openedAt = Now();
    PropertySheetA(&header);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
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
    const double t = Now();
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return -2;
    FoundSheet found;
    found.processId = info.dwProcessId;
    double ms = -1;
    while (Now() - t < 20000) {
        EnumWindows(FindShownList, reinterpret_cast<LPARAM>(&found));
        if (found.list) {
            ms = Now() - t;
            break;
        }
        if (WaitForSingleObject(info.hProcess, 2) == WAIT_OBJECT_0) break;
    }
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
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

void PrintPage(const Figures& f, int made)
{
    std::printf("Startup Programs page: %d rows (%d bench entries, every %dth parked), in a sheet\n"
                "of this process; %d runs, median (best-worst) in ms.\n\n",
                f.rows, made, kParkedEvery, kRuns);
    std::printf("| step | median | best | worst | goal |\n|---|---|---|---|---|\n");
    std::printf("| sheet open, first fill (cold) | %.0f | | | |\n", f.openMs);
    std::printf("| BuildStartupList(1) alone | %.1f | %.1f | %.1f | |\n", f.bare.median, f.bare.best,
                f.bare.worst);
    std::printf("| page activation to the filled, sorted list | %.1f | %.1f | %.1f | 500 |\n",
                f.activation.median, f.activation.best, f.activation.worst);
    for (int column = 0; column < 5; ++column)
        std::printf("| column %d sort | %.1f | %.1f | %.1f | 100 |\n", column, f.sort[column].median,
                    f.sort[column].best, f.sort[column].worst);
    const double ratio = f.bare.median > 0 ? f.activation.median / f.bare.median : 0;
    std::printf("\nActivation / enumeration: %.2f\n\n", ratio);
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
    Figures figures;
    MeasurePage(&figures);
    PrintPage(figures, made);
    RunFilePagesBench();
    RunCookiesBench();
    BenchTaskPages();

    RemoveBenchEntries();
    RestoreUserTree();
    return 0;
}
