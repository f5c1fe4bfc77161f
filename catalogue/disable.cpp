// Placeholder until disabling and removal land.
#include "catalogue/catalogue.h"

int DisableRunProgram(const char*, const char*, const char*, int)
{
    return 0;
}

int DeleteRunProgram(const char*, const char*, const char*, int)
{
    return 0;
}

int DeleteRegProgram(HWND, const char*, const char*, const char*, int)
{
    return 0;
}

int RestoreRunProgram(const char*, const char*, const char*, int)
{
    return 0;
}
