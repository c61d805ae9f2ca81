// ShowObject and HideObject: objects off screen only change their state,
// timers never change, effects run over the object's rectangle and are
// traced, unknown effects show the change at once.
#include "ObjectsTestSupport.h"
#include "actions/Vars.h"
#include "runtime/Trace.h"
#include "support/TestSupport.h"

using namespace vl;
using namespace vltest;

namespace {

class ShowHide : public ObjectsTest {};

TEST_F(ShowHide, EffectsOnScreenAndStatesOffScreen) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=5\nName=Box\nX=10\nY=10\nW=40\nH=30\nFillColor=255\n"
                   "ObjectType=15\nName=T\nInterval=0\n"
                   "NEWPAGE=Two\nObjectType=5\nName=Far\nX=10\nY=10\nW=40\nH=30\n"));
  TempDir dir;
  ASSERT_TRUE(trace::Open((dir / "trace.txt").string()));
  const int64_t t0 = TheClock().NowMs();
  Click("HideObject \"Box\" \"Wipe Down\" \"abc\"");  // speed 5: 30/9 -> 4 steps of 7 ms
  EXPECT_FALSE(Obj("Box")->VisibleState);
  EXPECT_FALSE(Obj("Box")->isVisible());
  EXPECT_GE(TheClock().NowMs() - t0, 21);
  Click("ShowObject \"Box\" \"Sparkle\" \"3\"\nShowObject \"Far\" \"Fade\" \"3\"\nHideObject \"Far\" \"0\" \"0\"");
  EXPECT_TRUE(Obj("Box")->isVisible());
  EXPECT_FALSE(Obj("Far")->VisibleState);
  Click("ShowObject \"T\" \"\" \"\"\nShowObject \"Nobody\" \"Fade\" \"1\"");
  EXPECT_FALSE(Obj("T")->VisibleState);
  EXPECT_EQ(Var("LastError"), "\"Nobody\"||Oggetto inesistente.");
  // No cover is left over the page.
  EXPECT_EQ(view->findChild<QWidget*>("transition"), nullptr);
  trace::Close();
  EXPECT_EQ(ReadFileBytes(dir / "trace.txt"), "transition\t15\tBox\nerror\t\"Nobody\"||Oggetto inesistente.\n");
  // The object on the other page shows when its page does.
  Click("ShowObject \"Far\" \"Dissolve\" \"0\"");
  nav.ChangePage(2, false);
  EXPECT_TRUE(Obj("Far")->isVisible());
}

}  // namespace
