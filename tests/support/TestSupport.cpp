#include "support/TestSupport.h"

#include <fstream>
#include <random>
#include <stdexcept>

#include "runtime/Ansi.h"

namespace vltest {

TempDir::TempDir() {
  std::random_device rd;
  for (int i = 0; i < 100; ++i) {
    auto p = std::filesystem::temp_directory_path() / ("vltest-" + std::to_string(rd()));
    if (std::filesystem::create_directory(p)) {
      path_ = p;
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void WriteFileBytes(const std::filesystem::path& p, std::string_view bytes) {
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Cp1252(std::string_view utf8) { return vl::Utf8ToAnsi(utf8); }

}  // namespace vltest
