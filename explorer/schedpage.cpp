// The Scheduled Tasks page: the work items of the Task Scheduler with their
// programs and run times, and Remove, which takes a task out of the
// scheduler and out of the monitor's approvals.
#include "catalogue/catalogue.h"
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <cstring>

namespace {

constexpr int kCmdDeleteOnReboot = 1144;

constexpr int IDS_NO_SELECTION = 57;
constexpr int IDS_REMOVE = 302;
constexpr int IDS_DELETE_ON_REBOOT = 801;
constexpr int IDS_REMOVE_FAILED = 2610;

// The scheduler names its work items after their files ("name.job").
constexpr size_t kJobSuffixLen = 4;

constexpr ControlText kScheduledTexts[] = {
    {1095, 678}, {1096, 679}, {IDC_INFO_BUTTON, 301}, {IDC_REMOVE, 302}, {IDC_CLOSE, 304}};

void InitScheduled(HWND page)
{
    SetPageTexts(page, kScheduledTexts);
}

void AddScheduledRow(HWND list, int item)
{
    char title[kTitleLen + 1];
    char path[kPathLen];
    char next[kEntryLen];
    char last[kDetailLen];
    GetItemTitle(item, title);
    GetItemPath(item, path);
    GetItemEntryName(item, next);
    GetItemDetail(item, last, kDetailLen);
    char name[kTitleLen + 1];
    StrCopy(name, title);
    const size_t length = strlen(name);
    if (length > kJobSuffixLen) name[length - kJobSuffixLen] = '\0';
    const char* program = path + FileNameOffset(path);
    char file[MAX_PATH];
    ItemProgramFile(item, file);
    const char* company = "";
    const int image = KeptFileIcon(file, &company);

    const int row = InsertRow(list, name, image, item);
    if (row < 0) return;
    SetRowText(list, row, 1, program);
    SetRowText(list, row, 2, company);
    SetRowText(list, row, 3, next);
    SetRowText(list, row, 4, last);
    SetSortKey(item, 0, title);
    SetSortKey(item, 1, program);
    SetSortKey(item, 2, company);
    SetSortKey(item, 3, next);
    SetSortKey(item, 4, last);
}

int FillScheduled(HWND, HWND list)
{
    const int count = BuildTaskList();
    BeginKeptIcons(list);
    for (int item = 0; item < count; ++item) AddScheduledRow(list, item);
    GiveKeptIcons(list);
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

// A task that is gone, however, is not approved any longer: should it come
// back, the monitor asks about it again.
void RemoveSelected(HWND page, HWND list)
{
    const int item = SelectedItem(list);
    if (item < 0 || item >= ItemCount()) {
        ShowMessage(page, IDS_NO_SELECTION);
        return;
    }
    char title[kTitleLen + 1];
    GetItemTitle(item, title);
    char text[2048];
    FillLocalizedPattern(IDS_TASK_REMOVE_CONFIRM, title, text);
    if (AskUser(page, text, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;
    // A title the list could hold only cut names no task: that is told too,
    // rather than refilling to a list that still shows it.
    if (SUCCEEDED(RemoveScheduledTask(title))) {
        RemoveApproval(kStoreTasks, title);
    } else {
        FillLocalizedPattern(IDS_REMOVE_FAILED, title, text);
        AskUser(page, text, MB_OK | MB_ICONEXCLAMATION);
    }
    RefillPage(page);
}

int ScheduledCommand(HWND page, int id)
{
    HWND list = GetDlgItem(page, IDC_LIST);
    switch (id) {
    case IDC_REMOVE:
        RemoveSelected(page, list);
        return 1;
    case kCmdDeleteOnReboot:
        DeleteSelectedOnReboot(page, list);
        return 1;
    default:
        return 0;
    }
}

void ScheduledMenu(HWND, HMENU menu, int item)
{
    AppendProgramBlock(menu, item);
    AppendMenuText(menu, IDS_REMOVE, IDC_REMOVE);
    AppendMenuText(menu, IDS_DELETE_ON_REBOOT, kCmdDeleteOnReboot);
}

constexpr PageSpec kScheduled = {
    kPageScheduledTasks, IDD_PAGE_SCHEDULED, 680, IDI_TAB_SCHEDULED, "SortScheduledTask", 5,
    {681, 684, 699, 683, 682}, {0.3, 0.2, 0.2, 0.18, 0.16}, true, false, 0,
    {IDC_INFO_BUTTON, IDC_REMOVE, IDC_CLOSE}, {}, 786,
    InitScheduled, FillScheduled, ShowSelectedProgram, ScheduledCommand, ScheduledMenu};

}  // namespace

const PageSpec& ScheduledTasksPageSpec() { return kScheduled; }
