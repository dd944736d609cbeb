// The search window: opened by its command (with a text it searches at once), a word found
// only inside a base64 part, the result opened in the viewer, Cancel stopping a search;
// the window is no message window.

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTreeWidget>

#include "ui/main/corvel_prog.h"
#include "ui/search/search_window.h"
#include "ui/viewer/mail_viewer.h"
#include "ui_support.h"

namespace corvelle {
namespace {

using namespace testing;

const std::string kBase64Part =
    "From: Ann Example <ann@example.org>\r\nTo: bob@example.org\r\nSubject: Holiday pictures\r\n"
    "Date: Mon, 7 Dec 2026 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
    "--b1\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "SGlkZGVuIHRyZWFzdXJlOiBaZWJyYWZpc2gK\r\n"  // "Hidden treasure: Zebrafish\n"
    "--b1--\r\n";

}  // namespace

class SearchTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    QVERIFY(ShowMainWindow(*env, window));
    MakeFolders(env->MailDir() + "Inbox/Old");
    WriteFile(env->MailDir() + "Inbox/Holiday pictures.newmail", kBase64Part);
    WriteFile(env->MailDir() + "Inbox/Old/plain.mail", "Subject: Other\r\n\r\nNo fish here.\r\n");
  }
  void cleanup() {
    window.reset();
    env.reset();
  }

  void commandOpensTheWindowBesideTheMessageWindows() {
    window->RunCommand(Command::FindMessages);
    TSearchWindow* search = Search();
    QVERIFY(search);
    QCOMPARE(search->windowTitle(), QString("Find messages"));
    QCOMPARE(window->MessageWindowCount(), 0);
    QVERIFY(!window->ActiveViewer());
    window->RunCommand(Command::FindMessages);  // one search window at a time
    QCOMPARE(window->ClientArea->subWindowList().size(), 1);
  }

  void findsAWordInsideABase64PartAndOpensIt() {
    window->RunCommand(Command::FindMessages, {.subject = "zebrafish"});
    TSearchWindow* search = Search();
    QVERIFY(search);
    QTRY_VERIFY(!search->Searching());
    QCOMPARE(search->StatusText->text(), QString("1 message found"));
    QTreeWidgetItem* row = search->Results->topLevelItem(0);
    QCOMPARE(row->text(0), QString("Holiday pictures"));
    QCOMPARE(row->text(1), QString("Ann Example <ann@example.org>"));
    QCOMPARE(row->text(2), QString("Inbox"));

    search->Results->setCurrentItem(row);
    QTest::keyClick(search->Results, Qt::Key_Return);
    QCOMPARE(window->MessageWindowCount(), 1);
    QVERIFY(window->ActiveViewer()->Shows(env->MailDir() + "Inbox/Holiday pictures.mail"));
  }

  void searchesTheFolderGivenWithItsSubFolders() {
    window->RunCommand(Command::FindMessages, {.file = env->MailDir() + "Inbox/Old", .subject = "FISH"});
    TSearchWindow* search = Search();
    QTRY_VERIFY(!search->Searching());
    QCOMPARE(search->Results->topLevelItemCount(), 1);
    QCOMPARE(search->Results->topLevelItem(0)->text(2), QString("Inbox/Old"));
  }

  void cancelStopsTheSearch() {
    for (int i = 0; i < 3000; ++i)
      WriteFile(env->MailDir() + "Inbox/Old/m" + std::to_string(i) + ".mail", "Subject: fish\r\n\r\nfish\r\n");
    window->RunCommand(Command::FindMessages, {.subject = "fish"});
    TSearchWindow* search = Search();
    QVERIFY(search->Searching());
    search->CancelBtn->click();
    QVERIFY(!search->Searching());
    QVERIFY(search->FindBtn->isEnabled());
    QVERIFY(search->StatusText->text().startsWith("Search cancelled: "));
    const int listed = search->Results->topLevelItemCount();
    QTest::qWait(50);
    QCOMPARE(search->Results->topLevelItemCount(), listed);
  }

 private:
  TSearchWindow* Search() const {
    for (QMdiSubWindow* sub : window->ClientArea->subWindowList())
      if (auto* search = qobject_cast<TSearchWindow*>(sub->widget())) return search;
    return nullptr;
  }

  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<TCorvelProg> window;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::SearchTest)
#include "search_test.moc"
