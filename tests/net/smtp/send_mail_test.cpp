// TSendMail against scripted servers: the in-process fake for the exact dialogue, the spool
// folder's order, result codes and messages and filing into "Sent Mail"; tiny TCP servers on
// loopback for what real servers will not do on demand. After every fault: the right
// message, no message lost, nothing hangs.

#include "net/smtp/send_mail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "core/settings.h"
#include "net/support/fake_transport.h"
#include "net/support/scripted_server.h"
#include "support/test_data.h"
#include "net/support/transfer_fixture.h"

namespace corvelle {
namespace {

using testing::Data;
using testing::Envelope;
using testing::OneMessage;
using testing::ReadFile;
using testing::ScriptedServer;
using testing::Strings;
using Clock = std::chrono::steady_clock;

const std::string kMessage = "To: a@x\r\nSubject: fault\r\n\r\nbody\r\n";
const std::string kBadTo = "Bad \"To:\" line: mail server could not accept mail addressees.";

class SendMailTest : public testing::TransferFixture {
 protected:
  std::unique_ptr<TSendMail> SenderFor(FakeServer& server) {
    auto sender = NewSender();
    sender->SetTransport(server.NewTransport());
    return sender;
  }
  static void ExpectPlayed(const FakeServer& server) {
    EXPECT_EQ(server.Problems(), Strings{});
    EXPECT_TRUE(server.Finished()) << Escape(server.Written());
  }
  static void ExpectPlayed(const ScriptedServer& server) {
    EXPECT_EQ(server.Problems(), Strings{});
    EXPECT_TRUE(server.Finished());
  }
  // Sends the spool file at `path` to a TCP server on `host`; checks that the sender came
  // back in good time and the server saw it leave.
  int SendOverTcp(ScriptedServer& server, const std::string& path, const std::string& host = "127.0.0.1",
                  int timeout_seconds = 1) {
    MailSettings.SendServer = host;
    MailSettings.SendPort = server.Port();
    auto sender = NewSender(timeout_seconds);
    auto start = Clock::now();
    int code = sender->SendOneMailMessage(path, nullptr);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(8)) << "the sender waited too long";
    EXPECT_TRUE(server.WaitDone()) << "the server still waits for the client";
    EXPECT_FALSE(sender->IsConnected());
    return code;
  }
};

TEST_F(SendMailTest, OneSpoolMessageGoesOutExactlyAndIsFiledWhole) {
  const std::string dots =
      "To: ann@example.org, Bob Smith <bob@example.org>\r\nFrom: Self <self@site>\r\nSubject: Dots\r\n\r\n"
      ".\r\n.leading dot\r\n..\r\n . space first\r\n\xe9t\xe9 8-bit\r\nlast line\r\n";
  FakeServer server(testing::ReadTestData("smtp/two_recipients.txt"));
  std::string path = Spool("0.out", dots);
  auto sender = SenderFor(server);

  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendDelivered);

  ExpectPlayed(server);
  EXPECT_EQ(server.Host(), "mail.example");
  EXPECT_EQ(server.Port(), "25");
  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(Names("Spool"), Strings{});
  EXPECT_EQ(SentCopy(), dots);  // the spool file itself, byte for byte
  ASSERT_EQ(Names("Sent Mail").size(), 1u);
  EXPECT_EQ(Names("Sent Mail")[0].substr(0, 4), "Dots");
  EXPECT_EQ(Names("Sent Mail")[0].substr(Names("Sent Mail")[0].size() - 5), ".mail");
  EXPECT_TRUE(status.Showed("Connecting to mail server..."));
  EXPECT_TRUE(status.Showed("To:ann@example.org, bob@example.org"));
  EXPECT_EQ(status.Lines(), Strings{"Disconnecting from mail server..."});
  ASSERT_FALSE(ui.current.empty());
  EXPECT_EQ(ui.current.front(), 0);
  EXPECT_EQ(ui.current.back(), 100);
  EXPECT_TRUE(std::is_sorted(ui.current.begin(), ui.current.end()));
  EXPECT_FALSE(sender->Connected);
  EXPECT_FALSE(sender->ErrorFlag);
}

