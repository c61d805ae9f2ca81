#include "PictureInfo.h"

namespace vlpack {

bool ProbePicture(std::string_view data, int32_t& width, int32_t& height, bool& alpha) {
  width = 0;
  height = 0;
  alpha = false;
  return false;
}

}  // namespace vlpack
