// POSIX entry of feeddump: arguments are UTF-8; there is no HTTP client here.
#include "feeddump.h"
#include "platform/text.h"

namespace feeddump {
const bool kCanFetch = false;
bool Fetch(const std::u16string&, std::string*, std::u16string*) { return false; }
}  // namespace feeddump

int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::Utf8ToU16(argv[i]));
  return feeddump::Run(args);
}
