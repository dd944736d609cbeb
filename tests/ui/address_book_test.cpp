// The address book editor, the recipient dialog and the automatic additions, driven through
// their buttons with the questions of the editor answered as they come.

#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

#include "core/store/message_text.h"
#include "ui/books/address_book_form.h"
#include "ui/books/book_commands.h"
#include "ui/books/mail_select_dlg.h"
#include "ui/cmdline/parm_processing.h"
#include "ui/folders/prompt_list_dlg.h"
#include "ui/viewer/address_actions.h"
#include "ui/viewer/mail_viewer.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;
using Texts = std::vector<std::string>;

namespace {

// ModalDriver actions: the nickname prompt, an input box, a dialog cancelled.
ModalDriver::Action Nickname(const char* text) {
  return [text](QWidget* w) {
    auto* prompt = qobject_cast<TPromptListDlg*>(w);
    QVERIFY2(prompt, "not the nickname prompt");
    prompt->ThisList->setEditText(text);
    prompt->OK->click();
  };
}
ModalDriver::Action Typed(const char* text) {
  return [text](QWidget* w) {
    auto* box = qobject_cast<QInputDialog*>(w);
    QVERIFY2(box, "not an input box");
    box->setTextValue(text);
    box->accept();
  };
}

// The actions for the questions that an editor opened with offered addresses asks, then OK
// in the editor. The editor may become the modal window before its first question: it is
// passed over until the questions are done.
std::vector<ModalDriver::Action> OverEditor(std::vector<ModalDriver::Action> questions) {
  auto next = std::make_shared<size_t>(0);
  ModalDriver::Action step = [questions, next](QWidget* w) {
    auto* editor = qobject_cast<TAddressBookForm*>(w);
    if (!editor) questions.at((*next)++)(w);
    else if (*next == questions.size()) editor->OKBtn->click();
  };
  return std::vector<ModalDriver::Action>(questions.size() + 2, step);
}

QStringList Rows(const TAddressBookForm& form) {
  QStringList rows;
  for (const TAddressEntry& e : form.Entries()) rows << QString::fromStdString(e.Nickname + "|" + e.AddressField);
  return rows;
}

QStringList Lines(const QListWidget* list) {
  QStringList lines;
  for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
  return lines;
}

void Select(QListWidget* list, const QString& starting) {
  for (int i = 0; i < list->count(); ++i) list->item(i)->setSelected(list->item(i)->text().startsWith(starting));
}

}  // namespace

class AddressBookTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    env->WriteCompleteSettings();
    ReloadSettings(env->ui, MailSettings);
    WriteFile(MailSettings.DefaultABPath,
              "ann\tLee, Ann\tann@host\r\nteam\tSmith, Team\t(ann@host,bob@host)\r\nzed\t\tzed@host\r\n");
  }
  void cleanup() { env.reset(); }

  // A new entry, an address added to an existing nickname (sorted in), an address removed
  // (the entry keeps the other), the only address removed (the entry goes), an entry removed.
  void editorAddsMergesAndRemoves() {
    TAddressBookForm form(env->ui, MailSettings);
    QCOMPARE(Rows(form), (QStringList{"ann|ann@host", "team|(ann@host,bob@host)", "zed|zed@host"}));
    {
      ModalDriver driver({Nickname(" new\tone "), Typed(""), Typed("One, New"), Typed("no at"), Typed("a@host"),
                          Nickname("ANN"), Nickname("Ann"), Typed("aaa@host")});
      form.AddBtnClick();
      env->ui.Script({Answer::No, Answer::Yes});  // not to "ann" at first, then yes
      form.AddBtnClick();
      QCOMPARE(driver.unexpected, 0);
    }
    const std::string exists = "This nickname already exists!  Do you want to add this email address to the list of "
                               "addressees for \"";
    QCOMPARE(env->ui.Texts(), (Texts{"You must enter a valid full name!", "You must enter a valid email address!",
                                     exists + "ANN\"?", exists + "Ann\"?"}));
    QCOMPARE(Rows(form), (QStringList{"ann|(aaa@host,ann@host)", "new one|a@host", "team|(ann@host,bob@host)",
                                      "zed|zed@host"}));
    QVERIFY(form.ApplyBtn->isEnabled());

    form.AddressEntries->setCurrentItem(form.AddressEntries->topLevelItem(0));
    form.Members->setCurrentRow(1);  // ann@host
    form.RemoveAddressBtnClick();
    form.AddressEntries->setCurrentItem(form.AddressEntries->topLevelItem(3));
    form.Members->setCurrentRow(0);
    form.RemoveAddressBtnClick();  // zed's only address: zed goes
    form.AddressEntries->setCurrentItem(form.AddressEntries->topLevelItem(1));
    form.RemoveBtnClick();
    QCOMPARE(Rows(form), (QStringList{"ann|aaa@host", "team|(ann@host,bob@host)"}));
    QTreeWidgetItem* team = form.AddressEntries->topLevelItem(1);
    team->setText(0, " \t");  // edited in place
    QCOMPARE(env->ui.Texts().back(), std::string("You must enter a valid nickname!"));
    team->setText(0, " a\tcrew ");
    QVERIFY(form.ApplyBtnClick());
    QCOMPARE(ReadFile(MailSettings.DefaultABPath), "a crew\tSmith, Team\t(ann@host,bob@host)\r\nann\tLee, Ann\taaa@host\r\n");
  }

  // Leaving a book with changes asks: Cancel stays with them, No drops them; a new book
  // named like an existing one in another case opens that one, emptying nothing.
  void switchingBooksWithChangesAsksFirst() {
    WriteFile(env->MailDir() + "System/AddressBook/Work.cvab", "boss\t\tboss@work\r\n");
    TAddressBookForm form(env->ui, MailSettings);
    form.AddressEntries->setCurrentItem(form.AddressEntries->topLevelItem(0));
    form.RemoveBtnClick();
    env->ui.boxes.clear();
    env->ui.Script({Answer::Cancel, Answer::No});
    form.DefAddressBook->setCurrentIndex(1);
    form.DefAddressBookChange();
    QCOMPARE(form.DefAddressBook->currentText(), QString("AddressBook"));
    QCOMPARE(Rows(form).size(), 2);
    form.DefAddressBook->setCurrentIndex(1);
    form.DefAddressBookChange();
    QCOMPARE(env->ui.Texts(), Texts(2, kUnsavedBookQuestion));
    QCOMPARE(Rows(form), QStringList{"boss|boss@work"});
    {
      ModalDriver driver({Typed("a.b"), Typed(" addressBOOK ")});
      form.NewAddressBookClick();
    }
    QCOMPARE(env->ui.Texts().back(), std::string(kBadBookNameMessage));
    QCOMPARE(Rows(form).size(), 3);
    QCOMPARE(ListNames(env->MailDir() + "System/AddressBook"), (Texts{"AddressBook.cvab", "Work.cvab"}));
  }

  // Include expands nicknames (a group brings its members, a comma in a name is quoted); an
  // address chosen already is not added again; typed nicknames, addresses and local names;
  // Exclude; OK hands the list back with the separating commas.
  void recipientDialogIncludesTypedAndExcludes() {
    MailSettings.MailAddress = "me@home";
    TMailSelectDlg dialog(env->ui, MailSettings);
    dialog.ChosenList = {"x@host,", "ANN@HOST"};
    dialog.show();
    QCOMPARE(Lines(dialog.AddrList).first(), QString("ann - Lee, Ann - ann@host"));
    Select(dialog.AddrList, "team");
    dialog.IncludeBtnClick();
    Select(dialog.AddrList, "zed");
    dialog.IncludeBtnClick();
    dialog.IncludeBtnClick();
    for (const char* typed : {"ZED", "bob", "a b@host", "carl@host", "bob@HOME"}) {
      dialog.TypedAddr->setText(typed);
      dialog.IncTypedBtnClick();
    }
    QCOMPARE(env->ui.Texts(), Texts{"Spaces, parenthesis (()), and braces (<>) are not allowed in email addresses!"});
    QCOMPARE(dialog.TypedAddr->text(), QString());
    QCOMPARE(Lines(dialog.SendToList),
             (QStringList{" <zed@host>", "ANN@HOST", "bob@home", "bob@host", "carl@host", "x@host"}));
    Select(dialog.SendToList, "x@");
    dialog.ExcludeBtnClick();
    dialog.TypedAddr->setText("dan");
    MailSettings.MailAddress = "me";
    dialog.OKBtnClick();
    QCOMPARE(env->ui.Texts().back(), std::string("Cannot add email address without destination name (user@destination)."));
    QCOMPARE(dialog.ChosenList, (Texts{" <zed@host>,", "ANN@HOST,", "bob@home,", "bob@host,", "carl@host"}));

    TMailSelectDlg other(env->ui, MailSettings);
    Select(other.AddrList, "team");
    other.IncludeBtnClick();
    QCOMPARE(other.SendTo(), (Texts{"\"Smith, Team\" <ann@host>", "bob@host"}));
  }

  // Return in the address field adds the typed text and leaves the dialog open; a refused
  // text is told once and stays in the field for correction.
  void returnInTheAddressFieldAddsOnly() {
    TMailSelectDlg dialog(env->ui, MailSettings);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.TypedAddr->setFocus();
    dialog.TypedAddr->setText("a b@host");
    QTest::keyClick(dialog.TypedAddr, Qt::Key_Return);
    QCOMPARE(env->ui.Texts(), Texts{"Spaces, parenthesis (()), and braces (<>) are not allowed in email addresses!"});
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.TypedAddr->text(), QString("a b@host"));
    dialog.TypedAddr->setText("carl@host");
    QTest::keyClick(dialog.TypedAddr, Qt::Key_Enter);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.SendTo(), Texts{"carl@host"});
    QCOMPARE(dialog.TypedAddr->text(), QString());
    QCOMPARE(env->ui.Texts().size(), size_t(1));
  }

  // A composition that opens without an address asks for the recipients at once.
  void aNewMessageOpensTheRecipientDialog() {
    std::unique_ptr<TCorvelProg> window;
    QVERIFY(ShowMainWindow(*env, window));
    BookAddressActions book_actions(env->ui, MailSettings);
    env->services.address_actions = &book_actions;
    ModalDriver driver({[](QWidget* w) {
      auto* dialog = qobject_cast<TMailSelectDlg*>(w);
      QVERIFY2(dialog, "not the recipient dialog");
      dialog->TypedAddr->setText("team");
      dialog->OKBtn->click();
    }});
    TMailViewer* viewer = window->CreateMailViewer(NewMessageName(0), "", "", "");
    QVERIFY(viewer);
    QCOMPARE(viewer->FromLine->Entries(), (Texts{"\"Smith, Team\" <ann@host>,", "bob@host"}));
  }

  // All senders in folder: three messages, one sender twice, a file without a sender: two
  // addresses offered, stored as one new entry after the nickname and full name.
  void allSendersInFolderOffersEachSenderOnce() {
    std::unique_ptr<TCorvelProg> window;
    QVERIFY(ShowMainWindow(*env, window));
    WriteFile(env->MailDir() + "Inbox/1.mail", "From: Bob <bob@site>\r\n\r\nx\r\n");
    WriteFile(env->MailDir() + "Inbox/2.mail", "From: Cy <cy@site>\r\n\r\nx\r\n");
    WriteFile(env->MailDir() + "Inbox/3.mail", "From: bob@SITE\r\n\r\nx\r\n");
    WriteFile(env->MailDir() + "Inbox/4.mail", "Subject: none\r\n\r\nx\r\n");
    ModalDriver driver(OverEditor({Nickname("pals"), Typed("Pals")}));
    window->RunCommand(Command::AutoAddAllSenders, {.file = "Inbox"});
    QCOMPARE(driver.unexpected, 0);
    QVERIFY(ReadFile(MailSettings.DefaultABPath).find("\npals\tPals\t(bob@site,cy@site)\r\n") != std::string::npos);
  }

  // The "autoadd" option offers a file's sender with no name: nickname, then full name.
  void autoaddOptionOffersTheSender() {
    std::unique_ptr<TCorvelProg> window;
    QVERIFY(ShowMainWindow(*env, window));
    WriteFile(env->MailDir() + "Inbox/m.mail", "From: Dee Lane <dee@site>\r\n\r\nx\r\n");
    ModalDriver driver(OverEditor({Nickname("dee"), Typed("Lane, Dee")}));
    ProcessParmStrings(*window, {"/a", "\"" + env->MailDir() + "Inbox/m.mail\""}, false);
    ProcessParmStrings(*window, {"autoadd", env->MailDir() + "Inbox/gone.mail"}, false);
    QCOMPARE(env->ui.Texts(), Texts{"File does not exist."});
    QVERIFY(ReadFile(MailSettings.DefaultABPath).find("\ndee\tLane, Dee\tdee@site\r\n") != std::string::npos);
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::AddressBookTest)
#include "address_book_test.moc"
#include "support/test_settings.h"
