#include "richtext/rich_draw.h"

#include <gtest/gtest.h>

#include <string>

#include "core/richtext/rich_fakes.h"

using namespace richtext;
using rtfake::FakeBitmap;
using rtfake::FakeHost;
using rtfake::kNarrow;
using rtfake::MakeEngine;

namespace {

constexpr int kH9 = 12;   // character height at 9 points
constexpr int kH10 = 13;  // 10 points: the default line height

std::u16string Chars(const CRichDraw& e) {
  std::u16string s;
  for (int i = 0; i < e.GetItemCount(); ++i) s += e.GetItem(i).IsText() ? e.GetItem(i).ch : u'#';
  return s;
}

TEST(RichDrawFonts, SizeAndHeightFormulas) {
  EXPECT_EQ(CRichDraw::FontHeightFromSize(90, 96), -12);
  EXPECT_EQ(CRichDraw::FontHeightFromSize(100, 96), -13);
  EXPECT_EQ(CRichDraw::FontHeightFromSize(105, 96), -13);  // half points fall to the point below
  EXPECT_EQ(CRichDraw::FontHeightFromSize(120, 120), -20);
  EXPECT_EQ(CRichDraw::SizeFromFontHeight(-13, 96), 100);
  EXPECT_EQ(CRichDraw::SizeFromFontHeight(-12, 96), 90);
  EXPECT_EQ(CRichDraw::SizeFromFontHeight(-16, 96), 120);
  auto e = MakeEngine();
  EXPECT_EQ(e->GetDefaultFont().height, -13);
  EXPECT_EQ(e->GetDefaultFont().face, u"宋体");
  EXPECT_EQ(e->GetDefaultLineHeight(), kH10);
}

TEST(RichDrawLayout, CrLfAndLoneCrEndLines) {
  auto e = MakeEngine();
  e->SetRect(0, 0, 200, 100);
  e->SetHtml(u"a\r\nb");
  ASSERT_EQ(e->GetItemCount(), 4);
  ASSERT_EQ(e->GetLines().size(), 2u);
  EXPECT_EQ(e->GetItem(1).width, 0);
  EXPECT_EQ(e->GetItem(2).width, 0);
  EXPECT_EQ(e->GetLines()[0].first, 0);
  EXPECT_EQ(e->GetLines()[0].last, 2);
  EXPECT_EQ(e->GetLines()[1].first, 3);
  EXPECT_EQ(e->GetItem(3).x, 0);
  // The first line is exactly as tall as its tallest item; the line after a break is
  // never lower than the default line height.
  EXPECT_EQ(e->GetLines()[0].bottom, kH9 + 2);
  EXPECT_EQ(e->GetItem(3).top, kH9 + 2);
  EXPECT_EQ(e->GetItem(3).y, kH9 + 2 + kH10 - kH9);
  EXPECT_EQ(e->GetContentHeight(), kH9 + 2 + kH10 + 2);

  e->SetHtml(u"a\rb\nc");
  ASSERT_EQ(e->GetLines().size(), 3u);
  EXPECT_EQ(e->GetItem(2).x, 0);
  EXPECT_EQ(e->GetItem(4).x, 0);

  // A line holding only a newline has the default height; a trailing newline leaves an
  // empty last line that counts.
  e->SetHtml(u"a<br><br>");
  ASSERT_EQ(e->GetLines().size(), 3u);
  EXPECT_EQ(e->GetLines()[1].bottom - e->GetLines()[1].top, kH10 + 2);
  EXPECT_GT(e->GetLines()[2].first, e->GetLines()[2].last);
  EXPECT_EQ(e->GetContentHeight(), (kH9 + 2) + 2 * (kH10 + 2));
}

TEST(RichDrawLayout, WrapsBetweenAnyCharacters) {
  auto e = MakeEngine();
  e->SetRect(0, 0, 50, 100);
  e->SetHtml(u"abcdefghij");
  // 6 x 8 = 48 fits; a seventh character would reach the right edge.
  ASSERT_EQ(e->GetLines().size(), 2u);
  EXPECT_EQ(e->GetLines()[0].last, 5);
  EXPECT_EQ(e->GetLines()[1].first, 6);
  EXPECT_EQ(e->GetItem(6).x, 0);
  EXPECT_EQ(e->GetItem(6).top, kH9 + 2);  // a wrapped line takes its tallest item's height
  EXPECT_EQ(e->GetItem(5).x, 40);

  // An item at least as wide as the view is preceded by an empty line of default height.
  e->SetHtml(u"<img src=\"p.png\" width=\"60\" height=\"20\">x");
  ASSERT_EQ(e->GetLines().size(), 3u);
  EXPECT_EQ(e->GetItem(0).top, kH10 + 2);
  EXPECT_EQ(e->GetItem(1).top, kH10 + 2 + 20 + 2);

  // Items of different heights sit on the line's common bottom.
  e->SetRect(0, 0, 200, 100);
  e->SetHtml(u"a<font size=\"20\">B</font>c");
  int bottom = e->GetItem(1).y + e->GetItem(1).height;
  EXPECT_EQ(e->GetItem(0).y + e->GetItem(0).height, bottom);
  EXPECT_EQ(e->GetItem(2).y + e->GetItem(2).height, bottom);
  EXPECT_EQ(e->GetItem(0).y, e->GetItem(1).height - kH9);
}

TEST(RichDrawLayout, CenteredLines) {
  auto e = MakeEngine();
  e->SetRect(10, 0, 110, 100);
  e->SetCentered(1);  // nothing to lay out yet
  EXPECT_TRUE(e->GetLines().empty());
  e->SetHtml(u"ab<br>wxyz");
  EXPECT_EQ(e->GetItem(0).x, 10 + (100 - 16) / 2);
  EXPECT_EQ(e->GetItem(1).x, 10 + (100 - 16) / 2 + kNarrow);
  EXPECT_EQ(e->GetItem(4).x, 10 + (100 - 32) / 2);
  e->SetCentered(0);
  EXPECT_EQ(e->GetItem(0).x, 10);
  EXPECT_EQ(e->GetItem(4).x, 10);
}

TEST(RichDrawContent, ItemLimitAndInsertPositions) {
  auto e = MakeEngine();
  e->SetRect(0, 0, 200, 100);
  e->SetHtml(std::u16string(25000, u'x'));
  EXPECT_EQ(e->GetItemCount(), kItemLimit);
  e->InsertText(u"yy", 0, TextStyle{});
  EXPECT_EQ(e->GetItemCount(), kItemLimit);
  e->InsertImage(u"a.png", 5, 5, nullptr, 0);
  EXPECT_EQ(e->GetItemCount(), kItemLimit);

  e->SetHtml(u"ad");
  e->InsertHtml(u"<font color=\"#ff0000\">b</font><img src=\"i\" width=\"3\" height=\"4\">c", 1);
  EXPECT_EQ(Chars(*e), u"ab#cd");
  EXPECT_EQ(e->GetItem(1).color, 0x0000FFu);
  e->InsertText(u"!", 99, TextStyle{});  // positions are clamped
  e->InsertText(u"?", -5, TextStyle{});
  EXPECT_EQ(Chars(*e), u"?ab#cd!");
  e->InsertImage(u"", 3, 3, nullptr, 0);  // no source: nothing
  EXPECT_EQ(e->GetItemCount(), 7);

  // Markup without any content is kept as text that stands out: bold, colour 90 on black.
  e->SetDefaultColor(0x123456);
  e->SetHtml(u"<b></b>");
  EXPECT_EQ(Chars(*e), u"<b></b>");
  EXPECT_EQ(e->GetItem(0).color, 90u);
  EXPECT_EQ(e->GetItem(0).bold, 1);
  EXPECT_EQ(e->GetItem(0).transparent, 0);
  EXPECT_EQ(e->GetItem(0).background, 0u);
  EXPECT_EQ(e->GetItem(0).size, e->GetDefaultSize());
  EXPECT_EQ(*e->GetItem(0).face, u"宋体");
  EXPECT_FALSE(e->GetItem(0).link);
}

TEST(RichDrawContent, StylesFromHtml) {
  auto e = MakeEngine();
  e->SetRect(0, 0, 200, 100);
  e->SetDefaultColor(0x00AA00);
  e->SetHtml(u"p<font color=\"#0000ff\" size=\"12\" bold=\"1\" face=\"Arial\" "
             u"style=\"background-color:#ffffff\">q</font><a href=\"L\">rs</a>");
  const RichItem& p = e->GetItem(0);
  EXPECT_EQ(p.color, 0u);  // outside any font tag: the node's own defaults
  EXPECT_EQ(p.size, 90);
  ASSERT_TRUE(p.face);
  EXPECT_EQ(*p.face, u"宋体");
  EXPECT_EQ(p.transparent, 1);
  const RichItem& q = e->GetItem(1);
  EXPECT_EQ(q.color, 0xFF0000u);
  EXPECT_EQ(q.size, 120);
  EXPECT_EQ(q.height, 16);
  EXPECT_EQ(q.width, kNarrow + 1);  // bold
  EXPECT_EQ(*q.face, u"Arial");
  EXPECT_EQ(q.transparent, 0);
  EXPECT_EQ(q.background, 0xFFFFFFu);
  // Items of one run share one link string.
  ASSERT_TRUE(e->GetItem(2).link);
  EXPECT_EQ(e->GetItem(2).link.get(), e->GetItem(3).link.get());
  EXPECT_EQ(*e->GetItem(2).link, u"L");
  EXPECT_EQ(e->GetItem(2).underline, 0);  // links are not underlined until highlighted
}

TEST(RichDrawLinks, DetectsAddressesWithoutMarkup) {
  auto e = MakeEngine();
  e->SetRect(0, 0, 2000, 100);
  e->SetHtml(u"see www.Ex-a.com/p now and HTTP://Q.org\r\nend 新www.x");
  std::u16string chars = Chars(*e);
  size_t w = chars.find(u"www.Ex");
  for (size_t i = 0; i < 14; ++i) {
    const RichItem& it = e->GetItem(static_cast<int>(w + i));
    ASSERT_TRUE(it.link) << i;
    EXPECT_EQ(*it.link, u"www.ex-a.com/p");
    EXPECT_EQ(it.underline, 1);
  }
  EXPECT_EQ(e->GetItem(static_cast<int>(w)).ch, u'w');
  EXPECT_EQ(e->GetItem(static_cast<int>(w + 3)).ch, u'.');
  EXPECT_EQ(e->GetItem(static_cast<int>(w + 4)).ch, u'E');  // characters keep their case
  EXPECT_FALSE(e->GetItem(static_cast<int>(w - 1)).link);
  EXPECT_FALSE(e->GetItem(static_cast<int>(w + 14)).link);
  size_t h = chars.find(u"HTTP");
  ASSERT_TRUE(e->GetItem(static_cast<int>(h)).link);
  EXPECT_EQ(*e->GetItem(static_cast<int>(h)).link, u"http://q.org");  // stops at CR
  size_t x = chars.find(u"www.x");
  ASSERT_TRUE(e->GetItem(static_cast<int>(x)).link);
  EXPECT_EQ(*e->GetItem(static_cast<int>(x)).link, u"www.x");

  // A detected address replaces an explicit link; edits that break the address drop it.
  e->SetHtml(u"<a href=\"other\">go www.a.b</a>");
  EXPECT_EQ(*e->GetItem(0).link, u"other");
  EXPECT_EQ(*e->GetItem(3).link, u"www.a.b");
  e->InsertText(u" ", 7, TextStyle{});  // "www. a.b"
  EXPECT_EQ(*e->GetItem(3).link, u"www.");
  EXPECT_FALSE(e->GetItem(8).link);
  EXPECT_EQ(e->GetItem(8).underline, 0);
}

TEST(RichDrawLinks, HitTestAndLinkKinds) {
  FakeHost host;
  auto e = MakeEngine();
  e->Attach(&host);
  e->SetRect(0, 0, 200, 100);
  e->SetHtml(u"<a href=\"pic.JPG\"><img src=\"a\" width=\"10\" height=\"10\"></a>"
             u"<a href=\"http://h/x.jpg\">j</a><a href=\"page\">p</a>t<a href=\"x.jpeg.html\">h</a>");
  int kind = 0;
  const std::u16string* link = e->GetLinkAt(5, 5, &kind);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(*link, u"pic.JPG");
  EXPECT_EQ(kind, 2);  // the comparison is case-sensitive
  const RichItem& j = e->GetItem(1);
  ASSERT_NE(e->GetLinkAt(j.x, j.y, &kind), nullptr);
  EXPECT_EQ(kind, 1);
  const RichItem& p = e->GetItem(2);
  ASSERT_NE(e->GetLinkAt(p.x + 1, p.y + 1, &kind), nullptr);
  EXPECT_EQ(kind, 2);  // no dot at all
  const RichItem& t = e->GetItem(3);
  EXPECT_EQ(e->GetLinkAt(t.x, t.y, &kind), nullptr);
  const RichItem& h = e->GetItem(4);
  ASSERT_NE(e->GetLinkAt(h.x, h.y, &kind), nullptr);
  EXPECT_EQ(kind, 2);

  EXPECT_EQ(e->HitTest(p.x + kNarrow - 1, p.y), 2);
  EXPECT_EQ(e->HitTest(p.x + kNarrow, p.y), 3);  // right edges are exclusive
  EXPECT_EQ(e->HitTest(150, 5), -1);             // inside the view, past the text
  EXPECT_EQ(e->HitTest(-1, 5), -1);              // outside the view
  EXPECT_EQ(e->HitTest(5, 101), -1);
  EXPECT_EQ(e->HitTest(0, 2), 0);                // the image sits on the line's bottom
  EXPECT_EQ(e->HitTest(0, 1), -1);
}

TEST(RichDrawLinks, HighlightAndClear) {
  FakeHost host;
  auto e = MakeEngine();
  e->Attach(&host);
  e->SetRect(0, 0, 300, 100);
  e->SetHtml(u"<a href=\"u\">ab</a>cd<a href=\"v\">ef</a><a href=\"w\">g</a> www.z");
  e->HighlightLink(2, 0x111111);  // not a link: nothing
  EXPECT_EQ(e->GetItem(0).underline, 0);
  int before = host.invalidations;
  e->HighlightLink(1, 0x0000FF);
  EXPECT_GT(host.invalidations, before);
  EXPECT_EQ(e->GetItem(0).underline, 1);
  EXPECT_EQ(e->GetItem(0).color, 0x0000FFu);
  EXPECT_EQ(e->GetItem(1).color, 0x0000FFu);
  EXPECT_EQ(e->GetItem(2).underline, 0);
  before = host.invalidations;
  e->HighlightLink(0, 0x0000FF);  // already lit: no repaint
  EXPECT_EQ(host.invalidations, before);
  // The walk follows any link, so adjacent links light up together.
  e->HighlightLink(4, 0x00FF00);
  EXPECT_EQ(e->GetItem(6).color, 0x00FF00u);
  EXPECT_EQ(e->GetItem(6).underline, 1);

  e->ClearLinkHighlight(0x222222);
  for (int i : {0, 1, 4, 5, 6}) {
    EXPECT_EQ(e->GetItem(i).underline, 0) << i;
    EXPECT_EQ(e->GetItem(i).color, 0x222222u) << i;
  }
  EXPECT_EQ(e->GetItem(8).underline, 0);  // also the underline link detection gave
  EXPECT_EQ(e->GetItem(8).color, 0x222222u);
  EXPECT_EQ(e->GetItem(2).color, 0u);
  before = host.invalidations;
  e->ClearLinkHighlight(0x222222);  // nothing left to clear: no repaint
  EXPECT_EQ(host.invalidations, before);
}

TEST(RichDrawScroll, ClampsToContent) {
  FakeHost host;
  host.vscroll = true;
  auto e = MakeEngine();
  e->Attach(&host);
  e->SetRect(0, 0, 200, 100);
  std::u16string text;
  for (int i = 0; i < 20; ++i) text += u"line<br>";
  e->SetHtml(text);
  int content = e->GetContentHeight();
  ASSERT_GT(content, 100);
  e->ScrollTo(0, -100000);
  EXPECT_EQ(e->GetScrollPos(), 100 - content);
  e->ScrollTo(0, 50);
  EXPECT_EQ(e->GetScrollPos(), 0);
  e->ScrollBy(30);
  EXPECT_EQ(e->GetScrollPos(), -30);
  EXPECT_EQ(host.scrollPos, 30);
  e->OnMouseWheel(static_cast<int32_t>(0xFF880000u));  // toward the user: later content
  EXPECT_EQ(e->GetScrollPos(), -30 - kH10);
  EXPECT_EQ(host.scrollPos, 30 + kH10);
  for (int i = 0; i < 4; ++i) e->OnMouseWheel(0x00780000);
  EXPECT_EQ(e->GetScrollPos(), 0);
  int repaints = host.invalidations;
  e->OnMouseWheel(0x00780000);  // already at the top
  EXPECT_EQ(host.invalidations, repaints);
  e->SetEnabled(0);
  e->OnMouseWheel(static_cast<int32_t>(0xFF880000u));
  EXPECT_EQ(e->GetScrollPos(), 0);
  e->SetEnabled(1);

  // Content shorter than the view never scrolls, and new content resets what no longer fits.
  e->ScrollTo(0, -60);
  e->SetHtml(u"short");
  EXPECT_EQ(e->GetScrollPos(), 0);
  e->ScrollBy(40);
  EXPECT_EQ(e->GetScrollPos(), 0);
  // SetRect scrolls back to the top.
  e->SetHtml(text);
  e->ScrollTo(0, -50);
  e->SetRect(0, 0, 200, 100);
  EXPECT_EQ(e->GetScrollPos(), 0);
}

class DragScroll : public ::testing::Test {
 protected:
  void SetUp() override {
    e_->Attach(&host_);
    e_->SetRect(0, 0, 200, 100);
    e_->SetDragScroll(1);
    std::u16string text;
    for (int i = 0; i < 20; ++i) text += u"line<br>";
    e_->SetHtml(text);
    content_ = e_->GetContentHeight();
  }
  // Runs the glide timer until it stops (or a step limit is hit).
  int Glide() {
    int steps = 0;
    while (host_.HasTimer(kTimerGlide) && steps < 1000) {
      e_->OnTimer(kTimerGlide);
      ++steps;
    }
    return steps;
  }
  FakeHost host_;
  std::unique_ptr<CRichDraw> e_ = MakeEngine();
  int content_ = 0;
};

TEST_F(DragScroll, PulledBeyondTheTopGlidesBack) {
  host_.leftDown = true;
  e_->OnLButtonDown(kMouseLeftButton, 50, 10);
  e_->OnMouseMove(kMouseLeftButton, 50, 90);  // pull down by 80: target 120, cut to 30
  EXPECT_TRUE(host_.HasTimer(kTimerGlide));
  for (int i = 0; i < 40; ++i) e_->OnTimer(kTimerGlide);
  // Within 30 % of the view beyond the top, never more (the glide rests a few pixels short).
  EXPECT_GE(e_->GetScrollPos(), 25);
  EXPECT_LE(e_->GetScrollPos(), 30);
  EXPECT_EQ(host_.glideRestPosts, 0);
  host_.leftDown = false;
  e_->OnLButtonUp(0, 50, 90);
  Glide();
  EXPECT_EQ(e_->GetScrollPos(), 0);
  EXPECT_FALSE(host_.HasTimer(kTimerGlide));
  EXPECT_EQ(host_.glideRestPosts, 1);
}

TEST_F(DragScroll, PulledBeyondTheBottomGlidesBackAndReleaseOutsideIsNoticed) {
  host_.leftDown = true;
  e_->OnLButtonDown(kMouseLeftButton, 50, 90);
  for (int y = 80; y >= -400; y -= 40) e_->OnMouseMove(kMouseLeftButton, 50, y);
  for (int i = 0; i < 60; ++i) e_->OnTimer(kTimerGlide);
  EXPECT_LT(e_->GetScrollPos(), 100 - content_);
  EXPECT_GE(e_->GetScrollPos(), -(content_ - 70));
  // The button goes up outside the window: the timer notices and ends the drag.
  host_.leftDown = false;
  Glide();
  EXPECT_EQ(e_->GetScrollPos(), 100 - content_);
  EXPECT_EQ(host_.glideRestPosts, 1);
}

TEST_F(DragScroll, NoGlideWhenEverythingFitsOrWithoutTheMode) {
  e_->SetHtml(u"short");
  host_.leftDown = true;
  e_->OnLButtonDown(kMouseLeftButton, 50, 10);
  e_->OnMouseMove(kMouseLeftButton, 50, 60);
  EXPECT_FALSE(host_.HasTimer(kTimerGlide));
  EXPECT_EQ(e_->GetScrollPos(), 0);

  std::u16string text;
  for (int i = 0; i < 20; ++i) text += u"line<br>";
  e_->SetHtml(text);
  e_->SetDragScroll(0);
  e_->OnLButtonDown(kMouseLeftButton, 50, 90);
  e_->OnMouseMove(kMouseLeftButton, 50, 10);
  EXPECT_FALSE(host_.HasTimer(kTimerGlide));
  // A move without the button held does not drag either.
  e_->SetDragScroll(1);
  e_->OnLButtonDown(kMouseLeftButton, 50, 90);
  e_->OnMouseMove(0, 50, 10);
  EXPECT_FALSE(host_.HasTimer(kTimerGlide));
}

TEST(RichDrawImages, LoadingFittingAndWithdrawal) {
  FakeHost host;
  auto e = MakeEngine();
  e->SetRect(0, 0, 200, 100);
  e->SetHtml(u"<img src=\"before.png\" width=\"20\" height=\"10\">");
  EXPECT_TRUE(host.loads.empty());  // detached: nothing to deliver to
  e->Attach(&host);
  ASSERT_EQ(host.loads.size(), 1u);
  EXPECT_EQ(host.loads[0].first, u"before.png");

  e->SetHtml(u"x<img src=\"a.png\" width=\"30\" height=\"20\"><img src=\"b.png\" width=\"5\" height=\"5\">");
  EXPECT_GE(host.cancels, 1);
  ASSERT_EQ(host.loads.size(), 2u);
  uint32_t tokenA = host.loads[0].second;
  uint32_t tokenB = host.loads[1].second;
  EXPECT_NE(tokenA, tokenB);

  // A loaded bitmap is scaled to the item's box.
  e->OnImageLoaded(tokenA, std::make_unique<FakeBitmap>(300, 150));
  const RichItem& a = e->GetItem(1);
  ASSERT_TRUE(a.displayBitmap);
  EXPECT_EQ(a.displayBitmap->Width(), 30);
  EXPECT_EQ(a.displayBitmap->Height(), 20);

  // SetRect refits loaded images into 80 % of the view width, kept within 40..150.
  e->SetRect(0, 0, 100, 100);
  EXPECT_EQ(e->GetMaxImageBox(), 80);
  EXPECT_EQ(a.width, 80);
  EXPECT_EQ(a.height, 40);
  EXPECT_EQ(a.displayBitmap->Width(), 80);
  EXPECT_EQ(e->GetItem(2).width, 5);  // not loaded: keeps its box
  e->SetRect(0, 0, 30, 100);
  EXPECT_EQ(e->GetMaxImageBox(), 40);
  e->SetRect(0, 0, 1000, 100);
  EXPECT_EQ(e->GetMaxImageBox(), 150);
  EXPECT_EQ(a.width, 150);
  EXPECT_EQ(a.height, 75);

  // After new content, late deliveries for the old items are dropped.
  e->SetHtml(u"<img src=\"c.png\" width=\"5\" height=\"5\">");
  e->OnImageLoaded(tokenB, std::make_unique<FakeBitmap>(5, 5));
  EXPECT_FALSE(e->GetItem(0).displayBitmap);

  // Boxes from markup are cut so coordinates cannot overflow.
  e->SetHtml(u"<img src=\"d\" width=\"99999999\" height=\"5\">");
  EXPECT_LE(e->GetItem(0).width, 10000);
}

TEST(RichDrawImages, FitImage) {
  EXPECT_EQ(CRichDraw::FitImage(50, 60, 80).cx, 50);
  EXPECT_EQ(CRichDraw::FitImage(50, 60, 80).cy, 60);
  EXPECT_EQ(CRichDraw::FitImage(160, 40, 80).cx, 80);
  EXPECT_EQ(CRichDraw::FitImage(160, 40, 80).cy, 20);
  EXPECT_EQ(CRichDraw::FitImage(40, 160, 80).cx, 20);
  EXPECT_EQ(CRichDraw::FitImage(40, 160, 80).cy, 80);
  EXPECT_EQ(CRichDraw::FitImage(100, 100, 80).cx, 80);
  EXPECT_EQ(CRichDraw::FitImage(100, 100, 80).cy, 80);
  EXPECT_EQ(CRichDraw::FitImage(100, 0, 80).cx, 80);
  EXPECT_EQ(CRichDraw::FitImage(100, 0, 80).cy, 0);
}

TEST(RichDrawFonts, DefaultFontFlagsAndColours) {
  auto e = MakeEngine();
  e->SetRect(0, 0, 400, 100);
  e->SetHtml(u"ab<font size=\"20\" face=\"Arial\">c</font>");
  FontDesc f;
  f.face = u"Tahoma";
  f.height = -16;
  f.weight = 700;
  f.italic = true;
  e->SetDefaultFont(f, 0);
  EXPECT_EQ(e->GetDefaultSize(), 120);
  EXPECT_EQ(e->GetDefaultLineHeight(), 16);
  EXPECT_EQ(e->GetItem(0).size, 90);  // flags 0: items keep their style
  EXPECT_EQ(e->GetItem(0).bold, 0);
  EXPECT_EQ(*e->GetItem(2).face, u"Arial");
  e->SetDefaultFont(f, CRichDraw::kApplySize | CRichDraw::kApplyBold | CRichDraw::kApplyFace);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(e->GetItem(i).size, 120);
    EXPECT_EQ(e->GetItem(i).bold, 1);
    EXPECT_EQ(e->GetItem(i).italic, 0);
    EXPECT_EQ(*e->GetItem(i).face, u"Tahoma");
    EXPECT_EQ(e->GetItem(i).height, 16);  // re-measured
    EXPECT_EQ(e->GetItem(i).width, kNarrow + 1);
  }
  // Text inserted later takes the new default face.
  e->InsertText(u"z", 3, TextStyle{});
  EXPECT_EQ(*e->GetItem(3).face, u"Tahoma");

