#include "config/config_apply.h"

#include <algorithm>

namespace config {

WidgetPlace FirstWidgetPlace(int screenWidth, int screenHeight) {
  return WidgetPlace{std::max(screenWidth - 400, 50), std::min(0, screenHeight - 150)};
}

bool NeedsFallbackWidget(size_t widgetCount, const std::u16string& fallbackUrl) {
  return widgetCount == 0 && !fallbackUrl.empty();
}

std::vector<NewsLink> RemoteLinksFrom(const std::vector<ThirdPartyNewsSource>& sources,
                                      const std::vector<NewsLink>& custom) {
  std::vector<NewsLink> out;
  for (const ThirdPartyNewsSource& s : sources) {
    bool isCustom = std::any_of(custom.begin(), custom.end(), [&s](const NewsLink& c) { return c.url == s.url; });
    if (!isCustom) out.push_back(NewsLink{s.name, s.url});
  }
  return out;
}

ApplyPlan PlanApply(const ApplyInput& in) {
  ApplyPlan p;
  auto fallback = [&p, &in] {
    if (!NeedsFallbackWidget(in.widgetCount, in.fallbackUrl)) return;
    p.createFirstWidget = true;
    p.firstWidgetUrl = in.fallbackUrl;
    p.firstWidgetPlace = FirstWidgetPlace(in.screenWidth, in.screenHeight);
    p.scheduleSave = true;
  };
  if (!in.parsed || !in.config) {
    fallback();
    return p;
  }
  const AppConfig& c = *in.config;
  p.resetStatistics = in.carriedStatistics;
  for (const AdvertRecord& a : c.adverts)
    if ((a.position == 1 && a.endtime > in.now) || a.position == 2) p.currentAdverts.push_back(a);
  p.advLinkGroups = c.advLinkGroups;
  static const std::vector<NewsLink> kNone;
  if (!c.newsSources.empty()) {
    p.replaceRemoteLinks = true;
    p.remoteLinks = RemoteLinksFrom(c.newsSources, in.customLinks ? *in.customLinks : kNone);
  }
  if (in.widgetCount == 0 && !p.remoteLinks.empty()) {
    p.createFirstWidget = true;
    p.firstWidgetUrl = p.remoteLinks.front().url;
    p.firstWidgetPlace = FirstWidgetPlace(in.screenWidth, in.screenHeight);
  } else {
    fallback();
  }
  size_t widgets = in.widgetCount + (p.createFirstWidget ? 1 : 0);
  for (const AdvLinkGroup& g : c.advLinkGroups) {
    if (g.position != kWidgetAdLinkPosition) continue;
    for (const AdvLink& l : g.links)
      if (p.widgetAdLinks.size() < std::min(kMaxWidgetAdLinks, widgets)) p.widgetAdLinks.push_back(l);
  }
  p.scheduleSave = true;
  p.offerUpdate = !c.updateVersion.empty() && !c.updateUrl.empty();
  p.offerVersion = c.updateVersion;
  p.offerMessage = c.updateMessage;
  p.offerUrl = c.updateUrl;
  return p;
}

}  // namespace config
