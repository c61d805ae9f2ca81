// The media command strings on hostile text: each line of the input is one
// command sent to a device table on the virtual clock; some time passes
// between them. Every device opens the same small wave, so plays end.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include <unistd.h>

#include "media/Mci.h"
#include "runtime/Clock.h"

using namespace vl;

namespace {
std::string WavePath() {
  // 0.5 s of 8 kHz 8-bit mono silence.
  static const std::string path = [] {
    std::string p = "/tmp/vl-fuzz-mci-" + std::to_string(getpid()) + ".wav";
    std::string data(4000, '\x80');
    auto le = [](uint32_t v, int n) {
      std::string s;
      for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
      return s;
    };
    std::string w = "RIFF" + le(36 + 4000, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(8000, 4) +
                    le(8000, 4) + le(1, 2) + le(8, 2) + "data" + le(4000, 4) + data;
    if (FILE* f = std::fopen(p.c_str(), "wb")) {
      std::fwrite(w.data(), 1, w.size(), f);
      std::fclose(f);
    }
    return p;
  }();
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    InstallClock(MakeVirtualClock(0));
    return true;
  }();
  (void)ready;
  TMciDevices mci;
  mci.SetFileResolver([](const AnsiString& name) { return name.empty() ? std::string() : WavePath(); });
  std::string_view in(reinterpret_cast<const char*>(data), size);
  int lines = 0;
  while (!in.empty() && lines++ < 64) {
    size_t nl = in.find('\n');
    std::string_view line = in.substr(0, nl);
    in = nl == std::string_view::npos ? std::string_view() : in.substr(nl + 1);
    MciReply r = mci.Send(line, [] { return false; });
    if (r.code && MciErrorText(r.code).empty()) __builtin_trap();
    int64_t until = TheClock().NowMs() + static_cast<int64_t>(line.size()) * 37;
    TheClock().RunUntil([] { return false; }, until);
  }
  mci.CloseAll();
  return 0;
}
