// The scan log "HijackVelmora.log": everything on the machine that can start
// software or redirect the browser, for a person to read or to paste into a
// help request. One pass; every line goes out as soon as it is formatted.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "reports/reports.h"

#include <shellapi.h>

namespace {

constexpr DWORD kHostsMax = 652780;
constexpr size_t kHostsLineMax = 500;   // with its CR LF
constexpr DWORD kResetFileMax = 16384;
constexpr size_t kStartPageMax = 256;
constexpr int kHiddenMax = 41;
constexpr DWORD kProfileMax = 16 * 1024 * 1024;
constexpr int IDS_RUNNING_PROCESSES = 818;
constexpr int IDS_IE_MAIN_KEY = 623;

constexpr const char* kAppPathsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";

void Blank(ScanLog* log)
{
    ScanLine(log, "\r\n");
}

bool IsPlainFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A win.ini key (file null) or a private profile key, at any length.
std::string ReadProfileText(const char* section, const char* key, const char* file)
{
    std::vector<char> buffer(1024);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = file ? GetPrivateProfileStringA(section, key, "", buffer.data(), size, file)
                             : GetProfileStringA(section, key, "", buffer.data(), size);
        // A text that filled the buffer may have been cut: ask again, larger.
        if (n + 1 < size || size >= kProfileMax)
            return PrintableScanText(std::string(buffer.data(), n < size ? n : 0));
        buffer.resize(static_cast<size_t>(size) * 4);
    }
}

std::string WindowsFile(const char* name)
{
    char folder[MAX_PATH];
    const UINT n = GetWindowsDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::string(folder) + name;
}

// Reads at most limit bytes of a file and hands fn every line: split at line
// feeds, each byte below 32 dropped, at most keep characters kept of a line
// (a longer one is handed cut to keep + 1, so it still counts as too long).
// The last line counts whether or not a line feed ends it; a line the limit
// cuts in two is not the file's, and is left out.
template <class Fn>
void ForEachFileLine(const std::string& path, DWORD limit, size_t keep, Fn&& fn)
{
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    std::vector<char> chunk(64 * 1024);
    std::string line;
    bool pending = false;
    for (DWORD total = 0; total < limit;) {
        DWORD read = 0;
        const DWORD want =
            limit - total < chunk.size() ? limit - total : static_cast<DWORD>(chunk.size());
        if (!ReadFile(file.get(), chunk.data(), want, &read, nullptr) || read == 0) break;
        total += read;
        for (DWORD i = 0; i < read; ++i) {
            const auto c = static_cast<unsigned char>(chunk[i]);
            if (c == '\n') {
                fn(line);
                line.clear();
                pending = false;
                continue;
            }
            pending = true;
            if (c >= 32 && line.size() <= keep) line += static_cast<char>(c);
        }
    }
    char more = 0;
    DWORD extra = 0;
    if (pending && !(ReadFile(file.get(), &more, 1, &extra, nullptr) && extra == 1)) fn(line);
}

// --- Header ----------------------------------------------------------------

std::string IeLine()
{
    char path[MAX_PATH];
    if (GetReportIePath(path, MAX_PATH) && IsPlainFile(path)) {
        VersionRecord version;
        GetVersionStrings(path, &version);
        return std::string("MSIE: ") + version.field[kFileDescription] + " (" +
               version.field[kProductVersion] + ")\r\n";
    }
    return "MSIE: Internet Explorer Not found.\r\n";
}

constexpr const char* kBootModes[] = {"Normal", "Safe", "Safe with Network"};
static_assert(std::size(kBootModes) == 3);

void WriteHeader(ScanLog* log, const std::string& ieLine)
{
    char version[1024];
    GetSystemVersionText(version);
    ScanLine(log, "Log created by %s version %s\r\n", GetAppCaption(), version);
    ReportStamp now;
    StampReportNow(&now);
    ScanLine(log, "Scan saved at %s, on %s\r\n", now.clock, now.date);
    char platform[512] = "";
    GetPlatformText(platform, sizeof platform);
    ScanLine(log, "Platform: %s\r\n", platform);
    ScanLine(log, "%s", ieLine.c_str());
    const int boot = GetSystemMetrics(SM_CLEANBOOT);
    ScanLine(
        log, "Boot mode: %s\r\n",
        boot >= 0 && boot < static_cast<int>(std::size(kBootModes)) ? kBootModes[boot] : "Unknown");
    Blank(log);
}

