#include "platform/WinPath.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/HostDrives.h"
#include "platform/SafeMode.h"
#include "runtime/Global.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"

namespace vl {
namespace {

bool IsSep(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::vector<std::string_view> SplitComponents(std::string_view s) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsSep(s[i])) ++i;
    size_t j = i;
    while (j < s.size() && !IsSep(s[j])) ++j;
    if (j > i) out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string XdgDriveRoot() {
  std::string base;
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/') {
    base = x;
  } else if (const char* h = std::getenv("HOME"); h && *h) {
    base = std::string(h) + "/.local/share";
  } else {
    base = "/tmp";
  }
  return base + "/vellion/drives";
}

std::string PackageFolderNative() {
  const auto& cfg = DriveMap();
  if (!cfg.packageFolder.empty()) return cfg.packageFolder;
  const AnsiString& f = ThePackage().HostFolder();
  if (!f.empty()) return NativePath(f);
  return ".";
}

void MakeFolders(const std::string& path) {
  // mkdir -p; failures show up when the file itself is opened.
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      ::mkdir(part.c_str(), 0700);
    }
  }
}

// The native spelling of `name` inside `folder`: as written when it exists
// so, else the first entry in name order equal to it without regard to case,
// else as written.
std::string LookUpComponent(const std::string& folder, const std::string& native) {
  std::string direct = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + native;
  struct stat st {};
  if (::lstat(direct.c_str(), &st) == 0 || errno != ENOENT) return native;
  DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!d) return native;
  const AnsiString wanted = FromNativePath(native);
  std::vector<std::string> matches;
  while (dirent* e = ::readdir(d)) {
    std::string_view n = e->d_name;
    if (n == "." || n == "..") continue;
    if (SameTextInvariant(FromNativePath(n), wanted)) matches.emplace_back(n);
  }
  ::closedir(d);
  if (matches.empty()) return native;
  return *std::min_element(matches.begin(), matches.end());
}

struct Parsed {
  std::string root;                      // native, "" for a relative path
  std::vector<std::string_view> parts;   // ANSI components after the root
  bool clampDots = false;                // ".." stops at the root
  bool createRoot = false;               // a drive folder made on demand
};

Parsed Parse(std::string_view p) {
  Parsed r;
  if (p.size() >= 2 && IsLetter(p[0]) && p[1] == ':') {
    const char letter = Lower(p[0]);
    const auto& cfg = DriveMap();
    if (cfg.packageDrive != 0 && Lower(cfg.packageDrive) == letter) {
      r.root = PackageFolderNative();
    } else if (std::string mounted = MountedDriveFolder(letter); !mounted.empty()) {
      r.root = std::move(mounted);  // a disc or a share mounted under this letter
    } else {
      r.root = DriveRoot() + "/" + letter;
      r.createRoot = true;
    }
    r.clampDots = true;
    r.parts = SplitComponents(p.substr(2));
  } else if (p.size() >= 2 && p[0] == '\\' && IsSep(p[1])) {
    r.root = DriveRoot() + "/unc";
    r.clampDots = true;
    r.parts = SplitComponents(p.substr(2));
  } else if (!p.empty() && p[0] == '/') {
    r.root = "/";
    r.parts = SplitComponents(p);
  } else if (!p.empty() && p[0] == '\\') {
    r.root = PackageFolderNative();
    r.clampDots = true;
    r.parts = SplitComponents(p);
  } else {
    r.parts = SplitComponents(p);
  }
  if (r.clampDots) {
    std::vector<std::string_view> kept;
    for (auto c : r.parts) {
      if (c == ".") continue;
      if (c == "..") {
        if (!kept.empty()) kept.pop_back();
        continue;
      }
      kept.push_back(c);
    }
    r.parts = std::move(kept);
  }
  return r;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool TrailingSep(std::string_view p) { return !p.empty() && IsSep(p.back()); }

}  // namespace

DriveMapConfig& DriveMap() {
  static DriveMapConfig cfg;
  return cfg;
}

std::string DriveRoot() {
  const auto& cfg = DriveMap();
  return cfg.driveRoot.empty() ? XdgDriveRoot() : cfg.driveRoot;
}

bool IsDeviceName(std::string_view path) {
  size_t cut = path.find_last_of("\\/:");
  std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
  // "C:" alone names a drive, not a device; "COM1:" names the port.
  if (cut != std::string_view::npos && path[cut] == ':' && name.empty()) {
    std::string_view before = path.substr(0, cut);
    size_t c2 = before.find_last_of("\\/");
    name = c2 == std::string_view::npos ? before : before.substr(c2 + 1);
  }
  size_t dot = name.find('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* d : kDevices)
    if (SameTextInvariant(name, d)) return true;
  if (name.size() == 4 && (SameTextInvariant(name.substr(0, 3), "COM") || SameTextInvariant(name.substr(0, 3), "LPT")) &&
      name[3] >= '1' && name[3] <= '9')
    return true;
  return false;
}

std::string HostFilePathLexical(std::string_view ansiPath) {
  if (ansiPath.empty() || IsDeviceName(ansiPath) || ansiPath.find('\0') != std::string_view::npos) return {};
  Parsed r = Parse(ansiPath);
  std::string out = r.root;
  for (auto c : r.parts) out = Join(out, NativePath(c));
  if (out.empty()) out = ".";
  if (TrailingSep(ansiPath) && out.back() != '/') out.push_back('/');
  return out;
}

namespace {
// In safe mode a path outside the publication's folders is no path at all.
std::string Confined(std::string path) {
  if (!path.empty() && !SafePathAllowed(path)) {
    NoteSafeRefusal(path);
    return {};
  }
  return path;
}
}  // namespace

std::string HostFilePath(std::string_view ansiPath) {
  if (!SafeModeOn()) return HostFilePathUnconfined(ansiPath);
  return Confined(HostFilePathUnconfined(ansiPath));
}

std::string HostFilePathUnconfined(std::string_view ansiPath) {
  if (ansiPath.empty() || IsDeviceName(ansiPath) || ansiPath.find('\0') != std::string_view::npos) return {};
  Parsed r = Parse(ansiPath);
  if (r.createRoot) MakeFolders(r.root);
  std::string out = r.root;
  for (auto c : r.parts) {
    std::string native = NativePath(c);
    if (c != "." && c != "..") native = LookUpComponent(out, native);
    out = Join(out, native);
  }
  if (out.empty()) out = ".";
  if (TrailingSep(ansiPath) && out.back() != '/') out.push_back('/');
  return out;
}

}  // namespace vl
