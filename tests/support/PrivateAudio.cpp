#include "support/PrivateAudio.h"

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace vltest {

namespace fs = std::filesystem;

PrivateAudio::PrivateAudio(const fs::path& dir) : dir_(dir) {
  fs::create_directories(dir_ / "run" / "pulse");
  fs::create_directories(dir_ / "home");
  chmod((dir_ / "run").c_str(), 0700);
  std::map<std::string, std::string> env = ClientEnv();
  env.erase("PULSE_SERVER");
  const std::string socket = (dir_ / "run" / "pulse" / "native").string();
  server_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                               "--disallow-module-loading=no", "--log-target=stderr",
                               "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket,
                               "--load=module-null-sink sink_name=vltest rate=44100 channels=2",
                               "--load=module-always-sink"},
      env, (dir_ / "pulseaudio.log").string());
  if (!server_->Started()) {
    why_ = "pulseaudio did not start";
    return;
  }
  const std::string out = (dir_ / "pactl.txt").string();
  for (int i = 0; i < 100; ++i) {
    if (!server_->Running()) break;
    ChildProcess probe({"pactl", "info"}, ClientEnv(), out);
    if (probe.Wait(std::chrono::seconds(5)) == 0) {
      ready_ = true;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::ifstream log(dir_ / "pulseaudio.log");
  std::stringstream s;
  s << log.rdbuf();
  why_ = "pulseaudio did not answer: " + s.str();
}

std::map<std::string, std::string> PrivateAudio::ClientEnv() const {
  return {{"HOME", (dir_ / "home").string()},
          {"XDG_RUNTIME_DIR", (dir_ / "run").string()},
          {"PULSE_RUNTIME_PATH", (dir_ / "run" / "pulse").string()},
          {"PULSE_SERVER", "unix:" + (dir_ / "run" / "pulse" / "native").string()},
          {"PULSE_SINK", "vltest"}};
}

PrivateDisplay::PrivateDisplay(const fs::path& dir) {
  const fs::path out = dir / "xvfb-display.txt";
  // -displayfd picks a free display and writes its number to stdout.
  server_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "800x600x24"},
      std::map<std::string, std::string>{}, out.string());
  for (int i = 0; i < 200 && server_->Running(); ++i) {
    std::ifstream f(out);
    std::string line;
    if (std::getline(f, line) && !line.empty() && f.good() && line.find_first_not_of("0123456789") == std::string::npos) {
      display_ = ":" + line;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

double SoundingFraction(const std::string& raw, int rate, int channels, int* soundingWindows) {
  const size_t window = static_cast<size_t>(rate / 100 * channels);
  const size_t samples = raw.size() / 2;
  size_t windows = 0, loud = 0;
  for (size_t at = 0; at + window <= samples; at += window) {
    double sum = 0;
    for (size_t i = 0; i < window; ++i) {
      int16_t v;
      std::memcpy(&v, raw.data() + 2 * (at + i), 2);
      sum += double(v) * v;
    }
    ++windows;
    if (std::sqrt(sum / window) > 100.0) ++loud;  // about -50 dBFS
  }
  if (soundingWindows) *soundingWindows = static_cast<int>(loud);
  return windows ? double(loud) / windows : 0.0;
}

}  // namespace vltest
