// Drawing: own size, stretched, colour key, alpha and opacity.
#include <gtest/gtest.h>

#include <QPainter>

#include "ImageTestSupport.h"
#include "images/VL_ImageLib.h"

using namespace vl;
using namespace imgtest;

namespace {

// A view holding `img` (decoded from Qt-written PNG bytes, as from a file).
void LoadQt(TVLImageView& view, const QImage& img) {
  view.LoadFromMemory(QtPng(img));
  ASSERT_FALSE(view.BadImage());
}

QImage Canvas(int w, int h, QRgb fill) {
  QImage c(w, h, QImage::Format_RGB32);
  c.fill(fill);
  return c;
}

}  // namespace

TEST(Draw, OwnSizeAndStretched) {
  QImage src(2, 2, QImage::Format_RGB888);
  src.setPixel(0, 0, qRgb(255, 0, 0));
  src.setPixel(1, 0, qRgb(0, 255, 0));
  src.setPixel(0, 1, qRgb(0, 0, 255));
  src.setPixel(1, 1, qRgb(255, 255, 255));
  TVLImageView view;
  LoadQt(view, src);
  QImage canvas = Canvas(10, 10, qRgb(0, 0, 0));
  {
    QPainter p(&canvas);
    view.Draw(p, 255, 1, 1);
    view.StretchDraw(p, false, 255, QRect(4, 4, 4, 6));
  }
  EXPECT_EQ(canvas.pixel(1, 1), qRgb(255, 0, 0));
  EXPECT_EQ(canvas.pixel(2, 2), qRgb(255, 255, 255));
  EXPECT_EQ(canvas.pixel(3, 3), qRgb(0, 0, 0));
  // Each source pixel covers 2 by 3 target pixels.
  EXPECT_EQ(canvas.pixel(5, 6), qRgb(255, 0, 0));
  EXPECT_EQ(canvas.pixel(6, 6), qRgb(0, 255, 0));
  EXPECT_EQ(canvas.pixel(4, 7), qRgb(0, 0, 255));
  EXPECT_EQ(canvas.pixel(7, 9), qRgb(255, 255, 255));
  EXPECT_EQ(canvas.pixel(8, 9), qRgb(0, 0, 0));

  // The bad picture is never stretched.
  TVLImageView bad;
  bad.LoadFromMemory("garbage");
  ASSERT_TRUE(bad.BadImage());
  QImage big = Canvas(100, 100, qRgb(1, 2, 3));
  {
    QPainter p(&big);
    bad.StretchDraw(p, true, 255, QRect(0, 0, 100, 100));
  }
  EXPECT_EQ(big.pixel(99, 99), qRgb(1, 2, 3));
  EXPECT_NE(big.pixel(bad.ImageWidth() / 2, bad.ImageHeight() / 2), qRgb(1, 2, 3));

  // A hostile size: no scaled copy of 100,000 squared is made, the visible
  // part is still drawn.
  QImage small = Canvas(4, 4, qRgb(0, 0, 0));
  {
    QPainter p(&small);
    view.StretchDraw(p, false, 128, QRect(0, 0, 100000, 100000));
  }
  EXPECT_GT(qRed(small.pixel(1, 1)), 100);

  // CopyToBitmap keeps the pixel format.
  TVLBitmap copy;
  ASSERT_TRUE(view.CopyToBitmap(4, 6, copy));
  EXPECT_EQ(copy.Format(), TVLPixelFormat::Rgb24);
  EXPECT_EQ(copy.Image().pixel(3, 5), qRgb(255, 255, 255));
  EXPECT_FALSE(view.CopyToBitmap(0, 6, copy));
}

TEST(Draw, OpacityBlendsByTheFixedRule) {
  QImage white(3, 3, QImage::Format_RGB888);
  white.fill(qRgb(255, 255, 255));
  TVLImageView view;
  LoadQt(view, white);
  struct Case {
    int opacity;
    int expected;  // over black
  } cases[] = {{128, 127}, {255, 255}, {256, 255}, {0, 0}, {1, 0}, {64, 63}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.opacity);
    QImage canvas = Canvas(5, 5, qRgb(0, 0, 0));
    {
      QPainter p(&canvas);
      view.Draw(p, c.opacity, 1, 1);
    }
    EXPECT_EQ(qRed(canvas.pixel(2, 2)), c.expected);
    EXPECT_EQ(qRed(canvas.pixel(0, 0)), 0);
  }
  // 255 over black does not quite reach white when the blend runs (an alpha
  // channel present); black over white reaches black.
  view.AlphaFromColor(0x123456);  // no pixel of that colour: alpha 255 everywhere
  ASSERT_TRUE(view.HasAlpha());
  QImage canvas = Canvas(5, 5, qRgb(0, 0, 0));
  {
    QPainter p(&canvas);
    view.Draw(p, 255, 0, 0);
  }
  EXPECT_EQ(qRed(canvas.pixel(1, 1)), 254);
  // Stretched with opacity: the same rule on the scaled picture.
  QImage canvas2 = Canvas(8, 8, qRgb(0, 0, 0));
  {
    QPainter p(&canvas2);
    p.translate(1, 1);  // a translated painter still blends on the pixels
    view.StretchDraw(p, false, 128, QRect(0, 0, 6, 6));
  }
  EXPECT_EQ(qRed(canvas2.pixel(6, 6)), 127);
  EXPECT_EQ(qRed(canvas2.pixel(7, 7)), 0);
}

