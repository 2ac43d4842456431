// Reading a large feed takes about three times its size in memory for a moment (the text
// as UTF-8, then the document tree), and every download thread reads what it fetched.
// When many large feeds (podcasts of several megabytes) arrive together, as at start-up,
// reading them all at once would add those moments up. The gate lets one large document
// be read at a time; small ones, the usual case, pass at once.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace feed {

class ParseGate {
 public:
  // Documents of at least `largeBytes` are large; at most `atOnce` of them pass together.
  ParseGate(size_t largeBytes, int atOnce);
  ParseGate(const ParseGate&) = delete;
  ParseGate& operator=(const ParseGate&) = delete;

  // Holds a place while it lives (none for a small document).
  class Pass {
   public:
    Pass() = default;
    Pass(Pass&& other) noexcept : gate_(other.gate_), admitted_(other.admitted_) { other.gate_ = nullptr; }
    Pass& operator=(Pass&&) = delete;
    ~Pass();
    // False when the wait ended because the stop flag was raised: read nothing then.
    explicit operator bool() const { return admitted_; }

   private:
    friend class ParseGate;
    Pass(ParseGate* gate, bool admitted) : gate_(gate), admitted_(admitted) {}
    ParseGate* gate_ = nullptr;  // set while a place is held
    bool admitted_ = false;
  };

  // Waits for a place for a document of `bytes`, giving up soon after `*stop` (when given)
  // is raised.
  Pass Enter(size_t bytes, const std::atomic<bool>* stop);

  int inside() const;  // large documents being read now (for tests)

 private:
  void Leave();

  const size_t largeBytes_;
  const int atOnce_;
  mutable std::mutex mutex_;
  std::condition_variable freed_;
  int inside_ = 0;
};

// A feed of a megabyte or more is large: most are tens of kilobytes, podcasts reach several
// megabytes.
constexpr size_t kLargeFeedBytes = 1u << 20;

}  // namespace feed
