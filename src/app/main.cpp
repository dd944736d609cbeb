#include <QApplication>
#include <QIcon>
#include <QStyle>

#include "core/user_interface.h"
#include "ui/corvel_prog.h"
#include "ui/qt_socket_notifier.h"
#include "ui/qt_user_interface.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName(corvelle::kApplicationTitle);
  app.setWindowIcon(QIcon::fromTheme("internet-mail", app.style()->standardIcon(QStyle::SP_FileIcon)));
  corvelle::QtUserInterface ui;
  corvelle::QtSocketNotifier socket_notifier;
  corvelle::TCorvelProg window;
  window.show();
  window.DoParms();
  return app.exec();
}
