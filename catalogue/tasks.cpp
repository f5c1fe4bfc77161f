// Active tasks: the running programs, looked up by program path and ended
// on request. The process functions are resolved at run time so that the
// programs still start on systems that lack one of the libraries.
#include "catalogue/catalogue.h"

#include <tlhelp32.h>

#include <cstring>

namespace {

constexpr int kCodeTask = 600;
constexpr int kActionTaskKill = 5;
// A running process answers GetExitCodeProcess with STILL_ACTIVE (259); a
// process ended with that code would look alive to every program that asks.
constexpr UINT kEndedExitCode = 1;
// Termination is asynchronous: the handle is signalled once the process has
// gone. Bounded, so a process stuck in the kernel cannot hang the caller.
constexpr DWORD kEndWaitMs = 500;

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

template <class F>
F Resolve(HMODULE module, const char* name)
{
    // GetProcAddress hands out a generic function pointer; going through
    // void* keeps the conversion explicit for every compiler.
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct HeapTraits {
    using type = void*;
    static void* invalid() noexcept { return nullptr; }
    static void close(void* p) noexcept { HeapFree(GetProcessHeap(), 0, p); }
};
using UniqueHeap = Unique<HeapTraits>;

// The identifier list of EnumProcesses starts at 1024 bytes and doubles
// while the call fills it; this bounds the growth on a broken system.
constexpr DWORD kFirstIdBytes = 1024;
constexpr DWORD kMaxIdBytes = 1024 * 1024;

#if !defined(_WIN64)
// 16-bit tasks exist only inside NTVDM, which 64-bit Windows does not have;
// there VDMDBG's enumeration is not even called (under Wine it aborts).
using TaskEnumProcEx = BOOL(WINAPI*)(DWORD, WORD, WORD, PSZ, PSZ, LPARAM);
using VdmEnumTaskWowExFn = INT(WINAPI*)(DWORD, TaskEnumProcEx, LPARAM);

struct VdmWalk {
    RunningProgramProc callback;
    void* context;
    DWORD processId;
    bool stopped;
};

BOOL WINAPI VdmTaskProc(DWORD, WORD, WORD task16, PSZ, PSZ fileName, LPARAM param)
{
    VdmWalk* walk = reinterpret_cast<VdmWalk*>(param);
    if (walk->callback(walk->processId, task16, fileName ? fileName : "", walk->context))
        return FALSE;
    walk->stopped = true;
    return TRUE;
}

bool EndsWithNtvdm(const char* name)
{
    size_t n = std::strlen(name);
    return n >= 9 && lstrcmpiA(name + n - 9, "NTVDM.EXE") == 0;
}
#endif

void ProcessFileName(DWORD id, EnumProcessModulesFn enumModules,
                     GetModuleFileNameExFn moduleFileName, char (&name)[MAX_PATH])
{
    name[0] = 0;
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
    if (!process) return;
    HMODULE first = nullptr;
    DWORD needed = 0;
    if (!enumModules(process.get(), &first, sizeof(first), &needed)) return;
    if (!moduleFileName(process.get(), first, name, MAX_PATH)) name[0] = 0;
}

int EnumNt(RunningProgramProc callback, void* context)
{
    UniqueModule psapi(LoadLibraryA("PSAPI.DLL"));
    if (!psapi) return 0;
    auto enumProcesses = Resolve<EnumProcessesFn>(psapi.get(), "EnumProcesses");
    auto enumModules = Resolve<EnumProcessModulesFn>(psapi.get(), "EnumProcessModules");
    auto moduleFileName = Resolve<GetModuleFileNameExFn>(psapi.get(), "GetModuleFileNameExA");
    if (!enumProcesses || !enumModules || !moduleFileName) return 0;
#if !defined(_WIN64)
    UniqueModule vdmdbg(LoadLibraryA("VDMDBG.DLL"));
    auto enumTasks =
        vdmdbg ? Resolve<VdmEnumTaskWowExFn>(vdmdbg.get(), "VDMEnumTaskWOWEx") : nullptr;
#endif

    UniqueHeap ids;
    DWORD bytes = kFirstIdBytes;
    DWORD filled = 0;
    for (;;) {
        ids = UniqueHeap(HeapAlloc(GetProcessHeap(), 0, bytes));
        if (!ids || !enumProcesses(static_cast<DWORD*>(ids.get()), bytes, &filled)) return 0;
        if (filled < bytes || bytes >= kMaxIdBytes) break;
        bytes *= 2;
    }
    const DWORD* list = static_cast<const DWORD*>(ids.get());
    for (DWORD i = 0; i < filled / sizeof(DWORD); ++i) {
        char name[MAX_PATH];
        ProcessFileName(list[i], enumModules, moduleFileName, name);
        if (!callback(list[i], 0, name, context)) break;
#if !defined(_WIN64)
        if (enumTasks && EndsWithNtvdm(name)) {
            VdmWalk walk = {callback, context, list[i], false};
            enumTasks(list[i], VdmTaskProc, reinterpret_cast<LPARAM>(&walk));
            if (walk.stopped) break;
        }
#endif
    }
    return 1;
}

int EnumToolhelp(RunningProgramProc callback, void* context)
{
    HMODULE kernel = GetModuleHandleA("Kernel32.DLL");
    if (!kernel) return 0;
    auto createSnapshot = Resolve<CreateSnapshotFn>(kernel, "CreateToolhelp32Snapshot");
    auto first = Resolve<ProcessWalkFn>(kernel, "Process32First");
    auto next = Resolve<ProcessWalkFn>(kernel, "Process32Next");
    if (!createSnapshot || !first || !next) return 0;
    UniqueFile snapshot(createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = first(snapshot.get(), &entry); more; more = next(snapshot.get(), &entry))
        if (!callback(entry.th32ProcessID, 0, entry.szExeFile, context)) break;
    return 1;
}

// --- The active task list --------------------------------------------------

bool IsListed(const char* longPath)
{
    char path[kPathLen];
    for (int i = 0; i < ItemCount(); ++i)
        if (GetItemPath(i, path) && lstrcmpiA(path, longPath) == 0) return true;
    return false;
}

int AddTaskProc(DWORD id, WORD, const char* programFile, void*)
{
    if (!programFile[0]) return 1;
    char normalized[MAX_PATH];
    NormalizeProgramPath(programFile, normalized);
    if (!normalized[0]) return 1;
    char longPath[MAX_PATH];
    GetLongPath(longPath, normalized);
    if (IsListed(longPath) || IsListed(normalized)) return 1;
    VersionRecord version;
    GetVersionStrings(normalized, &version);
    AddItem(version.field[kFileDescription], normalized, "", "", kCodeTask,
            static_cast<int>(id));
    return 1;
}

// --- Matching a process by its program -------------------------------------

struct FindState {
    char path[MAX_PATH];       // the caller's path, normalised
    char longPath[MAX_PATH];   // and its long form
    DWORD found;
};

int MatchProc(DWORD id, WORD, const char* programFile, void* context)
{
    FindState* state = static_cast<FindState*>(context);
    if (!programFile[0]) return 1;
    char normalized[MAX_PATH];
    char longPath[MAX_PATH];
    NormalizeProgramPath(programFile, normalized);
    GetLongPath(longPath, normalized);
    const char* slash = std::strrchr(programFile, '\\');
    const char* fileName = slash ? slash + 1 : programFile;
    if (lstrcmpiA(longPath, state->path) == 0 || lstrcmpiA(longPath, state->longPath) == 0 ||
        lstrcmpiA(fileName, state->path) == 0) {
        state->found = id;
        return 0;
    }
    return 1;
}

bool AskToEnd(const char* path, const char* title)
{
    char text[2048];
    FillLocalizedPattern(IDS_TASK_RUNNING, title[0] ? title : path, text);
    return MessageBoxExA(nullptr, text, GetAppCaption(), MB_YESNO | MB_ICONQUESTION | MB_TOPMOST,
                         static_cast<WORD>(MessageLanguageId())) == IDYES;
}

// 1 when the process was told to end; waits a while for it to be gone.
int EndProcess(DWORD id)
{
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (!process || !TerminateProcess(process.get(), kEndedExitCode)) return 0;
    WaitForSingleObject(process.get(), kEndWaitMs);
    return 1;
}

void RepaintTaskbar()
{
    HWND tray = FindWindowA("Shell_TrayWnd", "");
    if (tray) InvalidateRect(tray, nullptr, TRUE);
}

}   // namespace

int EnumRunningPrograms(RunningProgramProc callback, void* context)
{
    const DWORD platform = GetPlatformId();
    if (platform == 0) return 0;
    if (platform == VER_PLATFORM_WIN32_NT) return EnumNt(callback, context);
    return EnumToolhelp(callback, context);
}

int BuildActiveTaskList()
{
    ClearItems();
    EnumRunningPrograms(AddTaskProc, nullptr);
    return ItemCount();
}

DWORD FindProcessByPath(const char* path)
{
    FindState state = {};
    NormalizeProgramPath(path, state.path);
    if (!state.path[0]) return 0;
    GetLongPath(state.longPath, state.path);
    EnumRunningPrograms(MatchProc, &state);
    return state.found;
}

int IsProgramRunning(const char* path)
{
    return FindProcessByPath(path) != 0 ? 1 : 0;
}

DWORD EndProcessByPath(const char* path, const char* title, int ask)
{
    // Found afresh each time: a list filled earlier may name a process that
    // has ended since, or one whose identifier now belongs to another.
    DWORD id = FindProcessByPath(path);
    if (id == 0) return 0;
    if (ask && !AskToEnd(path, title)) return id;
    if (!EndProcess(id)) return 0;
    WriteHistory(title, path, "", kCodeTask, kActionTaskKill);
    RepaintTaskbar();
    return id;
}

int TerminateProcessById(DWORD id)
{
    return EndProcess(id);
}
