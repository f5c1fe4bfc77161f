// The scan log's registry sections: browser add-ons, restrictions, menus and
// options, URL prefixes, zones, network settings and the shell's hooks.
// Values are read whole, whatever their type or length, and every line is
// written as soon as it is formatted.
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "reports/reports.h"

namespace {

constexpr size_t kClassIdMax = 128;
constexpr size_t kValueNameMax = 16384;   // the registry's own limit

constexpr const char* kIeKey = "SOFTWARE\\Microsoft\\Internet Explorer";
constexpr const char* kIeUserKey = "Software\\Microsoft\\Internet Explorer";
constexpr const char* kVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

std::string Printable(std::string text)
{
    return PrintableScanText(std::move(text));
}

std::string ExpandText(const std::string& text)
{
    const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    std::string expanded(needed, '\0');
    const DWORD n = ExpandEnvironmentStringsA(text.c_str(), expanded.data(), needed);
    if (n == 0 || n > needed) return text;
    expanded.resize(std::strlen(expanded.c_str()));
    return expanded;
}

// Every string of a multi-string: a rename list keeps its empty targets in
// the middle, so only the empty pieces at the end are dropped.
std::string JoinStrings(const char* data, DWORD size)
{
    std::vector<std::string> pieces;
    for (DWORD at = 0; at < size;) {
        const size_t length = strnlen(data + at, size - at);
        pieces.emplace_back(data + at, length);
        at += static_cast<DWORD>(length) + 1;
    }
    while (!pieces.empty() && pieces.back().empty()) pieces.pop_back();
    std::string text;
    for (size_t i = 0; i < pieces.size(); ++i) text.append(i ? " | " : "").append(pieces[i]);
    return text;
}

std::string HexText(const unsigned char* data, DWORD size)
{
    if (size == 0) return {};
    std::string text = "hex:";
    char byte[4];
    for (DWORD i = 0; i < size; ++i) {
        StrFormatA(byte, i ? ",%02x" : "%02x", data[i]);
        text += byte;
    }
    return text;
}

std::string RenderValue(DWORD type, const char* data, DWORD size)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    char number[32];
    switch (type) {
    case REG_SZ:
        return std::string(data, strnlen(data, size));
    case REG_EXPAND_SZ:
        return ExpandText(std::string(data, strnlen(data, size)));
    case REG_MULTI_SZ:
        return JoinStrings(data, size);
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        if (size != 4) break;
        StrFormatA(number, "%lu",
                   type == REG_DWORD
                       ? static_cast<unsigned long>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                                    static_cast<DWORD>(bytes[3]) << 24)
                       : static_cast<unsigned long>(bytes[3] | bytes[2] << 8 | bytes[1] << 16 |
                                                    static_cast<DWORD>(bytes[0]) << 24));
        return number;
    case REG_QWORD:
        if (size != 8) break;
        {
            unsigned long long value = 0;
            std::memcpy(&value, data, 8);
            StrFormatA(number, "%llu", value);
        }
        return number;
    default:
        break;
    }
    return HexText(bytes, size);
}

// The raw data of a value; false when it is missing or cannot be read.
bool QueryRaw(HKEY key, const char* name, DWORD* type, std::vector<char>* data, DWORD* size)
{
    LONG rc = ERROR_MORE_DATA;
    // The value may grow between asking its size and reading it.
    for (int attempt = 0; attempt < 4 && rc == ERROR_MORE_DATA; ++attempt) {
        *size = 0;
        if (RegQueryValueExA(key, name, nullptr, type, nullptr, size) != ERROR_SUCCESS)
            return false;
        data->assign(static_cast<size_t>(*size) + 2, '\0');
        rc =
            RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data->data()), size);
    }
    return rc == ERROR_SUCCESS;
}

// A zone or policy number: a REG_DWORD, or text that is a whole number.
bool QueryNumber(HKEY key, const char* name, long* number)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::vector<char> data;
    if (!QueryRaw(key, name, &type, &data, &size)) return false;
    if (type == REG_DWORD && size == 4) {
        DWORD value = 0;
        std::memcpy(&value, data.data(), 4);
        *number = static_cast<long>(static_cast<int>(value));
        return true;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    char* end = nullptr;
    *number = std::strtol(data.data(), &end, 10);
    return end != data.data() && *end == '\0';
}

bool ReadNumber(HKEY root, const char* subkey, const char* name, long* number)
{
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    return QueryNumber(key.get(), name, number);
}

