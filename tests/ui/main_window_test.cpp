// The main window after start-up: its menus, speed buttons and status line, the enabling
// of commands for the active message window, deferred windows, file drops and the Window
// and Help menus.

#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
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

QStringList Captions(const QMenu* menu) {
  QStringList captions;
  for (QAction* action : menu->actions()) captions << (action->isSeparator() ? QString("-") : action->text());
  return captions;
}

QStringList Titles(const TCorvelProg& window) {
  QStringList titles;
  for (TMailViewer* viewer : window.Viewers()) titles << viewer->windowTitle();
  return titles;
}

QMdiSubWindow* Frame(TMailViewer* viewer) { return qobject_cast<QMdiSubWindow*>(viewer->parentWidget()); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    env->WriteCompleteSettings();
    for (const char* name : {"a.mail", "b.mail", "c.mail", "d.mail", "e.mail"})
      WriteFile(env->MailDir() + "Inbox/" + name, std::string("Subject: ") + name + "\r\n\r\nText\r\n");
    window = std::make_unique<RecordingProg>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }
  void cleanup() {
    window.reset();
    env.reset();
  }

  void menusAndButtonsAreComplete() {
    QStringList menus;
    for (QAction* action : window->menuBar()->actions()) menus << action->text();
    QCOMPARE(menus, QStringList({"&File", "&Edit", "&Search", "&View", "&Text", "&Window", "&Help"}));
    QCOMPARE(Captions(window->findChild<QMenu*>("File1")),
             QStringList({"&New", "&Open", "&Close", "S&ave As...", "-", "&Import", "&Export", "&Move", "&Delete",
                          "&Print", "-", "Pos&tpone Current", "Spoo&l Current", "&Send Current", "Next ne&w message",
                          "-", "A&uto add", "&Reply", "Send &File / Forward", "-", "&Get / Send All", "R&un Filter",
                          "R&efresh Names", "-", "E&xit"}));
    // No two commands share a shortcut, and every item says what it is.
    QStringList shortcuts;
    for (QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
      for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        QVERIFY2(!action->text().isEmpty(), qPrintable(menu->objectName()));
        if (!action->shortcut().isEmpty()) shortcuts << action->shortcut().toString();
      }
    }
    QCOMPARE(shortcuts.removeDuplicates(), 0);
    QCOMPARE(window->Action(Command::GetSendAll)->shortcut(), QKeySequence("Ctrl+G"));
    QCOMPARE(window->Action(Command::FindNext)->shortcut(), QKeySequence("F3"));

    QStringList names, enabled;
    int widths = 0;
    for (QToolButton* button : window->SpeedPanel->findChildren<QToolButton*>()) {
      names << button->objectName();
      if (button->isEnabled()) enabled << button->objectName();
      QVERIFY2(!button->toolTip().isEmpty() && !button->statusTip().isEmpty(), qPrintable(button->objectName()));
      widths += button->sizeHint().width();
    }
    QCOMPARE(names, QStringList({"NewBtn", "OpenBtn", "SaveBtn", "CopyBtn", "CutBtn", "PasteBtn", "SpoolBtn",
                                 "SendBtn", "PostponeBtn", "ReplyBtn", "CloseBtn", "DeleteBtn", "MoveBtn"}));
    QCOMPARE(enabled, QStringList({"NewBtn", "OpenBtn"}));
    QCOMPARE(window->SpeedPanel->height(), 25);
    QVERIFY(window->minimumSizeHint().width() <= 577);  // the bar does not widen the window
    QVERIFY2(widths <= 575, qPrintable(QString::number(widths)));  // and every caption fits
    QCOMPARE(window->StatusLine->width(), 291);
  }

  void hintsShowTheirLongPartInTheStatusLine() {
    auto* button = window->findChild<QToolButton*>("NewBtn");
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(button, &enter);
    QCOMPARE(window->StatusLine->text(), QString("Start a new mail message"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    QCOMPARE(window->StatusLine->text(), QString());
    window->Action(Command::GetSendAll)->showStatusText(window.get());
    QCOMPARE(window->StatusLine->text(), QString("Retrieve new mail from the net"));
    QCOMPARE(window->Window1->menuAction()->statusTip(), QString("Window related commands such as Tile and Cascade"));
    // Moving on to a control without a hint leaves no hint behind.
    QEnterEvent into_area(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(window->ClientArea->viewport(), &into_area);
    QCOMPARE(window->StatusLine->text(), QString());
  }

  void itemsFollowTheActiveWindow() {
    auto enabled = [&](Command command) { return window->Action(command)->isEnabled(); };
    auto button = [&](const char* name) { return window->findChild<QToolButton*>(name)->isEnabled(); };
    QVERIFY(!enabled(Command::FileClose) && !enabled(Command::Tile) && !enabled(Command::Reply));
    QVERIFY(enabled(Command::FileNew) && enabled(Command::GetSendAll));

    window->Panel3->setText("Message saved.");
    TMailViewer* received = window->CreateMailViewer(env->MailDir() + "Inbox/a.mail", "", "", "");
    QVERIFY(received);
    QVERIFY(window->Panel3->text().isEmpty());
    for (Command c : {Command::FileClose, Command::FileSaveAs, Command::Copy, Command::Find, Command::FindNext,
                      Command::Replace, Command::Cascade, Command::Tile, Command::MinimizeAll, Command::Print,
                      Command::Move, Command::Delete, Command::Reply})
      QVERIFY2(enabled(c), qPrintable(window->Action(c)->text()));
    for (Command c : {Command::Cut, Command::Paste, Command::Spool, Command::Send, Command::Postpone, Command::Undo})
      QVERIFY2(!enabled(c), qPrintable(window->Action(c)->text()));
    QVERIFY(button("MoveBtn") && button("ReplyBtn") && button("CloseBtn") && !button("SendBtn"));

    window->RunCommand(Command::FileNew);
    QCOMPARE(window->ActiveViewer()->windowTitle(), QString("Compose New Message 2"));
    for (Command c : {Command::Cut, Command::Paste, Command::Spool, Command::Send, Command::Postpone, Command::Undo,
                      Command::FileClose})
      QVERIFY2(enabled(c), qPrintable(window->Action(c)->text()));
    for (Command c : {Command::Move, Command::Delete, Command::Reply}) QVERIFY(!enabled(c));
    QVERIFY(button("SendBtn") && button("CutBtn") && !button("DeleteBtn"));

    window->ClientArea->setActiveSubWindow(Frame(received));
    QVERIFY(enabled(Command::Reply) && !enabled(Command::Send));
  }

  void deferredWindowsOpenAsOthersClose() {
    for (const char* name : {"a.mail", "b.mail", "c.mail", "d.mail", "e.mail"})
      QVERIFY(window->CreateMailViewer(env->MailDir() + "Inbox/" + name, "", "", ""));
    window->failures = 2;
    std::string older = env->MailDir() + "Inbox/a.mail", newer = env->MailDir() + "Inbox/b.mail";
    QVERIFY(!window->CreateMailViewer(older, "", "", ""));
    QVERIFY(!window->CreateMailViewer(newer, "", "", ""));
    QCOMPARE(window->DeferredOpens, (std::vector<std::string>{older, newer}));
    QCOMPARE(window->MessageWindowCount(), 5);
    window->opened.clear();

    window->Viewers()[0]->parentWidget()->close();
    QTRY_COMPARE(window->opened.size(), size_t(1));
    QCOMPARE(window->opened[0], newer);
    QCOMPARE(window->MessageWindowCount(), 5);

    window->Viewers()[0]->parentWidget()->close();
    QTRY_COMPARE(window->opened.size(), size_t(2));
    QCOMPARE(window->opened[1], older);
    QVERIFY(window->DeferredOpens.empty());

    window->Viewers()[0]->parentWidget()->close();
    QTRY_COMPARE(window->LastChildCount, 4);
    QCOMPARE(window->MessageWindowCount(), 4);
    QCOMPARE(window->opened.size(), size_t(2));
  }

  void droppedFilesOpenInDropOrder() {
    std::string a = env->MailDir() + "Inbox/c.mail", b = env->MailDir() + "Inbox/a.mail";
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(a)),
                  QUrl::fromLocalFile(QString::fromStdString(env->MailDir() + "Inbox/gone.mail")),
                  QUrl::fromLocalFile(QString::fromStdString(b))});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    QCOMPARE(window->opened, (std::vector<std::string>{a, "", b}));
    QCOMPARE(env->ui.Texts(), (std::vector<std::string>{"File does not exist."}));
    QTRY_COMPARE(Titles(*window), QStringList({QString::fromStdString(a), QString::fromStdString(b)}));
  }

  void windowMenuArrangesAndListsWindows() {
    window->CreateMailViewer(env->MailDir() + "Inbox/a.mail", "", "", "");
    window->RunCommand(Command::FileNew);
    QMetaObject::invokeMethod(window->Window1, "aboutToShow");
    QStringList captions = Captions(window->Window1);
    QCOMPARE(captions.mid(3), QStringList({"-", QString::fromStdString("&1 " + env->MailDir() + "Inbox/a.mail"),
                                           "&2 Compose New Message 2"}));
    QVERIFY(window->Window1->actions().last()->isChecked());
    window->Window1->actions()[4]->trigger();
    QCOMPARE(window->ActiveViewer()->windowTitle(), QString::fromStdString(env->MailDir() + "Inbox/a.mail"));

    window->RunCommand(Command::MinimizeAll);
    for (TMailViewer* viewer : window->Viewers()) QVERIFY(Frame(viewer)->isMinimized());
    QCOMPARE(window->MessageWindowCount(), 2);
  }

  void newWindowsOpenMinimizedWhileViewersAreNotMaximized() {
    MaximizeViewers = false;
    TMailViewer* viewer = window->CreateMailViewer(env->MailDir() + "Inbox/a.mail", "", "", "");
    MaximizeViewers = true;
    QVERIFY(Frame(viewer)->isMinimized());
    viewer = window->CreateMailViewer(env->MailDir() + "Inbox/b.mail", "", "", "");
    QVERIFY(Frame(viewer)->isMaximized());
  }

  void aboutBoxShowsTheProduct() {
    QStringList texts;
    ModalDriver driver({[&](QWidget* widget) {
      auto* box = qobject_cast<TAboutBox*>(widget);
      QVERIFY(box);
      texts << box->ProductName->text() << box->Version->text() << box->Comments->text();
      box->OKButton->click();
    }});
    window->RunCommand(Command::About);
    QCOMPARE(texts, QStringList({"Corvelle, 32-bit", "Version 1.24b", "A mail interface for the Windows 95 Explorer."}));
  }

  void exitAsksModifiedCompositionsFirst() {
    window->RunCommand(Command::FileNew);
    window->ActiveViewer()->MailText->insertPlainText("Dear Bob,");
    env->ui.Script({Answer::Cancel});
    window->RunCommand(Command::Exit);
    QVERIFY(window->isVisible());
    QCOMPARE(env->ui.Texts(), (std::vector<std::string>{"File  has been modified. Postpone mail file?"}));
    env->ui.Script({Answer::No});
    window->RunCommand(Command::Exit);
    QVERIFY(!window->isVisible());
  }

  void firstAddressAndSubjectFillTheNewWindow() {
    TMailViewer* viewer = window->CreateMailViewer("Compose New Message 1", "bob@example.org", "", "Hello");
    QCOMPARE(viewer->FromLine->itemText(0), QString("bob@example.org"));
    QCOMPARE(viewer->SubjectLine->text(), QString("Hello"));
    QVERIFY(viewer->IsNewMessage());
    QVERIFY(viewer->AskOnClose);
    QVERIFY(viewer->FileName.empty());
    QVERIFY(!viewer->MailText->isReadOnly() && !viewer->SubjectLine->isReadOnly());
    QVERIFY(!viewer->DateLine->isEnabled());
    QCOMPARE(viewer->ToAddrBtn->text(), QString("To: "));
  }

 private:
  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<RecordingProg> window;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::MainWindowTest)
#include "main_window_test.moc"
