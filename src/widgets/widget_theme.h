// The six background colour themes of a widget: title strip and the two ends of the
// body gradient. Colours are COLORREF values (red in the low byte).
#pragma once
#include <cstdint>

namespace widgets {

struct ColorTheme {
  int id;
  const char16_t* menuName;
  uint32_t title;
  uint32_t bodyTop;
  uint32_t bodyBottom;
};

constexpr int kThemeCount = 6;
constexpr int kDefaultThemeId = 6;  // every new widget starts blue

// The table in id order (1..6).
const ColorTheme* Themes();
// The theme with that id, or null for an unknown id.
const ColorTheme* FindTheme(int id);

}  // namespace widgets
