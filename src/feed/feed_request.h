// How a feed is asked for, by the program's refreshes and by anything that fetches a feed
// as they do (the subscribe dialog's probe, feeddump).
#pragma once
#include <atomic>
#include <string>

#include "net/http_request.h"

namespace feed {

// Compressed when the server can, and conditionally when there are validators of an
// earlier answer. `stop`, when given and raised, cuts the download short.
net::HttpOptions FeedRequestOptions(const std::atomic<bool>* stop = nullptr,
                                    const std::u16string& ifNoneMatch = std::u16string(),
                                    const std::u16string& ifModifiedSince = std::u16string());

}  // namespace feed
