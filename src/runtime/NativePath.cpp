#include "runtime/NativePath.h"

#include <QFile>
#include <QString>

namespace vl {

std::string NativePath(std::string_view ansiPath) {
  return QFile::encodeName(AnsiToQString(ansiPath)).toStdString();
}

AnsiString FromNativePath(std::string_view nativePath) {
  return QStringToAnsi(QFile::decodeName(QByteArray(nativePath.data(), static_cast<qsizetype>(nativePath.size()))));
}

}  // namespace vl
