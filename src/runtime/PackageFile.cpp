#include "runtime/PackageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "runtime/NativePath.h"

namespace vl {

TPackage::HostFile::~HostFile() {
  if (fd >= 0) ::close(fd);
}

int64_t TPackage::HostFile::ReadAt(int64_t pos, char* buf, int64_t n) const {
  if (pos < 0 || n < 0) return -1;
  int64_t done = 0;
  while (done < n) {
    ssize_t r = ::pread(fd, buf + done, static_cast<size_t>(n - done), static_cast<off_t>(pos + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += r;
  }
  return done;
}

bool TPackage::HostFile::ReadExact(int64_t pos, char* buf, int64_t n) const { return ReadAt(pos, buf, n) == n; }

namespace pkg {

std::shared_ptr<TPackage::HostFile> OpenHostFile(const AnsiString& path, AnsiString& why) {
  std::string native = NativePath(path);
  int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    why = "cannot open the file: " + AnsiString(std::strerror(errno));
    return nullptr;
  }
  auto file = std::make_shared<TPackage::HostFile>();
  file->fd = fd;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    why = "not a regular file";
    return nullptr;
  }
  file->size = st.st_size;
  return file;
}

int64_t FindTrailer(const TPackage::HostFile& file) {
  // The whole search window at once: windows start at end - d for d < 10,000.
  const int64_t span = std::min<int64_t>(file.size, kTrailerSearchWindow + kPackageSignatureLength);
  if (span < kPackageSignatureLength) return -1;
  std::string tail(static_cast<size_t>(span), '\0');
  const int64_t base = file.size - span;
  if (!file.ReadExact(base, tail.data(), span)) return -1;
  const std::string_view sig(kPackageSignature, kPackageSignatureLength);
  int64_t d = kPackageSignatureLength;
  while (d < kTrailerSearchWindow && d <= span) {
    const size_t at = static_cast<size_t>(span - d);
    std::string_view window(tail.data() + at, kPackageSignatureLength);
    if (window == sig) return base + static_cast<int64_t>(at);
    // The signature's bytes are all different, so the window's first byte
    // tells how far back the signature could start.
    size_t p = sig.find(window[0]);
    d += (p != std::string_view::npos && p >= 1) ? static_cast<int64_t>(p) : kPackageSignatureLength;
  }
  return -1;
}

bool InflateExact(std::string_view data, int64_t expected, std::string& out) {
  out.clear();
  if (expected < 0) return false;
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return false;
  out.resize(static_cast<size_t>(expected));
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(std::min<size_t>(data.size(), 0x7fffffff));
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(expected);
  bool ok = false;
  for (;;) {
    int rc = inflate(&zs, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      ok = zs.total_out == static_cast<uLong>(expected);
      break;
    }
    if (rc == Z_OK && zs.avail_out > 0) continue;
    if (rc == Z_OK || rc == Z_BUF_ERROR) {
      if (zs.avail_out == 0) {
        // Full: the stream must end here without another byte of output.
        char extra;
        zs.next_out = reinterpret_cast<Bytef*>(&extra);
        zs.avail_out = 1;
        int rc2 = inflate(&zs, Z_NO_FLUSH);
        ok = rc2 == Z_STREAM_END && zs.avail_out == 1;
      }
      break;
    }
    break;  // data or memory error
  }
  inflateEnd(&zs);
  if (!ok) out.clear();
  return ok;
}

namespace {

class Cursor {
 public:
  explicit Cursor(std::string_view d) : d_(d) {}
  bool AtEnd() const { return pos_ >= d_.size(); }
  bool U8(uint8_t& v) {
    if (d_.size() - pos_ < 1) return false;
    v = static_cast<uint8_t>(d_[pos_++]);
    return true;
  }
  bool U16(uint16_t& v) {
    if (d_.size() - pos_ < 2) return false;
    v = static_cast<uint16_t>(static_cast<uint8_t>(d_[pos_]) | (static_cast<uint8_t>(d_[pos_ + 1]) << 8));
    pos_ += 2;
    return true;
  }
  bool U32(uint32_t& v) {
    if (d_.size() - pos_ < 4) return false;
    v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(d_[pos_ + i]);
    pos_ += 4;
    return true;
  }
  bool I32(int32_t& v) {
    uint32_t u;
    if (!U32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  bool Str(AnsiString& s) {
    uint16_t n;
    if (!U16(n)) return false;
    if (d_.size() - pos_ < n) return false;
    s.assign(d_.data() + pos_, n);
    pos_ += n;
    return true;
  }

 private:
  std::string_view d_;
  size_t pos_ = 0;
};

}  // namespace

bool ParseDirectory(std::string_view dir, bool shortForm, PackageHeader& h, std::vector<LibRec>& entries,
                    AnsiString& why) {
  h = PackageHeader{};
  entries.clear();
  Cursor c(dir);
  why = "the directory ends inside its header";
  if (!c.U32(h.BuildStamp) || !c.U8(h.RunMode)) return false;
  if (h.RunMode == 3) {
    h.RunMode = 2;
    h.RunModeWas3 = true;
    if (!c.U32(h.StartPage)) return false;
  }
  if (h.RunMode != 0) {
    if (!c.Str(h.DebugLibraryFolder) || !c.Str(h.FunctionFileFolder) || !c.Str(h.MediaPictureFolder) ||
        !c.Str(h.ApplicationIconFile))
      return false;
  }
  h.ShortForm = shortForm;
  if (shortForm) {
    h.PublicationKind = 3;
  } else {
    if (!c.U8(h.PublicationKind) || !c.U8(h.SingleInstance)) return false;
    if (h.PublicationKind == 0) {
      if (!c.U8(h.ChangeDisplay)) return false;
      if (h.ChangeDisplay == 1) {
        if (!c.U32(h.DisplayWidth) || !c.U32(h.DisplayHeight) || !c.U8(h.DisplayBits)) return false;
      }
    }
    if (!c.Str(h.SplashImage)) return false;
    if (h.PublicationKind == 1 && !c.Str(h.PreviewImage)) return false;
  }
  why = "an entry record runs past the end of the directory";
  while (!c.AtEnd()) {
    LibRec e;
    if (!c.Str(e.Name) || !c.U8(e.Type) || !c.I32(e.Size) || !c.I32(e.Offset) || !c.I32(e.StoredSize)) return false;
    if (e.Type == kEntryPicture) {
      uint8_t alpha;
      if (!c.I32(e.ImageWidth) || !c.I32(e.ImageHeight) || !c.U8(alpha)) return false;
      e.ImageAlpha = alpha == 1;
    }
    entries.push_back(std::move(e));
  }
  why.clear();
  return true;
}

bool EntryReadable(const LibRec& e, int64_t fileSize) {
  if (e.Offset < 0 || e.StoredSize < 0) return false;
  if (static_cast<int64_t>(e.Offset) + e.StoredSize > fileSize) return false;
  if (e.Size > 0) {
    if (e.Size > kMaxInflatedEntry) return false;
    if (static_cast<int64_t>(e.Size) > static_cast<int64_t>(e.StoredSize) * kMaxDeflateRatio + 1024) return false;
  }
  return true;
}

namespace {

constexpr int64_t kChunk = 64 * 1024;

// Stored bytes as they are.
class RawEntrySource final : public ByteSource {
 public:
  RawEntrySource(std::shared_ptr<TPackage::HostFile> f, int64_t off, int64_t len)
      : file_(std::move(f)), pos_(off), left_(len), total_(len) {}
  int64_t Read(char* buf, int64_t n) override {
    if (failed_) return -1;
    if (n <= 0 || left_ == 0) return 0;
    int64_t want = std::min(n, left_);
    int64_t got = file_->ReadAt(pos_, buf, want);
    if (got <= 0) {  // a file that shrank under us, or a read error
      failed_ = true;
      return -1;
    }
    pos_ += got;
    left_ -= got;
    return got;
  }
  int64_t Size() const override { return total_; }

 private:
  std::shared_ptr<TPackage::HostFile> file_;
  int64_t pos_, left_, total_;
  bool failed_ = false;
};

// One zlib stream inflated chunk by chunk; exactly `expected` bytes or a
// failure (more output than announced counts as damage, like less).
class InflateEntrySource final : public ByteSource {
 public:
  InflateEntrySource(std::shared_ptr<TPackage::HostFile> f, int64_t off, int64_t stored, int64_t expected)
      : file_(std::move(f)), pos_(off), left_(stored), expected_(expected), in_(kChunk, '\0') {
    ok_ = inflateInit(&zs_) == Z_OK;
  }
  ~InflateEntrySource() override { inflateEnd(&zs_); }
  int64_t Size() const override { return expected_; }

  int64_t Read(char* buf, int64_t n) override {
    if (!ok_) return -1;
    if (n <= 0 || done_) return 0;
    int64_t room = std::min(n, expected_ - produced_);
    if (room == 0) return Finish();
    zs_.next_out = reinterpret_cast<Bytef*>(buf);
    zs_.avail_out = static_cast<uInt>(std::min<int64_t>(room, 1 << 30));
    const uInt start = zs_.avail_out;
    while (zs_.avail_out == start) {
      if (zs_.avail_in == 0 && !Refill()) return Fail();
      int rc = inflate(&zs_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        ended_ = true;
        break;
      }
      if (rc != Z_OK && rc != Z_BUF_ERROR) return Fail();
      if (rc == Z_BUF_ERROR && zs_.avail_in > 0) return Fail();
    }
    int64_t got = start - zs_.avail_out;
    produced_ += got;
    if (ended_ && produced_ < expected_) return Fail();  // stream ended early
    if (got == 0) return Fail();
    return got;
  }

 private:
  bool Refill() {
    if (left_ == 0) return false;
    int64_t want = std::min<int64_t>(left_, kChunk);
    int64_t got = file_->ReadAt(pos_, in_.data(), want);
    if (got <= 0) return false;
    pos_ += got;
    left_ -= got;
    zs_.next_in = reinterpret_cast<Bytef*>(in_.data());
    zs_.avail_in = static_cast<uInt>(got);
    return true;
  }
  // All announced bytes are out: the stream may not yield another byte. An
  // input that runs out right here still counts as complete.
  int64_t Finish() {
    while (!ended_) {
      if (zs_.avail_in == 0 && !Refill()) break;
      char extra;
      zs_.next_out = reinterpret_cast<Bytef*>(&extra);
      zs_.avail_out = 1;
      int rc = inflate(&zs_, Z_NO_FLUSH);
      if (zs_.avail_out == 0) return Fail();
      if (rc == Z_STREAM_END) break;
      if (rc != Z_OK && rc != Z_BUF_ERROR) return Fail();
      if (rc == Z_BUF_ERROR && zs_.avail_in > 0) return Fail();
    }
    done_ = true;
    return 0;
  }
  int64_t Fail() {
    ok_ = false;
    return -1;
  }

  std::shared_ptr<TPackage::HostFile> file_;
  int64_t pos_, left_, expected_;
  int64_t produced_ = 0;
  std::string in_;
  z_stream zs_{};
  bool ok_ = false, ended_ = false, done_ = false;
};

}  // namespace

std::unique_ptr<ByteSource> MakeEntryReader(std::shared_ptr<TPackage::HostFile> file, const LibRec& e) {
  if (!file || !EntryReadable(e, file->size)) return nullptr;
  if (e.Size > 0) return std::make_unique<InflateEntrySource>(std::move(file), e.Offset, e.StoredSize, e.Size);
  return std::make_unique<RawEntrySource>(std::move(file), e.Offset, e.StoredSize);
}

}  // namespace pkg
}  // namespace vl
