#include "windows/MailProgress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "runtime/Global.h"
#include "runtime/Trace.h"
#include "windows/UserDialog.h"

namespace vl {
namespace {

struct ProgressState {
  bool shown = false;
  bool cancelled = false;  // when no widget could be made
  AnsiString caption;
  TMailProgressForm* form = nullptr;
};

ProgressState& State() {
  static ProgressState s;
  return s;
}

bool CanShowWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

TMailProgressForm::TMailProgressForm(const AnsiString& caption, const AnsiString& message,
                                     const AnsiString& cancelCaption, bool showBar, int maximum)
    : TDialogForm(nullptr, caption), showBar_(showBar) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
  QFont f = font();
  if (SameTextInvariant(Globals().dialogFontName, "MS Sans Serif")) f.setBold(true);
  prompt_ = new QLabel(AnsiToQString(ReplaceAll(message, "|", "\n")), this);
  prompt_->setTextFormat(Qt::PlainText);
  prompt_->setFont(f);
  prompt_->adjustSize();
  prompt_->move(12, 12);
  byteCount_ = new QLabel(QStringLiteral("0"), this);
  byteCount_->move(12, 32);
  byteCount_->hide();
  bar_ = new QProgressBar(this);
  bar_->setRange(0, std::max(1, maximum));
  bar_->setTextVisible(false);
  bar_->setGeometry(12, prompt_->geometry().bottom() + 1 + 8, 269, 16);
  bar_->setVisible(showBar);
  const int clientW = std::max(bar_->width() + 24, prompt_->width() + 24);
  bar_->resize(clientW - 24, 16);
  byteCount_->move(12, bar_->y());
  cancelBtn_ = new QPushButton(AnsiToQString(cancelCaption), this);
  const int bw = Metrics().horizontalAdvance(AnsiToQString(cancelCaption)) + 16;
  const int bh = std::max(25, Metrics().height() + 4);
  cancelBtn_->setGeometry((clientW - bw) / 2, bar_->y() + bar_->height() + 12, bw, bh);
  connect(cancelBtn_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
  FinishLayout(clientW, cancelBtn_->y() + bh + 12);
}

AnsiString TMailProgressForm::ByteCountText(int64_t bytes) {
  std::string digits = std::to_string(bytes < 0 ? -bytes : bytes);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out + " bytes";
}

void TMailProgressForm::SetProgress(int64_t value) {
  if (value < 0) {
    byteCount_->setText(AnsiToQString(ByteCountText(value)));
    byteCount_->adjustSize();
    byteCount_->show();
    bar_->hide();
  } else {
    byteCount_->hide();
    bar_->setValue(static_cast<int>(std::min<int64_t>(value, bar_->maximum())));
    bar_->setVisible(showBar_);
  }
}

void TMailProgressForm::closeEvent(QCloseEvent* e) {
  if (allowClose_) {
    e->accept();
    return;
  }
  cancelled_ = true;
  e->ignore();
}

void TMailProgressForm::reject() {
  // Esc: refused like the close box, but counts as a wish to stop.
  if (allowClose_)
    TDialogForm::reject();
  else
    cancelled_ = true;
}

void ShowProgressWindow(const AnsiString& caption, const AnsiString& message, const AnsiString& cancelCaption,
                        bool showBar, int maximum) {
  ProgressState& s = State();
  if (s.shown) return;
  s = ProgressState{};
  s.shown = true;
  s.caption = caption;
  trace::Record({"window", "open", "progress", caption});
  if (!CanShowWidgets()) return;
  try {
    s.form = new TMailProgressForm(caption, message, cancelCaption, showBar, maximum);
    s.form->setAttribute(Qt::WA_DeleteOnClose, false);
    s.form->show();
    s.form->repaint();
  } catch (...) {
    // A window that cannot be built does not stop the transfer.
    delete s.form;
    s.form = nullptr;
  }
}

bool UpdateProgressWindow(int64_t value) {
  ProgressState& s = State();
  if (!s.shown) return true;
  if (!s.form) return !s.cancelled;
  s.form->SetProgress(value);
  return !s.form->Cancelled();
}

void CloseProgressWindow() {
  ProgressState& s = State();
  if (!s.shown) return;
  if (s.form) {
    s.form->AllowClose();
    s.form->close();
    delete s.form;
  }
  trace::Record({"window", "close", s.caption});
  s = ProgressState{};
}

bool ProgressWindowShown() { return State().shown; }
TMailProgressForm* ProgressForm() { return State().form; }

}  // namespace vl
