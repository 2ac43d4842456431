// Owner-drawn popup menus: borderless, non-activating windows with a drop shadow that draw
// their own items and post the chosen command to their owner as WM_COMMAND. A menu can
// hold any CQMenuBase as a submenu. At most one top-level menu is open in the process; it
// closes when the user clicks anywhere outside it (in this program, in another thread's
// window or in another application, whether or not the program is in front), presses Esc,
// or when the program's thread loses activation or the mouse capture changes hands.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/handles_win.h"
#include "framework/window_win.h"
#include "menus/menu_layout.h"

namespace menus {

class CQMenuBase : public fw::WindowBase {
 public:
  ~CQMenuBase() override;

  // Creates the popup window, hidden; `parent` owns it.
  virtual HWND Create(HWND parent) = 0;
  // Lays out, places at (x, y) with the screen-edge flips and shows it as the top-level
  // menu; commands go to `owner`.
  virtual void TrackPopup(int x, int y, HWND owner) = 0;
  // Closes the menu and its open submenus and destroys its window.
  virtual void Close() = 0;
  // Whether the screen point lies in this menu's window or an open submenu's.
  virtual bool ContainsPoint(int x, int y) const = 0;
  // Lays out and shows as a submenu at exactly (x, y); commands go to `owner`.
  virtual void ShowAt(int x, int y, HWND owner) = 0;
  // The window size for a monitor of `dpi`, remembered for the next ShowAt.
  virtual SIZE Measure(int dpi) = 0;

  // The open top-level menu, or null.
  static CQMenuBase* Current() { return current_; }

 protected:
  // Makes this the open top-level menu, closing another, and installs the hook.
  void BecomeCurrent();
  // Forgets this menu if it is the current one, and removes the hook.
  void ForgetIfCurrent();
  bool WindowContains(int x, int y) const;

 private:
  static LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK CallWndProcHook(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK LowLevelMouseHook(int code, WPARAM wParam, LPARAM lParam);
  // Closes the current menu when a button goes down at the screen point outside it.
  static void CloseUnlessInside(POINT pt);
  static CQMenuBase* current_;
  static HHOOK hook_;        // posted messages of this thread: clicks and Esc
  static HHOOK callHook_;    // sent messages of this thread: activation and capture
  static HHOOK mouseHook_;   // every button press on the screen, whoever's window
};

class CQMenu : public CQMenuBase {
 public:
  CQMenu() = default;
  ~CQMenu() override;

  // Adds an entry; the caption is copied. A separator is AppendItem(kItemSeparator, u"", 0,
  // nullptr). `icon` is a 16 x 16 32-bit bitmap with premultiplied alpha owned by the caller.
  // Returns the new item count.
  int AppendItem(uint32_t flags, const std::u16string& text, int command, HBITMAP icon);
  // Adds an entry opening `submenu` (owned by the caller); its command id is -1.
  int AppendPopup(uint32_t flags, const std::u16string& text, CQMenuBase* submenu, HBITMAP icon);
  // Empties the menu. A shown menu closes its open submenu and shrinks to its empty frame,
  // so that nothing on screen or in the layout refers to the items that went.
  void RemoveAllItems();
  size_t ItemCount() const { return items_.size(); }

  HWND Create(HWND parent) override;
  void TrackPopup(int x, int y, HWND owner) override;
  void Close() override;
  bool ContainsPoint(int x, int y) const override;
  void ShowAt(int x, int y, HWND owner) override;
  SIZE Measure(int dpi) override;

  int HotItem() const { return hot_; }
  CQMenuBase* OpenSubmenu() const { return openSubmenu_; }
  bool IsSubmenu() const { return isSubmenu_; }
  // The client rectangle of item `i` as last laid out.
  Rect ItemRect(size_t i) const { return i < layout_.items.size() ? layout_.items[i].item : Rect{}; }
  // Paints the whole menu into `dc` (the window's painting and WM_PRINTCLIENT use it).
  void Paint(HDC dc);

  BEGIN_MSG_MAP(CQMenu)
    MESSAGE_HANDLER(WM_PAINT, OnPaint)
    MESSAGE_HANDLER(WM_PRINTCLIENT, OnPrintClient)
    MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
    MESSAGE_HANDLER(WM_CLOSE, OnClose)
    MESSAGE_HANDLER(WM_ACTIVATEAPP, OnActivateApp)
    MESSAGE_HANDLER(WM_MOUSEACTIVATE, OnMouseActivate)
    MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
  END_MSG_MAP()

 private:
  struct QMenuItem {
    uint32_t flags = 0;
    std::u16string text;  // the menu's own copy
    int command = 0;
    HBITMAP icon = nullptr;
    CQMenuBase* submenu = nullptr;
  };

  void LayOut(int dpi);
  HFONT Font(int dpi);
  void CloseOpenSubmenu();
  // The item under a client point (as a mouse message's lParam), or -1.
  int ItemAt(LPARAM clientPoint) const;
  void OpenSubmenuOf(int index);

  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnPrintClient(UINT, WPARAM wParam, LPARAM, BOOL&);
  LRESULT OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
  LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnActivateApp(UINT, WPARAM wParam, LPARAM, BOOL&);
  LRESULT OnMouseActivate(UINT, WPARAM, LPARAM, BOOL&) { return MA_NOACTIVATE; }
  LRESULT OnMouseMove(UINT, WPARAM, LPARAM lParam, BOOL&);
  LRESULT OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&);
  LRESULT OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&);
  LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);

  std::vector<QMenuItem> items_;
  MenuLayout layout_;
  fw::UniqueFont font_;
  int fontDpi_ = 0;
  int dpi_ = 0;  // of the last layout; 0 before the first
  int hot_ = -1;
  CQMenuBase* openSubmenu_ = nullptr;
  HWND owner_ = nullptr;
  bool isSubmenu_ = false;
};

}  // namespace menus
