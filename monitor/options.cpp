// The monitor's options and the process-wide state they set.
#include <climits>
#include <cstdlib>
#include <iterator>

#include "monitor/monitor.h"

namespace {

MonitorState g_state;

struct CheckOption {
    MonitorCheck check;
    const char* name;
};

constexpr CheckOption kCheckOptions[] = {
    {kCheckStartup, "Start"},       {kCheckIEHelpers, "IEHelpers"}, {kCheckHidden, "Hidden"},
    {kCheckSysFiles, "HostFile"},   {kCheckStartPage, "StartPage"}, {kCheckFileType, "FileType"},
    {kCheckTasks, "Tasks"},         {kCheckWinInit, "WinInit"},     {kCheckServices, "Services"},
    {kCheckNuts, "Nuts"},           {kCheckCookies, "Cookies"},
};
static_assert(std::size(kCheckOptions) == kCheckCount);

constexpr const char* kRealtimeNames[] = {
    "RealtimeStartup", "RealtimeIEHelper", "RealtimeSysFiles",
    "RealtimeFileType", "RealtimeStartPage", "RealtimeHidden",
};
static_assert(std::size(kRealtimeNames) == kRealtimeCount);

// Options longer than this read as missing, as in the explorer.
constexpr size_t kOptionTextLen = 129;

// A value of another registry type is unreadable and gives the default:
// the bytes of a number must not be taken for the text of one.
int ReadMonitorOption(const char* name)
{
    char text[kOptionTextLen];
    const int defaultValue = GetOptionDefault(name);
    if (ReadRegText(HKEY_CURRENT_USER, kOptionsKey, name, text) <= 0) return defaultValue;
    const long value = strtol(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

MonitorState& GetMonitorState()
{
    return g_state;
}

void LoadMonitorOptions()
{
    for (const CheckOption& o : kCheckOptions) {
        const int value = ReadMonitorOption(o.name);
        CheckCounter& counter = g_state.checks[o.check];
        counter.reset = value;
        // A restart-command detection parks its countdown; only a larger
        // option brings the check back.
        if (o.check == kCheckWinInit && value < counter.countdown) continue;
        counter.countdown = value;
    }
    for (int i = 0; i < kRealtimeCount; ++i) g_state.realtime[i] = ReadMonitorOption(kRealtimeNames[i]);
    g_state.hideAlerts = ReadMonitorOption("HideAlerts");
    g_state.hideBarley = ReadMonitorOption("HideBarley");
    // A resource number is a WORD; anything else names no icon at all.
    const int trayIcon = ReadMonitorOption("TrayIcon");
    g_state.trayIcon = trayIcon > 0 && trayIcon <= 0xFFFF ? trayIcon : GetOptionDefault("TrayIcon");
    g_state.sound = ReadMonitorOption("Sound");
    g_state.confirmExit = ReadMonitorOption("ConfirmExit");
    g_state.lockFileTypes = ReadMonitorOption("LockFileTypes");
    // The cookie entries share the item list with nothing else during their
    // check, but never more than it holds.
    const int maxCookie = ReadMonitorOption("MaxCookie");
    g_state.maxCookie = maxCookie < 0 ? 0 : (maxCookie > kMaxItems ? kMaxItems : maxCookie);
    g_state.halfB = false;
}

int TakeDueCheck(MonitorCheck check)
{
    if (check < 0 || check >= kCheckCount) return 0;
    CheckCounter& counter = g_state.checks[check];
    if (counter.countdown <= 0) return 0;
    if (--counter.countdown >= 1) return 0;
    counter.countdown = counter.reset;
    return 1;
}
