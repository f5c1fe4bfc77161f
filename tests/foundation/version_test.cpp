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
    std::string path = FixturePath(fixture);
    read.result = GetVersionStrings(path.c_str(), &read.record);
    return read;
}

// Files copied beside the test program for as long as a test runs.
class ProgramFolderFile {
    std::string path_;

public:
    ProgramFolderFile(const char* fixture, const char* name)
    {
        char folder[MAX_PATH];
        GetProgramFolder(folder);
        path_ = std::string(folder) + "\\" + name;
        CopyFileA(FixturePath(fixture).c_str(), path_.c_str(), FALSE);
    }
    ~ProgramFolderFile() { DeleteFileForced(path_.c_str()); }
    ProgramFolderFile(const ProgramFolderFile&) = delete;
    ProgramFolderFile& operator=(const ProgramFolderFile&) = delete;
};

void RemoveProgramFolderFile(const char* name)
{
    char folder[MAX_PATH];
    GetProgramFolder(folder);
    DeleteFileForced((std::string(folder) + "\\" + name).c_str());
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
    EXPECT_STREQ(r.record.field[kFileDescription], "Fixture Shell Library");
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
    EXPECT_STREQ(r.record.field[kFileDescription], "Long Company Library");
}

TEST(Version, StringsUpToTheLimitAreKept)
{
    Read r = ReadVersion("ver_edge.dll");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(std::string(r.record.field[kCompanyName]), std::string(126, 'E'));
    // The reported length counts the terminating zero: 127 characters are 128.
    EXPECT_STREQ(r.record.field[kFileDescription], "");
}

TEST(Version, LastTranslationWithProductNameWins)
{
    Read r = ReadVersion("ver_translations.dll");
    EXPECT_EQ(r.result, 1);
    EXPECT_STREQ(r.record.field[kProductName], "Zweites Produkt");
    EXPECT_STREQ(r.record.field[kCompanyName], "Zweite Firma");
    // The second translation has no version; the first one's is not kept.
    EXPECT_STREQ(r.record.field[kProductVersion], "");
}

TEST(Version, ResourceOverTheSizeLimitIsNotRead)
{
    DWORD ignored = 0;
    ASSERT_GT(GetFileVersionInfoSizeA(FixturePath("ver_big.dll").c_str(), &ignored), 8191u);
    ASSERT_LE(GetFileVersionInfoSizeA(FixturePath("ver_nearbig.dll").c_str(), &ignored), 8191u);

    Read big = ReadVersion("ver_big.dll");
    EXPECT_EQ(big.result, 0);
    EXPECT_STREQ(big.record.field[kProductName], "");

    Read nearLimit = ReadVersion("ver_nearbig.dll");
    EXPECT_EQ(nearLimit.result, 1);
    EXPECT_STREQ(nearLimit.record.field[kProductName], "Edge Product");
}

TEST(Version, FileWithoutResourceOrMissingFileGivesEmptyRecord)
{
    ScratchDir dir("vl_version_plain");
    std::string plain = dir.file("plain.txt");
    ASSERT_TRUE(WriteTextFile(plain, "no resource here"));
    VersionRecord record;
    StrCopy(record.field[kProductName], "stale");
    EXPECT_EQ(GetVersionStrings(plain.c_str(), &record), 0);
    EXPECT_STREQ(record.field[kProductName], "");
    EXPECT_EQ(GetVersionStrings(dir.file("missing.exe").c_str(), &record), 0);
    EXPECT_STREQ(record.field[kProductName], "");
}

TEST(Version, SystemTextJoinsMonitorAndExplorerVersions)
{
    RemoveProgramFolderFile("Velmora.exe");
    RemoveProgramFolderFile("VelmoraEx.exe");
    char text[1024];
    EXPECT_EQ(GetSystemVersionText(text), 0);
    EXPECT_STREQ(text, "");
    {
        ProgramFolderFile monitor("fixture_app.exe", "Velmora.exe");
        EXPECT_EQ(GetSystemVersionText(text), 5);
        EXPECT_STREQ(text, "3.1.4");
        ProgramFolderFile explorer("ver_noproduct.dll", "VelmoraEx.exe");
        EXPECT_EQ(GetSystemVersionText(text), 5);
        // The explorer's version is read even without a product name.
        EXPECT_STREQ(text, "3.1.4:");
    }
    {
        ProgramFolderFile explorer("ver_translations.dll", "VelmoraEx.exe");
        EXPECT_EQ(GetSystemVersionText(text), 0);
        EXPECT_STREQ(text, ":");
    }
}
