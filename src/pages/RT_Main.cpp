#include "pages/RT_Main.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QUrl>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>
#include <QLineEdit>
#include <QMenuBar>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "actions/CommandTable.h"
#include "actions/DateTime.h"
#include "actions/Interpreter.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"
#include "images/PictureCache.h"
#include "images/VL_ImageLib.h"
#include "objects/ObjButtons.h"
#include "objects/PageObjects.h"
#include "pages/MenuItems.h"
#include "pages/PageObjectsLink.h"
#include "pages/PageTransition.h"
#include "pages/PageView.h"
#include "pages/RT_Splash.h"
#include "pages/VLPageList.h"
#include "pages/WorkFormEvents.h"
#include "platform/AppFonts.h"
#include "platform/Cursors.h"
#include "platform/DisplayMode.h"
#include "platform/InstanceChannel.h"
#include "platform/RegistryStore.h"
#include "runtime/Host.h"
#include "platform/WindowPlacement.h"
#include "plugins/PlugIns.h"
#include "runtime/Messages.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"
#include "runtime/Trace.h"
#include "windows/DialogSettings.h"
#include "windows/Password.h"

namespace vl {
namespace {

TWorkForm* gWorkForm = nullptr;

}  // namespace

QEvent::Type FirstPaintEvent() {
  static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
  return t;
}
QEvent::Type ActivateActionEvent() {
  static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
  return t;
}
QEvent::Type PageChangeEvent() {
  static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
  return t;
}
QEvent::Type CloseRequestEvent() {
  static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
  return t;
}
QEvent::Type HideToTrayEvent() {
  static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
  return t;
}
QEvent::Type ChainEvent() {
  static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
  return t;
}

bool IsRegularFile(const AnsiString& ansiPath) {
  std::error_code ec;
  return !ansiPath.empty() && std::filesystem::is_regular_file(NativePath(ansiPath), ec);
}

AnsiString WithSlashes(AnsiString path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

namespace {

QColor ToQColor(TColor c) {
  c = ColorToRgb(c);
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// A parameter "/X..." or "-X..." with the letter `letter` in either case.
bool IsSwitch(const AnsiString& p, char letter) {
  return p.size() >= 2 && (p[0] == '/' || p[0] == '-') && (p[1] == letter || p[1] == letter + ('a' - 'A'));
}

bool EditHasFocus() {
  QWidget* f = QApplication::focusWidget();
  return f && (qobject_cast<QLineEdit*>(f) || qobject_cast<QTextEdit*>(f) || qobject_cast<QPlainTextEdit*>(f) ||
               qobject_cast<QAbstractSpinBox*>(f));
}

bool MultiLineEditHasFocus() {
  QWidget* f = QApplication::focusWidget();
  return f && (qobject_cast<QTextEdit*>(f) || qobject_cast<QPlainTextEdit*>(f));
}

}  // namespace

namespace {

// What happens while the window opens its package: a single-instance
// publication is noted (the hand-over follows), and an ordinary windowed
// publication may switch the display. A headless run leaves the screen
// alone; a chained load switches without the black cover, the window being
// there already.
class TWindowOpening : public PackageOpenHost {
 public:
  bool headless = false;
  bool chained = false;
  bool singleInstance = false;
  void SingleInstance(const PackageHeader&) override { singleInstance = true; }
  bool ChangeDisplay(uint32_t width, uint32_t height, uint8_t bits) override {
    if (headless || ThePackage().Header().PublicationKind != 0) return false;
    return ChangeDisplayMode(static_cast<int>(width), static_cast<int>(height), bits, !chained) ==
           DisplayChange::Changed;
  }
  void RestoreDisplay() override {
    if (!headless) RestoreDisplayMode();
  }
};

TWindowOpening& WindowOpening() {
  static TWindowOpening opening;
  return opening;
}

}  // namespace

// What the page switch needs from the window.
class TWorkPageHost : public PageHost {
 public:
  explicit TWorkPageHost(TWorkForm& form) : form_(form) {}
  void PostPageChange(int index) override { form_.PostPageChange(index); }
  void BeforeSwitch(int from, int to) override { transition_.Prepare(View(), form_.Pages(), from, to); }
  void RepaintPage(int, int to, int direction) override {
    if (transition_.Run(View(), form_.Pages(), to, direction)) return;
    if (QWidget* v = form_.PageArea()) v->update();
  }
  void RunPublicationAction(const AnsiString& text, std::string_view sourceName, uint8_t flags,
                            uint8_t eventCode) override {
    form_.RunPublicationAction(text, sourceName, flags, eventCode);
  }
  bool ShuttingDown() const override { return form_.ShuttingDown(); }
  void RestartIdleTimer() override { form_.RestartIdleTimer(); }
  void BusyCursor(bool on) override { vl::BusyCursor(on); }
  // The page is drawn before the actions that follow the switch (the
  // start-up action first of all) run.
  void PageShown(int index, const AnsiString& name) override {
    PageHost::PageShown(index, name);
    if (QWidget* v = form_.PageArea(); v && v->isVisible()) v->repaint();
  }

 private:
  TPageView* View() const { return static_cast<TPageView*>(form_.PageArea()); }
  TWorkForm& form_;
  TPageTransition transition_;
};

// The client area around the publication (the full-screen styles centre it on
// BKNDCOLOR=). Its first paint starts the publication.
class TClientArea : public QWidget {
 public:
  TClientArea(QWidget* parent, std::function<void()> firstPaint) : QWidget(parent), firstPaint_(std::move(firstPaint)) {
    setAutoFillBackground(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (firstPaint_) {
      auto f = std::move(firstPaint_);
      firstPaint_ = nullptr;
      f();
    }
  }

 private:
  std::function<void()> firstPaint_;
};

TWorkForm* WorkForm() { return gWorkForm; }

// The window as the interpreter's host and the variables' watcher.
class TWorkForm::TInterpreterLinks : public InterpreterHost, public VariableWatcher {
 public:
  explicit TInterpreterLinks(TWorkForm& form) : form_(form) {}
  void RestartIdleTimer() override { form_.RestartIdleTimer(); }
  void BlockingState(bool on) override { form_.InputLock(on); }
  bool ApplicationEnding() override { return form_.closed_; }
  void CloseMainWindow() override {
    QCoreApplication::postEvent(&form_, new TIntEvent(CloseRequestEvent(), ssVellion));
  }
  void OutermostReturned() override {
    if (form_.chainAfterOutermost_) QCoreApplication::postEvent(&form_, new QEvent(ChainEvent()));
  }
  void VarChanged(const AnsiString& bracketName, const AnsiString& value) override {
    form_.NotifyVariableChanged(bracketName, value);
  }

 private:
  TWorkForm& form_;
};

TWorkForm::TWorkForm(TStartOptions options)
    : QMainWindow(nullptr),
      options_(std::move(options)),
      pub_(std::make_unique<TPublication>()),
      host_(std::make_unique<TWorkPageHost>(*this)),
      nav_(std::make_unique<TVLPageNavigator>(*host_)) {
  gWorkForm = this;
  setAttribute(Qt::WA_DeleteOnClose, false);
  QFont f("Arial");
  f.setPixelSize(12);
  setFont(f);
  auto* client = new TClientArea(this, [this] {
    if (firstPaintPending_) QCoreApplication::postEvent(this, new QEvent(FirstPaintEvent()));
  });
  auto* grid = new QGridLayout(client);
  grid->setContentsMargins(0, 0, 0, 0);
  area_ = new TPageView(*nav_, client);
  grid->addWidget(area_, 0, 0, Qt::AlignCenter);
  setCentralWidget(client);
  updateTimer_.SetOnTimer([this] { UpdateTick(); });
  idleTimer_.SetOnTimer([this] { IdleTick(); });
}

TWorkForm::~TWorkForm() {
  if (!destroyed_) FormDestroy();
  // The page view follows the navigator: it goes before the navigator does.
  delete takeCentralWidget();
  area_ = nullptr;
  if (gWorkForm == this) gWorkForm = nullptr;
}

QWidget* TWorkForm::PageArea() const { return area_; }

int TWorkForm::PageCount() const { return nav_->PageCount() - 1; }
int TWorkForm::PageIndex() const { return nav_->PageIndex(); }

// ---------------------------------------------------------------------------
// Start-up

LifecycleContext TWorkForm::Life() const {
  LifecycleContext ctx;
  ctx.package = &ThePackage();
  ctx.publication = pub_.get();
  ctx.headless = options_.headless;
  ctx.chained = chained_;
  ctx.clearVariables = (chainOptions_ & 2) != 0;
  ctx.closeWindows = (chainOptions_ & 4) != 0;
  ctx.shuttingDown = shuttingDown_;
  ctx.shutdownSource = shutdownSource_;
  return ctx;
}

// The subsystems take part through the lifecycle registry (runtime/Lifecycle.h);
// what is listed here is the window's own.
bool TWorkForm::FormCreate() {
  ResetRunState();
  if (!OpenPublication()) return false;  // package, hand-over, splash, RUNTIME.PUB
  LifecycleContext ctx = Life();
  // Extraction folder, cursors, fonts, picture cache, dialogs, variables.
  Lifecycle().Load(ctx);
  ApplyPublicationLook();
  if (!BuildPages()) {
    CloseSplash();
    return false;
  }
  if (!StartPasswordAccepted()) {
    CloseSplash();
    startError_.clear();
    return false;
  }
  initialising_ = false;
  ChooseStartPage();
  // Plug-ins, the objects' start notice (told whether this is a chained load).
  Lifecycle().Start(ctx);
  CreateMenus();
  return true;
}

void TWorkForm::ResetRunState() {
  initialising_ = true;
  firstPaintPending_ = true;
  started_ = false;
  shuttingDown_ = false;
  closed_ = false;
  destroyed_ = false;
  NewGeneration();
  SetTerminating(false);
  SetSuspendCount(0);
  pub_ = std::make_unique<TPublication>();
  AnsiString cmdText;
  for (size_t i = 0; i < options_.args.size(); ++i) {
    if (i) cmdText.push_back('\r');
    cmdText += options_.args[i];
  }
  Globals().commandLineText = cmdText;
}

bool TWorkForm::OpenPublication() {
  TPackage& pkg = ThePackage();
  AnsiString why;
  TWindowOpening& opening = WindowOpening();
  opening.headless = options_.headless;
  opening.chained = chained_;
  opening.singleInstance = false;
  SetPackageOpenHost(&opening);
  int result = kPackageUnusable;
  // A chained .pkg is read in its short form first; one written in the full
  // form (as vlpack writes them) is read as such.
  const AnsiString& pp = options_.packagePath;
  if (chained_ && pp.size() > 4 && SameTextAnsi(std::string_view(pp).substr(pp.size() - 4), ".pkg"))
    result = pkg.OpenPackage(options_.packagePath, true, &why);
  if (result != kPackageOpen) result = pkg.OpenPackage(options_.packagePath, false, &why);
  if (result == kPackageOpen && HandedOver(opening.singleInstance)) {
    pkg.ClosePackage(false);
    startError_.clear();
    return false;
  }
  if (result == kPackageOpen) {
    const PackageHeader& h = pkg.Header();
    if (!h.SplashImage.empty() && !options_.headless) {
      std::string data;
      if (pkg.LoadEntryToMemory(h.SplashImage, data) == kLoadOk) {
        splash_ = new TSplashScreenForm(this, data, AnsiString());
        splash_->show();
        QCoreApplication::processEvents();
      }
    }
    TLoadOptions lo;
    lo.publicationKind = h.PublicationKind;
    lo.progress = [this](int percent) {
      if (splash_) splash_->SetProgress(percent);
    };
    AnsiString error;
    if (!LoadPublication(pkg, *pub_, lo, error)) result = kPackageUnusable;
  }
  if (result != kPackageOpen) {
    CloseSplash();
    startError_ = Msg(236) + "\r\r" + ErrorText(result);
    return false;
  }
  return true;
}

// What the window itself takes from the publication: its cursor, caption,
// the display's colour depth and the labels of SUBROUTINEACTION=.
void TWorkForm::ApplyPublicationLook() {
  const TPublicationSettings& s = pub_->settings;
  centralWidget()->setCursor(CursorForSlot(kCursorApplication));
  subroutineLabels_.clear();
  {
    size_t pos = 0;
    const AnsiString& sub = s.subroutineAction;
    while (pos < sub.size()) {
      size_t end = sub.find_first_of("\r\n", pos);
      if (end == AnsiString::npos) end = sub.size();
      std::string_view l = TrimView(std::string_view(sub).substr(pos, end - pos));
      size_t blank = l.find_first_of(" \t");
      std::string_view word = l.substr(0, blank);
      if (word.size() > 1 && word[0] == ':') subroutineLabels_.emplace_back(word.substr(1));
      pos = end + 1;
    }
  }
  if (QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen()) SetDisplayColorDepth(scr->depth());
  setWindowTitle(AnsiToQString(TheDialogSettings().appTitle));
}

// The pages, the window's hooks, its layout and every object of every page.
bool TWorkForm::BuildPages() {
  const TPublicationSettings& s = pub_->settings;
  SetObjectEventsSuppressed(true);
  nav_->Build(*pub_);
  SetActivePages(nav_.get());
  InstallHooks();
  LayoutWindow(s.screenWidth, s.screenHeight);
  if (!BuildObjects()) return false;
  if (s.minPubWidth > 0 || s.minPubHeight > 0)
    centralWidget()->setMinimumSize(std::max(0, s.minPubWidth), std::max(0, s.minPubHeight));
  return true;
}

bool TWorkForm::StartPasswordAccepted() {
  const AnsiString& pw = pub_->settings.startPassword;
  return pw.empty() || PasswordDialog(pw) == PasswordResult::Accepted;
}

// The start page: /K<name> when such a page exists, else the package's. It
// becomes current without an action or a transition.
void TWorkForm::ChooseStartPage() {
  TPublicationSettings& s = pub_->settings;
  for (const AnsiString& p : options_.args)
    if (IsSwitch(p, 'B')) s.bypassPrintDlg = true;
  int start = 1;
  bool fromSwitch = false;
  for (const AnsiString& p : options_.args)
    if (IsSwitch(p, 'K') && p.size() > 2) {
      int found = pub_->FindPage(AnsiUpper(std::string_view(p).substr(2)));
      start = found > 0 ? found : 1;
      fromSwitch = true;
      break;
    }
  const PackageHeader& h = ThePackage().Header();
  if (!fromSwitch && h.TestRun()) start = static_cast<int>(h.StartPage);
  if (start < 1 || start > PageCount()) start = PageCount() >= 1 ? 1 : 0;
  nav_->MakeStartPageCurrent(start);
  Lifecycle().PageEnter(nav_->PageIndex(), nav_->ShowsMaster(nav_->PageIndex()));
}

// The main menu, the tray icon and its menu are the window's: they are made
// for it once the objects have started.
void TWorkForm::CreateMenus() {
  const TPublicationSettings& s = pub_->settings;
  TVelMenus& menus = TheMenus();
  TMenuHost mh;
  mh.runPublicationAction = [this](const AnsiString& text, const AnsiString& source, uint8_t flags, uint8_t code) {
    RunPublicationAction(text, source, flags, code);
  };
  mh.showApplication = [this] {
    showNormal();
    raise();
    activateWindow();
  };
  mh.applicationIconChanged = [this](const QIcon& icon) { setWindowIcon(icon); };
  menus.SetHost(std::move(mh));
  menus.CreateMainMenu(pub_->mainMenu, this);
  // A tray publication without a start-up action waits in the tray; where
  // the desktop has no tray its window is shown as any other.
  showAtStart_ = true;
  if (ThePackage().Header().PublicationKind == kPublicationKindTray) {
    menus.CreateTray(pub_->trayMenu, s.title);
    if (s.startupAction.empty() && menus.TrayIcon() && TVelTrayIcon::Available()) showAtStart_ = false;
    CloseSplash();
  }
  menus.PrepareMenuItems(false);
  // The menu bar takes its height from the window, not from the pages.
  // (menuWidget: menuBar() would make an empty bar for a publication without one.)
  auto* bar = qobject_cast<QMenuBar*>(menuWidget());
  if (bar && bar->isVisibleTo(this) && s.windowStyle != 1 && s.windowStyle != 3)
    resize(width(), height() + bar->sizeHint().height());
}

void TWorkForm::FormShow() {
  if (!chained_) area_->hide();
  const int style = Settings().windowStyle;
  if (!showAtStart_ && !chained_)
    ;  // shown from the tray icon; the publication starts at that first paint
  else if (style == 1)
    showFullScreen();
  else if (isFullScreen())
    showNormal();
  else
    show();
  pinnedPos_ = pos();
  pinned_ = true;
  ApplyShape();
  CloseSplash();
}

void TWorkForm::CloseSplash() {
  if (!splash_) return;
  TSplashScreenForm* s = splash_;
  splash_ = nullptr;
  s->CloseSplash();
  s->deleteLater();
}

void TWorkForm::FirstPaint(bool chainedStart) {
  if (!firstPaintPending_) return;
  firstPaintPending_ = false;
  if (!chainedStart) {
    QCoreApplication::sendPostedEvents();
    TheClock().Sleep(150);
  }
  if (closed_) return;
  area_->show();
  const TPublicationSettings& s = Settings();
  SeedRandom(static_cast<uint64_t>(TheClock().WallMs()));
  {
    LifecycleContext ctx = Life();
    Lifecycle().Started(ctx);
  }
  if (s.useUpdateTimer) {
    lastTickMs_ = TheClock().WallMs();
    updateTimer_.SetInterval(1000);
  }
  RestartIdleTimer();
  started_ = true;
  if (onStarted) onStarted();
  SetObjectEventsSuppressed(false);
  nav_->ChangePage(nav_->PageIndex(), false);
  // A tray publication goes to the tray once it has started, unless it
  // asks to stay ([StartInSystemTray] "FALSE") or the desktop has no tray.
  if (ThePackage().Header().PublicationKind == kPublicationKindTray && showAtStart_ && !closed_ && isVisible() &&
      !isMinimized() && RunningActions() == 0 && TheMenus().TrayIcon() && TVelTrayIcon::Available() &&
      !SameTextInvariant(GetVariableValue("StartInSystemTray", NowDateTime()), "FALSE"))
    hide();
}

// ---------------------------------------------------------------------------
// Layout

void TWorkForm::LayoutWindow(int width, int height) {
  const TPublicationSettings& s = Settings();
  width = std::max(1, width);
  height = std::max(1, height);
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  QRect whole = screen ? screen->geometry() : work;
  QWidget* client = centralWidget();
  QPalette pal = client->palette();
  const int style = s.windowStyle;
  // A chained load rebuilds the window from a sizeable frame, and keeps its
  // place unless the closing publication was full screen.
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  const bool keepPlace = chained_ && !(chainOptions_ & 1) && isVisible();
  const QPoint oldPos = pos();
  pubRect_ = QRect(0, 0, width, height);
  area_->SetPublicationRect(pubRect_);
  windowOrder_ = (s.windowOrder == 1 || s.windowOrder == 2) ? s.windowOrder : 0;
  setWindowFlag(Qt::WindowStaysOnTopHint, windowOrder_ == 1);
  setWindowFlag(Qt::WindowStaysOnBottomHint, windowOrder_ == 2);
  if (style == 1 || style == 3) {
    pal.setColor(QPalette::Window, ToQColor(s.bkndColor));
    ApplyWindowProps(0);
    if (s.screenAutoSize) {
      area_->setMinimumSize(0, 0);
      area_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      area_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    } else {
      area_->setFixedSize(width, height);
    }
    setGeometry(style == 1 ? whole : work);
  } else {
    pal.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    ApplyWindowProps(style == 2 ? 0 : s.windowProps);
    if (style == 0 && s.screenAutoSize) {
      area_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
      area_->setMinimumSize(1, 1);
    } else {
      area_->setFixedSize(width, height);
    }
    client->setMinimumSize(std::min(width, work.width()), std::min(height, work.height()));
    resize(std::min(width, work.width()), std::min(height, work.height()));
    client->setMinimumSize(0, 0);
    const int w = frameGeometry().width(), h = frameGeometry().height();
    const int p = s.windowPos;
    int left = (p == 3 || p == 4 || p == 5) ? 0
               : (p == 6 || p == 7 || p == 8) ? work.right() + 1 - w
                                              : work.width() / 2 - w / 2;
    int top = (p == 1 || p == 3 || p == 6) ? 0
              : (p == 2 || p == 5 || p == 8) ? work.bottom() + 1 - h
                                             : work.height() / 2 - h / 2;
    move(left, top);
    if (keepPlace) {
      move(oldPos);
    } else if (!s.windowRegKey.empty()) {
      auto placed = RestorePlacement(UserRegistry(), s.windowRegKey, geometry(), whole.size(),
                                     (s.windowProps & 2) != 0);
      if (placed) {
        setGeometry(placed->rect);
        if (placed->maximise) setWindowState(windowState() | Qt::WindowMaximized);
      }
    }
    if (!(s.windowProps & 2) && style == 0 && !s.screenAutoSize) setFixedSize(size());
  }
  client->setPalette(pal);
}

void TWorkForm::ApplyWindowProps(int bits) {
  Qt::WindowFlags f = Qt::Window | Qt::CustomizeWindowHint;
  if (bits & 1) f |= Qt::WindowTitleHint;
  if (bits & 8) {
    f |= Qt::WindowSystemMenuHint;
    if (!(bits & 128)) f |= Qt::WindowCloseButtonHint;
    if (bits & 16) f |= Qt::WindowMinimizeButtonHint;
    if (bits & 32) f |= Qt::WindowMaximizeButtonHint;
  }
  if (!(bits & 1)) f |= Qt::FramelessWindowHint;
  const Qt::WindowFlags keep = windowFlags() & (Qt::WindowStaysOnTopHint | Qt::WindowStaysOnBottomHint);
  setWindowFlags(f | keep);
}

void TWorkForm::moveEvent(QMoveEvent* e) {
  QMainWindow::moveEvent(e);
  // A window without the "movable" bit keeps its place.
  if (pinned_ && isVisible() && !initialising_ && !closed_ && !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) &&
      Settings().windowStyle != 1 && Settings().windowStyle != 3 && !(Settings().windowProps & 4) && pos() != pinnedPos_)
    move(pinnedPos_);
  else if (pinned_ && isVisible())
    pinnedPos_ = pos();
  // What shows the window's place follows it.
  if (isVisible() && !initialising_ && !closed_)
    for (const char* n : {"WINDOWLEFT", "WINDOWTOP"})
      NotifyVariableChanged(AnsiString("[") + n + "]", GetVariableValue(n, NowDateTime()));
}

void TWorkForm::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  if (!area_ || !area_->isVisible() || initialising_ || closed_) return;
  for (const char* n : {"WINDOWWIDTH", "WINDOWHEIGHT", "CLIENTWIDTH", "CLIENTHEIGHT", "WINDOWSTATE"})
    NotifyVariableChanged(AnsiString("[") + n + "]", GetVariableValue(n, NowDateTime()));
}

void TWorkForm::PostPageChange(int index) {
  QCoreApplication::postEvent(this, new TIntEvent(PageChangeEvent(), index));
  NotePostedWork();
}

// ---------------------------------------------------------------------------
// Actions, timers, input

void TWorkForm::RunPublicationAction(const AnsiString& text, std::string_view sourceName, uint8_t flags,
                                     uint8_t eventCode) {
  if (shuttingDown_ || text.empty()) return;
  const int origin = (eventCode == kEventPageEnter || eventCode == kEventPageExit) ? kOriginPage : kOriginPublication;
  RunAction(text, flags, eventCode, origin, sourceName);
}

bool TWorkForm::SubroutineExists(std::string_view label) const {
  for (const auto& l : subroutineLabels_)
    if (SameTextInvariant(l, label)) return true;
  return false;
}

void TWorkForm::InputLock(bool take) {
  if (take) {
    if (inputLock_++ == 0) BlockInput(true);
  } else if (inputLock_ > 0 && --inputLock_ == 0) {
    BlockInput(false);
  }
}

// The first take and the last release: the page area and every other window
// of the application, then the participants (the menus' top-level items).
void TWorkForm::BlockInput(bool on) {
  area_->setEnabled(!on);
  Lifecycle().InputBlock(on);
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != this && (!on || w->isVisible())) w->setEnabled(!on);
}

// The variable store's change notice; [LastError] is traced by the store
// itself. Menus, then the objects, hear it through the registry (floating
// windows will, once they exist).
void TWorkForm::NotifyVariableChanged(const AnsiString& bracketName, const AnsiString& value) {
  Lifecycle().VarChanged(bracketName, value);
}

void TWorkForm::RestartIdleTimer() {
  const TPublicationSettings& s = Settings();
  if (!started_ || shuttingDown_ || !s.autoReturn || s.returnAction.empty()) return;
  idleTimer_.SetInterval(static_cast<int64_t>(std::max(1, s.returnTime)) * 1000);
}

void TWorkForm::IdleTick() {
  if (!inputLock_) RunPublicationAction(Settings().returnAction, "", 0, kEventIdle);
  RestartIdleTimer();
}

void TWorkForm::UpdateTick() {
  if (shuttingDown_) return;
  const int64_t now = TheClock().WallMs();
  static const char* const kTime[] = {"TIME", "TIME24", "HOUR", "MINUTE", "SECOND"};
  static const char* const kDate[] = {"DATESHORT", "DATELONG", "MONTH", "MONTHNUM", "DAY", "DAYNUM", "YEAR"};
  const TDateTime t = NowDateTime();
  for (const char* n : kTime) NotifyVariableChanged(AnsiString("[") + n + "]", GetVariableValue(n, t));
  // Midnight passed: the time of day is earlier than at the last tick.
  if (lastTickMs_ >= 0 && now % 86400000 < lastTickMs_ % 86400000)
    for (const char* n : kDate) NotifyVariableChanged(AnsiString("[") + n + "]", GetVariableValue(n, t));
  lastTickMs_ = now;
  updateTimer_.SetInterval(1000);
}

bool TWorkForm::HandleKey(int key, Qt::KeyboardModifiers mods) {
  if (!isEnabled() || inputLock_) return true;
  const TPublicationSettings& s = Settings();
  // Shortcuts first: the objects of the page (then the master page's) may
  // take the key. Enter stays with a multi-line edit field.
  if (const int shortcut = QtKeyToShortcut(key, mods);
      shortcut && !((shortcut & 0xFF) == 0x0D && MultiLineEditHasFocus()) &&
      TheObjects().OfferHotKey(PageIndex(), nav_->ShowsMaster(PageIndex()), shortcut))
    return true;
  // Tab and Shift+Tab move along the page's own keyboard order.
  if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !(mods & (Qt::ControlModifier | Qt::AltModifier)) &&
      !MultiLineEditHasFocus())
    return TheObjects().FocusNext(PageIndex(), key == Qt::Key_Backtab || (mods & Qt::ShiftModifier));
  if (key == Qt::Key_Escape) {
    if (s.allowEsc) QCoreApplication::postEvent(this, new TIntEvent(CloseRequestEvent(), ssWindows));
    return s.allowEsc;
  }
  if (key == Qt::Key_F1 && !s.helpFile.empty()) {
    OpenHelpContents();
    return true;
  }
  if (!s.allowPageUpDn) return false;
  int target = -1;
  switch (key) {
    case Qt::Key_PageUp: target = PageIndex() > 1 ? PageIndex() - 1 : -1; break;
    case Qt::Key_PageDown: target = PageIndex() < PageCount() ? PageIndex() + 1 : -1; break;
    case Qt::Key_Home:
      if (EditHasFocus()) return false;
      target = 1;
      break;
    case Qt::Key_End:
      if (EditHasFocus()) return false;
      target = PageCount();
      break;
    default: return false;
  }
  if (target >= 1 && target != PageIndex()) PostPageChange(target);
  return true;
}

