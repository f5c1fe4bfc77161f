#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

std::string Key(const std::string& name) { return std::string(kSysfilesKey) + "\\" + name; }
std::string Rec(const std::string& name, const char* value)
{
    char text[kPathLen * 2] = "";
    return ReadRegText(HKEY_LOCAL_MACHINE, Key(name).c_str(), value, text) >= 0 ? text : "<none>";
}
bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
std::string CopyOf(const std::string& name)
{
    char data[MAX_PATH];
    GetDataFolder(data);
    return std::string(data) + "\\" + name;
}
// A last-write time far from now, so that the stored date surely differs.
void Backdate(const std::string& path, WORD year)
{
    SYSTEMTIME time = {year, 1, 0, 1, 12, 0, 0, 0};
    FILETIME stamp;
    SystemTimeToFileTime(&time, &stamp);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    SetFileTime(file, nullptr, nullptr, &stamp);
    CloseHandle(file);
}

// A scratch record with its watched file and copy, gone before and after.
struct Watched {
    std::string name;
    ScratchDir dir;
    std::string file;
    explicit Watched(const char* n, const std::string& text = "10.0.0.1 a.example\r\n")
        : name(n), dir(n), file(dir.file("HOSTS"))
    {
        Clear();
        WriteTextFile(file, text);
        Backdate(file, 2001);
        EXPECT_EQ(1, AddMonitoredFile(n, file.c_str(), "scratch", 0));
    }
    ~Watched() { Clear(); }
    void Clear() { DeleteKeyTree(HKEY_LOCAL_MACHINE, Key(name).c_str()); DeleteFileForced(CopyOf(name).c_str()); }
};

std::vector<std::string> g_alerted;
int g_stopMonitoring = 0;
int CountingAlert(const char* name, const char* path)
{
    g_alerted.push_back(name);
    return g_stopMonitoring ? RejectFileChange(name, path, 1) : 1;
}
struct AlertScope {
    AlertScope(int stop = 0) { g_alerted.clear(); g_stopMonitoring = stop; SetFileChangeAlert(CountingAlert); }
    ~AlertScope() { SetFileChangeAlert(nullptr); }
};

TEST(Sysfiles, AddWritesTheRecordAndAnExactCopy)
{
    Watched w("vlsys_add", "10.1.1.1 add.example\r\n");
    EXPECT_EQ(w.file, Rec(w.name, "Location"));
    EXPECT_EQ("22", Rec(w.name, "Size"));
    EXPECT_EQ("0", Rec(w.name, "Type"));
    EXPECT_EQ("scratch", Rec(w.name, "Comment"));
    EXPECT_NE("<none>", Rec(w.name, "Date"));
    EXPECT_EQ("10.1.1.1 add.example\r\n", ReadTextFile(CopyOf(w.name)));
    EXPECT_EQ(0, AddMonitoredFile("vlsys_gone", w.dir.file("missing").c_str(), "", 0));
    EXPECT_EQ("<none>", Rec("vlsys_gone", "Location"));
}

TEST(Sysfiles, NamesThatAreNoPlainFileNameAreRefused)
{
    ScratchDir dir("vlsys_names");
    const std::string file = dir.file("x");
    WriteTextFile(file, "x");
    for (const char* name : {"..", "sub/..\\x", "NUL", "com1.txt", "a:b", "trail.", ""}) {
        EXPECT_EQ(0, AddMonitoredFile(name, file.c_str(), "", 0)) << name;
        char copy[kPathLen];
        EXPECT_EQ(0, GetMonitoredCopyPath(name, copy)) << name;
    }
    EXPECT_EQ(0, AddMonitoredFile("vlsys_relative", "x", "", 0));
}

struct CompareCase {
    const char* what;
    std::function<void(Watched&)> change;
    size_t alerts;
};

TEST(Sysfiles, ComparisonAlertsOnlyForAChangeItsTypeCounts)
{
    const auto retext = [](Watched& w, const char* text) { WriteTextFile(w.file, text); Backdate(w.file, 2003); };
    const auto setType = [](Watched& w, DWORD type) {
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, Key(w.name).c_str(), "Type", REG_DWORD, &type, sizeof(type));
    };
    const CompareCase cases[] = {
        {"same size, type 0", [&](Watched& w) { retext(w, "10.0.0.2 a.example\r\n"); }, 0},
        {"new size", [&](Watched& w) { retext(w, "10.0.0.22 a.example\r\n"); }, 1},
        {"same size, type 1",
         [&](Watched& w) { SetRegValue(HKEY_LOCAL_MACHINE, Key(w.name).c_str(), "Type", "1"); retext(w, "10.0.0.2 a.example\r\n"); }, 1},
        {"type not text", [&](Watched& w) { setType(w, 0); retext(w, "10.0.0.2 a.example\r\n"); }, 1},
        {"date not text", [&](Watched& w) { RegSetKeyValueA(HKEY_LOCAL_MACHINE, Key(w.name).c_str(), "Date", REG_BINARY, "x", 1); retext(w, "10.0.0.22 a.example\r\n"); }, 1},
        {"date missing", [&](Watched& w) { DeleteRegValue(HKEY_LOCAL_MACHINE, Key(w.name).c_str(), "Date"); retext(w, "10.0.0.22 a.example\r\n"); }, 0},
        {"file vanished", [&](Watched& w) { DeleteFileA(w.file.c_str()); }, 0},
        {"unchanged", [&](Watched&) {}, 0},
    };
    for (const CompareCase& c : cases) {
        Watched w("vlsys_cmp");
        const std::string date = Rec(w.name, "Date");
        c.change(w);
        AlertScope scope;
        EXPECT_EQ(static_cast<int>(c.alerts), CompareMonitoredFile(w.name.c_str(), w.file.c_str())) << c.what;
        EXPECT_EQ(c.alerts, g_alerted.size()) << c.what;
        if (c.alerts == 0 && std::string(c.what) != "date missing") {
            EXPECT_EQ(date, Rec(w.name, "Date")) << c.what;
        }
    }
}

