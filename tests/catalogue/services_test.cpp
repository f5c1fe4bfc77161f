#include <gtest/gtest.h>

#include "tests/catalogue/startuptest.h"

using namespace startuptest;

namespace {

constexpr const char* kServiceName = "NwTestSvc";
constexpr const char* kDisplayName = "Northwind Test Service";
constexpr const char* kDescription = "Keeps the Northwind test data in order.";
const DWORD kNumber = 0x6578652E;

std::string ServiceKey(const char* name) { return std::string(kServicesKey) + "\\" + name; }

DWORD ReadStart(const char* name)
{
    DWORD value = 0xFFFF, size = sizeof value;
    RegGetValueA(HKEY_LOCAL_MACHINE, ServiceKey(name).c_str(), "Start", RRF_RT_REG_DWORD, nullptr, &value,
                 &size);
    return value;
}

// A service that exists only in the registry (the manager does not know it).
struct RegistryService {
    std::string key;
    ScratchKey scratch{HKEY_LOCAL_MACHINE, key};
    RegistryService(const char* name, const std::string& title, const std::string& imagePath,
                    DWORD imageType = REG_SZ, DWORD start = 3)
        : key(ServiceKey(name))
    {
        SetText(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName", title);
        SetRaw(HKEY_LOCAL_MACHINE, key.c_str(), "ImagePath", imageType, imagePath.c_str(),
               static_cast<DWORD>(imagePath.size() + 1));
        SetRaw(HKEY_LOCAL_MACHINE, key.c_str(), "Start", REG_DWORD, &start, sizeof start);
    }
    void Set(const char* name, const std::string& text, const char* subkey = "") const
    {
        SetText(HKEY_LOCAL_MACHINE, (key + subkey).c_str(), name, text);
    }
};

class Services : public ::testing::Test {
protected:
    void TearDown() override
    {
        ClearItems();
        DeleteRegValue(HKEY_CURRENT_USER, kOptionsKey, "HideMicrosoftServices");
    }
    const std::string exe = FixturePath("svc_fixture.exe");
    const std::string hostedDll = FixturePath("svc_hosted.dll");
};

TEST_F(Services, InstalledServiceIsListedSwitchedAskedAndARejectedOneEndsDisabledAndStopped)
{
    FixtureService svc(kServiceName, kDisplayName, kDescription);
    ASSERT_TRUE(svc.get()) << GetLastError();
    BuildServiceList();
    Item item = OnlyWhere(&Item::title, kDisplayName);
    EXPECT_EQ(lstrcmpiA(item.path.c_str(), exe.c_str()), 0) << item.path;
    EXPECT_EQ(item.entry, "Manual");
    EXPECT_EQ(item.detail, kDescription);
    char text[256] = "x";
    EXPECT_EQ(LookupServiceDisplayName(kServiceName, text), 1);
    EXPECT_STREQ(text, kDisplayName);
    EXPECT_EQ(LookupServiceDisplayName("NwNoSuchService", text), 0);
    EXPECT_STREQ(text, "");
    for (int start : {2, 4, 3}) {
        EXPECT_EQ(SetServiceStartType("NORTHWIND test SERVICE", start), 1);
        EXPECT_EQ(ReadStart(kServiceName), static_cast<DWORD>(start));
    }
    // Boot and system starts belong to drivers; other numbers are no start type.
    for (int start : {0, 1, 5, -1}) EXPECT_EQ(SetServiceStartType(kDisplayName, start), 0);
    EXPECT_EQ(ReadStart(kServiceName), 3u);
    EXPECT_EQ(GetServiceStateText(kDisplayName, text), 0);   // a stopped service does not answer
    EXPECT_STREQ(text, "Stopped");
    ASSERT_TRUE(StartServiceA(svc.get(), 0, nullptr) && WaitServiceState(svc.get(), SERVICE_RUNNING) == SERVICE_RUNNING);
    const int packed = QueryServiceState(kDisplayName);
    EXPECT_EQ(packed, (SERVICE_RUNNING << 16) | SERVICE_WIN32_OWN_PROCESS);
    EXPECT_NE(QueryServiceControls(kDisplayName) & SERVICE_ACCEPT_STOP, 0);
    EXPECT_EQ(GetServiceStateText(kDisplayName, text), packed);
    EXPECT_STREQ(text, "Running");
    EXPECT_EQ(SetServiceStartType(kDisplayName, SERVICE_DISABLED), 1);
    EXPECT_EQ(SendServiceControl(kDisplayName, SERVICE_CONTROL_STOP), 1);
    ASSERT_TRUE(WaitServiceState(svc.get(), SERVICE_STOPPED) == SERVICE_STOPPED);
    BuildServiceList();
    EXPECT_EQ(OnlyWhere(&Item::title, kDisplayName).entry, "Disabled");
    // Only the manager keeps the name once the registry's is gone.
    ASSERT_EQ(DeleteRegValue(HKEY_LOCAL_MACHINE, ServiceKey(kServiceName).c_str(), "DisplayName"), 1);
    EXPECT_EQ(SetServiceStartType(kDisplayName, 3), 0);
}

// The display names of a list come from the manager as it is when the list is
// made: a renamed service shows its new name in the next list, and the
// manager's name stands over a registry text the manager never read.
TEST_F(Services, EachListShowsTheManagersCurrentDisplayNames)
{
    FixtureService svc(kServiceName, kDisplayName, kDescription);
    ASSERT_TRUE(svc.get()) << GetLastError();
    BuildServiceList();
    const int listed = ItemCount();
    OnlyWhere(&Item::title, kDisplayName);
    ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, ServiceKey(kServiceName).c_str(), "DisplayName",
                        "Northwind Registry Name"));
    BuildServiceList();
    OnlyWhere(&Item::title, kDisplayName);
    EXPECT_TRUE(IndexesOf("Northwind Registry Name").empty());
    constexpr const char* kRenamed = "Northwind Renamed Service";
    ASSERT_TRUE(ChangeServiceConfigA(svc.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                     SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, kRenamed));
    BuildServiceList();
    EXPECT_EQ(ItemCount(), listed);
    EXPECT_TRUE(IndexesOf(kDisplayName).empty());
    EXPECT_EQ(lstrcmpiA(OnlyWhere(&Item::title, kRenamed).path.c_str(), exe.c_str()), 0);
}

