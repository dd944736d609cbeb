// The main window, built without a start-up: its bars and status line, the enabling of
// commands for the active message window, keyboard mnemonics, deferred windows, file
// drops, the command registry and the Window and Help menus.

#include <QComboBox>
#include <QDropEvent>
#include <QEnterEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <stdexcept>

#include "ui/help/about_box.h"
#include "ui/main/corvel_prog.h"
#include "ui/viewer/mail_viewer.h"
#include "ui_support.h"

namespace corvelle {
namespace {

using testing::ModalDriver;
using testing::UiEnvironment;
using testing::WriteFile;

// Records every window asked for, and fails to make windows while `failures` > 0.
class RecordingProg : public TCorvelProg {
 public:
  TMailViewer* CreateMailViewer(const std::string& name, const std::string& first_address,
                                const std::string& reply_source, const std::string& subject) override {
    opened.push_back(name);
    return TCorvelProg::CreateMailViewer(name, first_address, reply_source, subject);
  }
  std::vector<std::string> opened;
  int failures = 0;

 protected:
  TMailViewer* NewViewer() override {
    if (failures > 0) {
      --failures;
      throw std::runtime_error("no window");
    }
    return TCorvelProg::NewViewer();
  }
};

QMdiSubWindow* Frame(TMailViewer* viewer) { return qobject_cast<QMdiSubWindow*>(viewer->parentWidget()); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    for (const char* name : {"a", "b", "c", "d", "e"})
      WriteFile(Mail(name), std::string("Subject: ") + name + "\r\n\r\nText\r\n");
    window = std::make_unique<RecordingProg>();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
  }
  void cleanup() {
    window.reset();
    env.reset();
  }

  void barsFitAndShortcutsAreUnique() {
    QStringList shortcuts;
    for (QMenu* menu : window->menuBar()->findChildren<QMenu*>())
      for (QAction* action : menu->actions())
        if (!action->shortcut().isEmpty()) shortcuts << action->shortcut().toString();
    QCOMPARE(shortcuts.removeDuplicates(), 0);
    int widths = 0;
    for (QToolButton* button : window->SpeedPanel->findChildren<QToolButton*>()) widths += button->sizeHint().width();
    QVERIFY(window->minimumSizeHint().width() <= 577);          // the bar does not widen the window
    QVERIFY2(widths <= 575, qPrintable(QString::number(widths)));  // and every caption fits
  }

  void hintsShowTheirLongPartInTheStatusLine() {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(window->findChild<QToolButton*>("NewBtn"), &enter);
    QCOMPARE(window->StatusLine->text(), QString("Start a new mail message"));
    window->Action(Command::GetSendAll)->showStatusText(window.get());
    QCOMPARE(window->StatusLine->text(), QString("Retrieve new mail from the net"));
    // Moving on to a control without a hint leaves no hint behind.
    QApplication::sendEvent(window->ClientArea->viewport(), &enter);
    QCOMPARE(window->StatusLine->text(), QString());
  }

  void itemsFollowTheActiveWindow() {
    auto enabled = [&](std::initializer_list<Command> commands) {
      QString on;
      for (Command c : commands) on += window->Action(c)->isEnabled() ? '1' : '0';
      return on;
    };
    auto buttons = [&](std::initializer_list<const char*> names) {
      QString on;
      for (const char* name : names) on += window->findChild<QToolButton*>(name)->isEnabled() ? '1' : '0';
      return on;
    };
    const auto any = {Command::FileClose, Command::FileSaveAs, Command::Copy, Command::Find, Command::FindNext,
                      Command::Replace, Command::Cascade, Command::Tile, Command::MinimizeAll, Command::Print};
    const auto received = {Command::Move, Command::Delete, Command::Reply};
    const auto composing = {Command::Cut, Command::Paste, Command::Spool, Command::Send, Command::Postpone,
                            Command::Undo};
    QCOMPARE(enabled(any) + enabled(received) + enabled(composing), QString(19, '0'));
    QCOMPARE(buttons({"NewBtn", "OpenBtn", "SaveBtn", "MoveBtn", "SendBtn"}), QString("11000"));
    QVERIFY(window->Action(Command::GetSendAll)->isEnabled());

    window->Panel3->setText("Message saved.");
    TMailViewer* message = window->CreateMailViewer(Mail("a"), "", "", "");
    QVERIFY(window->Panel3->text().isEmpty());
    QCOMPARE(enabled(any) + enabled(received) + enabled(composing), QString(13, '1') + QString(6, '0'));
    QCOMPARE(buttons({"MoveBtn", "ReplyBtn", "CloseBtn", "SendBtn"}), QString("1110"));

    window->RunCommand(Command::FileNew);
    QCOMPARE(window->ActiveViewer()->windowTitle(), QString("Compose New Message 2"));
    QCOMPARE(enabled(any) + enabled(received) + enabled(composing), QString(10, '1') + "000" + QString(6, '1'));
    QCOMPARE(buttons({"SendBtn", "CutBtn", "DeleteBtn"}), QString("110"));

    window->ClientArea->setActiveSubWindow(Frame(message));
    QCOMPARE(enabled({Command::Reply, Command::Send}), QString("10"));
  }

  // "Clos&e", "&Send" and "Pos&tpone" share their letters with "&Edit", "&Search" and "&Text".
  void menuMnemonicsWinOverSpeedButtons() {
    window->CreateMailViewer(Mail("a"), "", "", "");
    window->RunCommand(Command::FileNew);
    for (auto [key, menu] : {std::pair{Qt::Key_E, "Edit1"}, {Qt::Key_S, "Search1"}, {Qt::Key_T, "Text1"}}) {
      QTest::keyClick(window.get(), key, Qt::AltModifier);
      QTRY_COMPARE(QApplication::activePopupWidget(), window->findChild<QMenu*>(menu));
      QApplication::activePopupWidget()->close();
      QVERIFY(!qobject_cast<QToolButton*>(QApplication::focusWidget()));
    }
  }

