#pragma once
// What argument preparation needs from the package: the packaged file that a
// bare file name stands for. Without a resolver of its own, the open package
// of the publication answers.
#include <functional>
#include <string_view>

#include "runtime/Ansi.h"

namespace vl {

// Gives the stored entry name for a bare file name (the first entry named
// ":" + name, or whose file-name part equals the name, ignoring case), or
// the name unchanged when no entry fits.
using BareNameResolver = std::function<AnsiString(std::string_view name)>;
void SetBareNameResolver(BareNameResolver resolver);

// True when `path` starts with a drive ("C:") or a network share ("\\").
bool HasDrive(std::string_view path);
// The file-name part of a path: after the last "\", ":" or "/".
std::string_view FileNameOnly(std::string_view path);

}  // namespace vl
