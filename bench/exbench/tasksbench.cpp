// Measures the Scheduled Tasks and Active Tasks pages: each page's
// activation to its filled, sorted list beside its catalogue's bare
// enumeration, in a sheet of this process. The scheduled-task figures run
// over 100 work items the bench saves (each starting another program of the
// system folder) and deletes again; the active tasks are what the machine
// runs.
#include <windows.h>
#include <commctrl.h>
#include <mstask.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "explorer/explorer.h"

namespace {

constexpr int kBenchTasks = 100;
constexpr int kRuns = 7;
constexpr const char* kSheetCaption = "VlExBench tasks sheet";

double NowMs()
{
    LARGE_INTEGER frequency, t;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> ms)
{
    if (ms.empty()) return 0;
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

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
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, MAX_PATH);
    std::vector<std::wstring> programs;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((std::string(folder) + "\\*.exe").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string path = std::string(folder) + "\\" + found.cFileName;
            programs.emplace_back(path.begin(), path.end());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
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

struct PageFigures {
    const PageSpec* desc = nullptr;
    int (*build)() = nullptr;
    int rows = 0;
    double bare = 0;
    double activation = 0;
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
    auto* f = static_cast<PageFigures*>(p);
    HWND sheet = WaitForSheet();
    if (!sheet) return 0;
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    NMHDR activate = {sheet, 0, static_cast<UINT>(PSN_SETACTIVE)};
    std::vector<double> bare, activation;
    for (int run = 0; run < kRuns; ++run) {
        double t = NowMs();
        f->build();   // on this thread: the page is idle meanwhile
        bare.push_back(NowMs() - t);
        t = NowMs();
        SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&activate));
        activation.push_back(NowMs() - t);
    }
    f->rows = ListView_GetItemCount(GetDlgItem(page, 1000));
    f->bare = Median(bare);
    f->activation = Median(activation);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    return 0;
}

void MeasurePage(PageFigures* f)
{
    HANDLE thread = CreateThread(nullptr, 0, DrivePage, f, 0, nullptr);
    PROPSHEETPAGEA record = {};
    record.dwSize = sizeof(record);
    record.hInstance = GetModuleHandleA(nullptr);
    record.pszTemplate = MAKEINTRESOURCEA(f->desc->dialogId);
    record.pfnDlgProc = PageProc;
    record.lParam = reinterpret_cast<LPARAM>(f->desc);
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = kSheetCaption;
    header.nPages = 1;
    header.ppsp = &record;
    PropertySheetA(&header);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

int BuildTasks() { return BuildTaskList(); }
int BuildActiveTasks() { return BuildActiveTaskList(); }

void PrintFigures(const char* name, const PageFigures& f)
{
    const double ratio = f.bare > 0 ? f.activation / f.bare : 0;
    std::printf("| %s | %d | %.1f | %.1f | %.2f | 1.3 |\n", name, f.rows, f.bare, f.activation, ratio);
}

}  // namespace

void BenchTaskPages()
{
    const int made = MakeBenchTasks();
    PageFigures scheduled{&ScheduledTasksPageSpec(), BuildTasks};
    PageFigures active{&ActiveTasksPageSpec(), BuildActiveTasks};
    MeasurePage(&scheduled);
    MeasurePage(&active);
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
