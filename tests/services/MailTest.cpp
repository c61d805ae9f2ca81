// SendMail against real SMTP peers on 127.0.0.1: aiosmtpd, which stores each
// message and parses it with Python's e-mail package (servers/smtp_server.py),
// and a scripted peer that records every line it is sent and fails on demand
// (servers/smtp_recorder.py).
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <filesystem>
#include <string>

#include "actions/SpecialVarCheck.h"
#include "platform/RegistryStore.h"
#include "runtime/Global.h"
#include "runtime/Lifecycle.h"
#include "runtime/Messages.h"
#include "services/HttpHead.h"
#include "services/NetHost.h"
#include "services/NetTestSupport.h"
#include "services/ServerProcess.h"
#include "services/SmtpReply.h"
#include "services/Transfers.h"

using namespace vltest;
namespace fs = std::filesystem;

namespace {

QJsonObject ReadJson(const fs::path& p) { return QJsonDocument::fromJson(QByteArray::fromStdString(ReadFileBytes(p))).object(); }
std::string S(const QJsonValue& v) { return v.toString().toStdString(); }

class Mail : public ::testing::Test {
 protected:
  void SetUp() override {
    vl::MailServerSetting().clear();
    vl::MailServerKnown() = false;
  }
  void TearDown() override {
    vl::MailServerSetting().clear();
    vl::MailServerKnown() = false;
  }
  // The action that points the mail at `port` and sends.
  static std::string To(int port, const std::string& sendMail) {
    return "SetVar \"[MailServer]\" \"127.0.0.1\"\nSetVar \"[MailPort]\" \"" + std::to_string(port) + "\"\n" +
           sendMail + "\n";
  }
  // The recorder's lines, once it has written them.
  static std::vector<std::string> Recorded(ServerProcess& p) {
    std::vector<std::string> out;
    p.Process().waitForReadyRead(300);
    for (const QByteArray& l : p.Process().readAllStandardOutput().split('\n'))
      if (l.startsWith("C: ")) out.push_back(l.mid(3).toStdString());
    return out;
  }
  static bool Has(const std::vector<std::string>& lines, const std::string& what) {
    return std::find(lines.begin(), lines.end(), what) != lines.end();
  }

