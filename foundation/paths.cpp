#include "foundation/foundation.h"

#include <cctype>
#include <cstring>
#include <iterator>

namespace {

constexpr int kLongestSearchedText = 772;

char Upper(char c)
{
    return static_cast<char>(toupper(static_cast<unsigned char>(c)));
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// OpenFile takes at most 128 characters, which the short form nearly always
// meets.
bool ExistsByOpenFile(const char* path)
{
    char shortPath[MAX_PATH];
    DWORD n = GetShortPathNameA(path, shortPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    OFSTRUCT of = {};
    of.cBytes = sizeof(of);
    return OpenFile(shortPath, &of, OF_EXIST) == 1;
}

bool FolderAndName(char* out, bool windowsFolder, const char* name)
{
    char folder[MAX_PATH];
    UINT n = windowsFolder ? GetWindowsDirectoryA(folder, MAX_PATH)
                           : GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    return StrFormat(out, MAX_PATH, "%s\\%s", folder, name) == 0;
}

const char* LastBackslash(const char* path)
{
    return path ? strrchr(path, '\\') : nullptr;
}

// The command with a leading "\SystemRoot" (or %PROGRAMFILES%) replaced by
// the folder it names, in a work buffer of 1024.
void SubstituteRoots(const char* command, bool programFiles, char* text)
{
    size_t len = strlen(command);
    if (ContainsNoCase(command, "SYSTEMROOT")) {
        char windows[MAX_PATH] = "";
        GetWindowsDirectoryA(windows, MAX_PATH);
        StrFormat(text, 1024, "%s%s", windows, command + (len < 11 ? len : 11));
    } else if (programFiles && ContainsNoCase(command, "%PROGRAMFILES%")) {
        char dir[MAX_PATH];
        if (!GetRegValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                         "ProgramFilesDir", dir))
            StrCopy(dir, "C:\\Program Files");
        StrFormat(text, 1024, "%s%s", dir, command + (len < 14 ? len : 14));
    } else {
        StrCopy(text, MAX_PATH, command);
    }
}

// Upper-cases text in place up to and including the program's extension and
// cuts it there. Returns the position behind the program part; *start is the
// drive letter before the last ":" met.
size_t CutAtProgram(char* text, bool cplEnds, size_t* start)
{
    *start = 0;
    size_t i = 0;
    while (text[i] != '\0') {
        char c = text[i];
        text[i] = Upper(c);
        if (c == ':') *start = i > 0 ? i - 1 : 0;
        if (c == '.' && text[i + 1] != '\0') {
            char second = Upper(text[i + 2]);
            if (second == 'X' || second == 'L' || (cplEnds && second == 'P')) {
                size_t end = i + 1;
                for (int k = 0; k < 3 && text[end] != '\0'; ++k, ++end) text[end] = Upper(text[end]);
                return end;
            }
        }
        ++i;
    }
    return i;
}

using GetLongPathNameFn = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);

bool IsWindows95()
{
    DWORD minor = 0;
    return GetPlatformId(&minor) == VER_PLATFORM_WIN32_WINDOWS && minor == 0;
}

constexpr const char* kIePathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";

int IeFolderWith(char* out, const char* file)
{
    char key[MAX_PATH];
    if (!LoadLocalizedString(IDS_IEXPLORE_PATHS_KEY, key)) StrCopy(key, kIePathsKey);
    char folder[512];
    if (!GetRegValue(HKEY_LOCAL_MACHINE, key, "Path", folder)) {
        out[0] = '\0';
        return 0;
    }
    size_t n = strlen(folder);
    if (n > 0 && folder[n - 1] == ';') folder[n - 1] = '\0';
    StrFormat(out, MAX_PATH, "%s%s", folder, file);
    return static_cast<int>(strlen(out));
}

}  // namespace

