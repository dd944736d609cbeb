// The message window form: its kind by caption, a file shown as it is, a missing file.

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "ui/viewer/mail_viewer.h"
#include "ui_support.h"

namespace corvelle {

using testing::UiEnvironment;
using testing::WriteFile;

class MailViewerTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { env = std::make_unique<UiEnvironment>(); }
  void cleanup() { env.reset(); }

  void kindIsReadFromTheFirstTwentyCharacters() {
    TMailViewer viewer;
    QCOMPARE(viewer.windowTitle(), QString("Mail Viewer - [Untitled]"));
    for (const char* caption : {"Compose New Message 1", "Compose New Message ", "Compose New Message 12 x"}) {
      viewer.setWindowTitle(caption);
      QVERIFY2(viewer.IsNewMessage(), caption);
    }
    for (const char* caption : {"Compose New Message", "compose new message 1", "Mail - [Compose New Message 1]"}) {
      viewer.setWindowTitle(caption);
      QVERIFY2(!viewer.IsNewMessage(), caption);
    }
  }

  void fileIsShownReadOnlyWithItsBytesDecoded() {
    std::string path = env->MailDir() + "Inbox/m.mail";
    WriteFile(path, "Subject: Caf\xe9\r\n\r\nNa\xefve\r\n");  // Windows-1252
    TMailViewer viewer;
    viewer.setWindowTitle(QString::fromStdString(path));
    viewer.Init(path);
    QCOMPARE(viewer.FileName, path);
    QVERIFY(!viewer.AskOnClose);
    QVERIFY(viewer.MailText->isReadOnly() && viewer.SubjectLine->isReadOnly() && viewer.DateLine->isReadOnly());
    QCOMPARE(viewer.ToAddrBtn->text(), QString("From:"));
    QCOMPARE(viewer.MailText->toPlainText(), QString::fromUtf8("Subject: Caf\xc3\xa9\n\nNa\xc3\xafve\n"));
    QVERIFY(env->ui.boxes.empty());
  }

  void missingFileIsReportedAndTheWindowReleased() {
    QMdiArea area;
    auto* viewer = new TMailViewer;
    area.addSubWindow(viewer)->show();
    viewer->setWindowTitle("x");
    viewer->Init(env->MailDir() + "none.mail");
    QCOMPARE(env->ui.Texts(), (std::vector<std::string>{"File does not exist."}));
    QTRY_VERIFY(area.subWindowList().isEmpty());
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::MailViewerTest)
#include "mail_viewer_test.moc"
