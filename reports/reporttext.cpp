// Pieces every report shares: the file, the line writer, the clock and the
// platform description.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "reports/reports.h"

UniqueFile CreateReportFile(const char* path)
{
    return UniqueFile(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_ARCHIVE, nullptr));
}

int WriteReportText(HANDLE out, std::string_view text)
{
    // WriteFile takes a DWORD; a report line never nears 4 GB, but a pipe
    // may take less than asked, so go on until everything is written.
    while (!text.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(text.size() > 0x10000000 ? 0x10000000 : text.size());
        if (!WriteFile(out, text.data(), chunk, &written, nullptr) || written == 0) return 0;
        text.remove_prefix(written);
    }
    return 1;
}

int WriteReportLineV(HANDLE out, const char* format, va_list args)
{
    char small[1024];
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(small, sizeof(small), format, args);
    int ok = 0;
    if (needed >= 0 && needed < static_cast<int>(sizeof(small))) {
        ok = WriteReportText(out, std::string_view(small, static_cast<size_t>(needed)));
    } else if (needed >= 0) {
        // A long registry value or path: format again at its own length
        // rather than cut the line.
        std::string line(static_cast<size_t>(needed) + 1, '\0');
        std::vsnprintf(line.data(), line.size(), format, again);
        line.resize(static_cast<size_t>(needed));
        ok = WriteReportText(out, line);
    }
    va_end(again);
    return ok;
}

void FormatReportClock(const SYSTEMTIME& time, char* out, int capacity)
{
    const int hour = time.wHour % 12 == 0 ? 12 : time.wHour % 12;
    StrFormat(out, capacity, "%2d:%02d:%02d %s", hour, time.wMinute, time.wSecond,
              time.wHour < 12 ? "AM" : "PM");
}

void FormatReportDate(const SYSTEMTIME& time, char* out, int capacity)
{
    StrFormat(out, capacity, "%2d/%02d/%4d", time.wMonth, time.wDay, time.wYear);
}

void StampReportNow(ReportStamp* stamp)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatReportClock(now, stamp->clock, static_cast<int>(sizeof(stamp->clock)));
    FormatReportDate(now, stamp->date, static_cast<int>(sizeof(stamp->date)));
}

int GetReportIePath(char* out, int capacity)
{
    char key[256];
    LoadLocalizedString(12, key);
    char folder[MAX_PATH];
    out[0] = '\0';
    if (GetRegValue(HKEY_LOCAL_MACHINE, key, "Path", folder) == 0) return 0;
    const size_t length = std::strlen(folder);
    if (length > 0 && folder[length - 1] == ';') folder[length - 1] = '\0';
    return StrFormat(out, capacity, "%s\\IExplore.exe", folder) == 0 ? 1 : 0;
}

namespace {

int KeyExists(HKEY root, const char* subkey)
{
    UniqueKey key;
    return RegOpenKeyExA(root, subkey, 0, KEY_READ, key.put()) == ERROR_SUCCESS ? 1 : 0;
}

void AppendWindows9xName(const OSVERSIONINFOEXA& v, char* text, int capacity)
{
    const char sp = v.szCSDVersion[0] != '\0' ? v.szCSDVersion[1] : '\0';
    if (v.dwMajorVersion == 4 && v.dwMinorVersion == 0) {
        StrCopySigned(text, capacity, "Microsoft Windows 95 ");
        if (sp == 'C' || sp == 'B') StrAppend(text, static_cast<size_t>(capacity), "OSR2 ");
    } else if (v.dwMajorVersion == 4 && v.dwMinorVersion == 10) {
        StrCopySigned(text, capacity, "Microsoft Windows 98 ");
        if (sp == 'A') StrAppend(text, static_cast<size_t>(capacity), "SE ");
    } else if (v.dwMajorVersion == 4 && v.dwMinorVersion == 90) {
        StrCopySigned(text, capacity, "Microsoft Windows Millennium Edition");
    }
}

const char* NtName(const OSVERSIONINFOEXA& v)
{
    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 2) return "Windows Server 2003 family, ";
    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1) return "Windows XP ";
    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0) return "Windows 2000 ";
    if (v.dwMajorVersion <= 4) return "Windows NT ";
    if (v.dwMajorVersion == 6) return "Windows Vista ";
    return "";
}

