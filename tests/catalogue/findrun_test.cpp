// The startup enumeration against real Run keys, win.ini, Winlogon values,
// hook keys, the disabled store and the Startup folders of the prefix.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/catalogue/startuptest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;

namespace {

const std::string kFixture = FixturePath("startup_fixture.exe");

constexpr const char* kRunKeys[7] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup",
    "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run",
};
constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kMarkers = "Software\\Corvath\\Velmora\\Disabled";
constexpr const char* kWinlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kNotify = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
constexpr const char* kWindows = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* kDelayLoad =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
constexpr const char* kSharedTaskScheduler =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
constexpr const char* kShellExecuteHooks =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";
constexpr const char* kHookClass = "{5A1C0DE0-7E57-4B00-9A11-0000DEC0DE01}";
constexpr const char* kUnknownClass = "{5A1C0DE0-7E57-4B00-9A11-0000DEC0DE02}";

HKEY RootOf(int code)
{
    return code > 10 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

const char* KeyOf(int code)
{
    return kRunKeys[code % 10 - 1];
}

// The keys and values one test writes, undone in reverse order.
class Fixture {
    std::vector<std::unique_ptr<OwnedKey>> keys_;
    std::vector<std::unique_ptr<SavedValue>> values_;

public:
    ~Fixture()
    {
        while (!values_.empty()) values_.pop_back();
        while (!keys_.empty()) keys_.pop_back();
    }
    void Key(HKEY root, const char* key) { keys_.push_back(std::make_unique<OwnedKey>(root, key)); }
    void Save(HKEY root, const char* key, const char* name)
    {
        Key(root, key);
        values_.push_back(std::make_unique<SavedValue>(root, key, name));
    }
    void Text(HKEY root, const char* key, const char* name, const std::string& text)
    {
        Save(root, key, name);
        ASSERT_TRUE(SetText(root, key, name, text)) << key << " " << name;
    }
    void Raw(HKEY root, const char* key, const char* name, DWORD type, const void* data, DWORD size)
    {
        Save(root, key, name);
        ASSERT_TRUE(SetRaw(root, key, name, type, data, size)) << key << " " << name;
    }
};

// win.ini's "windows" section as it was, put back afterwards.
class SavedProfile {
    std::string key_;
    std::string text_;
    bool existed_;

public:
    explicit SavedProfile(const char* key) : key_(key)
    {
        char text[4096];
        GetProfileStringA("windows", key, "\x01", text, sizeof text);
        existed_ = strcmp(text, "\x01") != 0;
        text_ = existed_ ? text : "";
    }
    ~SavedProfile()
    {
        WriteProfileStringA("windows", key_.c_str(), existed_ ? text_.c_str() : nullptr);
    }
};

Item OnlyItem(const std::string& title)
{
    std::vector<int> found = IndexesOf(title);
    EXPECT_EQ(1u, found.size()) << title;
    return found.empty() ? Item{} : ReadItem(found[0]);
}

void ExpectItem(const Item& item, const std::string& title, const std::string& path,
                const std::string& entry, const std::string& detail, int type, int flag)
{
    EXPECT_EQ(title, item.title);
    EXPECT_STRCASEEQ(path.c_str(), item.path.c_str()) << title;
    EXPECT_STRCASEEQ(entry.c_str(), item.entry.c_str()) << title;
    EXPECT_EQ(detail, item.detail) << title;
    EXPECT_EQ(type, item.type) << title;
    EXPECT_EQ(flag, item.flag) << title;
}

DWORD ValueCountOf(HKEY root, const char* key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return 0;
    DWORD count = 0;
    RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(h);
    return count;
}

}   // namespace

TEST(BuildRun, EveryRunKeyOfBothRootsIsListedWithItsLocationCode)
{
    Fixture fx;
    std::vector<int> codes;
    for (int code = 1; code <= 17; ++code) {
        if (code > 7 && code < 11) continue;
        codes.push_back(code);
        const std::string name = "VlRunKey" + std::to_string(code);
        fx.Text(RootOf(code), KeyOf(code), name.c_str(),
                "C:\\VlApps\\prog" + std::to_string(code) + ".exe /arg");
    }
    ClearItems();
    AddItem("VlLeftOver", "C:\\VlApps\\left.exe", "", "", 1, 0);
    BuildStartupList(1);
    EXPECT_TRUE(IndexesOf("VlLeftOver").empty()) << "the list is cleared first";
    int previous = -1;
    for (int code : codes) {
        const std::string name = "VlRunKey" + std::to_string(code);
        std::vector<int> at = IndexesOf(name);
        ASSERT_EQ(1u, at.size()) << name;
        ExpectItem(ReadItem(at[0]), name, "C:\\VlApps\\prog" + std::to_string(code) + ".exe /arg",
                   "", "", code, 0);
        EXPECT_GT(at[0], previous) << "machine keys in table order, then user keys";
        previous = at[0];
    }
}

