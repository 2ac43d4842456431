// What the settings dialog shows and changes: start with Windows, how often every widget
// refreshes, and how new widgets start out (where they sit, their colour theme and
// background opacity). Values that data.dat did not hold before have elements of their own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/manager_data.h"

namespace menus {

constexpr int kDefaultRefreshSeconds = 1801;  // about half an hour
constexpr int kMinRefreshSeconds = 5 * 60;
constexpr int kMaxRefreshSeconds = 24 * 60 * 60;

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
// Seconds between silent refreshes for a stored value: the effective interval, where a
// value the user chose passes `divisor` times faster (at least 2 s). Test builds set a
// divisor so that an end-to-end test sees the chosen pace in seconds; the choices offered
// and the default period stay the same in every build.
int RefreshPeriodSeconds(int32_t stored, int divisor);
// The same with this build's divisor (1 in a program for users).
int RefreshPeriodSeconds(int32_t stored);

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