  e->SetAllTextColor(0xABCDEF);
  for (int i = 0; i < e->GetItemCount(); ++i) EXPECT_EQ(e->GetItem(i).color, 0xABCDEFu);
}

TEST(RichDrawFonts, OneFontSelectionPerRun) {
  int selects = 0;
  auto e = MakeEngine(&selects);
  e->SetRect(0, 0, 400, 100);
  e->SetHtml(u"<font size=\"12\">" + std::u16string(500, u'a') + u"</font>" + std::u16string(500, u'b'));
  EXPECT_EQ(e->GetItemCount(), 1000);
  EXPECT_LE(selects, 2);
}

// Records what painting does, in order.
struct RecordingCanvas : Canvas {
  struct Char {
    int x, y;
    char16_t ch;
    ColorRef color;
    bool transparent;
    ColorRef back;
    FontDesc font;
  };
  std::vector<Char> chars;
  std::vector<std::pair<Rect, ColorRef>> fills;
  std::vector<Rect> bitmaps;
  Rect clip;
  int fontSelects = 0;
  FontDesc font;
  ColorRef text = 0x999999, back = 0x888888;
  bool transparent = false;

  void ClipTo(const Rect& r) override { clip = r; }
  void UseFont(const FontDesc& f) override {
    font = f;
    ++fontSelects;
  }
  ColorRef GetTextColor() override { return text; }
  ColorRef GetBackColor() override { return back; }
  bool IsBackTransparent() override { return transparent; }
  void SetTextColor(ColorRef c) override { text = c; }
  void SetBackColor(ColorRef c) override { back = c; }
  void SetBackTransparent(bool t) override { transparent = t; }
  void DrawChar(int x, int y, char16_t ch) override { chars.push_back({x, y, ch, text, transparent, back, font}); }
  void FillRect(const Rect& r, ColorRef c) override { fills.emplace_back(r, c); }
  void InvertRect(const Rect&) override {}
  void DrawBitmap(const Bitmap&, int x, int y, int w, int h) override { bitmaps.push_back(Rect{x, y, x + w, y + h}); }
};

