#pragma once
// What the dialog commands share with their tests.
#include "runtime/Ansi.h"

namespace vl {

// FileSaveBox's third argument: an existing folder (a trailing "\" or "/"
// allowed) becomes the folder shown, with no name proposed; anything else is
// split at its last delimiter into the folder shown and the proposed name.
void SplitSaveTarget(const AnsiString& target, AnsiString& folder, AnsiString& name);

}  // namespace vl
