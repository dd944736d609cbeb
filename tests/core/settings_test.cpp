#include "core/settings/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/accounts/account.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class SettingsTest : public testing::MailFixture {
 protected:
  // Loads the settings file into MailSettings and the members below.
  void Load() { MailSettings = LoadSettings(ui, pos, version); }
  WindowPos pos{5, 6};
  std::string version = "old";
};

// Every stored field of a settings record, for comparing whole records.
std::vector<std::string> Fields(const Settings& s) {
  const FontRecord& f = s.DefaultFont;
  return {s.MailDirectory, s.DefaultMailFolder, s.Signature, s.SendServer, s.SendPort, s.MailServer, s.MailPort,
          s.UserName, s.PassWord, s.MyName, s.MailAddress, s.DefaultAB, s.DefaultABPath, std::to_string(s.LeaveMailOnServer),
          std::to_string(s.ExitAfterCmdProc), std::to_string(s.RememberPos), f.name, std::to_string(f.size), std::to_string(f.height),
          std::to_string(f.color), std::to_string(f.bold * 1000 + f.italic * 100 + f.underline * 10 + f.strike_out)};
}

TEST_F(SettingsTest, WindowsWrittenFileLoads) {
  WriteFile(IniPath(), "[MAIN]\r\ncurrentversion=1.24b\r\nMailDirectory=\"" + mail_dir.substr(0, mail_dir.size() - 1) +
                           "\"\r\ndefaultmailfolder=Inbox\r\nLeaveMailOnServer=yes\r\nExitAfterCmdProc=1x\r\n"
                           "RememberPos=1\r\nXPos=0x10\r\nYPos=oops\r\nDefaultAB=\r\n[Font]\r\nFont.Size=20\r\n"
                           "Font.Height=-13\r\nFont.Color=0x000000FF\r\nFont.Style=101\r\n");
  Load();
  const Settings& s = MailSettings;
  EXPECT_EQ(version, "1.24b");
  EXPECT_EQ(s.MailDirectory, mail_dir) << "the separator is added";
  EXPECT_EQ(s.Signature, mail_dir + "system/signatures/signature.txt");
  EXPECT_FALSE(s.LeaveMailOnServer) << "\"yes\" is off";
  EXPECT_TRUE(s.ExitAfterCmdProc) << "\"1x\" is on";
  EXPECT_TRUE(pos.x == 16 && pos.y == -1);
  EXPECT_EQ(s.DefaultABPath, mail_dir + "System/AddressBook/AddressBook.cvab");
  const FontRecord& f = s.DefaultFont;
  EXPECT_TRUE(f.size == 20 && f.height == -13 && f.color == 0xFF) << "the height decides";
  EXPECT_TRUE(f.bold && !f.italic && f.underline && !f.strike_out) << "a missing position is off";
}

TEST_F(SettingsTest, SaveThenLoadGivesEveryFieldBack) {
  WriteFile(IniPath(), "[main]\nXPos=3\nYPos=4\n[filters]\n1.1.HeaderLine=From\n");
  SetUserSettings();
  Settings& s = MailSettings;
  s.Signature = mail_dir + "System/Signatures/work.txt";
  s.LeaveMailOnServer = s.RememberPos = true;
  s.DefaultAB = "Friends";
  s.DefaultFont = {"DejaVu Sans Mono", 12, -16, 0x00112233, true, false, false, true};
  s.DefaultABPath = DefaultAddressBookPath(MailSettings);
  Settings saved = s;
  ASSERT_TRUE(SaveSettings(MailSettings));

  MailSettings = Settings{};
  pos = {};
  Load();
  EXPECT_EQ(version, "1.24b");
  EXPECT_EQ(pos.x, 3) << "keys the save does not write stay";
  EXPECT_EQ(Fields(MailSettings), Fields(saved));
  EXPECT_NE(ReadFile(IniPath()).find("[filters]\n1.1.HeaderLine=From\n"), std::string::npos) << "filters untouched";

  ASSERT_TRUE(SaveWindowPosition({40, 50}));
  Load();
  EXPECT_TRUE(pos.x == 40 && pos.y == 50);
}

// The background check is off unless the file says otherwise; a file that never had it gets
// no key, a value out of range is brought within it, and turning it off is kept.
TEST_F(SettingsTest, CheckMailIntervalIsOffByDefaultAndRoundTrips) {
  SetUserSettings();
  ASSERT_TRUE(SaveSettings(MailSettings));
  EXPECT_EQ(ReadFile(IniPath()).find("CheckMailMinutes"), std::string::npos);
  Load();
  EXPECT_EQ(MailSettings.CheckMailMinutes, 0);

  for (int minutes : {15, 0}) {
    MailSettings.CheckMailMinutes = minutes;
    ASSERT_TRUE(SaveSettings(MailSettings));
    MailSettings.CheckMailMinutes = 7;
    Load();
    EXPECT_EQ(MailSettings.CheckMailMinutes, minutes);
  }
  for (const auto& [text, expected] : {std::pair{"99999", kMaxCheckMailMinutes}, {"-5", 0}, {"ten", 0}}) {
    WriteFile(IniPath(), std::string("[main]\nCheckMailMinutes=") + text + "\n");
    Load();
    EXPECT_EQ(MailSettings.CheckMailMinutes, expected) << text;
  }
}

