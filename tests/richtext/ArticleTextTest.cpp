// The article text format (".TXT" files with "^" codes) turned into RTF:
// the exact RTF of the rules, and what the document reads of it.
#include <gtest/gtest.h>

#include "RichTestSupport.h"
#include "richtext/ArticleText.h"
#include "richtext/RichFormat.h"

namespace vl {
namespace {

using test::FindRun;

const std::string kHead =
    "{\\rtf1\\ansi\\ansicpg1252\\deflang1033{\\colortbl\\red0\\green0\\blue0;\\red128\\green0\\blue0;"
    "\\red0\\green128\\blue0;\\red128\\green128\\blue0;\\red0\\green0\\blue128;\\red128\\green0\\blue128;"
    "\\red0\\green128\\blue128;\\red128\\green128\\blue128;\\red192\\green192\\blue192;\\red255\\green0\\blue0;"
    "\\red0\\green255\\blue0;\\red0\\green0\\blue255;\\red255\\green0\\blue255;\\red0\\green255\\blue255;"
    "\\red255\\green255\\blue0;\\red255\\green255\\blue255;}\\tx1440\\tx2880\\tx4320\\tx5760\\tx7200\\tx8640\\tx10080 ";
const std::string kPre = "\\li0\\fi0\\ri0\\sb0\\sl\\sa0 \\plain\\f0\\fs";

std::string Body(std::string_view text, bool wrap) {
  std::string rtf = ConvertArticleText(text, wrap);
  EXPECT_EQ(rtf.substr(0, kHead.size()), kHead);
  EXPECT_EQ(rtf.back(), '}');
  return rtf.substr(kHead.size(), rtf.size() - kHead.size() - 1);
}

TEST(ArticleText, ExactOutputOfTheRules) {
  struct Case {
    const char* text;
    bool wrap;
    std::string body;
  } cases[] = {
      // plain lines: escaped braces and backslashes; word wrap joins lines
      {"a{b}\\c\r\nnext", true, "\\ql" + kPre + "20 a\\{b\\}\\\\c \\ql" + kPre + "20 next "},
      {"one\r\ntwo", false, "\\ql" + kPre + "20 one\\par\r\n\\ql" + kPre + "20 two\\par\r\n"},
      // an empty line ends the paragraph
      {"x\r\n\r\ny", true, "\\ql" + kPre + "20 x \\ql" + kPre + "20 \\par\r\n\\ql" + kPre + "20 y "},
      // LF-only line ends are lines too
      {"one\ntwo", false, "\\ql" + kPre + "20 one\\par\r\n\\ql" + kPre + "20 two\\par\r\n"},
      // styles, sizes, colours, tabs, a literal ^ and a ^ that ends the line
      {"^Bb^b ^Ii^i ^Uu^u ^Xx^x ^F14big^f ^P9red^p ^T20tab ^^ end^", true,
       "\\ql" + kPre + "20 \\b b\\b0  \\i i\\i0  \\ul u\\ulnone  \\strike x\\strike0  \\fs28big\\fs20 \\cf9 red\\cf0  "
       "\\tab tab ^ end^ "},
      // ^F-5, ^P99, a bare ^P, an unknown code
      {"^F-5a^P99b^Pc^Qd", true, "\\ql" + kPre + "20 \\fs2a\\cf99 b\\cf0 c" "d "},
      // alignment: ^C takes effect through the paragraph end; ^c before any
      // character of a paragraph makes its next line left-aligned
      {"^Ccentred\r\nstill\r\n\r\n^cleft\r\nnext", true,
       "\\ql" + kPre + "20 centred \\qc" + kPre + "20 still \\qc" + kPre + "20 \\par\r\n\\qc" + kPre +
           "20 left \\ql" + kPre + "20 next "},
      // a link: its text double-underlined, its hidden target with "|" as
      // the line mark outside quotes
      {"^Lgo=GotoPage \"a|b\"|Beep^l!", true,
       "\\ql" + kPre + "20 \\uldb go\\v GotoPage \"a|b\"\\'b6Beep\\plain\\f0\\fs20 ! "},
      // a bookmark: nothing visible after it
      {"^Mplace^mtext", true,
       "\\ql" + kPre + "20 {\\*\\bkmkstart place}{\\*\\bkmkend place}\\plain\\f0\\fs20 text "},
      // a bookmark and a link left open end with their line
      {"^Mopen\r\n^Lx=y\r\nz=1", true,
       "\\ql" + kPre + "20 {\\*\\bkmkstart open} \\ql" + kPre + "20 \\uldb x\\v y \\ql" + kPre + "20 z=1 "},
      // ^m without ^M and ^l without ^L do nothing
      {"a^mb^lc", true, "\\ql" + kPre + "20 abc "},
  };
  for (const auto& c : cases) EXPECT_EQ(Body(c.text, c.wrap), c.body) << c.text;
}

TEST(ArticleText, TheDocumentReadsWhatItWrites) {
  std::string rtf = ConvertArticleText(
      "Some ^Bbold^b words and ^Lthe link=SetVar \"[x]\" \"1\"|Beep^l here.\r\n^P9red^p ^Mmark^m after\r\n", true);
  TVelRichText rt;
  rt.LoadText(rtf);
  rt.SetBox(QSizeF(600, 200), true);
  EXPECT_EQ(rt.PlainText(), "Some bold words and the link here. red  after ");
  QTextCharFormat f;
  ASSERT_TRUE(FindRun(*rt.Document(), "bold", f));
  EXPECT_GE(f.fontWeight(), QFont::Bold);
  ASSERT_TRUE(FindRun(*rt.Document(), "red", f));
  EXPECT_EQ(f.foreground().color(), QColor(255, 0, 0));
  int at = rt.Find("the link", 0, true).start;
  TRichLink link = rt.LinkAt(test::TextRect(*rt.Document(), at, 3).center());
  EXPECT_EQ(link.text, "the link");
  EXPECT_EQ(link.target, QString::fromUtf8("SetVar \"[x]\" \"1\"\xC2\xB6" "Beep"));
  EXPECT_GE(rt.BookmarkPosition("mark"), 0);
}

TEST(ArticleText, LongLinesAndHostileInput) {
  std::string huge(100000, 'x');
  std::string rtf = ConvertArticleText(huge, false);
  TVelRichText rt;
  rt.LoadText(rtf);
  EXPECT_EQ(rt.PlainText().count('x'), 100000);
  EXPECT_EQ(rt.Document()->blockCount(), 5);  // cut into lines of 32 KB (and the empty last)
  for (const char* bad : {"^M{\\}", "^L^L=^l^l^m", "^F99999999999999999999", "^", "^P", "\r\r\n\n", "^M}}}}^m"}) {
    TVelRichText r;
    r.LoadText(ConvertArticleText(bad, true));
    (void)r.PlainText();
  }
  TVelRichText braces;
  braces.LoadText(ConvertArticleText("^Mname}x^m visible", true));
  EXPECT_EQ(braces.PlainText(), " visible ");
}

}  // namespace
}  // namespace vl
