#include "windows/InputBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "windows/DialogWidgets.h"

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

TInputBoxForm::TInputBoxForm(QWidget* owner, const InputRequest& req) : TDialogForm(owner, req.title) {
  const QFontMetrics& fm = Metrics();
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

  const int bw = ButtonWidth({AnsiToQString(okCaption), AnsiToQString(cancelCaption)});
  const int bh = ButtonHeight();
  const int top = editTop + editH + 12;
  ok_ = AddAnswerButton(okCaption, true);
  cancel_ = AddAnswerButton(cancelCaption, false);
  ok_->setGeometry(clientW / 2 - bw - 4, top, bw, bh);
  cancel_->setGeometry(clientW / 2 + 4, top, bw, bh);
  ok_->setDefault(true);
  FinishLayout(clientW, top + bh + 12);
  edit_->setFocus();
  edit_->selectAll();
}

AnsiString TInputBoxForm::Text() const { return QStringToAnsi(edit_->text()); }

}  // namespace vl
