#include "foundation/foundation.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

constexpr int kOverrideLen = 772;
constexpr int kEnglishId = 9;
constexpr int kFirstPage = 6026;

struct Settings {
    int messageLanguage = 0;
    int currentPage = kFirstPage;
    char caption[128] = "";
    bool captionLoaded = false;
};

Settings g_settings;

struct LanguageCode {
    const char* code;
    int id;
};

constexpr LanguageCode kLanguages[] = {
    {"us", 9},  {"de", 7},  {"fr", 12}, {"es", 10}, {"it", 16}, {"se", 29},
    {"ru", 25}, {"pt", 22}, {"pl", 21}, {"no", 20}, {"gr", 8},  {"nl", 19},
    {"br", 22}, {"sq", 28}, {"tr", 31}, {"ar", 1},  {"fi", 11}, {"cn", 4},
};
static_assert(std::size(kLanguages) == 18);

// "ru" typed in code page 1251 by a translator who kept the Cyrillic keyboard.
constexpr char kCyrillicRu[] = "\xEA\xE0\xEA";
constexpr int kRussianId = 25;

// Every option with its default in the monitor and in the explorer.
struct OptionDefault {
    const char* name;
    int monitor;
    int explorer;
};

constexpr int kByPlatform = -1;   // TrayIcon: the icon that suits the shell

constexpr OptionDefault kOptionDefaults[] = {
    {"Start", 2, 2},
    {"IEHelpers", 2, 2},
    {"Hidden", 0, 0},
    {"HostFile", 3, 3},
    {"StartPage", 2, 2},
    {"FileType", 10, 10},
    {"Tasks", 11, 11},
    {"WinInit", 5, 5},
    {"Services", 7, 7},
    {"Nuts", 0, 0},
    {"Cookies", 0, 0},
    {"RealtimeStartup", 1, 1},
    {"RealtimeIEHelper", 1, 1},
    {"RealtimeSysFiles", 1, 1},
    {"RealtimeFileType", 0, 0},
    {"RealtimeStartPage", 1, 1},
    {"RealtimeHidden", 0, 0},
    {"HideAlerts", 0, 0},
    {"HideBarley", 0, 0},
    {"TrayIcon", kByPlatform, 101},
    {"Sound", 1, 1},
    {"ConfirmExit", 0, 0},
    {"LockFileTypes", 0, 0},
    {"History", 1, 1},
    {"Format", 0, 0},
    {"PrimeFormat", 0, 0},
    {"HideMicrosoftServices", 0, 0},
    {"ShowAllStartup", 0, 0},
    {"NoMicrosoftStartup", 0, 0},
    {"MaxCookie", 315, 4096},
    {"ViewCookies", 0, 0},
    {"Debug", 0, 0},
    {"Cleanup", 0, 0},
    {"Update", 0, 0},
    {"StartTab", kFirstPage, kFirstPage},
    {"Browser", 1, 1},
    {"BrowserFailure", 0, 0},
    {"SortStartup", 0, 0},
    {"SortPrograms", 0, 0},
    {"SortIEHelper", 0, 0},
    {"SortService", 0, 0},
    {"SortScheduledTask", 0, 0},
    {"SortActiveTask", 0, 0},
    {"SortCookie", 0, 0},
    {"SortFileType", 0, 0},
    {"SortHidden", 0, 0},
    {"NoteSize", 14, 14},
};
static_assert(std::size(kOptionDefaults) == 47);

int DecimalOf(const char* text)
{
    long value = strtol(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// A registry override: "%n" stands for a line break, since the registry
// editors of the time could not enter one.
int LoadOverride(int id, char* buffer, int capacity)
{
    char name[32];
    StrFormatA(name, "LString%d", id);
    char text[kOverrideLen + 1];
    if (!GetRegValue(HKEY_LOCAL_MACHINE, kVelmoraKey, name, text)) return 0;
    int cut = capacity - 1 < kOverrideLen - 1 ? capacity - 1 : kOverrideLen - 1;
    if (static_cast<int>(strlen(text)) > cut) text[cut] = '\0';
    int length = static_cast<int>(strlen(text));
    size_t j = 0;
    for (size_t i = 0; text[i] != '\0'; ++i) {
        if (text[i] == '%' && text[i + 1] == 'n') {
            text[j++] = '\n';
            ++i;
        } else {
            text[j++] = text[i];
        }
    }
    text[j] = '\0';
    StrCopy(buffer, static_cast<size_t>(capacity), text);
    return length;
}

void WriteStartTab()
{
    WriteOption("StartTab", GetProgramKind() == kMonitor ? 0 : g_settings.currentPage);
}

void WritePlacementValue(const char* name, int value)
{
    char text[16];
    StrFormatA(text, "%d", value);
    SetRegValue(HKEY_CURRENT_USER, kVelmoraKey, name, text);
}

}  // namespace

int GetOptionDefault(const char* name)
{
    if (!name) return 0;
    for (const OptionDefault& o : kOptionDefaults) {
        if (lstrcmpiA(o.name, name) != 0) continue;
        int value = GetProgramKind() == kMonitor ? o.monitor : o.explorer;
        if (value == kByPlatform) value = GetPlatformId() != VER_PLATFORM_WIN32_WINDOWS ? 101 : 159;
        return value;
    }
    return 0;
}

int ReadOptionOrDefault(const char* name)
{
    return ReadOption(name, GetOptionDefault(name));
}

int ReadOption(const char* name, int defaultValue)
{
    // Values longer than 128 characters read as missing.
    char text[129];
    if (!GetRegValue(HKEY_CURRENT_USER, kOptionsKey, name, text)) return defaultValue;
    return DecimalOf(text);
}

int WriteOption(const char* name, int value)
{
    char text[16];
    StrFormatA(text, "%d", value);
    int written = SetRegValue(HKEY_CURRENT_USER, kOptionsKey, name, text);
    SetRegValue(HKEY_CURRENT_USER, kOptionsKey, "Update", "1");
    return written;
}

int LoadLocalizedString(int id, char* buffer, int capacity)
{
    if (!buffer || capacity <= 0) return 0;
    if (g_settings.messageLanguage != kEnglishId) {
        int length = LoadOverride(id, buffer, capacity);
        if (length > 0) return length;
    }
    buffer[0] = '\0';
    int length = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), buffer, capacity);
    if (length <= 0) buffer[0] = '\0';
    return length > 0 ? length : 0;
}