TEST_F(SendMailTest, WindowLinesAreSentAndWrittenIntoSentMail) {
  Strings lines = {"To: a@x", "Subject: From a window", "", ".", "body"};
  MailSettings.SendPort = "";
  FakeServer server("S: 220 ready\n" + OneMessage("To: a@x\r\nSubject: From a window\r\n\r\n..\r\nbody\r\n") +
                    "C: QUIT\n");
  auto sender = SenderFor(server);

  EXPECT_EQ(sender->SendOneMailMessage("", &lines), kSendDelivered);

  ExpectPlayed(server);
  EXPECT_EQ(server.Port(), "25") << "an empty port means 25";
  EXPECT_EQ(SentCopy(), "To: a@x\r\nSubject: From a window\r\n\r\n.\r\nbody\r\n");
  EXPECT_EQ(Names("Spool"), Strings{});  // no work file left behind
  EXPECT_EQ(ui.Texts(), Strings{});
}

TEST_F(SendMailTest, LineEndsOnTheWireAreCrLfWhateverTheFileHolds) {
  // Bare LF, a bare CR inside a line (then a dot line), and no line end at the very end.
  std::string file = std::string("To: a@x\n\nunix line\nold\r.mac\r\nNUL ") + std::string(1, '\0') + " byte\r\nno end";
  std::string path = Spool("0.out", file);
  FakeServer server("S: 220 ready\n" +
                    OneMessage(std::string("To: a@x\r\n\r\nunix line\r\nold\r\n..mac\r\nNUL ") + std::string(1, '\0') +
                               " byte\r\nno end\r\n") +
                    "C: QUIT\n");
  auto sender = SenderFor(server);
  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendDelivered);
  ExpectPlayed(server);
  EXPECT_EQ(SentCopy(), file);  // the filed copy is the file as it was
}

TEST_F(SendMailTest, SpoolFilesGoOutInNameOrderOverOneConnection) {
  Spool("1.OUT", "To: one@x\r\n\r\nbody 1\r\n");
  Spool("0.out", "To: zero@x\r\n\r\nbody 0\r\n");
  Spool("b.Out", "To: b@x\r\n\r\nbody b\r\n");
  Spool("a.txt", "To: txt@x\r\n\r\nnot outgoing\r\n");
  Spool("2.new", "To: new@x\r\n\r\nincoming\r\n");
  std::string script = "S: 220 ready\n";
  for (std::string who : {"zero", "one", "b"})
    script += Envelope(who + "@x") + Data("To: " + who + "@x\r\n\r\nbody " + (who == "b" ? "b" : who == "one" ? "1" : "0") + "\r\n");
  FakeServer server(script + "C: QUIT\n");
  auto sender = SenderFor(server);

  EXPECT_EQ(sender->SendOutGoingMail(), 3);

  ExpectPlayed(server);
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(Names("Spool"), (Strings{"2.new", "a.txt"}));
  EXPECT_EQ(Names("Sent Mail").size(), 3u);
  EXPECT_EQ(ui.total, (std::vector<int>{0, 33, 66, 100}));
  EXPECT_TRUE(status.Showed("Sending message: 2 of 3"));
  EXPECT_EQ(status.Lines(), Strings{});
}

TEST_F(SendMailTest, RefusedSecondRecipientStopsThatMessageAndTheNextStartsWithHelo) {
  Spool("0.out", "To: a@x, b@x\r\n\r\nfirst\r\n");
  Spool("1.out", "To: a@x\r\n\r\nsecond\r\n");
  FakeServer server("S: 220 ready\n" + Envelope() + "C: rcpt to:<b@x>\nS: 550 5.1.1 No such user\n" +
                    OneMessage("To: a@x\r\n\r\nsecond\r\n") + "C: QUIT\n");
  auto sender = SenderFor(server);

  EXPECT_EQ(sender->SendOutGoingMail(), 1);

  ExpectPlayed(server);
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(ui.Texts(), Strings{kBadTo});
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
  EXPECT_EQ(ReadFile(mail_dir + "Spool/0.out"), "To: a@x, b@x\r\n\r\nfirst\r\n");
  EXPECT_EQ(SentCopy(), "To: a@x\r\n\r\nsecond\r\n");
}

