#include <gtest/gtest.h>

#include "DecoderFixtures.h"

using namespace vl;
using vltest::DecodeWith;
using vltest::ImageFixture;

namespace {

struct GifCase {
  const char* file;
  int index;
  const char* reference;
  int width, height;
  bool mono, alpha;
};

class GifFixtureTest : public ::testing::TestWithParam<GifCase> {};

TEST_P(GifFixtureTest, DecodesLikeTheReferenceTool) {
  const GifCase& c = GetParam();
  auto d = DecodeWith(&DecodeGif, ImageFixture(c.file), false, c.index);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.bitmap.Width(), c.width);
  EXPECT_EQ(d.bitmap.Height(), c.height);
  EXPECT_EQ(d.bitmap.Format(), c.mono ? TVLPixelFormat::Mono : TVLPixelFormat::Rgb24);
  EXPECT_EQ(!d.alpha.IsNull(), c.alpha);
  EXPECT_TRUE(vltest::MatchesReference(d, ImageFixture(c.reference)));
}

INSTANTIATE_TEST_SUITE_P(
    Files, GifFixtureTest,
    ::testing::Values(GifCase{"gif_noise8.gif", 0, "gif_noise8.rgba", 48, 40, false, false},
                      GifCase{"gif_interlaced.gif", 0, "gif_interlaced.rgba", 48, 40, false, false},
                      GifCase{"gif_transparent.gif", 0, "gif_transparent.rgba", 13, 7, false, true},
                      GifCase{"gif_bw.gif", 0, "gif_bw.rgba", 21, 9, true, false},
                      GifCase{"gif_wb.gif", 0, "gif_wb.rgba", 21, 9, false, false},
                      GifCase{"gif_dot87a.gif", 0, "gif_dot87a.rgba", 1, 1, false, false},
                      GifCase{"gif_frames.gif", 0, "gif_frames_0.rgba", 48, 40, false, false},
                      GifCase{"gif_frames.gif", 1, "gif_frames_1.rgba", 13, 7, false, false},
                      GifCase{"gif_frames.gif", 2, "gif_frames_2.rgba", 5, 4, false, false}));

TEST(GifDecode, HeaderReadFillsTheParametersOfTheSelectedImage) {
  auto d = DecodeWith(&DecodeGif, ImageFixture("gif_frames.gif"), true, 1);
  ASSERT_TRUE(d.ok);
  EXPECT_TRUE(d.bitmap.IsNull());
  const TIOParamsVals& p = d.params;
  EXPECT_EQ(p.GifVersion, "GIF89a");
  EXPECT_EQ(p.GifScreenWidth, 48);
  EXPECT_EQ(p.GifScreenHeight, 40);
  EXPECT_EQ(p.Width, 13);
  EXPECT_EQ(p.Height, 7);
  EXPECT_EQ(p.GifLeft, 3);
  EXPECT_EQ(p.GifTop, 2);
  EXPECT_EQ(p.GifDelay, 20);
  EXPECT_EQ(p.ColorMap.size(), 128u);  // the frame's own table
  EXPECT_EQ(p.BitsPerSample, 7);
  EXPECT_EQ(p.SamplesPerPixel, 1);

  auto t = DecodeWith(&DecodeGif, ImageFixture("gif_transparent.gif"), true);
  ASSERT_TRUE(t.ok);
  EXPECT_TRUE(t.params.GifHasTransparency);
  EXPECT_EQ(t.params.GifTransparentIndex, 0x5A);
  EXPECT_EQ(t.params.GifTransparentColor, (TRGB{0, 0, 0}));

  auto v = DecodeWith(&DecodeGif, ImageFixture("gif_dot87a.gif"), true);
  ASSERT_TRUE(v.ok);
  EXPECT_EQ(v.params.GifVersion, "GIF87a");
}

// A one-image GIF around the given LZW bytes.
std::string TinyGif(int w, int h, int tableBits, int minCode, std::string lzw) {
  std::string g = "GIF89a";
  g += std::string{char(w), char(w >> 8), char(h), char(h >> 8), char(0x80 | (tableBits - 1)), 0, 0};
  for (int i = 0; i < (1 << tableBits); ++i) g += std::string(3, char(i * 255 / ((1 << tableBits) - 1)));
  g += std::string{0x2C, 0, 0, 0, 0, char(w), char(w >> 8), char(h), char(h >> 8), 0, char(minCode)};
  g += char(lzw.size());
  g += lzw;
  g += std::string{0, 0x3B};
  return g;
}

TEST(GifDecode, RefusesDamagedStreams) {
  const std::string good = ImageFixture("gif_noise8.gif");
  struct Bad {
    const char* what;
    std::string data;
  } cases[] = {
      {"empty", ""},
      {"signature only", "GIF89a"},
      {"truncated in the colour table", good.substr(0, 100)},
      {"truncated in the pixel data", good.substr(0, good.size() / 2)},
      {"no image at all", good.substr(0, 13 + 768) + ";"},
      {"code not yet in the table", TinyGif(2, 2, 2, 2, "\x3C")},
      {"string past the last row", TinyGif(2, 1, 2, 2, "\x84\x01")},
      {"index beyond a two-entry table", TinyGif(1, 1, 1, 2, "\x5C\x01")},
      {"code size past twelve bits", TinyGif(1, 1, 1, 12, "\x00")},
      {"zero width", TinyGif(0, 1, 1, 2, "\x44\x01")},
      {"too large", ImageFixture("gif_bad_huge.gif")},
      {"bad code (file)", ImageFixture("gif_bad_lzw.gif")},
      {"truncated (file)", ImageFixture("gif_bad_truncated.gif")},
      {"far too little data for its size", ImageFixture("gif_bad_claim.gif")},
  };
  for (const Bad& b : cases) {
    auto d = DecodeWith(&DecodeGif, b.data);
    EXPECT_FALSE(d.ok) << b.what;
  }
  // An image index past the last image fails, header read included.
  EXPECT_FALSE(DecodeWith(&DecodeGif, ImageFixture("gif_frames.gif"), false, 3).ok);
  EXPECT_FALSE(DecodeWith(&DecodeGif, ImageFixture("gif_frames.gif"), true, 3).ok);
}

TEST(GifDecode, TinyHandMadeStreamDecodes) {
  // Clear, 1, 2, end (3-bit codes): shows that the builder above is sound.
  auto d = DecodeWith(&DecodeGif, TinyGif(2, 1, 2, 2, "\x8C\x0A"));
  ASSERT_TRUE(d.ok);
  int c[3];
  vltest::PixelAt(d.bitmap, 0, 0, c);
  EXPECT_EQ(c[0], 85);
  vltest::PixelAt(d.bitmap, 1, 0, c);
  EXPECT_EQ(c[0], 170);
}

}  // namespace
