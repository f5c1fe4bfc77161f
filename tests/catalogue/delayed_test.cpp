#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "tests/catalogue/startuptest.h"

namespace {

using namespace startuptest;

const HKEY kMachine = HKEY_LOCAL_MACHINE, kUser = HKEY_CURRENT_USER;
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kDelay = "Software\\Corvath\\Velmora\\Delay";
const std::string kTime = kDelay + "\\Time", kParameters = kDelay + "\\Parameters",
                  kApplet = kDelay + "\\Applet", kOpenAs = kDelay + "\\OpenAs";
const std::string kFixture = FixturePath("tasks_fixture.exe");

void Set(HKEY root, const std::string& key, const std::string& name, const std::string& text)
{
    SetText(root, key.c_str(), name.c_str(), text);
}

// Ends every running copy of the fixture program; how many there were.
int EndFixtures()
{
    int ended = 0;
    for (; ended < 10; ++ended) {
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                         FindProcessByPath(kFixture.c_str())));
        if (!process) break;
        TerminateProcess(process.get(), 0);
        WaitForSingleObject(process.get(), 5000);
    }
    return ended;
}

// The text a started program writes into a file, or "" when none comes.
std::string WaitForFile(const std::string& path)
{
    std::string text;
    for (int i = 0; i < 200 && (text = ReadTextFile(path)).empty(); ++i) Sleep(50);
    return text;
}

// The tests own both stores; keys brought into being for them go again.
class Delayed : public ::testing::Test {
protected:
    OwnedKey keys_[3] = {{kMachine, kDelay}, {kUser, kDelay}, {kUser, kApproved}};
    ScratchKey machine_{kMachine, kDelay}, user_{kUser, kDelay};
    ScratchDir dir_{"vltest_delayed"};
    void SetUp() override
    {
        EndFixtures();
        DeleteFileA(HistoryPath().c_str());
    }
    void TearDown() override { SetUp(); }
};

}   // namespace

TEST_F(Delayed, RunEntryGoesToTheStoreOfItsRootAndComesBackStillQuoted)
{
    // The list shows the command without the quotes that keep the path one program.
    const char* title = "VlTestDelay";
    const std::string written = "\"C:\\vltest dir\\tool.exe\" -quiet";
    const char* listed = "C:\\vltest dir\\tool.exe -quiet";
    const std::string program = "C:\\vltest dir\\tool.exe";
    for (auto [root, code, flag] : {std::tuple{kUser, 11, 1}, std::tuple{kMachine, 1, 0}}) {
        SavedValue run(root, kRunKey, title), approved(kUser, kApproved, listed);
        Set(root, kRunKey, title, written);
        if (root == kMachine) {   // a machine-wide move waits for the user's consent
            DialogAnswerer cancel("#32770", GetAppCaption(), IDCANCEL);
            EXPECT_EQ(DelayStartupEntry(title, listed, "", code, 0), 0);
            EXPECT_EQ(Reg(root, kRunKey, title) + Reg(root, kDelay, program), written + kMissing);
        }
        DialogAnswerer consent("#32770", GetAppCaption(), IDOK, root == kMachine ? 10000 : 0);
        EXPECT_EQ(DelayStartupEntry(title, listed, "", code, 0), 1);
        EXPECT_EQ(Reg(root, kRunKey, title) + "|" + Reg(root, kDelay, program) + "|" +
                      Reg(root, kTime, program) + "|" + Reg(root, kParameters, program) + "|" +
                      Reg(root, kApplet, program) + "|" + Reg(kUser, kApproved, listed),
                  kMissing + "|" + std::to_string(code) + "|30|-quiet|" + kMissing + "|1103");
        ASSERT_EQ(GetDelayedPrograms(), 1);
        const Item item = ReadItem(0);
        EXPECT_EQ(item.title + "|" + std::to_string(item.type) + "|" + std::to_string(item.flag),
                  std::string(title) + "|" + std::to_string(code) + "|" + std::to_string(flag));
        EXPECT_EQ(UndelayEntry(1, 0), 0);
        // The user's entry goes back; the machine's is taken out for good.
        Set(root, kOpenAs, program, "1");
        EXPECT_EQ(UndelayEntry(0, root == kUser), 1);
        EXPECT_STRCASEEQ((root == kUser ? written : kMissing).c_str(), Reg(root, kRunKey, title).c_str());
        for (const std::string& key : {kDelay, kTime, kParameters, kApplet, kOpenAs, kDelay + "\\Title",
                                       kDelay + "\\Shortcuts"})
            EXPECT_EQ(Reg(root, key, program), kMissing) << key;
    }
}

