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

std::string Json(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string Record(int code, const char* typeName, const std::string& title,
                   const std::string& path, const std::string& entry, int flag,
                   const std::string& detail, const std::string& location)
{
    return "{\"catalogue\": \"startup\", \"type_code\": " + std::to_string(code) +
           ", \"type_name\": \"" + typeName + "\", \"title\": " + Json(title) +
           ", \"program_path\": " + Json(path) + ", \"entry_name\": " + Json(entry) +
           ", \"flag\": " + std::to_string(flag) + ", \"detail\": " + Json(detail) +
           ", \"location\": " + Json(location) + "}";
}

// The line of the output that holds the record titled title; "" when none.
std::string LineOf(const std::string& out, const std::string& title)
{
    const std::string key = "\"title\": " + Json(title) + ",";
    size_t at = out.find(key);
    if (at == std::string::npos) return "";
    size_t begin = out.rfind('\n', at) + 1;
    size_t end = out.find('\n', at);
    std::string line = out.substr(begin, end - begin);
    while (!line.empty() && (line.back() == ',' || line.back() == '\r')) line.pop_back();
    while (!line.empty() && line.front() == ' ') line.erase(0, 1);
    return line;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& s)
{
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || (extra == 1 && c < 0xC2) || i + extra >= s.size() + (extra ? 0 : 1))
            return false;
        unsigned cp = extra ? c & (0x3F >> extra) : c;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d >> 6) != 2) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += extra + 1;
    }
    return true;
}

// A small strict JSON reader: true when the whole text is one value.
struct JsonReader {
    const std::string& s;
    size_t i = 0;
    void Blank()
    {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\n' || s[i] == '\r' || s[i] == '\t')) ++i;
    }
    bool Literal(const char* word)
    {
        const size_t n = strlen(word);
        if (s.compare(i, n, word) != 0) return false;
        i += n;
        return true;
    }
    bool String()
    {
        if (s[i] != '"') return false;
        for (++i; i < s.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c == '"') {
                ++i;
                return true;
            }
            if (c < 0x20) return false;
            if (c == '\\') {
                if (++i >= s.size()) return false;
                if (s[i] == 'u') {
                    for (int k = 0; k < 4; ++k)
                        if (++i >= s.size() || !isxdigit(static_cast<unsigned char>(s[i]))) return false;
                } else if (!strchr("\"\\/bfnrt", s[i])) {
                    return false;
                }
            }
        }
        return false;
    }
    bool Number()
    {
        const size_t start = i;
        if (i < s.size() && s[i] == '-') ++i;
        while (i < s.size() && isdigit(static_cast<unsigned char>(s[i]))) ++i;
        return i > start && s[i - 1] != '-';
    }
    bool Value()
    {
        Blank();
        if (i >= s.size()) return false;
        bool ok = s[i] == '{' ? Container('{', '}', true)
                  : s[i] == '[' ? Container('[', ']', false)
                  : s[i] == '"' ? String()
                  : s[i] == 't' ? Literal("true")
                  : s[i] == 'f' ? Literal("false")
                  : s[i] == 'n' ? Literal("null")
                                : Number();
        Blank();
        return ok;
    }
    bool Container(char open, char close, bool object)
    {
        ++i;
        Blank();
        if (i < s.size() && s[i] == close) return ++i, true;
        for (;;) {
            if (object) {
                Blank();
                if (!String()) return false;
                Blank();
                if (i >= s.size() || s[i++] != ':') return false;
            }
            if (!Value()) return false;
            if (i < s.size() && s[i] == ',') {
                ++i;
                continue;
            }
            if (i < s.size() && s[i] == close) return ++i, true;
            return false;
        }
        (void)open;
    }
    bool Document() { return Value() && i == s.size(); }
};

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

