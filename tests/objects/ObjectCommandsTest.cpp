// The object commands run as actions against built objects: what each
// reads from its arguments, what it changes, and what it reports.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include "InputTestSupport.h"
#include "objects/ObjButtons.h"
#include "objects/ObjEdit.h"
#include "objects/ObjLine.h"
#include "objects/ObjLists.h"
#include "objects/ObjTimer.h"
#include "objects/ObjTrackBar.h"
#include "runtime/Messages.h"

using namespace vl;
using namespace vltest;

namespace {

const char* kPub =
    "NEWPAGE=One\n"
    "ObjectType=5\nName=R\nX=10\nY=20\nW=30\nH=40\nFillColor=16777215\n"
    "ObjectType=20\nName=G\nX=100\nY=110\nW=80\nH=80\nGROUPBEGIN\n"
    "ObjectType=5\nName=Inner\nX=5\nY=6\nW=10\nH=10\nGROUPEND\n"
    "ObjectType=7\nName=Ln\nX1=200\nY1=50\nX2=150\nY2=20\n"
    "ObjectType=9\nName=E\nX=10\nY=200\nW=100\nH=22\nVarName=Name\nText=hello\n"
    "ObjAction=SetVar \"[Log]\" \"[Log]E,\"\n"
    "ObjectType=10\nName=L\nX=200\nY=200\nW=80\nH=60\nText=A\xB6" "B\xB6" "C\n"
    "ObjectType=11\nName=C\nX=300\nY=200\nW=80\nText=x\xB6y\nVarName=Pick\n"
    "ObjectType=3\nName=B\nX=300\nY=10\nW=80\nH=30\nText=Go\nVisible=No\nEnabled=No\n"
    "ObjectType=8\nName=T\nX=400\nY=10\nW=100\nH=40\nText=plain\n"
    "ObjectType=15\nName=Tm\nX=1\nY=1\nAutoStart=No\nInterval=500\n"
    "ObjectType=16\nName=Tb\nX=10\nY=300\nW=100\nH=20\nMin=0\nMax=10\n"
    "NEWPAGE=Two\n"
    "ObjectType=5\nName=Far\nX=1\nY=2\nW=3\nH=4\n";

class ObjectCommands : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    ASSERT_TRUE(Load(kPub));
  }
  // Runs one line as a button's action and gives back [LastError].
  std::string Do(const std::string& line) {
    SetLastError("");
    Click(line);
    return Var("LastError");
  }
  static std::string NotFound(const std::string& name) { return "\"" + name + "\"||" + Msg(251); }
};

TEST_F(ObjectCommands, GetObjectInfoAnswersEveryWord) {
  struct Case {
    const char* object;
    const char* word;
    const char* expected;
  };
  const Case cases[] = {
      {"R", "Visible", "True"},          {"B", "visible", "False"},    {"B", "Enabled", "False"},
      {"R", "Left", "10"},               {"R", "TOP", "20"},           {"R", "Width", "30"},
      {"R", "Height", "40"},             {"Inner", "Left", "5"},       {"Inner", "Top", "6"},
      {"Inner", "AbsLeft", "105"},       {"Inner", "AbsTop", "116"},   {"R", "AbsLeft", "10"},
      // A line answers from the box of its two ends.
      {"Ln", "Left", "150"},             {"Ln", "Top", "20"},          {"Ln", "Width", "50"},
      {"Ln", "Height", "30"},            {"E", "Caption", "hello"},    {"L", "Caption", "A|B|C"},
      {"B", "Caption", "Go"},            {"R", "Caption", ""},         {"R", "MediaLength", "0"},
      {"R", "imagewidth", ""},           {"R", "FileName", ""},        {"E", "SelectedText", ""},
      {"Far", "Left", "1"},  // another page is searched too
  };
  for (const Case& k : cases) {
    SetVariable("[Out]", "unset");
    EXPECT_EQ(Do(std::string("GetObjectInfo \"") + k.object + "\" \"" + k.word + "\" \"[Out]\""), "")
        << k.object << " " << k.word;
    EXPECT_EQ(Var("Out"), k.expected) << k.object << " " << k.word;
  }
}

