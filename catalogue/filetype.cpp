// File type associations: which program opens each watched extension, the
// snapshot of the approved associations and putting one of them back.
#include "catalogue/catalogue.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

constexpr const char* kExtKey = "Software\\Corvath\\Velmora\\Ext";
constexpr const char* kExtAppKey = "Software\\Corvath\\Velmora\\ExtApp";
constexpr const char* kExtProgIdKey = "Software\\Corvath\\Velmora\\ExtProgID";
constexpr const char* kClassKey = "Software\\Corvath\\Velmora\\Class";
constexpr const char* kFileExtsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
constexpr const char* kMarker = "Do not edit.";
// Older builds wrote the marker without its full stop; such a snapshot is
// taken again.
constexpr size_t kOldMarkerLen = 11;
constexpr int kListLen = 1024;
constexpr int kTokenLen = 257;
constexpr size_t kListLimit = 1020;
constexpr int kTypeFiletype = 400;

struct KindStore {
    int kind;
    const char* storeKey;
};
constexpr KindStore kKindStores[] = {
    {kAssocMachineClass, kExtKey},
    {kAssocUserApplication, kExtAppKey},
    {kAssocUserProgId, kExtProgIdKey},
};
static_assert(std::size(kKindStores) == 3);

const char* StoreKeyOfKind(int kind)
{
    for (const KindStore& s : kKindStores)
        if (s.kind == kind) return s.storeKey;
    return nullptr;
}

// ".ext" from "ext" or ".ext"; 0 when it does not fit.
int DottedExtension(const char* extension, char (&out)[kTokenLen + 1])
{
    out[0] = '\0';
    if (!extension || !extension[0]) return 0;
    if (extension[0] != '.' && StrCopy(out, ".") != 0) return 0;
    return StrAppend(out, extension) == 0 && out[1] ? 1 : 0;
}

// The watched-extension list; -1 when a value is there but cannot be used
// as the list (too long for its buffer, or not text), so that callers never
// write a shortened list over it.
int ReadWatchedList(char (&list)[kListLen])
{
    const int length = ReadRegText(HKEY_CURRENT_USER, kClassKey, "", list);
    if (length >= 0) return length;
    return length == kRegTextUnusable ? -1 : 0;
}

// The initial list is the program's own (string 750 of its resources): a
// translation of the strings must not change which extensions are watched.
int LoadInitialList(char (&list)[kListLen])
{
    list[0] = '\0';
    return LoadStringA(GetModuleHandleA(nullptr), IDS_WATCHED_EXTENSIONS, list, kListLen);
}

// Splits the list into tokens (ending at ";" or at the end, at most 256
// characters each); returns the position behind the token, or null at the end.
const char* NextToken(const char* at, char (&token)[kTokenLen])
{
    token[0] = '\0';
    if (!at || !*at) return nullptr;
    size_t n = 0;
    while (*at && *at != ';') {
        if (n < kTokenLen - 1) token[n++] = *at;
        ++at;
    }
    token[n] = '\0';
    return *at == ';' ? at + 1 : at;
}

int IsWatched(const char* list, const char* bare)
{
    char token[kTokenLen];
    for (const char* at = NextToken(list, token); at; at = NextToken(at, token))
        if (token[0] && lstrcmpiA(token, bare) == 0) return 1;
    return 0;
}

// The registry key that holds the open command of a named association.
int CommandKey(int kind, const char* name, char (&out)[kTokenLen + 300])
{
    int32_t cut = VL_E_INVALIDARG;
    if (kind == kAssocMachineClass)
        cut = StrFormatA(out, "Software\\Classes\\%s\\shell\\open\\command", name);
    else if (kind == kAssocUserApplication)
        cut = StrFormatA(out, "Applications\\%s\\shell\\open\\command", name);
    else if (kind == kAssocUserProgId)
        cut = StrFormatA(out, "%s\\shell\\open\\command", name);
    return cut == 0 ? 1 : 0;
}

HKEY CommandRoot(int kind)
{
    return kind == kAssocMachineClass ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
}

// The text behind the last backslash (the whole text without one).
const char* FileNameOf(const char* command)
{
    const char* slash = strrchr(command, '\\');
    return slash ? slash + 1 : command;
}

