#pragma once
// Host seams a test watches with plain functions.
#include <functional>

#include "actions/Interpreter.h"
#include "runtime/Host.h"

namespace vltest {

// The interpreter's host with answers a test sets; an empty one gives the
// headless answer. Install it with vl::SetInterpreterHost.
class InterpreterHostSpy : public vl::InterpreterHost {
 public:
  std::function<bool()> escapePending;
  std::function<void()> discardQueuedInput;
  std::function<int(const vl::AnsiString& message, vl::TActionEval& ev)> debuggerError;
  std::function<void()> closeMainWindow;

  bool EscapePending() override { return escapePending && escapePending(); }
  void DiscardQueuedInput() override {
    if (discardQueuedInput) discardQueuedInput();
  }
  bool HasDebugger() override { return static_cast<bool>(debuggerError); }
  int DebuggerError(const vl::AnsiString& message, vl::TActionEval& ev) override { return debuggerError(message, ev); }
  void CloseMainWindow() override {
    if (closeMainWindow) closeMainWindow();
  }
};

// Hands every variable-change notice to `handler` while it lives.
class ScopedVarWatch : public vl::VariableWatcher {
 public:
  using Handler = std::function<void(const vl::AnsiString& bracketName, const vl::AnsiString& value)>;
  explicit ScopedVarWatch(Handler handler) : handler_(std::move(handler)) { vl::SetVariableWatcher(this); }
  ~ScopedVarWatch() override {
    if (&vl::VarWatch() == this) vl::SetVariableWatcher(nullptr);
  }
  ScopedVarWatch(const ScopedVarWatch&) = delete;
  ScopedVarWatch& operator=(const ScopedVarWatch&) = delete;
  void VarChanged(const vl::AnsiString& bracketName, const vl::AnsiString& value) override {
    handler_(bracketName, value);
  }

 private:
  Handler handler_;
};

}  // namespace vltest
