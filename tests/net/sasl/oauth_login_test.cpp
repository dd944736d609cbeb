// Logging in with what the credentials give, against the scripted server speaking TLS: an
// OAuth2 access token over OAUTHBEARER or XOAUTH2 (the server's choice decides), the server's
// refusal told with its words and handed back to the credentials, never a token in clear or
// in the network log, and no connection at all when there is no credential.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "core/settings/security_settings.h"
#include "core/signin/credentials.h"
#include "net/pop3/get_mail.h"
#include "net/sasl/oauth_sasl.h"
#include "net/smtp/send_mail.h"
#include "net/support/fake_server.h"
#include "net/support/fake_tls.h"
#include "net/support/transfer_fixture.h"

namespace corvelle {
namespace {

using testing::Escape;
using testing::ReadFile;
using testing::FakeServer;
using testing::Strings;

const std::string kToken = "ya29.TOKEN-never-shown";

class FakeCredentials : public Credentials {
 public:
  Credential given{SignInMethod::kOAuth2, kToken};
  std::string why;  // not empty: Get fails with it
  std::vector<LoginTarget> asked, refused;

  bool Get(UserInterface&, const LoginTarget& target, Credential& credential, std::string& reason) override {
    asked.push_back(target);
    if (!why.empty()) reason = why;
    else credential = given;
    return why.empty();
  }
  void Refused(const LoginTarget& target) override { refused.push_back(target); }
};

std::string Describe(const LoginTarget& target) {
  return std::to_string(static_cast<int>(target.service)) + " " + target.user + "@" + target.host + ":" + target.port;
}

std::string OAuthBearer(const std::string& host, const std::string& port) {
  return "n,a=joe,\x01host=" + host + "\x01port=" + port + "\x01" "auth=Bearer " + kToken + "\x01\x01";
}
const std::string kXOAuth2 = "user=joe\x01" "auth=Bearer " + kToken + "\x01\x01";
// An error challenge as servers send it.
const std::string kChallenge = Base64Encode(R"({"status":"401","schemes":"bearer","scope":"mail"})");

class OAuthLoginTest : public testing::TransferFixture {
 protected:
  OAuthLoginTest() {
    testing::WriteTestCertificate(mail_dir + "fake-ca.pem");
    ::setenv("CORVELLE_TLS_CA_FILE", (mail_dir + "fake-ca.pem").c_str(), 1);
    MailSettings.Secure.MailSecurity = SecurityText(Security::kTls);
    MailSettings.MailPort = "995";
    MailSettings.Secure.SendSecurity = SecurityText(Security::kTls);
    MailSettings.SendPort = "465";
  }
  ~OAuthLoginTest() override { ::unsetenv("CORVELLE_TLS_CA_FILE"); }

  TransferContext Context(FakeServer& server) {
    TransferContext context = TransferFixture::Context([&server] { return server.NewTransport(); });
    context.credentials = &credentials;
    return context;
  }
  // One POP3 login and logout; true when the login went through.
  bool Pop3Login(FakeServer& server) {
    TGetMail mail(Context(server));
    mail.Channel().Timeout = 5;
    const bool in = mail.DoPOPLogin();
    if (in) mail.DoPOPLogout();
    notes = mail.Notes();
    return in;
  }
  // One message sent; true when it was delivered.
  bool Send(FakeServer& server) {
    Spool("0.out", "To: a@x\r\nSubject: s\r\n\r\nbody\r\n");
    SendRun run(Context(server));
    run.SendMail1.Channel().Timeout = 5;
    notes.clear();
    const bool sent = run.SendOutGoingMail() == 1;
    notes = run.SendMail1.Notes();
    return sent;
  }
  void CheckNoSecretShown(const FakeServer& server) {
    EXPECT_EQ(server.Problems(), Strings{});
    EXPECT_TRUE(server.Finished()) << Escape(server.Written());
    const std::string log = ReadFile(Store().NetLog());
    for (const std::string& secret : {kToken, Base64Encode(kXOAuth2).substr(0, 20),
                                      Base64Encode(OAuthBearer("pop.example", "995")).substr(0, 20)}) {
      EXPECT_EQ(log.find(secret), std::string::npos) << log;
      for (const std::string& text : ui.Texts()) EXPECT_EQ(text.find(secret), std::string::npos) << text;
    }
  }

