#include "PictureInfo.h"

#include "images/PictureCache.h"

namespace vlpack {

bool ProbePicture(std::string_view data, int32_t& width, int32_t& height, bool& alpha) {
  width = 0;
  height = 0;
  alpha = false;
  vl::TPictureInfo info;
  if (!vl::PictureInfoFromHeader(data, info)) return false;
  width = info.width;
  height = info.height;
  alpha = info.hasAlpha;
  return true;
}

}  // namespace vlpack
