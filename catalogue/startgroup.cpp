// Placeholder until the Startup folder walk lands.
#include "catalogue/catalogue.h"

void SetWalkMode(int) {}
int GetWalkMode()
{
    return 0;
}
void SetFoundFlag(int) {}
int GetFoundFlag()
{
    return 0;
}
void WalkFolder(const char*, WalkHandler, int, void*) {}
int spBuildProc(const char*, const WIN32_FIND_DATAA*, void*)
{
    return 0;
}
int StartupFileProc(const char*, const WIN32_FIND_DATAA*, void*)
{
    return 0;
}
