// Passwords in the system keyring or the settings file: the keys, the way in and back out,
// never both places, nothing lost when the keyring refuses, and a file from before as it was.

#include "core/signin/keyring_passwords.h"

#include <gtest/gtest.h>

#include "core/accounts/account.h"
#include "core/settings/settings.h"
#include "core/signin/keyring_credentials.h"
#include "support/mail_fixture.h"
#include "support/memory_secret_store.h"
#include "support/recording_ui.h"

namespace corvelle {
namespace {

using testing::MemorySecretStore;
using testing::ReadFile;
using testing::WriteFile;
using testing::RecordingUi;
using Target = LoginTarget::Service;

constexpr const char* kPopKey = "pop3 ann@pop.example.org";
constexpr const char* kSmtpKey = "smtp bob@smtp.example.org";

// A file from before the keyring: the POP3 password scrambled in it, UseKeyring not set.
Settings OldFile() {
  Settings s;
  s.MailServer = "pop.example.org";
  s.SendServer = "smtp.example.org";
  s.UserName = "ann";
  s.PassWord = EncodePassword("secret");
  return s;
}

// A further account that logs in to `server` as `user`.
Account Login(const std::string& server, const std::string& user) {
  Account account;
  account.Name = server;
  account.MailServer = server;
  account.UserName = user;
  return account;
}

class KeyringPasswordsTest : public ::testing::Test {
 protected:
  // The setup dialog's OK: the passwords entered kept, the file written, the leftovers removed.
  void Keep(const PasswordSlots& before, const PasswordSlots& entered, SecretStore* with) {
    RemoveLeftKeys(ui, with, KeepPasswords(ui, s, with, before, entered, told));
  }
  std::string Password(Target service) {
    Credential credential;
    std::string why;
    EXPECT_TRUE(KeyringCredentials(s, &store, nullptr).Get(ui, {service, "", "", ""}, credential, why)) << why;
    return credential.secret;
  }

