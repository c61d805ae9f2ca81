// Decoding: JPEG and BMP against what a real image tool decodes, type
// detection, header reads and hostile input.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "images/Decoders.h"

using namespace vl;
using namespace imgtest;

namespace {

struct FixtureCase {
  const char* file;
  const char* reference;
  int tolerance;
  TVLPixelFormat format;
};


}  // namespace

TEST(Decoders, MatchWhatTheImageToolDecodes) {
  // JPEG decoders may round the inverse transform and the colour conversion
  // differently; BMP is exact.
  const FixtureCase cases[] = {
      {"photo.jpg", "photo_jpg.ppm", 3, TVLPixelFormat::Rgb24},
      {"grey.jpg", "grey_jpg.ppm", 3, TVLPixelFormat::Rgb24},
      {"progressive.jpg", "progressive_jpg.ppm", 3, TVLPixelFormat::Rgb24},
      {"cmyk.jpg", "cmyk_jpg.ppm", 4, TVLPixelFormat::Rgb24},
      {"pal4.bmp", "pal4_bmp.ppm", 0, TVLPixelFormat::Rgb24},
      {"pal8.bmp", "pal8_bmp.ppm", 0, TVLPixelFormat::Rgb24},
      {"rle8.bmp", "rle8_bmp.ppm", 0, TVLPixelFormat::Rgb24},
      {"core24.bmp", "core24_bmp.ppm", 0, TVLPixelFormat::Rgb24},
      {"rgb565.bmp", "rgb565_bmp.ppm", 2, TVLPixelFormat::Rgb24},
      {"mono.bmp", "mono_bmp.ppm", 0, TVLPixelFormat::Mono},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::string data = Fixture(c.file);
    TIOFileType type = FileTypeFromContent(data);
    EXPECT_EQ(type, FileTypeFromExtension(c.file));
    TVLBitmap bmp, alpha;
    TIOParamsVals p;
    ASSERT_TRUE(DecodeByType(type, data, p, bmp, alpha, false));
    EXPECT_EQ(bmp.Format(), c.format);
    EXPECT_TRUE(alpha.IsNull());
    QImage ref = ReadPpm(Fixture(c.reference));
    ASSERT_FALSE(ref.isNull());
    EXPECT_EQ(p.Width, ref.width());
    EXPECT_EQ(p.Height, ref.height());
    EXPECT_LE(MaxDifference(bmp.Image(), ref), c.tolerance);
  }
}

// A 4-bit RLE picture, 6 by 3, written by hand: bottom row "run of 6 of
// colours 1,2", middle row a literal 3,3,3 and an end of line, top row a
// delta of 4 then a run of 2 of colour 2, and the end mark.
TEST(Decoders, BmpRle4AndTopDownRows) {
  auto bmp = [](int32_t height, uint32_t compression, std::string pixels, int bpp) {
    std::string palette;
    for (uint8_t c : {0, 60, 120, 250}) palette += std::string{char(c), char(c), char(c), 0};
    std::string info(40, '\0');
    auto put32 = [&](std::string& s, size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i));
    };
    put32(info, 0, 40);
    put32(info, 4, 6);
    put32(info, 8, static_cast<uint32_t>(height));
    info[12] = 1;
    info[14] = char(bpp);
    put32(info, 16, compression);
    put32(info, 32, 4);
    std::string file = "BM" + std::string(12, '\0') + info + palette + pixels;
    put32(file, 2, static_cast<uint32_t>(file.size()));
    put32(file, 10, 14 + 40 + 16);
    return file;
  };
  const std::string rle{"\x06\x12\x00\x00" "\x00\x03\x33\x30\x00\x00" "\x00\x02\x04\x00\x02\x22\x00\x01", 18};
  TVLBitmap b, a;
  TIOParamsVals p;
  ASSERT_TRUE(DecodeBmp(bmp(3, 2, rle, 4), p, b, a, false));
  auto grey = [&](int x, int y) { return qRed(b.Image().pixel(x, y)); };
  // Rows are stored bottom-up.
  EXPECT_EQ((std::vector<int>{grey(0, 2), grey(1, 2), grey(5, 2)}), (std::vector<int>{60, 120, 120}));
  EXPECT_EQ((std::vector<int>{grey(0, 1), grey(2, 1), grey(3, 1)}), (std::vector<int>{250, 250, 0}));
  EXPECT_EQ((std::vector<int>{grey(3, 0), grey(4, 0), grey(5, 0)}), (std::vector<int>{0, 120, 120}));

  // A run past the end of its stored row (8 pixels), and a stream without
  // its end: refused.
  EXPECT_FALSE(DecodeBmp(bmp(3, 2, std::string("\x09\x12\x00\x01", 4), 4), p, b, a, false));
  EXPECT_FALSE(DecodeBmp(bmp(3, 2, std::string("\x06\x12\x00", 3), 4), p, b, a, false));
  // RLE pictures cannot be top-down.
  EXPECT_FALSE(DecodeBmp(bmp(-3, 2, rle, 4), p, b, a, false));

  // A top-down 8-bit picture: the first stored row is the top one.
  std::string rows = std::string("\x01\x01\x01\x01\x01\x01\0\0", 8) + std::string("\x02\x02\x02\x02\x02\x02\0\0", 8) +
                     std::string("\x03\x03\x03\x03\x03\x03\0\0", 8);
  ASSERT_TRUE(DecodeBmp(bmp(-3, 0, rows, 8), p, b, a, false));
  EXPECT_EQ(grey(0, 0), 60);
  EXPECT_EQ(grey(0, 2), 250);
  // Rows missing at the end: refused.
  EXPECT_FALSE(DecodeBmp(bmp(-3, 0, rows.substr(0, 14), 8), p, b, a, false));
  // Indices past a short colour table read black instead of past the table.
  ASSERT_TRUE(DecodeBmp(bmp(-3, 0, std::string(24, '\x77'), 8), p, b, a, false));
  EXPECT_EQ(b.Image().pixel(0, 0), qRgb(0, 0, 0));
}

