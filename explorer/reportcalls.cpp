// Where the explorer asks for its reports: the Options page's buttons and
// the pages' "Velmora &Log" menu item each come through one of these, so
// that the report writers are joined to the explorer in one place. Until
// a writer exists its call writes nothing and says so by returning 0.
#include "explorer/explorer.h"

int RunReportLog(HWND)
{
    return 0;
}

int RunSpreadsheetReport(HWND)
{
    return 0;
}

int RunScanLog(HWND)
{
    return 0;
}

int RunSettingsExport(HWND)
{
    return 0;
}
