// Writes PNG pictures of a received message in the main window, a reply being composed
// with a signature, and the folder selection dialog, into the folder given as argument.
// Run it with HOME and XDG_CONFIG_HOME pointing at a throwaway folder (scripts/screenshots):
// it writes a complete settings file and a small mail directory there first.

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/store/mail_dirs.h"
#include "core/store/message_text.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/folders/folder_select.h"
#include "ui/main/corvel_prog.h"

namespace corvelle {
namespace {

// Nobody watches: messages go to the error output, questions get their first button.
class LoggingUi final : public UserInterface {
 public:
  Answer Message(const std::string& text, const std::string&, Buttons buttons, MessageIcon) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
  }
  void TotalProgress(int) override {}
  void CurrentProgress(int) override {}
  void ProcessEvents() override { QApplication::processEvents(); }
};

const char* const kReceived =
    "From: Bob Example <bob@example.org>\r\n"
    "To: Ann Example <ann@example.org>\r\n"
    "Cc: Carol <carol@example.org>\r\n"
    "Subject: Plans for the weekend\r\n"
    "Date: Sat, 5 Dec 2026 10:15:00 +0000\r\n"
    "\r\n"
    "Hi Ann,\r\n\r\nare we still on for Saturday? I can bring the maps.\r\n\r\nBob\r\n";

bool PrepareHome(std::string& received) {
  std::string home = HomeFolder();
  MailSettings = TMailSettings{};
  MailSettings.MailDirectory = home + "Mail/";
  MailSettings.DefaultMailFolder = "Inbox";
  MailSettings.Signature = MailSettings.MailDirectory + "System/Signatures/signature.txt";
  MailSettings.SendServer = "smtp.example.org";
  MailSettings.SendPort = "25";
  MailSettings.MailServer = "pop.example.org";
  MailSettings.MailPort = "110";
  MailSettings.UserName = "ann";
  MailSettings.PassWord = EncodePassword("secret");
  MailSettings.MyName = "Ann Example";
  MailSettings.MailAddress = "ann@example.org";
  MailSettings.DefaultABPath = DefaultAddressBookPath();
  received = MailSettings.MailDirectory + "Inbox/Plans for the weekend.mail";
  return SaveSettings() && CheckMailDirs(true, true, true) && MakeFolders(MailSettings.MailDirectory + "Projects/2026") &&
         WriteNewFile(received, kReceived) &&
         WriteMessageLines(MailSettings.Signature, {"Ann Example", "ann@example.org"});
}

// Lets the windows lay themselves out and paint.
void Settle() {
  QEventLoop loop;
  QTimer::singleShot(400, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Save(QWidget& widget, const QString& folder, const char* name) {
  Settle();
  QString path = QDir(folder).filePath(name);
  bool saved = widget.grab().save(path, "PNG");
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

int Run(const QString& folder) {
  std::string received;
  if (!QDir().mkpath(folder) || !PrepareHome(received)) {
    std::fprintf(stderr, "could not prepare the throwaway home\n");
    return EXIT_FAILURE;
  }
  TCorvelProg window;
  if (!window.StartUp()) return EXIT_FAILURE;
  window.resize(760, 540);
  window.show();
  bool ok = true;
  window.CreateMailViewer(received, "", "", "");
  ok &= Save(window, folder, "received-message.png");
  window.CreateMailViewer(NewMessageName(window.MessageWindowCount()), "Bob Example <bob@example.org>", received,
                          "Re: Plans for the weekend");
  ok &= Save(window, folder, "reply-with-signature.png");
  TFolderSelect dialog(&window);
  dialog.SetFolders("\"Inbox\",\"Projects/2026\"");
  dialog.show();
  ok &= Save(dialog, folder, "folder-selection.png");
  return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}

}  // namespace
}  // namespace corvelle

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  corvelle::LoggingUi ui;
  corvelle::SetUi(&ui);
  int status = corvelle::Run(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
  corvelle::SetUi(nullptr);
  return status;
}
