// The transition effects drawn step by step into pictures: which pixels
// show the new picture after step k of representative effects, and that
// every effect at every speed ends on the new picture on any rectangle.
#include <gtest/gtest.h>

#include <QImage>
#include <vector>

#include "images/Transitions.h"

namespace {

using namespace vl;

// Distinct pixels: the blue channel tells old (50) from new (200), red and
// green give the source column and row.
QImage Picture(int w, int h, int blue) {
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, blue));
  return img;
}

struct StepsRun {
  QImage screen;
  std::vector<int> pauses;
  bool ended = false;
};

// The screen after `steps` steps of effect `name` (all of them for -1).
StepsRun Steps(const char* name, int speed, int steps, int w = 64, int h = 40, int direction = 0) {
  TransitionInput in;
  in.oldPic = Picture(w, h, 50);
  in.newPic = Picture(w, h, 200);
  in.speed = speed;
  in.direction = direction;
  StepsRun r;
  r.screen = in.oldPic;
  auto fx = MakeTransitionEffect(EffectNumber(name), in);
  for (int i = 0; steps < 0 || i < steps; ++i) {
    int pause = 0;
    if (!fx->Step(r.screen, pause)) {
      r.ended = true;
      break;
    }
    r.pauses.push_back(pause);
    if (i > 100000) break;
  }
  return r;
}

bool IsNew(const QImage& img, int x, int y) { return qBlue(img.pixel(x, y)) == 200; }

// The pixels showing the new picture are exactly those of `r` (and each shows
// its own pixel of the new picture).
void ExpectNewExactly(const QImage& img, const QRect& r) {
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      ASSERT_EQ(IsNew(img, x, y), r.contains(x, y)) << x << "," << y;
      ASSERT_EQ(img.pixel(x, y), qRgb(x, y, IsNew(img, x, y) ? 200 : 50)) << x << "," << y;
    }
}

TEST(Transitions, NamesAndSpeeds) {
  EXPECT_EQ(EffectNumber("None"), 0);
  EXPECT_EQ(EffectNumber("page TURN"), 23);
  EXPECT_EQ(EffectNumber("wipe left"), 12);
  EXPECT_EQ(EffectNumber("Wipe  Left"), -1);
  EXPECT_EQ(EffectNumber("Sparkle"), -1);
  EXPECT_EQ(EffectNumber(""), -1);
  EXPECT_STREQ(EffectName(19), "Checkerboard");
  EXPECT_STREQ(EffectName(24), "");
  const std::pair<const char*, int> speeds[] = {{"3", 3}, {" 7 ", 7}, {"abc", 5}, {"", 5}, {"25", 10},
                                                {"-3", 0}, {"2.5", 5}, {"99999999999", 5}};
  for (auto [text, speed] : speeds) EXPECT_EQ(EffectSpeed(text), speed) << text;
}

TEST(Transitions, DissolveLetsTheNewPictureThroughTheMaskOfTheStep) {
  // The third mask (55 FF 55 FF ...): every other pixel of the even rows
  // of every 8 x 8 cell, the earlier masks' pixels among them.
  StepsRun r = Steps("Dissolve", 2, 3);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(IsNew(r.screen, x, y), y % 2 == 0 && x % 2 == 0) << x << "," << y;
  EXPECT_EQ(r.pauses, (std::vector<int>{20, 20, 20}));
  // Block Dissolve: a square growing from each cell's top-left corner.
  StepsRun b = Steps("Block Dissolve", 0, 4);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(IsNew(b.screen, x, y), x % 8 < 4 && y % 8 < 4) << x << "," << y;
  StepsRun all = Steps("Dissolve", 2, -1);
  EXPECT_EQ(all.pauses.size(), 8u);
}

TEST(Transitions, CheckerboardFirstPassRevealsRowByRow) {
  // 8 x 5 blocks. After two steps, rows 1 and 2 of the first pass: blocks
  // whose column and row (from 1) are both odd or both even.
  StepsRun r = Steps("Checkerboard", 4, 2);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x) {
      const int col = x / 8 + 1, row = y / 8 + 1;
      ASSERT_EQ(IsNew(r.screen, x, y), row <= 2 && col % 2 == row % 2) << x << "," << y;
    }
  EXPECT_EQ(r.pauses, (std::vector<int>{5, 5}));
  // After the first pass (5 rows) exactly half the blocks show.
  StepsRun pass = Steps("Checkerboard", 4, 5);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(IsNew(pass.screen, x, y), (x / 8) % 2 == (y / 8) % 2);
}