// Calls fn(parent, name) for every subkey (values: every value name) of a
// key; a key that changes meanwhile ends the walk, it never spins.
template <class Fn>
void ForEachName(HKEY root, const char* path, bool values, Fn&& fn)
{
    UniqueKey key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    std::vector<char> name(kValueNameMax + 1);
    for (DWORD index = 0;; ++index) {
        DWORD size = static_cast<DWORD>(kValueNameMax);
        const LONG rc = values ? RegEnumValueA(key.get(), index, name.data(), &size, nullptr,
                                               nullptr, nullptr, nullptr)
                               : RegEnumKeyExA(key.get(), index, name.data(), &size, nullptr,
                                               nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        fn(key.get(), std::string(name.data(), size));
    }
}

template <class Fn>
void ForEachSubkey(HKEY root, const char* path, Fn&& fn)
{
    ForEachName(root, path, false, fn);
}

template <class Fn>
void ForEachValueName(HKEY root, const char* path, Fn&& fn)
{
    ForEachName(root, path, true, fn);
}

std::string ReadSub(HKEY parent, const std::string& subkey, const char* name, size_t limit = 0)
{
    return ReadScanValue(parent, subkey.c_str(), name, limit);
}

struct ClassInfo {
    std::string name;
    std::string server;
};

// The registered name and in-process server of a class identifier (braces
// added when it lacks them), at any length.
ClassInfo LookupClass(const std::string& identifier)
{
    if (identifier.empty()) return {};
    const std::string key =
        "CLSID\\" + (identifier[0] == '{' ? identifier : "{" + identifier + "}");
    return {ReadScanValue(HKEY_CLASSES_ROOT, key.c_str(), ""),
            ReadScanValue(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), "")};
}

// A class without a registered name is called by its server's file name.
std::string TitleOf(const ClassInfo& c)
{
    if (!c.name.empty()) return c.name;
    const size_t slash = c.server.rfind('\\');
    return slash == std::string::npos ? std::string() : c.server.substr(slash + 1);
}

struct PolicyValue {
    const char* name;
    const char* text;   // the blanks around "=" differ and belong to the line
};
constexpr PolicyValue kPolicyValues[] = {
    {"DisableRegistryTools", "DisableRegistryTools ="},
    {"DisableRegEdit", "DisableRegEdit="},
    {"DisableTaskMgr", "DisableTaskMgr ="},
};
static_assert(std::size(kPolicyValues) == 3);

void WriteRestrictions(ScanLog* log)
{
    const std::string inetcpl =
        ReadScanValue(HKEY_CURRENT_USER, "Control Panel\\don't load", "inetcpl.cpl");
    if (HasTextNoCase(inetcpl, "no"))
        ScanLine(log, "O5 - control.ini: inetcpl.cpl=%s\r\n", inetcpl.c_str());
    for (const char* part : {"Restrictions", "Control Panel"}) {
        const std::string key =
            std::string("Software\\Policies\\Microsoft\\Internet Explorer\\") + part;
        if (!ReadScanValue(HKEY_CURRENT_USER, key.c_str(), "").empty())
            ScanLine(log, "O6 - HKCU\\%s present\r\n", key.c_str());
    }
    constexpr const char* kSystemPolicies =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
    for (const PolicyValue& p : kPolicyValues) {
        long value = 0;
        if (ReadNumber(HKEY_CURRENT_USER, kSystemPolicies, p.name, &value) && value > 0)
            ScanLine(log, "O7 - HKCU\\%s, %s%ld\r\n", kSystemPolicies, p.text, value);
    }
}

void WriteExtensions(ScanLog* log, HKEY root)
{
    const std::string base =
        std::string(root == HKEY_CURRENT_USER ? kIeUserKey : kIeKey) + "\\Extensions";
    ForEachSubkey(root, base.c_str(), [&](HKEY parent, const std::string& name) {
        std::string path = ReadSub(parent, name, "script");
        if (path.empty()) path = ReadSub(parent, name, "exec");
        if (path.empty()) path = LookupClass(name).server;
        if (path.empty()) return;
        if (root == HKEY_CURRENT_USER) path += " (HKCU)";
        std::string title = ReadSub(parent, name, "ButtonText");
        if (title.empty()) title = "(no name)";
        const std::string id = Printable(name);
        ScanLine(log, "O9 - Extra button: %s - %s - %s\r\n", title.c_str(), id.c_str(),
                 path.c_str());
        const std::string menu = ReadSub(parent, name, "MenuText");
        if (!menu.empty())
            ScanLine(log, "O9 - Extra 'Tools' menuitem: %s - %s - %s\r\n", menu.c_str(), id.c_str(),
                     path.c_str());
    });
}

