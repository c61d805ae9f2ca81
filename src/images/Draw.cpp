// Drawing pictures on a QPainter: at their own size, stretched, and blended
// with an opacity and the alpha channel.
//
// A blend needs the pixels already on the device. When the painter draws
// into a QImage without rotation or clipping we blend on its pixels with our
// own exact rule; on any other device Qt's compositing does the blend (the
// same picture, within one step of rounding).
#include <QPainter>
#include <algorithm>

#include "images/Decoders.h"
#include "images/MetaCanvas.h"

namespace vl {

const QImage& BadPictureImage() {
  // A small sheet with a folded corner and a red cross: "this picture is
  // broken". Drawn once, 24-bit.
  static const QImage img = [] {
    QImage i(32, 32, QImage::Format_RGB888);
    i.fill(qRgb(255, 255, 255));
    QPainter p(&i);
    p.setPen(QColor(128, 128, 128));
    p.drawRect(4, 2, 23, 27);
    p.drawLine(21, 2, 27, 8);
    p.drawLine(21, 2, 21, 8);
    p.drawLine(21, 8, 27, 8);
    QPen red(QColor(220, 0, 0));
    red.setWidth(3);
    p.setPen(red);
    p.drawLine(10, 12, 21, 23);
    p.drawLine(21, 12, 10, 23);
    p.end();
    return i;
  }();
  return img;
}

namespace {

// One row of the source as R, G, B bytes.
const uint8_t* SourceRow(const TVLBitmap& src, int y, std::vector<uint8_t>& tmp) {
  if (src.Format() == TVLPixelFormat::Rgb24) return src.ScanLine(y);
  const int w = src.Width();
  tmp.resize(size_t(w) * 3);
  const QImage& img = src.Image();
  if (src.Format() == TVLPixelFormat::Mono) {
    const QRgb c0 = img.color(0), c1 = img.colorCount() > 1 ? img.color(1) : qRgb(255, 255, 255);
    const uint8_t* s = src.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      QRgb c = (s[x >> 3] >> (7 - (x & 7))) & 1 ? c1 : c0;
      tmp[3 * x] = qRed(c);
      tmp[3 * x + 1] = qGreen(c);
      tmp[3 * x + 2] = qBlue(c);
    }
  } else {
    const uint8_t* s = src.ScanLine(y);
    for (int x = 0; x < w; ++x) tmp[3 * x] = tmp[3 * x + 1] = tmp[3 * x + 2] = s[x];
  }
  return tmp.data();
}

inline uint8_t Mix(int dst, int src, int w) {
  int v = dst + ((w * (src - dst)) >> 8);  // arithmetic shift: floor
  return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// The painter's device as a QImage we may blend on, and the offset of its
// coordinates, or null.
QImage* BlendTarget(QPainter& painter, QPoint& offset) {
  QPaintDevice* dev = painter.device();
  if (!dev || dev->devType() != QInternal::Image || painter.hasClipping()) return nullptr;
  const QTransform& t = painter.deviceTransform();
  if (t.type() > QTransform::TxTranslate) return nullptr;
  auto* img = static_cast<QImage*>(dev);
  switch (img->format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGB888:
      break;
    default:
      return nullptr;
  }
  if (img->devicePixelRatio() != 1.0) return nullptr;
  offset = QPoint(qRound(t.dx()), qRound(t.dy()));
  return img;
}

// The picture with its effective alpha (min(opacity, alpha)) as ARGB32, for
// devices we cannot read back.
QImage WithAlpha(const TVLBitmap& src, const TVLBitmap* alpha, int opacity) {
  QImage out(src.Width(), src.Height(), QImage::Format_ARGB32);
  if (out.isNull()) return out;
  std::vector<uint8_t> tmp;
  for (int y = 0; y < src.Height(); ++y) {
    const uint8_t* s = SourceRow(src, y, tmp);
    const uint8_t* a = alpha ? alpha->ScanLine(y) : nullptr;
    auto* d = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < src.Width(); ++x) {
      int w = a ? std::min<int>(opacity, a[x]) : opacity;
      d[x] = qRgba(s[3 * x], s[3 * x + 1], s[3 * x + 2], w);
    }
  }
  return out;
}

void BlendAt(QPainter& painter, const TVLBitmap& src, const TVLBitmap* alpha, int opacity, QPoint at) {
  QPoint offset;
  if (QImage* img = BlendTarget(painter, offset)) {
    BlendInto(*img, at + offset, src, alpha, opacity);
    return;
  }
  painter.drawImage(at, WithAlpha(src, alpha, opacity));
}

int ClampOpacity(int opacity) { return std::clamp(opacity, 0, kOpaqueNoAlpha); }

}  // namespace

