// TSendMail over the in-process fake server: the exact dialogue, the spool folder's order,
// the result codes and their messages, filing into "Sent Mail", and what is kept when a
// message is not delivered.

#include "net/send_mail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/settings.h"
#include "net/fake_transport.h"
#include "send_mail_fixture.h"
#include "support/temp_dir.h"
#include "support/test_data.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using testing::ReadTestData;
using Strings = std::vector<std::string>;

const std::string kDots =
    "To: ann@example.org, Bob Smith <bob@example.org>\r\nFrom: Self <self@site>\r\nSubject: Dots\r\n\r\n"
    ".\r\n.leading dot\r\n..\r\n . space first\r\n\xe9t\xe9 8-bit\r\nlast line\r\n";

// A dialogue for one message to a@x whose wire text is `text` (CR LF lines, stuffed).
std::string OneMessage(const std::string& text, const std::string& end_reply = "250 Ok") {
  std::string script =
      "C: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<a@x>\nS: 250 Ok\n"
      "C: data\nS: 354 go on\n";
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find("\r\n", at);
    script += "C: " + Escape(text.substr(at, end - at)) + "\n";
    at = end + 2;
  }
  return script + "C: .\nS: " + end_reply + "\n";
}

class SendMailTest : public testing::SendMailFixture {
 protected:
  std::unique_ptr<TSendMail> SenderFor(FakeServer& server) {
    auto sender = NewSender();
    sender->SetTransport(server.NewTransport());
    return sender;
  }
  void ExpectPlayed(const FakeServer& server) {
    EXPECT_EQ(server.Problems(), Strings{});
    EXPECT_TRUE(server.Finished()) << Escape(server.Written());
  }
};

TEST_F(SendMailTest, OneSpoolMessageGoesOutExactlyAndIsFiledWhole) {
  FakeServer server(ReadTestData("smtp/two_recipients.txt"));
  std::string path = Spool("0.out", kDots);
  auto sender = SenderFor(server);

  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendDelivered);

  ExpectPlayed(server);
  EXPECT_EQ(server.Host(), "mail.example");
  EXPECT_EQ(server.Port(), "25");
  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(Names("Spool"), Strings{});
  EXPECT_EQ(SentCopy(), kDots);  // the spool file itself, byte for byte
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
  FakeServer server("S: 220 ready\n" + OneMessage("To: a@x\r\nSubject: From a window\r\n\r\n..\r\nbody\r\n") +
                    "C: QUIT\n");
  auto sender = SenderFor(server);

  EXPECT_EQ(sender->SendOneMailMessage("", &lines), kSendDelivered);

  ExpectPlayed(server);
  EXPECT_EQ(SentCopy(), "To: a@x\r\nSubject: From a window\r\n\r\n.\r\nbody\r\n");
  EXPECT_EQ(Names("Spool"), Strings{});  // no work file left behind
  EXPECT_EQ(ui.Texts(), Strings{});
}

TEST_F(SendMailTest, SpoolFilesGoOutInNameOrderOverOneConnection) {
  Spool("1.OUT", "To: one@x\r\n\r\nbody 1\r\n");
  Spool("0.out", "To: zero@x\r\n\r\nbody 0\r\n");
  Spool("b.Out", "To: b@x\r\n\r\nbody b\r\n");
  Spool("a.txt", "To: txt@x\r\n\r\nnot outgoing\r\n");
  Spool("2.new", "To: new@x\r\n\r\nincoming\r\n");
  std::string script = "S: 220 ready\n";
  for (const char* who : {"zero", "one", "b"}) {
    script += std::string("C: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<") + who +
              "@x>\nS: 250 Ok\nC: data\nS: 354 go\nC: To: " + who + "@x\nC:\nC: body " +
              (who == std::string("zero") ? "0" : who == std::string("one") ? "1" : "b") + "\nC: .\nS: 250 Ok\n";
  }
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
  FakeServer server(
      "S: 220 ready\n"
      "C: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\n"
      "C: rcpt to:<a@x>\nS: 250 Ok\nC: rcpt to:<b@x>\nS: 550 5.1.1 No such user\n" +
      OneMessage("To: a@x\r\n\r\nsecond\r\n") + "C: QUIT\n");
  auto sender = SenderFor(server);

  EXPECT_EQ(sender->SendOutGoingMail(), 1);

  ExpectPlayed(server);
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(ui.Texts(), Strings{"Bad \"To:\" line: mail server could not accept mail addressees."});
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
  EXPECT_EQ(ReadFile(mail_dir + "Spool/0.out"), "To: a@x, b@x\r\n\r\nfirst\r\n");
  EXPECT_EQ(SentCopy(), "To: a@x\r\n\r\nsecond\r\n");
}

