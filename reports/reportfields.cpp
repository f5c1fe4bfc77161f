// Texts from the registry, files and version resources on their way into a
// report: escaped for the form they land in, and gathered into large writes.
#include <cstdarg>
#include <cstdio>

#include "reports/reports.h"

void AppendHtmlEscaped(std::string_view text, std::string* out)
{
    for (char c : text) {
        switch (c) {
        case '&': out->append("&amp;"); break;
        case '<': out->append("&lt;"); break;
        case '>': out->append("&gt;"); break;
        case '"': out->append("&quot;"); break;
        case '\'': out->append("&#39;"); break;
        default: out->push_back(c);
        }
    }
}

std::string HtmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendHtmlEscaped(text, &out);
    return out;
}

void AppendCsvField(std::string_view text, std::string* out)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out->append(text);
        return;
    }
    out->push_back('"');
    for (char c : text) {
        if (c == '"') out->push_back('"');
        out->push_back(c);
    }
    out->push_back('"');
}

void AppendTabField(std::string_view text, std::string* out)
{
    for (char c : text) out->push_back(c == '\t' || c == '\r' || c == '\n' ? ' ' : c);
}

void AppendUrlEncoded(std::string_view text, std::string* out)
{
    constexpr char kHex[] = "0123456789ABCDEF";
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            out->push_back(ch);
        } else {
            out->push_back('%');
            out->push_back(kHex[c >> 4]);
            out->push_back(kHex[c & 15]);
        }
    }
}

void AddReportText(ReportBuffer* buffer, std::string_view text)
{
    buffer->text.append(text);
    if (buffer->text.size() >= kReportBufferFlush) FlushReportBuffer(buffer);
}

void AddReportLine(ReportBuffer* buffer, const char* format, ...)
{
    // Formatted straight into the buffer's tail, at whatever length the
    // arguments need.
    std::string& text = buffer->text;
    const size_t start = text.size();
    va_list args;
    va_start(args, format);
    const int needed = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (needed < 0) {
        buffer->ok = 0;
        return;
    }
    text.resize(start + static_cast<size_t>(needed) + 1);
    va_start(args, format);
    std::vsnprintf(text.data() + start, static_cast<size_t>(needed) + 1, format, args);
    va_end(args);
    text.resize(start + static_cast<size_t>(needed));
    if (text.size() >= kReportBufferFlush) FlushReportBuffer(buffer);
}

int FlushReportBuffer(ReportBuffer* buffer)
{
    if (!buffer->text.empty()) {
        if (!WriteReportText(buffer->out, buffer->text)) buffer->ok = 0;
        buffer->text.clear();
    }
    return buffer->ok;
}
