#include "widgets/widget_compositor_win.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "framework/wstr_win.h"
#include "platform/bench_trace.h"
#include "ui/alpha_wnd_win.h"
#include "ui/dpi_win.h"
#include "widgets/frame_images_win.h"

namespace widgets {
namespace {

constexpr COLORREF kTitleTextColor = 0x505050;
constexpr wchar_t kRefreshCaption[] = L"正在刷新列表...";

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

// --- Fonts ---------------------------------------------------------------------------

void WidgetCompositor::RebuildContentFont(int size, int bold, const std::u16string& face, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = richtext::CRichDraw::FontHeightFromSize(size, dpi);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, as_wcstr(face), LF_FACESIZE);
  fw::UniqueFont font(CreateFontIndirectW(&lf));
  // The surfaces take the new font before the old one is deleted.
  surfaceA_.UseFont(font.get());
  contentFont_ = std::move(font);
  boldContentFont_.reset();
}

void WidgetCompositor::RebuildFonts(int size, int bold, const std::u16string& face, int dpi) {
  RebuildContentFont(size, bold, face, dpi);
  const SharedFonts& shared = SharedFontsAt(dpi);
  titleFont_ = shared.title;
  captionFont_ = shared.caption;
}

HFONT WidgetCompositor::surfaceFont() const {
  return surfaceA_.dc() ? static_cast<HFONT>(GetCurrentObject(surfaceA_.dc(), OBJ_FONT)) : nullptr;
}

int WidgetCompositor::MeasureText(const std::u16string& text, bool bold, bool contentBold) {
  if (!imageDc_) imageDc_.reset(CreateCompatibleDC(nullptr));
  if (!imageDc_) return 0;
  HFONT measured = contentFont_.get();
  if (bold && !contentBold) {
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

// --- Surfaces and pushes -------------------------------------------------------------

void WidgetCompositor::SizeSurfaces(SIZE size, uint32_t textColor) {
  fw::WindowDc wdc(host_.ComposeWindow());
  if (!imageDc_) imageDc_.reset(CreateCompatibleDC(wdc.get()));
  // A surface of the right size is kept. At a new size its pixels are made by the compose
  // that follows, which draws all of them anyway: a burst of feed answers resizes many
  // widgets before the first of them composes, and each would hold its image meanwhile.
  if (!surfaceA_.dc() || surfaceA_.width() != size.cx || surfaceA_.height() != size.cy)
    surfaceA_.ResizeLater(wdc.get(), size.cx, size.cy);
  if (HDC dc = surfaceA_.dc()) {
    SelectObject(dc, contentFont_.get());
    SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, textColor);
  }
}

void WidgetCompositor::Reset() {
  // A compose request posted to the old window died with it: a new window must ask again.
  composePending_ = composeTimer_ = false;
  showOnPush_ = false;
  sizeOnPush_ = false;
  dirty_ = DirtyArea();
  // The surfaces go before the font they hold.
  surfaceA_.Reset();
  boldContentFont_.reset();
  contentFont_.reset();
}

ui::DibSurface& WidgetCompositor::ScratchSurface() {
  // Its pixels matter only while one widget composes, and every widget composes on the UI
  // thread: one surface serves them all, remade at the size of the widget composing.
  static ui::DibSurface* scratch = new ui::DibSurface;
  return *scratch;
}

void WidgetCompositor::ShowOnFirstPush(bool frameChanged) {
  showOnPush_ = true;
  frameChanged_ = frameChanged;
}

void WidgetCompositor::SizeOnPush(SIZE size) {
  sizeOnPush_ = true;
  pushSize_ = size;
}

bool WidgetCompositor::PendingSize(SIZE* size) const {
  if (!sizeOnPush_) return false;
  *size = pushSize_;
  return true;
}

// --- Requests and frame pacing -------------------------------------------------------

void WidgetCompositor::Repaint() {
  dirty_.AddAll();
  RequestCompose();
}

void WidgetCompositor::RepaintArea(const Rect& area) {
  dirty_.Add(area);
  RequestCompose();
}

void WidgetCompositor::RequestCompose() {
  // A layered window is not painted through WM_PAINT: compose once, after the changes
  // that asked for it.
  HWND hwnd = host_.ComposeWindow();
  if (!hwnd || composePending_ || dirty_.empty()) return;
  composePending_ = true;
  PostMessageW(hwnd, WM_WIDGET_COMPOSE, 0, 0);
}

void WidgetCompositor::ComposeIfPending() {
  if (!dirty_.empty()) ComposeDirty();
}

void WidgetCompositor::OnComposeRequest() {
  if (dirty_.empty()) {  // a whole paint since the request covered it
    composePending_ = false;
    return;
  }
  // Pushed less than a frame ago: the changes wait for the next frame, together with
  // whatever else changes until then.
  const double since = NowMs() - lastPushMs_;
  if (since >= 0 && since < kWidgetFrameMs) {
    composeTimer_ = true;
    ::SetTimer(host_.ComposeWindow(), kWidgetTimerCompose, static_cast<UINT>(kWidgetFrameMs - since) + 1, nullptr);
    return;
  }
  ComposeDirty();
}

void WidgetCompositor::ComposeDirty() {
  composePending_ = false;
  if (composeTimer_) {
    ::KillTimer(host_.ComposeWindow(), kWidgetTimerCompose);
    composeTimer_ = false;
  }
  const Rect area = dirty_.Take(surfaceA_.width(), surfaceA_.height());
  if (area.width() > 0) ComposeArea(area);
}

// --- Composing -----------------------------------------------------------------------

void WidgetCompositor::PaintText(const ComposeLook& look, HDC dc, const Rect* area) {
  const richtext::Rect engineArea = area ? richtext::Rect{area->left, area->top, area->right, area->bottom}
                                         : richtext::Rect{};
  look.engine->Paint(dc, imageDc_.get(), area ? &engineArea : nullptr);
  if (!look.title->empty()) {
    fw::SelectGuard font(dc, titleFont_);
    ::SetTextColor(dc, kTitleTextColor);
    TextOutW(dc, look.rects->title.left, look.rects->title.top, as_wcstr(*look.title),
             static_cast<int>(look.title->size()));
  }
  if (look.refreshCaption) {
    fw::SelectGuard font(dc, captionFont_);
    ::SetTextColor(dc, look.textColor);
    SetBkMode(dc, TRANSPARENT);
    Rect c = RefreshCaptionRect(surfaceA_.width(), surfaceA_.height(), look.dpi);
    RECT r{c.left, c.top, c.right, c.bottom};
    DrawTextW(dc, kRefreshCaption, -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  }
}

RECT WidgetCompositor::TextBounds(const ComposeLook& look) const {
  const richtext::Rect e = look.engine->GetPaintBounds();
  RECT bounds{e.left, e.top, e.right, e.bottom};
  auto add = [&bounds](const Rect& x) {
    const RECT rc{x.left, x.top, x.right, x.bottom};
    UnionRect(&bounds, &bounds, &rc);
  };
  if (!look.title->empty()) add(look.rects->title);
  if (look.refreshCaption) add(RefreshCaptionRect(surfaceA_.width(), surfaceA_.height(), look.dpi));
  return bounds;
}

void WidgetCompositor::ComposeArea(const Rect& wanted) {
  const ComposeLook look = host_.Look();
  if (!look.ready) return;
  bool remade = false;
  if (!surfaceA_.ready()) {
    // The image went after the last paint: it is made again, all of it.
    fw::WindowDc wdc(host_.ComposeWindow());
    if (!surfaceA_.Resize(wdc.get(), surfaceA_.width(), surfaceA_.height())) return;
    remade = true;
  }
  const int w = surfaceA_.width(), h = surfaceA_.height();
  // A new size goes to the window with a whole image.
  const Rect area = remade || sizeOnPush_ ? Rect{0, 0, w, h}
                                          : Rect{std::max(wanted.left, 0), std::max(wanted.top, 0),
                                                 std::min(wanted.right, w), std::min(wanted.bottom, h)};
  if (area.width() <= 0 || area.height() <= 0) return;
  const bool whole = area == Rect{0, 0, w, h};
  ui::DibSurface& scratch = ScratchSurface();
  if ((scratch.width() != w || scratch.height() != h) && !scratch.Resize(surfaceA_.dc(), w, h)) return;
  if (whole) dirty_ = DirtyArea();  // nothing asked for before is left to do
  // The widget's font is selected only while it draws: the next widget may delete its own.
  fw::SelectGuard font(scratch.dc(), contentFont_.get());
  SetBkMode(scratch.dc(), TRANSPARENT);
  ::SetTextColor(scratch.dc(), look.textColor);
  // Everything outside the area stays as the last paint left it.
  Surface a = Surface{surfaceA_.pixels(), w, h}.Clipped(area), b{scratch.pixels(), w, h};
  const WidgetImages& im = GetWidgetImages(ui::NearestImageScale(look.dpi));
  GdiFlush();
  ComposeBackground(look, a, b, area);
  if (look.buttons) {
    DrawImage(a, im.refresh, look.rects->refresh);
    DrawImage(a, im.menu, look.rects->menu);
  }
  // Whatever the text drawing touches is text, and is fully opaque whatever the opacity.
  // The passes that find it look only where text can be.
  const RECT text = TextBounds(look);
  const RECT r{area.left, area.top, area.right, area.bottom};
  ui::ComposeTextOpaque(surfaceA_, scratch,
                        [this, &look, &area, whole](HDC dc) { PaintText(look, dc, whole ? nullptr : &area); }, 255,
                        &r, &text);
  Push(area, whole);
}

void WidgetCompositor::ComposeBackground(const ComposeLook& look, const Surface& a, const Surface& b,
                                         const Rect& area) {
  const int w = surfaceA_.width(), h = surfaceA_.height();
  const WidgetImages& im = GetWidgetImages(ui::NearestImageScale(look.dpi));
  const ColorTheme& theme = *look.theme;
  if (keepImage_ || host_.Hovered()) {
    // The image stays after this paint, and more repaints are likely: the background is
    // kept beside it and copied.
    const BackgroundKey key{w, h, look.dpi, look.alpha, theme.title, theme.bodyTop, theme.bodyBottom};
    if (background_.size() != static_cast<size_t>(w) * h || !(key == backgroundKey_)) {
      background_.assign(static_cast<size_t>(w) * h, 0u);
      ComposeWidgetBackground({background_.data(), w, h}, b, im.frame, theme, look.alpha, look.dpi);
      backgroundKey_ = key;
    }
    for (int y = area.top; y < area.bottom; ++y) {
      const size_t at = static_cast<size_t>(y) * w + area.left;
      std::memcpy(surfaceA_.pixels() + at, background_.data() + at, static_cast<size_t>(area.width()) * 4);
    }
  } else {
    std::vector<uint32_t>().swap(background_);
    ComposeWidgetBackground(a, b, im.frame, theme, look.alpha, look.dpi);
  }
}

void WidgetCompositor::Push(const Rect& area, bool whole) {
  HWND hwnd = host_.ComposeWindow();
  const int w = surfaceA_.width(), h = surfaceA_.height();
  const RECT r{area.left, area.top, area.right, area.bottom};
  // A new size goes with the image (see SizeOnPush).
  const bool sized = sizeOnPush_;
  pushingSize_ = sized;
  sizeOnPush_ = false;
  ui::PushLayered(hwnd, surfaceA_, w, h, 255, whole ? nullptr : &r);
  pushingSize_ = false;
  // (Wine sends no size message for it, Windows does: either way, once, here.)
  if (sized) host_.SizePushed();
  lastPushMs_ = NowMs();
  ++pushes_;
  if (showOnPush_) {
    // Shown now that it has an image: below the other windows unless it stays on top (and
    // with the frame recomputed if its style lost a caption).
    showOnPush_ = false;
    const bool top = host_.StaysOnTop();
    const UINT swp = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | (frameChanged_ ? SWP_FRAMECHANGED : 0);
    SetWindowPos(hwnd, top ? nullptr : HWND_BOTTOM, 0, 0, 0, 0, swp | (top ? SWP_NOZORDER : 0));
  }
  // The window keeps what it shows. The widget keeps its own copy only while the pointer
  // is over it, for the quick repaints of hovering and scrolling: the others would each
  // hold their size in pixels for nothing.
  if (!keepImage_ && !host_.Hovered()) surfaceA_.ReleasePixels();
  // The start-up benchmark looks for a window's first image and its first with content;
  // later pushes are not written down (each would cost a file write).
  const bool content = host_.HasContent();
  if (tracedWindow_ != hwnd || (!tracedContent_ && content)) {
    platform::BenchEvent(content ? "content" : "painted", hwnd);
    tracedWindow_ = hwnd;
    tracedContent_ = content;
  }
}

}  // namespace widgets
