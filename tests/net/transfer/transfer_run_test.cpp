// Get / Send All against the mail sandbox: what is spooled goes out once, what waits on the
// server comes in once and is filed by the rules, and the summary counts both. And a send
// run whose server cannot be reached stops at the first message.

#include <gtest/gtest.h>

#include "net/support/routing_transport.h"
#include "net/support/sandbox_fixture.h"
#include "net/transfer/transfer_run.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::ClosedPort;
using testing::Strings;

class SandboxTransfer : public testing::SandboxMail {
 protected:
  // Runs one command on a fresh run (the components copy the settings when made).
  void Run(const std::function<void(TransferRun&)>& command) {
    TransferRun run(Context(), &status, nullptr, [this](const std::string& text) { results.push_back(text); });
    command(run);
  }
  Strings results;
};

TEST_F(SandboxTransfer, GetSendAllSendsTheSpoolAndFilesEveryMessageOnceByTheRules) {
  testing::WriteFile(IniPath(), "[filters]\r\n1.1.HeaderLine=Subject\r\n1.1.SearchText=project\r\n"
                                "1.FolderText=\"Work\",\"Archive\"\r\n");
  const std::string sent = To() + "Subject: project news\r\n\r\nsent by us\r\n";
  const std::string lunch = "From: x@y\r\nSubject: lunch\r\n\r\n.waiting \xFF\r\n";
  const std::string old = "From: x@y\r\nSubject: old project\r\n\r\nwaiting\r\n";
  Spool("1.out", sent);
  testing::DeliverToMaildir(maildir, lunch);
  testing::DeliverToMaildir(maildir, old);

  Run([](TransferRun& run) { run.GetSendAll(); });

  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(results, (Strings{"Sending spooled mail...", "Retrieving mail...", "Filtering mail...",
                              "Filtering complete.", "1 sent, 3 received messages, 0 errors."}));
  EXPECT_EQ(Names("Spool"), Strings{});
  EXPECT_EQ(SentCopy(), sent);
  Strings rule_folder = {old, sent};
  std::sort(rule_folder.begin(), rule_folder.end());
  EXPECT_EQ(Contents("Work"), rule_folder);
  EXPECT_EQ(Contents("Archive"), rule_folder);
  EXPECT_EQ(Contents("Inbox"), Strings{lunch});
  EXPECT_TRUE(testing::MaildirMessages(maildir).empty());

  // Nothing is sent or received twice.
  results.clear();
  Run([](TransferRun& run) { run.GetSendAll(); });
  EXPECT_EQ(results.back(), "0 received messages, 0 errors.");
  EXPECT_EQ(Contents("Work"), rule_folder);
  EXPECT_EQ(Names("Sent Mail").size(), 1u);
}

// Mail for one folder is filed straight at the retrieval's commit, byte for byte and once,
// whatever part of it the rule reads; mail for several folders goes through the spool folder
// and the pass, which counts and reports both alike.
TEST_F(SandboxTransfer, MailForOneFolderIsFiledStraightAndCopiesThroughTheSpoolEachOnce) {
  testing::WriteFile(IniPath(), "[filters]\r\n1.1.HeaderLine=From\r\n1.1.SearchText=boss@\r\n1.FolderText=\"Boss\"\r\n"
                                "2.1.HeaderLine=*Message Text*\r\n2.1.SearchText=invoice\r\n"
                                "2.FolderText=\"Invoices\"\r\n3.1.HeaderLine=Subject\r\n3.1.SearchText=both\r\n"
                                "3.FolderText=\"A\",\"B\"\r\n");
  const std::string boss = "From: boss@x\r\nSubject: raise\r\n\r\n..dotted\r\n";
  const std::string invoice = "From: shop@x\r\nSubject: bill\r\n\r\nyour invoice\r\n";
  const std::string other = "From: friend@x\r\nSubject: hello\r\n\r\nhi\r\n";
  const std::string both = "From: c@x\r\nSubject: both\r\n\r\nc\r\n";
  for (const std::string& message : {boss, invoice, other, both}) testing::DeliverToMaildir(maildir, message);

  Strings subjects;
  Run([&subjects](TransferRun& run) {
    run.GetSendAll();
    subjects = run.MailFilter1.FiledSubjects();
  });

  EXPECT_EQ(results.back(), "4 received messages, 0 errors.");
  EXPECT_EQ(Contents("Boss"), Strings{boss});
  EXPECT_EQ(Contents("Invoices"), Strings{invoice});
  EXPECT_EQ(Contents("Inbox"), Strings{other});
  EXPECT_EQ(Contents("A"), Strings{both});
  EXPECT_EQ(Contents("B"), Strings{both});
  EXPECT_EQ(Names("Spool"), Strings{});
  // The copies were filed by the pass, after those filed straight.
  ASSERT_EQ(subjects.size(), 4u);
  EXPECT_EQ(subjects.back(), "both");
  std::sort(subjects.begin(), subjects.end());
  EXPECT_EQ(subjects, (Strings{"bill", "both", "hello", "raise"}));
  EXPECT_TRUE(status.Showed("Filtering mail: 4 new messages."));
  EXPECT_TRUE(testing::MaildirMessages(maildir).empty());

  // The ids keep them from coming twice.
  Run([](TransferRun& run) { run.GetSendAll(); });
  EXPECT_EQ(Names("Boss").size(), 1u);
  EXPECT_EQ(Names("Inbox").size(), 1u);
}

