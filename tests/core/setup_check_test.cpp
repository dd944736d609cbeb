#include "core/settings/setup_check.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <functional>

#include "core/settings/settings.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"
#include "support/test_settings.h"

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

TEST_F(SetupCheckTest, FirstEmptyFieldDecidesInCodeOrder) {
  Settings& s = MailSettings;
  std::string* fields_in_order[] = {&s.MailDirectory, &s.DefaultMailFolder, &s.SendServer, &s.SendPort, &s.MailServer,
                                    &s.MailPort,      &s.UserName,          &s.PassWord,   &s.MyName,   &s.MailAddress};
  for (int code = 1; code <= 10; ++code) {
    SCOPED_TRACE(code);
    Settings saved = MailSettings;
    *fields_in_order[code - 1] = "";
    if (code != 6) MailSettings.MailPort = "abc";  // never reached
    EXPECT_EQ(FullSetupEntered(ui, MailSettings, true, fields), SetupField(code));
    MailSettings = saved;
  }
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_FALSE(PathExists(mail_dir)) << "nothing is made before the fields are complete";
}

TEST_F(SetupCheckTest, OAuth2NeedsNoPassword) {
  MailSettings.PassWord.clear();
  MailSettings.Secure.SignIn = "OAuth2";
  EXPECT_EQ(FullSetupEntered(ui, MailSettings, true, fields), SetupField::None);
}

// The checks after the empty fields: ports (both reported), then path values, both before
// anything is made; then "@" in the server names, after the tree is made.
TEST_F(SetupCheckTest, LaterChecksInTheirOrder) {
  const std::string receive = "Port numbers must be numeric!  Default receive mail port is 110.";
  const std::string send = "Port numbers must be numeric!  Default send mail port is 25.";
  const std::string nul("\0", 1), long_name(1024 - mail_dir.size(), 'x');
  const std::string has_nul = " must not contain a NUL character.";
  const std::string too_long = " is longer than the 1023 characters a setting can hold.";
  struct Row {
    const char* name;
    std::function<void(Settings&)> change;
    SetupField expected;
    Strings texts;
    Resets resets;
    bool tree_made;
  } rows[] = {
      {"both ports bad: receive first, send port returned", [](auto& s) { s.MailPort = "abc", s.SendPort = "2 5"; },
       SetupField::SendPort, {receive, send}, {{SetupField::MailPort, "110"}, {SetupField::SendPort, "25"}}, false},
      {"port 70000", [](auto& s) { s.MailPort = "70000"; }, SetupField::MailPort, {receive},
       {{SetupField::MailPort, "110"}}, false},
      {"bad ports with secure choices: their usual ports",
       [](auto& s) {
         s.MailPort = "x", s.SendPort = "y";
         s.Secure.MailSecurity = "SSL/TLS", s.Secure.SendSecurity = "STARTTLS";
       },
       SetupField::SendPort,
       {"Port numbers must be numeric!  Default receive mail port is 995.",
        "Port numbers must be numeric!  Default send mail port is 587."},
       {{SetupField::MailPort, "995"}, {SetupField::SendPort, "587"}}, false},
      {"NUL in the mail directory", [&](auto& s) { s.MailDirectory += nul + "x/"; }, SetupField::MailDirectory,
       {"The mail directory" + has_nul}, {}, false},
      {"mail directory over 1023 bytes", [&](auto& s) { s.MailDirectory += long_name + "/"; },
       SetupField::MailDirectory, {"The mail directory" + too_long}, {}, false},
      {"NUL in the default folder", [&](auto& s) { s.DefaultMailFolder += nul + "x"; }, SetupField::DefaultMailFolder,
       {"The default mail folder" + has_nul}, {}, false},
      {"signature path over 1023 bytes", [&](auto& s) { s.Signature = s.MailDirectory + long_name + ".txt"; },
       SetupField::MailDirectory, {"The signature file's path" + too_long}, {}, false},
      {"complete: the tree with its samples", [](auto&) {}, SetupField::None, {}, {}, true},
      {"@ in both server names", [](auto& s) { s.MailServer = "ann@pop", s.SendServer = "ann@smtp"; },
       SetupField::MailServer, {"Invalid character @ in Mail Server name."}, {}, true},
      {"@ in the send server", [](auto& s) { s.SendServer = "ann@smtp"; }, SetupField::SendServer,
       {"Invalid character @ in Send Server name."}, {}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ui.boxes.clear(), fields.resets.clear();
    Settings saved = MailSettings;
    row.change(MailSettings);
    std::string port = MailSettings.MailPort;
    EXPECT_EQ(FullSetupEntered(ui, MailSettings, true, fields), row.expected);
    EXPECT_EQ(ui.Texts(), row.texts);
    EXPECT_EQ(fields.resets, row.resets);
    EXPECT_EQ(MailSettings.MailPort, port) << "only the dialog is reset";
    EXPECT_EQ(PathExists(mail_dir + "People"), row.tree_made);
    MailSettings = saved;
    if (row.tree_made) std::filesystem::remove_all(mail_dir);
  }
}

TEST(PortNumberTest, OneTo65535AsDigits) {
  for (const char* port : {"1", "110", "0110", "65535"}) EXPECT_TRUE(IsPortNumber(port)) << port;
  for (const char* port : {"0", "65536", "70000", "2147483648", "-25", "+25", "0x19", " 25", "25 ", ""})
    EXPECT_FALSE(IsPortNumber(port)) << port;
  EXPECT_FALSE(IsPortNumber(std::string("2\0" "5", 3)));
}

// Without create nothing is made; a tree without its samples fails the forced check; a
// tree that cannot be made names the mail directory, and says so.
TEST_F(SetupCheckTest, ATreeThatIsNotThereOrCannotBeMadeIsTheMailDirectorysFault) {
  EXPECT_TRUE(!CheckMailDirectory(MailSettings, false, fields) && !PathExists(mail_dir) &&
              fields.shown_directory.empty());
  MakeTree();
  EXPECT_EQ(FullSetupEntered(ui, MailSettings, false, fields), SetupField::MailDirectory);
  WriteFile(home.path() + "blocker", "not a folder");
  MailSettings.MailDirectory = home.path() + "blocker/Mail/";
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(FullSetupEntered(ui, MailSettings, true, fields), SetupField::MailDirectory);
  EXPECT_EQ(ui.Texts(), Strings{"The mail folders could not be made in " + MailSettings.MailDirectory +
                                ".  Check that the folder can be written, or choose another."});
}

TEST_F(SetupCheckTest, EmptyOrRelativeMailDirectoriesAreTakenBelowHome) {
  const std::pair<std::string, std::string> rows[] = {
      {"", "Mail/"}, {"Post/", "Post/"}, {"~/Letters/", "Letters/"}, {"~/", ""}};
  for (const auto& [typed, below_home] : rows) {
    SCOPED_TRACE(typed);
    MailSettings.MailDirectory = typed;
    EXPECT_TRUE(CheckMailDirectory(MailSettings, true, fields));
    EXPECT_EQ(MailSettings.MailDirectory, home.path() + below_home);
    EXPECT_EQ(fields.shown_directory, home.path() + below_home);
    EXPECT_TRUE(FolderExists(home.path() + below_home + "People"));
  }
}

}  // namespace
}  // namespace corvelle
