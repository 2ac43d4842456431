#include "adverts/adv_popup_state.h"

#include <algorithm>

namespace adverts {

PopupAnimation::PopupAnimation(const PopupLayout& layout, const AdvertRecord& advert, bool webPage)
    : layout_(layout),
      slideIn_(advert.slideIn || webPage),
      slideOutFlag_(advert.slideOut),
      webPage_(webPage),
      countdown_(CountdownSeconds(advert)),
      top_(slideIn_ ? layout.screenHeight : layout.finalTop),
      alpha_(slideIn_ ? 255 : 0) {}

void PopupAnimation::Start() {
  if (phase_ != PopupPhase::kOpening || visible_) return;
  if (webPage_) {
    counting_ = false;  // the display time runs once the page is there
    return;
  }
  visible_ = true;
  animating_ = true;
  StartCountdown();
}

void PopupAnimation::PageLoaded() {
  if (!webPage_ || phase_ != PopupPhase::kOpening || visible_) return;
  visible_ = true;
  animating_ = true;
  StartCountdown();
}

void PopupAnimation::StartCountdown() {
  secondsLeft_ = countdown_;
  counting_ = secondsLeft_ > 0;
}

void PopupAnimation::OnAnimationTick() {
  if (!animating_) return;
  bool done = false;
  if (phase_ == PopupPhase::kOpening) {
    if (slideIn_) {
      top_ = SlideInStep(layout_, top_, &done);
    } else {
      alpha_ = FadeInStep(alpha_, &done);
    }
    if (done) {
      phase_ = PopupPhase::kShown;
      animating_ = false;
    }
  } else if (phase_ == PopupPhase::kClosing) {
    if (closeBySlide_) {
      top_ = SlideOutStep(layout_, top_, &done);
    } else {
      alpha_ = FadeOutStep(alpha_, &done);
    }
    if (done) {
      phase_ = PopupPhase::kGone;
      animating_ = counting_ = visible_ = false;
    }
  } else {
    animating_ = false;
  }
}

void PopupAnimation::OnCountdownTick() {
  if (!counting_) return;
  if (--secondsLeft_ >= 1) return;
  counting_ = false;
  BeginClosing(webPage_ || slideOutFlag_);
}

void PopupAnimation::BeginClosing(bool slide) {
  if (phase_ == PopupPhase::kGone) return;
  phase_ = PopupPhase::kClosing;
  closeBySlide_ = slide;
  animating_ = !hovered_;
}

void PopupAnimation::OnHover() {
  if (!visible_) return;
  hovered_ = true;
  animating_ = counting_ = false;
  alpha_ = 255;
}

void PopupAnimation::OnLeave() {
  highlightOn_ = false;
  if (!visible_ || !hovered_) return;
  hovered_ = false;
  if (phase_ == PopupPhase::kClosing) {
    animating_ = true;
    return;
  }
  // A slide-in stopped half way by the pointer finishes, or the popup would stay cut off.
  if (phase_ == PopupPhase::kOpening) animating_ = true;
  if (countdown_ > 0 && secondsLeft_ >= 1) counting_ = true;
}

void PopupAnimation::CloseBySlide() {
  if (phase_ == PopupPhase::kGone) return;
  slideOutFlag_ = true;
  counting_ = false;
  hovered_ = false;  // the click ends the pause: the popup leaves now
  BeginClosing(true);
}

void PopupAnimation::OnHighlightTick() {
  const int target = highlightOn_ ? 255 : 0;
  if (highlight_ < target) highlight_ = std::min(highlight_ + kHighlightStep, target);
  else if (highlight_ > target) highlight_ = std::max(highlight_ - kHighlightStep, target);
}

void DueAdverts::Add(const AdvertRecord& advert) {
  if (waiting_.size() >= kMaxWaiting) waiting_.pop_front();
  waiting_.push_back(advert);
}

int DueAdverts::ShowNext(bool popupOpen, const std::function<bool(const AdvertRecord&)>& show) {
  int handed = 0;
  while (!popupOpen && !waiting_.empty()) {
    AdvertRecord next = std::move(waiting_.front());
    waiting_.pop_front();
    ++handed;
    popupOpen = show && show(next);
  }
  return handed;
}

}  // namespace adverts
