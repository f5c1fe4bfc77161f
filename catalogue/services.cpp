// Windows services that run a program file or a shared-host DLL: the list
// comes from the services registry, the state and the controls from the
// Service Control Manager. Start types are switched in the registry only, as
// Windows reads them from there at the next start.
#include "catalogue/catalogue.h"

#include <shlwapi.h>

#include <algorithm>
#include <iterator>

namespace {

constexpr int kTypeServiceExe = 700;
constexpr int kTypeServiceSvchost = 701;
constexpr int kKeyNameLen = 256;     // service key names stop at 255 characters
constexpr int kLongTextLen = 4096;   // display names and descriptions
constexpr int kStateTextLen = 256;

struct CodeText {
    DWORD code;
    int stringId;
};


constexpr CodeText kStartTexts[] = {
    {SERVICE_AUTO_START, IDS_START_AUTOMATIC},
    {SERVICE_DEMAND_START, IDS_START_MANUAL},
    {SERVICE_DISABLED, IDS_START_DISABLED},
};
static_assert(std::size(kStartTexts) == 3);

// The start type: a REG_DWORD, anything else counts as missing.
DWORD ReadStart(HKEY key)
{
    DWORD value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key, "Start", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return 0;
    return value;
}

// The start-type texts of one list, loaded once for it rather than once per
// service.
struct StartTexts {
    char text[std::size(kStartTexts)][kEntryLen];
};

void LoadStartTexts(StartTexts* texts)
{
    for (size_t i = 0; i < std::size(kStartTexts); ++i)
        LoadLocalizedString(kStartTexts[i].stringId, texts->text[i]);
}

void StartTypeText(const StartTexts& texts, DWORD start, char (&out)[kEntryLen])
{
    for (size_t i = 0; i < std::size(kStartTexts); ++i) {
        if (kStartTexts[i].code == start) {
            StrCopy(out, texts.text[i]);
            return;
        }
    }
    StrCopy(out, "0");
}

// Every service the manager knows with its display name, from one
// enumeration, sorted by key name: asking the manager service by service
// costs a round trip each, more than the rest of the list together.
struct DisplayNames {
    UniqueHeapBlock buffer;
    ENUM_SERVICE_STATUS_PROCESSA* services = nullptr;
    DWORD count = 0;
};

// A manager that gains services between the size query and the
// enumeration asks for more room; a few tries are enough.
constexpr int kEnumAttempts = 3;

bool KeyNameBefore(const ENUM_SERVICE_STATUS_PROCESSA& a, const ENUM_SERVICE_STATUS_PROCESSA& b)
{
    return lstrcmpiA(a.lpServiceName, b.lpServiceName) < 0;
}

bool LoadDisplayNames(SC_HANDLE manager, DisplayNames* names)
{
    names->buffer = UniqueHeapBlock();
    names->services = nullptr;
    names->count = 0;
    if (!manager) return false;
    DWORD needed = 0;
    for (int attempt = 0; attempt < kEnumAttempts; ++attempt) {
        DWORD bytes = needed;
        if (bytes) names->buffer = UniqueHeapBlock(HeapAlloc(GetProcessHeap(), 0, bytes));
        if (bytes && !names->buffer) return false;
        DWORD count = 0;
        DWORD resume = 0;
        if (EnumServicesStatusExA(manager, SC_ENUM_PROCESS_INFO, SERVICE_DRIVER | SERVICE_WIN32,
                                  SERVICE_STATE_ALL, static_cast<BYTE*>(names->buffer.get()),
                                  bytes, &needed, &count, &resume, nullptr)) {
            names->services = static_cast<ENUM_SERVICE_STATUS_PROCESSA*>(names->buffer.get());
            names->count = names->services ? count : 0;
            std::sort(names->services, names->services + names->count, KeyNameBefore);
            return true;
        }
        if (GetLastError() != ERROR_MORE_DATA || needed == 0) return false;
    }
    return false;
}

const char* FindDisplayName(const DisplayNames& names, const char* keyName)
{
    ENUM_SERVICE_STATUS_PROCESSA wanted = {};
    wanted.lpServiceName = const_cast<char*>(keyName);
    const auto end = names.services + names.count;
    const auto found = std::lower_bound(names.services, end, wanted, KeyNameBefore);
    if (found == end || lstrcmpiA(found->lpServiceName, keyName) != 0) return nullptr;
    return found->lpDisplayName;
}

// ServiceDll of the Parameters subkey of a shared-host service.
int ReadServiceDll(HKEY service, char (&out)[kPathLen])
{
    out[0] = 0;
    UniqueKey parameters;
    if (RegOpenKeyExA(service, "Parameters", 0, KEY_READ, parameters.put()) != ERROR_SUCCESS)
        return 0;
    return QueryRegText(parameters.get(), "ServiceDll", out) > 0 ? 1 : 0;
}

// Calls fn(keyName, serviceKey) for every service key, in registry order,
// until fn returns false. Keys that cannot be opened are passed over.
template <class Fn>
void ForEachService(Fn&& fn)
{
    UniqueKey services;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ, services.put()) !=
        ERROR_SUCCESS)
        return;
    DWORD count = 0;
    if (RegQueryInfoKeyA(services.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    // Bounded by the count, and ended by any failure: a key deleted meanwhile
    // fails every index from then on.
    for (DWORD i = 0; i < count; ++i) {
        char name[kKeyNameLen];
        if (RegEnumKeyA(services.get(), i, name, sizeof(name)) != ERROR_SUCCESS) break;
        if (!name[0]) continue;
        UniqueKey service;
        if (RegOpenKeyExA(services.get(), name, 0, KEY_READ, service.put()) != ERROR_SUCCESS)
            continue;
        if (!fn(static_cast<const char*>(name), service.get())) break;
    }
}

// A display name or description of the form "@file,-id" names a string of a
// module's resources (Windows' own services store theirs so). It is replaced
// by that string; a text that cannot be resolved stays as stored.
void ResolveIndirectText(char* text, int capacity)
{
    if (text[0] != '@') return;
    wchar_t source[kLongTextLen];
    wchar_t resolved[kLongTextLen];
    char narrow[kLongTextLen];
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, source, kLongTextLen) ||
        FAILED(SHLoadIndirectString(source, resolved, kLongTextLen, nullptr)) ||
        !WideCharToMultiByte(CP_ACP, 0, resolved, -1, narrow, kLongTextLen, nullptr, nullptr))
        return;
    StrCopy(text, static_cast<size_t>(capacity), narrow);
}
template <size_t N>
void ResolveIndirectText(char (&text)[N])
{
    ResolveIndirectText(text, static_cast<int>(N));
}

