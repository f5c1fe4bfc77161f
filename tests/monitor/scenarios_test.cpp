// The monitor at work, driven from outside: something new appears, the
// timer's ticks bring a pass, the alert is read and answered on the screen,
// and the machine is checked for what the answer did.
#include <gtest/gtest.h>

#include <string>

#include "resources/resource.h"
#include "tests/monitor/monitortest.h"

namespace {

constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kProgramAlert = "Velmora New Program Alert";
constexpr const char* kParkedRunKey = "Software\\Corvath\\Velmora\\Disabled\\Run";

class Scenario : public Monitor {
protected:
    SavedValue entry_{kUser, kUserRun, "VlScenario"};
    SavedValue marker_{HKEY_LOCAL_MACHINE, kDisabledMarkerKey, "VlScenario"};
    SavedValue parked_{HKEY_LOCAL_MACHINE, kParkedRunKey, "VlScenario"};
    // A copy in the scratch folder: the removal of an entry whose path names
    // the product is not written to the history, and a checkout may well be
    // in a folder named after it.
    const std::string program_ = dir_.file("startup_fixture.exe");

    void SetUp() override
    {
        Monitor::SetUp();
        ASSERT_TRUE(CopyFileA(FixturePath("startup_fixture.exe").c_str(), program_.c_str(), FALSE));
    }

    // Approvals are kept under the entry as the list shows it: the command
    // without its quotes.
    std::string Approval(const std::string& arguments = "") const
    {
        return Reg(kUser, kApprovedRunKey, program_ + arguments);
    }
    static std::string Entry() { return Reg(kUser, kUserRun, "VlScenario"); }
};

}  // namespace

TEST_F(Scenario, NewRunEntryIsApprovedRemovedAndAtItsThirdReturnDisabled)
{
    OnlyChecks({{"Start", "1"}});
    ASSERT_TRUE(Start());
    const std::string command = "\"" + program_ + "\" /scenario";
    ASSERT_TRUE(SetText(kUser, kUserRun, "VlScenario", command));

    BeginPasses();
    HWND alert = Alert(kProgramAlert);
    ASSERT_TRUE(alert);
    EXPECT_EQ(Text(alert, IDC_NAME), "Startup Fixture Suite");
    EXPECT_EQ(Text(alert, IDC_PATH), program_ + " /scenario");
    EXPECT_EQ(Text(alert, IDC_COMPANY), "Startup Fixture Works");
    EXPECT_EQ(Text(alert, IDC_MESSAGE).rfind("A new auto Startup Program has been detected.\n"
                                             "This program will run each time you login",
                                             0),
              0u);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(alert, IDC_CHECK)));
    Click(alert, IDYES);
    EndPasses();
    EXPECT_EQ(Approval(" /scenario"), "11");
    EXPECT_EQ(Entry(), command);

    // Known now: the next pass asks nothing.
    Passes();
    EXPECT_FALSE(FindWindowA("#32770", kProgramAlert));

    ASSERT_TRUE(DeleteRegValue(kUser, kApprovedRunKey, (program_ + " /scenario").c_str()));
    BeginPasses();
    ASSERT_TRUE(alert = Alert(kProgramAlert));
    Click(alert, IDNO);
    EndPasses();
    EXPECT_EQ(Entry(), kMissing);
    EXPECT_EQ(Approval(" /scenario"), kMissing);
    EXPECT_NE(ReadTextFile(dir_.file("history.txt")).find(command), std::string::npos);

    // The same program a third time in a row: "No" parks it instead.
    ASSERT_TRUE(SetText(kUser, kUserRun, "VlScenario", command));
    BeginPasses();
    ASSERT_TRUE(alert = Alert(kProgramAlert));
    Click(alert, IDNO);
    EndPasses();
    EXPECT_EQ(Entry(), kMissing);
    EXPECT_TRUE(IsDisabledEntry("VlScenario"));
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kParkedRunKey, "VlScenario"), command);
    // Listed as disabled from now on, and not asked about again.
    BeginPasses();
    HWND again = Alert(kProgramAlert, 5000);
    if (again) Click(again, IDYES);
    EndPasses();
    EXPECT_FALSE(again);
}

