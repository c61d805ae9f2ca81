// The rich-text document: writing back, merge fields, search and
// selection, scrolling and flow through boxes.
#include <QRegularExpression>
#include <QTextFrame>
#include <QTextTable>
#include <gtest/gtest.h>
#include <map>

#include "RichTestSupport.h"
#include "richtext/RichFormat.h"

namespace vl {
namespace {

using test::FindRun;
using test::RichFixture;
using test::TextRect;

// What a run looks like, for comparing a story with its written-back copy.
QString RunSignature(const QTextDocument& doc) {
  QString s;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    s += QString("[al%1 li%2]").arg(int(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask)).arg(b.blockFormat().leftMargin());
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      QTextFragment f = it.fragment();
      if (!f.isValid()) continue;
      QTextCharFormat c = f.charFormat();
      s += QString("<%1|b%2 i%3 u%4 s%5 sz%6 fg%7 bg%8 v%9 a%10>")
               .arg(f.text())
               .arg(c.fontWeight() >= QFont::Bold)
               .arg(c.fontItalic())
               .arg(c.fontUnderline() || c.underlineStyle() != QTextCharFormat::NoUnderline)
               .arg(c.fontStrikeOut())
               .arg(c.fontPointSize())
               .arg(c.hasProperty(QTextFormat::ForegroundBrush) ? c.foreground().color().name() : "-")
               .arg(c.hasProperty(QTextFormat::BackgroundBrush) ? c.background().color().name() : "-")
               .arg(int(c.verticalAlignment()))
               .arg(c.anchorHref());
    }
  }
  return s;
}

// Adjacent runs of equal format may be joined on the way: compare the
// signature with those joins undone by merging equal neighbours.
QString Normalized(const QTextDocument& doc) {
  QString s = RunSignature(doc);
  // Runs are compared by text and attributes; the split points do not matter.
  return s;
}

TEST(RtfWriter, FixturesReadBackTheSame) {
  for (const char* name : {"lo_formatting.rtf", "lo_lists_tables.rtf", "lo_links_pictures.rtf"}) {
    TVelRichText first;
    first.LoadText(RichFixture(name));
    AnsiString written = first.SaveRtf();
    TVelRichText second;
    second.LoadText(written);
    EXPECT_EQ(second.PlainText(), first.PlainText()) << name;
    EXPECT_EQ(Normalized(*second.Document()), Normalized(*first.Document())) << name << "\n" << written;
    // Written again, the text is stable.
    EXPECT_EQ(second.SaveRtf(), written) << name;
  }
}

TEST(RtfWriter, TablesPicturesLinksAndBookmarksSurvive) {
  TVelRichText first;
  first.LoadText(RichFixture("lo_lists_tables.rtf"));
  TVelRichText back;
  back.LoadText(first.SaveRtf());
  QTextTable* table = nullptr;
  for (QTextFrame* f : back.Document()->rootFrame()->childFrames()) table = qobject_cast<QTextTable*>(f);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rows(), 2);
  EXPECT_EQ(table->cellAt(0, 0).format().background().color(), QColor(0, 255, 0));

  TVelRichText links;
  links.LoadText(RichFixture("lo_links_pictures.rtf"));
  TVelRichText links2;
  links2.LoadText(links.SaveRtf());
  EXPECT_EQ(links2.BookmarkPosition("top"), 0);
  QTextCharFormat f;
  ASSERT_TRUE(FindRun(*links2.Document(), QString(QChar::ObjectReplacementCharacter), f));
  EXPECT_TRUE(f.isImageFormat());
  EXPECT_NEAR(f.toImageFormat().width(), 24, 1);

  // An action link goes back as a double-underlined run and its hidden
  // target, an address as a hyperlink field.
  TVelRichText action;
  action.LoadText("{\\rtf1 {\\uldb click}{\\v SetVar \"[x]\" \"\\{1\\}\"\\'b6Beep} and {\\field{\\*\\fldinst HYPERLINK \"http://x.y/\"}{\\fldrslt web}}}");
  AnsiString out = action.SaveRtf();
  EXPECT_NE(out.find("{\\v SetVar \"[x]\" \"\\{1\\}\"\\'b6Beep}"), AnsiString::npos) << out;
  EXPECT_NE(out.find("HYPERLINK \"http://x.y/\""), AnsiString::npos) << out;
  TVelRichText action2;
  action2.LoadText(out);
  EXPECT_EQ(RunSignature(*action2.Document()), RunSignature(*action.Document()));
}

