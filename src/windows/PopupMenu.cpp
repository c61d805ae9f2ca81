// The popup menu of Menu and MenuEx: a list of items drawn by the player
// (separators "-", "&" shown as written), chosen by click, Enter, or the
// letter after an "&"; Up, Down, Home and End move the highlight over the
// items that can be chosen.
#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <vector>

#include "windows/DialogDriver.h"
#include "windows/FloatHost.h"
#include "windows/Popups.h"

namespace vl {
namespace {

constexpr int kSeparatorHeight = 6;
constexpr int kTextInset = 10;
// How long a letter's item shows highlighted before it is chosen.
constexpr int64_t kAcceleratorShowMs = 150;

struct TMenuItem {
  AnsiString raw;
  QString text;
  bool separator = false;
  int top = 0;
  int height = 0;
};

class TPopUpMenuForm : public TPopUpPalette {
 public:
  TPopUpMenuForm(const AnsiString& itemsText, int width, int rows, QRect workArea)
      : TPopUpPalette("menu", itemsText) {
    setMouseTracking(true);
    const QFontMetrics fm(font());
    itemHeight_ = fm.height() + 6;
    int widest = 0, y = 1;
    size_t start = 0;
    for (;;) {
      const size_t bar = itemsText.find('|', start);
      TMenuItem it;
      it.raw = itemsText.substr(start, bar == AnsiString::npos ? AnsiString::npos : bar - start);
      it.text = AnsiToQString(it.raw);
      it.separator = it.raw == "-";
      it.height = it.separator ? kSeparatorHeight : itemHeight_;
      it.top = y;
      y += it.height;
      if (!it.separator) widest = std::max(widest, fm.horizontalAdvance(it.text));
      items_.push_back(std::move(it));
      if (bar == AnsiString::npos) break;
      start = bar + 1;
    }
    contentHeight_ = y + 1;
    int w = width > 0 ? width : widest + 26;
    int h = contentHeight_;
    bool cut = false;
    if (rows > 0 && rows < static_cast<int>(items_.size())) {
      h = rows * itemHeight_;
      cut = true;
    }
    if (h > workArea.height()) {
      h = workArea.height();
      cut = true;
    }
    if (cut) {
      bar_ = new QScrollBar(Qt::Vertical, this);
      const int bw = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
      if (width <= 0) w += bw;
      bar_->setGeometry(w - bw - 1, 1, bw, h - 2);
      bar_->setRange(0, std::max(0, contentHeight_ - h));
      bar_->setPageStep(h);
      bar_->setSingleStep(itemHeight_);
      QObject::connect(bar_, &QScrollBar::valueChanged, this, [this](int) { update(); });
    }
    resize(std::max(25, w), std::max(25, h));
  }

  int ItemCount() const { return static_cast<int>(items_.size()); }
  int Chosen() const { return chosen_; }

  // By caption, "&" ignored and any case.
  bool Pick(std::string_view caption, AnsiString& why) {
    for (int i = 0; i < ItemCount(); ++i)
      if (DialogDriver::SameCaption(items_[i].raw, caption)) {
        if (items_[i].separator) {
          why = "the menu item \"" + AnsiString(caption) + "\" is a separator";
          return false;
        }
        Choose(i);
        return true;
      }
    why = "the menu has no item \"" + AnsiString(caption) + "\"";
    return false;
  }

