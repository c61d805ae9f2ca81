#include "media/QtMediaHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <future>
#include <map>
#include <vector>

#include "media/MediaLength.h"
#include "media/MidiSynth.h"
#include "runtime/Clock.h"

#if VL_HAVE_QT_MULTIMEDIA
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioOutput>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>
#endif

namespace vl {

#if VL_HAVE_QT_MULTIMEDIA

bool RealMediaHostBuilt() { return true; }

namespace {

// A wave of plain samples, read from its header: such files go straight to
// an audio sink, without a decoding pipeline to set up first.
struct PcmWave {
  int rate = 0, channels = 0, bits = 0;
  bool isFloat = false;
  QByteArray samples;
};

uint32_t Le32(const char* p) {
  return uint8_t(p[0]) | uint8_t(p[1]) << 8 | uint8_t(p[2]) << 16 | uint32_t(uint8_t(p[3])) << 24;
}
uint16_t Le16(const char* p) { return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8); }

// False for anything but 8-, 16- or 32-bit (float) PCM in a sound RIFF
// file; those go through the media player, which decodes what it can.
bool ReadPcmWave(const std::string& path, PcmWave& w) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  char head[12];
  if (!f.read(head, 12) || std::memcmp(head, "RIFF", 4) || std::memcmp(head + 8, "WAVE", 4)) return false;
  bool haveFmt = false;
  char ck[8];
  while (f.read(ck, 8)) {
    uint32_t size = Le32(ck + 4);
    if (!std::memcmp(ck, "fmt ", 4)) {
      if (size < 16 || size > 4096) return false;
      std::vector<char> fmt(size);
      if (!f.read(fmt.data(), size)) return false;
      uint16_t tag = Le16(fmt.data());
      w.channels = Le16(fmt.data() + 2);
      w.rate = static_cast<int>(Le32(fmt.data() + 4));
      w.bits = Le16(fmt.data() + 14);
      if (tag == 0xFFFE && size >= 26) tag = Le16(fmt.data() + 24);  // the extensible header's sub-format
      w.isFloat = tag == 3;
      if (!(tag == 1 || (tag == 3 && w.bits == 32))) return false;
      if (tag == 1 && w.bits != 8 && w.bits != 16) return false;
      if (w.channels < 1 || w.channels > 2 || w.rate < 1000 || w.rate > 192000) return false;
      haveFmt = true;
    } else if (!std::memcmp(ck, "data", 4)) {
      if (!haveFmt) return false;
      // A header that claims more than the file holds plays what is there.
      std::streampos here = f.tellg();
      f.seekg(0, std::ios::end);
      int64_t avail = static_cast<int64_t>(f.tellg() - here);
      int64_t n = std::min<int64_t>(size, avail);
      if (n > (int64_t(1) << 30)) return false;
      f.seekg(here);
      w.samples.resize(static_cast<qsizetype>(n));
      f.read(w.samples.data(), n);
      w.samples.resize(static_cast<qsizetype>(f.gcount()));
      return true;
    } else {
      f.seekg(size + (size & 1), std::ios::cur);
    }
  }
  return false;
}

// Where a sink's samples come from. The host writes them into the sink
// itself, as much as the sink has room for, from a short timer on the one
// clock: the sink never waits on a pull the event loop may not deliver.
class SampleSource {
 public:
  virtual ~SampleSource() = default;
  // Up to `max` bytes; 0 once the source has ended.
  virtual qint64 Fill(char* data, qint64 max) = 0;
};

class WaveSource : public SampleSource {
 public:
  WaveSource(QByteArray samples, qint64 from) : samples_(std::move(samples)), pos_(from) {}

