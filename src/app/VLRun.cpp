#include "app/VLRun.h"

#include <cstdio>
#include <filesystem>

#include "actions/CommandTable.h"
#include "actions/SpecialVarCheck.h"
#include "app/EvalRun.h"
#include "app/ExitStatus.h"
#include "app/PlayerMain.h"
#include "app/ProgramOptions.h"
#include "runtime/Global.h"
#include "runtime/Messages.h"
#include "runtime/Package.h"

namespace vl {
namespace {

std::string OwnExecutable() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

bool HasPackage(const std::string& path) {
  if (path.empty()) return false;
  TPackage probe;
  bool ok = probe.OpenPackage(Utf8ToAnsi(path)) == kPackageOpen;
  probe.ClosePackage(false);
  return ok;
}

// The stand-alone player's own file name, compared without letter case.
bool IsStandAloneName(const std::string& argv0) {
  std::string base = std::filesystem::path(argv0).filename().string();
  return SameTextInvariant(base, "ZOVoze5") || SameTextInvariant(base, "ZOVoze5.exe");
}

void ListCommands() {
  for (const auto& g : CommandTable().Groups())
    for (const auto& r : g->records) {
      std::string kinds;
      for (int i = 0; i < r.maxArgs; ++i) {
        if (i) kinds.push_back(' ');
        kinds += std::to_string(r.kinds[i]);
      }
      if (kinds.empty()) kinds = "-";
      std::printf("%d\t%s\t%d\t%d\t%s\t%s\n", r.id, r.name.c_str(), r.minArgs, r.maxArgs, kinds.c_str(),
                  r.handler ? "built" : "not-built");
    }
}

}  // namespace

int VLRunMain(int argc, char** argv) {
  // A development build stops at once when a special variable has no provider.
  CheckSpecialVarsAtStart();
  // The stand-alone player takes "/R FILE" before anything else.
  if (argc > 0 && IsStandAloneName(argv[0])) {
    if (argc >= 3 && SameTextInvariant(argv[1], "/R")) {
      PlayOptions play;
      play.programPath = argv[0];
      play.packagePath = argv[2];
      for (int k = 3; k < argc; ++k) play.args.push_back(argv[k]);
      return PlayPublication(play, argc, argv);
    }
    std::fprintf(stderr, "Vellion 5 Player: %s", MessageLines(AnsiToUtf8(Msg(256))).c_str());
    return kExitNoPackage;
  }

  TCommandLine cl;
  std::string error;
  if (!ParseCommandLine(argc, argv, cl, error)) {
    std::fprintf(stderr, "vellion: %s\n", error.c_str());
    return kExitUsage;
  }
  if (cl.alone) {
    switch (*cl.alone) {
      case TOptionId::Help: std::fputs(HelpText().c_str(), stdout); break;
      case TOptionId::Version: std::printf("vellion %s\n", VL_VERSION); break;
      default: ListCommands(); break;
    }
    return kExitOk;
  }
  if (!cl.evalPath.empty()) return RunEvalFile(cl.evalPath, cl.play.tracePath, argv[0]);

  if (cl.play.packagePath.empty()) {
    // A vellion with a package appended plays its own package.
    std::string self = OwnExecutable();
    if (!HasPackage(self)) {
      std::fputs(UsageText().c_str(), stderr);
      return kExitNoPackage;
    }
    cl.play.packagePath = self;
  }
  return PlayPublication(cl.play, argc, argv);
}

}  // namespace vl
