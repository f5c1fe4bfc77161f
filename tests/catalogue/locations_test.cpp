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

TEST(RunLocation, RunCodesNameTheirRootKeyAndStoreOtherCodesLeaveTheOutputsAlone)
{
    HKEY root = nullptr;
    const char* key = nullptr;
    const char* store = nullptr;
    ASSERT_EQ(1, GetRunLocation(6, &root, &key, &store));
    EXPECT_EQ(HKEY_LOCAL_MACHINE, root);
    EXPECT_STREQ("Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup", key);
    EXPECT_STREQ("Software\\Corvath\\Velmora\\Disabled\\RunSetup", store);
    ASSERT_EQ(1, GetRunLocation(17, &root, &key, &store));
    EXPECT_EQ(HKEY_CURRENT_USER, root);
    EXPECT_STREQ("Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run", key);
    EXPECT_STREQ("Software\\Corvath\\Velmora\\Disabled\\Policy", store);
    for (int code : {-1, 0, 8, 10, 18, 21, 100, 200}) {
        root = HKEY_USERS;
        key = store = "keep";
        EXPECT_EQ(0, GetRunLocation(code, &root, &key, &store)) << code;
        EXPECT_TRUE(root == HKEY_USERS && !strcmp("keep", key) && !strcmp("keep", store)) << code;
    }
    EXPECT_EQ(1, GetRunLocation(11, nullptr, nullptr, nullptr));
    EXPECT_STREQ("Software\\Corvath\\Velmora\\Disabled\\WinNotify", GetDisabledStoreKey(256));
    for (int code : {0, 11, 200, 257}) EXPECT_EQ(nullptr, GetDisabledStoreKey(code)) << code;
}

TEST(DisabledStore, AMarkerCountsWhateverItsDataButOnlyADecimalGivesACode)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    EXPECT_EQ(0, IsDisabledEntry("VlMarkA")) << "no marker key at all";
    const struct {
        const char* name;
        std::string data;
        int code;
    } cases[] = {{"VlMarkA", "11", 11}, {"VlMarkWord", "abc", 0}, {"VlMarkEmpty", "", 0},
                 {"VlMarkLong", std::string(40, '7'), 0}, {"Vl=Mark%s", "200", 200}};
    for (const auto& c : cases) ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, c.name, c.data));
    const DWORD number = 11;
    ASSERT_TRUE(SetRaw(HKEY_LOCAL_MACHINE, kMarkers, "VlMarkDword", REG_DWORD, &number, sizeof number));
    for (const auto& c : cases) {
        EXPECT_EQ(1, IsDisabledEntry(c.name)) << c.name;
        EXPECT_EQ(c.code, GetDisabledCode(c.name)) << c.name;
    }
    EXPECT_EQ(1, IsDisabledEntry("vlmarka")) << "value names ignore case";
    EXPECT_EQ(1, IsDisabledEntry("VlMarkDword"));
    EXPECT_EQ(0, GetDisabledCode("VlMarkDword"));
    EXPECT_EQ(0, IsDisabledEntry("VlMarkMissing"));
    EXPECT_EQ(0, IsDisabledEntry(nullptr));
    EXPECT_EQ(0, GetDisabledCode(nullptr));
}

// One code of each kind: the Run-type keys by root and last digit, a fixed
// text, a localized text, and codes without a column text.
TEST(LocationText, EachKindOfCodeHasItsColumnTextAndADisabledEntryIsMarkedInFront)
{
    ScratchKey markers(HKEY_LOCAL_MACHINE, kMarkers);
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlOff", "11"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlOffTask", "800"));
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kMarkers, "VlOffHigh", "257"));
    const struct {
        const char* title;
        int code;
        const char* text;
    } cases[] = {
        {"VlWhere", 1, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {"VlWhere", 15, "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"},
        {"VlWhere", 23, "HKEY_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
        {"VlWhere", 100, "WIN.INI     [Load] Section"},
        {"VlWhere", 256, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Notify"},
        {"VlWhere", 800, "Windows Task Scheduler"},
        {"VlWhere", 901, "Internet Explorer - Toolbar Add-On Extension"},
        {"VlWhere", 6, ""},
        {"VlWhere", 257, ""},
        {"VlWhere", 3000, ""},
        {"VlOff", 11, " *    Disabled * HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        // Only the entry parked under the title is disabled; one of the same
        // title in another location is active.
        {"VlOff", 200, "Windows Startup Group"},
        {"VlOff", 1, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {"VlOffHigh", 257, ""},
        {"VlOffTask", 800, "Windows Task Scheduler"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, LocationOf(c.title, c.code)) << c.title << " " << c.code;
    char out[512] = "stale";
    EXPECT_EQ(0, GetLocationText(7, out)) << "beyond the list";
    EXPECT_STREQ("", out);
}
