// The animator on the virtual clock: frame delays, loop counts and the done
// action, GIFPlay and GIFStop with and without rewind, auto-start, the page
// and visibility, and bad files.
#include "ObjectsTestSupport.h"
#include "objects/ObjAnimator.h"

using namespace vl;
using namespace vltest;

namespace {

constexpr QRgb kRed = 0xFFFF0000, kLime = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

std::string Fixture(const std::string& name) {
  return std::string(VL_SOURCE_DIR) + "/tests/objects/fixtures/" + name;
}

class AnimatorObject : public ObjectsTest {
 protected:
  // anim.gif: 10 by 8, red 100 ms, lime 200 ms, blue 300 ms.
  bool LoadAnimator(const std::string& extra, const std::string& file = "anim.gif") {
    return Load("NEWPAGE=One\nPAGECOLOR=0\nObjectType=19\nName=A\nX=10\nY=10\nW=50\nH=50\nLineWidth=0\n"
                "FillColor=16777215\nFileName=" + Fixture(file) + "\n"
                "ObjDoneAction=SetVar \"[done]\" \"![done]x\"\n" + extra + "NEWPAGE=Two\n");
  }
  TVellionAnimator* A() { return As<TVellionAnimator>("A"); }
  QRgb Shown() { return view->RenderPage(nav.PageIndex()).pixel(12, 12) | 0xFF000000u; }
};

TEST_F(AnimatorObject, FramesFollowTheirDelaysForEver) {
  ASSERT_TRUE(LoadAnimator(""));
  EXPECT_EQ(A()->size(), QSize(10, 8));  // AutoSize: the picture's size
  EXPECT_TRUE(A()->Playing());
  EXPECT_EQ(Shown(), kRed);
  const int expect[][2] = {{99, 0}, {1, 1}, {199, 1}, {1, 2}, {299, 2}, {1, 0}, {100, 1}};
  for (auto [ms, frame] : expect) {
    RunFor(ms);
    EXPECT_EQ(A()->CurrentFrame(), frame) << "after " << ms;
  }
  EXPECT_EQ(Shown(), kLime);
  Drain();
  EXPECT_EQ(Var("done"), "");
}

TEST_F(AnimatorObject, LoopCountEndsOnTheLastFrameWithoutRewindAndRunsDoneOnce) {
  ASSERT_TRUE(LoadAnimator("LoopTimes=3\nAutoRewind=No\n"));
  RunFor(1799);
  Drain();
  EXPECT_TRUE(A()->Playing());
  EXPECT_EQ(Var("done"), "");
  RunFor(1);
  Drain();
  EXPECT_FALSE(A()->Playing());
  EXPECT_EQ(A()->CurrentFrame(), 2);
  EXPECT_EQ(Shown(), kBlue);
  RunFor(5000);
  Drain();
  EXPECT_EQ(Var("done"), "x");
  // With rewind it goes back to the first frame.
  TheObjects().Clear();
  view.reset();
  pub = TPublication();
  SetVariable("[done]", "");
  ASSERT_TRUE(LoadAnimator("LoopTimes=1\n"));
  RunFor(600);
  Drain();
  EXPECT_EQ(Var("done"), "x");
  EXPECT_EQ(A()->CurrentFrame(), 0);
  EXPECT_EQ(Shown(), kRed);
}

TEST_F(AnimatorObject, StopFreezesWithoutRewindAndPlayGoesOnFromThere) {
  ASSERT_TRUE(LoadAnimator("AutoRewind=No\n"));
  RunFor(150);
  Click("GIFStop \"A\"");
  EXPECT_FALSE(A()->Playing());
  RunFor(1000);
  EXPECT_EQ(A()->CurrentFrame(), 1);
  EXPECT_EQ(Shown(), kLime);
  Click("GIFPlay \"A\" \"-1\"");  // one pass, from the frozen frame
  EXPECT_EQ(A()->LoopCount, 1);
  EXPECT_EQ(A()->CurrentFrame(), 1);
  RunFor(200);
  EXPECT_EQ(A()->CurrentFrame(), 2);
  RunFor(300);
  Drain();
  EXPECT_FALSE(A()->Playing());
  EXPECT_EQ(Var("done"), "x");
  // With rewind, GIFStop goes back to the first frame.
  A()->AutoRewind = true;
  Click("GIFPlay \"A\" \"0\"");
  RunFor(350);
  EXPECT_EQ(A()->CurrentFrame(), 2);
  Click("GIFStop \"A\"");
  EXPECT_EQ(A()->CurrentFrame(), 0);
  EXPECT_EQ(Shown(), kRed);
  RunFor(1000);
  EXPECT_EQ(A()->CurrentFrame(), 0);
  EXPECT_EQ(Var("LastError"), "");
}

TEST_F(AnimatorObject, WithoutAutoStartItWaitsForGIFPlay) {
  ASSERT_TRUE(LoadAnimator("AutoStart=No\n"));
  EXPECT_FALSE(A()->Playing());
  RunFor(1000);
  EXPECT_EQ(A()->CurrentFrame(), 0);
  Click("GIFPlay \"A\" \"0\"");
  RunFor(100);
  EXPECT_EQ(A()->CurrentFrame(), 1);
}

TEST_F(AnimatorObject, LeavingThePageOrHidingStopsAndClears) {
  ASSERT_TRUE(LoadAnimator(""));
  A()->SetVisibleState(false);
  EXPECT_FALSE(A()->HasPicture());
  A()->SetVisibleState(true);
  EXPECT_TRUE(A()->HasPicture());
  nav.ChangePage(2, false);
  EXPECT_FALSE(A()->HasPicture());
  EXPECT_FALSE(A()->Animating());
  Click("GIFPlay \"A\" \"0\"");  // not showing: nothing
  EXPECT_FALSE(A()->Animating());
  nav.ChangePage(1, false);
  EXPECT_TRUE(A()->Animating());
}

TEST_F(AnimatorObject, BadFilesLeaveItEmptyAndZeroDelaysStepAtATenth) {
  for (const char* file : {"missing.gif", "damaged.gif", "quad.png"}) {
    SCOPED_TRACE(file);
    TheObjects().Clear();
    view.reset();
    pub = TPublication();
    ASSERT_TRUE(LoadAnimator("", file));
    EXPECT_FALSE(A()->HasPicture());
    EXPECT_EQ(A()->size(), QSize(50, 50));
    Click("GIFPlay \"A\" \"0\"");
    EXPECT_FALSE(A()->Playing());
    EXPECT_EQ(Shown(), kWhite);
  }
  TheObjects().Clear();
  view.reset();
  pub = TPublication();
  ASSERT_TRUE(LoadAnimator("", "zerodelay.gif"));
  RunFor(99);
  EXPECT_EQ(A()->CurrentFrame(), 0);
  RunFor(1);
  EXPECT_EQ(A()->CurrentFrame(), 1);
}

TEST_F(AnimatorObject, FileNameWithAVariableReloadsWhenThatVariableChanges) {
  SetVariable("[gif]", "zerodelay.gif");
  ASSERT_TRUE(LoadAnimator("", "[gif]"));
  EXPECT_EQ(A()->FrameCount(), 2);
  EXPECT_EQ(A()->size(), QSize(4, 4));
  SetVariable("[other]", "x");
  TheObjects().VarChanged("[OTHER]", "x");
  EXPECT_EQ(A()->FrameCount(), 2);
  SetVariable("[gif]", "anim.gif");
  TheObjects().VarChanged("[GIF]", "anim.gif");
  EXPECT_EQ(A()->FrameCount(), 3);
  EXPECT_EQ(A()->size(), QSize(10, 8));
  EXPECT_TRUE(A()->Playing());
  // An empty name stops and clears.
  EXPECT_TRUE(A()->SetFileName(""));
  EXPECT_FALSE(A()->HasPicture());
  EXPECT_FALSE(A()->Playing());
}

TEST_F(AnimatorObject, ThousandsOfFramesPlayOnePerStep) {
  ASSERT_TRUE(LoadAnimator("", "many.gif"));
  EXPECT_EQ(A()->FrameCount(), 3000);
  RunFor(1000);
  EXPECT_EQ(A()->CurrentFrame(), 10);
}

}  // namespace
