#include "images/Decoders.h"

namespace vl {

bool DecodeJpeg(std::string_view, TIOParamsVals&, TVLBitmap&, TVLBitmap&, bool) { return false; }

}  // namespace vl
