#pragma once
// Helpers of the picture tests: fixtures, reference pixels, small pictures.
#include <QImage>
#include <filesystem>
#include <string>

#include "images/Decoders.h"
#include "support/TestSupport.h"

namespace imgtest {

inline std::filesystem::path DataDir() { return std::filesystem::path(VL_SOURCE_DIR) / "tests/images/data"; }
inline std::string Fixture(const std::string& name) { return vltest::ReadFileBytes(DataDir() / name); }

// A binary PPM (P6, maxval 255) as written by the image tools.
inline QImage ReadPpm(const std::string& bytes) {
  size_t pos = 0;
  auto token = [&] {
    while (pos < bytes.size() && isspace(static_cast<unsigned char>(bytes[pos]))) ++pos;
    size_t start = pos;
    while (pos < bytes.size() && !isspace(static_cast<unsigned char>(bytes[pos]))) ++pos;
    return bytes.substr(start, pos - start);
  };
  if (token() != "P6") return {};
  int w = std::stoi(token()), h = std::stoi(token());
  if (token() != "255") return {};
  ++pos;
  QImage img(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y) memcpy(img.scanLine(y), bytes.data() + pos + size_t(y) * w * 3, size_t(w) * 3);
  return img;
}

// The largest difference of any channel between two pictures of one size.
inline int MaxDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 1000;
  int worst = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                        std::abs(qBlue(p) - qBlue(q))});
    }
  return worst;
}

// PNG bytes of a picture, written by Qt's own PNG writer.
std::string QtPng(const QImage& img);

}  // namespace imgtest
