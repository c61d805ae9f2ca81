// The custom window: one of the publication's pages shown in a window of its
// own. The page's object layer is lent to the window and comes back when it
// closes; the page's objects hear of the move as of a page switch, so they
// leave the main window's page and enter the window's.
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>
#include <cstdlib>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "objects/PageObjects.h"
#include "windows/FloatHost.h"
#include "windows/FloatWindows.h"

namespace vl {
namespace {

// A window without a border is moved by dragging its page's background.
class TDragMover : public QObject {
 public:
  TDragMover(TFloatingWindowForm& form) : QObject(&form), form_(form) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched != form_.layer) return false;
    if (e->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
      pressed_ = true;
    } else if (e->type() == QEvent::MouseButtonRelease) {
      pressed_ = false;
    } else if (e->type() == QEvent::MouseMove && pressed_) {
      pressed_ = false;
      if (QWindow* w = form_.windowHandle()) w->startSystemMove();
      return true;
    }
    return false;
  }

 private:
  TFloatingWindowForm& form_;
  bool pressed_ = false;
};

// Whether the main window shows page `index` now (itself, or as the master
// page behind the current one).
bool PageShowing(int index) {
  TFloatingHost& h = FloatingHost();
  if (!h.currentPage) return false;
  const int cur = h.currentPage();
  return index == cur || (index == 0 && cur != 0 && h.showsMaster && h.showsMaster(cur));
}

// A window's handle as a decimal number: the native id where the platform
// has one, a counter of our own otherwise (so headless runs repeat exactly).
AnsiString WindowHandleText(QWidget& w) {
  static uint64_t counter = 0;
  const bool native = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                      QGuiApplication::platformName() != QLatin1String("minimal");
  uint64_t id = native ? static_cast<uint64_t>(w.winId()) : 0;
  if (id == 0) id = ++counter;
  return std::to_string(id);
}

int IntegerOf(const AnsiString& text) {
  const AnsiString t(TrimView(text));
  if (t.empty() || t.size() > 11) return 0;
  char* end = nullptr;
  const long v = std::strtol(t.c_str(), &end, 10);
  return (end && *end == 0 && v >= 0 && v <= 100000) ? static_cast<int>(v) : 0;
}

int LimitVariable(const AnsiString& page, const char* which) {
  // Variable references inside the value are expanded too.
  return IntegerOf(ExpandVariables(ExpandVariables("[" + page + "_" + which + "]")));
}

void Relayout(TFloatingWindowForm& form) {
  TFloatingHost& h = FloatingHost();
  if (!form.layer || form.page < 0) return;
  const QPoint offset = h.layerOffset ? h.layerOffset() : QPoint();
  const QSize need(std::max(form.layerBounds.width(), form.width() + offset.x()),
                   std::max(form.layerBounds.height(), form.height() + offset.y()));
  form.layer->setGeometry(QRect(-offset, need));
  TheObjects().AlignPage(form.page, QRect(offset, form.size()));
  for (TVellionObj* o : TheObjects().Roots(form.page)) o->OnRelayout();
}

}  // namespace

bool BuildCustomWindow(TFloatingWindowForm& form, const TFloatRequest& req) {
  TFloatingHost& h = FloatingHost();
  const int page = h.findPage ? h.findPage(req.name) : -1;
  QWidget* layer = page >= 0 && h.pageLayer ? h.pageLayer(page) : nullptr;
  if (!layer) {
    ObjectNotFound(req.name);
    return false;
  }
  const QSize client = h.pageRect ? h.pageRect().size() : layer->size();
  const QPoint offset = h.layerOffset ? h.layerOffset() : QPoint();
  auto* background = new QWidget(&form);
  background->setAutoFillBackground(true);
  QPalette pal = background->palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Button));
  background->setPalette(pal);
  form.content = background;
  form.resize(client.expandedTo(QSize(25, 25)));
  background->setGeometry(form.rect());

  const bool wasShowing = PageShowing(page);
  if (wasShowing) TheObjects().PageLeave(page, false);
  form.page = page;
  form.layer = layer;
  form.layerOwner = layer->parentWidget();
  form.layerBounds = layer->geometry();
  form.layerVisible = layer->isVisibleTo(form.layerOwner);
  layer->setParent(background);
  layer->setGeometry(QRect(-offset, form.layerBounds.size()));
  layer->show();
  if (h.layersChanged) h.layersChanged();
  if (req.border == TFloatBorder::None && !(req.flags & ffFixedPos)) layer->installEventFilter(new TDragMover(form));
  SetVariable(req.name + ".WinHandle", WindowHandleText(form));
  TheObjects().PageEnter(page, false);
  TheObjects().PageShown(page, false);
  Relayout(form);
  return true;
}

void CustomWindowShown(TFloatingWindowForm& form) {
  QPointer<TFloatingWindowForm> guard(&form);
  const AnsiString name = form.name;
  RunSubroutine(name + "_OnOpen", 0);
  if (!guard || form.Finished()) return;
  const QSize minSize(LimitVariable(name, "MinWidth"), LimitVariable(name, "MinHeight"));
  const QSize maxSize(LimitVariable(name, "MaxWidth"), LimitVariable(name, "MaxHeight"));
  // A pair counts only when both its values are above 0.
  if (minSize.width() > 0 && minSize.height() > 0) {
    form.minTrack = minSize;
    form.setMinimumSize(minSize);
  }
  if (maxSize.width() > 0 && maxSize.height() > 0) {
    form.maxTrack = maxSize;
    form.setMaximumSize(maxSize);
  }
}

void CustomWindowClosing(TFloatingWindowForm& form, bool runSubroutine) {
  const AnsiString name = form.name;
  if (runSubroutine) RunSubroutine(name + "_OnClose", 0);
  SetVariable(name + ".WinHandle", "");
  QWidget* layer = form.layer;
  form.layer = nullptr;
  if (!layer || !form.layerOwner) return;
  const int page = form.page;
  TheObjects().PageLeave(page, false);
  layer->hide();
  layer->setParent(form.layerOwner);
  layer->setGeometry(form.layerBounds);
  TFloatingHost& h = FloatingHost();
  if (h.layersChanged) h.layersChanged();
  // Back on the page the main window shows: the objects reappear at once.
  if (PageShowing(page)) {
    TheObjects().PageEnter(page, false);
    TheObjects().PageShown(page, false);
  }
}

void CustomWindowResized(TFloatingWindowForm& form) { Relayout(form); }

bool CustomWindowKey(TFloatingWindowForm& form, int key, Qt::KeyboardModifiers mods) {
  TFloatingHost& h = FloatingHost();
  if (form.page < 0 || !h.keyToShortcut) return false;
  const int shortcut = h.keyToShortcut(key, mods);
  return shortcut && TheObjects().OfferHotKey(form.page, false, shortcut);
}

}  // namespace vl
