// TIFF: the first image file directory of a strip-organised image, in either
// byte order. Strips are uncompressed, LZW (with horizontal differencing),
// PackBits or CCITT coded; samples of 1 to 16 bits, chunky or planar.
#include <cmath>
#include <map>
#include <vector>

#include "images/ByteReader.h"
#include "images/Ccitt.h"
#include "images/Decoders.h"
#include "images/Lzw.h"

namespace vl {

namespace {

enum Tag : uint16_t {
  kWidth = 256, kLength = 257, kBitsPerSample = 258, kCompression = 259, kPhotometric = 262,
  kFillOrder = 266, kDocumentName = 269, kImageDescription = 270, kStripOffsets = 273,
  kOrientation = 274, kSamplesPerPixel = 277, kRowsPerStrip = 278, kStripByteCounts = 279,
  kXResolution = 282, kYResolution = 283, kPlanarConfig = 284, kPageName = 285, kXPosition = 286,
  kYPosition = 287, kT4Options = 292, kT6Options = 293, kResolutionUnit = 296, kPageNumber = 297,
  kSoftware = 305, kPredictor = 317, kColorMap = 320, kTileWidth = 322, kTileLength = 323,
  kTileOffsets = 324, kTileByteCounts = 325, kInkSet = 332, kNumberOfInks = 334, kDotRange = 336,
  kExtraSamples = 338, kJpegTables = 347, kYCbCrCoefficients = 529, kYCbCrSubSampling = 530,
  kReferenceBlackWhite = 532,
};

enum Compression { kNone = 1, kHuffman = 2, kGroup3 = 3, kGroup4 = 4, kLzw = 5, kPackBits = 32773 };
enum Photometric {
  kWhiteIsZero = 0, kBlackIsZero = 1, kRgb = 2, kPalette = 3, kMask = 4, kSeparated = 5,
  kYCbCr = 6, kCieLab = 8,
};

struct Entry {
  uint16_t type = 0;
  uint32_t count = 0;
  size_t valuePos = 0;  // where the values are, checked to lie inside the data
};

size_t TypeSize(uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
  }
}

class Directory {
 public:
  explicit Directory(TByteReader& in) : in_(in) {}

  bool Read(uint32_t offset) {
    if (!in_.Seek(offset)) return false;
    const int n = in_.U16();
    if (in_.Failed() || n == 0) return false;
    for (int i = 0; i < n; ++i) {
      const size_t at = in_.Pos();
      Entry e;
      const uint16_t tag = in_.U16();
      e.type = in_.U16();
      e.count = in_.U32();
      const uint32_t off = in_.U32();
      if (in_.Failed()) return false;
      const size_t size = TypeSize(e.type);
      if (size == 0 || e.count == 0) continue;  // a type we do not know: ignored
      const uint64_t bytes = uint64_t{size} * e.count;
      e.valuePos = bytes <= 4 ? at + 8 : off;
      if (e.valuePos + bytes > in_.Size()) continue;  // values outside the file: ignored
      entries_.emplace(tag, e);
    }
    return true;
  }

  bool Has(uint16_t tag) const { return entries_.count(tag) != 0; }

  // The integer values of a tag (any integer type), at most `max` of them.
  std::vector<uint32_t> Ints(uint16_t tag, size_t max = SIZE_MAX) const {
    std::vector<uint32_t> v;
    auto it = entries_.find(tag);
    if (it == entries_.end()) return v;
    const Entry& e = it->second;
    const size_t n = std::min<size_t>(e.count, max);
    TByteReader r = Reader(e);
    v.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      switch (e.type) {
        case 1: case 6: case 7: v.push_back(r.U8()); break;
        case 3: case 8: v.push_back(r.U16()); break;
        case 4: case 9: v.push_back(r.U32()); break;
        default: return {};
      }
    }
    return v;
  }

  uint32_t Int(uint16_t tag, uint32_t def) const {
    std::vector<uint32_t> v = Ints(tag, 1);
    return v.empty() ? def : v[0];
  }