// The shared host runs a service only when the program of its ImagePath is
// svchost.exe itself; a program whose name merely contains it (.NET's
// SMSvcHost.exe) runs as a process of its own.
bool RunsInSharedHost(const char* imagePath)
{
    char program[MAX_PATH] = "";
    NormalizeProgramPath(imagePath, program);
    return lstrcmpiA(program + FileNameOffset(program), "svchost.exe") == 0;
}

bool IsMicrosoftProgram(const char* path)
{
    char program[MAX_PATH] = "";
    NormalizeProgramPath(path, program);
    VersionRecord version;
    GetVersionStrings(program, &version);
    return ContainsNoCase(version.field[kCompanyName], "Microsoft") != 0;
}

// The manager's display name of a service key name; 1, or 0 with "".
int DisplayNameFrom(SC_HANDLE manager, const char* keyName, char* displayName, int capacity)
{
    displayName[0] = 0;
    if (!manager || !keyName || !keyName[0]) return 0;
    DWORD size = static_cast<DWORD>(capacity);
    if (!GetServiceDisplayNameA(manager, keyName, displayName, &size)) {
        displayName[0] = 0;
        return 0;
    }
    return 1;
}

// What one list shares between its services.
struct ServiceListContext {
    SC_HANDLE manager = nullptr;
    DisplayNames names;
    StartTexts startTexts = {};
    bool hideMicrosoft = false;
};

