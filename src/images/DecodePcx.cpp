// PCX: the 128-byte header, run-length coded scan lines of one to four
// planes, and for 8-bit pictures the 256-colour palette at the file's end.
#include <vector>

#include "images/ByteReader.h"
#include "images/Decoders.h"

namespace vl {

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kPaletteSize = 769;  // 0x0C and 256 RGB triples

// The run-length coded scan lines, read a line at a time. Runs may cross
// scan lines and planes (writers differ on that); a run left over after the
// last line, or data that ends before it, refuses the file.
class RleLines {
 public:
  RleLines(std::string_view data, bool compressed) : d_(data), compressed_(compressed) {}

  bool Read(uint8_t* out, size_t n) {
    if (!compressed_) {
      if (n > d_.size() - i_) return false;
      std::copy(d_.begin() + i_, d_.begin() + i_ + n, out);
      i_ += n;
      return true;
    }
    size_t o = 0;
    while (o < n) {
      if (pending_ == 0) {
        if (i_ >= d_.size()) return false;
        const uint8_t c = static_cast<uint8_t>(d_[i_++]);
        if ((c & 0xC0) == 0xC0) {
          if (i_ >= d_.size()) return false;
          pending_ = c & 0x3F;
          value_ = static_cast<uint8_t>(d_[i_++]);
          continue;
        }
        out[o++] = c;
        continue;
      }
      const size_t k = std::min(pending_, n - o);
      std::fill(out + o, out + o + k, value_);
      o += k;
      pending_ -= k;
    }
    return true;
  }
  bool RunLeftOver() const { return pending_ != 0; }

 private:
  std::string_view d_;
  bool compressed_;
  size_t i_ = 0;
  size_t pending_ = 0;
  uint8_t value_ = 0;
};

}  // namespace

bool DecodePcx(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
               bool headerOnly) {
  if (data.size() < kHeaderSize) return false;
  TByteReader in(data);
  const uint8_t maker = in.U8();
  const uint8_t version = in.U8();
  const uint8_t encoding = in.U8();
  const int bpp = in.U8();
  const int xmin = in.U16(), ymin = in.U16(), xmax = in.U16(), ymax = in.U16();
  const int hdpi = in.U16(), vdpi = in.U16();
  std::string_view headerPalette = in.Bytes(48);
  in.U8();  // reserved
  const int planes = in.U8();
  const int bytesPerLine = in.U16();
  if (maker != 0x0A || version > 5 || encoding > 1) return false;
  if (xmax < xmin || ymax < ymin) return false;
  const int width = xmax - xmin + 1, height = ymax - ymin + 1;

  // The combinations we know: 1, 2, 4 or 8 bits in one plane; 1 bit in two
  // to four planes (EGA); 8 bits in three or four planes (RGB, a fourth
  // plane ignored).
  const bool indexed = (planes == 1 && (bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8)) ||
                       (bpp == 1 && planes >= 2 && planes <= 4);
  const bool rgb = bpp == 8 && (planes == 3 || planes == 4);
  if (!indexed && !rgb) return false;
  if (static_cast<int64_t>(bytesPerLine) * 8 < static_cast<int64_t>(width) * bpp) return false;
  const bool mono = planes == 1 && bpp == 1;
  if (!ImageSizeAllowed(width, height, mono ? 1 : 24)) return false;

  params.Width = width;
  params.Height = height;
  if (hdpi > 0) params.DpiX = hdpi;
  if (vdpi > 0) params.DpiY = vdpi;
  if (rgb) {
    params.BitsPerSample = 8;
    params.SamplesPerPixel = 3;
  } else {
    params.BitsPerSample = bpp * planes;
    params.SamplesPerPixel = 1;
  }

  std::vector<TRGB> palette;
  if (indexed) {
    const int colours = 1 << (bpp * planes);
    if (colours == 256) {
      // The 256-colour palette follows the image data at the very end.
      if (data.size() < kHeaderSize + kPaletteSize ||
          data[data.size() - kPaletteSize] != '\x0C')
        return false;
      std::string_view p = data.substr(data.size() - kPaletteSize + 1);
      for (int i = 0; i < 256; ++i)
        palette.push_back({static_cast<uint8_t>(p[3 * i]), static_cast<uint8_t>(p[3 * i + 1]),
                           static_cast<uint8_t>(p[3 * i + 2])});
    } else {
      for (int i = 0; i < colours; ++i)
        palette.push_back({static_cast<uint8_t>(headerPalette[3 * i]),
                           static_cast<uint8_t>(headerPalette[3 * i + 1]),
                           static_cast<uint8_t>(headerPalette[3 * i + 2])});
    }
    params.ColorMap = palette;
  }
  if (headerOnly) return true;

  // A run codes at most 63 bytes in two: data too short for the picture is
  // refused before anything is allocated for it.
  const size_t lineBytes = static_cast<size_t>(bytesPerLine) * planes;
  const uint64_t total = uint64_t{lineBytes} * height;
  const uint64_t coded = data.size() - kHeaderSize;
  if (encoding == 1 ? coded * 63 / 2 < total : coded < total) return false;
  RleLines lines(data.substr(kHeaderSize), encoding == 1);
  std::vector<uint8_t> line(lineBytes);

  if (mono) {
    // One bit per pixel stays one bit; the two colours are those of the
    // header palette when it names two distinct ones, else black and white.
    if (!bitmap.Allocate(width, height, TVLPixelFormat::Mono)) return false;
    TRGB zero = palette[0], one = palette[1];
    if (zero == one) zero = {0, 0, 0}, one = {255, 255, 255};
    bitmap.SetMonoColors(qRgb(zero.r, zero.g, zero.b), qRgb(one.r, one.g, one.b));
    const size_t n = (static_cast<size_t>(width) + 7) / 8;
    for (int y = 0; y < height; ++y) {
      if (!lines.Read(line.data(), lineBytes)) return false;
      uint8_t* dst = bitmap.ScanLine(y);
      std::copy(line.begin(), line.begin() + n, dst);
      if (width & 7) dst[n - 1] &= static_cast<uint8_t>(0xFF00 >> (width & 7));
    }
    return !lines.RunLeftOver();
  }

  if (!bitmap.Allocate(width, height, TVLPixelFormat::Rgb24)) return false;
  for (int y = 0; y < height; ++y) {
    if (!lines.Read(line.data(), lineBytes)) return false;
    uint8_t* dst = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      TRGB c;
      if (rgb) {
        c = {line[x], line[size_t(bytesPerLine) + x], line[2 * size_t(bytesPerLine) + x]};
      } else {
        int index = 0;
        for (int p = 0; p < planes; ++p) {
          const uint8_t* plane = line.data() + size_t(p) * bytesPerLine;
          const int bit = x * bpp;
          const int v = (plane[bit >> 3] >> (8 - bpp - (bit & 7))) & ((1 << bpp) - 1);
          index |= v << (p * bpp);
        }
        c = palette[index];
      }
      dst[3 * x] = c.r;
      dst[3 * x + 1] = c.g;
      dst[3 * x + 2] = c.b;
    }
  }
  (void)alpha;
  return !lines.RunLeftOver();
}

}  // namespace vl
