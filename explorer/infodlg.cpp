// STUB (replaced by its owner): The program information dialog.
#include "explorer/explorer.h"

void ShowInfoDialog(HWND, int) {}
