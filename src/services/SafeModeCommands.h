#pragma once
// Safe mode's set-up for one publication (platform/SafeMode.h): the
// confinement of its files, its own registry store, no plug-ins, and the
// commands that reach beyond the player refused. The "safe-mode" participant
// runs it when a publication loads in safe mode.
#include "runtime/Ansi.h"

namespace vl {

void ApplySafeMode(const AnsiString& packagePath, const AnsiString& packageFolder, const AnsiString& extractionFolder);
// Undoes it and turns safe mode off (tests).
void LeaveSafeMode();

}  // namespace vl
