#include "widgets/notes_base_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstring>
#include <map>

#include "framework/wstr_win.h"
#include "platform/bench_trace.h"
#include "res/resource.h"
#include "ui/alpha_wnd_win.h"
#include "widgets/desktop_embed_win.h"
#include "widgets/frame_images_win.h"
#include "widgets/news_content.h"
#include "widgets/widget_compose.h"

namespace {

constexpr UINT kTickMs = 20;
// The Ctrl key is watched this long after the pointer last moved over the widget: a
// pointer left resting on the desktop costs nothing.
constexpr DWORD kCtrlWatchRestMs = 5000;
constexpr COLORREF kTitleTextColor = 0x505050;
constexpr wchar_t kRefreshCaption[] = L"正在刷新列表...";

bool KeyDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

double NowMs() {
  static const double perMs = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / perMs;
}

// The title and refresh-caption fonts are the same for every widget at one DPI: made once
// per DPI for the whole process (a handful at most) and never deleted. Widgets live on
// the UI thread only.
struct SharedFonts {
  HFONT title, caption;
};

const SharedFonts& SharedFontsAt(int dpi) {
  static auto* fonts = new std::map<int, SharedFonts>;
  auto it = fonts->find(dpi);
  if (it == fonts->end())
    it = fonts->emplace(dpi, SharedFonts{ui::CreatePointFont(100, L"宋体", true, dpi),
                                         ui::CreatePointFont(90, L"宋体", false, dpi)}).first;
  return it->second;
}

}  // namespace

CNotesBase::CNotesBase(widgets::WidgetEnv& env)
    : env_(env),
      theme_(*widgets::FindTheme(widgets::kDefaultThemeId)) {
  engine_ = std::make_unique<richtext::CRichDrawWin>();
}

CNotesBase::~CNotesBase() {
  ready_ = false;
  tooltip_.Destroy();
  if (engine_) engine_->Attach(nullptr);
}

// --- Creation and destruction -------------------------------------------------------

void CNotesBase::RebuildContentFont() {
  LOGFONTW lf{};
  lf.lfHeight = richtext::CRichDraw::FontHeightFromSize(font_size, dpi_);
  lf.lfWeight = font_bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, as_wcstr(font_face), LF_FACESIZE);
  fw::UniqueFont font(CreateFontIndirectW(&lf));
  // The surfaces take the new font before the old one is deleted.
  surfaceA_.UseFont(font.get());
  contentFont_ = std::move(font);
  boldContentFont_.reset();
}

void CNotesBase::RebuildFonts() {
  RebuildContentFont();
  const SharedFonts& shared = SharedFontsAt(dpi_);
  titleFont_ = shared.title;
  captionFont_ = shared.caption;
}

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

HFONT CNotesBase::surfaceFont() const {
  return surfaceA_.dc() ? static_cast<HFONT>(GetCurrentObject(surfaceA_.dc(), OBJ_FONT)) : nullptr;
}

