// GIF: the header, the logical screen and global colour table, then the
// blocks in order up to the image whose number is params.GifImageIndex. That
// image is decoded at its own size (the frame, not the logical screen).
#include <vector>

#include "images/ByteReader.h"
#include "images/Decoders.h"
#include "images/Lzw.h"

namespace vl {

namespace {

constexpr uint8_t kExtension = 0x21;
constexpr uint8_t kImage = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGraphicControl = 0xF9;

bool ReadColorTable(TByteReader& in, int count, std::vector<TRGB>& table) {
  std::string_view bytes = in.Bytes(static_cast<size_t>(count) * 3);
  if (in.Failed()) return false;
  table.resize(count);
  for (int i = 0; i < count; ++i)
    table[i] = {static_cast<uint8_t>(bytes[3 * i]), static_cast<uint8_t>(bytes[3 * i + 1]),
                static_cast<uint8_t>(bytes[3 * i + 2])};
  return true;
}

// Passes over a chain of sub-blocks, appending their bytes to `out` when
// given. False when the data ends before the terminating empty block.
bool ReadSubBlocks(TByteReader& in, std::string* out) {
  for (;;) {
    uint8_t n = in.U8();
    if (in.Failed()) return false;
    if (n == 0) return true;
    std::string_view b = in.Bytes(n);
    if (in.Failed()) return false;
    if (out) out->append(b);
  }
}

// Row order of an interlaced image: every 8th row from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1.
std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(height);
  if (!interlaced) {
    for (int y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
  return rows;
}

}  // namespace

bool DecodeGif(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
               bool headerOnly) {
  TByteReader in(data);
  std::string_view sig = in.Bytes(6);
  if (in.Failed() || sig.substr(0, 3) != "GIF") return false;
  params.GifVersion = AnsiString(sig);
  params.GifScreenWidth = in.U16();
  params.GifScreenHeight = in.U16();
  uint8_t screenFlags = in.U8();
  uint8_t background = in.U8();
  in.U8();  // pixel aspect ratio
  if (in.Failed()) return false;
  std::vector<TRGB> globalTable;
  if ((screenFlags & 0x80) && !ReadColorTable(in, 2 << (screenFlags & 7), globalTable)) return false;
  if (background < globalTable.size()) params.GifBackground = globalTable[background];

  // The graphic control extension applies to the next image only.
  bool gceSeen = false;
  int gceFlags = 0, gceDelay = 0, gceTransparent = 0;
  int imageNumber = 0;
  for (;;) {
    uint8_t block = in.U8();
    if (in.Failed() || block == kTrailer) return false;  // the image asked for is not there
    if (block == kExtension) {
      uint8_t label = in.U8();
      if (label == kGraphicControl) {
        std::string body;
        if (!ReadSubBlocks(in, &body)) return false;
        if (body.size() >= 4) {
          gceSeen = true;
          gceFlags = static_cast<uint8_t>(body[0]);
          gceDelay = static_cast<uint8_t>(body[1]) | (static_cast<uint8_t>(body[2]) << 8);
          gceTransparent = static_cast<uint8_t>(body[3]);
        }
      } else if (!ReadSubBlocks(in, nullptr)) {
        return false;
      }
      continue;
    }
    if (block != kImage) return false;  // not a GIF block: the stream is damaged

    int left = in.U16(), top = in.U16(), width = in.U16(), height = in.U16();
    uint8_t flags = in.U8();
    if (in.Failed()) return false;
    std::vector<TRGB> localTable;
    if ((flags & 0x80) && !ReadColorTable(in, 2 << (flags & 7), localTable)) return false;
    if (imageNumber++ != params.GifImageIndex) {
      in.U8();  // minimum code size
      if (!ReadSubBlocks(in, nullptr)) return false;
      gceSeen = false;
      continue;
    }

    // The image asked for.
    const std::vector<TRGB>& table = (flags & 0x80) ? localTable : globalTable;
    const bool interlaced = (flags & 0x40) != 0;
    const bool transparent = gceSeen && (gceFlags & 1);
    params.GifImageCount = imageNumber;
    params.GifLeft = left;
    params.GifTop = top;
    params.GifInterlaced = interlaced;
    params.Width = width;
    params.Height = height;
    params.ColorMap = table;
    params.BitsPerSample = 1;
    while ((1u << params.BitsPerSample) < table.size() && params.BitsPerSample < 8)
      ++params.BitsPerSample;
    params.SamplesPerPixel = 1;
    if (gceSeen) {
      params.GifControlFlags = gceFlags;
      params.GifDelay = gceDelay;
    }
    params.GifHasTransparency = transparent;
    params.GifTransparentIndex = transparent ? gceTransparent : -1;
    if (transparent && gceTransparent < static_cast<int>(table.size()))
      params.GifTransparentColor = table[gceTransparent];
    const bool mono = table.size() == 2 && table[0] == TRGB{0, 0, 0} &&
                      table[1] == TRGB{255, 255, 255};
    if (!ImageSizeAllowed(width, height, mono ? 1 : 24)) return false;
    if (headerOnly) return true;

    int minCodeSize = in.U8();
    std::string lzw;
    bool terminated = ReadSubBlocks(in, &lzw);
    if (in.Failed() && lzw.empty()) return false;
    (void)terminated;  // a missing terminator is fine when every pixel arrived

    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    // One byte of codes yields at most 2,731 pixels (12-bit codes of 4,096
    // pixels each): shorter data cannot fill the image.
    if (lzw.size() * 2731 < count) return false;
    std::vector<uint8_t> indices(count);
    size_t produced = 0;
    LzwStatus st = LzwDecode(lzw, GifLzw(minCodeSize), indices.data(), count, produced);
    if (st == LzwStatus::BadCode || st == LzwStatus::Overrun || produced != count) return false;

    // Every index must have a colour, except the transparent one.
    const int tableSize = static_cast<int>(table.size());
    bool anyTransparent = false;
    for (uint8_t v : indices) {
      if (transparent && v == gceTransparent) {
        anyTransparent = true;
        continue;
      }
      if (v >= tableSize) return false;
    }

    if (!bitmap.Allocate(width, height, mono ? TVLPixelFormat::Mono : TVLPixelFormat::Rgb24))
      return false;
    if (anyTransparent && !alpha.Allocate(width, height, TVLPixelFormat::Gray8)) return false;
    std::vector<int> rows = RowOrder(height, interlaced);
    for (int i = 0; i < height; ++i) {
      const uint8_t* src = indices.data() + static_cast<size_t>(i) * width;
      const int y = rows[i];
      uint8_t* dst = bitmap.ScanLine(y);
      if (mono) {
        for (int x = 0; x < width; ++x)
          if (src[x] == 1) dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      } else {
        for (int x = 0; x < width; ++x) {
          TRGB c = src[x] < tableSize ? table[src[x]] : TRGB{};
          dst[3 * x] = c.r;
          dst[3 * x + 1] = c.g;
          dst[3 * x + 2] = c.b;
        }
      }
      if (anyTransparent) {
        uint8_t* a = alpha.ScanLine(y);
        for (int x = 0; x < width; ++x) a[x] = src[x] == gceTransparent ? 0 : 255;
      }
    }
    if (anyTransparent) alpha.Full = true;
    return true;
  }
}

}  // namespace vl
