#pragma once
// The list of everything playing that PlaySoundFile (and later the video and
// cartoon commands) started, newest first: one wave at a time, one MIDI file
// at a time, a file already playing is not started again. Each entry plays
// on a device of the device table (media/Mci.h), so it ends after its
// decoded length on the one clock.
#include <cstdint>
#include <functional>
#include <string_view>

#include "runtime/Ansi.h"

namespace vl {

// Mode of an entry, from the options word.
enum : uint8_t { kMediaNormal = 0, kMediaWait = 1, kMediaLoop = 2 };
// Kind of an entry.
enum : uint8_t { kMediaDevice = 0, kMediaCartoon = 2, kMediaLoopingWave = 3 };

struct MediaEntry {
  uint16_t device = 0;   // the device's number; 0 for a looping wave
  uint8_t mode = kMediaNormal;
  AnsiString fileName;   // full path of the file played, upper case
  uint8_t kind = kMediaDevice;
  bool hasVideo = false;
  uint32_t mciId = 0;    // the device table's id (a looping wave has one too)
  AnsiString alias;
};

// "Loop" anywhere (any case) loops, else "Wait" waits, else normal.
uint8_t MediaModeFromOptions(std::string_view options);

// Starts `file` (as the publication named it; `literal` when written with
// "!"). Returns the device number, 1 for a looping wave, 0 on failure (then
// [LastError] says why) and also 0 when the file is already playing. A wait
// ends when the file ends, is stopped, or `stop` answers true.
int StartMedia(const AnsiString& file, uint8_t mode, bool literal, const std::function<bool()>& stop);
// "SOUND", "VIDEO", "" (everything) or a file name (name parts compared).
void StopMedia(std::string_view which);
void StopAllMedia();
int MediaCount();
const MediaEntry* FindMediaByName(std::string_view name);
void WaitForMedia(std::string_view name, const std::function<bool()>& stop);

// Connects the device table to the package's files, the list and the trace
// (done by the sound commands before they use it).
void PrepareMediaDevices();
// The completion notice of device `id` (from the device table).
void OnMciNotify(uint32_t id, int code);

// The text of L_EXTRACTERROR= (the publication's), used when a file cannot be
// had; set when the publication is loaded.
void SetMediaExtractErrorText(const AnsiString& text);

// The file's name without its folder.
AnsiString MediaNamePart(std::string_view path);

}  // namespace vl
