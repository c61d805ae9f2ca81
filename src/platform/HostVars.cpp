#include "platform/HostVars.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <string>

#include "actions/Vars.h"
#include "platform/HostDrives.h"
#include "platform/WinPath.h"
#include "runtime/Global.h"
#include "runtime/Lifecycle.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"

namespace vl {
namespace {

bool Under(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.compare(0, folder.size(), folder) == 0 &&
         (path.size() == folder.size() || path[folder.size()] == '/');
}

std::string Absolute(const AnsiString& folder) {
  std::string native = NativePath(folder);
  if (native.empty() || native[0] != '/') {
    char* cwd = ::getcwd(nullptr, 0);
    if (cwd) {
      native = std::string(cwd) + (native.empty() ? "" : "/" + native);
      ::free(cwd);
    }
  }
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  return native;
}

AnsiString Letter(char lower) { return AnsiString{static_cast<char>(lower - 'a' + 'A'), ':'}; }

const LifecycleRegistrar kDriveMap("drive-map", kLifeDriveMap, [](LifecycleParticipant& p) {
  p.load = [](LifecycleContext& ctx) {
    if (ctx.package) MapPackageDrive(ctx.package->HostFolder());
  };
  p.destroy = [](LifecycleContext&) { UnmapPackageDrive(); };
});

struct HostVarsRegistration {
  HostVarsRegistration() {
    RegisterSpecialVar("CDRomDrive", [](TDateTime) { return AnsiString(FirstDriveOf(HostDriveKind::CdRom)); });
    RegisterSpecialVar("NetworkDrive", [](TDateTime) { return AnsiString(FirstDriveOf(HostDriveKind::Network)); });
    RegisterSpecialVar("PubDrive", [](TDateTime) {
      const char d = DriveMap().packageDrive;
      return d ? Letter(static_cast<char>(d | 0x20)) : AnsiString();
    });
    RegisterSpecialVar("WindowsDir", [](TDateTime) { return FromNativePath(MappedWindowsFolder("C:\\Windows\\")); });
    RegisterSpecialVar("SystemDir",
                       [](TDateTime) { return FromNativePath(MappedWindowsFolder("C:\\Windows\\System32\\")); });
    RegisterSpecialVar("ProgramFiles",
                       [](TDateTime) { return FromNativePath(MappedWindowsFolder("C:\\Program Files\\")); });
    // The system drive is C: of the drive tree: its file system's serial.
    RegisterSpecialVar("HDSerialNum", [](TDateTime) {
      return AnsiString(std::to_string(VolumeSerialOf(HostFilePath("C:\\"))));
    });
  }
};
const HostVarsRegistration kRegistration;

}  // namespace

void MapPackageDrive(const AnsiString& packageFolder) {
  DriveMapConfig& cfg = DriveMap();
  cfg.packageDrive = 0;
  cfg.packageFolder.clear();
  const std::string folder = Absolute(packageFolder);
  const std::string root = DriveRoot();
  // In the drive tree: the letter of the drive folder it lies in, whose
  // root stays that folder (so C:\Windows is the same folder for it as for
  // any other publication).
  if (Under(folder, root) && folder.size() > root.size() + 1) {
    const std::string rest = folder.substr(root.size() + 1);
    const char c = rest[0];
    if (c >= 'a' && c <= 'z' && (rest.size() == 1 || rest[1] == '/')) {
      cfg.packageDrive = c;
      cfg.packageFolder = root + "/" + c;
    }
  }
  // On a disc or a share: its letter, whose root is the mount point.
  if (!cfg.packageDrive) {
    const HostDrive d = DriveHolding(folder);
    if (d.letter) {
      cfg.packageDrive = d.letter;
      cfg.packageFolder = d.mountPoint;
    }
  }
  // Elsewhere: no letter, and "\..." is the package's own folder.
  if (!cfg.packageDrive) cfg.packageFolder = folder;
  VarsEnv().hostPath = [](const AnsiString& name) { return HostFilePath(name); };
}

void UnmapPackageDrive() {
  DriveMap().packageDrive = 0;
  DriveMap().packageFolder.clear();
  VarsEnv().hostPath = nullptr;
}

std::string MappedWindowsFolder(std::string_view windowsPath) {
  std::string path = HostFilePath(windowsPath);
  if (path.empty()) return path;
  for (size_t i = 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0700);
  if (path.back() != '/') path.push_back('/');
  return path;
}

}  // namespace vl
