// The catalogue checks against the real registry, files, services and tasks
// of the Wine machine. What the machine already lists is approved first, so
// only the test's own items are new; HKCU "Software\Corvath" is put back.
// Unanswerable alerts are avoided by suppression; where a check asks, a
// helper clicks Yes if a window comes.
#include <gtest/gtest.h>
#include <mstask.h>

#include <string>

#include "monitor/monitor.h"
#include "tests/catalogue/startuptest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;

namespace {

// Long enough for an alert to come up; the stand-in alerts of a build
// without dialogs never show one, and the wait then runs out.
constexpr int kAnswerWaitMs = 5000;

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

TEST_F(Checks, SuppressedIEHelperIsRemovedUnlessApprovedByAWellFormedValue)
{
    struct HelperCase {
        int reset;
        DWORD type;   // REG_NONE: no approval value
        std::string data;
        bool removed;
    };
    const HelperCase cases[] = {
        {0, REG_NONE, "", false},                     // the check is off
        {1, REG_SZ, "900", false},
        {1, REG_NONE, "", true},
        {1, REG_SZ, "0", true},
        {1, REG_SZ, std::string(40, '9'), true},      // longer than the store's 16
        {1, REG_DWORD, std::string("\x84\x03\0\0", 4), true},
    };
    OwnedKey parent(HKEY_LOCAL_MACHINE, kIEBrowserHelpersKey);
    ApproveListed(kStoreIEHelpers, BuildIEHelperList, false);
    for (const HelperCase& c : cases) {
        ScratchKey server(HKEY_CLASSES_ROOT, kHelperClass);
        ScratchKey helper(HKEY_LOCAL_MACHINE, kHelperKey);
        SetText(HKEY_LOCAL_MACHINE, kHelperKey.c_str(), "", "");
        SetText(HKEY_CLASSES_ROOT, (kHelperClass + "\\InprocServer32").c_str(), "", "C:\\vlcheck\\vlcheck_helper.dll");
        BuildIEHelperList();
        const Item item = OnlyWhere(&Item::entry, kHelperId);
        ClearItems();
        if (c.type != REG_NONE)
            SetRaw(HKEY_CURRENT_USER, kApprovedIEHelpersKey, item.title.c_str(), c.type, c.data.c_str(),
                   static_cast<DWORD>(c.data.size() + (c.type == REG_SZ ? 1 : 0)));
        GetMonitorState().checks[kCheckIEHelpers].reset = c.reset;
        GetMonitorState().hideAlerts = 2;
        CheckIEHelpers();
        UniqueKey registration;
        const bool present = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHelperKey.c_str(), 0, KEY_READ,
                                           registration.put()) == ERROR_SUCCESS;
        EXPECT_EQ(present, !c.removed) << c.reset << " " << c.data;
        if (c.removed) {
            EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApprovedIEHelpersKey, item.title), kMissing);
        }
        RemoveApproval(kStoreIEHelpers, item.title.c_str());
    }
}

constexpr const char* kServiceName = "VlCheckSvc";
constexpr const char* kServiceTitle = "Northwind Check Service";

DWORD WaitForState(SC_HANDLE service, DWORD state)
{
    SERVICE_STATUS status = {};
    for (int i = 0; i < 200 && QueryServiceStatus(service, &status) && status.dwCurrentState != state; ++i) Sleep(50);
    return status.dwCurrentState;
}

