// Style 2: the main window takes the shape of the picture SHAPEFILE=, the
// pixels of its colour key (or of its alpha channel) left out.
#include <QBitmap>
#include <QImage>

#include "images/PictureCache.h"
#include "images/VL_ImageLib.h"
#include "pages/MenuStyle.h"
#include "pages/PageView.h"
#include "pages/RT_Main.h"

namespace vl {

void TWorkForm::ApplyShape() {
  const TPublicationSettings& s = Settings();
  if (s.windowStyle != 2) {
    clearMask();  // a chained load that leaves style 2
    return;
  }
  if (s.shapeFile.empty()) return;
  TPictureCache& cache = ThePictureCache();
  TCachedPicture cp = cache.GetPicture(s.shapeFile, true, s.shapeTransColor);
  // A picture that cannot be shown leaves the window rectangular.
  if (!cp) return;
  const TVLImageView& pic = *cp.picture;
  QRegion region;
  if (pic.HasAlpha()) {
    const QImage argb = ViewToArgb(pic);
    region = QRegion(QBitmap::fromImage(argb.createAlphaMask()));
  } else if (cp.hasRegion) {
    region = cp.region;
  }
  const QSize size(pic.ImageWidth(), pic.ImageHeight());
  cache.Unpin(cp.picture);
  if (size.isEmpty() || region.isEmpty()) return;
  SetClientSize(size.width(), size.height());
  // The region is the picture's, placed where the client area lies.
  const QPoint at = centralWidget()->mapTo(this, QPoint(0, 0));
  setMask(region.translated(at) & QRegion(rect()));
}

}  // namespace vl
