#include "platform/InstanceChannel.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <algorithm>
#include <string>

#include "platform/PrivateTemp.h"

namespace vl {
namespace {

void PutU32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

uint32_t GetU32(const char* p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

std::string Frame(char kind, std::string_view body) {
  std::string out;
  PutU32(out, static_cast<uint32_t>(body.size() + 1));
  out.push_back(kind);
  out.append(body);
  return out;
}

// One request and its answer over a fresh connection.
bool Exchange(const AnsiString& name, const std::string& frame, std::string& answer, int timeoutMs) {
  const QString path = TInstanceChannel::SocketPath(name);
  if (path.isEmpty()) return false;
  QLocalSocket s;
  s.connectToServer(path);
  if (!s.waitForConnected(timeoutMs)) return false;
  s.write(frame.data(), static_cast<qint64>(frame.size()));
  if (!s.waitForBytesWritten(timeoutMs)) return false;
  std::string in;
  while (true) {
    if (in.size() >= 4) {
      const uint32_t len = GetU32(in.data());
      if (len == 0 || len > static_cast<uint32_t>(TInstanceChannel::kMaxFrame)) return false;
      if (in.size() >= 4 + len) {
        answer = in.substr(4, len);
        return true;
      }
    }
    if (!s.waitForReadyRead(timeoutMs)) return false;
    const QByteArray more = s.readAll();
    in.append(more.constData(), static_cast<size_t>(more.size()));
  }
}

}  // namespace

struct TInstanceChannel::Peer {
  QLocalSocket* socket = nullptr;
  std::string buffer;
};

TInstanceChannel::TInstanceChannel() = default;

TInstanceChannel::~TInstanceChannel() { Close(); }

QString TInstanceChannel::SocketPath(const AnsiString& name) {
  const std::string folder = PrivateTempFolder();
  if (folder.empty()) return {};
  // A file name of safe characters; long or unusual names keep a hash so
  // that two publications do not meet by accident.
  std::string safe;
  bool changed = false;
  for (unsigned char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    if (c >= 'A' && c <= 'Z') {
      safe.push_back(static_cast<char>(c + 32));  // names compare without case
    } else {
      safe.push_back(ok ? static_cast<char>(c) : '_');
      changed |= !ok;
    }
  }
  if (safe.size() > 40 || changed) {
    uint32_t h = 2166136261u;
    for (unsigned char c : name) h = (h ^ static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c)) * 16777619u;
    safe = safe.substr(0, 40) + "-" + std::to_string(h);
  }
  return QString::fromStdString(folder + "/pub-" + safe + ".sock");
}

bool TInstanceChannel::Alive(const AnsiString& name, int timeoutMs) {
  const QString path = SocketPath(name);
  if (path.isEmpty()) return false;
  QLocalSocket s;
  s.connectToServer(path);
  return s.waitForConnected(timeoutMs);
}

bool TInstanceChannel::Listen(const AnsiString& name) {
  Close();
  const QString path = SocketPath(name);
  if (path.isEmpty()) return false;
  if (QFile::exists(path)) {
    if (Alive(name)) return false;
    QLocalServer::removeServer(path);  // left by a copy that ended abruptly
  }
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(path)) {
    delete server_;
    server_ = nullptr;
    return false;
  }
  connect(server_, &QLocalServer::newConnection, this, [this] { Accept(); });
  return true;
}

bool TInstanceChannel::Listening() const { return server_ && server_->isListening(); }

void TInstanceChannel::Close() {
  for (auto& p : peers_) {
    p->socket->disconnect(this);
    p->socket->deleteLater();
  }
  peers_.clear();
  if (server_) {
    server_->close();
    delete server_;
    server_ = nullptr;
  }
}

void TInstanceChannel::Accept() {
  while (QLocalSocket* s = server_ ? server_->nextPendingConnection() : nullptr) {
    auto peer = std::make_unique<Peer>();
    peer->socket = s;
    Peer* raw = peer.get();
    peers_.push_back(std::move(peer));
    connect(s, &QLocalSocket::readyRead, this, [this, raw] { Read(*raw); });
    connect(s, &QLocalSocket::disconnected, this, [this, raw] {
      auto it = std::find_if(peers_.begin(), peers_.end(), [raw](const auto& p) { return p.get() == raw; });
      if (it == peers_.end()) return;
      (*it)->socket->disconnect(this);
      (*it)->socket->deleteLater();
      peers_.erase(it);
    });
  }
}

void TInstanceChannel::Read(Peer& peer) {
  const QByteArray more = peer.socket->readAll();
  peer.buffer.append(more.constData(), static_cast<size_t>(more.size()));
  while (peer.buffer.size() >= 4) {
    const uint32_t len = GetU32(peer.buffer.data());
    if (len == 0 || len > static_cast<uint32_t>(kMaxFrame)) {
      peer.buffer.clear();
      peer.socket->abort();
      return;
    }
    if (peer.buffer.size() < 4 + len) return;
    const std::string payload = peer.buffer.substr(4, len);
    peer.buffer.erase(0, 4 + len);
    Handle(peer, payload);
  }
}

void TInstanceChannel::Handle(Peer& peer, const std::string& payload) {
  const char kind = payload[0];
  const std::string_view body = std::string_view(payload).substr(1);
  std::string answer;
  switch (kind) {
    case 'C': {
      if (body.size() < 4) {
        peer.socket->abort();
        return;
      }
      const uint32_t count = GetU32(body.data());
      if (onCommandLine) onCommandLine(AnsiString(body.substr(4)), static_cast<int>(std::min<uint32_t>(count, 1u << 16)));
      answer = Frame('A', {});
      break;
    }
    case 'X': {
      size_t pos = 0;
      while (pos <= body.size()) {
        size_t end = body.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = body.size();
        const AnsiString line(body.substr(pos, end - pos));
        if (!line.empty() && line[0] == '[') {
          item_ = expand ? expand(line) : AnsiString();
        } else if (!line.empty() && onMacroLine) {
          onMacroLine(line);
        }
        pos = end + 1;
      }
      answer = Frame('A', {});
      break;
    }
    case 'R': answer = Frame('I', item_); break;
    default:
      peer.socket->abort();
      return;
  }
  peer.socket->write(answer.data(), static_cast<qint64>(answer.size()));
  peer.socket->flush();
}

bool TInstanceChannel::HandOver(const AnsiString& name, const AnsiString& commandLine, int count, int timeoutMs) {
  std::string body;
  PutU32(body, static_cast<uint32_t>(std::max(0, count)));
  body += commandLine;
  std::string answer;
  return Exchange(name, Frame('C', body), answer, timeoutMs) && answer == "A";
}

bool TInstanceChannel::Execute(const AnsiString& name, const AnsiString& macroText, int timeoutMs) {
  std::string answer;
  return Exchange(name, Frame('X', macroText), answer, timeoutMs) && answer == "A";
}

bool TInstanceChannel::Request(const AnsiString& name, AnsiString& item, int timeoutMs) {
  std::string answer;
  if (!Exchange(name, Frame('R', {}), answer, timeoutMs) || answer.empty() || answer[0] != 'I') return false;
  item = answer.substr(1);
  return true;
}

}  // namespace vl
