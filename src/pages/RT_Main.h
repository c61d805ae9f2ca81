#pragma once
// TWorkForm: the player's one main window. It opens the package, reads the
// publication, shows the page area at the publication's size and style,
// turns keys, timers and activation into actions, and closes in order:
//
//   FormCreate   package, splash, publication, extraction folder, fonts,
//                start password, start page, plug-ins
//   FormShow     position, the page area hidden until the first paint
//   first paint  the first page, then STARTUPACTION= once, then its enter action
//   closing      FormCloseQuery (exit password, shut-down action that may
//                veto), FormClose (placement saved, timers stopped)
//   FormDestroy  variables cleared, picture cache emptied, package closed
//
// Everything runs on the user-interface thread; deferred work (posted
// actions, the activate and deactivate actions, deferred page changes) goes
// through the window's own event queue and runs in posting order.
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"
#include "runtime/Clock.h"
#include "runtime/Publication.h"

namespace vl {

class TSplashScreenForm;
class TPageView;
class TVLPageNavigator;
class TWorkPageHost;

// Event codes of the main window's own actions.
constexpr uint8_t kEventPageChangeAction = 56;
constexpr uint8_t kEventActivate = 54;
constexpr uint8_t kEventDeactivate = 55;
constexpr uint8_t kEventIdle = 57;
constexpr uint8_t kEventDdeMacro = 59;
constexpr uint8_t kEventPlugInRequest = 61;

// Why the window closes: the values of [ShutdownSource].
enum TShutdownSource : int { ssWindows = 0, ssVellion = 1, ssCloseButton = 2 };

// What the program entry tells the window before FormCreate.
struct TStartOptions {
  AnsiString packagePath;
  std::vector<AnsiString> args;  // the parameters that make the command-line text
  bool headless = false;
};

class TWorkForm : public QMainWindow {
 public:
  explicit TWorkForm(TStartOptions options);
  ~TWorkForm() override;

  // --- life cycle (the order is the caller's: see the header comment)
  // False when the publication cannot start; StartError() then holds the
  // message (empty when the start password was refused: end silently).
  bool FormCreate();
  const AnsiString& StartError() const { return startError_; }
  void FormShow();
  // Frees what the publication holds; the variables are cleared.
  void FormDestroy();

  // True once the close has been accepted and FormClose has run.
  bool Closed() const { return closed_; }
  // True once the first paint started the publication.
  bool Started() const { return started_; }
  bool ShuttingDown() const { return shuttingDown_; }
  // Called at the first paint, just before the first page is shown (a
  // headless script starts here, so it can answer the start-up action's
  // dialogs).
  std::function<void()> onStarted;
  // Called once FormClose has run (the program leaves its loop).
  std::function<void()> onClosed;

  // Asks the window to close as the Exit command, the close box or Esc do.
  // False when the close was refused.
  bool RequestClose(TShutdownSource source);

  // Runs one of the publication's own actions now, unless shutting down.
  void RunPublicationAction(const AnsiString& text, std::string_view sourceName, uint8_t flags,
                            uint8_t eventCode);
  // Blocks user input while a command waits; taken and released in pairs.
  void InputLock(bool take);
  bool InputBlocked() const { return inputLock_ > 0; }
  // The variable store's change notice.
  void NotifyVariableChanged(const AnsiString& bracketName, const AnsiString& value);
  void RestartIdleTimer();
  // The labels of SUBROUTINEACTION=.
  bool SubroutineExists(std::string_view label) const;

  // Page changes asked for by keys go through the queue like those of actions.
  void PostPageChange(int index);
  int PageIndex() const;
  int PageCount() const;  // pages without the master page
  TVLPageNavigator& Pages() { return *nav_; }

  const TPublication& Publication() const { return *pub_; }
  const TPublicationSettings& Settings() const { return pub_->settings; }
  QWidget* PageArea() const;
  // The client area as a user sees it.
  QImage Screenshot();

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  bool FormCloseQuery();
  void FormClose();
  void FirstPaint();
  void LayoutWindow(int width, int height);
  void ApplyWindowProps(int bits);
  bool HandleKey(int key, Qt::KeyboardModifiers mods);
  void UpdateTick();
  void IdleTick();
  void CloseSplash();
  bool BuildObjects();
  void InstallHooks();
  void RemoveHooks();

  TStartOptions options_;
  std::unique_ptr<TPublication> pub_;
  std::unique_ptr<TWorkPageHost> host_;
  std::unique_ptr<TVLPageNavigator> nav_;
  TPageView* area_ = nullptr;
  TSplashScreenForm* splash_ = nullptr;
  AnsiString startError_;
  std::vector<AnsiString> subroutineLabels_;
  bool initialising_ = true;
  bool firstPaintPending_ = true;
  bool started_ = false;
  bool shuttingDown_ = false;
  bool closed_ = false;
  bool destroyed_ = false;
  bool inCloseQuery_ = false;
  int shutdownSource_ = ssWindows;
  int inputLock_ = 0;
  QPoint pinnedPos_;
  bool pinned_ = false;
  TVelTimer updateTimer_;
  TVelTimer idleTimer_;
  int64_t lastTickMs_ = -1;
};

// The main window of the running publication, or null.
TWorkForm* WorkForm();

}  // namespace vl
