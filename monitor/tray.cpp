// The notification-area icon: the monitor's only presence on screen, its
// tips, and the menu of the explorer's pages.
#include "monitor/monitor.h"

#include <shellapi.h>

#include <iterator>

namespace {

// The localized tip is cut to this many characters before it goes into the
// record's 128.
constexpr int kTipLoadLen = 64;

enum MenuPlatform { kAnyPlatform, kNtOnly, k9xOnly };
struct MenuEntry {
    int stringId;   // 0: a separator
    int command;
    MenuPlatform platform;
};
constexpr MenuEntry kMenu[] = {
    {501, kCmdShowAbout, kAnyPlatform},
    {610, kCmdShowOptions, kAnyPlatform},
    {0, 0, kAnyPlatform},
    {503, kCmdShowStartup, kAnyPlatform},
    {1020, kCmdShowDelayed, kAnyPlatform},
    {697, kCmdShowIEHelpers, kAnyPlatform},
    {509, kCmdShowServices, kNtOnly},
    {685, kCmdShowScheduledTasks, kAnyPlatform},
    {0, 0, kAnyPlatform},
    {504, kCmdShowActiveTasks, kAnyPlatform},
    {505, kCmdShowCookieFilters, kAnyPlatform},
    {510, kCmdShowFileTypes, kAnyPlatform},
    {1018, kCmdShowHiddenFiles, kAnyPlatform},
    {507, kCmdRestartCommands, k9xOnly},
    {0, 0, kAnyPlatform},
    {508, kCmdExit, kAnyPlatform},
};
static_assert(std::size(kMenu) == 16);

// Set while a callback is handled: the menu's own loop delivers further
// clicks, which must not open a second menu.
bool g_menuBusy = false;

// The icon of resource `id` at the notification area's size, or a copy of the
// system's application icon when the program carries no such resource; the
// caller owns either.
UniqueIcon LoadTrayIcon(int id)
{
    const int cx = GetSystemMetrics(SM_CXSMICON);
    const int cy = GetSystemMetrics(SM_CYSMICON);
    HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                               IMAGE_ICON, cx, cy, 0));
    if (!icon) icon = CopyIcon(LoadIconA(nullptr, IDI_APPLICATION));
    return UniqueIcon(icon);
}

bool MenuEntryApplies(const MenuEntry& entry, bool nt)
{
    return entry.platform == kAnyPlatform || (entry.platform == kNtOnly) == nt;
}

void ShowTrayMenu(HWND window, POINT at)
{
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) return;
    const bool nt = IsNtPlatform();
    for (const MenuEntry& entry : kMenu) {
        if (!MenuEntryApplies(entry, nt)) continue;
        if (entry.stringId == 0) {
            AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
            continue;
        }
        char text[256];
        if (LoadLocalizedString(entry.stringId, text) > 0)
            AppendMenuA(menu.get(), MF_STRING, static_cast<UINT_PTR>(entry.command), text);
    }
    // Without the foreground the menu would not close when the user clicks
    // elsewhere; the posted WM_NULL lets it close on the first click.
    SetForegroundWindow(window);
    TrackPopupMenuEx(menu.get(), TPM_VERTICAL, at.x, at.y, window, nullptr);
    PostMessageA(window, WM_NULL, 0, 0);
}

}  // namespace

int TrayMessage(int operation, int icon, int tipId)
{
    constexpr DWORD kMessages[] = {NIM_ADD, NIM_MODIFY, NIM_DELETE};
    static_assert(std::size(kMessages) == 3);
    if (operation < kTrayAdd || operation > kTrayDelete) return 0;
    // A delete always goes through: an icon shown before "HideBarley" was set
    // would otherwise outlive the monitor.
    if (operation != kTrayDelete && ReadOptionOrDefault("HideBarley") == 1) return 0;
    char tip[kTipLoadLen];
    LoadLocalizedString(tipId, tip);
    NOTIFYICONDATAA data = {};
    // The Windows 2000 form of the record, which every later shell reads.
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = GetMainWindow();
    data.uID = kTrayIconId;
    data.uCallbackMessage = kMsgTrayCallback;
    if (StrCopy(data.szTip, tip) != 0) return 0;
    if (operation == kTrayAdd) {
        TraceLog("Tray Message", "ADD");
        icon = ReadOptionOrDefault("TrayIcon");
    }
    UniqueIcon loaded;
    if (icon != 0) loaded = LoadTrayIcon(icon);
    data.hIcon = loaded.get();
    if (operation != kTrayDelete) data.uFlags = NIF_MESSAGE | NIF_TIP | (data.hIcon ? NIF_ICON : 0);
    // The shell keeps a copy of the icon; ours is destroyed on return.
    Shell_NotifyIconA(kMessages[operation], &data);
    return 1;
}

int SetTrayState(int icon, int tipId)
{
    return TrayMessage(kTrayModify, icon, tipId);
}

void ResetTrayMenu()
{
    g_menuBusy = false;
}

void OnTrayCallback(HWND window, WPARAM id, LPARAM mouseMessage)
{
    if (g_menuBusy) return;
    g_menuBusy = true;
    POINT at = {};
    GetCursorPos(&at);
    // The entry may have been changed by the explorer or by hand.
    GetMonitorState().autostart = IsMonitorAutostart() != 0;
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        TraceLog("Tray Action", "Double Click");
        SetForegroundWindow(window);
        PostMessageA(window, WM_COMMAND, kCmdShowStartup, 0);
    } else if (mouseMessage == WM_RBUTTONUP && id == kTrayIconId) {
        ShowTrayMenu(window, at);
    }
    g_menuBusy = false;
}
