#include "menus/menu_layout.h"

#include "menus/main_menu.h"

#include <gtest/gtest.h>

#include <set>

namespace menus {
namespace {

// Every caption measures its length in code units times a fixed width.
class FixedMeasurer : public TextMeasurer {
 public:
  explicit FixedMeasurer(int perChar) : perChar_(perChar) {}
  int TextWidth(const std::u16string& text) override { return static_cast<int>(text.size()) * perChar_; }

 private:
  int perChar_;
};

const Rect kScreen{0, 0, 1024, 768};

TEST(MenuLayout, WidthIsWidestCaptionPlus66) {
  FixedMeasurer m(10);
  // Ten characters of 10 pixels: a 100-pixel caption.
  MenuLayout l = LayOutMenu({{0, u"0123456789"}, {0, u"abc"}}, m, 96);
  EXPECT_EQ(l.width, 166);
  EXPECT_EQ(l.items[0].item, (Rect{3, 3, 163, 23}));
  EXPECT_EQ(l.items[0].icon, (Rect{3, 3, 30, 23}));
  EXPECT_EQ(l.items[0].text, (Rect{30, 3, 163, 23}));
  // No caption at all (only separators, whose text is not measured): the minimum.
  EXPECT_EQ(LayOutMenu({{kItemSeparator, u"ignored text"}}, m, 96).width, 66);
  EXPECT_EQ(LayOutMenu({}, m, 96).width, 66);
}

TEST(MenuLayout, ThreeItemsAndASeparatorAre76High) {
  FixedMeasurer m(7);
  MenuLayout l = LayOutMenu({{0, u"a"}, {kItemSeparator, u""}, {kItemPopup, u"b"}, {kItemGrayed, u"c"}}, m, 96);
  EXPECT_EQ(l.height, 76);
  EXPECT_EQ(l.items[1].item, (Rect{3, 23, l.width - 3, 33}));
  EXPECT_EQ(l.items[3].item.bottom, 73);
  // Hit testing: the first item holding the point; the border belongs to none.
  EXPECT_EQ(l.ItemAt(10, 3), 0);
  EXPECT_EQ(l.ItemAt(10, 22), 0);
  EXPECT_EQ(l.ItemAt(10, 23), 1);
  EXPECT_EQ(l.ItemAt(10, 72), 3);
  EXPECT_EQ(l.ItemAt(10, 73), -1);
  EXPECT_EQ(l.ItemAt(2, 10), -1);
  EXPECT_EQ(l.ItemAt(l.width - 3, 10), -1);
}

TEST(MenuLayout, ScalesWithTheMonitorDpi) {
  FixedMeasurer m(15);  // the measurer already works in the monitor's pixels
  MenuLayout l = LayOutMenu({{0, u"0123456789"}, {kItemSeparator, u""}, {0, u"x"}}, m, 144);
  EXPECT_EQ(l.width, 150 + 99);
  EXPECT_EQ(l.height, 5 + 30 + 15 + 30 + 5);  // 4.5 rounds to 5
  EXPECT_EQ(l.items[0].icon, (Rect{5, 5, 45, 35}));
  EXPECT_EQ(ui::ToPixels(20, 120), 25);
  EXPECT_EQ(ui::ToPixels(66, 0), 66);  // an unknown DPI counts as 96
}

TEST(MainMenuIcons, TheDrawingNearestToTheMonitorsScale) {
  EXPECT_EQ(IconIdFor(kIconSettings, 96), 341);
  EXPECT_EQ(IconIdFor(kIconSettings, 119), 341);
  EXPECT_EQ(IconIdFor(kIconOptions, 120), 1345);
  EXPECT_EQ(IconIdFor(kIconOptions, 144), 1345);
  EXPECT_EQ(IconIdFor(kIconToolbox, 168), 2344);
  EXPECT_EQ(IconIdFor(kIconToolbox, 192), 2344);
  EXPECT_EQ(IconIdFor(kIconToolbox, 288), 2344);  // no larger drawing: 2x stretched
  EXPECT_EQ(IconIdFor(0, 192), 0);                 // no icon stays none
}

TEST(MenuPlacement, OpensRightAndBelowTheCursorWhereItFits) {
  EXPECT_EQ(PlacePopup(100, 100, 166, 76, kScreen, 96), (Point{100, 100}));
  // Exactly fitting on the right: no flip.
  EXPECT_EQ(PlacePopup(1024 - 166, 100, 166, 76, kScreen, 96).x, 1024 - 166);
}

TEST(MenuPlacement, NearTheBottomRightCornerOpensUpAndLeft) {
  Point p = PlacePopup(1000, 740, 166, 76, kScreen, 96);
  EXPECT_EQ(p, (Point{1000 - 166, 740 - 76}));  // its bottom-right corner at the cursor
  // The bottom flip keeps 43 pixels for a taskbar: last item's bottom (73) + 43 + y > 768.
  EXPECT_EQ(PlacePopup(10, 768 - 73 - 43, 166, 76, kScreen, 96).y, 768 - 73 - 43);
  EXPECT_EQ(PlacePopup(10, 768 - 73 - 43 + 1, 166, 76, kScreen, 96).y, 768 - 73 - 43 + 1 - 76);
}

TEST(MenuPlacement, StaysOnItsMonitor) {
  // A second monitor to the right of the first.
  Rect second{1024, 0, 2048, 768};
  EXPECT_EQ(PlacePopup(2000, 100, 166, 76, second, 96), (Point{2000 - 166, 100}));
  // A menu wider than the room on either side starts at the monitor's left edge.
  EXPECT_EQ(PlacePopup(1100, 100, 1000, 76, second, 96).x, 1024);
  // A menu taller than the room above starts at the monitor's top.
  EXPECT_EQ(PlacePopup(10, 700, 166, 900, kScreen, 96).y, 0);
}

TEST(SubmenuPlacement, RightOfTheParentLevelWithTheItem) {
  Rect parent{100, 200, 266, 276};
  Rect item{3, 43, 163, 63};
  EXPECT_EQ(PlaceSubmenu(parent, item, 150, 96, kScreen, 22, 96), (Point{266, 243}));
}

TEST(SubmenuPlacement, FlipsLeftAtTheRightEdgeAndUpNearTheBottom) {
  Rect parent{800, 600, 966, 676};
  Rect item{3, 43, 163, 63};
  // 966 + 150 > 1024: left of the parent. 643 + 96 > 768 - 22 - 20: bottom at the item's bottom.
  EXPECT_EQ(PlaceSubmenu(parent, item, 150, 96, kScreen, 22, 96), (Point{800 - 150, 663 - 96}));
  // Just fitting above the reserve: no flip.
  Rect mid{100, 500, 266, 576};
  EXPECT_EQ(PlaceSubmenu(mid, item, 150, 726 - 543, kScreen, 22, 96).y, 543);
  EXPECT_EQ(PlaceSubmenu(mid, item, 150, 726 - 543 + 1, kScreen, 22, 96).y, 563 - 184);
}

TEST(ColorGrid, CellsAndPicking) {
  ColorGrid g = LayOutColorGrid(96);
  EXPECT_EQ(g.width, 186);
  EXPECT_EQ(g.height, 126);
  EXPECT_EQ(g.Cell(0, 0), (Rect{3, 3, 13, 13}));
  EXPECT_EQ(g.Cell(17, 11), (Rect{173, 113, 183, 123}));
  EXPECT_EQ(g.IndexAt(3, 3), 0);
  EXPECT_EQ(g.IndexAt(12, 12), 0);
  EXPECT_EQ(g.IndexAt(13, 3), 12);   // column 1, row 0
  EXPECT_EQ(g.IndexAt(3, 13), 1);    // column 0, row 1
  EXPECT_EQ(g.IndexAt(182, 122), 215);
  // The frame and the margin are no colour.
  EXPECT_EQ(g.IndexAt(0, 50), -1);
  EXPECT_EQ(g.IndexAt(2, 50), -1);
  EXPECT_EQ(g.IndexAt(183, 50), -1);
  EXPECT_EQ(g.IndexAt(50, 123), -1);
  EXPECT_EQ(LayOutColorGrid(192).width, 372);
}

TEST(ColorGrid, PaletteIsTheTableColumnByColumn) {
  EXPECT_EQ(PaletteColor(0), 0x000000u);
  EXPECT_EQ(PaletteColor(1), 0x000033u);        // row 1, column 0
  EXPECT_EQ(PaletteColor(12), 0x003300u);       // row 0, column 1
  EXPECT_EQ(PaletteColor(11 + 12 * 17), 0xFFFFFFu);
  EXPECT_EQ(PaletteColor(0 + 12 * 17), 0x65FF00u);  // the off-grid entries are kept
  EXPECT_EQ(PaletteColor(8 + 12 * 17), 0xFFFE65u);
  EXPECT_EQ(PaletteColor(3 + 12 * 5), 0x00FF98u);
  EXPECT_EQ(PaletteColor(-1), 0xFFFFFFu);
  EXPECT_EQ(PaletteColor(216), 0xFFFFFFu);
  std::set<uint32_t> distinct;
  for (int i = 0; i < kColorCount; ++i) distinct.insert(PaletteColor(i));
  EXPECT_EQ(distinct.size(), 216u);
  EXPECT_EQ(RgbToColorref(0xACA899), 0x99A8ACu);
}

}  // namespace
}  // namespace menus