// The enumeration's name, or the manager's own answer for a service that
// came after it (or one it could not give), else the registry's.
void ServiceTitle(const ServiceListContext& list, const char* keyName, HKEY service,
                  char (&title)[kLongTextLen])
{
    const char* known = FindDisplayName(list.names, keyName);
    if (known && StrCopy(title, known) == 0) return;
    if (!DisplayNameFrom(list.manager, keyName, title, kLongTextLen))
        QueryRegText(service, "DisplayName", title);
}

void AddService(const ServiceListContext& list, const char* keyName, HKEY service)
{
    // Windows starts a service whatever the length of its ImagePath: a long
    // one is judged whole and listed cut to the list's field, never left out.
    char image[kLongTextLen];
    if (QueryRegText(service, "ImagePath", image, kLongTextLen, kRegTextCut) <= 0) return;
    // Kernel drivers and other services without a program file stay out.
    const bool hosted = RunsInSharedHost(image);
    if (!hosted && !ContainsNoCase(image, ".exe")) return;

    char title[kLongTextLen];
    ServiceTitle(list, keyName, service, title);
    ResolveIndirectText(title);
    char description[kLongTextLen];
    QueryRegText(service, "Description", description);
    ResolveIndirectText(description);
    char startText[kEntryLen];
    StartTypeText(list.startTexts, ReadStart(service), startText);
    char path[kPathLen];
    StrCopy(path, image);
    if (hosted) {
        char dll[kPathLen];
        if (ReadServiceDll(service, dll) > 0) StrCopy(path, dll);
    }
    if (list.hideMicrosoft && IsMicrosoftProgram(path)) return;
    AddItem(title, path, startText, description, hosted ? kTypeServiceSvchost : kTypeServiceExe, 0);
}

// Asks the service for its status. False when the manager or the service
// cannot be opened or the service does not answer (a stopped one never does).
bool Interrogate(const char* displayName, SERVICE_STATUS* status)
{
    if (!displayName) return false;
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
    if (!manager) return false;
    char keyName[kKeyNameLen];
    DWORD size = sizeof(keyName);
    if (!GetServiceKeyNameA(manager.get(), displayName, keyName, &size)) return false;
    UniqueService service(OpenServiceA(manager.get(), keyName, GENERIC_READ));
    if (!service) return false;
    return ControlService(service.get(), SERVICE_CONTROL_INTERROGATE, status) != FALSE;
}

}  // namespace

namespace {

UniqueService g_manager;

}  // namespace