TEST_F(SendMailTest, ALostConnectionIsReportedOnceAndTheNextMessageConnectsAgain) {
  Spool("0.out", "To: a@x\r\n\r\nfirst\r\n");
  Spool("1.out", "To: a@x\r\n\r\nsecond\r\n");
  FakeServer server("S: 220 ready\nC: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nCLOSE\n"
                    "S: 220 again\n" + OneMessage("To: a@x\r\n\r\nsecond\r\n") + "C: QUIT\n");
  auto sender = SenderFor(server);
  EXPECT_EQ(sender->SendOutGoingMail(), 1);
  ExpectPlayed(server);
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_EQ(ui.Texts(), Strings{"Transfer error: Connection reset by peer"});
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
}

// Each way a message can fail to go out: its code, its boxes, and the message kept whole in
// the spool folder (or, once the server took it, filed into "Sent Mail").
TEST_F(SendMailTest, EveryFaultHasItsCodeAndMessageAndLosesNothing) {
  const std::string helo = "C: helo [127.0.0.1]\nS: 250 hi\n";
  const std::string text = Data(kMessage).substr(0, Data(kMessage).rfind("S: "));  // up to the end of data
  const std::string garbage = "Could not connect to SMTP server.";
  const struct {
    const char* name;
    bool over_tcp;
    std::string script;
    int code;
    Strings boxes;  // a box ending in "*" matches any text with that beginning
    bool delivered = false;
    std::optional<std::string> file = kMessage;  // none: the spool file is missing
    int timeout = 1;
  } rows[] = {
      // What the server answers.
      {"helo refused", false, "S: 220 ready\nC: helo [127.0.0.1]\nS: 501 bad helo\nC: QUIT\n", kSendGreetingRefused,
       {"Mail server did not accept greeting."}},
      {"sender refused", false, "S: 220 ready\n" + helo + "C: mail from:<self@site>\nS: 553 not you\nC: QUIT\n",
       kSendSenderRefused, {"Mail server did not accept your email address."}},
      {"data refused", false, "S: 220 ready\n" + Envelope() + "C: data\nS: 554 no data\nC: QUIT\n", kSendBodyRefused,
       {"Mail server did not accept mail body."}},
      {"a reply of 250 to DATA is not 354", false, "S: 220 ready\n" + Envelope() + "C: data\nS: 250 what\nC: QUIT\n",
       kSendBodyRefused, {"Mail server did not accept mail body."}},
      {"text refused", false, "S: 220 ready\n" + OneMessage(kMessage, "552 too big") + "C: QUIT\n", kSendNotReceived,
       {}},
      {"greeting other than 220", false, "S: 554 go away\nC: QUIT\n", kSendNoConnection, {garbage}},
      // What the message holds.
      {"no recipient line", false, "S: 220 ready\nC: QUIT\n", kSendNoRecipients, {kBadTo}, false,
       "From: self@site\r\nTo:nospace@x\r\n\r\nTo: body@x\r\n"},
      {"an unreadable spool file", false, "S: 220 ready\nC: QUIT\n", kSendNoRecipients, {kBadTo}, false, std::nullopt},
      {"an address with control bytes is never put into a command", false,
       "S: 220 ready\n" + helo + "C: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<good@x>\nS: 250 Ok\nC: QUIT\n",
       kSendNoRecipients, {kBadTo}, false, std::string("To: good@x, a\0b@x\r\n\r\nbody\r\n", 27)},
      {"a bare CR in the header ends a line, as on the wire: no recipient of its own", false,
       "S: 220 ready\n" + OneMessage("To: a@x\r\nrcpt to:<eve@x>\r\n\r\nbody\r\n") + "C: QUIT\n", kSendDelivered, {},
       true, "To: a@x\rrcpt to:<eve@x>\r\n\r\nbody\r\n"},
      {"a line longer than 998 characters: nothing sent", false, "S: 220 ready\nC: QUIT\n", kSendLineTooLong,
       {"Mail message has a line longer than 998 characters, which mail servers do not accept. It was not sent."},
       false, "To: a@x\r\n\r\n" + std::string(998, 'x') + "\r\n." + std::string(997, 'y') + "\r\n"},
      // Real connections that misbehave.
      {"multi-line 220- greeting and replies", true,
       "S: 220-mail.example ESMTP\nS: 220-no UCE\nS: 220 ready\nC: helo [127.0.0.1]\nS: 250-mail.example\nS: 250-" +
           std::string(300, 'p') + "\nS: 250 HELP\nC: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<a@x>\nS: 250 Ok\n" +
           Data(kMessage) + "C: QUIT\nS: 221 bye\n",
       kSendDelivered, {}, true},
      {"reply lines over 255 bytes are one line each", true,
       "S: 220 " + std::string(400, 'g') + "\nC: helo [127.0.0.1]\nS: 250 " + std::string(700, 'h') +
           "\nC: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<a@x>\nS: 250 Ok\n" +
           Data(kMessage, "250 " + std::string(1000, 'q')) + "C: QUIT\n",
       kSendDelivered, {}, true},
      {"garbage and NUL bytes are no greeting", true, "S: \\0\\0\\xff\\x01 garbage\nC: QUIT\n", kSendNoConnection,
       {garbage}},
      {"garbage for a helo reply", true, "S: 220 ready\nC: helo [127.0.0.1]\nS: \\x8f\\0250 OK\nC: QUIT\n",
       kSendGreetingRefused, {"Mail server did not accept greeting."}},
      {"closed before the greeting", true, "CLOSE\n", kSendNoConnection, {garbage}},
      {"closed after the greeting", true, "S: 220 ready\nC: helo [127.0.0.1]\nCLOSE\n", kSendGreetingRefused,
       {"Transfer error: Connection reset by peer"}},
      {"disconnect inside DATA", true, "S: 220 ready\n" + Envelope() + "C: data\nS: 354 go\nC: To: a@x\nCLOSE\n",
       kSendNotReceived, {"Transfer error: *"}},
      {"stall before a reply: the watchdog", true, "S: 220 ready\n" + helo + "C: mail from:<self@site>\nSTALL\n",
       kSendSenderRefused, {"Transfer error: Blocking call timed out"}},
      {"stall after the end of data: kept, as the server may not have it", true,
       "S: 220 ready\n" + Envelope() + text + "STALL\n", kSendNotReceived, {"Transfer error: Blocking call timed out"}},
      {"QUIT never answered: not waited for", true, "S: 220 ready\n" + OneMessage(kMessage) + "C: QUIT\nSTALL\n",
       kSendDelivered, {}, true, kMessage, 20},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove_all(mail_dir + "Spool");
    std::filesystem::remove_all(mail_dir + "Sent Mail");
    MakeTree();
    ui.boxes.clear();
    std::string path = row.file ? Spool("0.out", *row.file) : mail_dir + "Spool/missing.out";
    int code;
    if (row.over_tcp) {
      ScriptedServer server(row.script);
      auto start = Clock::now();
      code = SendOverTcp(server, path, "127.0.0.1", row.timeout);
      if (row.timeout > 1) {
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << "not a wait of the watchdog";
      }
      ExpectPlayed(server);
    } else {
      FakeServer server(row.script);
      code = SenderFor(server)->SendOneMailMessage(path, nullptr);
      ExpectPlayed(server);
    }
    EXPECT_EQ(code, row.code);
    Strings texts = ui.Texts();
    ASSERT_EQ(texts.size(), row.boxes.size());
    for (size_t i = 0; i < texts.size(); ++i) {
      const std::string& box = row.boxes[i];
      if (box.back() != '*')
        EXPECT_EQ(texts[i], box);
      else
        EXPECT_EQ(texts[i].rfind(box.substr(0, box.size() - 1), 0), 0u) << texts[i];
    }
    if (row.delivered) {
      EXPECT_EQ(Names("Spool"), Strings{});
      EXPECT_EQ(SentCopy(), *row.file);
    } else {
      EXPECT_EQ(ReadFile(path), row.file.value_or("<missing>"));
      EXPECT_EQ(Names("Sent Mail"), Strings{});
    }
  }
}

