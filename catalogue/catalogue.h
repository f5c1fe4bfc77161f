// The catalogues: every place from which software starts itself or hooks
// into the shell and the browser. Each enumeration clears and fills the
// shared item list; each operation returns 1 on success, 0 on failure.
#pragma once

#include <string>
#include <unordered_map>

#include "foundation/foundation.h"

// ---------------------------------------------------------------------------
// locations.cpp: startup entry model, location table and the disabled store.
constexpr const char* kDisabledMarkerKey = "Software\\Corvath\\Velmora\\Disabled";
constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// Seven Run-type keys under each of the two roots.
constexpr int kRunKeyCount = 7;

// A Run-type location (codes 1-7 and 11-17): its root, its key and the key of
// its disabled store. 1 when the code names such a location, else 0 and the
// out-parameters untouched.
int GetRunLocation(int code, HKEY* root, const char** key, const char** disabledKey);
// The disabled-store key of codes 100, 101 and 256; null for other codes.
const char* GetDisabledStoreKey(int code);
int IsDisabledEntry(const char* title);
int GetDisabledCode(const char* title);
// Every marker of the disabled store at once, by upper-case title
// (CharUpperBuffA): a list of thousands of rows would otherwise ask the
// registry once per row. Names longer than a title and data that is no
// short number mark nothing.
void ReadDisabledMarkers(std::unordered_map<std::string, int>* markers);
int GetLocationText(int index, char* out);   // out holds 512
// The same for an entry of a type code whose title is parked under
// parkedCode (0 when not parked): for a caller that shows many entries and
// reads the parked titles once for all of them.
int LocationTextOf(int code, int parkedCode, char* out);   // out holds 512


// ---------------------------------------------------------------------------
// findrun.cpp: startup enumeration. Each pass appends to the shared item list;
// only BuildStartupList clears it. Results are the list's count afterwards,
// except where noted.
// pageMode 1: the explorer's Startup Programs page, which lists the Winlogon
// values and the hook registrations only when "ShowAllStartup" is set.
int BuildStartupList(int pageMode);
int BuildRun();
// Whether the enumeration parks again a Run-type entry that came back while
// disabled (on by default). The scan program lists what it finds and
// leaves the machine as it is, and so do the reports. Returns the setting
// it replaces, so that a caller can put it back.
int SetStartupRepair(int on);
int GetStartupGroup();       // returns the found flag of the folder walk
int GetWinPrograms();
int GetDisabledPrograms();
// The program behind the system's own logon program or shell; 1 and out
// (260) filled when the value names one, else 0 and out empty.
int GetWinLogon_Userinit(char* out);
int GetWinLogon_Shell(char* out);
int BuildRegInfo();

// ---------------------------------------------------------------------------
// startgroup.cpp: Startup folder files and shortcut resolution.
// Walk modes of the shared file handler.
enum WalkMode { kWalkStartup = 1, kWalkCookies = 2, kWalkHidden = 7 };
using WalkHandler = int (*)(const char* path, const WIN32_FIND_DATAA* findData, void* context);
void SetWalkMode(int mode);
int GetWalkMode();
void SetFoundFlag(int found);
int GetFoundFlag();
void WalkFolder(const char* folder, WalkHandler handler, int depth, void* context);
// Dispatches on the walk mode to StartupFileProc, CookieFileProc or HiddenFileProc.
int spBuildProc(const char* path, const WIN32_FIND_DATAA* findData, void* context);
int StartupFileProc(const char* path, const WIN32_FIND_DATAA* findData, void* context);
// The shell link object's result: 0 with target (short form) and description
// (each holds 260) filled; 1 when the link cannot be resolved without asking
// the user (description = string 730); a failure code when the file cannot be
// loaded (both outputs empty).
HRESULT ResolveShortcut(const char* linkPath, char* target, char* description);
HRESULT CreateShortcut(const char* linkPath, const char* target, const char* arguments,
                       const char* workingFolder, const char* description, const char* iconPath,
                       int iconIndex);
int GetFileDescription(const char* path, char* out);   // out holds 1024; returns its length
int FormatFileCreated(const char* path, char* out);    // out holds 256; returns its length


