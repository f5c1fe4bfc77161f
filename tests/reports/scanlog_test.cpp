#include <gtest/gtest.h>
#include <mstask.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reports/reports.h"
#include "tests/catalogue/startuptest.h"

using namespace startuptest;
using namespace std::string_view_literals;
using namespace std::string_literals;

namespace {

constexpr const char* kVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kIe = "Software\\Microsoft\\Internet Explorer";
constexpr const char* kCcs = "SYSTEM\\CurrentControlSet";

// Registry values set for a test and put back (keys it made removed) after.
class Values {
    std::vector<std::unique_ptr<OwnedKey>> keys_;
    std::vector<std::unique_ptr<SavedValue>> saved_;

public:
    void Set(HKEY root, const std::string& key, const char* name, DWORD type, std::string_view data)
    {
        keys_.push_back(std::make_unique<OwnedKey>(root, key));
        saved_.push_back(std::make_unique<SavedValue>(root, key, name));
        EXPECT_TRUE(SetRaw(root, key.c_str(), name, type, data.data(), static_cast<DWORD>(data.size()))) << key;
    }
    void Text(HKEY root, const std::string& key, const char* name, const std::string& text)
    {
        Set(root, key, name, REG_SZ, std::string_view(text.c_str(), text.size() + 1));
    }
    void Remove(HKEY root, const std::string& key, const char* name)
    {
        saved_.push_back(std::make_unique<SavedValue>(root, key, name));
        RegDeleteKeyValueA(root, key.c_str(), name);
    }
    ~Values()
    {
        while (!saved_.empty()) saved_.pop_back();
        while (!keys_.empty()) keys_.pop_back();
    }
};

// A file of the machine written for a test, put back as it was (or removed) afterwards.
struct SavedFile {
    const std::string path, text = ReadTextFile(path);
    const bool existed = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    SavedFile(std::string name, const std::string& now) : path(std::move(name)) { EXPECT_TRUE(WriteTextFile(path, now)) << path; }
    ~SavedFile() { existed ? (void)WriteTextFile(path, text) : (void)DeleteFileA(path.c_str()); }
};

std::string HostsPath()
{
    char path[MAX_PATH] = "";
    GetHostsFilePath(path);
    return path;
}

std::string WindowsFile(const char* name)
{
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + name;
}

std::string WriteLog()
{
    ScratchDir dir("VlScanLogOut");
    const std::string path = dir.file("HijackVelmora.log");
    {
        UniqueFile file = CreateReportFile(path.c_str());
        EXPECT_TRUE(file);
        EXPECT_EQ(1, WriteScanLogTo(file.get()));
    }
    return ReadTextFile(path);
}

// Lines of a log that ends every line with CR LF and holds no other control
// character; a stray byte fails the test.
std::vector<std::string> LinesOf(const std::string& log)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at = 0; at < log.size(); ++at) {
        const auto c = static_cast<unsigned char>(log[at]);
        if (c == '\r' && at + 1 < log.size() && log[at + 1] == '\n') {
            lines.push_back(log.substr(start, at - start));
            start = ++at + 1;
        } else if (c < 32) {
            ADD_FAILURE() << "control byte " << int(c) << " at " << at;
        }
    }
    EXPECT_EQ(start, log.size()) << "the log ends without CR LF";
    return lines;
}

size_t CountPrefix(const std::vector<std::string>& lines, const std::string& prefix)
{
    size_t n = 0;
    for (const std::string& line : lines) n += line.rfind(prefix, 0) == 0;
    return n;
}

// The expected log, line for line, once each {NAME} is replaced. "<any>"
// stands for one line of any text; "<lines>TEXT" for any number of
// non-empty lines that begin with TEXT.
void ExpectLog(std::string text, const std::vector<std::pair<std::string, std::string>>& vars,
               const std::vector<std::string>& actual)
{
    for (const auto& [name, value] : vars)
        for (size_t at; (at = text.find(name)) != std::string::npos;)
            text.replace(at, name.size(), value);
    size_t a = 0;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string e = text.substr(start, end - start);
        if (e.rfind("<lines>", 0) == 0) {
            while (a < actual.size() && !actual[a].empty() && actual[a].rfind(e.substr(7), 0) == 0) ++a;
            continue;
        }
        ASSERT_LT(a, actual.size()) << "missing: " << e;
        if (e != "<any>") {
            ASSERT_EQ(e, actual[a]) << "line " << a + 1;
        }
        ++a;
    }
    EXPECT_EQ(a, actual.size()) << "more lines than expected";
}

