// Modified Huffman strips (TIFF compression 2): no tool at hand writes them,
// so the strip is spelt out from the fax code tables.
#include <gtest/gtest.h>

#include "DecoderFixtures.h"

using namespace vl;

namespace {

// A little-endian TIFF of one strip with the given bilevel fields.
std::string OneStripTiff(int width, int height, int compression, std::string strip) {
  struct F {
    uint16_t tag, type;
    uint32_t value;
  };
  const uint32_t stripAt = 8;
  const uint32_t ifdAt = stripAt + static_cast<uint32_t>(strip.size());
  F fields[] = {{256, 3, uint32_t(width)}, {257, 3, uint32_t(height)}, {258, 3, 1},
                {259, 3, uint32_t(compression)}, {262, 3, 0}, {273, 4, stripAt},
                {277, 3, 1}, {278, 3, uint32_t(height)}, {279, 4, uint32_t(strip.size())}};
  std::string t("II*\0", 4);
  auto u16 = [&](uint32_t v) { t += char(v & 0xFF), t += char((v >> 8) & 0xFF); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  u32(ifdAt);
  t += strip;
  u16(std::size(fields));
  for (const F& f : fields) {
    u16(f.tag), u16(f.type), u32(1);
    f.type == 3 ? (u16(f.value), u16(0)) : u32(f.value);
  }
  u32(0);
  return t;
}

TEST(TiffFaxHuffman, RowsStartOnByteBoundaries) {
  // Row 1: white 8 (10011). Row 2: white 3 (1000), black 2 (11), white 3 (1000).
  // Row 3: white 0 (00110101), black 8 (000101).
  const std::string strip("\x98\x8E\x00\x35\x14", 5);
  auto d = vltest::DecodeWith(&DecodeTiff, OneStripTiff(8, 3, 2, strip));
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.bitmap.Format(), TVLPixelFormat::Mono);
  const char* want[] = {"WWWWWWWW", "WWWBBWWW", "BBBBBBBB"};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 8; ++x) {
      int c[3];
      vltest::PixelAt(d.bitmap, x, y, c);
      EXPECT_EQ(c[0], want[y][x] == 'W' ? 255 : 0) << x << "," << y;
    }
  // A run past the row's end, and a strip that stops a row early.
  EXPECT_FALSE(vltest::DecodeWith(&DecodeTiff, OneStripTiff(6, 3, 2, strip)).ok);
  EXPECT_FALSE(vltest::DecodeWith(&DecodeTiff, OneStripTiff(8, 4, 2, strip)).ok);
}

}  // namespace
