// Animated GIFs: one walk over the blocks to index the frames, then each
// frame decoded when it is shown and composed onto the logical screen with
// the disposal its predecessor asked for.
#include "images/GifAnimation.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

#include "images/ByteReader.h"
#include "images/Decoders.h"
#include "images/Lzw.h"

namespace vl {

namespace {

constexpr uint8_t kExtension = 0x21;
constexpr uint8_t kImage = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGraphicControl = 0xF9;
constexpr uint8_t kApplication = 0xFF;

// Passes over a chain of sub-blocks; false when the data ends first.
bool SkipSubBlocks(TByteReader& in, std::string* out = nullptr) {
  for (;;) {
    const uint8_t n = in.U8();
    if (in.Failed()) return false;
    if (n == 0) return true;
    std::string_view b = in.Bytes(n);
    if (in.Failed()) return false;
    if (out) out->append(b);
  }
}

void ReadTable(std::string_view data, size_t at, int count, std::vector<QRgb>& table) {
  table.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const auto* p = reinterpret_cast<const unsigned char*>(data.data() + at + 3 * static_cast<size_t>(i));
    table[i] = qRgb(p[0], p[1], p[2]);
  }
}

}  // namespace

void TGifAnimation::Clear() {
  data_.clear();
  frames_.clear();
  global_.clear();
  width_ = height_ = 0;
  fileLoops_ = -1;
  current_ = -1;
  opaque_ = false;
  canvas_ = QImage();
  saved_ = QImage();
  indices_.clear();
  indices_.shrink_to_fit();
}

