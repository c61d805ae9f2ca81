#pragma once
// A real server of the test's own, started from tests/services/servers as a
// child process on 127.0.0.1: it prints its port as its first line and ends
// by itself after a time and a number of requests; the test stops it anyway
// when done.
#include <QProcess>
#include <QStringList>
#include <string>

namespace vltest {

class ServerProcess {
 public:
  // `script` is a file of tests/services/servers; `args` are its options.
  ServerProcess(const char* script, QStringList args = {}) {
    p_.setProgram(QStringLiteral("/usr/bin/python3"));
    args.prepend(QStringLiteral(VL_SOURCE_DIR "/tests/services/servers/") + QString::fromLatin1(script));
    p_.setArguments(args);
    p_.setProcessChannelMode(QProcess::SeparateChannels);
    p_.start();
    if (!p_.waitForStarted(5000)) return;
    while (!p_.canReadLine() && p_.waitForReadyRead(10000)) {
    }
    port_ = QString::fromLatin1(p_.readLine()).trimmed().toInt();
  }
  ~ServerProcess() { Stop(); }
  void Stop() {
    if (p_.state() == QProcess::NotRunning) return;
    p_.terminate();
    if (!p_.waitForFinished(3000)) {
      p_.kill();
      p_.waitForFinished(3000);
    }
  }
  int Port() const { return port_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // What the server wrote after its port line (its records, when it keeps any).
  std::string Output() {
    p_.waitForReadyRead(100);
    return p_.readAllStandardOutput().toStdString();
  }
  QProcess& Process() { return p_; }

 private:
  QProcess p_;
  int port_ = 0;
};

// A self-signed certificate for 127.0.0.1, made by openssl.
inline bool MakeTestCertificate(const std::string& certPath, const std::string& keyPath) {
  QProcess openssl;
  openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                            "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", QString::fromStdString(keyPath),
                            "-out", QString::fromStdString(certPath)});
  return openssl.waitForFinished(30000) && openssl.exitCode() == 0;
}

}  // namespace vltest
