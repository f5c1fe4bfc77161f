// Cookies: the Internet Explorer cookie folder and the Mozilla-family
// "cookies.txt", the nut list of unwanted cookie names, and the filter that
// removes what the nuts match.
#include "catalogue/catalogue.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kExplorerKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr const char* kUserShellFolders = "\\User Shell Folders";
constexpr const char* kUpdateCookieFile = "UpdateCookieFile";
constexpr const char* kSourceName = "cookies.txt";
constexpr const char* kTargetName = "cookiesnew.txt";

// The nut search covers texts of up to 512 characters; a longer cookie line
// is never matched by a nut (only by its removed-cookie title).
constexpr size_t kMaxMatchText = 512;
// The item list keeps titles of up to 127 characters; a cookie removed from
// the list is marked under that shortened title.
constexpr size_t kListTitleChars = kTitleLen - 1;
constexpr DWORD kReadChunk = 64 * 1024;
constexpr size_t kWriteChunk = 64 * 1024;
// Expiry seconds beyond the year 3000 are shown as that year.
constexpr long long kMaxExpirySeconds = 32503680000LL;

int g_cookieMode = kCookieModeIE;

struct Nut {
    char text[kNutTextLen];
    char upper[kNutTextLen];   // for the case-blind search
    int data;
    bool hasData;
};
std::vector<Nut> g_nuts;

bool FileExists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int AppDataFolder(char* out)
{
    return ReadRegText(HKEY_CURRENT_USER, kShellFoldersKey, "AppData", out, MAX_PATH) > 0 ? 1 : 0;
}

// An upper-case copy for the case-blind search; NUL bytes inside a line
// become 0x01 so that the search sees the whole line.
void UpperCopy(const char* text, size_t length, char* out)
{
    for (size_t i = 0; i < length; ++i) out[i] = text[i] ? text[i] : '\x01';
    out[length] = '\0';
    if (length) CharUpperBuffA(out, static_cast<DWORD>(length));
}

bool UpperHoldsNut(const char* upper)
{
    for (const Nut& nut : g_nuts)
        if (nut.upper[0] && strstr(upper, nut.upper)) return true;
    return false;
}

bool TextMatchesNut(const char* text, size_t length)
{
    if (g_nuts.empty() || length > kMaxMatchText) return false;
    char upper[kMaxMatchText + 1];
    UpperCopy(text, length, upper);
    return UpperHoldsNut(upper);
}

// A Mozilla-family cookie the user removed is a nut named by its title, with
// non-empty data. The nuts were loaded from the key at the start of this run;
// registry value names ignore case, and so does this comparison.
bool IsRemovedTitle(const char* title)
{
    size_t length = strlen(title);
    char listed[kTitleLen];
    StrCopy(listed, title);   // the title as the item list shows it
    for (const Nut& nut : g_nuts) {
        if (!nut.hasData) continue;
        if (lstrcmpiA(nut.text, title) == 0) return true;
        if (length > kListTitleChars && lstrcmpiA(nut.text, listed) == 0) return true;
    }
    return false;
}

// The number of values of an open key; 0 when it cannot be asked.
DWORD ValueCount(HKEY key)
{
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return count;
}

// Reads the data of one Nuts value as text (whatever its registry type).
void ReadNutData(HKEY key, const char* name, Nut& nut)
{
    char data[64] = {};
    DWORD size = sizeof data - 1;
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    if (result == ERROR_MORE_DATA) {
        nut.hasData = true;
        nut.data = 0;
        return;
    }
    if (result != ERROR_SUCCESS) return;
    data[sizeof data - 1] = '\0';
    nut.hasData = data[0] != '\0';
    nut.data = atoi(data);
}

// ---- Internet Explorer ---------------------------------------------------

bool TryCookieFolder(const char* candidate, char* folder)
{
    int kind = IsCookieFolder(candidate);
    if (kind == 0) return false;
    StrCopy(folder, MAX_PATH, candidate);
    if (kind == 2) StrAppend(folder, MAX_PATH, "\\");
    return true;
}

