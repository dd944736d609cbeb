// The setup dialog: loading the fields, OK with its checks, Cancel and the close rule, the
// signature list, the font dialog and opening a page.

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFontDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

#include "core/user_interface.h"
#include "platform/profile.h"
#include "ui/common/popup_combo_box.h"
#include "ui/setup/setup_dlg.h"
#include "ui_support.h"

namespace corvelle {
namespace {

using testing::ListNames;
using testing::ModalDriver;
using testing::ReadFile;
using testing::UiEnvironment;
using testing::WriteFile;

void FillEverything(TSetupDlg& dialog, const std::string& mail_dir) {
  dialog.MailDirectoryTxt->setText(QString::fromStdString(mail_dir));
  testing::FillUserSettings(dialog, "s3cr\xc3\xa9t");
}

}  // namespace

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

  void freshDialogShowsTheDefaults() {
    TSetupDlg dialog;
    QCOMPARE(dialog.windowTitle(), QString("Mail Setup Dialog"));
    QStringList tabs;
    for (int i = 0; i < dialog.Setup->count(); ++i) tabs << dialog.Setup->tabText(i);
    QCOMPARE(tabs, QStringList({"Filters", "Directories", "User settings", "Preferences"}));
    QCOMPARE(dialog.MailDirectoryTxt->text(), QString::fromStdString(env->MailDir()));
    QCOMPARE(dialog.DefMailFolderTxt->text(), QString("Inbox"));
    QCOMPARE(dialog.SendSvrPortTxt->text(), QString("25"));
    QCOMPARE(dialog.ServerPortTxt->text(), QString("110"));
    QCOMPARE(dialog.PasswordTxt->echoMode(), QLineEdit::Password);
    QVERIFY(!dialog.HelpBtn->isEnabled() && !dialog.CreateAB->isEnabled());
    QCOMPARE(dialog.DefSignature->count(), 0);
  }

  void storedSettingsFillTheFields() {
    env->WriteCompleteSettings(kVersion, "LeaveMailOnServer=1x\r\nRememberPos=1\r\n");
    PrivateProfile ini(env->IniPath());
    ini.WriteString("main", "SendPort", "");
    ini.WriteString("main", "MailPort", "995");
    QVERIFY(ini.Save());
    TSetupDlg dialog;
    QCOMPARE(dialog.PasswordTxt->text(), QString("secret"));
    QCOMPARE(dialog.SendSvrPortTxt->text(), QString("25"));
    QCOMPARE(dialog.ServerPortTxt->text(), QString("995"));
    QCOMPARE(dialog.NameTxt->text(), QString("Ann Example"));
    QVERIFY(dialog.LeaveMail->isChecked());
    QVERIFY(dialog.RememberPos->isChecked());
    QVERIFY(!dialog.ExitAfterCmd->isChecked());
  }

  void firstSetupMakesTheTreeAndWritesTheFile() {
    TSetupDlg dialog;
    FillEverything(dialog, env->home.path() + "Mail");  // no trailing separator
    dialog.DefMailFolderTxt->setText("//Inbox/");
    dialog.OKBtn->click();
    QVERIFY(dialog.CloseOK);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(env->ui.boxes.empty());
    QCOMPARE(MailSettings.MailDirectory, env->MailDir());
    QCOMPARE(MailSettings.DefaultMailFolder, std::string("Inbox"));
    QCOMPARE(MailSettings.Signature, env->MailDir() + "System/Signatures/signature.txt");
    QCOMPARE(MailSettings.DefaultAB, std::string("AddressBook"));
    QCOMPARE(MailSettings.DefaultABPath, env->MailDir() + "System/AddressBook/AddressBook.cvab");
    QCOMPARE(DecodePassword(MailSettings.PassWord), std::string("s3cr\xc3\xa9t"));
    QVERIFY(FolderExists(env->MailDir() + "People"));  // the tree with its samples
    QCOMPARE(ListNames(env->MailDir() + "System/AddressBook"), (std::vector<std::string>{"AddressBook.cvab"}));
    QCOMPARE(dialog.DefAddressBook->currentText(), QString("AddressBook"));
    std::string ini = ReadFile(env->IniPath());
    QVERIFY(ini.find("MailDirectory=" + env->MailDir() + "\r\n") != std::string::npos);
    QVERIFY(ini.find("DefaultMailFolder=Inbox\r\n") != std::string::npos);
    QVERIFY(ini.find("DefaultAB=AddressBook\r\n") != std::string::npos);
  }