void WriteBrowserMenus(ScanLog* log)
{
    const std::string menuExt = std::string(kIeUserKey) + "\\MenuExt";
    ForEachSubkey(HKEY_CURRENT_USER, menuExt.c_str(), [&](HKEY parent, const std::string& name) {
        const std::string path = ReadSub(parent, name, "");
        if (!path.empty())
            ScanLine(log, "O8 - Extra context menu item: %s - %s\r\n", Printable(name).c_str(),
                     path.c_str());
    });
    WriteExtensions(log, HKEY_LOCAL_MACHINE);
    WriteExtensions(log, HKEY_CURRENT_USER);
    const std::string options = std::string(kIeKey) + "\\AdvancedOptions";
    ForEachSubkey(HKEY_LOCAL_MACHINE, options.c_str(), [&](HKEY parent, const std::string& name) {
        if (HasTextNoCase(ReadSub(parent, name, "HelpID"), "iexplore.hlp")) return;
        const std::string text = ReadSub(parent, name, "Text");
        std::string folder = ReadSub(parent, name, "Bitmap");
        const size_t slash = folder.rfind('\\');
        if (slash != std::string::npos) folder.resize(slash);
        ScanLine(log, "O11 - Options group: [%s] %s - %s\r\n", text.c_str(), text.c_str(),
                 folder.c_str());
    });
    const std::string plugins = std::string(kIeKey) + "\\Plugins\\Extension";
    ForEachSubkey(HKEY_LOCAL_MACHINE, plugins.c_str(), [&](HKEY parent, const std::string& name) {
        const std::string location = ReadSub(parent, name, "Location");
        if (!location.empty())
            ScanLine(log, "O12 - Plugin for %s: %s\r\n", Printable(name).c_str(), location.c_str());
    });
}

}   // namespace

std::string PrintableScanText(std::string text)
{
    // A value is one field of one line: a line break or other control
    // character in it would cut the line or forge one.
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    return text;
}

bool HasTextNoCase(std::string_view text, std::string_view part)
{
    if (part.empty() || text.size() < part.size()) return false;
    const auto fold = [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    };
    for (size_t at = 0; at + part.size() <= text.size(); ++at) {
        size_t i = 0;
        while (i < part.size() && fold(text[at + i]) == fold(part[i])) ++i;
        if (i == part.size()) return true;
    }
    return false;
}

std::string QueryScanValue(HKEY key, const char* name, size_t limit)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::vector<char> data;
    if (!QueryRaw(key, name, &type, &data, &size)) return {};
    std::string text = Printable(RenderValue(type, data.data(), size));
    if (limit > 0 && text.size() > limit) text.resize(limit);
    return text;
}

std::string ReadScanValue(HKEY root, const char* subkey, const char* name, size_t limit)
{
    UniqueKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
    return QueryScanValue(key.get(), name, limit);
}

void WriteScanAddons(ScanLog* log)
{
    ForEachSubkey(HKEY_LOCAL_MACHINE, kIEBrowserHelpersKey, [&](HKEY, const std::string& id) {
        const ClassInfo c = LookupClass(id);
        ScanLine(log, "O2 - BHO: %s - %s - %s\r\n", TitleOf(c).c_str(), Printable(id).c_str(),
                 c.server.c_str());
    });
    ForEachValueName(HKEY_LOCAL_MACHINE, kIEToolbarKey, [&](HKEY, const std::string& id) {
        const ClassInfo c = LookupClass(id);
        ScanLine(log, "O3 - Toolbar: %s - %s - %s\r\n", TitleOf(c).c_str(), Printable(id).c_str(),
                 c.server.c_str());
    });
}

void WriteScanBrowserOptions(ScanLog* log)
{
    WriteRestrictions(log);
    WriteBrowserMenus(log);
    const std::string url = std::string(kVersionKey) + "\\URL";
    const std::string defaultPrefix =
        ReadScanValue(HKEY_LOCAL_MACHINE, (url + "\\DefaultPrefix").c_str(), "");
    // Seven characters is the usual scheme prefix itself.
    if (defaultPrefix.size() > 7)
        ScanLine(log, "O13 - DefaultPrefix: %s\r\n", defaultPrefix.c_str());
    const std::string prefixes = url + "\\Prefixes";
    const std::string www = ReadScanValue(HKEY_LOCAL_MACHINE, prefixes.c_str(), "www");
    if (www.size() > 7) ScanLine(log, "O13 - WWW Prefix: %s\r\n", www.c_str());
    const std::string wwwDot = ReadScanValue(HKEY_LOCAL_MACHINE, prefixes.c_str(), "www.");
    if (wwwDot.size() > 7) ScanLine(log, "O13 -  WWW. Prefix: %s\r\n", wwwDot.c_str());
}

