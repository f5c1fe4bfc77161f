// The explorer's start-up: the command-line switches, one instance per
// session, the hidden main window that owns the sheet and takes the page
// commands, the store initialization shared with the monitor, and the exit
// that writes the options back.
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <cstring>
#include <iterator>

namespace {

// Class name and caption hold at most 32 characters.
constexpr int kNameLen = 32;
constexpr int IDS_EXPLORER_CLASS = 9;
constexpr int IDS_LOADING = 833;
// Switches are looked for in at most this much of the command line; a longer
// line names no switch at all rather than one found in a cut copy.
constexpr size_t kCommandLineMax = 772;

struct Switch {
    const char* text;
    int page;
};
// In the order they are tested: a later match overrides an earlier one, so
// "-TASK -BHO" opens Active Tasks whatever the order on the line.
constexpr Switch kSwitches[] = {
    {"-START", kPageStartup},       {"-PRIME", kPageAbout},
    {"-SERVICE", kPageServices},    {"-BHO", kPageIEHelpers},
    {"-COOKIE", kPageCookiesForced}, {"-NUT", kPageCookies},
    {"-OPTION", kPageOptions},      {"-SCHEDULE", kPageScheduledTasks},
    {"-TASK", kPageActiveTasks},    {"-DELAY", kPageDelayed},
    {"-FILETYPE", kPageFileTypes},  {"-HIDDEN", kPageHiddenFiles},
    {"-MONITOR", kCmdFirstPage},    {"-BLACKLIST", kCmdFirstPageToo},
    {"-EXIT", kCmdExitRequest},     {"-RESTART", kPageOptions},
};
static_assert(std::size(kSwitches) == 16);

// The commands that open the sheet. A stored "StartTab" must be one of
// them: any other number would close the explorer, toggle the monitor's
// autostart entry or be dropped, and the explorer would show nothing.
constexpr int kSheetCommands[] = {
    kPageStartup,        kPageAbout,     kPageCookies,   kPageActiveTasks, kPageOptions,
    kPageServices,       kPageScheduledTasks, kPageIEHelpers, kPageFileTypes,
    kPageCookiesForced,  kCmdFirstPage,  kCmdFirstPageToo, kPageHiddenFiles, kPageDelayed,
};
static_assert(std::size(kSheetCommands) == 14);

// Written back at exit, so that every option the explorer knows is stored
// (with its default when it was missing) and the monitor reloads them.
constexpr const char* kSavedOptions[] = {
    "HideBarley",       "Format",           "ConfirmExit",      "Sound",
    "History",          "PrimeFormat",      "LockFileTypes",    "ShowAllStartup",
    "NoMicrosoftStartup", "Start",          "Cookies",          "Nuts",
    "Tasks",            "IEHelpers",        "FileType",         "StartPage",
    "HostFile",         "WinInit",          "Services",         "Hidden",
    "ViewCookies",      "RealtimeStartup",  "RealtimeIEHelper", "RealtimeSysFiles",
    "RealtimeFileType", "RealtimeStartPage", "RealtimeHidden",
};
static_assert(std::size(kSavedOptions) == 27);

struct ExplorerWindowState {
    HWND window = nullptr;
    char className[kNameLen] = "";
    char caption[kNameLen] = "";
    bool closed = false;
};
ExplorerWindowState g_explorer;

bool IsSheetCommand(int command)
{
    for (int c : kSheetCommands)
        if (c == command) return true;
    return false;
}

// The bounded copy the switches are looked for in; false when the line is
// longer than the bound.
bool BoundedCommandLine(const char* commandLine, char (&out)[kCommandLineMax + 1])
{
    out[0] = '\0';
    if (!commandLine) return true;
    if (std::strlen(commandLine) > kCommandLineMax) return false;
    StrCopy(out, commandLine);
    return true;
}

bool HasSwitch(const char* commandLine, const char* text)
{
    char line[kCommandLineMax + 1];
    return BoundedCommandLine(commandLine, line) && ContainsNoCase(line, text);
}

int ReadStartTab()
{
    int page = ReadOption("StartTab", kPageStartup);
    if (page < kPageStartup) page = kPageStartup;
    return IsSheetCommand(page) ? page : kCmdFirstPage;
}

// "Velmora.exe" from the explorer's own folder, never one found along the
// search path. Its absence is not the explorer's business.
void StartMonitor()
{
    char folder[MAX_PATH] = "";
    char commandLine[MAX_PATH + 16];
    if (!GetProgramFolder(folder)) return;
    if (StrFormatA(commandLine, "\"%s\\Velmora.exe\"", folder) != 0) return;
    WinExec(commandLine, SW_SHOW);
}

bool MonitorRuns()
{
    char monitorClass[kNameLen] = "";
    return LoadLocalizedString(IDS_WINDOW_CLASS, monitorClass) > 0 &&
           FindWindowA(monitorClass, nullptr) != nullptr;
}

// The explorer lives as long as its sheet: when a sheet opened here closes
// (or could not be shown), the explorer ends. A request that only brought
// an open sheet to the front returns at once and ends nothing.
void ShowSheet(HWND window, int command)
{
    if (GetActivePage() != 0) {
        OpenSheet(command);
        return;
    }
    const bool viewCookies = command == kPageCookiesForced;
    const int previous = ReadOptionOrDefault("ViewCookies");
    // Cookie viewing forced on for the life of this sheet only.
    if (viewCookies) WriteOption("ViewCookies", 1);
    OpenSheet(viewCookies ? kPageCookies : command);
    if (viewCookies) WriteOption("ViewCookies", previous);
    PostMessageA(window, WM_CLOSE, 0, 0);
}

// The sheet is a modal loop further down this thread's stack: it is asked
// to close, and the explorer ends when that loop returns.
void CloseExplorerWindow(HWND window)
{
    // A page that closes marks the sheet closed before the sheet is gone.
    HWND sheet = GetSheetWindow();
    if (sheet && IsWindow(sheet)) {
        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        return;
    }
    DestroyWindow(window);
}

void OnExitRequest(HWND window)
{
    if (ReadOptionOrDefault("ConfirmExit") == 0) {
        CloseExplorerWindow(window);
        return;
    }
    if (!MonitorRuns()) {
        StartMonitor();
        return;
    }
    ShowSheet(window, kPageStartup);
}

void OnCommand(HWND window, int command)
{
    switch (command) {
    case kCmdExitRequest:
        OnExitRequest(window);
        return;
    case kCmdCloseExplorer:
        CloseExplorerWindow(window);
        return;
    case kCmdToggleMonitorAutostart:
        SetMonitorAutostart(IsMonitorAutostart() ? 0 : 1);
        GetMonitorState().autostart = IsMonitorAutostart() != 0;
        return;
    case kCmdShowRestartCommands:
        ShowRestartCommandsDialog(window);
        return;
    default:
        if (IsSheetCommand(command)) ShowSheet(window, command);
        return;
    }
}

void CloseExplorer()
{
    if (g_explorer.closed) return;
    g_explorer.closed = true;
    TraceLog("WM_DESTROY", "explorer");
    if (ItemCount() > 0) ClearItems();
    FreeNuts();
    WriteBackOptions();
    DeleteSharedGdi();
    PostQuitMessage(0);
}

LRESULT CALLBACK ExplorerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return 0;
    case WM_CLOSE:
        CloseExplorerWindow(window);
        return 0;
    case WM_DESTROY:
        CloseExplorer();
        return 0;
    case WM_NCDESTROY:
        g_explorer.window = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateExplorerWindow(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = ExplorerWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_NORMAL));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = g_explorer.className;
    if (!RegisterClassA(&windowClass)) return nullptr;
    // Never seen (no size, above the screen), it gives the explorer its
    // taskbar button and owns the sheet.
    return CreateWindowExA(WS_EX_APPWINDOW, g_explorer.className, g_explorer.caption,
                           WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0, -200, 0, 0, nullptr, nullptr,
                           instance, nullptr);
}

}  // namespace