  double Rational(uint16_t tag, double def) const {
    auto it = entries_.find(tag);
    if (it == entries_.end()) return def;
    TByteReader r = Reader(it->second);
    switch (it->second.type) {
      case 5: case 10: {
        const uint32_t num = r.U32(), den = r.U32();
        if (den == 0) return def;
        return it->second.type == 5 ? double(num) / den
                                    : double(int32_t(num)) / double(int32_t(den));
      }
      case 3: return r.U16();
      case 4: return r.U32();
      default: return def;
    }
  }

  // Up to n unsigned rationals; empty when the tag is missing or not rational.
  std::vector<double> RationalList(uint16_t tag, size_t n) const {
    std::vector<double> v;
    auto it = entries_.find(tag);
    if (it == entries_.end() || it->second.type != 5) return v;
    TByteReader r = Reader(it->second);
    for (size_t i = 0; i < std::min<size_t>(n, it->second.count); ++i) {
      const uint32_t num = r.U32(), den = r.U32();
      v.push_back(den ? double(num) / den : 0.0);
    }
    return v;
  }

  AnsiString Text(uint16_t tag) const {
    auto it = entries_.find(tag);
    if (it == entries_.end() || it->second.type != 2) return {};
    TByteReader r = Reader(it->second);
    std::string_view s = r.Bytes(it->second.count);
    return AnsiString(s.substr(0, s.find('\0')));
  }

 private:
  TByteReader Reader(const Entry& e) const {
    TByteReader r = in_;  // the same data and byte order, its own position
    r.Seek(e.valuePos);
    return r;
  }

  TByteReader& in_;
  std::map<uint16_t, Entry> entries_;
};

// PackBits: a count byte n, then n + 1 literal bytes (n < 128) or one byte
// repeated 257 - n times (n > 128); 128 is nothing. False for a run past the
// end of `out` or data that ends before `out` is full.
bool UnpackBits(std::string_view in, uint8_t* out, size_t size) {
  size_t i = 0, o = 0;
  while (o < size) {
    if (i >= in.size()) return false;
    const int n = static_cast<int8_t>(in[i++]);
    if (n >= 0) {
      const size_t k = size_t(n) + 1;
      if (k > in.size() - i || k > size - o) return false;
      std::copy(in.begin() + i, in.begin() + i + k, out + o);
      i += k;
      o += k;
    } else if (n != -128) {
      const size_t k = size_t(1 - n);
      if (i >= in.size() || k > size - o) return false;
      std::fill(out + o, out + o + k, static_cast<uint8_t>(in[i++]));
      o += k;
    }
  }
  return true;
}

uint8_t ReverseBits(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// CIE L*a*b* (D65 white) to sRGB.
void LabToRgb(double L, double a, double b, uint8_t out[3]) {
  double fy = (L + 16) / 116, fx = fy + a / 500, fz = fy - b / 200;
  auto inv = [](double t) { return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29); };
  const double X = 0.95047 * inv(fx), Y = inv(fy), Z = 1.08883 * inv(fz);
  const double lin[3] = {3.2406 * X - 1.5372 * Y - 0.4986 * Z, -0.9689 * X + 1.8758 * Y + 0.0415 * Z,
                         0.0557 * X - 0.2040 * Y + 1.0570 * Z};
  for (int k = 0; k < 3; ++k) {
    double c = std::clamp(lin[k], 0.0, 1.0);
    c = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
    out[k] = static_cast<uint8_t>(std::lround(c * 255));
  }
}

// YCbCr to RGB with the file's luma coefficients and reference black and
// white (by default full-range samples, chroma centred on 128).
class YCbCrConverter {
 public:
  explicit YCbCrConverter(const Directory& dir) {
    const std::vector<double> k = Rationals(dir, kYCbCrCoefficients, 3);
    if (k.size() == 3 && k[1] > 0) lr_ = k[0], lg_ = k[1], lb_ = k[2];
    const std::vector<double> r = Rationals(dir, kReferenceBlackWhite, 6);
    if (r.size() == 6) std::copy(r.begin(), r.end(), ref_);
  }
  void ToRgb(int Y, int Cb, int Cr, uint8_t out[3]) const {
    auto scaled = [&](int v, int i, double range) {
      const double span = ref_[2 * i + 1] - ref_[2 * i];
      return span != 0 ? (v - ref_[2 * i]) * range / span : 0.0;
    };
    const double y = scaled(Y, 0, 255), cb = scaled(Cb, 1, 127), cr = scaled(Cr, 2, 127);
    const double r = cr * (2 - 2 * lr_) + y, b = cb * (2 - 2 * lb_) + y;
    const double g = (y - lb_ * b - lr_ * r) / lg_;
    out[0] = Clamp(r), out[1] = Clamp(g), out[2] = Clamp(b);
  }

