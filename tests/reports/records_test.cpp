#include <gtest/gtest.h>

#include "reports/reports.h"
#include "tests/support/testsupport.h"

namespace {

struct ListGuard {
    ListGuard() { ClearItems(); }
    ~ListGuard() { ClearItems(); }
};

std::string Records(RecordFormat format)
{
    std::string out;
    BeginRecords(format, &out);
    AppendItemRecords(format, "startup", 0, &out);
    EndRecords(format, &out);
    return out;
}

}  // namespace

TEST(Records, FormatNamesAreParsedAndUnknownOnesRejected)
{
    RecordFormat f = kRecordTsv;
    EXPECT_EQ(ParseRecordFormat("json", &f), 1);
    EXPECT_EQ(f, kRecordJson);
    EXPECT_EQ(ParseRecordFormat("CSV", &f), 1);
    EXPECT_EQ(f, kRecordCsv);
    EXPECT_EQ(ParseRecordFormat("xml", &f), 0);
    EXPECT_EQ(f, kRecordCsv);
}

TEST(Records, CsvQuotesAndTsvFlattensSoEachItemStaysOneRecord)
{
    ListGuard guard;
    const char* csvHeader = "catalogue,type_code,type_name,title,program_path,entry_name,flag,detail,location\r\n";
    EXPECT_EQ(Records(kRecordCsv), csvHeader);
    EXPECT_EQ(Records(kRecordJson), "[]\n");
    ASSERT_EQ(AddItem("a,b", "C:\\x.exe", "", "say \"hi\"\r\nnext", 11, 1), 1);
    EXPECT_EQ(Records(kRecordCsv),
              std::string(csvHeader) + "startup,11,CURRENT_RUN,\"a,b\",C:\\x.exe,,1,\"say \"\"hi\"\"\r\nnext\",\r\n");
    ClearItems();
    ASSERT_EQ(AddItem("t\tx", "C:\\y.exe", "", "one\ntwo", 1, 0), 1);
    EXPECT_EQ(Records(kRecordTsv),
              "catalogue\ttype_code\ttype_name\ttitle\tprogram_path\tentry_name\tflag\tdetail\tlocation\n"
              "startup\t1\tMACHINE_RUN\tt x\tC:\\y.exe\t\t0\tone two\t\n");
}

TEST(Records, JsonIsEscapedUtf8WithNumbersUnquoted)
{
    ListGuard guard;
    // The title in the system code page, whichever it is here.
    char accented[16] = "";
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, L"caf\u00e9", -1, accented, sizeof(accented), nullptr, nullptr), 0);
    ASSERT_EQ(AddItem(accented, "C:\\z.exe", "", "back\\slash \"q\" \x01", 3000, 0), 1);
    ASSERT_EQ(AddItem("second", "C:\\w.exe", "", "", 200, 0), 1);
    const std::string json = Records(kRecordJson);
    EXPECT_NE(json.find("\"title\": \"caf\xc3\xa9\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"detail\": \"back\\\\slash \\\"q\\\" \\u0001\""), std::string::npos);
    EXPECT_NE(json.find("\"type_code\": 3000, \"type_name\": \"TYPE_UNKNOWN\""), std::string::npos);
    EXPECT_NE(json.find("},\n  {"), std::string::npos);
    EXPECT_EQ(json.front(), '[');
    EXPECT_EQ(json.substr(json.size() - 4), "}\n]\n");
}
