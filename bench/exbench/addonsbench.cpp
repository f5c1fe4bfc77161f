// Measures the IE Helpers and Services pages: activation to the filled,
// sorted list beside the catalogue's own enumeration, and the column sorts.
// A fresh prefix has a few dozen services and no add-ons, so the bench
// registers 200 of each (add-ons in the registry, services through the
// Service Control Manager, all named "VlExBench...") and removes them again.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "explorer/explorer.h"

namespace {

constexpr int kHelpers = 200;
constexpr int kServices = 200;
constexpr int kRuns = 9;
constexpr int kHostedEvery = 4;
constexpr const char* kSheetCaption = "VlExBench add-ons";
constexpr const char* kServicePrefix = "VlExBenchSvc";

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

double Median(std::vector<double> ms)
{
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// --- What the bench registers --------------------------------------------------

std::string HelperId(int i)
{
    char id[64];
    std::snprintf(id, sizeof(id), "{5E1A%04X-0000-4000-8000-00000000BE0C}", i);
    return id;
}

// Which kind helper i is: most add-ons are helper objects.
int HelperKindOf(int i)
{
    return i % 5 == 3 ? 901 : i % 5 == 4 ? 902 : 900;
}

std::vector<std::string> SystemFiles(const char* pattern)
{
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, MAX_PATH);
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((std::string(folder) + "\\" + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return files;
    do files.push_back(std::string(folder) + "\\" + found.cFileName);
    while (FindNextFileA(find, &found));
    FindClose(find);
    return files;
}

void RemoveHelpers()
{
    for (int i = 0; i < kHelpers; ++i) {
        const std::string id = HelperId(i);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str());
        RegDeleteKeyA(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kIEBrowserHelpersKey) + "\\" + id).c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kIEExtensionsKey) + "\\" + id).c_str());
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kIEToolbarKey, id.c_str());
    }
}

void MakeHelpers()
{
    const std::vector<std::string> dlls = SystemFiles("*.dll");
    const std::vector<std::string> programs = SystemFiles("*.exe");
    if (dlls.empty() || programs.empty()) return;
    for (int i = 0; i < kHelpers; ++i) {
        const std::string id = HelperId(i);
        const std::string server = dlls[(i * 7) % dlls.size()];
        const int kind = HelperKindOf(i);
        if (kind == 902) {
            const std::string key = std::string(kIEExtensionsKey) + "\\" + id;
            const std::string text = "VlExBench button " + std::to_string(i);
            SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "ButtonText", text.c_str());
            SetRegValue(HKEY_LOCAL_MACHINE, key.c_str(), "Exec", programs[i % programs.size()].c_str());
            continue;
        }
        SetRegValue(HKEY_CLASSES_ROOT, ("CLSID\\" + id).c_str(), "", "VlExBench class");
        SetRegValue(HKEY_CLASSES_ROOT, ("CLSID\\" + id + "\\InprocServer32").c_str(), "", server.c_str());
        if (kind == 900)
            SetRegValue(HKEY_LOCAL_MACHINE, (std::string(kIEBrowserHelpersKey) + "\\" + id).c_str(), "", "");
        else
            SetRegValue(HKEY_LOCAL_MACHINE, kIEToolbarKey, id.c_str(), "");
    }
}

std::string ServiceName(int i)
{
    char name[32];
    std::snprintf(name, sizeof(name), "%s%03d", kServicePrefix, i);
    return name;
}

void RemoveServices()
{
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return;
    for (int i = 0; i < kServices; ++i) {
        UniqueService service(OpenServiceA(manager.get(), ServiceName(i).c_str(), DELETE));
        if (service) DeleteService(service.get());
    }
}

// Every 4th service runs in the shared host with a system DLL; the others
// run a system program each.
int MakeServices()
{
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const std::vector<std::string> dlls = SystemFiles("*.dll");
    const std::vector<std::string> programs = SystemFiles("*.exe");
    if (!manager || dlls.empty() || programs.empty()) return 0;
    int made = 0;
    for (int i = 0; i < kServices; ++i) {
        const bool hosted = i % kHostedEvery == 0;
        const std::string name = ServiceName(i);
        const std::string title = "VlExBench Service " + std::to_string(i);
        const std::string command = hosted ? "%SystemRoot%\\system32\\svchost.exe -k vlexbench"
                                           : "\"" + programs[i % programs.size()] + "\" -service";
        UniqueService service(CreateServiceA(manager.get(), name.c_str(), title.c_str(), SERVICE_ALL_ACCESS,
                                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                             SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr,
                                             nullptr, nullptr, nullptr));
        if (!service) continue;
        ++made;
        if (!hosted) continue;
        const std::string parameters = std::string(kServicesKey) + "\\" + name + "\\Parameters";
        SetRegValue(HKEY_LOCAL_MACHINE, parameters.c_str(), "ServiceDll", dlls[(i * 5) % dlls.size()].c_str());
    }
    return made;
}