TEST_F(ObjectCommands, GetObjectInfoEditSelectionAndCursor) {
  auto* e = As<TVellionEditField>("E");
  e->LineEdit()->setSelection(1, 3);  // "ell"
  Do("GetObjectInfo \"E\" \"SelectedText\" \"[Sel]\"");
  Do("GetObjectInfo \"E\" \"CursorPosition\" \"[Pos]\"");
  EXPECT_EQ(Var("Sel"), "ell");
  EXPECT_EQ(Var("Pos"), "5");
}

TEST_F(ObjectCommands, GetObjectInfoReportsTheWordBeforeTheObject) {
  SetVariable("[Out]", "unset");
  EXPECT_EQ(Do("GetObjectInfo \"Nobody\" \"Colour\" \"[Out]\""), "Colour||" + Msg(252));
  EXPECT_EQ(Var("Out"), "");
  SetVariable("[Out]", "unset");
  EXPECT_EQ(Do("GetObjectInfo \"Nobody\" \"Left\" \"[Out]\""), NotFound("Nobody"));
  EXPECT_EQ(Var("Out"), "");
}

TEST_F(ObjectCommands, UnknownObjectsAreReportedByEveryCommand) {
  const char* lines[] = {"EnableObject \"Zz\"",          "DisableObject \"Zz\"",
                         "MoveObject \"Zz\" \"1\" \"2\"", "SizeObject \"Zz\" \"1\" \"2\"",
                         "ObjectToFront \"Zz\"",         "ObjectToBack \"Zz\"",
                         "FocusObject \"Zz\"",           "RefreshObject \"Zz\"",
                         "GetObjectHandle \"Zz\" \"[h]\"", "SetObjectFill \"Zz\" \"Red\" \"0\" \"No\"",
                         "SetObjectLine \"Zz\" \"Red\" \"1\" \"0\"",
                         "SetObjectFont \"Zz\" \"Red\" \"Arial\" \"9\" \"\"",
                         "SetObjectCaption \"Zz\" \"x\"", "SetObjectFileName \"Zz\" \"x.bmp\"",
                         "TimerStart \"Zz\" \"10\"",     "TimerStop \"Zz\"",
                         "TrackBarSetMin \"Zz\" \"1\"",   "TrackBarSetMax \"Zz\" \"1\"",
                         "ListBoxSize \"Zz\" \"[n]\"",   "ListBoxSort \"Zz\" \"\""};
  for (const char* line : lines) EXPECT_EQ(Do(line), NotFound("Zz")) << line;
}

TEST_F(ObjectCommands, EnableAndDisable) {
  Do("DisableObject \"R\"");
  EXPECT_FALSE(Obj("R")->EnabledState);
  EXPECT_FALSE(Obj("R")->isEnabled());
  Do("EnableObject \"b\"");  // names without regard to case
  EXPECT_TRUE(Obj("B")->EnabledState);
}