// ---------------------------------------------------------------------------
// disable.cpp: disable, enable and remove.
int DisableRunProgram(const char* title, const char* command, const char* entryName, int code);
// A title names one parked entry: disabling an entry whose title is parked
// for another entry (another location, or another command of the same list)
// is refused with 0, and nothing is overwritten. Enabling and removal act on
// the parked copy, which holds the entry exactly as it was written.
int DeleteRunProgram(const char* title, const char* command, const char* entryName, int code);
// The entry as its location holds it (out holds 1024): a Run-type value's
// own data (behind "RUNDLL32.EXE " for flag word 1), the win.ini piece that
// shows as `command`, else `command` itself. 0 and "" when the location
// holds no such entry.
int GetEntryCommand(const char* title, const char* command, int code, int flag, char* out);
// A Run-type value that came back while its title is parked with its own
// code: its current data replaces the parked copy and it leaves its key
// again. 1 when it was parked; 0 and nothing changed otherwise.
int ReparkRunEntry(const char* title, int code);
int DeleteRegProgram(HWND window, const char* title, const char* command, const char* entryName,
                     int code);
int RestoreRunProgram(const char* title, const char* command, const char* entryName, int code);
// AppInit_Dlls list edits. 0 and the value untouched when it cannot be read
// as text or the result would not fit.
int AddAppInitDll(const char* path);
int RemoveAppInitDll(const char* path);
// Parks a Winlogon Notify package's "DLLName" in "OldName" and back. 0 when
// the package key is missing or there is nothing to move.
int DisableNotify(const char* name);
int EnableNotify(const char* name);

// The question asked before a hook registration (codes 252-255) is removed:
// non-zero removes. The monitor asks with a message box (string 1013); the
// explorer installs its warning dialog with SetRegRemovalConfirm. Passing
// null puts the message box back.
using RegRemovalConfirm = int (*)(HWND window, const char* title, const char* command);
void SetRegRemovalConfirm(RegRemovalConfirm confirm);
int ConfirmRegRemovalBox(HWND window, const char* title, const char* command);

constexpr int IDS_DEFAULT_WARNING = 907;
constexpr int IDS_MICROSOFT_FILE = 909;
constexpr int IDS_REALLY_REMOVE = 906;
constexpr int IDS_WARNING_CAPTION = 972;
constexpr int IDS_KEY_LOCATION_REMOVE = 1013;


// ---------------------------------------------------------------------------
// delayed.cpp: delayed start.
constexpr const char* kDelayKey = "Software\\Corvath\\Velmora\\Delay";
// Lists the machine store (flag word 0), then the user store (flag word 1).
int GetDelayedPrograms();
// 1 moved, 0 refused or skipped, kDelayStop for the monitor's own entry, which
// ends a caller's loop over several entries.
constexpr int kDelayStop = -1;
int DelayStartupEntry(const char* title, const char* command, const char* entryName, int code,
                      int flag);
// Takes the listed entry at index out of its store; with backToStartup set it
// goes back into its autostart location first. 0 for a bad index.
int UndelayEntry(int index, int backToStartup);
int RemoveDelayValues(HKEY root, const char* program);
// The command a delayed entry is put back with: applet, program, parameters.
int BuildDelayedCommand(HKEY root, const char* program, char* out);   // out holds 1024
int RunProgram(HWND window, HKEY root, const char* program, const char* parameters);
// The monitor's launcher: starts every entry whose "Delay\Time" is exactly
// `seconds`; returns the number of entries handled since the last reset.
int RunDelayedSlot(int seconds);
// Launch state of the monitor: ResetDelayedLaunch lists the stores and keeps
// their count; DelayedLaunchTick is called on each 2-second timer tick and
// runs one slot every sixth tick until every entry has been handled. Both
// return the handled count (ResetDelayedLaunch the total).
int ResetDelayedLaunch();
int DelayedLaunchTick();

constexpr int IDS_DELAY_MACHINE_WIDE = 1120;
constexpr int IDS_DELAY_REFUSED = 1130;
constexpr int IDS_UNDELAY_QUESTION = 1134;
constexpr int IDS_OPEN_NORMAL = 1138;
constexpr int IDS_OPEN_MINIMIZED = 1139;
constexpr int IDS_OPEN_MAXIMIZED = 1140;


// ---------------------------------------------------------------------------
// iehelpers.cpp: Internet Explorer helper objects, toolbars and extensions.
// The machine-wide (HKEY_LOCAL_MACHINE) keys the add-ons register under.
constexpr const char* kIEBrowserHelpersKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
constexpr const char* kIEToolbarKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr const char* kIEExtensionsKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";

