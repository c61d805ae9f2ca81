#pragma once
// Width, height and alpha flag recorded with picture entries (type 3), so the
// player knows a picture's size without decoding it.
#include <cstdint>
#include <string_view>

namespace vlpack {

// Fills the picture's size and alpha flag from its header bytes (the image
// library's header reader; nothing is decoded); false (all values left at 0)
// when the format is not recognised.
bool ProbePicture(std::string_view data, int32_t& width, int32_t& height, bool& alpha);

}  // namespace vlpack