  NetActionRunner run;
  TempDir store, files;
};

TEST_F(Mail, PlainMailReachesTheServerAsComposed) {
  ServerProcess smtp("smtp_server.py", {"--store", QString::fromStdString(store.path().string())});
  ASSERT_GT(smtp.Port(), 0);
  run.Run(To(smtp.Port(), "SendMail \"ann@example.org|BOB@Example.org\" \"Ann Smith <ann@example.org>\" "
                          "\"Caff\xE8\" \"Hello|.x|..|\xE8 World\" \"\" \"hideprogress\""));
  EXPECT_EQ(run.V("LastError"), "");
  EXPECT_EQ(run.V("MailProgress"), "");
  EXPECT_TRUE(run.Trace("window").empty()) << "HideProgress in any case hides the window";
  EXPECT_EQ(run.Trace("mail"), std::vector<std::string>{"mail\tok\tann@example.org|BOB@Example.org"});
  const QJsonObject m = ReadJson(store / "1.json");
  EXPECT_EQ(S(m["mail_from"]), "ann@example.org");
  EXPECT_EQ(m["rcpt_tos"].toArray().toVariantList(), (QVariantList{"ann@example.org", "bob@example.org"}));
  const QJsonObject h = m["headers"].toObject();
  EXPECT_EQ(S(h["From"]), "\"Ann Smith\" <ann@example.org>");
  EXPECT_EQ(S(h["To"]), "<ann@example.org>,\r\n\t<BOB@Example.org>");
  EXPECT_TRUE(QRegularExpression("^<VL\\d{8}\\$[0-9A-F]{8}\\.\\$[0-9A-F]{8}@example\\.org>$")
                  .match(h["Message-ID"].toString()).hasMatch())
      << S(h["Message-ID"]);
  EXPECT_TRUE(QRegularExpression("^(Mon|Tue|Wed|Thu|Fri|Sat|Sun), \\d{1,2} [A-Z][a-z]{2} \\d{4} \\d\\d:\\d\\d:\\d\\d "
                                 "(GMT|[+-]\\d{4})$")
                  .match(h["Date"].toString()).hasMatch())
      << S(h["Date"]);
  EXPECT_EQ(S(h["X-Priority"]), "3");
  const QJsonArray parts = m["parts"].toArray();
  ASSERT_EQ(parts.size(), 1);
  EXPECT_EQ(S(parts[0].toObject()["type"]), "text/plain");
  EXPECT_EQ(S(parts[0].toObject()["charset"]), "iso-8859-1");
  // The lines, 8-bit as written; a leading "." arrives as written, so it was
  // doubled on the wire.
  EXPECT_EQ(ReadFileBytes(S(parts[0].toObject()["file"])), "Hello\r\n.x\r\n..\r\n\xE8 World\r\n");
  EXPECT_NE(ReadFileBytes(store / "1.eml").find("Subject: Caff\xE8\r\n"), std::string::npos);
}

TEST_F(Mail, HtmlAndAttachmentsArriveByteForByte) {
  ServerProcess smtp("smtp_server.py", {"--store", QString::fromStdString(store.path().string())});
  ASSERT_GT(smtp.Port(), 0);
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7) % 256);
  WriteFileBytes(files / "data.bin", binary);
  WriteFileBytes(files / "notes.txt", "a\r\nb");
  vl::UserRegistry().Write(vl::RegRoot::ClassesRoot, ".txt", "Content Type", vl::RegValue::String("text/plain"));
  run.Run(To(smtp.Port(), "SendMail \"Bob <bob@x.org>\" \"ann@x.org (Ann)\" \"S\" \"<html><b>Hi</b>|</html>\" \"" +
                              (files / "data.bin").string() + "|" + (files / "notes.txt").string() + "\" \"\""));
  vl::UserRegistry().DeleteKey(vl::RegRoot::ClassesRoot, ".txt");
  EXPECT_EQ(run.V("LastError"), "");
  EXPECT_EQ(run.Trace("window").size(), 2u) << "the progress window opened and closed";
  const QJsonObject m = ReadJson(store / "1.json");
  EXPECT_EQ(S(m["headers"].toObject()["From"]), "\"Ann\" <ann@x.org>");
  EXPECT_EQ(S(m["headers"].toObject()["To"]), "\"Bob\" <bob@x.org>");
  EXPECT_EQ(m["structure"].toArray().toVariantList(),
            (QVariantList{"multipart/mixed", "multipart/alternative", "text/plain", "text/html",
                          "application/octet-stream", "text/plain"}));
  const QJsonArray parts = m["parts"].toArray();
  ASSERT_EQ(parts.size(), 4);
  EXPECT_EQ(ReadFileBytes(S(parts[0].toObject()["file"])), "");
  EXPECT_EQ(ReadFileBytes(S(parts[1].toObject()["file"])), "<html><b>Hi</b>\r\n</html>\r\n");
  EXPECT_EQ(S(parts[2].toObject()["filename"]), "data.bin");
  EXPECT_EQ(ReadFileBytes(S(parts[2].toObject()["file"])), binary);
  EXPECT_EQ(S(parts[3].toObject()["filename"]), "notes.txt");
  EXPECT_EQ(ReadFileBytes(S(parts[3].toObject()["file"])), "a\r\nb");
  // Base64 lines of 76 characters.
  const std::string raw = ReadFileBytes(store / "1.eml");
  const size_t at = raw.find("filename=\"data.bin\"\r\n\r\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(raw.find("\r\n", at + 23) - (at + 23), 76u);
}