TEST(BuildRun, ShortNamesShortCommandsHighCharactersAndTheDefaultValueAreNotListed)
{
    Fixture fx;
    fx.Text(HKEY_CURRENT_USER, kUserRun, "X", "C:\\VlApps\\onechar.exe");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlFour", "a.ex");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlFive", "ab.ex");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "Vq", "C:\\VlApps\\twochar.exe");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "\xE9VlHigh", "C:\\VlApps\\high.exe");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "", "C:\\VlApps\\default.exe");
    ClearItems();
    BuildRun();
    EXPECT_TRUE(IndexesWithPath("C:\\VlApps\\onechar.exe").empty());
    EXPECT_TRUE(IndexesWithPath("a.ex").empty());
    EXPECT_TRUE(IndexesWithPath("C:\\VlApps\\high.exe").empty());
    EXPECT_TRUE(IndexesWithPath("C:\\VlApps\\default.exe").empty());
    ExpectItem(OnlyItem("VlFive"), "VlFive", "ab.ex", "", "", 11, 0);
    ExpectItem(OnlyItem("Vq"), "Vq", "C:\\VlApps\\twochar.exe", "", "", 11, 0);
}

TEST(BuildRun, ValuesThatAreNoCommandOrTooLongArePassedOver)
{
    Fixture fx;
    const std::string c255 = "C:\\" + std::string(248, 'a') + ".exe";
    const std::string c256 = "C:\\" + std::string(249, 'b') + ".exe";
    ASSERT_EQ(255u, c255.size());
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlLong256", c256);
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlLong255", c255);
    const DWORD number = 0x41414141;
    fx.Raw(HKEY_CURRENT_USER, kUserRun, "VlDword", REG_DWORD, &number, sizeof number);
    const char binary[] = "C:\\VlApps\\binary.exe";
    fx.Raw(HKEY_CURRENT_USER, kUserRun, "VlBinary", REG_BINARY, binary, sizeof binary);
    fx.Raw(HKEY_CURRENT_USER, kUserRun, "VlBinaryOpen", REG_BINARY, binary, sizeof binary - 1);
    const char open[] = "C:\\VlApps\\nozero.exe";
    fx.Raw(HKEY_CURRENT_USER, kUserRun, "VlNoZero", REG_SZ, open, sizeof open - 1);
    fx.Raw(HKEY_CURRENT_USER, kUserRun, "VlEmptyOpen", REG_SZ, open, 0);
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlEq=%s%n%%", "C:\\VlApps\\%s%n\\pct=1.exe %d");
    const char expand[] = "%SystemRoot%\\vlexpand.exe";
    fx.Raw(HKEY_CURRENT_USER, kUserRun, "VlExpand", REG_EXPAND_SZ, expand, sizeof expand);
    const std::string longName(300, 'N');
    fx.Text(HKEY_CURRENT_USER, kUserRun, longName.c_str(), "C:\\VlApps\\longname.exe");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlAfterBad", "C:\\VlApps\\after.exe");

    ClearItems();
    BuildRun();
    EXPECT_TRUE(IndexesOf("VlLong256").empty());
    ExpectItem(OnlyItem("VlLong255"), "VlLong255", c255, "", "", 11, 0);
    EXPECT_TRUE(IndexesOf("VlDword").empty());
    EXPECT_TRUE(IndexesOf("VlBinary").empty());
    EXPECT_TRUE(IndexesOf("VlBinaryOpen").empty());
    ExpectItem(OnlyItem("VlNoZero"), "VlNoZero", "C:\\VlApps\\nozero.exe", "", "", 11, 0);
    EXPECT_TRUE(IndexesOf("VlEmptyOpen").empty());
    ExpectItem(OnlyItem("VlEq=%s%n%%"), "VlEq=%s%n%%", "C:\\VlApps\\%s%n\\pct=1.exe %d", "", "",
               11, 0);
    ExpectItem(OnlyItem("VlExpand"), "VlExpand", "%SystemRoot%\\vlexpand.exe", "", "", 11, 0);
    EXPECT_TRUE(IndexesWithPath("C:\\VlApps\\longname.exe").empty());
    ExpectItem(OnlyItem("VlAfterBad"), "VlAfterBad", "C:\\VlApps\\after.exe", "", "", 11, 0);
}

