// Message windows: the kinds a file opens as, replies with their quote and signature, the
// outgoing lines, the close question, one window per file, the address buttons and the tab
// order, and find and replace on the active window.

#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QFileDialog>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>

#include "ui/main/corvel_prog.h"
#include "ui/viewer/address_actions.h"
#include "ui/viewer/attachment_pane.h"
#include "ui/viewer/mail_viewer.h"
#include "ui/viewer/replace_dialog.h"
#include "ui_support.h"

namespace corvelle {
namespace {

using namespace testing;
using Texts = std::vector<std::string>;

QString Joined(const Texts& texts) {
  QStringList list;
  for (const std::string& text : texts) list << QString::fromStdString(text);
  return list.join('|');
}

// A literal with its NUL bytes.
template <size_t N> QByteArray Bytes(const char (&text)[N]) { return QByteArray(text, N - 1); }

// A string column of the current data row.
QString Column(const char* name) { return *static_cast<QString*>(QTest::qData(name, qMetaTypeId<QString>())); }

struct RecordingActions : AddressActions {
  std::optional<Texts> ChooseRecipients(QWidget*, const Texts& entries) override {
    offered.push_back(Joined(entries));
    return Texts{"new@x"};
  }
  void AutoAddAddresses(QWidget*, const Texts& entries) override { offered.push_back(Joined(entries)); }
  QStringList offered;
};

// Permission checks as for an ordinary user, also when the tests run as root: the effective
// capabilities that override them are dropped for the scope (they are per thread).
class AsOrdinaryUser {
 public:
  AsOrdinaryUser() {
    ::syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    ::syscall(SYS_capset, &header_, reduced);
  }
  ~AsOrdinaryUser() { ::syscall(SYS_capset, &header_, saved_); }
  AsOrdinaryUser(const AsOrdinaryUser&) = delete;
  AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

}  // namespace

class MailViewerTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    MailSettings.MailDirectory = env->MailDir();
    MailSettings.MyName = "Ann";
    MailSettings.MailAddress = "ann@x";
    for (const char* folder : {"Inbox", "Postponed", "Sent Mail"}) MakeFolders(env->MailDir() + folder);
    window = std::make_unique<TCorvelProg>(env->services);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
  }
  void cleanup() { window.reset(), env.reset(); }

