// libFuzzer target: the ICO decoder on arbitrary bytes, fully and header only.
#include "DecoderRounds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vlfuzz::FuzzDecoderRounds(&vl::DecodeIco, data, size);
}
