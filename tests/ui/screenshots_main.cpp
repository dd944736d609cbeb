// Screenshots of the message windows for a look by eye: a received message, a reply with
// its quote and signature, and the find and replace dialogs over it. Writes PNG files to
// the folder given (default: the working folder); run by scripts/screenshots.

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "core/settings.h"
#include "platform/paths.h"
#include "ui/common/qt_text.h"
#include "ui/main/corvel_prog.h"
#include "ui/viewer/mail_viewer.h"
#include "ui/viewer/replace_dialog.h"

namespace corvelle {
namespace {

void Write(const std::string& path, const std::string& data) {
  MakeFolders(FolderPart(path));
  RemoveFile(path);
  WriteNewFile(path, data);
}

bool Save(QWidget* widget, const QString& folder, const QString& name) {
  QTest::qWait(50);  // painted
  QString path = QDir(folder).filePath(name);
  bool saved = widget->grab().save(path);
  std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

}  // namespace
}  // namespace corvelle

int main(int argc, char** argv) {
  using namespace corvelle;
  QApplication app(argc, argv);
  QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
  QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  QTemporaryDir home;
  qputenv("HOME", home.path().toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
  std::string mail = PathFromQt(home.path()) + "/Mail/";
  MailSettings.MailDirectory = mail;
  MailSettings.MyName = "Ann Example";
  MailSettings.MailAddress = "ann@example.org";
  MailSettings.Signature = mail + "System/Signatures/signature.txt";
  Write(MailSettings.Signature, "Ann Example\r\nFlat 2, 14 Harbour Road\r\n");
  std::string message = mail + "Inbox/lunch.mail";
  Write(message,
        "From: Bob Smith <bob@example.org>\r\nTo: Ann Example <ann@example.org>\r\n"
        "Cc: Carol Jones <carol@example.org>,\r\n Dan Brown <dan@example.org>\r\n"
        "Subject: Re: Lunch on Friday\r\nDate: Mon, 4 Mar 2024 10:15:00 +0100\r\n\r\n"
        "Hi Ann,\r\n\r\nFriday suits me. The caf\xc3\xa9 on the corner at half past twelve?\r\n\r\n"
        "Bob\r\n");

  TCorvelProg window;
  window.resize(760, 520);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  bool ok = window.CreateMailViewer(message, "", "", "") && Save(&window, out, "received" + suffix + ".png");
  window.RunCommand(Command::Reply);
  ok = ok && Save(&window, out, "reply" + suffix + ".png");
  window.RunCommand(Command::Replace);
  if (window.ReplaceDialog1) {
    window.ReplaceDialog1->FindEdit->setText("Friday");
    ok = ok && Save(window.ReplaceDialog1, out, "replace" + suffix + ".png");
  }
  for (TMailViewer* viewer : window.Viewers()) viewer->AskOnClose = false;
  return ok ? 0 : 1;
}
