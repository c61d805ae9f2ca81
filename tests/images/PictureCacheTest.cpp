// The picture cache: hits, eviction, counted pins, reload on a size change,
// regions and picture info.
#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "images/PictureCache.h"
#include "runtime/Package.h"
#include "runtime/PackageWriter.h"

using namespace vl;
using namespace imgtest;

namespace {

QImage Solid(int w, int h, QRgb c) {
  QImage img(w, h, QImage::Format_RGB888);
  img.fill(c);
  return img;
}

class PictureCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { cache.SetCacheCapacity(30); }
  std::string Write(const std::string& name, const QImage& img) {
    std::string path = (dir / name).string();
    vltest::WriteFileBytes(path, QtPng(img));
    return path;
  }
  vltest::TempDir dir;
  TPictureCache cache;
};

}  // namespace

TEST_F(PictureCacheTest, RepaintsOfCachedPicturesDecodeNothing) {
  std::string a = Write("a.png", Solid(4, 4, qRgb(1, 1, 1)));
  std::string b = Write("b.png", Solid(4, 4, qRgb(2, 2, 2)));
  auto decodesFor = [&](int capacity) {
    cache.SetCacheCapacity(capacity);
    int64_t before = TVLImageView::DecodeCount();
    for (int i = 0; i < 3; ++i)
      for (const std::string& n : {a, b}) {
        TCachedPicture got = cache.GetPicture(n, true);
        EXPECT_TRUE(got);
        cache.Unpin(got.picture);
      }
    return TVLImageView::DecodeCount() - before;
  };
  EXPECT_EQ(decodesFor(1), 6);  // alternating wallpapers evict each other
  EXPECT_EQ(decodesFor(2), 2);
  // Names compare without regard to case.
  TCachedPicture upper = cache.GetPicture(AnsiUpper(a), false);
  TCachedPicture lower = cache.GetPicture(a, false);
  EXPECT_EQ(upper.picture, lower.picture);
  // What does not decode is not cached.
  vltest::WriteFileBytes(dir / "bad.png", "not a picture");
  EXPECT_FALSE(cache.GetPicture((dir / "bad.png").string(), true));
  EXPECT_FALSE(cache.GetPicture((dir / "missing.png").string(), true));
}

TEST_F(PictureCacheTest, CapacityIsClampedAndAChangeEmptiesTheCache) {
  std::string a = Write("a.png", Solid(4, 4, qRgb(1, 1, 1)));
  cache.GetPicture(a, false);
  cache.SetCacheCapacity(30);  // no change: nothing happens
  EXPECT_EQ(cache.Count(), 1);
  cache.SetCacheCapacity(500);
  EXPECT_EQ(cache.Count(), 0);
  EXPECT_EQ(cache.Capacity(), 100);
  cache.SetCacheCapacity(0);
  EXPECT_EQ(cache.Capacity(), 1);
}

TEST_F(PictureCacheTest, PinsAreCountedAndPinnedPicturesStay) {
  cache.SetCacheCapacity(1);
  std::string a = Write("a.png", Solid(4, 4, qRgb(1, 1, 1)));
  std::string b = Write("b.png", Solid(4, 4, qRgb(2, 2, 2)));
  // Two users hold a.
  TVLImageView* pa = cache.GetPicture(a, true).picture;
  ASSERT_EQ(cache.GetPicture(a, true).picture, pa);
  EXPECT_EQ(cache.PinCount(pa), 2);
  cache.Unpin(pa);  // the first user is done; the second still draws
  EXPECT_EQ(cache.PinCount(pa), 1);
  // b cannot evict a: the list grows beyond its capacity.
  TVLImageView* pb = cache.GetPicture(b, false).picture;
  EXPECT_EQ(cache.Count(), 2);
  int64_t before = TVLImageView::DecodeCount();
  EXPECT_EQ(cache.GetPicture(a, false).picture, pa);
  EXPECT_EQ(TVLImageView::DecodeCount(), before);
  (void)pb;
  // Once a is free, it is the one evicted (least recently used, unpinned).
  cache.Unpin(pa);
  cache.Unpin(pa);  // an extra Unpin is harmless
  EXPECT_EQ(cache.PinCount(pa), 0);
  cache.GetPicture(b, false);
  std::string c = Write("c.png", Solid(4, 4, qRgb(3, 3, 3)));
  cache.GetPicture(c, false);
  before = TVLImageView::DecodeCount();
  cache.GetPicture(a, false);
  EXPECT_EQ(TVLImageView::DecodeCount(), before + 1);

  // A pinned picture outlives ClearCache until its last Unpin.
  TVLImageView* held = cache.GetPicture(c, true).picture;
  cache.ClearCache();
  EXPECT_EQ(cache.Count(), 0);
  EXPECT_EQ(cache.PinCount(held), 1);
  EXPECT_EQ(held->ImageWidth(), 4);  // still a live picture
  cache.Unpin(held);
  EXPECT_EQ(cache.PinCount(held), 0);
}

