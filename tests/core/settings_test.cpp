#include "core/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class SettingsTest : public testing::MailFixture {
 protected:
  // Loads the settings file into MailSettings and the members below.
  void Load() { LoadSettings(pos, version); }
  WindowPos pos{5, 6};
  std::string version = "old";
};

// Every stored field of a settings record, for comparing whole records.
std::vector<std::string> Fields(const TMailSettings& s) {
  const FontRecord& f = s.DefaultFont;
  return {s.MailDirectory, s.DefaultMailFolder, s.Signature, s.SendServer, s.SendPort, s.MailServer, s.MailPort,
          s.UserName, s.PassWord, s.MyName, s.MailAddress, s.DefaultAB, s.DefaultABPath, s.LeaveMailOnServer,
          s.ExitAfterCmdProc, s.RememberPos, f.name, std::to_string(f.size), std::to_string(f.height),
          std::to_string(f.color), std::to_string(f.bold * 1000 + f.italic * 100 + f.underline * 10 + f.strike_out)};
}

TEST_F(SettingsTest, NoFileGivesTheDefaults) {
  Load();
  EXPECT_EQ(version, "");
  EXPECT_EQ(pos.x, 5) << "position untouched without RememberPos";
  TMailSettings defaults;
  defaults.DefaultABPath = "System/AddressBook/AddressBook.cvab";
  defaults.Signature = "system/signatures/signature.txt";
  EXPECT_EQ(Fields(MailSettings), Fields(defaults));
}

TEST_F(SettingsTest, WindowsWrittenFileLoads) {
  WriteFile(IniPath(),
            "[MAIN]\r\n"
            "currentversion=1.24b\r\n"
            "MailDirectory=\"" + mail_dir + "\"\r\n"
            "defaultmailfolder=Inbox\r\n"
            "LeaveMailOnServer=yes\r\n"
            "ExitAfterCmdProc=1x\r\n"
            "RememberPos=1\r\n"
            "XPos=0x10\r\n"
            "YPos=oops\r\n"
            "DefaultAB=\r\n"
            "[Font]\r\n"
            "Font.Size=20\r\n"
            "Font.Height=-13\r\n"
            "Font.Color=0x000000FF\r\n"
            "Font.Style=1010\r\n");
  Load();
  const TMailSettings& s = MailSettings;
  EXPECT_EQ(version, "1.24b");
  EXPECT_EQ(s.MailDirectory, mail_dir);
  EXPECT_EQ(s.Signature, mail_dir + "system/signatures/signature.txt");
  EXPECT_EQ(s.LeaveMailOnServer, "0") << "\"yes\" is off";
  EXPECT_EQ(s.ExitAfterCmdProc, "1") << "\"1x\" is on";
  EXPECT_EQ(pos.x, 16);
  EXPECT_EQ(pos.y, -1);
  EXPECT_EQ(s.DefaultAB, "AddressBook");
  EXPECT_EQ(s.DefaultABPath, mail_dir + "System/AddressBook/AddressBook.cvab");
  EXPECT_EQ(s.DefaultFont.size, 20);
  EXPECT_EQ(s.DefaultFont.height, -13) << "the height decides";
  EXPECT_EQ(s.DefaultFont.color, 0xFF);
  EXPECT_TRUE(s.DefaultFont.bold && !s.DefaultFont.italic && s.DefaultFont.underline && !s.DefaultFont.strike_out);
}

TEST_F(SettingsTest, ShortStyleAndAMailDirectoryWithoutItsSeparator) {
  WriteFile(IniPath(), "[main]\nMailDirectory=/srv/mail\n[font]\nFont.Style=1\n");
  Load();
  EXPECT_EQ(MailSettings.MailDirectory, "/srv/mail/");
  EXPECT_EQ(MailSettings.Signature, "/srv/mail/system/signatures/signature.txt");
  const FontRecord& font = MailSettings.DefaultFont;
  EXPECT_TRUE(font.bold && !font.italic && !font.underline && !font.strike_out) << "missing positions are off";
}

