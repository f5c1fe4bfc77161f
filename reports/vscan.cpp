// VelmoraScan: prints catalogues as records so that people can script the
// system. Console only: nothing here may raise a window or a message box.
//
//   VelmoraScan.exe [--format=tsv|csv|json] [CATALOGUE...]
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
    std::fputs("usage: VelmoraScan.exe [--format=tsv|csv|json] [CATALOGUE...]\ncatalogues:", to);
    for (const Catalogue& c : kCatalogues) std::fprintf(to, " %s", c.name);
    std::fputs("\n", to);
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
