// The Cookies page: the cookie filters ("nuts") whose cookies are removed
// automatically, the choice of browser whose cookies are meant, its cookie
// folder, and the way into the cookie list. The filter store itself is the
// catalogue's.
#include "explorer/explorer.h"

#include <climits>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_INTRO = 1124;
constexpr int IDC_VIEW_HINT = 1125;
constexpr int IDC_FILTER_HINT = 1126;
constexpr int IDC_FILTERS_HEADING = 1160;
constexpr int IDC_NEW_FILTER = 1004;
constexpr int IDC_SHOWN_FILTER = 1105;
constexpr int IDC_ADD = 1064;
constexpr int IDC_VIEW_COOKIES = 1129;
constexpr int IDC_ALWAYS_VIEW = 1014;
constexpr int IDC_INTERNET_EXPLORER = 1127;
constexpr int IDC_MOZILLA = 1128;
constexpr int IDC_FOLDER_IMAGE = 1131;
constexpr int IDC_FOLDER = 1143;

constexpr int IDS_NO_COOKIE_SELECTED = 58;
constexpr int IDS_PAGE_TEXT = 722;
constexpr int IDS_NUT_PATROL = 789;

constexpr int kFilterLen = 128;       // what the user may type as one filter
constexpr int kFilterData = 1;        // a nut the user typed (2: a removed Mozilla cookie)
constexpr int kBrowserIE = 1;
constexpr int kBrowserMozilla = 6;

// Image properties of the folder image (help-type: normal, pressed, hover,
// command), read by the shared image-button handler.
constexpr WORD kPropNormal = 10000;
constexpr WORD kPropPressed = 10001;
constexpr WORD kPropHover = 10002;
constexpr WORD kPropCommand = 10003;
constexpr int kFolderBitmap = 158;
constexpr int kFolderPressedBitmap = 159;
constexpr int kFolderHoverBitmap = 160;

constexpr ControlText kCookiesTexts[] = {
    {IDC_INTRO, 771},        {IDC_VIEW_HINT, 772},     {IDC_FILTER_HINT, 773},
    {IDC_FILTERS_HEADING, 967}, {IDC_ADD, 311},        {IDC_REMOVE, 302},
    {IDC_VIEW_COOKIES, 774}, {IDC_ALWAYS_VIEW, 796},   {IDC_INTERNET_EXPLORER, 798},
    {IDC_MOZILLA, 797},
};
static_assert(std::size(kCookiesTexts) == 10);

// The controls below the list, kept together at the page's bottom edge.
constexpr int kBandControls[] = {IDC_FILTER_HINT, IDC_NEW_FILTER, IDC_ADD, IDC_SHOWN_FILTER, IDC_REMOVE,
                                 IDC_VIEW_HINT, IDC_VIEW_COOKIES, IDC_ALWAYS_VIEW, IDC_INTERNET_EXPLORER,
                                 IDC_MOZILLA, IDC_FOLDER_IMAGE, IDC_FOLDER};
constexpr int kBandCount = static_cast<int>(std::size(kBandControls));
static_assert(kBandCount == 12);

// What the page keeps while its window lives: the filter text of each row
// (a nut may be longer than a list cell shows) and the band's template
// places, from which every relayout starts.
struct CookiesPage {
    std::vector<std::string> filters;
    RECT band[kBandCount] = {};
    int bandTop = 0;
    int bandBottom = 0;
};

constexpr UINT_PTR kSubclassId = 1;
// The state is found by the page hooks through this property and owned by
// the subclass, which frees it with the window.
constexpr const char* kStateProp = "VelmoraCookiesPage";
LRESULT CALLBACK CookiesSubclass(HWND page, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data);

CookiesPage* PageState(HWND page)
{
    return static_cast<CookiesPage*>(GetPropA(page, kStateProp));
}

HWND FilterList(HWND page)
{
    return GetDlgItem(page, IDC_LIST);
}

int DialogUnits(HWND page, int units)
{
    RECT box = {0, 0, units, units};
    MapDialogRect(page, &box);
    return box.bottom;
}

RECT ChildRect(HWND page, HWND child)
{
    RECT box = {};
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&box), 2);
    return box;
}

// --- Browser kind and folder ---------------------------------------------------

int ModeOfOption()
{
    return CookieModeOfBrowser(ReadOptionOrDefault("Browser"));
}

void ShowFolder(HWND page, int mode)
{
    char folder[MAX_PATH] = "";
    if (mode == kCookieModeIE)
        GetIECookieFolder(folder);
    else
        GetMozillaCookieFolder(folder);
    SetDlgItemTextA(page, IDC_FOLDER, folder);
}

// The kind the option names: its radio button, the catalogue's mode, the folder.
void ChooseKind(HWND page)
{
    const int mode = ModeOfOption();
    CheckRadioButton(page, IDC_INTERNET_EXPLORER, IDC_MOZILLA,
                     mode == kCookieModeIE ? IDC_INTERNET_EXPLORER : IDC_MOZILLA);
    SetCookieMode(mode);
    ShowFolder(page, mode);
}

