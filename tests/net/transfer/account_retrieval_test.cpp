// Retrieval over several accounts in one run, against scripted servers: each account's mail
// lands with its spool mark and is counted, a server that is down is told under its account's
// title without stopping the next account, Cancel all asks no further account, and one
// account can be fetched alone.

#include <gtest/gtest.h>

#include <map>

#include "core/accounts/account.h"
#include "net/support/fake_server.h"
#include "net/support/routing_transport.h"
#include "net/support/transfer_fixture.h"
#include "net/transfer/transfer_run.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::ClosedPort;
using testing::FakeServer;
using testing::RoutingTransport;
using testing::Strings;

const std::string kJoes = "From: a@site\r\nSubject: for joe\r\n\r\nHi joe.\r\n";
const std::string kAnns = "From: b@site\r\nSubject: for ann\r\n\r\nHi ann.\r\n";

// A server holding `message` for `user` (password "secret"), without ids, deleting it.
std::string OneMessage(const std::string& user, const std::string& message) {
  return "S: +OK ready\nC: CAPA\nS: -ERR\nC: USER " + user + "\nS: +OK\nC: PASS secret\nS: +OK in\n"
         "C: STAT\nS: +OK 1 100\nC: CAPA\nS: -ERR\nC: UIDL\nS: -ERR\nC: LIST\nS: +OK\nS: 1 100\nS: .\n"
         "C: RETR 1\nS: +OK\nS> " + testing::Escape(message) + ".\\r\\n\nC: DELE 1\nS: +OK\nC: QUIT\nS: +OK\nCLOSE\n";
}

// Joe's mail at pop.example (the first account), Ann's at pop2.example (account "work").
class AccountRetrievalTest : public testing::TransferFixture {
 protected:
  AccountRetrievalTest() { AddAccount("work", "pop2.example", "110", "ann"); }

  void AddAccount(const std::string& name, const std::string& server, const std::string& port,
                  const std::string& user) {
    Account account;
    account.Name = name;
    account.MailServer = server;
    account.MailPort = port;
    account.UserName = user;
    account.PassWord = EncodePassword("secret");
    MailSettings.Accounts.push_back(account);
    MailSettings.Secure.ClearPasswordServers.insert(server + ":" + port);
  }
  std::unique_ptr<TransferRun> NewRun() {
    auto route = [this] { return std::make_unique<RoutingTransport>(servers); };
    return std::make_unique<TransferRun>(Context(route), &status, nullptr,
                                         [this](const std::string& text) { results.push_back(text); });
  }

  FakeServer joe{OneMessage("joe", kJoes)}, ann{OneMessage("ann", kAnns)};
  std::map<std::string, FakeServer*> servers{{"pop.example", &joe}, {"pop2.example", &ann}};
  Strings results;
};

TEST_F(AccountRetrievalTest, EveryAccountIsFetchedInOneRunEachFileWithItsMark) {
  auto run = NewRun();
  int skipped = 0;
  EXPECT_EQ(run->DoGetAll(skipped), 2);
  EXPECT_EQ(skipped, 0);
  EXPECT_FALSE(run->Failed);
  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(Names("Spool"), (Strings{"0.new", "0.work.new"}));
  EXPECT_EQ(testing::ReadFile(mail_dir + "Spool/0.work.new"), kAnns);
  EXPECT_TRUE(status.Showed("Receiving mail from work: 1 of 1 (0 messages skipped)."));
  EXPECT_TRUE(status.Showed("Receiving mail from self@site: 1 of 1 (0 messages skipped)."));
}

