#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/catalogue/startuptest.h"

namespace {

using namespace startuptest;

const HKEY kMachine = HKEY_LOCAL_MACHINE;
const HKEY kUser = HKEY_CURRENT_USER;
constexpr const char* kMarkers = "Software\\Corvath\\Velmora\\Disabled";
constexpr const char* kRunStore = "Software\\Corvath\\Velmora\\Disabled\\Run";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kNotParked = "<missing> | <missing>";

DWORD RegType(HKEY root, const std::string& key, const std::string& name)
{
    DWORD type = REG_NONE;
    RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                 nullptr);
    return type;
}

// "<copy in the disabled store> | <marker>" of a title.
std::string Parked(const char* store, const char* title)
{
    return Reg(kMachine, store, title) + " | " + Reg(kMachine, kMarkers, title);
}

std::string WinList(const char* key)
{
    char text[4096] = {};
    GetProfileStringA("windows", key, "", text, sizeof(text));
    return text;
}

std::string ProgramFile(const char* name)
{
    char folder[MAX_PATH] = {};
    GetProgramFolder(folder);
    return std::string(folder) + "\\" + name;
}

// No history file before or after a test. Keys and the "Disabled" folder that
// a test brings into being go again, and so do the markers and approvals of
// the names it uses.
class Disable : public ::testing::Test {
protected:
    OwnedKey keys_[7] = {{kMachine, kMarkers},     {kUser, kApproved},
                         {kMachine, kWindowsNt},   {kUser, kWindowsNt},
                         {kMachine, kDelayLoad},   {kMachine, kSharedTaskScheduler},
                         {kMachine, std::string(kWinlogon) + "\\Notify"}};
    const bool hadDisabledFolder_ = Exists(ProgramFile("Disabled"));
    std::vector<std::string> names_;

    void Use(std::initializer_list<std::string> names)
    {
        names_.insert(names_.end(), names);
        for (const std::string& n : names) RegDeleteKeyValueA(kMachine, kMarkers, n.c_str());
    }
    void SetUp() override { DeleteFileA(HistoryPath().c_str()); }
    void TearDown() override
    {
        SetRegRemovalConfirm(nullptr);
        for (const std::string& n : names_) {
            RegDeleteKeyValueA(kMachine, kMarkers, n.c_str());
            RegDeleteKeyValueA(kUser, kApproved, n.c_str());
        }
        DeleteFileA(HistoryPath().c_str());
        if (!hadDisabledFolder_) RemoveTree(ProgramFile("Disabled"));
    }
    static std::string History() { return ReadTextFile(HistoryPath()); }
    static bool InHistory(const char* line) { return History().find(line) != std::string::npos; }
};

int g_confirmCalls = 0, g_confirmAnswer = 0;

}   // namespace

