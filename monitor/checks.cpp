// The checks of the other watched catalogues in a verification pass.
#include "monitor/monitor.h"

void CheckIEHelpers() {}
void CheckHiddenFiles() {}
void CheckSystemFiles() {}
void CheckStartPages() {}
void CheckFileTypes() {}
void CheckScheduledTasks() {}
void CheckRestartCommands() {}
void CheckServices() {}
void FilterCookies() {}
void FilterMozillaCookies() {}
void CheckNewCookies() {}
