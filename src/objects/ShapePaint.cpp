#include "objects/ShapePaint.h"

#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cmath>

namespace vl {

namespace {

// Tiles 2..48, one byte a row, top row first.
constexpr uint8_t kTiles[kLastTilePattern - kFirstTilePattern + 1][8] = {
    {0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD},  // 2
    {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55},  // 3
    {0x20, 0x04, 0x90, 0x01, 0x04, 0x20, 0x88, 0x01},  // 4
    {0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF},  // 5
    {0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55},  // 6
    {0xFF, 0xFE, 0xFF, 0xFE, 0xFF, 0xFE, 0xFF, 0xAA},  // 7
    {0x77, 0x77, 0x77, 0x88, 0xDD, 0xDD, 0xDD, 0x22},  // 8
    {0xFF, 0x80, 0x80, 0x80, 0xFF, 0x08, 0x08, 0x08},  // 9
    {0x7E, 0xBD, 0xDB, 0xE7, 0xEF, 0xDF, 0xBF, 0x7F},  // 10
    {0xE7, 0xE7, 0xE7, 0xC3, 0xDB, 0xDB, 0xBD, 0x7E},  // 11
    {0xFF, 0xFF, 0xFF, 0xE7, 0xE7, 0xFF, 0xFF, 0xFF},  // 12
    {0xFE, 0x80, 0xBC, 0xB4, 0xA4, 0xBC, 0x80, 0x00},  // 13
    {0xDD, 0xAA, 0x77, 0xFF, 0xFF, 0xDD, 0xAA, 0x77},  // 14
    {0xE7, 0xDB, 0xBD, 0x7E, 0x7E, 0xBD, 0xDB, 0xE7},  // 15
    {0x1F, 0x5F, 0x5F, 0x1F, 0xF1, 0xF1, 0xF1, 0xF1},  // 16
    {0xFF, 0xFF, 0xFF, 0xEF, 0xD7, 0xBB, 0xFF, 0xFF},  // 17
    {0xBC, 0x38, 0xF1, 0xE3, 0xC7, 0x8F, 0x1C, 0x3D},  // 18
    {0xF7, 0xF7, 0xF7, 0xEF, 0x1C, 0xFB, 0xF7, 0xF7},  // 19
    {0xBD, 0x3C, 0xC3, 0xDB, 0xDB, 0xC3, 0x3C, 0xBD},  // 20
    {0xFF, 0x40, 0x9F, 0xC0, 0x77, 0x18, 0xCF, 0x10},  // 21
    {0x7C, 0xC6, 0xBA, 0xAA, 0xBA, 0xC6, 0x7D, 0x03},  // 22
    {0xFF, 0xC7, 0xBB, 0xBB, 0x01, 0x45, 0x01, 0xBB},  // 23
    {0xFF, 0xC0, 0x81, 0xC0, 0xFF, 0x18, 0x0C, 0x18},  // 24
    {0x7C, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0x7D, 0x03},  // 25
    {0x3C, 0x3C, 0xC3, 0xC3, 0xC3, 0xC3, 0x3C, 0x3C},  // 26
    {0x7E, 0xBD, 0xDB, 0xDB, 0xDB, 0xDB, 0xBD, 0x7E},  // 27
    {0x7E, 0x99, 0xBD, 0xE7, 0xE7, 0xBD, 0x99, 0x7E},  // 28
    {0xFF, 0x90, 0x88, 0x84, 0xFF, 0x48, 0x88, 0x09},  // 29
    {0x6F, 0xB7, 0xDB, 0x6D, 0xB5, 0xDB, 0xE5, 0xFE},  // 30
    {0x00, 0xC3, 0xE7, 0x66, 0x66, 0xE7, 0xC3, 0x00},  // 31
    {0xFF, 0xFF, 0xD7, 0xEF, 0xD7, 0xD7, 0xEF, 0xFF},  // 32
    {0xFF, 0x81, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0xFF},  // 33
    {0x00, 0x7F, 0x7F, 0x7F, 0x00, 0xF7, 0xF7, 0xF7},  // 34
    {0xDF, 0xAF, 0x77, 0xAF, 0xDF, 0xFF, 0xFF, 0xFF},  // 35
    {0xFD, 0xDA, 0xAD, 0xDF, 0xFB, 0xB5, 0x5B, 0xBF},  // 36
    {0xFF, 0xFF, 0xEF, 0xC7, 0x83, 0x83, 0x8B, 0xC7},  // 37
    {0xFF, 0x01, 0x01, 0x79, 0x79, 0x79, 0x79, 0x01},  // 38
    {0x82, 0xBB, 0x28, 0xEE, 0x82, 0xEE, 0x28, 0xBB},  // 39
    {0x55, 0xFE, 0xBB, 0xD6, 0xEF, 0xD6, 0xBB, 0xFE},  // 40
    {0x27, 0x27, 0xDF, 0x27, 0x27, 0xFF, 0xFF, 0xFF},  // 41
    {0xFF, 0x93, 0x01, 0x01, 0x01, 0x83, 0xC7, 0xEF},  // 42
    {0x77, 0xBB, 0xDD, 0xEE, 0xEE, 0xDD, 0xBB, 0x77},  // 43
    {0x07, 0x83, 0xC1, 0xE0, 0xEE, 0xDD, 0xBB, 0x77},  // 44
    {0x87, 0x1F, 0x3F, 0x01, 0x80, 0xFE, 0xF8, 0xE1},  // 45
    {0xFE, 0xFC, 0xF8, 0xF0, 0xE0, 0xC0, 0x80, 0x00},  // 46
    {0xFF, 0x80, 0xBE, 0xA2, 0xBA, 0x82, 0xFE, 0x00},  // 47
    {0x03, 0x79, 0x79, 0x79, 0x79, 0x01, 0x81, 0xFF},  // 48
};

}  // namespace

const uint8_t* FillTileRows(int pattern) {
  if (pattern < kFirstTilePattern || pattern > kLastTilePattern) return nullptr;
  return kTiles[pattern - kFirstTilePattern];
}

QImage FillTile(int pattern, const QColor& fill, bool transparent) {
  const uint8_t* rows = FillTileRows(pattern);
  if (!rows) return {};
  QImage tile(8, 8, QImage::Format_ARGB32_Premultiplied);
  const QRgb set = transparent ? qRgba(0, 0, 0, 0) : qRgb(255, 255, 255);
  const QRgb clear = fill.rgb() | 0xFF000000u;
  for (int y = 0; y < 8; ++y) {
    auto* line = reinterpret_cast<QRgb*>(tile.scanLine(y));
    for (int x = 0; x < 8; ++x) line[x] = (rows[y] & (0x80 >> x)) ? set : clear;
  }
  return tile;
}

QBrush ObjectFillBrush(const TVellionObj& obj) {
  const int pattern = obj.FillPattern();
  if (pattern == 1) return Qt::NoBrush;
  const QColor fill = DisplayColor(obj.FillColor);
  QImage tile = FillTile(pattern, fill, obj.Transparent());
  if (tile.isNull()) return QBrush(fill);
  return QBrush(tile);
}

void SetDashStyle(QPen& pen, int style, bool smooth) {
  QList<qreal> dashes;
  // Plain dashes are counted in pixels of a one-pixel pen; smooth ones in
  // pen widths, so they grow with the line.
  switch (style) {
    case vlpsDash: dashes = smooth ? QList<qreal>{3, 1} : QList<qreal>{18, 6}; break;
    case vlpsDot: dashes = smooth ? QList<qreal>{1, 1} : QList<qreal>{3, 3}; break;
    case vlpsDashDot: dashes = smooth ? QList<qreal>{3, 1, 1, 1} : QList<qreal>{9, 6, 3, 6}; break;
    case vlpsDashDotDot:
      dashes = smooth ? QList<qreal>{3, 1, 1, 1, 1, 1} : QList<qreal>{9, 3, 3, 3, 3, 3};
      break;
    default: pen.setStyle(Qt::SolidLine); return;
  }
  pen.setDashPattern(dashes);
}

QPen OutlinePen(const TVellionObj& obj, bool smooth) {
  const int w = obj.LineWidth();
  if (w <= 0 || obj.LineStyle == vlpsClear) return Qt::NoPen;
  QPen pen(DisplayColor(obj.LineColor));
  pen.setWidth(w);
  pen.setJoinStyle(Qt::MiterJoin);
  pen.setCapStyle(Qt::FlatCap);
  const bool dashed = obj.LineStyle <= vlpsDashDotDot && (smooth || w == 1);
  if (dashed) SetDashStyle(pen, obj.LineStyle, smooth);
  return pen;
}

void FillFrameBand(QPainter& p, const QRect& r, int width, const QColor& color) {
  if (r.isEmpty() || width <= 0) return;
  const int w = std::min(width, (std::min(r.width(), r.height()) + 1) / 2);
  p.fillRect(QRect(r.left(), r.top(), r.width(), w), color);
  p.fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), color);
  p.fillRect(QRect(r.left(), r.top() + w, w, r.height() - 2 * w), color);
  p.fillRect(QRect(r.right() - w + 1, r.top() + w, w, r.height() - 2 * w), color);
}

