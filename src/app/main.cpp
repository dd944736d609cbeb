#include <QApplication>
#include <QIcon>
#include <QStyle>
#include <cstdlib>
#include <exception>
#include <string>

#include "core/user_interface.h"
#include "ui/common/program_end.h"
#include "ui/common/qt_socket_notifier.h"
#include "ui/common/qt_user_interface.h"
#include "ui/main/corvel_prog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName(corvelle::kApplicationTitle);
  app.setWindowIcon(QIcon::fromTheme("internet-mail", app.style()->standardIcon(QStyle::SP_FileIcon)));
  corvelle::QtUserInterface ui;
  corvelle::QtSocketNotifier socket_notifier;
  try {
    corvelle::TCorvelProg window;
    // A cancelled incomplete setup has ended the program already, with its own status.
    if (!window.StartUp()) corvelle::EndProgram(EXIT_FAILURE);
    window.show();
    window.DoParms();
    return app.exec();
  } catch (const std::exception& error) {
    corvelle::ShowMessage(std::string("Corvelle cannot go on: ") + error.what());
    corvelle::EndProgram(EXIT_FAILURE);
  }
  return EXIT_FAILURE;
}