TEST(Decoders, HeaderReadsGiveTheSizeWithoutPixels) {
  struct Case {
    const char* file;
    int w, h;
  } cases[] = {{"photo.jpg", 64, 48}, {"pal8.bmp", 37, 21}, {"mono.bmp", 37, 21}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::string data = Fixture(c.file);
    TVLBitmap b, a;
    TIOParamsVals p;
    ASSERT_TRUE(DecodeByType(FileTypeFromContent(data), data, p, b, a, true));
    EXPECT_EQ(p.Width, c.w);
    EXPECT_EQ(p.Height, c.h);
    EXPECT_TRUE(b.IsNull());
  }
  // Through the component, from a file, with the type from the extension.
  vltest::TempDir dir;
  vltest::WriteFileBytes(dir / "a.png", QtPng(QImage(7, 5, QImage::Format_ARGB32)));
  TVLImageView view;
  int64_t before = TVLImageView::DecodeCount();
  ASSERT_TRUE(view.ReadHeader((dir / "a.png").string()));
  EXPECT_EQ(view.Params().Width, 7);
  EXPECT_EQ(view.Params().Height, 5);
  EXPECT_EQ(view.Params().SamplesPerPixel, 4);
  EXPECT_EQ(TVLImageView::DecodeCount(), before);
  // A header that needs bytes far into the file (pixels at 300,000) is
  // still read.
  std::string far = Fixture("pal8.bmp");
  std::string pixels = far.substr(GetU32LE(reinterpret_cast<const unsigned char*>(far.data()) + 10));
  far.resize(300000, '\0');
  far += pixels;
  for (int i = 0; i < 4; ++i) far[10 + i] = char(300000 >> (8 * i));
  vltest::WriteFileBytes(dir / "far.bmp", far);
  ASSERT_TRUE(view.ReadHeader((dir / "far.bmp").string()));
  EXPECT_EQ(view.Params().Width, 37);
  view.LoadFromFile((dir / "far.bmp").string());
  EXPECT_FALSE(view.BadImage());
  // Unknown type: false; an unreadable header: false, unknown, 32 by 32.
  EXPECT_FALSE(view.ReadHeader((dir / "a.xyz").string()));
  vltest::WriteFileBytes(dir / "b.png", "not a png");
  EXPECT_FALSE(view.ReadHeader((dir / "b.png").string()));
  EXPECT_EQ(view.Params().FileType, TIOFileType::Unknown);
  EXPECT_EQ(view.Params().Width, 32);
}

