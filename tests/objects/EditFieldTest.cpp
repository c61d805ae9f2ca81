// The edit field: typing, the bound variable both ways, the rules of its
// record (case, length, digits, password, mask) and its focus actions.
#include <QClipboard>
#include <QFocusEvent>

#include "InputTestSupport.h"
#include "objects/ObjEdit.h"
#include "runtime/Messages.h"

using namespace vl;
using namespace vltest;

namespace {

class EditField : public InputTest {
 protected:
  TVellionEditField* Field(std::string_view name = "E") { return As<TVellionEditField>(name); }
  QWidget* Inner(std::string_view name = "E") { return Field(name)->TypingTarget(); }
};

TEST_F(EditField, TypingWritesTheVariableAtEveryKeyAndQueuesTheChangeAction) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=9\nName=E\nW=120\nH=24\nVarName=Answer\n"
                   "ObjAction=SetVar \"[n]\" \"![n]x\"\n"));
  ActionSpy& s = Spy("E");
  Notices("");
  Type(Inner(), "abc");
  EXPECT_EQ(Notices("[ANSWER]"), (std::vector<std::string>{"a", "ab", "abc"}));
  EXPECT_EQ(Var("n"), "");  // queued
  Drain();
  EXPECT_EQ(Var("n"), "xxx");
  EXPECT_EQ(s.codes, (std::vector<int>{evEditChanged, evEditChanged, evEditChanged}));
}

TEST_F(EditField, TheFieldFollowsItsVariableWithoutWritingBackOrRunningItsAction) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=9\nName=E\nW=120\nH=24\nVarName=Answer\nEditLen=5\n"
                   "ObjAction=SetVar \"[n]\" \"![n]x\"\n"
                   "ObjectType=9\nName=M\nW=120\nH=60\nVarName=Memo\nEditMultiLine=Yes\n"));
  Notices("");
  Click("SetVar \"[Answer]\" \"hello world\"");
  EXPECT_EQ(Field()->LineEdit()->text(), "hello");  // cut to the maximum length
  EXPECT_EQ(Notices("[ANSWER]"), (std::vector<std::string>{"hello world"}));
  EXPECT_EQ(Var("Answer"), "hello world");
  Drain();
  EXPECT_EQ(Var("n"), "");
  // Line breaks of every form reach a multi-line field, and typing gives
  // them back as CR LF.
  SetVariable("[Memo]", "one\rtwo");
  EXPECT_EQ(Field("M")->Memo()->toPlainText(), "one\ntwo");
  Key(Inner("M"), Qt::Key_Return, "\r");
  Type(Inner("M"), "3");
  EXPECT_EQ(Var("Memo"), "one\r\ntwo\r\n3");
}

TEST_F(EditField, SetTextCountsAsAChangeAndANewFillReachesTheInnerEdit) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=9\nName=E\nW=120\nH=24\nVarName=Answer\nFillColor=255\n"
                   "ObjAction=SetVar \"[n]\" \"![n]x\"\n"));
  EXPECT_EQ(Inner()->palette().color(QPalette::Base), QColor(255, 0, 0));
  ActionSpy& s = Spy("E");
  Field()->SetText("new");
  EXPECT_EQ(Var("Answer"), "new");
  Drain();
  EXPECT_EQ(s.codes, (std::vector<int>{evEditChanged}));
  // A command sets the colour directly; the next paint restyles.
  Field()->FillColor = 0x00FF00;
  view->RenderPage(1);
  EXPECT_EQ(Inner()->palette().color(QPalette::Base), QColor(0, 255, 0));
}

