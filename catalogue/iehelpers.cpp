// Internet Explorer add-ons registered machine-wide: Browser Helper Objects,
// toolbars and extensions. Both programs list them from here and remove the
// ones the user rejects.
#include "catalogue/catalogue.h"

#include <iterator>

namespace {

constexpr int kClsidKeyLen = 512;
constexpr int kNameLen = 256;   // registry key names stop at 255 characters

constexpr int kTypeBho = 900;
constexpr int kTypeToolbar = 901;
constexpr int kTypeExtension = 902;
constexpr int kActionIeHelperRemove = 3;

// Title of the context-menu extensions that Internet Explorer itself carries in
// shdoclc.dll; their button texts are resource references, not readable names.
constexpr const char* kRelatedTitle = "Related";

// "CLSID\{...}" for an identifier that may come without its braces. False when
// the identifier does not fit, so a cut name never reaches the registry.
bool BuildClassKey(const char* identifier, char (&key)[kClsidKeyLen])
{
    int32_t result = identifier[0] == '{' ? StrFormatA(key, "CLSID\\%s", identifier)
                                          : StrFormatA(key, "CLSID\\{%s}", identifier);
    return result == 0;
}

// Walks the subkey or value names of an HKLM key by index, up to the count
// the key reported. A name that does not fit 255 characters is passed over.
template <class Fn>
void ForEachName(const char* keyPath, bool values, Fn&& fn)
{
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 0;
    DWORD valueCount = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                         &valueCount, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    const DWORD count = values ? valueCount : subkeys;
    if (count == 0) return;
    for (DWORD i = 0; i < count; ++i) {
        char name[kNameLen];
        DWORD size = kNameLen;
        LONG rc = values ? RegEnumValueA(key.get(), i, name, &size, nullptr, nullptr, nullptr,
                                         nullptr)
                         : RegEnumKeyExA(key.get(), i, name, &size, nullptr, nullptr, nullptr,
                                         nullptr);
        // A long name is passed over; any other failure (a key deleted
        // meanwhile fails every index from then on) ends the walk.
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        fn(name);
    }
}

// Title and detail of a server file: product name (else the file name) and
// product version.
void DescribeServer(const char* path, char (&title)[kTitleLen], VersionRecord& version)
{
    title[0] = 0;
    GetVersionStrings(path, &version);
    if (version.field[kProductName][0]) {
        StrCopy(title, version.field[kProductName]);
        return;
    }
    char fileName[MAX_PATH] = "";
    if (GetFileNamePart(path, fileName) > 0) StrCopy(title, fileName);
}

int AddBrowserHelper(const char* clsid)
{
    char key[kClsidKeyLen];
    if (StrFormatA(key, "CLSID\\%s\\InprocServer32", clsid) != 0) return 0;
    char path[kPathLen];
    if (ReadRegText(HKEY_CLASSES_ROOT, key, "", path) <= 0) return 0;
    char title[kTitleLen];
    VersionRecord version;
    DescribeServer(path, title, version);
    return AddItem(title, path, clsid, version.field[kProductVersion], kTypeBho, 0);
}

int AddToolbar(const char* clsid)
{
    // A toolbar whose class is not registered stays listed, with empty texts,
    // so the user still sees (and can remove) the dangling value.
    char className[kPathLen];
    char path[kPathLen];
    GetClsidServer(clsid, className, path);
    char title[kTitleLen];
    VersionRecord version;
    DescribeServer(path, title, version);
    return AddItem(title, path, clsid, version.field[kProductVersion], kTypeToolbar, 0);
}

int AddExtension(const char* name)
{
    char key[kClsidKeyLen];
    if (StrFormatA(key, "%s\\%s", kIEExtensionsKey, name) != 0) return 0;
    char buttonText[kPathLen];
    if (ReadRegText(HKEY_LOCAL_MACHINE, key, "ButtonText", buttonText) <= 0) return 0;
    char title[kTitleLen];
    StrCopy(title, ContainsNoCase(buttonText, "shdoclc.dll") ? kRelatedTitle : buttonText);

    char path[kPathLen];
    if (ReadRegText(HKEY_LOCAL_MACHINE, key, "Exec", path) <= 0)
        ReadRegText(HKEY_LOCAL_MACHINE, key, "script", path);
    char detail[kPathLen];
    if (ReadRegText(HKEY_LOCAL_MACHINE, key, "HotIcon", detail) <= 0) StrCopy(detail, path);

    char program[MAX_PATH] = "";
    if (path[0]) NormalizeProgramPath(path, program);
    VersionRecord version;
    if (program[0] && GetVersionStrings(program, &version)) StrCopy(title, version.field[kProductName]);
    return AddItem(title, path, name, detail, kTypeExtension, 0);
}

struct KindKey {
    int type;
    const char* key;
};

// Where each kind of add-on is registered, under HKEY_LOCAL_MACHINE.
constexpr KindKey kKindKeys[] = {
    {kTypeBho, kIEBrowserHelpersKey},
    {kTypeToolbar, kIEToolbarKey},
    {kTypeExtension, kIEExtensionsKey},
};
static_assert(std::size(kKindKeys) == 3);

// The key that holds the registration of an add-on of the given kind, as the
// history records it; null for types that are not add-ons.
const char* HelperKey(int type)
{
    for (const KindKey& kind : kKindKeys)
        if (kind.type == type) return kind.key;
    return nullptr;
}

// Deletes the registration once; keyPath receives the key the history names.
void DeleteRegistration(int type, const char* entryName, char (&keyPath)[kClsidKeyLen])
{
    if (type == kTypeToolbar) {
        StrFormatA(keyPath, "%s\\", kIEToolbarKey);
        DeleteRegValue(HKEY_LOCAL_MACHINE, keyPath, entryName);
        return;
    }
    // An empty or cut entry name would turn the path into the parent key and
    // take every other add-on of its kind with it.
    if (StrFormatA(keyPath, "%s\\%s", HelperKey(type), entryName) != 0 || !entryName[0]) return;
    LONG rc = RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath);
    if (rc != ERROR_SUCCESS) TraceLog("ERROR RegDeleteKey", keyPath);
}

