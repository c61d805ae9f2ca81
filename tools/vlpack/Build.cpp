// vlpack build: packs a folder into a package, optionally appended to a host.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "PictureInfo.h"
#include "VlPack.h"
#include "runtime/Ansi.h"
#include "runtime/Global.h"
#include "runtime/PackageWriter.h"

namespace fs = std::filesystem;

namespace vlpack {
namespace {

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string ExtensionOf(const std::string& rel) {
  size_t slash = rel.find_last_of('/');
  size_t dot = rel.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return Lower(rel.substr(dot + 1));
}

uint8_t TypeFor(const std::string& ext) {
  static const std::map<std::string, uint8_t> types = {
      {"bmp", 3}, {"jpg", 3}, {"jpeg", 3}, {"jpe", 3}, {"png", 3}, {"gif", 3}, {"ico", 3}, {"wmf", 3},
      {"emf", 3}, {"tif", 3}, {"tiff", 3}, {"rtf", 2}, {"wav", 4}, {"ttf", 6}, {"otf", 6}, {"ttc", 6},
      {"fon", 6}, {"fnt", 6}, {"dll", 10}, {"so", 10}};
  auto it = types.find(ext);
  return it == types.end() ? 0 : it->second;
}

bool AlreadyCompressed(const std::string& ext) {
  static const std::set<std::string> packed = {"jpg", "jpeg", "jpe", "png", "gif", "zip", "gz", "mp3", "ogg"};
  return packed.count(ext) > 0;
}
bool IsJpegOrPng(const std::string& ext) { return ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "png"; }

bool ParseInt(const std::string& text, int64_t lo, int64_t hi, int64_t& v) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  // Decimal, or hexadecimal after "0x"; unsigned 32-bit values (build stamps)
  // pass the signed range.
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  try {
    size_t used = 0;
    unsigned long long x = std::stoull(hex ? text.substr(2) : text, &used, hex ? 16 : 10);
    if (used != text.size() - (hex ? 2 : 0) || x > static_cast<unsigned long long>(hi)) return false;
    v = static_cast<int64_t>(x);
  } catch (...) {
    return false;
  }
  return v >= lo;
}

bool SplitPair(const std::string& text, std::string& a, std::string& b) {
  size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  a = text.substr(0, eq);
  b = text.substr(eq + 1);
  return true;
}

std::string Normal(std::string rel) {
  std::replace(rel.begin(), rel.end(), '\\', '/');
  while (rel.rfind("./", 0) == 0) rel.erase(0, 2);
  return rel;
}

struct Options {
  std::string out, host, dir;
  vl::PackageHeader header;
  bool runModeGiven = false;
  std::string prefix;
  std::map<std::string, std::vector<std::string>> names;  // rel -> names (UTF-8)
  std::set<std::string> embedded, startup, raw, compress;
  std::map<std::string, int> types;
  bool compressImages = false;
  bool filesOnly = false;
  int level = 9;
};

int Parse(const std::vector<std::string>& args, Options& o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= args.size()) return false;
      v = args[++i];
      return true;
    };
    std::string v, x, y;
    int64_t n = 0;
    if (a == "-o" || a == "--host" || a == "--build-stamp" || a == "--run-mode" || a == "--start-page" ||
        a == "--debug-folder" || a == "--function-folder" || a == "--media-folder" || a == "--icon-file" ||
        a == "--kind" || a == "--display" || a == "--splash" || a == "--preview" || a == "--prefix" ||
        a == "--name" || a == "--embedded" || a == "--type" || a == "--startup" || a == "--raw" ||
        a == "--compress" || a == "--level") {
      if (!value(v)) return Usage("build: " + a + " needs a value");
    }
    if (a == "-o") {
      o.out = v;
    } else if (a == "--host") {
      o.host = v;
    } else if (a == "--build-stamp") {
      if (!ParseInt(v, 0, 0xFFFFFFFFll, n)) return Usage("build: bad --build-stamp " + v);
      o.header.BuildStamp = static_cast<uint32_t>(n);
    } else if (a == "--run-mode") {
      if (!ParseInt(v, 0, 3, n)) return Usage("build: --run-mode takes 0 to 3");
      o.header.RunModeWas3 = n == 3;
      o.header.RunMode = static_cast<uint8_t>(n == 3 ? 2 : n);
      o.runModeGiven = true;
    } else if (a == "--start-page") {
      if (!ParseInt(v, 0, 0xFFFFFFFFll, n)) return Usage("build: bad --start-page " + v);
      o.header.StartPage = static_cast<uint32_t>(n);
      if (!o.runModeGiven) {
        o.header.RunModeWas3 = true;
        o.header.RunMode = 2;
      }
    } else if (a == "--debug-folder") {
      o.header.DebugLibraryFolder = vl::Utf8ToAnsi(v);
    } else if (a == "--function-folder") {
      o.header.FunctionFileFolder = vl::Utf8ToAnsi(v);
    } else if (a == "--media-folder") {
      o.header.MediaPictureFolder = vl::Utf8ToAnsi(v);
    } else if (a == "--icon-file") {
      o.header.ApplicationIconFile = vl::Utf8ToAnsi(v);
    } else if (a == "--kind") {
      std::string k = Lower(v);
      if (k == "window" || k == "0")
        o.header.PublicationKind = 0;
      else if (k == "screensaver" || k == "1")
        o.header.PublicationKind = 1;
      else if (k == "tray" || k == "2")
        o.header.PublicationKind = 2;
      else
        return Usage("build: --kind takes window, screensaver or tray");
    } else if (a == "--single-instance") {
      o.header.SingleInstance = 1;
    } else if (a == "--display") {
      unsigned w = 0, h = 0, b = 0;
      char tail = 0;
      if (std::sscanf(v.c_str(), "%ux%ux%u%c", &w, &h, &b, &tail) != 3 || b > 255)
        return Usage("build: --display takes WIDTHxHEIGHTxBITS, e.g. 1024x768x16");
      o.header.ChangeDisplay = 1;
      o.header.DisplayWidth = w;
      o.header.DisplayHeight = h;
      o.header.DisplayBits = static_cast<uint8_t>(b);
    } else if (a == "--splash") {
      o.header.SplashImage = vl::Utf8ToAnsi(v);
    } else if (a == "--preview") {
      o.header.PreviewImage = vl::Utf8ToAnsi(v);
    } else if (a == "--chained") {
      o.header.ShortForm = true;
    } else if (a == "--prefix") {
      o.prefix = v;
    } else if (a == "--name") {
      if (!SplitPair(v, x, y) || y.empty()) return Usage("build: --name takes FILE=NAME");
      o.names[Normal(x)].push_back(y);
    } else if (a == "--embedded") {
      o.embedded.insert(Normal(v));
    } else if (a == "--type") {
      if (!SplitPair(v, x, y) || !ParseInt(y, 0, 255, n)) return Usage("build: --type takes FILE=N (0-255)");
      o.types[Normal(x)] = static_cast<int>(n);
    } else if (a == "--startup") {
      o.startup.insert(Normal(v));
    } else if (a == "--raw") {
      o.raw.insert(Normal(v));
    } else if (a == "--compress") {
      o.compress.insert(Normal(v));
    } else if (a == "--compress-images") {
      o.compressImages = true;
    } else if (a == "--files-only") {
      o.filesOnly = true;
    } else if (a == "--level") {
      if (!ParseInt(v, 0, 9, n)) return Usage("build: --level takes 0 to 9");
      o.level = static_cast<int>(n);
    } else if (!a.empty() && a[0] == '-') {
      return Usage("build: unknown option " + a);
    } else if (o.dir.empty()) {
      o.dir = a;
    } else {
      return Usage("build: more than one folder given (" + o.dir + ", " + a + ")");
    }
  }
  if (o.out.empty()) return Usage("build: no output given (-o OUT)");
  if (o.dir.empty()) return Usage("build: no folder given");
  if (o.header.ShortForm) o.header.PublicationKind = 3;
  return 0;
}

