// Start-up of the main window: settings, file-type registration, the setup checks and the
// window position.

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <unistd.h>

#include "core/user_interface.h"
#include "platform/file_types.h"
#include "platform/profile.h"
#include "ui/common/qt_user_interface.h"
#include "ui/main/corvel_prog.h"
#include "ui/setup/setup_dlg.h"
#include "ui_support.h"

namespace corvelle {
namespace {

using testing::ModalDriver;
using testing::PressOkInSetup;
using testing::ReadFile;
using testing::UiEnvironment;
using testing::WriteFile;

// The four files of the two registered types.
std::vector<std::string> RegistrationFiles(const UiEnvironment& env) {
  std::string data = env.DataDir();
  return {data + "mime/packages/corvelle-mail.xml", data + "applications/corvelle-mail.desktop",
          data + "mime/packages/corvelle-new.xml", data + "applications/corvelle-new.desktop"};
}

// How many of the twelve registered lines are present.
int RegisteredLines(const UiEnvironment& env) {
  int lines = 0;
  for (const std::string& file : RegistrationFiles(env)) {
    std::string text = ReadFile(file);
    for (const char* mark : {"<glob ", "<comment>", "<icon ", "\nExec="}) {
      for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1)) ++lines;
    }
  }
  return lines;
}

void RemoveRegistration(const UiEnvironment& env) {
  for (const std::string& file : RegistrationFiles(env)) ::unlink(file.c_str());
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { env = std::make_unique<UiEnvironment>(); }
  void cleanup() { env.reset(); }

  void firstStartRegistersTwiceAndCompletesTheSetup() {
    int lines_before_dialog = -1;
    QString page;
    ModalDriver driver({PressOkInSetup(page, [&](TSetupDlg& dialog) {
      lines_before_dialog = RegisteredLines(*env);
      RemoveRegistration(*env);  // so the second registration shows
      dialog.MailDirectoryTxt->setText(QString::fromStdString(env->home.path() + "Mail"));
      testing::FillUserSettings(dialog);
    })});
    TCorvelProg window;
    QCOMPARE(driver.handled, 1);
    QCOMPARE(driver.unexpected, 0);
    QCOMPARE(page, QString("DirectoriesPage"));
    QCOMPARE(lines_before_dialog, 12);
    QCOMPARE(RegisteredLines(*env), 12);
    QVERIFY(env->ui.boxes.empty());
    QVERIFY(env->end_codes.empty());
    QCOMPARE(MailSettings.MailDirectory, env->MailDir());
    QVERIFY(FolderExists(env->MailDir() + "People"));  // the tree with its samples
    QCOMPARE(ReadFile(env->MailDir() + "System/AddressBook/AddressBook.cvab"), std::string());
    std::string ini = ReadFile(env->IniPath());
    QVERIFY(ini.find("CurrentVersion=1.24b") != std::string::npos);
    QVERIFY(ini.find("DefaultAB=AddressBook") != std::string::npos);
    QVERIFY(ini.find("MailDirectory=" + env->MailDir() + "\r\n") != std::string::npos);
    QCOMPARE(window.windowTitle(), QString("Corvelle"));
    QCOMPARE(window.size(), QSize(577, 410));
    QVERIFY(!window.InStartup);
  }

  void completeSettingsOpenNoDialogAndRegisterOnlyMissingTypes() {
    env->WriteCompleteSettings();
    std::vector<std::string> files = RegistrationFiles(*env);
    WriteFile(files[0], "kept\n");
    WriteFile(files[1], "kept\n");
    ModalDriver driver({});
    TCorvelProg window;
    QCOMPARE(driver.unexpected, 0);
    QVERIFY(env->ui.boxes.empty());
    QCOMPARE(ReadFile(files[0]), std::string("kept\n"));
    QCOMPARE(ReadFile(files[1]), std::string("kept\n"));
    QVERIFY(ReadFile(files[3]).find("Exec=") != std::string::npos);
  }

  void otherVersionRewritesTheTypesAndOpensUserSettings() {
    env->WriteCompleteSettings("1.24a");
    for (const std::string& file : RegistrationFiles(*env)) WriteFile(file, "old\n");
    QString page;
    ModalDriver driver({PressOkInSetup(page)});
    TCorvelProg window;
    QCOMPARE(driver.handled, 1);
    QCOMPARE(page, QString("UserSettingsPage"));
    QCOMPARE(RegisteredLines(*env), 12);
    QVERIFY(ReadFile(env->IniPath()).find("CurrentVersion=1.24b") != std::string::npos);
  }

  void emptyUserFieldOpensUserSettings() {
    env->WriteCompleteSettings();
    PrivateProfile ini(env->IniPath());
    ini.WriteString("main", "MyName", "");
    QVERIFY(ini.Save());
    QString page;
    ModalDriver driver({PressOkInSetup(page, [](TSetupDlg& dialog) { dialog.NameTxt->setText("Ann"); })});
    TCorvelProg window;
    QCOMPARE(page, QString("UserSettingsPage"));
    QCOMPARE(MailSettings.MyName, std::string("Ann"));
  }

  void cancellingAtStartupEndsTheProgram() {
    ModalDriver driver({[](QWidget* widget) { QTest::keyClick(widget, Qt::Key_Escape); },
                        [](QWidget* widget) { QTest::keyClick(widget, Qt::Key_Escape); }});
    TCorvelProg window;
    QVERIFY(!env->ui.boxes.empty());
    QCOMPARE(env->ui.boxes[0].text, std::string("Setup is not complete.  Corvelle cannot run."));
    QCOMPARE(env->ui.boxes[0].caption, std::string(kApplicationTitle));
    QVERIFY(!env->end_codes.empty());
    QCOMPARE(env->end_codes[0], 0);
    QVERIFY(!PathExists(env->IniPath()));
  }

  void incompleteTreeIsReportedAndTheDirectoriesPageShown() {
    env->WriteCompleteSettings();
    ::rmdir((env->MailDir() + "Spool").c_str());
    QString page;
    ModalDriver driver({PressOkInSetup(page)});
    TCorvelProg window;
    QCOMPARE(driver.handled, 1);
    QCOMPARE(page, QString("DirectoriesPage"));
    QCOMPARE(env->ui.Texts(), (std::vector<std::string>{
                                  "Your mail directory or one of its components \n\rdoes not exist.\n\rVerify or "
                                  "enter a new mail directory\n\rin the setup dialog."}));
    QVERIFY(FolderExists(env->MailDir() + "Spool"));
    QCOMPARE(QtUserInterface::DisplayText(env->ui.boxes[0].text).count('\n'), 3);
  }

  void positionIsRestoredAndSavedOnlyWithRememberPos_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QPoint>("restored");  // (-1, -1): not restored, and the file is left alone
    QTest::newRow("\"yes\" is not on") << "RememberPos=yes\r\nXPos=301\r\nYPos=202\r\n" << QPoint(-1, -1);
    QTest::newRow("on, hexadecimal X") << "RememberPos=1\r\nXPos=0x25\r\nYPos=45\r\n" << QPoint(37, 45);
  }
  void positionIsRestoredAndSavedOnlyWithRememberPos() {
    QFETCH(QString, settings);
    QFETCH(QPoint, restored);
    env->WriteCompleteSettings(kVersion, settings.toStdString());
    std::string before = ReadFile(env->IniPath());
    {
      TCorvelProg window;
      if (restored.x() < 0)
        QVERIFY(window.pos() != QPoint(301, 202));
      else
        QCOMPARE(window.pos(), restored);
      window.move(60, 70);
    }
    std::string ini = ReadFile(env->IniPath());
    if (restored.x() < 0) {
      QCOMPARE(ini, before);
    } else {
      QVERIFY(ini.find("XPos=60\r\n") != std::string::npos);
      QVERIFY(ini.find("YPos=70\r\n") != std::string::npos);
      QVERIFY(ini.find("MyName=Ann Example\r\n") != std::string::npos);
    }
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::StartupTest)
#include "startup_test.moc"
