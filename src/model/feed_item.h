// One feed entry as a widget shows it: a title linking to an address.
#pragma once
#include <string>

struct FeedItem {
  std::u16string title;
  std::u16string link;
};

