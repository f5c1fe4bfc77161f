// The monitor's stores, options and first run against the real registry of
// the Wine machine. Every test keeps HKCU "Software\Corvath" and the
// monitor's machine Run values as they were.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "monitor/monitor.h"
#include "tests/catalogue/startuptest.h"
#include "tests/support/testsupport.h"

using namespace startuptest;

namespace {

constexpr const char* kCorvath = "Software\\Corvath";
constexpr const char* kBackup = "Software\\VelmoraStoresTestBackup";
constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kFixture = FixturePath("startup_fixture.exe");
const std::string kCommand = "\"" + kFixture + "\" /mode=quiet";

std::string MonitorCommand()
{
    char folder[MAX_PATH] = "";
    GetProgramFolder(folder);
    return std::string(folder) + "\\velmora.exe";
}

bool SetDword(const char* key, const char* name, DWORD value)
{
    return SetRaw(HKEY_CURRENT_USER, key, name, REG_DWORD, &value, sizeof(value));
}

// The value names of a key that contain `part` (any case).
std::vector<std::string> NamesWith(const char* key, const std::string& part)
{
    std::vector<std::string> found;
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return found;
    char name[1024];
    for (DWORD i = 0, n = sizeof(name); RegEnumValueA(h, i, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, n = sizeof(name))
        if (ContainsNoCase(name, part.c_str())) found.push_back(name);
    RegCloseKey(h);
    return found;
}

bool KeyExists(const char* key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

class Stores : public ::testing::Test {
protected:
    SavedValue machineEntry_{HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora"};
    SavedValue primeEntry_{HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora PRIME"};
    SavedValue userEntry_{HKEY_CURRENT_USER, kUserRun, "VlStoresTest"};

    void SetUp() override
    {
        DeleteKeyTree(HKEY_CURRENT_USER, kBackup);
        saved_ = KeyExists(kCorvath);
        if (saved_) ASSERT_EQ(ERROR_SUCCESS, SHCopyKeyA(HKEY_CURRENT_USER, kCorvath, MakeKey(kBackup), 0));
        DeleteKeyTree(HKEY_CURRENT_USER, kCorvath);
        ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kUserRun, "VlStoresTest", kCommand));
        GetMonitorState() = MonitorState{};
    }
    void TearDown() override
    {
        DeleteKeyTree(HKEY_CURRENT_USER, kCorvath);
        if (saved_) SHCopyKeyA(HKEY_CURRENT_USER, kBackup, MakeKey(kCorvath), 0);
        DeleteKeyTree(HKEY_CURRENT_USER, kBackup);
    }
    bool saved_ = false;
    HKEY made_ = nullptr;
    HKEY MakeKey(const char* path)
    {
        if (made_) RegCloseKey(made_);
        made_ = nullptr;
        RegCreateKeyA(HKEY_CURRENT_USER, path, &made_);
        return made_;
    }
    ~Stores() override
    {
        if (made_) RegCloseKey(made_);
    }
    // The approval the startup store holds for the test's Run entry.
    static std::string Approval()
    {
        const std::vector<std::string> names = NamesWith(kApprovedRunKey, "startup_fixture.exe");
        return names.size() == 1 ? Reg(HKEY_CURRENT_USER, kApprovedRunKey, names[0]) : kMissing;
    }
};

TEST_F(Stores, FirstRunCreatesTheKeysAndApprovesWhatStartsNow)
{
    GetInitialValues();
    for (const char* key : {"Nuts", "Cookies", "Options", "Run", "IEHelpers", "HostFile", "Tasks"})
        EXPECT_TRUE(KeyExists((std::string(kVelmoraKey) + "\\" + key).c_str())) << key;
    EXPECT_NE(kMissing, Reg(HKEY_CURRENT_USER, kVelmoraKey, ""));
    EXPECT_EQ("12.0.2007.5", Reg(HKEY_CURRENT_USER, kVelmoraKey, "Version"));
    EXPECT_EQ("11", Approval());
    EXPECT_EQ("P", Reg(HKEY_CURRENT_USER, kApprovedServicesKey, ""));
    EXPECT_EQ("P", Reg(HKEY_CURRENT_USER, kApprovedHiddenKey, ""));
    EXPECT_NE(kMissing, Reg(HKEY_CURRENT_USER, kDetectedKey, ""));
    EXPECT_EQ(1u, NamesWith(kDetectedStartupKey, "STARTUP_FIXTURE.EXE").size());
    EXPECT_EQ(MonitorCommand(), Reg(HKEY_LOCAL_MACHINE, kMachineRunKey, "Velmora"));
    EXPECT_EQ("1", Reg(HKEY_CURRENT_USER, kApprovedRunKey, MonitorCommand()));
    EXPECT_TRUE(GetMonitorState().autostart);
}
}  // namespace
