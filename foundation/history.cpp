#include "foundation/foundation.h"

#include <cstring>
#include <iterator>

namespace {

struct ActionName {
    int code;
    const char* name;
    bool reversible;
};

// Searched by code in this order: the second names of codes 12 and 23 are
// never written, but older history files may hold them.
constexpr ActionName kActions[] = {
    {0, "*START_Remove", true},
    {1, "START_Disable", false},
    {2, "START_Enable", false},
    {3, "IEHELPER_Remove", false},
    {4, "TASK_Remove", false},
    {5, "TASK_Kill", false},
    {6, "START_Alert", false},
    {7, "TASK_Alert", false},
    {8, "IEHELPER_Alert", false},
    {9, "SERVICE_Stop", false},
    {10, "SERVICE_Automatic", false},
    {11, "SERVICE_Manual", false},
    {12, "SERVICE_Disabled", false},
    {12, "START_Restore", false},
    {13, "TASK_Restore", false},
    {14, "IEHELPER_Restore", false},
    {15, "ScheduledTask_Remove", false},
    {17, "SERVICE_from_Automatic", false},
    {18, "SERVICE_from_Manual", false},
    {19, "SERVICE_from_Disabled", false},
    {20, "SERVICE__from_Disabled", false},
    {21, "RESET_USERINIT", false},
    {22, "RESET_SHELL", false},
    {23, "REMOVE_TaskScheduler", false},
    {24, "REMOVE_DELAYLOAD", false},
    {23, "REMOVE_TASKSCHEDULER", false},
    {25, "REMOVE_SHELLEXECUTEHOOK", false},
    {26, "REMOVE_APPINIT", false},
    {28, "HIDDEN_Alert", false},
    {29, "*HIDDEN_DeleteFile", true},
    {30, "REMOVE_WinLogonNotify", false},
    {31, "LOG_UNKNOWN", false},
};
static_assert(std::size(kActions) == 32);

constexpr int kNameCapacity = 48;
constexpr int kLineCapacity = 1024;

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
static_assert(std::size(kMonths) == 12);

enum class DateForm { kMonthDayYear4, kMonthDayYear2, kYearMonthDay, kIso, kDayMonthName };

struct DatePattern {
    const char* pattern;
    DateForm form;
};

constexpr DatePattern kDatePatterns[] = {
    {"M/d/yyyy", DateForm::kMonthDayYear4}, {"M/d/yy", DateForm::kMonthDayYear2},
    {"MM/dd/yy", DateForm::kMonthDayYear2}, {"MM/dd/yyyy", DateForm::kMonthDayYear4},
    {"yy/MM/dd", DateForm::kYearMonthDay},  {"yyyy-MM-dd", DateForm::kIso},
    {"dd-MMM-yy", DateForm::kDayMonthName},
};
static_assert(std::size(kDatePatterns) == 7);

enum class TimeForm { kHour12, kHour12Padded, kHour24, kHour24Padded };

struct TimePattern {
    const char* pattern;
    TimeForm form;
};

constexpr TimePattern kTimePatterns[] = {
    {"h:mm:ss tt", TimeForm::kHour12},
    {"hh:mm:ss tt", TimeForm::kHour12Padded},
    {"H:mm:ss", TimeForm::kHour24},
    {"HH:mm:ss", TimeForm::kHour24Padded},
};
static_assert(std::size(kTimePatterns) == 4);

constexpr const char* kInternationalKey = "Control Panel\\International";

unsigned Hour12(unsigned hour)
{
    unsigned h = hour % 12;
    return h == 0 ? 12 : h;
}

// Date patterns match without regard to case; time patterns exactly, since
// "h" and "H" tell the 12-hour clock from the 24-hour one.
template <class Table>
int MatchPattern(const Table& table, const char* value, bool ignoreCase)
{
    for (size_t i = 0; i < std::size(table); ++i) {
        const int diff = ignoreCase ? lstrcmpiA(value, table[i].pattern) : strcmp(value, table[i].pattern);
        if (diff == 0) return static_cast<int>(i);
    }
    return 0;
}

void FormatDate(DateForm form, const SYSTEMTIME* t, char* out, int capacity)
{
    int year = t->wYear;
    int month = t->wMonth;
    int day = t->wDay;
    switch (form) {
    case DateForm::kMonthDayYear4:
        StrFormat(out, capacity, "%02d/%02d/%04d", month, day, year);
        break;
    case DateForm::kMonthDayYear2:
        StrFormat(out, capacity, "%02d/%02d/%02d", month, day, year);
        break;
    case DateForm::kYearMonthDay:
        StrFormat(out, capacity, "%02d/%02d/%02d", year, month, day);
        break;
    case DateForm::kIso:
        StrFormat(out, capacity, "%04d-%02d-%02d", year, month, day);
        break;
    case DateForm::kDayMonthName:
        // A damaged SYSTEMTIME must not index outside the month names.
        StrFormat(out, capacity, "%02d-%s-%02d", day,
                  (month >= 1 && month <= 12) ? kMonths[month - 1] : "???", year);
        break;
    }
}

void FormatTime(TimeForm form, const SYSTEMTIME* t, char* out, int capacity)
{
    int hour = t->wHour;
    int minute = t->wMinute;
    const char* half = hour >= 12 ? "PM" : "AM";
    int hour12 = static_cast<int>(Hour12(t->wHour));
    switch (form) {
    case TimeForm::kHour12:
        StrFormat(out, capacity, "%d:%02d %s", hour12, minute, half);
        break;
    case TimeForm::kHour12Padded:
        StrFormat(out, capacity, "%02d:%02d %s", hour12, minute, half);
        break;
    case TimeForm::kHour24:
        StrFormat(out, capacity, "%d:%02d", hour, minute);
        break;
    case TimeForm::kHour24Padded:
        StrFormat(out, capacity, "%02d:%02d", hour, minute);
        break;
    }
}

// A tab or line break inside a field would split the record when the
// history window reads it back.
void FlattenField(const char* text, char* out, size_t capacity)
{
    StrCopy(out, capacity, text);
    for (char* p = out; *p != '\0'; ++p)
        if (*p == '\t' || *p == '\r' || *p == '\n') *p = ' ';
}

}  // namespace

