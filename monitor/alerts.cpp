// The alert dialogs and their sounds. Every alert is modal and
// owned by the hidden main window; while one is open the timer keeps ticking,
// so the alert-showing flag is what keeps the cycle from nesting a pass.
#include "monitor/monitor.h"
#include "resources/resource.h"

#include <mmsystem.h>
#include <shellapi.h>

#include <cstring>
#include <iterator>

namespace {

// ---------------------------------------------------------------------------
// Strings and fonts.

constexpr int IDS_STARTUP_MESSAGE = 7;
constexpr int IDS_CLOSE = 304;
constexpr int IDS_DELETE = 614;
constexpr int IDS_UNKNOWN = 616;
constexpr int IDS_VERSION_LABEL = 630;
constexpr int IDS_INFO_BUTTON = 641;
constexpr int IDS_TASK_MESSAGE = 692;
constexpr int IDS_IEHELPER_MESSAGE = 701;
constexpr int IDS_RESTART_NOTE = 702;
constexpr int IDS_ALERT_TITLE = 718;
constexpr int IDS_FILETYPE_LINE1 = 756;
constexpr int IDS_FILETYPE_LINE2 = 757;
constexpr int IDS_FILETYPE_LINE3 = 758;
constexpr int IDS_FILETYPE_LINE4 = 759;
constexpr int IDS_FILETYPE_TITLE = 760;
constexpr int IDS_RUN_EVERY_TIME = 765;
constexpr int IDS_RUN_ONCE = 766;
constexpr int IDS_RUN_WIN_INI = 767;
constexpr int IDS_RUN_SHORTCUT = 768;
constexpr int IDS_SERVICE_MESSAGE = 900;
constexpr int IDS_SERVICE_STATUS = 901;
constexpr int IDS_DELAYED_MESSAGE = 1022;
constexpr int IDS_DELAYED_TITLE = 1023;

// Page command of the general help document.
constexpr int kHelpTopicGeneral = 6051;
// An alert's lookup carries the item's type code raised by this, so that the
// information server can tell an alert's question from a list's.
constexpr int kLookupFromAlert = 1000;
// Type codes the alerts treat apart.
constexpr int kTypeHidden = 370;
constexpr int kTypeTask = 800;
constexpr int kTypeBho = 900;
constexpr int kTypeWinlogonNotify = 256;

struct FontTraits {
    using type = HFONT;
    static HFONT invalid() noexcept { return nullptr; }
    static void close(HFONT f) noexcept { DeleteObject(f); }
};
using UniqueFont = Unique<FontTraits>;

enum AlertFont { kNameFont, kPathFont, kExtensionFont, kFileNameFont, kFontCount };
struct FontRecipe {
    int height;
    int weight;
    BOOL underline;
    const char* face;
};
constexpr FontRecipe kFontRecipes[] = {
    {18, 500, FALSE, "Arial"},
    {14, 600, FALSE, "MS Sans Serif"},
    {18, 600, TRUE, "Verdana"},
    {14, 400, FALSE, "Arial"},
};
static_assert(std::size(kFontRecipes) == kFontCount);

// Made on first use and kept for the life of the process, as every alert
// uses the same few.
HFONT GetAlertFont(AlertFont kind)
{
    static UniqueFont fonts[kFontCount];
    UniqueFont& font = fonts[kind];
    if (!font) {
        const FontRecipe& r = kFontRecipes[kind];
        font = UniqueFont(CreateFontA(-r.height, 0, 0, 0, r.weight, FALSE, r.underline, FALSE,
                                      ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      DEFAULT_QUALITY, FF_SWISS, r.face));
    }
    return font.get();
}

void SetControlFont(HWND dialog, int control, AlertFont kind)
{
    if (HFONT font = GetAlertFont(kind))
        SendDlgItemMessageA(dialog, control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

// A localized text may come from a registry override, so it is never
// handed to a formatter: each "%s" in turn takes the next argument, and
// everything else is copied as it stands.
void FillPlaceholders(const char* pattern, const char* const* args, int count, char* out,
                      size_t capacity)
{
    size_t j = 0;
    int next = 0;
    for (size_t i = 0; pattern[i] != '\0' && j + 1 < capacity; ++i) {
        if (pattern[i] == '%' && pattern[i + 1] == 's' && next < count) {
            for (const char* a = args[next++]; *a != '\0' && j + 1 < capacity; ++a) out[j++] = *a;
            ++i;
            continue;
        }
        out[j++] = pattern[i];
    }
    out[j] = '\0';
}

void SetTitleText(HWND dialog, int stringId)
{
    char title[256];
    if (LoadLocalizedString(stringId, title) > 0) SetWindowTextA(dialog, title);
}

int FileExists(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return path[0] != '\0' && attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A "%d  %s" box of the last system error, in front of the alert.
void ShowErrorBox(HWND owner, DWORD error)
{
    char message[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   message, sizeof(message), nullptr);
    char text[600];
    StrFormatA(text, "%lu  %s", static_cast<unsigned long>(error), message);
    MessageBoxExA(owner, text, GetAppCaption(), MB_OK | MB_ICONINFORMATION | MB_TOPMOST,
                  static_cast<WORD>(MessageLanguageId()));
}

// ---------------------------------------------------------------------------
// The alerts.

enum AlertKind { kStartup, kDelayed, kIEHelper, kHidden, kTask, kService, kFileType, kFileChange };
constexpr int kNoHistory = -1;
constexpr int kItemType = 0;   // the history line takes the context's type code

struct PlacementNames {
    const char* x;
    const char* y;
    const char* dx;
    const char* dy;
};
constexpr PlacementNames kAlertPlacement = {"xPosAlert", "yPosAlert", "dxAlert", "dyAlert"};
constexpr PlacementNames kFileChangePlacement = {"xPosSysFiles", "yPosSysFiles", "dxSysFiles",
                                                 "dySysFiles"};

struct AlertDesc {
    int dialogId;
    AlertKind kind;
    int titleId;
    int messageId;       // into IDC_MESSAGE; 0 when the alert fills it otherwise
    int historyAction;   // written when the alert opens
    int historyType;
    int escapeAnswer;    // what Escape and the close box mean; 0 ignores them
    const PlacementNames* placement;
};
constexpr AlertDesc kAlerts[] = {
    {IDD_STARTUP_ALERT, kStartup, IDS_ALERT_TITLE, 0, 6, kItemType, kAnswerApprove,
     &kAlertPlacement},
    {IDD_DELAYED_ALERT, kDelayed, IDS_DELAYED_TITLE, IDS_DELAYED_MESSAGE, kNoHistory, 0,
     kAnswerApprove, &kAlertPlacement},
    {IDD_IEHELPER_ALERT, kIEHelper, IDS_ALERT_TITLE, IDS_IEHELPER_MESSAGE, 8, kTypeBho,
     kAnswerApprove, &kAlertPlacement},
    // "&Delete" is IDCANCEL itself, so Escape deletes as the button does.
    {IDD_HIDDEN_ALERT, kHidden, IDS_ALERT_TITLE, IDS_NEW_HIDDEN_FILE_TEXT, 28, kTypeHidden,
     kAnswerReject, &kAlertPlacement},
    {IDD_TASK_ALERT, kTask, IDS_ALERT_TITLE, IDS_TASK_MESSAGE, 7, kTypeTask, kAnswerApprove,
     &kAlertPlacement},
    // A service runs without anyone logged in: walking away from its alert
    // must not leave it installed.
    {IDD_SERVICE_ALERT, kService, IDS_ALERT_TITLE, 0, kNoHistory, 0, kAnswerReject,
     &kAlertPlacement},
    {IDD_FILETYPE_ALERT, kFileType, IDS_FILETYPE_TITLE, 0, kNoHistory, 0, kAnswerApprove,
     &kAlertPlacement},
    // Only an accept or a reject may end it: the file's fate must be decided.
    {IDD_SYSFILE_ALERT, kFileChange, IDS_FILE_CHANGE_TITLE, 0, kNoHistory, 0, 0,
     &kFileChangePlacement},
};

const AlertDesc* FindAlert(int dialogId)
{
    for (const AlertDesc& desc : kAlerts)
        if (desc.dialogId == dialogId) return &desc;
    return nullptr;
}

// One open alert: what it is, and the icons it shows until it ends.
struct AlertRun {
    const AlertDesc* desc = nullptr;
    UniqueIcon icons[2];
};

// The startup alert's memory across alerts: a program that comes back after
// every answer is the sign of one that repairs its own entry.
struct RepeatGuard {
    char lastPath[kPathLen];
    int count;
};
RepeatGuard g_repeat = {};

// The browser (or editor) must be able to come in front of the alert.
void DropTopmost(HWND dialog)
{
    SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void LookUp(HWND dialog, const char* path)
{
    const AlertContext& context = GetAlertContext();
    OnlineLookup(context.typeCode + kLookupFromAlert, path, context.title);
    DropTopmost(dialog);
}

// The program's first icon, when the program is there to give one.
void ShowProgramIcon(HWND dialog, int control, const char* program, UniqueIcon& holder)
{
    if (!FileExists(program)) return;
    holder = UniqueIcon(ExtractIconA(GetModuleHandleA(nullptr), program, 0));
    // ExtractIconA gives 1 for a file without icons; that is no handle.
    if (reinterpret_cast<INT_PTR>(holder.get()) == 1) {
        holder.release();
        return;
    }
    if (holder) SendDlgItemMessageA(dialog, control, STM_SETICON,
                                    reinterpret_cast<WPARAM>(holder.get()), 0);
}

void SetFieldIfAny(HWND dialog, int control, const char* text)
{
    if (text[0] != '\0') SetDlgItemTextA(dialog, control, text);
}

// The explanation the startup message gets for where the entry lives.
int StartupExplanation(int typeCode)
{
    constexpr int kRunOnceKinds[] = {2, 3, 5, 6, 12, 13, 15, 16, 22, 23, 25, 26};
    for (int code : kRunOnceKinds)
        if (code == typeCode) return IDS_RUN_ONCE;
    if (typeCode == 100 || typeCode == 101) return IDS_RUN_WIN_INI;
    if (typeCode == 200) return IDS_RUN_SHORTCUT;
    return IDS_RUN_EVERY_TIME;
}

// The system's own logon, shell and hook entries are named by where they
// sit: their product name would be the operating system's.
const char* StartupLocationLabel(int typeCode)
{
    struct Label {
        int code;
        const char* text;
    };
    constexpr Label kLabels[] = {
        {250, "WinLogon:UserInit"}, {251, "WinLogon:Shell"},   {252, "ObjectDelayLoad"},
        {253, "SharedTaskScheduler"}, {255, "AppInit_DLLs"},
    };
    for (const Label& l : kLabels)
        if (l.code == typeCode) return l.text;
    return nullptr;
}

void InitStartupFields(HWND dialog, const VersionRecord& record)
{
    const AlertContext& context = GetAlertContext();
    char pattern[1024];
    if (LoadLocalizedString(IDS_STARTUP_MESSAGE, pattern) > 0) {
        char explanation[512] = "";
        LoadLocalizedString(StartupExplanation(context.typeCode), explanation);
        const char* args[] = {explanation};
        char message[1536];
        FillPlaceholders(pattern, args, 1, message, sizeof(message));
        SetDlgItemTextA(dialog, IDC_MESSAGE, message);
    }
    SetControlFont(dialog, IDC_MESSAGE, kPathFont);

    const char* name = record.field[kProductName];
    const char* label = StartupLocationLabel(context.typeCode);
    SetDlgItemTextA(dialog, IDC_NAME, name[0] != '\0' && label ? label : name);

    const HWND check = GetDlgItem(dialog, IDC_CHECK);
    EnableWindow(check, FALSE);
    ShowWindow(check, SW_HIDE);

    if (lstrcmpiA(context.path, g_repeat.lastPath) == 0) ++g_repeat.count;
    StrCopy(g_repeat.lastPath, context.path);
}

// The start type as the service's own key says it.
int ServiceStartTypeText(const char* displayName, char* out, int capacity)
{
    int stringId = IDS_UNKNOWN;
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
    char keyName[256];
    DWORD size = sizeof(keyName);
    char keyPath[320];
    if (manager && GetServiceKeyNameA(manager.get(), displayName, keyName, &size) &&
        StrFormatA(keyPath, "%s\\%s", kServicesKey, keyName) == 0) {
        switch (GetRegWord(HKEY_LOCAL_MACHINE, keyPath, "Start")) {
        case SERVICE_AUTO_START:
            stringId = IDS_START_AUTOMATIC;
            break;
        case SERVICE_DEMAND_START:
            stringId = IDS_START_MANUAL;
            break;
        case SERVICE_DISABLED:
            stringId = IDS_START_DISABLED;
            break;
        default:
            break;
        }
    }
    return LoadLocalizedString(stringId, out, capacity);
}

void InitServiceFields(HWND dialog)
{
    const AlertContext& context = GetAlertContext();
    SetDialogText(dialog, IDS_SERVICE_MESSAGE, IDC_SERVICE_MESSAGE);
    char pattern[512];
    if (LoadLocalizedString(IDS_SERVICE_STATUS, pattern) > 0) {
        char startType[256] = "";
        char state[256] = "";
        ServiceStartTypeText(context.title, startType, sizeof(startType));
        GetServiceStateText(context.title, state);
        const char* args[] = {startType, state};
        char status[1024];
        FillPlaceholders(pattern, args, 2, status, sizeof(status));
        SetDlgItemTextA(dialog, IDC_SERVICE_STATUS, status);
    }
}

// A rejected service is stopped and kept from starting again; each step
// that took effect goes to the history so that it can be undone.
void RejectService(const VersionRecord& record, const char* program)
{
    const AlertContext& context = GetAlertContext();
    const auto history = [&](int action) {
        WriteHistory(record.field[kProductName], program, record.field[kFileDescription],
                     context.typeCode, action);
    };
    // The state it was in, so that an undo knows what to bring back:
    // start pending, stopping or running give actions 18, 19 and 20.
    const int state = static_cast<int>(static_cast<DWORD>(QueryServiceState(context.title)) >> 16);
    if (state >= SERVICE_START_PENDING && state <= SERVICE_RUNNING) history(16 + state);
    if (SendServiceControl(context.title, SERVICE_CONTROL_STOP)) history(9);
    if (SetServiceStartType(context.title, SERVICE_DISABLED)) history(12);
}

// What the program alerts show of the context's program.
void InitProgramAlert(HWND dialog, AlertRun& run)
{
    const AlertDesc& desc = *run.desc;
    const AlertContext& context = GetAlertContext();
    if (desc.messageId) SetDialogText(dialog, desc.messageId, IDC_MESSAGE);
    SetDialogText(dialog, IDS_VERSION_LABEL, IDC_VERSION_LABEL);

    char program[kPathLen];
    NormalizeProgramPath(context.path, program);
    VersionRecord record;
    GetVersionStrings(program, &record);
    ShowProgramIcon(dialog, IDC_PROGRAM_ICON, program, run.icons[0]);

    SetDlgItemTextA(dialog, IDC_PATH, context.path);
    SetFieldIfAny(dialog, IDC_VERSION, record.field[kProductVersion]);
    SetFieldIfAny(dialog, IDC_COMPANY, record.field[kCompanyName]);
    SetFieldIfAny(dialog, IDC_DESCRIPTION, record.field[kFileDescription]);
    SetFieldIfAny(dialog, IDC_COPYRIGHT, record.field[kCopyright]);

    switch (desc.kind) {
    case kStartup:
        InitStartupFields(dialog, record);
        break;
    case kTask: {
        // A task's title is its work-item file name; without ".job" it reads
        // as the user named it.
        char name[kPathLen];
        StrCopy(name, context.title);
        const size_t length = strlen(name);
        if (length > 3) name[length - 4] = '\0';
        SetDlgItemTextA(dialog, IDC_NAME, length > 3 ? name : record.field[kProductName]);
        char nextRun[256] = "";
        GetTaskNextRunTime(context.title, nextRun);
        SetDlgItemTextA(dialog, IDC_TASK_NEXT_RUN, nextRun);
        break;
    }
    case kService:
        SetDlgItemTextA(dialog, IDC_NAME, context.title);
        InitServiceFields(dialog);
        break;
    case kIEHelper:
    case kHidden:
        SetDlgItemTextA(dialog, IDC_NAME, context.title);
        break;
    default:
        SetDlgItemTextA(dialog, IDC_NAME, record.field[kProductName]);
        break;
    }
    SetControlFont(dialog, IDC_NAME, kNameFont);
    SetControlFont(dialog, IDC_PATH, kPathFont);

    if (desc.historyAction != kNoHistory) {
        const int type = desc.historyType == kItemType ? context.typeCode : desc.historyType;
        WriteHistory(record.field[kProductName], program, record.field[kFileDescription], type,
                     desc.historyAction);
    }
}

// One program block of the file type alert: the approved program above, the
// new one below.
struct FileTypeBlock {
    int icon, name, company, path;
};
constexpr FileTypeBlock kOldBlock = {IDC_OLD_ICON, IDC_OLD_NAME, IDC_OLD_COMPANY, IDC_OLD_PATH};
constexpr FileTypeBlock kNewBlock = {IDC_NEW_ICON, IDC_NEW_NAME, IDC_NEW_COMPANY, IDC_NEW_PATH};

void FillFileTypeBlock(HWND dialog, const FileTypeBlock& block, const char* command,
                       UniqueIcon& icon)
{
    char program[kPathLen];
    NormalizeProgramPath(command, program);
    VersionRecord record;
    GetVersionStrings(program, &record);
    ShowProgramIcon(dialog, block.icon, program, icon);
    SetDlgItemTextA(dialog, block.name, record.field[kProductName]);
    SetDlgItemTextA(dialog, block.company, record.field[kCompanyName]);
    SetDlgItemTextA(dialog, block.path, command);
    SetControlFont(dialog, block.name, kNameFont);
}

void InitFileTypeAlert(HWND dialog, AlertRun& run)
{
    const AlertContext& context = GetAlertContext();
    SetDialogText(dialog, IDS_FILETYPE_LINE1, IDC_LINE1);
    SetDialogText(dialog, IDS_FILETYPE_LINE2, IDC_PATH);
    SetDialogText(dialog, IDS_FILETYPE_LINE3, IDC_LINE3);
    SetDialogText(dialog, IDS_FILETYPE_LINE4, IDC_LINE4);
    SetDlgItemTextA(dialog, IDC_EXTENSION, context.title);
    SetControlFont(dialog, IDC_EXTENSION, kExtensionFont);
    FillFileTypeBlock(dialog, kOldBlock, context.path, run.icons[0]);
    FillFileTypeBlock(dialog, kNewBlock, context.newPath, run.icons[1]);
}

void InitFileChangeAlert(HWND dialog)
{
    const AlertContext& context = GetAlertContext();
    SetDialogText(dialog, IDS_FILE_CHANGE_TEXT, IDC_LINE1);
    SetDialogText(dialog, IDS_FILE_CHANGE_ACCEPT, IDC_PATH);
    SetDialogText(dialog, IDS_FILE_CHANGE_REJECT, IDC_LINE3);
    SetDialogText(dialog, IDS_FILE_CHANGE_FILENAME, IDC_FILENAME_LABEL);
    SetDialogText(dialog, IDS_FILE_CHANGE_LOCATION, IDC_LOCATION_LABEL);
    SetControlFont(dialog, IDC_LINE1, kNameFont);
    SetDlgItemTextA(dialog, IDC_FILE_NAME, context.title);
    SetControlFont(dialog, IDC_FILE_NAME, kFileNameFont);
    SetDlgItemTextA(dialog, IDC_FILE_LOCATION, context.location);
    char key[kPathLen + 64];
    char comment[1024] = "";
    if (StrFormatA(key, "%s\\%s", kSysfilesKey, context.title) == 0)
        ReadRegText(HKEY_LOCAL_MACHINE, key, "Comment", comment, kRegTextCut);
    SetDlgItemTextA(dialog, IDC_LINE4, comment);
}

// Notepad shows either version of the file; the alert stays for the answer.
void ViewFile(HWND dialog, const char* path)
{
    DropTopmost(dialog);
    if (!FileExists(path)) {
        ShowErrorBox(dialog, ERROR_FILE_NOT_FOUND);
        return;
    }
    char quoted[kPathLen + 2];
    StrFormatA(quoted, "\"%s\"", path);
    const auto started = reinterpret_cast<INT_PTR>(
        ShellExecuteA(dialog, "open", "notepad.exe", quoted, nullptr, SW_SHOWNORMAL));
    if (started > 32) return;
    // The shell's own codes up to 32 are Windows error codes where they matter.
    const DWORD error = GetLastError();
    ShowErrorBox(dialog, error != 0 ? error : static_cast<DWORD>(started));
}

// Accept and reject end the alert with 6 or 7 when the file was copied, and
// with 0 after telling the user why it was not.
void DecideFileChange(HWND dialog, int answer)
{
    const AlertContext& context = GetAlertContext();
    const int stop = IsDlgButtonChecked(dialog, IDC_CHECK) == BST_CHECKED;
    const int copied = answer == kAnswerApprove
                           ? AcceptFileChange(context.title, context.location, stop)
                           : RejectFileChange(context.title, context.location, stop);
    if (!copied) ShowSystemError();
    EndDialog(dialog, copied ? answer : 0);
}

int OnFileChangeCommand(HWND dialog, int command)
{
    char copy[kPathLen] = "";
    switch (command) {
    case IDC_VIEW_NEW:
        ViewFile(dialog, GetAlertContext().location);
        return 1;
    case IDC_VIEW_PREVIOUS:
        GetMonitoredCopyPath(GetAlertContext().title, copy);
        ViewFile(dialog, copy);
        return 1;
    case IDC_ACCEPT:
        DecideFileChange(dialog, kAnswerApprove);
        return 1;
    case IDC_REJECT:
        DecideFileChange(dialog, kAnswerReject);
        return 1;
    default:
        return command == IDCANCEL;
    }
}

void ForgetRepeats()
{
    g_repeat = RepeatGuard{};
}

// The startup alert's answers. A program alerted three times in a row is
// disabled whatever the answer, and the help page tells the user why; it
// opens once the alert has gone, so that the alert does not hide it.
void EndStartupAlert(HWND dialog, int answer)
{
    const bool repeated = g_repeat.count >= 2;
    if (!repeated) {
        // A Winlogon notification package is never deleted, only parked.
        const bool notifyPackage = GetAlertContext().typeCode == kTypeWinlogonNotify;
        EndDialog(dialog, answer == kAnswerReject && notifyPackage ? kAnswerDisable : answer);
        return;
    }
    ForgetRepeats();
    // It will only come back: the rest of this pass rejects without asking.
    if (answer == kAnswerReject) GetMonitorState().hideAlerts = 2;
    EndDialog(dialog, kAnswerDisable);
    OpenHelpPage(kHelpTopicGeneral);
}

// The answer a program alert ends with for a button; 0 for other commands.
int ProgramAlertAnswer(const AlertDesc& desc, int command)
{
    switch (command) {
    case IDYES:
    case IDOK:
        return kAnswerApprove;
    case IDNO:
        return kAnswerReject;
    case IDCANCEL:
        return desc.escapeAnswer;
    default:
        return 0;
    }
}

void EndProgramAlert(HWND dialog, const AlertDesc& desc, int answer)
{
    if (desc.kind == kStartup) {
        EndStartupAlert(dialog, answer);
        return;
    }
    if (desc.kind == kService && answer == kAnswerReject) {
        const AlertContext& context = GetAlertContext();
        char program[kPathLen];
        NormalizeProgramPath(context.path, program);
        VersionRecord record;
        GetVersionStrings(program, &record);
        RejectService(record, program);
    }
    EndDialog(dialog, answer);
}

int OnAlertCommand(HWND dialog, const AlertDesc& desc, int command)
{
    if (desc.kind == kFileChange) return OnFileChangeCommand(dialog, command);
    switch (command) {
    case IDC_INFO:
    case IDC_OLD_INFO:
        LookUp(dialog, GetAlertContext().path);
        return 1;
    case IDC_NEW_INFO:
        LookUp(dialog, GetAlertContext().newPath);
        return 1;
    default:
        break;
    }
    const int answer = ProgramAlertAnswer(desc, command);
    if (answer == 0) return 0;
    EndProgramAlert(dialog, desc, answer);
    return 1;
}

INT_PTR OnAlertInit(HWND dialog, AlertRun& run)
{
    const AlertDesc& desc = *run.desc;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&run));
    SetTitleText(dialog, desc.titleId);
    SetDialogText(dialog, IDS_INFO_BUTTON, IDC_INFO);
    if (desc.kind == kFileType) {
        InitFileTypeAlert(dialog, run);
    } else if (desc.kind == kFileChange) {
        InitFileChangeAlert(dialog);
    } else {
        InitProgramAlert(dialog, run);
    }
    RestorePlacement(dialog, desc.placement->x, desc.placement->y, desc.placement->dx,
                     desc.placement->dy);
    if (desc.kind != kFileChange) return TRUE;
    SetFocus(GetDlgItem(dialog, IDC_ACCEPT));
    return FALSE;
}

INT_PTR CALLBACK AlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) return OnAlertInit(dialog, *reinterpret_cast<AlertRun*>(lParam));
    auto* run = reinterpret_cast<AlertRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!run) return FALSE;
    switch (message) {
    case WM_COMMAND:
        return OnAlertCommand(dialog, *run->desc, LOWORD(wParam));
    case WM_DESTROY: {
        const PlacementNames& p = *run->desc->placement;
        SavePlacement(dialog, p.x, p.y, p.dx, p.dy);
        return FALSE;
    }
    default:
        return FALSE;
    }
}

