#pragma once
// Where packaged plug-in libraries are extracted (TPackage::PreparePlugIns):
// a folder only this user can write to, so that nobody can plant or swap a
// library between its writing and its loading. The player sets it; empty
// means the package's extraction folder.
#include "runtime/Ansi.h"

namespace vl {

void SetPlugInExtractionFolder(const AnsiString& folder);
const AnsiString& PlugInExtractionFolder();

}  // namespace vl
