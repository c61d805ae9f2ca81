// Creating objects from their records, finding them, and the notices they
// get.
#include <QEnterEvent>

#include "ObjectsTestSupport.h"
#include "objects/ObjTimer.h"

using namespace vl;
using namespace vltest;

namespace {

class ObjectModel : public ObjectsTest {};

TEST_F(ObjectModel, RecordsSetTheCommonProperties) {
  ASSERT_TRUE(Load(
      "NEWPAGE=One\n"
      "ObjectType=5\nName=Box\nX=10\nY=20\nW=30\nH=40\nLineStyle=3\nLineStyle=9\nFontStyle=19\n"
      "FillPattern=2\nFillMode=Yes\nHint=a\xB6" "b\nObjAction=SetVar \"[x]\" \"1\"\xB6SetVar \"[y]\" \"2\"\n"
      "Visible=No\nEnabled=No\nW=99999999\n"));
  TVellionObj* box = Obj("box");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->ObjType(), 5);
  EXPECT_EQ(box->pos(), QPoint(10, 20));
  EXPECT_EQ(box->height(), 40);
  EXPECT_EQ(box->width(), kMaxObjectExtent);  // clamped
  EXPECT_EQ(box->LineStyle, vlpsDashDot);     // 9 is out of range and ignored
  EXPECT_EQ(box->FontStyle, 3);               // only the low four bits
  EXPECT_TRUE(box->IsTransparent());          // a pattern drawn transparently
  EXPECT_EQ(box->Hint, "a\r\nb");
  EXPECT_EQ(box->ClickAction, "SetVar \"[x]\" \"1\"\r\nSetVar \"[y]\" \"2\"");
  EXPECT_FALSE(box->isVisibleTo(box->parentWidget()));
  EXPECT_FALSE(box->isEnabled());
}

TEST_F(ObjectModel, GroupsAndContainersNestWithRelativeCoordinates) {
  ASSERT_TRUE(Load(
      "NEWPAGE=One\n"
      "ObjectType=20\nName=G\nX=100\nY=100\nW=200\nH=200\nGROUPBEGIN\n"
      "ObjectType=21\nName=C\nX=10\nY=10\nW=100\nH=100\nCONTAINERBEGIN\n"
      "ObjectType=5\nName=Inner\nX=5\nY=6\nW=10\nH=10\nObjectType=5\nName=Off\nEnabled=No\n"
      "CONTAINEREND\nGROUPEND\n"
      "ObjectType=5\nName=After\nX=1\nY=2\n"));
  TVellionObj* inner = Obj("Inner");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->parentWidget(), Obj("C"));
  EXPECT_EQ(Obj("C")->parentWidget(), Obj("G"));
  EXPECT_EQ(inner->pos(), QPoint(5, 6));
  EXPECT_EQ(inner->mapTo(view.get(), QPoint(0, 0)), QPoint(115, 116));
  EXPECT_EQ(TheObjects().Roots(1).size(), 2u);
  EXPECT_FALSE(Obj("Off")->EnabledState);  // the holders' records did not re-enable it
  EXPECT_TRUE(inner->EnabledState);
  // Disabling a holder disables what it holds.
  Obj("G")->SetEnabledState(false);
  EXPECT_FALSE(inner->EnabledState);
}

TEST_F(ObjectModel, NamesResolveOnTheCurrentPageFirstThenInPageOrder) {
  ASSERT_TRUE(Load(
      "MASTERPAGE\nObjectType=5\nName=M\nX=1\n"
      "NEWPAGE=One\nObjectType=5\nName=Twin\nX=1\n"
      "NEWPAGE=Two\nObjectType=5\nName=twin\nX=2\n"
      "NEWPAGE=Three\nObjectType=5\nName=Other\n",
      2));
  EXPECT_EQ(Obj("TWIN")->x(), 2);
  nav.ChangePage(3, false);
  EXPECT_EQ(Obj("Twin")->x(), 1);  // the lowest page
  EXPECT_EQ(TheObjects().FindObject("M").page, 0);
  EXPECT_EQ(Obj("Nobody"), nullptr);
  ObjectNotFound("Nobody");
  EXPECT_EQ(Var("LastError"), "\"Nobody\"||Oggetto inesistente.");
}

TEST_F(ObjectModel, BadNamesStopTheLoad) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"NEWPAGE=One\nObjectType=5\nName=A\nObjectType=6\nName=a\n", "already exists"},
      {"NEWPAGE=One\nObjectType=5\nName=1abc\n", "not a valid object name"},
      {"NEWPAGE=One\nObjectType=5\nName=a b\n", "not a valid object name"},
  };
  for (const Case& c : cases) {
    pub = TPublication();
    EXPECT_FALSE(Load(c.text)) << c.text;
    EXPECT_NE(buildError.find(c.error), AnsiString::npos) << buildError;
    TheObjects().Clear();
    view.reset();
  }
  // The same name in two holders is fine.
  pub = TPublication();
  EXPECT_TRUE(Load("NEWPAGE=One\nObjectType=5\nName=A\nNEWPAGE=Two\nObjectType=5\nName=A\n"));
}

