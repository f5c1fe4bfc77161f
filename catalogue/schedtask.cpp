// Scheduled tasks: the work items of the Task Scheduler 1.0 (mstask), listed
// into the shared item list, and the by-name queries and removal.
#include "catalogue/catalogue.h"

#include <mstask.h>

#include <cwchar>

namespace {

// Set only when this program launched the Windows 9x agent, so that it stops
// again what it started and nothing else.
bool g_startedHere = false;
// Set when the last StartScheduler had to start the agent or the service;
// a scheduler that was running already needs no time to come up.
bool g_startedNow = false;


constexpr const char* kAgentClass = "SAGEWINDOWCLASS";
constexpr const char* kAgentTitle = "SYSTEM AGENT COM WINDOW";
constexpr const char* kScheduleService = "Schedule";

// The scheduler hands out names five at a time; each batch is handled from
// its last name to its first.
constexpr ULONG kBatchSize = 5;
constexpr DWORD kListWaitMs = 10;
constexpr DWORD kByNameWaitMs = 1000;

constexpr int kNameLen = MAX_PATH;

bool IsWin9x()
{
    return GetPlatformId() == VER_PLATFORM_WIN32_WINDOWS;
}

HWND FindAgentWindow()
{
    return FindWindowA(kAgentClass, kAgentTitle);
}

int StartAgent()
{
    if (FindAgentWindow()) return 0;
    char path[MAX_PATH] = {};
    if (SearchPathA(nullptr, "mstask.exe", nullptr, MAX_PATH, path, nullptr) == 0)
        return static_cast<int>(GetLastError());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(path, nullptr, nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                        &process))
        return static_cast<int>(GetLastError());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    g_startedHere = true;
    g_startedNow = true;
    return 0;
}

// The scheduler's service through the process's connection to the manager;
// a connection found broken is made again once.
bool BrokenConnection(DWORD error)
{
    return error == ERROR_INVALID_HANDLE || error == RPC_S_SERVER_UNAVAILABLE ||
           error == RPC_S_CALL_FAILED;
}

UniqueService OpenScheduleService(DWORD access)
{
    const SC_HANDLE shared = SharedServiceManager();
    if (!shared) return UniqueService();
    UniqueService service(OpenServiceA(shared, kScheduleService, access));
    if (service || !BrokenConnection(GetLastError())) return service;
    const SC_HANDLE fresh = ReopenServiceManager();
    if (!fresh) return UniqueService();
    return UniqueService(OpenServiceA(fresh, kScheduleService, access));
}

int StartScheduleService()
{
    UniqueService service(OpenScheduleService(SERVICE_START | SERVICE_QUERY_STATUS));
    if (!service) return static_cast<int>(GetLastError());
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service.get(), &status)) return static_cast<int>(GetLastError());
    if (status.dwCurrentState == SERVICE_RUNNING) return 0;
    g_startedNow = true;
    if (StartServiceA(service.get(), 0, nullptr)) return 0;
    DWORD error = GetLastError();
    // Another caller started it between the query and the start.
    return error == ERROR_SERVICE_ALREADY_RUNNING ? 0 : static_cast<int>(error);
}

int StopAgent()
{
    HWND agent = FindAgentWindow();
    if (!agent) return 1;
    DWORD processId = 0;
    GetWindowThreadProcessId(agent, &processId);
    UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
    if (process) {
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        TerminateProcess(process.get(), code);
    }
    // The agent leaves its notification icon behind until the taskbar repaints.
    if (HWND tray = FindWindowA("Shell_TrayWnd", "")) InvalidateRect(tray, nullptr, TRUE);
    return 0;
}

int StopScheduleService()
{
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return 1;
    UniqueService service(
        OpenServiceA(manager.get(), kScheduleService, SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) return 1;
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service.get(), &status)) return 1;
    if (status.dwCurrentState != SERVICE_RUNNING) return 0;
    return ControlService(service.get(), SERVICE_CONTROL_STOP, &status) ? 0 : 1;
}

// UTF-16 to the ANSI code page; "" when the text does not fit.
void ToAnsi(const wchar_t* wide, char* out, int capacity)
{
    out[0] = '\0';
    if (!wide) return;
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, out, capacity, nullptr, nullptr) == 0)
        out[0] = '\0';
    out[capacity - 1] = '\0';
}

// The scheduler enumerates "name.job"; callers may pass either form.
bool SameTaskName(const char* listed, const char* wanted)
{
    if (lstrcmpiA(listed, wanted) == 0) return true;
    char shortName[kNameLen];
    StrCopy(shortName, listed);
    size_t length = strlen(shortName);
    if (length <= 4 || lstrcmpiA(shortName + length - 4, ".job") != 0) return false;
    shortName[length - 4] = '\0';
    return lstrcmpiA(shortName, wanted) == 0;
}

