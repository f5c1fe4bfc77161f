// The program information dialog: what can be learnt on this computer about
// an item's program file, the user's note on it, and the way to the online
// lookup. Every list of the explorer opens it for one item of the shared
// item list; "<<" and ">>" walk that list without closing the dialog.
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <cstring>
#include <iterator>

namespace {

constexpr int IDS_COMPANY_LABEL = 643;
constexpr int IDS_VERSION_LABEL = 644;
constexpr int IDS_COPYRIGHT_LABEL = 645;
constexpr int IDS_STARTUP_LOCATION = 646;
constexpr int IDS_EXPLANATION = 647;
constexpr int IDS_STOP = 650;
constexpr int IDS_APPLY = 662;
constexpr int IDS_START_TYPE_LABEL = 667;
constexpr int IDS_STATE_LABEL = 668;
constexpr int IDS_LOCATION_WORD = 716;
constexpr int IDS_FREE_INFO = 731;
constexpr int IDS_FILE_TYPE_EXTENSION = 755;
constexpr int IDS_READY = 831;
constexpr int IDS_RUN = 832;
constexpr int IDS_MICROSOFT_SYSTEM_FILE = 908;
constexpr int IDS_DATE_CREATED = 915;
constexpr int IDS_LAST_SAVED = 917;
constexpr int IDS_EXPAND = 918;
constexpr int IDS_SHRINK = 919;
constexpr int IDS_FILE_SIZE = 920;
constexpr int IDS_DETECTED_LABEL = 921;
constexpr int IDS_CREATE_NOTE = 969;
constexpr int IDS_SAVE_NOTE = 970;
constexpr int IDS_KILL_TASK = 306;
constexpr int IDS_CLOSE = 304;
constexpr int IDS_LOOKUP = 641;

// Notes hold at most this many characters; a longer file shows its start.
constexpr int kNoteMax = 16384;

// Item kinds that change the dialog.
constexpr int kTypeHidden = 370;
constexpr int kTypeFileType = 400;
constexpr int kTypeActiveTask = 600;
constexpr int kTypeService = 700;
constexpr int kTypeHostedService = 701;
constexpr int kTypeScheduledTask = 800;
constexpr int kTypeBho = 900;
constexpr int kTypeExtension = 902;

struct Label {
    int control;
    int stringId;
};
constexpr Label kLabels[] = {
    {IDC_INFO_COMPANY_LABEL, IDS_COMPANY_LABEL},   {IDC_INFO_VERSION_LABEL, IDS_VERSION_LABEL},
    {IDC_INFO_COPYRIGHT_LABEL, IDS_COPYRIGHT_LABEL}, {IDC_INFO_START_LABEL, IDS_START_TYPE_LABEL},
    {IDC_INFO_STATE_LABEL, IDS_STATE_LABEL},       {IDC_INFO_APPLY, IDS_APPLY},
    {IDC_INFO_RUN, IDS_RUN},                       {IDC_INFO_CREATED_LABEL, IDS_DATE_CREATED},
    {IDC_INFO_WRITTEN_LABEL, IDS_LAST_SAVED},      {IDC_INFO_SIZE_LABEL, IDS_FILE_SIZE},
    {IDC_INFO_DETECTED_LABEL, IDS_DETECTED_LABEL}, {IDC_INFO_LOOKUP, IDS_LOOKUP},
    {IDC_INFO_STATS, IDS_FREE_INFO},               {IDOK, IDS_CLOSE},
};
static_assert(std::size(kLabels) == 14);

// The bottom row, in the order of its x positions (dialog units).
struct RowButton {
    int control;
    int x;
};
constexpr RowButton kBottomRow[] = {
    {IDC_INFO_LOOKUP, 7},   {IDC_INFO_STATS, 88}, {IDC_INFO_NOTE_BUTTON, 169},
    {IDC_INFO_PREVIOUS, 267}, {IDC_INFO_NEXT, 301}, {IDOK, 348},
};
static_assert(std::size(kBottomRow) == 6);

// Shown only while the dialog is expanded.
constexpr int kExpandedOnly[] = {
    IDC_INFO_NOTE,          IDC_INFO_CREATED_LABEL, IDC_INFO_CREATED, IDC_INFO_WRITTEN_LABEL,
    IDC_INFO_WRITTEN,       IDC_INFO_SIZE_LABEL,    IDC_INFO_SIZE,    IDC_INFO_DETECTED_LABEL,
    IDC_INFO_DETECTED,      IDC_INFO_NOTE_BUTTON,
};
static_assert(std::size(kExpandedOnly) == 10);

// Window heights and the bottom row's place, in pixels at 96 dots per inch.
constexpr int kExpandedHeight = 421;
constexpr int kShrunkHeight = 246;
constexpr int kExpandedRowY = 350;
constexpr int kShrunkRowY = 185;

// Process-wide: each opening turns it over, so the dialog alternates between
// its two sizes unless the user chooses.
bool g_expanded = false;

// What the dialog shows, copied from the item list when it fills.
struct InfoState {
    int item = 0;
    int typeCode = 0;
    int startIndex = -1;   // the start type last applied (services)
    bool hasNote = false;
    char path[MAX_PATH] = "";
    char title[kTitleLen] = "";
    char entryName[kEntryLen] = "";
    char location[512] = "";
    char detail[kDetailLen] = "";
    UniqueIcon icon;
};

bool IsService(int typeCode)
{
    return typeCode == kTypeService || typeCode == kTypeHostedService;
}

int IsFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return path[0] != '\0' && attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Show(HWND dialog, int control, bool visible)
{
    ShowWindow(GetDlgItem(dialog, control), visible ? SW_SHOW : SW_HIDE);
}

void SetFont(HWND dialog, int control, ExplorerFont font)
{
    // Before the shared fonts exist the control keeps the dialog's font.
    if (HFONT handle = GetSharedFont(font))
        SendDlgItemMessageA(dialog, control, WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
}

void SetText(HWND dialog, int control, int stringId)
{
    char text[512];
    if (LoadLocalizedString(stringId, text) > 0) SetDlgItemTextA(dialog, control, text);
}

// A text from data or a localized pattern, cut to what the note box holds.
void SetNoteText(HWND dialog, const char* text)
{
    SetDlgItemTextA(dialog, IDC_INFO_NOTE, text);
}

void ExplanationText(char* out, size_t capacity)
{
    out[0] = '\0';
    LoadLocalizedString(IDS_EXPLANATION, out, static_cast<int>(capacity));
}

// The first kNoteMax characters of a note file; its length, or -1 when it
// cannot be read.
int ReadNote(const char* path, char (&out)[kNoteMax + 1])
{
    out[0] = '\0';
    UniqueFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return -1;
    DWORD read = 0;
    if (!ReadFile(file.get(), out, kNoteMax, &read, nullptr)) return -1;
    out[read] = '\0';
    return static_cast<int>(strlen(out));
}

int WriteNote(const char* path, const char* text)
{
    UniqueFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    const DWORD length = static_cast<DWORD>(strlen(text));
    DWORD written = 0;
    return WriteFile(file.get(), text, length, &written, nullptr) && written == length;
}

double ScreenScale()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi / 96.0 : 1.0;
}

void ApplyExpansion(HWND dialog)
{
    const double s = ScreenScale();
    RECT window = {};
    GetWindowRect(dialog, &window);
    const int height = static_cast<int>((g_expanded ? kExpandedHeight : kShrunkHeight) * s);
    SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const int y = static_cast<int>((g_expanded ? kExpandedRowY : kShrunkRowY) * s);
    for (const RowButton& b : kBottomRow) {
        RECT place = {b.x, 0, 0, 0};
        MapDialogRect(dialog, &place);
        SetWindowPos(GetDlgItem(dialog, b.control), nullptr, place.left, y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (int control : kExpandedOnly) Show(dialog, control, g_expanded);
    SetText(dialog, IDC_INFO_EXPAND, g_expanded ? IDS_SHRINK : IDS_EXPAND);
    InvalidateRect(dialog, nullptr, TRUE);
}

void ToggleExpansion(HWND dialog)
{
    g_expanded = !g_expanded;
    ApplyExpansion(dialog);
}

// Step 2: the item's own data.
void CopyItem(InfoState& state)
{
    // The file the pages name for the item (a shortcut's target), without
    // its arguments: notes and lookups from the lists find the same file.
    char file[MAX_PATH] = "";
    ItemProgramFile(state.item, file);
    ResolveProgramFile(file, state.path);
    GetItemTitle(state.item, state.title);
    GetItemEntryName(state.item, state.entryName);
    GetItemDetail(state.item, state.detail, sizeof(state.detail));
    state.typeCode = GetItemType(state.item);
    char location[512] = "";
    GetLocationText(state.item, location);
    char prefix[128] = "";
    LoadLocalizedString(IDS_STARTUP_LOCATION, prefix);
    StrCopy(state.location, prefix);
    StrAppend(state.location, location);
}

void ShowIcon(HWND dialog, InfoState& state)
{
    const bool toolbar = state.typeCode == kTypeBho + 1 || state.typeCode == kTypeExtension;
    char source[kDetailLen];
    StrCopy(source, toolbar ? state.detail : state.path);
    state.icon = UniqueIcon();
    if (IsFile(source)) {
        state.icon = UniqueIcon(ExtractIconA(GetModuleHandleA(nullptr), source, 0));
        // ExtractIconA gives 1 for a file without icons; that is no handle.
        if (reinterpret_cast<INT_PTR>(state.icon.get()) == 1) state.icon.release();
    }
    // A file without icons shows the stand-in the lists show; a copy of its
    // own, so that the holder may destroy it.
    if (!state.icon)
        state.icon = UniqueIcon(static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr),
                                                              MAKEINTRESOURCEA(IDI_FILE_FALLBACK),
                                                              IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    SendDlgItemMessageA(dialog, IDC_INFO_ICON, BM_SETIMAGE, IMAGE_ICON,
                        reinterpret_cast<LPARAM>(state.icon.get()));
}

// Steps 3 and 5 for everything but a service.
void FillProgramState(HWND dialog, const InfoState& state)
{
    SetDlgItemTextA(dialog, IDC_INFO_LOCATION, state.location);
    Show(dialog, IDC_INFO_LOCATION, true);
    Show(dialog, IDC_INFO_START_TYPE, false);
    SetText(dialog, IDC_INFO_KILL, IDS_KILL_TASK);
    if (state.typeCode >= kTypeBho) {
        Show(dialog, IDC_INFO_STATE_LABEL, false);
        Show(dialog, IDC_INFO_STATE, false);
        return;
    }
    if (IsProgramRunning(state.path)) {
        SetText(dialog, IDC_INFO_STATE, IDS_SERVICE_RUNNING);
        Show(dialog, IDC_INFO_KILL, true);
    } else if (IsFile(state.path)) {
        SetText(dialog, IDC_INFO_STATE, IDS_READY);
        Show(dialog, IDC_INFO_RUN, true);
    } else {
        SetText(dialog, IDC_INFO_STATE, IDS_LOCAL_FILE_NOT_FOUND);
    }
}

int StartTypeIndex(const char* text)
{
    constexpr int kStartTypes[] = {IDS_START_AUTOMATIC, IDS_START_MANUAL, IDS_START_DISABLED};
    for (int i = 0; i < static_cast<int>(std::size(kStartTypes)); ++i) {
        char name[128];
        if (LoadLocalizedString(kStartTypes[i], name) > 0 && lstrcmpiA(name, text) == 0) return i;
    }
    return -1;
}

// Step 4.
void FillServiceState(HWND dialog, InfoState& state)
{
    SetText(dialog, IDC_INFO_KILL, IDS_STOP);
    const HWND list = GetDlgItem(dialog, IDC_INFO_START_TYPE);
    if (SendMessageA(list, CB_GETCOUNT, 0, 0) == 0) {
        for (int id : {IDS_START_AUTOMATIC, IDS_START_MANUAL, IDS_START_DISABLED}) {
            char name[128] = "";
            LoadLocalizedString(id, name);
            SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        }
    }
    if (state.entryName[0] == '\0') {
        SetDlgItemTextA(dialog, IDC_INFO_LOCATION, "");
        Show(dialog, IDC_INFO_START_TYPE, false);
        return;
    }
    Show(dialog, IDC_INFO_LOCATION, false);
    for (int control : {IDC_INFO_START_LABEL, IDC_INFO_START_TYPE, IDC_INFO_STATE_LABEL,
                        IDC_INFO_STATE, IDC_INFO_KILL, IDC_INFO_APPLY})
        Show(dialog, control, true);
    state.startIndex = StartTypeIndex(state.entryName);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(state.startIndex), 0);
    char text[256] = "";
    const int packed = GetServiceStateText(state.title, text);
    SetDlgItemTextA(dialog, IDC_INFO_STATE, packed ? text : "");
    const int stoppable = packed && (QueryServiceControls(state.title) & SERVICE_ACCEPT_STOP);
    EnableWindow(GetDlgItem(dialog, IDC_INFO_KILL), stoppable ? TRUE : FALSE);
}

void FillVersion(HWND dialog, const InfoState& state, VersionRecord& record)
{
    GetVersionStrings(state.path, &record);
    const char* heading = record.field[kFileDescription];
    SetDlgItemTextA(dialog, IDC_INFO_HEADING, heading[0] != '\0' ? heading : state.title);
    SetDlgItemTextA(dialog, IDC_INFO_PRODUCT, record.field[kProductName]);
    SetDlgItemTextA(dialog, IDC_INFO_COMPANY, record.field[kCompanyName]);
    SetDlgItemTextA(dialog, IDC_INFO_VERSION, record.field[kProductVersion]);
    SetDlgItemTextA(dialog, IDC_INFO_COPYRIGHT, record.field[kCopyright]);
    FileInformation info;
    GetFileInformation(state.path, state.typeCode, &info);
    SetDlgItemTextA(dialog, IDC_INFO_CREATED, info.created);
    SetDlgItemTextA(dialog, IDC_INFO_WRITTEN, info.written);
    SetDlgItemTextA(dialog, IDC_INFO_SIZE, info.size);
    SetDlgItemTextA(dialog, IDC_INFO_DETECTED, info.detected);
}

void MakeNoteEditable(HWND dialog)
{
    SendDlgItemMessageA(dialog, IDC_INFO_NOTE, EM_SETREADONLY, FALSE, 0);
    SetText(dialog, IDC_INFO_NOTE_BUTTON, IDS_SAVE_NOTE);
    SetFont(dialog, IDC_INFO_NOTE, kFontNote);
}

// Step 7: the note, or the item's own text.
void FillNote(HWND dialog, InfoState& state)
{
    SetText(dialog, IDC_INFO_NOTE_BUTTON, IDS_CREATE_NOTE);
    EnableWindow(GetDlgItem(dialog, IDC_INFO_NOTE_BUTTON), TRUE);
    SendDlgItemMessageA(dialog, IDC_INFO_NOTE, EM_SETREADONLY, TRUE, 0);
    char notePath[MAX_PATH];
    static char note[kNoteMax + 1];
    state.hasNote = GetNotePath(state.path, notePath) && ReadNote(notePath, note) >= 0;
    if (state.hasNote) {
        SetNoteText(dialog, note);
        MakeNoteEditable(dialog);
    } else if (state.detail[0] != '\0') {
        SetNoteText(dialog, state.detail);
        SetFont(dialog, IDC_INFO_NOTE, kFontBoldSmall);
    } else {
        char explanation[1024];
        ExplanationText(explanation, sizeof(explanation));
        SetNoteText(dialog, explanation);
        SetFont(dialog, IDC_INFO_NOTE, kFontMediumSmall);
    }
    SendDlgItemMessageA(dialog, IDC_INFO_NOTE, EM_SETMODIFY, FALSE, 0);
}

// Step 8 for the system's own startup values.
void FillSystemValue(HWND dialog, const InfoState& state, const VersionRecord& record)
{
    SetFont(dialog, IDC_INFO_NOTE, kFontNote);
    Show(dialog, IDC_INFO_KILL, false);
    Show(dialog, IDC_INFO_RUN, false);
    if (state.hasNote) return;
    char text[kDetailLen + 1024];
    char explanation[1024];
    ExplanationText(explanation, sizeof(explanation));
    if (FindServiceDescription(state.path, text) > 0) {
        SetNoteText(dialog, text);
        return;
    }
    text[0] = '\0';
    if (ContainsNoCase(record.field[kCopyright], "Microsoft")) {
        char pattern[1024] = "";
        LoadLocalizedString(IDS_MICROSOFT_SYSTEM_FILE, pattern);
        FillTextPattern(pattern, state.title, text, sizeof(text));
    }
    StrAppend(text, explanation);
    SetNoteText(dialog, text);
}

void FillByType(HWND dialog, const InfoState& state, const VersionRecord& record)
{
    const int type = state.typeCode;
    char text[kDetailLen + 256] = "";
    if (type >= 250 && type <= 256) {
        FillSystemValue(dialog, state, record);
    } else if (type == kTypeHidden) {
        for (int control : {IDC_INFO_STATE_LABEL, IDC_INFO_STATE, IDC_INFO_KILL, IDC_INFO_RUN})
            Show(dialog, control, false);
    } else if (type == kTypeFileType) {
        SetDlgItemTextA(dialog, IDC_INFO_LOCATION, "");
        if (state.hasNote) return;
        LoadLocalizedString(IDS_FILE_TYPE_EXTENSION, text);
        StrAppend(text, state.detail);
        SetNoteText(dialog, text);
    } else if (type == kTypeActiveTask) {
        SetDlgItemTextA(dialog, IDC_INFO_LOCATION, "");
        if (!state.hasNote && FindServiceDescription(state.path, text) > 0) {
            SetNoteText(dialog, text);
            SetFont(dialog, IDC_INFO_NOTE, kFontBoldSmall);
        }
    } else if (type == kTypeScheduledTask) {
        if (state.hasNote) return;
        GetTaskStatusText(state.title, text, 256);
        if (text[0] != '\0') StrAppend(text, "\r\n");
        char comment[kDetailLen] = "";
        GetTaskComment(state.title, comment);
        StrAppend(text, comment);
        SetNoteText(dialog, text);
    } else if (type >= kTypeBho && type <= kTypeExtension) {
        constexpr const char* kHelperKeys[] = {kIEBrowserHelpersKey, kIEToolbarKey,
                                               kIEExtensionsKey};
        LoadLocalizedString(IDS_LOCATION_WORD, text);
        StrAppend(text, ": \"HKLM\\");
        StrAppend(text, kHelperKeys[type - kTypeBho]);
        StrAppend(text, "\"");
        SetDlgItemTextA(dialog, IDC_INFO_LOCATION, text);
        if (state.hasNote) return;
        char explanation[1024];
        ExplanationText(explanation, sizeof(explanation));
        SetNoteText(dialog, explanation);
    }
}

void FillDialog(HWND dialog, InfoState& state)
{
    const HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    EnableWindow(GetDlgItem(dialog, IDC_INFO_APPLY), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_INFO_KILL), TRUE);
    for (int control : {IDC_INFO_START_LABEL, IDC_INFO_APPLY, IDC_INFO_KILL, IDC_INFO_RUN})
        Show(dialog, control, false);
    Show(dialog, IDC_INFO_STATE_LABEL, true);
    Show(dialog, IDC_INFO_STATE, true);
    SetDlgItemTextA(dialog, IDC_INFO_STATE, "");

    CopyItem(state);
    SetDlgItemTextA(dialog, IDC_INFO_PATH, state.path);
    SetWindowTextA(dialog, state.title);
    ShowIcon(dialog, state);

    if (IsService(state.typeCode)) {
        FillServiceState(dialog, state);
    } else {
        FillProgramState(dialog, state);
    }
    if (!IsFile(state.path)) SetText(dialog, IDC_INFO_STATE, IDS_LOCAL_FILE_NOT_FOUND);

    static VersionRecord record;
    FillVersion(dialog, state, record);
    FillNote(dialog, state);
    FillByType(dialog, state, record);

    if (state.hasNote && g_expanded) {
        const HWND note = GetDlgItem(dialog, IDC_INFO_NOTE);
        SetFocus(note);
        const LRESULT end = SendMessageA(note, WM_GETTEXTLENGTH, 0, 0);
        SendMessageA(note, EM_SETSEL, static_cast<WPARAM>(end), end);
    }
    SetCursor(previous ? previous : LoadCursorA(nullptr, IDC_ARROW));
}

void DropTopmost(HWND dialog)
{
    SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void History(const InfoState& state, int action)
{
    WriteHistory(state.title, state.path, state.detail, state.typeCode, action);
}

void StopItem(HWND dialog, InfoState& state)
{
    if (IsService(state.typeCode)) {
        if (SendServiceControl(state.title, SERVICE_CONTROL_STOP)) History(state, 9);
        Sleep(100);
    } else {
        EndProcessByPath(state.path, state.title, 0);
    }
    FillDialog(dialog, state);
}

void RunItem(HWND dialog, InfoState& state)
{
    if (IsService(state.typeCode)) {
        FillDialog(dialog, state);
        return;
    }
    // Quoted: a folder with blanks would otherwise start its first word.
    char command[MAX_PATH + 2];
    if (StrFormatA(command, "\"%s\"", state.path) == 0) WinExec(command, SW_SHOWNORMAL);
}

// Apply: the old state goes to the history before the new start type, so
// that the change can be followed back.
void ApplyStartType(HWND dialog, InfoState& state)
{
    const int choice =
        static_cast<int>(SendDlgItemMessageA(dialog, IDC_INFO_START_TYPE, CB_GETCURSEL, 0, 0));
    if (choice < 0 || choice > 2) return;
    const int current = static_cast<int>(static_cast<DWORD>(QueryServiceState(state.title)) >> 16);
    if (current >= 2 && current <= 4) History(state, 16 + current);
    History(state, 10 + choice);
    SetServiceStartType(state.title, choice + 2);
    state.startIndex = choice;
    EnableWindow(GetDlgItem(dialog, IDC_INFO_APPLY), FALSE);
}

void NoteCommand(HWND dialog, InfoState& state)
{
    char path[MAX_PATH];
    GetNotePath(state.path, path);
    if (path[0] == '\0') return;
    if (state.hasNote) {
        static char text[kNoteMax + 1];
        GetDlgItemTextA(dialog, IDC_INFO_NOTE, text, sizeof(text));
        if (!WriteNote(path, text)) return;
        EnableWindow(GetDlgItem(dialog, IDC_INFO_NOTE_BUTTON), FALSE);
        SendDlgItemMessageA(dialog, IDC_INFO_NOTE, EM_SETMODIFY, FALSE, 0);
        return;
    }
    char text[kTitleLen + MAX_PATH + 8];
    StrCopy(text, state.title);
    StrAppend(text, "\r\n");
    StrAppend(text, state.path);
    StrAppend(text, "\r\n");
    if (!WriteNote(path, text)) return;
    state.hasNote = true;
    MakeNoteEditable(dialog);
    SetNoteText(dialog, text);
    const HWND note = GetDlgItem(dialog, IDC_INFO_NOTE);
    SetFocus(note);
    SendMessageA(note, EM_SETSEL, static_cast<WPARAM>(strlen(text)), static_cast<LPARAM>(strlen(text)));
}

void MoveTo(HWND dialog, InfoState& state, int step)
{
    const int count = ItemCount();
    if (count <= 0) return;
    state.item = ((state.item + step) % count + count) % count;
    FillDialog(dialog, state);
}

void CloseDialog(HWND dialog, int result)
{
    SavePlacement(dialog, "xInfo", "yInfo", "dxInfo", "dyInfo");
    EndDialog(dialog, result);
}

void InitDialog(HWND dialog, InfoState& state)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    for (const Label& label : kLabels) SetText(dialog, label.control, label.stringId);
    SendDlgItemMessageA(dialog, IDC_INFO_NOTE, EM_LIMITTEXT, kNoteMax, 0);
    SetFont(dialog, IDC_INFO_HEADING, kFontSubHeading);
    SetFont(dialog, IDC_INFO_PATH, kFontBoldTiny);
    char stats[kLookupAddressLen];
    EnableWindow(GetDlgItem(dialog, IDC_INFO_STATS),
                 LookupStatsAddress(stats, sizeof(stats)) ? TRUE : FALSE);
    RestorePlacement(dialog, "xInfo", "yInfo", "dxInfo", "dyInfo");
    ToggleExpansion(dialog);
    FillDialog(dialog, state);
}

int OnCommand(HWND dialog, InfoState& state, int control, int code)
{
    char address[kLookupAddressLen];
    switch (control) {
    case IDOK:
    case IDCANCEL:
        CloseDialog(dialog, control);
        return 1;
    case IDC_INFO_KILL:
        StopItem(dialog, state);
        return 1;
    case IDC_INFO_RUN:
        RunItem(dialog, state);
        return 1;
    case IDC_INFO_EXPAND:
        ToggleExpansion(dialog);
        return 1;
    case IDC_INFO_APPLY:
        ApplyStartType(dialog, state);
        return 1;
    case IDC_INFO_START_TYPE:
        if (code == CBN_SELCHANGE) {
            const auto choice = SendDlgItemMessageA(dialog, control, CB_GETCURSEL, 0, 0);
            EnableWindow(GetDlgItem(dialog, IDC_INFO_APPLY), choice != state.startIndex);
        }
        return 1;
    case IDC_INFO_LOOKUP:
        OnlineLookup(state.typeCode, state.path, state.title);
        DropTopmost(dialog);
        return 1;
    case IDC_INFO_STATS:
        DropTopmost(dialog);
        if (LookupStatsAddress(address, sizeof(address))) OpenWebPage(address);
        return 1;
    case IDC_INFO_NOTE_BUTTON:
        NoteCommand(dialog, state);
        return 1;
    case IDC_INFO_NOTE:
        if (code == EN_CHANGE) EnableWindow(GetDlgItem(dialog, IDC_INFO_NOTE_BUTTON), TRUE);
        return 1;
    case IDC_INFO_NEXT:
        MoveTo(dialog, state, 1);
        return 1;
    case IDC_INFO_PREVIOUS:
        MoveTo(dialog, state, -1);
        return 1;
    default:
        return 0;
    }
}

INT_PTR CALLBACK InfoProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        InitDialog(dialog, *reinterpret_cast<InfoState*>(lParam));
        // FillDialog has put the focus into a note; otherwise the default.
        return GetFocus() != GetDlgItem(dialog, IDC_INFO_NOTE);
    }
    auto* state = reinterpret_cast<InfoState*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (!state) return FALSE;
    if (message == WM_COMMAND)
        return OnCommand(dialog, *state, LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    return FALSE;
}

}  // namespace

void ShowInfoDialog(HWND owner, int item)
{
    if (item < 0 || item >= ItemCount()) return;
    InfoState state;
    state.item = item;
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_INFO), owner, InfoProc,
                    reinterpret_cast<LPARAM>(&state));
}
