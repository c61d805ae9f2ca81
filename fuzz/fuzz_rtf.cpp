// The RTF reader from hostile bytes: read, lay out in a narrow box, write
// back and read the written text again. Nothing may crash, hang or grow
// without bound.
#include <QGuiApplication>
#include <QTextDocument>
#include <QAbstractTextDocumentLayout>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "richtext/RichText.h"

using namespace vl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QGuiApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_rtf";
    static char* argv[] = {name, nullptr};
    return new QGuiApplication(argc, argv);
  }();
  (void)app;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  QTextDocument doc;
  doc.setUndoRedoEnabled(false);
  ReadRtf(in, doc);
  doc.setTextWidth(200);
  doc.documentLayout()->documentSize();
  AnsiString out = WriteRtf(doc);
  QTextDocument again;
  again.setUndoRedoEnabled(false);
  ReadRtf(out, again);
  return 0;
}
