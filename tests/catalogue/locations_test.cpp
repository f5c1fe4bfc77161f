// The location table, the disabled-store markers and the location column.
#include <gtest/gtest.h>
#include <cstring>
#include <string>

#include "catalogue/catalogue.h"
#include "tests/catalogue/startuptest.h"

using namespace startuptest;

TEST(RunLocation, RunCodesNameTheirRootKeyAndStoreOtherCodesLeaveTheOutputsAlone)
{
    HKEY root = nullptr;
    const char *key = nullptr, *store = nullptr;
    // Keys and roots are checked by the startup list; the store names only here.
    ASSERT_EQ(1, GetRunLocation(6, &root, &key, &store));
    EXPECT_STREQ("Software\\Corvath\\Velmora\\Disabled\\RunSetup", store);
    for (int code : {0, 8, 10, 18}) {
        root = HKEY_USERS, key = store = "keep";
        EXPECT_EQ(0, GetRunLocation(code, &root, &key, &store)) << code;
        EXPECT_TRUE(root == HKEY_USERS && !strcmp("keep", key) && !strcmp("keep", store)) << code;
    }
    EXPECT_EQ(nullptr, GetDisabledStoreKey(11));
}

TEST(DisabledStore, AMarkerCountsWhateverItsDataButOnlyADecimalGivesACode)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kDisabledMarkerKey);
    EXPECT_EQ(0, IsDisabledEntry("VlMarkA"));   // no marker key at all
    const struct { const char* name; std::string data; int code; } cases[] = {
        {"VlMarkA", "11", 11}, {"VlMarkEmpty", "", 0}, {"VlMarkLong", std::string(40, '7'), 0},
        {"Vl=Mark%s", "200", 200}};
    for (const auto& c : cases) ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, c.name, c.data));
    const DWORD number = 11;
    ASSERT_TRUE(SetRaw(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, "VlMarkDword", REG_DWORD, &number, 4));
    for (const auto& c : cases) {
        EXPECT_EQ(1, IsDisabledEntry(c.name)) << c.name;
        EXPECT_EQ(c.code, GetDisabledCode(c.name)) << c.name;
    }
    EXPECT_EQ(1, IsDisabledEntry("VlMarkDword"));
    EXPECT_EQ(0, GetDisabledCode("VlMarkDword"));
    EXPECT_EQ(0, IsDisabledEntry("VlMarkMissing") + IsDisabledEntry(nullptr) + GetDisabledCode(nullptr));
}

// One code of each kind: the Run-type keys by root and last digit, a fixed
// text, a localized text, and codes without a column text.
TEST(LocationText, EachKindOfCodeHasItsColumnTextAndADisabledEntryIsMarkedInFront)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kDisabledMarkerKey);
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, "VlOff", "11"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, "VlOffTask", "800"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, "VlOffHigh", "257"));
    const struct { const char* title; int code; const char* text; } cases[] = {
        {"VlWhere", 1, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {"VlWhere", 15, "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
        {"VlWhere", 23, "HKEY_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
        {"VlWhere", 256, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Notify"},
        {"VlWhere", 6, ""},
        {"VlOff", 11, " *    Disabled * HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {"VlOff", 200, "Windows Startup Group"},   // the same title elsewhere is active
        {"VlOffHigh", 257, ""},
        {"VlOffTask", 800, "Windows Task Scheduler"},
    };
    for (const auto& c : cases) {
        ClearItems();
        AddItem(c.title, "C:\\VlApps\\where.exe", "", "", c.code, 0);
        char out[512] = "stale";
        EXPECT_EQ(c.code == 800 ? 0 : lstrlenA(c.text), GetLocationText(0, out)) << c.code;   // localized: 0
        EXPECT_STREQ(c.text, out) << c.title << " " << c.code;
    }
    ClearItems();
    char out[512] = "stale";
    EXPECT_EQ(0, GetLocationText(7, out));   // beyond the list
    EXPECT_STREQ("", out);
}
