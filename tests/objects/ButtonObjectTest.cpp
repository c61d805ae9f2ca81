// Push buttons, check boxes and radio buttons: clicks through real mouse
// events, their variables both ways, radio groups, hot keys, the keyboard
// with the marquee, and the faces they show.
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <optional>

#include "ObjectsTestSupport.h"
#include "actions/Vars.h"
#include "images/PictureCache.h"
#include "objects/ObjButtons.h"
#include "objects/ObjectInput.h"
#include "runtime/Clock.h"
#include "support/HostSpies.h"

using namespace vl;
using namespace vltest;

namespace {

class Buttons : public ObjectsTest {
 protected:
  void SetUp() override {
    ObjectsTest::SetUp();
    watch_.emplace([](const AnsiString& n, const AnsiString& v) { TheObjects().VarChanged(n, v); });
  }
  void TearDown() override {
    watch_.reset();
    Globals().showMarquee = false;
    Globals().displayColorCount = 16777216;
    ThePictureCache().ClearCache();
    ObjectsTest::TearDown();
  }
  TVellionButton* Btn(std::string_view name) { return As<TVellionButton>(name); }
  void Click(std::string_view name, Qt::MouseButton b = Qt::LeftButton) {
    AnsiString why;
    ASSERT_TRUE(ClickObject(*Obj(name), b, false, why)) << why;
  }
  static void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton b, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(at), QPointF(at), QPointF(w->mapToGlobal(at)), b, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  static void Enter(QWidget* w) {
    QEnterEvent e(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(w, &e);
  }
  static void Leave(QWidget* w) {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
  }
  // The page's pixel at (x, y) as it shows.
  QRgb Pixel(int x, int y) { return view->RenderPage(1).pixel(x, y) & 0xFFFFFF; }
  static bool Near(QRgb got, QRgb want, int tolerance = 12) {
    return std::abs(qRed(got) - qRed(want)) <= tolerance && std::abs(qGreen(got) - qGreen(want)) <= tolerance &&
           std::abs(qBlue(got) - qBlue(want)) <= tolerance;
  }
  // A picture file of one colour, with a square of `cornerColour` at the
  // top-left when given.
  std::string Picture(const char* name, QSize size, QRgb colour, QRgb cornerColour = 0, int corner = 0) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    for (int y = 0; y < corner; ++y)
      for (int x = 0; x < corner; ++x) img.setPixel(x, y, cornerColour);
    const QString path = dir.filePath(name);
    EXPECT_TRUE(img.save(path, "BMP"));
    return path.toStdString();
  }

  QTemporaryDir dir;
  std::optional<vltest::ScopedVarWatch> watch_;
};

constexpr QRgb kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00, kMagenta = 0xFF00FF;

TEST_F(Buttons, ClicksAreQueuedEnterAndLeaveRunAtOnceWhileEnabled) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=3\nName=Go\nX=10\nY=10\nW=80\nH=30\nText=Go\n"
                   "ObjAction=SetVar \"[c]\" \"![c]L\"\nObjRAction=SetVar \"[c]\" \"![c]R\"\n"
                   "ObjEnterAction=SetVar \"[e]\" \"![e]in,\"\nObjExitAction=SetVar \"[e]\" \"![e]out,\"\n"));
  TVellionButton* go = Btn("Go");
  ASSERT_NE(go, nullptr);
  EXPECT_EQ(go->CursorSlot(), 1);
  Click("Go");
  EXPECT_EQ(Var("c"), "");  // queued
  Drain();
  EXPECT_EQ(Var("c"), "L");
  Click("Go", Qt::RightButton);
  Drain();
  EXPECT_EQ(Var("c"), "LR");
  EXPECT_EQ(go->VisualState(), kVisualUp);

  Enter(go);
  EXPECT_EQ(Var("e"), "in,");  // at once
  Leave(go);
  EXPECT_EQ(Var("e"), "in,out,");
  go->SetEnabledState(false);
  Enter(go);
  Leave(go);
  EXPECT_EQ(Var("e"), "in,out,");

  // A stand-alone button (the player's dialogs) calls its handler instead.
  go->SetEnabledState(true);
  int handled = 0;
  go->StandAlone = true;
  go->OnClick = [&] { ++handled; };
  Click("Go");
  Drain();
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(Var("c"), "LR");
}

