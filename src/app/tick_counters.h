// The main window's one-second tick drives two periodic jobs through two counters (the
// widgets' refreshes follow their own schedule). Each counter is checked, fires and resets
// when above its limit, then counts the tick, so the advert scheduler runs on the 12th tick
// and every 11 ticks after, and the remote configuration on the 18002nd and every 18001.
#pragma once

namespace app {

struct TickActions {
  bool runAdvertScheduler = false;
  bool requestRemoteConfig = false;
};

class TickCounters {
 public:
  static constexpr int kAdvertLimit = 10;
  static constexpr int kConfigLimit = 18000;

  TickActions Tick() {
    TickActions a;
    if (a_ > kAdvertLimit) { a.runAdvertScheduler = true; a_ = 0; }
    ++a_;
    if (b_ > kConfigLimit) { a.requestRemoteConfig = true; b_ = 0; }
    ++b_;
    return a;
  }

 private:
  int a_ = 0, b_ = 0;
};

// Notices the network coming back. Asked every tick, it looks at the online state only
// every kCheckEveryTicks ticks, and only while something waits for the network: the
// system query is not free (under Wine it enumerates every adapter and route). It says
// when the state turned from offline to online since the last look.
class NetworkWatch {
 public:
  static constexpr int kCheckEveryTicks = 5;

  // `isOnline` is called only on the ticks that look. While nothing `waits`, nobody is
  // told and the watch starts afresh: the first look after that only takes the state.
  template <class IsOnline>
  bool Tick(bool waits, IsOnline isOnline) {
    if (!waits) {
      ticks_ = 0;
      wasOffline_ = false;
      return false;
    }
    if (++ticks_ < kCheckEveryTicks) return false;
    ticks_ = 0;
    const bool online = isOnline();
    const bool cameBack = online && wasOffline_;
    wasOffline_ = !online;
    return cameBack;
  }

 private:
  int ticks_ = 0;
  bool wasOffline_ = false;
};

}  // namespace app
