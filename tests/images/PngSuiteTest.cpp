// The public PNG test suite: every valid file decodes to the pixels of its
// reference array, its BMP twin decodes to the same pixels through our BMP
// decoder, and every damaged file ("x" prefix) is refused.
#include <gtest/gtest.h>

#include <QFile>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "images/Decoders.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace vl;

namespace {

const fs::path kSuite = fs::path(VL_SOURCE_DIR) / "tests/images/data/pngsuite";

// The suite is part of the project: a missing folder is a failure, not a skip.
#define REQUIRE_SUITE() ASSERT_TRUE(fs::is_directory(kSuite / "png")) << "no test data at " << kSuite

// The reference arrays are JSON lists of RGBA bytes.
std::vector<int> ReadJsonBytes(const fs::path& p) {
  std::string text = vltest::ReadFileBytes(p);
  std::vector<int> out;
  int v = -1;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      v = (v < 0 ? 0 : v * 10) + (c - '0');
    } else if (v >= 0) {
      out.push_back(v);
      v = -1;
    }
  }
  if (v >= 0) out.push_back(v);
  return out;
}

struct Rgba {
  int r, g, b, a;
};

Rgba PixelOf(const TVLBitmap& bmp, const TVLBitmap& alpha, int x, int y) {
  QRgb c = bmp.Image().pixel(x, y);
  int a = alpha.IsNull() ? 255 : alpha.ScanLine(y)[x];
  return {qRed(c), qGreen(c), qBlue(c), a};
}

// Compares a decoded picture with the reference; `tol` is the allowed
// difference per channel. Colours of fully transparent pixels do not count.
::testing::AssertionResult SameAsReference(const TVLBitmap& bmp, const TVLBitmap& alpha,
                                           const std::vector<int>& ref, int tol) {
  const int w = bmp.Width(), h = bmp.Height();
  if (ref.size() != size_t(w) * h * 4)
    return ::testing::AssertionFailure() << "reference holds " << ref.size() << " bytes for " << w
                                         << "x" << h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int* e = &ref[(size_t(y) * w + x) * 4];
      Rgba p = PixelOf(bmp, alpha, x, y);
      bool colourMatters = e[3] != 0;
      if (std::abs(p.a - e[3]) > tol ||
          (colourMatters && (std::abs(p.r - e[0]) > tol || std::abs(p.g - e[1]) > tol ||
                             std::abs(p.b - e[2]) > tol)))
        return ::testing::AssertionFailure()
               << "pixel " << x << "," << y << " is " << p.r << "," << p.g << "," << p.b << "," << p.a
               << " not " << e[0] << "," << e[1] << "," << e[2] << "," << e[3];
    }
  return ::testing::AssertionSuccess();
}

// The reference of a file. 16-bit sources are compared with their 8-bit
// reduction when the suite has one, else with the 16-bit values scaled down;
// either may round the other way, so they allow a difference of one.
std::vector<int> Reference(const std::string& stem, int& tol) {
  fs::path to8 = kSuite / "json" / (stem + "_to8.json");
  tol = 0;
  if (fs::exists(to8)) {
    tol = 1;
    return ReadJsonBytes(to8);
  }
  auto ref = ReadJsonBytes(kSuite / "json" / (stem + ".json"));
  if (std::any_of(ref.begin(), ref.end(), [](int v) { return v > 255; })) {
    tol = 1;
    for (int& v : ref) v = v / 257;
  }
  return ref;
}

std::vector<fs::path> Files(const fs::path& dir, const std::string& ext) {
  std::vector<fs::path> out;
  for (auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ext) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST(PngSuite, ValidFilesMatchTheirReferencePixels) {
  REQUIRE_SUITE();
  auto files = Files(kSuite / "png", ".png");
  ASSERT_GT(files.size(), 150u);
  int checked = 0;
  for (const fs::path& f : files) {
    std::string stem = f.stem().string();
    if (stem[0] == 'x') continue;
    SCOPED_TRACE(stem);
    std::string data = vltest::ReadFileBytes(f);
    TIOParamsVals params;
    TVLBitmap bmp, alpha;
    ASSERT_TRUE(DecodePng(data, params, bmp, alpha, false));
    EXPECT_EQ(params.Width, bmp.Width());
    EXPECT_EQ(params.Height, bmp.Height());
    int tol = 0;
    auto ref = Reference(stem, tol);
    EXPECT_TRUE(SameAsReference(bmp, alpha, ref, tol));
    ++checked;
  }
  EXPECT_GT(checked, 140);
}

TEST(PngSuite, BmpTwinsDecodeToTheSamePixels) {
  REQUIRE_SUITE();
  auto files = Files(kSuite / "bmp", ".bmp");
  ASSERT_GT(files.size(), 150u);
  for (const fs::path& f : files) {
    std::string stem = f.stem().string();
    SCOPED_TRACE(stem);
    std::string data = vltest::ReadFileBytes(f);
    TIOParamsVals params;
    TVLBitmap bmp, alpha;
    ASSERT_TRUE(DecodeBmp(data, params, bmp, alpha, false));
    int tol = 0;
    auto ref = Reference(stem, tol);
    EXPECT_TRUE(SameAsReference(bmp, alpha, ref, tol));
  }
}

TEST(PngSuite, DamagedFilesAreRefused) {
  REQUIRE_SUITE();
  int refused = 0;
  for (const fs::path& f : Files(kSuite / "png", ".png")) {
    std::string stem = f.stem().string();
    if (stem[0] != 'x') continue;
    SCOPED_TRACE(stem);
    std::string data = vltest::ReadFileBytes(f);
    TIOParamsVals params;
    TVLBitmap bmp, alpha;
    EXPECT_FALSE(DecodePng(data, params, bmp, alpha, false));
    EXPECT_TRUE(bmp.IsNull());
    // Through the component: the bad picture.
    TVLImageView view;
    view.LoadFromMemory(data);
    EXPECT_TRUE(view.BadImage());
    ++refused;
  }
  EXPECT_EQ(refused, 14);
}
