// The About page (tab "PRIME"): the program's version, the vendor's news,
// a version check and a program search on the information server. Velmora
// names no web site of its own: the news link and the version check are
// offered only where an installation has set the addresses (GetVersion,
// LookupSite; see docs/settings.md), and stay disabled otherwise.
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <iterator>

namespace {

constexpr int IDC_HEADING = 1041;
constexpr int IDC_LINE = 1161;
constexpr int IDC_NEWS = 1021;
constexpr int IDC_SEARCH_TEXT = 1075;
constexpr int IDC_SEARCH_LABEL = 1077;
constexpr int IDC_SEARCH = 1076;
constexpr int IDC_VERSION_CHECK = 1123;

constexpr int IDS_VERSION_SCRIPT = 1149;
constexpr int kTypeProSearch = 450;   // TYPE_PROSEARCH

constexpr ControlText kAboutTexts[] = {
    {IDC_LINE, 2160}, {IDC_NEWS, 1147}, {IDC_SEARCH_LABEL, 770}, {IDC_SEARCH, 769},
    {IDC_VERSION_CHECK, 764}};
static_assert(std::size(kAboutTexts) == 5);

void SetControlFont(HWND page, int id, ExplorerFont font)
{
    if (HFONT shared = GetSharedFont(font))
        SendDlgItemMessageA(page, id, WM_SETFONT, reinterpret_cast<WPARAM>(shared), FALSE);
}

int NewsAddress(char (&out)[kLookupAddressLen])
{
    return LookupSiteAddress("/news.html", out, sizeof(out));
}

// "GetVersion", else the version script under "LookupSite", then the build
// and the language. 0 and "" when neither setting names a web address.
int VersionCheckAddress(char (&out)[kLookupAddressLen])
{
    if (!ReadWebSetting("GetVersion", out, sizeof(out))) {
        char script[256] = "";
        LoadLocalizedString(IDS_VERSION_SCRIPT, script);
        // A translated script stays a path on the site, never another host.
        if (script[0] != '/' || !LookupSiteAddress(script, out, sizeof(out))) return 0;
    }
    char version[1024] = "";
    char build[1024];
    GetSystemVersionText(version);
    EncodeForUrl(build, version);
    char code[16] = "";
    char language[1024];
    LoadLocalizedString(IDS_LANGUAGE_CODE, code);
    EncodeForUrl(language, code[0] != '\0' ? code : "en");
    const bool fits = StrAppend(out, "&build=") == 0 && StrAppend(out, build) == 0 &&
                      StrAppend(out, "&Loc=") == 0 && StrAppend(out, language) == 0;
    if (!fits) out[0] = '\0';
    return fits ? 1 : 0;
}

void InitAbout(HWND page)
{
    SetPageTexts(page, kAboutTexts);
    SetControlFont(page, IDC_HEADING, kFontHeading);
    SetControlFont(page, IDC_LINE, kFontPlain);
    SetControlFont(page, IDC_NEWS, kFontBoldSmall);
    SendDlgItemMessageA(page, IDC_SEARCH_TEXT, EM_LIMITTEXT, MAX_PATH - 1, 0);
}

// Activation (the update hook of a page without a list): the addresses are
// read again, so a setting made meanwhile counts.
void ShowAbout(HWND page, HWND)
{
    char version[1024] = "";
    GetSystemVersionText(version);
    char heading[1100];
    StrFormatA(heading, "%s v %s", GetAppCaption(), version);
    SetDlgItemTextA(page, IDC_HEADING, heading);
    for (int id : {IDC_SEARCH_LABEL, IDC_SEARCH_TEXT, IDC_SEARCH}) {
        ShowWindow(GetDlgItem(page, id), SW_SHOW);
        EnableWindow(GetDlgItem(page, id), TRUE);
    }
    // Enter is the sheet's key: the sheet presses its default button, which
    // is this page's "&Search" while the page shows.
    SendMessageA(page, DM_SETDEFID, IDC_SEARCH, 0);
    SendMessageA(GetParent(page), DM_SETDEFID, IDC_SEARCH, 0);
    char address[kLookupAddressLen];
    EnableWindow(GetDlgItem(page, IDC_NEWS), NewsAddress(address));
    EnableWindow(GetDlgItem(page, IDC_VERSION_CHECK), VersionCheckAddress(address));
}

void SearchProgram(HWND page)
{
    char program[MAX_PATH] = "";
    GetDlgItemTextA(page, IDC_SEARCH_TEXT, program, sizeof(program));
    if (program[0] == '\0') {
        MessageBeep(MB_OK);
        SetFocus(GetDlgItem(page, IDC_SEARCH_TEXT));
        return;
    }
    OnlineLookup(kTypeProSearch, program, program);
}

int AboutCommand(HWND page, int id)
{
    char address[kLookupAddressLen];
    switch (id) {
    case IDOK:          // Enter: "&Search" is the default button
    case IDC_SEARCH:
        SearchProgram(page);
        return 1;
    case IDC_NEWS:
        if (NewsAddress(address)) OpenWebPage(address);
        return 1;
    case IDC_VERSION_CHECK:
        if (VersionCheckAddress(address)) OpenWebPage(address);
        return 1;
    case IDC_SEARCH_TEXT:
    case IDC_SEARCH_LABEL:
        // The box's notifications, and the label that is no Help image here.
        return 1;
    default:
        return 0;
    }
}

constexpr PageSpec kAbout = {
    kPageAbout, IDD_PAGE_ABOUT, 611, IDI_TAB_ABOUT, nullptr, 0,
    {}, {}, false, false, 0, {}, {}, 0,
    InitAbout, nullptr, ShowAbout, AboutCommand, nullptr};

}  // namespace

const PageSpec& AboutPageSpec() { return kAbout; }
