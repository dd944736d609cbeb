// What a run does with a message after the sender tried it: the sent copy, the message kept
// when it cannot be filed, and the refusals told and, when for good, postponed.

#include "net/transfer/outgoing_filing.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "net/support/transfer_fixture.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using testing::Strings;

const std::string kMessage = "To: a@x\r\nSubject: hello\r\n\r\nbody\r\n";

class OutgoingFilingTest : public testing::TransferFixture {
 protected:
  OutgoingMail Read(const std::string& path, const Strings* lines = nullptr) {
    return ReadOutgoingMail(path, lines, "self@site", {});
  }
  OutgoingFiling filing{ui, MailStore(mail_dir)};
};

TEST_F(OutgoingFilingTest, TheSentCopyOfEachKindOfMessage) {
  // A spool file moves itself; a file from elsewhere stays and is copied; window lines are written.
  const std::string elsewhere = mail_dir + "Postponed/draft.mail";
  testing::WriteFile(elsewhere, kMessage);
  const Strings lines = {"To: b@x", "Subject: window", "", "text"};
  filing.FileSentCopy(Read(Spool("0.out", kMessage)));
  filing.FileSentCopy(Read(elsewhere));
  filing.FileSentCopy(Read("", &lines));
  filing.Wait();
  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(Names("Spool"), Strings{});
  EXPECT_EQ(ReadFile(elsewhere), kMessage);
  EXPECT_EQ(Contents("Sent Mail"), (Strings{kMessage, kMessage, "To: b@x\r\nSubject: window\r\n\r\ntext\r\n"}));
}

TEST_F(OutgoingFilingTest, ASpoolFileThatCannotBeFiledIsKeptAsSent) {
  std::filesystem::remove_all(mail_dir + "Sent Mail");
  filing.FileSentCopy(Read(Spool("0.out", kMessage)));
  EXPECT_EQ(Names("Spool"), Strings{"0.sent"});
  EXPECT_EQ(ui.Texts(), Strings{"The message was sent, but it could not be filed into \"Sent Mail\". It is kept as " +
                                mail_dir + "Spool/0.sent."});
}

TEST_F(OutgoingFilingTest, ARefusalIsToldAndOneForGoodIsPostponed) {
  const std::string stays = " It stays in the spool folder and is sent again with the next Get / Send All.";
  const std::string moved = " It was moved to the folder \"Postponed\": open it there to change it and send it again.";
  const Strings lines = {"To: b@x", "", "text"};
  const std::string elsewhere = mail_dir + "draft.txt";
  testing::WriteFile(elsewhere, kMessage);
  EXPECT_EQ(filing.FileRefused(Read(Spool("0.out", kMessage)), {"Later.", false}), SendResult::kTextRefused);
  EXPECT_EQ(filing.FileRefused(Read(Spool("1.out", kMessage)), {"Never.", true}), SendResult::kPostponed);
  EXPECT_EQ(filing.FileRefused(Read("", &lines), {"No.", true}), SendResult::kPostponed);
  EXPECT_EQ(filing.FileRefused(Read(elsewhere), {"Gone.", true}), SendResult::kTextRefused);
  filing.Wait();
  EXPECT_EQ(ui.Texts(), (Strings{"The message \"hello\" was not sent. Later." + stays,
                                 "The message \"hello\" was not sent. Never." + moved,
                                 "The message \"(none)\" was not sent. No." + moved,
                                 "The message \"hello\" was not sent. Gone."}));
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
  EXPECT_EQ(Contents("Postponed"), (Strings{kMessage, "To: b@x\r\n\r\ntext\r\n"}));
  EXPECT_EQ(ReadFile(elsewhere), kMessage);
}

}  // namespace
}  // namespace corvelle