TEST(Sysfiles, MissingDateIsFilledInSilently)
{
    Watched w("vlsys_fill");
    DeleteRegValue(HKEY_LOCAL_MACHINE, Key(w.name).c_str(), "Date");
    AlertScope scope;
    EXPECT_EQ(0, CompareMonitoredFile(w.name.c_str(), w.file.c_str()));
    EXPECT_NE("<none>", Rec(w.name, "Date"));
}

TEST(Sysfiles, WalkSkipsBadRecordsAndSurvivesStoppedMonitoring)
{
    Watched a("vlsys_walk_a"), b("vlsys_walk_b"), number("vlsys_walk_c"), longer("vlsys_walk_d"),
        none("vlsys_walk_e"), gone("vlsys_walk_f");
    for (Watched* w : {&a, &b, &number, &longer, &none, &gone}) {
        WriteTextFile(w->file, "changed and longer");
        Backdate(w->file, 2004);
    }
    DWORD five = 5;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, Key(number.name).c_str(), "Location", REG_DWORD, &five, sizeof(five));
    SetRegValue(HKEY_LOCAL_MACHINE, Key(longer.name).c_str(), "Location", (longer.file + std::string(300, 'x')).c_str());
    DeleteRegValue(HKEY_LOCAL_MACHINE, Key(none.name).c_str(), "Location");
    DeleteFileA(gone.file.c_str());
    AlertScope scope(1);
    VerifySystemFiles();
    std::vector<std::string> ours;
    for (const std::string& name : g_alerted) if (name.rfind("vlsys_", 0) == 0) ours.push_back(name);
    EXPECT_EQ((std::vector<std::string>{"vlsys_walk_a", "vlsys_walk_b"}), ours);
    EXPECT_EQ("10.0.0.1 a.example\r\n", ReadTextFile(b.file));
    EXPECT_EQ("<none>", Rec(a.name, "Location"));
}

TEST(Sysfiles, AcceptKeepsTheNewFileAndCanStopMonitoring)
{
    Watched w("vlsys_accept");
    WriteTextFile(w.file, "10.9.9.9 new.example\r\n");
    EXPECT_EQ(1, AcceptFileChange(w.name.c_str(), w.file.c_str(), 1));
    EXPECT_EQ("10.9.9.9 new.example\r\n", ReadTextFile(CopyOf(w.name)));
    EXPECT_EQ("22", Rec(w.name, "Size"));
    EXPECT_EQ("<none>", Rec(w.name, "Location"));
    EXPECT_EQ("<none>", Rec(w.name, "Comment"));
}

TEST(Sysfiles, AcceptOfAVanishedFileChangesNothing)
{
    Watched w("vlsys_vanish");
    const std::string date = Rec(w.name, "Date");
    DeleteFileA(w.file.c_str());
    EXPECT_EQ(0, AcceptFileChange(w.name.c_str(), w.file.c_str(), 1));
    EXPECT_EQ(w.file, Rec(w.name, "Location"));
    EXPECT_EQ(date, Rec(w.name, "Date"));
    EXPECT_EQ("10.0.0.1 a.example\r\n", ReadTextFile(CopyOf(w.name)));
}

