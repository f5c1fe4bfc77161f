// The location table, the disabled-store markers and the location column.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "catalogue/catalogue.h"
#include "tests/catalogue/startuptest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;

namespace {

constexpr const char* kMarkers = "Software\\Corvath\\Velmora\\Disabled";

struct RunRow {
    const char* key;
    const char* store;
};
constexpr RunRow kRows[7] = {
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Software\\Corvath\\Velmora\\Disabled\\Run"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
     "Software\\Corvath\\Velmora\\Disabled\\RunOnce"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
     "Software\\Corvath\\Velmora\\Disabled\\RunOnceEx"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
     "Software\\Corvath\\Velmora\\Disabled\\RunServices"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
     "Software\\Corvath\\Velmora\\Disabled\\RunServicesOnce"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup",
     "Software\\Corvath\\Velmora\\Disabled\\RunSetup"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run",
     "Software\\Corvath\\Velmora\\Disabled\\Policy"},
};

std::string LocationOf(const char* title, int code)
{
    ClearItems();
    AddItem(title, "C:\\VlApps\\where.exe", "", "", code, 0);
    char out[512] = "stale";
    const int length = GetLocationText(0, out);
    const bool localized = code == 800 || code == 900 || code == 901;
    EXPECT_EQ(localized ? 0u : strlen(out), static_cast<size_t>(length)) << code;
    ClearItems();
    return out;
}

}   // namespace

TEST(RunLocation, MachineAndUserCodesNameTheirKeyAndStore)
{
    for (int number = 1; number <= 7; ++number) {
        for (int code : {number, number + 10}) {
            HKEY root = nullptr;
            const char* key = nullptr;
            const char* store = nullptr;
            ASSERT_EQ(1, GetRunLocation(code, &root, &key, &store)) << code;
            EXPECT_EQ(code > 10 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, root) << code;
            EXPECT_STREQ(kRows[number - 1].key, key) << code;
            EXPECT_STREQ(kRows[number - 1].store, store) << code;
        }
    }
}

TEST(RunLocation, OtherCodesLeaveTheOutputsAlone)
{
    for (int code : {-1, 0, 8, 9, 10, 18, 21, 31, 100, 200, 250}) {
        HKEY root = HKEY_USERS;
        const char* key = "keep";
        const char* store = "keep";
        EXPECT_EQ(0, GetRunLocation(code, &root, &key, &store)) << code;
        EXPECT_EQ(HKEY_USERS, root);
        EXPECT_STREQ("keep", key);
        EXPECT_STREQ("keep", store);
    }
    EXPECT_EQ(1, GetRunLocation(11, nullptr, nullptr, nullptr));
}

TEST(DisabledStore, WinIniAndNotifyHaveTheirOwnStoreKeys)
{
    EXPECT_STREQ("Software\\Corvath\\Velmora\\Disabled\\WinLoad", GetDisabledStoreKey(100));
    EXPECT_STREQ("Software\\Corvath\\Velmora\\Disabled\\WinRun", GetDisabledStoreKey(101));
    EXPECT_STREQ("Software\\Corvath\\Velmora\\Disabled\\WinNotify", GetDisabledStoreKey(256));
    for (int code : {0, 1, 11, 200, 250, 255, 257}) EXPECT_EQ(nullptr, GetDisabledStoreKey(code));
}

