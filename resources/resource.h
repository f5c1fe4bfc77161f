// Dialog, control, icon and menu ids of the two programs. Only the programs'
// own code includes this header; string numbers for lower layers are in
// foundation/strid.h.
#pragma once

// Icons. Windows 9x shows 159, drawn for its 16-colour shell, as the normal
// icon; the "TrayIcon" option may name any of them.
#define IDI_NORMAL              101
#define IDI_VERIFY_A            157
#define IDI_VERIFY_B            158
#define IDI_NORMAL_9X           159
#define IDI_ALERT               161

// The built-in alert chime, played when no sound scheme names a file.
#define IDR_ALERT_WAVE          170

// Dialogs.
#define IDD_RESTART_COMMANDS    130
#define IDD_STARTUP_ALERT       131
#define IDD_TASK_ALERT          138
#define IDD_IEHELPER_ALERT      140
#define IDD_FILETYPE_ALERT      143
#define IDD_SERVICE_ALERT       171
#define IDD_SYSFILE_ALERT       189
#define IDD_HIDDEN_ALERT        191
#define IDD_DELAYED_ALERT       192

// Controls. The alerts answer with the system's IDYES and IDNO buttons; the
// hidden-file alert uses IDOK and IDCANCEL instead, because its "Delete"
// must also be what Escape does. One id serves several dialogs where the
// templates of the alerts share it: 1025 to 1028 are the text lines of the
// file alerts, and 1026 is the program path of the program alerts.
#define IDC_NAME                100
#define IDC_PROGRAM_ICON        117
#define IDC_RESTART_DELETE      1003
#define IDC_RESTART_TEXT        1004
#define IDC_CHECK               1014
#define IDC_LINE1               1025
#define IDC_PATH                1026
#define IDC_LINE3               1027
#define IDC_LINE4               1028
#define IDC_VERSION             1029
#define IDC_COMPANY             1030
#define IDC_DESCRIPTION         1031
#define IDC_COPYRIGHT           1032
#define IDC_MESSAGE             1036
#define IDC_LOCATION_LABEL      1039
#define IDC_INFO                1067
#define IDC_TASK_NEXT_RUN       1082
#define IDC_VERSION_LABEL       1097
#define IDC_RESTART_NOTE        1102
#define IDC_OLD_NAME            1111
#define IDC_OLD_ICON            1112
#define IDC_OLD_PATH            1113
#define IDC_OLD_COMPANY         1114
#define IDC_OLD_INFO            1115
#define IDC_NEW_ICON            1116
#define IDC_NEW_PATH            1117
#define IDC_NEW_NAME            1118
#define IDC_NEW_COMPANY         1119
#define IDC_NEW_INFO            1120
#define IDC_EXTENSION           1121
#define IDC_SERVICE_MESSAGE     1143
#define IDC_SERVICE_STATUS      1144
#define IDC_VIEW_NEW            1170
#define IDC_VIEW_PREVIOUS       1171
#define IDC_ACCEPT              1172
#define IDC_REJECT              1173
#define IDC_FILENAME_LABEL      1174
#define IDC_FILE_NAME           1175
#define IDC_FILE_LOCATION       1176

// ---------------------------------------------------------------------------
// The explorer. Dialogs of the sheet's pages and of the explorer's windows.
#define IDD_PAGE_STARTUP        102
#define IDD_PAGE_ABOUT          103
#define IDD_PAGE_COOKIES        108
#define IDD_PAGE_ACTIVE_TASKS   110
#define IDD_PAGE_OPTIONS        114
#define IDD_INFO                121
#define IDD_PAGE_SERVICES       132
#define IDD_PAGE_SCHEDULED      137
#define IDD_PAGE_IEHELPERS      139
#define IDD_HISTORY             141
#define IDD_PAGE_FILETYPES      142
#define IDD_PATROL              160
#define IDD_MESSAGE             184
#define IDD_PAGE_HIDDEN         195
#define IDD_PAGE_DELAYED        197
#define IDD_DELAY_OPTIONS       198
#define IDD_DELAY_TYPE          199

