// TVLImageView: loading, header reads and the alpha-channel helpers.
#include <atomic>
#include <cstring>
#include <fstream>

#include "images/Decoders.h"
#include "runtime/NativePath.h"

namespace vl {

namespace {
std::atomic<int64_t> g_decodes{0};

// Reads a whole file, refusing files above the cap. Other readers and
// writers may have the file open meanwhile.
// With `prefix` > 0 only that many first bytes are read; `whole` tells
// whether that was the whole file.
bool ReadWholeFile(const AnsiString& fileName, std::string& out, int64_t prefix = 0, bool* whole = nullptr) {
  std::ifstream f(NativePath(fileName), std::ios::binary | std::ios::ate);
  if (!f) return false;
  std::streamoff size = f.tellg();
  if (size < 0 || size > kMaxImageFileBytes) return false;
  if (whole) *whole = prefix <= 0 || size <= prefix;
  if (prefix > 0 && size > prefix) size = prefix;
  out.resize(static_cast<size_t>(size));
  f.seekg(0);
  if (size && !f.read(out.data(), size)) return false;
  return true;
}

// Headers nearly always lie in the first bytes; only when they do not (a
// directory at the end of a TIFF, huge JPEG metadata) is the rest read.
constexpr int64_t kHeaderPrefixBytes = 256 * 1024;
}  // namespace

TVLImageView::TVLImageView() { bitmap_.Allocate(1, 1, TVLPixelFormat::Rgb24); }
TVLImageView::~TVLImageView() = default;

int64_t TVLImageView::DecodeCount() { return g_decodes.load(); }

void TVLImageView::SetBad() {
  badImage_ = true;
  isMeta_ = false;
  meta_.Clear();
  alpha_.Clear();
  bitmap_.Assign(BadPictureImage());
}

void TVLImageView::Decode(std::string_view data, TIOFileType type) {
  ++g_decodes;
  TVLBitmap bitmap, alpha;
  if (!DecodeByType(type, data, params_, bitmap, alpha, false)) {
    SetBad();
    return;
  }
  bitmap_ = std::move(bitmap);
  alpha_ = std::move(alpha);
  if (!alpha_.IsNull()) alpha_.UpdateFull();
  badImage_ = false;
  if (params_.FileType == TIOFileType::Wmf || params_.FileType == TIOFileType::Emf) {
    isMeta_ = true;
    meta_.width = params_.Width + 1;
    meta_.height = params_.Height + 1;
    meta_.data = std::make_shared<const std::string>(data);
  }
}

void TVLImageView::LoadFromFile(const AnsiString& fileName) {
  badImage_ = true;
  alpha_.Clear();
  isMeta_ = false;
  meta_.Clear();
  params_.Reset();
  TIOFileType type = FileTypeFromExtension(fileName);
  std::string data;
  if (type == TIOFileType::Unknown || !ReadWholeFile(fileName, data)) {
    SetBad();
    return;
  }
  Decode(data, type);
  if (!badImage_) params_.FileName = fileName;
}

void TVLImageView::LoadFromMemory(std::string_view data) {
  badImage_ = true;
  alpha_.Clear();
  isMeta_ = false;
  meta_.Clear();
  params_.Reset();
  TIOFileType type = FileTypeFromContent(data);
  if (type == TIOFileType::Unknown) {
    SetBad();
    return;
  }
  Decode(data, type);
}

void TVLImageView::LoadFromStream(ByteSource& source) {
  std::string data;
  if (!ReadAll(source, data, kMaxImageFileBytes)) {
    params_.Reset();
    SetBad();
    return;
  }
  LoadFromMemory(data);
}

bool TVLImageView::ReadHeaderFromMemory(std::string_view data, TIOFileType type) {
  params_.Reset();
  TVLBitmap b, a;
  if (!DecodeByType(type, data, params_, b, a, true)) {
    params_.FileType = TIOFileType::Unknown;
    params_.Width = params_.Height = 32;
    return false;
  }
  return true;
}

bool TVLImageView::ReadHeader(const AnsiString& fileName) {
  params_.Reset();
  TIOFileType type = FileTypeFromExtension(fileName);
  if (type == TIOFileType::Unknown) return false;
  std::string data;
  bool whole = false;
  if (!ReadWholeFile(fileName, data, kHeaderPrefixBytes, &whole)) {
    params_.Width = params_.Height = 32;
    return false;
  }
  bool ok = ReadHeaderFromMemory(data, type);
  if (!ok && !whole && ReadWholeFile(fileName, data)) ok = ReadHeaderFromMemory(data, type);
  if (ok) params_.FileName = fileName;
  return ok;
}

int TVLImageView::ImageWidth() const { return isMeta_ ? meta_.width : bitmap_.Width(); }
int TVLImageView::ImageHeight() const { return isMeta_ ? meta_.height : bitmap_.Height(); }

TColor TVLImageView::TransparentColor() const {
  if (bitmap_.IsNull()) return 0xFFFFFF;
  if (bitmap_.Format() == TVLPixelFormat::Mono) return 0xFFFFFF;
  QRgb c = bitmap_.Image().pixel(0, bitmap_.Height() - 1);
  return static_cast<TColor>(qRed(c)) | (static_cast<TColor>(qGreen(c)) << 8) |
         (static_cast<TColor>(qBlue(c)) << 16);
}

void TVLImageView::AlphaFromColor(TColor key) {
  if (bitmap_.IsNull()) return;
  const int w = bitmap_.Width(), h = bitmap_.Height();
  TVLBitmap a;
  if (!a.Allocate(w, h, TVLPixelFormat::Gray8)) return;
  for (int y = 0; y < h; ++y) memset(a.ScanLine(y), 255, static_cast<size_t>(w));
  if (key != kNoColorKey) {
    if (key == kOwnTransparentColor) key = TransparentColor();
    const uint8_t kr = key & 0xFF, kg = (key >> 8) & 0xFF, kb = (key >> 16) & 0xFF;
    if (bitmap_.Format() == TVLPixelFormat::Rgb24) {
      for (int y = 0; y < h; ++y) {
        const uint8_t* s = bitmap_.ScanLine(y);
        uint8_t* d = a.ScanLine(y);
        for (int x = 0; x < w; ++x, s += 3)
          if (s[0] == kr && s[1] == kg && s[2] == kb) d[x] = 0;
      }
    } else {
      const QImage& img = bitmap_.Image();
      for (int y = 0; y < h; ++y) {
        uint8_t* d = a.ScanLine(y);
        for (int x = 0; x < w; ++x) {
          QRgb c = img.pixel(x, y);
          if (qRed(c) == kr && qGreen(c) == kg && qBlue(c) == kb) d[x] = 0;
        }
      }
    }
  }
  a.UpdateFull();
  alpha_ = std::move(a);
}

void TVLImageView::AlphaFromBitmap(const TVLBitmap& grey) {
  if (bitmap_.IsNull() || grey.IsNull()) return;
  QImage g = grey.Image().convertToFormat(QImage::Format_Grayscale8);
  if (g.size() != bitmap_.Image().size())
    g = g.scaled(bitmap_.Image().size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  alpha_.Assign(g);
  alpha_.UpdateFull();
}

}  // namespace vl
