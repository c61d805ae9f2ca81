// Extraction of entries onto disk, file resolution, fonts, plug-ins, cursors
// and icons, and the clean-up at close.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Messages.h"
#include "runtime/NativePath.h"
#include "runtime/PackageFile.h"
#include "runtime/PlugInFolder.h"

namespace vl {

// ---------------------------------------------------------------------------
// Names

std::string_view FileNamePart(std::string_view name) {
  size_t cut = name.find_last_of("\\/");
  return cut == std::string_view::npos ? name : name.substr(cut + 1);
}

AnsiString SafeExtractName(std::string_view name) {
  size_t cut = name.find_last_of("\\/:");
  std::string_view part = cut == std::string_view::npos ? name : name.substr(cut + 1);
  if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string_view::npos) return {};
  return AnsiString(part);
}

AnsiString UniqueNameStem(uint32_t dosDateTime, uint32_t k) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(dosDateTime + k + 1000033037u));
  return buf;
}

uint32_t DosDateTimeNow() {
  QDateTime t = QDateTime::fromMSecsSinceEpoch(TheClock().WallMs()).toLocalTime();
  QDate d = t.date();
  QTime tm = t.time();
  int year = std::clamp(d.year() - 1980, 0, 127);
  uint32_t date = static_cast<uint32_t>((year << 9) | (d.month() << 5) | d.day());
  uint32_t time = static_cast<uint32_t>((tm.hour() << 11) | (tm.minute() << 5) | (tm.second() / 2));
  return (date << 16) | time;
}

