// The verification cycle: on every 17th tick of the main window's timer one
// half of the checks runs, and a process start makes the real-time checks
// due at once. Everything runs on the UI thread; the alerts pump messages,
// so the busy flags keep a tick that arrives meanwhile from nesting a pass.
#include <cstdlib>
#include <iterator>

#include "monitor/monitor.h"
#include "resources/resource.h"

namespace {

AlertContext g_context;

// More task-change checks than this on consecutive ticks means two programs
// keep starting each other; the cycle then stands back for a tick.
constexpr int kTaskChangeRunLimit = 2;
// The notification-area icon is rebuilt after this many passes, in case the
// shell lost it without saying so.
constexpr int kPassesBeforeIconRebuild = 60;
// A pass that starts within this long of the last one runs no check.
constexpr DWORD kPassSpacing = 1000;
// The startup approval of a program the user moved to delayed start.
constexpr int kApprovedDelayed = 1103;
// An installer's clean-up entry that comes and goes by itself: the rest of
// the list waits for the next pass.
constexpr const char* kInstallerCleanup = "McAfee Application Installer Cleanup";

struct CycleCheck {
    MonitorCheck check;   // kCheckCount: runs in every pass of its half
    const char* traceName;
    void (*run)();
};

constexpr CycleCheck kHalfA[] = {
    {kCheckStartup, "Startup Programs", CheckStartupPrograms},
    {kCheckIEHelpers, "IE Helpers", CheckIEHelpers},
    {kCheckHidden, "Hidden Files", CheckHiddenFiles},
    {kCheckSysFiles, "Verify System Files", CheckSystemFiles},
    {kCheckStartPage, "IE Start/Search Page", CheckStartPages},
    {kCheckFileType, "File Types", CheckFileTypes},
};

constexpr CycleCheck kHalfB[] = {
    {kCheckTasks, "Scheduled Tasks", CheckScheduledTasks},
    {kCheckWinInit, "Win INIT file", CheckRestartCommands},
    {kCheckServices, "Services", CheckServices},
    {kCheckNuts, "Filter Cookies", FilterCookies},
    {kCheckCount, "Filter Mozilla Cookies", FilterMozillaCookies},
    {kCheckCookies, "Check for New Cookies", CheckNewCookies},
};

// The real-time option that arms each check for a process start.
struct RealtimeArm {
    RealtimeOption option;
    MonitorCheck check;
};
constexpr RealtimeArm kRealtimeArms[] = {
    {kRealtimeStartup, kCheckStartup},     {kRealtimeIEHelper, kCheckIEHelpers},
    {kRealtimeSysFiles, kCheckSysFiles},   {kRealtimeStartPage, kCheckStartPage},
    {kRealtimeFileType, kCheckFileType},   {kRealtimeHidden, kCheckHidden},
};
static_assert(std::size(kRealtimeArms) == kRealtimeCount);

template <size_t N>
void RunHalf(const CycleCheck (&checks)[N])
{
    for (const CycleCheck& c : checks) {
        if (c.check != kCheckCount && !TakeDueCheck(c.check)) continue;
        TraceStart("VERIFY", c.traceName);
        c.run();
        TraceElapsed();
    }
}

int CountProcess(DWORD, WORD task16, const char*, void* context)
{
    if (task16 == 0) ++*static_cast<int*>(context);
    return 1;
}

int StampProcess(DWORD, WORD, const char* programFile, void*)
{
    if (programFile && programFile[0]) StampFirstDetected(programFile, kDetectedActiveTasksKey);
    return 1;
}

void EndPass(DWORD start, UINT previousErrorMode)
{
    MonitorState& state = GetMonitorState();
    ClearItems();
    FreeNuts();
    if (state.taskChangePending) EnumRunningPrograms(StampProcess, nullptr);
    state.halfB = !state.halfB;
    SetTrayState(state.trayIcon, IDS_TIP_PATROL);

    const DWORD end = GetTickCount();
    const DWORD elapsed = end - start;
    char label[96];
    if (elapsed < kPassSpacing + 1) {
        StrFormatA(label, "VELMORAPRIME10: Total Verify Time %d, ", static_cast<int>(elapsed));
    } else {
        StrFormatA(label, "Release VELMORAPRIME10: Total Verify Time %d, ",
                   static_cast<int>(elapsed));
        // The one-second rule counts from the end of a long pass.
        state.lastPassStart = end;
    }
    TraceLog(label, "verify");
    state.verifying = false;
    SetErrorMode(previousErrorMode);
}

// The startup approval of a listed entry: by its program path first, then,
// for records older than the path rule, by its title. 0 when unknown.
int StartupApproval(const ApprovalReader& approvals, const char* path, const char* title)
{
    const int byPath = ReadApprovalFrom(approvals, path);
    return byPath != 0 ? byPath : ReadApprovalFrom(approvals, title);
}

struct StartupEntry {
    char title[kEntryLen];
    char path[kPathLen];
    char entryName[kEntryLen];
    int type;
    // The list shows disabled entries too. A parked entry cannot start, and
    // disabling writes no approval: asking about it would ask on every pass.
    bool parked;
};

// One handle on the disabled markers serves the list; none at all when no
// entry is parked, which is the usual case.
void OpenParkedMarkers(UniqueKey* markers)
{
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, 0, KEY_READ, markers->put()) !=
        ERROR_SUCCESS)
        return;
    DWORD values = 0;
    if (RegQueryInfoKeyA(markers->get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        values == 0)
        *markers = UniqueKey();
}

