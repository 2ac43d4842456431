#include "config/config_apply.h"

#include <algorithm>

namespace config {

WidgetPlace FirstWidgetPlace(int screenWidth, int screenHeight) {
  return WidgetPlace{std::max(screenWidth - 400, 50), std::min(0, screenHeight - 150)};
}

FirstWidgetAtStart PlanFirstWidgetAtStart(size_t widgetCount, bool asksService) {
  if (widgetCount > 0) return FirstWidgetAtStart::kNone;
  return asksService ? FirstWidgetAtStart::kWaiting : FirstWidgetAtStart::kBuiltIn;
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
  // The first widget's feed is decided here while it waits for one, or for a new widget
  // while there is none.
  const bool decides = in.firstWidgetWaiting || in.widgetCount == 0;
  auto first = [&p, &in, decides](const std::u16string& url) {
    if (!decides || url.empty()) return false;
    p.feedWaitingWidget = in.firstWidgetWaiting;
    p.createFirstWidget = !in.firstWidgetWaiting;
    p.firstWidgetUrl = url;
    if (p.createFirstWidget) p.firstWidgetPlace = FirstWidgetPlace(in.screenWidth, in.screenHeight);
    return true;
  };
  auto fallback = [&p, &in, &first] {
    if (first(in.fallbackUrl)) p.scheduleSave = true;
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
  if (p.remoteLinks.empty() || !first(p.remoteLinks.front().url)) fallback();
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
