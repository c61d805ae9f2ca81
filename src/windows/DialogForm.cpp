#include "windows/DialogForm.h"

#include <QEvent>
#include <QPushButton>
#include <algorithm>

#include "platform/FontMap.h"
#include "platform/Foreground.h"
#include "windows/UserDialog.h"

namespace vl {

TDialogForm::TDialogForm(QWidget* owner, const AnsiString& title) : QDialog(owner), fm_(QFont()) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(AnsiToQString(title));
  const QFont font = DialogFont();
  setFont(font);
  fm_ = QFontMetrics(font);
}

int TDialogForm::ButtonHeight() const { return std::max(25, fm_.height() + 4); }

int TDialogForm::ButtonWidth(std::initializer_list<QString> captions, int minWidth) const {
  int w = minWidth;
  for (const QString& c : captions) w = std::max(w, fm_.horizontalAdvance(c) + 16);
  return w;
}

QPushButton* TDialogForm::AddAnswerButton(const AnsiString& caption, bool accepts) {
  auto* b = new QPushButton(AnsiToQString(caption), this);
  connect(b, &QPushButton::clicked, this, [this, caption, accepts] {
    answer_ = caption;
    if (accepts)
      accept();
    else
      reject();
  });
  return b;
}

void TDialogForm::FinishLayout(int clientWidth, int clientHeight) {
  setFixedSize(clientWidth, clientHeight);
  CentreOnScreen(this);
}

bool TDialogForm::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) RaiseWindow(this);
  return QDialog::event(e);
}

}  // namespace vl
