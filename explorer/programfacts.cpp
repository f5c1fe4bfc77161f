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
    ListedFileFacts facts;
    FileState state;
    unsigned fill = 0;        // the fill that last looked at the file
};

struct CachedIcon {
    int image = -1;
    FileState state;
    unsigned fill = 0;        // the fill that last looked at the file
};

// One look at a whole folder in a fill: a folder that held many of the
// last fill's programs (the system folder, for services) is read in one
// walk, which costs less than a look at each of its files.
constexpr int kWalkFolderFrom = 8;
struct FolderLook {
    int asked = 0;            // files asked for in the last fill
    int askedNow = 0;         // and in this one
    unsigned walked = 0;      // the fill whose walk `files` holds
    std::unordered_map<std::string, FileState> files;   // upper-case name -> state
};

struct FactsCache {
    std::unordered_map<std::string, FolderLook> folders;       // upper-case folder
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

std::string Upper(const char* text)
{
    std::string upper = text;
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

FileState StateFromData(DWORD attributes, const FILETIME& written, DWORD high, DWORD low)
{
    FileState state;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return state;
    state.found = true;
    state.written = written;
    state.size = (static_cast<ULONGLONG>(high) << 32) | low;
    return state;
}

void WalkFolder(const std::string& folder, FolderLook* look)
{
    look->files.clear();
    WIN32_FIND_DATAA data;
    UniqueFind find(FindFirstFileExA((folder + "\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return;
    do {
        look->files.emplace(Upper(data.cFileName), StateFromData(data.dwFileAttributes, data.ftLastWriteTime,
                                                                 data.nFileSizeHigh, data.nFileSizeLow));
    } while (FindNextFileA(find.get(), &data));
}

// A file's state from its folder's walk, when its folder is walked in this
// fill and the walk names it (a short name or a file not there is looked at
// alone). 1 when answered.
int StateFromFolder(const std::string& file, FileState* state)
{
    FactsCache& cache = Cache();
    const size_t slash = file.find_last_of('\\');
    if (slash == std::string::npos || slash == 0) return 0;
    FolderLook& look = cache.folders[file.substr(0, slash)];
    ++look.askedNow;
    if (look.asked < kWalkFolderFrom) return 0;
    if (look.walked != cache.fill) {
        look.walked = cache.fill;
        WalkFolder(file.substr(0, slash), &look);
    }
    const auto found = look.files.find(file.substr(slash + 1));
    if (found == look.files.end()) return 0;
    *state = found->second;
    return 1;
}

FileState StateOf(const char* file)
{
    FileState state;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!file[0] || !GetFileAttributesExA(file, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return state;
    return StateFromData(data.dwFileAttributes, data.ftLastWriteTime, data.nFileSizeHigh, data.nFileSizeLow);
}

bool Same(const FileState& a, const FileState& b)
{
    return a.found == b.found && a.size == b.size && CompareFileTime(&a.written, &b.written) == 0;
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

void ReadFacts(const std::string& file, const FileState& state, ListedFileFacts* facts)
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
void ReadDetected(const char* command, const char* storeKey, ListedFileFacts* facts)
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

void StartListedFileFacts()
{
    FactsCache& cache = Cache();
    ++cache.fill;
    for (auto& folder : cache.folders) {
        folder.second.asked = folder.second.askedNow;
        folder.second.askedNow = 0;
    }
    if (cache.programs.size() < kMaxFacts && cache.normalized.size() < kMaxFacts &&
        cache.icons.size() < kMaxFacts)
        return;
    // Forgotten only between fills, so that no row keeps an image that is gone.
    cache.programs.clear();
    cache.normalized.clear();
    cache.icons.clear();
    cache.folders.clear();
    if (cache.images) ImageList_RemoveAll(cache.images);
}

const ListedFileFacts& GetListedFileFacts(const char* command, const char* storeKey)
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
    FileState state;
    if (!StateFromFolder(file, &state)) state = StateOf(file.c_str());
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

HIMAGELIST ListedFileImages()
{
    FactsCache& cache = Cache();
    if (cache.images) return cache.images;
    cache.images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                    ILC_COLOR32 | ILC_MASK, 16, 64);
    return cache.images;
}

int ListedFileIcon(const char* file)
{
    HIMAGELIST images = ListedFileImages();
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
