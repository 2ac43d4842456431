// A few long-lived public feeds. They stand in for the subscription list offered by the
// maker's service until such a list has been received or stored, and the first of them
// becomes the first widget of an installation that has none.
#pragma once
#include <vector>

#include "model/manager_data.h"

namespace feed {

const std::vector<NewsLink>& BuiltInFeeds();

// The list the menu offers: the received (or stored) list when it has entries, else the
// built-in feeds without those whose address is already a custom link.
std::vector<NewsLink> EffectiveRemoteLinks(const std::vector<NewsLink>& remote,
                                            const std::vector<NewsLink>& custom);

}  // namespace feed
