// The IE Helpers page in a sheet of its own, over add-ons the test
// registers machine-wide with copies of the fixture DLL.
#include "resources/resource.h"
#include "tests/explorer/explorertest.h"

using namespace explorertest;
using namespace startuptest;

namespace {

// Class identifiers of this test's add-ons; nothing else registers them.
std::string Id(char c) { return std::string("{7D3E1A10-5B2C-4C1E-9A11-00000000E0") + c + "2}"; }
std::string Key(const std::string& a, const std::string& b) { return a + "\\" + b; }
constexpr const char* kMarkerKey = "Software\\Corvath\\Tests\\IEFixture";
constexpr const char* kApprovals = "Software\\Corvath\\Velmora\\IEHelpers";
const HKEY kLM = HKEY_LOCAL_MACHINE;

bool KeyExists(const std::string& key)
{
    UniqueKey h;
    return RegOpenKeyExA(kLM, key.c_str(), 0, KEY_READ, h.put()) == ERROR_SUCCESS;
}

class IEHelpersPage : public ::testing::Test {
protected:
    SavedUserTree corvath_{"Software\\Corvath"};
    ScratchDir dir_{"vliepage"};
    OwnedKey parents_[3] = {{kLM, kIEBrowserHelpersKey}, {kLM, kIEToolbarKey}, {kLM, kIEExtensionsKey}};
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        for (char c : std::string("ABCD")) {
            DeleteKeyTree(HKEY_CLASSES_ROOT, Key("CLSID", Id(c)).c_str());
            DeleteKeyTree(kLM, Key(kIEBrowserHelpersKey, Id(c)).c_str());
            DeleteKeyTree(kLM, Key(kIEExtensionsKey, Id(c)).c_str());
            DeleteRegValue(kLM, kIEToolbarKey, Id(c).c_str());
        }
    }
    std::string Dll(const char* name)
    {
        const std::string path = dir_.file(name);
        CopyFileA(FixturePath("ie_fixture.dll").c_str(), path.c_str(), FALSE);
        return path;
    }
    static void Class(char c, const std::string& server)
    {
        SetText(HKEY_CLASSES_ROOT, Key("CLSID", Id(c)).c_str(), "", "Northwind class");
        SetText(HKEY_CLASSES_ROOT, Key(Key("CLSID", Id(c)), "InprocServer32").c_str(), "", server);
    }
    static void Bho(char c, const std::string& server)
    {
        Class(c, server);
        SetText(kLM, Key(kIEBrowserHelpersKey, Id(c)).c_str(), "", "");
    }
    static void Extension(char c, const std::string& text, const std::string& exec, const std::string& icon)
    {
        const std::string key = Key(kIEExtensionsKey, Id(c));
        SetText(kLM, key.c_str(), "ButtonText", text);
        SetText(kLM, key.c_str(), "Exec", exec);
        SetText(kLM, key.c_str(), "HotIcon", icon);
    }
};

