#pragma once
// Paths travel through the player as 8-bit ANSI text; the file system wants
// its own encoding (UTF-8 on Linux). Convert only where a file is opened,
// created, listed or deleted.
#include <string>
#include <string_view>

#include "runtime/Ansi.h"

namespace vl {

// ANSI path -> bytes for the file system calls.
std::string NativePath(std::string_view ansiPath);
// File system bytes -> ANSI path (characters outside the code page become "?").
AnsiString FromNativePath(std::string_view nativePath);

}  // namespace vl
