#include "windows/FloatWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "objects/PageObjects.h"
#include "platform/Foreground.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Host.h"
#include "runtime/Lifecycle.h"
#include "runtime/Trace.h"
#include "windows/FloatHost.h"

namespace vl {
namespace {

struct State {
  std::vector<TFloatingWindowForm*> list;
  int exclusive = 0;
  // Set while the player shuts down: windows close without running the
  // publication's close subroutines (no action starts once the close was
  // accepted).
  bool shuttingDown = false;
};

State& S() {
  static State s;
  return s;
}

const char* KindWord(TFloatKind k) {
  switch (k) {
    case fkImage: return "image";
    case fkText: return "text";
    case fkBrowser: return "browser";
    case fkCustom: return "custom";
  }
  return "text";
}

bool KindCounts(TFloatKind k, TCloseWhich which) {
  switch (which) {
    case TCloseWhich::All: return true;
    case TCloseWhich::AllButCustom: return k != fkCustom;
    case TCloseWhich::CustomOnly: return k == fkCustom;
  }
  return true;
}

// Windows of normal style stay above the main window, unless an exclusive
// window is up: then only that one does.
void SetStaysOnTop(TFloatingWindowForm* w, bool on) {
  if (!w->isWindow()) return;
  if (w->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
  // A visible top-level window must be shown again after its flags change.
  const bool visible = w->isVisible();
  w->setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (visible) w->show();
}

void Place(TFloatingWindowForm& w, const TFloatRequest& req) {
  TFloatingHost& host = FloatingHost();
  int x = req.x, y = req.y;
  if (req.flags & ffFixedPos) {
    const QRect page = host.pageRect ? host.pageRect() : QRect();
    const bool fullScreen = host.windowStyle && (host.windowStyle() == 1 || host.windowStyle() == 3);
    QWidget* client = w.parentWidget();
    const QSize area = fullScreen && client ? client->size() : page.size();
    if (x == -1) x = area.width() / 2 - w.width() / 2;
    if (y == -1) y = area.height() / 2 - w.height() / 2;
    w.move(x, y);
    return;
  }
  QWidget* main = host.mainWindow ? host.mainWindow() : nullptr;
  QScreen* screen = main ? main->screen() : QGuiApplication::primaryScreen();
  const QRect mon = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  const QRect desk = screen ? screen->virtualGeometry() : mon;
  int ww = w.width(), wh = w.height();
  if (ww > desk.width() || wh > desk.height()) {
    ww = std::min(ww, desk.width());
    wh = std::min(wh, desk.height());
    w.resize(ww, wh);
  }
  if (x == -1) x = mon.left() + (mon.width() < ww ? desk.width() / 2 - ww / 2 : mon.width() / 2 - ww / 2);
  if (y == -1) y = mon.top() + (mon.height() < wh ? desk.height() / 2 - wh / 2 : mon.height() / 2 - wh / 2);
  if (x + ww > desk.right() + 1) x = desk.right() + 1 - ww;
  if (y + wh > desk.bottom() + 1) y = desk.bottom() + 1 - wh;
  w.move(x, y);
}

void Remove(TFloatingWindowForm* w) {
  auto& l = S().list;
  l.erase(std::remove(l.begin(), l.end(), w), l.end());
}

}  // namespace

// ---------------------------------------------------------------------------

TFloatingWindowForm::TFloatingWindowForm(QWidget* parent, Qt::WindowFlags f) : QWidget(parent, f) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  setFont(font);
}

TFloatingWindowForm::~TFloatingWindowForm() {
  // Freed with its owner (the main window going): what it holds goes back,
  // but no action runs from a destructor.
  if (!finished_) Finish(false);
}

void TFloatingWindowForm::CloseNow() {
  if (finished_) return;
  closing = true;
  Finish(true);
  hide();
  deleteLater();
}

void TFloatingWindowForm::Finish(bool runSubroutine) {
  if (finished_) return;
  finished_ = true;
  closing = true;
  if (kind == fkCustom) CustomWindowClosing(*this, runSubroutine && !S().shuttingDown);
  Remove(this);
  if (exclusive) {
    S().exclusive = std::max(0, S().exclusive - 1);
    if (S().exclusive == 0)
      for (TFloatingWindowForm* w : S().list) SetStaysOnTop(w, true);
  }
  trace::Record({"window", "close", title});
}

void TFloatingWindowForm::closeEvent(QCloseEvent* e) {
  e->accept();
  if (finished_) return;
  Finish(true);
  deleteLater();
}

void TFloatingWindowForm::keyPressEvent(QKeyEvent* e) {
  if (kind == fkCustom && CustomWindowKey(*this, e->key(), e->modifiers())) return;
  QWidget::keyPressEvent(e);
}

void TFloatingWindowForm::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (content) content->setGeometry(rect());
  if (kind == fkCustom) CustomWindowResized(*this);
}

