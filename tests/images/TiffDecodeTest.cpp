#include <gtest/gtest.h>

#include "DecoderFixtures.h"

using namespace vl;
using vltest::DecodeWith;
using vltest::ImageFixture;

namespace {

struct TiffCase {
  const char* name;
  bool mono;
  int tolerance;  // colour-space conversions round differently
  bool alpha = false;
};

class TiffFixtureTest : public ::testing::TestWithParam<TiffCase> {};

TEST_P(TiffFixtureTest, DecodesLikeTheReferenceTool) {
  const TiffCase& c = GetParam();
  auto d = DecodeWith(&DecodeTiff, ImageFixture(std::string(c.name) + ".tif"));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.bitmap.Format(), c.mono ? TVLPixelFormat::Mono : TVLPixelFormat::Rgb24);
  EXPECT_EQ(d.alpha.IsNull(), !c.alpha);
  EXPECT_TRUE(vltest::MatchesReference(d, ImageFixture(std::string(c.name) + ".rgba"), c.tolerance));
}

INSTANTIATE_TEST_SUITE_P(
    Files, TiffFixtureTest,
    ::testing::Values(TiffCase{"tif_rgb_none", false, 0}, TiffCase{"tif_rgb_lzw", false, 0},
                      TiffCase{"tif_rgb_lzw_pred", false, 0}, TiffCase{"tif_rgb_packbits", false, 0},
                      TiffCase{"tif_rgb_strips", false, 0}, TiffCase{"tif_rgb_planar", false, 0},
                      TiffCase{"tif_rgb_motorola", false, 0}, TiffCase{"tif_rgb16", false, 0},
                      TiffCase{"tif_rgb16_pred", false, 0}, TiffCase{"tif_pal8", false, 0},
                      TiffCase{"tif_pal4", false, 0}, TiffCase{"tif_grey8", false, 0},
                      TiffCase{"tif_grey4", false, 0}, TiffCase{"tif_grey16", false, 1},
                      TiffCase{"tif_cmyk", false, 1}, TiffCase{"tif_lab", false, 8},
                      TiffCase{"tif_ycbcr", false, 2}, TiffCase{"tif_ycbcr22", false, 2},
                      TiffCase{"tif_bilevel", true, 0}, TiffCase{"tif_bilevel_mw", true, 0},
                      TiffCase{"tif_g3", true, 0}, TiffCase{"tif_g3_2d", true, 0},
                      TiffCase{"tif_g3_2d_fill", true, 0}, TiffCase{"tif_g3_lsb", true, 0},
                      TiffCase{"tif_g4", true, 0}, TiffCase{"tif_g4_noise", true, 0},
                      // Orientations, turned upright (5 to 8 exchange width and height).
                      TiffCase{"tif_orient_topright", false, 0}, TiffCase{"tif_orient_bottomright", false, 0},
                      TiffCase{"tif_orient_bottomleft", false, 0}, TiffCase{"tif_orient_lefttop", false, 0},
                      TiffCase{"tif_orient_righttop", false, 0}, TiffCase{"tif_orient_rightbottom", false, 0},
                      TiffCase{"tif_orient_leftbottom", false, 0},
                      // An extra sample of alpha, premultiplied or not.
                      TiffCase{"tif_rgba_unassoc", false, 0, true}, TiffCase{"tif_rgba_assoc", false, 2, true},
                      TiffCase{"tif_greya", false, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TiffDecode, HeaderReadFillsTheDescriptiveFields) {
  auto d = DecodeWith(&DecodeTiff, ImageFixture("tif_described.tif"), true);
  ASSERT_TRUE(d.ok);
  EXPECT_TRUE(d.bitmap.IsNull());
  const TIOParamsVals& p = d.params;
  EXPECT_EQ(p.Width, 13);
  EXPECT_EQ(p.Height, 7);
  EXPECT_EQ(p.BitsPerSample, 8);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  EXPECT_EQ(p.TiffCompression, 5);
  EXPECT_EQ(p.TiffPhotometric, 2);
  EXPECT_EQ(p.TiffPlanarConfig, 1);
  EXPECT_EQ(p.TiffDocumentName, "doc one");
  EXPECT_EQ(p.TiffImageDescription, "a small test picture");
  EXPECT_EQ(p.TiffPageName, "first page");
  EXPECT_EQ(p.TiffSoftware, "make.sh");
  EXPECT_DOUBLE_EQ(p.TiffXPos, 1.5);
  EXPECT_DOUBLE_EQ(p.TiffYPos, 0.25);
  EXPECT_EQ(p.DpiX, 254);  // 100 per centimetre
  EXPECT_EQ(p.DpiY, 127);

  auto pal = DecodeWith(&DecodeTiff, ImageFixture("tif_pal4.tif"), true);
  ASSERT_TRUE(pal.ok);
  EXPECT_EQ(pal.params.ColorMap.size(), 16u);
  EXPECT_EQ(pal.params.BitsPerSample, 4);
  EXPECT_EQ(pal.params.SamplesPerPixel, 1);
}

TEST(TiffDecode, RefusesWhatItCannotOrMustNotDecode) {
  const std::string good = ImageFixture("tif_rgb_lzw.tif");
  struct Bad {
    const char* what;
    std::string data;
  } cases[] = {
      {"empty", ""},
      {"byte order mark only", "II*\0"},
      {"directory offset past the end", std::string("II*\0\xFF\xFF\0\0", 8)},
      {"truncated strip", good.substr(0, good.size() / 2)},
      {"tiled", ImageFixture("tif_bad_tiled.tif")},
      {"too large", ImageFixture("tif_bad_huge.tif")},
      {"zero width", ImageFixture("tif_bad_zero.tif")},
      {"strip offset outside the file", ImageFixture("tif_bad_offset.tif")},
      {"bad LZW code", ImageFixture("tif_bad_lzw.tif")},
      {"PackBits run past the strip", ImageFixture("tif_bad_packbits.tif")},
      {"colour map shorter than the indices", ImageFixture("tif_bad_colormap.tif")},
      {"damaged fax data", ImageFixture("tif_bad_g4.tif")},
  };
  for (const Bad& b : cases) EXPECT_FALSE(DecodeWith(&DecodeTiff, b.data).ok) << b.what;
}

}  // namespace

namespace {

// Sets the value of a SHORT tag in the first directory of a little-endian TIFF.
std::string WithShortTag(std::string tiff, uint16_t tag, uint16_t value) {
  auto u16 = [&](size_t at) { return uint16_t(uint8_t(tiff[at]) | uint8_t(tiff[at + 1]) << 8); };
  const size_t dir = uint8_t(tiff[4]) | uint8_t(tiff[5]) << 8 | uint8_t(tiff[6]) << 16 | size_t(uint8_t(tiff[7])) << 24;
  for (size_t i = 0; i < u16(dir); ++i) {
    const size_t e = dir + 2 + 12 * i;
    if (u16(e) == tag) {
      tiff[e + 8] = char(value);
      tiff[e + 9] = char(value >> 8);
    }
  }
  return tiff;
}

TEST(TiffDecode, OrientationTurnsOneBitPicturesAndHeaderSizes) {
  const std::string upright = ImageFixture("tif_bilevel.tif");
  auto a = DecodeWith(&DecodeTiff, upright);
  auto r = DecodeWith(&DecodeTiff, WithShortTag(upright, 274, 6));  // stored rows are the right-hand columns
  ASSERT_TRUE(a.ok && r.ok);
  ASSERT_EQ(r.bitmap.Format(), TVLPixelFormat::Mono);
  const int w = a.bitmap.Width(), h = a.bitmap.Height();
  ASSERT_EQ(r.bitmap.Width(), h);
  ASSERT_EQ(r.bitmap.Height(), w);
  int differ = 0;
  for (int y = 0; y < w; ++y)
    for (int x = 0; x < h; ++x) differ += r.bitmap.Image().pixel(x, y) != a.bitmap.Image().pixel(y, h - 1 - x);
  EXPECT_EQ(differ, 0);
  auto header = DecodeWith(&DecodeTiff, WithShortTag(upright, 274, 8), true);
  EXPECT_EQ(header.params.Width, h);
  EXPECT_EQ(header.params.Height, w);
  // Values outside 1..8 leave the picture as stored.
  auto odd = DecodeWith(&DecodeTiff, WithShortTag(upright, 274, 9));
  EXPECT_EQ(odd.bitmap.Width(), w);
}

}  // namespace
