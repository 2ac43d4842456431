// The extended engine's pasting: own copies, file paths, pictures and dropped files.
#include "richtext/rich_draw_ex.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/richtext/rich_fakes.h"
#include "richtext/html_writer.h"

using namespace richtext;
using rtfake::FakeBitmap;
using rtfake::FakeClipboard;
using rtfake::FakeHost;
using rtfake::FixedMeasurer;

namespace {

struct FakeFiles : RichFiles {
  std::vector<std::u16string> roots{u"C:\\", u"D:\\"};
  std::set<std::u16string> existing;
  std::set<std::u16string> written;
  std::vector<std::u16string> names{u"a", u"b", u"c"};
  size_t nextName = 0;
  int lookups = 0;
  bool failWrites = false;

  bool DriveRoots(std::vector<std::u16string>* out) override {
    *out = roots;
    return true;
  }
  bool Exists(const std::u16string& path) override {
    ++lookups;
    return existing.count(path) != 0;
  }
  std::u16string ImageFolder() override { return u"C:\\data\\image\\"; }
  std::u16string NewImageName() override { return names[nextName++ % names.size()]; }
  bool SaveNewJpeg(const Bitmap&, const std::u16string& path) override {
    if (failWrites || existing.count(path)) return false;
    existing.insert(path);
    written.insert(path);
    return true;
  }
  void Remove(const std::u16string& path) override {
    existing.erase(path);
    written.erase(path);
  }
};

class RichPaste : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.focus = true;
    e_.Attach(&host_);
    e_.SetRect(0, 0, 300, 200);
    e_.SetClipboard(&clip_);
    e_.SetFiles(&files_);
    e_.SetHtml(u"<font color=\"#112233\" size=\"12\" bold=\"1\">ab</font>");
    e_.SetReadOnly(0);
    e_.SetCaret(2);
  }
  std::u16string Chars() const {
    std::u16string s;
    for (int i = 0; i < e_.GetItemCount(); ++i) s += e_.GetItem(i).IsText() ? e_.GetItem(i).ch : u'#';
    return s;
  }

  FakeHost host_;
  FakeClipboard clip_;
  FakeFiles files_;
  CRichDrawEx e_{std::make_unique<FixedMeasurer>()};
};

TEST_F(RichPaste, TextNamingAnExistingFileBecomesAFileLink) {
  files_.existing.insert(u"c:\\docs\\x.txt");
  clip_.PutForeign(u"c:\\docs\\x.txt");
  e_.Paste();
  EXPECT_EQ(Chars(), u"abc:\\docs\\x.txt");
  const RichItem& first = e_.GetItem(2);
  ASSERT_TRUE(first.link);
  EXPECT_EQ(*first.link, u"c:\\docs\\x.txt");
  // In the style of the text before it, underlined.
  EXPECT_EQ(first.contentColor, 0x332211u);
  EXPECT_EQ(first.size, 120);
  EXPECT_EQ(first.bold, 1);
  EXPECT_EQ(first.contentUnderline, 1);
  // Text typed after it is not part of the link.
  e_.OnChar(u'!');
  EXPECT_FALSE(e_.GetItem(e_.GetItemCount() - 1).link);
}

TEST_F(RichPaste, OnlyTextStartingWithADriveRootIsLookedUp) {
  // A share name inside the text must never be looked up.
  clip_.PutForeign(u"see \\\\host\\share and C:\\x");
  e_.Paste();
  EXPECT_EQ(files_.lookups, 0);
  EXPECT_EQ(Chars(), u"absee \\\\host\\share and C:\\x");
  EXPECT_FALSE(e_.GetItem(2).link);
  // A path that does not exist is plain text.
  clip_.PutForeign(u"D:\\missing");
  e_.Paste();
  EXPECT_EQ(files_.lookups, 1);
  EXPECT_FALSE(e_.GetItem(e_.GetItemCount() - 1).link);
}