TEST_F(Delayed, RefusedEntriesLeaveEverythingAsItWas)
{
    // Shell entries and the product itself are refused with a message.
    for (auto [code, command, result] : {std::tuple{251, "C:\\vltest\\shell.exe", 0},
                                         std::tuple{11, "C:\\Tools\\Velmora.exe", kDelayStop}}) {
        DialogAnswerer ok("#32770", GetAppCaption(), IDOK);
        EXPECT_EQ(DelayStartupEntry("VlTestRefused", command, "", code, 0), result);
        EXPECT_TRUE(Answered(ok));
    }
    // Program paths name registry values; a longer one cannot be stored whole.
    const std::string longCommand = "C:\\vltest\\" + std::string(400, 'l') + ".exe";
    SavedValue longRun(kUser, kRunKey, "VlTestLong"), first(kUser, kRunKey, "VlTestSameA"),
        second(kUser, kRunKey, "VlTestSameB");
    Set(kUser, kRunKey, "VlTestLong", longCommand);
    EXPECT_EQ(DelayStartupEntry("VlTestLong", longCommand.c_str(), "", 11, 0), 0);
    EXPECT_EQ(Reg(kUser, kRunKey, "VlTestLong"), longCommand);
    // An entry that is not where the list saw it is not delayed.
    EXPECT_EQ(DelayStartupEntry("VlTestGone", "C:\\vltest\\gone.exe", "", 11, 0), 0);

    // A second entry of the same program would take over the first one's record.
    Set(kUser, kRunKey, "VlTestSameA", "C:\\vltest\\same.exe -a");
    Set(kUser, kRunKey, "VlTestSameB", "C:\\vltest\\same.exe -b");
    EXPECT_EQ(DelayStartupEntry("VlTestSameA", "C:\\vltest\\same.exe -a", "", 11, 0), 1);
    EXPECT_EQ(DelayStartupEntry("VlTestSameB", "C:\\vltest\\same.exe -b", "", 11, 0), 0);
    EXPECT_EQ(Reg(kUser, kRunKey, "VlTestSameB") + "|" + Reg(kUser, kParameters, "C:\\vltest\\same.exe"),
              "C:\\vltest\\same.exe -b|-a");

    // An entry that cannot leave its place would start twice if it had a record.
    const std::string link = dir_.file("elsewhere.lnk");
    ASSERT_TRUE(WriteTextFile(link, "not in a Startup folder"));
    EXPECT_EQ(DelayStartupEntry("VlTestStays", "C:\\vltest\\stays.exe", link.c_str(), 200, 0), 0);
    EXPECT_EQ(Reg(kUser, kDelay, "C:\\vltest\\stays.exe"), kMissing);

    // When no shortcut can be made the record is all that is left of the entry.
    Set(kUser, kDelay, "C:\\vltest\\parked.exe", "200");
    Set(kUser, kDelay + "\\Shortcuts", "C:\\vltest\\parked.exe", "C:\\vltest-no-such-dir\\parked.lnk");
    ASSERT_EQ(GetDelayedPrograms(), 2);
    EXPECT_EQ(UndelayEntry(IndexesWithPath("C:\\vltest\\parked.exe").at(0), 1), 0);
    EXPECT_EQ(Reg(kUser, kDelay, "C:\\vltest\\parked.exe"), "200");
}

