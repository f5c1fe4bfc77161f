// The program file behind a listed command, as a report shows it. A report
// meets the same file many times (a service host, a program that starts at
// logon and runs now), so each command is resolved and its version strings
// read on its first appearance only.
#include "reports/reports.h"

const ReportProgram& GetReportProgram(ReportPrograms* programs, const char* command)
{
    std::string key(command ? command : "");
    if (!key.empty()) CharUpperBuffA(key.data(), static_cast<DWORD>(key.size()));
    auto found = programs->byCommand.find(key);
    if (found != programs->byCommand.end()) return found->second;

    ReportProgram& program = programs->byCommand[key];
    char file[MAX_PATH] = "";
    ResolveProgramFile(command, file);
    // A bare program name is its own file name.
    const char* shown = file[0] != '\0' ? file : (command ? command : "");
    program.file = file;
    program.name = shown + FileNameOffset(shown);
    if (file[0] != '\0') {
        VersionRecord record;
        GetVersionStrings(file, &record);
        for (int f = 0; f < 5; ++f) program.field[f] = record.field[f];
    }
    return program;
}
