// Drawing pictures on a QPainter: at own size, stretched, blended.
#include <QPainter>

#include "images/Decoders.h"

namespace vl {

const QImage& BadPictureImage() {
  static const QImage img = [] {
    QImage i(32, 32, QImage::Format_RGB888);
    i.fill(qRgb(255, 255, 255));
    return i;
  }();
  return img;
}

void TVLImageView::Draw(QPainter&, int, int, int) const {}
void TVLImageView::StretchDraw(QPainter&, bool, int, const QRect&) const {}
bool TVLImageView::CopyToBitmap(int, int, TVLBitmap&) const { return false; }
bool TVLImageView::SaveToStream(std::string&, int) const { return false; }
void BlendInto(QImage&, QPoint, const TVLBitmap&, const TVLBitmap*, int) {}

}  // namespace vl
