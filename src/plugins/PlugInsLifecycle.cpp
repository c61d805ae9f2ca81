// The plug-ins take part in the publication's life: the loader is installed
// before the package hands over its plug-ins, the plug-ins hear that the
// publication started, that the window changed and that it closes, and
// their libraries are unloaded after the variables are cleared.
#include <QGuiApplication>
#include <QPointer>
#include <QWindowStateChangeEvent>

#include "actions/CommandTable.h"
#include "pages/RT_Main.h"
#include "platform/PrivateTemp.h"
#include "platform/SafeMode.h"
#include "plugins/PlugIns.h"
#include "runtime/PlugInFolder.h"
#include "runtime/Lifecycle.h"
#include "vellion/plugin.h"

namespace vl {
namespace {

// Orders (runtime/Lifecycle.h): the loader before the package hands its
// plug-ins over (kLifePlugIns), the notices right after it, the unloading
// after the variables are cleared and before the menus go.

// The main window's moves, sizes, minimising and the application's
// activation, once the publication has started.
class TWindowEvents : public QObject {
 public:
  bool eventFilter(QObject* o, QEvent* e) override {
    switch (e->type()) {
      case QEvent::Move:
      case QEvent::Resize:
        ThePlugIns().Broadcast(VL_MSG_MOVED, 0);
        break;
      case QEvent::WindowStateChange: {
        auto* w = static_cast<QWidget*>(o);
        const bool was = static_cast<QWindowStateChangeEvent*>(e)->oldState() & Qt::WindowMinimized;
        const bool is = w->windowState() & Qt::WindowMinimized;
        if (is && !was) ThePlugIns().Broadcast(VL_MSG_MINIMISED, 0);
        if (was && !is) ThePlugIns().Broadcast(VL_MSG_RESTORED, 0);
        break;
      }
      default:
        break;
    }
    return false;
  }
};

QPointer<TWindowEvents> gWatcher;

void StopWatching() {
  delete gWatcher.data();
  gWatcher = nullptr;
}

void StartWatching() {
  StopWatching();
  TWorkForm* form = WorkForm();
  if (!form || ThePlugIns().LoadedCount() == 0) return;
  gWatcher = new TWindowEvents;
  form->installEventFilter(gWatcher);
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    QObject::connect(app, &QGuiApplication::applicationStateChanged, gWatcher, [](Qt::ApplicationState s) {
      if (s == Qt::ApplicationActive) ThePlugIns().Broadcast(VL_MSG_ACTIVATED, 0);
      else if (s == Qt::ApplicationInactive) ThePlugIns().Broadcast(VL_MSG_DEACTIVATED, 0);
    });
}

const LifecycleRegistrar kLoader("plug-ins.loader", kLifePlugInLoader, [](LifecycleParticipant& p) {
  p.load = [](LifecycleContext&) {
    // Safe mode has put its refusing loader in place already: keep it.
    if (!SafeModeOn()) SetPlugInLoader(&ThePlugIns());
    SetPlugInExtractionFolder(Utf8ToAnsi(PrivateTempFolder()));
  };
});

const LifecycleRegistrar kEvents("plug-ins.events", kLifePlugInEvents, [](LifecycleParticipant& p) {
  // Once every plug-in of the package has loaded (the pages are in the
  // window by then), so that every one of them hears it.
  p.start = [](LifecycleContext&) { ThePlugIns().Broadcast(VL_MSG_PAGES_LOADED, 0); };
  p.started = [](LifecycleContext&) {
    ThePlugIns().Broadcast(VL_MSG_STARTED, 0);
    StartWatching();
  };
  p.shutdown = [](LifecycleContext&) {
    StopWatching();
    ThePlugIns().Broadcast(VL_MSG_CLOSING, 0);
  };
});

const LifecycleRegistrar kFreed("plug-ins.free", kLifePlugInsFreed, [](LifecycleParticipant& p) {
  p.destroy = [](LifecycleContext&) {
    StopWatching();
    // Freeing the groups unloads the libraries; the built-in commands stay.
    if (ThePlugIns().LoadedCount() > 0) CommandTable().BuildBuiltinTable();
  };
});

}  // namespace
}  // namespace vl
