#pragma once
// The network as the internet and mail commands reach it: TCP connections,
// plain or TLS, whose events are delivered on the interface thread (the
// connections are asynchronous; nothing here blocks), the connectivity the
// system reports, and the desktop's opener for links.
//
//   Net()  NetHost  the host in force: the real one over Qt's sockets unless
//                   another was installed (SetNetHost; nullptr restores it).
//
// A command that waits for a connection waits on the one clock
// (TheClock().RunUntil) under a RealTimeHold (runtime/RealTimeHold.h), so the page stays alive and
// headless runs let their virtual time follow real time meanwhile.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/Ansi.h"

namespace vl {

// What a connection tells its owner. Each may be empty. After `closed` no
// further event comes.
struct NetEvents {
  std::function<void()> connected;  // TCP up, and encrypted when TLS was asked for
  std::function<void()> readable;   // bytes wait to be read
  std::function<void()> written;    // some written bytes have left
  // The connection ended: `error` is empty when the peer closed it normally,
  // else a readable reason (refused, reset, certificate not trusted ...).
  std::function<void(const AnsiString& error)> closed;
};

class NetConnection {
 public:
  virtual ~NetConnection() = default;
  // Bytes that can be read now, and reading up to `max` of them.
  virtual int64_t Available() = 0;
  virtual int64_t Read(char* buf, int64_t max) = 0;
  // Queues bytes for sending; never blocks.
  virtual void Write(std::string_view bytes) = 0;
  // Bytes queued and not yet handed to the system.
  virtual int64_t PendingWrite() = 0;
  // Turns an open plain connection into a TLS one (STARTTLS); `connected`
  // comes again once the handshake is over.
  virtual void StartTls() = 0;
  virtual bool Encrypted() = 0;
  // Closes at once; no event follows.
  virtual void Close() = 0;
  // This side of the connection, once connected.
  virtual AnsiString LocalAddress() = 0;
};

class NetHost {
 public:
  virtual ~NetHost() = default;
  // Starts connecting; events arrive through `events`. `tls`: the whole
  // connection is TLS (https, mail on port 465), checked against the
  // system's certificate store and the host name.
  virtual std::unique_ptr<NetConnection> Connect(const AnsiString& host, uint16_t port, bool tls,
                                                 NetEvents events) = 0;
  // The system reports a network connection beyond loopback.
  virtual bool Online() = 0;
  // This machine's host name (the mail greeting).
  virtual AnsiString LocalHostName() = 0;
  // Opens an address or document with the desktop's program for it; false
  // when that could not be started.
  virtual bool OpenLink(const AnsiString& address) = 0;
};

NetHost& Net();
void SetNetHost(NetHost* host);  // nullptr restores the real host

// The real host: Qt's sockets (QSslSocket, plain or encrypted), the system's
// network interfaces and xdg-open.
class QtNetHost : public NetHost {
 public:
  std::unique_ptr<NetConnection> Connect(const AnsiString& host, uint16_t port, bool tls,
                                         NetEvents events) override;
  bool Online() override;
  AnsiString LocalHostName() override;
  bool OpenLink(const AnsiString& address) override;
  // Certificates (PEM) trusted beside the system's: for servers of a test
  // that made its own authority. Empty restores the system's store alone.
  static void TrustExtraCertificates(const std::string& pemPath);
};

// True for "localhost", 127.x.x.x and ::1: reachable without any network.
bool IsLoopbackHost(std::string_view host);

}  // namespace vl
