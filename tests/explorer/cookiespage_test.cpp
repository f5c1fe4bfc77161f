// The Cookies page hosted in a property sheet of its own and its cookie
// list, driven from a helper thread over scratch cookie folders.
#include "catalogue/catalogue.h"
#include "resources/resource.h"
#include "tests/explorer/explorertest.h"

using namespace explorertest;
using namespace startuptest;

namespace {

constexpr const char* kListCaption = "Cookies";

// Clicks a button of a window whose answer box is then answered; returns
// once the window has dealt with the answer.
bool PressAndAnswer(HWND window, int id, const char* boxCaption, int answer)
{
    Press(window, id);
    HWND box = WaitWindow(boxCaption);
    if (!box) return false;
    Click(box, answer);
    WaitGone(box);
    SendMessageA(window, WM_NULL, 0, 0);
    return true;
}

// Opens the cookie list from the page; body acts on it, then it is closed.
void WithCookieList(HWND page, const std::function<void(HWND dialog, HWND list)>& body)
{
    Press(page, 1129);
    HWND dialog = WaitWindow(kListCaption);
    ASSERT_NE(dialog, nullptr);
    body(dialog, GetDlgItem(dialog, IDC_LIST));
    Click(dialog, IDCANCEL);
    SendMessageA(page, WM_NULL, 0, 0);
}

void SetChecked(HWND list, int row, bool checked)
{
    LVITEMA state = {};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

// The list's row count once it is `expected`, or what it holds after 10 s:
// a removal refills the list after its question has closed.
int RowsSettled(HWND list, int expected)
{
    for (int i = 0; i < 500 && RowCount(list) != expected; ++i) Sleep(20);
    return RowCount(list);
}

bool IsChecked(HWND list, int row)
{
    return ((SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

class CookiesPage : public ::testing::Test {
protected:
    SavedUserTree corvath_{"Software\\Corvath"};
    ScratchDir folder_{"vlcookiespage"};
    void SetUp() override
    {
        WriteTextFile(folder_.file("index.dat"), "");
        SetText(HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder", folder_.path() + "\\");
        WriteOption("Browser", 1);
    }
    void TearDown() override
    {
        FreeNuts();
        ClearItems();
        SetCookieMode(kCookieModeIE);
    }
};

TEST(CookieNames, OnlyNamesOfFilesDirectlyInTheFolderArePlain)
{
    const std::string tooLong(300, 'a');
    const std::pair<const char*, int> cases[] = {
        {"user@site[1].txt", 1}, {"a.b.txt", 1},        {"", 0},         {".", 0},
        {"..", 0},               {"x..txt", 0},          {"..\\x.txt", 0}, {"sub\\x.txt", 0},
        {"sub/x.txt", 0},        {"C:x.txt", 0},         {tooLong.c_str(), 0}};
    for (const auto& [text, plain] : cases) EXPECT_EQ(IsPlainCookieName(text), plain) << text;
}

// Filters with data 2 are removed Mozilla cookies, not filters: they are
// neither listed nor counted.
TEST_F(CookiesPage, AddsFiltersUpToTheLimitAndRemovesTheSelectedOne)
{
    for (int i = 0; i < kMaxNuts - 1; ++i)
        SetText(HKEY_CURRENT_USER, kNutsKey, ("vlnut" + std::to_string(1000 + i)).c_str(), "1");
    SetText(HKEY_CURRENT_USER, kNutsKey, "gone.example - sid", "2");
    int before = 0, atLimit = 0, afterRemove = 0;
    bool limitShown = false, noSelectionShown = false;
    std::string shown;
    WithPage(CookiesPageSpec(), [&](HWND page, HWND list) {
        before = RowCount(list);
        SetDlgItemTextA(page, 1004, "vlnutlast");
        SendMessageA(page, WM_COMMAND, 1064, 0);
        atLimit = RowCount(list);
        SetDlgItemTextA(page, 1004, "vlnuttoomany");
        limitShown = PressAndAnswer(page, 1064, GetAppCaption(), IDOK);
        Select(list, RowWith(list, 0, "vlnut1003"));
        shown.resize(64);
        shown.resize(GetDlgItemTextA(page, 1105, &shown[0], 64));
        SendMessageA(page, WM_COMMAND, IDC_REMOVE, 0);
        afterRemove = RowCount(list);
        LVITEMA none = {};
        none.stateMask = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        noSelectionShown = PressAndAnswer(page, IDC_REMOVE, "Velmora Help", IDOK);
    });
    EXPECT_EQ(before, kMaxNuts - 1);
    EXPECT_EQ(atLimit, kMaxNuts);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kNutsKey, "vlnutlast"), "1");
    EXPECT_TRUE(limitShown);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kNutsKey, "vlnuttoomany"), kMissing);
    EXPECT_EQ(shown, "vlnut1003");
    EXPECT_EQ(afterRemove, kMaxNuts - 1);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kNutsKey, "vlnut1003"), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kNutsKey, "gone.example - sid"), "2");
    EXPECT_TRUE(noSelectionShown);
}

