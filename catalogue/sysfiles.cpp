// Monitored system files: the HOSTS file and the boot files, each compared
// with its last accepted date, size and copy; and the list of file
// operations Windows 9x carries out at the next restart ("wininit.ini").
#include "catalogue/catalogue.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>

namespace {

// The subkey name becomes a file name in the data folder. A name with a path
// separator or "..", a stream suffix or a device name would let the store
// write the copy outside that folder or into a device, so it is refused.
constexpr const char* kDeviceNames[] = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};
static_assert(std::size(kDeviceNames) == 22);

struct InitialFile {
    const char* name;
    const char* path;   // null: the HOSTS file, whose folder depends on the platform
    const char* comment;
};
constexpr InitialFile kInitialFiles[] = {
    {"HOSTS", nullptr, "HOST file can be used to protect or redirect domain access."},
    {"Autoexec.bat", "C:\\autoexec.bat", "Runs at system boot time at command level."},
    {"Config.sys", "C:\\Config.sys", "Used at system boot time at command level."},
};
static_assert(std::size(kInitialFiles) == 3);

// Registry key names are at most 255 characters.
constexpr size_t kNameMax = 255;
constexpr size_t kStoreKeyLen = kNameMax + 64;
// A wininit.ini this large is not one Windows wrote; it is left alone.
constexpr DWORD kWininitMax = 1024 * 1024;

FileChangeAlert g_fileChangeAlert = nullptr;
RestartCommandsViewer g_restartViewer = nullptr;
HWND g_restartOwner = nullptr;

int IsPlainFileName(const char* name)
{
    if (!name || !name[0]) return 0;
    const size_t length = strlen(name);
    if (length > kNameMax) return 0;
    for (const char* c = name; *c; ++c)
        if (static_cast<unsigned char>(*c) < 32 || strchr("\\/:*?\"<>|", *c)) return 0;
    // Windows drops trailing dots and blanks, which makes "." and ".." folders.
    if (name[length - 1] == '.' || name[length - 1] == ' ') return 0;
    char stem[kNameMax + 1];
    StrCopy(stem, name);
    if (char* dot = strchr(stem, '.')) *dot = '\0';
    for (const char* device : kDeviceNames)
        if (lstrcmpiA(stem, device) == 0) return 0;
    return 1;
}

// The name's record in the store; 0 for a refused name.
int RecordKey(const char* name, char (&out)[kStoreKeyLen])
{
    out[0] = '\0';
    return IsPlainFileName(name) && StrFormatA(out, "%s\\%s", kSysfilesKey, name) == 0;
}

// A drive or network path: a bare name would be looked up in one folder
// and copied from another.
int IsFullPath(const char* path)
{
    if (!path) return 0;
    const bool drive = ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' &&
                       path[2] == '\\';
    const bool network = path[0] == '\\' && path[1] == '\\';
    return (drive || network) && strlen(path) < static_cast<size_t>(kPathLen);
}

// What the store keeps of a file: its local last-write time as the history
// shows dates, and the low 32 bits of its size.
struct FileFacts {
    char date[24];
    DWORD size;
};

// 1 when path is an existing file (not a folder) and facts are filled; 0
// with GetLastError telling why otherwise.
int ReadFileFacts(const char* path, FileFacts* facts)
{
    if (!IsFullPath(path)) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    FILETIME local;
    SYSTEMTIME time;
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToSystemTime(&local, &time))
        return 0;
    FormatLocalDateTime(&time, facts->date);
    facts->size = data.nFileSizeLow;
    return 1;
}

// 1 and value for a text of decimal digits that fits 32 bits.
int ParseDecimal(const char* text, DWORD* value)
{
    if (!text[0] || strlen(text) > 10) return 0;
    unsigned long long number = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return 0;
        number = number * 10 + static_cast<unsigned>(*c - '0');
    }
    if (number > 0xFFFFFFFFull) return 0;
    *value = static_cast<DWORD>(number);
    return 1;
}

