// The main window: built without a start-up, its bars and status line, the enabling of
// commands for the active message window, keyboard mnemonics, deferred windows, file
// drops, the command registry and the Window and Help menus; then the start-up itself.

#include <QComboBox>
#include <QDropEvent>
#include <QLayout>
#include <QLineEdit>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QUrl>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "core/accounts/account.h"
#include "ui/main/corvel_prog.h"
#include "ui/viewer/mail_viewer.h"
#include "ui_support.h"

namespace corvelle {
namespace {

using namespace testing;
using Texts = std::vector<std::string>;

// Records every window asked for, and fails to make windows while `failures` > 0.
class RecordingProg : public TCorvelProg {
 public:
  using TCorvelProg::TCorvelProg;
  TMailViewer* CreateMailViewer(const std::string& name, const std::string& first_address,
                                const std::string& reply_source, const std::string& subject) override {
    opened.push_back(name);
    return TCorvelProg::CreateMailViewer(name, first_address, reply_source, subject);
  }
  Texts opened;
  int failures = 0;

 protected:
  TMailViewer* NewViewer() override {
    if (failures > 0 && failures--) throw std::runtime_error("no window");
    return TCorvelProg::NewViewer();
  }
};

QMdiSubWindow* Frame(TMailViewer* viewer) { return qobject_cast<QMdiSubWindow*>(viewer->parentWidget()); }

// The four files of the two registered types.
Texts RegistrationFiles(const UiEnvironment& env) {
  Texts files;
  for (const char* type : {"mail", "new"})
    for (const char* kind : {"mime/packages/corvelle-%1.xml", "applications/corvelle-%1.desktop"})
      files.push_back(env.DataDir() + QString(kind).arg(type).toStdString());
  return files;
}

// How many of the twelve registered lines they hold.
int RegisteredLines(const UiEnvironment& env) {
  QString text;
  for (const std::string& file : RegistrationFiles(env)) text += QString::fromStdString(ReadFile(file));
  return int(text.count("<glob ") + text.count("<comment>") + text.count("<icon ") + text.count("\nExec="));
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h"}) WriteFile(Mail(name), std::string("Subject: ") + name + "\r\n\r\n");
    window = std::make_unique<RecordingProg>(env->services);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
  }
  void cleanup() {
    window.reset();
    env.reset();
  }

  void barsFitShortcutsAreUniqueAndHintsShow() {
    QStringList shortcuts;
    for (QMenu* menu : window->menuBar()->findChildren<QMenu*>())
      for (QAction* action : menu->actions())
        if (!action->shortcut().isEmpty()) shortcuts << action->shortcut().toString();
    QCOMPARE(shortcuts.removeDuplicates(), 0);
    int widths = 0;
    for (QToolButton* button : window->SpeedPanel->findChildren<QToolButton*>()) widths += button->sizeHint().width();
    QVERIFY(window->minimumSizeHint().width() <= 577);          // the bar does not widen the window
    QVERIFY2(widths <= 575, qPrintable(QString::number(widths)));  // and every caption fits
    // Hints show their long part in the status line.
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(window->findChild<QToolButton*>("NewBtn"), &enter);
    QCOMPARE(window->StatusLine->text(), QString("Start a new mail message"));
    QApplication::sendEvent(window->ClientArea->viewport(), &enter);  // a control without a hint
    QCOMPARE(window->StatusLine->text(), QString());
  }

  // A bar too narrow for every caption cuts them short instead of piling the buttons up;
  // a mnemonic left to a menu is not underlined.
  void speedButtonsShrinkWithoutOverlapping() {
    window->resize(100, 410);  // as narrow as the window goes
    QTRY_VERIFY(window->SpeedPanel->width() <= 320);
    window->SpeedPanel->layout()->activate();
    QList<QToolButton*> buttons = window->SpeedPanel->findChildren<QToolButton*>();
    QCOMPARE(buttons.size(), 13);
    for (int i = 0; i < buttons.size(); ++i) {
      // No button squeezed below what it can draw: its caption would run into the next.
      QVERIFY2(buttons[i]->width() >= buttons[i]->minimumSizeHint().width(), qPrintable(buttons[i]->objectName()));
      if (i > 0) QVERIFY(buttons[i - 1]->geometry().right() < buttons[i]->geometry().left());
    }
    QVERIFY(buttons.last()->geometry().right() < window->SpeedPanel->width());
    for (QToolButton* button : buttons)
      QVERIFY2(button->text().contains('&') == !button->shortcut().isEmpty(), qPrintable(button->text()));
    QCOMPARE(window->findChild<QToolButton*>("CloseBtn")->text(), QString("Close"));
  }

