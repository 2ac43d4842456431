#include "net/content_decoding.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace net {
namespace {

// windowBits 31: gzip, 15: zlib, -15: raw deflate.
std::string Compress(const std::string& data, int windowBits) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

DecodeResult Decode(const std::u16string& encoding, const std::string& body, size_t cap, std::string* out) {
  return DecodeContent(encoding, body.data(), body.size(), cap, out);
}

TEST(ContentDecoding, GzipDeflateAndIdentity) {
  const std::string doc = "<rss><channel><item><title>新闻</title></item></channel></rss>";
  std::string out;
  EXPECT_EQ(Decode(u"gzip", Compress(doc, 31), 1 << 20, &out), DecodeResult::kOk);
  EXPECT_EQ(out, doc);
  EXPECT_EQ(Decode(u" GZip ", Compress(doc, 31), 1 << 20, &out), DecodeResult::kOk);
  EXPECT_EQ(out, doc);
  EXPECT_EQ(Decode(u"deflate", Compress(doc, 15), 1 << 20, &out), DecodeResult::kOk);  // zlib stream
  EXPECT_EQ(out, doc);
  EXPECT_EQ(Decode(u"deflate", Compress(doc, -15), 1 << 20, &out), DecodeResult::kOk);  // raw, as some send it
  EXPECT_EQ(out, doc);
  EXPECT_EQ(Decode(u"identity", doc, 1 << 20, &out), DecodeResult::kOk);
  EXPECT_EQ(out, doc);
  // Two gzip members one after the other are one body.
  EXPECT_EQ(Decode(u"gzip", Compress("abc", 31) + Compress("def", 31), 100, &out), DecodeResult::kOk);
  EXPECT_EQ(out, "abcdef");
  EXPECT_EQ(Decode(u"gzip", Compress("abc", 31) + std::string(8, '\0'), 100, &out), DecodeResult::kOk);  // padding
  EXPECT_EQ(out, "abc");
  EXPECT_EQ(Decode(u"br", doc, 1 << 20, &out), DecodeResult::kUnsupported);
}

TEST(ContentDecoding, TheCapCountsDecodedBytes) {
  // A bomb: 64 MiB of zeros in about 64 KiB. Decoding stops one byte past the cap.
  std::string zeros(64u << 20, '\0');
  std::string bomb = Compress(zeros, 31);
  zeros.clear();
  zeros.shrink_to_fit();
  ASSERT_LT(bomb.size(), 200000u);
  std::string out = "stale";
  EXPECT_EQ(Decode(u"gzip", bomb, 16u << 20, &out), DecodeResult::kTooLarge);
  EXPECT_TRUE(out.empty());
  // Exactly at the cap is fine; one byte more is not.
  std::string hundred(100, 'x');
  EXPECT_EQ(Decode(u"gzip", Compress(hundred, 31), 100, &out), DecodeResult::kOk);
  EXPECT_EQ(out.size(), 100u);
  EXPECT_EQ(Decode(u"gzip", Compress(hundred + "y", 31), 100, &out), DecodeResult::kTooLarge);
  EXPECT_EQ(Decode(u"", hundred + "y", 100, &out), DecodeResult::kTooLarge);
}

TEST(ContentDecoding, DamagedBodiesAreRefused) {
  std::string good = Compress(std::string(5000, 'q'), 31);
  std::string out;
  EXPECT_EQ(Decode(u"gzip", good.substr(0, good.size() / 2), 1 << 20, &out), DecodeResult::kCorrupt);
  EXPECT_EQ(Decode(u"gzip", "plainly not gzip", 1 << 20, &out), DecodeResult::kCorrupt);
  EXPECT_EQ(Decode(u"deflate", "", 1 << 20, &out), DecodeResult::kCorrupt);
  std::string flipped = good;
  flipped[flipped.size() - 6] ^= 0x55;  // the CRC no longer matches
  EXPECT_EQ(Decode(u"gzip", flipped, 1 << 20, &out), DecodeResult::kCorrupt);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace net