void Draw3DFrame(QPainter& p, const QRect& r, int width, const QColor& color, bool raised, bool smooth) {
  if (r.isEmpty() || width <= 0) return;
  const QColor white(255, 255, 255);
  const QColor topLeft = raised ? white : color;
  const QColor bottomRight = raised ? color : white;
  int l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
  const int n = std::min(width, (std::min(r.width(), r.height()) + 1) / 2);
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  for (int i = 0; i < n; ++i) {
    // One pixel rings, outermost first: bottom and right whole, top and
    // left up to the corners the other colour owns.
    p.fillRect(QRect(QPoint(l + i, b - i), QPoint(rr - i, b - i)), bottomRight);
    p.fillRect(QRect(QPoint(rr - i, t + i), QPoint(rr - i, b - i)), bottomRight);
    p.fillRect(QRect(QPoint(l + i, t + i), QPoint(l + i, b - i - (smooth ? 0 : 1))), topLeft);
    p.fillRect(QRect(QPoint(l + i, t + i), QPoint(rr - i - (smooth ? 0 : 1), t + i)), topLeft);
  }
  if (smooth) {
    // Where the two colours meet: their half-and-half blend.
    const QColor mid((white.red() + color.red()) / 2, (white.green() + color.green()) / 2,
                     (white.blue() + color.blue()) / 2);
    for (int i = 0; i < n; ++i) {
      p.fillRect(QRect(l + i, b - i, 1, 1), mid);
      p.fillRect(QRect(rr - i, t + i, 1, 1), mid);
    }
  }
  p.restore();
}

QPolygonF ArrowHead(QPointF tip, QPointF from, double length, double base) {
  double dx = tip.x() - from.x(), dy = tip.y() - from.y();
  double len = std::hypot(dx, dy);
  if (len < 1e-9) {
    dx = 1;
    dy = 0;
    len = 1;
  }
  const double ux = dx / len, uy = dy / len;  // along the line, towards the tip
  const QPointF mid(tip.x() - ux * length, tip.y() - uy * length);
  const QPointF half(-uy * base / 2, ux * base / 2);
  return QPolygonF({tip, mid + half, mid - half});
}

QRegion FrameOfRegion(const QRegion& r, int width) {
  if (width <= 0 || r.isEmpty()) return {};
  const QRegion inner = r.intersected(r.translated(width, 0))
                            .intersected(r.translated(-width, 0))
                            .intersected(r.translated(0, width))
                            .intersected(r.translated(0, -width));
  return r.subtracted(inner);
}

}  // namespace vl
