#pragma once
// The floating windows: extra top-level windows beside the main window that
// show a text file (TextWindow), a picture (ImageWindow) or one of the
// publication's own pages with its objects (CustomWindow). The window
// manager keeps the open ones in opening order, finds them by the name that
// identifies them (the file, or the page), and closes them: one by one at
// the user's or a command's request, all at shut-down and on a chained load.
//
// A custom window does not copy its page: it borrows the widget that holds
// the page's objects and gives it back when it closes, so the objects (and
// what they hold) are the page's own all along.
//
// Every window is traced: "window<TAB>open<TAB>KIND<TAB>TITLE" when it opens
// (KIND text, image or custom) and "window<TAB>close<TAB>TITLE" when it
// closes.
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

enum TFloatKind : int { fkImage = 0, fkText = 1, fkBrowser = 2, fkCustom = 3 };

// Option flags of a window.
enum TFloatFlag : int {
  ffWordWrap = 1,    // text window: lines wrap at the window's width
  ffExclusive = 2,   // custom window: shown modally, the command waits
  ffNoCloseBtn = 4,  // no border icons
  ffFixedPos = 8,    // a child of the main window's client area
  ffProtected = 16,  // not closed by CloseWindow / CloseCustomWindow
};

enum class TFloatBorder { None, ToolWindow, Sizeable, Dialog };

// What OpenFloatingWindow is asked for. X and Y are screen coordinates (for
// a fixed window: client-area coordinates); -1 centres.
struct TFloatRequest {
  AnsiString title;
  AnsiString name;  // the file (text, image) or the page (custom)
  int x = -1, y = -1;
  TFloatKind kind = fkText;
  TFloatBorder border = TFloatBorder::Sizeable;
  int flags = 0;
  int width = 0, height = 0;  // text window: below 1 sizes to the text
};

class TFloatingWindowForm : public QWidget {
 public:
  TFloatingWindowForm(QWidget* parent, Qt::WindowFlags f);
  ~TFloatingWindowForm() override;

  TFloatKind kind = fkText;
  AnsiString name;
  AnsiString title;
  int flags = 0;
  bool isProtected = false;
  bool exclusive = false;
  bool closing = false;
  // The content filling the window (the text view, the picture, or the
  // background holding the borrowed page).
  QWidget* content = nullptr;
  // Kind custom: the page and its borrowed layer, with what is needed to
  // give it back.
  int page = -1;
  QPointer<QWidget> layer;
  QPointer<QWidget> layerOwner;
  QRect layerBounds;
  bool layerVisible = false;
  // The smallest and largest client sizes the user may drag to (0: no limit).
  QSize minTrack, maxTrack;

  // Closes now as the user's close box does (protected windows too).
  void CloseNow();
  bool Finished() const { return finished_; }
  // A window whose building failed: freed without closing steps or trace
  // (its builder gave back whatever it had taken).
  void DiscardUnopened() {
    finished_ = true;
    closing = true;
  }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Finish(bool runSubroutine);
  bool finished_ = false;
};

// Opens the window, or brings the open window of that name forward (its
// content is not reloaded). Null when it could not be opened: [LastError]
// says why (a missing file, a page that does not exist). An exclusive
// window returns only once it has closed (then null too).
TFloatingWindowForm* OpenFloatingWindow(const TFloatRequest& req);
// The first open window whose name equals `name` (case ignored).
TFloatingWindowForm* FindFloatingWindow(std::string_view name);
// The first open window with this title (case ignored), for the headless
// script.
TFloatingWindowForm* FindFloatingWindowByTitle(std::string_view title);
// The open windows in opening order.
std::vector<TFloatingWindowForm*> FloatingWindows();
int ExclusiveWindowCount();
// True when `w` is a floating window or lies inside one.
bool IsInFloatingWindow(const QWidget* w);
// The pages shown in custom windows, in list order.
std::vector<int> FloatingPages();

enum class TCloseWhich { All, AllButCustom, CustomOnly };
// Closes the window of that name unless it is protected (`kinds` restricts
// the kinds that count); nothing when none is open. Exclusive windows end
// their wait at once, others close from the event queue.
void CloseFloatingWindowByName(std::string_view name, TCloseWhich kinds);
// Every window of those kinds that is not already closing (protected ones
// only with `includeProtected`), through the event queue.
void CloseFloatingWindows(TCloseWhich which, bool includeProtected);
// The same at once (shut-down, chained load).
void CloseFloatingWindowsNow(TCloseWhich which);

// Sets [LastError] for a window file that is nowhere.
void FileMissing(const AnsiString& name);

// --- the kinds' builders (TextWindow.cpp, ImageWindow.cpp, CustomWindow.cpp).
// Each fills the form and sets its client size; false with [LastError] set
// when the window cannot open.
bool BuildTextWindow(TFloatingWindowForm& form, const TFloatRequest& req);
bool BuildImageWindow(TFloatingWindowForm& form, const TFloatRequest& req);
bool BuildCustomWindow(TFloatingWindowForm& form, const TFloatRequest& req);
// Custom windows: after the window shows (the open subroutine, the size
// limits), and when it closes (the close subroutine, the page given back).
void CustomWindowShown(TFloatingWindowForm& form);
void CustomWindowClosing(TFloatingWindowForm& form, bool runSubroutine);
// Custom windows lay their page out again for a new client size.
void CustomWindowResized(TFloatingWindowForm& form);
bool CustomWindowKey(TFloatingWindowForm& form, int key, Qt::KeyboardModifiers mods);

}  // namespace vl
