// The explorer: start-up, the property sheet and its page framework, the
// pages, the program information dialog and the history window. One section
// per source file. Every page is a PageSpec and a few functions: the
// framework's page procedure runs the life cycle every list page shares and
// calls the page for what is its own.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "monitor/monitor.h"

// ---------------------------------------------------------------------------
// Page and action command identifiers: WM_COMMAND ids of the main window,
// values posted between explorer instances, values of the option "StartTab".
enum ExplorerCommand {
    kPageStartup = 6026,
    kPageAbout = 6027,
    kPageCookies = 6028,
    kPageActiveTasks = 6029,
    kCmdCloseExplorer = 6030,
    kCmdToggleMonitorAutostart = 6031,
    kPageOptions = 6033,
    kCmdShowRestartCommands = 6034,
    kPageServices = 6038,
    kPageScheduledTasks = 6039,
    kPageIEHelpers = 6040,
    kListHistory = 6041,          // the history window's list (no sheet page)
    kPageFileTypes = 6042,
    kListCookieFiles = 6044,      // the cookie list dialog's list (no sheet page)
    kPageCookiesForced = 6045,
    kCmdFirstPage = 6046,
    kCmdFirstPageToo = 6047,
    kCmdExitRequest = 6048,
    kMsgRelayout = 6049,          // a page lays out its controls again
    kStatusBarId = 6050,
    kHelpGeneral = 6051,
    kPageHiddenFiles = 6052,
    kPageDelayed = 6055,
};

// ---------------------------------------------------------------------------
// gdi.cpp: fonts and bitmaps shared by every page, made once after the main
// window and released at exit.
enum ExplorerFont {
    kFontHeading,       // Verdana 18/600
    kFontSubHeading,    // Arial 18/500
    kFontLink,          // Arial 18/500 underlined
    kFontBoldSmall,     // MS Sans Serif 14/600
    kFontBoldTiny,      // MS Sans Serif 10/600
    kFontPlain,         // Arial 14/400
    kFontMediumSmall,   // MS Sans Serif 12/500
    kFontDialogBold,    // MS Shell Dlg 14/700
    kFontDialog,        // MS Shell Dlg 14/500
    kFontNote,          // options "NoteFont", "NoteSize"
    kFontCount
};
void CreateSharedGdi();
void DeleteSharedGdi();
// Null before CreateSharedGdi (callers then leave the control's own font).
HFONT GetSharedFont(ExplorerFont font);
// Bitmaps 133-135, 154-156, 158-160 and 193; null for others or before
// CreateSharedGdi.
HBITMAP GetSharedBitmap(int id);

// ---------------------------------------------------------------------------
// listview.cpp: list views of the pages, their columns, rows and sorting.
constexpr int kMaxColumns = 6;

struct PageSpec;
// Inserts the page's columns with their widths from the list's width.
void InsertColumns(HWND list, const PageSpec& desc);
// Sets the widths again after the list was resized.
void SizeColumns(HWND list, const PageSpec& desc);
// Appends a row whose lParam is the item index; returns the row or -1. The
// text is shown as given (never a format) and cut to the list's buffer.
int InsertRow(HWND list, const char* text, int image, int item);
void SetRowText(HWND list, int row, int column, const char* text);
// The item index (lParam) of the first selected row, or -1.
int SelectedItem(HWND list);
int SelectedRow(HWND list);
int SelectedCount(HWND list);
// The item index of a row, or -1.
int RowItem(HWND list, int row);
// Clears every selection, selects and focuses the row, scrolls it into view.
void SelectRow(HWND list, int row);
// The text of a row's cell (out holds capacity).
int GetRowText(HWND list, int row, int column, char* out, int capacity);

// The small-icon image list of a list view: image 0 is icon 101. Replaces
// (and destroys) the list's previous image list.
HIMAGELIST CreateRowImages(HWND list);
// Adds icon 0 of a file (icon 115 when it has none); the image index.
int AddFileIcon(HIMAGELIST images, const char* path);

