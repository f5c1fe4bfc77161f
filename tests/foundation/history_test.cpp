#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/testsupport.h"

namespace {

SYSTEMTIME At(int year, int month, int day, int hour, int minute)
{
    SYSTEMTIME t = {};
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    return t;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

class History : public ::testing::Test {
protected:
    ScratchKey options_{HKEY_CURRENT_USER, kOptionsKey};
    char path_[MAX_PATH] = "";
    void SetUp() override
    {
        GetHistoryFilePath(path_);
        DeleteFileA(path_);
    }
    void TearDown() override { DeleteFileA(path_); }
    std::string File() const { return ReadTextFile(path_); }
};

constexpr const char* kInternational = "Control Panel\\International";

// The user's regional formats, put back after each test.
class LocalDate : public ::testing::Test {
protected:
    char date_[64] = "";
    char time_[64] = "";
    bool hadDate_ = false;
    bool hadTime_ = false;
    void SetUp() override
    {
        hadDate_ = GetRegValue(HKEY_CURRENT_USER, kInternational, "sShortDate", date_) > 0;
        hadTime_ = GetRegValue(HKEY_CURRENT_USER, kInternational, "sTimeFormat", time_) > 0;
    }
    void TearDown() override
    {
        if (hadDate_) SetRegValue(HKEY_CURRENT_USER, kInternational, "sShortDate", date_);
        if (hadTime_) SetRegValue(HKEY_CURRENT_USER, kInternational, "sTimeFormat", time_);
    }
    static std::string Render(const char* datePattern, const char* timePattern, const SYSTEMTIME& t)
    {
        SetRegValue(HKEY_CURRENT_USER, kInternational, "sShortDate", datePattern);
        SetRegValue(HKEY_CURRENT_USER, kInternational, "sTimeFormat", timePattern);
        char out[24];
        FormatLocalDateTime(&t, out);
        return out;
    }
};

}  // namespace

TEST(HistoryTime, UsesTheTwelveHourClock)
{
    struct Case {
        int hour;
        int minute;
        const char* text;
    };
    const Case cases[] = {{12, 30, "12/06/2026  12:30 PM"}, {0, 5, "12/06/2026  12:05 AM"},
                          {1, 0, "12/06/2026  1:00 AM"},    {11, 59, "12/06/2026  11:59 AM"},
                          {13, 7, "12/06/2026  1:07 PM"},   {23, 59, "12/06/2026  11:59 PM"}};
    for (const Case& c : cases) {
        SYSTEMTIME t = At(2026, 12, 6, c.hour, c.minute);
        char out[64];
        FormatHistoryTime(&t, out);
        EXPECT_STREQ(out, c.text);
    }
}

TEST(HistoryTime, ZeroDateIsNever)
{
    SetMessageLanguageId(9);
    SYSTEMTIME t = At(0, 0, 0, 10, 10);
    char out[64];
    FormatHistoryTime(&t, out);
    EXPECT_STREQ(out, "Never");
}

TEST(ActionCodes, SearchByCodeFindsTheFirstName)
{
    struct Case {
        int code;
        const char* name;
    };
    const Case cases[] = {{0, "*START_Remove"},     {12, "SERVICE_Disabled"}, {13, "TASK_Restore"},
                          {16, "LOG_UNKNOWN"},      {23, "REMOVE_TaskScheduler"}, {27, "LOG_UNKNOWN"},
                          {29, "*HIDDEN_DeleteFile"}, {31, "LOG_UNKNOWN"},    {-4, "LOG_UNKNOWN"}};
    for (const Case& c : cases) {
        char name[48];
        EXPECT_EQ(ActionCodeName(c.code, name), static_cast<int>(strlen(c.name)));
        EXPECT_STREQ(name, c.name) << c.code;
    }
}

TEST(ActionCodes, OnlyTheStarredActionsAreReversible)
{
    EXPECT_EQ(IsReversibleAction("*START_Remove"), 1);
    EXPECT_EQ(IsReversibleAction("*HIDDEN_DeleteFile"), 1);
    EXPECT_EQ(IsReversibleAction("START_Disable"), 0);
    EXPECT_EQ(IsReversibleAction("*NOT_AN_ACTION"), 0);
    EXPECT_EQ(IsReversibleAction(""), 0);
    EXPECT_EQ(IsReversibleAction(nullptr), 0);
}

TEST_F(History, WritesOneTabSeparatedLine)
{
    EXPECT_EQ(WriteHistory("Tool", "C:\\Tools\\tool.exe -min", "Tool", 11, 0), 1);
    std::string text = File();
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::vector<std::string> fields = Split(text.substr(0, text.size() - 2), '\t');
    ASSERT_EQ(fields.size(), 6u) << text;
    // "MM/DD/YYYY  h:mm AM"
    EXPECT_EQ(fields[0][2], '/');
    EXPECT_EQ(fields[0].substr(10, 2), "  ");
    EXPECT_TRUE(fields[0].ends_with(" AM") || fields[0].ends_with(" PM")) << fields[0];
    EXPECT_EQ(fields[1], "*START_Remove");
    EXPECT_EQ(fields[2], "CURRENT_RUN");
    EXPECT_EQ(fields[3], "Tool");
    EXPECT_EQ(fields[4], "C:\\Tools\\tool.exe -min");
    EXPECT_EQ(fields[5], "Tool");
}

TEST_F(History, AppendsAndNamesUnknownCodes)
{
    EXPECT_EQ(WriteHistory("a", "b", "", 700, 12), 1);
    EXPECT_EQ(WriteHistory("c", "d", "", 16, 16), 1);
    std::vector<std::string> lines = Split(File(), '\n');
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("\tSERVICE_Disabled\tSERVICE_EXE\ta\tb\t\r"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("\tLOG_UNKNOWN\tTYPE_UNKNOWN\tc\td\t\r"), std::string::npos) << lines[1];
}

TEST_F(History, OffWhenTheOptionIsZeroOrLess)
{
    for (int value : {0, -1}) {
        WriteOption("History", value);
        EXPECT_EQ(WriteHistory("a", "b", "c", 1, 1), 0);
        EXPECT_EQ(GetFileAttributesA(path_), INVALID_FILE_ATTRIBUTES);
    }
    WriteOption("History", 2);
    EXPECT_EQ(WriteHistory("a", "b", "c", 1, 1), 1);
}

TEST_F(History, FieldsCannotBreakTheRecord)
{
    std::string huge(3000, 'x');
    EXPECT_EQ(WriteHistory("multi\r\nline\ttitle", huge.c_str(), huge.c_str(), 1, 1), 1);
    EXPECT_EQ(WriteHistory("next", "p", "e", 1, 1), 1);
    std::vector<std::string> lines = Split(File(), '\n');
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_LE(lines[0].size() + 1, 1023u) << "the line with its CR LF stays within 1024";
    EXPECT_TRUE(lines[0].ends_with("\r"));
    std::vector<std::string> fields = Split(lines[0], '\t');
    ASSERT_GE(fields.size(), 5u);
    EXPECT_EQ(fields[3], "multi  line title");
    EXPECT_NE(lines[1].find("\tnext\tp\te\r"), std::string::npos);
}

TEST_F(History, LineIsLostWhileTheFileIsHeldOpen)
{
    ASSERT_TRUE(WriteTextFile(path_, ""));
    HANDLE held = CreateFileA(path_, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WriteHistory("a", "b", "c", 1, 1), 0);
    CloseHandle(held);
    EXPECT_EQ(File(), "");
}

TEST_F(LocalDate, DatePatternsFollowTheRegionalSetting)
{
    SYSTEMTIME t = At(2026, 12, 6, 12, 30);
    struct Case {
        const char* pattern;
        const char* date;
    };
    const Case cases[] = {{"M/d/yyyy", "12/06/2026"},  {"M/d/yy", "12/06/2026"},
                          {"MM/dd/yy", "12/06/2026"},  {"mm/DD/YYYY", "12/06/2026"},
                          {"yy/MM/dd", "2026/12/06"},  {"yyyy-MM-dd", "2026-12-06"},
                          {"dd-MMM-yy", "06-Dec-2026"}, {"d.M.yyyy", "12/06/2026"}};
    for (const Case& c : cases)
        EXPECT_EQ(Render(c.pattern, "H:mm:ss", t), std::string(c.date) + " 12:30") << c.pattern;
}

TEST_F(LocalDate, TimePatternsNeverShowSeconds)
{
    struct Case {
        const char* pattern;
        int hour;
        const char* time;
    };
    const Case cases[] = {{"h:mm:ss tt", 0, "12:05 AM"},  {"h:mm:ss tt", 12, "12:05 PM"},
                          {"h:mm:ss tt", 15, "3:05 PM"},   {"hh:mm:ss tt", 9, "09:05 AM"},
                          {"H:mm:ss", 7, "7:05"},          {"HH:mm:ss", 7, "07:05"},
                          {"HH:mm:ss", 23, "23:05"},       {"HH.mm", 15, "3:05 PM"}};
    for (const Case& c : cases) {
        SYSTEMTIME t = At(2026, 12, 6, c.hour, 5);
        EXPECT_EQ(Render("yyyy-MM-dd", c.pattern, t), std::string("2026-12-06 ") + c.time) << c.pattern;
    }
}

TEST_F(LocalDate, DamagedMonthDoesNotReadOutsideTheNames)
{
    SYSTEMTIME t = At(2026, 13, 6, 1, 2);
    EXPECT_EQ(Render("dd-MMM-yy", "H:mm:ss", t), "06-?\?\?-2026 1:02");
}

TEST_F(LocalDate, StampsAProgramOnceUnderItsNormalizedPath)
{
    ScratchKey store(HKEY_CURRENT_USER, "Software\\VelmoraTest\\Foundation\\Detected");
    std::string program = FixturePath("fixture_app.exe");
    program.insert(program.begin(), '"');
    program += "\" /background";
    char normalized[MAX_PATH];
    NormalizeProgramPath(program.c_str(), normalized);

    EXPECT_EQ(StampFirstDetected(program.c_str(), store.path()), 0);
    char stamp[64];
    ASSERT_GT(GetRegValue(HKEY_CURRENT_USER, store.path(), normalized, stamp), 0) << normalized;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char expected[24];
    FormatLocalDateTime(&now, expected);
    EXPECT_EQ(std::string(stamp).substr(0, 10), std::string(expected).substr(0, 10));

    SetRegValue(HKEY_CURRENT_USER, store.path(), normalized, "01/01/2001 1:00 AM");
    EXPECT_EQ(StampFirstDetected(program.c_str(), store.path()), 1);
    GetRegValue(HKEY_CURRENT_USER, store.path(), normalized, stamp);
    EXPECT_STREQ(stamp, "01/01/2001 1:00 AM") << "the first date stays";
}

TEST_F(LocalDate, MissingProgramsAreNotStamped)
{
    ScratchKey store(HKEY_CURRENT_USER, "Software\\VelmoraTest\\Foundation\\Detected");
    EXPECT_EQ(StampFirstDetected("C:\\no\\such\\program.exe -x", store.path()), 0);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, store.path(), 0, KEY_READ, &key), ERROR_SUCCESS);
}