// Looks "CLSID\{identifier}" up under HKEY_CLASSES_ROOT (braces added when the
// identifier lacks them): its default value to name, its InprocServer32
// default value to path. Always 1; name and path are empty when the class is
// not registered or the value is not text.
int GetClsidServer(const char* identifier, char* name, char* path);   // each holds 260
// Empties the shared item list and fills it with Browser Helper Objects (900),
// toolbars (901) and extensions (902), in that order. Returns the number added.
int BuildIEHelperList();
// Removes the add-on at list position index once for every listed add-on whose
// program path equals path (any case), runs "regsvr32 /u /s" on each without
// waiting and writes an IEHELPER_Remove history line for each. Returns the
// number of deletions attempted; 0 when index is not an add-on of the list.
int RemoveIEHelper(const char* path, int index);


// ---------------------------------------------------------------------------
// services.cpp: services.
// Under HKEY_LOCAL_MACHINE; every operation of this section reads or writes here.
constexpr const char* kServicesKey = "SYSTEM\\CurrentControlSet\\Services";
constexpr int IDS_SERVICE_STOPPED = 652;
constexpr int IDS_SERVICE_START_PENDING = 653;
constexpr int IDS_SERVICE_STOP_PENDING = 654;
constexpr int IDS_SERVICE_RUNNING = 655;
constexpr int IDS_SERVICE_CONTINUE_PENDING = 656;
constexpr int IDS_SERVICE_PAUSE_PENDING = 657;
constexpr int IDS_SERVICE_PAUSED = 658;
// Each state of a service with its text; "Stopped" first, the text of any
// state a service manager reports outside the table.
struct ServiceStateText {
    DWORD state;
    int stringId;
};
inline constexpr ServiceStateText kServiceStateTexts[] = {
    {SERVICE_STOPPED, IDS_SERVICE_STOPPED},
    {SERVICE_START_PENDING, IDS_SERVICE_START_PENDING},
    {SERVICE_STOP_PENDING, IDS_SERVICE_STOP_PENDING},
    {SERVICE_RUNNING, IDS_SERVICE_RUNNING},
    {SERVICE_CONTINUE_PENDING, IDS_SERVICE_CONTINUE_PENDING},
    {SERVICE_PAUSE_PENDING, IDS_SERVICE_PAUSE_PENDING},
    {SERVICE_PAUSED, IDS_SERVICE_PAUSED},
};
constexpr int IDS_START_AUTOMATIC = 664;
constexpr int IDS_START_MANUAL = 665;
constexpr int IDS_START_DISABLED = 666;

// One connection to the Service Control Manager (GENERIC_READ) for the life
// of the process: opening one costs 3 to 7 ms under Wine, more than a whole
// service list, and every pass of the monitor lists the services and starts
// the scheduler. Null when the manager cannot be reached.
// ReopenServiceManager drops a connection a call found broken and makes a
// new one. Neither is ever closed by a caller.
SC_HANDLE SharedServiceManager();
SC_HANDLE ReopenServiceManager();
// Empties the shared item list and fills it with the services that run a
// program (700) or a shared-host DLL (701): title = display name, path =
// ImagePath or ServiceDll, entry name = start-type text, detail = Description.
// Honors the option "HideMicrosoftServices". Always 0; read ItemCount().
int BuildServiceList();
// Description (cut to 1023 characters) of the first service whose normalized
// program path equals path (any case); its length, or 0 with "" when none.
int FindServiceDescription(const char* path, char* description);   // holds 1024
// (current state << 16) | service type, from an interrogation; 0 when the
// service cannot be asked (stopped, unknown, no access).
int QueryServiceState(const char* displayName);
// dwControlsAccepted of an interrogation, or 0.
int QueryServiceControls(const char* displayName);
// Sends a control code (1 stops); 1 when the service accepted it, else 0.
int SendServiceControl(const char* displayName, int control);
// The localized state text ("Stopped" when the service cannot be asked); the
// packed state as QueryServiceState.
int GetServiceStateText(const char* displayName, char* text);   // holds 256
// The Service Control Manager's display name of a service key name; 1, or 0
// with "" when the service is unknown.
int LookupServiceDisplayName(const char* keyName, char* displayName, int capacity);
template <size_t N>
int LookupServiceDisplayName(const char* keyName, char (&displayName)[N])
{
    return LookupServiceDisplayName(keyName, displayName, static_cast<int>(N));
}
// Writes Start (2 automatic, 3 manual, 4 disabled) of the first service with
// an ImagePath whose DisplayName value equals displayName (any case). 1 when
// written; 0 when nothing matched, start is out of range or the write failed.
// The Service Control Manager is not told; Windows reads it at the next start.
int SetServiceStartType(const char* displayName, int start);


