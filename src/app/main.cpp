#include <QApplication>
#include <QIcon>
#include <QStyle>

#include "core/user_interface.h"
#include "ui/common/qt_socket_notifier.h"
#include "ui/common/qt_user_interface.h"
#include "ui/main/corvel_prog.h"

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
