// Decoded lengths of real files made by scripts/make-media-fixtures.sh, and
// damaged headers that must fail cleanly.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "media/MediaLength.h"

using namespace vl;

namespace {

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(VL_SOURCE_DIR) + "/tests/media/fixtures/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct LengthCase {
  const char* file;
  MediaFormat format;
  int64_t ms;
  int64_t tolerance;  // frames padded by the encoder, where no tag says how much
};

TEST(MediaLength, RealFiles) {
  const LengthCase cases[] = {
      {"pcm16-mono-1500ms.wav", MediaFormat::Wave, 1500, 0},
      {"pcm8-stereo-250ms.wav", MediaFormat::Wave, 250, 0},
      {"ima-adpcm-2000ms.wav", MediaFormat::Wave, 2000, 0},
      {"ms-adpcm-1000ms.wav", MediaFormat::Wave, 1000, 0},
      {"float-750ms.wav", MediaFormat::Wave, 750, 0},
      {"alaw-500ms.wav", MediaFormat::Wave, 500, 0},
      {"cbr-2000ms.mp3", MediaFormat::Mp3, 2000, 0},
      {"vbr-2000ms.mp3", MediaFormat::Mp3, 2000, 0},
      // No Xing frame (an MPEG-2 frame of 32 kbit/s is too small for one, and
      // "-t" leaves it out): every frame is counted, encoder delay and
      // padding too.
      {"mpeg2-1000ms.mp3", MediaFormat::Mp3, 1000, 80},
      {"notag-2000ms.mp3", MediaFormat::Mp3, 2000, 80},
      {"vorbis-1500ms.ogg", MediaFormat::OggVorbis, 1500, 0},
      {"format0-2000ms.mid", MediaFormat::Midi, 2000, 0},
      {"format1-1700ms.mid", MediaFormat::Midi, 1700, 0},
      {"riff-2000ms.rmi", MediaFormat::Midi, 2000, 0},
      {"smpte-1250ms.mid", MediaFormat::Midi, 1250, 0},
  };
  for (const LengthCase& c : cases) {
    std::string data = Fixture(c.file);
    ASSERT_FALSE(data.empty()) << c.file;
    MediaLengthResult r = MediaLengthOf(data);
    EXPECT_TRUE(r.ok) << c.file << ": " << r.error;
    EXPECT_EQ(r.format, c.format) << c.file;
    EXPECT_NEAR(r.ms, c.ms, c.tolerance) << c.file;
    // The same through the mapped file.
    MediaLengthResult f = MediaFileLength(std::string(VL_SOURCE_DIR) + "/tests/media/fixtures/" + c.file);
    EXPECT_EQ(f.ms, r.ms) << c.file;
  }
}

// Every prefix of every fixture: a file cut anywhere gives a length or an
// error, never a crash or a read past its end (the sanitizer builds and the
// fuzz target check the reads).
TEST(MediaLength, TruncatedFilesNeverCrash) {
  for (const char* name : {"pcm16-mono-1500ms.wav", "ima-adpcm-2000ms.wav", "cbr-2000ms.mp3", "vbr-2000ms.mp3",
                           "vorbis-1500ms.ogg", "format1-1700ms.mid", "riff-2000ms.rmi"}) {
    std::string data = Fixture(name);
    size_t step = data.size() > 4000 ? 97 : 1;
    for (size_t n = 0; n < data.size(); n += step) {
      // A copy of exactly n bytes, so reading past it is caught by ASan.
      std::string cut = data.substr(0, n);
      MediaLengthResult r = MediaLengthOf(cut);
      if (r.ok) {
        EXPECT_GE(r.ms, 0) << name << " cut at " << n;
      } else {
        EXPECT_FALSE(r.error.empty()) << name << " cut at " << n;
      }
    }
  }
}

// A cut WAV plays what it holds: a data size past the end counts up to the end.
TEST(MediaLength, WaveDataSizePastTheEndCountsWhatIsThere) {
  std::string data = Fixture("pcm16-mono-1500ms.wav");
  std::string half = data.substr(0, data.size() - 22050);  // 0.5 s of 16-bit mono at 22050 Hz
  MediaLengthResult r = WaveLength(half);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.ms, 1000);
}