  void filesOpenAsTheirKind_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    for (const char* column : {"caption", "button", "addresses", "text"}) QTest::addColumn<QString>(column);
    QTest::addColumn<int>("caret");  // -1: a composition
    QTest::newRow("received, continued lines, Windows-1252, NUL") << "Inbox/r.mail"
        << Bytes("From: A <a@x>,\r\n B <b@x>\r\nCc: c@x,\r\n  d@x\r\nSubject: Caf\xe9\r\n\r\nb\0y\r\n")
        << "Mail - [%1]" << "From:" << "A <a@x>,|B <b@x> / c@x,|d@x"
        << QString::fromUtf8(Bytes("From: A <a@x>, B <b@x>\nCc: c@x,  d@x\nSubject: Caf\u00e9\n\nb\0y")) << 4;
    QTest::newRow("sent: recipients, no copies") << "Sent Mail/s.mail" << Bytes("To: x@y, z@y\r\nCc: c@y\r\n\r\nhi")
        << "Mail - [%1]" << "To: " << "x@y,|z@y / " << "To: x@y, z@y\nCc: c@y\n\nhi" << 3;
    QTest::newRow("new mail whose name is taken") << "Inbox/n.newmail" << Bytes("From: a@b\r\n\r\nx")
        << "Mail - [%1]" << "From:" << "a@b / " << "From: a@b\n\nx" << 2;
    QTest::newRow("postponed, with its copies") << "Postponed/p.mail" << Bytes("To: x@y\r\nCc: c@y\r\n\r\n1\r\n2\r\n")
        << "Compose New Message 1" << "To: " << "x@y / c@y" << "1\n2" << -1;
    QTest::newRow("plain text") << "Inbox/t.txt" << Bytes("From: a@b\r\n\r\nx")
        << "%1" << "From:" << " / " << "From: a@b\n\nx" << 0;
  }
  void filesOpenAsTheirKind() {
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(int, caret);
    std::string path = Write(file.toStdString(), content.toStdString());
    Write("Inbox/n.mail", "taken");
    TMailViewer* viewer = window->CreateMailViewer(path, "", "", "");
    std::string shown = file.endsWith(".newmail") ? Path("Inbox/n 0.mail") : path;
    QVERIFY(viewer && viewer->FileName == shown && FileExists(shown) && !PathExists(Path("Inbox/n.newmail")));
    QCOMPARE(viewer->windowTitle(), Column("caption").arg(QString::fromStdString(shown)));
    QCOMPARE(viewer->ToAddrBtn->text(), Column("button"));
    QCOMPARE(Joined(viewer->FromLine->Entries()) + " / " + Joined(viewer->CcLine->Entries()), Column("addresses"));
    QCOMPARE(viewer->MailText->toPlainText(), Column("text"));
    QCOMPARE(viewer->Panel2->isHidden(), file.endsWith(".txt"));
    QVERIFY(viewer->AskOnClose == (caret < 0) && viewer->MailText->isReadOnly() == (caret >= 0));
    if (caret >= 0) QCOMPARE(viewer->MailText->textCursor().blockNumber(), caret);
    QVERIFY(viewer->ToAddrBtn->isEnabled() == (caret < 0 || viewer->FromLine->count() > 0) &&
            viewer->CCAddrBtn->isEnabled() == (caret < 0 || viewer->CcLine->count() > 0));
    QVERIFY(!window->CreateMailViewer(path + "x", "", "", ""));
    QCOMPARE(env->ui.Texts(), Texts{"File does not exist."});
  }

  // A new message in a folder the user may not write: shown as a message under its own
  // name, the user told that it stays unread, and Delete names it.
  void aNewMessageThatCannotBeRenamedIsShownUnderItsName() {
    const std::string path = Write("Inbox/n.newmail", "From: a@b\r\nSubject: Hello\r\n\r\nbody\r\n");
    QCOMPARE(::chmod(Path("Inbox").c_str(), 0555), 0);
    TMailViewer* viewer = nullptr;
    {
      AsOrdinaryUser user;
      viewer = window->CreateMailViewer(path, "", "", "");
    }
    ::chmod(Path("Inbox").c_str(), 0700);
    QVERIFY(viewer);
    QCOMPARE(viewer->FileName, path);
    QCOMPARE(viewer->windowTitle(), "Mail - [" + QString::fromStdString(path) + "]");
    QVERIFY(viewer->SubjectLine->text() == "Hello" && viewer->MailText->toPlainText().endsWith("body"));
    QCOMPARE(env->ui.Texts(), Texts{"The message " + path + " could not be marked as read: it cannot be renamed."});
    env->ui.Script({Answer::No});
    window->RunCommand(Command::Delete);
    QCOMPARE(env->ui.Texts().back(), "Are you sure you want to delete " + path + "?");
  }

  // A long subject and date show their beginning; a received text selects by keyboard.
  void receivedFieldsShowTheirStartAndTheTextSelectsByKeyboard() {
    const std::string subject = "Minutes " + std::string(200, 'x');
    const std::string date = "Mon, 7 Dec 2026 05:00:00 +0000 " + std::string(200, 'y');
    TMailViewer* viewer = window->CreateMailViewer(
        Write("Inbox/l.mail", "Subject: " + subject + "\r\nDate: " + date + "\r\n\r\none\r\ntwo\r\n"), "", "", "");
    QVERIFY(viewer && viewer->SubjectLine->text().size() == int(subject.size()));
    QCOMPARE(viewer->SubjectLine->cursorPosition(), 0);
    QCOMPARE(viewer->DateLine->cursorPosition(), 0);
    viewer->MailText->setFocus();
    QTest::keyClick(viewer->MailText, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(viewer->MailText->textCursor().selectedText(), QString("one") + QChar::ParagraphSeparator);
    QVERIFY(viewer->MailText->isReadOnly());
  }

  // The quote without its trailing blank lines, the subject without its "re:"s, the sender
  // as recipient, the signature below and the caret above it; a new message likewise.
  void repliesQuoteAndSign() {
    MailSettings.Signature = Write("sig.txt", "Ann\r\nann@x\r\n");
    std::string path = Write("Inbox/q.mail", "Subject: RE: re: Lunch\r\nFrom: Bob <b@x>\r\nCc: c@x, d@x\r\n\r\n"
                                             "see you\r\n\r\nB\r\n \r\n\r\n");
    window->CreateMailViewer(path, "", "", "");
    window->RunCommand(Command::Reply);
    TMailViewer* reply = window->ActiveViewer();
    QVERIFY(reply->windowTitle() == "Compose New Message 2" && reply->ReplySource == path);
    QCOMPARE(reply->SubjectLine->text(), QString("Re: Lunch"));
    QVERIFY(Joined(reply->FromLine->Entries()) == "Bob <b@x>" && Joined(reply->CcLine->Entries()) == "c@x,|d@x");
    QCOMPARE(reply->MailText->toPlainText(), QString("\n> see you\n> \n> B\n\n\n--\nAnn\nann@x"));
    QVERIFY(reply->MailText->textCursor().blockNumber() == 4 && QApplication::focusWidget() == reply->MailText);
    window->RunCommand(Command::Reply);
    QCOMPARE(env->ui.Texts(), Texts{"You cannot reply to a new message."});
    MailSettings.Accounts.resize(1);  // an account without an address is no identity to choose
    window->RunCommand(Command::FileNew);
    TMailViewer* fresh = window->ActiveViewer();
    QVERIFY(fresh->MailText->toPlainText() == "\n--\nAnn\nann@x" && fresh->MailText->textCursor().blockNumber() == 0);
    QCOMPARE(QApplication::focusWidget(), fresh->SubjectLine);
    QVERIFY(!reply->IdentityBox && !fresh->IdentityBox && !fresh->findChild<QComboBox*>("IdentityBox"));
  }

  // With two identities a composition chooses its From: the message goes out from the one
  // chosen, with its signature while the one put in is untouched.
  void aNewMessageChoosesItsIdentity() {
    MailSettings.Signature = Write("sig.txt", "Ann\r\n");
    MailSettings.Accounts = {WorkAccount()};
    window->RunCommand(Command::FileNew);
    TMailViewer* viewer = window->ActiveViewer();
    QVERIFY(viewer->IdentityBox && !viewer->IdentityBox->isHidden() && !viewer->IdentityLabel->isHidden());
    QCOMPARE(viewer->IdentityBox->count(), 2);
    QCOMPARE(viewer->IdentityBox->itemText(1), QString::fromUtf8("Ann W\u00e9rk <ann@work.com>"));
    QVERIFY(viewer->IdentityBox->currentIndex() == 0 && viewer->MailText->toPlainText() == "\n--\nAnn");
    viewer->IdentityBox->setFocus();  // the From comes first in the tab order, the recipients next
    QTest::keyClick(viewer->IdentityBox, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), viewer->FromLine);
    viewer->FromLine->SetEntries({"bob@y"});
    viewer->SubjectLine->setText("Hi");
    viewer->IdentityBox->setCurrentIndex(1);
    QCOMPARE(viewer->MailText->toPlainText(), QString("\n--\nAnn at work\nWork Ltd"));
    Texts lines;
    viewer->GetMessageFromWindow(lines);
    QCOMPARE(QString::fromStdString(lines[1]), QString("From: =?UTF-8?B?QW5uIFfDqXJr?= <ann@work.com>"));
    QVERIFY(lines[4].starts_with("Message-ID: <") && lines[4].ends_with("@work.com>"));
    viewer->MailText->appendPlainText("Regards");  // an edited signature stays as it is
    viewer->IdentityBox->setCurrentIndex(0);
    QCOMPARE(viewer->MailText->toPlainText(), QString("\n--\nAnn at work\nWork Ltd\nRegards"));
    viewer->GetMessageFromWindow(lines);
    QCOMPARE(QString::fromStdString(lines[1]), QString("From: Ann <ann@x>"));
    viewer->AskOnClose = false;
  }

  // A reply goes out as the identity the answered message was sent to, and so does the
  // reply postponed and reopened.
  void aReplyAnswersAsTheIdentityAddressed() {
    MailSettings.Accounts = {WorkAccount()};
    window->CreateMailViewer(Write("Inbox/w.mail", "From: Bob <b@x>\r\nTo: x@y, ANN@Work.com\r\nCc: ann@x\r\n"
                                                   "Subject: Plan\r\n\r\nhi\r\n"), "", "", "");
    window->RunCommand(Command::Reply);
    TMailViewer* reply = window->ActiveViewer();
    QVERIFY(reply->IdentityBox && reply->IdentityBox->currentIndex() == 1);
    QVERIFY(reply->MailText->toPlainText().endsWith("\n\n\n--\nAnn at work\nWork Ltd"));
    QCOMPARE(reply->MailText->textCursor().blockNumber(), 2);
    QTest::keyClick(reply->IdentityBox, Qt::Key_Up);
    QCOMPARE(reply->IdentityBox->currentIndex(), 0);
    QVERIFY(reply->MailText->toPlainText().endsWith("\n\n"));  // the first identity has no signature
    reply->IdentityBox->setCurrentIndex(1);
    Texts lines;
    reply->GetMessageFromWindow(lines);
    QCOMPARE(QString::fromStdString(lines[1]), QString("From: =?UTF-8?B?QW5uIFfDqXJr?= <ann@work.com>"));
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    reply->AskOnClose = false;
    TMailViewer* reopened = window->CreateMailViewer(Write("Postponed/r.mail", text), "", "", "");
    QVERIFY(reopened->IdentityBox && reopened->IdentityBox->currentIndex() == 1);
    QVERIFY(reopened->MailText->toPlainText().endsWith("--\nAnn at work\nWork Ltd"));
    reopened->AskOnClose = false;
  }

  void outgoingLinesAskForWhatIsMissing() {
    TMailViewer* viewer = window->CreateMailViewer("Compose New Message 1", "", "", "");
    Texts lines{"x"};
    viewer->GetMessageFromWindow(lines);
    QVERIFY(lines.empty() && env->ui.Texts() == Texts{"You must enter an address to deliver to."});
    viewer->FromLine->SetEntries({"a@x,", "b@x,", "c@x"});
    viewer->CcLine->SetEntries({"d@x"});
    viewer->MailText->setPlainText("Hi\n");
    env->ui.Script({Answer::No, Answer::Yes});
    viewer->GetMessageFromWindow(lines);
    QVERIFY(lines.empty() && env->ui.Texts().back() == "Warning: no subject line.  Continue?");
    QCOMPARE(QApplication::focusWidget(), viewer->SubjectLine);
    viewer->GetMessageFromWindow(lines);
    QCOMPARE(Texts(lines.begin(), lines.begin() + 5),
             (Texts{"To: a@x,", "          b@x,", "          c@x", "From: Ann <ann@x>", "Cc: d@x"}));
    QVERIFY(lines[5].starts_with("Date: ") && lines[6].starts_with("Message-ID: <") && lines[6].ends_with("@x>"));
    QCOMPARE(Texts(lines.end() - 3, lines.end()), (Texts{"", "Hi", ""}));
    QCOMPARE(env->ui.boxes.size(), size_t(3));
  }

  // A MIME message: decoded header and text, its attachments listed and saved, the file as
  // stored on request; a reply quotes the decoded text and names the message it answers;
  // attached files survive postponing and reopening.
  void mimeMessagesReadAndWritten() {
    const std::string source =
        "From: =?UTF-8?Q?Jos=C3=A9?= <j@x>\r\nSubject: =?UTF-8?Q?Caf=C3=A9?=\r\nMessage-ID: <m1@x>\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
        "Content-Type: text/plain; charset=iso-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        "cr=E8me\r\n--b\r\nContent-Type: application/pdf; name=a.pdf\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        "JVBERg==\r\n--b--\r\n";
    std::string path = Write("Inbox/m.mail", source);
    TMailViewer* viewer = window->CreateMailViewer(path, "", "", "");
    QCOMPARE(viewer->SubjectLine->text(), QString::fromUtf8("Caf\u00e9"));
    QCOMPARE(Joined(viewer->FromLine->Entries()), QString::fromUtf8("Jos\u00e9 <j@x>"));
    QVERIFY(viewer->MailText->toPlainText().endsWith(QString::fromUtf8("\n\ncr\u00e8me")));
    auto* list = viewer->Attachments->AttachmentList;
    QVERIFY(!viewer->Attachments->isHidden() && list->topLevelItemCount() == 1);
    QCOMPARE(list->topLevelItem(0)->text(0) + " " + list->topLevelItem(0)->text(1), QString("a.pdf application/pdf"));
    QVERIFY(viewer->Attachments->SaveAttachment(0, Path("saved.pdf"), false));
    QCOMPARE(ReadFile(Path("saved.pdf")), std::string("%PDF"));
    QString started;  // the save dialog starts in the home folder
    {
      ModalDriver driver({[&started](QWidget* widget) {
        started = qobject_cast<QFileDialog*>(widget)->directory().absolutePath();
        qobject_cast<QDialog*>(widget)->reject();
      }});
      list->setCurrentItem(list->topLevelItem(0));
      viewer->Attachments->SaveBtn->click();
      QCOMPARE(driver.handled, 1);
    }
    QCOMPARE(started, QDir(QString::fromStdString(env->home.path())).absolutePath());
    viewer->SourceBtn->click();
    QVERIFY(viewer->MailText->toPlainText().contains("cr=E8me"));
    viewer->SourceBtn->click();
    QCOMPARE(ReadFile(path), source);

    window->RunCommand(Command::Reply);
    TMailViewer* reply = window->ActiveViewer();
    QCOMPARE(reply->SubjectLine->text(), QString::fromUtf8("Re: Caf\u00e9"));
    QVERIFY(reply->MailText->toPlainText().contains(QString::fromUtf8("> cr\u00e8me")));
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(Path("saved.pdf")))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(reply->MailText->viewport(), &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(reply->MailText->viewport(), &drop);
    QVERIFY(!reply->MailText->toPlainText().contains("saved.pdf"));
    Texts lines;
    reply->GetMessageFromWindow(lines);
    QVERIFY(std::find(lines.begin(), lines.end(), "In-Reply-To: <m1@x>") != lines.end());
    reply->AskOnClose = false;
    reply->parentWidget()->close();
    Write("Postponed/p.mail", [&] {
      std::string text;
      for (const std::string& line : lines) text += line + "\r\n";
      return text;
    }());
    TMailViewer* reopened = window->CreateMailViewer(Path("Postponed/p.mail"), "", "", "");
    QCOMPARE(reopened->Attachments->Outgoing().size(), size_t(1));
    QCOMPARE(reopened->Attachments->Outgoing()[0].bytes, std::string("%PDF"));
    reopened->GetMessageFromWindow(lines);
    QVERIFY(std::find(lines.begin(), lines.end(), "In-Reply-To: <m1@x>") != lines.end());
    reopened->Attachments->AttachmentList->setCurrentItem(reopened->Attachments->AttachmentList->topLevelItem(0));
    reopened->Attachments->RemoveBtn->click();
    QVERIFY(reopened->Attachments->Outgoing().empty() && reopened->Attachments->isHidden());
    reopened->AskOnClose = false;
  }

  // Unchanged compositions close silently; a changed one asks, and No on a postponed one
  // asks to delete its file; the next window becomes the active one.
  void closingAsksOnlyAboutChanges() {
    TMailViewer* first = window->CreateMailViewer("Compose New Message 1", "a@x", "", "S");
    QVERIFY(window->CreateMailViewer("Compose New Message 2", "", "", "")->parentWidget()->close());
    QVERIFY(env->ui.boxes.empty() && window->ActiveViewer() == first);
    std::string path = Write("Postponed/p.mail", "To: a@x\r\n\r\nbody\r\n");
    TMailViewer* postponed = window->CreateMailViewer(path, "", "", "");
    postponed->SubjectLine->setText("typed");
    env->ui.Script({Answer::Cancel, Answer::Yes, Answer::No, Answer::No, Answer::No, Answer::Yes});
    for (int attempt = 0; attempt < 3; ++attempt) QVERIFY(!postponed->parentWidget()->close());
    QVERIFY(FileExists(path) && postponed->parentWidget()->close() && !FileExists(path));
    const std::string ask = "File " + path + " has been modified. Postpone mail file?";
    const std::string remove = "Are you sure you want to delete " + path + "?";
    QCOMPARE(env->ui.Texts(), (Texts{ask, ask, ask, remove, ask, remove}));
    QTRY_COMPARE(window->ActiveViewer(), first);
  }

  void aFileShownAlreadyComesToTheFront() {
    std::string text = "Subject: a\r\nTo: b\r\n\r\n" + QByteArray("line\r\n").repeated(300).toStdString();
    TMailViewer* first = window->CreateMailViewer(Write("Inbox/a.mail", text), "", "", "");
    QCOMPARE(first->MailText->verticalScrollBar()->value(), 3);  // the body at the top of the view
    window->CreateMailViewer("Compose New Message 2", "", "", "");
    QCOMPARE(window->CreateMailViewer(Path("INBOX/A.MAIL"), "", "", ""), first);
    QCOMPARE(window->CreateMailViewer(Path("Inbox/../Inbox/a.mail"), "", "", ""), first);
    QVERIFY(window->MessageWindowCount() == 2 && window->ActiveViewer() == first);
  }

  // The address buttons and lines hand over their entries; Tab follows the header fields.
  void addressButtonsHandOverTheirLinesAndTabFollowsThem() {
    RecordingActions actions;
    env->services.address_actions = &actions;
    TMailViewer* received = window->CreateMailViewer(Write("Inbox/a.mail", "From: a@x, b@x\r\n\r\n"), "", "", "");
    received->FromLine->setFocus();
    for (QWidget* next : QWidgetList{received->SubjectLine, received->CcLine, received->MailText}) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::mouseDClick(received->CcLine, Qt::LeftButton);
    received->ToAddrBtn->click();
    TMailViewer* composing = window->CreateMailViewer("Compose New Message 2", "old@x", "", "");
    composing->CCAddrBtn->click();
    env->services.address_actions = &env->no_address_actions;
    QCOMPARE(env->ui.Texts(), Texts{kNoAddressesMessage});
    QCOMPARE(actions.offered, (QStringList{"a@x,|b@x", ""}));
    QCOMPARE(Joined(composing->CcLine->Entries()), QString("new@x"));
  }

  // Find Next searches the active window; Replace changes compositions only; the dialogs
  // close when another window becomes the active one.
  void findAndReplaceActOnTheActiveWindow() {
    TMailViewer* received = window->CreateMailViewer(Write("Inbox/a.mail", "\r\nfind me, find me\r\n"), "", "", "");
    window->RunCommand(Command::FindNext);  // no find text yet: the dialog opens
    QVERIFY(window->FindDialog1 && QTest::qWaitForWindowActive(window->FindDialog1));
    window->FindDialog1->FindEdit->setText("me");
    window->FindDialog1->FindNextBtn->click();
    window->RunCommand(Command::FindNext);
    QCOMPARE(received->MailText->textCursor().selectionStart(), 15);
    window->RunCommand(Command::Replace);
    TReplaceDialog* replace = window->ReplaceDialog1;
    replace->FindEdit->setText("find");
    replace->ReplaceEdit->setText("see");
    replace->ReplaceAllBtn->click();
    QCOMPARE(received->MailText->toPlainText(), QString("\nfind me, find me"));
    TMailViewer* composing = window->CreateMailViewer("Compose New Message 2", "", "", "");
    QVERIFY(!replace->isVisible() && !window->FindDialog1->isVisible());
    composing->MailText->setPlainText("find it");
    window->RunCommand(Command::Replace);
    replace->ReplaceAllBtn->click();
    QCOMPARE(composing->MailText->toPlainText(), QString("see it"));
    QVERIFY(env->ui.boxes.empty());
  }

 private:
  // Writes the file `name` under the mail directory; its path.
  std::string Write(const std::string& name, const std::string& data) {
    WriteFile(Path(name), data);
    return Path(name);
  }
  std::string Path(const std::string& name) const { return env->MailDir() + name; }
  Account WorkAccount() {
    Account work;
    work.Name = "work";
    work.MyName = "Ann W\xc3\xa9rk";
    work.MailAddress = "ann@work.com";
    work.Signature = Write("work.txt", "Ann at work\r\nWork Ltd\r\n");
    return work;
  }

  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<TCorvelProg> window;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::MailViewerTest)
#include "mail_viewer_test.moc"
#include "support/test_settings.h"