// A file this process may not read is named, gives the defaults (as no file does), and
// nothing is ever written over it.
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
  Settings defaults;
  defaults.DefaultABPath = "System/AddressBook/AddressBook.cvab";
  defaults.Signature = "system/signatures/signature.txt";
  EXPECT_EQ(Fields(MailSettings), Fields(defaults));
  EXPECT_TRUE(version.empty() && pos.x == 5) << "position untouched without RememberPos";
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_NE(ui.boxes[0].text.find(IniPath()), std::string::npos) << ui.boxes[0].text;
  MailSettings.MailDirectory = mail_dir;
  EXPECT_FALSE(SaveSettings(MailSettings));
  EXPECT_FALSE(SaveWindowPosition({1, 2}));
  ReloadSettings(ui, MailSettings);
  EXPECT_EQ(MailSettings.MailDirectory, mail_dir) << "the settings in memory stay in effect";
  EXPECT_TRUE(GetFileIdentity(IniPath(), after) && before == after && ui.boxes.size() == 1u);
}

// Any byte string of any length round-trips, one byte per character; the stored form
// keeps any byte but a line break through the file, blanks and quotes at its ends too,
// and typed (printable) passwords never scramble into a line break.
TEST_F(SettingsTest, PasswordsRoundTripThroughScramblingAndTheFile) {
  std::string all, stored, printable;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  for (int c = 1; c < 256; ++c)
    if (c != '\r' && c != '\n') stored += static_cast<char>(c);
  for (int c = 32; c < 127; ++c) printable += static_cast<char>(c);
  for (const std::string& plain : {std::string(), std::string("abc"), all, all + "x", std::string(1500, '\xff')})
    EXPECT_TRUE(EncodePassword(plain).size() == plain.size() && DecodePassword(EncodePassword(plain)) == plain);
  EXPECT_NE(EncodePassword("secret"), "secret");
  for (std::string form : {stored, std::string(" x "), std::string("\"q\""), EncodePassword(printable)}) {
    MailSettings.PassWord = form;
    ASSERT_TRUE(SaveSettings(MailSettings));
    Load();
    EXPECT_EQ(MailSettings.PassWord, form);
  }
}

// A file from before the security keys keeps its meaning (port 995 or 465 means TLS) and
// gains no keys from a save; set ones, trusted certificates included, come back whole.
TEST_F(SettingsTest, SecuritySettingsKeepOldFilesAsTheyWereAndRoundTrip) {
  SetUserSettings();
  ASSERT_TRUE(SaveSettings(MailSettings));
  for (const char* key : {"Security", "SendUserName", "SendPassWord", "ClearAuth", "TrustedCert"})
    EXPECT_EQ(ReadFile(IniPath()).find(key), std::string::npos) << key;
  const std::tuple<std::string, std::string, Security> rows[] = {
      {"", "995", Security::kTls}, {"", "465", Security::kTls}, {"", "110", Security::kNone},
      {"STARTTLS", "995", Security::kStartTls}, {"bogus", "25", Security::kNone}};
  for (const auto& [text, port, expected] : rows) EXPECT_EQ(SecurityFromText(text, port), expected) << text << port;

  SecuritySettings& secure = MailSettings.Secure;
  secure = {"None", "STARTTLS", "sender", EncodePassword(" p\xe4ss\" "), {"pop.example.org:110", "::1:25"},
            {{"127.0.0.1:995", "AB:CD"}, {"::1:465", "01:02"}}};
  const SecuritySettings saved = secure;
  ASSERT_TRUE(SaveSettings(MailSettings));
  MailSettings = Settings{};
  Load();
  EXPECT_TRUE(secure.MailSecurity == saved.MailSecurity && secure.SendSecurity == saved.SendSecurity);
  EXPECT_TRUE(secure.SendUserName == saved.SendUserName && secure.SendPassWord == saved.SendPassWord);
  EXPECT_EQ(secure.ClearPasswordServers, saved.ClearPasswordServers);
  EXPECT_EQ(secure.TrustedCertificates, saved.TrustedCertificates);
}


