#include "runtime/Trace.h"

#include <cstdio>

namespace vl::trace {
namespace {
std::FILE* gFile = nullptr;

std::string Escape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    char c = field[i];
    if (c == '\r') {
      if (i + 1 < field.size() && field[i + 1] == '\n') ++i;
      out += "\\n";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out.push_back(c);
    }
  }
  return AnsiToUtf8(out);
}
}  // namespace

bool Open(const std::string& path) {
  Close();
  gFile = std::fopen(path.c_str(), "wb");
  return gFile != nullptr;
}

void Close() {
  if (gFile) std::fclose(gFile);
  gFile = nullptr;
}

bool Active() { return gFile != nullptr; }

void Record(std::initializer_list<std::string_view> fields) {
  if (!gFile) return;
  std::string line;
  bool first = true;
  for (auto f : fields) {
    if (!first) line.push_back('\t');
    first = false;
    line += Escape(f);
  }
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), gFile);
  std::fflush(gFile);
}

}  // namespace vl::trace
