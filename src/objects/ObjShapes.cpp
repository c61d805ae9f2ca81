// The filled shapes: rectangle, rounded rectangle and ellipse, each drawn by
// the smooth renderer (antialiased) or the plain one.
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "objects/PageObjects.h"
#include "objects/ShapePaint.h"

namespace vl {

namespace {

// The fill of a plain figure: a tile is laid over the whole area first and
// the figure then only gets its outline, as a tile brush cannot follow the
// figure's own edge without antialiasing the look away.
void PlainTileUnder(QPainter& p, const QRect& area, QBrush& brush) {
  if (brush.style() != Qt::TexturePattern) return;
  p.fillRect(area, brush);
  brush = Qt::NoBrush;
}

}  // namespace

class TVellionRect : public TVellionObj {
 public:
  using TVellionObj::TVellionObj;

  void DrawShape(QPainter& p) override {
    if (UseSmoothRenderer())
      DrawSmooth(p);
    else
      DrawPlain(p);
  }

 private:
  bool ThreeD() const { return LineStyle == vlpsRaised || LineStyle == vlpsSunken; }
  bool HasOutline() const { return LineWidth() > 0 && LineStyle != vlpsClear; }

  void DrawPlain(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect r = rect();
    QBrush brush = ObjectFillBrush(*this);
    PlainTileUnder(p, r, brush);
    const int w = LineWidth();
    if (!HasOutline()) {
      if (brush.style() != Qt::NoBrush) p.fillRect(r, brush);
      return;
    }
    const QColor line = DisplayColor(LineColor);
    if (ThreeD()) {
      if (brush.style() != Qt::NoBrush) p.fillRect(r.adjusted(w, w, -w, -w), brush);
      Draw3DFrame(p, r, w, line, LineStyle == vlpsRaised, false);
      return;
    }
    if (brush.style() != Qt::NoBrush) p.fillRect(r, brush);
    if (w > 1 || LineStyle == vlpsSolid) {
      FillFrameBand(p, r, w, line);
      return;
    }
    p.setPen(OutlinePen(*this, false));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(0, 0, r.width() - 1, r.height() - 1));
  }

  void DrawSmooth(QPainter& p) {
    const QRect r = rect();
    const QBrush brush = ObjectFillBrush(*this);
    if (brush.style() != Qt::NoBrush) p.fillRect(r, brush);
    if (!HasOutline()) return;
    const int w = LineWidth();
    if (ThreeD()) {
      Draw3DFrame(p, r, w, DisplayColor(LineColor), LineStyle == vlpsRaised, true);
      return;
    }
    // The pen lies inside the rectangle, its edges on whole pixels, so the
    // antialiasing leaves them crisp.
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(OutlinePen(*this, true));
    p.setBrush(Qt::NoBrush);
    const double half = w / 2.0;
    p.drawRect(QRectF(r.left() + half, r.top() + half, r.width() - w, r.height() - w));
  }
};

// The ellipse and the rounded rectangle share their drawing: only the
// figure differs.
class TRoundShape : public TVellionObj {
 public:
  TRoundShape(QWidget* owner, int objType) : TVellionObj(owner, objType) { SetFixedTransparency(true); }

  void DrawShape(QPainter& p) override {
    // The figure leaves the last column and row free.
    const QRect box(0, 0, std::max(0, width() - 1), std::max(0, height() - 1));
    QBrush brush = ObjectFillBrush(*this);
    const int w = LineWidth();
    const bool outline = w > 0 && LineStyle != vlpsClear;
    if (UseSmoothRenderer()) {
      p.setRenderHint(QPainter::Antialiasing, true);
      QRectF f(box);
      if (w > 1 && LineStyle != vlpsClear) f.adjust(w / 2.0, w / 2.0, -w / 2.0, -w / 2.0);
      const QPainterPath path = SmoothFigure(f);
      if (brush.style() != Qt::NoBrush) p.fillPath(path, brush);
      if (outline) p.strokePath(path, OutlinePen(*this, true));
      return;
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    QRectF f(box);
    // A thick plain outline lies inside the figure's box.
    if (w > 1 && outline) f.adjust(w / 2.0, w / 2.0, -w / 2.0, -w / 2.0);
    QPen pen = outline ? OutlinePen(*this, false) : QPen(Qt::NoPen);
    if (brush.style() == Qt::TexturePattern) {
      // The tile is clipped to the figure, the outline drawn over it.
      QPainterPath clip;
      AddPlainFigure(clip, QRectF(box));
      p.save();
      p.setClipPath(clip, Qt::IntersectClip);
      p.fillRect(box.adjusted(0, 0, 1, 1), brush);
      p.restore();
      brush = Qt::NoBrush;
    }
    p.setPen(pen);
    p.setBrush(brush);
    DrawPlainFigure(p, f);
  }

 protected:
  virtual QPainterPath SmoothFigure(const QRectF& r) const = 0;
  virtual void AddPlainFigure(QPainterPath& path, const QRectF& r) const = 0;
  virtual void DrawPlainFigure(QPainter& p, const QRectF& r) const = 0;
};

class TVellionCircle : public TRoundShape {
 public:
  using TRoundShape::TRoundShape;

 protected:
  QPainterPath SmoothFigure(const QRectF& r) const override {
    QPainterPath path;
    path.addEllipse(r);
    return path;
  }
  void AddPlainFigure(QPainterPath& path, const QRectF& r) const override { path.addEllipse(r); }
  void DrawPlainFigure(QPainter& p, const QRectF& r) const override { p.drawEllipse(r); }
};

class TVellionRoundRect : public TRoundShape {
 public:
  using TRoundShape::TRoundShape;

  // The corner radius of the smooth figure: 10 pixels, less where a side is
  // shorter than twice that.
  static double SmoothRadius(const QRectF& r) {
    return std::max(0.0, std::min({10.0, r.width() / 2, r.height() / 2}));
  }
  // The diameter of the plain figure's corner ellipse.
  static int PlainCorner(int w, int h) { return std::max(0, std::min({15, w / 4, h / 4})); }

 protected:
  QPainterPath SmoothFigure(const QRectF& r) const override {
    QPainterPath path;
    const double radius = SmoothRadius(r);
    if (radius < 0.01)
      path.addRect(r);
    else
      path.addRoundedRect(r, radius, radius);
    return path;
  }
  void AddPlainFigure(QPainterPath& path, const QRectF& r) const override {
    const double c = PlainCorner(width(), height()) / 2.0;
    path.addRoundedRect(r, c, c);
  }
  void DrawPlainFigure(QPainter& p, const QRectF& r) const override {
    const double c = PlainCorner(width(), height()) / 2.0;
    p.drawRoundedRect(r, c, c);
  }
};

VL_REGISTER_OBJECT(5, TVellionRect);
VL_REGISTER_OBJECT(6, TVellionCircle);
VL_REGISTER_OBJECT(17, TVellionRoundRect);

}  // namespace vl
