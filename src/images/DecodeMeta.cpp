// WMF and EMF. Linux has no metafile service: the header gives the size,
// and our own player (MetaCanvas) draws the records into a picture of that
// size less one, as the metafile would be played at its own size. Pixels
// the records leave untouched are transparent (the alpha channel), since a
// metafile draws only what its records draw.
#include <QPainter>
#include <cmath>

#include "images/Decoders.h"
#include "images/MetaCanvas.h"

namespace vl {

namespace {
// The picture of a metafile is drawn through a 32-bit work image: we keep
// it to 64 MiB (4,096 pixels square), whatever size the header claims.
constexpr int64_t kMaxMetaPixels = int64_t{16} << 20;
}  // namespace

bool ReadMetaHeader(std::string_view data, TMetaHeader& h) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  h = TMetaHeader();
  int64_t w = 0, ht = 0;
  if (n > 100 && GetU32LE(p) == 1 && GetU32LE(p + 40) == 0x464D4520) {
    h.emf = true;
    auto i32 = [&](size_t at) { return static_cast<int64_t>(static_cast<int32_t>(GetU32LE(p + at))); };
    const uint32_t headerSize = GetU32LE(p + 4);
    if (headerSize < 88 || headerSize > n) return false;
    const int64_t devX = i32(72), devY = i32(76), mmX = i32(80), mmY = i32(84);
    if (devX > 0 && devY > 0 && mmX > 0 && mmY > 0) {
      h.pixelsPerMmX = double(devX) / double(mmX);
      h.pixelsPerMmY = double(devY) / double(mmY);
    }
    h.handles = GetU16LE(p + 56);
    // The picture frame (hundredths of a millimetre) is what a player maps
    // onto the target; without one, the bounds (device pixels, inclusive).
    const int64_t fl = i32(24), ft = i32(28), fr = i32(32), fb = i32(36);
    if (fr > fl && fb > ft) {
      w = std::llround(double(fr - fl) * 96 / 2540);
      ht = std::llround(double(fb - ft) * 96 / 2540);
      h.frame = QRectF(fl * h.pixelsPerMmX / 100, ft * h.pixelsPerMmY / 100, (fr - fl) * h.pixelsPerMmX / 100,
                       (fb - ft) * h.pixelsPerMmY / 100);
    } else {
      w = i32(16) - i32(8) + 1;
      ht = i32(20) - i32(12) + 1;
      h.frame = QRectF(double(i32(8)), double(i32(12)), double(w), double(ht));
    }
    h.firstRecord = 0;
  } else if (n > 22 && GetU32LE(p) == 0x9AC6CDD7) {
    // Placeable WMF: the bounding box in logical units and units per inch,
    // then the standard header (its size in words at offset 2).
    auto i16 = [&](size_t at) { return static_cast<int64_t>(static_cast<int16_t>(GetU16LE(p + at))); };
    const int64_t inch = GetU16LE(p + 14);
    if (inch == 0) return false;
    w = (i16(10) - i16(6)) * 96 / inch;
    ht = (i16(12) - i16(8)) * 96 / inch;
    h.frame = QRectF(double(i16(6)), double(i16(8)), double(i16(10) - i16(6)), double(i16(12) - i16(8)));
    if (n >= 40) {
      h.handles = GetU16LE(p + 22 + 10);
      h.firstRecord = 22 + size_t{GetU16LE(p + 22 + 2)} * 2;
    } else {
      h.firstRecord = n;
    }
  } else {
    return false;
  }
  if (w < 1 || ht < 1 || w > kMaxImageSide || ht > kMaxImageSide) return false;
  if (!std::isfinite(h.frame.width()) || h.frame.width() <= 0 || h.frame.height() <= 0) return false;
  h.width = static_cast<int>(w);
  h.height = static_cast<int>(ht);
  return true;
}

bool PlayMetafile(std::string_view data, const TMetaHeader& h, QPainter& painter, const QRectF& target) {
  if (target.width() <= 0 || target.height() <= 0) return true;
  // Every primitive costs its points and a sixteenth of the device area it
  // may touch: enough for many layers over the whole picture.
  const double area = std::min(target.width() * target.height(), 1e9);
  const double budget = 4 * area + double(1 << 22);
  if (h.emf) {
    QTransform toTarget = QTransform::fromTranslate(-h.frame.x(), -h.frame.y()) *
                          QTransform::fromScale(target.width() / h.frame.width(), target.height() / h.frame.height()) *
                          QTransform::fromTranslate(target.x(), target.y());
    meta::Canvas canvas(painter, h, toTarget, budget);
    return meta::PlayEmf(data, h, canvas);
  }
  // A placeable WMF: its box maps onto the target unless its records set
  // a window of their own.
  meta::Canvas canvas(painter, h, QTransform(), budget);
  canvas.s.mapMode = meta::kAnisotropic;
  canvas.s.winOrg = h.frame.topLeft();
  canvas.s.winExt = h.frame.size();
  canvas.s.vpOrg = target.topLeft();
  canvas.s.vpExt = target.size();
  return meta::PlayWmf(data, h, canvas);
}

bool DecodeMeta(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
                bool headerOnly) {
  TMetaHeader h;
  if (!ReadMetaHeader(data, h)) return false;
  params.FileType = h.emf ? TIOFileType::Emf : TIOFileType::Wmf;
  params.Width = h.width - 1;
  params.Height = h.height - 1;
  if (headerOnly) return true;
  const int w = h.width - 1, ht = h.height - 1;
  if (w < 1 || ht < 1 || int64_t(w) * ht > kMaxMetaPixels) return false;
  QImage work(w, ht, QImage::Format_ARGB32_Premultiplied);
  if (work.isNull()) return false;
  work.fill(Qt::transparent);
  bool ok;
  {
    QPainter painter(&work);
    ok = PlayMetafile(data, h, painter, QRectF(0, 0, w, ht));
  }
  if (!ok) return false;
  if (!bitmap.Allocate(w, ht, TVLPixelFormat::Rgb24, false) || !alpha.Allocate(w, ht, TVLPixelFormat::Gray8, false))
    return false;
  for (int y = 0; y < ht; ++y) {
    const auto* s = reinterpret_cast<const QRgb*>(work.constScanLine(y));
    uint8_t* d = bitmap.ScanLine(y);
    uint8_t* a = alpha.ScanLine(y);
    for (int x = 0; x < w; ++x, d += 3) {
      const QRgb c = qUnpremultiply(s[x]);
      d[0] = qRed(c), d[1] = qGreen(c), d[2] = qBlue(c);
      a[x] = static_cast<uint8_t>(qAlpha(c));
    }
  }
  alpha.UpdateFull();
  if (!alpha.Full) alpha.Clear();
  return true;
}

}  // namespace vl
