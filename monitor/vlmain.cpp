// The resident monitor. Start-up, the hidden main window and the command
// table arrive with the monitor's own work; for now it starts and exits.
#include <windows.h>

#include "foundation/foundation.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SetProgramKind(kMonitor);
    return 0;
}
