#include "platform/PrivateTemp.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <cerrno>
#include <cstdlib>

namespace vl {
namespace {

bool Safe(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

}  // namespace

std::string PrivateTempFolderIn(const std::string& base) {
  if (base.empty()) return {};
  std::string path = base;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  path += "/vellion-" + std::to_string(::getuid());
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return {};
  if (Safe(path)) return path;
  // Someone else's folder, or a link, under our name: a fresh one instead.
  std::string templ = base + "/vellion-XXXXXX";
  if (char* made = ::mkdtemp(templ.data())) return made;
  return {};
}

std::string PrivateTempFolder() {
  static const std::string folder = PrivateTempFolderIn(QDir::tempPath().toStdString());
  return folder;
}

}  // namespace vl