void FormatCreated(const FILETIME& created, char* out, int capacity)
{
    out[0] = '\0';
    if (created.dwLowDateTime == 0 && created.dwHighDateTime == 0) return;
    FILETIME local;
    SYSTEMTIME time;
    if (!FileTimeToLocalFileTime(&created, &local) || !FileTimeToSystemTime(&local, &time)) return;
    StrFormat(out, capacity, "%04d/%02d/%02d %02d:%02d", time.wYear, time.wMonth, time.wDay,
              time.wHour, time.wMinute);
}

int BuildIECookieList(bool filter)
{
    ClearItems();
    char folder[MAX_PATH];
    if (!GetIECookieFolder(folder)) return 0;
    SetWalkMode(kWalkCookies);
    WalkFolder(folder, spBuildProc, 0, filter ? reinterpret_cast<void*>(1) : nullptr);
    return ItemCount();
}

// ---- Mozilla family ------------------------------------------------------

constexpr int kFieldCount = 7;
enum Field { kDomain, kSubdomains, kPath, kSecure, kExpiry, kName, kValue };

struct MozillaRun {
    bool filter = false;
    HANDLE target = INVALID_HANDLE_VALUE;
    std::string out;
    bool writeFailed = false;
    int listed = 0;
    RegionalFormat regional;
};

bool FlushTarget(MozillaRun& run)
{
    if (run.out.empty() || run.writeFailed) return !run.writeFailed;
    DWORD written = 0;
    if (!WriteFile(run.target, run.out.data(), static_cast<DWORD>(run.out.size()), &written,
                   nullptr) ||
        written != run.out.size())
        run.writeFailed = true;
    run.out.clear();
    return !run.writeFailed;
}

void ExpiryText(const char* field, const RegionalFormat* regional, char* out)
{
    out[0] = '\0';
    long long seconds = strtoll(field, nullptr, 10);
    if (seconds < 0) seconds = 0;
    if (seconds > kMaxExpirySeconds) seconds = kMaxExpirySeconds;
    // Seconds since 1970 to the 100-ns ticks since 1601 of a FILETIME.
    ULONGLONG ticks = static_cast<ULONGLONG>(seconds) * 10000000ULL + 116444736000000000ULL;
    FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    FILETIME local;
    SYSTEMTIME time;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) return;
    FormatDateTimeAs(regional, &time, out);
}

// Splits a copy of the line at tabs; the value keeps any further tabs and
// loses the carriage return of a CR LF line.
void SplitFields(std::string& text, const char* (&fields)[kFieldCount])
{
    if (!text.empty() && text.back() == '\r') text.pop_back();
    char* p = text.data();
    char* end = p + text.size();
    for (int i = 0; i < kFieldCount; ++i) {
        fields[i] = p;
        if (i == kFieldCount - 1) break;
        char* tab = static_cast<char*>(memchr(p, '\t', static_cast<size_t>(end - p)));
        if (!tab) {
            for (int j = i + 1; j < kFieldCount; ++j) fields[j] = end;
            break;
        }
        *tab = '\0';
        p = tab + 1;
    }
}

void HandleCookieLine(MozillaRun& run, const char* line, size_t length, bool hadLineFeed)
{
    std::string text(line, length);
    const char* fields[kFieldCount];
    SplitFields(text, fields);
    const char* domain = fields[kDomain];
    bool cookie = domain[0] != '\0' && domain[0] != '#';
    char title[kNutTextLen * 2] = {};
    if (cookie)
        StrFormatA(title, "%s - %s", domain[0] == '.' ? domain + 1 : domain, fields[kName]);
    if (run.filter) {
        if (TextMatchesNut(line, length) || (cookie && IsRemovedTitle(title))) return;
        run.out.append(line, length);
        if (hadLineFeed) run.out.push_back('\n');
        if (run.out.size() >= kWriteChunk) FlushTarget(run);
    }
    // A full list takes no more entries.
    if (!cookie || ItemCount() >= kMaxItems) return;
    char expiry[24];
    ExpiryText(fields[kExpiry], &run.regional, expiry);
    int secure = strstr(fields[kSecure], "TRUE") ? 1 : 0;
    if (AddItem(title, fields[kPath], fields[kValue], expiry, kMozillaCookie, secure)) ++run.listed;
}