void StoreKind(HWND page, int browser)
{
    WriteOption("Browser", browser);
    const int mode = CookieModeOfBrowser(browser);
    SetCookieMode(mode);
    ShowFolder(page, mode);
}

int CheckedMode(HWND page)
{
    return IsDlgButtonChecked(page, IDC_MOZILLA) == BST_CHECKED ? kCookieModeMozilla : kCookieModeIE;
}

void ChooseFolder(HWND page)
{
    char folder[MAX_PATH] = "";
    if (!ChooseCookieFolder(page, folder)) return;
    const int mode = CheckedMode(page);
    SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, mode == kCookieModeIE ? "IECookieFolder" : "CookieFolder",
                folder);
    SetDlgItemTextA(page, IDC_FOLDER, folder);
}

void SetupFolderImage(HWND page)
{
    HWND image = GetDlgItem(page, IDC_FOLDER_IMAGE);
    HBITMAP normal = GetSharedBitmap(kFolderBitmap);
    if (!image || !normal) return;
    SetPropA(image, MAKEINTATOM(kPropNormal), normal);
    SetPropA(image, MAKEINTATOM(kPropPressed), GetSharedBitmap(kFolderPressedBitmap));
    SetPropA(image, MAKEINTATOM(kPropHover), GetSharedBitmap(kFolderHoverBitmap));
    SetPropA(image, MAKEINTATOM(kPropCommand), reinterpret_cast<HANDLE>(static_cast<INT_PTR>(IDC_FOLDER_IMAGE)));
    SendMessageA(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(normal));
}

// --- Filters --------------------------------------------------------------------

int FilterCount()
{
    int count = 0;
    for (int i = 0; i < NutCount(); ++i)
        if (GetNutData(i) == kFilterData) ++count;
    return count;
}

void AddFilter(HWND page)
{
    char text[kFilterLen + 1] = "";
    GetDlgItemTextA(page, IDC_NEW_FILTER, text, sizeof(text));
    if (text[0] == '\0') return;
    LoadNuts();
    const int count = FilterCount();
    FreeNuts();
    if (count >= kMaxNuts) {
        ShowMessageDialog(page, IDS_NUT_LIMIT);
        return;
    }
    SetCookieMode(CheckedMode(page));
    AddNut(text);
    SetDlgItemTextA(page, IDC_NEW_FILTER, "");
    RefillPage(page);
}

void RemoveFilter(HWND page)
{
    CookiesPage* state = PageState(page);
    HWND list = FilterList(page);
    const int row = SelectedRow(list);
    if (!state || row < 0 || row >= static_cast<int>(state->filters.size())) {
        ShowMessage(page, IDS_NO_COOKIE_SELECTED);
        return;
    }
    const std::string text = state->filters[static_cast<size_t>(row)];
    RemoveNut(text.c_str());
    FreeNuts();
    RefillPage(page);
    SetDlgItemTextA(page, IDC_SHOWN_FILTER, "");
    SelectRow(list, row);
}

// Rows carry no item of the shared list (it holds cookies, not filters), so
// the framework's lookups find nothing to act on.
int FillFilters(HWND page, HWND list)
{
    CookiesPage* state = PageState(page);
    if (state) state->filters.clear();
    LoadNuts();
    char text[kNutTextLen];
    int rows = 0;
    for (int i = 0; i < NutCount(); ++i) {
        if (GetNutData(i) != kFilterData || GetNutText(i, text) <= 0) continue;
        if (InsertRow(list, text, 0, -1) < 0) continue;
        if (state) state->filters.emplace_back(text);
        ++rows;
    }
    FreeNuts();
    return rows;
}

void ShowSelectedFilter(HWND page, HWND list)
{
    const CookiesPage* state = PageState(page);
    const int row = SelectedRow(list);
    if (!state || row < 0 || row >= static_cast<int>(state->filters.size())) return;
    SetDlgItemTextA(page, IDC_SHOWN_FILTER, state->filters[static_cast<size_t>(row)].c_str());
}

// --- Layout: the band follows the page's bottom edge, the list ends above it --

void RememberBand(HWND page, CookiesPage& state)
{
    state.bandTop = INT_MAX;
    state.bandBottom = 0;
    for (int i = 0; i < kBandCount; ++i) {
        state.band[i] = ChildRect(page, GetDlgItem(page, kBandControls[i]));
        if (state.band[i].top < state.bandTop) state.bandTop = state.band[i].top;
        if (state.band[i].bottom > state.bandBottom) state.bandBottom = state.band[i].bottom;
    }
}

