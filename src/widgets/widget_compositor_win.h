// WidgetCompositor: makes a widget's per-pixel-alpha image and pushes it to its layered
// window. It owns what that takes: the fonts and drawing surfaces, the parts asked to be
// composed again, the pacing of pushes to one per frame, the background kept while the
// pointer is over the widget, and the first push that shows the window and the push that
// brings it a new size. The widget says what the image shows (CompositorHost).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/handles_win.h"
#include "richtext/rich_draw_win.h"
#include "ui/dib_surface_win.h"
#include "widgets/dirty_area.h"
#include "widgets/widget_compose.h"
#include "widgets/widget_geometry.h"
#include "widgets/widget_theme.h"

constexpr UINT kWidgetTimerCompose = 8;         // a repaint held back to the next frame
constexpr int kWidgetFrameMs = 16;              // at most one push to the window per frame
constexpr UINT WM_WIDGET_COMPOSE = WM_APP + 1;  // a repaint asked for; composed once

namespace widgets {

// What the image shows, read from the widget as each compose begins.
struct ComposeLook {
  bool ready = false;  // the widget is set up: nothing is composed before
  int dpi = 96;
  uint8_t alpha = 255;
  const ColorTheme* theme = nullptr;
  uint32_t textColor = 0;
  const WidgetRects* rects = nullptr;
  richtext::CRichDrawWin* engine = nullptr;
  const std::u16string* title = nullptr;  // drawn in the title strip when not empty
  bool buttons = false;                   // the title buttons are drawn
  bool refreshCaption = false;            // the refresh caption is drawn
};

class CompositorHost {
 public:
  virtual HWND ComposeWindow() const = 0;
  virtual ComposeLook Look() const = 0;
  // The pointer is over the widget, or its menu is open: more repaints are likely.
  virtual bool Hovered() const = 0;
  // The window has taken the new size that came with its image.
  virtual void SizePushed() = 0;
  virtual bool StaysOnTop() const = 0;
  virtual bool HasContent() const = 0;

 protected:
  ~CompositorHost() = default;
};

class WidgetCompositor {
 public:
  explicit WidgetCompositor(CompositorHost& host) : host_(host) {}

  // --- Fonts ---
  // The content font for `dpi`; the surfaces take it before the old one goes.
  void RebuildContentFont(int size, int bold, const std::u16string& face, int dpi);
  // The content font and the title and caption fonts for `dpi`.
  void RebuildFonts(int size, int bold, const std::u16string& face, int dpi);
  HFONT contentFont() const { return contentFont_.get(); }
  HFONT titleFont() const { return titleFont_; }
  HFONT surfaceFont() const;
  // Pixel width of `text` in the content font, or in its bold weight (`contentBold`: the
  // content font is bold already).
  int MeasureText(const std::u16string& text, bool bold, bool contentBold);

  // --- Surfaces ---
  // The surfaces for a client of `size`; a surface of that size is kept.
  void SizeSurfaces(SIZE size, uint32_t textColor);
  const ui::DibSurface& surface() const { return surfaceA_; }
  const ui::DibSurface& markSurface() const { return ScratchSurface(); }
  void KeepImage(bool on) { keepImage_ = on; }
  // The window is gone: requests, pending pushes, surfaces and the content font with it.
  void Reset();

  // --- Pushes ---
  // The window is hidden until its first push shows it (`frameChanged`: its style lost a
  // caption, the show recomputes the frame).
  void ShowOnFirstPush(bool frameChanged);
  // The next push gives the window `size`, with the image laid out for it.
  void SizeOnPush(SIZE size);
  void DropPendingSize() { sizeOnPush_ = false; }
  // The size the next push gives the window, if one is waiting.
  bool PendingSize(SIZE* size) const;
  bool pushingSize() const { return pushingSize_; }
  int pushCount() const { return pushes_; }

  // --- Composing ---
  // Asks for the whole image, or `area` of it, to be composed again: once, at the next
  // frame, however often it is asked for before.
  void Repaint();
  void RepaintArea(const Rect& area);
  void Compose() { ComposeArea({0, 0, surfaceA_.width(), surfaceA_.height()}); }
  void ComposeArea(const Rect& wanted);
  void ComposeIfPending();
  // WM_WIDGET_COMPOSE and the frame timer.
  void OnComposeRequest();
  void ComposeDirty();

 private:
  void RequestCompose();
  void ComposeBackground(const ComposeLook& look, const Surface& a, const Surface& b, const Rect& area);
  void Push(const Rect& area, bool whole);
  void PaintText(const ComposeLook& look, HDC dc, const Rect* area);
  // Where PaintText can draw: the engine's lines, the title and the refresh caption.
  RECT TextBounds(const ComposeLook& look) const;
  // The composition's scratch surface (background layers, then the text mark), shared by
  // all widgets.
  static ui::DibSurface& ScratchSurface();

  CompositorHost& host_;
  // The fonts come before the surfaces: a font outlives the DCs it is selected into.
  fw::UniqueFont contentFont_;
  fw::UniqueFont boldContentFont_;  // made when a bold title is first measured
  HFONT titleFont_ = nullptr, captionFont_ = nullptr;  // shared by every widget at this DPI
  ui::DibSurface surfaceA_;
  bool keepImage_ = false;
  // The background (frame, colours, opacity) of a kept image, for the repaints that follow
  // while the pointer is over the widget: copied instead of composed again. Let go with
  // the image. The key says what it was made for.
  struct BackgroundKey {
    int width = 0, height = 0, dpi = 0;
    uint8_t alpha = 0;
    uint32_t title = 0, bodyTop = 0, bodyBottom = 0;
    bool operator==(const BackgroundKey& o) const {
      return width == o.width && height == o.height && dpi == o.dpi && alpha == o.alpha && title == o.title &&
             bodyTop == o.bodyTop && bodyBottom == o.bodyBottom;
    }
  };
  std::vector<uint32_t> background_;
  BackgroundKey backgroundKey_;
  fw::UniqueMemDc imageDc_;  // images of the content are copied through it
  bool composePending_ = false;  // a compose message or the frame timer is on its way
  bool composeTimer_ = false;
  DirtyArea dirty_;  // what has changed since the last compose
  double lastPushMs_ = -1e9;
  int pushes_ = 0;
  bool showOnPush_ = false;  // made hidden: shown by its first push
  bool frameChanged_ = false;
  // A new size the next push gives the window (with the image laid out for it), instead of
  // a move of its own: the system then sizes it once, as it takes the image.
  bool sizeOnPush_ = false;
  SIZE pushSize_{};
  bool pushingSize_ = false;  // that push is under way (its WM_SIZE needs no layout)
  HWND tracedWindow_ = nullptr;  // the start-up benchmark's events (see Push)
  bool tracedContent_ = false;
};

}  // namespace widgets
