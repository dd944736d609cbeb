// The Text menu's common-text entries and the problem report of the Help menu, on a main
// window of their own.

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/store/message_text.h"
#include "ui/viewer/address_line.h"
#include "ui/viewer/mail_viewer.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;
using Lines = std::vector<std::string>;

class TextAndReportTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    QVERIFY(ShowMainWindow(*env, window));
  }
  void cleanup() {
    for (TMailViewer* viewer : window->Viewers()) viewer->MailText->document()->setModified(false);
    window.reset();
    env.reset();
  }

  // Every file but a hidden one takes a number, only ".txt" files an item; "&" in a
  // description shows as itself, and a hyphen in it does not confuse which file is inserted.
  void commonTextMenuNumbersFilesAndInserts() {
    const std::string folder = env->MailDir() + "System/Common Text/";
    WriteFile(folder + "Greeting.TXT", "Hello\r\n");
    WriteFile(folder + "notes.doc", "x");
    WriteFile(folder + ".Greeting.txt.swp.txt", "x");  // hidden files are no entries
    WriteFile(folder + "Greeting.txt~", "x");
    WriteFile(folder + "Tom & Jerry - Re.txt", "cat\r\nmouse\n");
    window->DoCommonTextFill();
    QList<QAction*> items = window->Text1->actions();
    QCOMPARE(items.size(), 5);
    QCOMPARE(items[3]->text(), QString("&1 - Greeting"));
    QCOMPARE(items[4]->text(), QString("&3 - Tom && Jerry - Re"));
    QVERIFY(!items[4]->isEnabled());
    TMailViewer* viewer = window->CreateMailViewer(NewMessageName(0), "", "", "");
    QVERIFY(viewer && items[4]->isEnabled());
    viewer->MailText->clear();
    items[4]->trigger();
    QCOMPARE(viewer->MailText->toPlainText(), QString("cat\nmouse\n"));
  }

  void problemReportLines() {
    struct Row {
      const char* name;
      std::string mail_port, netlog;
      Lines after_signature;
    } rows[] = {
        {"standard", "110", "", {"==", "Debug information, do not edit the above!"}},
        {"port as text, log", "0110", "+OK ready\r\nUSER ann\r\n",
         {"NON-STANDARD POP SERVER PORT!  DEFAULT IS 110.", "+OK ready", "USER ann", "=="}},
    };
    for (const Row& row : rows) {
      MailSettings.MailPort = row.mail_port;
      if (!row.netlog.empty()) WriteFile(env->MailDir() + "System/netlog.txt", row.netlog);
      TMailViewer* own = window->CreateMailViewer(NewMessageName(0), "", "", "");
      own->MailText->setPlainText("mine");
      window->RunCommand(Command::ReportProblem);
      TMailViewer* report = window->ActiveViewer();
      QVERIFY(report != own);
      QCOMPARE(own->MailText->toPlainText(), QString("mine"));
      QVERIFY(report->SubjectLine->isReadOnly() && !report->ToAddrBtn->isEnabled() && !report->CCAddrBtn->isEnabled());
      QCOMPARE(report->FromLine->Entries(), Lines{"support@corvelle.invalid"});
      Lines text;
      for (const QString& line : report->MailText->toPlainText().split('\n')) text.push_back(line.toStdString());
      QCOMPARE(text.at(0), std::string("=="));
      QCOMPARE(text.at(9), "Signature=" + MailSettings.Signature);
      QCOMPARE(Lines(text.begin() + 10, text.begin() + 10 + row.after_signature.size()), row.after_signature);
      QCOMPARE(text.back(), std::string());
      QCOMPARE(report->MailText->textCursor().blockNumber(), static_cast<int>(text.size()) - 7);
    }
  }

 private:
  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<TCorvelProg> window;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::TextAndReportTest)
#include "text_and_report_test.moc"
#include "support/test_settings.h"
