// Addresses as feeds, pages and servers hand them over (links, redirects, typed text): any
// bytes, read as UTF-8 and split at the first newline into a base and a reference.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/url.h"
#include "platform/text.h"

namespace {

// What goes on the wire or into the log is printable ASCII without spaces or a fragment.
void CheckWireText(const std::u16string& text) {
  for (char16_t c : text)
    if (c <= 0x20 || c >= 0x7F || c == u'#') __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = platform::Utf8ToU16(std::string(reinterpret_cast<const char*>(data), size));
  const size_t newline = text.find(u'\n');
  const std::u16string base = text.substr(0, newline);
  const std::u16string ref = newline == std::u16string::npos ? std::u16string() : text.substr(newline + 1);

  for (const std::u16string& url : {base, ref, net::ResolveUrl(base, ref)}) {
    net::UrlParts parts;
    if (net::SplitUrl(url, &parts)) {
      if (parts.host.empty() || parts.path.empty() || parts.path[0] != u'/') __builtin_trap();
      if (parts.port < 1 || parts.port > 65535) __builtin_trap();
      CheckWireText(parts.path);
      // Escaping is done once: a target passes through unchanged.
      if (net::RequestTarget(parts.path) != parts.path) __builtin_trap();
    }
    // Without its user name and password an address reaches the same place and has none
    // left; it is the same address for SameAddress only when it had none.
    const std::u16string bare = net::WithoutUserInfo(url);
    net::UrlParts original, without;
    const bool split = net::SplitUrl(url, &original);
    if (split != net::SplitUrl(bare, &without)) __builtin_trap();
    if (split && (without.host != original.host || without.port != original.port || without.path != original.path ||
                  !without.user.empty() || !without.password.empty()))
      __builtin_trap();
    if (net::WithoutUserInfo(bare) != bare || !net::SameAddress(url, url)) __builtin_trap();
    if (net::SameAddress(url, bare) != (bare == url)) __builtin_trap();
    // Accepted user information holds nothing that ends or bends an authority.
    const std::u16string head = url.substr(0, url.find(u'@'));
    if (net::AcceptableUserInfo(head))
      for (char16_t c : head)
        if (c < 0x20 || c == 0x7F || std::u16string_view(u"/?#\\@[] \"<>").find(c) != std::u16string_view::npos)
          __builtin_trap();
    const std::string logged = net::AddressForLog(url);
    for (unsigned char c : logged)
      if (c < 0x20 || c >= 0x7F) __builtin_trap();
    CheckWireText(net::RequestTarget(url));
    (void)net::IsLoopbackUrl(url);
  }
  return 0;
}