void WriteProcesses(ScanLog* log)
{
    char title[256];
    LoadLocalizedString(IDS_RUNNING_PROCESSES, title);
    ScanLine(log, "%s\r\n", title);
    BuildActiveTaskList();
    for (int i = 0; i < ItemCount(); ++i) {
        char path[kPathLen];
        GetItemPath(i, path);
        ScanLine(log, "%s\r\n", path);
    }
    Blank(log);
}

// --- Start pages and start points ----------------------------------------------

struct StartPageValue {
    const char* code;
    bool user;
    const char* name;
};
constexpr StartPageValue kStartPages[] = {
    {"R1 - ", true, "Default_Page_URL"},  {"R0 - ", true, "Start Page"},
    {"R1 - ", false, "Default_Page_URL"}, {"R0 - ", false, "Start Page"},
    {"R1 - ", true, "Window Title"},      {"R0 - ", false, "Window Title"},
};
static_assert(std::size(kStartPages) == 6);

void WriteStartPages(ScanLog* log)
{
    char key[256];
    LoadLocalizedString(IDS_IE_MAIN_KEY, key);
    for (const StartPageValue& v : kStartPages) {
        const std::string text = ReadScanValue(v.user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, key,
                                               v.name, kStartPageMax);
        if (text.empty()) continue;
        ScanLine(log, "%s%s\\Software\\Microsoft\\Internet Explorer\\Main,%s = %s\r\n", v.code,
                 v.user ? "HKCU" : "HKLM", v.name, text.c_str());
    }
}

void WriteStartPoints(ScanLog* log)
{
    const std::string systemIni = WindowsFile("\\system.ini");
    const std::string shell = ReadProfileText("Boot", "Shell", systemIni.c_str());
    if (!shell.empty() && lstrcmpiA(shell.c_str(), "Explorer.exe") != 0)
        ScanLine(log, "F0 - system.ini: Shell=%s\r\n", shell.c_str());
    const std::string run = ReadProfileText("Windows", "run", nullptr);
    if (!run.empty()) ScanLine(log, "F1 - win.ini: run=%s\r\n", run.c_str());
    const std::string load = ReadProfileText("Windows", "load", nullptr);
    if (!load.empty()) ScanLine(log, "F1 - win.ini: load=%s\r\n", load.c_str());
    const std::string userInit = ReadProfileText("Boot", "UserInit", systemIni.c_str());
    if (!userInit.empty()) ScanLine(log, "F2 - REG: system.ini: UserInit=%s\r\n", userInit.c_str());
    constexpr const char* kWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    const std::string userLoad = ReadScanValue(HKEY_CURRENT_USER, kWindowsKey, "Load");
    if (!userLoad.empty()) ScanLine(log, "F3 - HKCU Load=%s\r\n", userLoad.c_str());
    const std::string userRun = ReadScanValue(HKEY_CURRENT_USER, kWindowsKey, "Run");
    if (!userRun.empty()) ScanLine(log, "F3 - HKCU Run=%s\r\n", userRun.c_str());
}

// --- HOSTS (O1) ----------------------------------------------------------------

bool IsHostsLineShown(const std::string& line)
{
    // Loopback and null-route entries are the harmless ones.
    const size_t length = line.size() + 2;
    return !line.empty() && line[0] != '#' && length > 4 && length < kHostsLineMax &&
           line.find("127.0.0.1") == std::string::npos && line.find("::1") == std::string::npos &&
           line.find("0.0.0") == std::string::npos;
}

void WriteHosts(ScanLog* log)
{
    char path[kPathLen];
    if (!GetHostsFilePath(path)) return;
    ForEachFileLine(path, kHostsMax, kHostsLineMax, [log](const std::string& line) {
        if (IsHostsLineShown(line)) ScanLine(log, "O1 - Hosts: %s\r\n", line.c_str());
    });
}

