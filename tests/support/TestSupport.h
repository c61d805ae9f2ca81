#pragma once
// Small helpers shared by the test folders.
#include <filesystem>
#include <string>
#include <string_view>

namespace vltest {

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& p);
void WriteFileBytes(const std::filesystem::path& p, std::string_view bytes);

// A literal in UTF-8 turned into the player's Windows-1252 bytes.
std::string Cp1252(std::string_view utf8);

}  // namespace vltest