int ParkedCode(HKEY markers, const char* title)
{
    char code[16];
    if (!markers || !title[0] || QueryRegText(markers, title, code) <= 0) return 0;
    return static_cast<int>(strtol(code, nullptr, 10));
}

void ReadStartupEntry(HKEY markers, int i, StartupEntry* entry)
{
    GetItemTitle(i, entry->title);
    GetItemPath(i, entry->path);
    GetItemEntryName(i, entry->entryName);
    entry->type = GetItemType(i);
    entry->parked = entry->type != 0 && ParkedCode(markers, entry->title) == entry->type;
}

void DisableUnlessParked(const StartupEntry& e)
{
    if (IsDisabledEntry(e.title)) return;
    if (!DisableRunProgram(e.title, e.path, e.entryName, e.type))
        TraceLog("Startup Programs", "The entry could not be disabled.");
}

// A program moved to delayed start that wrote itself back.
void AskAboutReturnedDelayed(const StartupEntry& e)
{
    SetAlertContext(e.type, e.title, e.path);
    const int answer = ShowAlert(IDD_DELAYED_ALERT);
    if (answer != kAnswerApprove && answer != kAnswerReject) return;
    if (!WriteApproval(kStoreRun, e.path, e.type)) return;
    if (answer == kAnswerApprove)
        RemoveDelayValues(e.type > 10 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, e.path);
    else
        DisableUnlessParked(e);
}

void RejectStartupEntry(const StartupEntry& e)
{
    EndProcessByPath(e.path, e.title, 0);
    if (!DeleteRunProgram(e.title, e.path, e.entryName, e.type))
        TraceLog("Startup Programs", "The entry could not be removed.");
    RemoveApproval(kStoreRun, e.path);
    RemoveApproval(kStoreRun, e.title);
}

// Returns false when the rest of the list waits for the next pass.
bool AskAboutStartupEntry(const StartupEntry& e)
{
    SetAlertContext(e.type, e.title, e.path);
    if (ContainsNoCase(e.title, kInstallerCleanup)) return false;
    int answer = kAnswerReject;
    if (GetMonitorState().hideAlerts <= 1) {
        PlayAlertSound(kSoundStartup);
        StampFirstDetected(e.path, kDetectedStartupKey);
        SetTrayState(kIconAlert, IDS_TIP_STARTUP);
        answer = ShowAlert(IDD_STARTUP_ALERT);
    }
    switch (answer) {
    case kAnswerApprove:
        // A failed write is traced there; the entry then asks again.
        WriteApproval(kStoreRun, e.path, e.type);
        break;
    case kAnswerDisable:
        EndProcessByPath(e.path, e.title, 0);
        DisableUnlessParked(e);
        break;
    case kAnswerReject:
        RejectStartupEntry(e);
        break;
    default:
        // No answer (the dialog could not be shown): asked again next pass.
        break;
    }
    return true;
}

bool StartupListChanged(HKEY markers, const ApprovalReader& approvals)
{
    StartupEntry e;
    for (int i = 0; i < ItemCount(); ++i) {
        ReadStartupEntry(markers, i, &e);
        if (e.parked) continue;
        const int approval = StartupApproval(approvals, e.path, e.title);
        if (approval == 0 || approval == kApprovedDelayed) return true;
    }
    return false;
}

}  // namespace

