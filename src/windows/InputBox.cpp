#include "windows/InputBox.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "platform/FontMap.h"
#include "platform/Foreground.h"
#include "windows/DialogWidgets.h"
#include "windows/UserDialog.h"

namespace vl {

AnsiString InputDialog(const AnsiString& title, const AnsiString& prompt, const AnsiString& initial,
                       const AnsiString& cancelCaption, const AnsiString& okCaption) {
  InputRequest req;
  req.kind = "input";
  req.title = title;
  req.prompt = prompt;
  req.initial = initial;
  req.buttons = {okCaption, cancelCaption};
  AnsiString value;
  return Dialogs().Input(req, value) ? value : AnsiString();
}

TInputBoxForm::TInputBoxForm(QWidget* owner, const InputRequest& req) : QDialog(owner) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(AnsiToQString(req.title));
  const QFont font = DialogFont();
  setFont(font);
  const QFontMetrics fm(font);
  const AnsiString okCaption = req.buttons.size() > 0 ? req.buttons[0] : AnsiString();
  const AnsiString cancelCaption = req.buttons.size() > 1 ? req.buttons[1] : AnsiString();

  const QString text = DialogText(req.prompt);
  prompt_ = MakeDialogLabel(text, this);
  const QSize ts = PlainTextSize(fm, text);
  prompt_->setGeometry(12, 12, ts.width(), ts.height());

  edit_ = new QLineEdit(this);
  edit_->setText(AnsiToQString(req.initial));
  const int editTop = 12 + ts.height() + 8;
  const int editH = edit_->sizeHint().height();
  const int clientW = std::max(269 + 24, ts.width() + 24);
  edit_->setGeometry(12, editTop, clientW - 24, editH);

  const QString okText = AnsiToQString(okCaption), cancelText = AnsiToQString(cancelCaption);
  const int bw = std::max(fm.horizontalAdvance(okText), fm.horizontalAdvance(cancelText)) + 16;
  const int bh = std::max(25, fm.height() + 4);
  const int top = editTop + editH + 12;
  ok_ = new QPushButton(okText, this);
  cancel_ = new QPushButton(cancelText, this);
  ok_->setGeometry(clientW / 2 - bw - 4, top, bw, bh);
  cancel_->setGeometry(clientW / 2 + 4, top, bw, bh);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, [this, okCaption] {
    answer_ = okCaption;
    accept();
  });
  connect(cancel_, &QPushButton::clicked, this, [this, cancelCaption] {
    answer_ = cancelCaption;
    reject();
  });
  setFixedSize(clientW, top + bh + 12);
  CentreOnScreen(this);
  edit_->setFocus();
  edit_->selectAll();
}

AnsiString TInputBoxForm::Text() const { return QStringToAnsi(edit_->text()); }

bool TInputBoxForm::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) RaiseWindow(this);
  return QDialog::event(e);
}

}  // namespace vl
