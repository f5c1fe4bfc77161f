// The history window driven as a user would: the real dialog, its list read
// back row by row, its buttons clicked from a helper thread.
#include "tests/explorer/explorertest.h"

using namespace explorertest;
using namespace startuptest;

namespace {

constexpr int kUndo = 1104, kClear = 1106;

// Each row's four cells, joined by "|".
std::vector<std::string> ReadRows(HWND list)
{
    std::vector<std::string> rows(RowCount(list));
    for (size_t row = 0; row < rows.size(); ++row)
        for (int column = 0; column < 4; ++column) {
            if (column) rows[row] += '|';
            rows[row] += Cell(list, row, column);
        }
    return rows;
}

// Opens the window, lets body act on it from a helper thread, then closes it.
void WithHistoryWindow(const std::function<void(HWND dialog, HWND list)>& body)
{
    std::thread helper([&] {
        HWND dialog = WaitWindow("Velmora History");
        if (!dialog) return;
        body(dialog, GetDlgItem(dialog, 1000));
        Click(dialog, IDOK);
    });
    ShowHistoryWindow(nullptr);
    helper.join();
}

std::string Line(std::string action, const char* type, const std::string& title,
                 const std::string& program, const std::string& extra = "")
{
    return "12/07/2026  6:05 AM\t" + action + "\t" + type + "\t" + title + "\t" + program + "\t" + extra + "\r\n";
}

class HistoryWindow : public ::testing::Test {
protected:
    std::string path_ = HistoryPath(), saved_;
    bool existed_ = false;
    SavedValue run_{HKEY_CURRENT_USER, kRunKey, "VlHistoryProbe"};
    SavedValue option_{HKEY_CURRENT_USER, kOptionsKey, "History"};

    void SetUp() override
    {
        existed_ = GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (existed_) saved_ = ReadTextFile(path_);
        DeleteFileA(path_.c_str());
        SetText(HKEY_CURRENT_USER, kOptionsKey, "History", "0");
    }
    void TearDown() override
    {
        DeleteFileA(path_.c_str());
        if (existed_) WriteTextFile(path_, saved_);
    }
};

TEST_F(HistoryWindow, ListsLinesAndUndoesARunRemovalKeepingItsLineAndSurvivesDamagedLines)
{
    const std::string text = Line("*START_Remove", "CURRENT_RUN", "VlHistoryProbe", "C:\\vl\\probe.exe", "VlHistoryProbe") +
                             "no tabs at all\r\n" +
                             Line("NEW_ACTION", "NO_SUCH_TYPE", "odd", "x") +
                             Line("START_Alert", "CURRENT_RUN", std::string(300, 'T'),
                                  std::string(300, 'P'), "%s%n%s") +
                             std::string(40, 'D') + "\t*START_Remove\r\n";
    ASSERT_TRUE(WriteTextFile(path_, text));
    std::vector<std::string> rows;
    BOOL undoForRemoval = FALSE, undoForUnknown = TRUE;
    WithHistoryWindow([&](HWND dialog, HWND list) {
        Select(list, 2);
        undoForUnknown = IsWindowEnabled(GetDlgItem(dialog, kUndo));
        Select(list, 0);
        undoForRemoval = IsWindowEnabled(GetDlgItem(dialog, kUndo));
        Click(dialog, kUndo);
        rows = ReadRows(list);
    });
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], "VlHistoryProbe|*START_Remove|C:\\vl\\probe.exe|12/07/2026  6:05 AM");
    EXPECT_EQ(rows[1], "|LOG_UNKNOWN||no tabs at all");
    // A name this version does not know is never offered as a removal to undo.
    EXPECT_EQ(rows[2], "odd|LOG_UNKNOWN|x|12/07/2026  6:05 AM");
    EXPECT_FALSE(undoForUnknown);
    EXPECT_EQ(rows[3], "|START_Alert||12/07/2026  6:05 AM");
    EXPECT_EQ(rows[4], "|*START_Remove||");
    EXPECT_TRUE(undoForRemoval);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, "VlHistoryProbe"), "C:\\vl\\probe.exe");
    EXPECT_EQ(ReadTextFile(path_), text);
}

TEST_F(HistoryWindow, DoubleClickEnablesADisabledEntryAndRestoreBringsBackADeletedHiddenFile)
{
    SetText(HKEY_CURRENT_USER, kRunKey, "VlHistoryProbe", "C:\\vl\\probe.exe");
    ASSERT_EQ(DisableRunProgram("VlHistoryProbe", "C:\\vl\\probe.exe", "VlHistoryProbe", 11), 1);
    ASSERT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, "VlHistoryProbe"), kMissing);
    ScratchDir dir("vlhistory_hidden");
    const std::string hidden = dir.file("vlhistory_cloak.dat");
    ASSERT_TRUE(WriteTextFile(hidden, "cloaked"));
    ASSERT_NE(MoveHiddenFileToVault("cloak", hidden.c_str()), 0);
    ASSERT_TRUE(WriteTextFile(path_, Line("START_Disable", "CURRENT_RUN", "VlHistoryProbe",
                                          "C:\\vl\\probe.exe", "VlHistoryProbe") +
                                         Line("*HIDDEN_DeleteFile", "TYPE_HIDDEN", "cloak", hidden)));
    BOOL undoForDisable = TRUE;
    WithHistoryWindow([&](HWND dialog, HWND list) {
        Select(list, 0);
        undoForDisable = IsWindowEnabled(GetDlgItem(dialog, kUndo));
        NMITEMACTIVATE click = {};
        click.hdr = {list, 1000, static_cast<UINT>(NM_DBLCLK)};
        SendMessageA(dialog, WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&click));
        Select(list, 1);
        Click(dialog, kUndo);
    });
    EXPECT_FALSE(undoForDisable);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, "VlHistoryProbe"), "C:\\vl\\probe.exe");
    EXPECT_EQ(ReadTextFile(hidden), "cloaked");
}

TEST_F(HistoryWindow, ShowsTheNewestLinesOfALargeFileAndClearEmptiesIt)
{
    std::string text;
    for (int i = 0; text.size() < 200 * 1024; ++i)
        text += Line("START_Alert", "CURRENT_RUN", "old " + std::to_string(i), "C:\\old.exe");
    text += Line("START_Alert", "CURRENT_RUN", "newest", "C:\\new.exe");
    ASSERT_TRUE(WriteTextFile(path_, text));
    std::vector<std::string> before, after;
    WithHistoryWindow([&](HWND dialog, HWND list) {
        before = ReadRows(list);
        Click(dialog, kClear);
        after = ReadRows(list);
    });
    ASSERT_GT(before.size(), 100u);
    EXPECT_EQ(before.back(), "newest|START_Alert|C:\\new.exe|12/07/2026  6:05 AM");
    // The first row is a whole line, not the cut end of one.
    EXPECT_EQ(before.front().rfind("old ", 0), 0u);
    EXPECT_NE(before.front().find("|START_Alert|C:\\old.exe|12/07/2026  6:05 AM"), std::string::npos);
    EXPECT_TRUE(after.empty());
    EXPECT_EQ(GetFileAttributesA(path_.c_str()), INVALID_FILE_ATTRIBUTES);
}

}   // namespace