bool TWorkForm::eventFilter(QObject* watched, QEvent* e) {
  switch (e->type()) {
    case QEvent::KeyPress: {
      auto* w = qobject_cast<QWidget*>(watched);
      if (w && w->window() == this && started_ && !closed_) {
        RestartIdleTimer();
        auto* k = static_cast<QKeyEvent*>(e);
        if (HandleKey(k->key(), k->modifiers())) return true;
      }
      break;
    }
    case QEvent::MouseButtonPress: {
      RestartIdleTimer();
      // A movable window without a title bar (or a shaped one) is moved by
      // dragging the page background.
      const TPublicationSettings& st = Settings();
      auto* m = static_cast<QMouseEvent*>(e);
      if (watched == area_ && started_ && !closed_ && m->button() == Qt::LeftButton && (st.windowProps & 4) &&
          (st.windowStyle == 2 || (st.windowStyle == 0 && !(st.windowProps & 1))) && windowHandle()) {
        windowHandle()->startSystemMove();
      }
      break;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
      RestartIdleTimer();
      break;
    default: break;
  }
  return QMainWindow::eventFilter(watched, e);
}

bool TWorkForm::event(QEvent* e) {
  const QEvent::Type t = e->type();
  if (t == TActionRequestEvent::EventType()) {
    if (!shuttingDown_) HandleMainActionRequest(e);
    return true;
  }
  if (t == FirstPaintEvent()) {
    FirstPaint(false);
    return true;
  }
  if (t == HideToTrayEvent()) {
    if (isMinimized()) hide();
    return true;
  }
  if (t == ChainEvent()) {
    // Only from the event loop with no action running: everything the old
    // publication's actions stood on may go now.
    if (!chainPending_) return true;
    if (RunningActions() > 0)
      chainAfterOutermost_ = true;
    else
      RunChainedLoad();
    return true;
  }
  if (t == PageChangeEvent()) {
    if (!shuttingDown_) nav_->ProcessPageChange(static_cast<TIntEvent*>(e)->value);
    return true;
  }
  if (t == ActivateActionEvent()) {
    QCoreApplication::sendPostedEvents();
    const bool deactivate = static_cast<TIntEvent*>(e)->value != 0;
    RunPublicationAction(deactivate ? Settings().deactivateAction : Settings().activateAction, "", 0,
                         deactivate ? kEventDeactivate : kEventActivate);
    return true;
  }
  if (t == CloseRequestEvent()) {
    RequestClose(static_cast<TShutdownSource>(static_cast<TIntEvent*>(e)->value));
    return true;
  }
  return QMainWindow::event(e);
}

void TWorkForm::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  // A tray publication lives in the tray while minimised.
  if (e->type() == QEvent::WindowStateChange && isMinimized() && started_ && !closed_ &&
      ThePackage().Header().PublicationKind == kPublicationKindTray && TheMenus().TrayIcon() &&
      TVelTrayIcon::Available())
    QCoreApplication::postEvent(this, new QEvent(HideToTrayEvent()));
  if (e->type() != QEvent::ActivationChange || !started_ || shuttingDown_) return;
  const bool active = isActiveWindow();
  const AnsiString& text = active ? Settings().activateAction : Settings().deactivateAction;
  if (!text.empty()) {
    QCoreApplication::postEvent(this, new TIntEvent(ActivateActionEvent(), active ? 0 : 1));
    NotePostedWork();
  }
}

