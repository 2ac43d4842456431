#include "feed/refresh_policy.h"

#include <algorithm>

namespace feed {

int64_t EffectiveInterval(int64_t stored, int64_t fallback) {
  if (stored < kMinIntervalSeconds || stored > kMaxIntervalSeconds) return fallback;
  return stored;
}

int64_t WidgetInterval(int32_t own, int64_t settingsDefault) {
  return EffectiveInterval(own, EffectiveInterval(settingsDefault));
}

namespace {
// A server's Retry-After, as far as it is followed: a day at most, so that a wrong or
// hostile header cannot silence a feed for good.
int64_t Honoured(int64_t retryAfter) { return std::clamp<int64_t>(retryAfter, 0, kMaxIntervalSeconds); }
}  // namespace

int64_t RetryWait(int failures, int64_t interval, int64_t retryAfter) {
  retryAfter = Honoured(retryAfter);
  if (failures <= 0) return retryAfter;
  interval = std::max<int64_t>(interval, 1);
  int64_t wait = std::min(kFirstRetrySeconds, interval);
  for (int i = 1; i < failures && wait < interval; ++i) wait *= 2;
  return std::max(std::min(wait, interval), retryAfter);
}

int64_t NextDue(int64_t lastAttempt, int failures, int64_t retryAfter, int64_t interval) {
  if (failures <= 0) return lastAttempt + std::max(std::max<int64_t>(interval, 1), Honoured(retryAfter));
  return lastAttempt + RetryWait(failures, interval, retryAfter);
}

int64_t SpreadDelay(size_t index, size_t count) {
  if (index == 0 || count == 0) return 0;
  const int64_t even = static_cast<int64_t>(index) * kSpreadSeconds / static_cast<int64_t>(count);
  return std::max<int64_t>(even, static_cast<int64_t>(index));
}

}  // namespace feed