// Sort keys: one text per item and column, set by the page while it fills
// its rows, read by the comparator. "bottom" items (disabled startup
// entries) sort after all others in the page's bottom columns.
void ClearSortKeys();
void SetSortKey(int item, int column, const char* key);
void SetSortBottom(int item, int bottom);
// The shared direction flags (one per column): zeroed when a page's dialog
// is created, inverted after each click.
void ResetSortDirections();
int SortDirection(int column);
// A column click: sorts by the column's current direction, inverts it and
// stores column + 1 in the page's sort option.
void SortByColumnClick(HWND list, const PageSpec& desc, int column);
// After a refill: sorts by the stored column with its current direction.
void SortByStoredColumn(HWND list, const PageSpec& desc);
// Sorts by a column with its current direction; inverts and stores nothing.
void SortByColumn(HWND list, const PageSpec& desc, int column);
void SetSortDirection(int column, int direction);
// The twelve-digit key of a stored first-detected date ("MM/DD/YYYY H:MM"),
// or " " for a text of 11 characters or fewer (out holds 16).
void DateSortKey(const char* stored, char* out);

// ---------------------------------------------------------------------------
// fileicons.cpp: the icons of the files a page lists, kept per page for the
// life of the process, so that a refill extracts only icons not seen yet.
// A fill starts with BeginFileIcons (the list's fresh image list) and ends
// with EndFileIcons (the list gets a copy of the kept images).
void BeginFileIcons(int pageId, HWND list);
// The image of icon `index` of a file last written at `written` (read again
// when that changed); -1 when the file has no such icon.
int FileIcon(int pageId, const char* path, int index, const FILETIME& written);
int FallbackFileIcon(int pageId);   // icon 115
void EndFileIcons(int pageId, HWND list);

// ---------------------------------------------------------------------------
// messages.cpp: what the explorer says to the user.
// Text of string id, caption string 31 "Velmora Help", question icon,
// topmost, in the message language.
int ShowMessage(HWND owner, int stringId);
// A question whose text is already made (never a format): the program
// caption, the given MB_ flags plus MB_TOPMOST, the message language.
int AskUser(HWND owner, const char* text, UINT flags);
// The message dialog 184, centred on the screen; OK or Cancel closes it.
int ShowMessageDialog(HWND owner, int stringId);

// ---------------------------------------------------------------------------
// sheet.cpp: the property sheet and the state every page shares.
int GetActivePage();
void SetActivePage(int commandId);
// Opens the sheet on the page of a command id, or brings an open sheet to
// the front (Active Tasks refills). Returns when the sheet closes.
void OpenSheet(int commandId);
HWND GetSheetWindow();
// The status bar text: shown as given, cut to its buffer. font may be null.
void SetStatusText(const char* text, HFONT font);
// The hidden main window that owns the sheet.
HWND GetExplorerWindow();
// Every page's WM_INITDIALOG: the first one subclasses the sheet (minimum
// track size, relayout on WM_SIZE), makes the status bar and places the
// sheet from "xPos", "yPos", "dxPos", "dyPos".
void RestoreSheetPlacement(HWND page);
void SaveSheetPlacement(HWND page);
// Every activation: no context help, OK hidden, Cancel reads "Close", the
// main window's caption, an empty status bar, and the sheet's layout (which
// sends the page kMsgRelayout).
void SetupSheetForPage(HWND page);
// 1 when the tab control shows its tabs in one row.
int SheetTabRows();