TEST(DisabledStore, AMarkerCountsWhateverItsDataButOnlyADecimalGivesACode)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    EXPECT_EQ(0, IsDisabledEntry("VlMarkA")) << "no marker key at all";
    EXPECT_EQ(0, GetDisabledCode("VlMarkA"));

    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlMarkA", "11"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlMarkZero", "0"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlMarkWord", "abc"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlMarkEmpty", ""));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlMarkLong", std::string(40, '7')));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "Vl=Mark%s", "200"));
    const DWORD number = 11;
    ASSERT_TRUE(SetRaw(HKEY_LOCAL_MACHINE, kMarkers, "VlMarkDword", REG_DWORD, &number,
                       sizeof number));

    EXPECT_EQ(1, IsDisabledEntry("VlMarkA"));
    EXPECT_EQ(1, IsDisabledEntry("vlmarka")) << "value names ignore case";
    EXPECT_EQ(11, GetDisabledCode("VlMarkA"));
    EXPECT_EQ(1, IsDisabledEntry("VlMarkZero"));
    EXPECT_EQ(0, GetDisabledCode("VlMarkZero"));
    EXPECT_EQ(1, IsDisabledEntry("VlMarkWord"));
    EXPECT_EQ(0, GetDisabledCode("VlMarkWord"));
    EXPECT_EQ(1, IsDisabledEntry("VlMarkEmpty"));
    EXPECT_EQ(0, GetDisabledCode("VlMarkEmpty"));
    EXPECT_EQ(0, GetDisabledCode("VlMarkLong")) << "a marker is a short decimal";
    EXPECT_EQ(200, GetDisabledCode("Vl=Mark%s"));
    EXPECT_EQ(1, IsDisabledEntry("VlMarkDword"));
    EXPECT_EQ(0, GetDisabledCode("VlMarkDword"));
    EXPECT_EQ(0, IsDisabledEntry("VlMarkMissing"));
    EXPECT_EQ(0, IsDisabledEntry(nullptr));
    EXPECT_EQ(0, GetDisabledCode(nullptr));
}

TEST(LocationText, EachCodeHasItsColumnText)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    const char* names[5] = {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce"};
    for (int i = 0; i < 5; ++i) {
        const std::string tail = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\") + names[i];
        EXPECT_EQ("HKLM\\" + tail, LocationOf("VlWhere", i + 1));
        EXPECT_EQ("HKCU\\" + tail, LocationOf("VlWhere", i + 11));
        EXPECT_EQ("HKEY_USER\\" + tail, LocationOf("VlWhere", i + 21));
    }
    const struct {
        int code;
        const char* text;
    } fixed[] = {
        {100, "WIN.INI     [Load] Section"},
        {101, "WIN.INI     [Run] Section"},
        {200, "Windows Startup Group"},
        {250, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Userinit"},
        {251, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Shell"},
        {252, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad"},
        {253, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler"},
        {254, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks"},
        {255, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows  AppInit_DLLs"},
        {256, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Notify"},
    };
    for (const auto& row : fixed) EXPECT_EQ(row.text, LocationOf("VlWhere", row.code)) << row.code;
    for (int code : {0, 6, 7, 16, 17, 31, 257, 300, 370, 500, 700, 3000})
        EXPECT_EQ("", LocationOf("VlWhere", code)) << code;
}

TEST(LocationText, TasksAndBrowserAddOnsAreLocalizedAndReportNoLength)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    ClearItems();
    AddItem("VlTask", "C:\\VlApps\\task.exe", "", "", 800, 0);
    AddItem("VlBho", "C:\\VlApps\\bho.dll", "", "", 900, 0);
    AddItem("VlBar", "C:\\VlApps\\bar.dll", "", "", 901, 0);
    char out[512];
    EXPECT_EQ(0, GetLocationText(0, out));
    EXPECT_STREQ("Windows Task Scheduler", out);
    EXPECT_EQ(0, GetLocationText(1, out));
    EXPECT_STREQ("Internet Explorer - Browser Helper Object", out);
    EXPECT_EQ(0, GetLocationText(2, out));
    EXPECT_STREQ("Internet Explorer - Toolbar Add-On Extension", out);
    // Beyond the list: no record, no code, no text.
    StrCopy(out, "stale");
    EXPECT_EQ(0, GetLocationText(7, out));
    EXPECT_STREQ("", out);
    ClearItems();
}

TEST(LocationText, ADisabledStartupEntryIsMarkedInFrontOfItsLocation)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlOff", "11"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlOffTask", "800"));
    EXPECT_EQ(" *    Disabled * HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
              LocationOf("VlOff", 11));
    EXPECT_EQ(" *    Disabled * Windows Startup Group", LocationOf("VlOff", 200));
    EXPECT_EQ(" *    Disabled * ", LocationOf("VlOff", 16));
    EXPECT_EQ("Windows Task Scheduler", LocationOf("VlOffTask", 800));
    EXPECT_EQ("WIN.INI     [Run] Section", LocationOf("VlOn", 101));
}