// Reads the whole source line by line, whatever its size: a copy cut at a
// fixed size would drop every cookie behind the cut. False on a read error.
bool ReadCookieLines(HANDLE source, MozillaRun& run)
{
    std::vector<char> buffer(kReadChunk);
    std::string pending;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(source, buffer.data(), kReadChunk, &got, nullptr)) return false;
        if (got == 0) break;
        const char* p = buffer.data();
        const char* end = p + got;
        while (const char* feed = static_cast<const char*>(memchr(p, '\n', end - p))) {
            if (pending.empty()) {
                HandleCookieLine(run, p, static_cast<size_t>(feed - p), true);
            } else {
                pending.append(p, feed);
                HandleCookieLine(run, pending.data(), pending.size(), true);
                pending.clear();
            }
            p = feed + 1;
        }
        pending.append(p, end);
    }
    if (!pending.empty()) HandleCookieLine(run, pending.data(), pending.size(), false);
    return true;
}

// The cleaned copy is written under a temporary name and put in place only
// when complete, so a pending update never meets a half-written file.
int BuildMozillaCookieList(bool filter)
{
    ClearItems();
    char folder[MAX_PATH];
    if (!GetMozillaCookieFolder(folder)) return 0;
    RemoveBackslash(folder, 0);
    char sourcePath[MAX_PATH], targetPath[MAX_PATH];
    if (StrFormatA(sourcePath, "%s\\%s", folder, kSourceName) != 0) return 0;
    if (StrFormatA(targetPath, "%s\\%s", folder, kTargetName) != 0) return 0;

    UniqueFile source(CreateFileA(sourcePath, GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source) return 0;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(source.get(), &size) || size.QuadPart == 0) return 0;

    MozillaRun run;
    run.filter = filter;
    // One read of the regional patterns serves every expiry date of the file.
    ReadRegionalFormat(&run.regional);
    char tempPath[MAX_PATH] = {};
    UniqueFile target;
    if (filter) {
        if (!GetTempFileNameA(folder, "vlc", 0, tempPath)) return 0;
        target = UniqueFile(CreateFileA(tempPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!target) {
            DeleteFileA(tempPath);
            return 0;
        }
        run.target = target.get();
    }
    bool read = ReadCookieLines(source.get(), run);
    if (!read) ClearItems();
    if (!filter) return read ? run.listed : 0;

    bool written = read && FlushTarget(run);
    target = UniqueFile();
    if (!written || !MoveFileExA(tempPath, targetPath, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(tempPath);
        ClearItems();
        return 0;
    }
    SetCookieFileUpdate(1);
    return run.listed;
}

}  // namespace

// ---- browser mode --------------------------------------------------------

int CookieModeOfBrowser(int browserKind)
{
    return (browserKind == 2 || browserKind == 3 || browserKind == 6) ? kCookieModeMozilla
                                                                      : kCookieModeIE;
}

void SetCookieMode(int mode)
{
    g_cookieMode = mode;
}

int GetCookieMode()
{
    return g_cookieMode;
}

// ---- folders -------------------------------------------------------------

int IsCookieFolder(const char* folder)
{
    if (!folder) return 0;
    size_t length = strlen(folder);
    if (length <= 2 || length > 250) return 0;
    char index[MAX_PATH];
    if (folder[length - 1] == '\\') {
        StrFormatA(index, "%sindex.dat", folder);
        return FileExists(index) ? 1 : 0;
    }
    StrFormatA(index, "%s\\index.dat", folder);
    return FileExists(index) ? 2 : 0;
}

int GetIECookieFolder(char* folder)
{
    char candidate[MAX_PATH];
    if (ReadRegText(HKEY_CURRENT_USER, kVelmoraKey, "IECookieFolder", candidate) > 0 &&
        TryCookieFolder(candidate, folder))
        return 1;
    if (ReadRegText(HKEY_CURRENT_USER, kShellFoldersKey, "Cookies", candidate) > 0 &&
        TryCookieFolder(candidate, folder))
        return 1;
    char key[MAX_PATH];
    StrFormatA(key, "%s%s", kExplorerKey, kUserShellFolders);
    if (ReadRegText(HKEY_CURRENT_USER, key, "Cookies", candidate) > 0) {
        // Stored as REG_SZ by some setups although it holds %USERPROFILE%.
        char expanded[MAX_PATH];
        DWORD n = ExpandEnvironmentStringsA(candidate, expanded, MAX_PATH);
        if (n > 0 && n <= MAX_PATH && TryCookieFolder(expanded, folder)) return 1;
    }
    char windows[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    if (n > 0 && n < MAX_PATH && StrFormatA(candidate, "%s\\Cookies", windows) == 0 &&
        TryCookieFolder(candidate, folder))
        return 1;
    LoadLocalizedString(IDS_COOKIE_FOLDER_NOT_FOUND, folder, MAX_PATH);
    return 0;
}

namespace {

// The first folder matching pattern below base, as a full path; false if none.
bool FirstFolderMatch(const char* base, const char* pattern, char* out)
{
    char search[MAX_PATH];
    if (StrFormatA(search, "%s%s", base, pattern) != 0) return false;
    WIN32_FIND_DATAA data;
    UniqueFind find(FindFirstFileA(search, &data));
    if (!find) return false;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != '.')
            return StrFormat(out, MAX_PATH, "%s%s", base, data.cFileName) == 0;
    } while (FindNextFileA(find.get(), &data));
    return false;
}

}  // namespace

