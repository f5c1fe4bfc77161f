#include <gtest/gtest.h>

#include <string>

#include "tests/support/testsupport.h"

namespace {

class ItemList : public ::testing::Test {
protected:
    ScratchKey options_{HKEY_CURRENT_USER, kOptionsKey};
    void SetUp() override { ClearItems(); }
    void TearDown() override { ClearItems(); }
    static std::string Title(int i)
    {
        char text[kTitleLen];
        GetItemTitle(i, text);
        return text;
    }
    static std::string Path(int i)
    {
        char text[kPathLen];
        GetItemPath(i, text);
        return text;
    }
};

}  // namespace

TEST_F(ItemList, StoresEveryFieldCutToItsSizeAndUnreachableIndexesGiveNothing)
{
    EXPECT_EQ(AddItem("First", "C:\\a.exe", "ValueA", "detail A", 11, 1), 1);
    const std::string path = "C:\\" + std::string(400, 'p');
    ASSERT_EQ(AddItem(std::string(200, 't').c_str(), path.c_str(), std::string(400, 'e').c_str(),
                      std::string(3000, 'd').c_str(), 200, 0), 1);
    ASSERT_EQ(ItemCount(), 2);
    EXPECT_EQ(Title(0), "First");
    EXPECT_EQ(Path(0), "C:\\a.exe");
    EXPECT_EQ(GetItemType(1), 200);
    EXPECT_EQ(GetItemFlag(0), 1);
    EXPECT_EQ(Title(1), std::string(127, 't'));
    EXPECT_EQ(Path(1).size(), 259u);
    char entry[kEntryLen];
    GetItemEntryName(1, entry);
    EXPECT_EQ(std::string(entry), std::string(259, 'e'));
    char detail[kDetailLen];
    EXPECT_EQ(GetItemDetail(1, detail, sizeof(detail)), 1023);
    EXPECT_EQ(std::string(detail), std::string(1023, 'd'));

    // A short copy of the detail still reports the full length.
    char out[16];
    memset(out, '#', sizeof(out));
    EXPECT_EQ(GetItemDetail(1, out, 5), 1023);
    EXPECT_STREQ(out, "dddd");
    EXPECT_EQ(out[5], '#');
    char untouched[4] = "abc";
    EXPECT_EQ(GetItemDetail(1, untouched, -1), 0);
    EXPECT_STREQ(untouched, "abc");
    for (int i : {-1, 2, 5000}) {
        char stale[kDetailLen] = "stale";
        EXPECT_EQ(GetItemTitle(i, stale), 0);
        EXPECT_STREQ(stale, "");
        EXPECT_EQ(GetItemDetail(i, stale, sizeof(stale)), 0);
        EXPECT_EQ(GetItemType(i), 0);
    }
}

TEST_F(ItemList, EmptyTitleTakesTheFileNameAndVelmoraTheCaption)
{
    AddItem("", "C:\\Tools\\run.exe", "", "", 11, 0);
    AddItem(nullptr, "\"C:\\Quoted Dir\\tool.exe\"", nullptr, nullptr, 11, 0);
    AddItem("The Velmora", "C:\\x.exe", "", "", 11, 0);
    AddItem("Velmor a", "C:\\x.exe", "", "", 11, 0);
    // A file name longer than a title must not run on into the stored path.
    const std::string longName = std::string(200, 'n') + ".exe";
    AddItem("", ("C:\\Long\\" + longName).c_str(), "", "", 200, 0);
    EXPECT_EQ(Title(0), "run.exe");
    EXPECT_EQ(Title(1), "tool.exe");
    EXPECT_EQ(Path(1), "C:\\Quoted Dir\\tool.exe");
    EXPECT_EQ(Title(2), GetAppCaption());
    EXPECT_EQ(Title(3), "Velmor a");
    EXPECT_EQ(Title(4), longName.substr(0, 127));
    EXPECT_EQ(Path(4), "C:\\Long\\" + longName);
}

TEST_F(ItemList, HoldsAtMost4096ItemsAndCookiesStopAtMaxCookie)
{
    WriteOption("MaxCookie", 100);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(AddItem("c", "x", "", "", 500, 0), 1) << i;
    EXPECT_EQ(AddItem("c", "x", "", "", 500, 0), 0);
    EXPECT_EQ(AddItem("n", "x", "", "", 501, 0), 1) << "other types go on";
    for (int i = ItemCount(); i < kMaxItems; ++i) ASSERT_EQ(AddItem("t", "x", "", "", 600, 0), 1) << i;
    EXPECT_EQ(AddItem("t", "x", "", "", 600, 0), 0);
    EXPECT_EQ(ItemCount(), kMaxItems);
}
