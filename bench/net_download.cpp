// DownloadFile of a 200 MB file over loopback beside curl fetching the same
// file from the same server (tests/services/servers/http_server.py, which
// sends it with sendfile), in one run. Prints both throughputs and their
// ratio (ours / curl); the goal is at least 0.8. Each is timed twice and the
// better run counts, after one warm-up fetch with curl.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/EvalRun.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int64_t mb = argc > 1 ? std::atoll(argv[1]) : 200;
  const fs::path dir = fs::temp_directory_path() / ("vl-bench-download-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  {
    std::ofstream out(dir / "big.bin", std::ios::binary);
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    for (int64_t i = 0; i < mb; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  QProcess server;
  server.start("/usr/bin/python3", {VL_SOURCE_DIR "/tests/services/servers/http_server.py", "--seconds", "600",
                                    "--requests", "20", "--root", QString::fromStdString(dir.string())});
  if (!server.waitForStarted(5000) || !server.waitForReadyRead(10000)) {
    std::fprintf(stderr, "the HTTP server did not start\n");
    return 2;
  }
  const std::string url = "http://127.0.0.1:" + server.readLine().trimmed().toStdString() + "/file/big.bin";
  const std::string target = (dir / "got.bin").string();

  auto curl = [&] {
    QElapsedTimer t;
    t.start();
    QProcess::execute("curl", {"-s", "-o", QString::fromStdString(target), QString::fromStdString(url)});
    return t.nsecsElapsed() / 1e9;
  };
  auto ours = [&] {
    vl::EvalOptions opt;
    opt.realClock = true;
    QElapsedTimer t;
    t.start();
    const std::string vars =
        vl::EvalActionText("DownloadFile \"" + url + "\" \"" + target + "\" \"HideProgress\"\r\n", opt);
    const double s = t.nsecsElapsed() / 1e9;
    if (fs::file_size(target) != static_cast<uintmax_t>(mb) << 20) std::fprintf(stderr, "download incomplete: %s\n", vars.c_str());
    return s;
  };
  curl();  // warm-up: the file in the page cache, the server's first request
  double c = 1e9, o = 1e9;
  for (int i = 0; i < 2; ++i) {
    o = std::min(o, ours());
    c = std::min(c, curl());
  }
  server.terminate();
  server.waitForFinished(3000);
  fs::remove_all(dir);
  std::printf("download %lld MB over loopback: DownloadFile %.0f MB/s, curl %.0f MB/s, ratio %.2f (goal >= 0.8)\n",
              static_cast<long long>(mb), mb / o, mb / c, c / o);
  return 0;
}
