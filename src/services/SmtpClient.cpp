#include "services/SmtpClient.h"

#include <cmath>

#include "actions/FastNumber.h"
#include "runtime/Clock.h"
#include "runtime/RealTimeHold.h"
#include "runtime/Global.h"
#include "services/HttpHead.h"
#include "services/MailMessage.h"
#include "services/NetHost.h"

namespace vl {
namespace {

// While sending DATA, no more than this waits in the socket's queue: the
// progress then follows what has left, and memory stays flat.
constexpr int64_t kHighWater = 1 << 20;
constexpr int64_t kLowWater = 256 << 10;

bool HasWord(std::string_view text, std::string_view word) {
  AnsiString up = AnsiUpper(text);
  for (char& ch : up)
    if (ch == '=') ch = ' ';
  size_t pos = 0;
  AnsiString w;
  while (NextField(up, pos, ' ', false, w))
    if (w == word) return true;
  return false;
}

}  // namespace

bool IsDottedAddress(std::string_view host) {
  int parts = 0;
  size_t pos = 0;
  while (pos <= host.size()) {
    size_t dot = host.find('.', pos);
    std::string_view p = host.substr(pos, dot == std::string_view::npos ? std::string_view::npos : dot - pos);
    if (p.empty() || p.size() > 3) return false;
    int v = 0;
    for (char ch : p) {
      if (ch < '0' || ch > '9') return false;
      v = v * 10 + (ch - '0');
    }
    if (v > 255) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    pos = dot + 1;
  }
  return parts == 4;
}

TSmtpClient::TSmtpClient() = default;
TSmtpClient::~TSmtpClient() { Close(); }

bool TSmtpClient::WaitConnected() {
  RealTimeHold hold;
  const int64_t deadline = TheClock().NowMs() + kReplyTimeoutMs;
  TheClock().RunUntil(
      [&] {
        if (ShouldStop && ShouldStop()) aborted = true;
        return up_ || closed_ || aborted;
      },
      deadline);
  return up_ && !closed_;
}

bool TSmtpClient::Connect() {
  failed = false;
  aborted = false;
  int64_t port = 25;
  if (!PlainInteger(TrimView(Port), port) || port < 1 || port > 65535) port = 25;
  const bool tls = UseTls && port == 465;
  NetEvents ev;
  ev.connected = [this] { up_ = true; };
  ev.readable = [this] {
    char buf[1024];
    for (int64_t n; conn_ && (n = conn_->Read(buf, sizeof buf)) > 0;) reader_.Feed(std::string_view(buf, n));
  };
  ev.closed = [this](const AnsiString& e) {
    closed_ = true;
    closeError_ = e;
  };
  reader_.Reset();
  up_ = closed_ = false;
  conn_ = Net().Connect(Host, static_cast<uint16_t>(port), tls, std::move(ev));
  if (!WaitConnected()) {
    if (tls && closed_) tlsError = closeError_;
    failed = true;
    Close();
    return false;
  }
  LocalAddr = conn_->LocalAddress();
  LocalHost = Net().LocalHostName();
  connected = true;
  return Expect("220");
}

bool TSmtpClient::Send(const AnsiString& line, bool secret) {
  if (!conn_ || closed_) {
    lastCode.clear();
    lastText = closeError_.empty() ? AnsiString("Connection closed") : closeError_;
    Fail();
    return false;
  }
  conn_->Write(line + "\r\n");
  sent_.push_back(secret ? AnsiString("***") : line);
  return true;
}

bool TSmtpClient::ReadReply() {
  RealTimeHold hold;
  const int64_t deadline = TheClock().NowMs() + kReplyTimeoutMs;
  gotReply_ = false;
  TheClock().RunUntil(
      [&] {
        if (reader_.Next(reply_)) gotReply_ = true;
        if (ShouldStop && ShouldStop()) aborted = true;
        return gotReply_ || closed_ || reader_.Failed() || aborted;
      },
      deadline);
  if (!gotReply_ && reader_.Next(reply_)) gotReply_ = true;
  if (gotReply_) {
    lastCode = reply_.code;
    lastText = reply_.text;
    return true;
  }
  lastCode.clear();
  if (reader_.Failed())
    lastText = "The server's reply cannot be read";
  else if (closed_)
    lastText = closeError_.empty() ? AnsiString("Connection closed") : closeError_;
  else if (aborted)
    lastText.clear();
  else
    lastText = "The operation timed out";
  return false;
}

bool TSmtpClient::Expect(const char* code) {
  if (ReadReply() && lastCode == code) return true;
  Fail();
  return false;
}

bool TSmtpClient::Step(const AnsiString& line, const char* code, bool secret) {
  return Send(line, secret) && Expect(code);
}

void TSmtpClient::Fail(bool raise) {
  const bool wasConnected = connected || conn_;
  failed = true;
  Close();
  if (raise && wasConnected && OnError) OnError(SmtpCodeNumber(lastCode), lastText);
}

void TSmtpClient::Close() {
  if (conn_) {
    conn_->Close();
    spent_.push_back(std::move(conn_));
  }
  connected = false;
}

bool TSmtpClient::Offers(std::string_view extension) const {
  for (const AnsiString& e : extensions_)
    if (HasWord(e, extension)) return true;
  return false;
}

bool TSmtpClient::Greet(const AnsiString& name) {
  extensions_.clear();
  if (UseEhlo) {
    if (!Send("EHLO " + name)) return false;
    if (!ReadReply()) {
      Fail();
      return false;
    }
    if (lastCode == "250") {
      extensions_.assign(reply_.lines.begin() + (reply_.lines.empty() ? 0 : 1), reply_.lines.end());
      return true;
    }
  }
  return Step("HELO " + name, "250");
}

bool TSmtpClient::Hello() {
  AnsiString name = LocalHost;
  if (IsDottedAddress(name))
    name = "[" + name + "]";
  else if (name.find('.') == AnsiString::npos && !IsDottedAddress(Host))
    name += "." + Host;
  if (!Greet(name)) return false;
  if (UseEhlo && UseTls && Offers("STARTTLS") && !conn_->Encrypted()) {
    if (!Step("STARTTLS", "220")) return false;
    up_ = false;
    reader_.Reset();
    conn_->StartTls();
    if (!WaitConnected() || !conn_->Encrypted()) {
      lastCode.clear();
      lastText = closeError_.empty() ? AnsiString("TLS failed") : closeError_;
      tlsError = lastText;
      Fail();
      return false;
    }
    return Greet(name);
  }
  return true;
}

bool TSmtpClient::Login() {
  if (!connected) throw EMailError("Invalid Op. Not connected.");
  AnsiString mechanisms;
  for (const AnsiString& e : extensions_)
    if (AnsiUpper(e).rfind("AUTH", 0) == 0) mechanisms += " " + e.substr(4);
  if (HasWord(mechanisms, "PLAIN"))
    return Step("AUTH PLAIN " + Base64(AnsiString(1, '\0') + UserId + AnsiString(1, '\0') + UserPasswd), "235", true);
  if (!Send("AUTH LOGIN")) return false;
  if (!ReadReply()) {
    Fail();
    return false;
  }
  // A server that will not take AUTH LOGIN gets the mail without a login:
  // the password is never sent in any other way.
  if (lastCode != "334") return true;
  return Step(Base64(UserId), "334", true) && Step(Base64(UserPasswd), "235", true);
}

bool TSmtpClient::SendMessage(TMailMessage& msg, int64_t wallMs) {
  if (!connected) throw EMailError("Not connected.");
  if (msg.From.empty()) throw EMailError("\"From\" field not specified.");
  const AnsiString sendTo = msg.SendTo();
  if (sendTo.empty()) throw EMailError("\"SendTo\" field not specified.");
  msg.date = MailDateText(wallMs);
  if (msg.rawMail.empty()) msg.FillRawMail(wallMs);
  if (aborted) return false;
  if (!Step("MAIL FROM:<" + msg.From + ">", "250")) return false;
  for (const AnsiString& to : EnvelopeRecipients(sendTo))
    if (!Step("RCPT TO:<" + to + ">", "250")) return false;
  if (!Step("DATA", "354")) return false;
  const size_t count = msg.rawMail.size();
  int next = SendProgressStep > 0 ? SendProgressStep : 10;
  int lastPercent = -1;
  std::string chunk;
  for (size_t i = 0; i < count; ++i) {
    chunk += msg.rawMail[i];
    chunk += "\r\n";
    const int percent = static_cast<int>(std::lround((i + 1) * 100.0 / count));
    const bool report = percent >= next;
    if (chunk.size() >= 64 * 1024 || report || i + 1 == count) {
      if (closed_ || !conn_) {
        lastCode.clear();
        lastText = closeError_.empty() ? AnsiString("Connection closed") : closeError_;
        Fail();
        return false;
      }
      conn_->Write(chunk);
      chunk.clear();
      if (conn_->PendingWrite() > kHighWater) {
        RealTimeHold hold;
        TheClock().RunUntil(
            [&] {
              if (ShouldStop && ShouldStop()) aborted = true;
              return closed_ || aborted || !conn_ || conn_->PendingWrite() < kLowWater;
            },
            -1);
      } else {
        TheClock().Yield();
      }
    }
    if (report) {
      while (percent >= next) next += SendProgressStep > 0 ? SendProgressStep : 10;
      lastPercent = percent;
      if (OnSendProgress) OnSendProgress(percent);
    }
    if (ShouldStop && ShouldStop()) aborted = true;
    if (aborted) return false;
  }
  if (!Step(".", "250")) return false;
  if (!Step("RSET", "250")) return false;
  if (lastPercent < 100 && OnSendProgress) OnSendProgress(100);
  return true;
}

void TSmtpClient::Quit() {
  if (!connected) return;
  if (aborted) {
    Close();
    return;
  }
  if (Step("QUIT", "221")) Close();
}

}  // namespace vl
