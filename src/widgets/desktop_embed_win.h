// The desktop's icon view, into which widgets that are not topmost may be embedded: found
// once per process, and only used on systems before Windows Vista.
#pragma once
#include <windows.h>

namespace widgets {

HWND FindDesktopListView();
int GetOsMajorVersion();
// 1 when the icon view was found and the system is older than Vista, else 0.
int CanEmbedInDesktop();

}  // namespace widgets
