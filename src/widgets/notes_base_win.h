// CNotesBase: a borderless layered tool window on the desktop showing rich text over a
// framed, colour-themed background whose opacity the user chooses; text stays fully
// opaque. It is also its own persistent record (CNotesLocalInfo). The feed widget
// (CNewsNotes) fills it with feed items and adds links, buttons and the menu.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/handles_win.h"
#include "framework/window_win.h"
#include "model/notes_local_info.h"
#include "richtext/image_loader_win.h"
#include "richtext/rich_draw_win.h"
#include "ui/dib_surface_win.h"
#include "ui/dpi_win.h"
#include "widgets/dirty_area.h"
#include "widgets/widget_drag.h"
#include "widgets/widget_env.h"
#include "widgets/widget_geometry.h"
#include "widgets/widget_placement.h"
#include "widgets/widget_theme.h"
#include "widgets/widget_tooltip_win.h"

constexpr UINT kWidgetTimerCtrlWatch = 6;   // 20 ms from hover while the pointer moves (Ctrl+click rule)
constexpr UINT kWidgetTimerFollow = 7;      // 20 ms while following the cursor
constexpr UINT kWidgetTimerCompose = 8;     // a repaint held back to the next frame
constexpr UINT kWidgetTimerIcon = 9;        // the window icon, set once the start-up's messages are handled
constexpr int kWidgetFrameMs = 16;          // at most one push to the window per frame
constexpr UINT WM_WIDGET_COMPOSE = WM_APP + 1;  // a repaint asked for; composed once
constexpr UINT kWmDpiChanged = 0x02E0;          // WM_DPICHANGED (Windows 8.1 and later)
constexpr wchar_t kWidgetWindowClass[] = L"PelinorWidget";
constexpr wchar_t kWidgetTitle[] = L"便签条";
constexpr int kWidgetCursorResource = 245;
constexpr wchar_t kHintFollowLink[] = L"按住 CTRL 并单击鼠标以跟踪链接";

class CNotesBase : public fw::WindowBase, public CNotesLocalInfo {
 public:
  explicit CNotesBase(widgets::WidgetEnv& env);
  ~CNotesBase() override;

  // --- The widget's operations (the manager, menu and store call these) ---
  virtual void DestroyWidget();
  virtual void ShowWidget();
  virtual void SetTopmost(int on);
  virtual void MoveTo(int x, int y);
  virtual void ResizeTo(int w, int h);
  virtual void SetAlpha(uint8_t a);
  virtual uint8_t GetAlpha() const { return blendAlpha_; }
  virtual int ApplyTemplate(const NoteTemplate& t);
  virtual NoteTemplate GetTemplate() const { return tmpl; }
  virtual uint32_t GetTextColor() const { return textcolor; }
  virtual void SetTextColor(uint32_t color);
  virtual void BeginFollowCursor(const POINT* from);
  virtual void EndFollowCursor();
  virtual int Reserved(int, int) { return 0; }
  virtual void SetGroupName(const std::u16string& name);
  virtual void AttachToDesktop(int on);
  virtual int SetFont(int size, int bold, const std::u16string& face);
  virtual void GetFont(int* size, int* bold, std::u16string* face) const;
  virtual void SetLineSpace(int pixels);
  virtual void SetSmoothScroll(int on);

  // The record's content slots: the text goes to and from the engine.
  void SetContent(const std::u16string& text) override;
  std::u16string GetContent() override;