BOOL WINAPI OnBreak(DWORD)
{
    RemoveHelpers();
    RemoveServices();
    return FALSE;   // the main bench's handler restores the user's tree
}

// --- One page in a sheet ---------------------------------------------------------

struct PageRun {
    const PageSpec* desc = nullptr;
    int (*enumerate)() = nullptr;
    double openMs = 0;
    int rows = 0;
    std::vector<double> bare, activation, sorts[kMaxColumns];
    double openedAt = 0;
};

HWND WaitForSheet()
{
    for (int waited = 0; waited < 60000; waited += 2) {
        HWND w = FindWindowA("#32770", kSheetCaption);
        if (w && IsWindowVisible(w)) return w;
        Sleep(2);
    }
    return nullptr;
}

DWORD WINAPI DrivePage(void* p)
{
    PageRun& run = *static_cast<PageRun*>(p);
    HWND sheet = WaitForSheet();
    if (!sheet) return 0;
    run.openMs = Now() - run.openedAt;   // the first fill runs before the sheet shows
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    HWND list = GetDlgItem(page, 1000);
    run.rows = ListView_GetItemCount(list);
    NMHDR activate = {sheet, 0, static_cast<UINT>(PSN_SETACTIVE)};
    for (int i = 0; i < kRuns; ++i) {
        double t = Now();
        run.enumerate();   // on this thread: the page is idle meanwhile
        run.bare.push_back(Now() - t);
        t = Now();
        SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&activate));
        run.activation.push_back(Now() - t);
        for (int column = 0; column < run.desc->columnCount; ++column) {
            NMLISTVIEW click = {};
            click.hdr = {list, 1000, static_cast<UINT>(LVN_COLUMNCLICK)};
            click.iItem = -1;
            click.iSubItem = column;
            t = Now();
            SendMessageA(page, WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&click));
            run.sorts[column].push_back(Now() - t);
        }
    }
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    return 0;
}

void MeasurePage(PageRun* run)
{
    HANDLE thread = CreateThread(nullptr, 0, DrivePage, run, 0, nullptr);
    PROPSHEETPAGEA record = {};
    record.dwSize = sizeof(record);
    record.hInstance = GetModuleHandleA(nullptr);
    record.pszTemplate = MAKEINTRESOURCEA(run->desc->dialogId);
    record.pfnDlgProc = PageProc;
    record.lParam = reinterpret_cast<LPARAM>(run->desc);
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = kSheetCaption;
    header.nPages = 1;
    header.ppsp = &record;
    run->openedAt = Now();
    PropertySheetA(&header);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

int ListHelpers()
{
    return BuildIEHelperList();
}

int ListServices()
{
    BuildServiceList();
    return ItemCount();
}

void PrintPage(const char* name, const PageRun& run)
{
    const double bare = Median(run.bare);
    const double activation = Median(run.activation);
    std::printf("| %s | %d | %.0f | %.1f | %.1f | %.2f |", name, run.rows, run.openMs, bare, activation,
                bare > 0 ? activation / bare : 0);
    double worstSort = 0;
    for (int column = 0; column < run.desc->columnCount; ++column)
        worstSort = (std::max)(worstSort, Median(run.sorts[column]));
    std::printf(" %.1f |\n", worstSort);
}

}  // namespace

void MeasureAddonPages()
{
    RemoveHelpers();   // left by a killed run
    RemoveServices();
    SetConsoleCtrlHandler(OnBreak, TRUE);
    MakeHelpers();
    const int services = MakeServices();

    PageRun helpers;
    helpers.desc = &IEHelpersPageSpec();
    helpers.enumerate = ListHelpers;
    MeasurePage(&helpers);
    PageRun serviceRun;
    serviceRun.desc = &ServicesPageSpec();
    serviceRun.enumerate = ListServices;
    MeasurePage(&serviceRun);

    std::printf("IE Helpers and Services pages: %d add-ons and %d services made by the bench beside\n"
                "the prefix's own, in a sheet of this process; %d runs, medians in ms. The ratio is\n"
                "activation (enumeration, rows, first sights, sort) over the catalogue's enumeration\n"
                "alone (goal 1.3).\n\n",
                kHelpers, services, kRuns);
    std::printf("| page | rows | first open (cold) | enumeration | activation | ratio | slowest column sort |\n"
                "|---|---|---|---|---|---|---|\n");
    PrintPage("IE Helpers", helpers);
    PrintPage("Services", serviceRun);
    std::printf("\n");

    RemoveHelpers();
    RemoveServices();
    SetConsoleCtrlHandler(OnBreak, FALSE);
}