// The first account runs on, the one that is down is told under its title, the one after
// it is fetched, and the summary adds up and names the one that failed.
TEST_F(AccountRetrievalTest, AServerThatIsDownIsToldAndTheOthersAreFetched) {
  AddAccount("down", "127.0.0.1", ClosedPort(), "cy");
  std::swap(MailSettings.Accounts[0], MailSettings.Accounts[1]);  // joe, down, work
  auto run = NewRun();
  EXPECT_FALSE(run->GetSendAll());
  EXPECT_EQ(ui.Texts(), Strings{"down: Could not connect to host."});
  EXPECT_EQ(results.back(),
            "2 received messages, 0 errors. Transmission error. Retrieval failed for: down.");
  EXPECT_EQ(Contents("Inbox"), (Strings{kJoes, kAnns}));
  EXPECT_TRUE(joe.Finished());
  EXPECT_TRUE(ann.Finished());
}

TEST_F(AccountRetrievalTest, CancelAllAsksNoFurtherAccount) {
  auto run = NewRun();
  ui.on_events = [&] {
    if (joe.Finished()) run->CancelAllRuns();
  };
  int skipped = 0;
  EXPECT_EQ(run->DoGetAll(skipped), 1);
  EXPECT_EQ(ann.Connections(), 0);
  EXPECT_EQ(Names("Spool"), Strings{"0.new"});
}

// A crash between the commit's ids and its moves left a message a rule takes under its work
// name: the next login moves it into the spool folder and the pass files it, while the new
// message the same rule takes is filed straight; each lands once.
TEST_F(AccountRetrievalTest, ACommitCutShortBeforeItsMovesIsFiledOnceBesideMailFiledStraight) {
  testing::WriteFile(IniPath(), "[filters]\r\n1.1.HeaderLine=From\r\n1.1.SearchText=boss@\r\n1.FolderText=\"Boss\"\r\n");
  const std::string cut = "From: boss@x\r\nSubject: cut short\r\n\r\nold\r\n";
  const std::string fresh = "From: boss@x\r\nSubject: fresh\r\n\r\nnew\r\n";
  Spool(".0.part", cut);
  testing::WriteFile(mail_dir + "System/uids-joe@pop.example.txt", "id-a\t.0.part\t" + std::to_string(cut.size()) + "\n");
  FakeServer boss("S: +OK ready\nC: CAPA\nS: -ERR\nC: USER joe\nS: +OK\nC: PASS secret\nS: +OK in\n"
                "C: STAT\nS: +OK 2 200\nC: CAPA\nS: -ERR\nC: UIDL\nS: +OK\nS: 1 id-a\nS: 2 id-b\nS: .\n"
                "C: DELE 1\nS: +OK\nC: RETR 2\nS: +OK\nS> " + testing::Escape(fresh) + ".\\r\\n\n"
                "C: DELE 2\nS: +OK\nC: QUIT\nS: +OK\nCLOSE\n");
  servers["pop.example"] = &boss;
  auto run = NewRun();
  EXPECT_TRUE(run->GetSendAll());
  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(results.back(), "2 received messages, 0 errors.");
  EXPECT_EQ(Contents("Boss"), (Strings{cut, fresh}));
  EXPECT_EQ(Contents("Inbox"), Strings{kAnns});
  EXPECT_EQ(Names("Spool"), Strings{});
  // Those filed straight come first, in retrieval order; the pass's after them.
  EXPECT_EQ(run->MailFilter1.FiledSubjects(), (Strings{"fresh", "for ann", "cut short"}));
  EXPECT_TRUE(boss.Finished());
}

TEST_F(AccountRetrievalTest, OneAccountAloneAndAnUnknownNameIsTold) {
  auto run = NewRun();
  EXPECT_FALSE(run->GetFromAccount("home"));
  EXPECT_EQ(ui.Texts(), Strings{"There is no account named \"home\". The accounts are: self@site, work."});
  EXPECT_EQ(joe.Connections() + ann.Connections(), 0);

  EXPECT_TRUE(run->GetFromAccount("WORK"));
  EXPECT_EQ(joe.Connections(), 0);
  EXPECT_EQ(Contents("Inbox"), Strings{kAnns});
  EXPECT_EQ(results.back(), "1 received messages, 0 errors.");
}

}  // namespace
}  // namespace corvelle
