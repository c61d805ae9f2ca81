// Path movements: reading the path and options, the walk of a looping
// mover step by step on the virtual clock, waiting, stopping and ignoring a
// second movement.
#include <QEvent>
#include <QMoveEvent>

#include "ObjectsTestSupport.h"
#include "actions/Vars.h"
#include "objects/PathMover.h"

using namespace vl;
using namespace vltest;

namespace {

TEST(MoverPath, FieldsAlternateXAndY) {
  struct Case {
    const char* text;
    std::vector<QPoint> path;
  } cases[] = {
      {"10,10,100,10", {{10, 10}, {100, 10}}},
      {"5,5,7", {{5, 5}}},                   // a trailing x without y
      {"10,10,", {{10, 10}}},                // a stray separator
      {"1+2*3,abc", {{7, 0}}},               // an expression; a field that is neither
      {"1.5,2, 3 ,-4", {{0, 2}, {3, -4}}},   // a fraction counts 0
      {"3/2,4", {{0, 4}}},                   // so does a fractional result
      {"", {}},
      {",,,", {{0, 0}, {0, 0}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseMoverPath(c.text), c.path) << c.text;
}

TEST(MoverPath, SpeedAndOptions) {
  struct Case {
    const char* speed;
    const char* options;
    int64_t delay;
    TMoverMode mode;
    bool restore, leftTop;
  } cases[] = {
      {"", "", 15, kMoveOnce, false, false},       {"abc", "wait", 15, kMoveWait, false, false},
      {"7.9", "LOOP+wait", 7, kMoveLoop, false, false}, {"-5", "Restore,lefttop", 0, kMoveOnce, true, true},
      {"1e12", "Loop+Restore", 3600000, kMoveLoop, true, false},
  };
  for (const Case& c : cases) {
    const auto o = ParseMoverOptions(c.speed, c.options);
    EXPECT_EQ(o.delayMs, c.delay) << c.speed;
    EXPECT_EQ(o.mode, c.mode) << c.options;
    EXPECT_EQ(o.restore, c.restore) << c.options;
    EXPECT_EQ(o.leftTop, c.leftTop) << c.options;
  }
}

class PathMoves : public ObjectsTest {
 protected:
  void TearDown() override {
    StopAllMovers();
    ObjectsTest::TearDown();
  }
  // Every place the object is moved to.
  struct Recorder : QObject {
    std::vector<QPoint> moves;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Move) moves.push_back(static_cast<QMoveEvent*>(e)->pos());
      return false;
    }
  };
};

TEST_F(PathMoves, LoopWalksBackAndForthTwoPixelsAStep) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=5\nName=Box\nX=0\nY=0\nW=10\nH=10\n"));
  Recorder rec;
  Obj("Box")->installEventFilter(&rec);
  Click("MoveObjectAlongPath \"Box\" \"0,0,4,0,8,0\" \"10\" \"Loop LeftTop\"");
  // The command returns at once; a second movement of the box is ignored.
  Click("MoveObjectAlongPath \"box\" \"500,500\" \"0\" \"LeftTop\"");
  EXPECT_TRUE(rec.moves.empty());
  RunFor(95);
  const std::vector<QPoint> walk = {{2, 0}, {4, 0}, {6, 0}, {8, 0}, {6, 0}, {4, 0}, {2, 0}, {0, 0}, {2, 0}, {4, 0}};
  EXPECT_EQ(rec.moves, walk);
  ASSERT_NE(IsMoving("BOX"), nullptr);
  Click("StopMovingObject \"Box\"");
  EXPECT_EQ(IsMoving("Box"), nullptr);
  RunFor(100);
  EXPECT_EQ(rec.moves.size(), walk.size());  // stopped where it was (no Restore)
  EXPECT_EQ(Obj("Box")->pos(), QPoint(4, 0));
}

TEST_F(PathMoves, WaitHoldsTheActionAndRestoreGoesBack) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=5\nName=Box\nX=10\nY=10\nW=10\nH=20\n"
                   "ObjectType=5\nName=Other\nX=0\nY=0\nW=4\nH=4\n"));
  // The centre (15, 20) goes to (55, 20): 20 steps of 2 pixels, 5 ms each.
  const int64_t t0 = TheClock().NowMs();
  Click("MoveObjectAlongPath \"Box\" \"55,20\" \"5\" \"Wait\"\nSetVar \"[At]\" \"done\"");
  EXPECT_EQ(Var("At"), "done");
  EXPECT_GE(TheClock().NowMs() - t0, 95);
  EXPECT_EQ(Obj("Box")->pos(), QPoint(50, 10));
  EXPECT_EQ(RunningMovers(), 0);
  // Once a movement has ended a new one can start; Restore brings the
  // object back when it is stopped, and StopMovingObject without a name
  // stops every movement.
  Click("MoveObjectAlongPath \"Box\" \"55,200\" \"5\" \"Restore\"\n"
        "MoveObjectAlongPath \"Other\" \"300,300\" \"5\" \"\"");
  RunFor(50);
  EXPECT_NE(Obj("Box")->pos(), QPoint(50, 10));
  Click("StopMovingObject \"\"");
  EXPECT_EQ(RunningMovers(), 0);
  EXPECT_EQ(Obj("Box")->pos(), QPoint(50, 10));
  EXPECT_NE(Obj("Other")->pos(), QPoint(0, 0));
}

TEST_F(PathMoves, UnknownObjectsAndObjectsNotMoving) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=5\nName=Box\nX=10\nY=10\nW=10\nH=20\n"
                   "ObjectType=15\nName=T\nInterval=0\n"));
  Click("MoveObjectAlongPath \"Nobody\" \"1,1\" \"0\" \"\"");
  EXPECT_EQ(Var("LastError"), "\"Nobody\"||Oggetto inesistente.");
  SetLastError("");
  Click("StopMovingObject \"Box\"");
  EXPECT_EQ(Var("LastError"), "");
  // A path with no point ends at once; a timer is never moved.
  Click("MoveObjectAlongPath \"Box\" \"7\" \"0\" \"Wait\"\nMoveObjectAlongPath \"T\" \"100,100\" \"0\" \"Wait\"");
  EXPECT_EQ(Obj("Box")->pos(), QPoint(10, 10));
  EXPECT_EQ(Obj("T")->pos(), QPoint(0, 0));
  EXPECT_EQ(RunningMovers(), 0);
}

}  // namespace