// ---------------------------------------------------------------------------
// schedtask.cpp: scheduled tasks (Task Scheduler 1.0 work items).
constexpr int IDS_TASK_REMOVE_CONFIRM = 687;   // takes the task name as its %s
constexpr int IDS_TASK_STATUS_READY = 688;
constexpr int IDS_TASK_STATUS_RUNNING = 689;
constexpr int IDS_TASK_STATUS_NOT_SCHEDULED = 690;
constexpr int kTaskScheduled = 800;            // TASK_SCHEDULED

// 0 when the scheduler runs (or was started now), else a Windows error code.
int StartScheduler();
// Undoes a start of the Windows 9x agent; 0 when done, 1 when nothing was
// stopped. Operations call it only when they launched the agent themselves.
int StopScheduler();
// 1 when the agent window exists (9x) or "Schedule" reports SERVICE_RUNNING.
int IsSchedulerRunning();
// Empties the shared item list and fills it with every work item, in the
// scheduler's batch order; returns their number (0 when the scheduler could
// not be started).
int BuildTaskList();
// Deletes the first task whose name equals name without regard to case (the
// ".job" suffix the scheduler shows may be left out). S_OK when deleted;
// otherwise the failing COM result, HRESULT_FROM_WIN32 of the scheduler's
// start error, or HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when no task
// has that name.
HRESULT RemoveScheduledTask(const char* name);
// Each writes its text bounded to capacity and returns its length; the text
// is empty when no task has that name or the scheduler cannot be reached.
int GetTaskStatusText(const char* name, char* text, int capacity);
int GetTaskComment(const char* name, char* text, int capacity);
int GetTaskNextRunTime(const char* name, char* text, int capacity);
template <size_t N>
int GetTaskStatusText(const char* name, char (&text)[N])
{
    return GetTaskStatusText(name, text, static_cast<int>(N));
}
template <size_t N>
int GetTaskComment(const char* name, char (&text)[N])
{
    return GetTaskComment(name, text, static_cast<int>(N));
}
template <size_t N>
int GetTaskNextRunTime(const char* name, char (&text)[N])
{
    return GetTaskNextRunTime(name, text, static_cast<int>(N));
}


// ---------------------------------------------------------------------------
// filetype.cpp: file type associations.
// The three kinds of association, stored in an entry's flag word.
enum AssociationKind { kAssocMachineClass = 1, kAssocUserApplication = 2, kAssocUserProgId = 3 };
constexpr int IDS_NO_ASSOCIATED_FILE = 742;
constexpr int IDS_EXECUTABLE = 746;
constexpr int IDS_WATCHED_EXTENSIONS = 750;   // initial list, never localized
constexpr int IDS_ADD_FILETYPE_PROMPT = 751;
constexpr int IDS_ADD_FILETYPE_TITLE = 752;
constexpr int IDS_ADD_FILETYPE_ADD = 753;
constexpr int IDS_FILETYPE_WATCHED = 762;
constexpr int IDS_FILETYPE_LIMIT = 763;

// Returns the number of associations stored, 0 when the snapshot existed.
int CreateClassInfo();
int BuildFileTypeList();
// name and command hold 260; 1 when the association exists, else 0 and both
// empty. The extension may be given with or without its dot.
int GetAssociation(const char* extension, char* name, char* command, int kind);
// Writes nothing (0) when the association does not exist.
int StoreAssociation(const char* extension, int kind);
int RestoreAssociation(const char* extension, int kind);
// Compares an association with its snapshot: 1 when the program (the text
// behind the last backslash) changed. A missing or damaged snapshot record
// is replaced by the current association and reported as no change.
// storedCommand holds 260: the approved command, empty when adopted.
int CheckAssociation(const char* extension, int kind, const char* currentProgram,
                     char* storedCommand);
// 0, or IDS_FILETYPE_WATCHED / IDS_FILETYPE_LIMIT (the message to show).
int AddWatchedExtension(const char* extension);
int RemoveWatchedExtension(const char* extension);
// Leaves the file-type list in the shared item list.
int IsClassInUse(const char* name);
int GetProgramFromCommand(const char* command, char* text);   // text holds 260
// iconPath holds 260; 1 when a path was delivered.
int GetExtensionIcon(const char* extension, char* iconPath, int* iconIndex, int kind);


