// The setup dialog's Accounts page: an account added through the editor reaches the settings
// and the file on OK (its password in the keyring where one is used), bad names are refused
// with the editor still open, removing and reordering, and Cancel leaving all as it was.

#include <QListWidget>

#include "support/memory_secret_store.h"
#include "ui/setup/account_editor.h"
#include "ui/setup/accounts_page.h"
#include "ui/setup/security_fields.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;

constexpr const char* kAccounts =
    "[Account a]\r\nMailServer=pop.a.example\r\nUserName=ann\r\nPassWord=\"\"\r\n"
    "[Account b]\r\nMailServer=pop.example.org\r\nUserName=ann\r\nPassWord=\"\"\r\n"
    "[Account c]\r\nMailServer=pop.c.example\r\nUserName=cy\r\nPassWord=\"\"\r\n"
    "[Account d]\r\nMailServer=pop.d.example\r\nUserName=di\r\nPassWord=\"\"\r\n";

// Fills the editor with a complete account named `name`.
void FillAccount(TAccountEditor& editor, const QString& name) {
  editor.AccountNameTxt->setText(name);
  editor.MailServerTxt->setText("pop.work.example");
  editor.UserNameTxt->setText("joe");
  editor.PasswordTxt->setText(" p\"w ");
  editor.MailAddressTxt->setText("joe@work.example");
  editor.SendSvrTxt->setText("smtp.work.example");
}

class AccountsPageTest : public QObject {
  Q_OBJECT

