#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/support/testsupport.h"

namespace {

constexpr const char* kBase = "Software\\VelmoraTest\\Foundation\\RegAccess";

void SetRaw(const char* name, DWORD type, const void* data, size_t size)
{
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kBase, name, type, data, static_cast<DWORD>(size)), ERROR_SUCCESS);
}

// The monitor with tracing on and an empty trace file, which the trace tests
// read and where the registry layer's failures show; values of every kind.
class RegAccess : public ::testing::Test {
protected:
    ScratchKey scratch_{HKEY_CURRENT_USER, kBase};
    const DWORD letters_ = 0x44434241;   // "ABCD" without a zero, were it taken for text
    const std::string data_ = std::string(kRegTextMax + 1, 'q');
    const std::string big_ = "%VL_REG_BIG%%VL_REG_BIG%";
    void SetUp() override
    {
        CreateRegKey(HKEY_CURRENT_USER, kBase);
        SetProgramKind(kMonitor);
        InitTrace(0);
        DeleteFileA(GetTraceFilePath());
        SetEnvironmentVariableA("VL_REG_DIR", "C:\\Expanded");
        SetEnvironmentVariableA("VL_REG_BIG", std::string(700, 'v').c_str());
        SetRaw("Sz", REG_SZ, "plain", 6);
        SetRaw("NoZero", REG_SZ, "abcd", 4);
        SetRaw("Expand", REG_EXPAND_SZ, "%VL_REG_DIR%\\a", 15);
        SetRaw("Big", REG_EXPAND_SZ, big_.c_str(), big_.size() + 1);
        SetRaw("Dword", REG_DWORD, &letters_, 4);
        SetRaw("Bin1024", REG_BINARY, data_.data(), 1024);
        SetRaw("Sz1025", REG_SZ, data_.data(), 1025);
        SetRaw("Longest", REG_SZ, data_.data(), kRegTextMax);
        SetRaw("Oversize", REG_SZ, data_.data(), kRegTextMax + 1);
    }
    void TearDown() override
    {
        DeleteFileA(GetTraceFilePath());
        InitTrace(kTraceOff);
        SetProgramKind(kExplorer);
        SetEnvironmentVariableA("VL_REG_DIR", nullptr);
        SetEnvironmentVariableA("VL_REG_BIG", nullptr);
    }
    static std::string TraceText() { return ReadTextFile(GetTraceFilePath()); }
    static std::string Sub(const char* name) { return std::string(kBase) + "\\" + name; }
};

class Trace : public RegAccess {};

}  // namespace

// Any data up to 1024 bytes is read and terminated by the reader; text that
// cannot be expanded within 1024 is delivered as stored.
TEST_F(RegAccess, TextIsDeliveredOnlyWhenItFitsWithItsZero)
{
    const struct { const char* name; int capacity, length; } cases[] = {{"Sz", 6, 5},        {"Sz", 5, 0},       {"NoZero", 1100, 4}, {"Expand", 1100, 13},
                 {"Big", 1100, 24},   {"Dword", 1100, 4}, {"Bin1024", 1100, 1024}, {"Sz1025", 1100, 0}};
    char out[1100];
    for (const auto& c : cases) {
        memset(out, '#', sizeof(out));
        EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, c.name, out, c.capacity), c.length) << c.name;
        EXPECT_EQ(out[c.length], '\0') << c.name;
        EXPECT_EQ(out[c.length + 1], '#') << c.name;
    }
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "missing", out), 0);
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, Sub("missing").c_str(), "Sz", out), 0);
    EXPECT_EQ(TraceText().find("missing"), std::string::npos);   // a missing value is no error
    EXPECT_NE(TraceText().find("plain: Registry Error #1024: Buffer overflow contained"), std::string::npos);
    EXPECT_NE(TraceText().find(big_ + ": Registry Error #1023: String can not be expanded"), std::string::npos);
}