void FillTextPattern(const char* pattern, const char* argument, char* out, size_t capacity)
{
    if (capacity == 0) return;
    out[0] = '\0';
    const char* mark = strstr(pattern, "%s");
    if (!mark) {
        StrCopy(out, capacity, pattern);
        return;
    }
    const size_t head = static_cast<size_t>(mark - pattern);
    StrCopy(out, head + 1 < capacity ? head + 1 : capacity, pattern);
    StrAppend(out, capacity, argument);
    StrAppend(out, capacity, mark + 2);
}

void FillLocalizedPattern(int stringId, const char* argument, char* out, size_t capacity)
{
    char pattern[1024];
    LoadLocalizedString(stringId, pattern);
    FillTextPattern(pattern, argument, out, capacity);
}

void SetDialogText(HWND dialog, int stringId, int controlId)
{
    char text[1024];
    if (LoadLocalizedString(stringId, text) > 0) SetDlgItemTextA(dialog, controlId, text);
}

void RestorePlacement(HWND window, const char* xName, const char* yName, const char* dxName,
                      const char* dyName)
{
    WriteStartTab();
    char xText[32];
    char yText[32];
    if (GetRegValue(HKEY_CURRENT_USER, kVelmoraKey, xName, xText) &&
        GetRegValue(HKEY_CURRENT_USER, kVelmoraKey, yName, yText)) {
        int x = DecimalOf(xText);
        int y = DecimalOf(yText);
        // Pull back positions saved on a monitor that is gone.
        if (x > GetSystemMetrics(SM_CXVIRTUALSCREEN) || x < GetSystemMetrics(SM_XVIRTUALSCREEN))
            x = GetSystemMetrics(SM_CXSCREEN) / 2;
        if (y > GetSystemMetrics(SM_CYVIRTUALSCREEN) || y < GetSystemMetrics(SM_YVIRTUALSCREEN))
            y = GetSystemMetrics(SM_CYSCREEN) / 2;
        SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    RECT rect = {};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 3;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SavePlacement(HWND window, const char* xName, const char* yName, const char* dxName,
                   const char* dyName)
{
    RECT rect = {};
    if (GetWindowRect(window, &rect)) {
        WritePlacementValue(xName, rect.left);
        WritePlacementValue(yName, rect.top);
        WritePlacementValue(dxName, rect.right - rect.left);
        WritePlacementValue(dyName, rect.bottom - rect.top);
    }
    WriteStartTab();
}

void ShowSystemError()
{
    DWORD error = GetLastError();
    char message[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 1024,
                   message, sizeof(message), nullptr);
    char text[600];
    StrFormatA(text, "%d  %s", static_cast<int>(error), message);
    MessageBoxExA(nullptr, text, "System Error", MB_OK | MB_ICONINFORMATION | MB_TOPMOST,
                  static_cast<WORD>(g_settings.messageLanguage));
}

void InitMessageLanguage()
{
    char code[9];
    LoadLocalizedString(IDS_LANGUAGE_CODE, code);
    g_settings.messageLanguage = 0;
    if (strcmp(code, kCyrillicRu) == 0) {
        g_settings.messageLanguage = kRussianId;
        return;
    }
    for (const LanguageCode& l : kLanguages) {
        if (lstrcmpiA(code, l.code) == 0) {
            g_settings.messageLanguage = l.id;
            return;
        }
    }
}

int MessageLanguageId()
{
    return g_settings.messageLanguage;
}

void SetMessageLanguageId(int id)
{
    g_settings.messageLanguage = id;
}

const char* GetAppCaption()
{
    if (!g_settings.captionLoaded) {
        LoadLocalizedString(IDS_APP_CAPTION, g_settings.caption);
        g_settings.captionLoaded = true;
    }
    return g_settings.caption;
}

void SetCurrentPage(int commandId)
{
    g_settings.currentPage = commandId;
}
