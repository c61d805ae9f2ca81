// The package's cursor and icon loader: cursor files fill the application's
// cursor table, icon files become icons of menus, the tray and the window.
#include <QIcon>

#include "pages/MenuItems.h"
#include "platform/Cursors.h"
#include "runtime/Package.h"

namespace vl {
namespace {

class TPlayerCursorIconLoader : public CursorIconLoader {
 public:
  bool LoadCursor(const AnsiString& path, int slot) override {
    QCursor c;
    if (!CursorFromFile(path, c)) return false;
    SetCursorSlot(slot, c);
    return true;
  }
  bool LoadIcon(const AnsiString& path, void* iconObject) override {
    QIcon icon = LoadIconFromFile(path);
    if (icon.isNull() || !iconObject) return false;
    *static_cast<QIcon*>(iconObject) = icon;
    return true;
  }
  void SetApplicationIcon(const AnsiString& path) override {
    QIcon icon = LoadIconFromFile(path);
    if (!icon.isNull()) TheMenus().SetApplicationIcon(icon);
  }
};

}  // namespace

void InstallCursorIconLoader() {
  static TPlayerCursorIconLoader loader;
  SetCursorIconLoader(&loader);
}

}  // namespace vl
