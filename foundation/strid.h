// String table numbers that code below the programs needs. The programs'
// dialog and control ids live in resources/resource.h, which the foundation
// and the catalogues never include.
#pragma once

enum StringId {
    IDS_WINDOW_CLASS = 1,        // monitor's window class
    IDS_APP_CAPTION = 2,         // program caption
    IDS_HTTP_OPEN_KEY = 5,       // default browser command key
    IDS_MOZILLA_CLASS = 11,
    IDS_IEXPLORE_PATHS_KEY = 12,
    IDS_DISABLED = 626,
    IDS_LANGUAGE_CODE = 634,
    IDS_NEVER = 686,
    IDS_TASK_RUNNING = 707,
    IDS_LOC_TOOLBAR = 724,
    IDS_LOC_BHO = 725,
    IDS_LOC_TASKSCHED = 726,
    IDS_LOCAL_FILE_NOT_FOUND = 730,
    IDS_FILE_IN_USE = 923,
};
