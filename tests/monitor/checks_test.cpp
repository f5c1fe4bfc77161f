// The catalogue checks against the real registry, files, services and tasks
// of the Wine machine. What the machine already lists is approved first, so
// only the test's own items are new; HKCU "Software\Corvath" is put back.
// Where a check asks, a helper thread answers the real alert.
#include <gtest/gtest.h>

#include <string>

#include "monitor/monitor.h"
#include "tests/catalogue/tasktest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;
using namespace tasktest;

namespace {

// Long enough for an alert to come up.
constexpr int kAnswerWaitMs = 5000;
constexpr const char* kProgramAlert = "Velmora New Program Alert";

// Runs a check with alerts suppressed (answer 0) or shown and answered by
// clicking `answer` in the alert titled `caption`.
void RunAnswered(void (*check)(), int answer, const char* caption = kProgramAlert)
{
    GetMonitorState().hideAlerts = answer ? 0 : 2;
    DialogAnswerer answerer("#32770", caption, answer ? answer : IDYES, answer ? kAnswerWaitMs : 0);
    check();
    if (answer) {
        EXPECT_TRUE(Answered(answerer)) << caption << " " << answer;
    }
}

void ApproveListed(ApprovalStore store, int (*build)(), bool byPath)
{
    build();
    for (int i = 0; i < ItemCount(); ++i) {
        const Item item = ReadItem(i);
        WriteApproval(store, (byPath ? item.path : item.title).c_str(), item.type);
    }
    ClearItems();
}

// Values of a first-detected store whose name contains `part`.
int DetectedCount(const char* key, const char* part)
{
    int found = 0;
    UniqueKey h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, h.put()) != ERROR_SUCCESS) return 0;
    char name[1024];
    for (DWORD i = 0, n = sizeof(name); RegEnumValueA(h.get(), i++, name, &n, 0, 0, 0, 0) == 0; n = sizeof(name))
        found += ContainsNoCase(name, part) ? 1 : 0;
    return found;
}

class Checks : public ::testing::Test {
protected:
    SavedUserTree corvath_{"Software\\Corvath"};
    void SetUp() override
    {
        GetMonitorState() = MonitorState{};
        CreateRegKey(HKEY_CURRENT_USER, kDetectedKey);
    }
    void TearDown() override
    {
        ClearItems();
        GetMonitorState() = MonitorState{};
    }
};

constexpr const char* kHelperId = "{7D3E1A10-5B2C-4C1E-9A11-00000000C4E1}";
const std::string kHelperKey = std::string(kIEBrowserHelpersKey) + "\\" + kHelperId;
const std::string kHelperClass = std::string("CLSID\\") + kHelperId;

