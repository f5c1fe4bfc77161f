// STUB page: The File Types page. Its list comes with its catalogue's page work; for now it has
// its tab, template, columns and Monitor image, and lists nothing.
#include "explorer/explorer.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_REFRESH = 1006;
constexpr int IDC_SECOND_ACTION = 1007;   // "&Kill Task", "&Unhide"
constexpr int IDC_ADD = 1064;
constexpr int IDC_OPTION_CHECK = 1014;
constexpr int IDC_ABOUT_HEADING = 1041;

constexpr ControlText kFileTypesTexts[] = {{1108, 740},          {1109, 741},
                                           {IDC_INFO_BUTTON, 301}, {IDC_ADD, 311},
                                           {IDC_REMOVE, 302},    {IDC_CLOSE, 304}};

void InitFileTypes(HWND page) { SetPageTexts(page, kFileTypesTexts); }

int FillNothing(HWND, HWND)
{
    return 0;
}

// "Type" has no width of its own in the page's table: it takes what the
// other columns leave.
constexpr PageSpec kFileTypes = {
    kPageFileTypes, IDD_PAGE_FILETYPES, 739, IDI_TAB_FILETYPES, "SortFileType", 6,
    {627, 628, 699, 747, 748, 714}, {0.3, 0.17, 0.2, 0.12, 0.1, 0.1}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_ADD, IDC_REMOVE, IDC_CLOSE}, {}, 788,
    InitFileTypes, FillNothing, nullptr, nullptr, nullptr};

}  // namespace

const PageSpec& FileTypesPageSpec() { return kFileTypes; }
