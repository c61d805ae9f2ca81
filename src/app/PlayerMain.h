#pragma once
// Playing a publication: `vellion FILE [ARGS...]` in a window, and the
// headless mode on the offscreen platform with the virtual clock, a script,
// the trace, the variables and a screenshot at the end.
#include "app/ProgramOptions.h"

namespace vl {

// Makes the application, plays and returns the exit status.
int PlayPublication(const PlayOptions& options, int argc, char** argv);

}  // namespace vl