TEST(BuildRun, RundllCommandsAreListedFromTheDllWithFlagOne)
{
    Fixture fx;
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlRundll", "rundll32.exe C:\\VlDlls\\helper.dll,Start");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlRundllUpper",
            "C:\\WINDOWS\\System32\\RUNDLL32.EXE shell32.dll,Control_RunDLL desk.cpl");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlRundllBare", "rundll32.exe");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlNotRundll", "C:\\VlApps\\rundll.exe /x");
    ClearItems();
    BuildRun();
    ExpectItem(OnlyItem("VlRundll"), "VlRundll", "C:\\VlDlls\\helper.dll,Start", "", "", 11, 1);
    ExpectItem(OnlyItem("VlRundllUpper"), "VlRundllUpper", "shell32.dll,Control_RunDLL desk.cpl",
               "", "", 11, 1);
    ExpectItem(OnlyItem("VlRundllBare"), "VlRundllBare", "", "", "", 11, 1);
    ExpectItem(OnlyItem("VlNotRundll"), "VlNotRundll", "C:\\VlApps\\rundll.exe /x", "", "", 11, 0);
}

TEST(BuildRun, APairRepeatedRightBehindItselfIsListedOnceButAgainLaterOn)
{
    // Keys 5, 6 and 7 of the machine and the user's Run key must hold only
    // what this test writes, or the values would not be neighbours.
    for (int code : {5, 6, 7, 11}) {
        if (ValueCountOf(RootOf(code), KeyOf(code)) != 0) GTEST_SKIP() << KeyOf(code) << " in use";
    }
    Fixture fx;
    fx.Text(HKEY_LOCAL_MACHINE, KeyOf(5), "VlDup", "C:\\VlApps\\Dup.exe");
    fx.Text(HKEY_LOCAL_MACHINE, KeyOf(6), "vldup", "c:\\vlapps\\dup.exe");
    fx.Text(HKEY_LOCAL_MACHINE, KeyOf(7), "VlBetween", "C:\\VlApps\\between.exe");
    fx.Text(HKEY_CURRENT_USER, KeyOf(11), "VlDup", "C:\\VlApps\\Dup.exe");
    ClearItems();
    BuildRun();
    std::vector<int> dup = IndexesOf("VlDup");
    ASSERT_EQ(2u, dup.size());
    EXPECT_EQ(5, ReadItem(dup[0]).type);
    EXPECT_EQ(11, ReadItem(dup[1]).type);
    EXPECT_TRUE(IndexesOf("vldup").empty());
    EXPECT_EQ(1u, IndexesOf("VlBetween").size());
}

TEST(BuildRun, TheLastValueIsRememberedFromTheMachineRootToTheUserRoot)
{
    for (int code : {7, 11}) {
        if (ValueCountOf(RootOf(code), KeyOf(code)) != 0) GTEST_SKIP() << KeyOf(code) << " in use";
    }
    Fixture fx;
    fx.Text(HKEY_LOCAL_MACHINE, KeyOf(7), "VlCross", "C:\\VlApps\\cross.exe");
    fx.Text(HKEY_CURRENT_USER, KeyOf(11), "VlCross", "C:\\VlApps\\CROSS.EXE");
    fx.Text(HKEY_CURRENT_USER, KeyOf(11), "VlCrossNext", "C:\\VlApps\\next.exe");
    ClearItems();
    BuildRun();
    ExpectItem(OnlyItem("VlCross"), "VlCross", "C:\\VlApps\\cross.exe", "", "", 7, 0);
    EXPECT_EQ(1u, IndexesOf("VlCrossNext").size());
}

TEST(BuildRun, AValueMarkedDisabledIsNotListedByTheRunPass)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    Fixture fx;
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlMarkedBack", "C:\\VlApps\\back.exe /new");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlMarkedNext", "C:\\VlApps\\next.exe");
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlMarkedBack", "11"));
    ClearItems();
    BuildRun();
    EXPECT_TRUE(IndexesOf("VlMarkedBack").empty());
    EXPECT_EQ(1u, IndexesOf("VlMarkedNext").size()) << "the value after it is still examined";
}

