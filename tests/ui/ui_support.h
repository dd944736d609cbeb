#pragma once
// Helpers of the widget tests: a private settings and data folder per test, a driver for
// modal dialogs (which run their own event loop), and a recorded program end.

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "core/settings/settings.h"
#include "platform/paths.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "ui/main/corvel_prog.h"
#include "ui/common/notifier.h"
#include "ui/main/services.h"
#include "ui/viewer/address_actions.h"
#include "ui/setup/setup_dlg.h"
#include "support/test_settings.h"

namespace corvelle::testing {

// The notes a test's run raised, oldest first, each with its click.
struct RecordingNotifier : Notifier {
  struct Note {
    QString title, body;
    std::function<void()> on_click;
  };
  void Notify(const QString& title, const QString& body, std::function<void()> on_click) override {
    notes.push_back({title, body, std::move(on_click)});
  }
  std::vector<Note> notes;
};

// HOME, XDG_CONFIG_HOME and XDG_DATA_HOME in a temporary folder, PATH without the desktop
// cache tools, message boxes recorded, the program end recorded: the services of a test,
// whose address buttons do nothing unless a test gives them actions.
struct UiEnvironment {
  UiEnvironment() { MailSettings = Settings{}; }
  ~UiEnvironment() { MailSettings = Settings{}; }
  std::string IniPath() const { return home.path() + "config/corvelle/CORVEL.INI"; }
  std::string MailDir() const { return home.path() + "Mail/"; }
  std::string DataDir() const { return home.path() + "data/"; }

  // A settings file of this version with every field filled in (a password in clear to the
  // POP3 server allowed before), and the whole tree. Keys
  // in `extra` come first, so they win over the same keys after them.
  void WriteCompleteSettings(const std::string& extra = "", std::string mail_dir = "") {
    if (mail_dir.empty()) mail_dir = MailDir();
    WriteFile(IniPath(), "[main]\r\n" + extra + "CurrentVersion=1.24b\r\nMailDirectory=" + mail_dir +
                             "\r\nDefaultMailFolder=Inbox\r\nSendServer=smtp.example.org\r\nSendPort=25\r\n"
                             "MailServer=pop.example.org\r\nMailPort=110\r\nUserName=ann\r\nPassWord=" +
                             EncodePassword("secret") + "\r\nMyName=Ann Example\r\nMailAddress=ann@example.org\r\n"
                             "ClearAuth:pop.example.org:110=1\r\n");
    for (const char* folder : {"Inbox", "Postponed", "Sent Mail", "Spool", "System/Common Text",
                               "System/Signatures", "System/AddressBook"})
      MakeFolders(mail_dir + folder);
  }

  TempDir home;
  ScopedEnv home_env{"HOME", home.path()};
  ScopedEnv config_env{"XDG_CONFIG_HOME", home.path() + "config"};
  ScopedEnv data_env{"XDG_DATA_HOME", home.path() + "data"};
  ScopedEnv path_env{"PATH", home.path() + "bin"};
  RecordingUi ui;
  std::vector<int> end_codes;
  AddressActions no_address_actions;
  RecordingNotifier notifier;
  Services services = TestServices();

 private:
  Services TestServices() {
    Services made = DesktopServices(ui, MailSettings, no_address_actions, &notifier);
    made.end_program = [this](int code) { end_codes.push_back(code); };
    return made;
  }
};

// A main window of its own on complete settings, shown; false when it never became active.
inline bool ShowMainWindow(UiEnvironment& env, std::unique_ptr<TCorvelProg>& window) {
  env.WriteCompleteSettings();
  ReloadSettings(env.ui, MailSettings);
  window = std::make_unique<TCorvelProg>(env.services);
  window->show();
  return QTest::qWaitForWindowActive(window.get());
}

// Handles modal dialogs as they appear: the first one with the first action, and so on.
// A modal dialog beyond the actions, or one still open after the time limit, is cancelled
// and counted in `unexpected`.
class ModalDriver {
 public:
  using Action = std::function<void(QWidget*)>;
  explicit ModalDriver(std::vector<Action> actions) : actions_(std::move(actions)) {
    clock_.start();
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start(5);
  }
  int handled = 0;
  int unexpected = 0;

 private:
  void Tick() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || (modal == last_ && clock_.elapsed() < 20000)) return;
    bool fresh = modal != last_;
    last_ = modal;
    if (fresh && handled < static_cast<int>(actions_.size())) {
      actions_[static_cast<size_t>(handled++)](modal);
      return;
    }
    ++unexpected;  // one too many, or an action left its dialog open
    if (auto* setup = qobject_cast<TSetupDlg*>(modal)) setup->CancelBtnClick();
    else if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    else modal->close();
  }

  std::vector<Action> actions_;
  QTimer timer_;
  QElapsedTimer clock_;
  QPointer<QWidget> last_;
};

// Fills the fields of the "User settings" page with a complete user.
inline void FillUserSettings(TSetupDlg& dialog, const QString& password = "secret") {
  dialog.SendSvrTxt->setText("smtp.example.org");
  dialog.MailServerTxt->setText("pop.example.org");
  dialog.UserNameTxt->setText("ann");
  dialog.PasswordTxt->setText(password);
  dialog.NameTxt->setText("Ann Example");
  dialog.MailAddressTxt->setText("ann@example.org");
}

// A ModalDriver action for the setup dialog: notes the page it opened on, lets `fill` change
// the fields, then presses OK.
inline ModalDriver::Action PressOkInSetup(QString& page, std::function<void(TSetupDlg&)> fill = {}) {
  return [&page, fill](QWidget* widget) {
    auto* dialog = qobject_cast<TSetupDlg*>(widget);
    QVERIFY2(dialog, "the modal widget is not the setup dialog");
    page = dialog->Setup->currentWidget()->objectName();
    if (fill) fill(*dialog);
    dialog->OKBtn->click();
  };
}

}  // namespace corvelle::testing