TEST_F(Disable, RunEntryComesBackExactlyAsItWasWritten)
{
    // The list shows commands without quotes and expanded; what is parked,
    // put back and recorded for a restore is the value itself: its quotes,
    // its "%variables%" and its type, and a length far beyond MAX_PATH.
    const char* title = "VlTestDisableRun";
    Use({title, "C:\\vltest\\a:b.exe"});
    struct Case {
        int code;
        HKEY root;
        DWORD type;
        std::string written, listed;
    };
    const std::string longTail(900, 'x');
    for (const Case& c :
         {Case{1, kMachine, REG_SZ, "\"C:\\Program Files\\vltest\\app.exe\" /tray",
               "C:\\Program Files\\vltest\\app.exe /tray"},
          Case{11, kUser, REG_EXPAND_SZ, "%SystemRoot%\\vltest.exe -min", "C:\\windows\\vltest.exe -min"},
          Case{11, kUser, REG_SZ, "C:\\vltest\\long.exe " + longTail, "C:\\vltest\\long.exe"}}) {
        SCOPED_TRACE(c.written.substr(0, 40));
        SavedValue run(c.root, kRunKey, title);
        SetRaw(c.root, kRunKey, title, c.type, c.written.c_str(),
               static_cast<DWORD>(c.written.size() + 1));
        auto state = [&] { return Reg(c.root, kRunKey, title) + " | " + Parked(kRunStore, title); };
        EXPECT_EQ(DisableRunProgram(title, c.listed.c_str(), "", c.code), 1);
        EXPECT_EQ(state(), kMissing + " | " + c.written + " | " + std::to_string(c.code));
        // Enabled from the disabled list, which shows the parked copy.
        EXPECT_EQ(DisableRunProgram(title, c.written.c_str(), "", c.code), 1);
        EXPECT_EQ(state(), c.written + " | " + kNotParked);
        EXPECT_EQ(RegType(c.root, kRunKey, title), c.type);

        // Removed: the history keeps the value as written, so its restore
        // brings back the same command.
        DeleteFileA(HistoryPath().c_str());
        SetText(kUser, kApproved, title, "11");
        EXPECT_EQ(DeleteRunProgram(title, c.listed.c_str(), "", c.code), 1);
        EXPECT_EQ(Reg(c.root, kRunKey, title) + Reg(kUser, kApproved, title), kMissing + kMissing);
        EXPECT_TRUE(InHistory(("\t" + c.written + "\t").c_str())) << History();
        EXPECT_EQ(RestoreRunProgram(title, c.written.c_str(), "", c.code), 1);
        EXPECT_EQ(RestoreRunProgram(title, "C:\\vltest\\other.exe", "", c.code), 0);
        EXPECT_EQ(Reg(c.root, kRunKey, title), c.written);
        EXPECT_EQ(Reg(kUser, kApproved, c.written), std::to_string(c.code));
        RegDeleteKeyValueA(kUser, kApproved, c.written.c_str());
    }
    // Approvals name programs with "=" written as ":".
    SavedValue run(kUser, kRunKey, title);
    SetText(kUser, kRunKey, title, "C:\\vltest\\a=b.exe");
    SetText(kUser, kApproved, "C:\\vltest\\a:b.exe", "11");
    EXPECT_EQ(DeleteRunProgram(title, "C:\\vltest\\a=b.exe", "", 11), 1);
    EXPECT_EQ(Reg(kUser, kApproved, "C:\\vltest\\a:b.exe"), kMissing);
    // The product's own entry leaves no history line.
    DeleteFileA(HistoryPath().c_str());
    SetText(kUser, kRunKey, title, "C:\\Tools\\VELMORA.exe");
    EXPECT_EQ(DeleteRunProgram(title, "C:\\Tools\\VELMORA.exe", "", 11), 1);
    EXPECT_EQ(Reg(kUser, kRunKey, title) + History(), kMissing);
}