TEST(RichDrawPaint, DrawsVisibleItemsInTheirStyle) {
  FakeHost host;
  auto e = MakeEngine();
  RecordingCanvas detached;
  e->Paint(detached);  // nothing painted while detached
  EXPECT_TRUE(detached.chars.empty());

  e->Attach(&host);
  e->SetRect(10, 5, 110, 40);
  e->SetHtml(u"a<font color=\"#ff0000\" style=\"background-color:#00ff00\" underline=\"1\">b</font>"
             u"<img src=\"i\" width=\"4\" height=\"4\"><br>l2<br>l3<br>l4<br>l5");
  e->OnImageLoaded(host.loads.at(0).second, std::make_unique<FakeBitmap>(4, 4));
  RecordingCanvas c;
  e->Paint(c);
  EXPECT_EQ(c.clip.left, 9);
  EXPECT_EQ(c.clip.right, 112);
  EXPECT_EQ(c.clip.top, 5);
  EXPECT_EQ(c.clip.bottom, 40);
  // Lines start at 5, 19, 34, 49: only those with a top at or above the view bottom are drawn.
  std::u16string drawn;
  for (auto& ch : c.chars) drawn += ch.ch;
  EXPECT_EQ(drawn, u"abl2l3");
  EXPECT_EQ(c.chars[0].x, 10);
  EXPECT_EQ(c.chars[0].y, e->GetItem(0).y);
  EXPECT_TRUE(c.chars[0].transparent);
  EXPECT_EQ(c.chars[0].color, 0u);
  EXPECT_EQ(c.chars[1].color, 0x0000FFu);
  EXPECT_FALSE(c.chars[1].transparent);
  EXPECT_EQ(c.chars[1].back, 0x00FF00u);
  EXPECT_TRUE(c.chars[1].font.underline);
  EXPECT_FALSE(c.chars[0].font.underline);
  EXPECT_EQ(c.chars[0].font.height, -12);
  EXPECT_EQ(c.chars[0].font.face, u"宋体");
  ASSERT_EQ(c.bitmaps.size(), 1u);
  EXPECT_EQ(c.bitmaps[0].left, 10 + 2 * kNarrow);

  // Scrolled: items move by the offset; those wholly above the surface are skipped.
  e->ScrollTo(0, -30);
  RecordingCanvas s;
  e->Paint(s);
  drawn.clear();
  for (auto& ch : s.chars) drawn += ch.ch;
  EXPECT_EQ(drawn, u"l2l3l4l5");
  EXPECT_EQ(s.chars[0].y, e->GetItem(5).y - 30);
}

