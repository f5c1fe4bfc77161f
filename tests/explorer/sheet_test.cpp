// The explorer program driven from outside: which page its switches and the
// stored start page open, one instance per session, the delayed programs
// put back by "-Restore", and the patrol-time dialog in-process.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <tuple>

#include "explorer/explorer.h"
#include "tests/monitor/monitortest.h"

namespace {

constexpr const char* kExplorerClass = "VelmoraEx";
const std::string kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A control only one page's template has: the page shown is the one that
// holds it.
enum PageMark { kMarkStartup = 10, kMarkActiveTasks = 1052, kMarkIEHelpers = 1100, kMarkServices = 1048,
                kMarkHidden = 1178, kMarkOptions = 1049, kMarkAbout = 1041, kMarkCookies = 1125 };

void EndExplorers()
{
    for (DWORD id = 0; GetWindowThreadProcessId(FindWindowA(kExplorerClass, nullptr), &id) != 0;) {
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process || !TerminateProcess(process.get(), 1)) return;
        WaitForSingleObject(process.get(), 5000);
    }
}

class Explorer : public ::testing::Test {
protected:
    SavedUserTree corvath_{"Software\\Corvath"};
    SavedValue machineEntry_{HKEY_LOCAL_MACHINE, kRunKey, "Velmora"};
    ScratchKey sysfiles_{HKEY_LOCAL_MACHINE, kSysfilesKey};
    const std::string exe_ = BuildPath("explorer\\VelmoraEx.exe");
    UniqueHandle process_;
    HWND sheet_ = nullptr;

    void SetUp() override { EndExplorers(); }
    void TearDown() override { EndExplorers(); }

    // Starts the explorer and waits for its sheet; null when none came.
    HWND Open(const std::string& switches)
    {
        process_ = UniqueHandle(StartProgram("\"" + exe_ + "\" " + switches));
        sheet_ = nullptr;
        WaitFor([&] { return (sheet_ = SheetWindow()) != nullptr; }, 60000);
        // The page is shown once the sheet answers.
        if (sheet_) SendMessageTimeoutA(sheet_, WM_NULL, 0, 0, SMTO_NORMAL, 30000, nullptr);
        return sheet_;
    }
    static HWND SheetWindow()
    {
        HWND main = FindWindowA(kExplorerClass, nullptr);
        for (HWND h = nullptr; main && (h = FindWindowExA(nullptr, h, "#32770", "Velmora")) != nullptr;)
            if (GetWindow(h, GW_OWNER) == main) return h;
        return nullptr;
    }
    int Run(const std::string& switches) { return RunCaptured("\"" + exe_ + "\" " + switches, nullptr, nullptr, 60000); }
    bool Ended(int ms) { return WaitForSingleObject(process_.get(), ms) == WAIT_OBJECT_0; }
    HWND Page() const { return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0)); }
    bool Shows(int mark) const { return GetDlgItem(Page(), mark) != nullptr; }
    int Tab() const { return static_cast<int>(SendMessageA(PropSheet_GetTabControl(sheet_), TCM_GETCURSEL, 0, 0)); }
    // "-Q" ends the explorer that runs, and nothing else.
    bool Quit()
    {
        return Run("-Q") == 0 && Ended(20000) && !FindWindowA(kExplorerClass, nullptr);
    }
};

}  // namespace

