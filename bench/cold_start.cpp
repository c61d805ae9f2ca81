// The start of a new process to the first page painted, for a publication
// played on the offscreen platform as the headless mode plays it, timed
// beside an empty Qt Widgets program's start to its first paint (the floor:
// what any Qt program pays for the libraries, the platform plug-in and one
// window). The target is a ratio of at most 1.3. Each round starts both as
// fresh processes (this program run again in a child mode), alternately; the
// medians are printed.
//
//   bench_cold_start [PACKAGE] [ROUNDS]   (default: the built sample package)
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QPaintEvent>
#include <QProcess>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "actions/CommandTable.h"
#include "actions/Vars.h"
#include "pages/RT_Main.h"
#include "platform/FontMap.h"
#include "runtime/Clock.h"
#include "windows/QtDialogService.h"

#ifndef VL_SAMPLE_PACKAGE
#define VL_SAMPLE_PACKAGE ""
#endif

namespace {

int64_t NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// With VL_BENCH_STAGES set, each child prints to stderr the moment each
// stage of its start ends, in ms after the parent started it (or after its
// own main when run by hand): where the time goes.
void Stage(const char* what) {
  static const bool on = qEnvironmentVariableIsSet("VL_BENCH_STAGES");
  if (!on) return;
  static const int64_t t0 = [] {
    const QByteArray given = qgetenv("VL_BENCH_T0");
    return given.isEmpty() ? NowNs() : given.toLongLong();
  }();
  std::fprintf(stderr, "%8.2f ms  %s\n", static_cast<double>(NowNs() - t0) / 1e6, what);
}

// Prints the moment of the first paint of `target` and ends the process.
class FirstPaintProbe : public QObject {
 public:
  explicit FirstPaintProbe(std::function<bool()> ready = {}) : ready_(std::move(ready)) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint && (!ready_ || ready_())) {
      // The paint itself first (the filter is gone, so it reaches the
      // widget), then the moment, then the end.
      auto* w = static_cast<QWidget*>(o);
      w->removeEventFilter(this);
      QCoreApplication::sendEvent(w, e);
      Stage("first paint");
      std::printf("%lld\n", static_cast<long long>(NowNs()));
      std::fflush(stdout);
      ::_exit(0);
    }
    return false;
  }

 private:
  std::function<bool()> ready_;
};

int ChildEmpty(int argc, char** argv) {
  Stage("main");
  QApplication app(argc, argv);
  Stage("application");
  QWidget w;
  w.resize(640, 480);
  FirstPaintProbe probe;
  w.installEventFilter(&probe);
  w.show();
  return app.exec();
}

int ChildPlayer(int argc, char** argv, const char* package) {
  Stage("main");
  // As the player starts.
  vl::StartFontWarmUp();
  QApplication app(argc, argv);
  vl::FontWarmUpScope fontWarmUp;
  Stage("application");
  vl::InstallClock(vl::MakeVirtualClock(978307200000LL));
  vl::InstallQtDialogService();
  vl::CommandTable().BuildBuiltinTable();
  Stage("command table");
  vl::ClearAllVariables();
  vl::TStartOptions so;
  so.packagePath = package;
  so.headless = true;
  so.channel = false;
  vl::TWorkForm form(so);
  Stage("main window");
  if (!form.FormCreate()) {
    std::fprintf(stderr, "cannot start %s\n", package);
    return 2;
  }
  Stage("FormCreate");
  // The page area's first paint once the publication has started: the
  // first page on the screen.
  FirstPaintProbe probe([&form] { return form.Started(); });
  form.PageArea()->installEventFilter(&probe);
  form.FormShow();
  Stage("FormShow");
  vl::TheClock().RunUntil([] { return false; }, -1);
  return 0;
}

double RunChild(const QString& self, const QStringList& args) {
  QProcess p;
  const bool stages = qEnvironmentVariableIsSet("VL_BENCH_STAGES");
  p.setProcessChannelMode(stages ? QProcess::ForwardedErrorChannel : QProcess::SeparateChannels);
  const int64_t t0 = NowNs();
  if (stages) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VL_BENCH_T0", QString::number(t0));
    p.setProcessEnvironment(env);
  }
  p.start(self, args);
  if (!p.waitForFinished(60000) || p.exitCode() != 0) {
    std::fprintf(stderr, "child %s failed: %s\n", args.join(' ').toUtf8().constData(),
                 p.readAllStandardError().constData());
    std::exit(1);
  }
  const long long t1 = std::atoll(p.readAllStandardOutput().constData());
  return static_cast<double>(t1 - t0) / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc >= 2 && std::strcmp(argv[1], "--child-empty") == 0) return ChildEmpty(argc, argv);
  if (argc >= 3 && std::strcmp(argv[1], "--child-player") == 0) return ChildPlayer(argc, argv, argv[2]);

  const std::string package = argc >= 2 ? argv[1] : VL_SAMPLE_PACKAGE;
  const int rounds = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 15;
  if (package.empty() || ::access(package.c_str(), R_OK) != 0) {
    std::fprintf(stderr, "usage: bench_cold_start [PACKAGE] [ROUNDS] (no package at \"%s\")\n", package.c_str());
    return 1;
  }
  QCoreApplication app(argc, argv);
  const QString self = QCoreApplication::applicationFilePath();
  std::vector<double> empty, player;
  // One round of each first, not counted: both start from the same warm
  // file cache.
  RunChild(self, {"--child-empty"});
  RunChild(self, {"--child-player", QString::fromStdString(package)});
  for (int i = 0; i < rounds; ++i) {
    empty.push_back(RunChild(self, {"--child-empty"}));
    player.push_back(RunChild(self, {"--child-player", QString::fromStdString(package)}));
  }
  const double e = Median(empty), p = Median(player);
  auto [emin, emax] = std::minmax_element(empty.begin(), empty.end());
  auto [pmin, pmax] = std::minmax_element(player.begin(), player.end());
  std::printf("start to first paint, median (min-max) of %d runs (offscreen):\n", rounds);
  std::printf("  empty Qt Widgets program  %8.2f ms (%.2f-%.2f)\n", e, *emin, *emax);
  std::printf("  publication %-13s %8.2f ms (%.2f-%.2f)\n", package.substr(package.find_last_of('/') + 1).c_str(), p,
              *pmin, *pmax);
  std::printf("  ratio %.2f (target at most 1.3)\n", p / e);
  return 0;
}
