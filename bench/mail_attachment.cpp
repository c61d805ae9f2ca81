// SendMail with a 10 MB attachment to a local SMTP server (aiosmtpd,
// tests/services/servers/smtp_server.py), beside Python's smtplib sending the
// very message our mail became (as the server stored it) to the same server,
// in one run. Prints both times and their ratio (ours / smtplib).
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
  const fs::path dir = fs::temp_directory_path() / ("vl-bench-mail-" + std::to_string(::getpid()));
  fs::create_directories(dir / "store");
  {
    std::ofstream out(dir / "attachment.bin", std::ios::binary);
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    for (int i = 0; i < 10; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  QProcess server;
  server.start("/usr/bin/python3", {VL_SOURCE_DIR "/tests/services/servers/smtp_server.py", "--seconds", "300",
                                    "--store", QString::fromStdString((dir / "store").string())});
  if (!server.waitForStarted(5000) || !server.waitForReadyRead(10000)) {
    std::fprintf(stderr, "the SMTP server did not start\n");
    return 2;
  }
  const std::string port = server.readLine().trimmed().toStdString();
  vl::EvalOptions opt;
  opt.realClock = true;
  QElapsedTimer t;
  t.start();
  const std::string vars = vl::EvalActionText(
      "SetVar \"[MailServer]\" \"127.0.0.1\"\r\nSetVar \"[MailPort]\" \"" + port +
          "\"\r\nSendMail \"bob@example.org\" \"Ann <ann@example.org>\" \"Bench\" \"Attached.\" \"" +
          (dir / "attachment.bin").string() + "\" \"HideProgress\"\r\n",
      opt);
  const double ours = t.nsecsElapsed() / 1e9;
  if (!fs::exists(dir / "store" / "1.eml")) {
    std::fprintf(stderr, "the mail did not arrive:\n%s\n", vars.c_str());
    return 1;
  }
  const std::string script =
      "import smtplib,sys\n"
      "data=open(sys.argv[2],'rb').read()\n"
      "s=smtplib.SMTP('127.0.0.1',int(sys.argv[1]))\n"
      "s.sendmail('ann@example.org',['bob@example.org'],data)\n"
      "s.quit()\n";
  t.restart();
  QProcess::execute("/usr/bin/python3", {"-c", QString::fromStdString(script), QString::fromStdString(port),
                                         QString::fromStdString((dir / "store" / "1.eml").string())});
  const double floor = t.nsecsElapsed() / 1e9;
  const auto size = fs::file_size(dir / "store" / "1.eml");
  server.terminate();
  server.waitForFinished(3000);
  fs::remove_all(dir);
  std::printf("mail with a 10 MB attachment (%.1f MB on the wire): SendMail %.3f s, smtplib %.3f s, ratio %.2f\n",
              size / 1048576.0, ours, floor, ours / floor);
  return 0;
}