TEST_F(Checks, NewIEHelperIsApprovedOnYesAndRemovedOnNoOrSuppressedUnlessApprovedByAWellFormedValue)
{
    struct HelperCase {
        int reset;
        DWORD type;   // REG_NONE: no approval value
        std::string data;
        int answer;   // 0: suppressed
        bool removed;
    };
    const HelperCase cases[] = {
        {0, REG_NONE, "", 0, false},                     // the check is off
        {1, REG_SZ, "900", 0, false},
        {1, REG_NONE, "", 0, true},
        {1, REG_SZ, "0", 0, true},
        {1, REG_SZ, std::string(40, '9'), 0, true},      // longer than the store's 16
        {1, REG_DWORD, std::string("\x84\x03\0\0", 4), 0, true},
        {1, REG_NONE, "", IDYES, false},
        {1, REG_NONE, "", IDNO, true},
    };
    OwnedKey parent(HKEY_LOCAL_MACHINE, kIEBrowserHelpersKey);
    ApproveListed(kStoreIEHelpers, BuildIEHelperList, false);
    for (const HelperCase& c : cases) {
        ScratchKey server(HKEY_CLASSES_ROOT, kHelperClass);
        ScratchKey helper(HKEY_LOCAL_MACHINE, kHelperKey);
        SetText(HKEY_LOCAL_MACHINE, kHelperKey.c_str(), "", "");
        SetText(HKEY_CLASSES_ROOT, (kHelperClass + "\\InprocServer32").c_str(), "", FixturePath("ver_os.dll"));
        BuildIEHelperList();
        const Item item = OnlyWhere(&Item::entry, kHelperId);
        ClearItems();
        if (c.type != REG_NONE)
            SetRaw(HKEY_CURRENT_USER, kApprovedIEHelpersKey, item.title.c_str(), c.type, c.data.c_str(),
                   static_cast<DWORD>(c.data.size() + (c.type == REG_SZ ? 1 : 0)));
        GetMonitorState().checks[kCheckIEHelpers].reset = c.reset;
        DeleteKeyTree(HKEY_CURRENT_USER, kDetectedIEHelperKey);
        RunAnswered(CheckIEHelpers, c.answer);
        UniqueKey registration;
        const bool present = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHelperKey.c_str(), 0, KEY_READ,
                                           registration.put()) == ERROR_SUCCESS;
        EXPECT_EQ(present, !c.removed) << c.reset << " " << c.data;
        if (c.removed || c.answer == IDYES) {
            EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApprovedIEHelpersKey, item.title), c.removed ? kMissing : "900");
        }
        EXPECT_EQ(DetectedCount(kDetectedIEHelperKey, "VER_OS.DLL"), c.answer ? 1 : 0) << c.answer;
        RemoveApproval(kStoreIEHelpers, item.title.c_str());
    }
}

constexpr const char* kServiceName = "VlCheckSvc";
constexpr const char* kServiceTitle = "Northwind Check Service";

TEST_F(Checks, NewRunningServiceIsRecordedAndStoppedAndDisabledUnlessApprovedOrAnsweredYes)
{
    struct Case {
        bool approved;
        int answer;   // 0: suppressed
        DWORD state, start;   // afterwards
    };
    const Case cases[] = {
        {true, 0, SERVICE_RUNNING, SERVICE_DEMAND_START},
        {false, 0, SERVICE_STOPPED, SERVICE_DISABLED},
        {false, IDYES, SERVICE_RUNNING, SERVICE_DEMAND_START},
        {false, IDNO, SERVICE_STOPPED, SERVICE_DISABLED},
    };
    FixtureService service(kServiceName, kServiceTitle);
    ASSERT_TRUE(service.get()) << GetLastError();
    ApproveListed(kStoreServices, [] { return BuildServiceList() + ItemCount(); }, false);
    for (const Case& c : cases) {
        RemoveApproval(kStoreServices, kServiceTitle);
        DeleteKeyTree(HKEY_CURRENT_USER, kDetectedServicesKey);
        ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START, SERVICE_NO_CHANGE, 0, 0, 0, 0, 0,
                             0, 0);
        StartServiceA(service.get(), 0, nullptr);
        ASSERT_EQ(WaitServiceState(service.get(), SERVICE_RUNNING), static_cast<DWORD>(SERVICE_RUNNING));
        if (c.approved) WriteApproval(kStoreServices, kServiceTitle, 700);
        RunAnswered(CheckServices, c.approved ? 0 : c.answer);
        EXPECT_EQ(WaitServiceState(service.get(), c.state), c.state) << c.answer;
        const std::string start = Reg(HKEY_LOCAL_MACHINE, std::string(kServicesKey) + "\\" + kServiceName, "Start");
        EXPECT_EQ(static_cast<DWORD>(start[0]), c.start) << c.answer;   // a DWORD below 256
        EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApprovedServicesKey, kServiceTitle), "700") << c.answer;
        EXPECT_EQ(DetectedCount(kDetectedServicesKey, "SVC_FIXTURE.EXE"), c.answer ? 1 : 0) << c.answer;
    }
}

