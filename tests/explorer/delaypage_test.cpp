// The Delayed Start page hosted in a property sheet of its own, driven from
// a helper thread: rows read back, buttons and dialogs answered as a user
// would.
#include "resources/resource.h"
#include "tests/explorer/explorertest.h"

using namespace explorertest;
using namespace startuptest;

namespace {

constexpr const char* kDelay = "Software\\Corvath\\Velmora\\Delay";
constexpr const char* kTime = "Software\\Corvath\\Velmora\\Delay\\Time";
constexpr const char* kTitle = "Software\\Corvath\\Velmora\\Delay\\Title";
constexpr const char* kParameters = "Software\\Corvath\\Velmora\\Delay\\Parameters";

void ChooseFile(HWND page, const std::string& path)
{
    Press(page, 1064);
    HWND files = WaitWindow("Add AutoStart Program");
    for (int box : {1148, 1152}) SetDlgItemTextA(files, box, path.c_str());   // either style's name box
    Click(files, IDOK);
}

// The minutes and seconds Delay Options shows; act() may change them.
std::pair<int, int> Options(HWND page, int button, const std::function<void(HWND)>& act = {})
{
    Press(page, 1197);
    HWND dialog = WaitWindow("Program Delay Startup Options");
    if (!dialog) return {-1, -1};
    const int minutes = static_cast<int>(SendDlgItemMessageA(dialog, 1196, CB_GETCURSEL, 0, 0));
    const int seconds = static_cast<int>(SendDlgItemMessageA(dialog, 1191, CB_GETCURSEL, 0, 0));
    if (act) act(dialog);
    Click(dialog, button);
    // Once the dialog is gone its modal loop has ended, and the page's
    // command runs on without pumping: WM_NULL is answered after the refill.
    WaitGone(dialog);
    SendMessageA(page, WM_NULL, 0, 0);
    return {minutes, seconds};
}

class DelayedPage : public ::testing::Test {
protected:
    SavedUserTree corvath_{"Software\\Corvath"};
    SavedUserTree run_{kRunKey};
    ScratchDir dir_{"vldelaypage"};

    std::string Program(const char* name)
    {
        const std::string path = dir_.file(name);
        CopyFileA(FixturePath("explorer_standin.exe").c_str(), path.c_str(), FALSE);
        return path;
    }
    void Delay(const std::string& program, const char* title, const char* time)
    {
        SetText(HKEY_CURRENT_USER, kDelay, program.c_str(), "11");
        SetText(HKEY_CURRENT_USER, kTime, program.c_str(), time);
        SetText(HKEY_CURRENT_USER, kTitle, program.c_str(), title);
    }
};

TEST_F(DelayedPage, AddsForTheCurrentUserAndStoresTheChosenDelayWithinTheListsRanges)
{
    const std::string program = Program("vldelay_add.exe");
    const std::string other = Program("vldelay_bad.exe");
    Delay(other, "VlDelayB", "-5");
    std::string added, shown30, shown140, shown90, shownText;
    std::pair<int, int> negative, huge, text;
    WithPage(DelayedPageSpec(), [&](HWND page, HWND list) {
        ChooseFile(page, program);
        if (HWND type = WaitWindow("Startup Program Type")) {
            Click(type, IDOK);
            WaitGone(type);
        }
        SendMessageA(page, WM_NULL, 0, 0);
        added = Reg(HKEY_CURRENT_USER, kDelay, program);
        shown30 = Cell(list, RowWith(list, 1, "vldelay_add.exe"), 3);
        Select(list, RowWith(list, 1, "vldelay_add.exe"));
        Options(page, IDOK, [](HWND dialog) {
            SendDlgItemMessageA(dialog, 1196, CB_SETCURSEL, 2, 0);
            SendDlgItemMessageA(dialog, 1191, CB_SETCURSEL, 2, 0);
        });
        shown140 = Cell(list, RowWith(list, 1, "vldelay_add.exe"), 3);
        SetText(HKEY_CURRENT_USER, kTime, program.c_str(), "90");
        Options(page, IDCANCEL);
        shown90 = Cell(list, RowWith(list, 1, "vldelay_add.exe"), 3);
        Select(list, RowWith(list, 1, "vldelay_bad.exe"));
        negative = Options(page, IDCANCEL);
        SetText(HKEY_CURRENT_USER, kTime, other.c_str(), "99999");
        SetText(HKEY_CURRENT_USER, kParameters, other.c_str(), std::string(300, 'p'));
        huge = Options(page, IDOK);
        SetText(HKEY_CURRENT_USER, kTime, other.c_str(), "soon");
        text = Options(page, IDCANCEL);
        shownText = Cell(list, RowWith(list, 1, "vldelay_bad.exe"), 3);
    });
    EXPECT_EQ(added, "11");
    EXPECT_EQ(shown30, "30 Sec.");
    EXPECT_EQ(shown140, "2 Min. : 20 Sec.");
    EXPECT_EQ(shown90, "1 Min. : 30 Sec.");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kTime, program), "90");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kParameters, program), "");
    EXPECT_EQ(negative, std::make_pair(0, 0));
    EXPECT_EQ(huge, std::make_pair(60, 5));
    EXPECT_EQ(text, std::make_pair(0, 0));
    EXPECT_EQ(shownText, "0 Sec.");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kTime, other), "soon");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kParameters, other), std::string(300, 'p'));   // longer than its box
}

