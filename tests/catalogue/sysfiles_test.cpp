#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/catalogue/startuptest.h"

namespace {

std::string Key(const std::string& name) { return std::string(kSysfilesKey) + "\\" + name; }
std::string Rec(const std::string& name, const char* value)
{
    char text[kPathLen * 2] = "";
    return ReadRegText(HKEY_LOCAL_MACHINE, Key(name).c_str(), value, text) >= 0 ? text : "<none>";
}
void SetRec(const std::string& name, const char* value, DWORD type, const void* data, DWORD size)
{
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, Key(name).c_str(), value, type, data, size);
}
std::string CopyOf(const std::string& name) { char data[MAX_PATH]; GetDataFolder(data); return std::string(data) + "\\" + name; }
// A last-write time far from now, so that the stored date surely differs.
void Rewrite(const std::string& path, const char* text, WORD year)
{
    WriteTextFile(path, text);
    SYSTEMTIME time = {year, 1, 0, 1, 12, 0, 0, 0};
    FILETIME stamp;
    SystemTimeToFileTime(&time, &stamp);
    UniqueFile file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file && SetFileTime(file.get(), nullptr, nullptr, &stamp));
}
constexpr const char* kAccepted = "10.0.0.1 a.example\r\n";

// A scratch record with its watched file and copy, gone before and after.
struct Watched {
    std::string name;
    ScratchDir dir;
    std::string file;
    explicit Watched(const char* n, const std::string& text = kAccepted) : name(n), dir(n), file(dir.file("HOSTS"))
    {
        Clear();
        Rewrite(file, text.c_str(), 2001);
        EXPECT_EQ(1, AddMonitoredFile(n, file.c_str(), "scratch", 0));
    }
    ~Watched() { Clear(); }
    void Clear() { DeleteKeyTree(HKEY_LOCAL_MACHINE, Key(name).c_str()); DeleteFileForced(CopyOf(name).c_str()); }
};

std::vector<std::string> g_alerted;
int g_stopMonitoring = 0;
int CountingAlert(const char* name, const char* path)
{
    if (std::string(name).rfind("vlsys_", 0) == 0) g_alerted.push_back(name);
    return g_stopMonitoring ? RejectFileChange(name, path, 1) : 1;
}
struct AlertScope {
    explicit AlertScope(int stop = 0) { g_alerted.clear(); g_stopMonitoring = stop; SetFileChangeAlert(CountingAlert); }
    ~AlertScope() { SetFileChangeAlert(nullptr); }
};

TEST(Sysfiles, AddWritesTheRecordAndAnExactCopyOfPlainNamesOnly)
{
    Watched w("vlsys_add", "10.1.1.1 add.example\r\n");
    EXPECT_EQ(w.file + "|22|0|scratch", Rec(w.name, "Location") + "|" + Rec(w.name, "Size") + "|" +
                                              Rec(w.name, "Type") + "|" + Rec(w.name, "Comment"));
    EXPECT_NE("<none>", Rec(w.name, "Date"));
    EXPECT_EQ("10.1.1.1 add.example\r\n", ReadTextFile(CopyOf(w.name)));
    EXPECT_EQ(0, AddMonitoredFile("vlsys_gone", w.dir.file("missing").c_str(), "", 0));
    EXPECT_EQ("<none>", Rec("vlsys_gone", "Location"));
    for (const char* name : {"..", "sub/..\\x", "NUL", "com1.txt", "a:b", "trail.", ""})
        EXPECT_EQ(0, AddMonitoredFile(name, w.file.c_str(), "", 0)) << name;
    // A bare name would be compared in one folder and copied from another.
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(w.dir.path().c_str());
    EXPECT_EQ(0, AddMonitoredFile("vlsys_relative", "HOSTS", "", 0));
    SetCurrentDirectoryA(cwd);
}

struct CompareCase { const char* what; std::function<void(Watched&)> change; int alerts; };