TEST(Decoders, TypeComesFromTheExtensionForFilesAndFromContentForStreams) {
  vltest::TempDir dir;
  QImage img(4, 3, QImage::Format_RGB888);
  img.fill(qRgb(10, 200, 30));
  const std::string png = QtPng(img);
  vltest::WriteFileBytes(dir / "wrong.jpg", png);
  vltest::WriteFileBytes(dir / "right.PNG", png);
  TVLImageView view;
  view.LoadFromFile((dir / "wrong.jpg").string());
  EXPECT_TRUE(view.BadImage());
  EXPECT_FALSE(view.IsEmpty());  // the bad picture is something to draw
  EXPECT_EQ(view.Bitmap().Format(), TVLPixelFormat::Rgb24);
  view.LoadFromFile((dir / "right.PNG").string());
  ASSERT_FALSE(view.BadImage());
  EXPECT_EQ(view.Params().FileName, (dir / "right.PNG").string());
  MemorySource src(png);
  view.LoadFromStream(src);
  ASSERT_FALSE(view.BadImage());
  EXPECT_EQ(view.Bitmap().Image().pixel(3, 2), qRgb(10, 200, 30));
  // An unknown extension is not even read.
  view.LoadFromFile((dir / "missing.xyz").string());
  EXPECT_TRUE(view.BadImage());

  struct Case {
    std::string bytes;
    TIOFileType type;
  } cases[] = {
      {std::string("\xFF\xD8\xFF", 3), TIOFileType::Jpeg},
      {"GIF89a" + std::string(10, '\0'), TIOFileType::Gif},
      {"BM" + std::string(20, '\0'), TIOFileType::Bmp},
      {"II*" + std::string(10, '\0'), TIOFileType::Tiff},
      {"\x89PNG\r\n\x1a\n" + std::string(4, '\0'), TIOFileType::Png},
      {std::string("\x0A\x05", 2) + std::string(200, '\0'), TIOFileType::Pcx},
      {std::string("\x0A\x06", 2) + std::string(200, '\0'), TIOFileType::Unknown},
      {std::string("\0\0\1\0\1\0", 6) + std::string("\x20\x20\0\0\1\0\x20\0\x10\0\0\0\x16\0\0\0", 16) + "x",
       TIOFileType::Ico},
      // An icon entry whose data would start inside the directory is not an icon.
      {std::string("\0\0\1\0\1\0", 6) + std::string("\x20\x20\0\0\1\0\x20\0\x10\0\0\0\x06\0\0\0", 16) + "x",
       TIOFileType::Unknown},
      {std::string("\xD7\xCD\xC6\x9A", 4) + std::string(30, '\0'), TIOFileType::Wmf},
      {"hello world, not a picture", TIOFileType::Unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(FileTypeFromContent(c.bytes), c.type) << c.bytes.substr(0, 4);
}

TEST(Decoders, HostileInputIsRefusedWithoutCrashing) {
  // Every fixture cut short at many points: either refused or a picture of
  // the stated size, never a crash (the sanitizer builds check the reads).
  for (const char* f : {"photo.jpg", "progressive.jpg", "pal8.bmp", "rle8.bmp", "core24.bmp", "rgb565.bmp"}) {
    std::string data = Fixture(f);
    for (size_t cut = 0; cut < data.size(); cut += 1 + data.size() / 40) {
      SCOPED_TRACE(std::string(f) + " cut at " + std::to_string(cut));
      TVLBitmap b, a;
      TIOParamsVals p;
      std::string_view part(data.data(), cut);
      if (DecodeByType(FileTypeFromExtension(f), part, p, b, a, false)) {
        EXPECT_EQ(b.Width(), p.Width);
      } else {
        EXPECT_TRUE(b.IsNull());
      }
    }
  }
  // A JPEG that ends early is not loaded; one that lacks only its end
  // marker has every row and loads.
  {
    std::string jpeg = Fixture("photo.jpg");
    TVLBitmap b, a;
    TIOParamsVals p;
    EXPECT_FALSE(DecodeJpeg(std::string_view(jpeg).substr(0, jpeg.size() * 3 / 4), p, b, a, false));
    EXPECT_TRUE(DecodeJpeg(std::string_view(jpeg).substr(0, jpeg.size() - 2), p, b, a, false));
    EXPECT_LE(MaxDifference(b.Image(), ReadPpm(Fixture("photo_jpg.ppm"))), 3);
  }
  // Sizes beyond the caps are refused before anything is allocated.
  std::string bmp = Fixture("pal8.bmp");
  auto patch32 = [](std::string s, size_t at, uint32_t v) {
    const char le[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    s.replace(at, 4, le, 4);
    return s;
  };
  std::string png = QtPng(QImage(4, 4, QImage::Format_RGB888));
  auto patchPngSize = [&](uint32_t w, uint32_t h) {
    std::string s = png;
    for (int i = 0; i < 4; ++i) {
      s[16 + i] = char(w >> (8 * (3 - i)));
      s[20 + i] = char(h >> (8 * (3 - i)));
    }
    return s;
  };
  std::string jpeg = Fixture("photo.jpg");
  size_t sof = jpeg.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  std::string bigJpeg = jpeg;
  bigJpeg[sof + 5] = '\xFF';  // height 65,000-odd
  bigJpeg[sof + 6] = '\x00';
  bigJpeg[sof + 7] = '\xFF';  // width
  bigJpeg[sof + 8] = '\x00';
  struct Case {
    const char* what;
    std::string data;
  } cases[] = {
      {"bmp 100000 wide", patch32(bmp, 18, 100000)},
      {"bmp 16000 square", patch32(patch32(bmp, 18, 16000), 22, 16000)},
      {"bmp zero height", patch32(bmp, 22, 0)},
      {"bmp height INT_MIN", patch32(bmp, 22, 0x80000000u)},
      {"bmp header size past the end", patch32(bmp, 14, 100000)},
      {"bmp pixel offset past the end", patch32(bmp, 10, 100000)},
      {"png 20000 square", patchPngSize(20000, 20000)},
      {"jpeg 65000 square", bigJpeg},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TVLBitmap b, a;
    TIOParamsVals p;
    EXPECT_FALSE(DecodeByType(FileTypeFromContent(c.data), c.data, p, b, a, false));
    EXPECT_TRUE(b.IsNull());
    TVLImageView view;
    view.LoadFromMemory(c.data);
    EXPECT_TRUE(view.BadImage());
  }
  EXPECT_TRUE(ImageSizeAllowed(16384, 4096, 24));
  EXPECT_FALSE(ImageSizeAllowed(16384, 16384, 24));  // 768 MiB
  EXPECT_FALSE(ImageSizeAllowed(16385, 1, 24));
}
