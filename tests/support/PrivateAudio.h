#pragma once
// A PulseAudio server of a test's own: its runtime folder, socket and
// configuration live in a temporary folder, it loads nothing but a null sink
// (whose monitor records what reached it) and the local socket, and it is
// stopped with the object. Nothing of the machine's own sound is touched.
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "support/ChildProcess.h"

namespace vltest {

class PrivateAudio {
 public:
  // Starts the server under `dir`; Ready() says whether it answers (within
  // ten seconds), else Why() says what failed.
  explicit PrivateAudio(const std::filesystem::path& dir);
  bool Ready() const { return ready_; }
  const std::string& Why() const { return why_; }
  // What a client needs in its environment to reach this server only.
  std::map<std::string, std::string> ClientEnv() const;
  // The null sink's monitor, for parec -d.
  static std::string MonitorName() { return "vltest.monitor"; }

 private:
  std::filesystem::path dir_;
  std::unique_ptr<ChildProcess> server_;
  bool ready_ = false;
  std::string why_;
};

// An X server of a test's own (Xvfb on a free display, no TCP).
class PrivateDisplay {
 public:
  explicit PrivateDisplay(const std::filesystem::path& dir);
  bool Ready() const { return !display_.empty(); }
  const std::string& Display() const { return display_; }

 private:
  std::unique_ptr<ChildProcess> server_;
  std::string display_;
};

// 16-bit samples of a raw recording: the fraction of 10 ms windows (at
// `rate` frames a second, `channels` interleaved) whose loudness is above
// about -50 dB of full scale.
double SoundingFraction(const std::string& raw, int rate, int channels, int* soundingWindows = nullptr);

}  // namespace vltest
