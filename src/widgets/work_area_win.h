// The primary monitor's work area (the screen without the taskbar), in screen pixels.
#pragma once
#include <windows.h>

#include "widgets/widget_geometry.h"

namespace widgets {

inline Rect PrimaryWorkArea() {
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return {r.left, r.top, r.right, r.bottom};
}

}  // namespace widgets