TEST_F(SandboxTransfer, AFailedLoginIsATransmissionErrorAndFiltersNothing) {
  MailSettings.PassWord = EncodePassword("wrong");
  testing::DeliverToMaildir(maildir, "Subject: stays\r\n\r\nx\r\n");
  Run([](TransferRun& run) { run.GetSendAll(); });
  EXPECT_EQ(results.back(), "0 received messages, 0 errors. Transmission error.");
  EXPECT_EQ(testing::MaildirMessages(maildir).size(), 1u);
}

class TransferRunTest : public testing::TransferFixture {};

TEST_F(TransferRunTest, AnUnreachableServerStopsTheSendRunAtTheFirstMessageAndKeepsTheRest) {
  MailSettings.SendServer = "127.0.0.1";
  MailSettings.SendPort = ClosedPort();
  for (const char* name : {"1.out", "2.out", "3.out"}) Spool(name, "To: a@x\r\n\r\nbody\r\n");
  TransferRun run(Context(), &status, nullptr, nullptr);
  EXPECT_EQ(run.DoSendAll(), 0);
  EXPECT_EQ(ui.Texts(), (Strings{"Transfer error: Connection refused", "Could not connect to host."}));
  EXPECT_EQ(Names("Spool"), (Strings{"1.out", "2.out", "3.out"}));
}

TEST_F(TransferRunTest, ASendThatFailsSpoolsTheWindowLinesAndCancelAllStopsTheRestQuietly) {
  MailSettings.SendServer = MailSettings.MailServer = "127.0.0.1";
  MailSettings.SendPort = MailSettings.MailPort = ClosedPort();
  Strings results;
  TransferRun run(Context(), &status, nullptr, [&results](const std::string& text) { results.push_back(text); });
  Strings lines = {"To: a@x", "Subject: s", "", "text"};
  EXPECT_TRUE(run.DoSend("", &lines));
  EXPECT_EQ(ui.Texts().back(), "Mail Message could not be sent, mail file will be spooled.");
  EXPECT_EQ(Contents("Spool"), Strings{"To: a@x\r\nSubject: s\r\n\r\ntext\r\n"});
  EXPECT_EQ(results, Strings{"Message successfully spooled."});

  // A cancel is the user's own doing, not an error: nothing is shown for it.
  ui.boxes.clear();
  run.CancelCurrent();
  run.CancelAllRuns();
  int skipped = -1;
  EXPECT_EQ(run.DoSendAll(), 0);
  EXPECT_EQ(run.DoGetAll(skipped), 0);
  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(Names("Spool").size(), 1u);
}

// A run cut short after its retrieval left messages in the spool folder: the next Get files
// them even when it receives nothing itself.
TEST_F(TransferRunTest, GetFiltersMailLeftInTheSpoolWhenItReceivesNone) {
  MailSettings.SendServer = MailSettings.MailServer = "127.0.0.1";
  MailSettings.SendPort = MailSettings.MailPort = ClosedPort();
  const std::string left = "From: a@x\r\nSubject: left over\r\n\r\nbody\r\n";
  Spool("0.new", left);
  Strings results;
  TransferRun run(Context(), &status, nullptr, [&results](const std::string& text) { results.push_back(text); });
  run.GetSendAll();
  EXPECT_EQ(Contents("Inbox"), Strings{left});
  EXPECT_EQ(Names("Spool"), Strings{});
  EXPECT_EQ(results.back(), "0 received messages, 0 errors. Transmission error.");
}

}  // namespace
}  // namespace corvelle