  Settings s = OldFile();
  MemorySecretStore store;
  RecordingUi ui;
  bool told = false;
};

TEST_F(KeyringPasswordsTest, KeysNameTheServiceUserAndServer) {
  EXPECT_EQ(PasswordKeys(s).mail, kPopKey);
  EXPECT_EQ(PasswordKeys(s).send, "") << "sending uses the POP3 login";
  s.Secure.SendUserName = "bob";
  EXPECT_EQ(PasswordKeys(s).send, kSmtpKey);
  store.secrets = {{kPopKey, "pop"}, {kSmtpKey, "smtp"}};
  s.PassWord.clear();
  EXPECT_EQ(Password(Target::kSmtp), "smtp");
  s.Secure.SendUserName.clear();
  EXPECT_EQ(Password(Target::kSmtp), "pop") << "without a send login of its own, the POP3 password";
}

TEST_F(KeyringPasswordsTest, FileFromBeforeKeepsWorkingUntilSaved) {
  EXPECT_EQ(Password(Target::kPop3), "secret");
  EXPECT_EQ(KeptPasswords(s, &store).mail, "secret");
  EXPECT_TRUE(store.secrets.empty() && s.Secure.UseKeyring.empty()) << "reading changes nothing";
}

TEST_F(KeyringPasswordsTest, SavingMovesPasswordsInAndTurningOffMovesThemBack) {
  s.Secure.SendUserName = "bob";
  Keep(PasswordKeys(s), {"secret", "s\xe9nd\n"}, &store);
  EXPECT_TRUE(s.PassWord.empty() && s.Secure.SendPassWord.empty()) << "never in both places";
  EXPECT_EQ(store.secrets, (std::map<std::string, std::string>{{kPopKey, "secret"}, {kSmtpKey, "s\xe9nd\n"}}));
  EXPECT_EQ(KeptPasswords(s, &store).send, "s\xe9nd\n");

  PasswordSlots shown = KeptPasswords(s, &store);  // the dialog opened, then the box unchecked
  s.Secure.UseKeyring = "0";
  Keep(PasswordKeys(s), shown, &store);
  EXPECT_TRUE(store.secrets.empty());
  EXPECT_EQ(DecodePassword(s.PassWord), "secret");
  EXPECT_EQ(DecodePassword(s.Secure.SendPassWord), "s\xe9nd\n");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(KeyringPasswordsTest, UserOrServerChangeMovesTheEntry) {
  PasswordSlots before = PasswordKeys(s);
  Keep(before, {"secret", ""}, &store);
  before = PasswordKeys(s);
  s.UserName = "ann.b";
  s.MailServer = "mail.example.org";
  Keep(before, {"secret", ""}, &store);
  EXPECT_EQ(store.secrets, (std::map<std::string, std::string>{{"pop3 ann.b@mail.example.org", "secret"}}));
}

TEST_F(KeyringPasswordsTest, RefusedWriteKeepsThePasswordInTheFile) {
  store.secrets[kPopKey] = "old";
  store.refused.insert(kPopKey);
  Keep(PasswordKeys(s), {"new", ""}, &store);
  EXPECT_EQ(DecodePassword(s.PassWord), "new");
  EXPECT_EQ(Password(Target::kPop3), "new") << "the stale entry never wins";
  EXPECT_TRUE(store.secrets.empty()) << "and goes once the file holds the new one";
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_NE(ui.boxes[0].text.find(kPopKey), std::string::npos);
  EXPECT_EQ(ui.boxes[0].text.find("new"), std::string::npos) << "no password in a message";
}

TEST_F(KeyringPasswordsTest, EntryThatCannotBeRemovedIsNamed) {
  store.answers = false;
  s.Secure.UseKeyring = "0";
  Keep(PasswordKeys(s), {"secret", ""}, &store);
  EXPECT_EQ(DecodePassword(s.PassWord), "secret");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_NE(ui.boxes[0].text.find(std::string("could not remove ") + kPopKey), std::string::npos);
}

TEST_F(KeyringPasswordsTest, NoKeyringKeepsTheFileAndTellsOnceWhenChosen) {
  Keep({}, {"secret", ""}, nullptr);
  EXPECT_EQ(DecodePassword(s.PassWord), "secret");
  EXPECT_TRUE(ui.boxes.empty()) << "not chosen: nothing to tell";
  s.Secure.UseKeyring = "1";
  Keep({}, {"secret", ""}, nullptr);
  Keep({}, {"secret", ""}, nullptr);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"No system keyring answers, so your passwords stay in Corvelle's "
                                                 "settings file, scrambled as before."});
}

TEST_F(KeyringPasswordsTest, KeyringThatGivesNothingSaysWhy) {
  s.PassWord.clear();
  Credential credential;
  std::string why;
  KeyringCredentials credentials(s, &store, nullptr);
  EXPECT_FALSE(credentials.Get(ui, {Target::kPop3, "", "", ""}, credential, why));
  EXPECT_NE(why.find(std::string("no password for ") + kPopKey), std::string::npos) << why;
  store.answers = false;
  EXPECT_FALSE(credentials.Get(ui, {Target::kPop3, "", "", ""}, credential, why));
  EXPECT_NE(why.find("locked or does not answer"), std::string::npos) << why;
}

// A further account's passwords go where the first's go, under its own keys, and back to its
// section when the keyring is turned off.
TEST_F(KeyringPasswordsTest, FurtherAccountsKeepTheirPasswordsTheSameWay) {
  Account work = Login("pop.work.example", "ann");
  work.SendServer = "smtp.work.example";
  work.SendUserName = "bob";
  EXPECT_TRUE(KeepAccountPasswords(ui, s, work, &store, {}, {"w", " s\"nd "}, told).empty());
  EXPECT_EQ(store.secrets, (std::map<std::string, std::string>{{"pop3 ann@pop.work.example", "w"},
                                                               {"smtp bob@smtp.work.example", " s\"nd "}}));
  EXPECT_TRUE(work.PassWord.empty() && work.SendPassWord.empty());
  EXPECT_EQ(KeptPasswords(AccountSettings(s, work), &store).send, " s\"nd ");

  s.Secure.UseKeyring = "0";
  PasswordSlots keys = PasswordKeys(AccountSettings(s, work));
  RemoveLeftKeys(ui, &store, KeepAccountPasswords(ui, s, work, &store, keys, {"w", " s\"nd "}, told));
  EXPECT_TRUE(store.secrets.empty());
  EXPECT_EQ(DecodePassword(work.SendPassWord), " s\"nd ");
  EXPECT_TRUE(ui.boxes.empty());
}

// A key another account still keeps its password under is no leftover.
TEST_F(KeyringPasswordsTest, KeysStillInUseAreNotLeftOver) {
  Keep(PasswordKeys(s), {"secret", ""}, &store);
  s.Accounts = {Login("pop.b.example", "bo")};
  s.Accounts[0].PassWord = EncodePassword("x");
  std::vector<std::string> left{kPopKey, "pop3 bo@pop.b.example", "pop3 gone@pop.example.org"};
  EXPECT_EQ(UnusedKeys(s, &store, left), (std::vector<std::string>{"pop3 bo@pop.b.example", "pop3 gone@pop.example.org"}));
  s.Secure.UseKeyring = "0";
  EXPECT_EQ(UnusedKeys(s, &store, left), left) << "the keyring is out of use: every key goes";
}

// At start-up a file from before the keyring gives up the passwords of every account, and
// only the password keys of the file change.
class MoveToKeyringTest : public testing::MailFixture {};

TEST_F(MoveToKeyringTest, EveryAccountsPasswordsMoveAndNothingElseChanges) {
  const std::string section = "[Account b]\r\nMailServer=pop.b.example\r\nUserName=bo\r\nPassWord=\"";
  WriteFile(IniPath(), "[main]\r\nMailServer=pop.example.org\r\nUserName=ann\r\nPassWord=\"" +
                           EncodePassword("first") + "\"\r\n" + section + EncodePassword(" b\" ") +
                           "\"\r\nSendPassWord=\"\"\r\nHand=kept\r\n");
  WindowPos pos;
  std::string version;
  MailSettings = LoadSettings(ui, pos, version);
  MemorySecretStore store;
  ASSERT_TRUE(MovePasswordsToKeyring(ui, MailSettings, &store));
  EXPECT_EQ(store.secrets, (std::map<std::string, std::string>{{kPopKey, "first"}, {"pop3 bo@pop.b.example", " b\" "}}));
  EXPECT_EQ(ReadFile(IniPath()), "[main]\r\nMailServer=pop.example.org\r\nUserName=ann\r\nPassWord=\"\"\r\n" +
                                     section + "\"\r\nSendPassWord=\"\"\r\nHand=kept\r\n");
  EXPECT_FALSE(MovePasswordsToKeyring(ui, MailSettings, &store)) << "once moved, the file stays";
  EXPECT_TRUE(ui.boxes.empty());
}

// What the OAuth2 helper's credentials stand for here.
struct FakeOAuth2 : Credentials {
  bool Get(UserInterface&, const LoginTarget&, Credential& credential, std::string&) override {
    credential = {SignInMethod::kOAuth2, "token"};
    return true;
  }
  void Refused(const LoginTarget&) override { ++refused; }
  int refused = 0;
};

TEST_F(KeyringPasswordsTest, OAuth2GoesToItsOwnCredentials) {
  s.Secure.SignIn = "OAuth2";
  Credential credential;
  std::string why;
  EXPECT_FALSE(KeyringCredentials(s, &store, nullptr).Get(ui, {}, credential, why));
  EXPECT_EQ(why, "Signing in with OAuth2 is not available here.");
  FakeOAuth2 oauth2;
  KeyringCredentials credentials(s, &store, &oauth2);
  ASSERT_TRUE(credentials.Get(ui, {}, credential, why));
  EXPECT_TRUE(credential.method == SignInMethod::kOAuth2 && credential.secret == "token");
  credentials.Refused({});
  EXPECT_EQ(oauth2.refused, 1);
}

}  // namespace
}  // namespace corvelle