TEST_F(SendMailTest, NoConnectionIsCode6AndKeepsTheMessage) {
  std::string path = Spool("0.out", kMessage);
  FakeServer server;
  server.SetConnectResult(10061);
  EXPECT_EQ(SenderFor(server)->SendOneMailMessage(path, nullptr), kSendNoConnection);
  EXPECT_EQ(ui.Texts(), (Strings{"Transfer error: Connection refused", "Could not connect to host."}));
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
  // The codes' descriptions; a code without one leaves the text alone.
  std::string text = "unchanged";
  TSendMail::DecodeMailError(0, text);
  EXPECT_EQ(text, "unchanged");
  TSendMail::DecodeMailError(kSendNoConnection, text);
  EXPECT_EQ(text, "Cannot connect to mail server.");
  TSendMail::DecodeMailError(kSendLineTooLong, text);
  EXPECT_EQ(text, "Message has a line longer than 998 characters.");
}

TEST_F(SendMailTest, OverIpv6TheHeloArgumentIsAnIpv6Literal) {
  std::optional<ScriptedServer> server;
  try {
    server.emplace("S: 220 ready\nC: helo [IPv6:::1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\n"
                   "C: rcpt to:<a@x>\nS: 250 Ok\n" + Data(kMessage) + "C: QUIT\n",
                   ScriptedServer::Options{.ipv6 = true});
  } catch (const std::runtime_error&) {
    GTEST_SKIP() << "no IPv6 loopback here";
  }
  EXPECT_EQ(SendOverTcp(*server, Spool("0.out", kMessage), "::1"), kSendDelivered);
  ExpectPlayed(*server);
  EXPECT_EQ(SentCopy(), kMessage);
}

