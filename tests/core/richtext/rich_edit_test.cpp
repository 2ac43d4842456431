// The editor of the rich-text engine: caret, keys, typing, deletion, undo, clipboard,
// and writing content back as HTML.
#include <gtest/gtest.h>

#include <string>

#include "core/richtext/rich_fakes.h"
#include "richtext/rich_draw.h"

using namespace richtext;
using rtfake::FakeBitmap;
using rtfake::FakeClipboard;
using rtfake::FakeHost;
using rtfake::MakeEngine;

namespace {

std::u16string Chars(const CRichDraw& e) {
  std::u16string s;
  for (int i = 0; i < e.GetItemCount(); ++i) s += e.GetItem(i).IsText() ? e.GetItem(i).ch : u'#';
  return s;
}

class RichEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.focus = true;
    e_->Attach(&host_);
    e_->SetRect(0, 0, 200, 100);
    e_->SetReadOnly(0);
    e_->SetClipboard(&clip_);
  }
  void Key(int key, bool ctrl = false, bool shift = false) {
    host_.ctrl = ctrl;
    host_.shift = shift;
    e_->OnKeyDown(key);
    host_.ctrl = host_.shift = false;
  }
  void Type(const std::u16string& text) {
    for (char16_t c : text) e_->OnChar(c);
  }
  // The client point in the middle of item i's row, `share` of the way across it.
  void Click(int i, double share, unsigned flags = kMouseLeftButton) {
    const RichItem& it = e_->GetItem(i);
    int x = it.x + static_cast<int>(share * it.width);
    e_->OnLButtonDown(flags, x, it.y + e_->GetScrollPos() + it.height / 2);
    e_->OnLButtonUp(0, x, 0);
  }

  FakeHost host_;
  FakeClipboard clip_;
  std::unique_ptr<CRichDraw> e_ = MakeEngine();
};

TEST_F(RichEdit, LineBreaksAreDeletedWhole) {
  e_->SetHtml(u"ab\r\ncd");
  e_->SetCaret(4);  // after the LF
  Key(vk::kBack);
  EXPECT_EQ(Chars(*e_), u"abcd");
  EXPECT_EQ(e_->GetCaretIndex(), 2);

  e_->SetHtml(u"ab\r\ncd");
  e_->SetCaret(2);
  Key(vk::kDelete);  // on the CR
  EXPECT_EQ(Chars(*e_), u"abcd");

  // The caret never stands between CR and LF: from the right it goes before the pair.
  e_->SetHtml(u"ab\r\ncd");
  e_->SetCaret(4);
  Key(vk::kLeft);
  EXPECT_EQ(e_->GetCaretIndex(), 2);
  Key(vk::kRight);
  EXPECT_EQ(e_->GetCaretIndex(), 4);
}

TEST_F(RichEdit, CaretFromPoint) {
  e_->SetHtml(u"ab<br>cd<br>");
  // The right 40 % of a character puts the caret after it, the left 60 % before it.
  Click(0, 0.5);
  EXPECT_EQ(e_->GetCaretIndex(), 0);
  Click(0, 0.625);
  EXPECT_EQ(e_->GetCaretIndex(), 1);
  Click(1, 0.75);
  EXPECT_EQ(e_->GetCaretIndex(), 2);
  // Right of a line's end: before its line break.
  e_->OnLButtonDown(kMouseLeftButton, 150, e_->GetItem(0).y + 2);
  EXPECT_EQ(e_->GetCaretIndex(), 2);
  // Below content that ends with a newline: the very end.
  EXPECT_EQ(e_->CaretIndexFromPoint(5, 95), e_->GetItemCount());
  // Above the first line: the first line.
  e_->SetHtml(u"ab");
  e_->SetRect(0, 20, 200, 100);
  EXPECT_EQ(e_->CaretIndexFromPoint(0, 0), 0);
  EXPECT_EQ(e_->CaretIndexFromPoint(60, 0), 2);
}