// ---------------------------------------------------------------------------

TFloatingWindowForm* FindFloatingWindow(std::string_view name) {
  for (TFloatingWindowForm* w : S().list)
    if (SameTextInvariant(w->name, name)) return w;
  return nullptr;
}

TFloatingWindowForm* FindFloatingWindowByTitle(std::string_view title) {
  for (TFloatingWindowForm* w : S().list)
    if (SameTextInvariant(TrimView(w->title), TrimView(title))) return w;
  return nullptr;
}

std::vector<TFloatingWindowForm*> FloatingWindows() { return S().list; }
int ExclusiveWindowCount() { return S().exclusive; }

bool IsInFloatingWindow(const QWidget* w) {
  for (; w; w = w->parentWidget())
    if (std::find(S().list.begin(), S().list.end(), w) != S().list.end()) return true;
  return false;
}

std::vector<int> FloatingPages() {
  std::vector<int> pages;
  for (TFloatingWindowForm* w : S().list)
    if (w->kind == fkCustom && w->page >= 0 && w->layer) pages.push_back(w->page);
  return pages;
}

TFloatingWindowForm* OpenFloatingWindow(const TFloatRequest& req) {
  if (TFloatingWindowForm* open = FindFloatingWindow(req.name)) {
    if (S().exclusive > 0) SetStaysOnTop(open, false);
    if (open->isMinimized()) open->showNormal();
    open->raise();
    if (open->isWindow()) open->activateWindow();
    return open;
  }
  TFloatingHost& host = FloatingHost();
  const bool fixed = (req.flags & ffFixedPos) != 0;
  QWidget* parent = fixed ? (host.clientArea ? host.clientArea() : nullptr)
                          : (host.mainWindow ? host.mainWindow() : nullptr);
  if (fixed && !parent) return nullptr;
  Qt::WindowFlags wf;
  if (!fixed) {
    // Owned by the main window, so it stays above it and goes with it.
    wf = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
    if (req.border == TFloatBorder::ToolWindow) wf |= Qt::Tool;
    if (req.border == TFloatBorder::None) wf |= Qt::FramelessWindowHint;
    if (req.flags & ffNoCloseBtn)
      wf |= Qt::CustomizeWindowHint;
    else
      wf |= Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint;
    if (S().exclusive == 0 || (req.flags & ffExclusive)) wf |= Qt::WindowStaysOnTopHint;
  }
  auto* w = new TFloatingWindowForm(parent, wf);
  w->kind = req.kind;
  w->name = req.name;
  w->title = req.title;
  w->flags = req.flags;
  w->isProtected = (req.flags & ffProtected) != 0;
  w->setWindowTitle(AnsiToQString((req.kind == fkCustom && req.border == TFloatBorder::ToolWindow ? " " : "") +
                                  req.title));
  bool built = false;
  try {
    switch (req.kind) {
      case fkText: built = BuildTextWindow(*w, req); break;
      case fkImage: built = BuildImageWindow(*w, req); break;
      case fkCustom: built = BuildCustomWindow(*w, req); break;
      case fkBrowser: built = false; break;
    }
  } catch (const std::exception& e) {
    Errors().ShowError(e.what());
  }
  if (!built) {
    // Nothing was announced yet: it goes without a trace.
    w->DiscardUnopened();
    delete w;
    return nullptr;
  }
  if (!fixed && (req.border == TFloatBorder::Dialog || req.border == TFloatBorder::None) && req.kind == fkCustom)
    w->setFixedSize(w->size());
  Place(*w, req);
  S().list.push_back(w);
  trace::Record({"window", "open", KindWord(req.kind), req.title});
  QPointer<TFloatingWindowForm> guard(w);
  if (req.kind == fkCustom && (req.flags & ffExclusive) && !fixed) {
    w->exclusive = true;
    ++S().exclusive;
    for (TFloatingWindowForm* other : S().list)
      if (other != w) SetStaysOnTop(other, false);
    w->setWindowModality(Qt::ApplicationModal);
    w->show();
    ForceForeground(w);
    CustomWindowShown(*w);
    // The command waits here while everything else goes on.
    TheClock().RunUntil([&] { return !guard || guard->Finished() || Terminating(); }, -1);
    return nullptr;
  }
  w->show();
  if (!fixed) ForceForeground(w);
  if (guard && req.kind == fkCustom) CustomWindowShown(*w);
  return guard;
}

