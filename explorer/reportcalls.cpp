// Where the explorer asks for its reports: the Options page's buttons and
// the pages' "Velmora &Log" menu item each come through one of these, so
// that the report writers are joined to the explorer in one place.
#include "explorer/explorer.h"
#include "reports/reports.h"

int RunReportLog(HWND)
{
    return WriteReportLog();
}

int RunSpreadsheetReport(HWND)
{
    char folder[MAX_PATH] = "";
    char path[MAX_PATH + 32];
    if (!GetProgramFolder(folder) || StrFormatA(path, "%s\\VelmoraLog.csv", folder) != 0) return 0;
    return WriteSpreadsheetReport(path);
}

int RunScanLog(HWND)
{
    return WriteScanLog();
}

int RunSettingsExport(HWND)
{
    return ExportSettings();
}
