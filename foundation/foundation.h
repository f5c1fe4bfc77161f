// Foundation of both programs: registry access and trace, bounded strings,
// paths and the shared item list, options and localized strings, history and
// dates, file version information. Nothing here shows anything to the user
// except ShowSystemError, and nothing here includes a program's resource
// header: the string numbers it needs are in strid.h.
//
// Results: 1 success / 0 failure, or a length or count where 0 means "none".
// Bounded string routines return 0, VL_E_CUT or E_INVALIDARG and always leave
// their destination terminated (or untouched for E_INVALIDARG).
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "foundation/strid.h"
#include "foundation/unique.h"

// Every formatting function is checked by the compiler; formats are literals.
#if defined(__GNUC__)
#define VL_PRINTF(fmt, args) __attribute__((format(__MINGW_PRINTF_FORMAT, fmt, args)))
#else
#define VL_PRINTF(fmt, args)
#endif

// ---------------------------------------------------------------------------
// program.cpp: which program this is. Both programs carry the same code; a
// few defaults and the trace differ between the monitor and the explorer.
enum ProgramKind { kExplorer = 0, kMonitor = 1 };
void SetProgramKind(ProgramKind kind);
ProgramKind GetProgramKind();
// The one answer to "which Windows family is this": GetVersionExA's platform
// id (VER_PLATFORM_WIN32_NT 2, VER_PLATFORM_WIN32_WINDOWS 1), 0 when the
// system cannot be asked. minorVersion, when given, receives the minor version
// (0 on failure).
DWORD GetPlatformId(DWORD* minorVersion = nullptr);
// 0 when the system cannot be asked.
DWORD GetWindowsMajorVersion();
inline bool IsNtPlatform()
{
    return GetPlatformId() == VER_PLATFORM_WIN32_NT;
}

// ---------------------------------------------------------------------------
// regaccess.cpp: every call opens, acts and closes.
int CreateRegKey(HKEY root, const char* subkey);
// Length of the text in out; 0 and out = "" on any failure (missing value,
// data over 1024 bytes, text that does not fit capacity).
int GetRegValue(HKEY root, const char* subkey, const char* name, char* out, int capacity);
template <size_t N>
int GetRegValue(HKEY root, const char* subkey, const char* name, char (&out)[N])
{
    return GetRegValue(root, subkey, name, out, static_cast<int>(N));
}
// The one rule for registry values read as text by the catalogues:
//  - type: only REG_SZ and REG_EXPAND_SZ are text; a number or a blob where
//    a command belongs is never taken for one;
//  - size: data up to kRegTextMax bytes is read, with or without its
//    terminating zero;
//  - expansion: REG_EXPAND_SZ is expanded, unless kRegTextRaw asks for the
//    text as stored (to write it back unchanged);
//  - cut: a text that does not fit capacity is refused, unless kRegTextCut
//    asks for its first capacity - 1 characters (what a list shows of an
//    entry Windows still starts).
// Returns the length delivered; kRegTextMissing when the key or the value is
// not there, kRegTextUnusable when it is not text, or too long and not cut.
// out is "" on every negative result. type, when given, receives the value's
// registry type (REG_NONE when missing).
enum RegTextFlags { kRegTextWhole = 0, kRegTextCut = 1, kRegTextRaw = 2 };
constexpr int kRegTextMissing = -1;
constexpr int kRegTextUnusable = -2;
constexpr DWORD kRegTextMax = 4096;
int QueryRegText(HKEY key, const char* name, char* out, size_t capacity, int flags = kRegTextWhole,
                 DWORD* type = nullptr);
int ReadRegText(HKEY root, const char* subkey, const char* name, char* out, size_t capacity,
                int flags = kRegTextWhole, DWORD* type = nullptr);
// The same rule for data already read (a value enumerated with its data):
// raw holds size bytes and room for one more, kind is the registry type.
int RegDataText(DWORD kind, char* raw, DWORD size, char* out, size_t capacity, int flags);
template <size_t N>
int QueryRegText(HKEY key, const char* name, char (&out)[N], int flags = kRegTextWhole,
                 DWORD* type = nullptr)
{
    return QueryRegText(key, name, out, N, flags, type);
}
template <size_t N>
int ReadRegText(HKEY root, const char* subkey, const char* name, char (&out)[N],
                int flags = kRegTextWhole, DWORD* type = nullptr)
{
    return ReadRegText(root, subkey, name, out, N, flags, type);
}
int DeleteRegValue(HKEY root, const char* subkey, const char* name);
int SetRegValue(HKEY root, const char* subkey, const char* name, const char* text);
int SetRegDword(HKEY root, const char* subkey, const char* name, const DWORD* value);
int GetRegWord(HKEY root, const char* subkey, const char* name);

