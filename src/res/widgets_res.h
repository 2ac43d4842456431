// Resource ids of the widgets: the frame pieces and title-strip buttons (PNG).
#pragma once

#define IDB_FRAME_LEFT 284
#define IDB_FRAME_LEFT_UPPER 285
#define IDB_FRAME_RIGHT 286
#define IDB_FRAME_RIGHT_UPPER 287
#define IDB_FRAME_TOP 288
#define IDB_FRAME_TOP_LEFT 289
#define IDB_FRAME_TOP_RIGHT 290
#define IDB_FRAME_BOTTOM 291
#define IDB_FRAME_BOTTOM_LEFT 292
#define IDB_FRAME_BOTTOM_RIGHT 293
#define IDB_RESIZE_GRIP 294
#define IDB_BUTTON_REFRESH 332
#define IDB_BUTTON_MENU 333
