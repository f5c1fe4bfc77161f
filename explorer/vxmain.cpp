// The explorer. The property sheet and its pages arrive with the explorer's
// own work; for now it starts and exits.
#include <windows.h>

#include "foundation/foundation.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SetProgramKind(kExplorer);
    return 0;
}
