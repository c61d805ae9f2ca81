#pragma once
// Shared body of the picture decoder fuzz targets: a header read, a full
// decode, then what the player does next with a picture (alpha from a colour
// key, a blend onto a canvas), so damage that survives decoding is caught
// where it would be used.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "images/Decoders.h"

namespace vlfuzz {

// Pictures larger than this are only header-read: decoding a legal but huge
// picture of garbage takes seconds under the sanitizers and finds nothing new.
constexpr int64_t kMaxFuzzPixels = int64_t{4} << 20;

inline int FuzzDecoder(vl::DecoderFn decode, const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vl::TIOParamsVals params;
  vl::TVLBitmap bitmap, alpha;
  if (!decode(bytes, params, bitmap, alpha, true)) return 0;
  if (!bitmap.IsNull() || !alpha.IsNull()) __builtin_trap();  // a header read allocates nothing
  if (int64_t(params.Width) * params.Height > kMaxFuzzPixels) return 0;
  params = vl::TIOParamsVals();
  if (!decode(bytes, params, bitmap, alpha, false)) return 0;
  if (bitmap.IsNull()) __builtin_trap();
  if (!alpha.IsNull() && (alpha.Width() != bitmap.Width() || alpha.Height() != bitmap.Height())) __builtin_trap();

  vl::TVLImageView view;
  view.LoadFromMemory(bytes);
  if (view.BadImage()) return 0;
  view.AlphaFromColor(vl::kOwnTransparentColor);
  QImage canvas(64, 64, QImage::Format_RGB32);
  canvas.fill(0);
  vl::BlendInto(canvas, QPoint(-3, -5), view.Bitmap(), view.AlphaChannel(), 200);
  return 0;
}

}  // namespace vlfuzz