// The lists share one connection to the manager for the whole process: a
// service installed or deleted after it was made shows in the next list.
TEST_F(Services, AServiceInstalledOrDeletedBetweenTwoListsShowsInTheSecond)
{
    BuildServiceList();
    const int before = ItemCount();
    ASSERT_TRUE(SharedServiceManager());
    EXPECT_EQ(SharedServiceManager(), SharedServiceManager());
    {
        FixtureService svc(kServiceName, kDisplayName, kDescription);
        ASSERT_TRUE(svc.get()) << GetLastError();
        BuildServiceList();
        EXPECT_EQ(ItemCount(), before + 1);
        EXPECT_EQ(OnlyWhere(&Item::title, kDisplayName).entry, "Manual");
    }
    BuildServiceList();
    EXPECT_EQ(ItemCount(), before);
    EXPECT_TRUE(IndexesOf(kDisplayName).empty());
    // A new connection serves as the old one did.
    ASSERT_TRUE(ReopenServiceManager());
    BuildServiceList();
    EXPECT_EQ(ItemCount(), before);
}

TEST_F(Services, ServicesWithAProgramTextAreListedLongTextsCutIndirectTextsResolved)
{
    const std::string unresolvable = "@C:\\Northwind\\nowhere.dll,-5";
    RegistryService missing("NwTestNoImage", "Northwind Missing Image", exe),
        number("NwTestDwordImage", "Northwind Number Image", exe),
        driver("NwTestDriver", "Northwind Driver", "system32\\drivers\\northwind.sys"),
        huge("NwTestLongImage", "Northwind Long Image", "C:\\" + std::string(400, 'n') + ".exe"),
        expand("NwTestExpandImage", "Northwind Expanded Image", "%SystemRoot%\\northwind.exe", REG_EXPAND_SZ),
        boot("NwTestBoot", std::string(300, 'T'), exe, REG_SZ, 1),
        indirect("NwTestIndirect", "@" + hostedDll + ",-101", exe),
        broken("NwTestBadIndirect", unresolvable, exe);
    DeleteRegValue(HKEY_LOCAL_MACHINE, missing.key.c_str(), "ImagePath");
    SetRaw(HKEY_LOCAL_MACHINE, number.key.c_str(), "ImagePath", REG_DWORD, &kNumber, sizeof kNumber);
    SetRaw(HKEY_LOCAL_MACHINE, expand.key.c_str(), "Description", REG_DWORD, &kNumber, sizeof kNumber);
    boot.Set("Description", std::string(2000, 'd'));
    indirect.Set("Description", "@" + hostedDll + ",-102");
    broken.Set("Description", unresolvable);
    BuildServiceList();
    for (const char* title : {"Northwind Missing Image", "Northwind Number Image", "Northwind Driver"})
        EXPECT_TRUE(IndexesOf(title).empty()) << title;
    // Windows starts a service with a long path: it is listed, cut to the field.
    EXPECT_EQ(OnlyWhere(&Item::title, "Northwind Long Image").path, "C:\\" + std::string(kPathLen - 4, 'n'));
    Item item = OnlyWhere(&Item::title, "Northwind Expanded Image");
    EXPECT_TRUE(ContainsNoCase(item.path.c_str(), ":\\windows\\northwind.exe")) << item.path;
    EXPECT_EQ(item.detail, "");
    item = OnlyWhere(&Item::title, std::string(kTitleLen - 1, 'T'));
    EXPECT_EQ(item.detail, std::string(kDetailLen - 1, 'd'));
    EXPECT_EQ(item.entry, "0");
    // "@file,-id" names a string of the module; one that cannot be loaded stays as stored.
    EXPECT_EQ(OnlyWhere(&Item::title, "Northwind Indirect Service").detail,
              "Described through the DLL's string table.");
    EXPECT_EQ(OnlyWhere(&Item::title, unresolvable).detail, unresolvable);
    EXPECT_EQ(SetServiceStartType("Northwind Number Image", 2), 0);
    EXPECT_EQ(SetServiceStartType("Northwind Long Image", 2), 1);
    EXPECT_EQ(ReadStart("NwTestLongImage"), 2u);
    EXPECT_EQ(SetServiceStartType("Northwind Indirect Service", 4), 1);   // by the listed name
    EXPECT_EQ(ReadStart("NwTestIndirect"), 4u);
}

