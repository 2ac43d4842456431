// Resource ids of the main menu's icons (16 x 16 PNG).
#pragma once

#define IDB_MENU_SETTINGS 341
#define IDB_MENU_TOOLBOX 344
#define IDB_MENU_OPTIONS 345
#define IDB_MENU_DESKTOP_FILES 347
#define IDB_MENU_SHUTDOWN_TIMER 348

// Settings ("设置")
#define IDD_SETTINGS 357
#define IDC_SET_AUTOSTART 1101
#define IDC_SET_REFRESH 1102
#define IDC_SET_PLACE 1103
#define IDC_SET_THEME 1104
#define IDC_SET_ALPHA 1105
