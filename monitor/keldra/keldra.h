// Keldra.dll, the monitor's real-time companion. It watches for new
// processes and for changes to the places programs start from, and posts a
// message to the monitor's main window for each, so that the monitor's
// checks run soon after a change instead of on their next period.
// Exported by ordinal only (keldra.def): ordinal 2 is KeldraAttach, 3 is
// KeldraDetach; the names do not resolve.
#pragma once

#include <windows.h>

// wParam: the new process's id; lParam: 0.
constexpr UINT kKeldraProcessStarted = 9024;
// A Run-type key, a Winlogon value or a Startup folder changed; both
// parameters 0. At most one per 500 ms, posted once a burst has settled.
constexpr UINT kKeldraAutostartChanged = 9025;

extern "C" {
// Starts the one watcher thread, which posts to mainWindow until
// KeldraDetach. Returns 1 when a watcher runs afterwards (also when one ran
// already, whose window is then kept), 0 when mainWindow is not a window or
// the thread could not be started. Returns once the watches are armed, so a
// change made after it returns is reported.
int WINAPI KeldraAttach(HWND mainWindow);
// Stops the watcher and waits for its thread to end; nothing is posted after
// it returns. Returns 1 when a watcher was stopped, 0 when none ran.
int WINAPI KeldraDetach(void);
}
