// STUB (replaced by its owner): The Startup Programs page.
#include "explorer/explorer.h"

const PageSpec& StartupPageSpec() { static const PageSpec spec = {}; return spec; }