  // The menu shortcuts win over the editing keys of the fields and over the message
  // window's own Close key.
  void programShortcutsWinInEveryField() {
    TMailViewer* received = window->CreateMailViewer(Mail("a"), "", "", "");
    received->MailText->setFocus();
    QTest::keyClick(received->MailText, Qt::Key_W, Qt::ControlModifier);  // Next new message
    QCOMPARE(env->ui.Texts().size(), size_t(1));
    QVERIFY2(env->ui.Texts()[0].starts_with("No new messages found in folder "), env->ui.Texts()[0].c_str());
    QCOMPARE(window->MessageWindowCount(), 1);

    TMailViewer* composition = window->CreateMailViewer("Compose New Message 2", "bob@example.org", "", "Plans");
    composition->SubjectLine->setFocus();
    composition->SubjectLine->end(false);
    QTest::keyClick(composition->SubjectLine, Qt::Key_U, Qt::ControlModifier);  // Undo: nothing to undo
    QCOMPARE(composition->SubjectLine->text(), QString("Plans"));
    {
      int save_dialogs = 0;
      ModalDriver driver({[&](QWidget* dialog) {
        ++save_dialogs;
        qobject_cast<QDialog*>(dialog)->reject();
      }});
      QTest::keyClick(composition->SubjectLine, Qt::Key_A, Qt::ControlModifier);  // Save As
      QCOMPARE(save_dialogs, 1);
      QVERIFY(!composition->SubjectLine->hasSelectedText());
    }
    window->activateWindow();  // the frame again, after the dialog
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    composition->SubjectLine->setFocus();
    QTest::keyClick(composition->SubjectLine, Qt::Key_E, Qt::ControlModifier);  // Close
    QTRY_COMPARE(window->Viewers(), std::vector<TMailViewer*>{received});
  }

  void itemsFollowTheActiveWindowAndMenuMnemonicsWin() {
    QCOMPARE(EnabledState(), QString("0000000000 000 000000 1000"));
    window->Panel3->setText("Message saved.");
    TMailViewer* message = window->CreateMailViewer(Mail("a"), "", "", "");
    QCOMPARE(window->Panel3->text(), QString("Message saved."));  // a result stays until the next command
    QCOMPARE(EnabledState(), QString("1111111111 111 000000 1110"));
    window->RunCommand(Command::FileNew);
    QVERIFY(window->Panel3->text().isEmpty());
    QCOMPARE(window->ActiveViewer()->windowTitle(), QString("Compose New Message 2"));
    QCOMPARE(EnabledState(), QString("1111111111 000 111111 1101"));
    // Menu mnemonics win over the enabled speed buttons' ("Clos&e", "&Send", "Pos&tpone").
    for (auto [key, menu] : {std::pair{Qt::Key_E, "Edit1"}, {Qt::Key_S, "Search1"}, {Qt::Key_T, "Text1"}}) {
      QTest::keyClick(window.get(), key, Qt::AltModifier);
      QTRY_COMPARE(QApplication::activePopupWidget(), window->findChild<QMenu*>(menu));
      QApplication::activePopupWidget()->close();
      QVERIFY(!qobject_cast<QToolButton*>(QApplication::focusWidget()));
    }
    window->ClientArea->setActiveSubWindow(Frame(message));
    QCOMPARE(EnabledState(), QString("1111111111 111 000000 1110"));
  }

  // Closing makes room for deferred windows, newest first, one per closed window, and
  // never more windows than were open.
  void deferredWindowsOpenAsOthersClose() {
    for (const char* name : {"a", "b", "c", "d", "e"}) QVERIFY(window->CreateMailViewer(Mail(name), "", "", ""));
    window->failures = 3;
    for (const char* name : {"h", "g", "f"}) QVERIFY(!window->CreateMailViewer(Mail(name), "", "", ""));
    QCOMPARE(window->DeferredOpens, (Texts{Mail("h"), Mail("g"), Mail("f")}));
    window->opened.clear();
    window->Viewers()[0]->parentWidget()->close();
    window->Viewers()[1]->parentWidget()->close();
    QTRY_COMPARE(window->opened.size(), size_t(2));
    QTest::qWait(20);
    QCOMPARE(window->opened, (Texts{Mail("f"), Mail("g")}));
    QCOMPARE(window->MessageWindowCount(), 5);
    window->Viewers()[0]->parentWidget()->close();
    QTRY_VERIFY(window->DeferredOpens.empty());
    QCOMPARE(window->opened.back(), Mail("h"));
    window->Viewers()[0]->parentWidget()->close();
    QTRY_COMPARE(window->LastChildCount, 4);
    QCOMPARE(window->opened.size(), size_t(3));
  }