TEST_F(ObjectModel, ActionsRunQueuedOrAtOnceAndNeverWhileSuppressed) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=5\nName=Box\nW=10\nH=10\n"));
  TVellionObj* box = Obj("Box");
  box->RunObjectAction("SetVar \"[q]\" \"queued\"", evClick, 0);
  EXPECT_EQ(Var("q"), "");
  Drain();
  EXPECT_EQ(Var("q"), "queued");
  box->RunObjectAction("SetVar \"[n]\" \"now\"", evMouseEnter, kFlagSuspended);
  EXPECT_EQ(Var("n"), "now");
  SetObjectEventsSuppressed(true);
  box->RunObjectAction("SetVar \"[s]\" \"ran\"", evMouseEnter, kFlagSuspended);
  box->RunObjectAction("SetVar \"[s]\" \"ran\"", evClick, 0);
  Drain();
  EXPECT_EQ(Var("s"), "");
  SetObjectEventsSuppressed(false);
}

TEST_F(ObjectModel, EnterActionOfADisabledObjectNeverRuns) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=5\nName=Box\nW=10\nH=10\nEnabled=No\n"
                   "ObjEnterAction=SetVar \"[in]\" \"![in]x\"\n"));
  TVellionObj* box = Obj("Box");
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(box, &enter);
  box->SetEnabledState(true);
  EXPECT_EQ(Var("in"), "");
  // Only a new entry after the mouse left runs it.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(box, &leave);
  QApplication::sendEvent(box, &enter);
  EXPECT_EQ(Var("in"), "x");
}

TEST_F(ObjectModel, ChangeNoticesReachOnlyTheObjectsThatWatchTheName) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=5\nName=A\nObjectType=5\nName=B\n"));
  struct Probe : TVellionObj {
    using TVellionObj::TVellionObj;
    std::vector<AnsiString> heard;
    void OnVarChanged(const AnsiString& n, const AnsiString& v) override { heard.push_back(n + "=" + v); }
  };
  auto* probe = new Probe(view->ObjectLayer(1), 5);
  probe->WatchVariablesIn("Score: [Score] of [Total[i]]");
  TheObjects().VarChanged("[SCORE]", "3");
  TheObjects().VarChanged("[OTHER]", "4");
  TheObjects().VarChanged("[I]", "1");
  EXPECT_EQ(probe->heard, (std::vector<AnsiString>{"[SCORE]=3", "[I]=1"}));
  delete probe;  // forgets its watches
  TheObjects().VarChanged("[SCORE]", "5");
}

TEST_F(ObjectModel, TabMovesAlongTheRecordsTabOrderValues) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=5\nName=A\nTabOrder=2\nObjectType=5\nName=B\nTabOrder=0\n"
                   "ObjectType=20\nName=G\nTabOrder=1\nGROUPBEGIN\nObjectType=5\nName=G2\nTabOrder=1\n"
                   "ObjectType=5\nName=G1\nTabOrder=0\nGROUPEND\nObjectType=5\nName=Hidden\nVisible=No\n"));
  // Only objects that take the focus are tab stops (the input objects).
  for (const char* n : {"A", "B", "G1", "G2", "Hidden"}) Obj(n)->setFocusPolicy(Qt::TabFocus);
  std::vector<QWidget*> want{Obj("B"), Obj("G1"), Obj("G2"), Obj("A")};
  EXPECT_EQ(TheObjects().TabStops(1), want);
  Obj("G2")->setFocus();
  TheObjects().FocusNext(1, false);
  EXPECT_EQ(view->focusWidget(), Obj("A"));
  TheObjects().FocusNext(1, false);
  EXPECT_EQ(view->focusWidget(), Obj("B"));  // wraps
  TheObjects().FocusNext(1, true);
  EXPECT_EQ(view->focusWidget(), Obj("A"));
}

TEST_F(ObjectModel, FocusedObjectNamesTheObjectHoldingTheFocus) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=9\nName=E\nW=120\nH=24\nVarName=A\n"
                   "ObjectType=9\nName=F\nY=40\nW=120\nH=24\nVarName=B\n"));
  view->activateWindow();
  QApplication::setActiveWindow(view.get());
  // The focus sits in the edit control inside the object.
  for (const char* name : {"E", "F"}) {
    Obj(name)->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(Var("FocusedObject"), name);
  }
  view->setFocus();
  QCoreApplication::processEvents();
  EXPECT_EQ(Var("FocusedObject"), "");
}

TEST_F(ObjectModel, UnbuiltTypesKeepTheirPlaceAndUnknownTypesMakeNothing) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=22\nName=Movie\nX=3\nY=4\nW=50\nH=60\n"
                   "ObjectType=99\nName=Ghost\n"));
  TVellionObj* movie = Obj("Movie");
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(movie->geometry(), QRect(3, 4, 50, 60));
  EXPECT_EQ(Obj("Ghost"), nullptr);
  EXPECT_EQ(TheObjects().Roots(1).size(), 1u);
}

TEST_F(ObjectModel, ObjectFileNamesAreTrimmedExpandedAndUnmarked) {
  SetVariable("[Pic]", "cat");
  EXPECT_EQ(ResolveObjectFileName("  pics\\[Pic].png "), "pics\\cat.png");
  EXPECT_EQ(ResolveObjectFileName("!logo.bmp"), "logo.bmp");
}

}  // namespace
