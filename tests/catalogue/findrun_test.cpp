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
constexpr const char* kNotify = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
constexpr const char* kHookClass = "{5A1C0DE0-7E57-4B00-9A11-0000DEC0DE01}";
constexpr const char* kUnknownClass = "{5A1C0DE0-7E57-4B00-9A11-0000DEC0DE02}";

HKEY RootOf(int code) { return code > 10 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
const char* KeyOf(int code) { return kRunKeys[code % 10 - 1]; }

// The keys and values one test writes; the values are put back before the
// keys the test created go.
class Fixture {
    std::vector<std::unique_ptr<OwnedKey>> keys_;
    std::vector<std::unique_ptr<SavedValue>> values_;

public:
    void Key(HKEY root, const std::string& key) { keys_.push_back(std::make_unique<OwnedKey>(root, key)); }
    void Raw(HKEY root, const std::string& key, const std::string& name, DWORD type,
             const void* data, DWORD size)
    {
        Key(root, key);
        values_.push_back(std::make_unique<SavedValue>(root, key, name));
        if (data) {
            ASSERT_TRUE(SetRaw(root, key.c_str(), name.c_str(), type, data, size)) << name;
        }
    }
    void Text(HKEY root, const std::string& key, const std::string& name, const std::string& text)
    {
        Raw(root, key, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }
};

void ExpectItem(const Item& item, const std::string& title, const std::string& path,
                const std::string& entry, const std::string& detail, int type, int flag = 0)
{
    EXPECT_EQ(title, item.title);
    EXPECT_STRCASEEQ(path.c_str(), item.path.c_str()) << title;
    EXPECT_STRCASEEQ(entry.c_str(), item.entry.c_str()) << title;
    EXPECT_EQ(detail + "|" + std::to_string(type) + "|" + std::to_string(flag),
              item.detail + "|" + std::to_string(item.type) + "|" + std::to_string(item.flag)) << title;
}

Item OnlyItem(const std::string& title) { return OnlyWhere(&Item::title, title); }

bool KeyIsEmpty(HKEY root, const char* key)
{
    UniqueKey h;
    DWORD count = 0;
    return RegOpenKeyExA(root, key, 0, KEY_READ, h.put()) != ERROR_SUCCESS ||
           (RegQueryInfoKeyA(h.get(), 0, 0, 0, 0, 0, 0, &count, 0, 0, 0, 0) == ERROR_SUCCESS && count == 0);
}

}   // namespace

TEST(BuildRun, OnlyWellFormedCommandsAreListedRundllOnesFromTheirDll)
{
    const std::string c255 = "C:\\" + std::string(248, 'a') + ".exe";
    // Padding must not hide an entry Windows still starts: it is listed cut.
    const std::string c256 = "C:\\" + std::string(249, 'b') + ".exe";
    const std::string cut256 = c256.substr(0, 255);
    const std::string longName(300, 'N');
    // Over the 4096 bytes of a registry text: never listed, and the walk
    // goes on behind it.
    const std::string huge = "C:\\" + std::string(5000, 'h') + ".exe";
    const DWORD number = 0x41414141;
    const char binary[] = "C:\\VlApps\\binary.exe";
    const char open[] = "C:\\VlApps\\nozero.exe";
    const char expand[] = "%SystemRoot%\\vlexpand.exe";
    struct Case {
        std::string name;
        DWORD type;
        const void* data;
        DWORD size;   // 0: the text with its terminating zero
        const char* listedAs;   // nullptr: not listed
        int flag;
    };
    const Case cases[] = {
        {"X", REG_SZ, "C:\\VlApps\\onechar.exe", 0, nullptr, 0},
        {"Vq", REG_SZ, "C:\\VlApps\\twochar.exe", 0, "C:\\VlApps\\twochar.exe", 0},
        {"VlFour", REG_SZ, "a.ex", 0, nullptr, 0},
        {"VlFive", REG_SZ, "ab.ex", 0, "ab.ex", 0},
        {"\xE9VlHigh", REG_SZ, "C:\\VlApps\\high.exe", 0, nullptr, 0},
        {"", REG_SZ, "C:\\VlApps\\default.exe", 0, nullptr, 0},
        {"VlLong256", REG_SZ, c256.c_str(), 0, cut256.c_str(), 0},
        {"VlLong255", REG_SZ, c255.c_str(), 0, c255.c_str(), 0},
        {longName, REG_SZ, "C:\\VlApps\\longname.exe", 0, nullptr, 0},
        {"VlHuge", REG_SZ, huge.c_str(), 0, nullptr, 0},
        {"VlDword", REG_DWORD, &number, sizeof number, nullptr, 0},
        {"VlBinary", REG_BINARY, binary, sizeof binary, nullptr, 0},
        {"VlNoZero", REG_SZ, open, sizeof open - 1, open, 0},
        {"VlEq=%s%n%%", REG_SZ, "C:\\VlApps\\%s%n\\pct=1.exe %d", 0, "C:\\VlApps\\%s%n\\pct=1.exe %d", 0},
        {"VlExpand", REG_EXPAND_SZ, expand, sizeof expand, expand, 0},
        {"VlRundll", REG_SZ, "rundll32.exe C:\\VlDlls\\helper.dll,Start", 0, "C:\\VlDlls\\helper.dll,Start", 1},
        {"VlRundllUpper", REG_SZ, "C:\\WINDOWS\\System32\\RUNDLL32.EXE shell32.dll,Control_RunDLL desk.cpl",
         0, "shell32.dll,Control_RunDLL desk.cpl", 1},
        {"VlRundllBare", REG_SZ, "rundll32.exe", 0, "", 1},
        {"VlNotRundll", REG_SZ, "C:\\VlApps\\rundll.exe /x", 0, "C:\\VlApps\\rundll.exe /x", 0},
        {"VlAfterBad", REG_SZ, "C:\\VlApps\\after.exe", 0, "C:\\VlApps\\after.exe", 0},
    };
    Fixture fx;
    for (const Case& c : cases) {
        const DWORD size = c.size ? c.size : static_cast<DWORD>(strlen(static_cast<const char*>(c.data)) + 1);
        fx.Raw(HKEY_CURRENT_USER, kUserRun, c.name, c.type, c.data, size);
    }
    ClearItems();
    BuildRun();
    for (const Case& c : cases) {
        if (c.listedAs) {
            ExpectItem(OnlyItem(c.name), c.name, c.listedAs, "", "", 11, c.flag);
        } else {
            EXPECT_TRUE(IndexesOf(c.name).empty()) << c.name;
            if (c.type == REG_SZ) {
                EXPECT_TRUE(IndexesWithPath(static_cast<const char*>(c.data)).empty()) << c.name;
            }
        }
    }
}

TEST(BuildRun, APairRepeatedRightBehindItselfIsListedOnceButAgainLaterOn)
{
    // The values must be neighbours: the keys may hold only what this test writes.
    for (int code : {5, 6, 7, 11}) {
        if (!KeyIsEmpty(RootOf(code), KeyOf(code))) GTEST_SKIP() << KeyOf(code) << " in use";
    }
    Fixture fx;
    fx.Text(HKEY_LOCAL_MACHINE, KeyOf(5), "VlDup", "C:\\VlApps\\Dup.exe");
    fx.Text(HKEY_LOCAL_MACHINE, KeyOf(6), "vldup", "c:\\vlapps\\dup.exe");
    fx.Text(HKEY_LOCAL_MACHINE, KeyOf(7), "VlBetween", "C:\\VlApps\\between.exe");
    // Remembered from the machine root to the user root.
    fx.Text(HKEY_CURRENT_USER, KeyOf(11), "VlBetween", "C:\\VlApps\\BETWEEN.EXE");
    fx.Text(HKEY_CURRENT_USER, KeyOf(11), "VlDup", "C:\\VlApps\\Dup.exe");
    ClearItems();
    BuildRun();
    std::vector<int> dup = IndexesOf("VlDup");
    ASSERT_EQ(2u, dup.size());
    EXPECT_EQ(5, ReadItem(dup[0]).type);
    EXPECT_EQ(11, ReadItem(dup[1]).type);
    EXPECT_TRUE(IndexesOf("vldup").empty());
    ExpectItem(OnlyItem("VlBetween"), "VlBetween", "C:\\VlApps\\between.exe", "", "", 7);
}

TEST(BuildRun, AValueThatComesBackWhileDisabledIsParkedAgainWithItsNewCommand)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    Fixture fx;
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlComeback", "C:\\VlApps\\comeback.exe /new");
    fx.Text(HKEY_CURRENT_USER, kUserRun, "VlComebackNext", "C:\\VlApps\\following.exe");
    // The same title in the machine's key is an entry of its own.
    fx.Text(HKEY_LOCAL_MACHINE, KeyOf(1), "VlComeback", "C:\\VlApps\\machine.exe");
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlComeback", "11"));
    const std::string store = std::string(kMarkers) + "\\Run";
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, store.c_str(), "VlComeback", "C:\\VlApps\\comeback.exe /old"));

    // The scan program lists what it finds and changes nothing.
    std::string out;
    ASSERT_EQ(0, RunCaptured("\"" + BuildPath("reports\\VelmoraScan.exe") + "\" startup", &out, nullptr));
    EXPECT_NE(out.find("VlComeback\tC:\\VlApps\\comeback.exe /new"), std::string::npos) << out;
    EXPECT_EQ("C:\\VlApps\\comeback.exe /new", Reg(HKEY_CURRENT_USER, kUserRun, "VlComeback"));
    EXPECT_EQ("C:\\VlApps\\comeback.exe /old", Reg(HKEY_LOCAL_MACHINE, store.c_str(), "VlComeback"));

    BuildStartupList(1);
    EXPECT_EQ(kMissing, Reg(HKEY_CURRENT_USER, kUserRun, "VlComeback"));
    EXPECT_EQ("C:\\VlApps\\comeback.exe /new", Reg(HKEY_LOCAL_MACHINE, store.c_str(), "VlComeback"));
    EXPECT_EQ("11", Reg(HKEY_LOCAL_MACHINE, kMarkers, "VlComeback"));
    EXPECT_EQ("C:\\VlApps\\machine.exe", Reg(HKEY_LOCAL_MACHINE, KeyOf(1), "VlComeback"));
    // Listed twice: active from the machine's key, disabled from the store.
    const std::vector<int> listed = IndexesOf("VlComeback");
    ASSERT_EQ(2u, listed.size());
    ExpectItem(ReadItem(listed[0]), "VlComeback", "C:\\VlApps\\machine.exe", "", "", 1);
    ExpectItem(ReadItem(listed[1]), "VlComeback", "C:\\VlApps\\comeback.exe /new", "", "", 11);
    // Its removal moved the next value onto its index; that one is not lost.
    EXPECT_EQ(1u, IndexesOf("VlComebackNext").size());
}

