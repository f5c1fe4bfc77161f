// The Options page: the system's switches, each written the moment it is
// clicked, the patrol times of the three areas that have no page of their
// own, and the buttons for the reports, the history, the HOSTS file and the
// delayed programs. The page has no list: the framework's activation calls
// its update hook, which shows the options as the registry holds them now.
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <iterator>

namespace {

constexpr int IDC_IMAGE_STARTPAGE = 1136;
constexpr int IDC_IMAGE_HOSTS = 1137;
constexpr int IDC_IMAGE_WININIT = 1138;
constexpr int IDC_LABEL_WININIT = 1139;
constexpr int IDC_AUTOSTART = 1017;
constexpr int IDC_SOUND = 1020;
constexpr int IDC_HISTORY = 1024;
constexpr int IDC_HIDE_ICON = 1025;
constexpr int IDC_LOCK_FILETYPES = 1026;
constexpr int IDC_CONFIRM_EXIT = 1027;
constexpr int IDC_ORIGINAL_ICON = 1201;
constexpr int IDC_PRIME_FORMAT = 1202;
constexpr int IDC_VIEW_HISTORY = 1104;
constexpr int IDC_VIEW_HOSTS = 1105;
constexpr int IDC_EXPORT_SETTINGS = 1106;
constexpr int IDC_RESTORE_DELAYED = 1107;
constexpr int IDC_REPORT_LOG = 1108;
constexpr int IDC_SCAN_LOG = 1109;
constexpr int IDC_SPREADSHEET = 1110;

constexpr int IDS_ICON_HIDDEN = 927;
// The monitor's command that removes (non-zero) or adds (zero) its icon.
constexpr int kMonitorIconCommand = 6053;
// A monitor that does not answer within this time must not hold the page.
constexpr UINT kMonitorAnswerMs = 5000;

constexpr ControlText kOptionsTexts[] = {
    {1049, 251},  {1051, 253},  {1139, 355}, {1140, 635}, {1141, 735}, {1017, 353}, {1020, 354},
    {1024, 709},  {1026, 928},  {1027, 749}, {1025, 974}, {1201, 1148}, {1202, 1150},
    {1108, 310},  {1110, 1145}, {1109, 1137}, {1104, 727}, {1105, 734}, {1107, 1125},
    {1106, 853},
};
static_assert(std::size(kOptionsTexts) == 20);

// An image that opens the patrol time of its area.
struct PatrolImage {
    int controlId;
    int titleId;   // the patrol dialog's title, which names the option
};
constexpr PatrolImage kPatrolImages[] = {
    {IDC_IMAGE_WININIT, 790}, {IDC_IMAGE_STARTPAGE, 791}, {IDC_IMAGE_HOSTS, 792}};
static_assert(std::size(kPatrolImages) == 3);

// A check box that is one option, stored as 0 or 1.
struct OptionBox {
    int controlId;
    const char* option;
    bool onAboveZero;   // the readers take only values above 0 as on
};
constexpr OptionBox kOptionBoxes[] = {
    {IDC_SOUND, "Sound", true},
    {IDC_HISTORY, "History", true},
    {IDC_LOCK_FILETYPES, "LockFileTypes", false},
    {IDC_CONFIRM_EXIT, "ConfirmExit", false},
    {IDC_PRIME_FORMAT, "PrimeFormat", false},
};
static_assert(std::size(kOptionBoxes) == 5);

bool Checked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void Check(HWND page, int id, bool on)
{
    CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED);
}

// The restart file exists on Windows 9x only; the original icon choice
// matters on NT only, where the shell draws the other one.
bool HasControlOnThisPlatform(int id)
{
    if (id == IDC_IMAGE_WININIT || id == IDC_LABEL_WININIT) return !IsNtPlatform();
    if (id == IDC_ORIGINAL_ICON) return IsNtPlatform();
    return true;
}

void InitOptions(HWND page)
{
    SetPageTexts(page, kOptionsTexts);
    for (int id : {IDC_IMAGE_WININIT, IDC_LABEL_WININIT, IDC_ORIGINAL_ICON})
        if (!HasControlOnThisPlatform(id)) ShowWindow(GetDlgItem(page, id), SW_HIDE);
    // The options as they are now, not as they were when the explorer started.
    InitExplorerValues();
}

void ShowPatrolImage(HWND page, const PatrolImage& image)
{
    if (!HasControlOnThisPlatform(image.controlId)) return;
    SetupMonitorTypeImage(page, image.controlId, PatrolBitmap(image.titleId));
}

