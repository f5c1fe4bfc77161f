// List views of the pages: columns sized from fractions of the list, rows
// that carry their item index, the small icons of the programs, and sorting
// by keys the page computes once while it fills, so that a sort of thousands
// of rows never reads a file or the registry.
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Texts a list shows are cut here; the list view itself shows no more of a
// cell than this.
constexpr int kCellLen = 260;
// Keys longer than this sort as their first kKeyLen characters.
constexpr int kKeyLen = 300;

struct SortKeys {
    std::vector<std::string> text[kMaxColumns];
    std::vector<char> bottom;
};
SortKeys g_keys;
int g_directions[kMaxColumns] = {};

struct SortRun {
    int column;
    int direction;
    int bottomColumns;
};

const char* KeyOf(int item, int column)
{
    const std::vector<std::string>& keys = g_keys.text[column];
    return item >= 0 && static_cast<size_t>(item) < keys.size() ? keys[item].c_str() : "";
}

bool IsBottom(int item)
{
    return item >= 0 && static_cast<size_t>(item) < g_keys.bottom.size() && g_keys.bottom[item];
}

// A bottom item's key gets a prefix that sorts after every other key in the
// current direction, so disabled entries stay last both ways.
void BuildKey(const SortRun& run, int item, char (&out)[kKeyLen + 4])
{
    out[0] = '\0';
    if (run.column < run.bottomColumns && IsBottom(item))
        StrCopy(out, run.direction == 0 ? "zzz" : "aaa");
    StrAppend(out, KeyOf(item, run.column));
}

// Texts of which one begins the other compare equal: both are cut to the
// shorter length before the comparison.
int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM context)
{
    const SortRun& run = *reinterpret_cast<const SortRun*>(context);
    char keyA[kKeyLen + 4];
    char keyB[kKeyLen + 4];
    BuildKey(run, static_cast<int>(a), keyA);
    BuildKey(run, static_cast<int>(b), keyB);
    const int length = static_cast<int>((std::min)(strlen(keyA), strlen(keyB)));
    const int order = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, keyA, length, keyB, length);
    const int sign = order == CSTR_LESS_THAN ? -1 : order == CSTR_GREATER_THAN ? 1 : 0;
    return run.direction == 0 ? sign : -sign;
}

void SortRows(HWND list, const PageSpec& desc, int column)
{
    if (desc.keepOrder) return;
    SortRun run = {column, g_directions[column], desc.bottomColumns};
    SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&run),
                 reinterpret_cast<LPARAM>(CompareRows));
}

int AvailableWidth(HWND list, const PageSpec& desc)
{
    RECT box = {};
    GetWindowRect(list, &box);
    int width = box.right - box.left;
    if (!desc.fullWidth)
        width -= GetSystemMetrics(desc.commandId == kPageFileTypes ? SM_CXVSCROLL : SM_CYVSCROLL);
    return width > 0 ? width : 0;
}

// The columns a click sorts by.
int SortableColumns(const PageSpec& desc)
{
    const int count = desc.sortColumns > 0 && desc.sortColumns < desc.columnCount ? desc.sortColumns
                                                                                   : desc.columnCount;
    return (std::min)(count, kMaxColumns);
}

void CopyCell(const char* text, char (&out)[kCellLen])
{
    // A cut text is still shown; only the part a cell can hold.
    StrCopy(out, text ? text : "");
}

}  // namespace

void InsertColumns(HWND list, const PageSpec& desc)
{
    const int width = AvailableWidth(list, desc);
    for (int i = 0; i < desc.columnCount && i < kMaxColumns; ++i) {
        char title[128] = "";
        LoadLocalizedString(desc.columnTitles[i], title);
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = static_cast<int>(width * desc.columnWidths[i]);
        column.pszText = title;
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

void SizeColumns(HWND list, const PageSpec& desc)
{
    const int width = AvailableWidth(list, desc);
    for (int i = 0; i < desc.columnCount && i < kMaxColumns; ++i)
        SendMessageA(list, LVM_SETCOLUMNWIDTH, i,
                     MAKELPARAM(static_cast<int>(width * desc.columnWidths[i]), 0));
}

int InsertRow(HWND list, const char* text, int image, int item)
{
    char cell[kCellLen];
    CopyCell(text, cell);
    LVITEMA row = {};
    row.mask = LVIF_TEXT | LVIF_PARAM | (image >= 0 ? LVIF_IMAGE : 0);
    row.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    row.pszText = cell;
    row.iImage = image;
    row.lParam = item;
    return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
}

void SetRowText(HWND list, int row, int column, const char* text)
{
    char cell[kCellLen];
    CopyCell(text, cell);
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = cell;
    SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

int SelectedRow(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int SelectedCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
}

int RowItem(HWND list, int row)
{
    if (row < 0) return -1;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return -1;
    return static_cast<int>(item.lParam);
}

int SelectedItem(HWND list)
{
    return RowItem(list, SelectedRow(list));
}

void SelectRow(HWND list, int row)
{
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    if (row < 0 || row >= SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) return;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    SendMessageA(list, LVM_ENSUREVISIBLE, row, FALSE);
}

int GetRowText(HWND list, int row, int column, char* out, int capacity)
{
    if (capacity <= 0) return 0;
    out[0] = '\0';
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = out;
    item.cchTextMax = capacity;
    return static_cast<int>(SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
}

HIMAGELIST CreateRowImages(HWND list)
{
    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                         ILC_COLOR32 | ILC_MASK, 16, 64);
    if (images) {
        HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_NORMAL),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        ImageList_AddIcon(images, icon ? icon : LoadIconA(nullptr, IDI_APPLICATION));
    }
    // The list owns its images; the one it held before is ours to free.
    HIMAGELIST previous = reinterpret_cast<HIMAGELIST>(
        SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)));
    if (previous && previous != images) ImageList_Destroy(previous);
    return images;
}

