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

}  // namespace

int GetVersionStrings(const char* path, VersionRecord* record)
{
    for (auto& field : record->field) field[0] = '\0';
    if (!path) return 0;

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