TEST(RichDrawPaint, AHoverChangeRepaintsOnlyItsLines) {
  FakeHost host;
  auto e = MakeEngine();
  e->Attach(&host);
  e->SetRect(10, 5, 210, 45);
  e->SetHtml(u"<a href=\"http://one/\">one</a><br><a href=\"http://two/\">two</a><br>3<br>4<br>5<br>6");
  const RichLine& second = e->GetLines()[1];
  int two = 0;
  while (e->GetItem(two).ch != u't') ++two;
  host.areas.clear();
  e->HighlightLink(two, 0x0000FF);
  ASSERT_EQ(host.areas.size(), 1u);
  const Rect& r = host.areas[0];
  // The paint clip's width, the link's cells and a pixel above and below.
  EXPECT_EQ(r.left, 9);
  EXPECT_EQ(r.right, 212);
  EXPECT_EQ(r.top, e->GetItem(two).y - 1);
  EXPECT_EQ(r.bottom, e->GetItem(two).y + e->GetItem(two).height + 1);
  EXPECT_GE(r.top, second.top - 1);
  EXPECT_LE(r.bottom, second.bottom + 1);
  e->HighlightLink(two + 1, 0x0000FF);  // the same link again: nothing to repaint
  EXPECT_EQ(host.areas.size(), 1u);
  e->ClearLinkHighlight(0);
  ASSERT_EQ(host.areas.size(), 2u);
  EXPECT_EQ(host.areas[1].top, r.top);
  EXPECT_EQ(host.areas[1].bottom, r.bottom);

  // Scrolled so far that the link is above the view: the change shows nowhere.
  e->ScrollTo(0, -40);
  ASSERT_EQ(host.areas.size(), 3u);  // the scroll itself: the whole view, not the frame
  EXPECT_EQ(host.areas[2].top, 5);
  EXPECT_EQ(host.areas[2].bottom, 45);
  EXPECT_EQ(host.areas[2].left, 9);
  e->HighlightLink(two, 0x0000FF);
  EXPECT_EQ(host.areas.size(), 3u);
}