  // Closing a window activates the one used before it, not the first one opened.
  void closingReturnsToTheWindowUsedBefore() {
    std::vector<TMailViewer*> viewers;
    for (const char* name : {"a", "b", "c"}) viewers.push_back(window->CreateMailViewer(Mail(name), "", "", ""));
    window->ClientArea->setActiveSubWindow(Frame(viewers[1]));
    window->ClientArea->setActiveSubWindow(Frame(viewers[2]));
    window->RunCommand(Command::FileClose);
    QTRY_COMPARE(window->MessageWindowCount(), 2);
    QCOMPARE(window->ActiveViewer(), viewers[1]);
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
    QCOMPARE(window->opened, (Texts{Mail("c"), "", Mail("a")}));
    QCOMPARE(env->ui.Texts(), Texts{"File does not exist."});
    QTRY_COMPARE(window->MessageWindowCount(), 2);
  }

  void windowMenuListsAndMinimizesWindows() {
    window->MaximizeViewers = false;
    QVERIFY(Frame(window->CreateMailViewer(Mail("a"), "", "", ""))->isMinimized());
    window->MaximizeViewers = true;
    window->RunCommand(Command::FileNew);
    QVERIFY(Frame(window->ActiveViewer())->isMaximized());
    QMetaObject::invokeMethod(window->Window1, "aboutToShow");
    QList<QAction*> items = window->Window1->actions().mid(3);
    QVERIFY(items.size() == 3 && items[1]->text() == QString::fromStdString("&1 Mail - [" + Mail("a") + "]"));
    QVERIFY(items[2]->isChecked() && !items[1]->isChecked());
    items[1]->trigger();
    QCOMPARE(window->ActiveViewer()->FileName, Mail("a"));
    window->RunCommand(Command::MinimizeAll);
    for (TMailViewer* viewer : window->Viewers()) QVERIFY(Frame(viewer)->isMinimized());
  }

  // "Get mail from" lists the accounts as they are each time the File menu opens; with one
  // account there is nothing to choose and it is hidden.
  void getMailFromListsTheAccountsOfTheSettings() {
    auto* file = window->menuBar()->findChild<QMenu*>("File1");
    auto* from = window->menuBar()->findChild<QMenu*>("GetMailFrom1");
    QMetaObject::invokeMethod(file, "aboutToShow");
    QVERIFY(!from->menuAction()->isVisible());
    env->services.settings.UserName = "joe";
    env->services.settings.MailServer = "pop.example";
    env->services.settings.Accounts.push_back(Account{.Name = "Home & away"});
    QMetaObject::invokeMethod(file, "aboutToShow");
    QVERIFY(from->menuAction()->isVisible());
    QStringList captions;
    for (QAction* item : from->actions()) captions << item->text();
    QCOMPARE(captions, (QStringList{"joe@pop.example", "Home && away"}));
  }

  void commandsRunThroughTheRegistry() {
    QString comment, page;
    ModalDriver driver({[&](QWidget* box) {
                          comment = box->findChild<QLabel*>("Comments")->text();
                          qobject_cast<QDialog*>(box)->accept();
                        },
                        [&](QWidget* setup) {
                          page = qobject_cast<TSetupDlg*>(setup)->Setup->currentWidget()->objectName();
                          qobject_cast<TSetupDlg*>(setup)->CancelBtn->click();
                        }});
    window->RunCommand(Command::About);
    QCOMPARE(comment, QString("A mail interface for your file manager."));
    window->RunCommand(Command::ViewPreferences);  // cancelled after the start-up: the program goes on
    QVERIFY(page == "PreferencesPage" && env->end_codes.empty() && env->ui.boxes.empty());
    window->RunCommand(Command::GetSendAll);  // no handler yet: nothing happens
    QVERIFY(driver.handled == 2 && driver.unexpected == 0);
    CommandRegistry registry;
    TCorvelProg* ran = nullptr;
    registry.Register(Command::Print, [&](TCorvelProg& w) { ran = &w; });
    QVERIFY(registry.Run(Command::Print, *window, {}) && ran == window.get() && !registry.Run(Command::Move, *window, {}));
  }

