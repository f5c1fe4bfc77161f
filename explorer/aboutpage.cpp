// STUB page: The About page. Its list comes with its catalogue's page work; for now it has
// its tab, template, columns and Monitor image, and lists nothing.
#include "explorer/explorer.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_REFRESH = 1006;
constexpr int IDC_SECOND_ACTION = 1007;   // "&Kill Task", "&Unhide"
constexpr int IDC_ADD = 1064;
constexpr int IDC_OPTION_CHECK = 1014;
constexpr int IDC_ABOUT_HEADING = 1041;

void InitAbout(HWND page)
{
    char version[1024] = "";
    GetSystemVersionText(version);
    char heading[1100];
    StrFormatA(heading, "%s v %s", GetAppCaption(), version);
    SetDlgItemTextA(page, IDC_ABOUT_HEADING, heading);
}

constexpr PageSpec kAbout = {
    kPageAbout, IDD_PAGE_ABOUT, 611, IDI_TAB_ABOUT, nullptr, 0,
    {}, {}, false, false, 0, {}, {}, 0,
    InitAbout, nullptr, nullptr, nullptr, nullptr};

}  // namespace

const PageSpec& AboutPageSpec() { return kAbout; }
