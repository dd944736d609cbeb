// The provider rows of the setup dialog: a preset fills in the page, OAuth2 turns the
// password fields off and shows the client fields, OK stores the choice and the client, and
// an older file stays as it was.

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>

#include "ui/setup/provider_fields.h"
#include "ui/setup/security_fields.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;

class ProviderFieldsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { env = std::make_unique<UiEnvironment>(); }
  void cleanup() { env.reset(); }

  void choosingGmailFillsThePageAndOkStoresItsClient() {
    env->WriteCompleteSettings();
    {
      TSetupDlg dialog(env->services);
      ProviderFields& rows = *dialog.ProviderRows;
      QCOMPARE(rows.ProviderBox->currentText(), QString("(none)"));
      rows.ProviderBox->setCurrentText("Gmail");
      QCOMPARE(dialog.MailServerTxt->text() + ":" + dialog.ServerPortTxt->text(), QString("pop.gmail.com:995"));
      QCOMPARE(dialog.SendSvrTxt->text() + ":" + dialog.SendSvrPortTxt->text(), QString("smtp.gmail.com:465"));
      QCOMPARE(dialog.SecurityRows->MailSecurityBox->currentText(), QString("SSL/TLS"));
      QCOMPARE(dialog.SecurityRows->SendSecurityBox->currentText(), QString("SSL/TLS"));
      QCOMPARE(rows.SignInBox->currentText(), QString("OAuth2"));
      QVERIFY(!dialog.PasswordTxt->isEnabled() && !dialog.SecurityRows->SendPasswordTxt->isEnabled());
      QVERIFY(dialog.PasswordTxt->toolTip().contains("browser"));
      QVERIFY(!rows.ClientIdTxt->isHidden() && !rows.ClientSecretTxt->isHidden());
      QVERIFY(rows.ProviderHelp->text().contains("https://console.cloud.google.com/"));
      rows.ClientIdTxt->setText("id-1.apps");
      rows.ClientSecretTxt->setText("shh");
      dialog.PasswordTxt->clear();  // none is needed
      dialog.OKBtn->click();
      QVERIFY(dialog.CloseOK);
    }
    std::string ini = ReadFile(env->IniPath());
    for (const char* line : {"Provider=Gmail\r\n", "SignIn=OAuth2\r\n", "MailServer=pop.gmail.com\r\n", "SendPort=465\r\n",
                             "SendSecurity=SSL/TLS\r\n", "[Provider Gmail]\r\nClientId=id-1.apps\r\nClientSecret=shh\r\n"})
      QVERIFY2(ini.find(line) != std::string::npos, line);
    TSetupDlg again(env->services);
    ProviderFields& rows = *again.ProviderRows;
    QCOMPARE(rows.ProviderBox->currentText() + " " + rows.SignInBox->currentText(), QString("Gmail OAuth2"));
    QCOMPARE(rows.ClientIdTxt->text(), QString("id-1.apps"));
    QCOMPARE(again.SendSvrPortTxt->text(), QString("465"));
    rows.SignInBox->setCurrentText("Password");
    QVERIFY(again.PasswordTxt->isEnabled() && rows.ClientIdTxt->isHidden());
    QVERIFY(again.PasswordTxt->toolTip().contains("POP server"));
  }

  // OAuth2 with no provider asks for one; a provider without OAuth2 says so.
  void oauthNeedsAProviderThatOffersIt() {
    TSetupDlg dialog(env->services);
    ProviderFields& rows = *dialog.ProviderRows;
    rows.SignInBox->setCurrentText("OAuth2");
    QVERIFY(!dialog.PasswordTxt->isEnabled() && rows.ClientIdTxt->isHidden());
    QVERIFY(rows.ProviderHelp->text().contains("Choose a provider"));
    rows.ProviderBox->setCurrentText("Yahoo");
    QCOMPARE(rows.SignInBox->currentText(), QString("Password"));
    QVERIFY(dialog.PasswordTxt->isEnabled());
    QVERIFY(rows.ProviderHelp->text().contains("help.yahoo.com"));
    rows.SignInBox->setCurrentText("OAuth2");
    QVERIFY(rows.ProviderHelp->text().contains("no OAuth2"));
  }

  // A new setup takes the preset of the address typed; one with servers typed keeps them.
  void mailAddressSuggestsAPresetToANewSetup() {
    TSetupDlg dialog(env->services);
    ProviderFields& rows = *dialog.ProviderRows;
    QTest::keyClicks(dialog.MailAddressTxt, "ann@fastmail.com");
    QCOMPARE(rows.ProviderBox->currentText(), QString("Fastmail"));
    QCOMPARE(dialog.SendSvrTxt->text(), QString("smtp.fastmail.com"));
    rows.ProviderBox->setCurrentIndex(0);
    dialog.MailAddressTxt->clear();
    QTest::keyClicks(dialog.MailAddressTxt, "ann@gmail.com");
    QCOMPARE(rows.ProviderBox->currentText(), QString("(none)"));
    QCOMPARE(dialog.MailServerTxt->text(), QString("pop.fastmail.com"));
  }

  // OK on a file from before these rows adds no key and no section.
  void olderFileGetsNoNewKeys() {
    env->WriteCompleteSettings();
    TSetupDlg dialog(env->services);
    dialog.OKBtn->click();
    QVERIFY(dialog.CloseOK);
    std::string ini = ReadFile(env->IniPath());
    QVERIFY(ini.find("Provider") == std::string::npos && ini.find("SignIn") == std::string::npos);
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::ProviderFieldsTest)
#include "provider_fields_test.moc"
