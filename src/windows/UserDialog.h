#pragma once
// The player's message dialog: a picture (the publication's or a standard
// icon), a text in which "|" breaks lines, and a row of buttons. It is the
// player's general way of telling the user something (AlertBox, MessageBox,
// the Exit question, the error display, the password rejection).
#include <QImage>
#include <functional>
#include <vector>

#include "runtime/Ansi.h"
#include "runtime/Host.h"
#include "windows/DialogForm.h"

class QLabel;
class QPushButton;

namespace vl {

// Shows the message dialog through the dialog service in force and returns
// the number of the button that closed it, counting from 1 in the order of
// `buttons` ("|"-separated captions, at most 50), or 0 when it was closed
// another way or could not be shown. "|" in `message` breaks lines; `title`
// is used unchanged; `picture` is a picture file name or empty. `kind` names
// the dialog in the trace.
int QueryDialog(const AnsiString& title, const AnsiString& message, const AnsiString& buttons,
                const AnsiString& picture, const AnsiString& kind = "message");

// The start-up error messages: the message dialog with `title`, `text`, the
// single button of message 202 "OK" and no picture (they come before the
// publication's own texts are known).
void ShowStartupError(const AnsiString& title, const AnsiString& text);

// The captions of a "|"-separated button list: none for an empty text, a
// trailing "|" adds an empty last caption, captions after the fiftieth are
// dropped.
std::vector<AnsiString> SplitButtonCaptions(std::string_view buttons);

// How dialogs read a picture by the name the publication wrote. The player
// installs one that goes through the package and the picture cache; the
// default reads the named file from disk. A picture that cannot be read is a
// null image (the dialog then shows its standard icon).
using DialogPictureLoader = std::function<QImage(const AnsiString& name)>;
void SetDialogPictureLoader(DialogPictureLoader loader);
QImage LoadDialogPicture(const AnsiString& name);

// The parent the player's dialogs are made for: its active window, else none
// (owned by the application).
QWidget* DialogOwner();
// The screen's width available to a dialog, less the frame the window
// manager adds (not known before the dialog is shown).
int DialogScreenWidth();
void CentreOnScreen(QWidget* w);

// The message dialog's form.
class TQueryForm : public TDialogForm {
 public:
  TQueryForm(QWidget* owner, const QueryRequest& req, const QImage& picture);

  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  // 1-based number of the button that closed the form, 0 for none (Esc and
  // the close box give the request's cancel button, when it names one).
  int ClickedButton() const { return clicked_; }
  // Its caption, empty for none.
  AnsiString Answer() const;

  QLabel* Prompt() const { return prompt_; }
  QWidget* ImagePanel() const { return imagePanel_; }
  const std::vector<QPushButton*>& Buttons() const { return buttons_; }
  bool ShowsStandardIcon() const { return standardIcon_; }
  bool AskIcon() const { return askIcon_; }

  void reject() override;

 private:
  QueryRequest req_;
  QLabel* prompt_ = nullptr;
  QWidget* imagePanel_ = nullptr;
  std::vector<QPushButton*> buttons_;
  int clicked_ = 0;
  bool escaped_ = false;
  bool standardIcon_ = true;
  bool askIcon_ = false;
};

}  // namespace vl