TEST(GetDisabledPrograms, ListsMarkedStoreValuesAndTheParkedFolder)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    const struct {
        const char* key;
        const char* name;
        const char* marker;   // nullptr: no marker
    } stored[] = {
        {"WinRun", "VlDisWin", "101"},   {"Policy", "VlDisPol", "17"},
        {"Run", "VlDisRun", "1"},        {"RunOnce", "VlDisZero", "0"},
        {"RunOnce", "VlDisWord", "abc"}, {"RunOnce", "VlDisNoMarker", nullptr},
        {"RunOnce", "", "1"},            {"WinNotify", "VlDisNotify", "256"},
    };
    for (const auto& s : stored) {
        const std::string key = std::string(kMarkers) + "\\" + s.key;
        const std::string command = std::string("C:\\VlApps\\") + s.key + s.name + ".exe";
        ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, key.c_str(), s.name, command));
        if (s.marker) {
            ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, s.name, s.marker));
        }
    }
    const DWORD number = 0x41414141;
    ASSERT_TRUE(SetRaw(HKEY_LOCAL_MACHINE, (std::string(kMarkers) + "\\RunServices").c_str(), "VlDisDword",
                       REG_DWORD, &number, sizeof number));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlDisDword", "4"));

    char programFolder[MAX_PATH] = "";
    GetProgramFolder(programFolder);
    const std::string parked = std::string(programFolder) + "\\Disabled";
    const bool hadFolder = Exists(parked);
    CreateDirectoryA(parked.c_str(), nullptr);
    TempFile link(parked + "\\vl parked.lnk");
    ASSERT_EQ(S_OK, CreateShortcut(link.path().c_str(), kFixture.c_str(), "", "", "Vl Parked",
                                   kFixture.c_str(), 0));

    ClearItems();
    GetDisabledPrograms();
    std::vector<int> at;
    for (const char* title : {"VlDisRun", "VlDisPol", "VlDisWin", "Vl Parked"})
        at.push_back(IndexesOf(title).empty() ? -1 : IndexesOf(title)[0]);
    ExpectItem(OnlyItem("VlDisRun"), "VlDisRun", "C:\\VlApps\\RunVlDisRun.exe", "", "", 1);
    ExpectItem(OnlyItem("VlDisPol"), "VlDisPol", "C:\\VlApps\\PolicyVlDisPol.exe", "", "", 17);
    ExpectItem(OnlyItem("VlDisWin"), "VlDisWin", "C:\\VlApps\\WinRunVlDisWin.exe", "", "", 101);
    ExpectItem(OnlyItem("Vl Parked"), "Vl Parked", kFixture, link.path(), "", 200);
    EXPECT_TRUE(at[0] < at[1] && at[1] < at[2] && at[2] < at[3]) << "store keys in order, then the folder";
    for (const char* absent : {"VlDisZero", "VlDisWord", "VlDisNoMarker", "VlDisNotify", "VlDisDword"})
        EXPECT_TRUE(IndexesOf(absent).empty()) << absent;
    EXPECT_TRUE(IndexesWithPath("C:\\VlApps\\RunOnce.exe").empty()) << "the default value";

    link.Remove();
    if (!hadFolder) RemoveTree(parked);
}