TEST_F(Scenario, DelayedProgramThatPutItselfBackGoesBackToTheStartupList)
{
    OnlyChecks({{"Start", "1"}});
    const std::string command = "\"" + program_ + "\"";
    ASSERT_TRUE(SetText(kUser, kUserRun, "VlScenario", command));
    ASSERT_TRUE(Start());
    // The explorer moved it to delayed start; it wrote itself back since.
    ASSERT_TRUE(SetText(kUser, kApprovedRunKey, program_.c_str(), "1103"));
    ASSERT_TRUE(SetText(kUser, kDelayKey, program_.c_str(), "11"));
    ASSERT_TRUE(SetText(kUser, (std::string(kDelayKey) + "\\Time").c_str(), program_.c_str(), "30"));

    BeginPasses();
    HWND alert = Alert("This Program doesn't want to be Delayed");
    ASSERT_TRUE(alert);
    EXPECT_EQ(Text(alert, IDC_PATH), program_);
    Click(alert, IDYES);
    EndPasses();
    EXPECT_EQ(Approval(), "11");
    EXPECT_EQ(Reg(kUser, kDelayKey, program_), kMissing);
    EXPECT_EQ(Reg(kUser, std::string(kDelayKey) + "\\Time", program_), kMissing);
    EXPECT_EQ(Entry(), command);
}

TEST_F(Scenario, RunKeyWriteAndProcessStartBringTheStartupCheckWithoutItsPeriod)
{
    // The startup check never runs on its period; only real-time events bring it.
    OnlyChecks({});
    ASSERT_TRUE(Start());
    const std::string command = "\"" + program_ + "\" /realtime";

    // A write to a watched key, with the monitor's own timer running.
    const DWORD written = GetTickCount();
    ASSERT_TRUE(SetText(kUser, kUserRun, "VlScenario", command));
    HWND alert = Alert(kProgramAlert, 15000);
    ASSERT_TRUE(alert);
    EXPECT_LT(GetTickCount() - written, 8000u);
    Click(alert, IDYES);

    // An entry that came while the monitor was away is found when a program
    // starts, since the process count changed.
    EndMonitors();
    ASSERT_TRUE(DeleteRegValue(kUser, kApprovedRunKey, (program_ + " /realtime").c_str()));
    ASSERT_TRUE(Start());
    EXPECT_FALSE(Alert(kProgramAlert, 5000));
    UniqueHandle child(StartProgram(FixturePath("fixture_app.exe")));
    ASSERT_TRUE(child);
    alert = Alert(kProgramAlert, 15000);
    TerminateProcess(child.get(), 0);
    ASSERT_TRUE(alert);
    Click(alert, IDYES);
    EXPECT_EQ(Approval(" /realtime"), "11");
}

TEST_F(Scenario, ChangedStartPageIsKeptOnYesAndPutBackOnNo)
{
    constexpr const char* kMain = "Software\\Microsoft\\Internet Explorer\\Main";
    SavedValue page(kUser, kMain, "Start Page");
    ASSERT_TRUE(SetText(kUser, kMain, "Start Page", "http://intranet.example/"));
    OnlyChecks({{"StartPage", "1"}});
    ASSERT_TRUE(Start());
    Passes();   // the first look remembers the page
    EXPECT_EQ(Reg(kUser, kVelmoraKey, "StartPage"), "http://intranet.example/");

    // One "/" more or less is the same page.
    ASSERT_TRUE(SetText(kUser, kMain, "Start Page", "http://intranet.example"));
    Passes();
    EXPECT_FALSE(FindWindowA("#32770", "Velmora"));

    for (auto [answer, kept] : {std::pair{IDYES, "http://portal.example/"}, {IDNO, "http://portal.example/"}}) {
        const char* changed = answer == IDYES ? "http://portal.example/" : "http://hijack.example/";
        ASSERT_TRUE(SetText(kUser, kMain, "Start Page", changed));
        BeginPasses();
        HWND box = Alert("Velmora");
        ASSERT_TRUE(box) << answer;
        char text[2048] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
        EXPECT_NE(std::string(text).find(changed), std::string::npos) << text;
        Click(box, answer);
        EndPasses();
        EXPECT_EQ(Reg(kUser, kVelmoraKey, "StartPage"), kept) << answer;
        EXPECT_EQ(Reg(kUser, kMain, "Start Page"), kept) << answer;
    }
}

