// The resources of the two programs as a user meets them: alert templates in
// which no text is cut and nothing overlaps, even with the texts and fonts
// the monitor puts in at run time; the tray icons in both sizes; the chime;
// the manifests.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "foundation/unique.h"
#include "resources/resource.h"
#include "tests/support/testsupport.h"

namespace {

struct DialogCase {
    int id;
    const char* caption;
};
constexpr DialogCase kDialogs[] = {
    {IDD_STARTUP_ALERT, "Velmora New Program Alert"},
    {IDD_DELAYED_ALERT, "This Program doesn't want to be Delayed"},
    {IDD_IEHELPER_ALERT, "Velmora New Program Alert"},
    {IDD_HIDDEN_ALERT, "Velmora New Program Alert"},
    {IDD_TASK_ALERT, "Velmora New Program Alert"},
    {IDD_SERVICE_ALERT, "Velmora New Program Alert"},
    {IDD_FILETYPE_ALERT, "Velmora File Type Change Alert"},
    {IDD_SYSFILE_ALERT, "Velmora: File Change Alert"},
    {IDD_RESTART_COMMANDS, "Velmora - Windows Restart Commands"},
};

// The fonts the monitor gives its alert fields, besides the dialog's own.
enum FontKind { kDialogFont, kNameFont, kPathFont, kExtensionFont, kFileNameFont };

constexpr const char* kName = "Northwind Background Update Scheduler";
constexpr const char* kPath =
    "C:\\Program Files\\Northwind Traders\\Background Update Scheduler\\NorthwindUpdateScheduler.exe";

// A run-time text: a string of the program, its "%s" filled from further
// strings, or a sample of what a real program brings.
struct Fill {
    int dialog, control, string, arg1, arg2;
    const char* sample;
    FontKind font;
};
constexpr Fill kFills[] = {
    {IDD_STARTUP_ALERT, IDC_MESSAGE, 7, 766, 0, nullptr, kPathFont},
    {IDD_STARTUP_ALERT, IDC_NAME, 0, 0, 0, kName, kNameFont},
    {IDD_STARTUP_ALERT, IDC_PATH, 0, 0, 0, kPath, kPathFont},
    {IDD_STARTUP_ALERT, IDC_INFO, 641, 0, 0, nullptr, kDialogFont},
    {IDD_DELAYED_ALERT, IDC_MESSAGE, 1022, 0, 0, nullptr, kDialogFont},
    {IDD_IEHELPER_ALERT, IDC_MESSAGE, 701, 0, 0, nullptr, kDialogFont},
    {IDD_HIDDEN_ALERT, IDC_MESSAGE, 1015, 0, 0, nullptr, kDialogFont},
    {IDD_TASK_ALERT, IDC_MESSAGE, 692, 0, 0, nullptr, kDialogFont},
    {IDD_TASK_ALERT, IDC_TASK_NEXT_RUN, 0, 0, 0, "Next Run Time: Wednesday, December 31, 2008 11:59 PM", kDialogFont},
    {IDD_SERVICE_ALERT, IDC_SERVICE_STATUS, 901, 664, 656, nullptr, kDialogFont},
    {IDD_FILETYPE_ALERT, IDC_EXTENSION, 0, 0, 0, ".html", kExtensionFont},
    {IDD_FILETYPE_ALERT, IDC_LINE4, 759, 0, 0, nullptr, kDialogFont},
    {IDD_FILETYPE_ALERT, IDC_NEW_NAME, 0, 0, 0, kName, kNameFont},
    {IDD_SYSFILE_ALERT, IDC_LINE1, 1001, 0, 0, nullptr, kNameFont},
    {IDD_SYSFILE_ALERT, IDC_LINE3, 1003, 0, 0, nullptr, kDialogFont},
    {IDD_SYSFILE_ALERT, IDC_FILE_NAME, 0, 0, 0, "Autoexec.bat", kFileNameFont},
    {IDD_SYSFILE_ALERT, IDC_LINE4, 0, 0, 0, "HOST file can be used to protect or redirect domain access.", kDialogFont},
    {IDD_RESTART_COMMANDS, IDC_RESTART_NOTE, 702, 0, 0, nullptr, kDialogFont},
};

struct FontTraits {
    using type = HFONT;
    static HFONT invalid() { return nullptr; }
    static void close(HFONT f) { DeleteObject(f); }
};
struct WindowTraits {
    using type = HWND;
    static HWND invalid() { return nullptr; }
    static void close(HWND w) { DestroyWindow(w); }
};
using UniqueFont = Unique<FontTraits>;
using UniqueWindow = Unique<WindowTraits>;

UniqueFont MakeFont(FontKind kind)
{
    struct FontRecipe { int height, weight; BOOL underline; const char* face; };
    constexpr FontRecipe kSpecs[] = {{0, 0, FALSE, nullptr}, {-18, 500, FALSE, "Arial"}, {-14, 600, FALSE, "MS Sans Serif"},
                               {-18, 600, TRUE, "Verdana"}, {-14, 400, FALSE, "Arial"}};
    static_assert(std::size(kSpecs) == kFileNameFont + 1);
    const FontRecipe& s = kSpecs[kind];
    return UniqueFont(s.face ? CreateFontA(s.height, 0, 0, 0, s.weight, FALSE, s.underline, FALSE, ANSI_CHARSET, 0,
                                           0, 0, FF_SWISS, s.face)
                             : nullptr);
}

// The monitor's file, loaded once as data for the whole run.
HMODULE Monitor()
{
    static UniqueModule module(
        LoadLibraryExA(BuildPath("monitor\\Velmora.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    return module.get();
}

INT_PTR CALLBACK Quiet(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

UniqueWindow Open(int id)
{
    return UniqueWindow(CreateDialogParamA(Monitor(), MAKEINTRESOURCEA(id), nullptr, Quiet, 0));
}

std::string Text(HWND w)
{
    char text[1024] = "";
    GetWindowTextA(w, text, sizeof text);
    return text;
}

bool IsStatic(HWND w)
{
    char cls[32] = "";
    GetClassNameA(w, cls, sizeof cls);
    return lstrcmpiA(cls, "Static") == 0;
}

// Why the control's text does not fit in it, or empty when it does.
std::string Misfit(HWND control)
{
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    RECT client;
    GetClientRect(control, &client);
    int room = client.right;
    UINT flags = DT_CALCRECT;
    if (IsStatic(control)) {
        if ((style & SS_TYPEMASK) == SS_ICON)
            return {};
        flags |= (style & SS_NOPREFIX ? DT_NOPREFIX : 0) | (style & SS_ENDELLIPSIS ? DT_SINGLELINE : DT_WORDBREAK);
    } else {
        const LONG type = style & BS_TYPEMASK;
        flags |= DT_SINGLELINE;
        room -= type == BS_AUTOCHECKBOX ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 2 * GetSystemMetrics(SM_CXEDGE) + 4;
    }
    const std::string text = Text(control);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT need = {0, 0, room, 0};
    DrawTextA(dc, text.c_str(), -1, &need, flags);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    if (need.right <= room && need.bottom <= client.bottom)
        return {};
    return std::to_string(GetDlgCtrlID(control)) + " \"" + text + "\" needs " + std::to_string(need.bottom) + "px";
}

std::vector<HWND> VisibleControls(HWND dialog)
{
    std::vector<HWND> found;
    for (HWND w = GetWindow(dialog, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE)
            found.push_back(w);
    return found;
}

RECT RectIn(HWND dialog, HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool IsPushButton(HWND w)
{
    const LONG type = GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK;
    return !IsStatic(w) && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

TEST(AlertTemplates, LoadWithTitleOneDefaultButtonFittingTextsAndNoOverlap)
{
    ASSERT_NE(Monitor(), nullptr) << "Velmora.exe does not load";
    for (const DialogCase& c : kDialogs) {
        SCOPED_TRACE("dialog " + std::to_string(c.id));
        UniqueWindow dialog = Open(c.id);
        ASSERT_NE(dialog.get(), nullptr);
        EXPECT_EQ(Text(dialog.get()), c.caption);
        RECT client;
        GetClientRect(dialog.get(), &client);
        const std::vector<HWND> controls = VisibleControls(dialog.get());
        int defaults = 0;  // DM_GETDEFID answers IDOK even where no button is the default
        for (size_t i = 0; i < controls.size(); ++i) {
            HWND w = controls[i];
            const int id = GetDlgCtrlID(w);
            EXPECT_EQ(Misfit(w), "");
            defaults += IsPushButton(w) && (GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
            const std::string text = Text(w);
            const size_t amp = text.find('&');
            if (IsPushButton(w) && id != IDOK && id != IDCANCEL) {
                EXPECT_TRUE(amp != std::string::npos && amp + 1 < text.size() && text[amp + 1] != '&')
                    << "no mnemonic: " << text;
            }
            const RECT a = RectIn(dialog.get(), w);
            EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.right <= client.right && a.bottom <= client.bottom)
                << id << " leaves the dialog";
            for (size_t j = i + 1; j < controls.size(); ++j) {
                const RECT b = RectIn(dialog.get(), controls[j]);
                RECT both;
                EXPECT_FALSE(IntersectRect(&both, &a, &b)) << id << " overlaps " << GetDlgCtrlID(controls[j]);
            }
        }
        EXPECT_EQ(defaults, 1);
    }
}

TEST(AlertTemplates, RunTimeTextsFitInTheMonitorsFonts)
{
    ASSERT_NE(Monitor(), nullptr) << "Velmora.exe does not load";
    auto load = [](int id) {
        char text[1024] = "";
        LoadStringA(Monitor(), id, text, sizeof text);
        return std::string(text);
    };
    for (const Fill& f : kFills) {
        SCOPED_TRACE("dialog " + std::to_string(f.dialog));
        UniqueWindow dialog = Open(f.dialog);
        HWND control = GetDlgItem(dialog.get(), f.control);
        ASSERT_NE(control, nullptr) << f.control;
        std::string text = f.sample ? f.sample : load(f.string);
        ASSERT_FALSE(text.empty()) << "string " << f.string;
        for (int arg : {f.arg1, f.arg2})
            if (const size_t at = text.find("%s"); arg && at != std::string::npos)
                text.replace(at, 2, load(arg));
        UniqueFont font = MakeFont(f.font);
        if (font)
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        SetWindowTextA(control, text.c_str());
        EXPECT_EQ(Misfit(control), "");
    }
}

// LoadImage would stretch the other size, so the group's own entry for each
// size is looked up and its header read.
TEST(MonitorResources, TrayIconsHoldBothSizes)
{
    ASSERT_NE(Monitor(), nullptr);
    for (int icon : {IDI_NORMAL, IDI_VERIFY_A, IDI_VERIFY_B, IDI_NORMAL_9X, IDI_ALERT}) {
        HRSRC group = FindResourceA(Monitor(), MAKEINTRESOURCEA(icon), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
        ASSERT_NE(group, nullptr) << "icon " << icon;
        auto* dir = static_cast<BYTE*>(LockResource(LoadResource(Monitor(), group)));
        for (int size : {16, 32}) {
            const int entry = LookupIconIdFromDirectoryEx(dir, TRUE, size, size, LR_DEFAULTCOLOR);
            HRSRC image = FindResourceA(Monitor(), MAKEINTRESOURCEA(entry), MAKEINTRESOURCEA(3));  // RT_ICON
            ASSERT_NE(image, nullptr) << "icon " << icon << " size " << size;
            const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(Monitor(), image)));
            EXPECT_EQ(header->biWidth, size) << "icon " << icon;
            EXPECT_GE(header->biBitCount, 8) << "icon " << icon;
        }
    }
}

TEST(MonitorResources, AlertChimeIsASmallWave)
{
    ASSERT_NE(Monitor(), nullptr);
    HRSRC chime = FindResourceA(Monitor(), MAKEINTRESOURCEA(IDR_ALERT_WAVE), "WAVE");
    ASSERT_NE(chime, nullptr);
    const DWORD size = SizeofResource(Monitor(), chime);
    const auto* data = static_cast<const char*>(LockResource(LoadResource(Monitor(), chime)));
    EXPECT_EQ(std::string(data, 4) + std::string(data + 8, 4), "RIFFWAVE");
    EXPECT_TRUE(size > 1000 && size < 30 * 1024) << size;
}

TEST(BothPrograms, ManifestAsksForCommonControlsAndNoElevation)
{
    constexpr const char* kNeeded[] = {
        "requestedExecutionLevel level=\"asInvoker\"",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Vista, 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8, 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",                                             // 10
    };
    for (const char* program : {"monitor\\Velmora.exe", "explorer\\VelmoraEx.exe"}) {
        UniqueModule module(LoadLibraryExA(BuildPath(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_NE(module.get(), nullptr) << program;
        HRSRC manifest = FindResourceA(module.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
        ASSERT_NE(manifest, nullptr) << program;
        const std::string text(static_cast<const char*>(LockResource(LoadResource(module.get(), manifest))),
                               SizeofResource(module.get(), manifest));
        for (const char* needed : kNeeded)
            EXPECT_NE(text.find(needed), std::string::npos) << program << " lacks " << needed;
    }
}

}  // namespace