TEST_F(Buttons, PressMoveOutAndReleaseRunsNothingAndLeavesItUp) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=3\nName=Go\nX=10\nY=10\nW=80\nH=30\n"
                   "ObjAction=SetVar \"[c]\" \"clicked\"\n"));
  TVellionButton* go = Btn("Go");
  Mouse(go, QEvent::MouseButtonPress, {40, 15}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(go->Pressed());
  EXPECT_EQ(go->VisualState(), kVisualDown);
  Mouse(go, QEvent::MouseMove, {200, 15}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(go->VisualState(), kVisualUp);
  Mouse(go, QEvent::MouseMove, {40, 15}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(go->VisualState(), kVisualDown);  // back inside
  Mouse(go, QEvent::MouseMove, {200, 15}, Qt::NoButton, Qt::LeftButton);
  Mouse(go, QEvent::MouseButtonRelease, {200, 15}, Qt::LeftButton, Qt::NoButton);
  Drain();
  EXPECT_EQ(Var("c"), "");
  EXPECT_FALSE(go->Pressed());
  EXPECT_EQ(go->VisualState(), kVisualUp);
}

TEST_F(Buttons, CheckBoxWritesAndFollowsItsVariable) {
  SetVariable("[Kept]", "something");
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=12\nName=Agree\nX=10\nY=10\nW=120\nH=20\nText=I agree\nVarName=Agree\nInitState=1\n"
                   "ObjAction=SetVar \"[seen]\" \"[Agree]\"\n"
                   "ObjectType=12\nName=Keep\nX=10\nY=40\nW=120\nH=20\nText=Keep\nVarName=Kept\n"));
  TVellionButton* agree = Btn("Agree");
  ASSERT_NE(agree, nullptr);
  EXPECT_EQ(agree->ButtonStyle, bsToggle);
  EXPECT_EQ(agree->Alignment(), 1);
  EXPECT_EQ(Var("Agree"), "Checked");
  EXPECT_EQ(agree->VisualState(), kVisualDown);
  // InitState 0 leaves the value alone and shows unchecked.
  EXPECT_EQ(Var("Kept"), "something");
  EXPECT_EQ(Btn("Keep")->VisualState(), kVisualUp);

  Click("Agree");
  EXPECT_EQ(Var("Agree"), "");  // written at once, the action queued
  EXPECT_EQ(agree->VisualState(), kVisualUp);
  Drain();
  EXPECT_EQ(Var("seen"), "");
  Click("Agree");
  Drain();
  EXPECT_EQ(Var("seen"), "Checked");

  struct Case {
    const char* value;
    int state;
  } cases[] = {{"yes", kVisualDown}, {"0", kVisualUp}, {"Checked+more", kVisualDown}, {"2", kVisualUp},
               {"TRUE", kVisualDown}, {"", kVisualUp}};
  for (const Case& c : cases) {
    SetVariable("[agree]", c.value);
    EXPECT_EQ(agree->VisualState(), c.state) << c.value;
  }
}

TEST_F(Buttons, StartedInPlaceOfAnotherPublicationRaisedButtonsClearTheirVariables) {
  SetVariable("[Box]", "Checked");
  SetVariable("[Color]", "Blue");
  SetVariable("[Size]", "Big");
  startChained = true;
  const bool ok = Load("NEWPAGE=One\nObjectType=12\nName=Box\nVarName=Box\n"
                       "ObjectType=13\nName=R\nText=Red\nVarName=Color\nInitState=1\n"
                       "ObjectType=13\nName=B\nText=Blue\nVarName=Color\n"
                       "ObjectType=13\nName=S\nText=Small\nVarName=Size\n");
  startChained = false;
  ASSERT_TRUE(ok);
  EXPECT_EQ(Var("Box"), "");
  EXPECT_EQ(Var("Size"), "");
  // A raised button of a group that has one starting down keeps its choice,
  // whatever order they start in.
  EXPECT_EQ(Var("Color"), "Red");
  EXPECT_EQ(Btn("R")->VisualState(), kVisualDown);
}

