// The checks of the other watched catalogues in a verification pass: each
// compares its catalogue with what the user approved and asks about the rest.
// The pass has already found the check due and opened its trace section.
#include <cstring>
#include <initializer_list>
#include <iterator>

#include "monitor/monitor.h"
#include "resources/resource.h"

namespace {

constexpr int kTypeFileType = 400;
constexpr int kTypeHidden = 370;
constexpr const char* kMcAfeeTask = "McAfee.com";

// The browser pages are read into buffers of this size; a longer value does
// not fit and reads as empty, like a missing one.
constexpr int kPageLen = 512;
// A page message: the template and two pages.
constexpr int kPageMessageLen = 2 * kPageLen + 1024;

constexpr int IDS_NEW_COOKIES = 16;
constexpr int IDS_RESTART_COMMANDS_ADDED = 28;
constexpr int IDS_IE_MAIN_KEY = 623;
constexpr int IDS_START_PAGE_VALUE = 624;
constexpr int IDS_START_PAGE_CHANGED = 625;
constexpr int IDS_SEARCH_PAGE_VALUE = 675;
constexpr int IDS_SEARCH_PAGE_CHANGED = 676;
constexpr int IDS_DESKTOP_COMPONENT_KEY = 1016;
constexpr int IDS_DESKTOP_PAGE_CHANGED = 1017;

bool Suppressed()
{
    return GetMonitorState().hideAlerts > 1;
}

// The listed item's fields, each cut to the alert context's 260.
struct Item {
    int index;
    char title[kPathLen + 1];
    char path[kPathLen + 1];
    int type;
};

Item ReadItem(int index)
{
    Item item = {};
    item.index = index;
    GetItemTitle(index, item.title);
    GetItemPath(index, item.path);
    item.type = GetItemType(index);
    return item;
}

void StampDetected(const char* program, const char* storeKey)
{
    if (program && program[0]) StampFirstDetected(program, storeKey);
}

// How one alert looks and sounds.
struct AlertLook {
    int sound;
    const char* detectedKey;
    int icon;
    int tipId;
    int dialogId;
};

// The user's answer about the item in the alert context, or the reject
// answer without asking when alerts are suppressed. -1 (no dialog) is
// neither answer: the item stays unknown until the next due pass.
int AskAboutItem(const AlertLook& look, const char* program)
{
    if (Suppressed()) return kAnswerReject;
    PlayAlertSound(look.sound);
    StampDetected(program, look.detectedKey);
    SetTrayState(look.icon, look.tipId);
    return ShowAlert(look.dialogId);
}

// ---- the checks of the type-coded approval stores ------------------------

// How a rejected item is undone. `item` still has its place in the list.
using RejectAction = void (*)(const Item& item);

void RejectIEHelper(const Item& item)
{
    // A running helper host holds the file; it goes without being asked.
    if (item.path[0]) EndProcessByPath(item.path, item.title, 0);
    if (RemoveIEHelper(item.path, item.index) == 0) TraceLog("ERROR RemoveIEHelper - checks", item.title);
    RemoveApproval(kStoreIEHelpers, item.title);
}

void RejectTask(const Item& item)
{
    if (FAILED(RemoveScheduledTask(item.title))) TraceLog("ERROR RemoveScheduledTask - checks", item.title);
    RemoveApproval(kStoreTasks, item.title);
}

// A rejected service is recorded all the same: it stays disabled, and the
// user is not asked about it again on every pass.
void RejectService(const Item& item)
{
    if (!SetServiceStartType(item.title, SERVICE_DISABLED))
        TraceLog("ERROR SetServiceStartType - checks", item.title);
    SendServiceControl(item.title, SERVICE_CONTROL_STOP);
    WriteApproval(kStoreServices, item.title, item.type);
}

int ListServices()
{
    BuildServiceList();
    return ItemCount();
}

struct StoreCheck {
    ApprovalStore store;
    int (*build)();
    AlertLook look;
    bool typeInContext;       // the context carries the item's type code, else 0
    const char* approvedPart; // a title containing it counts as approved
    RejectAction reject;
};

constexpr StoreCheck kIEHelperCheck = {
    kStoreIEHelpers, BuildIEHelperList,
    {kSoundIEHelper, kDetectedIEHelperKey, kIconVerifyB, IDS_TIP_IE_HELPERS, IDD_IEHELPER_ALERT},
    false, nullptr, RejectIEHelper,
};
// McAfee's own update tasks are trusted without asking and never recorded.
constexpr StoreCheck kTaskCheck = {
    kStoreTasks, BuildTaskList,
    {kSoundTask, kDetectedTasksKey, kIconAlert, IDS_TIP_SCHEDULED_TASKS, IDD_TASK_ALERT},
    false, kMcAfeeTask, RejectTask,
};
constexpr StoreCheck kServiceCheck = {
    kStoreServices, ListServices,
    {kSoundStartup, kDetectedServicesKey, kIconAlert, IDS_TIP_STARTUP, IDD_SERVICE_ALERT},
    true, nullptr, RejectService,
};

void CheckStoreItem(const StoreCheck& check, const Item& item)
{
    if (check.approvedPart && ContainsNoCase(item.title, check.approvedPart)) return;
    if (IsApproved(check.store, item.title)) return;
    SetAlertContext(check.typeInContext ? item.type : 0, item.title, item.path);
    const int answer = AskAboutItem(check.look, item.path);
    if (answer == kAnswerReject) {
        check.reject(item);
    } else if (answer == kAnswerApprove) {
        WriteApproval(check.store, item.title, item.type);
    }
}

void RunStoreCheck(const StoreCheck& check)
{
    check.build();
    // Rejecting leaves the list as it was listed, so the walk keeps its places.
    for (int i = 0; i < ItemCount(); ++i) {
        const Item item = ReadItem(i);
        if (item.title[0]) CheckStoreItem(check, item);
    }
}

// ---- start, search and desktop pages --------------------------------------

struct PageRow {
    int keyId;             // the browser's key under HKEY_CURRENT_USER
    int valueId;           // its value's name, or 0 for `valueName`
    const char* valueName;
    const char* remembered;
    int messageId;
};
constexpr PageRow kPageRows[] = {
    {IDS_IE_MAIN_KEY, IDS_START_PAGE_VALUE, nullptr, "StartPage", IDS_START_PAGE_CHANGED},
    {IDS_IE_MAIN_KEY, IDS_SEARCH_PAGE_VALUE, nullptr, "SearchPage", IDS_SEARCH_PAGE_CHANGED},
    {IDS_DESKTOP_COMPONENT_KEY, 0, "Source", "SourcePage", IDS_DESKTOP_PAGE_CHANGED},
};
static_assert(std::size(kPageRows) == 3);

// The text as stored; a value that is missing, not text or too long reads
// as "".
void ReadPage(const char* key, const char* name, char (&out)[kPageLen])
{
    if (ReadRegText(HKEY_CURRENT_USER, key, name, out, kRegTextRaw) < 0) out[0] = '\0';
}

int WritePage(const char* key, const char* name, const char* page)
{
    if (SetRegValue(HKEY_CURRENT_USER, key, name, page)) return 1;
    TraceLog("ERROR RegOpenKeyEx:SetRegValue", key);
    return 0;
}

// "http://a/" and "http://a" are one page.
bool SamePage(const char* a, const char* b)
{
    char left[kPageLen];
    char right[kPageLen];
    StrCopy(left, a);
    StrCopy(right, b);
    for (char* page : {left, right}) {
        const size_t n = strlen(page);
        if (n > 0 && page[n - 1] == '/') page[n - 1] = '\0';
    }
    return lstrcmpiA(left, right) == 0;
}

// Fills each "%s" of a message from the string table with the next text;
// "%%" is a percent sign and every other character is copied as it is. The
// template may come from a translation in the registry: it is never handed
// to a formatting function, and the texts are never read as one. Cut at the
// end of out.
void FillMessage(const char* message, const char* const* texts, size_t count, char (&out)[kPageMessageLen])
{
    size_t used = 0;
    size_t next = 0;
    auto put = [&](char c) {
        if (used + 1 < kPageMessageLen) out[used++] = c;
    };
    for (const char* at = message; *at; ++at) {
        if (at[0] == '%' && at[1] == 's') {
            for (const char* t = next < count ? texts[next] : ""; *t; ++t) put(*t);
            ++next;
            ++at;
        } else if (at[0] == '%' && at[1] == '%') {
            put('%');
            ++at;
        } else {
            put(*at);
        }
    }
    out[used] = '\0';
}

void CheckPage(const PageRow& row)
{
    char key[kPathLen];
    char valueName[kPathLen];
    if (LoadLocalizedString(row.keyId, key) <= 0) return;
    if (row.valueId != 0) {
        if (LoadLocalizedString(row.valueId, valueName) <= 0) return;
    } else {
        StrCopy(valueName, row.valueName);
    }
    char current[kPageLen];
    char remembered[kPageLen];
    ReadPage(key, valueName, current);
    ReadPage(kVelmoraKey, row.remembered, remembered);
    if (!remembered[0]) {
        if (current[0]) WritePage(kVelmoraKey, row.remembered, current);
        return;
    }
    if (SamePage(current, remembered)) return;
    int answer = IDNO;
    if (!Suppressed()) {
        SetTrayState(kIconAlert, IDS_TIP_PAGES);
        char message[kPageMessageLen];
        char text[kPageMessageLen];
        LoadLocalizedString(row.messageId, message);
        const char* const pages[] = {current, remembered};
        FillMessage(message, pages, std::size(pages), text);
        answer = AskAlertQuestion(text);
    }
    if (answer == IDYES) {
        WritePage(kVelmoraKey, row.remembered, current);
    } else if (answer == IDNO) {
        WritePage(key, valueName, remembered);
    }
}

// ---- file types -------------------------------------------------------------

// The approved association comes back; a failure leaves the change in place
// and alerts again on the next due pass.
void RestoreFileType(const char* extension, int kind)
{
    if (!RestoreAssociation(extension, kind)) TraceLog("ERROR RestoreAssociation - checks", extension);
}

void CheckFileTypeItem(int index)
{
    char extension[kDetailLen];
    char current[kPathLen + 1];
    char approved[kPathLen];
    GetItemDetail(index, extension, kDetailLen);
    GetItemPath(index, current);
    const int kind = GetItemFlag(index);
    if (!extension[0] || !CheckAssociation(extension, kind, current, approved)) return;
    SetAlertContext(kTypeFileType, extension, approved);
    StrCopy(GetAlertContext().newPath, current);
    if (GetMonitorState().lockFileTypes != 0) {
        RestoreFileType(extension, kind);
        return;
    }
    int answer = kAnswerReject;
    if (!Suppressed()) {
        PlayAlertSound(kSoundFileType);
        StampDetected(approved, kDetectedFileTypesKey);
        StampDetected(current, kDetectedFileTypesKey);
        SetTrayState(kIconAlert, IDS_TIP_FILE_TYPES);
        answer = ShowAlert(IDD_FILETYPE_ALERT);
    }
    if (answer == kAnswerReject) {
        RestoreFileType(extension, kind);
    } else if (answer == kAnswerApprove && !StoreAssociation(extension, kind)) {
        TraceLog("ERROR StoreAssociation - checks", extension);
    }
}

// ---- hidden files -----------------------------------------------------------

void CheckHiddenItem(const Item& item)
{
    if (IsApproved(kStoreHidden, item.path)) return;
    // Suppressed: nothing is recorded, so the file is asked about later.
    if (Suppressed()) return;
    SetAlertContext(kTypeHidden, item.title, item.path);
    const AlertLook look = {kSoundIEHelper, kDetectedHiddenKey, kIconVerifyB, IDS_TIP_IE_HELPERS,
                            IDD_HIDDEN_ALERT};
    const int answer = AskAboutItem(look, item.path);
    if (answer == kAnswerReject) {
        if (!MoveHiddenFileToVault(item.title, item.path)) TraceLog("ERROR MoveHiddenFileToVault - checks", item.path);
    } else if (answer >= 0) {
        WriteApproval(kStoreHidden, item.path, kTypeHidden);
    }
}

}  // namespace

