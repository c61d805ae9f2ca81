#pragma once
// The exit statuses of `vellion`. The README lists them for each use.

namespace vl {

constexpr int kExitOk = 0;
// --eval and the options.
constexpr int kExitUsage = 2;    // a bad command line
constexpr int kExitNoInput = 3;  // FILE cannot be read
// Playing a publication.
constexpr int kExitNoPackage = 1;     // nothing to play: the usage was printed
constexpr int kExitStartFailed = 2;   // the publication could not start
constexpr int kExitTimeout = 3;       // the timeout expired (headless)
constexpr int kExitScriptFailed = 4;  // a script step failed (headless)

}  // namespace vl
