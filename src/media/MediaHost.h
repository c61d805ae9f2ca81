#pragma once
// What the media commands need from the machine: a sink that sounds files and
// tones, and the mixer's line volumes. Timing is not the sink's business: the
// device table ends every medium after its decoded length on the one clock,
// so a headless run (silent sink, virtual clock) behaves exactly like a
// windowed one.
#include <cstdint>
#include <string>

#include "runtime/Ansi.h"

namespace vl {

// The mixer lines the volume commands can name.
enum class MixerLine : uint8_t { Master, CompactDisc, Wave, Synth, LineIn, Microphone, Digital, Auxiliary };

class MediaHost {
 public:
  virtual ~MediaHost() = default;
  // Starts sounding the file at `nativePath` from `fromMs`. Returns a handle
  // above 0, or 0 when the sink cannot sound it (`error` says why).
  virtual int StartSound(const std::string& nativePath, int64_t fromMs, AnsiString& error) = 0;
  // Silences a handle from StartSound (a later StartSound resumes).
  virtual void StopSound(int handle) = 0;
  // The handle's time on the clock is over: what the sink still holds plays
  // out (a real sink lags the clock by its latency), then it is let go.
  virtual void SoundEnded(int handle) { StopSound(handle); }
  // Starts a tone of `hz` for `ms` milliseconds and returns at once; the
  // caller waits on the clock.
  virtual void Tone(int hz, int ms) = 0;
  // A line's volume, 0..65535; false when the mixer has no such line.
  virtual bool LineVolume(MixerLine line, uint16_t& value) = 0;
  virtual bool SetLineVolume(MixerLine line, uint16_t value) = 0;
};

// The host in force: a silent one until the player installs another.
MediaHost& Media();
void SetMediaHost(MediaHost* host);  // nullptr restores the silent host

// Sounds nothing and never touches the machine's mixer: every line exists and
// keeps the volume last set (full volume at first). Headless runs use it, and
// for now the windowed player too.
class SilentMediaHost : public MediaHost {
 public:
  int StartSound(const std::string& nativePath, int64_t fromMs, AnsiString& error) override;
  void StopSound(int handle) override;
  void Tone(int hz, int ms) override;
  bool LineVolume(MixerLine line, uint16_t& value) override;
  bool SetLineVolume(MixerLine line, uint16_t value) override;

  int Sounding() const { return sounding_; }
  int TonesPlayed() const { return tones_; }

 private:
  int next_ = 0;
  int sounding_ = 0;
  int tones_ = 0;
  uint16_t volumes_[8] = {65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535};
};

}  // namespace vl
