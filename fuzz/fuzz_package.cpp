// Fuzzes the package reader: trailer search, directory inflate and parse,
// both directory forms, and every entry operation on what was read.
//
// Two input forms. A whole package file (as vlpack writes it) exercises the
// trailer and the compressed directory. Since almost every mutation of a
// zlib stream breaks it, the second form carries the directory uncompressed:
// "VLSYN", u16 length L, L bytes of entry data, then the directory bytes;
// the harness compresses the directory and adds the trailer, so mutations
// reach the directory decoder and the entry readers.
//
// With VL_FUZZ_WRITE_SEEDS=DIR set, the program writes seeds of the second
// form into DIR and exits (used by fuzz/seeds/package.sh).
#include <unistd.h>

#include <cstdlib>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>
#include <algorithm>

#include "runtime/Package.h"
#include "runtime/PackageWriter.h"

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

constexpr char kSynth[] = "VLSYN";

std::string Synthesize(std::string_view in) {
  in.remove_prefix(5);
  if (in.size() < 2) return {};
  size_t len = static_cast<uint8_t>(in[0]) | (static_cast<uint8_t>(in[1]) << 8);
  in.remove_prefix(2);
  len = std::min(len, in.size());
  std::string file(in.substr(0, len));
  file += vl::DirectoryBlockAndTrailer(static_cast<int64_t>(len), in.substr(len), 1);
  return file;
}

void WriteSeeds(const char* dir) {
  auto rec = [](const char* name, uint8_t type, int32_t size, int32_t off, int32_t stored) {
    vl::LibRec r;
    r.Name = name;
    r.Type = type;
    r.Size = size;
    r.Offset = off;
    r.StoredSize = stored;
    r.ImageWidth = 16;
    r.ImageHeight = 16;
    return r;
  };
  const std::string text = "Title=seed\r\nNEWPAGE=One\r\n";
  const std::string z = vl::ZlibCompress(text);
  std::string data = z + "RAWBYTES";
  const auto zs = static_cast<int32_t>(z.size());
  std::vector<vl::LibRec> recs = {rec("RUNTIME.PUB", 1, static_cast<int32_t>(text.size()), 0, zs),
                                  rec("C:\\pics\\a.bmp", 3, 0, zs, 8),
                                  rec("embedded:\\\\\\f.ttf", 6, 0, zs, 3),
                                  rec(":b.wav", 4, 0, zs + 2, 0),
                                  rec("..\\x.dll", 10, 0, zs, 8)};
  std::vector<vl::PackageHeader> headers(4);
  headers[1].RunModeWas3 = true;
  headers[1].RunMode = 2;
  headers[1].StartPage = 3;
  headers[1].ApplicationIconFile = "C:\\a.ico";
  headers[2].PublicationKind = 1;
  headers[2].PreviewImage = "p.bmp";
  headers[3].ChangeDisplay = 1;
  headers[3].DisplayWidth = 800;
  headers[3].SingleInstance = 1;
  int n = 0;
  for (const auto& h : headers) {
    std::string seed = kSynth;
    seed.push_back(static_cast<char>(data.size() & 0xFF));
    seed.push_back(static_cast<char>(data.size() >> 8));
    seed += data + vl::EncodeDirectory(h, recs);
    std::string path = std::string(dir) + "/synth-" + std::to_string(++n);
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(seed.data(), 1, seed.size(), f);
      std::fclose(f);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* dir = std::getenv("VL_FUZZ_WRITE_SEEDS")) {
    WriteSeeds(dir);
    std::exit(0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string dir = ScratchFolder();
  const std::string file = dir + "/input.pkg";
  std::string_view in(reinterpret_cast<const char*>(data), size);
  std::string synth;
  if (in.substr(0, 5) == kSynth) {
    synth = Synthesize(in);
    in = synth;
  }
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    std::fwrite(in.data(), 1, in.size(), f);
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
