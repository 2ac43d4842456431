#include "net/url.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/text.h"

namespace net {
namespace {

constexpr char16_t kSchemeEnd[] = u"://";
constexpr int kMaxPort = 65535;

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool EqualsNoCase(const std::u16string& a, const char16_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (Lower(a[i]) != b[i]) return false;
  return i == a.size() && !b[i];
}

// Reads a decimal port; false for empty text, other characters or a value out of range.
bool ParsePort(const std::u16string& text, int* port) {
  if (text.empty() || text.size() > 5) return false;
  int v = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c - u'0');
  }
  if (v < 1 || v > kMaxPort) return false;
  *port = v;
  return true;
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// "%XX" escapes decoded as UTF-8 bytes; anything else kept.
std::u16string PercentDecoded(const std::u16string& text) {
  if (text.find(u'%') == std::u16string::npos) return text;
  std::string bytes = platform::U16ToUtf8(text);
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    int hi = -1, lo = -1;
    if (bytes[i] == '%' && i + 2 < bytes.size() && (hi = HexValue(bytes[i + 1])) >= 0 &&
        (lo = HexValue(bytes[i + 2])) >= 0) {
      out.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else {
      out.push_back(bytes[i]);
    }
  }
  return platform::Utf8ToU16(out);
}

// Where the authority of `url` begins (after "://", or at 0 without a scheme) and ends (at
// the first "/", "?" or "#" after it, or the end).
void AuthorityBounds(const std::u16string& url, size_t* begin, size_t* end) {
  const size_t schemeEnd = url.find(kSchemeEnd);
  *begin = schemeEnd == std::u16string::npos ? 0 : schemeEnd + 3;
  *end = std::min(url.find_first_of(u"/?#", *begin), url.size());
}

// Where the host part of the authority begins: after the last "@" in it (as SplitUrl
// reads it), else where the authority begins.
size_t HostBegin(const std::u16string& url, size_t begin, size_t end) {
  if (end <= begin) return begin;
  const size_t at = url.rfind(u'@', end - 1);
  return at != std::u16string::npos && at >= begin ? at + 1 : begin;
}

bool IsUserInfoChar(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return true;
  if (c >= 0xA0) return true;  // beyond ASCII and its C1 controls, as internationalised addresses allow
  return c != 0 && std::u16string_view(u"-._~!$&'()*+,;=:").find(c) != std::u16string_view::npos;
}

}  // namespace

bool AcceptableUserInfo(const std::u16string& userInfo) {
  for (size_t i = 0; i < userInfo.size(); ++i) {
    if (userInfo[i] != u'%') {
      if (!IsUserInfoChar(userInfo[i])) return false;
      continue;
    }
    const int hi = i + 2 < userInfo.size() ? HexValue(userInfo[i + 1]) : -1;
    const int lo = hi >= 0 ? HexValue(userInfo[i + 2]) : -1;
    if (lo < 0) return false;
    const int byte = hi * 16 + lo;
    if (byte < 0x20 || byte == 0x7F) return false;
    i += 2;
  }
  return true;
}

std::u16string WithoutUserInfo(const std::u16string& url) {
  size_t begin = 0, end = 0;
  AuthorityBounds(url, &begin, &end);
  const size_t hostBegin = HostBegin(url, begin, end);
  return hostBegin == begin ? url : url.substr(0, begin) + url.substr(hostBegin);
}

std::u16string AddressKey(const std::u16string& url) {
  size_t begin = 0, end = 0;
  AuthorityBounds(url, &begin, &end);
  const size_t hostBegin = HostBegin(url, begin, end);
  std::u16string key = url;
  for (size_t i = 0; i < end; ++i)
    if (i < begin || i >= hostBegin) key[i] = Lower(key[i]);
  return key;
}

bool SameAddress(const std::u16string& a, const std::u16string& b) { return AddressKey(a) == AddressKey(b); }

bool SplitUrl(const std::u16string& url, UrlParts* parts) {
  size_t schemeEnd = url.find(kSchemeEnd);
  size_t hostStart = schemeEnd == std::u16string::npos ? 0 : schemeEnd + 3;
  if (hostStart >= url.size()) return false;
  // The host part ends at the path, the query or the fragment. An address with its scheme
  // and no path ("https://example.com", "https://example.com?x") asks for the root, as a
  // browser does; without a scheme a "/" must say where the host ends.
  const size_t hostEnd = url.find_first_of(u"/?#", hostStart);
  std::u16string path;
  if (hostEnd != std::u16string::npos && url[hostEnd] == u'/') path = url.substr(hostEnd);
  else if (schemeEnd != std::u16string::npos) path = u"/" + (hostEnd == std::u16string::npos ? u"" : url.substr(hostEnd));
  else return false;

  std::u16string scheme = schemeEnd == std::u16string::npos ? std::u16string() : url.substr(0, schemeEnd);
  parts->secure = EqualsNoCase(scheme, u"https");
  parts->port = parts->secure ? kHttpsPort : kHttpPort;
  parts->path = RequestTarget(path);

  std::u16string authority = url.substr(hostStart, (hostEnd == std::u16string::npos ? url.size() : hostEnd) - hostStart);
  parts->user.clear();
  parts->password.clear();
  size_t at = authority.rfind(u'@');
  if (at != std::u16string::npos) {
    std::u16string userInfo = authority.substr(0, at);
    size_t colon = userInfo.find(u':');
    parts->user = PercentDecoded(userInfo.substr(0, colon));
    if (colon != std::u16string::npos) parts->password = PercentDecoded(userInfo.substr(colon + 1));
    authority.erase(0, at + 1);
  }
  size_t portColon = std::u16string::npos;
  if (!authority.empty() && authority[0] == u'[') {
    size_t close = authority.find(u']');
    if (close == std::u16string::npos) return false;
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != u':') return false;
      portColon = close + 1;
    }
  } else {
    portColon = authority.rfind(u':');
  }
  if (portColon != std::u16string::npos) {
    if (!ParsePort(authority.substr(portColon + 1), &parts->port)) return false;
    authority.resize(portColon);
  }
  parts->host = authority;
  return !parts->host.empty() && !parts->path.empty();
}

