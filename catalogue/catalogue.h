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
int GetLocationText(int index, char* out);   // out holds 512


// ---------------------------------------------------------------------------
// findrun.cpp: startup enumeration. Each pass appends to the shared item list;
// only BuildStartupList clears it. Results are the list's count afterwards,
// except where noted.
// pageMode 1: the explorer's Startup Programs page, which lists the Winlogon
// values and the hook registrations only when "ShowAllStartup" is set.
int BuildStartupList(int pageMode);
int BuildRun();
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
// schedtask.cpp: scheduled tasks.


// ---------------------------------------------------------------------------
// filetype.cpp: file type associations.


// ---------------------------------------------------------------------------
// cookies.cpp: cookies and the cookie filter.
int CookieFileProc(const char* path, const WIN32_FIND_DATAA* findData, void* context);


// ---------------------------------------------------------------------------
// hidden.cpp: hidden files watch.
int HiddenFileProc(const char* path, const WIN32_FIND_DATAA* findData, void* context);


// ---------------------------------------------------------------------------
// tasks.cpp: active tasks (running processes).

