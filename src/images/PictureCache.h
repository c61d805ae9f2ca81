#pragma once
// The picture cache: decoded pictures kept by file name, most recently used
// first, with the shape (region) of each picture's non-transparent pixels, so
// that a repaint never decodes a file twice. It also tells a picture's size
// without decoding it.
//
// Pins are counted: every GetPicture with `pin` must be matched by one
// Unpin. A pinned picture is never evicted; when it must leave the cache
// while pinned (its file changed on disk, the cache is cleared) it stays
// alive, outside the list, until its last Unpin, so no user is left drawing
// a freed picture.
#include <QRegion>
#include <cstdint>
#include <list>
#include <memory>
#include <string_view>
#include <vector>

#include "images/VL_ImageLib.h"
#include "runtime/Ansi.h"
#include "runtime/Global.h"
#include "runtime/Stream.h"

namespace vl {

constexpr int kDefaultCacheCapacity = 30;
constexpr int kMaxCacheCapacity = 100;

struct TCachedPicture {
  TVLImageView* picture = nullptr;  // null: the picture could not be loaded
  bool hasRegion = false;
  QRegion region;  // the non-transparent pixels, when hasRegion
  explicit operator bool() const { return picture != nullptr; }
};

struct TPictureInfo {
  int width = 0;
  int height = 0;
  bool hasAlpha = false;
};

class TPictureCache {
 public:
  TPictureCache() = default;
  ~TPictureCache();
  TPictureCache(const TPictureCache&) = delete;
  TPictureCache& operator=(const TPictureCache&) = delete;

  // By file name: a package entry of that name, else the disk file. `width`
  // and `height` of -1 mean the picture's own size; `colorKey` kNoColorKey
  // asks for no region.
  TCachedPicture GetPicture(const AnsiString& name, bool pin, TColor colorKey = kNoColorKey,
                            int width = -1, int height = -1);
  // From a stream positioned at a picture, cached under `name`.
  TCachedPicture GetPicture(const AnsiString& name, ByteSource& stream, bool pin,
                            TColor colorKey = kNoColorKey, int width = -1, int height = -1);
  // Releases one pin of the record holding this picture.
  void Unpin(const TVLImageView* picture);
  // Size (and alpha) without decoding: from the package entry's record, else
  // from the file's header. False when the name is neither.
  bool GetPictureInfo(const AnsiString& name, TPictureInfo& info);

  // When n differs from the capacity: empties the cache, then the capacity
  // becomes n within 1..100.
  void SetCacheCapacity(int n);
  void ClearCache();

  int Capacity() const { return capacity_; }
  int Count() const { return static_cast<int>(list_.size()); }
  // Pins of the record holding this picture (0 when not cached).
  int PinCount(const TVLImageView* picture) const;
  // How many regions were built (for tests and benchmarks).
  int64_t RegionBuilds() const { return regionBuilds_; }

 private:
  struct CacheRec {
    AnsiString name;
    std::shared_ptr<TVLImageView> picture;
    int regionWidth = 0;
    int regionHeight = 0;
    int64_t fileSize = 0;  // 0: from the package or a stream
    bool hasRegion = false;
    QRegion region;
    TColor regionKey = kNoColorKey;
    bool hasAlpha = false;
    int pins = 0;
  };
  using List = std::list<CacheRec>;

  TCachedPicture Get(const AnsiString& name, ByteSource* stream, bool pin, TColor key, int width,
                     int height);
  void Free(List::iterator it);
  void EvictOne();
  void UpdateRegion(CacheRec& rec, TColor key, int width, int height);

  List list_;
  // Records that left the list while pinned; freed at their last Unpin.
  std::vector<CacheRec> retired_;
  int capacity_ = kDefaultCacheCapacity;
  int64_t regionBuilds_ = 0;
};

// The process's picture cache (main thread only).
TPictureCache& ThePictureCache();

// Size and alpha of a picture from its header bytes alone (type by
// content). False when the data is not a picture we read.
bool PictureInfoFromHeader(std::string_view data, TPictureInfo& info);

// The region of the pixels of `bitmap` whose colour is not `key` (exactly),
// as one-pixel-high rectangles; kOwnTransparentColor is taken as `ownKey`.
QRegion RegionFromColorKey(const QImage& bitmap, TColor key);

// A colour of the player's format (0xFF0000nn = system colour nn) as RGB.
TColor ColorToRgb(TColor colour);

}  // namespace vl
