// The monitor's alerts as the user meets them: real dialogs answered from a
// second thread, over fixture programs, files and a real service. Every test
// puts back HKCU "Software\Corvath", the history file and what it touches.
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
struct SavedFile {
    std::string path, text;
    bool existed = Exists(path);
    explicit SavedFile(std::string p) : path(std::move(p)), text(ReadTextFile(path)) {}
    ~SavedFile() { existed ? WriteTextFile(path, text) : DeleteFileForced(path.c_str()); }
};

// What the answering thread saw of a dialog before it pressed its buttons.
struct Seen {
    bool found = false, topmost = false, openAfterCommands = false;
    std::map<int, std::string> texts;
    RECT rect = {};
};

// Waits for the dialog titled `caption`, reads its controls, then sends each
// command in turn as a button click; `between` runs after all but the last.
struct Driver {
    std::thread thread_;
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
                if (HWND control = GetDlgItem(h, id)) seen.texts[id] = GetWindowTextA(control, text, sizeof text) >= 0 ? text : "";
            }
            GetWindowRect(h, &seen.rect);
            seen.topmost = (GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            for (size_t i = 0; i < commands.size(); ++i) {
                if (i + 1 == commands.size()) seen.openAfterCommands = IsWindow(h) != FALSE;
                if (i + 1 == commands.size() && between) between(h);
                // A button is clicked as the user would; Escape has none.
                HWND button = GetDlgItem(h, commands[i]);
                button ? SendMessageA(button, BM_CLICK, 0, 0) : SendMessageA(h, WM_COMMAND, commands[i], 0);
            }
        });
    }
    ~Driver() { Join(); }
    void Join() { thread_.joinable() ? thread_.join() : void(); }
};

std::string Loaded(int id)
{
    char text[1024] = "";
    return LoadLocalizedString(id, text), text;
}

