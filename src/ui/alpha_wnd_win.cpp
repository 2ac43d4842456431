#include "ui/alpha_wnd_win.h"

#include "ui/dpi_win.h"

namespace ui {

namespace {
constexpr int kWindowFontSize = 90;
}  // namespace

HFONT CreatePointFont(int tenthsOfPoint, const wchar_t* face, bool bold, int dpi) {
  if (dpi <= 0) dpi = DpiOfWindow(nullptr);  // the screen's
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(tenthsOfPoint, dpi, 720);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

CAlphaWndBase::CAlphaWndBase() : dpi_(DpiOfWindow(nullptr)) {
  font_.reset(CreatePointFont(kWindowFontSize, L"宋体", false, dpi_));
}

void CAlphaWndBase::UseDpi(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  fw::UniqueFont font(CreatePointFont(kWindowFontSize, L"宋体", false, dpi_));
  for (HDC dc : {color_.dc(), mask_.dc()})
    if (dc) SelectObject(dc, font.get());
  font_ = std::move(font);  // the old one is no longer selected anywhere
}

CAlphaWndBase::~CAlphaWndBase() = default;

HWND CAlphaWndBase::Create(int x, int y, int width, int height, HWND insertAfter) {
  closing_ = false;
  fade_ = 0;
  RECT rc{x, y, x + width, y + height};
  HWND hwnd = WindowBase::Create(kAlphaWindowClass, nullptr, rc, L"", WS_POPUP | WS_VISIBLE,
                                 WS_EX_LAYERED | WS_EX_TOOLWINDOW);
  if (!hwnd) return nullptr;
  SetWindowLongW(hwnd, GWL_STYLE, GetWindowLongW(hwnd, GWL_STYLE) & ~WS_CAPTION);
  UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED;
  if (!insertAfter) flags |= SWP_NOZORDER;
  SetWindowPos(hwnd, insertAfter, 0, 0, 0, 0, flags);
  SetTimer(hwnd, kTimerFade, kFadeIntervalMs, nullptr);
  Render();
  return hwnd;
}

void CAlphaWndBase::StartClosing() {
  closing_ = true;
  if (hwnd_) SetTimer(hwnd_, kTimerFade, kFadeIntervalMs, nullptr);
}

bool CAlphaWndBase::PrepareSurfaces() {
  RECT rc;
  if (!hwnd_ || !GetClientRect(hwnd_, &rc) || rc.right <= 0 || rc.bottom <= 0) return false;
  if (color_.ready() && color_.width() == rc.right && color_.height() == rc.bottom) return true;
  fw::WindowDc wdc(hwnd_);
  if (!color_.Resize(wdc.get(), rc.right, rc.bottom) || !mask_.Resize(wdc.get(), rc.right, rc.bottom))
    return false;
  for (HDC dc : {color_.dc(), mask_.dc()}) {
    SelectObject(dc, font_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
  }
  return true;
}

void CAlphaWndBase::Render() {
  if (!PrepareSurfaces()) return;
  RECT rc{0, 0, color_.width(), color_.height()};
  ZeroMemory(color_.pixels(), color_.count() * sizeof(uint32_t));
  DrawBackground(color_.dc(), rc);
  ComposeTextOpaque(color_, mask_, [this, &rc](HDC dc) { DrawContent(dc, rc); }, contentAlpha_);

  ui::PushLayered(hwnd_, color_, rc.right, rc.bottom, static_cast<BYTE>(fade_));
}

LRESULT CAlphaWndBase::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  PAINTSTRUCT ps;
  BeginPaint(hwnd_, &ps);
  Render();
  EndPaint(hwnd_, &ps);
  return 0;
}

LRESULT CAlphaWndBase::OnSize(UINT, WPARAM, LPARAM, BOOL& handled) {
  Render();
  handled = FALSE;
  return 0;
}

LRESULT CAlphaWndBase::OnTimer(UINT, WPARAM id, LPARAM, BOOL& handled) {
  if (id != kTimerFade) {
    handled = FALSE;
    return 0;
  }
  if (!closing_) {
    fade_ += kFadeStep;
    if (fade_ > 254) {
      fade_ = 255;
      KillTimer(hwnd_, kTimerFade);
    }
  } else {
    fade_ -= kFadeStep;
    if (fade_ <= 0) {
      fade_ = 0;
      KillTimer(hwnd_, kTimerFade);
      DestroyWindow();
      return 0;
    }
  }
  Render();  // layered: no WM_PAINT to wait for
  return 0;
}

}  // namespace ui
