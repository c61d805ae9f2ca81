#include "runtime/Clock.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <vector>

using namespace vl;

namespace {
QCoreApplication& App() {
  static int argc = 1;
  static char arg0[] = "test";
  static char* argv[] = {arg0, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}
}  // namespace

TEST(Clock, VirtualTimeJumpsToTimersInOrder) {
  App();
  InstallClock(MakeVirtualClock(1000000));
  Clock& c = TheClock();
  std::vector<int> fired;
  c.StartTimer(500, [&] { fired.push_back(500); });
  c.StartTimer(100, [&] { fired.push_back(100); });
  auto cancelled = c.StartTimer(300, [&] { fired.push_back(300); });
  c.CancelTimer(cancelled);
  c.Sleep(1000);
  EXPECT_EQ(fired, (std::vector<int>{100, 500}));
  EXPECT_EQ(c.NowMs(), 1000);
  EXPECT_EQ(c.WallMs(), 1001000);
  InstallClock(nullptr);
}

TEST(Clock, TVelTimerIsOneShotAndRestartable) {
  App();
  InstallClock(MakeVirtualClock(0));
  int hits = 0;
  TVelTimer t([&] { ++hits; });
  t.SetInterval(50);
  t.SetInterval(200);  // restarts: only one expiry, at 200
  TheClock().Sleep(1000);
  EXPECT_EQ(hits, 1);
  EXPECT_FALSE(t.Running());
  t.SetInterval(0);
  TheClock().Sleep(1000);
  EXPECT_EQ(hits, 1);
  InstallClock(nullptr);
}

TEST(Clock, RealClockWaits) {
  App();
  InstallClock(MakeRealClock());
  bool fired = false;
  TheClock().StartTimer(5, [&] { fired = true; });
  EXPECT_TRUE(TheClock().RunUntil([&] { return fired; }, TheClock().NowMs() + 5000));
  InstallClock(nullptr);
}
