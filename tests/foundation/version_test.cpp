#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/testsupport.h"

namespace {

std::string FileBytes(const std::string& path)
{
    return ReadTextFile(path);
}

// Writes bytes padded with zeros to size (data after the last section of an
// image is never read as part of it) and sets the last-write time.
bool WriteImage(const std::string& path, std::string bytes, size_t size, ULONGLONG time)
{
    bytes.resize(size, '\0');
    if (!WriteTextFile(path, bytes)) return false;
    UniqueFile file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    const FILETIME written{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    return file && SetFileTime(file.get(), nullptr, nullptr, &written);
}

std::string Product(const std::string& path)
{
    VersionRecord record;
    GetVersionStrings(path.c_str(), &record);
    return record.field[kProductName];
}

constexpr ULONGLONG kSomeTime = 133000000000000000ULL;   // a day in 2022
constexpr ULONGLONG kOneSecond = 10000000ULL;

}  // namespace

TEST(VersionCache, AFileRewrittenWithTheSameSizeButANewTimeIsReadAfresh)
{
    ScratchDir dir("vl_version_cache");
    const std::string app = FileBytes(FixturePath("fixture_app.exe"));
    const std::string os = FileBytes(FixturePath("ver_os.dll"));
    ASSERT_FALSE(app.empty());
    ASSERT_FALSE(os.empty());
    const size_t size = std::max(app.size(), os.size());
    const std::string file = dir.file("Program.exe");

    ASSERT_TRUE(WriteImage(file, app, size, kSomeTime));
    EXPECT_EQ(Product(file), "Fixture App");
    ASSERT_TRUE(WriteImage(file, os, size, kSomeTime + kOneSecond));
    EXPECT_EQ(Product(file), "Fixture Shell Library");
    // Another spelling of the same path meets the same answer, and a change
    // seen through it is seen through every spelling.
    std::string upper = file;
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    EXPECT_EQ(Product(upper), "Fixture Shell Library");
    ASSERT_TRUE(WriteImage(file, app, size, kSomeTime + 2 * kOneSecond));
    EXPECT_EQ(Product(upper), "Fixture App");
    EXPECT_EQ(Product(file), "Fixture App");
}

TEST(VersionCache, AFileOfAnotherSizeWithTheOldTimeIsReadAfresh)
{
    ScratchDir dir("vl_version_cache");
    const std::string file = dir.file("library.dll");
    const std::string os = FileBytes(FixturePath("ver_os.dll"));
    ASSERT_TRUE(WriteImage(file, os, os.size(), kSomeTime));
    VersionRecord record;
    EXPECT_EQ(GetVersionStrings(file.c_str(), &record), 1);
    EXPECT_STREQ(record.field[kCompanyName], "Fixture Systems");
    // A resource without a product name, put back with the old time.
    const std::string nameless = FileBytes(FixturePath("ver_noproduct.dll"));
    ASSERT_TRUE(WriteImage(file, nameless, nameless.size() + 512, kSomeTime));
    EXPECT_EQ(GetVersionStrings(file.c_str(), &record), 0);
    EXPECT_STREQ(record.field[kProductName], "");
}

TEST(VersionCache, AVanishedFileHasNoVersionAndAFoundFileAnswersAsByPath)
{
    ScratchDir dir("vl_version_cache");
    const std::string file = dir.file("gone.exe");
    ASSERT_TRUE(CopyFileA(FixturePath("fixture_app.exe").c_str(), file.c_str(), FALSE));
    VersionRecord byPath, byFind;
    EXPECT_EQ(GetVersionStrings(file.c_str(), &byPath), 1);
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA(file.c_str(), &found));
    ASSERT_TRUE(find);
    EXPECT_EQ(GetVersionStrings(file.c_str(), &found, &byFind), 1);
    for (int f = 0; f < 5; ++f) EXPECT_STREQ(byFind.field[f], byPath.field[f]) << f;
    EXPECT_STREQ(byFind.field[kCopyright], "Copyright (C) 2026 Fixture Works");

    ASSERT_TRUE(DeleteFileA(file.c_str()));
    for (auto& field : byPath.field) StrCopy(field, "stale");
    EXPECT_EQ(GetVersionStrings(file.c_str(), &byPath), 0);
    for (int f = 0; f < 5; ++f) EXPECT_STREQ(byPath.field[f], "") << f;
}

// A table that fills up forgets, and keeps answering rightly for every file.
TEST(VersionCache, MoreFilesThanTheTableHoldsKeepTheirOwnAnswers)
{
    ScratchDir dir("vl_version_cache");
    const std::string app = FileBytes(FixturePath("ver_longcompany.dll"));
    const std::string os = FileBytes(FixturePath("ver_os.dll"));
    constexpr int kFiles = 1100;
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        StrFormatA(name, "f%04d.dll", i);
        files.push_back(dir.file(name));
        const std::string& bytes = i % 2 ? os : app;
        ASSERT_TRUE(WriteImage(files.back(), bytes, bytes.size(), kSomeTime));
    }
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < kFiles; ++i)
            ASSERT_EQ(Product(files[i]), i % 2 ? "Fixture Shell Library" : "Long Company Product")
                << i;
}
