// What the program remembers about fetching each widget's feed: the validators of the
// last good answer (so that the next request, also after a restart, can be answered with
// "not modified"), and how long to leave a failing or busy feed alone.
#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "model/feed_item.h"

namespace feed {

// Entries kept in the file; the least recently used go first.
constexpr size_t kMaxFetchStates = 512;

struct FetchState {
  std::u16string etag;          // ETag of the last 200 answer
  std::u16string lastModified;  // its Last-Modified
  int failures = 0;             // failed refreshes in a row
  int64_t notBefore = 0;        // Unix seconds: no automatic request before this
  int64_t used = 0;             // Unix seconds of the last refresh
  // Links of items already delivered, newest first, at most kMaxShownLinks: an item whose
  // link is not among them is new.
  std::vector<std::u16string> shown;
};

// Links remembered per feed for telling new items from old ones.
constexpr size_t kMaxShownLinks = 200;

// Marks the items whose links were never delivered before as fresh and remembers every
// link. The first delivery of a feed marks nothing: all of it is new to the widget, and
// a badge on every line would say nothing.
void MarkFreshItems(FetchState* state, std::vector<FeedItem>* items);

// A refresh the program starts on its own (not the user) waits until `notBefore`.
bool AutomaticRequestAllowed(const FetchState& state, int64_t now);

// A good answer: new validators (empty ones forget the old), failures forgotten.
void RecordAnswer(FetchState* state, const std::u16string& etag, const std::u16string& lastModified, int64_t now);
// "Not modified": the validators stay, failures are forgotten.
void RecordUnchanged(FetchState* state, int64_t now);
// A failure: the next automatic request waits as long as the server asked (Retry-After,
// seconds; 0 when it did not say). The back-off is the widget's (feed/refresh_policy).
void RecordFailure(FetchState* state, int64_t retryAfterSeconds, int64_t now);

// The states of every widget's feed, by key, shared by the refresh workers and kept in a
// file of their own (written with the atomic write). Safe to use from any thread.
class FetchStates {
 public:
  // Reads the file (a missing or unreadable one means nothing is remembered) and keeps
  // its path for later saves. An empty path keeps everything in memory only.
  void Open(const std::u16string& path);

  FetchState Get(const std::u16string& key) const;
  // Stores the state in memory; the file is written by the next Save.
  void Store(const std::u16string& key, const FetchState& state);
  // Writes the file when what is worth remembering changed since it was last written.
  // The file is written outside the lock, so Get and Store never wait for the disk; while
  // one thread writes, a Save from another returns at once and the writer writes again
  // with what was stored meanwhile, so several answers at once make one or two writes.
  void Save();
  // Store, then Save.
  void Put(const std::u16string& key, const FetchState& state);

  // The file's text and its reading, exposed for tests.
  std::string Serialize() const;
  void Parse(const std::string& text);

 private:
  std::string SerializeLocked() const;
  mutable std::mutex mutex_;
  std::map<std::u16string, FetchState> states_;
  std::u16string path_;
  bool changed_ = false;  // stored but not yet written
  bool writing_ = false;  // a thread is in Save's writing loop
};

}  // namespace feed
