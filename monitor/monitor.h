// The resident monitor: start-up and exit, the main window with its timer
// and commands, the verification cycle, the approval and first-detected
// stores, the alerts and the notification-area icon. One section per source
// file; only the monitor's own code includes resources/resource.h.
#pragma once

#include "catalogue/catalogue.h"

// ---------------------------------------------------------------------------
// options.cpp: the monitor's process-wide state that the option load creates
// and the verification cycle runs by. One UI thread owns it; no locks.

// The periodic checks, in the order of the verification halves.
enum MonitorCheck {
    kCheckStartup,      // half A, "Start"
    kCheckIEHelpers,    // half A, "IEHelpers"
    kCheckHidden,       // half A, "Hidden"
    kCheckSysFiles,     // half A, "HostFile"
    kCheckStartPage,    // half A, "StartPage"
    kCheckFileType,     // half A, "FileType"
    kCheckTasks,        // half B, "Tasks"
    kCheckWinInit,      // half B, "WinInit"
    kCheckServices,     // half B, "Services"
    kCheckNuts,         // half B, "Nuts"
    kCheckCookies,      // half B, "Cookies"
    kCheckCount
};

// The checks that a process-start notification may make due at once.
enum RealtimeOption {
    kRealtimeStartup,     // "RealtimeStartup"
    kRealtimeIEHelper,    // "RealtimeIEHelper"
    kRealtimeSysFiles,    // "RealtimeSysFiles"
    kRealtimeFileType,    // "RealtimeFileType"
    kRealtimeStartPage,   // "RealtimeStartPage"
    kRealtimeHidden,      // "RealtimeHidden"
    kRealtimeCount
};

// A "WinInit" detection parks the restart-command check this far ahead.
constexpr int kWinInitParked = 99999;

struct CheckCounter {
    int countdown = 0;   // due when it falls from above 0 to below 1
    int reset = 0;       // the check's option; 0 or less switches it off
};

struct MonitorState {
    CheckCounter checks[kCheckCount];
    int realtime[kRealtimeCount] = {};   // non-zero: armed by a process start
    bool halfB = false;                  // false: the next pass runs half A
    int hideAlerts = 0;                  // alert suppression level
    int hideBarley = 0;                  // exactly 1 hides the icon
    int trayIcon = 101;                  // icon resource of the resting icon (1 to 65535)
    int sound = 1;
    int confirmExit = 0;
    int lockFileTypes = 0;
    int maxCookie = 315;                 // bounded by the item list
    DWORD lastPassStart = 0;             // tick count of the last pass start
    bool autostart = false;              // the monitor's own autostart entry exists
    // The verification cycle's own state.
    int verifyTicks = 0;                 // timer ticks towards the next pass
    int passCount = 0;                   // passes towards the next icon rebuild
    bool verifying = false;              // a pass is running
    bool alertShowing = false;           // an alert dialog or question is open
    bool interaction = false;            // an alert was shown in this trace section
    bool taskChangePending = false;      // message 9024 arrived since the last tick
    int taskChangeRun = 0;               // consecutive ticks with a pending 9024
    int lastProcessCount = 0;
};

// The one state of this process.
MonitorState& GetMonitorState();
// Reads every option the monitor uses into GetMonitorState(): interval
// options into both the reset value and the countdown of their check, the
// "WinInit" countdown only ever raised, and the next pass set to half A.
// A missing, empty, non-text or over-long option gives its default; text
// that does not start with a number reads as 0, which switches a check off.
void LoadMonitorOptions();
// The countdown rule of one periodic check: 1 when it is due in this pass
// (its countdown then starts again from the reset value), else 0. A check
// whose countdown is 0 or negative is never due.
int TakeDueCheck(MonitorCheck check);
// When the explorer has set "Update": reloads every option and writes
// "Update" = "0". 1 when it reloaded.
int ReloadUpdatedOptions();

// ---------------------------------------------------------------------------
// autostart.cpp: the monitor's own entry in the machine's Run key.
constexpr const char* kMachineRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr int IDS_PRIME_ENTRY = 622;   // the entry name older versions used

// On: writes the program folder + "\velmora.exe" under string 2 in the
// machine's Run key and approves it with "1"; off: removes that entry.
// Returns 1 when the entry was written or removed, 0 when the registry
// refused (the autostart flag then keeps its value).
int SetMonitorAutostart(int on);
// 1 when the machine's Run key has a value named by string 2 or string 622.
int IsMonitorAutostart();

// ---------------------------------------------------------------------------
// velmora.cpp: initial values, the approved snapshots and the first-detected
// stores. All under HKEY_CURRENT_USER; every value is REG_SZ.
constexpr const char* kBuildString = "12.0.2007.5";
constexpr const char* kApprovedRunKey = "Software\\Corvath\\Velmora\\Run";
constexpr const char* kApprovedIEHelpersKey = "Software\\Corvath\\Velmora\\IEHelpers";
constexpr const char* kApprovedTasksKey = "Software\\Corvath\\Velmora\\Tasks";
constexpr const char* kApprovedServicesKey = "Software\\Corvath\\Velmora\\Services";
constexpr const char* kApprovedHiddenKey = "Software\\Corvath\\Velmora\\Hidden";
constexpr const char* kApprovedCookiesKey = "Software\\Corvath\\Velmora\\Cookies";

