// The monitor's stores, options and first run against the real registry of
// the Wine machine. Every test keeps HKCU "Software\Corvath" and the
// monitor's machine Run values as they were.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/monitor.h"
#include "tests/catalogue/startuptest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;

namespace {

constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kStale = "C:\\gone\\stale.exe";
const std::string kCommand = FixturePath("startup_fixture.exe").insert(0, 1, '"').append("\" /mode=quiet");

std::string MonitorCommand()
{
    char folder[MAX_PATH] = "";
    GetProgramFolder(folder);
    return std::string(folder) + "\\velmora.exe";
}

// A value of the given type whose data is `data` (REG_SZ with its zero);
// REG_NONE deletes the value.
bool SetTyped(const char* key, const char* name, DWORD type, std::string data)
{
    if (type == REG_NONE) return RegDeleteKeyValueA(HKEY_CURRENT_USER, key, name) != ERROR_ACCESS_DENIED;
    if (type == REG_SZ) data.push_back('\0');
    if (type == REG_DWORD) data.resize(4);
    return SetRaw(HKEY_CURRENT_USER, key, name, type, data.data(), static_cast<DWORD>(data.size()));
}

// The value names of a key that contain `part` (any case).
std::vector<std::string> NamesWith(const char* key, const char* part)
{
    std::vector<std::string> found;
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return found;
    char name[1024];
    for (DWORD i = 0, n = sizeof(name); RegEnumValueA(h, i++, name, &n, 0, 0, 0, 0) == 0; n = sizeof(name))
        if (ContainsNoCase(name, part)) found.push_back(name);
    RegCloseKey(h);
    return found;
}

bool KeyExists(const std::string& key)
{
    HKEY h = nullptr;
    const bool open = RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS;
    if (open) RegCloseKey(h);
    return open;
}

class Stores : public ::testing::Test {
protected:
    SavedValue machineEntry_{HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora"};
    SavedValue primeEntry_{HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora PRIME"};
    SavedValue userEntry_{HKEY_CURRENT_USER, kUserRun, "VlStoresTest"};
    // Initial values also take the monitored system files.
    ScratchKey sysfiles_{HKEY_LOCAL_MACHINE, kSysfilesKey};
    SavedUserTree corvath_{"Software\\Corvath"};

    void SetUp() override
    {
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kUserRun, "VlStoresTest", kCommand));
        GetMonitorState() = MonitorState{};
    }
    // The approval the startup store holds for the test's Run entry.
    static std::string Approval()
    {
        const std::vector<std::string> names = NamesWith(kApprovedRunKey, "startup_fixture.exe");
        return names.size() == 1 ? Reg(HKEY_CURRENT_USER, kApprovedRunKey, names[0]) : kMissing;
    }
    static void Unapprove()
    {
        for (const std::string& name : NamesWith(kApprovedRunKey, "startup_fixture"))
            SetTyped(kApprovedRunKey, name.c_str(), REG_NONE, "");
    }
};

TEST_F(Stores, FirstRunCreatesTheKeysAndApprovesWhatStartsNow)
{
    GetInitialValues();
    for (const char* key : {"Nuts", "Cookies", "Options", "Run", "IEHelpers", "HostFile", "Tasks"})
        EXPECT_TRUE(KeyExists(std::string(kVelmoraKey) + "\\" + key)) << key;
    EXPECT_NE(kMissing, Reg(HKEY_CURRENT_USER, kVelmoraKey, ""));
    EXPECT_EQ("12.0.2007.5", Reg(HKEY_CURRENT_USER, kVelmoraKey, "Version"));
    EXPECT_EQ("11", Approval());
    EXPECT_EQ(1u, NamesWith(kApprovedRunKey, "/mode:quiet").size());
    EXPECT_EQ(1u, NamesWith(kDetectedStartupKey, "STARTUP_FIXTURE.EXE").size());
    EXPECT_EQ(MonitorCommand(), Reg(HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora"));
    EXPECT_TRUE(GetMonitorState().autostart);
}

TEST_F(Stores, OnlyAMissingFirstRunMarkerApprovesAgain)
{
    const DWORD markers[] = {REG_SZ, REG_DWORD, REG_NONE};   // the date, damaged, deleted
    GetInitialValues();
    for (const DWORD type : markers) {
        Unapprove();
        if (type != REG_SZ) SetTyped(kVelmoraKey, "", type, "\x07");
        GetInitialValues();
        EXPECT_EQ(type == REG_NONE ? "11" : kMissing, Approval()) << type;
    }
}

TEST_F(Stores, AnotherBuildOrTheCleanupOptionRebuildsTheSnapshots)
{
    // type: of "Version", REG_NONE when it is missing
    struct Case { DWORD type; const char* version; const char* cleanup; bool rebuilt; } const cases[] = {
        {REG_SZ, "11.0.2006.1", "0", true}, {REG_SZ, "Velmora 12.0.2007.5 beta", "0", false},
        {REG_NONE, "", "0", true}, {REG_DWORD, "\x0C", "0", true}, {REG_SZ, "", "0", true},
        {REG_SZ, "12.0.2007.5", "1", true}, {REG_SZ, "12.0.2007.5", "abc", false}};
    GetInitialValues();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        Unapprove();
        SetText(HKEY_CURRENT_USER, kApprovedRunKey, kStale, "11");
        SetTyped(kVelmoraKey, "Version", c.type, c.version);
        SetText(HKEY_CURRENT_USER, kOptionsKey, "Cleanup", c.cleanup);
        GetInitialValues();
        EXPECT_EQ(c.rebuilt, Reg(HKEY_CURRENT_USER, kApprovedRunKey, kStale) == kMissing);
        EXPECT_EQ(c.rebuilt ? "11" : kMissing, Approval());
        EXPECT_TRUE(ContainsNoCase(Reg(HKEY_CURRENT_USER, kVelmoraKey, "Version").c_str(), "12.0.2007.5"));
        EXPECT_EQ(c.cleanup[0] == '1' ? "0" : c.cleanup, Reg(HKEY_CURRENT_USER, kOptionsKey, "Cleanup"));
    }
}

TEST_F(Stores, ApprovalsKeepTheFormatsBothProgramsRead)
{
    // data: null for a date
    struct Case { ApprovalStore store; const char* name; const char* valueName; const char* data; } const cases[] = {
        {kStoreRun, "C:\\a b\\x.exe /k=v", "C:\\a b\\x.exe /k:v", "11"},
        {kStoreIEHelpers, "Helper=Bar", "Helper=Bar", "11"},  {kStoreTasks, "Backup.job", "Backup.job", "11"},
        {kStoreServices, "Spooler", "Spooler", "11"},         {kStoreHidden, "C:\\x=y.sys", "C:\\x=y.sys", nullptr},
        {kStoreCookies, "user@site", "user@site", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(1, WriteApproval(c.store, c.name, 11));
        const std::string data = Reg(HKEY_CURRENT_USER, ApprovalStoreKey(c.store), c.valueName);
        EXPECT_TRUE(c.data ? data == c.data : data != kMissing && !data.empty() && data.size() < 24) << data;
        EXPECT_EQ(1, IsApproved(c.store, c.name));
        EXPECT_EQ(1, RemoveApproval(c.store, c.name));
        EXPECT_EQ(0, IsApproved(c.store, c.name));
    }
    const std::pair<int, const char*> detected[] = {{299, kDetectedStartupKey}, {300, kDetectedActiveTasksKey},
        {370, kDetectedHiddenKey}, {400, kDetectedFileTypesKey}, {701, kDetectedServicesKey},
        {800, kDetectedTasksKey}, {902, kDetectedIEHelperKey}, {-1, nullptr}};
    for (const auto& [code, key] : detected) EXPECT_STREQ(key, DetectedStoreOfType(code)) << code;
}

TEST_F(Stores, DamagedValuesNeverCountAsApproved)
{
    struct Case { ApprovalStore store; DWORD type; std::string data; int approved; } const cases[] = {
        {kStoreRun, REG_SZ, "abc", 0}, {kStoreRun, REG_SZ, "", 0}, {kStoreRun, REG_SZ, "0", 0},
        {kStoreRun, REG_DWORD, "\x0B", 0}, {kStoreRun, REG_BINARY, "11", 0}, {kStoreRun, REG_SZ, std::string(40, '1'), 0},
        {kStoreRun, REG_SZ, "99999999999", 0}, {kStoreRun, REG_SZ, "1103", 1}, {kStoreIEHelpers, REG_SZ, "901", 1},
        {kStoreIEHelpers, REG_SZ, "0000000000000901", 0}, {kStoreHidden, REG_SZ, "", 0},
        {kStoreHidden, REG_DWORD, "\x01", 0}, {kStoreCookies, REG_SZ, "1", 1}};
    for (const Case& c : cases) {
        ASSERT_TRUE(SetTyped(ApprovalStoreKey(c.store), "C:\\damaged.exe", c.type, c.data));
        EXPECT_EQ(c.approved, IsApproved(c.store, "C:\\damaged.exe")) << c.data;
    }
    EXPECT_EQ(1103, ReadApproval(kStoreRun, "C:\\damaged.exe"));
}

// A check reads a whole list's approvals through one handle: it must see
// what is approved and removed while it holds the handle, and a store made
// only after it asked.
TEST_F(Stores, AnApprovalReaderSeesApprovalsWrittenAndRemovedWhileItIsOpen)
{
    ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kApprovedRunKey));
    ApprovalReader absent;
    EXPECT_EQ(OpenApprovalReader(kStoreRun, &absent), 0);
    EXPECT_EQ(ReadApprovalFrom(absent, "C:\\Vl\\later.exe"), 0);
    ASSERT_EQ(WriteApproval(kStoreRun, "C:\\Vl\\later.exe", 11), 1);
    EXPECT_EQ(ReadApprovalFrom(absent, "C:\\Vl\\later.exe"), 11);

    ApprovalReader open;
    ASSERT_EQ(OpenApprovalReader(kStoreRun, &open), 1);
    EXPECT_EQ(ReadApprovalFrom(open, "C:\\Vl\\later.exe"), 11);
    ASSERT_EQ(WriteApproval(kStoreRun, "C:\\Vl\\a=b.exe", 1103), 1);
    EXPECT_EQ(ReadApprovalFrom(open, "C:\\Vl\\a=b.exe"), 1103);
    EXPECT_EQ(ReadApprovalFrom(open, "c:\\vl\\A:B.EXE"), 1103);
    ASSERT_EQ(RemoveApproval(kStoreRun, "C:\\Vl\\later.exe"), 1);
    EXPECT_EQ(ReadApprovalFrom(open, "C:\\Vl\\later.exe"), 0);
    ASSERT_TRUE(SetTyped(kApprovedRunKey, "C:\\Vl\\damaged.exe", REG_SZ, "99999999999"));
    EXPECT_EQ(ReadApprovalFrom(open, "C:\\Vl\\damaged.exe"), 0);
    EXPECT_EQ(ReadApprovalFrom(open, ""), 0);
    ApprovalReader cookies;
    OpenApprovalReader(kStoreCookies, &cookies);
    EXPECT_EQ(ReadApprovalFrom(cookies, "anything"), 0);   // not a type-code store
}

// The stores are read through handles the process keeps open: a store that
// is deleted and made again, by this process or another, is read as it is
// now, never through the handle of the deleted one.
TEST_F(Stores, AStoreDeletedAndMadeAgainIsReadAsItIsNow)
{
    for (ApprovalStore store : {kStoreServices, kStoreCookies}) {
        const char* key = ApprovalStoreKey(store);
        SCOPED_TRACE(key);
        ASSERT_EQ(WriteApproval(store, "Vl Kept Open", 701), 1);
        EXPECT_EQ(IsApproved(store, "Vl Kept Open"), 1);
        EXPECT_EQ(IsApproved(store, "Vl Never Approved"), 0);
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, key));
        EXPECT_EQ(IsApproved(store, "Vl Kept Open"), 0);
        ASSERT_EQ(WriteApproval(store, "Vl Kept Open", 701), 1);
        EXPECT_EQ(IsApproved(store, "Vl Kept Open"), 1);
        // Deleted and made again between two reads, with the approval back.
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, key));
        ASSERT_TRUE(SetTyped(key, "Vl Kept Open", REG_SZ, "701"));
        EXPECT_EQ(IsApproved(store, "Vl Kept Open"), 1);
        ASSERT_EQ(RemoveApproval(store, "Vl Kept Open"), 1);
        EXPECT_EQ(IsApproved(store, "Vl Kept Open"), 0);
    }
    EXPECT_EQ(ReadApproval(kStoreServices, "Vl Kept Open"), 0);
    ASSERT_TRUE(SetTyped(kApprovedServicesKey, "Vl Kept Open", REG_SZ, "700"));
    EXPECT_EQ(ReadApproval(kStoreServices, "Vl Kept Open"), 700);
}

