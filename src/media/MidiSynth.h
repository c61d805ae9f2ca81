#pragma once
// MIDI files sounded by a software synthesizer (FluidSynth) with a General
// MIDI soundfont. The renderer is driven by the sink that pulls its samples:
// the file's events advance with the samples rendered, so the synthesizer
// keeps no time of its own and a "from" position is reached by rendering
// ahead without sounding. Built only when FluidSynth is found; otherwise
// Available() is false and says why.
#include <cstdint>
#include <memory>
#include <string>

namespace vl {

class MidiRenderer {
 public:
  static constexpr int kRate = 44100;  // stereo, 16-bit samples
  // True when this build can synthesise MIDI and a soundfont is installed;
  // else `why` says what is missing.
  static bool Available(std::string& why);
  // The soundfont used: $VL_SOUNDFONT when set, else the first General MIDI
  // font installed from the distribution's packages ("" when none).
  static std::string SoundFontPath();

  MidiRenderer();
  ~MidiRenderer();
  MidiRenderer(const MidiRenderer&) = delete;
  MidiRenderer& operator=(const MidiRenderer&) = delete;

  // Loads the soundfont (the dear step: a few megabytes parsed). False and
  // `error` when it cannot.
  bool Init(std::string& error);
  // Starts `nativePath` from its beginning, replacing any file under way;
  // `fromMs` is skipped silently. False and `error` for a file that is not
  // MIDI.
  bool Start(const std::string& nativePath, int64_t fromMs, std::string& error);
  // Silences every voice and drops the file.
  void Stop();
  // Fills `frames` stereo frames (interleaved 16-bit). Returns false once
  // the file has ended and its last notes have died away (the frames are
  // then silence).
  bool Render(int16_t* out, int frames);
  void SetGain(float gain);  // 0..1

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace vl
