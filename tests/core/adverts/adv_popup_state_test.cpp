#include "adverts/adv_popup_state.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using adverts::PopupAnimation;
using adverts::PopupPhase;

AdvertRecord Advert(int showtimeMs) {
  AdvertRecord a;
  a.type = 1;
  a.showtime = showtimeMs;
  return a;
}

// Ticks the 30 ms timer until it stops; returns how many ticks it took.
int RunAnimation(PopupAnimation& p) {
  int ticks = 0;
  while (p.animating() && ticks < 10000) {
    p.OnAnimationTick();
    ++ticks;
  }
  return ticks;
}

TEST(AdvPopupState, SlidesUpCountsDownThenFadesOutAndIsGone) {
  AdvertRecord a = Advert(2500);
  adverts::PopupLayout l = adverts::LayoutPopup(a, 1024, 768);
  PopupAnimation p(l, a, false);
  EXPECT_FALSE(p.visible());
  p.Start();
  EXPECT_TRUE(p.visible());
  EXPECT_EQ(p.top(), 768);
  EXPECT_TRUE(p.countingDown());
  EXPECT_EQ(p.secondsLeft(), 3);  // 2500 ms: two whole seconds and one more
  RunAnimation(p);
  EXPECT_EQ(p.top(), l.finalTop);
  EXPECT_EQ(p.phase(), PopupPhase::kShown);
  p.OnCountdownTick();
  p.OnCountdownTick();
  EXPECT_EQ(p.phase(), PopupPhase::kShown);
  EXPECT_FALSE(p.animating());
  p.OnCountdownTick();  // below one second left: closing by fading
  EXPECT_EQ(p.phase(), PopupPhase::kClosing);
  EXPECT_FALSE(p.countingDown());
  EXPECT_TRUE(p.animating());
  EXPECT_EQ(RunAnimation(p), 32);  // 255 down to 0 in steps of 8
  EXPECT_EQ(p.alpha(), 0);
  EXPECT_EQ(p.top(), l.finalTop);  // faded where it stood
  EXPECT_EQ(p.phase(), PopupPhase::kGone);
  EXPECT_FALSE(p.visible());
}

TEST(AdvPopupState, WithoutShowtimeItStaysUntilClosedAndTheCloseButtonSlidesItDown) {
  AdvertRecord a = Advert(0);
  a.slideIn = false;  // fades in where it stands
  adverts::PopupLayout l = adverts::LayoutPopup(a, 800, 600);
  PopupAnimation p(l, a, false);
  p.Start();
  EXPECT_FALSE(p.countingDown());
  EXPECT_EQ(p.alpha(), 0);
  EXPECT_EQ(RunAnimation(p), 32);
  EXPECT_EQ(p.alpha(), 255);
  EXPECT_EQ(p.top(), l.finalTop);
  for (int i = 0; i < 100; ++i) p.OnCountdownTick();
  EXPECT_EQ(p.phase(), PopupPhase::kShown);
  p.CloseBySlide();
  EXPECT_TRUE(p.closingBySlide());
  RunAnimation(p);
  EXPECT_EQ(p.top(), 600);
  EXPECT_EQ(p.phase(), PopupPhase::kGone);
}

TEST(AdvPopupState, HoverPausesAndLeaveResumesWithTheSecondsLeft) {
  AdvertRecord a = Advert(5000);
  adverts::PopupLayout l = adverts::LayoutPopup(a, 1024, 768);
  PopupAnimation p(l, a, false);
  p.Start();
  p.OnAnimationTick();  // part way up
  const int halfway = p.top();
  p.OnCountdownTick();
  p.OnHover();
  EXPECT_FALSE(p.animating());
  EXPECT_FALSE(p.countingDown());
  p.OnAnimationTick();
  p.OnCountdownTick();
  EXPECT_EQ(p.top(), halfway);
  EXPECT_EQ(p.secondsLeft(), 5);
  p.OnLeave();
  EXPECT_TRUE(p.countingDown());
  EXPECT_EQ(p.secondsLeft(), 5);
  EXPECT_TRUE(p.animating());  // the slide-in the pointer stopped finishes
  RunAnimation(p);
  EXPECT_EQ(p.top(), l.finalTop);

  // Hovering while it fades out makes it opaque again; leaving fades on from there.
  for (int i = 0; i < 5; ++i) p.OnCountdownTick();
  p.OnAnimationTick();
  EXPECT_LT(p.alpha(), 255);
  p.OnHover();
  EXPECT_EQ(p.alpha(), 255);
  EXPECT_EQ(p.phase(), PopupPhase::kClosing);
  p.OnLeave();
  EXPECT_FALSE(p.countingDown());
  EXPECT_EQ(RunAnimation(p), 32);
  EXPECT_EQ(p.phase(), PopupPhase::kGone);
}

