#include <gtest/gtest.h>

#include "DecoderFixtures.h"

using namespace vl;
using vltest::DecodeWith;
using vltest::ImageFixture;

namespace {

struct PcxCase {
  const char* name;
  int width, height;
  bool mono;
  int bitsPerSample, samplesPerPixel;
  size_t colours;
};

class PcxFixtureTest : public ::testing::TestWithParam<PcxCase> {};

TEST_P(PcxFixtureTest, DecodesLikeTheReferenceTool) {
  const PcxCase& c = GetParam();
  const std::string file = std::string(c.name) + ".pcx";
  auto d = DecodeWith(&DecodePcx, ImageFixture(file));
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.bitmap.Width(), c.width);
  EXPECT_EQ(d.bitmap.Height(), c.height);
  EXPECT_EQ(d.bitmap.Format(), c.mono ? TVLPixelFormat::Mono : TVLPixelFormat::Rgb24);
  EXPECT_TRUE(d.alpha.IsNull());
  EXPECT_TRUE(vltest::MatchesReference(d, ImageFixture(std::string(c.name) + ".rgba")));

  auto h = DecodeWith(&DecodePcx, ImageFixture(file), true);
  ASSERT_TRUE(h.ok);
  EXPECT_TRUE(h.bitmap.IsNull());
  EXPECT_EQ(h.params.Width, c.width);
  EXPECT_EQ(h.params.Height, c.height);
  EXPECT_EQ(h.params.BitsPerSample, c.bitsPerSample);
  EXPECT_EQ(h.params.SamplesPerPixel, c.samplesPerPixel);
  EXPECT_EQ(h.params.ColorMap.size(), c.colours);
}

INSTANTIATE_TEST_SUITE_P(Files, PcxFixtureTest,
                         ::testing::Values(PcxCase{"pcx_mono", 21, 9, true, 1, 1, 2},
                                           PcxCase{"pcx_mono_colours", 21, 9, true, 1, 1, 2},
                                           PcxCase{"pcx_ega4", 13, 7, false, 4, 1, 16},
                                           PcxCase{"pcx_packed4", 13, 7, false, 4, 1, 16},
                                           PcxCase{"pcx_pal8", 48, 40, false, 8, 1, 256},
                                           PcxCase{"pcx_rgb24", 13, 7, false, 8, 3, 0},
                                           PcxCase{"pcx_rgb24im", 48, 40, false, 8, 3, 0}));

TEST(PcxDecode, RefusesDamagedFiles) {
  const std::string rgb = ImageFixture("pcx_rgb24im.pcx");
  const std::string pal = ImageFixture("pcx_pal8.pcx");
  auto patched = [](std::string d, size_t at, std::string bytes) {
    d.replace(at, bytes.size(), bytes);
    return d;
  };
  struct Bad {
    const char* what;
    std::string data;
  } cases[] = {
      {"shorter than the header", rgb.substr(0, 127)},
      {"truncated pixel data", rgb.substr(0, rgb.size() - 100)},
      {"8-bit picture without its palette", pal.substr(0, pal.size() - 769)},
      {"palette marker damaged", patched(pal, pal.size() - 769, "\x0D")},
      {"bad maker byte", patched(rgb, 0, "\x0B")},
      {"xmax before xmin", patched(rgb, 4, std::string("\x05\x00\x00\x00\x01\x00", 6))},
      {"line shorter than the width", patched(rgb, 66, std::string("\x02\x00", 2))},
      {"unknown plane combination", patched(rgb, 65, "\x02")},
      {"too large", ImageFixture("pcx_bad_huge.pcx")},
      {"run past the last row", ImageFixture("pcx_bad_overrun.pcx")},
      {"far too little data for its size", ImageFixture("pcx_bad_claim.pcx")},
  };
  for (const Bad& b : cases) EXPECT_FALSE(DecodeWith(&DecodePcx, b.data).ok) << b.what;
}

}  // namespace
