// Scrolling CRichDraw: the offset, the wheel, dragging the content and its glide, the caret's
// blink and focus.
#include <algorithm>

#include "richtext/rich_draw.h"
#include "richtext/rich_draw_parts.h"

namespace richtext {

namespace {

using parts::ClampInt;
using parts::kCaretBlinkMs;

constexpr int kGlideIntervalMs = 20;
constexpr double kDragFactor = 1.5;       // content moves faster than the pointer
constexpr double kGlideStep = 0.2;        // share of the remaining distance per tick
constexpr double kOverPull = 0.3;         // content may be pulled 30 % of the view beyond an end

}  // namespace

// --- Scrolling ---

int CRichDraw::MinScroll() const { return std::min(view_.Height() - contentHeight_, 0); }

void CRichDraw::SetOffset(int vertical) {
  caretY_ += vertical - vOffset_;
  vOffset_ = vertical;
}

void CRichDraw::ScrollTo(int /*horizontal*/, int vertical) {
  int clamped = ClampInt(vertical, MinScroll(), 0);
  if (clamped == vOffset_) return;  // a wheel turned at either end changes nothing
  SetOffset(clamped);
  Repaint();
}

void CRichDraw::ScrollAndSync(int vertical) {
  ScrollTo(hOffset_, vertical);
  if (host_ && host_->HasVScroll()) host_->SetVScrollPos(-vOffset_);
}

void CRichDraw::ScrollBy(int delta) { ScrollAndSync(vOffset_ - delta); }

void CRichDraw::OnMouseWheel(int32_t wheelParam) {
  if (!host_ || !enabled_) return;
  // Turned toward the user (negative): later content comes into view.
  ScrollAndSync(wheelParam < 0 ? vOffset_ - defaultLineHeight_ : vOffset_ + defaultLineHeight_);
}

void CRichDraw::ClampGlideTarget() { glideTarget_ = ClampInt(glideTarget_, MinScroll(), 0); }

void CRichDraw::StopGlide() {
  glideRunning_ = false;
  if (!host_) return;
  host_->KillTimer(kTimerGlide);
  host_->PostGlideAtRest();
}

void CRichDraw::OnLButtonDown(unsigned keyFlags, int x, int y) {
  if (!host_ || !enabled_) return;
  if (readOnly_ && dragScroll_) {
    dragging_ = true;
    lastPointerY_ = y;
    glideTarget_ = vOffset_;
    return;
  }
  SelectMouseDown(keyFlags, x, y);
}

void CRichDraw::OnMouseMove(unsigned keyFlags, int x, int y) {
  if (!host_ || !enabled_) return;
  if (!(readOnly_ && dragScroll_)) {
    SelectMouseMove(keyFlags, x, y);
    return;
  }
  if (!dragging_ || !(keyFlags & kMouseLeftButton)) return;
  const int viewHeight = view_.Height();
  int target = static_cast<int>((y - lastPointerY_) * kDragFactor + glideTarget_);
  int low = static_cast<int>(-(contentHeight_ - (1.0 - kOverPull) * viewHeight));
  int high = static_cast<int>(kOverPull * viewHeight);
  if (target < low) target = low;
  if (target > high) target = high;
  glideTarget_ = target;
  lastPointerY_ = y;
  if (!glideRunning_ && viewHeight < contentHeight_) {
    glideRunning_ = true;
    host_->SetTimer(kTimerGlide, kGlideIntervalMs);
  }
}

void CRichDraw::OnLButtonUp(unsigned /*keyFlags*/, int /*x*/, int /*y*/) {
  if (!host_ || !enabled_) return;
  buttonDown_ = false;
  StopSelectTimer();
  if (dragging_) {
    dragging_ = false;
    ClampGlideTarget();
  }
}

void CRichDraw::OnTimer(int id) {
  if (!host_) return;
  if (id == kTimerGlide) {
    if (!glideRunning_) {
      host_->KillTimer(kTimerGlide);
      return;
    }
    int next = static_cast<int>((glideTarget_ - vOffset_) * kGlideStep + vOffset_);
    bool moved = next != vOffset_;
    if (moved) {
      SetOffset(next);
      Repaint();
    }
    const bool wasDragging = dragging_;
    if (dragging_ && !host_->IsLeftButtonDown()) {
      // The button went up outside the window: end the drag here.
      dragging_ = false;
      ClampGlideTarget();
    }
    // A drag that ended just now has a new target to glide to: at rest only after that.
    if (!moved && !wasDragging) StopGlide();
  } else if (id == kTimerCaretBlink) {
    if (readOnly_ && dragScroll_) {
      host_->KillTimer(kTimerCaretBlink);
      return;
    }
    // Nothing to blink until the caret has a place (and the window the focus).
    if (caretHeight_ <= 0 || !host_->HasFocus()) return;
    caretVisible_ = !caretVisible_;
    Repaint();
  } else if (id == kTimerSelectScroll) {
    SelectScrollTick();
  }
}

void CRichDraw::OnSetFocus() {
  if (!host_ || !enabled_) return;
  if (readOnly_ && dragScroll_) return;
  host_->SetTimer(kTimerCaretBlink, kCaretBlinkMs);
  PlaceCaret(false);
  Repaint();
}

void CRichDraw::OnKillFocus() {
  if (!host_ || !enabled_) return;
  caretVisible_ = 0;
  host_->KillTimer(kTimerCaretBlink);
  Repaint();
}

Extent CRichDraw::FitImage(int w, int h, int box) {
  if (w <= box && h <= box) return Extent{w, h};
  if (h <= 0) return Extent{box, 0};
  float r = static_cast<float>(w) / static_cast<float>(h);
  if (r > 1) return Extent{box, static_cast<int>(box / r)};
  return Extent{static_cast<int>(r * box), box};
}

}  // namespace richtext
