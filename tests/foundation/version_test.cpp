#include <gtest/gtest.h>

#include <string>

#include "tests/support/testsupport.h"

namespace {

struct Read {
    int result;
    VersionRecord record;
};

Read ReadVersion(const char* fixture)
{
    Read read{};
    read.result = GetVersionStrings(FixturePath(fixture).c_str(), &read.record);
    return read;
}

}  // namespace

TEST(Version, ReadsAllFiveStrings)
{
    Read r = ReadVersion("fixture_app.exe");
    EXPECT_EQ(r.result, 1);
    EXPECT_STREQ(r.record.field[kProductName], "Fixture App");
    EXPECT_STREQ(r.record.field[kProductVersion], "3.1.4");
    EXPECT_STREQ(r.record.field[kCompanyName], "Fixture Works");
    EXPECT_STREQ(r.record.field[kFileDescription], "Fixture Application");
    EXPECT_STREQ(r.record.field[kCopyright], "Copyright (C) 2026 Fixture Works");
}

TEST(Version, ProductNameRulesAndOverlongOrOversizedData)
{
    DWORD ignored = 0;
    ASSERT_GT(GetFileVersionInfoSizeA(FixturePath("ver_big.dll").c_str(), &ignored), 8191u);
    const struct {
        const char* fixture;
        int result;
        const char* product;
        const char* company;
    } cases[] = {
        {"ver_os.dll", 1, "Fixture Shell Library", "Fixture Systems"},   // "Operating System" product
        {"ver_noproduct.dll", 0, "", ""},                                 // translation without ProductName
        {"ver_longcompany.dll", 1, "Long Company Product", ""},          // 200-character CompanyName
        {"ver_big.dll", 0, "", ""},                                       // resource over the size limit
    };
    for (const auto& c : cases) {
        Read r = ReadVersion(c.fixture);
        EXPECT_EQ(r.result, c.result) << c.fixture;
        EXPECT_STREQ(r.record.field[kProductName], c.product) << c.fixture;
        EXPECT_STREQ(r.record.field[kCompanyName], c.company) << c.fixture;
        if (c.result == 0) {
            for (const auto& field : r.record.field) EXPECT_STREQ(field, "") << c.fixture;
        }
    }
}

TEST(Version, MissingFileOrNoResourceGiveAnEmptyRecord)
{
    ScratchDir dir("vl_version_plain");
    std::string plain = dir.file("plain.txt");
    ASSERT_TRUE(WriteTextFile(plain, "no resource here"));
    VersionRecord record;
    StrCopy(record.field[kProductName], "stale");
    EXPECT_EQ(GetVersionStrings(plain.c_str(), &record), 0);
    EXPECT_STREQ(record.field[kProductName], "");
    StrCopy(record.field[kProductName], "stale");
    EXPECT_EQ(GetVersionStrings(dir.file("missing.exe").c_str(), &record), 0);
    EXPECT_STREQ(record.field[kProductName], "");
}
