// Placeholder until the location table lands.
#include "catalogue/catalogue.h"

int GetRunLocation(int, HKEY*, const char**, const char**)
{
    return 0;
}

const char* GetDisabledStoreKey(int)
{
    return nullptr;
}

int IsDisabledEntry(const char*)
{
    return 0;
}

int GetDisabledCode(const char*)
{
    return 0;
}

int GetLocationText(int, char* out)
{
    out[0] = 0;
    return 0;
}
