// Decoded lengths of sound files, read from their headers and frames.
#include "media/MediaLength.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <vector>

#include "images/ByteReader.h"

namespace vl {
namespace {

MediaLengthResult Fail(MediaFormat f, std::string why) {
  MediaLengthResult r;
  r.format = f;
  r.error = std::move(why);
  return r;
}

MediaLengthResult Ok(MediaFormat f, int64_t ms) {
  MediaLengthResult r;
  r.ok = true;
  r.format = f;
  r.ms = ms < 0 ? 0 : ms;
  return r;
}

bool At(std::string_view d, size_t pos, const char* sig) {
  size_t n = std::strlen(sig);
  return pos <= d.size() && d.size() - pos >= n && std::memcmp(d.data() + pos, sig, n) == 0;
}

uint32_t Le32(std::string_view d, size_t p) {
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(d[p + i])); };
  return b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
}
uint32_t Be32(std::string_view d, size_t p) {
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(d[p + i])); };
  return (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
}

// samples * 1000 / rate without overflow for any 64-bit sample count.
int64_t SamplesToMs(uint64_t samples, uint64_t rate) {
  return static_cast<int64_t>(samples / rate * 1000 + (samples % rate) * 1000 / rate);
}

// ---- WAV -------------------------------------------------------------------

constexpr uint16_t kWavePcm = 1, kWaveMsAdpcm = 2, kWaveFloat = 3, kWaveALaw = 6, kWaveMuLaw = 7,
                   kWaveImaAdpcm = 0x11, kWaveExtensible = 0xFFFE;

}  // namespace

MediaLengthResult WaveLength(std::string_view d) {
  const MediaFormat F = MediaFormat::Wave;
  if (!At(d, 0, "RIFF") || !At(d, 8, "WAVE")) return Fail(F, "not a RIFF WAVE file");
  bool haveFmt = false, haveData = false, haveFact = false;
  uint16_t tag = 0, channels = 0, blockAlign = 0, samplesPerBlock = 0;
  uint32_t rate = 0, avgBytes = 0, factSamples = 0;
  uint64_t dataBytes = 0;
  size_t pos = 12;
  while (d.size() - pos >= 8) {
    uint32_t size = Le32(d, pos + 4);
    size_t body = pos + 8;
    size_t avail = d.size() - body;
    size_t have = std::min<uint64_t>(size, avail);
    if (At(d, pos, "fmt ")) {
      if (have < 16) return Fail(F, "format chunk too short");
      TByteReader r(d.substr(body, have));
      tag = r.U16();
      channels = r.U16();
      rate = r.U32();
      avgBytes = r.U32();
      blockAlign = r.U16();
      r.U16();  // bits per sample: the block size already says it
      if (have >= 18) {
        uint16_t extra = r.U16();
        if (tag == kWaveExtensible && extra >= 22 && have >= 40) {
          r.Skip(6);  // valid bits, channel mask
          tag = r.U16();  // the sub-format GUID starts with the format tag
        } else if ((tag == kWaveImaAdpcm || tag == kWaveMsAdpcm) && extra >= 2 && have >= 20) {
          samplesPerBlock = r.U16();
        }
      }
      haveFmt = true;
    } else if (At(d, pos, "fact")) {
      if (have >= 4) {
        factSamples = Le32(d, body);
        haveFact = true;
      }
    } else if (At(d, pos, "data")) {
      // A size larger than the file (or the "unknown" 0xFFFFFFFF of streams
      // cut short) means: up to the end.
      dataBytes = have;
      haveData = true;
    }
    if (size > avail) break;
    uint64_t next = static_cast<uint64_t>(body) + size + (size & 1);
    if (next >= d.size()) break;
    pos = static_cast<size_t>(next);
  }
  if (!haveFmt) return Fail(F, "no format chunk");
  if (!haveData) return Fail(F, "no data chunk");
  if (rate == 0) return Fail(F, "sample rate 0");
  switch (tag) {
    case kWavePcm:
    case kWaveFloat:
    case kWaveALaw:
    case kWaveMuLaw:
      if (blockAlign == 0) return Fail(F, "block size 0");
      return Ok(F, SamplesToMs(dataBytes / blockAlign, rate));
    case kWaveImaAdpcm:
    case kWaveMsAdpcm: {
      if (blockAlign == 0 || channels == 0 || samplesPerBlock == 0) return Fail(F, "bad ADPCM block layout");
      uint64_t samples = dataBytes / blockAlign * samplesPerBlock;
      uint64_t rest = dataBytes % blockAlign;
      // A last block cut short still decodes the samples it holds.
      if (tag == kWaveImaAdpcm && rest >= 4u * channels)
        samples += 1 + (rest - 4u * channels) / (4u * channels) * 8;
      else if (tag == kWaveMsAdpcm && rest >= 7u * channels)
        samples += 2 + (rest - 7u * channels) * 2 / channels;
      // The fact chunk gives the exact count (without the last block's
      // padding); it is believed only when the data can hold it.
      if (haveFact && factSamples <= samples) samples = factSamples;
      return Ok(F, SamplesToMs(samples, rate));
    }
    default:
      if (haveFact && factSamples > 0) return Ok(F, SamplesToMs(factSamples, rate));
      if (avgBytes == 0) return Fail(F, "unknown coding without a byte rate");
      return Ok(F, SamplesToMs(dataBytes, avgBytes));
  }
}