TEST_F(RichEdit, TypedWordsAreUndoneAWordAtATime) {
  Type(u"ab cd");
  EXPECT_EQ(Chars(*e_), u"ab cd");
  EXPECT_EQ(e_->GetCaretIndex(), 5);
  Key('Z', true);
  EXPECT_EQ(Chars(*e_), u"ab ");
  Key('Z', true);
  EXPECT_EQ(Chars(*e_), u"");
  Key('Z', true);  // nothing left to undo
  EXPECT_EQ(Chars(*e_), u"");
  // Redo brings back the word, then the space on its own.
  Key('Y', true);
  EXPECT_EQ(Chars(*e_), u"ab");
  EXPECT_EQ(e_->GetCaretIndex(), 2);
  Key('Y', true);
  EXPECT_EQ(Chars(*e_), u"ab ");
  Key('Y', true);
  EXPECT_EQ(Chars(*e_), u"ab cd");
  // A deletion comes back with its place.
  e_->SetCaret(3);
  Key(vk::kBack);
  EXPECT_EQ(Chars(*e_), u"abcd");
  Key('Z', true);
  EXPECT_EQ(Chars(*e_), u"ab cd");
  EXPECT_EQ(e_->GetCaretIndex(), 3);
  Key('Y', true);
  EXPECT_EQ(Chars(*e_), u"abcd");
  // A new edit after an undo discards what could have been redone.
  Key('Z', true);
  Type(u"!");
  Key('Y', true);
  EXPECT_EQ(Chars(*e_), u"ab !cd");
}

TEST_F(RichEdit, UndoIsBoundedAndFreesWhatNoRecordHolds) {
  for (int i = 0; i < kMaxUndoRecords + 100; ++i) e_->OnChar(u'x');
  EXPECT_EQ(e_->GetUndoCount(), kMaxUndoRecords);
  for (int round = 0; round < 4; ++round) {
    for (int i = 0; i < 600; ++i) e_->OnChar(u'y');
    for (int i = 0; i < 600; ++i) Key(vk::kBack);
  }
  EXPECT_EQ(e_->GetUndoCount(), kMaxUndoRecords);
  EXPECT_EQ(e_->GetItemCount(), kMaxUndoRecords + 100);
  // 5900 items were made; those in the content, those the records hold (at most 1000)
  // and at most two batches not yet freed remain.
  EXPECT_LE(e_->GetAllocatedItemCount(), kMaxUndoRecords + 100 + kMaxUndoRecords + 2048);
  // Undo never takes the content past the item limit.
  e_->SetHtml(std::u16string(kItemLimit - 5, u'a'));
  e_->SetCaret(0);
  e_->SelectAll();
  Key(vk::kDelete);
  EXPECT_EQ(e_->GetItemCount(), 0);
  e_->InsertText(std::u16string(kItemLimit, u'b'), 0, TextStyle{});  // recorded too
  Key('Z', true);  // takes the b's out again
  Key('Z', true);  // the a's come back
  EXPECT_EQ(e_->GetItemCount(), kItemLimit - 5);
}

TEST_F(RichEdit, ReadOnlyEngineCopiesButNeverChanges) {
  e_->SetHtml(u"<font color=\"#ff0000\">red</font> text");
  e_->SetReadOnly(1);
  Key('A', true);
  Key('X', true);
  EXPECT_EQ(Chars(*e_), u"red text");
  EXPECT_EQ(clip_.text, u"red text");
  EXPECT_NE(clip_.rich.find(u"#ff0000"), std::u16string::npos);
  Type(u"z");
  Key(vk::kBack);
  Key(vk::kDelete);
  Key(vk::kReturn);
  Key('V', true);
  Key('Z', true);
  EXPECT_EQ(Chars(*e_), u"red text");
  // Copy with nothing selected leaves the clipboard alone.
  e_->ClearSelection();
  const int puts = clip_.puts;
  Key('C', true);
  EXPECT_EQ(clip_.puts, puts);
}

TEST_F(RichEdit, TypedTextTakesTheNearestUnlinkedStyleNeverTheLink) {
  e_->SetHtml(u"<font color=\"#00ff00\" size=\"12\" bold=\"1\">g</font><a href=\"http://x/\">link</a>");
  e_->SetCaret(5);  // right after the link
  Type(u"z");
  const RichItem& z = e_->GetItem(5);
  EXPECT_FALSE(z.link);
  EXPECT_EQ(z.contentColor, 0x00FF00u);
  EXPECT_EQ(z.size, 120);
  EXPECT_EQ(z.bold, 1);
  // With only linked text, its style is taken but still not its link or underline.
  e_->SetHtml(u"<a href=\"http://x/\"><font underline=\"1\" color=\"#0000ff\">L</font></a>");
  e_->SetCaret(0);
  Type(u"q");
  EXPECT_FALSE(e_->GetItem(0).link);
  EXPECT_EQ(e_->GetItem(0).underline, 0);
  EXPECT_EQ(e_->GetItem(0).contentColor, 0xFF0000u);
  // Enter inserts a line break; control characters are not typed.
  e_->SetHtml(u"ab");
  e_->SetCaret(1);
  Key(vk::kReturn);
  e_->OnChar(u'\t');
  e_->OnChar(127);
  EXPECT_EQ(Chars(*e_), u"a\r\nb");
}

