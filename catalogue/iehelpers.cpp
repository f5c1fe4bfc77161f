// Placeholder until the IE helper catalogue lands.
#include "catalogue/catalogue.h"

int GetClsidServer(const char*, char* name, char* path)
{
    name[0] = 0;
    path[0] = 0;
    return 1;
}

int BuildIEHelperList()
{
    ClearItems();
    return 0;
}