// ---------------------------------------------------------------------------
// cookies.cpp: cookies and the cookie filter.
constexpr const char* kNutsKey = "Software\\Corvath\\Velmora\\Nuts";
constexpr const char* kCookiesKey = "Software\\Corvath\\Velmora\\Cookies";
constexpr int IDS_NUT_LIMIT = 729;
constexpr int IDS_CHOOSE_COOKIE_FOLDER = 799;
constexpr int IDS_COOKIE_FOLDER_NOT_FOUND = 968;
constexpr int kInfoCookie = 500;        // INFO_COOKIE: an Internet Explorer cookie file
constexpr int kMozillaCookie = 504;     // one line of a Mozilla-family "cookies.txt"
constexpr int kNutTextLen = 512;        // nut text with its terminator
constexpr int kMaxNuts = 256;           // the explorer refuses more typed nuts

// Browser mode: 1 Internet Explorer cookie folder, 3 Mozilla-family
// "cookies.txt". The explorer sets it from its "Browser" option, the monitor
// from the default browser before each filter run; it starts at 1.
enum CookieMode { kCookieModeIE = 1, kCookieModeMozilla = 3 };
int CookieModeOfBrowser(int browserKind);   // kinds 2, 3, 6 give 3, all others 1
void SetCookieMode(int mode);
int GetCookieMode();

// Folders are MAX_PATH buffers.
// 1 and the folder with a trailing backslash; 0 and string 968 otherwise.
int GetIECookieFolder(char* folder);
// 1: ends with "\" and holds index.dat; 2: holds index.dat but lacks the
// backslash (the caller appends it); 0 otherwise.
int IsCookieFolder(const char* folder);
// 1 and the profile folder that holds "cookies.txt"; 0 and "" when none.
int GetMozillaCookieFolder(char* folder);
int IsMozillaInstalled();
// Lists the cookies of the current mode into the shared item list and returns
// their number. filter > 0 first loads the nuts and removes what they match
// (IE: deletes the files; Mozilla family: writes "cookiesnew.txt" with every
// kept line and sets UpdateCookieFile), then frees the nut list.
int BuildCookieList(int filter);
// Walk-mode-2 handler: context (void*)1 deletes files that match a nut.
int CookieFileProc(const char* path, const WIN32_FIND_DATAA* findData, void* context);

// The nut list, loaded from kNutsKey into memory of its own.
int LoadNuts();                          // returns the number loaded
void FreeNuts();
int NutCount();
int MatchesNut(const char* text);        // 1 when text (<= 512 chars) holds a nut
int GetNutText(int index, char* text);   // text holds kNutTextLen; returns its length
int GetNutData(int index);               // atoi of the value's data; 0 out of range
int AddNut(const char* text);            // returns BuildCookieList(1)
int RemoveNut(const char* text);         // returns the number of nuts now loaded

int SetCookieFileUpdate(int flag);
int IsCookieFileUpdatePending();
// 1 when "cookiesnew.txt" was copied over "cookies.txt" (no Mozilla window
// open and an update pending), else 0.
int ApplyCookieFileUpdate();
// Deletes the nuts with data 2; returns how many were deleted.
int PurgeRemovedCookieNuts();
// The open-file dialog that picks a cookie folder; 1 and a folder ending in
// "\", or 0 when cancelled.
int ChooseCookieFolder(HWND owner, char* folder);


// ---------------------------------------------------------------------------
// hidden.cpp: hidden files watch.
constexpr const char* kHiddenStoreKey = "Software\\Corvath\\Velmora\\Hidden";
constexpr int IDS_NEW_HIDDEN_FILE_TITLE = 1014;
constexpr int IDS_NEW_HIDDEN_FILE_TEXT = 1015;
int HiddenFileProc(const char* path, const WIN32_FIND_DATAA* findData, void* context);
int BuildHiddenFileList();
// Non-zero when the file was deleted (its copy is then in the vault).
int MoveHiddenFileToVault(const char* title, const char* path);
// Non-zero when the vault copy was put back and removed from the vault.
int RestoreHiddenFileFromVault(const char* path);


// ---------------------------------------------------------------------------
// tasks.cpp: active tasks (running processes).
// Called once per process (task16 = 0) and once per 16-bit task of an NT
// virtual DOS machine; 0 stops the enumeration.
using RunningProgramProc = int (*)(DWORD processId, WORD task16, const char* programFile,
                                   void* context);
