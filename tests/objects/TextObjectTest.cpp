// The text object: its record, variables shown in its text, its links, its
// font and colour defaults, scrolling and the page changes.
#include <QApplication>
#include <QMouseEvent>
#include <QTextDocument>
#include <QWheelEvent>

#include <optional>

#include "ObjectsTestSupport.h"
#include "actions/Vars.h"
#include "objects/ObjText.h"
#include "support/HostSpies.h"

using namespace vl;
using namespace vltest;

namespace {

class TextObject : public ObjectsTest {
 protected:
  // Variable changes reach the objects as in the player.
  void SetUp() override {
    ObjectsTest::SetUp();
    watch_.emplace([](const AnsiString& name, const AnsiString& value) { TheObjects().VarChanged(name, value); });
  }
  void TearDown() override {
    watch_.reset();
    ObjectsTest::TearDown();
  }
  std::optional<vltest::ScopedVarWatch> watch_;
  TVellionText* Text(std::string_view name = "T") { return As<TVellionText>(name); }
  static void Mouse(QWidget* w, QEvent::Type type, QPoint at) {
    QMouseEvent e(type, QPointF(at), QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  // Where the characters of `what` lie on the object.
  QPoint PointOn(TVellionText* t, const char* what) {
    TVelRichText* v = t->View();
    TRichMatch m = v->Find(what, 0, true);
    EXPECT_TRUE(m.found()) << what;
    for (int y = 0; y < t->height(); ++y) {
      for (int x = 0; x < t->width(); ++x) {
        QPoint at(x, y);
        int pos = v->PositionAt(QPointF(at - t->TextRect().topLeft()));
        if (pos > m.start && pos < m.start + m.length) return at;
      }
    }
    ADD_FAILURE() << "not shown: " << what;
    return {};
  }
  QImage Shot(QWidget* w) {
    QImage img(w->size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    w->render(&img);
    return img;
  }
};

TEST_F(TextObject, RecordKeysAndDefaults) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=8\nName=T\nX=10\nY=10\nW=200\nH=80\nTextColor=255\n"
                   "Font=Arial\nFontSize=14\nFontStyle=1\nHMargin=7\nVMargin=5\nLineWidth=2\n"
                   "WordWrap=No\nText=plain text\xB6second line\n"));
  TVellionText* t = Text();
  ASSERT_NE(t, nullptr);
  EXPECT_FALSE(t->WordWrap);
  EXPECT_EQ(t->TextRect(), QRect(9, 7, 200 - 18, 80 - 14));
  ASSERT_NE(t->View(), nullptr);
  EXPECT_EQ(t->View()->PlainText(), "plain text\r\nsecond line");
  EXPECT_FALSE(t->View()->WordWrap());
  // Text without a colour of its own takes the object's (red), in the
  // object's bold font.
  EXPECT_EQ(t->View()->DefaultColor(), QColor(255, 0, 0));
  EXPECT_TRUE(t->View()->Document()->defaultFont().bold());
  QImage img = Shot(t);
  int red = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) red += QColor(img.pixel(x, y)).red() > 200 && QColor(img.pixel(x, y)).green() < 80;
  EXPECT_GT(red, 30);
}

TEST_F(TextObject, VariablesInTheTextFollowTheirChanges) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=8\nName=T\nW=300\nH=60\n"
                   "Text={\\rtf1 Score {\\b [score]}, item [a[i]]}\n"));
  EXPECT_EQ(Text()->View()->PlainText(), "Score , item ");
  Click("SetVar \"[score]\" \"12\"\nSetVar \"[i]\" \"2\"\nSetVar \"[a2]\" \"two\"");
  EXPECT_EQ(Text()->View()->PlainText(), "Score 12, item two");
  // The element shown changes when its index changes, and when the element
  // itself changes.
  Click("SetVar \"[a3]\" \"three\"\nSetVar \"[i]\" \"3\"");
  EXPECT_EQ(Text()->View()->PlainText(), "Score 12, item three");
  Click("SetVar \"[a3]\" \"THREE\"");
  EXPECT_EQ(Text()->View()->PlainText(), "Score 12, item THREE");
  Click("SetVar \"[a2]\" \"no longer shown\"");
  EXPECT_EQ(Text()->View()->PlainText(), "Score 12, item THREE");
}

