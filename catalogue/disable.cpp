// Disabling, enabling and removing autostart entries. A disabled entry keeps
// its command line in the disabled store and a marker under its title; the
// marker is the one shared fact both programs go by.
#include "catalogue/catalogue.h"

#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

constexpr const char* kApprovedRunKey = "Software\\Corvath\\Velmora\\Run";
constexpr const char* kWinlogonKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kNotifyKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\";
constexpr const char* kWindowsNtKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr const char* kAppInitValue = "AppInit_Dlls";
constexpr const char* kProductWord = "Velmora";

constexpr int kCodeStartupGroup = 200;
constexpr int kCodeUserinit = 250;
constexpr int kCodeShell = 251;
constexpr int kCodeAppInit = 255;
constexpr int kCodeNotify = 256;

// History action codes written by this file.
constexpr int kActionRemove = 0;
constexpr int kActionResetUserinit = 21;
constexpr int kActionResetShell = 22;

// Hook registrations removed by value: codes 252-254. DelayLoad values are
// named by the entry's title, the other two by its class identifier.
struct HookLocation {
    int code;
    const char* key;
    int action;
    bool byTitle;
};
constexpr HookLocation kHookLocations[] = {
    {252, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad", 24, true},
    {253, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler", 23, false},
    {254, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks", 25, false},
};
static_assert(std::size(kHookLocations) == 3);

const HookLocation* FindHookLocation(int code)
{
    for (const HookLocation& h : kHookLocations)
        if (h.code == code) return &h;
    return nullptr;
}

// win.ini lists are read into this many characters. A list that fills the
// buffer may have been cut by GetProfileStringA, so it is never written back.
constexpr int kWinListLen = 1024;
// AppInit_Dlls is read as text of at most this many characters.
constexpr DWORD kAppInitLen = 1024;

RegRemovalConfirm g_confirm = nullptr;

// The approved snapshot names programs with "=" replaced by ":".
void ApprovalName(const char* program, char (&name)[1024])
{
    StrCopy(name, program);
    ReplaceChar(name, '=', ':');
}

void Approve(const char* program, int code)
{
    char name[1024];
    char data[16];
    ApprovalName(program, name);
    StrFormatA(data, "%d", code);
    SetRegValue(HKEY_CURRENT_USER, kApprovedRunKey, name, data);
}

void Unapprove(const char* program)
{
    char name[1024];
    ApprovalName(program, name);
    DeleteRegValue(HKEY_CURRENT_USER, kApprovedRunKey, name);
}

int WriteMarker(const char* title, int code)
{
    char data[16];
    StrFormatA(data, "%d", code);
    return SetRegValue(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, title, data);
}

int DeleteMarker(const char* title)
{
    return DeleteRegValue(HKEY_LOCAL_MACHINE, kDisabledMarkerKey, title);
}

// Writes the store copy and the marker of a disabled entry; the entry may
// leave its location only when both are there. A half-written pair is taken
// back.
int ParkCopy(const char* title, const char* command, int code, const char* store)
{
    if (CreateRegKey(HKEY_LOCAL_MACHINE, store) &&
        SetRegValue(HKEY_LOCAL_MACHINE, store, title, command) && WriteMarker(title, code))
        return 1;
    DeleteRegValue(HKEY_LOCAL_MACHINE, store, title);
    DeleteMarker(title);
    return 0;
}

void UnparkCopy(const char* title, const char* store)
{
    DeleteRegValue(HKEY_LOCAL_MACHINE, store, title);
    DeleteMarker(title);
}

// Copies a text value with its type and exact bytes: a command parked and
// put back must not lose its quotes, its short names or its unexpanded
// "%variables%". 0 when the source is missing or not text, or the write fails.
int CopyTextValue(HKEY fromRoot, const char* fromKey, const char* fromName, HKEY toRoot,
                  const char* toKey, const char* toName)
{
    char text[kRegTextMax];
    DWORD type = REG_NONE;
    if (ReadRegText(fromRoot, fromKey, fromName, text, kRegTextRaw, &type) < 0) return 0;
    if (!CreateRegKey(toRoot, toKey)) return 0;
    UniqueKey key;
    if (RegOpenKeyExA(toRoot, toKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return 0;
    const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
    return RegSetValueExA(key.get(), toName, 0, type, reinterpret_cast<const BYTE*>(text), size) ==
                   ERROR_SUCCESS
               ? 1
               : 0;
}

// Copies the next piece of a list, ending at any of `separators`, and steps
// past it; empty pieces are skipped. 0 when the list is used up.
template <size_t N>
int NextPiece(const char*& cursor, const char* separators, char (&piece)[N])
{
    while (*cursor && std::strchr(separators, *cursor)) ++cursor;
    if (!*cursor) return 0;
    size_t length = std::strcspn(cursor, separators);
    size_t copied = length < N - 1 ? length : N - 1;
    std::memcpy(piece, cursor, copied);
    piece[copied] = 0;
    cursor += length;
    return 1;
}

// --- win.ini lists ---------------------------------------------------------

void ClearWinIniReadOnly()
{
    char path[MAX_PATH + 16];
    UINT n = GetWindowsDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    StrAppend(path, "\\win.ini");
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

const char* WinListKey(int code)
{
    return code == 100 ? "load" : "run";
}

// -1 when the list fills the buffer (it may have been cut).
int ReadWinList(const char* key, char (&out)[kWinListLen])
{
    DWORD n = GetProfileStringA("windows", key, "", out, kWinListLen);
    return n >= static_cast<DWORD>(kWinListLen - 1) ? -1 : static_cast<int>(n);
}

// The first piece of a list that is the entry `command`: written as it is,
// or in a form the list shows as the same path (quotes, short names). 1 and
// the piece as written, else 0.
int FindWinPiece(const char* key, const char* command, char (&piece)[kWinListLen])
{
    piece[0] = 0;
    char list[kWinListLen];
    if (!command[0] || ReadWinList(key, list) < 0) return 0;
    for (const char* cursor = list; NextPiece(cursor, ";", piece);)
        if (SameListedPath(piece, command)) return 1;
    piece[0] = 0;
    return 0;
}

// Rewrites a list without every piece that is the entry `command`; the first
// one dropped goes to `removed` as it was written. 0, and nothing written,
// when no piece matched or the list may have been cut.
int RemoveFromWinList(const char* key, const char* command, char (&removed)[kWinListLen])
{
    removed[0] = 0;
    char list[kWinListLen];
    if (ReadWinList(key, list) < 0) {
        TraceLog(key, "win.ini list too long to rewrite");
        return 0;
    }
    char kept[kWinListLen] = "";
    char piece[kWinListLen];
    for (const char* cursor = list; NextPiece(cursor, ";", piece);) {
        if (command[0] && SameListedPath(piece, command)) {
            if (!removed[0]) StrCopy(removed, piece);
            continue;
        }
        StrAppend(kept, piece);
        StrAppend(kept, ";");
    }
    if (!removed[0]) {
        TraceLog(command, "win.ini list does not hold the entry");
        return 0;
    }
    ClearWinIniReadOnly();
    return WriteProfileStringA("windows", key, kept) ? 1 : 0;
}

int AppendToWinList(const char* key, const char* command)
{
    if (!command[0]) return 0;
    char list[kWinListLen];
    if (ReadWinList(key, list) < 0) {
        TraceLog(key, "win.ini list too long to append to");
        return 0;
    }
    if (StrAppend(list, ";") != 0 || StrAppend(list, command) != 0) {
        TraceLog(command, "win.ini list would be cut");
        return 0;
    }
    ClearWinIniReadOnly();
    return WriteProfileStringA("windows", key, list) ? 1 : 0;
}

// --- Startup folders and the "Disabled" folder -----------------------------

int GetDisabledFolder(char (&out)[MAX_PATH])
{
    char folder[MAX_PATH];
    if (GetProgramFolder(folder) == 0) return 0;
    if (StrFormatA(out, "%s\\Disabled", folder) != 0) return 0;
    return 1;
}

// Folder part of a path without its trailing backslash; 0 when there is none.
int FolderOf(const char* path, char (&out)[MAX_PATH])
{
    if (StrCopy(out, path) != 0) return 0;
    char* slash = std::strrchr(out, '\\');
    if (!slash) return 0;
    *slash = 0;
    return 1;
}

// The folder the enable step moves a parked file back to.
int GetStartupTarget(char (&out)[MAX_PATH])
{
    if (GetRegValue(HKEY_CURRENT_USER, kShellFoldersKey, "Startup", out) > 0) return 1;
    if (GetRegValue(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Startup", out) > 0) return 1;
    if (GetRegValue(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Common Startup", out) > 0) return 1;
    return 0;
}

bool SameFolder(const char* a, const char* b)
{
    char la[MAX_PATH];
    char lb[MAX_PATH];
    GetLongPath(la, a);
    GetLongPath(lb, b);
    RemoveBackslash(la, 1);
    RemoveBackslash(lb, 1);
    return la[0] && lstrcmpiA(la, lb) == 0;
}

// Removal deletes files only where startup entries live: directly inside a
// Startup folder or the "Disabled" folder. A command that names a program
// elsewhere is the program itself, never the entry.
bool IsEntryFile(const char* path)
{
    char folder[MAX_PATH];
    if (!FolderOf(path, folder)) return false;
    char candidate[MAX_PATH];
    if (GetDisabledFolder(candidate) && SameFolder(folder, candidate)) return true;
    const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS};
    const char* names[] = {"Startup", "Common Startup"};
    for (HKEY root : roots)
        for (const char* name : names)
            if (GetRegValue(root, kShellFoldersKey, name, candidate) > 0 &&
                SameFolder(folder, candidate))
                return true;
    return false;
}

int DeleteEntryFile(const char* path)
{
    if (!path[0] || !IsEntryFile(path)) {
        TraceLog(path, "DeleteRunProgram - not a startup folder file");
        return 0;
    }
    return DeleteFileForced(path);
}

bool IsGone(const char* path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// 1 when the entry's own file (or its parked copy) was deleted or had already
// vanished; 0 when it was refused or stays.
int RemoveStartupFile(const char* file, bool disabled)
{
    if (DeleteEntryFile(file)) return 1;
    char folder[MAX_PATH];
    char name[MAX_PATH];
    char parked[MAX_PATH];
    if (disabled && GetDisabledFolder(folder) && GetFileNamePart(file, name) > 0 &&
        StrFormatA(parked, "%s\\%s", folder, name) == 0) {
        if (DeleteEntryFile(parked)) return 1;
        if (!IsGone(parked)) return 0;
    }
    return IsEntryFile(file) && IsGone(file) ? 1 : 0;
}

int ParkStartupFile(const char* title, const char* entryName)
{
    char folder[MAX_PATH];
    char name[MAX_PATH];
    char target[MAX_PATH];
    if (!GetDisabledFolder(folder)) return 0;
    CreateDirectoryA(folder, nullptr);
    if (GetFileNamePart(entryName, name) == 0) StrCopy(name, entryName);
    if (StrFormatA(target, "%s\\%s", folder, name) != 0) return 0;
    // A file that could not be moved still starts: marking it would show as
    // disabled an entry that is not, and leave a marker no enable can clear.
    if (!MoveFileA(entryName, target)) {
        TraceLog(entryName, "DisableRunProgram - move failed");
        return 0;
    }
    if (!WriteMarker(title, kCodeStartupGroup)) {
        MoveFileA(target, entryName);
        return 0;
    }
    return 1;
}

int UnparkStartupFile(const char* title, const char* entryName)
{
    char name[MAX_PATH];
    char startup[MAX_PATH];
    char folder[MAX_PATH];
    char source[MAX_PATH];
    char target[MAX_PATH];
    if (GetFileNamePart(entryName, name) == 0) StrCopy(name, entryName);
    // Without a Startup folder the file stays parked: nothing was enabled.
    if (!GetStartupTarget(startup)) return 0;
    if (!GetDisabledFolder(folder)) return 0;
    if (StrFormatA(source, "%s\\%s", folder, name) != 0) return 0;
    if (StrFormatA(target, "%s\\%s", startup, name) != 0) return 0;
    // The marker stays while the file is still parked, so the entry keeps
    // showing as disabled instead of vanishing from both lists.
    if (!MoveFileA(source, target)) {
        TraceLog(source, "DisableRunProgram - move back failed");
        return 0;
    }
    DeleteMarker(title);
    return 1;
}

// A removed Startup-folder entry comes back as a shortcut to its program,
// started in the program's own folder.
int RecreateShortcut(const char* linkPath, const char* target, const char* description)
{
    if (!linkPath[0] || !target[0]) return 0;
    char folder[MAX_PATH] = "";
    GetFileFolder(target, folder);
    return SUCCEEDED(CreateShortcut(linkPath, target, "", folder, description, target, 0)) ? 1 : 0;
}

// --- Run-type keys ---------------------------------------------------------

// The entry's own data, exact bytes and type, goes to the store before the
// entry leaves its key, so a failed step never loses the command line.
int DisableRunEntry(const char* title, int code, HKEY root, const char* key, const char* store)
{
    if (!CopyTextValue(root, key, title, HKEY_LOCAL_MACHINE, store, title)) return 0;
    if (!WriteMarker(title, code) || !DeleteRegValue(root, key, title)) {
        UnparkCopy(title, store);
        return 0;
    }
    return 1;
}

// The parked copy is the entry as it was written; the listed command, which
// has lost its quotes, only stands in for a copy that has gone.
int EnableRunEntry(const char* title, const char* command, HKEY root, const char* key,
                   const char* store)
{
    if (!CopyTextValue(HKEY_LOCAL_MACHINE, store, title, root, key, title) &&
        !(command[0] && SetRegValue(root, key, title, command)))
        return 0;
    DeleteRegValue(HKEY_LOCAL_MACHINE, store, title);
    return DeleteMarker(title);
}

// --- Whose marker ------------------------------------------------------------

enum class Parking { kActive, kThis, kOther };

const char* StoreOf(int code)
{
    const char* store = nullptr;
    if (GetRunLocation(code, nullptr, nullptr, &store)) return store;
    return GetDisabledStoreKey(code);
}

bool IsParkedFile(const char* file)
{
    char folder[MAX_PATH];
    char disabled[MAX_PATH];
    if (!GetDisabledFolder(disabled)) return false;
    if (FolderOf(file, folder) && SameFolder(folder, disabled)) return true;
    // Named where it used to be: parked when it left for the "Disabled" folder.
    char name[MAX_PATH];
    char parked[MAX_PATH];
    return GetFileNamePart(file, name) > 0 && StrFormatA(parked, "%s\\%s", disabled, name) == 0 &&
           IsGone(file) && !IsGone(parked);
}

// A title names one parked entry. The marker is this entry's when it holds
// this entry's code and the parked copy is this entry's command; otherwise
// it belongs to another entry of the same title (another root, another
// piece of the same list) and must not be touched.
Parking ParkingOf(const char* title, const char* command, const char* entryName, int code)
{
    if (!title[0] || !IsDisabledEntry(title)) return Parking::kActive;
    if (GetDisabledCode(title) != code) return Parking::kOther;
    if (code == kCodeStartupGroup)
        return IsParkedFile(entryName[0] ? entryName : command) ? Parking::kThis : Parking::kOther;
    const char* store = StoreOf(code);
    char stored[kRegTextMax];
    // A marker without its copy has nothing another entry could lose.
    if (!store || ReadRegText(HKEY_LOCAL_MACHINE, store, title, stored, kRegTextRaw) < 0)
        return Parking::kThis;
    return SameListedPath(stored, command) ? Parking::kThis : Parking::kOther;
}

// --- Winlogon Notify -------------------------------------------------------

int NotifyKey(const char* name, char (&out)[MAX_PATH])
{
    if (!name[0] || std::strchr(name, '\\')) return 0;
    return StrFormatA(out, "%s%s", kNotifyKey, name) == 0 ? 1 : 0;
}

// Moves one value's text to another and empties the first. Nothing moves
// when the source is empty: a second disable must not wipe the parked name.
// The data travels raw with its type, so "%SystemRoot%" names stay
// unexpanded REG_EXPAND_SZ across a disable and enable.
int MoveNotifyValue(const char* name, const char* from, const char* to)
{
    char key[MAX_PATH];
    if (!NotifyKey(name, key)) return 0;
    UniqueKey k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, k.put()) !=
        ERROR_SUCCESS)
        return 0;
    char value[MAX_PATH];
    DWORD type = REG_NONE;
    if (QueryRegText(k.get(), from, value, kRegTextRaw, &type) <= 0) return 0;
    const DWORD length = static_cast<DWORD>(std::strlen(value) + 1);
    if (RegSetValueExA(k.get(), to, 0, type, reinterpret_cast<const BYTE*>(value), length) !=
        ERROR_SUCCESS)
        return 0;
    return RegSetValueExA(k.get(), from, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1) ==
                   ERROR_SUCCESS
               ? 1
               : 0;
}

int RemoveHookValue(const HookLocation& hook, const char* title, const char* entryName)
{
    return DeleteRegValue(HKEY_LOCAL_MACHINE, hook.key, hook.byTitle ? title : entryName);
}

}   // namespace

// ---------------------------------------------------------------------------

void SetRegRemovalConfirm(RegRemovalConfirm confirm)
{
    g_confirm = confirm;
}

int ConfirmRegRemovalBox(HWND window, const char*, const char*)
{
    char text[1024];
    LoadLocalizedString(IDS_KEY_LOCATION_REMOVE, text);
    int answer = MessageBoxExA(window, text, GetAppCaption(),
                               MB_YESNO | MB_DEFBUTTON2 | MB_ICONSTOP | MB_TOPMOST,
                               static_cast<WORD>(MessageLanguageId()));
    return answer == IDYES ? 1 : 0;
}

int DisableNotify(const char* name)
{
    return MoveNotifyValue(name, "DLLName", "OldName");
}

int EnableNotify(const char* name)
{
    return MoveNotifyValue(name, "OldName", "DLLName");
}

int RemoveAppInitDll(const char* path)
{
    char list[kAppInitLen];
    if (!path[0] ||
        ReadRegText(HKEY_LOCAL_MACHINE, kWindowsNtKey, kAppInitValue, list, kRegTextRaw) < 0)
        return 0;
    char longPath[MAX_PATH];
    GetLongPath(longPath, path);
    char kept[kAppInitLen] = "";
    char piece[kAppInitLen];
    bool removed = false;
    for (const char* cursor = list; NextPiece(cursor, ", ", piece);) {
        char pieceLong[MAX_PATH];
        GetLongPath(pieceLong, piece);
        if (lstrcmpiA(pieceLong, path) == 0 || lstrcmpiA(pieceLong, longPath) == 0) {
            removed = true;
            continue;
        }
        if (kept[0]) StrAppend(kept, ",");
        StrAppend(kept, piece);
    }
    // Nothing to drop: the value stays as the user wrote it.
    if (!removed) return 0;
    return SetRegValue(HKEY_LOCAL_MACHINE, kWindowsNtKey, kAppInitValue, kept);
}

int AddAppInitDll(const char* path)
{
    if (!path[0]) return 0;
    char list[kAppInitLen];
    if (ReadRegText(HKEY_LOCAL_MACHINE, kWindowsNtKey, kAppInitValue, list, kRegTextRaw) ==
        kRegTextUnusable)
        return 0;
    char shortPath[MAX_PATH];
    DWORD n = GetShortPathNameA(path, shortPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) StrCopy(shortPath, path);
    if ((list[0] && StrAppend(list, ",") != 0) || StrAppend(list, shortPath) != 0) return 0;
    return SetRegValue(HKEY_LOCAL_MACHINE, kWindowsNtKey, kAppInitValue, list);
}

int DisableRunProgram(const char* title, const char* command, const char* entryName, int code)
{
    TraceLog(command, "DisableRunProgram -  findrun");
    // An empty title would name the default value of the key.
    if (!title[0]) return 0;
    const Parking parking = ParkingOf(title, command, entryName, code);
    if (parking == Parking::kOther) {
        TraceLog(title, "DisableRunProgram - title parked for another entry");
        return 0;
    }
    const bool enable = parking == Parking::kThis;
    HKEY root = nullptr;
    const char* key = nullptr;
    const char* store = nullptr;
    if (GetRunLocation(code, &root, &key, &store)) {
        return enable ? EnableRunEntry(title, command, root, key, store)
                      : DisableRunEntry(title, code, root, key, store);
    }
    if (code == 100 || code == 101) {
        store = GetDisabledStoreKey(code);
        if (enable) {
            char stored[kWinListLen];
            const bool parked =
                ReadRegText(HKEY_LOCAL_MACHINE, store, title, stored, kRegTextRaw) > 0;
            if (!AppendToWinList(WinListKey(code), parked ? stored : command)) return 0;
            DeleteMarker(title);
            DeleteRegValue(HKEY_LOCAL_MACHINE, store, title);
            return 1;
        }
        // The piece as the list holds it is parked, so that it comes back
        // exactly; a piece that cannot be found is not marked as disabled.
        char piece[kWinListLen];
        if (!FindWinPiece(WinListKey(code), command, piece)) return 0;
        // The lists are the user's, the store the machine's: a user who may
        // not write the store keeps the entry in its list.
        if (!ParkCopy(title, piece, code, store)) return 0;
        char removed[kWinListLen];
        if (!RemoveFromWinList(WinListKey(code), piece, removed)) {
            UnparkCopy(title, store);
            return 0;
        }
        return 1;
    }
    if (code == kCodeStartupGroup) {
        // A file listed by itself has no entry name: the command is the file.
        const char* file = entryName[0] ? entryName : command;
        if (enable) return UnparkStartupFile(title, file);
        if (!file[0]) return 0;
        return ParkStartupFile(title, file);
    }
    if (code == kCodeNotify) {
        store = GetDisabledStoreKey(code);
        if (enable) {
            // Nothing moved back: the parked DLL path is all that is left.
            if (!EnableNotify(title)) return 0;
            DeleteMarker(title);
            DeleteRegValue(HKEY_LOCAL_MACHINE, store, title);
            return 1;
        }
        if (!ParkCopy(title, command, code, store)) return 0;
        // A package with nothing to park is not shown as disabled.
        if (!DisableNotify(title)) {
            UnparkCopy(title, store);
            return 0;
        }
        Approve(command, code);
        return 1;
    }
    return 0;
}

int GetEntryCommand(const char* title, const char* command, int code, int flag, char* out)
{
    constexpr int kOutLen = 1024;
    out[0] = 0;
    HKEY root = nullptr;
    const char* key = nullptr;
    if (GetRunLocation(code, &root, &key, nullptr)) {
        char data[kRegTextMax];
        if (!title[0] || ReadRegText(root, key, title, data, kRegTextRaw) <= 0) return 0;
        const char* text = data;
        if (flag == 1) {
            // The list shows what follows "RUNDLL32.EXE" and its blank.
            for (const char* at = data; *at; ++at) {
                if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, at, 12, "RUNDLL32.EXE", 12) ==
                    CSTR_EQUAL) {
                    text = at[12] ? at + 13 : at + 12;
                    break;
                }
            }
        }
        return StrCopy(out, kOutLen, text) == 0 ? 1 : (out[0] = 0, 0);
    }
    if (code == 100 || code == 101) {
        char piece[kWinListLen];
        if (!FindWinPiece(WinListKey(code), command, piece)) return 0;
        return StrCopy(out, kOutLen, piece) == 0 ? 1 : (out[0] = 0, 0);
    }
    return StrCopy(out, kOutLen, command) == 0 ? 1 : (out[0] = 0, 0);
}

int ReparkRunEntry(const char* title, int code)
{
    HKEY root = nullptr;
    const char* key = nullptr;
    const char* store = nullptr;
    if (!title[0] || !GetRunLocation(code, &root, &key, &store) || GetDisabledCode(title) != code)
        return 0;
    TraceLog(title, "ReparkRunEntry - findrun");
    // The command that came back replaces the parked one: it is what the
    // program wants to start now.
    if (!CopyTextValue(root, key, title, HKEY_LOCAL_MACHINE, store, title)) return 0;
    return DeleteRegValue(root, key, title);
}

int DeleteRunProgram(const char* title, const char* command, const char* entryName, int code)
{
    TraceLog(command, "DeleteRunProgram -  findrun");
    const bool disabled = ParkingOf(title, command, entryName, code) == Parking::kThis;
    int result = 0;
    // The history keeps the entry as it was written, so that its restore
    // brings back the same bytes.
    char written[kRegTextMax] = "";
    HKEY root = nullptr;
    const char* key = nullptr;
    const char* store = nullptr;
    if (GetRunLocation(code, &root, &key, &store)) {
        if (disabled) {
            ReadRegText(HKEY_LOCAL_MACHINE, store, title, written, kRegTextRaw);
            DeleteRegValue(HKEY_LOCAL_MACHINE, store, title);
            result = DeleteMarker(title);
        } else if (title[0]) {
            ReadRegText(root, key, title, written, kRegTextRaw);
            result = DeleteRegValue(root, key, title);
        }
    } else if (code == 100 || code == 101) {
        if (disabled) {
            ReadRegText(HKEY_LOCAL_MACHINE, GetDisabledStoreKey(code), title, written, kRegTextRaw);
            result = DeleteMarker(title);
            DeleteRegValue(HKEY_LOCAL_MACHINE, GetDisabledStoreKey(code), title);
        }
        char removed[kWinListLen];
        if (RemoveFromWinList(WinListKey(code), command, removed)) {
            if (!written[0]) StrCopy(written, removed);
            result = 1;
        }
    } else if (code == kCodeStartupGroup) {
        result = RemoveStartupFile(entryName[0] ? entryName : command, disabled);
        // The marker goes only with the file, so a parked file that stays
        // keeps showing as disabled.
        if (result && disabled) DeleteMarker(title);
    } else if (code >= kCodeUserinit && code <= kCodeAppInit) {
        return DeleteRegProgram(nullptr, title, command, entryName, code);
    } else {
        return 0;
    }
    // A removal that found nothing to remove is not recorded as one, and
    // the entry keeps its approval.
    if (!result) return 0;
    const char* recorded = written[0] ? written : command;
    if (!ContainsNoCase(command, kProductWord) && !ContainsNoCase(recorded, kProductWord))
        WriteHistory(title, recorded, entryName, code, kActionRemove);
    Unapprove(command);
    if (title[0]) Unapprove(title);
    return result;
}

int DeleteRegProgram(HWND window, const char* title, const char* command, const char* entryName,
                     int code)
{
    TraceLog(command, "DeleteRegProgram -  findrun");
    if (code == kCodeUserinit) {
        char text[MAX_PATH + 32];
        UINT n = GetSystemDirectoryA(text, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return 0;
        StrAppend(text, "\\Userinit.exe,");
        if (!SetRegValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "Userinit", text)) return 0;
        Approve(text, code);
        WriteHistory(title, command, entryName, code, kActionResetUserinit);
        return 1;
    }
    if (code == kCodeShell) {
        if (!SetRegValue(HKEY_LOCAL_MACHINE, kWinlogonKey, "Shell", "Explorer.exe")) return 0;
        Approve("Explorer.exe", code);
        WriteHistory(title, command, entryName, code, kActionResetShell);
        return 1;
    }
    const HookLocation* hook = FindHookLocation(code);
    if (!hook && code != kCodeAppInit) return 0;
    RegRemovalConfirm confirm = g_confirm ? g_confirm : ConfirmRegRemovalBox;
    if (!confirm(window, title, command)) return 0;
    int removed = hook ? RemoveHookValue(*hook, title, entryName) : RemoveAppInitDll(command);
    if (!removed) return 0;
    Unapprove(command);
    WriteHistory(title, command, entryName, code, hook ? hook->action : kActionRemove);
    return 1;
}

int RestoreRunProgram(const char* title, const char* command, const char* entryName, int code)
{
    HKEY root = nullptr;
    const char* key = nullptr;
    const char* store = nullptr;
    int done = 0;
    if (GetRunLocation(code, &root, &key, &store)) {
        // Another command under that title is an entry of its own: the
        // restore must not write over it.
        char current[kRegTextMax];
        const int found = ReadRegText(root, key, title, current, kRegTextRaw);
        if (!title[0])
            done = 0;
        else if (found == kRegTextMissing)
            done = SetRegValue(root, key, title, command);
        else
            done = found >= 0 && lstrcmpiA(current, command) == 0 ? 1 : 0;
    } else if (code == 100 || code == 101) {
        done = AppendToWinList(WinListKey(code), command);
    } else if (code == kCodeStartupGroup) {
        done = RecreateShortcut(entryName, command, title);
    } else if (code == kCodeAppInit) {
        done = AddAppInitDll(command);
    } else if (code == kCodeNotify) {
        done = EnableNotify(title);
    } else if (const HookLocation* hook = FindHookLocation(code)) {
        done = hook->byTitle ? SetRegValue(HKEY_LOCAL_MACHINE, hook->key, title, entryName)
                             : SetRegValue(HKEY_LOCAL_MACHINE, hook->key, entryName, title);
    }
    if (done) Approve(command, code);
    return done;
}