  void badReceivePortIsResetAndFocusedWithoutWriting() {
    TSetupDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    FillEverything(dialog, env->MailDir());
    dialog.ServerPortTxt->setText("abc");
    dialog.Setup->setCurrentWidget(dialog.DirectoriesPage);
    dialog.OKBtn->click();
    QCOMPARE(env->ui.Texts(),
             (std::vector<std::string>{"Port numbers must be numeric!  Default receive mail port is 110."}));
    QCOMPARE(dialog.ServerPortTxt->text(), QString("110"));
    QCOMPARE(MailSettings.MailPort, std::string("abc"));
    QCOMPARE(dialog.Setup->currentWidget(), dialog.UserSettingsPage);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.ServerPortTxt));
    QVERIFY(!PathExists(env->IniPath()));
    QVERIFY2(!PathExists(env->MailDir()), "the ports are checked before the tree is made");

    // The close box does nothing after a refused OK; Escape works as Cancel.
    QVERIFY(!dialog.close());
    QVERIFY(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
  }

  void emptyFieldFocusesItsPage() {
    TSetupDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    FillEverything(dialog, env->MailDir());
    dialog.DefMailFolderTxt->clear();
    dialog.Setup->setCurrentWidget(dialog.PreferencesPage);
    dialog.OKBtn->click();
    QCOMPARE(dialog.Setup->currentWidget(), dialog.DirectoriesPage);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.DefMailFolderTxt));
    QVERIFY(env->ui.boxes.empty());
    QVERIFY(dialog.isVisible());
  }

  void signatureListIsRefreshedWhenOpened() {
    env->WriteCompleteSettings(kVersion, "Signature=" + env->MailDir() + "System/Signatures/Work.txt\r\n");
    std::string signatures = env->MailDir() + "System/Signatures/";
    WriteFile(signatures + "home.txt", "--\r\nAnn\r\n");
    WriteFile(signatures + "work.txt", "--\r\nAnn at work\r\n");
    TSetupDlg dialog;
    dialog.show();
    QCOMPARE(dialog.DefSignature->count(), 2);
    QCOMPARE(dialog.DefSignature->currentText(), QString("work"));
    dialog.DefSignature->setCurrentIndex(0);
    WriteFile(signatures + "Holiday.txt", "--\r\nAnn, away\r\n");
    dialog.DefSignature->showPopup();
    dialog.DefSignature->hidePopup();
    QStringList items;
    for (int i = 0; i < dialog.DefSignature->count(); ++i) items << dialog.DefSignature->itemText(i);
    QCOMPARE(items, QStringList({"Holiday", "home", "work"}));
    QCOMPARE(dialog.DefSignature->currentText(), QString("work"));

    dialog.DefSignature->setCurrentIndex(0);
    dialog.OKBtn->click();
    QCOMPARE(MailSettings.Signature, signatures + "Holiday.txt");
  }

  void currentSignatureIsCarriedIntoAnEmptySignatureFolder() {
    env->WriteCompleteSettings(kVersion, "Signature=" + env->home.path() + "old-sig.txt\r\n");
    WriteFile(env->home.path() + "old-sig.txt", "-- \r\nAnn \xe9\r\n");
    TSetupDlg dialog;
    QCOMPARE(dialog.DefSignature->count(), 0);
    dialog.OKBtn->click();
    QVERIFY(dialog.CloseOK);
    std::string signatures = env->MailDir() + "System/Signatures/";
    QCOMPARE(ListNames(signatures), (std::vector<std::string>{"signature.txt"}));
    QCOMPARE(ReadFile(signatures + "signature.txt"), std::string("-- \r\nAnn \xe9\r\n"));
    QCOMPARE(MailSettings.Signature, signatures + "signature.txt");
    QCOMPARE(dialog.DefSignature->currentText(), QString("signature"));
  }

  void newSignatureOpensTheFileWithoutAShell() {
    env->WriteCompleteSettings(kVersion, "Signature=" + env->MailDir() + "System/Signatures/it's $(me).txt\r\n");
    UrlSink sink;
    QDesktopServices::setUrlHandler("file", &sink, "open");
    TSetupDlg dialog;
    dialog.CreateSig->click();
    QDesktopServices::unsetUrlHandler("file");
    std::string path = env->MailDir() + "System/Signatures/it's $(me).txt";
    QCOMPARE(sink.urls, QList<QUrl>({QUrl::fromLocalFile(QString::fromStdString(path))}));
    QCOMPARE(ReadFile(path), std::string());  // made empty so an editor can open it
  }

  void fontDialogChangesTheDefaultFontAtOnce() {
    TSetupDlg dialog;
    QFont chosen("Serif");
    chosen.setPointSize(14);
    chosen.setItalic(true);
    ModalDriver driver({[&](QWidget* widget) {
                          auto* fonts = qobject_cast<QFontDialog*>(widget);
                          QVERIFY(fonts);
                          fonts->setCurrentFont(chosen);
                          fonts->accept();
                        },
                        [&](QWidget* widget) { qobject_cast<QDialog*>(widget)->reject(); }});
    dialog.SetDefFontBtn->click();
    QCOMPARE(MailSettings.DefaultFont.size, 14);
    QVERIFY(MailSettings.DefaultFont.italic);
    QCOMPARE(MailSettings.DefaultFont.color, static_cast<int>(0x80000008u));
    FontRecord after_choice = MailSettings.DefaultFont;
    dialog.SetDefFontBtn->click();  // cancelled: the dialog's font stays the chosen one
    QCOMPARE(driver.handled, 2);
    QCOMPARE(MailSettings.DefaultFont.size, after_choice.size);
    QCOMPARE(MailSettings.DefaultFont.height, after_choice.height);
    QCOMPARE(MailSettings.DefaultFont.name, after_choice.name);
    QVERIFY(!PathExists(env->IniPath()));
  }

  void showSetupPageSelectsThePageAndCancelEndsOnlyAMustCompleteSetup() {
    QStringList pages;
    auto cancel = [&](QWidget* widget) {
      auto* dialog = qobject_cast<TSetupDlg*>(widget);
      pages << dialog->Setup->tabText(dialog->Setup->currentIndex());
      dialog->CancelBtn->click();
    };
    ModalDriver driver({cancel, cancel});
    QVERIFY(!ShowSetupPage("User Settings", false));
    QVERIFY(env->ui.boxes.empty());
    QVERIFY(env->end_codes.empty());
    QVERIFY(!ShowSetupPage("Preferences", true));
    QCOMPARE(pages, QStringList({"User settings", "Preferences"}));
    QCOMPARE(env->ui.Texts(), (std::vector<std::string>{"Setup is not complete.  Corvelle cannot run."}));
    QCOMPARE(env->end_codes, (std::vector<int>{0}));
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::SetupDlgTest)
#include "setup_dlg_test.moc"
