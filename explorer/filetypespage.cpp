// The File Types page: which program opens each watched file type, with
// adding and removing watched extensions. The catalogue keeps the list of
// extensions and the snapshot of their associations; the page shows them.
#include "explorer/explorer.h"

#include <cstring>
#include <iterator>

#include "catalogue/catalogue.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_HEADING = 1108;
constexpr int IDC_HINT = 1109;
constexpr int IDC_ADD = 1064;

constexpr int IDS_NO_SELECTION_REMOVE = 60;
constexpr int IDS_INFO = 301;
constexpr int IDS_REMOVE = 302;
constexpr int IDS_CLOSE = 304;
constexpr int IDS_ADD = 311;
constexpr int IDS_HEADING = 740;
constexpr int IDS_HINT = 741;
constexpr int IDS_VIEW_NOTE = 971;
constexpr int IDS_BAD_EXTENSION = 2423;

constexpr int kColumnTitle = 0;
constexpr int kColumnClass = 3;
constexpr int kExtensionLen = 255;

constexpr ControlText kPageTexts[] = {
    {IDC_HEADING, IDS_HEADING}, {IDC_HINT, IDS_HINT}, {IDC_INFO_BUTTON, IDS_INFO},
    {IDC_ADD, IDS_ADD},         {IDC_REMOVE, IDS_REMOVE}, {IDC_CLOSE, IDS_CLOSE},
};
static_assert(std::size(kPageTexts) == 6);

// The Type column by the association's kind (the flag word).
struct KindText {
    int kind;
    int stringId;
};
constexpr KindText kKindTexts[] = {{1, 2420}, {2, 2421}, {3, 2421}, {4, 2422}};
static_assert(std::size(kKindTexts) == 4);

void KindName(int kind, char (&out)[64])
{
    out[0] = '\0';
    for (const KindText& k : kKindTexts)
        if (k.kind == kind) LoadLocalizedString(k.stringId, out);
}

int IconOfFile(const char* path, int index)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path[0] || !GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return FileIcon(kPageFileTypes, path, index, data.ftLastWriteTime);
}

// The extension's own icon when it has one, else icon 0 of the program.
int RowImage(const char* extension, int kind, const char* program)
{
    char iconPath[kPathLen];
    int index = 0;
    int image = -1;
    if (GetExtensionIcon(extension, iconPath, &index, kind)) {
        char expanded[kPathLen];
        const DWORD length = ExpandEnvironmentStringsA(iconPath, expanded, sizeof(expanded));
        image = IconOfFile(length > 0 && length <= sizeof(expanded) ? expanded : iconPath, index);
    }
    if (image < 0) image = IconOfFile(program, 0);
    return image < 0 ? FallbackFileIcon(kPageFileTypes) : image;
}

void AddFileTypeRow(HWND list, int item)
{
    char title[kTitleLen + 1];
    char command[kPathLen];
    char className[kEntryLen];
    char extension[kDetailLen];
    GetItemTitle(item, title);
    GetItemPath(item, command);
    GetItemEntryName(item, className);
    GetItemDetail(item, extension, kDetailLen);
    const int kind = GetItemFlag(item);

    char program[kPathLen];
    GetProgramFromCommand(command, program);
    char file[MAX_PATH];
    ResolveProgramFile(command, file);
    VersionRecord version;
    const char* company = file[0] && GetVersionStrings(file, &version) ? version.field[kCompanyName] : "";
    char type[64];
    KindName(kind, type);

    const int row = InsertRow(list, title, RowImage(extension, kind, file), item);
    if (row < 0) return;
    SetRowText(list, row, 1, program);
    SetRowText(list, row, 2, company);
    SetRowText(list, row, 3, className);
    SetRowText(list, row, 4, extension);
    SetRowText(list, row, 5, type);
    SetSortKey(item, 0, title);
    SetSortKey(item, 1, program);
    SetSortKey(item, 2, company);
    SetSortKey(item, 3, className);
    SetSortKey(item, 4, extension);
}

int FillFileTypes(HWND, HWND list)
{
    const int count = BuildFileTypeList();
    BeginFileIcons(kPageFileTypes, list);
    for (int item = 0; item < count; ++item) AddFileTypeRow(list, item);
    EndFileIcons(kPageFileTypes, list);
    return count;
}

// Each activation shows the associations by class, and the next click on
// Title sorts them descending.
void ActivateFileTypes(HWND page, HWND list)
{
    if (const PageSpec* desc = GetPageSpec(page)) SortByColumn(list, *desc, kColumnClass);
    SetSortDirection(kColumnTitle, 1);
}

void InitFileTypes(HWND page)
{
    SetPageTexts(page, kPageTexts);
}