TEST(BuildRun, AValueThatComesBackWhileDisabledIsParkedAgainWithItsNewCommand)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    Fixture fx;
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlComeback", "C:\\VlApps\\comeback.exe /new");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlComebackNext", "C:\\VlApps\\following.exe");
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlComeback", "11"));
    const std::string store = std::string(kMarkers) + "\\Run";
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, store.c_str(), "VlComeback",
                        "C:\\VlApps\\comeback.exe /old"));

    BuildStartupList(1);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kUserRun, "VlComeback"));
    EXPECT_EQ("C:\\VlApps\\comeback.exe /new",
              ReadText(HKEY_LOCAL_MACHINE, store.c_str(), "VlComeback"));
    EXPECT_EQ("11", ReadText(HKEY_LOCAL_MACHINE, kMarkers, "VlComeback"));
    // Listed once, from the disabled store.
    ExpectItem(OnlyItem("VlComeback"), "VlComeback", "C:\\VlApps\\comeback.exe /new", "", "", 11,
               0);
    // Its removal moved the next value onto its index; that one is not lost.
    EXPECT_EQ(1u, IndexesOf("VlComebackNext").size());
}

TEST(GetWinPrograms, RunThenLoadListsEveryProgramOnce)
{
    SavedProfile run("run");
    SavedProfile load("load");
    ASSERT_TRUE(WriteProfileStringA("windows", "run",
                                    (kFixture + ";;C:\\VlApps\\winrun.exe;").c_str()));
    ASSERT_TRUE(WriteProfileStringA("windows", "load", "C:\\VlApps\\winload.exe"));
    ClearItems();
    EXPECT_EQ(3, GetWinPrograms());
    ExpectItem(ReadItem(0), "Startup Fixture Suite", kFixture, "", "", 101, 0);
    ExpectItem(ReadItem(1), "run", "C:\\VlApps\\winrun.exe", "", "", 101, 0);
    ExpectItem(ReadItem(2), "load", "C:\\VlApps\\winload.exe", "", "", 100, 0);
}

TEST(GetWinPrograms, AnOverlongListIsCutNotOverrun)
{
    SavedProfile run("run");
    SavedProfile load("load");
    std::string list;
    for (int i = 0; i < 8; ++i) list += "C:\\VlApps\\" + std::string(290, static_cast<char>('a' + i)) + ".exe;";
    ASSERT_TRUE(WriteProfileStringA("windows", "run", list.c_str()));
    ASSERT_TRUE(WriteProfileStringA("windows", "load", ""));
    ClearItems();
    const int count = GetWinPrograms();
    EXPECT_GE(count, 1);
    EXPECT_LE(count, 2);
    for (int i = 0; i < count; ++i) {
        Item item = ReadItem(i);
        EXPECT_EQ("run", item.title);
        EXPECT_LT(item.path.size(), static_cast<size_t>(kPathLen));
        EXPECT_EQ(0u, item.path.find("C:\\VlApps\\"));
    }
}

