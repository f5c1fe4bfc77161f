// The explorer's entry; everything it does lives in the explorer library,
// which the tests drive as well.
#include "explorer/explorer.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return RunExplorer(instance, commandLine);
}
