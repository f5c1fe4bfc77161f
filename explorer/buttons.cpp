// Image buttons and link buttons of the pages. An image button is a static
// bitmap that carries its images and its command in window properties, so
// one mouse handler serves every page; a link button is an owner-drawn
// button painted as underlined-looking text that lights up under the cursor.
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <cstring>
#include <iterator>

namespace {

// Integer-named window properties of an image button.
constexpr WORD kPropNormal = 10000;
constexpr WORD kPropPressed = 10001;     // also the hover image of monitor-type images
constexpr WORD kPropHover = 10002;       // hover image of help-type images
constexpr WORD kPropHelpCommand = 10003;
constexpr WORD kPropMonitorCommand = 10004;
constexpr WORD kImageProps[] = {kPropNormal, kPropPressed, kPropHover, kPropHelpCommand,
                                kPropMonitorCommand};
static_assert(std::size(kImageProps) == 5);

// Every control that may carry image properties on some page.
constexpr int kImageControls[] = {IDC_HELP_IMAGE, IDC_MONITOR_IMAGE, 1131, 1136, 1137, 1138};
static_assert(std::size(kImageControls) == 6);

constexpr COLORREF kLinkColour = 0x400000;
constexpr COLORREF kLinkHoverColour = 0xFF0000;
constexpr COLORREF kLinkShadow = 0xC0C0C0;

// The pointer's state over image and link buttons: one mouse, one process.
struct ButtonState {
    HWND hoveredImage = nullptr;
    HWND hoveredLink = nullptr;
    COLORREF linkColour = kLinkColour;
};
ButtonState g_buttons;

HANDLE GetImageProp(HWND control, WORD prop)
{
    return GetPropA(control, MAKEINTATOM(prop));
}

void SetImageProp(HWND control, WORD prop, HANDLE value)
{
    SetPropA(control, MAKEINTATOM(prop), value);
}

// A static with SS_NOTIFY takes the mouse for itself; without it the page
// receives the mouse messages that hover and press the image.
void LetPageTrackMouse(HWND control)
{
    const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    if (style & SS_NOTIFY) SetWindowLongPtrA(control, GWL_STYLE, style & ~static_cast<LONG_PTR>(SS_NOTIFY));
}

HANDLE BitmapProp(int bitmapId)
{
    return static_cast<HANDLE>(GetSharedBitmap(bitmapId));
}

HANDLE CommandProp(int commandId)
{
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(commandId));
}

void ShowImage(HWND control, WORD prop)
{
    HANDLE bitmap = GetImageProp(control, prop);
    if (bitmap) SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}

