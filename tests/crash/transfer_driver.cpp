// One retrieval or one send run over the real components, for the kill campaign: the script
// kills it at random moments and starts it again until it ends by itself.
//
//   transfer_driver get|keep|send HOST POP3_PORT SMTP_PORT USER PASSWORD MAIL_DIR
//
// get: fetches the whole mailbox into MAIL_DIR/Spool, deleting on the server (keep: leaving
// it there). send: sends
// every spooled ".out" file over one connection. Exit 0 when the run had no error.

#include <cstdio>
#include <string>

#include "core/settings/settings.h"
#include "core/store/mail_dirs.h"
#include "net/pop3/get_mail.h"
#include "net/smtp/send_mail.h"

int main(int argc, char** argv) {
  using namespace corvelle;
  if (argc != 8) {
    std::fprintf(stderr, "usage: %s get|keep|send HOST POP3_PORT SMTP_PORT USER PASSWORD MAIL_DIR\n", argv[0]);
    return 2;
  }
  const std::string what = argv[1];
  MailSettings.MailDirectory = std::string(argv[7]) + "/";
  MailSettings.DefaultMailFolder = "Inbox";
  MailSettings.MailServer = MailSettings.SendServer = argv[2];
  MailSettings.MailPort = argv[3];
  MailSettings.SendPort = argv[4];
  MailSettings.UserName = argv[5];
  MailSettings.PassWord = EncodePassword(argv[6]);
  MailSettings.MailAddress = std::string(argv[5]) + "@sandbox.invalid";
  MailSettings.LeaveMailOnServer = what == "keep" ? "1" : "0";
  if (!CheckMailDirs(true, true, false)) return 1;
  if (what != "send") {
    TGetMail mail;
    int received = 0, skipped = 0;
    mail.GetNewMail(received, skipped);
    std::printf("received %d skipped %d\n", received, skipped);
    return mail.ErrorFlag || skipped > 0 ? 1 : 0;
  }
  TSendMail mail;
  int sent = mail.SendOutGoingMail();
  std::printf("sent %d\n", sent);
  return mail.ErrorFlag ? 1 : 0;
}