TEST(Draw, ColourKeyAndAlpha) {
  // Magenta background at the bottom-left, a green square in the middle.
  QImage img(6, 6, QImage::Format_RGB888);
  img.fill(qRgb(255, 0, 255));
  for (int y = 2; y < 4; ++y)
    for (int x = 2; x < 4; ++x) img.setPixel(x, y, qRgb(0, 200, 0));
  TVLImageView view;
  LoadQt(view, img);
  EXPECT_EQ(view.TransparentColor(), 0xFF00FFu);
  view.AlphaFromColor(kOwnTransparentColor);
  ASSERT_TRUE(view.HasAlpha());
  EXPECT_TRUE(view.AlphaChannel()->Full);
  EXPECT_EQ(view.AlphaChannel()->ScanLine(0)[0], 0);
  EXPECT_EQ(view.AlphaChannel()->ScanLine(2)[2], 255);
  QImage canvas = Canvas(6, 6, qRgb(10, 20, 30));
  {
    QPainter p(&canvas);
    view.Draw(p, 255, 0, 0);
  }
  EXPECT_EQ(canvas.pixel(0, 0), qRgb(10, 20, 30));  // keyed out
  EXPECT_EQ(qGreen(canvas.pixel(2, 2)), 199);       // blended at 255
  // Opacity 256 ignores the alpha channel.
  {
    QPainter p(&canvas);
    view.Draw(p, kOpaqueNoAlpha, 0, 0);
  }
  EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 0, 255));
  // The key "none" gives an alpha of 255 everywhere.
  view.AlphaFromColor(kNoColorKey);
  EXPECT_FALSE(view.AlphaChannel()->Full);
  view.ClearAlpha();
  EXPECT_FALSE(view.HasAlpha());

  // Alpha from a grey bitmap of another size is stretched.
  TVLBitmap grey;
  ASSERT_TRUE(grey.Allocate(3, 3, TVLPixelFormat::Gray8));
  grey.ScanLine(0)[0] = 0;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) grey.ScanLine(y)[x] = (x == 0 && y == 0) ? 0 : 128;
  view.AlphaFromBitmap(grey);
  ASSERT_EQ(view.AlphaChannel()->Width(), 6);
  EXPECT_EQ(view.AlphaChannel()->ScanLine(1)[1], 0);
  EXPECT_EQ(view.AlphaChannel()->ScanLine(5)[5], 128);
  // The effective weight is the smaller of opacity and alpha.
  QImage black = Canvas(6, 6, qRgb(0, 0, 0));
  {
    QPainter p(&black);
    view.Draw(p, 64, 0, 0);
  }
  EXPECT_EQ(qRed(black.pixel(5, 5)), 63);
}

TEST(Draw, PngAlphaIsKeptOnlyWhenItMatters) {
  QImage opaque(4, 4, QImage::Format_ARGB32);
  opaque.fill(qRgba(1, 2, 3, 255));
  TVLImageView view;
  LoadQt(view, opaque);
  EXPECT_FALSE(view.HasAlpha());

  QImage half(4, 4, QImage::Format_ARGB32);
  half.fill(qRgba(255, 255, 255, 255));
  half.setPixel(0, 0, qRgba(255, 255, 255, 0));
  LoadQt(view, half);
  ASSERT_TRUE(view.HasAlpha());
  // Drawn on a device we cannot read back, Qt composes it.
  QImage argb(4, 4, QImage::Format_ARGB32_Premultiplied);
  argb.fill(qRgb(0, 0, 0));
  {
    QPainter p(&argb);
    p.setClipRect(0, 0, 4, 4);  // clipping also leaves the blend to Qt
    view.Draw(p, 255, 0, 0);
  }
  EXPECT_EQ(argb.pixel(0, 0), qRgb(0, 0, 0));
  EXPECT_EQ(argb.pixel(1, 1), qRgb(255, 255, 255));

  // Written back as PNG, the alpha survives.
  std::string out;
  ASSERT_TRUE(view.SaveToStream(out, 1));
  EXPECT_FALSE(view.SaveToStream(out, 9));
  TVLImageView again;
  again.LoadFromMemory(out);
  ASSERT_TRUE(again.HasAlpha());
  EXPECT_EQ(again.AlphaChannel()->ScanLine(0)[0], 0);
  EXPECT_EQ(again.AlphaChannel()->ScanLine(3)[3], 255);
}

TEST(Draw, OneBitPicturesStayOneBit) {
  TVLImageView view;
  view.LoadFromMemory(Fixture("mono.bmp"));
  ASSERT_FALSE(view.BadImage());
  ASSERT_EQ(view.Bitmap().Format(), TVLPixelFormat::Mono);
  EXPECT_EQ(view.TransparentColor(), 0xFFFFFFu);
  const QImage ref = ReadPpm(Fixture("mono_bmp.ppm"));
  QImage canvas = Canvas(ref.width(), ref.height(), qRgb(0, 0, 0));
  {
    QPainter p(&canvas);
    view.Draw(p, 128, 0, 0);  // a white pixel counts 255, a black one 0
  }
  int whites = 0;
  for (int y = 0; y < ref.height(); ++y)
    for (int x = 0; x < ref.width(); ++x) {
      bool white = ref.pixel(x, y) == qRgb(255, 255, 255);
      whites += white;
      ASSERT_EQ(qRed(canvas.pixel(x, y)), white ? 127 : 0) << x << "," << y;
    }
  EXPECT_GT(whites, 0);
}