TEST_F(ObjectCommands, MoveAndSize) {
  Do("MoveObject \"R\" \"7.9\" \"2*3\"");
  EXPECT_EQ(Obj("R")->geometry(), QRect(7, 6, 30, 40));
  Do("SizeObject \"R\" \"abc\" \"-5\"");  // not a number reads as 0; no negative size
  EXPECT_EQ(Obj("R")->geometry(), QRect(7, 6, 0, 0));
  Do("MoveObject \"Inner\" \"1\" \"2\"");  // within its group
  EXPECT_EQ(Obj("Inner")->pos(), QPoint(1, 2));
  // A line keeps its direction: its start stays the right, lower end.
  auto* ln = As<TVellionLine>("Ln");
  Do("MoveObject \"Ln\" \"0\" \"0\"");
  EXPECT_EQ(ln->StartPoint(), QPoint(50, 30));
  EXPECT_EQ(ln->EndPoint(), QPoint(0, 0));
  Do("SizeObject \"Ln\" \"20\" \"10\"");
  EXPECT_EQ(ln->StartPoint(), QPoint(20, 10));
  EXPECT_EQ(ln->EndPoint(), QPoint(0, 0));
  // A timer has no place.
  const QRect timer = Obj("Tm")->geometry();
  Do("MoveObject \"Tm\" \"50\" \"50\"");
  EXPECT_EQ(Obj("Tm")->geometry(), timer);
  // Results of MoveObject round-trip through GetObjectInfo.
  Do("MoveObject \"Ln\" \"33\" \"44\"");
  Do("GetObjectInfo \"Ln\" \"Left\" \"[x]\"");
  EXPECT_EQ(Var("x"), "33");
}

TEST_F(ObjectCommands, FillReadsEachWordOnItsOwn) {
  TVellionObj* r = Obj("R");
  Do("SetObjectFill \"R\" \"255,255,0\" \"Hollow\" \"Yes\"");
  EXPECT_EQ(r->FillColor, 0x00FFFFu);
  EXPECT_EQ(r->FillPattern(), 1);
  EXPECT_TRUE(r->Transparent());
  EXPECT_TRUE(r->IsTransparent());
  // Only the pattern changes.
  Do("SetObjectFill \"R\" \"\" \"7\" \"maybe\"");
  EXPECT_EQ(r->FillColor, 0x00FFFFu);
  EXPECT_EQ(r->FillPattern(), 7);
  EXPECT_TRUE(r->Transparent());
  // Bad colours and patterns outside 0..48 change nothing.
  for (const char* bad : {"\"0,x,0\" \"-1\" \"\"", "\"Nocolour\" \"49\" \"\"", "\"Red\" \"x\" \"\""}) {
    const TColor before = r->FillColor;
    EXPECT_EQ(Do(std::string("SetObjectFill \"R\" ") + bad), "") << bad;
    EXPECT_EQ(r->FillPattern(), 7) << bad;
    if (std::string(bad).find("Red") == std::string::npos) EXPECT_EQ(r->FillColor, before) << bad;
  }
  Do("SetObjectFill \"R\" \"Yellow\" \"Solid\" \"False\"");
  EXPECT_EQ(r->FillPattern(), 0);
  EXPECT_FALSE(r->Transparent());
  EXPECT_FALSE(r->IsTransparent());
}

TEST_F(ObjectCommands, FillTilesStartAtTheObjectsCorner) {
  // Pattern 3 is a checkerboard whose top-left bit is set: after a move to
  // odd places the grid still starts at the corner.
  Do("SetObjectLine \"R\" \"\" \"0\" \"\"");
  Do("SetObjectFill \"R\" \"0,0,255\" \"3\" \"No\"");
  Do("MoveObject \"R\" \"21\" \"31\"");
  const QImage img = view->RenderPage(nav.PageIndex());
  auto at = [&](int x, int y) { return img.pixel(x, y) | 0xFF000000u; };
  EXPECT_EQ(at(21, 31), qRgb(255, 255, 255));
  EXPECT_EQ(at(22, 31), qRgb(0, 0, 255));
  EXPECT_EQ(at(21, 32), qRgb(0, 0, 255));
  EXPECT_EQ(at(29, 31), qRgb(255, 255, 255));
}

