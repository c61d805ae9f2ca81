// The floating windows and popups reach the main window and its pages only
// through the table of windows/FloatHost.h; it is filled here when a
// publication starts (just before the floating windows take part) and
// emptied when its pages go.
#include <QMainWindow>

#include "pages/MenuItems.h"
#include "pages/PageView.h"
#include "pages/RT_Main.h"
#include "pages/VLPageList.h"
#include "runtime/Lifecycle.h"
#include "windows/FloatHost.h"

namespace vl {
namespace {

TPageView* View() {
  TWorkForm* form = WorkForm();
  return form ? dynamic_cast<TPageView*>(form->PageArea()) : nullptr;
}

void Link() {
  TFloatingHost& h = FloatingHost();
  h.mainWindow = []() -> QWidget* { return WorkForm(); };
  h.clientArea = []() -> QWidget* { return WorkForm() ? WorkForm()->centralWidget() : nullptr; };
  h.pageOrigin = [] { return WorkForm() ? WorkForm()->PublicationOrigin() : QPoint(); };
  h.pageRect = [] {
    TWorkForm* f = WorkForm();
    if (!f || !f->PageArea()) return QRect();
    return QRect(f->PageArea()->pos() + f->PublicationRect().topLeft(), f->PublicationRect().size());
  };
  h.windowStyle = [] { return WorkForm() ? WorkForm()->Settings().windowStyle : 0; };
  h.findPage = [](std::string_view name) { return WorkForm() ? WorkForm()->Pages().Pages().FindPage(name) : -1; };
  h.pageLayer = [](int index) -> QWidget* {
    TPageView* v = View();
    return v ? v->ObjectLayer(index) : nullptr;
  };
  h.layerOffset = [] { return WorkForm() ? WorkForm()->PublicationRect().topLeft() : QPoint(); };
  h.layersChanged = [] {
    if (TPageView* v = View()) {
      v->SyncLayers();
      v->update();
    }
  };
  h.currentPage = [] { return WorkForm() ? WorkForm()->PageIndex() : -1; };
  h.showsMaster = [](int index) { return WorkForm() && WorkForm()->Pages().ShowsMaster(index); };
  h.keyToShortcut = [](int key, Qt::KeyboardModifiers mods) { return QtKeyToShortcut(key, mods); };
}

const LifecycleRegistrar kLink("floating.link", kLifeFloating - 5, [](LifecycleParticipant& p) {
  p.start = [](LifecycleContext&) { Link(); };
});

// The table is emptied once the pages are gone.
const LifecycleRegistrar kUnlink("floating.unlink", kLifeObjectsFreed + 1, [](LifecycleParticipant& p) {
  p.destroy = [](LifecycleContext&) { FloatingHost() = TFloatingHost{}; };
});

}  // namespace
}  // namespace vl
