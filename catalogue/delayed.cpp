// Delayed start: entries taken out of the autostart locations and started
// by the monitor a chosen number of seconds after logon. One store under
// each root; an entry is a set of values named by its program path.
#include "catalogue/catalogue.h"

#include <shellapi.h>

#include <cstring>
#include <iterator>

namespace {

constexpr const char* kDelayTitleKey = "Software\\Corvath\\Velmora\\Delay\\Title";
constexpr const char* kDelayTimeKey = "Software\\Corvath\\Velmora\\Delay\\Time";
constexpr const char* kDelayParametersKey = "Software\\Corvath\\Velmora\\Delay\\Parameters";
constexpr const char* kDelayShortcutsKey = "Software\\Corvath\\Velmora\\Delay\\Shortcuts";
constexpr const char* kDelayAppletKey = "Software\\Corvath\\Velmora\\Delay\\Applet";
constexpr const char* kDelayOpenAsKey = "Software\\Corvath\\Velmora\\Delay\\OpenAs";
constexpr const char* kApprovedRunKey = "Software\\Corvath\\Velmora\\Run";
constexpr const char* kAppletName = "RunDLL32.exe";
constexpr const char* kNewEntryTime = "30";
constexpr const char* kMovedToDelay = "1103";

// Every value of an entry, in the order they are removed. "OpenAs" goes as
// well, so that a later delay of the same program starts from the default.
constexpr const char* kEntryKeys[] = {kDelayKey,          kDelayTimeKey,    kDelayParametersKey,
                                      kDelayShortcutsKey, kDelayAppletKey,  kDelayTitleKey,
                                      kDelayOpenAsKey};
static_assert(std::size(kEntryKeys) == 7);

// Show commands of the "OpenAs" values 0, 1, 2.
constexpr int kShowCommands[] = {SW_SHOWNORMAL, SW_MINIMIZE, SW_SHOWMAXIMIZED};
static_assert(std::size(kShowCommands) == 3);

struct DelayStore {
    HKEY root;
    int flag;
};
const DelayStore kStores[] = {{HKEY_LOCAL_MACHINE, 0}, {HKEY_CURRENT_USER, 1}};
static_assert(std::size(kStores) == 2);

constexpr int kTicksPerSlot = 6;
constexpr int kSecondsPerSlot = 10;

// The monitor's launch state, one per run of the monitor.
struct LaunchState {
    int total;
    int handled;
    int ticks;
    int slot;
};
LaunchState g_launch = {};

HKEY StoreRoot(int flag)
{
    return flag == 1 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// A decimal text with nothing else in it (blanks around it allowed).
bool ParseDecimal(const char* text, int* value)
{
    while (*text == ' ') ++text;
    if (!*text) return false;
    bool negative = *text == '-';
    if (negative) ++text;
    long long n = 0;
    int digits = 0;
    for (; *text >= '0' && *text <= '9'; ++text, ++digits) {
        n = n * 10 + (*text - '0');
        if (n > 0x7FFFFFFF) return false;
    }
    while (*text == ' ') ++text;
    if (*text || digits == 0) return false;
    *value = static_cast<int>(negative ? -n : n);
    return true;
}

int ShowMessage(int stringId, UINT style)
{
    char text[1024];
    LoadLocalizedString(stringId, text);
    return MessageBoxExA(nullptr, text, GetAppCaption(), style | MB_TOPMOST,
                         static_cast<WORD>(MessageLanguageId()));
}

void DelayedTitle(const char* program, const char* stored, const VersionRecord& version,
                  char (&title)[kTitleLen])
{
    if (stored[0]) {
        StrCopy(title, stored);
        return;
    }
    const char* product = version.field[kProductName];
    if (ContainsNoCase(product, "Microsoft\xAE Windows\xAE"))
        StrCopy(title, version.field[kFileDescription]);
    else if (product[0])
        StrCopy(title, product);
    else if (GetFileNamePart(program, title) == 0)
        StrCopy(title, program);
}

void ListStore(const DelayStore& store)
{
    UniqueKey key;
    if (RegOpenKeyExA(store.root, kDelayKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        char program[256];
        DWORD length = sizeof(program);
        LONG rc = RegEnumValueA(key.get(), i, program, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || !program[0]) continue;
        VersionRecord version;
        GetVersionStrings(program, &version);
        char stored[kTitleLen];
        char title[kTitleLen];
        char codeText[32];
        char shortcut[kEntryLen] = "";
        GetRegValue(store.root, kDelayTitleKey, program, stored);
        DelayedTitle(program, stored, version, title);
        GetRegValue(store.root, kDelayKey, program, codeText);
        int code = 0;
        ParseDecimal(codeText, &code);
        if (code == 200) GetRegValue(store.root, kDelayShortcutsKey, program, shortcut);
        AddItem(title, program, code == 200 ? shortcut : title,
                version.field[kFileDescription], code, store.flag);
    }
}

// "RunDLL32.exe " + program for an entry listed with flag word 1.
int FullCommand(const char* command, int flag, char (&out)[1024])
{
    if (flag == 1) return StrFormatA(out, "%s %s", kAppletName, command) == 0;
    return StrCopy(out, command) == 0;
}

bool WriteEntry(HKEY root, const char* program, const char* arguments, const char* title,
                const char* entryName, int code, int flag)
{
    char codeText[16];
    StrFormatA(codeText, "%d", code);
    if (!SetRegValue(root, kDelayKey, program, codeText)) return false;
    SetRegValue(root, kDelayTitleKey, program, title);
    SetRegValue(root, kDelayTimeKey, program, kNewEntryTime);
    if (arguments[0]) SetRegValue(root, kDelayParametersKey, program, arguments);
    SetRegValue(root, kDelayShortcutsKey, program, entryName);
    if (flag == 1) SetRegValue(root, kDelayAppletKey, program, kAppletName);
    return true;
}

void ApproveAsDelayed(const char* command)
{
    char name[1024];
    StrCopy(name, command);
    ReplaceChar(name, '=', ':');
    SetRegValue(HKEY_CURRENT_USER, kApprovedRunKey, name, kMovedToDelay);
}

// Starts one delayed entry of a store unless its program already runs.
void LaunchEntry(HKEY root, const char* program)
{
    char parameters[1024];
    char normalized[MAX_PATH];
    GetRegValue(root, kDelayParametersKey, program, parameters);
    NormalizeProgramPath(program, normalized);
    if (normalized[0] && IsProgramRunning(normalized)) return;
    char applet[MAX_PATH];
    if (GetRegValue(root, kDelayAppletKey, program, applet) > 0) {
        char appletParameters[1024];
        const char* quote = std::strchr(program, ' ') ? "\"" : "";
        if (StrFormatA(appletParameters, "%s%s%s%s", quote, program, quote, parameters) != 0)
            return;
        RunProgram(nullptr, root, applet, appletParameters);
        return;
    }
    RunProgram(nullptr, root, program, parameters);
}

int RunStoreSlot(const DelayStore& store, int seconds)
{
    UniqueKey key;
    if (RegOpenKeyExA(store.root, kDelayTimeKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return 0;
    int handled = 0;
    for (DWORD i = 0;; ++i) {
        char program[256];
        char data[32];
        DWORD length = sizeof(program);
        DWORD size = sizeof(data) - 1;
        DWORD type = 0;
        LONG rc = RegEnumValueA(key.get(), i, program, &length, nullptr, &type,
                                reinterpret_cast<BYTE*>(data), &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || type != REG_SZ || !program[0]) continue;
        data[size < sizeof(data) ? size : sizeof(data) - 1] = 0;
        int time = 0;
        if (!ParseDecimal(data, &time) || time != seconds) continue;
        LaunchEntry(store.root, program);
        ++handled;
    }
    return handled;
}

}   // namespace

int GetDelayedPrograms()
{
    ClearItems();
    for (const DelayStore& store : kStores) ListStore(store);
    return ItemCount();
}

int DelayStartupEntry(const char* title, const char* command, const char* entryName, int code,
                      int flag)
{
    if (ContainsNoCase(command, "velmora.exe")) {
        ShowMessage(IDS_DELAY_REFUSED, MB_OK | MB_ICONEXCLAMATION);
        return kDelayStop;
    }
    if (code > 249) {
        ShowMessage(IDS_DELAY_REFUSED, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    // Program paths name registry values (at most 255 characters) and fill
    // MAX_PATH buffers; a longer command cannot be stored whole.
    if (code <= 0 || !command[0] || std::strlen(command) >= kPathLen) return 0;
    // The program and its arguments come from the entry as it is written:
    // the listed command has lost the quotes that keep a path with blanks
    // one program.
    char written[1024];
    if (!GetEntryCommand(title, command, code, flag, written) || std::strlen(written) >= kPathLen)
        return 0;
    char program[MAX_PATH];
    char arguments[1024] = "";
    SplitProgramAndArguments(written, program, arguments);
    if (!program[0]) return 0;
    const HKEY root = code <= 9 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    // One record per program and store: a second entry of the same program
    // would take over the first one's record and arguments.
    char existing[16];
    if (ReadRegText(root, kDelayKey, program, existing) != kRegTextMissing) {
        TraceLog(program, "DelayStartupEntry - program already delayed");
        return 0;
    }
    if (root == HKEY_LOCAL_MACHINE &&
        ShowMessage(IDS_DELAY_MACHINE_WIDE, MB_OKCANCEL | MB_ICONWARNING) != IDOK)
        return 0;
    if (!WriteEntry(root, program, arguments, title, entryName, code, flag)) return 0;
    // Only an entry that has left its location may start from the store,
    // or it would start twice.
    char full[1024];
    if (!FullCommand(command, flag, full) || !DeleteRunProgram(title, full, entryName, code)) {
        RemoveDelayValues(root, program);
        return 0;
    }
    ApproveAsDelayed(command);
    return 1;
}

int RemoveDelayValues(HKEY root, const char* program)
{
    if (!program[0]) return 0;
    int removed = 0;
    for (const char* key : kEntryKeys) removed |= DeleteRegValue(root, key, program);
    return removed;
}

int BuildDelayedCommand(HKEY root, const char* program, char* out)
{
    constexpr int kCommandLen = 1024;
    char parameters[1024];
    char applet[MAX_PATH];
    GetRegValue(root, kDelayParametersKey, program, parameters);
    GetRegValue(root, kDelayAppletKey, program, applet);
    const char* blank = parameters[0] && parameters[0] != ',' ? " " : "";
    // A program path with blanks is quoted, or Windows would start the text
    // before its first blank.
    const char* quote = std::strchr(program, ' ') ? "\"" : "";
    if (applet[0])
        return StrFormat(out, kCommandLen, "%s %s%s%s%s%s", applet, quote, program, quote, blank,
                         parameters) == 0;
    return StrFormat(out, kCommandLen, "%s%s%s%s%s", quote, program, quote, blank, parameters) == 0;
}

int UndelayEntry(int index, int backToStartup)
{
    if (index < 0 || index >= ItemCount()) return 0;
    char title[kTitleLen];
    char program[kPathLen];
    char entryName[kEntryLen];
    GetItemTitle(index, title);
    GetItemPath(index, program);
    GetItemEntryName(index, entryName);
    const int code = GetItemType(index);
    // The flag word tells which store the entry was listed from.
    const HKEY root = StoreRoot(GetItemFlag(index));
    if (backToStartup) {
        // The record is all that is left of the entry until it is back.
        // A Startup-folder entry comes back as a shortcut to the program
        // itself.
        char command[1024];
        if (code == 200 ? StrCopy(command, program) != 0
                        : !BuildDelayedCommand(root, program, command))
            return 0;
        if (!RestoreRunProgram(title, command, entryName, code)) return 0;
    }
    RemoveDelayValues(root, program);
    return 1;
}

int RunProgram(HWND window, HKEY root, const char* program, const char* parameters)
{
    char openAs[16];
    int state = 0;
    if (GetRegValue(root, kDelayOpenAsKey, program, openAs) > 0 &&
        (!ParseDecimal(openAs, &state) || state < 0 || state > 2))
        state = 0;
    const int show = kShowCommands[state];
    if (window) SetForegroundWindow(window);
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.hwnd = window;
    info.lpVerb = "open";
    info.lpFile = program;
    info.lpParameters = parameters[0] ? parameters : nullptr;
    info.nShow = show;
    if (ShellExecuteExA(&info)) return 1;
    // The fallback keeps the parameters too, so the program starts as asked.
    char commandLine[1024 + MAX_PATH];
    if (StrFormatA(commandLine, "\"%s\"%s%s", program, parameters[0] ? " " : "", parameters) != 0)
        return 0;
    return WinExec(commandLine, show) > 31 ? 1 : 0;
}

int RunDelayedSlot(int seconds)
{
    for (const DelayStore& store : kStores) g_launch.handled += RunStoreSlot(store, seconds);
    return g_launch.handled;
}

int ResetDelayedLaunch()
{
    g_launch = {};
    g_launch.total = GetDelayedPrograms();
    return g_launch.total;
}

int DelayedLaunchTick()
{
    if (g_launch.handled >= g_launch.total) return g_launch.handled;
    if (++g_launch.ticks < kTicksPerSlot) return g_launch.handled;
    g_launch.ticks = 0;
    ++g_launch.slot;
    return RunDelayedSlot(g_launch.slot * kSecondsPerSlot);
}
