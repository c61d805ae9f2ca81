// The balloon, the sticky note and the popup picture.
#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>

#include "images/PictureCache.h"
#include "platform/FontMap.h"
#include "runtime/Global.h"
#include "windows/FloatHost.h"
#include "windows/Popups.h"

namespace vl {
namespace {

// "|" breaks the lines of balloon and note texts.
QString PopupText(const AnsiString& text) {
  AnsiString t = text;
  std::replace(t.begin(), t.end(), '|', '\n');
  return AnsiToQString(t);
}

QRect ScreenRect(QPoint near) {
  QScreen* s = QGuiApplication::screenAt(near);
  if (!s) s = QGuiApplication::primaryScreen();
  return s ? s->geometry() : QRect(0, 0, 1024, 768);
}

// The publication area on the screen: where popups are placed from.
QRect PageOnScreen() {
  TFloatingHost& h = FloatingHost();
  const QPoint origin = h.pageOrigin ? h.pageOrigin() : QPoint();
  const QSize size = h.pageRect ? h.pageRect().size() : QSize();
  return QRect(origin, size);
}

// One of each kind at a time: a second request while one is up is ignored.
bool& Busy(int kind) {
  static bool busy[3] = {};
  return busy[kind];
}

struct BusyGuard {
  explicit BusyGuard(int k) : kind(k) { Busy(kind) = true; }
  ~BusyGuard() { Busy(kind) = false; }
  int kind;
};

// ---------------------------------------------------------------------------

class TPopUpBalloonForm : public TPopUpPalette {
 public:
  static constexpr int kXOffset = 8, kYOffset = 8, kStemSize = 16, kStemWidth = 5, kCorner = 16;

  TPopUpBalloonForm(const AnsiString& text) : TPopUpPalette("balloon", text), text_(PopupText(text)) {
    setFont(DialogFont());
    setCursor(Qt::ArrowCursor);
    const QFontMetrics fm(font());
    textSize_ = fm.size(0, text_);
    resize(std::max(25, textSize_.width() + 2 * kXOffset), textSize_.height() + 2 * kYOffset + kStemSize);
  }

  // Places the balloon so that its stem points at (x, y).
  QPoint PlaceFor(int x, int y) {
    const QRect scr = ScreenRect(QPoint(x, y));
    const int cw = width(), ch = height();
    int top = y - ch;
    stemTop_ = false;
    if (top < scr.top()) {
      stemTop_ = true;
      top = y;
    }
    if (top + ch > scr.bottom() + 1) top = scr.bottom() + 1 - ch;
    int left = std::clamp(x - cw / 2, scr.left(), std::max(scr.left(), scr.right() + 1 - cw));
    // The stem's base stays at least 10 pixels inside the side.
    stemOffset_ = x - left - cw / 2;
    const int half = cw / 2;
    if (half + stemOffset_ < 10) stemOffset_ = 10 - half;
    if (half + stemOffset_ > cw - 10) stemOffset_ = half - 10;
    return {left, top};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int stemX = width() / 2 + stemOffset_;
    const QRectF body = stemTop_ ? QRectF(0.5, kStemSize + 0.5, width() - 1, height() - kStemSize - 1)
                                 : QRectF(0.5, 0.5, width() - 1, height() - kStemSize - 1);
    QPainterPath path;
    path.addRoundedRect(body, kCorner / 2.0, kCorner / 2.0);
    QPainterPath stem;
    if (stemTop_) {
      stem.moveTo(stemX - kStemWidth, body.top() + 1);
      stem.lineTo(stemX, 0.5);
      stem.lineTo(stemX + kStemWidth, body.top() + 1);
    } else {
      stem.moveTo(stemX - kStemWidth, body.bottom() - 1);
      stem.lineTo(stemX, height() - 0.5);
      stem.lineTo(stemX + kStemWidth, body.bottom() - 1);
    }
    stem.closeSubpath();
    path = path.united(stem);
    p.fillRect(rect(), QColor(255, 251, 240));
    p.setPen(Qt::black);
    p.setBrush(QColor(255, 251, 240));
    p.drawPath(path);
    p.setPen(Qt::black);
    p.drawText(body.toRect().adjusted(kXOffset, kYOffset, -kXOffset, -kYOffset), Qt::AlignCenter, text_);
  }
  void mousePressEvent(QMouseEvent*) override { SetResult(Chosen); }
  void PopupKey(QKeyEvent*) override { SetResult(Chosen); }

 private:
  QString text_;
  QSize textSize_;
  bool stemTop_ = false;
  int stemOffset_ = 0;
};

// ---------------------------------------------------------------------------

class TPopUpStickyNoteForm : public TPopUpPalette {
 public:
  static constexpr int kXOffset = 8, kYOffset = 8, kShadow = 0;

