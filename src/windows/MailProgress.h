#pragma once
// The progress window of mail and downloads (`TMailProgressForm`): a prompt,
// a bar or a byte count, and a cancel button. It is not modal: the action that
// shows it goes on waiting on the clock while the page stays alive. Closing
// it is refused while it is shown; both the cancel button and that refusal
// ask the running transfer to stop.
//
// Only one is shown at a time. Without an application that can show widgets
// (vellion --eval) nothing is shown, but the trace still records the window.
#include <cstdint>

#include "runtime/Ansi.h"
#include "windows/DialogForm.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace vl {

class TMailProgressForm : public TDialogForm {
 public:
  TMailProgressForm(const AnsiString& caption, const AnsiString& message, const AnsiString& cancelCaption,
                    bool showBar, int maximum);
  // Negative: the byte count shown in place of the bar; else the bar's place.
  void SetProgress(int64_t value);
  bool Cancelled() const { return cancelled_; }
  void AllowClose() { allowClose_ = true; }
  // The text of the byte count, "1,234,567 bytes".
  static AnsiString ByteCountText(int64_t bytes);

  QPushButton* CancelBtn() const { return cancelBtn_; }
  QLabel* ByteCount() const { return byteCount_; }
  QProgressBar* ProgressBar() const { return bar_; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void reject() override;

 private:
  QLabel* prompt_ = nullptr;
  QLabel* byteCount_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
  bool showBar_ = false;
  bool cancelled_ = false;
  bool allowClose_ = false;
};

// Shows the window unless one is shown. "|" in `message` breaks lines.
void ShowProgressWindow(const AnsiString& caption, const AnsiString& message, const AnsiString& cancelCaption,
                        bool showBar, int maximum);
// False when the user asked to stop (cancel button or close box); true when
// no window is shown.
bool UpdateProgressWindow(int64_t value);
void CloseProgressWindow();
bool ProgressWindowShown();
// The form shown, or nullptr (tests press its button).
TMailProgressForm* ProgressForm();

}  // namespace vl
