// The Scheduled Tasks page over work items the test saves through the Task
// Scheduler itself, hosted in a sheet of its own and driven as a user would.
#include "tests/catalogue/tasktest.h"
#include "tests/explorer/explorertest.h"

using namespace explorertest;
using namespace startuptest;
using namespace tasktest;

namespace {

constexpr const char* kSheet = "VlSchedPageSheet";

class SchedPage : public ::testing::Test {
protected:
    SavedUserTree corvath_{"Software\\Corvath"};
    const std::string fixture_ = FixturePath("sched_fixture.exe");
    const std::string notepad_ = "C:\\windows\\notepad.exe";
};

TEST_F(SchedPage, ListsSortsAndRemovesATaskOnlyAfterYes)
{
    TaskNames tasks({"VlSpB", "VlSpAbcdef", "VlSpA"});
    ASSERT_TRUE(CreateTask("VlSpB", true, notepad_));
    ASSERT_TRUE(CreateTask("VlSpAbcdef", false, fixture_));
    ASSERT_TRUE(CreateTask("VlSpA", false, notepad_));
    ASSERT_TRUE(WriteApproval(kStoreTasks, "VlSpB.job", 800));
    char next[64];
    snprintf(next, sizeof next, "11/02/%04u  12:05 AM", kNextYear);

    PageHost host(ScheduledTasksPageSpec(), kSheet);
    ASSERT_TRUE(host.list);
    // "VlSpAbcdef.job" is shown without the scheduler's file suffix.
    const int row = host.RowWith(0, "VlSpAbcdef");
    ASSERT_GE(row, 0);
    EXPECT_EQ("sched_fixture.exe", Cell(host.list, row, 1));
    EXPECT_EQ("Never|Never", Cell(host.list, row, 3) + "|" + Cell(host.list, row, 4));
    ASSERT_GE(host.RowWith(0, "VlSpB"), 0);
    EXPECT_EQ("notepad.exe", Cell(host.list, host.RowWith(0, "VlSpB"), 1));
    EXPECT_EQ(next, Cell(host.list, host.RowWith(0, "VlSpB"), 3));

    // Next Run Time sorts by its text: a date ("11/...") before "Never" and back.
    host.ClickColumn(3);
    EXPECT_LT(host.RowWith(0, "VlSpB"), host.RowWith(0, "VlSpA"));
    EXPECT_EQ(4, ReadOption("SortScheduledTask", 0));
    host.ClickColumn(3);
    EXPECT_GT(host.RowWith(0, "VlSpB"), host.RowWith(0, "VlSpA"));
    host.ClickColumn(0);
    EXPECT_LT(host.RowWith(0, "VlSpA"), host.RowWith(0, "VlSpAbcdef"));
    EXPECT_LT(host.RowWith(0, "VlSpAbcdef"), host.RowWith(0, "VlSpB"));

    Select(host.list, host.RowWith(0, "VlSpB"));
    const std::string asked = host.Answered(IDC_REMOVE, GetAppCaption(), IDNO);
    EXPECT_NE(std::string::npos, asked.find("remove VlSpB.job")) << asked;
    EXPECT_TRUE(TaskExists("VlSpB"));
    EXPECT_GE(host.RowWith(0, "VlSpB"), 0);
    Select(host.list, host.RowWith(0, "VlSpB"));
    host.Answered(IDC_REMOVE, GetAppCaption(), IDYES);
    EXPECT_FALSE(TaskExists("VlSpB"));
    EXPECT_LT(host.RowWith(0, "VlSpB"), 0);
    EXPECT_EQ(0, ReadApproval(kStoreTasks, "VlSpB.job")) << "a removed task is asked about again";
    EXPECT_EQ(1, ReadOption("SortScheduledTask", 0));

    ListView_SetItemState(host.list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_NE(std::string::npos, host.Answered(IDC_REMOVE, "Velmora Help", IDOK).find("No selection"));
}

TEST_F(SchedPage, DamagedItemsLongAndFormatLikeNamesAndABadSortOptionDoNotCrash)
{
    // 150 characters: beyond a title's 128, so the list knows it only cut.
    const std::string longName = "VlSpLong" + std::string(142, 'x');
    const std::string percent = "VlSp %s%n%d";
    TaskNames tasks({longName, percent, "VlSpDamaged"});
    ASSERT_TRUE(CreateTask(longName, false, notepad_));
    ASSERT_TRUE(CreateTask(percent, false, "C:\\" + std::string(400, 'p') + ".exe"));
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, MAX_PATH);
    TempFile damaged(std::string(folder) + "\\Tasks\\VlSpDamaged.job");
    ASSERT_TRUE(WriteTextFile(damaged.path(), "not a work item"));
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "SortScheduledTask", "text"));

    PageHost host(ScheduledTasksPageSpec(), kSheet);
    ASSERT_TRUE(host.list);
    EXPECT_EQ(ItemCount(), RowCount(host.list));
    EXPECT_LT(host.RowWith(0, "VlSpDamaged"), 0);
    const int row = host.RowWith(0, "VlSp %s%n%d");
    ASSERT_GE(row, 0);
    Select(host.list, row);
    const std::string asked = host.Answered(IDC_REMOVE, GetAppCaption(), IDYES);
    EXPECT_NE(std::string::npos, asked.find("remove VlSp %s%n%d.job")) << asked;
    EXPECT_FALSE(TaskExists(percent));

    // The cut name finds no task: the user is told, and the task stays.
    int cut = -1;
    for (int r = 0; r < RowCount(host.list); ++r)
        if (Cell(host.list, r, 0).rfind("VlSpLong", 0) == 0) cut = r;
    ASSERT_GE(cut, 0);
    Select(host.list, cut);
    std::string told;   // the question is answered Yes, then the failure read and closed
    std::thread answer([&] {
        for (int button : {IDYES, IDOK}) {
            char text[2048] = "";
            HWND box = WaitWindow(GetAppCaption());
            if (box) GetDlgItemTextA(box, 0xFFFF, text, sizeof text), Click(box, button);
            for (int i = 0; box && i < 100 && IsWindow(box); ++i) Sleep(20);
            told = text;
        }
    });
    SendMessageA(host.page, WM_COMMAND, IDC_REMOVE, 0);
    answer.join();
    EXPECT_NE(std::string::npos, told.find("could not be removed")) << told;
    EXPECT_TRUE(TaskExists(longName));
}

}  // namespace