TEST(Winlogon, UserinitAndShellYieldTheProgramBehindTheSystemsOwn)
{
    Fixture fx;
    fx.Raw(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", REG_SZ, nullptr, 0);
    fx.Raw(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", REG_SZ, nullptr, 0);
    const struct {
        const char* name;
        std::string value;   // "-": the value is missing
        int found;
        const char* program;
    } cases[] = {
        {"Userinit", "C:\\WINDOWS\\system32\\userinit.exe,", 1, "C:\\WINDOWS\\system32\\userinit.exe"},
        {"Userinit", "C:\\WINDOWS\\system32\\userinit.exe,C:\\VlApps\\logon.exe", 1, "C:\\VlApps\\logon.exe"},
        {"Userinit", "userinit.exe,   ", 1, "userinit.exe"},
        {"Userinit", "C:\\WINDOWS\\system32\\userinit.exe", 0, ""},
        {"Userinit", "userinit.exe," + std::string(300, 'x'), 0, ""},
        {"Userinit", "-", 0, ""},
        {"Shell", "Explorer.exe", 1, "Explorer.exe"},
        {"Shell", "Explorer.exe    C:\\VlApps\\shell.exe", 1, "C:\\VlApps\\shell.exe"},
        {"Shell", "Explorer.exe    ", 1, "Explorer.exe"},
        {"Shell", "", 0, ""},
    };
    for (const auto& c : cases) {
        if (c.value == "-") RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kWinlogon, c.name);
        else ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kWinlogon, c.name, c.value));
        char out[MAX_PATH] = "stale";
        const bool userinit = strcmp(c.name, "Userinit") == 0;
        EXPECT_EQ(c.found, userinit ? GetWinLogon_Userinit(out) : GetWinLogon_Shell(out))
            << "[" << c.value << "]";
        EXPECT_STREQ(c.program, out) << "[" << c.value << "]";
    }
}

