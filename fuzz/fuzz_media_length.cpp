// The sound-length readers (WAV, MIDI, MP3, Ogg) on hostile bytes: every
// reader is run on every input, whatever its signature, so each one meets
// the others' headers too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "media/MediaLength.h"

using namespace vl;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so a read past the end is caught.
  std::string copy(reinterpret_cast<const char*>(data), size);
  std::string_view in(copy);
  for (auto reader : {&MediaLengthOf, &WaveLength, &MidiLength, &Mp3Length, &OggLength}) {
    MediaLengthResult r = reader(in);
    if (r.ok && r.ms < 0) __builtin_trap();
    if (!r.ok && r.error.empty()) __builtin_trap();
  }
  return 0;
}