int ContainsNoCase(const char* text, const char* part)
{
    if (!text || !part || part[0] == '\0') return 0;
    size_t textLen = strlen(text);
    size_t partLen = strlen(part);
    if (textLen > kLongestSearchedText || textLen < partLen) return 0;
    char window[kLongestSearchedText + 1];
    const unsigned char first = static_cast<unsigned char>(part[0]);
    for (size_t i = 0; i + partLen <= textLen; ++i) {
        // The locale's comparison costs far more than the rest of a search:
        // a position whose first printable ASCII character cannot match,
        // letter case aside, is passed by.
        const unsigned char here = static_cast<unsigned char>(text[i]);
        if (first >= 0x20 && first < 0x80 && here >= 0x20 && here < 0x80 &&
            toupper(first) != toupper(here))
            continue;
        memcpy(window, text + i, partLen);
        window[partLen] = '\0';
        if (lstrcmpiA(window, part) == 0) return 1;
    }
    return 0;
}

int GetProgramFolder(char* out)
{
    out[0] = '\0';
    char module[1024];
    DWORD n = GetModuleFileNameA(nullptr, module, sizeof(module));
    if (n == 0 || n >= sizeof(module)) return 0;
    char* slash = strrchr(module, '\\');
    if (slash) *slash = '\0';
    if (strlen(module) >= MAX_PATH) return 0;
    StrCopy(out, MAX_PATH, module);
    return static_cast<int>(strlen(out));
}

int GetFileNamePart(const char* path, char* out, size_t capacity)
{
    if (capacity == 0) return 0;
    out[0] = '\0';
    const char* slash = LastBackslash(path);
    if (!slash) return 0;
    StrCopy(out, capacity, slash + 1);
    return static_cast<int>(strlen(out));
}

int FileNameOffset(const char* path)
{
    const char* slash = LastBackslash(path);
    return slash ? static_cast<int>(slash - path + 1) : 0;
}

int SkipLeadingBlanks(const char* text, char* out)
{
    out[0] = '\0';
    if (!text) return 0;
    while (IsBlank(*text)) ++text;
    StrCopy(out, MAX_PATH, text);
    return static_cast<int>(strlen(out));
}

int GetExtension(const char* name, char* out)
{
    out[0] = '\0';
    const char* dot = name ? strchr(name, '.') : nullptr;
    if (!dot) return 0;
    StrCopy(out, MAX_PATH, dot + 1);
    return 1;
}

void RemoveQuotes(const char* text, char* out)
{
    size_t j = 0;
    for (size_t i = 0; text && text[i] != '\0' && j + 1 < MAX_PATH; ++i)
        if (text[i] != '"') out[j++] = text[i];
    out[j] = '\0';
}

void ReplaceChar(char* text, char from, char to)
{
    if (!text) return;
    size_t j = 0;
    for (size_t i = 0; text[i] != '\0'; ++i) {
        if (text[i] != from)
            text[j++] = text[i];
        else if (to != '\0')
            text[j++] = to;
    }
    text[j] = '\0';
}

void EqualsToColon(const char* text, char* out)
{
    StrCopy(out, MAX_PATH, text);
    ReplaceChar(out, '=', ':');
}

void AddBackslash(char* path)
{
    size_t n = strlen(path);
    if (n > 0 && path[n - 1] == '\\') return;
    if (n + 2 > MAX_PATH) return;
    path[n] = '\\';
    path[n + 1] = '\0';
}

void RemoveBackslash(char* path, int keepRoot)
{
    size_t n = strlen(path);
    if (n == 0 || path[n - 1] != '\\') return;
    if (keepRoot && n >= 2 && path[n - 2] == ':') return;
    path[n - 1] = '\0';
}

