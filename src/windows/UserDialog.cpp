#include "windows/UserDialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "runtime/Global.h"
#include "runtime/Messages.h"
#include "windows/DialogPictures.h"
#include "windows/DialogWidgets.h"

namespace vl {
namespace {

constexpr int kMaxButtons = 50;
// The window manager's border around a dialog, which Qt knows only once the
// dialog is on screen: a typical frame of 4 pixels a side.
constexpr int kFrameAllowance = 8;
constexpr int kMaxPictureSide = 8192;

DialogPictureLoader& Loader() {
  static DialogPictureLoader loader;
  return loader;
}

}  // namespace

std::vector<AnsiString> SplitButtonCaptions(std::string_view buttons) {
  std::vector<AnsiString> r;
  if (buttons.empty()) return r;
  size_t pos = 0;
  AnsiString part;
  while (static_cast<int>(r.size()) < kMaxButtons && NextField(buttons, pos, '|', false, part)) r.push_back(part);
  // A trailing "|" gives one more, empty caption.
  if (static_cast<int>(r.size()) < kMaxButtons && buttons.back() == '|') r.emplace_back();
  return r;
}

int QueryDialog(const AnsiString& title, const AnsiString& message, const AnsiString& buttons,
                const AnsiString& picture, const AnsiString& kind) {
  QueryRequest req;
  req.kind = kind;
  req.title = title;
  req.text = message;
  req.buttons = SplitButtonCaptions(buttons);
  req.picture = picture;
  int r = Dialogs().Query(req);
  return r >= 0 && r < static_cast<int>(req.buttons.size()) ? r + 1 : 0;
}

void ShowStartupError(const AnsiString& title, const AnsiString& text) {
  QueryDialog(title, text, Msg(202), "", "error");
}

void SetDialogPictureLoader(DialogPictureLoader loader) { Loader() = std::move(loader); }

QImage LoadDialogPicture(const AnsiString& name) {
  if (name.empty()) return {};
  if (Loader()) return Loader()(name);
  QImageReader reader(AnsiToQString(name));
  QSize s = reader.size();
  if (!s.isValid() || s.width() > kMaxPictureSide || s.height() > kMaxPictureSide) return {};
  return reader.read();
}

QWidget* DialogOwner() { return QApplication::activeWindow(); }

int DialogScreenWidth() {
  QScreen* s = QGuiApplication::primaryScreen();
  return (s ? s->geometry().width() : 1024) - kFrameAllowance;
}

void CentreOnScreen(QWidget* w) {
  QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  if (!s) return;
  QRect area = s->geometry();
  w->move(area.x() + (area.width() - w->width()) / 2, area.y() + (area.height() - w->height()) / 2);
}

TQueryForm::TQueryForm(QWidget* owner, const QueryRequest& req, const QImage& picture)
    : TDialogForm(owner, req.title), req_(req) {
  const QFontMetrics& fm = Metrics();

  int bw = 45;
  const int bh = ButtonHeight();
  const auto& captions = req.buttons;
  for (const auto& c : captions) bw = ButtonWidth({AnsiToQString(c)}, bw);
  // An empty list counts as one caption: a dialog without buttons is a notice.
  askIcon_ = std::max<size_t>(1, captions.size()) >= 2;

  int pl = 12, pt = 16, pw = 32, ph = 32;
  QImage shown;
  if (!picture.isNull() && picture.width() > 0 && picture.height() > 0) {
    standardIcon_ = false;
    shown = picture;
    pw = picture.width();
    ph = picture.height();
  } else {
    shown = StandardIconImage(askIcon_ ? StandardIcon::Ask : StandardIcon::Alert, Globals().manyColors);
  }
  imagePanel_ = new PictureBox(shown, this);

  const QString text = DialogText(req.text);
  prompt_ = MakeDialogLabel(text, this);
  QSize ts = PlainTextSize(fm, text);
  int tl = pl + pw + 8, tt = 14, tw = ts.width(), th = ts.height();
  if (th < ph)
    tt = pt + ph / 2 - th / 2;
  else
    pt = th / 2 - ph / 2 + 16;
  const int screenW = DialogScreenWidth();
  if (screenW < tl + tw + 12) {
    tw = std::max(fm.horizontalAdvance(QLatin1Char('M')), screenW - tl - 12);
    th = WrappedTextHeight(fm, text, tw);
    prompt_->setWordWrap(true);
  }

  const int bottom = std::max(pt + ph, tt + th);
  int clientH = 0, rowW = 0;
  if (!captions.empty()) {
    clientH = bottom + bh + 40;
    int x = 12;
    const int y = bottom + 24;
    for (size_t i = 0; i < captions.size(); ++i) {
      auto* b = new QPushButton(AnsiToQString(captions[i]), this);
      b->setGeometry(x, y, bw, bh);
      b->setAutoDefault(true);
      const int number = static_cast<int>(i) + 1;
      connect(b, &QPushButton::clicked, this, [this, number] {
        clicked_ = number;
        escaped_ = false;
        accept();
      });
      buttons_.push_back(b);
      x += bw + 8;
    }
    rowW = x + 12;
  } else {
    clientH = bottom + 16;
  }
  const int content = tl + tw + 12;
  const int clientW = std::max(rowW, content);
  if (content < clientW) {
    const int shift = (clientW - content) / 2;
    pl += shift;
    tl += shift;
  } else if (!buttons_.empty() && rowW < clientW) {
    const int shift = clientW / 2 - rowW / 2;
    for (auto* b : buttons_) b->move(b->x() + shift, b->y());
  }
  imagePanel_->setGeometry(pl, pt, pw, ph);
  prompt_->setGeometry(tl, tt, tw, th);
  FinishLayout(clientW, clientH);

  const int def = req.defaultButton;
  if (def >= 0 && def < static_cast<int>(buttons_.size())) {
    buttons_[def]->setDefault(true);
    buttons_[def]->setFocus();
  }
}

AnsiString TQueryForm::Answer() const {
  if (escaped_ || clicked_ < 1 || clicked_ > static_cast<int>(req_.buttons.size())) return {};
  return req_.buttons[clicked_ - 1];
}

void TQueryForm::reject() {
  // Esc and the close box choose no button, unless the caller named one.
  const int cancel = req_.cancelButton;
  if (cancel >= 0 && cancel < static_cast<int>(buttons_.size())) {
    clicked_ = cancel + 1;
    escaped_ = true;
  }
  TDialogForm::reject();
}

}  // namespace vl
