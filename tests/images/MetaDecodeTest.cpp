// Metafiles written record by record here: what our player draws, how the
// picture maps onto its size and onto a stretched target, and damaged or
// hostile records.
#include <gtest/gtest.h>

#include <QPainter>
#include <string>
#include <vector>

#include "images/Decoders.h"
#include "images/MetaCanvas.h"

using namespace vl;

namespace {

void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += char(v >> (8 * i));
}
void Put16(std::string& s, uint16_t v) {
  s += char(v);
  s += char(v >> 8);
}

// An EMF of `w` × `h` pixels at 96 dots per inch (a reference device of
// 96 dots per inch too), with the records added in order and an end.
struct Emf {
  int w = 100, h = 100;
  std::string records;
  uint16_t handles = 8;
  Emf& Rec(uint32_t type, std::initializer_list<uint32_t> fields, const std::string& tail = "") {
    std::string r;
    Put32(r, type);
    Put32(r, static_cast<uint32_t>(8 + 4 * fields.size() + tail.size()));
    for (uint32_t f : fields) Put32(r, f);
    records += r + tail;
    return *this;
  }
  std::string Build(bool withEnd = true) const {
    std::string hdr;
    Put32(hdr, 1);
    Put32(hdr, 108);
    for (uint32_t v : {0u, 0u, uint32_t(w - 1), uint32_t(h - 1)}) Put32(hdr, v);  // bounds
    // The frame in hundredths of a millimetre: 2540 per 96 pixels.
    for (uint32_t v : {0u, 0u, uint32_t(w * 2540 / 96), uint32_t(h * 2540 / 96)}) Put32(hdr, v);
    Put32(hdr, 0x464D4520);
    Put32(hdr, 0x10000);
    Put32(hdr, 0);  // total size, not checked
    Put32(hdr, 0);  // record count
    Put16(hdr, handles);
    Put16(hdr, 0);
    for (int i = 0; i < 3; ++i) Put32(hdr, 0);  // description, palette
    for (uint32_t v : {960u, 960u, 254u, 254u}) Put32(hdr, v);  // device pixels and millimetres
    hdr.resize(108, '\0');
    std::string out = hdr + records;
    if (withEnd) {
      Put32(out, 14);
      Put32(out, 20);
      Put32(out, 0), Put32(out, 16), Put32(out, 0);
    }
    return out;
  }
};

enum : uint32_t { kBlackPen = 0x80000007, kNullPen = 0x80000008, kNullBrush = 0x80000005, kWhiteBrush = 0x80000000 };
constexpr uint32_t kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00FF00;

struct Picture {
  bool ok = false;
  TIOParamsVals params;
  TVLBitmap bitmap, alpha;
  QRgb At(int x, int y) const { return bitmap.Image().pixel(x, y); }
  int Alpha(int x, int y) const { return alpha.IsNull() ? 255 : alpha.ScanLine(y)[x]; }
};

Picture Decode(const std::string& data) {
  Picture p;
  p.ok = DecodeByType(FileTypeFromContent(data), data, p.params, p.bitmap, p.alpha, false);
  return p;
}

std::string Dib2x2() {
  // 24-bit, bottom-up: bottom row blue, green; top row red, white.
  std::string info;
  for (uint32_t v : {40u, 2u, 2u}) Put32(info, v);
  Put16(info, 1), Put16(info, 24);
  for (int i = 0; i < 6; ++i) Put32(info, 0);
  std::string bits("\xFF\0\0" "\0\xFF\0" "\0\0" "\0\0\xFF" "\xFF\xFF\xFF" "\0\0", 16);
  return info + bits;
}