// regsvr32 /u /s on the server file, without waiting. The path is quoted:
// unquoted, a path with blanks would reach regsvr32 as several file names,
// the first pieces of which could name other DLLs.
void Unregister(const char* path)
{
    if (!path[0]) return;
    char command[kPathLen + 32];
    if (StrFormatA(command, "regsvr32 /u /s \"%s\"", path) != 0) return;
    WinExec(command, SW_SHOW);
}

}  // namespace

int GetClsidServer(const char* identifier, char* name, char* path)
{
    name[0] = 0;
    path[0] = 0;
    if (!identifier) return 1;
    char key[kClsidKeyLen];
    if (!BuildClassKey(identifier, key)) return 1;
    ReadRegText(HKEY_CLASSES_ROOT, key, "", name, kPathLen);
    if (StrAppend(key, "\\InprocServer32") != 0) return 1;
    ReadRegText(HKEY_CLASSES_ROOT, key, "", path, kPathLen);
    return 1;
}

int BuildIEHelperList()
{
    ClearItems();
    int count = 0;
    ForEachName(kIEBrowserHelpersKey, false, [&](const char* name) { count += AddBrowserHelper(name); });
    ForEachName(kIEToolbarKey, true, [&](const char* name) { count += AddToolbar(name); });
    ForEachName(kIEExtensionsKey, false, [&](const char* name) { count += AddExtension(name); });
    return count;
}

int RemoveIEHelper(const char* path, int index)
{
    // Only an add-on may be removed here: on a list filled by another
    // catalogue the loop below would unregister unrelated files.
    const int type = GetItemType(index);
    if (!path || index < 0 || index >= ItemCount() || !HelperKey(type)) return 0;
    char entryName[kEntryLen];
    GetItemEntryName(index, entryName);
    char fileName[MAX_PATH] = "";
    if (GetFileNamePart(path, fileName) == 0) StrCopy(fileName, path);

    int deletions = 0;
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        char itemPath[kPathLen];
        GetItemPath(i, itemPath);
        if (lstrcmpiA(itemPath, path) != 0) continue;
        char keyPath[kClsidKeyLen];
        DeleteRegistration(type, entryName, keyPath);
        ++deletions;
        Unregister(itemPath);
        WriteHistory(fileName, path, keyPath, kTypeBho, kActionIeHelperRemove);
    }
    return deletions;
}
