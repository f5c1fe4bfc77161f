// Item-list records for scripts. Text fields come from the registry, files
// and processes, so every writer escapes or quotes; nothing is a format.
#include "reports/reports.h"

#include <cstdio>
#include <iterator>

namespace {

constexpr const char* kColumns[] = {"catalogue", "type_code",  "type_name",
                                    "title",     "program_path", "entry_name",
                                    "flag",      "detail",     "location"};
constexpr int kColumnCount = 9;
static_assert(std::size(kColumns) == kColumnCount);

struct Record {
    std::string field[kColumnCount];
};

// TSV has no quoting: the separators themselves cannot occur in a field.
void AppendTsvField(const std::string& text, std::string* out)
{
    for (char c : text) out->push_back(c == '\t' || c == '\r' || c == '\n' ? ' ' : c);
}

void AppendJsonString(const std::string& utf8, std::string* out)
{
    out->push_back('"');
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out->append("\\\""); break;
        case '\\': out->append("\\\\"); break;
        case '\n': out->append("\\n"); break;
        case '\r': out->append("\\r"); break;
        case '\t': out->append("\\t"); break;
        default:
            if (c < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out->append(esc);
            } else {
                out->push_back(static_cast<char>(c));
            }
        }
    }
    out->push_back('"');
}

void AppendLine(RecordFormat format, const std::string* fields, std::string* out)
{
    for (int c = 0; c < kColumnCount; ++c) {
        if (c) out->push_back(format == kRecordCsv ? ',' : '\t');
        if (format == kRecordCsv)
            AppendCsvField(fields[c], out);
        else
            AppendTsvField(fields[c], out);
    }
    out->append(format == kRecordCsv ? "\r\n" : "\n");
}

void ReadRecord(int i, const char* catalogue, int withLocation, Record* r)
{
    char title[kTitleLen];
    char path[kPathLen];
    char entry[kEntryLen];
    char detail[kDetailLen];
    char typeName[48];
    char location[512] = "";
    GetItemTitle(i, title);
    GetItemPath(i, path);
    GetItemEntryName(i, entry);
    GetItemDetail(i, detail, static_cast<int>(sizeof detail));
    const int type = GetItemType(i);
    TypeCodeName(type, typeName);
    if (withLocation) GetLocationText(i, location);
    r->field[0] = catalogue;
    r->field[1] = std::to_string(type);
    r->field[2] = typeName;
    r->field[3] = title;
    r->field[4] = path;
    r->field[5] = entry;
    r->field[6] = std::to_string(GetItemFlag(i));
    r->field[7] = detail;
    r->field[8] = location;
}

}  // namespace

int ParseRecordFormat(const char* name, RecordFormat* format)
{
    struct Name {
        const char* text;
        RecordFormat format;
    };
    static constexpr Name kNames[] = {{"tsv", kRecordTsv}, {"csv", kRecordCsv}, {"json", kRecordJson}};
    for (const Name& n : kNames) {
        if (lstrcmpiA(name, n.text) == 0) {
            *format = n.format;
            return 1;
        }
    }
    return 0;
}

std::string AnsiToUtf8(const char* text)
{
    std::string utf8;
    const int wide = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (wide <= 1) return utf8;
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, w.data(), wide);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return utf8;
    utf8.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(bytes - 1));
    return utf8;
}

void BeginRecords(RecordFormat format, std::string* out)
{
    if (format == kRecordJson) {
        out->append("[");
        return;
    }
    std::string header[kColumnCount];
    for (int c = 0; c < kColumnCount; ++c) header[c] = kColumns[c];
    AppendLine(format, header, out);
}

void AppendItemRecords(RecordFormat format, const char* catalogue, int withLocation,
                       std::string* out)
{
    const int count = ItemCount();
    Record r;
    for (int i = 0; i < count; ++i) {
        ReadRecord(i, catalogue, withLocation, &r);
        if (format != kRecordJson) {
            AppendLine(format, r.field, out);
            continue;
        }
        // A record after the opening bracket needs no comma; any later one does.
        out->append(out->back() == '[' ? "\n  {" : ",\n  {");
        for (int c = 0; c < kColumnCount; ++c) {
            if (c) out->append(", ");
            out->push_back('"');
            out->append(kColumns[c]);
            out->append("\": ");
            if (c == 1 || c == 6)
                out->append(r.field[c]);
            else
                AppendJsonString(AnsiToUtf8(r.field[c].c_str()), out);
        }
        out->push_back('}');
    }
}

void EndRecords(RecordFormat format, std::string* out)
{
    if (format == kRecordJson) out->append(out->back() == '[' ? "]\n" : "\n]\n");
}