// ---- MIDI ------------------------------------------------------------------

namespace {

struct TempoChange {
  uint64_t tick;
  uint32_t usPerQuarter;
};

// Reads one variable-length quantity (at most four bytes).
bool ReadVlq(TByteReader& r, uint32_t& v) {
  v = 0;
  for (int i = 0; i < 4; ++i) {
    uint8_t b = r.U8();
    if (r.Failed()) return false;
    v = (v << 7) | (b & 0x7F);
    if (!(b & 0x80)) return true;
  }
  return false;
}

// Walks one track: its tempo changes and the tick at which it ends. False
// when an event is damaged (the ticks read up to it are kept).
bool ScanTrack(std::string_view trk, std::vector<TempoChange>& tempos, uint64_t& endTick) {
  TByteReader r(trk);
  uint64_t tick = 0;
  uint8_t running = 0;
  while (r.Left() > 0) {
    uint32_t delta;
    if (!ReadVlq(r, delta)) return false;
    tick += delta;
    endTick = std::max(endTick, tick);
    uint8_t status = r.U8();
    if (r.Failed()) return false;
    if (status < 0x80) {
      if (!running) return false;  // a data byte with no status before it
      r.Skip(((running & 0xF0) == 0xC0 || (running & 0xF0) == 0xD0) ? 0 : 1);
      continue;
    }
    if (status == 0xFF) {
      uint8_t type = r.U8();
      uint32_t len;
      if (!ReadVlq(r, len) || len > r.Left()) return false;
      if (type == 0x51 && len >= 3) {
        uint32_t us = (static_cast<uint32_t>(r.U8()) << 16) | (r.U8() << 8) | r.U8();
        if (us > 0) tempos.push_back({tick, us});
        len -= 3;
      }
      r.Skip(len);
      if (type == 0x2F) return true;  // end of track
    } else if (status == 0xF0 || status == 0xF7) {
      uint32_t len;
      if (!ReadVlq(r, len) || len > r.Left()) return false;
      r.Skip(len);
    } else if (status >= 0xF0) {
      r.Skip(status == 0xF2 ? 2 : (status == 0xF1 || status == 0xF3) ? 1 : 0);
    } else {
      running = status;
      uint8_t hi = status & 0xF0;
      r.Skip(hi == 0xC0 || hi == 0xD0 ? 1 : 2);
    }
    if (r.Failed()) return false;
  }
  return true;
}

// Milliseconds from tick 0 to `endTick` under the tempo changes (default 120
// quarter notes a minute until the first).
double TicksToMs(std::vector<TempoChange> tempos, uint64_t endTick, uint32_t ticksPerQuarter) {
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  double us = 0;
  uint64_t at = 0;
  uint32_t tempo = 500000;
  for (const TempoChange& t : tempos) {
    if (t.tick >= endTick) break;
    us += static_cast<double>(t.tick - at) * tempo / ticksPerQuarter;
    at = t.tick;
    tempo = t.usPerQuarter;
  }
  us += static_cast<double>(endTick - at) * tempo / ticksPerQuarter;
  return us / 1000.0;
}

}  // namespace

