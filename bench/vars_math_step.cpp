// The work one `Math "[x]+[i]" "0" "[x]"` line does in the variable store and
// the evaluator (expansion with empty values read as 0, evaluation, the
// assignment with its change notice), beside a floor that does the same sum
// with a plain hash map and the standard number conversions.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "actions/MathExpr.h"
#include "actions/Vars.h"
#include "runtime/Host.h"

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  const int kPasses = argc > 1 ? std::atoi(argv[1]) : 1000000;
  vl::ClearAllVariables();
  for (int k = 0; k < 50; ++k) vl::SetVariable("[other" + std::to_string(k) + "]", "x");
  vl::SetVariable("[x]", "0");
  // A watcher is installed, as in the player: every assignment builds its notice.
  struct : vl::VariableWatcher {
    void VarChanged(const vl::AnsiString&, const vl::AnsiString&) override {}
  } watcher;
  vl::SetVariableWatcher(&watcher);

  auto t0 = Clock::now();
  for (int i = 1; i <= kPasses; ++i) {
    vl::SetVariable("[i]", std::to_string(i));
    vl::AnsiString expr = vl::ExpandVariables("[x]+[i]", true);
    vl::ExprResult r = vl::EvaluateExpression(expr, 0, true);
    vl::SetVariable(vl::ExpandVariables("[x]", false, true), r.text);
  }
  auto t1 = Clock::now();

  std::unordered_map<std::string, std::string> vars;
  for (int k = 0; k < 50; ++k) vars["other" + std::to_string(k)] = "x";
  vars["x"] = "0";
  for (int i = 1; i <= kPasses; ++i) {
    vars["i"] = std::to_string(i);
    const std::string& xs = vars["x"];
    const std::string& is = vars["i"];
    long double x = 0, v = 0;
    std::from_chars(xs.data(), xs.data() + xs.size(), x);
    std::from_chars(is.data(), is.data() + is.size(), v);
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, x + v, std::chars_format::fixed, 0);
    vars["x"].assign(buf, res.ptr);
  }
  auto t2 = Clock::now();

  const double ours = std::chrono::duration<double>(t1 - t0).count();
  const double floor = std::chrono::duration<double>(t2 - t1).count();
  std::printf("store+evaluator: %.3f s (%s)\nfloor (hash map + to_chars): %.3f s (%s)\nratio: %.2f\n", ours,
              vl::ExpandReference("x").c_str(), floor, vars["x"].c_str(), ours / floor);
  return 0;
}
