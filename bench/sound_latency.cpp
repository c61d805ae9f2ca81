// How soon a sound starts, and how fast MIDI is synthesised.
//
// On a PulseAudio server of its own (a null sink, nothing of the machine's
// sound touched) it times, 50 times each and prints the medians:
//  - PlaySoundFile's path (the media list's StartMedia, as the command runs
//    it) to the first samples handed to the audio sink, for a wave and for
//    a MIDI file;
//  - the same starts to the first sound heard on the sink's monitor, beside
//    `paplay` of the same wave timed the same way (the floor);
// and the real-time factor of synthesising a dense MIDI file (rendered as
// fast as it goes, without a sink).
//
//   bench_sound_latency [WAVE] [MIDI]
#include <QCoreApplication>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "media/MediaHost.h"
#include "media/MediaList.h"
#include "media/MidiSynth.h"
#include "media/QtMediaHost.h"
#include "runtime/Clock.h"
#include "support/ChildProcess.h"
#include "support/PrivateAudio.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using Clk = std::chrono::steady_clock;

namespace {

double Ms(Clk::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Reads the sink's monitor continuously and notes when sound first arrives
// after being armed.
class MonitorWatch {
 public:
  explicit MonitorWatch(const std::string& raw) : raw_(raw) {}
  bool Start() {
    f_ = std::fopen(raw_.c_str(), "rb");
    if (!f_) return false;
    th_ = std::thread([this] { Loop(); });
    return true;
  }
  ~MonitorWatch() {
    quit_ = true;
    if (th_.joinable()) th_.join();
    if (f_) std::fclose(f_);
  }
  void Arm() {
    heard_ = Clk::time_point::min().time_since_epoch().count();
    armed_ = true;
  }
  bool Heard(Clk::time_point& at) {
    auto v = heard_.load();
    if (v == Clk::time_point::min().time_since_epoch().count()) return false;
    at = Clk::time_point(Clk::duration(v));
    return true;
  }

 private:
  // parec writes into a FIFO; 2 ms reads keep the stamp close.
  void Loop() {
    int16_t buf[176];
    while (!quit_) {
      size_t n = std::fread(buf, 2, 176, f_);
      if (n == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        clearerr(f_);
        continue;
      }
      if (!armed_) continue;
      for (size_t i = 0; i < n; ++i)
        if (std::abs(buf[i]) > 300) {
          heard_ = Clk::now().time_since_epoch().count();
          armed_ = false;
          break;
        }
    }
  }
  std::string raw_;
  FILE* f_ = nullptr;
  std::thread th_;
  std::atomic<bool> quit_{false}, armed_{false};
  std::atomic<Clk::rep> heard_{Clk::time_point::min().time_since_epoch().count()};
};

// Waits (running the event loop) until `done` or 3 s.
bool RunFor(const std::function<bool()>& done) {
  return vl::TheClock().RunUntil(done, vl::TheClock().NowMs() + 3000);
}

void Settle() {
  // Lets the sink drain so the next start begins from silence.
  vl::TheClock().Sleep(250);
}

// A MIDI file of `seconds` with eight-note chords on four channels changing
// every quarter second: denser than most publications' music.
std::string DenseMidi(int seconds) {
  std::string trk;
  auto vlq = [&](uint32_t v) {
    char b[5];
    int n = 0;
    b[n++] = v & 0x7F;
    while (v >>= 7) b[n++] = static_cast<char>(0x80 | (v & 0x7F));
    while (n) trk.push_back(b[--n]);
  };
  const int chords = seconds * 4;
  for (int ch = 0; ch < 4; ++ch) {
    vlq(0);
    trk += {static_cast<char>(0xC0 | ch), static_cast<char>(ch * 8)};
  }
  for (int c = 0; c < chords; ++c) {
    for (int i = 0; i < 8; ++i) {
      vlq(0);
      trk += {static_cast<char>(0x90 | (i % 4)), static_cast<char>(48 + (c * 3 + i * 5) % 36), 100};
    }
    for (int i = 0; i < 8; ++i) {
      vlq(i == 0 ? 120 : 0);  // 480 ticks a quarter at 120 bpm: 120 ticks = 125 ms
      trk += {static_cast<char>(0x80 | (i % 4)), static_cast<char>(48 + (c * 3 + i * 5) % 36), 0};
    }
    vlq(120);
    trk += {static_cast<char>(0xB0), 7, 100};
  }
  vlq(0);
  trk += "\xFF\x2F";
  trk.push_back(0);
  std::string f("MThd\0\0\0\6\0\0\0\1\1\xE0", 14);
  f += "MTrk";
  for (int s = 24; s >= 0; s -= 8) f.push_back(static_cast<char>((trk.size() >> s) & 0xFF));
  return f + trk;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path src = VL_SOURCE_DIR;
  const std::string wave = argc > 1 ? argv[1] : (src / "tests/scenarios/sound-wait/pub/tone.wav").string();
  const std::string midi = argc > 2 ? argv[2] : (src / "tests/scenarios/sound-wait/pub/tune.mid").string();
  vltest::TempDir dir;

  // The real-time factor needs no server.
  {
    std::string why;
    if (!vl::MidiRenderer::Available(why)) {
      std::printf("midi synthesis: not available (%s)\n", why.c_str());
    } else {
      const int seconds = 60;
      vltest::WriteFileBytes(dir / "dense.mid", DenseMidi(seconds));
      vl::MidiRenderer r;
      std::string e;
      auto t0 = Clk::now();
      bool ok = r.Init(e);
      auto t1 = Clk::now();
      ok = ok && r.Start((dir / "dense.mid").string(), 0, e);
      std::vector<int16_t> buf(2 * 1024);
      int64_t frames = 0;
      auto t2 = Clk::now();
      while (ok && r.Render(buf.data(), 1024)) frames += 1024;
      auto t3 = Clk::now();
      double audio = double(frames) / vl::MidiRenderer::kRate;
      std::printf("soundfont load: %.1f ms (%s)\n", Ms(t1 - t0), vl::MidiRenderer::SoundFontPath().c_str());
      std::printf("midi synthesis: %.1f s of dense MIDI in %.1f ms: %.0fx real time (goal >= 20x)\n", audio,
                  Ms(t3 - t2), audio * 1000 / Ms(t3 - t2));
    }
  }

  for (const char* p : {"pulseaudio", "pactl", "parec", "paplay"})
    if (!vltest::HaveProgram(p)) {
      std::printf("latency: skipped, %s is not installed\n", p);
      return 0;
    }
  vltest::PrivateAudio audio(dir.path());
  if (!audio.Ready()) {
    std::printf("latency: skipped, no private PulseAudio server: %s\n", audio.Why().c_str());
    return 0;
  }
  for (const auto& [k, v] : audio.ClientEnv()) setenv(k.c_str(), v.c_str(), 1);
  const std::string fifo = (dir / "monitor.fifo").string();
  mkfifo(fifo.c_str(), 0600);
  vltest::ChildProcess rec({"sh", "-c",
                            "exec parec -d " + vltest::PrivateAudio::MonitorName() +
                                " --raw --format=s16le --rate=44100 --channels=2 --latency-msec=2 > " + fifo},
                           audio.ClientEnv(), (dir / "parec.txt").string());
  MonitorWatch mon(fifo);
  if (!mon.Start()) return 1;

  QCoreApplication app(argc, argv);
  vl::QtMediaHost host;
  vl::SetMediaHost(&host);
  Clk::time_point handed;
  bool gotFirst = false;
  host.SetFirstSamplesObserver([&](int) {
    handed = Clk::now();
    gotFirst = true;
  });
  // One start to warm the sink and the soundfont, not counted.
  for (const std::string& f : {wave, midi}) {
    vl::StartMedia(f, vl::kMediaNormal, true, {});
    RunFor([&] { return gotFirst; });
    vl::StopMedia("");
    Settle();
  }

  const int kRuns = 50;
  for (const std::string& f : {wave, midi}) {
    std::vector<double> toSink, toMonitor;
    for (int i = 0; i < kRuns; ++i) {
      gotFirst = false;
      mon.Arm();
      Clk::time_point heard, t0 = Clk::now();
      vl::StartMedia(f, vl::kMediaNormal, true, {});
      RunFor([&] { return gotFirst && mon.Heard(heard); });
      if (gotFirst) toSink.push_back(Ms(handed - t0));
      if (mon.Heard(heard)) toMonitor.push_back(Ms(heard - t0));
      vl::StopMedia("");
      Settle();
    }
    std::printf("%s: PlaySoundFile to first samples handed to the sink: median %.2f ms (%zu runs)\n",
                fs::path(f).filename().c_str(), Median(toSink), toSink.size());
    std::printf("%s: PlaySoundFile to first sound on the sink's monitor: median %.2f ms (%zu runs)\n",
                fs::path(f).filename().c_str(), Median(toMonitor), toMonitor.size());
    if (f == wave) {
      std::vector<double> floor;
      for (int i = 0; i < kRuns; ++i) {
        mon.Arm();
        Clk::time_point heard, t0 = Clk::now();
        vltest::ChildProcess pa({"paplay", "--latency-msec=40", wave}, audio.ClientEnv(),
                                (dir / "paplay.txt").string());
        while (!mon.Heard(heard) && Clk::now() - t0 < std::chrono::seconds(3))
          std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (mon.Heard(heard)) floor.push_back(Ms(heard - t0));
        pa.Stop();
        Settle();
      }
      double m = Median(floor);
      std::printf("%s: paplay to first sound on the sink's monitor (floor): median %.2f ms (%zu runs)\n",
                  fs::path(f).filename().c_str(), m, floor.size());
      std::printf("%s: ratio to the floor: %.2fx (goal <= 1.5x)\n", fs::path(f).filename().c_str(),
                  Median(toMonitor) / m);
    }
  }
  vl::SetMediaHost(nullptr);
  return 0;
}
