#pragma once
// The interpreter: one TActionEval per running action text, the execution
// loop with its block state machine, error reports, and the ways actions are
// started (RunAction now, PostAction through the owner's event queue,
// RunSubroutine by label).
#include <QEvent>
#include <QObject>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "actions/ActionText.h"
#include "actions/CommandApi.h"
#include "actions/EventCodes.h"

namespace vl {

// Action flags.
constexpr uint8_t kFlagNoPageChange = 1;  // page-changing commands are refused
constexpr uint8_t kFlagFromBrowser = 2;   // restricted commands are refused
constexpr uint8_t kFlagSuspended = 4;     // runs at once and counts as one Suspend

// Origin types passed on to the debugger.
constexpr int kOriginPage = 25;
constexpr int kOriginPublication = 26;
constexpr int kOriginPlugIn = 27;

// More running interpreters than this (GoSub and Call nest one each) stop
// the innermost action instead of exhausting the native stack.
constexpr int kMaxRunningActions = 1000;

enum class SkipState : uint8_t { Run = 0, ToElse = 1, ToEndIf = 2, PastEndWhile = 3, PastEndLoop = 4 };

class TActionEval : public CommandContext {
 public:
  TActionEval(std::string_view text, uint8_t flags, uint8_t eventCode, int originType,
              std::string_view sourceName);
  ~TActionEval();
  TActionEval(const TActionEval&) = delete;
  TActionEval& operator=(const TActionEval&) = delete;

  // Runs from the line after the current line number to the end.
  void Run();

  // Stops the action with an interpreter error (see CommandContext::Fail).
  void ReportError(int code, std::string_view text = {});

  // The line that searched block starts (EndWhile, EndLoop, ExitWhile,
  // ExitLoop) match, or 0. `forLoop` selects Loop, else While/WhileEx.
  int FindBlockStart(int fromLine, bool forLoop);
  int FindLabelLine(std::string_view label) const;

  // Interpreter state that the flow commands change.
  SkipState skipState = SkipState::Run;
  int nestedIf = 0, nestedWhile = 0, nestedLoop = 0;
  bool loopContinue = false;
  bool returnFlag = false;
  int ownSuspend = 0;
  int debugOffDepth = 0;
  int depthId = 0;
  int generation = 0;
  int originType = 0;
  bool selfSet = false;

  // One line, split and classified once (the lines never change while the
  // action runs).
  struct Line {
    AnsiString text;  // without leading blanks and control characters
    AnsiString word;  // the command word as written
    LineClass cls;
    bool split = false;
    int splitResult = 0;
    int argc = 0;
    std::vector<AnsiString> raw;  // 1..10 when split
    uint64_t tableVersion = 0;
    const ActionRecord* record = nullptr;
    const ActionGroup* group = nullptr;
    int blockStart = -1;  // cached FindBlockStart, -1 not searched yet
    // Arguments whose preparation reads nothing but their own text (no
    // reference, no packaged file to look up, no expression to evaluate)
    // are prepared once, for the record they were prepared for.
    const ActionRecord* preparedFor = nullptr;
    uint16_t fixedArgs = 0;  // bit i: argument i is in `prepared`
    uint16_t fixedLiteral = 0;
    std::vector<AnsiString> prepared;
  };
  const std::vector<Line>& Lines() const { return lines_; }

 private:
  friend class CommandContext;
  void RunLine(Line& ln);
  void RunCommand(Line& ln);
  void PlanArguments(Line& ln, const ActionRecord& rec);
  void BlockWordLine(BlockWord w);
  void CountSkipped(const ActionRecord& rec);
  bool StopNow() const;

  std::vector<Line> lines_;
  AnsiString sourceText_;

 public:
  // The whole action text, for the debugger.
  const AnsiString& SourceText() const { return sourceText_; }
};

// Process-wide interpreter state.
int RunningActions();
int Generation();
void NewGeneration();  // another publication was opened
bool Terminating();
void SetTerminating(bool on);
int SuspendCount();
void SetSuspendCount(int n);
// The innermost running action, or null.
TActionEval* CurrentAction();
// The name behind the special variable Self.
AnsiString& SelfValue();

// The publication's SUBROUTINEACTION= text, which RunSubroutine searches.
// What the interpreter needs from the main window is Interp()
// (runtime/Host.h).
AnsiString& SubroutineText();

// Runs `text` to its end now. False when it could not start (nesting limit).
bool RunAction(std::string_view text, uint8_t flags, uint8_t eventCode, int originType,
               std::string_view sourceName);
// Runs the subroutine `label` of SUBROUTINEACTION=: from the line after the
// label to Return, an error or the end. False when the label is not there.
bool RunSubroutine(std::string_view label, uint8_t flags);

// The posted form of a request to run an action. Qt frees the event (and the
// text it owns) once the receiver has handled it.
class TActionRequestEvent : public QEvent {
 public:
  TActionRequestEvent(std::string_view text, uint8_t eventCode, uint8_t flags);
  ~TActionRequestEvent() override;
  static QEvent::Type EventType();
  AnsiString text;
  uint8_t eventCode;
  uint8_t flags;
};

// Queues a request on `receiver`'s event queue; an empty text posts nothing.
// The request is delivered at the next yield of a running action at the
// latest. (An object asked to run an action with flag 4 calls RunAction
// itself instead.)
void PostAction(QObject* receiver, std::string_view text, uint8_t eventCode, uint8_t flags);
// Tells running actions that work was posted for the next yield (deferred
// page changes and other posted events of the player).
void NotePostedWork();
// Requests posted and not yet handled.
int PendingActionRequests();

// For a page object's event(): runs a request with the object's origin type
// and name. False when `e` is not a request.
bool HandleActionRequest(QEvent* e, int originType, std::string_view sourceName);
// For the main window's event(): origin type 26, no source name; event code
// 58 runs the text as a subroutine label.
bool HandleMainActionRequest(QEvent* e);

// A receiver with the main window's handling, for runs without a window.
class TActionTarget : public QObject {
 public:
  using QObject::QObject;
  bool event(QEvent* e) override;
};

// The message of interpreter error `code` completed by `text`.
AnsiString InterpreterErrorMessage(int code, std::string_view text);

}  // namespace vl