// The monitored system files' change alert, called by their comparison.
int AlertFileChange(const char* name, const char* path)
{
    PlayAlertSound(kSoundSystemFile);
    SetTrayState(kIconAlert, IDS_TIP_HOSTS);
    ClearAlertContext();
    AlertContext& context = GetAlertContext();
    StrCopy(context.title, name);
    StrCopy(context.location, path);
    return ShowAlert(IDD_SYSFILE_ALERT) > 0 ? 1 : 0;
}

// ---------------------------------------------------------------------------
// The restart-commands dialog.

void PlaceRestartCommands(HWND dialog)
{
    RECT rect = {};
    GetWindowRect(dialog, &rect);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 3;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK RestartCommandsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetTitleText(dialog, IDS_RESTART_COMMANDS_TITLE);
        SetDialogText(dialog, IDS_DELETE, IDC_RESTART_DELETE);
        SetDialogText(dialog, IDS_CLOSE, IDOK);
        SetDialogText(dialog, IDS_RESTART_NOTE, IDC_RESTART_NOTE);
        SetDlgItemTextA(dialog, IDC_RESTART_TEXT, reinterpret_cast<const char*>(lParam));
        PlaceRestartCommands(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_RESTART_DELETE:
        DeleteRestartCommands();
        EndDialog(dialog, IDC_RESTART_DELETE);
        return TRUE;
    case IDOK:
    case IDCANCEL:
        EndDialog(dialog, IDOK);
        return TRUE;
    default:
        return FALSE;
    }
}