// --- Startup entries (O4) ----------------------------------------------------

struct RunLocation {
    int code;
    const char* text;
};
constexpr RunLocation kRunLocations[] = {
    {1, "HKLM\\..\\Run"},
    {2, "HKLM\\..\\RunOnce"},
    {3, "HKLM\\..\\RunOnceEx"},
    {4, "HKLM\\..\\RunServices"},
    {5, "HKLM\\..\\RunServicesOnce"},
    {6, "HKLM\\..\\RunOnceSetup"},
    {7, "HKLM\\..\\Policies\\Explorer\\Run"},
    {11, "HKCU\\..\\Run"},
    {12, "HKCU\\..\\RunOnce"},
    {13, "HKCU\\..\\RunOnceEx"},
    {14, "HKCU\\..\\RunServices"},
    {15, "HKCU\\..\\RunServicesOnce"},
    {16, "HKCU\\..\\RunOnceSetup"},
    {21, "HKU\\..\\Run"},
    {22, "HKU\\..\\RunOnce"},
    {23, "HKU\\..\\RunOnceEx"},
    {24, "HKU\\..\\RunService"},
    {25, "HKU\\..\\RunServicesOnce"},
    {26, "HKU\\..\\RunOnceSetup"},
};
static_assert(std::size(kRunLocations) == 19);

const char* RunLocationText(int code)
{
    for (const RunLocation& location : kRunLocations)
        if (location.code == code) return location.text;
    return "Other Run";
}

// The users' own Startup folders ("Startup" of the shell folders), in the
// long form the item list shows paths in.
std::vector<std::string> UserStartupFolders()
{
    std::vector<std::string> folders;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        char folder[MAX_PATH];
        if (GetRegValue(root, kShellFoldersKey, "Startup", folder) == 0) continue;
        RemoveBackslash(folder, 1);
        folders.emplace_back(folder);
        char longForm[MAX_PATH];
        const DWORD n = GetLongPathNameA(folder, longForm, MAX_PATH);
        if (n > 0 && n < MAX_PATH) folders.emplace_back(longForm);
    }
    return folders;
}

bool IsInFolder(const char* file, const std::vector<std::string>& folders)
{
    const char* slash = std::strrchr(file, '\\');
    if (!slash) return false;
    const std::string folder(file, static_cast<size_t>(slash - file));
    for (const std::string& f : folders)
        if (lstrcmpiA(folder.c_str(), f.c_str()) == 0) return true;
    return false;
}

void WriteStartupEntries(ScanLog* log)
{
    ClearItems();
    BuildRun();
    for (int i = 0; i < ItemCount(); ++i) {
        char title[kTitleLen];
        char path[kPathLen];
        GetItemTitle(i, title);
        GetItemPath(i, path);
        ScanLine(log, "O4 - %s: [%s]%s\r\n", RunLocationText(GetItemType(i)), title, path);
    }
    ClearItems();
    GetStartupGroup();
    const std::vector<std::string> userFolders = UserStartupFolders();
    for (int i = 0; i < ItemCount(); ++i) {
        char entry[kEntryLen];
        char path[kPathLen];
        GetItemEntryName(i, entry);
        GetItemPath(i, path);
        // A file that is neither a shortcut nor a program is listed with
        // its path only.
        const char* file = entry[0] ? entry : path;
        const char* slash = std::strrchr(file, '\\');
        ScanLine(log, "O4 - %s: %s=%s\r\n",
                 IsInFolder(file, userFolders) ? "Startup" : "Global Startup",
                 slash ? slash + 1 : file, path);
    }
}

// --- Reset file (O14) ----------------------------------------------------------

constexpr const char* kResetKeywords[] = {"Start Page", "Default_Page_URL", "Default_Search_URL",
                                          "Search Page"};
static_assert(std::size(kResetKeywords) == 4);

