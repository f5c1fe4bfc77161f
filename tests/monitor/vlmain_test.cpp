// The monitor program driven from outside: a copy of the built Velmora.exe
// runs in a scratch folder beside a stand-in explorer that writes down the
// switches it was started with.
#include <gtest/gtest.h>

#include <string>

#include "monitor/monitor.h"
#include "tests/catalogue/startuptest.h"

namespace {

using namespace startuptest;

const HKEY kUser = HKEY_CURRENT_USER;
constexpr const char* kClass = "Velmora";

template <class F>
bool WaitFor(F done, int ms = 5000)
{
    for (int waited = 0; waited < ms && !done(); waited += 50) Sleep(50);
    return done();
}

int CountWindows(HWND parent, const char* windowClass)
{
    int count = 0;
    for (HWND h = nullptr; (h = FindWindowExA(parent, h, windowClass, nullptr)) != nullptr;) ++count;
    return count;
}

// Wine's explorer shows one child window per notification-area icon.
int TrayIcons()
{
    HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    return tray ? CountWindows(tray, "__winex11_tray_icon") : 0;
}

// Asks every running monitor to close, and ends one that does not.
void EndMonitors()
{
    DeleteRegValue(kUser, kOptionsKey, "ConfirmExit");
    for (int i = 0; i < 10; ++i) {
        HWND window = FindWindowA(kClass, nullptr);
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) return;
        PostMessageA(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 5000);
    }
}

class Monitor : public ::testing::Test {
protected:
    OwnedKey optionsKey_{kUser, kOptionsKey};
    SavedValue options_[2] = {{kUser, kOptionsKey, "ConfirmExit"}, {kUser, kOptionsKey, "HideBarley"}};
    ScratchDir dir_{"vltest_vlmain"};
    const std::string exe_ = dir_.file("Velmora.exe");
    UniqueHandle process_;
    HWND window_ = nullptr;

    void SetUp() override
    {
        EndMonitors();
        DeleteRegValue(kUser, kOptionsKey, "HideBarley");
        // The monitor's folder may also hold the libraries it is bound to.
        WIN32_FIND_DATAA found;
        UniqueFind find(FindFirstFileA(BuildPath("monitor\\*.dll").c_str(), &found));
        for (bool more = bool(find); more; more = FindNextFileA(find.get(), &found))
            CopyFileA(BuildPath(("monitor\\" + std::string(found.cFileName)).c_str()).c_str(),
                      dir_.file(found.cFileName).c_str(), FALSE);
        ASSERT_TRUE(CopyFileA(BuildPath("monitor\\Velmora.exe").c_str(), exe_.c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(FixturePath("explorer_standin.exe").c_str(),
                              dir_.file("VelmoraEx.exe").c_str(), FALSE));
    }
    void TearDown() override { EndMonitors(); }

    HWND Start()
    {
        process_ = UniqueHandle(StartProgram("\"" + exe_ + "\""));
        WaitFor([&] { return (window_ = FindWindowA(kClass, nullptr)) != nullptr; });
        return window_;
    }
    int StartAgain(const std::string& switches)
    {
        return RunCaptured("\"" + exe_ + "\" " + switches, nullptr, nullptr, 20000);
    }
    bool Ended(int ms) { return WaitForSingleObject(process_.get(), ms) == WAIT_OBJECT_0; }
    // What the stand-in explorer was started with since the last call.
    std::string Explorer(int ms = 2000)
    {
        const std::string file = dir_.file("started.txt");
        std::string text;
        WaitFor([&] { return !(text = ReadTextFile(file)).empty(); }, ms);
        DeleteFileA(file.c_str());
        return text;
    }
};

}  // namespace

TEST_F(Monitor, SecondStartsActOnTheOneHiddenMonitorBySwitch)
{
    const struct {
        const char* switches;
        bool stays;
        const char* explorer;
    } kCases[] = {{"-NoOpen", true, ""}, {"", true, "-START\n"}, {"-q", false, ""}, {"-Q", false, ""}};
    for (const auto& c : kCases) {
        if (!process_ || Ended(0)) {
            ASSERT_TRUE(Start());
        }
        EXPECT_FALSE(IsWindowVisible(window_));
        EXPECT_EQ(StartAgain(c.switches), 0) << c.switches;
        EXPECT_EQ(Ended(c.stays ? 300 : 5000), !c.stays) << c.switches;
        EXPECT_EQ(CountWindows(nullptr, kClass), c.stays ? 1 : 0) << c.switches;
        EXPECT_EQ(Explorer(), c.explorer) << c.switches;
    }
}

TEST_F(Monitor, SecondStartTellsWhenTheExplorerIsMissing)
{
    ASSERT_TRUE(DeleteFileA(dir_.file("VelmoraEx.exe").c_str()));
    ASSERT_TRUE(Start());
    DialogAnswerer ok("#32770", kClass, IDOK);
    EXPECT_EQ(StartAgain(""), 0);
    EXPECT_TRUE(Answered(ok));
    EXPECT_EQ(CountWindows(nullptr, kClass), 1);
}

