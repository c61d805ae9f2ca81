// TVLBitmap, the picture caps and the parameter record.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "images/Decoders.h"

namespace vl {

bool ImageSizeAllowed(int64_t width, int64_t height, int bitsPerPixel) {
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return false;
  if (bitsPerPixel < 1 || bitsPerPixel > 64) return false;
  int64_t rowBytes = ((width * bitsPerPixel + 31) / 32) * 4;
  return rowBytes * height <= kMaxImageBytes;
}

static std::atomic<int64_t> g_bytesAllocated{0};

int64_t TVLBitmap::BytesAllocated() { return g_bytesAllocated.load(); }

static QImage::Format QtFormat(TVLPixelFormat f) {
  switch (f) {
    case TVLPixelFormat::Mono: return QImage::Format_Mono;
    case TVLPixelFormat::Gray8: return QImage::Format_Grayscale8;
    case TVLPixelFormat::Rgb24: return QImage::Format_RGB888;
    default: return QImage::Format_Invalid;
  }
}

static int Bits(TVLPixelFormat f) {
  switch (f) {
    case TVLPixelFormat::Mono: return 1;
    case TVLPixelFormat::Gray8: return 8;
    case TVLPixelFormat::Rgb24: return 24;
    default: return 0;
  }
}

bool TVLBitmap::Allocate(int width, int height, TVLPixelFormat format, bool zeroed) {
  image_ = QImage();
  Full = false;
  if (format == TVLPixelFormat::None || !ImageSizeAllowed(width, height, Bits(format))) return false;
  QImage img(width, height, QtFormat(format));
  if (img.isNull()) return false;  // QImage reports a failed allocation this way
  g_bytesAllocated += img.sizeInBytes();
  // QImage::fill converts per pixel for 24-bit images; a memset is 30
  // times faster on a large picture.
  if (zeroed) memset(img.bits(), 0, static_cast<size_t>(img.sizeInBytes()));
  if (format == TVLPixelFormat::Mono) img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  image_ = std::move(img);
  return true;
}

void TVLBitmap::Clear() {
  image_ = QImage();
  Full = false;
}

TVLPixelFormat TVLBitmap::Format() const {
  switch (image_.format()) {
    case QImage::Format_Mono: return TVLPixelFormat::Mono;
    case QImage::Format_Grayscale8: return TVLPixelFormat::Gray8;
    case QImage::Format_RGB888: return TVLPixelFormat::Rgb24;
    default: return TVLPixelFormat::None;
  }
}

int TVLBitmap::BitsPerPixel() const { return Bits(Format()); }

void TVLBitmap::SetMonoColors(QRgb zero, QRgb one) {
  if (image_.format() == QImage::Format_Mono) image_.setColorTable({zero, one});
}

void TVLBitmap::Assign(const QImage& image) {
  Full = false;
  switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_Grayscale8:
    case QImage::Format_RGB888:
      image_ = image;
      break;
    case QImage::Format_MonoLSB:
      image_ = image.convertToFormat(QImage::Format_Mono);
      break;
    case QImage::Format_Invalid:
      image_ = QImage();
      break;
    default:
      image_ = image.convertToFormat(QImage::Format_RGB888);
      break;
  }
}

void TVLBitmap::UpdateFull() {
  Full = false;
  if (image_.format() != QImage::Format_Grayscale8) return;
  const int w = image_.width();
  for (int y = 0; y < image_.height() && !Full; ++y) {
    const uint8_t* p = image_.constScanLine(y);
    Full = std::any_of(p, p + w, [](uint8_t v) { return v != 255; });
  }
}

void TIOParamsVals::Reset() {
  int gif = GifImageIndex, ico = IcoImageIndex;
  *this = TIOParamsVals();
  GifImageIndex = gif;
  IcoImageIndex = ico;
}

}  // namespace vl
