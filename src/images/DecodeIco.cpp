// ICO: the icon directory, one entry chosen, and its picture: a PNG stream
// or a device-independent bitmap of twice the icon's height (the colour
// pixels, then the 1-bit AND mask). A file that starts with "BM" is a plain
// BMP. The mask and the alpha of 32-bit icons give the alpha channel, kept
// only when some pixel is not opaque.
#include <vector>

#include "images/ByteReader.h"
#include "images/Decoders.h"

namespace vl {

namespace {

struct DirEntry {
  int width = 0, height = 0;  // 0 in the directory means 256
  int colours = 0;
  int bitCount = 0;
  uint32_t size = 0, offset = 0;

  // Colours the entry shows, to compare with the display's.
  int64_t ColourCount() const {
    if (colours) return colours;
    if (bitCount >= 24) return int64_t{1} << 24;
    return bitCount > 0 ? int64_t{1} << bitCount : 256;
  }
};

// With several entries the first 32 by 32 one is taken, or a later 32 by 32
// one whose colour count is the display's. An explicit index other than 0
// names its entry.
int ChooseEntry(const std::vector<DirEntry>& dir, int index) {
  if (index != 0 || dir.size() == 1) return index;
  int chosen = 0;
  bool found = false;
  for (size_t i = 0; i < dir.size(); ++i) {
    if (dir[i].width != 32 || dir[i].height != 32) continue;
    if (!found) chosen = static_cast<int>(i), found = true;
    if (dir[i].ColourCount() == Globals().displayColorCount) return static_cast<int>(i);
  }
  return chosen;
}

int DpiFromPelsPerMetre(int32_t v) {
  if (v <= 0) return 300;
  const int64_t dpi = (int64_t{v} * 254 + 5000) / 10000;
  return dpi > 0 && dpi < 100000 ? static_cast<int>(dpi) : 300;
}

bool DecodeDib(std::string_view dib, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
               bool headerOnly) {
  TByteReader in(dib);
  const uint32_t headerSize = in.U32();
  const int32_t width = in.I32();
  const int32_t doubleHeight = in.I32();
  in.U16();  // planes
  const int bpp = in.U16();
  const uint32_t compression = in.U32();
  in.U32();  // image size
  const int32_t xPels = in.I32(), yPels = in.I32();
  uint32_t used = in.U32();
  if (in.Failed() || headerSize < 40 || headerSize > dib.size()) return false;
  // Icons are stored bottom-up, the height counting the mask as well.
  if (width <= 0 || doubleHeight <= 0 || compression != 0) return false;
  const int height = doubleHeight / 2;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
  const bool mono = bpp == 1;
  if (!ImageSizeAllowed(width, height, mono ? 1 : 24)) return false;

  std::vector<TRGB> palette;
  if (bpp <= 8) {
    const uint32_t max = 1u << bpp;
    if (used == 0 || used > max) used = max;
    if (!in.Seek(headerSize)) return false;
    std::string_view p = in.Bytes(size_t{used} * 4);
    if (in.Failed()) return false;
    for (uint32_t i = 0; i < used; ++i)
      palette.push_back({uint8_t(p[4 * i + 2]), uint8_t(p[4 * i + 1]), uint8_t(p[4 * i])});
  } else if (!in.Seek(headerSize)) {
    return false;
  }
  params.Width = width;
  params.Height = height;
  params.DpiX = DpiFromPelsPerMetre(xPels);
  params.DpiY = DpiFromPelsPerMetre(yPels);
  params.BitsPerSample = bpp <= 8 ? bpp : 8;
  params.SamplesPerPixel = bpp <= 8 ? 1 : bpp / 8;
  params.ColorMap = palette;
  if (headerOnly) return true;

  const size_t stride = ((size_t(width) * bpp + 31) / 32) * 4;
  const size_t maskStride = ((size_t(width) + 31) / 32) * 4;
  std::string_view pixels = in.Bytes(stride * height);
  if (in.Failed()) return false;
  std::string_view mask = in.Bytes(maskStride * height);
  // 32-bit icons carry their own alpha; some writers leave the mask out.
  if (in.Failed() && bpp != 32) return false;

  if (!bitmap.Allocate(width, height, mono ? TVLPixelFormat::Mono : TVLPixelFormat::Rgb24))
    return false;
  if (!alpha.Allocate(width, height, TVLPixelFormat::Gray8)) return false;
  if (mono)
    bitmap.SetMonoColors(qRgb(palette[0].r, palette[0].g, palette[0].b),
                         qRgb(palette.size() > 1 ? palette[1].r : 255,
                              palette.size() > 1 ? palette[1].g : 255,
                              palette.size() > 1 ? palette[1].b : 255));
  // An all-zero alpha byte means a writer that did not use it: the mask then.
  bool ownAlpha = false;
  if (bpp == 32)
    for (size_t i = 3; i < pixels.size() && !ownAlpha; i += 4) ownAlpha = pixels[i] != 0;

  for (int y = 0; y < height; ++y) {
    const auto* src = reinterpret_cast<const uint8_t*>(pixels.data()) + size_t(height - 1 - y) * stride;
    const auto* m = mask.empty() ? nullptr
                                 : reinterpret_cast<const uint8_t*>(mask.data()) +
                                       size_t(height - 1 - y) * maskStride;
    uint8_t* dst = bitmap.ScanLine(y);
    uint8_t* a = alpha.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const bool shown = !m || !((m[x >> 3] >> (7 - (x & 7))) & 1);
      a[x] = shown ? 255 : 0;
      switch (bpp) {
        case 1: {
          const int v = (src[x >> 3] >> (7 - (x & 7))) & 1;
          if (v >= static_cast<int>(palette.size())) return false;
          if (v) dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
          break;
        }
        case 4:
        case 8: {
          const int v = bpp == 8 ? src[x] : (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
          if (v >= static_cast<int>(palette.size())) return false;
          dst[3 * x] = palette[v].r, dst[3 * x + 1] = palette[v].g, dst[3 * x + 2] = palette[v].b;
          break;
        }
        case 24:
          dst[3 * x] = src[3 * x + 2], dst[3 * x + 1] = src[3 * x + 1], dst[3 * x + 2] = src[3 * x];
          break;
        case 32:
          dst[3 * x] = src[4 * x + 2], dst[3 * x + 1] = src[4 * x + 1], dst[3 * x + 2] = src[4 * x];
          if (ownAlpha) a[x] = src[4 * x + 3];
          break;
      }
    }
  }
  alpha.UpdateFull();
  if (!alpha.Full) alpha.Clear();
  return true;
}

}  // namespace

bool DecodeIco(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
               bool headerOnly) {
  if (data.substr(0, 2) == "BM") return DecodeBmp(data, params, bitmap, alpha, headerOnly);
  TByteReader in(data);
  const int reserved = in.U16(), type = in.U16(), count = in.U16();
  if (in.Failed() || reserved != 0 || (type != 1 && type != 2) || count == 0) return false;
  if (size_t{16} * count > in.Left()) return false;  // the directory must be there whole
  std::vector<DirEntry> dir(count);
  for (DirEntry& e : dir) {
    e.width = in.U8();
    e.height = in.U8();
    e.colours = in.U8();
    in.U8();
    in.U16();  // planes
    e.bitCount = in.U16();
    e.size = in.U32();
    e.offset = in.U32();
    if (!e.width) e.width = 256;
    if (!e.height) e.height = 256;
  }
  if (in.Failed()) return false;
  params.IcoImageCount = count;
  const int index = ChooseEntry(dir, params.IcoImageIndex);
  if (index < 0 || index >= count) return false;
  const DirEntry& e = dir[index];
  if (e.offset > data.size() || e.size > data.size() - e.offset || e.size < 8) return false;
  std::string_view body = data.substr(e.offset, e.size);
  if (body.substr(0, 4) == "\x89PNG") {
    if (!PngDataPlausible(body)) return false;  // even for a header read
    const int icons = params.IcoImageCount;
    const bool ok = DecodePng(body, params, bitmap, alpha, headerOnly);
    params.FileType = TIOFileType::Ico;
    params.IcoImageCount = icons;
    return ok;
  }
  return DecodeDib(body, params, bitmap, alpha, headerOnly);
}

}  // namespace vl
