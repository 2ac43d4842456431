#include "widgets/widget_theme.h"

namespace widgets {

namespace {
constexpr ColorTheme kThemes[kThemeCount] = {
    {1, u"粉红", 0xF1C3F1, 0xF5D2F5, 0xEBAEEB},
    {2, u"绿色", 0xC1F7C5, 0xCCFFD2, 0xAEE8B1},
    {3, u"紫色", 0xF3CDD4, 0xFED9DD, 0xFEB8C6},
    {4, u"白色", 0xF5F5F5, 0xFEFEFE, 0xEBEBEB},
    {5, u"黄色", 0xB6F7F8, 0xCBFDFD, 0xA1F9FC},
    {6, u"蓝色", 0xF8ECC9, 0xFAF2D8, 0xF4DBB8},
};
}  // namespace

const ColorTheme* Themes() { return kThemes; }

const ColorTheme* FindTheme(int id) {
  for (const ColorTheme& t : kThemes)
    if (t.id == id) return &t;
  return nullptr;
}

}  // namespace widgets