 private:
  static uint8_t Clamp(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); }
  static std::vector<double> Rationals(const Directory& dir, uint16_t tag, size_t n) {
    return dir.RationalList(tag, n);
  }
  double lr_ = 0.299, lg_ = 0.587, lb_ = 0.114;
  double ref_[6] = {0, 255, 128, 255, 128, 255};
};

struct Layout {
  int width = 0, height = 0, bps = 1, spp = 1, planar = 1;
  size_t rowBytes = 0;  // of one plane's row
  bool bigEndian = false;
  std::vector<std::vector<uint8_t>> planes;

  // Sample k of pixel (x, y) as stored (bps bits).
  uint32_t Raw(int x, int y, int k) const {
    const uint8_t* row;
    size_t index;
    if (planar == 2) {
      row = planes[k].data() + size_t(y) * rowBytes;
      index = size_t(x);
    } else {
      row = planes[0].data() + size_t(y) * rowBytes;
      index = size_t(x) * spp + k;
    }
    switch (bps) {
      case 8: return row[index];
      case 16: return bigEndian ? (row[2 * index] << 8) | row[2 * index + 1]
                                : row[2 * index] | (row[2 * index + 1] << 8);
      default: {
        const size_t bit = index * bps;
        return (row[bit >> 3] >> (8 - bps - (bit & 7))) & ((1u << bps) - 1);
      }
    }
  }
  // The same scaled to 0..255.
  uint8_t Scaled(int x, int y, int k) const {
    const uint32_t v = Raw(x, y, k);
    if (bps == 8) return static_cast<uint8_t>(v);
    if (bps == 16) return static_cast<uint8_t>((v * 255 + 32767) / 65535);
    return static_cast<uint8_t>(v * 255 / ((1u << bps) - 1));
  }
};

bool DecodeStrip(std::string_view src, int compression, const Directory& dir, int width, int rows,
                 uint8_t* out, size_t rowBytes) {
  const size_t size = rowBytes * size_t(rows);
  switch (compression) {
    case kNone:
      if (src.size() < size) return false;
      std::copy(src.begin(), src.begin() + size, out);
      return true;
    case kPackBits:
      return UnpackBits(src, out, size);
    case kLzw: {
      // Strips of the first LZW writers pack codes from the low bit and
      // widen them late; they start with a clear code read that way.
      const bool oldStyle = src.size() >= 2 && src[0] == 0 && (src[1] & 1);
      size_t produced = 0;
      LzwStatus st = LzwDecode(src, oldStyle ? LzwFlavour{8, false, 0} : TiffLzw(), out, size,
                               produced);
      return (st == LzwStatus::Ok || st == LzwStatus::EndOfData) && produced == size;
    }
    case kHuffman:
      return CcittDecode(src, CcittMode::ModifiedHuffman, 0, width, rows, out, rowBytes);
    case kGroup3:
      return CcittDecode(src, CcittMode::Group3, dir.Int(kT4Options, 0), width, rows, out, rowBytes);
    case kGroup4:
      return CcittDecode(src, CcittMode::Group4, dir.Int(kT6Options, 0), width, rows, out, rowBytes);
    default:
      return false;
  }
}

