// Decoders not built yet: they refuse every picture. Removed when the real
// decoders of these formats arrive.
#include "images/Decoders.h"

namespace vl {

bool DecodeIco(std::string_view, TIOParamsVals&, TVLBitmap&, TVLBitmap&, bool) { return false; }

}  // namespace vl
