// The interpreter in a tight loop beside the same loop in Tcl, whose
// unbraced expr also re-reads its text on every pass. Prints both times and
// the ratio; the goal is ours at most half of Tcl's.
#include <chrono>
#include <cstdio>
#include <string>

#include "actions/CommandApi.h"
#include "runtime/VLRun.h"

namespace {

constexpr int kPasses = 1000000;

double TimeOurs(const std::string& text, std::string& vars, bool realClock = false) {
  vl::EvalOptions opt;
  opt.realClock = realClock;
  auto t0 = std::chrono::steady_clock::now();
  vars = vl::EvalActionText(text, opt);
  auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(t1 - t0).count();
}

// Runs `body` inside a proc in tclsh; -1 when tclsh is missing.
double TimeTcl(const std::string& body, std::string& result) {
  std::string script = "proc bench {} { set x 0; set y 0; for {set i 1} {$i <= " + std::to_string(kPasses) +
                       "} {incr i} { " + body +
                       " }; return \"$x $y\" }\n"
                       "set t0 [clock microseconds]; set r [bench]; set t1 [clock microseconds]\n"
                       "puts \"[expr {$t1 - $t0}] $r\"\n";
  std::string cmd = "tclsh <<'EOF'\n" + script + "EOF\n";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[256] = {};
  size_t n = fread(buf, 1, sizeof buf - 1, p);
  if (pclose(p) != 0 || n == 0) return -1;
  std::string out(buf, n);
  size_t sp = out.find(' ');
  result = sp == std::string::npos ? "" : out.substr(sp + 1);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  return std::stod(out) / 1e6;
}

std::string VarOf(const std::string& vars, const std::string& name) {
  size_t at = vars.find(name + "=");
  if (at == std::string::npos) return "?";
  size_t end = vars.find('\r', at);
  return vars.substr(at + name.size() + 1, end - at - name.size() - 1);
}

void Compare(const char* title, const std::string& ours, const std::string& tcl) {
  std::string vars, tclResult;
  double a = TimeOurs(ours, vars);
  double b = TimeTcl(tcl, tclResult);
  std::printf("%s\n  ours: %.3f s (x=%s y=%s LastError=%s)\n", title, a, VarOf(vars, "x").c_str(),
              VarOf(vars, "y").c_str(), VarOf(vars, "LastError").c_str());
  if (b < 0) {
    std::printf("  tcl:  tclsh not found\n");
    return;
  }
  std::printf("  tcl:  %.3f s (x y = %s)\n  ratio ours/tcl: %.2f (goal: 0.50 or less)\n", b, tclResult.c_str(), a / b);
}

}  // namespace

int main() {
  const std::string n = std::to_string(kPasses);
  Compare("Loop with Math",
          "Loop \"1\" \"" + n + "\" \"[i]\"\r\nMath \"[x]+[i]\" \"0\" \"[x]\"\r\nEndLoop\r\n",
          "set x [expr $x+$i]");
  Compare("Loop with SetVar and If",
          "Loop \"1\" \"" + n +
              "\" \"[i]\"\r\nSetVar \"[x]\" \"[x]+[i]\"\r\nIf \"[i]\" \">\" \"500000\"\r\nSetVar \"[y]\" \"[i]\"\r\n"
              "EndIf\r\nEndLoop\r\n",
          "set x [expr $x+$i]; if [expr $i > 500000] { set y $i }");
  // The same first loop on the real clock, which polls the host event queue
  // between lines at most once a millisecond.
  std::string vars;
  double real = TimeOurs("Loop \"1\" \"" + n + "\" \"[i]\"\r\nMath \"[x]+[i]\" \"0\" \"[x]\"\r\nEndLoop\r\n", vars, true);
  std::printf("Loop with Math on the real clock\n  ours: %.3f s\n", real);
  return 0;
}
