// Fuzzes the JPEG decoder (header read, full decode, then keying and blending).
#include "ImageFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vlfuzz::FuzzDecoder(&vl::DecodeJpeg, data, size);
}
