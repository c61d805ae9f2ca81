// The file and folder commands: copies, deletions, sizes, folder listings and
// text files kept as lists of lines. Every name goes through the one path
// layer (platform/WinPath.h); texts stay 8-bit bytes from file to variable and
// back. Failures are reported as the Windows codes publications test for:
// 2 a missing file, 3 a missing folder on the way, 5 anything refused.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "actions/CmdArgs.h"
#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "platform/SafeMode.h"
#include "platform/WinPath.h"
#include "runtime/Ansi.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Messages.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"

namespace vl {
namespace {

// A whole file read into a variable is capped: larger ones are refused as
// "not enough memory" rather than taking the machine's.
constexpr int64_t kMaxWholeFile = 256LL << 20;
// One line of a text file is capped the same way (a binary file read by
// lines may have no line break at all).
constexpr size_t kMaxLine = 256u << 20;

const char kDeviceList[] = "|LPT1|LPT2|LPT3|LPT4|COM1|COM2|COM3|COM4|";

// ---- names -------------------------------------------------------------------

size_t NameStart(std::string_view p) {
  size_t cut = p.find_last_of("\\/:");
  return cut == std::string_view::npos ? 0 : cut + 1;
}

AnsiString FolderPart(std::string_view p) { return AnsiString(p.substr(0, NameStart(p))); }
AnsiString NamePart(std::string_view p) { return AnsiString(p.substr(NameStart(p))); }

bool HasDrive(std::string_view p) {
  return (p.size() >= 2 && p[1] == ':') || (p.size() >= 2 && p[0] == '\\' && p[1] == '\\');
}

AnsiString JoinName(const AnsiString& folder, std::string_view name) {
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder + AnsiString(name);
  return folder + "\\" + AnsiString(name);
}

AnsiString PublicationFolder() { return ThePackage().HostFolder(); }

AnsiString PublicationDrive() {
  const char d = DriveMap().packageDrive;
  return d ? AnsiString{static_cast<char>(d - 'a' + 'A'), ':'} : AnsiString();
}

// The publication's folder for a bare name, the root of its drive for a
// folder path without a drive, anything with a drive as written.
AnsiString ResolvePath(std::string_view name) {
  if (name.empty()) return {};
  if (NameStart(name) == 0) return JoinName(PublicationFolder(), name);
  if (HasDrive(name)) return AnsiString(name);
  if (name[0] == '\\' || name[0] == '/') return PublicationDrive() + AnsiString(name);
  return PublicationDrive() + "\\" + AnsiString(name);
}

bool IsEmbeddedName(std::string_view name) {
  return SameTextInvariant(name.substr(0, NameStart(name)), "embedded:\\\\\\");
}

// ---- errors ------------------------------------------------------------------

bool FolderOf(const std::string& host, bool& exists) {
  size_t cut = host.find_last_of('/');
  std::string folder = cut == std::string::npos ? "." : (cut == 0 ? "/" : host.substr(0, cut));
  struct stat st {};
  exists = ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return true;
}

// The Windows code of a failed call on `host`.
int CodeOfErrno(int err, const std::string& host) {
  switch (err) {
    case 0: return 0;
    case ENOENT: {
      bool folderExists = false;
      FolderOf(host, folderExists);
      return folderExists ? 2 : 3;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case ENOMEM: return 8;
    default: return 5;  // EACCES, EPERM, EROFS, EISDIR, EBUSY, ETXTBSY, ENOSPC ...
  }
}

void SetErrorCode(int code) { SetLastError(ErrorText(code)); }

// ---- the read-line cache -----------------------------------------------------

class LineReader;

// Where FileRead stopped in the file it read last, with the reader's buffer,
// so that reading on continues from there. The file's size, inode and both
// times must all be unchanged (two writes within one tick of the file
// system's clock share a time, and a program may set the modification time
// back), and every write of ours drops it.
struct LineReadCache {
  bool valid = false;
  AnsiString name;   // as the command resolved it
  std::string path;  // on this host
  dev_t dev = 0;
  ino_t ino = 0;
  int64_t size = 0;
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;  // changes with every write, and cannot be set back
  int64_t nextLine = 0;
  std::shared_ptr<LineReader> reader;  // its buffer as the last read left it
};

LineReadCache& Cache() {
  static LineReadCache cache;
  return cache;
}

void DropLineCache() { Cache() = LineReadCache(); }

int64_t MtimeNs(const struct stat& st) {
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

int64_t CtimeNs(const struct stat& st) {
  return static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
}

// ---- plain file helpers ------------------------------------------------------

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Reads the rest of `fd` (at most `cap` bytes; more is an error ENOMEM).
bool ReadAll(int fd, std::string& out, int64_t cap) {
  out.clear();
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    if (static_cast<int64_t>(out.size()) + n > cap) {
      errno = ENOMEM;
      return false;
    }
    out.append(buf, static_cast<size_t>(n));
  }
}

// Reads a file by lines: a line ends at CR LF, at a lone CR or at a lone LF;
// a last line without a break counts; an empty file has no lines. The file
// is opened when bytes are first needed and closed by Close: a reader kept
// for reading on holds its buffer, not the file.
class LineReader {
 public:
  explicit LineReader(std::string path, int64_t size) : path_(std::move(path)), size_(size) {}
  ~LineReader() { Close(); }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;
  // 0, or the errno of opening the file.
  int Open() {
    if (fd_ >= 0) return 0;
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return errno;
    if (filePos_ > 0 && ::lseek(fd_, filePos_, SEEK_SET) < 0) return errno;
    return 0;
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // False at the end of the file (or on a read error, then `error` is set).
  bool Next(std::string* line) {
    if (line) line->clear();
    bool any = false;
    for (;;) {
      if (begin_ == end_ && !Fill()) return any;
      any = true;
      const char* b = buf_.get() + begin_;
      const char* e = buf_.get() + end_;
      const char* p = b;
      while (p < e && *p != '\n' && *p != '\r') ++p;
      if (line && line->size() < kMaxLine)
        line->append(b, std::min(static_cast<size_t>(p - b), kMaxLine - line->size()));
      begin_ += static_cast<size_t>(p - b);
      if (p == e) continue;
      const char c = buf_[begin_++];
      if (c == '\r') {
        if (begin_ == end_) Fill();
        if (begin_ < end_ && buf_[begin_] == '\n') ++begin_;
      }
      return true;
    }
  }
  bool AtEnd() {
    if (begin_ < end_) return false;
    if (filePos_ >= size_) return true;
    return !Fill();
  }
  int error = 0;

 private:
  bool Fill() {
    if (error || (fd_ < 0 && (error = Open()) != 0)) return false;
    for (;;) {
      ssize_t n = ::read(fd_, buf_.get(), kBuf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error = errno;
      if (n <= 0) return false;
      begin_ = 0;
      end_ = static_cast<size_t>(n);
      filePos_ += n;
      return true;
    }
  }
  static constexpr size_t kBuf = 65536;
  std::string path_;
  int64_t size_;
  int fd_ = -1;
  std::unique_ptr<char[]> buf_{new char[kBuf]};
  size_t begin_ = 0, end_ = 0;
  int64_t filePos_ = 0;  // of the file descriptor: after the buffer
};

// Splits bytes into lines as LineReader does.
std::vector<std::string> SplitLines(const std::string& s) {
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < s.size()) {
    size_t j = s.find_first_of("\r\n", i);
    if (j == std::string::npos) {
      lines.push_back(s.substr(i));
      break;
    }
    lines.push_back(s.substr(i, j - i));
    i = (s[j] == '\r' && j + 1 < s.size() && s[j + 1] == '\n') ? j + 2 : j + 1;
  }
  return lines;
}

bool IsRegularFile(const std::string& host) {
  struct stat st {};
  return !host.empty() && ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& host) {
  struct stat st {};
  return !host.empty() && ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p; 0 or the errno of the failure.
int MakeFolderTree(const std::string& path) {
  if (IsFolder(path)) return 0;
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i != path.size() && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return errno;
  }
  return IsFolder(path) ? 0 : ENOTDIR;
}

// ---- FileCopy, FileErase, sizes, existence ------------------------------------

// 0 or the Windows code; `sameFile` when both name one file.
int CopyFileBytes(const std::string& src, const std::string& dst, bool& sameFile) {
  sameFile = false;
  Fd in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.ok()) return CodeOfErrno(errno, src);
  struct stat ss {};
  if (::fstat(in.get(), &ss) != 0) return 5;
  if (S_ISDIR(ss.st_mode)) return 2;  // a folder is no file to copy
  struct stat ds {};
  if (::stat(dst.c_str(), &ds) == 0 && ds.st_dev == ss.st_dev && ds.st_ino == ss.st_ino) {
    sameFile = true;
    return 0;
  }
  Fd out(::open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!out.ok()) return 5;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(in.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return 5;
    if (n == 0) break;
    if (!WriteAll(out.get(), std::string_view(buf, static_cast<size_t>(n)))) return 5;
  }
  const struct timespec times[2] = {ss.st_atim, ss.st_mtim};
  ::futimens(out.get(), times);
  // A read-only copy is made writable, as a copy from a CD-ROM would be.
  struct stat os {};
  if (::fstat(out.get(), &os) == 0 && !(os.st_mode & S_IWUSR) && ::fchmod(out.get(), os.st_mode | S_IWUSR) != 0)
    return CodeOfErrno(errno, dst);
  return 0;
}

void DoFileCopy(CommandContext& c) {
  AnsiString src = c.Arg(1), dst = c.Arg(2);
  if (src.empty() || dst.empty()) {
    SetLastError(Msg(301));
    return;
  }
  if (FolderPart(src).empty()) src = JoinName(PublicationFolder(), src);
  if (FolderPart(dst).empty()) dst = FolderPart(src) + dst;
  if (NamePart(dst).empty()) dst += NamePart(src);
  DropLineCache();
  const std::string hs = HostFilePath(src), hd = HostFilePath(dst);
  int code = 0;
  struct stat st {};
  if (hs.empty()) {
    code = 2;
  } else if (::stat(hs.c_str(), &st) != 0) {
    code = CodeOfErrno(errno, hs);
  } else if (!S_ISREG(st.st_mode)) {
    code = 2;  // a folder is no file to copy
  } else if (SameTextInvariant(src, dst)) {
    SetLastError(Msg(300));
    return;
  } else if (hd.empty()) {
    code = 5;
  } else {
    bool same = false;
    code = CopyFileBytes(hs, hd, same);
    if (same) {
      SetLastError(Msg(300));
      return;
    }
  }
  SetErrorCode(code);
}

void DoFileErase(CommandContext& c) {
  const AnsiString& name = c.Arg(1);
  if (name.empty()) return SetErrorCode(2);
  const std::string host = HostFilePath(ResolvePath(name));
  int code = 0;
  if (!IsRegularFile(host)) {
    code = host.empty() ? 2 : CodeOfErrno(ENOENT, host);
    // A folder where the file should be counts as no file.
    if (IsFolder(host)) code = 2;
  } else if (::unlink(host.c_str()) != 0) {
    int err = errno;
    if (err == EACCES || err == EPERM) {
      ::chmod(host.c_str(), 0666);
      err = ::unlink(host.c_str()) == 0 ? 0 : errno;
    }
    code = CodeOfErrno(err, host);
  }
  DropLineCache();
  SetErrorCode(code);
}

void DoFileExists(CommandContext& c) {
  const AnsiString& name = c.Arg(1);
  bool found = false;
  if (IsEmbeddedName(name)) {
    if (VarsEnv().runMode != 0) {
      AnsiString mapped = ThePackage().MapEmbeddedName(name);
      found = mapped != name && IsRegularFile(HostFilePath(mapped));
    } else {
      found = ThePackage().IsOpen() && ThePackage().FindEntry(name) != nullptr;
    }
  } else if (!name.empty()) {
    found = IsRegularFile(HostFilePath(ResolvePath(name)));
  }
  SetVariable(c.Arg(2), found ? "True" : "False");
}

void DoFileSize(CommandContext& c) {
  const AnsiString& name = c.Arg(1);
  int code = 0;
  AnsiString result;
  auto sizeOfHost = [&](const std::string& host) {
    struct stat st {};
    if (host.empty()) {
      code = 2;
    } else if (::stat(host.c_str(), &st) != 0) {
      code = CodeOfErrno(errno, host);
    } else if (S_ISDIR(st.st_mode)) {
      code = 2;
    } else {
      result = std::to_string(static_cast<int64_t>(st.st_size));
    }
  };
  if (IsEmbeddedName(name)) {
    if (VarsEnv().runMode != 0) {
      AnsiString mapped = ThePackage().MapEmbeddedName(name);
      if (mapped == name)
        code = 2;
      else
        sizeOfHost(HostFilePath(mapped));
    } else if (const LibRec* e = ThePackage().IsOpen() ? ThePackage().FindEntry(name) : nullptr) {
      result = std::to_string(e->DataSize());
    } else {
      code = 2;
    }
  } else if (name.empty()) {
    code = 2;
  } else {
    sizeOfHost(HostFilePath(ResolvePath(name)));
  }
  SetVariable(c.Arg(2), result);
  SetErrorCode(code);
}

// ---- folders -------------------------------------------------------------------

void DoFolderExists(CommandContext& c) {
  AnsiString name = AnsiString(TrimView(c.Arg(1)));
  bool found = !name.empty() && IsFolder(HostFilePath(ResolvePath(name)));
  SetVariable(c.Arg(2), found ? "True" : "False");
}

void DoCreateFolder(CommandContext& c) {
  AnsiString name = c.Arg(1);
  if (name.empty()) return SetErrorCode(3);
  while (name.size() > 1 && (name.back() == '\\' || name.back() == '/')) name.pop_back();
  const std::string host = HostFilePath(name);
  if (host.empty()) return SetErrorCode(3);
  SetErrorCode(MakeFolderTree(host) == 0 ? 0 : 3);
}

void DoRemoveFolder(CommandContext& c) {
  const AnsiString& name = c.Arg(1);
  const std::string host = HostFilePath(name);
  if (!host.empty() && ::rmdir(host.c_str()) == 0) return SetLastError("");
  SetLastError("\"" + name + "\"||" + Msg(316));
}

// ---- ExtractFile ----------------------------------------------------------------

void DoExtractFile(CommandContext& c) {
  if (VarsEnv().runMode != 0) return DoFileCopy(c);
  const AnsiString& src = c.Arg(1);
  if (src.empty()) return SetErrorCode(2);
  AnsiString dst = c.Arg(2);
  if (FolderPart(dst).empty()) dst = JoinName(PublicationFolder(), dst);
  if (NamePart(dst).empty()) dst += NamePart(src);
  const std::string host = HostFilePath(dst);
  DropLineCache();
  if (host.empty()) return;  // a device: nothing to write
  AnsiString error;
  ThePackage().ExtractFileTo(src, FromNativePath(host), true, error);
  if (!error.empty()) SetLastError(error);
}

// ---- FileList -------------------------------------------------------------------

bool MatchSet(std::string_view mask, size_t& i, unsigned char ch, bool& ok) {
  // `i` is just after "["; leaves it after "]". `ok` false: no "]".
  bool negate = false;
  if (i < mask.size() && mask[i] == '!') {
    negate = true;
    ++i;
  }
  bool hit = false;
  const unsigned char up = static_cast<unsigned char>(AnsiUpper(std::string(1, static_cast<char>(ch)))[0]);
  bool first = true;
  while (i < mask.size() && (mask[i] != ']' || first)) {
    first = false;
    unsigned char lo = static_cast<unsigned char>(AnsiUpper(std::string(1, mask[i]))[0]);
    unsigned char hi = lo;
    if (i + 2 < mask.size() && mask[i + 1] == '-' && mask[i + 2] != ']') {
      hi = static_cast<unsigned char>(AnsiUpper(std::string(1, mask[i + 2]))[0]);
      i += 2;
    }
    if (up >= lo && up <= hi) hit = true;
    ++i;
  }
  if (i >= mask.size()) {
    ok = false;
    return false;
  }
  ++i;  // "]"
  return hit != negate;
}

// "*" any run, "?" any one character, "[a-z]" / "[!a-z]" sets; letter case
// ignored. A mask that cannot be read (an unclosed set) matches nothing.
bool MaskMatch(std::string_view mask, std::string_view name, bool& ok) {
  size_t mi = 0, ni = 0;
  while (mi < mask.size()) {
    const char m = mask[mi];
    if (m == '*') {
      ++mi;
      if (mi == mask.size()) return true;
      for (size_t k = ni; k <= name.size(); ++k) {
        if (MaskMatch(mask.substr(mi), name.substr(k), ok)) return true;
        if (!ok) return false;
      }
      return false;
    }
    if (ni >= name.size()) {
      // A set left unread still decides whether the mask is readable.
      if (m == '[') {
        size_t j = mi + 1;
        MatchSet(mask, j, 0, ok);
      }
      return false;
    }
    if (m == '?') {
      ++mi;
      ++ni;
    } else if (m == '[') {
      ++mi;
      if (!MatchSet(mask, mi, static_cast<unsigned char>(name[ni]), ok)) return false;
      ++ni;
    } else {
      if (!SameTextInvariant(std::string_view(&mask[mi], 1), std::string_view(&name[ni], 1))) return false;
      ++mi;
      ++ni;
    }
  }
  return ni == name.size();
}

bool MatchesMask(std::string_view mask, std::string_view name) {
  bool ok = true;
  bool m = MaskMatch(mask, name, ok);
  return ok && m;
}

void DoFileList(CommandContext& c) {
  const AnsiString& pattern = c.Arg(1);
  const AnsiString opts = AnsiUpper(c.Arg(2));
  const bool folders = opts.find("FOLDERS") != AnsiString::npos;
  const bool files = !folders || opts.find("FILES") != AnsiString::npos;
  const bool noExt = opts.find("NOEXT") != AnsiString::npos;
  // The masks are everything after the folder; "|" joins several.
  size_t cut = pattern.find_first_of('|');
  std::string_view head = std::string_view(pattern).substr(0, cut);
  const size_t nameAt = NameStart(head);
  const AnsiString folder = pattern.substr(0, nameAt);
  std::vector<AnsiString> masks;
  {
    size_t pos = nameAt;
    for (;;) {
      size_t bar = pattern.find('|', pos);
      masks.push_back(pattern.substr(pos, bar == AnsiString::npos ? AnsiString::npos : bar - pos));
      if (bar == AnsiString::npos) break;
      pos = bar + 1;
    }
  }
  const std::string host = folder.empty() ? std::string(".") : HostFilePath(folder);
  DIR* d = host.empty() ? nullptr : ::opendir(host.c_str());
  if (!d) {
    int code = host.empty() ? 3 : CodeOfErrno(errno, host.back() == '/' ? host + "x" : host + "/x");
    if (code == 2) code = 3;  // the folder itself is what is missing
    SetVariable(c.Arg(3), "");
    return SetErrorCode(code);
  }
  std::vector<AnsiString> names;
  while (dirent* e = ::readdir(d)) {
    std::string_view n = e->d_name;
    if (n == "." || n == "..") continue;
    struct stat st {};
    const std::string full = (host.back() == '/' ? host : host + "/") + std::string(n);
    bool isDir = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (isDir ? !folders : !files) continue;
    AnsiString name = FromNativePath(n);
    bool hit = false;
    for (const auto& m : masks)
      if (MatchesMask(m, name)) {
        hit = true;
        break;
      }
    if (!hit) continue;
    if (noExt) {
      size_t dot = name.find_last_of('.');
      if (dot != AnsiString::npos) name.erase(dot);
    }
    names.push_back(std::move(name));
  }
  ::closedir(d);
  // This host returns names in no useful order: sort as Windows lists them.
  std::sort(names.begin(), names.end(), [](const AnsiString& a, const AnsiString& b) {
    AnsiString ua = AnsiUpper(a), ub = AnsiUpper(b);
    return ua != ub ? ua < ub : a < b;
  });
  AnsiString out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) out.push_back('\r');
    out += names[i];
  }
  SetVariable(c.Arg(3), out);
  SetLastError("");
}

// ---- FileRead, FileLen, FileToVar ----------------------------------------------

void DoFileRead(CommandContext& c) {
  const AnsiString lineText = AnsiString(TrimView(c.Arg(2)));
  const int64_t n = SameTextInvariant(lineText, "ALL") ? -1 : WholeArg(lineText);
  const AnsiString resolved = ResolvePath(c.Arg(1));
  LineReadCache& cache = Cache();
  // A read that fails leaves the variable as it was.
  auto fail = [&](int code) { SetErrorCode(code); };
  // Reading on in the same file skips the name's case lookup.
  std::string host = cache.valid && cache.name == resolved ? cache.path : HostFilePath(resolved);
  struct stat st {};
  int statRc = host.empty() ? -1 : ::stat(host.c_str(), &st);
  if (statRc != 0 && !host.empty() && host == cache.path) {
    host = HostFilePath(resolved);
    DropLineCache();
    statRc = host.empty() ? -1 : ::stat(host.c_str(), &st);
  }
  if (host.empty()) return fail(2);
  if (statRc != 0) return fail(CodeOfErrno(errno, host));
  if (S_ISDIR(st.st_mode)) return fail(5);
  if (n < 1) {
    Fd fd(::open(host.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.ok()) return fail(CodeOfErrno(errno, host));
    std::string all;
    if (st.st_size > kMaxWholeFile) return fail(8);
    if (!ReadAll(fd.get(), all, kMaxWholeFile)) return fail(errno == ENOMEM ? 8 : CodeOfErrno(errno, host));
    SetVariable(c.Arg(3), all);
    return SetLastError("");
  }
  std::shared_ptr<LineReader> reader;
  int64_t line = 1;
  if (cache.valid && cache.path == host && cache.dev == st.st_dev && cache.ino == st.st_ino &&
      cache.size == st.st_size && cache.mtimeNs == MtimeNs(st) && cache.ctimeNs == CtimeNs(st) &&
      n >= cache.nextLine && cache.reader) {
    reader = std::move(cache.reader);
    line = cache.nextLine;
  } else {
    reader = std::make_shared<LineReader>(host, static_cast<int64_t>(st.st_size));
    if (int err = reader->Open()) return fail(CodeOfErrno(err, host));
  }
  DropLineCache();
  std::string text;
  bool found = false;
  for (; line <= n; ++line) {
    if (!reader->Next(line == n ? &text : nullptr)) break;
    if (line == n) found = true;
  }
  if (reader->error) return fail(CodeOfErrno(reader->error, host));
  if (found && !reader->AtEnd()) {
    reader->Close();
    cache.valid = true;
    cache.name = resolved;
    cache.path = host;
    cache.dev = st.st_dev;
    cache.ino = st.st_ino;
    cache.size = st.st_size;
    cache.mtimeNs = MtimeNs(st);
    cache.ctimeNs = CtimeNs(st);
    cache.nextLine = n + 1;
    cache.reader = std::move(reader);
  }
  SetVariable(c.Arg(3), found ? ReplaceAll(text, "|", "\r\n") : AnsiString());
  SetLastError("");
}

void DoFileLen(CommandContext& c) {
  const std::string host = HostFilePath(ResolvePath(c.Arg(1)));
  int64_t count = 0;
  struct stat st {};
  if (!host.empty() && ::stat(host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
    LineReader reader(host, static_cast<int64_t>(st.st_size));
    if (reader.Open() == 0)
      while (reader.Next(nullptr)) ++count;
  }
  SetVariable(c.Arg(2), std::to_string(count));
}


void DoFileToVar(CommandContext& c) {
  const AnsiString& name = c.Arg(1);
  std::string bytes;
  if (ThePackage().IsOpen() && ThePackage().LoadEntryToMemory(name, bytes) == 0) {
    SetVariable(c.Arg(2), bytes);
    return SetLastError("");
  }
  // A bare name (what a data-file name written in the action arrives as) is
  // the publication's file, whatever folder the player was started from.
  const std::string host = HostFilePath(NameStart(name) == 0 ? ResolvePath(name) : name);
  Fd fd(host.empty() ? -1 : ::open(host.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.ok()) return SetErrorCode(host.empty() ? 2 : CodeOfErrno(errno, host));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) return SetErrorCode(5);
  if (st.st_size > kMaxWholeFile) return SetErrorCode(8);
  if (!ReadAll(fd.get(), bytes, kMaxWholeFile)) return SetErrorCode(CodeOfErrno(errno, host));
  SetVariable(c.Arg(2), bytes);
  SetLastError("");
}

// ---- FileWrite, FileInsLine, FileDelLine ---------------------------------------

enum class LineOp { Replace, Insert, Delete };

// The device a port name stands for on this host.
std::string DeviceFor(const AnsiString& upper) {
  const int unit = upper[3] - '1';
  if (upper.compare(0, 3, "COM") == 0) return "/dev/ttyS" + std::to_string(unit);
  return "/dev/lp" + std::to_string(unit);
}

// Opens `host` for reading and writing with a lock that keeps other writers
// of ours out; another holder of the lock is waited for, 11 attempts 250 ms
// apart.
int OpenForWrite(CommandContext& c, const std::string& host, int& fdOut) {
  const bool exists = ::access(host.c_str(), F_OK) == 0;
  for (int attempt = 0; attempt < 11; ++attempt) {
    if (attempt > 0 && !TheClock().Sleep(250, [&] { return c.ShouldStop(); })) break;
    int fd = ::open(host.c_str(), O_RDWR | O_CLOEXEC | (exists ? 0 : O_CREAT), 0666);
    // Only another holder is waited for: a refusal does not pass.
    if (fd < 0) return CodeOfErrno(errno, host);
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      fdOut = fd;
      return 0;
    }
    ::close(fd);
  }
  return 5;
}

void WriteLine(CommandContext& c, const AnsiString& file, int64_t line, AnsiString text, bool convert, LineOp op) {
  const AnsiString upper = AnsiUpper(file);
  if (AnsiString(kDeviceList).find("|" + upper + "|") != AnsiString::npos) {
    // Ports: written through, failures are not reported. Never in safe mode.
    if (SafeModeOn()) return NoteSafeRefusal(DeviceFor(upper));
    int fd = ::open(DeviceFor(upper).c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      WriteAll(fd, text + "\r\n");
      ::close(fd);
    }
    return;
  }
  const AnsiString resolved = ResolvePath(file);
  if (IsDeviceName(resolved)) return;  // NUL, CON and the like: nothing becomes a file
  const std::string host = HostFilePath(resolved);
  if (host.empty()) return SetErrorCode(3);
  DropLineCache();
  if (IsFolder(host)) return SetErrorCode(5);
  int rawFd = -1;
  if (int code = OpenForWrite(c, host, rawFd)) return SetErrorCode(code);
  Fd fd(rawFd);
  std::string content;
  auto fail = [&](int err) { SetErrorCode(CodeOfErrno(err, host)); };
  if (line == -1) {
    if (convert) text = ReplaceAll(text, "|", "\r\n");
    if (::ftruncate(fd.get(), 0) != 0 || ::lseek(fd.get(), 0, SEEK_SET) < 0 || !WriteAll(fd.get(), text))
      return fail(errno);
    return SetLastError("");
  }
  if (convert) text = ReplaceAll(text, "\r\n", "|");
  if (line > 0) {
    if (!ReadAll(fd.get(), content, kMaxWholeFile)) return SetErrorCode(errno == ENOMEM ? 8 : 5);
    std::vector<std::string> lines = SplitLines(content);
    const size_t idx = static_cast<size_t>(line - 1);
    if (op == LineOp::Delete) {
      if (lines.size() <= idx) return SetLastError("");
      lines.erase(lines.begin() + static_cast<ptrdiff_t>(idx));
    } else {
      // A line far beyond the end would only make empty lines: keep it sane.
      if (idx > 10000000) return SetErrorCode(8);
      if (lines.size() < idx + 1) lines.resize(idx + 1);
      if (op == LineOp::Replace)
        lines[idx] = text;
      else
        lines.insert(lines.begin() + static_cast<ptrdiff_t>(idx), text);
    }
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i) out += "\r\n";
      out += lines[i];
    }
    if (::ftruncate(fd.get(), 0) != 0 || ::lseek(fd.get(), 0, SEEK_SET) < 0 || !WriteAll(fd.get(), out))
      return fail(errno);
    return SetLastError("");
  }
  // Append. A file whose last line already ends (CR LF, a lone LF or a lone
  // CR) gets the text as its next line, without a blank line between.
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return fail(errno);
  std::string lead;
  if (st.st_size > 0) {
    char tail[2] = {0, 0};
    const int64_t from = st.st_size >= 2 ? st.st_size - 2 : 0;
    const ssize_t got = ::pread(fd.get(), tail, static_cast<size_t>(st.st_size - from), from);
    const char last = got > 0 ? tail[got - 1] : 0;
    if (last != '\n' && last != '\r') lead = "\r\n";
  }
  if (::lseek(fd.get(), 0, SEEK_END) < 0 || !WriteAll(fd.get(), lead + text)) return fail(errno);
  SetLastError("");
}

