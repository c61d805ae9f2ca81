// Opening a package of 5,000 entries and loading a 100,000-line publication
// from it, beside the floor: plain zlib inflate of the same stored bytes plus a
// split into lines. Prints the best of several runs and the ratios (the load
// should stay within 3x of its floor).
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

#include "runtime/Package.h"
#include "runtime/PackageWriter.h"
#include "runtime/Publication.h"
#include "runtime/PublicationLines.h"

using namespace vl;
namespace fs = std::filesystem;

namespace {

constexpr int kEntries = 5000;
constexpr int kLines = 100000;
constexpr int kRuns = 15;

// A publication of kLines lines shaped like the tool writes them: settings,
// the master page, then pages with their keys and objects.
std::string MakePublication() {
  static const char* const kWords[] = {"the", "puzzle", "answer", "page", "garden", "river", "colour", "house",
                                       "yellow", "seven", "under", "behind", "window", "letter", "quiet", "bright",
                                       "north", "stone", "paper", "music", "winter", "violet", "number", "eleven"};
  uint32_t seed = 12345;
  auto words = [&](int n) {
    std::string w;
    for (int i = 0; i < n; ++i) {
      seed = seed * 1103515245u + 12345u;
      w += kWords[(seed >> 16) % (sizeof kWords / sizeof kWords[0])];
      w += ' ';
    }
    return w;
  };
  std::string t;
  int lines = 0;
  auto add = [&](const std::string& l) {
    t += l;
    t += "\r\n";
    ++lines;
  };
  add("Title=Benchmark");
  add("ScreenWidth=800");
  add("ScreenHeight=600");
  add("StartupAction=SetVar [Count]=0\xB6" "GotoPage 2");
  for (int i = 0; i < 35; ++i) add("L_OK=OK");
  add("MasterPage");
  int page = 0;
  while (lines < kLines) {
    add("NewPage=Page " + std::to_string(++page));
    add("PageColor=16777215");
    add("PgEnterAction=SetVar [Page]=" + std::to_string(page) + "\xB6" "PlaySoundFile C:\\snd\\click.wav");
    for (int o = 0; o < 12 && lines < kLines; ++o) {
      add("ObjectType=" + std::to_string(3 + o % 10));
      add("Name=Obj" + std::to_string(page) + "_" + std::to_string(o));
      add("X=" + std::to_string(10 * o));
      add("Y=" + std::to_string(20 * o));
      add("W=120");
      add("H=24");
      add("FillColor=$FF00000F");
      add("Visible=Yes");
      add("Font=Arial");
      add("Text={\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 " + words(10) + "\\par}");
      add("ObjAction=If [Answer" + std::to_string(o) + "]=1\xB6  SetObjectFill Obj" + std::to_string(o) +
          ", Yellow\xB6" "Else\xB6  SetObjectFill Obj" + std::to_string(o) + ", Red\xB6" "EndIf");
    }
  }
  return t;
}

double Millis(const std::function<void()>& f) {
  double best = 1e300;
  for (int i = 0; i < kRuns; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  return best;
}

std::string ReadRange(const fs::path& p, int64_t off, int64_t len) {
  std::ifstream in(p, std::ios::binary);
  in.seekg(off);
  std::string s(static_cast<size_t>(len), '\0');
  in.read(s.data(), len);
  return s;
}

// The floor: inflate `stored` to `size` bytes in 2 KiB output steps and
// split every chunk into CR LF lines, counting them.
size_t InflateAndSplit(const std::string& stored, size_t size) {
  z_stream zs{};
  inflateInit(&zs);
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stored.data()));
  zs.avail_in = static_cast<uInt>(stored.size());
  std::string buf;
  size_t lines = 0, total = 0, start = 0;
  char out[16384];
  for (;;) {
    zs.next_out = reinterpret_cast<Bytef*>(out);
    zs.avail_out = sizeof out;
    int rc = inflate(&zs, Z_NO_FLUSH);
    size_t got = sizeof out - zs.avail_out;
    total += got;
    buf.append(out, got);
    for (;;) {
      const char* base = buf.data();
      const void* cr = std::memchr(base + start, '\r', buf.size() - start);
      if (!cr || static_cast<const char*>(cr) + 1 >= base + buf.size()) break;
      size_t at = static_cast<size_t>(static_cast<const char*>(cr) - base);
      if (buf[at + 1] == '\n') ++lines;
      start = at + (buf[at + 1] == '\n' ? 2 : 1);
    }
    buf.erase(0, start);
    start = 0;
    if (rc == Z_STREAM_END || got == 0) break;
  }
  inflateEnd(&zs);
  if (total != size) std::fprintf(stderr, "floor: inflated %zu of %zu bytes\n", total, size);
  return lines + (buf.empty() ? 0 : 1);
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("vl_bench_pkg_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path pkgPath = dir / "bench.pkg";
  const std::string text = MakePublication();

  PackageWriter w;
  w.compressionLevel = 6;
  for (int i = 0; i < kEntries - 1; ++i) {
    PackageEntryInput e;
    e.name = "C:\\Authoring\\Media\\folder" + std::to_string(i % 50) + "\\file" + std::to_string(i) + ".bmp";
    e.type = kEntryPicture;
    e.data = std::string(64 + i % 200, static_cast<char>('a' + i % 26));
    e.compress = i % 3 != 0;
    e.imageWidth = 32;
    e.imageHeight = 32;
    w.AddEntry(std::move(e));
  }
  w.AddEntry({"RUNTIME.PUB", kEntryPublication, text, true});
  AnsiString error;
  if (!w.WriteFile(pkgPath.string(), "", error)) {
    std::fprintf(stderr, "cannot write the package: %s\n", error.c_str());
    return 1;
  }

  // Opening the package.
  const double openMs = Millis([&] {
    TPackage p;
    if (p.OpenPackage(pkgPath.string()) != kPackageOpen) std::abort();
  });

  TPackage pkg;
  if (pkg.OpenPackage(pkgPath.string()) != kPackageOpen) return 1;
  const LibRec pub = *pkg.FindEntry("RUNTIME.PUB");

  // Loading the publication (a fresh package each time: the text can be
  // looked up only once; its opening is not counted) and its floor, the
  // stored bytes read, inflated and split into lines. The two alternate so
  // that both meet the same load of the machine; the best run of each counts.
  size_t pages = 0, objects = 0, lines = 0;
  double loadMs = 1e300, floorMs = 1e300;
  auto since = [](std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  };
  for (int i = 0; i < kRuns; ++i) {
    TPackage p;
    p.OpenPackage(pkgPath.string());
    TPublication model;
    AnsiString err;
    auto t0 = std::chrono::steady_clock::now();
    if (!LoadPublication(p, model, {}, err)) {
      std::fprintf(stderr, "load failed: %s\n", err.c_str());
      return 1;
    }
    loadMs = std::min(loadMs, since(t0));
    pages = model.pages.size();
    objects = 0;
    for (const auto& pg : model.pages) objects += pg.objects.size();

    t0 = std::chrono::steady_clock::now();
    std::string s = ReadRange(pkgPath, pub.Offset, pub.StoredSize);
    lines = InflateAndSplit(s, static_cast<size_t>(pub.Size));
    floorMs = std::min(floorMs, since(t0));
  }

  // Where the load's time goes: the entry reader alone in 2 KiB reads, and
  // with the line split of the reader on top.
  const double readMs = Millis([&] {
    auto src = pkg.OpenEntryReader(pub);
    char buf[kPublicationChunk];
    while (src->Read(buf, sizeof buf) > 0) {
    }
  });
  size_t splitLines = 0;
  const double splitMs = Millis([&] {
    auto src = pkg.OpenEntryReader(pub);
    TPublicationLines reader(*src, pub.Size, nullptr, kPublicationChunk, kMaxPublicationText);
    std::string_view line;
    splitLines = 0;
    while (reader.Next(line) == TPublicationLines::kLine) ++splitLines;
  });

  std::printf("package: %d entries, %.1f MB; publication: %zu lines, %.1f MB (%.1f MB stored), %zu pages, %zu objects\n",
              kEntries, fs::file_size(pkgPath) / 1e6, lines, text.size() / 1e6, pub.StoredSize / 1e6, pages,
              objects);
  std::printf("open package            %8.2f ms\n", openMs);
  std::printf("load publication        %8.2f ms\n", loadMs);
  std::printf("floor inflate + split   %8.2f ms\n", floorMs);
  std::printf("  entry reader, 2 KiB   %8.2f ms\n", readMs);
  std::printf("  + line split         %8.2f ms (%zu lines)\n", splitMs, splitLines);
  std::printf("ratio load / floor      %8.2f (target <= 3)\n", loadMs / floorMs);
  std::printf("ratio open / floor      %8.2f\n", openMs / floorMs);
  fs::remove_all(dir);
  return 0;
}
