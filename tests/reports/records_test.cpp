#include <gtest/gtest.h>

#include <cstring>

#include "reports/reports.h"
#include "tests/support/testsupport.h"

namespace {

// The shared item list, empty before and after each test, and its records.
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
    static std::string Of(RecordFormat format)
    {
        std::string out;
        BeginRecords(format, &out);
        AppendItemRecords(format, "startup", 0, &out);
        EndRecords(format, &out);
        return out;
    }
};

}  // namespace

TEST_F(ItemList, CsvRecordsQuoteAndTsvRecordsFlatten)
{
    RecordFormat f = kRecordTsv;
    EXPECT_EQ(ParseRecordFormat("CSV", &f) + ParseRecordFormat("xml", &f), 1);
    ASSERT_EQ(f, kRecordCsv);   // an unknown name changes nothing
    const std::string header = "catalogue,type_code,type_name,title,program_path,entry_name,flag,detail,location\r\n";
    EXPECT_EQ(Of(f), header);
    ASSERT_EQ(AddItem("a,b", "C:\\x.exe", "", "say \"hi\"\r\nnext", 11, 1), 1);
    EXPECT_EQ(Of(f), header + "startup,11,CURRENT_RUN,\"a,b\",C:\\x.exe,,1,\"say \"\"hi\"\"\r\nnext\",\r\n");
    ClearItems();
    ASSERT_EQ(AddItem("t\tx", "C:\\y.exe", "", "one\ntwo", 1, 0), 1);
    EXPECT_EQ(Of(kRecordTsv), "catalogue\ttype_code\ttype_name\ttitle\tprogram_path\tentry_name\tflag\tdetail\tlocation\n"
                              "startup\t1\tMACHINE_RUN\tt x\tC:\\y.exe\t\t0\tone two\t\n");
}

TEST_F(ItemList, JsonRecordsAreEscapedUtf8WithNumbersUnquoted)
{
    EXPECT_EQ(Of(kRecordJson), "[]\n");
    char accented[16] = "";   // in the system code page, whichever it is here
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, L"caf\u00e9", -1, accented, sizeof(accented), nullptr, nullptr), 0);
    ASSERT_EQ(AddItem(accented, "C:\\z.exe", "", "back\\slash \"q\" \x01", 3000, 0), 1);
    ASSERT_EQ(AddItem("second", "C:\\w.exe", "", "", 200, 0), 1);
    const std::string json = Of(kRecordJson);
    EXPECT_NE(json.find("\"title\": \"caf\xc3\xa9\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"detail\": \"back\\\\slash \\\"q\\\" \\u0001\""), std::string::npos);
    EXPECT_NE(json.find("\"type_code\": 3000, \"type_name\": \"TYPE_UNKNOWN\""), std::string::npos);
    EXPECT_NE(json.find("},\n  {"), std::string::npos);
    EXPECT_TRUE(json.ends_with("}\n]\n"));
}

TEST_F(ItemList, StoresEveryFieldCutToItsSizeAndUnreachableIndexesGiveNothing)
{
    ASSERT_EQ(AddItem(std::string(200, 't').c_str(), ("C:\\" + std::string(400, 'p')).c_str(),
                      std::string(400, 'e').c_str(), std::string(3000, 'd').c_str(), 200, 1), 1);
    char path[kPathLen], entry[kEntryLen], out[16];
    EXPECT_EQ(Title(0), std::string(127, 't'));
    EXPECT_EQ(GetItemPath(0, path), 259);
    EXPECT_EQ(GetItemEntryName(0, entry), 259);
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
    EXPECT_EQ(GetItemType(kMaxItems), 0);   // one past the last stays outside the table
}
