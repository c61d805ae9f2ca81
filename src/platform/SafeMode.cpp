#include "platform/SafeMode.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "actions/CommandApi.h"
#include "platform/HostVars.h"
#include "platform/WinPath.h"
#include "runtime/NativePath.h"

namespace vl {
namespace {

struct State {
  bool on = false;
  std::string dataFolder;
  std::vector<std::string> roots;
  std::string refusal;
};

State& S() {
  static State s;
  return s;
}

std::string DataHome() {
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/') return x;
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.local/share";
  return "/tmp";
}

void MakeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0700);
}

// "." and ".." taken away, absolute.
std::string Normal(const std::string& path) {
  std::string abs = path;
  if (abs.empty() || abs[0] != '/') {
    char* cwd = ::getcwd(nullptr, 0);
    abs = std::string(cwd ? cwd : "/") + "/" + abs;
    std::free(cwd);
  }
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < abs.size()) {
    while (i < abs.size() && abs[i] == '/') ++i;
    size_t j = i;
    while (j < abs.size() && abs[j] != '/') ++j;
    std::string c = abs.substr(i, j - i);
    if (c == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!c.empty() && c != ".") {
      parts.push_back(std::move(c));
    }
    i = j;
  }
  std::string out;
  for (const auto& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

// The real path of `path`: the links of its longest existing part followed,
// the rest (what does not exist yet) appended as written.
std::string Real(const std::string& path) {
  std::string head = Normal(path), tail;
  for (int guard = 0; guard < 4096; ++guard) {
    char buf[PATH_MAX];
    if (::realpath(head.c_str(), buf)) {
      std::string r = buf;
      if (!tail.empty()) r = (r == "/" ? "" : r) + tail;
      return r;
    }
    const size_t cut = head.rfind('/');
    if (cut == std::string::npos || head == "/") break;
    tail = head.substr(cut) + tail;
    head = cut == 0 ? "/" : head.substr(0, cut);
  }
  return Normal(path);
}

bool Under(const std::string& path, const std::string& root) {
  if (root == "/") return true;
  return path.compare(0, root.size(), root) == 0 && (path.size() == root.size() || path[root.size()] == '/');
}

uint64_t Fnv(std::string_view s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

}  // namespace

bool SafeModeOn() { return S().on; }
void EnableSafeMode(bool on) { S().on = on; }

void ConfineToPublication(const AnsiString& packagePath, const AnsiString& packageFolder,
                          const AnsiString& extractionFolder) {
  State& s = S();
  const std::string pkg = Real(NativePath(packagePath));
  std::string name = pkg.substr(pkg.rfind('/') + 1);
  for (char& ch : name)
    if (ch == '.' || ch == ' ') ch = '_';
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv(pkg)));
  s.dataFolder = DataHome() + "/vellion/safe/" + name + "-" + hash;
  MakeFolders(s.dataFolder + "/drives");
  s.dataFolder = Real(s.dataFolder);
  s.roots.clear();
  s.roots.push_back(s.dataFolder);
  if (!packageFolder.empty()) s.roots.push_back(Real(NativePath(packageFolder)));
  if (!extractionFolder.empty()) s.roots.push_back(Real(NativePath(extractionFolder)));
  // The publication's drive letters are a tree of its own.
  DriveMap().driveRoot = s.dataFolder + "/drives";
  MapPackageDrive(packageFolder);
}

const std::string& SafeDataFolder() { return S().dataFolder; }
const std::vector<std::string>& SafeRoots() { return S().roots; }

bool SafePathAllowed(const std::string& nativePath) {
  const State& s = S();
  if (!s.on) return true;
  const std::string real = Real(nativePath);
  for (const auto& r : s.roots)
    if (Under(real, r)) return true;
  return false;
}

void NoteSafeRefusal(std::string_view what) { S().refusal.assign(what); }
const std::string& LastSafeRefusal() { return S().refusal; }
void ClearSafeRefusal() { S().refusal.clear(); }

AnsiString SafeRefusalMessage(std::string_view command, std::string_view what) {
  AnsiString m = "Safe mode refused";
  if (!command.empty()) m += " " + AnsiString(command);
  if (!what.empty()) m += (command.empty() ? " " : ": ") + FromNativePath(what);
  return m;
}

const std::vector<int32_t>& SafeRefusedCommands() {
  using namespace cmd;
  static const std::vector<int32_t> k = {
      // other programs
      Run, RunVellion, DOSCommand, ExecuteAddOn, CloseApp, RunInRectangle, InternetLink, HelpTopic,
      // keys and the mouse, other programs' windows
      SendKeys, SendMenuCommand, DropFile, SetWindowPos, BringAppToFront, SendAppToBack, DisableApp, EnableApp,
      SetMousePos, ClickMouse,
      // the network and mail
      SendMail, CheckInternetConnection, ConnectToInternet, DisconnectFromInternet, DownloadFile,
      InternetFileExists, InternetFileSize, InternetPost, InternetGet, BrowserGoTo, BrowserHome, BrowserSearch};
  return k;
}

const std::vector<int32_t>& SafeConfinedCommands() {
  using namespace cmd;
  static const std::vector<int32_t> k = {
      FileCopy,     FileDelLine, FileErase,  FileExists, FileInsLine,   FileRead,      FileLen,
      FileWrite,    FileList,    FileSize,   FileToVar,  FolderExists,  CreateFolder,  RemoveFolder,
      ExtractFile,  SaveVariables, LoadVariables, PlaySoundFile, PlayVideoFile, PlayCartoonFile, MCICommand,
      ImageWindow,  TextWindow,  PopUpImage, LoadIcon,   PrintTextFile, PrintImageFile, PrintDataFile,
      PrintImageFileWH};
  return k;
}

}  // namespace vl
