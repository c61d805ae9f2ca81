#pragma once
// The splash window shown while the publication is read: the package's
// splash picture with a progress bar below it (0 to 110), or, without a
// picture, the "please wait" text. A window with a picture stays at least
// 1,500 ms from its creation; closing waits for that on the one clock.
#include <QWidget>

#include "runtime/Ansi.h"

class QProgressBar;
class QLabel;

namespace vl {

class TSplashScreenForm : public QWidget {
 public:
  // `picture` is the package entry's data (empty: the text form).
  TSplashScreenForm(QWidget* owner, const std::string& picture, const AnsiString& pleaseWait);
  void SetProgress(int position);
  int Progress() const;
  // Waits out the minimum display time, fills the bar and closes.
  void CloseSplash();
  bool HasPicture() const { return hasPicture_; }

 private:
  QProgressBar* bar_ = nullptr;
  bool hasPicture_ = false;
  int64_t shownAt_ = 0;
};

}  // namespace vl