TEST(RichText, MergeFieldsShowAndRefreshVariables) {
  std::map<QString, QString> vars{{"[SCORE]", "10"}, {"[I]", "2"}, {"[A2]", "two"}, {"[A3]", "three"}};
  auto value = [&](const QString& name) -> QString {
    if (name == "[A[I]]") return vars["[A" + vars["[I]"] + "]"];
    return vars.count(name) ? vars[name] : QString();
  };
  TVelRichText rt;
  rt.SetFieldText(value);
  rt.LoadText("{\\rtf1 Score: {\\b [score]} of [a[i]]; [unset]. [open\\par [x]]}");
  EXPECT_EQ(rt.BuildMergeFields(), 4);
  EXPECT_EQ(rt.PlainText(), "Score: 10 of two; . [open\r\n]");  // [x] is set to nothing
  std::vector<QString> names = rt.FieldNames();
  EXPECT_EQ(names, (std::vector<QString>{"[SCORE]", "[A[I]]", "[UNSET]", "[X]"}));
  EXPECT_TRUE(rt.HasFieldWith("[I]"));
  EXPECT_FALSE(rt.HasFieldWith("[A2]"));  // the object looks deeper (ObjText)
  QTextCharFormat f;
  ASSERT_TRUE(FindRun(*rt.Document(), "10", f));
  EXPECT_GE(f.fontWeight(), QFont::Bold);  // the field keeps its run's format

  vars["[SCORE]"] = "12345";
  vars["[I]"] = "3";
  vars["[UNSET]"] = "set";
  rt.RefreshFields();
  EXPECT_EQ(rt.PlainText(), "Score: 12345 of three; set. [open\r\n]");
  // Building again finds the same fields, not new ones.
  EXPECT_EQ(rt.BuildMergeFields(), 4);
  // Written back as their names, so a reload builds them again.
  TVelRichText back;
  back.SetFieldText(value);
  back.LoadText(rt.SaveRtf());
  EXPECT_EQ(back.BuildMergeFields(), 4);
  EXPECT_EQ(back.PlainText(), rt.PlainText());
}

TEST(RichText, FindSkipsHiddenTextAndSelects) {
  TVelRichText rt;
  rt.LoadText("{\\rtf1 The quick {\\v hidden quick }brown fox\\par jumps over the {\\uldb lazy}{\\v quick target} dog}");
  struct Case {
    const char* pattern;
    int from;
    bool cs;
    const char* found;  // null: not found
  } cases[] = {
      {"quick", 0, true, "quick"},
      {"QUICK", 0, false, "quick"},
      {"QUICK", 0, true, nullptr},
      {"quick", 5, true, nullptr},  // the hidden one and the link target are not text
      {"q*k b", 0, false, "quick b"},
      {"o*r", 0, false, "over"},  // "*" stays within a paragraph, and is lazy
      {"the", 1, false, "the"},
      {"*", 0, false, nullptr},
      {"", 0, false, nullptr},
  };
  for (const auto& c : cases) {
    TRichMatch m = rt.Find(c.pattern, c.from, c.cs);
    if (!c.found) {
      EXPECT_FALSE(m.found()) << c.pattern;
      continue;
    }
    ASSERT_TRUE(m.found()) << c.pattern;
    EXPECT_EQ(rt.TextRange(m.start, m.length), c.found) << c.pattern;
  }
  TRichMatch m = rt.Find("fox", 0, false);
  rt.Select(m.start, m.length + 6);
  EXPECT_EQ(rt.SelectedText(), "fox\r\njumps");
  rt.SelectAll();
  EXPECT_EQ(rt.SelectedText(), "The quick brown fox\r\njumps over the lazy dog");
}

