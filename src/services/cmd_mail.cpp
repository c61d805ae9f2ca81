// SendMail: a message straight to an SMTP server, with its progress in
// [MailProgress] and the progress window, every failure in [LastError]. The
// command waits for the dialogue on the one clock (services/SmtpClient.h);
// one network transfer runs at a time, and the close of the player asks
// first while a mail is on its way (services/NetLifecycle.cpp).
#include <memory>

#include "actions/CommandApi.h"
#include "actions/DateTime.h"
#include "actions/FastNumber.h"
#include "actions/SpecialVarCheck.h"
#include "actions/Vars.h"
#include "platform/RegistryStore.h"
#include "platform/WinPath.h"
#include "runtime/Clock.h"
#include "runtime/Global.h"
#include "runtime/Messages.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"
#include "runtime/Trace.h"
#include "services/HttpHead.h"
#include "services/MailMessage.h"
#include "services/NetHost.h"
#include "services/SmtpClient.h"
#include "services/Transfers.h"
#include "windows/InputBox.h"
#include "windows/MailProgress.h"

namespace vl {
namespace {

AnsiString Var(std::string_view name) { return GetVariableValue(name, NowDateTime()); }

bool IsFalse(std::string_view v) {
  v = TrimView(v);
  return SameTextInvariant(v, "False") || SameTextInvariant(v, "No") || SameTextInvariant(v, "0") ||
         SameTextInvariant(v, "F");
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// The registry's account of the default mail program, where one exists.
AnsiString DetectedServer() {
  RegistryStore& reg = UserRegistry();
  auto account = reg.Read(RegRoot::CurrentUser, "Software\\Microsoft\\Internet Account Manager", "Default Mail Account");
  if (!account || !account->IsString() || account->data.empty()) return {};
  auto server = reg.Read(RegRoot::CurrentUser,
                         "Software\\Microsoft\\Internet Account Manager\\Accounts\\" + account->data, "SMTP Server");
  return server && server->IsString() ? server->data : AnsiString();
}

AnsiString ContentTypeOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) {
    auto v = UserRegistry().Read(RegRoot::ClassesRoot, name.substr(dot), "Content Type");
    if (v && v->IsString() && !v->data.empty()) return v->data;
  }
  return "application/octet-stream";
}

bool IsEmbedded(std::string_view name) {
  const std::string_view prefix = kEmbeddedPrefix;
  return name.size() >= prefix.size() && SameTextInvariant(name.substr(0, prefix.size()), prefix);
}

std::string AttachmentPath(const AnsiString& item) {
  if (IsEmbedded(item)) {
    AnsiString path;
    int err = 0;
    if (ThePackage().ResolveFile(item, path, err) == 0 || path.empty()) return {};
    return HostFilePath(path);
  }
  return HostFilePath(item);
}

// The lines of a message text: "|" and every kind of line break end a line,
// so no bare CR or LF reaches the server.
std::vector<AnsiString> BodyLines(std::string_view text) {
  std::vector<AnsiString> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '|' || ch == '\n' || ch == '\r') {
      if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += ch;
    }
  }
  return lines;
}

struct MailRun {
  bool cancelled = false;
  bool windowShown = false;
};

