// The DPI of a window, of the monitor at a point, and the monitors' areas, on every
// Windows version the program runs on: the per-monitor calls where the system has them,
// the system DPI where it has not.
#pragma once
#include <windows.h>

#include <vector>

#include "ui/dpi.h"

namespace ui {

// The DPI a window is drawn at; for no window (null), the system's.
int DpiOfWindow(HWND hwnd);
// The DPI of the monitor that holds (or is nearest to) the screen point.
int DpiAtPoint(int x, int y);
// Every monitor with its work area; empty when the system says nothing.
std::vector<MonitorArea> MonitorAreas();

}  // namespace ui
