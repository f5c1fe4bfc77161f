// Reports: files and streams written on request. Everything here reads the
// shared item list as the catalogue enumerated last left it.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>
#include <unordered_map>

#include "catalogue/catalogue.h"
#include "foundation/unique.h"

// ---------------------------------------------------------------------------
// records.cpp: item-list records as TSV, CSV (RFC 4180) or JSON (UTF-8).
enum RecordFormat { kRecordTsv, kRecordCsv, kRecordJson };

// Parses "tsv", "csv" or "json"; 1 on success, else 0 and format untouched.
int ParseRecordFormat(const char* name, RecordFormat* format);
// The header line (TSV, CSV) or the opening bracket (JSON).
void BeginRecords(RecordFormat format, std::string* out);
// One record per item-list entry, tagged with the catalogue's name. The
// location column is filled only when withLocation is set (startup entries).
void AppendItemRecords(RecordFormat format, const char* catalogue, int withLocation,
                       std::string* out);
// The closing bracket (JSON); nothing for TSV and CSV.
void EndRecords(RecordFormat format, std::string* out);
// ANSI text of the system code page as UTF-8.
std::string AnsiToUtf8(const char* text);

// ---------------------------------------------------------------------------
// reporttext.cpp: what every report file shares. Each writer takes an open
// handle, a file or the standard output, and writes its lines with
// WriteFile as soon as each is formatted.

// Creates a report file anew: write access, no sharing, archive attribute.
// An invalid holder when it cannot be created.
UniqueFile CreateReportFile(const char* path);
// Writes the bytes as they are; 1 when all of them reached the handle.
int WriteReportText(HANDLE out, std::string_view text);
// Formats one line and writes it. The format is always the program's own;
// texts from the registry or files travel only as arguments, at any length.
int WriteReportLineV(HANDLE out, const char* format, va_list args);
// "%2d:%02d:%02d %s" on a true 12-hour clock (00:30 is "12:30:00 AM",
// 12:30 is "12:30:00 PM", 13:05 is " 1:05:00 PM").
void FormatReportClock(const SYSTEMTIME& time, char* out, int capacity);
// "%2d/%02d/%4d": month, day, year.
void FormatReportDate(const SYSTEMTIME& time, char* out, int capacity);
// Every report's header: the local time and date of now, as above.
struct ReportStamp {
    char clock[32];
    char date[32];
};
void StampReportNow(ReportStamp* stamp);
// The operating-system description of the "Platform:" lines; 0 when the
// version cannot be read (text unchanged).
int GetPlatformText(char* text, int capacity);
// Internet Explorer's program: App Paths "Path" without a trailing ";" and
// "\IExplore.exe"; 0 and an empty text when the value is missing.
int GetReportIePath(char* out, int capacity);

// ---------------------------------------------------------------------------
// regexport.cpp: the settings as a file in the registry editor's import
// format "Windows Registry Editor Version 5.00", in UTF-16LE as the editor
// writes it itself. Every value of every key at any depth is written so that
// importing the file gives back the same types, names and bytes: a REG_SZ in
// quotes when that form reads back unchanged, else hex(1); REG_DWORD as
// dword:; anything else as hex of its stored bytes. The key and value
// writers write UTF-16LE text without a byte-order mark.

// The whole export (byte-order mark, header line, the user's key, the
// machine key) to out. 1 when every line was written; 0 when a write failed
// or a name with a line break had to be left out, with the last error set.
// The rest is written in either case.
int ExportSettingsTo(HANDLE out);
// One key with its values and all its subkeys; the number of subkeys written
// (at every depth), -1 when the key cannot be opened (only its header line
// written then), -2 when something below it could not be written.
int ExportRegKey(HANDLE out, HKEY root, const char* path);
// The value lines of one key; the number written, nothing and 0 when it
// cannot be opened, -1 when a value could not be written.
int ExportRegValues(HANDLE out, HKEY root, const char* path);
// The Options page's "E&xport Settings": the program folder, "\", the user
// name and "-Velmora.reg", then message 854 with the file's long path name.
// 1 when written; 0 when the file could not be created (no message then) or
// not completely written (the system's error text shown then).
int ExportSettings();

