#include <cstdio>

#include "foundation/foundation.h"

int main(int, char**)
{
    return 0;
}