void CNotesBase::ShowWidget() {
  visible = 1;
  if (IsWindow()) {
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    Repaint();  // the system may not have kept the image of a hidden window: all of it again
    return;
  }
  widgets::ClampWidgetSize(&width, &height);
  RECT rc = PlaceForRecord();
  RebuildFonts();
  blendAlpha_ = alpha;
  widgets::GetWidgetImages(ui::NearestImageScale(dpi_));

  DWORD ex = WS_EX_LAYERED | WS_EX_TOOLWINDOW | (topmost == 1 ? WS_EX_TOPMOST : 0);
  // Made hidden and shown with its first image (see ComposeArea): a layered window shown
  // before it has one is painted blank by the system, and costs a round of paint messages.
  if (!Create(kWidgetWindowClass, nullptr, rc, kWidgetTitle, WS_POPUP, ex, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS,
              LoadCursorW(nullptr, IDC_ARROW)))
    return;
  const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
  frameChanged_ = (style & WS_CAPTION) != 0;
  if (frameChanged_) SetWindowLongW(hwnd_, GWL_STYLE, style & ~WS_CAPTION);
  showOnPush_ = true;
  // The small icon is set by a timer: timers come after every posted message, so the
  // widgets made at start-up show their images and feeds first. (A tool window's icon
  // shows nowhere at once, and under Wine setting it costs about a tenth of making the
  // window.)
  ::SetTimer(hwnd_, kWidgetTimerIcon, USER_TIMER_MINIMUM, nullptr);

  AttachToDesktop(WantsDesktop(env_.Settings().embed_desktop));
  ApplyColorTheme(tmpl.bkcolor_id);

  rects_ = widgets::ComputeWidgetRects(rc.right - rc.left, rc.bottom - rc.top, 0, 0, dpi_);
  rects_.content = widgets::InitialContentRect(rc.right - rc.left, rc.bottom - rc.top, dpi_);
  engine_->Attach(hwnd_);
  engine_->SetRepaintHandler([this] { Repaint(); });
  engine_->SetAreaRepaintHandler([this](const richtext::Rect& r) { RepaintArea({r.left, r.top, r.right, r.bottom}); });
  engine_->SetRect(rects_.content.left, rects_.content.top, rects_.content.right, rects_.content.bottom);
  engine_->SetDefaultFont(contentFont_.get(), 0);
  engine_->SetLineSpacing(Px(linespace));
  SetContent(content);
  engine_->SetCursorResource(kWidgetCursorResource);
  engine_->SetDragScroll(SmoothingSetting());
  engine_->SetEnabled(SmoothingSetting());
  engine_->SetDefaultColor(textcolor);
  engine_->ScrollTo(0, scrolly);

  UpdateRectsAndSurfaces();
  tooltip_.Create(hwnd_, rects_.content, kHintFollowLink);
  OnWidgetCreated();
  ready_ = true;
  // Composed with the next turn of the message loop, together with whatever the caller
  // sets up next (the first refresh's status, say); ComposeIfPending does it at once.
  Repaint();
}

void CNotesBase::DestroyWidget() {
  ready_ = false;
  tooltip_.Destroy();
  if (engine_) engine_->Attach(nullptr);
  if (IsWindow()) DestroyWindow();
  // A compose request posted to the old window died with it: a new window must ask again.
  composePending_ = composeTimer_ = false;
  showOnPush_ = false;
  sizeOnPush_ = false;
  dirty_ = widgets::DirtyArea();
  // The surfaces go before the font they hold.
  surfaceA_.Reset();
  boldContentFont_.reset();
  contentFont_.reset();
  visible = 0;
}

bool CNotesBase::SmoothingSetting() const { return env_.Settings().smoothing != 0; }

// --- Record operations ---------------------------------------------------------------

void CNotesBase::SetContent(const std::u16string& text) {
  content = text;
  if (!IsWindow()) return;
  if (env_.Settings().version < 1.6f) engine_->SetAllTextColor(textcolor);
  engine_->SetHtml(text);
  Repaint();
  RecordChanged();
}

std::u16string CNotesBase::GetContent() {
  // The engine holds exactly the generated text; it is kept as given.
  return content;
}