 public:
  qint64 Fill(char* data, qint64 max) override {
    qint64 n = std::min<qint64>(max, samples_.size() - pos_);
    if (n <= 0) return 0;
    std::memcpy(data, samples_.constData() + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  QByteArray samples_;
  qint64 pos_ = 0;
};

class MidiSource : public SampleSource {
 public:
  explicit MidiSource(MidiRenderer& r) : r_(r) {}

 public:
  qint64 Fill(char* data, qint64 max) override {
    int frames = static_cast<int>(std::min<qint64>(max / 4, 8192));
    if (frames <= 0) return 0;
    if (!r_.Render(reinterpret_cast<int16_t*>(data), frames)) return 0;
    return qint64(frames) * 4;
  }

 private:
  MidiRenderer& r_;
};

QAudioFormat FormatOf(int rate, int channels, QAudioFormat::SampleFormat sf) {
  QAudioFormat f;
  f.setSampleRate(rate);
  f.setChannelCount(channels);
  f.setSampleFormat(sf);
  return f;
}

// A tenth of a second of buffer in the sink: the first write fills it at
// once (so it starts as soon as with a short one), and a busy machine that
// is late with the 10 ms top-ups does not starve it.
qsizetype SinkBuffer(const QAudioFormat& f) { return f.bytesForDuration(100000); }

}  // namespace

struct QtMediaHost::Impl {
  struct Sound {
    std::unique_ptr<QAudioSink> sink;
    std::unique_ptr<SampleSource> source;
    QIODevice* io = nullptr;  // the sink's input, written by Feed
    Clock::TimerId timer = 0;
    bool ended = false;
    int64_t drainUntil = -1;  // ms on the clock; >= 0 once its time is over
    std::function<void()> first;
    std::unique_ptr<QMediaPlayer> player;
    std::unique_ptr<QAudioOutput> output;
    bool midi = false;
  };
  std::map<int, Sound> sounds;
  std::vector<std::unique_ptr<QAudioSink>> tones;
  int next = 0;
  uint16_t volumes[8] = {65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535};
  std::function<void(int)> firstSamples;

  // The soundfont loads on a worker while the publication starts; the first
  // MIDI file waits for it.
  MidiRenderer midi;
  std::future<std::string> midiReady;
  int midiHandle = 0;

