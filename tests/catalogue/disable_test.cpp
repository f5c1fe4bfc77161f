#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

constexpr const char* kMarkers = "Software\\Corvath\\Velmora\\Disabled";
constexpr const char* kApproved = "Software\\Corvath\\Velmora\\Run";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kWinlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kWindowsNt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* kDelayLoad =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
constexpr const char* kTaskScheduler =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
const std::string kMissing = "<missing>";

std::string Reg(HKEY root, const char* key, const char* name)
{
    char data[4096] = {};
    DWORD size = sizeof(data) - 1;
    DWORD type = 0;
    if (RegGetValueA(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) !=
        ERROR_SUCCESS)
        return kMissing;
    return data;
}

void SetReg(HKEY root, const char* key, const char* name, const std::string& text)
{
    ASSERT_EQ(RegSetKeyValueA(root, key, name, REG_SZ, text.c_str(),
                              static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
}

void DelReg(HKEY root, const char* key, const char* name)
{
    RegDeleteKeyValueA(root, key, name);
}

// Keeps a system value as it was (type and bytes, or its absence).
class SavedValue {
    HKEY root_;
    std::string key_, name_;
    bool present_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;

public:
    SavedValue(HKEY root, const char* key, const char* name) : root_(root), key_(key), name_(name)
    {
        DWORD size = 0;
        if (RegGetValueA(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type_, nullptr, &size) !=
            ERROR_SUCCESS)
            return;
        data_.resize(size + 1);
        present_ = RegGetValueA(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type_, data_.data(),
                                &size) == ERROR_SUCCESS;
        data_.resize(size);
    }
    ~SavedValue()
    {
        if (present_)
            RegSetKeyValueA(root_, key_.c_str(), name_.c_str(), type_, data_.data(),
                            static_cast<DWORD>(data_.size()));
        else
            RegDeleteKeyValueA(root_, key_.c_str(), name_.c_str());
    }
};

// Keeps a win.ini list of section "windows" as it was.
class SavedWinList {
    std::string key_;
    std::string text_;

public:
    explicit SavedWinList(const char* key) : key_(key)
    {
        char text[4096] = {};
        GetProfileStringA("windows", key, "", text, sizeof(text));
        text_ = text;
    }
    ~SavedWinList() { WriteProfileStringA("windows", key_.c_str(), text_.c_str()); }
};

std::string WinList(const char* key)
{
    char text[4096] = {};
    GetProfileStringA("windows", key, "", text, sizeof(text));
    return text;
}

std::string HistoryPath()
{
    char path[MAX_PATH] = {};
    GetHistoryFilePath(path);
    return path;
}

std::string DisabledFolder()
{
    char folder[MAX_PATH] = {};
    GetProgramFolder(folder);
    return std::string(folder) + "\\Disabled";
}

std::string StartupFolder()
{
    return Reg(HKEY_CURRENT_USER,
               "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Startup");
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every test starts without a history file and leaves none behind, and
// clears the markers and approvals of the titles it uses.
class Disable : public ::testing::Test {
protected:
    std::vector<std::string> titles_;

    void Use(std::initializer_list<const char*> titles)
    {
        for (const char* t : titles) {
            titles_.push_back(t);
            DelReg(HKEY_LOCAL_MACHINE, kMarkers, t);
        }
    }
    void SetUp() override { DeleteFileA(HistoryPath().c_str()); }
    void TearDown() override
    {
        for (const std::string& t : titles_) {
            DelReg(HKEY_LOCAL_MACHINE, kMarkers, t.c_str());
            DelReg(HKEY_CURRENT_USER, kApproved, t.c_str());
        }
        DeleteFileA(HistoryPath().c_str());
    }
    std::string History() { return ReadTextFile(HistoryPath()); }
};

int g_confirmCalls = 0;
int g_confirmAnswer = 0;
int CountingConfirm(HWND, const char*, const char*)
{
    ++g_confirmCalls;
    return g_confirmAnswer;
}

}   // namespace

TEST_F(Disable, MachineRunEntryDisabledTwiceIsActiveAgain)
{
    const char* title = "VlTestDisableMachine";
    const char* command = "C:\\vltest\\tool.exe -min";
    Use({title});
    SavedValue run(HKEY_LOCAL_MACHINE, kRunKey, title);
    SetReg(HKEY_LOCAL_MACHINE, kRunKey, title, command);

    EXPECT_EQ(DisableRunProgram(title, command, "", 1), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kRunKey, title), kMissing);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, "Software\\Corvath\\Velmora\\Disabled\\Run", title), command);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), "1");
    EXPECT_NE(IsDisabledEntry(title), 0);

    EXPECT_EQ(DisableRunProgram(title, command, "", 1), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kRunKey, title), command);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, "Software\\Corvath\\Velmora\\Disabled\\Run", title), kMissing);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), kMissing);
}

