// The mailbox window on a main window without start-up: listing and sorting a folder,
// opening with Enter, deleting and moving several messages, dragging onto a folder, the
// quick filter, a file that appears while it is shown, and the layout kept between runs.

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QTreeView>
#include <utime.h>

#include "platform/profile.h"
#include "ui/folders/folder_select.h"
#include "ui/mailbox/folder_tree.h"
#include "ui/mailbox/mailbox_model.h"
#include "ui/mailbox/mailbox_window.h"
#include "ui/viewer/mail_viewer.h"
#include "ui_support.h"

namespace corvelle {
namespace {

using namespace testing;
using Texts = std::vector<std::string>;

// `text` padded to `width` characters (UTF-8 sequences counting as one).
std::string Padded(std::string text, size_t width) {
  size_t characters = 0;
  for (char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return text + std::string(width - characters, ' ');
}

// A filed name: subject and sender padded to 50 and 30 characters.
std::string Filed(const std::string& subject, const std::string& sender, const char* extension) {
  return Padded(subject, 50) + Padded(sender, 30) + extension;
}

// A message of the day `day` of December 2026 (0: 30 November), its file's times in the
// opposite order, as when old mail is filed late: the list sorts by the Date field.
void WriteMessage(const std::string& path, int day) {
  const time_t time = 1796637600 - day * 86400;  // 7 December 2026, 10:00 UTC
  WriteFile(path, "From: x@example.org\r\nDate: " + std::to_string(day == 0 ? 30 : day) +
                      (day == 0 ? " Nov" : " Dec") + " 2026 10:00:00 +0000\r\n\r\nbody\r\n");
  const struct utimbuf times{time, time};
  ::utime(path.c_str(), &times);
}

}  // namespace

class MailboxTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    QVERIFY(ShowMainWindow(*env, window));
    QVERIFY(MakeFolders(Mail("Archive")));
    WriteMessage(Mail("Inbox/" + Filed("Lunch", "Bob", ".newmail")), 1);
    WriteMessage(Mail("Inbox/" + Filed("Agenda", "Carol", ".mail")), 2);
    WriteMessage(Mail("Inbox/" + Filed("Budget", "Alice", ".mail")), 0);
    WriteFile(Mail("Spool/0.out"), "x");
    box = Open();
    QVERIFY(box);
  }
  void cleanup() {
    window.reset();
    env.reset();
  }

  // The tree leaves System and Spool out and counts new messages; the list shows the
  // names' subjects and senders, newest first, and sorts by any column. The window is no
  // message window.
  void listsAndSorts() {
    QCOMPARE(window->MessageWindowCount(), 0);
    QCOMPARE(window->ActiveViewer(), nullptr);
    QCOMPARE(ActiveMailbox(*window), box);
    Texts folders;
    for (const std::string& path : box->Folders->FolderPaths()) folders.push_back(path.substr(env->MailDir().size()));
    QCOMPARE(folders, (Texts{"Archive/", "Inbox/", "Postponed/", "Sent Mail/"}));
    QCOMPARE(box->Folders->findItems("Inbox (1)", Qt::MatchExactly).size(), 1);
    QCOMPARE(Column(TMailboxModel::kSubject), (QStringList{"Agenda", "Lunch", "Budget"}));
    QCOMPARE(Column(TMailboxModel::kParty), (QStringList{"Carol", "Bob", "Alice"}));
    QCOMPARE(Column(TMailboxModel::kStatus), (QStringList{"", "New", ""}));
    QVERIFY(box->Model->data(box->Model->index(1, 1), Qt::FontRole).value<QFont>().bold());
    box->List->header()->setSortIndicator(TMailboxModel::kParty, Qt::AscendingOrder);
    QCOMPARE(Column(TMailboxModel::kSubject), (QStringList{"Budget", "Lunch", "Agenda"}));
    QVERIFY(box->ShowFolder(Mail("Sent Mail/")));
    QCOMPARE(box->Model->headerData(TMailboxModel::kParty, Qt::Horizontal, Qt::DisplayRole).toString(), QString("To"));
  }

