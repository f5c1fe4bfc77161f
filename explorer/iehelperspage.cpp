// STUB page: The IE Helpers page. Its list comes with its catalogue's page work; for now it has
// its tab, template, columns and Monitor image, and lists nothing.
#include "explorer/explorer.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_REFRESH = 1006;
constexpr int IDC_SECOND_ACTION = 1007;   // "&Kill Task", "&Unhide"
constexpr int IDC_ADD = 1064;
constexpr int IDC_OPTION_CHECK = 1014;
constexpr int IDC_ABOUT_HEADING = 1041;

constexpr ControlText kIEHelpersTexts[] = {
    {1100, 695}, {1101, 696}, {IDC_INFO_BUTTON, 301}, {IDC_REMOVE, 302}, {IDC_CLOSE, 304}};

void InitIEHelpers(HWND page) { SetPageTexts(page, kIEHelpersTexts); }

int FillNothing(HWND, HWND)
{
    return 0;
}

constexpr PageSpec kIEHelpers = {
    kPageIEHelpers, IDD_PAGE_IEHELPERS, 694, IDI_TAB_IEHELPERS, "SortIEHelper", 5,
    {681, 684, 699, 714, 912}, {0.3, 0.2, 0.2, 0.09, 0.2}, true, false, 0,
    {IDC_INFO_BUTTON, IDC_REMOVE, IDC_CLOSE}, {}, 785,
    InitIEHelpers, FillNothing, nullptr, nullptr, nullptr};

}  // namespace

const PageSpec& IEHelpersPageSpec() { return kIEHelpers; }
