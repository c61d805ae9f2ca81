// Fuzzes the package reader: trailer search, directory inflate and parse,
// both directory forms, and every entry operation on what was read.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "runtime/Package.h"

namespace {

std::string ScratchFolder() {
  static std::string dir = [] {
    std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string d = base + "/vl-fuzz-package-" + std::to_string(getpid());
    std::filesystem::create_directories(d + "/x");
    return d;
  }();
  return dir;
}

void Exercise(vl::TPackage& pkg, const std::string& extractDir) {
  pkg.SetExtractionFolder(extractDir);
  pkg.SetExtractOp(vl::kDefaultExtractOp);
  int n = 0;
  for (vl::LibRec& e : pkg.Entries()) {
    if (++n > 32) break;
    // Stream at most 1 MiB of each entry: a legal 1032:1 stream may be long.
    if (auto src = pkg.OpenEntryReader(e)) {
      char buf[4096];
      int64_t total = 0;
      for (int64_t r; (r = src->Read(buf, sizeof buf)) > 0 && total < (1 << 20);) total += r;
    }
    char raw[64];
    pkg.ReadEntryBytes(e.Name, 1, raw, sizeof raw);
    pkg.ResolveBareName(e.Name);
    if (e.DataSize() <= (1 << 20)) {
      std::string mem;
      pkg.LoadEntryToMemory(e.Name, mem);
      if (n <= 4) {
        vl::AnsiString target;
        pkg.ExtractEntry(e, false, target);
        // Whatever the name, nothing may land outside the extraction folder.
        if (!target.empty() && target.rfind(extractDir + "/", 0) != 0) __builtin_trap();
        if (target.find('/', extractDir.size() + 1) != std::string::npos) __builtin_trap();
      }
    }
  }
  pkg.FindEntry("C:/pics/a.jpg");
  pkg.SetPublicationLoaded(true);
  pkg.FindEntry("RUNTIME.PUB");
  pkg.ClosePackage(true);  // removes everything extracted above
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string dir = ScratchFolder();
  const std::string file = dir + "/input.pkg";
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  vl::TPackage pkg;
  for (bool chained : {false, true}) {
    if (pkg.OpenPackage(file, chained) == vl::kPackageOpen) Exercise(pkg, dir + "/x");
  }
  return 0;
}
