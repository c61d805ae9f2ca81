// The picture cache.
#include "images/PictureCache.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "images/Decoders.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"

namespace vl {

namespace {

// The size of a disk file, or -1 when it cannot be read.
int64_t DiskFileSize(const AnsiString& name) {
  std::error_code ec;
  auto size = std::filesystem::file_size(NativePath(name), ec);
  return ec ? -1 : static_cast<int64_t>(size);
}

bool IsDiskFile(const AnsiString& name) {
  std::error_code ec;
  return std::filesystem::is_regular_file(NativePath(name), ec);
}

}  // namespace

TColor ColorToRgb(TColor colour) {
  if ((colour & 0xFF000000u) != 0xFF000000u) return colour & 0x00FFFFFF;
  // The classic system colours (red in the low byte), by index.
  static const TColor sys[] = {
      0xC8C8C8, 0xA56E3A, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
      0x000000, 0xFFFFFF, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xFF9933, 0xFFFFFF, 0xF0F0F0,
      0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
      0xE1FFFF, 0x000000, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0};
  unsigned idx = colour & 0xFF;
  return idx < std::size(sys) ? sys[idx] : 0;
}

QRegion RegionFromColorKey(const QImage& bitmap, TColor key) {
  QImage img = bitmap.convertToFormat(QImage::Format_RGB32);
  key = ColorToRgb(key);
  const QRgb k = qRgb(key & 0xFF, (key >> 8) & 0xFF, (key >> 16) & 0xFF) & 0x00FFFFFF;
  std::vector<QRect> rects;
  QRegion region;
  auto flush = [&] {
    if (rects.empty()) return;
    QRegion part;
    part.setRects(rects.data(), static_cast<int>(rects.size()));
    region += part;
    rects.clear();
  };
  const int w = img.width();
  for (int y = 0; y < img.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    int x = 0;
    while (x < w) {
      while (x < w && (row[x] & 0x00FFFFFF) == k) ++x;
      int start = x;
      while (x < w && (row[x] & 0x00FFFFFF) != k) ++x;
      if (x > start) rects.emplace_back(start, y, x - start, 1);
    }
    // Gathered a few thousand at a time, on whole rows (setRects needs
    // y-x banded rectangles).
    if (rects.size() >= 2000) flush();
  }
  flush();
  return region;
}

TPictureCache::~TPictureCache() = default;

TPictureCache& ThePictureCache() {
  static TPictureCache cache;
  return cache;
}

void TPictureCache::Free(List::iterator it) {
  if (it->pins > 0) retired_.push_back(std::move(*it));
  list_.erase(it);
}

void TPictureCache::EvictOne() {
  for (auto it = list_.end(); it != list_.begin();) {
    --it;
    if (it->pins == 0) {
      list_.erase(it);
      return;
    }
  }
  // Every record is pinned: the list grows beyond the capacity.
}

void TPictureCache::ClearCache() {
  while (!list_.empty()) Free(list_.begin());
}

void TPictureCache::SetCacheCapacity(int n) {
  if (n == capacity_) return;
  ClearCache();
  capacity_ = std::clamp(n, 1, kMaxCacheCapacity);
}

int TPictureCache::PinCount(const TVLImageView* picture) const {
  for (const CacheRec& r : list_)
    if (r.picture.get() == picture) return r.pins;
  for (const CacheRec& r : retired_)
    if (r.picture.get() == picture) return r.pins;
  return 0;
}

void TPictureCache::Unpin(const TVLImageView* picture) {
  if (!picture) return;
  for (CacheRec& r : list_)
    if (r.picture.get() == picture) {
      if (r.pins > 0) --r.pins;
      return;
    }
  for (auto it = retired_.begin(); it != retired_.end(); ++it)
    if (it->picture.get() == picture) {
      if (--it->pins <= 0) retired_.erase(it);
      return;
    }
}

TCachedPicture TPictureCache::GetPicture(const AnsiString& name, bool pin, TColor colorKey, int width,
                                         int height) {
  return Get(name, nullptr, pin, colorKey, width, height);
}

TCachedPicture TPictureCache::GetPicture(const AnsiString& name, ByteSource& stream, bool pin,
                                         TColor colorKey, int width, int height) {
  return Get(name, &stream, pin, colorKey, width, height);
}

TCachedPicture TPictureCache::Get(const AnsiString& name, ByteSource* stream, bool pin, TColor key,
                                  int width, int height) {
  auto it = list_.begin();
  for (; it != list_.end();) {
    if (!SameTextInvariant(it->name, name)) {
      ++it;
      continue;
    }
    if (it->fileSize != 0 && DiskFileSize(it->name) != it->fileSize) {
      // The file changed on disk.
      auto next = std::next(it);
      Free(it);
      it = next;
      continue;
    }
    break;
  }

  if (it == list_.end()) {
    if (static_cast<int>(list_.size()) >= capacity_) EvictOne();
    CacheRec rec;
    rec.name = name;
    rec.picture = std::make_shared<TVLImageView>();
    TVLImageView& view = *rec.picture;
    try {
      std::string data;
      if (stream) {
        view.LoadFromStream(*stream);
      } else if (ThePackage().FindEntry(name)) {
        if (ThePackage().LoadEntryToMemory(name, data) != kLoadOk) return {};
        view.LoadFromMemory(data);
      } else {
        rec.fileSize = DiskFileSize(name);
        view.LoadFromFile(name);
      }
    } catch (const std::exception&) {
      return {};
    }
    if (view.BadImage() || view.IsEmpty()) return {};
    rec.hasAlpha = view.HasAlpha();
    list_.push_front(std::move(rec));
  } else if (it != list_.begin()) {
    list_.splice(list_.begin(), list_, it);
  }

  CacheRec& rec = list_.front();
  TCachedPicture out;
  out.picture = rec.picture.get();
  if (width < 0) width = rec.picture->ImageWidth();
  if (height < 0) height = rec.picture->ImageHeight();
  UpdateRegion(rec, key, width, height);
  if (rec.hasRegion && rec.regionKey == key && rec.regionWidth == width && rec.regionHeight == height) {
    out.hasRegion = true;
    out.region = rec.region;
  }
  if (pin) ++rec.pins;
  return out;
}

void TPictureCache::UpdateRegion(CacheRec& rec, TColor key, int width, int height) {
  TVLImageView& view = *rec.picture;
  if ((rec.pins > 0 && rec.hasRegion) || key == kNoColorKey || rec.hasAlpha || view.BadImage() ||
      view.IsMeta())
    return;
  if (rec.hasRegion && (rec.regionWidth != width || rec.regionHeight != height || rec.regionKey != key)) {
    rec.hasRegion = false;
    rec.region = QRegion();
  }
  if (rec.hasRegion || width <= 0 || height <= 0) return;
  const TColor own = key == kOwnTransparentColor ? view.TransparentColor() : key;
  const QImage& img = view.Bitmap().Image();
  if (width == img.width() && height == img.height() && view.Bitmap().Format() != TVLPixelFormat::Mono) {
    rec.region = RegionFromColorKey(img, own);
  } else {
    if (!ImageSizeAllowed(width, height, 32)) return;
    rec.region = RegionFromColorKey(
        img.convertToFormat(QImage::Format_RGB32).scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation),
        own);
  }
  ++regionBuilds_;
  rec.hasRegion = true;
  rec.regionKey = key;
  rec.regionWidth = width;
  rec.regionHeight = height;
}