std::string Le16(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32s(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

std::string Wave(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t avg, uint16_t align, uint32_t dataBytes,
                 const std::string& extraChunks = "") {
  std::string fmt = Le16(tag) + Le16(channels) + Le32s(rate) + Le32s(avg) + Le16(align) + Le16(16);
  std::string body = "WAVEfmt " + Le32s(static_cast<uint32_t>(fmt.size())) + fmt + extraChunks + "data" +
                     Le32s(dataBytes) + std::string(dataBytes, '\0');
  return "RIFF" + Le32s(static_cast<uint32_t>(body.size())) + body;
}

TEST(MediaLength, DamagedHeadersFailClearly) {
  struct Bad {
    const char* what;
    std::string data;
  };
  std::string mthd = std::string("MThd\0\0\0\x06\0\0\0\x01", 12);
  const Bad bad[] = {
      {"rate 0", Wave(1, 1, 0, 0, 2, 100)},
      {"block size 0", Wave(1, 1, 8000, 16000, 0, 100)},
      {"no data chunk", "RIFF" + Le32s(28) + "WAVEfmt " + Le32s(16) + Wave(1, 1, 8000, 16000, 2, 0).substr(20, 16)},
      {"short format chunk", "RIFF" + Le32s(20) + "WAVEfmt " + Le32s(8) + std::string(8, '\x01')},
      {"unknown coding without byte rate", Wave(0x55, 1, 8000, 0, 1, 100)},
      {"MIDI division 0", mthd + std::string("\0\0", 2) + "MTrk" + std::string("\0\0\0\x04\0\xFF\x2F\0", 8)},
      {"MIDI header length past the end", std::string("MThd\x7F\xFF\xFF\xFF\0\0\0\x01\0\x60", 14)},
      {"MIDI without tracks", mthd + std::string("\0\x60", 2)},
      {"MIDI bad SMPTE rate", mthd + std::string("\xF0\x04", 2) + "MTrk" + std::string("\0\0\0\x04\0\xFF\x2F\0", 8)},
      {"MIDI unknown format", std::string("MThd\0\0\0\x06\0\x07\0\x01\0\x60", 14)},
      {"Ogg neither Vorbis nor Opus", "OggS" + std::string(23, '\0') + std::string(8, 'x')},
      {"not media", "hello, this is text"},
  };
  for (const Bad& b : bad) {
    MediaLengthResult r = MediaLengthOf(b.data);
    EXPECT_FALSE(r.ok) << b.what << " gave " << r.ms;
    EXPECT_FALSE(r.error.empty()) << b.what;
  }
}

// A WAV claiming 4 GiB of data in a small file counts what is there.
TEST(MediaLength, WaveHugeClaimAndVbriFrame) {
  std::string w = Wave(1, 1, 8000, 16000, 2, 0);
  w.replace(w.size() - 4, 4, Le32s(0xFFFFFFFF));
  w += std::string(16000, '\0');  // one second actually there
  MediaLengthResult r = WaveLength(w);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.ms, 1000);

  // A VBRI frame counts frames like a Xing frame (Fraunhofer's encoder).
  std::string frame(417, '\0');  // MPEG-1 layer III 128 kbit/s 44.1 kHz
  frame[0] = '\xFF', frame[1] = '\xFB', frame[2] = '\x90', frame[3] = '\x00';
  std::string vbri = "VBRI" + std::string("\0\x01\0\0\0\x50", 6) + std::string(4, '\0') + std::string("\0\0\0\x26", 4);
  std::string mp3 = frame;
  mp3.replace(36, vbri.size(), vbri);
  mp3 += frame;
  r = MediaLengthOf(mp3);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.format, MediaFormat::Mp3);
  EXPECT_EQ(r.ms, 38 * 1152 * 1000 / 44100);
}

}  // namespace
