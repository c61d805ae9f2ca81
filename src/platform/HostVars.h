#pragma once
// The host's answers to the special variables about drives and system
// folders ([CDRomDrive], [NetworkDrive], [PubDrive], [HDSerialNum],
// [WindowsDir], [SystemDir], [ProgramFiles]), and the start-up step that
// gives the publication its drive: a package lying in the drive tree
// (.../drives/x/...) is on drive X:, one on a mounted disc or share on that
// drive's letter (platform/HostDrives.h); any other package has no drive
// letter, and "\..." names its own folder.
#include <string>

#include "runtime/Ansi.h"

namespace vl {

// Sets DriveMap().packageDrive and packageFolder for a package lying in
// `packageFolder` (an ANSI host path), and makes the variable store turn
// file names into host paths through the path layer.
void MapPackageDrive(const AnsiString& packageFolder);
// Back to no publication drive and the store's plain conversion.
void UnmapPackageDrive();

// The host folder a Windows folder path (such as "C:\Windows\System32\")
// maps to, with a trailing "/". The folders are made when missing, so that
// a publication that tests for its system folder finds one.
std::string MappedWindowsFolder(std::string_view windowsPath);

}  // namespace vl
