// The edit field: its inner edit, the mask, the bound variable and the
// change and focus actions.
#include "objects/ObjEdit.h"

#include "objects/ObjButtons.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QValidator>
#include <QDropEvent>
#include <charconv>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "objects/PageObjects.h"
#include "runtime/Messages.h"

namespace vl {

namespace {

constexpr int kDefaultMaxLength = 60000;

QString ApplyCase(const QString& s, TEditCase c) {
  return c == ecUpper ? s.toUpper() : c == ecLower ? s.toLower() : s;
}

bool AllDigits(const QString& s) {
  for (QChar c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool PrintableText(const QKeyEvent* e) {
  if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  const QString t = e->text();
  if (t.isEmpty()) return false;
  for (QChar c : t)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
  return true;
}

// The case and digits-only rules of an unmasked field, on every change.
class TEditRules : public QValidator {
 public:
  TEditRules(TSpecialEdit* edit, TEditCase c, bool digits) : QValidator(edit), edit_(edit), case_(c), digits_(digits) {}
  State validate(QString& input, int&) const override {
    if (case_ != ecNormal) input = ApplyCase(input, case_);
    if (digits_ && !edit_->pasting && !AllDigits(Inserted(edit_->accepted, input))) return Invalid;
    return Acceptable;
  }
  // What a change put between the unchanged start and end of the text.
  static QString Inserted(const QString& before, const QString& after) {
    qsizetype p = 0;
    while (p < before.size() && p < after.size() && before[p] == after[p]) ++p;
    qsizetype s = 0;
    while (s < before.size() - p && s < after.size() - p && before[before.size() - 1 - s] == after[after.size() - 1 - s])
      ++s;
    return after.mid(p, after.size() - p - s);
  }

 private:
  TSpecialEdit* edit_;
  TEditCase case_;
  bool digits_;
};

// Windows line breaks in the variable, Qt's inside the widget.
AnsiString ToCrLf(const QString& s) {
  const AnsiString a = QStringToAnsi(s);
  AnsiString out;
  out.reserve(a.size());
  for (char c : a) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

QString FromVariableText(std::string_view v) {
  // Every line break form becomes one "\n".
  AnsiString s;
  s.reserve(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\r') {
      s += '\n';
      if (i + 1 < v.size() && v[i + 1] == '\n') ++i;
    } else {
      s += v[i];
    }
  }
  return AnsiToQString(s);
}

// Dropped files: their names, one a line. False for anything else.
bool DroppedFiles(const QMimeData* m, QString& names) {
  if (!m || !m->hasUrls()) return false;
  QStringList list;
  for (const QUrl& u : m->urls()) {
    if (!u.isLocalFile()) return false;
    list << u.toLocalFile();
  }
  if (list.isEmpty()) return false;
  names = list.join(QStringLiteral("\r\n"));
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// TSpecialEdit

TSpecialEdit::TSpecialEdit(QWidget* parent) : QLineEdit(parent) {
  setFrame(false);
  setTextMargins(0, 0, 0, 0);
  setMaxLength(kDefaultMaxLength);
  // The digits-only rule looks at what a change adds to this.
  QObject::connect(this, &QLineEdit::textChanged, this, [this](const QString& t) { accepted = t; });
}

void TSpecialEdit::Configure(const AnsiString& mask, TEditCase editCase, bool numbersOnly, int maxLength) {
  mask_ = TEditMask(mask);
  numbersOnly_ = numbersOnly && mask_.Empty();
  if (!mask_.Empty()) {
    setValidator(nullptr);
    setMaxLength(kDefaultMaxLength);
    // Qt's own editing (undo, drops, the context menu) would bypass the
    // mask.
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setText(AnsiToQString(mask_.EmptyDisplay()));
    setCursorPosition(static_cast<int>(mask_.NextPlace(0)));
    return;
  }
  setMaxLength(maxLength > 0 ? maxLength : kDefaultMaxLength);
  if (editCase != ecNormal || numbersOnly) setValidator(new TEditRules(this, editCase, numbersOnly));
}

AnsiString TSpecialEdit::Value() const {
  const AnsiString shown = QStringToAnsi(text());
  return mask_.Empty() ? shown : mask_.ValueOf(shown);
}

void TSpecialEdit::ShowValue(const AnsiString& value) {
  if (mask_.Empty()) {
    setText(AnsiToQString(value));
    end(false);
    return;
  }
  const AnsiString display = mask_.DisplayOf(value);
  // The caret waits at the first unfilled place.
  size_t cursor = display.find(mask_.Blank());
  if (cursor == AnsiString::npos) cursor = display.size();
  ShowDisplay(display, mask_.NextPlace(cursor));
}

void TSpecialEdit::ShowDisplay(const AnsiString& display, size_t cursor) {
  setText(AnsiToQString(display));
  setCursorPosition(static_cast<int>(cursor));
}

void TSpecialEdit::TypeMasked(const QString& chars) {
  AnsiString display = QStringToAnsi(text());
  size_t cursor = static_cast<size_t>(cursorPosition());
  if (hasSelectedText()) {
    const auto from = static_cast<size_t>(selectionStart());
    mask_.Clear(display, from, from + static_cast<size_t>(selectedText().size()));
    cursor = from;
  }
  bool changed = false;
  for (char c : QStringToAnsi(chars)) {
    if (mask_.Type(display, cursor, c))
      changed = true;
    else
      QApplication::beep();
  }
  if (changed) maskModified_ = true;
  ShowDisplay(display, cursor);
}

void TSpecialEdit::PasteNumber() {
  const AnsiString clip(TrimView(QStringToAnsi(QApplication::clipboard()->text())));
  int64_t v = 0;
  const auto r = std::from_chars(clip.data(), clip.data() + clip.size(), v);
  if (clip.empty() || r.ec != std::errc() || r.ptr != clip.data() + clip.size()) {
    QApplication::beep();
    return;
  }
  pasting = true;
  insert(QString::number(v));
  pasting = false;
}

void TSpecialEdit::keyPressEvent(QKeyEvent* e) {
  if (mask_.Empty()) {
    if (numbersOnly_ && e->matches(QKeySequence::Paste)) {
      PasteNumber();
      return;
    }
    QLineEdit::keyPressEvent(e);
    return;
  }
  AnsiString display = QStringToAnsi(text());
  size_t cursor = static_cast<size_t>(cursorPosition());
  const bool sel = hasSelectedText();
  const auto selFrom = static_cast<size_t>(sel ? selectionStart() : 0);
  const size_t selTo = selFrom + static_cast<size_t>(sel ? selectedText().size() : 0);
  if (e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete) {
    if (sel) {
      mask_.Clear(display, selFrom, selTo);
      cursor = selFrom;
    } else if (e->key() == Qt::Key_Backspace) {
      mask_.Backspace(display, cursor);
    } else {
      mask_.Delete(display, cursor);
    }
    maskModified_ = true;
    ShowDisplay(display, cursor);
  } else if (e->matches(QKeySequence::Paste)) {
    TypeMasked(QApplication::clipboard()->text());
  } else if (e->matches(QKeySequence::Cut)) {
    if (sel) {
      copy();
      mask_.Clear(display, selFrom, selTo);
      maskModified_ = true;
      ShowDisplay(display, selFrom);
    }
  } else if (e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo)) {
    // Undo would bypass the mask.
  } else if (e->key() == Qt::Key_Escape && maskModified_) {
    maskModified_ = false;
    ShowDisplay(focusDisplay_, mask_.NextPlace(0));
  } else if (PrintableText(e)) {
    TypeMasked(e->text());
  } else {
    QLineEdit::keyPressEvent(e);
    return;
  }
  e->accept();
}

void TSpecialEdit::inputMethodEvent(QInputMethodEvent* e) {
  if (mask_.Empty()) {
    QLineEdit::inputMethodEvent(e);
    return;
  }
  if (!e->commitString().isEmpty()) TypeMasked(e->commitString());
  e->accept();
}

void TSpecialEdit::dropEvent(QDropEvent* e) {
  // Dropped files replace the text by their names; dropped text goes where
  // it was dropped, and the field takes the focus.
  QString names;
  if (DroppedFiles(e->mimeData(), names)) {
    setText(names);
    e->acceptProposedAction();
  } else {
    QLineEdit::dropEvent(e);
  }
  setFocus(Qt::MouseFocusReason);
}

void TSpecialEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (mask_.Empty()) return;
  maskModified_ = false;
  focusDisplay_ = QStringToAnsi(text());
  if (e->reason() != Qt::MouseFocusReason) {
    const size_t blank = focusDisplay_.find(mask_.Blank());
    if (blank != AnsiString::npos)
      setCursorPosition(static_cast<int>(mask_.NextPlace(blank)));
    else
      selectAll();
  }
}

// ---------------------------------------------------------------------------
// TSpecialMemo

void TSpecialMemo::keyPressEvent(QKeyEvent* e) {
  if (PrintableText(e)) {
    const QString t = ApplyCase(e->text(), editCase);
    if ((numbersOnly && !AllDigits(t)) ||
        toPlainText().size() - textCursor().selectedText().size() + t.size() > maxLength) {
      QApplication::beep();
      e->accept();
      return;
    }
    if (t != e->text()) {
      QKeyEvent converted(e->type(), e->key(), e->modifiers(), t, e->isAutoRepeat(), e->count());
      QPlainTextEdit::keyPressEvent(&converted);
      e->setAccepted(converted.isAccepted());
      return;
    }
  }
  QPlainTextEdit::keyPressEvent(e);
}

void TSpecialMemo::insertFromMimeData(const QMimeData* source) {
  if (!source || !source->hasText()) return;
  QString t = ApplyCase(source->text(), editCase);
  if (numbersOnly && !AllDigits(t)) {
    QApplication::beep();
    return;
  }
  const auto room = maxLength - (toPlainText().size() - textCursor().selectedText().size());
  if (room <= 0) return;
  if (t.size() > room) t.truncate(room);
  textCursor().insertText(t);
}

void TSpecialMemo::dropEvent(QDropEvent* e) {
  QString names;
  if (DroppedFiles(e->mimeData(), names)) {
    names.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(names);
    e->acceptProposedAction();
  } else {
    QPlainTextEdit::dropEvent(e);
  }
  setFocus(Qt::MouseFocusReason);
}

// ---------------------------------------------------------------------------
// TVellionEditField

TVellionEditField::TVellionEditField(QWidget* owner, int objType) : TVellionInputObj(owner, objType) {}

bool TVellionEditField::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  switch (key.id) {
    case TPubKey::Text: Txt = TextValue(key); return true;
    case TPubKey::ObjSetFocusAction: GainFocusAction = key.Action(); return true;
    case TPubKey::ObjLoseFocusAction: LoseFocusAction = key.Action(); return true;
    case TPubKey::EditLen: MaxLength = Clamp(key.number, 0, kDefaultMaxLength); return true;
    case TPubKey::EditCase:
      if (key.number >= 0 && key.number <= 2) EditCase = static_cast<TEditCase>(key.number);
      return true;
    case TPubKey::EditMask: EditMask = AnsiString(key.raw); return true;
    case TPubKey::EditMultiLine: MultiLine = key.flag; return true;
    case TPubKey::WordWrap: WordWrap = key.flag; return true;
    case TPubKey::ScrollBar:
    case TPubKey::EditScrollBar: ScrollBar = key.flag; return true;
    case TPubKey::EditPassword:
      Password = key.flag;
      if (key.flag) EditMask.clear();
      return true;
    case TPubKey::EditNumber:
      NumbersOnly = key.flag;
      if (key.flag) {
        EditMask.clear();
        Password = false;
      }
      return true;
    default: return TVellionInputObj::ApplyKey(key, ctx);
  }
}

void TVellionEditField::Loaded() {
  if (MultiLine) {
    memo_ = new TSpecialMemo(this);
    memo_->setFrameShape(QFrame::NoFrame);
    memo_->editCase = EditCase;
    memo_->numbersOnly = NumbersOnly;
    memo_->maxLength = MaxLength > 0 ? MaxLength : kDefaultMaxLength;
    memo_->setLineWrapMode(WordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    memo_->setVerticalScrollBarPolicy(ScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    memo_->setHorizontalScrollBarPolicy(ScrollBar && !WordWrap ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    QObject::connect(memo_, &QPlainTextEdit::textChanged, this, [this] { TextEdited(); });
    SetInner(memo_);
  } else {
    line_ = new TSpecialEdit(this);
    line_->Configure(EditMask, EditCase, NumbersOnly, MaxLength);
    if (Password) {
      line_->setEchoMode(QLineEdit::Password);
      line_->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    }
    QObject::connect(line_, &QLineEdit::textChanged, this, [this] { TextEdited(); });
    SetInner(line_);
  }
  inner_->installEventFilter(this);
  inner_->setCursor(Qt::IBeamCursor);
  TVellionInputObj::Loaded();
  Layout();
}

void TVellionEditField::Layout() {
  if (!inner_) return;
  const int L = LineWidth();
  if (MultiLine) {
    inner_->setGeometry(rect().adjusted(L, L, -L, -L));
    return;
  }
  const int h = QFontMetrics(ObjectFont()).height();
  inner_->setGeometry(2 * L + 4, (height() - 2 * L) / 2 - h / 2, std::max(0, width() - 4 * L - 5), h + 1);
}

void TVellionEditField::resizeEvent(QResizeEvent* e) {
  TVellionInputObj::resizeEvent(e);
  Layout();
}

void TVellionEditField::mousePressEvent(QMouseEvent* e) {
  TVellionInputObj::mousePressEvent(e);
  if (inner_ && EnabledState) inner_->setFocus(Qt::MouseFocusReason);
}

AnsiString TVellionEditField::Text() const {
  if (memo_) return ToCrLf(memo_->toPlainText());
  if (line_) return line_->Value();
  return Txt;
}

void TVellionEditField::TextEdited() {
  if (updating_) return;
  if (!VarName.empty()) SetVariable(VarName, Text());
  RunObjectAction(ChangeAction, evEditChanged, 0);
}

void TVellionEditField::ShowText(const AnsiString& text, bool quiet) {
  const bool was = updating_;
  updating_ = was || quiet;
  AnsiString t = text;
  const size_t limit = static_cast<size_t>(MaxLength > 0 ? MaxLength : kDefaultMaxLength);
  if (memo_) {
    QString q = FromVariableText(t);
    if (q.size() > static_cast<qsizetype>(limit)) q.truncate(static_cast<qsizetype>(limit));
    memo_->setPlainText(q);
    memo_->moveCursor(QTextCursor::End);
    memo_->ensureCursorVisible();
  } else if (line_) {
    QString q = FromVariableText(t);
    q.replace(QChar('\n'), QStringLiteral(" "));
    if (q.size() > static_cast<qsizetype>(limit)) q.truncate(static_cast<qsizetype>(limit));
    line_->ShowValue(QStringToAnsi(q));
  }
  updating_ = was;
}

void TVellionEditField::SetText(const AnsiString& text) { ShowText(text, false); }

void TVellionEditField::OnStart(const TObjectStart& how) {
  TVellionInputObj::OnStart(how);
  if (Txt.empty()) {
    // Started in place of another publication: an empty field leaves no
    // value of the old one behind.
    if (how.chainedStart && !VarName.empty()) SetVariable(VarName, "");
    return;
  }
  ShowText(Txt, true);
  // The field on the page shown first gives its variable the initial text.
  if (!VarName.empty() && OnCurrentPage()) SetVariable(VarName, Text());
}

void TVellionEditField::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  if (!IsVarName(bracketName) || updating_ || value == Text()) return;
  ShowText(value, true);
}

bool TVellionEditField::eventFilter(QObject* watched, QEvent* e) {
  if (watched == inner_) {
    if (e->type() == QEvent::FocusIn) {
      if (EnabledState) RunObjectAction(GainFocusAction, evFocus, kFlagSuspended);
    } else if (e->type() == QEvent::FocusOut) {
      // A masked field left unfinished says so in [LastError] (no dialog).
      if (line_ && line_->MaskModified() && !line_->MaskValid() && !ObjectEventsSuppressed()) SetLastError(Msg(320));
      if (EnabledState) RunObjectAction(LoseFocusAction, evFocus, kFlagSuspended);
    }
  }
  return TVellionInputObj::eventFilter(watched, e);
}

VL_REGISTER_OBJECT(9, TVellionEditField);

}  // namespace vl