// ---------------------------------------------------------------------------
// Closing

bool TWorkForm::RequestClose(TShutdownSource source) {
  if (closed_) return true;
  if (inCloseQuery_) return false;
  if (source == ssCloseButton && (Settings().windowProps & 8) && (Settings().windowProps & 128)) return false;
  shutdownSource_ = source;
  inCloseQuery_ = true;
  const bool accepted = FormCloseQuery();
  inCloseQuery_ = false;
  if (!accepted) return false;
  FormClose();
  return true;
}

void TWorkForm::closeEvent(QCloseEvent* e) {
  // Our own close: FormClose has run already. Anything else is the close box
  // (or the window manager ending the session).
  if (closed_ || RequestClose(ssCloseButton))
    e->accept();
  else
    e->ignore();
}

// Mail in progress, the exit password and the shut-down action are
// participants of the close query; any of them may refuse.
bool TWorkForm::FormCloseQuery() {
  LifecycleContext ctx = Life();
  const bool accepted = Lifecycle().CloseQuery(ctx);
  shutdownSource_ = ctx.shutdownSource;
  if (!accepted) return false;
  nav_->StopSlideShow();
  if (TVLPage* pg = nav_->CurrentPage(); pg && started_ && PageIndex() > 0)
    RunPublicationAction(pg->background.ExitAction, pg->name, kFlagNoPageChange, kEventPageExit);
  shuttingDown_ = true;
  initialising_ = true;
  ctx.shuttingDown = true;
  // The objects' shut-down notice.
  Lifecycle().Shutdown(ctx);
  return true;
}