TEST_F(Buttons, GrayedCheckBoxTogglesToUncheckedAndDisabledOnesIgnoreTheMouse) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=12\nName=G\nX=10\nY=10\nW=120\nH=20\nText=G\nInitState=2\n"
                   "ObjAction=SetVar \"[n]\" \"![n]x\"\n"
                   "ObjectType=12\nName=D\nX=10\nY=40\nW=120\nH=20\nText=D\nEnabled=No\nVarName=D\n"));
  TVellionButton* g = Btn("G");
  EXPECT_EQ(g->VisualState(), kVisualHot);  // grayed shows as pushed
  Click("G");
  EXPECT_EQ(g->VisualState(), kVisualUp);
  Click("G");
  EXPECT_EQ(g->VisualState(), kVisualDown);
  Drain();
  EXPECT_EQ(Var("n"), "xx");
  TVellionButton* d = Btn("D");
  Mouse(d, QEvent::MouseButtonPress, {5, 10}, Qt::LeftButton, Qt::LeftButton);
  Mouse(d, QEvent::MouseButtonRelease, {5, 10}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(d->VisualState(), kVisualUp);
  EXPECT_EQ(Var("D"), "");
}

TEST_F(Buttons, RadioButtonsSharingAVariableAreOneGroup) {
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=13\nName=R\nX=10\nY=10\nW=100\nH=20\nText=Red\nVarName=Color\n"
                   "ObjAction=SetVar \"[n]\" \"![n]r\"\n"
                   "ObjectType=13\nName=G\nX=10\nY=40\nW=100\nH=20\nText=Green\nVarName=Color\nInitState=1\n"
                   "ObjectType=13\nName=B\nX=10\nY=70\nW=100\nH=20\nText=Blue\nVarName=Color\n"
                   "ObjAction=SetVar \"[n]\" \"![n]b\"\n"
                   "ObjectType=13\nName=Other\nX=10\nY=100\nW=100\nH=20\nText=Red\nVarName=Size\n"));
  auto states = [&] {
    return std::vector<int>{Btn("R")->VisualState(), Btn("G")->VisualState(), Btn("B")->VisualState()};
  };
  EXPECT_EQ(Var("Color"), "Green");
  EXPECT_EQ(states(), (std::vector<int>{0, 1, 0}));
  Click("B");
  EXPECT_EQ(Var("Color"), "Blue");
  EXPECT_EQ(states(), (std::vector<int>{0, 0, 1}));
  // Clicked again while down: no click action.
  Click("B");
  Drain();
  EXPECT_EQ(Var("n"), "b");
  // Setting the variable selects by caption, in any case.
  SetVariable("[Color]", "red");
  EXPECT_EQ(states(), (std::vector<int>{1, 0, 0}));
  EXPECT_EQ(Btn("Other")->VisualState(), kVisualUp);  // another group
  SetVariable("[Color]", "none of them");
  EXPECT_EQ(states(), (std::vector<int>{0, 0, 0}));
}

TEST_F(Buttons, CaptionsMarkTheAccessLetterAndFollowTheirVariables) {
  SetVariable("[Who]", "Ann");
  EXPECT_EQ(DisplayedButtonCaption("^File"), "&File");
  EXPECT_EQ(DisplayedButtonCaption("Salt & Pepper"), "Salt && Pepper");
  EXPECT_EQ(DisplayedButtonCaption("Hi [Who]"), "Hi Ann");
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=13\nName=A\nX=10\nY=10\nW=100\nH=20\nText=Salt & Pepper\nVarName=Pick\n"
                   "ObjectType=13\nName=B\nX=10\nY=40\nW=100\nH=20\nText=Hi [Who]\nVarName=Pick\nInitState=1\n"
                   "ObjectType=12\nName=Grow\nX=10\nY=70\nW=5\nH=5\nText=[Who]\nAutoSize=Yes\n"));
  Click("A");
  EXPECT_EQ(Var("Pick"), "Salt && Pepper");
  EXPECT_EQ(Btn("A")->VisualState(), kVisualDown);
  SetVariable("[Pick]", "Salt && Pepper");
  EXPECT_EQ(Btn("A")->VisualState(), kVisualDown);
  // The chosen button's caption changes: the group's value follows.
  SetVariable("[Pick]", "Hi Ann");
  EXPECT_EQ(Btn("B")->VisualState(), kVisualDown);
  const int before = Obj("Grow")->width();
  EXPECT_GT(before, 5);
  SetVariable("[Who]", "Bartholomew");
  EXPECT_EQ(Var("Pick"), "Hi Bartholomew");
  EXPECT_GT(Obj("Grow")->width(), before);
}

