#pragma once
// Shared body of the GIF, TIFF, PCX and ICO fuzz targets: a full decode, a
// header read and a decode of the second image (frame or icon entry), each
// checked for a whole result.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "images/Decoders.h"

namespace vlfuzz {

inline void DecodeRound(vl::DecoderFn decode, std::string_view data, bool headerOnly, int index) {
  vl::TIOParamsVals params;
  params.GifImageIndex = index;
  params.IcoImageIndex = index;
  vl::TVLBitmap bitmap, alpha;
  if (!decode(data, params, bitmap, alpha, headerOnly) || headerOnly) return;
  // A picture that loads is whole: its size as reported, alpha of the same size.
  if (bitmap.IsNull() || bitmap.Width() != params.Width || bitmap.Height() != params.Height) abort();
  if (!alpha.IsNull() && (alpha.Width() != bitmap.Width() || alpha.Height() != bitmap.Height() ||
                          alpha.Format() != vl::TVLPixelFormat::Gray8))
    abort();
}

inline int FuzzDecoderRounds(vl::DecoderFn decode, const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  DecodeRound(decode, bytes, false, 0);
  DecodeRound(decode, bytes, true, 0);
  DecodeRound(decode, bytes, false, 1);
  return 0;
}

}  // namespace vlfuzz
