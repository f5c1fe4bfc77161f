// The monitor program driven from outside: its instances, icon, menu,
// delayed starts and exit.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tests/monitor/monitortest.h"


TEST_F(Monitor, SecondStartsActOnTheOneHiddenMonitorBySwitchOrSayTheExplorerIsMissing)
{
    for (auto [switches, stays, explorer] :
         {std::tuple{"-NoOpen", true, ""}, {"", true, "-START\n"}, {"-q", false, ""}, {"-Q", false, ""}}) {
        ASSERT_TRUE((process_ && !Ended(0)) || Start());
        EXPECT_FALSE(IsWindowVisible(window_));
        EXPECT_EQ(StartAgain(switches), 0) << switches;
        EXPECT_EQ(Ended(stays ? 300 : 5000), !stays) << switches;
        EXPECT_EQ(CountWindows(nullptr, kClass), stays ? 1 : 0) << switches;
        EXPECT_EQ(Explorer(), explorer) << switches;
    }
    // Without the explorer beside it, a second start says so (string 795).
    ASSERT_TRUE(DeleteFileA(dir_.file("VelmoraEx.exe").c_str()) && Start());
    DialogAnswerer ok("#32770", kClass, IDOK);
    EXPECT_EQ(StartAgain(""), 0);
    EXPECT_TRUE(Answered(ok));
}

TEST_F(Monitor, IconIsRemovedAndAddedByCommandAndWhenTheShellRestarts)
{
    // Wine's explorer shows one "__winex11_tray_icon" window per icon.
    auto icons = [] { return CountWindows(FindWindowA("__winex11_standalone_tray", nullptr), "__winex11_tray_icon"); };
    const int before = icons();
    ASSERT_TRUE(Start());
    EXPECT_TRUE(WaitFor([&] { return icons() == before + 1; }));
    const UINT shellRestarted = RegisterWindowMessageA("TaskbarCreated");
    // "HideBarley" at 1, and only at 1, keeps the icon away; it may still go.
    for (auto [message, remove, hideBarley, shown] :
         {std::tuple{UINT{WM_COMMAND}, 1, "0", 0}, {WM_COMMAND, 0, "2", 1}, {WM_COMMAND, 1, "0", 0},
          {shellRestarted, 0, "0", 1}, {WM_COMMAND, 1, "1", 0}, {shellRestarted, 0, "1", 0}}) {
        SetText(kUser, kOptionsKey, "HideBarley", hideBarley);
        SendMessageA(window_, message, message == WM_COMMAND ? kCmdTrayIcon : 0, remove);
        EXPECT_TRUE(WaitFor([&] { return icons() == before + shown; }, 1000)) << message << remove << hideBarley;
    }
}

TEST_F(Monitor, IconClicksOpenTheExplorerPageChosenFromTheMenu)
{
    ASSERT_TRUE(Start());
    PostMessageA(window_, kMsgTrayCallback, kTrayIconId, WM_LBUTTONDBLCLK);
    EXPECT_EQ(Explorer(), "-START\n");
    // On NT the sixth item is the services page, and the twelfth, Exit, is
    // the last: the restart commands are listed on Windows 9x only.
    for (auto [downs, explorer] : {std::pair{1, "-PRIME\n"}, {6, "-SERVICE\n"}, {11, "-HIDDEN\n"}, {12, ""}}) {
        // A menu opened while another program takes the foreground (the
        // explorer just started) closes at once: click again.
        HWND menu = nullptr;
        for (int click = 0; click < 3 && !menu; ++click) {
            PostMessageA(window_, kMsgTrayCallback, kTrayIconId, WM_RBUTTONUP);
            WaitFor([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr; }, 2000);
        }
        ASSERT_TRUE(menu);
        for (int i = 0; i < downs; ++i) PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_EQ(Explorer(), explorer) << downs;
        EXPECT_TRUE(WaitFor([] { return !FindWindowA("#32768", nullptr); }));
    }
    EXPECT_TRUE(Ended(5000));
}

TEST_F(Monitor, SixthTickStartsTheProgramDelayedByTenSeconds)
{
    OwnedKey owned(kUser, kDelayKey);
    ScratchKey machine(HKEY_LOCAL_MACHINE, kDelayKey), user(kUser, kDelayKey);
    const std::string program = dir_.file("VelmoraEx.exe"), delay = kDelayKey;
    for (auto [key, value] : {std::pair{"", "11"}, {"\\Time", "10"}, {"\\Parameters", "-DELAYED"}})
        SetText(kUser, (delay + key).c_str(), program.c_str(), value);
    ASSERT_TRUE(Start());
    // Sent, so that each tick has run when the call returns; all six come
    // well inside the two seconds before the monitor's own timer fires.
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
    ASSERT_TRUE(Start());
    for (auto [message, command, answer, explorer] :
         {std::tuple{UINT{WM_COMMAND}, int{kCmdExit}, IDNO, "-RESTART\n"}, {WM_CLOSE, 0, IDNO, "-RESTART\n"},
          {WM_CLOSE, 0, IDYES, ""}}) {
        DialogAnswerer reply("#32770", kClass, answer);
        PostMessageA(window_, message, command, 0);
        EXPECT_TRUE(Answered(reply)) << answer;
        EXPECT_EQ(Ended(answer == IDYES ? 5000 : 300), answer == IDYES) << answer;
        EXPECT_EQ(Explorer(), explorer) << answer;
        EXPECT_TRUE(WaitFor([] { return !FindWindowA("#32770", kClass); }));
    }
}