TEST_F(Mail, LoginAndItsRefusal) {
  ServerProcess smtp("smtp_server.py", {"--store", QString::fromStdString(store.path().string()), "--auth"});
  ASSERT_GT(smtp.Port(), 0);
  const std::string send = "SendMail \"b@x.org\" \"a@x.org\" \"S\" \"T\" \"\" \"HideProgress\"";
  run.Run("SetVar \"[MailUserID]\" \"ann\"\nSetVar \"[MailUserPassword]\" \"pw\"\n" + To(smtp.Port(), send));
  EXPECT_EQ(run.V("LastError"), "");
  EXPECT_EQ(S(ReadJson(store / "1.json")["login"]), "ann");
  run.Run("SetVar \"[MailUserID]\" \"ann\"\nSetVar \"[MailUserPassword]\" \"no\"\n" + To(smtp.Port(), send));
  EXPECT_EQ(run.V("LastError"), vl::Msg(207));
  EXPECT_FALSE(fs::exists(store / "2.json"));
  EXPECT_EQ(run.Trace("mail"), std::vector<std::string>{"mail\tfailed\tb@x.org"});
}

TEST_F(Mail, TheDialogueWithAScriptedPeer) {
  const std::string pwB64 = vl::Base64("secret-pw");
  {
    // Several-line replies; AUTH LOGIN refused: the mail goes without a login
    // and the password is never sent.
    ServerProcess peer("smtp_recorder.py", {"--mode", "ok"});
    ASSERT_GT(peer.Port(), 0);
    run.Run("SetVar \"[MailUserID]\" \"ann\"\nSetVar \"[MailUserPassword]\" \"secret-pw\"\n" +
            To(peer.Port(), "SendMail \"x@y.org\" \"a@y.org\" \"S\" \".lead|.\" \"\" \"HideProgress\""));
    EXPECT_EQ(run.V("LastError"), "");
    const auto lines = Recorded(peer);
    EXPECT_TRUE(Has(lines, "AUTH LOGIN"));
    EXPECT_TRUE(Has(lines, "MAIL FROM:<a@y.org>"));
    EXPECT_TRUE(Has(lines, "D: ..lead"));
    EXPECT_TRUE(Has(lines, "D: .."));
    EXPECT_TRUE(Has(lines, "QUIT"));
    for (const auto& l : lines) EXPECT_EQ(l.find(pwB64), std::string::npos) << l;
  }
  {
    // An empty sender still connects, then fails and says goodbye.
    ServerProcess peer("smtp_recorder.py", {"--mode", "ok"});
    run.Run(To(peer.Port(), "SendMail \"x@y.org\" \"\" \"S\" \"T\" \"\" \"HideProgress\""));
    EXPECT_EQ(run.V("LastError"), "\"From\" field not specified.");
    const auto lines = Recorded(peer);
    EXPECT_TRUE(Has(lines, "QUIT"));
    EXPECT_FALSE(Has(lines, "MAIL FROM:<>"));
  }
  {
    // With [MailEHLO] off the greeting is HELO, as old servers want.
    ServerProcess peer("smtp_recorder.py", {"--mode", "ok"});
    run.Run("SetVar \"[MailEHLO]\" \"False\"\n" + To(peer.Port(), "SendMail \"x@y.org\" \"a@y.org\" \"S\" \"T\" \"\" \"HideProgress\""));
    const auto lines = Recorded(peer);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("HELO ", 0), 0u) << lines[0];
  }
}

TEST_F(Mail, FailuresOfTheServer) {
  struct Case {
    const char* mode;
    std::string error;
    bool quit;
  } cases[] = {
      {"rcpt550", "5.1.1 No such user", false},
      {"drop", "", false},
  };
  for (const Case& c : cases) {
    ServerProcess peer("smtp_recorder.py", {"--mode", c.mode});
    ASSERT_GT(peer.Port(), 0);
    run.Run(To(peer.Port(), "SendMail \"x@y.org\" \"a@y.org\" \"S\" \"" + std::string(3000, 'z') +
                                "\" \"\" \"HideProgress\""));
    if (c.error.empty())
      EXPECT_NE(run.V("LastError"), "") << c.mode;
    else
      EXPECT_EQ(run.V("LastError"), c.error) << c.mode;
    EXPECT_EQ(run.V("MailProgress"), "") << c.mode;
    EXPECT_EQ(Has(Recorded(peer), "QUIT"), c.quit) << c.mode;
    EXPECT_FALSE(vl::Transfers().transferBusy) << c.mode;
  }
}

