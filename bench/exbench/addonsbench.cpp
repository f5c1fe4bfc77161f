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
#include "benchhost.h"
#include "explorer/explorer.h"

namespace {

constexpr int kHelpers = 200;
constexpr int kServices = 200;
constexpr int kRuns = 9;
constexpr int kHostedEvery = 4;
constexpr const char* kSheetCaption = "VlExBench add-ons";
constexpr const char* kServicePrefix = "VlExBenchSvc";

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

// --- The pages -------------------------------------------------------------------

int ListHelpers()
{
    return BuildIEHelperList();
}

int ListServices()
{
    BuildServiceList();
    return ItemCount();
}

void PrintPage(const char* name, const PageBench& run)
{
    const double bare = Median(run.bare);
    const double activation = Median(run.activation);
    std::printf("| %s | %d | %.0f | %.1f | %.1f | %.2f |", name, run.rows, run.openMs, bare, activation,
                Ratio(activation, bare));
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

    const PageBench helpers = MeasurePage(IEHelpersPageSpec(), kSheetCaption, kRuns, ListHelpers, true);
    const PageBench serviceRun = MeasurePage(ServicesPageSpec(), kSheetCaption, kRuns, ListServices, true);

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
