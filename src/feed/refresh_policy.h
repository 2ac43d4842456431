// When a feed is next due: one rule for the periodic refresh and for the retries after
// failures. A feed is asked again its interval after the last attempt; after failures it
// is asked sooner (1, 2, 4 ... minutes), but never waits longer than its interval, and
// never less than the server asked for with Retry-After. Feeds due together start a
// little apart instead of in one burst.
#pragma once
#include <cstddef>
#include <cstdint>

#include "model/manager_data.h"
#include "model/notes_local_info.h"

namespace feed {

// The interval of a widget that follows the settings (and of the settings never chosen).
constexpr int64_t kDefaultIntervalSeconds = 1800;
// Intervals a user may choose, the settings' and a widget's own.
constexpr int64_t kMinIntervalSeconds = CNotesLocalInfo::kMinRefreshInterval;
constexpr int64_t kMaxIntervalSeconds = CNotesLocalInfo::kMaxRefreshInterval;
// The first wait after a failure; it doubles with each further failure.
constexpr int64_t kFirstRetrySeconds = 60;
// Feeds due at the same moment are spread over this many seconds.
constexpr int64_t kSpreadSeconds = 60;

// The interval a stored value stands for: values outside 5 minutes to a day (0: never
// chosen) give `fallback`.
int64_t EffectiveInterval(int64_t stored, int64_t fallback = kDefaultIntervalSeconds);
// A widget's interval: its own choice (0: the default) or else the settings' default.
int64_t WidgetInterval(int32_t own, int64_t settingsDefault);

// The wait after `failures` failures in a row (none when 0): the first retry wait,
// doubling, at most `interval`, and never less than `retryAfter` (seconds the server asked
// to be left alone, followed up to a day; 0 when it did not say).
int64_t RetryWait(int failures, int64_t interval, int64_t retryAfter = 0);

// The moment (seconds) a feed is next due, from its last attempt, the failures in a row
// since the last answer, the server's Retry-After and its interval.
int64_t NextDue(int64_t lastAttempt, int failures, int64_t retryAfter, int64_t interval);

// Of `count` feeds found due at the same moment, how long the `index`-th (from 0) waits:
// they are spread evenly over kSpreadSeconds, at least a second apart.
int64_t SpreadDelay(size_t index, size_t count);

// A read-only view of the settings a refresh schedule follows.
class RefreshSettingsView {
 public:
  virtual ~RefreshSettingsView() = default;
  // The interval of the widgets that follow the settings, in seconds.
  virtual int64_t DefaultIntervalSeconds() const = 0;
};

// The view of the manager's settings (the interval chosen in the settings dialog).
class SettingsRefreshView : public RefreshSettingsView {
 public:
  explicit SettingsRefreshView(const ManagerData& settings) : settings_(settings) {}
  int64_t DefaultIntervalSeconds() const override { return EffectiveInterval(settings_.refresh_interval); }

 private:
  const ManagerData& settings_;
};

}  // namespace feed
