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

// The first widget of an installation that has none is shown at once. While the maker's
// service may still name its feed, it waits for it, saying it is loading ("正在加载…"); it
// then takes the maker's first source when the configuration names one, and the built-in
// feed when the configuration names none or fails (PlanApply), or when no connection
// appears for a while (the start-up's network wait). Without a service to ask, it takes the
// built-in feed at once. Once it has a feed, a later configuration leaves it alone.
enum class FirstWidgetAtStart {
  kNone,      // there are widgets already
  kWaiting,   // shown at once, waiting for the configuration
  kBuiltIn,   // shown at once with the built-in feed
};
FirstWidgetAtStart PlanFirstWidgetAtStart(size_t widgetCount, bool asksService);

constexpr size_t kMaxWidgetAdLinks = 10;
constexpr int32_t kWidgetAdLinkPosition = 6;

struct ApplyInput {
  const AppConfig* config = nullptr;  // the record now in force (null: none yet)
  bool parsed = false;                // this response was fetched and parsed
  bool carriedStatistics = false;     // the request reported the usage counts
  const std::vector<NewsLink>* customLinks = nullptr;
  size_t widgetCount = 0;
  bool firstWidgetWaiting = false;    // one of them is the first widget, still without a feed
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
  bool createFirstWidget = false;             // a new widget for firstWidgetUrl at firstWidgetPlace
  bool feedWaitingWidget = false;             // the waiting first widget takes firstWidgetUrl
  std::u16string firstWidgetUrl;
  WidgetPlace firstWidgetPlace;
  std::vector<AdvLink> widgetAdLinks;         // link i goes to widget i
  bool scheduleSave = false;
  bool offerUpdate = false;
  std::u16string offerVersion, offerMessage, offerUrl;
};

// A successful response resets the statistics only when its request reported them, and
// gives the first widget (the waiting one, or a new one when there is no widget) the first
// of the remote list, or the fallback when that list leaves none; a failed response
// changes nothing but the fallback widget.
ApplyPlan PlanApply(const ApplyInput& in);

// A first widget for an installation with none, from the built-in fallback: used when no
// connection appears in time and when a configuration request fails.
bool NeedsFallbackWidget(size_t widgetCount, const std::u16string& fallbackUrl);

// The remote list built from the sources, in their order, leaving out every source whose
// URL equals (case-sensitively) a custom link's URL.
std::vector<NewsLink> RemoteLinksFrom(const std::vector<ThirdPartyNewsSource>& sources,
                                      const std::vector<NewsLink>& custom);

}  // namespace config
