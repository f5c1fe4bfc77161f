#include <gtest/gtest.h>

#include <string>

#include "tests/support/testsupport.h"

TEST(Version, ReadsTheFiveStringsAndRefusesDamagedOrOversizedResources)
{
    const struct {
        const char* file;
        int result;
        const char* product;
        const char* company;
    } cases[] = {
        {"fixture_app.exe", 1, "Fixture App", "Fixture Works"},
        {"ver_os.dll", 1, "Fixture Shell Library", "Fixture Systems"},   // "Operating System" product
        {"ver_longcompany.dll", 1, "Long Company Product", ""},          // 200-character CompanyName
        {"ver_noproduct.dll", 0, "", ""},   // translation without ProductName
        {"ver_big.dll", 0, "", ""},         // resource over the size limit
        {"missing.exe", 0, "", ""},
    };
    for (const auto& c : cases) {
        VersionRecord record;
        for (auto& field : record.field) StrCopy(field, "stale");
        EXPECT_EQ(GetVersionStrings(FixturePath(c.file).c_str(), &record), c.result) << c.file;
        EXPECT_STREQ(record.field[kProductName], c.product) << c.file;
        EXPECT_STREQ(record.field[kCompanyName], c.company) << c.file;
    }
    VersionRecord app;
    GetVersionStrings(FixturePath("fixture_app.exe").c_str(), &app);
    EXPECT_STREQ(app.field[kProductVersion], "3.1.4");
    EXPECT_STREQ(app.field[kFileDescription], "Fixture Application");
    EXPECT_STREQ(app.field[kCopyright], "Copyright (C) 2026 Fixture Works");
}
