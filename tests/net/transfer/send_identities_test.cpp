// Sending as several identities against scripted servers, one per host: each spooled
// message goes through the SMTP server and login of the account its From names (the first
// account's when none does), each identity over a connection of its own; a server that is
// down or refuses the login keeps that identity's mail spooled while the others go.

#include <gtest/gtest.h>

#include <map>

#include "core/accounts/account.h"
#include "core/signin/credentials.h"
#include "net/sasl/oauth_sasl.h"
#include "net/sockets/transport.h"
#include "net/support/fake_server.h"
#include "net/support/routing_transport.h"
#include "net/support/transfer_fixture.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::Data;
using testing::FakeServer;
using testing::Strings;

// The logins of the further account: a password of its own, and what each was asked for.
struct AccountLogins : Credentials {
  bool Get(UserInterface&, const LoginTarget& target, Credential& credential, std::string&) override {
    asked.push_back(target);
    credential = {SignInMethod::kPassword, "pw-ann"};
    return true;
  }
  std::vector<LoginTarget> asked;
};

const std::string kMine = "From: Self <self@site>\r\nTo: a@x\r\n\r\nmine\r\n";
const std::string kStranger = "From: someone@else\r\nTo: a@x\r\n\r\nstranger\r\n";
const std::string kWork = "From: Ann <ANN@work.example>\r\nTo: a@x\r\n\r\nwork\r\n";

// The work server's dialogue: ann logs in, then `rest`.
std::string WorkLogin(const std::string& reply, const std::string& rest) {
  return "S: 220 work\nC: ehlo [127.0.0.1]\nS: 250-work\nS: 250 AUTH PLAIN\nC: AUTH PLAIN " +
         Base64Encode(std::string(1, '\0') + "ann" + '\0' + "pw-ann") + "\nS: " + reply + "\n" + rest;
}
const std::string kWorkMessage =
    "C: mail from:<ann@work.example>\nS: 250 Ok\nC: rcpt to:<a@x>\nS: 250 Ok\n" + Data(kWork) + "C: QUIT\n";

class SendIdentitiesTest : public testing::TransferFixture {
 protected:
  SendIdentitiesTest() {
    MailSettings.AccountName = "home";
    Account work;
    work.Name = "work";
    work.MailAddress = "ann@work.example";
    work.SendServer = "smtp.work.example";
    work.SendPort = "25";
    work.UserName = "ann";
    work.Provider = "Other";
    MailSettings.Accounts.push_back(work);
    MailSettings.Secure.ClearPasswordServers.insert("smtp.work.example:25");  // allowed before
  }
  // A sending run whose connections go to `home` (mail.example) and `work`.
  std::unique_ptr<SendRun> Run(FakeServer& home, FakeServer& work) {
    std::map<std::string, FakeServer*> servers{{"mail.example", &home}, {"smtp.work.example", &work}};
    TransferContext context = Context([servers] { return std::make_unique<testing::RoutingTransport>(servers); });
    context.account_credentials = [this](const Settings&) {
      auto made = std::make_unique<AccountLogins>();
      logins = made.get();
      return std::unique_ptr<Credentials>(std::move(made));
    };
    auto run = std::make_unique<SendRun>(context);
    run->SendMail1.InitStatus(&status);
    run->SendMail1.Channel().Timeout = 1;
    return run;
  }
  static void ExpectPlayed(const FakeServer& server) {
    EXPECT_EQ(server.Problems(), Strings{});
    EXPECT_TRUE(server.Finished()) << testing::Escape(server.Written());
  }
  AccountLogins* logins = nullptr;
};