TEST(GetDisabledPrograms, ListsMarkedStoreValuesAndTheParkedFolder)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    const std::string base = kMarkers;
    auto store = [&](const char* key, const char* name, const char* data, const char* marker) {
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, (base + "\\" + key).c_str(), name, data));
        if (marker) {
            ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, name, marker));
        }
    };
    store("WinRun", "VlDisWin", "C:\\VlApps\\diswin.exe", "101");
    store("Policy", "VlDisPol", "C:\\VlApps\\dispol.exe", "17");
    store("Run", "VlDisRun", "C:\\VlApps\\disrun.exe", "1");
    store("RunOnce", "VlDisZero", "C:\\VlApps\\diszero.exe", "0");
    store("RunOnce", "VlDisWord", "C:\\VlApps\\disword.exe", "abc");
    store("RunOnce", "VlDisNegative", "C:\\VlApps\\disneg.exe", "-3");
    store("RunOnce", "VlDisNoMarker", "C:\\VlApps\\disnone.exe", nullptr);
    store("RunOnce", "", "C:\\VlApps\\disdefault.exe", "1");
    store("WinNotify", "VlDisNotify", "vlnotify.dll", "256");
    const DWORD number = 0x41414141;
    ASSERT_TRUE(SetRaw(HKEY_LOCAL_MACHINE, (base + "\\RunServices").c_str(), "VlDisDword",
                       REG_DWORD, &number, sizeof number));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlDisDword", "4"));

    char programFolder[MAX_PATH] = "";
    GetProgramFolder(programFolder);
    const std::string parked = std::string(programFolder) + "\\Disabled";
    const bool hadFolder = GetFileAttributesA(parked.c_str()) != INVALID_FILE_ATTRIBUTES;
    CreateDirectoryA(parked.c_str(), nullptr);
    TempFile link(parked + "\\vl parked.lnk");
    ASSERT_EQ(S_OK, CreateShortcut(link.path().c_str(), kFixture.c_str(), "", "", "Vl Parked",
                                   kFixture.c_str(), 0));

    ClearItems();
    GetDisabledPrograms();
    const int run = IndexesOf("VlDisRun").empty() ? -1 : IndexesOf("VlDisRun")[0];
    const int pol = IndexesOf("VlDisPol").empty() ? -1 : IndexesOf("VlDisPol")[0];
    const int win = IndexesOf("VlDisWin").empty() ? -1 : IndexesOf("VlDisWin")[0];
    const int lnk = IndexesOf("Vl Parked").empty() ? -1 : IndexesOf("Vl Parked")[0];
    ExpectItem(OnlyItem("VlDisRun"), "VlDisRun", "C:\\VlApps\\disrun.exe", "", "", 1, 0);
    ExpectItem(OnlyItem("VlDisPol"), "VlDisPol", "C:\\VlApps\\dispol.exe", "", "", 17, 0);
    ExpectItem(OnlyItem("VlDisWin"), "VlDisWin", "C:\\VlApps\\diswin.exe", "", "", 101, 0);
    ExpectItem(OnlyItem("Vl Parked"), "Vl Parked", kFixture, link.path(), "", 200, 0);
    EXPECT_TRUE(run < pol && pol < win && win < lnk) << "store keys in order, then the folder";
    for (const char* absent : {"VlDisZero", "VlDisWord", "VlDisNegative", "VlDisNoMarker",
                               "VlDisNotify", "VlDisDword"}) {
        EXPECT_TRUE(IndexesOf(absent).empty()) << absent;
    }
    EXPECT_TRUE(IndexesWithPath("C:\\VlApps\\disdefault.exe").empty());

    link.Remove();
    if (!hadFolder) RemoveTree(parked);
}

TEST(Winlogon, UserinitYieldsTheProgramBehindTheSystemsOwn)
{
    Fixture fx;
    fx.Save(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit");
    struct Case {
        const char* value;
        int found;
        const char* program;
    };
    const Case cases[] = {
        {"C:\\WINDOWS\\system32\\userinit.exe,", 1, "C:\\WINDOWS\\system32\\userinit.exe"},
        {"C:\\WINDOWS\\system32\\userinit.exe,C:\\VlApps\\logon.exe", 1, "C:\\VlApps\\logon.exe"},
        {"userinit.exe,   C:\\VlApps\\logon.exe,", 1, "C:\\VlApps\\logon.exe,"},
        {"C:\\WINDOWS\\system32\\userinit.exe", 0, ""},
        {"userinit.exe,   ", 1, "userinit.exe"},
        {",", 0, ""},
        {"", 0, ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", c.value));
        char out[MAX_PATH] = "stale";
        EXPECT_EQ(c.found, GetWinLogon_Userinit(out)) << c.value;
        EXPECT_STREQ(c.program, out) << c.value;
    }
    const std::string tooLong = "userinit.exe," + std::string(300, 'x');
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", tooLong));
    char out[MAX_PATH] = "stale";
    EXPECT_EQ(0, GetWinLogon_Userinit(out));
    EXPECT_STREQ("", out);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit");
    EXPECT_EQ(0, GetWinLogon_Userinit(out));
}

TEST(Winlogon, ShellYieldsTheProgramBehindTheFirstBlank)
{
    Fixture fx;
    fx.Save(HKEY_LOCAL_MACHINE, kWinlogon, "Shell");
    struct Case {
        const char* value;
        int found;
        const char* program;
    };
    const Case cases[] = {
        {"Explorer.exe", 1, "Explorer.exe"},
        {"Explorer.exe ", 1, "Explorer.exe"},
        {"Explorer.exe C:\\VlApps\\shell.exe", 1, "C:\\VlApps\\shell.exe"},
        {"Explorer.exe    C:\\VlApps\\shell.exe", 1, "C:\\VlApps\\shell.exe"},
        {"Explorer.exe    ", 1, "Explorer.exe"},
        {" ", 0, ""},
        {"", 0, ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", c.value));
        char out[MAX_PATH] = "stale";
        EXPECT_EQ(c.found, GetWinLogon_Shell(out)) << "[" << c.value << "]";
        EXPECT_STREQ(c.program, out) << "[" << c.value << "]";
    }
}

class RegInfoTest : public ::testing::Test {
protected:
    Fixture fx;
    std::unique_ptr<OwnedKey> hookClass;
    void SetUp() override
    {
        const std::string clsid = std::string("CLSID\\") + kHookClass;
        hookClass = std::make_unique<OwnedKey>(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32");
        ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, clsid.c_str(), "", "Vl Hook Class"));
        ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, (clsid + "\\InprocServer32").c_str(), "", kFixture));
    }
};

