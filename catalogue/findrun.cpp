// Every program that starts with Windows, gathered into the shared item list:
// the Run-type keys, the Startup folders, the win.ini lists, the disabled
// store, the Winlogon values and the shell and logon hooks.
#include "catalogue/catalogue.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>

namespace {

constexpr int kWinLoad = 100;
constexpr int kWinRun = 101;
constexpr int kWinlogonUserinit = 250;
constexpr int kWinlogonShell = 251;
constexpr int kDelayLoad = 252;
constexpr int kTaskScheduler = 253;
constexpr int kShellExecuteHook = 254;
constexpr int kAppInitDlls = 255;
constexpr int kWinlogonNotify = 256;

constexpr int kValueLen = 255;     // names and data of the Run-type keys
constexpr int kProfileLen = 512;   // win.ini lists
constexpr int kClassLen = 260;     // class names and server paths

constexpr const char* kWinlogonKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kNotifyKey =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
constexpr const char* kWindowsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* kDelayLoadKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
constexpr const char* kTaskSchedulerKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
constexpr const char* kShellExecuteHooksKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks";

struct ProfileList {
    const char* key;
    int code;
};
constexpr ProfileList kProfileLists[] = {{"run", kWinRun}, {"load", kWinLoad}};
static_assert(std::size(kProfileLists) == 2);

// Hook keys whose value names are class identifiers.
struct HookKey {
    const char* key;
    const char* label;
    int code;
};
constexpr HookKey kHookKeys[] = {
    {kTaskSchedulerKey, "TaskScheduler - BuildRegInfo -  findrun", kTaskScheduler},
    {kShellExecuteHooksKey, "ShellExecHook - BuildRegInfo -  findrun", kShellExecuteHook},
};
static_assert(std::size(kHookKeys) == 2);

constexpr const char* kStartupFolderValues[] = {"Startup", "Common Startup"};
static_assert(std::size(kStartupFolderValues) == 2);

using ValueText = char[kValueLen + 1];

enum class ValueRead { kText, kSkip, kEnd };

// The name of the value at index, and its data as text (as stored, without
// expansion). A walk ends at the last value and at any error but a name too
// long for the buffer, so a key deleted halfway through cannot make it spin.
// Data longer than 255 characters is cut, not skipped: Windows still starts
// the entry. A value that is not text has no data; `needText` skips it.
ValueRead ReadTextValue(HKEY key, DWORD index, ValueText& name, ValueText& data, bool needText)
{
    // Name and data come in one call: a Run key of many values is read at
    // the cost of its enumeration.
    char raw[kRegTextMax + 1];
    DWORD nameLen = sizeof(ValueText);
    DWORD size = kRegTextMax;
    DWORD kind = REG_NONE;
    LONG rc = RegEnumValueA(key, index, name, &nameLen, nullptr, &kind, reinterpret_cast<BYTE*>(raw),
                            &size);
    int read = 0;
    if (rc == ERROR_MORE_DATA) {
        // The name or the data did not fit: the name alone tells which.
        nameLen = sizeof(ValueText);
        rc = RegEnumValueA(key, index, name, &nameLen, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) return ValueRead::kSkip;
        if (rc != ERROR_SUCCESS) return ValueRead::kEnd;
        name[kValueLen] = 0;
        read = QueryRegText(key, name, data, kRegTextCut | kRegTextRaw);
    } else {
        if (rc != ERROR_SUCCESS) return ValueRead::kEnd;
        name[kValueLen] = 0;
        read = RegDataText(kind, raw, size, data, sizeof(ValueText), kRegTextCut | kRegTextRaw);
    }
    if (read < 0) {
        data[0] = 0;
        if (needText) return ValueRead::kSkip;
    }
    return ValueRead::kText;
}

DWORD ValueCount(HKEY key)
{
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return count;
}

DWORD SubkeyCount(HKEY key)
{
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    return count;
}

bool g_repair = true;

bool IsLetter(char c, char upper)
{
    return c == upper || c == upper + ('a' - 'A');
}

// Where "RUNDLL32.EXE" stands in a command: the first place that reads
// R?N?L?3 without regard to case. -1 when there is none.
int FindRundllMark(const char* command)
{
    const size_t length = strlen(command);
    for (size_t at = 0; at + 6 < length; ++at) {
        if (IsLetter(command[at], 'R') && IsLetter(command[at + 2], 'N') &&
            IsLetter(command[at + 4], 'L') && command[at + 6] == '3') {
            return static_cast<int>(at);
        }
    }
    return -1;
}

void ListRunValue(const char* name, const char* data, int code)
{
    TraceLog(data, "BuildRun - findrun");
    const char* program = data;
    int flag = 0;
    if (ContainsNoCase(data, "RUNDLL32.EXE")) {
        const int at = FindRundllMark(data);
        if (at >= 0) {
            // "RUNDLL32.EXE" and the blank behind it.
            const size_t start = static_cast<size_t>(at) + 13;
            program = start <= strlen(data) ? data + start : "";
            flag = 1;
        }
    }
    AddItem(name, program, "", "", code, flag);
}

// The value last examined: a pair repeated right behind itself (the same
// program written into two neighbouring keys) is listed once.
struct LastValue {
    ValueText name = "";
    ValueText data = "";
};

// The code a marker records for a title, 0 when there is none.
int MarkerCode(HKEY markers, const char* name)
{
    char text[16];
    if (!markers || !name[0] || QueryRegText(markers, name, text) <= 0) return 0;
    return static_cast<int>(strtol(text, nullptr, 10));
}

void ListRunKey(HKEY root, const char* subkey, int code, LastValue& last)
{
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    // One handle on the markers serves the whole key; it sees the values as
    // they change.
    UniqueKey markers;
    if (g_repair) RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, 0, KEY_READ, markers.put());
    // Without any marker there is nothing to look up value by value; only a
    // marker found here could make the walk park one.
    if (markers && ValueCount(markers.get()) == 0) markers = UniqueKey();
    DWORD count = ValueCount(key.get());
    for (DWORD index = 0; index < count;) {
        ValueText name;
        ValueText data;
        const ValueRead read = ReadTextValue(key.get(), index, name, data, true);
        if (read == ValueRead::kEnd) break;
        if (read == ValueRead::kSkip ||
            (lstrcmpiA(name, last.name) == 0 && lstrcmpiA(data, last.data) == 0)) {
            ++index;
            continue;
        }
        // Back while its title is parked with this location's code: parked
        // again with its new command. A value of the same title elsewhere
        // is an entry of its own.
        if (MarkerCode(markers.get(), name) == code) {
            if (ReparkRunEntry(name, code)) {
                // Its removal moved the next value onto this index.
                --count;
                continue;
            }
        }
        if (strlen(name) > 1 && strlen(data) > 4 && static_cast<unsigned char>(name[0]) < 128)
            ListRunValue(name, data, code);
        StrCopy(last.name, name);
        StrCopy(last.data, data);
        ++index;
    }
}