std::u16string RequestTarget(const std::u16string& path) {
  const std::string bytes = platform::U16ToUtf8(path.substr(0, path.find(u'#')));
  static const char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>') {
      out.push_back(u'%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string AddressForLog(const std::u16string& url) {
  UrlParts parts;
  if (!SplitUrl(url, &parts)) return "(bad address)";
  size_t query = parts.path.find(u'?');
  std::u16string shown = (parts.secure ? u"https://" : u"http://") + RequestTarget(parts.host);
  if (parts.port != (parts.secure ? kHttpsPort : kHttpPort)) shown += u":" + platform::Utf8ToU16(std::to_string(parts.port));
  shown += parts.path.substr(0, query);
  // The names of the query's parameters stay, their values go.
  for (size_t at = query; at != std::u16string::npos && at < parts.path.size();) {
    size_t end = parts.path.find(u'&', at + 1);
    std::u16string parameter = parts.path.substr(at, end == std::u16string::npos ? end : end - at);
    size_t equals = parameter.find(u'=');
    shown += equals == std::u16string::npos ? parameter : parameter.substr(0, equals) + u"=...";
    at = end;
  }
  return platform::U16ToUtf8(shown);  // ASCII throughout
}

std::u16string UrlEncode(const std::u16string& text) {
  std::string bytes;
  platform::ToCodePage(platform::AnsiCodePage(), text, &bytes);
  std::u16string out;
  out.reserve(bytes.size() * 3);
  for (unsigned char c : bytes) {
    bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                c == '.' || c == '-' || c == '_' || c == '*';
    if (keep) {
      out.push_back(c);
    } else if (c == ' ') {
      out.push_back(u'+');
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out.append(hex, hex + 3);
    }
  }
  return out;
}

std::u16string AppendQuery(const std::u16string& url, const std::u16string& parameter) {
  return url + (url.find(u'?') != std::u16string::npos ? u"&" : u"?") + parameter;
}

std::u16string ResolveUrl(const std::u16string& base, const std::u16string& ref) {
  if (ref.find(kSchemeEnd) != std::u16string::npos || base.empty()) return ref;
  size_t schemeEnd = base.find(kSchemeEnd);
  size_t hostStart = schemeEnd == std::u16string::npos ? 0 : schemeEnd + 3;
  size_t pathStart = base.find_first_of(u"/?#", hostStart);
  if (pathStart == std::u16string::npos) pathStart = base.size();
  if (ref.compare(0, 2, u"//") == 0)
    return (schemeEnd == std::u16string::npos ? std::u16string(u"http:") : base.substr(0, schemeEnd + 1)) + ref;
  if (!ref.empty() && ref[0] == u'/') return base.substr(0, pathStart) + ref;
  size_t queryStart = base.find_first_of(u"?#", pathStart);
  if (queryStart == std::u16string::npos) queryStart = base.size();
  if (!ref.empty() && ref[0] == u'?') return base.substr(0, queryStart) + ref;
  if (!ref.empty() && ref[0] == u'#') return base.substr(0, base.find(u'#')) + ref;
  size_t lastSlash = base.rfind(u'/', queryStart == 0 ? 0 : queryStart - 1);
  if (lastSlash == std::u16string::npos || lastSlash < pathStart) return base.substr(0, pathStart) + u"/" + ref;
  return base.substr(0, lastSlash + 1) + ref;
}

bool IsLoopbackUrl(const std::u16string& url) {
  UrlParts parts;
  if (!SplitUrl(url, &parts)) return false;
  std::u16string host = parts.host;
  for (char16_t& c : host)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  if (host.size() > 2 && host.front() == u'[' && host.back() == u']') host = host.substr(1, host.size() - 2);
  if (host == u"localhost" || host == u"::1") return true;
  if (host.rfind(u"127.", 0) != 0) return false;
  for (char16_t c : host)
    if (c != u'.' && (c < u'0' || c > u'9')) return false;  // "127.example.com" is a name
  return true;
}

}  // namespace net