struct RefusalRow {
  const char* name;
  std::string script;  // after the greeting
  int code;
  Strings boxes;
};

TEST_F(SendMailTest, EachRefusalHasItsCodeAndMessageAndKeepsTheMessage) {
  const std::string envelope = "C: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\n";
  const RefusalRow rows[] = {
      {"helo refused", "C: helo [127.0.0.1]\nS: 501 bad helo\n", 1, {"Mail server did not accept greeting."}},
      {"sender refused", "C: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 553 not you\n", 2,
       {"Mail server did not accept your email address."}},
      {"data refused", envelope + "C: rcpt to:<a@x>\nS: 250 Ok\nC: data\nS: 554 no data\n", 4,
       {"Mail server did not accept mail body."}},
      {"text refused", OneMessage("To: a@x\r\n\r\nbody\r\n", "552 too big"), 5, {}},
      {"a reply of 250 to DATA is not 354", envelope + "C: rcpt to:<a@x>\nS: 250 Ok\nC: data\nS: 250 what\n", 4,
       {"Mail server did not accept mail body."}},
  };
  for (const RefusalRow& row : rows) {
    SCOPED_TRACE(row.name);
    ui.boxes.clear();
    std::string path = Spool("0.out", "To: a@x\r\n\r\nbody\r\n");
    FakeServer server("S: 220 ready\n" + row.script + "C: QUIT\n");
    auto sender = SenderFor(server);
    EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), row.code);
    ExpectPlayed(server);
    EXPECT_EQ(ui.Texts(), row.boxes);
    EXPECT_EQ(ReadFile(path), "To: a@x\r\n\r\nbody\r\n");
    EXPECT_EQ(Names("Sent Mail"), Strings{});
  }
}

TEST_F(SendMailTest, NoRecipientSendsNothingButQuit) {
  std::string path = Spool("0.out", "From: self@site\r\nTo:nospace@x\r\n\r\nTo: body@x\r\n");
  FakeServer server("S: 220 ready\nC: QUIT\n");
  auto sender = SenderFor(server);
  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendNoRecipients);
  ExpectPlayed(server);
  EXPECT_EQ(ui.Texts(), Strings{"Bad \"To:\" line: mail server could not accept mail addressees."});
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
}

TEST_F(SendMailTest, AnUnreadableSpoolFileIsReportedAsHavingNoRecipients) {
  FakeServer server("S: 220 ready\nC: QUIT\n");
  auto sender = SenderFor(server);
  EXPECT_EQ(sender->SendOneMailMessage(mail_dir + "Spool/missing.out", nullptr), kSendNoRecipients);
  ExpectPlayed(server);
  EXPECT_EQ(ui.Texts(), Strings{"Bad \"To:\" line: mail server could not accept mail addressees."});
}

TEST_F(SendMailTest, ABareCrInTheHeaderEndsALineAsItDoesOnTheWire) {
  // The server sees "rcpt to:<eve@x>" as a header line of its own, so it names no recipient.
  std::string path = Spool("0.out", "To: a@x\rrcpt to:<eve@x>\r\n\r\nbody\r\n");
  FakeServer server("S: 220 ready\n" + OneMessage("To: a@x\r\nrcpt to:<eve@x>\r\n\r\nbody\r\n") + "C: QUIT\n");
  auto sender = SenderFor(server);
  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendDelivered);
  ExpectPlayed(server);
}

TEST_F(SendMailTest, AnAddressWithControlBytesIsNeverPutIntoACommand) {
  std::string path = Spool("0.out", std::string("To: good@x, a\0b@x\r\n\r\nbody\r\n", 27));
  FakeServer server(
      "S: 220 ready\nC: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\n"
      "C: rcpt to:<good@x>\nS: 250 Ok\nC: QUIT\n");
  auto sender = SenderFor(server);
  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendNoRecipients);
  ExpectPlayed(server);
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
}

TEST_F(SendMailTest, AnEmptyPortConnectsToPort25) {
  MailSettings.SendPort = "";
  FakeServer server("S: 220 ready\nC: QUIT\n");
  auto sender = SenderFor(server);
  Strings lines = {"Subject: no recipients"};
  sender->SendOneMailMessage("", &lines);
  EXPECT_EQ(server.Port(), "25");
}

