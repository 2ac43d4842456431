// CNotesBase's place on the screen: where the stored place shows it, off the other
// widgets' buttons and with its title strip on a work area, also when it grows, when
// monitors come or go and when it moves to another scale.
#include "widgets/notes_base_win.h"

RECT CNotesBase::PlaceForRecord() {
  // The stored place is in pixels of the screen; the size at 96 DPI, in the DPI of the
  // monitor at that place. A title strip off the work areas is shown on the nearest one,
  // the stored place kept.
  const std::vector<ui::MonitorArea> monitors = ui::MonitorAreas();
  dpi_ = ui::DpiAtPoint(x, y);
  const ui::Rect stored{x, y, x + Px(width), y + Px(height)};
  ui::Rect shown = widgets::BringTitleStripOnScreen({stored, dpi_}, monitors);
  displaced_ = !(shown == stored);
  if (displaced_) {
    dpi_ = ui::DpiAtPoint(shown.left, shown.top);
    shown = {shown.left, shown.top, shown.left + Px(width), shown.top + Px(height)};
  }
  shown = ClearOfOthersButtons(shown, monitors);
  return RECT{shown.left, shown.top, shown.right, shown.bottom};
}

widgets::Rect CNotesBase::ClearOfOthersButtons(const widgets::Rect& r, const std::vector<ui::MonitorArea>& monitors) {
  const widgets::Rect clear = widgets::AvoidOthersButtons({r, dpi_}, env_.OtherWidgets(*this), monitors);
  if (clear == r) return r;
  // Moved so that no widget hides another's buttons: that is where it stays.
  x = clear.left;
  y = clear.top;
  displaced_ = false;
  RecordChanged();
  return clear;
}

widgets::Rect CNotesBase::ShownRect() const {
  RECT rc{};
  GetWindowRect(hwnd_, &rc);
  const SIZE size = ClientSize();
  return {rc.left, rc.top, rc.left + size.cx, rc.top + size.cy};
}

void CNotesBase::KeepPlaced() {
  if (GetParent(hwnd_)) return;  // embedded in the desktop: the desktop places it
  const std::vector<ui::MonitorArea> monitors = ui::MonitorAreas();
  const widgets::Rect now = ShownRect();
  widgets::Rect to = widgets::BringTitleStripOnScreen({now, dpi_}, monitors);
  if (!(to == now)) displaced_ = true;  // shown on the screen, its place kept
  to = ClearOfOthersButtons(to, monitors);
  if (to.left == now.left && to.top == now.top) return;
  SetWindowPos(hwnd_, nullptr, to.left, to.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CNotesBase::KeepGrowthOnWorkArea(int pixelWidth, int pixelHeight) {
  // A widget grows to the right and down with its content. Growth that would carry it past
  // the edge of the screen (and its buttons at the top right with it) moves it back instead;
  // the move is recorded as the user's own would be (unless the widget shows away from its
  // stored place, see OnMove).
  // Neither may it come to lie over another widget's buttons, or theirs over its own: it
  // moves off them, and that place is its own.
  RECT rc;
  if (!GetWindowRect(hwnd_, &rc)) return;
  const ui::Rect now{rc.left, rc.top, rc.right, rc.bottom};
  const std::vector<ui::MonitorArea> monitors = ui::MonitorAreas();
  ui::Rect to = ui::GrowWithinWorkArea(now, pixelWidth, pixelHeight, monitors);
  if (!GetParent(hwnd_)) to = ClearOfOthersButtons(to, monitors);
  if (to.left == now.left && to.top == now.top) return;
  POINT at{to.left, to.top};
  if (HWND parent = GetParent(hwnd_)) ScreenToClient(parent, &at);
  SetWindowPos(hwnd_, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT CNotesBase::PlaceInParent() const {
  RECT rc;
  GetWindowRect(hwnd_, &rc);
  if (HWND parent = GetParent(hwnd_)) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

LRESULT CNotesBase::OnMove(UINT, WPARAM, LPARAM, BOOL&) {
  if (displaced_) return 0;  // shown away from its place: the place stays stored
  RECT rc = PlaceInParent();
  x = rc.left;
  y = rc.top;
  RecordChanged();
  return 0;
}

LRESULT CNotesBase::OnDpiChanged(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  // Moved onto a monitor of another DPI (or the DPI was changed): the same widget in the
  // new DPI's pixels, where the system suggests.
  dpi_ = ui::UsableDpi(HIWORD(wParam));
  RebuildFonts();
  engine_->SetDefaultFont(compositor_.contentFont(), 1);
  engine_->SetLineSpacing(Px(linespace));
  const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
  const int left = suggested ? suggested->left : PlaceInParent().left;
  const int top = suggested ? suggested->top : PlaceInParent().top;
  compositor_.DropPendingSize();
  SetWindowPos(hwnd_, nullptr, left, top, Px(width), Px(height), SWP_NOZORDER | SWP_NOACTIVATE);
  // A size that did not change in pixels sends no WM_SIZE: lay out here as well.
  LayOut();
  KeepPlaced();
  return 0;
}

LRESULT CNotesBase::OnDisplayChange(UINT, WPARAM, LPARAM, BOOL&) {
  // A monitor came or went: show the widget at its stored place when its title strip is on
  // a work area there again, else in the nearest work area; off other widgets' buttons.
  if (GetParent(hwnd_)) return 0;  // embedded in the desktop: the desktop places it
  const int oldDpi = dpi_;
  RECT rc = PlaceForRecord();
  const bool wasDisplaced = displaced_;
  displaced_ = true;  // this move is not the user's
  compositor_.DropPendingSize();
  SetWindowPos(hwnd_, nullptr, rc.left, rc.top, Px(width), Px(height), SWP_NOZORDER | SWP_NOACTIVATE);
  displaced_ = wasDisplaced;
  if (dpi_ != oldDpi) {
    const int dpi = dpi_;
    dpi_ = oldDpi;
    RECT place = rc;
    BOOL handled = TRUE;
    OnDpiChanged(kWmDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&place), handled);
  }
  return 0;
}