  std::string File() const { return ReadFile(env->IniPath()); }
  // Complete settings with `main` in section "main" and the accounts a to d.
  void WriteAccounts(const std::string& main) const {
    env->WriteCompleteSettings(main);
    WriteFile(env->IniPath(), File() + kAccounts);
  }
  bool FileHas(const std::string& text) const { return File().find(text) != std::string::npos; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const Account& account : MailSettings.Accounts) names.push_back(account.Name);
    return names;
  }

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    env->WriteCompleteSettings("AccountName=Home\r\n");
  }
  void cleanup() { env.reset(); }

  void addedAccountIsStoredWithItsPasswordInTheKeyring() {
    MemorySecretStore store;
    env->services.secrets = &store;
    {
      TSetupDlg dialog(env->services);
      ModalDriver driver({[](QWidget* widget) {
        auto* editor = qobject_cast<TAccountEditor*>(widget);
        QVERIFY(editor);
        FillAccount(*editor, "Work m\xc3\xa4il");
        editor->OKBtn->click();
      }});
      dialog.AccountsPage->AddBtn->click();
      QCOMPARE(dialog.AccountsPage->AccountList->count(), 1);
      QVERIFY(MailSettings.Accounts.empty());
      dialog.OKBtn->click();
      QVERIFY(dialog.CloseOK && driver.unexpected == 0 && env->ui.boxes.empty());
    }
    QCOMPARE(Names(), std::vector<std::string>{"Work m\xc3\xa4il"});
    QCOMPARE(MailSettings.Accounts[0].MailPort, std::string("995"));
    QVERIFY(FileHas("[Account Work m\xc3\xa4il]\r\nEnabled=1\r\nMailServer=pop.work.example\r\n"));
    QVERIFY2(FileHas("UserName=joe\r\nPassWord=\"\"\r\n"), "the password is in the keyring, not the file");
    QCOMPARE(store.secrets.at("pop3 joe@pop.work.example"), std::string(" p\"w "));

    TSetupDlg again(env->services);  // the editor shows it from the keyring
    ModalDriver check({[](QWidget* widget) {
      auto* editor = qobject_cast<TAccountEditor*>(widget);
      QVERIFY(editor);
      QCOMPARE(editor->PasswordTxt->text(), QString(" p\"w "));
      editor->CancelBtn->click();
    }});
    again.AccountsPage->AccountList->setCurrentRow(0);
    again.AccountsPage->EditBtn->click();
    QCOMPARE(check.handled, 1);
  }

  void duplicateOrBadNameIsRefusedAndTheEditorStaysOpen() {
    WriteAccounts("AccountName=Home\r\n");
    TSetupDlg dialog(env->services);
    ModalDriver driver({[this](QWidget* widget) {
      auto* editor = qobject_cast<TAccountEditor*>(widget);
      QVERIFY(editor);
      FillAccount(*editor, "hOME");
      for (const QString& bad : {QString("hOME"), QString("B"), QString("x]y"), QString(), QString(65, 'n')}) {
        editor->AccountNameTxt->setText(bad);
        editor->OKBtn->click();
        QVERIFY2(editor->isVisible(), qPrintable(bad));
      }
      QCOMPARE(env->ui.Texts().front(), std::string("There is an account named \"Home\" already."));
      QCOMPARE(env->ui.boxes.size(), size_t{5});
      editor->ServerPortTxt->setText("99999");
      editor->AccountNameTxt->setText("e");
      editor->OKBtn->click();
      QVERIFY(editor->isVisible() && env->ui.Texts().back().find("port") != std::string::npos);
      editor->CancelBtn->click();
    }});
    dialog.AccountsPage->AddBtn->click();
    QCOMPARE(driver.handled, 1);
    QCOMPARE(dialog.AccountsPage->AccountList->count(), 4);
  }

  // c moved to the top, a and b removed: a's keyring entry goes, b's stays, for the first
  // account signs in with the same login.
  void removeAndReorderReachTheFileAndTheKeyring() {
    WriteAccounts("AccountName=Home\r\nPassWord=\"\"\r\n");
    MemorySecretStore store;
    store.secrets = {{"pop3 ann@pop.a.example", "a"}, {"pop3 ann@pop.example.org", "first"}};
    env->services.secrets = &store;
    TSetupDlg dialog(env->services);
    TAccountsPage& page = *dialog.AccountsPage;
    page.AccountList->setCurrentRow(2);
    page.MoveUpBtn->click();
    page.MoveUpBtn->click();
    QVERIFY(!page.MoveUpBtn->isEnabled());
    for (int removed = 0; removed < 2; ++removed) {
      page.AccountList->setCurrentRow(1);
      page.RemoveBtn->click();  // asked, and answered Yes
    }
    page.AccountList->item(1)->setCheckState(Qt::Unchecked);
    dialog.OKBtn->click();
    QCOMPARE(env->ui.boxes.size(), size_t{2});
    QCOMPARE(Names(), (std::vector<std::string>{"c", "d"}));
    QVERIFY(MailSettings.Accounts[0].Enabled && !MailSettings.Accounts[1].Enabled);
    std::string file = File();
    QVERIFY(file.find("[Account c]") < file.find("[Account d]") && !FileHas("[Account a]") && !FileHas("[Account b]"));
    QCOMPARE(store.secrets, (std::map<std::string, std::string>{{"pop3 ann@pop.example.org", "first"}}));
  }

  void cancelChangesNothing() {
    WriteAccounts("AccountName=Home\r\n");
    ReloadSettings(env->ui, MailSettings);
    const std::string before = File();
    TSetupDlg dialog(env->services);
    ModalDriver driver({[](QWidget* widget) {
      auto* editor = qobject_cast<TAccountEditor*>(widget);
      QVERIFY(editor);
      FillAccount(*editor, "new");
      editor->OKBtn->click();
    }});
    dialog.AccountsPage->AddBtn->click();
    dialog.AccountsPage->AccountList->setCurrentRow(0);
    dialog.AccountsPage->RemoveBtn->click();
    dialog.CancelBtn->click();
    QCOMPARE(File(), before);
    QCOMPARE(Names(), (std::vector<std::string>{"a", "b", "c", "d"}));
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::AccountsPageTest)
#include "accounts_page_test.moc"
