// The system information that opens the reports: who wrote the report and
// when, the platform, the browsers and the pages and logon values that
// malware likes to change.
#include <cstring>
#include <iterator>

#include "reports/reports.h"

namespace {

constexpr int IDS_IE_MAIN_KEY = 623;
// Start pages and window titles are read up to this many characters.
constexpr size_t kHeaderValueMax = 16384;
constexpr const char* kAppPathsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr const char* kWinlogonKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

struct HeaderForm {
    ReportBuffer* buffer;
    int html;
    const char* end;     // E: the line end
    const char* brk;     // B: an extra break in HTML
};

// Data in the HTML form is escaped; the text form takes it as it is.
std::string Shown(const HeaderForm& form, std::string_view text)
{
    return form.html ? HtmlEscaped(text) : std::string(text);
}

int IsFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return path[0] != '\0' && attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A text value of any length, cut to kHeaderValueMax; "" when missing or
// not text.
std::string ReadHeaderValue(HKEY root, const char* key, const char* name)
{
    // REG_EXPAND_SZ is expanded and then counts as REG_SZ.
    constexpr DWORD kText = RRF_RT_REG_SZ;
    DWORD size = 0;
    if (RegGetValueA(root, key, name, kText, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    std::string text(size, '\0');
    if (RegGetValueA(root, key, name, kText, nullptr, text.data(), &size) != ERROR_SUCCESS)
        return {};
    text.resize(strnlen(text.c_str(), text.size()));
    if (text.size() > kHeaderValueMax) text.resize(kHeaderValueMax);
    return text;
}

void WriteCreatedLine(const HeaderForm& form)
{
    char version[1024];
    GetSystemVersionText(version);
    ReportStamp now;
    StampReportNow(&now);
    AddReportLine(form.buffer, "Report created by %s version %s at %s, on %s%s",
                  Shown(form, GetAppCaption()).c_str(), Shown(form, version).c_str(), now.clock,
                  now.date, form.end);
}

void WriteBrowserLine(const HeaderForm& form)
{
    char browser[MAX_PATH];
    GetDefaultBrowser(browser);
    if (!IsFile(browser)) {
        AddReportLine(form.buffer, "Browser: Unable to find default browser.%s", form.end);
        return;
    }
    VersionRecord version;
    GetVersionStrings(browser, &version);
    AddReportLine(form.buffer,
                  form.html ? "<b>Browser:</b> %s - <i>%s</i> version %s%s"
                            : "Browser: %s - %s version %s%s",
                  Shown(form, version.field[kProductName]).c_str(),
                  Shown(form, version.field[kFileDescription]).c_str(),
                  Shown(form, version.field[kProductVersion]).c_str(), form.end);
}

void WriteInternetExplorerLines(const HeaderForm& form)
{
    char ie[MAX_PATH];
    if (!GetReportIePath(ie, static_cast<int>(sizeof(ie))) || !IsFile(ie)) {
        AddReportLine(form.buffer, "MSIE: Internet Explorer Not found.%s", form.end);
        return;
    }
    VersionRecord version;
    GetVersionStrings(ie, &version);
    AddReportLine(form.buffer, "MSIE: %s (%s)%s", Shown(form, version.field[kFileDescription]).c_str(),
                  Shown(form, version.field[kProductVersion]).c_str(), form.end);
    char cookies[MAX_PATH];
    GetIECookieFolder(cookies);
    AddReportLine(form.buffer, "IE Cookie Path: %s %s", Shown(form, cookies).c_str(), form.end);
}

// Browsers registered under App Paths whose program file exists.
void WriteOtherBrowserLines(const HeaderForm& form)
{
    struct OtherBrowser {
        const char* program;
        const char* name;   // null: America Online, which names no folder
    };
    constexpr OtherBrowser kBrowsers[] = {
        {"AOL.EXE", nullptr}, {"firefox.exe", "Firefox"}, {"Mozilla.exe", "Mozilla"},
        {"Netscp.exe", "Netscape"}};
    static_assert(std::size(kBrowsers) == 4);
    for (const OtherBrowser& b : kBrowsers) {
        char key[MAX_PATH];
        char file[MAX_PATH];
        char folder[MAX_PATH];
        if (StrFormatA(key, "%s%s", kAppPathsKey, b.program) != 0 ||
            ReadRegText(HKEY_LOCAL_MACHINE, key, "", file) <= 0 || !IsFile(file))
            continue;
        ReadRegText(HKEY_LOCAL_MACHINE, key, "Path", folder);
        VersionRecord version;
        GetVersionStrings(file, &version);
        const std::string shownVersion = Shown(form, version.field[kProductVersion]);
        if (!b.name) {
            AddReportLine(form.buffer, "America Online version %s%s", shownVersion.c_str(), form.end);
        } else {
            AddReportLine(form.buffer, "%s %s installed in %s%s", b.name, shownVersion.c_str(),
                          Shown(form, folder).c_str(), form.end);
        }
    }
}

void WriteBrowserPageLines(const HeaderForm& form)
{
    char mainKey[256];
    LoadLocalizedString(IDS_IE_MAIN_KEY, mainKey);
    struct PageValue {
        HKEY root;
        const char* name;
        const char* label;
    };
    const PageValue kPages[] = {
        {HKEY_CURRENT_USER, "Window Title", "HKCU Window Title"},
        {HKEY_CURRENT_USER, "Default_Page_URL", "HKCU Default_Page_URL"},
        {HKEY_LOCAL_MACHINE, "Default_Page_URL", "HKLM Default_Page_URL"},
        {HKEY_CURRENT_USER, "Start Page", "HKCU Start Page"},
        {HKEY_LOCAL_MACHINE, "Start Page", "HKLM Start Page"},
    };
    for (const PageValue& p : kPages) {
        const std::string value = ReadHeaderValue(p.root, mainKey, p.name);
        if (!value.empty())
            AddReportLine(form.buffer, "%s = %s%s", p.label, Shown(form, value).c_str(), form.end);
    }
}

void WriteWinlogonLines(const HeaderForm& form)
{
    constexpr const char* kNames[] = {"DefaultUserName", "DefaultDomainName", "Shell", "UserInit"};
    for (const char* name : kNames) {
        const std::string value = ReadHeaderValue(HKEY_LOCAL_MACHINE, kWinlogonKey, name);
        if (!value.empty())
            AddReportLine(form.buffer, "WinLogon %s=%s%s", name, Shown(form, value).c_str(), form.end);
    }
}

}  // namespace

int WriteSystemHeader(HANDLE out, int html)
{
    ReportBuffer buffer{out, {}, 1};
    const HeaderForm form{&buffer, html, html ? "<br>\r\n" : "\r\n", html ? "<br>" : ""};

    WriteCreatedLine(form);
    AddReportText(&buffer, form.end);
    char platform[512] = "";
    GetPlatformText(platform, static_cast<int>(sizeof(platform)));
    AddReportLine(&buffer, html ? "<b>Platform:</b> %s%s" : "Platform: %s%s",
                  Shown(form, platform).c_str(), form.end);
    WriteBrowserLine(form);
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof(memory);
    GlobalMemoryStatusEx(&memory);
    AddReportLine(&buffer, "Memory currently in use: %ld%%%s%s", static_cast<long>(memory.dwMemoryLoad),
                  form.end, form.brk);
    WriteInternetExplorerLines(form);
    AddReportText(&buffer, "\r\n");
    WriteOtherBrowserLines(form);
    AddReportText(&buffer, form.end);
    WriteBrowserPageLines(form);
    AddReportText(&buffer, form.end);
    WriteWinlogonLines(form);
    AddReportText(&buffer, form.end);
    AddReportText(&buffer, form.brk);
    return FlushReportBuffer(&buffer);
}
