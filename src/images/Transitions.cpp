// The 24 transition effects as step machines over the rectangle's picture.
// Every drawing is a plain copy of pixels (rows, spans, masked pixels,
// nearest-neighbour scaling, integer blending), so a step costs well under a
// frame at page sizes and every run draws exactly the same pixels.
#include "images/Transitions.h"

#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "runtime/Ansi.h"
#include "runtime/Global.h"

namespace vl {

const uint8_t kDissolveMasks[8][8] = {
    {0xFF, 0xFF, 0x77, 0xFF, 0xFF, 0xFF, 0x77, 0xFF}, {0xDD, 0xFF, 0x77, 0xFF, 0xDD, 0xFF, 0x77, 0xFF},
    {0x55, 0xFF, 0x55, 0xFF, 0x55, 0xFF, 0x55, 0xFF}, {0x55, 0xBB, 0x55, 0xEE, 0x55, 0xBB, 0x55, 0xEE},
    {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA}, {0x44, 0xAA, 0x11, 0xAA, 0x44, 0xAA, 0x11, 0xAA},
    {0x00, 0xAA, 0x00, 0xAA, 0x00, 0xAA, 0x00, 0xAA}, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}};

const uint8_t kBlockDissolveMasks[8][8] = {
    {0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {0x3F, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    {0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {0x0F, 0x0F, 0x0F, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF},
    {0x07, 0x07, 0x07, 0x07, 0x07, 0xFF, 0xFF, 0xFF}, {0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0xFF, 0xFF},
    {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0xFF}, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}};

namespace {

constexpr const char* kEffectNames[kEffectCount] = {
    "None",          "Dissolve",        "Slide Left",      "Slide Right",  "Slide Up",    "Slide Down",
    "Explode",       "Implode",         "Weave Horizontal", "Weave Vertical", "Split Horizontal",
    "Split Vertical", "Wipe Left",      "Wipe Right",      "Wipe Up",      "Wipe Down",   "Circle",
    "Grow",          "Blocks",          "Checkerboard",    "Block Dissolve", "Fade",      "Transparent",
    "Page Turn"};

enum Fx {
  fxNone, fxDissolve, fxSlideLeft, fxSlideRight, fxSlideUp, fxSlideDown, fxExplode, fxImplode,
  fxWeaveH, fxWeaveV, fxSplitH, fxSplitV, fxWipeLeft, fxWipeRight, fxWipeUp, fxWipeDown,
  fxCircle, fxGrow, fxBlocks, fxCheckerboard, fxBlockDissolve, fxFade, fxTransparent, fxPageTurn
};

// ---------------------------------------------------------------------------
// Drawing helpers. `screen` and the pictures are Format_RGB32 of one size.

inline QRgb* Row(QImage& img, int y) { return reinterpret_cast<QRgb*>(img.scanLine(y)); }
inline const QRgb* Row(const QImage& img, int y) { return reinterpret_cast<const QRgb*>(img.constScanLine(y)); }

// Copies `r` of `src` (at the same place) onto `screen`.
void Reveal(QImage& screen, const QImage& src, QRect r) {
  r &= screen.rect();
  if (r.isEmpty()) return;
  const size_t bytes = static_cast<size_t>(r.width()) * sizeof(QRgb);
  for (int y = r.top(); y <= r.bottom(); ++y) std::memcpy(Row(screen, y) + r.left(), Row(src, y) + r.left(), bytes);
}

// Everything of `src` outside `inner`.
void RevealOutside(QImage& screen, const QImage& src, const QRect& inner) {
  const int w = screen.width(), h = screen.height();
  Reveal(screen, src, QRect(0, 0, w, std::max(0, inner.top())));
  Reveal(screen, src, QRect(0, inner.bottom() + 1, w, h));
  Reveal(screen, src, QRect(0, inner.top(), std::max(0, inner.left()), inner.height()));
  Reveal(screen, src, QRect(inner.right() + 1, inner.top(), w, inner.height()));
}

// Copies `src` onto `screen` where the mask (repeated from the top-left
// corner) has 0 bits.
void RevealMasked(QImage& screen, const QImage& src, const uint8_t mask[8]) {
  const int w = screen.width();
  for (int y = 0; y < screen.height(); ++y) {
    const unsigned bits = mask[y & 7];
    if (bits == 0xFF) continue;
    QRgb* d = Row(screen, y);
    const QRgb* s = Row(src, y);
    if (bits == 0) {
      std::memcpy(d, s, static_cast<size_t>(w) * sizeof(QRgb));
      continue;
    }
    for (int x = 0; x < w; ++x)
      if (!(bits & (0x80u >> (x & 7)))) d[x] = s[x];
  }
}

// Moves the screen's content by (dx, dy); what is uncovered keeps its old
// pixels (the caller draws over it).
void Scroll(QImage& screen, int dx, int dy) {
  const int w = screen.width(), h = screen.height();
  if (dx) {
    const int n = w - std::abs(dx);
    if (n > 0)
      for (int y = 0; y < h; ++y) {
        QRgb* r = Row(screen, y);
        if (dx < 0)
          std::memmove(r, r - dx, static_cast<size_t>(n) * sizeof(QRgb));
        else
          std::memmove(r + dx, r, static_cast<size_t>(n) * sizeof(QRgb));
      }
  }
  if (dy) {
    const size_t bytes = static_cast<size_t>(w) * sizeof(QRgb);
    if (dy < 0)
      for (int y = 0; y < h + dy; ++y) std::memcpy(Row(screen, y), Row(screen, y - dy), bytes);
    else
      for (int y = h - 1; y >= dy; --y) std::memcpy(Row(screen, y), Row(screen, y - dy), bytes);
  }
}

// Draws `src` translated by (ox, oy) onto `screen`, clipped to `clip`.
void DrawShifted(QImage& screen, const QImage& src, int ox, int oy, QRect clip) {
  clip &= screen.rect();
  clip &= src.rect().translated(ox, oy);
  if (clip.isEmpty()) return;
  const size_t bytes = static_cast<size_t>(clip.width()) * sizeof(QRgb);
  for (int y = clip.top(); y <= clip.bottom(); ++y)
    std::memcpy(Row(screen, y) + clip.left(), Row(src, y - oy) + (clip.left() - ox), bytes);
}

// Draws the part `from` of `src` scaled (nearest neighbour) into `to`.
void DrawScaled(QImage& screen, const QImage& src, const QRect& from, const QRect& to) {
  if (from.isEmpty() || to.isEmpty()) return;
  const QRect clip = to & screen.rect();
  if (clip.isEmpty()) return;
  std::vector<int> xs(static_cast<size_t>(clip.width()));
  for (int x = clip.left(); x <= clip.right(); ++x)
    xs[static_cast<size_t>(x - clip.left())] =
        from.left() + static_cast<int>(static_cast<int64_t>(x - to.left()) * from.width() / to.width());
  for (int y = clip.top(); y <= clip.bottom(); ++y) {
    const int sy = from.top() + static_cast<int>(static_cast<int64_t>(y - to.top()) * from.height() / to.height());
    const QRgb* s = Row(src, sy);
    QRgb* d = Row(screen, y) + clip.left();
    for (int i = 0; i < clip.width(); ++i) d[i] = s[xs[static_cast<size_t>(i)]];
  }
}

// The ellipse inscribed in `box`, revealed row by row (pixel centres inside).
void RevealEllipse(QImage& screen, const QImage& src, const QRect& box) {
  if (box.isEmpty()) return;
  const double cx = box.left() + box.width() / 2.0, cy = box.top() + box.height() / 2.0;
  const double a = box.width() / 2.0, b = box.height() / 2.0;
  const int y0 = std::max(0, box.top()), y1 = std::min(screen.height() - 1, box.bottom());
  for (int y = y0; y <= y1; ++y) {
    const double t = (y + 0.5 - cy) / b;
    if (t * t >= 1) continue;
    const double half = a * std::sqrt(1 - t * t);
    const int x0 = static_cast<int>(std::ceil(cx - half - 0.5));
    const int x1 = static_cast<int>(std::floor(cx + half - 0.5));
    if (x1 >= x0) Reveal(screen, src, QRect(x0, y, x1 - x0 + 1, 1));
  }
}

// screen := screen + (src - screen) * alpha / 255, per channel.
void Blend(QImage& screen, const QImage& src, int alpha) {
  const int w = screen.width();
  for (int y = 0; y < screen.height(); ++y) {
    QRgb* d = Row(screen, y);
    const QRgb* s = Row(src, y);
    for (int x = 0; x < w; ++x) {
      const QRgb a = d[x], b = s[x];
      const int r = qRed(a) + (qRed(b) - qRed(a)) * alpha / 255;
      const int g = qGreen(a) + (qGreen(b) - qGreen(a)) * alpha / 255;
      const int bl = qBlue(a) + (qBlue(b) - qBlue(a)) * alpha / 255;
      d[x] = qRgb(r, g, bl);
    }
  }
}

void PlainCopy(QImage& screen, const QImage& src) { Reveal(screen, src, screen.rect()); }

// ---------------------------------------------------------------------------
// The effects. Each keeps its own stage; a final plain copy, where the
// effect ends with one, is a step of its own without a pause.

class TEffectBase : public TTransitionEffect {
 public:
  explicit TEffectBase(const TransitionInput& in)
      : nw_(in.newPic), w_(in.newPic.width()), h_(in.newPic.height()), s_(in.speed), step_(14 - in.speed) {}

 protected:
  // The closing plain copy: one step, then the end.
  bool FinalCopy(QImage& screen, int& pause) {
    if (copied_) return false;
    copied_ = true;
    PlainCopy(screen, nw_);
    pause = 0;
    return true;
  }
  QImage nw_;
  int w_, h_, s_, step_;
  bool copied_ = false;
};

class TPlainCopy : public TEffectBase {
 public:
  using TEffectBase::TEffectBase;
  bool Step(QImage& screen, int& pause) override { return FinalCopy(screen, pause); }
};

class TDissolve : public TEffectBase {
 public:
  TDissolve(const TransitionInput& in, const uint8_t (*masks)[8]) : TEffectBase(in), masks_(masks) {}
  bool Step(QImage& screen, int& pause) override {
    if (k_ >= 8) return false;
    RevealMasked(screen, nw_, masks_[k_++]);
    pause = s_ * 10;
    return true;
  }

 private:
  const uint8_t (*masks_)[8];
  int k_ = 0;
};

// Slides: the old content moves out while the new picture follows its
// edge in. Slide Left needs no closing copy: its last step draws the whole
// new picture.
class TSlide : public TEffectBase {
 public:
  TSlide(const TransitionInput& in, int fx) : TEffectBase(in), fx_(fx) {
    pos_ = fx == fxSlideLeft ? w_ : fx == fxSlideUp ? h_ : 0;
  }
  bool Step(QImage& screen, int& pause) override {
    switch (fx_) {
      case fxSlideLeft: {
        if (pos_ <= 0) return false;
        const int n = std::max(0, pos_ - step_);
        Scroll(screen, n - pos_, 0);
        pos_ = n;
        DrawShifted(screen, nw_, pos_, 0, QRect(pos_, 0, w_ - pos_, h_));
        pause = s_ + 2;
        return true;
      }
      case fxSlideRight: {
        if (pos_ >= w_) return FinalCopy(screen, pause);
        const int n = std::min(w_, pos_ + step_);
        Scroll(screen, n - pos_, 0);
        pos_ = n;
        DrawShifted(screen, nw_, pos_ - w_, 0, QRect(0, 0, pos_, h_));
        pause = s_ + 2;
        return true;
      }
      case fxSlideUp: {
        if (pos_ <= 0) return FinalCopy(screen, pause);
        const int n = std::max(0, pos_ - step_);
        Scroll(screen, 0, n - pos_);
        pos_ = n;
        DrawShifted(screen, nw_, 0, pos_, QRect(0, pos_, w_, h_ - pos_));
        pause = s_ + 3;
        return true;
      }
      default: {  // Slide Down
        if (pos_ >= h_) return FinalCopy(screen, pause);
        const int n = std::min(h_, pos_ + step_);
        Scroll(screen, 0, n - pos_);
        pos_ = n;
        DrawShifted(screen, nw_, 0, pos_ - h_, QRect(0, 0, w_, pos_));
        pause = s_ + 2;
        return true;
      }
    }
  }

 private:
  int fx_;
  int pos_;
};

// Explode, Implode, Circle and Grow: a rectangle growing from the centre
// (shrinking to it for Implode) by h = max(1, width / (height / step))
// sideways and `step` up and down. A rectangle lower than one step makes
// that quotient 0: those draw a plain copy instead.
class TCentre : public TEffectBase {
 public:
  TCentre(const TransitionInput& in, int fx) : TEffectBase(in), fx_(fx) {
    const int q = step_ > 0 ? h_ / step_ : 0;
    plain_ = q == 0;
    dx_ = plain_ ? 1 : std::max(1, w_ / q);
    if (fx == fxImplode) {
      box_ = QRect(0, 0, w_, h_);
    } else {
      box_ = QRect(w_ / 2, h_ / 2, 0, 0);
    }
    limit_ = fx == fxCircle ? QRect(-(w_ / 4), -(h_ / 4), w_ + 2 * (w_ / 4), h_ + 2 * (h_ / 4)) : QRect(0, 0, w_, h_);
  }
  bool Step(QImage& screen, int& pause) override {
    if (plain_) return FinalCopy(screen, pause);
    if (done_) return false;
    pause = s_;
    if (fx_ == fxImplode) {
      box_.adjust(dx_, step_, -dx_, -step_);
      if (box_.width() <= 0 || box_.height() <= 0) {
        PlainCopy(screen, nw_);
        done_ = true;
      } else {
        RevealOutside(screen, nw_, box_);
      }
      return true;
    }
    box_.adjust(-dx_, -step_, dx_, step_);
    box_ &= limit_;
    if (box_ == limit_) done_ = true;
    if (fx_ == fxCircle && done_)
      // On a small rectangle the quarter added on each side rounds down
      // and the last ellipse can miss the corners: the last step shows all.
      PlainCopy(screen, nw_);
    else if (fx_ == fxCircle)
      RevealEllipse(screen, nw_, box_);
    else if (fx_ == fxGrow)
      DrawScaled(screen, nw_, nw_.rect(), box_);
    else
      Reveal(screen, nw_, box_);
    return true;
  }

 private:
  int fx_;
  bool plain_ = false, done_ = false;
  int dx_;
  QRect box_, limit_;
};

// Weaves: 10-pixel rows (columns) filling alternately from either side.
class TWeave : public TEffectBase {
 public:
  TWeave(const TransitionInput& in, bool horizontal) : TEffectBase(in), horizontal_(horizontal) {
    lanes_ = std::max(1, (horizontal ? h_ : w_) / 10) + 1;
  }
  bool Step(QImage& screen, int& pause) override {
    const int along = horizontal_ ? w_ : h_;
    if (k_ * 10 >= along) return false;
    for (int i = 0; i < lanes_; ++i) {
      const int p = i % 2 == 0 ? k_ * 10 : along - (k_ + 1) * 10;
      Reveal(screen, nw_, horizontal_ ? QRect(p, i * 10, 10, 10) : QRect(i * 10, p, 10, 10));
    }
    ++k_;
    pause = s_ * 2;
    return true;
  }

 private:
  bool horizontal_;
  int lanes_;
  int k_ = 0;
};

// Splits: a band centred on the rectangle widening on both sides.
class TSplit : public TEffectBase {
 public:
  TSplit(const TransitionInput& in, bool horizontal)
      : TEffectBase(in), horizontal_(horizontal), d_(horizontal ? (10 - in.speed) / 2 + 4 : 14 - in.speed) {}
  bool Step(QImage& screen, int& pause) override {
    if (done_) return false;
    ++k_;
    const int along = horizontal_ ? w_ : h_;
    const int c = along / 2;
    const int lo = std::max(0, c - k_ * d_), hi = std::min(along, c + k_ * d_);
    Reveal(screen, nw_, horizontal_ ? QRect(lo, 0, hi - lo, h_) : QRect(0, lo, w_, hi - lo));
    done_ = lo == 0 && hi == along;
    pause = s_ * 2;
    return true;
  }

 private:
  bool horizontal_;
  int d_;
  int k_ = 0;
  bool done_ = false;
};

// Wipes: a band from one edge growing by `step`.
class TWipe : public TEffectBase {
 public:
  TWipe(const TransitionInput& in, int fx) : TEffectBase(in), fx_(fx) {}
  bool Step(QImage& screen, int& pause) override {
    if (done_) return false;
    ++k_;
    const int along = fx_ == fxWipeLeft || fx_ == fxWipeRight ? w_ : h_;
    const int n = std::min(along, k_ * step_);
    switch (fx_) {
      case fxWipeLeft: Reveal(screen, nw_, QRect(w_ - n, 0, n, h_)); break;
      case fxWipeRight: Reveal(screen, nw_, QRect(0, 0, n, h_)); break;
      case fxWipeUp: Reveal(screen, nw_, QRect(0, h_ - n, w_, n)); break;
      default: Reveal(screen, nw_, QRect(0, 0, w_, n)); break;
    }
    done_ = n >= along;
    pause = s_ + 2;
    return true;
  }

 private:
  int fx_;
  int k_ = 0;
  bool done_ = false;
};

// Blocks: 8 x 8 blocks in a random order (a fixed seed, so runs repeat),
// ten to a step.
class TBlocks : public TEffectBase {
 public:
  TBlocks(const TransitionInput& in) : TEffectBase(in) {
    cols_ = (w_ + 7) / 8;
    const int rows = (h_ + 7) / 8;
    order_.resize(static_cast<size_t>(cols_) * rows);
    std::iota(order_.begin(), order_.end(), 0);
    std::minstd_rand rng(in.seed ? in.seed : 1);
    for (size_t i = order_.size(); i > 1; --i) std::swap(order_[i - 1], order_[rng() % i]);
    left_ = order_.size();
  }
  bool Step(QImage& screen, int& pause) override {
    while (left_ > 0) {
      const size_t remaining = left_--;
      const int b = order_[order_.size() - remaining];
      Reveal(screen, nw_, QRect((b % cols_) * 8, (b / cols_) * 8, 8, 8));
      if (remaining % 10 == 0) {
        pause = s_ + 1;
        return true;
      }
    }
    return FinalCopy(screen, pause);
  }

 private:
  std::vector<int> order_;
  size_t left_;
  int cols_;
};

// Checkerboard: two passes over the rows of 8 x 8 blocks, the first
// revealing the blocks whose column and row (from 1) are both odd or both
// even, the second the others.
class TCheckerboard : public TEffectBase {
 public:
  using TEffectBase::TEffectBase;
  bool Step(QImage& screen, int& pause) override {
    const int rows = (h_ + 7) / 8, cols = (w_ + 7) / 8;
    if (k_ >= 2 * rows) return FinalCopy(screen, pause);
    const int pass = k_ / rows, row = k_ % rows + 1;
    for (int col = 1; col <= cols; ++col)
      if (((col % 2) == (row % 2)) == (pass == 0)) Reveal(screen, nw_, QRect((col - 1) * 8, (row - 1) * 8, 8, 8));
    ++k_;
    pause = s_ + 1;
    return true;
  }

 private:
  int k_ = 0;
};

class TFade : public TEffectBase {
 public:
  using TEffectBase::TEffectBase;
  bool Step(QImage& screen, int& pause) override {
    if (k_ >= 7) return FinalCopy(screen, pause);
    Blend(screen, nw_, 32 * ++k_);
    pause = s_ * 10;
    return true;
  }

 private:
  int k_ = 0;
};

class TTransparentCopy : public TEffectBase {
 public:
  TTransparentCopy(const TransitionInput& in) : TEffectBase(in), region_(in.region) {}
  bool Step(QImage& screen, int& pause) override {
    if (region_.isEmpty()) return FinalCopy(screen, pause);
    if (copied_) return false;
    copied_ = true;
    for (const QRect& r : region_) Reveal(screen, nw_, r);
    pause = 0;
    return true;
  }

 private:
  QRegion region_;
};

// Page Turn: the old page's half folds toward the centre over the new
// page, then the new page's other half unfolds from the centre.
class TPageTurn : public TEffectBase {
 public:
  TPageTurn(const TransitionInput& in) : TEffectBase(in), old_(in.oldPic), forward_(in.direction >= 0) {
    half_ = w_ / 2;
    // At least a pixel per step: a rectangle narrower than 2 x (speed + 10)
    // would otherwise never finish.
    b_ = std::max(1, half_ / (s_ + 10));
    p_ = (s_ + 10) * 2;
    edge_ = forward_ ? w_ : 0;
  }
  bool Step(QImage& screen, int& pause) override {
    if (phase_ == 2) return false;
    if (phase_ == 0) {
      if (forward_) {
        edge_ = std::max(half_, edge_ - b_);
        DrawScaled(screen, old_, QRect(half_, 0, w_ - half_, h_), QRect(half_, 0, edge_ - half_, h_));
        Reveal(screen, nw_, QRect(edge_, 0, w_ - edge_, h_));
        if (edge_ == half_) Fold();
      } else {
        edge_ = std::min(half_, edge_ + b_);
        DrawScaled(screen, old_, QRect(0, 0, half_, h_), QRect(edge_, 0, half_ - edge_, h_));
        Reveal(screen, nw_, QRect(0, 0, edge_, h_));
        if (edge_ == half_) Fold();
      }
      pause = p_;
      p_ -= 2;
      return true;
    }
    if (forward_) {
      edge_ = std::max(0, edge_ - b_);
      DrawScaled(screen, nw_, QRect(0, 0, half_, h_), QRect(edge_, 0, half_ - edge_, h_));
      if (edge_ == 0) phase_ = 2;
    } else {
      edge_ = std::min(w_, edge_ + b_);
      DrawScaled(screen, nw_, QRect(half_, 0, w_ - half_, h_), QRect(half_, 0, edge_ - half_, h_));
      if (edge_ == w_) phase_ = 2;
    }
    p_ += 2;
    pause = p_;
    return true;
  }

 private:
  void Fold() {
    phase_ = 1;
    edge_ = half_;
  }
  QImage old_;
  bool forward_;
  int half_, b_, p_, edge_;
  int phase_ = 0;
};

QImage AsRgb32(const QImage& img, QSize size) {
  QImage out = img.format() == QImage::Format_RGB32 ? img : img.convertToFormat(QImage::Format_RGB32);
  if (size.isValid() && out.size() != size) {
    QImage fitted(size, QImage::Format_RGB32);
    fitted.fill(Qt::black);
    QPainter p(&fitted);
    p.drawImage(0, 0, out);
    p.end();
    out = fitted;
  }
  return out;
}

struct PlugInEffect {
  AnsiString name;
  int number;
  PlugInEffectFn fn;
};

std::mutex& PlugInLock() {
  static std::mutex m;
  return m;
}
std::vector<PlugInEffect>& PlugInEffects() {
  static std::vector<PlugInEffect> list;
  return list;
}

}  // namespace

int EffectNumber(std::string_view name) {
  for (int i = 0; i < kEffectCount; ++i)
    if (SameTextInvariant(name, kEffectNames[i])) return i;
  return -1;
}

const char* EffectName(int number) { return number >= 0 && number < kEffectCount ? kEffectNames[number] : ""; }

int EffectSpeed(std::string_view options) {
  int32_t v = 0;
  if (!StrToIntStrict(TrimView(options), v)) return 5;
  return std::clamp(v, 0, 10);
}

std::unique_ptr<TTransitionEffect> MakeTransitionEffect(int number, const TransitionInput& given) {
  TransitionInput in = given;
  in.speed = std::clamp(in.speed, 0, 10);
  const QSize size = !in.oldPic.isNull() ? in.oldPic.size() : in.newPic.size();
  in.newPic = AsRgb32(in.newPic, size);
  in.oldPic = in.oldPic.isNull() ? in.newPic : AsRgb32(in.oldPic, size);
  switch (number) {
    case fxDissolve: return std::make_unique<TDissolve>(in, kDissolveMasks);
    case fxBlockDissolve: return std::make_unique<TDissolve>(in, kBlockDissolveMasks);
    case fxSlideLeft:
    case fxSlideRight:
    case fxSlideUp:
    case fxSlideDown: return std::make_unique<TSlide>(in, number);
    case fxExplode:
    case fxImplode:
    case fxCircle:
    case fxGrow: return std::make_unique<TCentre>(in, number);
    case fxWeaveH: return std::make_unique<TWeave>(in, true);
    case fxWeaveV: return std::make_unique<TWeave>(in, false);
    case fxSplitH: return std::make_unique<TSplit>(in, true);
    case fxSplitV: return std::make_unique<TSplit>(in, false);
    case fxWipeLeft:
    case fxWipeRight:
    case fxWipeUp:
    case fxWipeDown: return std::make_unique<TWipe>(in, number);
    case fxBlocks: return std::make_unique<TBlocks>(in);
    case fxCheckerboard: return std::make_unique<TCheckerboard>(in);
    case fxFade: return std::make_unique<TFade>(in);
    case fxTransparent: return std::make_unique<TTransparentCopy>(in);
    case fxPageTurn: return std::make_unique<TPageTurn>(in);
    default: return std::make_unique<TPlainCopy>(in);
  }
}

void RegisterPlugInEffect(std::string_view name, int number, PlugInEffectFn fn) {
  std::lock_guard<std::mutex> lock(PlugInLock());
  auto& list = PlugInEffects();
  for (auto& e : list)
    if (SameTextInvariant(e.name, name)) {
      e.number = number;
      e.fn = std::move(fn);
      return;
    }
  list.push_back({AnsiString(name), number, std::move(fn)});
}

void ClearPlugInEffects() {
  std::lock_guard<std::mutex> lock(PlugInLock());
  PlugInEffects().clear();
}

bool FindPlugInEffect(std::string_view name, int& number, PlugInEffectFn& fn) {
  std::lock_guard<std::mutex> lock(PlugInLock());
  for (const auto& e : PlugInEffects())
    if (SameTextInvariant(e.name, name)) {
      number = e.number;
      fn = e.fn;
      return true;
    }
  return false;
}

}  // namespace vl
