#pragma once
// The player's temporary folder. Extraction reuses any file already in its
// folder, so a folder that other users can write to would let them plant
// files the publication then opens. The player therefore uses a folder of
// its own inside the system's temporary folder, made for this user with mode
// 0700, and refuses one that is a link, belongs to someone else or is open
// to others.
#include <string>

namespace vl {

// The private folder (UTF-8 path, no trailing separator); made when missing.
// Empty when no safe folder could be made.
std::string PrivateTempFolder();
// The same check for a given folder (for tests): `base` is the parent.
std::string PrivateTempFolderIn(const std::string& base);

}  // namespace vl
