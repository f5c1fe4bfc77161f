// STUB page: The Services page. Its list comes with its catalogue's page work; for now it has
// its tab, template, columns and Monitor image, and lists nothing.
#include "explorer/explorer.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_REFRESH = 1006;
constexpr int IDC_SECOND_ACTION = 1007;   // "&Kill Task", "&Unhide"
constexpr int IDC_ADD = 1064;
constexpr int IDC_OPTION_CHECK = 1014;
constexpr int IDC_ABOUT_HEADING = 1041;

constexpr ControlText kServicesTexts[] = {{1047, 638},
                                          {1048, 639},
                                          {IDC_INFO_BUTTON, 301},
                                          {IDC_OPTION_CHECK, 721},
                                          {IDC_CLOSE, 304}};

void InitServices(HWND page) { SetPageTexts(page, kServicesTexts); }

int FillNothing(HWND, HWND)
{
    return 0;
}

constexpr PageSpec kServices = {
    kPageServices, IDD_PAGE_SERVICES, 636, IDI_TAB_SERVICES, "SortService", 6,
    {627, 628, 699, 648, 651, 912}, {0.3, 0.18, 0.18, 0.09, 0.1, 0.2}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_OPTION_CHECK, IDC_CLOSE}, {}, 957,
    InitServices, FillNothing, nullptr, nullptr, nullptr};

}  // namespace

const PageSpec& ServicesPageSpec() { return kServices; }
