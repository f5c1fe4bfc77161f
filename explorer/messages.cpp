// STUB (replaced by its owner): What the explorer says to the user.
#include "explorer/explorer.h"

int ShowMessage(HWND, int) { return IDOK; }
int AskUser(HWND, const char*, UINT) { return IDNO; }
int ShowMessageDialog(HWND, int) { return IDOK; }