// Activation (the update hook of a page without a list).
void ShowOptions(HWND page, HWND)
{
    for (const PatrolImage& image : kPatrolImages) ShowPatrolImage(page, image);
    for (const OptionBox& box : kOptionBoxes) {
        const int value = ReadOptionOrDefault(box.option);
        Check(page, box.controlId, box.onAboveZero ? value > 0 : value != 0);
    }
    Check(page, IDC_AUTOSTART, IsMonitorAutostart() != 0);
    // The monitor hides its icon for exactly 1.
    Check(page, IDC_HIDE_ICON, ReadOptionOrDefault("HideBarley") == 1);
    Check(page, IDC_ORIGINAL_ICON, ReadOptionOrDefault("TrayIcon") != IDI_NORMAL);
}

void RunPatrolImage(HWND page, const PatrolImage& image)
{
    const int minutes = ShowPatrolDialog(page, image.titleId);
    if (minutes >= 0) StorePatrolMinutes(image.titleId, minutes);
    ShowPatrolImage(page, image);
}

// Sent, not posted, so that the icon has gone or come back when the
// message below appears; a hung monitor is given up after a while.
void TellMonitorIcon(int hide)
{
    char monitorClass[64] = "";
    if (LoadLocalizedString(IDS_WINDOW_CLASS, monitorClass) <= 0) return;
    HWND monitor = FindWindowA(monitorClass, nullptr);
    if (!monitor) return;
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(monitor, WM_COMMAND, kMonitorIconCommand, hide, SMTO_ABORTIFHUNG | SMTO_NORMAL,
                        kMonitorAnswerMs, &answer);
}

void OnHideIcon(HWND page)
{
    const int hide = Checked(page, IDC_HIDE_ICON) ? 1 : 0;
    WriteOption("HideBarley", hide);
    TellMonitorIcon(hide);
    if (hide) ShowMessageDialog(page, IDS_ICON_HIDDEN);
}

// The box shows what the Run key holds afterwards: a refused write (no
// right to the machine's key) leaves it as it was.
void OnAutostart(HWND page)
{
    SetMonitorAutostart(Checked(page, IDC_AUTOSTART) ? 1 : 0);
    Check(page, IDC_AUTOSTART, IsMonitorAutostart() != 0);
}

// 1 when the id is one of the page's check boxes.
int RunCheckBox(HWND page, int id)
{
    for (const OptionBox& box : kOptionBoxes)
        if (box.controlId == id) WriteOption(box.option, Checked(page, id) ? 1 : 0);
    switch (id) {
    case IDC_AUTOSTART:
        OnAutostart(page);
        break;
    case IDC_HIDE_ICON:
        OnHideIcon(page);
        break;
    case IDC_ORIGINAL_ICON:
        WriteOption("TrayIcon", Checked(page, id) ? IDI_NORMAL_9X : IDI_NORMAL);
        break;
    case IDC_SOUND:
    case IDC_HISTORY:
    case IDC_LOCK_FILETYPES:
    case IDC_CONFIRM_EXIT:
    case IDC_PRIME_FORMAT:
        break;
    default:
        return 0;
    }
    WriteBackOptions();
    return 1;
}

void RestoreDelayedPrograms()
{
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    RestoreAllDelayed();
    SetCursor(previous);
}

int OptionsCommand(HWND page, int id)
{
    for (const PatrolImage& image : kPatrolImages) {
        if (image.controlId != id) continue;
        RunPatrolImage(page, image);
        return 1;
    }
    if (RunCheckBox(page, id)) return 1;
    switch (id) {
    case IDOK:
        // Enter: the page has no list whose item it could show.
        return 1;
    case IDC_REPORT_LOG:
        RunReportLog(page);
        return 1;
    case IDC_SPREADSHEET:
        RunSpreadsheetReport(page);
        return 1;
    case IDC_SCAN_LOG:
        RunScanLog(page);
        return 1;
    case IDC_EXPORT_SETTINGS:
        RunSettingsExport(page);
        return 1;
    case IDC_VIEW_HISTORY:
        ShowHistoryWindow(page);
        return 1;
    case IDC_VIEW_HOSTS:
        ViewHostsFile();
        return 1;
    case IDC_RESTORE_DELAYED:
        RestoreDelayedPrograms();
        return 1;
    default:
        return 0;
    }
}

constexpr PageSpec kOptions = {
    kPageOptions, IDD_PAGE_OPTIONS, 610, IDI_TAB_OPTIONS, nullptr, 0,
    {}, {}, false, false, 0, {}, {}, 0,
    InitOptions, nullptr, ShowOptions, OptionsCommand, nullptr};

}  // namespace

const PageSpec& OptionsPageSpec() { return kOptions; }