// Wine's scheduler refuses a "." in a work item's name and leaves such a job
// file out of its list, so the "McAfee.com" rule cannot be reached here.
TEST_F(Checks, NewTaskIsApprovedOnYesAndDeletedOnNoOrSuppressedWhileAnApprovedOneStays)
{
    TaskNames tasks({"VlCheckNew", "VlCheckKept"});
    ASSERT_EQ(StartScheduler(), 0);
    ApproveListed(kStoreTasks, BuildTaskList, false);
    ASSERT_TRUE(CreateTask("VlCheckKept"));
    WriteApproval(kStoreTasks, "VlCheckKept.job", 800);
    for (const int answer : {0, IDYES, IDNO}) {
        RemoveApproval(kStoreTasks, "VlCheckNew.job");
        DeleteKeyTree(HKEY_CURRENT_USER, kDetectedTasksKey);
        ASSERT_TRUE(TaskExists("VlCheckNew") || CreateTask("VlCheckNew"));
        RunAnswered(CheckScheduledTasks, answer);
        EXPECT_EQ(TaskExists("VlCheckNew"), answer == IDYES) << answer;
        EXPECT_TRUE(TaskExists("VlCheckKept"));
        EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApprovedTasksKey, "VlCheckKept.job"), "800");
        EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApprovedTasksKey, "VlCheckNew.job"), answer == IDYES ? "800" : kMissing);
        EXPECT_EQ(DetectedCount(kDetectedTasksKey, "NOTEPAD.EXE"), answer ? 1 : 0) << answer;
    }
}

std::string Now()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[24];
    FormatLocalDateTime(&now, text);
    return text;
}

// Suppressed, a new hidden file is neither recorded nor dated nor moved.
TEST_F(Checks, HiddenFileIsDatedOnOkAndMovedToTheVaultOnDelete)
{
    ScratchDir dir("vlcheck_hidden");
    const std::string file = dir.file("lurker.exe");
    ASSERT_TRUE(CopyFileA(FixturePath("hidden_fixture.exe").c_str(), file.c_str(), FALSE));
    ApproveListed(kStoreHidden, BuildHiddenFileList, true);
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN);
    BuildHiddenFileList();
    ASSERT_EQ(IndexesWithPath(file).size(), 1u);
    const std::pair<std::string, int> cases[] = {
        {kMissing, 0}, {"", 0}, {std::string(40, 'x'), 0}, {kMissing, IDOK}, {kMissing, IDCANCEL}};
    for (const auto& [approval, answer] : cases) {
        DeleteRegValue(HKEY_CURRENT_USER, kApprovedHiddenKey, file.c_str());
        DeleteKeyTree(HKEY_CURRENT_USER, kDetectedHiddenKey);
        if (approval != kMissing) SetText(HKEY_CURRENT_USER, kApprovedHiddenKey, file.c_str(), approval);
        const std::string before = Now();
        RunAnswered(CheckHiddenFiles, answer);
        const std::string after = Reg(HKEY_CURRENT_USER, kApprovedHiddenKey, file);
        EXPECT_EQ(Exists(file), answer != IDCANCEL) << answer;
        if (answer == IDOK) {
            EXPECT_TRUE(!after.empty() && (after == before || after == Now())) << after;
        } else {
            EXPECT_EQ(after, approval) << answer;
        }
        EXPECT_EQ(DetectedCount(kDetectedHiddenKey, "LURKER.EXE"), answer ? 1 : 0) << answer;
    }
    EXPECT_TRUE(RestoreHiddenFileFromVault(file.c_str()));   // the vault held it
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

constexpr const char* kIEMain = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kDesktopPage = "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\0";

struct PageCase {
    const char* key;
    const char* value;
    const char* remembered;
    std::string current, stored;   // stored: kMissing for none, "#" for a number
    int hideAlerts;
    bool asks;
    std::string browserAfter, rememberedAfter;
};