void GetLongPath(char* out, const char* path)
{
    char source[MAX_PATH];
    StrCopy(source, path);   // out and path may be the same buffer
    StrCopy(out, MAX_PATH, source);
    // Only a name the file system shortened (NAME~1) has another long form.
    // Without a "~" the long form is the path itself, and asking for it
    // costs a directory search per component on every listed entry.
    if (source[0] == '\0' || !strchr(source, '~') || IsWindows95()) return;
    // Resolved at run time: Windows 95 and NT 4.0 lack the function.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto fn = kernel ? reinterpret_cast<GetLongPathNameFn>(GetProcAddress(kernel, "GetLongPathNameA"))
                     : nullptr;
    if (!fn) return;
    char longPath[MAX_PATH];
    DWORD n = fn(source, longPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    StrCopy(out, MAX_PATH, longPath);
}

int DeleteFileForced(const char* path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path) ? 1 : 0;
}

int FileExistsInPath(char* path)
{
    if (!path || path[0] == '\0') return 0;
    if (ExistsByOpenFile(path)) return 1;
    if (strlen(path) >= 32) return 0;
    char full[MAX_PATH];
    if (FolderAndName(full, true, path) && ExistsByOpenFile(full)) return 1;
    if (FolderAndName(full, false, path) && ExistsByOpenFile(full)) {
        char shortPath[MAX_PATH];
        DWORD n = GetShortPathNameA(full, shortPath, MAX_PATH);
        StrCopy(path, MAX_PATH, (n > 0 && n < MAX_PATH) ? shortPath : full);
        return 1;
    }
    return 0;
}

int GetFileFolder(const char* path, char* out)
{
    if (!path) return 0;
    const char* slash = LastBackslash(path);
    if (slash) {
        size_t n = static_cast<size_t>(slash - path);
        if (n < 3) n += 1;   // "C:\x.exe" keeps the root's backslash
        if (n >= MAX_PATH) n = MAX_PATH - 1;
        memcpy(out, path, n);
        out[n] = '\0';
        return static_cast<int>(n);
    }
    if (strlen(path) >= 32) return 0;
    for (bool windowsFolder : {true, false}) {
        char full[MAX_PATH];
        if (FolderAndName(full, windowsFolder, path) && ExistsByOpenFile(full)) {
            UINT n = windowsFolder ? GetWindowsDirectoryA(out, MAX_PATH)
                                   : GetSystemDirectoryA(out, MAX_PATH);
            return static_cast<int>(n);
        }
    }
    return 0;
}

int GetDataFolder(char* out)
{
    char appData[MAX_PATH];
    if (GetRegValue(HKEY_CURRENT_USER,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                    "AppData", appData)) {
        char folder[MAX_PATH];
        char vault[MAX_PATH];
        if (StrFormatA(folder, "%s\\Velmora", appData) == 0 &&
            StrFormatA(vault, "%s\\vault", folder) == 0) {
            CreateDirectoryA(folder, nullptr);
            CreateDirectoryA(vault, nullptr);
            DWORD attributes = GetFileAttributesA(vault);
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                StrCopy(out, MAX_PATH, folder);
                return static_cast<int>(strlen(appData));
            }
        }
    }
    return GetProgramFolder(out);
}

int NormalizeProgramPath(const char* command, char* out)
{
    static char work[1024];
    out[0] = '\0';
    if (!command) return 0;
    SubstituteRoots(command, true, work);
    size_t start = 0;
    size_t end = CutAtProgram(work, false, &start);
    work[end] = '\0';
    StrCopy(out, MAX_PATH, work + start);
    return static_cast<int>(strlen(out));
}

int SplitProgramAndArguments(const char* command, char* program, char* arguments)
{
    static char work[1024];
    program[0] = '\0';
    arguments[0] = '\0';
    if (!command) return 0;
    SubstituteRoots(command, false, work);
    size_t start = 0;
    size_t end = CutAtProgram(work, true, &start);

    // The rest: behind a closing quote of the program and the blanks after it.
    const char* rest = work + end;
    if (*rest == '"') ++rest;
    while (IsBlank(*rest)) ++rest;
    char restCopy[1024];
    StrCopy(restCopy, rest);
    StrCopy(arguments, MAX_PATH, restCopy);

    work[end] = '\0';
    char part[MAX_PATH];
    StrCopy(part, work + start);
    ReplaceChar(part, '"', '\0');
    GetLongPath(program, part);
    return static_cast<int>(end);
}

