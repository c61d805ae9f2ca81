// SystemSound: the desktop's event sounds, from the freedesktop sound theme.
// Like the system's own call it returns at once and the sound is not one of
// the playing media (StopMedia does not reach it, Wait does not wait for
// it); a headless run's sink stays silent.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "actions/CommandApi.h"
#include "media/MediaHost.h"
#include "runtime/Global.h"

namespace vl {
namespace {

// The theme's names for the system's event sounds. The theme has no
// question sound: the information sound stands in, as desktops do.
const char* ThemeSoundFor(std::string_view name) {
  struct Named {
    const char* name;
    const char* theme;
  };
  static const Named kSounds[] = {{"SystemAsterisk", "dialog-information"},
                                  {"SystemExclamation", "dialog-warning"},
                                  {"SystemStop", "dialog-error"},
                                  {"SystemQuestion", "dialog-information"},
                                  {"SystemDefault", "bell"}};
  for (const Named& s : kSounds)
    if (SameTextInvariant(name, s.name)) return s.theme;
  return nullptr;
}

// The sound theme's file for `sound`: $XDG_DATA_DIRS (the usual folders
// when unset), the "freedesktop" theme, stereo, Ogg or wave.
std::string ThemeFile(const char* sound) {
  const char* env = std::getenv("XDG_DATA_DIRS");
  std::string dirs = env && *env ? env : "/usr/local/share:/usr/share";
  size_t at = 0;
  while (at <= dirs.size()) {
    size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(at, end - at);
    at = end + 1;
    if (dir.empty()) continue;
    for (const char* ext : {".oga", ".ogg", ".wav"}) {
      std::string f = dir + "/sounds/freedesktop/stereo/" + sound + ext;
      std::error_code ec;
      if (std::filesystem::is_regular_file(f, ec)) return f;
    }
  }
  return {};
}

// The last system sound, silenced when the next one starts (the system
// plays one at a time).
int g_lastSystemSound = 0;

void DoSystemSound(CommandContext& c) {
  const char* sound = ThemeSoundFor(c.Arg(1));
  std::string file = sound ? ThemeFile(sound) : std::string();
  if (g_lastSystemSound) Media().StopSound(g_lastSystemSound);
  g_lastSystemSound = 0;
  if (!file.empty()) {
    AnsiString error;
    g_lastSystemSound = Media().StartSound(file, 0, error);
    if (g_lastSystemSound) return;
  }
  // Any other name, or no theme installed: the simple beep, which does not
  // hold the action up.
  Media().Tone(750, 150);
}

const CommandBinder kBind{{cmd::SystemSound, DoSystemSound}};

}  // namespace
}  // namespace vl