TEST_F(RegInfoTest, HookRegistrationsAreListedWithTheirServers)
{
    fx.Text(HKEY_LOCAL_MACHINE, kDelayLoad, "VlDelay", kHookClass);
    fx.Text(HKEY_LOCAL_MACHINE, kDelayLoad, "VlDelayUnknown", kUnknownClass);
    const DWORD number = 7;
    fx.Raw(HKEY_LOCAL_MACHINE, kDelayLoad, "VlDelayDword", REG_DWORD, &number, sizeof number);
    fx.Text(HKEY_LOCAL_MACHINE, kSharedTaskScheduler, kHookClass, "");
    fx.Text(HKEY_LOCAL_MACHINE, kShellExecuteHooks, kHookClass, "Vl Exec Hook");
    ClearItems();
    BuildRegInfo();
    ExpectItem(OnlyItem("VlDelay"), "VlDelay", kFixture, kHookClass, "3.1.4.1", 252, 0);
    ExpectItem(OnlyItem("VlDelayUnknown"), "VlDelayUnknown", "", kUnknownClass, "", 252, 0);
    EXPECT_TRUE(IndexesOf("VlDelayDword").empty());
    ExpectItem(OnlyItem("Vl Hook Class"), "Vl Hook Class", kFixture, kHookClass, "3.1.4.1", 253, 0);
    ExpectItem(OnlyItem("Vl Exec Hook"), "Vl Exec Hook", kFixture, kHookClass, "3.1.4.1", 254, 0);
}

TEST_F(RegInfoTest, EveryAppInitPieceIsListedEvenAnEmptyOne)
{
    fx.Text(HKEY_LOCAL_MACHINE, kWindows, "AppInit_Dlls", kFixture + ", C:\\VlDlls\\b.dll");
    ClearItems();
    BuildRegInfo();
    std::vector<int> at;
    for (int i = 0; i < ItemCount(); ++i) {
        if (GetItemType(i) == 255) at.push_back(i);
    }
    ASSERT_EQ(3u, at.size());
    ExpectItem(ReadItem(at[0]), "Startup Fixture Suite", kFixture, "Startup Fixture Works",
               "3.1.4.1", 255, 0);
    ExpectItem(ReadItem(at[1]), "", "", "", "", 255, 0);
    ExpectItem(ReadItem(at[2]), "b.dll", "C:\\VlDlls\\b.dll", "", "", 255, 0);
}

TEST_F(RegInfoTest, NotifySubkeysWithADllAreListed)
{
    fx.Key(HKEY_LOCAL_MACHINE, kNotify);
    const std::string with = std::string(kNotify) + "\\VlNotify";
    const std::string empty = std::string(kNotify) + "\\VlNotifyEmpty";
    const std::string none = std::string(kNotify) + "\\VlNotifyNone";
    fx.Text(HKEY_LOCAL_MACHINE, with.c_str(), "DllName", kFixture);
    fx.Text(HKEY_LOCAL_MACHINE, empty.c_str(), "DllName", "");
    fx.Key(HKEY_LOCAL_MACHINE, none.c_str());
    ClearItems();
    BuildRegInfo();
    ExpectItem(OnlyItem("VlNotify"), "VlNotify", kFixture, "Startup Fixture Launcher", "3.1.4.1",
               256, 0);
    EXPECT_TRUE(IndexesOf("VlNotifyEmpty").empty());
    EXPECT_TRUE(IndexesOf("VlNotifyNone").empty());
}