TEST_F(Explorer, SwitchesOpenTheirPageTheLastMatchWinsAndQuitEndsIt)
{
    for (auto [switches, mark] :
         {std::pair{"-TASK -BHO", int{kMarkActiveTasks}}, {"-bho", kMarkIEHelpers},
          {"-OPTIONS", kMarkOptions}, {"-RESTART", kMarkOptions}, {"-SERVICE", kMarkServices},
          {"-HIDDEN", kMarkHidden}, {"-PRIME", kMarkAbout}, {"-COOKIES", kMarkCookies},
          {"-start", kMarkStartup}}) {
        ASSERT_TRUE(Open(switches)) << switches;
        EXPECT_TRUE(Shows(mark)) << switches;
        EXPECT_TRUE(Quit()) << switches;
        // The page shown is the next start page.
        EXPECT_EQ(ReadOption("StartTab", 0) >= kPageStartup, true) << switches;
    }
    // Cookie viewing is forced on only while that sheet was open.
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kOptionsKey, "ViewCookies"), "0");
    for (const char* firstPage : {"-MONITOR", "-BLACKLIST"}) {
        ASSERT_TRUE(Open(firstPage));
        EXPECT_EQ(Tab(), 0) << firstPage;
        EXPECT_TRUE(Quit());
    }
    // Without an explorer, "-Q" ends at once and starts nothing.
    EXPECT_EQ(Run("-Q"), 0);
    EXPECT_FALSE(FindWindowA(kExplorerClass, nullptr));
    // "-EXIT" without "ConfirmExit" ends the explorer it reaches.
    ASSERT_TRUE(Open("-OPTION"));
    EXPECT_EQ(Run("-EXIT"), 0);
    EXPECT_TRUE(Ended(20000));
}

TEST_F(Explorer, CommandLinesBeyond772CharactersNameNoSwitch)
{
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kOptionsKey, "StartTab", "6029"));
    // The switches are looked for in the first 772 characters; a longer line
    // is not cut down to a switch it would then seem to hold.
    for (auto [length, mark] : {std::pair{772, int{kMarkHidden}}, {773, kMarkActiveTasks}}) {
        std::string line = "-HIDDEN ";
        line.append(length - line.size(), 'x');
        ASSERT_TRUE(Open(line)) << length;
        EXPECT_TRUE(Shows(mark)) << length;
        EXPECT_TRUE(Quit());
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kOptionsKey, "StartTab", "6029"));
    }
}

TEST_F(Explorer, DamagedStartTabAndPlacementOpenTheFirstPageOnScreen)
{
    for (auto [name, value] : {std::pair{"xPos", "99999"}, {"yPos", "garbage"}, {"dxPos", "-50"}, {"dyPos", "100000"}})
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, "Software\\Corvath\\Velmora", name, value));
    for (const char* stored : {"garbage", "-5", "6000", "6030", "6031", "99999999999", "65535"}) {
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kOptionsKey, "StartTab", stored));
        ASSERT_TRUE(Open("")) << stored;
        EXPECT_EQ(Tab(), 0) << stored;
        EXPECT_TRUE(Shows(kMarkStartup)) << stored;
        RECT placed = {};
        GetWindowRect(sheet_, &placed);
        EXPECT_TRUE(placed.left >= 0 && placed.top >= 0 && placed.right - placed.left > 200 &&
                    placed.bottom <= GetSystemMetrics(SM_CYVIRTUALSCREEN) + 1) << stored;
        EXPECT_TRUE(Quit()) << stored;
        const int written = ReadOption("StartTab", 0);
        EXPECT_TRUE(written >= kPageStartup && written <= kPageDelayed) << stored << " " << written;
    }
}

TEST_F(Explorer, SecondStartShowsThePageInTheRunningExplorerAndEnds)
{
    ASSERT_TRUE(Open("-OPTION"));
    DWORD first = 0;
    GetWindowThreadProcessId(sheet_, &first);
    for (const char* again : {"-SERVICE", "-COOKIE", ""}) {
        EXPECT_EQ(Run(again), 0) << again;
        EXPECT_FALSE(Ended(300)) << again;
        EXPECT_EQ(CountWindows(nullptr, kExplorerClass), 1) << again;
        // The open sheet keeps the page it shows.
        SendMessageTimeoutA(sheet_, WM_NULL, 0, 0, SMTO_NORMAL, 30000, nullptr);
        EXPECT_TRUE(Shows(kMarkOptions)) << again;
    }
    // The page's own Close (1004) ends the explorer, which writes every
    // option it knows back, with its default where none was stored.
    PostMessageA(Page(), WM_COMMAND, 1004, 0);
    ASSERT_TRUE(Ended(20000));
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(process_.get(), &code) && code == 0);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kOptionsKey, "RealtimeHidden"), "0");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kOptionsKey, "StartTab"), "6033");
}

