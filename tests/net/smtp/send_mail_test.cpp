// The sending run and its TSendMail against the in-process scripted server: the exact
// dialogue, the spool folder's order, result codes, messages and replies, filing into "Sent
// Mail". After every fault: the right message, no message lost, nothing hangs.

#include "net/smtp/send_mail.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>

#include "core/settings/settings.h"
#include "net/support/fake_server.h"
#include "net/support/transfer_fixture.h"
#include "net/transfer/transfer_run.h"
#include "support/test_data.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::Data;
using testing::Envelope;
using testing::MailTo;
using testing::OneMessage;
using testing::FakeServer;
using testing::ReadFile;
using testing::Strings;

const std::string kMessage = "To: a@x\r\nSubject: fault\r\n\r\nbody\r\n";
const std::string kNul(1, '\0');
const std::string kBadTo = "Bad \"To:\" line: mail server could not accept mail addressees.";

class SendMailTest : public testing::TransferFixture {
 protected:
  std::unique_ptr<SendRun> SenderFor(FakeServer& server) {
    return NewSender(1, [&server] { return server.NewTransport(); });
  }
  // Empty spool and sent-mail folders, no log, no boxes.
  void Clean() {
    for (const char* path : {"Spool", "Sent Mail", "System/netlog.txt"}) std::filesystem::remove_all(mail_dir + path);
    MakeTree();
    ui.boxes.clear();
  }
  static void ExpectPlayed(const FakeServer& server) {
    EXPECT_EQ(server.Problems(), Strings{});
    EXPECT_TRUE(server.Finished()) << testing::Escape(server.Written());
  }
};

TEST_F(SendMailTest, OneSpoolMessageGoesOutExactlyAndIsFiledWhole) {
  const std::string dots =
      "To: ann@example.org, Bob Smith <bob@example.org>\r\nFrom: Self <self@site>\r\nSubject: Dots\r\n\r\n"
      ".\r\n.leading dot\r\n..\r\n . space first\r\n\xe9t\xe9 8-bit\r\nlast line\r\n";
  FakeServer server(testing::ReadTestData("smtp/two_recipients.txt"));
  std::string path = Spool("0.out", dots);
  auto sender = SenderFor(server);

  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), SendResult::kDelivered);

  ExpectPlayed(server);
  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(Names("Spool"), Strings{});
  EXPECT_EQ(SentCopy(), dots);  // the spool file itself, byte for byte
  ASSERT_EQ(Names("Sent Mail").size(), 1u);
  EXPECT_EQ(Names("Sent Mail")[0].substr(0, 4), "Dots");
  EXPECT_TRUE(status.Showed("To:ann@example.org, bob@example.org"));
  EXPECT_EQ(status.Lines(), Strings{"Disconnecting from mail server..."});
  ASSERT_FALSE(ui.current.empty());
  EXPECT_EQ(ui.current.back(), 100);
  EXPECT_TRUE(std::is_sorted(ui.current.begin(), ui.current.end()));
}

TEST_F(SendMailTest, SpoolFilesGoOutInNameOrderOverOneConnectionWithTheSettingsTheRunBeganWith) {
  Spool("1.OUT", "To: 1@x\r\n\r\nbody 1\r\n");
  Spool("0.out", "To: 0@x\r\n\r\nbody 0\r\n");
  Spool("b.Out", "To: b@x\r\n\r\nbody b\r\n");
  Spool("a.txt", "To: txt@x\r\n\r\nnot outgoing\r\n");
  Spool("2.new", "To: new@x\r\n\r\nincoming\r\n");
  // One greeting for the connection: a second "ehlo" would be out of the script.
  std::string script = "S: 220 ready\n" + testing::kGreeting;
  for (std::string who : {"0", "1", "b"})
    script += MailTo(who + "@x") + Data("To: " + who + "@x\r\n\r\nbody " + who + "\r\n");
  FakeServer server(script + "C: QUIT\n");
  MailSettings.SendPort = "";
  auto sender = SenderFor(server);
  // The setup dialog saves other settings while the run goes on: the run keeps to its own.
  ui.on_events = [] { MailSettings.MailAddress = "someone@else", MailSettings.SendServer = "other.example"; };

  EXPECT_EQ(sender->SendOutGoingMail(), 3);

  ExpectPlayed(server);
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(server.Port(), "25") << "an empty port means 25";
  EXPECT_EQ(Names("Spool"), (Strings{"2.new", "a.txt"}));
  EXPECT_EQ(Names("Sent Mail").size(), 3u);
  EXPECT_EQ(ui.total, (std::vector<int>{0, 33, 66, 100}));
  EXPECT_TRUE(status.Showed("Sending message: 2 of 3"));
}

