// What a report reads once, however often it shows it. A report meets the
// same file many times (a service host, a program that starts at logon and
// runs now), and every registry read costs as much as listing an entry, so
// each command is resolved and its version strings read on its first
// appearance only, and the first-detected stores, the parked titles and the
// services' states are each read in one pass.
#include "reports/reports.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

namespace {


// Registry value names and service names compare without regard to case.
std::string UpperCase(const char* text)
{
    std::string upper(text ? text : "");
    if (!upper.empty()) CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

bool IsFullPath(const std::string& path)
{
    return (path.size() > 2 && path[1] == ':' && path[2] == '\\') ||
           (path.size() > 1 && path[0] == '\\' && path[1] == '\\');
}

// Every text value of a key, by upper-case name, as GetRegValue with a
// buffer of capacity takes them one by one: a text that does not fit with
// its terminator counts as missing.
std::unordered_map<std::string, std::string> ReadTextValues(HKEY root, const char* subkey,
                                                            DWORD capacity)
{
    std::unordered_map<std::string, std::string> values;
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return values;
    std::vector<char> name(16384);
    std::vector<char> data(capacity + 1);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = capacity;
        DWORD type = REG_NONE;
        const LONG rc = RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
        data[size] = '\0';
        if (strlen(data.data()) + 1 > capacity) continue;
        values[UpperCase(name.data())] = data.data();
    }
    return values;
}

void ReadServiceStates(ReportFacts* facts)
{
    facts->servicesRead = 1;
    SC_HANDLE manager = SharedServiceManager();
    if (!manager) return;
    std::string texts[std::size(kServiceStateTexts)];
    for (size_t s = 0; s < std::size(kServiceStateTexts); ++s) {
        char text[256];
        LoadLocalizedString(kServiceStateTexts[s].stringId, text);
        texts[s] = text;
    }
    std::vector<BYTE> block(64 * 1024);
    DWORD resume = 0;
    for (;;) {
        DWORD needed = 0;
        DWORD count = 0;
        const BOOL done = EnumServicesStatusA(manager, SERVICE_TYPE_ALL, SERVICE_STATE_ALL,
                                              reinterpret_cast<ENUM_SERVICE_STATUSA*>(block.data()),
                                              static_cast<DWORD>(block.size()), &needed, &count, &resume);
        if (!done && GetLastError() != ERROR_MORE_DATA) return;
        const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUSA*>(block.data());
        for (DWORD i = 0; i < count; ++i) {
            // A state outside the table reads as stopped, as an interrogation
            // that fails does.
            const std::string* text = &texts[0];
            for (size_t s = 0; s < std::size(kServiceStateTexts); ++s)
                if (kServiceStateTexts[s].state == services[i].ServiceStatus.dwCurrentState) text = &texts[s];
            facts->serviceStates[UpperCase(services[i].lpDisplayName)] = *text;
        }
        if (done) return;
        if (count == 0 && needed > block.size()) block.resize(needed);
    }
}

void FormatReportFileTime(const RegionalFormat& regional, const FILETIME& time, char (&out)[24])
{
    FILETIME local;
    SYSTEMTIME system;
    out[0] = '\0';
    if ((time.dwLowDateTime == 0 && time.dwHighDateTime == 0) ||
        !FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &system))
        return;
    FormatDateTimeAs(&regional, &system, out);
}

// A file's attributes, looked at once per report whoever asks: the version
// cache and the hidden files' times both want them.
const WIN32_FILE_ATTRIBUTE_DATA* LookAtFile(ReportFacts* facts, const char* path)
{
    const std::string key = UpperCase(path);
    auto seen = facts->looked.find(key);
    if (seen == facts->looked.end()) {
        WIN32_FILE_ATTRIBUTE_DATA attributes = {};
        if (!GetFileAttributesExA(path, GetFileExInfoStandard, &attributes))
            attributes.dwFileAttributes = INVALID_FILE_ATTRIBUTES;
        seen = facts->looked.emplace(key, attributes).first;
    }
    return seen->second.dwFileAttributes == INVALID_FILE_ATTRIBUTES ? nullptr : &seen->second;
}

// Listing a folder costs about a fifth of looking at one of its files, per
// entry: a folder is listed when it holds this many of the listed files.
constexpr int kListedFolderFiles = 16;

void ListFolder(ReportFacts* facts, const std::string& folder)
{
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!find) return;
    do {
        WIN32_FILE_ATTRIBUTE_DATA attributes = {found.dwFileAttributes, found.ftCreationTime,
                                                found.ftLastAccessTime, found.ftLastWriteTime,
                                                found.nFileSizeHigh, found.nFileSizeLow};
        facts->looked.emplace(UpperCase((folder + "\\" + found.cFileName).c_str()), attributes);
    } while (FindNextFileA(find.get(), &found));
}

void ReadProgramVersion(ReportFacts* facts, const char* file, ReportProgram* program)
{
    VersionRecord record;
    if (!IsFullPath(file)) {
        GetVersionStrings(file, &record);
    } else if (const WIN32_FILE_ATTRIBUTE_DATA* attributes = LookAtFile(facts, file)) {
        // Its size and time key the version cache.
        WIN32_FIND_DATAA seen = {};
        seen.nFileSizeHigh = attributes->nFileSizeHigh;
        seen.nFileSizeLow = attributes->nFileSizeLow;
        seen.ftLastWriteTime = attributes->ftLastWriteTime;
        GetVersionStrings(file, &seen, &record);
    } else {
        // A file that is not there has no version resource to look for.
        return;
    }
    for (int f = 0; f < 5; ++f) program->field[f] = record.field[f];
}

}  // namespace