  FakeCredentials credentials;
  Strings notes;
};

TEST_F(OAuthLoginTest, Pop3TakesOAuthBearerOverXOAuth2AndSendsTheTokenAfterTheContinuation) {
  const std::string tls = "TLS\nS: +OK ready\n";
  // After STLS the capabilities are asked again: those said in clear do not count.
  const std::string stls = "S: +OK ready\nC: CAPA\nS: +OK\nS: STLS\nS: SASL XOAUTH2\nS: .\nC: STLS\nS: +OK\nTLS\n";
  const struct {
    const char* name;
    Security security;
    std::string start, offered, mechanism, response;
  } rows[] = {
      {"both offered", Security::kTls, tls, "SASL PLAIN XOAUTH2 OAUTHBEARER", "OAUTHBEARER",
       OAuthBearer("pop.example", "995")},
      {"only XOAUTH2", Security::kTls, tls, "SASL xoauth2 PLAIN", "XOAUTH2", kXOAuth2},
      {"after STLS", Security::kStartTls, stls, "SASL OAUTHBEARER", "OAUTHBEARER", OAuthBearer("pop.example", "995")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    MailSettings.Secure.MailSecurity = SecurityText(row.security);
    FakeServer server(row.start + "C: CAPA\nS: +OK\nS: " + row.offered + "\nS: .\nC: AUTH " + row.mechanism +
                      "\nS: +\nC: " + Base64Encode(row.response) + "\nS: +OK signed in\nC: QUIT\nS: +OK\nCLOSE\n");
    EXPECT_TRUE(Pop3Login(server));
    EXPECT_EQ(ui.Texts(), Strings{});
    CheckNoSecretShown(server);
  }
  ASSERT_EQ(credentials.asked.size(), 3u);
  EXPECT_EQ(Describe(credentials.asked[0]), "0 joe@pop.example:995");
}

TEST_F(OAuthLoginTest, Pop3RefusalAnswersTheErrorChallengeAndTellsTheServersWords) {
  const struct {
    const char* name;
    std::string offered, mechanism, response, answer;
  } rows[] = {
      {"OAUTHBEARER answers 0x01", "SASL OAUTHBEARER", "OAUTHBEARER", OAuthBearer("pop.example", "995"), "AQ=="},
      {"XOAUTH2 answers an empty line", "SASL XOAUTH2", "XOAUTH2", kXOAuth2, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ui.boxes.clear();
    FakeServer server("TLS\nS: +OK ready\nC: CAPA\nS: +OK\nS: " + row.offered + "\nS: .\nC: AUTH " + row.mechanism +
                      "\nS: + \nC: " + Base64Encode(row.response) + "\nS: + " + kChallenge + "\nC: " + row.answer +
                      "\nS: -ERR [AUTH] Authentication failed.\nC: QUIT\nS: +OK\nCLOSE\n");
    EXPECT_FALSE(Pop3Login(server));
    EXPECT_EQ(ui.Texts(), Strings{"The mail server pop.example refused the sign-in: -ERR [AUTH] Authentication "
                                  "failed. (status 401)"});
    EXPECT_EQ(notes, Strings{"The mail server refused AUTH: -ERR [AUTH] Authentication failed."});
    CheckNoSecretShown(server);
  }
  ASSERT_EQ(credentials.refused.size(), 2u);
  EXPECT_EQ(Describe(credentials.refused[1]), "0 joe@pop.example:995");
}

// Before any AUTH: a connection in clear, a server without an OAuth2 mechanism, no credential.
TEST_F(OAuthLoginTest, Pop3SendsNoTokenWhereItMustNot) {
  const std::string none = "The mail server pop.example does not offer a sign-in with OAuth2 (OAUTHBEARER or "
                           "XOAUTH2); ";
  const struct {
    const char* name;
    Security security;
    std::string why, script;
    Strings boxes;
    int connections;
  } rows[] = {
      {"no encryption", Security::kNone, "", "S: +OK ready\nC: QUIT\nS: +OK\nCLOSE\n",
       {"No mail was retrieved from pop.example: the connection is not encrypted, and the sign-in is never sent "
        "without encryption. Choose SSL/TLS or STARTTLS for the mail server."},
       1},
      {"other mechanisms", Security::kTls, "",
       "TLS\nS: +OK ready\nC: CAPA\nS: +OK\nS: SASL PLAIN LOGIN\nS: .\nC: QUIT\nS: +OK\nCLOSE\n",
       {none + "it offers PLAIN LOGIN."}, 1},
      {"no SASL at all", Security::kTls, "", "TLS\nS: +OK ready\nC: CAPA\nS: -ERR\nC: QUIT\nS: +OK\nCLOSE\n",
       {none + "it offers no SASL sign-in."}, 1},
      {"no credential: no connection", Security::kTls, "Sign in to your account in the browser first.", "",
       {"Sign in to your account in the browser first."}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ui.boxes.clear();
    credentials.why = row.why;
    MailSettings.Secure.MailSecurity = SecurityText(row.security);
    FakeServer server(row.script);
    EXPECT_FALSE(Pop3Login(server));
    EXPECT_EQ(ui.Texts(), row.boxes);
    EXPECT_EQ(server.Connections(), row.connections);
    EXPECT_EQ(server.Written().find("AUTH"), std::string::npos);
    CheckNoSecretShown(server);
    if (!row.why.empty()) EXPECT_EQ(notes, Strings{row.why});
  }
  EXPECT_TRUE(credentials.refused.empty());
}

TEST_F(OAuthLoginTest, SmtpSendsTheTokenInlineAndTellsARefusal) {
  const std::string ehlo = "TLS\nS: 220 ready\nC: ehlo [127.0.0.1]\nS: 250-mail.example\n";
  const std::string bearer = Base64Encode(OAuthBearer("mail.example", "465"));
  const std::string quit = "C: QUIT\nCLOSE\n";
  const struct {
    const char* name;
    std::string script;
    bool sent;
    Strings boxes;
  } rows[] = {
      {"both offered", ehlo + "S: 250 AUTH PLAIN XOAUTH2 OAUTHBEARER\nC: AUTH OAUTHBEARER " + bearer +
                           "\nS: 235 ok\n" + testing::MailTo() + testing::Data("To: a@x\r\nSubject: s\r\n\r\nbody\r\n") + quit,
       true, {}},
      {"only XOAUTH2, refused", ehlo + "S: 250 AUTH=XOAUTH2\nC: AUTH XOAUTH2 " + Base64Encode(kXOAuth2) +
                                    "\nS: 334 " + kChallenge + "\nC:\nS: 535 5.7.8 Username and Password not accepted\nCLOSE\n",
       false, {"The mail server mail.example refused the sign-in: 535 5.7.8 Username and Password not accepted (status 401)"}},
      {"none offered", ehlo + "S: 250 AUTH PLAIN LOGIN\nCLOSE\n", false,
       {"The mail server mail.example does not offer a sign-in with OAuth2 (OAUTHBEARER or XOAUTH2); it offers PLAIN "
        "LOGIN."}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ui.boxes.clear();
    FakeServer server(row.script);
    EXPECT_EQ(Send(server), row.sent);
    EXPECT_EQ(ui.Texts(), row.boxes);
    CheckNoSecretShown(server);
    EXPECT_EQ(Names("Spool"), row.sent ? Strings{} : Strings{"0.out"});
  }
  ASSERT_EQ(credentials.refused.size(), 1u);
  EXPECT_EQ(Describe(credentials.refused[0]), "1 joe@mail.example:465");
}

TEST_F(OAuthLoginTest, SmtpSendsNoTokenInClearAndConnectsNotWithoutACredential) {
  MailSettings.Secure.SendSecurity = SecurityText(Security::kNone);
  FakeServer clear("S: 220 ready\nC: ehlo [127.0.0.1]\nS: 250-mail.example\nS: 250 AUTH OAUTHBEARER\nCLOSE\n");
  EXPECT_FALSE(Send(clear));
  EXPECT_EQ(ui.Texts(), Strings{"No mail was sent to mail.example: the connection is not encrypted, and the sign-in is "
                                "never sent without encryption. Choose SSL/TLS or STARTTLS for the sending server."});
  CheckNoSecretShown(clear);
  ui.boxes.clear();
  credentials.why = "The keyring is locked.";
  FakeServer none("");
  EXPECT_FALSE(Send(none));
  EXPECT_EQ(none.Connections(), 0);
  EXPECT_EQ(ui.Texts(), Strings{"The keyring is locked."});
  EXPECT_EQ(notes, Strings{"The keyring is locked."});
}

// A password from the credentials (not the settings file) goes as before; a refused one is
// handed back, and the log never has it.
TEST_F(OAuthLoginTest, PasswordsComeFromTheCredentials) {
  credentials.given = {SignInMethod::kPassword, "from-keyring"};
  FakeServer pop("TLS\nS: +OK ready\nC: CAPA\nS: -ERR\nC: USER joe\nS: +OK\nC: PASS from-keyring\n"
                 "S: -ERR [AUTH] wrong\nC: QUIT\nS: +OK\nCLOSE\n");
  EXPECT_FALSE(Pop3Login(pop));
  EXPECT_EQ(ui.Texts(), Strings{"Invalid password or another mail session active."});
  ASSERT_EQ(credentials.refused.size(), 1u);
  FakeServer smtp("TLS\nS: 220 ready\nC: ehlo [127.0.0.1]\nS: 250-mail.example\nS: 250 AUTH PLAIN\nC: AUTH PLAIN " +
                  Base64Encode(std::string("\0joe\0from-keyring", 17)) + "\nS: 235 ok\n" + testing::MailTo() +
                  testing::Data("To: a@x\r\nSubject: s\r\n\r\nbody\r\n") + "C: QUIT\nCLOSE\n");
  EXPECT_TRUE(Send(smtp));
  for (const FakeServer* server : {&pop, &smtp}) CheckNoSecretShown(*server);
  EXPECT_EQ(ReadFile(Store().NetLog()).find("from-keyring"), std::string::npos);
}

TEST(OAuthSaslTest, ChallengeStatusReadsOnlyWhatItCanTrust) {
  const struct {
    const char* name;
    std::string json, status;
  } rows[] = {
      {"a string", R"({"status":"invalid_token","scope":"x"})", "invalid_token"},
      {"a number, spaced", "{ \"status\" : 400 }", "400"},
      {"no status", R"({"schemes":"bearer"})", ""},
      {"a string without end", R"({"status":"40)", ""},
      {"control bytes", std::string("{\"status\":\"4\0" "01\"}", 15), ""},
      {"too long", R"({"status":")" + std::string(500, '4') + "\"}", ""},
      {"no JSON", "not json", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(ChallengeStatus(Base64Encode(row.json)), row.status) << row.name;
  EXPECT_EQ(ChallengeStatus("%%%not base64"), "");
  EXPECT_EQ(OAuthInitialResponse(OAuthMechanism::kOAuthBearer, {LoginTarget::Service::kSmtp, "h", "1", "a,b=c"}, "t"),
            "n,a=a=2Cb=3Dc,\x01host=h\x01port=1\x01" "auth=Bearer t\x01\x01");
}

}  // namespace
}  // namespace corvelle