TEST_F(Disable, ATitleNamesOneParkedEntryAndNoOtherIsOverwritten)
{
    const char* title = "VlTestSameTitle";
    Use({title, "run"});
    SavedValue machine(kMachine, kRunKey, title);
    SavedValue user(kUser, kRunKey, title);
    SetText(kMachine, kRunKey, title, "C:\\vltest\\machine.exe");
    SetText(kUser, kRunKey, title, "C:\\vltest\\user.exe");
    ASSERT_EQ(DisableRunProgram(title, "C:\\vltest\\machine.exe", "", 1), 1);
    // The user's value of that title is an entry of its own: not disabled,
    // not parked over the machine's copy; removing it leaves the parked one.
    EXPECT_EQ(DisableRunProgram(title, "C:\\vltest\\user.exe", "", 11), 0);
    EXPECT_EQ(Reg(kUser, kRunKey, title) + " | " + Parked(kRunStore, title),
              "C:\\vltest\\user.exe | C:\\vltest\\machine.exe | 1");
    EXPECT_EQ(DeleteRunProgram(title, "C:\\vltest\\user.exe", "", 11), 1);
    EXPECT_EQ(Reg(kUser, kRunKey, title) + " | " + Parked(kRunStore, title),
              kMissing + " | C:\\vltest\\machine.exe | 1");

    // Back in its own key while parked: the new command replaces the copy.
    SetText(kMachine, kRunKey, title, "C:\\vltest\\new.exe");
    EXPECT_EQ(ReparkRunEntry(title, 11), 0);
    EXPECT_EQ(ReparkRunEntry(title, 1), 1);
    EXPECT_EQ(Reg(kMachine, kRunKey, title) + " | " + Parked(kRunStore, title),
              kMissing + " | C:\\vltest\\new.exe | 1");

    // Two win.ini pieces share the title "run": the second cannot be parked
    // over the first, and each comes back.
    const char* store = "Software\\Corvath\\Velmora\\Disabled\\WinRun";
    SavedValue list(kUser, kWindowsNt, "run");
    WriteProfileStringA("windows", "run", "C:\\vltest\\a.exe;C:\\vltest\\b.exe");
    EXPECT_EQ(DisableRunProgram("run", "C:\\vltest\\a.exe", "", 101), 1);
    EXPECT_EQ(DisableRunProgram("run", "C:\\vltest\\b.exe", "", 101), 0);
    EXPECT_EQ(WinList("run") + " | " + Parked(store, "run"), "C:\\vltest\\b.exe; | C:\\vltest\\a.exe | 101");
    // Removing the active one leaves the parked one alone.
    EXPECT_EQ(DeleteRunProgram("run", "C:\\vltest\\b.exe", "", 101), 1);
    EXPECT_EQ(DisableRunProgram("run", "C:\\vltest\\a.exe", "", 101), 1);
    EXPECT_EQ(WinList("run") + " | " + Parked(store, "run"), ";C:\\vltest\\a.exe | " + kNotParked);
}

TEST_F(Disable, EmptyTitlesUnknownCodesAndCutTitlesChangeNothing)
{
    // An empty title would name the key's default value.
    SavedValue defaultValue(kUser, kRunKey, "");
    SetText(kUser, kRunKey, "", "C:\\vltest\\default.exe");
    EXPECT_EQ(DisableRunProgram("", "C:\\vltest\\default.exe", "", 11), 0);
    EXPECT_EQ(Reg(kUser, kRunKey, ""), "C:\\vltest\\default.exe");
    Use({"VlTestNoSuchValue"});
    EXPECT_EQ(DisableRunProgram("VlTestUnknown", "C:\\x.exe", "", 42) + IsDisabledEntry("VlTestUnknown") +
                  DeleteRunProgram("VlTestUnknown", "C:\\x.exe", "", 42) +
                  RestoreRunProgram("VlTestUnknown", "C:\\x.exe", "", 42) +
                  DeleteRunProgram("VlTestNoSuchValue", "C:\\x.exe", "", 11),
              0);
    // A title the key does not hold (a name cut short in the list) parks nothing.
    EXPECT_EQ(DisableRunProgram("VlTestNoSuchValue", "C:\\x.exe", "", 11), 0);
    EXPECT_EQ(Parked(kRunStore, "VlTestNoSuchValue"), kNotParked);
}