// A message that fails stays spooled whole and the next one goes out: on the same connection,
// after "RSET" (never a second "ehlo"), after a refused recipient; on a new one, greeted
// again, after the connection was lost. A server that will not reset is left for a new one.
TEST_F(SendMailTest, AFailedMessageStaysSpooledAndTheNextGoesOut) {
  // The first message's dialogue, the second's start, boxes, connections.
  const std::tuple<std::string, std::string, Strings, int> rows[] = {
      {Envelope() + "C: rcpt to:<b@x>\nS: 550 5.1.1 No such user\n", "C: RSET\nS: 250 Ok\n" + MailTo(), {kBadTo}, 1},
      {Envelope() + "C: rcpt to:<b@x>\nS: 550 5.1.1 No such user\n", "C: RSET\nS: 500 what\nCLOSE\nS: 220 again\n" +
       Envelope(), {kBadTo}, 2},
      {"C: ehlo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nCLOSE\nS: 220 again\n", Envelope(),
       {"Transfer error: Connection reset by peer"}, 2}};
  for (const auto& [first, next, boxes, connections] : rows) {
    Clean();
    Spool("0.out", "To: a@x, b@x\r\n\r\nfirst\r\n");
    Spool("1.out", "To: a@x\r\n\r\nsecond\r\n");
    FakeServer server("S: 220 ready\n" + first + next + Data("To: a@x\r\n\r\nsecond\r\n") + "C: QUIT\n");
    EXPECT_EQ(SenderFor(server)->SendOutGoingMail(), 1);
    ExpectPlayed(server);
    EXPECT_EQ(server.Connections(), connections);
    EXPECT_EQ(ui.Texts(), boxes);
    EXPECT_EQ(Names("Spool"), Strings{"0.out"});
    EXPECT_EQ(ReadFile(mail_dir + "Spool/0.out"), "To: a@x, b@x\r\n\r\nfirst\r\n");
    EXPECT_EQ(SentCopy(), "To: a@x\r\n\r\nsecond\r\n");
  }
}

// To a server that offers PIPELINING, MAIL, every RCPT and DATA go as one group (the replies
// come only once all of it has arrived), and the next message follows the text's reply
// without a second greeting. A refusal in the group never lets the text go: a server that waits for the text anyway
// is left by closing, and the next message connects afresh.
TEST_F(SendMailTest, APipelinedEnvelopeGoesAsOneGroupAndARefusalSendsNoText) {
  const std::string hello = "C: ehlo [127.0.0.1]\n", greet = "S: 250-hi\nS: 250 PIPELINING\n";
  const std::string envelope = "C: mail from:<self@site>\nC: rcpt to:<a@x>\nC: rcpt to:<b@x>\nC: data\n";
  const std::string second = "To: a@x, b@x\r\n\r\nsecond\r\n";
  for (const char* name : {"0.out", "1.out", "2.out"}) Spool(name, second);
  std::string text = Data(second);
  text = text.substr(text.find("S: 354"), text.rfind("S: ") - text.find("S: 354"));  // up to the "."
  std::string script = "S: 220 ready\n" + hello + greet + envelope +
                       "S: 250 Ok\nS: 250 Ok\nS: 550 No such user\nS: 354 go on\nCLOSE\n";
  script += "S: 220 again\n" + hello + greet + envelope + "S: 250 Ok\nS: 250 Ok\nS: 250 Ok\n" + text;
  script += "S: 250 Ok\n" + envelope + "S: 553 not you\nS: 503 need MAIL\nS: 503 need MAIL\nS: 503 need RCPT\nC: QUIT\n";
  FakeServer server(script);

  EXPECT_EQ(SenderFor(server)->SendOutGoingMail(), 1);

  ExpectPlayed(server);
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_EQ(ui.Texts(), (Strings{kBadTo, "Mail server did not accept your email address."}));
  EXPECT_EQ(Names("Spool"), (Strings{"0.out", "2.out"}));
  EXPECT_EQ(SentCopy(), second);
}

