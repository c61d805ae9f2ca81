// The image window: a floating window showing one picture at its own size,
// with scroll bars once the user makes it smaller; it cannot be made larger
// than the picture.
#include <QPainter>
#include <QScrollArea>

#include "images/PictureCache.h"
#include "windows/FloatWindows.h"

namespace vl {
namespace {

class TPictureView : public QWidget {
 public:
  TPictureView(QWidget* parent, const TVLImageView* picture) : QWidget(parent), picture_(picture) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(picture->ImageWidth(), picture->ImageHeight());
  }
  // The cache keeps the picture alive while it is pinned.
  ~TPictureView() override { ThePictureCache().Unpin(picture_); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    picture_->Draw(p, 255, 0, 0);
  }

 private:
  const TVLImageView* picture_;
};

}  // namespace

bool BuildImageWindow(TFloatingWindowForm& form, const TFloatRequest& req) {
  TCachedPicture pic;
  if (!req.name.empty()) pic = ThePictureCache().GetPicture(req.name, true);
  if (!pic || pic.picture->BadImage() || pic.picture->ImageWidth() < 1 || pic.picture->ImageHeight() < 1) {
    if (pic) ThePictureCache().Unpin(pic.picture);
    FileMissing(req.name);
    return false;
  }
  auto* area = new QScrollArea(&form);
  area->setFrameShape(QFrame::NoFrame);
  area->setWidget(new TPictureView(area, pic.picture));
  form.content = area;
  const QSize size(pic.picture->ImageWidth(), pic.picture->ImageHeight());
  form.resize(size);
  form.setMaximumSize(size);
  area->setGeometry(form.rect());
  return true;
}

}  // namespace vl
