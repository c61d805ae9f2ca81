#pragma once
// The steps of a headless run (--script FILE): one step a line, blank lines
// and lines starting with "#" skipped, arguments with blanks in double
// quotes. The runner works through the steps from clock timers, so a step
// keeps running while an action or a dialog holds the event loop (that is
// how "answer" reaches a dialog an earlier step opened).
#include <functional>
#include <string>
#include <vector>

#include "runtime/Clock.h"

namespace vl {

class TWorkForm;

struct TScriptStep {
  int line = 0;
  std::vector<std::string> words;  // UTF-8, quotes removed
  std::string rest;                // the text after the step's first word (for "run")
};

// Splits a script. False with `error` ("line N: ...") for an unclosed quote.
bool ParseScript(const std::string& text, std::vector<TScriptStep>& steps, std::string& error);
// The words of one line: blanks separate, double quotes group.
bool SplitScriptLine(const std::string& line, std::vector<std::string>& words);

class THeadlessScript {
 public:
  THeadlessScript(TWorkForm& form, std::vector<TScriptStep> steps);
  ~THeadlessScript();

  void Start();
  bool Finished() const { return next_ >= steps_.size() && !busy_; }
  // Called once when a step fails, with "line N: message".
  std::function<void(const std::string& message)> onFailure;

 private:
  void Schedule(int64_t delayMs);
  void RunStep();
  void Fail(const TScriptStep& step, const std::string& message);
  // Waits for `done` in 10 ms steps until `timeoutMs`; then `then(true)`, or
  // `then(false)` when it did not happen.
  void Poll(std::function<bool()> done, int64_t deadline, std::function<void(bool)> then);

  TWorkForm& form_;
  std::vector<TScriptStep> steps_;
  size_t next_ = 0;
  bool busy_ = false;
  bool failed_ = false;
  std::vector<Clock::TimerId> timers_;
};

}  // namespace vl
