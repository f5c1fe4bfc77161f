// The catalogue printer as scripts run it: a real process under the prefix,
// its standard output parsed back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "reports/reports.h"
#include "tests/catalogue/startuptest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;

namespace {

// The Run-type key of each key number, from the catalogue's own table.
const char* RunKey(int number)
{
    HKEY root = nullptr;
    const char* key = "";
    const char* store = nullptr;
    GetRunLocation(number, &root, &key, &store);
    return key;
}
constexpr const char* kNotifyKey =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\VlScanNotify";
constexpr const char* kDisabledRun = "Software\\Corvath\\Velmora\\Disabled\\Run";
constexpr const char* kClass = "{5A1C0DE0-7E57-4B00-9A11-0000DEC05CA7}";

// The tab-separated record titled title, from its type code on; "" when none.
std::string RecordOf(const std::string& tsv, const std::string& title)
{
    for (size_t begin = 0, end; begin < tsv.size(); begin = end + 1) {
        end = tsv.find('\n', begin);
        if (end == std::string::npos) end = tsv.size();
        const std::string line = tsv.substr(begin, end - begin);
        size_t at = 0;
        for (int field = 0; field < 3 && at != std::string::npos; ++field) at = line.find('\t', at + 1);
        if (at != std::string::npos && line.compare(at + 1, title.size() + 1, title + "\t") == 0)
            return line.substr(line.find('\t') + 1);
    }
    return "";
}

std::string Scan(const std::string& arguments, int* code, std::string* err = nullptr)
{
    std::string out;
    *code = RunCaptured("\"" + BuildPath("reports\\VelmoraScan.exe") + "\" " + arguments, &out, err);
    return out;
}

// Entries in every startup location, undone in reverse order.
class EveryLocation {
    std::vector<std::unique_ptr<OwnedKey>> keys_;
    std::vector<std::unique_ptr<SavedValue>> values_;
    std::unique_ptr<SavedProfile> load_, run_;
    std::unique_ptr<TempFile> link_;

    void Text(HKEY root, const char* key, const char* name, const std::string& text)
    {
        keys_.push_back(std::make_unique<OwnedKey>(root, key));
        values_.push_back(std::make_unique<SavedValue>(root, key, name));
        ASSERT_TRUE(SetText(root, key, name, text)) << key << " " << name;
    }

public:
    std::string linkPath;