TEST(BuildRegInfo, HookKeysAppInitAndNotifyAreListedWithTheirServers)
{
    Fixture fx;
    const std::string clsid = std::string("CLSID\\") + kHookClass;
    fx.Key(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32");
    ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, clsid.c_str(), "", "Vl Hook Class"));
    ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, (clsid + "\\InprocServer32").c_str(), "", kFixture));
    fx.Text(HKEY_LOCAL_MACHINE, kDelayLoad, "VlDelay", kHookClass);
    fx.Text(HKEY_LOCAL_MACHINE, kDelayLoad, "VlDelayUnknown", kUnknownClass);
    const DWORD number = 7;
    fx.Raw(HKEY_LOCAL_MACHINE, kDelayLoad, "VlDelayDword", REG_DWORD, &number, sizeof number);
    // The value's name is what loads: data of any type is only its title.
    fx.Raw(HKEY_LOCAL_MACHINE, kSharedTaskScheduler, kHookClass, REG_DWORD, &number, sizeof number);
    fx.Text(HKEY_LOCAL_MACHINE, kShellExecuteHooks, kHookClass, "Vl Exec Hook");
    fx.Text(HKEY_LOCAL_MACHINE, kWindowsNt, "AppInit_Dlls", kFixture + ", C:\\VlDlls\\b.dll");
    fx.Key(HKEY_LOCAL_MACHINE, kNotify);
    fx.Text(HKEY_LOCAL_MACHINE, std::string(kNotify) + "\\VlNotify", "DllName", kFixture);
    fx.Text(HKEY_LOCAL_MACHINE, std::string(kNotify) + "\\VlNotifyEmpty", "DllName", "");
    fx.Key(HKEY_LOCAL_MACHINE, std::string(kNotify) + "\\VlNotifyNone");

    ClearItems();
    BuildRegInfo();
    ExpectItem(OnlyItem("VlDelay"), "VlDelay", kFixture, kHookClass, "3.1.4.1", 252);
    ExpectItem(OnlyItem("VlDelayUnknown"), "VlDelayUnknown", "", kUnknownClass, "", 252);
    ExpectItem(OnlyItem("Vl Hook Class"), "Vl Hook Class", kFixture, kHookClass, "3.1.4.1", 253);
    ExpectItem(OnlyItem("Vl Exec Hook"), "Vl Exec Hook", kFixture, kHookClass, "3.1.4.1", 254);
    ExpectItem(OnlyItem("VlNotify"), "VlNotify", kFixture, "Startup Fixture Launcher", "3.1.4.1", 256);
    for (const char* absent : {"VlDelayDword", "VlNotifyEmpty", "VlNotifyNone"})
        EXPECT_TRUE(IndexesOf(absent).empty()) << absent;
    std::vector<int> appInit;
    for (int i = 0; i < ItemCount(); ++i)
        if (GetItemType(i) == 255) appInit.push_back(i);
    ASSERT_EQ(3u, appInit.size()) << "every piece is listed, even an empty one";
    ExpectItem(ReadItem(appInit[0]), "Startup Fixture Suite", kFixture, "Startup Fixture Works",
               "3.1.4.1", 255);
    ExpectItem(ReadItem(appInit[1]), "", "", "", "", 255);
    ExpectItem(ReadItem(appInit[2]), "b.dll", "C:\\VlDlls\\b.dll", "", "", 255);
}

