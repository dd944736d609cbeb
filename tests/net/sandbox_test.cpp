// Against the mail sandbox (scripts/mail-sandbox), which CTest starts for the suites named
// Sandbox*: Dovecot for POP3, and an SMTP server that delivers into the Maildir Dovecot
// serves, so what was sent is read back byte for byte, from the Maildir and through POP3.
// A test fails (never passes quietly) when the sandbox is not there.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <thread>

#include "core/settings/settings.h"
#include "net/pop3/get_mail.h"
#include "net/smtp/send_mail.h"
#include "net/support/fake_server.h"
#include "net/support/sandbox_fixture.h"
#include "net/support/transfer_fixture.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::Strings;
using testing::DeliverToMaildir;
using testing::MaildirMessages;
using testing::SandboxMail;
using Clock = std::chrono::steady_clock;

// A loopback proxy in front of the sandbox's POP3 server that makes one fault happen at the
// RETR of the last message (the count of the STAT reply): it refuses it, as a server may
// refuse a message it cannot read, or it drops both connections. It follows the dialogue
// the way the retriever speaks, one command and then its reply, for one client.
class Pop3FaultProxy {
 public:
  Pop3FaultProxy(const std::string& server_port, bool drop)
      : drop_(drop), thread_([this, server_port] { Run(std::stoi(server_port)); }) {}
  ~Pop3FaultProxy() { thread_.join(); }  // every wait of the proxy is bounded
  const std::string& Port() const { return listener_.Port(); }

 private:
  struct Peer {
    int fd = -1;
    std::string pending;
    ~Peer() { ::close(fd); }
    // One line, LF included; false at the end of the stream or after ten silent seconds.
    bool ReadLine(std::string& line) {
      for (char buffer[65536]; pending.find('\n') == std::string::npos;) {
        pollfd entry{fd, POLLIN, 0};
        ssize_t n = ::poll(&entry, 1, 10000) == 1 ? ::recv(fd, buffer, sizeof buffer, 0) : 0;
        if (n <= 0) return false;
        pending.append(buffer, static_cast<size_t>(n));
      }
      line = pending.substr(0, pending.find('\n') + 1);
      pending.erase(0, line.size());
      return true;
    }
    void Send(const std::string& bytes) { (void)!::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  };