TEST_F(PictureCacheTest, AChangedFileSizeReloadsTheFile) {
  std::string a = Write("a.png", Solid(4, 4, qRgb(1, 1, 1)));
  TVLImageView* first = cache.GetPicture(a, true).picture;
  ASSERT_TRUE(first);
  // Replaced by a picture of another byte size: the next request loads it,
  // while the first user keeps drawing the old one.
  const int64_t oldSize = vltest::ReadFileBytes(a).size();
  QImage bigger = Solid(9, 3, qRgb(5, 5, 5));
  bigger.setPixel(4, 1, qRgb(200, 100, 0));
  Write("a.png", bigger);
  ASSERT_NE(vltest::ReadFileBytes(a).size(), oldSize);
  TCachedPicture second = cache.GetPicture(a, false);
  ASSERT_TRUE(second);
  EXPECT_EQ(second.picture->ImageWidth(), 9);
  EXPECT_EQ(first->ImageWidth(), 4);
  cache.Unpin(first);
  // A replacement of exactly the same size is not noticed.
  std::string before = vltest::ReadFileBytes(a);
  bigger.setPixel(4, 1, qRgb(201, 100, 0));
  std::string same = QtPng(bigger);
  ASSERT_EQ(same.size(), before.size());
  vltest::WriteFileBytes(a, same);
  EXPECT_EQ(cache.GetPicture(a, false).picture, second.picture);
}

TEST_F(PictureCacheTest, RegionsFollowTheColourKeyAndAreRebuiltOnlyOnChange) {
  // White picture, magenta at the bottom-left corner and one more pixel.
  QImage img = Solid(8, 4, qRgb(255, 255, 255));
  img.setPixel(0, 3, qRgb(255, 0, 255));
  img.setPixel(5, 1, qRgb(255, 0, 255));
  std::string a = Write("a.png", img);

  TCachedPicture got = cache.GetPicture(a, false, kOwnTransparentColor);
  ASSERT_TRUE(got.hasRegion);
  EXPECT_FALSE(got.region.contains(QPoint(0, 3)));
  EXPECT_FALSE(got.region.contains(QPoint(5, 1)));
  EXPECT_TRUE(got.region.contains(QPoint(4, 1)));
  EXPECT_TRUE(got.region.contains(QPoint(7, 3)));
  const int64_t built = cache.RegionBuilds();
  // Same size and key: no rebuild.
  cache.GetPicture(a, false, kOwnTransparentColor);
  EXPECT_EQ(cache.RegionBuilds(), built);
  // Another size: rebuilt at that size.
  got = cache.GetPicture(a, false, kOwnTransparentColor, 16, 8);
  EXPECT_EQ(cache.RegionBuilds(), built + 1);
  EXPECT_FALSE(got.region.contains(QPoint(11, 3)));
  EXPECT_TRUE(got.region.contains(QPoint(9, 3)));
  EXPECT_EQ(got.region.boundingRect(), QRect(0, 0, 16, 8));
  // Another key: rebuilt; white keyed out leaves the magenta pixels.
  got = cache.GetPicture(a, false, 0xFFFFFF, 16, 8);
  EXPECT_EQ(cache.RegionBuilds(), built + 2);
  EXPECT_TRUE(got.region.contains(QPoint(11, 3)));
  EXPECT_FALSE(got.region.contains(QPoint(0, 0)));
  // No key: no region.
  EXPECT_FALSE(cache.GetPicture(a, false, kNoColorKey).hasRegion);
  // A pinned picture keeps the region it has; asked at another size it gets none.
  got = cache.GetPicture(a, true, 0xFFFFFF, 16, 8);
  EXPECT_TRUE(got.hasRegion);
  EXPECT_FALSE(cache.GetPicture(a, false, 0xFFFFFF, 8, 4).hasRegion);
  EXPECT_EQ(cache.RegionBuilds(), built + 2);
  cache.Unpin(got.picture);
  // Pictures with alpha get no region.
  QImage alpha(4, 4, QImage::Format_ARGB32);
  alpha.fill(qRgba(0, 0, 0, 0));
  EXPECT_FALSE(cache.GetPicture(Write("alpha.png", alpha), false, kOwnTransparentColor).hasRegion);
}