    void Make()
    {
        for (int k = 1; k <= 7; ++k) {
            Text(HKEY_LOCAL_MACHINE, RunKey(k), ("VlScanM" + std::to_string(k)).c_str(),
                 "C:\\VlScan\\m" + std::to_string(k) + ".exe /a");
            Text(HKEY_CURRENT_USER, RunKey(k), ("VlScanU" + std::to_string(k)).c_str(),
                 "C:\\VlScan\\u" + std::to_string(k) + ".exe /b");
        }
        Text(HKEY_CURRENT_USER, RunKey(1), "VlScanDll", "rundll32.exe C:\\VlScan\\lib.dll,Go");
        Text(HKEY_CURRENT_USER, RunKey(1), "VlScan \"q\" %s", "C:\\VlScan\\q.exe \"%s\"");
        run_ = std::make_unique<SavedProfile>("run");
        load_ = std::make_unique<SavedProfile>("load");
        ASSERT_TRUE(WriteProfileStringA("windows", "run", "C:\\VlScan\\winrun.exe"));
        ASSERT_TRUE(WriteProfileStringA("windows", "load", "C:\\VlScan\\winload.exe"));
        Text(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, "VlScanOff", "11");
        Text(HKEY_LOCAL_MACHINE, kDisabledRun, "VlScanOff", "C:\\VlScan\\off.exe");
        Text(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit",
             "C:\\windows\\system32\\userinit.exe,C:\\VlScan\\logon.exe");
        Text(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "Explorer.exe C:\\VlScan\\shell.exe");
        Text(HKEY_LOCAL_MACHINE, kDelayLoad, "VlScanDelay", kClass);
        Text(HKEY_LOCAL_MACHINE, kSharedTaskScheduler, kClass, "Vl Scan Scheduler");
        Text(HKEY_LOCAL_MACHINE, kShellExecuteHooks, kClass, "Vl Scan Hook");
        Text(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls", "C:\\VlScan\\init.dll");
        Text(HKEY_LOCAL_MACHINE, kNotifyKey, "DllName", "C:\\VlScan\\notify.dll");
        linkPath = UserStartupFolder() + "\\VlScanLink.lnk";
        link_ = std::make_unique<TempFile>(linkPath);
        ASSERT_EQ(S_OK, CreateShortcut(linkPath.c_str(), FixturePath("startup_fixture.exe").c_str(),
                                       "", "", "Vl Scan Link", "", 0));
    }
    ~EveryLocation()
    {
        link_.reset();
        values_.clear();
        while (!keys_.empty()) keys_.pop_back();
    }
};


}  // namespace

TEST(VelmoraScan, ListsAnEntryOfEveryStartupLocationAsTheCatalogueHasIt)
{
    ComApartment com;
    SavedValue showAll(HKEY_CURRENT_USER, kOptionsKey, "ShowAllStartup");
    EveryLocation where;
    ASSERT_NO_FATAL_FAILURE(where.Make());
    int code = -1;
    const std::string out = Scan("startup", &code);
    ASSERT_EQ(0, code);
    EXPECT_EQ(0u, out.find("catalogue\ttype_code\ttype_name\ttitle\tprogram_path\tentry_name\tflag\t"
                           "detail\tlocation\n"));

    const char* machineNames[] = {"MACHINE_RUN", "MACHINE_RUNONCE", "MACHINE_RUNONCEEX",
                                  "MACHINE_RUNSERVICES", "MACHINE_RUNSERVICESONCE",
                                  "MACHINE_RUNONCESETUP", "MACHINE_RUNPOLICY"};
    const char* userNames[] = {"CURRENT_RUN", "CURRENT_RUNONCE", "CURRENT_RUNONCEEX",
                               "CURRENT_RUNSERVICES", "CURRENT_RUNSERVICESONCE", "TYPE_UNKNOWN",
                               "TYPE_UNKNOWN"};
    const char* leaf[] = {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce"};
    const std::string base = "Software\\Microsoft\\Windows\\CurrentVersion\\";
    for (int k = 1; k <= 7; ++k) {
        const std::string n = std::to_string(k);
        const std::string at = k <= 5 ? base + leaf[k - 1] : "";
        EXPECT_EQ(RecordOf(out, "VlScanM" + n), std::to_string(k) + "\t" + machineNames[k - 1] + "\tVlScanM" +
                                                    n + "\tC:\\VlScan\\m" + n + ".exe /a\t\t0\t\t" +
                                                    (at.empty() ? "" : "HKLM\\" + at));
        EXPECT_EQ(RecordOf(out, "VlScanU" + n), std::to_string(10 + k) + "\t" + userNames[k - 1] +
                                                    "\tVlScanU" + n + "\tC:\\VlScan\\u" + n +
                                                    ".exe /b\t\t0\t\t" + (at.empty() ? "" : "HKCU\\" + at));
    }
    const std::string userRun = "HKCU\\" + base + "Run";
    const std::string nt = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\";
    const struct {
        const char* title;
        std::string record;
    } expected[] = {
        {"VlScanDll", "11\tCURRENT_RUN\tVlScanDll\tC:\\VlScan\\lib.dll,Go\t\t1\t\t" + userRun},
        {"VlScan \"q\" %s", "11\tCURRENT_RUN\tVlScan \"q\" %s\tC:\\VlScan\\q.exe %s\t\t0\t\t" + userRun},
        {"run", "101\tWIN_RUN\trun\tC:\\VlScan\\winrun.exe\t\t0\t\tWIN.INI     [Run] Section"},
        {"load", "100\tWIN_LOAD\tload\tC:\\VlScan\\winload.exe\t\t0\t\tWIN.INI     [Load] Section"},
        {"VlScanOff", "11\tCURRENT_RUN\tVlScanOff\tC:\\VlScan\\off.exe\t\t0\t\t *    Disabled * " + userRun},
        {"Winlogon Userinit", "250\tWINLOGON_Userinit\tWinlogon Userinit\tC:\\VlScan\\logon.exe\t\t0\t\t" +
                                  nt + "Winlogon Userinit"},
        {"Winlogon Shell",
         "251\tWINLOGON_Shell\tWinlogon Shell\tC:\\VlScan\\shell.exe\t\t0\t\t" + nt + "Winlogon Shell"},
        {"VlScanDelay", "252\tREG_Delayload\tVlScanDelay\t\t" + std::string(kClass) + "\t0\t\tHKLM\\" +
                            kDelayLoad},
        {"Vl Scan Scheduler", "253\tREG_TaskScheduler\tVl Scan Scheduler\t\t" + std::string(kClass) +
                                  "\t0\t\tHKLM\\" + kSharedTaskScheduler},
        {"Vl Scan Hook", "254\tREG_ShellExecuteHook\tVl Scan Hook\t\t" + std::string(kClass) +
                             "\t0\t\tHKLM\\" + kShellExecuteHooks},
        {"init.dll", "255\tREG_AppInitDLLs\tinit.dll\tC:\\VlScan\\init.dll\t\t0\t\t" + nt +
                         "Windows  AppInit_DLLs"},
        {"VlScanNotify", "256\tRUN_WINLOGONNOTIFY\tVlScanNotify\tC:\\VlScan\\notify.dll\t\t0\t\t" + nt +
                             "Winlogon Notify"},
    };
    for (const auto& e : expected) EXPECT_EQ(RecordOf(out, e.title), e.record) << e.title;

    // The Startup-folder shortcut: its description as title, its target as
    // program, the link itself as entry name.
    const std::string link = RecordOf(out, "Vl Scan Link");
    EXPECT_EQ(link.find("200\tGROUP_STARTUP\tVl Scan Link\t"), 0u) << link;
    EXPECT_NE(link.find("startup_fixture.exe\t"), std::string::npos) << link;
    EXPECT_NE(link.find("VlScanLink.lnk\t0\t"), std::string::npos) << link;
    EXPECT_NE(link.find("\tWindows Startup Group"), std::string::npos) << link;

    // The page mode leaves Winlogon and the hooks out unless every location is asked for.
    SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "ShowAllStartup", "0");
    const std::string page = Scan("startup-page", &code);
    EXPECT_EQ(0, code);
    EXPECT_NE(page.find("\nstartup-page\t"), std::string::npos);
    EXPECT_EQ("", RecordOf(page, "Winlogon Shell"));
    EXPECT_EQ("", RecordOf(page, "VlScanNotify"));
    EXPECT_NE("", RecordOf(page, "VlScanU1"));

    // CSV quotes what holds its separator or a quote; one header only.
    const std::string csv = Scan("--format=csv startup", &code);
    ASSERT_EQ(0, code);
    EXPECT_NE(csv.find("\r\nstartup,11,CURRENT_RUN,VlScanDll,\"C:\\VlScan\\lib.dll,Go\",,1,,"),
              std::string::npos);
    EXPECT_NE(csv.find(",\"VlScan \"\"q\"\" %s\",C:\\VlScan\\q.exe %s,"), std::string::npos);
    EXPECT_EQ(csv.find("catalogue,type_code"), csv.rfind("catalogue,type_code"));
}

TEST(VelmoraScan, EveryCatalogueRunsAndNoArgumentsMeanAllOfThemInOneJsonArray)
{
    const char* names[] = {"startup", "startup-page", "iehelpers", "active", "services",
                           "scheduled", "filetypes", "hidden", "cookies", "delayed"};
    int code = -1;
    const std::string all = Scan("--format=json", &code);
    ASSERT_EQ(0, code);
    // One array across the catalogues: every record but the last is followed by a comma.
    ASSERT_GT(all.size(), 4u);
    EXPECT_EQ(all.front(), '[');
    EXPECT_EQ(all.substr(all.size() - 4), "}\n]\n");
    EXPECT_EQ(all.find("}\n  {"), std::string::npos);
    // The printer itself is running, so the process list always has a record.
    std::string upper = all;
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    EXPECT_NE(upper.find("\"CATALOGUE\": \"ACTIVE\", \"TYPE_CODE\": 600"), std::string::npos);
    EXPECT_NE(upper.find("VELMORASCAN.EXE"), std::string::npos);
    for (const char* name : names) {
        std::string err;
        const std::string one = Scan(std::string("--format=csv ") + name, &code, &err);
        EXPECT_EQ(0, code) << name;
        EXPECT_EQ("", err) << name;
        EXPECT_EQ(0u, one.find("catalogue,type_code,")) << name;
    }
}

TEST(VelmoraScan, FileTypesWithoutAStoredListUseTheInitialOneAndWriteNothing)
{
    // The watched list and the snapshot live under these keys; a scan run
    // before any monitor start must find them as missing as it left them.
    const char* stores[] = {"Software\\Corvath\\Velmora\\Class", "Software\\Corvath\\Velmora\\Ext",
                            "Software\\Corvath\\Velmora\\ExtApp",
                            "Software\\Corvath\\Velmora\\ExtProgID"};
    std::vector<std::unique_ptr<ScratchKey>> gone;
    for (const char* key : stores) gone.push_back(std::make_unique<ScratchKey>(HKEY_CURRENT_USER, key));
    int code = -1;
    const std::string out = Scan("filetypes", &code);
    ASSERT_EQ(0, code);
    // A fresh prefix associates .vbs, one of the initial extensions, with wscript.
    EXPECT_NE(out.find("\tTYPE_FILETYPE\t"), std::string::npos) << out;
    EXPECT_NE(out.find("\t.VBS\t"), std::string::npos) << out;
    for (const char* key : stores) {
        UniqueKey opened;
        EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, opened.put()), ERROR_SUCCESS) << key;
    }
}

TEST(VelmoraScan, UnknownCatalogueOrOptionIsOneErrorLineAndExitTwo)
{
    const char* bad[] = {"nosuch", "--format=xml startup", "--bogus", "startup -x", "STARTUP"};
    for (const char* arguments : bad) {
        int code = -1;
        std::string err;
        const std::string out = Scan(arguments, &code, &err);
        EXPECT_EQ(2, code) << arguments;
        EXPECT_EQ("", out) << arguments;
        ASSERT_FALSE(err.empty()) << arguments;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << arguments;
    }
}
