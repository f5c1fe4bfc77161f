// Record writers for the catalogue printer.
#include "foundation/foundation.h"