// The fixture service, stopped and deleted before and after.
class InstalledService {
    UniqueService manager_{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    UniqueService service_;
    void Remove()
    {
        UniqueService old(OpenServiceA(manager_.get(), kServiceName, SERVICE_ALL_ACCESS));
        SERVICE_STATUS status = {};
        if (ControlService(old.get(), SERVICE_CONTROL_STOP, &status)) WaitForState(old.get(), SERVICE_STOPPED);
        DeleteService(old.get());
    }

public:
    InstalledService()
    {
        Remove();
        const std::string command = std::string(1, '"').append(FixturePath("svc_fixture.exe")).append(1, '"');
        service_ = UniqueService(CreateServiceA(manager_.get(), kServiceName, kServiceTitle, SERVICE_ALL_ACCESS,
                                                SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                SERVICE_ERROR_IGNORE, command.c_str(), 0, 0, 0, 0, 0));
    }
    ~InstalledService() { service_ = UniqueService(), Remove(); }
    SC_HANDLE get() const { return service_.get(); }
};

TEST_F(Checks, NewRunningServiceIsStoppedDisabledAndRecordedWhenSuppressedAndDatedWhenAsked)
{
    struct Case {
        int hideAlerts;
        bool approved;
        DWORD state, start;   // afterwards
    };
    const Case cases[] = {
        {0, true, SERVICE_RUNNING, SERVICE_DEMAND_START},
        {2, false, SERVICE_STOPPED, SERVICE_DISABLED},
        {0, false, SERVICE_RUNNING, SERVICE_DEMAND_START},   // asked: dated, recorded only on Yes
    };
    InstalledService service;
    ASSERT_TRUE(service.get()) << GetLastError();
    ApproveListed(kStoreServices, [] { return BuildServiceList() + ItemCount(); }, false);
    for (const Case& c : cases) {
        RemoveApproval(kStoreServices, kServiceTitle);
        DeleteKeyTree(HKEY_CURRENT_USER, kDetectedServicesKey);
        ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START, SERVICE_NO_CHANGE, 0, 0, 0, 0, 0,
                             0, 0);
        StartServiceA(service.get(), 0, nullptr);
        ASSERT_EQ(WaitForState(service.get(), SERVICE_RUNNING), static_cast<DWORD>(SERVICE_RUNNING));
        if (c.approved) WriteApproval(kStoreServices, kServiceTitle, 700);
        GetMonitorState().hideAlerts = c.hideAlerts;
        bool answered = false;
        {
            DialogAnswerer yes("#32770", nullptr, IDYES, c.approved || c.hideAlerts ? 0 : kAnswerWaitMs);
            CheckServices();
            answered = Answered(yes);
        }
        EXPECT_EQ(WaitForState(service.get(), c.state), c.state) << c.hideAlerts;
        const std::string start = Reg(HKEY_LOCAL_MACHINE, std::string(kServicesKey) + "\\" + kServiceName, "Start");
        EXPECT_EQ(static_cast<DWORD>(start[0]), c.start) << c.hideAlerts;   // a DWORD below 256
        const bool recorded = c.approved || c.hideAlerts > 1 || answered;
        EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApprovedServicesKey, kServiceTitle), recorded ? "700" : kMissing);
        const bool asked = !c.approved && c.hideAlerts < 2;
        EXPECT_EQ(DetectedCount(kDetectedServicesKey, "SVC_FIXTURE.EXE"), asked ? 1 : 0) << c.hideAlerts;
    }
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

ComPtr<ITaskScheduler> OpenScheduler()
{
    ComPtr<ITaskScheduler> s;
    CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                     reinterpret_cast<void**>(s.put()));
    return s;
}

bool CreateTask(const std::string& name)
{
    ComPtr<ITask> task;
    ComPtr<IPersistFile> file;
    return SUCCEEDED(OpenScheduler()->NewWorkItem(Wide(name).c_str(), CLSID_CTask, IID_ITask,
                                                  reinterpret_cast<IUnknown**>(task.put()))) &&
           SUCCEEDED(task->SetApplicationName(L"C:\\windows\\notepad.exe")) &&
           SUCCEEDED(task->SetWorkingDirectory(L"C:\\windows")) &&
           SUCCEEDED(task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) &&
           file->Save(nullptr, TRUE) == S_OK;
}

bool TaskExists(const std::string& name)
{
    ComPtr<ITask> task;
    return SUCCEEDED(OpenScheduler()->Activate(Wide(name).c_str(), IID_ITask, reinterpret_cast<IUnknown**>(task.put())));
}

