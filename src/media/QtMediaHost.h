#pragma once
// The media host of windowed runs: waves, MP3 and Ogg through Qt Multimedia
// (plain PCM waves straight into an audio sink, the rest through Qt's media
// player), MIDI files through the software synthesizer (media/MidiSynth.h)
// into an audio sink, and tones generated into one. It only produces the
// sound: when a medium ends stays the device table's business on the one
// clock. Volumes are the player's own (applied to its sinks); the machine's
// mixer is never touched. Each part is optional in the build: a part that
// is missing refuses its files with an honest error.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "media/MediaHost.h"

namespace vl {

class QtMediaHost : public MediaHost {
 public:
  QtMediaHost();
  ~QtMediaHost() override;

  int StartSound(const std::string& nativePath, int64_t fromMs, AnsiString& error) override;
  void StopSound(int handle) override;
  void SoundEnded(int handle) override;
  void Tone(int hz, int ms) override;
  bool LineVolume(MixerLine line, uint16_t& value) override;
  bool SetLineVolume(MixerLine line, uint16_t value) override;

  // Told (on the user-interface thread) when the sink takes the first
  // samples of a handle: what the latency benchmark measures.
  void SetFirstSamplesObserver(std::function<void(int handle)> f);
  // What this build and machine can sound ("" when everything).
  static std::string MissingParts();

  struct Impl;

 private:
  std::unique_ptr<Impl> d_;
};

// Whether this build has Qt Multimedia at all.
bool RealMediaHostBuilt();

}  // namespace vl
