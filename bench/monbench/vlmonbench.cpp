// Measures the resident monitor as the user runs it, from outside its
// process: its idle cost over five minutes beside a bare program with the
// same timer, its object counts over 100 passes with every check due, and
// the time from a Run-key write to the startup alert.
//
// It runs the built Velmora.exe of this build tree (Keldra.dll beside it)
// and keeps the user's "Software\Corvath" tree as it was.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kCorvath = "Software\\Corvath";
constexpr const char* kCorvathSaved = "Software\\CorvathVlMonBench";
constexpr const char* kOptions = "Software\\Corvath\\Velmora\\Options";
constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kAlertTitle = "Velmora New Program Alert";
constexpr int kIdleSeconds = 300;
constexpr int kPasses = 100;
constexpr int kRealtimeWrites = 10;

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
};

std::string Folder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

Process Start(const std::string& program)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::string command = "\"" + program + "\"";
    Process p;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return p;
    CloseHandle(info.hThread);
    p.handle = info.hProcess;
    p.id = info.dwProcessId;
    return p;
}

void End(Process& p)
{
    if (!p.handle) return;
    TerminateProcess(p.handle, 0);
    WaitForSingleObject(p.handle, 5000);
    CloseHandle(p.handle);
    p = Process{};
}

HWND WaitForWindow(const char* windowClass, const char* title, int ms)
{
    for (int waited = 0; waited < ms; waited += 20) {
        if (HWND w = FindWindowA(windowClass, title)) return w;
        Sleep(20);
    }
    return nullptr;
}

void DeleteTree(const char* key)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, key);
    RegDeleteKeyA(HKEY_CURRENT_USER, key);
}

bool CopyTree(const char* from, const char* to)
{
    HKEY source = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, from, 0, KEY_READ, &source) != ERROR_SUCCESS) return false;
    RegCloseKey(source);
    HKEY target = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, to, &target) != ERROR_SUCCESS) return false;
    const bool copied = RegCopyTreeA(HKEY_CURRENT_USER, from, target) == ERROR_SUCCESS;
    RegCloseKey(target);
    return copied;
}

// The monitor's first run writes its own entry in the machine's Run key.
constexpr const char* kMachineRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
char g_machineEntry[1024] = "";
bool g_hadMachineEntry = false;
void SaveMachineEntry()
{
    DWORD size = sizeof(g_machineEntry) - 1;
    g_hadMachineEntry = RegGetValueA(HKEY_LOCAL_MACHINE, kMachineRun, "Velmora", RRF_RT_REG_SZ,
                                     nullptr, g_machineEntry, &size) == ERROR_SUCCESS;
}
void RestoreMachineEntry()
{
    if (g_hadMachineEntry)
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, kMachineRun, "Velmora", REG_SZ, g_machineEntry,
                        static_cast<DWORD>(strlen(g_machineEntry) + 1));
    else
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kMachineRun, "Velmora");
}

// The user's tree is put aside at the start and back at the end, also after
// a run that was killed (the copy then still stands).
bool g_saved = false;
void SaveUserTree()
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kCorvathSaved, 0, KEY_READ, &h) == ERROR_SUCCESS) {
        RegCloseKey(h);
        g_saved = true;   // left by a killed run: the older copy is the user's
        return;
    }
    g_saved = CopyTree(kCorvath, kCorvathSaved);
}
void RestoreUserTree()
{
    if (!g_saved) return;
    DeleteTree(kCorvath);
    CopyTree(kCorvathSaved, kCorvath);
    DeleteTree(kCorvathSaved);
    g_saved = false;
}

void SetOption(const char* name, const char* value)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, kOptions, name, REG_SZ, value,
                    static_cast<DWORD>(strlen(value) + 1));
}

struct Sample {
    double cpuMs = 0;        // user + kernel of the process
    double mainMs = 0;       // of the thread that owns the window
    SIZE_T pagefile = 0;
    DWORD handles = 0;
    DWORD gdi = 0;
    DWORD user = 0;
};

double FileTimeMs(const FILETIME& t)
{
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 10000.0;
}

