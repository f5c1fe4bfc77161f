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
    static std::string Entry(int i)
    {
        char text[kEntryLen];
        GetItemEntryName(i, text);
        return text;
    }
};

}  // namespace

TEST_F(ItemList, StoresEveryFieldAndUnreachableIndexesGiveNothing)
{
    EXPECT_EQ(AddItem("First", "C:\\a.exe", "ValueA", "detail A", 11, 1), 1);
    EXPECT_EQ(AddItem("Second", "C:\\b.exe", "ValueB", "detail B", 200, 0), 1);
    ASSERT_EQ(ItemCount(), 2);
    EXPECT_EQ(Title(1), "Second");
    EXPECT_EQ(Path(0), "C:\\a.exe");
    EXPECT_EQ(Entry(1), "ValueB");
    EXPECT_EQ(GetItemType(1), 200);
    EXPECT_EQ(GetItemFlag(0), 1);
    char out[kDetailLen] = "stale";
    for (int i : {-1, 2, 5000}) {
        EXPECT_EQ(GetItemTitle(i, out), 0);
        EXPECT_STREQ(out, "");
        EXPECT_EQ(GetItemDetail(i, out, sizeof(out)), 0);
        EXPECT_EQ(GetItemType(i), 0);
    }
}

TEST_F(ItemList, EmptyTitleTakesTheFileNameAndVelmoraTheCaption)
{
    AddItem("", "C:\\Tools\\run.exe", "", "", 11, 0);
    AddItem(nullptr, "\"C:\\Quoted Dir\\tool.exe\"", nullptr, nullptr, 11, 0);
    AddItem("The Velmora", "C:\\x.exe", "", "", 11, 0);
    AddItem("Velmor a", "C:\\x.exe", "", "", 11, 0);
    EXPECT_EQ(Title(0), "run.exe");
    EXPECT_EQ(Title(1), "tool.exe");
    EXPECT_EQ(Path(1), "C:\\Quoted Dir\\tool.exe");
    EXPECT_EQ(Title(2), GetAppCaption());
    EXPECT_EQ(Title(3), "Velmor a");

    // A file name longer than a title is cut to the title, not written on
    // into the path stored beside it.
    const std::string longName = std::string(200, 'n') + ".exe";
    AddItem("", ("C:\\Long\\" + longName).c_str(), "", "", 200, 0);
    EXPECT_EQ(Title(4), longName.substr(0, 127));
    EXPECT_EQ(Path(4), "C:\\Long\\" + longName);
}

TEST_F(ItemList, OverlongArgumentsAreCutAndDetailCopiesHonourTheCapacity)
{
    std::string title(200, 't');
    std::string path = "C:\\" + std::string(400, 'p');
    std::string entry(400, 'e');
    std::string detail(3000, 'd');
    ASSERT_EQ(AddItem(title.c_str(), path.c_str(), entry.c_str(), detail.c_str(), 11, 0), 1);
    EXPECT_EQ(Title(0), std::string(127, 't'));
    EXPECT_EQ(Path(0).size(), 259u);
    EXPECT_EQ(Entry(0), std::string(259, 'e'));
    char full[kDetailLen];
    EXPECT_EQ(GetItemDetail(0, full, sizeof(full)), 1023);
    EXPECT_EQ(std::string(full), std::string(1023, 'd'));

    char out[16];
    memset(out, '#', sizeof(out));
    EXPECT_EQ(GetItemDetail(0, out, 5), 1023) << "the full length is reported";
    EXPECT_STREQ(out, "dddd");
    EXPECT_EQ(out[5], '#');
    char untouched[4] = "abc";
    EXPECT_EQ(GetItemDetail(0, untouched, -1), 0);
    EXPECT_STREQ(untouched, "abc");
}

TEST_F(ItemList, HoldsAtMost4096Items)
{
    for (int i = 0; i < kMaxItems; ++i) ASSERT_EQ(AddItem("t", "x", "", "", 600, 0), 1) << i;
    EXPECT_EQ(AddItem("t", "x", "", "", 600, 0), 0);
    EXPECT_EQ(ItemCount(), kMaxItems);
}

TEST_F(ItemList, CookiesStopAtMaxCookieOtherTypesGoOn)
{
    WriteOption("MaxCookie", 100);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(AddItem("c", "x", "", "", 500, 0), 1) << i;
    EXPECT_EQ(AddItem("c", "x", "", "", 500, 0), 0);
    EXPECT_EQ(AddItem("n", "x", "", "", 501, 0), 1);
    EXPECT_EQ(AddItem("t", "x", "", "", 600, 0), 1);
    EXPECT_EQ(ItemCount(), 102);
}
