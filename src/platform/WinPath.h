#pragma once
// Windows file names written by publications, turned into paths of this host.
//
//   "\" and "/" both separate folders.
//   "/home/a/b.txt"   used as given (a path of this host).
//   "X:\a\b"          the per-user drive tree: <drive root>/x/a/b, where the
//                     drive root is $XDG_DATA_HOME/vellion/drives (or
//                     ~/.local/share/vellion/drives); the drive's folder is
//                     created on first use. The publication's drive, when it
//                     has one, is the package's own folder instead, and a
//                     letter a disc or a share is mounted under
//                     (platform/HostDrives.h) is its mount point.
//   "\a\b"            the root of the publication's drive: the package's folder.
//   "\\server\share\a" <drive root>/unc/server/share/a.
//   "a\b"             relative to the current folder, as on Windows.
// Under a drive or the package folder ".." stops at the root, as it does on
// Windows, so a name never leaves the tree it names.
// Windows names ignore case: a component that does not exist as written is
// looked up without regard to case in its folder (the first match in name
// order); one that is not found keeps the author's spelling, so new files
// keep the case the author wrote.
// Device names (CON, PRN, AUX, NUL, COM1..COM9, LPT1..LPT9, with or without an
// extension) are never files: HostFilePath answers an empty path for them.
#include <string>
#include <string_view>

#include "runtime/Ansi.h"

namespace vl {

struct DriveMapConfig {
  // Native folder holding one folder per drive letter. Empty: the XDG default.
  std::string driveRoot;
  // Native folder the publication's drive maps to. Empty: the open package's
  // folder.
  std::string packageFolder;
  // Lower-case letter of the publication's drive, 0 when it has none (a
  // package on this host's own file system has no drive letter).
  char packageDrive = 0;
};
// The one configuration of the mapping (tests point it at their folders).
DriveMapConfig& DriveMap();

// The drive root in use (the configured one, else the XDG default).
std::string DriveRoot();

// True when the last component of `path`, without its extension and
// without regard to case, is a Windows device name.
bool IsDeviceName(std::string_view path);

// The host path of a Windows file name, encoded for the file system calls.
// Empty for an empty name, for device names and for a name holding a NUL
// byte (which no file name can hold).
// In safe mode (platform/SafeMode.h) a path outside the publication's
// folders is empty too.
std::string HostFilePath(std::string_view ansiPath);
// The same without the safe mode's confinement (the player's own files).
std::string HostFilePathUnconfined(std::string_view ansiPath);

// The same path, but only lexically: no case lookup, no folder created.
std::string HostFilePathLexical(std::string_view ansiPath);

}  // namespace vl