// Activate and Delete take the work item's name without the ".job" that
// the enumeration adds (Windows accepts both, Wine only the short form).
void WorkItemName(const wchar_t* enumerated, wchar_t* out, size_t capacity)
{
    lstrcpynW(out, enumerated, static_cast<int>(capacity));
    size_t length = wcslen(out);
    if (length > 4 && _wcsicmp(out + length - 4, L".job") == 0) out[length - 4] = L'\0';
}

// Run time text: "Never" for a date of all zeros, else the date and the
// 12-hour time in the form of the history lines.
void FormatRunTime(const SYSTEMTIME& time, char* out, int capacity)
{
    char text[64] = {};
    FormatHistoryTime(&time, text);
    StrCopy(out, static_cast<size_t>(capacity), text);
}

using TaskVisitor = bool (*)(ITaskScheduler* scheduler, const wchar_t* wideName,
                             const char* name, void* context);

// One batch: visits from the last name to the first and frees every name.
// Returns true when the visitor asked to stop.
bool VisitBatch(ITaskScheduler* scheduler, LPWSTR* names, ULONG fetched, TaskVisitor visit,
                void* context)
{
    bool stop = false;
    for (ULONG i = fetched; i-- > 0 && !stop;) {
        char name[kNameLen];
        ToAnsi(names[i], name, kNameLen);
        stop = visit(scheduler, names[i], name, context);
    }
    for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(names[i]);
    CoTaskMemFree(names);
    return stop;
}

HRESULT EnumerateTasks(TaskVisitor visit, void* context)
{
    ComApartment apartment;
    ComPtr<ITaskScheduler> scheduler;
    HRESULT hr = CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ITaskScheduler, reinterpret_cast<void**>(scheduler.put()));
    if (FAILED(hr)) return hr;
    ComPtr<IEnumWorkItems> items;
    hr = scheduler->Enum(items.put());
    if (FAILED(hr)) return hr;
    for (;;) {
        LPWSTR* names = nullptr;
        ULONG fetched = 0;
        hr = items->Next(kBatchSize, &names, &fetched);
        if (FAILED(hr) || fetched == 0 || !names) {
            if (names) CoTaskMemFree(names);
            break;
        }
        if (VisitBatch(scheduler.get(), names, fetched, visit, context)) break;
    }
    return S_OK;
}

// The list waits only for a scheduler it had to start: every pass of the
// monitor lists the tasks, and the scheduler is running nearly always. The
// queries by name keep their wait.
enum class Wait { kAfterStart, kAlways };

// The common frame: the scheduler is started, the wait paid, the work items
// visited, and an agent started here is stopped again.
HRESULT WithTasks(DWORD waitMs, Wait wait, TaskVisitor visit, void* context)
{
    int started = StartScheduler();
    if (started != 0) return HRESULT_FROM_WIN32(static_cast<DWORD>(started));
    if (wait == Wait::kAlways || g_startedNow) Sleep(waitMs);
    HRESULT hr = EnumerateTasks(visit, context);
    if (g_startedHere) StopScheduler();
    return hr;
}

ComPtr<ITask> ActivateTask(ITaskScheduler* scheduler, const wchar_t* enumerated)
{
    wchar_t name[kNameLen];
    WorkItemName(enumerated, name, kNameLen);
    ComPtr<ITask> task;
    if (FAILED(scheduler->Activate(name, IID_ITask, reinterpret_cast<IUnknown**>(task.put()))))
        return ComPtr<ITask>();
    return task;
}

// What a work item's file says of it, remembered per file for the life of
// the process: activating a work item reads and parses its file, the
// costliest step of a list. The file's size and last-write time tell a
// changed item (the scheduler rewrites the file when the item runs or is
// edited); a next run time that has come is asked for again.
struct TaskFacts {
    char program[kPathLen];
    SYSTEMTIME last;
    SYSTEMTIME next;
};

struct CachedTask {
    char file[MAX_PATH];   // upper-cased; "" for a free entry
    ULONGLONG size;
    FILETIME written;
    DWORD lastUse;
    TaskFacts facts;
};

constexpr int kCachedTasks = 256;
CachedTask g_tasks[kCachedTasks];
DWORD g_taskClock = 0;

struct FileStamp {
    char file[MAX_PATH];   // upper-cased; "" when the file is not known
    ULONGLONG size;
    FILETIME written;
};

