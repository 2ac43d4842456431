#include "ui/dpi_win.h"

#include "platform/system_library_win.h"

namespace ui {
namespace {

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return UsableDpi(dpi);
}

// GetDpiForWindow (user32, Windows 10 1607) and GetDpiForMonitor (shcore, Windows 8.1),
// looked up at run time so that the program still starts on Windows 7.
using DpiForWindowFn = UINT(WINAPI*)(HWND);
using DpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

DpiForWindowFn DpiForWindowCall() {
  static const auto fn = reinterpret_cast<DpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return fn;
}

DpiForMonitorFn DpiForMonitorCall() {
  static const auto fn = [] {
    HMODULE shcore = platform::LoadSystemLibrary(L"shcore.dll");  // kept loaded for the life of the process
    return shcore ? reinterpret_cast<DpiForMonitorFn>(
                        reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                  : nullptr;
  }();
  return fn;
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM out) {
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoW(monitor, &mi)) {
    const RECT& m = mi.rcMonitor;
    const RECT& w = mi.rcWork;
    reinterpret_cast<std::vector<MonitorArea>*>(out)->push_back(
        {{m.left, m.top, m.right, m.bottom}, {w.left, w.top, w.right, w.bottom}});
  }
  return TRUE;
}

}  // namespace

int DpiOfWindow(HWND hwnd) {
  if (DpiForWindowCall() && hwnd) {
    const int dpi = static_cast<int>(DpiForWindowCall()(hwnd));
    if (dpi > 0) return UsableDpi(dpi);
  }
  return SystemDpi();
}

int DpiAtPoint(int x, int y) {
  if (DpiForMonitorCall()) {
    HMONITOR monitor = MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONEAREST);
    UINT dx = 0, dy = 0;
    if (monitor && SUCCEEDED(DpiForMonitorCall()(monitor, 0 /* MDT_EFFECTIVE_DPI */, &dx, &dy)) && dy > 0)
      return UsableDpi(static_cast<int>(dy));
  }
  return SystemDpi();
}

std::vector<MonitorArea> MonitorAreas() {
  std::vector<MonitorArea> out;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&out));
  return out;
}

}  // namespace ui
