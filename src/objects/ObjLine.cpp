#include "objects/ObjLine.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "objects/PageObjects.h"
#include "objects/ShapePaint.h"

namespace vl {

namespace {

QPoint ClampPoint(QPoint p) {
  auto c = [](int v) { return std::clamp(v, -kMaxObjectCoordinate, kMaxObjectCoordinate); };
  return QPoint(c(p.x()), c(p.y()));
}

// The pixels a filled triangle covers: the box of its corners.
QRect CoveredBox(const QPolygonF& poly) {
  const QRectF b = poly.boundingRect();
  const int l = static_cast<int>(std::floor(b.left())), t = static_cast<int>(std::floor(b.top()));
  const int r = static_cast<int>(std::ceil(b.right())), bt = static_cast<int>(std::ceil(b.bottom()));
  return QRect(l, t, r - l, bt - t);
}

// The middle of an arrow head's base, where the line meets it.
QPointF BaseMiddle(const QPolygonF& arrow) { return (arrow[1] + arrow[2]) / 2; }

}  // namespace

TVellionLine::TVellionLine(QWidget* owner, int objType) : TVellionObj(owner, objType) {
  SetFixedTransparency(true);
}

int TVellionLine::ArrowLength() const { return 4 * (std::max(LineWidth(), 1) + 1); }

void TVellionLine::SetPoints(QPoint start, QPoint end) {
  start_ = ClampPoint(start);
  end_ = ClampPoint(end);
  havePoints_ = true;
  Relocate();
}

void TVellionLine::SetCaps(TLineCapTypes startCap, TLineCapTypes endCap) {
  StartCap = startCap;
  EndCap = endCap;
  if (havePoints_) Relocate();
  update();
}

void TVellionLine::Relocate() {
  const int w = LineWidth();
  // Half the pen, rounded up: an odd width fits whole.
  const int a = std::max(1, (w + 1) / 2);
  const int minX = std::min(start_.x(), end_.x()), maxX = std::max(start_.x(), end_.x());
  const int minY = std::min(start_.y(), end_.y()), maxY = std::max(start_.y(), end_.y());
  QRect box;
  if (w <= 1 && start_.y() == end_.y())
    box = QRect(minX, minY, maxX - minX, 2 * a);  // a thin horizontal line hangs below its y
  else if (w <= 1 && start_.x() == end_.x())
    box = QRect(minX, minY, 2 * a, maxY - minY);  // and a thin vertical one right of its x
  else
    box = QRect(minX - a, minY - a, maxX - minX + 2 * a, maxY - minY + 2 * a);
  const double len = ArrowLength();
  if (StartCap == lc_Arrow) box |= CoveredBox(ArrowHead(start_, end_, len, len));
  if (EndCap == lc_Arrow) box |= CoveredBox(ArrowHead(end_, start_, len, len));
  setGeometry(box);
  update();
}

void TVellionLine::SetLineBounds(const QRect& r) {
  const int lw = LineWidth();
  const QPoint rel = start_ - pos();
  const bool startLeft = rel.x() < width() / 2.0;
  const bool startTop = rel.y() < height() / 2.0;
  const int left = r.left() + lw, right = r.left() + r.width() - lw;
  const int top = r.top() + lw, bottom = r.top() + r.height() - lw;
  SetPoints(QPoint(startLeft ? left : right, startTop ? top : bottom),
            QPoint(startLeft ? right : left, startTop ? bottom : top));
}

bool TVellionLine::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  const int n = key.number;
  switch (key.id) {
    case TPubKey::X1: readStart_.setX(n + ctx.offset.x()); return true;
    case TPubKey::Y1: readStart_.setY(n + ctx.offset.y()); return true;
    case TPubKey::X2: readEnd_.setX(n + ctx.offset.x()); return true;
    case TPubKey::Y2:
      // The second point's y completes the pair: the record lists it last.
      readEnd_.setY(n + ctx.offset.y());
      SetPoints(readStart_, readEnd_);
      return true;
    case TPubKey::EndCaps:
      SetCaps((n & 0x1) ? lc_Arrow : lc_None, (n & 0x200) ? lc_Arrow : lc_None);
      return true;
    default: return TVellionObj::ApplyKey(key, ctx);
  }
}

void TVellionLine::Loaded() {
  // X=, Y=, W= and H= after the points must not undo their window.
  if (havePoints_) Relocate();
}

void TVellionLine::LineChanged() {
  if (havePoints_) Relocate();
}

void TVellionLine::DrawShape(QPainter& p) {
  const QPointF s = start_ - pos(), e = end_ - pos();
  const QColor color = DisplayColor(LineColor);
  const int w = LineWidth();
  const bool smooth = UseSmoothRenderer();
  const bool arrows = StartCap == lc_Arrow || EndCap == lc_Arrow;
  QPen pen(color);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  double len;
  if (smooth) {
    const bool slanted = s.x() != e.x() && s.y() != e.y();
    p.setRenderHint(QPainter::Antialiasing, slanted || arrows);
    pen.setWidth(std::max(w, 1));
    if (LineStyle <= vlpsDashDotDot) SetDashStyle(pen, LineStyle, true);
    len = 4.0 * std::max(w, 1);  // caps of four pen widths
  } else {
    p.setRenderHint(QPainter::Antialiasing, false);
    if (w < 2) {
      pen.setWidth(1);
      if (LineStyle <= vlpsDashDotDot) SetDashStyle(pen, LineStyle, false);
    } else {
      pen.setWidth(w);
    }
    len = ArrowLength();
  }
  QPolygonF startArrow, endArrow;
  QPointF from = s, to = e;
  if (StartCap == lc_Arrow) {
    startArrow = ArrowHead(s, e, len, len);
    from = BaseMiddle(startArrow);
  }
  if (EndCap == lc_Arrow) {
    endArrow = ArrowHead(e, s, len, len);
    to = BaseMiddle(endArrow);
  }
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawLine(from, to);
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  if (!startArrow.isEmpty()) p.drawPolygon(startArrow);
  if (!endArrow.isEmpty()) p.drawPolygon(endArrow);
}

VL_REGISTER_OBJECT(7, TVellionLine);

}  // namespace vl
