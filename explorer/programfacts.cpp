// What the add-on and service pages show of a program file: the file a
// command names, its company, the day it was first seen and its icon. Kept
// for the life of the process and read again only when the file changed:
// the pages refill on every activation and after every command, and
// reading a version record or extracting an icon costs far more under a
// busy system than listing the registrations themselves.
#include "explorer/explorer.h"

#include <shellapi.h>

#include <string>
#include <unordered_map>

namespace {

// A full list's programs, and those of a few fills after it changed.
constexpr size_t kMaxFacts = 4 * kMaxItems;

struct FileState {
    bool found = false;
    FILETIME written = {};
    ULONGLONG size = 0;
};

struct Cached {
    ProgramFacts facts;
    FileState state;
    unsigned fill = 0;        // the fill that last looked at the file
};

struct CachedIcon {
    int image = -1;
    FileState state;
    unsigned fill = 0;        // the fill that last looked at the file
};

struct FactsCache {
    std::unordered_map<std::string, std::string> normalized;   // command -> program
    std::unordered_map<std::string, Cached> programs;          // store|program -> facts
    std::unordered_map<std::string, CachedIcon> icons;         // upper-case file -> image
    HIMAGELIST images = nullptr;
    unsigned fill = 0;
    ~FactsCache()
    {
        if (images) ImageList_Destroy(images);
    }
};

FactsCache& Cache()
{
    static FactsCache cache;
    return cache;
}

FileState StateOf(const char* file)
{
    FileState state;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!file[0] || !GetFileAttributesExA(file, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return state;
    state.found = true;
    state.written = data.ftLastWriteTime;
    state.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return state;
}

bool Same(const FileState& a, const FileState& b)
{
    return a.found == b.found && a.size == b.size && CompareFileTime(&a.written, &b.written) == 0;
}

std::string Upper(const char* text)
{
    std::string upper = text;
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

const std::string& NormalizedOf(const char* command)
{
    auto& known = Cache().normalized;
    auto found = known.find(command);
    if (found != known.end()) return found->second;
    char program[kPathLen];
    NormalizeProgramPath(command, program);
    // A bare name runs from the system folders; show that file.
    if (program[0] && FileNameOffset(program) == 0) FileExistsInPath(program);
    return known.emplace(command, program).first->second;
}

void ReadFacts(const std::string& file, const FileState& state, ProgramFacts* facts)
{
    facts->company.clear();
    if (!state.found) return;
    // The version reader is given what is already known of the file, so
    // that it does not look at it again.
    WIN32_FIND_DATAA found = {};
    found.ftLastWriteTime = state.written;
    found.nFileSizeHigh = static_cast<DWORD>(state.size >> 32);
    found.nFileSizeLow = static_cast<DWORD>(state.size);
    VersionRecord version;
    if (GetVersionStrings(file.c_str(), &found, &version)) facts->company = version.field[kCompanyName];
}

// A date once written is never replaced, so a found one is kept; a missing
// one is recorded now (when the file exists) and asked for again next time.
void ReadDetected(const char* command, const char* storeKey, ProgramFacts* facts)
{
    if (!facts->detected.empty() || !storeKey || facts->file.empty()) return;
    // The store names a bare program as the command does, not as found.
    char name[kPathLen];
    NormalizeProgramPath(command, name);
    char date[64] = "";
    if (GetRegValue(HKEY_CURRENT_USER, storeKey, name, date) <= 0) {
        StampFirstDetected(command, storeKey);
        GetRegValue(HKEY_CURRENT_USER, storeKey, name, date);
    }
    facts->detected = date;
}

}  // namespace

void StartProgramFacts()
{
    FactsCache& cache = Cache();
    ++cache.fill;
    if (cache.programs.size() < kMaxFacts && cache.normalized.size() < kMaxFacts &&
        cache.icons.size() < kMaxFacts)
        return;
    // Forgotten only between fills, so that no row keeps an image that is gone.
    cache.programs.clear();
    cache.normalized.clear();
    cache.icons.clear();
    if (cache.images) ImageList_RemoveAll(cache.images);
}

const ProgramFacts& GetProgramFacts(const char* command, const char* storeKey)
{
    FactsCache& cache = Cache();
    const std::string& file = NormalizedOf(command ? command : "");
    std::string key = storeKey ? storeKey : "";
    key += '|';
    key += file;
    Cached& entry = cache.programs[key];
    if (entry.fill == cache.fill) return entry.facts;
    // Looked at once per fill: the file may have changed or appeared since.
    const bool first = entry.fill == 0;
    entry.fill = cache.fill;
    const FileState state = StateOf(file.c_str());
    if (first || !Same(state, entry.state)) {
        entry.facts.file = file;
        entry.state = state;
        ReadFacts(file, state, &entry.facts);
    }
    // The program's icon needs no second look in this fill.
    if (!file.empty()) {
        CachedIcon& icon = cache.icons[file];
        if (!Same(state, icon.state)) icon.image = -1;
        icon.state = state;
        icon.fill = cache.fill;
    }
    ReadDetected(command, storeKey, &entry.facts);
    return entry.facts;
}

HIMAGELIST ProgramImages()
{
    FactsCache& cache = Cache();
    if (cache.images) return cache.images;
    cache.images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                    ILC_COLOR32 | ILC_MASK, 16, 64);
    return cache.images;
}

int ProgramIcon(const char* file)
{
    HIMAGELIST images = ProgramImages();
    if (!images) return -1;
    FactsCache& cache = Cache();
    CachedIcon& icon = cache.icons[Upper(file ? file : "")];
    if (icon.fill != cache.fill) {
        const FileState state = StateOf(file ? file : "");
        if (!Same(state, icon.state)) icon.image = -1;
        icon.state = state;
        icon.fill = cache.fill;
    }
    if (icon.image < 0) icon.image = AddFileIcon(images, icon.state.found ? file : "");
    return icon.image;
}