int WriteRecordValue(const char* key, const char* name, const char* text)
{
    if (SetRegValue(HKEY_LOCAL_MACHINE, key, name, text)) return 1;
    TraceLog("ERROR SetRegValue - sysfiles", name);
    return 0;
}

int WriteDateAndSize(const char* key, const FileFacts& facts)
{
    char size[16];
    StrFormatA(size, "%lu", static_cast<unsigned long>(facts.size));
    return WriteRecordValue(key, "Date", facts.date) && WriteRecordValue(key, "Size", size);
}

int DeleteRecord(const char* key)
{
    const LSTATUS status = SHDeleteKeyA(HKEY_LOCAL_MACHINE, key);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return 1;
    TraceLog("ERROR SHDeleteKey - sysfiles", key);
    SetLastError(static_cast<DWORD>(status));
    return 0;
}

// A read-only, hidden or system target refuses to be overwritten, so both
// files lose their attributes for the time of the copy and get them back
// afterwards; a target that did not exist keeps what the copy gave it.
// The source is opened before the target is touched, so a copy that cannot
// be read leaves the target as it was.
int CopyKeepingAttributes(const char* from, const char* to)
{
    const DWORD fromAttributes = GetFileAttributesA(from);
    const DWORD toAttributes = GetFileAttributesA(to);
    if (fromAttributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(from, fromAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (toAttributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(to, FILE_ATTRIBUTE_NORMAL);
    const BOOL copied = CopyFileA(from, to, FALSE);
    const DWORD error = GetLastError();
    if (fromAttributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(from, fromAttributes);
    if (toAttributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(to, toAttributes);
    if (!copied) {
        TraceLog("ERROR CopyFile - sysfiles", to);
        SetLastError(error);
        return 0;
    }
    return 1;
}

int WindowsFile(const char* name, char (&out)[kPathLen])
{
    char folder[kPathLen];
    const UINT n = GetWindowsDirectoryA(folder, kPathLen);
    out[0] = '\0';
    return n > 0 && n < static_cast<UINT>(kPathLen) && StrFormatA(out, "%s\\%s", folder, name) == 0;
}

// Windows 9x: Windows reads its restart operations from the "[rename]"
// section, so the line goes under that header, which is added when the file
// has none. The file's other lines stay as they were.
int AddRestartDeletion(const char* path)
{
    char shortPath[kPathLen];
    const DWORD n = GetShortPathNameA(path, shortPath, kPathLen);
    if (n == 0 || n >= static_cast<DWORD>(kPathLen)) StrCopy(shortPath, path);
    char line[kPathLen + 8];
    StrFormatA(line, "NUL=%s\r\n", shortPath);

    char wininit[kPathLen];
    if (!WindowsFile("wininit.ini", wininit)) return 0;
    UniqueFile file(CreateFileA(wininit, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_ARCHIVE, nullptr));
    if (!file) return 0;
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size == INVALID_FILE_SIZE || size > kWininitMax) return 0;
    constexpr char kHeader[] = "[rename]\r\n";
    const size_t lineLength = strlen(line);
    std::unique_ptr<char[]> text(new (std::nothrow) char[size + sizeof(kHeader) + lineLength + 1]);
    if (!text) return 0;
    DWORD read = 0;
    if (size > 0 && (!ReadFile(file.get(), text.get(), size, &read, nullptr) || read != size))
        return 0;
    text[size] = '\0';

    // Where the new line goes: after the header line, or at the start under
    // a header of its own.
    size_t at = 0;
    bool hasHeader = false;
    for (size_t i = 0; i + 8 <= size; ++i) {
        if ((i == 0 || text[i - 1] == '\n') && StrCmpNIA(text.get() + i, "[rename]", 8) == 0) {
            const char* end = strchr(text.get() + i, '\n');
            at = end ? static_cast<size_t>(end - text.get()) + 1 : size;
            hasHeader = true;
            break;
        }
    }
    const char* insert = line;
    char withHeader[sizeof(kHeader) + kPathLen + 8];
    if (!hasHeader) {
        StrFormatA(withHeader, "%s%s", kHeader, line);
        insert = withHeader;
    }
    const size_t insertLength = strlen(insert);
    const bool needsBreak = hasHeader && at == size && size > 0 && text[size - 1] != '\n';
    memmove(text.get() + at + insertLength + (needsBreak ? 2 : 0), text.get() + at, size - at);
    if (needsBreak) memcpy(text.get() + at, "\r\n", 2);
    memcpy(text.get() + at + (needsBreak ? 2 : 0), insert, insertLength);
    const DWORD total = static_cast<DWORD>(size + insertLength + (needsBreak ? 2 : 0));

    DWORD written = 0;
    if (SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) != 0 ||
        !WriteFile(file.get(), text.get(), total, &written, nullptr) || written != total ||
        !SetEndOfFile(file.get())) {
        TraceLog("ERROR WriteFile - sysfiles", wininit);
        return 0;
    }
    return 1;
}

}  // namespace

int GetHostsFilePath(char* out)
{
    char folder[kPathLen];
    const UINT n = IsNtPlatform() ? GetSystemDirectoryA(folder, kPathLen)
                                  : GetWindowsDirectoryA(folder, kPathLen);
    out[0] = '\0';
    if (n == 0 || n >= static_cast<UINT>(kPathLen)) return 0;
    const int32_t result = IsNtPlatform() ? StrFormat(out, kPathLen, "%s\\drivers\\etc\\HOSTS", folder)
                                          : StrFormat(out, kPathLen, "%s\\HOSTS", folder);
    if (result == 0) return 1;
    out[0] = '\0';
    return 0;
}

int InitSysfilesStore()
{
    char stamp[64];
    if (ReadRegText(HKEY_LOCAL_MACHINE, kSysfilesKey, "", stamp) != kRegTextMissing) return 0;
    TraceLog("Initialize Sysfiles", "velmora");
    if (!CreateRegKey(HKEY_LOCAL_MACHINE, kSysfilesKey)) return 0;
    char hosts[kPathLen];
    GetHostsFilePath(hosts);
    TraceLog("GetHOSTSFile", hosts);
    for (const InitialFile& file : kInitialFiles)
        AddMonitoredFile(file.name, file.path ? file.path : hosts, file.comment, 0);
    SYSTEMTIME now;
    GetLocalTime(&now);
    char today[24];
    FormatLocalDateTime(&now, today);
    return WriteRecordValue(kSysfilesKey, "", today);
}

int GetMonitoredCopyPath(const char* name, char* out)
{
    out[0] = '\0';
    if (!IsPlainFileName(name)) return 0;
    char folder[kPathLen];
    GetDataFolder(folder);
    if (StrFormat(out, kPathLen, "%s\\%s", folder, name) == 0) return 1;
    out[0] = '\0';
    return 0;
}

int AddMonitoredFile(const char* name, const char* path, const char* comment, int type)
{
    char key[kStoreKeyLen];
    if (!RecordKey(name, key)) return 0;
    TraceLog("szPath - sysfiles", path ? path : "");
    // A file that is not there gets no record: an empty subkey would only
    // stand for a file that is not watched.
    FileFacts facts;
    if (!ReadFileFacts(path, &facts)) return 0;
    if (!CreateRegKey(HKEY_LOCAL_MACHINE, key)) return 0;
    char typeText[16];
    StrFormatA(typeText, "%d", type);
    if (!WriteDateAndSize(key, facts) || !WriteRecordValue(key, "Type", typeText)) return 0;
    if (comment && comment[0] && !WriteRecordValue(key, "Comment", comment)) return 0;
    if (!WriteRecordValue(key, "Location", path)) return 0;
    char copy[kPathLen];
    if (!GetMonitoredCopyPath(name, copy)) return 0;
    TraceLog("szNewPath - velmora", copy);
    return CopyKeepingAttributes(path, copy);
}

void SetFileChangeAlert(FileChangeAlert alert)
{
    g_fileChangeAlert = alert;
}

int CompareMonitoredFile(const char* name, const char* path)
{
    char key[kStoreKeyLen];
    FileFacts now;
    if (!RecordKey(name, key) || !ReadFileFacts(path, &now)) return 0;

    // A type that is there but unreadable cannot say the size matters, so
    // the date alone counts, as for any type other than 0.
    char text[64];
    DWORD type = 0;
    const int typeLength = ReadRegText(HKEY_LOCAL_MACHINE, key, "Type", text);
    if (typeLength == kRegTextUnusable || (typeLength > 0 && !ParseDecimal(text, &type))) type = 1;

    DWORD storedSize = 0;
    if (ReadRegText(HKEY_LOCAL_MACHINE, key, "Size", text) <= 0 || !ParseDecimal(text, &storedSize))
        storedSize = 0;
    if (storedSize == 0) {
        char size[16];
        StrFormatA(size, "%lu", static_cast<unsigned long>(now.size));
        WriteRecordValue(key, "Size", size);
    }

    // A date that is not text is a damaged record: it vouches for nothing,
    // so it counts as a different date rather than being replaced silently.
    const int dateLength = ReadRegText(HKEY_LOCAL_MACHINE, key, "Date", text);
    if (dateLength == kRegTextMissing) {
        WriteRecordValue(key, "Date", now.date);
        return 0;
    }
    const bool dateChanged = dateLength == kRegTextUnusable || strcmp(text, now.date) != 0;
    if (!dateChanged || (type == 0 && storedSize == now.size)) return 0;
    TraceLog("File changed - sysfiles", path);
    if (!g_fileChangeAlert) return 0;
    return g_fileChangeAlert(name, path) ? 1 : 0;
}

int VerifySystemFiles()
{
    UniqueKey store;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSysfilesKey, 0, KEY_READ, store.put()) != ERROR_SUCCESS)
        return 0;
    DWORD count = 0;
    if (RegQueryInfoKeyA(store.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        count == 0)
        return 0;
    int handled = 0;
    DWORD index = 0;
    while (index < count) {
        char name[kNameMax + 1];
        DWORD length = sizeof(name);
        const LSTATUS status =
            RegEnumKeyExA(store.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ++index;
        if (status != ERROR_SUCCESS || !name[0]) continue;
        char key[kStoreKeyLen];
        char location[kPathLen];
        if (!RecordKey(name, key)) {
            TraceLog("Refused name - sysfiles", name);
            continue;
        }
        const int found = ReadRegText(HKEY_LOCAL_MACHINE, key, "Location", location);
        if (found == kRegTextUnusable) TraceLog("Unusable Location - sysfiles", name);
        if (found <= 0) continue;
        handled += CompareMonitoredFile(name, location);
        // An alert that stopped the monitoring may have removed this subkey,
        // and the next one then moved into its place.
        char again[kNameMax + 1];
        DWORD againLength = sizeof(again);
        if (RegEnumKeyExA(store.get(), index - 1, again, &againLength, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS ||
            lstrcmpiA(again, name) != 0) {
            --index;
            --count;
        }
    }
    return handled;
}

int AcceptFileChange(const char* name, const char* path, int stopMonitoring)
{
    char key[kStoreKeyLen];
    char copy[kPathLen];
    if (!RecordKey(name, key) || !GetMonitoredCopyPath(name, copy)) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    FileFacts facts;
    if (!ReadFileFacts(path, &facts)) return 0;
    // The copy first: a record that vouched for content the copy lacks
    // would make a later restore put back the wrong file.
    if (!CopyKeepingAttributes(path, copy)) return 0;
    if (stopMonitoring && !DeleteRecord(key)) return 0;
    if (!WriteDateAndSize(key, facts)) {
        SetLastError(ERROR_CANTWRITE);
        return 0;
    }
    return 1;
}

int RejectFileChange(const char* name, const char* path, int stopMonitoring)
{
    char key[kStoreKeyLen];
    char copy[kPathLen];
    if (!RecordKey(name, key) || !GetMonitoredCopyPath(name, copy) || !IsFullPath(path)) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    // The record goes only once the file is back: a restore that failed
    // must leave the file watched.
    if (!CopyKeepingAttributes(copy, path)) return 0;
    return stopMonitoring ? DeleteRecord(key) : 1;
}

void SetRestartCommandsViewer(RestartCommandsViewer viewer, HWND owner)
{
    g_restartViewer = viewer;
    g_restartOwner = owner;
}

int ShowRestartCommands(int testOnly)
{
    char wininitExe[kPathLen];
    char wininit[kPathLen];
    if (!WindowsFile("wininit.exe", wininitExe) || !WindowsFile("wininit.ini", wininit) ||
        GetFileAttributesA(wininitExe) == INVALID_FILE_ATTRIBUTES)
        return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    const bool hasCommands = GetFileAttributesExA(wininit, GetFileExInfoStandard, &data) &&
                             !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                             (data.nFileSizeLow > 0 || data.nFileSizeHigh > 0);
    if (hasCommands) {
        if (!testOnly && g_restartViewer) g_restartViewer(g_restartOwner);
        return 1;
    }
    if (!testOnly) {
        char message[512];
        LoadLocalizedString(IDS_NO_RESTART_COMMANDS, message);
        MessageBoxExA(g_restartOwner, message, GetAppCaption(),
                      MB_OK | MB_ICONINFORMATION | MB_TOPMOST,
                      static_cast<WORD>(MessageLanguageId()));
    }
    return 0;
}

int ReadRestartCommands(char* out, size_t capacity)
{
    if (!out || capacity == 0) return 0;
    out[0] = '\0';
    char wininit[kPathLen];
    if (!WindowsFile("wininit.ini", wininit)) return 0;
    UniqueFile file(CreateFileA(wininit, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    char raw[kRestartCommandsMax];
    DWORD read = 0;
    if (!ReadFile(file.get(), raw, sizeof(raw), &read, nullptr)) return 0;
    size_t j = 0;
    for (DWORD i = 0; i < read; ++i) {
        const bool bareLineFeed = raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r');
        const size_t need = bareLineFeed ? 2 : 1;
        if (j + need >= capacity) break;
        if (bareLineFeed) out[j++] = '\r';
        // An edit box ends its text at a zero byte; the rest must show too.
        out[j++] = raw[i] == '\0' ? ' ' : raw[i];
    }
    out[j] = '\0';
    return static_cast<int>(j);
}

int DeleteRestartCommands()
{
    char wininit[kPathLen];
    if (!WindowsFile("wininit.ini", wininit)) return 0;
    DeleteFileForced(wininit);
    return GetFileAttributesA(wininit) == INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

int DeleteAtRestart(const char* path)
{
    if (!path || !path[0] || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 0;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (!IsNtPlatform()) return AddRestartDeletion(path);
    if (MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return 1;
    TraceLog("ERROR MoveFileEx - sysfiles", path);
    return 0;
}

int ViewHostsFile()
{
    char hosts[kPathLen];
    if (GetHostsFilePath(hosts) && GetFileAttributesA(hosts) != INVALID_FILE_ATTRIBUTES) {
        char quoted[kPathLen + 2];
        StrFormatA(quoted, "\"%s\"", hosts);
        const auto started = reinterpret_cast<INT_PTR>(
            ShellExecuteA(nullptr, "open", "notepad.exe", quoted, nullptr, SW_SHOWNORMAL));
        return started > 32 ? 1 : 0;
    }
    char message[512];
    LoadLocalizedString(IDS_NO_HOSTS_FILE, message);
    MessageBoxExA(nullptr, message, GetAppCaption(), MB_OK | MB_ICONINFORMATION | MB_TOPMOST,
                  static_cast<WORD>(MessageLanguageId()));
    return 0;
}