TEST_F(Monitor, IconIsRemovedAndAddedByCommandAndWhenTheShellRestarts)
{
    const int before = TrayIcons();
    ASSERT_TRUE(Start());
    EXPECT_TRUE(WaitFor([&] { return TrayIcons() == before + 1; }));
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    const struct {
        UINT message;
        LPARAM lParam;
        const char* hideBarley;
        int icons;
    } kSteps[] = {{WM_COMMAND, 1, "0", 0}, {WM_COMMAND, 0, "2", 1}, {WM_COMMAND, 1, "0", 0},
                  {taskbarCreated, 0, "0", 1}, {WM_COMMAND, 1, "1", 0}, {taskbarCreated, 0, "1", 0}};
    for (const auto& s : kSteps) {
        SetText(kUser, kOptionsKey, "HideBarley", s.hideBarley);
        SendMessageA(window_, s.message, s.message == WM_COMMAND ? kCmdTrayIcon : 0, s.lParam);
        EXPECT_TRUE(WaitFor([&] { return TrayIcons() == before + s.icons; }, 1000))
            << s.message << " " << s.lParam << " " << s.hideBarley;
    }
}

TEST_F(Monitor, IconClicksOpenTheExplorerPageChosenFromTheMenu)
{
    ASSERT_TRUE(Start());
    PostMessageA(window_, kMsgTrayCallback, kTrayIconId, WM_LBUTTONDBLCLK);
    EXPECT_EQ(Explorer(), "-START\n");
    // On NT the sixth item is the services page, and the twelfth, Exit, is
    // the last, as the restart commands are listed on Windows 9x only.
    const struct {
        int downs;
        const char* explorer;
    } kCases[] = {{1, "-PRIME\n"}, {6, "-SERVICE\n"}, {11, "-HIDDEN\n"}, {12, ""}};
    for (const auto& c : kCases) {
        PostMessageA(window_, kMsgTrayCallback, kTrayIconId, WM_RBUTTONUP);
        HWND menu = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr; }));
        for (int i = 0; i < c.downs; ++i) PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_EQ(Explorer(), c.explorer) << c.downs;
        EXPECT_TRUE(WaitFor([] { return !FindWindowA("#32768", nullptr); }));
    }
    EXPECT_TRUE(Ended(5000));
}

TEST_F(Monitor, SixthTickStartsTheProgramDelayedByTenSeconds)
{
    OwnedKey owned(kUser, kDelayKey);
    ScratchKey machine(HKEY_LOCAL_MACHINE, kDelayKey), user(kUser, kDelayKey);
    const std::string program = dir_.file("VelmoraEx.exe");
    SetText(kUser, kDelayKey, program.c_str(), "11");
    SetText(kUser, (std::string(kDelayKey) + "\\Time").c_str(), program.c_str(), "10");
    SetText(kUser, (std::string(kDelayKey) + "\\Parameters").c_str(), program.c_str(), "-DELAYED");
    ASSERT_TRUE(Start());
    // Sent rather than posted, so each tick has run when the call returns;
    // all six come well inside the two seconds before the monitor's own
    // timer first fires.
    const DWORD begin = GetTickCount();
    for (int tick = 1; tick <= 5; ++tick) SendMessageA(window_, WM_TIMER, kTimerId, 0);
    EXPECT_EQ(Explorer(400), "");
    SendMessageA(window_, WM_TIMER, kTimerId, 0);
    EXPECT_EQ(Explorer(), "-DELAYED\n");
    EXPECT_LT(GetTickCount() - begin, 1500u) << "the monitor's own timer may have ticked";
}

TEST_F(Monitor, ExitAsksWhenConfirmExitIsSetAndNoKeepsTheMonitor)
{
    SetText(kUser, kOptionsKey, "ConfirmExit", "1");
    const int before = TrayIcons();
    ASSERT_TRUE(Start());
    const struct {
        UINT message;
        WPARAM command;
        int answer;
        const char* explorer;
    } kCases[] = {{WM_COMMAND, kCmdExit, IDNO, "-RESTART\n"},
                  {WM_CLOSE, 0, IDNO, "-RESTART\n"},
                  {WM_CLOSE, 0, IDYES, ""}};
    for (const auto& c : kCases) {
        DialogAnswerer answer("#32770", kClass, c.answer);
        PostMessageA(window_, c.message, c.command, 0);
        EXPECT_TRUE(Answered(answer)) << c.answer;
        EXPECT_EQ(Ended(c.answer == IDYES ? 5000 : 300), c.answer == IDYES) << c.answer;
        EXPECT_EQ(Explorer(), c.explorer) << c.answer;
        EXPECT_TRUE(WaitFor([] { return !FindWindowA("#32770", kClass); }));
    }
    EXPECT_TRUE(WaitFor([&] { return TrayIcons() == before; }));
}