TEST_F(Explorer, MonitorImageClickOpensThePatrolDialogOfThePage)
{
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kOptionsKey, "Tasks", "11"));
    ASSERT_TRUE(Open("-SCHEDULE"));
    HWND page = Page();
    RECT image = {};
    ASSERT_TRUE(GetWindowRect(GetDlgItem(page, 1112), &image));
    POINT centre = {(image.left + image.right) / 2, (image.top + image.bottom) / 2};
    ScreenToClient(page, &centre);
    // The image is a static picture: the page takes the mouse over it.
    const LPARAM at = MAKELPARAM(centre.x, centre.y);
    PostMessageA(page, WM_MOUSEMOVE, 0, at);
    PostMessageA(page, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(page, WM_LBUTTONUP, 0, at);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = FindWindowA("#32770", "Patrol Time for Tasks")) != nullptr; }));
    char minutes[8] = "";
    GetDlgItemTextA(dialog, 1004, minutes, sizeof(minutes));
    EXPECT_STREQ(minutes, "11");
    // Tasks have no real-time check.
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 1014)));
    SetDlgItemTextA(dialog, 1004, "5");
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kOptionsKey, "Tasks"), "5");
    EXPECT_TRUE(Quit());
}

TEST_F(Explorer, RestorePutsDelayedProgramsBackWithoutAWindowAndKeepsWhatItCannot)
{
    ScratchKey machineDelay(HKEY_LOCAL_MACHINE, kDelayKey);
    const std::string delay = kDelayKey;
    const std::string program = "C:\\VlSheetTest\\restored.exe", kept = "C:\\VlSheetTest\\kept.exe";
    SavedValue runEntry(HKEY_CURRENT_USER, kRunKey, "VlSheetRestored");
    // Code 11 is the user's Run key; 3000 names no location to go back to.
    for (auto [path, code, title] : {std::tuple{program, "11", "VlSheetRestored"}, {kept, "3000", "VlSheetKept"}}) {
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kDelayKey, path.c_str(), code));
        SetText(HKEY_CURRENT_USER, (delay + "\\Title").c_str(), path.c_str(), title);
        SetText(HKEY_CURRENT_USER, (delay + "\\Time").c_str(), path.c_str(), "30");
    }
    SetText(HKEY_CURRENT_USER, (delay + "\\Parameters").c_str(), program.c_str(), "-tray");
    // An explorer already open does not stop the restore.
    ASSERT_TRUE(Open("-OPTION"));
    UniqueHandle restore(StartProgram("\"" + exe_ + "\" -Restore"));
    ASSERT_EQ(WaitForSingleObject(restore.get(), 60000), WAIT_OBJECT_0);
    EXPECT_EQ(CountWindows(nullptr, kExplorerClass), 1);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, "VlSheetRestored"), program + " -tray");
    for (const char* key : {"", "\\Title", "\\Time", "\\Parameters"})
        EXPECT_EQ(Reg(HKEY_CURRENT_USER, delay + key, program), kMissing) << key;
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, delay, kept), "3000");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, delay + "\\Title", kept), "VlSheetKept");
    EXPECT_TRUE(Quit());
}

TEST_F(Explorer, StartRunsTheMonitorBesideItOnlyWhenNoneRuns)
{
    // A stand-in named Velmora.exe notes each start in "started.txt".
    ScratchDir dir("vltest_exsheet");
    const std::string copy = dir.file("VelmoraEx.exe"), started = dir.file("started.txt");
    ASSERT_TRUE(CopyFileA(exe_.c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(FixturePath("explorer_standin.exe").c_str(), dir.file("Velmora.exe").c_str(), FALSE));
    for (bool monitorRuns : {true, false}) {
        WNDCLASSA monitorClass = {};
        monitorClass.lpfnWndProc = DefWindowProcA;
        monitorClass.hInstance = GetModuleHandleA(nullptr);
        monitorClass.lpszClassName = "Velmora";
        HWND monitor = nullptr;
        if (monitorRuns && RegisterClassA(&monitorClass))
            monitor = CreateWindowA("Velmora", "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        ASSERT_EQ(monitor != nullptr, monitorRuns);
        process_ = UniqueHandle(StartProgram("\"" + copy + "\" -START"));
        sheet_ = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (sheet_ = SheetWindow()) != nullptr; }, 60000));
        EXPECT_EQ(WaitFor([&] { return !ReadTextFile(started).empty(); }, monitorRuns ? 300 : 5000), !monitorRuns);
        EXPECT_TRUE(Quit());
        if (monitor) DestroyWindow(monitor);
        UnregisterClassA("Velmora", GetModuleHandleA(nullptr));
    }
}