  // Applies colour theme `id` (1..6); an unknown id changes nothing.
  bool ApplyColorTheme(int id);
  const widgets::ColorTheme& theme() const { return theme_; }
  bool ready() const { return ready_; }
  const widgets::WidgetRects& rects() const { return rects_; }
  richtext::CRichDrawWin* engine() { return engine_.get(); }
  // The composed layered image of the last paint (premultiplied BGRA).
  const ui::DibSurface& surface() const { return surfaceA_; }
  // The mark surface of the last paint: pixels that differ from the marker are text.
  const ui::DibSurface& markSurface() const;
  // Composes the layered image now and pushes it to the window.
  void Compose();
  // Composes only `area` (window coordinates) again over the image of the last paint, and
  // pushes just that part.
  void ComposeArea(const widgets::Rect& area);
  // Composes now what has been asked for and not yet made (the posted request then finds
  // nothing to do), without waiting for the next frame.
  void ComposeIfPending();
  // Keeps the composed image after every paint (tests and benchmarks read it); otherwise it
  // is let go after a paint unless the pointer is over the widget.
  void KeepImage(bool on) { keepImage_ = on; }
  // Pushes to the window so far (bench and tests: repaints coalesce into one per frame).
  int pushCount() const { return pushes_; }
  // Times the widget has stopped showing the pointer's hover (the pointer left, or another
  // window became the active one) so far. Tests: another program's window may come between
  // the pointer and the widget, or be activated, at any moment.
  int hoverEnds() const { return hoverEnds_; }
  // The content font, and the font the drawing surfaces hold (the same once made).
  HFONT contentFont() const { return contentFont_.get(); }
  HFONT titleFont() const { return titleFont_; }
  HFONT surfaceFont() const;
  const widgets::WidgetTooltip& tooltip() const { return tooltip_; }
  // The DPI of the monitor the widget is on. The record keeps sizes at 96 DPI; the window
  // has them in this DPI's pixels.
  int dpi() const { return dpi_; }
  // The window's rectangle on the screen, at the size its next push gives it.
  widgets::Rect ShownRect() const;
  // True while the window is shown somewhere else than its stored place, where its title
  // strip would be off the work areas (a monitor gone, the taskbar over it, another scale);
  // the stored place is kept until the user moves the widget.
  bool displaced() const { return displaced_; }

  BEGIN_MSG_MAP(CNotesBase)
    MESSAGE_HANDLER(WM_CREATE, OnCreate)
    MESSAGE_HANDLER(WM_PAINT, OnPaint)
    MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
    MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
    MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    MESSAGE_HANDLER(WM_LBUTTONDBLCLK, OnSwallow)
    MESSAGE_HANDLER(WM_NOTIFY, OnSwallow)
    MESSAGE_HANDLER(WM_CLOSE, OnSwallow)
    MESSAGE_HANDLER(WM_KEYUP, OnSwallow)
    MESSAGE_HANDLER(WM_MOVE, OnMove)
    MESSAGE_HANDLER(WM_SIZE, OnSize)
    MESSAGE_HANDLER(WM_MOUSEHOVER, OnMouseHover)
    MESSAGE_HANDLER(WM_MOUSELEAVE, OnMouseLeave)
    MESSAGE_HANDLER(WM_MOUSEWHEEL, OnMouseWheel)
    MESSAGE_HANDLER(WM_SETFOCUS, OnFocus)
    MESSAGE_HANDLER(WM_KILLFOCUS, OnFocus)
    MESSAGE_HANDLER(WM_KEYDOWN, OnKeyInput)
    MESSAGE_HANDLER(WM_CHAR, OnKeyInput)
    MESSAGE_HANDLER(WM_ACTIVATE, OnActivate)
    MESSAGE_HANDLER(richtext::kMsgGlideAtRest, OnGlideAtRest)
    MESSAGE_HANDLER(richtext::kMsgImageLoaded, OnImageLoaded)
    MESSAGE_HANDLER(WM_WIDGET_COMPOSE, OnComposeRequest)
    MESSAGE_HANDLER(kWmDpiChanged, OnDpiChanged)
    MESSAGE_HANDLER(WM_DISPLAYCHANGE, OnDisplayChange)
  END_MSG_MAP()

 protected:
  // Whether the title buttons are drawn although the mouse is elsewhere (a tip points at them).
  virtual bool KeepButtonsShown() const { return false; }
  // The refresh caption is painted while this is true.
  virtual bool ShowRefreshCaption() const { return false; }
  // Called when the window has been created and set up (first-run tip and the like).
  virtual void OnWidgetCreated() {}
  // Called after every size change of the window.
  virtual void OnWidgetResized() {}

  // Asks for the whole image, or only `area` of it, to be composed again: once, at the
  // next frame, however often it is asked for before.
  void Repaint();
  void RepaintArea(const widgets::Rect& area);
  // The title buttons come or go with the mouse.
  void RepaintButtons();
  // Pixel width of `text` in the content font, measured on a memory DC of the widget's
  // own: no screen DC to get and give back for each title.
  // Pixel width of `text` in the content font, or in its bold weight.
  int MeasureContentText(const std::u16string& text, bool bold = false);
  // Gives the engine the content rectangle the window will have at `width` (96 DPI, clamped
  // as ResizeTo clamps it) and its present height; the window itself keeps its size.
  void LayOutContentForWidth(int width);
  // The record changed: it reaches data.dat with the next deferred save.
  void RecordChanged(unsigned delayMs = widgets::kSaveDelay) { env_.RequestSave(delayMs); }
  // Back to reading mode after editing: read-only, drag-scroll as the setting says.
  void IdleReset();
  bool SmoothingSetting() const;

