#include "feed/fetch_state.h"

#include <algorithm>
#include <vector>

#include "feed/refresh_policy.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/text.h"

namespace feed {
namespace {

constexpr char kFileHeader[] = "pelinor-fetch-state 1";

// One field of a line: tabs and line breaks cannot occur in it.
std::string Field(const std::u16string& s) {
  std::string out = platform::U16ToUtf8(s);
  for (char& c : out)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return out;
}

bool ToInt64(const std::string& s, int64_t* out) {
  if (s.empty() || s.size() > 18) return false;
  int64_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  *out = n;
  return true;
}

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = line.find(sep, start);
    parts.push_back(line.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

bool SameRemembered(const FetchState& a, const FetchState& b) {
  return a.etag == b.etag && a.lastModified == b.lastModified && a.failures == b.failures &&
         a.notBefore == b.notBefore && a.shown == b.shown;
}

}  // namespace

bool AutomaticRequestAllowed(const FetchState& state, int64_t now) { return now >= state.notBefore; }

void RecordAnswer(FetchState* state, const std::u16string& etag, const std::u16string& lastModified, int64_t now) {
  state->etag = etag;
  state->lastModified = lastModified;
  state->failures = 0;
  state->notBefore = 0;
  state->used = now;
}

void RecordUnchanged(FetchState* state, int64_t now) {
  state->failures = 0;
  state->notBefore = 0;
  state->used = now;
}

void RecordFailure(FetchState* state, int64_t retryAfterSeconds, int64_t now) {
  if (state->failures < 1000) ++state->failures;
  state->notBefore = retryAfterSeconds > 0 ? now + std::min(retryAfterSeconds, kMaxIntervalSeconds) : 0;
  state->used = now;
}

void MarkFreshItems(FetchState* state, std::vector<FeedItem>* items) {
  const bool first = state->shown.empty();
  std::vector<std::u16string> links;
  for (FeedItem& item : *items) {
    item.fresh = !first && std::find(state->shown.begin(), state->shown.end(), item.link) == state->shown.end();
    if (std::find(links.begin(), links.end(), item.link) == links.end() && links.size() < kMaxShownLinks)
      links.push_back(item.link);
  }
  // The feed's current links first, then the older ones still remembered.
  for (const std::u16string& old : state->shown) {
    if (links.size() >= kMaxShownLinks) break;
    if (std::find(links.begin(), links.end(), old) == links.end()) links.push_back(old);
  }
  state->shown = std::move(links);
}

void FetchStates::Open(const std::u16string& path) {
  std::string text;
  bool read = !path.empty() && platform::ReadWholeFile(path, &text);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    path_ = path;
    states_.clear();
    changed_ = false;
  }
  if (read) Parse(text);
}

FetchState FetchStates::Get(const std::u16string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = states_.find(key);
  return it == states_.end() ? FetchState() : it->second;
}

void FetchStates::Store(const std::u16string& key, const FetchState& state) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = states_.find(key);
  if (it == states_.end() || !SameRemembered(it->second, state)) changed_ = true;
  states_[key] = state;
  if (states_.size() > kMaxFetchStates) {
    auto oldest = states_.begin();
    for (auto i = states_.begin(); i != states_.end(); ++i)
      if (i->second.used < oldest->second.used) oldest = i;
    states_.erase(oldest);
  }
}

void FetchStates::Save() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (writing_ || path_.empty()) return;  // the writer picks up what changed
  writing_ = true;
  while (changed_) {
    changed_ = false;
    const std::string text = SerializeLocked();
    const std::u16string path = path_;
    lock.unlock();
    std::string error;
    if (!platform::WriteFileAtomic(path, text, &error)) LogError("feed fetch state not saved: %s", error.c_str());
    lock.lock();
  }
  writing_ = false;
}

void FetchStates::Put(const std::u16string& key, const FetchState& state) {
  Store(key, state);
  Save();
}

std::string FetchStates::Serialize() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return SerializeLocked();
}

std::string FetchStates::SerializeLocked() const {
  std::string out = std::string(kFileHeader) + "\n";
  for (const auto& [key, s] : states_) {
    out += Field(key) + "\t" + Field(s.etag) + "\t" + Field(s.lastModified) + "\t" + std::to_string(s.failures) +
           "\t" + std::to_string(s.notBefore) + "\t" + std::to_string(s.used);
    for (const std::u16string& link : s.shown) out += "\t" + Field(link);
    out += "\n";
  }
  return out;
}

void FetchStates::Parse(const std::string& text) {
  std::vector<std::string> lines = Split(text, '\n');
  std::lock_guard<std::mutex> lock(mutex_);
  if (lines.empty() || lines[0] != kFileHeader) return;  // another program's or a damaged file
  for (size_t i = 1; i < lines.size() && states_.size() < kMaxFetchStates; ++i) {
    std::vector<std::string> f = Split(lines[i], '\t');
    FetchState s;
    int64_t failures = 0;
    if (f.size() < 6 || f[0].empty() || !ToInt64(f[3], &failures) || !ToInt64(f[4], &s.notBefore) ||
        !ToInt64(f[5], &s.used))
      continue;
    s.etag = platform::Utf8ToU16(f[1]);
    s.lastModified = platform::Utf8ToU16(f[2]);
    s.failures = static_cast<int>(std::min<int64_t>(failures, 1000));
    for (size_t k = 6; k < f.size() && s.shown.size() < kMaxShownLinks; ++k)
      if (!f[k].empty()) s.shown.push_back(platform::Utf8ToU16(f[k]));
    states_[platform::Utf8ToU16(f[0])] = s;
  }
}

}  // namespace feed
