// The four decoders as the picture component reaches them: by extension for
// files, by content for memory, and header reads.
#include <gtest/gtest.h>

#include "DecoderFixtures.h"

using namespace vl;

namespace {

TEST(GifTiffPcxIcoView, LoadByExtensionAndByContent) {
  struct Case {
    const char* fixture;
    const char* name;  // as stored on disk
    TIOFileType type;
    int width, height;
  } cases[] = {
      {"gif_noise8.gif", "a.GIF", TIOFileType::Gif, 48, 40},
      {"tif_rgb_lzw.tif", "b.tiff", TIOFileType::Tiff, 48, 40},
      {"tif_g4.tif", "c.tif", TIOFileType::Tiff, 21, 9},
      {"pcx_pal8.pcx", "d.pcx", TIOFileType::Pcx, 48, 40},
      {"ico_32alpha.ico", "e.ico", TIOFileType::Ico, 24, 24},
  };
  vltest::TempDir dir;
  for (const Case& c : cases) {
    const std::string bytes = vltest::ImageFixture(c.fixture);
    const std::string path = (dir / c.name).string();
    vltest::WriteFileBytes(path, bytes);
    TVLImageView file, memory, header;
    file.LoadFromFile(path);
    memory.LoadFromMemory(bytes);
    for (TVLImageView* v : {&file, &memory}) {
      EXPECT_FALSE(v->BadImage()) << c.fixture;
      EXPECT_EQ(v->Params().FileType, c.type) << c.fixture;
      EXPECT_EQ(v->ImageWidth(), c.width) << c.fixture;
      EXPECT_EQ(v->ImageHeight(), c.height) << c.fixture;
    }
    EXPECT_EQ(file.HasAlpha(), c.type == TIOFileType::Ico) << c.fixture;
    ASSERT_TRUE(header.ReadHeader(path)) << c.fixture;
    EXPECT_EQ(header.Params().Width, c.width) << c.fixture;
    EXPECT_EQ(header.Params().Height, c.height) << c.fixture;
  }
}

TEST(GifTiffPcxIcoView, RefusedPicturesBecomeTheBadPicture) {
  vltest::TempDir dir;
  for (const char* f : {"tif_bad_tiled.tif", "gif_bad_lzw.gif", "pcx_bad_overrun.pcx",
                        "ico_bad_truncated.ico"}) {
    const std::string path = (dir / f).string();
    vltest::WriteFileBytes(path, vltest::ImageFixture(f));
    TVLImageView v;
    v.LoadFromFile(path);
    EXPECT_TRUE(v.BadImage()) << f;
    EXPECT_FALSE(v.IsEmpty()) << f;
  }
}

}  // namespace
