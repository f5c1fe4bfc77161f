// The Options and About pages hosted in a one-page sheet of their own and
// driven from a helper thread; the icon test talks to a real monitor.
#include "resources/resource.h"
#include "tests/explorer/explorertest.h"
#include "tests/monitor/monitortest.h"

namespace {

constexpr const char* kSheet = "VlOptionsSheet";
constexpr const char* kMachineRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Runs on the Monitor fixture, which keeps the stores, the monitor's Run
// entry and the monitored files as they were; the page's creation runs the
// explorer's start-up preparation, which writes all of these.
class OptionsPage : public Monitor {
protected:
    SavedValue lookupSite_{HKEY_LOCAL_MACHINE, kVelmoraKey, "LookupSite"};
    SavedValue getVersion_{HKEY_LOCAL_MACHINE, kVelmoraKey, "GetVersion"};

    void SetUp() override
    {
        Monitor::SetUp();
        // Not a first run, and this build: the preparation writes no initial
        // options over the ones a test sets.
        SetText(kUser, kVelmoraKey, "", "12/07/2026 7:00 AM");
        SetText(kUser, kVelmoraKey, "Version", kBuildString);
        CreateSharedGdi();
    }
    void TearDown() override
    {
        DeleteSharedGdi();
        Monitor::TearDown();
    }
    static void WithOptions(const std::function<void(HWND)>& body)
    {
        explorertest::WithPage(IDD_PAGE_OPTIONS, OptionsPageSpec(), kSheet, body);
    }
    static bool IsChecked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
    static std::string Option(const char* name) { return Reg(kUser, kOptionsKey, name); }
    // A file in this program's folder, where the explorer's own files live.
    static std::string Beside(const char* name)
    {
        char module[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, module, MAX_PATH);
        return std::string(module).substr(0, std::string(module).rfind('\\') + 1) + name;
    }
    static HANDLE Shown(HWND page, int id) { return HANDLE(SendDlgItemMessageA(page, id, STM_GETIMAGE, IMAGE_BITMAP, 0)); }
};

TEST_F(OptionsPage, EveryCheckBoxWritesItsOptionAtOnceAndSetsUpdate)
{
    for (auto [name, value] : {std::pair{"Sound", "1"}, {"History", "1"}, {"LockFileTypes", "0"},
                               {"ConfirmExit", "0"}, {"PrimeFormat", "0"}, {"TrayIcon", "101"}})
        SetText(kUser, kOptionsKey, name, value);
    struct Box { int id; const char* option; bool before; std::string after; };
    std::vector<Box> boxes = {{1020, "Sound", true, "0"},        {1024, "History", true, "0"},
                              {1026, "LockFileTypes", false, "1"}, {1027, "ConfirmExit", false, "1"},
                              {1202, "PrimeFormat", false, "1"},  {1201, "TrayIcon", false, "159"}};
    std::vector<std::string> seen;   // shown on activation, written, "Update"
    std::string nuts;
    WithOptions([&](HWND page) {
        for (const Box& box : boxes) {
            DeleteRegValue(kUser, kOptionsKey, "Nuts");
            SetText(kUser, kOptionsKey, "Update", "0");
            const bool shown = IsChecked(page, box.id);
            explorertest::Click(page, box.id);
            seen.push_back((shown ? "on " : "off ") + Option(box.option) + " " + Option("Update"));
        }
        // Every option the explorer saves at exit is written back as well.
        nuts = Option("Nuts");
        explorertest::Click(page, 1201);
    });
    ASSERT_EQ(seen.size(), boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i)
        EXPECT_EQ(seen[i], (boxes[i].before ? "on " : "off ") + boxes[i].after + " 1") << boxes[i].option;
    EXPECT_NE(nuts, kMissing);
    EXPECT_EQ(Option("TrayIcon"), "101");
}

TEST_F(OptionsPage, ClearingAutomaticallyRunRemovesTheMonitorsRunEntryAtOnce)
{
    const std::string own = Beside("velmora.exe");
    SetText(HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora", own);
    std::vector<std::pair<bool, std::string>> seen;   // the box, the Run entry
    WithOptions([&](HWND page) {
        for (int click = 0; click < 3; ++click) {
            if (click > 0) explorertest::Click(page, 1017);
            seen.emplace_back(IsChecked(page, 1017), Reg(HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora"));
        }
    });
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_TRUE(seen[0].first && !seen[1].first && seen[2].first);
    EXPECT_EQ(seen[1].second, kMissing);
    EXPECT_EQ(lstrcmpiA(seen[2].second.c_str(), own.c_str()), 0) << seen[2].second;
}

TEST_F(OptionsPage, HidingTheTaskbarIconHidesTheRunningMonitorsIconAtOnce)
{
    // Wine's explorer shows one "__winex11_tray_icon" window per icon.
    auto icons = [] { return CountWindows(FindWindowA("__winex11_standalone_tray", nullptr), "__winex11_tray_icon"); };
    const int before = icons();
    ASSERT_TRUE(Start());
    ASSERT_TRUE(WaitFor([&] { return icons() == before + 1; }));
    bool hidden = false, back = false;
    std::string hideOption, showOption;
    WithOptions([&](HWND page) {
        {
            DialogAnswerer message("#32770", GetAppCaption(), IDOK);
            explorertest::Click(page, 1025);
            hidden = WaitFor([&] { return icons() == before; });
            hideOption = Option("HideBarley");
        }
        explorertest::Click(page, 1025);
        back = WaitFor([&] { return icons() == before + 1; });
        showOption = Option("HideBarley");
    });
    EXPECT_TRUE(hidden && back);
    EXPECT_EQ(hideOption + showOption, "10");
    EXPECT_EQ(StartAgain("-Q"), 0);
    EXPECT_TRUE(Ended(10000));
}

TEST_F(OptionsPage, HostsPatrolTimeOfZeroShowsTheOffImageAndNtHidesTheRestartFile)
{
    for (auto [name, value] : {std::pair{"HostFile", "5"}, {"RealtimeSysFiles", "0"}})
        SetText(kUser, kOptionsKey, name, value);
    HANDLE onBefore = nullptr, offAfter = nullptr;
    bool restartShown = true, originalIconShown = false;
    WithOptions([&](HWND page) {
        onBefore = Shown(page, 1137);
        restartShown = IsWindowVisible(GetDlgItem(page, 1138)) || IsWindowVisible(GetDlgItem(page, 1139));
        originalIconShown = IsWindowVisible(GetDlgItem(page, 1201));
        // A click as the mouse makes it: the page finds the image under it.
        RECT box = {};
        GetWindowRect(GetDlgItem(page, 1137), &box);
        POINT at = {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
        ScreenToClient(page, &at);
        PostMessageA(page, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
        if (HWND patrol = explorertest::WaitWindow("Patrol Time for checking HOST file")) {
            SetDlgItemTextA(patrol, 1004, "0");
            explorertest::Click(patrol, IDOK);
        }
        SendMessageA(page, WM_NULL, 0, 0);
        offAfter = Shown(page, 1137);
    });
    EXPECT_EQ(onBefore, GetSharedBitmap(IDB_MONITOR_ON));
    EXPECT_EQ(offAfter, GetSharedBitmap(IDB_MONITOR_OFF));
    EXPECT_EQ(Option("HostFile"), "0");
    ASSERT_TRUE(IsNtPlatform());
    EXPECT_FALSE(restartShown);
    EXPECT_TRUE(originalIconShown);
}

TEST_F(OptionsPage, AboutShowsTheVersionAndOffersNewsAndVersionCheckOnlyForWebAddresses)
{
    // A detailed lookup leaves its address in "temp.url" beside the program.
    SetText(kUser, kOptionsKey, "PrimeFormat", "1");
    const std::string url = Beside("temp.url");
    DeleteFileA(url.c_str());
    struct Case { const char* lookupSite; const char* getVersion; bool news, versionCheck; };
    for (const Case& c : {Case{nullptr, nullptr, false, false},
                          Case{"ftp://intranet.example.org/v", "file:///C:/vl/version.html", false, false},
                          Case{nullptr, "https://intranet.example.org/v/version.pl?", false, true},
                          Case{"http://intranet.example.org/v/", nullptr, true, true}}) {
        for (auto [name, value] : {std::pair{"LookupSite", c.lookupSite}, {"GetVersion", c.getVersion}}) {
            if (value) SetText(HKEY_LOCAL_MACHINE, kVelmoraKey, name, value);
            else DeleteRegValue(HKEY_LOCAL_MACHINE, kVelmoraKey, name);
        }
        std::string heading;
        bool news = !c.news, versionCheck = !c.versionCheck, labelInPlace = false, searched = false;
        explorertest::WithPage(IDD_PAGE_ABOUT, AboutPageSpec(), kSheet, [&](HWND page) {
            char text[1100] = "";
            GetDlgItemTextA(page, 1041, text, sizeof(text));
            heading = text;
            // 1077 is the search box's label here, and the layout leaves it by its box.
            RECT labelBox = {}, box = {};
            GetWindowRect(GetDlgItem(page, 1077), &labelBox);
            GetWindowRect(GetDlgItem(page, 1075), &box);
            labelInPlace = labelBox.left == box.left && labelBox.bottom <= box.top;
            news = IsWindowEnabled(GetDlgItem(page, 1021));
            versionCheck = IsWindowEnabled(GetDlgItem(page, 1123));
            if (!c.news) return;
            // Enter in the box searches: "&Search" is the default button.
            HWND edit = GetDlgItem(page, 1075);
            SetWindowTextA(edit, "vltest.exe");
            SendMessageA(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
            PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
            searched = WaitFor([&] { return GetFileAttributesA(url.c_str()) != INVALID_FILE_ATTRIBUTES; });
        });
        EXPECT_EQ(heading.rfind("Velmora v ", 0), 0u) << heading;
        EXPECT_TRUE(labelInPlace);
        EXPECT_EQ(news, c.news) << (c.lookupSite ? c.lookupSite : "-");
        EXPECT_EQ(versionCheck, c.versionCheck) << (c.getVersion ? c.getVersion : "-");
        EXPECT_EQ(searched, c.news);
    }
    DeleteFileA(url.c_str());
}

TEST_F(OptionsPage, ReportButtonsWriteTheirFilesBesideTheProgram)
{
    char user[256] = "";
    DWORD userLength = sizeof(user);
    GetUserNameA(user, &userLength);
    // This prefix opens neither ".csv" nor ".log", so no viewer comes up.
    const std::string csv = Beside("VelmoraLog.csv"), log = Beside("HijackVelmora.log"),
                      exported = Beside((std::string(user) + "-Velmora.reg").c_str());
    for (const std::string& path : {csv, log, exported}) DeleteFileA(path.c_str());
    std::string message;
    WithOptions([&](HWND page) {
        explorertest::Press(page, 1110);
        explorertest::Press(page, 1109);
        SendMessageA(page, WM_NULL, 0, 0);
        message = explorertest::PressAnswered(page, 1106, GetAppCaption(), IDOK);
    });
    EXPECT_EQ(ReadTextFile(csv).rfind("Log created by ", 0), 0u);
    const std::string text = ReadTextFile(log);
    EXPECT_EQ(text.rfind("Log created by ", 0), 0u);
    EXPECT_NE(text.find("\r\nEnd of file\r\n"), std::string::npos);
    const std::string reg = ReadTextFile(exported);   // UTF-16LE with its byte-order mark
    EXPECT_EQ(reg.rfind(std::string("\xff\xfeW\0i\0n\0", 8), 0), 0u);
    EXPECT_NE(message.find("-Velmora.reg"), std::string::npos) << message;
    for (const std::string& path : {csv, log, exported}) DeleteFileA(path.c_str());
}

}  // namespace
