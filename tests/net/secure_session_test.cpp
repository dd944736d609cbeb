// The secure start of POP3 and SMTP sessions against the in-process scripted server: a
// server that does not offer the upgrade, refuses it, or drops the connection in the
// handshake gets no password, the user is told why, and no message is lost.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <set>

#include "core/settings/security_settings.h"
#include "core/settings/settings.h"
#include "net/pop3/get_mail.h"
#include "net/smtp/send_mail.h"
#include "net/support/fake_server.h"
#include "net/support/transfer_fixture.h"
#include "platform/profile.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::FakeServer;
using testing::Strings;

const std::string kMessage = "To: a@x\r\nSubject: kept\r\n\r\nbody\r\n";
const std::string kDropped = "the server closed the connection during the handshake.";

class SecureSessionTest : public testing::TransferFixture {
 protected:
  // One retrieval from `server`: true when it failed; `received` as the run counted it.
  bool Fetch(FakeServer& server, int& received) {
    TGetMail mail(Context([&server] { return server.NewTransport(); }));
    mail.Channel().Timeout = 2;
    int skipped = -1;
    mail.GetNewMail(received, skipped);
    return mail.ErrorFlag;
  }

  void Check(const FakeServer& server, const std::string& box) {
    EXPECT_EQ(server.Problems(), Strings{});
    EXPECT_TRUE(server.Finished()) << testing::Escape(server.Written());
    ASSERT_FALSE(ui.Texts().empty());
    EXPECT_EQ(ui.Texts()[0], box);
    EXPECT_EQ(server.Written().find("secret"), std::string::npos) << "the password went out";
    EXPECT_EQ(server.Written().find("c2VjcmV0"), std::string::npos) << "the password went out";
  }
};

TEST_F(SecureSessionTest, Pop3WithoutAWorkingStlsSendsNoPassword) {
  const std::string capa = "S: +OK ready\nC: CAPA\nS: +OK\nS: USER\n";
  const struct {
    const char* name;
    std::string script, box;
  } rows[] = {
      {"STLS not offered", capa + "S: .\n",
       "The mail server pop.example does not offer STLS, so the connection cannot be secured."},
      {"STLS refused", capa + "S: STLS\nS: .\nC: STLS\nS: -ERR not now\n",
       "The mail server pop.example could not start a secure connection."},
      {"dropped in the handshake", capa + "S: STLS\nS: .\nC: STLS\nS: +OK go\nCLOSE\n",
       "Secure connection to pop.example failed: " + kDropped},
  };
  MailSettings.Secure.MailSecurity = SecurityText(Security::kStartTls);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ui.boxes.clear();
    FakeServer server(row.script);
    int received = -1;
    const bool failed = Fetch(server, received);
    Check(server, row.box);
    EXPECT_TRUE(failed);
    EXPECT_EQ(received, 0);
  }
}

