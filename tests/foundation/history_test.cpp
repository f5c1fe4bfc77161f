#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/testsupport.h"

namespace {

SYSTEMTIME At(int year, int month, int day, int hour, int minute)
{
    return {static_cast<WORD>(year), static_cast<WORD>(month), 0, static_cast<WORD>(day),
            static_cast<WORD>(hour), static_cast<WORD>(minute), 0, 0};
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
    void SetUp() override
    {
        GetRegValue(HKEY_CURRENT_USER, kInternational, "sShortDate", date_);
        GetRegValue(HKEY_CURRENT_USER, kInternational, "sTimeFormat", time_);
    }
    void TearDown() override
    {
        if (date_[0]) SetRegValue(HKEY_CURRENT_USER, kInternational, "sShortDate", date_);
        if (time_[0]) SetRegValue(HKEY_CURRENT_USER, kInternational, "sTimeFormat", time_);
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

TEST(HistoryTime, UsesTheTwelveHourClockAndNeverForNoDate)
{
    const struct {
        int hour, minute;
        const char* text;
    } cases[] = {{12, 30, "12/06/2026  12:30 PM"}, {0, 5, "12/06/2026  12:05 AM"}, {13, 7, "12/06/2026  1:07 PM"}};
    char out[64];
    for (const auto& c : cases) {
        SYSTEMTIME t = At(2026, 12, 6, c.hour, c.minute);
        FormatHistoryTime(&t, out);
        EXPECT_STREQ(out, c.text);
    }
    SetMessageLanguageId(9);
    SYSTEMTIME zero = At(0, 0, 0, 10, 10);
    FormatHistoryTime(&zero, out);
    EXPECT_STREQ(out, "Never");
}

TEST_F(History, WritesOneTabSeparatedLinePerActionThatFieldsCannotBreak)
{
    const std::string huge(3000, 'x');
    EXPECT_EQ(WriteHistory("Tool", "C:\\Tools\\tool.exe -min", "Tool", 11, 0), 1);
    EXPECT_EQ(WriteHistory("a", "b", "", 700, 12), 1);
    EXPECT_EQ(WriteHistory("c", "d", "", 16, 16), 1);
    EXPECT_EQ(WriteHistory("multi\r\nline\ttitle", huge.c_str(), huge.c_str(), 1, 1), 1);
    EXPECT_EQ(WriteHistory("next", "p", "e", 1, 1), 1);
    std::vector<std::string> lines = Split(File(), '\n');
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[5], "");
    std::vector<std::string> fields = Split(lines[0], '\t');
    ASSERT_EQ(fields.size(), 6u) << lines[0];
    // "MM/DD/YYYY  h:mm AM"
    EXPECT_EQ(fields[0][2], '/');
    EXPECT_EQ(fields[0].substr(10, 2), "  ");
    EXPECT_TRUE(fields[0].ends_with(" AM") || fields[0].ends_with(" PM")) << fields[0];
    EXPECT_EQ(lines[0].substr(fields[0].size()), "\t*START_Remove\tCURRENT_RUN\tTool\tC:\\Tools\\tool.exe -min\tTool\r");
    EXPECT_NE(lines[1].find("\tSERVICE_Disabled\tSERVICE_EXE\ta\tb\t\r"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("\tLOG_UNKNOWN\tTYPE_UNKNOWN\tc\td\t\r"), std::string::npos) << lines[2];
    EXPECT_LE(lines[3].size() + 1, 1023u) << "the line with its CR LF stays within 1024";
    EXPECT_TRUE(lines[3].ends_with("\r"));
    EXPECT_EQ(Split(lines[3], '\t').at(3), "multi  line title");
    EXPECT_NE(lines[4].find("\tnext\tp\te\r"), std::string::npos);
}

TEST_F(History, NothingIsWrittenWhenTheOptionIsZeroAndALostLineIsReported)
{
    WriteOption("History", 0);
    EXPECT_EQ(WriteHistory("a", "b", "c", 1, 1), 0);
    EXPECT_EQ(GetFileAttributesA(path_), INVALID_FILE_ATTRIBUTES);
    WriteOption("History", 2);
    ASSERT_TRUE(WriteTextFile(path_, ""));
    HANDLE held = CreateFileA(path_, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WriteHistory("a", "b", "c", 1, 1), 0);
    CloseHandle(held);
    EXPECT_EQ(File(), "");
    EXPECT_EQ(WriteHistory("a", "b", "c", 1, 1), 1);
}

TEST_F(LocalDate, PatternsFollowTheRegionalSettingWithAFallback)
{
    SYSTEMTIME t = At(2026, 12, 6, 12, 30);
    const struct {
        const char* pattern;
        const char* date;
    } dates[] = {{"M/d/yy", "12/06/2026"}, {"yy/MM/dd", "2026/12/06"}, {"dd-MMM-yy", "06-Dec-2026"},
                 {"d.M.yyyy", "12/06/2026"}};
    for (const auto& c : dates)
        EXPECT_EQ(Render(c.pattern, "H:mm:ss", t), std::string(c.date) + " 12:30") << c.pattern;

    const struct {
        const char* pattern;
        int hour;
        const char* time;
    } times[] = {{"h:mm:ss tt", 0, "12:05 AM"}, {"hh:mm:ss tt", 9, "09:05 AM"}, {"HH:mm:ss", 23, "23:05"},
                 {"HH.mm", 15, "3:05 PM"}, {"hh:mm:ss", 15, "3:05 PM"}};
    for (const auto& c : times) {
        t = At(2026, 12, 6, c.hour, 5);
        EXPECT_EQ(Render("yyyy-MM-dd", c.pattern, t), std::string("2026-12-06 ") + c.time) << c.pattern;
    }
    t = At(2026, 13, 6, 1, 2);   // a damaged month does not index past the names
    EXPECT_EQ(Render("dd-MMM-yy", "H:mm:ss", t), "06-?\?\?-2026 1:02");
}

TEST(FirstDetected, StampsAnExistingProgramOnceUnderItsUpperCasePath)
{
    ScratchKey store(HKEY_CURRENT_USER, "Software\\VelmoraTest\\Foundation\\Detected");
    ScratchDir dir("vl_first_detected");
    EXPECT_EQ(StampFirstDetected(dir.file("missing.exe").c_str(), store.path()), 0);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, store.path(), 0, KEY_READ, &key), ERROR_SUCCESS);

    const std::string file = dir.file("Stamped Tool.exe");
    ASSERT_TRUE(WriteTextFile(file, "x"));
    std::string name = file;
    CharUpperA(name.data());
    const std::string program = "\"" + file + "\" /background";
    EXPECT_EQ(StampFirstDetected(program.c_str(), store.path()), 0);
    char stamp[64];
    ASSERT_GT(GetRegValue(HKEY_CURRENT_USER, store.path(), name.c_str(), stamp), 0) << name;
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_NE(std::string(stamp).find(std::to_string(now.wYear)), std::string::npos) << stamp;

    SetRegValue(HKEY_CURRENT_USER, store.path(), name.c_str(), "01/01/2001 1:00 AM");
    EXPECT_EQ(StampFirstDetected(program.c_str(), store.path()), 1);
    GetRegValue(HKEY_CURRENT_USER, store.path(), name.c_str(), stamp);
    EXPECT_STREQ(stamp, "01/01/2001 1:00 AM") << "the first date stays";
}
