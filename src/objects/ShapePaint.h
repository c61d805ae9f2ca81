#pragma once
// Drawing helpers shared by the shapes: the fill tiles, the pens of the two
// renderers, 3D frames and arrow heads.
//
// The smooth renderer draws with antialiasing; the plain renderer (used on
// displays of 256 colours or fewer) draws without it and keeps the plain
// look: dashes only at width 1, thick outlines inside the figure.
#include <QBrush>
#include <QPen>
#include <QPolygonF>
#include <QRect>
#include <cstdint>

#include "objects/VellionObj.h"

class QPainter;

namespace vl {

constexpr int kFirstTilePattern = 2;
constexpr int kLastTilePattern = 48;

// The 8 rows of fill tile `pattern` (2..48), most significant bit leftmost;
// nullptr for any other number.
const uint8_t* FillTileRows(int pattern);

// The 8x8 tile of `pattern`: bit 0 in `fill`, bit 1 white, or left
// transparent with `transparent`. A null image for a number without a tile.
QImage FillTile(int pattern, const QColor& fill, bool transparent);

// What fills an object: nothing (pattern 1), its colour (pattern 0 and
// numbers without a tile) or a tile whose grid starts at the object's
// top-left corner (the painter's origin).
QBrush ObjectFillBrush(const TVellionObj& obj);

// The pen an outline is drawn with, or Qt::NoPen: none at width 0 or with
// the clear style. The plain renderer dashes only at width 1 (wider and 3D
// outlines are solid); the smooth renderer dashes at any width, its dash
// lengths counted in pen widths.
QPen OutlinePen(const TVellionObj& obj, bool smooth);
// Sets the dash pattern of `style` (0..4) on `pen` for one renderer.
void SetDashStyle(QPen& pen, int style, bool smooth);

// A frame of `width` pixels inside `r`: raised has a white top and left and
// `color` bottom and right, sunken the reverse. The smooth look blends the
// two colours where they meet.
void Draw3DFrame(QPainter& p, const QRect& r, int width, const QColor& color, bool raised, bool smooth);

// Fills the band of `width` pixels along the inside of `r`: the solid
// outline of a plain rectangle wider than one pixel.
void FillFrameBand(QPainter& p, const QRect& r, int width, const QColor& color);

// The arrow head at `tip`, pointing away from `from`: an isosceles triangle
// `length` deep with a base of `base`. [0] is the tip, [1] and [2] the
// corners of the base.
QPolygonF ArrowHead(QPointF tip, QPointF from, double length, double base);

// The region `r` framed `width` pixels deep inside it.
QRegion FrameOfRegion(const QRegion& r, int width);

}  // namespace vl