TEST_F(DelayedPage, LaunchesWithItsParametersAndRestoresToTheStartupList)
{
    const std::string launched = Program("vldelay_run.exe");
    const std::string restored = Program("vldelay_back.exe");
    Delay(launched, "VlDelayRun", "30");
    SetText(HKEY_CURRENT_USER, kParameters, launched.c_str(), "-LAUNCHED");
    Delay(restored, "VlDelayA", "30");
    SetText(HKEY_CURRENT_USER, kParameters, restored.c_str(), "-x");
    WithPage(DelayedPageSpec(), [&](HWND page, HWND list) {
        Select(list, RowWith(list, 1, "vldelay_run.exe"));
        SendMessageA(page, WM_COMMAND, 1065, 0);
        Select(list, RowWith(list, 1, "vldelay_back.exe"));
        SendMessageA(page, WM_COMMAND, 1198, 0);
    });
    std::string started;
    for (int i = 0; i < 300 && started.empty(); ++i, Sleep(50))
        started = ReadTextFile(dir_.file("started.txt"));
    EXPECT_NE(started.find("-LAUNCHED"), std::string::npos);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, "VlDelayA"), restored + " -x");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kDelay, restored), kMissing);
}

TEST_F(DelayedPage, RemovesWithYesNoAndCancelAndRefusesAnOverlongPath)
{
    const std::string names[] = {Program("vldelay_q1.exe"), Program("vldelay_q2.exe"), Program("vldelay_q3.exe")};
    const char* titles[] = {"VlDelayB", "VlDelayC", "VlDelayD"};
    for (int i = 0; i < 3; ++i) Delay(names[i], titles[i], "40");
    // A path longer than a value name can be, of a file that exists.
    const std::string folder = dir_.file(std::string(240 - dir_.path().size(), 'f').c_str());
    const std::string tooLong = folder + "\\vldelay_long.exe";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteTextFile(tooLong, "MZ"));
    bool refused = false, typeAsked = true;
    std::vector<std::string> order;
    WithPage(DelayedPageSpec(), [&](HWND page, HWND list) {
        ChooseFile(page, tooLong);
        if (HWND box = WaitWindow(GetAppCaption())) {
            refused = true;
            Click(box, IDOK);
        }
        SendMessageA(page, WM_NULL, 0, 0);
        typeAsked = FindWindowA("#32770", "Startup Program Type") != nullptr;
        Select(list, RowWith(list, 1, "vldelay_q1.exe"));
        Select(list, RowWith(list, 1, "vldelay_q2.exe"), false);
        Select(list, RowWith(list, 1, "vldelay_q3.exe"), false);
        for (int row = 0; row < RowCount(list); ++row)
            if (Cell(list, row, 1).rfind("vldelay_q", 0) == 0) order.push_back(dir_.file(Cell(list, row, 1).c_str()));
        Press(page, IDC_REMOVE);
        for (int answer : {IDYES, IDNO, IDCANCEL}) {
            HWND box = WaitWindow(GetAppCaption());
            Click(box, answer);
            WaitGone(box);
        }
        SendMessageA(page, WM_NULL, 0, 0);
    });
    EXPECT_TRUE(refused);
    EXPECT_FALSE(typeAsked);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kDelay, tooLong.substr(0, 255)), kMissing);
    ASSERT_EQ(order.size(), 3u);
    auto titleOf = [&](const std::string& program) { return titles[program[program.size() - 5] - '1']; };
    // Yes puts the first back into the startup list, No only drops the
    // second, Cancel leaves the third delayed.
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kDelay, order[0]), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, titleOf(order[0])), order[0]);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kDelay, order[1]), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, titleOf(order[1])), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kDelay, order[2]), "11");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, titleOf(order[2])), kMissing);
}

}   // namespace
