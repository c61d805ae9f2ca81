// The records of a Windows metafile (WMF, after its placeable header).
// Every record starts with its size in 16-bit words (at least 3) and its
// function; the parameters follow, mostly 16-bit and in reverse order
// (y before x, bottom-right before top-left).
#include "images/Decoders.h"
#include "images/MetaCanvas.h"
#include "runtime/Ansi.h"

namespace vl {
namespace meta {

namespace {

enum : uint16_t {
  kEof = 0x0000, kSaveDc = 0x001E, kCreatePalette = 0x00F7, kSetBkMode = 0x0102,
  kSetMapMode = 0x0103, kSetPolyFillMode = 0x0106, kRestoreDc = 0x0127, kSelectObject = 0x012D,
  kSetTextAlign = 0x012E, kDibCreatePatternBrush = 0x0142, kDeleteObject = 0x01F0,
  kCreatePatternBrush = 0x01F9, kSetBkColor = 0x0201, kSetTextColor = 0x0209, kSetWindowOrg = 0x020B,
  kSetWindowExt = 0x020C, kLineTo = 0x0213, kMoveTo = 0x0214, kCreatePen = 0x02FA,
  kCreateFont = 0x02FB, kCreateBrush = 0x02FC, kPolygon = 0x0324, kPolyline = 0x0325,
  kEllipse = 0x0418, kRectangle = 0x041B, kSetPixel = 0x041F, kTextOut = 0x0521, kPolyPolygon = 0x0538,
  kRoundRect = 0x061C, kPatBlt = 0x061D, kCreateRegion = 0x06FF, kArc = 0x0817, kPie = 0x081A,
  kChord = 0x0830, kDibBitBlt = 0x0940, kExtTextOut = 0x0A32, kDibStretchBlt = 0x0B41,
  kSetDibToDev = 0x0D33, kStretchDib = 0x0F43,
};

struct Rec {
  const unsigned char* p;
  size_t size;  // bytes
  uint16_t function;
  int16_t W(size_t param) const {  // the n-th 16-bit parameter
    const size_t at = 6 + 2 * param;
    return at + 2 <= size ? static_cast<int16_t>(GetU16LE(p + at)) : 0;
  }
  uint16_t U(size_t param) const { return static_cast<uint16_t>(W(param)); }
  uint32_t U32(size_t param) const { return U(param) | (uint32_t{U(param + 1)} << 16); }
  size_t Params() const { return (size - 6) / 2; }
  QPointF YX(size_t param) const { return QPointF(W(param + 1), W(param)); }
  // Rectangles are stored bottom, right, top, left.
  QRectF Rect(size_t param) const { return QRectF(QPointF(W(param + 3), W(param + 2)), QPointF(W(param + 1), W(param))); }
  std::string_view From(size_t param) const {
    const size_t at = 6 + 2 * param;
    if (at > size) return {};
    return {reinterpret_cast<const char*>(p + at), size - at};
  }
};

std::vector<QPointF> Points(const Rec& r, size_t param, size_t count) {
  std::vector<QPointF> pts;
  if (param > r.Params() || count > (r.Params() - param) / 2) return pts;
  pts.reserve(count);
  for (size_t i = 0; i < count; ++i) pts.emplace_back(r.W(param + 2 * i), r.W(param + 2 * i + 1));
  return pts;
}

// A packed DIB: info header, colour table, then the rows.
void PackedDib(Canvas& c, std::string_view dib, QRectF dest, QRectF src, uint32_t rop) {
  if (dib.size() < 16) return;
  const auto* h = reinterpret_cast<const unsigned char*>(dib.data());
  const uint32_t headerSize = GetU32LE(h);
  size_t info;
  if (headerSize == 12) {
    const int bpp = GetU16LE(h + 10);
    info = 12 + (bpp <= 8 ? (size_t{3} << bpp) : 0);
  } else {
    if (headerSize < 40 || dib.size() < 40) return;
    const int bpp = GetU16LE(h + 14);
    const uint32_t compression = GetU32LE(h + 16), used = GetU32LE(h + 32);
    size_t colours = used ? used : (bpp <= 8 ? size_t{1} << bpp : 0);
    if (used > 256) return;
    info = headerSize + colours * 4;
    if (headerSize == 40 && compression == 3) info += 12;
    if (headerSize == 40 && compression == 6) info += 16;
  }
  if (info > dib.size()) return;
  c.Dib(dib.substr(0, info), dib.substr(info), dest, src, rop);
}

QString Ansi(std::string_view s) { return AnsiToQString(s); }

void PlayRecord(const Rec& r, Canvas& c) {
  State& s = c.s;
  switch (r.function) {
    case kSetBkColor: s.bkColour = ColorRef(r.U32(0)); break;
    case kSetBkMode: s.bkOpaque = r.U(0) == 2; break;
    case kSetMapMode: break;  // the placeable header maps the picture
    case kSetPolyFillMode: s.fillRule = r.U(0) == 2 ? Qt::WindingFill : Qt::OddEvenFill; break;
    case kSetTextAlign: s.textAlign = r.U(0); break;
    case kSetTextColor: s.textColour = ColorRef(r.U32(0)); break;
    case kSetWindowOrg: s.winOrg = r.YX(0); break;
    case kSetWindowExt:
      if (r.W(0) && r.W(1)) s.winExt = QSizeF(r.W(1), r.W(0));
      break;
    case kLineTo: c.LineTo(r.YX(0)); break;
    case kMoveTo: c.MoveTo(r.YX(0)); break;
    case kRectangle: c.Rectangle(r.Rect(0)); break;
    case kEllipse: c.Ellipse(r.Rect(0)); break;
    case kRoundRect: c.RoundRect(r.Rect(2), QSizeF(r.W(1), r.W(0))); break;
    case kArc: case kPie: case kChord:
      c.Arc(r.Rect(4), r.YX(2), r.YX(0),
            r.function == kArc ? Canvas::ArcKind::Arc
                               : r.function == kPie ? Canvas::ArcKind::Pie : Canvas::ArcKind::Chord);
      break;
    case kSetPixel: c.SetPixel(r.YX(2), ColorRef(r.U32(0))); break;
    case kPolygon: case kPolyline: {
      std::vector<QPointF> pts = Points(r, 1, r.U(0));
      if (r.function == kPolygon) c.Polygon(pts);
      else c.Polyline(pts);
      break;
    }
    case kPolyPolygon: {
      const size_t n = r.U(0);
      if (n > r.Params()) break;
      std::vector<std::vector<QPointF>> polys;
      size_t at = 1 + n;
      for (size_t i = 0; i < n; ++i) {
        std::vector<QPointF> pts = Points(r, at, r.U(1 + i));
        if (pts.size() != r.U(1 + i)) break;
        at += 2 * pts.size();
        polys.push_back(std::move(pts));
      }
      c.PolyPolygon(polys);
      break;
    }
    case kSaveDc: c.Save(); break;
    case kRestoreDc: c.Restore(r.W(0)); break;
    case kSelectObject: c.Select(r.U(0)); break;
    case kDeleteObject: c.Delete(r.U(0)); break;
    case kCreatePen: {
      Object o;
      o.kind = Object::Kind::Pen;
      o.pen.style = PenStyle(r.U(0));
      o.pen.null = o.pen.style == Qt::NoPen;
      o.pen.width = r.W(1);
      o.pen.colour = ColorRef(r.U32(3));
      c.StoreFree(o);
      break;
    }
    case kCreateBrush: {
      Object o;
      o.kind = Object::Kind::Brush;
      o.brush = MakeBrush(r.U(0), r.U32(1), r.U(3));
      c.StoreFree(o);
      break;
    }
    case kCreateFont: {
      Object o;
      o.kind = Object::Kind::Font;
      o.font.height = r.W(0);
      o.font.escapement = r.W(2);
      o.font.weight = r.W(4) ? r.W(4) : 400;
      o.font.italic = r.U(5) & 0xFF;
      o.font.underline = r.U(5) >> 8;
      o.font.strikeOut = r.U(6) & 0xFF;
      std::string_view face = r.From(9).substr(0, 32);
      o.font.face = Ansi(face.substr(0, face.find('\0')));
      c.StoreFree(o);
      break;
    }
    case kCreatePalette: case kCreatePatternBrush: case kDibCreatePatternBrush: case kCreateRegion: {
      Object o;
      o.kind = Object::Kind::Other;  // takes its slot; we do not draw with it
      c.StoreFree(o);
      break;
    }
    case kTextOut: {
      const size_t n = r.U(0);
      const size_t words = (n + 1) / 2;
      if (1 + words + 2 > r.Params()) break;
      c.Text(QPointF(r.W(2 + words), r.W(1 + words)), Ansi(r.From(1).substr(0, n)), false);
      break;
    }
    case kExtTextOut: {
      const size_t n = r.U(2);
      const size_t textAt = (r.U(3) & 0x0006) ? 8 : 4;  // a clipping or opaque rectangle comes first
      std::string_view text = r.From(textAt).substr(0, n);
      if (text.size() != n) break;
      c.Text(r.YX(0), Ansi(text), false);
      break;
    }
    case kPatBlt: c.PatBlt(QRectF(r.W(5), r.W(4), r.W(3), r.W(2)), r.U32(0)); break;
    case kDibBitBlt: case kDibStretchBlt: {
      const bool stretch = r.function == kDibStretchBlt;
      // Without a bitmap the record is short and its destination comes last.
      if (r.size / 2 == size_t(r.function >> 8) + 3) {
        const size_t last = r.Params() - 1;
        c.PatBlt(QRectF(r.W(last), r.W(last - 1), r.W(last - 2), r.W(last - 3)), r.U32(0));
        break;
      }
      if (stretch) {
        PackedDib(c, r.From(10), QRectF(r.W(9), r.W(8), r.W(7), r.W(6)), QRectF(r.W(5), r.W(4), r.W(3), r.W(2)),
                    r.U32(0));
      } else {
        PackedDib(c, r.From(8), QRectF(r.W(7), r.W(6), r.W(5), r.W(4)), QRectF(r.W(3), r.W(2), r.W(5), r.W(4)),
                    r.U32(0));
      }
      break;
    }
    case kStretchDib:
      if (r.U(2) != 0) break;  // palette indices
      PackedDib(c, r.From(11), QRectF(r.W(10), r.W(9), r.W(8), r.W(7)), QRectF(r.W(6), r.W(5), r.W(4), r.W(3)),
                  r.U32(0));
      break;
    case kSetDibToDev:
      if (r.U(0) != 0) break;
      PackedDib(c, r.From(9), QRectF(r.W(8), r.W(7), r.W(6), r.W(5)), QRectF(r.W(4), r.W(3), r.W(6), r.W(5)),
                  0x00CC0020);
      break;
    default: break;
  }
}

}  // namespace

bool PlayWmf(std::string_view data, const TMetaHeader& header, Canvas& canvas) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  size_t at = header.firstRecord;
  while (at + 6 <= n && !canvas.Exhausted()) {
    const uint64_t size = uint64_t{GetU32LE(p + at)} * 2;
    const uint16_t function = GetU16LE(p + at + 4);
    if (size < 6 || size > n - at) return false;
    if (function == kEof) return true;
    PlayRecord(Rec{p + at, static_cast<size_t>(size), function}, canvas);
    at += static_cast<size_t>(size);
  }
  return true;
}

}  // namespace meta
}  // namespace vl
