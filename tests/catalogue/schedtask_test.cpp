#include <gtest/gtest.h>
#include <mstask.h>
#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/catalogue/tasktest.h"

using namespace startuptest;
using namespace tasktest;
namespace {
std::string LoadText(int id) { char text[256] = {}; LoadLocalizedString(id, text); return text; }
std::string Status(const std::string& name) { char t[256] = "junk"; GetTaskStatusText(name.c_str(), t); return t; }
}  // namespace

// One scenario, since each scheduler lookup by name waits about a second.
TEST(SchedTask, ListsTasksInBatchOrderAndFindsEachByItsWholeNameInAnyCase)
{
    // Percent signs in names and comments are text, never a format.
    const std::string literal = "VlText %s %n %d", comment = "100% sure: %s%n%x";
    TaskNames tasks({"VlBatchA", "VlBatchB", "VlBatchC", "VlBatchD", literal, "VlBatchRun"});
    for (const char* name : {"VlBatchA", "VlBatchB", "VlBatchC", "VlBatchD"}) ASSERT_TRUE(CreateTask(name, false));
    ASSERT_TRUE(CreateTask(literal, true, "C:\\windows\\notepad.exe", comment));
    ASSERT_TRUE(CreateTask("VlBatchRun", true, FixturePath("sched_fixture.exe")));
    // The prefix may hold other work items: take the names as the scheduler
    // enumerates them, one at a time.
    std::vector<std::string> raw;
    ComPtr<ITaskScheduler> scheduler = OpenScheduler();
    ComPtr<IEnumWorkItems> items;
    ASSERT_EQ(scheduler->Enum(items.put()), S_OK);
    ULONG fetched = 0;
    for (LPWSTR* batch = nullptr; items->Next(1, &batch, &fetched) == S_OK; CoTaskMemFree(batch)) {
        char name[MAX_PATH] = {};
        WideCharToMultiByte(CP_ACP, 0, batch[0], -1, name, MAX_PATH, nullptr, nullptr);
        raw.push_back(name);
        CoTaskMemFree(batch[0]);
    }
    ASSERT_EQ(BuildTaskList(), static_cast<int>(raw.size()));
    for (size_t start = 0, at = 0; start < raw.size(); start += 5)
        for (size_t i = std::min(start + 5, raw.size()); i-- > start; ++at)
            EXPECT_EQ(ReadItem(static_cast<int>(at)).title, raw[i]) << at;
    const Item plain = OnlyWhere(&Item::title, "VlBatchC.job");
    EXPECT_EQ(lstrcmpiA(plain.path.c_str(), "C:\\windows\\notepad.exe"), 0) << plain.path;
    EXPECT_EQ(plain.type, kTaskScheduled);
    EXPECT_EQ(plain.detail + "|" + plain.entry, LoadText(IDS_NEVER) + "|" + LoadText(IDS_NEVER));   // last, next
    char next[64], text[1024] = {};
    snprintf(next, sizeof next, "11/02/%04u  12:05 AM", kNextYear);
    EXPECT_EQ(OnlyWhere(&Item::title, literal + ".job").entry, next);
    EXPECT_GT(GetTaskNextRunTime("VLTEXT %s %n %d.JOB", text), 0);
    EXPECT_STREQ(text, next);
    EXPECT_EQ(GetTaskComment(literal.c_str(), text), static_cast<int>(comment.size()));
    EXPECT_EQ(text, comment);
    EXPECT_EQ(Status(literal), LoadText(IDS_TASK_STATUS_READY));
    EXPECT_EQ(Status("VlBatchC"), LoadText(IDS_TASK_STATUS_NOT_SCHEDULED));
    // A prefix of a real name finds and removes nothing.
    EXPECT_EQ(Status("VlBatc"), "");
    EXPECT_EQ(RemoveScheduledTask("VlBatc"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RemoveScheduledTask(""), E_INVALIDARG);
    EXPECT_EQ(RemoveScheduledTask("VlBatchB"), S_OK);
    ComPtr<ITask> run;
    ASSERT_EQ(scheduler->Activate(L"VlBatchRun", IID_ITask, reinterpret_cast<IUnknown**>(run.put())), S_OK);
    ASSERT_EQ(run->Run(), S_OK);
    HRESULT state = S_OK;
    for (int i = 0; i < 100 && state != SCHED_S_TASK_RUNNING; ++i, Sleep(100)) {
        ComPtr<ITask> fresh;
        if (SUCCEEDED(scheduler->Activate(L"VlBatchRun", IID_ITask, reinterpret_cast<IUnknown**>(fresh.put()))))
            fresh->GetStatus(&state);
    }
    ASSERT_EQ(state, SCHED_S_TASK_RUNNING);
    EXPECT_EQ(Status("VlBatchRun"), LoadText(IDS_TASK_STATUS_RUNNING));
    BuildTaskList();
    EXPECT_TRUE(IndexesOf("VlBatchB.job").empty());
    // Once run, the most recent run time is a date rather than "Never".
    const std::string last = OnlyWhere(&Item::title, "VlBatchRun.job").detail;
    EXPECT_TRUE(last.find(" AM") != std::string::npos || last.find(" PM") != std::string::npos) << last;
}

// A list made after a work item was edited shows it as it is now, however
// often the unchanged item was listed before.
TEST(SchedTask, AnEditedWorkItemIsListedAsItIsNow)
{
    TaskNames tasks({"VlEdited"});
    ASSERT_TRUE(CreateTask("VlEdited", true));
    char next[64];
    snprintf(next, sizeof next, "11/02/%04u  12:05 AM", kNextYear);
    for (int i = 0; i < 2; ++i) {
        BuildTaskList();
        const Item item = OnlyWhere(&Item::title, "VlEdited.job");
        EXPECT_EQ(lstrcmpiA(item.path.c_str(), "C:\\windows\\notepad.exe"), 0) << item.path;
        EXPECT_EQ(item.entry, next);
    }
    const std::string program = FixturePath("sched_fixture.exe");
    {
        ComPtr<ITask> task;
        ComPtr<IPersistFile> file;
        ASSERT_EQ(OpenScheduler()->Activate(L"VlEdited", IID_ITask, reinterpret_cast<IUnknown**>(task.put())), S_OK);
        ASSERT_EQ(task->SetApplicationName(Wide(program).c_str()), S_OK);
        ASSERT_EQ(task->DeleteTrigger(0), S_OK);
        ASSERT_EQ(task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())), S_OK);
        ASSERT_EQ(file->Save(nullptr, TRUE), S_OK);
    }
    BuildTaskList();
    const Item item = OnlyWhere(&Item::title, "VlEdited.job");
    EXPECT_EQ(lstrcmpiA(item.path.c_str(), program.c_str()), 0) << item.path;
    EXPECT_EQ(item.entry, LoadText(IDS_NEVER));
}
