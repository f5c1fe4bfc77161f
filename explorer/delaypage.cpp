// STUB (replaced by its owner): The Delayed Start page.
#include "explorer/explorer.h"

const PageSpec& DelayedPageSpec() { static const PageSpec spec = {}; return spec; }