TEST_F(Delayed, SlotsStartExactTimesOnceInTheShowStateOpenAsPicks)
{
    const std::string report = dir_.file("report.txt");
    Set(kUser, kDelay, "C:\\vltest\\odd.exe", "11");
    Set(kUser, kTime, "C:\\vltest\\odd.exe", "25");
    Set(kUser, kDelay, kFixture, "11");
    Set(kUser, kTime, kFixture, "10");
    Set(kUser, kParameters, kFixture, report);
    Set(kUser, kOpenAs, kFixture, "1");
    Set(kMachine, kDelay, "C:\\vltest\\bad code.exe", "junk");
    ASSERT_EQ(ResetDelayedLaunch(), 3);
    // Machine store first; the title falls back to the product name, then to
    // the file name; a code that is no number counts as 0.
    EXPECT_EQ(ReadItem(0).title + "|" + std::to_string(ReadItem(0).type), "bad code.exe|0");
    const Item fixture = OnlyWhere(&Item::path, kFixture);
    EXPECT_EQ(fixture.title + "|" + fixture.detail, "Tasks Fixture Product|Tasks Fixture Program");

    // Slot 10 comes on the sixth tick; a program that runs is counted, not
    // started again; 25 seconds match no slot.
    for (int tick = 1; tick < 6; ++tick) EXPECT_EQ(DelayedLaunchTick(), 0) << tick;
    EXPECT_EQ(DelayedLaunchTick(), 1);
    EXPECT_EQ(WaitForFile(report), "show=6");
    for (int slot : {10, 20, 30}) EXPECT_EQ(RunDelayedSlot(slot), 2) << slot;
    EXPECT_EQ(EndFixtures(), 1);
    // A show state out of range starts the program normally.
    DeleteFileA(report.c_str());
    Set(kUser, kOpenAs, kFixture, "5");
    EXPECT_EQ(RunProgram(nullptr, kUser, kFixture.c_str(), report.c_str()), 1);
    EXPECT_EQ(WaitForFile(report), "show=1");
}

TEST_F(Delayed, RundllEntryStartsTheAppletWithDllAndEntryPoint)
{
    // A copy under %TEMP%: the history leaves out commands that name the
    // product, and the build tree may lie in a folder named after it.
    const std::string dll = dir_.file("fixture.dll");
    ASSERT_TRUE(CopyFileA(FixturePath("tasks_fixture_dll.dll").c_str(), dll.c_str(), FALSE));
    // Listed as the text behind RUNDLL32.EXE, with flag word 1.
    const std::string marker = dir_.file("touched.txt");
    const std::string listed = dll + ",VlTouch " + marker;
    const char* title = "VlTestRundll";
    SavedValue run(kUser, kRunKey, title), approved(kUser, kApproved, listed);
    Set(kUser, kRunKey, title, "rundll32.exe " + listed);

    EXPECT_EQ(DelayStartupEntry(title, listed.c_str(), "", 11, 1), 1);
    EXPECT_EQ(Reg(kUser, kRunKey, title) + "|" + Reg(kUser, kApplet, dll) + "|" +
                  Reg(kUser, kParameters, dll),
              kMissing + "|RunDLL32.exe|,VlTouch " + marker);
    EXPECT_NE(ReadTextFile(HistoryPath()).find("\trundll32.exe " + listed + "\t"), std::string::npos);
    ResetDelayedLaunch();
    EXPECT_EQ(RunDelayedSlot(30), 1);
    EXPECT_EQ(WaitForFile(marker), "touched:" + marker);
    EXPECT_EQ(UndelayEntry(0, 1), 1);
    EXPECT_STRCASEEQ(("RunDLL32.exe " + listed).c_str(), Reg(kUser, kRunKey, title).c_str());
}