TEST_F(PictureCacheTest, StreamsAndPackageEntriesAndPictureInfo) {
  const std::string png = QtPng(Solid(6, 2, qRgb(9, 8, 7)));
  MemorySource src(png);
  TCachedPicture fromStream = cache.GetPicture("strip.cart", src, true);
  ASSERT_TRUE(fromStream);
  EXPECT_EQ(fromStream.picture->ImageWidth(), 6);
  cache.Unpin(fromStream.picture);

  // A package whose picture entry records a size that differs from its
  // data: the info comes from the record, not from decoding.
  PackageWriter w;
  PackageEntryInput pic;
  pic.name = "C:\\pics\\wall.png";
  pic.type = kEntryPicture;
  pic.data = png;
  pic.imageWidth = 640;
  pic.imageHeight = 480;
  pic.imageAlpha = true;
  w.AddEntry(pic);
  PackageEntryInput text;
  text.name = "notes.txt";
  text.type = 2;
  text.data = "hello";
  w.AddEntry(text);
  std::string pkg = (dir / "pub.pkg").string();
  AnsiString error;
  ASSERT_TRUE(w.WriteFile(pkg, "", error)) << error;
  ASSERT_EQ(ThePackage().OpenPackage(pkg), kPackageOpen);

  int64_t before = TVLImageView::DecodeCount();
  TPictureInfo info;
  ASSERT_TRUE(cache.GetPictureInfo("c:\\PICS\\wall.png", info));
  EXPECT_EQ(info.width, 640);
  EXPECT_EQ(info.height, 480);
  EXPECT_TRUE(info.hasAlpha);
  ASSERT_TRUE(cache.GetPictureInfo("notes.txt", info));
  EXPECT_EQ(info.width, 0);
  EXPECT_EQ(TVLImageView::DecodeCount(), before);
  // The entry's data is what GetPicture decodes.
  TCachedPicture fromPackage = cache.GetPicture("C:\\pics\\wall.png", false);
  ASSERT_TRUE(fromPackage);
  EXPECT_EQ(fromPackage.picture->ImageWidth(), 6);
  ThePackage().ClosePackage(false);

  // A disk file: its header only.
  QImage alpha(5, 3, QImage::Format_ARGB32);
  alpha.fill(qRgba(0, 0, 0, 10));
  std::string disk = Write("disk.png", alpha);
  before = TVLImageView::DecodeCount();
  ASSERT_TRUE(cache.GetPictureInfo(disk, info));
  EXPECT_EQ(info.width, 5);
  EXPECT_EQ(info.height, 3);
  EXPECT_TRUE(info.hasAlpha);
  EXPECT_EQ(TVLImageView::DecodeCount(), before);
  EXPECT_FALSE(cache.GetPictureInfo((dir / "nowhere.png").string(), info));
}
