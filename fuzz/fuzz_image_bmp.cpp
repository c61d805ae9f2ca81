// Fuzzes the BMP decoder (header read, full decode, then keying and blending).
#include "ImageFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vlfuzz::FuzzDecoder(&vl::DecodeBmp, data, size);
}