constexpr const char* kExpected = R"(Log created by Velmora version 
<any>
<any>
<any>
Boot mode: Normal

Running processes:
<lines>

R1 - HKCU\Software\Microsoft\Internet Explorer\Main,Default_Page_URL = http://vlscan.example/cu-default
R0 - HKCU\Software\Microsoft\Internet Explorer\Main,Start Page = http://vlscan.example/cu-start
R1 - HKLM\Software\Microsoft\Internet Explorer\Main,Default_Page_URL = http://vlscan.example/lm-default
R0 - HKLM\Software\Microsoft\Internet Explorer\Main,Start Page = http://vlscan.example/lm-start
R1 - HKCU\Software\Microsoft\Internet Explorer\Main,Window Title = VlScan CU Title
R0 - HKLM\Software\Microsoft\Internet Explorer\Main,Window Title = VlScan LM Title
F0 - system.ini: Shell=vlshell.exe
F1 - win.ini: run=C:\VlScan\f1run.exe
F1 - win.ini: load=C:\VlScan\f1load.exe
F2 - REG: system.ini: UserInit=C:\VlScan\userinit.exe
F3 - HKCU Load=C:\VlScan\f1load.exe
F3 - HKCU Run=C:\VlScan\f1run.exe
O1 - Hosts: 10.1.2.3bad.example
O2 - BHO: VlScan Helper - {5CA1E000-0000-4000-8000-000000000002} - C:\VlScan\bho.dll
O3 - Toolbar: toolbar.dll - {5CA1E000-0000-4000-8000-000000000003} - C:\VlScan\toolbar.dll
O4 - HKLM\..\Run: [VlScanMachine]C:\VlScan\machine.exe
O4 - HKCU\..\Run: [VlScanParked]C:\VlScan\parked.exe
O4 - HKCU\..\Run: [VlScanUser]C:\VlScan\user.exe -x
O4 - Global Startup: vlscanall.bat={CSTART}\vlscanall.bat
O4 - Startup: vlscan.bat={USTART}\vlscan.bat
O5 - control.ini: inetcpl.cpl=no
O6 - HKCU\Software\Policies\Microsoft\Internet Explorer\Restrictions present
O6 - HKCU\Software\Policies\Microsoft\Internet Explorer\Control Panel present
O7 - HKCU\Software\Microsoft\Windows\CurrentVersion\Policies\System, DisableRegistryTools =1
O7 - HKCU\Software\Microsoft\Windows\CurrentVersion\Policies\System, DisableRegEdit=2
O7 - HKCU\Software\Microsoft\Windows\CurrentVersion\Policies\System, DisableTaskMgr =1
O8 - Extra context menu item: VlScan &Menu - C:\VlScan\menu.htm
O9 - Extra button: VlButton - {5CA1E000-0000-4000-8000-000000000009} - C:\VlScan\button.exe
O9 - Extra 'Tools' menuitem: VlMenu - {5CA1E000-0000-4000-8000-000000000009} - C:\VlScan\button.exe
O9 - Extra button: (no name) - {5CA1E000-0000-4000-8000-00000000000A} - C:\VlScan\user.js (HKCU)
O11 - Options group: [VlScan Group] VlScan Group - C:\VlScan\res
O12 - Plugin for .vlscan: C:\VlScan\plugin.dll
O13 - DefaultPrefix: http://vlscan.example/?
O13 - WWW Prefix: http://vlscan.example/www/
O13 -  WWW. Prefix: http://vlscan.example/wwwdot/
O14 - IERESET.INF: START_PAGE_URL = http://vlscan.example/start
O14 - IERESET.INF: SEARCH_PAGE_URL = http://vlscan.example/search
O14 - IERESET.INF:HKCU, Start Page = "http://vlscan.example/reset"
O14 - IERESET.INF:HKLM, Default_Page_URL = %START_PAGE_URL%
O14 - IERESET.INF: Search Page = "http://vlscan.example/find"
O15 - Trusted Zone: vlscan.example
O16 - DPF: {5CA1E000-0000-4000-8000-000000000016} (VlScan Control) - http://vlscan.example/dpf.cab
O17 - HKLM\CCS: SearchList = vlscan.example
O17 - HKLM\CS2: SearchList = vlscan.cs2
O17 - HKLM\CCS: NameServer = 10.9.8.7
O17 - HKLM\System\CCS\Services\VxD\MSTCP: Domain = vlscan.vxd
O17 - HKLM\System\CCS\Services\Tcpip\Parameters: Domain = vlscan.lan
O19 -  User style sheet: C:\VlScan\style.css
O20 - AppInit_DLLs: C:\VlScan\appinit.dll