int ActionCodeName(int code, char* out)
{
    const char* name = "LOG_UNKNOWN";
    for (const ActionName& a : kActions) {
        if (a.code == code) {
            name = a.name;
            break;
        }
    }
    StrCopy(out, kNameCapacity, name);
    return static_cast<int>(strlen(out));
}

int IsReversibleAction(const char* name)
{
    if (!name) return 0;
    for (const ActionName& a : kActions)
        if (strcmp(a.name, name) == 0) return a.reversible ? 1 : 0;
    return 0;
}

void FormatHistoryTime(const SYSTEMTIME* time, char* out)
{
    constexpr int kCapacity = 64;
    if (time->wYear == 0 && time->wMonth == 0 && time->wDay == 0) {
        LoadLocalizedString(IDS_NEVER, out, kCapacity);
        return;
    }
    StrFormat(out, kCapacity, "%02u/%02u/%04u  %u:%02u %s", time->wMonth, time->wDay, time->wYear,
              Hour12(time->wHour), time->wMinute, time->wHour >= 12 ? "PM" : "AM");
}

void ReadRegionalFormat(RegionalFormat* format)
{
    char pattern[24];
    GetRegValue(HKEY_CURRENT_USER, kInternationalKey, "sShortDate", pattern);
    format->dateIndex = MatchPattern(kDatePatterns, pattern, true);
    GetRegValue(HKEY_CURRENT_USER, kInternationalKey, "sTimeFormat", pattern);
    format->timeIndex = MatchPattern(kTimePatterns, pattern, false);
}

void FormatDateTimeAs(const RegionalFormat* format, const SYSTEMTIME* time, char* out)
{
    const size_t dateIndex = static_cast<size_t>(format->dateIndex);
    const size_t timeIndex = static_cast<size_t>(format->timeIndex);
    char date[12];
    char clock[12];
    FormatDate(kDatePatterns[dateIndex < std::size(kDatePatterns) ? dateIndex : 0].form, time, date,
               sizeof(date));
    FormatTime(kTimePatterns[timeIndex < std::size(kTimePatterns) ? timeIndex : 0].form, time, clock,
               sizeof(clock));
    StrFormat(out, 24, "%s %s", date, clock);
}

void FormatLocalDateTime(const SYSTEMTIME* time, char* out)
{
    RegionalFormat format;
    ReadRegionalFormat(&format);
    FormatDateTimeAs(&format, time, out);
}

void GetHistoryFilePath(char* out)
{
    char folder[MAX_PATH];
    GetProgramFolder(folder);
    StrFormat(out, MAX_PATH, "%s\\history.txt", folder);
}

int WriteHistory(const char* title, const char* program, const char* extra, int typeCode,
                 int actionCode)
{
    if (ReadOption("History", 1) <= 0) return 0;

    char typeName[kNameCapacity];
    char actionName[kNameCapacity];
    TypeCodeName(typeCode, typeName);
    ActionCodeName(actionCode, actionName);

    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[64];
    FormatHistoryTime(&now, date);

    char titleField[kLineCapacity];
    char programField[kLineCapacity];
    char extraField[kLineCapacity];
    FlattenField(title, titleField, sizeof(titleField));
    FlattenField(program, programField, sizeof(programField));
    FlattenField(extra, extraField, sizeof(extraField));

    // The fields are cut, never the line end: a cut record must not run into
    // the next one.
    char line[kLineCapacity];
    StrFormat(line, kLineCapacity - 2, "%s\t%s\t%s\t%s\t%s\t%s", date, actionName, typeName,
              titleField, programField, extraField);
    StrAppend(line, "\r\n");

    char path[MAX_PATH];
    GetHistoryFilePath(path);
    UniqueFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    if (SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
        return 0;
    DWORD length = static_cast<DWORD>(strlen(line));
    DWORD written = 0;
    if (!WriteFile(file.get(), line, length, &written, nullptr) || written != length) return 0;
    return 1;
}

int StampFirstDetected(const char* program, const char* storeKey)
{
    char normalized[MAX_PATH];
    NormalizeProgramPath(program, normalized);
    // The search may rewrite its argument; the store is keyed by the
    // normalized path itself.
    char probe[MAX_PATH];
    StrCopy(probe, normalized);
    if (!FileExistsInPath(probe)) return 0;

    char date[64];
    if (GetRegValue(HKEY_CURRENT_USER, storeKey, normalized, date)) return 1;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[24];
    FormatLocalDateTime(&now, stamp);
    SetRegValue(HKEY_CURRENT_USER, storeKey, normalized, stamp);
    return 0;
}