TEST_F(Stores, OnlyAMarkerNotBeginningWithPRebuildsItsStore)
{
    struct Case { DWORD type; const char* marker; bool keptStale; } const cases[] = {{REG_SZ, "Px", true}, {REG_SZ, "X", false}, {REG_DWORD, "P", true}};
    for (const Case& c : cases) {
        for (const char* key : {kApprovedServicesKey, kApprovedHiddenKey}) {
            SCOPED_TRACE(c.marker);
            SetText(HKEY_CURRENT_USER, key, kStale, "11");
            SetTyped(key, "", c.type, c.marker);
            InitServicesStore();
            InitHiddenStore();
            EXPECT_EQ(c.keptStale, Reg(HKEY_CURRENT_USER, key, kStale) == "11");
            EXPECT_EQ("P", Reg(HKEY_CURRENT_USER, key, "").substr(0, 1));
        }
    }
    for (const DWORD type : {REG_DWORD, REG_NONE}) {   // damaged, but present; deleted
        SetTyped(kDetectedKey, "", type, "\x01");
        InitDetectedStores();
        EXPECT_EQ(type == REG_NONE ? 1u : 0u, NamesWith(kDetectedStartupKey, "STARTUP_FIXTURE").size());
    }
}

TEST_F(Stores, OptionsOutOfRangeNeverRunAChecksTooOften)
{
    // due: which of six passes run the check
    struct Case { DWORD type; std::string data; int reset; const char* due; } const cases[] = {
        {REG_SZ, "2", 2, "010101"}, {REG_SZ, "-3", -3, "000000"}, {REG_SZ, "abc", 0, "000000"},
        {REG_SZ, "", 2, "010101"},  {REG_DWORD, "\x01", 2, "010101"}, {REG_SZ, std::string(200, '1'), 2, "010101"},
        {REG_SZ, "99999999999", 2147483647, "000000"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        ASSERT_TRUE(SetTyped(kOptionsKey, "Start", c.type, c.data));
        GetMonitorState().halfB = true;
        LoadMonitorOptions();
        EXPECT_EQ(c.reset, GetMonitorState().checks[kCheckStartup].reset);
        EXPECT_FALSE(GetMonitorState().halfB);
        std::string due;
        for (int i = 0; i < 6; ++i) due += TakeDueCheck(kCheckStartup) ? '1' : '0';
        EXPECT_EQ(c.due, due);
    }
    // A parked restart-command check comes back only with a larger option.
    GetMonitorState().checks[kCheckWinInit].countdown = kWinInitParked;
    struct Bound { const char* option; const char* text; int expected; } const bounds[] = {
        {"MaxCookie", "-5", 0},   {"MaxCookie", "999999", kMaxItems},  {"TrayIcon", "-7", 101},
        {"TrayIcon", "70000", 101}, {"WinInit", "5", kWinInitParked}, {"WinInit", "100000", 100000}};
    for (const Bound& b : bounds) {
        SetText(HKEY_CURRENT_USER, kOptionsKey, b.option, b.text);
        LoadMonitorOptions();
        const MonitorState& m = GetMonitorState();
        const int got = b.option[0] == 'M' ? m.maxCookie : b.option[0] == 'T' ? m.trayIcon : m.checks[kCheckWinInit].countdown;
        EXPECT_EQ(b.expected, got) << b.option << " " << b.text;
    }
}

TEST_F(Stores, OwnAutostartEntryIsWrittenApprovedAndRemoved)
{
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora");
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora PRIME");
    EXPECT_EQ(0, IsMonitorAutostart());
    EXPECT_EQ(1, SetMonitorAutostart(1));
    EXPECT_EQ(MonitorCommand(), Reg(HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora"));
    EXPECT_EQ("1", Reg(HKEY_CURRENT_USER, kApprovedRunKey, MonitorCommand()));
    EXPECT_TRUE(IsMonitorAutostart() && GetMonitorState().autostart);
    EXPECT_EQ(1, SetMonitorAutostart(0));
    EXPECT_EQ(kMissing, Reg(HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora"));
    EXPECT_EQ(kMissing, Reg(HKEY_CURRENT_USER, kApprovedRunKey, MonitorCommand()));
    EXPECT_FALSE(IsMonitorAutostart() || GetMonitorState().autostart);
    SetText(HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora PRIME", "velmora.exe");
    EXPECT_EQ(1, IsMonitorAutostart());
}

}  // namespace
