// The text window: a floating window showing a rich-text or plain-text file
// through the same article view the pages use (links, merge fields showing
// variables, scroll bars), sized to its text when no size is given.
#include <QApplication>
#include <QStyle>

#include "actions/Vars.h"
#include "objects/ObjArticle.h"
#include "runtime/Global.h"
#include "windows/FloatWindows.h"

namespace vl {
namespace {

// Brackets in a file name are written as character codes, so that the
// article substitutes no variable in it.
AnsiString ShieldBrackets(const AnsiString& name) {
  AnsiString out;
  for (char c : name) {
    if (c == '[')
      out += "[#91]";
    else if (c == ']')
      out += "[#93]";
    else
      out.push_back(c);
  }
  return out;
}

constexpr TColor kWhite = 0x00FFFFFF;
// The largest text a window sizes itself to; beyond it the screen limits
// take over anyway.
constexpr double kMaxMeasured = 32767;

}  // namespace

void FileMissing(const AnsiString& name) { SetLastError("\"" + name + "\"||" + ErrorText(2)); }

bool BuildTextWindow(TFloatingWindowForm& form, const TFloatRequest& req) {
  // The article type of the pages: ObjectType 2.
  auto* article = new TVellionArticle(&form, 2);
  article->TextFile = ShieldBrackets(req.name);
  article->FontName = "Arial";
  article->FontSize = 9;
  article->FillColor = kWhite;
  article->SetLineWidth(0);
  article->WordWrap = false;
  article->ScrollBars = true;
  AnsiString text;
  if (req.name.empty() || !article->ReadArticleFile(text)) {
    delete article;
    FileMissing(req.name);
    return false;
  }
  // Measured unwrapped, as the text stands.
  TVelRichText measure;
  measure.SetDefaultFont(article->ObjectFont());
  measure.SetLeftOffset(4);
  measure.LoadText(text);
  measure.SetBox(QSizeF(kMaxMeasured, kMaxMeasured), false);
  const QSizeF textSize = measure.ContentSize();
  const int bar = form.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  int cw = req.width, ch = req.height;
  if (cw < 1) cw = bar + static_cast<int>(std::min(textSize.width(), kMaxMeasured)) + 8;
  if (ch < 1) ch = static_cast<int>(std::min(textSize.height(), kMaxMeasured));
  cw = std::max(cw, 25);
  ch = std::max(ch, 25);
  article->WordWrap = (req.flags & ffWordWrap) != 0;
  form.content = article;
  form.resize(cw, ch);
  article->setGeometry(form.rect());
  article->OnPageEnter();
  article->setFocusPolicy(Qt::ClickFocus);
  article->show();
  return true;
}

}  // namespace vl