// Painting an area skips what lies wholly outside it.
TEST(RichDrawPaint, AnAreaPaintsOnlyItsLines) {
  FakeHost host;
  auto e = MakeEngine();
  e->Attach(&host);
  e->SetRect(0, 0, 200, 200);
  e->SetHtml(u"ab<br>cd<br>ef");
  const RichLine& middle = e->GetLines()[1];
  Rect area{0, middle.top, 200, middle.bottom - e->GetLineSpacing()};
  RecordingCanvas c;
  e->Paint(c, &area);
  std::u16string drawn;
  for (auto& ch : c.chars) drawn += ch.ch;
  EXPECT_EQ(drawn, u"cd");
  EXPECT_EQ(c.clip.top, area.top);  // and clips to it

  // Painting leaves pixels only within the lines that hold content, inside the view.
  Rect b = e->GetPaintBounds();
  EXPECT_EQ(b.left, -1);
  EXPECT_EQ(b.right, 202);
  EXPECT_EQ(b.top, 0);  // two pixels above the first line, cut to the view
  EXPECT_EQ(b.bottom, e->GetLines().back().bottom + 2);
  e->SetRect(0, 10, 200, 200);
  EXPECT_EQ(e->GetPaintBounds().top, 10);
  e->ScrollTo(0, -100);  // no further than the content allows
  EXPECT_EQ(e->GetPaintBounds().bottom, e->GetLines().back().bottom + e->GetScrollPos() + 2);
  e->SetHtml(u"");
  EXPECT_EQ(e->GetPaintBounds().bottom, 0);  // nothing to draw
}

