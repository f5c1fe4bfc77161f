// The online lookup of a program and the help pages: both programs open
// pages in the user's browser by the same rules. Velmora runs no web site of
// its own; every address comes from a setting an installation makes (see
// docs/settings.md), except the public search that stands in for a missing
// information server.
#include "foundation/foundation.h"

#include <initguid.h>
#include <isguids.h>
#include <intshcut.h>
#include <shellapi.h>

#include <cstring>
#include <iterator>

namespace {

constexpr const char* kDefaultLookupSearch = "https://duckduckgo.com/?q=";

int IsFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return path[0] != '\0' && attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int IsWebAddress(const char* text)
{
    return _strnicmp(text, "http://", 7) == 0 || _strnicmp(text, "https://", 8) == 0;
}

// The lookup site without its trailing slashes, so that the script's path
// can follow it as written.
int ReadLookupSite(char (&out)[768])
{
    if (!ReadWebSetting("LookupSite", out, sizeof(out))) return 0;
    size_t length = strlen(out);
    while (length > 0 && out[length - 1] == '/') out[--length] = '\0';
    return 1;
}

// Percent-encoding for a search engine's query: everything but the
// unreserved characters is escaped, so no part of a name can end the query
// or start a fragment.
void AppendPercentEncoded(char* out, size_t capacity, const char* text)
{
    constexpr char kHex[] = "0123456789ABCDEF";
    size_t j = strlen(out);
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        const unsigned char c = *p;
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            if (j + 1 >= capacity) break;
            out[j++] = static_cast<char>(c);
            continue;
        }
        if (j + 3 >= capacity) break;   // never split an escape
        out[j++] = '%';
        out[j++] = kHex[c >> 4];
        out[j++] = kHex[c & 15];
    }
    out[j] = '\0';
}

// Appends "name" and the value in the information server's own encoding:
// blanks as %20 and "&" as "+". A "%" or "#" from a name or a version
// string is escaped as well, so that it can neither read as an escape nor
// cut the query short at a fragment mark.
void AppendEncoded(char* out, size_t capacity, const char* name, const char* value)
{
    StrAppend(out, capacity, name);
    size_t j = strlen(out);
    for (const char* p = value; *p != '\0'; ++p) {
        const char* escape = *p == ' ' ? "%20" : *p == '%' ? "%25" : *p == '#' ? "%23" : nullptr;
        if (escape) {
            if (j + 3 >= capacity) break;   // never split an escape
            memcpy(out + j, escape, 3);
            j += 3;
            continue;
        }
        if (j + 1 >= capacity) break;
        out[j++] = *p == '&' ? '+' : *p;
    }
    out[j] = '\0';
}

// What one lookup knows of its program.
struct LookupSubject {
    char file[MAX_PATH];       // resolved path
    char name[MAX_PATH];       // F: the part behind the last backslash
    char extension[MAX_PATH];  // E: behind the first "." of F
    VersionRecord version;
};

void DescribeSubject(const char* path, LookupSubject* s)
{
    ResolveProgramFile(path, s->file);
    GetFileNamePart(s->file, s->name);
    const char* dot = strchr(s->name, '.');
    StrCopy(s->extension, dot ? dot + 1 : "");
    GetVersionStrings(s->file, &s->version);
}

const char* SimpleLanguage()
{
    switch (MessageLanguageId()) {
    case 7:
        return "de";
    case 12:
        return "fr";
    default:
        return "en";
    }
}

int SimpleSiteAddress(const char* site, int typeCode, const char* title, const LookupSubject& s,
                      int rawName, char* out, size_t capacity)
{
    StrFormat(out, static_cast<int>(capacity), "%s/cgi-bin/primeinfo.pl?program=", site);
    const char* program = s.file[0] != '\0' ? s.name : (title ? title : "");
    if (rawName && s.file[0] != '\0') {
        StrAppend(out, capacity, program);
    } else {
        AppendEncoded(out, capacity, "", program);
    }
    AppendEncoded(out, capacity, "&vendor=", s.version.field[kCompanyName]);
    AppendEncoded(out, capacity, "&version=", s.version.field[kProductVersion]);
    char build[1024];
    GetSystemVersionText(build);
    StrAppend(out, capacity, "&build=");
    StrAppend(out, capacity, build);
    char tail[64];
    StrFormatA(tail, "&Type=%d&Loc=%s", typeCode, SimpleLanguage());
    StrAppend(out, capacity, tail);
    AppendEncoded(out, capacity, "&ext=", s.extension);
    return 1;
}