// The scheduler's folder of work item files, as the scheduler itself names
// it.
void TasksFolder(char (&folder)[MAX_PATH])
{
    if (ReadRegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\SchedulingAgent", "TasksFolder",
                    folder) > 0)
        return;
    UINT n = GetWindowsDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || StrAppend(folder, "\\Tasks") != 0) folder[0] = '\0';
}

void StampTaskFile(const char* folder, const char* enumerated, FileStamp* stamp)
{
    stamp->file[0] = '\0';
    char path[MAX_PATH];
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!folder[0] || StrFormatA(path, "%s\\%s", folder, enumerated) != 0 ||
        !GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return;
    stamp->size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp->written = data.ftLastWriteTime;
    StrCopy(stamp->file, path);
    CharUpperBuffA(stamp->file, static_cast<DWORD>(strlen(stamp->file)));
}

bool IsZeroDate(const SYSTEMTIME& time)
{
    return time.wYear == 0 && time.wMonth == 0 && time.wDay == 0;
}

// A next run time stays true until it comes; "none" stays true while the
// file is unchanged (triggers only ever run out).
bool NextRunStillAhead(const SYSTEMTIME& next)
{
    if (IsZeroDate(next)) return true;
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME nowTime, nextTime;
    if (!SystemTimeToFileTime(&now, &nowTime) || !SystemTimeToFileTime(&next, &nextTime))
        return false;
    return CompareFileTime(&nowTime, &nextTime) < 0;
}

bool SameStamp(const CachedTask& e, const FileStamp& stamp)
{
    return e.size == stamp.size && e.written.dwLowDateTime == stamp.written.dwLowDateTime &&
           e.written.dwHighDateTime == stamp.written.dwHighDateTime &&
           strcmp(e.file, stamp.file) == 0;
}

bool FindTaskFacts(const FileStamp& stamp, TaskFacts* facts)
{
    if (!stamp.file[0]) return false;
    for (CachedTask& e : g_tasks) {
        if (!e.file[0] || !SameStamp(e, stamp)) continue;
        if (!NextRunStillAhead(e.facts.next)) return false;
        e.lastUse = ++g_taskClock;
        *facts = e.facts;
        return true;
    }
    return false;
}

// Takes the entry of the same file, else a free one, else the least
// recently used.
void RememberTaskFacts(const FileStamp& stamp, const TaskFacts& facts)
{
    if (!stamp.file[0]) return;
    CachedTask* slot = &g_tasks[0];
    for (CachedTask& e : g_tasks) {
        if (!e.file[0] || strcmp(e.file, stamp.file) == 0) {
            slot = &e;
            break;
        }
        if (e.lastUse < slot->lastUse) slot = &e;
    }
    StrCopy(slot->file, stamp.file);
    slot->size = stamp.size;
    slot->written = stamp.written;
    slot->facts = facts;
    slot->lastUse = ++g_taskClock;
}

void ReadTaskFacts(ITask* task, TaskFacts* facts)
{
    facts->program[0] = '\0';
    LPWSTR application = nullptr;
    if (SUCCEEDED(task->GetApplicationName(&application)))
        ToAnsi(application, facts->program, kPathLen);
    if (application) CoTaskMemFree(application);
    // A call that fails or has no time to give leaves the zero date: "Never".
    if (task->GetMostRecentRunTime(&facts->last) != S_OK) facts->last = SYSTEMTIME{};
    if (task->GetNextRunTime(&facts->next) != S_OK) facts->next = SYSTEMTIME{};
}

struct ListState {
    int count = 0;
    char never[64] = "";           // loaded once for the list
    char folder[MAX_PATH] = "";    // the work item files
};

void FormatListedTime(const ListState& state, const SYSTEMTIME& time, char (&out)[64])
{
    if (IsZeroDate(time)) StrCopy(out, state.never);
    else FormatRunTime(time, out, sizeof out);
}

bool AddTaskEntry(ITaskScheduler* scheduler, const wchar_t* wideName, const char* name,
                  void* context)
{
    auto* state = static_cast<ListState*>(context);
    // The stamp comes first: a file rewritten while it is read is read
    // again next time.
    FileStamp stamp;
    StampTaskFile(state->folder, name, &stamp);
    TaskFacts facts;
    if (!FindTaskFacts(stamp, &facts)) {
        ComPtr<ITask> task = ActivateTask(scheduler, wideName);
        if (!task) return false;
        ReadTaskFacts(task.get(), &facts);
        RememberTaskFacts(stamp, facts);
    }
    char lastText[64], nextText[64];
    FormatListedTime(*state, facts.last, lastText);
    FormatListedTime(*state, facts.next, nextText);
    if (AddItem(name, facts.program, nextText, lastText, kTaskScheduled, 0)) ++state->count;
    return false;
}

