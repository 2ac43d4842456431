#include "net/subscribe_notice.h"

#include "net/url.h"

namespace net {

std::u16string SubscribeNoticeUrl(const std::u16string& feedUrl, const std::u16string& name) {
  return SubscribeNoticeUrl(feedUrl, name, PELINOR_SERVICE_HOST, PELINOR_SERVICE_PORT);
}

std::u16string SubscribeNoticeUrl(const std::u16string& feedUrl, const std::u16string& name,
                                  const std::u16string& host, int port) {
  std::u16string url = u"http://" + host;
  if (port > 0) {
    std::string p = std::to_string(port);
    url += u":" + std::u16string(p.begin(), p.end());
  }
  return url + u"/pelinor/getrss.php?rssurl=" + UrlEncode(feedUrl) + u"&name=" + UrlEncode(name);
}

}  // namespace net