TEST_F(Disable, EntryThatCameBackWhileDisabledIsParkedWithItsNewCommand)
{
    // The enumeration's repair: enable then disable with the current command.
    const char* title = "VlTestCameBack";
    const char* store = "Software\\Corvath\\Velmora\\Disabled\\Run";
    Use({title});
    SetReg(HKEY_CURRENT_USER, kRunKey, title, "C:\\vltest\\old.exe");
    ASSERT_EQ(DisableRunProgram(title, "C:\\vltest\\old.exe", "", 11), 1);
    SetReg(HKEY_CURRENT_USER, kRunKey, title, "C:\\vltest\\new.exe");

    EXPECT_EQ(DisableRunProgram(title, "C:\\vltest\\new.exe", "", 11), 1);
    EXPECT_EQ(DisableRunProgram(title, "C:\\vltest\\new.exe", "", 11), 1);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, title), kMissing);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, store, title), "C:\\vltest\\new.exe");
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), "11");
    EXPECT_EQ(DeleteRunProgram(title, "C:\\vltest\\new.exe", "", 11), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, store, title), kMissing);
}

TEST_F(Disable, RemovingAUserRunEntryWritesHistoryAndDropsItsApproval)
{
    const char* title = "VlTestRemoveUser";
    const char* command = "C:\\vltest\\a=b.exe";
    Use({title});
    SetReg(HKEY_CURRENT_USER, kRunKey, title, command);
    SetReg(HKEY_CURRENT_USER, kApproved, "C:\\vltest\\a:b.exe", "11");
    SetReg(HKEY_CURRENT_USER, kApproved, title, "11");

    EXPECT_EQ(DeleteRunProgram(title, command, "", 11), 1);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, title), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApproved, "C:\\vltest\\a:b.exe"), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApproved, title), kMissing);
    EXPECT_NE(History().find("\t*START_Remove\tCURRENT_RUN\tVlTestRemoveUser\tC:\\vltest\\a=b.exe\t"),
              std::string::npos)
        << History();

    // Restoring it from the history puts it back and approves it.
    EXPECT_EQ(RestoreRunProgram(title, command, "", 11), 1);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, title), command);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApproved, "C:\\vltest\\a:b.exe"), "11");
    DelReg(HKEY_CURRENT_USER, kRunKey, title);
    DelReg(HKEY_CURRENT_USER, kApproved, "C:\\vltest\\a:b.exe");
}

TEST_F(Disable, RemovingADisabledRunEntryClearsStoreAndMarker)
{
    const char* title = "VlTestRemoveDisabled";
    const char* command = "C:\\vltest\\gone.exe";
    Use({title});
    SetReg(HKEY_CURRENT_USER, kRunKey, title, command);
    ASSERT_EQ(DisableRunProgram(title, command, "", 11), 1);
    ASSERT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), "11");

    EXPECT_EQ(DeleteRunProgram(title, command, "", 11), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), kMissing);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, "Software\\Corvath\\Velmora\\Disabled\\Run", title), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, title), kMissing);
}

TEST_F(Disable, RemovingTheProductsOwnEntryWritesNoHistory)
{
    const char* title = "VlTestOwnEntry";
    Use({title});
    SetReg(HKEY_CURRENT_USER, kRunKey, title, "C:\\Tools\\VELMORA.exe");
    EXPECT_EQ(DeleteRunProgram(title, "C:\\Tools\\VELMORA.exe", "", 11), 1);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, title), kMissing);
    EXPECT_FALSE(Exists(HistoryPath()));
}

TEST_F(Disable, EmptyTitlesAndUnknownCodesChangeNothing)
{
    SavedValue defaultValue(HKEY_CURRENT_USER, kRunKey, "");
    SetReg(HKEY_CURRENT_USER, kRunKey, "", "C:\\vltest\\default.exe");
    EXPECT_EQ(DisableRunProgram("", "C:\\vltest\\default.exe", "", 11), 0);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, ""), "C:\\vltest\\default.exe");
    EXPECT_EQ(DisableRunProgram("VlTestUnknown", "C:\\x.exe", "", 42), 0);
    EXPECT_EQ(DeleteRunProgram("VlTestUnknown", "C:\\x.exe", "", 42), 0);
    EXPECT_EQ(RestoreRunProgram("VlTestUnknown", "C:\\x.exe", "", 42), 0);
    EXPECT_EQ(IsDisabledEntry("VlTestUnknown"), 0);
    // A Run value that is not there cannot be removed.
    EXPECT_EQ(DeleteRunProgram("VlTestNoSuchValue", "C:\\x.exe", "", 11), 0);
}

