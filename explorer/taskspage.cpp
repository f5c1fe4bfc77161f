// STUB page: The Active Tasks page. Its list comes with its catalogue's page work; for now it has
// its tab, template, columns and Monitor image, and lists nothing.
#include "explorer/explorer.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_REFRESH = 1006;
constexpr int IDC_SECOND_ACTION = 1007;   // "&Kill Task", "&Unhide"
constexpr int IDC_ADD = 1064;
constexpr int IDC_OPTION_CHECK = 1014;
constexpr int IDC_ABOUT_HEADING = 1041;

constexpr ControlText kActiveTasksTexts[] = {
    {1052, 221},          {1053, 222},          {IDC_INFO_BUTTON, 301},
    {IDC_REFRESH, 305},   {IDC_SECOND_ACTION, 306}, {IDC_CLOSE, 304}};

void InitActiveTasks(HWND page) { SetPageTexts(page, kActiveTasksTexts); }

int FillNothing(HWND, HWND)
{
    return 0;
}

// No Monitor image: processes are not patrolled.
constexpr PageSpec kActiveTasks = {
    kPageActiveTasks, IDD_PAGE_ACTIVE_TASKS, 607, IDI_TAB_ACTIVE_TASKS, "SortActiveTask", 4,
    {629, 631, 699, 912}, {0.25, 0.35, 0.2, 0.2}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_REFRESH, IDC_SECOND_ACTION, IDC_CLOSE}, {}, 0,
    InitActiveTasks, FillNothing, nullptr, nullptr, nullptr};

}  // namespace

const PageSpec& ActiveTasksPageSpec() { return kActiveTasks; }
