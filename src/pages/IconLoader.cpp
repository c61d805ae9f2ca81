// The package's cursor and icon loader: cursor files fill the application's
// cursor table, icon files become icons of menus, the tray and the window.
#include <QIcon>

#include "pages/MenuItems.h"
#include "platform/Cursors.h"
#include "runtime/Lifecycle.h"
#include "runtime/Package.h"
#include "runtime/Publication.h"

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
  bool LoadIcon(const AnsiString& path) override { return !LoadIconFromFile(path).isNull(); }
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

// The cursor table of a publication: its files, else the built-in cursors.
namespace {
const LifecycleRegistrar kCursors("cursors", kLifeCursors, [](LifecycleParticipant& p) {
  p.load = [](LifecycleContext& ctx) {
    InstallCursorIconLoader();
    ResetCursorSlots();
    if (!ctx.publication || !ctx.package) return;
    const TPublicationSettings& s = ctx.publication->settings;
    TPackage& pkg = *ctx.package;
    if (!s.appCursor.empty()) pkg.LoadCursorFile(s.appCursor, kCursorApplication);
    if (!s.hotspotCursor.empty()) pkg.LoadCursorFile(s.hotspotCursor, kCursorHotSpot);
    if (!s.dragCursor.empty()) pkg.LoadCursorFile(s.dragCursor, kCursorDrag);
    if (!s.busyCursor.empty()) pkg.LoadCursorFile(s.busyCursor, kCursorBusy);
  };
});
}  // namespace

}  // namespace vl