TEST_F(RichPaste, PictureIsStoredUnderANewNameAndInsertedAsItsThumbnail) {
  // The first name is taken: it is never overwritten.
  files_.existing.insert(u"C:\\data\\image\\a.jpg");
  clip_.bitmap = std::make_unique<FakeBitmap>(400, 200);
  EXPECT_EQ(e_.IsClipboardEmpty(), 0);
  e_.Paste();
  EXPECT_EQ(files_.written, (std::set<std::u16string>{u"C:\\data\\image\\b.jpg", u"C:\\data\\image\\b_150.jpg"}));
  ASSERT_EQ(e_.GetItemCount(), 3);
  const RichItem& image = e_.GetItem(2);
  EXPECT_FALSE(image.IsText());
  EXPECT_EQ(image.source, u"C:\\data\\image\\b_150.jpg");
  ASSERT_TRUE(image.link);
  EXPECT_EQ(*image.link, u"C:\\data\\image\\b.jpg");
  // The thumbnail (150 x 75) fitted into the view's image box.
  EXPECT_EQ(image.width, 150);
  EXPECT_EQ(image.height, 75);
  EXPECT_EQ(e_.GetCaretIndex(), 3);

  // When nothing can be written, nothing is inserted and nothing is left behind.
  files_.failWrites = true;
  e_.Paste();
  EXPECT_EQ(e_.GetItemCount(), 3);
  EXPECT_EQ(files_.written.size(), 2u);
}

TEST_F(RichPaste, DroppedFilesBecomeOneLinkPerLine) {
  clip_.files = {u"C:\\a.txt", u"D:\\b c.txt"};
  e_.Paste();
  EXPECT_EQ(Chars(), u"abC:\\a.txt\r\nD:\\b c.txt\r\n");
  EXPECT_EQ(*e_.GetItem(2).link, u"C:\\a.txt");
  EXPECT_EQ(*e_.GetItem(12).link, u"D:\\b c.txt");
  EXPECT_EQ(e_.GetItem(12).contentUnderline, 1);
  // Undo takes the whole paste out again.
  for (int i = 0; i < 10 && e_.CanUndo(); ++i) e_.Undo();
  EXPECT_EQ(Chars(), u"ab");
}

TEST_F(RichPaste, NoPictureIsWrittenWhenTheContentIsFull) {
  e_.InsertText(std::u16string(kItemLimit - 2, u'x'), 2, TextStyle());
  ASSERT_EQ(e_.GetItemCount(), kItemLimit);
  EXPECT_FALSE(e_.InsertImageFile(std::make_unique<FakeBitmap>(400, 200)));
  EXPECT_TRUE(files_.written.empty());
  EXPECT_EQ(e_.GetItemCount(), kItemLimit);
  // A selection it replaces makes room.
  e_.Select(0, 2);
  EXPECT_TRUE(e_.InsertImageFile(std::make_unique<FakeBitmap>(400, 200)));
  EXPECT_EQ(files_.written.size(), 2u);
  EXPECT_FALSE(e_.GetItem(0).IsText());
}

TEST_F(RichPaste, FileNamesThatLookLikeMarkupStayText) {
  const std::u16string crafted =
      u"C:\\x</a><a href=\"http://evil/\">y<br><img src=\"C:\\p.png\" width=\"5\" height=\"5\"/><";
  std::u16string address;
  html::AppendAddress(address, crafted);
  auto expectOneLink = [&](int from) {
    for (int i = from; i < from + static_cast<int>(crafted.size()); ++i) {
      ASSERT_TRUE(e_.GetItem(i).contentLink) << i;
      EXPECT_EQ(*e_.GetItem(i).contentLink, address) << i;
    }
  };
  clip_.files = {crafted};
  e_.Paste();
  EXPECT_EQ(Chars(), u"ab" + crafted + u"\r\n");
  expectOneLink(2);
  // The same for a copied path naming an existing file.
  files_.existing.insert(crafted);
  clip_.files.clear();
  clip_.PutForeign(crafted);
  e_.SetCaret(0);
  e_.Paste();
  EXPECT_EQ(Chars(), crafted + u"ab" + crafted + u"\r\n");
  expectOneLink(0);
}

TEST_F(RichPaste, OwnCopyComesBackWithItsFormatting) {
  e_.Select(0, 2);
  e_.Copy();
  e_.ClearSelection();
  e_.SetCaret(2);
  e_.Paste();
  EXPECT_EQ(Chars(), u"abab");
  EXPECT_EQ(e_.GetItem(3).bold, 1);
  EXPECT_EQ(e_.GetItem(3).size, 120);
  // Read-only: nothing is pasted.
  e_.SetReadOnly(1);
  e_.Paste();
  EXPECT_EQ(Chars(), u"abab");
  clip_ = FakeClipboard();
  EXPECT_EQ(e_.IsClipboardEmpty(), 1);
}

}  // namespace