TEST_F(EditField, RecordRulesCaseLengthDigitsAndPassword) {
  ASSERT_TRUE(Load("NEWPAGE=One\n"
                   "ObjectType=9\nName=Up\nVarName=Up\nEditCase=1\n"
                   "ObjectType=9\nName=Low\nVarName=Low\nEditCase=2\nEditLen=3\n"
                   "ObjectType=9\nName=Num\nVarName=Num\nEditMask=LL\nEditNumber=Yes\n"
                   "ObjectType=9\nName=Pw\nVarName=Pw\nEditPassword=Yes\n"));
  Type(Inner("Up"), "abC1");
  EXPECT_EQ(Var("Up"), "ABC1");
  Type(Inner("Low"), "ABCDE");
  EXPECT_EQ(Var("Low"), "abc");
  Type(Inner("Num"), "1a2-");  // the number rule cleared the mask
  EXPECT_EQ(Var("Num"), "12");
  // Pasting into a digits-only field takes a whole number only.
  QApplication::clipboard()->setText(" -42 ");
  QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
  QApplication::sendEvent(Inner("Num"), &paste);
  EXPECT_EQ(Var("Num"), "12-42");
  QApplication::clipboard()->setText("4x");
  QApplication::sendEvent(Inner("Num"), &paste);
  Type(Inner("Num"), "7x");
  EXPECT_EQ(Var("Num"), "12-427");
  Type(Inner("Pw"), "secret");
  EXPECT_EQ(Var("Pw"), "secret");
  EXPECT_EQ(Field("Pw")->LineEdit()->echoMode(), QLineEdit::Password);
}

TEST_F(EditField, AMaskedFieldWritesItsValueAndReportsAnUnfinishedEntry) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=9\nName=E\nW=120\nH=24\nVarName=Date\nEditMask=00/00;1;_\n"
                   "ObjectType=9\nName=Bare\nW=120\nH=24\nVarName=Bare\nEditMask=000;0;_\n"));
  QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(Inner(), &in);
  Type(Inner(), "12x3");
  EXPECT_EQ(Field()->LineEdit()->text(), "12/3_");
  EXPECT_EQ(Var("Date"), "12/3 ");
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(Inner(), &out);
  EXPECT_EQ(Var("LastError"), Msg(320));
  // The variable shows through the mask; literals not saved stay out.
  SetVariable("[LastError]", "");
  SetVariable("[Bare]", "45");
  EXPECT_EQ(Field("Bare")->LineEdit()->text(), "45_");
  Type(Inner("Bare"), "6");
  EXPECT_EQ(Var("Bare"), "456");
  Key(Inner("Bare"), Qt::Key_Backspace);
  EXPECT_EQ(Var("Bare"), "45");
}

TEST_F(EditField, FocusActionsRunAtOnceWithTheirCode) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=9\nName=E\nW=120\nH=24\n"
                   "ObjSetFocusAction=SetVar \"[f]\" \"![f]in,\"\n"
                   "ObjLoseFocusAction=SetVar \"[f]\" \"![f]out,\"\n"));
  QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(Inner(), &in);
  EXPECT_EQ(Var("f"), "in,");
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(Inner(), &out);
  EXPECT_EQ(Var("f"), "in,out,");
  Field()->SetEnabledState(false);
  QApplication::sendEvent(Inner(), &in);
  EXPECT_EQ(Var("f"), "in,out,");
}

TEST_F(EditField, InitialTextHotKeyAndTabStops) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=9\nName=E\nW=120\nH=24\nText=Hi\nVarName=A\nKey=65\n"
                   "ObjectType=9\nName=Off\nX=900\nY=10\nW=50\nH=24\n"
                   "NEWPAGE=Two\nObjectType=9\nName=Other\nText=There\nVarName=B\n"));
  EXPECT_EQ(Var("A"), "Hi");  // on the page shown first
  EXPECT_EQ(Var("B"), "");
  EXPECT_EQ(Field("Other")->Text(), "There");
  // Only a field inside the publication area is a tab stop.
  EXPECT_EQ(TheObjects().TabStops(1), (std::vector<QWidget*>{Inner("E")}));
  Inner("E")->clearFocus();
  EXPECT_TRUE(TheObjects().OfferHotKey(1, false, 65));
  EXPECT_EQ(view->focusWidget(), Inner("E"));
}

}  // namespace
