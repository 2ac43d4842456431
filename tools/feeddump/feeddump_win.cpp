// Windows entry of feeddump: wide arguments, and fetching as the program's refreshes fetch.
#include <windows.h>

#include <cstdlib>
#include <fcntl.h>
#include <io.h>

#include "feeddump.h"
#include "feed/feed_fetch_win.h"
#include "feed/feed_request.h"
#include "framework/wstr_win.h"
#include "net/http_client_win.h"

namespace feeddump {

const bool kCanFetch = true;

bool Fetch(const std::u16string& url, std::string* body, std::u16string* error) {
  // As the program's refreshes ask: the same address (version parameter added) and headers.
  std::u16string requestUrl = feed::FeedRequestUrl(url);
  if (requestUrl.empty()) {
    *error = u"feeddump.exe has no version resource";
    return false;
  }
  net::HttpResponse response = net::HttpGet(requestUrl, feed::FeedRequestOptions());
  const bool got = response.body && response.size > 0;
  if (got) body->assign(response.body.get(), response.size);
  *error = net::FailureText(response);
  return got;
}

}  // namespace feeddump

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // UTF-8 bytes out as they are
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(to_u16(argv[i]));
  return feeddump::Run(args);
}