// ---------------------------------------------------------------------------
// trace.cpp: the monitor's optional diagnostic file. The explorer's calls
// return 0 and write nothing.
constexpr int kTraceOff = 9999;
void InitTrace(int counter);            // path from the program folder; counter 9999 or 0
void SetTraceModalPause();              // the alert code has shown a modal window
int GetTraceCounter();
const char* GetTraceFilePath();
int TraceLog(const char* label, const char* text);
int TraceStart(const char* label, const char* text);
int TraceElapsed();
// Sets the mark time of TraceElapsed as TraceStart would (tests and replays).
void SetTraceMarkTime(DWORD tick);

// ---------------------------------------------------------------------------
// strings.cpp: bounded strings.
constexpr int32_t VL_E_CUT = static_cast<int32_t>(0x8007007A);
constexpr int32_t VL_E_INVALIDARG = static_cast<int32_t>(0x80070057);

int32_t StrCopy(char* dest, size_t capacity, const char* source);
int32_t StrCopySigned(char* dest, int capacity, const char* source);   // rejects capacity <= 0
int32_t StrLength(const char* text, size_t capacity, size_t* length);
int32_t StrAppend(char* dest, size_t capacity, const char* source);
int32_t StrFormat(char* dest, int capacity, const char* format, ...) VL_PRINTF(3, 4);
int32_t StrFormatV(char* dest, int capacity, const char* format, va_list args);

template <size_t N>
int32_t StrCopy(char (&dest)[N], const char* source)
{
    return StrCopy(dest, N, source);
}
template <size_t N>
int32_t StrAppend(char (&dest)[N], const char* source)
{
    return StrAppend(dest, N, source);
}
#define StrFormatA(dest, ...) StrFormat((dest), static_cast<int>(sizeof(dest)), __VA_ARGS__)

// ---------------------------------------------------------------------------
// paths.cpp: text and path routines. Outputs are MAX_PATH (260) unless noted.
int ContainsNoCase(const char* text, const char* part);
int GetProgramFolder(char* out);
// Bounded by the caller's buffer: a file name may be longer than a title.
int GetFileNamePart(const char* path, char* out, size_t capacity);
template <size_t N>
int GetFileNamePart(const char* path, char (&out)[N])
{
    return GetFileNamePart(path, out, N);
}
int FileNameOffset(const char* path);
int SkipLeadingBlanks(const char* text, char* out);
int GetExtension(const char* name, char* out);
void RemoveQuotes(const char* text, char* out);
void ReplaceChar(char* text, char from, char to);
void EqualsToColon(const char* text, char* out);
void AddBackslash(char* path);
void RemoveBackslash(char* path, int keepRoot);
void GetLongPath(char* out, const char* path);
int DeleteFileForced(const char* path);
int FileExistsInPath(char* path);
int GetFileFolder(const char* path, char* out);
int GetDataFolder(char* out);
int NormalizeProgramPath(const char* command, char* out);
int SplitProgramAndArguments(const char* command, char* program, char* arguments);
void FormatThousands(char* out, int capacity, long long number);
void EncodeForUrl(char* out, const char* text);   // out holds 1024
HWND FindAolWindow();
int GetDefaultBrowser(char* out);
int GetBrowserKind();
int GetIePath(char* out);

// ---------------------------------------------------------------------------
// itemlist.cpp: the shared item list, one per program.
constexpr int kMaxItems = 4096;
constexpr int kTitleLen = 128;
constexpr int kPathLen = 260;
constexpr int kEntryLen = 260;
constexpr int kDetailLen = 1024;

// The form in which a list shows a path: quotes removed, a name the file
// system shortened in its long form, cut to kPathLen - 1. out holds kPathLen;
// returns its length. The catalogues match a listed entry against the text
// it was read from in this form, and write back the text as it was.
int ListedPath(const char* path, char* out);
// 1 when two texts are the same, or show as the same path (any case).
int SameListedPath(const char* a, const char* b);
int AddItem(const char* title, const char* path, const char* entryName, const char* detail,
            int typeCode, int flag);
