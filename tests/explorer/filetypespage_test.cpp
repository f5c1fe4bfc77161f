// The File Types page hosted in a property sheet of its own, driven from a
// helper thread: two watched types of the test's own, added through the
// Add File Type Extension dialog, sorted and removed again.
#include "catalogue/catalogue.h"
#include "resources/resource.h"
#include "tests/explorer/explorertest.h"

using namespace explorertest;
using namespace startuptest;

namespace {

constexpr const char* kSheet = "VlFileTypesSheet";
constexpr const char* kClassList = "Software\\Corvath\\Velmora\\Class";
constexpr const char* kAddCaption = "Add File Type Extension";

// The text the Add dialog answers a typed extension with ("" when it
// closed without a word).
std::string TypeExtension(const char* text)
{
    std::string said;
    HWND dialog = WaitWindow(kAddCaption);
    if (!dialog) return "<no dialog>";
    SetDlgItemTextA(dialog, IDC_ADD_FILETYPE_TEXT, text);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(dialog); ++i, Sleep(50)) {
        HWND box = FindWindowA("#32770", GetAppCaption());
        if (!box || box == dialog || !IsWindowVisible(box)) continue;
        char buffer[512] = "";
        GetDlgItemTextA(box, 1025, buffer, sizeof(buffer));
        said = buffer;
        Click(box, IDOK);
        break;
    }
    return said;
}

class FileTypesPage : public ::testing::Test {
protected:
    SavedUserTree corvath_{"Software\\Corvath"};
    // Two types whose titles and classes sort in opposite orders.
    OwnedKey classA_{HKEY_LOCAL_MACHINE, "Software\\Classes\\VlFtZClass\\shell\\open\\command"};
    OwnedKey classB_{HKEY_LOCAL_MACHINE, "Software\\Classes\\VlFtAClass\\shell\\open\\command"};
    OwnedKey extA_{HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlfta"};
    OwnedKey extB_{HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlftb"};

    void SetUp() override
    {
        std::string command = "\"";
        command += FixturePath("hidden_fixture.exe");
        command += "\" \"%1\"";
        SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlfta", "", "VlFtZClass");
        SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlFtZClass", "", "Vl A type");
        SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlFtZClass\\shell\\open\\command", "", command);
        SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vlftb", "", "VlFtAClass");
        SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlFtAClass", "", "Vl Z type");
        SetText(HKEY_LOCAL_MACHINE, "Software\\Classes\\VlFtAClass\\shell\\open\\command", "", command);
        CreateClassInfo();
    }
};

TEST_F(FileTypesPage, AddsListsSortsAndRemovesWatchedTypes)
{
    std::string twice, separator, title, command, company, className, type;
    std::vector<std::string> byClass, titleFirst, titleSecond, afterType, remaining;
    std::string noSelection, removeAsked = "<not run>";
    int columns = 0, typeSubItem = -1;
    WithPage(IDD_PAGE_FILETYPES, FileTypesPageSpec(), kSheet, [&](HWND page) {
        HWND list = GetDlgItem(page, IDC_LIST);
        Press(page, 1064);
        TypeExtension("vlfta");
        SendMessageA(page, WM_NULL, 0, 0);
        Press(page, 1064);
        twice = TypeExtension("VLFTA");
        separator = TypeExtension("x;y");
        if (HWND dialog = WaitWindow(kAddCaption)) Click(dialog, IDCANCEL);
        SendMessageA(page, WM_NULL, 0, 0);
        Press(page, 1064);
        TypeExtension(".vlftb");
        SendMessageA(page, WM_NULL, 0, 0);

        HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
        columns = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
        LVCOLUMNA column = {};
        column.mask = LVCF_SUBITEM;
        if (SendMessageA(list, LVM_GETCOLUMNA, 5, reinterpret_cast<LPARAM>(&column))) typeSubItem = column.iSubItem;
        const int a = RowWith(list, 4, ".vlfta");
        title = Cell(list, a, 0);
        command = Cell(list, a, 1);
        company = Cell(list, a, 2);
        className = Cell(list, a, 3);
        type = Cell(list, a, 5);

        auto ours = [&] {
            std::vector<std::string> order;
            for (int row = 0; row < RowCount(list); ++row)
                if (Cell(list, row, 4).rfind(".vlft", 0) == 0) order.push_back(Cell(list, row, 4));
            return order;
        };
        Activate(page);
        byClass = ours();
        ClickColumn(page, list, 0);
        titleFirst = ours();
        ClickColumn(page, list, 0);
        titleSecond = ours();
        ClickColumn(page, list, 5);
        afterType = ours();

        Select(list, RowWith(list, 4, ".vlfta"));
        removeAsked = PressAnswered(page, IDC_REMOVE, GetAppCaption(), IDOK);
        LVITEMA none = {};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        noSelection = PressAnswered(page, IDC_REMOVE, "Velmora Help", IDOK);
        remaining = ours();
    });
    EXPECT_NE(twice.find("already being monitored"), std::string::npos) << twice;
    EXPECT_FALSE(separator.empty());
    EXPECT_EQ(columns, 6);
    EXPECT_EQ(typeSubItem, 5);
    EXPECT_EQ(title, "Vl A type");
    EXPECT_EQ(command, "HIDDEN_FIXTURE.EXE");
    EXPECT_EQ(company, "Corvath Test Fixtures");
    EXPECT_EQ(className, "VlFtZClass");
    EXPECT_EQ(type, "System");
    // By class on activation; then Title descending first, as the page
    // leaves its direction after that sort, and ascending on the next click.
    EXPECT_EQ(byClass, (std::vector<std::string>{".vlftb", ".vlfta"}));
    EXPECT_EQ(titleFirst, (std::vector<std::string>{".vlftb", ".vlfta"}));
    EXPECT_EQ(titleSecond, (std::vector<std::string>{".vlfta", ".vlftb"}));
    EXPECT_EQ(afterType, titleSecond);   // Type is no sort column
    EXPECT_EQ(ReadOption("SortFileType", 0), 1);
    EXPECT_EQ(removeAsked, "");
    EXPECT_EQ(remaining, (std::vector<std::string>{".vlftb"}));
    EXPECT_EQ(noSelection.rfind("No selection has been made.\n\nClick on the title in the left most column to selec", 0), 0u)
        << noSelection;
    const std::string list = Reg(HKEY_CURRENT_USER, kClassList, "");
    EXPECT_EQ(list.find("vlfta;"), std::string::npos);
    EXPECT_NE(list.find("vlftb;"), std::string::npos);
    EXPECT_EQ(list.find("x;y"), std::string::npos);
}

}   // namespace
