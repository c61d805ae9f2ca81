// Groups and containers: docking inside the outline and margins, the size
// action only for a size that really changed, the enabled state passed on.
#include "ObjectsTestSupport.h"

using namespace vl;
using namespace vltest;

namespace {

class Holders : public ObjectsTest {};

TEST_F(Holders, ContainerDocksInsideItsOutlineAndPositiveMargins) {
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=21\nName=C\nX=10\nY=10\nW=100\nH=80\nLineWidth=3\nHMargin=5\nVMargin=7\n"
                   "CONTAINERBEGIN\n"
                   "ObjectType=5\nName=Top\nH=10\nAnchor=1\n"
                   "ObjectType=5\nName=Fill\nAnchor=5\n"
                   "CONTAINEREND\n"
                   "ObjectType=21\nName=N\nX=200\nY=10\nW=50\nH=50\nLineWidth=0\nHMargin=-5\nVMargin=-9\n"
                   "CONTAINERBEGIN\nObjectType=5\nName=All\nAnchor=5\nCONTAINEREND\n"));
  Obj("C")->resize(100, 80);  // the children dock when the holder is laid out
  EXPECT_EQ(Obj("Top")->geometry(), QRect(8, 10, 84, 10));
  EXPECT_EQ(Obj("Fill")->geometry(), QRect(8, 20, 84, 50));
  Obj("C")->resize(120, 100);
  EXPECT_EQ(Obj("Fill")->geometry(), QRect(8, 20, 104, 70));
  Obj("N")->resize(60, 60);
  EXPECT_EQ(Obj("All")->geometry(), QRect(0, 0, 60, 60));  // negative margins count as 0
}

TEST_F(Holders, SizeActionOnlyWhenTheSizeDiffersFromTheOneLastReported) {
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=21\nName=C\nX=10\nY=10\nW=100\nH=80\n"
                   "ObjAction=SetVar \"[n]\" \"![n]x\"\n"));
  TVellionObj* c = Obj("C");
  c->resize(120, 80);
  Drain();
  EXPECT_EQ(Var("n"), "x");
  // Disabled: no action, and the size is not remembered.
  c->SetEnabledState(false);
  c->resize(150, 80);
  Drain();
  EXPECT_EQ(Var("n"), "x");
  c->SetEnabledState(true);
  c->resize(120, 80);  // what was last reported
  Drain();
  EXPECT_EQ(Var("n"), "x");
  c->resize(100, 80);
  Drain();
  EXPECT_EQ(Var("n"), "xx");
}

TEST_F(Holders, EnablingAGroupEnablesAllItHoldsEvenWhatWasDisabledOnItsOwn) {
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=20\nName=G\nW=200\nH=200\nGROUPBEGIN\n"
                   "ObjectType=5\nName=A\nObjectType=5\nName=B\nEnabled=No\n"
                   "ObjectType=21\nName=C\nCONTAINERBEGIN\nObjectType=5\nName=Deep\nEnabled=No\nCONTAINEREND\n"
                   "GROUPEND\n"));
  EXPECT_FALSE(Obj("B")->EnabledState);
  Obj("G")->SetEnabledState(false);
  for (const char* n : {"A", "B", "C", "Deep"}) EXPECT_FALSE(Obj(n)->EnabledState) << n;
  Obj("G")->SetEnabledState(true);
  for (const char* n : {"A", "B", "C", "Deep"}) {
    EXPECT_TRUE(Obj(n)->EnabledState) << n;
    EXPECT_TRUE(Obj(n)->isEnabled()) << n;
  }
}

}  // namespace
