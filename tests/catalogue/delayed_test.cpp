#include <gtest/gtest.h>

#include <string>

#include "tests/catalogue/startuptest.h"

namespace {

using namespace startuptest;

const HKEY kMachine = HKEY_LOCAL_MACHINE;
const HKEY kUser = HKEY_CURRENT_USER;
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kDelay = "Software\\Corvath\\Velmora\\Delay";
constexpr const char* kTime = "Software\\Corvath\\Velmora\\Delay\\Time";
constexpr const char* kParameters = "Software\\Corvath\\Velmora\\Delay\\Parameters";
constexpr const char* kApplet = "Software\\Corvath\\Velmora\\Delay\\Applet";
constexpr const char* kOpenAs = "Software\\Corvath\\Velmora\\Delay\\OpenAs";
constexpr const char* kShortcuts = "Software\\Corvath\\Velmora\\Delay\\Shortcuts";
constexpr const char* kEntryKeys[] = {kDelay, kTime, kParameters, kApplet, kOpenAs,
                                      "Software\\Corvath\\Velmora\\Delay\\Title", kShortcuts};

const std::string& Fixture()
{
    static const std::string path = FixturePath("tasks_fixture.exe");
    return path;
}

// Ends every running copy of the fixture program.
void EndFixtures()
{
    for (int i = 0; i < 10; ++i) {
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                         FindProcessByPath(Fixture().c_str())));
        if (!process) return;
        TerminateProcess(process.get(), 0);
        WaitForSingleObject(process.get(), 5000);
    }
}

int CountFixtures()
{
    int count = 0;
    EnumRunningPrograms(
        [](DWORD, WORD, const char* name, void* context) {
            if (lstrcmpiA(name, Fixture().c_str()) == 0) ++*static_cast<int*>(context);
            return 1;
        },
        &count);
    return count;
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

// Both stores are emptied before and after each test: the tests own them.
// Keys brought into being for the approvals and the stores go again.
class Delayed : public ::testing::Test {
protected:
    OwnedKey keys_[3] = {{kMachine, kDelay}, {kUser, kDelay}, {kUser, kApproved}};
    ScratchKey machine_{kMachine, kDelay};
    ScratchKey user_{kUser, kDelay};
    ScratchDir dir_{"vltest_delayed"};
    void SetUp() override
    {
        EndFixtures();
        DeleteFileA(HistoryPath().c_str());
    }
    void TearDown() override { SetUp(); }
};

}   // namespace

TEST_F(Delayed, UserRunEntryMovesIntoTheUserStoreAndBackAsItWasWritten)
{
    // The list shows the command without the quotes that keep the path with
    // a blank one program; the entry comes back with them.
    const char* title = "VlTestDelayUser";
    const char* written = "\"C:\\vltest dir\\tool.exe\" -quiet";
    const char* listed = "C:\\vltest dir\\tool.exe -quiet";
    const std::string program = "C:\\vltest dir\\tool.exe";
    SavedValue run(kUser, kRunKey, title);
    SavedValue approved(kUser, kApproved, listed);
    SetText(kUser, kRunKey, title, written);

    EXPECT_EQ(DelayStartupEntry(title, listed, "", 11, 0), 1);
    EXPECT_EQ(Reg(kUser, kRunKey, title), kMissing);
    EXPECT_EQ(Reg(kUser, kDelay, program) + "|" + Reg(kUser, kTime, program) + "|" +
                  Reg(kUser, kParameters, program) + "|" + Reg(kUser, kApplet, program),
              "11|30|-quiet|" + kMissing);
    EXPECT_EQ(Reg(kUser, kApproved, listed), "1103");
    EXPECT_NE(ReadTextFile(HistoryPath()).find("\t*START_Remove\tCURRENT_RUN\tVlTestDelayUser\t"),
              std::string::npos);

    // Listed from the user store, then put back where it came from with
    // every value of the entry gone.
    ASSERT_EQ(GetDelayedPrograms(), 1);
    const Item item = ReadItem(0);
    EXPECT_EQ(item.title + "|" + std::to_string(item.type) + "|" + std::to_string(item.flag),
              std::string(title) + "|11|1");
    SetText(kUser, kOpenAs, program.c_str(), "1");
    EXPECT_EQ(UndelayEntry(0, 1), 1);
    // The store names the program in its normalized form; quotes and
    // arguments come back as they were.
    EXPECT_EQ(lstrcmpiA(Reg(kUser, kRunKey, title).c_str(), written), 0) << Reg(kUser, kRunKey, title);
    EXPECT_EQ(Reg(kUser, kRunKey, title).front(), '"');
    for (const char* key : kEntryKeys) EXPECT_EQ(Reg(kUser, key, program), kMissing) << key;
    EXPECT_EQ(RemoveDelayValues(kUser, ""), 0);
}

