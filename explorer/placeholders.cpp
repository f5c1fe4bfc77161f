// Pages whose lists come with their catalogues' own work: each already has
// its tab, its template with heading, list and images, its columns and its
// Monitor image, and lists nothing yet.
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <iterator>

namespace {

constexpr int IDC_REFRESH = 1006;
constexpr int IDC_SECOND_ACTION = 1007;   // "&Kill Task", "&Unhide"
constexpr int IDC_ADD = 1064;
constexpr int IDC_OPTION_CHECK = 1014;
constexpr int IDC_ABOUT_HEADING = 1041;

struct ControlText {
    int controlId;
    int stringId;
};

// The texts of one page, set from the string table when its dialog opens.
template <size_t N>
void SetTexts(HWND page, const ControlText (&texts)[N])
{
    for (const ControlText& t : texts) SetDialogText(page, t.stringId, t.controlId);
    // Other platforms close the sheet with its own button.
    if (!IsNtPlatform())
        if (HWND close = GetDlgItem(page, IDC_CLOSE)) ShowWindow(close, SW_HIDE);
}

constexpr ControlText kIEHelpersTexts[] = {
    {1100, 695}, {1101, 696}, {IDC_INFO_BUTTON, 301}, {IDC_REMOVE, 302}, {IDC_CLOSE, 304}};
constexpr ControlText kScheduledTexts[] = {
    {1095, 678}, {1096, 679}, {IDC_INFO_BUTTON, 301}, {IDC_REMOVE, 302}, {IDC_CLOSE, 304}};
constexpr ControlText kServicesTexts[] = {{1047, 638},
                                          {1048, 639},
                                          {IDC_INFO_BUTTON, 301},
                                          {IDC_OPTION_CHECK, 721},
                                          {IDC_CLOSE, 304}};
constexpr ControlText kActiveTasksTexts[] = {
    {1052, 221},          {1053, 222},          {IDC_INFO_BUTTON, 301},
    {IDC_REFRESH, 305},   {IDC_SECOND_ACTION, 306}, {IDC_CLOSE, 304}};
constexpr ControlText kCookiesTexts[] = {
    {1125, 772}, {1126, 773}, {IDC_ADD, 311}, {IDC_REMOVE, 302}};
constexpr ControlText kFileTypesTexts[] = {{1108, 740},          {1109, 741},
                                           {IDC_INFO_BUTTON, 301}, {IDC_ADD, 311},
                                           {IDC_REMOVE, 302},    {IDC_CLOSE, 304}};
constexpr ControlText kHiddenTexts[] = {
    {1178, 910},        {1179, 911},              {IDC_INFO_BUTTON, 301},
    {IDC_REFRESH, 305}, {IDC_SECOND_ACTION, 931}, {IDC_CLOSE, 304}};
constexpr ControlText kOptionsTexts[] = {{1049, 251}};

void InitIEHelpers(HWND page) { SetTexts(page, kIEHelpersTexts); }
void InitScheduled(HWND page) { SetTexts(page, kScheduledTexts); }
void InitServices(HWND page) { SetTexts(page, kServicesTexts); }
void InitActiveTasks(HWND page) { SetTexts(page, kActiveTasksTexts); }
void InitCookies(HWND page) { SetTexts(page, kCookiesTexts); }
void InitFileTypes(HWND page) { SetTexts(page, kFileTypesTexts); }
void InitHidden(HWND page) { SetTexts(page, kHiddenTexts); }
void InitOptions(HWND page) { SetTexts(page, kOptionsTexts); }

void InitAbout(HWND page)
{
    char version[1024] = "";
    GetSystemVersionText(version);
    char heading[1100];
    StrFormatA(heading, "%s v %s", GetAppCaption(), version);
    SetDlgItemTextA(page, IDC_ABOUT_HEADING, heading);
}

int FillNothing(HWND, HWND)
{
    return 0;
}

constexpr PageSpec kIEHelpers = {
    kPageIEHelpers, IDD_PAGE_IEHELPERS, 694, IDI_TAB_IEHELPERS, "SortIEHelper", 5,
    {681, 684, 699, 714, 912}, {0.3, 0.2, 0.2, 0.09, 0.2}, true, false, 0,
    {IDC_INFO_BUTTON, IDC_REMOVE, IDC_CLOSE}, {}, 785,
    InitIEHelpers, FillNothing, nullptr, nullptr, nullptr};
constexpr PageSpec kScheduled = {
    kPageScheduledTasks, IDD_PAGE_SCHEDULED, 680, IDI_TAB_SCHEDULED, "SortScheduledTask", 5,
    {681, 684, 699, 683, 682}, {0.3, 0.2, 0.2, 0.18, 0.16}, true, false, 0,
    {IDC_INFO_BUTTON, IDC_REMOVE, IDC_CLOSE}, {}, 786,
    InitScheduled, FillNothing, nullptr, nullptr, nullptr};
constexpr PageSpec kServices = {
    kPageServices, IDD_PAGE_SERVICES, 636, IDI_TAB_SERVICES, "SortService", 6,
    {627, 628, 699, 648, 651, 912}, {0.3, 0.18, 0.18, 0.09, 0.1, 0.2}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_OPTION_CHECK, IDC_CLOSE}, {}, 957,
    InitServices, FillNothing, nullptr, nullptr, nullptr};