void DoSendMail(CommandContext& c) {
  TransferState& ts = Transfers();
  if (ts.mailBusy || ts.transferBusy) {
    SetLastError(Msg(349));
    return;
  }
  ts.mailBusy = ts.transferBusy = true;
  const bool showProgress = !SameTextInvariant(c.Arg(6), "HideProgress");
  SetLastError("");
  const NetTexts& nt = NetPublicationTexts();
  AnsiString& server = MailServerSetting();
  bool& known = MailServerKnown();
  bool sent = false;
  MailRun run;
  auto finish = [&] {
    SetVariable("MailProgress", "");
    ts.mailBusy = ts.transferBusy = false;
    trace::Record({"mail", sent ? "ok" : "failed", c.Arg(1)});
  };

  if (server.empty() || SameTextInvariant(server, "DETECT")) server = DetectedServer();
  if (!known || server.empty()) {
    server = InputDialog(nt.sendEmail, nt.mailServer, server, nt.cancel, nt.ok);
    known = !server.empty();
  }
  if (server.empty()) {
    SetLastError(Msg(249));
    finish();
    return;
  }
  if (!Net().Online() && !IsLoopbackHost(server)) {
    SetLastError(Msg(344));
    finish();
    return;
  }

  auto client = std::make_unique<TSmtpClient>();
  TMailMessage msg;
  SetVariable("MailProgress", "0");
  client->OnError = [&run](int, const AnsiString& text) {
    if (!run.cancelled) SetLastError(text);
  };
  client->OnSendProgress = [&](int percent) {
    if (run.cancelled) return;
    if (SameTextInvariant(Var("MailProgress"), "Cancel") || (run.windowShown && !UpdateProgressWindow(percent))) {
      client->Abort();
      run.cancelled = true;
      SetLastError(Msg(250));
    } else {
      SetVariable("MailProgress", std::to_string(percent));
    }
  };
  client->ShouldStop = [&c] { return c.ShouldStop(); };
  client->Host = server;
  const AnsiString port = Var("MailPort");
  if (!TrimView(port).empty()) {
    int64_t p = 0;
    if (!PlainInteger(TrimView(port), p) || p < 1 || p > 65535) {
      // Not a number is an error here, rather than a silent port 25.
      SetLastError("[MailPort] is not a port number: " + port);
      finish();
      return;
    }
    client->Port = AnsiString(TrimView(port));
  }
  client->UseEhlo = !IsFalse(Var("MailEHLO"));
  client->UseTls = !IsFalse(Var("MailTLS"));

  try {
    // Sender: "Name <a@b>" or "a@b (Name)".
    const AnsiString& sender = c.Arg(2);
    const AnsiString& subject = c.Arg(3);
    if (HasLineBreak(sender) || HasLineBreak(subject) || HasLineBreak(c.Arg(1)))
      throw EMailError("A line break in the sender, the recipients or the subject cannot be sent");
    if (!sender.empty()) {
      AnsiString addr;
      int depth = 0;
      for (char ch : sender) {
        if (ch == '(') ++depth;
        else if (ch == ')' && depth > 0) --depth;
        else if (depth == 0) addr += ch;
      }
      addr = AnsiString(TrimView(addr));
      const size_t lt = addr.find('<'), gt = addr.find('>');
      if (lt != AnsiString::npos && gt != AnsiString::npos && gt > lt) addr = addr.substr(lt + 1, gt - lt - 1);
      msg.From = addr;
      AnsiString name = sender;
      const size_t nlt = name.find('<'), ngt = name.find('>', nlt == AnsiString::npos ? 0 : nlt);
      if (nlt != AnsiString::npos && ngt != AnsiString::npos) name.erase(nlt, ngt - nlt + 1);
      const size_t op = name.find('('), cp = name.find(')', op == AnsiString::npos ? 0 : op);
      if (op != AnsiString::npos && cp != AnsiString::npos) name = name.substr(op + 1, cp - op - 1);
      AnsiString clean;
      for (char ch : name)
        if (ch != '"' && ch != '\'') clean += ch;
      msg.UserName = AnsiString(TrimView(clean));
      const size_t at = msg.From.find('@');
      const size_t cut = at != AnsiString::npos ? at : msg.From.find('.');
      msg.SetLocalHost(cut == AnsiString::npos ? AnsiString() : msg.From.substr(cut + 1));
    }
    msg.SetSendTo(ReplaceAll(c.Arg(1), "|", ","));
    msg.Subject = subject;
    if (AnsiUpper(c.Arg(4)).find("<HTML>") != AnsiString::npos)
      msg.HTML = BodyLines(c.Arg(4));
    else
      msg.Text = BodyLines(c.Arg(4));
    if (!c.Arg(5).empty()) {
      size_t pos = 0;
      AnsiString item;
      while (NextField(c.Arg(5), pos, '|', false, item)) {
        TAttachedFile f;
        const size_t cut = item.find_last_of("\\/:");
        f.name = cut == AnsiString::npos ? item : item.substr(cut + 1);
        f.path = AttachmentPath(item);
        f.contentType = ContentTypeOf(f.name);
        msg.files.push_back(std::move(f));
      }
    }

    if (!client->Connect() || !client->Hello()) {
      // A failed encryption says why: the certificate is the usual reason.
      if (!run.cancelled)
        SetLastError(Msg(248) + " " + server + (client->tlsError.empty() ? "" : " (" + client->tlsError + ")"));
      server.clear();  // asked again next time
      throw EMailError("");
    }
    client->UserId = Var("MailUserID");
    client->UserPasswd = Var("MailUserPassword");
    bool loggedIn = true;
    if (!client->UserId.empty() && !client->UserPasswd.empty() && !client->Login()) {
      if (!run.cancelled) SetLastError(Msg(207));
      loggedIn = false;
    }
    if (loggedIn) {
      if (showProgress) {
        ShowProgressWindow(nt.title, nt.sendEmail, nt.cancel, true, 100);
        run.windowShown = true;
      }
      sent = client->SendMessage(msg, TheClock().WallMs()) && !run.cancelled;
      if (run.windowShown) CloseProgressWindow();
      run.windowShown = false;
    }
  } catch (const EMailError& e) {
    if (!run.cancelled && e.what()[0]) SetLastError(e.what());
  } catch (const std::exception& e) {
    if (!run.cancelled) SetLastError(e.what());
  }
  if (run.windowShown) CloseProgressWindow();
  if (client->connected && !client->failed) client->Quit();
  client.reset();
  finish();
}

const CommandBinder kBind{{cmd::SendMail, DoSendMail}};

}  // namespace
}  // namespace vl
