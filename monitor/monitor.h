// The resident monitor: start-up and exit, the main window with its timer
// and commands, the verification cycle, the approval and first-detected
// stores, the alerts and the notification-area icon. One section per source
// file; only the monitor's own code includes resources/resource.h.
#pragma once

#include "catalogue/catalogue.h"