// ---------------------------------------------------------------------------
// reportfields.cpp: texts from the registry, files and version resources on
// their way into a report, and the large writes of the long reports.

// & < > " and ' as character references, so that no text from data can
// open a tag or leave an attribute.
void AppendHtmlEscaped(std::string_view text, std::string* out);
std::string HtmlEscaped(std::string_view text);
// RFC 4180: a field with a comma, quote, CR or LF is quoted, quotes doubled.
void AppendCsvField(std::string_view text, std::string* out);
// A tab-separated field: tabs and line breaks in the text become blanks.
void AppendTabField(std::string_view text, std::string* out);
// Percent-encoding of a query value: all but the unreserved characters
// (letters, digits, "-", "_", ".", "~") as %XX.
void AppendUrlEncoded(std::string_view text, std::string* out);

// Lines gathered and handed to WriteReportText in pieces of about
// kReportBufferFlush bytes. ok drops to 0 at the first failed write.
constexpr size_t kReportBufferFlush = 64 * 1024;
struct ReportBuffer {
    HANDLE out;
    std::string text;
    int ok = 1;
};
void AddReportText(ReportBuffer* buffer, std::string_view text);
// The format is always the program's own; data travels only as arguments.
void AddReportLine(ReportBuffer* buffer, const char* format, ...) VL_PRINTF(2, 3);
// Writes what is gathered; returns ok.
int FlushReportBuffer(ReportBuffer* buffer);

// ---------------------------------------------------------------------------
// reportprogram.cpp: what a report reads once, however often it shows it.
struct ReportProgram {
    std::string file;       // the resolved program file; "" when none
    std::string name;       // its file name (of the command when unresolved)
    std::string field[5];   // version strings in VersionField order
};
// One report's memory; it lives as long as the report. Keys are upper case.
struct ReportFacts {
    std::unordered_map<std::string, ReportProgram> programs;   // by command
    std::unordered_map<std::string, ReportProgram> files;      // by resolved file
    // Each file's attributes from one look; INVALID_FILE_ATTRIBUTES when missing.
    std::unordered_map<std::string, WIN32_FILE_ATTRIBUTE_DATA> looked;
    std::unordered_map<std::string, std::string> serviceStates;
    int servicesRead = 0;
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> detected;
    std::unordered_map<std::string, int> parked;               // title -> code
    int parkedRead = 0;
    std::unordered_map<std::string, std::string> locations;
    RegionalFormat regional;
    int regionalRead = 0;
};
// The program of a command: resolved, looked at and its version strings
// read the first time this report asks. The reference stays valid for the
// report. A full path that names no file has no version strings.
const ReportProgram& GetReportProgram(ReportFacts* facts, const char* command);
// The localized state text as GetServiceStateText gives it, from one pass
// over all services; a name the manager does not list is asked on its own.
const std::string& GetReportServiceState(ReportFacts* facts, const char* displayName);
// ReadFirstDetected from the store of the type code, read whole once.
int GetReportFirstDetected(ReportFacts* facts, const std::string& file, int typeCode, char* out,
                           size_t capacity);
// GetLocationText, with the parked titles read once (out holds 512).
int GetReportLocation(ReportFacts* facts, int index, char* out);
// Looks at the files of the item list's paths folder by folder: a folder
// that holds many of them is listed once instead of each file looked at.
void LookAtListedFolders(ReportFacts* facts);
// The created, accessed and written times and the size of GetFileInformation
// from one look at the file; 0 and all empty when it cannot be looked at.
int GetReportFileTimes(ReportFacts* facts, const char* path, FileInformation* info);

