#pragma once
// Helpers of the rich-text tests: fixtures, run lookup and painting.
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <ostream>
#include <string>

#include "richtext/RichText.h"

namespace vl::test {

inline std::string RichFixture(const char* name) {
  QFile f(QStringLiteral(VL_SOURCE_DIR "/tests/richtext/fixtures/") + name);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QByteArray b = f.readAll();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

// The character format of the first run whose text contains `text`.
inline bool FindRun(const QTextDocument& doc, const QString& text, QTextCharFormat& fmt, int* pos = nullptr) {
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      QTextFragment f = it.fragment();
      if (f.isValid() && f.text().contains(text)) {
        fmt = f.charFormat();
        if (pos) *pos = f.position() + static_cast<int>(f.text().indexOf(text));
        return true;
      }
    }
  }
  return false;
}

// The rectangle (document coordinates) of the characters [pos, pos + len)
// on their line.
inline QRectF TextRect(const QTextDocument& doc, int pos, int len) {
  doc.documentLayout()->documentSize();
  QTextBlock b = doc.findBlock(pos);
  QTextLayout* lay = b.layout();
  QTextLine line = lay->lineForTextPosition(pos - b.position());
  QRectF br = doc.documentLayout()->blockBoundingRect(b);
  double x1 = line.cursorToX(pos - b.position());
  double x2 = line.cursorToX(pos + len - b.position());
  return QRectF(br.left() + x1, br.top() + line.y(), x2 - x1, line.height());
}

inline QImage PaintRich(const TVelRichText& rt, QSize size, QColor background = Qt::white) {
  QImage img(size, QImage::Format_RGB32);
  img.fill(background);
  QPainter p(&img);
  rt.Paint(p, QRectF(0, 0, size.width(), size.height()));
  return img;
}

// Pixels inside `r` for which `pred(color)` holds.
template <typename Pred>
int CountPixels(const QImage& img, QRect r, Pred pred) {
  r = r.intersected(img.rect());
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) {
      if (pred(QColor(img.pixel(x, y)))) ++n;
    }
  }
  return n;
}

}  // namespace vl::test

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
