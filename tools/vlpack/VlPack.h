#pragma once
// vlpack: inspect, extract and build packages.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vlpack {

int CmdList(const std::vector<std::string>& args);
int CmdExtract(const std::vector<std::string>& args);
int CmdBuild(const std::vector<std::string>& args);

// Prints "vlpack: MESSAGE" on stderr and gives the failure status.
int Fail(const std::string& message);
inline constexpr int kUsageError = 2;
// Prints the message and gives the usage-error status.
int Usage(const std::string& message);

// The folder path an entry name is extracted to, relative and safe: the text
// up to the last ":" dropped, "\" and "/" as separators, empty and "." parts
// skipped. Empty when nothing usable is left or a part is "..".
std::string SafeRelativePath(std::string_view name);

}  // namespace vlpack
