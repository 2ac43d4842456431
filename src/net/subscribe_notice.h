// The address of the maker's feed-proxy endpoint that learns of new subscriptions.
#pragma once
#include <string>

namespace net {

// "http://HOST[:PORT]/pelinor/getrss.php?rssurl=<feed URL>&name=<name>", both values
// form-encoded through the ANSI code page. Host and port default to the build's service.
std::u16string SubscribeNoticeUrl(const std::u16string& feedUrl, const std::u16string& name);
std::u16string SubscribeNoticeUrl(const std::u16string& feedUrl, const std::u16string& name,
                                  const std::u16string& host, int port);

}  // namespace net
