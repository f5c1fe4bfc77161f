// STUB (replaced by its owner): image buttons and link buttons.
#include "explorer/explorer.h"

void SetupPageImages(HWND, int) {}
void ClearPageImages(HWND) {}
void ShowMonitorImage(HWND, int) {}
int HandleImageMouse(HWND, UINT, WPARAM, LPARAM) { return 0; }
int HandleLinkCursor(HWND, WPARAM, LPARAM) { return 0; }
int DrawLinkButton(const DRAWITEMSTRUCT*) { return 0; }
int OpenPageHelp(int) { return 0; }
