// The setup dialog and the system keyring: a password typed goes to the keyring and not to
// the settings file, the check box moves it back, and without a keyring all is as before.

#include <QCheckBox>
#include <QLineEdit>

#include "support/memory_secret_store.h"
#include "ui/setup/keyring_fields.h"
#include "ui/setup/security_fields.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;

class SetupKeyringTest : public QObject {
  Q_OBJECT

  bool FileHas(const std::string& text) const { return ReadFile(env->IniPath()).find(text) != std::string::npos; }

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    env->WriteCompleteSettings("SendUserName=bob\r\n");
  }
  void cleanup() { env.reset(); }

  void typedPasswordsGoToTheKeyringAndBackWhenTurnedOff() {
    MemorySecretStore store;
    env->services.secrets = &store;
    {
      TSetupDlg dialog(env->services);
      QVERIFY(dialog.KeyringRow->UseKeyringBox->isEnabled() && dialog.KeyringRow->UseKeyringBox->isChecked());
      QCOMPARE(dialog.PasswordTxt->text(), QString("secret"));
      dialog.PasswordTxt->setText("n\xc3\xa9w");
      dialog.SecurityRows->SendPasswordTxt->setText("sent");
      dialog.OKBtn->click();
      QVERIFY(dialog.CloseOK);
    }
    QCOMPARE(store.secrets, (std::map<std::string, std::string>{{"pop3 ann@pop.example.org", "n\xc3\xa9w"},
                                                                  {"smtp bob@smtp.example.org", "sent"}}));
    QVERIFY(FileHas("PassWord=\"\"\r\n") && !FileHas("SendPassWord"));
    QVERIFY2(!FileHas("UseKeyring"), "a box the user left alone writes no key");
    QVERIFY(env->ui.boxes.empty());

    TSetupDlg again(env->services);
    QCOMPARE(again.PasswordTxt->text(), QString("n\xc3\xa9w"));
    QCOMPARE(again.SecurityRows->SendPasswordTxt->text(), QString("sent"));
    again.KeyringRow->UseKeyringBox->setChecked(false);
    again.OKBtn->click();
    QVERIFY(store.secrets.empty());
    QVERIFY(FileHas("UseKeyring=0\r\n") && FileHas("PassWord=\"" + EncodePassword("n\xc3\xa9w") + "\"\r\n"));
    QVERIFY(FileHas("SendPassWord=\"" + EncodePassword("sent") + "\"\r\n"));
  }

  void withoutKeyringThePasswordIsScrambledInTheFileAsBefore() {
    TSetupDlg dialog(env->services);
    QVERIFY(!dialog.KeyringRow->UseKeyringBox->isEnabled() && !dialog.KeyringRow->UseKeyringBox->isChecked());
    QVERIFY(dialog.KeyringRow->UseKeyringBox->toolTip().contains("No system keyring"));
    dialog.PasswordTxt->setText("n3w");
    dialog.OKBtn->click();
    QVERIFY(dialog.CloseOK && env->ui.boxes.empty());
    QVERIFY(FileHas("PassWord=\"" + EncodePassword("n3w") + "\"\r\n") && !FileHas("UseKeyring"));
  }

  // The password in the keyring and none in the file: the set-up is complete at start.
  void keyringPasswordCompletesTheSetupAtStart() {
    env->WriteCompleteSettings("PassWord=\r\n");
    MemorySecretStore store;
    env->services.secrets = &store;
    ModalDriver driver({});
    TCorvelProg prog(env->services);
    QVERIFY(prog.StartUp() && prog.FileTypes.Wait(10000));
    QVERIFY(driver.unexpected == 0 && prog.close());
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::SetupKeyringTest)
#include "setup_keyring_test.moc"
