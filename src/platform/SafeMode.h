#pragma once
// Safe mode (`vellion --safe`): an untrusted publication plays confined.
//
// - Files are read and written only inside the publication's folder, the
//   extraction folder and a data folder of the publication's own
//   ($XDG_DATA_HOME/vellion/safe/NAME-HASH); its drive letters (C:\...) are a
//   drive tree inside that data folder. The path layer (platform/WinPath.h)
//   answers an empty path for anything else, symbolic links followed, so no
//   command can reach it; ports (COM1, LPT1) are never opened.
// - Registry writes and reads go to a store inside the data folder.
// - Commands that start programs, send keys or mouse input outside the
//   player, reach the network or send mail, and plug-ins, are refused.
//
// A refused command leaves `[LastError]` = "Safe mode refused COMMAND: WHAT"
// (traced as an `error` record like any other).
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

bool SafeModeOn();
// Chosen once, before the publication loads.
void EnableSafeMode(bool on);

// The confinement for one publication: its package file and folder and its
// extraction folder (ANSI host paths). Makes the data folder, moves the drive
// tree and the registry into it. Called when the publication loads.
void ConfineToPublication(const AnsiString& packagePath, const AnsiString& packageFolder,
                          const AnsiString& extractionFolder);
// The publication's data folder (empty outside safe mode).
const std::string& SafeDataFolder();
// The folders a path must lie in (real paths, no trailing "/").
const std::vector<std::string>& SafeRoots();

// True outside safe mode, or when `nativePath` (absolute or relative to the
// current folder) lies inside one of the roots once its links are followed.
bool SafePathAllowed(const std::string& nativePath);
// Remembers what was refused, for the message of the running command.
void NoteSafeRefusal(std::string_view what);
// The last refusal noted since `ClearSafeRefusal`, empty when none.
const std::string& LastSafeRefusal();
void ClearSafeRefusal();
AnsiString SafeRefusalMessage(std::string_view command, std::string_view what);

// The ids of the commands safe mode refuses outright, and of the commands
// whose file names it confines.
const std::vector<int32_t>& SafeRefusedCommands();
const std::vector<int32_t>& SafeConfinedCommands();

}  // namespace vl
