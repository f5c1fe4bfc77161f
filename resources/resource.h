// Dialog, control, icon and menu ids of the two programs. Only the programs'
// own code includes this header; string numbers for lower layers are in
// foundation/strid.h.
#pragma once
