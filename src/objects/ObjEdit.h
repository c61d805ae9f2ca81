#pragma once
// The edit field (ObjectType 9): a single-line edit (optionally masked,
// password, digits only, case-converting) or a multi-line one, bound to a
// variable.
#include <QLineEdit>
#include <QPlainTextEdit>

#include "objects/EditMask.h"
#include "objects/InputObj.h"

namespace vl {

// How typed text is converted (EDITCASE=).
enum TEditCase : uint8_t { ecNormal = 0, ecUpper = 1, ecLower = 2 };

// The single-line inner edit. With a mask, every key goes through the
// mask; without one, a validator applies the case and the digits-only rule
// to whatever reaches the text (typing, pasting, dropping).
class TSpecialEdit : public QLineEdit {
 public:
  explicit TSpecialEdit(QWidget* parent);
  void Configure(const AnsiString& mask, TEditCase editCase, bool numbersOnly, int maxLength);
  const TEditMask& Mask() const { return mask_; }
  // The text as the field's value (a masked field's value, see TEditMask).
  AnsiString Value() const;
  // Shows a value (the mask applied).
  void ShowValue(const AnsiString& value);
  // A masked field edited since it got the focus: Esc restores it.
  bool MaskModified() const { return maskModified_; }
  bool MaskValid() const { return mask_.Empty() || mask_.Valid(QStringToAnsi(text())); }
  bool pasting = false;
  QString accepted;  // the text before the change being validated

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void TypeMasked(const QString& chars);
  void ShowDisplay(const AnsiString& display, size_t cursor);
  void PasteNumber();

  TEditMask mask_;
  bool maskModified_ = false;
  bool numbersOnly_ = false;
  AnsiString focusDisplay_;
};

// The multi-line inner edit.
class TSpecialMemo : public QPlainTextEdit {
 public:
  explicit TSpecialMemo(QWidget* parent) : QPlainTextEdit(parent) {}
  TEditCase editCase = ecNormal;
  bool numbersOnly = false;
  int maxLength = 60000;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void insertFromMimeData(const QMimeData* source) override;
  void dropEvent(QDropEvent* e) override;
};

class TVellionEditField : public TVellionInputObj {
 public:
  TVellionEditField(QWidget* owner, int objType);

  AnsiString GainFocusAction, LoseFocusAction;
  bool MultiLine = false;
  bool WordWrap = true;
  bool ScrollBar = true;
  bool NumbersOnly = false;
  bool Password = false;
  int MaxLength = 0;  // 0: no maximum
  TEditCase EditCase = ecNormal;
  AnsiString EditMask;

  // The text as the variable receives it (line breaks as CR LF).
  AnsiString Text() const;
  // Sets the text as an action does: a change of the text like any other
  // (the variable is written, the change action queued).
  void SetText(const AnsiString& text);

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void Loaded() override;
  void OnStart(const TObjectStart& how) override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  void LineChanged() override { Layout(); }
  int CursorSlot() const override { return 0; }
  QWidget* TypingTarget() override { return inner_; }
  TSpecialEdit* LineEdit() const { return line_; }
  TSpecialMemo* Memo() const { return memo_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  void Layout();
  void TextEdited();
  // Shows `text` (line breaks of any form, cut to the maximum length);
  // `quiet`: without the variable or the change action following.
  void ShowText(const AnsiString& text, bool quiet);

  TSpecialEdit* line_ = nullptr;
  TSpecialMemo* memo_ = nullptr;
  bool updating_ = false;
};

}  // namespace vl
