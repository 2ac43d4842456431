// Resource ids of the advert popup's button images (PNG).
#pragma once

#define IDB_ADV_CLOSE_CROSS 303
#define IDB_ADV_VIEW_ARROW 304
#define IDB_ADV_CLOSE_HIGHLIGHT 305
#define IDB_ADV_CLOSE_SEPARATOR 306
