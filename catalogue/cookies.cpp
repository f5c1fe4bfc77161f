// Placeholder until the cookie catalogue lands.
#include "catalogue/catalogue.h"

int CookieFileProc(const char*, const WIN32_FIND_DATAA*, void*)
{
    return 0;
}
