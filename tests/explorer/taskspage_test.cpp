// The Active Tasks page over fixture programs the test starts from folders
// of its own, hosted in a sheet and driven as a user would; and the sheet
// itself refilling the page when it is asked for again.
#include <atomic>

#include "tests/explorer/explorertest.h"

using namespace explorertest;
using namespace startuptest;

namespace {

constexpr const char* kSheet = "VlTasksPageSheet";

// A fixture program copied under a name of the test's and started; ended
// when the test is over.
struct Running {
    std::string path;
    UniqueHandle process;
    Running(const ScratchDir& dir, const char* name, const char* fixture) : path(dir.file(name))
    {
        if (CopyFileA(FixturePath(fixture).c_str(), path.c_str(), FALSE)) process = UniqueHandle(StartProgram("\"" + path + "\""));
    }
    ~Running() { TerminateProcess(process.get(), 0), WaitForSingleObject(process.get(), 5000); }
    bool ended(DWORD ms) const { return WaitForSingleObject(process.get(), ms) == WAIT_OBJECT_0; }
};

std::string Upper(std::string text) { return CharUpperBuffA(text.data(), static_cast<DWORD>(text.size())), text; }

int Selected(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0)); }

class TasksPage : public ::testing::Test {
protected:
    SavedUserTree corvath_{"Software\\Corvath"};
    ScratchDir dir_{"vltaskspage"};
    void SetUp() override { DeleteFileA(HistoryPath().c_str()); }
    void TearDown() override { DeleteFileA(HistoryPath().c_str()); }
};

TEST_F(TasksPage, ListsRunningProgramsUnselectedSortsAndKillsTwoWithoutAsking)
{
    Running alpha(dir_, "vltp_alpha.exe", "tasks_fixture.exe");
    Running beta(dir_, "vltp_beta.exe", "fixture_app.exe");
    ASSERT_TRUE(alpha.process && beta.process);
    Sleep(300);
    PageHost host(ActiveTasksPageSpec(), kSheet);
    ASSERT_TRUE(host.list);
    EXPECT_EQ(0, Selected(host.list)) << "Kill Task asks nothing: no row is chosen for the user";
    const int row = host.RowWith(0, "VLTP_ALPHA.EXE");
    ASSERT_GE(row, 0);
    EXPECT_EQ("Tasks Fixture Program", Cell(host.list, row, 1));
    EXPECT_EQ("Fixture Works", Cell(host.list, row, 2));
    char normalized[MAX_PATH];
    NormalizeProgramPath(alpha.path.c_str(), normalized);
    const std::string stamped = Reg(HKEY_CURRENT_USER, kDetectedActiveTasksKey, normalized);
    EXPECT_NE(kMissing, stamped) << "first sight is recorded when the page lists it";
    EXPECT_EQ(stamped, Cell(host.list, row, 3));

    host.ClickColumn(1);
    EXPECT_LT(host.RowWith(0, "VLTP_BETA.EXE"), host.RowWith(0, "VLTP_ALPHA.EXE"));
    EXPECT_EQ(2, ReadOption("SortActiveTask", 0));
    host.ClickColumn(1);
    EXPECT_GT(host.RowWith(0, "VLTP_BETA.EXE"), host.RowWith(0, "VLTP_ALPHA.EXE"));

    Select(host.list, host.RowWith(0, "VLTP_ALPHA.EXE"));
    Select(host.list, host.RowWith(0, "VLTP_BETA.EXE"), false);
    ASSERT_TRUE(host.Command(1007)) << "two rows are ended without a question";
    EXPECT_TRUE(alpha.ended(5000));
    EXPECT_TRUE(beta.ended(5000));
    const std::string history = Upper(ReadTextFile(HistoryPath()));
    EXPECT_NE(std::string::npos, history.find(Upper("\tTASK_Kill\tINFO_TASK\tTasks Fixture Program\t" + alpha.path)))
        << history;
    EXPECT_NE(std::string::npos, history.find(Upper("\tTASK_Kill\tINFO_TASK\tFixture Application\t" + beta.path)))
        << history;
    EXPECT_LT(host.RowWith(0, "VLTP_ALPHA.EXE"), 0);
    EXPECT_EQ(0, Selected(host.list));
    EXPECT_NE(std::string::npos, host.Answered(1007, "Velmora Help", IDOK).find("No selection"));
}

// Two programs of one file name in two folders are two rows; Kill Task ends
// the one whose row was chosen, whichever the list found first.
TEST_F(TasksPage, KillEndsTheSelectedRowsOwnProgramAmongNamesakes)
{
    ScratchDir other("vltaskspage2");
    Running first(dir_, "vltp_same.exe", "tasks_fixture.exe");
    Running second(other, "vltp_same.exe", "tasks_fixture.exe");
    ASSERT_TRUE(first.process && second.process);
    Sleep(300);
    PageHost host(ActiveTasksPageSpec(), kSheet);
    ASSERT_TRUE(host.list);
    std::vector<int> rows;
    for (int row = 0; row < RowCount(host.list); ++row)
        if (Cell(host.list, row, 0) == "VLTP_SAME.EXE") rows.push_back(row);
    ASSERT_EQ(2u, rows.size());
    const int later = RowItem(host.list, rows[0]) > RowItem(host.list, rows[1]) ? rows[0] : rows[1];
    char chosen[kPathLen] = "";
    GetItemPath(RowItem(host.list, later), chosen);
    const bool chosenIsSecond = lstrcmpiA(chosen, second.path.c_str()) == 0;
    ASSERT_TRUE(chosenIsSecond || lstrcmpiA(chosen, first.path.c_str()) == 0) << chosen;
    Select(host.list, later);
    ASSERT_TRUE(host.Command(1007));
    EXPECT_TRUE((chosenIsSecond ? second : first).ended(5000));
    EXPECT_FALSE((chosenIsSecond ? first : second).ended(0));
}

std::atomic<bool> g_askAgain{false};
std::atomic<bool> g_askedAgain{false};

// Runs on the sheet's thread, inside its modal loop, as the main window's
// command handler does when a second request for the page arrives.
void CALLBACK AskAgain(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_askAgain.exchange(false)) return;
    OpenSheet(kPageActiveTasks);
    g_askedAgain = true;
}

TEST_F(TasksPage, AskingForThePageWhileItShowsRefillsIt)
{
    std::thread sheetThread([] {
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, AskAgain);
        OpenSheet(kPageActiveTasks);
        KillTimer(nullptr, timer);
    });
    HWND sheet = WaitWindow(GetAppCaption());
    HWND page = sheet ? PropSheet_GetCurrentPageHwnd(sheet) : nullptr;
    HWND list = page ? GetDlgItem(page, IDC_LIST) : nullptr;
    if (list) {
        Running late(dir_, "vltp_late.exe", "tasks_fixture.exe");
        EXPECT_TRUE(late.process);
        Sleep(300);
        SendMessageA(page, WM_NULL, 0, 0);
        EXPECT_LT(RowWith(list, 0, "VLTP_LATE.EXE"), 0);
        g_askAgain = true;
        for (int i = 0; i < 200 && !g_askedAgain; ++i) Sleep(50);
        EXPECT_TRUE(g_askedAgain);
        SendMessageA(page, WM_NULL, 0, 0);
        EXPECT_GE(RowWith(list, 0, "VLTP_LATE.EXE"), 0);
        EXPECT_EQ(0, Selected(list));
    }
    if (sheet) PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    sheetThread.join();
    ASSERT_TRUE(list);
}

}  // namespace
