#pragma once
// The password form of the start and exit passwords: a padlock, the
// publication's message, a prompt with a masked entry, OK (enabled while the
// entry is not empty) and Cancel.
#include "runtime/Ansi.h"
#include "runtime/Host.h"
#include "windows/DialogForm.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vl {

enum class PasswordResult { Accepted, Rejected, Cancelled };

// One attempt: the entry is compared with `expected` without regard to
// case; a wrong one is told with L_PWORDERROR= (and the alert picture) and
// gives Rejected. Cancel, Esc, the close box and a form that cannot be shown
// give Cancelled. Texts and captions come from the publication's language
// texts.
PasswordResult PasswordDialog(const AnsiString& expected);

class TPasswordEntryForm : public TDialogForm {
 public:
  // req.message above, req.prompt before the entry; buttons OK, Cancel.
  TPasswordEntryForm(QWidget* owner, const InputRequest& req);

  QLabel* Msg() const { return msg_; }
  QLabel* Prompt() const { return prompt_; }
  QLineEdit* Password() const { return password_; }
  QPushButton* OkBtn() const { return ok_; }
  QPushButton* CancelBtn() const { return cancel_; }
  QWidget* LockImage() const { return lock_; }
  AnsiString Text() const;
  const AnsiString& Answer() const { return answer_; }

 private:
  QWidget* lock_ = nullptr;
  QLabel* msg_ = nullptr;
  QLabel* prompt_ = nullptr;
  QLineEdit* password_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace vl