void LayoutBand(HWND page, const CookiesPage& state)
{
    RECT client = {};
    GetClientRect(page, &client);
    const int gap = DialogUnits(page, 4);
    const int newTop = client.bottom - gap - (state.bandBottom - state.bandTop);
    const int shift = newTop - state.bandTop;
    HDWP batch = BeginDeferWindowPos(kBandCount + 1);
    for (int i = 0; i < kBandCount && batch; ++i) {
        HWND control = GetDlgItem(page, kBandControls[i]);
        if (!control) continue;
        batch = DeferWindowPos(batch, control, nullptr, state.band[i].left, state.band[i].top + shift, 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HWND list = FilterList(page);
    if (list && batch) {
        const RECT box = ChildRect(page, list);
        const int height = newTop - gap - box.top;
        if (height > gap)
            batch = DeferWindowPos(batch, list, nullptr, 0, 0, box.right - box.left, height,
                                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch) EndDeferWindowPos(batch);
}

// --- Page life -------------------------------------------------------------------

void OnActivated(HWND page)
{
    SetupFolderImage(page);
    ChooseKind(page);
    // "Always View Cookies" (or the -COOKIE switch) opens the list at once.
    if (ReadOptionOrDefault("ViewCookies") > 0) PostMessageA(page, WM_COMMAND, IDC_VIEW_COOKIES, 0);
}

LRESULT CALLBACK CookiesSubclass(HWND page, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data)
{
    auto* state = reinterpret_cast<CookiesPage*>(data);
    switch (message) {
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        // Enter in the filter list adds, as it does everywhere on this page;
        // the framework's Info dialog has nothing to show for a filter.
        if (header->idFrom == IDC_LIST && header->code == NM_RETURN) return 0;
        const LRESULT result = DefSubclassProc(page, message, wParam, lParam);
        if (header->code == PSN_SETACTIVE) OnActivated(page);
        // The sheet is closing (its Close, or the explorer asked to quit)
        // while the cookie list may still run its own loop above it.
        if (header->code == PSN_RESET) CloseCookieWindows();
        return result;
    }
    case kMsgRelayout: {
        const LRESULT result = DefSubclassProc(page, message, wParam, lParam);
        LayoutBand(page, *state);
        return result;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(page, CookiesSubclass, kSubclassId);
        RemovePropA(page, kStateProp);
        delete state;
        return DefSubclassProc(page, message, wParam, lParam);
    default:
        return DefSubclassProc(page, message, wParam, lParam);
    }
}

HIMAGELIST CreateFilterImages(HWND list)
{
    const int cx = GetSystemMetrics(SM_CXSMICON);
    const int cy = GetSystemMetrics(SM_CYSMICON);
    HIMAGELIST images = ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 1, 1);
    if (!images) return nullptr;
    HICON icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TAB_COOKIES), IMAGE_ICON, cx, cy, LR_SHARED));
    if (icon) ImageList_AddIcon(images, icon);
    // The list owns its image list from here and frees it with itself.
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    return images;
}

void InitCookies(HWND page)
{
    SetPageTexts(page, kCookiesTexts);
    char text[256];
    if (LoadLocalizedString(IDS_PAGE_TEXT, text) > 0) SetWindowTextA(page, text);
    if (HFONT bold = GetSharedFont(kFontBoldSmall))
        SendDlgItemMessageA(page, IDC_FILTERS_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(bold), FALSE);
    SendDlgItemMessageA(page, IDC_NEW_FILTER, EM_LIMITTEXT, kFilterLen, 0);
    CreateFilterImages(FilterList(page));
    ChooseKind(page);
    if (!IsMozillaInstalled()) {
        EnableWindow(GetDlgItem(page, IDC_INTERNET_EXPLORER), FALSE);
        ShowWindow(GetDlgItem(page, IDC_MOZILLA), SW_HIDE);
    }
    CheckDlgButton(page, IDC_ALWAYS_VIEW, ReadOptionOrDefault("ViewCookies") > 0 ? BST_CHECKED : BST_UNCHECKED);
    auto* state = new (std::nothrow) CookiesPage;
    if (!state) return;
    RememberBand(page, *state);
    if (!SetWindowSubclass(page, CookiesSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(state))) {
        delete state;
        return;
    }
    SetPropA(page, kStateProp, state);
}

int CookiesCommand(HWND page, int id)
{
    switch (id) {
    case IDOK:
    case IDC_ADD:
        AddFilter(page);
        return 1;
    case IDC_REMOVE:
        RemoveFilter(page);
        return 1;
    case IDC_NEW_FILTER:      // edit notifications; the id is the framework's Close
    case IDC_SHOWN_FILTER:
        return 1;
    case IDC_ALWAYS_VIEW:
        WriteOption("ViewCookies", IsDlgButtonChecked(page, IDC_ALWAYS_VIEW) == BST_CHECKED ? 1 : 0);
        return 1;
    case IDC_INTERNET_EXPLORER:
        StoreKind(page, kBrowserIE);
        return 1;
    case IDC_MOZILLA:
        StoreKind(page, kBrowserMozilla);
        return 1;
    case IDC_VIEW_COOKIES:
        ShowCookieList(page, CheckedMode(page));
        return 1;
    case IDC_FOLDER_IMAGE:
        ChooseFolder(page);
        return 1;
    default:
        return 0;
    }
}

constexpr PageSpec kCookies = {
    kPageCookies, IDD_PAGE_COOKIES, 608, IDI_TAB_COOKIES, nullptr, 1,
    {967}, {0.99}, false, false, 0,
    {0}, {0}, IDS_NUT_PATROL,
    InitCookies, FillFilters, ShowSelectedFilter, CookiesCommand, nullptr};

}  // namespace

const PageSpec& CookiesPageSpec() { return kCookies; }
