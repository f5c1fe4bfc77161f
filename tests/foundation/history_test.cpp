#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/testsupport.h"

namespace {

SYSTEMTIME At(int year, int month, int day, int hour, int minute)
{
    return {static_cast<WORD>(year), static_cast<WORD>(month), 0, static_cast<WORD>(day),
            static_cast<WORD>(hour), static_cast<WORD>(minute), 0, 0};
}

class History : public ::testing::Test {
protected:
    ScratchKey options_{HKEY_CURRENT_USER, kOptionsKey};
    char path_[MAX_PATH] = "";
    void SetUp() override { GetHistoryFilePath(path_); DeleteFileA(path_); }
    void TearDown() override { DeleteFileA(path_); }
};

}  // namespace

TEST(HistoryTime, UsesTheTwelveHourClockAndNeverForNoDate)
{
    SetMessageLanguageId(9);
    const struct {
        SYSTEMTIME time;
        const char* text;
    } cases[] = {{At(2026, 12, 6, 12, 30), "12/06/2026  12:30 PM"}, {At(2026, 12, 6, 0, 5), "12/06/2026  12:05 AM"},
                 {At(2026, 12, 6, 13, 7), "12/06/2026  1:07 PM"},   {At(0, 0, 0, 10, 10), "Never"}};
    for (const auto& c : cases) {
        char out[64];
        FormatHistoryTime(&c.time, out);
        EXPECT_STREQ(out, c.text);
    }
}

TEST_F(History, WritesOneTabSeparatedLinePerActionThatFieldsCannotBreak)
{
    const std::string huge(3000, 'x');
    EXPECT_EQ(WriteHistory("Tool", "C:\\Tools\\tool.exe -min", "Tool", 11, 0), 1);
    EXPECT_EQ(WriteHistory("a", "b", "", 700, 12), 1);   // 12 has two names: the first is written
    EXPECT_EQ(WriteHistory("multi\r\nline\ttitle", huge.c_str(), huge.c_str(), 16, 16), 1);
    std::istringstream file(ReadTextFile(path_));
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(lines[0].find('\t')), "\t*START_Remove\tCURRENT_RUN\tTool\tC:\\Tools\\tool.exe -min\tTool\r");
    EXPECT_EQ(lines[1].substr(lines[1].find('\t')), "\tSERVICE_Disabled\tSERVICE_EXE\ta\tb\t\r");
    EXPECT_NE(lines[2].find("\tLOG_UNKNOWN\tTYPE_UNKNOWN\tmulti  line title\txxx"), std::string::npos);
    EXPECT_LE(lines[2].size() + 1, 1023u);   // the line with its CR LF stays within 1024
    EXPECT_TRUE(lines[2].ends_with("x\r"));
}

TEST_F(History, NothingIsWrittenWhenTheOptionIsZeroAndALostLineIsReported)
{
    WriteOption("History", 0);
    EXPECT_EQ(WriteHistory("a", "b", "c", 1, 1), 0);
    EXPECT_EQ(GetFileAttributesA(path_), INVALID_FILE_ATTRIBUTES);
    WriteOption("History", 2);
    ASSERT_TRUE(WriteTextFile(path_, ""));
    HANDLE held = CreateFileA(path_, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(WriteHistory("a", "b", "c", 1, 1), 0);
    CloseHandle(held);
    EXPECT_EQ(ReadTextFile(path_), "");
}

// Unknown patterns take the first form of their kind. The user's regional
// formats are put back afterwards.
TEST(LocalDate, PatternsFollowTheRegionalSettingWithAFallback)
{
    constexpr const char* kInternational = "Control Panel\\International";
    char date[64] = "", time[64] = "";
    GetRegValue(HKEY_CURRENT_USER, kInternational, "sShortDate", date);
    GetRegValue(HKEY_CURRENT_USER, kInternational, "sTimeFormat", time);
    const struct {
        const char* date;
        const char* time;
        int month, hour;
        const char* text;
    } cases[] = {{"yy/MM/dd", "h:mm:ss tt", 12, 0, "2026/12/06 12:05 AM"},
                 {"dd-MMM-yy", "hh:mm:ss tt", 12, 9, "06-Dec-2026 09:05 AM"},
                 {"yyyy-MM-dd", "HH:mm:ss", 12, 7, "2026-12-06 07:05"},
                 {"M/d/yy", "H:mm:ss", 12, 23, "12/06/2026 23:05"},
                 {"d.M.yyyy", "HH.mm", 12, 15, "12/06/2026 3:05 PM"},
                 {"dd-MMM-yy", "H:mm:ss", 13, 1, "06-?\?\?-2026 1:05"}};   // a damaged month
    for (const auto& c : cases) {
        SetRegValue(HKEY_CURRENT_USER, kInternational, "sShortDate", c.date);
        SetRegValue(HKEY_CURRENT_USER, kInternational, "sTimeFormat", c.time);
        const SYSTEMTIME t = At(2026, c.month, 6, c.hour, 5);
        char out[24];
        FormatLocalDateTime(&t, out);
        EXPECT_STREQ(out, c.text) << c.date << " " << c.time;
    }
    if (date[0]) SetRegValue(HKEY_CURRENT_USER, kInternational, "sShortDate", date);
    if (time[0]) SetRegValue(HKEY_CURRENT_USER, kInternational, "sTimeFormat", time);
}
