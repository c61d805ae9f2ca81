#include "platform/HostDrives.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace vl {
namespace {

constexpr char kKernelTable[] = "/proc/self/mountinfo";

// Mount points are written with blanks, tabs, line breaks and backslashes
// as three-digit octal escapes.
std::string Unescape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' &&
        s[i + 3] <= '7') {
      out.push_back(static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    size_t j = i;
    while (j < line.size() && line[j] != ' ') ++j;
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

bool IsOptical(std::string_view fsType, std::string_view source) {
  if (fsType == "iso9660" || fsType == "udf") return true;
  // /dev/sr0, /dev/scd0, /dev/cdrom: an optical drive whatever its file system.
  for (std::string_view dev : {"/dev/sr", "/dev/scd", "/dev/cdrom", "/dev/dvd"})
    if (source.substr(0, dev.size()) == dev) return true;
  return false;
}

bool IsNetwork(std::string_view fsType) {
  static constexpr std::string_view kNetwork[] = {
      "nfs",        "nfs4",      "cifs",       "smb3",        "smbfs",      "ncpfs",       "9p",
      "afs",        "ceph",      "glusterfs",  "lustre",      "coda",       "davfs",       "fuse.sshfs",
      "fuse.davfs", "fuse.rclone", "fuse.s3fs", "fuse.glusterfs", "fuse.cephfs", "fuse.smbnetfs", "fuse.gvfsd-fuse"};
  return std::find(std::begin(kNetwork), std::end(kNetwork), fsType) != std::end(kNetwork);
}

struct Table {
  std::string file;  // empty: the kernel's
  int fd = -1;
  int64_t stamp[3] = {-1, -1, -1};  // inode, mtime, size of a plain file
  std::vector<HostDrive> drives;
  bool loaded = false;
};

Table& TheTable() {
  static Table t;
  return t;
}

bool ReadFd(int fd, std::string& out) {
  out.clear();
  if (::lseek(fd, 0, SEEK_SET) < 0) return false;
  char buf[8192];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buf, static_cast<size_t>(n));
    if (out.size() > (16u << 20)) return true;  // a table this large is not a real one: use what we have
  }
}

// The kernel marks its mount table with POLLPRI when mounts change; a plain
// file (tests) is read again when its inode, time or size changed.
bool Changed(Table& t, const std::string& path) {
  if (t.fd < 0) return true;
  if (t.file.empty()) {
    pollfd p{t.fd, POLLPRI, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR)) != 0;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return true;
  const int64_t now[3] = {static_cast<int64_t>(st.st_ino),
                          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                          static_cast<int64_t>(st.st_size)};
  return !std::equal(std::begin(now), std::end(now), std::begin(t.stamp));
}

const std::vector<HostDrive>& Current() {
  Table& t = TheTable();
  const std::string path = t.file.empty() ? std::string(kKernelTable) : t.file;
  if (t.loaded && !Changed(t, path)) return t.drives;
  if (t.fd >= 0 && !t.file.empty()) {
    ::close(t.fd);
    t.fd = -1;
  }
  if (t.fd < 0) t.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  std::string text;
  if (t.fd >= 0 && ReadFd(t.fd, text)) {
    t.drives = ParseMountInfo(text);
    struct stat st {};
    if (!t.file.empty() && ::fstat(t.fd, &st) == 0) {
      t.stamp[0] = static_cast<int64_t>(st.st_ino);
      t.stamp[1] = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
      t.stamp[2] = static_cast<int64_t>(st.st_size);
    }
  } else {
    t.drives.clear();
  }
  t.loaded = true;
  return t.drives;
}

bool Under(const std::string& path, const std::string& folder) {
  if (folder == "/") return !path.empty() && path[0] == '/';
  return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

}  // namespace

