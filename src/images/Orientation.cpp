// Turning a decoded picture upright by the orientation a file records
// (the TIFF and Exif values 1 to 8).
#include <cstring>

#include "images/Decoders.h"

namespace vl {

bool Reorient(TVLBitmap& bitmap, int orientation) {
  if (orientation < 2 || orientation > 8 || bitmap.IsNull()) return true;
  const int w = bitmap.Width(), h = bitmap.Height();
  const bool swap = orientation >= 5;
  const int dw = swap ? h : w, dh = swap ? w : h;
  const TVLPixelFormat format = bitmap.Format();
  TVLBitmap out;
  if (!out.Allocate(dw, dh, format)) return false;
  if (format == TVLPixelFormat::Mono) out.Image().setColorTable(bitmap.Image().colorTable());
  const int bytes = format == TVLPixelFormat::Rgb24 ? 3 : 1;
  for (int y = 0; y < dh; ++y) {
    uint8_t* d = out.ScanLine(y);
    for (int x = 0; x < dw; ++x) {
      // Where the pixel shown at (x, y) is stored.
      int sx, sy;
      switch (orientation) {
        case 2: sx = w - 1 - x, sy = y; break;
        case 3: sx = w - 1 - x, sy = h - 1 - y; break;
        case 4: sx = x, sy = h - 1 - y; break;
        case 5: sx = y, sy = x; break;
        case 6: sx = y, sy = h - 1 - x; break;
        case 7: sx = w - 1 - y, sy = h - 1 - x; break;
        default: sx = w - 1 - y, sy = x; break;  // 8
      }
      const uint8_t* s = bitmap.ScanLine(sy);
      if (format == TVLPixelFormat::Mono) {
        if ((s[sx >> 3] >> (7 - (sx & 7))) & 1) d[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      } else {
        memcpy(d + size_t(x) * bytes, s + size_t(sx) * bytes, bytes);
      }
    }
  }
  out.Full = bitmap.Full;
  bitmap = std::move(out);
  return true;
}

}  // namespace vl