// Records the runs the engine hands the canvas instead of single characters.
struct RunCanvas : RecordingCanvas {
  struct Run {
    int x, y;
    std::u16string text;
    std::vector<int> advances;
    ColorRef color;
    bool underline;
  };
  std::vector<Run> runs;
  void DrawChars(int x, int y, const char16_t* chars, const int* advances, int n) override {
    runs.push_back({x, y, std::u16string(chars, n), std::vector<int>(advances, advances + n), text, font.underline});
  }
};

TEST(RichDrawPaint, CharactersGoOutInRunsOfOneStyleAndLine) {
  FakeHost host;
  auto e = MakeEngine();
  e->Attach(&host);
  e->SetRect(0, 0, 400, 200);
  e->SetHtml(u"ab<font color=\"#ff0000\">cd</font><a href=\"http://x/\">ef</a>g<br>h\U0001F600i");
  e->HighlightLink(4, 0x00FF00);
  RunCanvas c;
  e->Paint(c);
  std::vector<std::u16string> texts;
  for (auto& r : c.runs) texts.push_back(r.text);
  // A colour or font change ends a run, so does a new line; half of a surrogate pair is
  // drawn on its own, as before.
  std::vector<std::u16string> expected{u"ab", u"cd", u"ef", u"g", u"h", u"i"};
  EXPECT_EQ(texts, expected);
  ASSERT_EQ(c.chars.size(), 2u);
  EXPECT_EQ(c.chars[0].ch, 0xD83D);
  EXPECT_EQ(c.chars[1].ch, 0xDE00);
  ASSERT_EQ(c.runs.size(), expected.size());
  EXPECT_EQ(c.runs[0].x, e->GetItem(0).x);
  EXPECT_EQ(c.runs[0].advances, (std::vector<int>{e->GetItem(0).width, e->GetItem(1).width}));
  EXPECT_EQ(c.runs[1].x, e->GetItem(2).x);
  EXPECT_EQ(c.runs[1].color, 0x0000FFu);
  EXPECT_EQ(c.runs[2].color, 0x00FF00u);
  EXPECT_TRUE(c.runs[2].underline);
  EXPECT_FALSE(c.runs[3].underline);
  int h = 0;
  while (e->GetItem(h).ch != u'h') ++h;
  EXPECT_EQ(c.runs[4].y, e->GetItem(h).y);
  EXPECT_GT(c.runs[4].y, c.runs[3].y);
  EXPECT_EQ(c.chars[0].x, e->GetItem(h + 1).x);
  EXPECT_EQ(c.runs[5].x, e->GetItem(h + 3).x);

  // Selected characters are filled one by one, each fill before its own character.
  e->SelectAll();
  RunCanvas s;
  e->Paint(s);
  for (auto& r : s.runs) EXPECT_EQ(r.text.size(), 1u) << "selected text in runs";
}

}  // namespace

