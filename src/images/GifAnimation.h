#pragma once
// An animated GIF played frame by frame. Load walks the file once and keeps
// where every frame lies with its delay and disposal; frames are decoded
// only when they are shown, one at a time, onto one canvas of the logical
// screen's size, so a GIF of thousands of large frames costs one canvas of
// memory and each step costs one frame's decoding.
//
//   TGifAnimation gif;
//   if (!gif.Load(bytes)) ...;        // damaged, or not a GIF
//   gif.Rewind();                      // frame 0 on the canvas
//   gif.Advance();                     // the next frame (wraps to 0)
//   painter.drawImage(at, gif.Canvas());
//
// Nothing here keeps time: the caller asks for the next frame when the
// current one's delay (DelayMs) has passed on its clock.
#include <QImage>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "images/VL_ImageLib.h"

namespace vl {

// Frames after this many are not shown.
constexpr int kMaxGifFrames = 65536;
// A delay below two hundredths of a second (0 or 1, which many GIFs carry
// meaning "as fast as you can") is shown as this many milliseconds, so such
// a GIF neither spins nor flickers.
constexpr int kGifShortDelayMs = 100;

class TGifAnimation {
 public:
  TGifAnimation() = default;

  // Reads `data` (kept): false for data that is not a GIF, whose logical
  // screen is beyond the picture caps, or whose first frame does not decode.
  // A damaged block after the first frame ends the animation there.
  bool Load(std::string data);
  void Clear();
  bool Empty() const { return frames_.empty(); }

  int Width() const { return width_; }
  int Height() const { return height_; }
  int FrameCount() const { return static_cast<int>(frames_.size()); }
  // The frame on the canvas (0-based).
  int CurrentFrame() const { return current_; }
  // How long frame `i` stays, in milliseconds (short delays raised, above).
  int DelayMs(int i) const;
  // The loop count the file asks for (its application extension): 0 for
  // ever, -1 when it says nothing. The players of this program decide
  // themselves; it is here for completeness.
  int FileLoopCount() const { return fileLoops_; }

  // Shows frame 0 on a cleared canvas.
  void Rewind();
  // Shows the next frame; after the last, frame 0 again. Returns the frame
  // now shown.
  int Advance();
  // Shows frame `i` (composed from the start when it lies behind).
  void ShowFrame(int i);
  // The logical screen with the current frame composed onto it; pixels no
  // frame has covered are transparent. Format_ARGB32_Premultiplied, or
  // Format_RGB32 when the animation is opaque.
  const QImage& Canvas() const { return canvas_; }
  // No pixel of any frame is ever transparent: the first frame covers the
  // screen and no frame has a transparent colour or clears its area.
  bool Opaque() const { return opaque_; }

 private:
  struct Frame {
    size_t descriptor = 0;  // offset of the image descriptor's first byte after 0x2C
    int left = 0, top = 0, width = 0, height = 0;
    int delayCs = 0;
    int disposal = 0;
    int transparent = -1;
    bool interlaced = false;
    int tableOffset = -1;  // local colour table offset, or -1 for the global one
    int tableSize = 0;
    size_t lzw = 0;  // offset of the minimum code size byte
  };
  // Disposes of the frame on the canvas (as it asks), then draws frame `i`.
  void Compose(int i);
  bool DrawFrame(const Frame& f);

  std::string data_;
  std::vector<Frame> frames_;
  std::vector<QRgb> global_;
  int width_ = 0, height_ = 0;
  int fileLoops_ = -1;
  int current_ = -1;
  bool opaque_ = false;
  QImage canvas_;
  QImage saved_;  // what a "restore to previous" frame covered
  std::vector<uint8_t> indices_;
  std::string lzwBytes_;
};

}  // namespace vl