TEST_F(SendMailTest, NoConnectionIsCode6AndKeepsTheMessage) {
  std::string path = Spool("0.out", "To: a@x\r\n\r\nbody\r\n");
  FakeServer server;
  server.SetConnectResult(10061);
  auto sender = SenderFor(server);
  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendNoConnection);
  EXPECT_EQ(ui.Texts(), (Strings{"Transfer error: Connection refused", "Could not connect to host."}));
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
  std::string text = "unchanged";
  TSendMail::DecodeMailError(kSendNoConnection, text);
  EXPECT_EQ(text, "Cannot connect to mail server.");
}

TEST_F(SendMailTest, AGreetingOtherThan220IsAnsweredWithQuit) {
  std::string path = Spool("0.out", "To: a@x\r\n\r\nbody\r\n");
  FakeServer server("S: 554 go away\nC: QUIT\n");
  auto sender = SenderFor(server);
  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendNoConnection);
  ExpectPlayed(server);
  EXPECT_EQ(ui.Texts(), Strings{"Could not connect to SMTP server."});
  EXPECT_TRUE(sender->ErrorFlag);
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
}

TEST_F(SendMailTest, ALineLongerThan998CharactersIsNotSentAtAll) {
  // 998 characters are fine; a dot-led line of 998 becomes 999 on the wire.
  std::string fine = std::string(998, 'x');
  std::string path = Spool("0.out", "To: a@x\r\n\r\n" + fine + "\r\n." + std::string(997, 'y') + "\r\n");
  FakeServer server("S: 220 ready\nC: QUIT\n");
  auto sender = SenderFor(server);
  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendLineTooLong);
  ExpectPlayed(server);
  ASSERT_EQ(ui.Texts().size(), 1u);
  EXPECT_NE(ui.Texts()[0].find("998"), std::string::npos);
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
  std::string text;
  TSendMail::DecodeMailError(kSendLineTooLong, text);
  EXPECT_EQ(text, "Message has a line longer than 998 characters.");
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

TEST_F(SendMailTest, CancelInsideTheTextNeverEndsTheDataAndKeepsTheMessage) {
  std::string body;
  for (int i = 0; i < 2000; ++i) body += "line " + std::to_string(i) + " of a long message\r\n";
  std::string path = Spool("0.out", "To: a@x\r\n\r\n" + body);
  FakeServer server(
      "S: 220 ready\nC: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\n"
      "C: rcpt to:<a@x>\nS: 250 Ok\nC: data\nS: 354 go\n");
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
  Spool("0.out", "To: a@x\r\n\r\nbody\r\n");
  Spool("1.out", "To: a@x\r\n\r\nbody\r\n");
  FakeServer server("S: 220 ready\n" + OneMessage("To: a@x\r\n\r\nbody\r\n") + "C: QUIT\n");
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

TEST_F(SendMailTest, ADeliveredMessageThatCannotBeFiledIsKeptButNeverSentAgain) {
  std::string path = Spool("0.out", "To: a@x\r\nSubject: kept\r\n\r\nbody\r\n");
  std::filesystem::remove_all(mail_dir + "Sent Mail");
  FakeServer server("S: 220 ready\n" + OneMessage("To: a@x\r\nSubject: kept\r\n\r\nbody\r\n") + "C: QUIT\n");
  auto sender = SenderFor(server);

  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), kSendDelivered);

  ExpectPlayed(server);
  EXPECT_EQ(Names("Spool"), Strings{"0.sent"});
  EXPECT_EQ(ReadFile(mail_dir + "Spool/0.sent"), "To: a@x\r\nSubject: kept\r\n\r\nbody\r\n");
  EXPECT_EQ(ui.Texts(), Strings{"The message was sent, but it could not be filed into \"Sent Mail\". It is kept as " +
                                mail_dir + "Spool/0.sent."});
  // The next run finds nothing to send.
  FakeServer nothing("");
  sender->SetTransport(nothing.NewTransport());
  EXPECT_EQ(sender->SendOutGoingMail(), 0);
  EXPECT_EQ(nothing.Connections(), 0);
}

TEST_F(SendMailTest, DecodeMailErrorDescribesEachCodeAndLeavesOthersAlone) {
  const std::pair<int, const char*> rows[] = {
      {1, "Mail server does not accept greeting."}, {2, "Bad entry in FROM: line."},
      {3, "Bad entry in TO: line."},                {4, "Mail server will not accept message body."},
      {5, "Mail server did not properly receive file."}, {6, "Cannot connect to mail server."},
      {0, "as it was"},                             {8, "as it was"},
  };
  for (const auto& [code, text] : rows) {
    std::string decoded = "as it was";
    TSendMail::DecodeMailError(code, decoded);
    EXPECT_EQ(decoded, text) << code;
  }
}

}  // namespace
}  // namespace corvelle
