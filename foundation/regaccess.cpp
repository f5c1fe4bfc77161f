#include "foundation/foundation.h"

#include <cstring>

namespace {

constexpr REGSAM kRead = KEY_READ;          // 0x20019
constexpr REGSAM kWrite = KEY_WRITE;        // 0x20006
constexpr REGSAM kAll = KEY_ALL_ACCESS;     // 0xF003F
constexpr DWORD kRawSize = 1024;

// Queries a value into raw, which holds kRawSize + 1 bytes, and terminates the
// data itself: a REG_SZ written without its zero, a REG_BINARY or a REG_DWORD
// must never make a reader run past the buffer.
bool QueryRaw(HKEY key, const char* name, char* raw, DWORD* type)
{
    DWORD size = kRawSize;
    LONG rc = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(raw), &size);
    if (rc != ERROR_SUCCESS || size > kRawSize) return false;
    raw[size] = '\0';
    return true;
}

void ClearOut(char* out, int capacity)
{
    if (out && capacity > 0) out[0] = '\0';
}

}  // namespace

int CreateRegKey(HKEY root, const char* subkey)
{
    UniqueKey key;
    if (RegCreateKeyA(root, subkey, key.put()) != ERROR_SUCCESS) {
        TraceLog("ERROR RegCreateKey", subkey);
        return 0;
    }
    return 1;
}

int GetRegValue(HKEY root, const char* subkey, const char* name, char* out, int capacity)
{
    ClearOut(out, capacity);
    if (!out || capacity <= 0) return 0;

    char raw[kRawSize + 1];
    DWORD type = REG_NONE;
    {
        UniqueKey key;
        if (RegOpenKeyExA(root, subkey, 0, kRead, key.put()) != ERROR_SUCCESS) return 0;
        if (!QueryRaw(key.get(), name, raw, &type)) return 0;
    }

    char expanded[kRawSize];
    const char* text = raw;
    if (type == REG_EXPAND_SZ) {
        DWORD needed = ExpandEnvironmentStringsA(raw, expanded, kRawSize);
        if (needed == 0 || needed > kRawSize) {
            // The unexpanded text is the only whole text left to deliver.
            TraceLog(raw, "Registry Error #1023: String can not be expanded");
        } else {
            text = expanded;
        }
    }

    size_t n = strlen(text);
    if (n + 1 > static_cast<size_t>(capacity)) {
        TraceLog(text, "Registry Error #1024: Buffer overflow contained");
        return 0;
    }
    memcpy(out, text, n + 1);
    return static_cast<int>(n);
}

int RegDataText(DWORD kind, char* raw, DWORD size, char* out, size_t capacity, int flags)
{
    if (!out || capacity == 0) return kRegTextUnusable;
    out[0] = '\0';
    if (size > kRegTextMax) return kRegTextUnusable;
    if (kind != REG_SZ && kind != REG_EXPAND_SZ) return kRegTextUnusable;
    raw[size] = '\0';

    char expanded[kRegTextMax];
    const char* text = raw;
    if (kind == REG_EXPAND_SZ && !(flags & kRegTextRaw)) {
        const DWORD needed = ExpandEnvironmentStringsA(raw, expanded, kRegTextMax);
        if (needed == 0 || needed > kRegTextMax) return kRegTextUnusable;
        text = expanded;
    }
    size_t n = strlen(text);
    if (n + 1 > capacity) {
        if (!(flags & kRegTextCut)) return kRegTextUnusable;
        n = capacity - 1;
    }
    memcpy(out, text, n);
    out[n] = '\0';
    return static_cast<int>(n);
}

int QueryRegText(HKEY key, const char* name, char* out, size_t capacity, int flags, DWORD* type)
{
    DWORD kind = REG_NONE;
    if (type) *type = REG_NONE;
    if (!out || capacity == 0) return kRegTextUnusable;
    out[0] = '\0';
    char raw[kRegTextMax + 1];
    DWORD size = kRegTextMax;
    const LONG rc = RegQueryValueExA(key, name, nullptr, &kind, reinterpret_cast<BYTE*>(raw), &size);
    if (rc == ERROR_FILE_NOT_FOUND) return kRegTextMissing;
    if (type) *type = kind;
    if (rc != ERROR_SUCCESS) return kRegTextUnusable;
    return RegDataText(kind, raw, size, out, capacity, flags);
}

int ReadRegText(HKEY root, const char* subkey, const char* name, char* out, size_t capacity, int flags,
                DWORD* type)
{
    if (type) *type = REG_NONE;
    if (out && capacity > 0) out[0] = '\0';
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, kRead, key.put()) != ERROR_SUCCESS) return kRegTextMissing;
    return QueryRegText(key.get(), name, out, capacity, flags, type);
}

int DeleteRegValue(HKEY root, const char* subkey, const char* name)
{
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, kWrite, key.put()) != ERROR_SUCCESS) return 0;
    if (RegDeleteValueA(key.get(), name) != ERROR_SUCCESS) {
        TraceLog("ERROR RegDeleteValue", name);
        return 0;
    }
    return 1;
}

int SetRegValue(HKEY root, const char* subkey, const char* name, const char* text)
{
    if (!text) text = "";
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, kAll, key.put()) != ERROR_SUCCESS) {
        TraceLog("ERROR RegOpenKeyEx:SetRegValue", subkey);
        if (!CreateRegKey(root, subkey)) return 0;
        if (RegOpenKeyExA(root, subkey, 0, kAll, key.put()) != ERROR_SUCCESS) return 0;
    }
    DWORD size = static_cast<DWORD>(strlen(text) + 1);
    return RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) ==
           ERROR_SUCCESS;
}

int SetRegDword(HKEY root, const char* subkey, const char* name, const DWORD* value)
{
    if (!value) return 0;
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, kWrite, key.put()) != ERROR_SUCCESS) {
        if (!CreateRegKey(root, subkey)) return 0;
        if (RegOpenKeyExA(root, subkey, 0, kWrite, key.put()) != ERROR_SUCCESS) return 0;
    }
    return RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(value),
                          sizeof(DWORD)) == ERROR_SUCCESS;
}

int GetRegWord(HKEY root, const char* subkey, const char* name)
{
    char raw[kRawSize + 1] = {};
    DWORD type = REG_NONE;
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, kRead, key.put()) != ERROR_SUCCESS) return 0;
    if (!QueryRaw(key.get(), name, raw, &type)) return 0;
    // Bytes are taken as signed, as the stores of older versions were read.
    return 256 * static_cast<signed char>(raw[1]) + static_cast<signed char>(raw[0]);
}
