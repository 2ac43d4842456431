#include "model/notes_local_info.h"

#include <gtest/gtest.h>

#include "model/manager_data.h"

namespace {

TEST(NotesLocalInfo, NewRecordHoldsTheDefaults) {
  CNotesLocalInfo r;
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 200);
  EXPECT_EQ(r.height, 200);
  EXPECT_EQ(r.visible, 1);
  EXPECT_EQ(r.topmost, 0);
  EXPECT_EQ(r.alpha, 200);
  EXPECT_EQ(r.linespace, 2);
  EXPECT_EQ(r.font_size, 100);
  EXPECT_EQ(r.font_face, u"\u5b8b\u4f53");
  EXPECT_EQ(r.tmpl.type, 0);
  EXPECT_DOUBLE_EQ(r.tmpl.x1, 0.05);
  EXPECT_DOUBLE_EQ(r.tmpl.y1, 0.1);
  EXPECT_DOUBLE_EQ(r.tmpl.x2, 0.95);
  EXPECT_DOUBLE_EQ(r.tmpl.y2, 0.95);
  EXPECT_EQ(r.tmpl.bkcolor_id, 0);
  EXPECT_EQ(r.create_time, 0);
}

TEST(NotesLocalInfo, BelongsInTheDesktopWhenAllOrItAloneIsPutThereButNeverOnTop) {
  CNotesLocalInfo r;
  EXPECT_FALSE(r.WantsDesktop(0));
  EXPECT_TRUE(r.WantsDesktop(1));
  r.in_desktop = 1;
  EXPECT_TRUE(r.WantsDesktop(0));
  r.topmost = 1;
  EXPECT_FALSE(r.WantsDesktop(0));
  EXPECT_FALSE(r.WantsDesktop(1));
}

// A widget keeps its text elsewhere (in its engine) and overrides the content slots.
class EngineBacked : public CNotesLocalInfo {
 public:
  void SetContent(const std::u16string& t) override { engine = t + u"!"; }
  std::u16string GetContent() override { return engine; }
  std::u16string engine;
  int windowState = 7;
};

TEST(NotesLocalInfo, ContentGoesThroughTheOverridesAndCopyTakesOnlyTheRecord) {
  EngineBacked w;
  CNotesLocalInfo& rec = w;
  rec.SetContent(u"a");
  EXPECT_EQ(rec.GetContent(), u"a!");

  CNotesLocalInfo loaded;
  loaded.rssurl = u"http://x/feed";
  loaded.tmpl.bkcolor_id = 4;
  w.CopyRecordFrom(loaded);
  EXPECT_EQ(w.rssurl, u"http://x/feed");
  EXPECT_EQ(w.tmpl.bkcolor_id, 4);
  EXPECT_EQ(w.windowState, 7);
  EXPECT_EQ(w.engine, u"a!");
}

TEST(ManagerData, StartsWithTheInitialValues) {
  ManagerData m;
  EXPECT_FLOAT_EQ(m.version, 1.5f);
  EXPECT_EQ(m.topmost_menu, 1);
  EXPECT_EQ(m.hidenotes_menu, 1);
  EXPECT_EQ(m.transparent_menu, 1);
  EXPECT_EQ(m.smoothing, 1);
  EXPECT_EQ(m.last_shutdown_time, 1200);
  EXPECT_EQ(m.hotkey_shownotes, u"ALT:Q");
  EXPECT_EQ(m.hotkey_addnotes, u"CTRL:ALT:N");
  EXPECT_EQ(m.hotkey_addremind, u"CTRL:ALT:R");
  EXPECT_EQ(m.usecount, 0);
  EXPECT_EQ(m.first_run, 0);
  EXPECT_TRUE(m.custom_links.empty() && m.remote_links.empty());
}

}  // namespace