TEST_F(Buttons, RadioButtonsFeedingEachOthersCaptionsStop) {
  // Each chosen button's caption grows with the other's value: a hostile
  // publication that would write for ever.
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=13\nName=A\nText=[Y]x\nVarName=X\nInitState=1\n"
                   "ObjectType=13\nName=B\nText=[X]x\nVarName=Y\nInitState=1\n"));
  EXPECT_LT(Var("X").size(), 100u);
  EXPECT_LT(Var("Y").size(), 100u);
}

TEST_F(Buttons, AutoSizeWithoutCaptionAndAboveTheCaption) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=12\nName=Empty\nW=100\nH=100\nAutoSize=Yes\n"
                   "ObjectType=13\nName=Top\nW=100\nH=100\nAutoSize=Yes\nAlign=2\n"));
  EXPECT_EQ(Obj("Empty")->width(), 13 + 17 + 3);
  EXPECT_GE(Obj("Empty")->height(), 13);
  EXPECT_EQ(Obj("Top")->width(), 13 + 3);
  EXPECT_EQ(Obj("Top")->height(), Obj("Empty")->height() + 17);
}

TEST_F(Buttons, HotKeyPressesHoldsAndReleases) {
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=3\nName=Go\nX=10\nY=10\nW=80\nH=30\nKey=16467\nObjAction=SetVar \"[c]\" \"![c]x\"\n"
                   "ObjectType=12\nName=Box\nX=10\nY=50\nW=80\nH=20\nKey=66\nVarName=Box\n"
                   "ObjectType=3\nName=Off\nX=10\nY=80\nW=80\nH=30\nKey=67\nEnabled=No\n"));
  // Ctrl+S (0x4000 | 'S').
  bool downDuringHold = false;
  TVelTimer probe([&] { downDuringHold = Btn("Go")->VisualState() == kVisualDown; });
  probe.SetInterval(100);
  const int64_t t0 = TheClock().NowMs();
  EXPECT_TRUE(TheObjects().OfferHotKey(1, false, 0x4000 | 'S'));
  EXPECT_GE(TheClock().NowMs() - t0, kHotKeyPressMs);
  EXPECT_TRUE(downDuringHold);
  EXPECT_EQ(Btn("Go")->VisualState(), kVisualUp);
  Drain();
  EXPECT_EQ(Var("c"), "x");
  EXPECT_TRUE(TheObjects().OfferHotKey(1, false, 'B'));
  EXPECT_EQ(Var("Box"), "Checked");
  EXPECT_FALSE(TheObjects().OfferHotKey(1, false, 'C'));  // disabled
  EXPECT_FALSE(TheObjects().OfferHotKey(1, false, 'S'));  // without Ctrl
}

TEST_F(Buttons, WithTheMarqueeButtonsOnThePageAreTabStopsAndEnterOrSpaceClicks) {
  Globals().showMarquee = true;
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=3\nName=A\nX=10\nY=10\nW=80\nH=30\nObjAction=SetVar \"[c]\" \"![c]a\"\n"
                   "ObjectType=12\nName=B\nX=10\nY=50\nW=80\nH=20\nVarName=B\n"
                   "ObjectType=3\nName=Away\nX=5000\nY=10\nW=80\nH=30\n"));
  EXPECT_EQ(TheObjects().TabStops(1), (std::vector<QWidget*>{Obj("A"), Obj("B")}));
  EXPECT_EQ(view->focusWidget(), Obj("A"));  // the first tab stop on page shown
  const int64_t t0 = TheClock().NowMs();
  for (int key : {Qt::Key_Space, Qt::Key_Return}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(Obj("A"), &press);
  }
  EXPECT_GE(TheClock().NowMs() - t0, 2 * kKeyboardPressMs);
  Drain();
  EXPECT_EQ(Var("c"), "aa");
  TheObjects().FocusNext(1, false);
  QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
  QApplication::sendEvent(Obj("B"), &space);
  EXPECT_EQ(Var("B"), "Checked");

  // Without the marquee nothing is a tab stop and keys do not click.
  TheObjects().Clear();
  view.reset();
  pub = TPublication();
  Globals().showMarquee = false;
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=3\nName=A\nX=10\nY=10\nW=80\nH=30\nObjAction=SetVar \"[d]\" \"x\"\n"));
  EXPECT_TRUE(TheObjects().TabStops(1).empty());
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
  QApplication::sendEvent(Obj("A"), &press);
  Drain();
  EXPECT_EQ(Var("d"), "");
}

