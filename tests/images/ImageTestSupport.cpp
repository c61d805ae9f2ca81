#include "ImageTestSupport.h"

#include <QBuffer>

namespace imgtest {

std::string QtPng(const QImage& img) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "PNG");
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace imgtest