// Remove deletes the listed files and nothing else: a name with ".." is
// refused and its file stays.
TEST_F(CookiesPage, InternetExplorerListRemovesCheckedThenUncheckedFilesAndRefusesDotDot)
{
    const char* names[] = {"vl@a[1].txt", "vl@b[1].txt", "vl@c[1].txt", "vl@d[1].txt", "vl@e..txt"};
    for (const char* name : names) WriteTextFile(folder_.file(name), std::string(name) + "\nvalue\n");
    SetText(HKEY_CURRENT_USER, kCookiesKey, "vl@b[1].txt", "1");
    SetText(HKEY_CURRENT_USER, kCookiesKey, "vl@a[1].txt", "");   // no data: not kept
    int rows = 0, afterChecked = 0, afterUnchecked = 0;
    bool bChecked = true, aChecked = true, asked = false;
    std::string viewed, viewedPath;
    WithPage(CookiesPageSpec(), [&](HWND page, HWND) {
        WithCookieList(page, [&](HWND dialog, HWND list) {
            rows = RowCount(list);
            bChecked = IsChecked(list, RowWith(list, 0, "vl@b[1].txt"));
            aChecked = IsChecked(list, RowWith(list, 0, "vl@a[1].txt"));
            Select(list, RowWith(list, 0, "vl@d[1].txt"));
            Press(dialog, 1008);
            if (HWND viewer = WaitWindow("Velmora - Cookies")) {
                char text[256] = "";
                GetDlgItemTextA(viewer, 1004, text, sizeof(text));
                viewed = text;
                GetDlgItemTextA(viewer, 1005, text, sizeof(text));
                viewedPath = text;
                Click(viewer, IDOK);
            }
            SetChecked(list, RowWith(list, 0, "vl@c[1].txt"), true);
            asked = PressAndAnswer(dialog, 1103, GetAppCaption(), IDYES);
            afterChecked = RowsSettled(list, 3);
            SetChecked(list, RowWith(list, 0, "vl@d[1].txt"), true);
            PressAndAnswer(dialog, 1004, GetAppCaption(), IDYES);
            afterUnchecked = RowsSettled(list, 2);
        });
    });
    EXPECT_EQ(rows, 5);
    EXPECT_TRUE(bChecked);
    EXPECT_FALSE(aChecked);
    EXPECT_EQ(viewed, "vl@d[1].txt\r\nvalue\r\n");
    EXPECT_EQ(lstrcmpiA(viewedPath.c_str(), folder_.file("vl@d[1].txt").c_str()), 0) << viewedPath;
    EXPECT_TRUE(asked);
    EXPECT_EQ(afterChecked, 3);
    EXPECT_FALSE(Exists(folder_.file("vl@b[1].txt")));
    EXPECT_FALSE(Exists(folder_.file("vl@c[1].txt")));
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kCookiesKey, "vl@b[1].txt"), kMissing);
    EXPECT_EQ(afterUnchecked, 2);   // d is kept, e.. is refused
    EXPECT_FALSE(Exists(folder_.file("vl@a[1].txt")));
    EXPECT_TRUE(Exists(folder_.file("vl@d[1].txt")));
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kCookiesKey, "vl@d[1].txt"), "1");
    EXPECT_TRUE(Exists(folder_.file("vl@e..txt")));
    EXPECT_TRUE(Exists(folder_.file("index.dat")));
}

// Broken lines are listed as far as they go, never mixed with their
// neighbours; removed cookies become nuts with data 2 and leave the list.
TEST_F(CookiesPage, MozillaListWithBrokenLinesRemovesUncheckedThenChecked)
{
    ScratchDir profile("vlcookiespage_moz");
    SetText(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", profile.path() + "\\");
    WriteOption("Browser", 6);
    std::string text = "# Netscape HTTP Cookie File\n\n";
    text += ".keep.example\tTRUE\t/\tTRUE\t1900000000\tsid\tK1\n";
    text += "only.example\tTRUE\n";
    text += "\t\t\t\n";
    text += ".drop.example\tTRUE\t/p\tFALSE\t1900000000\tid\tD1";   // no line feed at the end
    WriteTextFile(profile.file("cookies.txt"), text);
    int rows = 0, afterUnchecked = 0, afterChecked = 0;
    std::string secure, path;
    WithPage(CookiesPageSpec(), [&](HWND page, HWND) {
        WithCookieList(page, [&](HWND dialog, HWND list) {
            rows = RowCount(list);
            const int keep = RowWith(list, 0, "keep.example - sid");
            secure = Cell(list, keep, 4);
            path = Cell(list, RowWith(list, 0, "drop.example - id"), 2);
            SetChecked(list, keep, true);
            PressAndAnswer(dialog, 1004, GetAppCaption(), IDYES);
            afterUnchecked = RowsSettled(list, 1);
            SetChecked(list, 0, true);
            PressAndAnswer(dialog, 1103, GetAppCaption(), IDYES);
            afterChecked = RowsSettled(list, 0);
        });
    });
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(secure, "True");
    EXPECT_EQ(path, "/p");
    EXPECT_EQ(afterUnchecked, 1);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kNutsKey, "drop.example - id"), "2");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kCookiesKey, "keep.example - sid"), kMissing);   // removed at the end
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kNutsKey, "keep.example - sid"), "2");
    EXPECT_EQ(afterChecked, 0);
    EXPECT_EQ(ReadTextFile(profile.file("cookies.txt")), text);   // the browser's file is left alone
    const std::string cleaned = ReadTextFile(profile.file("cookiesnew.txt"));
    EXPECT_EQ(cleaned.find("drop.example"), std::string::npos);
    EXPECT_EQ(cleaned.find("keep.example"), std::string::npos);
}

TEST_F(CookiesPage, AFolderOfTenThousandCookiesListsWhatTheListHolds)
{
    SetText(HKEY_CURRENT_USER, kOptionsKey, "MaxCookie", "4096");
    for (int i = 0; i < 10000; ++i)
        WriteTextFile(folder_.file(("vl@many[" + std::to_string(i) + "].txt").c_str()), "c\n");
    int rows = -1;
    WithPage(CookiesPageSpec(), [&](HWND page, HWND) {
        WithCookieList(page, [&](HWND, HWND list) { rows = RowCount(list); });
    });
    EXPECT_EQ(rows, kMaxItems);
}

}   // namespace
