// The widget's link hint: a standard tooltip control with one tool over the content
// rectangle, shown only while the Ctrl+click rule is on and the pointer is over a link.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "widgets/widget_geometry.h"

namespace widgets {

class WidgetTooltip {
 public:
  WidgetTooltip() = default;
  ~WidgetTooltip() { Destroy(); }
  WidgetTooltip(const WidgetTooltip&) = delete;
  WidgetTooltip& operator=(const WidgetTooltip&) = delete;

  // Creates the control for `owner` with one inactive tool over `content`.
  void Create(HWND owner, const Rect& content, const wchar_t* text);
  void Destroy();
  void SetRect(const Rect& content);
  // Shows `text` over a link: the text changes only while the tip is not already shown,
  // so a shown tip does not flicker on every mouse move.
  void ShowHint(const wchar_t* text);
  void Activate(bool on);
  // Passes a mouse message on, so that the control can time and place the tip.
  void Relay(UINT msg, WPARAM wParam, LPARAM lParam);

  HWND hwnd() const { return tip_; }

 private:
  TTTOOLINFOW Tool() const;

  HWND tip_ = nullptr;
  HWND owner_ = nullptr;
};

}  // namespace widgets
