// Placeholder until the hidden-file catalogue lands.
#include "catalogue/catalogue.h"

int HiddenFileProc(const char*, const WIN32_FIND_DATAA*, void*)
{
    return 0;
}