const char* ServerEdition(const OSVERSIONINFOEXA& v)
{
    const WORD suite = v.wSuiteMask;
    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 2) {
        if (suite & VER_SUITE_DATACENTER) return "Datacenter Edition ";
        if (suite & VER_SUITE_ENTERPRISE) return "Enterprise Edition ";
        if (suite == VER_SUITE_BLADE) return "Web Edition ";
        return "Standard Edition ";
    }
    if (v.dwMajorVersion == 5 && v.dwMinorVersion == 0) {
        if (suite & VER_SUITE_DATACENTER) return "Datacenter Server ";
        if (suite & VER_SUITE_ENTERPRISE) return "Advanced Server ";
        return "Server ";
    }
    return (suite & VER_SUITE_ENTERPRISE) ? "Server 4.0, Enterprise Edition " : "Server 4.0 ";
}

// The edition without the extended structure, from the product options.
int AppendProductType(const OSVERSIONINFOEXA& v, char* text, int capacity)
{
    char type[256];
    if (GetRegValue(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions",
                    "ProductType", type) == 0)
        return 0;
    if (lstrcmpiA(type, "WINNT") == 0) StrAppend(text, static_cast<size_t>(capacity), "Workstation ");
    else if (lstrcmpiA(type, "LANMANNT") == 0) StrAppend(text, static_cast<size_t>(capacity), "Server ");
    else if (lstrcmpiA(type, "SERVERNT") == 0)
        StrAppend(text, static_cast<size_t>(capacity), "Advanced Server ");
    char numbers[32];
    StrFormatA(numbers, "%d.%d ", static_cast<int>(v.dwMajorVersion),
               static_cast<int>(v.dwMinorVersion));
    StrAppend(text, static_cast<size_t>(capacity), numbers);
    return 1;
}

int AppendNtText(const OSVERSIONINFOEXA& v, int extended, char* text, int capacity)
{
    const size_t cap = static_cast<size_t>(capacity);
    StrCopySigned(text, capacity, NtName(v));
    if (extended && v.wServicePackMajor >= 1 && v.wServicePackMajor <= 3) {
        char sp[8];
        StrFormatA(sp, "SP%d ", static_cast<int>(v.wServicePackMajor));
        StrAppend(text, cap, sp);
    }
    if (GetSystemMetrics(SM_TABLETPC) != 0) StrAppend(text, cap, "Tablet PC Edition ");
    if (extended) {
        if (v.wProductType == VER_NT_WORKSTATION) {
            if (v.dwMajorVersion == 4) StrAppend(text, cap, "Workstation 4.0 ");
            else if (v.wSuiteMask & VER_SUITE_PERSONAL) StrAppend(text, cap, "Home Edition ");
        } else if (v.wProductType == VER_NT_SERVER || v.wProductType == VER_NT_DOMAIN_CONTROLLER) {
            StrAppend(text, cap, ServerEdition(v));
        }
    } else if (!AppendProductType(v, text, capacity)) {
        return 0;
    }
    char build[192];
    const int buildNumber = static_cast<int>(v.dwBuildNumber & 0xFFFF);
    if (v.dwMajorVersion == 4 && lstrcmpiA(v.szCSDVersion, "Service Pack 6") == 0 &&
        KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009"))
        StrFormatA(build, "Service Pack 6a (Build %d)", buildNumber);
    else
        StrFormatA(build, "%s (Build %d)", v.szCSDVersion, buildNumber);
    StrAppend(text, cap, build);
    return 1;
}

}  // namespace

int GetPlatformText(char* text, int capacity)
{
    OSVERSIONINFOEXA v = {};
    v.dwOSVersionInfoSize = sizeof(v);
    int extended = 1;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v))) {
        extended = 0;
        v = {};
        v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v))) return 0;
    }
    switch (v.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        StrCopySigned(text, capacity, "Microsoft Win32s");
        return 1;
    case VER_PLATFORM_WIN32_WINDOWS:
        AppendWindows9xName(v, text, capacity);
        return 1;
    case VER_PLATFORM_WIN32_NT:
        return AppendNtText(v, extended, text, capacity);
    default:
        return 1;
    }
}
