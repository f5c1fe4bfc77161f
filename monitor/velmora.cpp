// Initial values and snapshots: the approval and first-detected stores the
// verification cycle compares with, and the options it runs by.
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "monitor/monitor.h"

namespace {

constexpr const char* kCorvathKey = "Software\\Corvath";
constexpr const char* kServicesMarker = "P";

struct StoreForm {
    ApprovalStore store;
    const char* key;
    bool pathNamed;    // value names are program paths ("=" becomes ":")
    bool typeCoded;    // data is a type code; otherwise any non-empty text
    size_t readLen;    // the buffer the stored data must fit
};

// Read buffers are those of the programs that share the stores: a longer
// value is damaged and never counts as an approval.
constexpr StoreForm kStores[] = {
    {kStoreRun, kApprovedRunKey, true, true, 32},
    {kStoreIEHelpers, kApprovedIEHelpersKey, false, true, 16},
    {kStoreTasks, kApprovedTasksKey, false, true, 32},
    {kStoreServices, kApprovedServicesKey, false, true, 32},
    // The hidden-file catalogue names its records by the full path as it is.
    {kStoreHidden, kApprovedHiddenKey, false, false, 24},
    {kStoreCookies, kApprovedCookiesKey, false, false, 64},
};
static_assert(std::size(kStores) == kStoreCount);

constexpr const char* kDetectedSubkeys[] = {
    kDetectedStartupKey,   kDetectedIEHelperKey,    kDetectedServicesKey, kDetectedTasksKey,
    kDetectedActiveTasksKey, kDetectedFileTypesKey, kDetectedHiddenKey,
};
static_assert(std::size(kDetectedSubkeys) == 7);

constexpr const char* kFirstRunKeys[] = {
    kCorvathKey,
    kVelmoraKey,
    "Software\\Corvath\\Velmora\\Nuts",
    "Software\\Corvath\\Velmora\\Cookies",
    kOptionsKey,
    kApprovedRunKey,
    kApprovedIEHelpersKey,
    "Software\\Corvath\\Velmora\\HostFile",
    kApprovedTasksKey,
};
static_assert(std::size(kFirstRunKeys) == 9);

constexpr const char* kSnapshotKeys[] = {kApprovedRunKey, kApprovedIEHelpersKey, kApprovedTasksKey};
static_assert(std::size(kSnapshotKeys) == 3);

// One catalogue of the first-detected build: how to list it and where its
// dates go.
struct DetectedSource {
    int (*build)();
    const char* key;
};

int ListStartup() { return BuildStartupList(0); }
int ListServices()
{
    BuildServiceList();
    return ItemCount();
}

constexpr DetectedSource kDetectedSources[] = {
    {ListStartup, kDetectedStartupKey},        {BuildIEHelperList, kDetectedIEHelperKey},
    {BuildTaskList, kDetectedTasksKey},        {ListServices, kDetectedServicesKey},
    {BuildFileTypeList, kDetectedFileTypesKey}, {BuildActiveTaskList, kDetectedActiveTasksKey},
    {BuildHiddenFileList, kDetectedHiddenKey},
};
static_assert(std::size(kDetectedSources) == 7);

const StoreForm* FormOf(ApprovalStore store)
{
    for (const StoreForm& s : kStores)
        if (s.store == store) return &s;
    return nullptr;
}

void Today(char (&out)[24])
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatLocalDateTime(&now, out);
}

// A write that fails is traced and reported as one.
int WriteText(const char* key, const char* name, const char* text)
{
    if (SetRegValue(HKEY_CURRENT_USER, key, name, text)) return 1;
    TraceLog("ERROR RegOpenKeyEx:SetRegValue", key);
    return 0;
}

