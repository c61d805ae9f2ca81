#include "media/MidiSynth.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#if VL_HAVE_FLUIDSYNTH
#include <fluidsynth.h>
#endif

namespace vl {

std::string MidiRenderer::SoundFontPath() {
  if (const char* env = std::getenv("VL_SOUNDFONT"); env && *env) return env;
  // The small font first: it loads in a fraction of the time of the fuller
  // one, and a General MIDI set is all publications ask for.
  static const char* const kFonts[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
                                       "/usr/share/sounds/sf3/default-GM.sf3"};
  std::error_code ec;
  for (const char* f : kFonts)
    if (std::filesystem::is_regular_file(f, ec)) return f;
  return {};
}

#if VL_HAVE_FLUIDSYNTH

struct MidiRenderer::Impl {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_player_t* player = nullptr;
  int tail = 0;  // frames rendered since the file ended (its notes die away)
  ~Impl() {
    if (player) {
      fluid_player_stop(player);
      delete_fluid_player(player);
    }
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
};

bool MidiRenderer::Available(std::string& why) {
  if (SoundFontPath().empty()) {
    why = "no General MIDI soundfont is installed (timgm6mb-soundfont)";
    return false;
  }
  return true;
}

MidiRenderer::MidiRenderer() : d_(std::make_unique<Impl>()) {}
MidiRenderer::~MidiRenderer() = default;

bool MidiRenderer::Init(std::string& error) {
  if (d_->synth) return true;
  std::string font = SoundFontPath();
  if (font.empty()) {
    error = "no General MIDI soundfont is installed";
    return false;
  }
  // FluidSynth prints its own complaints; ours are enough.
  for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
    fluid_set_log_function(level, nullptr, nullptr);
  d_->settings = new_fluid_settings();
  fluid_settings_setnum(d_->settings, "synth.sample-rate", kRate);
  // The player's events are timed by the samples rendered, not by a clock.
  fluid_settings_setstr(d_->settings, "player.timing-source", "sample");
  fluid_settings_setint(d_->settings, "synth.threadsafe-api", 0);
  // Chorus and reverb would cost more than the voices themselves; the small
  // soundfont's instruments sound full enough without them.
  fluid_settings_setint(d_->settings, "synth.chorus.active", 0);
  fluid_settings_setint(d_->settings, "synth.reverb.active", 0);
  d_->synth = new_fluid_synth(d_->settings);
  if (!d_->synth || fluid_synth_sfload(d_->synth, font.c_str(), 1) == FLUID_FAILED) {
    error = "the soundfont " + font + " cannot be loaded";
    return false;
  }
  return true;
}

bool MidiRenderer::Start(const std::string& nativePath, int64_t fromMs, std::string& error) {
  if (!d_->synth && !Init(error)) return false;
  Stop();
  d_->player = new_fluid_player(d_->synth);
  if (!d_->player || fluid_player_add(d_->player, nativePath.c_str()) != FLUID_OK ||
      fluid_player_play(d_->player) != FLUID_OK) {
    error = "not a MIDI file FluidSynth can play";
    Stop();
    return false;
  }
  d_->tail = 0;
  // Rendering ahead keeps every controller and program change on the way,
  // which a jump in ticks would lose.
  std::vector<int16_t> scratch(2 * 1024);
  for (int64_t left = fromMs * kRate / 1000; left > 0; left -= 1024)
    Render(scratch.data(), static_cast<int>(left < 1024 ? left : 1024));
  return true;
}

void MidiRenderer::Stop() {
  if (d_->player) {
    fluid_player_stop(d_->player);
    delete_fluid_player(d_->player);
    d_->player = nullptr;
  }
  if (d_->synth) {
    fluid_synth_all_sounds_off(d_->synth, -1);
    fluid_synth_system_reset(d_->synth);
  }
}

bool MidiRenderer::Render(int16_t* out, int frames) {
  if (!d_->synth) {
    std::memset(out, 0, sizeof(int16_t) * 2 * frames);
    return false;
  }
  fluid_synth_write_s16(d_->synth, frames, out, 0, 2, out, 1, 2);
  if (d_->player && fluid_player_get_status(d_->player) == FLUID_PLAYER_DONE) {
    // Half a second for the last notes' release.
    d_->tail += frames;
    if (d_->tail > kRate / 2) return false;
  }
  return d_->player != nullptr;
}

void MidiRenderer::SetGain(float gain) {
  // FluidSynth's default gain is 0.2; full volume maps to it.
  if (d_->synth) fluid_synth_set_gain(d_->synth, 0.2f * gain);
}

#else  // no FluidSynth

struct MidiRenderer::Impl {};

bool MidiRenderer::Available(std::string& why) {
  why = "this player was built without FluidSynth";
  return false;
}
MidiRenderer::MidiRenderer() : d_(std::make_unique<Impl>()) {}
MidiRenderer::~MidiRenderer() = default;
bool MidiRenderer::Init(std::string& error) {
  error = "this player was built without FluidSynth";
  return false;
}
bool MidiRenderer::Start(const std::string&, int64_t, std::string& error) { return Init(error); }
void MidiRenderer::Stop() {}
bool MidiRenderer::Render(int16_t* out, int frames) {
  std::memset(out, 0, sizeof(int16_t) * 2 * frames);
  return false;
}
void MidiRenderer::SetGain(float) {}

#endif

}  // namespace vl
