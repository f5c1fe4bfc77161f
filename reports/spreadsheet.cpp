// The spreadsheet report: one comma-separated row per startup entry, task,
// browser helper and service, for the user's own lists and comparisons.
#include "reports/reports.h"

#include <shellapi.h>

#include <iterator>

namespace {

struct RunKeyKind {
    int code;
    const char* type;
    const char* subType;
};
constexpr RunKeyKind kRunKeyKinds[] = {
    {1, "HKLM", "Run"},  {2, "HKLM", "RunOnce"},  {3, "HKLM", "RunOnceEx"},
    {4, "HKLM", "RunServices"},  {5, "HKLM", "RunServicesOnce"},  {6, "HKLM", "RunOnceSetup"},
    {11, "HKCU", "Run"}, {12, "HKCU", "RunOnce"}, {13, "HKCU", "RunOnceEx"},
    {14, "HKCU", "RunServices"}, {15, "HKCU", "RunServicesOnce"}, {16, "HKCU", "RunOnceSetup"},
    {21, "HKU", "Run"},  {22, "HKU", "RunOnce"},  {23, "HKU", "RunOnceEx"},
    {24, "HKU", "RunServices"},  {25, "HKU", "RunServiceOnce"},   {26, "HKU", "RunOnceSetup"},
};
static_assert(std::size(kRunKeyKinds) == 18);
constexpr RunKeyKind kOtherRunKey = {0, "UnknownKey", "Run"};

const RunKeyKind& RunKeyKindOf(int code)
{
    for (const RunKeyKind& kind : kRunKeyKinds)
        if (kind.code == code) return kind;
    return kOtherRunKey;
}

// The widths the columns have always had; longer texts are cut.
constexpr size_t kFileNameColumn = 260;
constexpr size_t kCompanyColumn = 128;
constexpr size_t kVersionColumn = 128;
constexpr size_t kDescriptionColumn = 1024;

std::string_view Cut(const std::string& text, size_t length)
{
    return std::string_view(text).substr(0, length);
}

struct Spreadsheet {
    ReportBuffer buffer;
    ReportFacts facts;
};

void AppendRow(ReportFacts* facts, const char* type, const char* subType, int i, std::string* out)
{
    char title[kTitleLen + 1];
    char path[kPathLen + 1];
    GetItemTitle(i, title);
    GetItemPath(i, path);
    const ReportProgram& program = GetReportProgram(facts, path);
    char detected[64];
    GetReportFirstDetected(facts, program.file, GetItemType(i), detected, sizeof(detected));
    const std::string_view fields[] = {type,
                                       subType,
                                       title,
                                       Cut(program.name, kFileNameColumn),
                                       Cut(program.field[kCompanyName], kCompanyColumn),
                                       detected,
                                       path,
                                       Cut(program.field[kFileDescription], kDescriptionColumn),
                                       Cut(program.field[kProductVersion], kVersionColumn)};
    for (size_t f = 0; f < std::size(fields); ++f) {
        if (f) out->push_back(',');
        AppendCsvField(fields[f], out);
    }
    out->append("\r\n");
}

void WriteRow(Spreadsheet* sheet, const char* type, const char* subType, int i)
{
    std::string row;
    AppendRow(&sheet->facts, type, subType, i, &row);
    AddReportText(&sheet->buffer, row);
}

void WriteGroup(Spreadsheet* sheet, int (*build)(), const char* type)
{
    ClearItems();
    build();
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) WriteRow(sheet, type, "", i);
}

void WriteRunRows(Spreadsheet* sheet)
{
    ClearItems();
    BuildRun();
    std::string rows;
    AppendRunKeyRows(&sheet->facts, &rows);
    AddReportText(&sheet->buffer, rows);
}

void WriteStartupFolderRows(Spreadsheet* sheet)
{
    ClearItems();
    GetStartupGroup();
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) WriteRow(sheet, "Startup", "Folder", i);
}

// Browser helper objects, then toolbars, as the list holds them; extensions
// have no row.
void WriteIEHelperRows(Spreadsheet* sheet)
{
    BuildIEHelperList();
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        const int type = GetItemType(i);
        if (type == 900 || type == 901) WriteRow(sheet, "IE Helpers", type == 900 ? "BHO" : "Toolbar", i);
    }
}

void WriteServiceRows(Spreadsheet* sheet)
{
    BuildServiceList();
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        char title[kTitleLen + 1];
        GetItemTitle(i, title);
        WriteRow(sheet, "Services", GetReportServiceState(&sheet->facts, title).c_str(), i);
    }
}

void WriteHeading(Spreadsheet* sheet)
{
    char version[1024];
    GetSystemVersionText(version);
    ReportStamp now;
    StampReportNow(&now);
    // The version comes from the programs' resources: as one field, a comma
    // or quote in it cannot shift or swallow the rows below.
    std::string created = std::string("Log created by ") + GetAppCaption() + " version " + version;
    std::string line;
    AppendCsvField(created, &line);
    line.append("\r\n");
    AddReportText(&sheet->buffer, line);
    AddReportLine(&sheet->buffer, "Scan saved at %s, on %s\r\n", now.clock, now.date);
    AddReportText(&sheet->buffer,
                  "Type,SubType,Title,Filename,Company,First Detected,Path,Description, Version\r\n");
}

}  // namespace

void AppendRunKeyRows(ReportFacts* facts, std::string* out)
{
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        const RunKeyKind& kind = RunKeyKindOf(GetItemType(i));
        AppendRow(facts, kind.type, kind.subType, i, out);
    }
}

int WriteSpreadsheetReportTo(HANDLE out)
{
    Spreadsheet sheet{{out, {}, 1}, {}};
    // A report looks; it never parks an entry that came back.
    const int repair = SetStartupRepair(0);
    WriteHeading(&sheet);
    WriteRunRows(&sheet);
    WriteStartupFolderRows(&sheet);
    WriteGroup(&sheet, GetDelayedPrograms, "Delayed Start");
    WriteGroup(&sheet, BuildActiveTaskList, "Active Tasks");
    WriteIEHelperRows(&sheet);
    WriteServiceRows(&sheet);
    WriteGroup(&sheet, BuildTaskList, "Scheduled Tasks");
    SetStartupRepair(repair);
    return FlushReportBuffer(&sheet.buffer);
}

int WriteSpreadsheetReport(const char* path)
{
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    int written = 0;
    {
        UniqueFile file = CreateReportFile(path);
        if (file) {
            WriteSpreadsheetReportTo(file.get());
            written = 1;
        }
    }
    SetCursor(previous ? previous : LoadCursorA(nullptr, IDC_ARROW));
    if (written) ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
    return 1;
}
