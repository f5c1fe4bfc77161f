// The Services page in a sheet of its own, over services the test writes
// into the services registry (the manager does not know them: they are
// listed as stopped).
#include "resources/resource.h"
#include "tests/explorer/explorertest.h"

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace explorertest;
using namespace startuptest;

namespace {

constexpr int kHideBox = 1014;
const HKEY kLM = HKEY_LOCAL_MACHINE;

class ServicesPage : public ::testing::Test {
protected:
    SavedUserTree corvath_{"Software\\Corvath"};
    ScratchDir dir_{"vlsvcpage"};
    std::vector<std::unique_ptr<ScratchKey>> services_;

    std::string Copy(const char* fixture, const char* name)
    {
        const std::string path = dir_.file(name);
        CopyFileA(FixturePath(fixture).c_str(), path.c_str(), FALSE);
        return path;
    }
    // A copy of the fixture program whose company reads "Microsoft Wks".
    std::string MicrosoftCopy(const char* name)
    {
        std::ifstream in(FixturePath("fixture_app.exe"), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string from = "Fixture Works", to = "Microsoft Wks";
        std::string wideFrom, wideTo;
        for (size_t i = 0; i < from.size(); ++i) wideFrom += {from[i], '\0'}, wideTo += {to[i], '\0'};
        for (size_t at = bytes.find(wideFrom); at != std::string::npos; at = bytes.find(wideFrom, at))
            bytes.replace(at, wideTo.size(), wideTo);
        const std::string path = dir_.file(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string Service(const char* name, const std::string& title, const std::string& image, DWORD start,
                        DWORD imageType = REG_SZ)
    {
        const std::string key = std::string(kServicesKey) + "\\" + name;
        services_.push_back(std::make_unique<ScratchKey>(kLM, key));
        SetText(kLM, key.c_str(), "DisplayName", title);
        SetRaw(kLM, key.c_str(), "ImagePath", imageType, image.c_str(), DWORD(image.size() + 1));
        SetRaw(kLM, key.c_str(), "Start", REG_DWORD, &start, sizeof start);
        return key;
    }
};

std::vector<std::string> Ours(HWND list)
{
    std::vector<std::string> titles;
    for (int row = 0; row < RowCount(list); ++row)
        if (Cell(list, row, 0).rfind("VlSvcPage ", 0) == 0) titles.push_back(Cell(list, row, 0).substr(10));
    return titles;
}

std::vector<std::string> Sorted(std::vector<std::string> titles)
{
    std::sort(titles.begin(), titles.end());
    return titles;
}

std::string Row(HWND list, const std::string& title)
{
    const int row = RowWith(list, 0, title);
    std::string cells;
    for (int column = 1; row >= 0 && column < 5; ++column) cells += Cell(list, row, column) + "|";
    return cells;
}

TEST_F(ServicesPage, ListsCommandCompanyStatusAndStartTypeAndSortsByColumn)
{
    const std::string program = Copy("fixture_app.exe", "vlsvc_one.exe");
    Service("VlSvcPageA", "VlSvcPage Beta", "\"" + program + "\" -service", 2);
    const std::string hosted = Service("VlSvcPageB", "VlSvcPage Alpha", "%SystemRoot%\\system32\\svchost.exe -k vl",
                                       3, REG_EXPAND_SZ);
    SetText(kLM, (hosted + "\\Parameters").c_str(), "ServiceDll", Copy("ie_fixture.dll", "vlsvc_hosted.dll"));
    Service("VlSvcPageC", "VlSvcPage Gamma", "C:\\nowhere\\vlsvc_gone.exe", 4);
    std::string beta, alpha, gamma, detected, missing;
    std::vector<std::string> up, down, byStart;
    std::string betaAfterInfo, selectedAfterInfo;
    const DWORD disabled = 4;
    int sortOption = 0;
    WithPage(ServicesPageSpec(), [&](HWND page, HWND list) {
        beta = Row(list, "VlSvcPage Beta");
        alpha = Row(list, "VlSvcPage Alpha");
        gamma = Row(list, "VlSvcPage Gamma");
        detected = Cell(list, RowWith(list, 0, "VlSvcPage Beta"), 5);
        missing = Cell(list, RowWith(list, 0, "VlSvcPage Gamma"), 5);
        ClickColumn(page, list, 0);
        up = Ours(list);
        ClickColumn(page, list, 0);
        down = Ours(list);
        sortOption = ReadOption("SortService", 0);
        ClickColumn(page, list, 4);
        byStart = Ours(list);
        // Info refills the list (a start type may have changed) and keeps the row.
        Select(list, RowWith(list, 0, "VlSvcPage Gamma"));
        Press(page, IDC_INFO_BUTTON);
        HWND info = WaitWindow("VlSvcPage Gamma");
        SetRaw(kLM, (std::string(kServicesKey) + "\\VlSvcPageA").c_str(), "Start", REG_DWORD, &disabled, sizeof disabled);
        if (info) {
            PostMessageA(info, WM_COMMAND, IDCANCEL, 0);
            WaitGone(info);
        }
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(page, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
        betaAfterInfo = Row(list, "VlSvcPage Beta");
        selectedAfterInfo = Cell(list, SelectedRow(list), 0);
    });
    EXPECT_EQ(beta, "vlsvc_one.exe -service|Fixture Works|Stopped|Automatic|");
    EXPECT_EQ(alpha, "svchost.exe vlsvc_hosted.dll|Northwind Traders|Stopped|Manual|");
    EXPECT_EQ(gamma, "vlsvc_gone.exe| |Stopped|Disabled|");
    char normalized[MAX_PATH];
    NormalizeProgramPath(program.c_str(), normalized);
    EXPECT_NE(detected, "");
    EXPECT_EQ(detected, Reg(HKEY_CURRENT_USER, kDetectedServicesKey, normalized));
    EXPECT_EQ(missing, "") << "a missing file has no first sight";
    EXPECT_EQ(up, (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(down, (std::vector<std::string>{"Gamma", "Beta", "Alpha"}));
    EXPECT_EQ(sortOption, 1);
    EXPECT_EQ(byStart, (std::vector<std::string>{"Beta", "Gamma", "Alpha"}));
    EXPECT_EQ(betaAfterInfo, "vlsvc_one.exe -service|Fixture Works|Stopped|Disabled|");
    EXPECT_EQ(selectedAfterInfo, "VlSvcPage Gamma");
}

TEST_F(ServicesPage, NonMicrosoftFilterRefillsAtOnceAndSurvivesReopeningThePage)
{
    Service("VlSvcPageM", "VlSvcPage Ours", MicrosoftCopy("vlsvc_ms.exe"), 3);
    Service("VlSvcPageF", "VlSvcPage Theirs", Copy("fixture_app.exe", "vlsvc_f.exe"), 3);
    WriteOption("HideMicrosoftServices", 0);
    std::vector<std::string> before, after, reopened, back;
    UINT checked = 0, checkedAgain = 0;
    int stored = -1;
    WithPage(ServicesPageSpec(), [&](HWND page, HWND list) {
        before = Sorted(Ours(list));
        Click(page, kHideBox);
        after = Sorted(Ours(list));
        checked = IsDlgButtonChecked(page, kHideBox);
        stored = ReadOption("HideMicrosoftServices", -1);
    });
    WithPage(ServicesPageSpec(), [&](HWND page, HWND list) {
        reopened = Sorted(Ours(list));
        checkedAgain = IsDlgButtonChecked(page, kHideBox);
        Click(page, kHideBox);
        back = Sorted(Ours(list));
    });
    EXPECT_EQ(before, (std::vector<std::string>{"Ours", "Theirs"}));
    EXPECT_EQ(after, (std::vector<std::string>{"Theirs"}));
    EXPECT_EQ(checked, UINT(BST_CHECKED));
    EXPECT_EQ(stored, 1);
    EXPECT_EQ(reopened, (std::vector<std::string>{"Theirs"}));
    EXPECT_EQ(checkedAgain, UINT(BST_CHECKED));
    EXPECT_EQ(back, (std::vector<std::string>{"Ours", "Theirs"}));
    EXPECT_EQ(ReadOption("HideMicrosoftServices", -1), 0);
}

TEST_F(ServicesPage, DamagedServiceValuesAndOptionsDoNotCrashThePage)
{
    Service("VlSvcPageL", "VlSvcPage Long", "C:\\" + std::string(5000, 'l') + ".exe", 2);
    const std::string damaged = Service("VlSvcPageD", "VlSvcPage Damaged", "C:\\nowhere\\vlsvc_d.exe", 3);
    SetText(kLM, damaged.c_str(), "Start", "automatic");
    SetText(kLM, damaged.c_str(), "Description", std::string(9000, 'd'));
    SetText(HKEY_CURRENT_USER, kOptionsKey, "SortService", "99");
    SetText(HKEY_CURRENT_USER, kOptionsKey, "HideMicrosoftServices", "soon");
    int rows = -1, items = -2;
    std::string damagedRow;
    UINT checked = 1;
    WithPage(ServicesPageSpec(), [&](HWND page, HWND list) {
        rows = RowCount(list);
        items = ItemCount();
        damagedRow = Row(list, "VlSvcPage Damaged");
        checked = IsDlgButtonChecked(page, kHideBox);
    });
    EXPECT_EQ(rows, items);
    EXPECT_EQ(damagedRow, "vlsvc_d.exe| |Stopped|0|");
    EXPECT_EQ(checked, UINT(BST_UNCHECKED));
}

}  // namespace