TEST_F(Mail, BadInputIsRefusedClearly) {
  ServerProcess smtp("smtp_server.py", {"--store", QString::fromStdString(store.path().string())});
  ASSERT_GT(smtp.Port(), 0);
  struct Case {
    const char* name;
    std::string text;
    std::string error;
  } cases[] = {
      {"< without >", "SendMail \"Bob <bob@x.org\" \"a@x.org\" \"S\" \"T\" \"\" \"HideProgress\"",
       "Unable to parse email address"},
      {"sender without @", "SendMail \"b@x.org\" \"ann\" \"S\" \"T\" \"\" \"HideProgress\"",
       "\"From\" address not complete."},
      {"no recipients", "SendMail \"\" \"a@x.org\" \"S\" \"T\" \"\" \"HideProgress\"",
       "\"SendTo\" field not specified."},
      {"a missing attachment", "SendMail \"b@x.org\" \"a@x.org\" \"S\" \"T\" \"" + (files / "none.bin").string() +
                                   "\" \"HideProgress\"",
       vl::ErrorText(2)},
      {"a line break in the subject", "SendMail \"b@x.org\" \"a@x.org\" \"S[#13][#10]Bcc: c@x.org\" \"T\" \"\" \"HideProgress\"",
       "A line break in the sender, the recipients or the subject cannot be sent"},
      {"a line break in a recipient", "SendMail \"b@x.org[#10]RCPT TO:<c@x.org>\" \"a@x.org\" \"S\" \"T\" \"\" \"HideProgress\"",
       "A line break in the sender, the recipients or the subject cannot be sent"},
  };
  for (const Case& c : cases) {
    run.Run(To(smtp.Port(), c.text));
    EXPECT_EQ(run.V("LastError"), c.error) << c.name;
  }
  EXPECT_TRUE(fs::is_empty(store.path())) << "nothing was delivered";
  run.Run("SetVar \"[MailServer]\" \"127.0.0.1\"\nSetVar \"[MailPort]\" \"25x\"\n"
          "SendMail \"b@x.org\" \"a@x.org\" \"S\" \"T\" \"\" \"HideProgress\"\n");
  EXPECT_EQ(run.V("LastError"), "[MailPort] is not a port number: 25x");
}

TEST_F(Mail, TheServerIsAskedForAndForgottenAfterAFailedConnection) {
  // No server: the question is asked; the headless dialogs cancel it.
  run.Run("SendMail \"b@x.org\" \"a@x.org\" \"S\" \"T\" \"\" \"HideProgress\"\n");
  EXPECT_EQ(run.V("LastError"), vl::Msg(249));
  const auto dialogs = run.Trace("dialog");
  ASSERT_FALSE(dialogs.empty());
  EXPECT_EQ(dialogs[0].rfind("dialog\tinput\t", 0), 0u) << dialogs[0];
  // A closed port: the server is forgotten.
  QTcpServer s;
  s.listen(QHostAddress::LocalHost, 0);
  const int port = s.serverPort();
  s.close();
  run.Run(To(port, "SendMail \"b@x.org\" \"a@x.org\" \"S\" \"T\" \"\" \"HideProgress\""));
  EXPECT_EQ(run.V("LastError"), vl::Msg(248) + " 127.0.0.1");
  EXPECT_EQ(run.V("MailServer"), "");
}

