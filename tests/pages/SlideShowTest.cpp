// The slide show on the virtual clock.
#include "PagesTestSupport.h"
#include "runtime/Messages.h"

using namespace vl;
using namespace vltest;

namespace {

class SlideShow : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    SubroutineText() = ":Done\r\nSetVar \"[done]\" \"![done]x\"\r\nReturn";
    Start({{"One"}, {"Two"}, {"Three"}}, 2);
    nav.Events().pageShown = [this](int page, bool) {
      shown.push_back(std::to_string(TheClock().NowMs() - t0) + ":" + std::to_string(page));
    };
    t0 = TheClock().NowMs();
  }
  void RunFor(int64_t ms) {
    TheClock().RunUntil([] { return false; }, TheClock().NowMs() + ms);
  }
  std::vector<std::string> shown;
  int64_t t0 = 0;
};

TEST_F(SlideShow, LoopingOverAllReturnsToTheFirstPage) {
  Click("StartSlideShow \"All\" \"1000\" \"loop\" \"Done\"");
  RunFor(3500);
  EXPECT_EQ(shown, (std::vector<std::string>{"0:1", "1000:2", "2000:3", "3000:1"}));
  EXPECT_TRUE(nav.SlideShowRunning());
  // Stopping a running show runs its subroutine.
  Click("StopSlideShow");
  EXPECT_FALSE(nav.SlideShowExists());
  EXPECT_EQ(Var("done"), "x");
}

TEST_F(SlideShow, EndsWithItsSubroutineOneDelayAfterTheLastPage) {
  Click("StartSlideShow \"Three|one\" \"500\" \"\" \"Done\"");
  RunFor(999);
  EXPECT_EQ(Var("done"), "");
  RunFor(2);
  EXPECT_EQ(shown, (std::vector<std::string>{"0:3", "500:1"}));
  EXPECT_EQ(Var("done"), "x");
  EXPECT_FALSE(nav.SlideShowExists());
}

TEST_F(SlideShow, PauseHoldsAndResumeMovesOnAtOnce) {
  Click("StartSlideShow \"All\" \"1000\" \"\" \"\"");
  RunFor(500);
  Click("PauseSlideShow");
  RunFor(5000);
  EXPECT_EQ(nav.PageIndex(), 1);
  Click("PauseSlideShow");
  EXPECT_EQ(nav.PageIndex(), 2);
  RunFor(1001);
  EXPECT_EQ(shown, (std::vector<std::string>{"0:1", "5500:2", "6500:3"}));
}

TEST_F(SlideShow, MissingPages) {
  // The first page missing: not started, subroutine not run.
  Click("StartSlideShow \"Nope|One\" \"1000\" \"\" \"Done\"");
  EXPECT_FALSE(nav.SlideShowExists());
  EXPECT_EQ(Var("LastError"), "\"Nope\"\r" + Msg(246));
  EXPECT_EQ(Var("done"), "");
  // A later page missing halts the show where it is, without ending it.
  Click("StartSlideShow \"One|Nope|Three\" \"1000\" \"\" \"Done\"");
  RunFor(5000);
  EXPECT_EQ(nav.PageIndex(), 1);
  EXPECT_TRUE(nav.SlideShowExists());
  EXPECT_EQ(Var("done"), "");
}

TEST_F(SlideShow, DelayDefaultsAndFloor) {
  struct Case {
    const char* delay;
    int64_t second;  // when the second page shows
  } cases[] = {{"abc", 2000}, {"", 2000}, {"50", 100}, {"250", 250}};
  for (const auto& c : cases) {
    shown.clear();
    nav.ProcessPageChange(3);
    shown.clear();
    t0 = TheClock().NowMs();
    Click(std::string("StartSlideShow \"One|Two\" \"") + c.delay + "\" \"\" \"\"");
    RunFor(2500);
    ASSERT_EQ(shown.size(), 2u) << c.delay;
    EXPECT_EQ(shown[1], std::to_string(c.second) + ":2") << c.delay;
  }
}

}  // namespace