  // Enter opens the current message (marking it read); the row follows the rename in place.
  void opensWithEnter() {
    Select({1});
    box->List->setFocus();
    QTest::keyClick(box->List, Qt::Key_Return);
    QCOMPARE(window->MessageWindowCount(), 1);
    QVERIFY(FileExists(Mail("Inbox/" + Filed("Lunch", "Bob", ".mail"))));
    QTRY_COMPARE(Column(TMailboxModel::kStatus), (QStringList{"", "", ""}));
    QCOMPARE(box->Model->PathAt(1), Mail("Inbox/" + Filed("Lunch", "Bob", ".mail")));
    QVERIFY(box->Folders->findItems("Inbox", Qt::MatchExactly).size() == 1);
  }

  // The commands act on the selection while the mailbox window is active; Delete asks once.
  void deletesAndMovesSeveral() {
    window->ClientArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(box->parentWidget()));
    QVERIFY(!window->Action(Command::Delete)->isEnabled());
    Select({0, 2});
    QVERIFY(window->Action(Command::Delete)->isEnabled() && window->Action(Command::Move)->isEnabled());
    env->ui.Script({Answer::Yes});
    QTest::keyClick(box->List, Qt::Key_Delete);
    QCOMPARE(env->ui.Texts(), Texts{"Are you sure you want to delete these 2 messages?"});
    QCOMPARE(window->Result(), QString("2 messages deleted."));
    QCOMPARE(Column(TMailboxModel::kSubject), QStringList{"Lunch"});
    // The message that took their place is chosen, ready for the next command.
    QCOMPARE(box->SelectedPaths(), std::vector<std::string>{Mail("Inbox/" + Filed("Lunch", "Bob", ".newmail"))});