int DetailedSiteAddress(const char* site, int typeCode, const char* path, const char* title,
                        const LookupSubject& s, char* out, size_t capacity)
{
    StrFormat(out, static_cast<int>(capacity), "%s/cgi-bin/primeinfo12.pl?program=", site);
    AppendEncoded(out, capacity, "", s.file[0] != '\0' ? s.name : (title ? title : ""));
    AppendEncoded(out, capacity, "&vendor=", s.version.field[kCompanyName]);
    char build[1024];
    GetSystemVersionText(build);
    AppendEncoded(out, capacity, "&build=", build);
    char language[16] = "";
    LoadLocalizedString(IDS_LANGUAGE_CODE, language);
    char tail[64];
    StrFormatA(tail, "&Type=%d&Loc=", typeCode);
    StrAppend(out, capacity, tail);
    AppendEncoded(out, capacity, "", language[0] != '\0' ? language : "en");
    AppendEncoded(out, capacity, "&ext=", s.extension);
    FileInformation info;
    GetFileInformation(s.file, typeCode, &info);
    const struct {
        const char* name;
        const char* value;
    } fields[] = {
        {"&version=", s.version.field[kProductVersion]},
        {"&name=", s.version.field[kProductName]},
        {"&copy=", s.version.field[kCopyright]},
        {"&detail=", s.version.field[kFileDescription]},
        {"&created=", info.created},
        {"&detected=", info.detected},
        {"&fsize=", info.size},
        {"&path=", path ? path : ""},
    };
    for (const auto& f : fields) AppendEncoded(out, capacity, f.name, f.value);
    return 1;
}

// Without an information server: a web search for the file's name and its
// maker. Only these two go out; the details of the detailed form are meant
// for an installation's own server, never for a public search engine.
int SearchAddress(const char* title, const LookupSubject& s, char* out, size_t capacity)
{
    char search[768];
    if (!ReadWebSetting("LookupSearch", search, sizeof(search))) StrCopy(search, kDefaultLookupSearch);
    char query[kPathLen + kVersionFieldLen + 2];
    StrCopy(query, s.file[0] != '\0' ? s.name : (title ? title : ""));
    if (s.version.field[kCompanyName][0] != '\0') {
        StrAppend(query, " ");
        StrAppend(query, s.version.field[kCompanyName]);
    }
    StrCopy(out, capacity, search);
    AppendPercentEncoded(out, capacity, query);
    return 1;
}

int BuildAddress(int typeCode, const char* path, const char* title, int detailed, int rawName,
                 char* out, size_t capacity)
{
    out[0] = '\0';
    if (capacity == 0) return 0;
    LookupSubject subject;
    DescribeSubject(path, &subject);
    char site[768];
    if (!ReadLookupSite(site)) return SearchAddress(title, subject, out, capacity);
    if (detailed) return DetailedSiteAddress(site, typeCode, path, title, subject, out, capacity);
    return SimpleSiteAddress(site, typeCode, title, subject, rawName, out, capacity);
}

int OpenWithShell(const char* target)
{
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32 ? 1 : 0;
}

// Internet Explorer by its registered folder, for systems whose shell has no
// browser for web addresses. Both parts are quoted: the folder usually holds
// blanks, and an unquoted one would start "C:\Program.exe" where it exists.
int OpenInInternetExplorer(const char* address)
{
    char browser[MAX_PATH];
    if (!GetIePath(browser) || !IsFile(browser)) return 0;
    char command[MAX_PATH + kLookupAddressLen + 8];
    if (StrFormatA(command, "\"%s\" \"%s\"", browser, address) != 0) return 0;
    return WinExec(command, SW_SHOWNORMAL) > 31 ? 1 : 0;
}

