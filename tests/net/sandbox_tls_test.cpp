// Secure connections against the mail sandbox: POP3 over TLS and with STLS, SMTP with
// STARTTLS and AUTH and over TLS, byte for byte; then the certificate checks, each refusal
// with its message and nothing lost.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/settings/security_settings.h"
#include "core/settings/settings.h"
#include "net/smtp/send_mail.h"
#include "net/support/sandbox_fixture.h"
#include "platform/profile.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::MaildirMessages;
using testing::Sandbox;
using testing::Strings;

class SandboxTls : public testing::SandboxMail {
 protected:
  void SetUp() override {
    SandboxMail::SetUp();
    ::setenv("CORVELLE_TLS_CA_FILE", sandbox.ca_file.c_str(), 1);
  }
  void TearDown() override { ::unsetenv("CORVELLE_TLS_CA_FILE"); }
  void Secure(Security send, const std::string& send_port, Security mail, const std::string& mail_port) {
    MailSettings.Secure.SendSecurity = SecurityText(send);
    MailSettings.SendPort = send_port;
    MailSettings.Secure.MailSecurity = SecurityText(mail);
    MailSettings.MailPort = mail_port;
  }
  // The delivery log's line for this test's user.
  std::string Delivery() const {
    std::ifstream log(sandbox.deliveries);
    std::string line, found;
    while (std::getline(log, line))
      if (line.find(user + "@") != std::string::npos) found = line;
    return found;
  }
  // The texts of the boxes, each cut at its first line break.
  Strings FirstLines() const {
    Strings lines;
    for (const std::string& text : ui.Texts()) lines.push_back(text.substr(0, text.find("\n\r")));
    return lines;
  }
};

TEST_F(SandboxTls, MailGoesOutAndComesBackOverEverySecureWayByteForByte) {
  const struct {
    const char* name;
    Security send, mail;
    std::string Sandbox::*send_port, Sandbox::*mail_port;
    const char* login;  // the sending login, "" for the POP3 user's
  } rows[] = {
      {"STARTTLS with AUTH, POP3S", Security::kStartTls, Security::kTls, &Sandbox::smtp_port, &Sandbox::pop3s_port,
       "sender"},
      {"SMTP over TLS, STLS", Security::kTls, Security::kStartTls, &Sandbox::smtps_port, &Sandbox::pop3_port, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    NewUser();
    for (const char* folder : {"Spool", "Sent Mail"}) std::filesystem::remove_all(mail_dir + folder);
    MakeTree();
    Secure(row.send, sandbox.*row.send_port, row.mail, sandbox.*row.mail_port);
    MailSettings.Secure.SendUserName = row.login;
    MailSettings.Secure.SendPassWord = *row.login ? EncodePassword(sandbox.password) : "";
    Strings messages = {To() + "Subject: dots\r\n\r\n.\r\n..x\r\n" + std::string(998, 'b') + "\r\n",
                        To() + "Subject: 8-bit \xFC\r\n\r\n\xE4\x80 " + std::string(1, '\0') + "\r\n"};
    for (size_t i = 0; i < messages.size(); ++i) Spool(std::to_string(i) + ".out", messages[i]);
    std::sort(messages.begin(), messages.end());

    EXPECT_EQ(NewSender(20)->SendOutGoingMail(), 2);
    EXPECT_EQ(MaildirMessages(maildir), messages);
    std::string login = *row.login ? row.login : user;
    EXPECT_NE(Delivery().find("\"login\": \"" + login + "\", \"tls\": true"), std::string::npos) << Delivery();
    Fetch();
    EXPECT_EQ(received, 2);
    EXPECT_FALSE(error_flag);
    EXPECT_EQ(Contents("Spool"), messages);
    EXPECT_EQ(ui.Texts(), Strings{});
  }
}

// An unknown CA: refused unless the user trusts the certificate, which holds in later runs
// (read back from the settings file); a different certificate then is refused with a warning.
TEST_F(SandboxTls, AnUnknownCertificateIsTrustedOnlyByTheUserAndOnlyAsItWas) {
  ::unsetenv("CORVELLE_TLS_CA_FILE");
  Secure(Security::kNone, sandbox.smtp_port, Security::kTls, sandbox.pop3s_port);
  testing::DeliverToMaildir(maildir, "Subject: s\r\n\r\nbody\r\n");
  const std::string server = sandbox.host + ":" + sandbox.pop3s_port;
  const std::string question = "The certificate of " + server +
                               " cannot be verified (unable to get local issuer certificate).";
  ui.Script({Answer::No});
  Fetch();
  EXPECT_EQ(FirstLines(), (Strings{question, "Could not connect to host."}));
  EXPECT_EQ(received, 0);
  EXPECT_EQ(MaildirMessages(maildir).size(), 1u);

  ui.boxes.clear();
  ui.Script({Answer::Yes});
  Fetch();
  EXPECT_EQ(FirstLines(), Strings{question});
  EXPECT_EQ(received, 1);

  SecuritySettings stored;  // the next run knows only what the file says
  LoadSecuritySettings(PrivateProfile(SettingsFilePath()), stored);
  MailSettings.Secure.TrustedCertificates = stored.TrustedCertificates;
  testing::DeliverToMaildir(maildir, "Subject: s\r\n\r\nagain\r\n");
  ui.boxes.clear();
  Fetch();
  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(received, 1);

  // The sandbox's other TLS port shows another certificate: as if this server's had changed.
  const std::string changed = sandbox.host + ":" + sandbox.expired_port;
  TrustFingerprint(MailSettings, changed, TrustedFingerprint(MailSettings, server));
  Secure(Security::kTls, sandbox.expired_port, Security::kTls, sandbox.pop3s_port);
  Spool("0.out", To() + "Subject: kept\r\n\r\nbody\r\n");
  EXPECT_EQ(NewSender(20)->SendOutGoingMail(), 0);
  EXPECT_EQ(FirstLines(), (Strings{"The certificate of " + changed + " has changed since you trusted it, and it "
                                   "cannot be verified (unable to get local issuer certificate). The "
                                   "connection was refused.",
                                   "Could not connect to host."}));
  EXPECT_TRUE(testing::ReadFile(mail_dir + "Spool/0.out").ends_with("kept\r\n\r\nbody\r\n")) << "still spooled";
  EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Warning);
}

