// Initial values and snapshots: the approval and first-detected stores the
// verification cycle compares with, and the options it runs by.
#include "monitor/monitor.h"