std::vector<HostDrive> ParseMountInfo(std::string_view text) {
  struct Mount {
    std::string point, fsType;
    bool network;
  };
  std::vector<Mount> optical, network;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    const auto f = Fields(line);
    // id parent major:minor root mount-point options [optional...] - type source super-options
    auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
    if (f.size() < 6 || dash == f.end() || dash < f.begin() + 6 || f.end() - dash < 3) continue;
    const std::string point = Unescape(f[4]);
    const std::string_view fsType = dash[1], source = dash[2];
    if (point.empty() || point[0] != '/') continue;
    auto known = [&](const std::vector<Mount>& v) {
      return std::any_of(v.begin(), v.end(), [&](const Mount& m) { return m.point == point; });
    };
    if (IsOptical(fsType, source)) {
      if (!known(optical)) optical.push_back({point, std::string(fsType), false});
    } else if (IsNetwork(fsType)) {
      if (!known(network)) network.push_back({point, std::string(fsType), true});
    }
  }
  // Optical drives from D: up, shares from Z: down; they never share a letter.
  std::vector<HostDrive> out;
  char up = 'd', down = 'z';
  for (const auto& m : optical) {
    if (up > down) break;
    out.push_back({up++, HostDriveKind::CdRom, m.point, m.fsType});
  }
  for (const auto& m : network) {
    if (down < up) break;
    out.push_back({down--, HostDriveKind::Network, m.point, m.fsType});
  }
  std::sort(out.begin(), out.end(), [](const HostDrive& a, const HostDrive& b) { return a.letter < b.letter; });
  return out;
}

std::vector<HostDrive> HostDrives() { return Current(); }

void SetMountTableFile(std::string path) {
  Table& t = TheTable();
  if (t.fd >= 0) ::close(t.fd);
  t = Table{};
  t.file = std::move(path);
}

std::string MountedDriveFolder(char letter) {
  if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
  for (const auto& d : Current())
    if (d.letter == letter) return d.mountPoint;
  return {};
}

HostDrive DriveHolding(const std::string& nativePath) {
  HostDrive best;
  for (const auto& d : Current())
    if (Under(nativePath, d.mountPoint) && d.mountPoint.size() >= best.mountPoint.size()) best = d;
  return best;
}

std::string FirstDriveOf(HostDriveKind kind) {
  for (const auto& d : Current())
    if (d.kind == kind) return std::string{static_cast<char>(d.letter - 'a' + 'A'), ':'};
  return "Error";
}

uint32_t SerialFromUuid(std::string_view uuid) {
  uint32_t v = 0;
  int digits = 0;
  for (char c : uuid) {
    if (c == '-') continue;
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return 0;
    v = (v << 4) | static_cast<uint32_t>(d);
    if (++digits == 8) return v;
  }
  return 0;
}

uint32_t VolumeSerialOf(const std::string& nativePath, const std::string& byUuidFolder) {
  struct stat target {};
  if (::stat(nativePath.c_str(), &target) != 0) return 0;
  if (DIR* d = ::opendir(byUuidFolder.c_str())) {
    uint32_t found = 0;
    while (dirent* e = ::readdir(d)) {
      if (e->d_name[0] == '.') continue;
      struct stat dev {};
      const std::string link = byUuidFolder + "/" + e->d_name;
      if (::stat(link.c_str(), &dev) == 0 && S_ISBLK(dev.st_mode) && dev.st_rdev == target.st_dev) {
        found = SerialFromUuid(e->d_name);
        if (found) break;
      }
    }
    ::closedir(d);
    if (found) return found;
  }
  // No listed device (a container, a network or memory file system): the
  // kernel's id of the file system is as stable for as long as it is mounted.
  struct statvfs st {};
  if (::statvfs(nativePath.c_str(), &st) != 0) return 0;
  return static_cast<uint32_t>(st.f_fsid);
}

uint32_t VolumeSerialOf(const std::string& nativePath) { return VolumeSerialOf(nativePath, "/dev/disk/by-uuid"); }

}  // namespace vl