TEST_F(Explorer, AProgramNamedHijackWritesTheScanLogBeforeItsSheet)
{
    ScratchDir dir("vltest_exhijack");
    const std::string copy = dir.file("HiJackVelmoraEx.exe"), log = dir.file("HijackVelmora.log");
    ASSERT_TRUE(CopyFileA(exe_.c_str(), copy.c_str(), FALSE));
    process_ = UniqueHandle(StartProgram("\"" + copy + "\""));
    ASSERT_TRUE(WaitFor([&] { return (sheet_ = SheetWindow()) != nullptr; }, 60000));
    const std::string text = ReadTextFile(log);
    EXPECT_EQ(text.rfind("Log created by ", 0), 0u);
    EXPECT_NE(text.find("\r\nEnd of file\r\n"), std::string::npos);
    EXPECT_TRUE(Quit());
    // The usual name writes none.
    const std::string usual = BuildPath("explorer\\HijackVelmora.log");
    DeleteFileA(usual.c_str());
    ASSERT_TRUE(Open(""));
    EXPECT_TRUE(Quit());
    EXPECT_EQ(GetFileAttributesA(usual.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The patrol-time dialog, in this process; a helper thread plays the user.
TEST(PatrolDialog, OkStoresTheMinutesAndCancelPutsTheRealtimeFlagBack)
{
    SavedUserTree corvath("Software\\Corvath");
    InitCommonControls();
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kOptionsKey, "Start", "4"));
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kOptionsKey, "RealtimeStartup", "0"));
    EXPECT_EQ(PatrolBitmap(784), 156);
    struct Seen {
        std::string minutes;
        int realtimeWhileOpen = -1;
        BOOL editEnabled = TRUE;
    } seen;
    auto user = [&seen](bool toggle, const char* typed, int button) {
        return std::thread([&seen, toggle, typed, button] {
            HWND dialog = nullptr;
            WaitFor([&] { return (dialog = FindWindowA("#32770", "Patrol Time for Startup Programs")) != nullptr; });
            if (!dialog) return;
            char text[16] = "";
            GetDlgItemTextA(dialog, 1004, text, sizeof(text));
            seen.minutes = text;
            if (toggle) {
                SendMessageA(GetDlgItem(dialog, 1014), BM_CLICK, 0, 0);
                seen.realtimeWhileOpen = ReadOption("RealtimeStartup", -1);
                seen.editEnabled = IsWindowEnabled(GetDlgItem(dialog, 1004));
            }
            if (typed) SetDlgItemTextA(dialog, 1004, typed);
            SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
        });
    };
    std::thread ok = user(false, "17", IDOK);
    const int chosen = ShowPatrolDialog(nullptr, 784);
    ok.join();
    EXPECT_EQ(seen.minutes, "4");
    EXPECT_EQ(chosen, 17);
    StorePatrolMinutes(784, chosen);
    EXPECT_EQ(ReadOption("Start", -1), 17);

    std::thread cancel = user(true, nullptr, IDCANCEL);
    EXPECT_EQ(ShowPatrolDialog(nullptr, 784), -1);
    cancel.join();
    EXPECT_EQ(seen.realtimeWhileOpen, 1);
    EXPECT_FALSE(seen.editEnabled);
    EXPECT_EQ(ReadOption("RealtimeStartup", -1), 0);
    EXPECT_EQ(ReadOption("Start", -1), 17);

    // Real time on: the dialog shows 0 and OK keeps the flag.
    std::thread on = user(true, nullptr, IDOK);
    EXPECT_EQ(ShowPatrolDialog(nullptr, 784), 0);
    on.join();
    EXPECT_EQ(ReadOption("RealtimeStartup", -1), 1);
    EXPECT_EQ(PatrolBitmap(784), 193);
}
