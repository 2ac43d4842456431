// Windows entry of feeddump: wide arguments, and fetching through the program's HttpGet.
#include <windows.h>

#include <cstdlib>
#include <fcntl.h>
#include <io.h>

#include "feeddump.h"
#include "framework/wstr_win.h"
#include "net/http_client_win.h"

namespace feeddump {

const bool kCanFetch = true;

bool Fetch(const std::u16string& url, std::string* body, std::u16string* error) {
  net::HttpResponse response;
  int size = net::HttpGet(url, net::HttpOptions(), &response);
  if (size > 0) body->assign(response.body.get(), response.size);
  *error = response.error;
  return size > 0;
}

}  // namespace feeddump

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // UTF-8 bytes out as they are
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(to_u16(argv[i]));
  return feeddump::Run(args);
}
