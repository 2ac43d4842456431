// The start-up wait for the network: once a second until a connection shows, then the
// remote configuration is asked for, once, with the usage counts. A fresh installation's
// first widget does not wait for it for ever: after kFallbackAfterOfflineTicks offline
// seconds it takes the built-in feed.
#pragma once
#include <string>

namespace app {

class StartupWait {
 public:
  static constexpr int kFallbackAfterOfflineTicks = 30;

  enum class Step {
    kWait,            // still offline: ask again in a second
    kFallbackWidget,  // still offline, long enough: give the first widget a built-in feed
    kRequestConfig,   // online: ask for the configuration; the wait is over
  };

  // One second of the wait. After kRequestConfig the wait is over and says kWait only.
  Step Tick(bool online) {
    if (over_) return Step::kWait;
    if (online) {
      over_ = true;
      return Step::kRequestConfig;
    }
    return ++offlineTicks_ == kFallbackAfterOfflineTicks ? Step::kFallbackWidget : Step::kWait;
  }
  bool over() const { return over_; }

  // The query of the start-up request: the run mark and the usage counts (URL-encoded).
  static std::string Query(const std::string& statistics) { return "run=1&stat=" + statistics; }

 private:
  int offlineTicks_ = 0;
  bool over_ = false;
};

}  // namespace app
