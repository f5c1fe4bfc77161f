#include <gtest/gtest.h>

#include <mstask.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

std::wstring Wide(const std::string& text)
{
    wchar_t out[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out, MAX_PATH);
    return out;
}

ComPtr<ITaskScheduler> OpenScheduler()
{
    ComPtr<ITaskScheduler> scheduler;
    CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                     reinterpret_cast<void**>(scheduler.put()));
    return scheduler;
}

ComPtr<ITask> OpenTask(ITaskScheduler* scheduler, const std::string& name)
{
    ComPtr<ITask> task;
    scheduler->Activate(Wide(name).c_str(), IID_ITask, reinterpret_cast<IUnknown**>(task.put()));
    return task;
}

// A work item to create: without a year it has no trigger; without a program it runs notepad.
struct TaskShape {
    std::string name, comment = "", program = "";
    WORD year = 0, month = 0, day = 0, hour = 0, minute = 0;
};

WORD NextYear()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return static_cast<WORD>(now.wYear + 1);
}

// Real .job work items, deleted on creation and on the way out.
class ScratchTasks {
    ComApartment apartment_;
    std::vector<TaskShape> shapes_;

    void DeleteAll()
    {
        if (ComPtr<ITaskScheduler> scheduler = OpenScheduler())
            for (const TaskShape& shape : shapes_) scheduler->Delete(Wide(shape.name).c_str());
    }
    static bool Create(ITaskScheduler* scheduler, const TaskShape& shape)
    {
        ComPtr<ITask> task;
        ComPtr<IPersistFile> file;
        if (FAILED(scheduler->NewWorkItem(Wide(shape.name).c_str(), CLSID_CTask, IID_ITask,
                                          reinterpret_cast<IUnknown**>(task.put()))))
            return false;
        task->SetApplicationName(Wide(shape.program.empty() ? "C:\\windows\\notepad.exe" : shape.program).c_str());
        task->SetWorkingDirectory(L"C:\\windows");
        if (!shape.comment.empty()) task->SetComment(Wide(shape.comment).c_str());
        if (shape.year) {
            WORD index = 0;
            ComPtr<ITaskTrigger> trigger;
            TASK_TRIGGER data = {};
            data.cbTriggerSize = sizeof data;
            data.wBeginYear = shape.year;
            data.wBeginMonth = shape.month;
            data.wBeginDay = shape.day;
            data.wStartHour = shape.hour;
            data.wStartMinute = shape.minute;
            data.TriggerType = TASK_TIME_TRIGGER_ONCE;
            if (FAILED(task->CreateTrigger(&index, trigger.put())) || FAILED(trigger->SetTrigger(&data)))
                return false;
        }
        return SUCCEEDED(task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) &&
               file->Save(nullptr, TRUE) == S_OK;
    }

public:
    explicit ScratchTasks(std::vector<TaskShape> shapes) : shapes_(std::move(shapes)) { DeleteAll(); }
    ~ScratchTasks() { DeleteAll(); }
    bool CreateAll()
    {
        ComPtr<ITaskScheduler> scheduler = OpenScheduler();
        for (const TaskShape& shape : shapes_)
            if (!scheduler || !Create(scheduler.get(), shape)) return false;
        return true;
    }
};

int FindTitle(const std::string& title)
{
    for (int i = 0; i < ItemCount(); ++i) {
        char text[kTitleLen] = {};
        GetItemTitle(i, text);
        if (lstrcmpiA(text, title.c_str()) == 0) return i;
    }
    return -1;
}

std::string LoadText(int id)
{
    char text[256] = {};
    LoadLocalizedString(id, text);
    return text;
}

}  // namespace