void UndoPredictor(Layout& l, uint8_t* rowStart, int rows, int samplesInRow) {
  for (int y = 0; y < rows; ++y) {
    uint8_t* row = rowStart + size_t(y) * l.rowBytes;
    const size_t n = size_t(l.width) * samplesInRow;
    if (l.bps == 8) {
      for (size_t i = samplesInRow; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - samplesInRow]);
    } else {  // 16 bits
      auto get = [&](size_t i) -> uint16_t {
        return l.bigEndian ? uint16_t(row[2 * i] << 8 | row[2 * i + 1]) : uint16_t(row[2 * i] | row[2 * i + 1] << 8);
      };
      for (size_t i = samplesInRow; i < n; ++i) {
        const uint16_t v = static_cast<uint16_t>(get(i) + get(i - samplesInRow));
        if (l.bigEndian) row[2 * i] = uint8_t(v >> 8), row[2 * i + 1] = uint8_t(v);
        else row[2 * i] = uint8_t(v), row[2 * i + 1] = uint8_t(v >> 8);
      }
    }
  }
}

}  // namespace

namespace {

// Decodes the picture as stored; `orientation` tells how to turn it.
bool DecodeStored(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
                  bool headerOnly, int& orientation) {
  if (data.size() < 8) return false;
  TByteReader in(data);
  if (data.substr(0, 2) == "MM")
    in.SetBigEndian(true);
  else if (data.substr(0, 2) != "II")
    return false;
  in.Skip(2);
  if (in.U16() != 42) return false;
  Directory dir(in);
  if (!dir.Read(in.U32())) return false;

  Layout l;
  l.bigEndian = in.BigEndian();
  const uint32_t width = dir.Int(kWidth, 0), height = dir.Int(kLength, 0);
  const std::vector<uint32_t> bpsList = dir.Ints(kBitsPerSample, 16);
  const uint32_t bps = bpsList.empty() ? 1 : bpsList[0];
  const uint32_t spp = dir.Int(kSamplesPerPixel, 1);
  const uint32_t compression = dir.Int(kCompression, kNone);
  const bool ccitt = compression == kHuffman || compression == kGroup3 || compression == kGroup4;
  const uint32_t photometric =
      dir.Int(kPhotometric, ccitt ? kWhiteIsZero : spp >= 3 ? kRgb : kBlackIsZero);
  const uint32_t planar = dir.Int(kPlanarConfig, 1);
  const uint32_t orient = dir.Int(kOrientation, 1);
  orientation = orient >= 1 && orient <= 8 ? static_cast<int>(orient) : 1;

  params.Width = static_cast<int>(std::min<uint32_t>(width, INT32_MAX));
  params.Height = static_cast<int>(std::min<uint32_t>(height, INT32_MAX));
  params.BitsPerSample = static_cast<int>(std::min<uint32_t>(bps, 64));
  params.SamplesPerPixel = static_cast<int>(std::min<uint32_t>(spp, 64));
  params.TiffCompression = static_cast<int>(compression);
  params.TiffPhotometric = static_cast<int>(photometric);
  params.TiffPlanarConfig = static_cast<int>(planar);
  params.TiffDocumentName = dir.Text(kDocumentName);
  params.TiffImageDescription = dir.Text(kImageDescription);
  params.TiffPageName = dir.Text(kPageName);
  params.TiffSoftware = dir.Text(kSoftware);
  params.TiffPageNumber = static_cast<int>(dir.Int(kPageNumber, 0));
  params.TiffXPos = dir.Rational(kXPosition, 0);
  params.TiffYPos = dir.Rational(kYPosition, 0);
  const uint32_t unit = dir.Int(kResolutionUnit, 2);
  if (unit == 2 || unit == 3) {
    const double scale = unit == 3 ? 2.54 : 1.0;
    const double xr = dir.Rational(kXResolution, 0) * scale, yr = dir.Rational(kYResolution, 0) * scale;
    if (xr >= 1 && xr < 1e6) params.DpiX = static_cast<int>(std::lround(xr));
    if (yr >= 1 && yr < 1e6) params.DpiY = static_cast<int>(std::lround(yr));
  }

  // What we decode.
  if (width == 0 || height == 0) return false;
  if (dir.Has(kTileWidth) || dir.Has(kTileLength) || dir.Has(kTileOffsets)) return false;
  if (bps != 1 && bps != 2 && bps != 4 && bps != 8 && bps != 16) return false;
  for (uint32_t b : bpsList)
    if (b != bps) return false;
  if (spp < 1 || spp > 16 || (planar != 1 && planar != 2)) return false;
  if (compression != kNone && compression != kLzw && compression != kPackBits && !ccitt) return false;
  if (ccitt && (bps != 1 || spp != 1)) return false;
  uint32_t colourSamples;
  switch (photometric) {
    case kWhiteIsZero: case kBlackIsZero: case kMask: colourSamples = 1; break;
    case kPalette: colourSamples = 1; break;
    case kRgb: colourSamples = 3; break;
    case kSeparated: colourSamples = spp >= 4 ? 4 : 3; break;
    case kCieLab: colourSamples = spp >= 3 ? 3 : 1; break;
    case kYCbCr: colourSamples = 3; break;
    default: return false;
  }
  if (spp < colourSamples) return false;
  // The first extra sample may be alpha: associated (the colours are
  // premultiplied by it) or unassociated.
  const std::vector<uint32_t> extras = dir.Ints(kExtraSamples, 1);
  const bool alphaCapable = photometric == kRgb || photometric == kBlackIsZero || photometric == kWhiteIsZero;
  const uint32_t alphaKind =
      alphaCapable && spp > colourSamples && !extras.empty() && (extras[0] == 1 || extras[0] == 2) ? extras[0] : 0;
  params.AlphaReported = alphaKind != 0;
  // YCbCr pixels may come in blocks of h by v luma samples sharing one
  // chroma pair (chunky 8-bit data only).
  int subH = 1, subV = 1;
  if (photometric == kYCbCr) {
    std::vector<uint32_t> sub = dir.Ints(kYCbCrSubSampling, 2);
    subH = sub.size() > 0 ? int(sub[0]) : 2;
    subV = sub.size() > 1 ? int(sub[1]) : 2;
    if ((subH != 1 && subH != 2 && subH != 4) || (subV != 1 && subV != 2 && subV != 4)) return false;
    if (bps != 8) return false;
    if ((subH > 1 || subV > 1) && (planar != 1 || spp != 3)) return false;
  }
  const bool blocks = subH > 1 || subV > 1;
  std::vector<TRGB> palette;
  if (photometric == kPalette) {
    if (bps > 8) return false;
    const size_t n = size_t{1} << bps;
    std::vector<uint32_t> map = dir.Ints(kColorMap, 3 * n);
    if (map.size() < 3 * n) return false;
    for (size_t i = 0; i < n; ++i)
      palette.push_back({uint8_t(map[i] >> 8), uint8_t(map[n + i] >> 8), uint8_t(map[2 * n + i] >> 8)});
    params.ColorMap = palette;
  }
  const bool mono = spp == 1 && bps == 1;
  if (!ImageSizeAllowed(width, height, mono ? 1 : 24)) return false;
  if (headerOnly) return true;

  l.width = static_cast<int>(width);
  l.height = static_cast<int>(height);
  l.bps = static_cast<int>(bps);
  l.spp = static_cast<int>(spp);
  l.planar = static_cast<int>(planar);
  const int samplesInRow = planar == 1 ? l.spp : 1;
  const int planeCount = planar == 1 ? 1 : l.spp;
  // The unit a strip is made of: one row, or one row of YCbCr blocks.
  const int unitRows = blocks ? subV : 1;
  l.rowBytes = blocks ? (size_t(width) + subH - 1) / subH * size_t(subH * subV + 2)
                      : (size_t(width) * bps * samplesInRow + 7) / 8;
  const size_t units = (size_t(height) + unitRows - 1) / unitRows;
  if (!BufferSizeAllowed(int64_t(l.rowBytes) * int64_t(units) * planeCount)) return false;

  uint32_t rowsPerStrip = dir.Int(kRowsPerStrip, height);
  if (rowsPerStrip == 0 || rowsPerStrip > height) rowsPerStrip = height;
  const size_t stripsPerPlane = (height + rowsPerStrip - 1) / rowsPerStrip;
  const size_t strips = stripsPerPlane * planeCount;
  const std::vector<uint32_t> offsets = dir.Ints(kStripOffsets, strips);
  std::vector<uint32_t> counts = dir.Ints(kStripByteCounts, strips);
  if (offsets.size() < strips) return false;
  if (counts.size() < strips) {
    // Only an uncompressed image may leave the byte counts out.
    if (compression != kNone || !counts.empty()) return false;
    for (size_t s = 0; s < strips; ++s) {
      const size_t rows = std::min<size_t>(rowsPerStrip, height - (s % stripsPerPlane) * rowsPerStrip);
      const size_t stripUnits = (rows + unitRows - 1) / unitRows;
      counts.push_back(static_cast<uint32_t>(std::min<size_t>(stripUnits * l.rowBytes, UINT32_MAX)));
    }
  }
  const bool reverse = dir.Int(kFillOrder, 1) == 2;
  const uint32_t predictor = dir.Int(kPredictor, 1);
  if (predictor == 2 && bps != 8 && bps != 16) return false;
  if (predictor != 1 && predictor != 2) return false;
  if (blocks && (predictor != 1 || (rowsPerStrip < height && rowsPerStrip % subV != 0))) return false;

  // Every strip inside the file and long enough for what it must hold at
  // the best ratio its coding allows, before the image buffer is allocated.
  for (size_t index = 0; index < strips; ++index) {
    if (offsets[index] > data.size() || counts[index] > data.size() - offsets[index]) return false;
    const size_t firstRow = (index % stripsPerPlane) * rowsPerStrip;
    const uint64_t rows = std::min<uint64_t>(rowsPerStrip, height - firstRow);
    const uint64_t need = (rows + unitRows - 1) / unitRows * l.rowBytes;
    const uint64_t have = counts[index];
    bool plausible;
    switch (compression) {
      case kNone: plausible = have >= need; break;
      case kPackBits: plausible = have * 64 >= need; break;
      case kLzw: plausible = have * 2731 >= need; break;
      default: plausible = have * 8 >= rows; break;  // fax: a row takes a bit at least
    }
    if (!plausible) return false;
  }

  l.planes.resize(planeCount);
  std::string flipped;
  for (int p = 0; p < planeCount; ++p) {
    l.planes[p].resize(l.rowBytes * units);
    for (size_t s = 0; s < stripsPerPlane; ++s) {
      const size_t index = size_t(p) * stripsPerPlane + s;
      std::string_view src = data.substr(offsets[index], counts[index]);
      if (reverse) {
        flipped.assign(src);
        for (char& c : flipped) c = static_cast<char>(ReverseBits(static_cast<uint8_t>(c)));
        src = flipped;
      }
      const int firstRow = static_cast<int>(s * rowsPerStrip);
      const int imageRows = static_cast<int>(std::min<size_t>(rowsPerStrip, height - firstRow));
      const int rows = (imageRows + unitRows - 1) / unitRows;
      uint8_t* out = l.planes[p].data() + size_t(firstRow / unitRows) * l.rowBytes;
      if (!DecodeStrip(src, static_cast<int>(compression), dir, l.width, rows, out, l.rowBytes))
        return false;
      if (predictor == 2) UndoPredictor(l, out, rows, samplesInRow);
    }
  }

  if (mono && (photometric == kWhiteIsZero || photometric == kBlackIsZero ||
               photometric == kMask || photometric == kPalette)) {
    if (!bitmap.Allocate(l.width, l.height, TVLPixelFormat::Mono)) return false;
    // A set bit is white in our 1-bit bitmaps.
    if (photometric == kPalette)
      bitmap.SetMonoColors(qRgb(palette[0].r, palette[0].g, palette[0].b),
                           qRgb(palette[1].r, palette[1].g, palette[1].b));
    const uint8_t flip = photometric == kWhiteIsZero ? 0xFF : 0x00;
    const size_t n = l.rowBytes;
    for (int y = 0; y < l.height; ++y) {
      const uint8_t* src = l.planes[0].data() + size_t(y) * n;
      uint8_t* dst = bitmap.ScanLine(y);
      for (size_t i = 0; i < n; ++i) dst[i] = src[i] ^ flip;
      if (l.width & 7) dst[n - 1] &= static_cast<uint8_t>(0xFF00 >> (l.width & 7));
    }
    return true;
  }

  if (!bitmap.Allocate(l.width, l.height, TVLPixelFormat::Rgb24)) return false;
  if (alphaKind && !alpha.Allocate(l.width, l.height, TVLPixelFormat::Gray8)) return false;
  YCbCrConverter ycc(dir);
  for (int y = 0; y < l.height; ++y) {
    uint8_t* dst = bitmap.ScanLine(y);
    uint8_t* alphaRow = alphaKind ? alpha.ScanLine(y) : nullptr;
    for (int x = 0; x < l.width; ++x, dst += 3) {
      switch (photometric) {
        case kWhiteIsZero:
          dst[0] = dst[1] = dst[2] = static_cast<uint8_t>(255 - l.Scaled(x, y, 0));
          break;
        case kBlackIsZero:
        case kMask:
          dst[0] = dst[1] = dst[2] = l.Scaled(x, y, 0);
          break;
        case kPalette: {
          const TRGB& c = palette[l.Raw(x, y, 0)];
          dst[0] = c.r, dst[1] = c.g, dst[2] = c.b;
          break;
        }
        case kRgb:
          for (int k = 0; k < 3; ++k) dst[k] = l.Scaled(x, y, k);
          break;
        case kSeparated: {
          const int k = colourSamples == 4 ? l.Scaled(x, y, 3) : 0;
          for (int c = 0; c < 3; ++c)
            dst[c] = static_cast<uint8_t>((255 - l.Scaled(x, y, c)) * (255 - k) / 255);
          break;
        }
        case kYCbCr: {
          int Y, Cb, Cr;
          if (blocks) {
            const uint8_t* unit = l.planes[0].data() + size_t(y / subV) * l.rowBytes +
                                  size_t(x / subH) * (subH * subV + 2);
            Y = unit[(y % subV) * subH + x % subH];
            Cb = unit[subH * subV];
            Cr = unit[subH * subV + 1];
          } else {
            Y = int(l.Raw(x, y, 0)), Cb = int(l.Raw(x, y, 1)), Cr = int(l.Raw(x, y, 2));
          }
          ycc.ToRgb(Y, Cb, Cr, dst);
          break;
        }
        case kCieLab: {
          // L* is unsigned 0..100 over the sample range; a* and b* signed.
          const double L = l.Scaled(x, y, 0) * 100.0 / 255.0;
          double a = 0, b = 0;
          if (colourSamples == 3) {
            const uint32_t ra = l.Raw(x, y, 1), rb = l.Raw(x, y, 2);
            if (l.bps == 16) a = int16_t(ra) / 256.0, b = int16_t(rb) / 256.0;
            else if (l.bps == 8) a = int8_t(ra), b = int8_t(rb);
          }
          LabToRgb(L, a, b, dst);
          break;
        }
      }
      if (alphaRow) {
        const int av = l.Scaled(x, y, static_cast<int>(colourSamples));
        alphaRow[x] = static_cast<uint8_t>(av);
        if (alphaKind == 1 && photometric != kWhiteIsZero) {
          // Back from premultiplied colours; a transparent pixel has none.
          for (int k = 0; k < 3; ++k) dst[k] = av ? static_cast<uint8_t>(std::min(255, (dst[k] * 255 + av / 2) / av)) : 0;
        }
      }
    }
  }
  if (alphaKind) {
    alpha.UpdateFull();
    if (!alpha.Full) alpha.Clear();
  }
  return true;
}

}  // namespace

bool DecodeTiff(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
                bool headerOnly) {
  int orientation = 1;
  if (!DecodeStored(data, params, bitmap, alpha, headerOnly, orientation)) return false;
  // Rows and columns exchanged: the picture is as high as it is stored wide.
  if (orientation >= 5) std::swap(params.Width, params.Height);
  if (headerOnly) return true;
  return Reorient(bitmap, orientation) && Reorient(alpha, orientation);
}

}  // namespace vl