TEST_F(Services, OnlySvchostHostsServicesWhichShowTheirDllAndHideByCompany)
{
    const std::string host = "%SystemRoot%\\system32\\svchost.exe -k nwtest";
    const std::string lookalikeImage = "C:\\Northwind\\SMSvcHost.exe -k nwtest";
    RegistryService withDll("NwTestHosted", "Northwind Hosted", host, REG_EXPAND_SZ),
        withoutDll("NwTestHostOnly", "Northwind Host Only", host, REG_EXPAND_SZ),
        own("NwTestOwn", "Northwind Own", "\"" + exe + "\" -service"),
        lookalike("NwTestSmHost", "Northwind Lookalike", lookalikeImage);
    withDll.Set("ServiceDll", hostedDll, "\\Parameters");
    withDll.Set("Description", "Hosted description");
    withoutDll.Set("ServiceDll", "", "\\Parameters");
    // .NET's SMSvcHost.exe runs on its own: its DLL value is no path of it.
    lookalike.Set("ServiceDll", "C:\\Northwind\\lookalike.dll", "\\Parameters");
    lookalike.Set("Description", "Lookalike description");
    BuildServiceList();
    const std::string expected[][3] = {{"Northwind Hosted", "701", hostedDll},
                                       {"Northwind Host Only", "701", "svchost.exe -k nwtest"},
                                       {"Northwind Own", "700", exe},
                                       {"Northwind Lookalike", "700", lookalikeImage}};
    for (const auto& e : expected) {
        const Item item = OnlyWhere(&Item::title, e[0]);
        EXPECT_EQ(std::to_string(item.type), e[1]) << e[0];
        EXPECT_TRUE(ContainsNoCase(item.path.c_str(), e[2].c_str())) << item.path;
    }
    WriteOption("HideMicrosoftServices", 1);
    BuildServiceList();
    EXPECT_TRUE(IndexesOf("Northwind Hosted").empty());
    EXPECT_EQ(IndexesOf("Northwind Own").size(), 1u);
    // Descriptions are found by the normalized program path, for a hosted service by its DLL.
    const std::string lookups[][2] = {{hostedDll, "Hosted description"},
                                      {"C:\\Northwind\\SMSvcHost.exe", "Lookalike description"},
                                      {"C:\\NOWHERE\\NORTHWIND.EXE", ""}};
    for (const auto& l : lookups) {
        char normalized[MAX_PATH], description[kDetailLen] = "x";
        NormalizeProgramPath(l[0].c_str(), normalized);
        EXPECT_EQ(FindServiceDescription(normalized, description), static_cast<int>(l[1].size())) << l[0];
        EXPECT_EQ(description, l[1]);
    }
}

}  // namespace
