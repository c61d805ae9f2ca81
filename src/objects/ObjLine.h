#pragma once
// TVellionLine: a straight line between two points with optional arrow
// heads. Its widget is the box around the two points (and the arrows), so
// it covers as little of the page as it can.
#include <QPoint>

#include "objects/VellionObj.h"

namespace vl {

enum TLineCapTypes : uint8_t { lc_None = 0, lc_Arrow = 1 };

class TVellionLine : public TVellionObj {
 public:
  TVellionLine(QWidget* owner, int objType);

  TLineCapTypes StartCap = lc_None;
  TLineCapTypes EndCap = lc_None;

  // The end points in the holder's coordinates (the page layer's, or a
  // group's); setting them moves and sizes the widget around them.
  void SetPoints(QPoint start, QPoint end);
  QPoint StartPoint() const { return start_; }
  QPoint EndPoint() const { return end_; }
  void SetCaps(TLineCapTypes startCap, TLineCapTypes endCap);
  // Fits the line into the rectangle (x, y, w, h): its ends go to two
  // opposite corners, each end to the corner of the quarter it was in.
  void SetLineBounds(const QRect& r);

  // The depth (and base) of an arrow head of the plain figure and of the
  // window: 4 x (max(width, 1) + 1).
  int ArrowLength() const;

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void Loaded() override;
  void LineChanged() override;
  void DrawShape(QPainter& p) override;

 private:
  void Relocate();

  QPoint start_, end_;
  QPoint readStart_, readEnd_;  // X1, Y1, X2 read so far
  bool havePoints_ = false;
};

}  // namespace vl
