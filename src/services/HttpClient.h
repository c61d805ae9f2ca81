#pragma once
// One HTTP transfer (`TVelHTTP`): an HTTP/1.0 request over a connection of
// the network host (services/NetHost.h), its reply read as it arrives, on the
// interface thread. Nothing here blocks: the command that starts a transfer
// waits on the one clock until `done`.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Ansi.h"
#include "runtime/Clock.h"
#include "services/HttpHead.h"

namespace vl {

class NetConnection;

struct HttpRequest {
  AnsiString url;
  AnsiString agent;
  AnsiString referrer;
  AnsiString user, password;
  AnsiString verb = "GET";  // or "POST"
  AnsiString postData;
  int64_t timeoutMs = 0;    // connect and every read or write; 0: the default
  int64_t port = -1;        // [HTTPPort]: 0 or less keeps the address's port
  int mode = 2;             // 1: the head only (sizes), 2: the whole reply
  bool saveToFile = false;
  std::string targetPath;   // native path of the download's file
};

class TVelHTTP {
 public:
  // A transfer without [HTTPTimeOut] still gives up when nothing moves for
  // this long, so a stalled server never holds the player.
  static constexpr int64_t kDefaultTimeoutMs = 60000;
  // A reply kept in memory (InternetGet, InternetPost) is capped.
  static constexpr int64_t kMaxMemoryBody = 256LL << 20;
  static constexpr int kMaxRedirects = 10;

  explicit TVelHTTP(HttpRequest request);
  ~TVelHTTP();
  TVelHTTP(const TVelHTTP&) = delete;
  TVelHTTP& operator=(const TVelHTTP&) = delete;

  // Starts the transfer; `onChunk` runs after every chunk of the body.
  void Start(std::function<void()> onChunk);
  // Stops reading: the transfer ends at once, failed, and a partial file is
  // removed.
  void Cancel();

  bool done = false;
  bool failed = true;
  bool cancelled = false;
  AnsiString errorText;
  std::string body;
  int64_t contentLength = -1;
  int64_t received = 0;
  int64_t progress = 0;
  int status = 0;  // the last status a server sent, 0 when none

 private:
  void Connect();
  void OnConnected();
  void OnReadable();
  void OnClosed(const AnsiString& error);
  bool HandleHead();
  bool TakeBody(const char* data, size_t n);
  void Finish(bool ok, const AnsiString& error = {});
  void ArmTimeout();
  void DropPartialFile();

  HttpRequest req_;
  InternetAddress addr_;
  std::unique_ptr<NetConnection> conn_;
  std::vector<std::unique_ptr<NetConnection>> spent_;
  std::function<void()> onChunk_;
  TVelTimer timeout_;
  std::string head_;
  bool inBody_ = false;
  bool authSent_ = false;
  int redirects_ = 0;
  std::FILE* file_ = nullptr;
  std::string partPath_;
  std::unique_ptr<char[]> buf_;
};

}  // namespace vl
