#include "platform/DisplayMode.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <string>

using namespace vl;

namespace {

const std::vector<DisplayMode> kModes = {
    {1920, 1080, 32, 60}, {1920, 1080, 32, 75}, {1280, 1024, 32, 60}, {1280, 1024, 16, 75},
    {1024, 768, 16, 60},  {1024, 768, 8, 70},   {800, 600, 8, 60},
};

struct SearchCase {
  const char* name;
  DisplayMode asked;
  int currentRefresh;
  int expected;  // index into kModes, -1 for none
};

}  // namespace

TEST(DisplayModeSearch, FindsTheModeAsThePublicationAsks) {
  const SearchCase cases[] = {
      {"exact size and depth at the current rate", {1920, 1080, 32, 0}, 75, 1},
      {"the current rate comes first", {1920, 1080, 32, 0}, 60, 0},
      {"an asked rate is kept", {1920, 1080, 32, 75}, 60, 1},
      {"an asked rate that is missing finds nothing", {1920, 1080, 32, 85}, 60, -1},
      {"a current rate the size lacks falls back to any rate", {1024, 768, 16, 0}, 85, 4},
      {"unknown current rate: any rate", {1280, 1024, 16, 0}, 0, 3},
      {"a rate of 1 is the default, so any rate", {1280, 1024, 16, 1}, 1, 3},
      {"depth lowered by 8 until found", {1024, 768, 24, 0}, 60, 4},
      {"lowered depth, current rate wanted first", {1024, 768, 24, 0}, 70, 5},
      {"32 down to 8", {800, 600, 32, 0}, 60, 6},
      {"a depth lower than any mode's", {1920, 1080, 16, 0}, 60, -1},
      {"no depth finds nothing", {1920, 1080, 0, 0}, 60, -1},
      {"an unknown size", {640, 480, 32, 0}, 60, -1},
      {"width and height are not swapped", {1080, 1920, 32, 0}, 60, -1},
  };
  for (const SearchCase& c : cases) {
    DisplayMode current{1920, 1080, 32, c.currentRefresh};
    EXPECT_EQ(FindDisplayMode(kModes, MakeDisplayModeRequest(c.asked, current)), c.expected) << c.name;
  }
  EXPECT_EQ(FindDisplayMode({}, MakeDisplayModeRequest({800, 600, 8, 0}, {})), -1);
}

TEST(DisplayModeSearch, TheCurrentRateIsTakenOverOnlyWhenNoneIsAsked) {
  DisplayModeRequest r = MakeDisplayModeRequest({800, 600, 16, 0}, {1024, 768, 32, 72});
  EXPECT_EQ(r.mode.refresh, 72);
  EXPECT_TRUE(r.refreshTakenOver);
  r = MakeDisplayModeRequest({800, 600, 16, 85}, {1024, 768, 32, 72});
  EXPECT_EQ(r.mode.refresh, 85);
  EXPECT_FALSE(r.refreshTakenOver);
  r = MakeDisplayModeRequest({800, 600, 16, 0}, {1024, 768, 32, 0});
  EXPECT_EQ(r.mode.refresh, 0);
  EXPECT_FALSE(r.refreshTakenOver);
}

namespace {

// A screen that shows one of its modes, and logs what is asked of it.
struct FakeScreen {
  std::vector<DisplayMode> modes = kModes;
  int shown = 2;  // 1280x1024 at 60 Hz
  bool refuseTest = false;
  bool refuseApply = false;
  bool unreadable = false;
  std::string log;
};

class FakeBackend : public DisplayBackend {
 public:
  explicit FakeBackend(FakeScreen& s) : s_(s) {}
  bool Current(DisplayMode& mode) override {
    if (s_.unreadable) return false;
    mode = s_.modes[s_.shown];
    return true;
  }
  std::vector<DisplayMode> Modes() override { return s_.modes; }
  bool Test(int index) override {
    s_.log += "test " + std::to_string(index) + ";";
    return !s_.refuseTest;
  }
  bool Apply(int index) override {
    s_.log += "apply " + std::to_string(index) + ";";
    if (s_.refuseApply) return false;
    s_.shown = index;
    return true;
  }

