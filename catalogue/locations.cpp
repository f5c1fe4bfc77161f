// Where each autostart entry lives, where its disabled copy is parked, and
// the location column the pages and reports show for it.
#include "catalogue/catalogue.h"
#include "foundation/unique.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

struct RunLocation {
    const char* key;           // under HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER
    const char* disabledKey;   // always under HKEY_LOCAL_MACHINE
};

// Index = key number - 1: the machine code is the key number, the user code
// the key number increased by 10.
constexpr RunLocation kRunLocations[] = {
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
     "Software\\Corvath\\Velmora\\Disabled\\Run"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
     "Software\\Corvath\\Velmora\\Disabled\\RunOnce"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
     "Software\\Corvath\\Velmora\\Disabled\\RunOnceEx"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
     "Software\\Corvath\\Velmora\\Disabled\\RunServices"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
     "Software\\Corvath\\Velmora\\Disabled\\RunServicesOnce"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup",
     "Software\\Corvath\\Velmora\\Disabled\\RunSetup"},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run",
     "Software\\Corvath\\Velmora\\Disabled\\Policy"},
};
static_assert(std::size(kRunLocations) == kRunKeyCount);

struct CodeText {
    int code;
    const char* text;
};

constexpr CodeText kOtherDisabledKeys[] = {
    {100, "Software\\Corvath\\Velmora\\Disabled\\WinLoad"},
    {101, "Software\\Corvath\\Velmora\\Disabled\\WinRun"},
    {256, "Software\\Corvath\\Velmora\\Disabled\\WinNotify"},
};
static_assert(std::size(kOtherDisabledKeys) == 3);

// The location column keeps the old short forms of the Run-type keys: the
// last digit of the code picks the key.
constexpr const char* kRunKeyNames[] = {"Run", "RunOnce", "RunOnceEx", "RunServices",
                                        "RunServicesOnce"};
static_assert(std::size(kRunKeyNames) == 5);

constexpr CodeText kLocationTexts[] = {
    {100, "WIN.INI     [Load] Section"},
    {101, "WIN.INI     [Run] Section"},
    {200, "Windows Startup Group"},
    {250, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Userinit"},
    {251, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Shell"},
    {252, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad"},
    {253, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler"},
    {254, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks"},
    {255, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows  AppInit_DLLs"},
    {256, "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon Notify"},
};
static_assert(std::size(kLocationTexts) == 10);

// Codes whose location column is a localized text.
struct CodeString {
    int code;
    int stringId;
};
constexpr CodeString kLocalizedLocations[] = {
    {800, IDS_LOC_TASKSCHED},
    {900, IDS_LOC_BHO},
    {901, IDS_LOC_TOOLBAR},
};
static_assert(std::size(kLocalizedLocations) == 3);

constexpr int kLocationTextLen = 512;
constexpr int kMarkerLen = 16;

const char* FindCodeText(const CodeText* table, size_t count, int code)
{
    for (size_t i = 0; i < count; ++i) {
        if (table[i].code == code) return table[i].text;
    }
    return nullptr;
}

// The Run-type keys of codes 1-5, 11-15 and 21-25 as the location column
// names them; empty for the rest.
void RunLocationText(int code, char* out)
{
    const char* prefix = nullptr;
    if (code >= 1 && code <= 5) prefix = "HKLM\\";
    else if (code >= 11 && code <= 15) prefix = "HKCU\\";
    else if (code >= 21 && code <= 25) prefix = "HKEY_USER\\";
    if (!prefix) return;
    StrFormat(out, kLocationTextLen, "%s%s\\%s", prefix, "Software\\Microsoft\\Windows\\CurrentVersion",
              kRunKeyNames[code % 10 - 1]);
}

}   // namespace

int GetRunLocation(int code, HKEY* root, const char** key, const char** disabledKey)
{
    HKEY base = nullptr;
    int number = 0;
    if (code >= 1 && code <= kRunKeyCount) {
        base = HKEY_LOCAL_MACHINE;
        number = code;
    } else if (code >= 11 && code <= 10 + kRunKeyCount) {
        base = HKEY_CURRENT_USER;
        number = code - 10;
    } else {
        return 0;
    }
    if (root) *root = base;
    if (key) *key = kRunLocations[number - 1].key;
    if (disabledKey) *disabledKey = kRunLocations[number - 1].disabledKey;
    return 1;
}

const char* GetDisabledStoreKey(int code)
{
    return FindCodeText(kOtherDisabledKeys, std::size(kOtherDisabledKeys), code);
}

// Presence is what counts: a marker with empty or damaged data still marks
// the entry as disabled, so the value is tested, not read as text.
int IsDisabledEntry(const char* title)
{
    if (!title) return 0;
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return RegQueryValueExA(key.get(), title, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS
               ? 1
               : 0;
}

int GetDisabledCode(const char* title)
{
    if (!title) return 0;
    char marker[kMarkerLen];
    if (GetRegValue(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, title, marker) == 0) return 0;
    return static_cast<int>(strtol(marker, nullptr, 10));
}

void ReadDisabledMarkers(std::unordered_map<std::string, int>* markers)
{
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        char name[kTitleLen + 1];
        DWORD nameLength = sizeof(name);
        char data[16];
        DWORD dataLength = sizeof(data) - 1;
        DWORD type = REG_NONE;
        const LONG read = RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type,
                                        reinterpret_cast<BYTE*>(data), &dataLength);
        if (read == ERROR_NO_MORE_ITEMS) break;
        if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
        data[dataLength] = '\0';
        const int code = static_cast<int>(strtol(data, nullptr, 10));
        if (code == 0) continue;
        std::string title(name, nameLength);
        CharUpperBuffA(title.data(), static_cast<DWORD>(title.size()));
        markers->emplace(std::move(title), code);
    }
}

int LocationTextOf(int code, int parkedCode, char* out)
{
    out[0] = 0;
    for (const CodeString& localized : kLocalizedLocations) {
        if (localized.code == code) {
            LoadLocalizedString(localized.stringId, out, kLocationTextLen);
            return 0;
        }
    }
    // No record (code 0), or a code that is no startup entry.
    if (code <= 0 || code > 256) return 0;

    char location[kLocationTextLen] = "";
    if (const char* text = FindCodeText(kLocationTexts, std::size(kLocationTexts), code)) {
        StrCopy(location, text);
    } else {
        RunLocationText(code, location);
    }

    // Only the entry parked under this title is shown as disabled; an entry
    // of the same title in another location is active.
    if (parkedCode == code) {
        char disabled[kLocationTextLen] = "";
        LoadLocalizedString(IDS_DISABLED, disabled);
        StrFormat(out, kLocationTextLen, " * %s * %s", disabled, location);
    } else {
        StrCopy(out, kLocationTextLen, location);
    }
    return static_cast<int>(strlen(out));
}

int GetLocationText(int index, char* out)
{
    const int code = GetItemType(index);
    int parkedCode = 0;
    if (code > 0 && code <= 256) {
        char title[kTitleLen + 1] = "";
        GetItemTitle(index, title);
        parkedCode = GetDisabledCode(title);
    }
    return LocationTextOf(code, parkedCode, out);
}