TEST_F(SendIdentitiesTest, EachIdentityGoesThroughItsOwnServerAndLogin) {
  Spool("1.out", kWork);
  Spool("2.out", kMine);
  Spool("3.out", kStranger);
  FakeServer home("S: 220 home\n" + testing::Envelope() + Data(kMine) + testing::MailTo() + Data(kStranger) +
                  "C: QUIT\n");
  FakeServer work(WorkLogin("235 Ok", kWorkMessage));
  auto run = Run(home, work);

  EXPECT_EQ(run->SendOutGoingMail(), 3);

  ExpectPlayed(home);
  ExpectPlayed(work);
  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(run->NotSent, 0);
  EXPECT_EQ(Names("Spool"), Strings{});
  EXPECT_EQ(Contents("Sent Mail"), (Strings{kWork, kMine, kStranger}));
  EXPECT_TRUE(status.Showed("Sending message as home: 1 of 3"));
  EXPECT_TRUE(status.Showed("Sending message as work: 3 of 3"));
  // The further account's login names its own provider, for an OAuth2 sign-in.
  ASSERT_NE(logins, nullptr);
  ASSERT_EQ(logins->asked.size(), 1u);
  EXPECT_EQ(logins->asked[0].host, "smtp.work.example");
  EXPECT_EQ(logins->asked[0].user, "ann");
  EXPECT_EQ(logins->asked[0].provider, "Other");
}

TEST_F(SendIdentitiesTest, ARefusedLoginKeepsThatIdentitysMailWhileTheOthersGo) {
  Spool("1.out", kWork);
  Spool("2.out", kMine);
  FakeServer home("S: 220 home\n" + testing::Envelope() + Data(kMine) + "C: QUIT\n");
  FakeServer work(WorkLogin("535 5.7.8 no", ""));
  auto run = Run(home, work);

  EXPECT_EQ(run->SendOutGoingMail(), 1);

  ExpectPlayed(home);
  ExpectPlayed(work);
  EXPECT_EQ(ui.Texts(), Strings{"work: The mail server smtp.work.example did not accept your user name and password."});
  EXPECT_EQ(run->NotSent, 1);
  EXPECT_EQ(run->SendMail1.Notes(), Strings{"work: Mail server answered: 535 5.7.8 no"});
  EXPECT_EQ(Names("Spool"), Strings{"1.out"});
  EXPECT_EQ(SentCopy(), kMine);
}

TEST_F(SendIdentitiesTest, TheFirstServerDownStillSendsTheOthers) {
  Spool("1.out", kWork);
  Spool("2.out", kMine);
  Spool("3.out", kStranger);
  FakeServer home;
  home.SetConnectResult(10061);
  FakeServer work(WorkLogin("235 Ok", kWorkMessage));
  auto run = Run(home, work);

  EXPECT_EQ(run->SendOutGoingMail(), 1);

  ExpectPlayed(work);
  EXPECT_EQ(ui.Texts(), (Strings{"home: Transfer error: Connection refused", "home: Could not connect to host."}));
  EXPECT_EQ(run->NotSent, 2);
  EXPECT_EQ(Names("Spool"), (Strings{"2.out", "3.out"}));
  EXPECT_EQ(SentCopy(), kWork);
}

// The Cancel buttons act on the sender at work: Cancel all there ends the run after the
// message in progress.
TEST_F(SendIdentitiesTest, CancelAllOnTheSenderAtWorkEndsTheRun) {
  Spool("1.out", kWork);
  Spool("2.out", kWork);
  FakeServer home;
  FakeServer work(WorkLogin("235 Ok", kWorkMessage));
  auto run = Run(home, work);
  ui.on_events = [&] {
    if (work.Written().find("\r\n.\r\n") != std::string::npos) run->Active().CancelAll = true;
  };

  EXPECT_EQ(run->SendOutGoingMail(), 1);

  ExpectPlayed(work);
  EXPECT_FALSE(run->SendMail1.CancelAll);
  EXPECT_EQ(run->NotSent, 1);
  EXPECT_EQ(Names("Spool"), Strings{"2.out"});
}

TEST_F(SendIdentitiesTest, OneMessageGoesAsTheIdentityOfItsFrom) {
  FakeServer home;
  FakeServer work(WorkLogin("235 Ok", kWorkMessage));
  auto run = Run(home, work);
  const Strings lines = {"From: Ann <ANN@work.example>", "To: a@x", "", "work"};

  EXPECT_EQ(run->SendOneMailMessage("", &lines), SendResult::kDelivered);

  ExpectPlayed(work);
  EXPECT_EQ(home.Connections(), 0);
  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(SentCopy(), kWork);
}

}  // namespace
}  // namespace corvelle