// A file of one account as the program wrote it before there could be more: loaded and
// saved, it is the same file byte for byte (no AccountName, no sections, nothing moved).
TEST_F(SettingsTest, OneAccountFileFromBeforeIsWrittenBackByteIdentical) {
  const std::string before = "[main]\r\nCurrentVersion=1.24b\r\nMailDirectory=" + mail_dir +
                             "\r\nDefaultMailFolder=Inbox\r\nSignature=" + mail_dir +
                             "System/Signatures/signature.txt\r\nSendServer=smtp.example.org\r\nSendPort=587\r\n"
                             "MailServer=pop.example.org\r\nMailPort=995\r\nUserName=ann\r\nPassWord=\"" +
                             EncodePassword(" s\xe9" "cret\" ") + "\"\r\nMyName=Ann\r\nMailAddress=ann@example.org\r\n"
                             "LeaveMailOnServer=1\r\nExitAfterCmdProc=0\r\nRememberPos=0\r\nDefaultAB=AddressBook\r\n"
                             "MailSecurity=SSL/TLS\r\nSendSecurity=STARTTLS\r\n[filters]\r\n1.1.HeaderLine=From\r\n"
                             "[Font]\r\nFont.Name=DejaVu Sans\r\nFont.Size=10\r\nFont.Height=-13\r\nFont.Color=0\r\n"
                             "Font.Style=0000\r\n";
  WriteFile(IniPath(), before);
  Load();
  ASSERT_TRUE(MailSettings.Accounts.empty() && MailSettings.AccountName.empty());
  ASSERT_TRUE(SaveSettings(MailSettings));
  EXPECT_EQ(ReadFile(IniPath()), before);
}

// Further accounts come back whole and in order: names with blanks and 8-bit bytes,
// passwords with quotes and blanks at their ends, every key of the section.
TEST_F(SettingsTest, AccountsRoundTripInOrder) {
  SetUserSettings();
  MailSettings.AccountName = "Home";
  Account work{"Work acc\xf6unt", false, "pop.work.example", "995", "SSL/TLS", "j oe", EncodePassword(" \"pw\" "),
               "OAuth2", "Example", true, "Work/In box", "Joe W", "joe@work.example", "/sig/w.txt",
               "smtp.work.example", "465", "SSL/TLS", "joe.s", EncodePassword("\"")};
  Account club;
  club.Name = "club";
  club.MailServer = "pop.club.example";
  club.PassWord = EncodePassword("  ");
  MailSettings.Accounts = {work, club};
  ASSERT_TRUE(SaveSettings(MailSettings));
  EXPECT_NE(ReadFile(IniPath()).find("[Account Work acc\xf6unt]\r\nEnabled=0\r\n"), std::string::npos);
  MailSettings = Settings{};
  Load();
  EXPECT_EQ(MailSettings.AccountName, "Home");
  ASSERT_EQ(MailSettings.Accounts.size(), 2u);
  const Account& w = MailSettings.Accounts[0];
  EXPECT_EQ(std::tie(w.Name, w.Enabled, w.MailServer, w.MailPort, w.MailSecurity, w.UserName, w.PassWord, w.SignIn,
                     w.Provider, w.LeaveMailOnServer, w.Folder, w.MyName, w.MailAddress, w.Signature),
            std::tie(work.Name, work.Enabled, work.MailServer, work.MailPort, work.MailSecurity, work.UserName,
                     work.PassWord, work.SignIn, work.Provider, work.LeaveMailOnServer, work.Folder, work.MyName,
                     work.MailAddress, work.Signature));
  EXPECT_EQ(std::tie(w.SendServer, w.SendPort, w.SendSecurity, w.SendUserName, w.SendPassWord),
            std::tie(work.SendServer, work.SendPort, work.SendSecurity, work.SendUserName, work.SendPassWord));
  EXPECT_EQ(DecodePassword(w.PassWord), " \"pw\" ");
  EXPECT_EQ(MailSettings.Accounts[1].Name, "club");
  EXPECT_EQ(DecodePassword(MailSettings.Accounts[1].PassWord), "  ");
  EXPECT_TRUE(MailSettings.Accounts[1].Enabled);
}

// Removing every account removes their sections and nothing else: every other line stays.
TEST_F(SettingsTest, RemovingEveryAccountRemovesOnlyTheirSections) {
  SetUserSettings();
  ASSERT_TRUE(SaveSettings(MailSettings));
  WriteFile(IniPath(), ReadFile(IniPath()) + "[filters]\r\n1.1.HeaderLine=From\r\n[Hand]\r\nKey=kept\r\n");
  const std::string without = ReadFile(IniPath());
  Load();
  MailSettings.Accounts.resize(2);
  MailSettings.Accounts[0].Name = "a";
  MailSettings.Accounts[1].Name = "b";
  ASSERT_TRUE(SaveSettings(MailSettings));
  ASSERT_NE(ReadFile(IniPath()).find("[Account b]"), std::string::npos);
  Load();
  MailSettings.Accounts.clear();
  ASSERT_TRUE(SaveSettings(MailSettings));
  EXPECT_EQ(ReadFile(IniPath()), without);
}

}  // namespace
}  // namespace corvelle