TEST(Transitions, BandsOfWipesAndSplits) {
  // Speed 4: a step of 10 pixels; Split Horizontal widens by (10-4)/2+4 = 7.
  struct Case {
    const char* name;
    int steps;
    QRect band;
  } cases[] = {
      {"Wipe Left", 2, QRect(44, 0, 20, 40)},   {"Wipe Right", 3, QRect(0, 0, 30, 40)},
      {"Wipe Up", 1, QRect(0, 30, 64, 10)},     {"Wipe Down", 2, QRect(0, 0, 64, 20)},
      {"Wipe Right", 7, QRect(0, 0, 64, 40)},   {"Split Horizontal", 2, QRect(18, 0, 28, 40)},
      {"Split Vertical", 1, QRect(0, 10, 64, 20)}, {"Explode", 1, QRect(16, 10, 32, 20)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectNewExactly(Steps(c.name, 4, c.steps).screen, c.band);
  }
  // Implode reveals what lies outside the shrinking centre.
  StepsRun im = Steps("Implode", 4, 1);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x)
      ASSERT_EQ(IsNew(im.screen, x, y), !QRect(16, 10, 32, 20).contains(x, y)) << x << "," << y;
}

TEST(Transitions, SlidesMoveTheOldPictureOut) {
  // Slide Left, speed 4, one step: the old picture moved 10 pixels left, the
  // new one's left edge at x = 54.
  StepsRun r = Steps("Slide Left", 4, 1);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 64; ++x)
      ASSERT_EQ(r.screen.pixel(x, y), x < 54 ? qRgb(x + 10, y, 50) : qRgb(x - 54, y, 200)) << x << "," << y;
  // Slide Down: the new picture's bottom edge follows y.
  StepsRun d = Steps("Slide Down", 4, 1);
  for (int y = 0; y < 40; ++y)
    ASSERT_EQ(d.screen.pixel(5, y), y < 10 ? qRgb(5, y + 30, 200) : qRgb(5, y - 10, 50)) << y;
}

TEST(Transitions, PageTurnSqueezesTheOldHalf) {
  // Speed 0 on 64 x 40: half 32, 3 pixels a step, pauses 20, 18, ...
  StepsRun f = Steps("Page Turn", 0, 2, 64, 40, 1);
  // The old right half squeezed into 32..57, the new picture right of it.
  for (int x = 0; x < 64; ++x) {
    QRgb want;
    if (x < 32)
      want = qRgb(x, 7, 50);
    else if (x < 58)
      want = qRgb(32 + (x - 32) * 32 / 26, 7, 50);
    else
      want = qRgb(x, 7, 200);
    ASSERT_EQ(f.screen.pixel(x, 7), want) << x;
  }
  EXPECT_EQ(f.pauses, (std::vector<int>{20, 18}));
  // Going back folds the left half toward the centre instead.
  StepsRun b = Steps("Page Turn", 0, 2, 64, 40, -1);
  for (int x = 0; x < 64; ++x) {
    QRgb want;
    if (x < 6)
      want = qRgb(x, 7, 200);
    else if (x < 32)
      want = qRgb((x - 6) * 32 / 26, 7, 50);
    else
      want = qRgb(x, 7, 50);
    ASSERT_EQ(b.screen.pixel(x, 7), want) << x;
  }
  // The new half then unfolds from the centre: halfway through, the left
  // part still shows the old page, the rest the new one stretched in.
  StepsRun u = Steps("Page Turn", 0, 11 + 5, 64, 40, 1);
  EXPECT_FALSE(IsNew(u.screen, 0, 0));
  EXPECT_TRUE(IsNew(u.screen, 20, 0));
  EXPECT_EQ(u.screen.pixel(40, 0), qRgb(40, 0, 200));
}

TEST(Transitions, EveryEffectEndsOnTheNewPictureAtEverySpeedAndSize) {
  const QSize sizes[] = {{64, 40}, {1, 1}, {5, 3}, {3, 300}, {300, 2}, {17, 13}};
  for (int fx = 0; fx < kEffectCount; ++fx)
    for (int speed : {0, 5, 10})
      for (QSize size : sizes) {
        SCOPED_TRACE(std::string(EffectName(fx)) + " speed " + std::to_string(speed) + " " +
                     std::to_string(size.width()) + "x" + std::to_string(size.height()));
        for (int direction : {1, -1}) {
          StepsRun r = Steps(EffectName(fx), speed, -1, size.width(), size.height(), direction);
          ASSERT_TRUE(r.ended);
          ASSERT_FALSE(r.pauses.empty());
          ASSERT_EQ(r.screen, Picture(size.width(), size.height(), 200));
        }
      }
}

TEST(Transitions, PlugInEffectsAreFoundByNameAfterTheTable) {
  int calls = 0;
  RegisterPlugInEffect("Sparkle", 7, [&](int, const QImage*, const QImage&, QImage&, int, std::string_view) {
    ++calls;
    return true;
  });
  int number = 0;
  PlugInEffectFn fn;
  ASSERT_TRUE(FindPlugInEffect("SPARKLE", number, fn));
  EXPECT_EQ(number, 7);
  QImage screen(2, 2, QImage::Format_RGB32);
  EXPECT_TRUE(fn(number, nullptr, screen, screen, 0, ""));
  EXPECT_EQ(calls, 1);
  ClearPlugInEffects();
  EXPECT_FALSE(FindPlugInEffect("Sparkle", number, fn));
}

}  // namespace
