#include "actions/Interpreter.h"

#include "actions/FunctionFiles.h"

#include <QCoreApplication>
#include <algorithm>

#include "actions/CommandTable.h"
#include "actions/FastNumber.h"
#include "actions/Vars.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Host.h"
#include "runtime/Messages.h"

namespace vl {
namespace {

int gRunning = 0;
int gGeneration = 1;
bool gTerminating = false;
int gSuspendCount = 0;
int gPostedWork = 0;
int gPendingRequests = 0;
TActionEval* gCurrent = nullptr;

// Commands an action started from a web page link may not run.
bool BrowserRestricted(int32_t id) {
  switch (id) {
    case cmd::DOSCommand: case cmd::ExecuteAddOn: case cmd::FileCopy: case cmd::FileDelLine:
    case cmd::FileErase: case cmd::FileInsLine: case cmd::FileRead: case cmd::FileWrite:
    case cmd::SendKeys: case cmd::SaveVariables: case cmd::CreateFolder: case cmd::RegistryRead:
    case cmd::RegistryWrite: case cmd::SendMail: case cmd::ExtractFile: case cmd::ClickMouse:
    case cmd::Run: case cmd::RemoveFolder: case cmd::Suspend: case cmd::RunVellion:
    case cmd::RunInRectangle:
      return true;
    default:
      return false;
  }
}

bool PageChanging(int32_t id) {
  switch (id) {
    case cmd::GotoPage: case cmd::GotoPageNum: case cmd::GotoFirstPage: case cmd::GotoLastPage:
    case cmd::GotoPrevPage: case cmd::GotoNextPage: case cmd::ReturnToPage: case cmd::StartSlideShow:
    case cmd::StopSlideShow: case cmd::PauseSlideShow:
      return true;
    default:
      return false;
  }
}

ArgKind ArgKindOf(const ActionRecord& rec, int i) {
  return i <= rec.maxArgs ? static_cast<ArgKind>(rec.kinds[i - 1]) : ArgText;
}

AnsiString WithParam(int id, std::string_view text) {
  return ReplaceAll(Msg(id), "%s", text);
}

// [Self] is provided from the start like every other special variable, so
// the check at start finds it and a read before any action gives "".
struct SelfVariableRegistration {
  SelfVariableRegistration() {
    RegisterSpecialVar("Self", [](TDateTime) { return SelfValue(); });
  }
};
const SelfVariableRegistration kSelfVariable;

// Lets posted work and the host queue run between two lines.
void YieldBetweenLines() {
  if (gSuspendCount > 0) {
    if (!Interp().EscapePending()) return;
  }
  if (gPostedWork > 0) {
    // Posted actions and deferred page changes are due at this yield, even
    // when the clock's own polling of the host queue is not.
    gPostedWork = 0;
    QCoreApplication::sendPostedEvents();
  }
  TheClock().Yield();
}

}  // namespace

// ---------------------------------------------------------------------------
// Process-wide state

int RunningActions() { return gRunning; }
int Generation() { return gGeneration; }
void NewGeneration() { ++gGeneration; }
bool Terminating() { return gTerminating; }
void SetTerminating(bool on) { gTerminating = on; }
int SuspendCount() { return gSuspendCount; }
void SetSuspendCount(int n) { gSuspendCount = n < 0 ? 0 : n; }
TActionEval* CurrentAction() { return gCurrent; }

AnsiString& SelfValue() {
  static AnsiString self;
  return self;
}

AnsiString& SubroutineText() {
  static AnsiString text;
  return text;
}

// Asked on every line: a plain pointer and a default that needs no guard.
namespace {
InterpreterHost gHeadlessHost;
InterpreterHost* gHost = nullptr;
}  // namespace

InterpreterHost& Interp() { return gHost ? *gHost : gHeadlessHost; }
void SetInterpreterHost(InterpreterHost* host) { gHost = host; }

// ---------------------------------------------------------------------------
// Errors

AnsiString InterpreterErrorMessage(int code, std::string_view text) {
  switch (code) {
    case ErrQuoteOpen: return Msg(241);
    case ErrArgCount: return WithParam(239, text);
    case ErrLoopVariable: return Msg(254);
    case ErrUnknownCommand: return Msg(247);
    case ErrPageChangeRefused: return Msg(255);
    case ErrPageNotFound: return "\"" + AnsiString(text) + "\"\r" + Msg(246);
    case ErrBrowserRestricted: return WithParam(321, text);
    case ErrLabelNotFound: return Msg(244);
    case ErrSubroutineNotFound: return Msg(240);
    case ErrMathSyntax: return Msg(323);
    case ErrPictureNotFound: return "\"" + AnsiString(text) + "\"\r\r" + Msg(232);
    case ErrFunctionNotFound: return "\"" + AnsiString(text) + "\"\r" + Msg(245);
    case ErrBadKeyName: return Msg(336);
    case ErrKeyBraceOpen: return Msg(337);
    case ErrBadOperator: return WithParam(338, text);
    case ErrNoOperator: return Msg(339);
    case ErrNoOperand: return Msg(340);
    case ErrPageChangeTestMode: return Msg(345);
    case ErrExitOutsideBlock: return Msg(346);
    case ErrNotBuilt: return AnsiString(text) + " is not available in this build.";
    case ErrNestingTooDeep:
      return "Too many actions are running inside each other (more than " + std::to_string(kMaxRunningActions) +
             "); the innermost one was stopped.";
    default: return Msg(242);
  }
}

void TActionEval::ReportError(int code, std::string_view text) {
  AnsiString msg = InterpreterErrorMessage(code, text);
  if (VarsEnv().debuggerAttached && Interp().HasDebugger()) {
    SetVariable("[LastError]", msg, true);
    int answer = Interp().DebuggerError(msg, *this);
    if (answer == 1) {
      stop_ = code;
    } else if (answer == 3) {
      stop_ = code;
      gTerminating = true;
      if (event_ != kEventShutdown) Interp().CloseMainWindow();
    }
    return;
  }
  AnsiString report(*word_);
  report += "\r\r";
  report += msg;
  SetVariable("[LastError]", report, true);
  stop_ = code;
}

void CommandContext::Fail(int code, std::string_view text) { static_cast<TActionEval*>(this)->ReportError(code, text); }

bool CommandContext::ShouldStop() const { return static_cast<const TActionEval*>(this)->StopNow() || stop_ != 0; }

int CommandContext::LineCount() const {
  return static_cast<int>(static_cast<const TActionEval*>(this)->Lines().size());
}

TActionEval& CommandContext::Eval() { return *static_cast<TActionEval*>(this); }

AnsiString CommandContext::PrepareArg(int i, ArgKind kind, bool maths, bool currency) {
  int k = Index(i);
  bool lit = false;
  AnsiString s = PrepareArgument(*raw_[k], kind, maths, currency, lit);
  if (k) literal_[k] = lit;
  return s;
}

// ---------------------------------------------------------------------------
// TActionEval

TActionEval::TActionEval(std::string_view text, uint8_t flags, uint8_t eventCode, int origin,
                         std::string_view sourceName) {
  flags_ = flags;
  event_ = eventCode;
  source_ = AnsiString(sourceName);
  originType = origin;
  generation = gGeneration;
  sourceText_ = AnsiString(text);
  std::vector<AnsiString> lines = SplitActionLines(text);
  lines_.resize(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    Line& ln = lines_[i];
    ln.text = AnsiString(LineWithoutLead(lines[i]));
    ln.word = AnsiString(CommandWordOf(ln.text));
    ln.cls = ClassifyLine(ln.text);
  }
}

TActionEval::~TActionEval() = default;

int TActionEval::FindLabelLine(std::string_view label) const {
  std::vector<AnsiString> texts;
  texts.reserve(lines_.size());
  for (const auto& ln : lines_) texts.push_back(ln.text);
  return FindLabel(texts, label);
}

int TActionEval::FindBlockStart(int fromLine, bool forLoop) {
  if (fromLine < 1 || fromLine > static_cast<int>(lines_.size())) return 0;
  Line& self = lines_[fromLine - 1];
  if (self.blockStart >= 0) return self.blockStart;
  const char* endWord = forLoop ? "ENDLOOP" : "ENDWHILE";
  int depth = 0, found = 0;
  for (int n = fromLine - 1; n >= 1; --n) {
    const AnsiString& w = lines_[n - 1].word;
    if (SameTextInvariant(w, endWord)) {
      ++depth;
    } else if (forLoop ? SameTextInvariant(w, "LOOP")
                       : (SameTextInvariant(w, "WHILE") || SameTextInvariant(w, "WHILEEX"))) {
      if (depth == 0) {
        found = n;
        break;
      }
      --depth;
    }
  }
  self.blockStart = found;
  return found;
}

bool TActionEval::StopNow() const {
  if (gTerminating || generation != gGeneration) return true;
  return Interp().ApplicationEnding();
}

void TActionEval::Run() {
  const int count = static_cast<int>(lines_.size());
  bool first = true;
  while (line_ < count) {
    Interp().RestartIdleTimer();
    if (!first) YieldBetweenLines();
    first = false;
    if (line_ < 0) line_ = 0;  // a handler moved before the first line
    ++line_;
    Line* ln = (line_ >= 1 && line_ <= count) ? &lines_[line_ - 1] : nullptr;
    if (skipAfter_ > 0) {
      line_ = skipAfter_ > count - line_ ? count : line_ + skipAfter_;
      skipAfter_ = 0;
    }
    if (ln) RunLine(*ln);
    if (returnFlag || stop_ != 0 || StopNow()) break;
  }
  gSuspendCount = std::max(0, gSuspendCount - ownSuspend);
  ownSuspend = 0;
}

void TActionEval::RunLine(Line& ln) {
  switch (ln.cls.kind) {
    case LineKind::Blank:
    case LineKind::Comment:
    case LineKind::Label:
      return;
    case LineKind::BlockWord:
      word_ = &ln.word;
      BlockWordLine(ln.cls.block);
      return;
    case LineKind::Command:
      RunCommand(ln);
      return;
  }
}

void TActionEval::BlockWordLine(BlockWord w) {
  switch (w) {
    case BlockWord::DebugOff:
      ++debugOffDepth;
      return;
    case BlockWord::DebugOn:
      --debugOffDepth;
      return;
    case BlockWord::Else:
      if (skipState == SkipState::Run)
        skipState = SkipState::ToEndIf;
      else if (skipState == SkipState::ToElse && nestedIf == 0)
        skipState = SkipState::Run;
      return;
    case BlockWord::EndIf:
      if (skipState == SkipState::ToElse || skipState == SkipState::ToEndIf) {
        if (nestedIf > 0)
          --nestedIf;
        else
          skipState = SkipState::Run;
      }
      return;
    case BlockWord::EndWhile:
      if (skipState == SkipState::Run) {
        int start = FindBlockStart(line_, false);
        if (start > 0) line_ = start - 1;
      } else if (skipState == SkipState::PastEndWhile) {
        if (nestedWhile > 0)
          --nestedWhile;
        else
          skipState = SkipState::Run;
      }
      return;
    case BlockWord::EndLoop:
      if (skipState == SkipState::Run) {
        int start = FindBlockStart(line_, true);
        if (start > 0) {
          line_ = start - 1;
          loopContinue = true;
        }
      } else if (skipState == SkipState::PastEndLoop) {
        if (nestedLoop > 0)
          --nestedLoop;
        else
          skipState = SkipState::Run;
      }
      return;
    case BlockWord::None:
      return;
  }
}

void TActionEval::PlanArguments(Line& ln, const ActionRecord& rec) {
  ln.preparedFor = &rec;
  ln.fixedArgs = ln.fixedLiteral = 0;
  ln.prepared.assign(kMaxArgs + 1, AnsiString());
  for (int i = 1; i <= ln.argc; ++i) {
    const AnsiString& raw = ln.raw[i];
    const ArgKind kind = ArgKindOf(rec, i);
    if (raw.find('[') != AnsiString::npos || kind == ArgFileName || kind == ArgPlugInFile || kind == ArgDataFile)
      continue;
    bool literal = false;
    AnsiString s = PrepareArgument(raw, kind, true, false, literal);
    // A number text is evaluated unless it is literal, a single character
    // or a plain whole number; an evaluation reads the decimal symbol and
    // the currency sign, which may change, so such texts are prepared anew.
    if ((kind == ArgNumber || kind == ArgValue) && !literal && s.size() > 1) {
      int64_t v;
      if (!PlainInteger(s, v)) continue;
    }
    ln.prepared[i] = std::move(s);
    ln.fixedArgs |= static_cast<uint16_t>(1u << i);
    if (literal) ln.fixedLiteral |= static_cast<uint16_t>(1u << i);
  }
}

void TActionEval::CountSkipped(const ActionRecord& rec) {
  switch (rec.id) {
    case cmd::If:
    case cmd::IfEx:
      if (skipState == SkipState::ToElse || skipState == SkipState::ToEndIf) ++nestedIf;
      return;
    case cmd::While:
    case cmd::WhileEx:
      if (skipState == SkipState::PastEndWhile) ++nestedWhile;
      return;
    case cmd::Loop:
      if (skipState == SkipState::PastEndLoop) ++nestedLoop;
      return;
    default:
      return;
  }
}

void TActionEval::RunCommand(Line& ln) {
  TCommandTable& table = CommandTable();
  if (ln.tableVersion != table.Version()) {
    ln.record = table.FindCommand(ln.word, &ln.group);
    ln.tableVersion = table.Version();
    ln.preparedFor = nullptr;
  }
  word_ = &ln.word;
  const ActionRecord* rec = ln.record;
  if (!rec) {
    ReportError(ErrUnknownCommand);
    return;
  }
  const bool plugIn = ln.group && ln.group->kind != 0;
  if (skipState != SkipState::Run) {
    if (!plugIn) CountSkipped(*rec);
    return;
  }
  if ((flags_ & kFlagFromBrowser) && (plugIn || BrowserRestricted(rec->id))) {
    ReportError(ErrBrowserRestricted, rec->name);
    return;
  }
  if (!plugIn && PageChanging(rec->id)) {
    if (VarsEnv().runMode == 1) {
      ReportError(ErrPageChangeTestMode);
      return;
    }
    if (flags_ & kFlagNoPageChange) {
      ReportError(ErrPageChangeRefused);
      return;
    }
  }
  if (!ln.split) {
    ln.raw.assign(kMaxArgs + 1, AnsiString());
    ln.splitResult = SplitArguments(ln.text, ln.raw.data(), ln.argc);
    ln.split = true;
  }
  if (ln.splitResult < 0) {
    ReportError(ErrQuoteOpen);
    return;
  }
  const bool anyCount = !plugIn && rec->id == cmd::Call;
  if (ln.argc < rec->minArgs || (ln.argc > rec->maxArgs && !anyCount)) {
    ReportError(ErrArgCount, std::to_string(rec->minArgs));
    return;
  }
  // Arguments of the previous command past this one's count are emptied.
  for (int i = ln.argc + 1; i <= argc_; ++i) {
    args_[i].clear();
    raw_[i] = &NoText();
    literal_[i] = false;
  }
  argc_ = ln.argc;
  record_ = rec;
  const bool ownPrep = !plugIn && rec->preparesOwnArgs;
  if (!ownPrep && ln.preparedFor != rec) PlanArguments(ln, *rec);
  for (int i = 1; i <= argc_; ++i) {
    raw_[i] = &ln.raw[i];
    if (ownPrep) {
      args_[i] = ln.raw[i];
      literal_[i] = false;
    } else if (ln.fixedArgs & (1u << i)) {
      args_[i] = ln.prepared[i];
      literal_[i] = (ln.fixedLiteral & (1u << i)) != 0;
    } else {
      args_[i] = PrepareArgument(ln.raw[i], ArgKindOf(*rec, i), true, false, literal_[i]);
    }
  }
  if (plugIn) {
    if (ln.group->runPlugIn)
      ln.group->runPlugIn(*this, *rec);
    else
      ReportError(ErrNotBuilt, rec->name);
    return;
  }
  if (rec->handler)
    rec->handler(*this);
  else
    ReportError(ErrNotBuilt, rec->name);
}

// ---------------------------------------------------------------------------
// Starting actions

namespace {

// Creates, runs and frees one interpreter. `startLine` is the line number
// before the first line to run.
bool RunEval(std::string_view text, uint8_t flags, uint8_t eventCode, int originType, std::string_view source,
             int startLine, const std::function<void()>* prologue = nullptr) {
  if (gRunning >= kMaxRunningActions) {
    if (gCurrent) gCurrent->ReportError(ErrNestingTooDeep);
    return false;
  }
  auto ev = std::make_unique<TActionEval>(text, flags, eventCode, originType, source);
  ev->SetLineNumber(startLine);
  ++gRunning;
  ev->depthId = gRunning;
  if (eventCode >= 1 && eventCode <= 26 && SelfValue() != ev->SourceName()) {
    SelfValue() = ev->SourceName();
    ev->selfSet = true;
  }
  TActionEval* outer = gCurrent;
  gCurrent = ev.get();
  {
    LocalScope locals;
    if (prologue && *prologue) (*prologue)();
    if (flags & kFlagSuspended) {
      ++ev->ownSuspend;
      ++gSuspendCount;
    }
    ev->Run();
  }
  // Self is cleared, not restored: an outer object action sees it empty.
  if (ev->selfSet) SelfValue().clear();
  gCurrent = outer;
  if (--gRunning == 0) Interp().OutermostReturned();
  return true;
}

}  // namespace

bool RunAction(std::string_view text, uint8_t flags, uint8_t eventCode, int originType,
               std::string_view sourceName) {
  return RunEval(text, flags, eventCode, originType, sourceName, 0);
}

bool RunActionWithLocals(std::string_view text, uint8_t flags, uint8_t eventCode, int originType,
                         std::string_view sourceName, const std::function<void()>& declareLocals) {
  return RunEval(text, flags, eventCode, originType, sourceName, 0, &declareLocals);
}

bool RunSubroutine(std::string_view label, uint8_t flags) {
  const AnsiString& text = SubroutineText();
  int at = FindLabel(SplitActionLines(text), label);
  if (at == 0) return false;
  RunEval(text, flags, kEventSubroutine, kOriginPublication, label, at);
  return true;
}

// ---------------------------------------------------------------------------
// Posted requests

TActionRequestEvent::TActionRequestEvent(std::string_view t, uint8_t code, uint8_t f)
    : QEvent(EventType()), text(t), eventCode(code), flags(f) {
  ++gPendingRequests;
}

TActionRequestEvent::~TActionRequestEvent() { --gPendingRequests; }

int PendingActionRequests() { return gPendingRequests; }

QEvent::Type TActionRequestEvent::EventType() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void NotePostedWork() { ++gPostedWork; }

void PostAction(QObject* receiver, std::string_view text, uint8_t eventCode, uint8_t flags) {
  if (!receiver || text.empty()) return;
  QCoreApplication::postEvent(receiver, new TActionRequestEvent(text, eventCode, flags));
  NotePostedWork();
}

bool HandleActionRequest(QEvent* e, int originType, std::string_view sourceName) {
  if (!e || e->type() != TActionRequestEvent::EventType()) return false;
  auto* req = static_cast<TActionRequestEvent*>(e);
  RunAction(req->text, req->flags, req->eventCode, originType, sourceName);
  return true;
}

bool HandleMainActionRequest(QEvent* e) {
  if (!e || e->type() != TActionRequestEvent::EventType()) return false;
  auto* req = static_cast<TActionRequestEvent*>(e);
  if (req->eventCode == kEventSubroutine)
    RunSubroutine(req->text, req->flags);
  else
    RunAction(req->text, req->flags, req->eventCode, kOriginPublication, "");
  return true;
}

bool TActionTarget::event(QEvent* e) {
  if (HandleMainActionRequest(e)) return true;
  return QObject::event(e);
}

}  // namespace vl