namespace {
// The alpha flag: four 8-bit samples, or a format that reports alpha.
void FillInfo(const TIOParamsVals& p, TPictureInfo& info) {
  info.width = p.Width;
  info.height = p.Height;
  info.hasAlpha = (p.SamplesPerPixel == 4 && p.BitsPerSample == 8) || p.AlphaReported;
}
}  // namespace

bool PictureInfoFromHeader(std::string_view data, TPictureInfo& info) {
  info = TPictureInfo();
  TIOFileType type = FileTypeFromContent(data);
  if (type == TIOFileType::Unknown) return false;
  TVLImageView view;
  if (!view.ReadHeaderFromMemory(data, type)) return false;
  FillInfo(view.Params(), info);
  return true;
}

bool TPictureCache::GetPictureInfo(const AnsiString& name, TPictureInfo& info) {
  info = TPictureInfo();
  if (const LibRec* e = ThePackage().FindEntry(name)) {
    if (e->Type == kEntryPicture) {
      info.width = e->ImageWidth;
      info.height = e->ImageHeight;
      info.hasAlpha = e->ImageAlpha;
    }
    return true;
  }
  if (!IsDiskFile(name)) return false;
  TVLImageView view;
  if (!view.ReadHeader(name)) return false;
  FillInfo(view.Params(), info);
  return true;
}

}  // namespace vl
