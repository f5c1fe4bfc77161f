// STUB (replaced by the page procedure of the framework): just enough of the
// page life cycle to show the sheet, its images and its placement.
#include "explorer/explorer.h"
#include "resources/resource.h"

namespace {
const PageSpec* SpecOf(HWND page)
{
    return reinterpret_cast<const PageSpec*>(GetWindowLongPtrA(page, DWLP_USER));
}
}  // namespace

const PageSpec* GetPageSpec(HWND page) { return SpecOf(page); }
void RefillPage(HWND) {}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const auto* record = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        const auto* spec = reinterpret_cast<const PageSpec*>(record->lParam);
        SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(spec));
        if (spec->init) spec->init(page);
        SetActivePage(spec->commandId);
        RestoreSheetPlacement(page);
        return TRUE;
    }
    const PageSpec* spec = SpecOf(page);
    if (!spec) return FALSE;
    if (HandleImageMouse(page, message, wParam, lParam)) return TRUE;
    switch (message) {
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == PSN_SETACTIVE) {
            SetActivePage(spec->commandId);
            SetupSheetForPage(page);
            SetupPageImages(page, spec->patrolTitleId);
        } else if (header->code == PSN_KILLACTIVE) {
            ClearPageImages(page);
            SaveSheetPlacement(page);
        }
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_MONITOR_IMAGE && spec->patrolTitleId) {
            const int minutes = ShowPatrolDialog(page, spec->patrolTitleId);
            if (minutes >= 0) StorePatrolMinutes(spec->patrolTitleId, minutes);
            ShowMonitorImage(page, PatrolBitmap(spec->patrolTitleId));
        } else if (LOWORD(wParam) == IDC_HELP_IMAGE) {
            OpenPageHelp(spec->commandId);
        }
        return TRUE;
    case WM_DESTROY:
        SaveSheetPlacement(page);
        SetActivePage(0);
        PostMessageA(GetExplorerWindow(), WM_CLOSE, 0, 0);
        return FALSE;
    default:
        return FALSE;
    }
}
