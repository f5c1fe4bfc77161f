// The catalogues: every place from which software starts itself or hooks
// into the shell and the browser. Each enumeration clears and fills the
// shared item list; each operation returns 1 on success, 0 on failure.
#pragma once

#include "foundation/foundation.h"
