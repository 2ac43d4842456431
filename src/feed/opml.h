// Subscription lists as OPML files, the form every feed reader exchanges them in: a
// writer for the program's subscriptions and a reader that takes from any OPML file the
// feeds worth keeping (names and web addresses; folders flattened; repeats dropped).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "model/manager_data.h"

namespace feed {

// A larger file is not read at all: real subscription lists are a few hundred kilobytes.
constexpr size_t kMaxOpmlBytes = 4u << 20;

// An OPML 2.0 document in UTF-8 holding one outline per link, in order. Every text is
// escaped; characters XML cannot carry are dropped. User names and passwords never leave:
// addresses are written without them, and a name that repeats them loses them too.
std::string WriteOpml(const std::vector<NewsLink>& links, const std::u16string& title);

enum class OpmlStatus {
  kRead,      // the document was read; `links` holds what is worth taking
  kTooLarge,  // over kMaxOpmlBytes: nothing was read
  kNotOpml,   // not well-formed XML, nested too deep, or no <opml> root
};

struct OpmlImport {
  OpmlStatus status = OpmlStatus::kNotOpml;
  std::vector<NewsLink> links;  // to be added, in document order
  int skipped = 0;              // feeds left out: bad addresses, repeats, no room
  int noRoom = 0;               // of them, those left out only for want of room
};

// Reads an OPML file's feeds (outlines with an xmlUrl, at any depth). A feed is taken
// when its address is an http or https one (feed:// counts as http://), it is not among
// `existing` nor earlier in the file (net::SameAddress), and fewer than `room` were taken before it; its name
// is the outline's text, else its title, else the address's host.
OpmlImport ReadOpml(const char* data, size_t size, const std::vector<NewsLink>& existing, size_t room);

}  // namespace feed