HWND GetExplorerWindow()
{
    return g_explorer.window;
}

int StartPageOfCommandLine(const char* commandLine, int startTab)
{
    char line[kCommandLineMax + 1];
    if (!BoundedCommandLine(commandLine, line) || !line[0]) return startTab;
    if (ContainsNoCase(line, "-Restore")) return 0;
    int page = startTab;
    for (const Switch& s : kSwitches)
        if (ContainsNoCase(line, s.text)) page = s.page;
    return page;
}

void RestoreAllDelayed()
{
    // Each entry goes back to its location before its record leaves the
    // store, so one that cannot be put back stays delayed instead of lost.
    // The store an entry was listed from, not its type code, names the
    // root its record is in.
    const int count = GetDelayedPrograms();
    for (int i = 0; i < count; ++i) {
        char title[kTitleLen];
        GetItemTitle(i, title);
        if (!UndelayEntry(i, 1)) TraceLog("RestoreAllDelayed - not restored", title);
    }
    ClearItems();
}

void WriteBackOptions()
{
    for (const char* name : kSavedOptions) WriteOption(name, ReadOptionOrDefault(name));
}

void InitExplorerValues()
{
    // The monitor's own preparation: first run, stores, monitored system
    // files, build check, file types, options, autostart flag and the
    // delayed-start count.
    GetInitialValues();
}

int RunExplorer(HINSTANCE instance, const char* commandLine)
{
    SetProgramKind(kExplorer);
    if (!LoadLocalizedString(IDS_EXPLORER_CLASS, g_explorer.className) ||
        !LoadLocalizedString(IDS_LOADING, g_explorer.caption))
        return 0;
    const char* line = commandLine ? commandLine : "";
    int page = ReadStartTab();
    if (line[0]) {
        page = StartPageOfCommandLine(line, page);
        if (page == 0) {
            RestoreAllDelayed();
            return 0;
        }
        if (HasSwitch(line, "-START") && !MonitorRuns()) StartMonitor();
    }
    const bool quit = HasSwitch(line, "-Q");
    if (HWND running = FindWindowA(g_explorer.className, nullptr)) {
        PostMessageA(running, WM_COMMAND, quit ? kCmdCloseExplorer : page, 0);
        return 0;
    }
    if (quit) return 0;

    g_explorer.window = CreateExplorerWindow(instance);
    if (!g_explorer.window) return 0;
    CreateSharedGdi();
    ComApartment com;
    InitCommonControls();

    InitTrace(kTraceOff);
    char version[1024];
    GetSystemVersionText(version);
    TraceLog("-------------------------------------Begin VelmoraEx", version);
    InitExplorerValues();

    PostMessageA(g_explorer.window, WM_COMMAND, page, 0);
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