void BlendInto(QImage& dst, QPoint at, const TVLBitmap& src, const TVLBitmap* alpha, int opacity) {
  if (src.IsNull()) return;
  opacity = std::clamp(opacity, 0, 255);
  if (alpha && (alpha->Width() != src.Width() || alpha->Height() != src.Height())) alpha = nullptr;
  const QRect area = QRect(at, QSize(src.Width(), src.Height())).intersected(dst.rect());
  if (area.isEmpty()) return;
  const bool rgb888 = dst.format() == QImage::Format_RGB888;
  if (!rgb888 && dst.depth() != 32) return;
  std::vector<uint8_t> tmp;
  std::vector<uint8_t> constAlpha;
  if (!alpha) constAlpha.assign(size_t(src.Width()), static_cast<uint8_t>(opacity));
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const int sy = y - at.y();
    const uint8_t* s = SourceRow(src, sy, tmp);
    const uint8_t* a = alpha ? alpha->ScanLine(sy) : constAlpha.data();
    uint8_t* d = dst.scanLine(y);
    for (int x = area.left(); x <= area.right(); ++x) {
      const int sx = x - at.x();
      const int w = std::min<int>(opacity, a[sx]);
      if (w == 0) continue;
      const uint8_t* sp = s + 3 * sx;
      if (rgb888) {
        uint8_t* dp = d + 3 * x;
        dp[0] = Mix(dp[0], sp[0], w);
        dp[1] = Mix(dp[1], sp[1], w);
        dp[2] = Mix(dp[2], sp[2], w);
      } else {
        auto* dp = reinterpret_cast<QRgb*>(d) + x;
        QRgb c = *dp;
        *dp = qRgba(Mix(qRed(c), sp[0], w), Mix(qGreen(c), sp[1], w), Mix(qBlue(c), sp[2], w), qAlpha(c));
      }
    }
  }
}

void TVLImageView::PlayMeta(QPainter& painter, const QRect& rect) const {
  if (!meta_.data || rect.width() <= 0 || rect.height() <= 0) return;
  try {
    TMetaHeader header;
    if (ReadMetaHeader(*meta_.data, header)) PlayMetafile(*meta_.data, header, painter, QRectF(rect));
  } catch (const std::exception&) {
  }
}

void TVLImageView::Draw(QPainter& painter, int opacity, int left, int top) const {
  // A metafile plays its records, at its size less one, whatever the opacity.
  if (isMeta_) return PlayMeta(painter, QRect(left, top, meta_.width - 1, meta_.height - 1));
  if (bitmap_.IsNull()) return;
  try {
    opacity = ClampOpacity(opacity);
    const TVLBitmap* a = AlphaChannel();
    if (opacity < 255 || (a && opacity != kOpaqueNoAlpha)) {
      BlendAt(painter, bitmap_, opacity == kOpaqueNoAlpha ? nullptr : a, std::min(opacity, 255),
              QPoint(left, top));
      return;
    }
    painter.drawImage(QPoint(left, top), bitmap_.Image());
  } catch (const std::exception&) {
    // Drawing never fails the caller; a picture that cannot be drawn is not.
  }
}

void TVLImageView::StretchDraw(QPainter& painter, bool smooth, int opacity, const QRect& rect) const {
  if (isMeta_) return PlayMeta(painter, rect);
  if (bitmap_.IsNull() || rect.width() <= 0 || rect.height() <= 0) return;
  const QSize own(bitmap_.Width(), bitmap_.Height());
  // The bad picture is never stretched.
  if (badImage_ || rect.size() == own) {
    Draw(painter, opacity, rect.left(), rect.top());
    return;
  }
  try {
    opacity = ClampOpacity(opacity);
    const TVLBitmap* a = AlphaChannel();
    const Qt::TransformationMode mode = smooth ? Qt::SmoothTransformation : Qt::FastTransformation;
    const bool blend = opacity < 255 || (a && opacity != kOpaqueNoAlpha);
    if (blend && ImageSizeAllowed(rect.width(), rect.height(), 32)) {
      TVLBitmap scaled, scaledAlpha;
      scaled.Assign(bitmap_.Image().scaled(rect.size(), Qt::IgnoreAspectRatio, mode));
      const bool useAlpha = a && opacity != kOpaqueNoAlpha;
      if (useAlpha)
        scaledAlpha.Assign(a->Image().scaled(rect.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
      if (scaled.IsNull()) return;
      BlendAt(painter, scaled, useAlpha && !scaledAlpha.IsNull() ? &scaledAlpha : nullptr,
              std::min(opacity, 255), rect.topLeft());
      return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    if (blend) {
      // A target too large for a scaled copy: Qt transforms while it draws.
      painter.setOpacity(std::min(opacity, 255) / 255.0);
      painter.drawImage(rect, a && opacity != kOpaqueNoAlpha ? WithAlpha(bitmap_, a, 255) : bitmap_.Image());
    } else {
      painter.drawImage(rect, bitmap_.Image());
    }
    painter.restore();
  } catch (const std::exception&) {
  }
}

bool TVLImageView::CopyToBitmap(int width, int height, TVLBitmap& out) const {
  if (bitmap_.IsNull() || width <= 0 || height <= 0 || !ImageSizeAllowed(width, height, 24)) return false;
  const QSize size(width, height);
  QImage scaled = bitmap_.Image().size() == size
                      ? bitmap_.Image().copy()
                      : bitmap_.Image().scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  if (scaled.isNull()) return false;
  if (const TVLBitmap* a = AlphaChannel(); a && bitmap_.Format() != TVLPixelFormat::Mono) {
    // Drawn with opacity 255 onto a fresh (black) bitmap: the alpha applies.
    TVLBitmap src, srcAlpha;
    src.Assign(scaled);
    srcAlpha.Assign(a->Image().scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    if (!out.Allocate(width, height, TVLPixelFormat::Rgb24)) return false;
    BlendInto(out.Image(), QPoint(0, 0), src, srcAlpha.IsNull() ? nullptr : &srcAlpha, 255);
    return true;
  }
  out.Assign(scaled);
  return !out.IsNull();
}

}  // namespace vl
