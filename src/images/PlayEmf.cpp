// The records of an enhanced metafile (EMF). Every record starts with its
// type and its size in bytes (a multiple of 4, at least 8); a record
// shorter than its fields is skipped, one that overruns the data ends the
// play as broken.
#include <cstring>

#include "images/Decoders.h"
#include "images/MetaCanvas.h"
#include "runtime/Ansi.h"

namespace vl {
namespace meta {

namespace {

enum : uint32_t {
  kHeader = 1, kPolyBezier = 2, kPolygon = 3, kPolyline = 4, kPolyBezierTo = 5, kPolylineTo = 6,
  kPolyPolyline = 7, kPolyPolygon = 8, kSetWindowExt = 9, kSetWindowOrg = 10, kSetViewportExt = 11,
  kSetViewportOrg = 12, kEof = 14, kSetPixel = 15, kSetMapMode = 17, kSetBkMode = 18,
  kSetPolyFillMode = 19, kSetTextAlign = 22, kSetTextColor = 24, kSetBkColor = 25, kMoveTo = 27,
  kSaveDc = 33, kRestoreDc = 34, kSetWorldTransform = 35, kModifyWorldTransform = 36,
  kSelectObject = 37, kCreatePen = 38, kCreateBrush = 39, kDeleteObject = 40, kEllipse = 42,
  kRectangle = 43, kRoundRect = 44, kArc = 45, kChord = 46, kPie = 47, kLineTo = 54,
  kBeginPath = 59, kEndPath = 60, kCloseFigure = 61, kFillPath = 62, kStrokeAndFillPath = 63,
  kStrokePath = 64, kAbortPath = 68, kBitBlt = 76, kStretchBlt = 77, kSetDiBitsToDevice = 80,
  kStretchDiBits = 81, kCreateFont = 82, kTextOutA = 83, kTextOutW = 84, kPolyBezier16 = 85,
  kPolygon16 = 86, kPolyline16 = 87, kPolyBezierTo16 = 88, kPolylineTo16 = 89,
  kPolyPolyline16 = 90, kPolyPolygon16 = 91, kCreatePenExt = 95,
};

// One record's bytes with checked little-endian reads (0 past the end).
struct Rec {
  const unsigned char* p;
  size_t size;
  bool Has(size_t bytes) const { return bytes <= size; }
  uint32_t U32(size_t at) const { return at + 4 <= size ? GetU32LE(p + at) : 0; }
  int32_t I32(size_t at) const { return static_cast<int32_t>(U32(at)); }
  int16_t I16(size_t at) const { return at + 2 <= size ? static_cast<int16_t>(GetU16LE(p + at)) : 0; }
  float F32(size_t at) const {
    uint32_t v = U32(at);
    float f;
    memcpy(&f, &v, 4);
    return f;
  }
  QPointF Point(size_t at) const { return QPointF(I32(at), I32(at + 4)); }
  QRectF Rect(size_t at) const { return QRectF(QPointF(I32(at), I32(at + 4)), QPointF(I32(at + 8), I32(at + 12))); }
  // A slice inside the record, empty when it does not fit.
  std::string_view Slice(uint32_t offset, uint32_t length) const {
    if (offset > size || length > size - offset) return {};
    return {reinterpret_cast<const char*>(p + offset), length};
  }
};

// `count` points from `at`, 32-bit or 16-bit; empty when they do not fit.
std::vector<QPointF> Points(const Rec& r, size_t at, uint64_t count, bool small) {
  const size_t each = small ? 4 : 8;
  std::vector<QPointF> pts;
  if (at > r.size || count > (r.size - at) / each) return pts;
  pts.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const size_t o = at + i * each;
    pts.emplace_back(small ? QPointF(r.I16(o), r.I16(o + 2)) : r.Point(o));
  }
  return pts;
}

std::vector<std::vector<QPointF>> PolyPoints(const Rec& r, bool small) {
  std::vector<std::vector<QPointF>> polys;
  const uint32_t n = r.U32(24), total = r.U32(28);
  if (n > (r.size - std::min<size_t>(r.size, 32)) / 4) return polys;
  std::vector<QPointF> all = Points(r, 32 + size_t(n) * 4, total, small);
  if (all.size() != total) return polys;
  size_t used = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t c = r.U32(32 + size_t(i) * 4);
    if (c > all.size() - used) break;
    polys.emplace_back(all.begin() + used, all.begin() + used + c);
    used += c;
  }
  return polys;
}

bool ReadXform(const Rec& r, size_t at, QTransform& t) {
  float v[6];
  for (int i = 0; i < 6; ++i) {
    v[i] = r.F32(at + 4 * i);
    if (!std::isfinite(v[i])) return false;
  }
  t = QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
  return true;
}

void PlayRecord(uint32_t type, const Rec& r, Canvas& c) {
  State& s = c.s;
  switch (type) {
    case kPolyBezier: case kPolygon: case kPolyline: case kPolyBezierTo: case kPolylineTo:
    case kPolyBezier16: case kPolygon16: case kPolyline16: case kPolyBezierTo16: case kPolylineTo16: {
      const bool small = type >= kPolyBezier16;
      const uint32_t kind = small ? type - kPolyBezier16 + kPolyBezier : type;
      std::vector<QPointF> pts = Points(r, 28, r.U32(24), small);
      if (pts.empty()) break;
      if (kind == kPolygon) c.Polygon(pts);
      else if (kind == kPolyline) c.Polyline(pts);
      else if (kind == kPolylineTo) c.Polyline(pts, true);
      else c.Bezier(pts, kind == kPolyBezierTo);
      break;
    }
    case kPolyPolyline: case kPolyPolygon: case kPolyPolyline16: case kPolyPolygon16: {
      auto polys = PolyPoints(r, type >= kPolyPolyline16);
      if (type == kPolyPolygon || type == kPolyPolygon16) c.PolyPolygon(polys);
      else
        for (const auto& p : polys) c.Polyline(p);
      break;
    }
    case kSetWindowExt:
      if (r.I32(8) && r.I32(12)) s.winExt = QSizeF(r.I32(8), r.I32(12));
      break;
    case kSetWindowOrg: s.winOrg = r.Point(8); break;
    case kSetViewportExt:
      if (r.I32(8) && r.I32(12)) s.vpExt = QSizeF(r.I32(8), r.I32(12));
      break;
    case kSetViewportOrg: s.vpOrg = r.Point(8); break;
    case kSetPixel: c.SetPixel(r.Point(8), ColorRef(r.U32(16))); break;
    case kSetMapMode:
      if (r.U32(8) >= kText && r.U32(8) <= kAnisotropic) s.mapMode = static_cast<int>(r.U32(8));
      break;
    case kSetBkMode: s.bkOpaque = r.U32(8) == 2; break;
    case kSetPolyFillMode: s.fillRule = r.U32(8) == 2 ? Qt::WindingFill : Qt::OddEvenFill; break;
    case kSetTextAlign: s.textAlign = r.U32(8); break;
    case kSetTextColor: s.textColour = ColorRef(r.U32(8)); break;
    case kSetBkColor: s.bkColour = ColorRef(r.U32(8)); break;
    case kMoveTo: c.MoveTo(r.Point(8)); break;
    case kSaveDc: c.Save(); break;
    case kRestoreDc: c.Restore(r.I32(8)); break;
    case kSetWorldTransform: {
      QTransform t;
      if (ReadXform(r, 8, t)) s.world = t;
      break;
    }
    case kModifyWorldTransform: {
      QTransform t;
      const uint32_t mode = r.U32(32);
      if (mode == 1) s.world = QTransform();
      else if (!ReadXform(r, 8, t)) break;
      else if (mode == 2) s.world = t * s.world;
      else if (mode == 3) s.world = s.world * t;
      else if (mode == 4) s.world = t;
      break;
    }
    case kSelectObject: c.Select(r.U32(8)); break;
    case kDeleteObject: c.Delete(r.U32(8)); break;
    case kCreatePen: {
      Object o;
      o.kind = Object::Kind::Pen;
      o.pen.style = PenStyle(r.U32(12));
      o.pen.null = o.pen.style == Qt::NoPen;
      o.pen.width = r.I32(16);
      o.pen.colour = ColorRef(r.U32(24));
      c.StoreAt(r.U32(8), o);
      break;
    }
    case kCreatePenExt: {
      Object o;
      o.kind = Object::Kind::Pen;
      const uint32_t style = r.U32(28);
      o.pen.style = PenStyle(style);
      o.pen.null = o.pen.style == Qt::NoPen || r.U32(36) == 1;  // a null brush draws nothing
      o.pen.width = (style & 0x00010000) ? r.U32(32) : 0;    // geometric, else cosmetic
      o.pen.colour = ColorRef(r.U32(40));
      c.StoreAt(r.U32(8), o);
      break;
    }
    case kCreateBrush: {
      Object o;
      o.kind = Object::Kind::Brush;
      o.brush = MakeBrush(r.U32(12), r.U32(16), r.U32(20));
      c.StoreAt(r.U32(8), o);
      break;
    }
    case kCreateFont: {
      Object o;
      o.kind = Object::Kind::Font;
      o.font.height = r.I32(12);
      o.font.escapement = r.I32(20);
      o.font.weight = r.I32(28) ? r.I32(28) : 400;
      o.font.italic = r.Has(33) && r.p[32];
      o.font.underline = r.Has(34) && r.p[33];
      o.font.strikeOut = r.Has(35) && r.p[34];
      for (size_t i = 0; i < 32 && r.Has(40 + 2 * i + 2); ++i) {
        const char16_t ch = static_cast<char16_t>(GetU16LE(r.p + 40 + 2 * i));
        if (!ch) break;
        o.font.face += QChar(ch);
      }
      c.StoreAt(r.U32(8), o);
      break;
    }
    case kEllipse: c.Ellipse(r.Rect(8)); break;
    case kRectangle: c.Rectangle(r.Rect(8)); break;
    case kRoundRect: c.RoundRect(r.Rect(8), QSizeF(r.I32(24), r.I32(28))); break;
    case kArc: case kChord: case kPie:
      c.Arc(r.Rect(8), r.Point(24), r.Point(32),
            type == kArc ? Canvas::ArcKind::Arc : type == kChord ? Canvas::ArcKind::Chord : Canvas::ArcKind::Pie);
      break;
    case kLineTo: c.LineTo(r.Point(8)); break;
    case kBeginPath: c.BeginPath(); break;
    case kEndPath: c.EndPath(); break;
    case kCloseFigure: c.CloseFigure(); break;
    case kFillPath: c.FinishPath(true, false); break;
    case kStrokeAndFillPath: c.FinishPath(true, true); break;
    case kStrokePath: c.FinishPath(false, true); break;
    case kAbortPath: c.AbortPath(); break;
    case kBitBlt: case kStretchBlt: {
      if (!r.Has(100)) break;
      const QRectF dest(r.I32(24), r.I32(28), r.I32(32), r.I32(36));
      const uint32_t rop = r.U32(40);
      std::string_view info = r.Slice(r.U32(84), r.U32(88));
      if (info.empty()) {
        c.PatBlt(dest, rop);
        break;
      }
      if (r.U32(80) != 0) break;  // colours as palette indices: we keep no palette
      QRectF src(r.I32(44), r.I32(48), dest.width(), dest.height());
      if (type == kStretchBlt && r.Has(108)) src.setSize(QSizeF(r.I32(100), r.I32(104)));
      c.Dib(info, r.Slice(r.U32(92), r.U32(96)), dest, src, rop);
      break;
    }
    case kSetDiBitsToDevice: {
      if (!r.Has(76) || r.U32(64) != 0) break;
      const QRectF dest(r.I32(24), r.I32(28), r.I32(40), r.I32(44));
      const QRectF src(r.I32(32), r.I32(36), r.I32(40), r.I32(44));
      c.Dib(r.Slice(r.U32(48), r.U32(52)), r.Slice(r.U32(56), r.U32(60)), dest, src, 0x00CC0020);
      break;
    }
    case kStretchDiBits: {
      if (!r.Has(80) || r.U32(64) != 0) break;
      const QRectF dest(r.I32(24), r.I32(28), r.I32(72), r.I32(76));
      const QRectF src(r.I32(32), r.I32(36), r.I32(40), r.I32(44));
      c.Dib(r.Slice(r.U32(48), r.U32(52)), r.Slice(r.U32(56), r.U32(60)), dest, src, r.U32(68));
      break;
    }
    case kTextOutA: case kTextOutW: {
      if (!r.Has(76)) break;
      const uint32_t n = r.U32(44);
      std::string_view text = r.Slice(r.U32(48), type == kTextOutW ? n * 2 : n);
      if (n > (1u << 20) || text.empty()) break;
      QString q;
      if (type == kTextOutW) {
        for (uint32_t i = 0; i < n; ++i)
          q += QChar(static_cast<char16_t>(GetU16LE(reinterpret_cast<const unsigned char*>(text.data()) + 2 * i)));
      } else {
        q = AnsiToQString(text);
      }
      c.Text(r.Point(36), q, false);
      break;
    }
    default: break;  // the header and everything we do not draw
  }
}

}  // namespace

bool PlayEmf(std::string_view data, const TMetaHeader& header, Canvas& canvas) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  size_t at = 0;
  (void)header;
  while (at + 8 <= n && !canvas.Exhausted()) {
    const uint32_t type = GetU32LE(p + at), size = GetU32LE(p + at + 4);
    if (size < 8 || size % 4 != 0 || size > n - at) return false;
    if (at == 0 && type != kHeader) return false;
    if (type == kEof) return true;
    PlayRecord(type, Rec{p + at, size}, canvas);
    at += size;
  }
  return true;  // the end of the data without an end record
}

}  // namespace meta
}  // namespace vl
