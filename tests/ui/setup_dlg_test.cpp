// The setup dialog: loading the fields, OK with its checks and writes, Cancel and the close
// rule, the signature list, the font dialog and opening a page.

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFontDialog>
#include <QSpinBox>
#include <QUrl>
#include <cstdio>

#include "ui/common/popup_combo_box.h"
#include "ui/setup/security_fields.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;
using Names = std::vector<std::string>;

// Receives the URLs the dialog asks the desktop to open.
class UrlSink : public QObject {
  Q_OBJECT
 public slots:
  void open(const QUrl& url) { urls << url; }

 public:
  QList<QUrl> urls;
};

class SetupDlgTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { env = std::make_unique<UiEnvironment>(); }
  void cleanup() { env.reset(); }

  // Bytes that are not UTF-8 (a Latin-1 folder name, a Windows-1252 password) survive an
  // OK without changes byte for byte: no second tree, no changed password.
  void storedSettingsFillTheFieldsAndUnchangedOnesKeepTheirBytes() {
    std::string post = env->home.path() + "Post\xe9/", signature = post + "System/Signatures/sig\xe9.txt";
    env->WriteCompleteSettings("LeaveMailOnServer=1x\r\nSignature=" + signature + "\r\nPassWord=\"" +
                                   EncodePassword("p\xe4ss") + "\"\r\nMyName=J\xfcrgen\r\nSendPort=\r\n", post);
    WriteFile(signature, "--\r\n");
    TSetupDlg dialog(env->services);
    QCOMPARE(dialog.PasswordTxt->text(), QString::fromUtf8("p\xc3\xa4ss"));
    QCOMPARE(dialog.SendSvrPortTxt->text(), QString("25"));
    QVERIFY(dialog.LeaveMail->isChecked() && !dialog.RememberPos->isChecked());
    dialog.OKBtn->click();
    QVERIFY(dialog.CloseOK && MailSettings.MailDirectory == post);
    QCOMPARE(MailSettings.Signature, signature);
    QCOMPARE(DecodePassword(MailSettings.PassWord), std::string("p\xe4ss"));
    QCOMPARE(MailSettings.MyName, std::string("J\xfcrgen"));
    QCOMPARE(ListNames(env->home.path()), (Names{"Post\xe9", "config"}));
    QVERIFY(ReadFile(env->IniPath()).find("MailDirectory=" + post + "\r\n") != std::string::npos);
  }

  // A new setup starts secure; a choice moves its usual port along, never one the user typed.
  void securityChoicesMoveTheirPortsAndAreStored() {
    {
      TSetupDlg dialog(env->services);
      QCOMPARE(dialog.SecurityRows->MailSecurityBox->currentText(), QString("SSL/TLS"));
      QCOMPARE(dialog.ServerPortTxt->text(), QString("995"));
      QCOMPARE(dialog.SecurityRows->SendSecurityBox->currentText(), QString("STARTTLS"));
      QCOMPARE(dialog.SendSvrPortTxt->text(), QString("587"));
      dialog.SecurityRows->MailSecurityBox->setCurrentText("None");
      QCOMPARE(dialog.ServerPortTxt->text(), QString("110"));
      dialog.SendSvrPortTxt->setText("2525");
      dialog.SecurityRows->SendSecurityBox->setCurrentText("SSL/TLS");
      QCOMPARE(dialog.SendSvrPortTxt->text(), QString("2525"));
      FillUserSettings(dialog);
      dialog.OKBtn->click();
      QVERIFY(dialog.CloseOK);
    }
    std::string ini = ReadFile(env->IniPath());
    QVERIFY(ini.find("MailSecurity=None\r\n") != std::string::npos);
    QVERIFY(ini.find("SendSecurity=SSL/TLS\r\n") != std::string::npos);
    TSetupDlg again(env->services);
    QCOMPARE(again.SecurityRows->SendSecurityBox->currentText(), QString("SSL/TLS"));
    QCOMPARE(again.SendSvrPortTxt->text(), QString("2525"));
  }

  // The background check: off for a file without it, its minutes only while it is on, and
  // the run's settings take what OK stored.
  void checkForNewMailIsOffUnlessChosen() {
    env->WriteCompleteSettings();
    {
      TSetupDlg dialog(env->services);
      QVERIFY(!dialog.CheckMail->isChecked() && !dialog.CheckMailMinutes->isEnabled());
      dialog.CheckMail->setChecked(true);
      QVERIFY(dialog.CheckMailMinutes->isEnabled());
      dialog.CheckMailMinutes->setValue(25);
      dialog.OKBtn->click();
      QVERIFY(dialog.CloseOK);
    }
    QCOMPARE(env->services.settings.CheckMailMinutes, 25);
    QVERIFY(ReadFile(env->IniPath()).find("CheckMailMinutes=25\r\n") != std::string::npos);
    TSetupDlg again(env->services);
    QVERIFY(again.CheckMail->isChecked());
    QCOMPARE(again.CheckMailMinutes->value(), 25);
    again.CheckMail->setChecked(false);
    again.OKBtn->click();
    QCOMPARE(env->services.settings.CheckMailMinutes, 0);
  }

  // OK writes the keys the dialog edits and keeps every other one of the section: the
  // support address, DecodeNames, trusted certificates, the window position, a hand-set key.
  // A send user name the user emptied is emptied in the file too.
  void okKeepsTheKeysItDoesNotWrite() {
    const std::string kept[] = {"SupportAddress=help@example.org", "DecodeNames=0",
                                "TrustedCert:pop.example.org:995=ab:cd", "XPos=12", "Custom=by hand"};
    std::string extra = "SendUserName=bob\r\n";
    for (const std::string& line : kept) extra += line + "\r\n";
    env->WriteCompleteSettings(extra);
    {
      TSetupDlg dialog(env->services);
      QCOMPARE(dialog.SecurityRows->SendUserTxt->text(), QString("bob"));
      dialog.SecurityRows->SendUserTxt->clear();
      dialog.OKBtn->click();
      QVERIFY(dialog.CloseOK);
    }
    std::string ini = ReadFile(env->IniPath());
    for (const std::string& line : kept) QVERIFY2(ini.find(line + "\r\n") != std::string::npos, line.c_str());
    QVERIFY(ini.find("SendUserName=\r\n") != std::string::npos);
    ReloadSettings(env->ui, MailSettings);
    QVERIFY(MailSettings.SupportAddress == "help@example.org" && !MailSettings.DecodeNames);
    QVERIFY(MailSettings.Secure.SendUserName.empty());
  }

  // "~/..." is taken below the home folder before the signature path is made from it; a bad
  // port goes back to the usual port of its security choice; Tab goes down the page through
  // the security choices, the send credentials right after the send server's rows.
  void typedMailDirectoryPortsAndTabOrder() {
    TSetupDlg dialog(env->services);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    FillUserSettings(dialog);
    dialog.MailDirectoryTxt->setText("~/Mail2");
    dialog.ServerPortTxt->setText("x");  // SSL/TLS
    dialog.SendSvrPortTxt->setText("y");  // STARTTLS
    dialog.OKBtn->click();
    QCOMPARE(env->ui.Texts(), (Names{"Port numbers must be numeric!  Default receive mail port is 995.",
                                     "Port numbers must be numeric!  Default send mail port is 587."}));
    QVERIFY(dialog.ServerPortTxt->text() == "995" && dialog.SendSvrPortTxt->text() == "587");
    dialog.SecurityRows->SendSecurityBox->setCurrentText("SSL/TLS");
    dialog.SendSvrPortTxt->setText("z");
    dialog.OKBtn->click();
    QCOMPARE(dialog.SendSvrPortTxt->text(), QString("465"));
    dialog.OKBtn->click();
    QVERIFY(dialog.CloseOK);
    const std::string home = env->home.path();
    QCOMPARE(MailSettings.MailDirectory, home + "Mail2/");
    QCOMPARE(MailSettings.Signature, home + "Mail2/System/Signatures/signature.txt");
    QVERIFY(FolderExists(home + "Mail2/People"));

    TSetupDlg again(env->services);
    again.show();
    QVERIFY(QTest::qWaitForWindowActive(&again));
    again.Setup->setCurrentWidget(again.UserSettingsPage);
    again.SendSvrTxt->setFocus();
    const SecurityFields& rows = *again.SecurityRows;
    const QList<QWidget*> expected = {again.SendSvrTxt,    again.SendSvrPortTxt, rows.SendSecurityBox,
                                      rows.SendUserTxt,    rows.SendPasswordTxt, again.MailServerTxt,
                                      again.ServerPortTxt, rows.MailSecurityBox, again.UserNameTxt,
                                      again.PasswordTxt,   again.NameTxt,        again.MailAddressTxt,
                                      again.LeaveMail};
    QList<QWidget*> visited = {QApplication::focusWidget()};
    while (visited.size() < expected.size()) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget();
    }
    QCOMPARE(visited, expected);
    // The send credentials sit right below the send security choice.
    QVERIFY(rows.SendSecurityBox->y() < rows.SendUserTxt->y() && rows.SendPasswordTxt->y() < again.MailServerTxt->y());
  }

  void refusedFieldsAreResetAndFocusedWithoutWriting() {
    TSetupDlg dialog(env->services);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    FillUserSettings(dialog);
    dialog.ServerPortTxt->setText("abc");
    dialog.Setup->setCurrentWidget(dialog.DirectoriesPage);
    dialog.OKBtn->click();
    QCOMPARE(env->ui.Texts(), Names{"Port numbers must be numeric!  Default receive mail port is 995."});
    QVERIFY(dialog.ServerPortTxt->text() == "995" && MailSettings.MailPort == "abc");
    QCOMPARE(dialog.Setup->currentWidget(), dialog.UserSettingsPage);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.ServerPortTxt));
    QVERIFY2(!PathExists(env->MailDir()), "the ports are checked before the tree is made");
    dialog.DefMailFolderTxt->clear();
    dialog.OKBtn->click();
    QCOMPARE(dialog.Setup->currentWidget(), dialog.DirectoriesPage);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.DefMailFolderTxt));
    QVERIFY(!PathExists(env->IniPath()));
    // The close box does nothing after a refused OK; Escape works as Cancel.
    QVERIFY(!dialog.close());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible() && dialog.result() == QDialog::Rejected);
  }

  void settingsThatCannotBeWrittenStayInEffect() {
    WriteFile(env->home.path() + "config/corvelle", "a file where the settings folder belongs");
    {
      TSetupDlg dialog(env->services);
      FillUserSettings(dialog);
      dialog.OKBtn->click();
      QVERIFY(dialog.CloseOK && env->ui.boxes.size() == 1);  // the settings could not be written
    }
    TSetupDlg again(env->services);
    QCOMPARE(again.UserNameTxt->text(), QString("ann"));
    again.CancelBtn->click();
    QVERIFY(MailSettings.UserName == "ann" && MailSettings.MailDirectory == env->MailDir());
  }

  void signatureListIsRefreshedWhenOpened() {
    std::string signatures = env->MailDir() + "System/Signatures/";
    env->WriteCompleteSettings("Signature=" + signatures + "Work.txt\r\n");
    for (const char* name : {"home.txt", "work.txt"}) WriteFile(signatures + name, "--\r\n");
    TSetupDlg dialog(env->services);
    dialog.show();
    QCOMPARE(dialog.DefSignature->currentText(), QString("work"));
    dialog.DefSignature->setCurrentIndex(0);
    WriteFile(signatures + "Holiday.txt", "--\r\n");
    dialog.DefSignature->showPopup();
    dialog.DefSignature->hidePopup();
    QVERIFY(dialog.DefSignature->count() == 3 && dialog.DefSignature->currentText() == "work");
    dialog.DefSignature->setCurrentIndex(0);
    dialog.OKBtn->click();
    QCOMPARE(MailSettings.Signature, signatures + "Holiday.txt");
  }

  // OK's writes and New Signature find the system folders whatever their letter case.
  void writesFindFoldersWhateverTheirCase() {
    env->WriteCompleteSettings("Signature=" + env->home.path() + "old-sig.txt\r\n");
    std::string lower = env->MailDir() + "system/";
    for (auto [from, to] : {std::pair{"System/AddressBook", "System/addressbook"},
                            {"System/Signatures", "System/signatures"}, {"System", "system"}})
      QCOMPARE(std::rename((env->MailDir() + from).c_str(), (env->MailDir() + to).c_str()), 0);
    WriteFile(env->home.path() + "old-sig.txt", "-- \r\nAnn \xe9\r\n");
    {
      TSetupDlg dialog(env->services);
      QCOMPARE(dialog.DefSignature->count(), 0);
      dialog.OKBtn->click();
      QVERIFY(dialog.CloseOK && dialog.DefSignature->currentText() == "signature");
      QCOMPARE(ListNames(lower + "addressbook"), Names{"AddressBook.cvab"});
      QCOMPARE(ListNames(lower + "signatures"), Names{"signature.txt"});
      QCOMPARE(ReadFile(lower + "signatures/signature.txt"), std::string("-- \r\nAnn \xe9\r\n"));  // carried over
    }
    std::string path = lower + "signatures/signature.txt";
    QCOMPARE(std::remove(path.c_str()), 0);
    UrlSink sink;
    QDesktopServices::setUrlHandler("file", &sink, "open");
    TSetupDlg dialog(env->services);
    dialog.CreateSig->click();
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(sink.urls, QList<QUrl>({QUrl::fromLocalFile(QString::fromStdString(path))}));
    QCOMPARE(ReadFile(path), std::string());  // made empty so an editor can open it
  }

  // The chosen font is in effect at once; a cancelled font dialog keeps it; only OK writes.
  void fontDialogChangesTheDefaultFontAtOnce() {
    TSetupDlg dialog(env->services);
    QFont chosen("Serif");
    chosen.setPointSize(14);
    ModalDriver driver({[&](QWidget* fonts) {
                          qobject_cast<QFontDialog*>(fonts)->setCurrentFont(chosen);
                          qobject_cast<QDialog*>(fonts)->accept();
                        },
                        [&](QWidget* fonts) { qobject_cast<QDialog*>(fonts)->reject(); }});
    dialog.SetDefFontBtn->click();
    QVERIFY(MailSettings.DefaultFont.size == 14 && MailSettings.DefaultFont.color == static_cast<int>(0x80000008u));
    dialog.SetDefFontBtn->click();
    QVERIFY(driver.handled == 2 && MailSettings.DefaultFont.size == 14 && !PathExists(env->IniPath()));
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::SetupDlgTest)
#include "setup_dlg_test.moc"
#include "support/test_settings.h"