// Refusals: each names the host and the reason, and the message stays spooled.
TEST_F(SandboxTls, RefusedConnectionsKeepTheMessageSpooled) {
  const struct {
    const char* name;
    std::string host, Sandbox::*port;
    Security security;
    std::string password;
    std::string first_box;
  } rows[] = {
      {"a wrong host name", "localhost", &Sandbox::smtps_port, Security::kTls, sandbox.password,
       "The certificate of localhost:" + sandbox.smtps_port + " cannot be verified (hostname mismatch)."},
      {"an expired certificate", sandbox.host, &Sandbox::expired_port, Security::kTls, sandbox.password,
       "The certificate of 127.0.0.1:" + sandbox.expired_port + " cannot be verified (certificate has expired)."},
      {"a wrong password", sandbox.host, &Sandbox::smtp_port, Security::kStartTls, "wrong",
       "The mail server 127.0.0.1 did not accept your user name and password."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ui.boxes.clear();
    ui.Script({Answer::No});
    Secure(row.security, sandbox.*row.port, Security::kNone, sandbox.pop3_port);
    MailSettings.SendServer = row.host;
    MailSettings.PassWord = EncodePassword(row.password);
    Spool("0.out", To() + "Subject: kept\r\n\r\nbody\r\n");
    EXPECT_EQ(NewSender(20)->SendOutGoingMail(), 0);
    ASSERT_FALSE(ui.Texts().empty());
    EXPECT_EQ(FirstLines()[0], row.first_box);
    EXPECT_EQ(Names("Spool"), Strings{"0.out"});
    EXPECT_TRUE(MaildirMessages(maildir).empty());
  }
}

// The line channel shakes hands with implicit TLS and carries a message of many TLS records
// whole.
TEST_F(SandboxTls, TheLineChannelSpeaksTls) {
  std::string body;
  for (int i = 0; i < 4000; ++i) body += "line " + std::to_string(i) + " of a message that spans many records\r\n";
  testing::DeliverToMaildir(maildir, "Subject: big\r\n\r\n" + body);
  LineChannel channel(ui, MailSettings, nullptr);
  ASSERT_TRUE(channel.Connect(sandbox.host, sandbox.pop3s_port, true));
  EXPECT_TRUE(channel.Secured());
  Strings replies;
  std::string line, received;
  const Strings commands = {"USER " + user, "PASS " + sandbox.password, "RETR 1", ""};
  for (const std::string& command : commands) {
    if (channel.ReadLine(line) == 0) break;
    replies.push_back(line.substr(0, 3));
    if (!command.empty()) channel.Write(command + "\r\n");
  }
  while (channel.ReadLine(line) > 0 && line != ".") received += line + "\r\n";
  channel.Write("QUIT\r\n");
  if (channel.ReadLine(line) > 0) replies.push_back(line.substr(0, 3));
  EXPECT_EQ(replies, (Strings{"+OK", "+OK", "+OK", "+OK", "+OK"}));
  EXPECT_EQ(received, "Subject: big\r\n\r\n" + body);
  EXPECT_EQ(ui.Texts(), Strings{});
}

}  // namespace
}  // namespace corvelle