std::string ActionName(int code)
{
    char name[48] = "";
    return ActionCodeName(code, name), name;
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
    void TearDown() override { SetUp(), SetFileChangeAlert(nullptr); }
    static int Show(int dialog, int type, const std::string& title, const std::string& path,
                    const std::string& newPath = "")
    {
        ClearAlertContext();
        AlertContext& context = GetAlertContext();
        context.typeCode = type;
        StrCopy(context.title, title.c_str());
        StrCopy(context.path, path.c_str());
        StrCopy(context.newPath, newPath.c_str());
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
    int history, historyType;   // the line written, action -1 for none
};
constexpr ProgramCase kProgramCases[] = {
    {IDD_STARTUP_ALERT, 1, "Fixture", "fixture_app.exe", IDYES, 6, kProgramAlert, "Fixture App", 765, 6, 1},
    {IDD_STARTUP_ALERT, 2, "Fixture", "fixture_app.exe", IDNO, 7, kProgramAlert, "Fixture App", 766, 6, 2},
    {IDD_STARTUP_ALERT, 100, "Fixture", "fixture_app.exe", IDCANCEL, 6, kProgramAlert, "Fixture App", 767, 6, 100},
    {IDD_STARTUP_ALERT, 200, "Fixture", "fixture_app.exe", IDNO, 7, kProgramAlert, "Fixture App", 768, 6, 200},
    {IDD_STARTUP_ALERT, 250, "Fixture", "fixture_app.exe", IDYES, 6, kProgramAlert, "WinLogon:UserInit", 765, 6, 250},
    {IDD_STARTUP_ALERT, 255, "Fixture", "ver_noproduct.dll", IDYES, 6, kProgramAlert, "", 765, 6, 255},
    {IDD_STARTUP_ALERT, 256, "Fixture", "fixture_app.exe", IDNO, 11, kProgramAlert, "Fixture App", 765, 6, 256},
    {IDD_STARTUP_ALERT, 1, "Gone", nullptr, IDYES, 6, kProgramAlert, "", 765, 6, 1},
    {IDD_DELAYED_ALERT, 1, "Fixture", "fixture_app.exe", IDNO, 7, kDelayedAlert, "Fixture App", 0, -1, 0},
    {IDD_DELAYED_ALERT, 1, "Fixture", "fixture_app.exe", IDCANCEL, 6, kDelayedAlert, "Fixture App", 0, -1, 0},
    {IDD_IEHELPER_ALERT, 0, "Fixture Helper", "fixture_app.exe", IDCANCEL, 6, kProgramAlert, "Fixture Helper", 0, 8, 900},
    {IDD_IEHELPER_ALERT, 0, "Fixture Helper", "fixture_app.exe", IDNO, 7, kProgramAlert, "Fixture Helper", 0, 8, 900},
    {IDD_HIDDEN_ALERT, 370, "hidden.dat", "fixture_app.exe", IDOK, 6, kProgramAlert, "hidden.dat", 0, 28, 370},
    {IDD_HIDDEN_ALERT, 0, "hidden.dat", "fixture_app.exe", IDCANCEL, 7, kProgramAlert, "hidden.dat", 0, 28, 370},
    {IDD_TASK_ALERT, 0, "Nightly Fixture.job", "fixture_app.exe", IDCANCEL, 6, kProgramAlert, "Nightly Fixture", 0, 7, 800},
    {IDD_TASK_ALERT, 0, "job", "fixture_app.exe", IDNO, 7, kProgramAlert, "Fixture App", 0, 7, 800},
};

TEST_F(Alerts, ProgramAlertsShowTheProgramAndAnswerPerButton)
{
    for (const ProgramCase& c : kProgramCases) {
        SCOPED_TRACE(std::to_string(c.dialog) + " " + std::to_string(c.type) + " " + c.name);
        ResetStartupRepeatGuard();
        const std::string path = c.fixture ? FixturePath(c.fixture) : "C:\\gone\\vl-missing.exe";
        const bool app = c.fixture && std::string(c.fixture) == "fixture_app.exe";
        WriteTextFile(HistoryPath(), "");
        Driver driver(c.caption, {c.command});
        EXPECT_EQ(c.result, Show(c.dialog, c.type, c.title, path));
        driver.Join();
        ASSERT_TRUE(driver.seen.found);
        auto& t = driver.seen.texts;
        EXPECT_EQ(c.name, t[IDC_NAME]);
        EXPECT_EQ(path, t[IDC_PATH]);
        // A field the program does not fill keeps the template's words.
        if (app || !c.fixture) {
            EXPECT_EQ(app ? "Fixture Works" : "Company name not included in this program.", t[IDC_COMPANY]);
            EXPECT_EQ(app ? "Copyright (C) 2026 Fixture Works" : "No Copyright information included.", t[IDC_COPYRIGHT]);
            EXPECT_EQ(app ? "3.1.4|Fixture Application" : "|No Description found", t[IDC_VERSION] + "|" + t[IDC_DESCRIPTION]);
        }
        if (c.explanation) {
            EXPECT_TRUE(t[IDC_MESSAGE].find(Loaded(c.explanation)) != std::string::npos &&
                        t[IDC_MESSAGE].find("%s") == std::string::npos) << t[IDC_MESSAGE];
        }
        char type[48] = "";
        TypeCodeName(c.historyType, type);
        const std::string line = ReadTextFile(HistoryPath());
        const std::string fields = "\t" + ActionName(c.history) + "\t" + type + "\t" + (app ? "Fixture App" : "") + "\t";
        EXPECT_TRUE(c.history < 0 ? line.empty() : line.find(fields) != std::string::npos) << line;
        EXPECT_EQ(0, GetAlertContext().path[0]);
    }
}

// While open, an alert holds the flags; Info drops its topmost style and
// leaves it open; its placement comes from the user's store and goes back.
TEST_F(Alerts, AnOpenAlertHoldsTheFlagsKeepsItsPlaceAndStaysOpenForInfo)
{
    SetText(HKEY_CURRENT_USER, kVelmoraKey, "xPosAlert", "40");
    SetText(HKEY_CURRENT_USER, kVelmoraKey, "yPosAlert", "60");
    GetMonitorState().interaction = false;
    bool showingInside = false, topmostAfterInfo = true;
    Driver driver(kProgramAlert, {IDC_INFO, IDNO}, [&](HWND h) {
        showingInside = GetMonitorState().alertShowing;
        topmostAfterInfo = (GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    });
    EXPECT_EQ(7, Show(IDD_TASK_ALERT, 0, "Fixture.job", FixturePath("fixture_app.exe")));   // No after Info
    driver.Join();
    EXPECT_TRUE(driver.seen.topmost && driver.seen.openAfterCommands && showingInside);
    EXPECT_FALSE(topmostAfterInfo);
    EXPECT_TRUE(!GetMonitorState().alertShowing && GetMonitorState().interaction);
    const RECT& r = driver.seen.rect;
    EXPECT_EQ("40 60 " + std::to_string(r.right - r.left), std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                                                              Reg(HKEY_CURRENT_USER, kVelmoraKey, "dxAlert"));
    EXPECT_EQ(-1, ShowAlert(4242));
    for (int button : {IDYES, IDNO}) {
        DialogAnswerer answerer("#32770", GetAppCaption(), button);
        EXPECT_EQ(button, AskAlertQuestion("Is this new start page yours?"));
        EXPECT_TRUE(Answered(answerer));
        EXPECT_FALSE(GetMonitorState().alertShowing);
    }
}

// The third alert in a row for one program disables it, whatever the answer.
// The help page it opens has no online fallback without a web site.
TEST_F(Alerts, StartupRepeatGuardDisablesTheThirdTime)
{
    SavedValue site(HKEY_LOCAL_MACHINE, kVelmoraKey, "HelpSite");
    OwnedKey key(HKEY_LOCAL_MACHINE, kVelmoraKey);
    SetText(HKEY_LOCAL_MACHINE, kVelmoraKey, "HelpSite", "file:///C:/windows/notepad.exe");
    EXPECT_EQ(0, OpenHelpPage(6051));
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kVelmoraKey, "HelpSite");
    EXPECT_EQ(0, OpenHelpPage(6051));
    const std::string a = FixturePath("fixture_app.exe"), b = FixturePath("ver_os.dll");
    struct Step { std::string path; int command, result, hideAlerts; };
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

TEST_F(Alerts, FileTypeAlertShowsBothPrograms)
{
    for (const auto& [command, result] : {std::pair{IDYES, 6}, {IDNO, 7}, {IDCANCEL, 6}}) {
        Driver driver(kFileTypeAlert, {command});
        EXPECT_EQ(result, Show(IDD_FILETYPE_ALERT, 400, ".vlt", FixturePath("fixture_app.exe"), FixturePath("ver_os.dll")));
        driver.Join();
        auto& t = driver.seen.texts;
        EXPECT_EQ(".vlt", t[IDC_EXTENSION]);
        EXPECT_EQ("Fixture App|Fixture Works", t[IDC_OLD_NAME] + "|" + t[IDC_OLD_COMPANY]);
        // The version reader names a system file by its description.
        EXPECT_EQ("Fixture Shell Library|" + FixturePath("ver_os.dll"), t[IDC_NEW_NAME] + "|" + t[IDC_NEW_PATH]);
        EXPECT_EQ(Loaded(759), t[IDC_LINE4]);
    }
}

// Escape on a new service stops it and keeps it from starting again.
TEST_F(Alerts, ServiceAlertRejectStopsAndDisablesTheService)
{
    constexpr const char* kName = "VlAlertSvc";
    constexpr const char* kDisplay = "Velmora Alert Test Service";
    FixtureService service(kName, kDisplay);
    const std::string exe = FixturePath("svc_fixture.exe");
    ASSERT_TRUE(service.get());
    ASSERT_TRUE(StartServiceA(service.get(), 0, nullptr));
    WaitServiceState(service.get(), SERVICE_RUNNING);
    WriteTextFile(HistoryPath(), "");
    Driver driver(kProgramAlert, {IDCANCEL});
    EXPECT_EQ(7, Show(IDD_SERVICE_ALERT, 700, kDisplay, exe));
    driver.Join();
    auto& t = driver.seen.texts;
    EXPECT_EQ(kDisplay + ("|" + Loaded(900)) + "|Startup Status: Manual\nActive Status: Running.\n\n"
                                               "Is it ok to allow this service to be installed with those settings?",
              t[IDC_NAME] + "|" + t[IDC_SERVICE_MESSAGE] + "|" + t[IDC_SERVICE_STATUS]);
    const std::string history = ReadTextFile(HistoryPath());
    for (int action : {20, 9, 12})
        EXPECT_NE(std::string::npos, history.find("\t" + ActionName(action) + "\t")) << history;
    EXPECT_EQ("\x04", Reg(HKEY_LOCAL_MACHINE, std::string(kServicesKey) + "\\" + kName, "Start"));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), WaitServiceState(service.get(), SERVICE_STOPPED));
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
    struct Case { std::vector<int> commands; bool stop; const char* kept; };   // kept: the text after
    const Case cases[] = {{{IDCANCEL, IDC_ACCEPT}, false, "changed text\r\n"}, {{IDC_REJECT}, false, "accepted\r\n"},
                          {{IDC_CHECK, IDC_ACCEPT}, true, "changed text\r\n"}};
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
        EXPECT_EQ(kName + ("|" + file) + "|Watched by the alert test.|" + Loaded(1002),
                  t[IDC_FILE_NAME] + "|" + t[IDC_FILE_LOCATION] + "|" + t[IDC_LINE4] + "|" + t[IDC_PATH]);
        EXPECT_EQ(c.kept + std::string("|") + c.kept, ReadTextFile(file) + "|" + ReadTextFile(copy));
        EXPECT_EQ(c.stop ? kMissing : file, Reg(HKEY_LOCAL_MACHINE, key, "Location"));
        EXPECT_NE(kMissing, Reg(HKEY_CURRENT_USER, kVelmoraKey, "xPosSysFiles"));   // its own placement
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
    EXPECT_EQ("accepted\r\n" + file, ReadTextFile(copy) + Reg(HKEY_LOCAL_MACHINE, key, "Location"));
    DeleteKeyTree(HKEY_LOCAL_MACHINE, key.c_str());
    DeleteFileForced(copy.c_str());
}

