// The report log: every section of the explorer in one document, as HTML
// with an index and a lookup link per program, or as tab-separated text.
#include "reports/reports.h"

#include <shellapi.h>

#include <iterator>

namespace {

constexpr int IDS_LOCATION_LABEL = 716;
constexpr const char* kReportTitle = "Velmora Report Log";

enum SectionKind { kPlainSection, kServicesSection, kIEHelpersSection, kHiddenSection };

int ListStartup()
{
    return BuildStartupList(0);
}

int ListServices()
{
    BuildServiceList();
    return ItemCount();
}

struct Section {
    int titleId;
    int (*build)();
    SectionKind kind;
};
// The position of a section is also its anchor number.
constexpr Section kSections[] = {
    {606, ListStartup, kPlainSection},
    {609, GetDelayedPrograms, kPlainSection},
    {607, BuildActiveTaskList, kPlainSection},
    {680, BuildTaskList, kPlainSection},
    {694, BuildIEHelperList, kIEHelpersSection},
    {739, BuildFileTypeList, kPlainSection},
    {636, ListServices, kServicesSection},
    {973, BuildHiddenFileList, kHiddenSection},
};
static_assert(std::size(kSections) == 8);
// Hidden Files, the last section, has no line in the index.
constexpr int kIndexedSections = 7;

// Where "Click for Prime Info" goes: the installation's information
// server, or else the web search the explorer's lookup uses. Read once per
// report; every value in the query is percent-encoded.
struct LookupLink {
    std::string script;   // LookupSite and its script; "" without a site
    std::string search;   // the search address a query is appended to
    std::string build;    // the installed programs' versions
    std::string language;
};

void PrepareLookupLink(LookupLink* link)
{
    char address[kLookupAddressLen];
    if (LookupSiteAddress("/cgi-bin/primeinfo.pl", address, sizeof(address))) {
        link->script = address;
    } else {
        // Without a site the explorer's address is its search with the
        // query appended; for an empty subject that is the search itself.
        BuildLookupAddress(0, "", "", 0, address, sizeof(address));
        link->search = address;
    }
    char build[1024];
    GetSystemVersionText(build);
    link->build = build;
    char language[16] = "";
    LoadLocalizedString(IDS_LANGUAGE_CODE, language);
    link->language = language[0] != '\0' ? language : "en";
}

std::string LookupHref(const LookupLink& link, const char* title, const ReportProgram& program,
                       int typeCode)
{
    const std::string& subject = program.file.empty() ? std::string(title) : program.name;
    const std::string& company = program.field[kCompanyName];
    std::string href;
    if (link.script.empty()) {
        href = link.search;
        AppendUrlEncoded(company.empty() ? subject : subject + " " + company, &href);
        return href;
    }
    href = link.script;
    href.append("?program=");
    AppendUrlEncoded(subject, &href);
    href.append("&vendor=");
    AppendUrlEncoded(company, &href);
    href.append("&version=");
    AppendUrlEncoded(program.field[kProductVersion], &href);
    href.append("&build=");
    AppendUrlEncoded(link.build, &href);
    href.append("&Type=").append(std::to_string(typeCode)).append("&Loc=");
    AppendUrlEncoded(link.language, &href);
    return href;
}

struct ReportLog {
    ReportBuffer buffer;
    ReportFacts facts;
    LookupLink link;
    int html;
};

struct ItemText {
    char title[kTitleLen + 1];
    char path[kPathLen + 1];
    char entry[kEntryLen + 1];
    char detail[kDetailLen + 1];
    char location[512];
    int type;
};

void ReadItemText(ReportFacts* facts, int i, ItemText* item)
{
    GetItemTitle(i, item->title);
    GetItemPath(i, item->path);
    GetItemEntryName(i, item->entry);
    GetItemDetail(i, item->detail, kDetailLen);
    GetReportLocation(facts, i, item->location);
    item->type = GetItemType(i);
}

const char* IEHelperKey(int typeCode)
{
    switch (typeCode) {
    case 900: return kIEBrowserHelpersKey;
    case 901: return kIEToolbarKey;
    case 902: return kIEExtensionsKey;
    default: return "";
    }
}

// A line of the item block: its own text, a text from data escaped, its
// own text again, appended in place (a report has thousands of them).
void AddHtmlLine(ReportBuffer* b, std::string_view head, std::string_view text, std::string_view tail)
{
    b->text.append(head);
    AppendHtmlEscaped(text, &b->text);
    AddReportText(b, tail);
}

void WriteHtmlVersionLines(ReportBuffer* b, const ReportProgram& program)
{
    const std::string& description = program.field[kFileDescription];
    const std::string& version = program.field[kProductVersion];
    const std::string& copyright = program.field[kCopyright];
    if (!description.empty()) AddHtmlLine(b, "\t", description, "<br>");
    if (!version.empty())
        AddHtmlLine(b, "\tVersion: ", version, "&nbsp;&nbsp;&nbsp;&nbsp&nbsp;&nbsp;&nbsp;&nbsp\r\n");
    if (!copyright.empty()) AddHtmlLine(b, "\t", copyright, "<br>\r\n");
    if (description.empty() && copyright.empty()) AddReportText(b, "<br>");
}

void WriteHtmlSectionLines(ReportBuffer* b, ReportFacts* facts, SectionKind kind,
                           const ItemText& item)
{
    if (kind == kServicesSection) {
        AddHtmlLine(b, "\tStartup Type: ", item.entry, "<br>\r\n");
        const std::string& state = GetReportServiceState(facts, item.title);
        if (!state.empty()) AddHtmlLine(b, "\tService Status: ", state, "<br>\r\n");
    } else if (kind == kHiddenSection) {
        FileInformation info;
        GetReportFileTimes(facts, item.path, &info);
        AddHtmlLine(b, "\tCreated: ", info.created, "<br>\r\n");
        AddHtmlLine(b, "\tAccessed: ", info.accessed, "<br>\r\n");
        AddHtmlLine(b, "\tWritten: ", info.written, "<br>\r\n");
        AddHtmlLine(b, "\tFile Size: ", info.size, " Bytes<br>\r\n");
    } else if (kind == kIEHelpersSection) {
        char label[64];
        LoadLocalizedString(IDS_LOCATION_LABEL, label);
        AddHtmlLine(b, "", label, ": \"HKLM\\");
        AddHtmlLine(b, "", IEHelperKey(item.type), "\"<br>\r\n");
    }
}

void WriteHtmlItem(ReportLog* r, SectionKind kind, const ItemText& item)
{
    ReportBuffer* b = &r->buffer;
    const ReportProgram& program = GetReportProgram(&r->facts, item.path);
    if (kind == kHiddenSection) {
        AddHtmlLine(b, "<li><b>", program.name, "</b>\r\n\t<ol>\r\n");
    } else {
        AddHtmlLine(b, "<li><b>", item.title[0] != '\0' ? item.title : "No Description available",
                    "</b>\r\n\t<ol>");
        AddHtmlLine(b, "", program.name,
                    "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
                    "&nbsp;&nbsp\r\n");
    }
    WriteHtmlVersionLines(b, program);
    if (item.location[0] != '\0') AddHtmlLine(b, "\tLocation: ", item.location, "<br>\r\n");
    if (item.path[0] != '\0') AddHtmlLine(b, "\tPath:     ", item.path, "<br>\r\n");
    char detected[64];
    if (GetReportFirstDetected(&r->facts, program.file, item.type, detected, sizeof(detected)) > 0)
        AddHtmlLine(b, "\tFirst Detected by Velmora: ", detected, "<br>\r\n");
    if (item.detail[0] != '\0') AddHtmlLine(b, "\t", item.detail, "<br>\r\n");
    WriteHtmlSectionLines(b, &r->facts, kind, item);
    AddHtmlLine(b, "\t<A href='", LookupHref(r->link, item.title, program, item.type),
                "'>Click for Prime Info</A></ol>\r\n\r\n");
    AddReportText(b, "\t</ol><br>\r\n\r\n");
}

void WriteTextItem(ReportLog* r, const ItemText& item)
{
    const ReportProgram& program = GetReportProgram(&r->facts, item.path);
    const std::string_view fields[] = {item.title,
                                       program.name,
                                       program.field[kFileDescription],
                                       program.field[kProductVersion],
                                       program.field[kCopyright],
                                       item.location,
                                       item.path};
    std::string line;
    for (size_t f = 0; f < std::size(fields); ++f) {
        if (f) line.push_back('\t');
        AppendTabField(fields[f], &line);
    }
    line.append("\r\n");
    AddReportText(&r->buffer, line);
}

void WriteHtmlStart(ReportLog* r)
{
    ReportBuffer* b = &r->buffer;
    AddReportLine(b, "<html><head><title>\r\n%s</title></head>\r\n<body bgcolor=FloralWhite>\r\n",
                  kReportTitle);
    AddReportLine(b, "<H2 align='center'> %s </H2>\r\n", kReportTitle);
    // The header writes by itself: hand over what is gathered first.
    FlushReportBuffer(b);
    if (!WriteSystemHeader(b->out, 1)) b->ok = 0;
    for (int s = 0; s < kIndexedSections; ++s) {
        char title[256];
        LoadLocalizedString(kSections[s].titleId, title);
        // The Services title loses its leading blank in the index.
        const char* shown = kSections[s].kind == kServicesSection && title[0] != '\0' ? title + 1 : title;
        // A fragment of this document, so the index keeps working in a copy
        // saved under another name.
        AddReportLine(b, "<A href='#A%d'>%s</A><br>\r\n", s, HtmlEscaped(shown).c_str());
    }
}

void WriteSection(ReportLog* r, int s)
{
    const Section& section = kSections[s];
    ClearItems();
    section.build();
    char title[256];
    LoadLocalizedString(section.titleId, title);
    if (r->html) {
        AddReportLine(&r->buffer, "<A NAME=\"A%d\">\r\n", s);
        AddReportLine(&r->buffer,
                      "<center><b><BIG><BIG> \x95"
                      " %s \x95"
                      " </BIG></BIG></b></center>\r\n",
                      HtmlEscaped(title).c_str());
    } else {
        std::string line;
        AppendTabField(title, &line);
        line.append("\r\n");
        AddReportText(&r->buffer, line);
    }
    if (section.kind == kHiddenSection) LookAtListedFolders(&r->facts);
    ItemText item;
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        ReadItemText(&r->facts, i, &item);
        if (item.title[0] == '\0' && item.path[0] == '\0') continue;
        if (r->html) {
            WriteHtmlItem(r, section.kind, item);
        } else {
            WriteTextItem(r, item);
        }
    }
}

}  // namespace

