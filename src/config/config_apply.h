// What the main window does with a configuration response, decided without windows: the
// caller carries out the plan (statistics, link lists, first widget, widgets' advert
// lines, save, update offer) in the order of its fields.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "config/app_config.h"
#include "model/manager_data.h"

namespace config {

// Where the first widget of an installation goes on a screen of the given size.
struct WidgetPlace {
  int x = 0;
  int y = 0;
};
WidgetPlace FirstWidgetPlace(int screenWidth, int screenHeight);

constexpr size_t kMaxWidgetAdLinks = 10;
constexpr int32_t kWidgetAdLinkPosition = 6;

struct ApplyInput {
  const AppConfig* config = nullptr;  // the record now in force (null: none yet)
  bool parsed = false;                // this response was fetched and parsed
  bool carriedStatistics = false;     // the request reported the usage counts
  const std::vector<NewsLink>* customLinks = nullptr;
  size_t widgetCount = 0;
  std::u16string fallbackUrl;         // built-in feed for a first widget
  int screenWidth = 0;
  int screenHeight = 0;
  int64_t now = 0;                    // seconds since 1970, for adverts that have ended
};

struct ApplyPlan {
  bool resetStatistics = false;
  std::vector<AdvertRecord> currentAdverts;   // position 1 not ended, and all of position 2
  std::vector<AdvLinkGroup> advLinkGroups;
  bool replaceRemoteLinks = false;
  std::vector<NewsLink> remoteLinks;          // the new remote list (custom URLs left out)
  bool createFirstWidget = false;
  std::u16string firstWidgetUrl;
  WidgetPlace firstWidgetPlace;
  std::vector<AdvLink> widgetAdLinks;         // link i goes to widget i
  bool scheduleSave = false;
  bool offerUpdate = false;
  std::u16string offerVersion, offerMessage, offerUrl;
};

// A successful response resets the statistics only when its request reported them, and
// makes a first widget from the remote list, or from the fallback when that list leaves
// none; a failed response changes nothing but the fallback widget.
ApplyPlan PlanApply(const ApplyInput& in);

// A first widget for an installation with none, from the built-in fallback: used when no
// connection appears in time and when a configuration request fails.
bool NeedsFallbackWidget(size_t widgetCount, const std::u16string& fallbackUrl);

// The remote list built from the sources, in their order, leaving out every source whose
// URL equals (case-sensitively) a custom link's URL.
std::vector<NewsLink> RemoteLinksFrom(const std::vector<ThirdPartyNewsSource>& sources,
                                      const std::vector<NewsLink>& custom);

}  // namespace config