TEST(AdvPopupState, AWebPageWaitsHiddenForItsPageAndAlwaysSlides) {
  AdvertRecord a = Advert(1000);
  a.type = 3;
  a.slideIn = false;
  adverts::PopupLayout l = adverts::LayoutPopup(a, 1024, 768);
  PopupAnimation p(l, a, true);
  p.Start();
  EXPECT_FALSE(p.visible());
  EXPECT_FALSE(p.countingDown());
  EXPECT_FALSE(p.animating());
  p.OnHover();  // nothing to hover yet
  EXPECT_FALSE(p.visible());
  p.PageLoaded();
  EXPECT_TRUE(p.visible());
  EXPECT_EQ(p.top(), 768);
  EXPECT_EQ(p.alpha(), 255);
  EXPECT_EQ(p.secondsLeft(), 2);
  RunAnimation(p);
  p.OnCountdownTick();
  p.OnCountdownTick();
  EXPECT_TRUE(p.closingBySlide());  // a web page leaves by sliding, not fading
  RunAnimation(p);
  EXPECT_EQ(p.top(), 768);
  EXPECT_EQ(p.phase(), PopupPhase::kGone);
  p.PageLoaded();  // a late completion brings nothing back
  EXPECT_FALSE(p.visible());
}

TEST(AdvPopupState, CloseHighlightMovesByTwentyTowardsItsTarget) {
  AdvertRecord a = Advert(0);
  PopupAnimation p(adverts::LayoutPopup(a, 1024, 768), a, false);
  p.SetHighlightTarget(true);
  int ticks = 0;
  while (p.highlightAnimating()) {
    p.OnHighlightTick();
    ++ticks;
  }
  EXPECT_EQ(p.highlight(), 255);
  EXPECT_EQ(ticks, 13);
  p.SetHighlightTarget(false);
  p.OnHighlightTick();
  EXPECT_EQ(p.highlight(), 235);
  p.Start();
  p.OnHover();
  p.OnLeave();  // leaving switches the highlight off
  while (p.highlightAnimating()) p.OnHighlightTick();
  EXPECT_EQ(p.highlight(), 0);
}

TEST(AdvPopupState, OnlyWebAddressesAreOpenedOrShown) {
  AdvertRecord a;
  a.htmlurl = u"page.html";  // relative: a file in the data folder
  EXPECT_EQ(adverts::AdvertPageAddress(a), u"");
  a.htmlurl = u"file:///C:/x.html";
  EXPECT_EQ(adverts::AdvertPageAddress(a), u"");
  a.htmlurl = u"HTTPS://ads.example/p?id=1";
  EXPECT_EQ(adverts::AdvertPageAddress(a), u"HTTPS://ads.example/p?id=1");
  EXPECT_EQ(adverts::AdvertOpenableAddress(u"javascript:alert(1)"), u"");
  EXPECT_EQ(adverts::AdvertOpenableAddress(u"C:\\Windows\\notepad.exe"), u"");
  EXPECT_EQ(adverts::AdvertOpenableAddress(u"http://ads.example/a"), u"http://ads.example/a");
}

}  // namespace

namespace {

TEST(DueAdverts, AdvertsDueTogetherShowOneAfterAnotherAndAFailedOneGivesWay) {
  adverts::DueAdverts due;
  std::vector<int32_t> shown;
  bool open = false;
  auto show = [&](const AdvertRecord& a) {
    shown.push_back(a.id);
    open = a.id != 3;  // advert 3 cannot be shown
    return open;
  };
  AdvertRecord text = Advert(5000), page = Advert(5000);
  text.id = 1;
  page.id = 2;
  page.type = 3;
  due.Add(text);
  due.Add(page);
  EXPECT_EQ(due.ShowNext(open, show), 1);
  EXPECT_EQ(shown, (std::vector<int32_t>{1}));
  EXPECT_EQ(due.ShowNext(open, show), 0);  // the first is still on screen: the second waits
  EXPECT_EQ(due.waiting(), 1u);
  open = false;  // the first closed
  EXPECT_EQ(due.ShowNext(open, show), 1);
  EXPECT_EQ(shown, (std::vector<int32_t>{1, 2}));
  // One that cannot be shown leaves the popup free for the next at once.
  open = false;
  AdvertRecord broken = Advert(0), next = Advert(0);
  broken.id = 3;
  next.id = 4;
  due.Add(broken);
  due.Add(next);
  EXPECT_EQ(due.ShowNext(open, show), 2);
  EXPECT_EQ(shown, (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(due.waiting(), 0u);
  // However many come due behind an advert left on screen, the oldest beyond the limit go.
  for (int32_t id = 100; id < 100 + static_cast<int32_t>(adverts::DueAdverts::kMaxWaiting) + 5; ++id) {
    AdvertRecord a = Advert(0);
    a.id = id;
    due.Add(a);
  }
  EXPECT_EQ(due.waiting(), adverts::DueAdverts::kMaxWaiting);
  open = false;
  shown.clear();
  due.ShowNext(open, show);
  EXPECT_EQ(shown, (std::vector<int32_t>{105}));
}

}  // namespace