O21 - VlScanDelay - VlScan Delay - {5CA1E000-0000-4000-8000-000000000021} - C:\VlScan\delay.dll
O22 - SharedTaskScheduler: (VlScan STS) - {5CA1E000-0000-4000-8000-000000000022} - C:\VlScan\sts.dll
<lines>O23 - Service: 
O24 -  Desktop Component 0: VlScan Component - http://vlscan.example/c.htm
O24 -  Desktop Component 2: VlScan Two - http://vlscan.example/two.htm

---  Additional Velmora Info  ---
Browser: Unable to find default browser.
<any>
America Online version 3.1.4.1 running C:\VlScan\AOL
Firefox 2.7.1.8 installed in C:\VlScan\Firefox.
2 IE Cookies in Folder: {IECOOKIES}\
3 Mozilla Cookies in Folder: {MOZCOOKIES}

VL00 - HKLM\CCS: BootExecute = autocheck autochk * | vlscan.exe
VL01 - HKLM\CCS: PendingFileRenameOperations = \??\C:\VlScan\a.tmp |  | \??\C:\VlScan\b.tmp | !\??\C:\VlScan\c.tmp
VL02 - HKLM\CCS: Command = C:\windows\system32\cmd.exe

VL04 - Delayed Start: [VlScan Delayed]C:\VlScan\delayed.exe

VL31 - Scheduled Tasks: [VlScanTask.job]C:\windows\notepad.exe {NEVER}

<lines>VL32 - Hidden File: {HIDDEN}\

VL33 - File Type .CHM: [Compiled HTML Help File]C:\windows\hh.exe %1
VL33 - File Type .MSI: [Windows Installer Package]C:\windows\system32\msiexec.exe /i %1
VL33 - File Type .RTF: [Rich Text Document]C:\Program Files\Windows NT\Accessories\wordpad.exe %1
VL33 - File Type .URL: [Internet Shortcut]rundll32.exe ieframe.dll,OpenURL %l
VL33 - File Type .VBS: [VBScript Script File]C:\windows\system32\wscript.exe %1 %*

<any>
<any>
<any>
<any>


--
End of file
)";

std::string Id(const char* tail)
{
    return "{5CA1E000-0000-4000-8000-0000000000"s + tail + "}";
}

// The prefix's own entries (Wine's, the monitor's autostart) would stand
// between the test's: every Run-type value is moved aside for the test.
void ClearRunKeys(Values& v)
{
    for (int code : {1, 2, 3, 4, 5, 6, 7, 11, 12, 13, 14, 15, 16}) {
        HKEY root = nullptr;
        const char *key = "", *store = nullptr;
        UniqueKey opened;
        if (!GetRunLocation(code, &root, &key, &store) ||
            RegOpenKeyExA(root, key, 0, KEY_READ, opened.put()) != ERROR_SUCCESS)
            continue;
        std::vector<std::string> names;
        char name[16384];
        for (DWORD i = 0, length = sizeof(name);
             !RegEnumValueA(opened.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr); ++i, length = sizeof(name))
            names.push_back(name);
        for (const std::string& n : names) v.Remove(root, key, n.c_str());
    }
}