  float Gain(MixerLine line) const {
    return float(volumes[0]) / 65535.f * float(volumes[static_cast<int>(line) & 7]) / 65535.f;
  }
  void ApplyVolumes() {
    float g = Gain(MixerLine::Wave);
    for (auto& [h, s] : sounds) {
      if (s.sink) s.sink->setVolume(s.midi ? 1.0 : g);
      if (s.output) s.output->setVolume(g);
    }
    midi.SetGain(g);
  }
  // Tops the sink up and comes back in 10 ms while the source lasts.
  void Feed(int handle) {
    auto it = sounds.find(handle);
    if (it == sounds.end() || !it->second.io) return;
    Sound& s = it->second;
    s.timer = 0;
    if (!s.ended) {
      char buf[16384];
      qint64 room = s.sink->bytesFree();
      while (room > 0) {
        qint64 want = std::min<qint64>(room, sizeof buf);
        want -= want % 4;
        if (want <= 0) break;
        qint64 n = s.source->Fill(buf, want);
        if (n <= 0) {
          s.ended = true;
          break;
        }
        s.io->write(buf, n);
        room -= n;
        if (s.first) {
          auto f = std::move(s.first);
          s.first = nullptr;
          f();
        }
      }
    }
    if (s.drainUntil >= 0 && (s.ended || TheClock().NowMs() >= s.drainUntil) &&
        (s.sink->state() != QAudio::ActiveState || TheClock().NowMs() >= s.drainUntil)) {
      // Played out (or held for too long): let it go.
      if (s.sink) s.sink->stop();
      if (handle == midiHandle) {
        midi.Stop();
        midiHandle = 0;
      }
      sounds.erase(it);
      return;
    }
    if (!s.ended || s.drainUntil >= 0) s.timer = TheClock().StartTimer(10, [this, handle] { Feed(handle); });
  }
  bool MidiUsable(AnsiString& error) {
    std::string why;
    if (!MidiRenderer::Available(why)) {
      error = why;
      return false;
    }
    if (midiReady.valid()) {
      std::string e = midiReady.get();
      if (!e.empty()) {
        error = e;
        return false;
      }
    }
    return true;
  }
};

QtMediaHost::QtMediaHost() : d_(std::make_unique<Impl>()) {
  std::string why;
  if (MidiRenderer::Available(why))
    d_->midiReady = std::async(std::launch::async, [r = &d_->midi] {
      std::string error;
      r->Init(error);
      return error;
    });
}

QtMediaHost::~QtMediaHost() {
  if (d_->midiReady.valid()) d_->midiReady.wait();
  for (auto& [h, s] : d_->sounds) {
    if (s.timer) TheClock().CancelTimer(s.timer);
    if (s.sink) s.sink->stop();
    if (s.player) s.player->stop();
  }
}

std::string QtMediaHost::MissingParts() {
  std::string why;
  if (!MidiRenderer::Available(why)) return "MIDI: " + why;
  return {};
}

void QtMediaHost::SetFirstSamplesObserver(std::function<void(int)> f) { d_->firstSamples = std::move(f); }

int QtMediaHost::StartSound(const std::string& nativePath, int64_t fromMs, AnsiString& error) {
  std::ifstream probe(nativePath, std::ios::binary);
  char sig[12] = {};
  probe.read(sig, sizeof sig);
  MediaFormat format = SniffMediaFormat(std::string_view(sig, static_cast<size_t>(probe.gcount())));
  int handle = ++d_->next;
  Impl::Sound s;
  std::function<void()> first = [this, handle] {
    if (d_->firstSamples) d_->firstSamples(handle);
  };
  QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (format == MediaFormat::Midi) {
    if (!d_->MidiUsable(error)) return 0;
    std::string e;
    if (!d_->midi.Start(nativePath, fromMs, e)) {
      error = e;
      return 0;
    }
    // One synthesizer: a new MIDI file takes it over from the last.
    if (d_->midiHandle) StopSound(d_->midiHandle);
    d_->midiHandle = handle;
    QAudioFormat f = FormatOf(MidiRenderer::kRate, 2, QAudioFormat::Int16);
    s.midi = true;
    s.sink = std::make_unique<QAudioSink>(device, f);
    s.sink->setBufferSize(SinkBuffer(f));
    s.source = std::make_unique<MidiSource>(d_->midi);
  } else if (PcmWave w; format == MediaFormat::Wave && ReadPcmWave(nativePath, w)) {
    QAudioFormat f = FormatOf(w.rate, w.channels,
                              w.isFloat ? QAudioFormat::Float
                                        : (w.bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16));
    qint64 from = f.bytesForDuration(fromMs * 1000);
    from -= from % f.bytesPerFrame();
    s.sink = std::make_unique<QAudioSink>(device, f);
    s.sink->setBufferSize(SinkBuffer(f));
    s.source = std::make_unique<WaveSource>(std::move(w.samples), from);
  } else {
    // Compressed waves, MP3 and Ogg: Qt's media player decodes them.
    s.output = std::make_unique<QAudioOutput>(device);
    s.player = std::make_unique<QMediaPlayer>();
    s.player->setAudioOutput(s.output.get());
    s.player->setSource(QUrl::fromLocalFile(QString::fromStdString(nativePath)));
    if (s.player->error() != QMediaPlayer::NoError) {
      error = s.player->errorString().toStdString();
      return 0;
    }
    if (fromMs > 0) s.player->setPosition(fromMs);
    QObject::connect(s.player.get(), &QMediaPlayer::positionChanged, s.player.get(), [first](qint64 p) mutable {
      if (p > 0 && first) {
        auto f = std::move(first);
        first = nullptr;
        f();
      }
    });
  }
  Impl::Sound& kept = d_->sounds[handle] = std::move(s);
  d_->ApplyVolumes();
  if (kept.sink) {
    kept.first = first;
    kept.io = kept.sink->start();
    if (!kept.io || kept.sink->error() == QAudio::OpenError) {
      error = "the audio sink cannot be opened";
      d_->sounds.erase(handle);
      if (d_->midiHandle == handle) d_->midiHandle = 0;
      return 0;
    }
    d_->Feed(handle);
  } else {
    kept.player->play();
  }
  return handle;
}

void QtMediaHost::StopSound(int handle) {
  auto it = d_->sounds.find(handle);
  if (it == d_->sounds.end()) return;
  if (it->second.timer) TheClock().CancelTimer(it->second.timer);
  if (it->second.sink) it->second.sink->stop();
  if (it->second.player) it->second.player->stop();
  if (handle == d_->midiHandle) {
    d_->midi.Stop();
    d_->midiHandle = 0;
  }
  d_->sounds.erase(it);
}

void QtMediaHost::SoundEnded(int handle) {
  auto it = d_->sounds.find(handle);
  if (it == d_->sounds.end()) return;
  Impl::Sound& s = it->second;
  // Only the sinks we feed lag the clock by what they hold; Qt's player
  // has ended by itself.
  if (!s.sink || !s.io) {
    StopSound(handle);
    return;
  }
  s.drainUntil = TheClock().NowMs() + 3000;
  if (!s.timer) s.timer = TheClock().StartTimer(10, [this, handle] { d_->Feed(handle); });
}

void QtMediaHost::Tone(int hz, int ms) {
  // Finished tones are let go here rather than from a signal: a tone lives
  // a few hundred milliseconds and a beep rarely comes alone.
  auto& tones = d_->tones;
  tones.erase(std::remove_if(tones.begin(), tones.end(),
                             [](const std::unique_ptr<QAudioSink>& t) {
                               return t->state() == QAudio::IdleState || t->state() == QAudio::StoppedState;
                             }),
              tones.end());
  if (hz <= 0 || ms <= 0) return;
  const int rate = 44100;
  QAudioFormat f = FormatOf(rate, 1, QAudioFormat::Int16);
  int frames = rate * ms / 1000;
  QByteArray pcm(frames * 2, Qt::Uninitialized);
  auto* out = reinterpret_cast<int16_t*>(pcm.data());
  // A square wave like the speaker's, at a third of full scale, with 2 ms
  // ramps so it neither clicks in nor out.
  const int ramp = rate / 500;
  double period = double(rate) / hz;
  for (int i = 0; i < frames; ++i) {
    double env = std::min({1.0, double(i) / ramp, double(frames - i) / ramp});
    out[i] = static_cast<int16_t>((std::fmod(i, period) < period / 2 ? 10000 : -10000) * env);
  }
  auto sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), f);
  sink->setBufferSize(pcm.size());
  sink->setVolume(float(d_->volumes[0]) / 65535.f);
  QIODevice* io = sink->start();
  if (!io) return;
  io->write(pcm);
  tones.push_back(std::move(sink));
}

