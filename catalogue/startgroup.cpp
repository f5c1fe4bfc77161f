// Startup folder files and shortcuts. The same folder walk serves the cookie
// folder and the hidden-file watch; the walk mode picks the per-file handler.
#include "catalogue/catalogue.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>

namespace {

constexpr int kTypeGroupStartup = 200;
constexpr int kDescriptionLen = MAX_PATH;
constexpr int kFileTimeTextLen = 256;
// Titles this long broke the list of an older release; the trace keeps
// reporting them so a damaged shortcut can be found.
constexpr size_t kLongTitle = 256;
// Resolve without user interface; the high word is the search time-out in
// milliseconds.
constexpr DWORD kResolveFlags = SLR_NO_UI | (500u << 16);
static_assert(kResolveFlags == 0x1F40001);

// Program-wide: one walk at a time.
int g_walkMode = 0;
int g_found = 0;

int WalkLevel(const char* folder, WalkHandler handler, int depth, void* context)
{
    char base[MAX_PATH];
    if (!folder[0] || StrCopy(base, folder) != 0) return 0;
    const size_t length = strlen(base);
    if (base[length - 1] != '\\' && StrAppend(base, "\\") != 0) return 0;
    char pattern[MAX_PATH];
    if (StrFormat(pattern, MAX_PATH, "%s*.*", base) != 0) return 0;

    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA(pattern, &found));
    if (!find) return 0;
    do {
        char path[MAX_PATH];
        // A path the buffer cannot hold would name some other file.
        if (StrFormat(path, MAX_PATH, "%s%s", base, found.cFileName) != 0) continue;
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && found.cFileName[0] == '.') continue;
        if (isFolder && depth > 0 && WalkLevel(path, handler, depth - 1, context)) return 1;
        if (handler(path, &found, context)) return 1;
    } while (FindNextFileA(find.get(), &found));
    return 0;
}

bool EndsWithNoCase(const char* text, const char* tail)
{
    const size_t n = strlen(text);
    const size_t m = strlen(tail);
    return n >= m && lstrcmpiA(text + n - m, tail) == 0;
}

void TraceLongTitle(const char* title, const char* label)
{
    if (strlen(title) > kLongTitle) TraceLog(title, label);
}

void AddShortcutEntry(const char* linkPath)
{
    char target[MAX_PATH];
    char description[kDescriptionLen];
    if (ResolveShortcut(linkPath, target, description) == S_FALSE) {
        // Its target is gone: Windows would have to ask the user where it went.
        TraceLongTitle(description, "lnk - This was the problem - spBuildProc - findexe");
        return;
    }
    TraceLongTitle(description, "This was the problem - spBuildProc - findexe");
    const char* title = description;
    VersionRecord version;
    if (!title[0]) {
        GetVersionStrings(target, &version);
        title = version.field[kFileDescription][0] ? version.field[kFileDescription]
                                                   : version.field[kProductName];
    }
    AddItem(title, target, linkPath, "", kTypeGroupStartup, 0);
}

void AddProgramEntry(const char* path)
{
    VersionRecord version;
    GetVersionStrings(path, &version);
    const char* title = version.field[kFileDescription][0] ? version.field[kFileDescription]
                                                           : version.field[kProductName];
    TraceLongTitle(title, "exe - This was the problem - spBuildProc - findexe");
    AddItem(title, path, path, "", kTypeGroupStartup, 0);
}

HRESULT CreateShellLink(ComPtr<IShellLinkA>& link)
{
    return CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                            reinterpret_cast<void**>(link.put()));
}

HRESULT ToWide(const char* path, wchar_t (&wide)[MAX_PATH])
{
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

HRESULT ResolveLink(const char* linkPath, char* target, char* description)
{
    // Callers normally run in an apartment already; this only adds a
    // reference then, and makes a caller that forgot still work.
    ComApartment apartment;
    ComPtr<IShellLinkA> link;
    HRESULT hr = CreateShellLink(link);
    if (FAILED(hr)) return hr;
    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()));
    if (FAILED(hr)) return hr;
    wchar_t wide[MAX_PATH];
    hr = ToWide(linkPath, wide);
    if (FAILED(hr)) return hr;
    hr = file->Load(wide, STGM_READ);
    if (FAILED(hr)) return hr;

    hr = link->Resolve(nullptr, kResolveFlags);
    if (FAILED(hr)) return hr;
    if (hr != S_OK) {
        LoadLocalizedString(IDS_LOCAL_FILE_NOT_FOUND, description, kDescriptionLen);
        return hr;
    }
    hr = link->GetDescription(description, kDescriptionLen);
    if (FAILED(hr)) {
        description[0] = 0;
        return hr;
    }
    description[kDescriptionLen - 1] = 0;
    WIN32_FIND_DATAA found;
    hr = link->GetPath(target, MAX_PATH, &found, SLGP_SHORTPATH);
    if (FAILED(hr)) target[0] = 0;
    target[MAX_PATH - 1] = 0;
    return hr;
}

