// The internet commands against a real HTTP server of the test's own on
// 127.0.0.1 (servers/http_server.py), and the HTTP reading they rest on.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <filesystem>
#include <memory>
#include <string>

#include "runtime/Messages.h"
#include "services/HttpHead.h"
#include "services/NetHost.h"
#include "services/NetTestSupport.h"
#include "services/ServerProcess.h"
#include "services/Transfers.h"

using namespace vltest;
namespace fs = std::filesystem;

namespace {

class Internet : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new ServerProcess("http_server.py", {"--seconds", "240", "--requests", "400"});
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override { ASSERT_GT(server_->Port(), 0) << "the test's HTTP server did not start"; }

  static std::string U(const std::string& path) { return server_->Url(path); }
  std::string Target(const char* name) const { return (dir / name).string(); }

  static ServerProcess* server_;
  NetActionRunner run;
  TempDir dir;
};
ServerProcess* Internet::server_ = nullptr;

// A port nothing listens on.
int ClosedPort() {
  QTcpServer s;
  s.listen(QHostAddress::LocalHost, 0);
  const int port = s.serverPort();
  s.close();
  return port;
}

TEST_F(Internet, RequestsGiveTheBodyOrTheServersStatus) {
  const std::string port = std::to_string(server_->Port());
  struct Case {
    const char* name;
    std::string text;
    std::string result, error;
  } cases[] = {
      {"a resource", "InternetGet \"" + U("/hello.txt") + "\" \"r\" \"HideProgress\"", "Hello", ""},
      {"404 with its text", "InternetGet \"" + U("/missing") + "\" \"r\" \"HideProgress\"", "", "404 Not Found"},
      {"a status without text", "InternetGet \"" + U("/notext") + "\" \"r\" \"HideProgress\"", "",
       "404 " + vl::Msg(204)},
      {"a redirect is followed", "InternetGet \"" + U("/redirect") + "\" \"r\" \"HideProgress\"", "Hello", ""},
      {"an absolute redirect", "InternetGet \"" + U("/redirect-abs") + "\" \"r\" \"HideProgress\"", "Hello", ""},
      {"Basic authentication refused", "InternetGet \"" + U("/secret") + "\" \"r\" \"HideProgress\"", "",
       "401 Unauthorized"},
      {"Basic authentication",
       "SetVar \"[HTTPUserID]\" \"ann\"\nSetVar \"[HTTPUserPassword]\" \"pw\"\nInternetGet \"" + U("/secret") +
           "\" \"r\" \"HideProgress\"",
       "secret", ""},
      {"agent, referrer and the port in the host",
       "SetVar \"[HTTPAgent]\" \"Quiz 1.0\"\nSetVar \"[HTTPReferrer]\" \"http://ref/\"\nInternetGet \"" +
           U("/headers") + "\" \"r\" \"HideProgress\"",
       "UA=Quiz 1.0|REF=http://ref/|HOST=127.0.0.1:" + port, ""},
      {"[HTTPPort] replaces the port",
       "SetVar \"[HTTPPort]\" \"" + port + "\"\nInternetGet \"http://127.0.0.1/hello.txt\" \"r\" \"HideProgress\"",
       "Hello", ""},
      {"a post is form-encoded", "InternetPost \"" + U("/echo") + "\" \"a=1&b=%20\" \"r\"",
       "CT=application/x-www-form-urlencoded|BODY=a=1&b=%20", ""},
      {"a closed port", "InternetGet \"http://127.0.0.1:" + std::to_string(ClosedPort()) + "/\" \"r\" \"HideProgress\"",
       "", "Connection refused"},
      {"a bad address", "InternetGet \"http://:80/x\" \"r\" \"HideProgress\"", "", "The URL is invalid"},
  };
  for (const Case& c : cases) {
    run.Run(c.text + "\n");
    EXPECT_EQ(run.V("r"), c.result) << c.name;
    EXPECT_EQ(run.V("LastError"), c.error) << c.name;
  }
}

