// FileRead of lines 50,000 to 50,999 of a 100,000-line file, in order, beside
// the same reads done with plain buffered reading of the open file (the
// floor). The read-line cache lets each FileRead go on from where the last
// one stopped; the goal is a ratio of 2 or less.
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/EvalRun.h"
#include "platform/WinPath.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"

namespace {

constexpr int kLines = 100000;
constexpr int kFirst = 50000;
constexpr int kReads = 1000;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("vl-bench-lines-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path file = dir / "big.txt";
  {
    std::ofstream out(file, std::ios::binary);
    for (int i = 1; i <= kLines; ++i) out << "line number " << i << " with some text after it\r\n";
  }
  vl::ThePackage().SetHostFolder(vl::FromNativePath(dir.string()));

  std::string text = "Loop \"" + std::to_string(kFirst) + "\" \"" + std::to_string(kFirst + kReads - 1) +
                     "\" \"[i]\"\r\nFileRead \"big.txt\" \"[i]\" \"[x]\"\r\nEndLoop\r\n";
  // The first run of the evaluator sets up the program once: not ours to time.
  vl::EvalActionText("SetVar \"[w]\" \"1\"\r\n", vl::EvalOptions());
  double t0 = CpuSeconds();
  std::string vars = vl::EvalActionText(text, vl::EvalOptions());
  const double ours = CpuSeconds() - t0;

  // What the interpreter's loop costs by itself, for reading the figures.
  std::string loopOnly = text;
  loopOnly.replace(loopOnly.find("FileRead \"big.txt\" \"[i]\" \"[x]\""), 30, "SetVar \"[x]\" \"[i]\"");
  t0 = CpuSeconds();
  vl::EvalActionText(loopOnly, vl::EvalOptions());
  const double loop = CpuSeconds() - t0;

  t0 = CpuSeconds();
  std::string line, last;
  {
    std::ifstream in(file, std::ios::binary);
    int n = 0;
    while (n < kFirst - 1 && std::getline(in, line)) ++n;
    for (int k = 0; k < kReads && std::getline(in, line); ++k) last = line;
  }
  const double floor = CpuSeconds() - t0;

  const size_t at = vars.find("x=");
  std::printf("FileRead of lines %d..%d of a %d-line file (processor time)\n", kFirst, kFirst + kReads - 1, kLines);
  std::printf("  ours:  %.4f s (%s)\n", ours, at == std::string::npos ? "no x" : vars.substr(at, vars.find('\r', at) - at).c_str());
  std::printf("  floor: %.4f s (%s)\n", floor, last.c_str());
  std::printf("  (the loop with SetVar in place of FileRead: %.4f s)\n", loop);
  std::printf("  ratio ours/floor: %.2f (goal: 2.00 or less)\n", floor > 0 ? ours / floor : 0.0);
  fs::remove_all(dir);
  return 0;
}