TEST(BuildStartupList, PassesFollowInOrderAndThePlainPageLeavesOutWinlogonAndHooks)
{
    Fixture fx;
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    SavedProfile run("run"), load("load");
    fx.Raw(HKEY_CURRENT_USER, kOptionsKey, "ShowAllStartup", REG_SZ, nullptr, 0);
    fx.Raw(HKEY_CURRENT_USER, kOptionsKey, "Update", REG_SZ, nullptr, 0);
    fx.Text(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit",
            "C:\\WINDOWS\\system32\\userinit.exe,C:\\VlApps\\logon.exe");
    fx.Text(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "Explorer.exe C:\\VlApps\\shell.exe");
    fx.Text(HKEY_LOCAL_MACHINE, kDelayLoad, "VlListDelay", kUnknownClass);
    const std::vector<int> codes = {1, 2, 3, 4, 5, 6, 7, 11, 12, 13, 14, 15, 16, 17};
    auto name = [](int code) { return "VlRunKey" + std::to_string(code); };
    auto path = [](int code) { return "C:\\VlApps\\prog" + std::to_string(code) + ".exe /arg"; };
    for (int code : codes) fx.Text(RootOf(code), KeyOf(code), name(code), path(code));
    TempFile batch(UserStartupFolder() + "\\vl_order.bat");
    ASSERT_TRUE(WriteTextFile(batch.path(), "x"));
    // win.ini: run before load, empty pieces skipped, a title from the version texts.
    ASSERT_TRUE(WriteProfileStringA("windows", "run", (kFixture + ";;C:\\VlApps\\orderwin.exe;").c_str()) &&
                WriteProfileStringA("windows", "load", "C:\\VlApps\\winload.exe"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, (std::string(kMarkers) + "\\Run").c_str(), "VlOrderDis",
                        "C:\\VlApps\\orderdis.exe"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlOrderDis", "1"));

    ClearItems();
    AddItem("VlLeftOver", "C:\\VlApps\\left.exe", "", "", 1, 0);
    EXPECT_EQ(ItemCount(), BuildStartupList(0));
    EXPECT_TRUE(IndexesOf("VlLeftOver").empty()) << "the list is cleared first";
    // Machine keys in table order, then user keys, then the other passes.
    std::vector<std::vector<int>> order;
    for (int code : codes) order.push_back(IndexesOf(name(code)));
    order.insert(order.end(), {IndexesWithPath(batch.path()), IndexesOf("Startup Fixture Suite"),
                               IndexesOf("run"), IndexesOf("load"), IndexesOf("VlOrderDis"),
                               IndexesOf("Winlogon Userinit"), IndexesOf("Winlogon Shell"),
                               IndexesOf("VlListDelay")});
    int previous = -1;
    for (const std::vector<int>& at : order) {
        ASSERT_EQ(1u, at.size()) << previous;
        EXPECT_GT(at[0], previous);
        previous = at[0];
    }
    for (size_t i = 0; i < codes.size(); ++i)
        ExpectItem(ReadItem(order[i][0]), name(codes[i]), path(codes[i]), "", "", codes[i]);
    ExpectItem(ReadItem(order[codes.size() + 1][0]), "Startup Fixture Suite", kFixture, "", "", 101);
    ExpectItem(ReadItem(order[codes.size() + 2][0]), "run", "C:\\VlApps\\orderwin.exe", "", "", 101);
    ExpectItem(ReadItem(order[codes.size() + 3][0]), "load", "C:\\VlApps\\winload.exe", "", "", 100);
    const size_t others = codes.size() + 5;
    ExpectItem(ReadItem(order[others][0]), "Winlogon Userinit", "C:\\VlApps\\logon.exe", "", "", 250);
    ExpectItem(ReadItem(order[others + 1][0]), "Winlogon Shell", "C:\\VlApps\\shell.exe", "", "", 251);
    ExpectItem(ReadItem(order[others + 2][0]), "VlListDelay", "", kUnknownClass, "", 252);

    for (int showAll : {0, 1}) {
        WriteOption("ShowAllStartup", showAll);
        BuildStartupList(1);
        for (const char* title : {"Winlogon Userinit", "Winlogon Shell", "VlListDelay"})
            EXPECT_EQ(showAll == 1, !IndexesOf(title).empty()) << title << " ShowAllStartup " << showAll;
    }
}
