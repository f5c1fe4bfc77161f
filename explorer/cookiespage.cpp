// STUB page: The Cookies page. Its list comes with its catalogue's page work; for now it has
// its tab, template, columns and Monitor image, and lists nothing.
#include "explorer/explorer.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_REFRESH = 1006;
constexpr int IDC_SECOND_ACTION = 1007;   // "&Kill Task", "&Unhide"
constexpr int IDC_ADD = 1064;
constexpr int IDC_OPTION_CHECK = 1014;
constexpr int IDC_ABOUT_HEADING = 1041;

constexpr ControlText kCookiesTexts[] = {
    {1125, 772}, {1126, 773}, {IDC_ADD, 311}, {IDC_REMOVE, 302}};

void InitCookies(HWND page) { SetPageTexts(page, kCookiesTexts); }

int FillNothing(HWND, HWND)
{
    return 0;
}

constexpr PageSpec kCookies = {
    kPageCookies, IDD_PAGE_COOKIES, 608, IDI_TAB_COOKIES, "SortCookie", 2,
    {608, 669}, {0.6, 0.39}, false, false, 0,
    {IDC_ADD, IDC_REMOVE}, {}, 787,
    InitCookies, FillNothing, nullptr, nullptr, nullptr};

}  // namespace

const PageSpec& CookiesPageSpec() { return kCookies; }
