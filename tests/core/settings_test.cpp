#include "core/settings.h"

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class SettingsTest : public testing::MailFixture {};

TEST_F(SettingsTest, NoFileGivesTheDefaults) {
  WindowPos pos{5, 6};
  std::string version = "old";
  LoadSettings(pos, version);
  const TMailSettings& s = MailSettings;
  EXPECT_EQ(version, "");
  EXPECT_EQ(pos.x, 5) << "position untouched without RememberPos";
  EXPECT_EQ(s.MailDirectory, "");
  EXPECT_EQ(s.DefaultAB, "AddressBook");
  EXPECT_EQ(s.DefaultABPath, "System/AddressBook/AddressBook.cvab");
  EXPECT_EQ(s.Signature, "system/signatures/signature.txt");
  EXPECT_EQ(s.LeaveMailOnServer, "0");
  EXPECT_EQ(s.DefaultFont.name, "Courier New");
  EXPECT_EQ(s.DefaultFont.height, -13);
  EXPECT_EQ(static_cast<unsigned>(s.DefaultFont.color), 0x80000008u);
  EXPECT_FALSE(s.DefaultFont.bold);
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
  WindowPos pos;
  std::string version;
  LoadSettings(pos, version);
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
  EXPECT_TRUE(s.DefaultFont.bold);
  EXPECT_FALSE(s.DefaultFont.italic);
  EXPECT_TRUE(s.DefaultFont.underline);
  EXPECT_FALSE(s.DefaultFont.strike_out);
}

TEST_F(SettingsTest, ShortStyleCountsMissingPositionsAsOff) {
  WriteFile(IniPath(), "[font]\nFont.Style=1\n");
  WindowPos pos;
  std::string version;
  LoadSettings(pos, version);
  EXPECT_TRUE(MailSettings.DefaultFont.bold);
  EXPECT_FALSE(MailSettings.DefaultFont.italic || MailSettings.DefaultFont.underline ||
               MailSettings.DefaultFont.strike_out);
}

TEST_F(SettingsTest, MailDirectoryWithoutTrailingSeparatorGetsOne) {
  WriteFile(IniPath(), "[main]\nMailDirectory=/srv/mail\n");
  WindowPos pos;
  std::string version;
  LoadSettings(pos, version);
  EXPECT_EQ(MailSettings.MailDirectory, "/srv/mail/");
  EXPECT_EQ(MailSettings.Signature, "/srv/mail/system/signatures/signature.txt");
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
  TMailSettings saved = s;
  ASSERT_TRUE(SaveSettings());

  MailSettings = TMailSettings{};
  WindowPos pos;
  std::string version;
  LoadSettings(pos, version);
  EXPECT_EQ(version, "1.24b");
  EXPECT_EQ(pos.x, -1) << "XPos is gone until the next exit";
  const TMailSettings& l = MailSettings;
  EXPECT_EQ(l.MailDirectory, saved.MailDirectory);
  EXPECT_EQ(l.Signature, saved.Signature);
  EXPECT_EQ(l.SendServer, saved.SendServer);
  EXPECT_EQ(l.PassWord, saved.PassWord);
  EXPECT_EQ(DecodePassword(l.PassWord), "s3cret pass");
  EXPECT_EQ(l.MyName, saved.MyName);
  EXPECT_EQ(l.LeaveMailOnServer, "1");
  EXPECT_EQ(l.ExitAfterCmdProc, "0");
  EXPECT_EQ(l.DefaultAB, "Friends");
  EXPECT_EQ(l.DefaultABPath, mail_dir + "System/AddressBook/Friends.cvab");
  EXPECT_EQ(l.DefaultFont.name, "DejaVu Sans Mono");
  EXPECT_EQ(l.DefaultFont.height, -16);
  EXPECT_EQ(l.DefaultFont.color, 0x00112233);
  EXPECT_TRUE(l.DefaultFont.bold && l.DefaultFont.strike_out);
  EXPECT_NE(ReadFile(IniPath()).find("[filters]\n1.1.HeaderLine=From\n"), std::string::npos)
      << "filters untouched";

  ASSERT_TRUE(SaveWindowPosition({40, 50}));
  LoadSettings(pos, version);
  EXPECT_EQ(pos.x, 40);
  EXPECT_EQ(pos.y, 50);
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

TEST_F(SettingsTest, TypedPasswordsSurviveTheSettingsFile) {
  // Printable characters never scramble into blanks, quotes or line breaks, which the
  // file could not hold at a value's ends.
  std::string printable;
  for (int c = 32; c < 127; ++c) printable += static_cast<char>(c);
  for (std::string plain : {printable, std::string(" x "), std::string("\"q\"")}) {
    MailSettings.PassWord = EncodePassword(plain);
    ASSERT_TRUE(SaveSettings());
    WindowPos pos;
    std::string version;
    LoadSettings(pos, version);
    EXPECT_EQ(DecodePassword(MailSettings.PassWord), plain);
  }
}

}  // namespace
}  // namespace corvelle
