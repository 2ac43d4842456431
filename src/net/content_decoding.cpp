#include "net/content_decoding.h"

#include <zlib.h>

#include <algorithm>

namespace net {
namespace {

constexpr int kGzipOrZlib = 15 + 32;  // window bits: detect the gzip or zlib header
constexpr int kZlib = 15;
constexpr int kRaw = -15;
constexpr size_t kStep = 64 * 1024;

DecodeResult Inflate(int windowBits, const char* data, size_t size, size_t maxDecoded, std::string* out) {
  out->clear();
  z_stream z{};
  if (inflateInit2(&z, windowBits) != Z_OK) return DecodeResult::kCorrupt;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  size_t left = size;
  DecodeResult result = DecodeResult::kCorrupt;
  size_t memberStart = std::string::npos;  // where the output of a further member starts
  for (;;) {
    if (z.avail_in == 0 && left > 0) {
      uInt chunk = static_cast<uInt>(std::min<size_t>(left, 1u << 30));
      z.avail_in = chunk;
      left -= chunk;
    }
    size_t have = out->size();
    if (have >= maxDecoded + 1) {
      result = DecodeResult::kTooLarge;
      break;
    }
    // Room for one step, and never more than one byte past the cap (to tell "exactly at
    // the cap" from "over it").
    size_t room = std::min(kStep, maxDecoded + 1 - have);
    if (have + room > out->capacity())  // grow by doubling, but never past the cap
      out->reserve(std::min(std::max(out->capacity() * 2, have + room), maxDecoded + 1));
    out->resize(have + room);
    z.next_out = reinterpret_cast<Bytef*>(&(*out)[have]);
    z.avail_out = static_cast<uInt>(room);
    int rc = inflate(&z, Z_NO_FLUSH);
    out->resize(have + (room - z.avail_out));
    if (rc == Z_STREAM_END) {
      // Concatenated gzip members are read one after another.
      result = out->size() > maxDecoded ? DecodeResult::kTooLarge : DecodeResult::kOk;
      if (result == DecodeResult::kOk && windowBits == kGzipOrZlib && (z.avail_in > 0 || left > 0) &&
          inflateReset(&z) == Z_OK) {
        memberStart = out->size();
        continue;
      }
      break;
    }
    // Bytes after a complete member that do not start another (padding some servers
    // add) end the body.
    if (rc == Z_DATA_ERROR && memberStart != std::string::npos && out->size() == memberStart) {
      result = DecodeResult::kOk;
      break;
    }
    if (rc == Z_BUF_ERROR && z.avail_in == 0 && left == 0) break;  // truncated
    if (rc != Z_OK && rc != Z_BUF_ERROR) break;
    result = DecodeResult::kCorrupt;
  }
  inflateEnd(&z);
  if (result != DecodeResult::kOk) out->clear();
  out->shrink_to_fit();
  return result;
}

}  // namespace

DecodeResult DecodeContent(const std::u16string& contentEncoding, const char* data, size_t size,
                           size_t maxDecoded, std::string* out) {
  std::u16string e;
  for (char16_t c : contentEncoding)
    if (c != u' ' && c != u'\t') e.push_back(c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c);
  if (e.empty() || e == u"identity") {
    if (size > maxDecoded) return DecodeResult::kTooLarge;
    out->assign(data, size);
    return DecodeResult::kOk;
  }
  if (e == u"gzip" || e == u"x-gzip") return Inflate(kGzipOrZlib, data, size, maxDecoded, out);
  if (e == u"deflate") {
    DecodeResult r = Inflate(kZlib, data, size, maxDecoded, out);
    return r == DecodeResult::kCorrupt ? Inflate(kRaw, data, size, maxDecoded, out) : r;
  }
  return DecodeResult::kUnsupported;
}

}  // namespace net