TEST_F(Disable, OverLongCommandKeepsTheEntryWhole)
{
    const char* title = "VlTestLongCommand";
    Use({title});
    const std::string command = "C:\\vltest\\long.exe " + std::string(900, 'x');
    SetReg(HKEY_CURRENT_USER, kRunKey, title, command);
    EXPECT_EQ(DisableRunProgram(title, command.c_str(), "", 11), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, "Software\\Corvath\\Velmora\\Disabled\\Run", title), command);
    EXPECT_EQ(DisableRunProgram(title, command.c_str(), "", 11), 1);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRunKey, title), command);
    DelReg(HKEY_CURRENT_USER, kRunKey, title);
}

TEST_F(Disable, WinIniRunEntryDisableEnableAndRemove)
{
    const char* title = "VlTestWinRun";
    Use({title});
    SavedWinList saved("run");
    WriteProfileStringA("windows", "run", "C:\\vltest\\a.exe;C:\\vltest\\b.exe");

    EXPECT_EQ(DisableRunProgram(title, "c:\\VLTEST\\B.EXE", "", 101), 1);
    EXPECT_EQ(WinList("run"), "C:\\vltest\\a.exe;");
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, "Software\\Corvath\\Velmora\\Disabled\\WinRun", title),
              "c:\\VLTEST\\B.EXE");
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), "101");

    EXPECT_EQ(DisableRunProgram(title, "C:\\vltest\\b.exe", "", 101), 1);
    EXPECT_EQ(WinList("run"), "C:\\vltest\\a.exe;;C:\\vltest\\b.exe");
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, "Software\\Corvath\\Velmora\\Disabled\\WinRun", title),
              kMissing);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), kMissing);

    ASSERT_EQ(DisableRunProgram(title, "C:\\vltest\\b.exe", "", 101), 1);
    EXPECT_EQ(DeleteRunProgram(title, "C:\\vltest\\b.exe", "", 101), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, "Software\\Corvath\\Velmora\\Disabled\\WinRun", title),
              kMissing);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), kMissing);
    EXPECT_NE(History().find("\t*START_Remove\tWIN_RUN\tVlTestWinRun\t"), std::string::npos);
}

TEST_F(Disable, WinIniLoadListAtItsLengthLimitIsNeverRewritten)
{
    const char* title = "VlTestWinLoadFull";
    Use({title});
    SavedWinList saved("load");
    std::string full = "C:\\vltest\\keep.exe;";
    while (full.size() < 1100) full += "C:\\vltest\\filler.exe;";
    full += "C:\\vltest\\last.exe";
    WriteProfileStringA("windows", "load", full.c_str());
    ASSERT_EQ(WinList("load"), full);

    EXPECT_EQ(DisableRunProgram(title, "C:\\vltest\\last.exe", "", 100), 0);
    EXPECT_EQ(WinList("load"), full);
    EXPECT_EQ(IsDisabledEntry(title), 0);
    EXPECT_EQ(RestoreRunProgram(title, "C:\\vltest\\more.exe", "", 100), 0);
    EXPECT_EQ(WinList("load"), full);

    // Just below the limit an append that would not fit is refused too.
    std::string nearly(1015, 'n');
    WriteProfileStringA("windows", "load", nearly.c_str());
    EXPECT_EQ(RestoreRunProgram(title, "C:\\vltest\\more.exe", "", 100), 0);
    EXPECT_EQ(WinList("load"), nearly);
}

TEST_F(Disable, StartupFolderFileIsParkedAndMovedBack)
{
    const char* title = "VlTest Startup File";
    Use({title});
    const std::string file = StartupFolder() + "\\vltest_park.txt";
    const std::string parked = DisabledFolder() + "\\vltest_park.txt";
    DeleteFileA(parked.c_str());
    ASSERT_TRUE(WriteTextFile(file, "entry"));

    EXPECT_EQ(DisableRunProgram(title, "C:\\vltest\\prog.exe", file.c_str(), 200), 1);
    EXPECT_FALSE(Exists(file));
    EXPECT_TRUE(Exists(parked));
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), "200");

    EXPECT_EQ(DisableRunProgram(title, "C:\\vltest\\prog.exe", file.c_str(), 200), 1);
    EXPECT_TRUE(Exists(file));
    EXPECT_FALSE(Exists(parked));
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), kMissing);
    DeleteFileA(file.c_str());
}

