// A few bytes whose header claims a picture of hundreds of megabytes must
// be refused before the picture is allocated, while real files that are
// very compressible still load.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "images/Decoders.h"

using namespace vl;

namespace {

void Put32LE(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i));
}

std::string Be32(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

std::string PngChunk(const std::string& type, const std::string& body) {
  std::string typed = type + body;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
  return Be32(static_cast<uint32_t>(body.size())) + typed + Be32(static_cast<uint32_t>(crc));
}

// An RGB PNG of w × h whose IDAT holds `idat`.
std::string Png(uint32_t w, uint32_t h, const std::string& idat) {
  std::string ihdr = Be32(w) + Be32(h) + std::string("\x08\x02\x00\x00\x00", 5);
  return std::string("\x89PNG\r\n\x1A\n", 8) + PngChunk("IHDR", ihdr) + PngChunk("IDAT", idat) +
         PngChunk("IEND", "");
}

// Black rows, each with filter byte 0, compressed as hard as zlib can.
std::string BlackRowsDeflated(uint32_t w, uint32_t h) {
  std::string raw(size_t(h) * (1 + size_t(w) * 3), '\0');
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), 9);
  out.resize(size);
  return out;
}

// An 8-bit BMP (Windows header, two colours) with the given pixel data.
std::string Bmp8(int32_t w, int32_t h, uint32_t compression, const std::string& pixels) {
  std::string info(40, '\0');
  Put32LE(info, 0, 40);
  Put32LE(info, 4, static_cast<uint32_t>(w));
  Put32LE(info, 8, static_cast<uint32_t>(h));
  info[12] = 1;
  info[14] = 8;
  Put32LE(info, 16, compression);
  Put32LE(info, 32, 2);
  std::string palette("\0\0\0\0\xFF\xFF\xFF\0", 8);
  std::string file = "BM" + std::string(12, '\0') + info + palette + pixels;
  Put32LE(file, 2, static_cast<uint32_t>(file.size()));
  Put32LE(file, 10, 14 + 40 + 8);
  return file;
}

// Rows of `w` white pixels in runs of 255, each row closed, then the end.
std::string WhiteRle8(int w, int h, bool endMark = true) {
  std::string row;
  for (int left = w; left > 0; left -= 255) row += {char(std::min(left, 255)), '\x01'};
  row += std::string("\0\0", 2);
  std::string s;
  for (int y = 0; y < h; ++y) s += row;
  return endMark ? s + std::string("\0\1", 2) : s;
}

struct Result {
  bool ok;
  int64_t allocated;
};

Result Decode(DecoderFn fn, const std::string& data) {
  TIOParamsVals p;
  TVLBitmap b, a;
  const int64_t before = TVLBitmap::BytesAllocated();
  bool ok = fn(data, p, b, a, false);
  return {ok, TVLBitmap::BytesAllocated() - before};
}

bool DecodeWith(const std::string& png, bool headerOnly) {
  TIOParamsVals p;
  TVLBitmap b, a;
  return DecodePng(png, p, b, a, headerOnly);
}

TEST(HugeClaims, TinyFilesClaimingHugePicturesAreRefusedBeforeAllocating) {
  std::string rle4 = Bmp8(9000, 9000, 2, std::string("\0\1", 2));
  rle4[14 + 14] = 4;  // 4 bits per pixel
  struct Case {
    const char* what;
    DecoderFn fn;
    std::string data;
  } cases[] = {
      // ~243 MB claimed by ~100 bytes; each within the size caps.
      {"png with a few bytes of IDAT", &DecodePng, Png(9000, 9000, BlackRowsDeflated(16, 16))},
      {"png without IDAT", &DecodePng, Png(9000, 9000, "").erase(33, 12)},
      {"png rows deflated for a smaller picture", &DecodePng, Png(9000, 9000, BlackRowsDeflated(9000, 200))},
      {"bmp rows missing", &DecodeBmp, Bmp8(9000, 9000, 0, std::string(64, '\1'))},
      {"bmp rle8 that ends at once", &DecodeBmp, Bmp8(9000, 9000, 1, std::string("\0\1", 2))},
      {"bmp rle8 of deltas", &DecodeBmp, Bmp8(9000, 9000, 1, std::string(40, '\0').replace(0, 4, "\0\2\xFF\xFF", 4))},
      {"bmp rle4 that ends at once", &DecodeBmp, rle4},
      {"bmp rle8 damaged after 200 rows", &DecodeBmp, Bmp8(4000, 4000, 1, WhiteRle8(4000, 200, false) + "\x05")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Result r = Decode(c.fn, c.data);
    EXPECT_FALSE(r.ok);
    EXPECT_LT(r.allocated, 1 << 20);
  }
}

TEST(HugeClaims, HighlyCompressedPicturesStillLoad) {
  // zlib's best on black rows comes close to deflate's limit.
  Result png = Decode(&DecodePng, Png(1200, 1200, BlackRowsDeflated(1200, 1200)));
  EXPECT_TRUE(png.ok);
  EXPECT_GE(png.allocated, 1200 * 1200 * 3);
  // White runs of 255 pixels: the densest coding that writes every pixel.
  Result bmp = Decode(&DecodeBmp, Bmp8(3000, 2000, 1, WhiteRle8(3000, 2000)));
  EXPECT_TRUE(bmp.ok);
}

TEST(HugeClaims, PngChunkLongerThanTheFileIsRefusedBeforeLibpngAllocatesIt) {
  // A text chunk claiming 1.8 GB in a file of a hundred bytes.
  std::string png = Png(4, 4, BlackRowsDeflated(4, 4));
  std::string text = PngChunk("tEXt", "Title\0x");
  text.replace(0, 4, Be32(0x6C000038));
  png.insert(33, text);
  EXPECT_FALSE(PngChunksFit(png, true));
  EXPECT_FALSE(DecodeWith(png, true));
  EXPECT_FALSE(DecodeWith(png, false));
  // After IEND nothing is read; a header read stops at the first IDAT.
  std::string tail = Png(4, 4, BlackRowsDeflated(4, 4)) + text;
  EXPECT_TRUE(DecodeWith(tail, false));
  std::string afterIdat = Png(4, 4, BlackRowsDeflated(4, 4));
  afterIdat.insert(afterIdat.size() - 12, text);
  EXPECT_TRUE(DecodeWith(afterIdat, true));
  EXPECT_FALSE(DecodeWith(afterIdat, false));
}

}  // namespace
