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
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, key.c_str(), &h), ERROR_SUCCESS) << key;
    RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(h);
}

void SetText(const std::string& key, const char* name, const std::string& text,
             DWORD type = REG_SZ)
{
    SetValue(key, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetDword(const std::string& key, const char* name, DWORD value)
{
    SetValue(key, name, REG_DWORD, &value, sizeof(value));
}

DWORD ReadStart(const char* name)
{
    HKEY h = nullptr;
    DWORD value = 0xFFFF, size = sizeof(value);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ServiceKey(name).c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
        RegQueryValueExA(h, "Start", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(h);
    }
    return value;
}

struct Item {
    std::string title, path, entry, detail;
    int type = 0;
};

// The listed service with this title, if any.
bool FindService(const std::string& title, Item* item = nullptr)
{
    for (int i = 0; i < ItemCount(); ++i) {
        char text[kTitleLen];
        GetItemTitle(i, text);
        if (title != text) continue;
        if (item) {
            char path[kPathLen], entry[kEntryLen], detail[kDetailLen];
            GetItemPath(i, path);
            GetItemEntryName(i, entry);
            GetItemDetail(i, detail, kDetailLen);
            *item = {text, path, entry, detail, GetItemType(i)};
        }
        return true;
    }
    return false;
}

bool SameText(const std::string& a, const std::string& b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Waits (bounded) until the service reaches a state; false when it does not.
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
    UniqueService manager_;
    UniqueService service_;

    void Remove()
    {
        UniqueService old(OpenServiceA(manager_.get(), kServiceName, SERVICE_ALL_ACCESS));
        if (!old) return;
        SERVICE_STATUS status = {};
        if (ControlService(old.get(), SERVICE_CONTROL_STOP, &status))
            WaitForState(old.get(), SERVICE_STOPPED);
        DeleteService(old.get());
    }

public:
    InstalledService()
        : manager_(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS))
    {
        if (!manager_) return;
        Remove();
        std::string command = FixturePath("svc_fixture.exe");
        command.insert(0, 1, '"');
        command += '"';
        service_ = UniqueService(CreateServiceA(
            manager_.get(), kServiceName, kDisplayName, SERVICE_ALL_ACCESS,
            SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(),
            nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service_) return;
        SERVICE_DESCRIPTIONA description = {const_cast<char*>(kDescription)};
        ChangeServiceConfig2A(service_.get(), SERVICE_CONFIG_DESCRIPTION, &description);
    }
    ~InstalledService()
    {
        service_ = UniqueService();
        if (manager_) Remove();
    }
    InstalledService(const InstalledService&) = delete;
    InstalledService& operator=(const InstalledService&) = delete;
    bool ok() const { return static_cast<bool>(service_); }
    bool Start() { return StartServiceA(service_.get(), 0, nullptr) && WaitForState(service_.get(), SERVICE_RUNNING); }
    bool WaitStopped() { return WaitForState(service_.get(), SERVICE_STOPPED); }
};

// A service that exists only in the registry (the manager does not know it),
// with the values each test gives it.
class RegistryService {
    std::string name_;
    ScratchKey key_;

public:
    explicit RegistryService(const char* name) : name_(name), key_(HKEY_LOCAL_MACHINE, ServiceKey(name)) {}
    std::string key() const { return ServiceKey(name_.c_str()); }
    const char* name() const { return name_.c_str(); }
    void Define(const std::string& title, const std::string& imagePath, DWORD start = 3)
    {
        SetText(key(), "DisplayName", title);
        SetText(key(), "ImagePath", imagePath);
        SetDword(key(), "Type", SERVICE_WIN32_OWN_PROCESS);
        SetDword(key(), "Start", start);
    }
};

// The option "HideMicrosoftServices" for the length of one test.
class HideMicrosoft {
public:
    explicit HideMicrosoft(int value) { WriteOption("HideMicrosoftServices", value); }
    ~HideMicrosoft() { DeleteRegValue(HKEY_CURRENT_USER, kOptionsKey, "HideMicrosoftServices"); }
};

class Services : public ::testing::Test {
protected:
    void TearDown() override { ClearItems(); }
    const std::string exe = FixturePath("svc_fixture.exe");
    const std::string hostedDll = FixturePath("svc_hosted.dll");
};

TEST_F(Services, InstalledServiceIsListedWithItsRegistryTexts)
{
    InstalledService svc;
    ASSERT_TRUE(svc.ok()) << GetLastError();
    EXPECT_EQ(BuildServiceList(), 0);
    Item item;
    ASSERT_TRUE(FindService(kDisplayName, &item));
    EXPECT_TRUE(SameText(item.path, exe)) << item.path;
    EXPECT_EQ(item.type, 700);
    EXPECT_EQ(item.entry, "Manual");
    EXPECT_EQ(item.detail, kDescription);

    char display[kTitleLen];
    EXPECT_EQ(LookupServiceDisplayName(kServiceName, display), 1);
    EXPECT_STREQ(display, kDisplayName);
}

TEST_F(Services, StoppedServiceCannotBeAskedAndReadsStopped)
{
    InstalledService svc;
    ASSERT_TRUE(svc.ok());
    EXPECT_EQ(QueryServiceState(kDisplayName), 0);
    EXPECT_EQ(QueryServiceControls(kDisplayName), 0);
    char text[256] = "x";
    EXPECT_EQ(GetServiceStateText(kDisplayName, text), 0);
    EXPECT_STREQ(text, "Stopped");
    EXPECT_EQ(SendServiceControl(kDisplayName, SERVICE_CONTROL_STOP), 0);
}

TEST_F(Services, RunningServiceAnswersAndStopsOnRequest)
{
    InstalledService svc;
    ASSERT_TRUE(svc.ok());
    ASSERT_TRUE(svc.Start());

    const int packed = QueryServiceState(kDisplayName);
    EXPECT_EQ(packed >> 16, SERVICE_RUNNING);
    EXPECT_EQ(packed & 0xFFFF, SERVICE_WIN32_OWN_PROCESS);
    EXPECT_NE(QueryServiceControls(kDisplayName) & SERVICE_ACCEPT_STOP, 0);
    char text[256];
    EXPECT_EQ(GetServiceStateText(kDisplayName, text), packed);
    EXPECT_STREQ(text, "Running");

    EXPECT_EQ(SendServiceControl(kDisplayName, SERVICE_CONTROL_STOP), 1);
    ASSERT_TRUE(svc.WaitStopped());
    EXPECT_EQ(QueryServiceState(kDisplayName), 0);
}

// What the monitor does with a service the user rejects: disable, then stop.
TEST_F(Services, RejectedRunningServiceIsDisabledAndStopped)
{
    InstalledService svc;
    ASSERT_TRUE(svc.ok());
    ASSERT_TRUE(svc.Start());
    EXPECT_EQ(SetServiceStartType(kDisplayName, SERVICE_DISABLED), 1);
    EXPECT_EQ(SendServiceControl(kDisplayName, SERVICE_CONTROL_STOP), 1);
    ASSERT_TRUE(svc.WaitStopped());
    EXPECT_EQ(ReadStart(kServiceName), static_cast<DWORD>(SERVICE_DISABLED));
    char text[256];
    EXPECT_EQ(GetServiceStateText(kDisplayName, text), 0);
    EXPECT_STREQ(text, "Stopped");
    BuildServiceList();
    Item item;
    ASSERT_TRUE(FindService(kDisplayName, &item));
    EXPECT_EQ(item.entry, "Disabled");
}

TEST_F(Services, StartTypeIsSwitchedInTheRegistryOnly)
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
    for (int start : {0, 1, 5, -1}) {
        EXPECT_EQ(SetServiceStartType(kDisplayName, start), 0);
        EXPECT_EQ(ReadStart(kServiceName), 3u);
    }
    EXPECT_EQ(SetServiceStartType("No Such Northwind Service", 2), 0);
    EXPECT_EQ(SetServiceStartType("", 2), 0);
}

TEST_F(Services, StartTypeNeedsTheRegistryDisplayName)
{
    InstalledService svc;
    ASSERT_TRUE(svc.ok());
    // The manager keeps its own copy of the name; the registry's is gone.
    ASSERT_EQ(DeleteRegValue(HKEY_LOCAL_MACHINE, ServiceKey(kServiceName).c_str(), "DisplayName"), 1);
    EXPECT_EQ(SetServiceStartType(kDisplayName, 2), 0);
    EXPECT_EQ(ReadStart(kServiceName), 3u);
    BuildServiceList();
    EXPECT_TRUE(FindService(kDisplayName));
}

TEST_F(Services, UnusualStartValuesReadAsZero)
{
    RegistryService boot("NwTestBoot"), text("NwTestTextStart");
    boot.Define("Northwind Boot Start", exe, 1);
    text.Define("Northwind Text Start", exe);
    SetText(text.key(), "Start", "2");
    BuildServiceList();
    Item item;
    ASSERT_TRUE(FindService("Northwind Boot Start", &item));
    EXPECT_EQ(item.entry, "0");
    ASSERT_TRUE(FindService("Northwind Text Start", &item));
    EXPECT_EQ(item.entry, "0");
}

TEST_F(Services, ImagePathMustBeProgramText)
{
    RegistryService missing("NwTestNoImage"), number("NwTestDwordImage"), binary("NwTestBinImage"),
        driver("NwTestDriver"), huge("NwTestLongImage"), expand("NwTestExpandImage");
    missing.Define("Northwind Missing Image", exe);
    DeleteRegValue(HKEY_LOCAL_MACHINE, missing.key().c_str(), "ImagePath");
    number.Define("Northwind Number Image", exe);
    SetDword(number.key(), "ImagePath", 0x6578652E);
    binary.Define("Northwind Binary Image", exe);
    SetText(binary.key(), "ImagePath", exe, REG_BINARY);
    driver.Define("Northwind Driver", "system32\\drivers\\northwind.sys");
    huge.Define("Northwind Long Image", "C:\\" + std::string(400, 'n') + ".exe");
    expand.Define("Northwind Expanded Image", exe);
    SetText(expand.key(), "ImagePath", "%SystemRoot%\\northwind.exe", REG_EXPAND_SZ);

    BuildServiceList();
    EXPECT_FALSE(FindService("Northwind Missing Image"));
    EXPECT_FALSE(FindService("Northwind Number Image"));
    EXPECT_FALSE(FindService("Northwind Binary Image"));
    EXPECT_FALSE(FindService("Northwind Driver"));
    EXPECT_FALSE(FindService("Northwind Long Image"));
    Item item;
    ASSERT_TRUE(FindService("Northwind Expanded Image", &item));
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_TRUE(SameText(item.path, std::string(windows) + "\\northwind.exe")) << item.path;

    // Nor does a service without a text ImagePath take a start type.
    EXPECT_EQ(SetServiceStartType("Northwind Number Image", 2), 0);
    EXPECT_EQ(ReadStart(number.name()), 3u);
}

TEST_F(Services, OverLongTextsAreCutOrDropped)
{
    RegistryService longTexts("NwTestLongTexts"), hugeText("NwTestHugeDescription"),
        numberTexts("NwTestNumberTexts");
    const std::string title(300, 'T');
    longTexts.Define(title, exe);
    SetText(longTexts.key(), "Description", std::string(2000, 'd'));
    hugeText.Define("Northwind Huge Description", exe);
    SetText(hugeText.key(), "Description", std::string(5000, 'h'));
    numberTexts.Define("Northwind Number Texts", exe);
    SetDword(numberTexts.key(), "Description", 0x41414141);

    BuildServiceList();
    Item item;
    ASSERT_TRUE(FindService(title.substr(0, kTitleLen - 1), &item));
    EXPECT_EQ(item.detail, std::string(kDetailLen - 1, 'd'));
    ASSERT_TRUE(FindService("Northwind Huge Description", &item));
    EXPECT_EQ(item.detail, "");
    ASSERT_TRUE(FindService("Northwind Number Texts", &item));
    EXPECT_EQ(item.detail, "");
}

TEST_F(Services, HostedServicesShowTheirDllAndHideByCompany)
{
    RegistryService withDll("NwTestHosted"), withoutDll("NwTestHostOnly"), own("NwTestOwn");
    const std::string host = "%SystemRoot%\\system32\\svchost.exe -k nwtest";
    withDll.Define("Northwind Hosted", exe);
    SetText(withDll.key(), "ImagePath", host, REG_EXPAND_SZ);
    SetText(withDll.key() + "\\Parameters", "ServiceDll", hostedDll);
    withoutDll.Define("Northwind Host Only", exe);
    SetText(withoutDll.key(), "ImagePath", host, REG_EXPAND_SZ);
    SetText(withoutDll.key() + "\\Parameters", "ServiceDll", "");
    own.Define("Northwind Own", exe);

    {
        HideMicrosoft off(0);
        BuildServiceList();
        Item item;
        ASSERT_TRUE(FindService("Northwind Hosted", &item));
        EXPECT_EQ(item.type, 701);
        EXPECT_TRUE(SameText(item.path, hostedDll)) << item.path;
        ASSERT_TRUE(FindService("Northwind Host Only", &item));
        EXPECT_EQ(item.type, 701);
        EXPECT_TRUE(ContainsNoCase(item.path.c_str(), "svchost.exe -k nwtest")) << item.path;
        ASSERT_TRUE(FindService("Northwind Own", &item));
        EXPECT_EQ(item.type, 700);
    }
    {
        HideMicrosoft on(1);
        BuildServiceList();
        EXPECT_FALSE(FindService("Northwind Hosted"));
        EXPECT_TRUE(FindService("Northwind Own"));
    }
}

TEST_F(Services, DescriptionIsFoundByNormalizedProgramPath)
{
    RegistryService own("NwTestDescribed"), hosted("NwTestHostedDescribed");
    own.Define("Northwind Described", "\"" + exe + "\" -service");
    SetText(own.key(), "Description", "Own process description");
    hosted.Define("Northwind Hosted Described", "C:\\windows\\system32\\svchost.exe -k nwtest");
    SetText(hosted.key() + "\\Parameters", "ServiceDll", hostedDll);
    SetText(hosted.key(), "Description", "Hosted description");

    char normalized[MAX_PATH];
    char description[kDetailLen] = "x";
    NormalizeProgramPath(exe.c_str(), normalized);
    EXPECT_EQ(FindServiceDescription(normalized, description), 23);
    EXPECT_STREQ(description, "Own process description");
    NormalizeProgramPath(hostedDll.c_str(), normalized);
    EXPECT_EQ(FindServiceDescription(normalized, description), 18);
    EXPECT_STREQ(description, "Hosted description");
    EXPECT_EQ(FindServiceDescription("C:\\NOWHERE\\NORTHWIND.EXE", description), 0);
    EXPECT_STREQ(description, "");
}

TEST_F(Services, UnknownNamesYieldNothing)
{
    char text[256] = "x";
    EXPECT_EQ(LookupServiceDisplayName("NwNoSuchService", text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(LookupServiceDisplayName("", text), 0);
    EXPECT_EQ(QueryServiceState("Northwind No Such Service"), 0);
    EXPECT_EQ(GetServiceStateText(std::string(600, 'q').c_str(), text), 0);
    EXPECT_STREQ(text, "Stopped");
    EXPECT_EQ(SendServiceControl("Northwind No Such Service", SERVICE_CONTROL_STOP), 0);
}

}  // namespace
