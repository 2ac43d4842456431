#include "widgets/desktop_embed_win.h"

namespace widgets {
namespace {

// Process-wide: the desktop's icon view is looked for once.
HWND g_desktopListView = nullptr;
bool g_desktopSearched = false;
int g_osMajorVersion = 0;

BOOL CALLBACK FindListViewProc(HWND top, LPARAM) noexcept {
  if (!(GetWindowLongW(top, GWL_STYLE) & WS_VISIBLE)) return TRUE;
  HWND view = FindWindowExW(top, nullptr, L"SHELLDLL_DefView", nullptr);
  if (!view) return TRUE;
  HWND list = FindWindowExW(view, nullptr, L"SysListView32", L"FolderView");
  if (!list) return TRUE;
  g_desktopListView = list;
  return FALSE;
}

}  // namespace

HWND FindDesktopListView() {
  if (g_desktopSearched) return g_desktopListView;
  g_desktopSearched = true;
  EnumWindows(FindListViewProc, 0);
  return g_desktopListView;
}

int GetOsMajorVersion() {
  if (g_osMajorVersion == 0) {
    OSVERSIONINFOW vi{sizeof vi};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExW(&vi)) g_osMajorVersion = static_cast<int>(vi.dwMajorVersion);
#pragma GCC diagnostic pop
  }
  return g_osMajorVersion;
}

int CanEmbedInDesktop() {
  // Since Windows Vista the icon view is no place for foreign windows.
  return FindDesktopListView() && GetOsMajorVersion() < 6 ? 1 : 0;
}

}  // namespace widgets
