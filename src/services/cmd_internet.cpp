// The internet commands: connection state, DownloadFile, InternetGet,
// InternetPost, InternetFileExists and InternetFileSize. A transfer is an
// HTTP request of TVelHTTP over the network host; the command waits for it on
// the one clock, so the page, timers and other actions go on meanwhile (one of
// them may cancel a download by writing "Cancel" to [DownloadProgress]), and
// a second transfer is refused.
#include <memory>

#include "actions/CommandApi.h"
#include "actions/DateTime.h"
#include "actions/FastNumber.h"
#include "actions/Interpreter.h"
#include "actions/Vars.h"
#include "platform/WinPath.h"
#include "runtime/Clock.h"
#include "runtime/RealTimeHold.h"
#include "runtime/Global.h"
#include "runtime/Host.h"
#include "runtime/Messages.h"
#include "runtime/Trace.h"
#include "services/HttpClient.h"
#include "services/NetHost.h"
#include "services/Transfers.h"
#include "windows/MailProgress.h"

namespace vl {
namespace {

AnsiString Var(std::string_view name) { return GetVariableValue(name, NowDateTime()); }

// [HTTPTimeOut] and [HTTPPort]: integers; other text gives `invalid`.
int64_t IntegerVar(std::string_view name, int64_t invalid) {
  const AnsiString v = Var(name);
  int64_t n = 0;
  return PlainInteger(TrimView(v), n) ? n : invalid;
}

bool HasWord(std::string_view options, std::string_view word) { return ContainsText(options, word); }

HttpRequest RequestFor(const AnsiString& url) {
  HttpRequest r;
  r.url = url;
  r.agent = Var("HTTPAgent");
  if (r.agent.empty()) r.agent = NetPublicationTexts().title;
  r.referrer = Var("HTTPReferrer");
  r.user = Var("HTTPUserID");
  r.password = Var("HTTPUserPassword");
  r.timeoutMs = IntegerVar("HTTPTimeOut", 0);
  r.port = IntegerVar("HTTPPort", -1);
  return r;
}

struct Transfer {
  bool withProgress = false;  // DownloadFile and InternetGet: [DownloadProgress] and the window
  bool showWindow = false;
  bool lockInput = true;
  AnsiString method;
};

// Runs `http` to its end (or to the action's stop) with the one-at-a-time
// rule, the input lock and the progress reports. False when refused.
bool RunTransfer(CommandContext& c, TVelHTTP& http, const Transfer& t) {
  TransferState& ts = Transfers();
  if (ts.transferBusy) {
    SetLastError(Msg(349));
    return false;
  }
  ts.transferBusy = true;
  if (t.lockInput) Interp().BlockingState(true);
  if (t.withProgress) SetVariable("DownloadProgress", "0");
  const AnsiString url = c.Arg(1);
  bool windowShown = false;
  auto onChunk = [&] {
    if (!t.withProgress) return;
    if (t.showWindow && !windowShown) {
      const NetTexts& nt = NetPublicationTexts();
      ShowProgressWindow(nt.title, ReplaceAll(nt.downloadFile, "%s", url), nt.cancel, false, 100);
      windowShown = true;
    }
    const bool goOn = !windowShown || UpdateProgressWindow(http.progress);
    if (!goOn || SameTextInvariant(Var("DownloadProgress"), "Cancel"))
      http.Cancel();
    else
      SetVariable("DownloadProgress", std::to_string(http.progress));
  };
  {
    RealTimeHold hold;
    http.Start(onChunk);
    TheClock().RunUntil(
        [&] {
          if (!http.done && c.ShouldStop()) http.Cancel();
          return http.done;
        },
        -1);
  }
  if (windowShown) CloseProgressWindow();
  if (t.lockInput) Interp().BlockingState(false);
  ts.transferBusy = false;
  trace::Record({"http", t.method, url, std::to_string(http.failed && http.status < 100 ? 0 : http.status)});
  return true;
}

Transfer TransferOf(std::string_view options, bool withProgress, const char* method) {
  Transfer t;
  t.withProgress = withProgress;
  t.showWindow = withProgress && !HasWord(options, "HideProgress");
  t.lockInput = !HasWord(options, "Async");
  t.method = method;
  return t;
}

void DoCheckInternetConnection(CommandContext& c) { SetVariable(c.Arg(1), Net().Online() ? "True" : "False"); }

// This system has nothing to dial: connected is what the system reports.
void DoConnectToInternet(CommandContext& c) { SetVariable(c.Arg(1), Net().Online() ? "True" : "False"); }

void DoDisconnectFromInternet(CommandContext&) {}

// The network must be there unless the server is this machine.
bool Reachable(const AnsiString& url) {
  if (Net().Online()) return true;
  return IsLoopbackHost(ParseInternetAddress(url).host);
}

void DoDownloadFile(CommandContext& c) {
  SetLastError("");
  HttpRequest r = RequestFor(c.Arg(1));
  r.saveToFile = true;
  r.targetPath = HostFilePath(c.Arg(2));
  TVelHTTP http(r);
  if (r.targetPath.empty()) {
    SetLastError(Msg(205));
    return;
  }
  if (!Reachable(r.url)) {
    SetLastError(Msg(344));
    return;
  }
  if (!RunTransfer(c, http, TransferOf(c.Arg(3), true, "GET"))) return;
  if (!http.errorText.empty()) SetLastError(http.errorText);
}

void DoInternetGet(CommandContext& c) {
  SetLastError("");
  TVelHTTP http(RequestFor(c.Arg(1)));
  if (!Reachable(c.Arg(1))) {
    SetLastError(Msg(344));
    return;
  }
  if (!RunTransfer(c, http, TransferOf(c.Arg(3), true, "GET"))) return;
  SetVariable(c.Arg(2), http.body);
  if (!http.errorText.empty()) SetLastError(http.errorText);
}

void DoInternetPost(CommandContext& c) {
  SetLastError("");
  HttpRequest r = RequestFor(c.Arg(1));
  r.verb = "POST";
  r.postData = c.Arg(2);
  TVelHTTP http(r);
  if (!Reachable(r.url)) {
    SetLastError(Msg(344));
    return;
  }
  if (!RunTransfer(c, http, TransferOf(c.Arg(4), false, "POST"))) return;
  SetVariable(c.Arg(3), http.body);
  if (!http.errorText.empty()) SetLastError(http.errorText);
}

// The size commands read the head only.
bool RunSize(CommandContext& c, TVelHTTP& http) {
  if (!Reachable(c.Arg(1))) {
    http.errorText = Msg(344);
    return true;
  }
  return RunTransfer(c, http, TransferOf(c.Arg(3), false, "GET"));
}

void DoInternetFileExists(CommandContext& c) {
  SetLastError("");
  HttpRequest r = RequestFor(c.Arg(1));
  r.mode = 1;
  TVelHTTP http(r);
  if (!RunSize(c, http)) return;
  // Failures are not reported: "False" says it all.
  SetVariable(c.Arg(2), !http.failed && http.contentLength > 0 ? "True" : "False");
}

void DoInternetFileSize(CommandContext& c) {
  SetLastError("");
  HttpRequest r = RequestFor(c.Arg(1));
  r.mode = 1;
  TVelHTTP http(r);
  if (!RunSize(c, http)) return;
  SetVariable(c.Arg(2), std::to_string(!http.failed && http.contentLength > 0 ? http.contentLength : -1));
  if (!http.errorText.empty()) SetLastError(http.errorText);
}

const CommandBinder kBind{{cmd::CheckInternetConnection, DoCheckInternetConnection},
                          {cmd::ConnectToInternet, DoConnectToInternet},
                          {cmd::DisconnectFromInternet, DoDisconnectFromInternet},
                          {cmd::DownloadFile, DoDownloadFile},
                          {cmd::InternetGet, DoInternetGet},
                          {cmd::InternetPost, DoInternetPost},
                          {cmd::InternetFileExists, DoInternetFileExists},
                          {cmd::InternetFileSize, DoInternetFileSize}};

}  // namespace
}  // namespace vl