TEST(VelmoraScan, JsonListsAnEntryOfEveryStartupLocationAsTheCatalogueHasIt)
{
    ComApartment com;
    SavedValue showAll(HKEY_CURRENT_USER, kOptionsKey, "ShowAllStartup");
    EveryLocation where;
    ASSERT_NO_FATAL_FAILURE(where.Make());

    int code = -1;
    const std::string out = Scan("--format=json startup", &code);
    ASSERT_EQ(0, code);
    EXPECT_TRUE(IsValidUtf8(out));
    JsonReader reader{out};
    EXPECT_TRUE(reader.Document()) << "not one JSON value; stopped at " << reader.i;

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
        const std::string machineAt = k <= 5 ? "HKLM\\" + base + leaf[k - 1] : "";
        const std::string userAt = k <= 5 ? "HKCU\\" + base + leaf[k - 1] : "";
        EXPECT_EQ(Record(k, machineNames[k - 1], "VlScanM" + n, "C:\\VlScan\\m" + n + ".exe /a", "",
                         0, "", machineAt),
                  LineOf(out, "VlScanM" + n));
        EXPECT_EQ(Record(10 + k, userNames[k - 1], "VlScanU" + n, "C:\\VlScan\\u" + n + ".exe /b",
                         "", 0, "", userAt),
                  LineOf(out, "VlScanU" + n));
    }
    const std::string userRun = "HKCU\\" + base + "Run";
    EXPECT_EQ(Record(11, "CURRENT_RUN", "VlScanDll", "C:\\VlScan\\lib.dll,Go", "", 1, "", userRun),
              LineOf(out, "VlScanDll"));
    EXPECT_EQ(Record(11, "CURRENT_RUN", "VlScan \"q\" %s", "C:\\VlScan\\q.exe %s", "", 0, "",
                     userRun),
              LineOf(out, "VlScan \"q\" %s"));
    EXPECT_EQ(Record(101, "WIN_RUN", "run", "C:\\VlScan\\winrun.exe", "", 0, "",
                     "WIN.INI     [Run] Section"),
              LineOf(out, "run"));
    EXPECT_EQ(Record(100, "WIN_LOAD", "load", "C:\\VlScan\\winload.exe", "", 0, "",
                     "WIN.INI     [Load] Section"),
              LineOf(out, "load"));
    EXPECT_EQ(Record(11, "CURRENT_RUN", "VlScanOff", "C:\\VlScan\\off.exe", "", 0, "",
                     " *    Disabled * " + userRun),
              LineOf(out, "VlScanOff"));
    EXPECT_EQ(Record(250, "WINLOGON_Userinit", "Winlogon Userinit", "C:\\VlScan\\logon.exe", "", 0,
                     "", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Userinit"),
              LineOf(out, "Winlogon Userinit"));
    EXPECT_EQ(Record(251, "WINLOGON_Shell", "Winlogon Shell", "C:\\VlScan\\shell.exe", "", 0, "",
                     "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Shell"),
              LineOf(out, "Winlogon Shell"));
    EXPECT_EQ(Record(252, "REG_Delayload", "VlScanDelay", "", kClass, 0, "",
                     "HKLM\\" + std::string(kDelayLoad)),
              LineOf(out, "VlScanDelay"));
    EXPECT_EQ(Record(253, "REG_TaskScheduler", "Vl Scan Scheduler", "", kClass, 0, "",
                     "HKLM\\" + std::string(kSharedTaskScheduler)),
              LineOf(out, "Vl Scan Scheduler"));
    EXPECT_EQ(Record(254, "REG_ShellExecuteHook", "Vl Scan Hook", "", kClass, 0, "",
                     "HKLM\\" + std::string(kShellExecuteHooks)),
              LineOf(out, "Vl Scan Hook"));
    EXPECT_EQ(Record(255, "REG_AppInitDLLs", "init.dll", "C:\\VlScan\\init.dll", "", 0, "",
                     "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows  AppInit_DLLs"),
              LineOf(out, "init.dll"));
    EXPECT_EQ(Record(256, "RUN_WINLOGONNOTIFY", "VlScanNotify", "C:\\VlScan\\notify.dll", "", 0, "",
                     "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Notify"),
              LineOf(out, "VlScanNotify"));

    // The Startup-folder shortcut: its description as title, its target as
    // program, the link itself as entry name.
    const std::string link = LineOf(out, "Vl Scan Link");
    EXPECT_NE(link.find("\"type_code\": 200, \"type_name\": \"GROUP_STARTUP\""), std::string::npos)
        << link;
    EXPECT_NE(link.find("startup_fixture.exe\", \"entry_name\": "), std::string::npos) << link;
    EXPECT_NE(link.find("VlScanLink.lnk\", \"flag\": 0"), std::string::npos) << link;
    EXPECT_NE(link.find("\"location\": \"Windows Startup Group\"}"), std::string::npos) << link;

    // The page mode leaves Winlogon and the hooks out unless every location is asked for.
    SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "ShowAllStartup", "0");
    const std::string page = Scan("--format=json startup-page", &code);
    EXPECT_EQ(0, code);
    EXPECT_NE(page.find("\"catalogue\": \"startup-page\""), std::string::npos);
    EXPECT_EQ("", LineOf(page, "Winlogon Shell"));
    EXPECT_EQ("", LineOf(page, "VlScanNotify"));
    EXPECT_NE("", LineOf(page, "VlScanU1"));
}

TEST(VelmoraScan, TsvAndCsvHaveOneHeaderAndOneLinePerEntry)
{
    ComApartment com;
    EveryLocation where;
    ASSERT_NO_FATAL_FAILURE(where.Make());
    int code = -1;
    const std::string tsv = Scan("startup", &code);
    ASSERT_EQ(0, code);
    EXPECT_EQ(0u, tsv.find("catalogue\ttype_code\ttype_name\ttitle\tprogram_path\tentry_name\tflag\t"
                           "detail\tlocation\n"));
    EXPECT_NE(tsv.find("\nstartup\t11\tCURRENT_RUN\tVlScanDll\tC:\\VlScan\\lib.dll,Go\t\t1\t\t"),
              std::string::npos);

    const std::string csv = Scan("--format=csv startup", &code);
    ASSERT_EQ(0, code);
    EXPECT_NE(csv.find("\r\nstartup,11,CURRENT_RUN,VlScanDll,\"C:\\VlScan\\lib.dll,Go\",,1,,"),
              std::string::npos);
    EXPECT_NE(csv.find(",\"VlScan \"\"q\"\" %s\",C:\\VlScan\\q.exe %s,"), std::string::npos);
    size_t headers = 0;
    for (size_t at = csv.find("catalogue,type_code"); at != std::string::npos;
         at = csv.find("catalogue,type_code", at + 1))
        ++headers;
    EXPECT_EQ(1u, headers);
}

TEST(VelmoraScan, EveryCatalogueRunsAndNoArgumentsMeanAllOfThem)
{
    const char* names[] = {"startup", "startup-page", "iehelpers", "active", "services",
                           "scheduled", "filetypes", "hidden", "cookies", "delayed"};
    int code = -1;
    const std::string all = Scan("--format=json", &code);
    ASSERT_EQ(0, code);
    JsonReader reader{all};
    EXPECT_TRUE(reader.Document());
    EXPECT_TRUE(IsValidUtf8(all));
    // The printer itself is running, so the process list always has a record.
    EXPECT_NE(all.find("\"catalogue\": \"active\""), std::string::npos);
    std::string upper = all;
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
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
