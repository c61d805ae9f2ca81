#include <gtest/gtest.h>

#include "DecoderFixtures.h"

using namespace vl;
using vltest::DecodeWith;
using vltest::ImageFixture;

namespace {

struct IcoCase {
  const char* file;
  int index;  // the icon index asked for
  const char* reference;
  int width, height;
  bool mono, alpha;
  int bitsPerSample, samplesPerPixel;
};

class IcoFixtureTest : public ::testing::TestWithParam<IcoCase> {};

TEST_P(IcoFixtureTest, DecodesTheChosenEntryLikeTheReferenceTool) {
  const IcoCase& c = GetParam();
  auto d = DecodeWith(&DecodeIco, ImageFixture(c.file), false, 0, c.index);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.bitmap.Width(), c.width);
  EXPECT_EQ(d.bitmap.Height(), c.height);
  EXPECT_EQ(d.bitmap.Format(), c.mono ? TVLPixelFormat::Mono : TVLPixelFormat::Rgb24);
  EXPECT_EQ(!d.alpha.IsNull(), c.alpha);
  EXPECT_TRUE(vltest::MatchesReference(d, ImageFixture(c.reference)));

  auto h = DecodeWith(&DecodeIco, ImageFixture(c.file), true, 0, c.index);
  ASSERT_TRUE(h.ok);
  EXPECT_TRUE(h.bitmap.IsNull());
  EXPECT_EQ(h.params.Width, c.width);
  EXPECT_EQ(h.params.Height, c.height);
  EXPECT_EQ(h.params.BitsPerSample, c.bitsPerSample);
  EXPECT_EQ(h.params.SamplesPerPixel, c.samplesPerPixel);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IcoFixtureTest,
    ::testing::Values(
        IcoCase{"ico_4bit.ico", 0, "ico_4bit.rgba", 16, 16, false, true, 4, 1},
        // Two entries, 16 and 32 pixels: the 32 by 32 one is preferred.
        IcoCase{"ico_4_8.ico", 0, "ico_4_8_1.rgba", 32, 32, false, true, 8, 1},
        IcoCase{"ico_1bit.ico", 0, "ico_1bit.rgba", 32, 32, true, false, 1, 1},
        IcoCase{"ico_32alpha.ico", 0, "ico_32alpha.rgba", 24, 24, false, true, 8, 4},
        IcoCase{"ico_png.ico", 0, "ico_png.rgba", 24, 24, false, true, 8, 4},
        // No 32 by 32 entry: the index chooses.
        IcoCase{"ico_sizes.ico", 0, "ico_sizes_0.rgba", 24, 24, false, true, 8, 4},
        IcoCase{"ico_sizes.ico", 1, "ico_sizes_1.rgba", 16, 16, false, true, 8, 4},
        // Two 32 by 32 entries: the one with the display's colour count.
        IcoCase{"ico_pick.ico", 0, "ico_pick_2.rgba", 32, 32, false, true, 8, 4},
        IcoCase{"ico_bmp.ico", 0, "ico_bmp.rgba", 13, 7, false, false, 8, 3}));

TEST(IcoDecode, PreferenceFollowsTheDisplayColourCount) {
  // On a 256-colour display the 8-bit 32 by 32 entry of ico_pick matches.
  const int saved = Globals().displayColorCount;
  Globals().displayColorCount = 256;
  auto d = DecodeWith(&DecodeIco, ImageFixture("ico_pick.ico"), true);
  Globals().displayColorCount = saved;
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.params.BitsPerSample, 8);
  EXPECT_EQ(d.params.SamplesPerPixel, 1);
  EXPECT_EQ(d.params.IcoImageCount, 3);
}

TEST(IcoDecode, RefusesDamagedFiles) {
  struct Bad {
    const char* what;
    std::string data;
    int index;
  } cases[] = {
      {"empty", "", 0},
      {"directory only", std::string("\0\0\1\0\1\0", 6), 0},
      {"no entries", std::string("\0\0\1\0\0\0", 6), 0},
      {"index past the directory", ImageFixture("ico_sizes.ico"), 2},
      {"entry outside the file", ImageFixture("ico_bad_offset.ico"), 0},
      {"truncated pixels", ImageFixture("ico_bad_truncated.ico"), 0},
      {"too large", ImageFixture("ico_bad_huge.ico"), 0},
      {"palette shorter than the indices", ImageFixture("ico_bad_palette.ico"), 0},
  };
  for (const Bad& b : cases) EXPECT_FALSE(DecodeWith(&DecodeIco, b.data, false, 0, b.index).ok) << b.what;
}

}  // namespace