TEST_F(ObjectCommands, LineWidthsAndStyles) {
  TVellionObj* r = Obj("R");
  // The width of "abc" is 0 and is applied; the dotted style then forces 1.
  Do("SetObjectLine \"R\" \"Red\" \"abc\" \"2\"");
  EXPECT_EQ(r->LineColor, 0x0000FFu);
  EXPECT_EQ(r->LineWidth(), 1);
  EXPECT_EQ(r->LineStyle, vlpsDot);
  Do("SetObjectLine \"R\" \"\" \"5\" \"7\"");  // the clear style cannot be set
  EXPECT_EQ(r->LineWidth(), 5);
  EXPECT_EQ(r->LineStyle, vlpsDot);
  Do("SetObjectLine \"R\" \"\" \"101\" \"6\"");  // widths above 100 are ignored
  EXPECT_EQ(r->LineWidth(), 5);
  EXPECT_EQ(r->LineStyle, vlpsSunken);
  Do("SetObjectLine \"R\" \"\" \"-1\" \"x\"");
  EXPECT_EQ(r->LineWidth(), 5);
  EXPECT_EQ(r->LineStyle, vlpsSunken);
}

TEST_F(ObjectCommands, FontWordsAndTheEmptyCall) {
  auto* b = As<TVellionButton>("B");
  b->FontStyle = 3;  // bold italic
  const AnsiString name = b->FontName;
  Do("SetObjectFont \"B\" \"\" \"\" \"0\" \"\"");
  EXPECT_EQ(b->FontStyle, 3);
  EXPECT_EQ(b->FontName, name);
  // Only the name: the empty style text makes it plain.
  Do("SetObjectFont \"B\" \"\" \"Arial\" \"x\" \"\"");
  EXPECT_EQ(b->FontName, "Arial");
  EXPECT_EQ(b->FontStyle, 0);
  EXPECT_EQ(b->FontSize, 8);
  Do("SetObjectFont \"B\" \"Blue\" \"\" \"12\" \"italic underline\" \"greek_charset\"");
  EXPECT_EQ(b->FontColor, 0xFF0000u);
  EXPECT_EQ(b->FontSize, 12);
  EXPECT_EQ(b->FontStyle, 2 | 4);
  EXPECT_EQ(b->FontCharset, 161);
  for (auto [text, value] : {std::pair{"300", 44}, {"abc", 1}, {"OEM_CHARSET", 255}}) {
    Do(std::string("SetObjectFont \"B\" \"\" \"\" \"\" \"\" \"") + text + "\"");
    EXPECT_EQ(b->FontCharset, value) << text;
  }
}

TEST_F(ObjectCommands, CaptionByClass) {
  // An edit field: a change like typing, the variable written and the
  // change action queued.
  EXPECT_EQ(Do("SetObjectCaption \"E\" \"typed\""), "");
  EXPECT_EQ(Var("Name"), "typed");
  Drain();
  EXPECT_EQ(Var("Log"), "E,");
  Do("SetObjectCaption \"B\" \"Stop\"");
  EXPECT_EQ(Obj("B")->Txt, "Stop");
  Do("SetObjectCaption \"T\" \"new text\"");
  EXPECT_EQ(Obj("T")->Txt, "new text");
  // A combo box: the items replaced, none selected, the variable kept.
  SetVariable("[Pick]", "y");
  ASSERT_EQ(As<TVellionComboBox>("C")->ComboBox()->currentIndex(), 1);
  Do("SetObjectCaption \"C\" \"a|b|c\"");
  EXPECT_EQ(As<TVellionComboBox>("C")->Items(), (std::vector<AnsiString>{"a", "b", "c"}));
  EXPECT_EQ(As<TVellionComboBox>("C")->ComboBox()->currentIndex(), -1);
  EXPECT_EQ(Var("Pick"), "y");
  // The next list command writes the empty selection.
  Do("ListBoxSort \"C\" \"\"");
  EXPECT_EQ(Var("Pick"), "");
  EXPECT_EQ(Do("SetObjectCaption \"R\" \"x\""), Msg(341));
  EXPECT_EQ(Do("SetObjectFileName \"R\" \"x.bmp\""), Msg(342));
}

