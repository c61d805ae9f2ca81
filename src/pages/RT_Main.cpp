#include "pages/RT_Main.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <cstdio>

#include "actions/DateTime.h"
#include "actions/Interpreter.h"
#include "actions/MathExpr.h"
#include "actions/Vars.h"
#include "objects/PageObjects.h"
#include "pages/MenuItems.h"
#include "pages/PageView.h"
#include "pages/RT_Splash.h"
#include "pages/VLPageList.h"
#include "platform/AppFonts.h"
#include "platform/PrivateTemp.h"
#include "platform/RegistryStore.h"
#include "platform/WindowPlacement.h"
#include "runtime/Messages.h"
#include "runtime/Package.h"
#include "runtime/PictureCache.h"
#include "runtime/Trace.h"
#include "windows/DialogSettings.h"
#include "windows/Password.h"

namespace vl {
namespace {

TWorkForm* gWorkForm = nullptr;
TAppFontRegistry gFonts;

// The window's own queued work, delivered in posting order with the posted
// action requests.
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

class TIntEvent : public QEvent {
 public:
  TIntEvent(QEvent::Type t, int v) : QEvent(t), value(v) {}
  int value;
};

QColor ToQColor(TColor c) {
  c = ColorToRgb(c);
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

const char* SourceName(int source) {
  switch (source) {
    case ssVellion: return "Vellion";
    case ssCloseButton: return "CloseButton";
    default: return "Windows";
  }
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

// What the page switch needs from the window.
class TWorkPageHost : public PageHost {
 public:
  explicit TWorkPageHost(TWorkForm& form) : form_(form) {}
  void PostPageChange(int index) override { form_.PostPageChange(index); }
  void RepaintPage(int, int, int) override {
    if (QWidget* v = form_.PageArea()) v->update();
  }
  void RunPublicationAction(const AnsiString& text, std::string_view sourceName, uint8_t flags,
                            uint8_t eventCode) override {
    form_.RunPublicationAction(text, sourceName, flags, eventCode);
  }
  bool ShuttingDown() const override { return form_.ShuttingDown(); }
  void RestartIdleTimer() override { form_.RestartIdleTimer(); }

 private:
  TWorkForm& form_;
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

bool TWorkForm::FormCreate() {
  initialising_ = true;
  firstPaintPending_ = true;
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

  TPackage& pkg = ThePackage();
  AnsiString why;
  int result = pkg.OpenPackage(options_.packagePath, false, &why);
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
  TPublicationSettings& s = pub_->settings;

  // The extraction folder; the system's temporary folder is replaced by the
  // user's private one.
  AnsiString temp = Utf8ToAnsi(PrivateTempFolder());
  AnsiString folder = ChooseExtractionFolder(s.extractOp, s.extractDir, pkg.HostFolder(), temp, AnsiString());
  pkg.SetExtractOp(s.extractOp);
  pkg.SetExtractionFolder(folder);
  s.extractDir = folder;

  SetFontRegistry(&gFonts);
  pkg.InstallEmbeddedFonts();
  ThePictureCache().SetCacheCapacity(s.cacheSize);
  subroutineLabels_.clear();
  {
    size_t pos = 0;
    AnsiString line;
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

  // What the dialogs, the error box and the variables take from the publication.
  DialogSettings& ds = TheDialogSettings();
  ds.appTitle = s.title.empty() ? AnsiString("Vellion") : s.title;
  ds.okText = pub_->lang[TLangId::Ok];
  ds.cancelText = pub_->lang[TLangId::Cancel];
  ds.yesText = pub_->lang[TLangId::Yes];
  ds.noText = pub_->lang[TLangId::No];
  ds.errorTitle = pub_->lang[TLangId::ErrorTitle];
  ds.pwordTitle = pub_->lang[TLangId::PwordTitle];
  ds.pwordMsg = pub_->lang[TLangId::PwordMsg];
  ds.pwordPrompt = pub_->lang[TLangId::PwordPrompt];
  ds.pwordError = pub_->lang[TLangId::PwordError];
  ds.alertImage = s.alertBoxImage;
  ds.msgImage = s.msgBoxImage;
  ds.exitImage = s.exitBoxImage;
  VarsEnvironment& env = VarsEnv();
  env.showErrors = s.showErrors;
  env.errorTitle = pub_->lang[TLangId::ErrorTitle];
  env.okText = pub_->lang[TLangId::Ok].empty() ? AnsiString("OK") : pub_->lang[TLangId::Ok];
  env.alertBoxImage = s.alertBoxImage;
  env.runMode = pkg.Header().RunMode;
  setWindowTitle(AnsiToQString(ds.appTitle));

  SetObjectEventsSuppressed(true);
  nav_->Build(*pub_);
  SetActivePages(nav_.get());
  InstallHooks();
  LayoutWindow(s.screenWidth, s.screenHeight);
  if (!BuildObjects()) {
    CloseSplash();
    return false;
  }
  if (s.minPubWidth > 0 || s.minPubHeight > 0)
    centralWidget()->setMinimumSize(std::max(0, s.minPubWidth), std::max(0, s.minPubHeight));

  if (!s.startPassword.empty() && PasswordDialog(s.startPassword) != PasswordResult::Accepted) {
    CloseSplash();
    startError_.clear();
    return false;
  }

  initialising_ = false;
  for (const AnsiString& p : options_.args)
    if (IsSwitch(p, 'B')) s.bypassPrintDlg = true;

  // The start page: /K<name> when such a page exists, else the package's.
  int start = 1;
  bool fromSwitch = false;
  for (const AnsiString& p : options_.args)
    if (IsSwitch(p, 'K') && p.size() > 2) {
      int found = pub_->FindPage(AnsiUpper(std::string_view(p).substr(2)));
      start = found > 0 ? found : 1;
      fromSwitch = true;
      break;
    }
  if (!fromSwitch && pkg.Header().TestRun()) start = static_cast<int>(pkg.Header().StartPage);
  if (start < 1 || start > PageCount()) start = PageCount() >= 1 ? 1 : 0;
  nav_->MakeStartPageCurrent(start);
  TheObjects().PageEnter(nav_->PageIndex(), nav_->ShowsMaster(nav_->PageIndex()));
  TheObjects().Start();

  pkg.PreparePlugIns(this);

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
  if (pkg.Header().PublicationKind == kPublicationKindTray) menus.CreateTray(pub_->trayMenu, s.title);
  menus.PrepareMenuItems(false);
  // The menu bar takes its height from the window, not from the pages.
  if (menuBar() && menuBar()->isVisibleTo(this) && s.windowStyle != 1 && s.windowStyle != 3)
    resize(width(), height() + menuBar()->sizeHint().height());
  return true;
}

void TWorkForm::FormShow() {
  area_->hide();
  const int style = Settings().windowStyle;
  if (style == 1)
    showFullScreen();
  else
    show();
  pinnedPos_ = pos();
  pinned_ = true;
  CloseSplash();
}

void TWorkForm::CloseSplash() {
  if (!splash_) return;
  TSplashScreenForm* s = splash_;
  splash_ = nullptr;
  s->CloseSplash();
  s->deleteLater();
}

void TWorkForm::FirstPaint() {
  if (!firstPaintPending_) return;
  firstPaintPending_ = false;
  QCoreApplication::sendPostedEvents();
  TheClock().Sleep(150);
  if (closed_) return;
  area_->show();
  const TPublicationSettings& s = Settings();
  SeedRandom(static_cast<uint64_t>(TheClock().WallMs()));
  if (s.useUpdateTimer) {
    lastTickMs_ = TheClock().WallMs();
    updateTimer_.SetInterval(1000);
  }
  RestartIdleTimer();
  started_ = true;
  if (onStarted) onStarted();
  SetObjectEventsSuppressed(false);
  nav_->ChangePage(nav_->PageIndex(), false);
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
  area_->SetPublicationRect(QRect(0, 0, width, height));
  if (s.windowOrder == 1) setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (s.windowOrder == 2) setWindowFlag(Qt::WindowStaysOnBottomHint, true);
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
    if (!s.windowRegKey.empty()) {
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
    if (inputLock_++ == 0) {
      area_->setEnabled(false);
      TheMenus().SetInputBlocked(true);
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible()) w->setEnabled(false);
    }
  } else if (inputLock_ > 0 && --inputLock_ == 0) {
    area_->setEnabled(true);
    TheMenus().SetInputBlocked(false);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w != this) w->setEnabled(true);
  }
}

void TWorkForm::NotifyVariableChanged(const AnsiString& bracketName, const AnsiString& value) {
  if (!value.empty() && SameTextInvariant(bracketName, "[LASTERROR]")) trace::Record({"error", value});
  TheMenus().MenuVariableChanged(bracketName, value);
  // Floating windows are told here once they exist.
  TheObjects().VarChanged(bracketName, value);
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
    case QEvent::MouseButtonPress:
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
    FirstPaint();
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

bool TWorkForm::FormCloseQuery() {
  const TPublicationSettings& s = Settings();
  if (!s.exitPassword.empty() && PasswordDialog(s.exitPassword) != PasswordResult::Accepted) return false;
  if (!s.shutdownAction.empty() && !shuttingDown_) {
    SetVariable("[ShutdownStatus]", "TRUE");
    SetVariable("[ShutdownSource]", SourceName(shutdownSource_));
    RunAction(s.shutdownAction, 0, kEventShutdown, kOriginPublication, "");
    const bool go = SameTextInvariant(GetVariableValue("ShutdownStatus", NowDateTime()), "TRUE");
    GlobalVars().Remove("ShutdownStatus");
    GlobalVars().Remove("ShutdownSource");
    shutdownSource_ = ssWindows;
    if (!go) return false;
  }
  // Accepted.
  nav_->StopSlideShow();
  if (TVLPage* pg = nav_->CurrentPage(); pg && started_ && PageIndex() > 0)
    RunPublicationAction(pg->background.ExitAction, pg->name, kFlagNoPageChange, kEventPageExit);
  shuttingDown_ = true;
  initialising_ = true;
  TheObjects().Shutdown();
  return true;
}

void TWorkForm::FormClose() {
  const TPublicationSettings& s = Settings();
  if (!s.windowRegKey.empty() && s.windowStyle != 1 && s.windowStyle != 3) {
    QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    SavePlacement(UserRegistry(), s.windowRegKey, normal, isMaximized());
  }
  updateTimer_.Stop();
  idleTimer_.Stop();
  ThePackage().ClearEmbeddedFiles();
  closed_ = true;
  hide();
  if (onClosed) onClosed();
}

void TWorkForm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  updateTimer_.Stop();
  idleTimer_.Stop();
  CloseSplash();
  RemoveHooks();
  TheObjects().Clear();
  ClearAllVariables();
  TheMenus().Clear();
  if (ActivePages() == nav_.get()) SetActivePages(nullptr);
  ThePictureCache().ClearCache();
  ThePackage().ClosePackage(true);
  SetFontRegistry(nullptr);
}

bool TWorkForm::BuildObjects() {
  TPageObjects& objects = TheObjects();
  objects.currentPage = [this] { return nav_->PageIndex(); };
  objects.showsMaster = [this](int page) { return nav_->ShowsMaster(page); };
  AnsiString error;
  if (!objects.Build(*pub_, [this](int page) { return area_->ObjectLayer(page); }, QPoint(0, 0), error)) {
    startError_ = Msg(236) + "\r\r" + error;
    return false;
  }
  const QRect pubRect(0, 0, std::max(1, Settings().screenWidth), std::max(1, Settings().screenHeight));
  for (int i = 0; i < objects.PageCount(); ++i) objects.AlignPage(i, pubRect);
  TPageEvents& ev = nav_->Events();
  ev.pageLeave = [](int page, bool master) { TheObjects().PageLeave(page, master); };
  ev.pageEnter = [](int page, bool master) { TheObjects().PageEnter(page, master); };
  ev.pageShown = [](int page, bool master) { TheObjects().PageShown(page, master); };
  return true;
}

QImage TWorkForm::Screenshot() {
  QWidget* client = centralWidget();
  if (!area_->isVisible() && started_) area_->show();
  return client->grab().toImage();
}

void TWorkForm::InstallHooks() {
  qApp->installEventFilter(this);
  SetVarChangeHandler([this](const AnsiString& name, const AnsiString& value) { NotifyVariableChanged(name, value); });
  InterpreterHooks& h = Hooks();
  h.subroutineText = Settings().subroutineAction;
  h.restartIdleTimer = [this] { RestartIdleTimer(); };
  h.blockingState = [this](bool on) { InputLock(on); };
  h.applicationEnding = [this] { return closed_; };
  h.closeMainWindow = [this] { QCoreApplication::postEvent(this, new TIntEvent(CloseRequestEvent(), ssVellion)); };
}

void TWorkForm::RemoveHooks() {
  qApp->removeEventFilter(this);
  SetVarChangeHandler(nullptr);
  InterpreterHooks& h = Hooks();
  h.restartIdleTimer = nullptr;
  h.blockingState = nullptr;
  h.applicationEnding = nullptr;
  h.closeMainWindow = nullptr;
}

}  // namespace vl
