// The property sheet every page lives in: its pages in tab order, the
// resizable frame on Windows NT, the status bar, the layout of the tab
// control and the current page, the saved placement, and the state all
// pages share (which page is shown).
#include "explorer/explorer.h"
#include "reports/reports.h"
#include "resources/resource.h"

#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

constexpr int IDS_CLOSE = 304;
constexpr int IDS_SHEET_FAILED = 24;
constexpr int kSheetOpening = 1;   // active page while the sheet is being built
// The packed major/minor version from which the current structure sizes
// of the property sheet are understood.
constexpr DWORD kFullSizeComctl = 0x40046;

struct PageEntry {
    const PageSpec& (*desc)();
    bool ntOnly;
};
constexpr PageEntry kPages[] = {
    {StartupPageSpec, false},     {DelayedPageSpec, false},     {IEHelpersPageSpec, false},
    {ScheduledTasksPageSpec, false}, {ServicesPageSpec, true},  {ActiveTasksPageSpec, false},
    {CookiesPageSpec, false},     {FileTypesPageSpec, false},   {HiddenFilesPageSpec, false},
    {AboutPageSpec, false},       {OptionsPageSpec, false},
};
constexpr int kMaxPages = static_cast<int>(std::size(kPages));
static_assert(kMaxPages == 11);

constexpr int kTitleCapacity = 64;

// Built for one run of the sheet; the titles and icons must outlive it.
struct SheetPages {
    PROPSHEETPAGEA records[kMaxPages] = {};
    const PageSpec* specs[kMaxPages] = {};
    char titles[kMaxPages][kTitleCapacity] = {};
    UniqueIcon icons[kMaxPages];
    int count = 0;
};

// The sheet's process-wide state: one sheet per explorer.
struct SheetState {
    int activePage = 0;
    HWND sheet = nullptr;
    HWND statusBar = nullptr;
    HFONT statusFont = nullptr;   // the status bar's own font, for texts given none
    WNDPROC sheetProc = nullptr;
    POINT minTrack = {};
    HIMAGELIST tabImages = nullptr;
    int tabRows = 1;
    const SheetPages* pages = nullptr;
};
SheetState g_sheet;

// The layout of DLGTEMPLATEEX up to its styles (the SDK declares no type).
struct DialogTemplateExHead {
    WORD dlgVer;
    WORD signature;
    DWORD helpID;
    DWORD exStyle;
    DWORD style;
};

// A tab title is shown without mnemonic and without the trailing dots a
// menu item carries where the same string serves both.
void TabTitle(int stringId, char (&out)[kTitleCapacity])
{
    char text[kTitleCapacity] = "";
    LoadLocalizedString(stringId, text);
    size_t j = 0;
    for (size_t i = 0; text[i] && j + 1 < sizeof(out); ++i)
        if (text[i] != '&') out[j++] = text[i];
    out[j] = '\0';
    while (j >= 3 && std::strcmp(out + j - 3, "...") == 0) {
        j -= 3;
        out[j] = '\0';
    }
}

HICON LoadTabIcon(int id)
{
    return static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0));
}

bool UsesFullSizes()
{
    HMODULE comctl = GetModuleHandleA("comctl32.dll");
    if (!comctl) return false;
    auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")));
    if (!getVersion) return false;
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof(info);
    if (FAILED(getVersion(&info))) return false;
    return static_cast<DWORD>(MAKELONG(info.dwMinorVersion, info.dwMajorVersion)) > kFullSizeComctl;
}

int BuildPages(SheetPages& pages, bool fullSizes)
{
    const bool nt = IsNtPlatform();
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    pages.count = 0;
    for (const PageEntry& entry : kPages) {
        if (entry.ntOnly && !nt) continue;
        const PageSpec& desc = entry.desc();
        // A page without a template cannot be shown; the others still can.
        if (desc.dialogId == 0) continue;
        const int i = pages.count++;
        TabTitle(desc.titleId, pages.titles[i]);
        pages.icons[i] = UniqueIcon(LoadTabIcon(desc.iconId));
        pages.specs[i] = &desc;
        PROPSHEETPAGEA& record = pages.records[i];
        record.dwSize = fullSizes ? sizeof(PROPSHEETPAGEA) : PROPSHEETPAGEA_V1_SIZE;
        record.dwFlags = PSP_USEHICON | PSP_USETITLE;
        record.hInstance = instance;
        record.pszTemplate = MAKEINTRESOURCEA(desc.dialogId);
        record.hIcon = pages.icons[i].get();
        record.pszTitle = pages.titles[i];
        record.pfnDlgProc = PageProc;
        record.lParam = reinterpret_cast<LPARAM>(&desc);
    }
    return pages.count;
}