namespace {

AnsiString JoinPath(const AnsiString& folder, std::string_view name) {
  if (folder.empty()) return AnsiString(name);
  if (folder.back() == '/') return folder + AnsiString(name);
  return folder + "/" + AnsiString(name);
}

bool IsDirectory(const AnsiString& path) {
  struct stat st {};
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// An existing file (not a folder) at `path`.
bool IsFile(const AnsiString& path) {
  struct stat st {};
  return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool RemoveFile(const AnsiString& path) { return ::unlink(NativePath(path).c_str()) == 0; }

// The extension of an entry's file name, dots removed, for unique names.
AnsiString ExtensionOf(std::string_view name) {
  AnsiString file = SafeExtractName(name);
  size_t dot = file.find_last_of('.');
  if (dot == AnsiString::npos) return {};
  AnsiString ext = file.substr(dot + 1);
  ext.erase(std::remove(ext.begin(), ext.end(), '.'), ext.end());
  return ext;
}

// Writes all of `n` bytes or reports the error number.
bool WriteAll(int fd, const char* p, size_t n, int& err) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// Searches `folder` and then its sub-folders, depth first, for a file called
// `name`. Folders already visited (through symbolic links) are skipped, and
// the depth and the number of folders looked at are bounded.
class FileSearch {
 public:
  explicit FileSearch(std::string_view name) : name_(name) {}
  bool Run(const AnsiString& folder, AnsiString& found) { return Visit(folder, 0, found); }

 private:
  static constexpr int kMaxDepth = 32;
  static constexpr int kMaxFolders = 20000;

  bool Visit(const AnsiString& folder, int depth, AnsiString& found) {
    if (depth > kMaxDepth || ++folders_ > kMaxFolders) return false;
    const std::string native = NativePath(folder);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (!visited_.insert({st.st_dev, st.st_ino}).second) return false;
    DIR* d = ::opendir(native.c_str());
    if (!d) return false;
    std::vector<AnsiString> names;
    while (dirent* ent = ::readdir(d)) {
      if (ent->d_name[0] == '.') continue;
      names.push_back(FromNativePath(ent->d_name));
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    std::vector<AnsiString> subfolders;
    AnsiString caseless;
    for (const auto& n : names) {
      AnsiString full = JoinPath(folder, n);
      if (IsDirectory(full)) {
        subfolders.push_back(full);
      } else if (n == name_) {
        found = full;
        return true;
      } else if (caseless.empty() && SameTextInvariant(n, name_)) {
        caseless = full;  // file names on the author's system ignore case
      }
    }
    if (!caseless.empty()) {
      found = caseless;
      return true;
    }
    for (const auto& sub : subfolders)
      if (Visit(sub, depth + 1, found)) return true;
    return false;
  }

  AnsiString name_;
  std::set<std::pair<dev_t, ino_t>> visited_;
  int folders_ = 0;
};

}  // namespace

// ---------------------------------------------------------------------------
// Extraction

AnsiString TPackage::NormalTarget(const LibRec& entry) const {
  AnsiString file = SafeExtractName(entry.Name);
  if (file.empty()) return {};
  return JoinPath(extractFolder_, file);
}

// Creates `target` (exclusively: an existing file or a link placed there is
// never written through) and copies the entry into it. `created` tells
// whether the file was made, so the caller knows whether one existed.
// Returns the ExtractEntry code.
int ExtractInto(TPackage& pkg, const LibRec& entry, const AnsiString& target, bool& created) {
  created = false;
  const std::string native = NativePath(target);
  int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return errno == EEXIST ? kExtractExisting : kExtractWriteError;
  created = true;
  int err = 0;
  bool writeFailed = false;
  bool complete = pkg.CopyEntryData(entry, [&](const char* p, size_t n) {
    if (WriteAll(fd, p, n, err)) return true;
    writeFailed = true;
    return false;
  });
  if (::close(fd) != 0 && !writeFailed) {
    writeFailed = true;
    complete = false;
  }
  if (writeFailed) {
    ::unlink(native.c_str());
    return kExtractWriteError;
  }
  if (!complete) {
    // A short copy is removed so that no later run reuses a damaged file.
    ::unlink(native.c_str());
    return kExtractIncomplete;
  }
  return kExtractWritten;
}

int TPackage::ExtractEntry(LibRec& entry, bool uniqueName, AnsiString& target) {
  target = NormalTarget(entry);
  if (target.empty()) return kExtractWriteError;  // no usable file name in the entry's name
  bool created = false;
  if (uniqueName) {
    const uint32_t now = DosDateTimeNow();
    const AnsiString ext = ExtensionOf(entry.Name);
    for (uint32_t k = 0; k < 4096; ++k) {
      AnsiString candidate = UniqueNameStem(now, k);
      if (!ext.empty()) candidate += "." + ext;
      candidate = JoinPath(extractFolder_, candidate);
      int rc = ExtractInto(*this, entry, candidate, created);
      if (rc == kExtractExisting) continue;
      if (rc == kExtractWriteError && !created) break;  // the folder refuses new files
      target = candidate;
      if (rc == kExtractWritten) {
        entry.Extracted = true;
        entry.ExtractedPath = target;
      }
      return rc;
    }
    // No fresh name could be had: fall back to the normal target.
  }
  int rc = ExtractInto(*this, entry, target, created);
  if (rc == kExtractWritten) {
    entry.Extracted = true;
    entry.ExtractedPath = target;
  }
  // Linux has no hidden attribute (ExtractOp 0x40); the file keeps its name,
  // since callers open it by the path returned here.
  return rc;
}

int TPackage::ResolveFile(std::string_view name, AnsiString& path, int& errorCode) {
  errorCode = 0;
  path.clear();
  if (LibRec* e = FindEntry(name)) return ExtractEntry(*e, false, path);

  const AnsiString given(name);
  AnsiString slashed = given;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  if (!hostFolder_.empty()) {
    size_t cut = slashed.find_last_of('/');
    std::string_view folder = cut == AnsiString::npos ? std::string_view() : std::string_view(slashed).substr(0, cut);
    if (folder.size() >= hostFolder_.size() && SameTextInvariant(folder.substr(0, hostFolder_.size()), hostFolder_) &&
        IsFile(slashed)) {
      path = slashed;
      return kExtractExisting;
    }
    AnsiString found;
    std::string_view file = FileNamePart(given);
    if (!file.empty() && FileSearch(file).Run(hostFolder_, found)) {
      path = found;
      return kExtractExisting;
    }
  }
  if (IsFile(given)) {
    path = given;
    return kExtractExisting;
  }
  if (slashed != given && IsFile(slashed)) {
    path = slashed;
    return kExtractExisting;
  }
  errorCode = 2;
  return kExtractIncomplete;
}

bool TPackage::ExtractFileTo(std::string_view name, const AnsiString& target, bool createIfMissing,
                             AnsiString& lastError) {
  lastError.clear();
  LibRec* e = FindEntry(name);
  const std::string native = NativePath(target);
  if (!e) {
    if (!createIfMissing) {
      lastError = Msg(303);
      return false;
    }
    int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
      lastError = std::strerror(errno);
      return false;
    }
    ::close(fd);
    return false;
  }
  // Write beside the target and rename over it only when the copy is
  // complete, so a failed copy leaves an existing target as it was.
  std::string tmp = native + ".vlpart-XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) {
    lastError = std::strerror(errno);
    return false;
  }
  int err = 0;
  bool writeFailed = false;
  bool complete = CopyEntryData(*e, [&](const char* p, size_t n) {
    if (WriteAll(fd, p, n, err)) return true;
    writeFailed = true;
    return false;
  });
  if (::fchmod(fd, 0644) != 0) { /* the mode is a courtesy; the data is what matters */
  }
  if (::close(fd) != 0 && !writeFailed) {
    writeFailed = true;
    err = errno;
  }
  if (writeFailed || !complete) {
    ::unlink(tmp.c_str());
    lastError = writeFailed ? AnsiString(std::strerror(err)) : ErrorText(100);
    return false;
  }
  if (::rename(tmp.c_str(), native.c_str()) != 0) {
    lastError = std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

void TPackage::DeleteExtractedCopy(std::string_view name) {
  LibRec* e = FindEntry(name);
  if (!e || !e->Extracted) return;
  RemoveFile(e->ExtractedPath);
  e->Extracted = false;
  e->ExtractedPath.clear();
}

// ---------------------------------------------------------------------------
// Start-up services

int TPackage::InstallEmbeddedFonts() {
  int registered = 0;
  FontRegistry* fonts = &Fonts();
  for (auto& e : entries_) {
    if (e.Type != kEntryFont) continue;
    AnsiString target;
    if (ExtractEntry(e, true, target) != kExtractWritten) continue;
    e.Name = target;
    if (fonts && fonts->RegisterFont(target)) ++registered;
  }
  if (registered > 0 && fonts) fonts->FontsChanged();
  return registered;
}

void TPackage::PreparePlugIns() {
  for (auto& e : entries_) {
    if (e.Type == kEntryStartupFile && e.StoredSize > 0) {
      AnsiString target;
      ExtractEntry(e, false, target);
    }
  }
  PlugInLoader& loader = PlugIns();
  // Libraries are extracted where nobody else can plant or swap a file
  // between the writing and the loading.
  const AnsiString plugInFolder = PlugInExtractionFolder();
  for (auto& e : entries_) {
    if (e.Type != kEntryPlugIn && e.Type != kEntryPlugIn2) continue;
    AnsiString path;
    if (header_.TestRun()) {
      path = e.Name;
    } else if (e.StoredSize > 0) {
      const AnsiString keep = extractFolder_;
      if (!plugInFolder.empty()) extractFolder_ = plugInFolder;
      if (ExtractEntry(e, true, path) == kExtractWritten) e.Name = path;
      extractFolder_ = keep;
    } else {
      path = JoinPath(hostFolder_, FileNamePart(e.Name));
    }
    loader.LoadPlugIn(path);
  }
}

namespace {
AnsiString& PlugInFolderSetting() {
  static AnsiString folder;
  return folder;
}
}  // namespace

void SetPlugInExtractionFolder(const AnsiString& folder) { PlugInFolderSetting() = folder; }
const AnsiString& PlugInExtractionFolder() { return PlugInFolderSetting(); }

bool TPackage::LoadCursorFile(std::string_view name, int slot) {
  AnsiString path;
  int err = 0;
  if (ResolveFile(name, path, err) == kExtractIncomplete) return false;
  bool ok = CursorsAndIcons().LoadCursor(path, slot);
  DeleteExtractedCopy(name);
  return ok;
}

bool TPackage::LoadIconFile(std::string_view name) {
  AnsiString path;
  int err = 0;
  int rc = ResolveFile(name, path, err);
  if (rc == kExtractIncomplete || rc == kExtractWriteError) return false;
  return CursorsAndIcons().LoadIcon(path);
}

void TPackage::ClosePackage(bool deleteExtracted) {
  file_.reset();
  bool fontRemoved = false;
  FontRegistry* fonts = &Fonts();
  for (auto& e : entries_) {
    if (!e.Extracted) continue;
    if (e.Type == kEntryFont) {
      if (fonts) fonts->UnregisterFont(e.ExtractedPath);
      RemoveFile(e.ExtractedPath);
      fontRemoved = true;
    } else if (deleteExtracted && (extractOp_ & kExtractOpDeleteAtClose)) {
      RemoveFile(e.ExtractedPath);
    }
  }
  entries_.clear();
  if (fontRemoved && fonts) fonts->FontsChanged();
  if (displayChanged_) {
    displayChanged_ = false;
    PackageOpening().RestoreDisplay();
  }
  header_ = PackageHeader{};
  hostPath_.clear();
  hostFolder_.clear();
  publicationLoaded_ = false;
  embedded_.clear();  // the mapping belongs to the publication just closed
}

// ---------------------------------------------------------------------------

AnsiString ChooseExtractionFolder(int op, const AnsiString& extractDir, const AnsiString& publicationFolder,
                                  const AnsiString& tempFolder, const AnsiString& windowsFolder) {
  AnsiString folder;
  if (op & kExtractOpWindowsFolder) {
    folder = windowsFolder;
  } else if (op & kExtractOpTempFolder) {
    folder = tempFolder;
  } else if (op & kExtractOpPublicationFolder) {
    folder = publicationFolder;
  } else if ((op & kExtractOpCustomFolder) && !extractDir.empty()) {
    AnsiString dir = extractDir;
    std::replace(dir.begin(), dir.end(), '\\', '/');
    QString abs = QFileInfo(AnsiToQString(dir)).absoluteFilePath();
    folder = QDir().mkpath(abs) ? QStringToAnsi(abs) : AnsiString();
  }
  // A folder we cannot write to is as unusable as a CD-ROM.
  if (folder.empty() || folder == "Error" || !IsDirectory(folder) || ::access(NativePath(folder).c_str(), W_OK) != 0)
    folder = tempFolder;
  return folder;
}

}  // namespace vl
