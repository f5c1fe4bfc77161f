#include <gtest/gtest.h>

#include <string>

#include "catalogue/catalogue.h"
#include "tests/support/testsupport.h"

namespace {

constexpr const char* kServiceName = "NwTestSvc";
constexpr const char* kDisplayName = "Northwind Test Service";
constexpr const char* kDescription = "Keeps the Northwind test data in order.";

std::string ServiceKey(const char* name)
{
    return std::string(kServicesKey) + "\\" + name;
}

void SetValue(const std::string& key, const char* name, DWORD type, const void* data, DWORD size)
{
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, type, data, size);
}

void SetText(const std::string& key, const char* name, const std::string& text, DWORD type = REG_SZ)
{
    SetValue(key, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

DWORD ReadStart(const char* name)
{
    DWORD value = 0xFFFF, size = sizeof value;
    RegGetValueA(HKEY_LOCAL_MACHINE, ServiceKey(name).c_str(), "Start", RRF_RT_REG_DWORD, nullptr, &value,
                 &size);
    return value;
}

struct Item {
    std::string path, entry, detail;
    int type = 0;
};

// The listed service with this title, if any.
bool FindService(const std::string& title, Item* item = nullptr)
{
    for (int i = 0; i < ItemCount(); ++i) {
        char text[kTitleLen], path[kPathLen], entry[kEntryLen], detail[kDetailLen];
        GetItemTitle(i, text);
        if (title != text) continue;
        GetItemPath(i, path);
        GetItemEntryName(i, entry);
        GetItemDetail(i, detail, kDetailLen);
        if (item) *item = {path, entry, detail, GetItemType(i)};
        return true;
    }
    return false;
}

bool WaitForState(SC_HANDLE service, DWORD state)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        SERVICE_STATUS status = {};
        if (QueryServiceStatus(service, &status) && status.dwCurrentState == state) return true;
        Sleep(50);
    }
    return false;
}

// The fixture service, installed through the Service Control Manager and
// stopped and deleted again however the test ends.
class InstalledService {
    UniqueService manager_{OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)};
    UniqueService service_;

    void Remove()
    {
        UniqueService old(OpenServiceA(manager_.get(), kServiceName, SERVICE_ALL_ACCESS));
        SERVICE_STATUS status = {};
        if (!old) return;
        if (ControlService(old.get(), SERVICE_CONTROL_STOP, &status)) WaitForState(old.get(), SERVICE_STOPPED);
        DeleteService(old.get());
    }

public:
    InstalledService()
    {
        if (!manager_) return;
        Remove();
        std::string command = FixturePath("svc_fixture.exe");
        command.insert(0, 1, '"').push_back('"');
        service_ = UniqueService(CreateServiceA(manager_.get(), kServiceName, kDisplayName,
                                                SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                                SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(),
                                                nullptr, nullptr, nullptr, nullptr, nullptr));
        SERVICE_DESCRIPTIONA description = {const_cast<char*>(kDescription)};
        if (service_) ChangeServiceConfig2A(service_.get(), SERVICE_CONFIG_DESCRIPTION, &description);
    }
    ~InstalledService()
    {
        service_ = UniqueService();
        if (manager_) Remove();
    }
    bool ok() const { return static_cast<bool>(service_); }
    bool Start()
    {
        return StartServiceA(service_.get(), 0, nullptr) && WaitForState(service_.get(), SERVICE_RUNNING);
    }
    bool WaitStopped() { return WaitForState(service_.get(), SERVICE_STOPPED); }
};

// A service that exists only in the registry (the manager does not know it).
struct RegistryService {
    std::string key;
    ScratchKey scratch{HKEY_LOCAL_MACHINE, key};

