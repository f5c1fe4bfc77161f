// The settings export: the program's registry data as a file in the registry
// editor's import format, so that opening the file puts every value back as
// it was.
//
// The file is UTF-16LE with a byte-order mark, as the editor itself writes
// format 5.00. In such a file every editor takes the bytes of hex(1), hex(2)
// and hex(7) data for UTF-16 (Wine's takes them for ANSI bytes in an ANSI
// file, whatever its header says), and a name or a text outside the ANSI
// code page survives. The values are read in their stored wide form and
// written either as a quoted string, where that gives back the very same
// bytes, or as hex of the stored bytes.
#include <lmcons.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "reports/reports.h"

namespace {

static_assert(sizeof(wchar_t) == 2, "the file is UTF-16");

constexpr int kIdsSettingsSaved = 854;
constexpr const char* kMachineKey = "SOFTWARE\\Corvath";
constexpr std::wstring_view kByteOrderMark = L"\xFEFF";
// The editor breaks hex data into lines of at most 80 characters: a line is
// ended after the comma that passes this column, by a backslash.
constexpr size_t kHexBreakColumn = 77;
// Longest value name the registry allows, with its terminating zero.
constexpr DWORD kValueNameMax = 16384;
// Longest key name the registry allows, with its terminating zero.
constexpr DWORD kKeyNameMax = 256;

struct RootName {
    HKEY root;
    const char* name;
};
const RootName kRootNames[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_USERS, "HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
};

const char* RootNameOf(HKEY root)
{
    for (const RootName& r : kRootNames)
        if (r.root == root) return r.name;
    return "HKEY_LOCAL_MACHINE";
}

// One export in progress. error keeps the first failure, so that the caller
// learns that the file does not hold everything while the rest is still
// written: a partial file restores more than none.
struct ExportState {
    HANDLE out;
    DWORD error;
};

void Fail(ExportState* s, DWORD error)
{
    if (s->error == 0) s->error = error != 0 ? error : ERROR_WRITE_FAULT;
}

int Write(ExportState* s, std::wstring_view text)
{
    const std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    if (WriteReportText(s->out, bytes)) return 1;
    Fail(s, GetLastError());
    return 0;
}

std::wstring ToWide(std::string_view text)
{
    std::wstring wide;
    if (text.empty()) return wide;
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (n <= 0) return wide;
    wide.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), n);
    return wide;
}

// A quoted string or a header of the file is one line, and a quoted string
// ends at its first zero.
bool FitsOneLine(std::wstring_view text)
{
    return text.find_first_of(std::wstring_view(L"\r\n\0", 3)) == std::wstring_view::npos;
}

// "text" with backslashes and quotes escaped, as the editor reads it back.
std::wstring QuoteText(std::wstring_view text)
{
    std::wstring quoted = L"\"";
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"') quoted += L'\\';
        quoted += c;
    }
    quoted += L'"';
    return quoted;
}

// A REG_SZ is quoted only when the import gives back the same bytes: one
// terminating zero and none before it, no line break. Anything else (a text
// stored without its zero, with zeros or line breaks inside) goes out as
// hex(1) of its bytes.
int PlainStringText(const BYTE* data, DWORD size, std::wstring* out)
{
    if (size < sizeof(wchar_t) || size % sizeof(wchar_t) != 0) return 0;
    std::wstring text(size / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data, size);
    if (text.back() != L'\0') return 0;
    text.pop_back();
    if (!FitsOneLine(text)) return 0;
    *out = QuoteText(text);
    return 1;
}

void AppendHex(std::wstring* line, DWORD type, const BYTE* data, DWORD size)
{
    char prefix[24];
    if (type == REG_BINARY)
        StrCopy(prefix, "hex:");
    else
        StrFormatA(prefix, "hex(%x):", static_cast<unsigned>(type));
    *line += ToWide(prefix);
    constexpr wchar_t kDigits[] = L"0123456789abcdef";
    size_t column = line->size();
    for (DWORD i = 0; i < size; ++i) {
        *line += kDigits[data[i] >> 4];
        *line += kDigits[data[i] & 0xF];
        if (i + 1 == size) break;
        *line += L',';
        column += 3;
        if (column >= kHexBreakColumn) {
            *line += L"\\\r\n  ";
            column = 2;
        }
    }
}

int WriteValue(ExportState* s, std::wstring_view name, DWORD type, const BYTE* data, DWORD size)
{
    // A name with a line break has no form in the file: left out, reported.
    if (!FitsOneLine(name)) {
        Fail(s, ERROR_INVALID_DATA);
        return 0;
    }
    std::wstring line = name.empty() ? std::wstring(L"@") : QuoteText(name);
    line += L'=';
    std::wstring text;
    if (type == REG_SZ && PlainStringText(data, size, &text)) {
        line += text;
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, data, sizeof(number));
        char dword[24];
        StrFormatA(dword, "dword:%08lx", static_cast<unsigned long>(number));
        line += ToWide(dword);
    } else {
        AppendHex(&line, type, data, size);
    }
    line += L"\r\n";
    return Write(s, line);
}

