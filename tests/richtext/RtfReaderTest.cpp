// The RTF reader on RTF written by LibreOffice Writer (fixtures/, made by
// fixtures/make_fixtures.sh) and on small hand-written RTF for the
// constructs word processors write and for damaged input.
#include <QTextTable>
#include <QTextFrame>
#include <gtest/gtest.h>

#include "RichTestSupport.h"
#include "richtext/RichFormat.h"

namespace vl {
namespace {

using test::CountPixels;
using test::FindRun;
using test::PaintRich;
using test::RichFixture;
using test::TextRect;

bool Reddish(QColor c) { return c.red() > 180 && c.green() < 90 && c.blue() < 90; }
bool Blueish(QColor c) { return c.blue() > 180 && c.red() < 90 && c.green() < 90; }
bool Yellowish(QColor c) { return c.red() > 230 && c.green() > 230 && c.blue() < 40; }
bool Greenish(QColor c) { return c.green() > 180 && c.red() < 60 && c.blue() < 60; }
bool Dark(QColor c) { return c.lightness() < 100; }

TEST(RtfReader, LibreOfficeFormattingRunsAndParagraphs) {
  std::string rtf = RichFixture("lo_formatting.rtf");
  ASSERT_FALSE(rtf.empty());
  TVelRichText rt;
  rt.LoadText(rtf);
  const QTextDocument& doc = *rt.Document();
  EXPECT_TRUE(rt.PlainText().startsWith("Plain bold italic underlined struck text.\r\n"));

  QTextCharFormat f;
  ASSERT_TRUE(FindRun(doc, "bold", f));
  EXPECT_GE(f.fontWeight(), QFont::Bold);
  ASSERT_TRUE(FindRun(doc, "italic", f));
  EXPECT_TRUE(f.fontItalic());
  ASSERT_TRUE(FindRun(doc, "underlined", f));
  EXPECT_TRUE(f.fontUnderline());
  ASSERT_TRUE(FindRun(doc, "struck", f));
  EXPECT_TRUE(f.fontStrikeOut());
  EXPECT_EQ(f.fontFamilies().toStringList().value(0), "Liberation Serif");
  ASSERT_TRUE(FindRun(doc, "Red", f));
  EXPECT_EQ(f.foreground().color(), QColor(255, 0, 0));
  EXPECT_DOUBLE_EQ(f.fontPointSize(), 18.0);
  ASSERT_TRUE(FindRun(doc, "shaded", f));
  EXPECT_EQ(f.background().color(), QColor(255, 255, 0));
  ASSERT_TRUE(FindRun(doc, " and ", f));
  EXPECT_FALSE(f.hasProperty(QTextFormat::ForegroundBrush));  // the default colour

  // Paragraphs: alignment and indent (1440 twips = 96 pixels).
  QTextBlock centred = doc.findBlock(rt.Find("Centred", 0, true).start);
  EXPECT_TRUE(centred.blockFormat().alignment() & Qt::AlignHCenter);
  EXPECT_TRUE(doc.findBlock(rt.Find("Right line", 0, true).start).blockFormat().alignment() & Qt::AlignRight);
  EXPECT_DOUBLE_EQ(doc.findBlock(rt.Find("Indented", 0, true).start).blockFormat().leftMargin(), 96.0);

  // Super- and subscript (\up, \dn) and text beyond the code page (\uN with
  // its ANSI fallback skipped).
  int pos = -1;
  ASSERT_TRUE(FindRun(doc, "2", f, &pos));
  EXPECT_EQ(f.verticalAlignment(), QTextCharFormat::AlignSuperScript);
  EXPECT_TRUE(rt.PlainText().contains(QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC \xCE\xA9 \xE4\xB8\xAD.")));
}

TEST(RtfReader, LibreOfficeColouredRunsPaint) {
  TVelRichText rt;
  rt.LoadText(RichFixture("lo_formatting.rtf"));
  rt.SetBox(QSizeF(600, 400), true);
  QImage img = PaintRich(rt, QSize(600, 400));
  const QTextDocument& doc = *rt.Document();
  int red = rt.Find("Red", 0, true).start, blue = rt.Find("blue", 0, true).start,
      shaded = rt.Find("shaded", 0, true).start;
  EXPECT_GT(CountPixels(img, TextRect(doc, red, 3).toRect(), Reddish), 20);
  EXPECT_GT(CountPixels(img, TextRect(doc, blue, 4).toRect(), Blueish), 20);
  QRect shade = TextRect(doc, shaded, 6).toRect();
  EXPECT_GT(CountPixels(img, shade, Yellowish), shade.width() * shade.height() / 3);
  // Black text stays black: the runs in the default colour.
  EXPECT_GT(CountPixels(img, TextRect(doc, 0, 5).toRect(), Dark), 20);
}

TEST(RtfReader, LibreOfficeListsAndTables) {
  TVelRichText rt;
  rt.LoadText(RichFixture("lo_lists_tables.rtf"));
  rt.SetBox(QSizeF(600, 400), true);
  const QTextDocument& doc = *rt.Document();
  QString text = rt.PlainText();
  EXPECT_TRUE(text.contains(QString::fromUtf8("\xE2\x80\xA2\tFirst bullet"))) << text.toStdString();
  EXPECT_TRUE(text.contains("1.\tOne")) << text.toStdString();
  EXPECT_TRUE(text.contains("2.\tTwo"));

  QTextTable* table = nullptr;
  for (QTextFrame* f : doc.rootFrame()->childFrames()) {
    if (auto* t = qobject_cast<QTextTable*>(f)) table = t;
  }
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rows(), 2);
  EXPECT_EQ(table->columns(), 2);
  auto cellText = [&](int r, int c) {
    QTextCursor cur = table->cellAt(r, c).firstCursorPosition();
    cur.setPosition(table->cellAt(r, c).lastPosition(), QTextCursor::KeepAnchor);
    return cur.selectedText();
  };
  EXPECT_EQ(cellText(0, 0), "Green cell");
  EXPECT_EQ(cellText(0, 1), "Plain cell");
  EXPECT_EQ(cellText(1, 1), "Blue cell");
  EXPECT_EQ(table->cellAt(0, 0).format().background().color(), QColor(0, 255, 0));
  // The paragraph after the table is outside it.
  int after = rt.Find("After the table.", 0, true).start;
  ASSERT_GE(after, 0);
  EXPECT_EQ(doc.findBlock(after).text(), "After the table.");
  EXPECT_GT(after, table->lastPosition());

  // Pixels: the shaded cells and the bullet before its text.
  QImage img = PaintRich(rt, QSize(600, 400));
  QRectF g = doc.documentLayout()->blockBoundingRect(table->cellAt(0, 0).firstCursorPosition().block());
  EXPECT_GT(CountPixels(img, g.toRect(), Greenish), 50);
  QRectF b = doc.documentLayout()->blockBoundingRect(table->cellAt(1, 1).firstCursorPosition().block());
  EXPECT_GT(CountPixels(img, b.toRect(), Blueish), 50);
  int first = rt.Find("First bullet", 0, true).start;
  QRectF line = TextRect(doc, first, 5);
  QTextBlock bulletBlock = doc.findBlock(first);
  QRect bullet(0, static_cast<int>(line.top()), static_cast<int>(line.left()) - 1, static_cast<int>(line.height()));
  EXPECT_GT(CountPixels(img, bullet, Dark), 4) << bulletBlock.text().toStdString();
}

TEST(RtfReader, LibreOfficeLinksBookmarksAndPictures) {
  TVelRichText rt;
  rt.LoadText(RichFixture("lo_links_pictures.rtf"));
  rt.SetBox(QSizeF(600, 300), true);
  const QTextDocument& doc = *rt.Document();
  int at = rt.Find("example site", 0, true).start;
  ASSERT_GE(at, 0);
  QRectF r = TextRect(doc, at, 4);
  TRichLink link = rt.LinkAt(r.center());
  EXPECT_EQ(link.target, "https://example.org/page");
  EXPECT_EQ(link.text, "the example site");
  // A link to a bookmark of the same text becomes a jump.
  int top = rt.Find("the top", 0, true).start;
  EXPECT_EQ(rt.LinkAt(TextRect(doc, top, 3).center()).target, ":top");
  EXPECT_EQ(rt.BookmarkPosition("TOP"), 0);
  EXPECT_EQ(rt.BookmarkPosition("nowhere"), -1);
  EXPECT_FALSE(rt.LinkAt(TextRect(doc, rt.Find("Visit", 0, true).start, 3).center()).valid());

  // The PNG picture, through our decoder, at its goal size.
  QTextCharFormat f;
  int pic = -1;
  ASSERT_TRUE(FindRun(doc, QString(QChar::ObjectReplacementCharacter), f, &pic));
  ASSERT_TRUE(f.isImageFormat());
  EXPECT_NEAR(f.toImageFormat().width(), 24, 1);
  EXPECT_NEAR(f.toImageFormat().height(), 16, 1);
  QImage img = PaintRich(rt, QSize(600, 300));
  EXPECT_GT(CountPixels(img, TextRect(doc, pic, 1).toRect(), Greenish), 200);
}

// Hand-written RTF: what word processors write beyond LibreOffice's habits.
TEST(RtfReader, CharacterSetsAndUnicode) {
  struct Case {
    const char* rtf;
    const char* utf8;
  } cases[] = {
      // \ansicpg and \'xx
      {"{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \\'80}", "caf\xC3\xA9 \xE2\x82\xAC"},
      // a font's character set decides its \'xx (Cyrillic)
      {"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}\\f1 \\'cf\\'f0\\f0 \\'e9}",
       "\xD0\x9F\xD1\x80\xC3\xA9"},
      // \uN with \ucN fallbacks skipped, negative \u, out-of-range \u
      {"{\\rtf1 a\\u8364?b\\uc2\\u937\\'3f\\'3fc}", "a\xE2\x82\xAC" "b\xCE\xA9" "c"},
      {"{\\rtf1 \\u-3913?}", "\xEF\x82\xB7"},
      {"{\\rtf1 x\\u99999?y\\u0?z}", "x\xEF\xBF\xBDy\xEF\xBF\xBDz"},
      // \uc0: no fallback; the skip ends with its group
      {"{\\rtf1 {\\uc3\\u8364}de}", "\xE2\x82\xAC" "de"},
      // line feeds between a control word and its text, and inside text
      {"{\\rtf1 \\b\r\nbold\\b0\r\n text\r\nmore}", "bold textmore"},
      // special characters
      {"{\\rtf1 a\\tab b\\emdash c\\~d\\{\\}\\\\}", "a\tb\xE2\x80\x94" "c\xC2\xA0" "d{}\\"},
      // a Symbol-font bullet
      {"{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}{\\f1 \\'b7}\\f0  x}", "\xE2\x80\xA2 x"},
  };
  for (const auto& c : cases) {
    TVelRichText rt;
    rt.LoadText(c.rtf);
    EXPECT_EQ(rt.PlainText().toStdString(), c.utf8) << c.rtf;
  }
}

TEST(RtfReader, FontTableWithAlternativesAndDefaultFont) {
  TVelRichText rt;
  rt.LoadText(
      "{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0\\froman\\fcharset0 Times{\\*\\panose 02020603}{\\*\\falt Tms Rmn};}"
      "{\\f1\\fswiss\\fcharset0 Liberation Sans{\\*\\falt Arial};}}"
      "{\\colortbl;\\red0\\green128\\blue0;}"
      "default {\\f0 times} {\\f7\\cf9 unknown font and colour} {\\cf1 green}}");
  QTextCharFormat f;
  ASSERT_TRUE(FindRun(*rt.Document(), "default", f));
  EXPECT_EQ(f.fontFamilies().toStringList().value(0), "Liberation Sans");
  ASSERT_TRUE(FindRun(*rt.Document(), "times", f));
  EXPECT_NE(f.fontFamilies().toStringList().value(0), "Liberation Sans");
  ASSERT_TRUE(FindRun(*rt.Document(), "unknown", f));
  EXPECT_EQ(f.fontFamilies().toStringList().value(0), "Liberation Sans");
  EXPECT_FALSE(f.hasProperty(QTextFormat::ForegroundBrush));
  ASSERT_TRUE(FindRun(*rt.Document(), "green", f));
  EXPECT_EQ(f.foreground().color(), QColor(0, 128, 0));
  EXPECT_EQ(rt.PlainText(), "default times unknown font and colour green");
}

TEST(RtfReader, HiddenTextIsKeptOutOfTheStory) {
  TVelRichText rt;
  rt.LoadText("{\\rtf1 see {\\v secret }this\\par}");
  EXPECT_EQ(rt.PlainText(), "see this\r\n");
  EXPECT_FALSE(rt.Find("secret", 0, false).found());
  // ... but written back.
  TVelRichText back;
  back.LoadText(rt.SaveRtf());
  QTextCharFormat f;
  ASSERT_TRUE(FindRun(*back.Document(), "this", f));
  EXPECT_EQ(f.property(rich::kPropHiddenBefore).toString(), "secret ");
}

TEST(RtfReader, DoubleUnderlineThenHiddenIsALink) {
  TVelRichText rt;
  rt.LoadText("{\\rtf1 Go {\\uldb to page\\'e9}{\\v GotoPage \"2\"\\'b6Beep} now {\\uldb plain}}");
  rt.SetBox(QSizeF(500, 100), true);
  EXPECT_EQ(rt.PlainText(), QString::fromUtf8("Go to page\xC3\xA9 now plain"));
  int at = rt.Find("page", 0, true).start;
  TRichLink link = rt.LinkAt(TextRect(*rt.Document(), at, 4).center());
  EXPECT_EQ(link.text, QString::fromUtf8("to page\xC3\xA9"));
  EXPECT_EQ(link.target, QString::fromUtf8("GotoPage \"2\"\xC2\xB6" "Beep"));
  // A double underline with no hidden run after it is only an underline.
  EXPECT_FALSE(rt.LinkAt(TextRect(*rt.Document(), rt.Find("plain", 0, true).start, 5).center()).valid());
}

TEST(RtfReader, HyperlinkFieldForms) {
  struct Case {
    const char* inst;
    const char* target;
  } cases[] = {
      {"HYPERLINK \"http://a.b/c\"", "http://a.b/c"},
      {"HYPERLINK http://a.b/c \\\\o \"tip\"", "http://a.b/c"},
      {"HYPERLINK \\\\l \"mark\"", ":mark"},
      {" HYPERLINK \"#mark\" ", ":mark"},
      {"PAGE", ""},
  };
  for (const auto& c : cases) {
    TVelRichText rt;
    rt.LoadText(std::string("{\\rtf1 {\\field{\\*\\fldinst {") + c.inst + "}}{\\fldrslt {\\ul link}}} after}");
    rt.SetBox(QSizeF(500, 100), true);
    EXPECT_EQ(rt.PlainText(), "link after") << c.inst;
    EXPECT_EQ(rt.LinkAt(TextRect(*rt.Document(), 0, 4).center()).target, c.target) << c.inst;
  }
}

TEST(RtfReader, HandWrittenTableWithShadingAndParagraphs) {
  TVelRichText rt;
  rt.LoadText(
      "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}"
      "before\\par\\trowd\\trgaph60\\clcbpat1\\cellx1500\\cellx3000 \\intbl A1\\cell \\intbl B1\\par second\\cell\\row"
      "\\trowd\\cellx1500\\cellx3000\\cellx4500 \\intbl A2\\cell B2\\cell C2\\cell\\row\\pard after\\par}");
  QTextTable* table = nullptr;
  for (QTextFrame* f : rt.Document()->rootFrame()->childFrames()) table = qobject_cast<QTextTable*>(f);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rows(), 2);
  EXPECT_EQ(table->columns(), 3);  // the second row has one more cell
  EXPECT_EQ(table->cellAt(0, 0).format().background().color(), QColor(255, 0, 0));
  QTextCursor c = table->cellAt(0, 1).firstCursorPosition();
  c.setPosition(table->cellAt(0, 1).lastPosition(), QTextCursor::KeepAnchor);
  EXPECT_EQ(c.selectedText(), QString("B1") + QChar(0x2029) + "second");
  EXPECT_EQ(rt.Document()->findBlock(rt.Find("after", 0, true).start).text(), "after");
  EXPECT_EQ(table->format().columnWidthConstraints().value(0).rawValue(), 100.0);
}

// Damaged and hostile input: shown as well as can be, never a crash, a
// hang or unbounded memory.
TEST(RtfReader, DamagedInput) {
  std::string deep = "{\\rtf1 ";
  for (int i = 0; i < 100000; ++i) deep += "{\\b ";
  deep += "deep";
  std::string bin = "{\\rtf1 a{\\bin2147483647 xyz";
  struct Case {
    std::string rtf;
    const char* contains;
  } cases[] = {
      {"{\\rtf1 unbalanced {\\b bold", "unbalanced bold"},
      {"{\\rtf1 closed} trailing text", "closed"},
      {"{\\rtf1 a}}}}}} b", "a"},
      {deep, "deep"},
      {bin, "a"},
      {"{\\rtf1 \\fs-5 small \\fs999999999 huge \\fs0 zero}", "small huge zero"},
      {"{\\rtf1 \\u-99999999999999999999?\\u99999999999999?x}", "x"},
      {"{\\rtf1 \\cf99999 \\highlight-3 \\f-1 \\chcbpat2147483647 col}", "col"},
      {"{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204", ""},
      {"{\\rtf1 \\'", ""},
      {"{\\rtf1 \\'4", ""},
      {"{\\rtf1 \\", ""},
      {"{\\rtf1 {\\pict\\pngblip 89504e470d0a1a0aff}{\\pict\\jpegblip}{\\pict\\wmetafile8 0100}{\\pict\\emfblip 01}ok}", "ok"},
      {"{\\rtf1 \\intbl x\\cell\\cell\\cell\\row\\row\\cell y}", "x"},
      {"{\\rtf1 \\cell\\row\\cellx-5\\trowd\\cellx999999999 \\intbl z\\cell}", "z"},
      {"{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"unterminated}{\\fldrslt t}}}", "t"},
      {"{\\rtf1 {\\*\\bkmkstart}{\\*\\bkmkend}x}", "x"},
      {std::string("{\\rtf1 nul\0byte}", 16), "nulbyte"},
  };
  for (const auto& c : cases) {
    TVelRichText rt;
    rt.LoadText(c.rtf);
    rt.SetBox(QSizeF(300, 200), true);
    EXPECT_TRUE(rt.PlainText().contains(c.contains)) << c.rtf.substr(0, 80) << " gave "
                                                      << rt.PlainText().left(80).toStdString();
    PaintRich(rt, QSize(300, 200));
    (void)rt.SaveRtf();
  }
}

