#pragma once
// The base of the player's own dialog forms (the message, input and password
// forms, and those still to come): a dialog border with only the close box,
// the publication's dialog font, push buttons sized in that font, a fixed
// size centred on the screen, and a form that comes to the top of the
// stacking order whenever it is activated (a modal form hidden behind the
// page would leave the player seemingly frozen).
#include <QDialog>
#include <QFontMetrics>
#include <QString>
#include <initializer_list>

#include "runtime/Ansi.h"

class QPushButton;

namespace vl {

class TDialogForm : public QDialog {
 public:
  TDialogForm(QWidget* owner, const AnsiString& title);

 protected:
  // The dialog font's metrics, which every form lays itself out with.
  const QFontMetrics& Metrics() const { return fm_; }
  // A push button's height: the font's height with room, at least 25.
  int ButtonHeight() const;
  // The width that fits the widest of `captions` with room, at least `minWidth`.
  int ButtonWidth(std::initializer_list<QString> captions, int minWidth = 0) const;
  // A push button that, clicked, keeps its caption as the answer and closes
  // the form, accepted or rejected.
  QPushButton* AddAnswerButton(const AnsiString& caption, bool accepts);
  // Fixes the client size and centres the form on the screen.
  void FinishLayout(int clientWidth, int clientHeight);

  bool event(QEvent* e) override;

  // The caption of the answer button that closed the form; empty for Esc and
  // the close box.
  AnsiString answer_;

 private:
  QFontMetrics fm_;
};

}  // namespace vl
