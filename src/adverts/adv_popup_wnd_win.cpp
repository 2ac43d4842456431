#include "adverts/adv_popup_wnd_win.h"

#include <gdiplus.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <windowsx.h>

#include "framework/wstr_win.h"
#include "platform/log.h"
#include "platform/text.h"
#include "res/adverts_res.h"
#include "richtext/rich_draw_win.h"
#include "ui/dib_surface_win.h"

namespace adverts {
namespace {

// The window style keeps the 0x10 bit the popup has always been created with.
constexpr DWORD kPopupStyle = WS_POPUP | 0x10;
constexpr DWORD kPopupExStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr int kCornerSize = 3;
constexpr wchar_t kViewText[] = L"查看 »";
constexpr int kViewTextIndent = 20;
constexpr int kCloseCrossDx = 12, kCloseCrossDy = 1, kHighlightDx = 2;
constexpr COLORREF kCaptionColour = RGB(0, 0, 0);
constexpr int kImageIds[4] = {IDB_ADV_CLOSE_CROSS, IDB_ADV_VIEW_ARROW, IDB_ADV_CLOSE_HIGHLIGHT,
                              IDB_ADV_CLOSE_SEPARATOR};
enum { kCross, kArrow, kHighlight, kSeparator };

COLORREF Colour(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

RECT ToRect(const PopupRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FontInstalled(const wchar_t* face) {
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &lf, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

// `fallback` stands in when the face is not installed: the font mapper's own choice may
// lack the Chinese text.
HFONT MakeFont(const wchar_t* face, int points, int weight, const wchar_t* fallback = nullptr) {
  if (fallback && !FontInstalled(face)) face = fallback;
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(points, dpi, 72);
  lf.lfWeight = weight;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

// A PNG resource decoded into a bitmap of its own (not tied to the resource's stream).
std::unique_ptr<Gdiplus::Bitmap> LoadPng(int id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  HGLOBAL data = res ? LoadResource(module, res) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) return nullptr;
  IStream* stream = SHCreateMemStream(static_cast<const BYTE*>(bytes), SizeofResource(module, res));
  if (!stream) return nullptr;
  std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream));
  std::unique_ptr<Gdiplus::Bitmap> own;
  if (decoded && decoded->GetLastStatus() == Gdiplus::Ok) {
    const INT w = static_cast<INT>(decoded->GetWidth()), h = static_cast<INT>(decoded->GetHeight());
    own = std::make_unique<Gdiplus::Bitmap>(w, h, PixelFormat32bppARGB);
    bool drawn = false;
    if (own->GetLastStatus() == Gdiplus::Ok) {
      Gdiplus::Graphics g(own.get());
      drawn = g.DrawImage(decoded.get(), 0, 0, w, h) == Gdiplus::Ok;
    }
    if (!drawn) own.reset();
  }
  decoded.reset();
  stream->Release();
  return own;
}

void ShellOpen(const std::u16string& address) {
  ShellExecuteW(nullptr, L"open", as_wcstr(address), nullptr, nullptr, SW_SHOW);
}

}  // namespace

CAdvPopupWnd::CAdvPopupWnd(OpenInBrowser open) : open_(open ? std::move(open) : OpenInBrowser(ShellOpen)) {}

CAdvPopupWnd::~CAdvPopupWnd() { Close(); }

void CAdvPopupWnd::LoadImages() {
  for (int i = 0; i < 4; ++i)
    if (!images_[i]) images_[i] = LoadPng(kImageIds[i]);
}

HWND CAdvPopupWnd::ShowAdvert(const AdvertRecord& advert) {
  Close();
  const bool webPage = advert.type == kAdvertWebPage;
  std::u16string page;
  if (webPage) {
    page = AdvertPageAddress(advert);
    if (page.empty()) {
      LogError("advert %d not shown: its page is no web address: %s", advert.id,
               platform::ToAnsi(advert.htmlurl).c_str());
      return nullptr;
    }
  }
  LoadImages();
  advert_ = advert;
  caption_ = PopupCaption(advert);
  layout_ = LayoutPopup(advert, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  animation_ = std::make_unique<PopupAnimation>(layout_, advert, webPage);
  const RECT rc{layout_.left, animation_->top(), layout_.left + layout_.width, animation_->top() + layout_.height};
  if (!Create(kAdvPopupClassName, nullptr, rc, as_wcstr(caption_), kPopupStyle, kPopupExStyle,
              CS_DBLCLKS | CS_DROPSHADOW)) {
    LogError("advert %d not shown: the popup window could not be created", advert.id);
    return nullptr;
  }
  shownTop_ = animation_->top();
  shownAlpha_ = animation_->alpha();
  SetLayeredWindowAttributes(hwnd_, 0, static_cast<BYTE>(shownAlpha_), LWA_ALPHA);
  SetWindowLongPtrW(hwnd_, GWL_STYLE, GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~WS_CAPTION);
  SetWindowRgn(hwnd_, CreateRoundRectRgn(0, 0, layout_.width + 1, layout_.height + 1, kCornerSize, kCornerSize),
               FALSE);
  captionFont_.reset(MakeFont(L"Tahoma", 8, FW_BOLD));
  viewFont_.reset(MakeFont(L"Candara", 9, FW_NORMAL, L"宋体"));
  textFont_.reset(MakeFont(L"宋体", 9, FW_NORMAL));
  SetUpContent();
  SetWindowPos(hwnd_, HWND_TOPMOST, layout_.left, shownTop_, layout_.width, layout_.height,
               SWP_NOACTIVATE | (webPage ? 0 : SWP_SHOWWINDOW));
  shown_ = !webPage;
  animation_->Start();
  if (webPage) {
    browser_.SetEventReceiver(this);
    browser_.SetNewWindowHandler([this](const std::u16string& url) {
      std::u16string address = AdvertOpenableAddress(url);
      if (!address.empty()) open_(address);
    });
    if (!browser_.Create(hwnd_, ToRect(layout_.browser)) || !browser_.Navigate(page)) {
      LogError("advert %d not shown: the web browser control is not available", advert.id);
      Close();
      return nullptr;
    }
    LogDebug("advert %d: loading its page in the browser: %s", advert.id, platform::ToAnsi(page).c_str());
    // A page that never completes must not leave a hidden window behind.
    SetTimer(hwnd_, kPageTimeoutTimer, pageTimeoutMs_, nullptr);
  }
  Sync();
  TrackMouse();
  return hwnd_;
}

void CAdvPopupWnd::SetUpContent() {
  switch (advert_.type) {
    case kAdvertText: SetUpText(layout_.content); break;
    case kAdvertPicture: LoadPicture(layout_.content); break;
    case kAdvertPictureText:
      LoadPicture(PictureSquare(layout_.content));
      SetUpText(TextBesidePicture(layout_.content));
      break;
    default: break;
  }
}

void CAdvPopupWnd::SetUpText(const PopupRect& box) {
  text_ = std::make_unique<richtext::CRichDrawWin>();
  text_->Attach(hwnd_);
  text_->SetRepaintHandler([this] { InvalidateRect(hwnd_, nullptr, FALSE); });
  text_->SetRect(box.left, box.top, box.right, box.bottom);
  text_->SetDefaultFont(textFont_.get(), 0);
  text_->SetReadOnly(1);
  text_->SetCentered(advert_.aligntext == 2 ? 1 : 0);
  text_->SetHtml(advert_.text);
}

void CAdvPopupWnd::LoadPicture(const PopupRect& box) {
  picture_.reset();
  Gdiplus::Bitmap source(as_wcstr(advert_.pic));
  if (advert_.pic.empty() || source.GetLastStatus() != Gdiplus::Ok) {
    LogError("advert %d: picture cannot be loaded: %s", advert_.id, platform::ToAnsi(advert_.pic).c_str());
    return;
  }
  pictureRect_ = FitPicture(static_cast<int>(source.GetWidth()), static_cast<int>(source.GetHeight()), box);
  if (pictureRect_.width() <= 0 || pictureRect_.height() <= 0) return;
  auto scaled = std::make_unique<Gdiplus::Bitmap>(pictureRect_.width(), pictureRect_.height(), PixelFormat32bppARGB);
  if (scaled->GetLastStatus() != Gdiplus::Ok) return;
  bool drawn = false;
  {
    Gdiplus::Graphics g(scaled.get());
    g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    drawn = g.DrawImage(&source, 0, 0, pictureRect_.width(), pictureRect_.height()) == Gdiplus::Ok;
  }
  if (drawn) picture_ = std::move(scaled);
}

void CAdvPopupWnd::Close() {
  browser_.Close();
  if (hwnd_) DestroyWindow();
}

void CAdvPopupWnd::SetTimerOn(UINT_PTR id, bool on, UINT ms) {
  bool& state = timerOn_[id - kCountdownTimer];
  if (on == state || !hwnd_) return;
  if (on) SetTimer(hwnd_, id, ms, nullptr);
  else KillTimer(hwnd_, id);
  state = on;
}

void CAdvPopupWnd::Sync() {
  if (!hwnd_ || !animation_) return;
  if (animation_->phase() == PopupPhase::kGone) {
    Close();
    return;
  }
  SetTimerOn(kCountdownTimer, animation_->countingDown(), 1000);
  SetTimerOn(kAnimationTimer, animation_->animating(), kAnimationMs);
  if (!animation_->visible()) return;
  if (!shown_ || animation_->top() != shownTop_) {
    shownTop_ = animation_->top();
    SetWindowPos(hwnd_, shown_ ? nullptr : HWND_TOPMOST, layout_.left, shownTop_, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | (shown_ ? SWP_NOZORDER : SWP_SHOWWINDOW));
    shown_ = true;
  }
  if (animation_->alpha() != shownAlpha_) {
    shownAlpha_ = animation_->alpha();
    SetLayeredWindowAttributes(hwnd_, 0, static_cast<BYTE>(shownAlpha_), LWA_ALPHA);
  }
}

void CAdvPopupWnd::TrackMouse() {
  if (!hwnd_) return;
  TRACKMOUSEEVENT t{sizeof t, TME_HOVER | TME_LEAVE, hwnd_, 0};
  TrackMouseEvent(&t);
}

void CAdvPopupWnd::PaintTo(HDC dc) {
  const int w = layout_.width, h = layout_.height;
  RECT all{0, 0, w, h};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  TRIVERTEX v[2] = {};
  v[0].x = 1;
  v[0].y = 2;
  v[0].Red = static_cast<COLOR16>(GetRValue(Colour(kGradientTopColour)) << 8);
  v[0].Green = static_cast<COLOR16>(GetGValue(Colour(kGradientTopColour)) << 8);
  v[0].Blue = static_cast<COLOR16>(GetBValue(Colour(kGradientTopColour)) << 8);
  v[1].x = w - 1;
  v[1].y = 35;
  v[1].Red = v[1].Green = v[1].Blue = 0xFF00;
  GRADIENT_RECT gr{0, 1};
  GradientFill(dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_V);
  RECT bar = ToRect(layout_.bottomBar);
  fw::UniqueBrush barBrush(CreateSolidBrush(Colour(kBottomBarColour)));
  FillRect(dc, &bar, barBrush.get());

  {
    Gdiplus::Graphics g(dc);
    const PopupRect& close = layout_.closeButton;
    auto draw = [&g](Gdiplus::Bitmap* image, int x, int y, const Gdiplus::ImageAttributes* attributes) {
      if (!image) return;
      const INT iw = static_cast<INT>(image->GetWidth()), ih = static_cast<INT>(image->GetHeight());
      g.DrawImage(image, Gdiplus::Rect(x, y, iw, ih), 0, 0, iw, ih, Gdiplus::UnitPixel, attributes);
    };
    const int level = animation_ ? animation_->highlight() : 0;
    if (level > 0) {
      Gdiplus::ColorMatrix m = {{{1, 0, 0, 0, 0},
                                 {0, 1, 0, 0, 0},
                                 {0, 0, 1, 0, 0},
                                 {0, 0, 0, static_cast<Gdiplus::REAL>(level) / 255.0f, 0},
                                 {0, 0, 0, 0, 1}}};
      Gdiplus::ImageAttributes fade;
      fade.SetColorMatrix(&m);
      draw(images_[kHighlight].get(), close.left + kHighlightDx, close.top, &fade);
    }
    draw(images_[kSeparator].get(), close.left, close.top, nullptr);
    draw(images_[kCross].get(), close.left + kCloseCrossDx, close.top + kCloseCrossDy, nullptr);
    draw(images_[kArrow].get(), layout_.viewButton.left, layout_.viewButton.top, nullptr);
  }

  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, captionFont_ ? captionFont_.get() : GetStockObject(DEFAULT_GUI_FONT));
  SetTextColor(dc, kCaptionColour);
  RECT title = ToRect(layout_.title);
  DrawTextW(dc, as_wcstr(caption_), -1, &title, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  if (viewFont_) SelectObject(dc, viewFont_.get());
  SetTextColor(dc, Colour(kViewTextColour));
  RECT view = ToRect(layout_.viewButton);
  view.left += kViewTextIndent;
  DrawTextW(dc, kViewText, -1, &view, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP | DT_NOPREFIX);
  SelectObject(dc, oldFont);

  fw::UniqueHandle<HPEN, fw::GdiObjectTraits<HPEN>> dots(CreatePen(PS_DOT, 1, Colour(kDottedLineColour)));
  HGDIOBJ oldPen = SelectObject(dc, dots.get());
  MoveToEx(dc, 8, layout_.dottedLineY, nullptr);
  LineTo(dc, w - 8, layout_.dottedLineY);
  SelectObject(dc, oldPen);

  fw::UniqueRgn frame(CreateRoundRectRgn(0, 0, w + 1, h + 1, kCornerSize, kCornerSize));
  fw::UniqueBrush frameBrush(CreateSolidBrush(Colour(kFrameColour)));
  FrameRgn(dc, frame.get(), frameBrush.get(), 1, 1);

  if (picture_) {
    Gdiplus::Graphics g(dc);
    g.DrawImage(picture_.get(), pictureRect_.left, pictureRect_.top, pictureRect_.width(), pictureRect_.height());
  }
  if (text_) {
    fw::UniqueMemDc imageDc(CreateCompatibleDC(dc));
    text_->Paint(dc, imageDc.get());
  }
}

LRESULT CAdvPopupWnd::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  ui::DibSurface buffer;
  if (dc && buffer.Resize(dc, layout_.width, layout_.height)) {
    PaintTo(buffer.dc());
    BitBlt(dc, 0, 0, layout_.width, layout_.height, buffer.dc(), 0, 0, SRCCOPY);
  }
  EndPaint(hwnd_, &ps);
  return 0;
}

LRESULT CAdvPopupWnd::OnTimer(UINT msg, WPARAM id, LPARAM lParam, BOOL& handled) {
  if (!animation_) return 0;
  switch (id) {
    case kCountdownTimer: animation_->OnCountdownTick(); break;
    case kAnimationTimer: animation_->OnAnimationTick(); break;
    case kHighlightTimer: {
      animation_->OnHighlightTick();
      if (!animation_->highlightAnimating()) SetTimerOn(kHighlightTimer, false, 0);
      RECT r = ToRect(layout_.closeButton);
      InvalidateRect(hwnd_, &r, FALSE);
      return 0;
    }
    case kPageTimeoutTimer:
      KillTimer(hwnd_, kPageTimeoutTimer);
      LogError("advert %d: its page did not load in time", advert_.id);
      Close();
      return 0;
    default: {
      LRESULT r = 0;
      if (text_ && text_->ForwardMessage(msg, id, lParam, &r)) return r;
      handled = FALSE;
      return 0;
    }
  }
  Sync();
  return 0;
}

LRESULT CAdvPopupWnd::OnMouseMove(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  TrackMouse();
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  if (animation_) {
    const bool overClose = layout_.closeButton.Contains(x, y);
    animation_->SetHighlightTarget(overClose);
    if (animation_->highlightAnimating()) SetTimerOn(kHighlightTimer, true, kAnimationMs);
  }
  if (text_) text_->OnMouseMove(static_cast<unsigned>(wParam), x, y);
  return 0;
}

LRESULT CAdvPopupWnd::OnMouseHover(UINT, WPARAM, LPARAM, BOOL&) {
  if (animation_) {
    animation_->OnHover();
    Sync();
  }
  return 0;
}

LRESULT CAdvPopupWnd::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) {
  if (animation_) {
    animation_->OnLeave();
    if (animation_->highlightAnimating()) SetTimerOn(kHighlightTimer, true, kAnimationMs);
    Sync();
  }
  return 0;
}

bool CAdvPopupWnd::IsClickable(int x, int y) const {
  if (layout_.closeButton.Contains(x, y) || layout_.viewButton.Contains(x, y)) return true;
  const bool hasPicture = advert_.type == kAdvertPicture || advert_.type == kAdvertPictureText;
  if (hasPicture && picture_ && pictureRect_.Contains(x, y)) return true;
  return LinkAt(x, y) != nullptr;
}

const std::u16string* CAdvPopupWnd::LinkAt(int x, int y) const {
  return text_ ? text_->GetLinkAt(x, y, nullptr) : nullptr;
}

LRESULT CAdvPopupWnd::OnSetCursor(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
  if (LOWORD(lParam) != HTCLIENT) {
    handled = FALSE;
    return 0;
  }
  POINT pt{};
  GetCursorPos(&pt);
  ScreenToClient(hwnd_, &pt);
  SetCursor(LoadCursorW(nullptr, IsClickable(pt.x, pt.y) ? IDC_HAND : IDC_ARROW));
  return TRUE;
}

void CAdvPopupWnd::OpenAndClose(const std::u16string& address) {
  std::u16string openable = AdvertOpenableAddress(address);
  if (openable.empty()) {
    LogError("advert %d: refused to open an address that is no web address: %s", advert_.id,
             platform::ToAnsi(address).c_str());
    return;
  }
  open_(openable);
  Close();
}

LRESULT CAdvPopupWnd::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&) {
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  if (layout_.closeButton.Contains(x, y) || layout_.viewButton.Contains(x, y)) return 0;
  const bool hasPicture = advert_.type == kAdvertPicture || advert_.type == kAdvertPictureText;
  if (hasPicture && picture_ && pictureRect_.Contains(x, y)) {
    if (!advert_.url.empty()) OpenAndClose(advert_.url);
    return 0;
  }
  if (const std::u16string* link = LinkAt(x, y)) {
    std::u16string copy = *link;  // closing frees the engine that holds it
    OpenAndClose(copy);
  }
  return 0;
}