TEST_F(Alerts, RestartCommandsDialogShowsAndDeletesTheFile)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string ini = std::string(windows) + "\\wininit.ini";
    SavedFile saved(ini);
    for (const auto& [command, remains] : {std::pair{IDCANCEL, true}, {IDOK, true}, {IDC_RESTART_DELETE, false}}) {
        WriteTextFile(ini, "[rename]\nNUL=C:\\BAD.EXE\n");
        Driver driver(kRestartTitle, {command});
        ShowRestartCommandsDialog(nullptr);
        driver.Join();
        EXPECT_EQ("[rename]\r\nNUL=C:\\BAD.EXE\r\n", driver.seen.texts[IDC_RESTART_TEXT]);
        EXPECT_EQ(remains, Exists(ini));
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
    SetText(HKEY_CURRENT_USER, (base + "Startup Alert\\.current").c_str(), "", unexpanded);
    SetText(HKEY_CURRENT_USER, (base + "Open\\.current").c_str(), "", wave);
    SetText(HKEY_CURRENT_USER, (base + "SystemFile Alert\\.current").c_str(), "", dir.file("gone.wav"));
    for (const auto& [event, expected] : {std::pair{1, wave}, {7, wave}, {-3, wave}, {6, ""}, {2, ""}}) {
        char file[kPathLen];
        EXPECT_EQ(static_cast<int>(expected.size()), AlertSoundFile(event, file)) << event;
        EXPECT_EQ(expected, file) << event;
    }
}

}  // namespace