// The text values behind every line code the registry gives.
void SetEveryLineCode(Values& v)
{
    const HKEY cu = HKEY_CURRENT_USER, lm = HKEY_LOCAL_MACHINE, cr = HKEY_CLASSES_ROOT;
    const std::string main = kIe + "\\Main"s, system = kVersion + "\\Policies\\System"s,
                      button = kIe + "\\Extensions\\"s + Id("09"),
                      group = kIe + "\\AdvancedOptions\\VLSCAN"s,
                      tcpip = kCcs + "\\Services\\Tcpip\\Parameters"s,
                      service = kCcs + "\\Services\\VlScanSvc"s, paths = kVersion + "\\App Paths\\"s,
                      components = kIe + "\\Desktop\\Components\\"s;
    const struct {
        HKEY root;
        std::string key;
        std::string name, text;
    } values[] = {
        {cu, main, "Default_Page_URL", "http://vlscan.example/cu-default"},
        {cu, main, "Start Page", "http://vlscan.example/cu-start"},
        {cu, main, "Window Title", "VlScan CU Title"},
        {lm, main, "Default_Page_URL", "http://vlscan.example/lm-default"},
        {lm, main, "Start Page", "http://vlscan.example/lm-start"},
        {lm, main, "Window Title", "VlScan LM Title"},
        {lm, kIEBrowserHelpersKey + "\\"s + Id("02"), "", ""},
        {cr, "CLSID\\" + Id("02"), "", "VlScan Helper"},
        {cr, "CLSID\\" + Id("02") + "\\InprocServer32", "", "C:\\VlScan\\bho.dll"},
        {lm, kIEToolbarKey, Id("03"), ""},
        {cr, "CLSID\\" + Id("03") + "\\InprocServer32", "", "C:\\VlScan\\toolbar.dll"},
        {lm, kVersion + "\\Run"s, "VlScanMachine", "C:\\VlScan\\machine.exe"},
        {cu, kVersion + "\\Run"s, "VlScanUser", "C:\\VlScan\\user.exe -x"},
        // Back in its Run key while parked: a scan lists it and leaves it there.
        {cu, kVersion + "\\Run"s, "VlScanParked", "C:\\VlScan\\parked.exe"},
        {lm, kDisabledMarkerKey, "VlScanParked", "11"},
        {cu, "Control Panel\\don't load", "inetcpl.cpl", "no"},
        {cu, "Software\\Policies\\Microsoft\\Internet Explorer\\Restrictions", "", "1"},
        {cu, "Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel", "", "1"},
        {cu, system, "DisableTaskMgr", "1"},
        {cu, kIe + "\\MenuExt\\VlScan &Menu"s, "", "C:\\VlScan\\menu.htm"},
        {lm, button, "ButtonText", "VlButton"},
        {lm, button, "exec", "C:\\VlScan\\button.exe"},
        {lm, button, "MenuText", "VlMenu"},
        {cu, kIe + "\\Extensions\\"s + Id("0A"), "script", "C:\\VlScan\\user.js"},
        {lm, group, "Text", "VlScan Group"},
        {lm, group, "HelpID", "C:\\VlScan\\help.hlp"},
        {lm, group, "Bitmap", "C:\\VlScan\\res\\group.bmp"},
        {lm, kIe + "\\AdvancedOptions\\VLSCANIE"s, "HelpID", "iexplore.hlp#1"},
        {lm, kIe + "\\Plugins\\Extension\\.vlscan"s, "Location", "C:\\VlScan\\plugin.dll"},
        {lm, kVersion + "\\URL\\DefaultPrefix"s, "", "http://vlscan.example/?"},
        {lm, kVersion + "\\URL\\Prefixes"s, "www", "http://vlscan.example/www/"},
        {lm, kVersion + "\\URL\\Prefixes"s, "www.", "http://vlscan.example/wwwdot/"},
        {lm, "SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units\\" + Id("16") +
                 "\\DownloadInformation",
         "CODEBASE", "http://vlscan.example/dpf.cab"},
        {cr, "CLSID\\" + Id("16"), "", "VlScan Control"},
        {cr, "CLSID\\" + Id("16") + "\\InprocServer32", "", "C:\\VlScan\\dpf.ocx"},
        {lm, tcpip, "SearchList", "vlscan.example"},
        {lm, tcpip, "NameServer", "10.9.8.7"},
        {lm, tcpip, "Domain", "vlscan.lan"},
        {lm, "SYSTEM\\ControlSet002\\Services\\Tcpip\\Parameters", "SearchList", "vlscan.cs2"},
        {lm, kCcs + "\\Services\\VxD\\MSTCP"s, "Domain", "vlscan.vxd"},
        {cu, kIe + "\\Styles"s, "User Stylesheet", "C:\\VlScan\\style.css"},
        {lm, kWindowsNt, "AppInit_DLLs", "C:\\VlScan\\appinit.dll"},
        {lm, kDelayLoad, "VlScanDelay", Id("21")},
        {lm, kDelayLoad, "VlScanShell", "{E6FB5E20-DE35-11CF-9C87-00AA005127ED}"},
        {cr, "CLSID\\" + Id("21"), "", "VlScan Delay"},
        {cr, "CLSID\\" + Id("21") + "\\InprocServer32", "", "C:\\VlScan\\delay.dll"},
        {lm, kSharedTaskScheduler, Id("22"), "VlScan"},
        {cr, "CLSID\\" + Id("22"), "", "VlScan STS"},
        {cr, "CLSID\\" + Id("22") + "\\InprocServer32", "", "C:\\VlScan\\sts.dll"},
        {lm, service, "ImagePath", FixturePath("svc_fixture.exe")},
        {lm, service, "DisplayName", "VlScan Service"},
        {lm, paths + "AOL.EXE", "", FixturePath("startup_fixture.exe")},
        {lm, paths + "AOL.EXE", "Path", "C:\\VlScan\\AOL"},
        {lm, paths + "firefox.exe", "", "\"" + FixturePath("startup_product.exe") + "\""},
        {lm, paths + "firefox.exe", "Path", "C:\\VlScan\\Firefox"},
        {cu, kDelayKey, "C:\\VlScan\\delayed.exe", "11"},
        {cu, kDelayKey + "\\Title"s, "C:\\VlScan\\delayed.exe", "VlScan Delayed"},
        // The current home page is no component of its own; the numbers stop at a gap.
        {cu, components + "0", "FriendlyName", "VlScan Component"},
        {cu, components + "0", "Source", "http://vlscan.example/c.htm"},
        {cu, components + "1", "FriendlyName", "My Current Home Page"},
        {cu, components + "2", "FriendlyName", "VlScan Two"},
        {cu, components + "2", "Source", "http://vlscan.example/two.htm"},
        {cu, components + "4", "FriendlyName", "After The Gap"},
    };
    for (const auto& value : values) v.Text(value.root, value.key, value.name.c_str(), value.text);
    v.Set(cu, system, "DisableRegistryTools", REG_DWORD, "\x01\0\0\0"sv);
    v.Set(cu, system, "DisableRegEdit", REG_DWORD, "\x02\0\0\0"sv);
    const std::string domains = kVersion + "\\Internet Settings\\ZoneMap\\Domains\\"s;
    v.Set(cu, domains + "vlscan.example\\www", "*", REG_DWORD, "\x02\0\0\0"sv);
    v.Set(cu, domains + "vlscan-restricted.example", "*", REG_DWORD, "\x04\0\0\0"sv);
    const std::string session = kCcs + "\\Control\\Session Manager"s;
    v.Set(lm, session, "BootExecute", REG_MULTI_SZ, "autocheck autochk *\0vlscan.exe\0\0"sv);
    v.Set(lm, session, "PendingFileRenameOperations", REG_MULTI_SZ,
          "\\??\\C:\\VlScan\\a.tmp\0\0\\??\\C:\\VlScan\\b.tmp\0!\\??\\C:\\VlScan\\c.tmp\0\0"sv);
}