// ---------------------------------------------------------------------------
// sysheader.cpp: the system information that opens the reports.
// The system header; html 1 gives "<br>\r\n" line ends. 1 when every line
// was written.
int WriteSystemHeader(HANDLE out, int html);

// ---------------------------------------------------------------------------
// reportlog.cpp: the inventory of everything that starts or hooks itself.
// The report log to out: format 0 HTML, 1 tab-separated text. 1 when every
// line was written. The shared item list holds the last section afterwards.
int WriteReportLogTo(HANDLE out, int format);
// The pages' "Velmora &Log": "VelmoraLog.html" or, with the option "Format"
// 1, "VelmoraLog.txt", in the current directory, then opened with the
// shell. Returns 1; a file that cannot be created is neither written nor
// opened.
int WriteReportLog();

// ---------------------------------------------------------------------------
// spreadsheet.cpp: the startup inventory as comma-separated values.
// Rows of the Run-type entries in the shared item list as it stands, with
// Type and SubType by type code ("UnknownKey", "Run" for other codes).
void AppendRunKeyRows(ReportFacts* facts, std::string* out);
// The spreadsheet report to out; 1 when every line was written.
int WriteSpreadsheetReportTo(HANDLE out);
// The Options page's "&Spreadsheet Report": creates path, writes, opens it.
// Returns 1; a file that cannot be created is neither written nor opened.
int WriteSpreadsheetReport(const char* path);

// ---------------------------------------------------------------------------
// scanlog.cpp: the scan log "HijackVelmora.log", a plain-text list of
// everything that can start software or redirect the browser, one line per
// finding with a short code that says where it was found. The scan rebuilds
// the shared item list many times; a page must refill afterwards.

// Writes the whole scan log to out (a report file or the standard output).
// 1 when every line reached out; 0 when a write failed (the scan still runs
// to its end).
int WriteScanLogTo(HANDLE out);
// The explorer's button: "HijackVelmora.log" in the program folder, wait cursor,
// written, then opened with the shell ("open", SW_SHOWNORMAL). Returns 1.
int WriteScanLog();

// Where the sections write: the handle and whether every write so far worked.
struct ScanLog {
    HANDLE out;
    int failed;
};
// Formats one line of the program's own format and writes it at once; texts
// from the registry or files travel only as arguments, at any length.
int ScanLine(ScanLog* log, const char* format, ...) VL_PRINTF(2, 3);

// ---------------------------------------------------------------------------
// scanregistry.cpp: the scan log's registry sections.

// A value as the log shows it, whatever its type or length: text as stored
// (REG_EXPAND_SZ expanded), every string of a multi-string joined by " | ",
// REG_DWORD and REG_QWORD in decimal, any other data as "hex:" and its bytes.
// Control characters become blanks, so a value can neither break a line nor
// forge one. limit > 0 cuts the text to that many characters. Empty when the
// key or value is missing or unreadable.
std::string QueryScanValue(HKEY key, const char* name, size_t limit = 0);
std::string ReadScanValue(HKEY root, const char* subkey, const char* name, size_t limit = 0);
// The text with every control character made a blank (one field of a line).
std::string PrintableScanText(std::string text);
// part occurs in text, ASCII letters compared without regard to case; any length.
bool HasTextNoCase(std::string_view text, std::string_view part);
// O2, O3: helper objects and toolbars.
void WriteScanAddons(ScanLog* log);
// O5 to O13: restrictions, menus, buttons, option groups, plug-ins, prefixes.
void WriteScanBrowserOptions(ScanLog* log);
// O15 to O17: trusted domains, downloaded components, network settings.
void WriteScanNetwork(ScanLog* log);
// O19 to O24 and the blank line that ends the O section.
void WriteScanHooks(ScanLog* log);
// VL00 to VL02, and a blank line when any of them was written.
void WriteScanSessionManager(ScanLog* log);
