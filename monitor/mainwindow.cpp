// The monitor's main window as the rest of the monitor knows it, and the
// explorer it opens.
#include "monitor/monitor.h"

#include <shellapi.h>

namespace {

HWND g_mainWindow = nullptr;

}  // namespace

void SetMainWindow(HWND window)
{
    g_mainWindow = window;
}

HWND GetMainWindow()
{
    return g_mainWindow;
}

int ExplorerPath(char (&path)[MAX_PATH], char (&folder)[MAX_PATH])
{
    return GetProgramFolder(folder) && StrFormatA(path, "%s\\VelmoraEx.exe", folder) == 0;
}

int StartExplorer(const char* switchText)
{
    char path[MAX_PATH];
    char folder[MAX_PATH];
    if (ExplorerPath(path, folder)) {
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteA(g_mainWindow, "open", path, switchText, folder, SW_SHOWNORMAL));
        if (result > 32) return 1;
    }
    char text[512];
    LoadLocalizedString(IDS_EXPLORER_NOT_STARTED, text);
    MessageBoxExA(g_mainWindow, text, GetAppCaption(), MB_OK | MB_ICONERROR | MB_TOPMOST,
                  static_cast<WORD>(MessageLanguageId()));
    return 0;
}
