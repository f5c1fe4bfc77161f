#include <gtest/gtest.h>

#include <string>

#include "tests/support/testsupport.h"

namespace {

class ItemList : public ::testing::Test {
protected:
    ScratchKey options_{HKEY_CURRENT_USER, kOptionsKey};
    void SetUp() override { ClearItems(); }
    void TearDown() override
    {
        ClearItems();
        SetProgramKind(kExplorer);
    }
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

TEST_F(ItemList, StoresEveryFieldInInsertionOrder)
{
    EXPECT_EQ(AddItem("First", "C:\\a.exe", "ValueA", "detail A", 11, 1), 1);
    EXPECT_EQ(AddItem("Second", "C:\\b.exe", "ValueB", "detail B", 200, 0), 1);
    ASSERT_EQ(ItemCount(), 2);
    EXPECT_EQ(Title(1), "Second");
    EXPECT_EQ(Path(0), "C:\\a.exe");
    EXPECT_EQ(Entry(1), "ValueB");
    char detail[kDetailLen];
    EXPECT_EQ(GetItemDetail(0, detail, sizeof(detail)), 8);
    EXPECT_STREQ(detail, "detail A");
    EXPECT_EQ(GetItemType(0), 11);
    EXPECT_EQ(GetItemFlag(0), 1);
    EXPECT_EQ(GetItemType(1), 200);
    ClearItems();
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_EQ(GetItemType(0), 0);
}

TEST_F(ItemList, EmptyTitleTakesTheFileName)
{
    AddItem("", "C:\\Tools\\run.exe", "", "", 11, 0);
    EXPECT_EQ(Title(0), "run.exe");
    AddItem(nullptr, "\"C:\\Quoted Dir\\tool.exe\"", nullptr, nullptr, 11, 0);
    EXPECT_EQ(Title(1), "tool.exe");
    EXPECT_EQ(Path(1), "C:\\Quoted Dir\\tool.exe");
}

TEST_F(ItemList, TitlesNamingTheProductTakeTheCaption)
{
    for (const char* title : {"velMORA helper", "The Velmora", "VELMORA"}) {
        ClearItems();
        AddItem(title, "C:\\x.exe", "", "", 11, 0);
        EXPECT_EQ(Title(0), GetAppCaption()) << title;
    }
    AddItem("Velmor a", "C:\\x.exe", "", "", 11, 0);
    EXPECT_EQ(Title(1), "Velmor a");
}

TEST_F(ItemList, ShortPathsAreStoredAsGivenLongOnesInLongForm)
{
    ScratchDir dir("vl_items_long");
    std::string file = dir.file("A Long Program Name.exe");
    ASSERT_TRUE(WriteTextFile(file, "x"));
    char shortPath[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(file.c_str(), shortPath, MAX_PATH), 0u);

    AddItem("t", shortPath, shortPath, "", 200, 0);
    EXPECT_EQ(lstrcmpiA(Path(0).c_str(), file.c_str()), 0) << Path(0);
    EXPECT_EQ(lstrcmpiA(Entry(0).c_str(), file.c_str()), 0) << Entry(0);

    // A path under 4 characters keeps the entry name as given too.
    AddItem("t", "\"x\"", shortPath, "", 200, 0);
    EXPECT_EQ(Path(1), "x");
    EXPECT_EQ(Entry(1), shortPath);
}

TEST_F(ItemList, OverlongArgumentsAreCut)
{
    std::string title(200, 't');
    std::string path = "C:\\" + std::string(400, 'p');
    std::string entry(400, 'e');
    std::string detail(3000, 'd');
    ASSERT_EQ(AddItem(title.c_str(), path.c_str(), entry.c_str(), detail.c_str(), 11, 0), 1);
    EXPECT_EQ(Title(0), std::string(127, 't'));
    EXPECT_EQ(Path(0).size(), 259u);
    EXPECT_EQ(Entry(0), std::string(259, 'e'));
    char out[kDetailLen];
    EXPECT_EQ(GetItemDetail(0, out, sizeof(out)), 1023);
    EXPECT_EQ(std::string(out), std::string(1023, 'd'));
}

TEST_F(ItemList, DetailCopyHonoursTheCallersCapacity)
{
    AddItem("t", "C:\\x.exe", "", "0123456789", 11, 0);
    char out[16];
    memset(out, '#', sizeof(out));
    EXPECT_EQ(GetItemDetail(0, out, 5), 10) << "the full length is reported";
    EXPECT_STREQ(out, "0123");
    EXPECT_EQ(out[5], '#');
    char untouched[4] = "abc";
    EXPECT_EQ(GetItemDetail(0, untouched, -1), 0);
    EXPECT_STREQ(untouched, "abc");
    EXPECT_EQ(GetItemDetail(0, nullptr, 0), 10);
}

TEST_F(ItemList, UnreachableIndexesGiveNothing)
{
    AddItem("t", "C:\\x.exe", "e", "d", 11, 3);
    char out[kPathLen] = "stale";
    for (int i : {-1, 1, 5000}) {
        EXPECT_EQ(GetItemTitle(i, out), 0);
        EXPECT_STREQ(out, "");
        EXPECT_EQ(GetItemPath(i, out), 0);
        EXPECT_EQ(GetItemEntryName(i, out), 0);
        EXPECT_EQ(GetItemDetail(i, out, sizeof(out)), 0);
        EXPECT_EQ(GetItemType(i), 0);
        EXPECT_EQ(GetItemFlag(i), 0);
    }
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

TEST_F(ItemList, MaxCookieDefaultsDifferBetweenThePrograms)
{
    SetProgramKind(kMonitor);
    int added = 0;
    while (added < 400 && AddItem("c", "x", "", "", 500, 0)) ++added;
    EXPECT_EQ(added, 315);

    ClearItems();
    SetProgramKind(kExplorer);
    added = 0;
    while (added < 400 && AddItem("c", "x", "", "", 500, 0)) ++added;
    EXPECT_EQ(added, 400);
}
