#include "images/Ccitt.h"

#include <array>
#include <vector>

namespace vl {

namespace {

struct Code {
  const char* bits;
  int run;
};

// Run-length codes of the fax standards: terminating codes (0..63) and
// make-up codes (multiples of 64), white and black, plus the extended
// make-up codes both colours share.
const Code kWhite[] = {
    {"00110101", 0},     {"000111", 1},       {"0111", 2},         {"1000", 3},
    {"1011", 4},         {"1100", 5},         {"1110", 6},         {"1111", 7},
    {"10011", 8},        {"10100", 9},        {"00111", 10},       {"01000", 11},
    {"001000", 12},      {"000011", 13},      {"110100", 14},      {"110101", 15},
    {"101010", 16},      {"101011", 17},      {"0100111", 18},     {"0001100", 19},
    {"0001000", 20},     {"0010111", 21},     {"0000011", 22},     {"0000100", 23},
    {"0101000", 24},     {"0101011", 25},     {"0010011", 26},     {"0100100", 27},
    {"0011000", 28},     {"00000010", 29},    {"00000011", 30},    {"00011010", 31},
    {"00011011", 32},    {"00010010", 33},    {"00010011", 34},    {"00010100", 35},
    {"00010101", 36},    {"00010110", 37},    {"00010111", 38},    {"00101000", 39},
    {"00101001", 40},    {"00101010", 41},    {"00101011", 42},    {"00101100", 43},
    {"00101101", 44},    {"00000100", 45},    {"00000101", 46},    {"00001010", 47},
    {"00001011", 48},    {"01010010", 49},    {"01010011", 50},    {"01010100", 51},
    {"01010101", 52},    {"00100100", 53},    {"00100101", 54},    {"01011000", 55},
    {"01011001", 56},    {"01011010", 57},    {"01011011", 58},    {"01001010", 59},
    {"01001011", 60},    {"00110010", 61},    {"00110011", 62},    {"00110100", 63},
    {"11011", 64},       {"10010", 128},      {"010111", 192},     {"0110111", 256},
    {"00110110", 320},   {"00110111", 384},   {"01100100", 448},   {"01100101", 512},
    {"01101000", 576},   {"01100111", 640},   {"011001100", 704},  {"011001101", 768},
    {"011010010", 832},  {"011010011", 896},  {"011010100", 960},  {"011010101", 1024},
    {"011010110", 1088}, {"011010111", 1152}, {"011011000", 1216}, {"011011001", 1280},
    {"011011010", 1344}, {"011011011", 1408}, {"010011000", 1472}, {"010011001", 1536},
    {"010011010", 1600}, {"011000", 1664},    {"010011011", 1728},
};

const Code kBlack[] = {
    {"0000110111", 0},     {"010", 1},            {"11", 2},             {"10", 3},
    {"011", 4},            {"0011", 5},           {"0010", 6},           {"00011", 7},
    {"000101", 8},         {"000100", 9},         {"0000100", 10},       {"0000101", 11},
    {"0000111", 12},       {"00000100", 13},      {"00000111", 14},      {"000011000", 15},
    {"0000010111", 16},    {"0000011000", 17},    {"0000001000", 18},    {"00001100111", 19},
    {"00001101000", 20},   {"00001101100", 21},   {"00000110111", 22},   {"00000101000", 23},
    {"00000010111", 24},   {"00000011000", 25},   {"000011001010", 26},  {"000011001011", 27},
    {"000011001100", 28},  {"000011001101", 29},  {"000001101000", 30},  {"000001101001", 31},
    {"000001101010", 32},  {"000001101011", 33},  {"000011010010", 34},  {"000011010011", 35},
    {"000011010100", 36},  {"000011010101", 37},  {"000011010110", 38},  {"000011010111", 39},
    {"000001101100", 40},  {"000001101101", 41},  {"000011011010", 42},  {"000011011011", 43},
    {"000001010100", 44},  {"000001010101", 45},  {"000001010110", 46},  {"000001010111", 47},
    {"000001100100", 48},  {"000001100101", 49},  {"000001010010", 50},  {"000001010011", 51},
    {"000000100100", 52},  {"000000110111", 53},  {"000000111000", 54},  {"000000100111", 55},
    {"000000101000", 56},  {"000001011000", 57},  {"000001011001", 58},  {"000000101011", 59},
    {"000000101100", 60},  {"000001011010", 61},  {"000001100110", 62},  {"000001100111", 63},
    {"0000001111", 64},    {"000011001000", 128}, {"000011001001", 192}, {"000001011011", 256},
    {"000000110011", 320}, {"000000110100", 384}, {"000000110101", 448}, {"0000001101100", 512},
    {"0000001101101", 576},  {"0000001001010", 640},  {"0000001001011", 704},
    {"0000001001100", 768},  {"0000001001101", 832},  {"0000001110010", 896},
    {"0000001110011", 960},  {"0000001110100", 1024}, {"0000001110101", 1088},
    {"0000001110110", 1152}, {"0000001110111", 1216}, {"0000001010010", 1280},
    {"0000001010011", 1344}, {"0000001010100", 1408}, {"0000001010101", 1472},
    {"0000001011010", 1536}, {"0000001011011", 1600}, {"0000001100100", 1664},
    {"0000001100101", 1728},
};

const Code kExtended[] = {
    {"00000001000", 1792},  {"00000001100", 1856},  {"00000001101", 1920},
    {"000000010010", 1984}, {"000000010011", 2048}, {"000000010100", 2112},
    {"000000010101", 2176}, {"000000010110", 2240}, {"000000010111", 2304},
    {"000000011100", 2368}, {"000000011101", 2432}, {"000000011110", 2496},
    {"000000011111", 2560},
};

constexpr int kMaxCodeBits = 13;

// A lookup per code length: entry (length, code) holds run + 1, 0 for none.
class RunTable {
 public:
  template <size_t N>
  explicit RunTable(const Code (&codes)[N]) {
    for (int len = 1; len <= kMaxCodeBits; ++len) byLength_[len].assign(size_t{1} << len, 0);
    Add(codes, N);
    Add(kExtended, std::size(kExtended));
  }
  // The run of a code of `len` bits, or -1.
  int Find(int len, uint32_t code) const { return byLength_[len][code] - 1; }

