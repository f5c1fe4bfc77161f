#include <gtest/gtest.h>

#include <string>

#include "tests/catalogue/startuptest.h"

namespace {

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

// A running copy of the fixture program, ended when the test is over.
class RunningFixture {
    DWORD id_ = 0;   // before process_, which fills it in
    UniqueHandle process_;

public:
    RunningFixture() : process_(StartProgram(Quoted(FixturePath("tasks_fixture.exe")), &id_)) {}
    ~RunningFixture()
    {
        TerminateProcess(process_.get(), 0);
        WaitForSingleObject(process_.get(), 5000);
    }
    DWORD id() const { return id_; }
    // Gone, and with an exit code that does not read as "still running" (259).
    bool ended(DWORD waitMs) const
    {
        DWORD code = STILL_ACTIVE;
        return WaitForSingleObject(process_.get(), waitMs) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(process_.get(), &code) && code != STILL_ACTIVE;
    }
};

std::string HistoryPath()
{
    char path[MAX_PATH] = {};
    GetHistoryFilePath(path);
    return path;
}

}   // namespace

TEST(ActiveTasks, EnumerationReportsThisProcessAndStopsWhenAsked)
{
    std::string self;
    auto findSelf = [](DWORD id, WORD task16, const char* name, void* context) {
        if (id != GetCurrentProcessId()) return 1;
        EXPECT_EQ(task16, 0);
        *static_cast<std::string*>(context) = name;
        return 0;
    };
    ASSERT_EQ(EnumRunningPrograms(findSelf, &self), 1);
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    EXPECT_EQ(lstrcmpiA(self.c_str(), module), 0) << self;

    int calls = 0;
    auto stopAtOnce = [](DWORD, WORD, const char*, void* context) {
        ++*static_cast<int*>(context);
        return 0;
    };
    EXPECT_EQ(EnumRunningPrograms(stopAtOnce, &calls), 1);
    EXPECT_EQ(calls, 1);
}

TEST(ActiveTasks, ChildIsFoundByPathAndByBareNameThenEndedOnlyAfterYes)
{
    RunningFixture child;
    ASSERT_NE(child.id(), 0u);
    const std::string path = FixturePath("tasks_fixture.exe");
    DeleteFileA(HistoryPath().c_str());
    EXPECT_EQ(FindProcessByPath(path.c_str()), child.id());
    EXPECT_EQ(FindProcessByPath((Quoted(path) + " -arg").c_str()), child.id());
    EXPECT_EQ(IsProgramRunning("TASKS_FIXTURE.EXE"), 1);

    // String 707 asks first; No leaves the program running. The answering
    // thread marks its click only after the box has closed.
    for (int answer : {IDNO, IDYES}) {
        DialogAnswerer answerer("#32770", GetAppCaption(), answer);
        EXPECT_EQ(EndProcessByPath(path.c_str(), "Tasks Fixture", 1), child.id());
        for (int i = 0; i < 100 && !answerer.answered(); ++i) Sleep(20);
        EXPECT_TRUE(answerer.answered());
        // Once ended, the program is gone by the time the call returns.
        EXPECT_EQ(child.ended(answer == IDNO ? 200 : 0), answer == IDYES);
    }
    EXPECT_EQ(IsProgramRunning(path.c_str()), 0);
    const std::string history = ReadTextFile(HistoryPath());
    EXPECT_NE(history.find("\tTASK_Kill\tINFO_TASK\tTasks Fixture\t" + path + "\t"),
              std::string::npos)
        << history;
    DeleteFileA(HistoryPath().c_str());
}

TEST(ActiveTasks, ProgramsNotRunningAreNotFoundAndEndingThemAsksNothing)
{
    DialogAnswerer answer("#32770", GetAppCaption(), IDYES, 1500);
    EXPECT_EQ(EndProcessByPath("C:\\nowhere\\vl_not_running.exe", "Nothing", 1), 0u);
    EXPECT_EQ(EndProcessByPath("", "", 1), 0u);
    Sleep(1600);
    EXPECT_FALSE(answer.answered());
    EXPECT_EQ(FindProcessByPath(("C:\\" + std::string(3000, 'a') + ".exe").c_str()), 0u);
    EXPECT_EQ(IsProgramRunning("   "), 0);
    EXPECT_EQ(TerminateProcessById(0xFFFFFFF0u), 0);
}

TEST(ActiveTasks, TwoCopiesGiveOneEntryWithTheFirstReportedIdAndEndById)
{
    RunningFixture first;
    RunningFixture second;
    ASSERT_TRUE(first.id() && second.id());
    const std::string path = FixturePath("tasks_fixture.exe");
    const DWORD reportedFirst = FindProcessByPath(path.c_str());
    ASSERT_GT(BuildActiveTaskList(), 1);
    const std::vector<int> entries = startuptest::IndexesWithPath(path);
    ASSERT_EQ(entries.size(), 1u);
    const startuptest::Item item = startuptest::ReadItem(entries[0]);
    EXPECT_EQ(item.title + "|" + std::to_string(item.type), "Tasks Fixture Program|600");
    EXPECT_EQ(static_cast<DWORD>(item.flag), reportedFirst);

    EXPECT_EQ(TerminateProcessById(first.id()), 1);
    EXPECT_TRUE(first.ended(0));
    EXPECT_FALSE(second.ended(0));
}