// To a server that offers PIPELINING, the next message's envelope follows a text's "." before
// its reply (the script answers only once it has come), and its replies are read after that
// reply, in step whatever it was: a text refused for now leaves the next one going on the same
// connection; a connection lost at a text's end leaves it to a new one.
TEST_F(SendMailTest, TheNextEnvelopeFollowsTheTextsEndAndItsRepliesStayInStep) {
  const std::string hello = "S: 220 ready\nC: ehlo [127.0.0.1]\nS: 250-hi\nS: 250 PIPELINING\n";
  const std::string envelope = "C: mail from:<self@site>\nC: rcpt to:<a@x>\nC: data\n";
  const std::string accepted = "S: 250 Ok\nS: 250 Ok\nS: 354 go on\n";
  auto text = [](const std::string& wire) {
    std::string data = Data(wire);
    return data.substr(data.find("C: ", data.find("S: 354")), data.rfind("S: ") - data.find("C: ", data.find("S: 354")));
  };
  const std::string wires[] = {"To: a@x\r\n\r\nzero\r\n", "To: a@x\r\n\r\none\r\n", "To: a@x\r\n\r\ntwo\r\n"};
  const struct {
    const char* name;
    std::string end_of_one;  // the server's side from the reply to the second text's end
    int connections;
  } rows[] = {
      {"refused for now", "S: 451 try later\n" + accepted, 1},
      {"lost", "CLOSE\n" + hello + envelope + accepted, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Clean();
    for (int i = 0; i < 3; ++i) Spool(std::to_string(i) + ".out", wires[i]);
    const std::string script = hello + envelope + accepted + text(wires[0]) + envelope + "S: 250 Ok\n" + accepted +
                               text(wires[1]) + envelope + row.end_of_one + text(wires[2]) + "S: 250 Ok\nC: QUIT\n";
    FakeServer server(script);

    EXPECT_EQ(SenderFor(server)->SendOutGoingMail(), 2);

    ExpectPlayed(server);
    EXPECT_EQ(server.Connections(), row.connections);
    EXPECT_EQ(Names("Spool"), Strings{"1.out"});
    EXPECT_EQ(Contents("Sent Mail"), (Strings{wires[2], wires[0]}));
  }
}

// Each way a message can fail to go out: its code, its boxes, the server's reply in the status
// lines and the network log, and the message kept whole in the spool folder (or filed).
TEST_F(SendMailTest, EveryFaultHasItsCodeAndMessageAndLosesNothing) {
  const std::string helo = "C: ehlo [127.0.0.1]\nS: 250 hi\n";
  const std::string text = Data(kMessage).substr(0, Data(kMessage).rfind("S: "));  // up to the end of data
  const std::string no_smtp = "Could not connect to SMTP server.";
  const struct {
    const char* name;
    std::string script;
    SendResult code;
    Strings boxes;
    std::string note = "";
    bool delivered = false;
    std::optional<std::string> file = kMessage;  // none: the spool file is missing
    int connect_result = 0;
  } rows[] = {
      // What the server answers.
      {"ehlo and helo refused",
       "S: 220 ready\nC: ehlo [127.0.0.1]\nS: 500 what\nC: helo [127.0.0.1]\nS: 501 bad helo\nC: QUIT\n", SendResult::kGreetingRefused,
       {"Mail server did not accept greeting."}, "Mail server answered: 501 bad helo"},
      {"sender refused", "S: 220 ready\n" + helo + "C: mail from:<self@site>\nS: 553 not you\nC: QUIT\n",
       SendResult::kSenderRefused, {"Mail server did not accept your email address."}, "Mail server answered: 553 not you"},
      {"a recipient answered 251 is accepted",
       "S: 220 ready\n" + helo + "C: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<a@x>\nS: 251 will forward\n" +
           Data(kMessage) + "C: QUIT\n",
       SendResult::kDelivered, {}, "", true},
      {"data refused", "S: 220 ready\n" + Envelope() + "C: data\nS: 554 no data\nC: QUIT\n", SendResult::kBodyRefused,
       {"Mail server did not accept mail body."}, "Mail server answered: 554 no data"},
      {"text refused for now: kept, with a box that names it and the reply",
       "S: 220 ready\n" + OneMessage(kMessage, "451-4.7.1 Try again\nS: 451 later") + "C: QUIT\n", SendResult::kTextRefused,
       {"The message \"fault\" was not sent. The mail server answered \"451-4.7.1 Try again 451 later\". It stays in the "
        "spool folder and is sent again with the next Get / Send All."},
       "Mail server answered: 451-4.7.1 Try again  451 later"},
      {"garbage and NUL bytes are no greeting", "S: \\0\\0\\xff\\x01 garbage\nC: QUIT\n", SendResult::kNoConnection,
       {no_smtp}},
      {"closed before the greeting", "CLOSE\n", SendResult::kNoConnection, {no_smtp}},
      {"closed after the greeting", "S: 220 ready\nC: ehlo [127.0.0.1]\nCLOSE\n", SendResult::kGreetingRefused,
       {"Transfer error: Connection reset by peer"}},
      {"refused connection", "", SendResult::kNoConnection,
       {"Transfer error: Connection refused", "Could not connect to host."}, "", false, kMessage, 10061},
      {"multi-line replies, lines over 255 bytes",
       "S: 220-mail.example ESMTP\nS: 220 " + std::string(400, 'g') + "\nC: ehlo [127.0.0.1]\nS: 250-mail\nS: 250-" +
           std::string(300, 'p') + "\nS: 250 HELP\nC: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<a@x>\nS: 250 Ok\n" +
           Data(kMessage, "250 " + std::string(1000, 'q')) + "C: QUIT\n",
       SendResult::kDelivered, {}, "", true},
      // What the message holds.
      {"no recipient line", "S: 220 ready\nC: QUIT\n", SendResult::kNoRecipients, {kBadTo}, "", false,
       "From: self@site\r\nTo:nospace@x\r\n\r\nTo: body@x\r\n"},
      {"an unreadable spool file", "S: 220 ready\nC: QUIT\n", SendResult::kNoRecipients, {kBadTo}, "", false, std::nullopt},
      {"an address with control bytes is never put into a command",
       "S: 220 ready\n" + helo + "C: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<good@x>\nS: 250 Ok\nC: QUIT\n",
       SendResult::kNoRecipients, {kBadTo}, "", false, std::string("To: good@x, a\0b@x\r\n\r\nbody\r\n", 27)},
      {"line ends on the wire are CR LF whatever the file holds; a bare CR in the header ends a line",
       "S: 220 ready\n" + OneMessage("To: a@x\r\nrcpt to:<eve@x>\r\n\r\nunix\r\nold\r\n..mac\r\nNUL " + kNul +
                                      "\r\nend\r\n") + "C: QUIT\n",
       SendResult::kDelivered, {}, "", true, "To: a@x\rrcpt to:<eve@x>\r\n\r\nunix\nold\r.mac\r\nNUL " + kNul + "\r\nend"},
      {"a line of 998 characters starting with a dot goes out stuffed",
       "S: 220 ready\n" + OneMessage("To: a@x\r\n\r\n.." + std::string(997, 'y') + "\r\n") + "C: QUIT\n",
       SendResult::kDelivered, {}, "", true, "To: a@x\r\n\r\n." + std::string(997, 'y') + "\r\n"},
      {"a line longer than 998 characters: nothing sent", "S: 220 ready\nC: QUIT\n", SendResult::kLineTooLong,
       {"Mail message has a line longer than 998 characters, which mail servers do not accept. It was not sent."},
       "", false, "To: a@x\r\n\r\n" + std::string(998, 'x') + "\r\n" + std::string(999, 'y') + "\r\n"},
      // Servers that close or go silent.
      {"disconnect inside DATA", "S: 220 ready\n" + Envelope() + "C: data\nS: 354 go\nC: To: a@x\nCLOSE\n",
       SendResult::kNotReceived, {"Transfer error: Connection reset by peer"}},
      {"stall before a reply: the watchdog", "S: 220 ready\n" + helo + "C: mail from:<self@site>\nSTALL\n",
       SendResult::kSenderRefused, {"Transfer error: Blocking call timed out"}},
      {"stall after the end of data: kept, as the server may not have it",
       "S: 220 ready\n" + Envelope() + text + "STALL\n", SendResult::kNotReceived, {"Transfer error: Blocking call timed out"}},
      {"QUIT never answered: not waited for", "S: 220 ready\n" + OneMessage(kMessage) + "C: QUIT\nSTALL\n",
       SendResult::kDelivered, {}, "", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Clean();
    std::string path = row.file ? Spool("0.out", *row.file) : mail_dir + "Spool/missing.out";
    FakeServer server(row.script);
    server.SetConnectResult(row.connect_result);
    EXPECT_EQ(SenderFor(server)->SendOneMailMessage(path, nullptr), row.code);
    ExpectPlayed(server);
    EXPECT_EQ(ui.Texts(), row.boxes);
    if (!row.note.empty()) {
      ASSERT_FALSE(status.Lines().empty());
      EXPECT_EQ(status.Lines().back(), row.note);
    }
    EXPECT_EQ(ReadFile(mail_dir + "System/netlog.txt"), row.note.empty() ? "<missing>" : row.note + "\r\n");
    if (row.delivered) {
      EXPECT_EQ(Names("Spool"), Strings{});
      EXPECT_EQ(SentCopy(), *row.file);
    } else {
      EXPECT_EQ(ReadFile(path), row.file.value_or("<missing>"));
      EXPECT_EQ(Names("Sent Mail"), Strings{});
    }
  }
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
      sender->SendMail1.ErrorFlag = true;
      sender->SendMail1.Cancel();
    }
  };

  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), SendResult::kNotReceived);

  EXPECT_EQ(server.Written().find("\r\n.\r\n"), std::string::npos) << "the data must not be ended";
  EXPECT_EQ(server.Written().find("QUIT"), std::string::npos);
  EXPECT_FALSE(sender->SendMail1.IsConnected());
  EXPECT_EQ(ui.Texts(), Strings{});  // a cancel is no error
  EXPECT_EQ(ReadFile(path), "To: a@x\r\n\r\n" + body);
  EXPECT_EQ(Names("Sent Mail"), Strings{});
}