TEST_F(RichEdit, ShiftAndMouseSelect) {
  e_->SetHtml(u"abcdef");
  e_->SetCaret(2);
  Key(vk::kRight, false, true);
  Key(vk::kRight, false, true);
  EXPECT_EQ(e_->GetSelectionStart(), 2);
  EXPECT_EQ(e_->GetSelectionEnd(), 4);
  EXPECT_EQ(e_->GetSelectedText(), u"cd");
  Key(vk::kLeft, false, true);
  Key(vk::kLeft, false, true);
  Key(vk::kLeft, false, true);
  EXPECT_EQ(e_->GetSelectedText(), u"b");
  Key(vk::kRight);  // collapses after the selection
  EXPECT_FALSE(e_->HasSelection());
  EXPECT_EQ(e_->GetCaretIndex(), 2);
  // Typing replaces the selection.
  e_->Select(1, 4);
  Type(u"Z");
  EXPECT_EQ(Chars(*e_), u"aZef");

  // Drag with the left button: the selection runs from the press to the pointer.
  e_->SetHtml(u"abcdef");
  const RichItem& a = e_->GetItem(1);
  e_->OnLButtonDown(kMouseLeftButton, a.x + 1, a.y + 2);
  EXPECT_TRUE(host_.HasTimer(kTimerSelectScroll));
  e_->OnMouseMove(kMouseLeftButton, e_->GetItem(4).x + 1, a.y + 2);
  EXPECT_EQ(e_->GetSelectedText(), u"bcd");
  e_->OnLButtonUp(0, 0, 0);
  EXPECT_FALSE(host_.HasTimer(kTimerSelectScroll));
  // Shift+click extends from the anchor.
  e_->OnLButtonDown(kMouseLeftButton | kMouseShift, e_->GetItem(5).x + 7, a.y + 2);
  EXPECT_EQ(e_->GetSelectedText(), u"bcdef");
}

TEST_F(RichEdit, ShiftAloneLeavesTheSelectionAsItIs) {
  constexpr int kVkShift = 0x10;
  e_->SetHtml(u"abcdef");
  e_->SetCaret(2);
  Key('A', true);
  // Shift's own key-down arrives with Shift held: it must not shrink the selection.
  Key(kVkShift, false, true);
  EXPECT_EQ(e_->GetSelectionStart(), 0);
  EXPECT_EQ(e_->GetSelectionEnd(), 6);
  Key('C', true);
  EXPECT_EQ(clip_.text, u"abcdef");
  // A capital letter typed over the selection replaces all of it.
  Key('Z', false, true);
  Type(u"Z");
  EXPECT_EQ(Chars(*e_), u"Z");
  // The arrows still extend it.
  e_->SetCaret(0);
  Key(kVkShift, false, true);
  Key(vk::kRight, false, true);
  EXPECT_EQ(e_->GetSelectedText(), u"Z");
}

TEST_F(RichEdit, SurrogatePairsAreOneCharacterForTheCaretAndDeletion) {
  const std::u16string pair = u"\U0001F600";  // two UTF-16 units, two items
  // a, pair (1, 2), b, pair (4, 5)
  e_->SetHtml(u"a" + pair + u"b" + pair);
  e_->SetCaret(1);
  Key(vk::kRight);
  EXPECT_EQ(e_->GetCaretIndex(), 3);
  Key(vk::kLeft);
  EXPECT_EQ(e_->GetCaretIndex(), 1);
  Key(vk::kRight, false, true);
  EXPECT_EQ(e_->GetSelectedText(), pair);
  Key(vk::kLeft);
  Key(vk::kLeft, false, true);
  EXPECT_EQ(e_->GetSelectedText(), u"a");
  // A click anywhere on a pair lands before or after the whole of it.
  const RichItem& high = e_->GetItem(1);
  const int y = high.y + high.height / 2;
  EXPECT_EQ(e_->CaretIndexFromPoint(high.x + high.width - 1, y), 1);
  EXPECT_EQ(e_->CaretIndexFromPoint(e_->GetItem(2).x + e_->GetItem(2).width - 1, y), 3);

  e_->ClearSelection();
  e_->SetCaret(6);
  Key(vk::kBack);
  EXPECT_EQ(Chars(*e_), u"a" + pair + u"b");
  EXPECT_EQ(e_->GetCaretIndex(), 4);
  e_->SetCaret(1);
  Key(vk::kDelete);
  EXPECT_EQ(Chars(*e_), u"ab");
  // Undo brings the pair back whole.
  e_->Undo();
  EXPECT_EQ(Chars(*e_), u"a" + pair + u"b");
}