bool QtMediaHost::LineVolume(MixerLine line, uint16_t& value) {
  value = d_->volumes[static_cast<int>(line) & 7];
  return true;
}

bool QtMediaHost::SetLineVolume(MixerLine line, uint16_t value) {
  d_->volumes[static_cast<int>(line) & 7] = value;
  d_->ApplyVolumes();
  return true;
}

#else  // no Qt Multimedia: every file is refused, saying so

bool RealMediaHostBuilt() { return false; }

struct QtMediaHost::Impl {
  SilentMediaHost volumes;
};
QtMediaHost::QtMediaHost() : d_(std::make_unique<Impl>()) {}
QtMediaHost::~QtMediaHost() = default;
std::string QtMediaHost::MissingParts() { return "all sound: this player was built without Qt Multimedia"; }
void QtMediaHost::SetFirstSamplesObserver(std::function<void(int)>) {}
int QtMediaHost::StartSound(const std::string&, int64_t, AnsiString& error) {
  error = "this player was built without Qt Multimedia";
  return 0;
}
void QtMediaHost::StopSound(int) {}
void QtMediaHost::SoundEnded(int) {}
void QtMediaHost::Tone(int, int) {}
bool QtMediaHost::LineVolume(MixerLine line, uint16_t& value) { return d_->volumes.LineVolume(line, value); }
bool QtMediaHost::SetLineVolume(MixerLine line, uint16_t value) { return d_->volumes.SetLineVolume(line, value); }

#endif

}  // namespace vl
