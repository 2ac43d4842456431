// A popup grid of 216 colour swatches of the menu family. The owner gets WM_COMMAND with
// the menu's command id and then reads the picked colour (and, when offered, whether the
// "no colour" cell was chosen).
#pragma once
#include <windows.h>

#include "menus/menu_layout.h"
#include "menus/qmenu_win.h"

namespace menus {

class CColorMenu : public CQMenuBase {
 public:
  CColorMenu() = default;
  ~CColorMenu() override;

  void SetCommand(int id) { command_ = id; }
  // Whether the top-left cell stands for "no colour" (drawn as a small grid).
  void SetOfferNoColor(bool offer) { offerNoColor_ = offer; }
  COLORREF PickedColor() const { return picked_; }
  bool NoColorPicked() const { return noColorPicked_; }

  HWND Create(HWND parent) override;
  // Shows the grid with its top-left corner at (x, y) as the open top-level menu.
  void TrackPopup(int x, int y, HWND owner) override;
  void Close() override;
  bool ContainsPoint(int x, int y) const override { return WindowContains(x, y); }
  void ShowAt(int x, int y, HWND owner) override;
  SIZE Measure(int dpi) override;

  const ColorGrid& grid() const { return grid_; }
  void Paint(HDC dc);

  BEGIN_MSG_MAP(CColorMenu)
    MESSAGE_HANDLER(WM_PAINT, OnPaint)
    MESSAGE_HANDLER(WM_PRINTCLIENT, OnPrintClient)
    MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
    MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
    MESSAGE_HANDLER(WM_MOUSEACTIVATE, OnMouseActivate)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
    MESSAGE_HANDLER(WM_ACTIVATEAPP, OnActivateApp)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
  END_MSG_MAP()

 private:
  void Show(int x, int y, HWND owner, HWND insertAfter, UINT extraFlags);

  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPrintClient(UINT, WPARAM wParam, LPARAM, BOOL&);
  LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
  LRESULT OnSetCursor(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMouseActivate(UINT, WPARAM, LPARAM, BOOL&) { return MA_NOACTIVATE; }
  LRESULT OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&);
  LRESULT OnActivateApp(UINT, WPARAM wParam, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);

  ColorGrid grid_;
  HWND owner_ = nullptr;
  int command_ = -1;
  COLORREF picked_ = 0;
  bool offerNoColor_ = false;
  bool noColorPicked_ = false;
};

}  // namespace menus
