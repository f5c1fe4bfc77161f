// The Hidden Files page hosted in a property sheet of its own, driven from
// a helper thread, over hidden files the test makes in a folder of the
// temporary folder (which the hidden-files watch walks).
#include <algorithm>

#include "catalogue/catalogue.h"
#include "resources/resource.h"
#include "tests/explorer/explorertest.h"

using namespace explorertest;
using namespace startuptest;

namespace {

constexpr const char* kSheet = "VlHiddenSheet";
constexpr const char* kQuestionStart = "\nIs this known Adware or Spyware?";

class HiddenPage : public ::testing::Test {
protected:
    SavedUserTree corvath_{"Software\\Corvath"};
    ScratchDir dir_{"vlhidpage"};

    std::string Hidden(const char* name, DWORD more = 0)
    {
        const std::string path = dir_.file(name);
        WriteTextFile(path, name);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | more);
        return path;
    }
    void TearDown() override
    {
        // The folder goes with its files, whatever their attributes.
        for (const char* name : {"vlhid_a.txt", "vlhid_b.txt", "vlhid_ro.txt", "vlhid_lock.txt", "vlhid_del.txt"})
            SetFileAttributesA(dir_.file(name).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
};

std::vector<std::string> Ours(HWND list, const std::string& folder)
{
    std::vector<std::string> order;
    for (int row = 0; row < RowCount(list); ++row)
        if (Cell(list, row, 1) == folder) order.push_back(Cell(list, row, 0));
    return order;
}

TEST_F(HiddenPage, ListsSortsUnhidesAndDeletesToTheVault)
{
    WriteOption("History", 0);
    const std::string plain = Hidden("vlhid_a.txt");
    Hidden("vlhid_b.txt", FILE_ATTRIBUTE_SYSTEM);
    const std::string readOnly = Hidden("vlhid_ro.txt", FILE_ATTRIBUTE_READONLY);
    const std::string locked = Hidden("vlhid_lock.txt");
    const std::string doomed = Hidden("vlhid_del.txt");
    // Held open without sharing: its times cannot be read while the page fills.
    HANDLE held = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    std::string folder, detected, written, inUse, systemType, plainType;
    std::vector<std::string> first, second, afterUnhide, afterNo, afterYes;
    std::string noSelection, askedNo, askedYes;
    WithPage(IDD_PAGE_HIDDEN, HiddenFilesPageSpec(), kSheet, [&](HWND page) {
        HWND list = GetDlgItem(page, IDC_LIST);
        const int a = RowWith(list, 0, "vlhid_a.txt");
        folder = Cell(list, a, 1);
        detected = Cell(list, a, 2);
        written = Cell(list, a, 3);
        plainType = Cell(list, a, 4);
        systemType = Cell(list, RowWith(list, 0, "vlhid_b.txt"), 4);
        inUse = Cell(list, RowWith(list, 0, "vlhid_lock.txt"), 3);
        ClickColumn(page, list, 0);
        first = Ours(list, folder);
        ClickColumn(page, list, 0);
        second = Ours(list, folder);

        Select(list, RowWith(list, 0, "vlhid_ro.txt"));
        Press(page, 1007);
        SendMessageA(page, WM_NULL, 0, 0);
        afterUnhide = Ours(list, folder);

        Select(list, RowWith(list, 0, "vlhid_del.txt"));
        askedNo = PressAnswered(page, 1184, GetAppCaption(), IDNO);
        afterNo = Ours(list, folder);
        Select(list, RowWith(list, 0, "vlhid_del.txt"));
        askedYes = PressAnswered(page, 1184, GetAppCaption(), IDYES);
        afterYes = Ours(list, folder);

        LVITEMA none = {};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        noSelection = PressAnswered(page, 1007, "Velmora Help", IDOK);
    });
    CloseHandle(held);
    const bool restored = RestoreHiddenFileFromVault(doomed.c_str()) != 0;

    char normalized[MAX_PATH];
    NormalizeProgramPath(plain.c_str(), normalized);
    EXPECT_EQ(folder, dir_.path());
    EXPECT_FALSE(detected.empty());
    EXPECT_EQ(detected, Reg(HKEY_CURRENT_USER, kDetectedHiddenKey, normalized));
    EXPECT_FALSE(written.empty());
    EXPECT_LE(written.size(), 16u);
    EXPECT_NE(written, "File in Use");
    EXPECT_EQ(inUse, "File in Use");
    EXPECT_EQ(systemType, "SYSTEM");
    EXPECT_EQ(plainType, "");
    const std::vector<std::string> ascending = {"vlhid_a.txt", "vlhid_b.txt", "vlhid_del.txt", "vlhid_lock.txt",
                                                "vlhid_ro.txt"};
    EXPECT_EQ(first, ascending);
    EXPECT_EQ(second, std::vector<std::string>(ascending.rbegin(), ascending.rend()));
    EXPECT_EQ(ReadOption("SortHidden", 0), 1);
    // Unhiding clears read-only too, and the file leaves the list.
    const DWORD attributes = GetFileAttributesA(readOnly.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM), 0u);
    EXPECT_EQ(std::count(afterUnhide.begin(), afterUnhide.end(), "vlhid_ro.txt"), 0);
    EXPECT_EQ(askedNo.rfind(kQuestionStart, 0), 0u) << askedNo;
    EXPECT_EQ(std::count(afterNo.begin(), afterNo.end(), "vlhid_del.txt"), 1);
    EXPECT_EQ(askedYes.rfind(kQuestionStart, 0), 0u);
    EXPECT_EQ(std::count(afterYes.begin(), afterYes.end(), "vlhid_del.txt"), 0);
    EXPECT_TRUE(restored);
    EXPECT_NE(GetFileAttributesA(doomed.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(noSelection.rfind("No selection has been made.", 0), 0u);
}

}   // namespace
