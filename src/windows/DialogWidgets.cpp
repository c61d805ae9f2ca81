#include "windows/DialogWidgets.h"

#include <QPainter>
#include <algorithm>

#include "runtime/Global.h"

namespace vl {

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, image_);
}

QString DialogText(std::string_view text) {
  QString s = AnsiToQString(BarsToLineBreaks(text));
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

QLabel* MakeDialogLabel(const QString& text, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setTextFormat(Qt::PlainText);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  l->setMargin(0);
  l->setIndent(0);
  l->setText(text);
  return l;
}

QSize PlainTextSize(const QFontMetrics& fm, const QString& text) {
  QSize s = fm.size(Qt::TextExpandTabs, text);
  return {s.width(), std::max(s.height(), fm.height())};
}

int WrappedTextHeight(const QFontMetrics& fm, const QString& text, int width) {
  QRect r = fm.boundingRect(QRect(0, 0, std::max(1, width), 1 << 20), Qt::TextWordWrap | Qt::TextExpandTabs, text);
  return std::max(r.height(), fm.height());
}

}  // namespace vl
