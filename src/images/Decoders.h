#pragma once
// The picture decoders, one per format, all of one shape:
//   bool DecodeXxx(data, params, bitmap, alpha, headerOnly)
// A decoder fills `params` from the header and, unless `headerOnly`, the
// bitmap (Mono for black-and-white pictures, Rgb24 otherwise) and, when the
// picture carries alpha, the Gray8 `alpha` bitmap of the same size (left
// null otherwise). It returns false for data it refuses; it never throws for
// bad data, never reads outside `data` and allocates only after
// ImageSizeAllowed said yes (TVLBitmap::Allocate asks it too). On false the
// caller discards bitmap and alpha.
#include <cstdint>
#include <string_view>

#include "images/VL_ImageLib.h"

namespace vl {

// The picture caps. A picture file is untrusted: a header may claim any size.
// We refuse a side above 16,384 pixels and a bitmap (or any one working
// buffer a decoder sizes from the header) above 256 MiB.
constexpr int64_t kMaxImageSide = 16384;
constexpr int64_t kMaxImageBytes = int64_t{256} << 20;
// We never read a picture file larger than this into memory.
constexpr int64_t kMaxImageFileBytes = int64_t{256} << 20;

// True when a width × height picture of `bitsPerPixel` fits the caps
// (1 <= side <= kMaxImageSide, rows padded to 4 bytes within kMaxImageBytes).
bool ImageSizeAllowed(int64_t width, int64_t height, int bitsPerPixel);
// True when a working buffer of `bytes` fits the cap.
inline bool BufferSizeAllowed(int64_t bytes) { return bytes >= 0 && bytes <= kMaxImageBytes; }

using DecoderFn = bool (*)(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap,
                           TVLBitmap& alpha, bool headerOnly);

bool DecodeGif(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
               bool headerOnly);
bool DecodeTiff(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
                bool headerOnly);
bool DecodePcx(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
               bool headerOnly);
bool DecodeIco(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
               bool headerOnly);
bool DecodeBmp(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
               bool headerOnly);
bool DecodePng(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
               bool headerOnly);
// Deflate packs at most 1,032 bytes into one: false when the IDAT chunks of
// a PNG are too short for the rows its header claims, so the picture is
// refused before it is allocated.
bool PngDataPlausible(std::string_view data);
// libpng allocates the length a chunk claims before it reads the chunk:
// false when a chunk it would read (before the first IDAT for a header
// read, up to IEND otherwise) claims more than the data holds.
bool PngChunksFit(std::string_view data, bool headerOnly);
bool DecodeJpeg(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
                bool headerOnly);
// WMF and EMF: header (size) only; rendering is refused (no metafile service).
bool DecodeMeta(std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap, TVLBitmap& alpha,
                bool headerOnly);

// Turns a decoded bitmap (or alpha channel) upright by a TIFF/Exif
// orientation: 1 as stored, 2 mirrored, 3 turned half round, 4 flipped,
// 5 to 8 the same with rows and columns exchanged. False when memory runs
// out.
bool Reorient(TVLBitmap& bitmap, int orientation);

// The decoder of a file type, or null for Unknown.
DecoderFn DecoderFor(TIOFileType type);
// Runs the decoder of `type` and catches whatever escapes it (out of
// memory); false for Unknown. Sets params.FileType.
bool DecodeByType(TIOFileType type, std::string_view data, TIOParamsVals& params,
                  TVLBitmap& bitmap, TVLBitmap& alpha, bool headerOnly);

// Little helpers the decoders share for reading untrusted bytes.
inline uint16_t GetU16LE(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetU32LE(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t GetU16BE(const unsigned char* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t GetU32BE(const unsigned char* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

}  // namespace vl