// A work item that runs notepad and has never run.
bool CreateTask(ITaskScheduler* scheduler, const wchar_t* name)
{
    ComPtr<ITask> task;
    ComPtr<IPersistFile> file;
    return SUCCEEDED(scheduler->NewWorkItem(name, CLSID_CTask, IID_ITask, reinterpret_cast<IUnknown**>(task.put()))) &&
           SUCCEEDED(task->SetApplicationName(L"C:\\windows\\notepad.exe")) &&
           SUCCEEDED(task->SetWorkingDirectory(L"C:\\windows")) &&
           SUCCEEDED(task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) &&
           file->Save(nullptr, TRUE) == S_OK;
}

}   // namespace

TEST(ScanLog, EveryLineCodeAsExpectedAndNothingParked)
{
    ScratchKey machineDelays(HKEY_LOCAL_MACHINE, kDelayKey);
    ScratchKey components(HKEY_CURRENT_USER, kIe + "\\Desktop\\Components"s);
    Values v;
    ClearRunKeys(v);
    SetEveryLineCode(v);
    SavedProfile run("run"), load("load");
    WriteProfileStringA("windows", "run", "C:\\VlScan\\f1run.exe");
    WriteProfileStringA("windows", "load", "C:\\VlScan\\f1load.exe");
    SavedFile systemIni(WindowsFile("\\system.ini"),
                        "[Boot]\r\nShell=vlshell.exe\r\nUserInit=C:\\VlScan\\userinit.exe\r\n");
    // Comments, loopback and null routes are the harmless lines.
    SavedFile hosts(HostsPath(),
                    "# comment\r\n#10.1.1.1 commented.example\r\n127.0.0.1       localhost\r\n"
                    "::1 localhost\n\t# indented comment\r\n10.1.2.3\tbad.example\r\n"
                    "0.0.0.0 ads.example");
    SavedFile reset(
        WindowsFile("\\inf\\iereset.inf"),
        "[Strings]\r\nSTART_PAGE_URL=\"http://vlscan.example/start\"\r\n"
        "SEARCH_PAGE_URL=http://vlscan.example/search\r\n"
        "HKCU,\"Software\\Microsoft\\Internet Explorer\\Main\",\"Start Page\",0,\"http://vlscan.example/reset\"\r\n"
        "HKLM,\"Software\\Microsoft\\Internet Explorer\\Main\",\"Default_Page_URL\",0,%START_PAGE_URL%\r\n"
        "Start Page without a comma\r\n\"Search Page\",0,\"http://vlscan.example/find\"\r\n");
    TempFile userBat(UserStartupFolder() + "\\vlscan.bat"),
        commonBat(CommonStartupFolder() + "\\vlscanall.bat");
    ASSERT_TRUE(WriteTextFile(userBat.path(), "@echo off\r\n") &&
                WriteTextFile(commonBat.path(), "@echo off\r\n"));
    // Cookies of both browsers, counted whichever the explorer shows.
    ScratchDir ieCookies("VlScanIeCookies"), mozCookies("VlScanMozCookies");
    for (const char* name : {"index.dat", "vl@one[1].txt", "vl@two[1].txt"})
        ASSERT_TRUE(WriteTextFile(ieCookies.file(name), "x\n"));
    ASSERT_TRUE(WriteTextFile(mozCookies.file("cookies.txt"),
                              "# Netscape HTTP Cookie File\n.a.example\tTRUE\t/\tFALSE\t0\tn\tv\n"
                              ".b.example\tTRUE\t/\tTRUE\t0\tn\tv\nc.example\tFALSE\t/\tFALSE\t0\tn\tv"));
    v.Text(HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder", ieCookies.path());
    v.Text(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", mozCookies.path());
    // More hidden files than the log lists.
    ScratchDir hidden("VlScanHidden");
    for (int i = 0; i < 42; ++i) {
        const std::string file = hidden.file(("h" + std::to_string(i) + ".dat").c_str());
        ASSERT_TRUE(WriteTextFile(file, "x") && SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
    }
    const WNDCLASSA aol = {0, DefWindowProcA, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, "AOL Frame25"};
    RegisterClassA(&aol);
    HWND aolWindow = CreateWindowA(aol.lpszClassName, "America Online", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ComApartment com;
    ComPtr<ITaskScheduler> scheduler;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                     reinterpret_cast<void**>(scheduler.put())));
    scheduler->Delete(L"VlScanTask");
    ASSERT_TRUE(CreateTask(scheduler.get(), L"VlScanTask"));
    char never[64] = "";
    const SYSTEMTIME zero = {};
    FormatHistoryTime(&zero, never);

    const std::string log = WriteLog();
    scheduler->Delete(L"VlScanTask");
    DestroyWindow(aolWindow);
    const std::vector<std::string> lines = LinesOf(log);
    ExpectLog(kExpected,
              {{"{USTART}", PathForm(UserStartupFolder(), true)}, {"{CSTART}", PathForm(CommonStartupFolder(), true)},
               {"{IECOOKIES}", ieCookies.path()}, {"{MOZCOOKIES}", mozCookies.path()}, {"{HIDDEN}", hidden.path()},
               {"{NEVER}", never}},
              lines);
    EXPECT_EQ(41u, CountPrefix(lines, "VL32 - Hidden File: " + hidden.path() + "\\"));
    EXPECT_EQ(1u, CountPrefix(lines, "O23 - Service: VlScan Service - Northwind Traders - " + FixturePath("svc_fixture.exe")));
    EXPECT_EQ("C:\\VlScan\\parked.exe", Reg(HKEY_CURRENT_USER, kVersion + "\\Run"s, "VlScanParked"));
    EXPECT_EQ(1, SetStartupRepair(1));   // the scan put the setting back
}

TEST(ScanLog, DamagedFilesAndValuesOfAnyTypeOrLengthGiveAWholeReadableLog)
{
    // HOSTS: NUL bytes, the longest line shown and one too long, then more
    // lines than the 652,780 bytes read.
    std::string hosts = "10.1.1.1\0\0 nul.example\n"s + "10.1.1.2 " + std::string(488, 'a') + "\n" +
                        "10.1.1.3 " + std::string(489, 'b') + "\n";
    const size_t head = hosts.size();
    for (int i = 0; i < 100000; ++i) {
        char line[32];
        StrFormatA(line, "10.9.0.1 h%06d\n", i);   // 17 bytes
        hosts += line;
    }
    SavedFile hostsFile(HostsPath(), hosts);
    // 1 MB reset file: only its first 16,384 bytes are read line by line,
    // while the profile keys are found anywhere in it.
    std::string reset = "[Strings]\r\nHKCU,\"Main\",\"Start Page\",0,\"http://vlscan.example/early\"\r\n";
    while (reset.size() < 1024 * 1024) reset += "; filler line of the reset file, read by no one at all\r\n";
    reset += "HKLM,\"Main\",\"Default_Page_URL\",0,\"http://vlscan.example/late\"\r\n"
             "START_PAGE_URL=late\r\n";
    SavedFile resetFile(WindowsFile("\\inf\\iereset.inf"), reset);
    Values v;
    const HKEY cu = HKEY_CURRENT_USER, lm = HKEY_LOCAL_MACHINE;
    const std::string main = kIe + "\\Main"s, system = kVersion + "\\Policies\\System"s;
    v.Set(cu, main, "Start Page", REG_BINARY, "http"sv);
    v.Set(lm, main, "Default_Page_URL", REG_DWORD, "\x78\x56\x34\x12"sv);
    v.Set(cu, main, "Window Title", REG_MULTI_SZ, "one\0two\0\0"sv);
    v.Text(lm, main, "Start Page", std::string(300, 's'));
    v.Text(cu, main, "Default_Page_URL", "http://x\r\nO4 - forged");
    v.Text(cu, kIe + "\\Styles"s, "User Stylesheet", std::string(100000, 'c'));
    v.Set(lm, kWindowsNt, "AppInit_DLLs", REG_EXPAND_SZ, "%SystemRoot%\\vl.dll\0"sv);
    v.Set(cu, system, "DisableTaskMgr", REG_BINARY, "\x01"sv);
    v.Text(cu, system, "DisableRegEdit", "abc");
    v.Set(cu, kIe + "\\MenuExt\\VlBad\r\nMenu"s, "", REG_DWORD, "\x05\0\0\0"sv);
    v.Set(lm, kDelayLoad, "VlScanBinary", REG_BINARY, "\x01\x02"sv);
    v.Text(lm, kCcs + "\\Control\\Session Manager"s, "BootExecute", "vlscan single");

    const std::vector<std::string> lines = LinesOf(WriteLog());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("End of file", lines.back());
    const std::string r = "\\Software\\Microsoft\\Internet Explorer\\Main,";
    for (const std::string& line :
         {"O1 - Hosts: 10.1.1.1 nul.example"s, "O1 - Hosts: 10.1.1.2 " + std::string(488, 'a'),
          "R0 - HKCU" + r + "Start Page = hex:68,74,74,70",
          "R1 - HKLM" + r + "Default_Page_URL = 305419896",
          "R1 - HKCU" + r + "Window Title = one | two",
          "R0 - HKLM" + r + "Start Page = " + std::string(256, 's'),
          "R1 - HKCU" + r + "Default_Page_URL = http://x  O4 - forged",
          "O19 -  User style sheet: " + std::string(100000, 'c'),
          "O20 - AppInit_DLLs: C:\\windows\\vl.dll"s,
          "O8 - Extra context menu item: VlBad  Menu - 5"s,
          "O14 - IERESET.INF:HKCU, Start Page = \"http://vlscan.example/early\""s,
          "O14 - IERESET.INF: START_PAGE_URL = late"s,
          "VL00 - HKLM\\CCS: BootExecute = vlscan single"s})
        EXPECT_EQ(1u, CountPrefix(lines, line)) << line.substr(0, 80);
    // Every whole line in the bytes read, and not the one the limit cuts.
    EXPECT_EQ(2 + (652780 - head) / 17, CountPrefix(lines, "O1 - Hosts: "));
    for (const char* absent :
         {"O1 - Hosts: 10.1.1.3", "O4 - forged", "O7 - ", "O21 - ", "O14 - IERESET.INF:HKLM"})
        EXPECT_EQ(0u, CountPrefix(lines, absent)) << absent;
}