bool SetWriteTime(const char* path, WORD day)
{
    const SYSTEMTIME time = {2020, 1, 0, day, 12, 0, 0, 0};
    FILETIME written;
    UniqueHandle file(CreateFileA(path, FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return file && SystemTimeToFileTime(&time, &written) && SetFileTime(file.get(), nullptr, nullptr, &written);
}

TEST_F(Scenario, ChangedHostsFileIsAcceptedOrRestoredKeepingItsAttributes)
{
    // Windows 6.x skips the comparison; Wine is told to show the monitor an
    // older Windows, whose branch the comparison runs on.
    constexpr const char* kAppDefaults = "Software\\Wine\\AppDefaults\\Velmora.exe";
    OwnedKey wineKey(kUser, kAppDefaults);
    SavedValue version(kUser, kAppDefaults, "Version");
    ASSERT_TRUE(SetText(kUser, kAppDefaults, "Version", "winxp"));
    char hostsPath[kPathLen] = "";
    ASSERT_TRUE(GetHostsFilePath(hostsPath));
    const std::string hosts = hostsPath, original = ReadTextFile(hosts);
    const DWORD attributes = GetFileAttributesA(hostsPath);
    struct Restore {
        std::string path, text;
        DWORD attributes;
        ~Restore()
        {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            WriteTextFile(path, text);
            if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path.c_str(), attributes);
        }
    } restore{hosts, original, attributes};

    OnlyChecks({{"HostFile", "1"}});
    ASSERT_TRUE(Start());   // the first run keeps a copy of HOSTS
    char copy[kPathLen] = "";
    ASSERT_TRUE(GetMonitoredCopyPath("HOSTS", copy));

    const std::string accepted = original + "127.0.0.1 ads.example\r\n";
    for (int control : {IDC_ACCEPT, IDC_REJECT}) {
        SetFileAttributesA(hostsPath, FILE_ATTRIBUTE_NORMAL);
        const std::string changed = control == IDC_ACCEPT ? accepted : accepted + "10.0.0.9 bank.example\r\n";
        ASSERT_TRUE(WriteTextFile(hosts, changed));
        // The record keeps the date to the minute: each change gets one of its own.
        ASSERT_TRUE(SetWriteTime(hostsPath, control == IDC_ACCEPT ? 1 : 2));
        ASSERT_TRUE(SetFileAttributesA(hostsPath, FILE_ATTRIBUTE_READONLY));
        BeginPasses();
        HWND alert = Alert("Velmora: File Change Alert");
        ASSERT_TRUE(alert) << control;
        EXPECT_EQ(Text(alert, IDC_FILE_NAME), "HOSTS");
        Click(alert, control);
        EndPasses();
        EXPECT_EQ(ReadTextFile(hosts), accepted) << control;
        EXPECT_EQ(ReadTextFile(copy), accepted) << control;
        EXPECT_TRUE(GetFileAttributesA(hostsPath) & FILE_ATTRIBUTE_READONLY) << control;
    }
}

TEST_F(Scenario, NewCookieAsksToOpenTheCookieListOnEveryDuePassUntilApproved)
{
    ScratchDir folder("vlscenario_cookies");
    ASSERT_TRUE(WriteTextFile(folder.file("index.dat"), ""));
    ASSERT_TRUE(WriteTextFile(folder.file("vl@tracker[1].txt"), "id\n1\ntracker.example/\n"));
    OnlyChecks({{"Cookies", "1"}});
    ASSERT_TRUE(Start());
    ASSERT_TRUE(SetText(kUser, kVelmoraKey, "IECookieFolder", folder.path() + "\\"));
    for (int answer : {IDYES, IDNO}) {
        BeginPasses();
        HWND box = Alert("Velmora");
        ASSERT_TRUE(box) << answer;
        Click(box, answer);
        EndPasses();
        EXPECT_EQ(Explorer(answer == IDYES ? 2000 : 300), answer == IDYES ? "-COOKIES\n" : "") << answer;
    }
    HKEY cookies = nullptr;
    DWORD values = 0;
    if (RegOpenKeyExA(kUser, kApprovedCookiesKey, 0, KEY_READ, &cookies) == ERROR_SUCCESS) {
        RegQueryInfoKeyA(cookies, 0, 0, 0, 0, 0, 0, &values, 0, 0, 0, 0);
        RegCloseKey(cookies);
    }
    EXPECT_EQ(values, 0u);
}