  void Run(int server_port) {
    pollfd entry{listener_.fd(), POLLIN, 0};
    if (::poll(&entry, 1, 10000) != 1) return;
    sockaddr_in address{AF_INET, htons(static_cast<uint16_t>(server_port)), {htonl(INADDR_LOOPBACK)}, {}};
    Peer client{::accept4(listener_.fd(), nullptr, nullptr, 0), ""}, server{::socket(AF_INET, SOCK_STREAM, 0), ""};
    std::string command, reply, last = "none";
    if (::connect(server.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || !server.ReadLine(reply))
      return;
    for (client.Send(reply); client.ReadLine(command);) {
      if (command == "RETR " + last + "\r\n") {
        if (drop_) return;
        client.Send("-ERR the proxy refuses this message\r\n");
        continue;
      }
      server.Send(command);
      if (!server.ReadLine(reply)) return;
      client.Send(reply);
      if (command.starts_with("STAT") && reply.starts_with("+OK ")) last = reply.substr(4, reply.find(' ', 4) - 4);
      bool more = command.starts_with("RETR") && reply.starts_with("+OK");
      while (more && server.ReadLine(reply)) client.Send(reply), more = reply != ".\r\n";
    }
  }

  bool drop_;
  testing::LoopbackPort listener_{false, true};
  std::thread thread_;
};

TEST_F(SandboxMail, SpooledMessagesArriveAndComeBackThroughPop3ByteForByte) {
  Strings messages = {
      To() + "Subject: long lines\r\n\r\n" + std::string(997, 'a') + "\r\n" + std::string(998, 'b') + "\r\n." +
          std::string(997, 'c') + "\r\nshort\r\n",  // 998 characters, the longest allowed, one of them dot-led
      To() + "Subject: dots\r\n\r\n.\r\n..\r\n.x\r\n..y\r\n . \r\nend.\r\n.\r\n",
      To() + "Subject: 8-bit \xFC\xFF\r\n\r\n\xE4\x80\x01 bytes \xFF\xFE\r\n" + std::string(1, '\0') + " a NUL\r\n",
      To() + "Subject: empty body\r\n\r\n",
      To() + "Subject: header only, no empty line\r\n",
  };
  for (size_t i = 0; i < messages.size(); ++i) Spool(std::to_string(i) + ".out", messages[i]);
  // A file with bare line feeds and no end goes out with CR LF line ends.
  Spool("5.out", To() + "Subject: bare LF and no end\r\n\r\nunix\nline\n.dot\nlast");
  messages.push_back(To() + "Subject: bare LF and no end\r\n\r\nunix\r\nline\r\n.dot\r\nlast\r\n");
  std::sort(messages.begin(), messages.end());

  EXPECT_EQ(NewSender(20)->SendOutGoingMail(), static_cast<int>(messages.size()));

  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(Names("Spool"), Strings{});
  EXPECT_EQ(Names("Sent Mail").size(), messages.size());
  EXPECT_EQ(MaildirMessages(maildir), messages);
  Fetch();
  EXPECT_EQ(received, static_cast<int>(messages.size()));
  EXPECT_EQ(skipped, 0);
  EXPECT_FALSE(error_flag);
  EXPECT_EQ(Contents("Spool"), messages);
  EXPECT_TRUE(MaildirMessages(maildir).empty());
}

// Left on the server, a message is fetched once: by its unique id, over runs and components.
TEST_F(SandboxMail, LeaveMailOnServerFetchesEachMessageOnce) {
  MailSettings.LeaveMailOnServer = true;
  Fetch();  // an empty mailbox is no error
  EXPECT_EQ(received, 0);
  EXPECT_FALSE(error_flag);
  for (int i = 0; i < 50; ++i) DeliverToMaildir(maildir, "Subject: s\r\n\r\n" + std::to_string(i) + "\r\n");
  for (int expected : {50, 0, 1, 0}) {
    if (expected == 1) DeliverToMaildir(maildir, "Subject: late\r\n\r\nnew\r\n");
    Fetch();
    EXPECT_EQ(received, expected);
    EXPECT_FALSE(error_flag);
  }
  EXPECT_EQ(Names("Spool").size(), 51u);
  EXPECT_EQ(MaildirMessages(maildir).size(), 51u);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SandboxMail, AWrongPasswordStoresAndDeletesNothing) {
  DeliverToMaildir(maildir, "Subject: s\r\n\r\nbody\r\n");
  MailSettings.PassWord = EncodePassword("not the password");
  Fetch();
  EXPECT_EQ(ui.Texts(), Strings{"Invalid password or another mail session active."});
  EXPECT_TRUE(error_flag);
  EXPECT_TRUE(Names("Spool").empty());
  EXPECT_EQ(MaildirMessages(maildir).size(), 1u);
}

TEST_F(SandboxMail, WindowMessageToSeveralRecipientsOfALongToLine) {
  // One "To:" line of well over 255 characters, its last address this test's user.
  std::string to = "To: ";
  for (int i = 0; i < 12; ++i)
    to += "Somebody With A Long Name " + std::to_string(i) + " <other" + std::to_string(i) + "@sandbox.invalid>, ";
  to += "\"Last, The\" <" + user + "@sandbox.invalid>";
  Strings lines = {to, "Subject: many", "", ".", "hello"};

  EXPECT_EQ(NewSender(20)->SendOneMailMessage("", &lines), SendResult::kDelivered);

  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(MaildirMessages(maildir), Strings{to + "\r\nSubject: many\r\n\r\n.\r\nhello\r\n"});
  EXPECT_EQ(SentCopy(), MaildirMessages(maildir)[0]);
  EXPECT_EQ(Names("Spool"), Strings{});  // no work file left behind
  // The sandbox's delivery log names every recipient of the envelope.
  std::ifstream log(sandbox.deliveries);
  std::string line, envelope = "\"helo\": \"[127.0.0.1]\", \"mail_from\": \"self@site\", \"rcpt_tos\": [";
  for (int i = 0; i < 12; ++i) envelope += "\"other" + std::to_string(i) + "@sandbox.invalid\", ";
  while (std::getline(log, line) && line.find(user) == std::string::npos) continue;
  EXPECT_NE(line.find(envelope + "\"" + user + "@sandbox.invalid\"]"), std::string::npos) << line;
}

// Each way a deleting session can end, twice in a row, then one run that ends well: every
// message is in the spool folder exactly once, and the server has none left.
TEST_F(SandboxMail, EveryMessageIsStoredOnceHoweverTheSessionsEnd) {
  for (const char* ending : {"connection lost", "last message refused", "Cancel current", "Cancel all"}) {
    SCOPED_TRACE(ending);
    NewUser();
    fs::remove_all(mail_dir + "Spool");
    MakeTree();
    Strings messages;
    for (int i = 0; i < 4; ++i) {
      messages.push_back("Subject: message " + std::to_string(i) + "\r\n\r\n");
      for (int line = 0; line < 30; ++line) messages.back() += "line " + std::to_string(line) + "\r\n";
      DeliverToMaildir(maildir, messages.back());
    }
    // Cancel is pressed once a run, as the transfer dialog does it, when message 2 has begun.
    bool pressed = false;
    ui.on_events = [&] {
      const Strings& lines = status.Lines();
      if (pressed || !fetching || ending[0] != 'C' || lines.size() < 2 || !lines[0].starts_with("Receiving message: 2"))
        return;
      pressed = fetching->ErrorFlag = true;
      fetching->CancelAll = ending == std::string("Cancel all");
      fetching->Cancel();
    };
    for (int run = 0; run < 2; ++run) {
      pressed = false;
      std::optional<Pop3FaultProxy> proxy;
      if (ending[0] != 'C') proxy.emplace(sandbox.pop3_port, ending[0] == 'c');
      MailSettings.MailPort = proxy ? proxy->Port() : sandbox.pop3_port;
      Fetch();
    }
    ui.on_events = nullptr;
    MailSettings.MailPort = sandbox.pop3_port;
    Fetch();
    EXPECT_FALSE(error_flag);
    std::sort(messages.begin(), messages.end());
    EXPECT_EQ(Contents("Spool"), messages);
    EXPECT_TRUE(MaildirMessages(maildir).empty());
  }
}

// The line channel over a real connection (the mail components carry every other test
// here): lines that arrived together are read one by one; a refused connection is reported.
TEST_F(SandboxMail, TheLineChannelTalksToARealServer) {
  LineChannel channel(ui, MailSettings, nullptr);
  Strings errors, lines;
  channel.SetErrorHandler([&](const ChannelError& error, const std::string& text) {
    errors.push_back(std::to_string(error.code) + " " + text);
  });
  ASSERT_TRUE(channel.Connect(sandbox.host, sandbox.pop3_port, false));
  std::string line;
  ASSERT_GT(channel.ReadLine(line), 0);
  lines.push_back(line.substr(0, 3));
  channel.Write("CAPA\r\n");  // a reply of many lines
  while (channel.ReadLine(line) > 0 && line != ".") lines.push_back(line.substr(0, 3));
  channel.Write("QUIT\r\n");
  ASSERT_GT(channel.ReadLine(line), 0);
  lines.push_back(line.substr(0, 3));
  EXPECT_EQ(channel.ReadLine(line), 0);
  EXPECT_EQ(channel.LastReadError(), ChannelError::Kind::kClosed);
  ASSERT_GT(lines.size(), 4u);
  EXPECT_EQ(Strings(lines.begin(), lines.begin() + 2), (Strings{"+OK", "+OK"}));
  EXPECT_EQ(lines.back(), "+OK");
  EXPECT_TRUE(errors.empty());
  channel.Close();
  testing::LoopbackPort closed(false, false);
  EXPECT_FALSE(channel.Connect("127.0.0.1", closed.Port(), false));
  EXPECT_EQ(errors, Strings{"10061 Connection refused"});
}

}  // namespace
}  // namespace corvelle
