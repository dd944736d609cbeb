#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/cmdline/parms.h"
#include "core/run_outcome.h"
#include "core/user_interface.h"
#include "platform/core_dumps.h"
#include "platform/folder_names.h"
#include "ui/books/book_commands.h"
#include "ui/cmdline/instance_server.h"
#include "ui/cmdline/parm_processing.h"
#include "ui/common/desktop_notifier.h"
#include "ui/common/program_icon.h"
#include "ui/common/qt_user_interface.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/services.h"
#include "ui/newmail/mail_watch.h"
#include "ui/signin/sign_in_services.h"

int main(int argc, char** argv) {
  corvelle::KeepSecretsOutOfCoreFiles();
  // Answered before Qt starts: they need no display.
  if (std::optional<std::string> text = corvelle::GnuOptionText({argv + 1, argv + argc}, CORVELLE_VERSION)) {
    std::fputs(text->c_str(), stdout);
    return EXIT_SUCCESS;
  }
  QApplication app(argc, argv);
  app.setApplicationName(corvelle::kApplicationTitle);
  app.setApplicationVersion(CORVELLE_VERSION);
  app.setDesktopFileName(CORVELLE_APP_ID);
  app.setWindowIcon(corvelle::ProgramIcon());
  corvelle::QtUserInterface ui;
  // Qt has taken its own options out of argv. Paths are made absolute here: a forwarded
  // line is read in another working directory.
  std::vector<std::string> args(argv + 1, argv + argc);
  std::erase(args, "--new-instance");
  bool new_instance = args.size() + 1 != static_cast<size_t>(argc);
  std::error_code no_cwd;
  args = corvelle::AbsoluteParmPaths(args, std::filesystem::current_path(no_cwd).string());
  if (!new_instance && corvelle::ForwardToRunningInstance(ui, args)) return EXIT_SUCCESS;
  // Everything the windows use comes from here; nothing is installed behind their backs. A
  // start that only forwarded its line has ended before: it needs none of it.
  corvelle::Settings settings;  // read by the main window's start-up
  corvelle::BookAddressActions book_actions(ui, settings);
  corvelle::DesktopNotifier notifier;
  corvelle::Services services = corvelle::DesktopServices(ui, settings, book_actions, &notifier);
  auto sign_in = corvelle::InstallSignIn(services, corvelle::DesktopOAuth2(services));
  try {
    corvelle::TCorvelProg window(services);
    // A cancelled incomplete setup has ended the program already, with its own status.
    if (!window.StartUp()) services.end_program(EXIT_FAILURE);
    window.show();
    corvelle::InstanceServer server(ui, [&window](const std::string& line) { corvelle::HandleParmEntry(window, line); });
    if (!new_instance) server.Listen();
    // A window that stays shows the mail: the mailbox window opens first, so that a message
    // the command line opens comes in front of it.
    if (args.empty() || !settings.ExitAfterCmdProc) window.RunCommand(corvelle::Command::ViewMailbox);
    window.DoParms(args);
    // A command line that ends the program has asked for the window to close by now: the
    // background check and the tray are for a window that stays.
    std::unique_ptr<corvelle::MailWatch> watch;
    QTimer::singleShot(0, &window, [&watch, &window, &notifier] {
      if (window.isVisible()) watch = std::make_unique<corvelle::MailWatch>(window, &notifier);
    });
    int status = app.exec();
    // The next run finds the big folders' names without reading them.
    corvelle::SaveFolderNames();
    // A command line ends with success only when all it asked for succeeded.
    return status != EXIT_SUCCESS ? status : corvelle::RunFailed() ? EXIT_FAILURE : EXIT_SUCCESS;
  } catch (const std::exception& error) {
    corvelle::ShowMessage(ui, std::string("Corvelle cannot go on: ") + error.what());
    services.end_program(EXIT_FAILURE);
  }
  return EXIT_FAILURE;
}