// Tab icons (and icon 115, the stand-in for a file without an icon).
#define IDI_FILE_FALLBACK       115
#define IDI_TAB_ABOUT           167
#define IDI_TAB_SERVICES        173
#define IDI_TAB_STARTUP         174
#define IDI_TAB_ACTIVE_TASKS    176
#define IDI_TAB_FILETYPES       179
#define IDI_TAB_IEHELPERS       180
#define IDI_TAB_OPTIONS         181
#define IDI_TAB_SCHEDULED       182
#define IDI_TAB_COOKIES         183
#define IDI_TAB_HIDDEN          198
#define IDI_TAB_DELAYED         200

// Bitmaps: the Help image (normal, pressed, hover), the Monitor image (off,
// pressed, on, real time) and the status images.
#define IDB_HELP                133
#define IDB_HELP_PRESSED        134
#define IDB_HELP_HOVER          135
#define IDB_MONITOR_OFF         154
#define IDB_MONITOR_PRESSED     155
#define IDB_MONITOR_ON          156
#define IDB_STATUS_1            158
#define IDB_STATUS_2            159
#define IDB_STATUS_3            160
#define IDB_MONITOR_REALTIME    193

// Controls shared by the pages (each page's own are in its source file).
#define IDC_LIST                1000
#define IDC_REMOVE              1003
#define IDC_CLOSE               1004
#define IDC_INFO_BUTTON         1008
#define IDC_HELP_IMAGE          1077
#define IDC_MONITOR_IMAGE       1112
#define IDC_HELP_LABEL          1134
#define IDC_MONITOR_LABEL       1135
#define IDC_EXPLORE_FOLDER      1201
#define IDC_PROGRAM_PROPERTIES  1202
#define IDC_VIEW_NOTE           1164
#define IDC_HTML_REPORT         9

// ---------------------------------------------------------------------------
// The program information dialog (121).
#define IDC_INFO_PRODUCT        100
#define IDC_INFO_KILL           3
#define IDC_INFO_RUN            4
#define IDC_INFO_EXPAND         5
#define IDC_INFO_APPLY          12
#define IDC_INFO_ICON           117
#define IDC_INFO_STATE          1010
#define IDC_INFO_CREATED        1011
#define IDC_INFO_WRITTEN        1013
#define IDC_INFO_DETECTED       1014
#define IDC_INFO_COPYRIGHT_LABEL 1025
#define IDC_INFO_PATH           1026
#define IDC_INFO_VERSION        1029
#define IDC_INFO_COMPANY        1030
#define IDC_INFO_HEADING        1031
#define IDC_INFO_COPYRIGHT      1032
#define IDC_INFO_NOTE           1033
#define IDC_INFO_VERSION_LABEL  1034
#define IDC_INFO_COMPANY_LABEL  1037
#define IDC_INFO_CREATED_LABEL  1038
#define IDC_INFO_LOCATION       1039
#define IDC_INFO_WRITTEN_LABEL  1041
#define IDC_INFO_DETECTED_LABEL 1042
#define IDC_INFO_SIZE_LABEL     1043
#define IDC_INFO_LOOKUP         1067
#define IDC_INFO_STATS          1068
#define IDC_INFO_NOTE_BUTTON    1069
#define IDC_INFO_NEXT           1082
#define IDC_INFO_PREVIOUS       1083
#define IDC_INFO_START_TYPE     1090
#define IDC_INFO_START_LABEL    1091
#define IDC_INFO_STATE_LABEL    1092
#define IDC_INFO_SIZE           1181

// ---------------------------------------------------------------------------
// The File Types page's Add File Type Extension dialog (144).
#define IDD_ADD_FILETYPE        144
#define IDC_ADD_FILETYPE_PROMPT 1101
#define IDC_ADD_FILETYPE_TEXT   1102

// ---------------------------------------------------------------------------
// The cookie list and the cookie viewer, opened from the Cookies page.
#define IDD_COOKIE_VIEW         109
#define IDD_COOKIE_LIST         145
