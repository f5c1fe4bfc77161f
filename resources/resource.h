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
