// Dispatch from a file type to its decoder.
#include <exception>

#include "images/Decoders.h"

namespace vl {

DecoderFn DecoderFor(TIOFileType type) {
  switch (type) {
    case TIOFileType::Tiff: return &DecodeTiff;
    case TIOFileType::Gif: return &DecodeGif;
    case TIOFileType::Jpeg: return &DecodeJpeg;
    case TIOFileType::Pcx: return &DecodePcx;
    case TIOFileType::Bmp: return &DecodeBmp;
    case TIOFileType::Ico: return &DecodeIco;
    case TIOFileType::Png: return &DecodePng;
    case TIOFileType::Wmf:
    case TIOFileType::Emf: return &DecodeMeta;
    default: return nullptr;
  }
}

bool DecodeByType(TIOFileType type, std::string_view data, TIOParamsVals& params, TVLBitmap& bitmap,
                  TVLBitmap& alpha, bool headerOnly) {
  DecoderFn fn = DecoderFor(type);
  if (!fn) return false;
  params.FileType = type;
  bool ok = false;
  try {
    ok = fn(data, params, bitmap, alpha, headerOnly);
  } catch (...) {
    // Out of memory in a container, or anything a decoder let escape: the
    // picture is simply not loaded.
    ok = false;
  }
  if (!ok) {
    bitmap.Clear();
    alpha.Clear();
  } else if (!headerOnly) {
    // The alpha must match the picture or the drawing code would read past it.
    if (!alpha.IsNull() && (alpha.Width() != bitmap.Width() || alpha.Height() != bitmap.Height() ||
                            alpha.Format() != TVLPixelFormat::Gray8))
      alpha.Clear();
    if (bitmap.IsNull()) return false;
  }
  return ok;
}

}  // namespace vl
