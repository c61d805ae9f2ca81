#pragma once
// The LZW decoder shared by GIF and TIFF. The two differ only in bit order,
// the first code size, and TIFF's habit of widening codes one entry early.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vl {

enum class LzwStatus {
  Ok,         // the end code was read, or the output was filled exactly
  EndOfData,  // the data ran out first (the output may be short)
  BadCode,    // a code that is not in the table yet
  Overrun,    // a code whose string would run past the end of the output
};

struct LzwFlavour {
  int minCodeSize = 8;   // literal codes are 0 .. 2^minCodeSize - 1
  bool msbFirst = false; // TIFF packs codes from the high bit, GIF from the low
  int earlyChange = 0;   // TIFF widens the code when next + 1 reaches 2^size
};

inline LzwFlavour GifLzw(int minCodeSize) { return {minCodeSize, false, 0}; }
inline LzwFlavour TiffLzw() { return {8, true, 1}; }

// Decodes into out[0 .. outSize); `produced` tells how many bytes were written.
// minCodeSize must be 1 .. 11.
LzwStatus LzwDecode(std::string_view data, const LzwFlavour& flavour, uint8_t* out,
                    size_t outSize, size_t& produced);

}  // namespace vl
