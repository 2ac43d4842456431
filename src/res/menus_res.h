// Resource ids of the main menu's icons (16 x 16 PNG).
#pragma once

#define IDB_MENU_SETTINGS 341
#define IDB_MENU_TOOLBOX 344
#define IDB_MENU_OPTIONS 345
#define IDB_MENU_DESKTOP_FILES 347
#define IDB_MENU_SHUTDOWN_TIMER 348