void FormatThousands(char* out, int capacity, long long number)
{
    if (!out || capacity <= 0) return;
    char digits[32];
    unsigned long long magnitude =
        number < 0 ? 0ULL - static_cast<unsigned long long>(number) : static_cast<unsigned long long>(number);
    StrFormatA(digits, "%llu", magnitude);
    char text[48];
    size_t j = 0;
    if (number < 0) text[j++] = '-';
    size_t len = strlen(digits);
    for (size_t i = 0; i < len; ++i) {
        if (i > 0 && (len - i) % 3 == 0) text[j++] = ',';
        text[j++] = digits[i];
    }
    text[j] = '\0';
    StrCopy(out, static_cast<size_t>(capacity), text);
}

void EncodeForUrl(char* out, const char* text)
{
    constexpr size_t kCapacity = 1024;
    size_t j = 0;
    for (size_t i = 0; text && text[i] != '\0'; ++i) {
        if (text[i] == ' ') {
            if (j + 3 >= kCapacity) break;   // never split an escape
            out[j++] = '%';
            out[j++] = '2';
            out[j++] = '0';
        } else {
            if (j + 1 >= kCapacity) break;
            out[j++] = text[i] == '&' ? '+' : text[i];
        }
    }
    out[j] = '\0';
}

HWND FindAolWindow()
{
    struct Candidate {
        const char* windowClass;
        const char* title;
    };
    constexpr Candidate kCandidates[] = {
        {"AOL Frame25", "America  Online"}, {"AOL Frame25", "America Online"},
        {"AOL Frame25", "AOL"},             {"AOL Frame25", "AOL Canada"},
        {"AOL Frame", "America  Online"},
    };
    static_assert(std::size(kCandidates) == 5);
    for (const Candidate& c : kCandidates)
        if (HWND window = FindWindowA(c.windowClass, c.title)) return window;
    return nullptr;
}

int GetDefaultBrowser(char* out)
{
    out[0] = '\0';
    char key[MAX_PATH];
    if (!LoadLocalizedString(IDS_HTTP_OPEN_KEY, key))
        StrCopy(key, "SOFTWARE\\Classes\\HTTP\\shell\\open\\command");
    char command[512];
    if (GetRegValue(HKEY_LOCAL_MACHINE, key, "", command)) {
        char plain[512];
        size_t j = 0;
        for (size_t i = 0; command[i] != '\0'; ++i)
            if (command[i] != '"') plain[j++] = command[i];
        plain[j] = '\0';
        // The options follow " -"; without them the last character (a quote's
        // blank or the "%1" placeholder's end) goes.
        char* dash = strchr(plain, '-');
        if (dash)
            *(dash == plain ? dash : dash - 1) = '\0';
        else if (j > 0)
            plain[j - 1] = '\0';
        StrCopy(out, MAX_PATH, plain);
    }
    if (out[0] == '\0') IeFolderWith(out, "\\IExplore.exe");
    return static_cast<int>(strlen(out));
}

int GetBrowserKind()
{
    struct Kind {
        const char* word;
        int kind;
    };
    constexpr Kind kKinds[] = {{"iexplore", 1}, {"netscp", 2}, {"maxthon", 4},
                               {"avant", 5},    {"mozilla", 6}, {"firefox", 3}};
    static_assert(std::size(kKinds) == 6);
    char browser[MAX_PATH];
    GetDefaultBrowser(browser);
    for (const Kind& k : kKinds)
        if (ContainsNoCase(browser, k.word)) return k.kind;
    return 1;
}

int GetIePath(char* out)
{
    return IeFolderWith(out, "\\iexplore.exe");
}