TEST(Sysfiles, ComparisonAlertsOnlyForAChangeItsTypeCounts)
{
    const char* same = "10.0.0.2 a.example\r\n";
    const char* longer = "10.0.0.22 a.example\r\n";
    const DWORD zero = 0;
    const CompareCase cases[] = {
        {"same size, type 0", [&](Watched& w) { Rewrite(w.file, same, 2003); }, 0},
        {"new size", [&](Watched& w) { Rewrite(w.file, longer, 2003); }, 1},
        {"same size, type 1", [&](Watched& w) { SetRec(w.name, "Type", REG_SZ, "1", 2); Rewrite(w.file, same, 2003); }, 1},
        {"type not text", [&](Watched& w) { SetRec(w.name, "Type", REG_DWORD, &zero, 4); Rewrite(w.file, same, 2003); }, 1},
        {"date not text", [&](Watched& w) { SetRec(w.name, "Date", REG_BINARY, "x", 1); Rewrite(w.file, longer, 2003); }, 1},
        {"date missing", [&](Watched& w) { DeleteRegValue(HKEY_LOCAL_MACHINE, Key(w.name).c_str(), "Date"); Rewrite(w.file, longer, 2003); }, 0},
        {"file vanished", [&](Watched& w) { DeleteFileA(w.file.c_str()); }, 0},
    };
    for (const CompareCase& c : cases) {
        Watched w("vlsys_cmp");
        const std::string date = Rec(w.name, "Date");
        c.change(w);
        AlertScope scope;
        EXPECT_EQ(c.alerts, CompareMonitoredFile(w.name.c_str(), w.file.c_str())) << c.what;
        EXPECT_EQ(static_cast<size_t>(c.alerts), g_alerted.size()) << c.what;
        // A missing date is filled in silently; no other comparison writes one.
        const std::string after = Rec(w.name, "Date");
        EXPECT_TRUE(std::string(c.what) == "date missing" ? after != "<none>" : c.alerts || after == date) << c.what;
    }
}

TEST(Sysfiles, WalkSkipsBadRecordsAndSurvivesStoppedMonitoring)
{
    Watched a("vlsys_walk_a"), b("vlsys_walk_b"), number("vlsys_walk_c"), overlong("vlsys_walk_d"),
        none("vlsys_walk_e"), gone("vlsys_walk_f");
    for (Watched* w : {&a, &b, &number, &overlong, &none, &gone}) Rewrite(w->file, "changed and longer", 2004);
    const DWORD five = 5;
    SetRec(number.name, "Location", REG_DWORD, &five, 4);
    const std::string tooLong = overlong.file + std::string(300, 'x');
    SetRec(overlong.name, "Location", REG_SZ, tooLong.c_str(), static_cast<DWORD>(tooLong.size() + 1));
    DeleteRegValue(HKEY_LOCAL_MACHINE, Key(none.name).c_str(), "Location");
    DeleteFileA(gone.file.c_str());
    AlertScope scope(1);
    VerifySystemFiles();
    EXPECT_EQ((std::vector<std::string>{"vlsys_walk_a", "vlsys_walk_b"}), g_alerted);
    EXPECT_EQ(kAccepted, ReadTextFile(b.file));
    EXPECT_EQ("<none>", Rec(a.name, "Location"));
}

TEST(Sysfiles, AcceptKeepsTheNewFileAndCanStopMonitoring)
{
    Watched w("vlsys_accept");
    const std::string date = Rec(w.name, "Date");
    DeleteFileA(w.file.c_str());   // a vanished file changes nothing
    EXPECT_EQ(0, AcceptFileChange(w.name.c_str(), w.file.c_str(), 1));
    EXPECT_EQ(w.file + date + kAccepted, Rec(w.name, "Location") + Rec(w.name, "Date") + ReadTextFile(CopyOf(w.name)));
    WriteTextFile(w.file, "10.9.9.9 new.example\r\n");
    EXPECT_EQ(1, AcceptFileChange(w.name.c_str(), w.file.c_str(), 1));
    EXPECT_EQ("10.9.9.9 new.example\r\n", ReadTextFile(CopyOf(w.name)));
    EXPECT_EQ("22<none><none>", Rec(w.name, "Size") + Rec(w.name, "Location") + Rec(w.name, "Comment"));
}