TEST(RtfReader, TablesCannotGrowWithoutBound) {
  std::string rtf = "{\\rtf1\\trowd";
  for (int i = 0; i < 1000; ++i) rtf += "\\cellx" + std::to_string(100 * (i + 1));
  for (int r = 0; r < 200; ++r) {
    for (int i = 0; i < 1000; ++i) rtf += "\\intbl c\\cell";
    rtf += "\\row";
  }
  rtf += "}";
  TVelRichText rt;
  rt.LoadText(rtf);
  QTextTable* table = nullptr;
  for (QTextFrame* f : rt.Document()->rootFrame()->childFrames()) table = qobject_cast<QTextTable*>(f);
  ASSERT_NE(table, nullptr);
  EXPECT_LE(table->columns(), 64);
  EXPECT_LE(static_cast<long long>(table->rows()) * table->columns(), 10064);
}

TEST(RtfReader, PlainTextIsDetected) {
  TVelRichText rt;
  rt.LoadText("first line\r\nsecond \xE8\nthird {not rtf}");
  EXPECT_EQ(rt.PlainText(), QString::fromUtf8("first line\r\nsecond \xC3\xA8\r\nthird {not rtf}"));
  rt.LoadText("  \r\n{\\rtf1 \\b rtf}");
  EXPECT_EQ(rt.PlainText(), "rtf");
}

}  // namespace
}  // namespace vl
