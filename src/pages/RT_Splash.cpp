#include "pages/RT_Splash.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include "images/VL_ImageLib.h"
#include "runtime/Clock.h"

namespace vl {
namespace {
constexpr int kProgressMax = 110;
constexpr int kMinimumShowMs = 1500;
}  // namespace

TSplashScreenForm::TSplashScreenForm(QWidget* owner, const std::string& picture, const AnsiString& pleaseWait)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint) {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(3, 3, 3, 4);
  lay->setSpacing(4);
  auto* label = new QLabel(this);
  if (!picture.empty()) {
    TVLImageView view;
    view.LoadFromMemory(picture);
    if (!view.BadImage() && !view.Bitmap().Image().isNull()) {
      label->setPixmap(QPixmap::fromImage(view.Bitmap().Image()));
      hasPicture_ = true;
    }
  }
  if (!hasPicture_) {
    label->setText(AnsiToQString(pleaseWait));
    label->setContentsMargins(12, 12, 12, 0);
  }
  lay->addWidget(label);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, kProgressMax);
  bar_->setTextVisible(false);
  bar_->setFixedHeight(hasPicture_ ? 19 : 35);
  lay->addWidget(bar_);
  adjustSize();
  if (QScreen* s = QGuiApplication::primaryScreen()) move(s->geometry().center() - rect().center());
  shownAt_ = TheClock().NowMs();
}

void TSplashScreenForm::SetProgress(int position) {
  bar_->setValue(position < 0 ? 0 : (position > kProgressMax ? kProgressMax : position));
  if (isVisible()) bar_->repaint();
}

int TSplashScreenForm::Progress() const { return bar_->value(); }

void TSplashScreenForm::CloseSplash() {
  if (hasPicture_) {
    int64_t left = shownAt_ + kMinimumShowMs - TheClock().NowMs();
    if (left > 0) TheClock().Sleep(left);
  }
  if (isVisible()) {
    bar_->setValue(kProgressMax);
    bar_->repaint();
    TheClock().Sleep(100);
  }
  close();
}

}  // namespace vl
