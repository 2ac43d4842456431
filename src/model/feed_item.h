// One feed entry as a widget shows it: a title linking to an address, and what the
// tooltip tells about it.
#pragma once
#include <string>

struct FeedItem {
  std::u16string title;
  std::u16string link;
  std::u16string summary;  // plain text, a few lines at most; may be empty
  std::u16string date;     // as the feed states it; may be empty
  bool fresh = false;      // not shown by this widget before: marked until opened or superseded
};
