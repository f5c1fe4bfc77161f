// STUB page: The Scheduled Tasks page. Its list comes with its catalogue's page work; for now it has
// its tab, template, columns and Monitor image, and lists nothing.
#include "explorer/explorer.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_REFRESH = 1006;
constexpr int IDC_SECOND_ACTION = 1007;   // "&Kill Task", "&Unhide"
constexpr int IDC_ADD = 1064;
constexpr int IDC_OPTION_CHECK = 1014;
constexpr int IDC_ABOUT_HEADING = 1041;

constexpr ControlText kScheduledTexts[] = {
    {1095, 678}, {1096, 679}, {IDC_INFO_BUTTON, 301}, {IDC_REMOVE, 302}, {IDC_CLOSE, 304}};

void InitScheduled(HWND page) { SetPageTexts(page, kScheduledTexts); }

int FillNothing(HWND, HWND)
{
    return 0;
}

constexpr PageSpec kScheduled = {
    kPageScheduledTasks, IDD_PAGE_SCHEDULED, 680, IDI_TAB_SCHEDULED, "SortScheduledTask", 5,
    {681, 684, 699, 683, 682}, {0.3, 0.2, 0.2, 0.18, 0.16}, true, false, 0,
    {IDC_INFO_BUTTON, IDC_REMOVE, IDC_CLOSE}, {}, 786,
    InitScheduled, FillNothing, nullptr, nullptr, nullptr};

}  // namespace

const PageSpec& ScheduledTasksPageSpec() { return kScheduled; }