int StartPosition(const SheetPages& pages, int commandId)
{
    for (int i = 0; i < pages.count; ++i)
        if (pages.specs[i]->commandId == commandId) return i;
    return 0;
}

// Makes the sheet resizable: the frame is asked for in its template.
int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam)
{
    if (message == PSCB_INITIALIZED) {
        g_sheet.sheet = sheet;
        return 0;
    }
    if (message != PSCB_PRECREATE || lParam == 0) return 0;
    constexpr DWORD kStyle = WS_VISIBLE | WS_CAPTION | WS_THICKFRAME | DS_SETFONT | DS_3DLOOK;
    constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;
    auto* extended = reinterpret_cast<DialogTemplateExHead*>(lParam);
    if (extended->signature == 0xFFFF) {
        extended->style |= kStyle;
        extended->exStyle |= kExStyle;
    } else {
        auto* plain = reinterpret_cast<DLGTEMPLATE*>(lParam);
        plain->style |= kStyle;
        plain->dwExtendedStyle |= kExStyle;
    }
    return 0;
}

void PlayOpenSound()
{
    // The Options page may have changed "Sound" since the start.
    GetMonitorState().sound = ReadOptionOrDefault("Sound");
    PlayAlertSound(kSoundOpen);
}

// A program renamed to "...hijack..." is one a helper asked the user to
// run: its scan log is written and shown before the sheet opens.
void WriteHijackLogWhenNamed()
{
    char module[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    char name[MAX_PATH] = "";
    GetFileNamePart(module, name);
    if (ContainsNoCase(name, "hijack")) WriteScanLog();
}

void BringSheetForward(int commandId)
{
    HWND main = GetExplorerWindow();
    if (commandId == kPageCookies || commandId == kPageCookiesForced) {
        SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        SetForegroundWindow(main);
        return;
    }
    if (g_sheet.activePage == kPageActiveTasks && g_sheet.sheet) {
        HWND page = PropSheet_GetCurrentPageHwnd(g_sheet.sheet);
        if (page) RefillPage(page);
    }
    BringWindowToTop(main);
    if (g_sheet.sheet) BringWindowToTop(g_sheet.sheet);
    SetForegroundWindow(main);
}

void ResetSheetState()
{
    if (g_sheet.tabImages) ImageList_Destroy(g_sheet.tabImages);
    g_sheet = SheetState();
}

HIMAGELIST MakeTabImages()
{
    const SheetPages* pages = g_sheet.pages;
    if (!pages) return nullptr;
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, pages->count, 0);
    if (!images) return nullptr;
    for (int i = 0; i < pages->count; ++i) {
        UniqueIcon icon(LoadTabIcon(pages->specs[i]->iconId));
        ImageList_AddIcon(images, icon.get());
    }
    return images;
}