TEST_F(IEHelpersPage, ListsEachKindWithCompanyTypeAndFirstSightAndSortsByColumn)
{
    const std::string bho = Dll("vlie_c.dll");
    Bho('A', bho);
    Class('B', Dll("vlie_a.dll"));
    SetText(kLM, kIEToolbarKey, Id('B').c_str(), "");
    Extension('C', "Lookup", Dll("vlie_b.dll"), "");
    std::vector<std::string> cells, byType, byTypeDown, byProgram;
    std::string status;
    int sortOption = 0;
    auto ours = [](HWND list) {
        std::vector<std::string> order;
        for (int row = 0; row < RowCount(list); ++row)
            if (Cell(list, row, 1).rfind("vlie_", 0) == 0) order.push_back(Cell(list, row, 1));
        return order;
    };
    WithPage(IEHelpersPageSpec(), [&](HWND page, HWND list) {
        for (const char* dll : {"vlie_c.dll", "vlie_a.dll", "vlie_b.dll"}) {
            const int row = RowWith(list, 1, dll);
            cells.push_back(row < 0 ? "" : Cell(list, row, 0) + "|" + Cell(list, row, 2) + "|" + Cell(list, row, 3));
            if (row >= 0) cells.push_back(Cell(list, row, 4));
        }
        Select(list, RowWith(list, 1, "vlie_c.dll"));
        char text[512] = "";
        SendMessageA(GetDlgItem(GetParent(page), kStatusBarId), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        status = text;
        ClickColumn(page, list, 3);
        byType = ours(list);
        ClickColumn(page, list, 3);
        byTypeDown = ours(list);
        sortOption = ReadOption("SortIEHelper", 0);
        ClickColumn(page, list, 1);
        byProgram = ours(list);
    });
    ASSERT_EQ(cells.size(), 6u);
    EXPECT_EQ(cells[0], "Northwind Toolbar|Northwind Traders|BHO");
    EXPECT_EQ(cells[2], "Northwind Toolbar|Northwind Traders|TOOLBAR");
    EXPECT_EQ(cells[4], "Northwind Toolbar|Northwind Traders|EXTENSION");
    char normalized[MAX_PATH];
    NormalizeProgramPath(bho.c_str(), normalized);
    EXPECT_NE(cells[1], "");
    EXPECT_EQ(cells[1], Reg(HKEY_CURRENT_USER, kDetectedIEHelperKey, normalized));
    EXPECT_EQ(status, std::string("Location: HKLM\\") + kIEBrowserHelpersKey);
    EXPECT_EQ(byType, (std::vector<std::string>{"vlie_c.dll", "vlie_a.dll", "vlie_b.dll"}));
    EXPECT_EQ(byTypeDown, (std::vector<std::string>{"vlie_b.dll", "vlie_a.dll", "vlie_c.dll"}));
    EXPECT_EQ(sortOption, 4);
    EXPECT_EQ(byProgram, (std::vector<std::string>{"vlie_a.dll", "vlie_b.dll", "vlie_c.dll"}));
}

TEST_F(IEHelpersPage, RemoveAnsweredNoKeepsTheAddOnAndYesRemovesItAndItsApproval)
{
    const std::string dll = Dll("vlie_remove.dll");
    Bho('A', dll);
    SetText(HKEY_CURRENT_USER, kApprovals, "Northwind Toolbar", "900");
    std::string asked, listedAfterNo, listedAfterYes, keptAfterNo, approvalAfterNo, told;
    WithPage(IEHelpersPageSpec(), [&](HWND page, HWND list) {
        Select(list, RowWith(list, 1, "vlie_remove.dll"));
        Press(page, IDC_REMOVE);
        asked = Answer(page, GetAppCaption(), IDNO);
        listedAfterNo = RowWith(list, 1, "vlie_remove.dll") >= 0 ? "yes" : "no";
        keptAfterNo = KeyExists(Key(kIEBrowserHelpersKey, Id('A'))) ? "yes" : "no";
        approvalAfterNo = Reg(HKEY_CURRENT_USER, kApprovals, "Northwind Toolbar");
        Select(list, RowWith(list, 1, "vlie_remove.dll"));
        Press(page, IDC_REMOVE);
        Answer(page, GetAppCaption(), IDYES);
        // regsvr32 is started with WinExec, whose wait for it answers the
        // test's messages before the page refills.
        for (int i = 0; i < 100 && RowWith(list, 1, "vlie_remove.dll") >= 0; ++i) Sleep(50);
        listedAfterYes = RowWith(list, 1, "vlie_remove.dll") >= 0 ? "yes" : "no";
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        Press(page, IDC_REMOVE);
        told = Answer(page, "Velmora Help", IDOK);
    });
    EXPECT_NE(asked.find("remove Northwind Toolbar from the Windows registry"), std::string::npos) << asked;
    EXPECT_EQ(listedAfterNo + keptAfterNo + approvalAfterNo, "yesyes900");
    EXPECT_EQ(listedAfterYes, "no");
    EXPECT_FALSE(KeyExists(Key(kIEBrowserHelpersKey, Id('A'))));
    EXPECT_EQ(Reg(HKEY_CURRENT_USER, kApprovals, "Northwind Toolbar"), kMissing);
    EXPECT_NE(told.find("No selection"), std::string::npos) << told;
    // The server is unregistered too (regsvr32 runs on its own).
    std::string unregistered;
    for (int i = 0; i < 200 && unregistered == ""; ++i, Sleep(50)) {
        UniqueKey marker;
        DWORD values = 0;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kMarkerKey, 0, KEY_READ, marker.put()) == ERROR_SUCCESS &&
            RegQueryInfoKeyA(marker.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS && values > 0)
            unregistered = "yes";
    }
    EXPECT_EQ(unregistered, "yes");
}

TEST_F(IEHelpersPage, DamagedRegistrationsAndFormatsInTitlesAreShownSafely)
{
    const DWORD number = 0x5C3A43;
    Class('A', "");
    SetRaw(HKEY_CLASSES_ROOT, Key(Key("CLSID", Id('A')), "InprocServer32").c_str(), "", REG_DWORD, &number,
           sizeof number);
    SetText(kLM, Key(kIEBrowserHelpersKey, Id('A')).c_str(), "", "");
    Bho('B', "C:\\" + std::string(600, 'x') + ".dll");
    Extension('C', "%s%n%x %d", "C:\\nowhere\\vl%n.exe", "C:\\nowhere\\missing.ico");
    Extension('D', "Long icon", "C:\\nowhere\\vllong.exe", "C:\\" + std::string(3000, 'i') + ".ico");
    SetText(HKEY_CURRENT_USER, kOptionsKey, "SortIEHelper", "text");
    int rows = -1, items = -2;
    std::string asked;
    WithPage(IEHelpersPageSpec(), [&](HWND page, HWND list) {
        rows = RowCount(list);
        items = ItemCount();
        Select(list, RowWith(list, 1, "vl%n.exe"));
        Press(page, IDC_REMOVE);
        asked = Answer(page, GetAppCaption(), IDNO);
    });
    EXPECT_EQ(rows, items);
    EXPECT_NE(asked.find("remove %s%n%x %d from"), std::string::npos) << asked;
    EXPECT_TRUE(KeyExists(Key(kIEExtensionsKey, Id('C'))));
}

}  // namespace