TEST(Sysfiles, RejectRestoresTheCopyOnlyWhenItCanBeRead)
{
    Watched w("vlsys_reject");
    WriteTextFile(w.file, "6.6.6.6 evil.example\r\n");
    SetFileAttributesA(w.file.c_str(), FILE_ATTRIBUTE_READONLY);
    {
        UniqueFile lock(CreateFileA(CopyOf(w.name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(0, RejectFileChange(w.name.c_str(), w.file.c_str(), 1));
        EXPECT_EQ("6.6.6.6 evil.example\r\n" + w.file, ReadTextFile(w.file) + Rec(w.name, "Location"));
    }
    EXPECT_EQ(1, RejectFileChange(w.name.c_str(), w.file.c_str(), 0));
    EXPECT_EQ(kAccepted, ReadTextFile(w.file));
    EXPECT_TRUE(GetFileAttributesA(w.file.c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(w.file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Sysfiles, HundredThousandLineHostsFileStaysFast)
{
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "127.0.0.1 host" + std::to_string(i) + ".example\r\n";
    const DWORD start = GetTickCount();
    Watched w("vlsys_big", text);
    WriteTextFile(w.file, text + kAccepted);
    AlertScope scope;
    EXPECT_EQ(1, CompareMonitoredFile(w.name.c_str(), w.file.c_str()));
    EXPECT_EQ(1, RejectFileChange(w.name.c_str(), w.file.c_str(), 0));
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(text.size(), ReadTextFile(w.file).size());
}

TEST(Sysfiles, InitializationRecordsTheHostsFileOnce)
{
    const std::string copy = CopyOf("HOSTS"), saved = ReadTextFile(copy);
    {
        ScratchKey store(HKEY_LOCAL_MACHINE, kSysfilesKey);
        char system[MAX_PATH];
        GetSystemDirectoryA(system, MAX_PATH);
        const std::string hosts = std::string(system) + "\\drivers\\etc\\HOSTS";
        EXPECT_EQ(1, InitSysfilesStore());
        EXPECT_EQ(hosts, Rec("HOSTS", "Location"));
        EXPECT_EQ(ReadTextFile(hosts), ReadTextFile(copy));
        EXPECT_NE("<none>", Rec("", ""));
        EXPECT_EQ(0, InitSysfilesStore());
    }
    for (const char* name : {"HOSTS", "Autoexec.bat", "Config.sys"}) DeleteFileForced(CopyOf(name).c_str());
    if (!saved.empty()) WriteTextFile(copy, saved);
}

TEST(Sysfiles, RestartCommandsAreReadOnlyBesideWininitExe)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string exe = std::string(windows) + "\\wininit.exe", ini = std::string(windows) + "\\wininit.ini";
    ASSERT_FALSE(GetFileAttributesA(exe.c_str()) != INVALID_FILE_ATTRIBUTES || ReadTextFile(ini).size());
    WriteTextFile(ini, "[rename]\nNUL=C:\\BAD.EXE\r\n");
    EXPECT_EQ(0, ShowRestartCommands(1));
    WriteTextFile(exe, "");
    EXPECT_EQ(1, ShowRestartCommands(1));
    char text[kRestartTextCapacity];
    const std::string expected = "[rename]\r\nNUL=C:\\BAD.EXE\r\n";
    EXPECT_EQ(static_cast<int>(expected.size()), ReadRestartCommands(text, sizeof(text)));
    EXPECT_EQ(expected, text);
    EXPECT_EQ(1, DeleteRestartCommands());
    EXPECT_EQ(0, ShowRestartCommands(1));
    DeleteFileForced(exe.c_str());
    DeleteFileForced(ini.c_str());
}

TEST(Sysfiles, DeleteAtRestartRegistersTheFile)
{
    const char* session = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    const char* name = "PendingFileRenameOperations";
    const startuptest::SavedValue saved(HKEY_LOCAL_MACHINE, session, name);
    char now[65536];
    DWORD nowSize = sizeof(now);
    ScratchDir dir("vlsys_reboot");
    const std::string file = dir.file("doomed.exe");
    EXPECT_TRUE(WriteTextFile(file, "x") && SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(1, DeleteAtRestart(file.c_str()));
    EXPECT_FALSE(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(RegGetValueA(HKEY_LOCAL_MACHINE, session, name, RRF_RT_ANY, nullptr, now, &nowSize));
    EXPECT_NE(std::string::npos, std::string(now, nowSize).find("doomed.exe"));
    EXPECT_EQ(0, DeleteAtRestart(dir.file("missing.exe").c_str()));
}

}  // namespace