TEST_F(Buttons, FaceColourFrameAndDisabledVeil) {
  ASSERT_TRUE(Load("NEWPAGE=One\nPageColor=16777215\n"
                   "ObjectType=3\nName=Plain\nX=10\nY=10\nW=80\nH=40\nFillColor=255\nLineWidth=0\nBevelWidth=3\n"
                   "ObjectType=3\nName=Off\nX=100\nY=10\nW=80\nH=40\nFillColor=255\nLineWidth=0\nBevelWidth=0\n"
                   "Enabled=No\n"
                   "ObjectType=3\nName=Hollow\nX=200\nY=10\nW=80\nH=40\nFillPattern=1\nLineWidth=0\nBevelWidth=0\n"
                   "ObjectType=3\nName=HollowOff\nX=300\nY=10\nW=80\nH=40\nFillPattern=1\nLineWidth=0\n"
                   "BevelWidth=0\nText=Off\nEnabled=No\n"));
  EXPECT_TRUE(Near(Pixel(50, 30), kRed));
  EXPECT_TRUE(Near(Pixel(10, 10), 0xFFFFFF));            // white top-left bevel
  EXPECT_FALSE(Near(Pixel(89, 49), kRed));               // shadow bottom-right
  EXPECT_TRUE(Near(Pixel(140, 30), qRgb(214, 124, 124)));  // grey veil over the red face
  EXPECT_TRUE(Near(Pixel(240, 30), 0xFFFFFF));           // the page shows through
  // Transparent without an outline: an embossed caption, no veil.
  EXPECT_TRUE(Near(Pixel(303, 13), 0xFFFFFF));
  EXPECT_TRUE(Btn("Hollow")->GetIsTransparent());
  EXPECT_EQ(Btn("Hollow")->ButtonStyle, bsStandardBknd);
  EXPECT_EQ(Btn("Plain")->ButtonStyle, bsStandard);
  // Pressed, the bevel turns to shadow at the top-left.
  Mouse(Obj("Plain"), QEvent::MouseButtonPress, {40, 20}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_FALSE(Near(Pixel(10, 10), 0xFFFFFF));
  Mouse(Obj("Plain"), QEvent::MouseButtonRelease, {40, 20}, Qt::LeftButton, Qt::NoButton);
  // The plain renderer veils with a checkered pattern in the fill colour.
  Globals().displayColorCount = 256;
  EXPECT_TRUE(Near(Pixel(140, 30), kRed));
}

TEST_F(Buttons, IndividualPicturesPerStateWithTheirTransparentColours) {
  const std::string up = Picture("up.bmp", {30, 30}, kGreen, kMagenta, 6);
  const std::string down = Picture("down.bmp", {30, 30}, kBlue);
  const std::string over = Picture("over.bmp", {30, 30}, kYellow);
  ASSERT_TRUE(Load("NEWPAGE=One\nPageColor=16777215\n"
                   "ObjectType=3\nName=P\nX=0\nY=0\nW=100\nH=40\nFillPattern=1\nLineWidth=0\nBevelWidth=0\n"
                   "ImageStyle=2\nUpImage=" + up + "\nDownImage=" + down + "\nOverImage=" + over +
                   "\nUpTransColor=16711935\n"
                   "ObjectType=3\nName=NoDown\nX=0\nY=50\nW=100\nH=40\nLineWidth=0\nBevelWidth=0\n"
                   "ImageStyle=2\nUpImage=" + up + "\nDownImage=" + dir.filePath("missing.bmp").toStdString() +
                   "\n"));
  // The 30 by 30 picture is centred: (35, 5) to (64, 34).
  TVellionButton* p = Btn("P");
  EXPECT_TRUE(Near(Pixel(50, 20), kGreen));
  EXPECT_TRUE(Near(Pixel(37, 7), 0xFFFFFF));  // the transparent corner shows the page
  Enter(p);
  EXPECT_EQ(p->VisualState(), kVisualHot);
  EXPECT_TRUE(Near(Pixel(50, 20), kYellow));
  Mouse(p, QEvent::MouseButtonPress, {50, 20}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(Near(Pixel(50, 20), kBlue));
  Mouse(p, QEvent::MouseButtonRelease, {50, 20}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(p->VisualState(), kVisualHot);
  Leave(p);
  EXPECT_TRUE(Near(Pixel(50, 20), kGreen));
  // Repaints take the faces from the picture cache.
  const int64_t decodes = TVLImageView::DecodeCount();
  for (int i = 0; i < 3; ++i) {
    Enter(p);
    Pixel(50, 20);
    Leave(p);
    Pixel(50, 20);
  }
  EXPECT_EQ(TVLImageView::DecodeCount(), decodes);
  // A down picture that does not load: the up picture stands in; no over
  // picture, so no hot state either.
  TVellionButton* nd = Btn("NoDown");
  Enter(nd);
  EXPECT_EQ(nd->VisualState(), kVisualUp);
  Mouse(nd, QEvent::MouseButtonPress, {50, 20}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(Near(Pixel(51, 71), kGreen));
  Mouse(nd, QEvent::MouseButtonRelease, {50, 20}, Qt::LeftButton, Qt::NoButton);
}

TEST_F(Buttons, LibraryPictureShowsOneThirdPerState) {
  QImage lib(90, 30, QImage::Format_RGB32);
  for (int x = 0; x < 90; ++x)
    for (int y = 0; y < 30; ++y) lib.setPixel(x, y, x < 30 ? kRed : x < 60 ? kGreen : kBlue);
  const QString path = dir.filePath("lib.bmp");
  ASSERT_TRUE(lib.save(path, "BMP"));
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=3\nName=L\nX=0\nY=0\nW=100\nH=40\nLineWidth=0\nBevelWidth=0\n"
                   "FillColor=0\nImageStyle=1\nLibImage=" + path.toStdString() + "\n"));
  TVellionButton* l = Btn("L");
  // Frames are 30 wide, centred at (35, 5); probe both edges of the frame.
  EXPECT_TRUE(Near(Pixel(36, 20), kRed));
  EXPECT_TRUE(Near(Pixel(63, 20), kRed));
  EXPECT_TRUE(Near(Pixel(66, 20), 0));  // nothing beyond the frame
  Enter(l);
  EXPECT_TRUE(Near(Pixel(36, 20), kGreen));
  EXPECT_TRUE(Near(Pixel(63, 20), kGreen));
  Mouse(l, QEvent::MouseButtonPress, {50, 20}, Qt::LeftButton, Qt::LeftButton);
  // Library faces do not move when pressed.
  EXPECT_TRUE(Near(Pixel(36, 20), kBlue));
  EXPECT_TRUE(Near(Pixel(63, 20), kBlue));
  Mouse(l, QEvent::MouseButtonRelease, {50, 20}, Qt::LeftButton, Qt::NoButton);
}

TEST_F(Buttons, ClassicCheckAndRadioMarks) {
  ASSERT_TRUE(Load("NEWPAGE=One\nPageColor=16777215\n"
                   "ObjectType=12\nName=C\nX=0\nY=0\nW=100\nH=13\nXPTheme=No\nInitState=1\n"
                   "ObjectType=13\nName=R\nX=0\nY=20\nW=100\nH=13\nXPTheme=No\n"
                   "ObjectType=12\nName=T\nX=0\nY=40\nW=100\nH=13\nInitState=1\n"));
  EXPECT_TRUE(Near(Pixel(6, 6), 0));          // the tick
  EXPECT_TRUE(Near(Pixel(6, 26), 0xFFFFFF));  // the empty well
  Click("R");
  EXPECT_TRUE(Near(Pixel(6, 26), 0));
  // Themed boxes draw through the style: checked and unchecked differ.
  const QImage checked = view->RenderPage(1).copy(0, 40, 13, 13);
  Click("T");
  EXPECT_NE(view->RenderPage(1).copy(0, 40, 13, 13), checked);
}

}  // namespace