TEST_F(Checks, ChangedPagesAreRememberedOnYesAndPutBackWhenRejected)
{
    const std::string newPage = "http://new.example.com/", oldPage = "http://old.example.com";
    const std::string percent = "http://x.example.com/%s%n%d";
    const PageCase cases[] = {
        {kIEMain, "Start Page", "StartPage", newPage, kMissing, 0, false, newPage, newPage},
        {kIEMain, "Start Page", "StartPage", newPage, "#", 0, false, newPage, newPage},
        {kIEMain, "Start Page", "StartPage", "http://new.example.com", newPage, 0, false,
         "http://new.example.com", newPage},
        {kIEMain, "Start Page", "StartPage", percent, oldPage, 0, true, percent, percent},
        {kIEMain, "Search Page", "SearchPage", newPage, oldPage, 2, false, oldPage, oldPage},
        {kDesktopPage, "Source", "SourcePage", newPage, oldPage, 2, false, oldPage, oldPage},
        {kDesktopPage, "Source", "SourcePage", std::string(600, 'p'), oldPage, 2, false, oldPage, oldPage},
    };
    OwnedKey desktop(HKEY_CURRENT_USER, kDesktopPage);
    SavedValue saved[] = {{HKEY_CURRENT_USER, kIEMain, "Start Page"},
                          {HKEY_CURRENT_USER, kIEMain, "Search Page"},
                          {HKEY_CURRENT_USER, kDesktopPage, "Source"}};
    for (const PageCase& c : cases) {
        CheckStartPages();   // every other row adopts what it finds
        SetText(HKEY_CURRENT_USER, c.key, c.value, c.current);
        DeleteRegValue(HKEY_CURRENT_USER, kVelmoraKey, c.remembered);
        const DWORD number = 7;
        if (c.stored == "#") SetRaw(HKEY_CURRENT_USER, kVelmoraKey, c.remembered, REG_DWORD, &number, sizeof number);
        else if (c.stored != kMissing) SetText(HKEY_CURRENT_USER, kVelmoraKey, c.remembered, c.stored);
        GetMonitorState().hideAlerts = c.hideAlerts;
        {
            DialogAnswerer yes("#32770", GetAppCaption(), IDYES, c.asks ? kAnswerWaitMs : 0);
            CheckStartPages();
        }
        EXPECT_EQ(Reg(HKEY_CURRENT_USER, c.key, c.value), c.browserAfter) << c.value << " " << c.current;
        EXPECT_EQ(Reg(HKEY_CURRENT_USER, kVelmoraKey, c.remembered), c.rememberedAfter) << c.value;
    }
}

constexpr const char* kExtensionKey = "Software\\Classes\\.vlchk";
constexpr const char* kClassKey = "Software\\Classes\\VlCheckFile";
constexpr const char* kCommandKey = "Software\\Classes\\VlCheckFile\\shell\\open\\command";

TEST_F(Checks, ChangedFileTypeIsKeptOnYesAndPutBackOnNoOrWhenLockedOrSuppressedAndADamagedRecordAdoptsIt)
{
    const std::string first = FixturePath("fixture_app.exe") + " %1";
    const std::string second = FixturePath("sched_fixture.exe") + " %1";
    constexpr const char* kRecordKey = "Software\\Corvath\\Velmora\\Class";
    struct Case {
        int lock, answer;   // answer 0 without a lock: suppressed
        bool damaged;
        const std::string& after;
    };
    const Case cases[] = {
        {1, 0, false, first}, {0, 0, false, first}, {1, 0, true, second}, {0, IDYES, false, second},
        {0, IDNO, false, first},
    };
    ScratchKey extension(HKEY_LOCAL_MACHINE, kExtensionKey);
    ScratchKey fileClass(HKEY_LOCAL_MACHINE, kClassKey);
    SetText(HKEY_LOCAL_MACHINE, kExtensionKey, "", "VlCheckFile");
    SetText(HKEY_CURRENT_USER, kRecordKey, "", "vlchk");
    for (const Case& c : cases) {
        SetText(HKEY_LOCAL_MACHINE, kCommandKey, "", first);
        DeleteRegValue(HKEY_CURRENT_USER, "Software\\Corvath\\Velmora\\Ext", ".vlchk");
        DeleteKeyTree(HKEY_CURRENT_USER, kDetectedFileTypesKey);
        GetMonitorState().checks[kCheckFileType].reset = 1;
        CheckFileTypes();   // records the association it finds
        ASSERT_EQ(Reg(HKEY_CURRENT_USER, kRecordKey, "VlCheckFile"), first);
        if (c.damaged) SetText(HKEY_CURRENT_USER, kRecordKey, "VlCheckFile", "AVI;BAT");
        SetText(HKEY_LOCAL_MACHINE, kCommandKey, "", second);
        GetMonitorState().lockFileTypes = c.lock;
        GetMonitorState().hideAlerts = 0;
        if (c.lock) CheckFileTypes();
        else RunAnswered(CheckFileTypes, c.answer, "Velmora File Type Change Alert");
        EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kCommandKey, ""), c.after) << c.lock << c.answer << c.damaged;
        EXPECT_EQ(Reg(HKEY_CURRENT_USER, kRecordKey, "VlCheckFile"), c.after) << c.lock << c.answer << c.damaged;
        // Both programs, the approved one and the new one, are dated.
        EXPECT_EQ(DetectedCount(kDetectedFileTypesKey, "FIXTURE"), c.answer ? 2 : 0) << c.answer;
    }
}