// Wine's scheduler refuses a "." in a work item's name and leaves such a job
// file out of its list, so the "McAfee.com" rule cannot be reached here.
TEST_F(Checks, SuppressedNewTaskIsDeletedWhileAnApprovedOneStays)
{
    ComApartment apartment;
    const std::string names[] = {"VlCheckNew", "VlCheckKept"};
    const auto clean = [&] { for (const std::string& name : names) OpenScheduler()->Delete(Wide(name).c_str()); };
    clean();
    ASSERT_EQ(StartScheduler(), 0);
    ApproveListed(kStoreTasks, BuildTaskList, false);
    for (const std::string& name : names) ASSERT_TRUE(CreateTask(name)) << name;
    WriteApproval(kStoreTasks, "VlCheckKept.job", 800);
    GetMonitorState().hideAlerts = 2;
    CheckScheduledTasks();
    EXPECT_FALSE(TaskExists("VlCheckNew"));
    EXPECT_TRUE(TaskExists("VlCheckKept"));
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApprovedTasksKey, "VlCheckKept.job"), "800");
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApprovedTasksKey, "VlCheckNew.job"), kMissing);
    EXPECT_EQ(DetectedCount(kDetectedTasksKey, "NOTEPAD.EXE"), 0);
    clean();
}

TEST_F(Checks, SuppressedHiddenFileIsNeitherRecordedNorDatedNorMoved)
{
    ScratchDir dir("vlcheck_hidden");
    const std::string file = dir.file("lurker.exe");
    ASSERT_TRUE(CopyFileA(FixturePath("hidden_fixture.exe").c_str(), file.c_str(), FALSE));
    ApproveListed(kStoreHidden, BuildHiddenFileList, true);
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN);
    BuildHiddenFileList();
    ASSERT_EQ(IndexesWithPath(file).size(), 1u);
    for (const std::string& approval : {kMissing, std::string(), std::string(40, 'x')}) {
        if (approval != kMissing) SetText(HKEY_CURRENT_USER, kApprovedHiddenKey, file.c_str(), approval);
        GetMonitorState().hideAlerts = 2;
        CheckHiddenFiles();
        EXPECT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApprovedHiddenKey, file), approval);
        EXPECT_EQ(DetectedCount(kDetectedHiddenKey, "LURKER.EXE"), 0);
    }
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

TEST_F(Checks, ChangedFileTypeIsPutBackWhenLockedOrSuppressedAndADamagedRecordAdoptsIt)
{
    struct Case {
        int lock, hideAlerts;
        bool damaged;
        const char* after;
    };
    const Case cases[] = {
        {1, 0, false, "C:\\vl\\first.exe %1"},
        {0, 2, false, "C:\\vl\\first.exe %1"},
        {1, 0, true, "C:\\vl\\second.exe %1"},
    };
    ScratchKey extension(HKEY_LOCAL_MACHINE, kExtensionKey);
    ScratchKey fileClass(HKEY_LOCAL_MACHINE, kClassKey);
    SetText(HKEY_LOCAL_MACHINE, kExtensionKey, "", "VlCheckFile");
    SetText(HKEY_CURRENT_USER, "Software\\Corvath\\Velmora\\Class", "", "vlchk");
    for (const Case& c : cases) {
        SetText(HKEY_LOCAL_MACHINE, kCommandKey, "", "C:\\vl\\first.exe %1");
        DeleteRegValue(HKEY_CURRENT_USER, "Software\\Corvath\\Velmora\\Ext", ".vlchk");
        GetMonitorState().checks[kCheckFileType].reset = 1;
        CheckFileTypes();   // records the association it finds
        ASSERT_EQ(Reg(HKEY_CURRENT_USER, "Software\\Corvath\\Velmora\\Class", "VlCheckFile"), "C:\\vl\\first.exe %1");
        if (c.damaged) SetText(HKEY_CURRENT_USER, "Software\\Corvath\\Velmora\\Class", "VlCheckFile", "AVI;BAT");
        SetText(HKEY_LOCAL_MACHINE, kCommandKey, "", "C:\\vl\\second.exe %1");
        GetMonitorState().lockFileTypes = c.lock;
        GetMonitorState().hideAlerts = c.hideAlerts;
        CheckFileTypes();
        EXPECT_EQ(Reg(HKEY_LOCAL_MACHINE, kCommandKey, ""), c.after) << c.lock << c.hideAlerts << c.damaged;
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
    EXPECT_EQ(GetFileAttributesA(folder.file("vl@nutted[1].txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA(folder.file("vl@kept[1].txt").c_str()), INVALID_FILE_ATTRIBUTES);
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