void AddWinlogonEntry(const char* title, const char* program, int code)
{
    AddItem(title, program, "", "", code, 0);
}

// The piece of a Winlogon value behind its first separator: the program that
// runs after the system's own. Nothing behind it but blanks leaves the
// system's program alone; a value that names no program at all gives no
// entry rather than one with an empty path.
void TakeSecondProgram(char* value, size_t separator, char* out)
{
    const char* rest = value + separator + 1;
    while (*rest == ' ') ++rest;
    if (*rest) {
        StrCopy(out, MAX_PATH, rest);
    } else {
        value[separator] = 0;
        StrCopy(out, MAX_PATH, value);
    }
}

void ListDisabledStore(const char* subkey)
{
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    const DWORD count = ValueCount(key.get());
    for (DWORD index = 0; index < count; ++index) {
        ValueText name;
        ValueText data;
        const ValueRead read = ReadTextValue(key.get(), index, name, data, true);
        if (read == ValueRead::kEnd) break;
        if (read == ValueRead::kSkip || !name[0]) continue;
        const int code = GetDisabledCode(name);
        if (code <= 0) continue;
        TraceLog(data, "GetDisabledPrograms - findrun");
        AddItem(name, data, "", "", code, 0);
    }
}

void AddVersionedEntry(const char* title, const char* path, const char* entryName, int code)
{
    VersionRecord version;
    GetVersionStrings(path, &version);
    AddItem(title, path, entryName, version.field[kProductVersion], code, 0);
}