// An address on a command line: a quote from a version string must not end
// the argument early.
void WithoutQuotes(const char* text, char* out, size_t capacity)
{
    size_t j = 0;
    for (size_t i = 0; text[i] != '\0' && j + 1 < capacity; ++i)
        if (text[i] != '"') out[j++] = text[i];
    out[j] = '\0';
}

// The detailed address can be longer than a command line may be, so it
// travels in an Internet shortcut. The file stays until the next detailed
// lookup: the browser reads it after the shell has already returned.
int OpenThroughShortcut(const char* address)
{
    char folder[MAX_PATH];
    char shortcut[MAX_PATH + 16];
    if (!GetProgramFolder(folder) || StrFormatA(shortcut, "%s\\temp.url", folder) != 0) return 0;
    DeleteFileA(shortcut);
    ComApartment apartment;
    ComPtr<IUniformResourceLocatorA> locator;
    if (FAILED(CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IUniformResourceLocatorA,
                                reinterpret_cast<void**>(locator.put()))) ||
        FAILED(locator->SetURL(address, 0)))
        return 0;
    ComPtr<IPersistFile> file;
    if (FAILED(locator->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))))
        return 0;
    wchar_t wide[MAX_PATH + 16];
    if (!MultiByteToWideChar(CP_ACP, 0, shortcut, -1, wide, static_cast<int>(std::size(wide))) ||
        FAILED(file->Save(wide, TRUE)))
        return 0;
    return OpenWithShell(shortcut) ? 1 : -1;
}

struct HelpDocument {
    int pageId;
    const char* file;
};
constexpr HelpDocument kHelpDocuments[] = {
    {6026, "startup.html"},  {6028, "cookies.html"},  {6029, "tasks.html"},
    {6033, "options.html"},  {6038, "services.html"}, {6039, "scheduler.html"},
    {6040, "bho.html"},      {6042, "filetype.html"}, {6051, "helpme.html"},
    {6052, "hidden.html"},   {6055, "delay.html"},
};
static_assert(std::size(kHelpDocuments) == 11);
constexpr const char* kHelpDocumentOther = "features.html";

// The address under which an installation keeps its help pages online.
int HelpSiteAddress(const char* document, char (&out)[1024])
{
    char site[768];
    if (!ReadWebSetting("HelpSite", site, sizeof(site))) return 0;
    const size_t length = strlen(site);
    const char* slash = site[length - 1] == '/' ? "" : "/";
    return StrFormatA(out, "%s%s%s", site, slash, document) == 0;
}

}  // namespace

// Only http and https are taken, so that a setting can never name a program
// to start.
int ReadWebSetting(const char* name, char* out, size_t capacity)
{
    if (capacity == 0) return 0;
    out[0] = '\0';
    char text[768];
    if (ReadRegText(HKEY_LOCAL_MACHINE, kVelmoraKey, name, text) <= 0 || !IsWebAddress(text))
        return 0;
    StrCopy(out, capacity, text);
    return 1;
}

int LookupSiteAddress(const char* page, char* out, size_t capacity)
{
    if (capacity == 0) return 0;
    out[0] = '\0';
    char site[768];
    if (!ReadLookupSite(site)) return 0;
    if (StrFormat(out, static_cast<int>(capacity), "%s%s", site, page) == 0) return 1;
    out[0] = '\0';
    return 0;
}

int LookupKey(const char* fileName, char* out, size_t capacity)
{
    if (capacity == 0) return 0;
    out[0] = '\0';
    char key[kPathLen];
    size_t j = 0;
    for (size_t i = 0; fileName && fileName[i] != '\0' && j + 1 < sizeof(key); ++i) {
        char c = fileName[i];
        if (c == '\\' || c == '/') continue;
        if (c == ' ' || c == '?' || c == ':') c = '_';
        key[j++] = c;
    }
    key[j] = '\0';
    CharLowerBuffA(key, static_cast<DWORD>(j));
    if (j > 1) {
        const size_t cut = strcspn(key + 1, ".-~,") + 1;
        key[cut] = '\0';
    }
    constexpr const char* kWords[] = {"ycomp", "newdot", "trickler"};
    for (const char* word : kWords)
        if (strstr(key, word)) StrCopy(key, word);
    if (strstr(key, "%1_%*")) {
        StrCopy(key, "vlcommand");
    } else if (strstr(key, "%1_s")) {
        StrCopy(key, "vlsaver");
    }
    StrCopy(out, capacity, key);
    return static_cast<int>(strlen(out));
}

