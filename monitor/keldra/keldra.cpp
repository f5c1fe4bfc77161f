// Keldra.dll: one watcher thread that turns process starts and autostart
// changes into messages to the monitor's main window.
//
// Wine has no process-start event (its WMI notifications fail), so new
// processes are seen two ways: a WinEvent hook on window creation reports
// windowed programs within tens of milliseconds, and a slow EnumProcesses
// poll finds the programs that never make a window. Both feed one set of
// known process ids, so each new process is reported once.
//
// Registry and folder notifications are one-shot: each is armed again as
// soon as it fires, before the monitor is told, so that a change made while
// the monitor reads is not lost.
#include "monitor/keldra/keldra.h"

#define PSAPI_VERSION 1   // psapi.dll's EnumProcesses, present before Windows 7
#include <psapi.h>

#include <algorithm>
#include <iterator>

#include "foundation/unique.h"

namespace {

// The predefined roots are not constant expressions, so the tables say
// which one.
struct WatchedKey {
    bool machine;
    const char* path;
};
// Subtrees, so that every Run-type key below CurrentVersion and the Winlogon
// and Windows values below the NT key are covered by a few watches. On NT
// win.ini's "load" and "run" lists live in the user's NT "Windows" key.
constexpr WatchedKey kWatchedKeys[] = {
    {true, "Software\\Microsoft\\Windows\\CurrentVersion"},
    {false, "Software\\Microsoft\\Windows\\CurrentVersion"},
    {true, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"},
    {false, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows"},
};
static_assert(std::size(kWatchedKeys) == 4);

struct WatchedFolder {
    bool machine;
    const char* value;
};
constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr WatchedFolder kWatchedFolders[] = {
    {false, "Startup"},
    {true, "Common Startup"},
};
static_assert(std::size(kWatchedFolders) == 2);

constexpr DWORD kRegFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
// EnumProcesses costs about 0.7 ms of CPU under Wine. With the rest of an
// idle monitor, one call in 3 s came to 0.053% of a core over five minutes,
// just above the 0.05% the monitor may take; programs with a window are
// reported by the event hook at once, so only windowless ones wait longer.
constexpr DWORD kPollMs = 4000;
constexpr DWORD kSettleMs = 500;        // one autostart message per burst of writes
constexpr DWORD kMaxProcesses = 4096;   // far above any desktop's process count
constexpr SIZE_T kWatcherStack = 256 * 1024;

// The stop event, each key's event and each folder's handle.
constexpr DWORD kMaxHandles =
    static_cast<DWORD>(1 + std::size(kWatchedKeys) + std::size(kWatchedFolders));
static_assert(kMaxHandles <= MAXIMUM_WAIT_OBJECTS);

struct KeyWatch {
    UniqueKey key;
    UniqueHandle event;
};

// Everything the watcher thread owns; it lives on that thread's stack.
struct Watcher {
    HWND window = nullptr;
    HANDLE stop = nullptr;
    KeyWatch keys[std::size(kWatchedKeys)];
    UniqueChangeNotification folders[std::size(kWatchedFolders)];
    DWORD known[kMaxProcesses] = {};   // sorted
    DWORD knownCount = 0;
    bool changePending = false;
    DWORD changeDue = 0;
};

// Attach and detach are serialised; the thread itself never takes the lock.
SRWLOCK g_lock = SRWLOCK_INIT;
HANDLE g_thread = nullptr;
HANDLE g_stop = nullptr;
// The WinEvent callback has no context parameter; it runs on the watcher
// thread, of which there is at most one.
Watcher* g_watcher = nullptr;

struct StartArgs {
    HWND window;
    HANDLE stop;
    HANDLE ready;
    HMODULE self;
};

HKEY RootOf(bool machine)
{
    return machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

bool IsKnown(const Watcher& w, DWORD pid)
{
    return std::binary_search(w.known, w.known + w.knownCount, pid);
}

// Records pid as known; false when it was known already or the set is full
// (a full set leaves the process to the next poll).
bool AddKnown(Watcher& w, DWORD pid)
{
    DWORD* end = w.known + w.knownCount;
    DWORD* at = std::lower_bound(w.known, end, pid);
    if ((at != end && *at == pid) || w.knownCount == kMaxProcesses) return false;
    std::copy_backward(at, end, end + 1);
    *at = pid;
    ++w.knownCount;
    return true;
}

void ReportProcess(Watcher& w, DWORD pid)
{
    if (pid != 0 && AddKnown(w, pid)) PostMessageA(w.window, kKeldraProcessStarted, pid, 0);
}

void CALLBACK OnWindowCreated(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG idObject,
                              LONG idChild, DWORD, DWORD)
{
    if (!g_watcher || event != EVENT_OBJECT_CREATE || idObject != OBJID_WINDOW ||
        idChild != CHILDID_SELF || !hwnd)
        return;
    // Child controls and message-only windows say nothing about a new program.
    if (GetAncestor(hwnd, GA_PARENT) != GetDesktopWindow()) return;
    DWORD pid = 0;
    if (GetWindowThreadProcessId(hwnd, &pid) == 0) return;
    ReportProcess(*g_watcher, pid);
}

// Replaces the known set by the running processes; with report set, posts
// each one that was not known. A failed enumeration keeps the old set.
void PollProcesses(Watcher& w, bool report)
{
    DWORD now[kMaxProcesses];   // well inside kWatcherStack
    DWORD bytes = 0;
    if (!EnumProcesses(now, sizeof now, &bytes)) return;
    const DWORD count = bytes / sizeof(DWORD);
    std::sort(now, now + count);
    if (report) {
        for (DWORD i = 0; i < count; ++i)
            if (now[i] != 0 && !IsKnown(w, now[i]))
                PostMessageA(w.window, kKeldraProcessStarted, now[i], 0);
    }
    std::copy(now, now + count, w.known);
    w.knownCount = count;
}

// False, leaving the key unwatched, when it is missing or cannot be watched.
bool ArmKey(KeyWatch& k, const WatchedKey& where)
{
    if (RegOpenKeyExA(RootOf(where.machine), where.path, 0, KEY_NOTIFY, k.key.put()) !=
        ERROR_SUCCESS)
        return false;
    k.event = UniqueHandle(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!k.event || RegNotifyChangeKeyValue(k.key.get(), TRUE, kRegFilter, k.event.get(), TRUE) !=
                        ERROR_SUCCESS) {
        k.key = UniqueKey();
        k.event = UniqueHandle();
        return false;
    }
    return true;
}

// The folder's path from "Shell Folders"; false when it is absent, not
// text or too long for a path.
bool ReadFolderPath(const WatchedFolder& where, char (&path)[MAX_PATH])
{
    UniqueKey key;
    if (RegOpenKeyExA(RootOf(where.machine), kShellFolders, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return false;
    char raw[MAX_PATH] = "";
    DWORD type = 0;
    DWORD size = sizeof raw - 1;
    if (RegQueryValueExA(key.get(), where.value, nullptr, &type, reinterpret_cast<BYTE*>(raw),
                         &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    raw[size] = '\0';
    if (type == REG_SZ) {
        lstrcpynA(path, raw, MAX_PATH);
        return raw[0] != '\0';
    }
    const DWORD n = ExpandEnvironmentStringsA(raw, path, MAX_PATH);
    return n > 1 && n <= MAX_PATH;
}

bool ArmFolder(UniqueChangeNotification& folder, const WatchedFolder& where)
{
    char path[MAX_PATH] = "";
    if (!ReadFolderPath(where, path)) return false;
    folder = UniqueChangeNotification(
        FindFirstChangeNotificationA(path, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
    return static_cast<bool>(folder);
}

// Arms every key and folder not watched yet; true when one of them could
// be armed, since its appearance is a change. A fresh Wine prefix, for one,
// has no user NT "Windows" key until the first win.ini write creates it.
// A watched key that is deleted and created again is not seen again under
// Wine: its notification never fires, so nothing tells this thread.
bool ArmMissing(Watcher& w)
{
    bool changed = false;
    for (size_t i = 0; i < std::size(kWatchedKeys); ++i)
        if (!w.keys[i].event) changed |= ArmKey(w.keys[i], kWatchedKeys[i]);
    for (size_t i = 0; i < std::size(kWatchedFolders); ++i)
        if (!w.folders[i]) changed |= ArmFolder(w.folders[i], kWatchedFolders[i]);
    return changed;
}

void NoteChange(Watcher& w)
{
    if (w.changePending) return;
    w.changePending = true;
    w.changeDue = GetTickCount() + kSettleMs;
}

// Handles a signalled key or folder: arms it again (or drops it when that
// fails, since it would never signal again) and notes the change.
void OnSignalled(Watcher& w, HANDLE h)
{
    for (size_t i = 0; i < std::size(w.keys); ++i) {
        KeyWatch& k = w.keys[i];
        if (k.event.get() != h) continue;
        if (RegNotifyChangeKeyValue(k.key.get(), TRUE, kRegFilter, k.event.get(), TRUE) !=
            ERROR_SUCCESS) {
            k.key = UniqueKey();
            k.event = UniqueHandle();
        }
        NoteChange(w);
        return;
    }
    for (UniqueChangeNotification& folder : w.folders) {
        if (folder.get() != h) continue;
        if (!FindNextChangeNotification(folder.get())) folder = UniqueChangeNotification();
        NoteChange(w);
        return;
    }
}

// Milliseconds from now to due, 0 when it has passed (tick counts wrap, so
// the difference is read as signed).
DWORD Until(DWORD due, DWORD now)
{
    const LONG left = static_cast<LONG>(due - now);
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

void Run(Watcher& w)
{
    DWORD nextPoll = GetTickCount() + kPollMs;
    for (;;) {
        HANDLE handles[kMaxHandles];
        DWORD count = 0;
        handles[count++] = w.stop;
        for (const KeyWatch& k : w.keys)
            if (k.event) handles[count++] = k.event.get();
        for (const UniqueChangeNotification& folder : w.folders)
            if (folder) handles[count++] = folder.get();

        const DWORD now = GetTickCount();
        DWORD timeout = Until(nextPoll, now);
        if (w.changePending) timeout = std::min(timeout, Until(w.changeDue, now));

        const DWORD r = MsgWaitForMultipleObjects(count, handles, FALSE, timeout, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) return;
        if (r == WAIT_OBJECT_0 + count) {
            // Out-of-context WinEvents are delivered while this thread
            // retrieves its messages.
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        } else if (r > WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + count) {
            OnSignalled(w, handles[r - WAIT_OBJECT_0]);
        }

        const DWORD after = GetTickCount();
        if (w.changePending && Until(w.changeDue, after) == 0) {
            w.changePending = false;
            PostMessageA(w.window, kKeldraAutostartChanged, 0, 0);
        }
        if (Until(nextPoll, after) == 0) {
            PollProcesses(w, true);
            if (ArmMissing(w)) NoteChange(w);
            nextPoll = after + kPollMs;
        }
    }
}

DWORD WINAPI WatcherThread(void* param)
{
    const StartArgs args = *static_cast<StartArgs*>(param);
    {
        Watcher w;
        w.window = args.window;
        w.stop = args.stop;
        // A message queue must exist before the hook can deliver to it.
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        ArmMissing(w);
        PollProcesses(w, false);
        g_watcher = &w;
        const HWINEVENTHOOK hook =
            SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, OnWindowCreated, 0,
                            0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
        SetEvent(args.ready);   // the caller closes it once it is set
        Run(w);
        if (hook) UnhookWinEvent(hook);
        g_watcher = nullptr;
    }
    // The thread holds its own reference to the DLL, so a host that frees
    // the library without detaching does not pull the code from under it.
    FreeLibraryAndExitThread(args.self, 0);
    return 0;
}

}  // namespace

extern "C" int WINAPI KeldraAttach(HWND mainWindow)
{
    if (!mainWindow || !IsWindow(mainWindow)) return 0;
    AcquireSRWLockExclusive(&g_lock);
    int result = 1;
    if (g_thread && WaitForSingleObject(g_thread, 0) == WAIT_TIMEOUT) {
        ReleaseSRWLockExclusive(&g_lock);
        return result;
    }
    // A watcher that ended by itself is reaped before a new one starts.
    if (g_thread) CloseHandle(g_thread);
    if (g_stop) CloseHandle(g_stop);
    g_thread = g_stop = nullptr;

    UniqueHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle ready(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HMODULE self = nullptr;
    if (!stop || !ready ||
        !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<const char*>(&KeldraAttach), &self)) {
        ReleaseSRWLockExclusive(&g_lock);
        return 0;
    }
    StartArgs args = {mainWindow, stop.get(), ready.get(), self};
    // The watcher needs little stack; the program's default reservation
    // would be a few megabytes that Wine commits up front.
    UniqueHandle thread(CreateThread(nullptr, kWatcherStack, WatcherThread, &args,
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread) {
        FreeLibrary(self);
        result = 0;
    } else {
        // Wait until the watches are armed (or the thread gave up).
        const HANDLE started[] = {ready.get(), thread.get()};
        WaitForMultipleObjects(2, started, FALSE, INFINITE);
        g_thread = thread.release();
        g_stop = stop.release();
    }
    ReleaseSRWLockExclusive(&g_lock);
    return result;
}

extern "C" int WINAPI KeldraDetach(void)
{
    AcquireSRWLockExclusive(&g_lock);
    int result = 0;
    if (g_thread) {
        result = WaitForSingleObject(g_thread, 0) == WAIT_TIMEOUT ? 1 : 0;
        SetEvent(g_stop);
        WaitForSingleObject(g_thread, INFINITE);
        CloseHandle(g_thread);
        CloseHandle(g_stop);
        g_thread = g_stop = nullptr;
    }
    ReleaseSRWLockExclusive(&g_lock);
    return result;
}