// No Monitor image: processes are not patrolled.
constexpr PageSpec kActiveTasks = {
    kPageActiveTasks, IDD_PAGE_ACTIVE_TASKS, 607, IDI_TAB_ACTIVE_TASKS, "SortActiveTask", 4,
    {629, 631, 699, 912}, {0.25, 0.35, 0.2, 0.2}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_REFRESH, IDC_SECOND_ACTION, IDC_CLOSE}, {}, 0,
    InitActiveTasks, FillNothing, nullptr, nullptr, nullptr};
constexpr PageSpec kCookies = {
    kPageCookies, IDD_PAGE_COOKIES, 608, IDI_TAB_COOKIES, "SortCookie", 2,
    {608, 669}, {0.6, 0.39}, false, false, 0,
    {IDC_ADD, IDC_REMOVE}, {}, 787,
    InitCookies, FillNothing, nullptr, nullptr, nullptr};
// "Type" has no width of its own in the page's table: it takes what the
// other columns leave.
constexpr PageSpec kFileTypes = {
    kPageFileTypes, IDD_PAGE_FILETYPES, 739, IDI_TAB_FILETYPES, "SortFileType", 6,
    {627, 628, 699, 747, 748, 714}, {0.3, 0.17, 0.2, 0.12, 0.1, 0.1}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_ADD, IDC_REMOVE, IDC_CLOSE}, {}, 788,
    InitFileTypes, FillNothing, nullptr, nullptr, nullptr};
constexpr PageSpec kHidden = {
    kPageHiddenFiles, IDD_PAGE_HIDDEN, 973, IDI_TAB_HIDDEN, "SortHidden", 5,
    {629, 776, 912, 914, 714}, {0.23, 0.3, 0.2, 0.2, 0.12}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_REFRESH, IDC_SECOND_ACTION, IDC_CLOSE}, {}, 924,
    InitHidden, FillNothing, nullptr, nullptr, nullptr};
constexpr PageSpec kAbout = {
    kPageAbout, IDD_PAGE_ABOUT, 611, IDI_TAB_ABOUT, nullptr, 0,
    {}, {}, false, false, 0, {}, {}, 0,
    InitAbout, nullptr, nullptr, nullptr, nullptr};
constexpr PageSpec kOptions = {
    kPageOptions, IDD_PAGE_OPTIONS, 610, IDI_TAB_OPTIONS, nullptr, 0,
    {}, {}, false, false, 0, {}, {}, 0,
    InitOptions, nullptr, nullptr, nullptr, nullptr};

}  // namespace

const PageSpec& IEHelpersPageSpec() { return kIEHelpers; }
const PageSpec& ScheduledTasksPageSpec() { return kScheduled; }
const PageSpec& ServicesPageSpec() { return kServices; }
const PageSpec& ActiveTasksPageSpec() { return kActiveTasks; }
const PageSpec& CookiesPageSpec() { return kCookies; }
const PageSpec& FileTypesPageSpec() { return kFileTypes; }
const PageSpec& HiddenFilesPageSpec() { return kHidden; }
const PageSpec& AboutPageSpec() { return kAbout; }
const PageSpec& OptionsPageSpec() { return kOptions; }
