#include "windows/DialogPictures.h"

#include <QPainter>
#include <QPainterPath>

namespace vl {
namespace {

QImage Blank() {
  QImage img(32, 32, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

void Mark(QPainter& p, const QRect& box, const QString& text, const QColor& colour, int pixels) {
  QFont f(QStringLiteral("Liberation Sans"));
  f.setPixelSize(pixels);
  f.setBold(true);
  p.setFont(f);
  p.setPen(colour);
  p.drawText(box, Qt::AlignCenter, text);
}

}  // namespace

QImage StandardIconImage(StandardIcon which, bool manyColors) {
  QImage img = Blank();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, manyColors);
  p.setRenderHint(QPainter::TextAntialiasing, manyColors);
  // The 16-colour versions use only the colours of the standard palette.
  if (which == StandardIcon::Alert) {
    QPainterPath tri;
    tri.moveTo(16, 2);
    tri.lineTo(30, 29);
    tri.lineTo(2, 29);
    tri.closeSubpath();
    p.setPen(QPen(manyColors ? QColor(120, 90, 0) : QColor(128, 128, 0), 1.5));
    p.setBrush(manyColors ? QColor(255, 204, 0) : QColor(255, 255, 0));
    p.drawPath(tri);
    Mark(p, QRect(0, 8, 32, 22), QStringLiteral("!"), Qt::black, 20);
  } else {
    p.setPen(QPen(manyColors ? QColor(20, 60, 140) : QColor(0, 0, 128), 1.5));
    p.setBrush(manyColors ? QColor(60, 120, 220) : QColor(0, 0, 255));
    p.drawEllipse(QRectF(2, 2, 28, 28));
    Mark(p, QRect(0, 2, 32, 28), QStringLiteral("?"), Qt::white, 22);
  }
  return img;
}

QImage PadlockImage() {
  QImage img = Blank();
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(90, 90, 100), 3));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(9, 3, 14, 18), 0, 180 * 16);
  p.drawLine(QPointF(9, 12), QPointF(9, 15));
  p.drawLine(QPointF(23, 12), QPointF(23, 15));
  p.setPen(QPen(QColor(120, 80, 0), 1));
  p.setBrush(QColor(230, 180, 40));
  p.drawRoundedRect(QRectF(5, 14, 22, 16), 2, 2);
  p.setBrush(QColor(60, 40, 0));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QRectF(14, 18, 4, 4));
  p.drawRect(QRectF(15, 21, 2, 5));
  return img;
}

}  // namespace vl