TEST_F(Mail, CancelledThroughMailProgress) {
  ServerProcess peer("smtp_recorder.py", {"--mode", "slow"});
  ASSERT_GT(peer.Port(), 0);
  WriteFileBytes(files / "big.bin", std::string(8 << 20, 'q'));
  run.Run("TestAfter \"300\" \"SetVar '[MailProgress]' 'cancel'\"\n" +
          To(peer.Port(), "SendMail \"x@y.org\" \"a@y.org\" \"S\" \"T\" \"" + (files / "big.bin").string() + "\" \"\""));
  EXPECT_EQ(run.V("LastError"), vl::Msg(250));
  EXPECT_EQ(run.V("MailProgress"), "");
  const auto lines = Recorded(peer);
  EXPECT_FALSE(Has(lines, "QUIT"));
  for (const auto& l : lines) EXPECT_NE(l.rfind("(data", 0), 0u) << "the final dot was sent";
  EXPECT_FALSE(vl::ProgressWindowShown());
}

TEST_F(Mail, StartTlsWithTheTestsOwnCertificate) {
  const std::string cert = (files / "cert.pem").string(), key = (files / "key.pem").string();
  ASSERT_TRUE(MakeTestCertificate(cert, key));
  ServerProcess smtp("smtp_server.py",
                     {"--store", QString::fromStdString(store.path().string()), "--tls", QString::fromStdString(cert),
                      QString::fromStdString(key)});
  ASSERT_GT(smtp.Port(), 0);
  const std::string send = To(smtp.Port(), "SendMail \"b@x.org\" \"a@x.org\" \"S\" \"T\" \"\" \"HideProgress\"");
  // Not trusted: refused, with the reason.
  run.Run(send);
  EXPECT_EQ(run.V("LastError").rfind(vl::Msg(248) + " 127.0.0.1 (", 0), 0u) << run.V("LastError");
  EXPECT_FALSE(fs::exists(store / "1.json"));
  // Trusted: sent encrypted.
  vl::QtNetHost::TrustExtraCertificates(cert);
  run.Run(send);
  vl::QtNetHost::TrustExtraCertificates("");
  EXPECT_EQ(run.V("LastError"), "");
  EXPECT_TRUE(ReadJson(store / "1.json")["tls"].toBool());
  // [MailTLS] off: plain, as the server allows.
  run.Run("SetVar \"[MailTLS]\" \"No\"\n" + send);
  EXPECT_EQ(run.V("LastError"), "");
  EXPECT_FALSE(ReadJson(store / "2.json")["tls"].toBool());
}

TEST_F(Mail, TheCloseWaitsForAMailInProgress) {
  vl::LifecycleContext ctx;
  vl::Transfers().mailBusy = true;
  // The headless dialogs answer with the first button: the close is refused.
  EXPECT_FALSE(vl::Lifecycle().CloseQuery(ctx));
  EXPECT_EQ(ctx.refusedBy, "mail");
  vl::Transfers().mailBusy = false;
}

TEST(SmtpReply, RepliesInPiecesAndLines) {
  vl::SmtpReplyReader r;
  r.Feed("250-first\r\n25");
  vl::SmtpReply rep;
  EXPECT_FALSE(r.Next(rep));
  r.Feed("0-AUTH PLAIN LOGIN\r\n250 last line\r\n354 go\n");
  ASSERT_TRUE(r.Next(rep));
  EXPECT_EQ(rep.code, "250");
  EXPECT_EQ(rep.text, "last line");
  EXPECT_EQ(rep.lines, (std::vector<vl::AnsiString>{"first", "AUTH PLAIN LOGIN", "last line"}));
  ASSERT_TRUE(r.Next(rep));
  EXPECT_EQ(rep.code, "354");
  // A bare code ends its reply; short lines go on; long texts are cut at 64.
  r.Feed("ab\r\n221\r\n");
  ASSERT_TRUE(r.Next(rep));
  EXPECT_EQ(rep.code, "221");
  r.Feed("550 " + std::string(100, 'x') + "\r\n");
  ASSERT_TRUE(r.Next(rep));
  EXPECT_EQ(rep.text, std::string(63, 'x'));  // 64 from the blank on, trimmed
  // No line break in sight for ever: the reader gives up.
  r.Feed(std::string(5000, 'y'));
  EXPECT_TRUE(r.Failed());
}

}  // namespace
