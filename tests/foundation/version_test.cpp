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
    static Read read;
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

TEST(Version, OperatingSystemProductTakesTheFileDescription)
{
    Read r = ReadVersion("ver_os.dll");
    EXPECT_EQ(r.result, 1);
    EXPECT_STREQ(r.record.field[kProductName], "Fixture Shell Library");
    EXPECT_STREQ(r.record.field[kCompanyName], "Fixture Systems");
}

TEST(Version, TranslationWithoutProductNameGivesNothing)
{
    Read r = ReadVersion("ver_noproduct.dll");
    EXPECT_EQ(r.result, 0);
    for (const auto& field : r.record.field) EXPECT_STREQ(field, "");
}

TEST(Version, OverlongStringIsDeliveredEmpty)
{
    Read r = ReadVersion("ver_longcompany.dll");
    EXPECT_EQ(r.result, 1);
    EXPECT_STREQ(r.record.field[kCompanyName], "");
    EXPECT_STREQ(r.record.field[kProductName], "Long Company Product");
}

TEST(Version, OversizedResourceMissingFileOrNoResourceGiveAnEmptyRecord)
{
    DWORD ignored = 0;
    ASSERT_GT(GetFileVersionInfoSizeA(FixturePath("ver_big.dll").c_str(), &ignored), 8191u);
    Read big = ReadVersion("ver_big.dll");
    EXPECT_EQ(big.result, 0);
    EXPECT_STREQ(big.record.field[kProductName], "");

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