AlertContext& GetAlertContext()
{
    return g_context;
}

void ClearAlertContext()
{
    g_context = AlertContext{};
}

void SetAlertContext(int typeCode, const char* title, const char* path)
{
    ClearAlertContext();
    g_context.typeCode = typeCode;
    // Cut to the field: the dialogs show them, nothing writes them back.
    StrCopy(g_context.title, title ? title : "");
    StrCopy(g_context.path, path ? path : "");
}

int ReloadUpdatedOptions()
{
    if (ReadOption("Update", 0) == 0) return 0;
    LoadMonitorOptions();
    // Not WriteOption: that marks the options as changed again.
    if (!SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Update", "0"))
        TraceLog("Options", "\"Update\" could not be reset.");
    return 1;
}

void CheckStartupPrograms()
{
    BuildStartupList(0);
    // One handle for every look-up of the list.
    ApprovalReader approvals;
    OpenApprovalReader(kStoreRun, &approvals);
    UniqueKey markers;
    OpenParkedMarkers(&markers);
    if (!StartupListChanged(markers.get(), approvals)) {
        TraceLog("Startup Programs", "No Startup Change Detected.");
        return;
    }
    StartupEntry e;
    for (int i = 0; i < ItemCount(); ++i) {
        ReadStartupEntry(markers.get(), i, &e);
        if (e.parked) continue;
        const int approval = StartupApproval(approvals, e.path, e.title);
        if (approval == kApprovedDelayed) {
            AskAboutReturnedDelayed(e);
            continue;
        }
        if (approval != 0) continue;
        if (!AskAboutStartupEntry(e)) break;
    }
}

int CheckTaskChanges()
{
    MonitorState& state = GetMonitorState();
    TraceStart("* * * VERIFY TASKS", "Check for Task Change");
    int count = 0;
    EnumRunningPrograms(CountProcess, &count);
    if (count != state.lastProcessCount) {
        ReloadUpdatedOptions();
        for (const RealtimeArm& arm : kRealtimeArms)
            if (state.realtime[arm.option] != 0) state.checks[arm.check].countdown = 1;
        state.verifyTicks = kTicksBeforePass + 1;
        state.halfB = false;
        TraceLog("* * * * VERIFY TASKS", "NEW TASK DETECTED");
    }
    TraceElapsed();
    state.lastProcessCount = count;
    ClearItems();
    return count;
}

int VerifyData()
{
    MonitorState& state = GetMonitorState();
    if (state.alertShowing || state.verifying) return 1;
    if (state.passCount++ > kPassesBeforeIconRebuild) {
        TrayMessage(kTrayDelete, kIconNormal, IDS_TIP_PATROL);
        TrayMessage(kTrayAdd, kIconNormal, IDS_TIP_PATROL);
        state.passCount = 0;
    }
    state.interaction = false;
    ClearItems();
    state.verifying = true;

    const DWORD start = GetTickCount();
    const DWORD sinceLast = start - state.lastPassStart;
    state.lastPassStart = start;
    if (sinceLast < kPassSpacing) {
        state.verifying = false;
        return 0;
    }
    const UINT previousErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    if (!state.halfB) {
        SetTrayState(kIconVerifyA, IDS_TIP_STARTUP);
        RunHalf(kHalfA);
    } else {
        SetTrayState(kIconVerifyB, IDS_TIP_COOKIE_NUTS);
        RunHalf(kHalfB);
    }
    EndPass(start, previousErrorMode);
    return 1;
}

void VerifyTick()
{
    MonitorState& state = GetMonitorState();
    if (state.verifyTicks++ > kTicksBeforePass) {
        // A pass held back by an open alert still starts the count again.
        VerifyData();
        state.verifyTicks = 0;
        state.hideAlerts = 0;
        state.taskChangePending = false;
    }
    if (!state.taskChangePending) {
        state.taskChangeRun = 0;
        return;
    }
    if (state.alertShowing || state.verifying) return;
    if (state.taskChangeRun++ > kTaskChangeRunLimit) {
        TraceLog("Possible System Conflict", "vlmain");
        Sleep(50);
        state.taskChangeRun = 0;
    } else {
        TraceLog("CheckTaskChanges()", "vlmain");
        CheckTaskChanges();
    }
    state.taskChangePending = false;
}