  // Closing makes room for deferred windows, newest first, one per closed window, and
  // never more windows than were open.
  void deferredWindowsOpenAsOthersClose() {
    for (const char* name : {"a", "b", "c", "d", "e"}) QVERIFY(window->CreateMailViewer(Mail(name), "", "", ""));
    window->failures = 3;
    for (const char* name : {"c", "b", "a"}) QVERIFY(!window->CreateMailViewer(Mail(name), "", "", ""));
    QCOMPARE(window->DeferredOpens, (std::vector<std::string>{Mail("c"), Mail("b"), Mail("a")}));
    window->opened.clear();

    window->Viewers()[0]->parentWidget()->close();
    window->Viewers()[1]->parentWidget()->close();
    QTRY_COMPARE(window->opened.size(), size_t(2));
    QTest::qWait(20);
    QCOMPARE(window->opened, (std::vector<std::string>{Mail("a"), Mail("b")}));
    QCOMPARE(window->MessageWindowCount(), 5);

    window->Viewers()[0]->parentWidget()->close();
    QTRY_VERIFY(window->DeferredOpens.empty());
    QCOMPARE(window->opened.back(), Mail("c"));
    window->Viewers()[0]->parentWidget()->close();
    QTRY_COMPARE(window->LastChildCount, 4);
    QCOMPARE(window->opened.size(), size_t(3));
  }

  void droppedFilesOpenInDropOrder() {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(Mail("c"))),
                  QUrl::fromLocalFile(QString::fromStdString(Mail("gone"))),
                  QUrl::fromLocalFile(QString::fromStdString(Mail("a")))});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    QCOMPARE(window->opened, (std::vector<std::string>{Mail("c"), "", Mail("a")}));
    QCOMPARE(env->ui.Texts(), (std::vector<std::string>{"File does not exist."}));
    QTRY_COMPARE(window->MessageWindowCount(), 2);
  }

  void windowMenuArrangesAndListsWindows() {
    window->CreateMailViewer(Mail("a"), "", "", "");
    window->RunCommand(Command::FileNew);
    QMetaObject::invokeMethod(window->Window1, "aboutToShow");
    QList<QAction*> items = window->Window1->actions().mid(3);
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[1]->text(), QString::fromStdString("&1 " + Mail("a")));
    QVERIFY(items[2]->isChecked() && !items[1]->isChecked());
    items[1]->trigger();
    QCOMPARE(window->ActiveViewer()->windowTitle(), QString::fromStdString(Mail("a")));
    window->RunCommand(Command::MinimizeAll);
    for (TMailViewer* viewer : window->Viewers()) QVERIFY(Frame(viewer)->isMinimized());
    QCOMPARE(window->MessageWindowCount(), 2);
  }

  void newWindowsOpenMinimizedWhileViewersAreNotMaximized() {
    MaximizeViewers = false;
    TMailViewer* viewer = window->CreateMailViewer(Mail("a"), "", "", "");
    MaximizeViewers = true;
    QVERIFY(Frame(viewer)->isMinimized());
    QVERIFY(Frame(window->CreateMailViewer(Mail("b"), "", "", ""))->isMaximized());
  }

  void commandsRunThroughTheRegistry() {
    QString comment;
    ModalDriver driver({[&](QWidget* widget) {
      comment = widget->findChild<QLabel*>("Comments")->text();
      qobject_cast<QDialog*>(widget)->accept();
    }});
    window->RunCommand(Command::About);
    QCOMPARE(comment, QString("A mail interface for your file manager."));
    window->RunCommand(Command::GetSendAll);  // no handler yet: nothing happens
    QCOMPARE(driver.handled, 1);
    QCOMPARE(driver.unexpected, 0);
    CommandRegistry registry;
    TCorvelProg* ran = nullptr;
    registry.Register(Command::Print, [&](TCorvelProg& w) { ran = &w; });
    QVERIFY(registry.Run(Command::Print, *window) && ran == window.get());
    QVERIFY(!registry.Run(Command::Move, *window));
  }

  void exitAsksModifiedCompositionsFirst() {
    window->RunCommand(Command::FileNew);
    window->ActiveViewer()->MailText->insertPlainText("Dear Bob,");
    env->ui.Script({Answer::Cancel, Answer::No});
    window->RunCommand(Command::Exit);
    QVERIFY(window->isVisible());
    QCOMPARE(env->ui.Texts(), (std::vector<std::string>{"File  has been modified. Postpone mail file?"}));
    window->RunCommand(Command::Exit);
    QVERIFY(!window->isVisible());
  }

  void firstAddressAndSubjectFillTheNewWindow() {
    TMailViewer* viewer = window->CreateMailViewer("Compose New Message 1", "bob@example.org", "", "Hello");
    QCOMPARE(viewer->FromLine->itemText(0), QString("bob@example.org"));
    QCOMPARE(viewer->SubjectLine->text(), QString("Hello"));
    QVERIFY(viewer->IsNewMessage() && viewer->AskOnClose && viewer->FileName.empty());
    QVERIFY(!viewer->MailText->isReadOnly() && !viewer->SubjectLine->isReadOnly() && !viewer->DateLine->isEnabled());
  }

 private:
  std::string Mail(const char* name) const { return env->MailDir() + "Inbox/" + name + ".mail"; }

  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<RecordingProg> window;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::MainWindowTest)
#include "main_window_test.moc"