LRESULT CAdvPopupWnd::OnLButtonUp(UINT, WPARAM, LPARAM lParam, BOOL&) {
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  if (!animation_) return 0;
  if (layout_.closeButton.Contains(x, y)) {
    animation_->CloseBySlide();
    Sync();
  } else if (layout_.viewButton.Contains(x, y) && !advert_.url.empty()) {
    OpenAndClose(advert_.url);
  }
  return 0;
}

LRESULT CAdvPopupWnd::OnEngineMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
  LRESULT r = 0;
  if (text_ && text_->ForwardMessage(msg, wParam, lParam, &r)) return r;
  handled = FALSE;
  return 0;
}

LRESULT CAdvPopupWnd::OnCloseLater(UINT, WPARAM, LPARAM, BOOL&) {
  Close();
  return 0;
}

LRESULT CAdvPopupWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
  for (UINT_PTR id = kCountdownTimer; id <= kHighlightTimer; ++id) SetTimerOn(id, false, 0);
  KillTimer(hwnd_, kPageTimeoutTimer);
  browser_.Close();
  text_.reset();
  picture_.reset();
  shown_ = false;
  handled = FALSE;
  return 0;
}

void CAdvPopupWnd::OnDocumentComplete(const std::u16string&) {
  if (!hwnd_ || !animation_) return;
  if (browser_.GetNavigateError() != 0 || !::IsWindow(browser_.GetHostWindow())) {
    PostMessageW(hwnd_, kMsgCloseLater, 0, 0);
    return;
  }
  KillTimer(hwnd_, kPageTimeoutTimer);
  animation_->PageLoaded();
  Sync();
}

void CAdvPopupWnd::OnNavigateError(const std::u16string& url, long status, bool* cancel) {
  // No error page of the browser's own; a page that failed closes the popup.
  if (cancel) *cancel = true;
  LogDebug("advert %d: its page failed to load (status %ld): %s", advert_.id, status,
           platform::ToAnsi(url).c_str());
  if (hwnd_) PostMessageW(hwnd_, kMsgCloseLater, 0, 0);
}

}  // namespace adverts
