// STUB (replaced by its owner): The property sheet and the state every page shares.
#include "explorer/explorer.h"

int GetActivePage() { return 0; }
void SetActivePage(int) {}
void OpenSheet(int) {}
HWND GetSheetWindow() { return nullptr; }
void SetStatusText(const char*, HFONT) {}
HWND GetExplorerWindow() { return nullptr; }
void RestoreSheetPlacement(HWND) {}
void SaveSheetPlacement(HWND) {}
void SetupSheetForPage(HWND) {}
int SheetTabRows() { return 1; }
