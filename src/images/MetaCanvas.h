#pragma once
// Our own small metafile player. Linux has no metafile service, so the
// records of a WMF or EMF picture that draw something common (lines and
// polygons, rectangles and ellipses, arcs, device-independent bitmaps,
// simple text) are played onto a QPainter with the state a device context
// would keep (pen, brush, colours, mapping, saved states). Records we do not
// know are skipped, the way a device skips what it cannot do.
//
// The data is untrusted: records are walked within the data only, object
// indices within the table the header sizes, saved states to a fixed depth,
// and every primitive is charged against a work budget (its points and the
// device area it may touch), so a small file cannot keep the player busy
// for long.
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vl {

// What a header says of a metafile: its size in pixels at 96 dots per inch
// and the rectangle of its own coordinates that maps onto that size
// (reference-device pixels for EMF, logical units for WMF).
struct TMetaHeader {
  bool emf = false;
  int width = 0;
  int height = 0;
  QRectF frame;
  // EMF: the reference device's pixels per millimetre (fixed map modes).
  double pixelsPerMmX = 96 / 25.4;
  double pixelsPerMmY = 96 / 25.4;
  uint32_t handles = 0;  // size of the object table
  size_t firstRecord = 0;
};

// False when the data is neither an EMF nor a placeable WMF, or its size
// is not one we can show.
bool ReadMetaHeader(std::string_view data, TMetaHeader& header);

// Plays every record onto `painter` so that the header's frame fills
// `target`. False when the record chain is broken (a record that overruns
// the data); what was played until then stays drawn.
bool PlayMetafile(std::string_view data, const TMetaHeader& header, QPainter& painter, const QRectF& target);

namespace meta {

enum MapMode { kText = 1, kLoMetric, kHiMetric, kLoEnglish, kHiEnglish, kTwips, kIsotropic, kAnisotropic };

struct Pen {
  bool null = false;
  QColor colour = Qt::black;
  double width = 0;  // logical units; 0 is one device pixel
  Qt::PenStyle style = Qt::SolidLine;
};

struct Brush {
  bool null = false;
  QColor colour = Qt::white;
  int hatch = -1;  // a hatch style 0..5, or -1 for solid
};

struct Font {
  double height = 0;  // logical units, < 0 for the character height
  int weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  double escapement = 0;  // tenths of a degree
  QString face;
};

struct Object {
  enum class Kind { Free, Pen, Brush, Font, Other } kind = Kind::Free;
  Pen pen;
  Brush brush;
  Font font;
};

// Text alignment flags as the records store them.
enum : uint32_t { kTaUpdateCp = 1, kTaRight = 2, kTaCenter = 6, kTaBottom = 8, kTaBaseline = 24 };

struct State {
  Pen pen;
  Brush brush;
  Font font;
  QColor textColour = Qt::black;
  QColor bkColour = Qt::white;
  bool bkOpaque = true;
  Qt::FillRule fillRule = Qt::OddEvenFill;
  uint32_t textAlign = 0;
  int mapMode = kText;
  QPointF winOrg, vpOrg;
  QSizeF winExt{1, 1}, vpExt{1, 1};
  QTransform world;
  QPointF position;  // the current position, logical
};

class Canvas {
 public:
  // `deviceToTarget` maps device coordinates onto the painter's.
  Canvas(QPainter& painter, const TMetaHeader& header, const QTransform& deviceToTarget, double budget);
  ~Canvas();

  State s;

  // Logical coordinates to the painter's; identity-like when not sane.
  QTransform Transform() const;
  bool TransformSane() const;

  // The object table. EMF names the slot, WMF takes the lowest free one.
  void StoreAt(uint32_t index, const Object& object);
  void StoreFree(const Object& object);
  void Select(uint32_t index);
  void Delete(uint32_t index);

  void Save();
  // `relative` < 0 pops that many states; > 0 names a saved state by number.
  void Restore(int relative);

  // Drawing, in logical coordinates. Each is charged to the budget first.
  void Shape(const QPainterPath& path, bool fill, bool stroke);
  // With `fromCurrent` the figure starts at the current position and moves
  // it to its last point (the "To" forms).
  void Polyline(const std::vector<QPointF>& points, bool fromCurrent = false);
  // A start point and groups of three (two control points and an end).
  void Bezier(const std::vector<QPointF>& points, bool fromCurrent);
  void MoveTo(QPointF to);
  void Polygon(const std::vector<QPointF>& points);
  void PolyPolygon(const std::vector<std::vector<QPointF>>& polygons);
  void LineTo(QPointF to);
  void Rectangle(QRectF r);
  void RoundRect(QRectF r, QSizeF corner);
  void Ellipse(QRectF r);
  enum class ArcKind { Arc, Chord, Pie };
  void Arc(QRectF r, QPointF start, QPointF end, ArcKind kind);
  void SetPixel(QPointF at, QColor colour);
  // A device-independent bitmap (info header with colour table, then the
  // rows) into a logical rectangle; `src` in the bitmap's pixels with its
  // top row at y 0; `rop` the ternary raster operation.
  void Dib(std::string_view info, std::string_view bits, QRectF dest, QRectF src, uint32_t rop);
  // A rectangle filled by a raster operation without source (pattern,
  // black, white).
  void PatBlt(QRectF dest, uint32_t rop);
  void Text(QPointF at, const QString& text, bool useCurrentPosition);

  // Paths: between BeginPath and EndPath the figures are collected instead
  // of drawn; FinishPath then fills and/or strokes them.
  void BeginPath();
  void EndPath() { recording_ = false; }
  void CloseFigure();
  void FinishPath(bool fill, bool stroke);
  void AbortPath();

  bool Exhausted() const { return budget_ <= 0; }

 private:
  bool Charge(double points, const QRectF& deviceBounds);
  QPen DevicePen() const;
  QBrush DeviceBrush() const;

  QPainter& painter_;
  TMetaHeader header_;
  QTransform deviceToTarget_;
  QTransform base_;
  double budget_;
  std::vector<Object> objects_;
  std::vector<State> saved_;
  bool recording_ = false;
  QPainterPath path_;
};

// Colour from a COLORREF (red in the low byte).
inline QColor ColorRef(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
Qt::PenStyle PenStyle(uint32_t style);
// Brush styles BS_SOLID, BS_NULL, BS_HATCHED; others paint solid.
Brush MakeBrush(uint32_t style, uint32_t colour, uint32_t hatch);

bool PlayEmf(std::string_view data, const TMetaHeader& header, Canvas& canvas);
bool PlayWmf(std::string_view data, const TMetaHeader& header, Canvas& canvas);

}  // namespace meta
}  // namespace vl
