// Loading and laying out a story of about 1 MB of RTF written by
// LibreOffice (bench/data/story.rtf) into a 600-pixel-wide box, beside Qt
// loading LibreOffice's HTML export of the same document into the same box
// (the floor), in one run; prints the ratio (goal: within 1.5x). Then
// scrolls an article of 2,000 lines line by line, painting each step, and
// prints the slowest step (goal: within one 60 Hz frame, 16.7 ms).
//   bench_rtf_layout [RTF HTML]
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <chrono>
#include <cstdio>
#include <algorithm>
#include <functional>
#include <vector>

#include "richtext/RichText.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

double BestOf(int runs, const std::function<void()>& f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto t0 = Clock::now();
    f();
    best = std::min(best, Ms(t0));
  }
  return best;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QString rtfPath = argc > 2 ? argv[1] : QStringLiteral(VL_BENCH_DATA "/story.rtf");
  QString htmlPath = argc > 2 ? argv[2] : QStringLiteral(VL_BENCH_DATA "/story_lo.html");
  QByteArray rtf = ReadAll(rtfPath), html = ReadAll(htmlPath);
  if (rtf.isEmpty() || html.isEmpty()) {
    std::fprintf(stderr, "cannot read %s or %s\n", qPrintable(rtfPath), qPrintable(htmlPath));
    return 2;
  }
  const QString htmlText = QString::fromUtf8(html);

  double ours = BestOf(5, [&] {
    vl::TVelRichText rt;
    rt.LoadText(std::string_view(rtf.constData(), static_cast<size_t>(rtf.size())));
    rt.SetBox(QSizeF(600, 400), true);
    rt.ContentSize();
  });
  double floor = BestOf(5, [&] {
    QTextDocument doc;
    doc.setUndoRedoEnabled(false);
    doc.setHtml(htmlText);
    doc.setTextWidth(600);
    doc.documentLayout()->documentSize();
  });
  std::printf("RTF %.0f KB loaded and laid out at 600 px: %.1f ms; Qt HTML (%.0f KB): %.1f ms; ratio %.2f (goal <= 1.5)\n",
              rtf.size() / 1024.0, ours, html.size() / 1024.0, floor, ours / floor);

  // Scrolling an article of 2,000 lines, one line a step, painting each.
  std::string lines;
  for (int i = 0; i < 2000; ++i) lines += "Line " + std::to_string(i) + " of the article, with a few words.\r\n";
  vl::TVelRichText article;
  article.LoadText(lines);
  article.SetLeftOffset(4);
  article.SetBox(QSizeF(600, 400), true);
  QImage img(600, 400, QImage::Format_ARGB32_Premultiplied);
  {
    // The article as shown on its page: laid out and painted once.
    auto t0 = Clock::now();
    QPainter p(&img);
    article.Paint(p, QRectF(0, 0, 600, 400));
    std::printf("Article of 2,000 lines laid out and first painted: %.1f ms\n", Ms(t0));
  }
  std::vector<double> times;
  double worst = 0, total = 0;
  int steps = 0;
  for (;;) {
    auto t0 = Clock::now();
    bool moved = article.ScrollLines(1);
    img.fill(Qt::white);
    {
      QPainter p(&img);
      article.Paint(p, QRectF(0, 0, 600, 400));
    }
    double t = Ms(t0);
    times.push_back(t);
    worst = std::max(worst, t);
    total += t;
    ++steps;
    if (!moved) break;
  }
  std::sort(times.begin(), times.end());
  std::printf("Scrolled line by line: %d steps, mean %.3f ms, 99th percentile %.3f ms, slowest %.3f ms (goal <= 16.7)\n",
              steps, total / steps, times[times.size() * 99 / 100], worst);
  return 0;
}
