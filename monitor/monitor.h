// The resident monitor: start-up and exit, the main window with its timer
// and commands, the verification cycle, the approval and first-detected
// stores, the alerts and the notification-area icon. One section per source
// file; only the monitor's own code includes resources/resource.h.
#pragma once

#include "catalogue/catalogue.h"

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

// Null before the window exists and after it is destroyed.
HWND GetMainWindow();
// Opens "VelmoraEx.exe" from the monitor's own folder with one switch
// ("-START", "-TASK", ...). 1 when it started; 0 after telling the user
// (string 795) that it could not.
int StartExplorer(const char* switchText);
// Whether message 9024 arrived since the previous timer tick; the cycle's
// pass end reads it.
int IsTaskChangePending();

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