TEST_F(Delayed, MachineEntryWaitsForTheUsersConsent)
{
    const char* title = "VlTestDelayMachine";
    const char* command = "C:\\vltest\\machine.exe";
    SavedValue run(kMachine, kRunKey, title);
    SavedValue approved(kUser, kApproved, command);
    SetText(kMachine, kRunKey, title, command);
    for (int answer : {IDCANCEL, IDOK}) {
        DialogAnswerer answerer("#32770", GetAppCaption(), answer);
        EXPECT_EQ(DelayStartupEntry(title, command, "", 1, 0), answer == IDOK ? 1 : 0);
        EXPECT_TRUE(Answered(answerer));
        EXPECT_EQ(Reg(kMachine, kRunKey, title), answer == IDOK ? kMissing : command);
        EXPECT_EQ(Reg(kMachine, kDelay, command), answer == IDOK ? "1" : kMissing);
    }
    ASSERT_EQ(GetDelayedPrograms(), 1);
    EXPECT_EQ(GetItemFlag(0), 0);

    // Taken out without going back: the entry is simply gone.
    EXPECT_EQ(UndelayEntry(0, 0), 1);
    EXPECT_EQ(Reg(kMachine, kDelay, command) + Reg(kMachine, kRunKey, title), kMissing + kMissing);
    EXPECT_EQ(UndelayEntry(5, 1), 0);
}

TEST_F(Delayed, RefusedEntriesLeaveEverythingAsItWas)
{
    for (auto [code, command, result] : {std::tuple{251, "C:\\vltest\\shell.exe", 0},
                                         std::tuple{11, "C:\\Tools\\Velmora.exe", kDelayStop}}) {
        DialogAnswerer ok("#32770", GetAppCaption(), IDOK);
        EXPECT_EQ(DelayStartupEntry("VlTestRefused", command, "", code, 0), result);
        EXPECT_TRUE(Answered(ok));
    }
    // Program paths name registry values; a longer one cannot be stored whole.
    const std::string longCommand = "C:\\vltest\\" + std::string(400, 'l') + ".exe";
    EXPECT_EQ(DelayStartupEntry("VlTestLong", longCommand.c_str(), "", 11, 0), 0);
    // An entry that is not where the list saw it is not delayed.
    EXPECT_EQ(DelayStartupEntry("VlTestGone", "C:\\vltest\\gone.exe", "", 11, 0), 0);

    // A second entry of the same program would take over the first one's
    // record: it stays where it is, and each keeps its own arguments.
    SavedValue first(kUser, kRunKey, "VlTestSameA");
    SavedValue second(kUser, kRunKey, "VlTestSameB");
    SetText(kUser, kRunKey, "VlTestSameA", "C:\\vltest\\same.exe -a");
    SetText(kUser, kRunKey, "VlTestSameB", "C:\\vltest\\same.exe -b");
    EXPECT_EQ(DelayStartupEntry("VlTestSameA", "C:\\vltest\\same.exe -a", "", 11, 0), 1);
    EXPECT_EQ(DelayStartupEntry("VlTestSameB", "C:\\vltest\\same.exe -b", "", 11, 0), 0);
    EXPECT_EQ(Reg(kUser, kRunKey, "VlTestSameB"), "C:\\vltest\\same.exe -b");
    EXPECT_EQ(Reg(kUser, kParameters, "C:\\vltest\\same.exe"), "-a");

    // A Startup-folder entry whose file may not be deleted there stays, and
    // no record would start its program a second time.
    const std::string link = dir_.file("elsewhere.lnk");
    ASSERT_TRUE(WriteTextFile(link, "not in a Startup folder"));
    EXPECT_EQ(DelayStartupEntry("VlTestStays", "C:\\vltest\\stays.exe", link.c_str(), 200, 0), 0);
    EXPECT_EQ(Reg(kUser, kDelay, "C:\\vltest\\stays.exe"), kMissing);
    EXPECT_FALSE(ReadTextFile(link).empty());

    // Going back fails where no shortcut can be made: the record is all that
    // is left of the entry, so it stays.
    SetText(kUser, kDelay, "C:\\vltest\\parked.exe", "200");
    SetText(kUser, kShortcuts, "C:\\vltest\\parked.exe", "C:\\vltest-no-such-dir\\parked.lnk");
    ASSERT_EQ(GetDelayedPrograms(), 2);
    const int parked = IndexesWithPath("C:\\vltest\\parked.exe").at(0);
    EXPECT_EQ(UndelayEntry(parked, 1), 0);
    EXPECT_EQ(Reg(kUser, kDelay, "C:\\vltest\\parked.exe"), "200");
}