enum ApprovalStore {
    kStoreRun,         // program path ("=" as ":"), type code
    kStoreIEHelpers,   // title, type code
    kStoreTasks,       // title, type code
    kStoreServices,    // title, type code
    kStoreHidden,      // full path, local date and time
    kStoreCookies,     // title, "1"
    kStoreCount
};
const char* ApprovalStoreKey(ApprovalStore store);
// The value name an item has in a store (out holds 1024): startup program
// paths with every "=" replaced by ":", titles and hidden files as they are.
void ApprovalValueName(ApprovalStore store, const char* name, char (&out)[1024]);
// The stored type code; 0 when the value is missing or damaged (not text,
// longer than the store's buffer, empty or not a number). Type-code stores only.
int ReadApproval(ApprovalStore store, const char* name);
// The same through one handle on the store, for a check that looks up every
// item of a list: it sees approvals written and removed meanwhile. A store
// that could not be opened reads as ReadApproval does, value by value.
struct ApprovalReader {
    ApprovalStore store = kStoreRun;
    UniqueKey key;
};
int OpenApprovalReader(ApprovalStore store, ApprovalReader* reader);
int ReadApprovalFrom(const ApprovalReader& reader, const char* name);
// 1 when the item counts as approved: a non-zero type code, or for "Hidden"
// and "Cookies" a text that is not empty. Damaged values never count.
int IsApproved(ApprovalStore store, const char* name);
// Writes the store's form of an approval: the code as "%d", today's date for
// "Hidden", "1" for "Cookies". 1 when written; a failed write is traced.
int WriteApproval(ApprovalStore store, const char* name, int typeCode);
int RemoveApproval(ApprovalStore store, const char* name);

// Each returns 1 when its stores are complete (built now or before), 0 when a
// registry write failed; the failure is traced and the next start retries
// whatever its marker still shows as missing.
int InitRegStartups();
int CleanupRunRegistry();
int InitDetectedStores();
int InitServicesStore();
int InitHiddenStore();
// Start-up preparation: first run, stores, build check, file types, options
// and the autostart flag. The monitored system files and the hand-over to
// Keldra are the caller's.
void GetInitialValues();
void CreateInitialValues();

// ---------------------------------------------------------------------------
// vlmain.cpp: the program's entry, its hidden main window, the 2-second timer
// and the command table. Other programs address the window by its class
// (string 1) and post these commands to it.
enum MonitorCommand {
    kCmdInitialize = 6025,     // posted to itself once: icon and timer
    kCmdShowStartup = 6026,
    kCmdShowAbout = 6027,
    kCmdShowCookieFilters = 6028,
    kCmdShowActiveTasks = 6029,
    kCmdExit = 6030,
    kCmdToggleAutostart = 6031,
    kCmdShowOptions = 6033,
    kCmdRestartCommands = 6034,
    kCmdShowServices = 6038,
    kCmdShowScheduledTasks = 6039,
    kCmdShowIEHelpers = 6040,
    kCmdShowFileTypes = 6042,
    kCmdShowMonitor = 6046,
    kCmdShowBlacklist = 6047,
    kCmdShowHiddenFiles = 6052,
    kCmdTrayIcon = 6053,       // second parameter non-zero removes the icon, zero adds it
    kCmdShowDelayed = 6055,
};
constexpr UINT kTimerId = 1;
constexpr UINT kTimerPeriod = 2000;
constexpr UINT kMsgTaskStarted = 9024;   // a process started: real-time checks are due

constexpr int IDS_CONFIRM_EXIT = 17;
constexpr int IDS_EXPLORER_NOT_STARTED = 795;

// mainwindow.cpp. Null before the window exists and after it is destroyed.
void SetMainWindow(HWND window);
HWND GetMainWindow();
// "VelmoraEx.exe" in the monitor's own folder, never one found along the
// search path. 0 when the folder cannot be named.
int ExplorerPath(char (&path)[MAX_PATH], char (&folder)[MAX_PATH]);
// Opens "VelmoraEx.exe" from the monitor's own folder with one switch
// ("-START", "-TASK", ...). 1 when it started; 0 after telling the user
// (string 795) that it could not.
int StartExplorer(const char* switchText);

// ---------------------------------------------------------------------------
// verify.cpp: the verification cycle and its startup check.
// A pass falls due when the tick counter was above this: every 17th tick.
constexpr int kTicksBeforePass = 15;

// What the alert being shown is about. The cycle fills it before the alert;
// the alert clears it when it ends.
struct AlertContext {
    char path[kPathLen];       // the program
    char title[kPathLen];      // the item's name
    char newPath[kPathLen];    // file type alert: the new program
    char location[kPathLen];   // file-change alert: the file's location
    int typeCode;
};
AlertContext& GetAlertContext();
void ClearAlertContext();
// Clears the context and fills type code, title and program path (each cut
// to its field).
void SetAlertContext(int typeCode, const char* title, const char* path);

