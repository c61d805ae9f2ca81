#pragma once
// Pictures: one component decodes every supported format into a plain bitmap
// (1 bit per pixel for black-and-white pictures, 24 bits otherwise) plus an
// optional 8-bit alpha channel, and draws the result at its own size or
// scaled, with a global opacity. A picture that cannot be decoded becomes the
// built-in bad picture, so callers always have something to draw.
#include <QImage>
#include <QRect>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"
#include "runtime/Global.h"
#include "runtime/Stream.h"

class QPainter;

namespace vl {

// Colour key of AlphaFromColor and of the picture cache's regions: the
// picture's own transparent colour; and "no key at all".
constexpr TColor kOwnTransparentColor = 0x20000000;
constexpr TColor kNoColorKey = 0x1FFFFFFF;

// Opacity 0..255 blends with the device (the alpha channel still applies);
// kOpaqueNoAlpha draws opaque and ignores the alpha channel.
constexpr int kOpaqueNoAlpha = 256;

enum class TVLPixelFormat { None, Mono, Gray8, Rgb24 };

// A device-independent bitmap over a QImage: Format_Mono (1 bit, MSB first,
// a two-entry colour table, black and white unless the source says
// otherwise), Format_Grayscale8 (alpha channels) or Format_RGB888.
class TVLBitmap {
 public:
  TVLBitmap() = default;

  // Allocates a zero-filled bitmap. False, leaving the bitmap null, when the
  // size is not within the picture caps (Decoders.h) or memory runs out.
  // A decoder that writes every row before it reports success may skip the
  // zeroing (`zeroed` false): on a large picture it costs as much as the
  // decoding.
  bool Allocate(int width, int height, TVLPixelFormat format, bool zeroed = true);
  // Bytes every Allocate of this process has obtained so far, so tests can
  // show that a hostile header was refused before its picture was allocated.
  static int64_t BytesAllocated();
  void Clear();
  bool IsNull() const { return image_.isNull(); }

  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  TVLPixelFormat Format() const;
  int BitsPerPixel() const;  // 1, 8 or 24; 0 when null
  uint8_t* ScanLine(int y) { return image_.scanLine(y); }
  const uint8_t* ScanLine(int y) const { return image_.constScanLine(y); }
  int BytesPerLine() const { return static_cast<int>(image_.bytesPerLine()); }

  // Colours of bit 0 and bit 1 of a 1-bit bitmap.
  void SetMonoColors(QRgb zero, QRgb one);

  QImage& Image() { return image_; }
  const QImage& Image() const { return image_; }
  // Adopts an image, converting it to the nearest of the three formats.
  void Assign(const QImage& image);

  // Used as an alpha channel: true when some value is not 255 (the alpha
  // matters). UpdateFull recomputes it from the pixels.
  bool Full = false;
  void UpdateFull();

 private:
  QImage image_;
};

enum class TIOFileType { Unknown, Tiff, Gif, Jpeg, Pcx, Bmp, Ico, Png, Wmf, Emf };

// Type by extension (lower-cased): ".tif" ".tiff" ".gif" ".jpg" ".jpeg"
// ".jpe" ".pcx" ".bmp" ".ico" ".png" ".wmf" ".emf"; anything else Unknown.
TIOFileType FileTypeFromExtension(std::string_view fileName);
// Type by content, in the fixed order JPEG, GIF, BMP, TIFF, PNG, PCX, ICO,
// EMF, WMF.
TIOFileType FileTypeFromContent(std::string_view data);

enum class TBmpHeaderKind { None, Core, Windows3, Os2v2, V4, V5 };

struct TRGB {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const TRGB&) const = default;
};

// What a load learnt about the file. Reset before every load; the two
// selections (GifImageIndex, IcoImageIndex) are what the caller asks for and
// survive the reset.
struct TIOParamsVals {
  TIOFileType FileType = TIOFileType::Unknown;
  AnsiString FileName;
  int BitsPerSample = 8;
  int SamplesPerPixel = 3;
  int Width = 0;
  int Height = 0;
  int DpiX = 96;  // the screen's
  int DpiY = 96;
  std::vector<TRGB> ColorMap;  // palette formats; the count is its size
  bool AlphaReported = false;  // the header says the picture carries alpha

  // GIF
  AnsiString GifVersion = "GIF89a";
  int GifImageIndex = 0;  // which image to load (a selection)
  int GifImageCount = 0;  // images seen while reading
  int GifScreenWidth = 0;
  int GifScreenHeight = 0;
  TRGB GifBackground;
  TRGB GifTransparentColor;
  bool GifHasTransparency = false;
  int GifTransparentIndex = -1;
  int GifControlFlags = 0;  // packed flags of the graphic control extension
  int GifDelay = 0;         // hundredths of a second
  bool GifInterlaced = false;
  int GifLeft = 0;
  int GifTop = 0;

  // ICO
  int IcoImageIndex = 0;  // which icon to load (a selection)
  int IcoImageCount = 0;