// A value's presence, whatever its type or data: a marker that exists but is
// damaged must not start over what it marks.
bool ValueExists(const char* key, const char* name)
{
    UniqueKey k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, k.put()) != ERROR_SUCCESS) return false;
    return RegQueryValueExA(k.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The snapshots are flat, but a key someone put below one must not keep its
// stale approvals alive: RegDeleteKeyA refuses a key with subkeys.
bool DeleteTree(HKEY root, const char* subkey)
{
    {
        UniqueKey key;
        const LONG rc = RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, key.put());
        if (rc == ERROR_FILE_NOT_FOUND) return true;
        if (rc != ERROR_SUCCESS) return RegDeleteKeyA(root, subkey) == ERROR_SUCCESS;
        char child[256];
        for (;;) {
            DWORD n = sizeof(child);
            if (RegEnumKeyExA(key.get(), 0, child, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            char path[1024];
            if (StrFormatA(path, "%s\\%s", subkey, child) != 0 || !DeleteTree(root, path)) break;
        }
    }
    if (RegDeleteKeyA(root, subkey) == ERROR_SUCCESS) return true;
    TraceLog("ERROR RegDeleteKey - velmora", subkey);
    return false;
}

// Writes the type code of every listed item under its path or title; 0 when
// any write failed.
int SnapshotList(ApprovalStore store, bool byPath)
{
    int ok = 1;
    for (int i = 0; i < ItemCount(); ++i) {
        char name[kPathLen + 1] = "";
        if (byPath) {
            GetItemPath(i, name);
        } else {
            GetItemTitle(i, name);
        }
        if (name[0] && !WriteApproval(store, name, GetItemType(i))) ok = 0;
    }
    ClearItems();
    return ok;
}

// A store whose default value does not begin with "P" is rebuilt; only a
// readable marker means there was a store to throw away.
bool MarkerBuilt(const char* key, bool* readable)
{
    char marker[64];
    const int n = ReadRegText(HKEY_CURRENT_USER, key, "", marker);
    *readable = n > 0;
    return n > 0 && marker[0] == kServicesMarker[0];
}

void ComposeVersionText(char (&out)[512])
{
    out[0] = '\0';
    char folder[MAX_PATH];
    if (!GetProgramFolder(folder)) return;
    char module[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    char monitor[MAX_PATH];
    char explorer[MAX_PATH];
    StrFormatA(monitor, "%s\\Velmora.exe", folder);
    StrFormatA(explorer, "%s\\VelmoraEx.exe", folder);
    // A renamed "hijack" build names itself in the explorer's place.
    if (ContainsNoCase(module, "hijack")) StrCopy(explorer, module);
    VersionRecord first;
    VersionRecord second;
    GetVersionStrings(monitor, &first);
    GetVersionStrings(explorer, &second);
    StrFormatA(out, "%s:%s", first.field[kProductVersion], second.field[kProductVersion]);
}

void TraceBegin()
{
    char version[512];
    ComposeVersionText(version);
    TraceLog("-------------------------------------Begin Velmora", version);
}

}  // namespace

const char* ApprovalStoreKey(ApprovalStore store)
{
    const StoreForm* form = FormOf(store);
    return form ? form->key : nullptr;
}

void ApprovalValueName(ApprovalStore store, const char* name, char (&out)[1024])
{
    StrCopy(out, name ? name : "");
    const StoreForm* form = FormOf(store);
    if (form && form->pathNamed) ReplaceChar(out, '=', ':');
}

namespace {

// One open handle per approval store for the life of the process: every
// check reads an approval for each item it lists, and opening and closing
// the store around each read tripled the registry round trips. A handle
// reads the values as they are now. A store deleted under it (the explorer
// or a test removes it) fails every read; a read that finds nothing
// therefore makes sure the handle is still good, and opens the store again
// when it is not.
UniqueKey g_storeKeys[kStoreCount];

bool StoreKeyAlive(HKEY key)
{
    DWORD values = 0;
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The text of a store value, as ReadRegText gives it.
int ReadStoreText(const StoreForm& form, const char* valueName, char (&text)[64])
{
    UniqueKey& key = g_storeKeys[form.store];
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!key && RegOpenKeyExA(HKEY_CURRENT_USER, form.key, 0, KEY_QUERY_VALUE, key.put()) !=
                        ERROR_SUCCESS)
            return kRegTextMissing;
        const int read = QueryRegText(key.get(), valueName, &text[0], form.readLen);
        if (read > 0 || StoreKeyAlive(key.get())) return read;
        key = UniqueKey();
    }
    text[0] = '\0';
    return kRegTextMissing;
}

}  // namespace

int ReadApproval(ApprovalStore store, const char* name)
{
    return ReadApprovalFrom(ApprovalReader{store, UniqueKey()}, name);
}

int OpenApprovalReader(ApprovalStore store, ApprovalReader* reader)
{
    reader->store = store;
    reader->key = UniqueKey();
    const StoreForm* form = FormOf(store);
    if (!form) return 0;
    return RegOpenKeyExA(HKEY_CURRENT_USER, form->key, 0, KEY_QUERY_VALUE, reader->key.put()) ==
                   ERROR_SUCCESS
               ? 1
               : 0;
}

int ReadApprovalFrom(const ApprovalReader& reader, const char* name)
{
    const StoreForm* form = FormOf(reader.store);
    if (!form || !form->typeCoded || !name || !name[0]) return 0;
    char valueName[1024];
    ApprovalValueName(reader.store, name, valueName);
    char text[64];
    // Without a handle of its own (the store did not exist yet) every read
    // looks again, so an approval written meanwhile is seen.
    const int read = reader.key ? QueryRegText(reader.key.get(), valueName, &text[0], form->readLen)
                                : ReadStoreText(*form, valueName, text);
    if (read <= 0) return 0;
    const long code = strtol(text, nullptr, 10);
    // A number beyond any type code is damage, not a code.
    return code > 0xFFFF || code < -0xFFFF ? 0 : static_cast<int>(code);
}

int IsApproved(ApprovalStore store, const char* name)
{
    const StoreForm* form = FormOf(store);
    if (!form || !name || !name[0]) return 0;
    if (form->typeCoded) return ReadApproval(store, name) != 0;
    char valueName[1024];
    ApprovalValueName(store, name, valueName);
    char text[64];
    return ReadStoreText(*form, valueName, text) > 0;
}

int WriteApproval(ApprovalStore store, const char* name, int typeCode)
{
    const StoreForm* form = FormOf(store);
    if (!form || !name || !name[0]) return 0;
    char valueName[1024];
    ApprovalValueName(store, name, valueName);
    char data[24];
    if (store == kStoreHidden) {
        Today(data);
    } else if (store == kStoreCookies) {
        StrCopy(data, "1");
    } else {
        StrFormatA(data, "%d", typeCode);
    }
    return WriteText(form->key, valueName, data);
}

int RemoveApproval(ApprovalStore store, const char* name)
{
    const StoreForm* form = FormOf(store);
    if (!form || !name || !name[0]) return 0;
    char valueName[1024];
    ApprovalValueName(store, name, valueName);
    return DeleteRegValue(HKEY_CURRENT_USER, form->key, valueName);
}

int InitRegStartups()
{
    TraceLog("InitRegStartups", "StarupList - velmora");
    BuildStartupList(0);
    int ok = SnapshotList(kStoreRun, true);
    TraceLog("InitRegStartups", "IEHelperList - velmora");
    BuildIEHelperList();
    ok &= SnapshotList(kStoreIEHelpers, false);
    TraceLog("InitRegStartups", "GetScheduledTasks - velmora");
    BuildTaskList();
    ok &= SnapshotList(kStoreTasks, false);
    return ok;
}

int CleanupRunRegistry()
{
    TraceLog("Cleanup Run Registry", "velmora");
    int ok = 1;
    for (const char* key : kSnapshotKeys) {
        if (!DeleteTree(HKEY_CURRENT_USER, key)) ok = 0;
        if (!CreateRegKey(HKEY_CURRENT_USER, key)) ok = 0;
    }
    return InitRegStartups() && ok;
}

int InitDetectedStores()
{
    if (ValueExists(kDetectedKey, "")) return 1;
    for (const char* key : kDetectedSubkeys) CreateRegKey(HKEY_CURRENT_USER, key);
    for (const DetectedSource& source : kDetectedSources) {
        source.build();
        for (int i = 0; i < ItemCount(); ++i) {
            char path[kPathLen + 1] = "";
            GetItemPath(i, path);
            if (path[0]) StampFirstDetected(path, source.key);
        }
        ClearItems();
    }
    // The date goes last, so that a build cut short runs again; a date once
    // recorded is never replaced, so the repeat changes nothing already seen.
    char today[24];
    Today(today);
    return WriteText(kDetectedKey, "", today);
}

int InitServicesStore()
{
    bool readable = false;
    if (MarkerBuilt(kApprovedServicesKey, &readable)) return 1;
    if (readable) DeleteTree(HKEY_CURRENT_USER, kApprovedServicesKey);
    CreateRegKey(HKEY_CURRENT_USER, kApprovedServicesKey);
    // The marker goes last, so that a store cut short is built again.
    BuildServiceList();
    const int ok = SnapshotList(kStoreServices, false);
    return WriteText(kApprovedServicesKey, "", kServicesMarker) && ok;
}

int InitHiddenStore()
{
    bool readable = false;
    if (MarkerBuilt(kApprovedHiddenKey, &readable)) return 1;
    if (readable) DeleteTree(HKEY_CURRENT_USER, kApprovedHiddenKey);
    CreateRegKey(HKEY_CURRENT_USER, kApprovedHiddenKey);
    CreateRegKey(HKEY_CURRENT_USER, kDetectedKey);
    int ok = InitRegStartups();
    BuildHiddenFileList();
    ok &= SnapshotList(kStoreHidden, true);
    return WriteText(kApprovedHiddenKey, "", kServicesMarker) && ok;
}

void CreateInitialValues()
{
    TraceLog("Create Initial Values", "velmora");
    InitRegStartups();
    // Older versions started under another name; one entry is enough.
    char prime[64];
    if (LoadLocalizedString(IDS_PRIME_ENTRY, prime) > 0) DeleteRunProgram(prime, "velmora.exe", "", 1);
    SetMonitorAutostart(1);
}

void GetInitialValues()
{
    MonitorState& state = GetMonitorState();
    InitTrace(kTraceOff);
    state.lastPassStart = GetTickCount();
    SetMessageLanguageId(0);
    InitMessageLanguage();
    if (ReadOptionOrDefault("Debug") != 0) InitTrace(0);

    if (!ValueExists(kVelmoraKey, "")) {
        TraceLog("Get Initial Values", "FIRSTTIME");
        for (const char* key : kFirstRunKeys) CreateRegKey(HKEY_CURRENT_USER, key);
        CreateInitialValues();
        char today[24];
        Today(today);
        WriteText(kVelmoraKey, "", today);
    }
    TraceBegin();

    InitDetectedStores();
    InitServicesStore();
    InitHiddenStore();
    // The monitored system files are taken once: the store's default value
    // says they were.
    InitSysfilesStore();

    char version[64];
    const int versionLen = ReadRegText(HKEY_CURRENT_USER, kVelmoraKey, "Version", version);
    if (versionLen == kRegTextMissing) {
        CleanupRunRegistry();
        WriteText(kVelmoraKey, "Version", kBuildString);
    } else if (versionLen <= 0 || !strstr(version, kBuildString)) {
        // A damaged build string counts as another build's.
        CleanupRunRegistry();
        WriteText(kVelmoraKey, "Version", kBuildString);
        CreateInitialValues();
    }
    if (ReadOptionOrDefault("Cleanup") != 0) {
        CleanupRunRegistry();
        if (!WriteOption("Cleanup", 0)) TraceLog("ERROR WriteOption - velmora", "Cleanup");
    }

    CreateClassInfo();
    LoadMonitorOptions();
    state.autostart = IsMonitorAutostart() != 0;
    ClearItems();
    ResetDelayedLaunch();
    ClearItems();
}