void CloseFloatingWindowByName(std::string_view name, TCloseWhich kinds) {
  TFloatingWindowForm* w = nullptr;
  for (TFloatingWindowForm* c : S().list)
    if (!c->closing && KindCounts(c->kind, kinds) && SameTextInvariant(c->name, name)) {
      w = c;
      break;
    }
  if (!w || w->isProtected) return;
  w->closing = true;
  if (w->exclusive) {
    // Its command stops waiting as soon as it is gone.
    w->CloseNow();
    return;
  }
  QPointer<TFloatingWindowForm> guard(w);
  QTimer::singleShot(0, w, [guard] {
    if (guard) guard->CloseNow();
  });
}

void CloseFloatingWindows(TCloseWhich which, bool includeProtected) {
  for (TFloatingWindowForm* w : S().list) {
    if (w->closing || !KindCounts(w->kind, which) || (w->isProtected && !includeProtected)) continue;
    w->closing = true;
    QPointer<TFloatingWindowForm> guard(w);
    QTimer::singleShot(0, w, [guard] {
      if (guard) guard->CloseNow();
    });
  }
}

void CloseFloatingWindowsNow(TCloseWhich which) {
  // Newest first, so an exclusive window's wait ends before the windows
  // under it go.
  const auto list = S().list;
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if (KindCounts((*it)->kind, which)) (*it)->CloseNow();
}

TFloatingHost& FloatingHost() {
  static TFloatingHost host;
  return host;
}

namespace {

// Before the objects hear of the shut-down, the windows close (the borrowed
// pages go home first). A chained load keeps the text and picture windows
// unless it asks for them to close; the custom windows always close, since
// their pages go with the old publication.
const LifecycleRegistrar kFloating("floating", kLifeFloating, [](LifecycleParticipant& p) {
  p.start = [](LifecycleContext&) {
    S().shuttingDown = false;
    // Object lookups meet the pages of custom windows first.
    TheObjects().searchedFirst = FloatingPages;
  };
  p.shutdown = [](LifecycleContext& ctx) {
    S().shuttingDown = true;
    CloseFloatingWindowsNow(ctx.chained && !ctx.closeWindows ? TCloseWhich::CustomOnly : TCloseWhich::All);
  };
  p.close = [](LifecycleContext& ctx) {
    S().shuttingDown = true;
    CloseFloatingWindowsNow(ctx.chained && !ctx.closeWindows ? TCloseWhich::CustomOnly : TCloseWhich::All);
  };
  p.destroy = [](LifecycleContext& ctx) {
    if (!ctx.chained) CloseFloatingWindowsNow(TCloseWhich::All);
  };
});

}  // namespace
}  // namespace vl