int GetMozillaCookieFolder(char* folder)
{
    folder[0] = '\0';
    if (ReadRegText(HKEY_CURRENT_USER, kVelmoraKey, "CookieFolder", folder, MAX_PATH) > 0) return 1;
    char appData[MAX_PATH];
    if (!AppDataFolder(appData)) return 0;
    char profiles[MAX_PATH];
    if (StrFormatA(profiles, "%s\\Mozilla\\FireFox\\Profiles\\", appData) == 0) {
        char found[MAX_PATH];
        if (FirstFolderMatch(profiles, "*.default", found)) StrCopy(folder, MAX_PATH, found);
        if (FirstFolderMatch(profiles, "default.*", found)) StrCopy(folder, MAX_PATH, found);
    }
    if (GetBrowserKind() == 2) {
        char netscape[MAX_PATH], search[MAX_PATH];
        StrFormatA(netscape, "%s\\Mozilla\\Profiles\\default\\", appData);
        StrFormatA(search, "%s*.*", netscape);
        WIN32_FIND_DATAA data;
        UniqueFind find(FindFirstFileA(search, &data));
        if (!find) {
            folder[0] = '\0';
            return 0;
        }
        do {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != '.') {
                StrFormat(folder, MAX_PATH, "%s%s", netscape, data.cFileName);
                break;
            }
        } while (FindNextFileA(find.get(), &data));
    }
    return folder[0] ? 1 : 0;
}

int IsMozillaInstalled()
{
    char appData[MAX_PATH], mozilla[MAX_PATH];
    if (!AppDataFolder(appData)) return 0;
    if (StrFormatA(mozilla, "%s\\Mozilla", appData) != 0) return 0;
    return FolderExists(mozilla) ? 1 : 0;
}

// ---- listing and filtering -----------------------------------------------

int BuildCookieList(int filter)
{
    bool filtering = filter > 0;
    if (filtering) LoadNuts();
    int count = GetCookieMode() == kCookieModeIE ? BuildIECookieList(filtering)
                                                 : BuildMozillaCookieList(filtering);
    if (filtering) FreeNuts();
    return count;
}

int CookieFileProc(const char* path, const WIN32_FIND_DATAA* findData, void* context)
{
    if (!path || !findData) return 0;
    if (findData->dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM)) return 0;
    const char* name = findData->cFileName;
    size_t length = strlen(name);
    if (length < 4 || lstrcmpiA(name + length - 4, ".txt") != 0) return 0;
    bool filter = context == reinterpret_cast<void*>(1);
    if (filter && MatchesNut(path)) {
        // A file that cannot be deleted stays, and is not listed in this run.
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
        return 0;
    }
    char created[256];
    FormatCreated(findData->ftCreationTime, created, sizeof created);
    if (AddItem(name, path, "", created, kInfoCookie, 0)) return 0;
    // A full list ends a plain listing; the filter still visits every file so
    // that no cookie a nut matches survives behind the list's limit.
    return filter ? 0 : 1;
}

// ---- nuts ----------------------------------------------------------------