MediaLengthResult MidiLength(std::string_view d) {
  const MediaFormat F = MediaFormat::Midi;
  // A RIFF "RMID" file carries a standard MIDI file in its "data" chunk.
  if (At(d, 0, "RIFF") && At(d, 8, "RMID")) {
    size_t pos = 12;
    std::string_view inner;
    while (d.size() - pos >= 8) {
      uint32_t size = Le32(d, pos + 4);
      size_t avail = d.size() - pos - 8;
      if (At(d, pos, "data")) {
        inner = d.substr(pos + 8, std::min<uint64_t>(size, avail));
        break;
      }
      if (size >= avail) break;
      pos += 8 + size + (size & 1);
    }
    if (inner.empty()) return Fail(F, "RMID file without a data chunk");
    d = inner;
  }
  if (!At(d, 0, "MThd") || d.size() < 14) return Fail(F, "not a MIDI file");
  uint32_t hdrLen = Be32(d, 4);
  if (hdrLen < 6 || hdrLen > d.size() - 8) return Fail(F, "bad MIDI header length");
  uint16_t format = (static_cast<uint8_t>(d[8]) << 8) | static_cast<uint8_t>(d[9]);
  uint16_t tracks = (static_cast<uint8_t>(d[10]) << 8) | static_cast<uint8_t>(d[11]);
  uint8_t divHi = static_cast<uint8_t>(d[12]), divLo = static_cast<uint8_t>(d[13]);
  if (format > 2) return Fail(F, "unknown MIDI format " + std::to_string(format));
  // Ticks are counted per quarter note, or (SMPTE) per frame of a frame rate.
  uint32_t ticksPerQuarter = 0;
  double smpteTicksPerSecond = 0;
  if (divHi & 0x80) {
    int fps = -static_cast<int8_t>(divHi);
    if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || divLo == 0) return Fail(F, "bad SMPTE division");
    smpteTicksPerSecond = (fps == 29 ? 29.97 : fps) * divLo;
  } else {
    ticksPerQuarter = (static_cast<uint32_t>(divHi) << 8) | divLo;
    if (ticksPerQuarter == 0) return Fail(F, "division 0");
  }
  std::vector<TempoChange> tempos;
  uint64_t endTick = 0;
  double sequentialMs = 0;  // format 2: the tracks play one after another
  int found = 0;
  bool damaged = false;
  size_t pos = 8 + static_cast<size_t>(hdrLen);
  while (found < tracks && d.size() - pos >= 8) {
    uint32_t size = Be32(d, pos + 4);
    size_t avail = d.size() - pos - 8;
    std::string_view body = d.substr(pos + 8, std::min<uint64_t>(size, avail));
    if (At(d, pos, "MTrk")) {
      ++found;
      if (format == 2) {
        std::vector<TempoChange> own;
        uint64_t end = 0;
        if (!ScanTrack(body, own, end)) damaged = true;
        sequentialMs += smpteTicksPerSecond > 0 ? end * 1000.0 / smpteTicksPerSecond
                                                : TicksToMs(std::move(own), end, ticksPerQuarter);
      } else if (!ScanTrack(body, tempos, endTick)) {
        damaged = true;
      }
    }
    if (size >= avail) break;
    pos += 8 + size;
  }
  if (found == 0) return Fail(F, damaged ? "damaged MIDI track" : "no MIDI track");
  // A track damaged part way still plays up to the damage, as players do.
  double ms = format == 2                  ? sequentialMs
              : smpteTicksPerSecond > 0 ? endTick * 1000.0 / smpteTicksPerSecond
                                        : TicksToMs(std::move(tempos), endTick, ticksPerQuarter);
  if (!(ms < 1e15)) return Fail(F, "MIDI length out of range");
  return Ok(F, static_cast<int64_t>(ms + 1e-6));
}