TEST_F(Disable, RemovingAStartupEntryDeletesOnlyItsOwnFile)
{
    const char* title = "VlTest Startup Remove";
    Use({title});
    ScratchDir dir("vltest_disable_prog");
    const std::string program = dir.file("prog.exe");
    ASSERT_TRUE(WriteTextFile(program, "program"));
    const std::string file = StartupFolder() + "\\vltest_remove.txt";
    ASSERT_TRUE(WriteTextFile(file, "entry"));

    EXPECT_EQ(DeleteRunProgram(title, program.c_str(), file.c_str(), 200), 1);
    EXPECT_FALSE(Exists(file));
    EXPECT_TRUE(Exists(program));
    EXPECT_NE(History().find("\t*START_Remove\tGROUP_STARTUP\tVlTest Startup Remove\t"),
              std::string::npos);

    // The shortcut has vanished already: the program it named stays.
    EXPECT_EQ(DeleteRunProgram(title, program.c_str(), file.c_str(), 200), 1);
    EXPECT_TRUE(Exists(program));
    // No entry name: the command is a program outside the Startup folders.
    EXPECT_EQ(DeleteRunProgram(title, program.c_str(), "", 200), 1);
    EXPECT_TRUE(Exists(program));
}

TEST_F(Disable, RemovingADisabledStartupEntryDeletesTheParkedCopy)
{
    const char* title = "VlTest Startup Parked";
    Use({title});
    const std::string file = StartupFolder() + "\\vltest_parked_remove.txt";
    const std::string parked = DisabledFolder() + "\\vltest_parked_remove.txt";
    DeleteFileA(parked.c_str());
    ASSERT_TRUE(WriteTextFile(file, "entry"));
    ASSERT_EQ(DisableRunProgram(title, "C:\\vltest\\prog.exe", file.c_str(), 200), 1);
    ASSERT_TRUE(Exists(parked));

    EXPECT_EQ(DeleteRunProgram(title, "C:\\vltest\\prog.exe", file.c_str(), 200), 1);
    EXPECT_FALSE(Exists(parked));
    EXPECT_EQ(IsDisabledEntry(title), 0);
}

TEST_F(Disable, RestoringAStartupEntryCreatesItsShortcut)
{
    const char* title = "VlTest Restored Shortcut";
    Use({title});
    ScratchDir dir("vltest_disable_restore");
    const std::string program = dir.file("prog.exe");
    ASSERT_TRUE(WriteTextFile(program, "program"));
    const std::string link = StartupFolder() + "\\vltest_restored.lnk";
    DeleteFileA(link.c_str());

    EXPECT_EQ(RestoreRunProgram(title, program.c_str(), link.c_str(), 200), 1);
    ASSERT_TRUE(Exists(link));
    {
        ComApartment com;
        ComPtr<IShellLinkA> shell;
        ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IShellLinkA,
                                               reinterpret_cast<void**>(shell.put()))));
        ComPtr<IPersistFile> file;
        ASSERT_TRUE(SUCCEEDED(
            shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))));
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
        ASSERT_TRUE(SUCCEEDED(file->Load(wide, STGM_READ)));
        char target[MAX_PATH] = {};
        char description[MAX_PATH] = {};
        shell->GetPath(target, MAX_PATH, nullptr, 0);
        shell->GetDescription(description, MAX_PATH);
        EXPECT_EQ(lstrcmpiA(target, program.c_str()), 0) << target;
        EXPECT_STREQ(description, title);
    }
    DeleteFileA(link.c_str());
    DelReg(HKEY_CURRENT_USER, kApproved, program.c_str());
    EXPECT_EQ(RestoreRunProgram(title, program.c_str(), "", 200), 0);
}