TEST_F(SendMailTest, CancelAllEndsTheRunAfterTheCurrentMessage) {
  Spool("0.out", kMessage);
  Spool("1.out", kMessage);
  FakeServer server("S: 220 ready\n" + OneMessage(kMessage) + "C: QUIT\n");
  auto sender = SenderFor(server);
  ui.on_events = [&] {
    if (server.Written().find("data\r\n") != std::string::npos) sender->SendMail1.CancelAll = true;
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

  EXPECT_EQ(sender->SendOneMailMessage(path, nullptr), SendResult::kDelivered);

  ExpectPlayed(server);
  EXPECT_EQ(Names("Spool"), Strings{"0.sent"});
  EXPECT_EQ(ReadFile(mail_dir + "Spool/0.sent"), kMessage);
  EXPECT_EQ(ui.Texts(), Strings{"The message was sent, but it could not be filed into \"Sent Mail\". It is kept as " +
                                mail_dir + "Spool/0.sent."});
  // The next run finds nothing to send.
  FakeServer nothing("");
  sender = SenderFor(nothing);
  EXPECT_EQ(sender->SendOutGoingMail(), 0);
  EXPECT_EQ(nothing.Connections(), 0);
}

// Refusals of the complete text: each is told with the message's subject and the server's
// reply, and counted. One refused for now stays spooled; one refused for good goes to
// "Postponed" whole, so it is not sent in vain at every run. The transaction has ended, so
// the next message follows at once.
TEST_F(SendMailTest, ARefusedTextIsToldCountedAndARefusalForGoodIsPostponed) {
  const std::string big = "To: a@x\r\nSubject: =?UTF-8?Q?Gro=C3=9F?=\r\n\r\nhuge\r\n";
  const std::string spam = "To: a@x\r\nSubject: offer\r\n\r\nbuy\r\n";
  const std::string later = "To: a@x\r\n\r\nlater\r\n";
  const std::string fine = "To: a@x\r\nSubject: fine\r\n\r\nok\r\n";
  Spool("0.out", big);
  Spool("1.out", spam);
  Spool("2.out", later);
  Spool("3.out", fine);
  FakeServer server("S: 220 ready\n" + Envelope() + Data(big, "552 5.3.4 Message too big") + MailTo() +
                    Data(spam, "554 5.7.1 Rejected as spam") + MailTo() + Data(later, "451 4.3.0 Try later") +
                    MailTo() + Data(fine) + "C: QUIT\n");
  auto sender = SenderFor(server);

  EXPECT_EQ(sender->SendOutGoingMail(), 1);
  EXPECT_EQ(sender->NotSent, 3);

  ExpectPlayed(server);
  const std::string postponed = " It was moved to the folder \"Postponed\": open it there to change it and send it again.";
  EXPECT_EQ(ui.Texts(),
            (Strings{"The message \"Gro\xC3\x9F\" was not sent. The mail server answered \"552 5.3.4 Message too big\"." +
                         postponed,
                     "The message \"offer\" was not sent. The mail server answered \"554 5.7.1 Rejected as spam\"." +
                         postponed,
                     "The message \"(none)\" was not sent. The mail server answered \"451 4.3.0 Try later\". It stays in "
                     "the spool folder and is sent again with the next Get / Send All."}));
  EXPECT_EQ(Names("Spool"), Strings{"2.out"});
  Strings kept = {big, spam};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Contents("Postponed"), kept);
  EXPECT_EQ(SentCopy(), fine);
  EXPECT_EQ(TransferSummary(1, 3, 0, false, 0, sender->NotSent), "1 sent, 3 received messages, 0 errors, 3 not sent.");
  EXPECT_EQ(TransferSummary(0, 3, 0, false, 0, 0), "3 received messages, 0 errors.");
}