// ---------------------------------------------------------------------------
// Sounds.

constexpr const char* kSoundEvents[] = {
    "Open", "Startup Alert", "Cookie Alert", "Task Alert", "IE Helper", "FileType Alert",
    "SystemFile Alert",
};
static_assert(std::size(kSoundEvents) == kSoundSystemFile + 1);

}  // namespace

int AlertSoundFile(int event, char (&out)[kPathLen])
{
    out[0] = '\0';
    if (event < 0 || event > kSoundSystemFile) event = kSoundOpen;
    char key[128];
    StrFormatA(key, "AppEvents\\Schemes\\Apps\\Velmora\\%s\\.current", kSoundEvents[event]);
    char raw[1024];
    if (ReadRegText(HKEY_CURRENT_USER, key, "", raw, kRegTextRaw) <= 0) return 0;
    char expanded[kPathLen];
    const DWORD length = ExpandEnvironmentStringsA(raw, expanded, sizeof(expanded));
    if (length == 0 || length > sizeof(expanded)) return 0;
    // A scheme that names a file no longer there gets the program's own
    // chime rather than the system's default sound.
    if (!FileExists(expanded)) return 0;
    StrCopy(out, expanded);
    return static_cast<int>(strlen(out));
}

void PlayAlertSound(int event)
{
    if (GetMonitorState().sound <= 0) return;
    char file[kPathLen];
    if (AlertSoundFile(event, file) > 0) {
        PlaySoundA(file, nullptr, SND_FILENAME | SND_NOWAIT);
        return;
    }
    PlaySoundA(MAKEINTRESOURCEA(IDR_ALERT_WAVE), GetModuleHandleA(nullptr),
               SND_RESOURCE | SND_NOWAIT);
}