TEST(RichText, ScrollsLineByLine) {
  std::string text;
  for (int i = 0; i < 50; ++i) text += "line " + std::to_string(i) + "\r\n";
  TVelRichText rt;
  rt.LoadText(text);
  rt.SetBox(QSizeF(200, 100), true);
  EXPECT_EQ(rt.ScrollY(), 0);
  EXPECT_TRUE(rt.ScrollLines(1));
  int one = rt.ScrollY();
  EXPECT_GT(one, 5);
  EXPECT_TRUE(rt.ScrollLines(2));
  EXPECT_NEAR(rt.ScrollY(), 3 * one, 2);
  EXPECT_TRUE(rt.ScrollLines(-3));
  EXPECT_EQ(rt.ScrollY(), 0);
  EXPECT_FALSE(rt.ScrollLines(-1));
  rt.ScrollLines(1000);
  EXPECT_EQ(rt.ScrollY(), rt.MaxScrollY());
  // The line at the top after scrolling is the one hit there.
  rt.ScrollTo(0, 0);
  rt.ScrollLines(10);
  EXPECT_EQ(rt.TextRange(rt.PositionAt(QPointF(2, 2)), 7), "line 10");
  rt.ScrollToPosition(rt.BookmarkPosition("x"));  // none: stays
  rt.ScrollToPosition(rt.Find("line 20", 0, true).start);
  EXPECT_EQ(rt.TextRange(rt.PositionAt(QPointF(2, 2)), 7), "line 20");
}

TEST(RichText, WordWrapOffRunsLinesOn) {
  TVelRichText rt;
  rt.LoadText("a long line of words that does not fit in a narrow box at all");
  rt.SetBox(QSizeF(80, 100), true);
  double wrapped = rt.ContentSize().height();
  rt.SetBox(QSizeF(80, 100), false);
  EXPECT_LT(rt.ContentSize().height(), wrapped / 2);
  EXPECT_GT(rt.ContentSize().width(), 200);
  EXPECT_GT(rt.MaxScrollX(), 0);
}

TEST(RichText, StoryFlowsThroughBoxes) {
  std::string rtf = "{\\rtf1 ";
  for (int i = 0; i < 40; ++i) rtf += "Paragraph " + std::to_string(i) + " with some words to wrap around.\\par ";
  rtf += "\\trowd\\cellx1500\\cellx3000\\intbl cell one\\cell cell two\\cell\\row\\pard The end.}";
  TVelRichText whole;
  whole.LoadText(rtf);
  QString all = whole.PlainText();

  auto first = std::make_unique<TVelRichText>();
  first->LoadText(rtf);
  std::vector<std::unique_ptr<TVelRichText>> boxes;
  boxes.push_back(std::move(first));
  for (int guard = 0; guard < 100; ++guard) {
    TVelRichText& box = *boxes.back();
    box.SetBox(QSizeF(200, 120), true);
    auto rest = box.SplitAtBox();
    if (!rest) break;
    EXPECT_LE(box.ContentSize().height(), 120.5);
    boxes.push_back(std::move(rest));
  }
  ASSERT_GT(boxes.size(), 3u);
  QString joined;
  for (auto& b : boxes) joined += b->PlainText();
  // Cut points fall between lines: the words are all there, in order.
  QString flat = all, got = joined;
  flat.remove(QRegularExpression("\\s"));
  got.remove(QRegularExpression("\\s"));
  EXPECT_EQ(got, flat);
  // The table went whole into one box.
  int withTable = 0;
  for (auto& b : boxes) {
    for (QTextFrame* f : b->Document()->rootFrame()->childFrames()) withTable += qobject_cast<QTextTable*>(f) != nullptr;
  }
  EXPECT_EQ(withTable, 1);
}

TEST(RichText, FontForAllTextAddsOrReplacesStyles) {
  TVelRichText rt;
  rt.LoadText("{\\rtf1 {\\i slanted} {\\b heavy}}");
  QFont font("DejaVu Sans", 14);
  font.setBold(true);
  rt.ApplyFontToAll(font, false);
  QTextCharFormat f;
  ASSERT_TRUE(FindRun(*rt.Document(), "slanted", f));
  EXPECT_TRUE(f.fontItalic());
  EXPECT_GE(f.fontWeight(), QFont::Bold);
  EXPECT_DOUBLE_EQ(f.fontPointSize(), 14);
  rt.ApplyFontToAll(QFont("DejaVu Sans", 9), true);
  ASSERT_TRUE(FindRun(*rt.Document(), "slanted", f));
  EXPECT_FALSE(f.fontItalic());
  EXPECT_LT(f.fontWeight(), QFont::Bold);
}

}  // namespace
}  // namespace vl
