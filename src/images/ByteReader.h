#pragma once
// Bounds-checked reading of a picture held in memory. Every read past the end
// sets the failed flag and yields zeros, so a decoder can read a whole header
// and test once; nothing ever reads outside the data.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vl {

class TByteReader {
 public:
  explicit TByteReader(std::string_view data, bool bigEndian = false)
      : data_(data), big_(bigEndian) {}

  size_t Size() const { return data_.size(); }
  size_t Pos() const { return pos_; }
  size_t Left() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
  bool Failed() const { return failed_; }
  void SetBigEndian(bool big) { big_ = big; }
  bool BigEndian() const { return big_; }

  // Moves to an absolute offset; an offset past the end fails.
  bool Seek(size_t pos) {
    if (pos > data_.size()) {
      failed_ = true;
      return false;
    }
    pos_ = pos;
    return true;
  }
  bool Skip(size_t n) {
    if (n > Left()) {
      pos_ = data_.size();
      failed_ = true;
      return false;
    }
    pos_ += n;
    return true;
  }

  uint8_t U8() {
    if (pos_ >= data_.size()) {
      failed_ = true;
      return 0;
    }
    return static_cast<uint8_t>(data_[pos_++]);
  }
  uint16_t U16() {
    uint16_t a = U8(), b = U8();
    return big_ ? static_cast<uint16_t>((a << 8) | b) : static_cast<uint16_t>(a | (b << 8));
  }
  uint32_t U32() {
    uint32_t a = U16(), b = U16();
    return big_ ? (a << 16) | b : a | (b << 16);
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }

  // The next n bytes as a view, or an empty view (and failure) when fewer are left.
  std::string_view Bytes(size_t n) {
    if (n > Left()) {
      pos_ = data_.size();
      failed_ = true;
      return {};
    }
    std::string_view v = data_.substr(pos_, n);
    pos_ += n;
    return v;
  }

 private:
  std::string_view data_;
  size_t pos_ = 0;
  bool big_ = false;
  bool failed_ = false;
};

}  // namespace vl
