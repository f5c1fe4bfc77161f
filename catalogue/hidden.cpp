// Hidden files watch: hidden files in the folders where unwanted software
// likes to hide, and the vault into which a rejected one is moved.
#include "catalogue/catalogue.h"

#include <cstring>
#include <iterator>

namespace {

constexpr int kTypeHidden = 370;
constexpr int kActionHiddenDelete = 29;

struct WatchedFolder {
    int which;
    int depth;
};
enum { kDriveRoot, kWindowsFolder, kSystemFolder, kCommonFiles, kTempFolder };
constexpr WatchedFolder kWatchedFolders[] = {
    {kDriveRoot, 0}, {kWindowsFolder, 0}, {kSystemFolder, 1}, {kCommonFiles, 1}, {kTempFolder, 1},
};
static_assert(std::size(kWatchedFolders) == 5);

// The folder to walk; 0 when it is not known on this machine.
int WatchedFolderPath(int which, char (&out)[kPathLen])
{
    out[0] = '\0';
    switch (which) {
    case kDriveRoot:
        StrCopy(out, "C:\\");
        break;
    case kWindowsFolder:
        if (GetWindowsDirectoryA(out, kPathLen) >= static_cast<UINT>(kPathLen)) out[0] = '\0';
        break;
    case kSystemFolder:
        if (GetSystemDirectoryA(out, kPathLen) >= static_cast<UINT>(kPathLen)) out[0] = '\0';
        break;
    case kCommonFiles:
        GetRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                    "CommonFilesDir", out);
        break;
    case kTempFolder:
        if (GetTempPathA(kPathLen, out) >= static_cast<DWORD>(kPathLen)) out[0] = '\0';
        RemoveBackslash(out, 1);
        break;
    default:
        break;
    }
    return out[0] ? 1 : 0;
}

// A short stable mark of a full path, the same for every spelling of its case
// (FNV-1a over the upper-cased path).
DWORD PathMark(const char* path)
{
    char upper[kPathLen];
    StrCopy(upper, path);
    CharUpperA(upper);
    DWORD hash = 2166136261u;
    for (const char* c = upper; *c; ++c) hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619u;
    return hash;
}

// The vault folder ("vault" in the data folder), created on first use: the
// data folder falls back to the program folder, which has no vault yet.
int VaultFolder(char (&out)[kPathLen])
{
    char data[kPathLen];
    GetDataFolder(data);
    if (!data[0] || StrFormatA(out, "%s\\vault", data) != 0) return 0;
    CreateDirectoryA(out, nullptr);
    return 1;
}

// The vault copy of a file: its name and the mark of its full path, so that
// files of one name in different folders keep copies of their own. With
// legacy set, the bare file name under which older versions stored it.
int VaultPath(const char* path, bool legacy, char (&out)[kPathLen])
{
    char vault[kPathLen];
    const char* name = path + FileNameOffset(path);
    if (!name[0] || !VaultFolder(vault)) return 0;
    const int32_t rc = legacy ? StrFormatA(out, "%s\\%s", vault, name)
                              : StrFormatA(out, "%s\\%s.%08lX", vault, name,
                                           static_cast<unsigned long>(PathMark(path)));
    return rc == 0 ? 1 : 0;
}

void RecordInSnapshot(const char* path)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[24];
    FormatLocalDateTime(&now, date);
    SetRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path, date);
}

}   // namespace

int HiddenFileProc(const char* path, const WIN32_FIND_DATAA* findData, void* context)
{
    DWORD attributes = findData->dwFileAttributes;
    if (!(attributes & FILE_ATTRIBUTE_HIDDEN)) return 0;
    SetFoundFlag(1);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    VersionRecord record;
    GetVersionStrings(path, findData, &record);
    AddItem(record.field[kProductName], path, path, "", kTypeHidden,
            (attributes & FILE_ATTRIBUTE_SYSTEM) ? 0 : 1);
    return 0;
}

int BuildHiddenFileList()
{
    ClearItems();
    SetWalkMode(kWalkHidden);
    for (const WatchedFolder& f : kWatchedFolders) {
        char folder[kPathLen];
        if (WatchedFolderPath(f.which, folder)) WalkFolder(folder, spBuildProc, f.depth, nullptr);
    }
    return ItemCount();
}

int MoveHiddenFileToVault(const char* title, const char* path)
{
    // A hidden program that runs keeps its file in use: end it first,
    // without asking.
    EndProcessByPath(path, title, 0);
    int deleted = 0;
    char target[kPathLen];
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && VaultPath(path, false, target)) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
        // Without a vault copy the file could never be put back: keep it.
        if (CopyFileA(path, target, FALSE)) deleted = DeleteFileForced(path);
        // A file that stays must stay hidden, or it would never be seen again.
        if (!deleted) SetFileAttributesA(path, attributes);
    }
    if (deleted) WriteHistory(title, path, "", kTypeHidden, kActionHiddenDelete);
    DeleteRegValue(HKEY_CURRENT_USER, kHiddenStoreKey, path);
    return deleted;
}

int RestoreHiddenFileFromVault(const char* path)
{
    char source[kPathLen];
    if (!VaultPath(path, false, source)) return 0;
    if (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES && !VaultPath(path, true, source))
        return 0;
    // The vault copy is the only one left: remove it only once it is back.
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (!CopyFileA(source, path, FALSE)) return 0;
    SetFileAttributesA(path, FILE_ATTRIBUTE_HIDDEN);
    int removed = DeleteFileForced(source);
    RecordInSnapshot(path);
    return removed;
}