TEST_F(Disable, WinlogonNotifyIsParkedInOldNameAndBack)
{
    const char* title = "VlTestNotify";
    Use({title});
    const std::string key = std::string(kWinlogon) + "\\Notify\\VlTestNotify";
    ScratchKey scratch(HKEY_LOCAL_MACHINE, key);
    SetReg(HKEY_LOCAL_MACHINE, key.c_str(), "DllName", "vltest.dll");

    EXPECT_EQ(DisableRunProgram(title, "vltest.dll", "", 256), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, key.c_str(), "DllName"), "");
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, key.c_str(), "OldName"), "vltest.dll");
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, "Software\\Corvath\\Velmora\\Disabled\\WinNotify", title),
              "vltest.dll");
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), "256");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApproved, "vltest.dll"), "256");

    // A second park finds nothing to move and keeps the parked name.
    EXPECT_EQ(DisableNotify(title), 0);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, key.c_str(), "OldName"), "vltest.dll");

    EXPECT_EQ(DisableRunProgram(title, "vltest.dll", "", 256), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, key.c_str(), "DllName"), "vltest.dll");
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, key.c_str(), "OldName"), "");
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kMarkers, title), kMissing);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, "Software\\Corvath\\Velmora\\Disabled\\WinNotify", title),
              kMissing);
    DelReg(HKEY_CURRENT_USER, kApproved, "vltest.dll");
}

TEST_F(Disable, NotifyEditsOfAMissingPackageCreateNothing)
{
    const std::string key = std::string(kWinlogon) + "\\Notify\\VlTestNoPackage";
    ScratchKey scratch(HKEY_LOCAL_MACHINE, key);
    EXPECT_EQ(DisableNotify("VlTestNoPackage"), 0);
    EXPECT_EQ(EnableNotify("VlTestNoPackage"), 0);
    EXPECT_EQ(DisableNotify("..\\..\\Winlogon"), 0);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, key.c_str(), "OldName"), kMissing);
}

TEST_F(Disable, AppInitListDropsEveryCopyAndAddsTheShortForm)
{
    SavedValue saved(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls");
    SetReg(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls",
           "C:\\vltest\\a.dll, C:\\vltest\\b.dll c:\\VLTEST\\A.DLL");
    EXPECT_EQ(RemoveAppInitDll("C:\\vltest\\a.dll"), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls"), "C:\\vltest\\b.dll");

    ScratchDir dir("vltest appinit folder");
    const std::string dll = dir.file("long name.dll");
    ASSERT_TRUE(WriteTextFile(dll, "dll"));
    char shortPath[MAX_PATH] = {};
    GetShortPathNameA(dll.c_str(), shortPath, MAX_PATH);
    EXPECT_EQ(AddAppInitDll(dll.c_str()), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls"),
              std::string("C:\\vltest\\b.dll,") + shortPath);
    EXPECT_EQ(RemoveAppInitDll(dll.c_str()), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls"), "C:\\vltest\\b.dll");
}

TEST_F(Disable, AppInitValueThatIsNotTextIsLeftAlone)
{
    SavedValue saved(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls");
    DWORD number = 7;
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls", REG_DWORD, &number,
                              sizeof(number)),
              ERROR_SUCCESS);
    EXPECT_EQ(RemoveAppInitDll("C:\\vltest\\a.dll"), 0);
    EXPECT_EQ(AddAppInitDll("C:\\vltest\\a.dll"), 0);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls", RRF_RT_ANY, &type,
                           &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 7u);

    // Text too long to read whole is not cut down either.
    const std::string longList = std::string(1500, 'd') + ".dll";
    SetReg(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls", longList);
    EXPECT_EQ(RemoveAppInitDll("C:\\vltest\\a.dll"), 0);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls"), longList);
}

TEST_F(Disable, WinlogonValuesAreResetWithoutAsking)
{
    SavedValue userinit(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit");
    SavedValue shell(HKEY_LOCAL_MACHINE, kWinlogon, "Shell");
    SetReg(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", "C:\\x\\userinit.exe,C:\\vltest\\evil.exe");
    SetReg(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "Explorer.exe C:\\vltest\\evil.exe");

    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string expected = std::string(system) + "\\Userinit.exe,";
    EXPECT_EQ(DeleteRunProgram("Winlogon Userinit", "C:\\vltest\\evil.exe", "", 250), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit"), expected);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApproved, expected.c_str()), "250");
    EXPECT_EQ(DeleteRegProgram(nullptr, "Winlogon Shell", "C:\\vltest\\evil.exe", "", 251), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kWinlogon, "Shell"), "Explorer.exe");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApproved, "Explorer.exe"), "251");

    const std::string history = History();
    EXPECT_NE(history.find("\tRESET_USERINIT\tWINLOGON_Userinit\tWinlogon Userinit\t"),
              std::string::npos)
        << history;
    EXPECT_NE(history.find("\tRESET_SHELL\tWINLOGON_Shell\tWinlogon Shell\t"), std::string::npos);
    DelReg(HKEY_CURRENT_USER, kApproved, expected.c_str());
    DelReg(HKEY_CURRENT_USER, kApproved, "Explorer.exe");
}

TEST_F(Disable, HookRemovalHappensOnlyAfterYes)
{
    const char* title = "VlTestDelayLoad";
    const char* clsid = "{00000000-1111-2222-3333-444455556666}";
    SavedValue saved(HKEY_LOCAL_MACHINE, kDelayLoad, title);
    SetReg(HKEY_LOCAL_MACHINE, kDelayLoad, title, clsid);
    SetReg(HKEY_CURRENT_USER, kApproved, "C:\\vltest\\hook.dll", "252");

    {
        DialogAnswerer no("#32770", GetAppCaption(), IDNO);
        EXPECT_EQ(DeleteRegProgram(nullptr, title, "C:\\vltest\\hook.dll", clsid, 252), 0);
        EXPECT_TRUE(no.answered());
    }
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kDelayLoad, title), clsid);
    EXPECT_FALSE(Exists(HistoryPath()));
    {
        DialogAnswerer yes("#32770", GetAppCaption(), IDYES);
        EXPECT_EQ(DeleteRegProgram(nullptr, title, "C:\\vltest\\hook.dll", clsid, 252), 1);
        EXPECT_TRUE(yes.answered());
    }
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kDelayLoad, title), kMissing);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApproved, "C:\\vltest\\hook.dll"), kMissing);
    EXPECT_NE(History().find("\tREMOVE_DELAYLOAD\tREG_Delayload\tVlTestDelayLoad\t"),
              std::string::npos)
        << History();

    // The history window's restore puts the class back under the title.
    EXPECT_EQ(RestoreRunProgram(title, "C:\\vltest\\hook.dll", clsid, 252), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kDelayLoad, title), clsid);
    DelReg(HKEY_CURRENT_USER, kApproved, "C:\\vltest\\hook.dll");
}

