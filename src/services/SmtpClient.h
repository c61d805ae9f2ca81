#pragma once
// The SMTP client of SendMail (`TSmtpClient`). Its operations read as the
// dialogue goes (connect, greet, log in, send, quit) and each returns when
// its replies are in; meanwhile they wait on the one clock, so the page,
// timers and other actions go on (one of them may cancel by writing "Cancel"
// to [MailProgress]). The connection is the network host's.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Ansi.h"
#include "services/SmtpReply.h"

namespace vl {

class NetConnection;
class TMailMessage;

class TSmtpClient {
 public:
  // A server that says nothing for this long has failed.
  static constexpr int64_t kReplyTimeoutMs = 60000;

  AnsiString Host;
  AnsiString Port = "25";
  AnsiString LocalHost;  // this machine's name, once connected
  AnsiString LocalAddr;  // this side's address, once connected
  AnsiString UserId, UserPasswd;
  int SendProgressStep = 10;
  // Beyond the classic dialogue: EHLO (else HELO alone), and with it
  // STARTTLS when offered, TLS from the start on port 465 and AUTH PLAIN.
  bool UseEhlo = true;
  bool UseTls = true;

  bool connected = false;
  bool aborted = false;
  bool failed = false;
  AnsiString lastCode, lastText;
  // Why the encryption failed (a certificate the system does not trust...),
  // empty when it did not.
  AnsiString tlsError;

  // A step's reply was not the one expected: its code (0 when not a number)
  // and text.
  std::function<void(int code, const AnsiString& text)> OnError;
  std::function<void(int percent)> OnSendProgress;
  // The action's stop request: waiting ends.
  std::function<bool()> ShouldStop;

  TSmtpClient();
  ~TSmtpClient();

  // Opens the connection and reads the greeting ("220").
  bool Connect();
  // HELO (or EHLO, then STARTTLS when offered): "250".
  bool Hello();
  // Throws EMailError("Invalid Op. Not connected.") when not connected.
  bool Login();
  // Throws EMailError for the message's own faults.
  bool SendMessage(TMailMessage& msg, int64_t wallMs);
  void Quit();
  void Abort() { aborted = true; }
  // The commands sent, for traces of the dialogue ("AUTH LOGIN", the login
  // lines as "***").
  const std::vector<AnsiString>& Sent() const { return sent_; }

 private:
  bool Send(const AnsiString& line, bool secret = false);
  bool ReadReply();
  bool Expect(const char* code);
  bool Step(const AnsiString& line, const char* code, bool secret = false);
  void Fail(bool raise = true);
  void Close();
  bool WaitConnected();
  bool Greet(const AnsiString& name);
  bool Offers(std::string_view extension) const;

  std::unique_ptr<NetConnection> conn_;
  std::vector<std::unique_ptr<NetConnection>> spent_;
  SmtpReplyReader reader_;
  SmtpReply reply_;
  bool gotReply_ = false;
  bool up_ = false;
  bool closed_ = false;
  AnsiString closeError_;
  std::vector<AnsiString> extensions_;
  std::vector<AnsiString> sent_;
};

// True for a dotted IPv4 address of four numbers 0..255.
bool IsDottedAddress(std::string_view host);

}  // namespace vl
