#include "images/Decoders.h"

namespace vl {

bool DecodeBmp(std::string_view, TIOParamsVals&, TVLBitmap&, TVLBitmap&, bool) { return false; }

}  // namespace vl