  widgets::WidgetEnv& env_;
  widgets::WidgetRects rects_{};
  widgets::DragTracker drag_;
  bool mouseInside_ = false;
  bool menuFromButton_ = false;
  bool overLink_ = false;
  bool linkHighlighted_ = false;
  POINT lastMouse_{};
  POINT dragAnchor_{};
  widgets::WidgetTooltip tooltip_;
  std::unique_ptr<richtext::CRichDrawWin> engine_;

 private:
  LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
  LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&) { return 1; }
  LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
  void SetSmallIcon();
  LRESULT OnSwallow(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
  LRESULT OnMove(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMouseHover(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnMouseWheel(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnFocus(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnKeyInput(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnActivate(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnGlideAtRest(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnImageLoaded(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnComposeRequest(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDpiChanged(UINT, WPARAM, LPARAM, BOOL&);
  LRESULT OnDisplayChange(UINT, WPARAM, LPARAM, BOOL&);

  void RebuildContentFont();
  void RebuildFonts();
  int Px(int logical) const { return ui::ToPixels(logical, dpi_); }
  // The stored place and size as a window rectangle, and where the window goes for it.
  RECT PlaceForRecord();
  // Moves the window back when taking this size would carry it past its work area, and
  // off the other widgets' buttons.
  void KeepGrowthOnWorkArea(int pixelWidth, int pixelHeight);
  // Where a window at `r` goes to cover no other widget's buttons (and have none of its own
  // covered); a place it moves to for that becomes its stored place.
  widgets::Rect ClearOfOthersButtons(const widgets::Rect& r, const std::vector<ui::MonitorArea>& monitors);
  // After a change of scale: the title strip back on a work area, the buttons clear.
  void KeepPlaced();
  void UpdateRectsAndSurfaces();
  // Rectangles, surfaces, engine and tooltip for the window's current size (or the size its
  // next push gives it), then a repaint.
  void LayOut();
  // The client size the widget is laid out for: the window's, or the one its next push
  // gives it.
  SIZE ClientSize() const;
  // The window rectangle in its parent's coordinates (the screen's when top-level).
  RECT PlaceInParent() const;
  void PaintText(HDC dc, const widgets::Rect* area);
  // Where PaintText can draw: the engine's lines, the title and the refresh caption.
  RECT TextBounds() const;
  void RequestCompose();
  void ComposeDirty();
  void OnFollowTick();
  void OnCtrlWatchTick();

  bool ready_ = false;
  bool showOnPush_ = false;  // made hidden: shown by its first push
  // A new size the next push gives the window (with the image laid out for it), instead of
  // a move of its own: the system then sizes it once, as it takes the image.
  bool sizeOnPush_ = false;
  SIZE pushSize_{};
  bool pushingSize_ = false;  // that push is under way (its WM_SIZE needs no layout)
  bool frameChanged_ = false;  // its style lost a caption when made: the show recomputes the frame
  uint8_t blendAlpha_ = 255;
  widgets::ColorTheme theme_;
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
  // The composition's scratch surface (background layers, then the text mark), shared by
  // all widgets.
  static ui::DibSurface& ScratchSurface();
  fw::UniqueMemDc imageDc_;  // images of the content are copied through it
  bool composePending_ = false;  // a compose message or the frame timer is on its way
  bool composeTimer_ = false;
  widgets::DirtyArea dirty_;     // what has changed since the last compose
  double lastPushMs_ = -1e9;
  int pushes_ = 0;
  int hoverEnds_ = 0;
  HWND tracedWindow_ = nullptr;  // the start-up benchmark's events (see Compose)
  bool tracedContent_ = false;
  std::u16string titleText_;  // nothing sets it: the strip shows no title
  widgets::CursorFollower follower_;
  bool ctrlWasDown_ = false;
  POINT ctrlWatchAt_{};          // where the pointer was at the last look at the Ctrl key
  DWORD ctrlWatchSince_ = 0;     // since when it has been there
  bool ctrlWatchOn_ = false;
  bool ctrlWatchRested_ = false; // the watch ended because the pointer rested at ctrlWatchAt_
  int dpi_ = ui::kBaseDpi;
  bool displaced_ = false;
};