// The value lines of an open key; the number written.
int WriteValues(ExportState* s, HKEY key)
{
    DWORD nameMax = 0;
    DWORD dataMax = 0;
    const LONG info = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, &nameMax, &dataMax, nullptr, nullptr);
    if (info != ERROR_SUCCESS) {
        Fail(s, static_cast<DWORD>(info));
        return 0;
    }
    std::vector<wchar_t> name(nameMax + 1);
    std::vector<BYTE> data(dataMax + sizeof(wchar_t));
    int written = 0;
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 0;
        DWORD size = 0;
        DWORD type = REG_NONE;
        LONG result = ERROR_MORE_DATA;
        // Another program may store a longer value meanwhile: grow and read
        // the same index again, a few times at most.
        for (int tries = 0; result == ERROR_MORE_DATA && tries < 4; ++tries) {
            if (tries > 0) {
                if (name.size() < kValueNameMax) name.resize(kValueNameMax);
                data.resize(std::max<size_t>(data.size() * 2, size + sizeof(wchar_t)));
            }
            nameLength = static_cast<DWORD>(name.size());
            size = static_cast<DWORD>(data.size());
            result = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(),
                                   &size);
        }
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) {
            Fail(s, static_cast<DWORD>(result));
            continue;
        }
        written += WriteValue(s, std::wstring_view(name.data(), nameLength), type, data.data(), size);
    }
    return written;
}

std::vector<std::wstring> SubkeyNames(ExportState* s, HKEY key)
{
    std::vector<std::wstring> names;
    wchar_t name[kKeyNameMax];
    for (DWORD index = 0;; ++index) {
        DWORD length = kKeyNameMax;
        const LONG result = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) {
            Fail(s, static_cast<DWORD>(result));
            continue;
        }
        names.emplace_back(name, length);
    }
    return names;
}

// The values of a key, then every key below it, depth first, each after a
// blank line and its header. shown is the key's header text without the
// brackets. The number of keys written below it, -1 when it cannot be opened.
int WriteTree(ExportState* s, HKEY root, const std::wstring& path, const std::wstring& shown)
{
    std::vector<std::wstring> names;
    {
        // Closed before going deeper: the tree is never held open.
        UniqueKey key;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return -1;
        WriteValues(s, key.get());
        names = SubkeyNames(s, key.get());
    }
    int count = 0;
    for (const std::wstring& name : names) {
        if (!FitsOneLine(name)) {
            Fail(s, ERROR_INVALID_DATA);
            continue;
        }
        const std::wstring child = shown + L"\\" + name;
        Write(s, L"\r\n[" + child + L"]\r\n");
        ++count;
        const int below = WriteTree(s, root, path + L"\\" + name, child);
        if (below > 0) count += below;
    }
    return count;
}

int WriteKey(ExportState* s, HKEY root, const char* path)
{
    const std::wstring wide = ToWide(path);
    const std::wstring shown = ToWide(RootNameOf(root)) + L"\\" + wide;
    Write(s, L"[" + shown + L"]\r\n");
    return WriteTree(s, root, wide, shown);
}

int SettingsFilePath(char (&path)[MAX_PATH])
{
    char folder[MAX_PATH];
    if (!GetProgramFolder(folder)) return 0;
    // Any name the system allows, not only the first 228 characters: a cut
    // name would save one user's settings under another user's file.
    char user[UNLEN + 1];
    DWORD length = sizeof(user);
    if (!GetUserNameA(user, &length)) return 0;
    return StrFormatA(path, "%s\\%s-Velmora.reg", folder, user) == 0 ? 1 : 0;
}

void ShowSavedMessage(const char* path)
{
    char longPath[MAX_PATH];
    GetLongPath(longPath, path);
    char text[2048];
    LoadLocalizedString(kIdsSettingsSaved, text);
    // A translated text is never a format: only its first %s is replaced.
    std::string message = text;
    const size_t mark = message.find("%s");
    if (mark != std::string::npos) message.replace(mark, 2, longPath);
    MessageBoxExA(nullptr, message.c_str(), GetAppCaption(), MB_ICONINFORMATION | MB_TOPMOST,
                  static_cast<WORD>(MessageLanguageId()));
}

}  // namespace

int ExportRegValues(HANDLE out, HKEY root, const char* path)
{
    ExportState s = {out, 0};
    UniqueKey key;
    if (RegOpenKeyExW(root, ToWide(path).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
    const int written = WriteValues(&s, key.get());
    return s.error != 0 ? -1 : written;
}

int ExportRegKey(HANDLE out, HKEY root, const char* path)
{
    ExportState s = {out, 0};
    const int count = WriteKey(&s, root, path);
    return s.error != 0 ? -2 : count;
}

int ExportSettingsTo(HANDLE out)
{
    ExportState s = {out, 0};
    Write(&s, kByteOrderMark);
    Write(&s, L"Windows Registry Editor Version 5.00\r\n\r\n");
    WriteKey(&s, HKEY_CURRENT_USER, kVelmoraKey);
    WriteKey(&s, HKEY_LOCAL_MACHINE, kMachineKey);
    if (s.error == 0) return 1;
    SetLastError(s.error);
    return 0;
}

int ExportSettings()
{
    char path[MAX_PATH];
    if (!SettingsFilePath(path)) return 0;
    DWORD error = 0;
    {
        // Closed before the message: the user may open the file while it shows.
        UniqueFile file = CreateReportFile(path);
        if (!file) return 0;
        if (!ExportSettingsTo(file.get())) error = GetLastError();
    }
    if (error != 0) {
        SetLastError(error);
        ShowSystemError();
        return 0;
    }
    ShowSavedMessage(path);
    return 1;
}
