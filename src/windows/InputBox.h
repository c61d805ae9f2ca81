#pragma once
// The player's input dialog: a prompt ("|" breaks lines), a one-line entry
// and OK and Cancel buttons under it.
#include "runtime/Ansi.h"
#include "runtime/Host.h"
#include "windows/DialogForm.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vl {

// Shows the input dialog through the dialog service in force: the edited
// text after OK, the empty string after Cancel, Esc, the close box or when
// it cannot be shown.
AnsiString InputDialog(const AnsiString& title, const AnsiString& prompt, const AnsiString& initial,
                       const AnsiString& cancelCaption, const AnsiString& okCaption);

class TInputBoxForm : public TDialogForm {
 public:
  // `req.buttons` holds the OK caption and then the Cancel caption.
  TInputBoxForm(QWidget* owner, const InputRequest& req);

  QLabel* Prompt() const { return prompt_; }
  QLineEdit* EditBox() const { return edit_; }
  QPushButton* OKBtn() const { return ok_; }
  QPushButton* CancelBtn() const { return cancel_; }
  AnsiString Text() const;
  // The caption of the button that closed the form, empty for Esc and the
  // close box.
  const AnsiString& Answer() const { return answer_; }

 private:
  QLabel* prompt_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace vl