TEST_F(Disable, WinIniPieceIsFoundAsListedAndParkedAsWritten)
{
    const char* title = "VlTestWinRun";
    const char* store = "Software\\Corvath\\Velmora\\Disabled\\WinRun";
    Use({title, "C:\\vltest\\none.exe"});
    SavedValue saved(kUser, kWindowsNt, "run");
    // A program in a folder with a long name, written in its 8.3 form; the
    // list shows its long form.
    ScratchDir dir("vltest long folder name");
    const std::string program = dir.file("program with blanks.exe");
    ASSERT_TRUE(WriteTextFile(program, "program"));
    const std::string shortForm = PathForm(program, false);
    const std::string listed = PathForm(program, true);
    ASSERT_NE(shortForm, listed);
    for (const std::string& written : {shortForm, "\"" + program + "\""}) {
        SCOPED_TRACE(written);
        const std::string list = "C:\\vltest\\a.exe;" + written;
        WriteProfileStringA("windows", "run", list.c_str());
        EXPECT_EQ(DisableRunProgram(title, listed.c_str(), "", 101), 1);
        EXPECT_EQ(WinList("run") + " | " + Parked(store, title), "C:\\vltest\\a.exe; | " + written + " | 101");
        EXPECT_EQ(DisableRunProgram(title, written.c_str(), "", 101), 1);
        EXPECT_EQ(WinList("run") + " | " + Parked(store, title), "C:\\vltest\\a.exe;;" + written + " | " + kNotParked);
        // Removed as listed; the history keeps the piece as written.
        DeleteFileA(HistoryPath().c_str());
        EXPECT_EQ(DeleteRunProgram(title, listed.c_str(), "", 101), 1);
        EXPECT_EQ(WinList("run"), "C:\\vltest\\a.exe;");
        EXPECT_TRUE(InHistory(("\tWIN_RUN\tVlTestWinRun\t" + written + "\t").c_str())) << History();
    }

    // A piece that is not in the list: no marker, no history, no change, and
    // the approval stays.
    DeleteFileA(HistoryPath().c_str());
    SetText(kUser, kApproved, "C:\\vltest\\none.exe", "101");
    EXPECT_EQ(DisableRunProgram(title, "C:\\vltest\\none.exe", "", 101), 0);
    EXPECT_EQ(DeleteRunProgram(title, "C:\\vltest\\none.exe", "", 101), 0);
    EXPECT_EQ(Parked(store, title) + WinList("run") + History(), kNotParked + "C:\\vltest\\a.exe;");
    EXPECT_EQ(Reg(kUser, kApproved, "C:\\vltest\\none.exe"), "101");
    // A copy the store refuses (a name beyond the registry's limit) leaves the
    // entry in its list.
    const std::string huge = "VlTestHuge" + std::string(17000, 'h');
    EXPECT_EQ(DisableRunProgram(huge.c_str(), "C:\\vltest\\a.exe", "", 101), 0);
    EXPECT_EQ(WinList("run"), "C:\\vltest\\a.exe;");

    // Removing a disabled piece drops its copy and its marker.
    ASSERT_EQ(DisableRunProgram(title, "C:\\vltest\\a.exe", "", 101), 1);
    EXPECT_EQ(DeleteRunProgram(title, "C:\\vltest\\a.exe", "", 101), 1);
    EXPECT_EQ(Parked(store, title), kNotParked);
}

TEST_F(Disable, WinIniLoadListAtItsLengthLimitIsNeverRewritten)
{
    // The profile routine may have cut a list that fills the buffer.
    const char* title = "VlTestWinLoadFull";
    Use({title});
    SavedValue saved(kUser, kWindowsNt, "load");
    std::string full = "C:\\vltest\\keep.exe;";
    while (full.size() < 1100) full += "C:\\vltest\\filler.exe;";
    full += "C:\\vltest\\last.exe";
    WriteProfileStringA("windows", "load", full.c_str());
    ASSERT_EQ(WinList("load"), full);
    EXPECT_EQ(DisableRunProgram(title, "C:\\vltest\\last.exe", "", 100), 0);
    EXPECT_EQ(Parked("Software\\Corvath\\Velmora\\Disabled\\WinLoad", title), kNotParked);
    // Nor is a removal that could not rewrite the list recorded as one.
    Use({"C:\\vltest\\last.exe"});
    SetText(kUser, kApproved, "C:\\vltest\\last.exe", "100");
    EXPECT_EQ(DeleteRunProgram(title, "C:\\vltest\\last.exe", "", 100), 0);
    EXPECT_EQ(Reg(kUser, kApproved, "C:\\vltest\\last.exe") + History(), "100");
    EXPECT_EQ(RestoreRunProgram(title, "C:\\vltest\\more.exe", "", 100), 0);
    EXPECT_EQ(WinList("load"), full);

    // Just below the limit an append that would not fit is refused too.
    const std::string nearly(1015, 'n');
    WriteProfileStringA("windows", "load", nearly.c_str());
    EXPECT_EQ(RestoreRunProgram(title, "C:\\vltest\\more.exe", "", 100), 0);
    EXPECT_EQ(WinList("load"), nearly);
}