void ListDelayLoad()
{
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDelayLoadKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    const DWORD count = ValueCount(key.get());
    for (DWORD index = 0; index < count; ++index) {
        ValueText name;
        ValueText identifier;
        const ValueRead read = ReadTextValue(key.get(), index, name, identifier, true);
        if (read == ValueRead::kEnd) break;
        if (read == ValueRead::kSkip) continue;
        char className[kClassLen];
        char server[kClassLen];
        GetClsidServer(identifier, className, server);
        TraceLog(server, "DelayLoad - BuildRegInfo -  findrun");
        AddVersionedEntry(name, server, identifier, kDelayLoad);
    }
}

void ListHookKey(const HookKey& hook)
{
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, hook.key, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    // The value's name is the class that loads; its data, of whatever type,
    // is only a title.
    const DWORD count = ValueCount(key.get());
    for (DWORD index = 0; index < count; ++index) {
        ValueText identifier;
        ValueText data;
        const ValueRead read = ReadTextValue(key.get(), index, identifier, data, false);
        if (read == ValueRead::kEnd) break;
        if (read == ValueRead::kSkip) continue;
        char className[kClassLen];
        char server[kClassLen];
        GetClsidServer(identifier, className, server);
        TraceLog(server, hook.label);
        AddVersionedEntry(data[0] ? data : className, server, identifier, hook.code);
    }
}

// Every "," or blank ends a piece, so neighbouring separators give an empty
// piece; Windows reads the list the same way.
void ListAppInitDlls()
{
    char list[kValueLen + 1];
    if (GetRegValue(HKEY_LOCAL_MACHINE, kWindowsKey, "AppInit_Dlls", list) == 0) return;
    const char* piece = list;
    for (const char* at = list;; ++at) {
        if (*at != ',' && *at != ' ' && *at != 0) continue;
        char path[MAX_PATH] = "";
        const size_t length = static_cast<size_t>(at - piece);
        if (length < sizeof(path)) {
            memcpy(path, piece, length);
            path[length] = 0;
        }
        VersionRecord version;
        GetVersionStrings(path, &version);
        AddItem(version.field[kProductName], path, version.field[kCompanyName],
                version.field[kProductVersion], kAppInitDlls, 0);
        if (*at == 0) break;
        piece = at + 1;
    }
}

void ListNotifyKeys()
{
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNotifyKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    const DWORD count = SubkeyCount(key.get());
    for (DWORD index = 0; index < count; ++index) {
        char name[kValueLen + 1];
        DWORD nameLen = sizeof(name);
        const LONG rc =
            RegEnumKeyExA(key.get(), index, name, &nameLen, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        if (!name[0]) continue;
        char subkey[MAX_PATH * 2];
        if (StrFormatA(subkey, "%s\\%s", kNotifyKey, name) != 0) continue;
        char dll[kValueLen + 1];
        if (GetRegValue(HKEY_LOCAL_MACHINE, subkey, "DllName", dll) == 0) continue;
        VersionRecord version;
        GetVersionStrings(dll, &version);
        AddItem(name, dll, version.field[kFileDescription], version.field[kProductVersion],
                kWinlogonNotify, 0);
    }
}

bool ShowAllLocations(int pageMode)
{
    return pageMode == 0 || ReadOption("ShowAllStartup", 0) > 0;
}

}   // namespace