TEST_F(RichEdit, SelectingBelowTheViewScrollsOnTheTimer) {
  std::u16string text;
  for (int i = 0; i < 30; ++i) text += u"line<br>";
  e_->SetHtml(text);
  e_->OnLButtonDown(kMouseLeftButton, 3, 3);
  host_.leftDown = true;
  e_->OnMouseMove(kMouseLeftButton, 3, 80);
  const int before = e_->GetScrollPos();
  e_->OnMouseMove(kMouseLeftButton, 3, 140);  // 40 px below the view
  e_->OnTimer(kTimerSelectScroll);
  EXPECT_LT(e_->GetScrollPos(), before);
  EXPECT_GT(e_->GetSelectionEnd(), 5);
  host_.leftDown = false;
  e_->OnTimer(kTimerSelectScroll);
  EXPECT_FALSE(host_.HasTimer(kTimerSelectScroll));
}

TEST_F(RichEdit, CaretScrollsIntoViewAndShowsOnlyWithFocus) {
  std::u16string text;
  for (int i = 0; i < 30; ++i) text += u"line<br>";
  e_->SetHtml(text);
  Key(vk::kEnd, true);
  EXPECT_EQ(e_->GetCaretIndex(), e_->GetItemCount());
  EXPECT_LT(e_->GetScrollPos(), 0);
  Rect c = e_->GetCaretRect();
  EXPECT_GE(c.top, 0);
  EXPECT_LE(c.bottom, 100);
  EXPECT_EQ(e_->IsCaretVisible(), 1);
  Key(vk::kHome, true);
  EXPECT_EQ(e_->GetScrollPos(), 0);
  e_->OnKillFocus();
  EXPECT_EQ(e_->IsCaretVisible(), 0);
  host_.focus = false;
  e_->SetCaret(3);
  EXPECT_EQ(e_->IsCaretVisible(), 0);
  // Down and Up keep the caret's x.
  host_.focus = true;
  e_->SetCaret(2);
  Key(vk::kDown);
  EXPECT_EQ(e_->GetCaretIndex(), 8);
  Key(vk::kUp);
  EXPECT_EQ(e_->GetCaretIndex(), 2);
  Key(vk::kEnd);
  EXPECT_EQ(e_->GetCaretIndex(), 4);
  Key(vk::kHome);
  EXPECT_EQ(e_->GetCaretIndex(), 0);
  Key(vk::kPageDown);
  EXPECT_EQ(e_->GetScrollPos(), -100);
}

TEST_F(RichEdit, PasteOwnCopyKeepsFormattingForeignTextIsPlain) {
  e_->SetHtml(u"<font color=\"#ff0000\" size=\"14\">red</font>x");
  e_->Select(0, 3);
  Key('C', true);
  EXPECT_EQ(clip_.text, u"red");
  e_->ClearSelection();
  e_->SetCaret(4);
  Key('V', true);
  EXPECT_EQ(Chars(*e_), u"redxred");
  EXPECT_EQ(e_->GetItem(4).contentColor, 0x0000FFu);
  EXPECT_EQ(e_->GetItem(4).size, 140);
  // The same text copied elsewhere is plain, in the style of the text before the caret.
  clip_.PutForeign(u"red");
  e_->SetCaret(4);
  Key('V', true);
  EXPECT_EQ(Chars(*e_), u"redxredred");
  EXPECT_EQ(e_->GetItem(4).size, 90);
  EXPECT_EQ(e_->IsClipboardEmpty(), 0);
  // Rich text not placed by this program is not offered.
  clip_ = FakeClipboard();
  clip_.hasRich = true;
  clip_.richFromUs = false;
  clip_.rich = u"<font color=\"#ff0000\">evil</font>";
  EXPECT_EQ(e_->IsClipboardEmpty(), 1);
  Key('V', true);
  EXPECT_EQ(Chars(*e_), u"redxredred");
}

// --- Writing HTML ---

