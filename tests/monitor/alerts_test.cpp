// The monitor's alerts as the user meets them: real dialogs from the
// monitor's templates, answered from a second thread, over real fixture
// programs, registry values, files and a real service of the Wine machine.
// Every test puts back HKCU "Software\Corvath", the history file and
// whatever else it touches.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "monitor/monitor.h"
#include "resources/resource.h"
#include "tests/catalogue/startuptest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;

namespace {

constexpr const char* kProgramAlert = "Velmora New Program Alert";
constexpr const char* kDelayedAlert = "This Program doesn't want to be Delayed";
constexpr const char* kFileTypeAlert = "Velmora File Type Change Alert";
constexpr const char* kFileChangeAlert = "Velmora: File Change Alert";
constexpr const char* kRestartTitle = "Velmora - Windows Restart Commands";

// A file as it stood before the test, put back (or removed) afterwards.
class SavedFile {
    std::string path_, text_;
    bool existed_;

public:
    explicit SavedFile(std::string path)
        : path_(std::move(path)), existed_(GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES)
    {
        if (existed_) text_ = ReadTextFile(path_);
    }
    ~SavedFile()
    {
        if (existed_) WriteTextFile(path_, text_);
        else DeleteFileForced(path_.c_str());
    }
    SavedFile(const SavedFile&) = delete;
    SavedFile& operator=(const SavedFile&) = delete;
};

// What the answering thread saw of a dialog before it pressed its buttons.
struct Seen {
    bool found = false;
    std::map<int, std::string> texts;
    RECT rect = {};
    bool topmost = false;
    bool openAfterCommands = false;
};

// Waits for the dialog titled `caption`, reads its controls, then sends each
// command in turn as a button click; `between` runs after all but the last.
class Driver {
    std::thread thread_;

public:
    Seen seen;
    Driver(const char* caption, std::vector<int> commands, std::function<void(HWND)> between = {})
    {
        thread_ = std::thread([this, caption, commands, between] {
            HWND h = nullptr;
            for (int i = 0; i < 400 && !(h && IsWindowVisible(h)); ++i, Sleep(25))
                h = FindWindowA("#32770", caption);
            if (!h || !IsWindowVisible(h)) return;
            seen.found = true;
            for (int id = 0; id < 1200; ++id) {
                char text[2048];
                if (HWND control = GetDlgItem(h, id); control && GetWindowTextA(control, text, sizeof text) >= 0)
                    seen.texts[id] = text;
            }
            GetWindowRect(h, &seen.rect);
            seen.topmost = (GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            for (size_t i = 0; i < commands.size(); ++i) {
                if (i + 1 == commands.size()) seen.openAfterCommands = IsWindow(h) != FALSE;
                if (i + 1 == commands.size() && between) between(h);
                // A button is clicked as the user would; Escape has none.
                if (HWND button = GetDlgItem(h, commands[i])) {
                    SendMessageA(button, BM_CLICK, 0, 0);
                } else {
                    SendMessageA(h, WM_COMMAND, MAKEWPARAM(commands[i], BN_CLICKED), 0);
                }
            }
        });
    }
    ~Driver() { Join(); }
    void Join()
    {
        if (thread_.joinable()) thread_.join();
    }
};

std::string Loaded(int id)
{
    char text[1024] = "";
    LoadLocalizedString(id, text);
    return text;
}

std::string ActionName(int code)
{
    char name[48] = "";
    ActionCodeName(code, name);
    return name;
}

// The history line of an alert: its action, the type it records the item
// under, and the program's product name.
std::string HistoryFields(int action, int dialog, int itemType, const char* product)
{
    const int type = dialog == IDD_IEHELPER_ALERT ? 900
                     : dialog == IDD_HIDDEN_ALERT ? 370
                     : dialog == IDD_TASK_ALERT   ? 800
                                                  : itemType;
    char typeName[48] = "";
    TypeCodeName(type, typeName);
    return "\t" + ActionName(action) + "\t" + typeName + "\t" + product + "\t";
}

// The user's stores, the history and the alert state as they were.
class Alerts : public ::testing::Test {
protected:
    SavedUserTree velmora_{"Software\\Corvath"};
    SavedFile history_{HistoryPath()};
    void SetUp() override
    {
        SetProgramKind(kMonitor);
        GetMonitorState().hideAlerts = 0;
        GetMonitorState().sound = 0;
        ResetStartupRepeatGuard();
    }
    void TearDown() override
    {
        ResetStartupRepeatGuard();
        GetMonitorState().hideAlerts = 0;
        SetFileChangeAlert(nullptr);
    }
    static int Show(int dialog, int type, const std::string& title, const std::string& path)
    {
        ClearAlertContext();
        AlertContext& context = GetAlertContext();
        context.typeCode = type;
        StrCopy(context.title, title.c_str());
        StrCopy(context.path, path.c_str());
        return ShowAlert(dialog);
    }
};

struct ProgramCase {
    int dialog, type;
    const char* title;
    const char* fixture;   // null: a program that is not there
    int command, result;
    const char* caption;
    const char* name;
    int explanation;       // startup message: the explanation it carries
    int history;           // action of the line written, -1 none
};
constexpr ProgramCase kProgramCases[] = {
    {IDD_STARTUP_ALERT, 1, "Fixture", "fixture_app.exe", IDYES, 6, kProgramAlert, "Fixture App", 765, 6},
    {IDD_STARTUP_ALERT, 2, "Fixture", "fixture_app.exe", IDNO, 7, kProgramAlert, "Fixture App", 766, 6},
    {IDD_STARTUP_ALERT, 100, "Fixture", "fixture_app.exe", IDCANCEL, 6, kProgramAlert, "Fixture App", 767, 6},
    {IDD_STARTUP_ALERT, 200, "Fixture", "fixture_app.exe", IDNO, 7, kProgramAlert, "Fixture App", 768, 6},
    {IDD_STARTUP_ALERT, 250, "Fixture", "fixture_app.exe", IDYES, 6, kProgramAlert, "WinLogon:UserInit", 765, 6},
    {IDD_STARTUP_ALERT, 255, "Fixture", "ver_noproduct.dll", IDYES, 6, kProgramAlert, "", 765, 6},
    {IDD_STARTUP_ALERT, 256, "Fixture", "fixture_app.exe", IDNO, 11, kProgramAlert, "Fixture App", 765, 6},
    {IDD_STARTUP_ALERT, 1, "Gone", nullptr, IDYES, 6, kProgramAlert, "", 765, 6},
    {IDD_DELAYED_ALERT, 1, "Fixture", "fixture_app.exe", IDNO, 7, kDelayedAlert, "Fixture App", 0, -1},
    {IDD_DELAYED_ALERT, 1, "Fixture", "fixture_app.exe", IDCANCEL, 6, kDelayedAlert, "Fixture App", 0, -1},
    {IDD_IEHELPER_ALERT, 0, "Fixture Helper", "fixture_app.exe", IDCANCEL, 6, kProgramAlert, "Fixture Helper", 0, 8},
    {IDD_IEHELPER_ALERT, 0, "Fixture Helper", "fixture_app.exe", IDNO, 7, kProgramAlert, "Fixture Helper", 0, 8},
    {IDD_HIDDEN_ALERT, 370, "hidden.dat", "fixture_app.exe", IDOK, 6, kProgramAlert, "hidden.dat", 0, 28},
    {IDD_HIDDEN_ALERT, 370, "hidden.dat", "fixture_app.exe", IDCANCEL, 7, kProgramAlert, "hidden.dat", 0, 28},
    {IDD_TASK_ALERT, 0, "Nightly Fixture.job", "fixture_app.exe", IDCANCEL, 6, kProgramAlert, "Nightly Fixture", 0, 7},
    {IDD_TASK_ALERT, 0, "job", "fixture_app.exe", IDNO, 7, kProgramAlert, "Fixture App", 0, 7},
};

TEST_F(Alerts, ProgramAlertsShowTheProgramAndAnswerPerButton)
{
    for (const ProgramCase& c : kProgramCases) {
        SCOPED_TRACE(std::to_string(c.dialog) + " " + std::to_string(c.type) + " " + c.name);
        ResetStartupRepeatGuard();
        const std::string path = c.fixture ? FixturePath(c.fixture) : "C:\\gone\\vl-missing.exe";
        WriteTextFile(HistoryPath(), "");
        Driver driver(c.caption, {c.command});
        EXPECT_EQ(c.result, Show(c.dialog, c.type, c.title, path));
        driver.Join();
        ASSERT_TRUE(driver.seen.found);
        auto& t = driver.seen.texts;
        EXPECT_TRUE(driver.seen.topmost);
        EXPECT_EQ(c.name, t[IDC_NAME]);
        EXPECT_EQ(path, t[IDC_PATH]);
        EXPECT_EQ("PRIME &Info...", t[IDC_INFO]);
        if (c.fixture && std::string(c.fixture) == "fixture_app.exe") {
            EXPECT_EQ("3.1.4", t[IDC_VERSION]);
            EXPECT_EQ("Fixture Works", t[IDC_COMPANY]);
            EXPECT_EQ("Fixture Application", t[IDC_DESCRIPTION]);
            EXPECT_EQ("Copyright (C) 2026 Fixture Works", t[IDC_COPYRIGHT]);
        }
        if (!c.fixture) {
            EXPECT_EQ("Company name not included in this program.", t[IDC_COMPANY]);
            EXPECT_EQ("No Copyright information included.", t[IDC_COPYRIGHT]);
        }
        if (c.explanation) {
            EXPECT_NE(std::string::npos, t[IDC_MESSAGE].find(Loaded(c.explanation)));
            EXPECT_EQ(std::string::npos, t[IDC_MESSAGE].find("%s"));
        }
        const std::string line = ReadTextFile(HistoryPath());
        if (c.history < 0) {
            EXPECT_EQ("", line);
        } else {
            const char* product = c.fixture && std::string(c.fixture) == "fixture_app.exe" ? "Fixture App" : "";
            EXPECT_NE(std::string::npos, line.find(HistoryFields(c.history, c.dialog, c.type, product))) << line;
        }
        EXPECT_EQ(0, GetAlertContext().path[0]);
    }
}

TEST_F(Alerts, FlagsAreHeldOnlyWhileTheAlertIsOpen)
{
    GetMonitorState().interaction = false;
    bool showingInside = false;
    Driver driver(kProgramAlert, {IDYES}, [&](HWND) { showingInside = GetMonitorState().alertShowing; });
    EXPECT_EQ(6, Show(IDD_IEHELPER_ALERT, 0, "Fixture Helper", FixturePath("fixture_app.exe")));
    driver.Join();
    EXPECT_TRUE(showingInside);
    EXPECT_FALSE(GetMonitorState().alertShowing);
    EXPECT_TRUE(GetMonitorState().interaction);
    EXPECT_EQ(-1, ShowAlert(4242));
    for (int button : {IDYES, IDNO}) {
        DialogAnswerer answerer("#32770", GetAppCaption(), button);
        EXPECT_EQ(button, AskAlertQuestion("Is this new start page yours?"));
        EXPECT_TRUE(Answered(answerer));
        EXPECT_FALSE(GetMonitorState().alertShowing);
    }
}

// The third alert in a row for one program disables it, whatever the answer.
TEST_F(Alerts, StartupRepeatGuardDisablesTheThirdTime)
{
    // The help page it opens stays local: the tests' folder has none.
    SavedValue site(HKEY_LOCAL_MACHINE, kVelmoraKey, "HelpSite");
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kVelmoraKey, "HelpSite");
    const std::string a = FixturePath("fixture_app.exe"), b = FixturePath("ver_os.dll");
    struct Step {
        std::string path;
        int command, result, hideAlerts;
    };
    const std::vector<std::vector<Step>> runs = {
        {{a, IDYES, 6, 0}, {a, IDCANCEL, 6, 0}, {a, IDYES, 11, 0}, {a, IDYES, 6, 0}},
        {{a, IDNO, 7, 0}, {a, IDNO, 7, 0}, {a, IDNO, 11, 2}},
        // Another program in between does not start the count again.
        {{a, IDYES, 6, 0}, {a, IDYES, 6, 0}, {b, IDYES, 6, 0}, {b, IDYES, 11, 0}},
    };
    for (const auto& run : runs) {
        ResetStartupRepeatGuard();
        GetMonitorState().hideAlerts = 0;
        for (const Step& step : run) {
            Driver driver(kProgramAlert, {step.command});
            EXPECT_EQ(step.result, Show(IDD_STARTUP_ALERT, 1, "Fixture", step.path));
            driver.Join();
            EXPECT_EQ(step.hideAlerts, GetMonitorState().hideAlerts);
        }
    }
}

TEST_F(Alerts, InfoDropsTopmostAndKeepsTheAlertOpen)
{
    bool topmostAfterInfo = true;
    Driver driver(kProgramAlert, {IDC_INFO, IDYES}, [&](HWND h) {
        topmostAfterInfo = (GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    });
    EXPECT_EQ(6, Show(IDD_TASK_ALERT, 0, "Fixture.job", FixturePath("fixture_app.exe")));
    driver.Join();
    EXPECT_TRUE(driver.seen.openAfterCommands);
    EXPECT_FALSE(topmostAfterInfo);
}

TEST_F(Alerts, PlacementIsRestoredAndSaved)
{
    SetText(HKEY_CURRENT_USER, kVelmoraKey, "xPosAlert", "40");
    SetText(HKEY_CURRENT_USER, kVelmoraKey, "yPosAlert", "60");
    Driver driver(kProgramAlert, {IDYES});
    Show(IDD_HIDDEN_ALERT, 370, "hidden.dat", FixturePath("fixture_app.exe"));
    driver.Join();
    EXPECT_EQ(40, driver.seen.rect.left);
    EXPECT_EQ(60, driver.seen.rect.top);
    EXPECT_EQ("40", Reg(HKEY_CURRENT_USER, kVelmoraKey, "xPosAlert"));
    EXPECT_EQ(std::to_string(driver.seen.rect.right - driver.seen.rect.left),
              Reg(HKEY_CURRENT_USER, kVelmoraKey, "dxAlert"));
}

TEST_F(Alerts, FileTypeAlertShowsBothPrograms)
{
    constexpr int kCommands[][2] = {{IDYES, 6}, {IDNO, 7}, {IDCANCEL, 6}};
    for (const auto& c : kCommands) {
        ClearAlertContext();
        AlertContext& context = GetAlertContext();
        context.typeCode = 400;
        StrCopy(context.title, ".vlt");
        StrCopy(context.path, FixturePath("fixture_app.exe").c_str());
        StrCopy(context.newPath, FixturePath("ver_os.dll").c_str());
        Driver driver(kFileTypeAlert, {c[0]});
        EXPECT_EQ(c[1], ShowAlert(IDD_FILETYPE_ALERT));
        driver.Join();
        auto& t = driver.seen.texts;
        EXPECT_EQ(".vlt", t[IDC_EXTENSION]);
        EXPECT_EQ("Fixture App", t[IDC_OLD_NAME]);
        EXPECT_EQ("Fixture Works", t[IDC_OLD_COMPANY]);
        // The version reader names a system file by its description.
        EXPECT_EQ("Fixture Shell Library", t[IDC_NEW_NAME]);
        EXPECT_EQ(FixturePath("ver_os.dll"), t[IDC_NEW_PATH]);
        EXPECT_EQ(Loaded(759), t[IDC_LINE4]);
    }
}

// Escape on a new service stops it and keeps it from starting again.
TEST_F(Alerts, ServiceAlertRejectStopsAndDisablesTheService)
{
    constexpr const char* kName = "VlAlertSvc";
    constexpr const char* kDisplay = "Velmora Alert Test Service";
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const auto remove = [&] {
        UniqueService old(OpenServiceA(manager.get(), kName, SERVICE_ALL_ACCESS));
        SERVICE_STATUS status = {};
        ControlService(old.get(), SERVICE_CONTROL_STOP, &status);
        for (int i = 0; i < 100 && QueryServiceStatus(old.get(), &status) &&
                        status.dwCurrentState != SERVICE_STOPPED; ++i)
            Sleep(50);
        DeleteService(old.get());
    };
    remove();
    const std::string exe = FixturePath("svc_fixture.exe");
    UniqueService service(CreateServiceA(manager.get(), kName, kDisplay, SERVICE_ALL_ACCESS,
                                         SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                         SERVICE_ERROR_IGNORE, ("\"" + exe + "\"").c_str(), nullptr,
                                         nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(service);
    ASSERT_TRUE(StartServiceA(service.get(), 0, nullptr));
    SERVICE_STATUS status = {};
    for (int i = 0; i < 100 && QueryServiceStatus(service.get(), &status) &&
                    status.dwCurrentState != SERVICE_RUNNING; ++i)
        Sleep(50);

    WriteTextFile(HistoryPath(), "");
    Driver driver(kProgramAlert, {IDCANCEL});
    EXPECT_EQ(7, Show(IDD_SERVICE_ALERT, 700, kDisplay, exe));
    driver.Join();
    EXPECT_EQ(kDisplay, driver.seen.texts[IDC_NAME]);
    EXPECT_EQ("Startup Status: Manual\nActive Status: Running.\n\nIs it ok to allow this service to be installed with those settings?",
              driver.seen.texts[IDC_SERVICE_STATUS]);
    EXPECT_EQ(Loaded(900), driver.seen.texts[IDC_SERVICE_MESSAGE]);
    const std::string history = ReadTextFile(HistoryPath());
    for (int action : {20, 9, 12})
        EXPECT_NE(std::string::npos, history.find("\t" + ActionName(action) + "\t")) << history;
    DWORD start = 0, size = sizeof start;
    RegGetValueA(HKEY_LOCAL_MACHINE, (std::string(kServicesKey) + "\\" + kName).c_str(), "Start",
                 RRF_RT_REG_DWORD, nullptr, &start, &size);
    EXPECT_EQ(4u, start);
    for (int i = 0; i < 100 && QueryServiceStatus(service.get(), &status) &&
                    status.dwCurrentState != SERVICE_STOPPED; ++i)
        Sleep(50);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), status.dwCurrentState);
    service = UniqueService();
    remove();
}

// A watched file that changed, answered through the monitor's own alert.
TEST_F(Alerts, FileChangeAlertAcceptsOrRestoresTheFile)
{
    constexpr const char* kName = "vlalert_watch.txt";
    const std::string key = std::string(kSysfilesKey) + "\\" + kName;
    char data[MAX_PATH];
    GetDataFolder(data);
    const std::string copy = std::string(data) + "\\" + kName;
    ScratchDir dir("vlalert_watch");
    const std::string file = dir.file("watched.txt");
    struct Case {
        std::vector<int> commands;
        bool stop;
        const char* kept;   // the file's text after the answer
    };
    const Case cases[] = {
        {{IDCANCEL, IDC_ACCEPT}, false, "changed text\r\n"},
        {{IDC_REJECT}, false, "accepted\r\n"},
        {{IDC_CHECK, IDC_ACCEPT}, true, "changed text\r\n"},
    };
    OwnedKey store(HKEY_LOCAL_MACHINE, kSysfilesKey);
    const auto watchChanged = [&] {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, key.c_str());
        WriteTextFile(file, "accepted\r\n");
        ASSERT_EQ(1, AddMonitoredFile(kName, file.c_str(), "Watched by the alert test.", 0));
        WriteTextFile(file, "changed text\r\n");
        FILETIME stamp = {0, 0x01C00000};
        UniqueFile handle(CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(handle && SetFileTime(handle.get(), nullptr, nullptr, &stamp));
    };
    InstallAlertHandlers(nullptr);
    for (const Case& c : cases) {
        watchChanged();
        Driver driver(kFileChangeAlert, c.commands);
        EXPECT_EQ(1, CompareMonitoredFile(kName, file.c_str()));
        driver.Join();
        auto& t = driver.seen.texts;
        EXPECT_TRUE(driver.seen.openAfterCommands);   // Escape left it open
        EXPECT_EQ(kName, t[IDC_FILE_NAME]);
        EXPECT_EQ(file, t[IDC_FILE_LOCATION]);
        EXPECT_EQ("Watched by the alert test.", t[IDC_LINE4]);
        EXPECT_EQ(Loaded(1002), t[IDC_PATH]);
        EXPECT_EQ(c.kept, ReadTextFile(file));
        EXPECT_EQ(c.kept, ReadTextFile(copy));
        EXPECT_EQ(c.stop ? kMissing : file, Reg(HKEY_LOCAL_MACHINE, key, "Location"));
        EXPECT_NE(kMissing, Reg(HKEY_CURRENT_USER, kVelmoraKey, "xPosSysFiles"));
    }
    // A file gone before the answer: the user is told, and nothing changes.
    watchChanged();
    {
        DialogAnswerer error("#32770", "System Error", IDOK);
        Driver driver(kFileChangeAlert, {IDC_ACCEPT}, [&](HWND) { DeleteFileForced(file.c_str()); });
        EXPECT_EQ(0, CompareMonitoredFile(kName, file.c_str()));
        driver.Join();
        EXPECT_TRUE(Answered(error));
    }
    EXPECT_EQ("accepted\r\n", ReadTextFile(copy));
    EXPECT_EQ(file, Reg(HKEY_LOCAL_MACHINE, key, "Location"));
    DeleteKeyTree(HKEY_LOCAL_MACHINE, key.c_str());
    DeleteFileForced(copy.c_str());
}

TEST_F(Alerts, RestartCommandsDialogShowsAndDeletesTheFile)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string ini = std::string(windows) + "\\wininit.ini";
    SavedFile saved(ini);
    struct Case {
        int command;
        bool remains;
    };
    for (const Case c : {Case{IDCANCEL, true}, Case{IDOK, true}, Case{IDC_RESTART_DELETE, false}}) {
        WriteTextFile(ini, "[rename]\nNUL=C:\\BAD.EXE\n");
        Driver driver(kRestartTitle, {c.command});
        ShowRestartCommandsDialog(nullptr);
        driver.Join();
        ASSERT_TRUE(driver.seen.found);
        EXPECT_EQ("[rename]\r\nNUL=C:\\BAD.EXE\r\n", driver.seen.texts[IDC_RESTART_TEXT]);
        EXPECT_EQ("Close", driver.seen.texts[IDOK]);
        EXPECT_EQ(c.remains, GetFileAttributesA(ini.c_str()) != INVALID_FILE_ATTRIBUTES);
    }
    // Nothing to show: message 59 instead.
    DialogAnswerer answerer("#32770", GetAppCaption(), IDOK);
    ShowRestartCommandsDialog(nullptr);
    EXPECT_TRUE(Answered(answerer));
}

TEST_F(Alerts, SoundFileComesFromTheUsersScheme)
{
    SavedUserTree scheme("AppEvents\\Schemes\\Apps\\Velmora");
    ScratchDir dir("vlalert_sound");
    const std::string wave = dir.file("ding.wav");
    WriteTextFile(wave, "RIFF");
    char temp[MAX_PATH];
    GetEnvironmentVariableA("TEMP", temp, MAX_PATH);
    const std::string unexpanded = "%TEMP%" + wave.substr(strlen(temp));
    const std::string base = "AppEvents\\Schemes\\Apps\\Velmora\\";
    SetRaw(HKEY_CURRENT_USER, (base + "Startup Alert\\.current").c_str(), "", REG_SZ,
           unexpanded.c_str(), static_cast<DWORD>(unexpanded.size() + 1));
    SetText(HKEY_CURRENT_USER, (base + "Open\\.current").c_str(), "", wave);
    SetText(HKEY_CURRENT_USER, (base + "SystemFile Alert\\.current").c_str(), "", dir.file("gone.wav"));
    struct Case {
        int event;
        std::string file;
    };
    for (const Case& c : {Case{1, wave}, Case{7, wave}, Case{-3, wave}, Case{6, ""}, Case{2, ""}}) {
        char file[kPathLen];
        EXPECT_EQ(static_cast<int>(c.file.size()), AlertSoundFile(c.event, file)) << c.event;
        EXPECT_EQ(c.file, file) << c.event;
    }
    // Playing never waits for a sound device, whatever the scheme names.
    GetMonitorState().sound = 1;
    const DWORD started = GetTickCount();
    for (int event = 0; event <= 7; ++event) PlayAlertSound(event);
    EXPECT_LT(GetTickCount() - started, 5000u);
}

TEST_F(Alerts, HelpPageHasNoOnlineFallbackWithoutASite)
{
    SavedValue site(HKEY_LOCAL_MACHINE, kVelmoraKey, "HelpSite");
    OwnedKey key(HKEY_LOCAL_MACHINE, kVelmoraKey);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kVelmoraKey, "HelpSite");
    EXPECT_EQ(0, OpenHelpPage(6051));
    SetText(HKEY_LOCAL_MACHINE, kVelmoraKey, "HelpSite", "file:///C:/windows/notepad.exe");
    EXPECT_EQ(0, OpenHelpPage(6051));
}

}  // namespace
