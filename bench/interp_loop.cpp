// The interpreter in a tight loop beside the same loop in Tcl, whose
// unbraced expr also re-reads its text on every pass. Prints both times and
// the ratio; the goal is ours at most half of Tcl's.
#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "actions/CommandApi.h"
#include "app/EvalRun.h"

namespace {

constexpr int kPasses = 1000000;

// Processor time (user + system) of this process or of its finished
// children: the machine may be shared, so wall time would mislead.
double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

double TimeOurs(const std::string& text, std::string& vars, bool realClock = false) {
  vl::EvalOptions opt;
  opt.realClock = realClock;
  double t0 = CpuSeconds(RUSAGE_SELF);
  vars = vl::EvalActionText(text, opt);
  return CpuSeconds(RUSAGE_SELF) - t0;
}

// Runs `body` inside a proc in tclsh; -1 when tclsh is missing.
double TimeTcl(const std::string& body, std::string& result) {
  // tclsh's whole run is timed: its start-up takes a few milliseconds.
  std::string script = "proc bench {} { set x 0; set y 0; for {set i 1} {$i <= " + std::to_string(kPasses) +
                       "} {incr i} { " + body +
                       " }; return \"$x $y\" }\n"
                       "puts [bench]\n";
  std::string cmd = "tclsh <<'EOF'\n" + script + "EOF\n";
  double t0 = CpuSeconds(RUSAGE_CHILDREN);
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[256] = {};
  size_t n = fread(buf, 1, sizeof buf - 1, p);
  if (pclose(p) != 0 || n == 0) return -1;
  result.assign(buf, n);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  return CpuSeconds(RUSAGE_CHILDREN) - t0;
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
  std::printf("%s (processor time)\n  ours: %.3f s (x=%s y=%s LastError=%s)\n", title, a, VarOf(vars, "x").c_str(),
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
  // What the yield between lines costs: an empty loop body (two lines and
  // two yields a pass) on the virtual clock and on the real clock, which
  // polls the host event queue at most once a millisecond.
  std::string vars;
  const std::string empty = "Loop \"1\" \"" + n + "\" \"[i]\"\r\nEndLoop\r\n";
  double virt = TimeOurs(empty, vars, false);
  double real = TimeOurs(empty, vars, true);
  std::printf("Empty loop (2 lines a pass)\n  virtual clock: %.3f s\n  real clock:    %.3f s (%.0f ns a line more)\n",
              virt, real, (real - virt) / (2.0 * kPasses) * 1e9);
  return 0;
}