 private:
  void Add(const Code* codes, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      uint32_t v = 0;
      int len = 0;
      for (const char* p = codes[i].bits; *p; ++p, ++len) v = (v << 1) | (*p == '1');
      byLength_[len][v] = static_cast<int16_t>(codes[i].run + 1);
    }
  }
  std::array<std::vector<int16_t>, kMaxCodeBits + 1> byLength_;
};

const RunTable& Table(int colour) {
  static const RunTable white(kWhite), black(kBlack);
  return colour ? black : white;
}

class Bits {
 public:
  explicit Bits(std::string_view d) : d_(d) {}
  // -1 at the end of the data.
  int Next() {
    if (pos_ >= d_.size() * 8) return -1;
    const int b = (static_cast<uint8_t>(d_[pos_ >> 3]) >> (7 - (pos_ & 7))) & 1;
    ++pos_;
    return b;
  }
  int Peek(size_t ahead) const {
    const size_t p = pos_ + ahead;
    if (p >= d_.size() * 8) return -1;
    return (static_cast<uint8_t>(d_[p >> 3]) >> (7 - (p & 7))) & 1;
  }
  void Skip(size_t n) { pos_ += n; }
  void AlignToByte() { pos_ = (pos_ + 7) & ~size_t{7}; }

 private:
  std::string_view d_;
  size_t pos_ = 0;
};

enum Mode { kPass, kHorizontal, kV0, kVR1, kVR2, kVR3, kVL1, kVL2, kVL3, kBadMode };

Mode ReadMode(Bits& in) {
  // 1 V0, 011 VR1, 010 VL1, 001 H, 0001 P, 000011 VR2, 000010 VL2,
  // 0000011 VR3, 0000010 VL3; anything else (extensions) we refuse.
  int zeros = 0;
  for (;;) {
    const int b = in.Next();
    if (b < 0) return kBadMode;
    if (b == 1) break;
    if (++zeros > 6) return kBadMode;
  }
  switch (zeros) {
    case 0: return kV0;
    case 1: { const int b = in.Next(); return b < 0 ? kBadMode : b ? kVR1 : kVL1; }
    case 2: return kHorizontal;
    case 3: return kPass;
    case 4: { const int b = in.Next(); return b < 0 ? kBadMode : b ? kVR2 : kVL2; }
    case 5: { const int b = in.Next(); return b < 0 ? kBadMode : b ? kVR3 : kVL3; }
    default: return kBadMode;
  }
}

// One run of the given colour: make-up codes followed by a terminating one.
// -1 for a bad code or the end of the data.
int ReadRun(Bits& in, int colour, int limit) {
  const RunTable& t = Table(colour);
  int total = 0;
  for (;;) {
    uint32_t code = 0;
    int run = -1;
    for (int len = 1; len <= kMaxCodeBits && run < 0; ++len) {
      const int b = in.Next();
      if (b < 0) return -1;
      code = (code << 1) | static_cast<uint32_t>(b);
      run = t.Find(len, code);
    }
    if (run < 0) return -1;
    total += run;
    if (total > limit) return -1;
    if (run < 64) return total;
  }
}

// A fax line is kept as its changing elements: the positions where the
// colour changes, starting from white; two sentinels at the width follow.
class LineDecoder {
 public:
  LineDecoder(int width, uint8_t* row) : width_(width), row_(row) {}