void CNotesBase::MoveTo(int nx, int ny) {
  x = nx;
  y = ny;
  displaced_ = false;
  RecordChanged();
  if (IsWindow()) SetWindowPos(hwnd_, nullptr, nx, ny, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CNotesBase::ResizeTo(int w, int h) {
  // The same bounds as at creation: a long feed scrolls inside the widget instead.
  widgets::ClampWidgetSize(&w, &h);
  width = w;
  height = h;
  if (IsWindow()) {
    // The window takes the new size with its next image, which is laid out for it now: a
    // move of its own would cost the system a round of messages and a new surface more.
    // (A size it has, or will have, is left alone.)
    const SIZE now = ClientSize();
    if (now.cx != Px(w) || now.cy != Px(h)) {
      KeepGrowthOnWorkArea(Px(w), Px(h));
      sizeOnPush_ = true;
      pushSize_ = SIZE{Px(w), Px(h)};
      LayOut();
    }
  }
  RecordChanged(widgets::kSaveDelayAfterResize);
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

int CNotesBase::MeasureContentText(const std::u16string& text, bool bold) {
  if (!imageDc_) imageDc_.reset(CreateCompatibleDC(nullptr));
  if (!imageDc_) return 0;
  HFONT measured = contentFont_.get();
  if (bold && !font_bold) {
    // The engine draws bold text in the content font's face and height at weight 700.
    if (!boldContentFont_) {
      LOGFONTW lf{};
      if (GetObjectW(contentFont_.get(), sizeof lf, &lf) == sizeof lf) {
        lf.lfWeight = FW_BOLD;
        boldContentFont_.reset(CreateFontIndirectW(&lf));
      }
    }
    if (boldContentFont_) measured = boldContentFont_.get();
  }
  fw::SelectGuard font(imageDc_.get(), measured);
  SIZE s{};
  GetTextExtentPoint32W(imageDc_.get(), as_wcstr(text), static_cast<int>(text.size()), &s);
  return s.cx;
}

void CNotesBase::LayOutContentForWidth(int w) {
  if (!IsWindow()) return;
  int h = height;
  widgets::ClampWidgetSize(&w, &h);
  const widgets::WidgetImages& im = widgets::GetWidgetImages(ui::NearestImageScale(dpi_));
  const widgets::Rect c =
      widgets::ComputeWidgetRects(Px(w), ClientSize().cy, im.grip.width, im.grip.height, dpi_).content;
  engine_->SetRect(c.left, c.top, c.right, c.bottom);
}

void CNotesBase::SetAlpha(uint8_t a) {
  blendAlpha_ = a;
  alpha = a;
  RecordChanged();
  Repaint();
}

int CNotesBase::ApplyTemplate(const NoteTemplate& t) {
  if (t.type != 1) return 0;
  tmpl = t;
  ApplyColorTheme(t.bkcolor_id);
  return 1;
}

bool CNotesBase::ApplyColorTheme(int id) {
  const widgets::ColorTheme* t = widgets::FindTheme(id);
  if (!t) return false;
  tmpl.bkcolor_id = id;
  theme_ = *t;
  Repaint();
  RecordChanged();
  return true;
}

void CNotesBase::SetTextColor(uint32_t color) {
  textcolor = color;
  engine_->SetDefaultColor(color);
  if (!IsWindow()) return;
  engine_->SetAllTextColor(color);
  Repaint();
  RecordChanged();
}

void CNotesBase::BeginFollowCursor(const POINT* from) {
  POINT at{};
  if (from) {
    at = *from;
  } else {
    GetCursorPos(&at);
  }
  follower_.Begin(at.x, at.y);
  if (hwnd_) ::SetTimer(hwnd_, kWidgetTimerFollow, kTickMs, nullptr);
}

void CNotesBase::EndFollowCursor() {
  if (hwnd_) ::KillTimer(hwnd_, kWidgetTimerFollow);
}

void CNotesBase::SetGroupName(const std::u16string& name) {
  group_name = name;
  RecordChanged();
}

void CNotesBase::SetTopmost(int on) {
  topmost = on;
  RecordChanged();
  if (!IsWindow()) return;
  const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  if (on == 1) {
    AttachToDesktop(0);
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, keep);
  } else {
    SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
    AttachToDesktop(WantsDesktop(env_.Settings().embed_desktop));
  }
}

void CNotesBase::AttachToDesktop(int on) {
  if (!IsWindow()) return;
  // A window given another parent may lose its image: the next push is all of it.
  if (!on) {
    if (GetParent(hwnd_)) {
      SetParent(hwnd_, nullptr);
      Repaint();
    }
    return;
  }
  if (!WantsDesktop(env_.Settings().embed_desktop) || !widgets::CanEmbedInDesktop()) return;
  SetParent(hwnd_, widgets::FindDesktopListView());
  Repaint();
}

int CNotesBase::SetFont(int size, int bold, const std::u16string& face) {
  font_size = size;
  font_bold = bold;
  font_face = face;
  RebuildContentFont();
  if (IsWindow()) {
    engine_->SetDefaultFont(contentFont_.get(), 1);
    Repaint();
    RecordChanged();
  }
  return 1;
}

void CNotesBase::GetFont(int* size, int* bold, std::u16string* face) const {
  *size = font_size;
  *bold = font_bold;
  *face = font_face;
}

void CNotesBase::SetLineSpace(int pixels) {
  engine_->SetLineSpacing(pixels);
  linespace = pixels;
  RecordChanged();
}

void CNotesBase::SetSmoothScroll(int on) {
  engine_->SetDragScroll(on);
  engine_->SetEnabled(on);
  if (!on) engine_->SetCaret(0);
}

void CNotesBase::IdleReset() {
  if (engine_->IsReadOnly()) return;
  engine_->SetReadOnly(1);
  engine_->SetEnabled(SmoothingSetting());
  if (!SmoothingSetting()) engine_->SetCaret(0);
}

// --- Painting ----------------------------------------------------------------------

void CNotesBase::Repaint() {
  dirty_.AddAll();
  RequestCompose();
}

void CNotesBase::RepaintArea(const widgets::Rect& area) {
  dirty_.Add(area);
  RequestCompose();
}

void CNotesBase::RepaintButtons() {
  RepaintArea(rects_.refresh);
  RepaintArea(rects_.menu);
}

void CNotesBase::RequestCompose() {
  // A layered window is not painted through WM_PAINT: compose once, after the changes
  // that asked for it.
  if (!hwnd_ || composePending_ || dirty_.empty()) return;
  composePending_ = true;
  PostMessageW(hwnd_, WM_WIDGET_COMPOSE, 0, 0);
}

void CNotesBase::ComposeIfPending() {
  if (!dirty_.empty()) ComposeDirty();
}

LRESULT CNotesBase::OnComposeRequest(UINT, WPARAM, LPARAM, BOOL&) {
  if (dirty_.empty()) {  // a whole paint since the request covered it
    composePending_ = false;
    return 0;
  }
  // Pushed less than a frame ago: the changes wait for the next frame, together with
  // whatever else changes until then.
  const double since = NowMs() - lastPushMs_;
  if (since >= 0 && since < kWidgetFrameMs) {
    composeTimer_ = true;
    ::SetTimer(hwnd_, kWidgetTimerCompose, static_cast<UINT>(kWidgetFrameMs - since) + 1, nullptr);
    return 0;
  }
  ComposeDirty();
  return 0;
}

void CNotesBase::ComposeDirty() {
  composePending_ = false;
  if (composeTimer_) {
    ::KillTimer(hwnd_, kWidgetTimerCompose);
    composeTimer_ = false;
  }
  const widgets::Rect area = dirty_.Take(surfaceA_.width(), surfaceA_.height());
  if (area.width() > 0) ComposeArea(area);
}

SIZE CNotesBase::ClientSize() const {
  if (sizeOnPush_) return pushSize_;
  RECT rc;
  ::GetClientRect(hwnd_, &rc);
  return SIZE{rc.right, rc.bottom};
}

void CNotesBase::UpdateRectsAndSurfaces() {
  const SIZE size = ClientSize();
  const widgets::WidgetImages& im = widgets::GetWidgetImages(ui::NearestImageScale(dpi_));
  rects_ = widgets::ComputeWidgetRects(size.cx, size.cy, im.grip.width, im.grip.height, dpi_);
  fw::WindowDc wdc(hwnd_);
  if (!imageDc_) imageDc_.reset(CreateCompatibleDC(wdc.get()));
  // A surface of the right size is kept. At a new size its pixels are made by the compose
  // that follows, which draws all of them anyway: a burst of feed answers resizes many
  // widgets before the first of them composes, and each would hold its image meanwhile.
  if (!surfaceA_.dc() || surfaceA_.width() != size.cx || surfaceA_.height() != size.cy)
    surfaceA_.ResizeLater(wdc.get(), size.cx, size.cy);
  if (HDC dc = surfaceA_.dc()) {
    SelectObject(dc, contentFont_.get());
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, textcolor);
  }
}

const ui::DibSurface& CNotesBase::markSurface() const { return ScratchSurface(); }

ui::DibSurface& CNotesBase::ScratchSurface() {
  // Its pixels matter only while one widget composes, and every widget composes on the UI
  // thread: one surface serves them all, remade at the size of the widget composing.
  static ui::DibSurface* scratch = new ui::DibSurface;
  return *scratch;
}

void CNotesBase::PaintText(HDC dc, const widgets::Rect* area) {
  const richtext::Rect engineArea = area ? richtext::Rect{area->left, area->top, area->right, area->bottom}
                                         : richtext::Rect{};
  engine_->Paint(dc, imageDc_.get(), area ? &engineArea : nullptr);
  if (!titleText_.empty()) {
    fw::SelectGuard font(dc, titleFont_);
    ::SetTextColor(dc, kTitleTextColor);
    TextOutW(dc, rects_.title.left, rects_.title.top, as_wcstr(titleText_), static_cast<int>(titleText_.size()));
  }
  if (ShowRefreshCaption()) {
    fw::SelectGuard font(dc, captionFont_);
    ::SetTextColor(dc, textcolor);
    SetBkMode(dc, TRANSPARENT);
    widgets::Rect c = widgets::RefreshCaptionRect(surfaceA_.width(), surfaceA_.height(), dpi_);
    RECT r{c.left, c.top, c.right, c.bottom};
    DrawTextW(dc, kRefreshCaption, -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  }
}

RECT CNotesBase::TextBounds() const {
  const richtext::Rect e = engine_->GetPaintBounds();
  RECT bounds{e.left, e.top, e.right, e.bottom};
  auto add = [&bounds](const widgets::Rect& x) {
    const RECT rc{x.left, x.top, x.right, x.bottom};
    UnionRect(&bounds, &bounds, &rc);
  };
  if (!titleText_.empty()) add(rects_.title);
  if (ShowRefreshCaption()) add(widgets::RefreshCaptionRect(surfaceA_.width(), surfaceA_.height(), dpi_));
  return bounds;
}

void CNotesBase::Compose() { ComposeArea({0, 0, surfaceA_.width(), surfaceA_.height()}); }

void CNotesBase::ComposeArea(const widgets::Rect& wanted) {
  if (!ready_) return;
  bool remade = false;
  if (!surfaceA_.ready()) {
    // The image went after the last paint: it is made again, all of it.
    fw::WindowDc wdc(hwnd_);
    if (!surfaceA_.Resize(wdc.get(), surfaceA_.width(), surfaceA_.height())) return;
    remade = true;
  }
  const int w = surfaceA_.width(), h = surfaceA_.height();
  // A new size goes to the window with a whole image.
  const widgets::Rect area = remade || sizeOnPush_
                                 ? widgets::Rect{0, 0, w, h}
                                 : widgets::Rect{std::max(wanted.left, 0), std::max(wanted.top, 0),
                                                 std::min(wanted.right, w), std::min(wanted.bottom, h)};
  if (area.width() <= 0 || area.height() <= 0) return;
  const bool whole = area == widgets::Rect{0, 0, w, h};
  ui::DibSurface& scratch = ScratchSurface();
  if ((scratch.width() != w || scratch.height() != h) && !scratch.Resize(surfaceA_.dc(), w, h)) return;
  if (whole) dirty_ = widgets::DirtyArea();  // nothing asked for before is left to do
  // The widget's font is selected only while it draws: the next widget may delete its own.
  fw::SelectGuard font(scratch.dc(), contentFont_.get());
  SetBkMode(scratch.dc(), TRANSPARENT);
  ::SetTextColor(scratch.dc(), textcolor);
  // Everything outside the area stays as the last paint left it.
  widgets::Surface a = widgets::Surface{surfaceA_.pixels(), w, h}.Clipped(area), b{scratch.pixels(), w, h};
  const widgets::WidgetImages& im = widgets::GetWidgetImages(ui::NearestImageScale(dpi_));
  GdiFlush();
  if (keepImage_ || mouseInside_ || menuFromButton_) {
    // The image stays after this paint, and more repaints are likely: the background is
    // kept beside it and copied.
    const BackgroundKey key{w, h, dpi_, blendAlpha_, theme_.title, theme_.bodyTop, theme_.bodyBottom};
    if (background_.size() != static_cast<size_t>(w) * h || !(key == backgroundKey_)) {
      background_.assign(static_cast<size_t>(w) * h, 0u);
      widgets::ComposeWidgetBackground({background_.data(), w, h}, b, im.frame, theme_, blendAlpha_, dpi_);
      backgroundKey_ = key;
    }
    for (int y = area.top; y < area.bottom; ++y) {
      const size_t at = static_cast<size_t>(y) * w + area.left;
      std::memcpy(surfaceA_.pixels() + at, background_.data() + at, static_cast<size_t>(area.width()) * 4);
    }
  } else {
    std::vector<uint32_t>().swap(background_);
    widgets::ComposeWidgetBackground(a, b, im.frame, theme_, blendAlpha_, dpi_);
  }
  if (mouseInside_ || menuFromButton_ || KeepButtonsShown()) {
    widgets::DrawImage(a, im.refresh, rects_.refresh);
    widgets::DrawImage(a, im.menu, rects_.menu);
  }
  // Whatever the text drawing touches is text, and is fully opaque whatever the opacity.
  // The passes that find it look only where text can be.
  const RECT text = TextBounds();
  const RECT r{area.left, area.top, area.right, area.bottom};
  ui::ComposeTextOpaque(surfaceA_, scratch, [this, &area, whole](HDC dc) { PaintText(dc, whole ? nullptr : &area); },
                        255, &r, &text);
  // A new size goes with the image (see ResizeTo).
  const bool sized = sizeOnPush_;
  pushingSize_ = sized;
  sizeOnPush_ = false;
  ui::PushLayered(hwnd_, surfaceA_, w, h, 255, whole ? nullptr : &r);
  pushingSize_ = false;
  // (Wine sends no size message for it, Windows does: either way, once, here.)
  if (sized) OnWidgetResized();
  lastPushMs_ = NowMs();
  ++pushes_;
  if (showOnPush_) {
    // Shown now that it has an image: below the other windows unless it stays on top (and
    // with the frame recomputed if its style lost a caption).
    showOnPush_ = false;
    const UINT swp = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | (frameChanged_ ? SWP_FRAMECHANGED : 0);
    SetWindowPos(hwnd_, topmost == 1 ? nullptr : HWND_BOTTOM, 0, 0, 0, 0, swp | (topmost == 1 ? SWP_NOZORDER : 0));
  }
  // The window keeps what it shows. The widget keeps its own copy only while the pointer
  // is over it, for the quick repaints of hovering and scrolling: the others would each
  // hold their size in pixels for nothing.
  if (!keepImage_ && !mouseInside_ && !menuFromButton_) surfaceA_.ReleasePixels();
  // The start-up benchmark looks for a window's first image and its first with content;
  // later pushes are not written down (each would cost a file write).
  if (tracedWindow_ != hwnd_ || (!tracedContent_ && !content.empty())) {
    platform::BenchEvent(content.empty() ? "painted" : "content", hwnd_);
    tracedWindow_ = hwnd_;
    tracedContent_ = !content.empty();
  }
}

LRESULT CNotesBase::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  // Painted at once, between BeginPaint and EndPaint. (Validating and asking for a compose
  // at the next frame instead made the end-to-end tests' widget menus fail under Wine.)
  PAINTSTRUCT ps;
  BeginPaint(hwnd_, &ps);
  Compose();
  EndPaint(hwnd_, &ps);
  return 0;
}

// --- Input ---------------------------------------------------------------------------

LRESULT CNotesBase::OnLButtonUp(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  engine_->OnLButtonUp(static_cast<unsigned>(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  tooltip_.Relay(msg, wParam, lParam);
  return 0;
}

LRESULT CNotesBase::OnMouseMove(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  const int mx = GET_X_LPARAM(lParam), my = GET_Y_LPARAM(lParam);
  TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE | TME_HOVER, hwnd_, 0};
  TrackMouseEvent(&tme);
  if (!mouseInside_) {
    mouseInside_ = true;
    RepaintButtons();
  }
  const bool textDraggable = engine_->IsEnabled() && engine_->GetContentHeight() >= rects_.content.height();
  if (drag_.Move(wParam == MK_LBUTTON, textDraggable)) {
    // Move the window as if its caption had been pressed; WM_MOVE stores the place.
    POINT pt;
    GetCursorPos(&pt);
    ReleaseCapture();
    displaced_ = false;  // where the user puts it is its place now
    SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
    return 0;
  }
  engine_->OnMouseMove(static_cast<unsigned>(wParam), mx, my);
  lastMouse_ = {mx, my};
  (void)msg;
  return 0;
}

LRESULT CNotesBase::OnTimer(UINT msg, WPARAM id, LPARAM lParam, BOOL&) {
  LRESULT r = 0;
  if (engine_->ForwardMessage(msg, id, lParam, &r)) return r;
  if (id == kWidgetTimerCompose) ComposeDirty();
  if (id == kWidgetTimerCtrlWatch) OnCtrlWatchTick();
  if (id == kWidgetTimerFollow) OnFollowTick();
  if (id == kWidgetTimerIcon) {
    ::KillTimer(hwnd_, kWidgetTimerIcon);
    SetSmallIcon();
  }
  return 0;
}

void CNotesBase::SetSmallIcon() {
  // Shared: loaded once by the system for every widget, never destroyed by one.
  HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SMALL), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                             LR_SHARED));
  if (icon) SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void CNotesBase::OnFollowTick() {
  POINT pt;
  GetCursorPos(&pt);
  int dx = 0, dy = 0;
  if (!follower_.Step(pt.x, pt.y, KeyDown(VK_CONTROL), KeyDown(VK_LBUTTON), &dx, &dy)) {
    ::KillTimer(hwnd_, kWidgetTimerFollow);
    RecordChanged();
    return;
  }
  RECT rc;
  GetWindowRect(hwnd_, &rc);
  displaced_ = false;
  SetWindowPos(hwnd_, nullptr, rc.left + dx, rc.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CNotesBase::OnCtrlWatchTick() {
  POINT at;
  GetCursorPos(&at);
  if (at.x != ctrlWatchAt_.x || at.y != ctrlWatchAt_.y) {
    ctrlWatchAt_ = at;
    ctrlWatchSince_ = GetTickCount();
  } else if (GetTickCount() - ctrlWatchSince_ > kCtrlWatchRestMs) {
    // Resting: the next move and hover start the watch again.
    ::KillTimer(hwnd_, kWidgetTimerCtrlWatch);
    ctrlWatchOn_ = false;
    ctrlWatchRested_ = true;
    return;
  }
  const bool down = KeyDown(VK_CONTROL);
  if (down == ctrlWasDown_) return;
  ctrlWasDown_ = down;
  if (!down) {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    return;
  }
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(hwnd_, &pt);
  if (rects_.content.Contains(pt.x, pt.y) && engine_->GetLinkAt(pt.x, pt.y, nullptr))
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
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

LRESULT CNotesBase::OnSize(UINT, WPARAM, LPARAM lParam, BOOL&) {
  // The size an image brings: laid out and recorded already.
  if (pushingSize_) return 0;
  RECT rc = PlaceInParent();
  if (!displaced_) {
    x = rc.left;
    y = rc.top;
  }
  width = ui::ToLogical(rc.right - rc.left, dpi_);
  height = ui::ToLogical(rc.bottom - rc.top, dpi_);
  RecordChanged(widgets::kSaveDelayAfterResize);
  if (!engine_->IsAttached()) return 0;  // still being created
  // A size given by anyone else (the user, the system) replaces one waiting for a push.
  sizeOnPush_ = false;
  LayOut();
  return 0;
}

void CNotesBase::LayOut() {
  UpdateRectsAndSurfaces();
  engine_->SetRect(rects_.content.left, rects_.content.top, rects_.content.right, rects_.content.bottom);
  tooltip_.SetRect(rects_.content);
  OnWidgetResized();
  // Sizes often change twice in a row (width, then height): one compose serves both.
  Repaint();
}

LRESULT CNotesBase::OnMouseHover(UINT, WPARAM, LPARAM, BOOL&) {
  drag_.Hover();
  // Only the Ctrl+click rule makes the key change the pointer over a link.
  if (!env_.Settings().ctrl_lclick) return 0;
  // The system says "hover" again whenever windows change under a pointer that has not
  // moved: the pointer still rests, and the watch neither restarts nor stays awake for it.
  POINT at;
  GetCursorPos(&at);
  const bool samePlace = at.x == ctrlWatchAt_.x && at.y == ctrlWatchAt_.y;
  if (samePlace && ctrlWatchRested_) return 0;
  if (!samePlace || !ctrlWatchOn_) {
    ctrlWatchAt_ = at;
    ctrlWatchSince_ = GetTickCount();
  }
  ctrlWatchOn_ = true;
  ctrlWatchRested_ = false;
  ctrlWasDown_ = KeyDown(VK_CONTROL);
  ::SetTimer(hwnd_, kWidgetTimerCtrlWatch, kTickMs, nullptr);
  return 0;
}

LRESULT CNotesBase::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) {
  ++hoverEnds_;
  ::KillTimer(hwnd_, kWidgetTimerCtrlWatch);
  ctrlWatchOn_ = ctrlWatchRested_ = false;
  drag_.Leave();
  if (engine_->IsReadOnly()) mouseInside_ = false;
  if (linkHighlighted_) {
    engine_->ClearLinkHighlight(widgets::kLinkColor);
    linkHighlighted_ = false;
  }
  RepaintButtons();
  return 0;
}

LRESULT CNotesBase::OnMouseWheel(UINT, WPARAM wParam, LPARAM, BOOL&) {
  engine_->OnMouseWheel(static_cast<int32_t>(wParam));
  return 0;
}

LRESULT CNotesBase::OnKeyInput(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  LRESULT r = 0;
  engine_->ForwardMessage(msg, wParam, lParam, &r);
  return 0;
}

LRESULT CNotesBase::OnFocus(UINT msg, WPARAM, LPARAM, BOOL&) {
  if (msg == WM_SETFOCUS) {
    engine_->OnSetFocus();
  } else {
    engine_->OnKillFocus();
  }
  return 0;
}

LRESULT CNotesBase::OnActivate(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    ++hoverEnds_;
    if (!linkHighlighted_) mouseInside_ = false;
    IdleReset();
    RecordChanged();
    Repaint();
  }
  handled = FALSE;
  return 0;
}

LRESULT CNotesBase::OnImageLoaded(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  LRESULT r = 0;
  engine_->ForwardMessage(msg, wParam, lParam, &r);
  return r;
}

LRESULT CNotesBase::OnDpiChanged(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
  // Moved onto a monitor of another DPI (or the DPI was changed): the same widget in the
  // new DPI's pixels, where the system suggests.
  dpi_ = ui::UsableDpi(HIWORD(wParam));
  RebuildFonts();
  engine_->SetDefaultFont(contentFont_.get(), 1);
  engine_->SetLineSpacing(Px(linespace));
  const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
  const int left = suggested ? suggested->left : PlaceInParent().left;
  const int top = suggested ? suggested->top : PlaceInParent().top;
  sizeOnPush_ = false;
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
  sizeOnPush_ = false;
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

LRESULT CNotesBase::OnGlideAtRest(UINT, WPARAM, LPARAM, BOOL&) {
  scrolly = engine_->GetScrollPos();
  RecordChanged();
  return 0;
}
