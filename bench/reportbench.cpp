// The reports timed against the catalogue enumerations they contain, on the
// bench's own data: a report should cost little more than reading what it
// lists. Each report writes into a temporary file; its runs alternate with
// runs of the enumerations, so a busy moment of the shared machine falls on
// both alike.
#include "reports/reports.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kReportRuns = 9;
constexpr double kReportGoal = 1.2;

double Now()
{
    static double tickMs = 0;
    if (tickMs == 0) {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        tickMs = 1000.0 / static_cast<double>(frequency.QuadPart);
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * tickMs;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Enumeration {
    const char* name;
    int (*run)();
};

int ActiveTasks() { return BuildActiveTaskList(); }
int RunKeys()
{
    ClearItems();
    return BuildRun();
}
int StartupFolders()
{
    ClearItems();
    return GetStartupGroup();
}
int StartupSnapshot() { return BuildStartupList(0); }
int Services() { return BuildServiceList(); }
int Delayed() { return GetDelayedPrograms(); }
int Tasks() { return BuildTaskList(); }
int Hidden() { return BuildHiddenFileList(); }
int FileTypes() { return BuildFileTypeList(); }
int Helpers() { return BuildIEHelperList(); }
int CookiesOf(int mode)
{
    const int before = GetCookieMode();
    SetCookieMode(mode);
    const int n = BuildCookieList(0);
    SetCookieMode(before);
    return n;
}
int IECookies() { return CookiesOf(kCookieModeIE); }
int MozillaCookies() { return CookiesOf(kCookieModeMozilla); }

int ScanLogReport(HANDLE out) { return WriteScanLogTo(out); }
int HtmlReport(HANDLE out) { return WriteReportLogTo(out, 0); }
int TextReport(HANDLE out) { return WriteReportLogTo(out, 1); }
int CsvReport(HANDLE out) { return WriteSpreadsheetReportTo(out); }

constexpr Enumeration kScanLogParts[] = {
    {"active", ActiveTasks},  {"run keys", RunKeys}, {"startup folders", StartupFolders},
    {"services", Services},   {"delayed", Delayed},  {"tasks", Tasks},
    {"hidden", Hidden},       {"file types", FileTypes}, {"IE cookies", IECookies},
    {"Mozilla cookies", MozillaCookies},
};
constexpr Enumeration kReportLogParts[] = {
    {"startup", StartupSnapshot}, {"delayed", Delayed}, {"active", ActiveTasks},
    {"tasks", Tasks},             {"IE helpers", Helpers}, {"file types", FileTypes},
    {"services", Services},       {"hidden", Hidden},
};
constexpr Enumeration kSpreadsheetParts[] = {
    {"run keys", RunKeys}, {"startup folders", StartupFolders}, {"delayed", Delayed},
    {"active", ActiveTasks}, {"IE helpers", Helpers}, {"services", Services}, {"tasks", Tasks},
};

struct Figures {
    double report = 0, parts = 0;
    long long bytes = 0;
};

template <size_t N>
Figures Time(int (*write)(HANDLE), const Enumeration (&parts)[N], const char* path)
{
    std::vector<double> reportRuns, partRuns;
    Figures f;
    for (int run = -1; run < kReportRuns; ++run) {   // run -1 warms the caches
        double t0 = Now();
        {
            UniqueFile file = CreateReportFile(path);
            if (!file) return f;
            write(file.get());
            LARGE_INTEGER size = {};
            GetFileSizeEx(file.get(), &size);
            f.bytes = size.QuadPart;
        }
        double t1 = Now();
        for (const Enumeration& e : parts) e.run();
        double t2 = Now();
        if (run >= 0) {
            reportRuns.push_back(t1 - t0);
            partRuns.push_back(t2 - t1);
        }
        ClearItems();
    }
    f.report = Median(reportRuns);
    f.parts = Median(partRuns);
    return f;
}

template <size_t N>
void Print(const char* name, const Figures& f, const Enumeration (&parts)[N])
{
    const double ratio = f.parts > 0 ? f.report / f.parts : 0;
    std::printf("  %-22s %9.1f %11.1f %7.2f  %s  %8lld bytes\n", name, f.report, f.parts, ratio,
                ratio <= kReportGoal ? "ok  " : "OVER", f.bytes);
    std::printf("  %-22s", "");
    for (const Enumeration& e : parts) std::printf(" %s,", e.name);
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

void RunReportBench()
{
    char folder[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, folder);
    char path[MAX_PATH + 32];
    StrFormatA(path, "%svlbench-report.tmp", folder);
    // The scan must not park entries; the bench only reads.
    SetStartupRepair(0);
    std::printf("\nreports (median of %d runs, ms): report, the enumerations it contains, ratio "
                "(goal %.1f)\n", kReportRuns, kReportGoal);
    Print("scan log", Time(ScanLogReport, kScanLogParts, path), kScanLogParts);
    Print("report log HTML", Time(HtmlReport, kReportLogParts, path), kReportLogParts);
    Print("report log text", Time(TextReport, kReportLogParts, path), kReportLogParts);
    Print("spreadsheet CSV", Time(CsvReport, kSpreadsheetParts, path), kSpreadsheetParts);
    DeleteFileA(path);
}
