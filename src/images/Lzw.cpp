#include "images/Lzw.h"

#include <vector>

namespace vl {

namespace {

constexpr int kMaxBits = 12;
constexpr int kTableSize = 1 << kMaxBits;

class BitReader {
 public:
  BitReader(std::string_view d, bool msb) : d_(d), msb_(msb) {}
  // False when fewer than n bits are left.
  bool Read(int n, int& code) {
    while (count_ < n) {
      if (pos_ >= d_.size()) return false;
      uint32_t b = static_cast<uint8_t>(d_[pos_++]);
      if (msb_)
        acc_ = (acc_ << 8) | b;
      else
        acc_ |= b << count_;
      count_ += 8;
    }
    if (msb_) {
      code = static_cast<int>((acc_ >> (count_ - n)) & ((1u << n) - 1));
      count_ -= n;
      acc_ &= (count_ ? (1u << count_) - 1 : 0);
    } else {
      code = static_cast<int>(acc_ & ((1u << n) - 1));
      acc_ >>= n;
      count_ -= n;
    }
    return true;
  }

 private:
  std::string_view d_;
  bool msb_;
  size_t pos_ = 0;
  uint32_t acc_ = 0;
  int count_ = 0;
};

}  // namespace

LzwStatus LzwDecode(std::string_view data, const LzwFlavour& fl, uint8_t* out, size_t outSize,
                    size_t& produced) {
  produced = 0;
  if (fl.minCodeSize < 1 || fl.minCodeSize > kMaxBits - 1) return LzwStatus::BadCode;
  std::vector<uint16_t> prefix(kTableSize);
  std::vector<uint8_t> suffix(kTableSize), first(kTableSize);
  std::vector<uint16_t> length(kTableSize);
  const int clear = 1 << fl.minCodeSize;
  const int eoi = clear + 1;
  for (int i = 0; i < clear; ++i) {
    suffix[i] = first[i] = static_cast<uint8_t>(i);
    length[i] = 1;
  }
  int codeSize = fl.minCodeSize + 1;
  int next = clear + 2;
  int prev = -1;
  BitReader bits(data, fl.msbFirst);

  // Writes the string of `code` (already in the table) at the output end.
  auto emit = [&](int code) -> bool {
    size_t len = length[code];
    if (len > outSize - produced) return false;
    uint8_t* p = out + produced + len;
    for (int c = code;;) {
      *--p = suffix[c];
      if (p == out + produced) break;
      c = prefix[c];
    }
    produced += len;
    return true;
  };

  for (;;) {
    if (produced == outSize) return LzwStatus::Ok;
    int code;
    if (!bits.Read(codeSize, code)) return LzwStatus::EndOfData;
    if (code == clear) {
      codeSize = fl.minCodeSize + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code == eoi) return LzwStatus::Ok;
    if (prev < 0) {
      if (code >= clear) return LzwStatus::BadCode;
      if (!emit(code)) return LzwStatus::Overrun;
      prev = code;
      continue;
    }
    uint8_t head;
    bool justMade = false;
    if (code < next) {
      head = first[code];
      if (!emit(code)) return LzwStatus::Overrun;
    } else if (code == next && next < kTableSize) {
      head = first[prev];  // KwKwK: the code names the entry made right now
      justMade = true;
    } else {
      return LzwStatus::BadCode;
    }
    if (next < kTableSize) {
      prefix[next] = static_cast<uint16_t>(prev);
      suffix[next] = head;
      first[next] = first[prev];
      length[next] = static_cast<uint16_t>(length[prev] + 1);
      ++next;
    }
    if (justMade && !emit(code)) return LzwStatus::Overrun;
    prev = code;
    if (next + fl.earlyChange >= (1 << codeSize) && codeSize < kMaxBits) ++codeSize;
  }
}

}  // namespace vl
