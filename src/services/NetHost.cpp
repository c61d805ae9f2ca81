#include "services/NetHost.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringList>
#include <QUrl>

#include "runtime/Global.h"

namespace vl {
namespace {

QList<QSslCertificate>& ExtraCertificates() {
  static QList<QSslCertificate> certs;
  return certs;
}

// One connection over a QSslSocket (a plain TCP socket until encryption is
// asked for). Events are forwarded from the socket's signals, which Qt
// delivers on the thread that made the socket: the interface thread.
class QtConnection final : public NetConnection {
 public:
  QtConnection(const AnsiString& host, uint16_t port, bool tls, NetEvents ev)
      : ev_(std::move(ev)), host_(AnsiToQString(host)) {
    s_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (!ExtraCertificates().isEmpty()) {
      QSslConfiguration conf = s_.sslConfiguration();
      auto certs = conf.caCertificates();
      certs += ExtraCertificates();
      conf.setCaCertificates(certs);
      s_.setSslConfiguration(conf);
    }
    QObject::connect(&s_, &QSslSocket::connected, [this] {
      if (!wantTls_ && ev_.connected) ev_.connected();
    });
    QObject::connect(&s_, &QSslSocket::encrypted, [this] {
      if (ev_.connected) ev_.connected();
    });
    QObject::connect(&s_, &QSslSocket::readyRead, [this] {
      if (ev_.readable) ev_.readable();
    });
    QObject::connect(&s_, &QSslSocket::bytesWritten, [this](qint64) {
      if (ev_.written) ev_.written();
    });
    QObject::connect(&s_, &QSslSocket::encryptedBytesWritten, [this](qint64) {
      if (ev_.written) ev_.written();
    });
    QObject::connect(&s_, &QSslSocket::sslErrors, [this](const QList<QSslError>& errors) {
      // Never ignored: a certificate the system does not trust ends the
      // connection with the reason.
      Fail(errors.isEmpty() ? QStringLiteral("TLS error") : errors.first().errorString());
    });
    QObject::connect(&s_, &QSslSocket::errorOccurred, [this](QAbstractSocket::SocketError e) {
      if (e == QAbstractSocket::RemoteHostClosedError) {
        Finish(QString());
        return;
      }
      Fail(s_.errorString());
    });
    QObject::connect(&s_, &QSslSocket::disconnected, [this] { Finish(QString()); });
    wantTls_ = tls;
    if (tls)
      s_.connectToHostEncrypted(host_, port);
    else
      s_.connectToHost(host_, port);
  }

  ~QtConnection() override { Close(); }

  int64_t Available() override { return s_.bytesAvailable(); }
  int64_t Read(char* buf, int64_t max) override {
    const qint64 n = s_.read(buf, max);
    return n < 0 ? 0 : n;
  }
  void Write(std::string_view bytes) override {
    if (!closed_) s_.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
  int64_t PendingWrite() override { return s_.bytesToWrite() + s_.encryptedBytesToWrite(); }
  void StartTls() override {
    wantTls_ = true;
    s_.setPeerVerifyName(host_);
    s_.startClientEncryption();
  }
  bool Encrypted() override { return s_.isEncrypted(); }
  // May be called from inside one of our events: the handlers stay alive
  // until the connection is freed, they are only never called again.
  void Close() override {
    if (closed_) return;
    closed_ = true;
    s_.disconnect();
    s_.abort();
  }
  AnsiString LocalAddress() override {
    QHostAddress a = s_.localAddress();
    bool v4 = false;
    const quint32 ip = a.toIPv4Address(&v4);
    if (v4) return QStringToAnsi(QHostAddress(ip).toString());
    return QStringToAnsi(a.toString());
  }

 private:
  void Fail(const QString& why) { Finish(why.isEmpty() ? QStringLiteral("Connection failed") : why); }
  void Finish(const QString& why) {
    if (closed_) return;
    closed_ = true;
    auto closed = std::move(ev_.closed);
    // What arrived before the end is still read by the owner.
    if (s_.bytesAvailable() > 0 && ev_.readable) ev_.readable();
    ev_ = {};
    s_.disconnect();
    s_.abort();
    if (closed) closed(QStringToAnsi(why));
  }

  QSslSocket s_;
  NetEvents ev_;
  QString host_;
  bool wantTls_ = false;
  bool closed_ = false;
};

NetHost*& Installed() {
  static NetHost* h = nullptr;
  return h;
}

}  // namespace

std::unique_ptr<NetConnection> QtNetHost::Connect(const AnsiString& host, uint16_t port, bool tls,
                                                  NetEvents events) {
  return std::make_unique<QtConnection>(host, port, tls, std::move(events));
}

bool QtNetHost::Online() {
  for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
    const auto f = i.flags();
    if (!(f & QNetworkInterface::IsUp) || !(f & QNetworkInterface::IsRunning) || (f & QNetworkInterface::IsLoopBack))
      continue;
    for (const QNetworkAddressEntry& e : i.addressEntries())
      if (!e.ip().isLoopback() && !e.ip().isLinkLocal()) return true;
  }
  return false;
}

AnsiString QtNetHost::LocalHostName() { return QStringToAnsi(QHostInfo::localHostName()); }

bool QtNetHost::OpenLink(const AnsiString& address) {
  if (address.empty()) return false;
  return QProcess::startDetached(QStringLiteral("xdg-open"), {AnsiToQString(address)});
}

void QtNetHost::TrustExtraCertificates(const std::string& pemPath) {
  ExtraCertificates().clear();
  if (!pemPath.empty()) ExtraCertificates() = QSslCertificate::fromPath(QString::fromStdString(pemPath));
}

NetHost& Net() {
  static QtNetHost real;
  NetHost* h = Installed();
  return h ? *h : real;
}

void SetNetHost(NetHost* host) { Installed() = host; }

bool IsLoopbackHost(std::string_view host) {
  if (SameTextInvariant(host, "localhost")) return true;
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  QHostAddress a;
  if (!a.setAddress(QString::fromLatin1(host.data(), static_cast<int>(host.size())))) return false;
  return a.isLoopback();
}

}  // namespace vl