int KnowledgeBasePage(const char* path, char* out)
{
    out[0] = '\0';
    char file[MAX_PATH];
    char name[MAX_PATH];
    char key[kPathLen];
    char folder[MAX_PATH];
    ResolveProgramFile(path, file);
    GetFileNamePart(file, name);
    if (LookupKey(name, key, sizeof(key)) == 0 || !GetProgramFolder(folder)) return 0;
    char page[MAX_PATH];
    if (StrFormatA(page, "%s\\kbase\\%s.html", folder, key) != 0 || !IsFile(page)) return 0;
    StrCopy(out, MAX_PATH, page);
    return 1;
}

int BuildLookupAddress(int typeCode, const char* path, const char* title, int detailed,
                       char* out, size_t capacity)
{
    return BuildAddress(typeCode, path, title, detailed, 0, out, capacity);
}

int LookupStatsAddress(char* out, size_t capacity)
{
    return LookupSiteAddress("/stats.html", out, capacity);
}

int OpenInAol(const char* address)
{
    char plain[kLookupAddressLen];
    WithoutQuotes(address, plain, sizeof(plain));
    char folder[kPathLen] = "";
    GetProfileStringA("WAOL", "AppPath", "", folder, sizeof(folder));
    char command[kPathLen + kLookupAddressLen + 32];
    const int32_t made = folder[0] != '\0'
                             ? StrFormatA(command, "\"%s\\WAOL.EXE\" -u\"%s\"", folder, plain)
                             : StrFormatA(command, "waol.exe -u\"%s\"", plain);
    return made == 0 && WinExec(command, SW_SHOWNORMAL) > 31 ? 1 : 0;
}

int OpenWebPage(const char* address)
{
    if (!address || !IsWebAddress(address)) return 0;
    if (FindAolWindow()) return OpenInAol(address);
    return OpenWithShell(address);
}

int OnlineLookup(int typeCode, const char* path, const char* title)
{
    const int detailed = ReadOption("PrimeFormat", 0) != 0;
    char page[MAX_PATH];
    if (!detailed && KnowledgeBasePage(path, page) && OpenWithShell(page)) return 1;

    static char address[kLookupAddressLen];
    const bool aol = FindAolWindow() != nullptr;
    BuildAddress(typeCode, path, title, detailed, aol, address, sizeof(address));
    if (aol) return OpenInAol(address);
    if (!detailed) return OpenWithShell(address) || OpenInInternetExplorer(address);

    const int shortcut = OpenThroughShortcut(address);
    if (shortcut > 0) return 1;
    if (shortcut == 0 && OpenWithShell(address)) return 1;
    return ReadOption("BrowserFailure", 0) != 0 ? OpenInInternetExplorer(address) : 0;
}

int HelpDocumentName(int pageId, char* out)
{
    const char* file = kHelpDocumentOther;
    for (const HelpDocument& d : kHelpDocuments)
        if (d.pageId == pageId) file = d.file;
    char language[9] = "";
    LoadLocalizedString(IDS_LANGUAGE_CODE, language);
    if (language[0] != '\0' && lstrcmpiA(language, "us") != 0) {
        StrFormat(out, kPathLen, "%s_%s", language, file);
    } else {
        StrCopy(out, kPathLen, file);
    }
    return static_cast<int>(strlen(out));
}

int OpenHelpPage(int pageId)
{
    char document[kPathLen];
    HelpDocumentName(pageId, document);
    char folder[MAX_PATH] = "";
    char local[MAX_PATH + kPathLen];
    if (GetProgramFolder(folder) && StrFormatA(local, "%s\\%s", folder, document) == 0 &&
        IsFile(local) && OpenWithShell(local))
        return 1;
    char address[1024];
    if (!HelpSiteAddress(document, address)) return 0;
    if (FindAolWindow() && OpenInAol(address)) return 1;
    return OpenWithShell(address);
}