void WriteResetLine(ScanLog* log, const std::string& line)
{
    for (const char* keyword : kResetKeywords) {
        if (!HasTextNoCase(line, keyword)) continue;
        const size_t comma = line.rfind(',');
        if (comma == std::string::npos || comma == 0) continue;
        const char* hive = HasTextNoCase(line, "HKCU")   ? "HKCU,"
                           : HasTextNoCase(line, "HKLM") ? "HKLM,"
                                                         : "";
        ScanLine(log, "O14 - IERESET.INF:%s %s = %s\r\n", hive, keyword, line.c_str() + comma + 1);
    }
}

void WriteResetFile(ScanLog* log)
{
    const std::string path = WindowsFile("\\inf\\iereset.inf");
    if (path.empty()) return;
    const std::string start = ReadProfileText("Strings", "START_PAGE_URL", path.c_str());
    if (!start.empty()) ScanLine(log, "O14 - IERESET.INF: START_PAGE_URL = %s\r\n", start.c_str());
    const std::string search = ReadProfileText("Strings", "SEARCH_PAGE_URL", path.c_str());
    if (!search.empty())
        ScanLine(log, "O14 - IERESET.INF: SEARCH_PAGE_URL = %s\r\n", search.c_str());
    ForEachFileLine(path, kResetFileMax, kResetFileMax,
                    [log](const std::string& line) { WriteResetLine(log, line); });
}

// --- Additional information ----------------------------------------------------

void WriteDefaultBrowser(ScanLog* log)
{
    char browser[MAX_PATH];
    GetDefaultBrowser(browser);
    if (!browser[0] || !IsPlainFile(browser)) {
        ScanLine(log, "Browser: Unable to find default browser.\r\n");
        return;
    }
    VersionRecord version;
    GetVersionStrings(browser, &version);
    ScanLine(log, "Default Browser: %s - %s version %s\r\n", version.field[kProductName],
             version.field[kFileDescription], version.field[kProductVersion]);
}

// A program registered under App Paths whose file exists: its product
// version and its "Path" value.
bool FindRegisteredProgram(const char* exe, std::string* version, std::string* folder)
{
    const std::string key = std::string(kAppPathsKey) + "\\" + exe;
    char program[MAX_PATH];
    RemoveQuotes(ReadScanValue(HKEY_LOCAL_MACHINE, key.c_str(), "", MAX_PATH - 1).c_str(), program);
    if (!program[0] || !IsPlainFile(program)) return false;
    VersionRecord record;
    GetVersionStrings(program, &record);
    *version = record.field[kProductVersion];
    *folder = ReadScanValue(HKEY_LOCAL_MACHINE, key.c_str(), "Path");
    return true;
}

void WriteInstalledBrowsers(ScanLog* log)
{
    std::string version;
    std::string folder;
    if (FindAolWindow() && FindRegisteredProgram("AOL.EXE", &version, &folder))
        ScanLine(log, "America Online version %s running %s\r\n", version.c_str(), folder.c_str());
    struct Browser {
        const char* exe;
        const char* name;
    };
    for (const Browser& b : {Browser{"firefox.exe", "Firefox"}, Browser{"Mozilla.exe", "Mozilla"},
                             Browser{"Netscp.exe", "Netscape"}}) {
        if (FindRegisteredProgram(b.exe, &version, &folder))
            ScanLine(log, "%s %s installed in %s.\r\n", b.name, version.c_str(), folder.c_str());
    }
}

void WriteCookieCounts(ScanLog* log)
{
    // Both browsers' counts, whichever the explorer is set to show.
    const int mode = GetCookieMode();
    char folder[MAX_PATH];
    if (GetIECookieFolder(folder)) {
        SetCookieMode(kCookieModeIE);
        const int count = BuildCookieList(0);
        ScanLine(log, "%d IE Cookies in Folder: %s\r\n", count, folder);
    }
    if (GetMozillaCookieFolder(folder)) {
        SetCookieMode(kCookieModeMozilla);
        const int count = BuildCookieList(0);
        ScanLine(log, "%d Mozilla Cookies in Folder: %s\r\n", count, folder);
    }
    SetCookieMode(mode);
}

