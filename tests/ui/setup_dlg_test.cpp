// The setup dialog: loading the fields, OK with its checks and writes, Cancel and the close
// rule, the signature list, the font dialog and opening a page.

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFontDialog>
#include <QTest>
#include <QUrl>
#include <cstdio>

#include "platform/profile.h"
#include "ui/common/popup_combo_box.h"
#include "ui_support.h"

namespace corvelle {
namespace {

using testing::ListNames;
using testing::ModalDriver;
using testing::ReadFile;
using testing::UiEnvironment;
using testing::WriteFile;
using Names = std::vector<std::string>;

void FillEverything(TSetupDlg& dialog, const std::string& mail_dir) {
  dialog.MailDirectoryTxt->setText(QString::fromStdString(mail_dir));
  testing::FillUserSettings(dialog, "s3cr\xc3\xa9t");
}

void SetStored(const std::string& ini_path, const std::string& key, const std::string& value) {
  PrivateProfile ini(ini_path);
  ini.WriteString("main", key, value);
  QVERIFY(ini.Save());
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

  void firstSetupMakesTheTreeAndWritesTheFile() {
    TSetupDlg dialog;
    QCOMPARE(dialog.MailDirectoryTxt->text(), QString::fromStdString(env->MailDir()));
    FillEverything(dialog, env->home.path() + "Mail");  // no trailing separator
    dialog.DefMailFolderTxt->setText("//Inbox/");
    dialog.OKBtn->click();
    QVERIFY(dialog.CloseOK);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(env->ui.boxes.empty());
    QCOMPARE(MailSettings.DefaultMailFolder, std::string("Inbox"));
    QCOMPARE(MailSettings.Signature, env->MailDir() + "System/Signatures/signature.txt");
    QCOMPARE(MailSettings.DefaultABPath, env->MailDir() + "System/AddressBook/AddressBook.cvab");
    QCOMPARE(DecodePassword(MailSettings.PassWord), std::string("s3cr\xc3\xa9t"));
    QVERIFY(FolderExists(env->MailDir() + "People"));  // the tree with its samples
    QCOMPARE(ListNames(env->MailDir() + "System/AddressBook"), Names{"AddressBook.cvab"});
    std::string ini = ReadFile(env->IniPath());
    for (std::string line : {"MailDirectory=" + env->MailDir(), std::string("DefaultMailFolder=Inbox"),
                             std::string("DefaultAB=AddressBook")})
      QVERIFY2(ini.find(line + "\r\n") != std::string::npos, line.c_str());
  }

  // Bytes that are not UTF-8 (a Latin-1 folder name, a Windows-1252 password) survive an
  // OK without changes byte for byte: no second tree, no changed password.
  void storedSettingsFillTheFieldsAndUnchangedOnesKeepTheirBytes() {
    std::string post = env->home.path() + "Post\xe9/", signature = post + "System/Signatures/sig\xe9.txt";
    env->WriteCompleteSettings(kVersion, "LeaveMailOnServer=1x\r\nSignature=" + signature + "\r\n", post);
    WriteFile(signature, "--\r\n");
    SetStored(env->IniPath(), "PassWord", "\"" + EncodePassword("p\xe4ss") + "\"");
    SetStored(env->IniPath(), "MyName", "J\xfcrgen");
    SetStored(env->IniPath(), "SendPort", "");
    TSetupDlg dialog;
    QCOMPARE(dialog.PasswordTxt->text(), QString::fromUtf8("p\xc3\xa4ss"));
    QCOMPARE(dialog.SendSvrPortTxt->text(), QString("25"));
    QVERIFY(dialog.LeaveMail->isChecked() && !dialog.RememberPos->isChecked());
    dialog.OKBtn->click();
    QVERIFY(dialog.CloseOK);
    QCOMPARE(MailSettings.MailDirectory, post);
    QCOMPARE(MailSettings.Signature, signature);
    QCOMPARE(DecodePassword(MailSettings.PassWord), std::string("p\xe4ss"));
    QCOMPARE(MailSettings.MyName, std::string("J\xfcrgen"));
    QCOMPARE(ListNames(env->home.path()), (Names{"Post\xe9", "config"}));
    QVERIFY(ReadFile(env->IniPath()).find("MailDirectory=" + post + "\r\n") != std::string::npos);
  }

  void refusedFieldsAreResetAndFocusedWithoutWriting() {
    TSetupDlg dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    FillEverything(dialog, env->MailDir());
    dialog.ServerPortTxt->setText("abc");
    dialog.Setup->setCurrentWidget(dialog.DirectoriesPage);
    dialog.OKBtn->click();
    QCOMPARE(env->ui.Texts(), Names{"Port numbers must be numeric!  Default receive mail port is 110."});
    QCOMPARE(dialog.ServerPortTxt->text(), QString("110"));
    QCOMPARE(MailSettings.MailPort, std::string("abc"));
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
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
  }

  void settingsThatCannotBeWrittenStayInEffect() {
    WriteFile(env->home.path() + "config/corvelle", "a file where the settings folder belongs");
    {
      TSetupDlg dialog;
      FillEverything(dialog, env->MailDir());
      dialog.OKBtn->click();
      QVERIFY(dialog.CloseOK);
    }
    QCOMPARE(env->ui.boxes.size(), size_t(1));  // the settings could not be written
    TSetupDlg again;
    QCOMPARE(again.UserNameTxt->text(), QString("ann"));
    again.CancelBtn->click();
    QCOMPARE(MailSettings.UserName, std::string("ann"));
    QCOMPARE(MailSettings.MailDirectory, env->MailDir());
  }

  void signatureListIsRefreshedWhenOpened() {
    std::string signatures = env->MailDir() + "System/Signatures/";
    env->WriteCompleteSettings(kVersion, "Signature=" + signatures + "Work.txt\r\n");
    WriteFile(signatures + "home.txt", "--\r\nAnn\r\n");
    WriteFile(signatures + "work.txt", "--\r\nAnn at work\r\n");
    TSetupDlg dialog;
    dialog.show();
    QCOMPARE(dialog.DefSignature->currentText(), QString("work"));
    dialog.DefSignature->setCurrentIndex(0);
    WriteFile(signatures + "Holiday.txt", "--\r\nAnn, away\r\n");
    dialog.DefSignature->showPopup();
    dialog.DefSignature->hidePopup();
    QCOMPARE(dialog.DefSignature->count(), 3);
    QCOMPARE(dialog.DefSignature->currentText(), QString("work"));
    dialog.DefSignature->setCurrentIndex(0);
    dialog.OKBtn->click();
    QCOMPARE(MailSettings.Signature, signatures + "Holiday.txt");
  }

  // OK's writes and New Signature find the system folders whatever their letter case.
  void writesFindFoldersWhateverTheirCase() {
    env->WriteCompleteSettings(kVersion, "Signature=" + env->home.path() + "old-sig.txt\r\n");
    std::string lower = env->MailDir() + "system/";
    for (auto [from, to] : {std::pair{"System/AddressBook", "System/addressbook"},
                            {"System/Signatures", "System/signatures"}, {"System", "system"}})
      QCOMPARE(std::rename((env->MailDir() + from).c_str(), (env->MailDir() + to).c_str()), 0);
    WriteFile(env->home.path() + "old-sig.txt", "-- \r\nAnn \xe9\r\n");
    {
      TSetupDlg dialog;
      QCOMPARE(dialog.DefSignature->count(), 0);
      dialog.OKBtn->click();
      QVERIFY(dialog.CloseOK);
      QCOMPARE(ListNames(lower + "addressbook"), Names{"AddressBook.cvab"});
      QCOMPARE(ReadFile(lower + "signatures/signature.txt"), std::string("-- \r\nAnn \xe9\r\n"));  // carried over
      QCOMPARE(ListNames(lower + "signatures"), Names{"signature.txt"});
      QCOMPARE(dialog.DefSignature->currentText(), QString("signature"));
    }
    SetStored(env->IniPath(), "Signature", env->MailDir() + "System/Signatures/it's $(me).txt");
    UrlSink sink;
    QDesktopServices::setUrlHandler("file", &sink, "open");
    TSetupDlg dialog;
    dialog.CreateSig->click();
    QDesktopServices::unsetUrlHandler("file");
    std::string path = lower + "signatures/it's $(me).txt";
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
    QVERIFY(env->ui.boxes.empty() && env->end_codes.empty());
    QVERIFY(!ShowSetupPage("Preferences", true));
    QCOMPARE(pages, QStringList({"User settings", "Preferences"}));
    QCOMPARE(env->ui.Texts(), Names{"Setup is not complete.  Corvelle cannot run."});
    QCOMPARE(env->end_codes, (std::vector<int>{0}));
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::SetupDlgTest)
#include "setup_dlg_test.moc"