namespace {

TEST(RichDrawAttach, ViewTimersAndDetach) {
  FakeHost host;
  host.client = Rect{0, 0, 204, 104};
  auto e = MakeEngine();
  e->Attach(&host);
  EXPECT_EQ(e->GetRect().left, 2);  // 2 px off each side
  EXPECT_EQ(e->GetRect().right, 202);
  EXPECT_EQ(e->GetRect().bottom, 104);
  // The caret blinks only while the window has the focus: no timer wakes an unfocused one.
  EXPECT_FALSE(host.HasTimer(kTimerCaretBlink));
  {
    FakeHost other;
    other.client = host.client;
    auto g = MakeEngine();
    g->Attach(&other);
    g->SetReadOnly(0);
    EXPECT_FALSE(other.HasTimer(kTimerCaretBlink));
    other.focus = true;
    g->OnSetFocus();
    EXPECT_TRUE(other.HasTimer(kTimerCaretBlink));
    g->OnKillFocus();
    EXPECT_FALSE(other.HasTimer(kTimerCaretBlink));
    g->SetReadOnly(0);
    EXPECT_TRUE(other.HasTimer(kTimerCaretBlink)) << "made editable while focused";
    g->Detach();
    auto f = MakeEngine();
    f->Attach(&other);
    EXPECT_TRUE(other.HasTimer(kTimerCaretBlink)) << "attached to a focused window";
  }
  // A read-only engine has no caret to blink: the timer never repaints, focused or not
  // (a widget's layered window would be redrawn twice a second for nothing), and it
  // stops for good in read-only drag-scroll mode.
  int before = host.invalidations;
  e->OnTimer(kTimerCaretBlink);
  host.focus = true;
  e->OnTimer(kTimerCaretBlink);
  EXPECT_EQ(host.invalidations, before);
  e->SetDragScroll(1);
  e->OnTimer(kTimerCaretBlink);
  EXPECT_FALSE(host.HasTimer(kTimerCaretBlink));

  // A view narrower than the widest character is widened to it first.
  FakeHost narrow;
  narrow.client = Rect{0, 0, 10, 50};
  auto n = MakeEngine();
  n->SetDragScroll(1);
  n->Attach(&narrow);
  EXPECT_EQ(n->GetRect().Width(), rtfake::kWide + 1 - 4);
  EXPECT_FALSE(narrow.HasTimer(kTimerCaretBlink));

  e->SetHtml(u"<img src=\"a.png\" width=\"1\" height=\"1\">");
  ASSERT_EQ(host.loads.size(), 1u);
  int cancels = host.cancels;
  e->Detach();
  EXPECT_EQ(host.cancels, cancels + 1);
  EXPECT_TRUE(host.timers.empty());
  // Detached: events and painting are ignored.
  e->OnMouseWheel(-1);
  EXPECT_EQ(e->GetScrollPos(), 0);
}

TEST(RichDrawAttach, DestructionWithdrawsImageLoads) {
  FakeHost host;
  {
    auto e = MakeEngine();
    e->Attach(&host);
    e->SetHtml(u"<img src=\"a.png\" width=\"1\" height=\"1\">");
    host.cancels = 0;
  }
  EXPECT_EQ(host.cancels, 1);
  EXPECT_TRUE(host.loads.empty());
}

}  // namespace
