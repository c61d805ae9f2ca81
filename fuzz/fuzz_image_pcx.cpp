// libFuzzer target: the PCX decoder on arbitrary bytes, fully and header only.
#include <cstdlib>
#include <string_view>

#include "images/Decoders.h"

static void Run(std::string_view data, bool headerOnly, int index) {
  vl::TIOParamsVals params;
  params.GifImageIndex = index;
  params.IcoImageIndex = index;
  vl::TVLBitmap bitmap, alpha;
  if (!vl::DecodePcx(data, params, bitmap, alpha, headerOnly) || headerOnly) return;
  // A picture that loads is whole: its size as reported, alpha of the same size.
  if (bitmap.IsNull() || bitmap.Width() != params.Width || bitmap.Height() != params.Height) abort();
  if (!alpha.IsNull() && (alpha.Width() != bitmap.Width() || alpha.Height() != bitmap.Height() ||
                          alpha.Format() != vl::TVLPixelFormat::Gray8))
    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Run(bytes, false, 0);
  Run(bytes, true, 0);
  Run(bytes, false, 1);
  return 0;
}
