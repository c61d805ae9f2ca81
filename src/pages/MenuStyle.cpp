// Menu drawing. Pictures of an item keep the displayed size prepared for
// them (the item's icon holds one pixmap of that size); the picture column
// of a menu is as wide as its largest picture.
#include "pages/MenuStyle.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QWidget>

namespace vl {

TMenuItemMetrics MeasureMenuItem(bool separator, QSize largest, int captionWidth, int textHeight) {
  TMenuItemMetrics m;
  const bool pictures = largest.isValid() && !largest.isEmpty();
  m.column = std::max(kMenuCheckWidth, pictures ? largest.width() : 0);
  if (separator) {
    m.width = m.column + 8 + 12;
    m.height = 7;
    return m;
  }
  m.width = m.column + 8 + captionWidth + 12;
  int columnHeight = std::max(kMenuCheckHeight, pictures ? largest.height() : 0);
  if (pictures) columnHeight += 8;
  m.height = std::max(columnHeight, textHeight + 4);
  return m;
}

namespace {

QColor Darker20(const QColor& c) {
  return QColor(std::max(c.red() - 20, 0), std::max(c.green() - 20, 0), std::max(c.blue() - 20, 0));
}

void FillHighlight(QPainter& p, const QRect& r, const QPalette& pal) {
  const QColor top = pal.color(QPalette::Active, QPalette::Highlight);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, Darker20(top));
  p.fillRect(r, g);
}

QSize LevelPictures(const QWidget* widget) {
  return widget ? widget->property(kPictureColumnProperty).toSize() : QSize();
}

// The caption and the shortcut's text of an item ("caption\tshortcut").
void SplitText(const QString& text, QString& caption, QString& shortcut) {
  const qsizetype tab = text.indexOf('\t');
  caption = tab < 0 ? text : text.left(tab);
  shortcut = tab < 0 ? QString() : text.mid(tab + 1);
}

QString WithoutMnemonics(QString s) {
  QString out;
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) ++i;
    out += s[i];
  }
  return out;
}

void DrawCheckGlyph(QPainter& p, const QRect& box, const QColor& colour) {
  QPainterPath path;
  const QPointF c = QRectF(box).center();
  path.moveTo(c + QPointF(-4, 0));
  path.lineTo(c + QPointF(-1, 3));
  path.lineTo(c + QPointF(4, -3));
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(colour, 2));
  p.drawPath(path);
  p.restore();
}

class TMenuStyle : public QProxyStyle {
 public:
  QSize sizeFromContents(ContentsType type, const QStyleOption* opt, const QSize& size,
                         const QWidget* widget) const override {
    if (type != CT_MenuItem) return QProxyStyle::sizeFromContents(type, opt, size, widget);
    const auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(opt);
    if (!mi) return QProxyStyle::sizeFromContents(type, opt, size, widget);
    QString caption, shortcut;
    SplitText(mi->text, caption, shortcut);
    const QFontMetrics& fm = mi->fontMetrics;
    int textWidth = fm.horizontalAdvance(WithoutMnemonics(caption));
    if (!shortcut.isEmpty()) textWidth += fm.averageCharWidth() * 4 + fm.horizontalAdvance(shortcut);
    const TMenuItemMetrics m = MeasureMenuItem(mi->menuItemType == QStyleOptionMenuItem::Separator,
                                               LevelPictures(widget), textWidth, fm.height());
    return {m.width, m.height};
  }

  void drawControl(ControlElement element, const QStyleOption* opt, QPainter* p,
                   const QWidget* widget) const override {
    const auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(opt);
    if (!mi || (element != CE_MenuItem && element != CE_MenuBarItem)) {
      QProxyStyle::drawControl(element, opt, p, widget);
      return;
    }
    if (element == CE_MenuBarItem)
      DrawBarItem(*mi, *p);
    else
      DrawPopupItem(*mi, *p, widget);
  }

