// BMP, our own decoder: the core (OS/2 1), Windows 3 and later, and OS/2 2
// info headers; 1, 4, 8, 16, 24 and 32 bits per pixel; RLE4, RLE8 and bit
// fields; bottom-up and top-down rows. 1-bit pictures stay 1-bit with their
// two colours, everything else becomes 24-bit. A 32-bit picture whose header
// names an alpha mask gives an alpha channel when that alpha is not all zero
// (writers that do not use the alpha byte leave it 0) and not all opaque.
#include <algorithm>
#include <array>
#include <cstring>

#include "images/Decoders.h"

namespace vl {

namespace {

struct Mask {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  void Set(uint32_t m) {
    mask = m;
    shift = bits = 0;
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
  }
  uint8_t Get(uint32_t v) const {
    if (!bits) return 0;
    uint32_t x = (v & mask) >> shift;
    if (bits == 8) return static_cast<uint8_t>(x);
    if (bits > 8) return static_cast<uint8_t>(x >> (bits - 8));
    uint32_t max = (1u << bits) - 1;
    return static_cast<uint8_t>((x * 255 + max / 2) / max);
  }
};

struct BmpInfo {
  int64_t width = 0, height = 0;
  bool topDown = false;
  int bpp = 0;
  uint32_t compression = 0;
  size_t pixelOffset = 0;
  std::array<TRGB, 256> palette{};
  int paletteCount = 0;
  Mask r, g, b, a;
  bool bitfields = false;
};

enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };

bool ParseHeader(std::string_view data, TIOParamsVals& params, BmpInfo& bi) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  if (n < 14 + 12 || p[0] != 'B' || p[1] != 'M') return false;
  const uint32_t offBits = GetU32LE(p + 10);
  const uint32_t hsize = GetU32LE(p + 14);
  if (hsize < 12 || hsize > n - 14) return false;
  const unsigned char* h = p + 14;
  size_t paletteStart = 14 + hsize;
  int entryBytes = 4;
  uint32_t clrUsed = 0;
  if (hsize == 12) {
    params.BmpHeaderKind = TBmpHeaderKind::Core;
    bi.width = GetU16LE(h + 4);
    bi.height = static_cast<int16_t>(GetU16LE(h + 6));
    bi.bpp = GetU16LE(h + 10);
    entryBytes = 3;
  } else {
    if (hsize < 16) return false;
    // OS/2 2 headers may be cut anywhere after the first 16 bytes; the
    // missing fields are 0.
    unsigned char hdr[124] = {};
    memcpy(hdr, h, std::min<size_t>(hsize, sizeof hdr));
    if (hsize == 40 || hsize == 52 || hsize == 56) params.BmpHeaderKind = TBmpHeaderKind::Windows3;
    else if (hsize == 108) params.BmpHeaderKind = TBmpHeaderKind::V4;
    else if (hsize >= 124) params.BmpHeaderKind = TBmpHeaderKind::V5;
    else params.BmpHeaderKind = TBmpHeaderKind::Os2v2;
    bi.width = static_cast<int32_t>(GetU32LE(hdr + 4));
    bi.height = static_cast<int32_t>(GetU32LE(hdr + 8));
    bi.bpp = GetU16LE(hdr + 14);
    bi.compression = GetU32LE(hdr + 16);
    uint32_t xppm = GetU32LE(hdr + 24), yppm = GetU32LE(hdr + 28);
    clrUsed = GetU32LE(hdr + 32);
    if (xppm && yppm && xppm < 1000000 && yppm < 1000000) {
      params.DpiX = static_cast<int>(xppm * 0.0254 + 0.5);
      params.DpiY = static_cast<int>(yppm * 0.0254 + 0.5);
    }
    if (params.BmpHeaderKind == TBmpHeaderKind::Os2v2 && bi.compression >= 3) return false;  // Huffman, RLE24
    if (bi.compression == kBitfields || bi.compression == kAlphaBitfields) {
      const unsigned char* m = hdr + 40;
      unsigned char extra[16] = {};
      if (hsize < 52) {
        // The masks follow a 40-byte header.
        size_t count = bi.compression == kAlphaBitfields ? 16 : 12;
        if (paletteStart + count > n) return false;
        memcpy(extra, p + paletteStart, count);
        paletteStart += count;
        m = extra;
      }
      bi.r.Set(GetU32LE(m));
      bi.g.Set(GetU32LE(m + 4));
      bi.b.Set(GetU32LE(m + 8));
      if (bi.compression == kAlphaBitfields || hsize >= 56) bi.a.Set(GetU32LE(m + 12));
      bi.bitfields = true;
    } else if (hsize >= 56 && bi.bpp == 32) {
      // V4/V5 carry an alpha mask even without bit fields.
      bi.a.Set(GetU32LE(hdr + 52));
    }
    params.BmpCompression = static_cast<int>(bi.compression);
  }
  if (bi.height < 0) {
    bi.topDown = true;
    bi.height = -bi.height;
  }
  params.Width = static_cast<int>(std::clamp<int64_t>(bi.width, 0, INT32_MAX));
  params.Height = static_cast<int>(std::clamp<int64_t>(bi.height, 0, INT32_MAX));
  switch (bi.bpp) {
    case 1: case 4: case 8: params.BitsPerSample = bi.bpp; params.SamplesPerPixel = 1; break;
    case 16: case 24: params.BitsPerSample = 8; params.SamplesPerPixel = 3; break;
    case 32:
      params.BitsPerSample = 8;
      params.SamplesPerPixel = bi.a.bits ? 4 : 3;
      params.AlphaReported = bi.a.bits != 0;
      break;
    default: return false;
  }
  switch (bi.compression) {
    case kRgb: break;
    case kRle8: if (bi.bpp != 8 || bi.topDown) return false; break;
    case kRle4: if (bi.bpp != 4 || bi.topDown) return false; break;
    case kBitfields: case kAlphaBitfields: if (bi.bpp != 16 && bi.bpp != 32) return false; break;
    default: return false;
  }
  if (!bi.bitfields) {
    if (bi.bpp == 16) {
      bi.r.Set(0x7C00);
      bi.g.Set(0x03E0);
      bi.b.Set(0x001F);
    } else if (bi.bpp == 32) {
      bi.r.Set(0x00FF0000);
      bi.g.Set(0x0000FF00);
      bi.b.Set(0x000000FF);
    }
  }
  if (bi.width < 1 || bi.height < 1) return false;