// Title and entry name of a list entry: the class description and the
// class name, or the program's product name and file description when the
// class has no description.
void DescribeEntry(const char* name, const char* command, char (&title)[kDetailLen],
                   char (&entry)[kDetailLen])
{
    char classKey[kTokenLen + 300];
    title[0] = '\0';
    if (StrFormatA(classKey, "Software\\Classes\\%s", name) == 0)
        ReadRegText(HKEY_LOCAL_MACHINE, classKey, "", title);
    if (title[0]) {
        StrCopy(entry, name);
        return;
    }
    char program[kPathLen];
    NormalizeProgramPath(command, program);
    VersionRecord record;
    GetVersionStrings(program, &record);
    StrCopy(title, record.field[kProductName]);
    StrCopy(entry, record.field[kFileDescription]);
}

int AddAssociationEntries(const char* bare)
{
    char dotted[kTokenLen + 1];
    if (!DottedExtension(bare, dotted)) return 0;
    int added = 0;
    for (const KindStore& s : kKindStores) {
        char name[kPathLen];
        char command[kPathLen];
        if (!GetAssociation(dotted, name, command, s.kind)) continue;
        char title[kDetailLen];
        char entry[kDetailLen];
        DescribeEntry(name, command, title, entry);
        added += AddItem(title, command, entry, dotted, kTypeFiletype, s.kind);
    }
    return added;
}

void StoreListedAssociations()
{
    int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        char detail[kDetailLen];
        GetItemDetail(i, detail, kDetailLen);
        if (detail[0]) StoreAssociation(detail, GetItemFlag(i));
    }
}

// The stored name of an association: the snapshot value ".ext" of its kind.
int StoredName(const char* dotted, int kind, char (&name)[kPathLen])
{
    name[0] = '\0';
    const char* store = StoreKeyOfKind(kind);
    if (!store) return 0;
    return ReadRegText(HKEY_CURRENT_USER, store, dotted, name) > 0 ? 1 : 0;
}

}   // namespace

int GetAssociation(const char* extension, char* name, char* command, int kind)
{
    name[0] = '\0';
    command[0] = '\0';
    char dotted[kTokenLen + 1];
    if (!DottedExtension(extension, dotted)) return 0;
    char key[kTokenLen + 300];
    if (kind == kAssocMachineClass) {
        if (StrFormatA(key, "Software\\Classes\\%s", dotted) != 0) return 0;
        ReadRegText(HKEY_LOCAL_MACHINE, key, "", name, kPathLen);
    } else if (kind == kAssocUserApplication || kind == kAssocUserProgId) {
        if (StrFormatA(key, "%s%s", kFileExtsKey, dotted) != 0) return 0;
        ReadRegText(HKEY_CURRENT_USER, key, kind == kAssocUserApplication ? "Application" : "ProgID",
                 name, kPathLen);
    } else {
        return 0;
    }
    if (!name[0]) return 0;
    if (CommandKey(kind, name, key)) ReadRegText(CommandRoot(kind), key, "", command, kPathLen);
    return command[0] ? 1 : 0;
}

int StoreAssociation(const char* extension, int kind)
{
    const char* store = StoreKeyOfKind(kind);
    char dotted[kTokenLen + 1];
    if (!store || !DottedExtension(extension, dotted)) return 0;
    char name[kPathLen];
    char command[kPathLen];
    // Without a name the Class value would land on the key's default value,
    // which holds the watched-extension list.
    if (!GetAssociation(dotted, name, command, kind)) return 0;
    // Kept as written: a restore writes it back, and a program path or a
    // "%1" with blanks needs its quotes.
    int ok = SetRegValue(HKEY_CURRENT_USER, store, dotted, name);
    return SetRegValue(HKEY_CURRENT_USER, kClassKey, name, command) && ok;
}

int RestoreAssociation(const char* extension, int kind)
{
    char dotted[kTokenLen + 1];
    char name[kPathLen];
    if (!DottedExtension(extension, dotted) || !StoredName(dotted, kind, name)) return 0;
    char key[kTokenLen + 300];
    int ok = 0;
    if (kind == kAssocMachineClass) {
        if (StrFormatA(key, "Software\\Classes\\%s", dotted) != 0) return 0;
        ok = SetRegValue(HKEY_LOCAL_MACHINE, key, "", name);
    } else {
        if (StrFormatA(key, "%s%s", kFileExtsKey, dotted) != 0) return 0;
        ok = SetRegValue(HKEY_CURRENT_USER, key,
                         kind == kAssocUserApplication ? "Application" : "ProgID", name);
    }
    char command[kPathLen];
    if (ReadRegText(HKEY_CURRENT_USER, kClassKey, name, command) > 0 && CommandKey(kind, name, key))
        ok = SetRegValue(CommandRoot(kind), key, "", command) && ok;
    return ok;
}