// Every file under `root`, relative with "/" separators, sorted; names
// beginning with "." are left out.
bool ListFiles(const fs::path& root, std::vector<std::string>& files, std::string& error) {
  std::error_code ec;
  fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end;
  if (ec) {
    error = "cannot read " + root.string() + ": " + ec.message();
    return false;
  }
  for (; it != end; it.increment(ec)) {
    if (ec) {
      error = "cannot read " + root.string() + ": " + ec.message();
      return false;
    }
    const std::string leaf = it->path().filename().string();
    if (!leaf.empty() && leaf[0] == '.') {
      if (it->is_directory()) it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file()) files.push_back(fs::relative(it->path(), root).generic_string());
  }
  std::sort(files.begin(), files.end());
  return true;
}

bool ReadWhole(const fs::path& p, std::string& data) {
  std::ifstream in(p, std::ios::binary);
  if (!in) return false;
  data.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

}  // namespace

int CmdBuild(const std::vector<std::string>& args) {
  Options o;
  if (int rc = Parse(args, o)) return rc;
  const fs::path root(o.dir);
  if (!fs::is_directory(root)) return Fail(o.dir + " is not a folder");
  std::vector<std::string> files;
  std::string error;
  if (!ListFiles(root, files, error)) return Fail(error);

  // Every option must name a file that is there, so a typing error does not
  // silently give a package without it.
  std::set<std::string> present(files.begin(), files.end());
  auto check = [&](const std::string& rel, const char* opt) {
    if (present.count(rel)) return true;
    Fail(std::string(opt) + " names " + rel + ", which is not in " + o.dir);
    return false;
  };
  for (const auto& [rel, n] : o.names)
    if (!check(rel, "--name")) return 1;
  for (const auto* set : {&o.embedded, &o.startup, &o.raw, &o.compress})
    for (const auto& rel : *set)
      if (!check(rel, "an option")) return 1;
  for (const auto& [rel, t] : o.types)
    if (!check(rel, "--type")) return 1;

  vl::PackageWriter w;
  w.header = o.header;
  w.compressionLevel = o.level;
  // The publication text first, then the other files in path order.
  auto pub = std::find_if(files.begin(), files.end(), [](const std::string& f) { return vl::SameTextAnsi(f, "RUNTIME.PUB"); });
  // A folder without its publication text is almost always the wrong folder:
  // the player could not start the package. Files only must be asked for.
  if (pub == files.end() && !o.filesOnly)
    return Fail(o.dir + " has no RUNTIME.PUB, so the package would hold no publication"
                " (give --files-only to pack its files alone)");
  if (pub != files.end() && o.filesOnly)
    return Fail("--files-only, but " + o.dir + " has a RUNTIME.PUB");
  if (pub != files.end()) std::rotate(files.begin(), pub, pub + 1);

  for (const auto& rel : files) {
    std::string data;
    if (!ReadWhole(root / rel, data)) return Fail("cannot read " + (root / rel).string());
    const std::string ext = ExtensionOf(rel);
    const bool isPub = vl::SameTextAnsi(rel, "RUNTIME.PUB");
    uint8_t type = isPub ? static_cast<uint8_t>(vl::kEntryPublication) : TypeFor(ext);
    if (o.startup.count(rel)) type = vl::kEntryStartupFile;
    if (auto t = o.types.find(rel); t != o.types.end()) type = static_cast<uint8_t>(t->second);

    bool compress = !AlreadyCompressed(ext) || (o.compressImages && IsJpegOrPng(ext));
    if (o.compress.count(rel)) compress = true;
    if (o.raw.count(rel)) compress = false;

    std::vector<vl::AnsiString> names;
    if (auto n = o.names.find(rel); n != o.names.end()) {
      for (const auto& name : n->second) names.push_back(vl::Utf8ToAnsi(name));
    }
    if (o.embedded.count(rel)) {
      size_t slash = rel.find_last_of('/');
      names.push_back(vl::AnsiString(vl::kEmbeddedPrefix) +
                      vl::Utf8ToAnsi(slash == std::string::npos ? rel : rel.substr(slash + 1)));
    }
    if (names.empty()) {
      std::string back = rel;
      std::replace(back.begin(), back.end(), '/', '\\');
      if (isPub)
        back = "RUNTIME.PUB";
      else if (!o.prefix.empty())
        back = o.prefix + (o.prefix.back() == '\\' ? "" : "\\") + back;
      names.push_back(vl::Utf8ToAnsi(back));
    }
    for (const auto& name : names) {
      vl::PackageEntryInput e;
      e.name = name;
      e.type = type;
      e.data = data;
      e.compress = compress;
      if (type == vl::kEntryPicture) ProbePicture(data, e.imageWidth, e.imageHeight, e.imageAlpha);
      w.AddEntry(std::move(e));
    }
  }
  vl::AnsiString err;
  if (!w.WriteFile(vl::Utf8ToAnsi(o.out), vl::Utf8ToAnsi(o.host), err)) return Fail(vl::AnsiToUtf8(err));
  return 0;
}

}  // namespace vlpack