// ---- MP3 -------------------------------------------------------------------

namespace {

struct MpegFrame {
  int version = 0;  // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
  int layer = 0;    // 1..3
  uint32_t rate = 0;
  uint32_t length = 0;        // bytes
  uint32_t samples = 0;       // per frame
  bool mono = false;
};

bool ParseMpegHeader(std::string_view d, size_t p, MpegFrame& f) {
  if (p > d.size() || d.size() - p < 4) return false;
  uint8_t b1 = d[p + 1], b2 = d[p + 2], b3 = d[p + 3];
  if (static_cast<uint8_t>(d[p]) != 0xFF || (b1 & 0xE0) != 0xE0) return false;
  int vbits = (b1 >> 3) & 3, lbits = (b1 >> 1) & 3, bi = b2 >> 4, si = (b2 >> 2) & 3;
  if (vbits == 1 || lbits == 0 || bi == 0 || bi == 15 || si == 3) return false;
  static const uint16_t kRate[3][15] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},   // V1 L1
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},      // V1 L2
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};      // V1 L3
  static const uint16_t kRate2[2][15] = {
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // V2 L1
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};         // V2 L2, L3
  static const uint32_t kFreq[3] = {44100, 48000, 32000};
  f.version = vbits == 3 ? 1 : vbits == 2 ? 2 : 3;
  f.layer = 4 - lbits;
  uint32_t kbps = f.version == 1 ? kRate[f.layer - 1][bi] : kRate2[f.layer == 1 ? 0 : 1][bi];
  f.rate = kFreq[si] >> (f.version - 1);
  uint32_t pad = (b2 >> 1) & 1;
  if (f.layer == 1) {
    f.length = (12000 * kbps / f.rate + pad) * 4;
    f.samples = 384;
  } else if (f.layer == 2 || f.version == 1) {
    f.length = 144000 * kbps / f.rate + pad;
    f.samples = 1152;
  } else {
    f.length = 72000 * kbps / f.rate + pad;
    f.samples = 576;
  }
  f.mono = (b3 >> 6) == 3;
  return f.length >= 4;
}

// A frame header at `p` whose next frame also starts with a header (or which
// ends exactly at the end of the data): a lone sync pattern in tag data or
// noise is not taken for a frame.
bool ConfirmedFrame(std::string_view d, size_t p, MpegFrame& f) {
  if (!ParseMpegHeader(d, p, f)) return false;
  uint64_t next = static_cast<uint64_t>(p) + f.length;
  if (next == d.size()) return true;
  MpegFrame g;
  return next < d.size() && ParseMpegHeader(d, static_cast<size_t>(next), g) && g.rate == f.rate &&
         g.layer == f.layer;
}

// Skips ID3v2 tags at `p` (there may be several).
size_t SkipId3(std::string_view d, size_t p) {
  while (At(d, p, "ID3") && d.size() - p >= 10) {
    uint32_t size = 0;
    for (int i = 6; i < 10; ++i) {
      uint8_t b = d[p + i];
      if (b & 0x80) return p;  // not a syncsafe size: not a tag
      size = (size << 7) | b;
    }
    uint64_t end = static_cast<uint64_t>(p) + 10 + size + ((static_cast<uint8_t>(d[p + 5]) & 0x10) ? 10 : 0);
    if (end >= d.size()) return d.size();
    p = static_cast<size_t>(end);
  }
  return p;
}

}  // namespace

