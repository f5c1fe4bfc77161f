#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kApproved = "Software\\Corvath\\Velmora\\Run";
constexpr const char* kDelay = "Software\\Corvath\\Velmora\\Delay";
constexpr const char* kTime = "Software\\Corvath\\Velmora\\Delay\\Time";
constexpr const char* kTitle = "Software\\Corvath\\Velmora\\Delay\\Title";
constexpr const char* kParameters = "Software\\Corvath\\Velmora\\Delay\\Parameters";
constexpr const char* kShortcuts = "Software\\Corvath\\Velmora\\Delay\\Shortcuts";
constexpr const char* kApplet = "Software\\Corvath\\Velmora\\Delay\\Applet";
constexpr const char* kOpenAs = "Software\\Corvath\\Velmora\\Delay\\OpenAs";
const std::string kMissing = "<missing>";

std::string Reg(HKEY root, const char* key, const char* name)
{
    char data[4096] = {};
    DWORD size = sizeof(data) - 1;
    if (RegGetValueA(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return kMissing;
    return data;
}

void SetReg(HKEY root, const char* key, const char* name, const std::string& text)
{
    ASSERT_EQ(RegSetKeyValueA(root, key, name, REG_SZ, text.c_str(),
                              static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
}

std::string Trim(std::string text)
{
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// The value name a command is stored under.
std::string ProgramOf(const char* command)
{
    char program[MAX_PATH] = {};
    char arguments[1024] = {};
    SplitProgramAndArguments(command, program, arguments);
    return program;
}

std::string HistoryPath()
{
    char path[MAX_PATH] = {};
    GetHistoryFilePath(path);
    return path;
}

// Ends every running copy of the fixture program.
void EndFixtures()
{
    const std::string path = FixturePath("tasks_fixture.exe");
    for (int i = 0; i < 10; ++i) {
        DWORD id = FindProcessByPath(path.c_str());
        if (!id) return;
        HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!h) return;
        TerminateProcess(h, 0);
        WaitForSingleObject(h, 5000);
        CloseHandle(h);
    }
}

struct ProcessCount {
    std::string path;
    int count;
};
int CountProc(DWORD, WORD, const char* name, void* context)
{
    auto* c = static_cast<ProcessCount*>(context);
    if (lstrcmpiA(name, c->path.c_str()) == 0) ++c->count;
    return 1;
}
int CountFixtures()
{
    ProcessCount c = {FixturePath("tasks_fixture.exe"), 0};
    EnumRunningPrograms(CountProc, &c);
    return c.count;
}

// Polls for a file that a started program writes; the content or "".
std::string WaitForFile(const std::string& path)
{
    for (int i = 0; i < 200; ++i) {
        std::string text = ReadTextFile(path);
        if (!text.empty()) return text;
        Sleep(50);
    }
    return "";
}

// Both stores are emptied before and after each test; the tests own them.
class Delayed : public ::testing::Test {
protected:
    ScratchKey machine_{HKEY_LOCAL_MACHINE, kDelay};
    ScratchKey user_{HKEY_CURRENT_USER, kDelay};
    void SetUp() override
    {
        DeleteFileA(HistoryPath().c_str());
        EndFixtures();
    }
    void TearDown() override
    {
        EndFixtures();
        DeleteFileA(HistoryPath().c_str());
    }
    // A user-store entry that starts at `seconds`.
    static void AddUserEntry(const std::string& program, const char* seconds,
                             const std::string& parameters = "")
    {
        SetReg(HKEY_CURRENT_USER, kDelay, program.c_str(), "11");
        SetReg(HKEY_CURRENT_USER, kTime, program.c_str(), seconds);
        if (!parameters.empty())
            SetReg(HKEY_CURRENT_USER, kParameters, program.c_str(), parameters);
    }
};

}   // namespace

TEST_F(Delayed, UserRunEntryMovesIntoTheUserStore)
{
    const char* title = "VlTestDelayUser";
    const char* command = "C:\\vltest\\tool.exe -quiet";
    SetReg(HKEY_CURRENT_USER, kRunKey, title, command);
    const std::string program = ProgramOf(command);
    ASSERT_FALSE(program.empty());

    EXPECT_EQ(DelayStartupEntry(title, command, "", 11, 0), 1);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, title), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kDelay, program.c_str()), "11");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kTitle, program.c_str()), title);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kTime, program.c_str()), "30");
    EXPECT_EQ(Trim(Reg(HKEY_CURRENT_USER, kParameters, program.c_str())), "-quiet");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApplet, program.c_str()), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApproved, command), "1103");
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kDelay, program.c_str()), kMissing);
    EXPECT_NE(ReadTextFile(HistoryPath()).find("\t*START_Remove\tCURRENT_RUN\tVlTestDelayUser\t"),
              std::string::npos);

    // Listed from the user store, then put back where it came from.
    ASSERT_EQ(GetDelayedPrograms(), 1);
    char text[kTitleLen] = {};
    GetItemTitle(0, text);
    EXPECT_STREQ(text, title);
    EXPECT_EQ(GetItemType(0), 11);
    EXPECT_EQ(GetItemFlag(0), 1);
    EXPECT_EQ(UndelayEntry(0, 1), 1);
    EXPECT_EQ(Trim(Reg(HKEY_CURRENT_USER, kRunKey, title)), program + " -quiet");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kDelay, program.c_str()), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kTime, program.c_str()), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kTitle, program.c_str()), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kParameters, program.c_str()), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kShortcuts, program.c_str()), kMissing);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, title);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kApproved, command);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kApproved, (program + " -quiet").c_str());
}

