#include "services/HttpClient.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "runtime/Global.h"
#include "services/NetHost.h"

namespace vl {
namespace {

constexpr size_t kReadChunk = 256 * 1024;

// Header values never carry a line break into the request.
AnsiString HeaderValue(std::string_view v) {
  AnsiString out;
  for (char ch : v)
    if (ch != '\r' && ch != '\n') out += ch;
  return out;
}

}  // namespace

TVelHTTP::TVelHTTP(HttpRequest request) : req_(std::move(request)) {
  timeout_.SetOnTimer([this] { Finish(false, "The operation timed out"); });
}

TVelHTTP::~TVelHTTP() {
  timeout_.Stop();
  if (conn_) conn_->Close();
  DropPartialFile();
}

void TVelHTTP::Start(std::function<void()> onChunk) {
  onChunk_ = std::move(onChunk);
  addr_ = ParseInternetAddress(req_.url, req_.port);
  if (!addr_.valid) {
    Finish(false, "The URL is invalid");
    return;
  }
  Connect();
}

void TVelHTTP::Cancel() {
  if (done) return;
  cancelled = true;
  Finish(false);
}

void TVelHTTP::ArmTimeout() {
  if (!done) timeout_.SetInterval(req_.timeoutMs > 0 ? req_.timeoutMs : kDefaultTimeoutMs);
}

void TVelHTTP::Connect() {
  // A connection left for a redirect may be inside its own event: it is
  // closed now and freed with the transfer.
  if (conn_) {
    conn_->Close();
    spent_.push_back(std::move(conn_));
  }
  head_.clear();
  inBody_ = false;
  NetEvents ev;
  ev.connected = [this] { OnConnected(); };
  ev.readable = [this] { OnReadable(); };
  ev.written = [this] { ArmTimeout(); };
  ev.closed = [this](const AnsiString& e) { OnClosed(e); };
  ArmTimeout();
  conn_ = Net().Connect(addr_.host, addr_.port, addr_.secure, std::move(ev));
}

void TVelHTTP::OnConnected() {
  ArmTimeout();
  AnsiString r = req_.verb + " " + addr_.path + " HTTP/1.0\r\n";
  r += "Host: " + HostHeader(addr_) + "\r\n";
  if (!req_.agent.empty()) r += "User-Agent: " + HeaderValue(req_.agent) + "\r\n";
  if (!req_.referrer.empty()) r += "Referer: " + HeaderValue(req_.referrer) + "\r\n";
  r += "Accept: */*\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n";
  if (authSent_) r += "Authorization: Basic " + Base64(req_.user + ":" + req_.password) + "\r\n";
  if (req_.verb == "POST") {
    r += "Content-Type: application/x-www-form-urlencoded\r\n";
    r += "Content-Length: " + std::to_string(req_.postData.size()) + "\r\n\r\n";
    r += req_.postData;
  } else {
    r += "\r\n";
  }
  conn_->Write(r);
}

void TVelHTTP::OnReadable() {
  if (done || !conn_) return;
  ArmTimeout();
  if (!buf_) buf_.reset(new char[kReadChunk]);
  NetConnection* c = conn_.get();
  while (!done && conn_.get() == c) {
    const int64_t n = c->Read(buf_.get(), static_cast<int64_t>(kReadChunk));
    if (n <= 0) break;
    if (inBody_) {
      if (!TakeBody(buf_.get(), static_cast<size_t>(n))) return;
      continue;
    }
    head_.append(buf_.get(), static_cast<size_t>(n));
    const size_t end = HttpHeadEnd(head_);
    if (end == 0) {
      if (head_.size() > kMaxHttpHead) {
        Finish(false, "The server's reply is not HTTP");
        return;
      }
      continue;
    }
    std::string rest = head_.substr(end);
    head_.resize(end);
    if (!HandleHead()) return;  // finished, or another request started
    if (!rest.empty() && !TakeBody(rest.data(), rest.size())) return;
  }
}

// The head is complete. False when the transfer goes on elsewhere (ended,
// redirected, asked again with credentials) and the caller must stop reading.
bool TVelHTTP::HandleHead() {
  HttpHead h;
  if (!ParseHttpHead(head_, h)) {
    Finish(false, "The server's reply is not HTTP");
    return false;
  }
  status = h.status;
  if (h.status >= 100 && h.status < 200) {  // an interim reply: the real one follows
    head_.clear();
    return true;
  }
  const bool redirect = h.status == 301 || h.status == 302 || h.status == 303 || h.status == 307 || h.status == 308;
  if (redirect && !h.location.empty() && redirects_ < kMaxRedirects) {
    InternetAddress next = RedirectTarget(addr_, h.location);
    if (next.valid) {
      ++redirects_;
      if (h.status == 303 || ((h.status == 301 || h.status == 302) && req_.verb == "POST")) {
        req_.verb = "GET";
        req_.postData.clear();
      }
      // Credentials go only to the server they were given for.
      if (!SameTextInvariant(next.host, addr_.host) || next.port != addr_.port) authSent_ = false;
      if (!SameTextInvariant(next.host, addr_.host)) req_.user.clear(), req_.password.clear();
      addr_ = next;
      Connect();
      return false;
    }
  }
  if (h.status == 401 && !authSent_ && !req_.user.empty()) {
    authSent_ = true;
    Connect();
    return false;
  }
  if (AnsiString e = HttpStatusError(h.status, h.statusText); !e.empty()) {
    Finish(false, e);
    return false;
  }
  if (h.chunked) {
    Finish(false, "The server sent a chunked reply to an HTTP/1.0 request");
    return false;
  }
  contentLength = h.contentLength;
  if (req_.mode == 1) {
    if (contentLength > 0)
      Finish(true);
    else
      Finish(false, "The server did not give the size");
    return false;
  }
  if (req_.saveToFile) {
    // The reply goes to a file beside the target and replaces it only once
    // complete, so a failed download loses nothing that was there.
    partPath_ = req_.targetPath + ".part" + std::to_string(::getpid());
    file_ = std::fopen(partPath_.c_str(), "wb");
    if (!file_) {
      const int err = errno;
      partPath_.clear();
      Finish(false, AnsiString("Cannot create the file: ") + std::strerror(err));
      return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
  }
  inBody_ = true;
  if (contentLength == 0) {
    Finish(true);
    return false;
  }
  return true;
}

bool TVelHTTP::TakeBody(const char* data, size_t n) {
  if (contentLength >= 0 && received + static_cast<int64_t>(n) > contentLength)
    n = static_cast<size_t>(contentLength - received);
  if (file_) {
    if (std::fwrite(data, 1, n, file_) != n) {
      const int err = errno;
      Finish(false, AnsiString("Cannot write the file: ") + std::strerror(err));
      return false;
    }
  } else {
    if (static_cast<int64_t>(body.size() + n) > kMaxMemoryBody) {
      Finish(false, ErrorText(8));
      return false;
    }
    body.append(data, n);
  }
  received += static_cast<int64_t>(n);
  if (contentLength > 0)
    progress = received * 100 / contentLength;
  else if (progress < 100)
    progress = -received;
  if (onChunk_) onChunk_();
  if (done) return false;
  if (contentLength >= 0 && received >= contentLength) {
    Finish(true);
    return false;
  }
  return true;
}

void TVelHTTP::OnClosed(const AnsiString& error) {
  if (done) return;
  if (!inBody_) {
    Finish(false, error.empty() ? AnsiString("The server closed the connection without a reply") : error);
    return;
  }
  if (!error.empty()) {
    Finish(false, error);
    return;
  }
  if (contentLength >= 0 && received < contentLength) {
    Finish(false, "The connection closed before the whole reply arrived");
    return;
  }
  Finish(true);
}

void TVelHTTP::Finish(bool ok, const AnsiString& error) {
  if (done) return;
  done = true;
  timeout_.Stop();
  if (conn_) conn_->Close();
  if (file_) {
    const bool flushed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (ok && !flushed) {
      ok = false;
      errorText = "Cannot write the file";
    }
  }
  if (ok && !partPath_.empty()) {
    if (std::rename(partPath_.c_str(), req_.targetPath.c_str()) != 0) {
      const int err = errno;
      ok = false;
      errorText = AnsiString("Cannot create the file: ") + std::strerror(err);
    } else {
      partPath_.clear();
    }
  }
  if (!ok) {
    DropPartialFile();
    if (errorText.empty()) errorText = error;
  }
  failed = !ok;
}

void TVelHTTP::DropPartialFile() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!partPath_.empty()) {
    ::unlink(partPath_.c_str());
    partPath_.clear();
  }
}

}  // namespace vl
