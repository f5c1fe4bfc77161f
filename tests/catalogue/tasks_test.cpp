#include <gtest/gtest.h>

#include "tests/catalogue/startuptest.h"

namespace {

const std::string kFixture = FixturePath("tasks_fixture.exe");

// A running copy of the fixture program, ended when the test is over.
class RunningFixture {
    DWORD id_ = 0;   // before process_, which fills it in
    UniqueHandle process_;

public:
    RunningFixture() : process_(StartProgram("\"" + kFixture + "\"", &id_)) {}
    ~RunningFixture() { TerminateProcess(process_.get(), 0); WaitForSingleObject(process_.get(), 5000); }
    DWORD id() const { return id_; }
    // Gone, and with an exit code that does not read as "still running" (259).
    bool ended(DWORD waitMs) const
    {
        DWORD code = STILL_ACTIVE;
        return WaitForSingleObject(process_.get(), waitMs) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(process_.get(), &code) && code != STILL_ACTIVE;
    }
};

}   // namespace

TEST(ActiveTasks, ChildIsFoundByPathAndByBareNameThenEndedOnlyAfterYesAndOnceGoneAsksNothing)
{
    RunningFixture child;
    ASSERT_NE(child.id(), 0u);
    DeleteFileA(startuptest::HistoryPath().c_str());
    EXPECT_EQ(FindProcessByPath(("\"" + kFixture + "\" -arg").c_str()), child.id());
    EXPECT_EQ(IsProgramRunning("TASKS_FIXTURE.EXE"), 1);
    for (int answer : {IDNO, IDYES}) {
        DialogAnswerer answerer("#32770", GetAppCaption(), answer);
        EXPECT_EQ(EndProcessByPath(kFixture.c_str(), "Tasks Fixture", 1), child.id());
        EXPECT_TRUE(startuptest::Answered(answerer));
        // Once ended, the program is gone by the time the call returns.
        EXPECT_EQ(child.ended(answer == IDNO ? 200 : 0), answer == IDYES);
    }
    DialogAnswerer unexpected("#32770", GetAppCaption(), IDYES, 1500);
    EXPECT_EQ(EndProcessByPath(kFixture.c_str(), "Tasks Fixture", 1), 0u);
    EXPECT_EQ(FindProcessByPath(("C:\\" + std::string(3000, 'a') + ".exe").c_str()), 0u);
    Sleep(1600);
    EXPECT_FALSE(unexpected.answered());
    const std::string history = ReadTextFile(startuptest::HistoryPath());
    EXPECT_NE(history.find("\tTASK_Kill\tINFO_TASK\tTasks Fixture\t" + kFixture), std::string::npos);
    DeleteFileA(startuptest::HistoryPath().c_str());
}

TEST(ActiveTasks, TwoCopiesGiveOneEntryWithTheFirstReportedIdAndEndById)
{
    RunningFixture first, second;
    ASSERT_TRUE(first.id() && second.id());
    const DWORD reportedFirst = FindProcessByPath(kFixture.c_str());
    ASSERT_GT(BuildActiveTaskList(), 1);
    const startuptest::Item item = startuptest::OnlyWhere(&startuptest::Item::path, kFixture);
    EXPECT_EQ(item.title, "Tasks Fixture Program");
    EXPECT_EQ(item.type, 600);
    EXPECT_EQ(static_cast<DWORD>(item.flag), reportedFirst);
    EXPECT_EQ(TerminateProcessById(first.id()), 1);
    EXPECT_TRUE(first.ended(0));
    EXPECT_FALSE(second.ended(0));
}
