// The ".TXT" article converter from hostile bytes: the RTF it writes must
// read back without trouble, with word wrap on and off.
#include <QGuiApplication>
#include <QTextDocument>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "richtext/ArticleText.h"
#include "richtext/RichText.h"

using namespace vl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QGuiApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_article_text";
    static char* argv[] = {name, nullptr};
    return new QGuiApplication(argc, argv);
  }();
  (void)app;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  for (bool wrap : {true, false}) {
    AnsiString rtf = ConvertArticleText(in, wrap);
    QTextDocument doc;
    doc.setUndoRedoEnabled(false);
    ReadRtf(rtf, doc);
  }
  return 0;
}