MediaLengthResult Mp3Length(std::string_view d) {
  const MediaFormat F = MediaFormat::Mp3;
  size_t p = SkipId3(d, 0);
  MpegFrame first;
  // Some files carry junk between the tag and the audio: look a little way.
  size_t limit = std::min(d.size(), p + 65536);
  while (p < limit && !ConfirmedFrame(d, p, first)) ++p;
  if (p >= limit) return Fail(F, "no MPEG audio frame");

  // A Xing ("Xing", or "Info" for constant rates) or VBRI frame first says
  // how many frames follow, and LAME's extension how many samples of the
  // first and last frames are encoder delay and padding.
  size_t side = first.version == 1 ? (first.mono ? 17 : 32) : (first.mono ? 9 : 17);
  size_t x = p + 4 + side;
  bool infoFrame = false;
  if (first.layer == 3 && (At(d, x, "Xing") || At(d, x, "Info")) && d.size() - x >= 8) {
    infoFrame = true;
    uint32_t flags = Be32(d, x + 4);
    size_t q = x + 8;
    if ((flags & 1) && d.size() - q >= 4) {
      uint64_t frames = Be32(d, q);
      q += 4 + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
      uint64_t samples = frames * first.samples;
      if (q <= d.size() && d.size() - q >= 24 && (At(d, q, "LAME") || At(d, q, "Lavc") || At(d, q, "Lavf"))) {
        uint32_t delay = (static_cast<uint8_t>(d[q + 21]) << 4) | (static_cast<uint8_t>(d[q + 22]) >> 4);
        uint32_t padding = ((static_cast<uint8_t>(d[q + 22]) & 0x0F) << 8) | static_cast<uint8_t>(d[q + 23]);
        if (delay + padding < samples) samples -= delay + padding;
      }
      return Ok(F, SamplesToMs(samples, first.rate));
    }
  } else if (At(d, p + 36, "VBRI") && d.size() - (p + 36) >= 18) {
    uint64_t frames = Be32(d, p + 36 + 14);
    return Ok(F, SamplesToMs(frames * first.samples, first.rate));
  }

  // No count: walk the frames to the first thing that is not one (an ID3v1
  // or APE tag, or the end).
  uint64_t samples = 0;
  size_t q = p;
  MpegFrame f;
  while (ParseMpegHeader(d, q, f) && f.rate == first.rate && f.length <= d.size() - q) {
    samples += f.samples;
    q += f.length;
  }
  if (infoFrame && samples >= first.samples) samples -= first.samples;  // the tag frame is silent
  return Ok(F, SamplesToMs(samples, first.rate));
}

// ---- Ogg -------------------------------------------------------------------

MediaLengthResult OggLength(std::string_view d) {
  MediaFormat F = MediaFormat::OggVorbis;
  if (!At(d, 0, "OggS") || d.size() < 28 || d[4] != 0) return Fail(F, "not an Ogg file");
  uint32_t serial = Le32(d, 14);
  size_t segs = static_cast<uint8_t>(d[26]);
  size_t pkt = 27 + segs;
  uint64_t rate = 0, preSkip = 0;
  if (At(d, pkt, "\x01vorbis") && d.size() - pkt >= 16) {
    rate = Le32(d, pkt + 12);
  } else if (At(d, pkt, "OpusHead") && d.size() - pkt >= 12) {
    F = MediaFormat::OggOpus;
    rate = 48000;  // Opus granule positions always count 48 kHz samples
    preSkip = static_cast<uint8_t>(d[pkt + 10]) | (static_cast<uint8_t>(d[pkt + 11]) << 8);
  } else {
    return Fail(F, "Ogg stream is neither Vorbis nor Opus");
  }
  if (rate == 0) return Fail(F, "sample rate 0");
  // The last page of the first stream with a granule position ends the sound.
  for (size_t p = d.size() >= 27 ? d.size() - 27 : 0;; --p) {
    if (At(d, p, "OggS") && d[p + 4] == 0 && Le32(d, p + 14) == serial) {
      uint64_t granule = static_cast<uint64_t>(Le32(d, p + 6)) | (static_cast<uint64_t>(Le32(d, p + 10)) << 32);
      if (granule != ~uint64_t{0} && p > 0) {
        if (granule >> 62) return Fail(F, "granule position out of range");
        return Ok(F, SamplesToMs(granule > preSkip ? granule - preSkip : 0, rate));
      }
    }
    if (p == 0) break;
  }
  return Fail(F, "no Ogg page with a granule position");
}