namespace {

// Zone 2 is the Trusted sites zone. A domain maps a zone through its own
// values ("*" for every protocol, or one per protocol) or its subdomains'.
bool IsTrustedDomain(HKEY domains, const std::string& domain)
{
    UniqueKey key;
    if (RegOpenKeyExA(domains, domain.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    bool trusted = false;
    const auto look = [&](HKEY at) {
        ForEachValueName(at, "", [&](HKEY values, const std::string& name) {
            long zone = 0;
            if (!trusted && QueryNumber(values, name.c_str(), &zone) && zone == 2) trusted = true;
        });
    };
    look(key.get());
    ForEachSubkey(key.get(), "", [&](HKEY parent, const std::string& sub) {
        UniqueKey subkey;
        if (!trusted &&
            RegOpenKeyExA(parent, sub.c_str(), 0, KEY_READ, subkey.put()) == ERROR_SUCCESS)
            look(subkey.get());
    });
    return trusted;
}

struct ControlSet {
    const char* key;
    const char* label;
};
constexpr ControlSet kControlSets[] = {{"ControlSet001", "CS1"},
                                       {"CurrentControlSet", "CCS"},
                                       {"ControlSet002", "CS2"},
                                       {"ControlSet003", "CS3"}};
static_assert(std::size(kControlSets) == 4);

std::string ControlSetValue(const ControlSet& set, const char* path, const char* name)
{
    return ReadScanValue(HKEY_LOCAL_MACHINE, (std::string("SYSTEM\\") + set.key + path).c_str(),
                         name);
}

}   // namespace

void WriteScanNetwork(ScanLog* log)
{
    const std::string zoneMap = std::string(kVersionKey) + "\\Internet Settings\\ZoneMap\\Domains";
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        ForEachSubkey(root, zoneMap.c_str(), [&](HKEY domains, const std::string& domain) {
            if (IsTrustedDomain(domains, domain))
                ScanLine(log, "O15 - Trusted Zone: %s\r\n", Printable(domain).c_str());
        });
    }
    ForEachSubkey(HKEY_LOCAL_MACHINE,
                  "SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units",
                  [&](HKEY parent, const std::string& name) {
                      const std::string codebase =
                          ReadSub(parent, name + "\\DownloadInformation", "CODEBASE");
                      if (codebase.empty()) return;
                      ScanLine(log, "O16 - DPF: %s (%s) - %s\r\n", Printable(name).c_str(),
                               LookupClass(name).name.c_str(), codebase.c_str());
                  });
    constexpr const char* kTcpip = "\\Services\\Tcpip\\Parameters";
    for (const ControlSet& set : kControlSets) {
        const std::string text = ControlSetValue(set, kTcpip, "SearchList");
        if (!text.empty())
            ScanLine(log, "O17 - HKLM\\%s: SearchList = %s\r\n", set.label, text.c_str());
    }
    for (const ControlSet& set : kControlSets) {
        const std::string text = ControlSetValue(set, kTcpip, "NameServer");
        if (!text.empty())
            ScanLine(log, "O17 - HKLM\\%s: NameServer = %s\r\n", set.label, text.c_str());
    }
    for (const ControlSet& set : kControlSets) {
        const std::string text = ControlSetValue(set, "\\Services\\VxD\\MSTCP", "Domain");
        if (!text.empty())
            ScanLine(log, "O17 - HKLM\\System\\%s\\Services\\VxD\\MSTCP: Domain = %s\r\n",
                     set.label, text.c_str());
    }
    for (const ControlSet& set : kControlSets) {
        const std::string text = ControlSetValue(set, kTcpip, "Domain");
        if (!text.empty())
            ScanLine(log, "O17 - HKLM\\System\\%s\\Services\\Tcpip\\Parameters: Domain = %s\r\n",
                     set.label, text.c_str());
    }
}

namespace {

// Classes Windows itself loads at every logon.
constexpr const char* kSystemDelayLoads[] = {
    "{7849596a-48ea-486e-8937-a2a3009f31a9}", "{fbeb8a05-beee-4442-804e-409d6c4515e9}",
    "{E6FB5E20-DE35-11CF-9C87-00AA005127ED}", "{35CEC8A3-2BE6-11D2-8773-92E220524153}"};
static_assert(std::size(kSystemDelayLoads) == 4);

bool IsSystemDelayLoad(const std::string& identifier)
{
    for (const char* known : kSystemDelayLoads)
        if (lstrcmpiA(identifier.c_str(), known) == 0) return true;
    return false;
}

void WriteShellHooks(ScanLog* log)
{
    ForEachValueName(HKEY_LOCAL_MACHINE,
                     (std::string(kVersionKey) + "\\ShellServiceObjectDelayLoad").c_str(),
                     [&](HKEY key, const std::string& name) {
                         const std::string id = QueryScanValue(key, name.c_str(), kClassIdMax);
                         if (id.empty() || IsSystemDelayLoad(id)) return;
                         const ClassInfo c = LookupClass(id);
                         if (c.server.empty()) return;
                         ScanLine(log, "O21 - %s - %s - %s - %s\r\n", Printable(name).c_str(),
                                  c.name.c_str(), id.c_str(), c.server.c_str());
                     });
    ForEachValueName(HKEY_LOCAL_MACHINE,
                     (std::string(kVersionKey) + "\\Explorer\\SharedTaskScheduler").c_str(),
                     [&](HKEY key, const std::string& name) {
                         if (QueryScanValue(key, name.c_str()).empty()) return;
                         const ClassInfo c = LookupClass(name);
                         if (c.server.empty() || HasTextNoCase(c.server, "browseui.dll")) return;
                         ScanLine(log, "O22 - SharedTaskScheduler: (%s) - %s - %s\r\n",
                                  c.name.c_str(), Printable(name).c_str(), c.server.c_str());
                     });
}

void WriteServices(ScanLog* log)
{
    BuildServiceList();
    for (int i = 0; i < ItemCount(); ++i) {
        char title[kTitleLen];
        char path[kPathLen];
        GetItemTitle(i, title);
        GetItemPath(i, path);
        // The version cache answers a program listed twice; a path with
        // arguments names no file and has no company.
        VersionRecord version;
        GetVersionStrings(path, &version);
        ScanLine(log, "O23 - Service: %s - %s - %s\r\n", title, version.field[kCompanyName], path);
    }
}

}   // namespace

void WriteScanHooks(ScanLog* log)
{
    const std::string style = ReadScanValue(
        HKEY_CURRENT_USER, (std::string(kIeUserKey) + "\\Styles").c_str(), "User Stylesheet");
    if (!style.empty()) ScanLine(log, "O19 -  User style sheet: %s\r\n", style.c_str());
    const std::string appInit =
        ReadScanValue(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_DLLs");
    if (!appInit.empty()) ScanLine(log, "O20 - AppInit_DLLs: %s\r\n\r\n", appInit.c_str());
    WriteShellHooks(log);
    WriteServices(log);
    for (int index = 0; index <= 8; ++index) {
        char key[128];
        StrFormatA(key, "%s\\Desktop\\Components\\%1d", kIeUserKey, index);
        const std::string name = ReadScanValue(HKEY_CURRENT_USER, key, "FriendlyName");
        if (name.empty()) break;
        if (HasTextNoCase(name, "Current Home Page")) continue;
        const std::string source = ReadScanValue(HKEY_CURRENT_USER, key, "Source");
        ScanLine(log, "O24 -  Desktop Component %d: %s - %s\r\n", index, name.c_str(),
                 source.c_str());
    }
    ScanLine(log, "\r\n");
}

void WriteScanSessionManager(ScanLog* log)
{
    constexpr const char* kSessionManager = "\\Control\\Session Manager\\";
    bool any = false;
    struct Listed {
        const char* code;
        const char* name;
    };
    for (const Listed& value :
         {Listed{"VL00", "BootExecute"}, Listed{"VL01", "PendingFileRenameOperations"}}) {
        for (const ControlSet& set : kControlSets) {
            const std::string text = ControlSetValue(set, kSessionManager, value.name);
            if (text.empty()) continue;
            ScanLine(log, "%s - HKLM\\%s: %s = %s\r\n", value.code, set.label, value.name,
                     text.c_str());
            any = true;
        }
    }
    const std::string command = ReadScanValue(
        HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
        "ComSpec");
    if (!command.empty()) {
        ScanLine(log, "VL02 - HKLM\\CCS: Command = %s\r\n", command.c_str());
        any = true;
    }
    if (any) ScanLine(log, "\r\n");
}
