// OPML files as a user might import them: any bytes. The first byte picks how many links
// the list holds already and how much room is left, so that repeats and the cap are reached.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "feed/feed_text.h"
#include "feed/opml.h"
#include "net/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<NewsLink> existing;
  if (data[0] & 1) existing.push_back({u"a", u"http://a.example/rss"});
  const size_t room = data[0] >> 1;
  feed::OpmlImport r = feed::ReadOpml(reinterpret_cast<const char*>(data) + 1, size - 1, existing, room);
  if (r.status != feed::OpmlStatus::kRead && (!r.links.empty() || r.skipped != 0)) __builtin_trap();
  if (r.links.size() > room || r.skipped < 0) __builtin_trap();
  for (size_t i = 0; i < r.links.size(); ++i) {
    const NewsLink& l = r.links[i];
    // Only web addresses are taken, each once, never one already held.
    std::u16string scheme = l.url.substr(0, 8);
    for (char16_t& c : scheme)
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (l.name.empty() || (scheme.compare(0, 7, u"http://") != 0 && scheme != u"https://")) __builtin_trap();
    for (size_t j = 0; j < i; ++j)
      if (net::SameAddress(r.links[j].url, l.url)) __builtin_trap();
    for (const NewsLink& e : existing)
      if (net::SameAddress(e.url, l.url)) __builtin_trap();
  }
  if (r.noRoom < 0 || r.noRoom > r.skipped || (r.noRoom > 0 && r.links.size() != room)) __builtin_trap();
  // What is taken writes out and reads back as the same list, less user names and passwords
  // (addresses that are the same without them, or have no host left, then go).
  std::vector<std::u16string> expected;
  for (const NewsLink& l : r.links) {
    const std::u16string bare = net::WithoutUserInfo(l.url);
    bool known = feed::OpenableAddress(u"", bare).empty();
    for (const std::u16string& e : expected) known = known || net::SameAddress(e, bare);
    if (!known) expected.push_back(bare);
  }
  std::string again = feed::WriteOpml(r.links, u"t");
  feed::OpmlImport back = feed::ReadOpml(again.data(), again.size(), {}, r.links.size());
  if (back.status != feed::OpmlStatus::kRead || back.links.size() != expected.size()) __builtin_trap();
  for (size_t i = 0; i < expected.size(); ++i)
    if (back.links[i].url != expected[i]) __builtin_trap();
  return 0;
}
