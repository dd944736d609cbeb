// The folder tools from the command line: a mailbox named by /i is imported into its folder,
// a folder named by /e exported into it, and neither runs while another command is busy.

#include <QLabel>

#include "core/busy_guard.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;
using Names = std::vector<std::string>;

class FolderToolsTest : public QObject {
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

  void commandLineImportAndExport() {
    const std::string inbox = env->MailDir() + "Inbox/";
    WriteFile(inbox + "old.txt", "From a@b Mon Dec  7 10:00:00 2026\nSubject: one\n\nbody\nFrom c@d Mon Dec  7 10:00:01 2026\n"
                               "Subject: two\n\n>From z\n");
    {
      BusyGuard running;
      window->DoParms({"/i", inbox + "old.txt"});
      QCOMPARE(window->Panel3->text(), QString(kBusyText));
      QCOMPARE(ListNames(inbox), Names{"old.txt"});
    }
    window->DoParms({"/i", inbox + "old.txt"});
    Names names = ListNames(inbox);
    QCOMPARE(names.size(), size_t{2});
    QVERIFY(ReadFile(inbox + names[1]).find("\nFrom z\n") != std::string::npos);
    window->DoParms({"/e", inbox});
    QCOMPARE(ListNames(inbox), Names{"pine.fol"});
    QVERIFY(ReadFile(inbox + "pine.fol").find("\n\n>From z\n") != std::string::npos);
    QVERIFY(env->ui.Texts().empty());
  }

 private:
  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<TCorvelProg> window;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::FolderToolsTest)
#include "folder_tools_test.moc"
