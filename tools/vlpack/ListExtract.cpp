// vlpack list and vlpack extract.
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "VlPack.h"
#include "runtime/Ansi.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"

namespace vlpack {
namespace {

struct Source {
  std::string file;
  bool chained = false;
};

// Opens FILE; a .pkg that does not read in the full form is tried in the
// short form of chained loads.
int OpenFor(vl::TPackage& pkg, const Source& src) {
  vl::AnsiString ansi = vl::Utf8ToAnsi(src.file);
  vl::AnsiString why;
  if (pkg.OpenPackage(ansi, src.chained, &why) == vl::kPackageOpen) return 0;
  std::string ext = std::filesystem::path(src.file).extension().string();
  vl::AnsiString why2;
  if (!src.chained && vl::SameTextAnsi(ext, ".pkg") && pkg.OpenPackage(ansi, true, &why2) == vl::kPackageOpen)
    return 0;
  return Fail(src.file + ": no usable package (" + vl::AnsiToUtf8(why) + ")");
}

std::string Quoted(const vl::AnsiString& s) { return "\"" + vl::AnsiToUtf8(s) + "\""; }

const char* KindName(int k) {
  switch (k) {
    case 0: return "window";
    case 1: return "screen saver";
    case 2: return "tray application";
    case 3: return "chained package";
    default: return "unknown";
  }
}

const char* RunModeName(int m) {
  switch (m) {
    case 0: return "normal run";
    case 1: return "test of one page";
    case 2: return "test run";
    default: return "unknown";
  }
}

}  // namespace

std::string SafeRelativePath(std::string_view name) {
  size_t colon = name.find_last_of(':');
  if (colon != std::string_view::npos) name = name.substr(colon + 1);
  std::string out;
  size_t pos = 0;
  while (pos <= name.size()) {
    size_t end = name.find_first_of("\\/", pos);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == ".." || part.find('\0') != std::string_view::npos) return {};
    if (!out.empty()) out += '/';
    out += part;
  }
  return out;
}

int CmdList(const std::vector<std::string>& args) {
  Source src;
  for (const auto& a : args) {
    if (a == "--chained")
      src.chained = true;
    else if (src.file.empty() && !a.empty() && a[0] != '-')
      src.file = a;
    else
      return Usage("list: unexpected argument " + a);
  }
  if (src.file.empty()) return Usage("list: no FILE given");
  vl::TPackage pkg;
  if (int rc = OpenFor(pkg, src)) return rc;
  const vl::PackageHeader& h = pkg.Header();
  std::printf("Package: %s\n", src.file.c_str());
  std::printf("  BuildStamp:        0x%08X\n", h.BuildStamp);
  std::printf("  RunMode:           %d (%s)%s\n", h.RunMode, RunModeName(h.RunMode),
              h.RunModeWas3 ? ", stored as 3" : "");
  std::printf("  StartPage:         %u\n", h.StartPage);
  if (h.TestRun()) {
    std::printf("  DebugFolder:       %s\n", Quoted(h.DebugLibraryFolder).c_str());
    std::printf("  FunctionFolder:    %s\n", Quoted(h.FunctionFileFolder).c_str());
    std::printf("  MediaFolder:       %s\n", Quoted(h.MediaPictureFolder).c_str());
    std::printf("  IconFile:          %s\n", Quoted(h.ApplicationIconFile).c_str());
  }
  std::printf("  PublicationKind:   %d (%s)\n", h.PublicationKind, KindName(h.PublicationKind));
  if (!h.ShortForm) {
    std::printf("  SingleInstance:    %d\n", h.SingleInstance);
    if (h.ChangeDisplay == 1)
      std::printf("  Display:           %ux%u, %u bits\n", h.DisplayWidth, h.DisplayHeight, h.DisplayBits);
    else
      std::printf("  Display:           unchanged\n");
    std::printf("  SplashImage:       %s\n", Quoted(h.SplashImage).c_str());
    if (h.PublicationKind == 1) std::printf("  PreviewImage:      %s\n", Quoted(h.PreviewImage).c_str());
  }
  const auto& entries = pkg.Entries();
  std::printf("Entries: %zu\n", entries.size());
  std::printf("  %4s %10s %10s %-6s %10s %-14s %s\n", "Type", "Size", "Stored", "Method", "Offset", "Picture",
              "Name");
  // Directory order is the reverse of lookup order.
  std::set<vl::AnsiString> seen;
  std::vector<bool> shadowed(entries.size(), false);
  for (size_t i = 0; i < entries.size(); ++i) {
    vl::AnsiString key = vl::AnsiUpper(entries[i].Name);
    if (!seen.insert(key).second) shadowed[i] = true;
  }
  for (size_t k = entries.size(); k-- > 0;) {
    const vl::LibRec& e = entries[k];
    std::string pic = "-";
    if (e.Type == vl::kEntryPicture)
      pic = std::to_string(e.ImageWidth) + "x" + std::to_string(e.ImageHeight) + (e.ImageAlpha ? " alpha" : "");
    std::printf("  %4d %10lld %10d %-6s %10d %-14s %s%s\n", e.Type, static_cast<long long>(e.DataSize()),
                e.StoredSize, e.Compressed() ? "zlib" : "raw", e.Offset, pic.c_str(), vl::AnsiToUtf8(e.Name).c_str(),
                shadowed[k] ? "  (shadowed)" : "");
  }
  return 0;
}