// ---------------------------------------------------------------------------
// buttons.cpp: image buttons (static images with window properties 10000 to
// 10004) and owner-drawn link buttons.
// Gives the Help image (1077) its bitmaps and command, and the Monitor image
// (1112) its command and the bitmap of the page's patrol state (hidden when
// patrolTitleId is 0).
void SetupPageImages(HWND page, int patrolTitleId);
// The page's Help image (1077), or null where 1077 is no image (the About
// page's search label); the layout leaves such a control where it is.
HWND PageHelpImage(HWND page);
// Removes the image properties (page deactivation and destruction).
void ClearPageImages(HWND page);
// Shows a bitmap in the Monitor image as its normal (and hover) image.
void ShowMonitorImage(HWND page, int bitmapId);
// Makes a page's static image (the Options page's 1136, 1137, 1138) a
// monitor-type image button: bitmapId normal, bitmap 155 pressed and
// hovered, and its own id as the command it sends the page.
void SetupMonitorTypeImage(HWND page, int controlId, int bitmapId);
// WM_MOUSEMOVE to WM_LBUTTONDBLCLK of a page: hover and pressed images; a
// release sends the page WM_COMMAND with the image's command. 1 when handled.
int HandleImageMouse(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// WM_SETCURSOR over a link button: the hover colour. 1 when handled.
int HandleLinkCursor(HWND page, WPARAM wParam, LPARAM lParam);
// WM_DRAWITEM of an owner-drawn link button; 1 when drawn.
int DrawLinkButton(const DRAWITEMSTRUCT* draw);
// Opens the help document of a page id.
int OpenPageHelp(int pageId);

// ---------------------------------------------------------------------------
// pageproc.cpp: the framework's page procedure. A page's PROPSHEETPAGE
// lParam (or a dialog's init parameter) is its PageSpec.
struct PageSpec {
    int commandId;                    // ExplorerCommand of the page (or list)
    int dialogId;
    int titleId;                      // tab title
    int iconId;                       // tab icon
    const char* sortOption;           // "SortStartup", ...; null: no sorting
    int columnCount;
    int columnTitles[kMaxColumns];    // string ids
    double columnWidths[kMaxColumns]; // fractions of the available width
    bool fullWidth;                   // no room kept for a vertical scroll bar
    bool keepOrder;                   // comparisons are all equal (history)
    int bottomColumns;                // columns 0..n-1 keep bottom items last
    int buttons[8];                   // relayout order, 0-terminated
    int companions[8];                // a button sharing the place of buttons[i]
    int patrolTitleId;                // Monitor image: patrol dialog title, 0 none
    // Page hooks; any may be null.
    void (*init)(HWND page);                  // WM_INITDIALOG: texts, controls
    int (*fill)(HWND page, HWND list);        // rows and sort keys; row count
    void (*update)(HWND page, HWND list);     // buttons for the selection
    int (*command)(HWND page, int id);        // 1 when handled
    // The page's own part of the row context menu (the framework appends the
    // common end); item is the selected item.
    void (*menu)(HWND page, HMENU menu, int item);
    // A control between the list and the buttons (a check box): it keeps
    // its place above the buttons and the list ends above it.
    int bandControl = 0;
    // Columns 0..n-1 sort on a click and as the stored column; 0: every
    // column. A column that shows a text no one orders by stays as it is.
    int sortColumns = 0;
    // Once per activation, after the fill and the stored column's sort.
    void (*activate)(HWND page, HWND list) = nullptr;
    // A refill selects no row: the page's commands act at once on the
    // selection, without a question.
    bool selectNoRow = false;
};
INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// The PageSpec of a page window (null before WM_INITDIALOG).
const PageSpec* GetPageSpec(HWND page);
// Refills the page's list, re-sorts it and selects row 0 (or no row).
void RefillPage(HWND page);
// The program file of an item (out holds MAX_PATH): quotes removed, a
// shortcut resolved to its target, a bare name found along the path. 0 when
// the item has no path.
int ItemProgramFile(int item, char* out);
// The online lookup of an item of the shared list.
void LookUpItem(int item);
// A page's control texts from the string table; the Close button is hidden
// where the sheet has its own (Windows 9x).
struct ControlText {
    int controlId;
    int stringId;
};
void SetPageTexts(HWND page, const ControlText* texts, size_t count);
template <size_t N>
void SetPageTexts(HWND page, const ControlText (&texts)[N])
{
    SetPageTexts(page, texts, N);
}
// Context menu helpers for the pages' menu hooks.
void AppendMenuText(HMENU menu, int stringId, int commandId);
void AppendProgramBlock(HMENU menu, int item);   // Info, Explore, Properties, Note

// ---------------------------------------------------------------------------
// patrol.cpp: the patrol-time dialog (160) behind every Monitor image.
// The chosen minutes (0 = off), or -1 when cancelled.
int ShowPatrolDialog(HWND owner, int titleId);
// Applies the dialog's answer to the option of the title; bitmap 193, 156 or
// 154 for the state the title's options now have.
void StorePatrolMinutes(int titleId, int minutes);
int PatrolBitmap(int titleId);

// ---------------------------------------------------------------------------
// infodlg.cpp, notes.cpp: the program information dialog (121) and notes.
void ShowInfoDialog(HWND owner, int item);
// Note file of a program (out holds MAX_PATH): 1 when it exists.
int GetNotePath(const char* program, char* out);
int NoteExists(const char* program);

// ---------------------------------------------------------------------------
// programfacts.cpp: what a page shows of the program file behind a listed
// command, kept for the process's life and read again when the file changed.
struct ListedFileFacts {
    std::string file;       // normalized program path, "" when the command names none
    std::string company;    // CompanyName, "" when none
    std::string detected;   // first-detected date, "" when none could be recorded
};
// Every fill starts with this: each file is then looked at once in the fill.
void StartListedFileFacts();
// The facts of a command's program; a missing first-detected date is recorded
// under storeKey (null: none is asked for). Valid until StartListedFileFacts.
const ListedFileFacts& GetListedFileFacts(const char* command, const char* storeKey);
// The image list of program icons, made once and kept for the process's
// life: a list that shows it needs LVS_SHAREIMAGELISTS.
HIMAGELIST ListedFileImages();
// Icon 0 of a file (icon 115 when it has none) in ListedFileImages(), or -1.
int ListedFileIcon(const char* file);

// ---------------------------------------------------------------------------
// history.cpp: the history window (141).
void ShowHistoryWindow(HWND owner);

// ---------------------------------------------------------------------------
// taskspage.cpp: what the Active Tasks and Scheduled Tasks pages share.
// The icons and company names of the program files they list, kept for
// the life of the process and read again only when a file changed: a page
// refills after every command, and reading a file's icon and version record
// costs more than listing its row. BeginKeptIcons prepares them for a fill
// of the list; KeptFileIcon gives the image of a file's icon 0 (the
// stand-in when it has none, image 0 before BeginKeptIcons) and points
// company at its CompanyName ("" when none; valid until the next
// BeginKeptIcons); GiveKeptIcons hands the list its own copy of the images.
void BeginKeptIcons(HWND list);
int KeptFileIcon(const char* path, const char** company);
void GiveKeptIcons(HWND list);
// The selected item's program path in the status bar, and "Info..." bold
// when the program has a note.
void ShowSelectedProgram(HWND page, HWND list);
// Asks string 800, then schedules the selected item's program file for
// deletion at the next restart; message 57 without a selection.
void DeleteSelectedOnReboot(HWND page, HWND list);

// ---------------------------------------------------------------------------
// reportcalls.cpp: where the explorer asks for each report. Each returns 1
// when its file was written and opened, 0 when nothing was written.
int RunReportLog(HWND owner);           // "VelmoraLog.html" (or ".txt")
int RunSpreadsheetReport(HWND owner);   // program folder "\VelmoraLog.csv"
int RunScanLog(HWND owner);             // program folder "\HijackVelmora.log"
int RunSettingsExport(HWND owner);      // program folder "\<user>-Velmora.reg"

// ---------------------------------------------------------------------------
// The pages. Each returns its desc; the sheet lists them in tab order.
const PageSpec& StartupPageSpec();     // startpage.cpp (102)
const PageSpec& DelayedPageSpec();     // delaypage.cpp (197)
// The other pages, one file each.
const PageSpec& IEHelpersPageSpec();
const PageSpec& ScheduledTasksPageSpec();
const PageSpec& ServicesPageSpec();
const PageSpec& ActiveTasksPageSpec();
const PageSpec& CookiesPageSpec();
const PageSpec& FileTypesPageSpec();
const PageSpec& HiddenFilesPageSpec();
const PageSpec& AboutPageSpec();
const PageSpec& OptionsPageSpec();

// ---------------------------------------------------------------------------
// cookielist.cpp: the cookie list (dialog 145) and the cookie viewer (109),
// opened from the Cookies page.
// Lists the cookies of a cookie mode (kCookieModeIE or kCookieModeMozilla)
// with a check box each; returns when the dialog closes.
void ShowCookieList(HWND owner, int mode);
// Asks an open cookie list and viewer of this thread to close (the sheet
// behind them is closing).
void CloseCookieWindows();
// 1 when a row text names a file directly inside a folder: not empty, no
// path separator, no drive colon, no "..". Anything else would reach
// beyond the cookie folder when joined to it.
int IsPlainCookieName(const char* text);

// ---------------------------------------------------------------------------
// vxmain.cpp / explorer.cpp: start-up and the main window.
// The whole life of the process: switches, single instance, main window,
// initialization and the message loop. The process exit code.
int RunExplorer(HINSTANCE instance, const char* commandLine);
// The start page of a command line (the switch table); 0 for "-Restore".
int StartPageOfCommandLine(const char* commandLine, int startTab);
// Puts every delayed program back into the normal startup list.
void RestoreAllDelayed();
// Writes back every option the explorer saves at exit (each with its
// default when it is missing), which also sets "Update" for the monitor.
void WriteBackOptions();
// The explorer-side initialization of the stores.
void InitExplorerValues();
