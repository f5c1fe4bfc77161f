// VelmoraScan: prints catalogues as records, and writes the explorer's
// reports, so that scripts and remote support can use the system without a
// window. Console only: nothing here may raise a window, a message box or a
// viewer.
//
//   VelmoraScan.exe [--format=tsv|csv|json] [CATALOGUE...]
//   VelmoraScan.exe --log [FILE]
//   VelmoraScan.exe --report=html|txt|csv [FILE]
//   VelmoraScan.exe --export-settings [FILE]
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "reports/reports.h"

namespace {

int ScanStartup() { return BuildStartupList(0); }
int ScanStartupPage() { return BuildStartupList(1); }
int ScanIEHelpers() { return BuildIEHelperList(); }
int ScanActive() { return BuildActiveTaskList(); }
int ScanServices()
{
    BuildServiceList();
    return ItemCount();
}
int ScanScheduled() { return BuildTaskList(); }
int ScanFileTypes() { return BuildFileTypeList(); }
int ScanHidden() { return BuildHiddenFileList(); }
int ScanCookies() { return BuildCookieList(0); }
int ScanDelayed() { return GetDelayedPrograms(); }

struct Catalogue {
    const char* name;
    int (*build)();
    int withLocation;
};

constexpr Catalogue kCatalogues[] = {
    {"startup", ScanStartup, 1},     {"startup-page", ScanStartupPage, 1},
    {"iehelpers", ScanIEHelpers, 0}, {"active", ScanActive, 0},
    {"services", ScanServices, 0},   {"scheduled", ScanScheduled, 0},
    {"filetypes", ScanFileTypes, 0}, {"hidden", ScanHidden, 0},
    {"cookies", ScanCookies, 0},     {"delayed", ScanDelayed, 0},
};
static_assert(std::size(kCatalogues) == 10);

const Catalogue* FindCatalogue(const char* name)
{
    for (const Catalogue& c : kCatalogues)
        if (std::strcmp(c.name, name) == 0) return &c;
    return nullptr;
}

void PrintUsage(FILE* to)
{
    std::fputs("usage: VelmoraScan.exe [--format=tsv|csv|json] [CATALOGUE...]\n"
               "       VelmoraScan.exe --log [FILE]\n"
               "       VelmoraScan.exe --report=html|txt|csv [FILE]\n"
               "       VelmoraScan.exe --export-settings [FILE]\n"
               "Without FILE a report goes to the standard output.\ncatalogues:",
               to);
    for (const Catalogue& c : kCatalogues) std::fprintf(to, " %s", c.name);
    std::fputs("\n", to);
}

int WriteScanLogReport(HANDLE out) { return WriteScanLogTo(out); }
int WriteHtmlReport(HANDLE out) { return WriteReportLogTo(out, 0); }
int WriteTextReport(HANDLE out) { return WriteReportLogTo(out, 1); }
int WriteCsvReport(HANDLE out) { return WriteSpreadsheetReportTo(out); }
int WriteSettingsReport(HANDLE out) { return ExportSettingsTo(out); }

struct Report {
    const char* option;   // the whole argument
    int (*write)(HANDLE out);
};

constexpr Report kReports[] = {
    {"--log", WriteScanLogReport},
    {"--report=html", WriteHtmlReport},
    {"--report=txt", WriteTextReport},
    {"--report=csv", WriteCsvReport},
    {"--export-settings", WriteSettingsReport},
};

const Report* FindReport(const char* arg)
{
    for (const Report& r : kReports)
        if (std::strcmp(r.option, arg) == 0) return &r;
    return nullptr;
}

// One report, to FILE or to the standard output. The file is complete or
// the exit code says it is not.
int RunReport(const Report& report, int argc, char** argv, int next)
{
    if (argc - next > 1) {
        std::fprintf(stderr, "VelmoraScan: %s takes at most one FILE\n", report.option);
        return 2;
    }
    if (next < argc && argv[next][0] == '-' && argv[next][1] != '\0') {
        std::fprintf(stderr, "VelmoraScan: unknown option '%s'\n", argv[next]);
        return 2;
    }
    ComApartment com;
    if (next == argc) {
        const int ok = report.write(GetStdHandle(STD_OUTPUT_HANDLE));
        return ok ? 0 : 1;
    }
    UniqueFile file = CreateReportFile(argv[next]);
    if (!file) {
        std::fprintf(stderr, "VelmoraScan: cannot create '%s' (error %lu)\n", argv[next],
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    const int ok = report.write(file.get());
    if (!ok) std::fprintf(stderr, "VelmoraScan: '%s' could not be written completely\n", argv[next]);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    // A scan must never stop at a "no disk" or missing-file box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    SetProgramKind(kExplorer);
    InitTrace(kTraceOff);
    InitMessageLanguage();
    // A scan reports; parking an entry that came back is the monitor's and
    // the explorer's business.
    SetStartupRepair(0);

    if (argc > 1)
        if (const Report* report = FindReport(argv[1])) return RunReport(*report, argc, argv, 2);
    if (argc > 1 && std::strncmp(argv[1], "--report=", 9) == 0) {
        std::fprintf(stderr, "VelmoraScan: unknown report '%s'\n", argv[1] + 9);
        return 2;
    }

    RecordFormat format = kRecordTsv;
    const Catalogue* chosen[std::size(kCatalogues) * 4];
    int chosenCount = 0;
    for (int a = 1; a < argc; ++a) {
        const char* arg = argv[a];
        if (std::strncmp(arg, "--format=", 9) == 0) {
            if (!ParseRecordFormat(arg + 9, &format)) {
                std::fprintf(stderr, "VelmoraScan: unknown format '%s'\n", arg + 9);
                return 2;
            }
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            PrintUsage(stdout);
            return 0;
        } else if (arg[0] == '-') {
            std::fprintf(stderr, "VelmoraScan: unknown option '%s'\n", arg);
            return 2;
        } else if (const Catalogue* c = FindCatalogue(arg)) {
            if (chosenCount == static_cast<int>(std::size(chosen))) {
                std::fputs("VelmoraScan: too many catalogues\n", stderr);
                return 2;
            }
            chosen[chosenCount++] = c;
        } else {
            std::fprintf(stderr, "VelmoraScan: unknown catalogue '%s'\n", arg);
            return 2;
        }
    }
    if (chosenCount == 0)
        for (const Catalogue& c : kCatalogues) chosen[chosenCount++] = &c;

    ComApartment com;
    std::string out;
    BeginRecords(format, &out);
    for (int i = 0; i < chosenCount; ++i) {
        chosen[i]->build();
        AppendItemRecords(format, chosen[i]->name, chosen[i]->withLocation, &out);
        ClearItems();
    }
    EndRecords(format, &out);

    // Binary mode: the record writers choose the line ends themselves.
    _setmode(_fileno(stdout), _O_BINARY);
    const size_t written = std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 && written == out.size() ? 0 : 1;
}
