#include <gtest/gtest.h>

#include <cstring>
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
};

}  // namespace

TEST_F(ItemList, StoresEveryFieldCutToItsSizeAndUnreachableIndexesGiveNothing)
{
    ASSERT_EQ(AddItem(std::string(200, 't').c_str(), ("C:\\" + std::string(400, 'p')).c_str(),
                      std::string(400, 'e').c_str(), std::string(3000, 'd').c_str(), 200, 1), 1);
    char path[kPathLen], entry[kEntryLen], out[16];
    EXPECT_EQ(Title(0), std::string(127, 't'));
    EXPECT_EQ(GetItemPath(0, path), 259);
    EXPECT_EQ(GetItemEntryName(0, entry), 259);
    EXPECT_EQ(GetItemType(0), 200);
    EXPECT_EQ(GetItemFlag(0), 1);
    memset(out, '#', sizeof(out));
    EXPECT_EQ(GetItemDetail(0, out, 5), 1023);   // a short copy still reports the full length
    EXPECT_STREQ(out, "dddd");
    EXPECT_EQ(GetItemDetail(0, out, -1), 0);
    EXPECT_EQ(out[5], '#');
    for (int i : {-1, 1}) {
        char stale[kDetailLen] = "stale";
        EXPECT_EQ(GetItemTitle(i, stale), 0);
        EXPECT_EQ(GetItemDetail(i, stale, sizeof(stale)), 0);
        EXPECT_STREQ(stale, "");
        EXPECT_EQ(GetItemType(i), 0);
    }
}

TEST_F(ItemList, EmptyTitleTakesTheFileNameAndVelmoraTheCaption)
{
    // A file name longer than a title must not run on into the stored path.
    const std::string longName = std::string(200, 'n') + ".exe";
    AddItem("", ("C:\\Long\\" + longName).c_str(), "", "", 200, 0);
    AddItem(nullptr, "\"C:\\Quoted Dir\\tool.exe\"", nullptr, nullptr, 11, 0);
    AddItem("The Velmora", "C:\\x.exe", "", "", 11, 0);
    char path[kPathLen];
    EXPECT_EQ(Title(0), longName.substr(0, 127));
    EXPECT_EQ((GetItemPath(0, path), std::string(path)), "C:\\Long\\" + longName);
    EXPECT_EQ(Title(1), "tool.exe");
    EXPECT_EQ((GetItemPath(1, path), std::string(path)), "C:\\Quoted Dir\\tool.exe");
    EXPECT_EQ(Title(2), GetAppCaption());
}

TEST_F(ItemList, HoldsAtMost4096ItemsAndCookiesStopAtMaxCookie)
{
    WriteOption("MaxCookie", 100);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(AddItem("c", "x", "", "", 500, 0), 1) << i;
    EXPECT_EQ(AddItem("c", "x", "", "", 500, 0), 0);
    EXPECT_EQ(AddItem("n", "x", "", "", 501, 0), 1);   // other types go on
    for (int i = ItemCount(); i < kMaxItems; ++i) ASSERT_EQ(AddItem("t", "x", "", "", 600, 0), 1) << i;
    EXPECT_EQ(AddItem("t", "x", "", "", 600, 0), 0);
    EXPECT_EQ(ItemCount(), kMaxItems);
}