void CheckIEHelpers()
{
    if (GetMonitorState().checks[kCheckIEHelpers].reset < 1) return;
    RunStoreCheck(kIEHelperCheck);
}

void CheckHiddenFiles()
{
    BuildHiddenFileList();
    for (int i = 0; i < ItemCount(); ++i) {
        const Item item = ReadItem(i);
        if (item.path[0]) CheckHiddenItem(item);
    }
}

void CheckSystemFiles()
{
    // Not compared on major version 6 (Vista and 7).
    if (GetWindowsMajorVersion() == 6) return;
    VerifySystemFiles();
}

void CheckStartPages()
{
    for (const PageRow& row : kPageRows) CheckPage(row);
}

void CheckFileTypes()
{
    ReloadUpdatedOptions();
    if (GetMonitorState().checks[kCheckFileType].reset < 1) return;
    BuildFileTypeList();
    for (int i = 0; i < ItemCount(); ++i) CheckFileTypeItem(i);
}

void CheckScheduledTasks()
{
    if (!IsSchedulerRunning()) return;
    RunStoreCheck(kTaskCheck);
    // The Windows 9x taskbar does not redraw the agent's icon by itself.
    if (IsNtPlatform()) return;
    if (HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr)) {
        InvalidateRect(taskbar, nullptr, TRUE);
        UpdateWindow(taskbar);
    }
}

