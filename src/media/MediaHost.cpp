#include "media/MediaHost.h"

namespace vl {

int SilentMediaHost::StartSound(const std::string&, int64_t, AnsiString&) {
  ++sounding_;
  return ++next_;
}

void SilentMediaHost::StopSound(int handle) {
  if (handle > 0 && sounding_ > 0) --sounding_;
}

void SilentMediaHost::Tone(int, int) { ++tones_; }

bool SilentMediaHost::LineVolume(MixerLine line, uint16_t& value) {
  value = volumes_[static_cast<int>(line) & 7];
  return true;
}

bool SilentMediaHost::SetLineVolume(MixerLine line, uint16_t value) {
  volumes_[static_cast<int>(line) & 7] = value;
  return true;
}

namespace {
SilentMediaHost& Silent() {
  static SilentMediaHost silent;
  return silent;
}
MediaHost* g_host = nullptr;
}  // namespace

MediaHost& Media() { return g_host ? *g_host : Silent(); }
void SetMediaHost(MediaHost* host) { g_host = host; }

}  // namespace vl
