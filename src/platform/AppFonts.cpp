#include "platform/AppFonts.h"
#include "platform/FontMap.h"

#include <QFontDatabase>

namespace vl {

bool TAppFontRegistry::RegisterFont(const AnsiString& path) {
  if (ids_.count(path)) return true;
  FinishFontWarmUp();
  int id = QFontDatabase::addApplicationFont(QString::fromStdString(AnsiToUtf8(path)));
  ForgetFontMappings();
  if (id < 0) return false;
  ids_[path] = id;
  return true;
}

void TAppFontRegistry::UnregisterFont(const AnsiString& path) {
  auto it = ids_.find(path);
  if (it == ids_.end()) return;
  QFontDatabase::removeApplicationFont(it->second);
  ForgetFontMappings();
  ids_.erase(it);
}

}  // namespace vl