  // The colour table: what the header counts, never more than fits before
  // the pixels (or the end of the data).
  if (bi.bpp <= 8) {
    size_t count = (clrUsed && clrUsed < (1u << bi.bpp)) ? clrUsed : (size_t{1} << bi.bpp);
    size_t end = (offBits > paletteStart && offBits <= n) ? offBits : n;
    count = std::min(count, (end - std::min(end, paletteStart)) / entryBytes);
    for (size_t i = 0; i < count; ++i) {
      const unsigned char* e = p + paletteStart + i * entryBytes;
      bi.palette[i] = TRGB{e[2], e[1], e[0]};
    }
    bi.paletteCount = static_cast<int>(count);
    params.ColorMap.assign(bi.palette.begin(), bi.palette.begin() + count);
    paletteStart += count * entryBytes;
  }
  bi.pixelOffset = offBits ? offBits : paletteStart;
  if (bi.pixelOffset >= n) return false;
  return true;
}

// Indices beyond the colour table read black.
inline const TRGB& Pal(const BmpInfo& bi, unsigned i) {
  static const TRGB black{};
  return static_cast<int>(i) < bi.paletteCount ? bi.palette[i] : black;
}

// Walks the RLE stream; with a null bitmap it only checks that the stream
// is sound, so a damaged stream is refused before the picture is allocated.
bool DecodeRle(std::string_view data, const BmpInfo& bi, TVLBitmap* bitmap) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  size_t i = bi.pixelOffset;
  const int w = static_cast<int>(bi.width), h = static_cast<int>(bi.height);
  const bool four = bi.compression == kRle4;
  int x = 0, row = 0;  // row counts from the bottom
  // Writers pad runs to the stored row (whole 32-bit words): pixels there
  // are dropped. A run beyond the stored row is damage.
  const int padded = static_cast<int>(((size_t(w) * bi.bpp + 31) / 32) * 32 / bi.bpp);
  auto put = [&](unsigned idx) -> bool {
    if (x >= padded || row >= h) return false;
    if (x >= w || !bitmap) {
      ++x;
      return true;
    }
    const TRGB& c = Pal(bi, idx);
    uint8_t* d = bitmap->ScanLine(h - 1 - row) + size_t{3} * x;
    d[0] = c.r;
    d[1] = c.g;
    d[2] = c.b;
    ++x;
    return true;
  };
  for (;;) {
    if (i + 2 > n) return false;  // no end-of-picture mark: truncated
    unsigned count = p[i], value = p[i + 1];
    i += 2;
    if (count) {
      for (unsigned k = 0; k < count; ++k) {
        unsigned idx = four ? ((k & 1) ? (value & 0x0F) : (value >> 4)) : value;
        if (!put(idx)) return false;
      }
    } else if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of picture
      return true;
    } else if (value == 2) {  // delta
      if (i + 2 > n) return false;
      x += p[i];
      row += p[i + 1];
      i += 2;
      if (x > w || row > h) return false;
    } else {  // a literal run of `value` pixels, padded to 16 bits
      size_t bytes = four ? (value + 1) / 2 : value;
      if (i + bytes > n) return false;
      for (unsigned k = 0; k < value; ++k) {
        unsigned idx = four ? ((k & 1) ? (p[i + k / 2] & 0x0F) : (p[i + k / 2] >> 4)) : p[i + k];
        if (!put(idx)) return false;
      }
      i += (bytes + 1) & ~size_t{1};
    }
    if (row > h) return false;
    if (row == h) return true;  // every row written; tolerate a missing end mark
  }
}

