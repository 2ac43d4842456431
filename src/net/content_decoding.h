// Bodies sent with a Content-Encoding: gzip and deflate are decoded, everything else is
// refused. The cap counts decoded bytes, so a small body that would expand without end
// (a "decompression bomb") is cut off with bounded memory.
#pragma once
#include <cstddef>
#include <string>

namespace net {

// What a request offers in Accept-Encoding.
constexpr char16_t kAcceptEncodingHeader[] = u"Accept-Encoding: gzip, deflate";

enum class DecodeResult { kOk, kTooLarge, kCorrupt, kUnsupported };

// Decodes `size` bytes of a body sent with `contentEncoding` (as the header says it, any
// case; empty or "identity" copies the bytes) into `*out`, which never grows past
// `maxDecoded` bytes. "deflate" is read as a zlib stream or, as some servers send it, as
// a raw one.
DecodeResult DecodeContent(const std::u16string& contentEncoding, const char* data, size_t size,
                           size_t maxDecoded, std::string* out);

}  // namespace net
