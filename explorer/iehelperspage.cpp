// The IE Helpers page: the browser add-ons registered for the whole machine
// (helper objects, toolbars and extensions), with their removal. The
// catalogue lists and removes them; the page shows, asks and refills.
#include "explorer/explorer.h"

#include <cstring>
#include <iterator>
#include <string>

#include "catalogue/catalogue.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_HEADING = 1100;
constexpr int IDC_HINT = 1101;
constexpr int kCmdDeleteOnReboot = 1144;

constexpr int IDS_NO_SELECTION = 57;
constexpr int IDS_REMOVE = 302;
constexpr int IDS_REMOVE_QUESTION = 698;
constexpr int IDS_LOCATION = 716;
constexpr int IDS_DELETE_ON_REBOOT_QUESTION = 800;
constexpr int IDS_DELETE_ON_REBOOT = 801;

constexpr ControlText kTexts[] = {
    {IDC_HEADING, 695}, {IDC_HINT, 696}, {IDC_INFO_BUTTON, 301}, {IDC_REMOVE, IDS_REMOVE}, {IDC_CLOSE, 304}};
static_assert(std::size(kTexts) == 5);

// What the Type column says of each kind, and where the kind is registered.
struct HelperKind {
    int type;
    int textId;
    const char* key;
};
constexpr HelperKind kKinds[] = {
    {900, 2501, kIEBrowserHelpersKey},
    {901, 2502, kIEToolbarKey},
    {902, 2503, kIEExtensionsKey},
};
static_assert(std::size(kKinds) == 3);

const HelperKind* KindOf(int type)
{
    for (const HelperKind& kind : kKinds)
        if (kind.type == type) return &kind;
    return nullptr;
}

struct Helper {
    char title[kTitleLen + 1] = "";
    char path[kPathLen] = "";
    char entryName[kEntryLen] = "";
    char detail[kDetailLen] = "";
    int type = 0;
};

void ReadHelper(int item, Helper* helper)
{
    GetItemTitle(item, helper->title);
    GetItemPath(item, helper->path);
    GetItemEntryName(item, helper->entryName);
    GetItemDetail(item, helper->detail, kDetailLen);
    helper->type = GetItemType(item);
}

// A toolbar whose class is gone has no title; its identifier names it.
const char* NameOf(const Helper& helper)
{
    return helper.title[0] ? helper.title : helper.entryName;
}

// What one fill shares between its rows.
struct FillState {
    char typeTexts[std::size(kKinds)][32] = {};
};

void AddHelperRow(HWND list, FillState& state, int item)
{
    Helper helper;
    ReadHelper(item, &helper);
    const ListedFileFacts& facts = GetListedFileFacts(helper.path, kDetectedIEHelperKey);
    const char* company = facts.company.c_str();
    const char* detected = facts.detected.c_str();
    const char* iconFile = ContainsNoCase(helper.detail, ".ico") ? helper.detail : facts.file.c_str();
    const HelperKind* kind = KindOf(helper.type);
    const char* typeText = kind ? state.typeTexts[kind - kKinds] : "";

    const char* fileName = helper.path + FileNameOffset(helper.path);
    const int row = InsertRow(list, helper.title, ListedFileIcon(iconFile), item);
    if (row < 0) return;
    SetRowText(list, row, 1, fileName);
    SetRowText(list, row, 2, company);
    SetRowText(list, row, 3, typeText);
    SetRowText(list, row, 4, detected);

    char code[16];
    StrFormatA(code, "%d", helper.type);
    char dateKey[16];
    DateSortKey(detected, dateKey);
    SetSortKey(item, 0, helper.title);
    SetSortKey(item, 1, fileName);
    SetSortKey(item, 2, company);
    SetSortKey(item, 3, code);
    SetSortKey(item, 4, dateKey);
}

// The framework has emptied the list with drawing off; it sorts afterwards.
// The shared list is read afresh every time: a removal leaves it stale.
int FillHelperList(HWND, HWND list)
{
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    const int count = BuildIEHelperList();
    StartListedFileFacts();
    // The list shares the images every fill adds to (its template says so).
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(ListedFileImages()));
    FillState state;
    for (size_t i = 0; i < std::size(kKinds); ++i) LoadLocalizedString(kKinds[i].textId, state.typeTexts[i]);
    for (int item = 0; item < count; ++item) AddHelperRow(list, state, item);
    SetCursor(previous ? previous : LoadCursor(nullptr, IDC_ARROW));
    return count;
}