TEST(MetaDecode, EmfShapesPensAndBrushesDraw) {
  Emf e;
  e.Rec(39, {1, 0, kRed, 0})                      // brush 1: solid red
      .Rec(38, {2, 0, 3, 0, kBlue})               // pen 2: blue, 3 wide
      .Rec(37, {1}).Rec(37, {2})
      .Rec(43, {10, 10, 50, 50})                  // rectangle
      .Rec(37, {kNullPen})
      .Rec(39, {3, 0, kGreen, 0}).Rec(37, {3})
      .Rec(42, {60, 10, 90, 40})                  // ellipse
      .Rec(37, {kWhiteBrush})
      .Rec(86, {0, 0, 0, 0, 3}, std::string("\x3C\0\x3C\0" "\x5A\0\x3C\0" "\x4B\0\x5A\0", 12))  // polygon16
      .Rec(37, {kBlackPen})
      .Rec(27, {5, 95}).Rec(54, {95, 95});        // move to, line to
  Picture p = Decode(e.Build());
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.params.FileType, TIOFileType::Emf);
  EXPECT_EQ(p.params.Width, 99);
  EXPECT_EQ(p.bitmap.Width(), 99);
  EXPECT_EQ(p.At(30, 30), qRgb(255, 0, 0));
  EXPECT_EQ(p.At(10, 30), qRgb(0, 0, 255));   // the pen on the left edge
  EXPECT_EQ(p.At(74, 25), qRgb(0, 255, 0));   // inside the ellipse
  EXPECT_EQ(p.Alpha(62, 12), 0);              // outside it, in its box
  EXPECT_EQ(p.At(74, 68), qRgb(255, 255, 255));  // the triangle
  EXPECT_EQ(p.At(50, 94), qRgb(0, 0, 0));     // the line
  // Untouched pixels are transparent; drawn ones opaque.
  ASSERT_FALSE(p.alpha.IsNull());
  EXPECT_EQ(p.Alpha(2, 2), 0);
  EXPECT_EQ(p.Alpha(30, 30), 255);
}

TEST(MetaDecode, EmfMappingAndBitmaps) {
  // Anisotropic: 1000 logical units across the 100-pixel device.
  Emf e;
  e.Rec(17, {8}).Rec(9, {1000, 1000}).Rec(11, {100, 100})
      .Rec(39, {1, 0, kBlue, 0}).Rec(37, {1}).Rec(37, {kNullPen})
      .Rec(43, {100, 100, 500, 500})
      .Rec(33, {})                                             // save
      .Rec(10, {uint32_t(-500), 0})                                      // window origin moves right by half
      .Rec(43, {0, 600, 200, 800})
      .Rec(34, {0xFFFFFFFF})                                   // restore
      .Rec(43, {0, 850, 100, 950});
  std::string dib = Dib2x2();
  // A stretched DIB: 2 × 2 pixels onto 400 × 400 logical units at (550, 50).
  std::vector<uint32_t> sd = {0, 0, 0, 0, 550, 50, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0x00CC0020, 400, 400};
  std::string rec;
  Put32(rec, 81);
  Put32(rec, static_cast<uint32_t>(8 + 4 * sd.size() + dib.size()));
  for (uint32_t v : sd) Put32(rec, v);
  e.records += rec + dib;
  Picture p = Decode(e.Build());
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.At(30, 30), qRgb(0, 0, 255));
  EXPECT_EQ(p.Alpha(30, 60), 0);
  EXPECT_EQ(p.At(60, 70), qRgb(0, 0, 255));  // drawn with the moved origin
  EXPECT_EQ(p.Alpha(10, 70), 0);
  EXPECT_EQ(p.At(5, 90), qRgb(0, 0, 255));   // the origin restored
  // The bitmap's top row is red, white; its bottom row blue, green.
  EXPECT_EQ(p.At(64, 14), qRgb(255, 0, 0));
  EXPECT_EQ(p.At(84, 14), qRgb(255, 255, 255));
  EXPECT_EQ(p.At(64, 34), qRgb(0, 0, 255));
  EXPECT_EQ(p.At(84, 34), qRgb(0, 255, 0));
}

TEST(MetaDecode, EmfTextIsDrawnInTheTextColour) {
  std::string face;
  for (char ch : std::string("DejaVu Sans")) face += std::string{ch, '\0'};
  face.resize(64, '\0');
  Emf e;
  e.Rec(82, {1, uint32_t(-30), 0, 0, 0, 700, 0, 0}, face).Rec(37, {1})
      .Rec(24, {kRed}).Rec(18, {1}).Rec(22, {24})
      .Rec(84, {0, 0, 0, 0, 1, 0, 0, 20, 40, 2, 76, 0, 0, 0, 0, 0, 0}, std::string("X\0X\0", 4));
  Picture p = Decode(e.Build());
  ASSERT_TRUE(p.ok);
  int red = 0, elsewhere = 0;
  for (int y = 0; y < p.bitmap.Height(); ++y)
    for (int x = 0; x < p.bitmap.Width(); ++x) {
      if (p.Alpha(x, y) == 0) continue;
      const bool inside = x >= 15 && x < 70 && y >= 5 && y < 48;
      if (!inside) ++elsewhere;
      else if (qRed(p.At(x, y)) > 200 && qGreen(p.At(x, y)) < 50) ++red;
    }
  EXPECT_GT(red, 50);  // two bold capitals, above the baseline at y 40
  EXPECT_EQ(elsewhere, 0);
}

