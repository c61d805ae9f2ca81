// Articles and linked articles: their files, links and jumps, scrolling
// across page changes, and one story flowing through linked boxes.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegularExpression>

#include <optional>

#include "ObjectsTestSupport.h"
#include "actions/Vars.h"
#include "objects/ObjArticle.h"
#include "support/TestSupport.h"
#include "support/HostSpies.h"

using namespace vl;
using namespace vltest;

namespace {

class ArticleObject : public ObjectsTest {
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
  TempDir dir;
  std::string File(const char* name, const std::string& bytes) {
    WriteFileBytes(dir / name, bytes);
    return (dir / name).string();
  }
  static void Mouse(QWidget* w, QEvent::Type type, QPoint at) {
    QMouseEvent e(type, QPointF(at), QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  static QPoint PointOn(TBaseArticle* a, const char* what) {
    TVelRichText* v = a->View();
    TRichMatch m = v->Find(what, 0, true);
    EXPECT_TRUE(m.found()) << what;
    for (int y = 0; y < a->height(); ++y)
      for (int x = 0; x < a->width(); ++x) {
        int pos = v->PositionAt(QPointF(QPoint(x, y) - a->TextRect().topLeft()));
        if (pos > m.start && pos < m.start + m.length) return {x, y};
      }
    ADD_FAILURE() << "not shown: " << what;
    return {};
  }
  static void Key(QWidget* w, int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
};

TEST_F(ArticleObject, TxtFileWithCodesLinksAndJumps) {
  std::string lines = "^Mtop^mThe ^Bstart^b with ^Lan action=SetVar \"[hit]\" \"yes\"|SetVar \"[n]\" \"2\"^l.\r\n\r\n";
  for (int i = 0; i < 30; ++i) lines += "filler line " + std::to_string(i) + "\r\n\r\n";
  lines += "^Lback up=:top^l\r\n";
  std::string path = File("story.txt", lines);
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=2\nName=A\nW=300\nH=120\nFileName=" + path + "\nNEWPAGE=Two\n"));
  auto* a = As<TVellionArticle>("A");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(a->View(), nullptr);
  EXPECT_TRUE(a->View()->PlainText().startsWith("The start with an action. "));
  QPoint at = PointOn(a, "action");
  Mouse(a, QEvent::MouseButtonPress, at);
  Mouse(a, QEvent::MouseButtonRelease, at);
  Drain();
  EXPECT_EQ(Var("HyperlinkClickedText"), "an action");
  EXPECT_EQ(Var("hit"), "yes");
  EXPECT_EQ(Var("n"), "2");

  // Down arrow scrolls a line; the link at the end jumps back to the
  // bookmark at the top.
  Key(a, Qt::Key_Down);
  EXPECT_GT(a->View()->ScrollY(), 0);
  a->View()->ScrollTo(0, a->View()->MaxScrollY());
  QPoint back = PointOn(a, "back up");
  Mouse(a, QEvent::MouseButtonPress, back);
  Mouse(a, QEvent::MouseButtonRelease, back);
  EXPECT_EQ(a->View()->ScrollY(), 0);

  // The scroll position survives a page change; a reload starts at the top.
  a->View()->ScrollTo(0, 40);
  nav.ChangePage(2, false);
  nav.ChangePage(1, false);
  EXPECT_EQ(a->View()->ScrollY(), 40);
  a->Reload(true);
  EXPECT_EQ(a->View()->ScrollY(), 0);
}

TEST_F(ArticleObject, FileNameWithVariableReloads) {
  std::string one = File("one.rtf", "{\\rtf1 first file}");
  File("two.rtf", "{\\rtf1 second file [who]}");
  std::string pattern = one.substr(0, one.size() - 7) + "[which].rtf";
  Click("SetVar \"[which]\" \"one\"\nSetVar \"[who]\" \"me\"");
  ASSERT_TRUE(Load("NEWPAGE=One\nObjectType=2\nName=A\nW=300\nH=100\nFileName=" + pattern + "\n"));
  auto* a = As<TVellionArticle>("A");
  EXPECT_EQ(a->View()->PlainText(), "first file");
  Click("SetVar \"[which]\" \"two\"");
  EXPECT_EQ(a->View()->PlainText(), "second file me");
  Click("SetVar \"[who]\" \"you\"");
  EXPECT_EQ(a->View()->PlainText(), "second file you");
  Click("SetVar \"[which]\" \"missing\"");
  EXPECT_EQ(a->View()->PlainText(), "");
}

TEST_F(ArticleObject, LinkedArticlesShowConsecutivePartsAndReflow) {
  std::string rtf = "{\\rtf1 ";
  for (int i = 0; i < 30; ++i) rtf += "Paragraph " + std::to_string(i) + " of the story goes on.\\par ";
  rtf += "}";
  std::string path = File("story.rtf", rtf);
  auto box = [&](const char* name) {
    return std::string("ObjectType=24\nName=") + name + "\nW=220\nH=90\nFileName=" + path + "\n";
  };
  ASSERT_TRUE(Load("NEWPAGE=One\nNEWPAGE=Two\n" + box("L1") + "NEWPAGE=Three\n" + box("L2") +
                   "NEWPAGE=Four\nNEWPAGE=Five\n" + box("L3")));
  auto* l1 = As<TVellionLinkedArticle>("L1");
  auto* l2 = As<TVellionLinkedArticle>("L2");
  auto* l3 = As<TVellionLinkedArticle>("L3");
  ASSERT_TRUE(l1 && l2 && l3);
  EXPECT_EQ(l1->LinkNext, l2);
  EXPECT_EQ(l2->LinkNext, l3);
  EXPECT_EQ(l3->LinkPrev, l2);
  auto text = [](TVellionLinkedArticle* a) {
    TVelRichText v;
    v.LoadText(a->Txt);
    return v.PlainText();
  };
  QString t1 = text(l1), t2 = text(l2), t3 = text(l3);
  EXPECT_TRUE(t1.startsWith("Paragraph 0 "));
  ASSERT_FALSE(t2.isEmpty());
  EXPECT_TRUE(t2.startsWith("Paragraph")) << t2.toStdString();
  EXPECT_FALSE(t2.contains("Paragraph 0 "));
  // Shown on its page, the box holds what was flowed into it.
  nav.ChangePage(3, false);
  ASSERT_NE(l2->View(), nullptr);
  EXPECT_EQ(l2->View()->PlainText(), t2);
  EXPECT_LE(l2->View()->ContentSize().height(), 90.5);

  // Making the first box taller moves text out of the second.
  l1->resize(220, 200);
  Drain();
  EXPECT_GT(text(l1).size(), t1.size());
  EXPECT_NE(l2->View()->PlainText(), t2);
  QString joined = text(l1) + l2->View()->PlainText() + text(l3);
  EXPECT_TRUE(joined.contains("Paragraph 0 ") && joined.contains("Paragraph 9 "));
}

}  // namespace