int LoadNuts()
{
    FreeNuts();
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kNutsKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return 0;
    const DWORD count = ValueCount(key.get());
    for (DWORD index = 0; index < count; ++index) {
        Nut nut = {};
        DWORD nameLength = kNutTextLen;
        LONG result =
            RegEnumValueA(key.get(), index, nut.text, &nameLength, nullptr, nullptr, nullptr, nullptr);
        // A name too long for the list is passed over rather than shortened:
        // a shortened nut would match more cookies than the user named. Any
        // other failure ends the walk (a deleted key fails every index).
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) break;
        if (nut.text[0] == '\0') continue;
        nut.text[kNutTextLen - 1] = '\0';
        ReadNutData(key.get(), nut.text, nut);
        UpperCopy(nut.text, strlen(nut.text), nut.upper);
        g_nuts.push_back(nut);
    }
    return static_cast<int>(g_nuts.size());
}

void FreeNuts()
{
    g_nuts.clear();
    g_nuts.shrink_to_fit();
}

int NutCount()
{
    return static_cast<int>(g_nuts.size());
}

int MatchesNut(const char* text)
{
    if (!text) return 0;
    size_t length = strnlen(text, kMaxMatchText + 1);
    return TextMatchesNut(text, length) ? 1 : 0;
}

int GetNutText(int index, char* text)
{
    text[0] = '\0';
    if (index < 0 || index >= NutCount()) return 0;
    StrCopy(text, kNutTextLen, g_nuts[static_cast<size_t>(index)].text);
    return static_cast<int>(strlen(text));
}

int GetNutData(int index)
{
    if (index < 0 || index >= NutCount()) return 0;
    return g_nuts[static_cast<size_t>(index)].data;
}

int AddNut(const char* text)
{
    // An empty nut would match every cookie; one too long to load would
    // never match any.
    if (!text || !*text || strlen(text) >= static_cast<size_t>(kNutTextLen)) return 0;
    FreeNuts();
    SetRegValue(HKEY_CURRENT_USER, kNutsKey, text, "1");
    LoadNuts();
    return BuildCookieList(1);
}

int RemoveNut(const char* text)
{
    FreeNuts();
    if (text && *text) DeleteRegValue(HKEY_CURRENT_USER, kNutsKey, text);
    return LoadNuts();
}

// ---- the pending Mozilla-family update -----------------------------------

int SetCookieFileUpdate(int flag)
{
    if (flag) return SetRegValue(HKEY_CURRENT_USER, kOptionsKey, kUpdateCookieFile, "1");
    return DeleteRegValue(HKEY_CURRENT_USER, kOptionsKey, kUpdateCookieFile);
}

int IsCookieFileUpdatePending()
{
    return ReadOption(kUpdateCookieFile, 0) > 0 ? 1 : 0;
}

int ApplyCookieFileUpdate()
{
    if (!IsCookieFileUpdatePending()) return 0;
    char windowClass[64];
    if (LoadLocalizedString(IDS_MOZILLA_CLASS, windowClass) > 0 &&
        FindWindowA(windowClass, nullptr))
        return 0;
    char folder[MAX_PATH];
    if (!GetMozillaCookieFolder(folder)) return 0;
    RemoveBackslash(folder, 0);
    char sourcePath[MAX_PATH], targetPath[MAX_PATH];
    if (StrFormatA(sourcePath, "%s\\%s", folder, kTargetName) != 0) return 0;
    if (StrFormatA(targetPath, "%s\\%s", folder, kSourceName) != 0) return 0;
    // Only a copy that took place lets the caller clear the update and purge
    // the removed cookies' nuts.
    return CopyFileA(sourcePath, targetPath, FALSE) ? 1 : 0;
}

int PurgeRemovedCookieNuts()
{
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kNutsKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return 0;
    int deleted = 0;
    DWORD index = 0;
    // Each turn deletes a value or passes one, so the count bounds the walk.
    const DWORD count = ValueCount(key.get());
    for (DWORD turn = 0; turn < count; ++turn) {
        char name[16384];
        char data[64] = {};
        DWORD nameLength = sizeof name, dataSize = sizeof data - 1;
        LONG result = RegEnumValueA(key.get(), index, name, &nameLength, nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(data), &dataSize);
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) break;
        data[sizeof data - 1] = '\0';
        // Deleting moves the later values down: the index advances only past
        // values that stay.
        if (result == ERROR_SUCCESS && atoi(data) == 2 &&
            RegDeleteValueA(key.get(), name) == ERROR_SUCCESS) {
            ++deleted;
            continue;
        }
        ++index;
    }
    return deleted;
}