// A placeable WMF of 1440 logical units an inch: 960 units are 64 pixels.
std::string Wmf(const std::string& records, uint16_t objects = 4) {
  std::string s;
  Put32(s, 0x9AC6CDD7);
  Put16(s, 0);
  for (uint16_t v : {0, 0, 960, 960, 1440}) Put16(s, v);
  Put32(s, 0);
  Put16(s, 0);  // checksum, not checked
  Put16(s, 1), Put16(s, 9), Put16(s, 0x300);
  Put32(s, 0);
  Put16(s, objects);
  Put32(s, 0);
  Put16(s, 0);
  return s + records + std::string("\x03\0\0\0\0\0", 6);
}

std::string WmfRec(uint16_t function, std::initializer_list<uint16_t> words) {
  std::string r;
  Put32(r, static_cast<uint32_t>(3 + words.size()));
  Put16(r, function);
  for (uint16_t w : words) Put16(r, w);
  return r;
}

TEST(MetaDecode, WmfRecordsAndObjectSlots) {
  std::string recs = WmfRec(0x02FC, {0, 0x00FF, 0, 0})   // brush, slot 0: red
                     + WmfRec(0x02FC, {0, 0xFF00, 0, 0})  // brush, slot 1: green
                     + WmfRec(0x01F0, {0})                // slot 0 freed
                     + WmfRec(0x02FC, {0, 0, 0x00FF, 0})  // brush, slot 0 again: blue
                     + WmfRec(0x02FA, {5, 0, 0, 0, 0})    // null pen, slot 2
                     + WmfRec(0x012D, {0}) + WmfRec(0x012D, {2})
                     + WmfRec(0x041B, {480, 480, 0, 0})   // rectangle: bottom, right, top, left
                     + WmfRec(0x012D, {1})
                     + WmfRec(0x0418, {960, 960, 480, 480})
                     + WmfRec(0x0324, {3, 0, 960, 480, 960, 0, 480})  // polygon in the bottom-left
                     + WmfRec(0x7777, {1, 2, 3});         // unknown: skipped
  Picture p = Decode(Wmf(recs));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.params.FileType, TIOFileType::Wmf);
  EXPECT_EQ(p.params.Width, 63);
  EXPECT_EQ(p.At(15, 15), qRgb(0, 0, 255));
  EXPECT_EQ(p.At(47, 47), qRgb(0, 255, 0));
  EXPECT_EQ(p.Alpha(33, 33), 0);             // the ellipse's box corner
  EXPECT_EQ(p.At(8, 56), qRgb(0, 255, 0));
  EXPECT_EQ(p.Alpha(56, 8), 0);

  // The records' own window replaces the placeable box.
  Picture q = Decode(Wmf(WmfRec(0x020C, {100, 100}) + WmfRec(0x02FC, {0, 0x00FF, 0, 0}) + WmfRec(0x012D, {0}) +
                         WmfRec(0x041B, {50, 50, 0, 0})));
  ASSERT_TRUE(q.ok);
  EXPECT_EQ(q.At(28, 28), qRgb(255, 0, 0));
  EXPECT_EQ(q.Alpha(36, 36), 0);
}

