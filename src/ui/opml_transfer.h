// Exporting every subscription to an OPML file and importing one into the custom links,
// apart from the file dialogs: what is written, what is taken, and what the user is told.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "model/manager_data.h"
#include "ui/link_dialogs.h"

namespace ui {

// The custom list never grows by import beyond what the widget menu can offer.
constexpr size_t kMaxCustomLinks = 154;

// What the user is told when a transfer ends.
struct TransferOutcome {
  bool ok = false;  // false: nothing was written or taken
  std::u16string message;
};

// The subscriptions an export writes: every widget's feed, then the custom links, each
// address once. A widget's feed (`widgetFeeds`: its address, and as name the feed's title
// when it has been read, else empty) is named after the custom or offered link with its
// address, else its title, else its host.
std::vector<NewsLink> SubscriptionsToExport(const std::vector<NewsLink>& widgetFeeds,
                                            const std::vector<NewsLink>& offered,
                                            const std::vector<NewsLink>& custom);

// Writes `links` to `path` as OPML with the atomic write, without the user names and
// passwords of their addresses (the message says when some were left out). A file of the
// user's that the write would need as its temporary or backup file is never touched: the
// export then fails.
TransferOutcome ExportSubscriptions(const std::u16string& path, const std::vector<NewsLink>& links);

// Reads the OPML file at `path` and appends the feeds worth taking to the host's custom
// links (requesting a save when any were taken). The message says how many were left out,
// and how many of them only because the list holds kMaxCustomLinks.
TransferOutcome ImportSubscriptions(const std::u16string& path, LinkDialogHost& host);

}  // namespace ui
