// WMF and EMF. Linux has no metafile service and we do not render metafiles:
// the header gives the size (so a header-only read can answer how large the
// picture is), and a full decode is refused, which loads the bad picture.
#include "images/Decoders.h"

namespace vl {

bool DecodeMeta(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
                bool headerOnly) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  int64_t w = 0, h = 0;
  if (n > 100 && GetU32LE(p) == 1 && GetU32LE(p + 40) == 0x464D4520) {
    // EMF: the bounds rectangle in device pixels, inclusive.
    auto i32 = [&](size_t at) { return static_cast<int64_t>(static_cast<int32_t>(GetU32LE(p + at))); };
    w = i32(16) - i32(8) + 1;
    h = i32(20) - i32(12) + 1;
    params.FileType = TIOFileType::Emf;
  } else if (n > 22 && GetU32LE(p) == 0x9AC6CDD7) {
    // Placeable WMF: the bounding box in logical units and units per inch.
    auto i16 = [&](size_t at) { return static_cast<int64_t>(static_cast<int16_t>(GetU16LE(p + at))); };
    int64_t inch = GetU16LE(p + 14);
    if (inch == 0) return false;
    w = (i16(10) - i16(6)) * 96 / inch;
    h = (i16(12) - i16(8)) * 96 / inch;
  } else {
    return false;
  }
  if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide) return false;
  params.Width = static_cast<int>(w - 1);
  params.Height = static_cast<int>(h - 1);
  if (!headerOnly) return false;
  return true;
}

}  // namespace vl