class StartupListTest : public ::testing::Test {
protected:
    Fixture fx;
    void SetUp() override
    {
        fx.Save(HKEY_CURRENT_USER, kOptionsKey, "ShowAllStartup");
        fx.Save(HKEY_CURRENT_USER, kOptionsKey, "Update");
        fx.Text(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit",
                "C:\\WINDOWS\\system32\\userinit.exe,C:\\VlApps\\logon.exe");
        fx.Text(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "Explorer.exe C:\\VlApps\\shell.exe");
        fx.Text(HKEY_LOCAL_MACHINE, kDelayLoad, "VlListDelay", kUnknownClass);
    }
    bool HasAdvanced()
    {
        const bool userinit = !IndexesOf("Winlogon Userinit").empty();
        const bool shell = !IndexesOf("Winlogon Shell").empty();
        const bool hook = !IndexesOf("VlListDelay").empty();
        EXPECT_EQ(userinit, shell);
        EXPECT_EQ(userinit, hook);
        return userinit && shell && hook;
    }
};

TEST_F(StartupListTest, WinlogonAndHooksAreListedForEveryCallerButThePlainPage)
{
    BuildStartupList(0);
    ASSERT_TRUE(HasAdvanced());
    ExpectItem(OnlyItem("Winlogon Userinit"), "Winlogon Userinit", "C:\\VlApps\\logon.exe", "", "",
               250, 0);
    ExpectItem(OnlyItem("Winlogon Shell"), "Winlogon Shell", "C:\\VlApps\\shell.exe", "", "", 251,
               0);
    ExpectItem(OnlyItem("VlListDelay"), "VlListDelay", "", kUnknownClass, "", 252, 0);

    WriteOption("ShowAllStartup", 0);
    BuildStartupList(1);
    EXPECT_FALSE(HasAdvanced());
    WriteOption("ShowAllStartup", 1);
    BuildStartupList(1);
    EXPECT_TRUE(HasAdvanced());
}

TEST_F(StartupListTest, PassesFollowEachOtherInTheirOrder)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    SavedProfile run("run");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlOrderRun", "C:\\VlApps\\orderrun.exe");
    TempFile batch(UserStartupFolder() + "\\vl_order.bat");
    ASSERT_TRUE(WriteTextFile(batch.path(), "x"));
    ASSERT_TRUE(WriteProfileStringA("windows", "run", "C:\\VlApps\\orderwin.exe"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, (std::string(kMarkers) + "\\Run").c_str(), "VlOrderDis",
                        "C:\\VlApps\\orderdis.exe"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlOrderDis", "1"));

    const int count = BuildStartupList(0);
    EXPECT_EQ(ItemCount(), count);
    const std::vector<std::vector<int>> order = {
        IndexesOf("VlOrderRun"), IndexesWithPath(batch.path()),
        IndexesWithPath("C:\\VlApps\\orderwin.exe"), IndexesOf("VlOrderDis"),
        IndexesOf("Winlogon Userinit"), IndexesOf("Winlogon Shell"), IndexesOf("VlListDelay")};
    int previous = -1;
    for (const std::vector<int>& at : order) {
        ASSERT_EQ(1u, at.size());
        EXPECT_GT(at[0], previous);
        previous = at[0];
    }
    ExpectItem(ReadItem(order[1][0]), "vl_order.bat", batch.path(), "", "", 200, 0);
    ExpectItem(ReadItem(order[2][0]), "run", "C:\\VlApps\\orderwin.exe", "", "", 101, 0);
    ExpectItem(ReadItem(order[3][0]), "VlOrderDis", "C:\\VlApps\\orderdis.exe", "", "", 1, 0);
}

TEST(BuildRun, AFullListDropsFurtherEntries)
{
    Fixture fx;
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlNoRoom", "C:\\VlApps\\noroom.exe");
    ClearItems();
    for (int i = 0; i < kMaxItems; ++i) ASSERT_EQ(1, AddItem("VlFiller", "C:\\f.exe", "", "", 1, 0));
    EXPECT_EQ(kMaxItems, BuildRun());
    EXPECT_EQ(kMaxItems, GetWinPrograms());
    EXPECT_TRUE(IndexesOf("VlNoRoom").empty());
    ClearItems();
}