SC_HANDLE SharedServiceManager()
{
    // A manager that could not be reached is asked again next time; the
    // caller then sees the error of that attempt.
    if (!g_manager) g_manager = UniqueService(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
    return g_manager.get();
}

SC_HANDLE ReopenServiceManager()
{
    g_manager = UniqueService();
    return SharedServiceManager();
}

int BuildServiceList()
{
    ClearItems();
    ServiceListContext list;
    list.manager = SharedServiceManager();
    list.hideMicrosoft = ReadOption("HideMicrosoftServices", 0) > 0;
    if (!LoadDisplayNames(list.manager, &list.names)) {
        list.manager = ReopenServiceManager();
        LoadDisplayNames(list.manager, &list.names);
    }
    LoadStartTexts(&list.startTexts);
    ForEachService([&](const char* keyName, HKEY service) {
        AddService(list, keyName, service);
        return true;
    });
    return 0;
}

int FindServiceDescription(const char* path, char* description)
{
    description[0] = 0;
    if (!path || !path[0]) return 0;
    int length = 0;
    ForEachService([&](const char*, HKEY service) {
        char program[kPathLen];
        if (QueryRegText(service, "ImagePath", program, kPathLen, kRegTextCut) <= 0) return true;
        if (RunsInSharedHost(program)) {
            char dll[kPathLen];
            if (ReadServiceDll(service, dll) > 0) StrCopy(program, dll);
        }
        char normalized[MAX_PATH] = "";
        NormalizeProgramPath(program, normalized);
        if (lstrcmpiA(normalized, path) != 0) return true;
        char text[kLongTextLen];
        QueryRegText(service, "Description", text);
        ResolveIndirectText(text);
        StrCopy(description, kDetailLen, text);
        length = lstrlenA(description);
        return false;
    });
    return length;
}

int QueryServiceState(const char* displayName)
{
    SERVICE_STATUS status = {};
    if (!Interrogate(displayName, &status)) return 0;
    return static_cast<int>(((status.dwCurrentState & 0xFFFF) << 16) |
                            (status.dwServiceType & 0xFFFF));
}

int QueryServiceControls(const char* displayName)
{
    SERVICE_STATUS status = {};
    if (!Interrogate(displayName, &status)) return 0;
    return static_cast<int>(status.dwControlsAccepted);
}

int SendServiceControl(const char* displayName, int control)
{
    if (!displayName) return 0;
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
    if (!manager) return 0;
    char keyName[kKeyNameLen];
    DWORD size = sizeof(keyName);
    if (!GetServiceKeyNameA(manager.get(), displayName, keyName, &size)) return 0;
    UniqueService service(OpenServiceA(manager.get(), keyName, SERVICE_ALL_ACCESS));
    if (!service) return 0;
    SERVICE_STATUS status = {};
    return ControlService(service.get(), static_cast<DWORD>(control), &status) ? 1 : 0;
}

int GetServiceStateText(const char* displayName, char* text)
{
    const int packed = QueryServiceState(displayName);
    const DWORD state = static_cast<DWORD>(packed) >> 16;
    int stringId = IDS_SERVICE_STOPPED;
    for (const ServiceStateText& entry : kServiceStateTexts) {
        if (entry.state == state) stringId = entry.stringId;
    }
    LoadLocalizedString(stringId, text, kStateTextLen);
    return packed;
}

int LookupServiceDisplayName(const char* keyName, char* displayName, int capacity)
{
    if (capacity <= 0) return 0;
    displayName[0] = 0;
    if (!keyName || !keyName[0]) return 0;
    UniqueService manager(OpenSCManagerA(nullptr, nullptr, GENERIC_READ));
    return DisplayNameFrom(manager.get(), keyName, displayName, capacity);
}

int SetServiceStartType(const char* displayName, int start)
{
    // Only the three start types a user may choose; 0 and 1 are boot and
    // system starts of drivers, which a wrong write would make unbootable.
    if (!displayName || !displayName[0] || start < SERVICE_AUTO_START || start > SERVICE_DISABLED)
        return 0;
    char keyName[kKeyNameLen] = "";
    ForEachService([&](const char* name, HKEY service) {
        char text[kPathLen];
        if (QueryRegText(service, "ImagePath", text, kPathLen, kRegTextCut) <= 0) return true;
        char registered[kLongTextLen];
        QueryRegText(service, "DisplayName", registered);
        ResolveIndirectText(registered);
        if (lstrcmpiA(registered, displayName) != 0) return true;
        StrCopy(keyName, name);
        return false;
    });
    if (!keyName[0]) return 0;
    char keyPath[kKeyNameLen + 64];
    if (StrFormatA(keyPath, "%s\\%s", kServicesKey, keyName) != 0) return 0;
    const DWORD value = static_cast<DWORD>(start);
    return SetRegDword(HKEY_LOCAL_MACHINE, keyPath, "Start", &value);
}