int GetItemTitle(int i, char* out);
int GetItemPath(int i, char* out);
int GetItemEntryName(int i, char* out);
int GetItemDetail(int i, char* out, int capacity);
int GetItemType(int i);
int GetItemFlag(int i);
void ClearItems();
int ItemCount();

// ---------------------------------------------------------------------------
// settings.cpp: options, localized strings, placement.
constexpr const char* kVelmoraKey = "Software\\Corvath\\Velmora";
constexpr const char* kOptionsKey = "Software\\Corvath\\Velmora\\Options";
constexpr const char* kDetectedKey = "Software\\Corvath\\Detected";
// The first-detected stores (under HKEY_CURRENT_USER), one per kind of item.
constexpr const char* kDetectedStartupKey = "Software\\Corvath\\Detected\\Startup";
constexpr const char* kDetectedIEHelperKey = "Software\\Corvath\\Detected\\IEHelper";
constexpr const char* kDetectedServicesKey = "Software\\Corvath\\Detected\\Services";
constexpr const char* kDetectedTasksKey = "Software\\Corvath\\Detected\\Tasks";
constexpr const char* kDetectedActiveTasksKey = "Software\\Corvath\\Detected\\ActiveTasks";
constexpr const char* kDetectedFileTypesKey = "Software\\Corvath\\Detected\\FileTypes";
constexpr const char* kDetectedHiddenKey = "Software\\Corvath\\Detected\\Hidden";

int ReadOption(const char* name, int defaultValue);
// The default of a named option in this program (the monitor's and the
// explorer's differ for "MaxCookie" and "TrayIcon"); 0 for unknown names.
int GetOptionDefault(const char* name);
// ReadOption with the default GetOptionDefault gives.
int ReadOptionOrDefault(const char* name);
int WriteOption(const char* name, int value);
int LoadLocalizedString(int id, char* buffer, int capacity);
template <size_t N>
int LoadLocalizedString(int id, char (&buffer)[N])
{
    return LoadLocalizedString(id, buffer, static_cast<int>(N));
}
// A message with one "%s" for a name. The pattern may come from the
// registry and the name from any program, so neither reaches a printf-style
// routine: the first "%s" is replaced as text, the result cut to out.
void FillTextPattern(const char* pattern, const char* argument, char* out, size_t capacity);
void FillLocalizedPattern(int stringId, const char* argument, char* out, size_t capacity);
template <size_t N>
void FillLocalizedPattern(int stringId, const char* argument, char (&out)[N])
{
    FillLocalizedPattern(stringId, argument, out, N);
}
void SetDialogText(HWND dialog, int stringId, int controlId);
void RestorePlacement(HWND window, const char* xName, const char* yName, const char* dxName,
                      const char* dyName);
void SavePlacement(HWND window, const char* xName, const char* yName, const char* dxName,
                   const char* dyName);
void ShowSystemError();
// Derives the message language id from string 634 (called once at start).
void InitMessageLanguage();
int MessageLanguageId();
void SetMessageLanguageId(int id);
// The localized program caption (string 2), loaded on first use.
const char* GetAppCaption();
// The page the explorer shows; RestorePlacement and SavePlacement store it.
void SetCurrentPage(int commandId);

// ---------------------------------------------------------------------------
// typecodes.cpp: item type codes shared by every catalogue and the history.
int TypeCodeName(int code, char* out);   // out holds 48; returns its length

// ---------------------------------------------------------------------------
// history.cpp: the history log and the two date renderings.
int WriteHistory(const char* title, const char* program, const char* extra, int typeCode,
                 int actionCode);
int ActionCodeName(int code, char* out);   // out holds 48
int IsReversibleAction(const char* name);
void FormatHistoryTime(const SYSTEMTIME* time, char* out);   // out holds 64
void FormatLocalDateTime(const SYSTEMTIME* time, char* out); // out holds 24
// The user's regional date and time patterns, read once for a list of many
// dates (FormatLocalDateTime reads them on every call).
struct RegionalFormat {
    int dateIndex = 0;
    int timeIndex = 0;
};
void ReadRegionalFormat(RegionalFormat* format);
void FormatDateTimeAs(const RegionalFormat* format, const SYSTEMTIME* time, char* out);   // 24
int StampFirstDetected(const char* program, const char* storeKey);
void GetHistoryFilePath(char* out);

