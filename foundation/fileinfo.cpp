// What the programs show about one program file beside its version strings:
// the file that a listed command names, its dates and size, and the day
// Velmora first saw it.
#include "foundation/foundation.h"

#include <cstring>
#include <iterator>

namespace {

struct DetectedRange {
    int first;
    int last;
    const char* key;
};
// Codes from 300 up that fall in none of these are running processes.
constexpr DetectedRange kDetectedRanges[] = {
    {0, 299, kDetectedStartupKey},      {900, 902, kDetectedIEHelperKey},
    {700, 701, kDetectedServicesKey},   {800, 800, kDetectedTasksKey},
    {400, 400, kDetectedFileTypesKey},  {370, 370, kDetectedHiddenKey},
};
static_assert(std::size(kDetectedRanges) == 6);

int IsFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return path[0] != '\0' && attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void FormatFileTime(const FILETIME& time, char* out)
{
    FILETIME local;
    SYSTEMTIME system;
    out[0] = '\0';
    if ((time.dwLowDateTime == 0 && time.dwHighDateTime == 0) ||
        !FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &system))
        return;
    FormatLocalDateTime(&system, out);
}

// The split upper-cases the program part; where the command holds it as
// written, the user sees it as written.
void KeepWrittenCase(const char* command, char* program)
{
    const size_t length = strlen(program);
    for (const char* p = command; strlen(p) >= length; ++p) {
        if (_strnicmp(p, program, length) == 0) {
            memcpy(program, p, length);
            return;
        }
    }
}

}  // namespace

const char* DetectedStoreOfType(int typeCode)
{
    for (const DetectedRange& r : kDetectedRanges)
        if (typeCode >= r.first && typeCode <= r.last) return r.key;
    return typeCode >= 300 ? kDetectedActiveTasksKey : nullptr;
}

int ReadFirstDetected(const char* program, int typeCode, char* out, size_t capacity)
{
    if (capacity == 0) return 0;
    out[0] = '\0';
    const char* store = DetectedStoreOfType(typeCode);
    if (!store || !program || program[0] == '\0') return 0;
    char normalized[MAX_PATH];
    NormalizeProgramPath(program, normalized);
    char date[64];
    if (!GetRegValue(HKEY_CURRENT_USER, store, normalized, date)) return 0;
    StrCopy(out, capacity, date);
    return static_cast<int>(strlen(out));
}

int ResolveProgramFile(const char* command, char* out)
{
    out[0] = '\0';
    if (!command || command[0] == '\0') return 0;
    char program[MAX_PATH];
    char arguments[MAX_PATH];
    SplitProgramAndArguments(command, program, arguments);
    if (program[0] == '\0') return 0;
    KeepWrittenCase(command, program);
    // A bare name runs from the Windows or System folder: show that file.
    if (!strchr(program, '\\') && strlen(program) < 32) {
        char folder[MAX_PATH];
        char full[MAX_PATH];
        if (GetFileFolder(program, folder) > 0 &&
            StrFormatA(full, "%s\\%s", folder, program) == 0 && IsFile(full)) {
            StrCopy(out, MAX_PATH, full);
            return static_cast<int>(strlen(out));
        }
    }
    StrCopy(out, MAX_PATH, program);
    return static_cast<int>(strlen(out));
}

int GetFileInformation(const char* path, int typeCode, FileInformation* info)
{
    *info = FileInformation{};
    if (!path || path[0] == '\0') return 0;
    // A running program's file is open for execution: share every access so
    // that looking at it never fails for that reason alone.
    UniqueFile file(CreateFileA(path, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    FILETIME created = {};
    FILETIME accessed = {};
    FILETIME written = {};
    if (GetFileTime(file.get(), &created, &accessed, &written)) {
        FormatFileTime(created, info->created);
        FormatFileTime(accessed, info->accessed);
        FormatFileTime(written, info->written);
    }
    ReadFirstDetected(path, typeCode, info->detected, sizeof(info->detected));
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file.get(), &size)) {
        FormatThousands(info->size, sizeof(info->size), size.QuadPart);
    } else {
        LoadLocalizedString(IDS_FILE_IN_USE, info->size);
    }
    return 1;
}
