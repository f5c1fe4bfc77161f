// The catalogues: every place from which software starts itself or hooks
// into the shell and the browser. Each enumeration clears and fills the
// shared item list; each operation returns 1 on success, 0 on failure.
#pragma once

#include "foundation/foundation.h"

// ---------------------------------------------------------------------------
// locations.cpp: startup entry model, location table and the disabled store.


// ---------------------------------------------------------------------------
// findrun.cpp: startup enumeration.


// ---------------------------------------------------------------------------
// startgroup.cpp: Startup folder files and shortcut resolution.


// ---------------------------------------------------------------------------
// disable.cpp: disable, enable and remove.


// ---------------------------------------------------------------------------
// delayed.cpp: delayed start.


// ---------------------------------------------------------------------------
// iehelpers.cpp: Internet Explorer helper objects, toolbars and extensions.


// ---------------------------------------------------------------------------
// services.cpp: services.


// ---------------------------------------------------------------------------
// schedtask.cpp: scheduled tasks.


// ---------------------------------------------------------------------------
// filetype.cpp: file type associations.


// ---------------------------------------------------------------------------
// cookies.cpp: cookies and the cookie filter.


// ---------------------------------------------------------------------------
// hidden.cpp: hidden files watch.


// ---------------------------------------------------------------------------
// tasks.cpp: active tasks (running processes).

