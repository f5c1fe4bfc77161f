// The alert dialogs, their sounds and the help page.
#include "monitor/monitor.h"

void PlayAlertSound(int) {}
int ShowAlert(int) { return -1; }
int AskAlertQuestion(const char*) { return IDYES; }
int OpenHelpPage(int) { return 0; }
void ResetStartupRepeatGuard() {}
void InstallAlertHandlers(HWND) {}
void ShowRestartCommandsDialog(HWND) {}