// A query on the first task of a given name.
enum class Query { kRemove, kStatus, kComment, kNextRun };

struct ByNameState {
    const char* wanted;
    Query query;
    char* text;
    int capacity;
    bool found = false;
    HRESULT result = S_OK;
};

void StatusText(ITask* task, char* text, int capacity)
{
    HRESULT status = S_OK;
    if (FAILED(task->GetStatus(&status))) status = S_OK;
    int id = IDS_TASK_STATUS_READY;
    if (status == SCHED_S_TASK_RUNNING) id = IDS_TASK_STATUS_RUNNING;
    else if (status == SCHED_S_TASK_NOT_SCHEDULED) id = IDS_TASK_STATUS_NOT_SCHEDULED;
    LoadLocalizedString(id, text, capacity);
}

void CommentText(ITask* task, char* text, int capacity)
{
    LPWSTR comment = nullptr;
    if (SUCCEEDED(task->GetComment(&comment))) ToAnsi(comment, text, capacity);
    if (comment) CoTaskMemFree(comment);
}

void NextRunText(ITask* task, char* text, int capacity)
{
    SYSTEMTIME next = {};
    if (task->GetNextRunTime(&next) != S_OK) next = SYSTEMTIME{};
    FormatRunTime(next, text, capacity);
}

bool ActOnNamedTask(ITaskScheduler* scheduler, const wchar_t* wideName, const char* name,
                    void* context)
{
    auto* state = static_cast<ByNameState*>(context);
    if (!SameTaskName(name, state->wanted)) return false;
    state->found = true;
    if (state->query == Query::kRemove) {
        wchar_t itemName[kNameLen];
        WorkItemName(wideName, itemName, kNameLen);
        state->result = scheduler->Delete(itemName);
        return true;
    }
    ComPtr<ITask> task = ActivateTask(scheduler, wideName);
    if (!task) return true;
    if (state->query == Query::kStatus) StatusText(task.get(), state->text, state->capacity);
    else if (state->query == Query::kComment) CommentText(task.get(), state->text, state->capacity);
    else NextRunText(task.get(), state->text, state->capacity);
    return true;
}

int QueryNamedTask(const char* name, Query query, char* text, int capacity)
{
    if (!text || capacity <= 0) return 0;
    text[0] = '\0';
    if (!name || !*name) return 0;
    ByNameState state{name, query, text, capacity};
    WithTasks(kByNameWaitMs, Wait::kAlways, ActOnNamedTask, &state);
    text[capacity - 1] = '\0';
    return static_cast<int>(strlen(text));
}

}  // namespace

int StartScheduler()
{
    g_startedHere = false;
    g_startedNow = false;
    return IsWin9x() ? StartAgent() : StartScheduleService();
}

int StopScheduler()
{
    g_startedHere = false;
    return IsWin9x() ? StopAgent() : StopScheduleService();
}

int IsSchedulerRunning()
{
    if (IsWin9x()) return FindAgentWindow() ? 1 : 0;
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return 0;
    UniqueService service(OpenServiceA(manager.get(), kScheduleService, SERVICE_QUERY_STATUS));
    if (!service) return 0;
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(service.get(), &status)) return 0;
    return status.dwCurrentState == SERVICE_RUNNING ? 1 : 0;
}

int BuildTaskList()
{
    ClearItems();
    ListState state;
    // The text FormatHistoryTime gives a zero date.
    const SYSTEMTIME zero = {};
    FormatRunTime(zero, state.never, sizeof state.never);
    TasksFolder(state.folder);
    WithTasks(kListWaitMs, Wait::kAfterStart, AddTaskEntry, &state);
    return state.count;
}

HRESULT RemoveScheduledTask(const char* name)
{
    if (!name || !*name) return E_INVALIDARG;
    ByNameState state{name, Query::kRemove, nullptr, 0};
    HRESULT hr = WithTasks(kByNameWaitMs, Wait::kAlways, ActOnNamedTask, &state);
    if (FAILED(hr)) return hr;
    if (!state.found) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return state.result;
}

int GetTaskStatusText(const char* name, char* text, int capacity)
{
    return QueryNamedTask(name, Query::kStatus, text, capacity);
}

int GetTaskComment(const char* name, char* text, int capacity)
{
    return QueryNamedTask(name, Query::kComment, text, capacity);
}

int GetTaskNextRunTime(const char* name, char* text, int capacity)
{
    return QueryNamedTask(name, Query::kNextRun, text, capacity);
}
