#pragma once
// Runs an action text exactly as `vellion --eval` does and hands back what it
// left: the global variables and the trace. Command tests are tables of
// action text -> expected variables and error texts.
#include <string>
#include <string_view>
#include <vector>

namespace vltest {

struct ActionRun {
  std::string varsText;                                   // saved-variables format
  std::vector<std::pair<std::string, std::string>> vars;  // in order, [#13]/[#10] decoded
  std::vector<std::string> trace;                         // trace lines (UTF-8)

  // The value of global `name` (letter case ignored), "" when absent.
  std::string Var(std::string_view name) const;
  bool Has(std::string_view name) const;
  std::string LastError() const { return Var("LastError"); }
  // The trace lines whose first field is `kind`.
  std::vector<std::string> TraceOf(std::string_view kind) const;
};

// `text` may end its lines with "\n"; lines are joined with CR LF first.
ActionRun RunActionText(std::string_view text);

}  // namespace vltest
