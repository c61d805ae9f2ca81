#pragma once
// Shared by the decoder tests: fixture files and a comparison of a decoded
// picture with the raw RGBA a real tool decoded the same file to.
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"
#include "images/Decoders.h"

namespace vltest {

inline std::string ImageFixture(const std::string& name) {
  return ReadFileBytes(std::string(VL_SOURCE_DIR) + "/tests/images/fixtures/" + name);
}

struct TDecoded {
  bool ok = false;
  vl::TIOParamsVals params;
  vl::TVLBitmap bitmap, alpha;
};

using DecodeFn = bool (*)(std::string_view, vl::TIOParamsVals&, vl::TVLBitmap&, vl::TVLBitmap&,
                          bool);

inline TDecoded DecodeWith(DecodeFn fn, std::string_view data, bool headerOnly = false,
                           int gifIndex = 0, int icoIndex = 0) {
  TDecoded d;
  d.params.GifImageIndex = gifIndex;
  d.params.IcoImageIndex = icoIndex;
  d.ok = fn(data, d.params, d.bitmap, d.alpha, headerOnly);
  return d;
}

// The picture's pixel (x, y) as RGB, whatever its format.
inline void PixelAt(const vl::TVLBitmap& b, int x, int y, int rgb[3]) {
  QRgb c = b.Image().pixel(x, y);
  rgb[0] = qRed(c), rgb[1] = qGreen(c), rgb[2] = qBlue(c);
}

// Compares colour and alpha with the reference (colour only where the
// reference is opaque; no alpha channel means 255 everywhere).
inline ::testing::AssertionResult MatchesReference(const TDecoded& d, const std::string& rgba,
                                                   int tolerance = 0) {
  const int w = d.bitmap.Width(), h = d.bitmap.Height();
  if (rgba.size() != static_cast<size_t>(w) * h * 4)
    return ::testing::AssertionFailure()
           << "reference holds " << rgba.size() / 4 << " pixels, picture is " << w << "x" << h;
  int bad = 0;
  std::string first;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned char* r = reinterpret_cast<const unsigned char*>(rgba.data()) + 4 * (y * w + x);
      int c[3];
      PixelAt(d.bitmap, x, y, c);
      int a = d.alpha.IsNull() ? 255 : d.alpha.ScanLine(y)[x];
      bool ok = std::abs(a - r[3]) <= tolerance;
      if (r[3] != 0)
        for (int k = 0; k < 3; ++k) ok = ok && std::abs(c[k] - r[k]) <= tolerance;
      if (!ok && bad++ == 0)
        first = "(" + std::to_string(x) + "," + std::to_string(y) + ") is " + std::to_string(c[0]) +
                "," + std::to_string(c[1]) + "," + std::to_string(c[2]) + " a" + std::to_string(a) +
                ", reference " + std::to_string(r[0]) + "," + std::to_string(r[1]) + "," +
                std::to_string(r[2]) + " a" + std::to_string(r[3]);
    }
  if (bad) return ::testing::AssertionFailure() << bad << " pixels differ, first " << first;
  return ::testing::AssertionSuccess();
}

}  // namespace vltest