  void Fill(int from, int to, int colour) {
    if (!colour) return;
    for (int x = from; x < to; ++x) row_[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }

  bool OneDimensional(Bits& in, std::vector<int>& changes) {
    int a0 = 0, colour = 0;
    while (a0 < width_) {
      const int run = ReadRun(in, colour, width_ - a0);
      if (run < 0) return false;
      Fill(a0, a0 + run, colour);
      a0 += run;
      changes.push_back(a0);
      colour ^= 1;
    }
    return true;
  }

  bool TwoDimensional(Bits& in, const std::vector<int>& ref, std::vector<int>& changes) {
    int a0 = 0, colour = 0;
    bool first = true;
    size_t i = 0;  // search position in the reference line
    while (a0 < width_) {
      // b1: the first change on the reference line right of a0 (at a0 on
      // the line's first element) to the colour opposite a0's.
      i = i > 0 ? i - 1 : 0;
      while (i < ref.size() && (ref[i] < a0 || (ref[i] == a0 && !first) || (i & 1) != size_t(colour)))
        ++i;
      const int b1 = i < ref.size() ? ref[i] : width_;
      const int b2 = i + 1 < ref.size() ? ref[i + 1] : width_;
      const Mode m = ReadMode(in);
      first = false;
      switch (m) {
        case kPass:
          Fill(a0, b2, colour);
          a0 = b2;
          break;
        case kHorizontal: {
          const int r1 = ReadRun(in, colour, width_ - a0);
          if (r1 < 0) return false;
          const int r2 = ReadRun(in, colour ^ 1, width_ - a0 - r1);
          if (r2 < 0) return false;
          Fill(a0, a0 + r1, colour);
          Fill(a0 + r1, a0 + r1 + r2, colour ^ 1);
          changes.push_back(a0 + r1);
          changes.push_back(a0 + r1 + r2);
          a0 += r1 + r2;
          break;
        }
        case kBadMode:
          return false;
        default: {
          static const int kOffset[] = {0, 0, 0, 1, 2, 3, -1, -2, -3};
          const int a1 = b1 + kOffset[m];
          if (a1 < a0 || a1 > width_) return false;
          Fill(a0, a1, colour);
          changes.push_back(a1);
          a0 = a1;
          colour ^= 1;
          break;
        }
      }
    }
    return true;
  }

 private:
  int width_;
  uint8_t* row_;
};

// Skips an end-of-line code (eleven or more zeros, then a one) if one is next.
bool SkipEndOfLine(Bits& in) {
  size_t zeros = 0;
  while (in.Peek(zeros) == 0) ++zeros;
  if (zeros >= 11 && in.Peek(zeros) == 1) {
    in.Skip(zeros + 1);
    return true;
  }
  return false;
}

}  // namespace

bool CcittDecode(std::string_view data, CcittMode mode, uint32_t options, int width, int rows,
                 uint8_t* out, size_t rowBytes) {
  if (width <= 0 || rows < 0 || rowBytes * 8 < size_t(width)) return false;
  Bits in(data);
  std::vector<int> ref{width, width}, cur;
  const bool twoD = mode == CcittMode::Group3 && (options & 1);
  if (mode == CcittMode::Group3 && (options & 2)) return false;  // uncompressed mode
  if (mode == CcittMode::Group4 && (options & 2)) return false;
  for (int y = 0; y < rows; ++y) {
    uint8_t* row = out + size_t(y) * rowBytes;
    std::fill(row, row + rowBytes, 0);
    LineDecoder line(width, row);
    cur.clear();
    bool ok;
    switch (mode) {
      case CcittMode::ModifiedHuffman:
        ok = line.OneDimensional(in, cur);
        in.AlignToByte();
        break;
      case CcittMode::Group3: {
        SkipEndOfLine(in);
        bool oneD = true;
        if (twoD) {
          const int tag = in.Next();
          if (tag < 0) return false;
          oneD = tag == 1;
        }
        ok = oneD ? line.OneDimensional(in, cur) : line.TwoDimensional(in, ref, cur);
        break;
      }
      default:
        ok = line.TwoDimensional(in, ref, cur);
        break;
    }
    if (!ok) return false;
    cur.push_back(width);
    cur.push_back(width);
    ref.swap(cur);
  }
  return true;
}

}  // namespace vl
