// The advert popup's life without its window: opening (slide or fade), the countdown of
// its display time, the pause while the pointer is over it, closing (slide or fade) and
// the close button's highlight. The window turns timer ticks and mouse notices into calls
// and the state into timers, position and opacity.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>

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

// Adverts that came due wait their turn for the one popup, in the order they came due:
// one shown while another is still on screen would close it unseen.
class DueAdverts {
 public:
  // Waiting at most; beyond it the oldest waiting advert gives way.
  static constexpr size_t kMaxWaiting = 64;

  void Add(const AdvertRecord& advert);
  // Shows waiting adverts, oldest first, while no popup is open: `show` returns false for
  // an advert that could not be shown, and the next one is tried at once. Returns how
  // many were handed to `show`.
  int ShowNext(bool popupOpen, const std::function<bool(const AdvertRecord&)>& show);
  size_t waiting() const { return waiting_.size(); }

 private:
  std::deque<AdvertRecord> waiting_;
};

}  // namespace adverts