int AddFileIcon(HIMAGELIST images, const char* path)
{
    if (!images) return -1;
    HICON small = nullptr;
    if (path && path[0] != '\0' && ExtractIconExA(path, 0, nullptr, &small, 1) > 0 && small) {
        const int index = ImageList_AddIcon(images, small);
        DestroyIcon(small);
        if (index >= 0) return index;
    }
    // A file without an icon of its own shows the stand-in.
    HICON fallback = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_FILE_FALLBACK),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    return ImageList_AddIcon(images, fallback ? fallback : LoadIconA(nullptr, IDI_APPLICATION));
}

void ClearSortKeys()
{
    for (std::vector<std::string>& column : g_keys.text) column.clear();
    g_keys.bottom.clear();
}

void SetSortKey(int item, int column, const char* key)
{
    if (item < 0 || item >= kMaxItems || column < 0 || column >= kMaxColumns) return;
    std::vector<std::string>& keys = g_keys.text[column];
    if (keys.size() <= static_cast<size_t>(item)) keys.resize(item + 1);
    keys[item].assign(key ? key : "", key ? strnlen(key, kKeyLen) : 0);
}

void SetSortBottom(int item, int bottom)
{
    if (item < 0 || item >= kMaxItems) return;
    if (g_keys.bottom.size() <= static_cast<size_t>(item)) g_keys.bottom.resize(item + 1);
    g_keys.bottom[item] = bottom ? 1 : 0;
}

void ResetSortDirections()
{
    for (int& direction : g_directions) direction = 0;
}

int SortDirection(int column)
{
    return column >= 0 && column < kMaxColumns ? g_directions[column] : 0;
}

void SortByColumnClick(HWND list, const PageSpec& desc, int column)
{
    if (!desc.sortOption || column < 0 || column >= SortableColumns(desc)) return;
    SortRows(list, desc, column);
    g_directions[column] = g_directions[column] ? 0 : 1;
    WriteOption(desc.sortOption, column + 1);
}

void SortByStoredColumn(HWND list, const PageSpec& desc)
{
    if (!desc.sortOption) return;
    const int column = ReadOption(desc.sortOption, 0) - 1;
    // A stored column the list does not have (a damaged or foreign value)
    // leaves the rows in the order they were found.
    if (column < 0 || column >= SortableColumns(desc)) return;
    SortRows(list, desc, column);
}

void SortByColumn(HWND list, const PageSpec& desc, int column)
{
    if (column < 0 || column >= SortableColumns(desc)) return;
    SortRows(list, desc, column);
}

void SetSortDirection(int column, int direction)
{
    if (column >= 0 && column < kMaxColumns) g_directions[column] = direction ? 1 : 0;
}

void DateSortKey(const char* stored, char* out)
{
    const size_t length = stored ? strnlen(stored, 64) : 0;
    if (length <= 11) {
        StrCopy(out, 16, " ");
        return;
    }
    // "MM/DD/YYYY H:MM" or "MM/DD/YYYY HH:MM", anything after the minutes
    // (the AM/PM marker) ignored.
    char hour[3] = "00";
    const char* time = stored + 11;
    const char* colon = strchr(time, ':');
    const size_t hourLength = colon ? static_cast<size_t>(colon - time) : 0;
    if (hourLength == 1) {
        hour[1] = time[0];
    } else if (hourLength >= 2) {
        hour[0] = time[0];
        hour[1] = time[1];
    }
    char minutes[3] = "00";
    if (colon && colon[1] != '\0') {
        minutes[0] = colon[1];
        minutes[1] = colon[2] != '\0' ? colon[2] : '0';
    }
    StrFormat(out, 16, "%.4s%.2s%.2s%s%s", stored + 6, stored, stored + 3, hour, minutes);
}
