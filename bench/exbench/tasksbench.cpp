// Measures the Scheduled Tasks and Active Tasks pages: each page's
// activation to its filled, sorted list beside its catalogue's bare
// enumeration, in a sheet of this process. The scheduled-task figures run
// over 100 work items the bench saves (each starting another program of the
// system folder) and deletes again; the active tasks are what the machine
// runs.
#include <windows.h>
#include <commctrl.h>
#include <mstask.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "benchhost.h"
#include "explorer/explorer.h"

namespace {

constexpr int kBenchTasks = 100;
constexpr int kRuns = 7;
constexpr const char* kSheetCaption = "VlExBench tasks sheet";

std::wstring TaskName(int i)
{
    wchar_t name[32];
    swprintf(name, 32, L"VlExBenchTask%03d", i);
    return name;
}

ComPtr<ITaskScheduler> Scheduler()
{
    ComPtr<ITaskScheduler> scheduler;
    CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                     reinterpret_cast<void**>(scheduler.put()));
    return scheduler;
}

void DeleteBenchTasks()
{
    ComPtr<ITaskScheduler> scheduler = Scheduler();
    if (!scheduler) return;
    for (int i = 0; i < kBenchTasks; ++i) scheduler->Delete(TaskName(i).c_str());
}

// Returns how many work items were saved.
int MakeBenchTasks()
{
    DeleteBenchTasks();
    ComPtr<ITaskScheduler> scheduler = Scheduler();
    std::vector<std::wstring> programs;
    for (const std::string& path : SystemFiles("*.exe")) programs.emplace_back(path.begin(), path.end());
    if (!scheduler || programs.empty()) return 0;
    int made = 0;
    for (int i = 0; i < kBenchTasks; ++i) {
        ComPtr<ITask> task;
        ComPtr<IPersistFile> file;
        if (SUCCEEDED(scheduler->NewWorkItem(TaskName(i).c_str(), CLSID_CTask, IID_ITask,
                                             reinterpret_cast<IUnknown**>(task.put()))) &&
            SUCCEEDED(task->SetApplicationName(programs[i % programs.size()].c_str())) &&
            SUCCEEDED(task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) &&
            file->Save(nullptr, TRUE) == S_OK)
            ++made;
    }
    return made;
}

int BuildTasks() { return BuildTaskList(); }
int BuildActiveTasks() { return BuildActiveTaskList(); }

void PrintFigures(const char* name, const PageBench& f)
{
    const double bare = Median(f.bare);
    const double activation = Median(f.activation);
    std::printf("| %s | %d | %.1f | %.1f | %.2f | 1.3 |\n", name, f.rows, bare, activation,
                Ratio(activation, bare));
}

}  // namespace

void BenchTaskPages()
{
    const int made = MakeBenchTasks();
    const PageBench scheduled = MeasurePage(ScheduledTasksPageSpec(), kSheetCaption, kRuns, BuildTasks, false);
    const PageBench active = MeasurePage(ActiveTasksPageSpec(), kSheetCaption, kRuns, BuildActiveTasks, false);
    DeleteBenchTasks();
    std::printf("Task pages: activation to the filled, sorted list beside the catalogue's\n"
                "enumeration, in a sheet of this process; median of %d runs in ms. Scheduled\n"
                "Tasks over %d bench work items and what the prefix holds.\n\n",
                kRuns, made);
    std::printf("| page | rows | enumeration | activation | ratio | goal |\n|---|---|---|---|---|---|\n");
    PrintFigures("Scheduled Tasks", scheduled);
    PrintFigures("Active Tasks", active);
    std::printf("\n");
}
