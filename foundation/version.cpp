#include "foundation/foundation.h"

#include <cstring>
#include <iterator>

namespace {

constexpr DWORD kMaxResource = 8191;
constexpr UINT kLongestField = 127;

constexpr const char* kFieldNames[] = {"ProductName", "ProductVersion", "CompanyName",
                                       "FileDescription", "LegalCopyright"};
static_assert(std::size(kFieldNames) == 5);

struct Translation {
    WORD language;
    WORD codePage;
};

// One string of a translation; false when the block lacks it. Longer values
// count as empty: they came from damaged or hostile resources.
bool QueryField(const void* block, const Translation& t, const char* name, char* out)
{
    out[0] = '\0';
    char subBlock[128];
    StrFormatA(subBlock, "\\StringFileInfo\\%04x%04x\\%s", t.language, t.codePage, name);
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block, subBlock, &value, &length) || !value) return false;
    if (length > kLongestField) return true;
    const char* text = static_cast<const char*>(value);
    size_t n = 0;
    while (n < length && text[n] != '\0') ++n;
    memcpy(out, text, n);
    out[n] = '\0';
    return true;
}

int ProgramFolderFile(char* out, const char* name)
{
    char folder[MAX_PATH];
    GetProgramFolder(folder);
    return StrFormat(out, MAX_PATH, "%s%s", folder, name) == 0;
}

bool FileExists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The catalogues ask for the same files on every pass of the monitor, and a
// version resource costs a file open and a resource load each time. Answers
// are kept per path (any case), size and last-write time, so a file that was
// replaced or rewritten is read afresh. Eight ways in each of 128 sets: a
// bounded table that finds an entry without walking all of it.
constexpr int kCacheSets = 128;
constexpr int kCacheWays = 8;
// Room for the five fields of a typical resource, each ended by its zero;
// an answer longer than this is read from the file every time.
constexpr int kPackedLen = 320;

struct CachedVersion {
    char path[MAX_PATH];    // upper-cased; "" for a free entry
    ULONGLONG size;
    FILETIME written;
    DWORD lastUse;
    int result;
    char packed[kPackedLen];
};

struct VersionCache {
    CachedVersion entries[kCacheSets][kCacheWays];
    DWORD clock;
};
VersionCache g_cache;

DWORD PathHash(const char* upper)
{
    DWORD hash = 2166136261u;
    for (const char* c = upper; *c; ++c) hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619u;
    return hash;
}

bool SameStamp(const CachedVersion& e, ULONGLONG size, const FILETIME& written)
{
    return e.size == size && e.written.dwLowDateTime == written.dwLowDateTime &&
           e.written.dwHighDateTime == written.dwHighDateTime;
}

CachedVersion* CacheSet(const char* upper)
{
    return g_cache.entries[PathHash(upper) % kCacheSets];
}

void Unpack(const CachedVersion& e, VersionRecord* record)
{
    const char* at = e.packed;
    for (auto& field : record->field) {
        StrCopy(field, at);
        at += strlen(at) + 1;
    }
}

bool Pack(const VersionRecord& record, char (&out)[kPackedLen])
{
    size_t used = 0;
    for (const auto& field : record.field) {
        const size_t n = strlen(field) + 1;
        if (used + n > sizeof(out)) return false;
        memcpy(out + used, field, n);
        used += n;
    }
    return true;
}

const CachedVersion* FindCached(const char* upper, ULONGLONG size, const FILETIME& written)
{
    CachedVersion* set = CacheSet(upper);
    for (int i = 0; i < kCacheWays; ++i) {
        CachedVersion& e = set[i];
        if (e.path[0] && strcmp(e.path, upper) == 0 && SameStamp(e, size, written)) {
            e.lastUse = ++g_cache.clock;
            return &e;
        }
    }
    return nullptr;
}

// Takes the entry of the same path, else a free one, else the least recently
// used of the set.
void Remember(const char* upper, ULONGLONG size, const FILETIME& written,
              const VersionRecord& record, int result)
{
    CachedVersion* set = CacheSet(upper);
    CachedVersion* slot = &set[0];
    for (int i = 0; i < kCacheWays; ++i) {
        CachedVersion& e = set[i];
        if (strcmp(e.path, upper) == 0 || !e.path[0]) {
            slot = &e;
            break;
        }
        if (e.lastUse < slot->lastUse) slot = &e;
    }
    if (!Pack(record, slot->packed)) {
        slot->path[0] = '\0';
        return;
    }
    StrCopy(slot->path, upper);
    slot->size = size;
    slot->written = written;
    slot->result = result;
    slot->lastUse = ++g_cache.clock;
}