// page: the page being shown; null for the sheet's current page. While a
// page is being activated the sheet does not name it as current yet.
void LayoutSheet(HWND sheet, HWND page)
{
    RECT rect = {};
    if (!GetWindowRect(sheet, &rect)) return;
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    constexpr UINT kSizeOnly = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    HWND tab = PropSheet_GetTabControl(sheet);
    if (tab) {
        SetWindowPos(tab, nullptr, 0, 0, w - 20, h - 67, kSizeOnly);
        g_sheet.tabRows = TabCtrl_GetRowCount(tab);
        if (!g_sheet.tabImages) g_sheet.tabImages = MakeTabImages();
        if (g_sheet.tabImages) TabCtrl_SetImageList(tab, g_sheet.tabImages);
    }
    if (g_sheet.statusBar) {
        SetWindowPos(g_sheet.statusBar, nullptr, 0, 0, w - 28, h - 131, kSizeOnly);
        // A status window docks itself at the bottom on WM_SIZE.
        SendMessageA(g_sheet.statusBar, WM_SIZE, 0, 0);
    }
    if (HWND close = GetDlgItem(sheet, IDCANCEL)) {
        SetWindowPos(close, nullptr, w - 92, h - 66, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(close, SW_HIDE);
    }
    if (!page) page = PropSheet_GetCurrentPageHwnd(sheet);
    if (page) {
        const int extra = g_sheet.tabRows == 1 ? 10 : 0;
        SetWindowPos(page, nullptr, 0, 0, w - 28, h - 112 + extra, kSizeOnly);
        SendMessageA(page, kMsgRelayout, 0, 0);
    }
}

LRESULT CALLBACK SheetSubclassProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC original = g_sheet.sheetProc;
    if (message == WM_GETMINMAXINFO && lParam) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (g_sheet.minTrack.x > 0) info->ptMinTrackSize = g_sheet.minTrack;
        return 0;
    }
    const LRESULT result = original ? CallWindowProcA(original, sheet, message, wParam, lParam)
                                    : DefWindowProcA(sheet, message, wParam, lParam);
    if (message == WM_SIZE && wParam != SIZE_MINIMIZED) LayoutSheet(sheet, nullptr);
    if (message == WM_NCDESTROY && original) {
        SetWindowLongPtrA(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        g_sheet.sheetProc = nullptr;
    }
    return result;
}

void MakeStatusBar(HWND sheet)
{
    if (g_sheet.statusBar && IsWindow(g_sheet.statusBar)) return;
    g_sheet.statusBar =
        CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, "", sheet, kStatusBarId);
    if (g_sheet.statusBar)
        g_sheet.statusFont = reinterpret_cast<HFONT>(SendMessageA(g_sheet.statusBar, WM_GETFONT, 0, 0));
}

int ReadPlacementValue(const char* name, bool* present)
{
    char text[32] = "";
    *present = GetRegValue(HKEY_CURRENT_USER, kVelmoraKey, name, text) > 0;
    return *present ? static_cast<int>(std::strtol(text, nullptr, 10)) : 0;
}

// A coordinate beyond the virtual screen (a monitor that is gone, a damaged
// value) becomes 0. Screens left of or above the main one have negative
// coordinates.
int OnScreen(int value, int virtualOrigin, int virtualSize)
{
    return value > virtualOrigin + virtualSize || value < virtualOrigin ? 0 : value;
}

void PlaceSheet(HWND sheet)
{
    RECT rect = {};
    GetWindowRect(sheet, &rect);
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    bool hasX = false;
    bool hasY = false;
    bool hasWidth = false;
    bool hasHeight = false;
    const int x = ReadPlacementValue("xPos", &hasX);
    const int y = ReadPlacementValue("yPos", &hasY);
    const int dx = ReadPlacementValue("dxPos", &hasWidth);
    const int dy = ReadPlacementValue("dyPos", &hasHeight);
    const int screenW = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int screenH = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (!hasX || !hasY) {
        SetWindowPos(sheet, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - h) / 3, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (hasWidth) {
        // A size below the minimum or beyond the screen keeps its bound.
        w = dx < g_sheet.minTrack.x ? g_sheet.minTrack.x : (dx > screenW ? screenW : dx);
        const int height = hasHeight ? dy : h;
        h = height < g_sheet.minTrack.y ? g_sheet.minTrack.y : (height > screenH ? screenH : height);
    } else {
        flags |= SWP_NOSIZE;
    }
    SetWindowPos(sheet, nullptr, OnScreen(x, GetSystemMetrics(SM_XVIRTUALSCREEN), screenW),
                 OnScreen(y, GetSystemMetrics(SM_YVIRTUALSCREEN), screenH), w, h, flags);
}

// The page shown is what the next start opens.
void RememberStartTab()
{
    if (g_sheet.activePage >= kPageStartup) {
        SetCurrentPage(g_sheet.activePage);
        WriteOption("StartTab", g_sheet.activePage);
    }
}

HWND SheetOf(HWND page)
{
    if (g_sheet.sheet && IsWindow(g_sheet.sheet)) return g_sheet.sheet;
    return page ? GetParent(page) : nullptr;
}

}  // namespace

int GetActivePage()
{
    return g_sheet.activePage;
}

void SetActivePage(int commandId)
{
    g_sheet.activePage = commandId;
    if (commandId >= kPageStartup) SetCurrentPage(commandId);
}

