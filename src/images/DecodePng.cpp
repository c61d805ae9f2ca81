// PNG through libpng. Errors leave through libpng's longjmp; 16-bit samples
// are reduced to 8, palettes and grey expanded to RGB, and transparency
// (an alpha channel or a tRNS chunk) becomes the alpha channel, kept only
// when some pixel is not fully opaque.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "images/Decoders.h"

namespace vl {

namespace {

struct PngInput {
  const unsigned char* data;
  size_t size;
  size_t pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
  auto* in = static_cast<PngInput*>(png_get_io_ptr(png));
  if (n > in->size - in->pos) png_error(png, "truncated");
  memcpy(out, in->data + in->pos, n);
  in->pos += n;
}

void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

struct PngJob {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngInput input{};
  std::vector<uint8_t> work;        // RGBA rows (pictures with alpha)
  std::vector<png_bytep> rows;      // row pointers for interlaced pictures
};

bool Run(PngJob& job, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha, bool headerOnly) {
  png_structp png = job.png;
  png_infop info = job.info;
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &job.input, ReadFromMemory);
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(png, 8u << 20);
  // Checksums of ancillary chunks are not worth refusing a picture for, but
  // the critical ones are.
  png_set_crc_action(png, PNG_CRC_DEFAULT, PNG_CRC_WARN_DISCARD);
  png_read_info(png, info);

  png_uint_32 w = 0, h = 0;
  int depth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &colorType, &interlace, nullptr, nullptr);
  params.Width = static_cast<int>(w);
  params.Height = static_cast<int>(h);
  params.BitsPerSample = depth;
  const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: params.SamplesPerPixel = 1; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: params.SamplesPerPixel = 2; break;
    case PNG_COLOR_TYPE_PALETTE: params.SamplesPerPixel = 1; break;
    case PNG_COLOR_TYPE_RGB: params.SamplesPerPixel = 3; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: params.SamplesPerPixel = 4; break;
    default: return false;
  }
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp pal = nullptr;
    int n = 0;
    if (png_get_PLTE(png, info, &pal, &n) && pal) {
      params.ColorMap.resize(static_cast<size_t>(n));
      for (int i = 0; i < n; ++i) params.ColorMap[i] = TRGB{pal[i].red, pal[i].green, pal[i].blue};
    }
  }
  png_uint_32 rx = 0, ry = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &rx, &ry, &unit) && unit == PNG_RESOLUTION_METER && rx && ry) {
    params.DpiX = static_cast<int>(rx * 0.0254 + 0.5);
    params.DpiY = static_cast<int>(ry * 0.0254 + 0.5);
  }
  const bool withAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || hasTrns;
  params.AlphaReported = withAlpha;
  if (!ImageSizeAllowed(w, h, withAlpha ? 32 : 24)) return false;
  if (headerOnly) return true;

  const bool mono = colorType == PNG_COLOR_TYPE_GRAY && depth == 1 && !hasTrns;
  if (mono) {
    // Bits as stored: 1 is white, most significant bit first, as Format_Mono.
    if (!bitmap.Allocate(static_cast<int>(w), static_cast<int>(h), TVLPixelFormat::Mono)) return false;
  } else {
    if (depth == 16) png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (hasTrns) png_set_tRNS_to_alpha(png);
    if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    // png_read_image writes every row or fails.
    if (!bitmap.Allocate(static_cast<int>(w), static_cast<int>(h), TVLPixelFormat::Rgb24, withAlpha)) return false;
    if (withAlpha && !alpha.Allocate(static_cast<int>(w), static_cast<int>(h), TVLPixelFormat::Gray8))
      return false;
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const size_t want = mono ? (w + 7) / 8 : static_cast<size_t>(w) * (withAlpha ? 4 : 3);
  if (rowBytes != want) return false;

  if (!withAlpha) {
    // Straight into the bitmap's rows.
    job.rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) job.rows[y] = bitmap.ScanLine(static_cast<int>(y));
    png_read_image(png, job.rows.data());
  } else {
    const size_t height = passes > 1 ? h : 1;
    if (!BufferSizeAllowed(static_cast<int64_t>(rowBytes * height))) return false;
    job.work.assign(rowBytes * height, 0);
    auto split = [&](const uint8_t* src, int y) {
      uint8_t* d = bitmap.ScanLine(y);
      uint8_t* a = alpha.ScanLine(y);
      for (png_uint_32 x = 0; x < w; ++x, src += 4, d += 3) {
        d[0] = src[0];
        d[1] = src[1];
        d[2] = src[2];
        a[x] = src[3];
      }
    };
    if (passes > 1) {
      job.rows.resize(h);
      for (png_uint_32 y = 0; y < h; ++y) job.rows[y] = job.work.data() + rowBytes * y;
      png_read_image(png, job.rows.data());
      for (png_uint_32 y = 0; y < h; ++y) split(job.rows[y], static_cast<int>(y));
    } else {
      for (png_uint_32 y = 0; y < h; ++y) {
        png_read_row(png, job.work.data(), nullptr);
        split(job.work.data(), static_cast<int>(y));
      }
    }
  }
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

bool PngChunksFit(std::string_view data, bool headerOnly) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  for (size_t at = 8; at + 8 <= n;) {
    const uint64_t len = GetU32BE(p + at);
    if (headerOnly && memcmp(p + at + 4, "IDAT", 4) == 0) return true;  // a header read stops here
    if (len > n - at - 8) return false;
    if (memcmp(p + at + 4, "IEND", 4) == 0) return true;
    at += 12 + static_cast<size_t>(len);
  }
  return true;
}

bool PngDataPlausible(std::string_view data) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t n = data.size();
  if (n < 33 || memcmp(p + 12, "IHDR", 4) != 0) return true;  // libpng refuses it
  const uint64_t w = GetU32BE(p + 16), h = GetU32BE(p + 20);
  if (w > uint64_t(kMaxImageSide) || h > uint64_t(kMaxImageSide)) return true;  // refused by the caps
  const int depth = p[24], colourType = p[25];
  const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
  // The filtered rows of a non-interlaced picture; interlacing adds to them.
  const uint64_t raw = h * (1 + (w * channels * depth + 7) / 8);
  uint64_t idat = 0;
  for (size_t at = 8; at + 8 <= n;) {
    const uint64_t len = GetU32BE(p + at);
    if (memcmp(p + at + 4, "IDAT", 4) == 0) idat += std::min<uint64_t>(len, n - at - 8);
    if (memcmp(p + at + 4, "IEND", 4) == 0 || len > n - at - 8) break;
    at += 12 + static_cast<size_t>(len);
  }
  return idat * 1032 >= raw;
}

bool DecodePng(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
               bool headerOnly) {
  if (data.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(data.data()), 0, 8) != 0)
    return false;
  if (!PngChunksFit(data, headerOnly)) return false;
  if (!headerOnly && !PngDataPlausible(data)) return false;
  PngJob job;
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (!job.png) return false;
  job.info = png_create_info_struct(job.png);
  if (!job.info) {
    png_destroy_read_struct(&job.png, nullptr, nullptr);
    return false;
  }
  job.input = PngInput{reinterpret_cast<const unsigned char*>(data.data()), data.size(), 0};
  bool ok = Run(job, params, bitmap, alpha, headerOnly);
  png_destroy_read_struct(&job.png, &job.info, nullptr);
  if (!ok) {
    bitmap.Clear();
    alpha.Clear();
    return false;
  }
  if (!alpha.IsNull()) {
    alpha.UpdateFull();
    if (!alpha.Full) alpha.Clear();
  }
  return true;
}

}  // namespace vl
