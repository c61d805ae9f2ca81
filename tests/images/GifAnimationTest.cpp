// The animation reader: frames composed as ImageMagick coalesces them,
// delays, bad input.
#include <gtest/gtest.h>

#include "DecoderFixtures.h"
#include "images/GifAnimation.h"

using namespace vl;
using vltest::ImageFixture;

namespace {

std::string ObjectFixture(const std::string& name) {
  return vltest::ReadFileBytes(std::string(VL_SOURCE_DIR) + "/tests/objects/fixtures/" + name);
}

// Compares the canvas with raw RGBA; pixels transparent in both count as
// equal whatever their colour.
::testing::AssertionResult CanvasIs(const QImage& canvas, const std::string& rgba) {
  const QImage c = canvas.convertToFormat(QImage::Format_RGBA8888);
  if (rgba.size() != static_cast<size_t>(c.width()) * c.height() * 4)
    return ::testing::AssertionFailure() << "reference has " << rgba.size() << " bytes";
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      const uint8_t* p = c.constScanLine(y) + 4 * x;
      const auto* q = reinterpret_cast<const uint8_t*>(rgba.data()) + 4 * (static_cast<size_t>(y) * c.width() + x);
      if (p[3] == 0 && q[3] == 0) continue;
      if (memcmp(p, q, 4) != 0)
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << int(p[0]) << " " << int(p[1])
                                             << " " << int(p[2]) << " " << int(p[3]) << ", want " << int(q[0]) << " "
                                             << int(q[1]) << " " << int(q[2]) << " " << int(q[3]);
    }
  return ::testing::AssertionSuccess();
}

TEST(GifAnimation, FramesComposeAsTheReferenceToolCoalescesThem) {
  // Offsets, a frame of its own colour table and "background" disposal.
  TGifAnimation gif;
  ASSERT_TRUE(gif.Load(ImageFixture("gif_frames.gif")));
  EXPECT_EQ(gif.FrameCount(), 3);
  EXPECT_EQ(gif.Width(), 48);
  EXPECT_EQ(gif.Height(), 40);
  EXPECT_EQ(gif.FileLoopCount(), 0);
  EXPECT_EQ(gif.DelayMs(0), 70);
  EXPECT_EQ(gif.DelayMs(1), 200);
  for (int pass = 0; pass < 2; ++pass)  // the second pass wraps round
    for (int i = 0; i < 3; ++i) {
      if (pass || i) gif.Advance();
      ASSERT_EQ(gif.CurrentFrame(), i);
      EXPECT_TRUE(CanvasIs(gif.Canvas(), ImageFixture("gif_frames_coalesced_" + std::to_string(i) + ".rgba")))
          << "frame " << i << " pass " << pass;
    }
  // Going back composes from the start.
  gif.ShowFrame(1);
  EXPECT_TRUE(CanvasIs(gif.Canvas(), ImageFixture("gif_frames_coalesced_1.rgba")));
}

TEST(GifAnimation, ShortDelaysAndThousandsOfFrames) {
  TGifAnimation zero;
  ASSERT_TRUE(zero.Load(ObjectFixture("zerodelay.gif")));
  EXPECT_EQ(zero.DelayMs(0), kGifShortDelayMs);
  EXPECT_EQ(zero.DelayMs(1), kGifShortDelayMs);

  TGifAnimation many;
  ASSERT_TRUE(many.Load(ObjectFixture("many.gif")));
  EXPECT_EQ(many.FrameCount(), 3000);
  EXPECT_EQ(many.DelayMs(2999), kGifShortDelayMs);  // 1/100 s is raised too
  many.ShowFrame(2999);
  EXPECT_EQ(qBlue(many.Canvas().pixel(1, 1)), 255);
  EXPECT_EQ(many.Advance(), 0);
  EXPECT_EQ(qRed(many.Canvas().pixel(1, 1)), 255);
}

TEST(GifAnimation, DamagedDataIsRefusedOrCutShort) {
  TGifAnimation gif;
  EXPECT_FALSE(gif.Load(ObjectFixture("damaged.gif")));
  EXPECT_TRUE(gif.Empty());
  EXPECT_FALSE(gif.Load(""));
  EXPECT_FALSE(gif.Load(ObjectFixture("quad.png")));
  EXPECT_FALSE(gif.Load(ImageFixture("gif_bad_huge.gif")));
  EXPECT_FALSE(gif.Load(ImageFixture("gif_bad_lzw.gif")));
  // A file cut inside its second frame keeps the frames before it.
  std::string d = ObjectFixture("anim.gif");
  TGifAnimation whole;
  ASSERT_TRUE(whole.Load(d));
  ASSERT_EQ(whole.FrameCount(), 3);
  const int64_t before = TVLBitmap::BytesAllocated();
  TGifAnimation cut;
  ASSERT_TRUE(cut.Load(d.substr(0, d.size() - 12)));
  EXPECT_GE(cut.FrameCount(), 2);
  for (int i = 0; i < 10; ++i) cut.Advance();  // never reads past the data
  EXPECT_EQ(TVLBitmap::BytesAllocated(), before);
}

}  // namespace