TEST_F(Disable, StartupFolderEntryIsParkedAndBackAndRemovalDeletesOnlyItsOwnFile)
{
    const char* title = "VlTest Startup Entry";
    ScratchDir dir("vltest_disable_prog");
    const std::string program = dir.file("prog.exe");
    Use({title, program});
    ASSERT_TRUE(WriteTextFile(program, "program"));
    const TempFile link(UserStartupFolder() + "\\vltest_entry.lnk");
    const TempFile parked(ProgramFile("Disabled\\vltest_entry.lnk"));
    const char* entry = link.path().c_str();
    auto files = [&] {   // "<entry there><parked copy there>"
        return std::to_string(Exists(link.path())) + std::to_string(Exists(parked.path()));
    };
    ASSERT_TRUE(WriteTextFile(link.path(), "entry"));

    // A file that cannot be moved (it is open without sharing) stays active.
    {
        UniqueFile open(CreateFileA(entry, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(open);
        EXPECT_EQ(DisableRunProgram(title, program.c_str(), entry, 200), 0);
        EXPECT_EQ(files() + Reg(kMachine, kMarkers, title), "10" + kMissing);
    }
    EXPECT_EQ(DisableRunProgram(title, program.c_str(), entry, 200), 1);
    EXPECT_EQ(files() + Reg(kMachine, kMarkers, title), "01200");
    {
        // No Startup folder to go back to: it stays parked.
        SavedValue user(kUser, kShellFoldersKey, "Startup");
        SavedValue machine(kMachine, kShellFoldersKey, "Startup");
        SavedValue common(kMachine, kShellFoldersKey, "Common Startup");
        for (auto [root, name] : {std::pair{kUser, "Startup"}, std::pair{kMachine, "Startup"},
                                  std::pair{kMachine, "Common Startup"}})
            RegDeleteKeyValueA(root, kShellFoldersKey, name);
        EXPECT_EQ(DisableRunProgram(title, program.c_str(), entry, 200), 0);
        EXPECT_EQ(files() + Reg(kMachine, kMarkers, title), "01200");
    }
    EXPECT_EQ(DisableRunProgram(title, program.c_str(), entry, 200), 1);
    EXPECT_EQ(files() + Reg(kMachine, kMarkers, title), "10" + kMissing);

    EXPECT_EQ(DeleteRunProgram(title, program.c_str(), entry, 200), 1);
    EXPECT_EQ(files(), "00");
    EXPECT_TRUE(InHistory("\t*START_Remove\tGROUP_STARTUP\tVlTest Startup Entry\t"));
    // With the entry's file gone the removal stands; with none named the
    // program stays, and nothing is removed, recorded or unapproved.
    EXPECT_EQ(DeleteRunProgram(title, program.c_str(), entry, 200), 1);
    DeleteFileA(HistoryPath().c_str());
    SetText(kUser, kApproved, program.c_str(), "200");
    EXPECT_EQ(DeleteRunProgram(title, program.c_str(), "", 200), 0);
    EXPECT_EQ(Reg(kUser, kApproved, program) + History(), "200");
    EXPECT_TRUE(Exists(program));

    // Restored as a shortcut to the program, which is then removed while
    // parked: the parked copy is the entry's own file.
    EXPECT_EQ(RestoreRunProgram(title, program.c_str(), "", 200), 0);
    ASSERT_EQ(RestoreRunProgram(title, program.c_str(), entry, 200), 1);
    char target[MAX_PATH] = {};
    char description[MAX_PATH] = {};
    ASSERT_EQ(ResolveShortcut(entry, target, description), S_OK);
    EXPECT_EQ(PathForm(target, true) + "|" + description, PathForm(program, true) + "|" + title);
    ASSERT_EQ(DisableRunProgram(title, program.c_str(), entry, 200), 1);
    EXPECT_EQ(DeleteRunProgram(title, program.c_str(), entry, 200), 1);
    EXPECT_EQ(files(), "00");
    EXPECT_EQ(IsDisabledEntry(title), 0);
    EXPECT_TRUE(Exists(program));

    // A file listed by itself has no entry name: the command is the file.
    const TempFile self(UserStartupFolder() + "\\vltest_self.bat");
    const TempFile selfParked(ProgramFile("Disabled\\vltest_self.bat"));
    Use({"vltest_self.bat"});
    ASSERT_TRUE(WriteTextFile(self.path(), "@echo off"));
    for (const char* where : {"01", "10"}) {
        EXPECT_EQ(DisableRunProgram("vltest_self.bat", self.path().c_str(), "", 200), 1);
        EXPECT_EQ(std::to_string(Exists(self.path())) + std::to_string(Exists(selfParked.path())), where);
    }
}

TEST_F(Disable, WinlogonNotifyIsParkedInOldNameAndBack)
{
    const char* title = "VlTestNotify";
    const char* store = "Software\\Corvath\\Velmora\\Disabled\\WinNotify";
    Use({title, "vltest.dll"});
    const std::string key = std::string(kWinlogon) + "\\Notify\\VlTestNotify";
    ScratchKey scratch(kMachine, key);
    // The name travels unexpanded and keeps its type.
    const std::string dll = "%SystemRoot%\\system32\\vltest.dll";
    auto write = [&](const char* name) {
        SetRaw(kMachine, key.c_str(), name, REG_EXPAND_SZ, dll.c_str(), static_cast<DWORD>(dll.size() + 1));
    };
    write("DllName");
    auto names = [&] {
        return Reg(kMachine, key, "DllName") + " | " + Reg(kMachine, key, "OldName");
    };

    EXPECT_EQ(DisableRunProgram(title, "vltest.dll", "", 256), 1);
    EXPECT_EQ(names(), " | " + dll);
    EXPECT_EQ(Parked(store, title), "vltest.dll | 256");
    EXPECT_EQ(Reg(kUser, kApproved, "vltest.dll"), "256");
    // A second park finds nothing to move and keeps the parked name.
    EXPECT_EQ(DisableNotify(title), 0);
    EXPECT_EQ(names(), " | " + dll);
    // Nothing to move back (the parked name was emptied meanwhile): the
    // parked copy is all that is left, and it stays.
    SetText(kMachine, key.c_str(), "OldName", "");
    EXPECT_EQ(DisableRunProgram(title, "vltest.dll", "", 256), 0);
    EXPECT_EQ(Parked(store, title), "vltest.dll | 256");
    write("OldName");
    EXPECT_EQ(DisableRunProgram(title, "vltest.dll", "", 256), 1);
    EXPECT_EQ(names(), dll + " | ");
    EXPECT_EQ(RegType(kMachine, key, "DllName"), static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(Parked(store, title), kNotParked);

    // A package without values, or a name climbing out of "Notify", is left.
    const std::string empty = std::string(kWinlogon) + "\\Notify\\VlTestNoPackage";
    ScratchKey emptyKey(kMachine, empty);
    Use({"VlTestNoPackage"});
    EXPECT_EQ(DisableRunProgram("VlTestNoPackage", "vltest.dll", "", 256), 0);
    EXPECT_EQ(Parked(store, "VlTestNoPackage"), kNotParked);
    EXPECT_EQ(DisableNotify("..\\..\\Winlogon"), 0);
    EXPECT_EQ(Reg(kMachine, empty, "OldName"), kMissing);
}

TEST_F(Disable, AppInitListDropsEveryCopyAddsTheShortFormAndLeavesOddValuesAlone)
{
    SavedValue saved(kMachine, kWindowsNt, "AppInit_Dlls");
    auto list = [] { return Reg(kMachine, kWindowsNt, "AppInit_Dlls"); };
    SetText(kMachine, kWindowsNt, "AppInit_Dlls",
            "C:\\vltest\\a.dll, C:\\vltest\\b.dll c:\\VLTEST\\A.DLL");
    EXPECT_EQ(RemoveAppInitDll("C:\\vltest\\a.dll"), 1);
    EXPECT_EQ(list(), "C:\\vltest\\b.dll");
    ScratchDir dir("vltest appinit folder");
    const std::string dll = dir.file("long name.dll");
    ASSERT_TRUE(WriteTextFile(dll, "dll"));
    EXPECT_EQ(AddAppInitDll(dll.c_str()), 1);
    EXPECT_EQ(list(), "C:\\vltest\\b.dll," + PathForm(dll, false));
    EXPECT_EQ(RemoveAppInitDll(dll.c_str()), 1);
    EXPECT_EQ(list(), "C:\\vltest\\b.dll");

    // Nothing to drop, or no list at all: nothing is written.
    EXPECT_EQ(RemoveAppInitDll("C:\\vltest\\other.dll"), 0);
    EXPECT_EQ(list(), "C:\\vltest\\b.dll");
    RegDeleteKeyValueA(kMachine, kWindowsNt, "AppInit_Dlls");
    EXPECT_EQ(RemoveAppInitDll("C:\\vltest\\b.dll"), 0);
    EXPECT_EQ(list(), kMissing);
    // A number, or text too long to read whole, is never rewritten.
    const DWORD number = 7;
    SetRaw(kMachine, kWindowsNt, "AppInit_Dlls", REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(RemoveAppInitDll("C:\\vltest\\a.dll") + AddAppInitDll("C:\\vltest\\a.dll"), 0);
    EXPECT_EQ(list(), "\x07");   // the number's first byte
    const std::string longList = std::string(1500, 'd') + ".dll";
    SetText(kMachine, kWindowsNt, "AppInit_Dlls", longList);
    EXPECT_EQ(RemoveAppInitDll("C:\\vltest\\a.dll"), 0);
    EXPECT_EQ(list(), longList);
}

TEST_F(Disable, WinlogonValuesAreResetWithoutAsking)
{
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string userinit = std::string(system) + "\\Userinit.exe,";
    Use({userinit, "Explorer.exe"});
    SavedValue savedUserinit(kMachine, kWinlogon, "Userinit");
    SavedValue savedShell(kMachine, kWinlogon, "Shell");
    SetText(kMachine, kWinlogon, "Userinit", "C:\\x\\userinit.exe,C:\\vltest\\evil.exe");
    SetText(kMachine, kWinlogon, "Shell", "Explorer.exe C:\\vltest\\evil.exe");

    EXPECT_EQ(DeleteRunProgram("Winlogon Userinit", "C:\\vltest\\evil.exe", "", 250), 1);
    EXPECT_EQ(Reg(kMachine, kWinlogon, "Userinit") + " | " + Reg(kUser, kApproved, userinit), userinit + " | 250");
    EXPECT_EQ(DeleteRegProgram(nullptr, "Winlogon Shell", "C:\\vltest\\evil.exe", "", 251), 1);
    EXPECT_EQ(Reg(kMachine, kWinlogon, "Shell") + " | " + Reg(kUser, kApproved, "Explorer.exe"), "Explorer.exe | 251");
    EXPECT_TRUE(InHistory("\tRESET_USERINIT\tWINLOGON_Userinit\tWinlogon Userinit\t"));
    EXPECT_TRUE(InHistory("\tRESET_SHELL\tWINLOGON_Shell\tWinlogon Shell\t"));
}

TEST_F(Disable, HookRemovalHappensOnlyAfterYes)
{
    // 252 asks with the message box, 253 and 255 through a replaced
    // confirmation; No keeps every entry and records nothing.
    const char* clsid = "{00000000-1111-2222-3333-444455556666}";
    const char* hook = "C:\\vltest\\hook.dll";
    Use({hook, "C:\\vltest\\s.dll", "C:\\vltest\\x.dll"});
    SavedValue delayLoad(kMachine, kDelayLoad, "VlTestDelayLoad");
    SavedValue scheduler(kMachine, kSharedTaskScheduler, clsid);
    SavedValue appInit(kMachine, kWindowsNt, "AppInit_Dlls");
    SetText(kMachine, kDelayLoad, "VlTestDelayLoad", clsid);
    SetText(kMachine, kSharedTaskScheduler, clsid, "VlTest Scheduler");
    SetText(kMachine, kWindowsNt, "AppInit_Dlls", "C:\\vltest\\x.dll,C:\\vltest\\y.dll");
    SetText(kUser, kApproved, hook, "252");
    auto state = [&] {
        return Reg(kMachine, kDelayLoad, "VlTestDelayLoad") + " | " +
               Reg(kMachine, kSharedTaskScheduler, clsid) + " | " +
               Reg(kMachine, kWindowsNt, "AppInit_Dlls");
    };
    const std::string before = state();
    g_confirmCalls = 0;
    for (int answer : {IDNO, IDYES}) {
        const int removed = answer == IDYES ? 1 : 0;
        {
            DialogAnswerer answerer("#32770", GetAppCaption(), answer);
            EXPECT_EQ(DeleteRegProgram(nullptr, "VlTestDelayLoad", hook, clsid, 252), removed);
            EXPECT_TRUE(Answered(answerer));
        }
        SetRegRemovalConfirm([](HWND, const char*, const char*) { return ++g_confirmCalls, g_confirmAnswer; });
        g_confirmAnswer = removed;
        EXPECT_EQ(DeleteRegProgram(nullptr, "VlTest Scheduler", "C:\\vltest\\s.dll", clsid, 253),
                  removed);
        EXPECT_EQ(DeleteRunProgram("X", "C:\\vltest\\x.dll", "", 255), removed);
        // A DLL the list does not hold is no removal.
        EXPECT_EQ(DeleteRunProgram("Z", "C:\\vltest\\z.dll", "", 255), 0);
        SetRegRemovalConfirm(nullptr);
        if (!removed) {
            EXPECT_EQ(state() + History(), before);
        }
    }
    EXPECT_EQ(g_confirmCalls, 6);
    EXPECT_EQ(state(), "<missing> | <missing> | C:\\vltest\\y.dll");
    EXPECT_EQ(Reg(kUser, kApproved, hook), kMissing);
    EXPECT_TRUE(InHistory("\tREMOVE_DELAYLOAD\tREG_Delayload\tVlTestDelayLoad\t")) << History();
    EXPECT_TRUE(InHistory("\tREMOVE_TaskScheduler\tREG_TaskScheduler\tVlTest Scheduler\t"));
    EXPECT_TRUE(InHistory("\t*START_Remove\tREG_AppInitDLLs\tX\tC:\\vltest\\x.dll\t"));

    // The history window's restore puts each one back.
    EXPECT_EQ(RestoreRunProgram("VlTestDelayLoad", hook, clsid, 252), 1);
    EXPECT_EQ(RestoreRunProgram("VlTest Scheduler", "C:\\vltest\\s.dll", clsid, 253), 1);
    EXPECT_EQ(RestoreRunProgram("X", "C:\\vltest\\x.dll", "", 255), 1);
    EXPECT_EQ(state(),
              std::string(clsid) + " | VlTest Scheduler | C:\\vltest\\y.dll,C:\\vltest\\x.dll");
}