    Select({0});
    ModalDriver driver({[](QWidget* widget) {
      auto* dialog = qobject_cast<TFolderSelect*>(widget);
      QVERIFY2(dialog, "the modal widget is not the folder selection");
      dialog->FolderList->setCurrentItem(dialog->FolderList->findItems("Archive", Qt::MatchExactly | Qt::MatchRecursive)[0]);
      dialog->OKBtnClick();
    }});
    window->RunCommand(Command::Move);
    QCOMPARE(driver.unexpected, 0);
    QCOMPARE(box->Model->rowCount(), 0);
    QVERIFY(FileExists(Mail("Archive/" + Filed("Lunch", "Bob", ".newmail"))));
  }

  // Messages dropped onto a folder move there, a taken name numbered rather than replaced.
  void dragOntoAFolder() {
    const std::string taken = Mail("Archive/" + Filed("Agenda", "Carol", ".mail"));
    WriteFile(taken, "kept");
    Select({0, 2});
    std::unique_ptr<QMimeData> mime(box->Model->mimeData(box->List->selectionModel()->selectedRows()));
    QTreeWidgetItem* archive = box->Folders->findItems("Archive", Qt::MatchExactly)[0];
    const QPoint at = box->Folders->visualItemRect(archive).center();
    QDragEnterEvent enter(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box->Folders->viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box->Folders->viewport(), &move);
    QVERIFY(move.isAccepted());
    QDropEvent drop(QPointF(at), Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box->Folders->viewport(), &drop);
    QCOMPARE(Column(TMailboxModel::kSubject), QStringList{"Lunch"});
    QCOMPARE(ReadFile(taken), std::string("kept"));
    QCOMPARE(ListNames(Mail("Archive")).size(), size_t(3));
    QCOMPARE(env->ui.Texts(), Texts{});
  }

  // Reply answers the current message of the selection, in a composition of its own.
  void repliesToTheCurrentMessage() {
    window->ClientArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(box->parentWidget()));
    Select({2, 0});
    window->RunCommand(Command::Reply);
    QCOMPARE(window->MessageWindowCount(), 1);
    QVERIFY(window->ActiveViewer()->IsNewMessage());
    QCOMPARE(window->ActiveViewer()->ReplySource, Mail("Inbox/" + Filed("Budget", "Alice", ".mail")));
  }

  void quickFilterNarrowsBySubjectAndSender() {
    WriteMessage(Mail("Inbox/" + Filed("\xC3\x89t\xC3\xA9", "Zo\xC3\xAB", ".mail")), 4);
    QTRY_COMPARE(box->Model->rowCount(), 4);
    box->FilterLine->setText("\u00E9T\u00C9");
    QCOMPARE(Column(TMailboxModel::kSubject), QStringList{"\u00C9t\u00E9"});
    box->FilterLine->clear();
    QTest::keyClicks(box->FilterLine, "BU");
    QCOMPARE(Column(TMailboxModel::kSubject), QStringList{"Budget"});
    box->FilterLine->setText("carol");
    QCOMPARE(Column(TMailboxModel::kSubject), QStringList{"Agenda"});
    box->FilterLine->clear();
    QCOMPARE(box->Model->rowCount(), 4);
  }

  // A file another program files appears in its sorted place, the selection kept, and the
  // folder's count follows.
  void fileThatAppearsIsShown() {
    Select({2});
    WriteMessage(Mail("Inbox/" + Filed("Zebra", "Dan", ".newmail")), 3);
    QTRY_COMPARE(box->Model->rowCount(), 4);
    QCOMPARE(box->SelectedPaths(), Texts{Mail("Inbox/" + Filed("Budget", "Alice", ".mail"))});
    QTRY_COMPARE(box->Folders->findItems("Inbox (2)", Qt::MatchExactly).size(), 1);
    QVERIFY(RemoveFile(Mail("Inbox/" + Filed("Lunch", "Bob", ".newmail"))));
    QTRY_COMPARE(box->Model->rowCount(), 3);
  }

  // New mail in a sub-folder shows on its folded parent, and only there while it is folded.
  void foldedFolderCountsItsSubFolders() {
    QVERIFY(MakeFolders(Mail("Archive/2026")));
    WriteMessage(Mail("Archive/2026/" + Filed("Old", "Eve", ".newmail")), 4);
    QTRY_COMPARE(box->Folders->findItems("2026 (1)", Qt::MatchExactly | Qt::MatchRecursive).size(), 1);
    const QList<QTreeWidgetItem*> folded = box->Folders->findItems("Archive (1)", Qt::MatchExactly);
    QCOMPARE(folded.size(), 1);
    QTreeWidgetItem* archive = folded[0];
    archive->setExpanded(true);
    QCOMPARE(archive->text(0), QString("Archive"));
    archive->setExpanded(false);
    QCOMPARE(archive->text(0), QString("Archive (1)"));
  }

  // Folder, sort and column widths come back; the settings file's other sections stay.
  void layoutIsKept() {
    QVERIFY(box->ShowFolder(Mail("Archive/")));
    box->List->header()->setSortIndicator(TMailboxModel::kSize, Qt::AscendingOrder);
    box->List->header()->resizeSection(TMailboxModel::kSubject, 222);
    window->ClientArea->closeAllSubWindows();
    QTRY_VERIFY(!FindMailbox(*window));
    box = Open();
    QCOMPARE(box->Model->Folder(), Mail("Archive/"));
    QCOMPARE(box->List->header()->sortIndicatorSection(), int(TMailboxModel::kSize));
    QCOMPARE(box->List->header()->sectionSize(TMailboxModel::kSubject), 222);
    QCOMPARE(PrivateProfile(env->IniPath()).ReadString("main", "MailServer", ""), std::string("pop.example.org"));
  }

 private:
  std::string Mail(const std::string& relative) const { return env->MailDir() + relative; }
  TMailboxWindow* Open() {
    window->RunCommand(Command::ViewMailbox);
    return FindMailbox(*window);
  }
  QStringList Column(int column) const {
    QStringList texts;
    for (int row = 0; row < box->Model->rowCount(); ++row) texts << box->Model->index(row, column).data().toString();
    return texts;
  }
  void Select(const std::vector<int>& rows) {
    box->List->clearSelection();
    for (int row : rows)
      box->List->selectionModel()->select(box->Model->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    box->List->selectionModel()->setCurrentIndex(box->Model->index(rows.front(), 0), QItemSelectionModel::NoUpdate);
  }

  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<TCorvelProg> window;
  TMailboxWindow* box = nullptr;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::MailboxTest)
#include "mailbox_test.moc"
