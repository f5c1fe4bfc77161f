#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/testsupport.h"

namespace {

constexpr const char* kBase = "Software\\VelmoraTest\\Foundation\\RegAccess";

// The monitor with tracing on and an empty trace file: the registry layer's
// failures are visible there.
class RegAccess : public ::testing::Test {
protected:
    ScratchKey scratch_{HKEY_CURRENT_USER, kBase};

    void SetUp() override
    {
        CreateRegKey(HKEY_CURRENT_USER, kBase);
        SetProgramKind(kMonitor);
        InitTrace(0);
        DeleteFileA(GetTraceFilePath());
    }
    void TearDown() override
    {
        DeleteFileA(GetTraceFilePath());
        InitTrace(kTraceOff);
        SetProgramKind(kExplorer);
    }
    static std::string Trace() { return ReadTextFile(GetTraceFilePath()); }
    static std::string Sub(const char* name) { return std::string(kBase) + "\\" + name; }
    static void SetRaw(const char* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kBase, name, type, data, size), ERROR_SUCCESS);
    }
    static int Get(const char* name, char* out, int capacity)
    {
        return GetRegValue(HKEY_CURRENT_USER, kBase, name, out, capacity);
    }
};

}  // namespace

TEST_F(RegAccess, TextIsDeliveredOnlyWhenItFitsWithItsZero)
{
    char out[16] = "stale";
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, Sub("missing").c_str(), "x", out), 0);
    EXPECT_STREQ(out, "");
    SetRegValue(HKEY_CURRENT_USER, kBase, "Empty", "");
    StrCopy(out, "stale");
    EXPECT_EQ(Get("Empty", out, 16), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(Get("missing", out, 16), 0);
    SetRegValue(HKEY_CURRENT_USER, kBase, "Nine", "123456789");
    EXPECT_EQ(Get("Nine", out, 10), 9);
    EXPECT_STREQ(out, "123456789");
    EXPECT_EQ(Trace(), "") << "a missing value is no error";
    EXPECT_EQ(Get("Nine", out, 9), 0);
    EXPECT_STREQ(out, "");
    EXPECT_NE(Trace().find("123456789: Registry Error #1024: Buffer overflow contained"), std::string::npos);
}

TEST_F(RegAccess, ExpandsEnvironmentReferencesOrKeepsTheRawTextWhenTooLong)
{
    SetEnvironmentVariableA("VL_REG_TEST_DIR", "C:\\Expanded");
    const char raw[] = "%VL_REG_TEST_DIR%\\tool.exe";
    SetRaw("Expand", REG_EXPAND_SZ, raw, sizeof(raw));
    char out[2048];
    EXPECT_EQ(Get("Expand", out, sizeof(out)), 20);
    EXPECT_STREQ(out, "C:\\Expanded\\tool.exe");
    SetEnvironmentVariableA("VL_REG_TEST_DIR", nullptr);

    SetEnvironmentVariableA("VL_REG_TEST_BIG", std::string(700, 'v').c_str());
    const char big[] = "%VL_REG_TEST_BIG%%VL_REG_TEST_BIG%";
    SetRaw("Big", REG_EXPAND_SZ, big, sizeof(big));
    EXPECT_EQ(Get("Big", out, sizeof(out)), static_cast<int>(strlen(big)));
    EXPECT_STREQ(out, big);
    EXPECT_NE(Trace().find(std::string(big) + ": Registry Error #1023: String can not be expanded"),
              std::string::npos)
        << Trace();
    SetEnvironmentVariableA("VL_REG_TEST_BIG", nullptr);
}

// Numbers, blobs and text without its zero are terminated by the reader; data
// over 1024 bytes is not read at all.
TEST_F(RegAccess, AnyDataUpTo1024BytesIsReadTerminatedAndNoMore)
{
    const DWORD letters = 0x00434241, full = 0x44434241;   // "ABC" and a zero; no zero at all
    SetRaw("Dword", REG_DWORD, &letters, sizeof(letters));
    SetRaw("Full", REG_DWORD, &full, sizeof(full));
    std::vector<char> data(1025, 'q');
    SetRaw("Bin1024", REG_BINARY, data.data(), 1024);
    SetRaw("Sz1023", REG_SZ, data.data(), 1023);
    SetRaw("Long", REG_SZ, data.data(), 1025);
    const struct {
        const char* name;
        int length;
    } cases[] = {{"Dword", 3}, {"Full", 4}, {"Bin1024", 1024}, {"Sz1023", 1023}, {"Long", 0}};
    char out[1100];
    for (const auto& c : cases) {
        memset(out, '#', sizeof(out));
        EXPECT_EQ(Get(c.name, out, sizeof(out)), c.length) << c.name;
        EXPECT_EQ(out[c.length], '\0') << c.name;
        EXPECT_EQ(out[c.length + 1], '#') << c.name;
    }
    Get("Full", out, sizeof(out));
    EXPECT_STREQ(out, "ABCD");

    char exact[1024];
    EXPECT_EQ(Get("Bin1024", exact, sizeof(exact)), 0);
    EXPECT_STREQ(exact, "");
    EXPECT_EQ(GetRegWord(HKEY_CURRENT_USER, kBase, "Long"), 0);
}

TEST_F(RegAccess, WritesCreateMissingKeysAndOnlyAMissingValueIsTraced)
{
    std::string key = Sub("new\\deeper");
    EXPECT_EQ(SetRegValue(HKEY_CURRENT_USER, key.c_str(), "Name", "value"), 1);
    EXPECT_NE(Trace().find("ERROR RegOpenKeyEx:SetRegValue: " + key), std::string::npos) << Trace();
    DWORD type = 0;
    char data[16];
    DWORD size = sizeof(data);
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, key.c_str(), "Name", RRF_RT_ANY, &type, data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 6u) << "the zero is part of the data";

    DeleteFileA(GetTraceFilePath());
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, Sub("nokey").c_str(), "x"), 0);
    EXPECT_EQ(Trace(), "");
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.c_str(), "Name"), 1);
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, key.c_str(), "Name", data), 0);
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.c_str(), "Name"), 0);
    EXPECT_NE(Trace().find("ERROR RegDeleteValue: Name"), std::string::npos) << Trace();
}

TEST_F(RegAccess, GetRegWordTakesTheLowBytesAsSigned)
{
    DWORD value = 0x1234FFFF;
    ASSERT_EQ(SetRegDword(HKEY_CURRENT_USER, kBase, "Start", &value), 1);
    EXPECT_EQ(GetRegWord(HKEY_CURRENT_USER, kBase, "Start"), -257);
    const char one = 7;   // a single byte: the second counts as zero
    SetRaw("Byte", REG_BINARY, &one, 1);
    EXPECT_EQ(GetRegWord(HKEY_CURRENT_USER, kBase, "Byte"), 7);
}
