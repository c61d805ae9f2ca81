#pragma once
// Drives the player's open dialogs from outside: the headless mode's script
// step "answer TEXT" presses the button with that caption ("&" ignored,
// without regard to case), "answer OK TEXT" types TEXT into the dialog's
// entry first. Answers can also be queued in advance; each is applied, through
// the one clock, when the next dialog opens.
//
// Every dialog of the player runs through RunModal: shown application-modal
// and waited for on the one clock (so virtual time, timers and queued actions
// keep running while it is open), registered here while it is open.
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"

class QDialog;

namespace vl {

// An open dialog as the trace and the driver describe it.
struct DialogInfo {
  AnsiString kind;   // alert, message, input, password, error, fileopen, ...
  AnsiString title;
  AnsiString text;   // the message or prompt (for file dialogs: the filter)
  std::vector<AnsiString> buttons;  // captions as written, "&" included
};

// What a dialog does in place of the generic press and type (which click the
// push button of that caption and fill the first entry). Each returns false
// and says why when it cannot.
struct DialogHooks {
  std::function<bool(std::string_view caption, AnsiString& why)> press;
  std::function<bool(std::string_view text, AnsiString& why)> type;
};

class DialogDriver {
 public:
  // The dialogs open now, innermost last; the driver works on the innermost.
  static bool IsOpen();
  static int OpenCount();
  static DialogInfo Current();  // empty when none is open
  // Runs `then` from the one clock as soon as a dialog is open (at once when
  // one is), or `timedOut` when none opened within `ms`. It does not block:
  // a dialog runs its own wait nested inside whatever opened it, so a caller
  // that waited for it there would never see it close.
  static void WhenDialogOpen(int64_t ms, std::function<void()> then, std::function<void()> timedOut = {});

  // Presses the button with that caption. False (with the reason) when no
  // dialog is open, no button has the caption or the button is disabled. In
  // entry dialogs "OK" and "Cancel" also name the two buttons by their role,
  // for publications whose language texts leave the captions empty.
  static bool Press(std::string_view caption, AnsiString* why = nullptr);
  // Types into the dialog's entry (replacing its text). False when the
  // dialog has none.
  static bool Type(std::string_view text, AnsiString* why = nullptr);
  // Esc, and the close box.
  static bool Escape();
  static bool CloseBox();

  // Answers applied to the dialogs that open from now on, one each, in order.
  static void QueueAnswer(std::string_view caption);
  static void QueueAnswer(std::string_view caption, std::string_view typed);
  static void QueueEscape();
  static size_t PendingAnswers();
  static void ClearPendingAnswers();
  // Queued answers that did not fit their dialog (which was then closed with
  // Esc, so the run goes on), each with the reason; cleared by the call.
  static std::vector<AnsiString> TakeFailures();

  // For the dialogs: shows `dialog` modally until it closes and returns its
  // result code.
  static int RunModal(QDialog& dialog, const DialogInfo& info, DialogHooks hooks = {});
  // The trace line of a dialog that closed with `answer` (the caption of the
  // button that closed it, empty for Esc and the close box).
  static void Record(const DialogInfo& info, std::string_view answer);

  // "&Yes" -> "Yes", "Fish && Chips" -> "Fish & Chips".
  static AnsiString StripAccelerators(std::string_view caption);
  // Captions compare without regard to case, every "&" left out.
  static bool SameCaption(std::string_view a, std::string_view b);
};

}  // namespace vl
