// The resident monitor's entry and its hidden main window: one instance per
// session, the command-line switches, the 2-second timer, the command table
// and the orderly exit.
#include "monitor/monitor.h"
#include "monitor/keldra/keldra.h"

#include <commctrl.h>
#include <shellapi.h>

#include <iterator>

namespace {

// Class name and caption hold at most 32 characters.
constexpr int kNameLen = 33;

struct ExplorerCommand {
    int command;
    const char* switchText;
};
constexpr ExplorerCommand kExplorerCommands[] = {
    {kCmdShowStartup, "-START"},        {kCmdShowAbout, "-PRIME"},
    {kCmdShowCookieFilters, "-NUTS"},   {kCmdShowActiveTasks, "-TASK"},
    {kCmdShowOptions, "-OPTIONS"},      {kCmdShowServices, "-SERVICE"},
    {kCmdShowScheduledTasks, "-SCHEDULE"}, {kCmdShowIEHelpers, "-BHO"},
    {kCmdShowFileTypes, "-FILETYPES"},  {kCmdShowMonitor, "-MONITOR"},
    {kCmdShowBlacklist, "-BLACKLIST"},  {kCmdShowHiddenFiles, "-HIDDEN"},
    {kCmdShowDelayed, "-DELAY"},
};
static_assert(std::size(kExplorerCommands) == 13);

struct MainWindowState {
    HWND window = nullptr;
    char className[kNameLen] = "";
    char caption[kNameLen] = "";
    UINT taskbarCreated = 0;
    UINT_PTR timer = 0;
    // The exit question pumps messages: a second exit request meanwhile is
    // dropped rather than asked again on top of the first.
    bool askingExit = false;
};
MainWindowState g_monitor;

// Everything between the window and the first command.
void InitializeMonitor(HWND window)
{
    // First-run keys, stores, build check, options and the delayed-start
    // count.
    GetInitialValues();
    GetMonitorState().taskChangePending = false;
    InstallAlertHandlers(window);
    // The companion's result does not matter: without it every check still
    // runs on its schedule.
    KeldraAttach(window);
}

void OnInitializeCommand(HWND window)
{
    TraceLog("Program Init1", "Add Tray Icon");
    g_monitor.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ResetTrayMenu();
    TrayMessage(kTrayAdd, kIconNormal, IDS_TIP_PATROL);
    ClearItems();
    FreeNuts();
    ResetStartupRepeatGuard();
    TraceLog("Application Start", "VerifyData");
    TraceLog("Application Start", "SetTimer");
    GetMonitorState().verifyTicks = 0;
    g_monitor.timer = SetTimer(window, kTimerId, kTimerPeriod, nullptr);
}

void OnTimer()
{
    DelayedLaunchTick();
    VerifyTick();
}

// An autostart key or folder changed: with "RealtimeStartup" set, the next
// tick runs a half-A pass whose startup check is due, so a program that adds
// itself to a Run key is asked about within one tick.
void OnAutostartChanged()
{
    MonitorState& state = GetMonitorState();
    if (state.realtime[kRealtimeStartup] == 0) return;
    state.checks[kCheckStartup].countdown = 1;
    state.halfB = false;
    state.verifyTicks = kTicksBeforePass + 1;
}

void OnCommand(HWND window, int command, LPARAM lParam)
{
    for (const ExplorerCommand& entry : kExplorerCommands) {
        if (entry.command != command) continue;
        StartExplorer(entry.switchText);
        return;
    }
    switch (command) {
    case kCmdInitialize:
        OnInitializeCommand(window);
        break;
    case kCmdExit:
        // Exit goes the way of WM_CLOSE, so that it asks before the window goes.
        PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    case kCmdTrayIcon:
        TrayMessage(lParam != 0 ? kTrayDelete : kTrayAdd, kIconNormal, IDS_TIP_PATROL);
        break;
    case kCmdToggleAutostart:
        SetMonitorAutostart(GetMonitorState().autostart ? 0 : 1);
        break;
    case kCmdRestartCommands:
        ShowRestartCommandsDialog(window);
        break;
    default:
        break;
    }
}

// true when the monitor may exit. "No" leaves it running and opens the
// explorer in its place.
bool ConfirmExit()
{
    if (g_monitor.askingExit) return false;
    if (ReadOptionOrDefault("ConfirmExit") == 0) return true;
    char text[512];
    LoadLocalizedString(IDS_CONFIRM_EXIT, text);
    g_monitor.askingExit = true;
    const int answer = MessageBoxExA(nullptr, text, GetAppCaption(),
                                     MB_YESNO | MB_ICONQUESTION | MB_TOPMOST,
                                     static_cast<WORD>(MessageLanguageId()));
    g_monitor.askingExit = false;
    if (answer != IDNO) return true;
    char path[MAX_PATH];
    char folder[MAX_PATH];
    char commandLine[MAX_PATH + 16];
    if (ExplorerPath(path, folder) && StrFormatA(commandLine, "\"%s\" -RESTART", path) == 0)
        WinExec(commandLine, SW_SHOWNORMAL);
    return false;
}

void ExitMonitor(HWND window)
{
    TraceLog("WM_DESTROY", "vlmain");
    KeldraDetach();
    TrayMessage(kTrayDelete, 0, IDS_TIP_PATROL);
    if (g_monitor.timer) {
        KillTimer(window, kTimerId);
        g_monitor.timer = 0;
    }
    TraceLog("Application Exit", g_monitor.className);
    ClearItems();
    FreeNuts();
    PostQuitMessage(0);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam), lParam);
        break;
    case WM_TIMER:
        if (wParam == kTimerId) OnTimer();
        break;
    case kMsgTrayCallback:
        OnTrayCallback(window, wParam, lParam);
        break;
    case kMsgTaskStarted:
        GetMonitorState().taskChangePending = true;
        break;
    case kKeldraAutostartChanged:
        OnAutostartChanged();
        break;
    case WM_CLOSE:
        // The default procedure destroys the window after a "yes".
        if (!ConfirmExit()) return 0;
        break;
    case WM_DESTROY:
        ExitMonitor(window);
        break;
    case WM_NCDESTROY:
        g_monitor.window = nullptr;
        SetMainWindow(nullptr);
        break;
    default:
        // The shell restarted: its new notification area knows no icons.
        if (g_monitor.taskbarCreated != 0 && message == g_monitor.taskbarCreated)
            TrayMessage(kTrayAdd, kIconNormal, IDS_TIP_PATROL);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateMainWindow(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconNormal));
    if (!windowClass.hIcon) windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = g_monitor.className;
    if (!RegisterClassA(&windowClass)) return nullptr;
    return CreateWindowA(g_monitor.className, g_monitor.caption, WS_OVERLAPPED, 0, 0, 0, 0,
                         nullptr, nullptr, instance, nullptr);
}