int CheckAssociation(const char* extension, int kind, const char* currentProgram,
                     char* storedCommand)
{
    storedCommand[0] = '\0';
    char dotted[kTokenLen + 1];
    if (!DottedExtension(extension, dotted)) return 0;
    char name[kPathLen];
    // An empty stored name would read the Class default value, the list
    // itself; it means the association was never recorded.
    char written[kPathLen] = "";
    if (StoredName(dotted, kind, name)) ReadRegText(HKEY_CURRENT_USER, kClassKey, name, written);
    // Compared and shown without quotes, as records of older builds were kept.
    RemoveQuotes(written, storedCommand);
    if (!storedCommand[0] || ContainsNoCase(storedCommand, "AVI;BAT")) {
        StoreAssociation(dotted, kind);
        storedCommand[0] = '\0';
        return 0;
    }
    // The list's program path has every "=" turned into ":"; the stored
    // command must be read the same way, or a command with "=" in its
    // arguments would count as changed on every pass.
    char current[kPathLen];
    EqualsToColon(currentProgram, current);
    char stored[kPathLen];
    EqualsToColon(storedCommand, stored);
    return lstrcmpiA(FileNameOf(stored), FileNameOf(current)) != 0 ? 1 : 0;
}

int BuildFileTypeList()
{
    ClearItems();
    char list[kListLen];
    // Without a stored list (the scan runs before any monitor has started)
    // the initial one is read, never written: listing changes nothing.
    const int length = ReadRegText(HKEY_CURRENT_USER, kClassKey, "", list);
    if (length == kRegTextMissing)
        LoadInitialList(list);
    else if (length <= 0)
        return 0;
    int count = 0;
    char token[kTokenLen];
    for (const char* at = NextToken(list, token); at; at = NextToken(at, token))
        if (token[0]) count += AddAssociationEntries(token);
    return count;
}

int CreateClassInfo()
{
    TraceLog("CreateClassInfo", "filetype");
    char marker[kListLen];
    int markerLen = ReadRegText(HKEY_CURRENT_USER, kExtKey, "", marker);
    if (static_cast<size_t>(markerLen) == kOldMarkerLen) {
        BuildFileTypeList();
        StoreListedAssociations();
        SetRegValue(HKEY_CURRENT_USER, kExtKey, "", kMarker);
        return 0;
    }
    char list[kListLen];
    int listLen = ReadRegText(HKEY_CURRENT_USER, kClassKey, "", list);
    if (markerLen > 0 && listLen > 0) {
        for (int i = 0; i < 10 && list[i]; ++i)
            if (list[i] == ';') return 0;
    }
    for (const KindStore& s : kKindStores) CreateRegKey(HKEY_CURRENT_USER, s.storeKey);
    CreateRegKey(HKEY_CURRENT_USER, kClassKey);
    char initial[kListLen];
    LoadInitialList(initial);
    if (!initial[0] || !SetRegValue(HKEY_CURRENT_USER, kClassKey, "", initial))
        TraceLog("ERROR Creating REGCLASSKEY", initial);
    int count = BuildFileTypeList();
    StoreListedAssociations();
    SetRegValue(HKEY_CURRENT_USER, kExtKey, "", kMarker);
    return count;
}

int IsClassInUse(const char* name)
{
    int count = BuildFileTypeList();
    int used = 0;
    for (int i = 0; i < count && !used; ++i) {
        char entry[kEntryLen];
        GetItemEntryName(i, entry);
        if (lstrcmpiA(entry, name) == 0) used = 1;
        // A class without a description is listed under its program's file
        // description; its own name still counts.
        char detail[kDetailLen];
        char assoc[kPathLen];
        char command[kPathLen];
        GetItemDetail(i, detail, kDetailLen);
        if (!used && GetAssociation(detail, assoc, command, GetItemFlag(i)) &&
            lstrcmpiA(assoc, name) == 0)
            used = 1;
    }
    return used;
}

