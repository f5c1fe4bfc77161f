// The verification cycle.
#include "monitor/monitor.h"

namespace { AlertContext g_context; }
AlertContext& GetAlertContext() { return g_context; }
void ClearAlertContext() { g_context = AlertContext{}; }
void SetAlertContext(int, const char*, const char*) {}
void VerifyTick() {}
int VerifyData() { return 1; }
int CheckTaskChanges() { return 0; }
void CheckStartupPrograms() {}
int ReloadUpdatedOptions() { return 0; }
