// Work items the tests save and look up through the Task Scheduler itself.
#pragma once

#include <mstask.h>

#include <string>
#include <vector>

#include "tests/catalogue/startuptest.h"

namespace tasktest {

inline std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

inline ComPtr<ITaskScheduler> OpenScheduler()
{
    ComPtr<ITaskScheduler> s;
    CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                     reinterpret_cast<void**>(s.put()));
    return s;
}

inline bool TaskExists(const std::string& name)
{
    ComPtr<ITask> task;
    return SUCCEEDED(OpenScheduler()->Activate(Wide(name).c_str(), IID_ITask, reinterpret_cast<IUnknown**>(task.put())));
}

// The test's work items, deleted on creation and on the way out.
struct TaskNames {
    ComApartment apartment;
    std::vector<std::string> names;
    explicit TaskNames(std::vector<std::string> list) : names(std::move(list)) { DeleteAll(); }
    ~TaskNames() { DeleteAll(); }
    void DeleteAll() const { for (const std::string& name : names) OpenScheduler()->Delete(Wide(name).c_str()); }
};

const WORD kNextYear = [] { SYSTEMTIME now; GetLocalTime(&now); return static_cast<WORD>(now.wYear + 1); }();

// Saves a work item running `program` in C:\windows; a trigger runs it once,
// on 2 November of next year at 00:05.
inline bool CreateTask(const std::string& name, bool trigger = false,
                       const std::string& program = "C:\\windows\\notepad.exe", const std::string& comment = "")
{
    ComPtr<ITask> task;
    ComPtr<ITaskTrigger> once;
    ComPtr<IPersistFile> file;
    WORD index = 0;
    TASK_TRIGGER data = {sizeof(TASK_TRIGGER), 0, kNextYear, 11, 2, 0, 0, 0, 0, 5, 0, 0, 0, TASK_TIME_TRIGGER_ONCE,
                         {}, 0, 0};
    return SUCCEEDED(OpenScheduler()->NewWorkItem(Wide(name).c_str(), CLSID_CTask, IID_ITask,
                                                  reinterpret_cast<IUnknown**>(task.put()))) &&
           SUCCEEDED(task->SetApplicationName(Wide(program).c_str())) &&
           SUCCEEDED(task->SetWorkingDirectory(L"C:\\windows")) && SUCCEEDED(task->SetComment(Wide(comment).data())) &&
           (!trigger || (SUCCEEDED(task->CreateTrigger(&index, once.put())) && SUCCEEDED(once->SetTrigger(&data)))) &&
           SUCCEEDED(task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) &&
           file->Save(nullptr, TRUE) == S_OK;
}

}   // namespace tasktest
