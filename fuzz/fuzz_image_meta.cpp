// Fuzzes the metafile player: a header read and a full decode (WMF and
// EMF records drawn into the picture), then the records played again onto
// a small stretched target, as StretchDraw does.
#include <QGuiApplication>
#include <QPainter>

#include "ImageFuzz.h"
#include "images/MetaCanvas.h"

// Qt's font database keeps fontconfig's pattern cache until the
// application object goes, which is after the leak check at exit.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Text records need fonts, and fonts a QGuiApplication.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vlfuzz::FuzzDecoder(&vl::DecodeMeta, data, size);
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vl::TMetaHeader header;
  if (!vl::ReadMetaHeader(bytes, header)) return 0;
  QImage target(37, 23, QImage::Format_RGB32);
  target.fill(0);
  QPainter painter(&target);
  painter.translate(3, 2);
  vl::PlayMetafile(bytes, header, painter, QRectF(-5, 0, 41, 19));
  return 0;
}