// A second start talks to the monitor that runs and ends.
void ForwardToRunningMonitor(HWND running, const char* commandLine)
{
    if (ContainsNoCase(commandLine, "-Q"))
        PostMessageA(running, WM_COMMAND, kCmdExit, 0);
    else if (!ContainsNoCase(commandLine, "-NoOpen"))
        StartExplorer("-START");
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    SetProgramKind(kMonitor);
    if (!LoadLocalizedString(IDS_WINDOW_CLASS, g_monitor.className) ||
        !LoadLocalizedString(IDS_APP_CAPTION, g_monitor.caption))
        return 0;
    if (HWND running = FindWindowA(g_monitor.className, nullptr)) {
        ForwardToRunningMonitor(running, commandLine);
        return 0;
    }
    if (ContainsNoCase(commandLine, "-Q")) return 0;
    g_monitor.window = CreateMainWindow(instance);
    if (!g_monitor.window) return 0;
    SetMainWindow(g_monitor.window);
    ShowWindow(g_monitor.window, SW_HIDE);
    UpdateWindow(g_monitor.window);
    ComApartment com;
    InitCommonControls();

    InitTrace(kTraceOff);
    char version[1024];
    GetSystemVersionText(version);
    TraceLog("-------------------------------------Begin Velmora", version);
    InitializeMonitor(g_monitor.window);

    PostMessageA(g_monitor.window, WM_COMMAND, kCmdInitialize, 0);
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