// Every row must be there (the last one may miss its padding).
bool RowsPresent(std::string_view data, const BmpInfo& bi) {
  const size_t stride = ((size_t(bi.width) * bi.bpp + 31) / 32) * 4;
  const size_t used = (size_t(bi.width) * bi.bpp + 7) / 8;
  return bi.pixelOffset + stride * size_t(bi.height - 1) + used <= data.size();
}

// An encoded run or a literal writes at most 255 pixels in two bytes; end
// of line, delta and end of picture skip pixels without writing them. We
// accept pictures that skip much (up to 4,096 pixels a byte, 32 times the
// densest coding that writes every pixel) but not a few bytes claiming a
// picture of hundreds of megabytes.
constexpr uint64_t kRlePixelsPerByte = 4096;

bool RleStreamPlausible(std::string_view data, const BmpInfo& bi) {
  const uint64_t coded = data.size() - bi.pixelOffset;
  if (uint64_t(bi.width) * uint64_t(bi.height) > coded * kRlePixelsPerByte) return false;
  return DecodeRle(data, bi, nullptr);
}

bool DecodeRows(std::string_view data, const BmpInfo& bi, TVLBitmap& bitmap, TVLBitmap& alpha) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const int w = static_cast<int>(bi.width), h = static_cast<int>(bi.height);
  const size_t stride = ((size_t(w) * bi.bpp + 31) / 32) * 4;
  const size_t used = (size_t(w) * bi.bpp + 7) / 8;
  if (!RowsPresent(data, bi)) return false;
  const bool withAlpha = bi.bpp == 32 && bi.a.bits;
  if (withAlpha && !alpha.Allocate(w, h, TVLPixelFormat::Gray8)) return false;
  bool anyAlpha = false;
  for (int y = 0; y < h; ++y) {
    const unsigned char* s = p + bi.pixelOffset + stride * (bi.topDown ? y : h - 1 - y);
    uint8_t* d = bitmap.ScanLine(y);
    switch (bi.bpp) {
      case 1:
        memcpy(d, s, used);
        break;
      case 4:
        for (int x = 0; x < w; ++x, d += 3) {
          const TRGB& c = Pal(bi, (x & 1) ? (s[x / 2] & 0x0F) : (s[x / 2] >> 4));
          d[0] = c.r; d[1] = c.g; d[2] = c.b;
        }
        break;
      case 8:
        for (int x = 0; x < w; ++x, d += 3) {
          const TRGB& c = Pal(bi, s[x]);
          d[0] = c.r; d[1] = c.g; d[2] = c.b;
        }
        break;
      case 16:
        for (int x = 0; x < w; ++x, d += 3) {
          uint32_t v = GetU16LE(s + 2 * x);
          d[0] = bi.r.Get(v); d[1] = bi.g.Get(v); d[2] = bi.b.Get(v);
        }
        break;
      case 24:
        for (int x = 0; x < w; ++x, d += 3, s += 3) {
          d[0] = s[2]; d[1] = s[1]; d[2] = s[0];
        }
        break;
      case 32: {
        uint8_t* a = withAlpha ? alpha.ScanLine(y) : nullptr;
        for (int x = 0; x < w; ++x, d += 3) {
          uint32_t v = GetU32LE(s + 4 * x);
          d[0] = bi.r.Get(v); d[1] = bi.g.Get(v); d[2] = bi.b.Get(v);
          if (a) {
            a[x] = bi.a.Get(v);
            anyAlpha |= a[x] != 0;
          }
        }
        break;
      }
    }
  }
  if (withAlpha) {
    alpha.UpdateFull();
    if (!anyAlpha || !alpha.Full) alpha.Clear();
  }
  return true;
}

}  // namespace

bool DecodeBmp(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
               bool headerOnly) {
  alpha.Clear();
  BmpInfo bi;
  if (!ParseHeader(data, params, bi)) return false;
  const bool mono = bi.bpp == 1;
  if (!ImageSizeAllowed(bi.width, bi.height, mono ? 1 : 24)) return false;
  if (headerOnly) return true;
  const bool rle = bi.compression == kRle8 || bi.compression == kRle4;
  // The data must be able to fill the picture before it is allocated.
  if (rle ? !RleStreamPlausible(data, bi) : !RowsPresent(data, bi)) return false;
  if (!bitmap.Allocate(static_cast<int>(bi.width), static_cast<int>(bi.height),
                       mono ? TVLPixelFormat::Mono : TVLPixelFormat::Rgb24))
    return false;
  if (mono) {
    const TRGB c0 = Pal(bi, 0), c1 = Pal(bi, 1);
    bitmap.SetMonoColors(qRgb(c0.r, c0.g, c0.b), qRgb(c1.r, c1.g, c1.b));
  }
  bool ok = rle ? DecodeRle(data, bi, &bitmap) : DecodeRows(data, bi, bitmap, alpha);
  if (!ok) {
    bitmap.Clear();
    alpha.Clear();
  }
  return ok;
}

}  // namespace vl
