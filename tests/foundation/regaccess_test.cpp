#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/testsupport.h"

namespace {

constexpr const char* kBase = "Software\\VelmoraTest\\Foundation\\RegAccess";

// Tracing on in the monitor, with an empty trace file, for the duration of a
// test; the registry layer's failures are visible there.
class RegAccess : public ::testing::Test {
protected:
    ScratchKey scratch_{HKEY_CURRENT_USER, kBase};

    void SetUp() override
    {
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
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kBase, &key), ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
};

}  // namespace

TEST_F(RegAccess, CreateRegKeyCreatesIntermediateKeysAndAcceptsExisting)
{
    std::string deep = Sub("a\\b\\c");
    EXPECT_EQ(CreateRegKey(HKEY_CURRENT_USER, deep.c_str()), 1);
    EXPECT_EQ(CreateRegKey(HKEY_CURRENT_USER, deep.c_str()), 1);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, deep.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegAccess, ReadsTextAndItsLength)
{
    ASSERT_EQ(SetRegValue(HKEY_CURRENT_USER, kBase, "Text", "C:\\Tools\\run.exe"), 1);
    char out[64];
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Text", out), 16);
    EXPECT_STREQ(out, "C:\\Tools\\run.exe");

    ASSERT_EQ(SetRegValue(HKEY_CURRENT_USER, kBase, "", "default"), 1);
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "", out), 7);
    EXPECT_STREQ(out, "default");
}

TEST_F(RegAccess, MissingOrEmptyValuesGiveEmptyTextAndZero)
{
    char out[16] = "stale";
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, Sub("missing").c_str(), "x", out), 0);
    EXPECT_STREQ(out, "");
    CreateRegKey(HKEY_CURRENT_USER, kBase);
    StrCopy(out, "stale");
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "missing", out), 0);
    EXPECT_STREQ(out, "");
    SetRegValue(HKEY_CURRENT_USER, kBase, "Empty", "");
    StrCopy(out, "stale");
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Empty", out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(Trace(), "") << "failed opens and queries leave no trace";
}

TEST_F(RegAccess, ExpandsEnvironmentReferences)
{
    SetEnvironmentVariableA("VL_REG_TEST_DIR", "C:\\Expanded");
    const char raw[] = "%VL_REG_TEST_DIR%\\tool.exe";
    SetRaw("Expand", REG_EXPAND_SZ, raw, sizeof(raw));
    char out[64];
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Expand", out), 20);
    EXPECT_STREQ(out, "C:\\Expanded\\tool.exe");
    SetEnvironmentVariableA("VL_REG_TEST_DIR", nullptr);
}

TEST_F(RegAccess, ExpansionOverflowDeliversTheRawTextAndTraces)
{
    std::string big(700, 'v');
    SetEnvironmentVariableA("VL_REG_TEST_BIG", big.c_str());
    const char raw[] = "%VL_REG_TEST_BIG%%VL_REG_TEST_BIG%";
    SetRaw("Expand", REG_EXPAND_SZ, raw, sizeof(raw));
    char out[2048];
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Expand", out), static_cast<int>(strlen(raw)));
    EXPECT_STREQ(out, raw);
    std::string trace = Trace();
    EXPECT_NE(trace.find(std::string(raw) + ": Registry Error #1023: String can not be expanded"),
              std::string::npos)
        << trace;
    SetEnvironmentVariableA("VL_REG_TEST_BIG", nullptr);
}

TEST_F(RegAccess, TextMustFitTheCapacityWithItsZero)
{
    CreateRegKey(HKEY_CURRENT_USER, kBase);
    SetRegValue(HKEY_CURRENT_USER, kBase, "Nine", "123456789");
    char out[10];
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Nine", out, 10), 9);
    EXPECT_STREQ(out, "123456789");
    EXPECT_EQ(Trace(), "");
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Nine", out, 9), 0);
    EXPECT_STREQ(out, "");
    EXPECT_NE(Trace().find("123456789: Registry Error #1024: Buffer overflow contained"), std::string::npos);
}

TEST_F(RegAccess, NonTextTypesAreReadAsTerminatedText)
{
    DWORD letters = 0x00434241;   // "ABC" and a zero byte
    SetRaw("Dword", REG_DWORD, &letters, sizeof(letters));
    char out[16];
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Dword", out), 3);
    EXPECT_STREQ(out, "ABC");

    DWORD full = 0x44434241;   // four letters, no zero at all
    SetRaw("Full", REG_DWORD, &full, sizeof(full));
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Full", out), 4);
    EXPECT_STREQ(out, "ABCD");

    const char bytes[] = {'x', 'y'};
    SetRaw("Binary", REG_BINARY, bytes, sizeof(bytes));
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Binary", out), 2);
    EXPECT_STREQ(out, "xy");
}