TEST(MetaDecode, ImageViewPlaysTheRecordsWhenDrawing) {
  Emf e;
  e.Rec(39, {1, 0, kRed, 0}).Rec(37, {1}).Rec(37, {kNullPen}).Rec(43, {0, 0, 50, 100});
  const std::string data = e.Build();
  TVLImageView view;
  view.LoadFromMemory(data);
  ASSERT_FALSE(view.BadImage());
  EXPECT_TRUE(view.IsMeta());
  EXPECT_EQ(view.ImageWidth(), 100);
  EXPECT_EQ(view.Params().Width, 99);
  // At its size less one: the left half red, the right half keeps the canvas.
  QImage canvas(120, 120, QImage::Format_RGB32);
  canvas.fill(qRgb(0, 255, 0));
  {
    QPainter painter(&canvas);
    view.Draw(painter, 255, 10, 10);
  }
  EXPECT_EQ(canvas.pixel(20, 50), qRgb(255, 0, 0));
  EXPECT_EQ(canvas.pixel(90, 50), qRgb(0, 255, 0));
  // Stretched to 400 wide: the records are played again, not the pixels.
  QImage wide(400, 100, QImage::Format_RGB32);
  wide.fill(qRgb(0, 255, 0));
  {
    QPainter painter(&wide);
    view.StretchDraw(painter, false, 255, QRect(0, 0, 400, 100));
  }
  EXPECT_EQ(wide.pixel(190, 50), qRgb(255, 0, 0));
  EXPECT_EQ(wide.pixel(210, 50), qRgb(0, 255, 0));
  // Written back as the metafile it was; as PNG it is the drawn picture.
  std::string out;
  ASSERT_TRUE(view.SaveToStream(out, 10));
  EXPECT_EQ(out, data);
  out.clear();
  ASSERT_TRUE(view.SaveToStream(out, 7));
  EXPECT_EQ(out.substr(1, 3), "PNG");
  // A header read gives the size less one, like the decode.
  TVLImageView header;
  ASSERT_TRUE(header.ReadHeaderFromMemory(data, TIOFileType::Emf));
  EXPECT_EQ(header.Params().Height, 99);
}

TEST(MetaDecode, DamagedAndHostileRecordsAreBounded) {
  Emf overrun;
  overrun.Rec(43, {0, 0, 10, 10});
  std::string bad = overrun.Build(false);
  bad[bad.size() - 24 + 4] = '\x40';  // the rectangle claims more than is left
  Emf badSize;
  badSize.Rec(43, {0, 0, 10, 10});
  std::string zero = badSize.Build();
  zero[108 + 4] = 0;  // a record of size 0 would never advance
  Emf huge;
  huge.w = 20000;
  struct Case {
    const char* what;
    std::string data;
  } refused[] = {
      {"record past the end", bad},
      {"record of size 0", zero},
      {"wider than the caps", huge.Build()},
      {"wmf record past the end", Wmf(WmfRec(0x041B, {1, 1, 0, 0})).substr(0, 40 + 8)},
      {"wmf without units per inch", Wmf("").replace(14, 2, std::string(2, '\0'))},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(Decode(c.data).ok);
    TVLImageView view;
    view.LoadFromMemory(c.data);
    EXPECT_TRUE(view.BadImage());
    EXPECT_FALSE(view.IsMeta());
  }
  // Counts beyond their record, object slots beyond the table, restores
  // past the saved states and zero extents are ignored; the rest draws.
  Emf odd;
  odd.Rec(3, {0, 0, 0, 0, 0x7FFFFFFF, 1, 1})
      .Rec(8, {0, 0, 0, 0, 0xFFFFFFF, 5, 1})
      .Rec(39, {0xFFFFFF, 0, kRed, 0}).Rec(37, {0xFFFFFF}).Rec(40, {0xFFFFFFFF})
      .Rec(34, {0xFFFFFF00}).Rec(9, {0, 0}).Rec(17, {8})
      .Rec(36, {0x7FC00000, 0, 0, 0x7FC00000, 0, 0, 4})  // NaN transform: refused
      .Rec(39, {1, 0, kRed, 0}).Rec(37, {1})
      .Rec(43, {20, 20, 80, 80});
  Picture p = Decode(odd.Build());
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.At(50, 50), qRgb(255, 0, 0));
  // Many records each filling the picture stop at the work budget instead
  // of running for minutes; what was drawn stays.
  Emf busy;
  busy.w = busy.h = 2000;
  busy.Rec(39, {1, 0, kBlue, 0}).Rec(37, {1});
  for (int i = 0; i < 200000; ++i) busy.Rec(43, {0, 0, 2000, 2000});
  Picture b = Decode(busy.Build());
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(b.At(1000, 1000), qRgb(0, 0, 255));
}

}  // namespace
