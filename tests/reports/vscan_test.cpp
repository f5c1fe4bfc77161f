// The catalogue printer as scripts run it: a real process under the prefix,
// its standard output parsed back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "reports/reports.h"
#include "tests/catalogue/startuptest.h"

using namespace startuptest;

namespace {

constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The tab-separated record titled title, from its type code on; "" when none.
std::string RecordOf(const std::string& tsv, const std::string& title)
{
    const size_t at = tsv.find(std::string(1, '\t').append(title).append(1, '\t'));
    if (at == std::string::npos) return "";
    const size_t begin = tsv.rfind('\t', tsv.rfind('\t', at - 1) - 1) + 1;
    return tsv.substr(begin, tsv.find('\n', at) - begin);
}

std::string Scan(const std::string& arguments, int* code, std::string* err = nullptr)
{
    std::string out;
    const std::string command = std::string(1, '"').append(BuildPath("reports\\VelmoraScan.exe")).append("\" ");
    *code = RunCaptured(command + arguments, &out, err);
    return out;
}

}  // namespace

TEST(VelmoraScan, StartupListsTheCatalogueWithLocationsAndThePageLeavesWinlogonOut)
{
    OwnedKey run(HKEY_CURRENT_USER, kUserRun);
    SavedValue dll(HKEY_CURRENT_USER, kUserRun, "VlScanDll"), shell(HKEY_LOCAL_MACHINE, kWinlogon, "Shell"),
        showAll(HKEY_CURRENT_USER, kOptionsKey, "ShowAllStartup");
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kUserRun, "VlScanDll", "rundll32.exe C:\\VlScan\\lib.dll,Go"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "Explorer.exe C:\\VlScan\\shell.exe"));
    SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "ShowAllStartup", "0");
    int code = -1;
    const std::string out = Scan("startup", &code);
    ASSERT_EQ(0, code);
    EXPECT_EQ(0u, out.find("catalogue\ttype_code\ttype_name\ttitle\tprogram_path\tentry_name\tflag\t"
                           "detail\tlocation\n"));
    EXPECT_EQ(RecordOf(out, "VlScanDll"),
              "11\tCURRENT_RUN\tVlScanDll\tC:\\VlScan\\lib.dll,Go\t\t1\t\tHKCU\\" + std::string(kUserRun));
    EXPECT_NE(RecordOf(out, "Winlogon Shell"), "");

    const std::string page = Scan("startup-page", &code);
    EXPECT_EQ(0, code);
    EXPECT_NE(page.find("\nstartup-page\t11\tCURRENT_RUN\tVlScanDll\t"), std::string::npos);
    EXPECT_EQ(RecordOf(page, "Winlogon Shell"), "");

    const std::string csv = Scan("--format=csv startup", &code);
    ASSERT_EQ(0, code);
    EXPECT_NE(csv.find("\r\nstartup,11,CURRENT_RUN,VlScanDll,\"C:\\VlScan\\lib.dll,Go\",,1,,HKCU\\"),
              std::string::npos);
}

TEST(VelmoraScan, EveryCatalogueRunsAndNoArgumentsMeanAllOfThemInOneJsonArray)
{
    int code = -1;
    const std::string all = Scan("--format=json", &code);
    ASSERT_EQ(0, code);
    ASSERT_GT(all.size(), 4u);
    EXPECT_EQ(all.front(), '[');
    EXPECT_EQ(all.substr(all.size() - 4), "}\n]\n");
    EXPECT_EQ(all.find("}\n  {"), std::string::npos);   // a comma between catalogues too
    // The printer itself is running, so the process list always has a record.
    EXPECT_NE(all.find("\"catalogue\": \"active\", \"type_code\": 600"), std::string::npos);
    for (const char* name : {"startup", "startup-page", "iehelpers", "active", "services", "scheduled",
                             "filetypes", "hidden", "cookies", "delayed"}) {
        std::string err;
        const std::string one = Scan(std::string("--format=csv ") + name, &code, &err);
        EXPECT_EQ(0, code) << name;
        EXPECT_EQ("", err) << name;
        EXPECT_EQ(0u, one.find("catalogue,type_code,")) << name;
        EXPECT_EQ(one.find("catalogue,type_code", 1), std::string::npos) << name;
    }
}

TEST(VelmoraScan, FileTypesWithoutAStoredListUseTheInitialOneAndWriteNothing)
{
    // A scan run before any monitor start must leave the watched list and
    // the snapshot as missing as it found them.
    const char* stores[] = {"Software\\Corvath\\Velmora\\Class", "Software\\Corvath\\Velmora\\Ext",
                            "Software\\Corvath\\Velmora\\ExtApp", "Software\\Corvath\\Velmora\\ExtProgID"};
    std::vector<std::unique_ptr<ScratchKey>> gone;
    for (const char* key : stores) gone.push_back(std::make_unique<ScratchKey>(HKEY_CURRENT_USER, key));
    int code = -1;
    const std::string out = Scan("filetypes", &code);
    ASSERT_EQ(0, code);
    // A fresh prefix associates .vbs, one of the initial extensions, with wscript.
    EXPECT_NE(out.find("\tTYPE_FILETYPE\t"), std::string::npos) << out;
    EXPECT_NE(out.find("\t.VBS\t"), std::string::npos);
    for (const char* key : stores) {
        UniqueKey opened;
        EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, opened.put()), ERROR_SUCCESS) << key;
    }
}

TEST(VelmoraScan, UnknownCatalogueOrOptionIsOneErrorLineAndExitTwo)
{
    for (const char* arguments : {"nosuch", "--format=xml startup", "--bogus", "startup -x", "STARTUP"}) {
        int code = -1;
        std::string err;
        EXPECT_EQ("", Scan(arguments, &code, &err)) << arguments;
        EXPECT_EQ(2, code) << arguments;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << arguments;
    }
}