TEST_F(RegAccess, DataOfExactly1024BytesWithoutZeroIsTerminated)
{
    std::vector<char> data(1024, 'q');
    SetRaw("Bin1024", REG_BINARY, data.data(), 1024);
    SetRaw("Sz1023", REG_SZ, data.data(), 1023);
    SetRaw("Sz1024", REG_SZ, data.data(), 1024);
    char out[1100];
    memset(out, '#', sizeof(out));
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Bin1024", out), 1024);
    EXPECT_EQ(out[1024], '\0');
    EXPECT_EQ(out[1025], '#');

    memset(out, '#', sizeof(out));
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Sz1023", out), 1023);
    EXPECT_EQ(out[1023], '\0');
    EXPECT_EQ(out[1024], '#');

    // A text value of 1024 bytes without its zero: Wine asks for room for
    // the zero and the read fails, Windows delivers the 1024 characters.
    // Either way the result is terminated and nothing is written past it.
    memset(out, '#', sizeof(out));
    int length = GetRegValue(HKEY_CURRENT_USER, kBase, "Sz1024", out);
    EXPECT_TRUE(length == 0 || length == 1024) << length;
    EXPECT_EQ(out[length], '\0');
    EXPECT_EQ(out[1025], '#');

    // 1024 characters into a buffer of 1024 do not fit with their zero.
    char exact[1024];
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Bin1024", exact), 0);
    EXPECT_STREQ(exact, "");
}

TEST_F(RegAccess, DataOver1024BytesIsNotRead)
{
    std::vector<char> data(1025, 'q');
    data.back() = '\0';
    SetRaw("Long", REG_SZ, data.data(), static_cast<DWORD>(data.size()));
    char out[2048] = "stale";
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Long", out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(GetRegWord(HKEY_CURRENT_USER, kBase, "Long"), 0);
}

TEST_F(RegAccess, SetRegValueCreatesAMissingKeyAndTracesTheOpen)
{
    std::string key = Sub("new\\deeper");
    EXPECT_EQ(SetRegValue(HKEY_CURRENT_USER, key.c_str(), "Name", "value"), 1);
    EXPECT_NE(Trace().find("ERROR RegOpenKeyEx:SetRegValue: " + key), std::string::npos) << Trace();

    HKEY handle = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS);
    DWORD type = 0;
    char data[16];
    DWORD size = sizeof(data);
    EXPECT_EQ(RegQueryValueExA(handle, "Name", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    RegCloseKey(handle);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 6u) << "the zero is part of the data";
}

TEST_F(RegAccess, SetRegDwordWritesFourBytesAndCreatesTheKey)
{
    std::string key = Sub("dword");
    DWORD value = 0x01020304;
    EXPECT_EQ(SetRegDword(HKEY_CURRENT_USER, key.c_str(), "D", &value), 1);
    EXPECT_EQ(Trace(), "") << "the failed open of SetRegDword is not traced";
    DWORD type = 0;
    DWORD read = 0;
    DWORD size = sizeof(read);
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, key.c_str(), "D", RRF_RT_ANY, &type, &read, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(read, value);
    EXPECT_EQ(SetRegDword(HKEY_CURRENT_USER, key.c_str(), "D", nullptr), 0);
}

TEST_F(RegAccess, DeleteRegValueTracesOnlyAMissingValue)
{
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, Sub("nokey").c_str(), "x"), 0);
    EXPECT_EQ(Trace(), "");
    SetRegValue(HKEY_CURRENT_USER, kBase, "Gone", "1");
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, kBase, "Gone"), 1);
    char out[8];
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kBase, "Gone", out), 0);
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, kBase, "Gone"), 0);
    EXPECT_NE(Trace().find("ERROR RegDeleteValue: Gone"), std::string::npos) << Trace();
}

TEST_F(RegAccess, GetRegWordTakesTheLowBytesAsSigned)
{
    struct Case {
        DWORD value;
        int expected;
    };
    const Case cases[] = {{0, 0}, {2, 2}, {4, 4}, {0x0102, 258}, {0x0180, 128}, {0xFFFF, -257}, {0x12340005, 5}};
    for (const Case& c : cases) {
        SetRegDword(HKEY_CURRENT_USER, kBase, "Start", &c.value);
        EXPECT_EQ(GetRegWord(HKEY_CURRENT_USER, kBase, "Start"), c.expected) << c.value;
    }
    EXPECT_EQ(GetRegWord(HKEY_CURRENT_USER, kBase, "Missing"), 0);
    EXPECT_EQ(GetRegWord(HKEY_CURRENT_USER, Sub("nokey").c_str(), "Start"), 0);
    const char one = 7;   // a single byte: the second counts as zero
    SetRaw("Byte", REG_BINARY, &one, 1);
    EXPECT_EQ(GetRegWord(HKEY_CURRENT_USER, kBase, "Byte"), 7);
}