TEST(SchedTask, ListsEveryTaskInBatchesOfFiveReversedWithTwelveHourRunTimesAndRemovesByName)
{
    const WORD year = NextYear();
    ScratchTasks tasks({{"VlBatchA"}, {"VlBatchB"}, {"VlBatchC"}, {"VlBatchD"},
                        {"VlBatchNoon", "", "", year, 3, 14, 12, 30},
                        {"VlBatchMidnight", "", "", year, 11, 2, 0, 5}});
    ASSERT_TRUE(tasks.CreateAll());
    ASSERT_EQ(StartScheduler(), 0);

    // The prefix may hold other work items: take the names as the scheduler
    // enumerates them, one at a time.
    std::vector<std::string> raw;
    ComPtr<ITaskScheduler> scheduler = OpenScheduler();
    ComPtr<IEnumWorkItems> items;
    ASSERT_TRUE(scheduler);
    ASSERT_EQ(scheduler->Enum(items.put()), S_OK);
    LPWSTR* batch = nullptr;
    ULONG fetched = 0;
    while (SUCCEEDED(items->Next(1, &batch, &fetched)) && fetched == 1) {
        char name[MAX_PATH] = {};
        WideCharToMultiByte(CP_ACP, 0, batch[0], -1, name, MAX_PATH, nullptr, nullptr);
        raw.push_back(name);
        CoTaskMemFree(batch[0]);
        CoTaskMemFree(batch);
    }
    ASSERT_GE(raw.size(), 6u);
    ASSERT_EQ(BuildTaskList(), static_cast<int>(raw.size()));
    for (size_t start = 0, at = 0; start < raw.size(); start += 5)
        for (size_t i = std::min(start + 5, raw.size()); i-- > start; ++at) {
            char title[kTitleLen] = {};
            GetItemTitle(static_cast<int>(at), title);
            EXPECT_EQ(title, raw[i]) << at;
        }

    const int i = FindTitle("VlBatchC.job");
    ASSERT_GE(i, 0);
    char path[kPathLen] = {}, text[kDetailLen] = {};
    GetItemPath(i, path);
    EXPECT_EQ(lstrcmpiA(path, "C:\\windows\\notepad.exe"), 0) << path;
    EXPECT_EQ(GetItemType(i), kTaskScheduled);
    EXPECT_EQ(GetItemFlag(i), 0);
    GetItemDetail(i, text, kDetailLen);
    EXPECT_EQ(text, LoadText(IDS_NEVER));   // never run
    GetItemEntryName(i, text);
    EXPECT_EQ(text, LoadText(IDS_NEVER));   // no trigger
    char noon[64], midnight[64];
    snprintf(noon, sizeof noon, "03/14/%04u  12:30 PM", year);
    snprintf(midnight, sizeof midnight, "11/02/%04u  12:05 AM", year);
    GetItemEntryName(FindTitle("VlBatchNoon.job"), text);
    EXPECT_STREQ(text, noon);
    GetItemEntryName(FindTitle("VlBatchMidnight.job"), text);
    EXPECT_STREQ(text, midnight);
    EXPECT_GT(GetTaskNextRunTime("vlbatchnoon.job", text), 0);
    EXPECT_STREQ(text, noon);

    // A name that matches nothing, not even a prefix of a real name, finds
    // and removes nothing.
    using TextOf = int (*)(const char*, char*, int);
    for (TextOf textOf : {TextOf(GetTaskStatusText), TextOf(GetTaskComment), TextOf(GetTaskNextRunTime)}) {
        char none[256] = "junk";
        EXPECT_EQ(textOf("VlBatchNone.job", none, sizeof none), 0);
        EXPECT_STREQ(none, "");
    }
    EXPECT_EQ(RemoveScheduledTask("VlBatc"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RemoveScheduledTask(""), E_INVALIDARG);
    // The name as the list shows it, in another case; then one without the suffix.
    EXPECT_EQ(RemoveScheduledTask("VLBATCHA.JOB"), S_OK);
    EXPECT_EQ(RemoveScheduledTask("VlBatchB"), S_OK);
    BuildTaskList();
    EXPECT_LT(FindTitle("VlBatchA.job"), 0);
    EXPECT_LT(FindTitle("VlBatchB.job"), 0);
    EXPECT_GE(FindTitle("VlBatchC.job"), 0);
}

TEST(SchedTask, StatusTextsFollowTheSchedulerAndNamesAreTakenLiterally)
{
    // Percent signs in names and comments are text, never a format.
    const std::string literal = "VlText %s %n %d", comment = "100% sure: %s%n%x";
    // A program that ends by itself: the scheduler cannot be relied on to end it.
    ScratchTasks tasks({{literal, comment, "", NextYear(), 1, 1, 8, 0},
                        {"VlStatusIdle"},
                        {"VlStatusRun", "", FixturePath("sched_fixture.exe"), NextYear(), 6, 1, 9, 0}});
    ASSERT_TRUE(tasks.CreateAll());

    BuildTaskList();
    EXPECT_GE(FindTitle(literal + ".job"), 0);
    char text[1024] = {};
    EXPECT_EQ(GetTaskComment((literal + ".job").c_str(), text), static_cast<int>(comment.size()));
    EXPECT_EQ(std::string(text), comment);
    EXPECT_GT(GetTaskStatusText(literal.c_str(), text), 0);
    EXPECT_EQ(text, LoadText(IDS_TASK_STATUS_READY));
    EXPECT_GT(GetTaskStatusText("VlStatusIdle.job", text), 0);   // no trigger
    EXPECT_EQ(text, LoadText(IDS_TASK_STATUS_NOT_SCHEDULED));

    ComPtr<ITaskScheduler> scheduler = OpenScheduler();
    ASSERT_TRUE(scheduler);
    ComPtr<ITask> run = OpenTask(scheduler.get(), "VlStatusRun");
    ASSERT_TRUE(run);
    ASSERT_EQ(run->Run(), S_OK);
    HRESULT state = S_OK;
    for (int i = 0; i < 100; ++i) {
        ComPtr<ITask> fresh = OpenTask(scheduler.get(), "VlStatusRun");
        if (fresh && SUCCEEDED(fresh->GetStatus(&state)) && state == SCHED_S_TASK_RUNNING) break;
        Sleep(100);
    }
    ASSERT_EQ(state, SCHED_S_TASK_RUNNING);
    EXPECT_GT(GetTaskStatusText("VlStatusRun", text), 0);
    EXPECT_EQ(text, LoadText(IDS_TASK_STATUS_RUNNING));

    // Once run, the most recent run time is a date rather than "Never".
    BuildTaskList();
    int i = FindTitle("VlStatusRun.job");
    ASSERT_GE(i, 0);
    GetItemDetail(i, text, kDetailLen);
    EXPECT_TRUE(strstr(text, " AM") || strstr(text, " PM")) << text;
}