TEST_F(Delayed, SlotsStartExactTimesOnlyAndNeverASecondCopy)
{
    const std::string report = dir_.file("report.txt");
    SetText(kUser, kDelay, "C:\\vltest\\odd.exe", "11");
    SetText(kUser, kTime, "C:\\vltest\\odd.exe", "25");
    SetText(kUser, kDelay, Fixture().c_str(), "11");
    SetText(kUser, kTime, Fixture().c_str(), "10");
    SetText(kUser, kParameters, Fixture().c_str(), report);
    SetText(kMachine, kDelay, "C:\\vltest\\bad code.exe", "junk");
    ASSERT_EQ(ResetDelayedLaunch(), 3);
    // Machine store first; a title falls back to the product name, or to
    // the file name, and a code that is no number counts as 0.
    EXPECT_EQ(ReadItem(0).title + "|" + std::to_string(ReadItem(0).type), "bad code.exe|0");
    const std::vector<int> fixture = IndexesWithPath(Fixture());
    ASSERT_EQ(fixture.size(), 1u);
    EXPECT_EQ(ReadItem(fixture[0]).title, "Tasks Fixture Product");
    EXPECT_EQ(ReadItem(fixture[0]).detail, "Tasks Fixture Program");

    // The timer runs slot 10 on its sixth tick.
    for (int tick = 1; tick < 6; ++tick) EXPECT_EQ(DelayedLaunchTick(), 0) << tick;
    EXPECT_EQ(CountFixtures(), 0);
    EXPECT_EQ(DelayedLaunchTick(), 1);
    EXPECT_EQ(WaitForFile(report), "show=1");
    EXPECT_EQ(CountFixtures(), 1);
    // Already running: counted, not started again. 25 seconds match no slot.
    for (int slot : {10, 20, 30}) EXPECT_EQ(RunDelayedSlot(slot), 2) << slot;
    EXPECT_EQ(CountFixtures(), 1);
}

TEST_F(Delayed, OpenAsPicksTheShowStateAndOutOfRangeMeansNormal)
{
    const std::string report = dir_.file("report.txt");
    for (auto [openAs, shown] : {std::pair{"1", "show=6"}, std::pair{"5", "show=1"}}) {
        SetText(kUser, kOpenAs, Fixture().c_str(), openAs);
        EXPECT_EQ(RunProgram(nullptr, kUser, Fixture().c_str(), report.c_str()), 1);
        EXPECT_EQ(WaitForFile(report), shown);
        EndFixtures();
        DeleteFileA(report.c_str());
    }
}

TEST_F(Delayed, RundllEntryStartsTheAppletWithDllAndEntryPoint)
{
    // A copy of our own: the history leaves out commands that name the
    // product, and the build tree may lie in a folder named after it.
    const std::string dll = dir_.file("fixture.dll");
    ASSERT_TRUE(CopyFileA(FixturePath("tasks_fixture_dll.dll").c_str(), dll.c_str(), FALSE));
    // Listed as the text behind RUNDLL32.EXE, with flag word 1.
    const std::string marker = dir_.file("touched.txt");
    const std::string listed = dll + ",VlTouch " + marker;
    const char* title = "VlTestRundll";
    SavedValue run(kUser, kRunKey, title);
    SavedValue approved(kUser, kApproved, listed);
    SetText(kUser, kRunKey, title, "rundll32.exe " + listed);

    EXPECT_EQ(DelayStartupEntry(title, listed.c_str(), "", 11, 1), 1);
    EXPECT_EQ(Reg(kUser, kRunKey, title), kMissing);
    EXPECT_EQ(Reg(kUser, kApplet, dll), "RunDLL32.exe");
    EXPECT_EQ(Reg(kUser, kParameters, dll), ",VlTouch " + marker);
    EXPECT_EQ(Reg(kUser, kApproved, listed), "1103");
    EXPECT_NE(ReadTextFile(HistoryPath()).find("\trundll32.exe " + listed + "\t"),
              std::string::npos);
    char command[1024] = {};
    ASSERT_EQ(BuildDelayedCommand(kUser, dll.c_str(), command), 1);
    EXPECT_EQ(lstrcmpiA(command, ("RunDLL32.exe " + listed).c_str()), 0) << command;

    ResetDelayedLaunch();
    EXPECT_EQ(RunDelayedSlot(30), 1);
    EXPECT_EQ(WaitForFile(marker), "touched:" + marker);
}