int BuildStartupList(int pageMode)
{
    ClearItems();
    BuildRun();
    GetStartupGroup();
    GetWinPrograms();
    GetDisabledPrograms();
    const bool all = ShowAllLocations(pageMode);
    if (all && IsNtPlatform()) {
        TraceLog("GetWinLogon_Userinit", "findrun");
        char program[MAX_PATH];
        if (GetWinLogon_Userinit(program)) AddWinlogonEntry("Winlogon Userinit", program, kWinlogonUserinit);
        if (GetWinLogon_Shell(program)) AddWinlogonEntry("Winlogon Shell", program, kWinlogonShell);
    }
    if (all) BuildRegInfo();
    return ItemCount();
}

int SetStartupRepair(int on)
{
    const int previous = g_repair ? 1 : 0;
    g_repair = on != 0;
    return previous;
}

int BuildRun()
{
    LastValue last;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const int base = root == HKEY_LOCAL_MACHINE ? 0 : 10;
        for (int number = 1; number <= kRunKeyCount; ++number) {
            const char* subkey = nullptr;
            if (GetRunLocation(base + number, nullptr, &subkey, nullptr))
                ListRunKey(root, subkey, base + number, last);
        }
    }
    return ItemCount();
}

int GetStartupGroup()
{
    SetFoundFlag(0);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS}) {
        for (const char* value : kStartupFolderValues) {
            char folder[MAX_PATH];
            if (GetRegValue(root, kShellFoldersKey, value, folder) == 0) continue;
            TraceLog(folder, "GetStartupGroup - findrun");
            SetWalkMode(kWalkStartup);
            WalkFolder(folder, spBuildProc, 0, nullptr);
        }
    }
    return GetFoundFlag();
}

int GetWinPrograms()
{
    for (const ProfileList& list : kProfileLists) {
        char value[kProfileLen] = "";
        GetProfileStringA("windows", list.key, "", value, kProfileLen);
        TraceLog(list.key, "Profile - GetWinPrograms - findrun");
        for (char* piece = value; *piece;) {
            char* end = strchr(piece, ';');
            char* next = end ? end + 1 : piece + strlen(piece);
            if (end) *end = 0;
            if (*piece) {
                VersionRecord version;
                GetVersionStrings(piece, &version);
                char title[kProfileLen];
                StrCopy(title, version.field[kProductName][0] ? version.field[kProductName]
                                                               : list.key);
                AddItem(title, piece, "", "", list.code, 0);
            }
            piece = next;
        }
    }
    return ItemCount();
}

int GetDisabledPrograms()
{
    for (int number = 1; number <= kRunKeyCount; ++number) {
        const char* store = nullptr;
        if (GetRunLocation(number, nullptr, nullptr, &store)) ListDisabledStore(store);
    }
    for (int code : {kWinLoad, kWinRun}) {
        if (const char* store = GetDisabledStoreKey(code)) ListDisabledStore(store);
    }
    char folder[MAX_PATH];
    // Without the program folder the walk would start at "\Disabled" of
    // whatever drive is current.
    if (GetProgramFolder(folder) > 0 && StrAppend(folder, "\\Disabled") == 0) {
        SetWalkMode(kWalkStartup);
        WalkFolder(folder, spBuildProc, 0, nullptr);
    }
    return ItemCount();
}

int GetWinLogon_Userinit(char* out)
{
    out[0] = 0;
    char value[MAX_PATH];
    GetRegValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "UserInit", value);
    const char* comma = strchr(value, ',');
    if (!comma) return 0;
    TakeSecondProgram(value, static_cast<size_t>(comma - value), out);
    return out[0] ? 1 : 0;
}

int GetWinLogon_Shell(char* out)
{
    out[0] = 0;
    char value[MAX_PATH];
    if (GetRegValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "Shell", value) == 0) return 0;
    const char* blank = strchr(value, ' ');
    if (blank) {
        TakeSecondProgram(value, static_cast<size_t>(blank - value), out);
    } else {
        StrCopy(out, MAX_PATH, value);
    }
    return out[0] ? 1 : 0;
}

int BuildRegInfo()
{
    ListDelayLoad();
    for (const HookKey& hook : kHookKeys) ListHookKey(hook);
    ListAppInitDlls();
    ListNotifyKeys();
    return ItemCount();
}
