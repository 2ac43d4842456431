#include "menus/settings_values.h"

#include <cstdlib>

namespace menus {

const std::vector<RefreshChoice>& RefreshChoices() {
  static const std::vector<RefreshChoice> choices = {
      {5 * 60, u"5 分钟"},  {10 * 60, u"10 分钟"}, {15 * 60, u"15 分钟"}, {30 * 60, u"30 分钟"},
      {3600, u"1 小时"},    {2 * 3600, u"2 小时"}, {6 * 3600, u"6 小时"}, {12 * 3600, u"12 小时"},
      {24 * 3600, u"1 天"}};
  return choices;
}

int EffectiveRefreshSeconds(int32_t stored) { return static_cast<int>(feed::EffectiveInterval(stored)); }

size_t NearestRefreshChoice(int seconds) {
  const auto& choices = RefreshChoices();
  size_t best = 0;
  for (size_t i = 1; i < choices.size(); ++i)
    if (std::abs(choices[i].seconds - seconds) < std::abs(choices[best].seconds - seconds)) best = i;
  return best;
}

SettingsValues ValuesFrom(const ManagerData& m, bool autoStart) {
  SettingsValues v;
  v.autoStart = autoStart;
  v.refreshSeconds = EffectiveRefreshSeconds(m.refresh_interval);
  v.place = m.new_widget_place >= kPlaceNormal && m.new_widget_place <= kPlaceDesktop ? m.new_widget_place
                                                                                     : kPlaceNormal;
  v.theme = m.new_widget_theme >= 1 && m.new_widget_theme <= 6 ? m.new_widget_theme : 0;
  v.alpha = m.new_widget_alpha >= 1 && m.new_widget_alpha <= 255 ? m.new_widget_alpha : 0;
  return v;
}

void ApplyTo(const SettingsValues& v, ManagerData* m) {
  m->refresh_interval = EffectiveRefreshSeconds(v.refreshSeconds);
  m->new_widget_place = v.place;  // for widgets made from now on: the others keep their place
  m->new_widget_theme = v.theme;
  m->new_widget_alpha = v.alpha;
}

}  // namespace menus
