#include <gtest/gtest.h>

#include "reports/reports.h"
#include "tests/support/testsupport.h"

namespace {

class Records : public ::testing::Test {
protected:
    void SetUp() override { ClearItems(); }
    void TearDown() override { ClearItems(); }
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

TEST_F(Records, CsvQuotesAndTsvFlattensSoEachItemStaysOneRecord)
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

TEST_F(Records, JsonIsEscapedUtf8WithNumbersUnquoted)
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