    RegistryService(const char* name, const std::string& title, const std::string& imagePath,
                    DWORD imageType = REG_SZ, DWORD start = 3)
        : key(ServiceKey(name))
    {
        const DWORD ownProcess = SERVICE_WIN32_OWN_PROCESS;
        SetText(key, "DisplayName", title);
        SetText(key, "ImagePath", imagePath, imageType);
        SetValue(key, "Type", REG_DWORD, &ownProcess, sizeof ownProcess);
        SetValue(key, "Start", REG_DWORD, &start, sizeof start);
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

TEST_F(Services, InstalledServiceIsListedAskedAndStoppedAndUnknownNamesYieldNothing)
{
    InstalledService svc;
    ASSERT_TRUE(svc.ok()) << GetLastError();
    EXPECT_EQ(BuildServiceList(), 0);
    Item item;
    ASSERT_TRUE(FindService(kDisplayName, &item));
    EXPECT_EQ(lstrcmpiA(item.path.c_str(), exe.c_str()), 0) << item.path;
    EXPECT_EQ(item.type, 700);
    EXPECT_EQ(item.entry, "Manual");
    EXPECT_EQ(item.detail, kDescription);
    char text[256] = "x";
    EXPECT_EQ(LookupServiceDisplayName(kServiceName, text), 1);
    EXPECT_STREQ(text, kDisplayName);

    // Unknown names yield nothing; a stopped service cannot be asked.
    EXPECT_EQ(LookupServiceDisplayName("NwNoSuchService", text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(LookupServiceDisplayName("", text), 0);
    EXPECT_EQ(GetServiceStateText(std::string(600, 'q').c_str(), text), 0);
    EXPECT_STREQ(text, "Stopped");
    EXPECT_EQ(SendServiceControl("Northwind No Such Service", SERVICE_CONTROL_STOP), 0);
    EXPECT_EQ(SetServiceStartType("", 2), 0);
    EXPECT_EQ(QueryServiceState(kDisplayName), 0);
    EXPECT_EQ(QueryServiceControls(kDisplayName), 0);
    EXPECT_EQ(GetServiceStateText(kDisplayName, text), 0);
    EXPECT_STREQ(text, "Stopped");
    EXPECT_EQ(SendServiceControl(kDisplayName, SERVICE_CONTROL_STOP), 0);

    ASSERT_TRUE(svc.Start());
    const int packed = QueryServiceState(kDisplayName);
    EXPECT_EQ(packed >> 16, SERVICE_RUNNING);
    EXPECT_EQ(packed & 0xFFFF, SERVICE_WIN32_OWN_PROCESS);
    EXPECT_NE(QueryServiceControls(kDisplayName) & SERVICE_ACCEPT_STOP, 0);
    EXPECT_EQ(GetServiceStateText(kDisplayName, text), packed);
    EXPECT_STREQ(text, "Running");
    EXPECT_EQ(SendServiceControl(kDisplayName, SERVICE_CONTROL_STOP), 1);
    ASSERT_TRUE(svc.WaitStopped());
    EXPECT_EQ(QueryServiceState(kDisplayName), 0);
}

TEST_F(Services, StartTypeIsSwitchedAndARejectedServiceEndsDisabledAndStopped)
{
    InstalledService svc;
    ASSERT_TRUE(svc.ok());
    const char* expected[] = {"Automatic", "Manual", "Disabled"};
    for (int start : {2, 4, 3}) {
        EXPECT_EQ(SetServiceStartType("NORTHWIND test SERVICE", start), 1);
        EXPECT_EQ(ReadStart(kServiceName), static_cast<DWORD>(start));
        BuildServiceList();
        Item item;
        ASSERT_TRUE(FindService(kDisplayName, &item));
        EXPECT_EQ(item.entry, expected[start - 2]);
    }
    // Boot and system starts belong to drivers; other numbers are no start type.
    for (int start : {0, 1, 5, -1}) EXPECT_EQ(SetServiceStartType(kDisplayName, start), 0);
    EXPECT_EQ(SetServiceStartType("No Such Northwind Service", 2), 0);
    EXPECT_EQ(ReadStart(kServiceName), 3u);

    // What the monitor does with a service the user rejects: disable, then stop.
    ASSERT_TRUE(svc.Start());
    EXPECT_EQ(SetServiceStartType(kDisplayName, SERVICE_DISABLED), 1);
    EXPECT_EQ(SendServiceControl(kDisplayName, SERVICE_CONTROL_STOP), 1);
    ASSERT_TRUE(svc.WaitStopped());
    EXPECT_EQ(ReadStart(kServiceName), static_cast<DWORD>(SERVICE_DISABLED));

    // Only the manager keeps the name once the registry's is gone.
    ASSERT_EQ(DeleteRegValue(HKEY_LOCAL_MACHINE, ServiceKey(kServiceName).c_str(), "DisplayName"), 1);
    EXPECT_EQ(SetServiceStartType(kDisplayName, 3), 0);
    EXPECT_EQ(ReadStart(kServiceName), static_cast<DWORD>(SERVICE_DISABLED));
}

TEST_F(Services, ServicesWithAProgramTextAreListedLongPathsCut)
{
    const DWORD number = 0x6578652E;
    RegistryService missing("NwTestNoImage", "Northwind Missing Image", exe),
        dword("NwTestDwordImage", "Northwind Number Image", exe),
        binary("NwTestBinImage", "Northwind Binary Image", exe, REG_BINARY),
        driver("NwTestDriver", "Northwind Driver", "system32\\drivers\\northwind.sys"),
        huge("NwTestLongImage", "Northwind Long Image", "C:\\" + std::string(400, 'n') + ".exe"),
        expand("NwTestExpandImage", "Northwind Expanded Image", "%SystemRoot%\\northwind.exe", REG_EXPAND_SZ),
        boot("NwTestBoot", std::string(300, 'T'), exe, REG_SZ, 1);
    DeleteRegValue(HKEY_LOCAL_MACHINE, missing.key.c_str(), "ImagePath");
    SetValue(dword.key, "ImagePath", REG_DWORD, &number, sizeof number);
    SetText(boot.key, "Description", std::string(2000, 'd'));
    SetValue(expand.key, "Description", REG_DWORD, &number, sizeof number);

    BuildServiceList();
    for (const char* title : {"Northwind Missing Image", "Northwind Number Image", "Northwind Binary Image",
                              "Northwind Driver"})
        EXPECT_FALSE(FindService(title)) << title;
    // Windows starts a service with a long path: it is listed, cut to the field.
    Item item;
    ASSERT_TRUE(FindService("Northwind Long Image", &item));
    EXPECT_EQ(item.path, "C:\\" + std::string(kPathLen - 4, 'n'));
    EXPECT_EQ(item.type, 700);
    ASSERT_TRUE(FindService("Northwind Expanded Image", &item));
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_EQ(lstrcmpiA(item.path.c_str(), (std::string(windows) + "\\northwind.exe").c_str()), 0)
        << item.path;
    EXPECT_EQ(item.detail, "");   // a number is no description
    // Long texts are cut to the list's fields; a boot start has no text of its own.
    ASSERT_TRUE(FindService(std::string(kTitleLen - 1, 'T'), &item));
    EXPECT_EQ(item.detail, std::string(kDetailLen - 1, 'd'));
    EXPECT_EQ(item.entry, "0");

    // A service without a text ImagePath takes no start type; a long one does.
    EXPECT_EQ(SetServiceStartType("Northwind Number Image", 2), 0);
    EXPECT_EQ(ReadStart("NwTestDwordImage"), 3u);
    EXPECT_EQ(SetServiceStartType("Northwind Long Image", 2), 1);
    EXPECT_EQ(ReadStart("NwTestLongImage"), 2u);
}

TEST_F(Services, OnlySvchostHostsServicesWhichShowTheirDllAndHideByCompany)
{
    const std::string host = "%SystemRoot%\\system32\\svchost.exe -k nwtest";
    RegistryService withDll("NwTestHosted", "Northwind Hosted", host, REG_EXPAND_SZ),
        withoutDll("NwTestHostOnly", "Northwind Host Only", host, REG_EXPAND_SZ),
        own("NwTestOwn", "Northwind Own", "\"" + exe + "\" -service"),
        lookalike("NwTestSmHost", "Northwind Lookalike", "C:\\Northwind\\SMSvcHost.exe -k nwtest");
    SetText(withDll.key + "\\Parameters", "ServiceDll", hostedDll);
    SetText(withDll.key, "Description", "Hosted description");
    SetText(withoutDll.key + "\\Parameters", "ServiceDll", "");
    SetText(own.key, "Description", "Own process description");
    // A program whose name only contains the host's runs on its own: its DLL value is no path of it.
    SetText(lookalike.key + "\\Parameters", "ServiceDll", "C:\\Northwind\\lookalike.dll");
    SetText(lookalike.key, "Description", "Lookalike description");

    WriteOption("HideMicrosoftServices", 0);
    BuildServiceList();
    const struct {
        const char* title;
        int type;
        std::string path;
    } expected[] = {
        {"Northwind Hosted", 701, hostedDll},
        {"Northwind Own", 700, exe},
        {"Northwind Lookalike", 700, "C:\\Northwind\\SMSvcHost.exe -k nwtest"},
    };
    for (const auto& e : expected) {
        Item item;
        ASSERT_TRUE(FindService(e.title, &item)) << e.title;
        EXPECT_EQ(item.type, e.type) << e.title;
        EXPECT_TRUE(ContainsNoCase(item.path.c_str(), e.path.c_str())) << item.path;
    }
    Item item;
    ASSERT_TRUE(FindService("Northwind Host Only", &item));
    EXPECT_EQ(item.type, 701);
    EXPECT_TRUE(ContainsNoCase(item.path.c_str(), "svchost.exe -k nwtest")) << item.path;

    WriteOption("HideMicrosoftServices", 1);
    BuildServiceList();
    EXPECT_FALSE(FindService("Northwind Hosted"));
    EXPECT_TRUE(FindService("Northwind Own"));

    // Descriptions are found by the normalized program path, for a hosted service by its DLL.
    const struct {
        std::string program;
        const char* description;
    } lookups[] = {
        {exe, "Own process description"},
        {hostedDll, "Hosted description"},
        {"C:\\Northwind\\SMSvcHost.exe", "Lookalike description"},
        {"C:\\Northwind\\lookalike.dll", ""},
        {"C:\\NOWHERE\\NORTHWIND.EXE", ""},
    };
    for (const auto& l : lookups) {
        char normalized[MAX_PATH], description[kDetailLen] = "x";
        NormalizeProgramPath(l.program.c_str(), normalized);
        EXPECT_EQ(FindServiceDescription(normalized, description), lstrlenA(l.description)) << l.program;
        EXPECT_STREQ(description, l.description);
    }
}

TEST_F(Services, IndirectTextsShowTheStringTheyNameOrStayAsStored)
{
    const std::string named = "@" + hostedDll + ",-101";
    const std::string unresolvable = "@C:\\Northwind\\nowhere.dll,-5";
    RegistryService indirect("NwTestIndirect", named, exe), broken("NwTestBadIndirect", unresolvable, exe);
    SetText(indirect.key, "Description", "@" + hostedDll + ",-102");
    SetText(broken.key, "Description", unresolvable);

    BuildServiceList();
    Item item;
    ASSERT_TRUE(FindService("Northwind Indirect Service", &item));
    EXPECT_EQ(item.detail, "Described through the DLL's string table.");
    ASSERT_TRUE(FindService(unresolvable, &item));
    EXPECT_EQ(item.detail, unresolvable);
    // The listed name is the one the start type is switched by.
    EXPECT_EQ(SetServiceStartType("Northwind Indirect Service", 4), 1);
    EXPECT_EQ(ReadStart("NwTestIndirect"), 4u);
}

}  // namespace