TEST_F(Delayed, MachineEntryWaitsForTheUsersConsent)
{
    const char* title = "VlTestDelayMachine";
    const char* command = "C:\\vltest\\machine.exe";
    SetReg(HKEY_LOCAL_MACHINE, kRunKey, title, command);
    const std::string program = ProgramOf(command);
    {
        DialogAnswerer cancel("#32770", GetAppCaption(), IDCANCEL);
        EXPECT_EQ(DelayStartupEntry(title, command, "", 1, 0), 0);
        EXPECT_TRUE(cancel.answered());
    }
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kRunKey, title), command);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kDelay, program.c_str()), kMissing);
    {
        DialogAnswerer ok("#32770", GetAppCaption(), IDOK);
        EXPECT_EQ(DelayStartupEntry(title, command, "", 1, 0), 1);
        EXPECT_TRUE(ok.answered());
    }
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kRunKey, title), kMissing);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kDelay, program.c_str()), "1");
    ASSERT_EQ(GetDelayedPrograms(), 1);
    EXPECT_EQ(GetItemFlag(0), 0);

    // Taken out without going back: the entry is simply gone.
    EXPECT_EQ(UndelayEntry(0, 0), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kDelay, program.c_str()), kMissing);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kRunKey, title), kMissing);
    EXPECT_EQ(UndelayEntry(5, 1), 0);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kApproved, command);
}

TEST_F(Delayed, WinlogonHooksAndTheMonitorItselfAreRefused)
{
    {
        DialogAnswerer ok("#32770", GetAppCaption(), IDOK);
        EXPECT_EQ(DelayStartupEntry("Winlogon Shell", "C:\\vltest\\shell.exe", "", 251, 0), 0);
        EXPECT_TRUE(ok.answered());
    }
    {
        DialogAnswerer ok("#32770", GetAppCaption(), IDOK);
        EXPECT_EQ(DelayStartupEntry("Velmora", "C:\\Tools\\Velmora.exe", "", 11, 0), kDelayStop);
        EXPECT_TRUE(ok.answered());
    }
    EXPECT_EQ(GetDelayedPrograms(), 0);
    // Over-long commands cannot be stored whole and are not moved.
    const std::string longCommand = "C:\\vltest\\" + std::string(400, 'l') + ".exe";
    EXPECT_EQ(DelayStartupEntry("VlTestLong", longCommand.c_str(), "", 11, 0), 0);
    EXPECT_EQ(GetDelayedPrograms(), 0);
}

TEST_F(Delayed, ListingFallsBackToTheProductName)
{
    const std::string program = FixturePath("tasks_fixture.exe");
    AddUserEntry(program, "30");
    SetReg(HKEY_LOCAL_MACHINE, kDelay, "C:\\vltest\\machine only.exe", "1");
    SetReg(HKEY_LOCAL_MACHINE, kDelay, "C:\\vltest\\bad code.exe", "junk");
    ASSERT_EQ(GetDelayedPrograms(), 3);
    // Machine store first.
    EXPECT_EQ(GetItemFlag(0), 0);
    EXPECT_EQ(GetItemFlag(1), 0);
    EXPECT_EQ(GetItemFlag(2), 1);
    char title[kTitleLen] = {};
    char detail[kDetailLen] = {};
    GetItemTitle(2, title);
    GetItemDetail(2, detail, kDetailLen);
    EXPECT_STREQ(title, "Tasks Fixture Product");
    EXPECT_STREQ(detail, "Tasks Fixture Program");
    for (int i = 0; i < 2; ++i) {
        GetItemTitle(i, title);
        char path[kPathLen] = {};
        GetItemPath(i, path);
        if (lstrcmpiA(path, "C:\\vltest\\bad code.exe") == 0) {
            EXPECT_EQ(GetItemType(i), 0);
        }
        if (lstrcmpiA(path, "C:\\vltest\\machine only.exe") == 0) {
            EXPECT_STREQ(title, "machine only.exe");
            EXPECT_EQ(GetItemType(i), 1);
        }
    }
}