 private:
  FakeScreen& s_;
};

}  // namespace

TEST(DisplaySwitch, SwitchesAfterTheCoverAndRestoresTheFirstRecordedMode) {
  FakeScreen screen;
  TDisplaySwitch sw(std::make_unique<FakeBackend>(screen));
  auto cover = [&] { screen.log += "cover;"; };
  EXPECT_EQ(sw.Change(1024, 768, 24, cover), DisplayChange::Changed);
  EXPECT_EQ(screen.log, "test 4;cover;apply 4;");
  EXPECT_EQ(screen.shown, 4);
  // A chained load asks again: the mode recorded first stays the one to go
  // back to.
  EXPECT_EQ(sw.Change(800, 600, 8, cover), DisplayChange::Changed);
  EXPECT_EQ(screen.shown, 6);
  EXPECT_EQ(sw.RecordedMode().width, 1280);
  screen.log.clear();
  EXPECT_EQ(sw.Restore(), DisplayChange::Changed);
  EXPECT_EQ(screen.log, "test 2;apply 2;");  // no cover on the way back
  EXPECT_EQ(screen.shown, 2);
}

TEST(DisplaySwitch, ARefusalChangesNothing) {
  FakeScreen screen;
  auto cover = [&] { screen.log += "cover;"; };
  {
    TDisplaySwitch sw(std::make_unique<FakeBackend>(screen));
    EXPECT_EQ(sw.Change(640, 480, 32, cover), DisplayChange::NotPossible);  // no such mode
    EXPECT_EQ(screen.log, "");
    screen.refuseTest = true;
    EXPECT_EQ(sw.Change(800, 600, 8, cover), DisplayChange::NotPossible);
    EXPECT_EQ(screen.log, "test 6;");  // refused in the test call: no cover
    screen.refuseTest = false;
    screen.refuseApply = true;
    screen.log.clear();
    EXPECT_EQ(sw.Change(800, 600, 8, cover), DisplayChange::NotChanged);
    EXPECT_EQ(screen.log, "test 6;cover;apply 6;");
    EXPECT_EQ(screen.shown, 2);
  }
  screen.unreadable = true;
  TDisplaySwitch unreadable(std::make_unique<FakeBackend>(screen));
  EXPECT_EQ(unreadable.Change(800, 600, 8, cover), DisplayChange::NotPossible);
  EXPECT_EQ(unreadable.Restore(), DisplayChange::NotPossible);  // nothing recorded
  TDisplaySwitch none(nullptr);
  EXPECT_EQ(none.Change(800, 600, 8, cover), DisplayChange::NotPossible);
}

TEST(DisplaySwitch, RestoreFindsTheRecordedSizeAtAnotherRateWhenItsOwnIsGone) {
  FakeScreen screen;
  screen.shown = 1;  // 1920x1080 at 75 Hz
  TDisplaySwitch sw(std::make_unique<FakeBackend>(screen));
  ASSERT_EQ(sw.Change(800, 600, 8), DisplayChange::Changed);
  screen.modes[1].refresh = 72;  // the monitor no longer offers 75 Hz
  EXPECT_EQ(sw.Restore(), DisplayChange::Changed);
  EXPECT_EQ(screen.shown, 0);
}

TEST(DisplaySwitch, ThePlayerLeavesANonX11ScreenAlone) {
  // The tests run offscreen: no switch, no black window, and a restore
  // without a switch does nothing.
  if (QGuiApplication::platformName() == QLatin1String("xcb")) GTEST_SKIP() << "a real X server";
  const auto before = QApplication::topLevelWidgets().size();
  EXPECT_EQ(ChangeDisplayMode(800, 600, 32, true), DisplayChange::NotPossible);
  EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
  RestoreDisplayMode();
  FreeDisplayCover();
}
