// Compares two pictures with a small tolerance: sizes must match, no channel
// may differ by more than 16, and at most 1 % of the pixels may differ at all
// (font rendering varies a little between machines).
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pngdiff EXPECTED.png ACTUAL.png\n");
    return 2;
  }
  QImage a(QString::fromLocal8Bit(argv[1])), b(QString::fromLocal8Bit(argv[2]));
  if (a.isNull() || b.isNull()) {
    std::fprintf(stderr, "pngdiff: cannot read %s\n", a.isNull() ? argv[1] : argv[2]);
    return 2;
  }
  if (a.size() != b.size()) {
    std::printf("sizes differ: %dx%d and %dx%d\n", a.width(), a.height(), b.width(), b.height());
    return 1;
  }
  a = a.convertToFormat(QImage::Format_ARGB32);
  b = b.convertToFormat(QImage::Format_ARGB32);
  long long differing = 0;
  int worst = 0;
  for (int y = 0; y < a.height(); ++y) {
    const QRgb* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
    const QRgb* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
    for (int x = 0; x < a.width(); ++x) {
      if (pa[x] == pb[x]) continue;
      ++differing;
      int d = std::max({std::abs(qRed(pa[x]) - qRed(pb[x])), std::abs(qGreen(pa[x]) - qGreen(pb[x])),
                        std::abs(qBlue(pa[x]) - qBlue(pb[x])), std::abs(qAlpha(pa[x]) - qAlpha(pb[x]))});
      worst = std::max(worst, d);
    }
  }
  const long long total = static_cast<long long>(a.width()) * a.height();
  if (worst > 16 || differing * 100 > total) {
    std::printf("%lld of %lld pixels differ, by up to %d\n", differing, total, worst);
    return 1;
  }
  return 0;
}
