#include <gtest/gtest.h>

#include <string>

#include "reports/reports.h"
#include "tests/catalogue/startuptest.h"

using namespace startuptest;

namespace {

constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Scan(const std::string& arguments, int* code, std::string* err = nullptr)
{
    std::string out;
    const std::string program = BuildPath("reports\\VelmoraScan.exe");
    *code = RunCaptured(std::string(1, '"').append(program).append("\" ").append(arguments), &out, err);
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
    const std::string record = "\nstartup\t11\tCURRENT_RUN\tVlScanDll\tC:\\VlScan\\lib.dll,Go\t\t1\t\tHKCU\\";
    EXPECT_NE(out.find(std::string(record).append(kUserRun).append("\n")), std::string::npos) << out;
    EXPECT_NE(out.find("\tWinlogon Shell\t"), std::string::npos);
    const std::string page = Scan("startup-page", &code);
    EXPECT_EQ(0, code);
    EXPECT_NE(page.find("\nstartup-page\t11\tCURRENT_RUN\tVlScanDll\t"), std::string::npos);
    EXPECT_EQ(page.find("\tWinlogon Shell\t"), std::string::npos);
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
    }
}

TEST(VelmoraScan, FileTypesWithoutAStoredListUseTheInitialOneAndWriteNothing)
{
    // A scan run before any monitor start must leave the watched list and
    // the snapshot as missing as it found them.
    ScratchKey gone[] = {{HKEY_CURRENT_USER, "Software\\Corvath\\Velmora\\Class"},
                         {HKEY_CURRENT_USER, "Software\\Corvath\\Velmora\\Ext"},
                         {HKEY_CURRENT_USER, "Software\\Corvath\\Velmora\\ExtApp"},
                         {HKEY_CURRENT_USER, "Software\\Corvath\\Velmora\\ExtProgID"}};
    int code = -1;
    const std::string out = Scan("filetypes", &code);
    ASSERT_EQ(0, code);
    // A fresh prefix associates .vbs, one of the initial extensions, with wscript.
    EXPECT_NE(out.find("\tTYPE_FILETYPE\t"), std::string::npos) << out;
    EXPECT_NE(out.find("\t.VBS\t"), std::string::npos);
    for (const ScratchKey& key : gone) {
        UniqueKey opened;
        EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, key.path(), 0, KEY_READ, opened.put()), ERROR_SUCCESS);
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
