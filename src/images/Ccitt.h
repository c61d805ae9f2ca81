#pragma once
// CCITT fax decoding for bilevel TIFF strips: modified Huffman (TIFF
// compression 2), T.4 one- or two-dimensional (3) and T.6 (4).
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vl {

enum class CcittMode { ModifiedHuffman, Group3, Group4 };

// Decodes `rows` rows of `width` pixels into `out`, `rowBytes` bytes a row,
// most significant bit first, a set bit for black. `options` are the T4 or T6
// options of the file. False for a code that is not in the tables, a run past
// the row's end, or data that ends before the last row.
bool CcittDecode(std::string_view data, CcittMode mode, uint32_t options, int width, int rows,
                 uint8_t* out, size_t rowBytes);

}  // namespace vl
