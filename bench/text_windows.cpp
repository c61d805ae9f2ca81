// Opening and closing 100 text windows, each showing its own small RTF file
// (forty lines with a variable field) sized to its text, beside opening and
// closing 100 plain top-level windows holding a label with the same text
// (the floor), in one run; prints the time per window (goal: within 20 ms)
// and the ratio.
//   bench_text_windows
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "actions/Vars.h"
#include "windows/FloatWindows.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

constexpr int kWindows = 100;

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
  QString plain;
  for (int i = 0; i < 40; ++i) {
    rtf += "Line " + std::to_string(i) + " of the clues, for [Player]: \\b a few\\b0  words more.\\par ";
    plain += QStringLiteral("Line %1 of the clues, for Ann: a few words more.\n").arg(i);
  }
  rtf += "}";
  std::vector<std::string> files;
  for (int i = 0; i < kWindows; ++i) {
    const QString path = dir.filePath(QStringLiteral("clues%1.rtf").arg(i));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return 2;
    f.write(rtf.data(), static_cast<qint64>(rtf.size()));
    files.push_back(path.toStdString());
  }
  vl::SetVariable("Player", "Ann");

  auto ours = [&] {
    auto t0 = Clock::now();
    for (int i = 0; i < kWindows; ++i) {
      vl::TFloatRequest req;
      req.kind = vl::fkText;
      req.title = "Clues " + std::to_string(i);
      req.name = files[static_cast<size_t>(i)];
      if (!vl::OpenFloatingWindow(req)) {
        std::fprintf(stderr, "cannot open %s\n", req.name.c_str());
        std::exit(2);
      }
      QCoreApplication::processEvents();
    }
    vl::CloseFloatingWindowsNow(vl::TCloseWhich::All);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return Ms(t0) / kWindows;
  };
  auto floor = [&] {
    auto t0 = Clock::now();
    std::vector<QWidget*> windows;
    for (int i = 0; i < kWindows; ++i) {
      auto* w = new QWidget(nullptr, Qt::Window);
      auto* label = new QLabel(plain, w);
      w->resize(label->sizeHint());
      w->show();
      windows.push_back(w);
      QCoreApplication::processEvents();
    }
    for (QWidget* w : windows) w->close(), w->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return Ms(t0) / kWindows;
  };
  ours();  // fonts and caches warm
  double best = 1e30, bestFloor = 1e30;
  for (int run = 0; run < 3; ++run) {
    best = std::min(best, ours());
    bestFloor = std::min(bestFloor, floor());
  }
  std::printf("text window opened and closed: %.2f ms per window (goal <= 20); plain window with a label: %.2f ms; "
              "ratio %.2f\n",
              best, bestFloor, best / bestFloor);
  return 0;
}
