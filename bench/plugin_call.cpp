// A plug-in command that does nothing, called 1,000,000 times from an
// action, beside the same loop calling a built-in command that does
// nothing. Prints both times and the ratio; the goal is at most 1.5.
#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "actions/CommandTable.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "plugins/PlugIns.h"

namespace {

constexpr int kPasses = 1000000;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

void DoNothing(vl::CommandContext&) {}

double Time(const std::string& word) {
  const std::string text = "Loop \"1\" \"" + std::to_string(kPasses) + "\" \"[i]\"\r\n" + word +
                           " \"x\"\r\nEndLoop";
  const double t0 = CpuSeconds();
  vl::RunAction(text, 0, 1, vl::kOriginPublication, "");
  return CpuSeconds() - t0;
}

}  // namespace

int main() {
  vl::TCommandTable& table = vl::CommandTable();
  table.BuildBuiltinTable();
  // The built-in: a command of one text argument whose own subsystem is
  // not in this program, bound here to a handler that does nothing.
  std::string builtin;
  for (const auto& r : table.Groups().front()->records)
    if (!r.handler && r.minArgs <= 1 && r.maxArgs >= 1 && r.kinds[0] == vl::ArgText && !r.preparesOwnArgs) {
      vl::BindCommand(r.id, DoNothing);
      builtin = r.name;
      break;
    }
  if (builtin.empty()) {
    std::fprintf(stderr, "no free built-in command to bind\n");
    return 1;
  }
  if (vl::ThePlugIns().Load(VL_NOP_PLUGIN) != vl::kPlugInLoaded) {
    std::fprintf(stderr, "cannot load %s\n", VL_NOP_PLUGIN);
    return 1;
  }
  Time("Nothing");  // warm both paths once
  const double ours = Time("Nothing");
  const double base = Time(builtin);
  std::printf("plug-in command \"Nothing\": %.3f s for %d calls\n", ours, kPasses);
  std::printf("built-in command \"%s\" doing nothing: %.3f s\n", builtin.c_str(), base);
  std::printf("ratio %.2f (goal: at most 1.5)\n", base > 0 ? ours / base : 0.0);
  return 0;
}
