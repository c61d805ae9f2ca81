// The timer object on the virtual clock.
#include "ObjectsTestSupport.h"
#include "objects/ObjTimer.h"

using namespace vl;
using namespace vltest;

namespace {

class TimerObject : public ObjectsTest {
 protected:
  TVellionTimer* Timer() { return As<TVellionTimer>("T"); }
};

TEST_F(TimerObject, NegativeIntervalTicksByItsAbsoluteValueFromPageShown) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=15\nName=T\nInterval=-500\nW=300\n"
                   "ObjAction=SetVar \"[n]\" \"![n]x\"\n"));
  ASSERT_NE(Timer(), nullptr);
  EXPECT_EQ(Timer()->size(), QSize(32, 32));
  EXPECT_FALSE(Timer()->isVisibleTo(Timer()->parentWidget()));
  RunFor(1499);
  EXPECT_EQ(Var("n"), "xx");
  RunFor(2);
  EXPECT_EQ(Var("n"), "xxx");
}

TEST_F(TimerObject, RunOnceZeroIntervalAndPageLeave) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=15\nName=T\nInterval=100\nRunOnce=Yes\nVarName=Elapsed\n"
                   "ObjAction=SetVar \"[n]\" \"![n]x\"\n"
                   "ObjectType=15\nName=Z\nInterval=0\nObjAction=SetVar \"[z]\" \"ticked\"\n"
                   "ObjectType=15\nName=S\nInterval=100\nObjAction=SetVar \"[s]\" \"![s]x\"\n"
                   "NEWPAGE=Two\n"));
  RunFor(1000);
  EXPECT_EQ(Var("n"), "x");
  EXPECT_EQ(Var("Elapsed"), "100");
  EXPECT_FALSE(Timer()->Running());
  EXPECT_EQ(Var("z"), "");
  EXPECT_EQ(Var("s"), "xxxxxxxxxx");
  // AutoStop: leaving the page ends it.
  nav.ChangePage(2, false);
  RunFor(1000);
  EXPECT_EQ(Var("s"), "xxxxxxxxxx");
}

TEST_F(TimerObject, TheNextTickComesOneIntervalAfterALongAction) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=15\nName=T\nInterval=100\n"
                   "ObjAction=SetVar \"[n]\" \"![n]x\"\xB6" "Delay \"250\"\n"));
  RunFor(99);
  EXPECT_EQ(Var("n"), "");
  RunFor(1);  // t=100: tick, its action runs to t=350
  EXPECT_EQ(Var("n"), "x");
  EXPECT_EQ(TheClock().NowMs() >= 350, true);
  const int64_t after = TheClock().NowMs();
  RunFor(99 - (after - 350));
  EXPECT_EQ(Var("n"), "x");
  RunFor(2);
  EXPECT_EQ(Var("n"), "xx");
}

TEST_F(TimerObject, ModalStatePausesAndResumes) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=15\nName=T\nInterval=100\nObjAction=SetVar \"[n]\" \"![n]x\"\n"));
  TheObjects().ModalState(false);
  RunFor(1000);
  EXPECT_EQ(Var("n"), "");
  TheObjects().ModalState(true);
  RunFor(100);
  EXPECT_EQ(Var("n"), "x");
}

}  // namespace
