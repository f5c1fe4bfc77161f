// STUB page: The Hidden Files page. Its list comes with its catalogue's page work; for now it has
// its tab, template, columns and Monitor image, and lists nothing.
#include "explorer/explorer.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_REFRESH = 1006;
constexpr int IDC_SECOND_ACTION = 1007;   // "&Kill Task", "&Unhide"
constexpr int IDC_ADD = 1064;
constexpr int IDC_OPTION_CHECK = 1014;
constexpr int IDC_ABOUT_HEADING = 1041;

constexpr ControlText kHiddenTexts[] = {
    {1178, 910},        {1179, 911},              {IDC_INFO_BUTTON, 301},
    {IDC_REFRESH, 305}, {IDC_SECOND_ACTION, 931}, {IDC_CLOSE, 304}};

void InitHidden(HWND page) { SetPageTexts(page, kHiddenTexts); }

int FillNothing(HWND, HWND)
{
    return 0;
}

constexpr PageSpec kHidden = {
    kPageHiddenFiles, IDD_PAGE_HIDDEN, 973, IDI_TAB_HIDDEN, "SortHidden", 5,
    {629, 776, 912, 914, 714}, {0.23, 0.3, 0.2, 0.2, 0.12}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_REFRESH, IDC_SECOND_ACTION, IDC_CLOSE}, {}, 924,
    InitHidden, FillNothing, nullptr, nullptr, nullptr};

}  // namespace

const PageSpec& HiddenFilesPageSpec() { return kHidden; }