void WriteCatalogueLists(ScanLog* log)
{
    char title[kTitleLen];
    char path[kPathLen];
    char detail[kDetailLen];
    GetDelayedPrograms();
    for (int i = 0; i < ItemCount(); ++i) {
        GetItemTitle(i, title);
        GetItemPath(i, path);
        ScanLine(log, "VL04 - Delayed Start: [%s]%s\r\n", title, path);
    }
    Blank(log);
    BuildTaskList();
    for (int i = 0; i < ItemCount(); ++i) {
        GetItemTitle(i, title);
        GetItemPath(i, path);
        GetItemDetail(i, detail, kDetailLen);   // the most recent run
        ScanLine(log, "VL31 - Scheduled Tasks: [%s]%s %s\r\n", title, path, detail);
    }
    Blank(log);
    BuildHiddenFileList();
    for (int i = 0; i < ItemCount() && i < kHiddenMax; ++i) {
        GetItemPath(i, path);
        ScanLine(log, "VL32 - Hidden File: %s\r\n", path);
    }
    Blank(log);
    BuildFileTypeList();
    for (int i = 0; i < ItemCount(); ++i) {
        GetItemTitle(i, title);
        GetItemPath(i, path);
        GetItemDetail(i, detail, kDetailLen);   // the extension with its dot
        ScanLine(log, "VL33 - File Type %s: [%s]%s\r\n", detail, title, path);
    }
    Blank(log);
}

void WriteMemory(ScanLog* log)
{
    // The extended form: the plain one caps its figures at 4 GB.
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof(status);
    if (GlobalMemoryStatusEx(&status)) {
        char figure[48];
        FormatThousands(figure, sizeof figure, status.dwMemoryLoad);
        ScanLine(log, "Memory currently in use: %s%%\r\n", figure);
        FormatThousands(figure, sizeof figure, static_cast<long long>(status.ullAvailPhys / 1024));
        ScanLine(log, "Physical Memory Free: %s KB\r\n", figure);
        FormatThousands(figure, sizeof figure,
                        static_cast<long long>(status.ullAvailPageFile / 1024));
        ScanLine(log, "Paging File Free: %s KB\r\n", figure);
        FormatThousands(figure, sizeof figure,
                        static_cast<long long>(status.ullAvailVirtual / 1024));
        ScanLine(log, "Virtual Memory Free: %s KB\r\n", figure);
    }
    ScanLine(log, "\r\n\r\n--\r\nEnd of file\r\n");
}

}   // namespace

int ScanLine(ScanLog* log, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int ok = WriteReportLineV(log->out, format, args);
    va_end(args);
    if (!ok) log->failed = 1;
    return ok;
}

int WriteScanLogTo(HANDLE out)
{
    ScanLog log = {out, 0};
    ComApartment com;
    // A scan reports what it finds: parking a Run entry that came back while
    // disabled is left to the pages and the monitor.
    const int repair = SetStartupRepair(0);
    const std::string ieLine = IeLine();
    WriteHeader(&log, ieLine);
    WriteProcesses(&log);
    WriteStartPages(&log);
    WriteStartPoints(&log);
    WriteHosts(&log);
    WriteScanAddons(&log);
    WriteStartupEntries(&log);
    WriteScanBrowserOptions(&log);
    WriteResetFile(&log);
    WriteScanNetwork(&log);
    WriteScanHooks(&log);
    ScanLine(&log, "---  Additional Velmora Info  ---\r\n");
    WriteDefaultBrowser(&log);
    ScanLine(&log, "%s", ieLine.c_str());
    WriteInstalledBrowsers(&log);
    WriteCookieCounts(&log);
    Blank(&log);
    WriteScanSessionManager(&log);
    WriteCatalogueLists(&log);
    WriteMemory(&log);
    SetStartupRepair(repair);
    return log.failed ? 0 : 1;
}

int WriteScanLog()
{
    char path[MAX_PATH];
    const bool named = GetProgramFolder(path) > 0 && StrAppend(path, "\\HijackVelmora.log") == 0;
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    {
        // Without the program folder the scan still runs, and nothing
        // lands in whatever folder happens to be current.
        UniqueFile file = named ? CreateReportFile(path) : UniqueFile();
        WriteScanLogTo(file.get());
    }
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    if (named) ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
    return 1;
}