int WriteReportLogTo(HANDLE out, int format)
{
    ReportLog report{{out, {}, 1}, {}, {}, format != 1};
    // A report looks; it never parks an entry that came back.
    const int repair = SetStartupRepair(0);
    if (report.html) {
        PrepareLookupLink(&report.link);
        WriteHtmlStart(&report);
    } else {
        AddReportText(&report.buffer, "Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\r\n");
    }
    for (int s = 0; s < static_cast<int>(std::size(kSections)); ++s) WriteSection(&report, s);
    if (report.html) AddReportText(&report.buffer, "</body></html>\r\n");
    SetStartupRepair(repair);
    return FlushReportBuffer(&report.buffer);
}

int WriteReportLog()
{
    // Any "Format" but 1 gives the HTML form.
    const int format = ReadOption("Format", 0) == 1 ? 1 : 0;
    const char* name = format == 1 ? "VelmoraLog.txt" : "VelmoraLog.html";
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    int written = 0;
    {
        UniqueFile file = CreateReportFile(name);
        if (file) {
            WriteReportLogTo(file.get(), format);
            written = 1;
        }
    }
    SetCursor(previous ? previous : LoadCursorA(nullptr, IDC_ARROW));
    if (written) ShellExecuteA(nullptr, "open", name, nullptr, nullptr, SW_SHOWNORMAL);
    return 1;
}
