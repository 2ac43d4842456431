// What the settings dialog shows and changes: start with Windows, how often every widget
// refreshes, and how new widgets start out (where they sit, their colour theme and
// background opacity). Values that data.dat did not hold before have elements of their own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "feed/refresh_policy.h"
#include "model/manager_data.h"

namespace menus {

constexpr int kDefaultRefreshSeconds = static_cast<int>(feed::kDefaultIntervalSeconds);
constexpr int kMinRefreshSeconds = static_cast<int>(feed::kMinIntervalSeconds);
constexpr int kMaxRefreshSeconds = static_cast<int>(feed::kMaxIntervalSeconds);

struct RefreshChoice {
  int seconds;
  const char16_t* label;
};
// 5 minutes to a day, shortest first.
const std::vector<RefreshChoice>& RefreshChoices();
// The period in seconds that a stored value stands for: 0 (never chosen) and values outside
// 5 minutes to a day give the default.
int EffectiveRefreshSeconds(int32_t stored);
// The choice closest to `seconds` (the default shows as 30 minutes).
size_t NearestRefreshChoice(int seconds);

enum NewWidgetPlace : int32_t { kPlaceNormal = 0, kPlaceOnTop = 1, kPlaceDesktop = 2 };

struct SettingsValues {
  bool autoStart = false;
  int refreshSeconds = kDefaultRefreshSeconds;
  int32_t place = kPlaceNormal;
  int32_t theme = 0;  // 1-6, 0: the program's default
  int32_t alpha = 0;  // 1-255, 0: the program's default
};

SettingsValues ValuesFrom(const ManagerData& m, bool autoStart);
// Writes the values into the manager's settings. The place is for new widgets only: the
// manager-wide desktop embedding (`embed_desktop`) of the widgets there is left alone.
void ApplyTo(const SettingsValues& v, ManagerData* m);

}  // namespace menus
