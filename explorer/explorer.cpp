// STUB (replaced by its owner): Start-up of the explorer: switches, restore, initialization.
#include "explorer/explorer.h"

int StartPageOfCommandLine(const char*, int startTab) { return startTab; }
void RestoreAllDelayed() {}
void InitExplorerValues() {}