TEST_F(Checks, CookieFilterDeletesNuttedCookiesAndTheNewCookieCheckRecordsNothing)
{
    ScratchDir folder("vlcheck_cookies");
    WriteTextFile(folder.file("index.dat"), "");
    for (const char* name : {"vl@kept[1].txt", "vl@nutted[1].txt"}) WriteTextFile(folder.file(name), "c");
    SetText(HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder", folder.path() + "\\");
    SetText(HKEY_CURRENT_USER, kNutsKey, "nutted", "1");
    FilterCookies();
    ASSERT_EQ(GetCookieMode(), kCookieModeIE);   // the machine's browser is no Mozilla
    EXPECT_TRUE(!Exists(folder.file("vl@nutted[1].txt")) && Exists(folder.file("vl@kept[1].txt")));
    // The Mozilla step leaves an Internet Explorer machine alone.
    SetCookieFileUpdate(1);
    FilterMozillaCookies();
    EXPECT_EQ(IsCookieFileUpdatePending(), 1);
    SetCookieFileUpdate(0);
    GetMonitorState().hideAlerts = 2;
    CheckNewCookies();
    EXPECT_EQ(IndexesOf("vl@kept[1].txt").size(), 1u);
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApprovedCookiesKey, "vl@kept[1].txt"), kMissing);
}

int g_fileAlerts = 0;

TEST_F(Checks, SystemFilesAreComparedExceptOnWindowsMajorVersion6)
{
    ScratchKey store(HKEY_LOCAL_MACHINE, kSysfilesKey);
    ScratchDir dir("vlcheck_sysfiles");
    ASSERT_TRUE(WriteTextFile(dir.file("watched.txt"), "one"));
    ASSERT_EQ(AddMonitoredFile("vlcheck.txt", dir.file("watched.txt").c_str(), "", 1), 1);
    const DWORD damaged = 1;   // a date that is no text counts as changed
    SetRaw(HKEY_LOCAL_MACHINE, (std::string(kSysfilesKey) + "\\vlcheck.txt").c_str(), "Date", REG_DWORD, &damaged, 4);
    g_fileAlerts = 0;
    SetFileChangeAlert([](const char*, const char*) { return ++g_fileAlerts, 0; });
    CheckSystemFiles();
    SetFileChangeAlert(nullptr);
    char copy[kPathLen] = "";
    GetMonitoredCopyPath("vlcheck.txt", copy);
    DeleteFileA(copy);
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(g_fileAlerts, version.dwMajorVersion == 6 ? 0 : 1) << version.dwMajorVersion;
}

TEST_F(Checks, RestartCommandsAreNeverReadOnTheNtPlatform)
{
    ASSERT_TRUE(IsNtPlatform());
    GetMonitorState().checks[kCheckWinInit] = {3, 5};
    CheckRestartCommands();
    EXPECT_EQ(GetMonitorState().checks[kCheckWinInit].countdown, 3);
}

}  // namespace
