// STUB page: The Options page. Its list comes with its catalogue's page work; for now it has
// its tab, template, columns and Monitor image, and lists nothing.
#include "explorer/explorer.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_REFRESH = 1006;
constexpr int IDC_SECOND_ACTION = 1007;   // "&Kill Task", "&Unhide"
constexpr int IDC_ADD = 1064;
constexpr int IDC_OPTION_CHECK = 1014;
constexpr int IDC_ABOUT_HEADING = 1041;

constexpr ControlText kOptionsTexts[] = {{1049, 251}};

void InitOptions(HWND page) { SetPageTexts(page, kOptionsTexts); }

constexpr PageSpec kOptions = {
    kPageOptions, IDD_PAGE_OPTIONS, 610, IDI_TAB_OPTIONS, nullptr, 0,
    {}, {}, false, false, 0, {}, {}, 0,
    InitOptions, nullptr, nullptr, nullptr, nullptr};

}  // namespace

const PageSpec& OptionsPageSpec() { return kOptions; }