TEST_F(Delayed, SlotStartsOnlyExactTimesAndNeverASecondCopy)
{
    ScratchDir dir("vltest_delayed_slot");
    const std::string program = FixturePath("tasks_fixture.exe");
    const std::string report = dir.file("report.txt");
    AddUserEntry(program, "30", report);
    AddUserEntry("C:\\vltest\\odd.exe", "25");
    ResetDelayedLaunch();

    EXPECT_EQ(RunDelayedSlot(20), 0);
    EXPECT_EQ(CountFixtures(), 0);
    EXPECT_EQ(RunDelayedSlot(30), 1);
    EXPECT_EQ(WaitForFile(report), "show=1");
    EXPECT_EQ(CountFixtures(), 1);

    // Already running: counted, not started again.
    EXPECT_EQ(RunDelayedSlot(30), 2);
    EXPECT_EQ(CountFixtures(), 1);
}

TEST_F(Delayed, OpenAsOutOfRangeStartsInANormalWindow)
{
    ScratchDir dir("vltest_delayed_openas");
    const std::string program = FixturePath("tasks_fixture.exe");
    const std::string report = dir.file("report.txt");
    SetReg(HKEY_CURRENT_USER, kOpenAs, program.c_str(), "1");
    EXPECT_EQ(RunProgram(nullptr, HKEY_CURRENT_USER, program.c_str(), report.c_str()), 1);
    EXPECT_EQ(WaitForFile(report), "show=6");
    EndFixtures();
    DeleteFileA(report.c_str());

    SetReg(HKEY_CURRENT_USER, kOpenAs, program.c_str(), "5");
    EXPECT_EQ(RunProgram(nullptr, HKEY_CURRENT_USER, program.c_str(), report.c_str()), 1);
    EXPECT_EQ(WaitForFile(report), "show=1");
}

TEST_F(Delayed, RundllEntryStartsTheAppletWithDllAndEntryPoint)
{
    ScratchDir dir("vltest_delayed_rundll");
    const std::string dll = FixturePath("tasks_fixture_dll.dll");
    const std::string marker = dir.file("touched.txt");
    // Listed as the text behind RUNDLL32.EXE, with flag word 1.
    const std::string listed = dll + ",VlTouch " + marker;
    const char* title = "VlTestRundll";
    SetReg(HKEY_CURRENT_USER, kRunKey, title, "rundll32.exe " + listed);

    EXPECT_EQ(DelayStartupEntry(title, listed.c_str(), "", 11, 1), 1);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, title), kMissing);
    const std::string program = ProgramOf(listed.c_str());
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApplet, program.c_str()), "RunDLL32.exe");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kTime, program.c_str()), "30");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApproved, listed.c_str()), "1103");
    EXPECT_NE(ReadTextFile(HistoryPath()).find("\tRunDLL32.exe " + listed + "\t"),
              std::string::npos);

    char command[1024] = {};
    ASSERT_EQ(BuildDelayedCommand(HKEY_CURRENT_USER, program.c_str(), command), 1);
    EXPECT_EQ(lstrcmpiA(command, ("RunDLL32.exe " + listed).c_str()), 0) << command;

    ResetDelayedLaunch();
    EXPECT_EQ(RunDelayedSlot(30), 1);
    EXPECT_EQ(WaitForFile(marker), "touched:" + marker);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kApproved, listed.c_str());
}

TEST_F(Delayed, TimerRunsOneSlotEverySixthTickUntilAllAreHandled)
{
    ScratchDir dir("vltest_delayed_tick");
    AddUserEntry(FixturePath("tasks_fixture.exe"), "10", dir.file("report.txt"));
    AddUserEntry("C:\\vltest\\never.exe", "25");
    ASSERT_EQ(ResetDelayedLaunch(), 2);
    for (int tick = 1; tick < 6; ++tick) EXPECT_EQ(DelayedLaunchTick(), 0) << tick;
    EXPECT_EQ(DelayedLaunchTick(), 1);
    EXPECT_EQ(WaitForFile(dir.file("report.txt")), "show=1");
    // The 25-second entry never matches a slot; the runner keeps going.
    for (int tick = 0; tick < 30; ++tick) EXPECT_EQ(DelayedLaunchTick(), 1);
}

TEST_F(Delayed, RemovingDelayValuesClearsEveryKey)
{
    const char* program = "C:\\vltest\\clear.exe";
    for (const char* key : {kDelay, kTime, kTitle, kParameters, kShortcuts, kApplet, kOpenAs})
        SetReg(HKEY_LOCAL_MACHINE, key, program, "x");
    EXPECT_EQ(RemoveDelayValues(HKEY_LOCAL_MACHINE, program), 1);
    for (const char* key : {kDelay, kTime, kTitle, kParameters, kShortcuts, kApplet, kOpenAs})
        EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, key, program), kMissing) << key;
    EXPECT_EQ(RemoveDelayValues(HKEY_LOCAL_MACHINE, program), 0);
    EXPECT_EQ(RemoveDelayValues(HKEY_LOCAL_MACHINE, ""), 0);
}