void InitHelperPage(HWND page)
{
    SetPageTexts(page, kTexts);
}

// Bold when the program has a note; otherwise the page's own font, so that
// the button matches its neighbours.
void ShowNoteState(HWND page, int item)
{
    char file[MAX_PATH];
    HFONT font = ItemProgramFile(item, file) && NoteExists(file) ? GetSharedFont(kFontDialogBold) : nullptr;
    if (!font) font = reinterpret_cast<HFONT>(SendMessageA(page, WM_GETFONT, 0, 0));
    SendDlgItemMessageA(page, IDC_INFO_BUTTON, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void UpdateHelperPage(HWND page, HWND list)
{
    const int item = SelectedItem(list);
    if (item < 0 || item >= ItemCount()) return;
    ShowNoteState(page, item);
    const HelperKind* kind = KindOf(GetItemType(item));
    char status[512];
    LoadLocalizedString(IDS_LOCATION, status);
    StrAppend(status, ": HKLM\\");
    if (kind) StrAppend(status, kind->key);
    SetStatusText(status, GetSharedFont(kFontBoldTiny));
}

// The selected add-on; 0 (after telling the user) when there is none.
int SelectedHelper(HWND page, HWND list, int* item, Helper* helper)
{
    *item = SelectedItem(list);
    if (*item < 0 || *item >= ItemCount()) {
        ShowMessage(page, IDS_NO_SELECTION);
        return 0;
    }
    ReadHelper(*item, helper);
    return 1;
}

// The list may have been read again while the question was open (the
// question pumps messages); the answer then belongs to nothing listed.
int StillListed(int item, const Helper& helper)
{
    if (item >= ItemCount()) return 0;
    Helper now;
    ReadHelper(item, &now);
    return now.type == helper.type && std::strcmp(now.title, helper.title) == 0 &&
           std::strcmp(now.entryName, helper.entryName) == 0;
}

void RemoveSelected(HWND page, HWND list)
{
    int item = -1;
    Helper helper;
    if (!SelectedHelper(page, list, &item, &helper)) return;
    char text[2048];
    FillLocalizedPattern(IDS_REMOVE_QUESTION, NameOf(helper), text);
    if (AskUser(page, text, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;
    if (StillListed(item, helper) && RemoveIEHelper(helper.path, item) > 0 && helper.title[0]) {
        // Should the add-on come back, the monitor asks about it again.
        RemoveApproval(kStoreIEHelpers, helper.title);
    }
    RefillPage(page);
}

void DeleteOnReboot(HWND page, HWND list)
{
    int item = -1;
    Helper helper;
    if (!SelectedHelper(page, list, &item, &helper)) return;
    char text[2048];
    LoadLocalizedString(IDS_DELETE_ON_REBOOT_QUESTION, text);
    if (AskUser(page, text, MB_YESNO | MB_ICONHAND) != IDYES) return;
    if (!StillListed(item, helper)) return;
    const std::string file = GetListedFileFacts(helper.path, nullptr).file;
    if (!file.empty()) DeleteAtRestart(file.c_str());
}

int HelperCommand(HWND page, int id)
{
    HWND list = GetDlgItem(page, IDC_LIST);
    switch (id) {
    case IDC_REMOVE:
        RemoveSelected(page, list);
        return 1;
    case kCmdDeleteOnReboot:
        DeleteOnReboot(page, list);
        return 1;
    default:
        return 0;
    }
}

void HelperMenu(HWND, HMENU menu, int item)
{
    AppendProgramBlock(menu, item);
    AppendMenuText(menu, IDS_REMOVE, IDC_REMOVE);
    AppendMenuText(menu, IDS_DELETE_ON_REBOOT, kCmdDeleteOnReboot);
}

constexpr PageSpec kIEHelpers = {
    kPageIEHelpers, IDD_PAGE_IEHELPERS, 694, IDI_TAB_IEHELPERS, "SortIEHelper", 5,
    {681, 684, 699, 714, 912}, {0.3, 0.2, 0.2, 0.09, 0.2}, true, false, 0,
    {IDC_INFO_BUTTON, IDC_REMOVE, IDC_CLOSE}, {}, 785,
    InitHelperPage, FillHelperList, UpdateHelperPage, HelperCommand, HelperMenu};

}  // namespace

const PageSpec& IEHelpersPageSpec() { return kIEHelpers; }