void CheckRestartCommands()
{
    if (IsNtPlatform()) return;
    CheckCounter& counter = GetMonitorState().checks[kCheckWinInit];
    if (Suppressed()) {
        counter.countdown = 0;
        return;
    }
    counter.countdown = counter.reset;
    if (!ShowRestartCommands(1)) return;
    // Once told, the user is not asked again in this process's life.
    counter.countdown = kWinInitParked;
    char text[512];
    LoadLocalizedString(IDS_RESTART_COMMANDS_ADDED, text);
    if (AskAlertQuestion(text) == IDYES) ShowRestartCommandsDialog(GetMainWindow());
}

void CheckServices()
{
    RunStoreCheck(kServiceCheck);
}

void FilterCookies()
{
    const int mode = CookieModeOfBrowser(GetBrowserKind());
    SetCookieMode(mode);
    // A Mozilla-family file cannot be changed while the browser runs: the
    // explorer writes its filtered copy and the next B half puts it in place.
    if (mode == kCookieModeIE) BuildCookieList(1);
}

void FilterMozillaCookies()
{
    if (GetCookieMode() != kCookieModeMozilla) return;
    char folder[MAX_PATH];
    if (!GetMozillaCookieFolder(folder)) return;
    if (ApplyCookieFileUpdate() != 1) return;
    SetCookieFileUpdate(0);
    PurgeRemovedCookieNuts();
}

// Only the explorer's cookie page records cookies: the same cookie asks
// again on the next due pass until the user has looked at it there.
void CheckNewCookies()
{
    BuildCookieList(0);
    for (int i = 0; i < ItemCount(); ++i) {
        char title[kPathLen + 1];
        GetItemTitle(i, title);
        if (!title[0] || IsApproved(kStoreCookies, title)) continue;
        if (Suppressed()) return;
        SetTrayState(kIconAlert, IDS_TIP_NEW_COOKIES);
        PlayAlertSound(kSoundCookie);
        char text[512];
        LoadLocalizedString(IDS_NEW_COOKIES, text);
        if (AskAlertQuestion(text) == IDYES) StartExplorer("-COOKIES");
        return;
    }
}
