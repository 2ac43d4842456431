// The advert popup's life without its window: opening (slide or fade), the countdown of
// its display time, the pause while the pointer is over it, closing (slide or fade) and
// the close button's highlight. The window turns timer ticks and mouse notices into calls
// and the state into timers, position and opacity.
#pragma once
#include <cstdint>

#include "adverts/adv_popup_layout.h"

namespace adverts {

enum class PopupPhase { kOpening, kShown, kClosing, kGone };

class PopupAnimation {
 public:
  // A web-page popup waits hidden for its page (PageLoaded) and always slides.
  PopupAnimation(const PopupLayout& layout, const AdvertRecord& advert, bool webPage);

  // Starts opening (not for a web page, which waits for its page) and the countdown.
  void Start();
  // The page has loaded: the countdown restarts and the popup slides in.
  void PageLoaded();

  void OnAnimationTick();  // every kAnimationMs while animating
  void OnCountdownTick();  // every second while counting down
  void OnHover();          // the pointer rests on the popup: everything waits, fully opaque
  void OnLeave();          // the pointer left: what was waiting goes on
  void CloseBySlide();     // the close button: slides down out of the screen

  // The close button's highlight: set the target, then tick until it is reached.
  void SetHighlightTarget(bool on) { highlightOn_ = on; }
  void OnHighlightTick();
  bool highlightAnimating() const { return highlight_ != (highlightOn_ ? 255 : 0); }
  int highlight() const { return highlight_; }

  PopupPhase phase() const { return phase_; }
  bool visible() const { return visible_; }
  int top() const { return top_; }
  int alpha() const { return alpha_; }
  int secondsLeft() const { return secondsLeft_; }
  bool animating() const { return animating_; }   // the 30 ms timer should run
  bool countingDown() const { return counting_; }  // the one-second timer should run
  bool closingBySlide() const { return closeBySlide_; }

 private:
  void BeginClosing(bool slide);
  void StartCountdown();

  PopupLayout layout_;
  bool slideIn_;
  bool slideOutFlag_;
  bool webPage_;
  int countdown_;  // seconds shown; 0: no countdown
  PopupPhase phase_ = PopupPhase::kOpening;
  bool visible_ = false;
  int top_;
  int alpha_;
  int secondsLeft_ = 0;
  bool animating_ = false;
  bool counting_ = false;
  bool hovered_ = false;
  bool closeBySlide_ = false;
  bool highlightOn_ = false;
  int highlight_ = 0;
};

}  // namespace adverts
