#include "adverts/adv_popup_layout.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using adverts::PopupRect;

TEST(AdvPopupLayout, DefaultSizeSitsAtTheLowerRightWithItsParts) {
  AdvertRecord a;
  a.width = 0;
  a.height = 300;
  adverts::PopupLayout l = adverts::LayoutPopup(a, 1024, 768);
  EXPECT_EQ(l.width, 250);
  EXPECT_EQ(l.height, 180);
  EXPECT_EQ(l.left, 1024 - 250 - 20);
  EXPECT_EQ(l.finalTop, 768 - 180 - 40);
  EXPECT_EQ(l.startTop, 768);  // slides up from below the screen, opaque
  EXPECT_EQ(l.startAlpha, 255);
  EXPECT_EQ(l.content, (PopupRect{20, 35, 230, 143}));
  EXPECT_EQ(l.closeButton, (PopupRect{209, 1, 248, 21}));
  EXPECT_EQ(l.title, (PopupRect{7, 7, 207, 35}));
  EXPECT_EQ(l.viewButton, (PopupRect{180, 155, 240, 172}));
  EXPECT_EQ(l.browser, (PopupRect{5, 35, 245, 143}));
  EXPECT_EQ(l.bottomBar, (PopupRect{2, 148, 248, 178}));
  EXPECT_EQ(l.dottedLineY, 146);
  a.slideIn = false;
  l = adverts::LayoutPopup(a, 1024, 768);
  EXPECT_EQ(l.startTop, l.finalTop);
  EXPECT_EQ(l.startAlpha, 0);
}

TEST(AdvPopupLayout, ServerSizesAndOffsetsStayOnScreenAndInsideTheWindow) {
  AdvertRecord a;
  a.width = 5000;
  a.height = 20;
  a.xoffset = INT_MAX;
  a.yoffset = INT_MIN;
  adverts::PopupLayout l = adverts::LayoutPopup(a, 800, 600);
  EXPECT_EQ(l.width, 800);
  EXPECT_EQ(l.height, 100);
  EXPECT_EQ(l.content, (PopupRect{780, 0, 780, 63}));
  a.width = 300;
  a.height = 200;
  a.xoffset = 10;
  a.yoffset = 5;
  l = adverts::LayoutPopup(a, 800, 600);
  EXPECT_EQ(l.content, (PopupRect{30, 40, 280, 163}));
}

TEST(AdvPopupLayout, SlideAndFadeSteps) {
  AdvertRecord a;
  adverts::PopupLayout l = adverts::LayoutPopup(a, 1024, 768);
  bool done = false;
  int top = adverts::SlideInStep(l, l.startTop, &done);
  EXPECT_EQ(top, 768 - 45);  // first step 45, then 15
  EXPECT_FALSE(done);
  EXPECT_EQ(adverts::SlideInStep(l, top, &done), 768 - 60);
  int steps = 1;
  while (!done && steps < 100) top = adverts::SlideInStep(l, top, &done), ++steps;
  EXPECT_EQ(top, l.finalTop);
  EXPECT_EQ(adverts::SlideOutStep(l, l.finalTop, &done), l.finalTop + 22);
  EXPECT_FALSE(done);
  EXPECT_EQ(adverts::SlideOutStep(l, 760, &done), 768);
  EXPECT_TRUE(done);
  EXPECT_EQ(adverts::FadeInStep(250, &done), 255);
  EXPECT_TRUE(done);
  EXPECT_EQ(adverts::FadeOutStep(8, &done), 0);
  EXPECT_TRUE(done);
  EXPECT_EQ(adverts::FadeOutStep(100, &done), 92);
  EXPECT_FALSE(done);
}

TEST(AdvPopupLayout, CaptionCountdownAndPictures) {
  AdvertRecord a;
  EXPECT_EQ(adverts::PopupCaption(a), u"Dorvane");
  a.title = u"T";
  EXPECT_EQ(adverts::PopupCaption(a), u"T");
  EXPECT_EQ(adverts::CountdownSeconds(a), 0);
  a.showtime = 5000;
  EXPECT_EQ(adverts::CountdownSeconds(a), 6);
  const PopupRect box{20, 35, 230, 143};  // 210 x 108
  EXPECT_EQ(adverts::FitPicture(100, 50, box), (PopupRect{75, 64, 175, 114}));   // fits: centred
  EXPECT_EQ(adverts::FitPicture(420, 108, box), (PopupRect{20, 62, 230, 116}));  // wide: 210 x 54
  EXPECT_EQ(adverts::FitPicture(50, 216, box), (PopupRect{112, 35, 137, 143}));  // tall: 25 x 108
  EXPECT_EQ(adverts::FitPicture(0, 10, box).width(), 0);
  EXPECT_EQ(adverts::PictureSquare(box), (PopupRect{20, 35, 106, 121}));
  EXPECT_EQ(adverts::TextBesidePicture(box), (PopupRect{116, 35, 230, 143}));
}

}  // namespace