double ThreadMs(DWORD threadId)
{
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId);
    if (!thread) return 0;
    FILETIME created, exited, kernel, user;
    double ms = 0;
    if (GetThreadTimes(thread, &created, &exited, &kernel, &user))
        ms = FileTimeMs(kernel) + FileTimeMs(user);
    CloseHandle(thread);
    return ms;
}

Sample Measure(const Process& p, DWORD mainThread)
{
    Sample s;
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(p.handle, &created, &exited, &kernel, &user))
        s.cpuMs = FileTimeMs(kernel) + FileTimeMs(user);
    if (mainThread) s.mainMs = ThreadMs(mainThread);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(p.handle, &memory, sizeof(memory))) s.pagefile = memory.PagefileUsage;
    GetProcessHandleCount(p.handle, &s.handles);
    s.gdi = GetGuiResources(p.handle, GR_GDIOBJECTS);
    s.user = GetGuiResources(p.handle, GR_USEROBJECTS);
    return s;
}

// Answers any alert of the monitor as Escape would (approve), so that an
// item the first run did not know never holds a measurement up.
int AnswerAlerts(DWORD processId)
{
    int answered = 0;
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner != processId || !IsWindowVisible(w)) continue;
        PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
        ++answered;
    }
    return answered;
}

struct Monitor {
    Process process;
    HWND window = nullptr;
    DWORD mainThread = 0;
};

bool StartMonitor(Monitor& m)
{
    m.process = Start(Folder() + "\\..\\monitor\\Velmora.exe");
    if (!m.process.handle) return false;
    m.window = WaitForWindow("Velmora", nullptr, 20000);
    if (m.window) m.mainThread = GetWindowThreadProcessId(m.window, nullptr);
    return m.window != nullptr;
}

void EndMonitor(Monitor& m)
{
    End(m.process);
    m = Monitor{};
}

double Mib(SIZE_T bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void Idle(Monitor& m)
{
    std::printf("Idle: the monitor and a bare program (hidden window, 2-second timer),\n"
                "%d s after the first two passes.\n", kIdleSeconds);
    Process bare = Start(Folder() + "\\vlbare.exe");
    int alerts = 0;
    for (int s = 0; s < 75; ++s) {
        alerts += AnswerAlerts(m.process.id);
        Sleep(1000);
    }
    const Sample m0 = Measure(m.process, m.mainThread);
    const Sample b0 = Measure(bare, 0);
    const DWORD t0 = GetTickCount();
    for (int s = 0; s < kIdleSeconds; ++s) {
        alerts += AnswerAlerts(m.process.id);
        Sleep(1000);
    }
    const double wall = static_cast<double>(GetTickCount() - t0);
    const Sample m1 = Measure(m.process, m.mainThread);
    const Sample b1 = Measure(bare, 0);
    const double cpu = 100.0 * (m1.cpuMs - m0.cpuMs) / wall;
    const double main = 100.0 * (m1.mainMs - m0.mainMs) / wall;
    const double bareCpu = 100.0 * (b1.cpuMs - b0.cpuMs) / wall;
    std::printf("| program | CPU (%% of one core) | PagefileUsage (MiB) |\n|---|---|---|\n");
    std::printf("| Velmora.exe | %.4f | %.2f |\n", cpu, Mib(m1.pagefile));
    std::printf("| - its window thread (the cycle) | %.4f | |\n", main);
    std::printf("| - Keldra's watcher and the rest | %.4f | |\n", cpu - main);
    std::printf("| bare program | %.4f | %.2f |\n", bareCpu, Mib(b1.pagefile));
    std::printf("Difference in memory: %.2f MiB. Alerts answered meanwhile: %d.\n\n",
                Mib(m1.pagefile) - Mib(b1.pagefile), alerts);
    End(bare);
}

double NowMs()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void RealTime(Monitor& m)
{
    std::printf("Real time: a Run-key write to the startup alert, monitor on its own timer.\n");
    std::vector<double> times;
    int missed = 0;
    for (int i = 0; i < kRealtimeWrites; ++i) {
        char name[32];
        char program[64];
        std::snprintf(name, sizeof(name), "VlRealtime%d", i);
        std::snprintf(program, sizeof(program), "C:\\vlrealtime\\probe%d.exe", i);
        Sleep(1500);   // past the one-second rule of the last pass
        const double t0 = NowMs();
        RegSetKeyValueA(HKEY_CURRENT_USER, kUserRun, name, REG_SZ, program,
                        static_cast<DWORD>(strlen(program) + 1));
        HWND alert = WaitForWindow("#32770", kAlertTitle, 30000);
        if (!alert) {
            ++missed;
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserRun, name);
            continue;
        }
        times.push_back((NowMs() - t0) / 1000.0);
        // "No": the monitor removes the entry itself.
        PostMessageA(alert, WM_COMMAND, IDNO, 0);
        for (int w = 0; w < 100 && IsWindow(alert); ++w) Sleep(50);
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kUserRun, name);
    }
    std::sort(times.begin(), times.end());
    if (times.empty()) {
        std::printf("No alert appeared within 30 s.\n\n");
        return;
    }
    std::printf("| writes | alerts | median (s) | worst (s) | best (s) |\n|---|---|---|---|---|\n");
    std::printf("| %d | %zu | %.2f | %.2f | %.2f |\n\n", kRealtimeWrites, times.size(),
                times[times.size() / 2], times.back(), times.front());
    (void)missed;
}