// The part of every timer tick that belongs to the cycle: a pass on every
// 17th tick, and the task-change check for a pending 9024.
void VerifyTick();
// 1 when the pass ran or was refused because a pass or an alert is busy;
// 0 when it came within a second of the last pass start.
int VerifyData();
// Returns the number of running processes; a new count makes the real-time
// checks due on the next tick, in an A pass.
int CheckTaskChanges();
// A1: the startup programs.
void CheckStartupPrograms();

// ---------------------------------------------------------------------------
// checks.cpp: the checks of the other catalogues. Each is called by the pass
// when its countdown fell due (FilterMozillaCookies on every B half) inside
// its trace section, and tests its own further conditions.
void CheckIEHelpers();          // A2
void CheckHiddenFiles();        // A3
void CheckSystemFiles();        // A4
void CheckStartPages();         // A5
void CheckFileTypes();          // A6
void CheckScheduledTasks();     // B1
void CheckRestartCommands();    // B2
void CheckServices();           // B3
void FilterCookies();           // B4
void FilterMozillaCookies();    // B5
void CheckNewCookies();         // B6

// ---------------------------------------------------------------------------
// alerts.cpp: the alert dialogs and their sounds (the help page and the
// online lookup they open are the foundation's).
constexpr int kAnswerApprove = 6;
constexpr int kAnswerReject = 7;
constexpr int kAnswerDisable = 11;

enum AlertSound {
    kSoundOpen, kSoundStartup, kSoundCookie, kSoundTask, kSoundIEHelper, kSoundFileType,
    kSoundSystemFile,
};
// Plays the event's sound when option "Sound" is above 0: the user's choice
// under AppEvents, else the program's own chime. Synchronous.
void PlayAlertSound(int event);
// The file the user's sound scheme names for an event (an index above 6 is
// event 0), environment strings expanded; its length, or 0 and "" when the
// scheme names none, or a file that is not there: the chime plays then.
int AlertSoundFile(int event, char (&out)[kPathLen]);
// Shows the alert dialog (131, 192, 140, 191, 138, 171, 143 or 189) for the
// alert context, owned by the main window, with the alert-showing and
// interaction flags set. Returns 6, 7 or 11, or -1 when the dialog could not
// be created; the file-change alert (189) returns 6 accepted, 7 restored, or
// 0 when the copy failed. The context is cleared afterwards.
int ShowAlert(int dialogId);
// The cycle's Yes/No questions (exclamation, topmost, in the message
// language, the program's caption), with the alert-showing flag held.
// Returns IDYES or IDNO.
int AskAlertQuestion(const char* text);
// The startup alert's repeat guard starts over (command 6025).
void ResetStartupRepeatGuard();
// Installs the file-change alert and the restart-commands viewer of the
// monitored system files, owned by the main window.
void InstallAlertHandlers(HWND window);
// The restart-commands dialog (130), also shown by command 6034.
void ShowRestartCommandsDialog(HWND owner);

// ---------------------------------------------------------------------------
// tray.cpp: the notification-area icon, its tips and its menu.
constexpr UINT kMsgTrayCallback = 6035;
constexpr UINT kTrayIconId = 6036;
enum TrayOperation { kTrayAdd = 0, kTrayModify = 1, kTrayDelete = 2 };

// Icon resources. While a build carries none of them, the system's
// application icon stands in.
constexpr int kIconNormal = 101;
constexpr int kIconVerifyA = 157;
constexpr int kIconVerifyB = 158;
constexpr int kIconNormal9x = 159;
constexpr int kIconAlert = 161;

constexpr int IDS_TIP_PATROL = 820;
constexpr int IDS_TIP_STARTUP = 821;
constexpr int IDS_TIP_IE_HELPERS = 822;
constexpr int IDS_TIP_SCHEDULED_TASKS = 823;
constexpr int IDS_TIP_COOKIE_NUTS = 824;
constexpr int IDS_TIP_NEW_COOKIES = 826;
constexpr int IDS_TIP_FILE_TYPES = 827;
constexpr int IDS_TIP_HOSTS = 828;
constexpr int IDS_TIP_PAGES = 829;

// 1 when Shell_NotifyIconA was called (its own result is not reported: the
// shell may be away, and "TaskbarCreated" brings the icon back); 0 when the
// option "HideBarley" is 1 (a delete still goes through) or the tip does not
// fit. Adding always shows the icon the option "TrayIcon" names, whatever
// icon is given; 0 keeps the current icon when modifying.
int TrayMessage(int operation, int icon, int tipId);
int SetTrayState(int icon, int tipId);
// The icon's callback (message 6035): a double click opens the explorer, a
// right click shows the menu. Nested callbacks, which arrive while the menu
// is tracked, are ignored.
void OnTrayCallback(HWND window, WPARAM id, LPARAM mouseMessage);
// Called by command 6025, before the icon is first added.
void ResetTrayMenu();