TEST_F(Disable, ReplacedConfirmationDecidesHookRemoval)
{
    const char* clsid = "{00000000-1111-2222-3333-777788889999}";
    SavedValue saved(HKEY_LOCAL_MACHINE, kTaskScheduler, clsid);
    SetReg(HKEY_LOCAL_MACHINE, kTaskScheduler, clsid, "VlTest Scheduler");
    SetRegRemovalConfirm(CountingConfirm);
    g_confirmCalls = 0;
    g_confirmAnswer = 0;
    EXPECT_EQ(DeleteRegProgram(nullptr, "VlTest Scheduler", "C:\\vltest\\s.dll", clsid, 253), 0);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kTaskScheduler, clsid), "VlTest Scheduler");
    g_confirmAnswer = 1;
    EXPECT_EQ(DeleteRunProgram("VlTest Scheduler", "C:\\vltest\\s.dll", clsid, 253), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kTaskScheduler, clsid), kMissing);
    EXPECT_EQ(g_confirmCalls, 2);
    SetRegRemovalConfirm(nullptr);
    EXPECT_NE(History().find("\tREMOVE_TaskScheduler\tREG_TaskScheduler\tVlTest Scheduler\t"),
              std::string::npos);

    EXPECT_EQ(RestoreRunProgram("VlTest Scheduler", "C:\\vltest\\s.dll", clsid, 253), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kTaskScheduler, clsid), "VlTest Scheduler");
    DelReg(HKEY_CURRENT_USER, kApproved, "C:\\vltest\\s.dll");
}

TEST_F(Disable, AppInitRemovalIsConfirmedAndRestorable)
{
    SavedValue saved(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls");
    SetReg(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls", "C:\\vltest\\x.dll,C:\\vltest\\y.dll");
    SetRegRemovalConfirm(CountingConfirm);
    g_confirmAnswer = 1;
    EXPECT_EQ(DeleteRegProgram(nullptr, "X", "C:\\vltest\\x.dll", "", 255), 1);
    SetRegRemovalConfirm(nullptr);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls"), "C:\\vltest\\y.dll");
    EXPECT_NE(History().find("\t*START_Remove\tREG_AppInitDLLs\tX\tC:\\vltest\\x.dll\t"),
              std::string::npos);
    EXPECT_EQ(RestoreRunProgram("X", "C:\\vltest\\x.dll", "", 255), 1);
    EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls"),
              "C:\\vltest\\y.dll,C:\\vltest\\x.dll");
    DelReg(HKEY_CURRENT_USER, kApproved, "C:\\vltest\\x.dll");
}