// ---- Any -------------------------------------------------------------------

MediaFormat SniffMediaFormat(std::string_view d) {
  if (At(d, 0, "RIFF") && At(d, 8, "WAVE")) return MediaFormat::Wave;
  if (At(d, 0, "RIFF") && At(d, 8, "AVI ")) return MediaFormat::Avi;
  if (At(d, 4, "ftyp")) return MediaFormat::Mp4;
  if (At(d, 0, "MThd") || (At(d, 0, "RIFF") && At(d, 8, "RMID"))) return MediaFormat::Midi;
  if (At(d, 0, "OggS")) {
    if (d.size() > 27 && At(d, 27 + static_cast<uint8_t>(d[26]), "OpusHead")) return MediaFormat::OggOpus;
    return MediaFormat::OggVorbis;
  }
  MpegFrame f;
  size_t p = SkipId3(d, 0);
  if (p > 0 || ConfirmedFrame(d, 0, f)) return MediaFormat::Mp3;
  return MediaFormat::Unknown;
}

const char* MediaFormatName(MediaFormat f) {
  switch (f) {
    case MediaFormat::Wave: return "WAV";
    case MediaFormat::Midi: return "MIDI";
    case MediaFormat::Mp3: return "MP3";
    case MediaFormat::OggVorbis: return "Ogg Vorbis";
    case MediaFormat::OggOpus: return "Ogg Opus";
    case MediaFormat::Avi: return "AVI";
    case MediaFormat::Mp4: return "MPEG-4";
    default: return "unknown";
  }
}

MediaLengthResult MediaLengthOf(std::string_view d) {
  switch (SniffMediaFormat(d)) {
    case MediaFormat::Wave: return WaveLength(d);
    case MediaFormat::Midi: return MidiLength(d);
    case MediaFormat::Mp3: return Mp3Length(d);
    case MediaFormat::OggVorbis:
    case MediaFormat::OggOpus: return OggLength(d);
    case MediaFormat::Avi: return AviLength(d);
    case MediaFormat::Mp4: return Mp4Length(d);
    default: return Fail(MediaFormat::Unknown, "not a sound file the player knows");
  }
}

MediaLengthResult MediaFileLength(const std::string& nativePath) {
  QFile file(QString::fromLocal8Bit(nativePath.data(), static_cast<qsizetype>(nativePath.size())));
  if (!file.open(QIODevice::ReadOnly)) return Fail(MediaFormat::Unknown, "cannot open the file");
  qint64 size = file.size();
  if (size <= 0) return Fail(MediaFormat::Unknown, "empty file");
  if (size > (qint64{1} << 30)) return Fail(MediaFormat::Unknown, "file too large");
  uchar* map = file.map(0, size);
  if (!map) return Fail(MediaFormat::Unknown, "cannot map the file");
  MediaLengthResult r = MediaLengthOf(std::string_view(reinterpret_cast<const char*>(map), static_cast<size_t>(size)));
  file.unmap(map);
  return r;
}

}  // namespace vl
