// CNotesBase: a borderless layered tool window on the desktop showing rich text over a
// framed, colour-themed background whose opacity the user chooses; text stays fully
// opaque. It is also its own persistent record (CNotesLocalInfo). Its image is made and
// pushed by its compositor (WidgetCompositor). The feed widget (CNewsNotes) fills it with
// feed items and adds links, buttons and the menu.
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
#include "widgets/widget_compositor_win.h"
#include "widgets/widget_drag.h"
#include "widgets/widget_env.h"
#include "widgets/widget_geometry.h"
#include "widgets/widget_placement.h"
#include "widgets/widget_theme.h"
#include "widgets/widget_tooltip_win.h"

constexpr UINT kWidgetTimerCtrlWatch = 6;   // 20 ms from hover while the pointer moves (Ctrl+click rule)
constexpr UINT kWidgetTimerFollow = 7;      // 20 ms while following the cursor
constexpr UINT kWidgetTimerIcon = 9;        // the window icon, set once the start-up's messages are handled
constexpr UINT kWmDpiChanged = 0x02E0;          // WM_DPICHANGED (Windows 8.1 and later)
constexpr wchar_t kWidgetWindowClass[] = L"PelinorWidget";
constexpr wchar_t kWidgetTitle[] = L"便签条";
constexpr int kWidgetCursorResource = 245;
constexpr wchar_t kHintFollowLink[] = L"按住 CTRL 并单击鼠标以跟踪链接";

class CNotesBase : public fw::WindowBase, public CNotesLocalInfo, private widgets::CompositorHost {
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
  const ui::DibSurface& surface() const { return compositor_.surface(); }
  // The mark surface of the last paint: pixels that differ from the marker are text.
  const ui::DibSurface& markSurface() const { return compositor_.markSurface(); }
  // Composes the layered image now and pushes it to the window.
  void Compose() { compositor_.Compose(); }
  // Composes only `area` (window coordinates) again over the image of the last paint, and
  // pushes just that part.
  void ComposeArea(const widgets::Rect& area) { compositor_.ComposeArea(area); }
  // Composes now what has been asked for and not yet made (the posted request then finds
  // nothing to do), without waiting for the next frame.
  void ComposeIfPending() { compositor_.ComposeIfPending(); }
  // Keeps the composed image after every paint (tests and benchmarks read it); otherwise it
  // is let go after a paint unless the pointer is over the widget.
  void KeepImage(bool on) { compositor_.KeepImage(on); }
  // Pushes to the window so far (bench and tests: repaints coalesce into one per frame).
  int pushCount() const { return compositor_.pushCount(); }
  // Times the widget has stopped showing the pointer's hover (the pointer left, or another
  // window became the active one) so far. Tests: another program's window may come between
  // the pointer and the widget, or be activated, at any moment.
  int hoverEnds() const { return hoverEnds_; }
  // The content font, and the font the drawing surfaces hold (the same once made).
  HFONT contentFont() const { return compositor_.contentFont(); }
  HFONT titleFont() const { return compositor_.titleFont(); }
  HFONT surfaceFont() const { return compositor_.surfaceFont(); }
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
  void Repaint() { compositor_.Repaint(); }
  void RepaintArea(const widgets::Rect& area) { compositor_.RepaintArea(area); }
  // The title buttons come or go with the mouse.
  void RepaintButtons();
  // Pixel width of `text` in the content font, or in its bold weight, measured on a memory
  // DC of the widget's own: no screen DC to get and give back for each title.
  int MeasureContentText(const std::u16string& text, bool bold = false) {
    return compositor_.MeasureText(text, bold, font_bold != 0);
  }
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

  // What the compositor reads from the widget.
  HWND ComposeWindow() const override { return hwnd_; }
  widgets::ComposeLook Look() const override;
  bool Hovered() const override { return mouseInside_ || menuFromButton_; }
  void SizePushed() override { OnWidgetResized(); }
  bool StaysOnTop() const override { return topmost == 1; }
  bool HasContent() const override { return !content.empty(); }

  void RebuildContentFont() { compositor_.RebuildContentFont(font_size, font_bold, font_face, dpi_); }
  void RebuildFonts() { compositor_.RebuildFonts(font_size, font_bold, font_face, dpi_); }
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
  void OnFollowTick();
  void OnCtrlWatchTick();

  bool ready_ = false;
  uint8_t blendAlpha_ = 255;
  widgets::ColorTheme theme_;
  widgets::WidgetCompositor compositor_{*this};
  int hoverEnds_ = 0;
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