bool TGifAnimation::Load(std::string data) {
  Clear();
  data_ = std::move(data);
  TByteReader in(data_);
  std::string_view sig = in.Bytes(6);
  if (in.Failed() || sig.substr(0, 3) != "GIF") return Clear(), false;
  width_ = in.U16();
  height_ = in.U16();
  const uint8_t screenFlags = in.U8();
  in.U8();  // background index: the canvas starts transparent, as browsers show it
  in.U8();  // aspect ratio
  if (in.Failed()) return Clear(), false;
  if (screenFlags & 0x80) {
    const int n = 2 << (screenFlags & 7);
    const size_t at = in.Pos();
    if (!in.Skip(static_cast<size_t>(n) * 3)) return Clear(), false;
    ReadTable(data_, at, n, global_);
  }

  bool gce = false;
  int gceFlags = 0, gceDelay = 0, gceTransparent = 0;
  while (static_cast<int>(frames_.size()) < kMaxGifFrames) {
    const uint8_t block = in.U8();
    if (in.Failed() || block == kTrailer) break;
    if (block == kExtension) {
      const uint8_t label = in.U8();
      std::string body;
      const bool wanted = label == kGraphicControl || label == kApplication;
      if (!SkipSubBlocks(in, wanted ? &body : nullptr)) break;
      if (label == kGraphicControl && body.size() >= 4) {
        gce = true;
        gceFlags = static_cast<uint8_t>(body[0]);
        gceDelay = static_cast<uint8_t>(body[1]) | (static_cast<uint8_t>(body[2]) << 8);
        gceTransparent = static_cast<uint8_t>(body[3]);
      } else if (label == kApplication && body.size() >= 14 &&
                 (body.compare(0, 11, "NETSCAPE2.0") == 0 || body.compare(0, 11, "ANIMEXTS1.0") == 0) &&
                 body[11] == 1) {
        fileLoops_ = static_cast<uint8_t>(body[12]) | (static_cast<uint8_t>(body[13]) << 8);
      }
      continue;
    }
    if (block != kImage) break;  // not a GIF block: the rest is damaged
    Frame f;
    f.descriptor = in.Pos();
    f.left = in.U16();
    f.top = in.U16();
    f.width = in.U16();
    f.height = in.U16();
    const uint8_t flags = in.U8();
    if (in.Failed()) break;
    f.interlaced = (flags & 0x40) != 0;
    if (flags & 0x80) {
      f.tableSize = 2 << (flags & 7);
      f.tableOffset = static_cast<int>(in.Pos());
      if (!in.Skip(static_cast<size_t>(f.tableSize) * 3)) break;
    }
    f.lzw = in.Pos();
    in.U8();  // minimum code size
    if (!SkipSubBlocks(in)) {
      // A last frame cut short still shows what arrived.
      if (in.Pos() <= f.lzw + 1) break;
    }
    if (gce) {
      f.delayCs = gceDelay;
      f.disposal = (gceFlags >> 2) & 7;
      f.transparent = (gceFlags & 1) ? gceTransparent : -1;
    }
    gce = false;
    if (f.width > 0 && f.height > 0 && ImageSizeAllowed(f.width, f.height, 8)) frames_.push_back(f);
    if (in.Failed()) break;
  }
  if (frames_.empty()) return Clear(), false;
  // A logical screen of 0 (some writers) is taken from the first frame.
  if (width_ <= 0 || height_ <= 0) {
    width_ = frames_[0].left + frames_[0].width;
    height_ = frames_[0].top + frames_[0].height;
  }
  if (!ImageSizeAllowed(width_, height_, 32)) return Clear(), false;
  opaque_ = frames_[0].left == 0 && frames_[0].top == 0 && frames_[0].width >= width_ &&
            frames_[0].height >= height_;
  for (const Frame& f : frames_)
    if (f.transparent >= 0 || f.disposal == 2) opaque_ = false;
  // An opaque animation is copied where it is drawn, not blended.
  canvas_ = QImage(width_, height_, opaque_ ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
  if (canvas_.isNull()) return Clear(), false;
  current_ = -1;
  canvas_.fill(Qt::transparent);
  current_ = 0;
  if (!DrawFrame(frames_[0])) return Clear(), false;
  return true;
}

int TGifAnimation::DelayMs(int i) const {
  if (i < 0 || i >= FrameCount()) return kGifShortDelayMs;
  const int cs = frames_[static_cast<size_t>(i)].delayCs;
  return cs < 2 ? kGifShortDelayMs : cs * 10;
}

void TGifAnimation::Rewind() {
  if (Empty()) return;
  canvas_.fill(Qt::transparent);
  current_ = 0;
  DrawFrame(frames_[0]);
}

int TGifAnimation::Advance() {
  if (Empty()) return -1;
  const int next = current_ + 1;
  if (next >= FrameCount()) {
    Rewind();
  } else {
    Compose(next);
  }
  return current_;
}

void TGifAnimation::ShowFrame(int i) {
  if (Empty()) return;
  i = std::clamp(i, 0, FrameCount() - 1);
  if (i == current_) return;
  if (i < current_) Rewind();
  while (current_ < i) Compose(current_ + 1);
}

void TGifAnimation::Compose(int i) {
  const Frame& prev = frames_[static_cast<size_t>(current_)];
  const QRect prevRect = QRect(prev.left, prev.top, prev.width, prev.height) & canvas_.rect();
  if (prev.disposal == 2) {
    for (int y = prevRect.top(); y <= prevRect.bottom(); ++y)
      std::memset(canvas_.scanLine(y) + 4 * prevRect.left(), 0, 4 * static_cast<size_t>(prevRect.width()));
  } else if (prev.disposal == 3 && !saved_.isNull()) {
    QPainter p(&canvas_);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(prevRect.topLeft(), saved_);
  }
  current_ = i;
  DrawFrame(frames_[static_cast<size_t>(i)]);
}

bool TGifAnimation::DrawFrame(const Frame& f) {
  const QRect area = QRect(f.left, f.top, f.width, f.height) & canvas_.rect();
  saved_ = f.disposal == 3 && !area.isEmpty() ? canvas_.copy(area) : QImage();
  std::vector<QRgb> local;
  if (f.tableOffset >= 0) ReadTable(data_, static_cast<size_t>(f.tableOffset), f.tableSize, local);
  const std::vector<QRgb>& table = f.tableOffset >= 0 ? local : global_;

  TByteReader in(data_);
  in.Seek(f.lzw);
  const int minCode = in.U8();
  if (in.Failed() || minCode < 1 || minCode > 11) return false;
  lzwBytes_.clear();
  SkipSubBlocks(in, &lzwBytes_);
  const size_t count = static_cast<size_t>(f.width) * static_cast<size_t>(f.height);
  // One byte of codes yields at most 2,731 pixels (12-bit codes of 4,096
  // pixels each): shorter data cannot fill the frame, so nothing is
  // allocated for it.
  if (lzwBytes_.empty() || lzwBytes_.size() * 2731 < count) return false;
  indices_.resize(count);
  size_t produced = 0;
  const LzwStatus st = LzwDecode(lzwBytes_, GifLzw(minCode), indices_.data(), count, produced);
  if (st == LzwStatus::BadCode && produced == 0) return false;
  // Whatever arrived is shown; the rest of a short frame keeps what lay
  // below (its pixels read as transparent).
  bool holes = f.transparent >= 0;
  if (produced < count) {
    std::fill(indices_.begin() + static_cast<ptrdiff_t>(produced), indices_.end(), uint8_t{0});
    holes = true;
  }
  // Every index's colour: alpha 0 for the transparent one (those pixels
  // keep what lies below), black for an index the table lacks.
  QRgb lut[256];
  const int tableSize = static_cast<int>(table.size());
  for (int i = 0; i < 256; ++i) lut[i] = i < tableSize ? table[static_cast<size_t>(i)] | 0xFF000000u : 0xFF000000u;
  if (f.transparent >= 0 && f.transparent < 256) lut[f.transparent] = 0;
  static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  int pass = 0, y = 0;
  for (int row = 0; row < f.height; ++row) {
    const int cy = f.top + y;
    if (cy >= 0 && cy < height_) {
      const uint8_t* src = indices_.data() + static_cast<size_t>(row) * f.width;
      QRgb* dst = reinterpret_cast<QRgb*>(canvas_.scanLine(cy));
      const int x0 = std::max(0, -f.left), x1 = std::min(f.width, width_ - f.left);
      const bool cut = static_cast<size_t>(row + 1) * f.width > produced;
      QRgb* out = dst + f.left;
      if (!holes) {
        for (int x = x0; x < x1; ++x) out[x] = lut[src[x]];
      } else {
        const int end = cut ? std::min<int>(x1, static_cast<int>(produced - std::min(produced, static_cast<size_t>(row) * f.width))) : x1;
        for (int x = x0; x < end; ++x)
          if (const QRgb c = lut[src[x]]) out[x] = c;
      }
    }
    if (f.interlaced) {
      y += kStep[pass];
      while (y >= f.height && pass < 3) {
        ++pass;
        y = kStart[pass];
      }
    } else {
      ++y;
    }
  }
  return true;
}

}  // namespace vl