void TWorkForm::FormClose() {
  SaveWindowPlacement();
  updateTimer_.Stop();
  idleTimer_.Stop();
  // The display cover, the embedded-file list.
  LifecycleContext ctx = Life();
  Lifecycle().Close(ctx);
  closed_ = true;
  if (chained_) return;  // the window stays for the next publication
  hide();
  if (onClosed) onClosed();
}

void TWorkForm::SaveWindowPlacement() {
  const TPublicationSettings& s = Settings();
  if (s.windowRegKey.empty() || s.windowStyle == 1 || s.windowStyle == 3) return;
  QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
  SavePlacement(UserRegistry(), s.windowRegKey, normal, isMaximized());
}

void TWorkForm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  updateTimer_.Stop();
  idleTimer_.Stop();
  CloseSplash();
  RemoveHooks();
  // Objects, variables, menus, dialog pictures, the picture cache, the
  // package, the fonts.
  LifecycleContext ctx = Life();
  Lifecycle().Destroy(ctx);
  if (ActivePages() == nav_.get()) SetActivePages(nullptr);
}

bool TWorkForm::BuildObjects() {
  TPageObjects& objects = TheObjects();
  LinkObjectsToPages(objects, *nav_);
  AnsiString error;
  if (!objects.Build(*pub_, [this](int page) { return area_->ObjectLayer(page); }, QPoint(0, 0), error)) {
    startError_ = Msg(236) + "\r\r" + error;
    return false;
  }
  const QRect pubRect(0, 0, std::max(1, Settings().screenWidth), std::max(1, Settings().screenHeight));
  for (int i = 0; i < objects.PageCount(); ++i) objects.AlignPage(i, pubRect);
  // The player's page switch reaches every subsystem, the objects among
  // them, through the lifecycle.
  TPageEvents& ev = nav_->Events();
  ev.pageLeave = [](int page, bool master) { Lifecycle().PageLeave(page, master); };
  ev.pageEnter = [](int page, bool master) { Lifecycle().PageEnter(page, master); };
  ev.pageShown = [](int page, bool master) { Lifecycle().PageShown(page, master); };
  ev.plugInPageChange = [](int index) { ThePlugIns().Broadcast(6, index); };
  return true;
}

