// The monitor program driven from outside: a copy of the built Velmora.exe
// runs in a scratch folder beside a stand-in explorer that writes down the
// switches it was started with.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "monitor/monitor.h"
#include "tests/catalogue/startuptest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;

namespace monitortest {

using namespace startuptest;

const HKEY kUser = HKEY_CURRENT_USER;
constexpr const char* kClass = "Velmora";

template <class F>
bool WaitFor(F done, int ms = 5000)
{
    for (int waited = 0; waited < ms && !done(); waited += 50) Sleep(50);
    return done();
}

// Children of parent (top-level windows for none) of a class.
inline int CountWindows(HWND parent, const char* windowClass)
{
    int count = 0;
    for (HWND h = nullptr; (h = FindWindowExA(parent, h, windowClass, nullptr)) != nullptr;) ++count;
    return count;
}

inline void EndMonitors()
{
    for (DWORD id = 0; GetWindowThreadProcessId(FindWindowA(kClass, nullptr), &id) != 0;) {
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process || !TerminateProcess(process.get(), 1)) return;
        WaitForSingleObject(process.get(), 5000);
    }
}

class Monitor : public ::testing::Test {
protected:
    // A monitor's first run writes its stores, its own Run entry and the
    // monitored system files: each goes back as it was.
    SavedUserTree corvath_{"Software\\Corvath"};
    SavedValue machineEntry_{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Velmora"};
    ScratchKey sysfiles_{HKEY_LOCAL_MACHINE, kSysfilesKey};
    OwnedKey optionsKey_{kUser, kOptionsKey};
    SavedValue options_[2] = {{kUser, kOptionsKey, "ConfirmExit"}, {kUser, kOptionsKey, "HideBarley"}};
    ScratchDir dir_{"vltest_vlmain"};
    const std::string exe_ = dir_.file("Velmora.exe");
    UniqueHandle process_;
    HWND window_ = nullptr;

    void SetUp() override
    {
        EndMonitors();
        for (const char* name : {"ConfirmExit", "HideBarley"}) DeleteRegValue(kUser, kOptionsKey, name);
        // The companion library the monitor is bound to, once the build makes it.
        CopyFileA(BuildPath("monitor\\Keldra.dll").c_str(), dir_.file("Keldra.dll").c_str(), FALSE);
        ASSERT_TRUE(CopyFileA(BuildPath("monitor\\Velmora.exe").c_str(), exe_.c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(FixturePath("explorer_standin.exe").c_str(), dir_.file("VelmoraEx.exe").c_str(), FALSE));
    }

    HWND Start()
    {
        process_ = UniqueHandle(StartProgram("\"" + exe_ + "\""));
        WaitFor([&] { return (window_ = FindWindowA(kClass, nullptr)) != nullptr; });
        // The window exists before the first run has written its stores; an
        // answered message means the monitor is in its message loop.
        if (window_) SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 30000, nullptr);
        return window_;
    }
    int StartAgain(const char* switches) { return RunCaptured("\"" + exe_ + "\" " + switches, nullptr, nullptr, 20000); }
    bool Ended(int ms) { return WaitForSingleObject(process_.get(), ms) == WAIT_OBJECT_0; }
    // Passes as the timer brings them: 17 ticks each, sent from a thread of
    // their own, since a pass that shows an alert waits for the answer; a
    // second apart, for the one-second rule. A write to a watched key makes
    // the monitor start a pass of its own as well, so the half a pass runs
    // is not foreseeable: a check of either half needs two passes.
    std::thread ticker_;
    std::atomic<bool> stopTicks_{false};
    void BeginPasses(int passes = 2)
    {
        EndPasses();
        stopTicks_ = false;
        ticker_ = std::thread([this, passes, w = window_] {
            for (int pass = 0; pass < passes && !stopTicks_; ++pass) {
                Sleep(1100);
                for (int tick = 0; tick <= kTicksBeforePass + 1; ++tick)
                    SendMessageTimeoutA(w, WM_TIMER, kTimerId, 0, SMTO_NORMAL, 60000, nullptr);
            }
        });
    }
    // Waits for the pass that is running; no further pass starts.
    void EndPasses()
    {
        stopTicks_ = true;
        if (ticker_.joinable()) ticker_.join();
    }
    void Passes(int passes = 2)
    {
        BeginPasses(passes);
        if (ticker_.joinable()) ticker_.join();
    }
    // The monitor's options, written before it starts: every check off but
    // those named with their interval.
    static void OnlyChecks(std::initializer_list<std::pair<const char*, const char*>> options)
    {
        for (const char* name : {"Start", "IEHelpers", "Hidden", "HostFile", "StartPage", "FileType",
                                 "Tasks", "WinInit", "Services", "Nuts", "Cookies"})
            SetText(kUser, kOptionsKey, name, "0");
        for (auto [name, value] : options) SetText(kUser, kOptionsKey, name, value);
    }
    static HWND Alert(const char* title, int ms = 10000)
    {
        HWND alert = nullptr;
        WaitFor([&] { return (alert = FindWindowA("#32770", title)) != nullptr; }, ms);
        return alert;
    }
    static std::string Text(HWND dialog, int id)
    {
        char text[1024] = "";
        GetDlgItemTextA(dialog, id, text, sizeof(text));
        return text;
    }
    // Answers and waits until the alert has gone.
    static void Click(HWND dialog, int id)
    {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
        WaitFor([&] { return !IsWindow(dialog); });
    }
    void TearDown() override
    {
        // An alert still open would hold the ticks.
        EndMonitors();
        EndPasses();
    }
    // What the stand-in explorer was started with since the last call.
    std::string Explorer(int ms = 2000)
    {
        std::string text, file = dir_.file("started.txt");
        WaitFor([&] { return !(text = ReadTextFile(file)).empty(); }, ms);
        DeleteFileA(file.c_str());
        return text;
    }
};

}  // namespace monitortest

using namespace monitortest;