TEST(RichHtml, DefaultsColoursAndSizes) {
  auto e = MakeEngine();
  e->SetHtml(u"ab");
  EXPECT_EQ(e->GetHtml(), u"<font color=\"#000000\" size=\"9\" face=\"宋体\">ab</font>");
  e->SetHtml(u"");
  EXPECT_EQ(e->GetHtml(), u"");
  TextStyle red;
  red.color = 0x0000FF;
  red.size = 105;
  red.bold = red.italic = red.underline = red.strikeout = 1;
  red.background = kHasBackground | 0x00FF00;
  red.face = u"Arial";
  e->InsertText(u"r", 0, red);
  EXPECT_EQ(e->GetHtml(),
            u"<font color=\"#ff0000\" size=\"10\" bold=\"1\" italic=\"1\" underline=\"1\" strikeout=\"1\" "
            u"face=\"Arial\" style=\"background-color:#00ff00\">r</font>");
  // Characters differing only in size: a new font, in both forms.
  e->SetHtml(u"<font size=\"9\">a</font><font size=\"12\">b</font>");
  const std::u16string two = u"<font color=\"#000000\" size=\"9\" face=\"宋体\">a</font>"
                             u"<font color=\"#000000\" size=\"12\" face=\"宋体\">b</font>";
  EXPECT_EQ(e->GetHtml(), two);
  e->SelectAll();
  EXPECT_EQ(e->GetSelectedHtml(), two);
  e->Select(1, 2);
  EXPECT_EQ(e->GetSelectedHtml(), u"<font color=\"#000000\" size=\"12\" face=\"宋体\">b</font>");
}

TEST(RichHtml, BreaksLinksAndImages) {
  auto e = MakeEngine();
  const std::u16string f = u"<font color=\"#000000\" size=\"9\" face=\"宋体\">";
  e->SetHtml(u"x\r\ny");
  EXPECT_EQ(e->GetHtml(), f + u"x<br>y</font>");
  e->SetHtml(u"x\ry");
  EXPECT_EQ(e->GetHtml(), f + u"x\ry</font>");
  e->SetHtml(u"<a href=\"1\">a</a><a href=\"2\">b</a>c");
  EXPECT_EQ(e->GetHtml(), u"<a href=\"1\">" + f + u"a</a><a href=\"2\">b</a>c</font>");
  e->SetHtml(u"<img src=\"p.png\" width=\"16\" height=\"8\"/>");
  EXPECT_EQ(e->GetHtml(), u"<img src=\"p.png\" width=\"16\" height=\"8\"/></font>");
  // A pasted picture: a link to the full image around its thumbnail.
  e->InsertBitmap(std::make_unique<FakeBitmap>(30, 20), u"C:\\i\\1_150.jpg", u"C:\\i\\1.jpg", 1);
  EXPECT_EQ(e->GetHtml(), u"<img src=\"p.png\" width=\"16\" height=\"8\"/><a href=\"C:\\i\\1.jpg\">"
                          u"<img src=\"C:\\i\\1_150.jpg\" width=\"30\" height=\"20\"/></a></font>");
}

TEST(RichHtml, DisplayStateIsNotSaved) {
  FakeHost host;
  auto e = MakeEngine();
  e->Attach(&host);
  e->SetRect(0, 0, 200, 100);
  const std::u16string html = u"<font color=\"#3a3031\" size=\"9\" face=\"宋体\">see www.a.b now <a href=\"L\">"
                              u"link</a></font>";
  e->SetHtml(html);
  ASSERT_TRUE(e->GetItem(4).link);  // detected
  e->HighlightLink(e->HitTest(e->GetItem(16).x + 1, e->GetItem(16).y + 1), 0xFF0000);
  EXPECT_EQ(e->GetItem(16).color, 0xFF0000u);
  EXPECT_EQ(e->GetHtml(), html);
  e->ClearLinkHighlight(0x00FF00);
  EXPECT_EQ(e->GetHtml(), html);
  e->SetHtml(e->GetHtml());
  EXPECT_EQ(e->GetHtml(), html);
}

TEST(RichHtml, TextAndAddressesReadBackAsWritten) {
  auto e = MakeEngine();
  // Characters that would read as markup: "<b>" and "</font>" typed as text.
  TextStyle plain;
  e->InsertText(u"1<b>2</font>3<", 0, plain);
  plain.link = u"http://q/?a=\"x\">";
  e->InsertText(u"L", e->GetItemCount(), plain);
  const std::u16string written = e->GetHtml();
  EXPECT_NE(written.find(u"href=\"http://q/?a=%22x%22%3E\""), std::u16string::npos);
  auto back = MakeEngine();
  back->SetHtml(written);
  EXPECT_EQ(Chars(*back), u"1<b>2</font>3<L");
  EXPECT_EQ(*back->GetItem(back->GetItemCount() - 1).link, u"http://q/?a=%22x%22%3E");
}

}  // namespace
