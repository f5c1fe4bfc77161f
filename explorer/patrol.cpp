// The patrol-time dialog behind every Monitor image: how many minutes the
// monitor waits between two looks at one area, and for some areas whether
// it looks at once when a program starts (real time).
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <iterator>

namespace {

constexpr int IDC_PATROL_TEXT = 1131;
constexpr int IDC_PATROL_UNIT = 1132;
constexpr int IDC_PATROL_OFF_NOTE = 1133;
constexpr int IDC_PATROL_MINUTES = 1004;
constexpr int IDC_PATROL_REALTIME = 1014;
constexpr int IDC_PATROL_TRACK = 1142;

constexpr int IDS_PATROL_TEXT = 782;
constexpr int IDS_PATROL_UNIT = 783;
constexpr int IDS_PATROL_OFF_NOTE = 802;
constexpr int IDS_PATROL_REALTIME = 905;
constexpr int IDS_CLOSE = 304;

constexpr int kTrackMax = 30;
constexpr int kTrackTick = 3;
constexpr int kMinutesDigits = 2;
// Shown for a title that names no area.
constexpr int kOtherMinutes = 3;

struct PatrolTitle {
    int titleId;
    const char* minutes;    // option of the patrol minutes
    const char* realtime;   // option of the real-time flag, or null
};
constexpr PatrolTitle kPatrolTitles[] = {
    {784, "Start", "RealtimeStartup"},
    {785, "IEHelpers", "RealtimeIEHelper"},
    {786, "Tasks", nullptr},
    {787, "Cookies", nullptr},
    {788, "FileType", "RealtimeFileType"},
    {789, "Nuts", nullptr},
    {790, "WinInit", nullptr},
    {791, "StartPage", "RealtimeStartPage"},
    {792, "HostFile", "RealtimeSysFiles"},
    {924, "Hidden", "RealtimeHidden"},
    {957, "Services", nullptr},
};
static_assert(std::size(kPatrolTitles) == 11);

const PatrolTitle* FindTitle(int titleId)
{
    for (const PatrolTitle& t : kPatrolTitles)
        if (t.titleId == titleId) return &t;
    return nullptr;
}

int PatrolMinutes(const PatrolTitle* title)
{
    return title ? ReadOptionOrDefault(title->minutes) : kOtherMinutes;
}

bool RealtimeOn(const PatrolTitle* title)
{
    return title && title->realtime && ReadOptionOrDefault(title->realtime) > 0;
}

struct PatrolDialog {
    int titleId = 0;
    const PatrolTitle* title = nullptr;
    int realtimeAtOpen = 0;
    bool settingMinutes = false;   // our own edit of the box, not the user's
};

void SetMinutesText(HWND dialog, PatrolDialog& state, int minutes)
{
    state.settingMinutes = true;
    SetDlgItemInt(dialog, IDC_PATROL_MINUTES, static_cast<UINT>(minutes), FALSE);
    state.settingMinutes = false;
}

// Minutes and real-time flag as the options hold them now.
void ShowPatrolState(HWND dialog, PatrolDialog& state)
{
    HWND track = GetDlgItem(dialog, IDC_PATROL_TRACK);
    HWND edit = GetDlgItem(dialog, IDC_PATROL_MINUTES);
    int minutes = PatrolMinutes(state.title);
    const bool hasRealtime = state.title && state.title->realtime;
    const bool realtime = RealtimeOn(state.title);
    if (realtime) minutes = 0;
    // A stored value the two-digit box cannot show is shown at its bound.
    if (minutes < 0) minutes = 0;
    if (minutes > 99) minutes = 99;
    SetMinutesText(dialog, state, minutes);
    SendMessageA(track, TBM_SETPOS, TRUE, minutes > kTrackMax ? kTrackMax : minutes);
    EnableWindow(edit, !realtime);
    EnableWindow(track, !realtime);
    HWND check = GetDlgItem(dialog, IDC_PATROL_REALTIME);
    ShowWindow(check, hasRealtime ? SW_SHOW : SW_HIDE);
    CheckDlgButton(dialog, IDC_PATROL_REALTIME, realtime ? BST_CHECKED : BST_UNCHECKED);
}

void InitPatrolDialog(HWND dialog, PatrolDialog& state)
{
    char title[256] = "";
    LoadLocalizedString(state.titleId, title);
    SetWindowTextA(dialog, title);
    SetDialogText(dialog, IDS_PATROL_TEXT, IDC_PATROL_TEXT);
    SetDialogText(dialog, IDS_PATROL_UNIT, IDC_PATROL_UNIT);
    SetDialogText(dialog, IDS_PATROL_OFF_NOTE, IDC_PATROL_OFF_NOTE);
    SetDialogText(dialog, IDS_CLOSE, IDCANCEL);
    SetDialogText(dialog, IDS_PATROL_REALTIME, IDC_PATROL_REALTIME);
    SendDlgItemMessageA(dialog, IDC_PATROL_MINUTES, EM_LIMITTEXT, kMinutesDigits, 0);
    HWND track = GetDlgItem(dialog, IDC_PATROL_TRACK);
    SendMessageA(track, TBM_SETRANGE, TRUE, MAKELPARAM(0, kTrackMax));
    SendMessageA(track, TBM_SETTICFREQ, kTrackTick, 0);
    state.realtimeAtOpen = state.title && state.title->realtime
                               ? ReadOptionOrDefault(state.title->realtime)
                               : 0;
    ShowPatrolState(dialog, state);
}

void OnTrackMoved(HWND dialog, PatrolDialog& state)
{
    const int position = static_cast<int>(SendDlgItemMessageA(dialog, IDC_PATROL_TRACK, TBM_GETPOS, 0, 0));
    SetMinutesText(dialog, state, position);
    EnableWindow(GetDlgItem(dialog, IDC_PATROL_MINUTES), position != 0);
}

void OnMinutesTyped(HWND dialog, const PatrolDialog& state)
{
    if (state.settingMinutes) return;
    BOOL number = FALSE;
    const UINT minutes = GetDlgItemInt(dialog, IDC_PATROL_MINUTES, &number, FALSE);
    if (!number) return;
    SendDlgItemMessageA(dialog, IDC_PATROL_TRACK, TBM_SETPOS, TRUE,
                        minutes > kTrackMax ? kTrackMax : static_cast<LPARAM>(minutes));
}

void OnRealtimeToggled(HWND dialog, PatrolDialog& state)
{
    if (!state.title || !state.title->realtime) return;
    const bool checked = IsDlgButtonChecked(dialog, IDC_PATROL_REALTIME) == BST_CHECKED;
    WriteOption(state.title->realtime, checked ? 1 : 0);
    ShowPatrolState(dialog, state);
}

void EndPatrol(HWND dialog, PatrolDialog& state, int button)
{
    if (button == IDOK) {
        BOOL number = FALSE;
        const UINT minutes = GetDlgItemInt(dialog, IDC_PATROL_MINUTES, &number, FALSE);
        EndDialog(dialog, number ? static_cast<INT_PTR>(minutes) : 0);
        return;
    }
    if (state.title && state.title->realtime &&
        ReadOptionOrDefault(state.title->realtime) != state.realtimeAtOpen)
        WriteOption(state.title->realtime, state.realtimeAtOpen);
    EndDialog(dialog, -1);
}

INT_PTR CALLBACK PatrolDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        InitPatrolDialog(dialog, *reinterpret_cast<PatrolDialog*>(lParam));
        return TRUE;
    }
    auto* state = reinterpret_cast<PatrolDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!state) return FALSE;
    switch (message) {
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lParam) != GetDlgItem(dialog, IDC_PATROL_TRACK)) return FALSE;
        OnTrackMoved(dialog, *state);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PATROL_MINUTES:
            if (HIWORD(wParam) == EN_CHANGE) OnMinutesTyped(dialog, *state);
            return TRUE;
        case IDC_PATROL_REALTIME:
            if (HIWORD(wParam) == BN_CLICKED) OnRealtimeToggled(dialog, *state);
            return TRUE;
        case IDOK:
        case IDCANCEL:
            EndPatrol(dialog, *state, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

}  // namespace

int ShowPatrolDialog(HWND owner, int titleId)
{
    PatrolDialog state;
    state.titleId = titleId;
    state.title = FindTitle(titleId);
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PATROL), owner,
                        PatrolDialogProc, reinterpret_cast<LPARAM>(&state));
    return result < 0 ? -1 : static_cast<int>(result);
}

void StorePatrolMinutes(int titleId, int minutes)
{
    const PatrolTitle* title = FindTitle(titleId);
    if (!title || minutes < 0) return;
    WriteOption(title->minutes, minutes);
}

int PatrolBitmap(int titleId)
{
    const PatrolTitle* title = FindTitle(titleId);
    if (RealtimeOn(title)) return IDB_MONITOR_REALTIME;
    return PatrolMinutes(title) >= 1 ? IDB_MONITOR_ON : IDB_MONITOR_OFF;
}
