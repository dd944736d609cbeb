// The transfer commands on a main window without start-up: Spool Current of a reopened
// postponed message, Send Current and Send File with the server down, the dialog's cancel
// buttons against a slow server, the busy guard that refuses a second transfer command, and
// the mail directory's lock that keeps another process out.

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <filesystem>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/busy_guard.h"
#include "core/cmdline/forwarded_line.h"
#include "core/store/message_text.h"
#include "net/sockets/transport.h"
#include "net/support/fake_server.h"
#include "platform/mail_dir_lock.h"
#include "ui/cmdline/parm_processing.h"
#include "ui/main/guarded_command.h"
#include "ui/main/corvel_prog.h"
#include "ui/transfer/trans_dlg.h"
#include "ui/viewer/mail_viewer.h"
#include "support/lock_holder.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;
using Texts = std::vector<std::string>;
using testing::FakeServer;

class TransferTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    QVERIFY(ShowMainWindow(*env, window));
  }
  void cleanup() {
    window.reset();
    env.reset();
  }

  // The postponed file is the one copy besides the window: a spool write that fails keeps
  // it and the window; it goes only once the complete ".out" file exists.
  void spoolingAPostponedMessageRemovesItsFileOnlyAfterTheSpoolFileExists() {
    const std::string postponed = Mail("Postponed/Plans.newmail");
    WriteFile(postponed, "To: bob@example.org\r\nSubject: Plans\r\n\r\nold\r\n");
    TMailViewer* viewer = window->CreateMailViewer(postponed, "", "", "");
    QVERIFY(viewer && viewer->IsNewMessage());
    viewer->MailText->setPlainText("new text");
    const std::string reopened = viewer->FileName;

    QVERIFY(QDir(QString::fromStdString(Mail("Spool"))).removeRecursively());
    WriteFile(Mail("Spool"), "a file where the spool folder should be");
    window->RunCommand(Command::Spool);
    QCOMPARE(env->ui.Texts(), Texts{"Mail message could not be saved."});
    QVERIFY(FileExists(reopened));
    QCOMPARE(window->MessageWindowCount(), 1);

    QVERIFY(RemoveFile(Mail("Spool")) && MakeFolders(Mail("Spool")));
    window->RunCommand(Command::Spool);
    QTRY_COMPARE(window->MessageWindowCount(), 0);
    QCOMPARE(window->Panel3->text(), QString("Message successfully spooled."));  // never "sent"
    QCOMPARE(ListNames(Mail("Spool")), Texts{"0.out"});
    QVERIFY(ReadFile(Mail("Spool/0.out")).ends_with("\r\n\r\nnew text\r\n"));
    QCOMPARE(ListNames(Mail("Postponed")), Texts{});
    QCOMPARE(window->Panel3->text(), QString("Message successfully spooled."));
    QCOMPARE(env->ui.Texts().size(), size_t(1));
  }

  // While one command holds the guard, the others do nothing but say so, and a forwarded
  // command line waits in the queue until the guard is free.
  void transferCommandsAreRefusedWhileOneRuns() {
    WriteFile(Mail("Spool/0.out"), "To: bob@example.org\r\n\r\nwaiting\r\n");
    window->RunCommand(Command::FileNew);
    {
      BusyGuard running;
      for (Command command :
           {Command::GetSendAll, Command::RunFilter, Command::Send, Command::Spool, Command::SendFile}) {
        window->Panel3->clear();
        window->RunCommand(command);
        QCOMPARE(window->Panel3->text(), QString("Busy: wait for the running transfer to end."));
      }
      HandleParmEntry(*window, *EncodeForwardedLine({"/f"}));
      QCOMPARE(window->PendingParms.size(), size_t(1));
    }
    QCOMPARE(env->ui.Texts(), Texts{});
    QCOMPARE(ListNames(Mail("Spool")), Texts{"0.out"});
    QCOMPARE(window->MessageWindowCount(), 1);
    RunPendingParms(*window);
    QVERIFY(window->PendingParms.empty());
    QCOMPARE(window->Panel3->text(), QString("Filtering complete."));
  }

  // Another process working on the same mail directory (a cron job's run) holds its lock:
  // the commands wait their bounded time, say so and change nothing; once it is gone they run.
  void commandsWaitForAnotherProcessOnTheMailDirectory() {
    WriteFile(Mail("Spool/a.new"), "From: x@example.org\r\nSubject: waiting\r\n\r\nbody\r\n");
    WriteFile(Mail("Inbox/b.mail"), "Subject: kept\r\n\r\nbody\r\n");
    env->services.mail_dir_wait_ms = 20;
    pid_t holder = testing::HoldLockInAnotherProcess(Mail("System/.corvelle.lock"));
    QVERIFY(holder > 0);
    window->RunCommand(Command::RunFilter);
    window->RunCommand(Command::ExportPine, {.file = "Inbox"});
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    QCOMPARE(env->ui.Texts(), Texts(2, kOtherProcessBusyText));
    QCOMPARE(window->Panel3->text(), QString(kOtherProcessBusyText));
    QCOMPARE(ListNames(Mail("Spool")), Texts{"a.new"});
    QCOMPARE(ListNames(Mail("Inbox")), Texts{"b.mail"});
    window->RunCommand(Command::RunFilter);
    env->services.mail_dir_wait_ms = kMailDirWaitMs;
    QCOMPARE(ListNames(Mail("Spool")), Texts{});
    QCOMPARE(env->ui.Texts().size(), size_t(2));
  }

  // The file goes into a spool file byte for byte behind its header, and stays there when
  // the server cannot be reached; a file that cannot be read sends nothing. The header is
  // that of any outgoing message: 8-bit text as encoded words, a date and a message id.
  void sendFileSpoolsTheFileFirstAndKeepsItWhenTheSendFails() {
    MailSettings.SendServer = "127.0.0.1";
    MailSettings.SendPort = "1";  // nothing listens there
    const char raw[] = "line\r\n.dot\n\xff\0 end";
    const std::string bytes(raw, sizeof raw - 1);
    WriteFile(Mail("report.txt"), bytes);
    for (const std::string subject : {"", "Report f\xC3\xBCr Q3"}) {
      std::filesystem::remove(Mail("Spool/0.out"));
      window->RunCommand(Command::SendFile, {Mail("report.txt"), "bob@example.org", subject});
      QCOMPARE(env->ui.Texts().back(), std::string("Mail Message could not be sent, mail file will be spooled."));
      const std::string spooled = ReadFile(Mail("Spool/0.out"));
      const std::string header = spooled.substr(0, spooled.find("\r\n\r\n") + 2);
      QCOMPARE(header.substr(0, header.find("Date: ")),
               "To: bob@example.org\r\nFrom: Ann Example <ann@example.org>\r\nSubject: " +
                   (subject.empty() ? "Sending you file " + Mail("report.txt") : "=?UTF-8?B?UmVwb3J0IGbDvHIgUTM=?=") +
                   "\r\n");
      QVERIFY(QRegularExpression("\r\nDate: \\w{3}, \\d\\d \\w{3} \\d{4} [0-9:]{8} [-+]\\d{4}\r\n"
                                 "Message-ID: <[^>]+@example.org>\r\nX-Mailreader: Corvelle, v[^\r]+\r\n$")
                  .match(QString::fromStdString(header))
                  .hasMatch());
      QCOMPARE(spooled.substr(header.size()), "\r\n" + bytes);
      QCOMPARE(window->Panel3->text(), QString("Message successfully spooled."));
    }

    env->ui.boxes.clear();
    window->RunCommand(Command::SendFile, {.file = Mail("missing.txt"), .user = "bob@example.org"});
    QCOMPARE(env->ui.Texts(), (Texts{"Cannot open file.", "You must enter an address to send to."}));
    QCOMPARE(ListNames(Mail("Spool")), Texts{"0.out"});
  }

  // Messages 2 and 3 pause on the wire: Cancel current, pressed in 2, gives it up and the
  // run goes on; Escape and the close box, pressed in 3, work as Cancel all: they give that
  // up too and end the session, so only message 1 is deleted on the server and filed, and
  // the dialog stays until the command ends. The summary says where the rest of the mail is.
  void cancelButtonsGiveUpTheCurrentMessageOrTheRestOfTheRun() {
    auto retr = [](int n, const char* pause) {
      return "C: RETR " + std::to_string(n) + "\nS: +OK 24 octets\nS: Subject: m" + std::to_string(n) + "\n" +
             pause + "S> \\r\\nx\\r\\n.\\r\\n\n";
    };
    FakeServer server("S: +OK ready\nC: CAPA\nS: -ERR\nC: USER ann\nS: +OK\nC: PASS secret\nS: +OK\nC: STAT\nS: +OK 3 72\nC: CAPA\nS: -ERR\nC: UIDL\nS: -ERR\n"
                      "C: LIST\nS: +OK\nS: 1 24\nS: 2 24\nS: 3 24\nS: .\n" +
                      retr(1, "") + "C: DELE 1\nS: +OK\n" + retr(2, "PAUSE 800\n") + retr(3, "PAUSE 800\n") +
                      "C: QUIT\nS: +OK\nCLOSE\n");
    env->services.transport = [&server] { return server.NewTransport(); };
    QTimer presser;
    int pressed = 0;  // each once, while its message is read
    bool closed = true, hidden = true;
    connect(&presser, &QTimer::timeout, [&] {
      auto* dialog = window->findChild<TTransDlg*>();
      if (!dialog || server.Written().find(pressed ? "RETR 3" : "RETR 2") == std::string::npos || pressed == 2) return;
      if (pressed++ == 0) return dialog->CancelCurBut->click();
      QTest::keyClick(dialog, Qt::Key_Escape);
      closed = dialog->close();
      hidden = dialog->isHidden();
    });
    presser.start(5);
    window->RunCommand(Command::GetSendAll);
    QVERIFY(server.Finished());
    QCOMPARE(server.Problems(), Texts{});
    QCOMPARE(ListNames(Mail("Spool")), Texts{});
    Texts names = ListNames(Mail("Inbox"));
    QCOMPARE(names.size(), size_t(1));
    QCOMPARE(ReadFile(Mail("Inbox/" + names[0])), std::string("Subject: m1\r\n\r\nx\r\n"));
    QVERIFY(!closed && !hidden);
    QCOMPARE(window->Panel3->text(), QString("1 received messages, 2 errors. Transfer cancelled: unsent mail stays in "
                                             "the Spool folder, mail not retrieved stays on the server."));
    QCOMPARE(env->ui.Texts(), Texts{});
  }

  // The window's message is spooled when the server cannot be reached, and the window closes.
  void sendCurrentWithTheServerDownSpoolsTheMessageAndClosesTheWindow() {
    FakeServer server;
    server.SetConnectResult(10061);
    env->services.transport = [&server] { return server.NewTransport(); };
    TMailViewer* viewer = window->CreateMailViewer(NewMessageName(0), "bob@example.org", "", "");
    viewer->SubjectLine->setText("Plans");
    viewer->MailText->setPlainText("keep me");
    window->RunCommand(Command::Send);
    QCOMPARE(env->ui.Texts(), (Texts{"Transfer error: Connection refused", "Could not connect to host.",
                                     "Mail Message could not be sent, mail file will be spooled."}));
    QTRY_COMPARE(window->MessageWindowCount(), 0);
    QCOMPARE(window->Panel3->text(), QString("Message successfully spooled."));  // never "sent"
    QCOMPARE(ListNames(Mail("Spool")), Texts{"0.out"});
    QVERIFY(ReadFile(Mail("Spool/0.out")).ends_with("\r\n\r\nkeep me\r\n"));
  }

 private:
  std::string Mail(const std::string& relative) const { return env->MailDir() + relative; }

  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<TCorvelProg> window;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::TransferTest)
#include "transfer_test.moc"
#include "support/test_settings.h"
