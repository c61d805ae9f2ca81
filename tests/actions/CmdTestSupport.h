#pragma once
// Tables of action text -> expected global variables, run through the same
// path as `vellion --eval`.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/Messages.h"
#include "support/ActionRunner.h"

namespace vltest {

struct CmdCase {
  const char* name;
  std::string text;                                        // "\n" between lines
  std::vector<std::pair<std::string, std::string>> want;  // value "" = absent
};

inline void RunCmdCases(const std::vector<CmdCase>& cases) {
  for (const auto& c : cases) {
    ActionRun r = RunActionText(c.text);
    for (const auto& [var, value] : c.want) {
      if (value.empty())
        EXPECT_FALSE(r.Has(var)) << c.name << ": " << var << " = " << r.Var(var);
      else
        EXPECT_EQ(r.Var(var), value) << c.name << ": " << var;
    }
  }
}

// A message of the table with its "%s" filled in.
inline std::string MsgWith(int id, const std::string& arg) {
  std::string m = vl::Msg(id);
  size_t p = m.find("%s");
  if (p != std::string::npos) m.replace(p, 2, arg);
  return m;
}

// An interpreter error report: the command word, two CRs and the message.
inline std::string ErrReport(const char* word, int msg) { return std::string(word) + "\r\r" + vl::Msg(msg); }

}  // namespace vltest