int ShowAlert(int dialogId)
{
    const AlertDesc* desc = FindAlert(dialogId);
    if (!desc) {
        ClearAlertContext();
        return -1;
    }
    MonitorState& state = GetMonitorState();
    state.alertShowing = true;
    state.interaction = true;
    SetTraceModalPause();
    AlertRun run;
    run.desc = desc;
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialogId), GetMainWindow(),
                        AlertProc, reinterpret_cast<LPARAM>(&run));
    state.alertShowing = false;
    ClearAlertContext();
    return result == -1 ? -1 : static_cast<int>(result);
}

int AskAlertQuestion(const char* text)
{
    MonitorState& state = GetMonitorState();
    state.alertShowing = true;
    state.interaction = true;
    SetTraceModalPause();
    const int answer = MessageBoxExA(GetMainWindow(), text, GetAppCaption(),
                                     MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST,
                                     static_cast<WORD>(MessageLanguageId()));
    state.alertShowing = false;
    return answer == IDYES ? IDYES : IDNO;
}

void ResetStartupRepeatGuard()
{
    ForgetRepeats();
}

void InstallAlertHandlers(HWND window)
{
    SetFileChangeAlert(AlertFileChange);
    SetRestartCommandsViewer(ShowRestartCommandsDialog, window);
}

void ShowRestartCommandsDialog(HWND owner)
{
    static char text[kRestartTextCapacity];
    if (ReadRestartCommands(text, sizeof(text)) == 0) {
        char message[512];
        LoadLocalizedString(IDS_NO_RESTART_COMMANDS, message);
        MessageBoxExA(owner, message, GetAppCaption(), MB_OK | MB_ICONINFORMATION | MB_TOPMOST,
                      static_cast<WORD>(MessageLanguageId()));
        return;
    }
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_RESTART_COMMANDS), owner,
                    RestartCommandsProc, reinterpret_cast<LPARAM>(text));
}