TEST_F(Internet, BodiesStayByteExact) {
  run.Run("InternetGet \"" + U("/bytes") + "\" \"r\" \"HideProgress\"\n");
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(run.V("r"), all);
  EXPECT_EQ(run.V("DownloadProgress"), "100");
  EXPECT_EQ(run.Trace("http"), std::vector<std::string>{"http\tGET\t" + U("/bytes") + "\t200"});
}

TEST_F(Internet, DownloadWritesTheFileAndShowsItsWindow) {
  run.Run("DownloadFile \"" + U("/big?mb=6") + "\" \"" + Target("big.bin") + "\" \"\"\n");
  EXPECT_EQ(run.V("LastError"), "");
  EXPECT_EQ(run.V("DownloadProgress"), "100");
  const std::string got = ReadFileBytes(dir / "big.bin");
  ASSERT_EQ(got.size(), 6u << 20);
  for (size_t i = 0; i < got.size(); i += 4099) ASSERT_EQ(static_cast<uint8_t>(got[i]), i % 256) << i;
  EXPECT_EQ(run.Trace("window").size(), 2u);
  EXPECT_FALSE(vl::ProgressWindowShown());
  // Nothing is left beside the file.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(Internet, FailedDownloadsLeaveNoFileAndKeepWhatWasThere) {
  WriteFileBytes(dir / "kept.txt", "old");
  struct Case {
    const char* name;
    std::string text;
    std::string error;
  } cases[] = {
      {"404", "DownloadFile \"" + U("/missing") + "\" \"" + Target("f") + "\" \"HideProgress\"", "404 Not Found"},
      {"closed early", "DownloadFile \"" + U("/short") + "\" \"" + Target("f") + "\" \"HideProgress\"",
       "The connection closed before the whole reply arrived"},
      {"a stall beyond the timeout",
       "SetVar \"[HTTPTimeOut]\" \"300\"\nDownloadFile \"" + U("/stall") + "\" \"" + Target("f") + "\" \"HideProgress\"",
       "The operation timed out"},
      {"an existing file stays",
       "DownloadFile \"" + U("/missing") + "\" \"" + Target("kept.txt") + "\" \"HideProgress\"", "404 Not Found"},
  };
  for (const Case& c : cases) {
    run.Run(c.text + "\n");
    EXPECT_EQ(run.V("LastError"), c.error) << c.name;
    EXPECT_FALSE(fs::exists(dir / "f")) << c.name;
  }
  EXPECT_EQ(ReadFileBytes(dir / "kept.txt"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  // And the next request works.
  run.Run("InternetGet \"" + U("/hello.txt") + "\" \"r\" \"HideProgress\"\n");
  EXPECT_EQ(run.V("r"), "Hello");
}

TEST_F(Internet, WithoutALengthProgressCountsBytesDown) {
  run.Run("DownloadFile \"" + U("/nolength") + "\" \"" + Target("n") + "\" \"HideProgress\"\n");
  EXPECT_EQ(run.V("LastError"), "");
  EXPECT_EQ(run.V("DownloadProgress"), "-3000");
  EXPECT_EQ(ReadFileBytes(dir / "n"), std::string(3000, 'x'));
}

TEST_F(Internet, ACancelWrittenByAnotherActionStopsTheDownload) {
  const std::string slow = U("/slow?size=400000&ms=5");
  std::error_code ec;
  for (const char* how : {"TestAfter \"150\" \"SetVar '[DownloadProgress]' 'cancel'\"", "TestAfter \"150\" \"TestPressCancel\""}) {
    fs::remove(dir / "c", ec);
    run.Run(std::string(how) + "\nDownloadFile \"" + slow + "\" \"" + Target("c") + "\" \"\"\nSetVar \"[after]\" \"1\"\n");
    EXPECT_EQ(run.V("after"), "1") << how;
    EXPECT_FALSE(fs::exists(dir / "c")) << how;
    EXPECT_TRUE(fs::is_empty(dir.path())) << how;
    EXPECT_FALSE(vl::ProgressWindowShown()) << how;
  }
}

TEST_F(Internet, OneTransferAtATime) {
  run.Run("TestAfter \"100\" \"InternetGet '" + U("/hello.txt") +
          "' 'got2' 'HideProgress'|SetVar '[seconderr]' '[LastError]'\"\n"
          "DownloadFile \"" + U("/slow?size=60000&ms=5") + "\" \"" + Target("s") + "\" \"HideProgress\"\n");
  EXPECT_EQ(run.V("seconderr"), vl::Msg(349));
  EXPECT_EQ(run.V("got2"), "");
  EXPECT_EQ(fs::file_size(dir / "s"), 60000u);
  EXPECT_EQ(run.V("LastError"), vl::Msg(349)) << "the refused request's report stays";
  // Once it has ended the next one runs.
  run.Run("InternetGet \"" + U("/hello.txt") + "\" \"r\" \"HideProgress\"\n");
  EXPECT_EQ(run.V("r"), "Hello");
}

TEST_F(Internet, SizesAndExistence) {
  struct Case {
    std::string path;
    const char* size;
    const char* exists;
    std::string error;
  } cases[] = {
      {"/hello.txt", "5", "True", ""},
      {"/huge", "5368709120", "True", ""},
      {"/nolength", "-1", "False", "The server did not give the size"},
      {"/missing", "-1", "False", "404 Not Found"},
  };
  for (const Case& c : cases) {
    run.Run("InternetFileSize \"" + U(c.path) + "\" \"size\"\nSetVar \"[e]\" \"[LastError]\"\nInternetFileExists \"" +
            U(c.path) + "\" \"there\"\n");
    EXPECT_EQ(run.V("size"), c.size) << c.path;
    EXPECT_EQ(run.V("there"), c.exists) << c.path;
    EXPECT_EQ(run.V("e"), c.error) << c.path;
    EXPECT_EQ(run.V("LastError"), "") << "InternetFileExists reports nothing: " << c.path;
  }
}

// A host whose system reports no network: only this machine is reached.
class OfflineHost : public vl::QtNetHost {
 public:
  bool Online() override { return false; }
};

TEST_F(Internet, WithoutANetworkOnlyThisMachineIsReached) {
  OfflineHost offline;
  vl::SetNetHost(&offline);
  run.Run("CheckInternetConnection \"c\"\nConnectToInternet \"d\"\nDisconnectFromInternet\n"
          "InternetGet \"http://host.invalid/x\" \"r\" \"HideProgress\"\nSetVar \"[e]\" \"[LastError]\"\n"
          "InternetGet \"" + U("/hello.txt") + "\" \"r\" \"HideProgress\"\n");
  vl::SetNetHost(nullptr);
  EXPECT_EQ(run.V("c"), "False");
  EXPECT_EQ(run.V("d"), "False");
  EXPECT_EQ(run.V("e"), vl::Msg(344));
  EXPECT_EQ(run.V("r"), "Hello");
}

TEST_F(Internet, InternetLinkUsesTheDesktopsOpener) {
  TempDir bin;
  WriteFileBytes(bin / "xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + (bin / "opened").string() + "\"\n");
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  const QByteArray path = qgetenv("PATH");
  vl::NetPublicationTexts().internetError = "cannot open";
  qputenv("PATH", QByteArray::fromStdString(bin.path().string()));
  run.Run("InternetLink \"mailto:ann@example.org\"\n");
  EXPECT_EQ(run.V("LastError"), "");
  for (int i = 0; i < 200 && !fs::exists(bin / "opened"); ++i) vl::TheClock().Block(10);
  qputenv("PATH", "/nonexistent");
  run.Run("InternetLink \"http://x/\"\n");
  qputenv("PATH", path);
  vl::NetPublicationTexts() = {};
  EXPECT_EQ(run.V("LastError"), "cannot open");
  EXPECT_EQ(ReadFileBytes(bin / "opened"), "mailto:ann@example.org");
}

TEST_F(Internet, HttpsChecksTheCertificate) {
  const std::string cert = (dir / "cert.pem").string(), key = (dir / "key.pem").string();
  ASSERT_TRUE(MakeTestCertificate(cert, key));
  ServerProcess https("http_server.py", {"--seconds", "60", "--requests", "10", "--tls", QString::fromStdString(cert),
                                         QString::fromStdString(key)});
  ASSERT_GT(https.Port(), 0);
  const std::string get =
      "InternetGet \"https://127.0.0.1:" + std::to_string(https.Port()) + "/hello.txt\" \"r\" \"HideProgress\"\n";
  run.Run(get);
  EXPECT_EQ(run.V("r"), "");
  EXPECT_NE(run.V("LastError").find("self-signed"), std::string::npos) << run.V("LastError");
  vl::QtNetHost::TrustExtraCertificates(cert);
  run.Run(get);
  vl::QtNetHost::TrustExtraCertificates("");
  EXPECT_EQ(run.V("LastError"), "");
  EXPECT_EQ(run.V("r"), "Hello");
}

TEST(HttpHead, AddressesAsTheCommandsReadThem) {
  struct Case {
    const char* url;
    int64_t portVar;
    const char* host;
    int port;
    const char* path;
    bool secure, valid;
  } cases[] = {
      {"http://a.b/c/d?x=1", -1, "a.b", 80, "/c/d?x=1", false, true},
      {"HTTPS://a.b", -1, "a.b", 443, "/", true, true},
      {"https://a.b/?u=http://c/", -1, "a.b", 443, "/?u=http://c/", true, true},
      {"a.b/x", -1, "a.b", 80, "/x", false, true},
      {"http://a.b:8080/x", -1, "a.b", 8080, "/x", false, true},
      {"http://a.b:8080/x", 81, "a.b", 81, "/x", false, true},
      {"http://a.b/x", 0, "a.b", 80, "/x", false, true},
      {"http://[::1]:81/x", -1, "::1", 81, "/x", false, true},
      {"http://a.b/x y\r\nEvil: 1", -1, "a.b", 80, "/x+y++Evil:+1", false, true},
      {"http://a.b:0/", -1, "", 80, "/", false, false},
      {"http://a.b:99999/", -1, "", 80, "/", false, false},
      {"http:///x", -1, "", 80, "/x", false, false},
      {"http://a b/x", -1, "", 80, "/x", false, false},
  };
  for (const auto& c : cases) {
    vl::InternetAddress a = vl::ParseInternetAddress(c.url, c.portVar);
    EXPECT_EQ(a.valid, c.valid) << c.url;
    if (!c.valid) continue;
    EXPECT_EQ(a.host, c.host) << c.url;
    EXPECT_EQ(a.port, c.port) << c.url;
    EXPECT_EQ(a.path, c.path) << c.url;
    EXPECT_EQ(a.secure, c.secure) << c.url;
  }
}

TEST(HttpHead, StatusLinesAndLengths) {
  vl::HttpHead h;
  ASSERT_TRUE(vl::ParseHttpHead("HTTP/1.1 200 OK\r\nContent-Length: 5368709120\r\nLocation:  /x \r\n\r\n", h));
  EXPECT_EQ(h.status, 200);
  EXPECT_EQ(h.contentLength, 5368709120LL);
  EXPECT_EQ(h.location, "/x");
  struct Case {
    const char* head;
    bool ok;
    int64_t length;
  } cases[] = {
      {"HTTP/1.0 404\n\n", true, -1},
      {"HTTP/1.0 200 OK\r\nContent-Length: 12x\r\n\r\n", true, -1},
      {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n", true, -1},
      {"HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n", true, -1},
      {"HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 5\r\n\r\n", true, -1},
      {"ICY 200 OK\r\n\r\n", false, -1},
      {"HTTP/1.0 2000 OK\r\n\r\n", false, -1},
      {"HTTP/1.0\r\n\r\n", false, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vl::ParseHttpHead(c.head, h), c.ok) << c.head;
    if (c.ok) EXPECT_EQ(h.contentLength, c.length) << c.head;
  }
  EXPECT_EQ(vl::HttpStatusError(42, ""), "404 " + vl::Msg(204));
  EXPECT_EQ(vl::HttpStatusError(299, "x"), "");
  EXPECT_EQ(vl::HttpHeadEnd("HTTP/1.0 200 OK\r\nA: b\r\n\r\nbody"), 25u);
  EXPECT_EQ(vl::HttpHeadEnd("HTTP/1.0 200 OK\r\nA: b\r\n"), 0u);
}

}  // namespace