  // A window is a composition by its caption, asked before it closes with typed text; a
  // file is shown read-only, decoded.
  void viewersComposeByCaptionAndShowFilesDecoded() {
    WriteFile(Mail("x"), "Subject: Caf\xe9\r\n\r\nNa\xefve\r\n");  // Windows-1252
    TMailViewer* viewer = window->CreateMailViewer(Mail("x"), "", "", "");
    QVERIFY(viewer->FileName == Mail("x") && !viewer->AskOnClose && viewer->MailText->isReadOnly());
    QCOMPARE(viewer->MailText->toPlainText(), QString::fromUtf8("Subject: Caf\xc3\xa9\n\nNa\xc3\xafve"));
    viewer = window->CreateMailViewer("Compose New Message 1", "bob@example.org", "", "Hello");
    QVERIFY(viewer->FromLine->itemText(0) == "bob@example.org" && viewer->SubjectLine->text() == "Hello");
    QVERIFY(viewer->AskOnClose && viewer->FileName.empty() && !viewer->MailText->isReadOnly());
    viewer->MailText->insertPlainText("Dear Bob,");
    env->ui.Script({Answer::Cancel, Answer::No});
    window->RunCommand(Command::Exit);
    QVERIFY(window->isVisible());
    QCOMPARE(env->ui.Texts(), Texts{"File  has been modified. Postpone mail file?"});
    for (auto [caption, composing] : {std::pair{"Compose New Message ", true}, {"Compose New Message 12 x", true},
                                      {"Compose New Message", false}, {"compose new message 1", false}}) {
      QVERIFY2((ViewerKindOfName(caption) == ViewerKind::Composing) == composing, caption);
    }
    viewer->setWindowTitle("Mail - [x]");  // the kind was fixed when the window opened
    QVERIFY(viewer->IsNewMessage());
    window->RunCommand(Command::Exit);
    QVERIFY(!window->isVisible());
  }

  // The start-up, on a second window besides the shown one.

  // A first start: the file types registered, the Directories page, and after its OK the
  // tree with its samples, an empty address book, the file written and the types again.
  void firstStartCompletesTheSetupAndRegistersTwice() {
    int lines_before_dialog = -1;
    QString page;
    TCorvelProg prog(env->services);
    ModalDriver driver({PressOkInSetup(page, [&](TSetupDlg& dialog) {
      QVERIFY(prog.FileTypes.Wait(10000));
      lines_before_dialog = RegisteredLines(*env);
      for (const std::string& file : RegistrationFiles(*env)) ::unlink(file.c_str());  // to see the second one
      QCOMPARE(dialog.MailDirectoryTxt->text(), QString::fromStdString(env->MailDir()));
      dialog.MailDirectoryTxt->setText(QString::fromStdString(env->home.path() + "Mail"));  // no separator
      dialog.DefMailFolderTxt->setText("//Inbox/");
      FillUserSettings(dialog, "s3cr\xc3\xa9t");
    })});
    QVERIFY(prog.StartUp() && prog.FileTypes.Wait(10000));
    QVERIFY(driver.handled == 1 && driver.unexpected == 0 && page == "DirectoriesPage");
    QVERIFY(lines_before_dialog == 12 && RegisteredLines(*env) == 12);
    QVERIFY(env->ui.boxes.empty() && env->end_codes.empty() && !prog.InStartup);
    QCOMPARE(MailSettings.Signature, env->MailDir() + "System/Signatures/signature.txt");
    QCOMPARE(MailSettings.DefaultABPath, env->MailDir() + "System/AddressBook/AddressBook.cvab");
    QCOMPARE(DecodePassword(MailSettings.PassWord), std::string("s3cr\xc3\xa9t"));
    QVERIFY(FolderExists(env->MailDir() + "People") && FileExists(MailSettings.DefaultABPath));
    std::string ini = ReadFile(env->IniPath());
    for (std::string line : {"MailDirectory=" + env->MailDir(), std::string("DefaultMailFolder=Inbox"),
                             std::string("DefaultAB=AddressBook")})
      QVERIFY2(ini.find(line + "\r\n") != std::string::npos, line.c_str());
  }