  TPopUpStickyNoteForm(const AnsiString& text, QRect screen) : TPopUpPalette("note", text), text_(PopupText(text)) {
    setFont(DialogFont());
    const QFontMetrics fm(font());
    QSize ts = fm.size(0, text_);
    int cw = ts.width() + 2 * kXOffset;
    const int widest = screen.width() - kShadow - 10;
    if (cw > widest) {
      // Wider than the screen: wrapped to it.
      cw = widest;
      wrap_ = true;
      ts = fm.boundingRect(QRect(0, 0, screen.width() - 2 * kXOffset, 100000), Qt::TextWordWrap, text_).size();
    }
    resize(std::max(25, cw), std::max(25, ts.height() + 2 * kYOffset + kShadow));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::ToolTipBase));
    p.setPen(palette().color(QPalette::ToolTipText));
    p.drawText(rect().adjusted(kXOffset, kYOffset, -kXOffset, -kYOffset),
               Qt::AlignLeft | Qt::AlignTop | (wrap_ ? Qt::TextWordWrap : 0), text_);
  }
  void mousePressEvent(QMouseEvent*) override { SetResult(Chosen); }
  void PopupKey(QKeyEvent*) override { SetResult(Chosen); }

 private:
  QString text_;
  bool wrap_ = false;
};

// ---------------------------------------------------------------------------

class TPopUpImageForm : public TPopUpPalette {
 public:
  TPopUpImageForm(const AnsiString& file, const TVLImageView* picture, bool transparent)
      : TPopUpPalette("picture", file), picture_(picture), transparent_(transparent) {
    setCursor(Qt::ArrowCursor);
    resize(picture->ImageWidth(), picture->ImageHeight());
    if (transparent_) {
      // The cached picture is shared: its transparent colour is keyed out
      // of a copy.
      shown_ = QImage(size(), QImage::Format_ARGB32);
      shown_.fill(Qt::transparent);
      {
        QPainter p(&shown_);
        picture->Draw(p, 255, 0, 0);
      }
      const TColor key = picture->TransparentColor();
      const QRgb keyRgb = qRgb(key & 0xFF, (key >> 8) & 0xFF, (key >> 16) & 0xFF);
      for (int y = 0; y < shown_.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shown_.scanLine(y));
        for (int x = 0; x < shown_.width(); ++x)
          if ((line[x] & 0xFFFFFF) == (keyRgb & 0xFFFFFF)) line[x] = 0;
      }
    }
  }
  ~TPopUpImageForm() override { ThePictureCache().Unpin(picture_); }

  // A transparent picture shows what lies under it: the main window's
  // picture of that place.
  void TakeBackdrop() {
    TFloatingHost& h = FloatingHost();
    QWidget* main = h.mainWindow ? h.mainWindow() : nullptr;
    if (!transparent_ || !main) return;
    const QPoint at = main->mapFromGlobal(pos());
    backdrop_ = main->grab(QRect(at, size())).toImage();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!backdrop_.isNull()) p.drawImage(0, 0, backdrop_);
    if (!shown_.isNull())
      p.drawImage(0, 0, shown_);
    else
      picture_->Draw(p, 255, 0, 0);
  }
  void mousePressEvent(QMouseEvent*) override { SetResult(Chosen); }
  void PopupKey(QKeyEvent*) override { SetResult(Chosen); }

 private:
  const TVLImageView* picture_;
  bool transparent_;
  QImage backdrop_;
  QImage shown_;
};

}  // namespace

void ShowBalloon(const AnsiString& text, int x, int y, bool xAtMouse, bool yAtMouse, int timeout) {
  if (Busy(0)) return;
  BusyGuard busy(0);
  TPopUpBalloonForm form(text);
  form.timeout = timeout;
  const QPoint mouse = QCursor::pos();
  if (xAtMouse) x = mouse.x();
  if (yAtMouse) y = mouse.y();
  const QPoint at = form.PlaceFor(x, y);
  form.ShowPopup(at.x(), at.y());
}

void ShowStickyNote(const AnsiString& text, int x, int y, int timeout) {
  if (Busy(1)) return;
  BusyGuard busy(1);
  const QRect page = PageOnScreen();
  const QRect scr = ScreenRect(page.topLeft());
  TPopUpStickyNoteForm form(text, scr);
  form.timeout = timeout;
  if (x == -1) x = page.width() / 2 - form.width() / 2;
  if (y == -1) y = page.height() / 2 - form.height() / 2;
  x = std::max(0, std::min(page.left() + x, scr.right() + 1 - form.width()));
  y = std::max(0, std::min(page.top() + y, scr.bottom() + 1 - form.height()));
  form.ShowPopup(x, y);
}

bool ShowPopUpImage(const AnsiString& file, int x, int y, int timeout, const AnsiString& effect) {
  TPictureInfo info;
  if (file.empty() || !ThePictureCache().GetPictureInfo(file, info) || info.width < 1 || info.height < 1)
    return false;
  if (Busy(2)) return true;
  const bool transparent = SameTextInvariant(TrimView(effect), "Transparent");
  TCachedPicture pic = ThePictureCache().GetPicture(file, true);
  if (!pic) return false;
  if (pic.picture->BadImage()) {
    ThePictureCache().Unpin(pic.picture);
    return false;
  }
  BusyGuard busy(2);
  TPopUpImageForm form(file, pic.picture, transparent);
  form.timeout = timeout;
  const QRect page = PageOnScreen();
  if (x == -1) x = page.width() / 2 - form.width() / 2;
  if (y == -1) y = page.height() / 2 - form.height() / 2;
  form.move(page.left() + x, page.top() + y);
  form.TakeBackdrop();
  form.ShowPopup(page.left() + x, page.top() + y);
  return true;
}

}  // namespace vl
