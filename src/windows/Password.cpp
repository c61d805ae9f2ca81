#include "windows/Password.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <algorithm>

#include "runtime/Global.h"
#include "windows/DialogPictures.h"
#include "windows/DialogSettings.h"
#include "windows/DialogWidgets.h"
#include "windows/UserDialog.h"

namespace vl {
namespace {

// The entry shows "*" for every character, whatever the desktop style uses.
class StarStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* ret) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, ret);
  }
};

}  // namespace

PasswordResult PasswordDialog(const AnsiString& expected) {
  const auto& s = TheDialogSettings();
  InputRequest req;
  req.kind = "password";
  req.title = s.pwordTitle;
  req.message = s.pwordMsg;
  req.prompt = s.pwordPrompt;
  req.password = true;
  req.buttons = {s.okText, s.cancelText};
  AnsiString typed;
  if (!Dialogs().Input(req, typed)) return PasswordResult::Cancelled;
  if (SameTextInvariant(typed, expected)) return PasswordResult::Accepted;
  QueryDialog(s.pwordTitle, s.pwordError, s.okText, s.alertImage, "alert");
  return PasswordResult::Rejected;
}

TPasswordEntryForm::TPasswordEntryForm(QWidget* owner, const InputRequest& req) : TDialogForm(owner, req.title) {
  const QFontMetrics& fm = Metrics();
  const AnsiString okCaption = req.buttons.size() > 0 ? req.buttons[0] : AnsiString();
  const AnsiString cancelCaption = req.buttons.size() > 1 ? req.buttons[1] : AnsiString();

  lock_ = new PictureBox(PadlockImage(), this);
  const QString msgText = DialogText(req.message);
  msg_ = MakeDialogLabel(msgText, this);
  const QSize ms = PlainTextSize(fm, msgText);
  const QString promptText = AnsiToQString(req.prompt);
  prompt_ = MakeDialogLabel(promptText, this);
  const QSize ps = PlainTextSize(fm, promptText);
  password_ = new QLineEdit(this);
  auto* style = new StarStyle;
  style->setParent(password_);
  password_->setStyle(style);
  password_->setEchoMode(QLineEdit::Password);
  const int editW = 153, editH = password_->sizeHint().height();

  const int bw = ButtonWidth({AnsiToQString(okCaption), AnsiToQString(cancelCaption)});
  const int bh = ButtonHeight();
  const int w1 = 32 + ms.width() + 32;
  const int w2 = ps.width() + editW + 4;
  const int btnPanelH = bh + 24;
  const int pwPanelH = editH + 36;
  // The padlock is centred in an area as tall as the message.
  const int lockH = std::max(32, ms.height());
  const int clientW = std::max({w1, w2 + 24, 2 * bw + 24});
  const int clientH = lockH + pwPanelH + btnPanelH + 24;

  lock_->setGeometry(12, 12 + (lockH - 32) / 2, 32, 32);
  msg_->setGeometry(52, 12, ms.width(), ms.height());
  const int pwPanelTop = clientH - btnPanelH - pwPanelH;
  const int promptLeft = clientW / 2 - w2 / 2;
  const int editTop = pwPanelTop + (pwPanelH - editH) / 2;
  prompt_->setGeometry(promptLeft, editTop + (editH - ps.height()) / 2, ps.width(), ps.height());
  password_->setGeometry(promptLeft + ps.width() + 4, editTop, editW, editH);

  const int btnPanelTop = clientH - btnPanelH;
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(0, btnPanelTop, clientW, 2);
  ok_ = AddAnswerButton(okCaption, true);
  cancel_ = AddAnswerButton(cancelCaption, false);
  ok_->setGeometry(clientW / 2 - bw - 4, btnPanelTop + 12, bw, bh);
  cancel_->setGeometry(clientW / 2 + 4, btnPanelTop + 12, bw, bh);
  ok_->setDefault(true);
  ok_->setEnabled(false);
  connect(password_, &QLineEdit::textChanged, this, [this](const QString& t) { ok_->setEnabled(!t.isEmpty()); });
  FinishLayout(clientW, clientH);
  password_->setFocus();
}

AnsiString TPasswordEntryForm::Text() const { return QStringToAnsi(password_->text()); }

}  // namespace vl
