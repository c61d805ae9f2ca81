// The device-context state and drawing of the metafile player.
#include <QCoreApplication>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <string>

#include "images/Decoders.h"
#include "images/MetaCanvas.h"

namespace vl {
namespace meta {

namespace {

// Beyond this distance from the origin Qt's rasterizer loses precision; no
// picture we show needs coordinates that far out.
constexpr double kCoordLimit = double(1 << 22);
constexpr size_t kMaxSavedStates = 256;

bool Finite(const QTransform& t) {
  for (double v : {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()})
    if (!std::isfinite(v) || std::abs(v) > 1e9) return false;
  return true;
}

bool BoundsSane(const QRectF& r) {
  return std::isfinite(r.left()) && std::isfinite(r.top()) && std::isfinite(r.right()) &&
         std::isfinite(r.bottom()) && std::abs(r.left()) < kCoordLimit && std::abs(r.right()) < kCoordLimit &&
         std::abs(r.top()) < kCoordLimit && std::abs(r.bottom()) < kCoordLimit;
}

Object StockObject(uint32_t stock) {
  Object o;
  auto brush = [&](QColor c, bool null = false) {
    o.kind = Object::Kind::Brush;
    o.brush.colour = c;
    o.brush.null = null;
  };
  auto pen = [&](QColor c, bool null = false) {
    o.kind = Object::Kind::Pen;
    o.pen.colour = c;
    o.pen.null = null;
  };
  switch (stock) {
    case 0: brush(Qt::white); break;
    case 1: brush(QColor(0xC0, 0xC0, 0xC0)); break;
    case 2: brush(QColor(0x80, 0x80, 0x80)); break;
    case 3: brush(QColor(0x40, 0x40, 0x40)); break;
    case 4: brush(Qt::black); break;
    case 5: brush(Qt::black, true); break;
    case 6: pen(Qt::white); break;
    case 7: pen(Qt::black); break;
    case 8: pen(Qt::black, true); break;
    case 18: brush(Qt::white); break;  // DC brush
    case 19: pen(Qt::black); break;    // DC pen
    default:
      if (stock >= 10 && stock <= 17) o.kind = Object::Kind::Font;  // the system fonts
      break;
  }
  return o;
}

}  // namespace

Qt::PenStyle PenStyle(uint32_t style) {
  switch (style & 0x0F) {
    case 1: return Qt::DashLine;
    case 2: return Qt::DotLine;
    case 3: return Qt::DashDotLine;
    case 4: return Qt::DashDotDotLine;
    case 5: return Qt::NoPen;
    default: return Qt::SolidLine;
  }
}

Brush MakeBrush(uint32_t style, uint32_t colour, uint32_t hatch) {
  Brush b;
  b.colour = ColorRef(colour);
  b.null = style == 1;
  if (style == 2) b.hatch = static_cast<int>(std::min<uint32_t>(hatch, 5));
  return b;
}

Canvas::Canvas(QPainter& painter, const TMetaHeader& header, const QTransform& deviceToTarget, double budget)
    : painter_(painter), header_(header), deviceToTarget_(deviceToTarget), budget_(budget) {
  objects_.resize(std::min<uint32_t>(header.handles, 65535));
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, false);
  base_ = painter_.transform();  // the caller's own, under ours
}

Canvas::~Canvas() { painter_.restore(); }

QTransform Canvas::Transform() const {
  // Page space to device space by the map mode.
  double sx = 1, sy = 1;
  switch (s.mapMode) {
    case kLoMetric: sx = header_.pixelsPerMmX / 10, sy = -header_.pixelsPerMmY / 10; break;
    case kHiMetric: sx = header_.pixelsPerMmX / 100, sy = -header_.pixelsPerMmY / 100; break;
    case kLoEnglish: sx = header_.pixelsPerMmX * 0.254, sy = -header_.pixelsPerMmY * 0.254; break;
    case kHiEnglish: sx = header_.pixelsPerMmX * 0.0254, sy = -header_.pixelsPerMmY * 0.0254; break;
    case kTwips: sx = header_.pixelsPerMmX * 25.4 / 1440, sy = -header_.pixelsPerMmY * 25.4 / 1440; break;
    case kIsotropic:
    case kAnisotropic:
      sx = s.vpExt.width() / s.winExt.width();
      sy = s.vpExt.height() / s.winExt.height();
      if (s.mapMode == kIsotropic) {
        const double m = std::min(std::abs(sx), std::abs(sy));
        sx = std::copysign(m, sx);
        sy = std::copysign(m, sy);
      }
      break;
    default: break;
  }
  QTransform page(sx, 0, 0, sy, s.vpOrg.x() - s.winOrg.x() * sx, s.vpOrg.y() - s.winOrg.y() * sy);
  return s.world * page * deviceToTarget_;
}

bool Canvas::TransformSane() const {
  const QTransform t = Transform();
  return Finite(t) && t.isInvertible();
}

bool Canvas::Charge(double points, const QRectF& deviceBounds) {
  if (budget_ <= 0) return false;
  const QRectF onDevice = deviceBounds.intersected(QRectF(painter_.viewport()));
  budget_ -= points + std::max(0.0, onDevice.width() + 1) * std::max(0.0, onDevice.height() + 1) / 16;
  return budget_ > 0;
}

void Canvas::StoreAt(uint32_t index, const Object& object) {
  if (index < objects_.size()) objects_[index] = object;
}

void Canvas::StoreFree(const Object& object) {
  for (Object& o : objects_)
    if (o.kind == Object::Kind::Free) {
      o = object;
      if (o.kind == Object::Kind::Free) o.kind = Object::Kind::Other;
      return;
    }
}

void Canvas::Select(uint32_t index) {
  const Object* o = nullptr;
  Object stock;
  if (index & 0x80000000u) {
    stock = StockObject(index & 0x7FFFFFFFu);
    o = &stock;
  } else if (index < objects_.size()) {
    o = &objects_[index];
  }
  if (!o) return;
  switch (o->kind) {
    case Object::Kind::Pen: s.pen = o->pen; break;
    case Object::Kind::Brush: s.brush = o->brush; break;
    case Object::Kind::Font: s.font = o->font; break;
    default: break;
  }
}

void Canvas::Delete(uint32_t index) {
  // What is selected stays in use until something else is selected, as it
  // does on a device.
  if (index < objects_.size()) objects_[index] = Object();
}

void Canvas::Save() {
  if (saved_.size() < kMaxSavedStates) saved_.push_back(s);
}

void Canvas::Restore(int relative) {
  if (saved_.empty()) return;
  size_t keep;
  if (relative < 0) {
    const size_t pop = static_cast<size_t>(-static_cast<int64_t>(relative));
    if (pop > saved_.size()) return;
    keep = saved_.size() - pop;
  } else {
    if (relative == 0 || static_cast<size_t>(relative) > saved_.size()) return;
    keep = static_cast<size_t>(relative) - 1;
  }
  s = saved_[keep];
  saved_.resize(keep);
}

QPen Canvas::DevicePen() const {
  if (s.pen.null || s.pen.style == Qt::NoPen) return Qt::NoPen;
  const QTransform t = Transform();
  double width = s.pen.width * std::sqrt(std::abs(t.determinant()));
  // Styled lines exist only one pixel wide; wider pens draw solid.
  Qt::PenStyle style = width > 1.5 ? Qt::SolidLine : s.pen.style;
  QPen pen(s.pen.colour, width > 1.5 ? width : 0, style, Qt::RoundCap, Qt::RoundJoin);
  return pen;
}

QBrush Canvas::DeviceBrush() const {
  if (s.brush.null) return Qt::NoBrush;
  static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                           Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
  if (s.brush.hatch >= 0) return QBrush(s.brush.colour, hatches[s.brush.hatch]);
  return QBrush(s.brush.colour);
}

void Canvas::Shape(const QPainterPath& path, bool fill, bool stroke) {
  if (recording_) {
    if (Charge(path.elementCount(), QRectF())) path_.addPath(path);
    return;
  }
  if (!TransformSane()) return;
  const QPainterPath device = Transform().map(path);
  const QRectF bounds = device.boundingRect();
  if (!BoundsSane(bounds)) return;
  const QPen pen = stroke ? DevicePen() : QPen(Qt::NoPen);
  if (!Charge(path.elementCount(), bounds.adjusted(-pen.widthF(), -pen.widthF(), pen.widthF(), pen.widthF())))
    return;
  painter_.save();
  painter_.setTransform(base_);
  if (fill && !s.brush.null) {
    if (s.brush.hatch >= 0) {
      painter_.setBackgroundMode(s.bkOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
      painter_.setBackground(s.bkColour);
    }
    QPainterPath filled = device;
    filled.setFillRule(s.fillRule);
    painter_.fillPath(filled, DeviceBrush());
  }
  if (pen.style() != Qt::NoPen) painter_.strokePath(device, pen);
  painter_.restore();
}

void Canvas::Polyline(const std::vector<QPointF>& points, bool fromCurrent) {
  if (points.empty()) return;
  if (recording_) {
    if (!fromCurrent) path_.moveTo(points[0]);
    else if (path_.elementCount() == 0) path_.moveTo(s.position);
    for (size_t i = fromCurrent ? 0 : 1; i < points.size(); ++i) path_.lineTo(points[i]);
    if (fromCurrent) s.position = points.back();
    return;
  }
  QPainterPath path(fromCurrent ? s.position : points[0]);
  for (size_t i = fromCurrent ? 0 : 1; i < points.size(); ++i) path.lineTo(points[i]);
  if (fromCurrent) s.position = points.back();
  if (path.elementCount() >= 2) Shape(path, false, true);
}

void Canvas::Bezier(const std::vector<QPointF>& points, bool fromCurrent) {
  size_t i = fromCurrent ? 0 : 1;
  if (points.size() < i + 3) return;
  QPainterPath own(fromCurrent ? s.position : points[0]);
  QPainterPath& path = recording_ ? path_ : own;
  if (recording_) {
    if (!fromCurrent) path_.moveTo(points[0]);
    else if (path_.elementCount() == 0) path_.moveTo(s.position);
  }
  for (; i + 3 <= points.size(); i += 3) path.cubicTo(points[i], points[i + 1], points[i + 2]);
  if (fromCurrent) s.position = path.currentPosition();
  if (!recording_) Shape(path, false, true);
}

void Canvas::MoveTo(QPointF to) {
  s.position = to;
  if (recording_) path_.moveTo(to);
}

void Canvas::BeginPath() {
  path_ = QPainterPath();
  recording_ = true;
}

void Canvas::CloseFigure() {
  if (recording_) path_.closeSubpath();
}

void Canvas::FinishPath(bool fill, bool stroke) {
  recording_ = false;
  QPainterPath path = path_;
  path_ = QPainterPath();
  if (path.isEmpty()) return;
  // A filled path closes its open figures.
  Shape(path, fill, stroke);
}

void Canvas::AbortPath() {
  recording_ = false;
  path_ = QPainterPath();
}

void Canvas::Polygon(const std::vector<QPointF>& points) { PolyPolygon({points}); }

void Canvas::PolyPolygon(const std::vector<std::vector<QPointF>>& polygons) {
  QPainterPath path;
  for (const auto& points : polygons) {
    if (points.size() < 2) continue;
    path.moveTo(points[0]);
    for (size_t i = 1; i < points.size(); ++i) path.lineTo(points[i]);
    path.closeSubpath();
  }
  if (!path.isEmpty()) Shape(path, true, true);
}

void Canvas::LineTo(QPointF to) {
  if (recording_) {
    if (path_.elementCount() == 0) path_.moveTo(s.position);
    path_.lineTo(to);
    s.position = to;
    return;
  }
  QPainterPath path(s.position);
  path.lineTo(to);
  s.position = to;
  Shape(path, false, true);
}

void Canvas::Rectangle(QRectF r) {
  QPainterPath path;
  path.addRect(r.normalized());
  Shape(path, true, true);
}

void Canvas::RoundRect(QRectF r, QSizeF corner) {
  QPainterPath path;
  path.addRoundedRect(r.normalized(), std::abs(corner.width()) / 2, std::abs(corner.height()) / 2);
  Shape(path, true, true);
}

void Canvas::Ellipse(QRectF r) {
  QPainterPath path;
  path.addEllipse(r.normalized());
  Shape(path, true, true);
}

void Canvas::Arc(QRectF r, QPointF start, QPointF end, ArcKind kind) {
  r = r.normalized();
  if (r.width() <= 0 || r.height() <= 0) return;
  const QPointF c = r.center();
  const double rx = r.width() / 2, ry = r.height() / 2;
  // The points name radial lines from the centre; Qt's angles run
  // counter-clockwise on the screen, as the default arc direction does.
  auto angle = [&](QPointF p) { return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180 / M_PI; };
  const double a0 = angle(start);
  double sweep = angle(end) - a0;
  while (sweep <= 0) sweep += 360;
  QPainterPath path;
  if (kind == ArcKind::Pie) {
    path.moveTo(c);
    path.arcTo(r, a0, sweep);
    path.closeSubpath();
  } else {
    path.arcMoveTo(r, a0);
    path.arcTo(r, a0, sweep);
    if (kind == ArcKind::Chord) path.closeSubpath();
  }
  Shape(path, kind != ArcKind::Arc, true);
}

void Canvas::SetPixel(QPointF at, QColor colour) {
  if (!TransformSane()) return;
  const QPointF p = Transform().map(at);
  if (!BoundsSane(QRectF(p, QSizeF(1, 1))) || !Charge(1, QRectF())) return;
  painter_.save();
  painter_.setTransform(base_);
  painter_.fillRect(QRectF(std::floor(p.x()), std::floor(p.y()), 1, 1), colour);
  painter_.restore();
}

namespace {
// The Qt composition for the common raster operations with a source.
QPainter::CompositionMode SourceMode(uint32_t rop) {
  switch (rop >> 16) {
    case 0x88: return QPainter::RasterOp_SourceAndDestination;  // SRCAND
    case 0xEE: return QPainter::RasterOp_SourceOrDestination;   // SRCPAINT
    case 0x66: return QPainter::RasterOp_SourceXorDestination;  // SRCINVERT
    default: return QPainter::CompositionMode_SourceOver;       // SRCCOPY and the rest
  }
}
}  // namespace

void Canvas::Dib(std::string_view info, std::string_view bits, QRectF dest, QRectF src, uint32_t rop) {
  if (info.size() < 12 || !TransformSane()) return;
  const QRectF bounds = Transform().mapRect(dest.normalized());
  if (!BoundsSane(bounds)) return;
  // The bitmap's own size goes to the budget before it is decoded.
  const auto* h = reinterpret_cast<const unsigned char*>(info.data());
  const uint32_t headerSize = GetU32LE(h);
  double w = 0, ht = 0;
  bool bottomUp = true;
  if (headerSize == 12) {
    w = GetU16LE(h + 4), ht = GetU16LE(h + 6);
  } else if (info.size() >= 16) {
    const int32_t sh = static_cast<int32_t>(GetU32LE(h + 8));
    w = static_cast<int32_t>(GetU32LE(h + 4));
    ht = std::abs(static_cast<double>(sh));
    bottomUp = sh > 0;
  }
  if (w <= 0 || ht <= 0 || !Charge(w * ht / 16, bounds)) return;
  std::string file = "BM";
  file.resize(14, '\0');
  const uint32_t total = static_cast<uint32_t>(14 + info.size() + bits.size());
  const uint32_t offset = static_cast<uint32_t>(14 + info.size());
  for (int i = 0; i < 4; ++i) {
    file[2 + i] = char(total >> (8 * i));
    file[10 + i] = char(offset >> (8 * i));
  }
  file.append(info);
  file.append(bits);
  TIOParamsVals params;
  TVLBitmap bitmap, alpha;
  if (!DecodeBmp(file, params, bitmap, alpha, false)) return;
  QImage image = bitmap.Image();
  src = src.normalized();
  if (src.isEmpty()) src = QRectF(0, 0, image.width(), image.height());
  // Source rows count from the bottom of a bottom-up bitmap.
  if (bottomUp) src.moveTop(image.height() - src.top() - src.height());
  const bool mirrorX = dest.width() < 0, mirrorY = dest.height() < 0;
  if (mirrorX || mirrorY) {
    image = image.mirrored(mirrorX, mirrorY);
    if (mirrorX) src.moveLeft(image.width() - src.left() - src.width());
    if (mirrorY) src.moveTop(image.height() - src.top() - src.height());
  }
  painter_.save();
  painter_.setTransform(Transform() * base_);
  painter_.setCompositionMode(SourceMode(rop));
  painter_.drawImage(dest.normalized(), image, src);
  painter_.restore();
}

void Canvas::PatBlt(QRectF dest, uint32_t rop) {
  if (!TransformSane()) return;
  const QRectF bounds = Transform().mapRect(dest.normalized());
  if (!BoundsSane(bounds) || !Charge(4, bounds)) return;
  QBrush brush;
  switch (rop) {
    case 0x00000042: brush = QBrush(Qt::black); break;  // BLACKNESS
    case 0x00FF0062: brush = QBrush(Qt::white); break;  // WHITENESS
    case 0x00F00021: brush = DeviceBrush(); break;      // PATCOPY
    default: return;
  }
  painter_.save();
  painter_.setTransform(base_);
  painter_.fillRect(bounds, brush);
  painter_.restore();
}

void Canvas::Text(QPointF at, const QString& text, bool useCurrentPosition) {
  // Fonts need a GUI application; the command-line tools have none.
  QCoreApplication* app = QCoreApplication::instance();
  if (text.isEmpty() || !app || !app->inherits("QGuiApplication") || !TransformSane()) return;
  if (useCurrentPosition || (s.textAlign & kTaUpdateCp)) at = s.position;
  const QTransform t = Transform();
  const QPointF p = t.map(at);
  const double scale = std::sqrt(std::abs(t.determinant()));
  double px = std::abs(s.font.height) * scale;
  if (px < 1) px = 12;  // height 0: the default size
  if (s.font.height > 0) px *= 0.8;  // a cell height holds the internal leading too
  if (px > 2048 || !BoundsSane(QRectF(p, QSizeF(1, 1)))) return;
  QFont font(s.font.face.isEmpty() ? QStringLiteral("Sans Serif") : s.font.face);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
  font.setWeight(static_cast<QFont::Weight>(std::clamp(s.font.weight, 100, 900)));
  font.setItalic(s.font.italic);
  font.setUnderline(s.font.underline);
  font.setStrikeOut(s.font.strikeOut);
  const QFontMetricsF metrics(font);
  const double width = metrics.horizontalAdvance(text);
  if (!Charge(text.size(), QRectF(p, QSizeF(width, px)).adjusted(-width, -px, 0, 0))) return;
  double dx = 0, dy = metrics.ascent();
  if ((s.textAlign & kTaCenter) == kTaCenter) dx = -width / 2;
  else if (s.textAlign & kTaRight) dx = -width;
  if ((s.textAlign & kTaBaseline) == kTaBaseline) dy = 0;
  else if (s.textAlign & kTaBottom) dy = -metrics.descent();
  painter_.save();
  painter_.setTransform(base_);
  painter_.translate(p);
  if (s.font.escapement != 0) painter_.rotate(-s.font.escapement / 10);
  if (s.bkOpaque)
    painter_.fillRect(QRectF(dx, dy - metrics.ascent(), width, metrics.height()), s.bkColour);
  painter_.setFont(font);
  painter_.setPen(s.textColour);
  painter_.drawText(QPointF(dx, dy), text);
  painter_.restore();
  if (s.textAlign & kTaUpdateCp) s.position = t.inverted().map(p + QPointF(width, 0));
}

}  // namespace meta
}  // namespace vl