TEST_F(SendMailTest, CancelInsideTheTextNeverEndsTheDataAndKeepsTheMessage) {
  std::string body;
  for (int i = 0; i < 2000; ++i) body += "line " + std::to_string(i) + " of a long message\r\n";
  std::string path = Spool("0.out", "To: a@x\r\n\r\n" + body);
  FakeServer server("S: 220 ready\n" + Envelope() + "C: data\nS: 354 go\n");
  auto sender = SenderFor(server);
  int lines_seen = 0;
  ui.on_events = [&] {
    // "Cancel current" a little way into the text, as the transfer dialog does it.
    if (server.Finished() && ++lines_seen == 700) {
      sender->ErrorFlag = true;
      sender->CancelListen();
    }
  };

  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendNotReceived);

  EXPECT_EQ(server.Written().find("\r\n.\r\n"), std::string::npos) << "the data must not be ended";
  EXPECT_EQ(server.Written().find("QUIT"), std::string::npos);
  EXPECT_FALSE(sender->IsConnected());
  EXPECT_EQ(ui.Texts(), Strings{"Transfer error: Socket operation on non-socket"});
  EXPECT_EQ(ReadFile(path), "To: a@x\r\n\r\n" + body);
  EXPECT_EQ(Names("Sent Mail"), Strings{});
}

TEST_F(SendMailTest, CancelAllEndsTheRunAfterTheCurrentMessage) {
  Spool("0.out", kMessage);
  Spool("1.out", kMessage);
  FakeServer server("S: 220 ready\n" + OneMessage(kMessage) + "C: QUIT\n");
  auto sender = SenderFor(server);
  ui.on_events = [&] {
    if (server.Written().find("data\r\n") != std::string::npos) sender->CancelAll = true;
  };
  EXPECT_EQ(sender->SendOutGoingMail(), 1);
  ExpectPlayed(server);
  EXPECT_EQ(Names("Spool"), Strings{"1.out"});
  // Once set, it stays set: a later run of the same sender does nothing.
  EXPECT_EQ(sender->SendOutGoingMail(), 0);
  EXPECT_EQ(Names("Spool"), Strings{"1.out"});
}

TEST_F(SendMailTest, ADeliveredMessageThatCannotBeFiledIsKeptButNeverSentAgain) {
  std::string path = Spool("0.out", kMessage);
  std::filesystem::remove_all(mail_dir + "Sent Mail");
  FakeServer server("S: 220 ready\n" + OneMessage(kMessage) + "C: QUIT\n");
  auto sender = SenderFor(server);

  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendDelivered);

  ExpectPlayed(server);
  EXPECT_EQ(Names("Spool"), Strings{"0.sent"});
  EXPECT_EQ(ReadFile(mail_dir + "Spool/0.sent"), kMessage);
  EXPECT_EQ(ui.Texts(), Strings{"The message was sent, but it could not be filed into \"Sent Mail\". It is kept as " +
                                mail_dir + "Spool/0.sent."});
  // The next run finds nothing to send.
  FakeServer nothing("");
  sender->SetTransport(nothing.NewTransport());
  EXPECT_EQ(sender->SendOutGoingMail(), 0);
  EXPECT_EQ(nothing.Connections(), 0);
}

}  // namespace
}  // namespace corvelle