struct Answerer {
    DWORD id;
    HANDLE stop;
};

DWORD WINAPI AnswerUntilStopped(void* context)
{
    auto* a = static_cast<Answerer*>(context);
    while (WaitForSingleObject(a->stop, 200) == WAIT_TIMEOUT) AnswerAlerts(a->id);
    return 0;
}

// One pass as the timer would start it: 17 ticks, sent so that the last
// returns when the pass is over.
void Pass(const Monitor& m)
{
    for (int tick = 0; tick < 17; ++tick) {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(m.window, WM_TIMER, 1, 0, SMTO_NORMAL, 120000, &result);
    }
}

void Stability(Monitor& m)
{
    std::printf("Stability: %d passes, both halves, every check due on every pass of its half.\n",
                kPasses);
    std::printf("| after pass | handles | GDI objects | USER objects | PagefileUsage (MiB) | pass (ms) |\n"
                "|---|---|---|---|---|---|\n");
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Answerer answerer = {m.process.id, stop};
    HANDLE thread = CreateThread(nullptr, 0, AnswerUntilStopped, &answerer, 0, nullptr);
    for (int pass = 1; pass <= kPasses; ++pass) {
        const double t0 = NowMs();
        Pass(m);
        const double ms = NowMs() - t0;
        if (pass == 1 || pass == 2 || pass % 25 == 0) {
            const Sample s = Measure(m.process, m.mainThread);
            std::printf("| %d | %lu | %lu | %lu | %.2f | %.0f |\n", pass, s.handles, s.gdi, s.user,
                        Mib(s.pagefile), ms);
        }
        Sleep(1050);   // the one-second rule
    }
    SetEvent(stop);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    CloseHandle(stop);
    std::printf("\n");
}

constexpr const char* kEveryCheck[] = {"Start",    "IEHelpers", "Hidden",   "HostFile",
                                       "StartPage", "FileType", "Tasks",    "WinInit",
                                       "Services",  "Nuts",     "Cookies"};

BOOL WINAPI OnBreak(DWORD)
{
    RestoreUserTree();
    RestoreMachineEntry();
    return FALSE;
}

}  // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    SetConsoleCtrlHandler(OnBreak, TRUE);
    if (FindWindowA("Velmora", nullptr)) {
        std::printf("A monitor is running already; end it first.\n");
        return 1;
    }
    SaveUserTree();
    SaveMachineEntry();
    DeleteTree(kCorvath);

    Monitor m;
    if (!StartMonitor(m)) {
        std::printf("Velmora.exe did not start.\n");
        RestoreUserTree();
        return 1;
    }
    Idle(m);
    RealTime(m);
    EndMonitor(m);

    for (const char* name : kEveryCheck) SetOption(name, "1");
    if (StartMonitor(m)) Stability(m);
    EndMonitor(m);

    RestoreUserTree();
    RestoreMachineEntry();
    return 0;
}