// The image button under a point of the page (client coordinates), if any.
// The images are static controls without SS_NOTIFY, so the page itself
// receives the mouse messages over them.
HWND ImageAt(HWND page, LPARAM lParam)
{
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    HWND child = ChildWindowFromPointEx(page, point, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
    if (!child || child == page || !GetImageProp(child, kPropNormal)) return nullptr;
    return child;
}

int ImageCommand(HWND control)
{
    HANDLE help = GetImageProp(control, kPropHelpCommand);
    HANDLE monitor = GetImageProp(control, kPropMonitorCommand);
    return static_cast<int>(reinterpret_cast<INT_PTR>(help ? help : monitor));
}

void LeaveHoveredImage()
{
    if (g_buttons.hoveredImage && IsWindow(g_buttons.hoveredImage))
        ShowImage(g_buttons.hoveredImage, kPropNormal);
    g_buttons.hoveredImage = nullptr;
}

bool IsLinkButton(HWND page, HWND control)
{
    if (!control || GetParent(control) != page) return false;
    char className[16] = "";
    GetClassNameA(control, className, sizeof(className));
    if (lstrcmpiA(className, "Button") != 0) return false;
    return (GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW;
}

void SetHoveredLink(HWND link)
{
    if (g_buttons.hoveredLink == link) return;
    if (g_buttons.hoveredLink && IsWindow(g_buttons.hoveredLink))
        InvalidateRect(g_buttons.hoveredLink, nullptr, TRUE);
    g_buttons.hoveredLink = link;
    g_buttons.linkColour = link ? kLinkHoverColour : kLinkColour;
    if (link) InvalidateRect(link, nullptr, TRUE);
}

}  // namespace

HWND PageHelpImage(HWND page)
{
    // The About page's 1077 is the search box's label, not an image.
    HWND help = GetDlgItem(page, IDC_HELP_IMAGE);
    if (help && (GetWindowLongPtrA(help, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) return nullptr;
    return help;
}

void SetupPageImages(HWND page, int patrolTitleId)
{
    if (HWND help = PageHelpImage(page)) {
        SetImageProp(help, kPropNormal, BitmapProp(IDB_HELP));
        SetImageProp(help, kPropPressed, BitmapProp(IDB_HELP_PRESSED));
        SetImageProp(help, kPropHover, BitmapProp(IDB_HELP_HOVER));
        SetImageProp(help, kPropHelpCommand, CommandProp(IDC_HELP_IMAGE));
        LetPageTrackMouse(help);
        ShowImage(help, kPropNormal);
    }
    HWND monitor = GetDlgItem(page, IDC_MONITOR_IMAGE);
    if (!monitor) return;
    const int show = patrolTitleId != 0 ? SW_SHOW : SW_HIDE;
    ShowWindow(monitor, show);
    if (HWND label = GetDlgItem(page, IDC_MONITOR_LABEL)) ShowWindow(label, show);
    if (patrolTitleId == 0) return;
    SetImageProp(monitor, kPropMonitorCommand, CommandProp(IDC_MONITOR_IMAGE));
    LetPageTrackMouse(monitor);
    ShowMonitorImage(page, PatrolBitmap(patrolTitleId));
}

void ClearPageImages(HWND page)
{
    for (int id : kImageControls) {
        HWND control = GetDlgItem(page, id);
        if (!control) continue;
        if (control == g_buttons.hoveredImage) g_buttons.hoveredImage = nullptr;
        for (WORD prop : kImageProps) RemovePropA(control, MAKEINTATOM(prop));
    }
}

void ShowMonitorImage(HWND page, int bitmapId)
{
    HWND monitor = GetDlgItem(page, IDC_MONITOR_IMAGE);
    if (!monitor) return;
    SetImageProp(monitor, kPropNormal, BitmapProp(bitmapId));
    SetImageProp(monitor, kPropPressed, BitmapProp(bitmapId));
    ShowImage(monitor, kPropNormal);
}

void SetupMonitorTypeImage(HWND page, int controlId, int bitmapId)
{
    HWND image = GetDlgItem(page, controlId);
    if (!image) return;
    SetImageProp(image, kPropNormal, BitmapProp(bitmapId));
    SetImageProp(image, kPropPressed, BitmapProp(IDB_MONITOR_PRESSED));
    SetImageProp(image, kPropMonitorCommand, CommandProp(controlId));
    LetPageTrackMouse(image);
    ShowImage(image, kPropNormal);
}

int HandleImageMouse(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message < WM_MOUSEMOVE || message > WM_LBUTTONDBLCLK) return 0;
    HWND image = ImageAt(page, lParam);
    switch (message) {
    case WM_MOUSEMOVE:
        if (image != g_buttons.hoveredImage) LeaveHoveredImage();
        if (!image) return 0;
        g_buttons.hoveredImage = image;
        if (!(wParam & MK_LBUTTON))
            ShowImage(image, GetImageProp(image, kPropHelpCommand) ? kPropHover : kPropPressed);
        return 1;
    case WM_LBUTTONDOWN:
        if (!image) return 0;
        ShowImage(image, kPropPressed);
        return 1;
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK: {
        if (!image) return 0;
        ShowImage(image, kPropNormal);
        const int command = ImageCommand(image);
        if (command != 0) SendMessageA(page, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        return 1;
    }
    default:
        return 0;
    }
}

int HandleLinkCursor(HWND page, WPARAM wParam, LPARAM)
{
    HWND control = reinterpret_cast<HWND>(wParam);
    if (!IsLinkButton(page, control)) {
        SetHoveredLink(nullptr);
        return 0;
    }
    SetHoveredLink(control);
    SetCursor(LoadCursorA(nullptr, IDC_HAND));
    return 1;
}

int DrawLinkButton(const DRAWITEMSTRUCT* draw)
{
    if (!draw || draw->CtlType != ODT_BUTTON || !(draw->itemAction & ODA_DRAWENTIRE)) return 0;
    char text[512] = "";
    GetWindowTextA(draw->hwndItem, text, sizeof(text));
    HDC dc = draw->hDC;
    FillRect(dc, &draw->rcItem, GetSysColorBrush(COLOR_BTNFACE));
    HFONT font = GetSharedFont(kFontDialog);
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    const int mode = SetBkMode(dc, TRANSPARENT);
    const UINT format = std::strchr(text, '\n') ? DT_WORDBREAK : DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    RECT shadow = draw->rcItem;
    OffsetRect(&shadow, 1, 1);
    const COLORREF colour = SetTextColor(dc, kLinkShadow);
    DrawTextA(dc, text, -1, &shadow, format);
    if (draw->itemState & ODS_DISABLED) {
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        SetTextColor(dc, draw->hwndItem == g_buttons.hoveredLink ? g_buttons.linkColour : kLinkColour);
    }
    RECT face = draw->rcItem;
    DrawTextA(dc, text, -1, &face, format);
    SetTextColor(dc, colour);
    SetBkMode(dc, mode);
    if (previous) SelectObject(dc, previous);
    return 1;
}

int OpenPageHelp(int pageId)
{
    return OpenHelpPage(pageId);
}