  // Each row starts with the old file types in place (only another version rewrites them)
  // and a window position that is neither read nor written without RememberPos.
  void checksOpenTheirPage_data() {
    QTest::addColumn<QString>("change");  // keys of section main, or a folder to remove
    QTest::addColumn<QString>("page");    // empty: no dialog
    QTest::newRow("complete") << "" << "";
    QTest::newRow("other version") << "CurrentVersion=1.24a\r\n" << "UserSettingsPage";
    QTest::newRow("empty name") << "MyName=\r\n" << "UserSettingsPage";
    QTest::newRow("tree incomplete") << "Spool" << "DirectoriesPage";
    QTest::newRow("NUL in the mail directory") << "MailDirectory=%1" << "DirectoriesPage";
  }
  void checksOpenTheirPage() {
    QFETCH(QString, change);
    QFETCH(QString, page);
    std::string keys = change.contains('=') ? change.arg(QString::fromStdString(env->MailDir())).toStdString() : "";
    if (change.contains("%1")) keys += std::string("\0/elsewhere/\r\n", 14);
    env->WriteCompleteSettings(keys + "XPos=301\r\nYPos=202\r\n");
    for (const std::string& file : RegistrationFiles(*env)) WriteFile(file, "old\n");
    if (change == "Spool") QCOMPARE(::rmdir((env->MailDir() + "Spool").c_str()), 0);
    QString opened;
    ModalDriver driver({PressOkInSetup(opened, [&](TSetupDlg& dialog) {
      dialog.MailDirectoryTxt->setText(QString::fromStdString(env->MailDir()));
      dialog.NameTxt->setText("Ann");
    })});
    TCorvelProg prog(env->services);
    QVERIFY(prog.StartUp() && prog.FileTypes.Wait(10000));
    QVERIFY(opened == page && driver.unexpected == 0);
    Texts tree{"Your mail directory or one of its components \n\rdoes not exist.\n\rVerify or enter a new mail "
               "directory\n\rin the setup dialog."};
    QCOMPARE(env->ui.Texts(), page == "DirectoriesPage" ? tree : Texts{});
    QCOMPARE(RegisteredLines(*env), change.contains("Version") ? 12 : 0);
    QVERIFY(FolderExists(env->MailDir() + "Spool") && prog.pos() != QPoint(301, 202) && prog.close());
    std::string ini = ReadFile(env->IniPath());
    QVERIFY(ini.find("CurrentVersion=1.24b") != std::string::npos && ini.find("XPos=0") == std::string::npos);
  }

  void cancellingAtStartupEndsTheProgram() {
    ModalDriver driver({[](QWidget* widget) { QTest::keyClick(widget, Qt::Key_Escape); }});
    TCorvelProg prog(env->services);
    QVERIFY(!prog.StartUp());
    QCOMPARE(driver.unexpected, 0);  // nothing more is asked once the program ends
    QCOMPARE(env->ui.Texts(), Texts{"Setup is not complete.  Corvelle cannot run."});
    QCOMPARE(env->ui.boxes[0].caption, std::string("Corvelle"));
    QVERIFY(env->end_codes == std::vector<int>{0} && !PathExists(env->IniPath()));
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
    TCorvelProg prog(env->services);
    QVERIFY(MailSettings.MailDirectory.empty() && RegisteredLines(*env) == 0);
    QVERIFY(prog.StartUp() && !PathExists(bin + "done"));
    QTRY_VERIFY(PathExists(bin + "started"));
    WriteFile(bin + "go", "");
    QVERIFY(prog.FileTypes.Wait(30000) && PathExists(bin + "done") && driver.unexpected == 0);
  }

  // The position comes from the file only with RememberPos "1", and goes to it on close.
  void positionIsRestoredAndSavedOnClose() {
    env->WriteCompleteSettings("RememberPos=1\r\nXPos=0x25\r\nYPos=45\r\n");
    TCorvelProg prog(env->services);
    QVERIFY(prog.StartUp());
    QCOMPARE(prog.pos(), QPoint(37, 45));
    prog.move(60, 70);
    QVERIFY(prog.close());
    std::string ini = ReadFile(env->IniPath());
    QVERIFY(ini.find("XPos=60\r\nYPos=70\r\n") != std::string::npos && ini.find("MyName=Ann") != std::string::npos);
  }

 private:
  std::string Mail(const char* name) const { return env->MailDir() + "Inbox/" + name + ".mail"; }

  // The commands that need any message window, a received one and a composition, then
  // the New, Close, Move and Send buttons: "1" for each one enabled.
  QString EnabledState() const {
    using enum Command;
    QString state;
    for (auto group : {{FileClose, FileSaveAs, Copy, Find, FindNext, Replace, Cascade, Tile, MinimizeAll, Print},
                       {Move, Delete, Reply}, std::initializer_list<Command>{Cut, Paste, Spool, Send, Postpone, Undo}}) {
      for (Command c : group) state += window->Action(c)->isEnabled() ? '1' : '0';
      state += ' ';
    }
    for (const char* name : {"NewBtn", "CloseBtn", "MoveBtn", "SendBtn"})
      state += window->findChild<QToolButton*>(name)->isEnabled() ? '1' : '0';
    return state;
  }

  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<RecordingProg> window;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::MainWindowTest)
#include "main_window_test.moc"
#include "support/test_settings.h"