HRESULT WriteLink(const char* linkPath, const char* target, const char* arguments,
                  const char* workingFolder, const char* description, const char* iconPath,
                  int iconIndex)
{
    ComApartment apartment;
    ComPtr<IShellLinkA> link;
    HRESULT hr = CreateShellLink(link);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = link->SetPath(target ? target : ""))) return hr;
    if (FAILED(hr = link->SetDescription(description ? description : ""))) return hr;
    if (FAILED(hr = link->SetIconLocation(iconPath ? iconPath : "", iconIndex))) return hr;
    if (FAILED(hr = link->SetWorkingDirectory(workingFolder ? workingFolder : ""))) return hr;
    if (FAILED(hr = link->SetArguments(arguments ? arguments : ""))) return hr;
    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()));
    if (FAILED(hr)) return hr;
    wchar_t wide[MAX_PATH];
    hr = ToWide(linkPath, wide);
    if (FAILED(hr)) return hr;
    return file->Save(wide, TRUE);
}

}   // namespace

void SetWalkMode(int mode)
{
    g_walkMode = mode;
}

int GetWalkMode()
{
    return g_walkMode;
}

void SetFoundFlag(int found)
{
    g_found = found;
}

int GetFoundFlag()
{
    return g_found;
}

void WalkFolder(const char* folder, WalkHandler handler, int depth, void* context)
{
    if (folder && handler) WalkLevel(folder, handler, depth, context);
}

int spBuildProc(const char* path, const WIN32_FIND_DATAA* findData, void* context)
{
    // A plain folder is never an entry of any walk.
    if (!path || !findData || findData->dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY) return 0;
    switch (g_walkMode) {
    case kWalkStartup:
        return StartupFileProc(path, findData, context);
    case kWalkCookies:
        return CookieFileProc(path, findData, context);
    case kWalkHidden:
        return HiddenFileProc(path, findData, context);
    default:
        return 0;
    }
}

int StartupFileProc(const char* path, const WIN32_FIND_DATAA* findData, void* context)
{
    // Windows starts nothing from a folder inside a Startup folder, whatever
    // attributes the folder carries.
    if (findData && (findData->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    char file[MAX_PATH];
    if (StrCopy(file, path) != 0) return 0;
    RemoveBackslash(file, 1);
    TraceLog(file, "spBuildProc - Startup - findexe");

    if (EndsWithNoCase(file, "lnk")) {
        AddShortcutEntry(file);
    } else if (EndsWithNoCase(file, "exe")) {
        AddProgramEntry(file);
    } else if (!EndsWithNoCase(file, "ini")) {
        // A desktop.ini never shows; pif, bat, url and the rest are listed
        // under their file names.
        AddItem("", file, "", "", kTypeGroupStartup, 0);
    }
    g_found = 1;
    return 0;
}

HRESULT ResolveShortcut(const char* linkPath, char* target, char* description)
{
    target[0] = 0;
    description[0] = 0;
    // A shortcut on a removed disk must not bring up the system's
    // "insert a disk" box.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    const HRESULT hr = ResolveLink(linkPath, target, description);
    SetErrorMode(oldMode);
    return hr;
}

HRESULT CreateShortcut(const char* linkPath, const char* target, const char* arguments,
                       const char* workingFolder, const char* description, const char* iconPath,
                       int iconIndex)
{
    return WriteLink(linkPath, target, arguments, workingFolder, description, iconPath,
                     iconIndex);
}

int GetFileDescription(const char* path, char* out)
{
    VersionRecord version;
    GetVersionStrings(path, &version);
    StrCopy(out, kVersionFieldLen, version.field[kFileDescription]);
    return static_cast<int>(strlen(out));
}

int FormatFileCreated(const char* path, char* out)
{
    out[0] = 0;
    UniqueFile file(CreateFileA(path, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return 0;
    FILETIME created;
    FILETIME local;
    SYSTEMTIME time;
    if (!GetFileTime(file.get(), &created, nullptr, nullptr)) return 0;
    if (created.dwLowDateTime == 0 && created.dwHighDateTime == 0) return 0;
    if (!FileTimeToLocalFileTime(&created, &local) || !FileTimeToSystemTime(&local, &time))
        return 0;
    StrFormat(out, kFileTimeTextLen, "%04d/%02d/%02d %02d:%02d", time.wYear, time.wMonth,
              time.wDay, time.wHour, time.wMinute);
    return static_cast<int>(strlen(out));
}
