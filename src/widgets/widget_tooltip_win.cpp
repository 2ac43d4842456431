#include "widgets/widget_tooltip_win.h"

namespace widgets {
namespace {
constexpr int kTooltipInitialDelayMs = 200;
constexpr UINT_PTR kToolId = 1;

RECT ToRect(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
}  // namespace

TTTOOLINFOW WidgetTooltip::Tool() const {
  TTTOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = owner_;
  ti.uId = kToolId;
  return ti;
}

void WidgetTooltip::Create(HWND owner, const Rect& content, const wchar_t* text) {
  Destroy();
  owner_ = owner;
  content_ = content;
  text_ = text ? text : L"";
}

bool WidgetTooltip::Ensure() {
  if (tip_) return true;
  if (!owner_ || !IsWindow(owner_)) return false;
  // Not owned by the widget: an owned topmost popup keeps Wine from moving its owner into
  // the topmost band. The widget destroys it itself.
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                         CW_USEDEFAULT, 100, 50, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!tip_) return false;
  TTTOOLINFOW ti = Tool();
  ti.rect = ToRect(content_);
  ti.lpszText = const_cast<wchar_t*>(text_.c_str());
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  SendMessageW(tip_, TTM_ACTIVATE, FALSE, 0);
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, maxWidth_);
  SendMessageW(tip_, TTM_SETDELAYTIME, TTDT_INITIAL, kTooltipInitialDelayMs);
  return true;
}

void WidgetTooltip::Destroy() {
  if (tip_ && IsWindow(tip_)) DestroyWindow(tip_);
  tip_ = nullptr;
  owner_ = nullptr;
}

void WidgetTooltip::SetRect(const Rect& content) {
  content_ = content;
  if (!tip_) return;
  TTTOOLINFOW ti = Tool();
  ti.rect = ToRect(content);
  SendMessageW(tip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void WidgetTooltip::SetMaxWidth(int pixels) {
  maxWidth_ = pixels;
  if (tip_) SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, pixels);
}

void WidgetTooltip::ShowHint(const wchar_t* text) {
  if (text) text_ = text;
  if (!Ensure()) return;
  if (!IsWindowVisible(tip_)) {
    TTTOOLINFOW ti = Tool();
    ti.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
  }
  Activate(true);
}

void WidgetTooltip::Activate(bool on) {
  if (tip_) SendMessageW(tip_, TTM_ACTIVATE, on ? TRUE : FALSE, 0);
}

void WidgetTooltip::Relay(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!Ensure()) return;
  MSG m{owner_, msg, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
  GetCursorPos(&m.pt);
  SendMessageW(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}

}  // namespace widgets
