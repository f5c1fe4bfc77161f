// The catalogues: every place from which software starts itself or hooks
// into the shell and the browser. Each enumeration clears and fills the
// shared item list; each operation returns 1 on success, 0 on failure.
#pragma once

#include "foundation/foundation.h"

// ---------------------------------------------------------------------------
// locations.cpp: startup entry model, location table and the disabled store.
constexpr const char* kDisabledMarkerKey = "Software\\Corvath\\Velmora\\Disabled";
constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A Run-type location (codes 1-7 and 11-17): its root, its key and the key of
// its disabled store. 1 when the code names such a location, else 0 and the
// out-parameters untouched.
int GetRunLocation(int code, HKEY* root, const char** key, const char** disabledKey);
// The disabled-store key of codes 100, 101 and 256; null for other codes.
const char* GetDisabledStoreKey(int code);
int IsDisabledEntry(const char* title);
int GetDisabledCode(const char* title);
int GetLocationText(int index, char* out);   // out holds 512


// ---------------------------------------------------------------------------
// findrun.cpp: startup enumeration.


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


// ---------------------------------------------------------------------------
// disable.cpp: disable, enable and remove.
int DisableRunProgram(const char* title, const char* command, const char* entryName, int code);
int DeleteRunProgram(const char* title, const char* command, const char* entryName, int code);
int DeleteRegProgram(HWND window, const char* title, const char* command, const char* entryName,
                     int code);
int RestoreRunProgram(const char* title, const char* command, const char* entryName, int code);


// ---------------------------------------------------------------------------
// delayed.cpp: delayed start.


// ---------------------------------------------------------------------------
// iehelpers.cpp: Internet Explorer helper objects, toolbars and extensions.
// Always 1; name and path are empty when the class is not registered.
int GetClsidServer(const char* identifier, char* name, char* path);   // each holds 260
int BuildIEHelperList();


// ---------------------------------------------------------------------------
// services.cpp: services.


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
int HiddenFileProc(const char* path, const WIN32_FIND_DATAA* findData, void* context);


// ---------------------------------------------------------------------------
// tasks.cpp: active tasks (running processes).

