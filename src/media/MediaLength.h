#pragma once
// How long a sound file plays once decoded, read from the file itself: the
// WAV header, the MIDI tempo map, the MP3 frames (or their Xing/VBRI frame)
// and the last Ogg granule position. Headless runs end media after this
// length on the virtual clock, and the MCI emulation answers "status length"
// with it. Every reader works on bytes already in memory (a mapped file),
// checks each offset and length, and allocates nothing that the data size
// does not bound; a damaged header gives a clear error, never a guess.
#include <cstdint>
#include <string>
#include <string_view>

namespace vl {

enum class MediaFormat : uint8_t { Unknown, Wave, Midi, Mp3, OggVorbis, OggOpus, Avi, Mp4 };

struct MediaLengthResult {
  bool ok = false;
  int64_t ms = 0;            // decoded length in milliseconds (rounded down)
  MediaFormat format = MediaFormat::Unknown;
  std::string error;         // why the length could not be read (English)
};

// Which format the bytes are, from their signature (not the file name).
MediaFormat SniffMediaFormat(std::string_view data);
const char* MediaFormatName(MediaFormat f);

// The length of the file held in `data`, whatever its format.
MediaLengthResult MediaLengthOf(std::string_view data);
// Each format on its own (the RIFF "RMID" wrapper is read by the MIDI reader).
MediaLengthResult WaveLength(std::string_view data);
MediaLengthResult MidiLength(std::string_view data);
MediaLengthResult Mp3Length(std::string_view data);
MediaLengthResult OggLength(std::string_view data);
// Videos: the AVI main header and the MPEG-4 movie header.
MediaLengthResult AviLength(std::string_view data);
MediaLengthResult Mp4Length(std::string_view data);
// Whether the format shows pictures.
inline bool IsVideoFormat(MediaFormat f) { return f == MediaFormat::Avi || f == MediaFormat::Mp4; }

// Maps the file at `nativePath` (without reading it into memory) and reads
// its length. Files above 1 GiB are refused.
MediaLengthResult MediaFileLength(const std::string& nativePath);

}  // namespace vl
