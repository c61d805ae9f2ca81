#pragma once
// TWorkForm: the player's one main window. It opens the package, reads the
// publication, shows the page area at the publication's size and style,
// turns keys, timers and activation into actions, and closes in order:
//
//   FormCreate   package, splash, publication; Lifecycle().Load (extraction
//                folder, cursors, fonts, picture cache, dialogs, variables);
//                pages and objects, start password, start page;
//                Lifecycle().Start (plug-ins, the objects' start); menus
//   FormShow     position, the page area hidden until the first paint
//   first paint  Lifecycle().Started; the first page, then STARTUPACTION=
//                once, then its enter action
//   closing      FormCloseQuery: Lifecycle().CloseQuery (exit password,
//                shut-down action; any may veto), the page's exit action,
//                Lifecycle().Shutdown; FormClose (placement saved, timers
//                stopped, Lifecycle().Close)
//   FormDestroy  Lifecycle().Destroy (objects, variables, menus, picture
//                cache, package, fonts)
//
// Subsystems do not add lines here: they register a participant in
// runtime/Lifecycle.h from their own folder. The chained load is in
// ChainedLoad.cpp, the single-instance hand-over in InstanceHandOver.cpp.
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

#include "actions/EventCodes.h"
#include "runtime/Ansi.h"
#include "runtime/Clock.h"
#include "runtime/Lifecycle.h"
#include "runtime/Publication.h"

namespace vl {

class TInstanceChannel;
class TSplashScreenForm;
class TPageView;
class TVLPageNavigator;
class TWorkPageHost;

// Why the window closes: the values of [ShutdownSource].
enum TShutdownSource : int { ssWindows = 0, ssVellion = 1, ssCloseButton = 2 };

// What the program entry tells the window before FormCreate.
struct TStartOptions {
  AnsiString packagePath;
  std::vector<AnsiString> args;  // the parameters that make the command-line text
  bool headless = false;
  // The single-instance hand-over and the macros channel (windowed runs; a
  // headless run only when asked).
  bool channel = true;
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

  // Replaces the running publication by the package in `fileName` (RunVellion).
  // The close is asked for at once (the shut-down action may refuse it); once
  // accepted, the running actions stop and the old publication is taken down
  // and the new one started only when the outermost action has returned, so
  // nothing an action still stands on is freed under it. A file that cannot
  // be found sets [LastError] (error code 2) and changes nothing. False when
  // nothing was started (not found, or the close refused).
  bool LoadChainedPublication(const AnsiString& fileName, bool clearVariables, bool closeWindows);
  // True from an accepted chained load until the new publication runs.
  bool ChainPending() const { return chainPending_; }
  // Called when a chained publication could not start: StartError() holds
  // the message and the program should end (status 2).
  std::function<void()> onChainFailed;

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

  // --- the window as the special variables see it (WindowVars.cpp)
  // The publication rectangle inside the page area; its size is the
  // publication size.
  QRect PublicationRect() const { return pubRect_; }
  // Screen position of the publication area's top-left corner.
  QPoint PublicationOrigin() const;
  // [PubWidth]/[PubHeight] written while running.
  void SetPublicationSize(int width, int height);
  // The client area: the window without its menu bar and frame.
  QSize ClientSize() const;
  void SetClientSize(int width, int height);
  // [WindowLeft]/[WindowTop]: also the position the window is kept at.
  void MoveWindowTo(int left, int top);
  void ResizeWindowTo(int width, int height);
  // "Minimized", "Maximized" or "Normal"; writes as [WindowState] does.
  AnsiString WindowStateText() const;
  void SetWindowStateText(const AnsiString& value);
  // 0 normal, 1 always on top, 2 kept at the bottom.
  int WindowOrder() const { return windowOrder_; }
  void SetWindowOrder(int order);
  // [PubTitle]: the caption (and the tray icon's hint).
  void SetCaption(const AnsiString& caption);

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
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  bool FormCloseQuery();
  void FormClose();
  // The context the lifecycle participants are called with.
  LifecycleContext Life() const;
  // The steps of FormCreate that are the window's own.
  void ResetRunState();
  bool OpenPublication();
  void ApplyPublicationLook();
  bool BuildPages();
  bool StartPasswordAccepted();
  void ChooseStartPage();
  void CreateMenus();
  void SaveWindowPlacement();
  void BlockInput(bool on);
  void FirstPaint(bool chainedStart);
  void LayoutWindow(int width, int height);
  void ApplyWindowProps(int bits);
  // Style 2: the window takes the shape of SHAPEFILE= (WindowShape.cpp).
  void ApplyShape();
  bool HandleKey(int key, Qt::KeyboardModifiers mods);
  void UpdateTick();
  void IdleTick();
  void CloseSplash();
  bool BuildObjects();
  // The window as the interpreter's host and the variables' watcher.
  class TInterpreterLinks;
  void InstallHooks();
  void RemoveHooks();
  void RunChainedLoad();
  bool HandedOver(bool singleInstance);
  void OpenChannel(const AnsiString& appName, bool singleInstance);
  void CommandLineHandedOver(const AnsiString& text);
  void OpenHelpContents();

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
  QRect pubRect_;
  int windowOrder_ = 0;
  bool pinned_ = false;
  TVelTimer updateTimer_;
  TVelTimer idleTimer_;
  int64_t lastTickMs_ = -1;
  // The chained load: the options bits are 1 the closing publication was
  // full screen, 2 clear the variables, 4 close the floating windows.
  bool chained_ = false;
  bool chainPending_ = false;
  // The chained load waits for the outermost running action to return.
  bool chainAfterOutermost_ = false;
  int chainOptions_ = 0;
  AnsiString chainPath_;
  std::unique_ptr<TInstanceChannel> channel_;
  std::unique_ptr<TInterpreterLinks> links_;
  // Tray publications: the window is shown at start (else only from the tray).
  bool showAtStart_ = true;
};

// The application's name: the host file's name without its extension (what
// the single-instance check and the macros channel are named after).
AnsiString ApplicationNameOf(const AnsiString& packagePath);

// Where a chained load finds `fileName`: as given when it names a folder and
// exists, else its file-name part in `publicationFolder`, else along the
// search path ($PATH). Empty when it is nowhere.
AnsiString FindChainedPackage(const AnsiString& fileName, const AnsiString& publicationFolder);

// The main window of the running publication, or null.
TWorkForm* WorkForm();

}  // namespace vl
