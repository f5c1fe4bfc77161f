// Internet Explorer add-ons registered machine-wide: Browser Helper Objects,
// toolbars and extensions. Both programs list them from here and remove the
// ones the user rejects.
#include "catalogue/catalogue.h"

namespace {

constexpr int kClsidKeyLen = 512;

// "CLSID\{...}" for an identifier that may come without its braces. False when
// the identifier does not fit, so a cut name never reaches the registry.
bool BuildClassKey(const char* identifier, char (&key)[kClsidKeyLen])
{
    int32_t result = identifier[0] == '{' ? StrFormatA(key, "CLSID\\%s", identifier)
                                          : StrFormatA(key, "CLSID\\{%s}", identifier);
    return result == 0;
}

// A server path is text. A DWORD or binary default value (damaged or hostile
// registration) would otherwise come back from GetRegValue as stray bytes.
bool IsTextValue(HKEY root, const char* subkey, const char* name)
{
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// GetRegValue for text values only: "" and 0 for any other type.
int ReadText(HKEY root, const char* subkey, const char* name, char* out, int capacity)
{
    out[0] = 0;
    if (!IsTextValue(root, subkey, name)) return 0;
    return GetRegValue(root, subkey, name, out, capacity);
}

}  // namespace

int GetClsidServer(const char* identifier, char* name, char* path)
{
    name[0] = 0;
    path[0] = 0;
    if (!identifier) return 1;
    char key[kClsidKeyLen];
    if (!BuildClassKey(identifier, key)) return 1;
    ReadText(HKEY_CLASSES_ROOT, key, "", name, kPathLen);
    if (StrAppend(key, "\\InprocServer32") != 0) return 1;
    ReadText(HKEY_CLASSES_ROOT, key, "", path, kPathLen);
    return 1;
}

int BuildIEHelperList()
{
    ClearItems();
    return 0;
}
