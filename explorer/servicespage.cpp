// The Services page: the Windows services that run a program or a DLL in
// the shared host, with their state and start type, and a box that leaves
// out Microsoft's own. The information dialog may change a start type, so
// the list is read again after it.
#include "explorer/explorer.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <unordered_map>

#include "catalogue/catalogue.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_HEADING = 1047;
constexpr int IDC_HINT = 1048;
constexpr int IDC_HIDE_MICROSOFT = 1014;

constexpr int IDS_NO_SELECTION = 57;
constexpr int kTypeHostedService = 701;
constexpr const char* kHideOption = "HideMicrosoftServices";

constexpr ControlText kTexts[] = {{IDC_HEADING, 638},       {IDC_HINT, 639},
                                  {IDC_INFO_BUTTON, 301},   {IDC_HIDE_MICROSOFT, 721},
                                  {IDC_CLOSE, 304}};
static_assert(std::size(kTexts) == 5);


std::string Folded(const char* text)
{
    std::string folded = text;
    CharUpperBuffA(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

// The state of every service the manager knows, by display name, from one
// enumeration: asking each service in turn costs several round trips to the
// manager per row, many times the list itself.
using StateMap = std::unordered_map<std::string, DWORD>;

void LoadStates(StateMap* states)
{
    SC_HANDLE manager = SharedServiceManager();
    DWORD needed = 0;
    for (int attempt = 0; manager && attempt < 3; ++attempt) {
        const DWORD bytes = needed;
        UniqueHeapBlock buffer(bytes ? HeapAlloc(GetProcessHeap(), 0, bytes) : nullptr);
        if (bytes && !buffer) return;
        DWORD count = 0;
        DWORD resume = 0;
        if (EnumServicesStatusExA(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                                  static_cast<BYTE*>(buffer.get()), bytes, &needed, &count, &resume,
                                  nullptr)) {
            const auto* services = static_cast<const ENUM_SERVICE_STATUS_PROCESSA*>(buffer.get());
            for (DWORD i = 0; services && i < count; ++i)
                states->emplace(Folded(services[i].lpDisplayName), services[i].ServiceStatusProcess.dwCurrentState);
            return;
        }
        // A connection the manager dropped is made again once.
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_HANDLE)
            manager = ReopenServiceManager();
        else if (error != ERROR_MORE_DATA || needed == 0)
            return;
    }
}

// The state text the catalogue gives, from the enumeration when it knows
// the service. A title the list cut never matches and is asked about alone.
void StatusOf(const StateMap& states, const char* title, const char (&texts)[std::size(kServiceStateTexts)][64],
              char (&out)[256])
{
    const auto found = states.find(Folded(title));
    if (found == states.end()) {
        GetServiceStateText(title, out);
        return;
    }
    out[0] = '\0';
    for (size_t i = 0; i < std::size(kServiceStateTexts); ++i)
        if (kServiceStateTexts[i].state == found->second) StrCopy(out, texts[i]);
    if (!out[0]) StrCopy(out, texts[0]);
}

struct FillState {
    StateMap states;
    char stateTexts[std::size(kServiceStateTexts)][64] = {};
};

void AddServiceRow(HWND list, FillState& state, int item)
{
    char title[kTitleLen + 1];
    char path[kPathLen];
    char startType[kEntryLen];
    GetItemTitle(item, title);
    GetItemPath(item, path);
    GetItemEntryName(item, startType);
    const char* fileName = path + FileNameOffset(path);
    char command[kPathLen + 16] = "";
    if (GetItemType(item) == kTypeHostedService) StrCopy(command, "svchost.exe ");
    StrAppend(command, fileName);

    const ListedFileFacts& facts = GetListedFileFacts(path, kDetectedServicesKey);
    const char* company = facts.company.empty() ? " " : facts.company.c_str();
    const char* detected = facts.detected.c_str();
    char status[256];
    StatusOf(state.states, title, state.stateTexts, status);
    if (!status[0]) StrCopy(status, " ");

    const int row = InsertRow(list, title, -1, item);
    if (row < 0) return;
    SetRowText(list, row, 1, command);
    SetRowText(list, row, 2, company);
    SetRowText(list, row, 3, status);
    SetRowText(list, row, 4, startType);
    SetRowText(list, row, 5, detected);

    char dateKey[16];
    DateSortKey(detected, dateKey);
    SetSortKey(item, 0, title);
    SetSortKey(item, 1, fileName);
    SetSortKey(item, 2, company);
    SetSortKey(item, 3, status);
    SetSortKey(item, 4, startType);
    SetSortKey(item, 5, dateKey);
}

// The box follows the option on every fill: another window may have
// changed it meanwhile, and the catalogue reads the option, not the box.
void ShowHideOption(HWND page)
{
    CheckDlgButton(page, IDC_HIDE_MICROSOFT, ReadOption(kHideOption, 0) > 0 ? BST_CHECKED : BST_UNCHECKED);
}

int FillServiceList(HWND page, HWND list)
{
    ShowHideOption(page);
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    BuildServiceList();
    StartListedFileFacts();
    FillState state;
    LoadStates(&state.states);
    for (size_t i = 0; i < std::size(kServiceStateTexts); ++i)
        LoadLocalizedString(kServiceStateTexts[i].stringId, state.stateTexts[i]);
    const int count = ItemCount();
    for (int item = 0; item < count; ++item) AddServiceRow(list, state, item);
    SetCursor(previous ? previous : LoadCursor(nullptr, IDC_ARROW));
    return count;
}

void InitServicePage(HWND page)
{
    SetPageTexts(page, kTexts);
    ShowHideOption(page);
}

void UpdateServicePage(HWND page, HWND list)
{
    const int item = SelectedItem(list);
    if (item < 0 || item >= ItemCount()) return;
    char file[MAX_PATH];
    const bool hasFile = ItemProgramFile(item, file) != 0;
    HFONT font = hasFile && NoteExists(file) ? GetSharedFont(kFontDialogBold) : nullptr;
    if (!font) font = reinterpret_cast<HFONT>(SendMessageA(page, WM_GETFONT, 0, 0));
    SendDlgItemMessageA(page, IDC_INFO_BUTTON, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    char path[kPathLen];
    GetItemPath(item, path);
    SetStatusText(path, GetSharedFont(kFontBoldTiny));
}

// The row of the service a refill lists at another place, else the same
// row number (the last row when the list got shorter).
void SelectService(HWND list, const char* title, const char* path, int oldRow)
{
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        const int item = RowItem(list, row);
        char rowTitle[kTitleLen + 1];
        char rowPath[kPathLen];
        if (item < 0 || !GetItemTitle(item, rowTitle) || std::strcmp(rowTitle, title) != 0) continue;
        GetItemPath(item, rowPath);
        if (lstrcmpiA(rowPath, path) != 0) continue;
        SelectRow(list, row);
        return;
    }
    if (rows > 0) SelectRow(list, (std::min)(oldRow, rows - 1));
}

void ShowInfoAndRefill(HWND page, HWND list)
{
    const int row = SelectedRow(list);
    const int item = RowItem(list, row);
    if (item < 0 || item >= ItemCount()) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    char title[kTitleLen + 1];
    char path[kPathLen];
    GetItemTitle(item, title);
    GetItemPath(item, path);
    ShowInfoDialog(page, item);
    RefillPage(page);
    SelectService(list, title, path, row);
}

void HideToggled(HWND page)
{
    WriteOption(kHideOption, IsDlgButtonChecked(page, IDC_HIDE_MICROSOFT) == BST_CHECKED ? 1 : 0);
    RefillPage(page);
}

int ServiceCommand(HWND page, int id)
{
    switch (id) {
    case IDOK:
    case IDC_INFO_BUTTON:
        ShowInfoAndRefill(page, GetDlgItem(page, IDC_LIST));
        return 1;
    case IDC_HIDE_MICROSOFT:
        HideToggled(page);
        return 1;
    default:
        return 0;
    }
}

void ServiceMenu(HWND, HMENU menu, int item)
{
    AppendProgramBlock(menu, item);
}

constexpr PageSpec kServices = {
    kPageServices, IDD_PAGE_SERVICES, 636, IDI_TAB_SERVICES, "SortService", 6,
    {627, 628, 699, 648, 651, 912}, {0.3, 0.18, 0.18, 0.09, 0.1, 0.2}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_HIDE_MICROSOFT, IDC_CLOSE}, {}, 957,
    InitServicePage, FillServiceList, UpdateServicePage, ServiceCommand, ServiceMenu};

}  // namespace

const PageSpec& ServicesPageSpec() { return kServices; }