TEST_F(ObjectCommands, TimersAndTrackBars) {
  auto* t = As<TVellionTimer>("Tm");
  Do("TimerStart \"Tm\" \"-250\"");
  EXPECT_TRUE(t->Running());
  EXPECT_EQ(t->Interval, 250);
  Do("TimerStop \"Tm\"");
  EXPECT_FALSE(t->Running());
  Do("TimerStart \"R\" \"10\"");  // not a timer: nothing
  auto* tb = As<TVellionTrackBar>("Tb");
  tb->SetValue(8);
  Do("TrackBarSetMax \"Tb\" \"5\"");
  EXPECT_EQ(tb->Maximum(), 5);
  EXPECT_EQ(tb->Value(), 5);  // clamped
  Do("TrackBarSetMin \"Tb\" \"x\"");
  EXPECT_EQ(tb->Minimum(), 0);
  Do("TrackBarSetMin \"Tb\" \"3\"");
  EXPECT_EQ(tb->Minimum(), 3);
}

TEST_F(ObjectCommands, OrderFocusAndHandles) {
  Do("ObjectToBack \"T\"");
  EXPECT_EQ(TheObjects().Roots(1).front(), Obj("T"));
  Do("ObjectToFront \"T\"");
  EXPECT_EQ(TheObjects().Roots(1).back(), Obj("T"));
  EXPECT_EQ(Obj("T")->parentWidget()->children().back(), Obj("T"));

  Do("FocusObject \"E\"");
  EXPECT_EQ(Obj("E")->window()->focusWidget(), As<TVellionEditField>("E")->LineEdit());

  Do("GetObjectHandle \"E\" \"[h1]\"");
  Do("GetObjectHandle \"R\" \"[h2]\"");
  Do("GetObjectHandle \"Tm\" \"[h3]\"");
  Do("GetObjectHandle \"E\" \"[h4]\"");
  EXPECT_NE(Var("h1"), "0");
  EXPECT_NE(Var("h1"), Var("h2"));
  EXPECT_EQ(Var("h3"), "0");
  EXPECT_EQ(Var("h1"), Var("h4"));  // the same window, the same handle
}

TEST_F(ObjectCommands, PerClassCommandsClearLastErrorButEnableLeavesIt) {
  SetLastError("old");
  Click("TimerStop \"R\"");
  EXPECT_EQ(Var("LastError"), "");
  SetLastError("old");
  Click("EnableObject \"R\"");
  EXPECT_EQ(Var("LastError"), "old");
}

}  // namespace

namespace {

class ObjectFileNames : public InputTest {};

TEST_F(ObjectFileNames, EachClassTakesItsOwnFileAndInfoReadsItBack) {
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=3\nName=Lib\nW=80\nH=30\nImageStyle=1\n"
                   "ObjectType=3\nName=Own\nW=80\nH=30\nImageStyle=2\n"
                   "ObjectType=3\nName=Plain\nW=80\nH=30\n"
                   "ObjectType=23\nName=Poly\nW=20\nH=20\n"
                   "ObjectType=2\nName=Art\nW=100\nH=50\n"));
  struct Case {
    const char* object;
    const char* file;
    const char* info;  // what GetObjectInfo "FileName" then gives
  };
  const Case cases[] = {{"Lib", "lib.bmp", "lib.bmp"},
                        {"Own", "up.bmp", "up.bmp"},
                        {"Plain", "x.bmp", ""},  // a button without pictures keeps none
                        {"Poly", "shape.bmp", "shape.bmp"},
                        {"Art", "story.txt", "story.txt"}};
  for (const Case& k : cases) {
    SetLastError("old");
    Click(std::string("SetObjectFileName \"") + k.object + "\" \"" + k.file + "\"");
    EXPECT_EQ(Var("LastError"), "") << k.object;
    Click(std::string("GetObjectInfo \"") + k.object + "\" \"FileName\" \"[f]\"");
    EXPECT_EQ(Var("f"), k.info) << k.object;
  }
  EXPECT_EQ(As<TVellionPushBtn>("Lib")->UpImage, "");
  EXPECT_EQ(As<TVellionPushBtn>("Own")->LibImage, "");
}

}  // namespace