void UpdateFileTypes(HWND page, HWND list)
{
    const int item = SelectedItem(list);
    if (item < 0) return;
    char path[kPathLen];
    GetItemPath(item, path);
    SetStatusText(path, GetSharedFont(kFontBoldTiny));
    char file[MAX_PATH];
    HFONT font = ItemProgramFile(item, file) && NoteExists(file) ? GetSharedFont(kFontDialogBold) : nullptr;
    if (!font) font = reinterpret_cast<HFONT>(SendMessageA(page, WM_GETFONT, 0, 0));
    SendDlgItemMessageA(page, IDC_INFO_BUTTON, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// ---------------------------------------------------------------------------
// Add File Type Extension dialog (144).

// One name as an extension is written: no blanks, no list separator and
// nothing that would reach into another registry key.
bool IsPlainExtension(const char* text)
{
    for (const char* c = text; *c; ++c) {
        const unsigned char u = static_cast<unsigned char>(*c);
        if (u <= ' ' || std::strchr(";\\/:*?\"<>|", u)) return false;
    }
    return true;
}

void AddExtension(HWND dialog)
{
    char text[kExtensionLen + 1] = "";
    GetDlgItemTextA(dialog, IDC_ADD_FILETYPE_TEXT, text, sizeof(text));
    const int refused = IsPlainExtension(text) ? AddWatchedExtension(text) : IDS_BAD_EXTENSION;
    if (refused) {
        ShowMessageDialog(dialog, refused);
        SetFocus(GetDlgItem(dialog, IDC_ADD_FILETYPE_TEXT));
        return;
    }
    SavePlacement(dialog, "xPosAddFileType", "yPosAddFileType", "dxPosAddFileType", "dyPosAddFileType");
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK AddFileTypeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        char caption[256];
        if (LoadLocalizedString(IDS_ADD_FILETYPE_TITLE, caption) > 0) SetWindowTextA(dialog, caption);
        SetDialogText(dialog, IDS_ADD_FILETYPE_PROMPT, IDC_ADD_FILETYPE_PROMPT);
        SetDialogText(dialog, IDS_ADD_FILETYPE_ADD, IDOK);
        SetDialogText(dialog, IDS_CLOSE, IDCANCEL);
        SendDlgItemMessageA(dialog, IDC_ADD_FILETYPE_TEXT, EM_LIMITTEXT, kExtensionLen, 0);
        RestorePlacement(dialog, "xPosAddFileType", "yPosAddFileType", "dxPosAddFileType",
                         "dyPosAddFileType");
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            AddExtension(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

void AddFileType(HWND page)
{
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ADD_FILETYPE), page,
                    AddFileTypeProc, 0);
    RefillPage(page);
}

// Asks nothing: the association itself stays as it is, only the watch ends.
void RemoveFileType(HWND page)
{
    const int item = SelectedItem(GetDlgItem(page, IDC_LIST));
    if (item < 0) {
        ShowMessage(page, IDS_NO_SELECTION_REMOVE);
        return;
    }
    char extension[kDetailLen];
    GetItemDetail(item, extension, kDetailLen);
    if (extension[0] && extension[1]) RemoveWatchedExtension(extension + 1);
    RefillPage(page);
}

int FileTypesCommand(HWND page, int id)
{
    switch (id) {
    case IDC_ADD:
        AddFileType(page);
        return 1;
    case IDC_REMOVE:
        RemoveFileType(page);
        return 1;
    default:
        return 0;
    }
}

void FileTypesMenu(HWND, HMENU menu, int item)
{
    AppendMenuText(menu, IDS_INFO, IDC_INFO_BUTTON);
    char file[MAX_PATH];
    if (ItemProgramFile(item, file) && NoteExists(file)) AppendMenuText(menu, IDS_VIEW_NOTE, IDC_VIEW_NOTE);
    AppendMenuText(menu, IDS_ADD, IDC_ADD);
    AppendMenuText(menu, IDS_REMOVE, IDC_REMOVE);
}

// A list view puts a column inserted beyond its last one at the end, so the
// page's columns take the positions 0 to 5, each showing the subitem of its
// position. "Type" has no width of its own in the page's table and takes
// most of what the others leave; it is not sorted by.
const PageSpec kFileTypes = {
    kPageFileTypes, IDD_PAGE_FILETYPES, 739, IDI_TAB_FILETYPES, "SortFileType", 6,
    {627, 628, 699, 747, 748, 714}, {0.3, 0.17, 0.2, 0.12, 0.1, 0.1}, false, false, 0,
    {IDC_INFO_BUTTON, IDC_ADD, IDC_REMOVE, IDC_CLOSE}, {}, 788,
    InitFileTypes, FillFileTypes, UpdateFileTypes, FileTypesCommand, FileTypesMenu,
    0, 5, ActivateFileTypes};

}  // namespace

const PageSpec& FileTypesPageSpec() { return kFileTypes; }