// Without TLS the password goes to a POP3 server only once the user allowed it for that
// server (host and port); the answer is remembered per server, in the settings file too.
TEST_F(SecureSessionTest, Pop3PasswordGoesInClearOnlyToAServerTheUserAllowed) {
  MailSettings.Secure.MailSecurity = SecurityText(Security::kNone);
  MailSettings.Secure.ClearPasswordServers.clear();
  const std::string question =
      "The mail server pop.example asks for your password, and the connection is not encrypted.\n\r"
      "Send the password without encryption, now and from now on?";
  const std::string kept = "No mail was retrieved from pop.example: the password was not sent without encryption.";
  const std::string refused = "Invalid password or another mail session active.";
  const std::string no_login = "S: +OK ready\nC: QUIT\nS: +OK\nCLOSE\n";
  const std::string login = "S: +OK ready\nC: CAPA\nS: -ERR\nC: USER joe\nS: +OK\nC: PASS secret\nS: -ERR not today\nC: QUIT\nS: +OK\nCLOSE\n";
  const struct {
    const char* name;
    std::string port;
    std::optional<Answer> answer;  // to the question, when one is expected
    std::string script;
    Strings boxes;
  } rows[] = {
      {"the user says no", "110", Answer::No, no_login, {question, kept}},
      {"the user says yes", "110", Answer::Yes, login, {question, refused}},
      {"remembered for that server", "110", std::nullopt, login, {refused}},
      {"another port is another server", "1110", Answer::No, no_login, {question, kept}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ui.boxes.clear();
    if (row.answer) ui.Script({*row.answer});
    MailSettings.MailPort = row.port;
    FakeServer server(row.script);
    int received = -1;
    const bool failed = Fetch(server, received);
    EXPECT_EQ(server.Problems(), Strings{});
    EXPECT_TRUE(server.Finished()) << testing::Escape(server.Written());
    EXPECT_EQ(ui.Texts(), row.boxes);
    EXPECT_TRUE(failed);
  }
  EXPECT_EQ(MailSettings.Secure.ClearPasswordServers, std::set<std::string>{"pop.example:110"});
  EXPECT_EQ(PrivateProfile(SettingsFilePath()).ReadString("main", "ClearAuth:pop.example:110", ""), "1");
}

TEST_F(SecureSessionTest, SmtpWithoutAWorkingStartTlsSendsNoPasswordAndKeepsTheMessage) {
  const std::string ehlo = "S: 220 ready\nC: ehlo [127.0.0.1]\nS: 250-mail.example\n";
  const struct {
    const char* name;
    Security security;
    std::string script, box;
  } rows[] = {
      {"STARTTLS not offered", Security::kStartTls, ehlo + "S: 250 AUTH PLAIN\n",
       "The mail server mail.example does not offer STARTTLS, so the connection cannot be secured."},
      {"STARTTLS offered, then refused", Security::kStartTls,
       ehlo + "S: 250 STARTTLS\nC: STARTTLS\nS: 454 TLS not available\n",
       "The mail server mail.example could not start a secure connection."},
      {"dropped in the handshake", Security::kStartTls, ehlo + "S: 250 STARTTLS\nC: STARTTLS\nS: 220 go\nCLOSE\n",
       "Secure connection to mail.example failed: " + kDropped},
      {"bytes after the consent, before the handshake", Security::kStartTls,
       ehlo + "S: 250 STARTTLS\nC: STARTTLS\nS: 220 go\nS: 250 injected\n",
       "Secure connection to mail.example failed: the server sent data before the handshake."},
      {"silent in the handshake: the watchdog", Security::kStartTls,
       ehlo + "S: 250 STARTTLS\nC: STARTTLS\nS: 220 go\nSTALL\n", "Transfer error: Blocking call timed out"},
      {"no TLS, and the user keeps the password", Security::kNone,
       ehlo + "S: 250 AUTH PLAIN LOGIN\nC: mail from:<self@site>\nS: 530 authentication required\nC: QUIT\n",
       "The mail server mail.example asks for your password, and the connection is not encrypted.\n\r"
       "Send the password without encryption, now and from now on?"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ui.boxes.clear();
    ui.Script({Answer::No});
    MailSettings.Secure.SendSecurity = SecurityText(row.security);
    Spool("0.out", kMessage);
    FakeServer server(row.script);
    auto sender = NewSender(1, [&server] { return server.NewTransport(); });
    EXPECT_EQ(sender->SendOutGoingMail(), 0);
    Check(server, row.box);
    EXPECT_EQ(Names("Spool"), Strings{"0.out"});
    EXPECT_FALSE(ClearPasswordAllowed(MailSettings, "mail.example:25"));
  }
}

// Cancel ends a handshake the server never finishes, long before the watchdog would.
TEST_F(SecureSessionTest, CancelEndsTheHandshake) {
  MailSettings.Secure.SendSecurity = SecurityText(Security::kStartTls);
  Spool("0.out", kMessage);
  FakeServer server("S: 220 ready\nC: ehlo [127.0.0.1]\nS: 250-mail.example\nS: 250 STARTTLS\nC: STARTTLS\nS: 220 go\n"
                    "STALL\n");
  auto sender = NewSender(30, [&server] { return server.NewTransport(); });
  ui.on_events = [&] {
    std::string written = server.Written();  // the client hello out: the handshake waits
    if (written.find("STARTTLS\r\n") < written.size() - 10 && sender->SendMail1.Channel().CancelCount() == 0)
      sender->SendMail1.Cancel();
  };
  EXPECT_EQ(sender->SendOutGoingMail(), 0);
  EXPECT_FALSE(sender->SendMail1.IsConnected());
  EXPECT_EQ(ui.Texts(), Strings{}) << "a cancel is no error";
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
}

}  // namespace
}  // namespace corvelle
