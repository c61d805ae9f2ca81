#pragma once
// Popups: small borderless windows over the publication that wait until the
// user dismisses them or their time runs out: the balloon, the sticky note,
// the popup picture and the popup menu. They share TPopUpPalette, which
// shows itself without taking the focus and runs its own small modal loop on
// the one clock: timers, queued actions and a headless script go on while a
// popup is up, but the user's mouse and keys belong to the popup (a click
// elsewhere dismisses it; Esc dismisses, Enter chooses; other keys go to the
// popup and never reach the main window).
//
// Every popup is traced: "window<TAB>open<TAB>KIND<TAB>TITLE" when it shows
// (KIND balloon, note, picture or menu; TITLE its text, the picture's file
// or the menu's items as written) and "window<TAB>close<TAB>TITLE" when it
// goes.
#include <QWidget>
#include <string_view>

#include "runtime/Ansi.h"
#include "runtime/Clock.h"

class QKeyEvent;

namespace vl {

class TPopUpPalette : public QWidget {
 public:
  enum Result { NoResult = 0, Chosen = 1, Dismissed = 2 };

  TPopUpPalette(const char* kind, AnsiString title);
  ~TPopUpPalette() override;

  // 0 none; -1 show, let pending events run once, and return at once.
  int timeout = 0;

  // Holds the popup inside the work area of the monitor nearest (x, y),
  // shows it and waits for its result. A popup already up is dismissed
  // instead.
  int ShowPopup(int x, int y);
  void SetResult(int r);
  int ResultCode() const { return result_; }
  const AnsiString& Kind() const { return kind_; }
  const AnsiString& Title() const { return title_; }

 protected:
  // A key the popup hook passes on (not Esc, nor Enter unless the popup
  // takes Enter itself).
  virtual void PopupKey(QKeyEvent* e);
  // Whether Enter goes to PopupKey (the menu) rather than choosing.
  virtual bool TakesEnter() const { return false; }
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  AnsiString kind_;
  AnsiString title_;
  int result_ = NoResult;
  bool waiting_ = false;
  Clock::TimerId timer_ = 0;
};

// The popup waiting now (the innermost), or null.
TPopUpPalette* OpenPopup();
// Dismisses every popup that is up (the player is closing).
void DismissAllPopups();

// The popup menu: picks the item captioned `caption` ("&" ignored, any
// case) of the open menu, as a click would. False with the reason when no
// menu is open, no item has that caption or it is a separator.
bool PickMenuItem(std::string_view caption, AnsiString& why);

// The commands' popups (PopupForms.cpp, PopupMenu.cpp). X and Y are screen
// coordinates already (-1 handled by each as its command says).
void ShowBalloon(const AnsiString& text, int x, int y, bool xAtMouse, bool yAtMouse, int timeout);
void ShowStickyNote(const AnsiString& text, int x, int y, int timeout);
// False when the picture cannot be read (nothing is shown).
bool ShowPopUpImage(const AnsiString& file, int x, int y, int timeout, const AnsiString& effect);
// The chosen item's number from 1, or 0 when dismissed; `itemCount` gets the
// number of items. A second menu while one is up closes that one and
// answers 0.
int ShowPopupMenu(const AnsiString& items, int x, int y, bool centreX, bool centreY, int width, int rows,
                  int& itemCount);

}  // namespace vl