HWND GetSheetWindow()
{
    return g_sheet.sheet;
}

int SheetTabRows()
{
    return g_sheet.tabRows;
}

void SetStatusText(const char* text, HFONT font)
{
    if (!g_sheet.statusBar) return;
    char shown[256];
    StrCopy(shown, text ? text : "");
    // A text without a font of its own does not keep the last one's.
    HFONT shownFont = font ? font : g_sheet.statusFont;
    SendMessageA(g_sheet.statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(shownFont), TRUE);
    SendMessageA(g_sheet.statusBar, SB_SETTEXTA, SBT_POPOUT, reinterpret_cast<LPARAM>(shown));
}

void RestoreSheetPlacement(HWND page)
{
    HWND sheet = SheetOf(page);
    if (!sheet) return;
    if (!IsNtPlatform()) {
        SetCurrentPage(g_sheet.activePage >= kPageStartup ? g_sheet.activePage : kPageStartup);
        RestorePlacement(sheet, "xPos", "yPos", "dxPos", "dyPos");
        return;
    }
    RememberStartTab();
    if (g_sheet.sheetProc) return;
    g_sheet.sheet = sheet;
    RECT client = {};
    GetClientRect(sheet, &client);
    g_sheet.minTrack.x = client.right - 10;
    g_sheet.minTrack.y = client.bottom - 32;
    g_sheet.sheetProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SheetSubclassProc)));
    MakeStatusBar(sheet);
    PlaceSheet(sheet);
}

void SaveSheetPlacement(HWND page)
{
    HWND sheet = SheetOf(page);
    if (!sheet || IsIconic(sheet)) {
        RememberStartTab();
        return;
    }
    if (g_sheet.activePage >= kPageStartup) SetCurrentPage(g_sheet.activePage);
    SavePlacement(sheet, "xPos", "yPos", "dxPos", "dyPos");
}

void SetupSheetForPage(HWND page)
{
    HWND sheet = SheetOf(page);
    if (!sheet) return;
    const LONG_PTR exStyle = GetWindowLongPtrA(sheet, GWL_EXSTYLE);
    if (exStyle & WS_EX_CONTEXTHELP) {
        SetWindowLongPtrA(sheet, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_CONTEXTHELP));
        // The caption keeps its "?" button until the frame is drawn anew.
        SetWindowPos(sheet, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    if (HWND ok = GetDlgItem(sheet, IDOK)) {
        ShowWindow(ok, SW_HIDE);
        EnableWindow(ok, FALSE);
    }
    SetDialogText(sheet, IDS_CLOSE, IDCANCEL);
    if (HWND main = GetExplorerWindow()) SetWindowTextA(main, GetAppCaption());
    SetStatusText("", nullptr);
    if (IsNtPlatform()) LayoutSheet(sheet, page);
}

void OpenSheet(int commandId)
{
    if (g_sheet.activePage != 0) {
        BringSheetForward(commandId);
        return;
    }
    g_sheet.activePage = kSheetOpening;
    const bool fullSizes = UsesFullSizes();
    TraceLog("TabDialog - Check comctl32.dll ", fullSizes ? "V0" : "V1");
    // Kept off the stack of the window procedure: pages, titles and icons.
    static SheetPages pages;
    pages = SheetPages();
    BuildPages(pages, fullSizes);
    g_sheet.pages = &pages;

    PROPSHEETHEADERA header = {};
    header.dwSize = fullSizes ? sizeof(PROPSHEETHEADERA) : PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    if (IsNtPlatform()) {
        header.dwFlags |= PSH_USECALLBACK;
        header.pfnCallback = SheetCallback;
    }
    header.hwndParent = GetExplorerWindow();
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = GetAppCaption();
    header.nPages = static_cast<UINT>(pages.count);
    header.nStartPage = static_cast<UINT>(StartPosition(pages, commandId));
    header.ppsp = pages.records;

    PlayOpenSound();
    WriteHijackLogWhenNamed();
    const INT_PTR result = pages.count > 0 ? PropertySheetA(&header) : -1;
    ResetSheetState();
    pages = SheetPages();
    if (result == -1) ShowMessageDialog(GetExplorerWindow(), IDS_SHEET_FAILED);
}
