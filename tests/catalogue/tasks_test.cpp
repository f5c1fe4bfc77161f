#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

// A running copy of the fixture program, ended when the test is over.
class RunningFixture {
    HANDLE process_ = nullptr;
    DWORD id_ = 0;

public:
    RunningFixture()
    {
        std::string command = "\"";
        command += FixturePath("tasks_fixture.exe");
        command += '"';
        process_ = StartProgram(command, &id_);
    }
    ~RunningFixture()
    {
        if (!process_) return;
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }
    RunningFixture(const RunningFixture&) = delete;
    RunningFixture& operator=(const RunningFixture&) = delete;
    DWORD id() const { return id_; }
    bool ended(DWORD waitMs = 5000) const
    {
        return WaitForSingleObject(process_, waitMs) == WAIT_OBJECT_0;
    }
};

std::string HistoryPath()
{
    char path[MAX_PATH] = {};
    GetHistoryFilePath(path);
    return path;
}

int CountCalls(DWORD, WORD, const char*, void* context)
{
    ++*static_cast<int*>(context);
    return 0;
}

int FindSelf(DWORD id, WORD task16, const char* name, void* context)
{
    if (id != GetCurrentProcessId()) return 1;
    EXPECT_EQ(task16, 0);
    *static_cast<std::string*>(context) = name;
    return 0;
}

}   // namespace

TEST(ActiveTasks, EnumerationReportsThisProcessAndStopsWhenAsked)
{
    std::string self;
    ASSERT_EQ(EnumRunningPrograms(FindSelf, &self), 1);
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    EXPECT_EQ(lstrcmpiA(self.c_str(), module), 0) << self;

    int calls = 0;
    EXPECT_EQ(EnumRunningPrograms(CountCalls, &calls), 1);
    EXPECT_EQ(calls, 1);
}

TEST(ActiveTasks, ChildIsFoundByPathAndByBareNameThenEnded)
{
    RunningFixture child;
    ASSERT_NE(child.id(), 0u);
    const std::string path = FixturePath("tasks_fixture.exe");
    DeleteFileA(HistoryPath().c_str());

    EXPECT_EQ(FindProcessByPath(path.c_str()), child.id());
    EXPECT_EQ(FindProcessByPath(("\"" + path + "\" -arg").c_str()), child.id());
    EXPECT_EQ(FindProcessByPath("tasks_fixture.exe"), child.id());
    EXPECT_EQ(IsProgramRunning("TASKS_FIXTURE.EXE"), 1);

    EXPECT_EQ(EndProcessByPath(path.c_str(), "Tasks Fixture", 0), child.id());
    EXPECT_TRUE(child.ended());
    EXPECT_EQ(IsProgramRunning(path.c_str()), 0);

    std::string history = ReadTextFile(HistoryPath());
    EXPECT_NE(history.find("\tTASK_Kill\tINFO_TASK\tTasks Fixture\t" + path + "\t"),
              std::string::npos)
        << history;
    DeleteFileA(HistoryPath().c_str());
}

TEST(ActiveTasks, EndingAsksFirstAndNoLeavesTheProgramRunning)
{
    RunningFixture child;
    ASSERT_NE(child.id(), 0u);
    const std::string path = FixturePath("tasks_fixture.exe");
    {
        DialogAnswerer answer("#32770", GetAppCaption(), IDNO);
        EXPECT_EQ(EndProcessByPath(path.c_str(), "", 1), child.id());
        EXPECT_TRUE(answer.answered());
    }
    EXPECT_FALSE(child.ended(200));
    {
        DialogAnswerer answer("#32770", GetAppCaption(), IDYES);
        EXPECT_EQ(EndProcessByPath(path.c_str(), "Tasks Fixture", 1), child.id());
        EXPECT_TRUE(answer.answered());
    }
    EXPECT_TRUE(child.ended());
    DeleteFileA(HistoryPath().c_str());
}

TEST(ActiveTasks, EndingAProgramThatDoesNotRunAsksNothing)
{
    DialogAnswerer answer("#32770", GetAppCaption(), IDYES, 1500);
    EXPECT_EQ(EndProcessByPath("C:\\nowhere\\vl_not_running.exe", "Nothing", 1), 0u);
    EXPECT_EQ(EndProcessByPath("", "", 1), 0u);
    EXPECT_FALSE(answer.answered());
}

TEST(ActiveTasks, TwoCopiesGiveOneEntryWithTheFirstReportedId)
{
    RunningFixture first;
    RunningFixture second;
    ASSERT_NE(first.id(), 0u);
    ASSERT_NE(second.id(), 0u);
    const DWORD reportedFirst = FindProcessByPath(FixturePath("tasks_fixture.exe").c_str());

    const int count = BuildActiveTaskList();
    ASSERT_GT(count, 1);
    int matches = 0;
    for (int i = 0; i < count; ++i) {
        char path[kPathLen] = {};
        char title[kTitleLen] = {};
        GetItemPath(i, path);
        EXPECT_EQ(GetItemType(i), 600);
        if (!ContainsNoCase(path, "TASKS_FIXTURE.EXE")) continue;
        ++matches;
        GetItemTitle(i, title);
        EXPECT_STREQ(title, "Tasks Fixture Program");
        EXPECT_EQ(static_cast<DWORD>(GetItemFlag(i)), reportedFirst);
    }
    EXPECT_EQ(matches, 1);
}

TEST(ActiveTasks, TerminateByIdEndsTheProcessAndRejectsUnknownIds)
{
    RunningFixture child;
    ASSERT_NE(child.id(), 0u);
    EXPECT_EQ(TerminateProcessById(child.id()), 1);
    EXPECT_TRUE(child.ended());
    EXPECT_EQ(TerminateProcessById(0xFFFFFFF0u), 0);
}

TEST(ActiveTasks, OverLongAndEmptyPathsMatchNothing)
{
    std::string longPath = "C:\\" + std::string(3000, 'a') + ".exe";
    EXPECT_EQ(FindProcessByPath(longPath.c_str()), 0u);
    EXPECT_EQ(FindProcessByPath(""), 0u);
    EXPECT_EQ(IsProgramRunning("   "), 0);
}