QImage TWorkForm::Screenshot() {
  QWidget* client = centralWidget();
  if (!area_->isVisible() && started_) area_->show();
  return client->grab().toImage();
}

void TWorkForm::InstallHooks() {
  qApp->installEventFilter(this);
  if (!links_) links_ = std::make_unique<TInterpreterLinks>(*this);
  SetVariableWatcher(links_.get());
  SetInterpreterHost(links_.get());
  SubroutineText() = Settings().subroutineAction;
}

void TWorkForm::RemoveHooks() {
  qApp->removeEventFilter(this);
  chainAfterOutermost_ = false;
  if (!links_) return;
  if (&VarWatch() == links_.get()) SetVariableWatcher(nullptr);
  if (&Interp() == links_.get()) SetInterpreterHost(nullptr);
}

// F1: the help file's contents, in the viewer the desktop has for its type
// (a headless run opens nothing).
void TWorkForm::OpenHelpContents() {
  if (options_.headless) return;
  const AnsiString name = ExpandVariables(Settings().helpFile);
  AnsiString path;
  int error = 0;
  const int rc = ThePackage().ResolveFile(name, path, error);
  if (rc == kExtractIncomplete || rc == kExtractWriteError) return;
  QDesktopServices::openUrl(QUrl::fromLocalFile(AnsiToQString(path)));
}

}  // namespace vl