// A server that announces SIZE learns each message's size with "mail from" (RFC 1870), and a
// message larger than its limit is not sent at all: told at once, and kept in "Postponed", as
// is one whose declared size the server refuses for good (552).
TEST_F(SendMailTest, AMessageOverTheAnnouncedSizeIsNotUploaded) {
  const std::string large = "To: a@x\r\nSubject: large\r\n\r\n" + std::string(80, 'x') + "\n";
  const std::string medium = "To: a@x\r\nSubject: medium\r\n\r\n" + std::string(20, 'x') + "\r\n";
  Spool("0.out", large);
  Spool("1.out", kMessage);
  Spool("2.out", medium);
  FakeServer server("S: 220 ready\nC: ehlo [127.0.0.1]\nS: 250-hi\nS: 250 SIZE 100\n"
                    "C: mail from:<self@site> SIZE=33\nS: 250 Ok\nC: rcpt to:<a@x>\nS: 250 Ok\n" +
                    Data(kMessage) + "C: mail from:<self@site> SIZE=50\nS: 552 5.2.2 Over your quota\nC: QUIT\n");

  EXPECT_EQ(SenderFor(server)->SendOutGoingMail(), 1);

  ExpectPlayed(server);
  const std::string postponed = " It was moved to the folder \"Postponed\": open it there to change it and send it again.";
  EXPECT_EQ(ui.Texts(), (Strings{"The message \"large\" was not sent. It is larger than the mail server accepts "
                                 "(109 bytes; its limit is 100 bytes)." + postponed,
                                 "The message \"medium\" was not sent. The mail server answered \"552 5.2.2 Over your "
                                 "quota\"." + postponed}));
  EXPECT_EQ(Contents("Postponed"), (Strings{large, medium}));
  EXPECT_EQ(Names("Spool"), Strings{});
}

// Send Current: a window's message refused for good is kept in "Postponed", not spooled to
// be refused again.
TEST_F(SendMailTest, AWindowMessageRefusedForGoodGoesToPostponedNotToTheSpool) {
  Strings lines = {"To: a@x", "Subject: s", "", "text"};
  FakeServer server("S: 220 ready\n" + OneMessage("To: a@x\r\nSubject: s\r\n\r\ntext\r\n", "554 no") +
                    "C: QUIT\n");
  Strings results;
  TransferRun run(Context([&server] { return server.NewTransport(); }), &status, nullptr,
                  [&results](const std::string& text) { results.push_back(text); });
  run.SendMail1.Channel().Timeout = 1;

  EXPECT_TRUE(run.DoSend("", &lines));

  ExpectPlayed(server);
  EXPECT_EQ(Names("Spool"), Strings{});
  EXPECT_EQ(Contents("Postponed"), Strings{"To: a@x\r\nSubject: s\r\n\r\ntext\r\n"});
  EXPECT_EQ(results, Strings{"Message not sent: moved to \"Postponed\"."});
}

}  // namespace
}  // namespace corvelle
