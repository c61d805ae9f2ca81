#pragma once
// Byte sources: how readers (the publication reader, picture decoders, the
// variables loader) consume data without caring whether it comes from a
// package entry (raw or inflated), a disk file or memory.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vl {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `n` bytes into `buf`. Returns the count read, 0 at the end of
  // the data, -1 on a read or inflate failure (the source is then unusable).
  virtual int64_t Read(char* buf, int64_t n) = 0;
  // Total bytes this source will deliver when known in advance, else -1.
  virtual int64_t Size() const { return -1; }
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string data) : data_(std::move(data)) {}
  int64_t Read(char* buf, int64_t n) override {
    if (n <= 0) return 0;
    size_t left = data_.size() - pos_;
    size_t k = static_cast<size_t>(n) < left ? static_cast<size_t>(n) : left;
    data_.copy(buf, k, pos_);
    pos_ += k;
    return static_cast<int64_t>(k);
  }
  int64_t Size() const override { return static_cast<int64_t>(data_.size()); }

 private:
  std::string data_;
  size_t pos_ = 0;
};

// Reads a whole source into `out`, refusing more than `limit` bytes.
// False on a read failure or when the limit is passed.
inline bool ReadAll(ByteSource& src, std::string& out, int64_t limit) {
  out.clear();
  char buf[65536];
  for (;;) {
    int64_t n = src.Read(buf, sizeof buf);
    if (n < 0) return false;
    if (n == 0) return true;
    if (static_cast<int64_t>(out.size()) + n > limit) return false;
    out.append(buf, static_cast<size_t>(n));
  }
}

}  // namespace vl