// ---------------------------------------------------------------------------
// version.cpp: file version information.
constexpr int kVersionFieldLen = 1024;
enum VersionField { kProductName, kProductVersion, kCompanyName, kFileDescription, kCopyright };
struct VersionRecord {
    char field[5][kVersionFieldLen];
};
// Answers are remembered per path (any case), size and last-write time for
// the life of the process, in a bounded table: a file that changed is read
// afresh, one that vanished reads as without version information.
int GetVersionStrings(const char* path, VersionRecord* record);
// The same, for a file a folder walk has just found: its size and time come
// from the walk instead of another look at the file.
int GetVersionStrings(const char* path, const WIN32_FIND_DATAA* found, VersionRecord* record);
int GetSystemVersionText(char* out);

// ---------------------------------------------------------------------------
// fileinfo.cpp: the file behind a listed command, its dates and size, and
// the day Velmora first saw it.
// The program file a command names (out holds MAX_PATH): quotes and
// arguments removed, the long form, and a bare name that runs from the
// Windows or System folder with that folder. Its length; 0 and "" for none.
int ResolveProgramFile(const char* command, char* out);
// The first-detected key of a type code; null for codes without one.
const char* DetectedStoreOfType(int typeCode);
// The stored first-detected date of a program for a type code; its length,
// or 0 and "" when none is recorded.
int ReadFirstDetected(const char* program, int typeCode, char* out, size_t capacity);
struct FileInformation {
    char created[24];
    char accessed[24];
    char written[24];
    char detected[24];
    char size[24];   // grouped by thousands, or string 923 when unreadable
};
// 1 and every text that could be read; 0 and all texts empty when the file
// cannot be opened for reading.
int GetFileInformation(const char* path, int typeCode, FileInformation* info);

// ---------------------------------------------------------------------------
// lookup.cpp: the online lookup of a program and the help pages. Addresses
// come from HKLM "Software\Corvath\Velmora" "LookupSite", "LookupSearch" and
// "HelpSite" (http and https only; see docs/settings.md).
constexpr size_t kLookupAddressLen = 4096;
// The knowledge-base key of a program file name (lower case, blanks, "?" and
// ":" as "_", cut before ".", "-", "~" or "," from the second character on);
// its length.
int LookupKey(const char* fileName, char* out, size_t capacity);
// 1 and the page (out holds MAX_PATH) when the program folder's "kbase"
// folder holds the page of the program's key; 0 and "" otherwise.
int KnowledgeBasePage(const char* path, char* out);
// The address a lookup opens: with "LookupSite", its information script
// ("primeinfo12.pl" with every detail when detailed is set); without it, a
// web search ("LookupSearch", by default https://duckduckgo.com/?q=) for the
// file's name and company. title stands in for an empty path. 1 when made.
int BuildLookupAddress(int typeCode, const char* path, const char* title, int detailed,
                       char* out, size_t capacity);
// An address setting of HKLM "Software\Corvath\Velmora" (out holds
// capacity): 1 when it is present and begins with http:// or https://, else
// 0 and "".
int ReadWebSetting(const char* name, char* out, size_t capacity);
// LookupSite without its trailing slashes, followed by page ("/news.html");
// 0 and "" without LookupSite or when the address does not fit.
int LookupSiteAddress(const char* page, char* out, size_t capacity);
// LookupSite + "/stats.html"; 0 and "" without LookupSite.
int LookupStatsAddress(char* out, size_t capacity);
// Opens an http or https address, in AOL's browser when AOL runs; 1 when
// something was started.
int OpenWebPage(const char* address);
int OpenInAol(const char* address);
// The knowledge-base page, or the address above in the browser (AOL, the
// shell, Internet Explorer). 1 when a page was opened; never shows anything.
int OnlineLookup(int typeCode, const char* path, const char* title);
// The help document of a page id (out holds kPathLen): the page's file with
// the language code and "_" in front unless it is "us"; its length.
int HelpDocumentName(int pageId, char* out);
// Opens the help document from the program folder, else under "HelpSite";
// 1 when something was opened.
int OpenHelpPage(int pageId);