int AddWatchedExtension(const char* extension)
{
    const char* bare = extension && extension[0] == '.' ? extension + 1 : extension;
    if (!bare || !bare[0]) return 0;
    char list[kListLen];
    int listLen = ReadWatchedList(list);
    if (listLen < 0 || static_cast<size_t>(listLen) + strlen(bare) >= kListLimit)
        return IDS_FILETYPE_LIMIT;
    if (IsWatched(list, bare)) return IDS_FILETYPE_WATCHED;
    for (const KindStore& s : kKindStores) {
        char name[kPathLen];
        char command[kPathLen];
        if (GetAssociation(bare, name, command, s.kind)) StoreAssociation(bare, s.kind);
    }
    StrAppend(list, bare);
    StrAppend(list, ";");
    SetRegValue(HKEY_CURRENT_USER, kClassKey, "", list);
    return 0;
}

int RemoveWatchedExtension(const char* extension)
{
    const char* bare = extension && extension[0] == '.' ? extension + 1 : extension;
    if (!bare || !bare[0]) return 1;
    char list[kListLen];
    if (ReadWatchedList(list) >= 0) {
        char rebuilt[kListLen] = {};
        char token[kTokenLen];
        for (const char* at = NextToken(list, token); at; at = NextToken(at, token)) {
            if (!token[0] || lstrcmpiA(token, bare) == 0) continue;
            StrAppend(rebuilt, token);
            StrAppend(rebuilt, ";");
        }
        SetRegValue(HKEY_CURRENT_USER, kClassKey, "", rebuilt);
    }
    char dotted[kTokenLen + 1];
    char name[kPathLen];
    if (!DottedExtension(bare, dotted) || !StoredName(dotted, kAssocMachineClass, name)) return 1;
    SetRegValue(HKEY_CURRENT_USER, kExtKey, dotted, "");
    DeleteRegValue(HKEY_CURRENT_USER, kExtKey, dotted);
    if (!IsClassInUse(name)) {
        SetRegValue(HKEY_CURRENT_USER, kClassKey, name, "");
        DeleteRegValue(HKEY_CURRENT_USER, kClassKey, name);
    }
    return 1;
}

int GetProgramFromCommand(const char* command, char* text)
{
    text[0] = '\0';
    if (lstrcmpiA(command, "%1 %*") == 0 || lstrcmpiA(command, "%1 /S") == 0)
        return LoadLocalizedString(IDS_EXECUTABLE, text, kPathLen);
    if (!command[0]) return LoadLocalizedString(IDS_NO_ASSOCIATED_FILE, text, kPathLen);
    const char* program = command;
    if (ContainsNoCase(command, "RUNDLL32.EXE")) {
        // The DLL that RUNDLL32 loads is the program that opens the file.
        constexpr size_t kRundllWord = 13;   // "RUNDLL32.EXE "
        size_t length = strlen(command);
        for (size_t i = 0; i + 8 <= length; ++i) {
            if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, command + i, 8, "RUNDLL32", 8) ==
                CSTR_EQUAL) {
                program = i + kRundllWord <= length ? command + i + kRundllWord : command + length;
                break;
            }
        }
    }
    char normal[kPathLen];
    NormalizeProgramPath(program, normal);
    StrCopy(text, kPathLen, FileNameOf(normal));
    return static_cast<int>(strlen(text));
}

int GetExtensionIcon(const char* extension, char* iconPath, int* iconIndex, int kind)
{
    iconPath[0] = '\0';
    *iconIndex = 0;
    char dotted[kTokenLen + 1];
    if (!DottedExtension(extension, dotted)) return 0;
    char name[kPathLen];
    char command[kPathLen];
    GetAssociation(dotted, name, command, kind);
    char key[kTokenLen + 300];
    char className[kPathLen];
    char icon[kPathLen] = {};
    if (StrFormatA(key, "Software\\Classes\\%s", dotted) == 0 &&
        ReadRegText(HKEY_LOCAL_MACHINE, key, "", className) > 0 &&
        StrFormatA(key, "Software\\Classes\\%s\\DefaultIcon", className) == 0)
        ReadRegText(HKEY_LOCAL_MACHINE, key, "", icon);
    char* comma = strrchr(icon, ',');
    if (comma) {
        *comma = '\0';
        *iconIndex = atoi(comma + 1);
        RemoveQuotes(icon, iconPath);
    } else {
        RemoveQuotes(command, iconPath);
    }
    return iconPath[0] ? 1 : 0;
}
