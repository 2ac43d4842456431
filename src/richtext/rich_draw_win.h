// The rich-text engine on a real window: GDI measuring and painting, timers on the window,
// the glide-at-rest message and the background image loader.
//
// Use from a window:
//   CRichDrawWin rich;
//   rich.Attach(hwnd);                       // view = client area less 2 px each side
//   rich.SetRect(...); rich.SetDefaultFont(hfont, 0); rich.SetDragScroll(1); ...
//   rich.SetHtml(text);
//   // in the window procedure, before its own handling:
//   LRESULT r; if (rich.ForwardMessage(msg, wParam, lParam, &r)) return r;
//   // when painting (the owner paints the background first):
//   rich.Paint(memoryDc, imageDc);
//   // hover and click: rich.HitTest / rich.GetLinkAt / rich.HighlightLink / ClearLinkHighlight
#pragma once
#include <windows.h>

#include <functional>

#include "richtext/clipboard_win.h"
#include "richtext/rich_draw_ex.h"
#include "richtext/rich_files_win.h"

namespace richtext {

class GdiFontCache;

// Posted to the attached window when a drag-scroll glide has come to rest.
constexpr UINT kMsgGlideAtRest = WM_USER + 1101;

// The extended engine (pasting pictures, files and file paths) on a window, with the
// system clipboard.
class CRichDrawWin : public CRichDrawEx {
 public:
  CRichDrawWin();
  ~CRichDrawWin() override;

  void Attach(HWND window);
  HWND window() const { return window_; }
  // Layered windows get no WM_PAINT: their owner repaints itself when the engine asks.
  // Without a handler the engine invalidates the window.
  void SetRepaintHandler(std::function<void()> handler) { repaint_ = std::move(handler); }
  // Told when only an area of the window shows something new; without it, such changes
  // go to the repaint handler as well.
  void SetAreaRepaintHandler(std::function<void(const Rect&)> handler) { areaRepaint_ = std::move(handler); }

  // Paints the engine's items; given an area (client coordinates), only what lies in it.
  void Paint(HDC target, HDC imageDc, const Rect* area = nullptr);
  using CRichDraw::SetDefaultFont;
  void SetDefaultFont(HFONT font, int flags);
  // Keeps a cursor from the program's resources for the owner to show over content.
  void SetCursorResource(int id);
  HCURSOR GetCursor() const { return cursor_; }

  // Where pasted pictures are kept: the program's data folder, with its trailing backslash.
  void SetDataFolder(std::u16string folder) { winFiles_.SetDataFolder(std::move(folder)); }

  // Passes the engine's messages to it: mouse buttons, moves and wheel, keys and
  // characters (not consumed, so the owner may act on them too), focus, timers
  // 1000..1002 and loaded images (consumed: returns true with the result to return from
  // the window procedure).
  bool ForwardMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

 private:
  class WindowHost : public RichHost {
   public:
    explicit WindowHost(CRichDrawWin& owner) : owner_(owner) {}
    Rect GetClientRect() override;
    void Invalidate() override;
    void InvalidateArea(const Rect& area) override;
    void SetTimer(int id, int ms) override;
    void KillTimer(int id) override;
    void PostGlideAtRest() override;
    bool HasVScroll() override;
    void SetVScrollPos(int pos) override;
    bool HasFocus() override;
    bool IsLeftButtonDown() override;
    void QueueImageLoad(const std::u16string& source, uint32_t token) override;
    void CancelImageLoads() override;
    bool IsCtrlDown() override;
    bool IsShiftDown() override;
    bool GetPointer(int* x, int* y) override;

   private:
    CRichDrawWin& owner_;
  };

  HWND window_ = nullptr;
  WindowHost host_{*this};
  WinClipboard winClipboard_{window_};
  WinRichFiles winFiles_;
  std::unique_ptr<GdiFontCache> paintFonts_;
  std::function<void()> repaint_;
  std::function<void(const Rect&)> areaRepaint_;
  HCURSOR cursor_ = nullptr;
};

}  // namespace richtext