TEST_F(TextObject, ActionLinkSetsTheClickedTextThenRunsItsTarget) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=8\nName=T\nW=300\nH=60\nDragMode=1\n"
                   "Text={\\rtf1 Press {\\uldb here}{\\v SetVar \"[seen]\" \"[HyperlinkClickedText]\"\\'b6SetVar \"[two]\" \"yes\"} now}\n"));
  TVellionText* t = Text();
  QPoint at = PointOn(t, "here");
  // The link is drawn in the link colour (the default: blue).
  QImage img = Shot(t);
  bool blue = false;
  for (int dx = -8; dx <= 8 && !blue; ++dx)
    for (int dy = -6; dy <= 6 && !blue; ++dy) {
      QPoint q(at.x() + dx, at.y() + dy);
      if (!img.rect().contains(q)) continue;
      QColor c(img.pixel(q));
      blue = c.blue() > 180 && c.red() < 80 && c.green() < 80;
    }
  EXPECT_TRUE(blue);
  Mouse(t, QEvent::MouseButtonPress, at);
  Mouse(t, QEvent::MouseButtonRelease, at);
  EXPECT_EQ(Var("HyperlinkClickedText"), "here");
  EXPECT_EQ(Var("seen"), "");  // queued: it runs after the click returns
  Drain();
  EXPECT_EQ(Var("seen"), "here");
  EXPECT_EQ(Var("two"), "yes");
  // A click beside the link (on a draggable object) runs nothing.
  Click("SetVar \"[HyperlinkClickedText]\" \"\"");
  QPoint off = PointOn(t, "now");
  Mouse(t, QEvent::MouseButtonPress, off);
  Mouse(t, QEvent::MouseButtonRelease, off);
  Drain();
  EXPECT_EQ(Var("HyperlinkClickedText"), "");
}

TEST_F(TextObject, ScrollPositionIsKeptAcrossPageChanges) {
  std::string text = "Text=";
  for (int i = 0; i < 40; ++i) text += "line " + std::to_string(i) + "\xB6";
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=8\nName=T\nW=200\nH=60\n" + text + "\nNEWPAGE=Two\n"));
  TVellionText* t = Text();
  ASSERT_GT(t->View()->MaxScrollY(), 0);
  QWheelEvent wheel(QPointF(10, 10), t->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(t, &wheel);
  int scrolled = t->View()->ScrollY();
  EXPECT_GT(scrolled, 0);
  nav.ChangePage(2, false);
  EXPECT_EQ(t->View(), nullptr);
  nav.ChangePage(1, false);
  ASSERT_NE(t->View(), nullptr);
  EXPECT_EQ(t->View()->ScrollY(), scrolled);
}

TEST_F(TextObject, FontChangeReplacesOrAddsStyles) {
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=8\nName=T\nW=300\nH=60\nFont=Arial\nFontSize=10\n"
                   "Text={\\rtf1 {\\i slanted} plain}\nNEWPAGE=Two\n"));
  TVellionText* t = Text();
  t->FontStyle = 1;
  t->FontSize = 20;
  t->ChangeFont(1);
  EXPECT_NE(t->Txt.find("\\b"), AnsiString::npos);
  EXPECT_NE(t->Txt.find("\\i"), AnsiString::npos);  // added to the run's own
  EXPECT_NE(t->Txt.find("\\fs40"), AnsiString::npos);
  // Without a view the change waits for the next one.
  nav.ChangePage(2, false);
  t->FontStyle = 0;
  t->ChangeFont(2);
  nav.ChangePage(1, false);
  AnsiString saved = t->View()->SaveRtf();
  EXPECT_EQ(saved.find("\\i"), AnsiString::npos) << saved;
  EXPECT_EQ(saved.find("\\b"), AnsiString::npos) << saved;
}

}  // namespace