int EnumRunningPrograms(RunningProgramProc callback, void* context);
int BuildActiveTaskList();
DWORD FindProcessByPath(const char* path);
int IsProgramRunning(const char* path);
// Asks string 707 first when `ask` is set. Returns the process id found (also
// when the user said No), 0 when the program was not running or could not be
// opened.
DWORD EndProcessByPath(const char* path, const char* title, int ask);
int TerminateProcessById(DWORD id);



// ---------------------------------------------------------------------------
// sysfiles.cpp: monitored system files, the HOSTS file and restart commands.
// The store lives under HKEY_LOCAL_MACHINE: one subkey per file, named by
// the file's short name, which is also the name of its accepted copy in the
// data folder. Only names that are a plain file name are accepted.
constexpr const char* kSysfilesKey = "Software\\Corvath\\Velmora\\Sysfiles";
constexpr int IDS_RESTART_COMMANDS_TITLE = 30;
constexpr int IDS_NO_RESTART_COMMANDS = 59;
constexpr int IDS_NO_HOSTS_FILE = 736;
constexpr int IDS_FILE_CHANGE_TITLE = 1000;
constexpr int IDS_FILE_CHANGE_TEXT = 1001;
constexpr int IDS_FILE_CHANGE_ACCEPT = 1002;
constexpr int IDS_FILE_CHANGE_REJECT = 1003;
constexpr int IDS_FILE_CHANGE_FILENAME = 1004;
constexpr int IDS_FILE_CHANGE_LOCATION = 1005;
// The restart-command viewer shows at most this much of the file; its text
// doubles at worst when line feeds become CR LF.
constexpr DWORD kRestartCommandsMax = 16384;
constexpr size_t kRestartTextCapacity = 2 * kRestartCommandsMax + 1;

// out holds kPathLen; 1, or 0 and "" when the folder cannot be asked.
int GetHostsFilePath(char* out);
// Sets up the store when its default value is missing; 1 when it did so now,
// 0 when the store was already set up or could not be created.
int InitSysfilesStore();
// 1 when the file exists, its record was written and its copy made; 0
// otherwise (a refused name or a missing file writes no record).
int AddMonitoredFile(const char* name, const char* path, const char* comment, int type);
// Compares every monitored file; returns how many changes the alert handled.
int VerifySystemFiles();
// The file-change alert, installed by the monitor: it tells the user, lets
// them accept or reject (AcceptFileChange, RejectFileChange) and returns
// non-zero when the change was handled. Without one, a change is only traced.
using FileChangeAlert = int (*)(const char* name, const char* path);
void SetFileChangeAlert(FileChangeAlert alert);
// 1 when a change was found and the alert handled it; 0 when the file is
// missing, unchanged, or the record was only being completed.
int CompareMonitoredFile(const char* name, const char* path);
// The accepted copy of a monitored file; out holds kPathLen. 0 and "" for a
// name that is not a plain file name.
int GetMonitoredCopyPath(const char* name, char* out);
// The alert's two answers. Each returns non-zero when the file was copied,
// and 0 with GetLastError set (for ShowSystemError) when nothing changed:
// a failed accept or restore leaves the record, the copy and the monitored
// file as they were. stopMonitoring removes the "Location", so the file is
// no longer compared.
int AcceptFileChange(const char* name, const char* path, int stopMonitoring);
int RejectFileChange(const char* name, const char* path, int stopMonitoring);

// The restart-command viewer (dialog 130), installed by the program that
// shows it; owner is also the owner of message 59.
using RestartCommandsViewer = void (*)(HWND owner);
void SetRestartCommandsViewer(RestartCommandsViewer viewer, HWND owner);
// 1 when "wininit.ini" holds commands (only where "wininit.exe" exists).
// Unless testOnly, shows the viewer, or message 59 when there is nothing.
int ShowRestartCommands(int testOnly);
// The viewer's text: the first kRestartCommandsMax bytes of the file with
// each bare line feed made CR LF. Returns its length; 0 and "" when absent.
int ReadRestartCommands(char* out, size_t capacity);
// The viewer's Delete button: 1 when "wininit.ini" is gone.
int DeleteRestartCommands();
// 1 when the file is scheduled for deletion at the next restart; 0 when it
// does not exist or nothing could be recorded.
int DeleteAtRestart(const char* path);
// Opens the HOSTS file in "notepad.exe", or shows message 736 when there is
// none; 1 when the editor started.
int ViewHostsFile();
