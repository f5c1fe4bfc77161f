// Reports: files and streams written on request. Everything here reads the
// shared item list as the catalogue enumerated last left it.
#pragma once

#include <string>

#include "catalogue/catalogue.h"

// ---------------------------------------------------------------------------
// records.cpp: item-list records as TSV, CSV (RFC 4180) or JSON (UTF-8).
enum RecordFormat { kRecordTsv, kRecordCsv, kRecordJson };

// Parses "tsv", "csv" or "json"; 1 on success, else 0 and format untouched.
int ParseRecordFormat(const char* name, RecordFormat* format);
// The header line (TSV, CSV) or the opening bracket (JSON).
void BeginRecords(RecordFormat format, std::string* out);
// One record per item-list entry, tagged with the catalogue's name. The
// location column is filled only when withLocation is set (startup entries).
void AppendItemRecords(RecordFormat format, const char* catalogue, int withLocation,
                       std::string* out);
// The closing bracket (JSON); nothing for TSV and CSV.
void EndRecords(RecordFormat format, std::string* out);
// ANSI text of the system code page as UTF-8.
std::string AnsiToUtf8(const char* text);
