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

TEST(Records, CsvQuotesSeparatorsQuotesAndLineBreaks)
{
    ListGuard guard;
    ASSERT_EQ(AddItem("a,b", "C:\\x.exe", "", "say \"hi\"\r\nnext", 11, 1), 1);
    const std::string csv = Records(kRecordCsv);
    EXPECT_EQ(csv,
              "catalogue,type_code,type_name,title,program_path,entry_name,flag,detail,location\r\n"
              "startup,11,CURRENT_RUN,\"a,b\",C:\\x.exe,,1,\"say \"\"hi\"\"\r\nnext\",\r\n");
}

TEST(Records, TsvFlattensTabsAndLineBreaksInFields)
{
    ListGuard guard;
    ASSERT_EQ(AddItem("t\tx", "C:\\y.exe", "", "one\ntwo", 1, 0), 1);
    const std::string tsv = Records(kRecordTsv);
    EXPECT_EQ(tsv,
              "catalogue\ttype_code\ttype_name\ttitle\tprogram_path\tentry_name\tflag\tdetail\tlocation\n"
              "startup\t1\tMACHINE_RUN\tt x\tC:\\y.exe\t\t0\tone two\t\n");
}

TEST(Records, JsonIsEscapedUtf8WithNumbersUnquoted)
{
    ListGuard guard;
    // Text in the system code page: convert it for comparison the same way.
    const std::string accented = AnsiToUtf8("caf\xe9");
    ASSERT_EQ(AddItem("caf\xe9", "C:\\z.exe", "", "back\\slash \"q\" \x01", 3000, 0), 1);
    ASSERT_EQ(AddItem("second", "C:\\w.exe", "", "", 200, 0), 1);
    const std::string json = Records(kRecordJson);
    EXPECT_NE(json.find("\"title\": \"" + accented + "\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"detail\": \"back\\\\slash \\\"q\\\" \\u0001\""), std::string::npos);
    EXPECT_NE(json.find("\"type_code\": 3000, \"type_name\": \"TYPE_UNKNOWN\""),
              std::string::npos);
    EXPECT_NE(json.find("},\n  {"), std::string::npos);
    EXPECT_EQ(json.front(), '[');
    EXPECT_EQ(json.substr(json.size() - 4), "}\n]\n");
    // Every byte is valid UTF-8: no raw byte of the code page survives.
    EXPECT_EQ(json.find('\xe9'), std::string::npos);
}

TEST(Records, EmptyListGivesHeaderOrEmptyArray)
{
    ListGuard guard;
    EXPECT_EQ(Records(kRecordJson), "[]\n");
    EXPECT_EQ(Records(kRecordCsv),
              "catalogue,type_code,type_name,title,program_path,entry_name,flag,detail,location\r\n");
}
