// STUB (replaced by its owner): Pages whose content comes later.
#include "explorer/explorer.h"

const PageSpec& IEHelpersPageSpec() { static const PageSpec spec = {}; return spec; }
const PageSpec& ScheduledTasksPageSpec() { static const PageSpec spec = {}; return spec; }
const PageSpec& ServicesPageSpec() { static const PageSpec spec = {}; return spec; }
const PageSpec& ActiveTasksPageSpec() { static const PageSpec spec = {}; return spec; }
const PageSpec& CookiesPageSpec() { static const PageSpec spec = {}; return spec; }
const PageSpec& FileTypesPageSpec() { static const PageSpec spec = {}; return spec; }
const PageSpec& HiddenFilesPageSpec() { static const PageSpec spec = {}; return spec; }
const PageSpec& AboutPageSpec() { static const PageSpec spec = {}; return spec; }
const PageSpec& OptionsPageSpec() { static const PageSpec spec = {}; return spec; }
