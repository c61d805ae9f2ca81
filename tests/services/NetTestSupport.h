#pragma once
// Runs action texts for the network tests the way the player does (virtual
// time, the trace open), with two commands of the test's own beside the
// player's: "TestAfter MS TEXT" runs TEXT ("|" between its lines, "'" for double quotes) as a
// separate action MS virtual milliseconds later, as a timer object would, and "TestPressCancel" presses
// the progress window's cancel button. Variables are left for the test to
// read until the next run.
#include <QPushButton>
#include <filesystem>
#include <string>
#include <vector>

#include "actions/EventCodes.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "runtime/Clock.h"
#include "runtime/Trace.h"
#include "support/TestCommands.h"
#include "support/TestSupport.h"
#include "windows/MailProgress.h"

namespace vltest {

class NetActionRunner {
 public:
  NetActionRunner()
      : group_({{"TestAfter",
                 [](vl::CommandContext& c) {
                   // The text as written, not expanded now: it runs later.
                   std::string raw = c.RawArg(2);
                   if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') raw = raw.substr(1, raw.size() - 2);
                   if (!raw.empty() && raw.front() == '!') raw.erase(0, 1);
                   std::string text;
                   for (char ch : raw) text += ch == '|' ? std::string("\r\n") : std::string(1, ch == '\'' ? '"' : ch);
                   vl::TheClock().StartTimer(std::stoll(c.Arg(1)), [text] {
                     vl::RunAction(text, 0, vl::kEventStartup, vl::kOriginPublication, "timer");
                   });
                 }},
                {"TestPressCancel", [](vl::CommandContext&) {
                   if (vl::TMailProgressForm* f = vl::ProgressForm()) f->CancelBtn()->click();
                 }}}) {}
  ~NetActionRunner() {
    vl::ClearAllVariables();
    vl::InstallClock(nullptr);
  }

  // `text` lines end with "\n".
  void Run(const std::string& text) {
    std::string crlf;
    for (char ch : text) {
      if (ch == '\n') crlf += '\r';
      crlf += ch;
    }
    vl::InstallClock(vl::MakeVirtualClock(0));
    vl::ClearAllVariables();
    vl::SetTerminating(false);
    vl::trace::Open((dir_ / "trace.txt").string());
    vl::RunAction(crlf, 0, vl::kEventStartup, vl::kOriginPublication, "");
    vl::trace::Close();
    trace_ = ReadFileBytes(dir_ / "trace.txt");
  }
  std::string V(const std::string& name) const { return vl::GetVariableValue(name, 0); }
  // The trace lines whose first field is `kind`.
  std::vector<std::string> Trace(const std::string& kind) const {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < trace_.size()) {
      size_t eol = trace_.find('\n', pos);
      std::string line = trace_.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
      if (line.rfind(kind + "\t", 0) == 0) out.push_back(line);
      pos = eol == std::string::npos ? trace_.size() : eol + 1;
    }
    return out;
  }

 private:
  TestCommandGroup group_;
  TempDir dir_;
  std::string trace_;
};

}  // namespace vltest
