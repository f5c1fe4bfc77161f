// STUB (replaced by its owner): The history window.
#include "explorer/explorer.h"

void ShowHistoryWindow(HWND) {}