 protected:
  bool TakesEnter() const override { return true; }

  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Base));
    p.setPen(pal.color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const int textRight = (bar_ ? bar_->x() : width() - 1);
    p.setClipRect(QRect(1, 1, textRight - 1, height() - 2));
    const int off = Offset();
    // Only the rows in view are drawn, however long the list.
    auto first = std::upper_bound(items_.begin(), items_.end(), off,
                                  [](int y, const TMenuItem& it) { return y < it.top + it.height; });
    for (auto it = first; it != items_.end() && it->top - off < height(); ++it) {
      const QRect r(1, it->top - off, textRight - 1, it->height);
      if (it->separator) {
        const int mid = r.top() + r.height() / 2 - 1;
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(r.left() + 1, mid, r.right() - 1, mid);
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(r.left() + 1, mid + 1, r.right() - 1, mid + 1);
        continue;
      }
      const bool hot = (it - items_.begin()) == highlight_;
      if (hot) p.fillRect(r, pal.color(QPalette::Highlight));
      p.setPen(pal.color(hot ? QPalette::HighlightedText : QPalette::Text));
      p.drawText(r.adjusted(kTextInset, 0, -kTextInset, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                 it->text);
    }
  }

  void mouseMoveEvent(QMouseEvent* e) override {
    const int i = ItemAt(e->position().toPoint());
    if (i >= 0 && !items_[i].separator && i != highlight_) {
      highlight_ = i;
      update();
    }
  }

  void mousePressEvent(QMouseEvent* e) override {
    const int i = ItemAt(e->position().toPoint());
    if (i >= 0 && !items_[i].separator)
      Choose(i);
    else
      SetResult(Dismissed);
  }

  void wheelEvent(QWheelEvent* e) override {
    if (bar_) bar_->setValue(bar_->value() - e->angleDelta().y() / 120 * itemHeight_ * 3);
  }

  void PopupKey(QKeyEvent* e) override {
    switch (e->key()) {
      case Qt::Key_Up: return MoveHighlight(highlight_ < 0 ? ItemCount() : highlight_, -1);
      case Qt::Key_Down: return MoveHighlight(highlight_, +1);
      case Qt::Key_Home: return MoveHighlight(-1, +1);
      case Qt::Key_End: return MoveHighlight(ItemCount(), -1);
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (highlight_ >= 0)
          Choose(highlight_);
        else
          SetResult(Dismissed);
        return;
      default: break;
    }
    const QString t = e->text();
    if (t.isEmpty() || !t.at(0).isPrint()) return;
    const int i = AcceleratorItem(t.at(0).toUpper());
    if (i < 0) {
      QApplication::beep();
      return;
    }
    highlight_ = i;
    ShowItem(i);
    update();
    QPointer<TPopUpMenuForm> self(this);
    TheClock().StartTimer(kAcceleratorShowMs, [self, i] {
      if (self) self->Choose(i);
    });
  }

 private:
  int Offset() const { return bar_ ? bar_->value() : 0; }

  int ItemAt(QPoint p) const {
    if (bar_ && p.x() >= bar_->x()) return -1;
    const int y = p.y() + Offset();
    auto it = std::upper_bound(items_.begin(), items_.end(), y,
                               [](int v, const TMenuItem& m) { return v < m.top + m.height; });
    if (it == items_.end() || y < it->top) return -1;
    return static_cast<int>(it - items_.begin());
  }

  void Choose(int i) {
    if (ResultCode() != NoResult) return;
    chosen_ = i;
    SetResult(TPopUpPalette::Chosen);
  }

  // From `from` in direction `dir` to the next item that is not a
  // separator; at the end of the list the search turns back, and gives up
  // after turning twice.
  void MoveHighlight(int from, int dir) {
    const int n = ItemCount();
    int i = from + dir, turns = 0;
    while (true) {
      if (i < 0 || i >= n) {
        if (++turns >= 2) return;
        dir = -dir;
        i = std::clamp(i, 0, n - 1);
      }
      if (!items_[i].separator) break;
      i += dir;
    }
    highlight_ = i;
    ShowItem(i);
    update();
  }

  void ShowItem(int i) {
    if (!bar_) return;
    const TMenuItem& it = items_[i];
    if (it.top < bar_->value())
      bar_->setValue(it.top);
    else if (it.top + it.height > bar_->value() + height() - 2)
      bar_->setValue(it.top + it.height - height() + 2);
  }

  // The first item with "&" right before that letter ("&" before a blank
  // or another "&" does not count).
  int AcceleratorItem(QChar upper) const {
    for (int i = 0; i < ItemCount(); ++i) {
      const QString& s = items_[i].text;
      for (int k = 0; k + 1 < s.size(); ++k) {
        if (s.at(k) != QLatin1Char('&')) continue;
        const QChar c = s.at(k + 1);
        if (c == QLatin1Char(' ') || c == QLatin1Char('&')) {
          ++k;
          continue;
        }
        if (c.toUpper() == upper && !items_[i].separator) return i;
      }
    }
    return -1;
  }

  std::vector<TMenuItem> items_;
  int itemHeight_ = 0;
  int contentHeight_ = 0;
  int highlight_ = -1;
  int chosen_ = -1;
  QScrollBar* bar_ = nullptr;
};

QPointer<TPopUpMenuForm>& OpenMenu() {
  static QPointer<TPopUpMenuForm> menu;
  return menu;
}

int CountItems(const AnsiString& items) { return static_cast<int>(std::count(items.begin(), items.end(), '|')) + 1; }

}  // namespace

int ShowPopupMenu(const AnsiString& items, int x, int y, bool centreX, bool centreY, int width, int rows,
                  int& itemCount) {
  itemCount = CountItems(items);
  if (TPopUpMenuForm* open = OpenMenu()) {
    // A second menu closes the first and is not shown itself.
    open->SetResult(TPopUpPalette::Dismissed);
    return 0;
  }
  TFloatingHost& h = FloatingHost();
  const QPoint origin = h.pageOrigin ? h.pageOrigin() : QPoint();
  QScreen* screen = QGuiApplication::screenAt(origin);
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  TPopUpMenuForm form(items, width, rows, work);
  OpenMenu() = &form;
  QWidget* client = h.clientArea ? h.clientArea() : nullptr;
  const QRect clientRect = client ? QRect(client->mapToGlobal(QPoint(0, 0)), client->size()) : work;
  x = centreX ? clientRect.left() + clientRect.width() / 2 - form.width() / 2 : origin.x() + x;
  y = centreY ? clientRect.top() + clientRect.height() / 2 - form.height() / 2 : origin.y() + y;
  const int r = form.ShowPopup(x, y);
  OpenMenu() = nullptr;
  return r == TPopUpPalette::Chosen && form.Chosen() >= 0 ? form.Chosen() + 1 : 0;
}

bool PickMenuItem(std::string_view caption, AnsiString& why) {
  TPopUpMenuForm* menu = OpenMenu();
  if (!menu || menu->ResultCode() != TPopUpPalette::NoResult) {
    why = "no popup menu is open";
    return false;
  }
  return menu->Pick(caption, why);
}

}  // namespace vl
