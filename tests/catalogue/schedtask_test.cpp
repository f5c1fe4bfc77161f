#include <gtest/gtest.h>

#include <mstask.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

constexpr CLSID kClsidTaskScheduler = {
    0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
constexpr IID kIidTaskScheduler = {
    0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
constexpr CLSID kClsidTask = {
    0x148BD520, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
constexpr IID kIidTask = {
    0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
constexpr IID kIidPersistFile = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr const wchar_t* kProgram = L"C:\\windows\\notepad.exe";

std::wstring Wide(const std::string& text)
{
    wchar_t out[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out, MAX_PATH);
    return out;
}

ComPtr<ITaskScheduler> OpenScheduler()
{
    ComPtr<ITaskScheduler> scheduler;
    CoCreateInstance(kClsidTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, kIidTaskScheduler,
                     reinterpret_cast<void**>(scheduler.put()));
    return scheduler;
}

// Names as the scheduler enumerates them, one at a time.
std::vector<std::string> RawTaskOrder()
{
    std::vector<std::string> names;
    ComPtr<ITaskScheduler> scheduler = OpenScheduler();
    if (!scheduler) return names;
    ComPtr<IEnumWorkItems> items;
    if (FAILED(scheduler->Enum(items.put()))) return names;
    for (;;) {
        LPWSTR* batch = nullptr;
        ULONG fetched = 0;
        if (FAILED(items->Next(1, &batch, &fetched)) || fetched == 0) {
            if (batch) CoTaskMemFree(batch);
            break;
        }
        char name[MAX_PATH] = {};
        WideCharToMultiByte(CP_ACP, 0, batch[0], -1, name, MAX_PATH, nullptr, nullptr);
        names.push_back(name);
        CoTaskMemFree(batch[0]);
        CoTaskMemFree(batch);
    }
    return names;
}

struct TaskSpec {
    std::string name;
    std::string comment;
    bool hasTrigger = false;
    WORD year = 0, month = 0, day = 0, hour = 0, minute = 0;
    std::string program;   // notepad when empty
};

TaskSpec Named(const std::string& name, const std::string& comment = "")
{
    TaskSpec spec;
    spec.name = name;
    spec.comment = comment;
    return spec;
}

TaskSpec Triggered(const std::string& name, WORD year, WORD month, WORD day, WORD hour,
                   WORD minute, const std::string& comment = "")
{
    TaskSpec spec = Named(name, comment);
    spec.hasTrigger = true;
    spec.year = year;
    spec.month = month;
    spec.day = day;
    spec.hour = hour;
    spec.minute = minute;
    return spec;
}

// Creates real .job work items and deletes every one of them on the way out,
// also when an assertion has failed.
class ScratchTasks {
    ComApartment apartment_;
    std::vector<std::string> names_;

public:
    explicit ScratchTasks(std::vector<std::string> names) : names_(std::move(names)) { DeleteAll(); }
    ~ScratchTasks() { DeleteAll(); }
    ScratchTasks(const ScratchTasks&) = delete;
    ScratchTasks& operator=(const ScratchTasks&) = delete;

    void DeleteAll()
    {
        ComPtr<ITaskScheduler> scheduler = OpenScheduler();
        if (!scheduler) return;
        for (const std::string& name : names_) scheduler->Delete(Wide(name).c_str());
    }

    HRESULT Create(const TaskSpec& spec)
    {
        ComPtr<ITaskScheduler> scheduler = OpenScheduler();
        if (!scheduler) return E_FAIL;
        ComPtr<ITask> task;
        HRESULT hr = scheduler->NewWorkItem(Wide(spec.name).c_str(), kClsidTask, kIidTask,
                                            reinterpret_cast<IUnknown**>(task.put()));
        if (FAILED(hr)) return hr;
        task->SetApplicationName(spec.program.empty() ? kProgram : Wide(spec.program).c_str());
        task->SetWorkingDirectory(L"C:\\windows");
        if (!spec.comment.empty()) task->SetComment(Wide(spec.comment).c_str());
        if (spec.hasTrigger) {
            WORD index = 0;
            ComPtr<ITaskTrigger> trigger;
            hr = task->CreateTrigger(&index, trigger.put());
            if (FAILED(hr)) return hr;
            TASK_TRIGGER data = {};
            data.cbTriggerSize = sizeof data;
            data.wBeginYear = spec.year;
            data.wBeginMonth = spec.month;
            data.wBeginDay = spec.day;
            data.wStartHour = spec.hour;
            data.wStartMinute = spec.minute;
            data.TriggerType = TASK_TIME_TRIGGER_ONCE;
            hr = trigger->SetTrigger(&data);
            if (FAILED(hr)) return hr;
        }
        ComPtr<IPersistFile> file;
        hr = task->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(file.put()));
        if (FAILED(hr)) return hr;
        return file->Save(nullptr, TRUE);
    }
};

std::string JobPath(const std::string& name)
{
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\Tasks\\" + name + ".job";
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListedTitles()
{
    std::vector<std::string> titles;
    for (int i = 0; i < ItemCount(); ++i) {
        char title[kTitleLen] = {};
        GetItemTitle(i, title);
        titles.push_back(title);
    }
    return titles;
}

int FindTitle(const std::string& title)
{
    std::vector<std::string> titles = ListedTitles();
    for (size_t i = 0; i < titles.size(); ++i)
        if (lstrcmpiA(titles[i].c_str(), title.c_str()) == 0) return static_cast<int>(i);
    return -1;
}

std::string LoadText(int id)
{
    char text[256] = {};
    LoadLocalizedString(id, text);
    return text;
}

}  // namespace

TEST(SchedTask, SchedulerRunsOnceStarted)
{
    ASSERT_EQ(StartScheduler(), 0);
    // The service may still be starting when StartService returns.
    for (int i = 0; i < 200 && !IsSchedulerRunning(); ++i) Sleep(50);
    EXPECT_EQ(IsSchedulerRunning(), 1);
    EXPECT_EQ(StartScheduler(), 0);   // already running
}

TEST(SchedTask, ListsEveryTaskWithEachBatchOfFiveReversed)
{
    std::vector<std::string> names;
    for (char c = 'A'; c <= 'F'; ++c) names.push_back(std::string("VlBatch") + c);
    ScratchTasks tasks(names);
    for (const std::string& name : names) ASSERT_EQ(tasks.Create(Named(name)), S_OK) << name;

    std::vector<std::string> raw = RawTaskOrder();
    ASSERT_GE(raw.size(), 6u);
    std::vector<std::string> expected;
    for (size_t start = 0; start < raw.size(); start += 5) {
        size_t end = std::min(start + 5, raw.size());
        for (size_t i = end; i-- > start;) expected.push_back(raw[i]);
    }

    int count = BuildTaskList();
    EXPECT_EQ(count, static_cast<int>(raw.size()));
    EXPECT_EQ(ItemCount(), count);
    EXPECT_EQ(ListedTitles(), expected);

    int i = FindTitle("VlBatchC.job");
    ASSERT_GE(i, 0);
    char path[kPathLen] = {}, detail[kDetailLen] = {}, next[kEntryLen] = {};
    GetItemPath(i, path);
    GetItemDetail(i, detail, kDetailLen);
    GetItemEntryName(i, next);
    EXPECT_EQ(lstrcmpiA(path, "C:\\windows\\notepad.exe"), 0) << path;
    EXPECT_STREQ(detail, LoadText(IDS_NEVER).c_str());   // never run
    EXPECT_STREQ(next, LoadText(IDS_NEVER).c_str());     // no trigger
    EXPECT_EQ(GetItemType(i), kTaskScheduled);
    EXPECT_EQ(GetItemFlag(i), 0);
}

TEST(SchedTask, RunTimesUseTheTwelveHourClock)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    WORD year = static_cast<WORD>(now.wYear + 1);
    ScratchTasks tasks({"VlClockNoon", "VlClockMidnight"});
    ASSERT_EQ(tasks.Create(Triggered("VlClockNoon", year, 3, 14, 12, 30)), S_OK);
    ASSERT_EQ(tasks.Create(Triggered("VlClockMidnight", year, 11, 2, 0, 5)), S_OK);

    char noon[64], midnight[64];
    snprintf(noon, sizeof noon, "03/14/%04u  12:30 PM", year);
    snprintf(midnight, sizeof midnight, "11/02/%04u  12:05 AM", year);

    BuildTaskList();
    int i = FindTitle("VlClockNoon.job");
    int j = FindTitle("VlClockMidnight.job");
    ASSERT_GE(i, 0);
    ASSERT_GE(j, 0);
    char text[kEntryLen] = {};
    GetItemEntryName(i, text);
    EXPECT_STREQ(text, noon);
    GetItemEntryName(j, text);
    EXPECT_STREQ(text, midnight);

    char next[64] = {};
    EXPECT_GT(GetTaskNextRunTime("vlclocknoon.job", next), 0);
    EXPECT_STREQ(next, noon);
}

TEST(SchedTask, StatusAndCommentTextsAreTakenLiterally)
{
    // Percent signs in names and comments are text, never a format.
    const std::string name = "VlText %s %n %d";
    const std::string comment = "100% sure: %s%n%x";
    SYSTEMTIME now;
    GetLocalTime(&now);
    ScratchTasks tasks({name});
    ASSERT_EQ(tasks.Create(Triggered(name, static_cast<WORD>(now.wYear + 1), 1, 1, 8, 0, comment)),
              S_OK);

    BuildTaskList();
    EXPECT_GE(FindTitle(name + ".job"), 0);

    char text[1024] = {};
    EXPECT_EQ(GetTaskComment((name + ".job").c_str(), text), static_cast<int>(comment.size()));
    EXPECT_EQ(std::string(text), comment);
    char status[64] = {};
    EXPECT_GT(GetTaskStatusText(name.c_str(), status), 0);
    EXPECT_STREQ(status, LoadText(IDS_TASK_STATUS_READY).c_str());
}

TEST(SchedTask, StatusFollowsTheScheduler)
{
    ScratchTasks tasks({"VlStatusIdle", "VlStatusRun"});
    ASSERT_EQ(tasks.Create(Named("VlStatusIdle")), S_OK);   // no trigger
    SYSTEMTIME now;
    GetLocalTime(&now);
    // A program that ends by itself: the scheduler cannot be relied on to end it.
    TaskSpec run = Triggered("VlStatusRun", static_cast<WORD>(now.wYear + 1), 6, 1, 9, 0);
    run.program = FixturePath("sched_fixture.exe");
    ASSERT_EQ(tasks.Create(run), S_OK);
    char status[64] = {};
    EXPECT_GT(GetTaskStatusText("VlStatusIdle.job", status), 0);
    EXPECT_STREQ(status, LoadText(IDS_TASK_STATUS_NOT_SCHEDULED).c_str());

    ComPtr<ITaskScheduler> scheduler = OpenScheduler();
    ASSERT_TRUE(scheduler);
    ComPtr<ITask> task;
    ASSERT_EQ(scheduler->Activate(L"VlStatusRun", kIidTask, reinterpret_cast<IUnknown**>(task.put())),
              S_OK);
    ASSERT_EQ(task->Run(), S_OK);
    HRESULT state = S_OK;
    for (int i = 0; i < 100; ++i) {
        ComPtr<ITask> fresh;
        scheduler->Activate(L"VlStatusRun", kIidTask, reinterpret_cast<IUnknown**>(fresh.put()));
        if (fresh && SUCCEEDED(fresh->GetStatus(&state)) && state == SCHED_S_TASK_RUNNING) break;
        Sleep(100);
    }
    ASSERT_EQ(state, SCHED_S_TASK_RUNNING);
    EXPECT_GT(GetTaskStatusText("VlStatusRun", status), 0);
    EXPECT_STREQ(status, LoadText(IDS_TASK_STATUS_RUNNING).c_str());

    // Once run, the most recent run time is a date rather than "Never".
    BuildTaskList();
    int i = FindTitle("VlStatusRun.job");
    ASSERT_GE(i, 0);
    char detail[kDetailLen] = {};
    GetItemDetail(i, detail, kDetailLen);
    EXPECT_STRNE(detail, LoadText(IDS_NEVER).c_str());
    EXPECT_TRUE(strstr(detail, " AM") || strstr(detail, " PM")) << detail;
}

TEST(SchedTask, RemoveDeletesOnlyTheNamedTask)
{
    ScratchTasks tasks({"VlRemoveMe", "VlKeepMe"});
    ASSERT_EQ(tasks.Create(Named("VlRemoveMe")), S_OK);
    ASSERT_EQ(tasks.Create(Named("VlKeepMe")), S_OK);
    ASSERT_TRUE(Exists(JobPath("VlRemoveMe")));

    // The name as the list shows it, in another case.
    EXPECT_EQ(RemoveScheduledTask("VLREMOVEME.JOB"), S_OK);
    EXPECT_FALSE(Exists(JobPath("VlRemoveMe")));
    EXPECT_TRUE(Exists(JobPath("VlKeepMe")));

    BuildTaskList();
    EXPECT_LT(FindTitle("VlRemoveMe.job"), 0);
    EXPECT_GE(FindTitle("VlKeepMe.job"), 0);

    // The name without the suffix the scheduler adds.
    EXPECT_EQ(RemoveScheduledTask("VlKeepMe"), S_OK);
    EXPECT_FALSE(Exists(JobPath("VlKeepMe")));
}

TEST(SchedTask, UnknownNameFindsNothingAndRemovesNothing)
{
    ScratchTasks tasks({"VlBystander"});
    ASSERT_EQ(tasks.Create(Named("VlBystander", "still here")), S_OK);
    int before = BuildTaskList();

    char text[256] = "junk";
    EXPECT_EQ(GetTaskStatusText("VlNoSuchTask.job", text), 0);
    EXPECT_STREQ(text, "");
    strcpy(text, "junk");
    EXPECT_EQ(GetTaskComment("VlNoSuchTask.job", text), 0);
    EXPECT_STREQ(text, "");
    strcpy(text, "junk");
    EXPECT_EQ(GetTaskNextRunTime("VlNoSuchTask.job", text), 0);
    EXPECT_STREQ(text, "");
    // A prefix of a real name is not that name.
    EXPECT_EQ(RemoveScheduledTask("VlBystand"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RemoveScheduledTask(""), E_INVALIDARG);

    EXPECT_TRUE(Exists(JobPath("VlBystander")));
    EXPECT_EQ(BuildTaskList(), before);
}