  // BMP
  TBmpHeaderKind BmpHeaderKind = TBmpHeaderKind::None;
  int BmpCompression = 0;

  // TIFF
  AnsiString TiffDocumentName;
  AnsiString TiffImageDescription;
  AnsiString TiffPageName;
  int TiffPageNumber = 0;
  AnsiString TiffSoftware;
  double TiffXPos = 0;
  double TiffYPos = 0;
  int TiffCompression = 1;
  int TiffPhotometric = 0;
  int TiffPlanarConfig = 1;

  // Restores every default; keeps GifImageIndex and IcoImageIndex.
  void Reset();
};

// A metafile: its size and its records, which Draw and StretchDraw play
// onto the target (so a scaled metafile stays sharp). Bitmap holds the
// records drawn at the picture's size, for everything that needs pixels.
struct TVLMetafile {
  bool Empty() const { return width <= 0 || height <= 0; }
  int width = 0;
  int height = 0;
  std::shared_ptr<const std::string> data;
  void Clear() {
    width = height = 0;
    data.reset();
  }
};

class TVLImageView {
 public:
  TVLImageView();
  ~TVLImageView();
  TVLImageView(const TVLImageView&) = delete;
  TVLImageView& operator=(const TVLImageView&) = delete;

  // Type from the extension only; on any failure the bad picture.
  void LoadFromFile(const AnsiString& fileName);
  // Type from the content; on any failure the bad picture.
  void LoadFromMemory(std::string_view data);
  void LoadFromStream(ByteSource& source);
  // Reads only the header into Params. False for an unknown type or a
  // header that does not parse (type Unknown, size 32 by 32 then).
  bool ReadHeader(const AnsiString& fileName);
  bool ReadHeaderFromMemory(std::string_view data, TIOFileType type);

  TVLBitmap& Bitmap() { return bitmap_; }
  const TVLBitmap& Bitmap() const { return bitmap_; }
  // The alpha channel (Gray8, the picture's size) or null.
  TVLBitmap* AlphaChannel() { return alpha_.IsNull() ? nullptr : &alpha_; }
  const TVLBitmap* AlphaChannel() const { return alpha_.IsNull() ? nullptr : &alpha_; }
  TIOParamsVals& Params() { return params_; }
  const TIOParamsVals& Params() const { return params_; }
  const TVLMetafile& Meta() const { return meta_; }
  bool IsMeta() const { return isMeta_; }
  bool BadImage() const { return badImage_; }

  int ImageWidth() const;
  int ImageHeight() const;
  bool IsEmpty() const { return ImageWidth() <= 1 && ImageHeight() <= 1; }
  bool HasAlpha() const { return !alpha_.IsNull(); }
  void ClearAlpha() { alpha_.Clear(); }
  // Alpha 255 everywhere; unless the key is kNoColorKey every pixel of the
  // key colour gets 0. kOwnTransparentColor means TransparentColor().
  void AlphaFromColor(TColor key);
  // Alpha copied from a grey bitmap, stretched when its size differs.
  void AlphaFromBitmap(const TVLBitmap& grey);
  // The bottom-left pixel's colour, white for a 1-bit bitmap (as TColor,
  // red in the low byte).
  TColor TransparentColor() const;

  // Draws at the picture's own size at (left, top).
  void Draw(QPainter& painter, int opacity, int left, int top) const;
  // Draws scaled into the rectangle.
  void StretchDraw(QPainter& painter, bool smooth, int opacity, const QRect& rect) const;
  // A new bitmap of the given size and the picture's pixel format with the
  // picture stretched into it. False for a missing bitmap or a size <= 0.
  bool CopyToBitmap(int width, int height, TVLBitmap& out) const;
  // Writes the picture as PNG with its alpha channel (types 1..8 and 11),
  // or a metafile as the metafile it was loaded from (types 9 and 10).
  bool SaveToStream(std::string& out, int type) const;

  // Counts every decode this process has run (header reads excluded), so
  // callers and benchmarks can show that a repaint decoded nothing.
  static int64_t DecodeCount();

 private:
  void Decode(std::string_view data, TIOFileType type);
  void SetBad();
  void PlayMeta(QPainter& painter, const QRect& rect) const;

  TVLBitmap bitmap_;
  TVLBitmap alpha_;
  TIOParamsVals params_;
  TVLMetafile meta_;
  bool isMeta_ = false;
  bool badImage_ = false;
};

// The built-in bad picture (24-bit, not empty).
const QImage& BadPictureImage();

// Exact blend of `src` (with optional alpha) onto `dst` at `at`:
// per channel dst += floor(w * (src - dst) / 256), w = min(opacity, alpha).
// `dst` must be Format_RGB32, Format_ARGB32(_Premultiplied) or RGB888.
void BlendInto(QImage& dst, QPoint at, const TVLBitmap& src, const TVLBitmap* alpha, int opacity);

}  // namespace vl