int64_t LineArg(const CommandContext& c, bool mapWords) {
  const AnsiString t = AnsiString(TrimView(c.Arg(2)));
  if (mapWords) {
    if (SameTextInvariant(t, "APPEND")) return 0;
    if (SameTextInvariant(t, "ALL")) return -1;
  }
  return WholeArg(t);
}

void DoFileWrite(CommandContext& c) {
  WriteLine(c, c.Arg(1), LineArg(c, true), c.Arg(3), !c.Literal(3), LineOp::Replace);
}

// An inserted or deleted line is always a line of the file: numbers below 1
// never rewrite the whole file.
void DoFileInsLine(CommandContext& c) {
  int64_t n = LineArg(c, false);
  WriteLine(c, c.Arg(1), n < 1 ? 0 : n, "", true, LineOp::Insert);
}

void DoFileDelLine(CommandContext& c) {
  int64_t n = LineArg(c, false);
  if (n < 1) return SetLastError("");
  WriteLine(c, c.Arg(1), n, "", true, LineOp::Delete);
}

const CommandBinder kBind{{cmd::FileCopy, DoFileCopy},         {cmd::FileErase, DoFileErase},
                          {cmd::FileSize, DoFileSize},         {cmd::FileExists, DoFileExists},
                          {cmd::FolderExists, DoFolderExists}, {cmd::CreateFolder, DoCreateFolder},
                          {cmd::RemoveFolder, DoRemoveFolder}, {cmd::ExtractFile, DoExtractFile},
                          {cmd::FileList, DoFileList},         {cmd::FileRead, DoFileRead},
                          {cmd::FileWrite, DoFileWrite},       {cmd::FileInsLine, DoFileInsLine},
                          {cmd::FileDelLine, DoFileDelLine},   {cmd::FileLen, DoFileLen},
                          {cmd::FileToVar, DoFileToVar}};

}  // namespace
}  // namespace vl
