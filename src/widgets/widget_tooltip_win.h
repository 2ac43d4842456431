// The widget's link hint: a standard tooltip control with one tool over the content
// rectangle, shown only while the Ctrl+click rule is on and the pointer is over a link.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "widgets/widget_geometry.h"

namespace widgets {

class WidgetTooltip {
 public:
  WidgetTooltip() = default;
  ~WidgetTooltip() { Destroy(); }
  WidgetTooltip(const WidgetTooltip&) = delete;
  WidgetTooltip& operator=(const WidgetTooltip&) = delete;

  // Sets up one inactive tool over `content` of `owner`. The control itself is made when
  // the mouse first comes over the widget: most widgets never show a tip, and each control
  // is a window of its own.
  void Create(HWND owner, const Rect& content, const wchar_t* text);
  void Destroy();
  void SetRect(const Rect& content);
  // The widest a tip may be, in pixels.
  void SetMaxWidth(int pixels);
  // Shows `text` over a link: the text changes only while the tip is not already shown,
  // so a shown tip does not flicker on every mouse move.
  void ShowHint(const wchar_t* text);
  void Activate(bool on);
  // Passes a mouse message on, so that the control can time and place the tip.
  void Relay(UINT msg, WPARAM wParam, LPARAM lParam);

  // The control; null until it is first needed.
  HWND hwnd() const { return tip_; }

 private:
  TTTOOLINFOW Tool() const;
  // Makes the control if the tool is set up and it is not made yet; false without one.
  bool Ensure();

  HWND tip_ = nullptr;
  HWND owner_ = nullptr;
  Rect content_{};
  std::wstring text_;
  int maxWidth_ = kDefaultMaxWidth;
  static constexpr int kDefaultMaxWidth = 100;
};

}  // namespace widgets
