#include <gtest/gtest.h>

#include <string>

#include "tests/support/testsupport.h"

TEST(Version, ReadsTheFiveStringsAndRefusesDamagedOrOversizedResources)
{
    ScratchDir dir("vl_version_plain");
    ASSERT_TRUE(WriteTextFile(dir.file("plain.txt"), "no resource here"));
    DWORD ignored = 0;
    ASSERT_GT(GetFileVersionInfoSizeA(FixturePath("ver_big.dll").c_str(), &ignored), 8191u);
    const struct {
        std::string path;
        int result;
        const char* product;
        const char* company;
    } cases[] = {
        {FixturePath("fixture_app.exe"), 1, "Fixture App", "Fixture Works"},
        {FixturePath("ver_os.dll"), 1, "Fixture Shell Library", "Fixture Systems"},   // "Operating System" product
        {FixturePath("ver_longcompany.dll"), 1, "Long Company Product", ""},          // 200-character CompanyName
        {FixturePath("ver_noproduct.dll"), 0, "", ""},   // translation without ProductName
        {FixturePath("ver_big.dll"), 0, "", ""},         // resource over the size limit
        {dir.file("plain.txt"), 0, "", ""},
        {dir.file("missing.exe"), 0, "", ""},
    };
    for (const auto& c : cases) {
        VersionRecord record;
        for (auto& field : record.field) StrCopy(field, "stale");
        EXPECT_EQ(GetVersionStrings(c.path.c_str(), &record), c.result) << c.path;
        EXPECT_STREQ(record.field[kProductName], c.product) << c.path;
        EXPECT_STREQ(record.field[kCompanyName], c.company) << c.path;
        if (c.result == 0) {
            for (const auto& field : record.field) EXPECT_STREQ(field, "") << c.path;
        }
        if (c.path.ends_with("fixture_app.exe")) {
            EXPECT_STREQ(record.field[kProductVersion], "3.1.4");
            EXPECT_STREQ(record.field[kFileDescription], "Fixture Application");
            EXPECT_STREQ(record.field[kCopyright], "Copyright (C) 2026 Fixture Works");
        }
    }
}
