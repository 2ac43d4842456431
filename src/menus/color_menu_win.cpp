#include "menus/color_menu_win.h"

#include <windowsx.h>

#include <algorithm>

#include "framework/handles_win.h"
#include "ui/dpi_win.h"

namespace menus {

namespace {
constexpr wchar_t kColorMenuClass[] = L"PelinorColorMenu";
constexpr COLORREF kFrameColor = RGB(172, 168, 153);
}  // namespace

CColorMenu::~CColorMenu() {
  if (hwnd_) Close();
}

SIZE CColorMenu::Measure(int dpi) {
  grid_ = LayOutColorGrid(dpi);
  return SIZE{grid_.width, grid_.height};
}

HWND CColorMenu::Create(HWND parent) {
  if (hwnd_) return hwnd_;
  Measure(ui::DpiOfWindow(parent));
  RECT rc{0, 0, grid_.width, grid_.height};
  return WindowBase::Create(kColorMenuClass, parent, rc, L"", WS_POPUP, WS_EX_TOOLWINDOW, CS_DROPSHADOW);
}

void CColorMenu::Show(int x, int y, HWND owner, HWND insertAfter, UINT extraFlags) {
  owner_ = owner;
  if (!hwnd_ && !Create(owner)) return;
  // Sized for the monitor it opens on; its top-left corner stays at (x, y).
  Measure(ui::DpiAtPoint(x, y));
  SetWindowPos(hwnd_, insertAfter, x, y, grid_.width, grid_.height, SWP_NOACTIVATE | SWP_SHOWWINDOW | extraFlags);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void CColorMenu::TrackPopup(int x, int y, HWND owner) {
  Show(x, y, owner, HWND_TOPMOST, 0);
  BecomeCurrent();  // a click elsewhere closes it like any menu
}

void CColorMenu::ShowAt(int x, int y, HWND owner) { Show(x, y, owner, nullptr, SWP_NOZORDER); }

void CColorMenu::Close() {
  ForgetIfCurrent();
  if (hwnd_) DestroyWindow();
}

LRESULT CColorMenu::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  ForgetIfCurrent();
  handled = FALSE;
  return 0;
}

LRESULT CColorMenu::OnActivateApp(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  if (!wParam) Close();
  handled = FALSE;
  return 0;
}

LRESULT CColorMenu::OnSetCursor(UINT, WPARAM, LPARAM, BOOL&) {
  SetCursor(LoadCursorW(nullptr, IDC_HAND));
  return TRUE;
}

LRESULT CColorMenu::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&) {
  // The colour comes from the cell, never from the screen, whose pixels scaling, layered
  // windows and remote sessions change. The frame and margin are no colour at all.
  int index = grid_.IndexAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  if (index < 0) return 0;
  picked_ = RgbToColorref(PaletteColor(index));
  noColorPicked_ = offerNoColor_ && index == 0;
  HWND owner = owner_;
  WPARAM command = static_cast<WORD>(command_);
  Close();
  if (owner) PostMessageW(owner, WM_COMMAND, command, 0);
  return 0;
}

LRESULT CColorMenu::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  fw::PaintBuffered(dc, grid_.width, grid_.height, [this](HDC to) { Paint(to); });
  EndPaint(hwnd_, &ps);
  return 0;
}

LRESULT CColorMenu::OnPrintClient(UINT, WPARAM wParam, LPARAM, BOOL&) {
  Paint(reinterpret_cast<HDC>(wParam));
  return 0;
}

void CColorMenu::Paint(HDC dc) {
  RECT client{0, 0, grid_.width, grid_.height};
  fw::UniqueBrush white(CreateSolidBrush(RGB(255, 255, 255)));
  FillRect(dc, &client, white.get());
  fw::UniqueBrush frame(CreateSolidBrush(kFrameColor));
  FrameRect(dc, &client, frame.get());
  for (int c = 0; c < kColorColumns; ++c) {
    for (int r = 0; r < kColorRows; ++r) {
      Rect cell = grid_.Cell(c, r);
      RECT rc{cell.left, cell.top, cell.right, cell.bottom};
      int index = r + kColorRows * c;
      if (offerNoColor_ && index == 0) {
        // "No colour": a small black grid, five lines each way a quarter cell apart.
        FillRect(dc, &rc, white.get());
        fw::UniquePen pen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
        fw::SelectGuard sel(dc, pen.get());
        int step = grid_.cellHeight / 4;
        for (int k = 0; k < 5; ++k) {
          int y = std::min(cell.top + k * step, cell.bottom - 1);
          int x = std::min(cell.left + k * step, cell.right - 1);
          MoveToEx(dc, cell.left, y, nullptr);
          LineTo(dc, cell.right, y);
          MoveToEx(dc, x, cell.top, nullptr);
          LineTo(dc, x, cell.bottom);
        }
        continue;
      }
      fw::UniqueBrush fill(CreateSolidBrush(RgbToColorref(PaletteColor(index))));
      FillRect(dc, &rc, fill.get());
    }
  }
}

}  // namespace menus
