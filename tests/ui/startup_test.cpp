// Start-up of the main window, a step of its own after the window is built: settings,
// file-type registration, the setup checks and the window position.

#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/profile.h"
#include "ui/main/corvel_prog.h"
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
    for (const char* mark : {"<glob ", "<comment>", "<icon ", "\nExec="})
      for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1)) ++lines;
  }
  return lines;
}

const char* const kTreeMessage =
    "Your mail directory or one of its components \n\rdoes not exist.\n\rVerify or enter a new mail directory\n\rin "
    "the setup dialog.";

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { env = std::make_unique<UiEnvironment>(); }
  void cleanup() { env.reset(); }

  void firstStartRegistersTwiceAndCompletesTheSetup() {
    int lines_before_dialog = -1;
    QString page;
    TCorvelProg window;
    ModalDriver driver({PressOkInSetup(page, [&](TSetupDlg& dialog) {
      QVERIFY(window.FileTypes.Wait(10000));
      lines_before_dialog = RegisteredLines(*env);
      for (const std::string& file : RegistrationFiles(*env)) ::unlink(file.c_str());  // to see the second one
      dialog.MailDirectoryTxt->setText(QString::fromStdString(env->home.path() + "Mail"));
      testing::FillUserSettings(dialog);
    })});
    QVERIFY(window.StartUp());
    QVERIFY(window.FileTypes.Wait(10000));
    QCOMPARE(driver.handled, 1);
    QCOMPARE(driver.unexpected, 0);
    QCOMPARE(page, QString("DirectoriesPage"));
    QCOMPARE(lines_before_dialog, 12);
    QCOMPARE(RegisteredLines(*env), 12);
    QVERIFY(env->ui.boxes.empty() && env->end_codes.empty());
    QCOMPARE(MailSettings.MailDirectory, env->MailDir());
    QVERIFY(!window.InStartup);
  }

  // Each row starts with the old file types in place; only another version rewrites them.
  void checksOpenTheirPage_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("change");  // "key=value" for section main, or a folder to remove
    QTest::addColumn<QString>("page");    // empty: no dialog
    QTest::addColumn<bool>("tree_message");
    QTest::newRow("complete") << kVersion << "" << "" << false;
    QTest::newRow("other version") << "1.24a" << "" << "UserSettingsPage" << false;
    QTest::newRow("empty name") << kVersion << "MyName=" << "UserSettingsPage" << false;
    QTest::newRow("tree incomplete") << kVersion << "Spool" << "DirectoriesPage" << true;
    QTest::newRow("NUL in the mail directory") << kVersion << "MailDirectory=" << "DirectoriesPage" << true;
  }
  void checksOpenTheirPage() {
    QFETCH(QString, version);
    QFETCH(QString, change);
    QFETCH(QString, page);
    QFETCH(bool, tree_message);
    env->WriteCompleteSettings(version.toStdString());
    for (const std::string& file : RegistrationFiles(*env)) WriteFile(file, "old\n");
    std::string key = change.section('=', 0, 0).toStdString(), value = change.section('=', 1).toStdString();
    if (key == "MailDirectory") value = env->MailDir() + std::string("\0/elsewhere/", 12);
    if (change.contains('=')) {
      PrivateProfile ini(env->IniPath());
      ini.WriteString("main", key, value);
      QVERIFY(ini.Save());
    } else if (!change.isEmpty()) {
      QCOMPARE(::rmdir((env->MailDir() + key).c_str()), 0);
    }
    QString opened;
    ModalDriver driver({PressOkInSetup(opened, [&](TSetupDlg& dialog) {
      dialog.MailDirectoryTxt->setText(QString::fromStdString(env->MailDir()));
      dialog.NameTxt->setText("Ann");
    })});
    TCorvelProg window;
    QVERIFY(window.StartUp());
    QVERIFY(window.FileTypes.Wait(10000));
    QCOMPARE(opened, page);
    QCOMPARE(driver.unexpected, 0);
    QCOMPARE(env->ui.Texts(), tree_message ? std::vector<std::string>{kTreeMessage} : std::vector<std::string>{});
    QCOMPARE(RegisteredLines(*env), version == kVersion ? 0 : 12);
    if (!page.isEmpty()) QVERIFY(ReadFile(env->IniPath()).find("CurrentVersion=1.24b") != std::string::npos);
    QVERIFY(FolderExists(env->MailDir() + "Spool"));
  }

  void cancellingAtStartupEndsTheProgram() {
    ModalDriver driver({[](QWidget* widget) { QTest::keyClick(widget, Qt::Key_Escape); }});
    TCorvelProg window;
    QVERIFY(!window.StartUp());
    QCOMPARE(driver.unexpected, 0);  // nothing more is asked once the program ends
    QCOMPARE(env->ui.Texts(), (std::vector<std::string>{"Setup is not complete.  Corvelle cannot run."}));
    QCOMPARE(env->ui.boxes[0].caption, std::string("Corvelle"));
    QCOMPARE(env->end_codes, (std::vector<int>{0}));
    QVERIFY(!PathExists(env->IniPath()));
  }

  // The window is built without a start-up, and the start-up does not wait for the
  // desktop's cache tool.
  void startUpIsAStepOfItsOwnAndDoesNotWaitForTheCacheTool() {
    env->WriteCompleteSettings();
    std::string bin = env->home.path() + "bin/", tool = bin + "update-mime-database";
    WriteFile(tool, "#!/bin/sh\n: > '" + bin + "started'\ni=0\nwhile [ ! -e '" + bin + "go' ] && [ $i -lt 400 ]; do "
                    "/bin/sleep 0.05; i=$((i+1)); done\n: > '" + bin + "done'\n");
    QCOMPARE(::chmod(tool.c_str(), 0755), 0);
    ModalDriver driver({});
    TCorvelProg window;
    QVERIFY(MailSettings.MailDirectory.empty());
    QCOMPARE(RegisteredLines(*env), 0);
    QVERIFY(window.StartUp());
    QVERIFY(!PathExists(bin + "done"));
    QTRY_VERIFY(PathExists(bin + "started"));
    WriteFile(bin + "go", "");
    QVERIFY(window.FileTypes.Wait(30000));
    QVERIFY(PathExists(bin + "done"));
    QCOMPARE(driver.unexpected, 0);
  }

  void positionIsRestoredAndSavedOnCloseOnlyWithRememberPos_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QPoint>("restored");  // (-1, -1): not restored, and the file is left alone
    QTest::newRow("\"yes\" is not on") << "RememberPos=yes\r\nXPos=301\r\nYPos=202\r\n" << QPoint(-1, -1);
    QTest::newRow("on, hexadecimal X") << "RememberPos=1\r\nXPos=0x25\r\nYPos=45\r\n" << QPoint(37, 45);
  }
  void positionIsRestoredAndSavedOnCloseOnlyWithRememberPos() {
    QFETCH(QString, settings);
    QFETCH(QPoint, restored);
    env->WriteCompleteSettings(kVersion, settings.toStdString());
    std::string before = ReadFile(env->IniPath());
    TCorvelProg window;
    QVERIFY(window.StartUp());
    if (restored.x() < 0)
      QVERIFY(window.pos() != QPoint(301, 202));
    else
      QCOMPARE(window.pos(), restored);
    window.move(60, 70);
    QVERIFY(window.close());
    std::string ini = ReadFile(env->IniPath());
    if (restored.x() < 0) {
      QCOMPARE(ini, before);
    } else {
      QVERIFY(ini.find("XPos=60\r\nYPos=70\r\n") != std::string::npos);
      QVERIFY(ini.find("MyName=Ann Example\r\n") != std::string::npos);
    }
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::StartupTest)
#include "startup_test.moc"