TEST_F(RegAccess, RegTextTakesOnlyTextReadWholeExpandedAndCutOnRequest)
{
    const struct { const char* name; int flags; size_t capacity; int result; const char* text; DWORD type; } cases[] = {
        {"Sz", kRegTextWhole, 6, 5, "plain", REG_SZ},
        {"Sz", kRegTextWhole, 5, kRegTextUnusable, "", REG_SZ},
        {"Sz", kRegTextCut, 5, 4, "plai", REG_SZ},
        {"NoZero", kRegTextWhole, 32, 4, "abcd", REG_SZ},
        {"Expand", kRegTextWhole, 32, 13, "C:\\Expanded\\a", REG_EXPAND_SZ},
        {"Expand", kRegTextRaw, 32, 14, "%VL_REG_DIR%\\a", REG_EXPAND_SZ},
        {"Expand", kRegTextCut, 6, 5, "C:\\Ex", REG_EXPAND_SZ},
        {"Dword", kRegTextCut, 32, kRegTextUnusable, "", REG_DWORD},
        {"Bin1024", kRegTextCut | kRegTextRaw, 32, kRegTextUnusable, "", REG_BINARY},
        {"Longest", kRegTextCut, 4, 3, "qqq", REG_SZ},
        {"Oversize", kRegTextCut, 32, kRegTextUnusable, "", REG_SZ},
        {"missing", kRegTextCut, 32, kRegTextMissing, "", REG_NONE},
    };
    for (const auto& c : cases) {
        char out[40];
        memset(out, '#', sizeof(out) - 1);
        out[sizeof(out) - 1] = '\0';
        DWORD type = 12345;
        EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, kBase, c.name, out, c.capacity, c.flags, &type), c.result)
            << c.name << " " << c.capacity;
        EXPECT_STREQ(out, c.text) << c.name << " " << c.capacity;
        EXPECT_EQ(out[c.capacity], '#') << c.name;
        EXPECT_EQ(type, c.type) << c.name;
    }
    char small[8] = "stale";
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, Sub("nokey").c_str(), "Sz", small), kRegTextMissing);
    EXPECT_STREQ(small, "");
}

TEST_F(RegAccess, WritesCreateMissingKeysAndDeletesOnlyWhatIsThere)
{
    const std::string key = Sub("new\\deeper");
    EXPECT_EQ(SetRegValue(HKEY_CURRENT_USER, key.c_str(), "Name", "value"), 1);
    DWORD type = 0, size = 16;
    char data[16];
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, key.c_str(), "Name", RRF_RT_ANY, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 6u);   // the zero is part of the data
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, Sub("nokey").c_str(), "Name"), 0);
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.c_str(), "Name"), 1);
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.c_str(), "Name"), 0);
}

TEST_F(Trace, MonitorWritesOneKeyedLinePerCallUpToThe9001st)
{
    EXPECT_TRUE(std::string(GetTraceFilePath()).ends_with("\\send2cv.txt"));
    EXPECT_EQ(TraceLog("C:\\x.exe", "BuildRun - findrun"), 1);
    std::string text = TraceText();
    // "[Trace]", then "tick.counter=MM-DD  hh:mm:ss label: text"
    std::replace_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }, '9');
    EXPECT_TRUE(text.ends_with(".9=99-99  99:99:99 C:\\x.exe: BuildRun - findrun\r\n")) << text;
    EXPECT_EQ(text.rfind("[Trace]\r\n9", 0), 0u);
    for (int i = 0; i < 4; ++i) TraceLog("Step", "same tick, new key");
    InitTrace(8999);
    EXPECT_EQ(TraceLog("line", "9000") + TraceLog("line", "9001"), 2);
    EXPECT_EQ(TraceLog("line", "9002") + TraceElapsed(), 0);
    EXPECT_EQ(GetTraceCounter(), 9001);
    text = TraceText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '='), 7);
}

TEST_F(Trace, NothingIsWrittenWhenOffOrByTheExplorer)
{
    InitTrace(kTraceOff);
    EXPECT_EQ(TraceLog("a", "b") + TraceStart("a", "b"), 0);
    const std::string monitorFile = GetTraceFilePath();
    SetProgramKind(kExplorer);
    InitTrace(0);
    EXPECT_EQ(TraceLog("a", "b") + TraceStart("a", "b") + TraceElapsed(), 0);
    EXPECT_EQ(GetFileAttributesA(GetTraceFilePath()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(monitorFile.c_str()), INVALID_FILE_ATTRIBUTES);
}
