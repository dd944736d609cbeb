#include "core/setup_check.h"

#include <gtest/gtest.h>

#include "core/settings.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::WriteFile;
using Strings = std::vector<std::string>;
using Resets = std::vector<std::pair<SetupField, std::string>>;

struct RecordingFields : SetupFields {
  void ShowMailDirectory(const std::string& directory) override { shown_directory = directory; }
  void ResetField(SetupField field, const std::string& text) override { resets.push_back({field, text}); }
  std::string shown_directory;
  Resets resets;
};

class SetupCheckTest : public testing::MailFixture {
 protected:
  SetupCheckTest() { SetUserSettings(); }
  RecordingFields fields;
};

TEST_F(SetupCheckTest, CompleteSetupMakesTheTreeWithSamples) {
  EXPECT_EQ(FullSetupEntered(true, fields), SetupField::None);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_TRUE(fields.resets.empty());
  EXPECT_TRUE(FolderExists(mail_dir + "Spool") && FolderExists(mail_dir + "People")) << "with the sample folders";
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

// The checks after the empty fields: ports (both reported, before anything is made), then
// "@" in the server names (after the tree is made).
TEST_F(SetupCheckTest, LaterChecksInTheirOrder) {
  const std::string receive = "Port numbers must be numeric!  Default receive mail port is 110.";
  const std::string send = "Port numbers must be numeric!  Default send mail port is 25.";
  struct Row {
    const char* name;
    std::string mail_port, send_port, mail_server, send_server;
    SetupField expected;
    Strings texts;
    Resets resets;
    bool tree_made;
  } rows[] = {
      {"both ports bad: receive first, send port returned", "abc", "2 5", "pop", "smtp",
       SetupField::SendPort, {receive, send}, {{SetupField::MailPort, "110"}, {SetupField::SendPort, "25"}}, false},
      {"receive port bad", "pop", "25", "pop", "smtp", SetupField::MailPort, {receive},
       {{SetupField::MailPort, "110"}}, false},
      {"@ in both server names", "110", "25", "ann@pop", "ann@smtp", SetupField::MailServer,
       {"Invalid character @ in Mail Server name."}, {}, true},
      {"@ in the send server", "110", "25", "pop", "ann@smtp", SetupField::SendServer,
       {"Invalid character @ in Send Server name."}, {}, true},
  };
  int i = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ui.boxes.clear();
    fields.resets.clear();
    TMailSettings& s = MailSettings;
    s.MailDirectory = home.path() + "Mail" + std::to_string(i++) + "/";
    s.MailPort = row.mail_port, s.SendPort = row.send_port;
    s.MailServer = row.mail_server, s.SendServer = row.send_server;
    EXPECT_EQ(FullSetupEntered(true, fields), row.expected);
    EXPECT_EQ(ui.Texts(), row.texts);
    for (const auto& box : ui.boxes) EXPECT_EQ(box.caption, kApplicationTitle);
    EXPECT_EQ(fields.resets, row.resets);
    EXPECT_EQ(s.MailPort, row.mail_port) << "only the dialog is reset";
    EXPECT_EQ(FolderExists(s.MailDirectory + "Spool"), row.tree_made);
  }
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

TEST_F(SetupCheckTest, ATreeThatIsNotThereOrCannotBeMadeIsTheMailDirectorysFault) {
  EXPECT_FALSE(CheckMailDirectory(false, fields));
  EXPECT_FALSE(PathExists(mail_dir)) << "nothing made without create";
  EXPECT_TRUE(fields.shown_directory.empty());
  MakeTree();  // without the sample folders the forced check fails
  EXPECT_EQ(FullSetupEntered(false, fields), SetupField::MailDirectory);
  WriteFile(home.path() + "blocker", "not a folder");
  MailSettings.MailDirectory = home.path() + "blocker/Mail/";
  EXPECT_EQ(FullSetupEntered(true, fields), SetupField::MailDirectory);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SetupCheckTest, EmptyOrRelativeMailDirectoriesAreTakenBelowHome) {
  const std::pair<std::string, std::string> rows[] = {
      {"", "Mail/"}, {"Post/", "Post/"}, {"~/Letters/", "Letters/"}, {"~/", ""}};
  for (const auto& [typed, below_home] : rows) {
    SCOPED_TRACE(typed);
    MailSettings.MailDirectory = typed;
    EXPECT_TRUE(CheckMailDirectory(true, fields));
    EXPECT_EQ(MailSettings.MailDirectory, home.path() + below_home);
    EXPECT_EQ(fields.shown_directory, home.path() + below_home);
    EXPECT_TRUE(FolderExists(home.path() + below_home + "People"));
  }
}

}  // namespace
}  // namespace corvelle
