#include "core/setup_check.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "core/settings.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::ListNames;
using testing::ScopedEnv;
using testing::WriteFile;

struct RecordingFields : SetupFields {
  void ShowMailDirectory(const std::string& directory) override { shown_directory = directory; }
  void ResetField(SetupField field, const std::string& text) override { resets.push_back({field, text}); }
  std::string shown_directory;
  std::vector<std::pair<SetupField, std::string>> resets;
};

class SetupCheckTest : public testing::MailFixture {
 protected:
  SetupCheckTest() {
    TMailSettings& s = MailSettings;
    s.SendServer = "smtp.example.org";
    s.SendPort = "25";
    s.MailServer = "pop.example.org";
    s.MailPort = "110";
    s.UserName = "ann";
    s.PassWord = EncodePassword("secret");
    s.MyName = "Ann Example";
  }
  RecordingFields fields;
};

TEST_F(SetupCheckTest, CompleteSetupMakesTheTreeWithSamples) {
  EXPECT_EQ(FullSetupEntered(true, fields), SetupField::None);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_TRUE(fields.resets.empty());
  EXPECT_EQ(ListNames(mail_dir), (std::vector<std::string>{"Inbox", "Mailing Lists", "Organizations", "People",
                                                           "Postponed", "Sent Mail", "Spool", "Subjects", "System"}));
}

TEST_F(SetupCheckTest, FirstEmptyFieldDecidesInCodeOrder) {
  struct Row {
    const char* name;
    std::string TMailSettings::*member;
    SetupField expected;
  } rows[] = {
      {"mail directory", &TMailSettings::MailDirectory, SetupField::MailDirectory},
      {"default folder", &TMailSettings::DefaultMailFolder, SetupField::DefaultMailFolder},
      {"send server", &TMailSettings::SendServer, SetupField::SendServer},
      {"send port", &TMailSettings::SendPort, SetupField::SendPort},
      {"mail server", &TMailSettings::MailServer, SetupField::MailServer},
      {"mail port", &TMailSettings::MailPort, SetupField::MailPort},
      {"user name", &TMailSettings::UserName, SetupField::UserName},
      {"password", &TMailSettings::PassWord, SetupField::PassWord},
      {"name", &TMailSettings::MyName, SetupField::MyName},
      {"address", &TMailSettings::MailAddress, SetupField::MailAddress},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TMailSettings saved = MailSettings;
    MailSettings.*row.member = "";
    MailSettings.MailPort = row.expected == SetupField::MailPort ? "" : "abc";  // never reached
    EXPECT_EQ(FullSetupEntered(true, fields), row.expected);
    MailSettings = saved;
  }
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_FALSE(PathExists(mail_dir)) << "nothing is made before the fields are complete";
}

TEST_F(SetupCheckTest, BothPortsBadReportsReceiveFirstAndReturnsSendPort) {
  MailSettings.MailPort = "abc";
  MailSettings.SendPort = "2 5";
  EXPECT_EQ(FullSetupEntered(true, fields), SetupField::SendPort);
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"Port numbers must be numeric!  Default receive mail port is 110.",
                                                  "Port numbers must be numeric!  Default send mail port is 25."}));
  ASSERT_EQ(fields.resets.size(), 2u);
  EXPECT_EQ(fields.resets[0], std::make_pair(SetupField::MailPort, std::string("110")));
  EXPECT_EQ(fields.resets[1], std::make_pair(SetupField::SendPort, std::string("25")));
  EXPECT_EQ(MailSettings.MailPort, "abc") << "only the dialog is reset";
  EXPECT_EQ(ui.boxes[0].caption, kApplicationTitle);
  EXPECT_FALSE(PathExists(mail_dir));
}

TEST_F(SetupCheckTest, PortNumbers) {
  struct Row {
    const char* port;
    bool ok;
  } rows[] = {{"110", true},   {"0110", true},        {"65535", true}, {"2147483647", true},
              {"2147483648", false}, {"-25", false}, {"+25", false},  {"0x19", false},
              {" 25", false},  {"25 ", false},        {"", false}};
  for (const Row& row : rows) EXPECT_EQ(IsPortNumber(row.port), row.ok) << row.port;
  EXPECT_FALSE(IsPortNumber(std::string("2\0" "5", 3)));
}

TEST_F(SetupCheckTest, OnlyReceivePortBadReturnsItsCode) {
  MailSettings.MailPort = "pop";
  EXPECT_EQ(FullSetupEntered(true, fields), SetupField::MailPort);
  EXPECT_EQ(ui.Texts().size(), 1u);
}

TEST_F(SetupCheckTest, AtSignInMailServerGivesFiveWhenAllElsePasses) {
  MailSettings.MailServer = "ann@pop.example.org";
  MailSettings.SendServer = "ann@smtp.example.org";
  EXPECT_EQ(FullSetupEntered(true, fields), SetupField::MailServer);
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"Invalid character @ in Mail Server name."}));
  EXPECT_TRUE(FolderExists(mail_dir + "Spool")) << "the tree is made before the server names are checked";
}

TEST_F(SetupCheckTest, AtSignInSendServerGivesThree) {
  MailSettings.SendServer = "ann@smtp.example.org";
  EXPECT_EQ(FullSetupEntered(true, fields), SetupField::SendServer);
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"Invalid character @ in Send Server name."}));
}

TEST_F(SetupCheckTest, WithoutCreatingTheForcedTreeCheckFails) {
  MakeTree();
  EXPECT_EQ(FullSetupEntered(false, fields), SetupField::MailDirectory);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SetupCheckTest, TreeThatCannotBeMadeGivesOneWithoutMessage) {
  WriteFile(home.path() + "blocker", "not a folder");
  MailSettings.MailDirectory = home.path() + "blocker/Mail/";
  EXPECT_EQ(FullSetupEntered(true, fields), SetupField::MailDirectory);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SetupCheckTest, EmptyMailDirectoryIsFilledWithTheDefault) {
  MailSettings.MailDirectory.clear();
  EXPECT_TRUE(CheckMailDirectory(true, fields));
  EXPECT_EQ(MailSettings.MailDirectory, home.path() + "Mail/");
  EXPECT_EQ(fields.shown_directory, home.path() + "Mail/");
  EXPECT_TRUE(FolderExists(home.path() + "Mail/People"));
}

TEST_F(SetupCheckTest, CheckWithoutCreateMakesNothing) {
  EXPECT_FALSE(CheckMailDirectory(false, fields));
  EXPECT_FALSE(PathExists(mail_dir));
  EXPECT_TRUE(fields.shown_directory.empty());
}

}  // namespace
}  // namespace corvelle