TEST(Sysfiles, RejectRestoresContentAndReadOnlyAttribute)
{
    Watched w("vlsys_reject");
    WriteTextFile(w.file, "6.6.6.6 evil.example\r\n");
    SetFileAttributesA(w.file.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(1, RejectFileChange(w.name.c_str(), w.file.c_str(), 0));
    EXPECT_EQ("10.0.0.1 a.example\r\n", ReadTextFile(w.file));
    EXPECT_TRUE(GetFileAttributesA(w.file.c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(w.file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Sysfiles, RejectWithAnUnreadableCopyLeavesTheFileAndRecord)
{
    Watched w("vlsys_locked");
    WriteTextFile(w.file, "6.6.6.6 evil.example\r\n");
    UniqueFile lock(CreateFileA(CopyOf(w.name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_EQ(0, RejectFileChange(w.name.c_str(), w.file.c_str(), 1));
    EXPECT_EQ("6.6.6.6 evil.example\r\n", ReadTextFile(w.file));
    EXPECT_EQ(w.file, Rec(w.name, "Location"));
}

TEST(Sysfiles, HundredThousandLineHostsFileStaysFast)
{
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "127.0.0.1 host" + std::to_string(i) + ".example\r\n";
    const DWORD start = GetTickCount();
    Watched w("vlsys_big", text);
    text += "10.0.0.1 extra.example\r\n";
    WriteTextFile(w.file, text);
    AlertScope scope;
    EXPECT_EQ(1, CompareMonitoredFile(w.name.c_str(), w.file.c_str()));
    EXPECT_EQ(1, RejectFileChange(w.name.c_str(), w.file.c_str(), 0));
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(text.size() - 24, ReadTextFile(w.file).size());
}

TEST(Sysfiles, InitializationRecordsTheHostsFileOnce)
{
    const std::string copy = CopyOf("HOSTS");
    const bool hadCopy = Exists(copy);
    const std::string saved = ReadTextFile(copy);
    {
        ScratchKey store(HKEY_LOCAL_MACHINE, kSysfilesKey);
        char system[MAX_PATH];
        GetSystemDirectoryA(system, MAX_PATH);
        const std::string hosts = std::string(system) + "\\drivers\\etc\\HOSTS";
        EXPECT_EQ(1, InitSysfilesStore());
        EXPECT_EQ(hosts, Rec("HOSTS", "Location"));
        EXPECT_EQ(ReadTextFile(hosts), ReadTextFile(copy));
        EXPECT_EQ(Exists("C:\\autoexec.bat") ? "C:\\autoexec.bat" : "<none>", Rec("Autoexec.bat", "Location"));
        EXPECT_NE("<none>", Rec("", ""));
        EXPECT_EQ(0, InitSysfilesStore());
    }
    for (const char* name : {"HOSTS", "Autoexec.bat", "Config.sys"}) DeleteFileForced(CopyOf(name).c_str());
    if (hadCopy) WriteTextFile(copy, saved);
}

// The Windows folder's own restart files, put back as they were.
struct WindowsFileSaved {
    std::string path, text;
    bool had;
    explicit WindowsFileSaved(const char* name) {
        char windows[MAX_PATH];
        GetWindowsDirectoryA(windows, MAX_PATH);
        path = std::string(windows) + "\\" + name;
        had = Exists(path);
        text = ReadTextFile(path);
        DeleteFileForced(path.c_str());
    }
    ~WindowsFileSaved() { DeleteFileForced(path.c_str()); if (had) WriteTextFile(path, text); }
};

TEST(Sysfiles, RestartCommandsAreReadOnlyBesideWininitExe)
{
    WindowsFileSaved exe("wininit.exe"), ini("wininit.ini");
    WriteTextFile(ini.path, "[rename]\nNUL=C:\\BAD.EXE\r\n");
    EXPECT_EQ(0, ShowRestartCommands(1));
    WriteTextFile(exe.path, "");
    EXPECT_EQ(1, ShowRestartCommands(1));
    char text[kRestartTextCapacity];
    const char* expected = "[rename]\r\nNUL=C:\\BAD.EXE\r\n";
    EXPECT_EQ(static_cast<int>(strlen(expected)), ReadRestartCommands(text, sizeof(text)));
    EXPECT_STREQ(expected, text);
    EXPECT_EQ(1, DeleteRestartCommands());
    EXPECT_EQ(0, ShowRestartCommands(1));
}

TEST(Sysfiles, DeleteAtRestartRegistersTheFile)
{
    constexpr const char* kSession = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    std::vector<char> saved(65536);
    DWORD size = static_cast<DWORD>(saved.size()), type = 0;
    const bool had = RegGetValueA(HKEY_LOCAL_MACHINE, kSession, "PendingFileRenameOperations",
                                  RRF_RT_ANY, &type, saved.data(), &size) == ERROR_SUCCESS;
    ScratchDir dir("vlsys_reboot");
    const std::string file = dir.file("doomed.exe");
    WriteTextFile(file, "x");
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(1, DeleteAtRestart(file.c_str()));
    EXPECT_FALSE(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY);
    std::vector<char> now(65536);
    DWORD nowSize = static_cast<DWORD>(now.size());
    RegGetValueA(HKEY_LOCAL_MACHINE, kSession, "PendingFileRenameOperations", RRF_RT_ANY, nullptr, now.data(), &nowSize);
    EXPECT_NE(std::string::npos, std::string(now.data(), nowSize).find("doomed.exe"));
    EXPECT_EQ(0, DeleteAtRestart(dir.file("missing.exe").c_str()));
    if (had)
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSession, "PendingFileRenameOperations", type, saved.data(), size);
    else
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSession, "PendingFileRenameOperations");
}

}  // namespace