int CmdExtract(const std::vector<std::string>& args) {
  Source src;
  std::string dest = ".";
  std::vector<std::string> wanted;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-C") {
      if (++i >= args.size()) return Usage("extract: -C needs a folder");
      dest = args[i];
    } else if (a == "--chained") {
      src.chained = true;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return Usage("extract: unknown option " + a);
    } else if (src.file.empty()) {
      src.file = a;
    } else {
      wanted.push_back(a);
    }
  }
  if (src.file.empty()) return Usage("extract: no FILE given");
  vl::TPackage pkg;
  if (int rc = OpenFor(pkg, src)) return rc;

  // The entries to write, in lookup order, so the one the player finds comes first.
  std::vector<const vl::LibRec*> todo;
  int failures = 0;
  if (wanted.empty()) {
    for (const auto& e : pkg.Entries()) todo.push_back(&e);
  } else {
    for (const auto& w : wanted) {
      const vl::LibRec* e = pkg.FindEntry(vl::Utf8ToAnsi(w));
      if (!e) {
        Fail("no entry named " + w);
        ++failures;
        continue;
      }
      todo.push_back(e);
    }
  }
  std::set<std::string> written;
  for (const vl::LibRec* e : todo) {
    const std::string utf8Name = vl::AnsiToUtf8(e->Name);
    std::string rel = SafeRelativePath(e->Name);
    if (rel.empty()) {
      Fail("refusing the unsafe name " + utf8Name);
      ++failures;
      continue;
    }
    std::string relUtf8 = vl::AnsiToUtf8(rel);
    if (!written.insert(vl::AnsiToUtf8(vl::AnsiUpper(rel))).second) continue;  // a later entry already gave it
    std::filesystem::path target = std::filesystem::path(dest) / relUtf8;
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) {
      Fail("cannot create " + target.parent_path().string() + ": " + ec.message());
      ++failures;
      continue;
    }
    // Copy the record itself: with duplicate names FindEntry would pick the
    // winner, and that is the one in `todo` first anyway.
    FILE* f = std::fopen(target.c_str(), "wb");
    if (!f) {
      Fail("cannot create " + target.string());
      ++failures;
      continue;
    }
    bool writeOk = true;
    bool ok = pkg.CopyEntryData(*e, [&](const char* p, size_t n) {
      writeOk = std::fwrite(p, 1, n, f) == n;
      return writeOk;
    });
    if (std::fclose(f) != 0) writeOk = false;
    if (!ok || !writeOk) {
      std::filesystem::remove(target, ec);
      Fail(utf8Name + ": " + (writeOk ? "the entry's data is damaged" : "write error"));
      ++failures;
      continue;
    }
    std::printf("%s -> %s\n", utf8Name.c_str(), target.string().c_str());
  }
  return failures ? 1 : 0;
}

}  // namespace vlpack