bool IsFullPath(const char* path)
{
    const bool drive = path[0] && path[1] == ':' && path[2] == '\\';
    return drive || (path[0] == '\\' && path[1] == '\\');
}

int ReadVersionStrings(const char* path, VersionRecord* record)
{
    for (auto& field : record->field) field[0] = '\0';

    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0 || size > kMaxResource) return 0;
    alignas(8) static char block[kMaxResource + 1];
    if (!GetFileVersionInfoA(path, 0, size, block)) return 0;

    void* table = nullptr;
    UINT tableLength = 0;
    if (!VerQueryValueA(block, "\\VarFileInfo\\Translation", &table, &tableLength) || !table)
        return 0;

    char working[5][128] = {};
    const auto* translations = static_cast<const Translation*>(table);
    for (UINT i = 0; i < tableLength / sizeof(Translation); ++i) {
        char candidate[5][128];
        if (!QueryField(block, translations[i], kFieldNames[kProductName], candidate[kProductName]))
            continue;
        for (int f = kProductVersion; f <= kCopyright; ++f)
            QueryField(block, translations[i], kFieldNames[f], candidate[f]);
        memcpy(working, candidate, sizeof(working));
    }
    for (int f = 0; f < 5; ++f) StrCopy(record->field[f], working[f]);

    // Every system file names the operating system as its product; its
    // description says what the file is.
    if (ContainsNoCase(record->field[kProductName], "Operating System"))
        StrCopy(record->field[kProductName], record->field[kFileDescription]);
    return record->field[kProductName][0] != '\0';
}

}  // namespace

int GetVersionStrings(const char* path, const WIN32_FIND_DATAA* found, VersionRecord* record)
{
    for (auto& field : record->field) field[0] = '\0';
    if (!path) return 0;
    WIN32_FILE_ATTRIBUTE_DATA asked;
    ULONGLONG size = 0;
    FILETIME written = {};
    if (found) {
        size = (static_cast<ULONGLONG>(found->nFileSizeHigh) << 32) | found->nFileSizeLow;
        written = found->ftLastWriteTime;
    } else if (GetFileAttributesExA(path, GetFileExInfoStandard, &asked)) {
        size = (static_cast<ULONGLONG>(asked.nFileSizeHigh) << 32) | asked.nFileSizeLow;
        written = asked.ftLastWriteTime;
    } else {
        // Not a file this process may look at: nothing to key an answer on.
        return ReadVersionStrings(path, record);
    }
    // A relative name is looked up along a search order that can change
    // between calls; only a full path names one file.
    char upper[MAX_PATH];
    if (!IsFullPath(path) || StrCopy(upper, path) != 0) return ReadVersionStrings(path, record);
    CharUpperBuffA(upper, static_cast<DWORD>(strlen(upper)));
    if (const CachedVersion* cached = FindCached(upper, size, written)) {
        Unpack(*cached, record);
        return cached->result;
    }
    const int result = ReadVersionStrings(path, record);
    Remember(upper, size, written, *record, result);
    return result;
}

int GetVersionStrings(const char* path, VersionRecord* record)
{
    return GetVersionStrings(path, nullptr, record);
}

int GetSystemVersionText(char* out)
{
    static VersionRecord record;
    constexpr size_t kCapacity = 1024;
    out[0] = '\0';

    char path[MAX_PATH];
    if (ProgramFolderFile(path, "\\Velmora.exe")) {
        GetVersionStrings(path, &record);
        StrCopy(out, kCapacity, record.field[kProductVersion]);
    }
    int monitorLength = static_cast<int>(strlen(out));

    char module[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    char own[MAX_PATH];
    GetFileNamePart(module, own);
    if (ContainsNoCase(own, "hijack")) {
        char ownPath[MAX_PATH];
        if (StrFormatA(ownPath, "\\%s", own) == 0 && ProgramFolderFile(path, ownPath) &&
            FileExists(path)) {
            GetVersionStrings(path, &record);
            if (out[0] != '\0') StrAppend(out, kCapacity, ":");
            StrAppend(out, kCapacity, record.field[kProductVersion]);
        }
    } else if (ProgramFolderFile(path, "\\VelmoraEx.exe") && FileExists(path)) {
        GetVersionStrings(path, &record);
        StrAppend(out, kCapacity, ":");
        StrAppend(out, kCapacity, record.field[kProductVersion]);
    }
    return monitorLength;
}