 private:
  void DrawBarItem(const QStyleOptionMenuItem& mi, QPainter& p) const {
    const bool enabled = mi.state & State_Enabled;
    const bool hot = (mi.state & State_Selected) || (mi.state & State_Sunken);
    QColor text = mi.palette.color(QPalette::Active, QPalette::ButtonText);
    if (hot && enabled) {
      FillHighlight(p, mi.rect, mi.palette);
      text = mi.palette.color(QPalette::Active, QPalette::HighlightedText);
    } else {
      p.fillRect(mi.rect, mi.palette.brush(QPalette::Button));
      if (!enabled) text = mi.palette.color(QPalette::Disabled, QPalette::Text);
    }
    p.save();
    p.setPen(text);
    int flags = Qt::AlignCenter | Qt::TextSingleLine;
    flags |= styleHint(SH_UnderlineShortcut, &mi, nullptr) ? Qt::TextShowMnemonic : Qt::TextHideMnemonic;
    p.drawText(mi.rect, flags, mi.text);
    p.restore();
  }

  void DrawPopupItem(const QStyleOptionMenuItem& mi, QPainter& p, const QWidget* widget) const {
    const QRect r = mi.rect;
    const bool enabled = mi.state & State_Enabled;
    const bool selected = (mi.state & State_Selected) && enabled;
    p.fillRect(r, mi.palette.brush(QPalette::Window));
    if (mi.menuItemType == QStyleOptionMenuItem::Separator) {
      const int y = r.center().y();
      p.setPen(mi.palette.color(QPalette::Dark));
      p.drawLine(r.left() + 2, y, r.right() - 2, y);
      p.setPen(mi.palette.color(QPalette::Light));
      p.drawLine(r.left() + 2, y + 1, r.right() - 2, y + 1);
      return;
    }
    QColor text = mi.palette.color(QPalette::Active, QPalette::WindowText);
    if (selected) {
      FillHighlight(p, r, mi.palette);
      text = mi.palette.color(QPalette::Active, QPalette::HighlightedText);
    } else if (!enabled) {
      text = mi.palette.color(QPalette::Disabled, QPalette::Text);
    }
    const TMenuItemMetrics m = MeasureMenuItem(false, LevelPictures(widget), 0, mi.fontMetrics.height());
    const QRect column(r.left(), r.top(), m.column, r.height());
    const bool toggles = mi.checkType != QStyleOptionMenuItem::NotCheckable;
    const bool showPicture = !mi.icon.isNull() && (!toggles || mi.checked);
    if (showPicture) {
      const QList<QSize> sizes = mi.icon.availableSizes();
      const QSize size = sizes.isEmpty() ? QSize(16, 16) : sizes.first();
      const QPixmap pm = mi.icon.pixmap(size);
      p.save();
      p.setOpacity(enabled ? 1.0 : 75.0 / 255.0);
      QRect target(QPoint(0, 0), size);
      target.moveCenter(column.center());
      p.drawPixmap(target, pm);
      p.restore();
    } else if (toggles && mi.checked) {
      QRect box(0, 0, kMenuCheckWidth, kMenuCheckHeight);
      box.moveCenter(column.center());
      DrawCheckGlyph(p, box, text);
    }
    QString caption, shortcut;
    SplitText(mi.text, caption, shortcut);
    p.save();
    p.setPen(text);
    QRect textRect(column.right() + 1, r.top(), r.right() - column.right(), r.height());
    int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextExpandTabs;
    flags |= styleHint(SH_UnderlineShortcut, &mi, widget) ? Qt::TextShowMnemonic : Qt::TextHideMnemonic;
    p.drawText(textRect, flags, caption);
    const bool submenu = mi.menuItemType == QStyleOptionMenuItem::SubMenu;
    if (!shortcut.isEmpty() && !submenu)
      p.drawText(r.adjusted(0, 0, -12, 0), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shortcut);
    p.restore();
    if (submenu) {
      QStyleOption arrow(mi);
      arrow.rect = QRect(r.right() - 11, r.top(), 10, r.height());
      arrow.palette.setColor(QPalette::ButtonText, text);
      proxy()->drawPrimitive(PE_IndicatorArrowRight, &arrow, &p, widget);
    }
  }
};

}  // namespace

QStyle* MenuStyle() {
  // Menus hold the style without owning it; it lives as long as the
  // application.
  static QPointer<QStyle> style;
  if (!style) {
    style = new TMenuStyle;
    style->setParent(qApp);
  }
  return style.data();
}

}  // namespace vl