TEST_F(SettingsTest, SaveThenLoadGivesEveryFieldBack) {
  WriteFile(IniPath(), "[main]\nXPos=3\nYPos=4\n[filters]\n1.1.HeaderLine=From\n");
  TMailSettings& s = MailSettings;
  s.DefaultMailFolder = "Inbox";
  s.Signature = mail_dir + "System/Signatures/work.txt";
  s.SendServer = "smtp.example";
  s.SendPort = "25";
  s.MailServer = "pop.example";
  s.MailPort = "110";
  s.UserName = "ann";
  s.PassWord = EncodePassword("s3cret pass");
  s.MyName = "Ann Lee";
  s.MailAddress = "ann@example";
  s.LeaveMailOnServer = "1";
  s.RememberPos = "1";
  s.DefaultAB = "Friends";
  s.DefaultFont = {"DejaVu Sans Mono", 12, -16, 0x00112233, true, false, false, true};
  s.DefaultABPath = DefaultAddressBookPath();
  TMailSettings saved = s;
  ASSERT_TRUE(SaveSettings());

  MailSettings = TMailSettings{};
  pos = {};
  Load();
  EXPECT_EQ(version, "1.24b");
  EXPECT_EQ(pos.x, -1) << "XPos is gone until the next exit";
  EXPECT_EQ(Fields(MailSettings), Fields(saved));
  EXPECT_EQ(DecodePassword(MailSettings.PassWord), "s3cret pass");
  EXPECT_NE(ReadFile(IniPath()).find("[filters]\n1.1.HeaderLine=From\n"), std::string::npos)
      << "filters untouched";

  ASSERT_TRUE(SaveWindowPosition({40, 50}));
  Load();
  EXPECT_EQ(pos.x, 40);
  EXPECT_EQ(pos.y, 50);
}

// Another program's file, or one left by an older version, that this process may not read:
// it is named, and nothing is ever written over it.
TEST_F(SettingsTest, AFileThatCannotBeReadIsNamedAndNeverWrittenOver) {
  WriteFile(IniPath(), "[main]\nMailDirectory=/srv/mail/\n[filters]\n1.1.HeaderLine=From\n");
  ::chmod(IniPath().c_str(), 0);
  if (::access(IniPath().c_str(), R_OK) == 0) {  // root reads anyway; a FIFO it cannot
    ::unlink(IniPath().c_str());
    ASSERT_EQ(::mkfifo(IniPath().c_str(), 0600), 0);
  }
  FileIdentity before, after;
  ASSERT_TRUE(GetFileIdentity(IniPath(), before));
  Load();
  EXPECT_EQ(MailSettings.MailDirectory, "");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_NE(ui.boxes[0].text.find(IniPath()), std::string::npos) << ui.boxes[0].text;
  MailSettings.MailDirectory = mail_dir;
  EXPECT_FALSE(SaveSettings());
  EXPECT_FALSE(SaveWindowPosition({1, 2}));
  ReloadSettings();
  EXPECT_EQ(MailSettings.MailDirectory, mail_dir) << "the settings in memory stay in effect";
  ASSERT_TRUE(GetFileIdentity(IniPath(), after));
  EXPECT_EQ(before, after);
  EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST(PasswordTest, EveryByteStringRoundTrips) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  for (const std::string& plain : {std::string(), std::string("a"), std::string("ab"), std::string("abc"), all,
                                   all + "x", std::string(1500, '\xff')}) {
    std::string stored = EncodePassword(plain);
    EXPECT_EQ(stored.size(), plain.size());
    EXPECT_EQ(DecodePassword(stored), plain);
  }
  EXPECT_NE(EncodePassword("secret"), "secret");
}

TEST_F(SettingsTest, PasswordsSurviveTheSettingsFile) {
  // The stored form keeps any byte but a line break, blanks and quotes at its ends included;
  // typed (printable) passwords never scramble into a line break.
  std::string stored, printable;
  for (int c = 1; c < 256; ++c)
    if (c != '\r' && c != '\n') stored += static_cast<char>(c);
  for (int c = 32; c < 127; ++c) printable += static_cast<char>(c);
  for (std::string form : {stored, std::string(" x "), std::string("\"q\""), std::string("p\x19"),
                           EncodePassword(printable)}) {
    MailSettings.PassWord = form;
    ASSERT_TRUE(SaveSettings());
    Load();
    EXPECT_EQ(MailSettings.PassWord, form);
  }
}

}  // namespace
}  // namespace corvelle