const ReportProgram& GetReportProgram(ReportFacts* facts, const char* command)
{
    const std::string key = UpperCase(command);
    auto found = facts->programs.find(key);
    if (found != facts->programs.end()) return found->second;

    ReportProgram& program = facts->programs[key];
    char file[MAX_PATH] = "";
    ResolveProgramFile(command, file);
    // A bare program name is its own file name.
    const char* shown = file[0] != '\0' ? file : (command ? command : "");
    program.file = file;
    program.name = shown + FileNameOffset(shown);
    if (file[0] == '\0') return program;
    // Commands differ by their arguments far more often than by their file:
    // the file is looked at once.
    const std::string fileKey = UpperCase(file);
    auto same = facts->files.find(fileKey);
    if (same != facts->files.end()) {
        for (int f = 0; f < 5; ++f) program.field[f] = same->second.field[f];
        return program;
    }
    ReadProgramVersion(facts, file, &program);
    facts->files[fileKey] = program;
    return program;
}

const std::string& GetReportServiceState(ReportFacts* facts, const char* displayName)
{
    if (!facts->servicesRead) ReadServiceStates(facts);
    const std::string key = UpperCase(displayName);
    auto found = facts->serviceStates.find(key);
    if (found != facts->serviceStates.end()) return found->second;
    // Not among the manager's display names: ask the service itself.
    char text[256] = "";
    GetServiceStateText(displayName, text);
    return facts->serviceStates[key] = text;
}

int GetReportFirstDetected(ReportFacts* facts, const std::string& file, int typeCode, char* out,
                           size_t capacity)
{
    if (capacity == 0) return 0;
    out[0] = '\0';
    const char* store = DetectedStoreOfType(typeCode);
    if (!store || file.empty()) return 0;
    auto stored = facts->detected.find(store);
    if (stored == facts->detected.end())
        stored = facts->detected.emplace(store, ReadTextValues(HKEY_CURRENT_USER, store, 64)).first;
    char normalized[MAX_PATH];
    NormalizeProgramPath(file.c_str(), normalized);
    auto date = stored->second.find(UpperCase(normalized));
    if (date == stored->second.end()) return 0;
    StrCopy(out, capacity, date->second.c_str());
    return static_cast<int>(strlen(out));
}

int GetReportLocation(ReportFacts* facts, int index, char* out)
{
    if (!facts->parkedRead) {
        facts->parkedRead = 1;
        ReadDisabledMarkers(&facts->parked);
    }
    const int code = GetItemType(index);
    int parkedCode = 0;
    if (code > 0 && code <= 256) {
        char title[kTitleLen + 1] = "";
        GetItemTitle(index, title);
        auto parked = facts->parked.find(UpperCase(title));
        if (parked != facts->parked.end()) parkedCode = parked->second;
    }
    // The text depends on the code and on whether this entry is the parked
    // one; the localized parts are loaded once for each.
    const std::string key = std::to_string(code) + (parkedCode == code ? "*" : "");
    auto known = facts->locations.find(key);
    if (known == facts->locations.end()) {
        char text[512];
        LocationTextOf(code, parkedCode, text);
        known = facts->locations.emplace(key, text).first;
    }
    StrCopy(out, 512, known->second.c_str());
    return static_cast<int>(strlen(out));
}

void LookAtListedFolders(ReportFacts* facts)
{
    std::unordered_map<std::string, int> files;   // by upper-case folder
    std::unordered_map<std::string, std::string> folders;
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        char path[kPathLen + 1] = "";
        GetItemPath(i, path);
        const char* slash = strrchr(path, '\\');
        if (!slash || slash == path) continue;
        const std::string folder(path, static_cast<size_t>(slash - path));
        const std::string key = UpperCase(folder.c_str());
        if (++files[key] == kListedFolderFiles) folders.emplace(key, folder);
    }
    for (const auto& [key, folder] : folders) ListFolder(facts, folder);
}

int GetReportFileTimes(ReportFacts* facts, const char* path, FileInformation* info)
{
    *info = FileInformation{};
    const WIN32_FILE_ATTRIBUTE_DATA* look = path && path[0] != '\0' ? LookAtFile(facts, path) : nullptr;
    if (!look) return 0;
    const WIN32_FILE_ATTRIBUTE_DATA& attributes = *look;
    if (!facts->regionalRead) {
        facts->regionalRead = 1;
        ReadRegionalFormat(&facts->regional);
    }
    FormatReportFileTime(facts->regional, attributes.ftCreationTime, info->created);
    FormatReportFileTime(facts->regional, attributes.ftLastAccessTime, info->accessed);
    FormatReportFileTime(facts->regional, attributes.ftLastWriteTime, info->written);
    const long long size =
        (static_cast<long long>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    FormatThousands(info->size, static_cast<int>(sizeof(info->size)), size);
    return 1;
}
