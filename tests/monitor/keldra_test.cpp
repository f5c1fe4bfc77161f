// Keldra.dll as the monitor loads it: by ordinal, with a hidden top-level
// window that receives its messages. Processes, keys and files are real.
#include "monitor/keldra/keldra.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include "tests/catalogue/startuptest.h"

namespace {

using AttachFn = int(WINAPI*)(HWND);
using DetachFn = int(WINAPI*)(void);
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kScratchValue = "KeldraTestScratch";

int ThreadCount()
{
    UniqueFile snap(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 te = {};
    te.dwSize = sizeof te;
    int n = 0;
    for (BOOL ok = Thread32First(snap.get(), &te); ok; ok = Thread32Next(snap.get(), &te))
        n += te.th32OwnerProcessID == GetCurrentProcessId();
    return n;
}

class Keldra : public testing::Test {
protected:
    UniqueModule dll{LoadLibraryA(BuildPath("monitor\\Keldra.dll").c_str())};
    AttachFn attach = reinterpret_cast<AttachFn>(GetProcAddress(dll.get(), MAKEINTRESOURCEA(2)));
    DetachFn detach = reinterpret_cast<DetachFn>(GetProcAddress(dll.get(), MAKEINTRESOURCEA(3)));
    HWND window = CreateWindowExA(0, "STATIC", "keldra test", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                  nullptr, nullptr, nullptr);
    int threadsBefore = ThreadCount();

    void SetUp() override
    {
        ASSERT_TRUE(attach && detach && window);
        ASSERT_EQ(1, attach(window));
    }
    void TearDown() override
    {
        if (detach) detach();
        if (window) DestroyWindow(window);
    }
    // Pumps for up to ms milliseconds and counts the messages `message`
    // (both of Keldra's when 0) whose wParam is param (any when 0); with
    // untilFirst, returns at the first.
    int Count(UINT message, DWORD ms, WPARAM param = 0, bool untilFirst = true)
    {
        int seen = 0;
        for (const DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
            MSG msg;
            while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
                const bool ours = message ? msg.message == message
                                          : msg.message == kKeldraProcessStarted ||
                                                msg.message == kKeldraAutostartChanged;
                seen += ours && (param == 0 || msg.wParam == param);
            }
            if (seen && untilFirst) return seen;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        return seen;
    }
};

TEST_F(Keldra, OnlyOrdinalsTwoAndThreeAreExported)
{
    EXPECT_EQ(nullptr, GetProcAddress(dll.get(), MAKEINTRESOURCEA(1)));
    EXPECT_EQ(nullptr, GetProcAddress(dll.get(), "KeldraAttach"));
    EXPECT_EQ(nullptr, GetProcAddress(dll.get(), "KeldraDetach"));
}

TEST_F(Keldra, NewProcessIsReportedOnceWithItsId)
{
    DWORD pid = 0;
    UniqueHandle app(StartProgram(FixturePath("fixture_app.exe"), &pid));
    ASSERT_TRUE(app);
    EXPECT_EQ(1, Count(kKeldraProcessStarted, 10000, pid));
    EXPECT_EQ(0, Count(kKeldraProcessStarted, 3500, pid, false)) << "reported twice";
    TerminateProcess(app.get(), 0);
}

TEST_F(Keldra, AutostartChangesAreReported)
{
    const startuptest::SavedValue saved(HKEY_CURRENT_USER, kRunKey, kScratchValue);
    const startuptest::SavedProfile load("load");
    const startuptest::TempFile link(startuptest::UserStartupFolder() + "\\keldra-test.txt");
    const struct {
        const char* what;
        bool (*change)(const std::string& file);
    } cases[] = {
        {"Run value written",
         [](const std::string&) {
             return startuptest::SetText(HKEY_CURRENT_USER, kRunKey, kScratchValue, "x.exe");
         }},
        {"Run value deleted",
         [](const std::string&) {
             return RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, kScratchValue) == 0;
         }},
        {"win.ini load list written",
         [](const std::string&) { return WriteProfileStringA("windows", "load", "x.exe") != 0; }},
        {"Startup file created", [](const std::string& f) { return WriteTextFile(f, "x"); }},
    };
    for (const auto& c : cases) {
        Count(kKeldraAutostartChanged, 700, 0, false);   // lets the last case settle
        ASSERT_TRUE(c.change(link.path())) << c.what;
        EXPECT_EQ(1, Count(kKeldraAutostartChanged, 5000)) << c.what;
    }
}

TEST_F(Keldra, BurstOfWritesGivesOneMessage)
{
    const startuptest::SavedValue saved(HKEY_CURRENT_USER, kRunKey, kScratchValue);
    Count(kKeldraAutostartChanged, 700, 0, false);
    for (int i = 0; i < 10; ++i)
        startuptest::SetText(HKEY_CURRENT_USER, kRunKey, kScratchValue, std::to_string(i));
    EXPECT_EQ(1, Count(kKeldraAutostartChanged, 1500, 0, false));
}

TEST_F(Keldra, DetachStopsMessagesAndEndsTheThread)
{
    EXPECT_EQ(1, attach(window)) << "second attach";
    EXPECT_EQ(threadsBefore + 1, ThreadCount());
    EXPECT_EQ(1, detach());
    EXPECT_EQ(0, detach());
    EXPECT_EQ(threadsBefore, ThreadCount());
    const startuptest::SavedValue saved(HKEY_CURRENT_USER, kRunKey, kScratchValue);
    startuptest::SetText(HKEY_CURRENT_USER, kRunKey, kScratchValue, "x.exe");
    UniqueHandle app(StartProgram(FixturePath("fixture_app.exe")));
    EXPECT_EQ(0, Count(0, 3500));
    TerminateProcess(app.get(), 0);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(1, attach(window));
        EXPECT_EQ(threadsBefore + 1, ThreadCount());
        EXPECT_EQ(1, detach());
        EXPECT_EQ(threadsBefore, ThreadCount());
    }
}

}  // namespace
