#include <QApplication>

#include "core/user_interface.h"
#include "ui/corvel_prog.h"
#include "ui/qt_user_interface.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName(corvelle::kApplicationTitle);
  corvelle::QtUserInterface ui;
  corvelle::TCorvelProg window;
  window.show();
  window.DoParms();
  return app.exec();
}
