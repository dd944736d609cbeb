#include "support/mail_fixture.h"

#include "core/store/mail_dirs.h"
#include "support/test_settings.h"

namespace corvelle::testing {

MailFixture::MailFixture() {
  MailSettings = Settings{};
  mail_dir = home.path() + "Mail/";
  MailSettings.MailDirectory = mail_dir;
  MailSettings.DefaultMailFolder = "Inbox";
  MailSettings.MailAddress = "self@site";
  MailSettings.DefaultABPath = DefaultAddressBookPath(MailSettings);
}

MailFixture::~MailFixture() { MailSettings = Settings{}; }

void MailFixture::SetUserSettings() {
  Settings& s = MailSettings;
  s.SendServer = "mail.example";
  s.SendPort = "25";
  s.MailServer = "pop.example";
  s.MailPort = "110";
  s.UserName = "joe";
  s.PassWord = EncodePassword("secret");
  s.MyName = "Joe Example";
}

void MailFixture::MakeTree() { ASSERT_TRUE(Store().CheckMailDirs(MailSettings.DefaultMailFolder, true, true, false)); }

std::string MailFixture::IniPath() const { return home.path() + "config/corvelle/CORVEL.INI"; }

}  // namespace corvelle::testing
